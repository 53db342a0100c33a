#pragma once
// Ending the program from anywhere, also from inside a nested wait: the
// process ends at once with the given exit code. Tests install their own
// handler (which must not return) to observe the code.
#include <functional>

namespace vollum {

using TerminateHandler = std::function<void(int exitCode)>;

[[noreturn]] void TerminateProgram(int exitCode);
// Returns the previous handler; an empty handler restores the default.
TerminateHandler SetTerminateHandler(TerminateHandler handler);
// Runs before the process ends (flush the log, close files).
void AddTerminateHook(std::function<void()> hook);

}  // namespace vollum
