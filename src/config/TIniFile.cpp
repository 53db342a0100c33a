#include "config/TIniFile.h"

#include <functional>

#include "common/Errors.h"
#include "platform/SettingsFile.h"

namespace vollum {

namespace {

// The edit returns false when it changed nothing, which saves the rewrite.
void Rewrite(const std::string& fileName, const std::function<bool(IniDocument&)>& edit) {
    const bool ok = RewriteLocked(fileName, [&](const std::string& text) -> std::optional<std::string> {
        IniDocument doc(text);
        if (!edit(doc)) return std::nullopt;
        return doc.Text();
    });
    if (!ok) throw EIniWriteError(fileName);
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

IniDocument TIniFile::Snapshot() const { return IniDocument(ReadWholeFile(fileName_).value_or("")); }

std::optional<std::string> TIniFile::ReadValue(const std::string& section, const std::string& key) const {
    return Snapshot().Value(section, key);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    return ReadValue(section, key).value_or(defaultValue);
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int defaultValue) const {
    auto v = ReadValue(section, key);
    return v ? IniInteger(*v, defaultValue) : defaultValue;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    Rewrite(fileName_, [&](IniDocument& doc) {
        doc.Set(section, key, value);
        return true;
    });
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::EraseSection(const std::string& section) {
    // Erasing what is not there is no write, so it cannot fail (a missing file
    // in a directory we may not write to included).
    if (IniDocument probe = Snapshot(); !probe.EraseSection(section)) return;
    Rewrite(fileName_, [&](IniDocument& doc) { return doc.EraseSection(section); });
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
    if (IniDocument probe = Snapshot(); !probe.EraseKey(section, key)) return;
    Rewrite(fileName_, [&](IniDocument& doc) { return doc.EraseKey(section, key); });
}

void TIniFile::RenameSection(const std::string& from, const std::string& to) {
    if (IniDocument probe = Snapshot(); !probe.RenameSection(from, to)) return;
    Rewrite(fileName_, [&](IniDocument& doc) { return doc.RenameSection(from, to); });
}

}  // namespace vollum
