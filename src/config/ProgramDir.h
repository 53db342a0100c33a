#pragma once
#include <string>

namespace vollum {

// The directory of the running executable, ending in the path separator.
// VOLLUM.INI, VOLLUM.LOG and the spool directory COPY lie there.
std::string ProgramDirectory();

}  // namespace vollum
