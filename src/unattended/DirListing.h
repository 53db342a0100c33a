#pragma once
// Directory listings for the unattended runs, in the order the file system
// returns the entries. Names are bytes and pass unchanged; each entry comes
// with its kind (KindOf), so that no walk follows a link into a directory.
#include <functional>
#include <string>
#include <vector>

#include "platform/LocalFiles.h"

namespace vollum {

struct DirEntry {
    std::string name;
    EntryKind kind;
};

// False when the directory cannot be listed (entries read so far are kept).
// "." and ".." are never returned.
bool ListDirectory(const std::string& dir, std::vector<DirEntry>& entries);

// True when listing the pattern (a directory, a separator and a wildcard
// such as "*.*", which matches every name) yields at least one entry whose
// name does not begin with "."; false also when the directory does not exist.
bool PatternHasEntries(const std::string& pattern);

// True when an entry of the pattern's directory whose name matches its mask
// passes keep(dir, entry); dir ends in the separator.
bool AnyPatternEntry(const std::string& pattern,
                     const std::function<bool(const std::string& dir, const DirEntry& entry)>& keep);

}  // namespace vollum
