#include "platform/ReceiveFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/Helpers.h"
#include "common/Terminate.h"
#include "platform/LocalFiles.h"

namespace vollum {

namespace {

constexpr size_t kFileBuffer = 256 * 1024;
// The longest name one folder entry may have, and what the hidden name adds to the target's.
constexpr size_t kNameMax = 255;
constexpr const char* kHiddenSuffix = ".vollum-XXXXXX";

std::string AbsolutePath(const std::string& name) {
    if (!name.empty() && name.front() == kPathSep) return name;
    const std::string cwd = CurrentDirectory();
    return cwd.empty() ? name : AddBackslash(cwd) + name;
}

// The file a path finally names: a chain of links is followed to its target,
// also to one that does not exist yet. Empty for a chain that loops.
std::string FinalTarget(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        if (!IsSymbolicLink(path)) return path;
        std::string next = LinkText(path);
        if (next.empty()) return "";
        const std::string dir = DirectoryPart(path);
        if (next.front() != kPathSep && !dir.empty()) next = AddBackslash(dir) + next;
        path = std::move(next);
    }
    return "";
}

std::string& UnfinishedReceiveFile() {
    static std::string path;
    return path;
}

void TrackUnfinished(const std::string& path) {
    static const bool hooked = [] {
        AddTerminateHook([] {
            if (!UnfinishedReceiveFile().empty()) ::unlink(UnfinishedReceiveFile().c_str());
        });
        return true;
    }();
    (void)hooked;
    UnfinishedReceiveFile() = path;
}

mode_t DefaultMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

ReceiveFile::~ReceiveFile() {
    Close();
    if (!path_.empty() && !kept_) ::unlink(path_.c_str());
    if (!path_.empty()) TrackUnfinished("");
}

bool ReceiveFile::OpenNamed(const std::string& prefix) {
    std::string name = prefix + "XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return false;
    path_ = AbsolutePath(name);
    TrackUnfinished(path_);
    ::fchmod(fd, DefaultMode());
    return Attach(fd);
}

bool ReceiveFile::OpenBeside(const std::string& given) {
    const std::string target = FinalTarget(given);
    if (target.empty()) return false;
    struct stat st {};
    mode_t mode = DefaultMode();
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) || ::access(target.c_str(), W_OK) != 0) return false;
        mode = st.st_mode & 07777;
    }
    const std::string dir = DirectoryPart(target);
    // A name near the limit is cut here, so it can still be received.
    const std::string base = LastPathComponent(target).substr(0, kNameMax - 1 - std::string(kHiddenSuffix).size());
    std::string name = (dir.empty() ? std::string() : AddBackslash(dir)) + "." + base + kHiddenSuffix;
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return false;
    path_ = name;
    TrackUnfinished(AbsolutePath(path_));  // the current directory may change before the end
    target_ = target;
    ::fchmod(fd, mode);
    return Attach(fd);
}

std::string ReceiveFile::FinalPath() const { return AbsolutePath(target_.empty() ? path_ : target_); }
bool ReceiveFile::OpenAppend(const std::string& path, long long holds) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != holds) {
        ::close(fd);
        return false;
    }
    path_ = path;
    kept_ = true;  // what it held before stays, whatever becomes of the rest
    return Attach(fd);
}

bool ReceiveFile::Close() {
    if (file_ == nullptr) return true;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
}

bool ReceiveFile::Commit() {
    if (target_.empty()) return Close();
    if (!Close() || ::rename(path_.c_str(), target_.c_str()) != 0) return false;
    Keep();
    return true;
}

void ReceiveFile::Keep() {
    kept_ = true;
    TrackUnfinished("");
}

bool ReceiveFile::Attach(int fd) {
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        ::close(fd);
        return false;
    }
    // A null buffer would let the C library pick its own small size.
    buffer_ = std::make_unique<char[]>(kFileBuffer);
    std::setvbuf(file_, buffer_.get(), _IOFBF, kFileBuffer);
    return true;
}

}  // namespace vollum
