#include "socket/TSockets.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include "common/Convert.h"
#include "common/Errors.h"
#include "common/Terminate.h"
#include "common/UserPrompts.h"
#include "socket/ErrorTable.h"

namespace vollum {

namespace {

int OpenStreamSocket(int family) {
    // Non-blocking underneath: "blocking" calls wait in the event loop.
    return ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
}

ConsolePrompts& FallbackPrompts() {
    static ConsolePrompts prompts;
    return prompts;
}

bool AddressOf(int socket, bool peer, sockaddr_storage& addr) {
    socklen_t len = sizeof addr;
    std::memset(&addr, 0, sizeof addr);
    const int rc = peer ? ::getpeername(socket, reinterpret_cast<sockaddr*>(&addr), &len)
                        : ::getsockname(socket, reinterpret_cast<sockaddr*>(&addr), &len);
    return rc == 0;
}

uint16_t PortOf(const sockaddr_storage& a) {
    if (a.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(a).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in&>(a).sin_port);
}

std::string AddressText(const sockaddr_storage& a) {
    char text[INET6_ADDRSTRLEN] = {};
    if (a.ss_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(a).sin6_addr, text, sizeof text);
    else ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(a).sin_addr, text, sizeof text);
    return text;
}

// A literal address of either family, else the name's first IPv4 address,
// else its first IPv6 one: a name with both keeps reaching the IPv4 host.
bool ResolveHost(const std::string& host, uint16_t port, sockaddr_storage& out, socklen_t& len) {
    std::memset(&out, 0, sizeof out);
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&out);
    if (::inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        len = sizeof *v4;
        return true;
    }
    if (::inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        len = sizeof *v6;
        return true;
    }
    for (const int family : {AF_INET, AF_INET6}) {
        addrinfo hints{};
        hints.ai_family = family;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* res = nullptr;
        if (::getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res) continue;
        len = static_cast<socklen_t>(res->ai_addrlen);
        std::memcpy(&out, res->ai_addr, res->ai_addrlen);
        ::freeaddrinfo(res);
        if (family == AF_INET) v4->sin_port = htons(port);
        else v6->sin6_port = htons(port);
        return true;
    }
    return false;
}

}  // namespace

TSockets::TSockets(QObject* owner) : QObject(owner) {
    // A peer that goes away must not kill the process on the next send.
    std::signal(SIGPIPE, SIG_IGN);
}

TSockets::~TSockets() {
    readNotifier_.reset();
    writeNotifier_.reset();
    listenNotifier_.reset();
    if (FSocket >= 0) ::close(FSocket);
    if (FListenSocket >= 0) ::close(FListenSocket);
}

void TSockets::SetNonBlocking(bool value) { FNonBlocking = value ? 1 : 0; }

void TSockets::Box(const std::string& text, const std::string& title) {
    UserPrompts* p = prompts_ ? prompts_ : &FallbackPrompts();
    p->MessageBox(text, title, PromptButtons::OkCancel, PromptIcon::Error);
}

void TSockets::ReportError(int socket, const std::string& label, int code) {
    const std::string text = WinSockErrorText(code);
    if (OnErrorOccurred) {
        OnErrorOccurred(this, socket, code, text);
        return;
    }
    Box("Error " + std::to_string(code) + " in function " + label + "\r\n" + text, "WINSOCK ERROR");
    TerminateProgram(0);
}

void TSockets::ReportTimeout() {
    if (OnErrorOccurred) {
        OnErrorOccurred(this, FSocket, WSAETIMEDOUT, "Blocking call timed out");
        return;
    }
    Box("Error 10060\r\nBlocking call timed out", "WINSOCK CALL CANCELED");
}

TSockets::CallResult TSockets::WaitReady(int fd, WaitFor what) {
    return WaitReady(fd, what, WaitMsForSeconds(Timeout));
}

TSockets::CallResult TSockets::WaitReady(int fd, WaitFor what, int64_t timeoutMs) {
    if (NonBlocking()) return CallResult::Ok;
    switch (wait_.Wait(fd, what, timeoutMs)) {
        case WaitResult::Ready: return CallResult::Ok;
        case WaitResult::TimedOut: ReportTimeout(); return CallResult::TimedOut;
        case WaitResult::Cancelled: return CallResult::Cancelled;
    }
    return CallResult::Cancelled;
}

void TSockets::CancelBlockingCall() { wait_.Cancel(); }

uint16_t PortFromText(const std::string& port, bool forListening) {
    if (const servent* se = ::getservbyname(port.c_str(), "tcp")) return ntohs(static_cast<uint16_t>(se->s_port));
    const int32_t value = StrToInt(port);
    // Cutting to 16 bits would quietly reach some other port; 0 asks the system
    // to choose, which only a listening socket may.
    if (value < (forListening ? 0 : 1) || value > 65535) throw EConvertError(port);
    return static_cast<uint16_t>(value);
}

