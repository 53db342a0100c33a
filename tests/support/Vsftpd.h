#pragma once
// Debian's vsftpd on a free loopback port, anonymous logins writing below
// Root() (uploads, renames, deletes and new directories allowed), stopped
// when the object goes. vsftpd starts only as root: Skip() says why a test
// cannot use it.
#include <QProcess>
#include <string>

#include "support/TempDir.h"

namespace vollum::test {

class Vsftpd {
public:
    Vsftpd();
    ~Vsftpd();
    Vsftpd(const Vsftpd&) = delete;
    Vsftpd& operator=(const Vsftpd&) = delete;

    // Empty when it runs; else why not (not installed, not root, did not start).
    const std::string& Skip() const { return skip_; }
    int Port() const { return port_; }
    // The anonymous user's writable folder: a session starts in its parent,
    // so a test sends "CWD up" first (vsftpd refuses a writable root).
    std::string Root() const { return work_ / "root/up"; }
    static constexpr const char* kFolder = "up";

private:
    TempDir work_;
    QProcess server_;
    std::string skip_;
    int port_ = 0;
};

}  // namespace vollum::test
