// One file of a run: stored over the run's own connection, or handed to an upload worker.
#include "ftp/TFtpSession.h"
#include "unattended/ParallelRun.h"
#include "unattended/TUnattended.h"

namespace vollum {

PutResult TUnattended::PutFile(const std::string& path, const std::string& remoteName, const std::string& logText,
                               PutMode mode) {
    if (parallel_ && parallel_->HandOut(path, remoteName, logText, mode)) return PutResult::HandedOut;
    if (parallel_) parallel_->BeginOwnStore(path);
    s_.LogLine(logText);
    bool stored = false;
    if (mode != PutMode::Plain) {
        stored = StoreRecorded(path, remoteName);
    } else {
        stored = s_.StoreFile(s_.Settings.TypeCommand, path, remoteName);
        if (!stored) SomethingKept = true;
    }
    if (parallel_) parallel_->EndOwnStore();
    if (stored) ++Report.filesSent;
    else Report.Keep(path, kNotStoredWhole);
    return stored ? PutResult::Stored : PutResult::Kept;
}

bool TUnattended::MoveRemote(const std::vector<std::string>& to) {
    size_t common = 0;
    while (common < remotePath_.size() && common < to.size() && remotePath_[common] == to[common]) ++common;
    while (remotePath_.size() > common) {
        if (s_.FtpCommand("CDUP") != 2) {
            ReturnToStart();
            return false;
        }
        remotePath_.pop_back();
    }
    for (size_t i = common; i < to.size(); ++i) {
        if (s_.FtpCommand("CWD %s", {to[i]}) != 2) {
            ReturnToStart();
            return false;
        }
        remotePath_.push_back(to[i]);
    }
    return true;
}

}  // namespace vollum
