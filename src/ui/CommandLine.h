#pragma once
// The client's few options. Everything else on the command line is a path to
// drop; "--" ends the options, so a file named --help is "-- --help" or "./--help".
#include <string>
#include <vector>

namespace vollum {

enum class CommandLineRequest { Run, Help, Version };

// --help/-h or --version/-V before any "--" ask for that (the first one
// seen wins); the first "--" is taken out of the arguments.
CommandLineRequest TakeOptions(std::vector<std::string>& arguments);

// Takes every "--spool" before any "--" out of the arguments; true when there was one.
bool TakeSpoolOption(std::vector<std::string>& arguments);

// The modes, the exit codes and the settings file in use.
std::string UsageText(const std::string& programDir);

}  // namespace vollum
