#include "common/Helpers.h"

#include <sys/stat.h>

namespace vollum {

bool IsDirectory(const std::string& path) {
    std::string p = path;
    if (p.size() > 1 && p.back() == kPathSep) p.pop_back();
    struct stat st {};
    // A path that cannot be queried is not a directory here: treating it as one
    // would create remote directories for paths that do not exist.
    if (::stat(p.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode);
}

bool IsRealDirectory(const std::string& path) {
    std::string p = path;
    if (p.size() > 1 && p.back() == kPathSep) p.pop_back();
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string LowerCaseName(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool LocalFileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

std::string AddBackslash(const std::string& path) {
    if (!path.empty() && path.back() == kPathSep) return path;
    return path + kPathSep;
}

std::string TwoDigits(long value) {
    std::string s = std::to_string(value);
    return s.size() == 1 ? "0" + s : s;
}

std::string LastPathComponent(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == kPathSep) p.pop_back();
    const auto pos = p.rfind(kPathSep);
    return pos == std::string::npos ? p : p.substr(pos + 1);
}

std::string DirectoryPart(const std::string& path) {
    const auto pos = path.rfind(kPathSep);
    if (pos == std::string::npos) return "";
    if (pos == 0) return "/";
    return path.substr(0, pos);
}

}  // namespace vollum
