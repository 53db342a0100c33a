#include "config/StartupReading.h"

#include <algorithm>

#include "common/Convert.h"
#include "common/Errors.h"
#include "common/Helpers.h"
#include "platform/LocalFiles.h"
#include "platform/SystemDefaults.h"

namespace vollum {

ArrangementChoice ChooseArrangement(const TIniFile& ini, int argumentCount) {
    const bool fixed = ini.ReadBool("Fixed", "OK", true);
    if (fixed && argumentCount > 0) return {WindowArrangement::Drop, true};
    if (fixed && ini.ReadBool("SpoolBay", "Executed", false)) return {WindowArrangement::Spool, true};
    return {WindowArrangement::Interactive, false};
}

std::string TypeCommandFor(int transferTypeCode) {
    switch (transferTypeCode) {
        case 1: return "TYPE A";
        case 2: return "TYPE I";
        case 3: return "TYPE E";
        default: return "";
    }
}

std::string ProfileKeyProblem(const std::string& key, const std::string& profile, const std::string& iniPath) {
    return key + " of profile \"" + profile + "\" in " + iniPath + " is empty or not a number";
}

std::string NoProfileProblem(const std::string& profile, const std::string& iniPath) {
    const std::string what = profile.empty() ? "No server profile is" : "The server profile \"" + profile + "\" is not";
    return what + " set up in " + iniPath + ": add one with File > Setup";
}

int ProfileInteger(const TIniFile& ini, const std::string& profile, const std::string& key) {
    const std::string text = ini.ReadString(profile, key, "");
    if (const auto value = TryStrToInt(text)) return *value;
    throw EConvertError(text, ProfileKeyProblem(key, profile, ini.FileName()));
}

void ReadStartupValues(const std::string& programDir, UserPrompts& prompts, StartupValues& values,
                       bool profileRequired) {
    values.ProgramDir = AddBackslash(programDir);
    TIniFile ini(values.ProgramDir + "VOLLUM.INI");

    values.DirSep = ini.ReadString("options", "DirSep", "");
    values.ViewSep = ini.ReadString("options", "ViewSep", "");
    values.Editor = ini.ReadString("options", "Editor", "");
    values.ShowRemoteFiles = ini.ReadBool("options", "ShowRemoteFiles", true);

    values.ProfileName = ini.ReadString("LastUsed", "NAME", "");
    const std::string& profile = values.ProfileName;

    values.Localdir = ini.ReadString(profile, "Localdir", "");
    values.HostName = ini.ReadString(profile, "HostName", "");
    values.UserName = ini.ReadString(profile, "UserName", "");
    values.Password = ini.ReadString(profile, "Password", "");
    values.Account = ini.ReadString(profile, "Account", "");
    values.PasswordStore = PasswordStoreOf(ini.ReadString(profile, "PasswordStore", ""));
    values.Directory = ini.ReadString(profile, "Directory", "");
    values.Port = ini.ReadString(profile, "Port", "");
    values.IncludeDirs = ini.ReadBool(profile, "IncludeDirs", false);
    values.IncludeSubDirs = ini.ReadBool(profile, "IncludeSubDirs", false);
    values.UseLowerCase = ini.ReadBool(profile, "UseLowerCase", false);
    values.InitializeCommand = ini.ReadString(profile, "InitializeCommand", "");
    values.TransferTypeCode = ini.ReadInteger(profile, "TransferType", 0);

    // The time-outs have no default: a profile without them stops the reading
    // here. No profile at all is a first start, which Setup is there for.
    values.ProfileUsable = !profile.empty() && !ini.Snapshot().Keys(profile).empty();
    // A run with nothing set up says so rather than blame a key of no profile.
    if (!values.ProfileUsable && profileRequired)
        throw EConvertError(ini.ReadString(profile, "FtpTimeOut", ""), NoProfileProblem(profile, ini.FileName()));
    if (values.ProfileUsable || profileRequired) {
        values.FtpTimeOut = ProfileInteger(ini, profile, "FtpTimeOut");
        values.ConnectionTimeOut = ProfileInteger(ini, profile, "ConnectionTimeOut");
    }

    values.DisplayError = ini.ReadBool(profile, "DisplayError", false);
    values.SpoolRequested = ini.ReadBool("SpoolBay", "Executed", false);
    values.UseLogFile = ini.ReadBool(profile, "UseLogFile", true);
    values.PassiveMode = ini.ReadBool(profile, "PassiveMode", false);
    values.DataFromAnyAddress = ini.ReadBool(profile, "DataFromAnyAddress", false);
    values.UseTLS = ini.ReadBool(profile, "UseTLS", false);
    values.TLSFingerprint = ini.ReadString(profile, "TLSFingerprint", "");
    values.Connections = std::clamp(ini.ReadInteger(profile, "Connections", 1), 1, kMostConnections);
    values.TempUpload = ini.ReadBool(profile, "TempUpload", false);

    if (!values.Localdir.empty() && !ChangeDirectory(values.Localdir)) prompts.Warning("Cannot find directory");

    values.ServerConfigured = ini.ReadBool("Fixed", "OK", true);

    if (values.DirSep.empty() && values.ViewSep.empty() && values.Editor.empty()) {
        values.DirSep = "0";
        values.ViewSep = "1";
        values.Editor = DefaultEditor();
        ini.WriteString("options", "DirSep", values.DirSep);
        ini.WriteString("options", "ViewSep", values.ViewSep);
        ini.WriteString("options", "Editor", values.Editor);
    }

    values.TypeCommand = TypeCommandFor(values.TransferTypeCode);
}

}  // namespace vollum
