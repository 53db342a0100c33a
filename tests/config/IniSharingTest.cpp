// The client and the companion share VOLLUM.INI without knowing of each other;
// here separate processes write it while this one reads it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ConfigTestFiles.h"
#include "config/TIniFile.h"

namespace vollum {
namespace {

constexpr int kWrites = 200;

// Each writer adds keys k0, k1, ... to its own section; new keys go to the end
// of their section, so [tail] stays the last section of the file.
pid_t StartWriter(const std::string& path, const std::string& section) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    int status = 0;
    try {
        TIniFile ini(path);
        for (int i = 0; i < kWrites; ++i) ini.WriteInteger(section, "k" + std::to_string(i), i);
    } catch (...) {
        status = 1;
    }
    ::_exit(status);
}

TEST(IniSharingTest, concurrentWritersLoseNothingAndReadersNeverSeeAHalfFile) {
    testing::ScratchDir dir;
    TIniFile ini(dir.File("VOLLUM.INI"));
    for (const char* section : {"head", "w1", "w2", "tail"}) ini.WriteString(section, "start", "1");

    pid_t writers[] = {StartWriter(ini.FileName(), "w1"), StartWriter(ini.FileName(), "w2")};
    int reads = 0, torn = 0, wentBack = 0, failedWriters = 0, running = 2;
    size_t seen[2] = {0, 0};
    while (running > 0) {
        const IniDocument doc = ini.Snapshot();
        ++reads;
        if (!doc.Value("head", "start") || !doc.Value("tail", "start")) ++torn;
        for (int w = 0; w < 2; ++w) {
            const size_t n = doc.Keys(w == 0 ? "w1" : "w2").size();
            if (n < seen[w]) ++wentBack;  // a key once seen vanished again
            seen[w] = std::max(seen[w], n);
            int status = 0;
            if (writers[w] > 0 && ::waitpid(writers[w], &status, WNOHANG) == writers[w]) {
                failedWriters += !WIFEXITED(status) || WEXITSTATUS(status) != 0;
                writers[w] = 0;
                --running;
            }
        }
    }
    EXPECT_EQ(failedWriters, 0);
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    EXPECT_EQ(wentBack, 0);
    const IniDocument last = ini.Snapshot();
    int lost = 0;
    for (const char* section : {"w1", "w2"})
        for (int i = 0; i < kWrites; ++i) lost += last.Value(section, "k" + std::to_string(i)) != std::to_string(i);
    EXPECT_EQ(lost, 0);
}

}  // namespace
}  // namespace vollum
