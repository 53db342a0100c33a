#pragma once
// One TCP connection plus one listening socket, with a time-out on every call
// that can block. Blocking calls wait in the event loop (EventWait), so
// handlers run during a wait and can abandon it. The blocking half is in
// TSockets.cpp, the asynchronous notifications in TSocketsAsync.cpp. Like the
// rest of socket/, it speaks the system's socket interface directly.
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "socket/EventWait.h"
#include "socket/TlsStream.h"

class QSocketNotifier;

namespace vollum {

class UserPrompts;
class TSockets;

// A port text as SConnect and SListen read it: a service name known for "tcp",
// else a decimal number 1-65535 (0 too for listening), in host byte order.
// Raises EConvertError naming the text otherwise.
uint16_t PortFromText(const std::string& port, bool forListening);

using TDataAvailable = std::function<void(TSockets* Sender, int Socket)>;
using TDataNeeded = TDataAvailable;
using TSessionClosed = TDataAvailable;
using TSessionAvailable = TDataAvailable;
using TSessionConnected = TDataAvailable;
using TErrorOccurred = std::function<void(TSockets* Sender, int Socket, int Error, const std::string& Msg)>;

class TSockets : public QObject {
    Q_OBJECT
public:
    explicit TSockets(QObject* owner = nullptr);
    ~TSockets() override;

    // Published properties.
    int MaximumReceiveLength = 8192;
    std::string IPAddr;
    std::string Port;
    bool NonBlocking() const { return FNonBlocking == 1; }
    void SetNonBlocking(bool value);
    int Timeout = 30;
    // SListen listens on IPv6 instead of IPv4 (the control connection's family).
    bool ListenIPv6 = false;
    // The address SListen binds (a literal of ListenIPv6's family); empty: every address.
    std::string ListenAddress;
    // Accept takes a connection only from this peer address; one from any
    // other is closed at once, reported to OnRefusedPeer, and the wait goes on
    // to the same deadline. Empty: any peer.
    std::string AcceptFrom;
    std::function<void(const std::string& address)> OnRefusedPeer;
    TDataAvailable OnDataAvailable;
    TDataNeeded OnDataNeeded;
    TSessionClosed OnSessionClosed;
    TSessionAvailable OnSessionAvailable;
    TSessionConnected OnSessionConnected;
    TErrorOccurred OnErrorOccurred;

    // Boxes shown when no OnErrorOccurred handler is assigned.
    void SetPrompts(UserPrompts* prompts) { prompts_ = prompts; }

    void SConnect();
    // SConnect in two halves for blocking mode: the connect starts, the
    // caller sends what needs no connection yet, then waits for it to stand.
    // True from SConnectEnd once connected; errors are reported as SConnect's.
    void SConnectBegin();
    bool SConnectEnd();
    void SListen();
    int Accept();
    void CancelListen();
    void Disconnect();
    void SetText(const std::string& S);
    void SendUrgent(const std::string& S);
    std::string PeekData();
    int SReceive(int socket, char* buffer, int& size);
    int SSend(int socket, const char* buffer, int& size);
    std::string GetLocalPort(int socket) const;
    std::string GetLocalIPAddr(int socket) const;
    std::string GetRemotePort(int socket) const;
    std::string GetRemoteIPAddr(int socket) const;
    bool IsIPv6(int socket) const;

    int FSocket = -1;
    int FListenSocket = -1;

    // Beyond the published interface, for the reply reader and the store.

    // Peeks up to MaximumReceiveLength raw bytes (NULs kept) once more than
    // `seen` bytes are pending. `closed` is set when the peer has closed (or
    // reset) the connection and no more bytes will come. Timed like PeekData;
    // a time-out or failure returns what is pending with `failed` set.
    std::string PeekPending(size_t seen, bool& closed, bool& failed);
    // Orderly end of a sending transfer: shut the socket down for writing,
    // then wait (bounded by Timeout) until the peer closes its side, so no
    // sent byte is discarded. True when the peer closed in time.
    bool ShutdownAndDrain(int socket);
    // As SSend, but returns as soon as the system took some of the bytes
    // (waiting, timed, while it takes none), so a caller sending a large
    // block can look at a Cancel between the parts. Bytes taken, or the
    // negative error code after reporting it.
    int SSendPart(int socket, const char* buffer, int size);
    // Without waiting: true when bytes, the peer's close or an error wait to
    // be read on the connection.
    // Under TLS, records that are waiting are decrypted to tell (a session
    // ticket is no input).
    bool HasPendingInput();
    // Waits at most timeoutMs (at least 1) for what HasPendingInput tells,
    // reporting nothing: false when it did not come in time or the wait was
    // abandoned.
    bool WaitForInput(int64_t timeoutMs);
    // Asynchronous-mode notification: event FD_READ=1, FD_WRITE=2, FD_ACCEPT=8,
    // FD_CONNECT=16, FD_CLOSE=32; an error above 10000 is reported instead.
    void DispatchNotification(int socket, int event, int error);
    // Abandons the blocking call in progress (it fails with 10004).
    void CancelBlockingCall();
    bool IsBlocking() const { return wait_.Waiting(); }

    // TLS on the connection, as the client, in blocking mode (TSocketsTls.cpp).
    // From then on every send, receive, peek and drain above goes through it,
    // and urgent data goes in the stream (it cannot cross a TLS record). False
    // when the handshake failed or was abandoned; TlsProblem() says why and
    // the connection is left as it was (its owner closes it).
    bool StartTls(TlsContext& context, const std::string& host, const TlsStream* resumeFrom);
    const TlsStream* Tls() const { return tls_.get(); }
    // The peer ended the TLS stream without close_notify: whatever was
    // received may have been cut short by anyone on the path.
    bool TlsCut() const { return tlsCut_; }
    const std::string& TlsProblem() const { return tlsProblem_; }

private:
    enum class CallResult { Ok, TimedOut, Cancelled };
    // Waits until fd is ready, reporting a time-out (10060) the way the
    // component's timer does. Asynchronous mode does not wait.
    CallResult WaitReady(int fd, WaitFor what);
    CallResult WaitReady(int fd, WaitFor what, int64_t timeoutMs);
    void ReportError(int socket, const std::string& label, int code);
    void ReportTimeout();
    void Box(const std::string& text, const std::string& title);
    // once: return as soon as some bytes went out.
    int SendAll(int socket, const char* data, int size, int flags, bool& cancelled, bool once = false);
    void WatchAsync(int fd, bool listening);
    void StopWatching(int fd);
    void RearmRead(int fd);
    bool FinishConnect(int fd);
    void OnAsyncRead(int fd, bool listening);
    void OnAsyncWrite(int fd);
    // Waits for what a TLS step asks of the socket; false on time-out or cancel.
    bool WaitTls(TlsStep step);
    int TlsSendAll(const char* data, int size, bool& cancelled, bool once);
    // Reads one more piece into tlsIn_; false when none came (closed or failed set).
    // wait = false: only what is already there.
    bool TlsFill(bool& closed, bool& failed, bool wait = true);
    int TlsReceive(char* buffer, int size);
    bool TlsShutdownAndDrain();
    void DropTls();

    int FNonBlocking = 1;
    UserPrompts* prompts_ = nullptr;
    EventWait wait_;
    bool connecting_ = false;
    bool connectPending_ = false;  // blocking mode: begun, not yet waited for
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    std::unique_ptr<QSocketNotifier> listenNotifier_;
    std::unique_ptr<TlsStream> tls_;
    std::string tlsIn_;  // decrypted bytes peeked at but not yet received
    std::string tlsProblem_;
    bool tlsCut_ = false;
};

}  // namespace vollum
