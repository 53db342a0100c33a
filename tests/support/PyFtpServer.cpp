#include "support/PyFtpServer.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace vollum::test {

PyFtpServer::PyFtpServer(const std::string& user, const std::string& password, const std::string& address)
    : user_(user), password_(password) {
    int in[2], out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) throw std::runtime_error("pipe failed");
    const std::string script = std::string(VOLLUM_TEST_SUPPORT_DIR) + "/ftp_server.py";
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::close(in[1]);
        ::close(out[0]);
        // Debian's interpreter: it is the one that has the pyftpdlib package.
        ::execl("/usr/bin/python3", "python3", script.c_str(), root_.Path().c_str(), user_.c_str(), password_.c_str(),
                address.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    stdinFd_ = in[1];
    std::string line;
    pollfd pfd{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos) {
        if (::poll(&pfd, 1, 15000) <= 0) break;
        char buf[64];
        const ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        line.append(buf, static_cast<size_t>(n));
    }
    ::close(out[0]);
    port_ = std::atoi(line.c_str());
    if (port_ <= 0) throw std::runtime_error("pyftpdlib did not start: is python3-pyftpdlib installed?");
}

PyFtpServer::~PyFtpServer() {
    if (stdinFd_ >= 0) ::close(stdinFd_);
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

}  // namespace vollum::test
