#pragma once
// Drive names mapped onto directories, for the companion and its mapping tool.
//
// On Linux a drive text such as "F:" names the symbolic link "F" in the
// per-user drives folder (~/Drives, or the folder VOLLUM_DRIVES names); the
// tool vollum-subst makes and removes these links as SUBST does drive letters
// on Windows, with the same command-line shape and exit status.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vollum {

enum class DriveType { Unknown, NoRootDir, Removable, Fixed, Remote, CdRom, RamDisk };

// "F:" (also "f:", "F:/", "F:\") gives 'F'; anything else is not a drive text.
std::optional<char> DriveLetter(const std::string& driveText);

// The type of the drive a root path names. On Linux: a link in the drives
// folder is a mapped drive and so Fixed; no entry is NoRootDir.
DriveType QueryDriveType(const std::string& root);

// The folder that holds the drive links, without a trailing separator.
std::string DrivesFolder();

// The substitution tool's default path for a companion in programDir (which
// ends in a separator): the mapping tool beside it; empty where the system
// brings its own tool and the user names it.
std::string DefaultSubstTool(const std::string& programDir);

// The mapping tool's work: "F: DIR" maps, "F: /D" releases, no arguments
// lists the mappings. Returns the exit status: 0 only on success.
int RunSubstTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vollum
