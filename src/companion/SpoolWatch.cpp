#include "companion/SpoolWatch.h"

#include <algorithm>

#include "common/Errors.h"
#include "common/Helpers.h"
#include "common/UserPrompts.h"
#include "config/ProgramDir.h"
#include "config/TIniFile.h"
#include "platform/LocalFiles.h"
#include "platform/ProcessStart.h"
#include "unattended/DirListing.h"

namespace vollum {

namespace {

// Bounds the snapshot of a huge spool; past it the comparison sees a prefix.
constexpr size_t kSnapshotLimit = 20000;

void Snapshot(const std::string& dir, const std::string& relative, std::vector<std::string>& out) {
    std::vector<DirEntry> entries;
    ListDirectory(dir, entries);
    for (const DirEntry& e : entries) {
        if (out.size() >= kSnapshotLimit) return;
        const std::string path = AddBackslash(dir) + e.name;
        const EntryStamp stamp = StampOf(path);
        out.push_back(relative + e.name + "\t" + std::to_string(static_cast<int>(e.kind)) + "\t" +
                      std::to_string(stamp.size) + "\t" + stamp.modified);
        if (e.kind == EntryKind::Directory) Snapshot(path, relative + e.name + kPathSep, out);
    }
}

}  // namespace

bool SpoolEntryCounts(const std::string& directory, const std::string& name) {
    if (name.empty() || name[0] == '.') return false;
    const std::string path = AddBackslash(directory) + name;
    switch (KindOf(path)) {
        case EntryKind::Directory: return true;
        case EntryKind::File: {
            FileIdentity id;
            return ReadIdentity(path, id) && id.size > 0;
        }
        default: return false;
    }
}

bool SpoolHasEntries(const std::string& pattern) {
    return AnyPatternEntry(pattern,
                           [](const std::string& dir, const DirEntry& e) { return SpoolEntryCounts(dir, e.name); });
}

std::vector<std::string> SpoolSnapshot(const std::string& spool) {
    std::vector<std::string> out;
    Snapshot(spool, "", out);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> CountingSpoolNames(const std::string& spool) {
    std::vector<DirEntry> entries;
    ListDirectory(spool, entries);
    std::vector<std::string> names;
    for (const DirEntry& e : entries)
        if (SpoolEntryCounts(spool, e.name)) names.push_back(e.name);
    return names;
}

SpoolWatch::SpoolWatch(UserPrompts& prompts) : prompts_(prompts) {
    Timer1.SetInterval(1000);
    Timer2.SetInterval(1000);
    Timer1.OnTimer = [this] { Guarded(&SpoolWatch::Timer1Timer); };
    Timer2.OnTimer = [this] { Guarded(&SpoolWatch::Timer2Timer); };
    StartClient = [](const std::string& program) { return StartClientProcess(program, {}); };
    settle_.setSingleShot(true);
    settle_.setTimerType(Qt::PreciseTimer);  // a coarse timer may end a quiet period early
    QObject::connect(&settle_, &QTimer::timeout, [this] { Guarded(&SpoolWatch::SettleTick); });
    notify_.OnChange = [this] { Guarded(&SpoolWatch::SpoolChanged); };
}

std::string SpoolWatch::SpoolDirectory() const { return AddBackslash(ClientDirectory()) + "COPY"; }
std::string SpoolWatch::ClientIni() const { return AddBackslash(ClientDirectory()) + "VOLLUM.INI"; }

void SpoolWatch::Guarded(void (SpoolWatch::*handler)()) {
    // A box shown by one tick runs the event loop; further ticks wait until it
    // is answered. A change noticed meanwhile is looked at by the next poll.
    if (inHandler_) return;
    inHandler_ = true;
    try {
        (this->*handler)();
    } catch (const VollumError& e) {
        prompts_.MessageBox(e.what(), "Error", PromptButtons::Ok, PromptIcon::Error);
    }
    inHandler_ = false;
}

void SpoolWatch::Begin(int64_t intervalMs) {
    End();
    active_ = true;
    Timer1.SetInterval(intervalMs);
    Timer1.SetEnabled(true);
    if (UseNotifications && notify_.Start(SpoolDirectory())) {
        // What lay there before the watch began sends no notification.
        QTimer::singleShot(0, &settle_, [this] { Guarded(&SpoolWatch::SpoolChanged); });
    }
}

void SpoolWatch::End() {
    ++generation_;
    active_ = false;
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    notify_.Stop();
    clientEnd_.Cancel();
    settle_.stop();
    settling_ = false;
    running_ = false;
    launched_ = false;
    backingOff_ = false;
    quietUntilPoll_ = false;
}

void SpoolWatch::SpoolChanged() {
    // During a run the client's own deletions change the spool; its end looks again.
    if (!active_ || running_ || quietUntilPoll_) return;
    if (settling_) {
        changedWhileSettling_ = true;
        lastChange_.start();
        return;
    }
    StartSettle();
}

void SpoolWatch::StartSettle() {
    if (SettleMs <= 0) return Consider(Trigger::Settled);
    settling_ = true;
    changedWhileSettling_ = false;
    lastChange_.start();
    settleSnapshot_ = SpoolSnapshot(SpoolDirectory());
    settle_.start(static_cast<int>(std::min<int64_t>(SettleMs, 3600000)));
}

void SpoolWatch::SettleTick() {
    if (!settling_) return;
    std::vector<std::string> now = SpoolSnapshot(SpoolDirectory());
    if (changedWhileSettling_) {
        // Notified changes explain the difference: quiet for SettleMs after the last one.
        settleSnapshot_ = std::move(now);
        changedWhileSettling_ = false;
        const int64_t left = SettleMs - lastChange_.elapsed();
        settle_.start(static_cast<int>(std::clamp<int64_t>(left, 1, 3600000)));
        return;
    }
    if (now != settleSnapshot_) {
        // Changed without a notification (a file system that sends none): a whole period from here.
        settleSnapshot_ = std::move(now);
        settle_.start(static_cast<int>(std::min<int64_t>(SettleMs, 3600000)));
        return;
    }
    settling_ = false;
    Consider(Trigger::Settled);
}

void SpoolWatch::Timer1Timer() {
    quietUntilPoll_ = false;
    if (settling_ || running_) return;
    SetStatus("Status: Searching " + DriveAsTyped() + " for files");
    Consider(Trigger::Poll);
}

void SpoolWatch::Consider(Trigger trigger) {
    if (!SpoolHasEntries(SpoolDirectory() + kPathSep + "*.*")) {
        backingOff_ = false;
        return;
    }
    std::string status = "Status: Found file, Starting Vollum97";
    if (backingOff_) {
        const std::vector<std::string> now = SpoolSnapshot(SpoolDirectory());
        if (now == leftBehind_) {
            // Only polls count towards the retry; a notification changed nothing here.
            if (trigger != Trigger::Poll) return;
            if (++pollsSinceRun_ < kRetryPolls) {
                const int64_t seconds = (kRetryPolls - pollsSinceRun_) * Timer1.Interval() / 1000;
                SetStatus("Status: Files not sent, trying again when the spool changes or in " +
                          std::to_string(seconds) + " s" + KeptNames(nullptr));
                return;
            }
            status = "Status: Trying unsent files again, Starting Vollum97";
        }
        backingOff_ = false;
    }
    // A poll may find a copy under way: it starts the client only once the spool is quiet.
    if (trigger == Trigger::Poll && SettleMs > 0) return StartSettle();
    Launch(status);
}

void SpoolWatch::Launch(const std::string& status) {
    Timer1.SetEnabled(false);
    SetStatus(status);
    atLaunch_ = SpoolSnapshot(SpoolDirectory());
    launched_ = true;
    running_ = true;
    const long long pid = StartClient(ClientProgramFor(ClientDirectory(), CompanionDirectory));
    if (pid > 0 && clientEnd_.Watch(pid, [this] { Guarded(&SpoolWatch::ClientEnded); })) return;
    if (pid >= 0) {
        Timer2.SetEnabled(true);
        return;
    }
    running_ = false;
    const int generation = generation_;
    prompts_.MessageBox("Error Executing Vollum97", "", PromptButtons::Ok, PromptIcon::None);
    if (generation != generation_) return;  // Stop or Start while the box was open
    // Nothing would ever answer the hand-shake: the watch goes on, trying again
    // as after a run that sent nothing.
    launched_ = false;
    backingOff_ = true;
    leftBehind_ = atLaunch_;
    pollsSinceRun_ = 0;
    Timer1.SetEnabled(true);
}

void SpoolWatch::Timer2Timer() {
    if (TIniFile(ClientIni()).ReadBool("SpoolBay", "Executed", true)) return;
    TIniFile(ClientIni()).WriteString("SpoolBay", "Executed", "1");
    RunEnded(true);
}

void SpoolWatch::ClientEnded() {
    // The client clears the key before it ends; an armed key means it ended
    // without finishing (refused login, the spool held by another run, killed).
    const bool finished = !TIniFile(ClientIni()).ReadBool("SpoolBay", "Executed", true);
    if (finished) TIniFile(ClientIni()).WriteString("SpoolBay", "Executed", "1");
    RunEnded(finished);
}

void SpoolWatch::RunEnded(bool finished) {
    running_ = false;
    Timer2.SetEnabled(false);
    clientEnd_.Cancel();
    if (launched_) {
        const std::vector<std::string> now = SpoolSnapshot(SpoolDirectory());
        backingOff_ = now == atLaunch_;
        if (backingOff_) {
            leftBehind_ = now;
            pollsSinceRun_ = 0;
        }
    }
    // What lay there when the client started and is still there was kept by it.
    if (launched_)
        if (const std::string kept = KeptNames(&atLaunch_); !kept.empty()) SetStatus("Status: Kept in the spool" + kept);
    launched_ = false;
    Timer1.SetEnabled(true);
    quietUntilPoll_ = !finished;
    // Files dropped during the run go in the next one without waiting for a poll.
    if (finished && notify_.Watching()) SpoolChanged();
}

std::string SpoolWatch::KeptNames(const std::vector<std::string>* atLaunch) const {
    std::vector<std::string> names = CountingSpoolNames(SpoolDirectory());
    if (atLaunch) {
        std::erase_if(names, [atLaunch](const std::string& name) {
            return std::none_of(atLaunch->begin(), atLaunch->end(),
                                [&name](const std::string& line) { return line.rfind(name + "\t", 0) == 0; });
        });
    }
    if (names.empty()) return std::string();
    constexpr size_t kShown = 3;
    std::string text = ": ";
    for (size_t i = 0; i < names.size() && i < kShown; ++i) text += (i > 0 ? ", " : "") + names[i];
    if (names.size() > kShown) text += " and " + std::to_string(names.size() - kShown) + " more";
    return text;
}

}  // namespace vollum
