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
    // Without the system's opener the file shows in Vollum's own viewer.
    if (editor == DefaultEditor()) return true;
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

bool TFTPForm::ReplaceOrKeepBoth(std::string& local) {
    if (!LocalFileExists(local) || IsDirectory(local)) return true;
    const std::string question = "The local file " + local + " exists already.\r\n\r\n" +
                                 "Replace it, or keep both and save the download as " +
                                 LastPathComponent(KeepBothName(local)) + "?";
    switch (access_.Prompts().MessageBox(question, "Get File", PromptButtons::ReplaceKeepBothCancel,
                                         PromptIcon::Warning)) {
        case PromptAnswer::Replace: return true;
        case PromptAnswer::KeepBoth: {
            local = KeepBothName(local);
            return !local.empty();
        }
        default: return false;
    }
}

void TFTPForm::GetMNUClick() {
    TGetDLG dialog(this);
    PrepareDialog(dialog);
    if (dialog.exec() != QDialog::Accepted) return;
    std::string local = TTransferDialog::Text(dialog.LocalName);
    // An emptied local name makes it a view.
    if (local.empty() && access_.Settings().ViewSep == "1" && !EditorAvailable()) return;
    if (!local.empty() && !ReplaceOrKeepBoth(local)) return;
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
    const std::string local = TTransferDialog::Text(dialog.FileName);
    if (IsDirectory(local)) {
        // A folder goes whole, as a drop run sends one, into a remote folder of that name.
        TUnattended(session_).UploadPaths({local}, "", remote);
        return;
    }
    session_.StoreFile(type, local, remote);
}

}  // namespace vollum
