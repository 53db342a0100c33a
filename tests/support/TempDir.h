#pragma once
// A fresh directory under /tmp, removed with everything in it at the end.
#include <filesystem>
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

// Runs the test in its own current directory (temporary files land there).
class InDirectory {
public:
    explicit InDirectory(const std::string& dir) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~InDirectory() { std::filesystem::current_path(old_); }
    InDirectory(const InDirectory&) = delete;
    InDirectory& operator=(const InDirectory&) = delete;

private:
    std::filesystem::path old_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// WriteFile, creating the parent directories first.
void PutFile(const std::string& path, const std::string& bytes);
// Deterministic pseudo-random bytes (every byte value appears, CR, LF and NUL included).
std::string RandomBytes(size_t size, unsigned seed = 1);

}  // namespace vollum::test
