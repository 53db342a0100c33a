#include "queue/UploadJob.h"

#include <filesystem>
#include <system_error>

#include "common/Helpers.h"
#include "ftp/TFtpSession.h"
#include "platform/LocalFiles.h"
#include "unattended/TUnattended.h"

namespace vollum {

namespace {

// The bytes of the regular files below path, links not followed; bounded so
// that a huge tree does not hold the window up before anything is queued.
long long BytesBelow(const std::string& path) {
    constexpr int kMostEntries = 100000;
    std::error_code ec;
    if (KindOf(path) == EntryKind::File) return static_cast<long long>(std::filesystem::file_size(path, ec));
    if (KindOf(path) != EntryKind::Directory) return 0;
    long long total = 0;
    int seen = 0;
    for (auto it = std::filesystem::recursive_directory_iterator(
             path, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (++seen > kMostEntries) return 0;
        if (it->is_regular_file(ec) && !it->is_symlink(ec)) total += static_cast<long long>(it->file_size(ec));
    }
    return total;
}

}  // namespace

std::string ListTitle(const std::vector<std::string>& names) {
    if (names.empty()) return "";
    if (names.size() == 1) return names.front();
    return names.front() + " and " + std::to_string(names.size() - 1) + " more";
}

UploadJob::UploadJob(TFtpSession& session, std::vector<std::string> localPaths, std::string remoteDir,
                     std::string firstName)
    : s_(session), paths_(std::move(localPaths)), remoteDir_(std::move(remoteDir)), firstName_(std::move(firstName)) {
    for (const std::string& p : paths_) total_ += BytesBelow(p);
}

std::string UploadJob::Title() const {
    std::vector<std::string> names;
    for (const std::string& p : paths_) names.push_back(LastPathComponent(p));
    if (!names.empty() && !firstName_.empty()) names.front() = firstName_;
    return ListTitle(names);
}

bool UploadJob::Run() {
    stopped_ = false;
    failure_.clear();
    TUnattended run(s_);
    run_ = &run;
    // Without a transfer type in the profile, what the window sends goes in binary.
    std::string& type = s_.Settings.TypeCommand;
    const std::string given = type;
    if (type.empty()) type = "TYPE I";
    struct Forget {
        TUnattended*& run;
        std::string& type;
        std::string given;
        ~Forget() {
            run = nullptr;
            type = given;
        }
    } forget{run_, type, given};
    const bool ok = run.UploadPaths(paths_, remoteDir_, firstName_);
    if (!ok && !stopped_) failure_ = run.ConnectionLost ? "Connection lost" : "Some files were kept (see the pane)";
    return ok && !stopped_;
}

void UploadJob::Stop() {
    stopped_ = true;
    if (run_ != nullptr) run_->StopRun();
}

}  // namespace vollum
