// Connect, Disconnect, Exit and the end of the connection when the window closes.
#include <QTimer>

#include "common/Errors.h"
#include "config/StartupReading.h"
#include "ftp/TFtpSession.h"
#include "queue/TransferQueue.h"
#include "ui/TFTPForm.h"
#include "ui/TLoginDLG.h"

namespace vollum {

namespace {
// The menus follow the connection however Connect ends, raised failures included.
struct MenusFollow {
    TFTPForm& form;
    ~MenusFollow() { form.EnableDisableMenus(); }
};
}  // namespace

void TFTPForm::ConnectMNUClick() {
    if (access_.Connected()) {
        session_.ShowLine("Already connected to remote host: %s", {access_.RemoteHost()});
        return;
    }
    if (session_.RefuseIfBusy()) return;
    access_.PrepareConnect();

    TLoginDLG dialog(
        access_.Settings(), access_.Prompts(), [this] { session_.ApplySettings(); }, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const MenusFollow menus{*this};
    const std::string host = dialog.Field(dialog.HostName);
    std::string password = dialog.Field(dialog.Password);
    if (!PasswordForConnect(dialog, password)) return;

    bool opened = false;
    try {
        opened = session_.OpenControlConnection(host, access_.Settings().Port);
    } catch (const EConvertError& e) {
        throw EConvertError(e.Text(), ProfileKeyProblem("Port", access_.Settings().ProfileName, IniPath()));
    }
    if (!opened) {
        session_.ShowLine("Connection to %s failed", {host});
        session_.LogLine("Connected to " + host + "Failed");
        return;
    }
    const SessionAccess::Endpoints e = access_.ControlEndpoints();
    session_.ShowLine("Local port: %s IP: %s connected to rmt port: %s IP: %s",
                      {e.localPort, e.localIP, e.remotePort, e.remoteIP});
    session_.LogLine("Connected to" + access_.RemoteHost());
    session_.ShowLine("Connected to %s", {access_.RemoteHost()});
    EnableDisableMenus();

    // A close asked for meanwhile stops the sequence between steps.
    if (!session_.WaitGreeting() || closePending_) return;
    session_.SendLogin(dialog.Field(dialog.UserName), password, dialog.Field(dialog.Account));
    // The sequence goes on as ever; the list and waiting transfers do not.
    loginRefused_ = session_.LastReply().compare(0, 3, "530") == 0;
    if (closePending_ || !access_.Connected()) return;
    const std::string directory = dialog.Field(dialog.Directory);
    if (!directory.empty()) session_.FtpCommand("CWD %s", {directory});
    if (closePending_ || !access_.Connected()) return;
    try {
        session_.CheckRemoteDir();
    } catch (const EConvertError&) {
        // The pane ends in the close notice, not a reply: the server has gone.
        if (access_.Connected()) throw;
    }
    if (loginRefused_) {
        session_.ShowLine("%s", {kLoginRefused});
        return;
    }
    Queue->Resume();  // transfers that waited for a connection go on
}

bool TFTPForm::PasswordForConnect(TLoginDLG& dialog, std::string& password) {
    if (!dialog.PasswordToAsk()) return true;
    const std::string profile = "profile \"" + access_.Settings().ProfileName + "\"";
    UserPrompts& prompts = access_.Prompts();
    // The desktop may ask to unlock its keyring when it is asked again.
    if (dialog.KeyringFailed() &&
        prompts.AskYesNo("The keyring did not give the password of " + profile +
                         ". Ask it again? (Your desktop may ask you to unlock it.)") &&
        dialog.RetryKeyring()) {
        password = dialog.Field(dialog.Password);
        return true;
    }
    // Typed for this Connect only: nothing is written anywhere.
    return prompts.PasswordBox("Connect", "Password for " + profile + ":", password);
}

void TFTPForm::QuitMNUClick() {
    // Closing the control connection under a running transfer would pull the
    // socket from beneath its wait.
    if (session_.RefuseIfBusy()) return;
    session_.Quit();
    EnableDisableMenus();
}

void TFTPForm::ExitMNUClick() {
    if (depth_ > 1 || access_.Busy()) {
        close();  // ends what runs, then the window
        return;
    }
    if (access_.Connected()) {
        session_.LogLine("Disconnecting from remote host: " + access_.RemoteHost());
        session_.ShowLine("Disconnecting from remote host: %s", {access_.RemoteHost()});
        QuitMNUClick();
    }
    QTimer::singleShot(0, this, &QWidget::close);
}

void TFTPForm::FormClose() {
    if (!access_.Connected()) return;
    // Quit also clears Connected, which no one reads once the window is gone.
    session_.Quit();
}

}  // namespace vollum
