#pragma once
// A local file being stored, read through a large buffer so that small
// blocks cost no system call each.
#include <cstdio>
#include <string>

#include "platform/LocalFiles.h"

namespace vollum {

class SendFile {
public:
    SendFile() = default;
    SendFile(const SendFile&) = delete;
    SendFile& operator=(const SendFile&) = delete;
    ~SendFile() { Close(); }

    // False for a file that cannot be opened, and for a directory.
    bool Open(const std::string& path);
    // Bytes read, 0 at the end, -1 after a failed read.
    int Read(char* block, size_t size);
    // What the open file is now: compared before and after a transfer, it
    // tells whether the file was written to meanwhile.
    FileIdentity Identity() const;
    void Close();

private:
    std::FILE* file_ = nullptr;
};

}  // namespace vollum
