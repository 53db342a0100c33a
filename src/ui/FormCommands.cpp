// The menu items that are one FTP command each, Rename, Cancel Transfer,
// Setup and the options.
#include "common/UserPrompts.h"
#include "config/TIniFile.h"
#include "ftp/TFtpSession.h"
#include "ui/TFTPForm.h"
#include "ui/TLoginDLG.h"
#include "ui/TMeterDLG.h"
#include "ui/TransferDialogs.h"

namespace vollum {

std::string TFTPForm::IniPath() const { return access_.Settings().ProgramDir + "VOLLUM.INI"; }

void TFTPForm::PromptedCommand(const char* caption, const char* label, const char* format, const char* record) {
    std::string text;
    if (access_.Prompts().InputBox(caption, label, text)) session_.FtpCommand(format, {text});
    std::string line = record;
    // A quoted PASS or ACCT keeps its argument out of the log.
    line += std::string(format) == "%s" ? ControlChannel::Masked(text) : text;
    session_.LogLine(line);
}

void TFTPForm::ChDirMNUClick() { PromptedCommand("Change Directory", "Directory:", "CWD %s", "Changedir "); }
void TFTPForm::MkDirMNUClick() { PromptedCommand("Make Directory", "Directory:", "MKD %s", "MakeDir "); }
void TFTPForm::RmDirMNUClick() { PromptedCommand("Remove Directory", "Directory:", "RMD %s", "RemoveDir "); }
void TFTPForm::DeleteMNUClick() { PromptedCommand("Delete Remote File", "File to Delete:", "DELE %s", "DeleteFile "); }
void TFTPForm::QuoteMNUClick() { PromptedCommand("Enter FTP command", "Command:", "%s", "Quote "); }

void TFTPForm::ParentMNUClick() {
    session_.FtpCommand("CDUP");
    session_.LogLine("ParentDir");
}

void TFTPForm::HelpMNUClick() {
    session_.FtpCommand("HELP");
    session_.LogLine("HelpRequested");
}

void TFTPForm::PwdMNUClick() { session_.FtpCommand("PWD"); }

void TFTPForm::RenameMNUClick() {
    TRenDLG dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string from = TTransferDialog::Text(dialog.FileFrom);
    const std::string to = TTransferDialog::Text(dialog.FileTo);
    if (session_.FtpCommand("RNFR %s", {from}) == 3) session_.FtpCommand("RNTO %s", {to});
    session_.LogLine("Rename " + from + "to" + to);
}

void TFTPForm::CancelMNUClick() {
    access_.CancelTransfer();
    // A transfer stalled in a wait for its data stops now rather than at its time-out.
    access_.AbandonDataWait();
    session_.LogLine("Something Aborted");
}

void TFTPForm::TakeOverMeter(TMeterDLG& meter) {
    meter.OnCancel = [this, &meter] {
        if (access_.Busy()) CancelMNU->trigger();
        else meter.Hide();
    };
}

void TFTPForm::Setup1Click() {
    TLoginDLG dialog(
        access_.Settings(), access_.Prompts(), [this] { session_.ApplySettings(); }, this);
    dialog.exec();
}

void TFTPForm::ToggleOption(std::string& value, const char* key, QAction* item) {
    const bool on = value == "0";
    value = std::string(on ? "1" : "0");
    item->setChecked(value == "1");
    TIniFile ini(IniPath());
    ini.WriteString("options", key, value);
}

void TFTPForm::DirSepMNUClick() { ToggleOption(access_.Settings().DirSep, "DirSep", DirSepMNU); }
void TFTPForm::ViewSepMNUClick() { ToggleOption(access_.Settings().ViewSep, "ViewSep", ViewSepMNU); }

void TFTPForm::EditorMNUClick() {
    TIniFile ini(IniPath());
    std::string& editor = access_.Settings().Editor;
    editor = ini.ReadString("options", "Editor", "");
    std::string answer = editor;
    if (access_.Prompts().InputBox("Enter preferred editor", "Editor:", answer)) editor = answer;
    ini.WriteString("options", "Editor", editor);
}

}  // namespace vollum
