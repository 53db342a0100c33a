// Deletes that wait until the server has shown that names which may be one
// file to it are separate files.
#include <map>

#include "ftp/TFtpSession.h"
#include "platform/LocalFiles.h"
#include "unattended/TUnattended.h"

namespace vollum {

void TUnattended::DeleteStoredTop(const std::string& path) {
    // A read-only file cannot be deleted and goes again next run.
    if (heldBack_.count(path) || !stored_.Holds(path) || IsReadOnly(path)) return;
    DeleteFileEntry(path);
}

namespace {

std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : "/") + part;
    return text;
}

}  // namespace

void TUnattended::SettleSharedNames() {
    // Each remote folder involved is listed once; a folder that cannot be
    // listed shows no names, so all that depends on it is kept.
    std::map<std::vector<std::string>, std::set<std::string>> listings;
    const auto listed = [&](const std::vector<std::string>& path) {
        for (size_t i = 0; i < path.size(); ++i) {
            const std::vector<std::string> folder(path.begin(), path.begin() + static_cast<long>(i));
            auto it = listings.find(folder);
            if (it == listings.end()) {
                std::set<std::string> names;
                std::vector<ListingEntry> entries;
                if (!runStopped_ && StillConnected() && MoveRemote(folder) && s_.ListEntries("", entries))
                    for (const ListingEntry& e : entries)
                        if (!e.IsRaw()) names.insert(e.name);
                it = listings.emplace(folder, std::move(names)).first;
            }
            if (it->second.count(path[i]) == 0) return false;
        }
        return true;
    };
    for (const std::vector<SharedNames::Claim>& group : sharedNames_.TakeGroups()) {
        bool apart = true;
        for (const SharedNames::Claim& claim : group) apart = apart && listed(claim.remotePath);
        if (apart) continue;
        for (const SharedNames::Claim& claim : group) {
            if (!stored_.Holds(claim.localPath)) continue;
            std::string others;
            for (const SharedNames::Claim& other : group)
                if (&other != &claim) others += (others.empty() ? "" : ", ") + Joined(other.remotePath);
            stored_.Forget(claim.localPath);
            // Its folder stays whole, as any folder not all on the server does.
            if (!claim.spoolTop.empty()) completeSpoolDirs_.erase(claim.spoolTop);
            Keep("the server may take it and " + others + " for one file: its listing does not show each name",
                 claim.localPath);
        }
    }
    if (!listings.empty() && !runStopped_ && StillConnected()) MoveRemote({});
    std::set<std::string> held;
    held.swap(heldBack_);
    for (const std::string& path : held) DeleteStoredTop(path);
}

}  // namespace vollum
