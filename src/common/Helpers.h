#pragma once
// Small path and text helpers shared by both programs; no system calls.
#include <string>

namespace vollum {

constexpr char kPathSep = '/';

// A-Z become a-z; every other byte is unchanged.
std::string LowerCaseName(const std::string& text);
// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// values beyond U+10FFFF): what a server that speaks UTF-8 keeps as it is.
bool ValidUtf8(const std::string& text);
// Appends the path separator unless the text already ends with one.
std::string AddBackslash(const std::string& path);
// "7" -> "07".
std::string TwoDigits(long value);
// Last path component ("a/b/c" -> "c", "a/b/" -> "b").
std::string LastPathComponent(const std::string& path);
// Directory part without trailing separator, "/" for the root, "" when none.
std::string DirectoryPart(const std::string& path);
// The text with control bytes other than tab, CR and LF written as \xHH, for
// a terminal: a name someone else chose cannot then drive it (colours, the
// window title, a cleared screen).
std::string TerminalText(const std::string& text);

}  // namespace vollum
