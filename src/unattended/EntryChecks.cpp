// What a run checks before it sends an entry and before it deletes one.
#include "common/Helpers.h"
#include "ftp/TFtpSession.h"
#include "ftp/TempNames.h"
#include "platform/LocalFiles.h"
#include "unattended/TUnattended.h"

namespace vollum {

void TUnattended::Keep(const std::string& why, const std::string& localPath) {
    SomethingKept = true;
    Report.Keep(localPath, why);
    const std::string text = "Kept " + ControlChannel::Printable(localPath) + ": " + why;
    s_.ShowLine("%s", {text});
    s_.LogLine(text);
}

bool TUnattended::NameUsable(const std::string& name, const std::string& localPath) {
    if (!ControlChannel::CommandSafe(name)) {
        Keep("its name holds CR, LF or NUL", localPath);
        return false;
    }
    // Such a server would turn the bytes into other ones: two names could
    // become one file, and both local files would pass their checks.
    if (!ValidUtf8(name) && s_.Features().Has("UTF8")) {
        Keep("not valid UTF-8, the server would change it", localPath);
        return false;
    }
    return true;
}

bool TUnattended::LinkStaysInside(const std::string& path) {
    if (linkRoot_.empty() || !IsSymbolicLink(path)) return true;
    const std::string target = RealPath(path);
    if (target.empty() || PathWithin(target, linkRoot_)) return true;
    Keep(linkOutsideWhy_, path);
    return false;
}

void TUnattended::ConfineLinks(const std::string& root, const std::string& why) {
    linkRoot_ = root.empty() ? std::string() : RealPath(root);
    linkOutsideWhy_ = why;
    s_.ConfineStores(linkRoot_, why);
}

bool TUnattended::ClaimRemoteName(const std::string& remoteName, const std::string& localPath) {
    std::string key;
    for (const std::string& dir : remotePath_) key += dir + "/";
    // Two local names that map to one remote name (A.txt and a.txt with
    // lower-casing) would leave the server with one file for two.
    if (!takenNames_.insert(key + remoteName).second) {
        Keep("the remote name " + remoteName + " is taken by an earlier entry", localPath);
        return false;
    }
    std::vector<std::string> remote = remotePath_;
    remote.push_back(remoteName);
    sharedNames_.Note({std::move(remote), localPath, spoolTop_});
    return true;
}

bool TUnattended::LowerCaseFree(const std::string& name, const std::string& localDir, const std::string& localPath) {
    const std::string lower = RemoteName(name);
    if (lower == name) return true;
    // The local entry of that very name goes under it, in this run and the next.
    if (KindOf(AddBackslash(localDir) + lower) != EntryKind::Dangling) {
        Keep("the local name " + lower + " goes under that remote name", localPath);
        return false;
    }
    const std::optional<bool> exists = s_.RemoteNameExists(lower);
    if (exists == false) return true;
    Keep(exists ? "the remote name " + lower + " exists and lower-casing would replace it"
                : "the server did not tell whether the remote name " + lower + " exists",
         localPath);
    return false;
}

bool TUnattended::ServerHoldsWhole(const std::string& remoteName, const std::string& localPath, int64_t size) {
    // In ASCII and EBCDIC the server may count line ends differently.
    if (s_.Settings.TypeCommand != "TYPE I" || sizeUnsupported_) return true;
    s_.Control().ForgetLastReply();
    const int result = s_.FtpCommand("SIZE %s", {remoteName});
    const std::string& reply = s_.LastReply();
    if (result == 2) {
        const int64_t held = SizeFromReply(reply);
        if (held == size) return true;
        if (held >= 0) {
            Keep("the server holds " + std::to_string(held) + " of " + std::to_string(size) + " bytes", localPath);
            return false;
        }
    }
    if (result == 5 && (reply.compare(0, 4, "500 ") == 0 || reply.compare(0, 4, "502 ") == 0)) {
        sizeUnsupported_ = true;
        s_.LogLine("The server has no SIZE command: a stored file counts as whole on its final reply");
        return true;
    }
    Keep("the server did not confirm its size", localPath);
    return false;
}

bool TUnattended::StillConnected() {
    if (s_.Connected()) return true;
    if (!ConnectionLost) {
        ConnectionLost = true;
        if (Report.error.empty()) Report.error = "Connection lost";
        s_.ShowLine("Connection lost");
        s_.LogLine("Connection lost");
    }
    runStopped_ = true;
    return false;
}

}  // namespace vollum
