// POSIX file operations.
#include "platform/LocalFiles.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace vollum {

EntryKind KindOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return EntryKind::Dangling;
    if (S_ISDIR(st.st_mode)) return EntryKind::Directory;
    if (S_ISREG(st.st_mode)) return EntryKind::File;
    if (!S_ISLNK(st.st_mode)) return EntryKind::Special;
    if (::stat(path.c_str(), &st) != 0) return EntryKind::Dangling;
    if (S_ISDIR(st.st_mode)) return EntryKind::LinkToDirectory;
    return S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Special;
}

bool IsDirectory(const std::string& path) {
    std::string p = path;
    if (p.size() > 1 && p.back() == '/') p.pop_back();
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRealDirectory(const std::string& path) {
    std::string p = path;
    if (p.size() > 1 && p.back() == '/') p.pop_back();
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool LocalFileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

std::FILE* OpenPrivateForAppend(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "ab");
    if (f == nullptr) {
        const int err = errno;
        ::close(fd);
        errno = err;
    }
    return f;
}

std::string KeepBothName(const std::string& path) {
    constexpr int kMostCopies = 9999;
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // A leading dot starts a hidden name, not an extension.
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= nameStart) dot = path.size();
    const std::string stem = path.substr(0, dot);
    const std::string extension = path.substr(dot);
    for (int n = 1; n <= kMostCopies; ++n) {
        std::string candidate = stem + " (" + std::to_string(n) + ")" + extension;
        if (!LocalFileExists(candidate)) return candidate;
    }
    return "";
}

bool IsSymbolicLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

namespace {

void FillIdentity(const struct stat& st, FileIdentity& identity) {
    identity.device = static_cast<uint64_t>(st.st_dev);
    identity.inode = static_cast<uint64_t>(st.st_ino);
    identity.size = static_cast<int64_t>(st.st_size);
    identity.mtimeSec = static_cast<int64_t>(st.st_mtim.tv_sec);
    identity.mtimeNsec = static_cast<int64_t>(st.st_mtim.tv_nsec);
}

}  // namespace

bool ReadIdentity(const std::string& path, FileIdentity& identity) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    FillIdentity(st, identity);
    return true;
}

bool ReadOpenFileIdentity(int fd, FileIdentity& identity) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) return false;
    FillIdentity(st, identity);
    return true;
}

std::string LinkText(const std::string& path) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string RealPath(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

std::string OpenFilePath(int fd) {
    // The kernel's name for what was opened, whatever path and links led there.
    return LinkText("/proc/self/fd/" + std::to_string(fd));
}

bool PathWithin(const std::string& realPath, const std::string& realRoot) {
    if (realRoot.empty() || realPath.compare(0, realRoot.size(), realRoot) != 0) return false;
    return realPath.size() == realRoot.size() || realRoot.back() == '/' || realPath[realRoot.size()] == '/';
}

EntryStamp StampOf(const std::string& path) {
    struct stat st {};
    EntryStamp stamp;
    if (::lstat(path.c_str(), &st) != 0) return stamp;
    stamp.size = static_cast<int64_t>(st.st_size);
    stamp.modified = std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    return stamp;
}

std::string CurrentDirectory() {
    char buf[PATH_MAX];
    return ::getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

bool ChangeDirectory(const std::string& path) { return ::chdir(path.c_str()) == 0; }

bool EnterRealDirectory(const std::string& path) {
    struct stat before {
    }, inside{};
    if (::lstat(path.c_str(), &before) != 0 || !S_ISDIR(before.st_mode)) return false;
    if (::chdir(path.c_str()) != 0) return false;
    return ::stat(".", &inside) == 0 && inside.st_dev == before.st_dev && inside.st_ino == before.st_ino;
}

bool IsReadOnly(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

bool MakeOwnerWritable(const std::string& path, bool directory) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return false;
    const mode_t add = directory ? S_IRWXU : S_IWUSR;
    return ::chmod(path.c_str(), (st.st_mode & 07777) | add) == 0;
}

bool DeleteFileEntry(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool RemoveEmptyDirectory(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

bool WildcardMatch(const std::string& mask, const std::string& name) {
    return ::fnmatch(mask.c_str(), name.c_str(), FNM_PERIOD) == 0;
}

}  // namespace vollum
