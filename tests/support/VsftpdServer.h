#pragma once
// Debian's vsftpd on a free loopback port, anonymous with uploads, renames,
// deletes and new folders allowed below "up" (vsftpd refuses a writable
// root), started by the test (it must run as root) and ended with every
// session process it forked when the object goes.
#include <QProcess>
#include <string>

#include "support/TempDir.h"

namespace vollum::test {

struct VsftpdOptions {
    // Explicit TLS with a throw-away certificate; sessions and data must be protected.
    bool tls = false;
    // Bytes a second each data connection carries at most; 0: no bound.
    long maxRate = 0;
};

class VsftpdServer {
public:
    // Empty when vsftpd can run here, otherwise why not (for GTEST_SKIP).
    static std::string Unavailable();

    explicit VsftpdServer(const VsftpdOptions& options = {});
    ~VsftpdServer();
    VsftpdServer(const VsftpdServer&) = delete;
    VsftpdServer& operator=(const VsftpdServer&) = delete;

    // Empty once it listens; otherwise what went wrong.
    const std::string& Problem() const { return problem_; }
    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    // The anonymous root (not writable by the sessions) and its upload folder.
    std::string Root() const { return work_ / "root"; }
    std::string UploadDir() const { return work_ / (std::string("root/") + kUploadFolder); }
    static constexpr const char* kUploadFolder = "up";
    // TLS only: the certificate's SHA-256 fingerprint (AB:CD:...).
    const std::string& Fingerprint() const { return fingerprint_; }

private:
    bool Start(const VsftpdOptions& options);

    TempDir work_;
    QProcess server_;
    int port_ = 0;
    std::string fingerprint_;
    std::string problem_;
};

}  // namespace vollum::test
