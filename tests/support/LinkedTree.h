#pragma once
// A directory tree holding symbolic links that stay inside it and links that
// lead out of it (absolute, relative with "..", chains, to a directory, in a
// subdirectory), each with what a walk confined to the tree must do with it.
#include <string>
#include <vector>

namespace vollum::test {

struct TreeLink {
    std::string path;  // relative to the tree
    // What the link holds; "@" stands for the outside directory, "~" for the
    // way there from the link's directory ("../../..").
    std::string target;
    bool inside;  // the target, links followed, lies inside the tree
    bool toFile;  // the target is a file (a directory link is never sent)
};

// The links LinkedTree makes.
const std::vector<TreeLink>& TreeLinks();

// Fills root with "plain.txt" (read-only), "sub/file.txt" and the links, and outside
// with "secret.txt" (0600) and the directory "private".
void MakeLinkedTree(const std::string& root, const std::string& outside);

}  // namespace vollum::test
