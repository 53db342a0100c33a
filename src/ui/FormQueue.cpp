// The transfer queue in the window: its panel, uploads into it, and the
// reconnect a Retry asks for after a lost connection.
#include <QPlainTextEdit>
#include <QProcess>
#include <QSplitter>
#include <QStandardPaths>
#include <QTimer>

#include "common/UserPrompts.h"
#include "config/StartupReading.h"
#include "ftp/TFtpSession.h"
#include "platform/LocalFiles.h"
#include "platform/ProcessStart.h"
#include "platform/SystemDefaults.h"
#include "queue/DownloadJob.h"
#include "queue/RemoteEdit.h"
#include "queue/TransferQueue.h"
#include "queue/UploadJob.h"
#include "ui/QtText.h"
#include "ui/RemoteFilesPanel.h"
#include "ui/TFTPForm.h"
#include "ui/TransferQueuePanel.h"

namespace vollum {

void TFTPForm::SetUpQueue() {
    Queue = new TransferQueue(session_, this);
    Queue->setObjectName("TransferQueue");
    Queue->Reconnect = [this] { return Reconnect(); };
    // Below the list, above the pane; out of sight until something is
    // queued, so the window is as ever without it.
    QueuePanel = new TransferQueuePanel(*Queue, Splitter);
    QueuePanel->hide();
    Splitter->insertWidget(1, QueuePanel);
    Splitter->setStretchFactor(1, 1);
    // A transfer may change what the menus can do (a connection lost meanwhile).
    connect(Queue, &TransferQueue::itemFinished, this, [this](int, bool, bool upload) {
        uploadsSinceRefresh_ = uploadsSinceRefresh_ || upload;
        if (depth_ == 0) EnableDisableMenus();
        // A close asked for while the item ran happens now that it has returned.
        if (depth_ == 0 && closePending_) QTimer::singleShot(0, this, &QWidget::close);
    });
    Edits = new RemoteEdit(session_, *Queue, this);
    Edits->OpenFile = [this](const std::string& path) { StartEditor(EditorProgram(), path); };
    ConnectPanelToQueue(*RemoteFiles);
}

void TFTPForm::ConnectPanelToQueue(RemoteFilesPanel& panel) {
    RemoteFilesPanel* p = &panel;
    connect(p, &RemoteFilesPanel::downloadRequested, this, [this, p](std::vector<ListingEntry> entries, QString to) {
        const std::string local = to.isEmpty() ? DownloadDirectory() : FromQt(to);
        QueueTransfer(std::make_unique<DownloadJob>(session_, p->CurrentPath(), std::move(entries), local,
                                                    ProfileTypeCommand()));
    });
    connect(p, &RemoteFilesPanel::editRequested, this, [this, p](ListingEntry entry) {
        ShowQueuePanel();
        Edits->Edit(p->CurrentPath(), entry, ProfileTypeCommand());
    });
    connect(p, &RemoteFilesPanel::uploadRequested, this, [this](QStringList paths, QByteArray remoteDir) {
        std::vector<std::string> local;
        for (const QString& path : paths) local.push_back(FromQt(path));
        QueueUpload(local, remoteDir.toStdString());
    });
    // Once the uploads are through, the list shows what arrived.
    connect(Queue, &TransferQueue::idle, this, [this, p] {
        if (!uploadsSinceRefresh_ || !access_.Connected() || access_.Busy()) return;
        uploadsSinceRefresh_ = false;
        p->Refresh();
    });
}


std::string TFTPForm::DownloadDirectory() const {
    const std::string& localdir = access_.Settings().Localdir;
    const std::string here = CurrentDirectory();
    if (localdir.empty() || localdir.front() == '/') return localdir.empty() ? here : localdir;
    return here + "/" + localdir;
}

std::string TFTPForm::EditorProgram() const {
    const std::string& configured = access_.Settings().Editor;
    const QStringList parts = QProcess::splitCommand(ToQt(configured));
    if (!parts.isEmpty() && !QStandardPaths::findExecutable(parts.first()).isEmpty()) return configured;
    return DefaultEditor();
}

bool TFTPForm::MayCloseWithEdits() {
    if (editsConfirmed_) return true;
    const std::vector<std::string> names = Edits->ChangedNotUploaded();
    if (names.empty()) return true;
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    const std::string text = "Changed in the editor and not uploaded: " + list + ". Close Vollum anyway?";
    editsConfirmed_ = access_.Prompts().MessageBox(text, "Vollum", PromptButtons::YesNo, PromptIcon::Warning) ==
                      PromptAnswer::Yes;
    return editsConfirmed_;
}

void TFTPForm::ShowQueuePanel() {
    if (!QueuePanel->isHidden()) return;
    QueuePanel->show();
    // The queue takes its room from the list: the pane keeps enough lines to
    // follow the commands, and never less than it had.
    const int h = Splitter->height();
    const int pane = std::max(Memo1->height(), 8 * Memo1->fontMetrics().lineSpacing() + 2 * Memo1->frameWidth());
    const int queue = std::min(QueuePanel->sizeHint().height(), h / 4);
    if (RemoteFiles->isHidden()) Splitter->setSizes({0, queue, std::max(0, h - queue)});
    else Splitter->setSizes({std::max(0, h - queue - pane), queue, pane});
}

int TFTPForm::QueueTransfer(std::unique_ptr<QueueJob> job) {
    ShowQueuePanel();
    return Queue->Add(std::move(job));
}

int TFTPForm::QueueUpload(const std::vector<std::string>& localPaths, const std::string& remoteDir) {
    return QueueTransfer(std::make_unique<UploadJob>(session_, localPaths, remoteDir));
}

bool TFTPForm::Reconnect() {
    if (access_.Connected()) return true;
    if (access_.Busy()) return false;
    const StartupValues& v = access_.Settings();
    if (v.HostName.empty()) return false;
    access_.PrepareConnect();
    const struct MenusFollow {
        TFTPForm& form;
        ~MenusFollow() { form.EnableDisableMenus(); }
    } menus{*this};
    if (!session_.OpenControlConnection(v.HostName, v.Port)) {
        session_.ShowLine("Connection to %s failed", {v.HostName});
        return false;
    }
    session_.LogLine("Connected to" + access_.RemoteHost());
    session_.ShowLine("Connected to %s", {access_.RemoteHost()});
    if (!session_.WaitGreeting() || closePending_) return false;
    session_.SendLogin(v.UserName, v.Password, v.Account);
    if (!access_.Connected()) return false;
    if (!v.Directory.empty()) session_.FtpCommand("CWD %s", {v.Directory});
    return access_.Connected();
}

}  // namespace vollum
