// Sends a local directory tree below the remote current directory.
#include "common/Helpers.h"
#include "ftp/TFtpSession.h"
#include "platform/LocalFiles.h"
#include "unattended/DirListing.h"
#include "unattended/TUnattended.h"

namespace vollum {

bool TUnattended::PutDirTree(const std::string& dir) {
    const std::string P = AddBackslash(dir);
    bool complete = true;

    std::vector<DirEntry> entries;
    if (!ListDirectory(P, entries)) complete = false;
    for (const DirEntry& e : entries) {
        if (Stopped() || !StillConnected()) return false;
        if (e.kind == EntryKind::Directory) continue;
        if (e.kind == EntryKind::LinkToDirectory || e.kind == EntryKind::Special) {
            if (e.kind == EntryKind::LinkToDirectory) LinkStaysInside(P + e.name);
            complete = false;  // never followed, never read: the tree is not all on the server
            continue;
        }
        if (!LinkStaysInside(P + e.name) || !NameUsable(e.name, P + e.name) ||
            !LowerCaseFree(e.name, P, P + e.name) || !ClaimRemoteName(RemoteName(e.name), P + e.name)) {
            complete = false;
            continue;
        }
        if (PutFile(P + e.name, e.name, "Putfile " + e.name, PutMode::Recorded) == PutResult::Kept) complete = false;
    }

    entries.clear();
    if (!ListDirectory(P, entries)) complete = false;
    for (const DirEntry& e : entries) {
        if (Stopped() || !StillConnected()) return false;
        if (e.kind != EntryKind::Directory) continue;
        const std::string N = RemoteName(e.name);
        if (!NameUsable(e.name, P + e.name) || !LowerCaseFree(e.name, P, P + e.name) ||
            !ClaimRemoteName(N, P + e.name)) {
            complete = false;
            continue;
        }
        s_.FtpCommand("MKD %s", {N});
        s_.Meter().SetStatus("MakingDirectory: " + N);
        s_.LogLine("Makedirectory " + N);
        const int cwd = s_.FtpCommand("CWD %s", {N});
        s_.Meter().SetStatus("ChangingDirectory: " + N);
        s_.LogLine("Changedirectory " + N);
        // Where a refused CWD left the server is not sure: the walk goes back
        // to the start and the rest of the tree waits for the next run.
        if (cwd != 2) {
            ReturnToStart();
            return false;
        }
        remotePath_.push_back(N);
        if (!PutDirTree(P + e.name + kPathSep)) complete = false;
        if (Stopped()) return false;
    }

    const int cdup = s_.FtpCommand("CDUP");
    s_.LogLine("CDUP");
    if (cdup != 2) {
        // Still one level down: what follows must not land here.
        ReturnToStart();
        return false;
    }
    if (!remotePath_.empty()) remotePath_.pop_back();
    if (!complete) SomethingKept = true;
    return complete;
}

}  // namespace vollum
