#pragma once
// Start at login and the per-user record of the client's directory.
//
// Linux: start at login is an XDG autostart entry
// $XDG_CONFIG_HOME/autostart/<name>.desktop; the client directory record is
// the one-line file "$XDG_CONFIG_HOME/Vollum97 Path". Windows: a value of the
// machine-wide Run key, and the default value of HKCU\Vollum97 Path.
#include <optional>
#include <string>

#include "common/Errors.h"

namespace vollum {

// "Failed to set data for '%s'"
class ERegistryError : public VollumError {
public:
    explicit ERegistryError(const std::string& valueName);
};

// The place for start-at-login entries can be written to without creating
// anything above it (the Run key opens; on Linux the configuration folder exists).
bool StartAtLoginAvailable();

// Registers program + " " + argument to start at login under name; an empty
// program leaves the entry in place with empty data (on Linux: disabled).
// Raises ERegistryError when the system refuses the write.
void WriteStartAtLogin(const std::string& name, const std::string& program, const std::string& argument);

// The text of the Linux autostart entry WriteStartAtLogin writes.
std::string AutostartEntryText(const std::string& name, const std::string& program, const std::string& argument);

// The client's directory as recorded for this user; nullopt when there is no record.
std::optional<std::string> ReadClientDirectoryRecord();

// $XDG_CONFIG_HOME, or ~/.config when it is unset or not absolute.
std::string ConfigHome();
// $XDG_DATA_HOME, or ~/.local/share when it is unset or not absolute.
std::string DataHome();

}  // namespace vollum
