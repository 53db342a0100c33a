#pragma once
// The client's main window: a menu bar over the output pane Memo1, which
// mirrors the engine's pane line by line. The menus drive the engine; the
// handlers live in FormSession.cpp (connect, disconnect, exit),
// FormTransfers.cpp (list, get, put, view) and FormCommands.cpp (the
// single-command items, cancel, setup and the options); the Remote Files
// panel above the pane (shown while connected, Options > Show Remote Files)
// is wired in FormRemoteFiles.cpp.
#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ftp/ListingEntry.h"

#include "ui/SessionAccess.h"

class QAction;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTimer;

namespace vollum {

class TFtpSession;
class RemoteFilesPanel;
class TGradientCaption;
class TLoginDLG;
class TMeterDLG;
class TTransferDialog;
class QueueJob;
class RemoteEdit;
class RemoteFilesPanel;
class TransferQueue;
class TransferQueuePanel;

// Said on the pane and in the Remote Files panel when the server answered 530 to the login.
inline constexpr const char* kLoginRefused =
    "Not logged in: the server refused the user name or password (Disconnect, then Connect again)";

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
    void ShowRemoteFilesMNUClick();
    // Ends the connection as the window goes.
    void FormClose();

    // Runs an action as a menu handler runs: a failure the system raises is
    // shown in a box, and a close asked for meanwhile waits for it.
    void RunAction(const std::function<void()>& action);
    void ViewRemoteFile(const ListingEntry& entry);

    // Transfers from the remote files panel and drops (FormQueue.cpp): one at
    // a time on the session, shown below the list once the first is queued.
    int QueueTransfer(std::unique_ptr<QueueJob> job);
    // The queue panel, the first time with room taken from the list, not the pane.
    void ShowQueuePanel();
    // Local files and folders (as trees) into the remote directory (empty: the current one).
    int QueueUpload(const std::vector<std::string>& localPaths, const std::string& remoteDir);
    // Logs in again with the values of the last Connect; true when connected.
    bool Reconnect();
    // The panel's downloads, edits and drops go into the queue; it refreshes after uploads.
    void ConnectPanelToQueue(RemoteFilesPanel& panel);
    // Where downloads go without a folder chosen: the profile's Localdir, else the current directory.
    std::string DownloadDirectory() const;
    // The program that opens an edited file: Options > Editor when it can be
    // found, else the desktop's default.
    std::string EditorProgram() const;
    // False when edited files wait for their upload and the user would rather not close.
    bool MayCloseWithEdits();
    TransferQueue* Queue;
    TransferQueuePanel* QueuePanel;
    RemoteEdit* Edits;

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
    QAction* ShowRemoteFilesMNU;
    QSplitter* Splitter;  // the Remote Files panel over Memo1
    RemoteFilesPanel* RemoteFiles;
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
    // Connect's password when the profile keeps none the dialog could show: the
    // keyring asked again, or the user; false when the user cancelled.
    bool PasswordForConnect(TLoginDLG& dialog, std::string& password);
    void BuildRemoteFiles();
    // The panel's first appearance: room for the list, most of it above the pane.
    void PlaceRemoteFiles();
    // After a menu handler: the panel shown while connected with the option
    // on, and the folder listed again after anything that may change it.
    void FollowRemoteFolder(Handler handler);
    // The profile's transfer type command, binary where it has none.
    std::string ProfileTypeCommand() const;
    void SetUpQueue();

    TFtpSession& session_;
    SessionAccess access_;
    int depth_ = 0;              // menu handlers running, nested ones counted
    bool closePending_ = false;  // close asked for while something ran
    bool closing_ = false;       // FormClose is running
    bool editsConfirmed_ = false;     // the user chose to close with edits not uploaded
    bool uploadsSinceRefresh_ = false;
    bool remoteFilesPlaced_ = false;  // the panel has had its first size
    bool loginRefused_ = false;       // this connection's login was answered 530
    QTimer* closeTimer_;         // keeps abandoning waits until the handlers have ended
};

}  // namespace vollum
