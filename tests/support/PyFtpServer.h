#pragma once
// Debian's pyftpdlib, started on a free loopback port with its root in a
// temporary directory; stopped when the object goes. With `tls` it is an
// explicit-TLS server that refuses unprotected sessions and data, holding a
// throw-away CA and a server certificate for localhost, 127.0.0.1 and ::1.
#include <map>
#include <optional>
#include <string>

#include "support/TempDir.h"

namespace vollum::test {

struct PyFtpServerOptions {
    std::string user = "user";
    std::string password = "secret";
    std::string address = "127.0.0.1";
    bool tls = false;
    // More of the server's environment, e.g. {"REFUSE", "REST"} or
    // {"MAX_CONS_PER_IP", "2"}: the variables ftp_server.py describes. The
    // test's own environment passes none of them on.
    std::map<std::string, std::string> environment = {};
};

class PyFtpServer {
public:
    explicit PyFtpServer(const std::string& user = "user", const std::string& password = "secret",
                         const std::string& address = "127.0.0.1");
    explicit PyFtpServer(const PyFtpServerOptions& options);
    ~PyFtpServer();
    PyFtpServer(const PyFtpServer&) = delete;
    PyFtpServer& operator=(const PyFtpServer&) = delete;

    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    const std::string& Root() const { return root_.Path(); }
    std::string User() const { return user_; }
    std::string Password() const { return password_; }

    // TLS only (empty otherwise): the directory holding ca.pem and
    // server.pem, the server certificate's SHA-256 fingerprint as
    // `openssl x509 -fingerprint -sha256` prints it (AB:CD:...), and the CA
    // that signed it, for a client that should verify rather than pin.
    std::string TlsDirectory() const { return tlsDir_ ? tlsDir_->Path() : std::string(); }
    const std::string& Fingerprint() const { return fingerprint_; }
    std::string CaFile() const { return tlsDir_ ? *tlsDir_ / "ca.pem" : std::string(); }

    // Ends the server at once (a cut connection); the root stays until the object goes.
    void Stop();

private:

    TempDir root_;
    std::optional<TempDir> tlsDir_;
    std::string user_, password_;
    std::string fingerprint_;
    int pid_ = -1;
    int stdinFd_ = -1;
    int port_ = 0;
};

}  // namespace vollum::test
