#pragma once
// Whether the process can show windows and draw on its terminal.
namespace vollum {

// A display to open windows on. On Linux: DISPLAY or WAYLAND_DISPLAY names a
// server that accepts a connection (cron, systemd units and plain SSH sessions
// have neither; a stale value left from an ended session counts as none).
// An X server must also complete a connection, which stays open until
// ReleaseDisplayHold() so the server cannot reset while the toolkit connects.
bool DisplayAvailable();
void ReleaseDisplayHold();

// Standard error is a terminal (a progress line makes sense there).
bool StderrIsTerminal();

}  // namespace vollum
