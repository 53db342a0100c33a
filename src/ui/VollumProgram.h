#pragma once
// The client program: with a display, windows and Qt dialogs; without one
// (cron, systemd, SSH), console prompts, a progress line on a terminal, and an
// exit code instead of a window nobody would see.
#include <string>
#include <vector>

namespace vollum {

class TStartup;

int RunVollum(int argc, char** argv);

// With a display, after the main window's creation: the exit code to end
// with at once, or -1 when the event loop is to run with the main window.
int EndAfterCreation(const TStartup& startup);

// spoolOption: --spool was given.
int RunWithDisplay(char* argv0, const std::vector<std::string>& arguments, const std::string& startDirectory,
                   bool spoolOption = false);
int RunHeadless(char* argv0, const std::vector<std::string>& arguments, const std::string& startDirectory,
                bool spoolOption = false);

}  // namespace vollum
