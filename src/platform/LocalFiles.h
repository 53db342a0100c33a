#pragma once
// Local file operations by path, for the engine, the runs and the companion. Links are
// told apart from what they point to, so that no walk follows one into a
// directory and no removal touches a link's target.
#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>

namespace vollum {

enum class EntryKind {
    Directory,  // a real directory (not reached through a link)
    File,       // a regular file, or a link to one (read as that file's content)
    LinkToDirectory,
    Dangling,  // a link to nothing, or an entry that vanished
    Special,   // fifo, socket or device (or a link to one): never read
};

EntryKind KindOf(const std::string& path);
// True when the path names a directory (a link to one included). A path
// that cannot be queried is none: treating it as one would create remote
// directories for paths that do not exist.
bool IsDirectory(const std::string& path);
// A directory that is not reached through a symbolic link.
bool IsRealDirectory(const std::string& path);
// An entry (of any kind) exists at that path.
bool LocalFileExists(const std::string& path);
bool IsSymbolicLink(const std::string& path);
// The next free "name (N).ext" beside path, N counting from 1: "d/a.txt" ->
// "d/a (1).txt", ".profile" -> ".profile (1)", "a.tar.gz" -> "a.tar (1).gz".
// Empty when every N up to 9999 is taken.
std::string KeepBothName(const std::string& path);
// Opens a file for appending; one that does not exist yet is created
// readable and writable by the owner only. nullptr (errno set) on failure.
std::FILE* OpenPrivateForAppend(const std::string& path);

// What a file was when it was stored: same inode, size and modification time
// means the same, unchanged file.
struct FileIdentity {
    uint64_t device = 0, inode = 0;
    int64_t size = 0;
    int64_t mtimeSec = 0, mtimeNsec = 0;
    auto Key() const { return std::tie(device, inode, size, mtimeSec, mtimeNsec); }
    bool operator==(const FileIdentity& o) const { return Key() == o.Key(); }
    bool operator<(const FileIdentity& o) const { return Key() < o.Key(); }
};
// The identity of the file the path reads (a link is followed to its file).
bool ReadIdentity(const std::string& path, FileIdentity& identity);
// The identity of an open file; false also for a directory.
bool ReadOpenFileIdentity(int fd, FileIdentity& identity);
// What a symbolic link holds (readlink); empty when it is none or cannot be read.
std::string LinkText(const std::string& path);
// The absolute path with every link (chains too), "." and ".." resolved; empty
// when some part of it does not exist.
std::string RealPath(const std::string& path);
// The real path of the file an open descriptor reads; empty when it cannot be told.
std::string OpenFilePath(int fd);
// True when the real path lies inside the real directory root (or is root).
bool PathWithin(const std::string& realPath, const std::string& realRoot);
// The size of the entry itself (a link is not followed) and its modification
// time as "seconds.nanoseconds"; 0 and "0.0" when it cannot be read.
struct EntryStamp {
    int64_t size = 0;
    std::string modified = "0.0";
};
EntryStamp StampOf(const std::string& path);

std::string CurrentDirectory();  // empty when it cannot be told
bool ChangeDirectory(const std::string& path);
// Enters path only when it is a real directory, and reports success only when
// the directory entered is the one looked at (not one swapped in meanwhile).
bool EnterRealDirectory(const std::string& path);

// The read-only attribute: the owner's write permission. A link has none of its own.
bool IsReadOnly(const std::string& path);
// Clears read-only: owner write for a file; owner read, write and search for a
// directory, so that it can be emptied. Never applied through a link.
bool MakeOwnerWritable(const std::string& path, bool directory);
bool DeleteFileEntry(const std::string& path);  // a link itself, never its target
bool RemoveEmptyDirectory(const std::string& path);

// Shell-style wildcard match of one name ("*", "?", "[...]"); a leading "."
// is matched only by a "." in the mask.
bool WildcardMatch(const std::string& mask, const std::string& name);

}  // namespace vollum
