#include "unattended/StoredFiles.h"

namespace vollum {

void StoredFiles::Add(const std::string& path, const FileIdentity& identity) { files_.insert({path, identity}); }

bool StoredFiles::Holds(const std::string& path) const {
    FileIdentity now;
    return ReadIdentity(path, now) && files_.count({path, now}) != 0;
}

}  // namespace vollum
