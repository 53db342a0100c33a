#include "queue/FolderDownload.h"

#include <sys/stat.h>

#include "common/UserPrompts.h"
#include "ftp/TFtpSession.h"
#include "platform/LocalFiles.h"

namespace vollum {

namespace {

// Deeper than any tree worth fetching; a server whose folders loop stops here.
constexpr int kMostDepth = 64;

const char* const kBinary = "TYPE I";

std::string LocalJoin(const std::string& dir, const std::string& name) {
    return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

// The size of the regular file at path (links not followed); -1 for anything else.
long long RegularFileSize(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<long long>(st.st_size);
}

}  // namespace

FolderDownload::FolderDownload(TFtpSession& session, std::string typeCommand)
    : s_(session), type_(typeCommand.empty() ? kBinary : std::move(typeCommand)) {}

bool FolderDownload::LocalNameSafe(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::string FolderDownload::RemoteJoin(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::string FolderDownload::ResolveLink(const std::string& dir, const std::string& target) {
    std::vector<std::string> parts;
    const std::string whole = !target.empty() && target.front() == '/' ? target : RemoteJoin(dir, target);
    size_t start = 0;
    while (start <= whole.size()) {
        size_t end = whole.find('/', start);
        if (end == std::string::npos) end = whole.size();
        const std::string part = whole.substr(start, end - start);
        if (part == "..") {
            if (parts.empty()) return "";
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string path;
    for (const std::string& part : parts) path += "/" + part;
    return path.empty() ? "/" : path;
}

void FolderDownload::Report(const std::string& what, const std::string& why) {
    const std::string text = "Skipped " + ControlChannel::Printable(what) + ": " + why;
    s_.ShowLine("%s", {text});
    s_.LogLine(text);
}

bool FolderDownload::Going() { return !stopped_ && s_.Connected(); }

bool FolderDownload::Run(const std::string& remoteDir, const std::vector<ListingEntry>& entries,
                         const std::string& localDir) {
    stopped_ = false;
    if (!IsRealDirectory(localDir)) {
        Report(localDir, "the local folder does not exist");
        return false;
    }
    return Entries(remoteDir, entries, localDir, 0, ResolveLink("/", remoteDir));
}

bool FolderDownload::Entries(const std::string& remoteDir, const std::vector<ListingEntry>& entries,
                             const std::string& localDir, int depth, const std::string& root) {
    bool complete = true;
    for (const ListingEntry& e : entries) {
        if (!Going()) return false;
        const std::string remotePath = RemoteJoin(remoteDir, e.name);
        if (e.IsRaw()) {
            Report(e.raw, "the listing line was not understood");
            complete = false;
            continue;
        }
        if (!LocalNameSafe(e.name)) {
            Report(remotePath, "its name cannot be a local file name");
            complete = false;
            continue;
        }
        if (!ControlChannel::CommandSafe(remotePath)) {
            Report(remotePath, "its name holds CR, LF or NUL");
            complete = false;
            continue;
        }
        const std::string localPath = LocalJoin(localDir, e.name);
        if (e.IsFolder()) {
            // Below a chosen folder, links stay inside that folder.
            const std::string inner = depth == 0 ? ResolveLink("/", remotePath) : root;
            if (!Folder(remotePath, localPath, depth + 1, inner)) complete = false;
        } else if (e.kind == ListingEntry::Kind::Link) {
            // Fetched as the file it names, only when that lies inside the folder being downloaded.
            const std::string target = e.linkTarget.empty() ? "" : ResolveLink(remoteDir, e.linkTarget);
            if (target.empty() || !(target == root || target.rfind(RemoteJoin(root, ""), 0) == 0)) {
                Report(remotePath, e.linkTarget.empty() ? "a link whose target is not known"
                                                        : "it links outside the folder being downloaded");
                complete = false;
                continue;
            }
            if (!File(remotePath, e, localPath)) complete = false;
        } else if (!File(remotePath, e, localPath)) {
            complete = false;
        }
    }
    return complete;
}

bool FolderDownload::Folder(const std::string& remotePath, const std::string& localPath, int depth,
                            const std::string& root) {
    if (depth > kMostDepth) {
        Report(remotePath, "folders nested too deep");
        return false;
    }
    if (IsSymbolicLink(localPath)) {
        Report(localPath, "a local link is in its place; nothing is written through it");
        return false;
    }
    if (LocalFileExists(localPath) && !IsRealDirectory(localPath)) {
        Report(localPath, "a local file is in the place of the folder");
        return false;
    }
    if (!LocalFileExists(localPath) && ::mkdir(localPath.c_str(), 0777) != 0) {
        Report(localPath, "the local folder could not be made");
        return false;
    }
    std::vector<ListingEntry> entries;
    if (!s_.ListEntries(remotePath, entries)) {
        Report(remotePath, "the folder could not be listed");
        return false;
    }
    return Entries(remotePath, entries, localPath, depth, root);
}

bool FolderDownload::ResumeAccepted() {
    if (!restAccepted_) restAccepted_ = s_.Features().Has("REST");
    return *restAccepted_;
}

FolderDownload::Clash FolderDownload::AskClash(const std::string& localPath, const ListingEntry& entry,
                                               long long localSize, bool resumable) {
    if (forAll_ && (*forAll_ != Clash::Resume || resumable)) return *forAll_;
    std::vector<std::string> choices = {"Overwrite", "Skip", "Rename"};
    if (resumable) choices.push_back("Resume");
    std::string text = localPath + " already exists (" + std::to_string(localSize) + " bytes";
    if (entry.size) text += "; the server's file has " + std::to_string(*entry.size);
    text += ").";
    bool all = false;
    const int chosen = s_.Prompts.Choose(text, "File exists", choices, 1, &all);
    const Clash answer = chosen == 0 ? Clash::Overwrite : chosen == 2 ? Clash::Rename : chosen == 3 ? Clash::Resume
                                                                                                    : Clash::Skip;
    if (all) forAll_ = answer;
    return answer;
}

bool FolderDownload::File(const std::string& remotePath, const ListingEntry& listed, const std::string& localPath) {
    // A link's listed size is its own (the length of its target's name): the file's is not known.
    ListingEntry entry = listed;
    if (entry.kind == ListingEntry::Kind::Link) entry.size.reset();
    std::string target = localPath;
    RetrieveOptions options;
    if (entry.size) options.expectedSize = static_cast<long long>(*entry.size);
    if (LocalFileExists(localPath)) {
        if (IsSymbolicLink(localPath)) {
            Report(localPath, "a local link is in its place; nothing is written through it");
            return false;
        }
        const long long localSize = RegularFileSize(localPath);
        if (localSize < 0) {
            Report(localPath, "a local folder or special file is in its place");
            return false;
        }
        const bool resumable = type_ == kBinary && entry.size && localSize > 0 &&
                               localSize < static_cast<long long>(*entry.size) && ResumeAccepted();
        switch (AskClash(localPath, entry, localSize, resumable)) {
            case Clash::Skip: return true;
            case Clash::Overwrite: break;
            case Clash::Rename:
                target = KeepBothName(localPath);
                if (target.empty()) {
                    Report(localPath, "no free name beside it");
                    return false;
                }
                break;
            case Clash::Resume: options.restartAt = localSize; break;
        }
    }
    lastLocal_ = target;
    if (!s_.RetrieveFile(remotePath, target, type_, options)) return false;
    // A resumed file is whole only when it now holds what the server has.
    if (options.restartAt > 0 && entry.size && RegularFileSize(target) != static_cast<long long>(*entry.size)) {
        const std::string text = "Resumed " + ControlChannel::Printable(target) + " holds " +
                                  std::to_string(RegularFileSize(target)) + " of " + std::to_string(*entry.size) +
                                  " bytes";
        s_.ShowLine("%s", {text});
        s_.LogLine(text);
        return false;
    }
    s_.ShowLine("Received %s", {ControlChannel::Printable(target)});
    return true;
}

}  // namespace vollum
