#pragma once
// Downloads remote files and whole folders into a local folder: a listing
// per folder, local folders made, every file with the size check of a
// binary retrieve. A local file already there is never replaced without a
// question (Overwrite, Skip, Rename, Resume, "Do this for all"); a name that
// is unsafe here ("..", "/", NUL, a way out of the target folder) is skipped
// and reported, never written; a remote link is fetched only when it points
// inside the chosen folder it lies in, and never entered as a folder.
#include <optional>
#include <string>
#include <vector>

#include "ftp/ListingEntry.h"

namespace vollum {

class TFtpSession;

class FolderDownload {
public:
    enum class Clash { Overwrite, Skip, Rename, Resume };

    FolderDownload(TFtpSession& session, std::string typeCommand);

    // The entries of remoteDir (an absolute remote path) into localDir. True
    // when everything arrived whole and nothing had to be left out (files the
    // user chose to skip do not count against it).
    bool Run(const std::string& remoteDir, const std::vector<ListingEntry>& entries, const std::string& localDir);
    // Fetches nothing more after the file in hand.
    void Stop() { stopped_ = true; }

    // The local file the last single-file entry was written to (after a Rename, its new name).
    const std::string& LastLocalPath() const { return lastLocal_; }

    // A name that may become a file or folder here: not empty, ".", "..",
    // and without "/" or NUL.
    static bool LocalNameSafe(const std::string& name);
    // dir + "/" + name, no doubled separator; name alone when dir is empty.
    static std::string RemoteJoin(const std::string& dir, const std::string& name);
    // The absolute remote path a link's target names from inside dir, "." and
    // ".." resolved; empty when it climbs above the root.
    static std::string ResolveLink(const std::string& dir, const std::string& target);

private:
    // root: the folder a link must point into, the one the user chose (for
    // the chosen entries themselves, the folder they lie in).
    bool Entries(const std::string& remoteDir, const std::vector<ListingEntry>& entries, const std::string& localDir,
                 int depth, const std::string& root);
    bool Folder(const std::string& remotePath, const std::string& localPath, int depth, const std::string& root);
    bool File(const std::string& remotePath, const ListingEntry& entry, const std::string& localPath);
    Clash AskClash(const std::string& localPath, const ListingEntry& entry, long long localSize, bool resumable);
    bool ResumeAccepted();
    // Pane and log: "Skipped NAME: why".
    void Report(const std::string& what, const std::string& why);
    bool Going();

    TFtpSession& s_;
    std::string type_;
    std::optional<Clash> forAll_;
    std::optional<bool> restAccepted_;
    std::string lastLocal_;
    bool stopped_ = false;
};

}  // namespace vollum
