#pragma once
// Debian's vsftpd on a free loopback port, anonymous, plain text, its root in
// a temporary directory: a server that answers FEAT without MLST, lists by
// LIST in ls -l form and sends names byte for byte. Needs root (vsftpd
// drops to user ftp); Available() says whether it could start.
#include <QProcess>
#include <string>

#include "support/TempDir.h"

namespace vollum::test {

class VsftpdServer {
public:
    VsftpdServer();
    ~VsftpdServer();
    VsftpdServer(const VsftpdServer&) = delete;
    VsftpdServer& operator=(const VsftpdServer&) = delete;

    // Empty when running; otherwise why not (for GTEST_SKIP or a failure).
    const std::string& Problem() const { return problem_; }
    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    // The anonymous root, readable by everyone.
    std::string Root() const { return work_ / "root"; }

private:
    TempDir work_;
    QProcess process_;
    std::string problem_;
    int port_ = 0;
};

}  // namespace vollum::test
