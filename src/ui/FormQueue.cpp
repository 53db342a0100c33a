// The transfer queue in the window: its panel, uploads into it, and the
// reconnect a Retry asks for after a lost connection.
#include <QDockWidget>

#include "ftp/TFtpSession.h"
#include "queue/TransferQueue.h"
#include "queue/UploadJob.h"
#include "ui/TFTPForm.h"
#include "ui/TransferQueuePanel.h"

namespace vollum {

void TFTPForm::SetUpQueue() {
    Queue = new TransferQueue(session_, this);
    Queue->setObjectName("TransferQueue");
    Queue->Reconnect = [this] { return Reconnect(); };
    QueuePanel = new TransferQueuePanel(*Queue, this);
    QueueDock = new QDockWidget("Transfers", this);
    QueueDock->setObjectName("QueueDock");
    QueueDock->setFeatures(QDockWidget::DockWidgetClosable);
    QueueDock->setWidget(QueuePanel);
    addDockWidget(Qt::BottomDockWidgetArea, QueueDock);
    // Out of sight until something is queued: the window is as ever without it.
    QueueDock->hide();
    // A transfer may change what the menus can do (a connection lost meanwhile).
    connect(Queue, &TransferQueue::itemFinished, this, [this] {
        if (depth_ == 0) EnableDisableMenus();
    });
}

int TFTPForm::QueueTransfer(std::unique_ptr<QueueJob> job) {
    QueueDock->show();
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
