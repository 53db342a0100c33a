// List Directory, Get File, Put File and View file.
#include <QProcess>
#include <QStandardPaths>

#include "common/Helpers.h"
#include "common/UserPrompts.h"
#include "config/StartupReading.h"
#include "ftp/TFtpSession.h"
#include "platform/LocalFiles.h"
#include "platform/SystemDefaults.h"
#include "ui/QtText.h"
#include "ui/TFTPForm.h"
#include "ui/TransferDialogs.h"
#include "unattended/TUnattended.h"

namespace vollum {

bool TFTPForm::EditorAvailable() {
    const std::string& configured = access_.Settings().Editor;
    const std::string editor = configured.empty() ? DefaultEditor() : configured;
    const QStringList parts = QProcess::splitCommand(ToQt(editor));
    if (!parts.isEmpty() && !QStandardPaths::findExecutable(parts.first()).isEmpty()) return true;
    // Without this the listing would land in a file nobody opens.
    access_.Prompts().MessageBox(
        "The editor \"" + editor + "\" cannot be started: program not found. Choose another with Options, Editor.",
        "Editor", PromptButtons::Ok, PromptIcon::Exclamation);
    return false;
}

void TFTPForm::PrepareDialog(TTransferDialog& dialog) {
    dialog.PresetMode(access_.Settings().TransferTypeCode);
    dialog.Prompts = &access_.Prompts();
}

void TFTPForm::DirMNUClick() {
    std::string pattern = "*.*";
    if (!access_.Prompts().InputBox("Remote Directory Listing", "Pattern:", pattern)) return;
    if (access_.Settings().DirSep == "1" && !EditorAvailable()) return;
    if (pattern == "*.*") {
        session_.ListDirectory("LIST");
        session_.LogLine("LIST *.*");
    } else {
        session_.ListDirectory("LIST %s", {pattern});
        session_.LogLine("LIST" + pattern);
    }
}

void TFTPForm::GetMNUClick() {
    TGetDLG dialog(this);
    PrepareDialog(dialog);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string local = TTransferDialog::Text(dialog.LocalName);
    // An emptied local name makes it a view.
    if (local.empty() && access_.Settings().ViewSep == "1" && !EditorAvailable()) return;
    session_.ReceiveData(TTransferDialog::Text(dialog.FileName), local, dialog.ChosenTypeCommand());
    session_.LogLine("Getfile " + local);
}

void TFTPForm::ViewMNUClick() {
    TViewDLG dialog(this);
    PrepareDialog(dialog);
    if (dialog.exec() != QDialog::Accepted) return;
    if (access_.Settings().ViewSep == "1" && !EditorAvailable()) return;
    const std::string name = TTransferDialog::Text(dialog.FileName);
    session_.ReceiveData(name, "", dialog.ChosenTypeCommand());
    session_.LogLine("ViewFile " + name);
}

void TFTPForm::PutMNUClick() {
    TPutDLG dialog(this);
    PrepareDialog(dialog);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string remote = TTransferDialog::Text(dialog.RemoteName);
    session_.LogLine("Putfile " + remote);
    std::string& type = access_.Settings().TypeCommand;
    type = dialog.PutTypeCommand(type);
    transferCancelled_ = false;
    const std::string local = TTransferDialog::Text(dialog.FileName);
    if (IsDirectory(local)) {
        // A folder goes whole, as a drop run sends one, into a remote folder of that name.
        TUnattended(session_).UploadPaths({local}, "", remote);
        return;
    }
    if (session_.StoreFile(type, local, remote) || !transferCancelled_) return;
    // What arrived before the ABOR may stay on the server under the target's name.
    const std::string stored = access_.Settings().UseLowerCase ? LowerCaseName(remote) : remote;
    session_.ShowLine("The server may hold a partial file: %s", {stored});
}

}  // namespace vollum
