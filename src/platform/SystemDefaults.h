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
// This user may create files in the directory.
bool DirectoryWritable(const std::string& dir);
// The directory and the folders above it exist; a directory it makes itself
// is open to this user only. False when it cannot be made.
bool MakePrivateDirectory(const std::string& dir);
// Why a folder of the user's own settings, or fileName in it, cannot be
// trusted: "<path> is a symbolic link", "... belongs to another user", "...
// is writable by group or others" (the folder), "... is writable by others"
// (the file); empty when nothing is wrong or the folder does not exist.
std::string PrivateFolderProblem(const std::string& dir, const std::string& fileName);

}  // namespace vollum
