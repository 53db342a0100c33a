// Commands out, replies in, on the control connection.
#include "ftp/ControlChannel.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>

#include "common/Convert.h"
#include "common/UserPrompts.h"
#include "ftp/Transcript.h"
#include "socket/ErrorTable.h"

namespace vollum {

namespace {
constexpr int kConnectionAborted = 10053;
constexpr int kNotConnected = 10057;
constexpr int kSendAfterShutdown = 10058;

// The command's verb, upper-cased (blanks before it skipped).
std::string Verb(const std::string& line) {
    const size_t start = std::min(line.find_first_not_of(" \t"), line.size());
    std::string verb = line.substr(start, line.find_first_of(" \t", start) - start);
    for (char& c : verb)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return verb;
}
}  // namespace

// Ends a command on every exit, exceptions included (an unwritable log raises
// from inside the reply reader): otherwise every later command would be
// refused and the hourglass would stay.
class ControlChannel::CommandScope {
public:
    explicit CommandScope(ControlChannel& c) : c_(c) {
        c_.commandBusy_ = true;
        c_.BusyCursor();
    }
    ~CommandScope() {
        c_.NormalCursor();
        c_.commandBusy_ = false;
    }
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;

private:
    ControlChannel& c_;
};

ControlChannel::ControlChannel(Transcript& transcript, UserPrompts& prompts)
    : transcript_(transcript), prompts_(prompts) {
    socket_.SetNonBlocking(false);
    socket_.SetPrompts(&prompts);
    socket_.OnErrorOccurred = [this](TSockets*, int, int error, const std::string& msg) {
        SocketErrorOccurred(error, msg);
    };
    socket_.MaximumReceiveLength = 255;
    sleeper_.SetInterval(1000);
}

bool ControlChannel::Open(const std::string& host, const std::string& port) {
    socket_.Port = port;
    socket_.IPAddr = host;
    socket_.SetNonBlocking(false);
    acceptedType_.clear();  // a new server knows no type yet
    lastErrorText_.clear();
    // Neither an error nor a reply owed on the last connection concerns this one.
    lastSocketError_ = 0;
    owedReplies_ = 0;
    ++connectionSerial_;
    ++directorySerial_;
    BusyCursor();
    socket_.SConnect();
    NormalCursor();
    if (abortFlag_ || lastSocketError_ != 0 || socket_.FSocket == -1) return false;
    connected_ = true;
    return true;
}

void ControlChannel::Disconnect() {
    if (socket_.FSocket != -1) socket_.Disconnect();
    connected_ = false;
    acceptedType_.clear();
}

std::string ControlChannel::LocalAddress() const { return socket_.GetLocalIPAddr(socket_.FSocket); }

ControlChannel::Endpoints ControlChannel::Ends() const {
    const int fd = socket_.FSocket;
    return {socket_.GetLocalPort(fd), socket_.GetLocalIPAddr(fd), socket_.GetRemotePort(fd),
            socket_.GetRemoteIPAddr(fd)};
}

int ControlChannel::FtpCommand(const std::string& format, std::initializer_list<FmtArg> args) {
    if (commandBusy_) {
        transcript_.ShowLine("Command already in progress, request ignored");
        return -1;
    }
    const std::string line = Format(format, args);
    int result = 5;
    {
        const CommandScope scope(*this);
        lastSocketError_ = 0;
        result = SendCommand(line);
    }
    // Outside the scope: the handler may send commands of its own.
    if (OnCommandDone) OnCommandDone(line, result);
    return result;
}

std::string ControlChannel::CommandVerb(const std::string& line) { return Verb(line); }

std::string ControlChannel::Masked(const std::string& line) {
    const std::string verb = Verb(line);
    if (verb != "PASS" && verb != "ACCT") return line;
    const size_t start = line.find_first_not_of(" \t");
    // Without an argument there is nothing to hide.
    if (line.find_first_not_of(" \t", start + verb.size()) == std::string::npos) return line;
    return line.substr(start, verb.size()) + " xxxxxx";
}

bool ControlChannel::CommandSafe(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

std::string ControlChannel::Printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\0') out += "\\0";
        else out += c;
    }
    return out;
}

int ControlChannel::SetType(const std::string& typeCommand) {
    if (connected_ && !acceptedType_.empty() && typeCommand == acceptedType_) return 2;
    return FtpCommand("%s", {typeCommand});
}

