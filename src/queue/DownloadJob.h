#pragma once
// Remote files and folders (whole trees) fetched into a local folder.
#include <string>
#include <vector>

#include "ftp/ListingEntry.h"
#include "queue/FolderDownload.h"
#include "queue/QueueJob.h"

namespace vollum {

class TFtpSession;

class DownloadJob : public QueueJob {
public:
    // remoteDir: the absolute remote folder the entries are in.
    DownloadJob(TFtpSession& session, std::string remoteDir, std::vector<ListingEntry> entries, std::string localDir,
                std::string typeCommand);

    std::string Title() const override;
    bool Upload() const override { return false; }
    long long TotalBytes() const override { return total_; }
    bool Run() override;
    void Stop() override { download_.Stop(); }

    // For a single file: where it was written (after a Rename, its new name).
    const std::string& LocalPath() const { return download_.LastLocalPath(); }

private:
    TFtpSession& s_;
    std::string remoteDir_;
    std::vector<ListingEntry> entries_;
    std::string localDir_;
    FolderDownload download_;
    long long total_ = 0;
};

}  // namespace vollum
