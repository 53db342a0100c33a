#pragma once
// The client's few options. Everything else on the command line is a path to
// drop; "--" ends the options, so a file named --help is "-- --help" or "./--help".
#include <string>
#include <vector>

namespace vollum {

enum class CommandLineRequest { Run, Help, Version, MovePasswords };

// --help/-h, --version/-V or --move-passwords-to-keyring before any "--" ask
// for that (the first one seen wins); the first "--" is taken out of the arguments.
CommandLineRequest TakeOptions(std::vector<std::string>& arguments);

// Takes every "--spool" before any "--" out of the arguments; true when there was one.
bool TakeSpoolOption(std::vector<std::string>& arguments);

// The modes, the exit codes, the settings file in use and where passwords are
// kept (sessionBus: a keyring can be asked here).
std::string UsageText(const std::string& programDir, bool sessionBus = false);

}  // namespace vollum