void TSockets::SConnect() {
    SConnectBegin();
    SConnectEnd();
}

void TSockets::SConnectBegin() {
    connectPending_ = false;
    if (Port.empty()) {
        Box("No Port Specified", "WINSOCK ERROR");
        return;
    }
    if (IPAddr.empty()) {
        Box("No IP Address Specified", "WINSOCK ERROR");
        return;
    }
    const std::string portText = Port.substr(0, 31);
    const std::string hostText = IPAddr.substr(0, 256);
    const uint16_t port = PortFromText(portText, false);
    sockaddr_storage addr{};
    socklen_t addrLen = 0;
    if (!ResolveHost(hostText, port, addr, addrLen)) {
        Box("Cannot convert host address", "WINSOCK ERROR");
        return;
    }

    DropTls();  // a new connection starts in plain text
    FSocket = OpenStreamSocket(addr.ss_family);
    if (FSocket < 0) ReportError(-1, "SConnect (socket)", WinSockCodeFromErrno(errno));
    if (NonBlocking()) WatchAsync(FSocket, false);

    if (::connect(FSocket, reinterpret_cast<sockaddr*>(&addr), addrLen) == 0) {
        if (NonBlocking()) connecting_ = true;  // FD_CONNECT still follows
        return;
    }
    if (errno != EINPROGRESS) {
        const int code = WinSockCodeFromErrno(errno);
        if (NonBlocking()) StopWatching(FSocket);  // nothing more will come from it
        ReportError(FSocket, "SConnect", code);
        return;
    }
    if (NonBlocking()) {
        connecting_ = true;
        return;
    }
    connectPending_ = true;
}

bool TSockets::SConnectEnd() {
    if (!connectPending_) return FSocket != -1;
    connectPending_ = false;
    const int fd = FSocket;
    switch (WaitReady(fd, WaitFor::Write)) {
        case CallResult::Ok: {
            int err = 0;
            socklen_t len = sizeof err;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
            if (err == 0) return true;
            ReportError(FSocket, "SConnect", WinSockCodeFromErrno(err));
            return false;
        }
        case CallResult::TimedOut:
        case CallResult::Cancelled: ReportError(FSocket, "SConnect", WSAEINTR); return false;
    }
    return false;
}

void TSockets::SListen() {
    if (Port.empty()) {
        Box("No Port Specified", "WINSOCK ERROR");
        return;
    }
    const uint16_t port = PortFromText(Port, true);
    sockaddr_storage addr{};
    socklen_t addrLen = 0;
    if (ListenIPv6) {
        auto& a = reinterpret_cast<sockaddr_in6&>(addr);
        a.sin6_family = AF_INET6;
        a.sin6_port = htons(port);
        a.sin6_addr = in6addr_any;
        if (!ListenAddress.empty() && ::inet_pton(AF_INET6, ListenAddress.c_str(), &a.sin6_addr) != 1) {
            Box("Cannot convert host address", "WINSOCK ERROR");
            return;
        }
        addrLen = sizeof a;
    } else {
        auto& a = reinterpret_cast<sockaddr_in&>(addr);
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        if (!ListenAddress.empty() && ::inet_pton(AF_INET, ListenAddress.c_str(), &a.sin_addr) != 1) {
            Box("Cannot convert host address", "WINSOCK ERROR");
            return;
        }
        addrLen = sizeof a;
    }

    FListenSocket = OpenStreamSocket(addr.ss_family);
    if (FListenSocket < 0) ReportError(-1, "socket", WinSockCodeFromErrno(errno));
    if (::bind(FListenSocket, reinterpret_cast<sockaddr*>(&addr), addrLen) != 0)
        ReportError(FListenSocket, "Bind", WinSockCodeFromErrno(errno));
    if (::listen(FListenSocket, 5) != 0) ReportError(FListenSocket, "Listen", WinSockCodeFromErrno(errno));
    if (NonBlocking()) WatchAsync(FListenSocket, true);
}

