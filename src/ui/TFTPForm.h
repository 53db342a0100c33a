#pragma once
// The client's main window: a menu bar over the output pane Memo1, which
// mirrors the engine's pane line by line. The menus drive the engine; the
// handlers live in FormSession.cpp (connect, disconnect, exit),
// FormTransfers.cpp (list, get, put, view) and FormCommands.cpp (the
// single-command items, cancel, setup and the options).
#include <QMainWindow>
#include <string>

#include "ui/SessionAccess.h"

class QAction;
class QMenu;
class QPlainTextEdit;
class QTimer;

namespace vollum {

class TFtpSession;
class TGradientCaption;
class TMeterDLG;
class TTransferDialog;

class TFTPForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TFTPForm(TFtpSession& session, QWidget* parent = nullptr);
    ~TFTPForm() override;

    // Before an unattended run: out of sight.
    void HideMinimised();
    // Connect enabled exactly while disconnected, the session's items exactly while connected.
    void EnableDisableMenus();
    // The option check marks from DirSep and ViewSep (any value but "0" checks).
    void SetOptionChecks();
    // A transfer dialog with the profile's transfer type preselected, its refusals go through the prompts.
    void PrepareDialog(TTransferDialog& dialog);
    // The progress window's Cancel stops a running transfer as Cancel Transfer
    // does, and the session goes on (set once no unattended run is left).
    void TakeOverMeter(TMeterDLG& meter);
    // The window was asked to close while something ran; it closes once that has ended.
    bool ClosePending() const { return closePending_; }

    // Menu handlers.
    void Setup1Click();
    void ConnectMNUClick();
    void QuitMNUClick();
    void RenameMNUClick();
    void DeleteMNUClick();
    void ExitMNUClick();
    void GetMNUClick();
    void PutMNUClick();
    void ViewMNUClick();
    void CancelMNUClick();
    void DirMNUClick();
    void PwdMNUClick();
    void ChDirMNUClick();
    void ParentMNUClick();
    void MkDirMNUClick();
    void RmDirMNUClick();
    void QuoteMNUClick();
    void HelpMNUClick();
    void DirSepMNUClick();
    void ViewSepMNUClick();
    void EditorMNUClick();
    // Ends the connection as the window goes.
    void FormClose();

    QPlainTextEdit* Memo1;
    QMenu* FileMNU;
    QAction* Setup1;
    QAction* ConnectMNU;
    QAction* QuitMNU;
    QAction* RenameMNU;
    QAction* DeleteMNU;
    QAction* ExitMNU;
    QMenu* FileTransMNU;
    QAction* GetMNU;
    QAction* PutMNU;
    QAction* ViewMNU;
    QAction* CancelMNU;
    QMenu* DirCommandMNU;
    QAction* DirMNU;
    QAction* PwdMNU;
    QAction* ChDirMNU;
    QAction* ParentMNU;
    QAction* MkDirMNU;
    QAction* RmDirMNU;
    QMenu* MiscCommMNU;
    QAction* QuoteMNU;
    QAction* HelpMNU;
    QMenu* OptionsMNU;
    QAction* DirSepMNU;
    QAction* ViewSepMNU;
    QAction* EditorMNU;
    TGradientCaption* GradientCaption1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    using Handler = void (TFTPForm::*)();
    QMenu* AddMenu(const char* name, const char* caption);
    QAction* AddItem(QMenu* menu, const char* name, const char* caption, const char* hint, Handler handler);
    // Runs a menu handler: a failure the system raises is shown in a box, and
    // a close asked for meanwhile happens once the outermost handler is done.
    void Run(Handler handler);
    // Prompt, then the command with the entered text on OK; the log record in every case.
    void PromptedCommand(const char* caption, const char* label, const char* format, const char* record);
    void ToggleOption(std::string& value, const char* key, QAction* item);
    // False, after a message, when the editor for a separate listing or view cannot be started.
    bool EditorAvailable();
    // Before a Get onto a file that exists: Replace, Keep both (local takes
    // the next free "name (N).ext") or Cancel (false).
    bool ReplaceOrKeepBoth(std::string& local);
    std::string IniPath() const;

    TFtpSession& session_;
    SessionAccess access_;
    int depth_ = 0;              // menu handlers running, nested ones counted
    bool closePending_ = false;  // close asked for while something ran
    bool closing_ = false;       // FormClose is running
    QTimer* closeTimer_;         // keeps abandoning waits until the handlers have ended
};

}  // namespace vollum
