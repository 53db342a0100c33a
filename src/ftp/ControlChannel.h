#pragma once
// The control connection: commands out, replies in. Owns the socket, the
// busy guard (one command or transfer at a time), the abort request, the
// last socket error and the last reply line. Shows and logs through the
// Transcript.
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "common/Format.h"
#include "ftp/ReplyFraming.h"
#include "socket/TSleeper.h"
#include "socket/TSockets.h"

namespace vollum {

class Transcript;
class UserPrompts;

class ControlChannel {
public:
    ControlChannel(Transcript& transcript, UserPrompts& prompts);

    // Connects to host:port; true when the connection stands (Connected then).
    bool Open(const std::string& host, const std::string& port);
    // Closes the connection without a word to the server.
    void Disconnect();
    bool Connected() const { return connected_; }
    // Changes with every new connection; and the second also with every
    // command that may change the remote current directory: what was learnt
    // about a connection or a directory holds while its number stays.
    int ConnectionSerial() const { return connectionSerial_; }
    int DirectorySerial() const { return directorySerial_; }
    bool SocketOpen() const { return socket_.FSocket != -1; }
    // The host as given to Open.
    std::string HostName() const { return socket_.IPAddr; }
    std::string LocalAddress() const;
    bool IsIPv6() const { return socket_.IsIPv6(socket_.FSocket); }
    // Both ends of the connection, as addresses and ports.
    struct Endpoints {
        std::string localPort, localAddress, remotePort, remoteAddress;
    };
    Endpoints Ends() const;

    // The reply class 1-5 of the command's reply; 5 when it was not sent or
    // no reply came, -1 when refused because a command is running.
    int FtpCommand(const std::string& format, std::initializer_list<FmtArg> args = {});
    int SendCommand(const std::string& line);
    // The TYPE command, sent only when it is not the one the server last
    // accepted on this connection; 2 when it need not be sent.
    int SetType(const std::string& typeCommand);
    int GetReply();
    // "ABOR\r\n" as urgent data; it must get through while a command is busy.
    void SendUrgent(const std::string& text);
    // Reads up to count replies as they come within ms, without a box for
    // the wait; those that do not come in time are read before the next command.
    void ReadRepliesWithin(int count, int ms);

    // TLS on the connection once the server accepted AUTH TLS; false when the
    // handshake failed (TlsProblem says why). Protected() from then on.
    bool StartTls();
    bool Protected() const { return socket_.Tls() != nullptr; }
    const TlsStream* Tls() const { return socket_.Tls(); }
    // The session's TLS settings, shared with its data connections.
    TlsContext& TlsSettings();
    const std::string& TlsProblem() const { return socket_.TlsProblem(); }
    // Runs once, right after the next command is sent and before its reply
    // is read (dropped with nullptr).
    void AfterNextSend(std::function<void()> action) { afterSend_ = std::move(action); }
    // The reply to an interrupted command is still owed: it is read before the next command.
    void OweReply() { ++owedReplies_; }
    bool OwesReply() const { return owedReplies_ > 0; }

    // Every reply line read from now on also goes into *into, as received
    // (nullptr stops it); replies no command asked for are left out.
    void CaptureReplies(std::string* into) { replyCapture_ = into; }

    // The reply line last read, CR LF kept ("" after ForgetLastReply).
    const std::string& LastReply() const { return lastReply_; }
    void ForgetLastReply() { lastReply_.clear(); }
    // The code at the start of the pane's last line; raises EConvertError.
    int PaneReplyCode() const;

    // Called after every FtpCommand with the line and its result, once the
    // command is no longer busy.
    std::function<void(const std::string& line, int result)> OnCommandDone;
    // The command's verb, upper-cased.
    static std::string CommandVerb(const std::string& line);
    // The line as pane and log show it: the argument of PASS and ACCT, in
    // any letter case, replaced by "xxxxxx".
    static std::string Masked(const std::string& line);

    // False when text holds CR, LF or NUL: no command line may carry it.
    static bool CommandSafe(const std::string& text);
    // The text with CR, LF and NUL written as \r, \n and \0, for pane and log.
    static std::string Printable(const std::string& text);

