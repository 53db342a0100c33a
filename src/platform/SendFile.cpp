#include "platform/SendFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vollum {

bool SendFile::Open(const std::string& path, const std::string& within) {
    outside_ = false;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    if (!within.empty()) {
        std::string opened = OpenFilePath(fd_);
        if (opened.empty()) {
            // Without /proc: the path resolved now, if it still leads to the open file.
            const std::string resolved = RealPath(path);
            FileIdentity now;
            if (ReadIdentity(resolved, now) && now == Identity()) opened = resolved;
        }
        outside_ = !PathWithin(opened, within);
    }
    if (outside_ || Identity().size < 0) {  // a directory is no file to send
        Close();
        return false;
    }
    return true;
}

int SendFile::Read(char* block, size_t size) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd_, block + got, size - got);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            if (got == 0) return -1;
            break;  // the bytes read count; the next read reports the failure
        }
        got += static_cast<size_t>(n);
    }
    return static_cast<int>(got);
}

bool SendFile::Seek(long long offset) { return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == offset; }

FileIdentity SendFile::Identity() const {
    FileIdentity id;
    if (!ReadOpenFileIdentity(fd_, id)) id.size = -1;
    return id;
}

void SendFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace vollum
