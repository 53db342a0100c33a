#include "platform/SystemDefaults.h"

#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#endif

namespace vollum {

#ifdef _WIN32
std::string NativeLineEnd() { return "\r\n"; }
std::string DefaultEditor() { return "NOTEPAD.EXE"; }
std::string ExecutablePath() { return {}; }
bool DirectoryWritable(const std::string&) { return true; }
bool MakePrivateDirectory(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return std::filesystem::is_directory(dir, ec);
}
std::string PrivateFolderProblem(const std::string&, const std::string&) { return {}; }
#else
std::string NativeLineEnd() { return "\n"; }
std::string DefaultEditor() { return "xdg-open"; }
std::string ExecutablePath() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}
bool DirectoryWritable(const std::string& dir) { return ::access(dir.c_str(), W_OK | X_OK) == 0; }
bool MakePrivateDirectory(const std::string& dir) {
    std::string name = dir;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    std::error_code ec;
    const std::filesystem::path path(name);
    if (std::filesystem::is_directory(path, ec)) return true;
    // The folders above keep the usual mode; only our own is private.
    std::filesystem::create_directories(path.parent_path(), ec);
    if (::mkdir(name.c_str(), 0700) == 0) return true;
    return std::filesystem::is_directory(path, ec);
}
std::string PrivateFolderProblem(const std::string& dir, const std::string& fileName) {
    std::string name = dir;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    // As ssh with its folder: whoever else may change what is read there may
    // change where uploads go and what is deleted.
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0) return {};
    if (S_ISLNK(st.st_mode)) return name + " is a symbolic link";
    if (st.st_uid != ::geteuid()) return name + " belongs to another user";
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return name + " is writable by group or others";
    const std::string file = name + "/" + fileName;
    if (::lstat(file.c_str(), &st) != 0) return {};
    if (S_ISLNK(st.st_mode)) return file + " is a symbolic link";
    if (st.st_uid != ::geteuid()) return file + " belongs to another user";
    if ((st.st_mode & S_IWOTH) != 0) return file + " is writable by others";
    return {};
}
#endif

}  // namespace vollum
