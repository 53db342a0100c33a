#include "platform/SpoolLock.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace vollum {

#ifndef _WIN32
// The lock sits on the directory itself: a lock file inside it would be sent
// as spool content, and one beside it could be left behind.
SpoolLock::SpoolLock(const std::string& spoolDirectory) {
    fd_ = ::open(spoolDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    int rc;
    do rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        busy_ = errno == EWOULDBLOCK;
        ::close(fd_);
        fd_ = -1;
    }
}

SpoolLock::~SpoolLock() {
    if (fd_ >= 0) ::close(fd_);
}
#else
SpoolLock::SpoolLock(const std::string&) {}
SpoolLock::~SpoolLock() = default;
#endif

}  // namespace vollum
