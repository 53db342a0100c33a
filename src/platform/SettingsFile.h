#pragma once
// Reading and safely rewriting a settings file shared by two programs: a
// write replaces the file by renaming a complete new copy over it (so a
// reader sees the old or the new file, never half of one), or, where the
// directory takes no new file, rewrites a writable file in place. Writers
// hold advisory locks ("<file>.lock" and the file itself) for the whole
// read-modify-write. A link to the file stays a link: its target is replaced.
#include <functional>
#include <optional>
#include <string>

namespace vollum {

// nullopt when the file cannot be opened (missing, a directory, unreadable).
std::optional<std::string> ReadWholeFile(const std::string& path);

// One locked read-modify-write. edit gets the current text ("" for a missing
// file) and returns the new text, or nullopt when nothing changed (no write).
// False when the file could not be locked, read or written; nothing is left
// behind then and the file is as it was.
bool RewriteLocked(const std::string& fileName,
                   const std::function<std::optional<std::string>(const std::string&)>& edit);

}  // namespace vollum
