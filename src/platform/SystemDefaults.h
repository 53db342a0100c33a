#pragma once
// Conventions of the operating system the programs run on.
#include <string>

namespace vollum {

// The line end of a new text file: "\r\n" on Windows, "\n" elsewhere.
std::string NativeLineEnd();
// The program that opens a file with its usual viewer.
std::string DefaultEditor();
// The running program's own file; empty when the system cannot tell.
std::string ExecutablePath();

}  // namespace vollum
