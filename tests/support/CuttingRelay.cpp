#include "support/CuttingRelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace vollum::test {

namespace {

sockaddr_in SocketAddress(const std::string& host, int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, host.c_str(), &a.sin_addr);
    return a;
}

int Listen(const std::string& host, int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = SocketAddress(host, port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int LocalPort(int fd) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

// One relayed connection: client and server side, and what has come from the server.
struct Pair {
    int client = -1, server = -1;
    bool data = false;
    size_t fromServer = 0;
};

void CloseHard(int& fd) {
    if (fd < 0) return;
    linger lg{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    ::close(fd);
    fd = -1;
}

}  // namespace

CuttingRelay::CuttingRelay(std::string relayAddress, std::string serverAddress)
    : relayAddress_(std::move(relayAddress)), serverAddress_(std::move(serverAddress)) {
    // A port the system hands out here, checked free on the server's address too.
    for (int attempt = 0; attempt < 50 && dataListen_ < 0; ++attempt) {
        const int fd = Listen(relayAddress_, 0);
        if (fd < 0) break;
        const int probe = Listen(serverAddress_, LocalPort(fd));
        if (probe >= 0) {
            ::close(probe);
            dataListen_ = fd;
            dataPort_ = LocalPort(fd);
        } else {
            ::close(fd);
        }
    }
    if (dataListen_ < 0 || ::pipe2(stopPipe_, O_CLOEXEC) != 0) throw std::runtime_error("relay: no port");
}

CuttingRelay::~CuttingRelay() {
    if (thread_.joinable()) {
        const char stop = 'x';
        (void)::write(stopPipe_[1], &stop, 1);
        thread_.join();
    }
    for (const int fd : {dataListen_, controlListen_, stopPipe_[0], stopPipe_[1]})
        if (fd >= 0) ::close(fd);
}

void CuttingRelay::Start(int controlPort, size_t cutAfter) {
    controlPort_ = controlPort;
    controlListen_ = Listen(relayAddress_, controlPort);
    if (controlListen_ < 0) throw std::runtime_error("relay: control port taken");
    thread_ = std::thread([this, cutAfter] { Run(cutAfter); });
}

void CuttingRelay::Run(size_t cutAfter) {
    std::vector<Pair> pairs;
    char buffer[16384];
    for (;;) {
        std::vector<pollfd> fds{{stopPipe_[0], POLLIN, 0}, {controlListen_, POLLIN, 0}, {dataListen_, POLLIN, 0}};
        for (const Pair& p : pairs) {
            fds.push_back({p.client, static_cast<short>(p.client >= 0 ? POLLIN : 0), 0});
            fds.push_back({p.server, static_cast<short>(p.server >= 0 ? POLLIN : 0), 0});
        }
        if (::poll(fds.data(), fds.size(), 10000) <= 0) continue;
        if (fds[0].revents != 0) break;
        for (int i = 1; i <= 2; ++i) {
            if (fds[i].revents == 0) continue;
            Pair p;
            p.data = i == 2;
            p.client = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
            p.server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a = SocketAddress(serverAddress_, p.data ? dataPort_ : controlPort_);
            if (p.client < 0 || ::connect(p.server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                CloseHard(p.client);
                CloseHard(p.server);
                continue;
            }
            pairs.push_back(p);
        }
        for (size_t k = 0; k < fds.size() - 3; ++k) {
            if (fds[k + 3].revents == 0) continue;
            Pair& p = pairs[k / 2];
            const bool fromClient = k % 2 == 0;
            int& from = fromClient ? p.client : p.server;
            int& to = fromClient ? p.server : p.client;
            if (from < 0) continue;
            size_t want = sizeof buffer;
            if (!fromClient && p.data && cutAfter > 0) want = std::min(want, cutAfter - p.fromServer);
            const ssize_t n = ::read(from, buffer, want);
            if (n > 0 && to >= 0) (void)::send(to, buffer, static_cast<size_t>(n), MSG_NOSIGNAL);
            if (n > 0 && !fromClient) p.fromServer += static_cast<size_t>(n);
            if (!fromClient && p.data && cutAfter > 0 && p.fromServer >= cutAfter && p.client >= 0) {
                // The bare FIN: the client reads an end, the server loses its peer.
                ::shutdown(p.client, SHUT_WR);
                CloseHard(p.server);
                ++cuts_;
                continue;
            }
            if (n > 0) continue;
            // An end on one side: passed on as an end on the other.
            ::close(from);
            from = -1;
            if (to >= 0) ::shutdown(to, SHUT_WR);
        }
        for (auto it = pairs.begin(); it != pairs.end();) {
            if (it->client < 0 && it->server < 0) it = pairs.erase(it);
            else ++it;
        }
    }
    for (Pair& p : pairs) {
        CloseHard(p.client);
        CloseHard(p.server);
    }
}

}  // namespace vollum::test
