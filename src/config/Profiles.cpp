#include "config/Profiles.h"

#include <map>
#include <optional>

#include "common/Convert.h"
#include "common/Helpers.h"

namespace vollum {

namespace {

const char* const kIndex = "index";
const char* const kNext = "next";

// Slot number of a key that names one: "Profile" + decimal without leading zeros.
std::optional<long long> SlotOfKey(const std::string& key) {
    const std::string prefix = "profile";
    if (key.size() <= prefix.size() || key.size() > prefix.size() + 10) return std::nullopt;
    for (size_t i = 0; i < prefix.size(); ++i)
        if ((key[i] | 0x20) != prefix[i]) return std::nullopt;
    const std::string digits = key.substr(prefix.size());
    if (digits.size() > 1 && digits[0] == '0') return std::nullopt;
    long long n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

// The slots 0..last present in the index, from one read of the file. Taking them
// from the section's keys, rather than looking up every number up to next,
// keeps a damaged next of two thousand million from reading the file that often.
std::map<long long, std::string> ReadSlots(const IniDocument& doc, long long last) {
    std::map<long long, std::string> slots;
    for (const auto& [key, value] : doc.Keys(kIndex)) {
        auto slot = SlotOfKey(key);
        if (slot && *slot <= last) slots.emplace(*slot, value);
    }
    return slots;
}

std::string SlotKeyText(long long slot) { return "Profile" + std::to_string(slot); }

// [index] next; when missing (or empty) "0" is written and used.
long long NextSlotCreatingIndex(TIniFile& ini) {
    const std::string next = ini.ReadString(kIndex, kNext, "");
    if (next.empty()) {
        ini.WriteString(kIndex, kNext, "0");
        return 0;
    }
    return StrToInt(next);
}

bool FlagOf(const IniDocument& doc, const std::string& section, const char* key, bool fallback) {
    auto v = doc.Value(section, key);
    return (v ? IniInteger(*v, fallback ? 1 : 0) : (fallback ? 1 : 0)) != 0;
}

}  // namespace

std::string ProfileSlotKey(int slot) { return SlotKeyText(slot); }

std::vector<std::string> ListProfiles(TIniFile& ini) {
    const long long last = NextSlotCreatingIndex(ini);
    std::vector<std::string> names;
    for (const auto& [slot, name] : ReadSlots(ini.Snapshot(), last))
        if (!name.empty()) names.push_back(name);
    return names;
}

ProfileValues ReadProfileKeys(const TIniFile& ini, const std::string& name, const ProfileValues& defaults) {
    const IniDocument doc = ini.Snapshot();
    auto text = [&](const char* key, const std::string& fallback) { return doc.Value(name, key).value_or(fallback); };
    ProfileValues v;
    v.HostName = text("HostName", defaults.HostName);
    v.UserName = text("UserName", defaults.UserName);
    v.Password = text("Password", defaults.Password);
    v.Account = text("Account", defaults.Account);
    v.Directory = text("Directory", defaults.Directory);
    v.Port = text("Port", defaults.Port);
    v.Localdir = text("Localdir", defaults.Localdir);
    v.Anonymous = FlagOf(doc, name, "Anonymous", defaults.Anonymous);
    v.AutoSave = FlagOf(doc, name, "AutoSave", defaults.AutoSave);
    v.UseLogFile = FlagOf(doc, name, "UseLogFile", defaults.UseLogFile);
    v.PassiveMode = FlagOf(doc, name, "PassiveMode", defaults.PassiveMode);
    v.UseTLS = FlagOf(doc, name, "UseTLS", defaults.UseTLS);
    v.TLSFingerprint = text("TLSFingerprint", defaults.TLSFingerprint);
    v.TempUpload = FlagOf(doc, name, "TempUpload", defaults.TempUpload);
    v.IncludeDirs = FlagOf(doc, name, "IncludeDirs", defaults.IncludeDirs);
    v.IncludeSubDirs = FlagOf(doc, name, "IncludeSubDirs", defaults.IncludeSubDirs);
    v.UseLowerCase = FlagOf(doc, name, "UseLowerCase", defaults.UseLowerCase);
    v.InitializeCommand = text("InitializeCommand", defaults.InitializeCommand);
    v.FtpTimeOut = text("FtpTimeOut", defaults.FtpTimeOut);
    v.ConnectionTimeOut = text("ConnectionTimeOut", defaults.ConnectionTimeOut);
    v.DisplayError = FlagOf(doc, name, "DisplayError", defaults.DisplayError);
    auto type = doc.Value(name, "TransferType");
    v.TransferType = type ? IniInteger(*type, defaults.TransferType) : defaults.TransferType;
    auto store = doc.Value(name, "PasswordStore");
    v.PasswordStore = store ? PasswordStoreOf(*store) : defaults.PasswordStore;
    auto connections = doc.Value(name, "Connections");
    v.Connections = connections ? IniInteger(*connections, defaults.Connections) : defaults.Connections;
    return v;
}

void WriteProfileKeys(TIniFile& ini, const std::string& name, const ProfileValues& v, bool includeTransferType) {
    ini.WriteString(name, "HostName", v.HostName);
    ini.WriteString(name, "UserName", v.UserName);
    if (v.PasswordStore == PasswordStore::File) {
        ini.WriteString(name, "Password", v.Password);
        ini.WriteString(name, "Account", v.Account);
        // A file that never named another place stays as older versions wrote it.
        if (ini.ReadValue(name, "PasswordStore")) ini.WriteString(name, "PasswordStore", "file");
    } else {
        // The place first: a save that stops part-way never leaves the profile
        // saying "file" with the secret gone from it.
        ini.WriteString(name, "PasswordStore", PasswordStoreText(v.PasswordStore));
        ini.DeleteKey(name, "Password");
        ini.DeleteKey(name, "Account");
    }
    ini.WriteString(name, "Directory", v.Directory);
    ini.WriteInteger(name, "Port", StrToInt(v.Port));
    ini.WriteString(name, "Localdir", v.Localdir);
    ini.WriteBool(name, "Anonymous", v.Anonymous);
    ini.WriteBool(name, "AutoSave", v.AutoSave);
    ini.WriteBool(name, "UseLogFile", v.UseLogFile);
    ini.WriteBool(name, "IncludeDirs", v.IncludeDirs);
    ini.WriteBool(name, "IncludeSubDirs", v.IncludeSubDirs);
    ini.WriteBool(name, "UseLowerCase", v.UseLowerCase);
    ini.WriteString(name, "InitializeCommand", v.InitializeCommand);
    ini.WriteString(name, "FtpTimeOut", v.FtpTimeOut);
    ini.WriteString(name, "ConnectionTimeOut", v.ConnectionTimeOut);
    ini.WriteBool(name, "DisplayError", v.DisplayError);
    if (includeTransferType) ini.WriteInteger(name, "TransferType", v.TransferType);
    // After the older keys, so that their order in existing files stays.
    ini.WriteBool(name, "PassiveMode", v.PassiveMode);
    ini.WriteBool(name, "UseTLS", v.UseTLS);
    ini.WriteString(name, "TLSFingerprint", v.TLSFingerprint);
    // Only a profile that uses parallel uploads (or had the key) gets it.
    if (v.Connections != 1 || !ini.ReadString(name, "Connections", "").empty())
        ini.WriteInteger(name, "Connections", v.Connections);
    ini.WriteBool(name, "TempUpload", v.TempUpload);
}

void AddProfile(TIniFile& ini, const std::string& name, const ProfileValues& values) {
    // next is converted before anything is written, so a damaged index stops the
    // Add cleanly instead of leaving a profile under an odd slot key.
    const long long slot = NextSlotCreatingIndex(ini);
    ini.WriteString(kIndex, SlotKeyText(slot), name);
    ini.WriteString("LastUsed", "NAME", name);
    ini.WriteBool("Fixed", "OK", true);
    WriteProfileKeys(ini, name, values);
    ini.WriteString(kIndex, kNext, std::to_string(slot + 1));
}

void ModifyProfile(TIniFile& ini, const std::string& name, const ProfileValues& values) {
    WriteProfileKeys(ini, name, values);
    ini.WriteString("LastUsed", "NAME", name);
}

void AutoSaveProfile(TIniFile& ini, const std::string& name, const ProfileValues& values) {
    WriteProfileKeys(ini, name, values, false);
    ini.WriteBool("Fixed", "OK", true);
    ini.WriteString("LastUsed", "NAME", name);
}

void PinFingerprint(TIniFile& ini, const std::string& profile, const std::string& fingerprintText) {
    ini.WriteString(profile, "TLSFingerprint", fingerprintText);
}

bool RenameProfile(TIniFile& ini, const std::string& from, const std::string& to) {
    // Sections match without regard to case: "office" to "Office" is the same section.
    const bool sameSection = LowerCaseName(from) == LowerCaseName(to);
    if (to.empty() || (!sameSection && ProfileSaved(ini, to))) return false;
    ini.RenameSection(from, to);
    const std::string next = ini.ReadString(kIndex, kNext, "");
    if (!next.empty())
        for (const auto& [slot, value] : ReadSlots(ini.Snapshot(), StrToInt(next)))
            if (value == from) ini.WriteString(kIndex, SlotKeyText(slot), to);
    if (ini.ReadString("LastUsed", "NAME", "") == from) ini.WriteString("LastUsed", "NAME", to);
    return true;
}

std::vector<std::string> SavedProfiles(const TIniFile& ini) {
    const IniDocument doc = ini.Snapshot();
    std::vector<std::string> names;
    auto add = [&](const std::string& name) {
        if (name.empty() || doc.Keys(name).empty()) return;
        for (const std::string& known : names)
            if (LowerCaseName(known) == LowerCaseName(name)) return;
        names.push_back(name);
    };
    const auto next = doc.Value(kIndex, kNext);
    if (const auto last = next ? TryStrToInt(*next) : std::nullopt)
        for (const auto& [slot, name] : ReadSlots(doc, *last)) add(name);
    add(doc.Value("LastUsed", "NAME").value_or(""));
    // A profile saved but never listed still holds its password here.
    for (const std::string& section : doc.SectionNames())
        if (doc.Value(section, "Password") || doc.Value(section, "Account")) add(section);
    return names;
}

bool ProfileSaved(const TIniFile& ini, const std::string& profile) {
    return !profile.empty() && !ini.Snapshot().Keys(profile).empty();
}

bool DeleteProfile(TIniFile& ini, const std::string& name) {
    ini.EraseSection(name);
    const std::string next = ini.ReadString(kIndex, kNext, "");
    if (next.empty()) return false;
    const long long last = StrToInt(next);

    // The first slot 0..next whose value is the name; a slot that is not there
    // reads as empty, so an empty name matches the first free or deleted slot.
    const auto slots = ReadSlots(ini.Snapshot(), last);
    std::optional<long long> found;
    if (name.empty()) {
        long long k = 0;
        for (auto it = slots.begin(); it != slots.end() && it->first == k && !it->second.empty(); ++it) ++k;
        if (k <= last) found = k;
    } else {
        for (const auto& [slot, value] : slots)
            if (value == name) {
                found = slot;
                break;
            }
    }

    if (found) {
        const std::string previous = *found == 0 ? "" : ini.ReadString(kIndex, SlotKeyText(*found - 1), "");
        ini.WriteString("LastUsed", "NAME", previous);
        ini.WriteString(kIndex, SlotKeyText(*found), "");
    } else {
        ini.WriteString("LastUsed", "NAME", "");
        ini.WriteString(kIndex, SlotKeyText(last + 1), "");
    }
    return true;
}

}  // namespace vollum
