#pragma once
// A local file being stored, read in large blocks straight into the
// caller's buffer.
#include <cstddef>
#include <string>

#include "platform/LocalFiles.h"

namespace vollum {

class SendFile {
public:
    SendFile() = default;
    SendFile(const SendFile&) = delete;
    SendFile& operator=(const SendFile&) = delete;
    ~SendFile() { Close(); }

    // False for a file that cannot be opened, and for a directory. With
    // within (a real directory path), also for a file that does not lie inside
    // it once every link is followed: the file actually opened is looked at,
    // so a link changed after an earlier check gains nothing.
    bool Open(const std::string& path, const std::string& within = "");
    bool IsOpen() const { return fd_ >= 0; }
    // The last Open failed because the file lies outside within.
    bool Outside() const { return outside_; }
    // Fills the block up to size unless the file ends first, so blocks stay
    // whole multiples of the meter's unit. Bytes read, 0 at the end, -1
    // after a failed read.
    int Read(char* block, size_t size);
    // The next Read starts at offset (a resumed store); false when it cannot.
    bool Seek(long long offset);
    // What the open file is now: compared before and after a transfer, it
    // tells whether the file was written to meanwhile.
    FileIdentity Identity() const;
    void Close();

private:
    int fd_ = -1;
    bool outside_ = false;
};

}  // namespace vollum
