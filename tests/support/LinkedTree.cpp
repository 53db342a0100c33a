#include "support/LinkedTree.h"

#include <sys/stat.h>

#include <filesystem>

#include "support/TempDir.h"

namespace vollum::test {

namespace fs = std::filesystem;

const std::vector<TreeLink>& TreeLinks() {
    static const std::vector<TreeLink> links = {
        {"in-link", "plain.txt", true, true},
        {"in-chain", "sub/up-in", true, true},
        {"in-detour", "sub/../plain.txt", true, true},
        {"sub/up-in", "../plain.txt", true, true},
        {"out-abs", "@/secret.txt", false, true},
        {"hop", "@/secret.txt", false, true},
        {"out-chain", "hop", false, true},
        {"sub/out-dotdot", "~/secret.txt", false, true},
        {"out-dir", "@/private", false, false},
    };
    return links;
}

void MakeLinkedTree(const std::string& root, const std::string& outside) {
    PutFile(root + "/plain.txt", "plain");
    // Read-only, so a spool run keeps it (and the links to it stay whole) once sent.
    ::chmod((root + "/plain.txt").c_str(), 0444);
    PutFile(root + "/sub/file.txt", "in sub");
    PutFile(outside + "/secret.txt", "nobody put this in");
    ::chmod((outside + "/secret.txt").c_str(), 0600);
    PutFile(outside + "/private/more.txt", "nor this");
    for (const TreeLink& l : TreeLinks()) {
        const fs::path link = root + "/" + l.path;
        std::string target = l.target;
        if (target[0] == '@') target = outside + target.substr(1);
        if (target[0] == '~')
            target = fs::path(outside).lexically_relative(link.parent_path()).native() + target.substr(1);
        fs::create_symlink(target, link);
    }
}

}  // namespace vollum::test
