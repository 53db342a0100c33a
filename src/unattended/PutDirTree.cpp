// Sends a local directory tree below the remote current directory.
#include "common/Helpers.h"
#include "ftp/TFtpSession.h"
#include "unattended/DirListing.h"
#include "unattended/TUnattended.h"

namespace vollum {

bool TUnattended::PutDirTree(const std::string& dir) {
    const std::string P = AddBackslash(dir);
    bool complete = true;

    std::vector<DirEntry> entries;
    if (!ListDirectory(P, entries)) complete = false;
    for (const DirEntry& e : entries) {
        if (e.kind == EntryKind::Directory) continue;
        if (e.kind == EntryKind::LinkToDirectory || e.kind == EntryKind::Special) {
            complete = false;  // never followed, never read: the tree is not all on the server
            continue;
        }
        s_.LogLine("Putfile " + e.name);
        if (!StoreRecorded(P + e.name, e.name)) complete = false;
    }

    entries.clear();
    if (!ListDirectory(P, entries)) complete = false;
    for (const DirEntry& e : entries) {
        if (e.kind != EntryKind::Directory) continue;
        const std::string N = RemoteDirName(e.name);
        s_.FtpCommand("MKD %s", {N});
        if (MeterView* m = s_.Meter()) m->SetStatus("MakingDirectory: " + N);
        s_.LogLine("Makedirectory " + N);
        const int cwd = s_.FtpCommand("CWD %s", {N});
        if (MeterView* m = s_.Meter()) m->SetStatus("ChangingDirectory: " + N);
        s_.LogLine("Changedirectory " + N);
        // Without the CWD the subtree's files would land one level too high and
        // its CDUP would leave this level: the subtree waits for the next run.
        if (cwd != 2 || !PutDirTree(P + e.name + kPathSep)) complete = false;
    }

    s_.FtpCommand("CDUP");
    s_.LogLine("CDUP");
    return complete;
}

}  // namespace vollum
