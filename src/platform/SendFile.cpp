#include "platform/SendFile.h"

namespace vollum {

namespace {
constexpr size_t kFileBuffer = 64 * 1024;
}

bool SendFile::Open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) return false;
    if (Identity().size < 0) {  // a directory is no file to send
        Close();
        return false;
    }
    std::setvbuf(file_, nullptr, _IOFBF, kFileBuffer);
    return true;
}

int SendFile::Read(char* block, size_t size) {
    const size_t n = std::fread(block, 1, size, file_);
    if (n == 0 && std::ferror(file_)) return -1;
    return static_cast<int>(n);
}

FileIdentity SendFile::Identity() const {
    FileIdentity id;
    if (!ReadOpenFileIdentity(::fileno(file_), id)) id.size = -1;
    return id;
}

void SendFile::Close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

}  // namespace vollum
