#pragma once
// Names a server may take for one file. A server that ignores case, turns
// text into one Unicode form or drops trailing dots and spaces stores a.txt
// over A.txt; both would pass their own checks after the store, and deleting
// both local files would lose one of them. Such names are found before the
// first delete; the run's end decides on them by the server's own listing.
#include <set>
#include <string>
#include <vector>

namespace vollum {

// The form under which such servers compare a name: case-folded NFKC text
// (Latin-1 for bytes that are not UTF-8), without trailing dots and spaces.
std::string FoldedName(const std::string& name);

class SharedNames {
public:
    struct Claim {
        std::vector<std::string> remotePath;  // folders from the run's start, then the name
        std::string localPath;
        std::string spoolTop;  // the top spool folder it lies in; empty at the top
    };

    void Clear() { claims_.clear(); }
    void Note(Claim claim) { claims_.push_back(std::move(claim)); }
    // The claims whose remote paths fold alike, two or more to a group, in
    // the order they were noted; none are left behind.
    std::vector<std::vector<Claim>> TakeGroups();

    // Of the names of one folder, those that fold alike with another of them.
    static std::set<std::string> Sharing(const std::vector<std::string>& names);

private:
    std::vector<Claim> claims_;
};

}  // namespace vollum
