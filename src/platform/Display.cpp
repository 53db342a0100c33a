#include "platform/Display.h"

#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <string>
#include <thread>
#endif

#ifdef VOLLUM_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace vollum {

#ifndef _WIN32
namespace {
bool EnvironmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

bool ConnectsUnix(const std::string& path, bool abstract) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() + 2 > sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path + (abstract ? 1 : 0), path.data(), path.size());
    const socklen_t len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + (abstract ? 1 : 0));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0;
    ::close(fd);
    return ok;
}

bool ConnectsTcp(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &res) != 0) return false;
    bool ok = false;
    for (addrinfo* a = res; a && !ok; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        ok = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        ::close(fd);
    }
    ::freeaddrinfo(res);
    return ok;
}

// An X server answers at DISPLAY ("[host]:N[.S]"). A DISPLAY left behind by a
// session that has ended would otherwise make the toolkit abort at start.
bool XServerAnswers(const std::string& display) {
    const auto colon = display.rfind(':');
    if (colon == std::string::npos) return false;
    const std::string host = display.substr(0, colon);
    const int number = std::atoi(display.c_str() + colon + 1);
    if (host.empty() || host == "unix") {
        const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
        return ConnectsUnix(path, true) || ConnectsUnix(path, false);
    }
    if (host.find('/') != std::string::npos) return ConnectsUnix(display, false);  // launchd-style path
    return ConnectsTcp(host, 6000 + number);
}

#ifdef VOLLUM_HAVE_XCB
// The connection that proved the X server answers, held until the toolkit has
// its own: an X server resets when its last client leaves and drops every
// connection still being set up, which the toolkit treats as fatal (abort).
xcb_connection_t* heldConnection = nullptr;

bool XServerAccepts(const std::string& display) {
    // A server in the middle of a reset drops the connection; it is back in moments.
    for (int attempt = 0; attempt < 10; ++attempt) {
        xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(c) == 0) {
            heldConnection = c;
            return true;
        }
        xcb_disconnect(c);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!XServerAnswers(display)) return false;
    }
    return false;
}
#else
bool XServerAccepts(const std::string&) { return true; }
#endif

bool WaylandAnswers(const std::string& name) {
    if (!name.empty() && name.front() == '/') return ConnectsUnix(name, false);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime && ConnectsUnix(std::string(runtime) + "/" + name, false);
}
}  // namespace
#endif

bool DisplayAvailable() {
#ifdef _WIN32
    return true;
#else
    if (EnvironmentSet("WAYLAND_DISPLAY") && WaylandAnswers(std::getenv("WAYLAND_DISPLAY"))) return true;
    if (!EnvironmentSet("DISPLAY")) return false;
    const std::string display = std::getenv("DISPLAY");
    return XServerAnswers(display) && XServerAccepts(display);
#endif
}

void ReleaseDisplayHold() {
#ifdef VOLLUM_HAVE_XCB
    if (heldConnection != nullptr) xcb_disconnect(heldConnection);
    heldConnection = nullptr;
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
