// Commands out, replies in, on the control connection.
#include <algorithm>

#include "common/Convert.h"
#include "common/UserPrompts.h"
#include "ftp/TFtpSession.h"
#include "socket/ErrorTable.h"

namespace vollum {

namespace {

constexpr int kConnectionAborted = 10053;
constexpr int kNotConnected = 10057;
constexpr int kSendAfterShutdown = 10058;

// The command's verb, upper-cased.
std::string Verb(const std::string& line) {
    std::string verb = line.substr(0, line.find(' '));
    for (char& c : verb)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return verb;
}

// Ends a command on every exit, exceptions included (an unwritable log raises
// from inside the reply reader): otherwise every later command would be
// refused and the hourglass would stay.
struct CommandScope {
    TFtpSession& session;
    explicit CommandScope(TFtpSession& s) : session(s) {
        session.CommandBusy = true;
        session.BusyCursor();
    }
    ~CommandScope() {
        session.NormalCursor();
        session.CommandBusy = false;
    }
};
}  // namespace

int TFtpSession::FtpCommand(const std::string& format, std::initializer_list<FmtArg> args) {
    if (CommandBusy) {
        ShowLine("Command already in progress, request ignored");
        return -1;
    }
    const CommandScope scope(*this);
    LastSocketError = 0;
    return SendCommand(Format(format, args));
}

bool TFtpSession::CommandSafe(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

std::string TFtpSession::Printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\0') out += "\\0";
        else out += c;
    }
    return out;
}

int TFtpSession::SetType(const std::string& typeCommand) {
    if (Connected && !acceptedType_.empty() && typeCommand == acceptedType_) return 2;
    return FtpCommand("%s", {typeCommand});
}

int TFtpSession::SendCommand(const std::string& line) {
    const std::string verb = Verb(line);
    // Any TYPE (also a quoted one) or REIN leaves the type unknown until a
    // TYPE is accepted.
    const bool type = verb == "TYPE";
    if (type || verb == "REIN") acceptedType_.clear();
    const int result = SendAndAwaitReply(line);
    if (type && result == 2) acceptedType_ = line;
    return result;
}

int TFtpSession::SendAndAwaitReply(const std::string& line) {
    const bool pass = line.compare(0, 5, "PASS ") == 0;
    // A line break inside a name would end this command early and let the
    // rest of the name run as a command of its own.
    if (!CommandSafe(line)) {
        const std::string text =
            "Command not sent, it holds CR, LF or NUL: " + (pass ? std::string("PASS xxxxxx") : Printable(line));
        ShowLine("%s", {text});
        LogLine(text);
        return 5;
    }
    if (Connected && Sockets1.FSocket != -1) ReadUnaskedReplies();
    if (pass) ShowText("PASS xxxxxx\r\n");
    else ShowText(line + "\r\n");
    if (Sockets1.FSocket == -1 || !Connected) {
        ShowText("Not Connected\r\n");
        return 5;
    }
    Sockets1.SetText(line + "\r\n");
    if (AbortRequested()) {
        ++owedReplies_;  // sent, but its reply is left on the connection
        return 5;
    }
    if (LastSocketError != 0) {
        // The peer is gone: no later command can get through either.
        const int e = LastSocketError;
        if (e == kConnectionAborted || e == WSAECONNRESET || e == kNotConnected || e == kSendAfterShutdown)
            ConnectionClosedByPeer();
        return 5;
    }
    return GetReply();
}

void TFtpSession::ReadUnaskedReplies() {
    // An owed reply (to a command abandoned on a time-out or Cancel, or the
    // second reply of an ABOR) may still be on its way: it gets a moment to
    // arrive, so that it is not read as the answer to the next command.
    int graceMs = owedReplies_ > 0 ? kOwedReplyGraceMs : 0;
    for (int n = 0; n < kMaxUnaskedReplies; ++n) {
        while (graceMs > 0 && !Sockets1.HasPendingInput()) {
            Sleeper1.PauseFor(20);
            graceMs -= 20;
        }
        if (!Sockets1.HasPendingInput()) break;
        bool abandoned = false;
        ReadReply(abandoned);
        if (abandoned || !Connected) break;
        std::string text = LastReplyLine;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        LogLine("Unasked reply: " + text);
        if (owedReplies_ > 0) --owedReplies_;
        if (owedReplies_ == 0) graceMs = 0;
    }
    owedReplies_ = 0;
    LastSocketError = 0;
}

