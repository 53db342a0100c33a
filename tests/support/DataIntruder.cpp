#include "support/DataIntruder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace vollum::test {

DataIntruder::~DataIntruder() {
    if (fd_ >= 0) ::close(fd_);
}

bool DataIntruder::Connect(const std::string& source, const std::string& address, int port, const std::string& bytes) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{}, to{};
    from.sin_family = to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, source.c_str(), &from.sin_addr);
    ::inet_pton(AF_INET, address.c_str(), &to.sin_addr);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) return false;
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return false;
    if (::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size())) return false;
    return ::shutdown(fd_, SHUT_WR) == 0;
}

bool DataIntruder::ClosedByPeer() const {
    char c = 0;
    const ssize_t n = ::recv(fd_, &c, 1, MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

}  // namespace vollum::test
