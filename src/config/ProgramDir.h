#pragma once
// Where the programs keep their files. Portable mode: beside the executable,
// when its directory holds the program's INI file or can be written to (a
// folder unpacked or built by the user). Installed mode otherwise, and always
// for a program in a system's program folder: the user's XDG folders.
#include <string>

namespace vollum {

// The directory of the running executable, ending in the path separator.
std::string ExecutableDirectory();

// Whether a program in exeDir whose settings file is named iniName runs in portable mode.
bool PortableDirectory(const std::string& exeDir, const std::string& iniName);

// The program directory of a Vollum in exeDir, ending in the separator:
// exeDir in portable mode, else $XDG_DATA_HOME/vollum/. Creates nothing.
std::string ProgramDirectoryOf(const std::string& exeDir);

// The running Vollum's program directory: VOLLUM.INI, VOLLUM.LOG, the spool
// COPY and the listing and view files lie there. In installed mode it is
// created, open to this user only, when it does not exist yet; one that is a
// link, another user's or writable by others (or whose VOLLUM.INI others may
// write) raises EUntrustedFolder.
std::string ProgramDirectory();

// The running SpoolBay's SPOOLBAY.INI folder, ending in the separator: its own
// directory in portable mode, else $XDG_CONFIG_HOME/spoolbay/ (created and checked as above).
std::string CompanionSettingsDirectory();

// The client directory a SpoolBay in companionDir offers when its settings
// name none: empty in portable mode (Find fills it in), else the program
// directory of the Vollum installed beside it, without the final separator.
std::string DefaultClientDirectory(const std::string& companionDir);

// The client SpoolBay starts for clientDir: the Vollum in clientDir, else the
// one in companionDir, else the one on PATH. One found elsewhere than in
// clientDir is taken only when clientDir is its program directory, as the
// hand-shake key lies there. With none: the path in clientDir, whose start fails.
std::string ClientProgramFor(const std::string& clientDir, const std::string& companionDir);

}  // namespace vollum
