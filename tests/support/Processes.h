#pragma once
// Processes a test started, found through /proc, so that none outlives it:
// the programs of a folder (a copied Vollum, a worker it started), or every
// process below a server the test forked.
#include <string>
#include <vector>

namespace vollum::test {

// Every live process below pid: its children, theirs, and so on.
std::vector<int> DescendantsOf(int pid);
// Every live process whose program file lies in dir.
std::vector<int> ProcessesRunningFrom(const std::string& dir);
// False once the process has ended (a zombie counts as ended).
bool ProcessAlive(int pid);
// Waits up to waitMs for each to end, then kills what is left (SIGKILL)
// and returns those.
std::vector<int> EndProcesses(const std::vector<int>& pids, int waitMs);
// What ran from dir gets waitMs to end on its own; any process left is
// killed and fails the running test, naming its command line.
void ExpectNothingRunsFrom(const std::string& dir, int waitMs = 5000);

}  // namespace vollum::test
