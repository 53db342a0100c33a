#include "platform/PipeIo.h"

#include <cerrno>
#include <csignal>

#ifndef _WIN32
#include <unistd.h>
#else
#include <io.h>
#endif

namespace vollum {

long ReadAvailable(int fd, char* data, size_t size) {
    for (;;) {
        const auto n = ::read(fd, data, static_cast<unsigned>(size));
        if (n < 0 && errno == EINTR) continue;
        return static_cast<long>(n);
    }
}

bool WriteStandardOutput(const char* data, size_t size) {
#ifndef _WIN32
    // A parent that went away must end the write, not the process.
    static const bool ignored = [] { return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR; }();
    (void)ignored;
#endif
    while (size > 0) {
        const auto n = ::write(1, data, static_cast<unsigned>(size));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace vollum