int ControlChannel::SendCommand(const std::string& line) {
    const std::string verb = Verb(line);
    // Any TYPE (also a quoted one) or REIN leaves the type unknown until a
    // TYPE is accepted.
    const bool type = verb == "TYPE";
    if (type || verb == "REIN") acceptedType_.clear();
    // A login, too, may land in another directory.
    static const char* const kMovers[] = {"CWD", "CDUP", "XCWD", "XCUP", "SMNT", "REIN", "USER", "PASS", "ACCT"};
    for (const char* mover : kMovers)
        if (verb == mover) ++directorySerial_;
    const int result = SendAndAwaitReply(line);
    if (type && result == 2) acceptedType_ = line;
    return result;
}

int ControlChannel::SendAndAwaitReply(const std::string& line) {
    // A line break inside a name would end this command early and let the
    // rest of the name run as a command of its own.
    if (!CommandSafe(line)) {
        const std::string text = "Command not sent, it holds CR, LF or NUL: " + Printable(Masked(line));
        transcript_.ShowLine("%s", {text});
        transcript_.LogLine(text);
        return 5;
    }
    if (connected_ && socket_.FSocket != -1) ReadUnaskedReplies();
    transcript_.ShowText(Masked(line) + "\r\n");
    if (socket_.FSocket == -1 || !connected_) {
        transcript_.ShowText("Not Connected\r\n");
        return 5;
    }
    socket_.SetText(line + "\r\n");
    if (afterSend_) {
        const std::function<void()> action = std::move(afterSend_);
        afterSend_ = nullptr;
        action();
    }
    if (AbortRequested()) {
        ++owedReplies_;  // sent, but its reply is left on the connection
        return 5;
    }
    if (lastSocketError_ != 0) {
        // The peer is gone: no later command can get through either.
        const int e = lastSocketError_;
        if (e == kConnectionAborted || e == WSAECONNRESET || e == kNotConnected || e == kSendAfterShutdown)
            ConnectionClosedByPeer();
        return 5;
    }
    return GetReply();
}

void ControlChannel::SendUrgent(const std::string& text) { socket_.SendUrgent(text); }

void ControlChannel::ReadRepliesWithin(int count, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (count > 0 && connected_ && socket_.FSocket != -1) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
        if (left <= 0 || !socket_.WaitForInput(left)) break;
        bool abandoned = false;
        ReadReply(abandoned);
        if (abandoned) break;
        --count;
    }
    if (connected_) owedReplies_ += count;
}

TlsContext& ControlChannel::TlsSettings() {
    if (!tlsContext_) tlsContext_ = std::make_unique<TlsContext>();
    return *tlsContext_;
}

bool ControlChannel::StartTls() {
    // Sessions kept from an earlier connection are of no use to this one.
    tlsContext_ = std::make_unique<TlsContext>();
    BusyCursor();
    const bool started = socket_.StartTls(*tlsContext_, socket_.IPAddr, nullptr);
    NormalCursor();
    return started && !AbortRequested();
}

void ControlChannel::ReadUnaskedReplies() {
    // An owed reply (to a command abandoned on a time-out or Cancel, or the
    // second reply of an ABOR) may still be on its way: it gets a moment to
    // arrive, so that it is not read as the answer to the next command.
    int graceMs = owedReplies_ > 0 ? kOwedReplyGraceMs : 0;
    std::string* const capture = std::exchange(replyCapture_, nullptr);
    for (int n = 0; n < kMaxUnaskedReplies; ++n) {
        while (graceMs > 0 && !socket_.HasPendingInput()) {
            sleeper_.PauseFor(20);
            graceMs -= 20;
        }
        if (!socket_.HasPendingInput()) break;
        bool abandoned = false;
        ReadReply(abandoned);
        if (abandoned || !connected_) break;
        std::string text = lastReply_;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        transcript_.LogLine("Unasked reply: " + text);
        if (owedReplies_ > 0) --owedReplies_;
        if (owedReplies_ == 0) graceMs = 0;
    }
    owedReplies_ = 0;
    lastSocketError_ = 0;
    replyCapture_ = capture;
}

void ControlChannel::ConnectionClosedByPeer() { DropConnection("Connection closed by remote host"); }

void ControlChannel::DropConnection(const std::string& why) {
    // The session is over before anything that may raise (the log).
    connected_ = false;
    owedReplies_ = 0;
    acceptedType_.clear();
    if (socket_.FSocket != -1) socket_.Disconnect();
    transcript_.ShowLine("%s", {why});
    transcript_.LogLine(why);
}

