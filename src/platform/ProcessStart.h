#pragma once
// Starting another program without waiting for it.
#include <string>
#include <vector>

namespace vollum {

// Starts program with the arguments, window hidden where the system has such a
// thing, and returns at once. True when the system accepted the start (the
// program was found and began to run); the program is not waited for.
bool StartHidden(const std::string& program, const std::vector<std::string>& args);

// Editor + " " + file, started without waiting. The editor text may carry
// arguments of its own; the file name is passed as one argument. False when
// the editor could not be started (not installed, say).
bool StartEditor(const std::string& editor, const std::string& file);

// The client program's file name in its directory ("Vollum"; "Vollum.EXE" on Windows).
std::string ClientProgramName();

}  // namespace vollum

namespace vollum {

// The environment variable SpoolBay sets ("1") on the client it starts, so the
// client can tell SpoolBay's start from a user's.
extern const char* const kStartedBySpoolBay;

// StartHidden with kStartedBySpoolBay=1 added to the environment. Returns the
// started process's id, or -1 when the start was refused.
long long StartClientProcess(const std::string& program, const std::vector<std::string>& args);

}  // namespace vollum
