#pragma once
// Local files and folders (whole trees) sent into a remote directory, as a
// drop run sends them: same checks, TempUpload and Connections.
#include <string>
#include <vector>

#include "queue/QueueJob.h"

namespace vollum {

class TFtpSession;
class TUnattended;

class UploadJob : public QueueJob {
public:
    // remoteDir empty: the remote current directory when the job runs.
    // firstName, when given, is the remote name of the first path.
    UploadJob(TFtpSession& session, std::vector<std::string> localPaths, std::string remoteDir,
              std::string firstName = "");

    std::string Title() const override;
    bool Upload() const override { return true; }
    long long TotalBytes() const override { return total_; }
    bool Run() override;
    void Stop() override;

    const std::vector<std::string>& LocalPaths() const { return paths_; }
    const std::string& RemoteDir() const { return remoteDir_; }

private:
    TFtpSession& s_;
    std::vector<std::string> paths_;
    std::string remoteDir_;
    std::string firstName_;
    long long total_ = 0;
    TUnattended* run_ = nullptr;  // while it runs
    bool stopped_ = false;
};

// "name", or "name and N more".
std::string ListTitle(const std::vector<std::string>& names);

}  // namespace vollum
