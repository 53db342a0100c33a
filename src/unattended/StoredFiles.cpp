#include "unattended/StoredFiles.h"

namespace vollum {

void StoredFiles::Add(const std::string& path, const FileIdentity& identity) { files_.insert({path, identity}); }

void StoredFiles::Forget(const std::string& path) {
    std::erase_if(files_, [&path](const auto& file) { return file.first == path; });
}

bool StoredFiles::Holds(const std::string& path) const {
    FileIdentity now;
    return ReadIdentity(path, now) && files_.count({path, now}) != 0;
}

}  // namespace vollum
