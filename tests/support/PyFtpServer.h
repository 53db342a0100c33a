#pragma once
// Debian's pyftpdlib, started on a free loopback port with its root in a
// temporary directory; stopped when the object goes.
#include <string>

#include "support/TempDir.h"

namespace vollum::test {

class PyFtpServer {
public:
    explicit PyFtpServer(const std::string& user = "user", const std::string& password = "secret",
                         const std::string& address = "127.0.0.1");
    ~PyFtpServer();
    PyFtpServer(const PyFtpServer&) = delete;
    PyFtpServer& operator=(const PyFtpServer&) = delete;

    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    const std::string& Root() const { return root_.Path(); }
    std::string User() const { return user_; }
    std::string Password() const { return password_; }

private:
    TempDir root_;
    std::string user_, password_;
    int pid_ = -1;
    int stdinFd_ = -1;
    int port_ = 0;
};

}  // namespace vollum::test
