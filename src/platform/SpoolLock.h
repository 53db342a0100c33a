#pragma once
// One spool run at a time. Two runs over the same spool would store the same
// files, and one could delete a file whose server copy the other is still
// overwriting. A run holds this for its whole length; the system drops it when
// the process ends, however it ends.
#include <string>

namespace vollum {

class SpoolLock {
public:
    // Takes the lock without waiting. A spool directory that cannot be opened
    // (missing) is not busy: there is nothing in it to send twice.
    explicit SpoolLock(const std::string& spoolDirectory);
    ~SpoolLock();
    SpoolLock(const SpoolLock&) = delete;
    SpoolLock& operator=(const SpoolLock&) = delete;

    // Another run holds the spool.
    bool Busy() const { return busy_; }

private:
    int fd_ = -1;
    bool busy_ = false;
};

}  // namespace vollum
