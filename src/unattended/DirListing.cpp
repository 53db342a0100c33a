#include "unattended/DirListing.h"

#include <filesystem>
#include <system_error>

#include "common/Helpers.h"

namespace vollum {

bool ListDirectory(const std::string& dir, std::vector<DirEntry>& entries) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) return false;
    const std::string prefix = AddBackslash(dir);
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) return false;
        const std::string name = it->path().filename().native();
        entries.push_back({name, KindOf(prefix + name)});
    }
    return !ec;
}

bool AnyPatternEntry(const std::string& pattern,
                     const std::function<bool(const std::string& dir, const DirEntry& entry)>& keep) {
    const auto sep = pattern.rfind(kPathSep);
    const std::string dir = sep == std::string::npos ? std::string(".") : pattern.substr(0, sep + 1);
    const std::string mask = sep == std::string::npos ? pattern : pattern.substr(sep + 1);
    // "*.*" stands for every name, also one without a dot.
    const bool everything = mask.empty() || mask == "*.*";
    std::vector<DirEntry> entries;
    ListDirectory(dir, entries);
    for (const auto& e : entries)
        if ((everything || WildcardMatch(mask, e.name)) && keep(dir, e)) return true;
    return false;
}

bool PatternHasEntries(const std::string& pattern) {
    return AnyPatternEntry(pattern, [](const std::string&, const DirEntry& e) { return e.name[0] != '.'; });
}

}  // namespace vollum
