#include "platform/SystemDefaults.h"

#ifndef _WIN32
#include <unistd.h>

#include <climits>
#endif

namespace vollum {

#ifdef _WIN32
std::string NativeLineEnd() { return "\r\n"; }
std::string DefaultEditor() { return "NOTEPAD.EXE"; }
std::string ExecutablePath() { return {}; }
#else
std::string NativeLineEnd() { return "\n"; }
std::string DefaultEditor() { return "xdg-open"; }
std::string ExecutablePath() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}
#endif

}  // namespace vollum
