#include "platform/SettingsFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace vollum {

std::optional<std::string> ReadWholeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string text;
    char buf[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            text.append(buf, static_cast<size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ::close(fd);
            return std::nullopt;
        }
    }
    ::close(fd);
    return text;
}

namespace {

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A link to the settings file stays a link: the new copy replaces its target.
std::string ResolveLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// Held for one read-modify-write. Two locks, always taken in this order:
// "<file>.lock", because the rename gives the settings file a new inode with
// every write, and the settings file itself, because a writer that may not
// create files in the directory has only that one. A writer holds whichever
// it can get, and every writer of an existing file holds the second.
class WriteLock {
public:
    explicit WriteLock(const std::string& target) {
        const std::string lockPath = target + ".lock";
        lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (lockFd_ < 0) lockFd_ = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (lockFd_ >= 0 && !Flock(lockFd_)) Close(lockFd_);
        LockTheFileItself(target);
    }
    ~WriteLock() {
        // Closing releases the locks.
        Close(fileFd_);
        Close(lockFd_);
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    bool Held() const { return lockFd_ >= 0 || fileFd_ >= 0; }
    // The locked settings file, open for writing where we may; -1 when missing.
    int FileFd() const { return fileFd_; }
    bool FileWritable() const { return fileWritable_; }

private:
    static bool Flock(int fd) {
        while (::flock(fd, LOCK_EX) != 0)
            if (errno != EINTR) return false;
        return true;
    }
    static void Close(int& fd) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    // A writer that renamed a new copy in while we waited leaves us holding the
    // lock of a file no longer there: lock the one that is, a bounded number of times.
    void LockTheFileItself(const std::string& target) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            fileFd_ = ::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
            fileWritable_ = fileFd_ >= 0;
            if (fileFd_ < 0) fileFd_ = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
            if (fileFd_ < 0) return;
            struct stat held {
            }, now{};
            if (!Flock(fileFd_) || ::fstat(fileFd_, &held) != 0 || !S_ISREG(held.st_mode)) {
                Close(fileFd_);
                return;
            }
            if (::stat(target.c_str(), &now) == 0 && now.st_dev == held.st_dev && now.st_ino == held.st_ino) return;
            Close(fileFd_);
        }
    }

    int lockFd_ = -1;
    int fileFd_ = -1;
    bool fileWritable_ = false;
};

// "VOLLUM.INI.Ab3xYz": the name mkostemp gives a new copy of the file. A word
// in one case ("VOLLUM.INI.backup") is more likely the user's own copy and is
// left alone, as is a rare random name of that form.
bool IsCopyName(const std::string& name, const std::string& base) {
    if (name.size() != base.size() + 7 || name.compare(0, base.size(), base) != 0 || name[base.size()] != '.')
        return false;
    bool lower = false, upper = false, digit = false;
    for (size_t i = base.size() + 1; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (!std::isalnum(c)) return false;
        lower = lower || std::islower(c);
        upper = upper || std::isupper(c);
        digit = digit || std::isdigit(c);
    }
    return digit || (lower && upper);
}

// A write killed between creating its copy and renaming it leaves a full copy
// of the settings, passwords included. Called under the write lock, so no copy
// is still being written.
void RemoveLeftoverCopies(const std::string& target) {
    const size_t slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return;
    while (const dirent* e = ::readdir(d)) {
        if (!IsCopyName(e->d_name, base)) continue;
        struct stat st {};
        // Only one of ours: a plain file this user made, not a link or a shared file.
        if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_nlink == 1 && st.st_uid == ::geteuid())
            ::unlinkat(::dirfd(d), e->d_name, 0);
    }
    ::closedir(d);
}

// Writes the complete text beside the target and renames it over the target.
// False, with nothing left behind, on failure; dirRefused tells that the
// directory would not take a new file at all.
bool ReplaceFile(const std::string& target, const std::string& text, const struct stat* old, bool& dirRefused) {
    std::string tmp = target + ".XXXXXX";
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);  // 0600: the copy holds passwords
    dirRefused = fd < 0 && (errno == EACCES || errno == EPERM);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    // A new file is for its owner only; a rewritten one keeps the permissions it
    // had, and its owner where we may set it (a courtesy: failing that is no
    // failure of the write). Set only now, so a killed write leaves a private copy.
    ok = ok && ::fchmod(fd, old ? (old->st_mode & 07777) : 0600) == 0;
    if (ok && old && ::geteuid() == 0 && ::fchown(fd, old->st_uid, old->st_gid) != 0) {
    }
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tmp.data(), target.c_str()) == 0;
    if (!ok) ::unlink(tmp.data());
    return ok;
}

// The file is writable but its directory takes no new file: overwrite from the
// start and cut off what is left only after the whole new text is written, so
// the old content stays until the new one is there.
bool RewriteInPlace(int fd, const std::string& text) {
    // Room for a longer text first: a disk that fills up must not stop the
    // write halfway through the old content.
    if (!text.empty() && ::posix_fallocate(fd, 0, static_cast<off_t>(text.size())) != 0) return false;
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return ::ftruncate(fd, static_cast<off_t>(text.size())) == 0 && ::fsync(fd) == 0;
}

}  // namespace

bool RewriteLocked(const std::string& fileName,
                   const std::function<std::optional<std::string>(const std::string&)>& edit) {
    const std::string target = ResolveLink(fileName);
    WriteLock lock(target);
    if (!lock.Held()) return false;
    RemoveLeftoverCopies(target);

    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    std::string text;
    if (exists) {
        // Renaming over a file the user made read-only would defeat the point of it.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return false;
        auto current = ReadWholeFile(target);
        // Rewriting from a file we cannot read would throw its content away.
        if (!current) return false;
        text = std::move(*current);
    }
    const std::optional<std::string> newText = edit(text);
    if (!newText) return true;
    bool dirRefused = false;
    if (ReplaceFile(target, *newText, exists ? &st : nullptr, dirRefused)) return true;
    return dirRefused && exists && lock.FileWritable() && RewriteInPlace(lock.FileFd(), *newText);
}

}  // namespace vollum
