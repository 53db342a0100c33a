#pragma once
// The spool watch: Timer1 polls the client's spool directory and starts the
// client when something worth sending lies there; Timer2 then waits, once a
// second, for the client to clear the hand-shake key [SpoolBay] Executed in
// VOLLUM.INI, re-arms it and hands back to Timer1. Works on QtCore alone.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "companion/TTimer.h"

namespace vollum {

class UserPrompts;

// What a spool run would send or clear: a name that does not begin with ".",
// and a real directory (even an empty one) or a file larger than 0 bytes.
// Links to directories, devices and dangling links are never sent.
bool SpoolEntryCounts(const std::string& directory, const std::string& name);

// True when the pattern (a directory, a separator and a mask; "*.*" matches
// every name) finds an entry that counts; stops at the first one.
bool SpoolHasEntries(const std::string& pattern);

// Everything below the spool (links not followed) with kind, size and
// modification time, sorted: equal snapshots mean a run changed nothing.
std::vector<std::string> SpoolSnapshot(const std::string& spool);

class SpoolWatch {
public:
    explicit SpoolWatch(UserPrompts& prompts);

    TTimer Timer1;  // the poll
    TTimer Timer2;  // the hand-shake wait, every second

    // The client directory and the drive as they stand in the window.
    std::function<std::string()> ClientDirectory;
    std::function<std::string()> DriveAsTyped;
    std::function<void(const std::string&)> SetStatus;
    // SpoolBay's own directory, where a client beside it lies.
    std::string CompanionDirectory;
    // Starts the client program (a full path); true when the start was accepted.
    std::function<bool(const std::string&)> StartClient;

    // The watch begins: Timer1 polls every intervalMs (0 or less: never fires).
    void Begin(int64_t intervalMs);
    // The whole watch ends, a wait for the hand-shake included, so a late "0"
    // from the client cannot restart polling of a released drive.
    void End();

    // The client was started and has not cleared the hand-shake key yet.
    bool RunInProgress() const { return Timer2.Enabled(); }

    void Timer1Timer();
    void Timer2Timer();

    // A run that left the spool exactly as it found it is not repeated at
    // every poll: only when the spool changes or after this many polls.
    static constexpr int kRetryPolls = 10;
    bool BackingOff() const { return backingOff_; }

private:
    std::string SpoolDirectory() const;
    std::string ClientIni() const;
    void Guarded(void (SpoolWatch::*handler)());

    UserPrompts& prompts_;
    bool inHandler_ = false;
    bool launched_ = false;
    std::vector<std::string> atLaunch_;
    bool backingOff_ = false;
    std::vector<std::string> leftBehind_;
    int pollsSinceRun_ = 0;
    int generation_ = 0;  // counts Begin and End, so a handler can tell it was overtaken
};

}  // namespace vollum
