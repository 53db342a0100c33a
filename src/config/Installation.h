#pragma once
// A random identity of this installation, kept in its VOLLUM.INI: two
// machines or two program folders that upload the same name never make the
// same temporary name, so neither resumes onto the other's part.
#include <string>

namespace vollum {

// [Install] Identity of the INI at iniPath: 32 lower-case hex digits, made
// and written on first use (under the INI's write lock, so two processes
// starting at once agree). Where the file cannot be written, an identity of
// this process alone: nothing is resumed across runs then, which is safe.
std::string InstallationIdentity(const std::string& iniPath);

}  // namespace vollum
