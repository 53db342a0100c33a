#pragma once
// A fresh directory under /tmp, removed with everything in it at the end.
#include <string>

namespace vollum::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    // Path() + "/" + name
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// WriteFile, creating the parent directories first.
void PutFile(const std::string& path, const std::string& bytes);
// Deterministic pseudo-random bytes (every byte value appears, CR, LF and NUL included).
std::string RandomBytes(size_t size, unsigned seed = 1);

}  // namespace vollum::test
