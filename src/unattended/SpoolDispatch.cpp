// The unattended dispatch at the end of the main window's creation.
#include "common/Helpers.h"
#include "common/UserPrompts.h"
#include "config/TIniFile.h"
#include "ftp/TFtpSession.h"
#include "platform/SpoolLock.h"
#include "unattended/DirListing.h"
#include "unattended/TUnattended.h"

namespace vollum {

void TUnattended::Dispatch() {
    const StartupValues& v = s_.Settings;
    // The probe looks where the first argument lies; without one, at the root.
    const std::string D = Arguments.empty() ? std::string() : DirectoryPart(Arguments.front());
    const std::string pattern = D.empty() ? std::string(1, kPathSep) + "*.*" : AddBackslash(D) + "*.*";

    if (v.SpoolRequested && PatternHasEntries(pattern)) {
        // Held to the end of the run, the key written and the directories removed.
        SpoolLock lock(SpoolDirectory());
        if (lock.Busy()) {
            SpoolBusy = true;
            s_.LogLine("Spool in use by another run");
            s_.Prompts.Notice("Another Vollum is sending the spool files; this run leaves them to it");
            if (Arguments.empty()) RequestEnd();
        } else {
            if (HideMainWindow) HideMainWindow();
            SendSpoolFiles(v.Port, v.HostName, v.UserName, v.Password);
            s_.LogLine("Finished sending files");
            if (!KeepSpoolKey) TIniFile(v.ProgramDir + "VOLLUM.INI").WriteString("SpoolBay", "Executed", "0");
            RemoveStoredSpoolDirectories();
        }
    }
    if (!Arguments.empty() && !v.ServerConfigured)
        s_.Prompts.Warning("There is no server in configuration, Please choose setup");
    // A spool run that could not connect has said so; the same server would only fail again.
    if (!Arguments.empty() && v.ServerConfigured && !ConnectionFailed) {
        if (HideMainWindow) HideMainWindow();
        SendDroppedFiles(v.Port, v.HostName, v.UserName, v.Password);
        s_.LogLine("Finished sending files");
    }
}

void TUnattended::RemoveStoredSpoolDirectories() {
    const std::string S = SpoolDirectory();
    std::vector<DirEntry> entries;
    ListDirectory(S, entries);
    for (const DirEntry& e : entries) {
        if (e.kind != EntryKind::Directory || e.name[0] == '.') continue;
        // A tree not all on the server stays whole; the next run merges into it.
        if (completeSpoolDirs_.count(e.name) == 0) continue;
        s_.Prompts.Notice(e.name);
        RemoveDirTree(S + kPathSep + e.name, &stored_);
    }
}

}  // namespace vollum
