#pragma once
// What the client reads from VOLLUM.INI when it starts: the window arrangement
// at program entry, and the settings the main window's creation hands to the engine.
#include <string>

#include "common/UserPrompts.h"
#include "config/StartupValues.h"
#include "config/TIniFile.h"

namespace vollum {

enum class WindowArrangement {
    Drop,         // the meter window first: the arguments are uploaded
    Spool,        // the meter window first: the spool directory is uploaded
    Interactive,  // the main window first
};

struct ArrangementChoice {
    WindowArrangement arrangement;
    bool ServerConfigured;
};

// [Fixed] OK and at least one argument: drop; [Fixed] OK and the hand-shake key:
// spool; otherwise interactive. OK defaults to true; the hand-shake key counts
// only when SpoolBay wrote it, so a first start opens the window.
ArrangementChoice ChooseArrangement(const TIniFile& ini, int argumentCount);

// "TYPE A", "TYPE I" or "TYPE E" for 1, 2 or 3; empty for anything else.
std::string TypeCommandFor(int transferTypeCode);

// Fills values from programDir + "VOLLUM.INI" in the order of the main window's
// creation, changes to the profile's Localdir (warning "Cannot find directory"
// when that fails) and writes the first-run options when all three are empty.
// A FtpTimeOut or ConnectionTimeOut that is not an integer raises EConvertError
// naming key, profile and file; what was read before it stays in values, the
// rest keeps what it held. Without a profile section (a first start) the
// time-outs stay 0 and ProfileUsable false, unless profileRequired (a run is
// about to use the profile): then the missing time-out raises as above.
void ReadStartupValues(const std::string& programDir, UserPrompts& prompts, StartupValues& values,
                       bool profileRequired = true);

// `Port of profile "office" in /home/u/vollum/VOLLUM.INI is empty or not a number`
std::string ProfileKeyProblem(const std::string& key, const std::string& profile, const std::string& iniPath);

// `No server profile is set up in /home/u/vollum/VOLLUM.INI: add one with File > Setup`
// (`The server profile "office" is not set up in ...` for a name without its section).
std::string NoProfileProblem(const std::string& profile, const std::string& iniPath);

// The profile's whole number under key; raises EConvertError with ProfileKeyProblem's line.
int ProfileInteger(const TIniFile& ini, const std::string& profile, const std::string& key);

}  // namespace vollum
