#pragma once
// The spool's record of what went to the server. A spool file may be deleted
// only when it was stored completely and is still the file that was stored:
// same inode, size and modification time as when its store began. A file
// written to while it was sent, replaced, or added after the walk passed its
// directory is kept for the next run.
#include <set>
#include <string>

#include "platform/LocalFiles.h"

namespace vollum {

class StoredFiles {
public:
    void Add(const std::string& path, const FileIdentity& identity);
    // The file at path is the one recorded as stored under that path.
    bool Holds(const std::string& path) const;
    // The file at path is no longer deleted as stored.
    void Forget(const std::string& path);
    bool Empty() const { return files_.empty(); }

private:
    std::set<std::pair<std::string, FileIdentity>> files_;
};

}  // namespace vollum
