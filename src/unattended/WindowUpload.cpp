// Uploads started from the window: a drop run's walk over the logged-in session.
#include <memory>

#include "common/Errors.h"
#include "common/Helpers.h"
#include "ftp/TFtpSession.h"
#include "platform/LocalFiles.h"
#include "unattended/ParallelRun.h"
#include "unattended/TUnattended.h"

namespace vollum {

bool TUnattended::UploadPaths(const std::vector<std::string>& paths, const std::string& into,
                              const std::string& firstName) {
    BeginRun(false);
    SomethingKept = false;
    ConnectionLost = false;
    if (!StillConnected()) return false;
    std::string found;
    if (s_.FtpCommand("PWD") != 2 || !PathFromPwdReply(s_.LastReply(), found)) found.clear();
    if (!into.empty() && s_.FtpCommand("CWD %s", {into}) != 2) {
        const std::string text = "Could not enter " + into + ": nothing sent";
        s_.ShowLine("%s", {text});
        s_.LogLine(text);
        SomethingKept = true;
        return false;
    }
    // The walk's start, where a refused CWD sends it back to.
    NotePwd(s_.FtpCommand("PWD"));
    workerBase_ = startKnown_ ? remoteStart_ : std::string();
    windowPaths_ = paths;
    windowFirstName_ = firstName;
    {
        const std::unique_ptr<ParallelRun> parallel = workerBase_.empty() ? nullptr : ParallelRun::StartFor(*this);
        struct Unconfine {
            TUnattended& runs;
            ~Unconfine() { runs.ConfineLinks("", ""); }
        } unconfine{*this};
        try {
            WindowWalk();
            if (parallel) parallel->Finish();
        } catch (const EConvertError&) {
            if (s_.Connected()) throw;
            StillConnected();
            if (parallel) parallel->Finish();
        }
    }
    workerBase_.clear();
    windowPaths_.clear();
    // Back where the user was, so the window's commands go on from there.
    if (!found.empty() && s_.Connected()) s_.FtpCommand("CWD %s", {found});
    return !SomethingKept && !ConnectionLost && !runStopped_;
}

void TUnattended::WindowWalk() {
    for (size_t i = 0; i < windowPaths_.size(); ++i) {
        const std::string& A = windowPaths_[i];
        if (runStopped_ || !StillConnected()) {
            SomethingKept = true;
            break;
        }
        // A path the user named is followed; below it, links stay inside.
        ConfineLinks(IsDirectory(A) ? A : "", "it links outside the dropped directory");
        const std::string name = i == 0 && !windowFirstName_.empty() ? windowFirstName_ : LastPathComponent(A);
        if (IsDirectory(A)) {
            const std::string N = RemoteName(name);
            if (!NameUsable(name, A) || !ClaimRemoteName(N, A)) continue;
            if (EnterNewRemoteDirectory(N)) PutDirTree(A);
            else SomethingKept = true;
            walkAbandoned_ = false;
        } else if (LocalFileExists(A) && KindOf(A) != EntryKind::Special && KindOf(A) != EntryKind::Dangling) {
            if (!NameUsable(name, A) || !ClaimRemoteName(RemoteName(name), A)) continue;
            PutFile(A, name, "Putfile " + name, PutMode::Plain);
        } else {
            Keep("it is not a file or a directory that can be read", A);
        }
    }
    StillConnected();
}

}  // namespace vollum
