#pragma once
// Upload of one local file, the meter counting 512-byte blocks: the 425 and
// 426 checks, the speed and time-left texts, and the bounded re-run after a
// broken transfer.
#include <string>

#include "ftp/TransferParts.h"

namespace vollum {

class StoreOperation {
public:
    explicit StoreOperation(const TransferParts& parts) : p_(parts) {}

    // True only when every byte was sent, nothing aborted and the final reply
    // was class 2 (after a re-run: that of the re-run). A local file whose
    // size or modification time changed while it was sent does not count as
    // stored completely either.
    bool Run(const std::string& typeCommand, const std::string& localPath, const std::string& remoteName);

    // After a refused STOR: a 425 on the pane ends the program (exit code 1).
    void CheckDataConnection();
    // After a final reply of 426: true when the store is to run again
    // (Retrying() is then set). Automatic re-runs stop after three; a person
    // asked each time may go on.
    bool CheckTransferAborted(const std::string& remote);
    bool Retrying() const { return retrying_; }
    // The next store is a new one, not a re-run.
    void ForgetRetry() { retrying_ = false; }

    static constexpr int kMaxAutomaticReruns = 3;

    // While within (a real directory path) is set, a local file that does not
    // lie inside it, links followed, is not sent: "Kept <path>: <why>".
    void ConfineTo(const std::string& within, const std::string& why) {
        within_ = within;
        confinedWhy_ = why;
    }

private:
    // One run up to its final reply; false when it ended before (open error,
    // refused STOR, abort), so no broken-transfer check follows.
    bool StoreOnce(const std::string& typeCommand, const std::string& localPath, const std::string& remote, bool rerun,
                   bool& complete, int& finalReply);

    TransferParts p_;
    bool retrying_ = false;
    int reruns_ = 0;  // automatic re-runs of the current store after 426
    std::string within_, confinedWhy_;
};

}  // namespace vollum
