#pragma once
// Small path and text helpers shared by both programs.
#include <string>

namespace vollum {

constexpr char kPathSep = '/';

// True when the path names a directory; a failed query also yields true, as
// the attribute query it stands for returned all bits set on failure.
bool IsDirectory(const std::string& path);
// A directory that is not reached through a symbolic link (tree walks use it
// so that a link never leads them out of the tree or round in a loop).
bool IsRealDirectory(const std::string& path);
// A-Z become a-z; every other byte is unchanged.
std::string LowerCaseName(const std::string& text);
// An entry (of any kind) exists at that path.
bool LocalFileExists(const std::string& path);
// Appends the path separator unless the text already ends with one.
std::string AddBackslash(const std::string& path);
// "7" -> "07".
std::string TwoDigits(long value);
// Last path component ("a/b/c" -> "c", "a/b/" -> "b").
std::string LastPathComponent(const std::string& path);
// Directory part without trailing separator, "/" for the root, "" when none.
std::string DirectoryPart(const std::string& path);

}  // namespace vollum
