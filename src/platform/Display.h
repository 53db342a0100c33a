#pragma once
// Whether the process can show windows and draw on its terminal.
namespace vollum {

// A display to open windows on. On Linux: DISPLAY or WAYLAND_DISPLAY is set
// (cron, systemd units and plain SSH sessions have neither).
bool DisplayAvailable();

// Standard error is a terminal (a progress line makes sense there).
bool StderrIsTerminal();

}  // namespace vollum
