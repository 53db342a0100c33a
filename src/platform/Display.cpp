#include "platform/Display.h"

#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vollum {

#ifndef _WIN32
namespace {
bool EnvironmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}
}  // namespace
#endif

bool DisplayAvailable() {
#ifdef _WIN32
    return true;
#else
    return EnvironmentSet("DISPLAY") || EnvironmentSet("WAYLAND_DISPLAY");
#endif
}

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(2) != 0;
#else
    return ::isatty(2) != 0;
#endif
}

}  // namespace vollum
