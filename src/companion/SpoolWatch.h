#pragma once
// The spool watch: change notifications on the spool tree, and Timer1 polling
// it (the fallback where notifications are missing), start the client when
// something worth sending lies there and has stopped changing for SettleMs.
// The client's end is learnt from its process's exit and the hand-shake key
// [SpoolBay] Executed in VOLLUM.INI; where the exit cannot be watched, Timer2
// reads the key once a second. Then the key is re-armed and the spool looked
// at again at once. Works on QtCore alone.
#include <QElapsedTimer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "companion/TTimer.h"
#include "platform/DirectoryWatch.h"
#include "platform/ProcessEnd.h"

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

// The names at the top of the spool that count, in listing order.
std::vector<std::string> CountingSpoolNames(const std::string& spool);

class SpoolWatch {
public:
    explicit SpoolWatch(UserPrompts& prompts);

    TTimer Timer1;  // the poll; the fallback while notifications work
    TTimer Timer2;  // the hand-shake wait, every second, for a client whose exit cannot be watched

    // The client directory and the drive as they stand in the window.
    std::function<std::string()> ClientDirectory;
    std::function<std::string()> DriveAsTyped;
    std::function<void(const std::string&)> SetStatus;
    // SpoolBay's own directory, where a client beside it lies.
    std::string CompanionDirectory;
    // Starts the client program (a full path): its process id, 0 when it
    // started but cannot be watched, -1 when the start was refused.
    std::function<long long(const std::string&)> StartClient;
    // How long the spool must stay unchanged (names, sizes, times) before the
    // client starts, in milliseconds; 0 or less: at once.
    int64_t SettleMs = 0;
    // Change notifications are used where the system has them.
    bool UseNotifications = true;

    // The watch begins: Timer1 polls every intervalMs (0 or less: never fires).
    void Begin(int64_t intervalMs);
    // The whole watch ends, a wait for the hand-shake included, so a late "0"
    // from the client cannot restart polling of a released drive.
    void End();

    // The client was started and has neither ended nor cleared the hand-shake key.
    bool RunInProgress() const { return running_ || Timer2.Enabled(); }
    // Changes below the spool arrive as notifications (every directory watched).
    bool Notified() const { return notify_.Watching() && notify_.Complete(); }
    bool Settling() const { return settling_; }

    void Timer1Timer();
    void Timer2Timer();
    // Something below the spool changed.
    void SpoolChanged();

    // A run that left the spool exactly as it found it is not repeated at
    // every poll: only when the spool changes or after this many polls.
    static constexpr int kRetryPolls = 10;
    bool BackingOff() const { return backingOff_; }

private:
    enum class Trigger { Poll, Settled };
    std::string SpoolDirectory() const;
    std::string ClientIni() const;
    void Guarded(void (SpoolWatch::*handler)());
    void StartSettle();
    void SettleTick();
    void Consider(Trigger trigger);
    void Launch(const std::string& status);
    void ClientEnded();
    // The run is over: the key has been re-armed (finished) or the client
    // ended without clearing it.
    void RunEnded(bool finished);
    // ": a, b, c and 2 more" for the names that count in the spool (only those
    // that were there at atLaunch, when given); empty for none.
    std::string KeptNames(const std::vector<std::string>* atLaunch) const;

    UserPrompts& prompts_;
    bool inHandler_ = false;
    bool launched_ = false;
    std::vector<std::string> atLaunch_;
    bool backingOff_ = false;
    std::vector<std::string> leftBehind_;
    int pollsSinceRun_ = 0;
    int generation_ = 0;  // counts Begin and End, so a handler can tell it was overtaken
    bool active_ = false;
    bool running_ = false;
    bool settling_ = false;
    bool changedWhileSettling_ = false;
    // After a run that ended without finishing, changes wait for the next poll,
    // so a client that cannot work (the spool held by another run) is not
    // started again at every change.
    bool quietUntilPoll_ = false;
    std::vector<std::string> settleSnapshot_;
    QTimer settle_;
    QElapsedTimer lastChange_;
    DirectoryWatch notify_;
    ProcessEndWatch clientEnd_;
};

}  // namespace vollum
