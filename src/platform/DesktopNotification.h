#pragma once
// A desktop notification through the session bus (freedesktop
// Notifications, Notify). Without a session bus nothing happens, at once.
#include <string>

namespace vollum {

// The session bus's address: DBUS_SESSION_BUS_ADDRESS, else the per-user bus
// socket in XDG_RUNTIME_DIR; empty when there is none. An address that would
// start a bus of its own (autolaunch) counts as none.
std::string SessionBusAddress();

// Summary and body as plain text (markup characters are escaped). True when
// the notification server took it; waits for its answer at most replyMs.
bool ShowDesktopNotification(const std::string& appName, const std::string& iconName, const std::string& summary,
                             const std::string& body, int replyMs = 2000);

}  // namespace vollum
