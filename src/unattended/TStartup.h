#pragma once
// The client's start: program entry (program directory, window arrangement)
// and the main window's creation (settings, then the unattended dispatch).
#include <string>
#include <vector>

#include "config/StartupReading.h"
#include "config/TIniFile.h"
#include "unattended/TUnattended.h"

namespace vollum {

class TFtpSession;

// Who started the client, for the spool run: SpoolBay (its mark in the
// environment) gets one when the hand-shake key is armed; a user's start never
// does, whatever the key says, and leaves the key alone; the --spool option
// runs the spool without the key.
enum class SpoolStart { ByUser, BySpoolBay, Option };

// BySpoolBay when the environment carries SpoolBay's mark, else ByUser.
SpoolStart SpoolStartFromEnvironment();

class TStartup {
public:
    TStartup(TFtpSession& session, std::vector<std::string> arguments, std::string startDirectory);

    // Program entry: reads VOLLUM.INI beside the program for the arrangement
    // and sets ServerConfigured from it.
    WindowArrangement ProgramEntry(const std::string& programDir);

    // The main window's creation. A failure the system raises (a time-out that
    // is not a number, a log that cannot be written) is shown in an error box
    // and skips the rest, the dispatch included.
    void FormCreate();

    TUnattended Runs;
    SpoolStart Spool = SpoolStartFromEnvironment();
    WindowArrangement Arrangement = WindowArrangement::Interactive;
    bool CreationFailed = false;

    // Without a display: the code to end with now, or kExitNormal once a run
    // requested the end.
    int HeadlessExitCode() const;

private:
    // The hand-shake key as this start reads it.
    bool SpoolWanted(const TIniFile& ini) const;

    TFtpSession& s_;
    std::string programDir_;
};

}  // namespace vollum
