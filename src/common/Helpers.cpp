#include "common/Helpers.h"

namespace vollum {

std::string LowerCaseName(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
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
