#pragma once
// One item of the transfer queue: what it moves and how. The queue runs one
// job at a time on the session's connection; a job runs from start to end in
// one call (its waits keep the event loop turning) and may be run again by Retry.
#include <string>

namespace vollum {

class QueueJob {
public:
    virtual ~QueueJob() = default;
    // What the queue's row shows: a name, or the first name and a count.
    virtual std::string Title() const = 0;
    virtual bool Upload() const = 0;
    // Bytes the job will move, when known beforehand (0: unknown).
    virtual long long TotalBytes() const { return 0; }
    // Runs on the logged-in session; false when something did not arrive
    // whole (Failure() says what, in a few words).
    virtual bool Run() = 0;
    // After a Cancel of the running job: store or fetch nothing more. The
    // session's own Cancel stops the file in hand.
    virtual void Stop() = 0;
    const std::string& Failure() const { return failure_; }

protected:
    std::string failure_;
};

}  // namespace vollum
