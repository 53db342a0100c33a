#include "config/TIniFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>

#include "common/Errors.h"

namespace vollum {

namespace {

// nullopt when the file cannot be opened (missing, a directory, unreadable).
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

// Held for one read-modify-write. The lock lives on a file of its own because
// the rename gives the settings file a new inode with every write.
class WriteLock {
public:
    explicit WriteLock(const std::string& target) {
        const std::string lockPath = target + ".lock";
        fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) fd_ = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) return;
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~WriteLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Writes the complete text beside the target and renames it over the target.
bool ReplaceFile(const std::string& target, const std::string& text, const struct stat* old) {
    std::string tmp = target + ".XXXXXX";
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    // The file holds passwords: a new one is for its owner only; a rewritten one
    // keeps the permissions it had, and its owner where we may set it (a courtesy:
    // failing that is no failure of the write).
    bool ok = ::fchmod(fd, old ? (old->st_mode & 07777) : 0600) == 0;
    if (ok && old && ::geteuid() == 0 && ::fchown(fd, old->st_uid, old->st_gid) != 0) {
    }
    ok = ok && WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tmp.data(), target.c_str()) == 0;
    if (!ok) ::unlink(tmp.data());
    return ok;
}

// Runs one read-modify-write of the file under the write lock. The edit returns
// false when it changed nothing, which saves the rewrite.
void Rewrite(const std::string& fileName, const std::function<bool(IniDocument&)>& edit) {
    const std::string target = ResolveLink(fileName);
    WriteLock lock(target);
    if (!lock.Held()) throw EIniWriteError(fileName);

    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    std::string text;
    if (exists) {
        // Renaming over a file the user made read-only would defeat the point of it.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) throw EIniWriteError(fileName);
        auto current = ReadWholeFile(target);
        // Rewriting from a file we cannot read would throw its content away.
        if (!current) throw EIniWriteError(fileName);
        text = std::move(*current);
    }
    IniDocument doc(text);
    if (!edit(doc)) return;
    if (!ReplaceFile(target, doc.Text(), exists ? &st : nullptr)) throw EIniWriteError(fileName);
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

IniDocument TIniFile::Snapshot() const { return IniDocument(ReadWholeFile(fileName_).value_or("")); }

std::optional<std::string> TIniFile::ReadValue(const std::string& section, const std::string& key) const {
    return Snapshot().Value(section, key);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    return ReadValue(section, key).value_or(defaultValue);
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int defaultValue) const {
    auto v = ReadValue(section, key);
    return v ? IniInteger(*v, defaultValue) : defaultValue;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    Rewrite(fileName_, [&](IniDocument& doc) {
        doc.Set(section, key, value);
        return true;
    });
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::EraseSection(const std::string& section) {
    // Erasing what is not there is no write, so it cannot fail (a missing file
    // in a directory we may not write to included).
    if (IniDocument probe = Snapshot(); !probe.EraseSection(section)) return;
    Rewrite(fileName_, [&](IniDocument& doc) { return doc.EraseSection(section); });
}

}  // namespace vollum
