// Greeting, login, the remote start directory and QUIT.
#include <chrono>

#include "common/Helpers.h"
#include "common/Terminate.h"
#include "common/UserPrompts.h"
#include "ftp/TFtpSession.h"

namespace vollum {

bool TFtpSession::WaitGreeting(bool mayAskTrust) {
    data_.Protect(false);  // a new connection: nothing agreed yet
    // "120 ready in n minutes" may come first, but the wait as a whole is
    // the time-out's: a server repeating it would otherwise hold us forever.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(control_.Timeout());
    int result = GetReply();
    bool late = false;
    while (result == 1 && !control_.AbortPending() && control_.Connected()) {
        late = control_.Timeout() > 0 && std::chrono::steady_clock::now() >= until;
        if (late) break;
        result = GetReply();
    }
    if (!control_.Connected()) return false;
    // Without a 2xx greeting (none in time, or a refusal) a login would only
    // read the greeting, or nothing, as the answer to USER.
    if (result != 2) {
        const std::string host = control_.HostName();
        const std::string text = late || control_.OwesReply()
                                     ? "No greeting from " + host + "; disconnected without logging in"
                                     : "The server " + host + " refused the connection; disconnected";
        ShowLine("%s", {text});
        LogLine(text);
        control_.Disconnect();
        Prompts.MessageBox(text, "Connect", PromptButtons::Ok, PromptIcon::Exclamation);
        return false;
    }
    if (!Settings.UseTLS) return true;
    return SecureControlConnection(mayAskTrust);
}

void TFtpSession::SendLogin(const std::string& user, const std::string& password, const std::string& account) {
    int result = FtpCommand("USER %s", {user});
    if (result == 3 && !password.empty()) {
        result = FtpCommand("PASS %s", {password});
        if (result == 3 && !account.empty()) result = FtpCommand("ACCT %s", {account});
    }
    // A 230 brought PBSZ and PROT already; another 2xx ends a login too.
    if (result == 2 && control_.Protected() && !data_.Protecting()) ProtectData();
}

void TFtpSession::CheckRemoteDir() {
    if (PaneReplyCode() != 550) return;
    LogLine("error Changing Directory");
    if (!Prompts.AskYesNo("Directory: " + Settings.Directory + " Doesn't Exists, Create?")) return;
    const std::string name = Settings.UseLowerCase ? LowerCaseName(Settings.Directory) : Settings.Directory;
    FtpCommand("MKD %s", {name});
    LogLine("Make Directory " + name);
    FtpCommand("CWD %s", {name});
    LogLine("Change Directory " + name);
}

void TFtpSession::CheckLogin() {
    if (PaneReplyCode() != 530) return;
    const std::string text = "Error loggin in as " + Settings.UserName + " access denied or password incorrect";
    LogLine(text);
    Prompts.MessageBox(text, "Warning", PromptButtons::Ok, PromptIcon::Warning);
    TerminateProgram(1);
}

void TFtpSession::Quit() {
    FtpCommand("QUIT");
    LogLine("QUIT");
    control_.Disconnect();
}

}  // namespace vollum