void TFtpSession::ConnectionClosedByPeer() {
    // The session is over before anything that may raise (the log).
    Connected = false;
    owedReplies_ = 0;
    acceptedType_.clear();
    if (Sockets1.FSocket != -1) Sockets1.Disconnect();
    ShowLine("Connection closed by remote host");
    LogLine("Connection closed by remote host");
}

int TFtpSession::GetReply() {
    bool abandoned = false;
    const int result = ReadReply(abandoned);
    if (abandoned) owedReplies_ = std::max(owedReplies_, 1);
    return result;
}

int TFtpSession::ReadReply(bool& abandoned) {
    // The first and fourth characters of a line decide whether it ends the
    // reply. A line longer than the peek window arrives in fragments: the
    // decision is taken on its first fragment and applied at its LF.
    bool atLineStart = true;
    char first = 0;
    for (;;) {
        std::string line;
        bool closed = false;
        const bool read = ReadReplyFragment(line, closed);
        if (!read && !closed) {
            abandoned = true;
            return 5;
        }
        if ((!read || line.empty()) && closed) {
            ConnectionClosedByPeer();
            return 5;
        }
        const bool complete = !line.empty() && line.back() == '\n';
        if (atLineStart) first = (line.size() > 3 && line[3] == '-') ? 0 : line[0];
        LastReplyLine = line;
        ShowText(complete ? line : line + "\r\n");
        atLineStart = complete;
        if (complete && first >= '1' && first <= '5') return first - '0';
        if (closed) continue;  // the rest of the buffer, then the close
    }
}

// Consumes one line through its LF, or a full peek window without one, or
// what is left when the peer has closed. False when the wait was abandoned.
bool TFtpSession::ReadReplyFragment(std::string& line, bool& closed) {
    size_t seen = 0;
    for (;;) {
        bool failed = false;
        const std::string pending = Sockets1.PeekPending(seen, closed, failed);
        if (AbortRequested() || LastSocketError != 0) return false;
        if (failed && !closed) return false;
        // A full window without LF is a piece of an overlong line; waiting
        // for more would never end, as the window cannot grow.
        const size_t window = static_cast<size_t>(std::max(1, Sockets1.MaximumReceiveLength));
        size_t take = 0;
        const auto lf = pending.find('\n');
        if (lf != std::string::npos) take = lf + 1;
        else if (pending.size() >= window || closed) take = pending.size();
        if (take == 0 && closed) return true;  // nothing left: line stays empty
        if (take == 0) {
            seen = pending.size();
            continue;
        }
        char buffer[256];
        std::string got;
        while (got.size() < take) {
            int want = static_cast<int>(std::min(take - got.size(), sizeof buffer - 1));
            const int n = Sockets1.SReceive(Sockets1.FSocket, buffer, want);
            if (n <= 0) break;
            got.append(buffer, static_cast<size_t>(n));
        }
        if (AbortRequested() || LastSocketError != 0) return false;
        line = got;
        if (lf != std::string::npos) closed = false;  // more may follow the line
        return true;
    }
}

bool TFtpSession::AbortRequested() {
    if (!AbortFlag) return false;
    AbortFlag = false;
    return true;
}

void TFtpSession::BusyCursor() {
    if (OnCursor) OnCursor(true);
}

void TFtpSession::NormalCursor() {
    if (OnCursor) OnCursor(false);
}

void TFtpSession::Sockets1ErrorOccurred(TSockets*, int, int Error, const std::string& Msg) {
    LastSocketError = Error;
    if (Error == WSAETIMEDOUT) {
        AbortFlag = true;
        LastSocketError = 0;
        return;
    }
    const std::string text = "Error: " + std::to_string(Error) + "\r\n" + Msg;
    Prompts.MessageBox(text, "Error", PromptButtons::Ok, PromptIcon::Exclamation);
    LogLine(text + " Error");
}

int TFtpSession::PaneReplyCode() { return StrToInt(Memo1.LastLine().substr(0, 3)); }

}  // namespace vollum
