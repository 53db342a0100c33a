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

SpoolWatch::SpoolWatch(UserPrompts& prompts) : prompts_(prompts) {
    Timer1.SetInterval(1000);
    Timer2.SetInterval(1000);
    Timer1.OnTimer = [this] { Guarded(&SpoolWatch::Timer1Timer); };
    Timer2.OnTimer = [this] { Guarded(&SpoolWatch::Timer2Timer); };
    StartClient = [](const std::string& program) { return StartHidden(program, {}); };
}

std::string SpoolWatch::SpoolDirectory() const { return AddBackslash(ClientDirectory()) + "COPY"; }
std::string SpoolWatch::ClientIni() const { return AddBackslash(ClientDirectory()) + "VOLLUM.INI"; }

void SpoolWatch::Guarded(void (SpoolWatch::*handler)()) {
    // A box shown by one tick runs the event loop; further ticks wait until it is answered.
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
    ++generation_;
    backingOff_ = false;
    launched_ = false;
    Timer1.SetInterval(intervalMs);
    Timer1.SetEnabled(true);
}

void SpoolWatch::End() {
    ++generation_;
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    launched_ = false;
}

void SpoolWatch::Timer1Timer() {
    SetStatus("Status: Searching " + DriveAsTyped() + " for files");
    if (!SpoolHasEntries(SpoolDirectory() + kPathSep + "*.*")) {
        backingOff_ = false;
        return;
    }
    std::string status = "Status: Found file, Starting Vollum97";
    if (backingOff_) {
        const std::vector<std::string> now = SpoolSnapshot(SpoolDirectory());
        if (now == leftBehind_ && ++pollsSinceRun_ < kRetryPolls) {
            const int64_t seconds = (kRetryPolls - pollsSinceRun_) * Timer1.Interval() / 1000;
            SetStatus("Status: Files not sent, trying again when the spool changes or in " + std::to_string(seconds) +
                      " s");
            return;
        }
        if (now == leftBehind_) status = "Status: Trying unsent files again, Starting Vollum97";
        backingOff_ = false;
    }
    Timer1.SetEnabled(false);
    SetStatus(status);
    atLaunch_ = SpoolSnapshot(SpoolDirectory());
    launched_ = true;
    if (StartClient(ClientProgramFor(ClientDirectory(), CompanionDirectory))) {
        Timer2.SetEnabled(true);
        return;
    }
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
    if (launched_) {
        const std::vector<std::string> now = SpoolSnapshot(SpoolDirectory());
        backingOff_ = now == atLaunch_;
        if (backingOff_) {
            leftBehind_ = now;
            pollsSinceRun_ = 0;
        }
    }
    launched_ = false;
    Timer1.SetEnabled(true);
    Timer2.SetEnabled(false);
}

}  // namespace vollum
