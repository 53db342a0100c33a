#include "queue/DownloadJob.h"

#include "queue/UploadJob.h"

namespace vollum {

DownloadJob::DownloadJob(TFtpSession& session, std::string remoteDir, std::vector<ListingEntry> entries,
                         std::string localDir, std::string typeCommand)
    : s_(session),
      remoteDir_(std::move(remoteDir)),
      entries_(std::move(entries)),
      localDir_(std::move(localDir)),
      download_(session, std::move(typeCommand)) {
    // Known beforehand only when no folder's content is still to be listed.
    for (const ListingEntry& e : entries_) {
        if (e.IsFolder()) {
            total_ = 0;
            break;
        }
        if (e.size) total_ += static_cast<long long>(*e.size);
    }
}

std::string DownloadJob::Title() const {
    std::vector<std::string> names;
    for (const ListingEntry& e : entries_) names.push_back(e.IsRaw() ? e.raw : e.name);
    return ListTitle(names);
}

bool DownloadJob::Run() {
    failure_.clear();
    const bool ok = download_.Run(remoteDir_, entries_, localDir_);
    if (!ok) failure_ = "Not all arrived (see the pane)";
    return ok;
}

}  // namespace vollum
