#pragma once
// The access layer of the settings files (VOLLUM.INI, SPOOLBAY.INI). Every call
// reads or rewrites the file itself; nothing is cached, so a value written by
// the other program is seen by our next read.
//
// Two programs share VOLLUM.INI. A write replaces the file by renaming a complete
// new copy over it, so a reader sees the old or the new file and never a half
// of one; where the directory takes no new file, a writable file is rewritten
// in place instead. Writers take advisory locks ("<file>.lock" and the file
// itself) for their read-modify-write, so two writers of different keys never
// lose either write. Readers take no lock.
#include <optional>
#include <string>

#include "config/IniDocument.h"

namespace vollum {

class TIniFile {
public:
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    // nullopt when the file, the section or the key is missing; an empty value is "".
    std::optional<std::string> ReadValue(const std::string& section, const std::string& key) const;
    // A missing key gives the default; a key present with an empty value gives "".
    std::string ReadString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
    int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
    // Read as an integer with default 1 or 0; non-zero is true.
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

    // Writes raise EIniWriteError("Unable to write to <file>") when the system refuses.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteBool(const std::string& section, const std::string& key, bool value);
    void EraseSection(const std::string& section);
    // Removes the key (every copy of it in the section); a key that is not there is no write.
    void DeleteKey(const std::string& section, const std::string& key);
    // One rewrite: the section's lines go under the new name.
    void RenameSection(const std::string& from, const std::string& to);

    // One read of the whole file, for callers that look up many keys as one step.
    IniDocument Snapshot() const;

private:
    std::string fileName_;
};

}  // namespace vollum