int TSockets::Accept() {
    if (FListenSocket < 0) {
        FSocket = -1;
        ReportError(FSocket, "Accept", WSAENOTSOCK);
        return FSocket;
    }
    // Refused peers do not extend the wait: it ends at the deadline set now.
    const int64_t timeoutMs = WaitMsForSeconds(Timeout);
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        sockaddr_storage peer{};
        socklen_t len = sizeof peer;
        const int fd = ::accept4(FListenSocket, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
        const int err = fd < 0 ? errno : 0;
        if (NonBlocking()) RearmRead(FListenSocket);
        if (fd >= 0 && !AcceptFrom.empty() && AddressText(peer) != AcceptFrom) {
            ::close(fd);
            if (OnRefusedPeer) OnRefusedPeer(AddressText(peer));
            if (FListenSocket >= 0) continue;
            FSocket = -1;  // a handler gave up the wait
            return FSocket;
        }
        if (fd >= 0) {
            DropTls();
            FSocket = fd;
            if (NonBlocking()) WatchAsync(FSocket, false);
            return FSocket;
        }
        if (err == EINTR || err == ECONNABORTED) continue;
        if (err != EAGAIN || NonBlocking()) {
            FSocket = -1;
            return FSocket;
        }
        int64_t leftMs = timeoutMs;
        if (timeoutMs > 0) {
            const auto spent =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
            leftMs = std::max<int64_t>(1, timeoutMs - spent);
        }
        if (WaitReady(FListenSocket, WaitFor::Read, leftMs) != CallResult::Ok) {
            FSocket = -1;  // time-out or cancel: shows only as the missing handle
            return FSocket;
        }
    }
}

void TSockets::CancelListen() {
    StopWatching(FListenSocket);
    ::shutdown(FListenSocket, SHUT_RDWR);
    if (::close(FListenSocket) != 0)
        ReportError(FListenSocket, "CancelListen (closesocket)", WinSockCodeFromErrno(errno));
    FListenSocket = -1;
}

