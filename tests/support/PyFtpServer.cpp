#include "support/PyFtpServer.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace vollum::test {

namespace {

// What makes ftp_server.py misbehave comes from the options alone, never from the test's environment.
const std::string kServerVariables[] = {"TLS_DIR",     "PASSIVE_PORT",   "SLOW_READ_MS",   "REFUSE",
                                        "READ_LIMIT",  "MAX_CONS_PER_IP", "CUT_CONNECTION", "CHANGE_ON_STOR",
                                        "THROTTLE"};

}  // namespace

PyFtpServer::PyFtpServer(const std::string& user, const std::string& password, const std::string& address)
    : PyFtpServer(PyFtpServerOptions{user, password, address, false, {}}) {}

PyFtpServer::PyFtpServer(const PyFtpServerOptions& options)
    : user_(options.user), password_(options.password) {
    if (options.tls) tlsDir_.emplace();
    // The child's environment is built before fork: after it only exec is safe.
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        if (std::find(std::begin(kServerVariables), std::end(kServerVariables), name) == std::end(kServerVariables))
            envText.push_back(entry);
    }
    if (tlsDir_) envText.push_back("TLS_DIR=" + tlsDir_->Path());
    for (const auto& [name, value] : options.environment) envText.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& s : envText) envp.push_back(s.data());
    envp.push_back(nullptr);

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
        ::execle("/usr/bin/python3", "python3", script.c_str(), root_.Path().c_str(), user_.c_str(),
                 password_.c_str(), options.address.c_str(), static_cast<char*>(nullptr), envp.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    stdinFd_ = in[1];
    std::string line;
    pollfd pfd{out[0], POLLIN, 0};
    // Making the certificates comes first in TLS mode; it takes about a second.
    while (line.find('\n') == std::string::npos) {
        if (::poll(&pfd, 1, 15000) <= 0) break;
        char buf[64];
        const ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        line.append(buf, static_cast<size_t>(n));
    }
    ::close(out[0]);
    port_ = std::atoi(line.c_str());
    if (port_ <= 0) {
        Stop();
        throw std::runtime_error(tlsDir_ ? "pyftpdlib did not start: are python3-pyftpdlib and python3-openssl installed?"
                                         : "pyftpdlib did not start: is python3-pyftpdlib installed?");
    }
    if (tlsDir_) {
        fingerprint_ = ReadFile(*tlsDir_ / "fingerprint");
        while (!fingerprint_.empty() && (fingerprint_.back() == '\n' || fingerprint_.back() == '\r')) {
            fingerprint_.pop_back();
        }
        if (fingerprint_.empty()) {
            Stop();
            throw std::runtime_error("pyftpdlib started without writing the certificate's fingerprint");
        }
    }
}

PyFtpServer::~PyFtpServer() { Stop(); }

void PyFtpServer::Stop() {
    if (stdinFd_ >= 0) ::close(stdinFd_);
    stdinFd_ = -1;
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
}

}  // namespace vollum::test
