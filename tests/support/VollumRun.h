#pragma once
// Runs the built Vollum program as a user's job would: a copy of the binary
// in a temporary program directory with its own VOLLUM.INI (and spool COPY),
// started without a display, bounded in time.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/TempDir.h"

class QProcess;

namespace vollum::test {

struct VollumResult {
    int exitCode = -1;  // -1: did not end in time (it was killed)
    std::string stderrText;
    bool killed = false;  // by RunKilledWhen's condition
    std::string stdoutText;
};

class VollumProgramDir {
public:
    VollumProgramDir();
    // A program still running from the folder (the copy, or a worker it
    // started) fails the test and is killed.
    ~VollumProgramDir();
    VollumProgramDir(const VollumProgramDir&) = delete;
    VollumProgramDir& operator=(const VollumProgramDir&) = delete;

    const std::string& Path() const { return dir_.Path(); }
    std::string Spool() const { return dir_ / "COPY"; }
    std::string Ini() const { return dir_ / "VOLLUM.INI"; }
    std::string LogText() const;

    // [LastUsed] NAME=test, [Fixed] OK, [SpoolBay] Executed, and the profile
    // section "test" with the given keys over these defaults: host 127.0.0.1,
    // the port, user/password, both time-outs 10, binary type, log on.
    void WriteIni(int port, const std::string& user, const std::string& password, bool spoolArmed,
                  const std::map<std::string, std::string>& profile = {}, bool fixedOk = true);
    std::string IniValue(const std::string& section, const std::string& key) const;

    // The program is started as SpoolBay starts it (its mark in the environment);
    // false: as a user starts it.
    bool StartedBySpoolBay = true;

    // Starts the program without a display in workingDirectory (default: the
    // program directory) and returns at once.
    void Start(QProcess& process, const std::vector<std::string>& arguments = {},
               const std::string& workingDirectory = "") const;
    // Started in workingDirectory (default: the program directory).
    VollumResult Run(const std::vector<std::string>& arguments = {}, int timeoutMs = 60000,
                     const std::string& workingDirectory = "") const;
    // Runs without arguments and kills the program (SIGKILL) as soon as
    // killWhen holds, asked every few milliseconds while it runs.
    VollumResult RunKilledWhen(const std::function<bool()>& killWhen, int timeoutMs = 60000) const;

private:
    TempDir dir_;
};

// Every regular file and directory below root, as "d path" / "l path" / "f path size hash" lines, sorted.
std::vector<std::string> TreeListing(const std::string& root);
// A port on loopback where nothing listens.
int UnusedPort();

}  // namespace vollum::test