    bool Busy() const { return commandBusy_; }
    bool TransferBusy() const { return transferBusy_; }
    // Shows "Command already in progress, request ignored" and returns true
    // while a command or a transfer is running.
    bool RefuseIfBusy();
    // Marks a transfer running for its lifetime, whatever way it ends.
    class TransferScope {
    public:
        explicit TransferScope(ControlChannel& c) : c_(c) {
            c_.transferBusy_ = true;
            c_.userCancel_ = false;
        }
        ~TransferScope() { c_.transferBusy_ = false; }
        TransferScope(const TransferScope&) = delete;
        TransferScope& operator=(const TransferScope&) = delete;

    private:
        ControlChannel& c_;
    };

    // Cancel and time-outs: the wait in progress gives up at its next look.
    void RequestAbort() { abortFlag_ = true; }
    // The user's Cancel: an abort that is no failure (no error box) and is said as such.
    void RequestCancel() {
        abortFlag_ = true;
        userCancel_ = true;
    }
    // The running transfer was stopped by the user's Cancel.
    bool UserCancelled() const { return userCancel_; }
    void ClearAbort() {
        abortFlag_ = false;
        userCancel_ = false;
    }
    bool AbortPending() const { return abortFlag_; }
    // True once per request.
    bool AbortRequested();
    int LastSocketError() const { return lastSocketError_; }
    // Before a new connection: no error and no abort left from an earlier attempt.
    void ForgetFailures() {
        lastSocketError_ = 0;
        abortFlag_ = false;
    }
    // Ends a socket wait in progress at once instead of at its deadline.
    void AbandonWait() {
        if (socket_.IsBlocking()) socket_.CancelBlockingCall();
    }
    // The handler of both connections' socket errors.
    void SocketErrorOccurred(int error, const std::string& msg);
    // While set, a socket failure is logged and kept in LastErrorText instead
    // of shown in a box (a run says it once in a notice of its own).
    void SetErrorsQuiet(bool quiet) { errorsQuiet_ = quiet; }
    // The text of the last socket failure reported ("Connection refused").
    const std::string& LastErrorText() const { return lastErrorText_; }

    void SetTimeout(int seconds) { socket_.Timeout = seconds; }
    int Timeout() const { return socket_.Timeout; }
    // How many pending bytes one look at the connection sees (the longest fragment).
    void SetPeekWindow(int bytes) { socket_.MaximumReceiveLength = bytes; }

    std::function<void(bool busy)> OnCursor;
    void BusyCursor();
    void NormalCursor();

private:
    class CommandScope;
    int SendAndAwaitReply(const std::string& line);
    // Consumes one fragment (see NextReplyFragment); false when the wait was abandoned.
    bool ReadReplyFragment(std::string& line, bool& closed, ReplyFrameState& state, int& replyClass);
    // One reply; abandoned is set when the wait was given up (time-out, Cancel).
    int ReadReply(bool& abandoned);
    // Reads, shows and logs replies no command asked for, so that the next
    // command gets its own answer. Bounded in count and time.
    void ReadUnaskedReplies();
    void ConnectionClosedByPeer();
    // Ends the session, saying why in the pane and the log.
    void DropConnection(const std::string& why);

    static constexpr int kOwedReplyGraceMs = 1000;
    static constexpr int kMaxUnaskedReplies = 16;

    Transcript& transcript_;
    UserPrompts& prompts_;
    TSockets socket_;
    TSleeper sleeper_;
    bool connected_ = false;
    bool commandBusy_ = false;
    bool transferBusy_ = false;
    bool abortFlag_ = false;
    bool userCancel_ = false;
    bool errorsQuiet_ = false;
    std::string lastErrorText_;
    int lastSocketError_ = 0;
    int connectionSerial_ = 0;
    int directorySerial_ = 0;
    int owedReplies_ = 0;  // replies still to come for commands whose wait was given up
    std::function<void()> afterSend_;
    std::string lastReply_;
    std::string* replyCapture_ = nullptr;
    // The TYPE line the server last answered with 2xx on this connection;
    // empty when unknown.
    std::string acceptedType_;
    std::unique_ptr<TlsContext> tlsContext_;
};

}  // namespace vollum
