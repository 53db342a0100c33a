#include "support/Processes.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

namespace vollum::test {

namespace fs = std::filesystem;

namespace {

// pid -> parent pid of every live process.
std::map<int, int> Parents() {
    std::map<int, int> parents;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc", ec)) {
        const std::string name = e.path().filename().native();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(e.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // "pid (comm) state ppid ...": the command may hold blanks and parentheses.
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 1));
        char state = 0;
        int ppid = 0;
        if (!(rest >> state >> ppid) || state == 'Z') continue;
        parents[std::stoi(name)] = ppid;
    }
    return parents;
}

std::string CommandLine(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (char& c : text)
        if (c == '\0') c = ' ';
    return text;
}

}  // namespace

std::vector<int> DescendantsOf(int pid) {
    const std::map<int, int> parents = Parents();
    std::vector<int> found{pid};
    // Breadth first over the parent links; a few levels at most.
    for (size_t i = 0; i < found.size(); ++i)
        for (const auto& [child, parent] : parents)
            if (parent == found[i]) found.push_back(child);
    found.erase(found.begin());
    return found;
}

std::vector<int> ProcessesRunningFrom(const std::string& dir) {
    std::error_code ec;
    const fs::path root = fs::weakly_canonical(dir, ec);
    std::vector<int> found;
    for (const auto& [pid, parent] : Parents()) {
        const fs::path exe = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
        if (ec) continue;
        if (exe.parent_path() == root || exe.native().rfind(root.native() + "/", 0) == 0) found.push_back(pid);
    }
    return found;
}

bool ProcessAlive(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

std::vector<int> EndProcesses(const std::vector<int>& pids, int waitMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    std::vector<int> left = pids;
    while (!left.empty()) {
        std::erase_if(left, [](int pid) { return !ProcessAlive(pid); });
        if (left.empty() || std::chrono::steady_clock::now() >= until) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (const int pid : left) ::kill(pid, SIGKILL);
    return left;
}

void ExpectNothingRunsFrom(const std::string& dir, int waitMs) {
    const std::vector<int> running = ProcessesRunningFrom(dir);
    std::map<int, std::string> commands;
    for (const int pid : running) commands[pid] = CommandLine(pid);
    for (const int pid : EndProcesses(running, waitMs))
        ADD_FAILURE() << "process " << pid << " (" << commands[pid] << ") outlived the test; killed";
}

}  // namespace vollum::test