void TSockets::Disconnect() {
    StopWatching(FSocket);
    if (wait_.Waiting()) wait_.Cancel();
    const int fd = FSocket;
    // Our close_notify, once, without waiting: a server that sees the stream
    // end without it may refuse to resume its session on the next data
    // connection (OpenSSL then drops the session on both sides).
    if (tls_) tls_->Shutdown();
    DropTls();
    ::shutdown(fd, SHUT_RDWR);
    linger lg{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    if (::close(fd) != 0) ReportError(fd, "Disconnect (closesocket)", WinSockCodeFromErrno(errno));
    FSocket = -1;
    connecting_ = false;
    connectPending_ = false;
}

int TSockets::SendAll(int socket, const char* data, int size, int flags, bool& cancelled, bool once) {
    cancelled = false;
    if (tls_ && socket == FSocket) return TlsSendAll(data, size, cancelled, once);
    int sent = 0;
    while (sent < size || size == 0) {
        const ssize_t n =
            ::send(socket, data + sent, static_cast<size_t>(size - sent), flags | MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            sent += static_cast<int>(n);
            if (size == 0 || (once && n > 0)) break;
            continue;
        }
        const int err = errno;
        if (err == EINTR) continue;
        if (err == EAGAIN && NonBlocking() && socket == FSocket && writeNotifier_)
            writeNotifier_->setEnabled(true);  // FD_WRITE follows when there is room again
        if (err != EAGAIN || NonBlocking()) return -WinSockCodeFromErrno(err);
        if (WaitReady(socket, WaitFor::Write) != CallResult::Ok) {
            cancelled = true;
            return -WSAEINTR;
        }
    }
    return sent;
}

void TSockets::SetText(const std::string& S) {
    bool cancelled = false;
    const int rc = SendAll(FSocket, S.data(), static_cast<int>(S.size()), 0, cancelled);
    if (rc < 0) ReportError(FSocket, "SetText (Send)", -rc);
}

void TSockets::SendUrgent(const std::string& S) {
    if (tls_) {
        SetText(S);
        return;
    }
    bool cancelled = false;
    const int rc = SendAll(FSocket, S.data(), static_cast<int>(S.size()), MSG_OOB, cancelled);
    if (rc < 0) ReportError(FSocket, "SetText (Send)", -rc);
}

std::string TSockets::PeekPending(size_t seen, bool& closed, bool& failed) {
    closed = false;
    failed = false;
    if (FSocket < 0) {
        closed = true;
        return {};
    }
    const size_t window = MaximumReceiveLength > 0 ? static_cast<size_t>(MaximumReceiveLength) : 1;
    if (tls_) {
        // Decrypted bytes are gathered until more than `seen` are there.
        while (tlsIn_.size() <= seen && tlsIn_.size() < window) {
            if (!TlsFill(closed, failed)) break;
        }
        if (failed && !closed) ReportError(FSocket, "PeekData (Peek)", WSAEINTR);
        return tlsIn_.substr(0, window);
    }
    std::string buf(window, '\0');
    bool waited = false;
    if (NonBlocking()) RearmRead(FSocket);
    for (;;) {
        const ssize_t n = ::recv(FSocket, buf.data(), window, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0 && (static_cast<size_t>(n) > seen || static_cast<size_t>(n) >= window)) {
            buf.resize(static_cast<size_t>(n));
            return buf;
        }
        if (n == 0) {
            closed = true;
            return {};
        }
        if (n > 0 && waited) {
            // Woken although nothing new arrived: the peer has closed its side.
            closed = true;
            buf.resize(static_cast<size_t>(n));
            return buf;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            const int code = WinSockCodeFromErrno(errno);
            if (errno == ECONNRESET) closed = true;
            failed = true;
            ReportError(FSocket, "PeekData (Peek)", code);
            return {};
        }
        if (NonBlocking()) {
            if (n > 0) buf.resize(static_cast<size_t>(n));
            else buf.clear();
            return buf;
        }
        // Wake only when more than `seen` bytes are pending (or on close).
        int lowat = static_cast<int>(seen) + 1;
        ::setsockopt(FSocket, SOL_SOCKET, SO_RCVLOWAT, &lowat, sizeof lowat);
        const int fd = FSocket;
        const CallResult r = WaitReady(fd, WaitFor::Read);
        int one = 1;
        if (FSocket == fd) ::setsockopt(fd, SOL_SOCKET, SO_RCVLOWAT, &one, sizeof one);
        if (r != CallResult::Ok) {
            failed = true;
            ReportError(FSocket, "PeekData (Peek)", WSAEINTR);
            return {};
        }
        if (FSocket < 0) {
            closed = true;
            return {};
        }
        waited = true;
    }
}

std::string TSockets::PeekData() {
    if (FSocket == -1) return {};
    bool closed = false, failed = false;
    std::string data = PeekPending(0, closed, failed);
    const auto nul = data.find('\0');
    if (nul != std::string::npos) data.resize(nul);
    return data;
}

int TSockets::SReceive(int socket, char* buffer, int& size) {
    if (socket == -1) return -1;
    if (tls_ && socket == FSocket) return TlsReceive(buffer, size);
    if (NonBlocking()) RearmRead(socket);
    for (;;) {
        const ssize_t n = ::recv(socket, buffer, static_cast<size_t>(size), MSG_DONTWAIT);
        if (n >= 0) return static_cast<int>(n);
        if (errno == EINTR) continue;
        if (errno != EAGAIN || NonBlocking()) return -1;
        if (WaitReady(socket, WaitFor::Read) != CallResult::Ok) return -1;
    }
}

int TSockets::SSend(int socket, const char* buffer, int& size) {
    if (socket == -1) return size;
    bool cancelled = false;
    const int rc = SendAll(socket, buffer, size, 0, cancelled);
    size = rc;
    if (rc < 0) ReportError(FSocket, "SSend", -rc);
    return size;
}

int TSockets::SSendPart(int socket, const char* buffer, int size) {
    if (socket == -1) return size;
    bool cancelled = false;
    const int rc = SendAll(socket, buffer, size, 0, cancelled, true);
    if (rc < 0) ReportError(FSocket, "SSend", -rc);
    return rc;
}

bool TSockets::HasPendingInput() {
    if (FSocket < 0) return false;
    if (tls_) {
        bool closed = false, failed = false;
        if (tlsIn_.empty()) TlsFill(closed, failed, false);
        return !tlsIn_.empty() || closed;
    }
    char c = 0;
    const ssize_t n = ::recv(FSocket, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    return n >= 0 || (errno != EAGAIN && errno != EINTR);
}

bool TSockets::WaitForInput(int64_t timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max<int64_t>(1, timeoutMs));
    for (;;) {
        if (HasPendingInput()) return true;
        const int64_t left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
        // A readable socket may hold only TLS records that are no input: then it waits again.
        if (FSocket < 0 || left <= 0 || wait_.Wait(FSocket, WaitFor::Read, left) != WaitResult::Ready) return false;
    }
}

bool TSockets::ShutdownAndDrain(int socket) {
    if (socket < 0) return false;
    if (tls_ && socket == FSocket) return TlsShutdownAndDrain();
    ::shutdown(socket, SHUT_WR);
    char scratch[512];
    for (;;) {
        const ssize_t n = ::recv(socket, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n == 0) return true;
        if (n > 0) continue;
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return false;
        const int64_t timeoutMs = WaitMsForSeconds(Timeout);
        if (wait_.Wait(socket, WaitFor::Read, timeoutMs) != WaitResult::Ready) return false;
    }
}

std::string TSockets::GetLocalPort(int socket) const {
    sockaddr_storage a{};
    AddressOf(socket, false, a);
    return std::to_string(PortOf(a));
}

std::string TSockets::GetLocalIPAddr(int socket) const {
    sockaddr_storage a{};
    AddressOf(socket, false, a);
    return AddressText(a);
}

std::string TSockets::GetRemotePort(int socket) const {
    sockaddr_storage a{};
    AddressOf(socket, true, a);
    return std::to_string(PortOf(a));
}

std::string TSockets::GetRemoteIPAddr(int socket) const {
    sockaddr_storage a{};
    AddressOf(socket, true, a);
    return AddressText(a);
}

bool TSockets::IsIPv6(int socket) const {
    sockaddr_storage a{};
    return AddressOf(socket, false, a) && a.ss_family == AF_INET6;
}

}  // namespace vollum
