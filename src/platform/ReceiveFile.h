#pragma once
// The file a receive writes. Always a temporary file: for a view or a listing
// the one handed to the editor (kept once the editor has it), for a retrieve
// a hidden one beside the target that replaces the target only on Commit, so
// a refused or broken retrieve leaves an existing file as it was. Anything
// not kept is removed when the object goes, and also when the program ends
// at once past every destructor (the meter's Cancel, a fatal socket error).
#include <cstdio>
#include <memory>
#include <string>

namespace vollum {

class ReceiveFile {
public:
    ReceiveFile() = default;
    ReceiveFile(const ReceiveFile&) = delete;
    ReceiveFile& operator=(const ReceiveFile&) = delete;
    ~ReceiveFile();

    // "LSTXXXXXX" / "VIWXXXXXX" in the current directory.
    bool OpenNamed(const std::string& prefix);
    // ".<name>.vollum-XXXXXX" beside the file the path finally names (a link
    // is followed, so the retrieve replaces its target and the link stays);
    // a name too long for that is cut in the hidden name only.
    // False for what truncating the file in place would refuse.
    bool OpenBeside(const std::string& given);
    // Resume: the existing regular file at path (not a link), appended to in
    // place, and only when it holds exactly `holds` bytes. Never removed.
    bool OpenAppend(const std::string& path, long long holds);
    bool Write(const char* data, size_t size) { return std::fwrite(data, 1, size, file_) == size; }
    // False when buffered bytes could not be written.
    bool Close();
    // Puts a retrieved file in place of its target (a resumed one is in place already).
    bool Commit();
    void Keep();
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }
    // The full path of the file this writes in the end: the target of a
    // retrieve, the file itself for a view or a listing.
    std::string FinalPath() const;

private:
    bool Attach(int fd);

    std::unique_ptr<char[]> buffer_;  // outlives file_: Close runs first
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string target_;
    bool kept_ = false;
};

}  // namespace vollum
