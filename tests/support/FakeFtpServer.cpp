#include "support/FakeFtpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace vollum::test {

namespace {
constexpr int kIoTimeoutMs = 15000;

bool WaitFd(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

struct ScriptAbort {};
}  // namespace

FakeFtpServer::FakeFtpServer() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listenFd_, 4) != 0)
        throw std::runtime_error("fake server: cannot listen");
    socklen_t len = sizeof a;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
}

FakeFtpServer::~FakeFtpServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) ::close(listenFd_);
}

FakeFtpServer& FakeFtpServer::Do(Step step) {
    steps_.push_back(std::move(step));
    return *this;
}

FakeFtpServer& FakeFtpServer::Send(const std::string& bytes) {
    return Do([bytes](Context& c) { c.Write(bytes); });
}

FakeFtpServer& FakeFtpServer::Reply(const std::string& line) { return Send(line + "\r\n"); }

FakeFtpServer& FakeFtpServer::Expect(const std::string& prefix) {
    return Do([prefix](Context& c) {
        const std::string line = c.ReadLine();
        if (line.compare(0, prefix.size(), prefix) != 0) c.Fail("expected '" + prefix + "', got '" + line + "'");
    });
}

FakeFtpServer& FakeFtpServer::ExpectUrgentAbort() {
    return Do([](Context& c) {
        // The urgent byte is the last of "ABOR\r\n"; it arrives apart from the stream.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kIoTimeoutMs);
        char oob = 0;
        for (;;) {
            if (::recv(c.control, &oob, 1, MSG_OOB | MSG_DONTWAIT) == 1) break;
            if (std::chrono::steady_clock::now() > deadline || c.server.stop_) c.Fail("no urgent data");
            pollfd p{c.control, POLLPRI, 0};
            ::poll(&p, 1, 50);
        }
        // The stream keeps the line without that byte: with the LF taken out,
        // the line ends at its CR (waiting for a LF would wait for the next command).
        const char end = oob == '\n' ? '\r' : '\n';
        while (c.buffered.find(end) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline || c.server.stop_) c.Fail("no ABOR line");
            if (!WaitFd(c.control, POLLIN, 50)) continue;
            char buf[512];
            const ssize_t n = ::recv(c.control, buf, sizeof buf, 0);
            if (n <= 0) c.Fail("client closed the control connection");
            c.buffered.append(buf, static_cast<size_t>(n));
        }
        const auto pos = c.buffered.find(end);
        std::string line = c.buffered.substr(0, pos);
        c.buffered.erase(0, pos + 1);
        while (!line.empty() && line.back() == '\r') line.pop_back();
        std::lock_guard<std::mutex> lock(c.server.mutex_);
        c.server.commands_.push_back(line + " (urgent)");
    });
}

