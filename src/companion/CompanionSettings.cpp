#include "companion/CompanionSettings.h"

#include "config/TIniFile.h"

namespace vollum {

namespace {
const char* const kSection = "Options";
}

std::string UpperCaseName(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

CompanionSettings ReadCompanionSettings(const std::string& iniPath, const std::string& defaultSubstDir,
                                        const std::string& defaultVollumDir) {
    // One read of the file, so the five values belong together.
    const TIniFile ini(iniPath);
    const IniDocument doc = ini.Snapshot();
    auto text = [&doc](const char* key, const std::string& fallback) {
        return doc.Value(kSection, key).value_or(fallback);
    };
    CompanionSettings s;
    s.SubstDir = text("SubstDir", defaultSubstDir);
    s.VollumDir = text("VollumDir", defaultVollumDir);
    s.SubstDrive = UpperCaseName(text("SubstDrive", ""));
    s.DirInterval = UpperCaseName(text("DirInterval", ""));
    s.StartWithWindows = IniInteger(text("StartWithWindows", "0"), 0) != 0;
    s.SettleMs = text("SettleMs", CompanionSettings().SettleMs);
    return s;
}

void WriteCompanionSettings(const std::string& iniPath, const CompanionSettings& s) {
    TIniFile ini(iniPath);
    ini.WriteString(kSection, "SubstDir", s.SubstDir);
    ini.WriteString(kSection, "VollumDir", s.VollumDir);
    ini.WriteString(kSection, "SubstDrive", s.SubstDrive);
    ini.WriteString(kSection, "DirInterval", s.DirInterval);
    ini.WriteBool(kSection, "StartWithWindows", s.StartWithWindows);
    ini.WriteString(kSection, "SettleMs", s.SettleMs);
}

}  // namespace vollum