int ControlChannel::GetReply() {
    bool abandoned = false;
    const int result = ReadReply(abandoned);
    if (abandoned) owedReplies_ = std::max(owedReplies_, 1);
    return result;
}

int ControlChannel::ReadReply(bool& abandoned) {
    ReplyFrameState state;
    // The time-out bounds each wait; this bounds the whole reply from its
    // first byte, so that a server trickling lines that never end one cannot
    // hold the session.
    const int limitSeconds = socket_.Timeout;
    std::optional<std::chrono::steady_clock::time_point> until;
    for (;;) {
        std::string line;
        bool closed = false;
        int replyClass = 0;
        const bool read = ReadReplyFragment(line, closed, state, replyClass);
        if (!read && !closed) {
            abandoned = true;
            return 5;
        }
        if ((!read || line.empty()) && closed) {
            ConnectionClosedByPeer();
            return 5;
        }
        if (!until) until = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
        const bool complete = !line.empty() && line.back() == '\n';
        lastReply_ = line;
        if (replyCapture_ != nullptr) replyCapture_->append(line);
        transcript_.ShowText(complete ? line : line + "\r\n");
        if (replyClass != 0) return replyClass;
        if (closed) continue;  // the rest of the buffer, then the close
        if (limitSeconds > 0 && std::chrono::steady_clock::now() >= *until) {
            DropConnection("The server's reply did not end within " + std::to_string(limitSeconds) +
                           " seconds; disconnected");
            return 5;
        }
    }
}

bool ControlChannel::ReadReplyFragment(std::string& line, bool& closed, ReplyFrameState& state, int& replyClass) {
    size_t seen = 0;
    for (;;) {
        bool failed = false;
        const std::string pending = socket_.PeekPending(seen, closed, failed);
        if (AbortRequested() || lastSocketError_ != 0) return false;
        if (failed && !closed) return false;
        const size_t window = static_cast<size_t>(std::max(1, socket_.MaximumReceiveLength));
        ReplyFrameState next = state;
        const ReplyFragment fragment = NextReplyFragment(pending, window, closed, next);
        if (fragment.take == 0 && closed) return true;  // nothing left: line stays empty
        if (fragment.take == 0) {
            seen = pending.size();
            continue;
        }
        char buffer[256];
        std::string got;
        while (got.size() < fragment.take) {
            int want = static_cast<int>(std::min(fragment.take - got.size(), sizeof buffer - 1));
            const int n = socket_.SReceive(socket_.FSocket, buffer, want);
            if (n <= 0) break;
            got.append(buffer, static_cast<size_t>(n));
        }
        if (AbortRequested() || lastSocketError_ != 0) return false;
        line = got;
        replyClass = fragment.replyClass;
        if (got.size() != fragment.take) {
            // A short read holds no LF: it continues the line and ends nothing.
            next = state;
            if (got.empty()) next = {false, 0};
            else NextReplyFragment(got, got.size(), true, next);
            replyClass = 0;
        }
        state = next;
        if (fragment.complete) closed = false;  // more may follow the line
        return true;
    }
}

bool ControlChannel::AbortRequested() {
    if (!abortFlag_) return false;
    abortFlag_ = false;
    return true;
}

void ControlChannel::BusyCursor() {
    if (OnCursor) OnCursor(true);
}

void ControlChannel::NormalCursor() {
    if (OnCursor) OnCursor(false);
}

void ControlChannel::SocketErrorOccurred(int error, const std::string& msg) {
    lastSocketError_ = error;
    if (error == WSAETIMEDOUT) {
        abortFlag_ = true;
        lastSocketError_ = 0;
        return;
    }
    const std::string text = "Error: " + std::to_string(error) + "\r\n" + msg;
    lastErrorText_ = msg;
    if (errorsQuiet_) {
        transcript_.LogLine(text + " Error");
        return;
    }
    prompts_.MessageBox(text, "Error", PromptButtons::Ok, PromptIcon::Exclamation);
    transcript_.LogLine(text + " Error");
}

bool ControlChannel::RefuseIfBusy() {
    if (!commandBusy_ && !transferBusy_) return false;
    transcript_.ShowLine("Command already in progress, request ignored");
    return true;
}

int ControlChannel::PaneReplyCode() const { return StrToInt(transcript_.Pane().LastLine().substr(0, 3)); }

}  // namespace vollum
