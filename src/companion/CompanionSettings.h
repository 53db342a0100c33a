#pragma once
// SPOOLBAY.INI, the companion's settings: one section [Options], read when the
// window is created and written when it closes.
#include <string>

namespace vollum {

struct CompanionSettings {
    std::string SubstDir;     // the mapping tool
    std::string VollumDir;    // the client's directory
    std::string SubstDrive;   // e.g. "F:"
    std::string DirInterval;  // poll interval in seconds, as text
    bool StartWithWindows = false;  // a login entry only once the user asks for one
    std::string SettleMs = "500";   // quiet time before a start, milliseconds, as text
    bool operator==(const CompanionSettings&) const = default;
};

// A-Z from a-z; every other byte is unchanged.
std::string UpperCaseName(const std::string& text);

// The drive and the interval are upper-cased; the two paths keep their case,
// as an upper-cased path would name another directory. A missing SubstDir
// gives defaultSubstDir, a missing VollumDir defaultVollumDir, a missing
// SettleMs 500.
CompanionSettings ReadCompanionSettings(const std::string& iniPath, const std::string& defaultSubstDir,
                                        const std::string& defaultVollumDir = "");

// Raises EIniWriteError when the file cannot be written.
void WriteCompanionSettings(const std::string& iniPath, const CompanionSettings& settings);

}  // namespace vollum