FakeFtpServer& FakeFtpServer::Pause(int ms) {
    return Do([ms](Context& c) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!c.server.stop_ && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
}

FakeFtpServer& FakeFtpServer::CloseControl() {
    return Do([](Context& c) {
        ::close(c.control);
        c.control = -1;
    });
}

FakeFtpServer& FakeFtpServer::SendData(const std::string& bytes, int chunk, int pauseMs) {
    return Do([bytes, chunk, pauseMs](Context& c) {
        const int fd = c.ConnectToPort();
        size_t off = 0;
        while (off < bytes.size()) {
            const size_t n = chunk > 0 ? std::min(bytes.size() - off, static_cast<size_t>(chunk)) : bytes.size() - off;
            const ssize_t w = ::send(fd, bytes.data() + off, n, MSG_NOSIGNAL);
            if (w <= 0) break;
            off += static_cast<size_t>(w);
            if (pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        }
        ::close(fd);
    });
}

FakeFtpServer& FakeFtpServer::ReceiveData() {
    return Do([](Context& c) {
        const int fd = c.ConnectToPort();
        char buf[4096];
        for (;;) {
            if (!WaitFd(fd, POLLIN, kIoTimeoutMs)) c.Fail("data connection silent");
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            std::lock_guard<std::mutex> lock(c.server.mutex_);
            c.server.data_.append(buf, static_cast<size_t>(n));
        }
        ::close(fd);
    });
}

FakeFtpServer& FakeFtpServer::ReceiveDataSlowly(size_t bytes, int pauseMs) {
    return Do([bytes, pauseMs](Context& c) {
        c.data = c.ConnectToPort();
        char buf[256];
        size_t got = 0;
        while (got < bytes && WaitFd(c.data, POLLIN, kIoTimeoutMs)) {
            const ssize_t n = ::recv(c.data, buf, std::min(sizeof buf, bytes - got), 0);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
            std::lock_guard<std::mutex> lock(c.server.mutex_);
            c.server.data_.append(buf, static_cast<size_t>(n));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    });
}

FakeFtpServer& FakeFtpServer::ConnectDataOnly() {
    return Do([](Context& c) { c.data = c.ConnectToPort(); });
}

FakeFtpServer& FakeFtpServer::CloseData() {
    return Do([](Context& c) {
        if (c.data >= 0) ::close(c.data);
        c.data = -1;
    });
}

void FakeFtpServer::Start() {
    thread_ = std::thread([this] { Run(); });
}

void FakeFtpServer::Run() {
    Context c{*this, -1, -1, {}};
    try {
        // Poll in short slices so that Finish() ends a server nobody connected to.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kIoTimeoutMs);
        bool connected = false;
        while (!stop_ && !connected && std::chrono::steady_clock::now() < deadline)
            connected = WaitFd(listenFd_, POLLIN, 50);
        if (!connected) c.Fail("no client connected");
        c.control = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        for (auto& step : steps_) {
            if (stop_) break;
            step(c);
        }
        // Keep the connection open until told to stop, as a quiet server would.
        while (!stop_ && c.control >= 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } catch (const ScriptAbort&) {
    }
    if (c.data >= 0) ::close(c.data);
    if (c.control >= 0) ::close(c.control);
    done_ = true;
}

void FakeFtpServer::Finish(int timeoutMs) {
    (void)timeoutMs;
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

bool FakeFtpServer::Failed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !failure_.empty();
}

std::string FakeFtpServer::Failure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

std::vector<std::string> FakeFtpServer::Commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

std::string FakeFtpServer::DataReceived() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return data_;
}

std::string FakeFtpServer::LastPortArgument() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return portArg_;
}

std::string FakeFtpServer::Context::ReadLine() {
    for (;;) {
        const auto lf = buffered.find('\n');
        if (lf != std::string::npos) {
            std::string line = buffered.substr(0, lf);
            buffered.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::lock_guard<std::mutex> lock(server.mutex_);
            server.commands_.push_back(line);
            if (line.compare(0, 5, "PORT ") == 0) server.portArg_ = line.substr(5);
            return line;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kIoTimeoutMs);
        bool readable = false;
        while (!server.stop_ && std::chrono::steady_clock::now() < deadline)
            if ((readable = WaitFd(control, POLLIN, 50))) break;
        if (!readable) {
            // A partial line (the ABOR whose urgent LF was taken apart) still counts.
            if (!buffered.empty()) {
                std::string line = buffered;
                buffered.clear();
                std::lock_guard<std::mutex> lock(server.mutex_);
                server.commands_.push_back(line);
                return line;
            }
            Fail("no command arrived");
        }
        char buf[512];
        const ssize_t n = ::recv(control, buf, sizeof buf, 0);
        if (n <= 0) Fail("client closed the control connection");
        buffered.append(buf, static_cast<size_t>(n));
    }
}

void FakeFtpServer::Context::Write(const std::string& bytes) {
    if (control < 0) return;
    ::send(control, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

int FakeFtpServer::Context::ConnectToPort() {
    std::string arg;
    {
        std::lock_guard<std::mutex> lock(server.mutex_);
        arg = server.portArg_;
    }
    int h1, h2, h3, h4, p1, p2;
    if (std::sscanf(arg.c_str(), "%d,%d,%d,%d,%d,%d", &h1, &h2, &h3, &h4, &p1, &p2) != 6) Fail("no PORT given");
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(p1 * 256 + p2));
    a.sin_addr.s_addr = htonl(static_cast<uint32_t>((h1 << 24) | (h2 << 16) | (h3 << 8) | h4));
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        Fail("cannot connect to PORT " + arg);
    }
    return fd;
}

void FakeFtpServer::Context::Fail(const std::string& why) {
    {
        std::lock_guard<std::mutex> lock(server.mutex_);
        if (server.failure_.empty()) server.failure_ = why;
    }
    throw ScriptAbort{};
}

}  // namespace vollum::test
