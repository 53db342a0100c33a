#include "ui/CommandLine.h"

#include <algorithm>

#include "common/Helpers.h"

namespace vollum {

CommandLineRequest TakeOptions(std::vector<std::string>& arguments) {
    for (auto it = arguments.begin(); it != arguments.end(); ++it) {
        if (*it == "--") {
            arguments.erase(it);
            break;
        }
        if (*it == "--help" || *it == "-h") return CommandLineRequest::Help;
        if (*it == "--version" || *it == "-V") return CommandLineRequest::Version;
    }
    return CommandLineRequest::Run;
}

bool TakeSpoolOption(std::vector<std::string>& arguments) {
    bool spool = false;
    for (auto it = arguments.begin(); it != arguments.end() && *it != "--";) {
        if (*it == "--spool") {
            it = arguments.erase(it);
            spool = true;
        } else {
            ++it;
        }
    }
    return spool;
}

std::string UsageText(const std::string& programDir) {
    return "Usage: Vollum [--] [FILE|DIRECTORY]...\n"
           "       Vollum --spool\n"
           "       Vollum --help | --version\n"
           "\n"
           "Without arguments Vollum opens its window (interactive mode), or, while\n"
           "SpoolBay has armed [SpoolBay] Executed=1 in VOLLUM.INI, uploads the spool\n"
           "directory COPY beside VOLLUM.INI and ends (spool mode). With paths it\n"
           "uploads those files and directories to the last-used server and ends\n"
           "(drop mode). A path that begins with \"-\" goes after \"--\" or as ./NAME.\n"
           "--spool uploads the spool once as SpoolBay's start would, without the\n"
           "hand-shake key (for a systemd path unit or cron).\n"
           "Without a display messages go to stderr and take their default answer.\n"
           "\n"
           "Exit codes:\n"
           "  0  the run finished (or the window was closed)\n"
           "  1  login refused, 425 to STOR, or Cancel in the progress window of a run\n"
           "  2  no display, and nothing unattended to do\n"
           "  3  no display: could not connect, or the connection was lost\n"
           "  4  no display: start-up stopped with an error (e.g. a broken profile)\n"
           "  5  no display: the run finished, but something was kept\n"
           "  6  no display: another spool run holds the spool\n"
           "\n"
           "Settings: " +
           AddBackslash(programDir) + "VOLLUM.INI\n";
}

}  // namespace vollum
