#include "unattended/TStartup.h"

#include <QtGlobal>

#include "common/Errors.h"
#include "common/Helpers.h"
#include "common/UserPrompts.h"
#include "ftp/TFtpSession.h"
#include "platform/ProcessStart.h"
#include "unattended/ExitCodes.h"

namespace vollum {

SpoolStart SpoolStartFromEnvironment() {
    return qEnvironmentVariable(kStartedBySpoolBay) == "1" ? SpoolStart::BySpoolBay : SpoolStart::ByUser;
}

bool TStartup::SpoolWanted(const TIniFile& ini) const {
    switch (Spool) {
        case SpoolStart::Option: return true;
        case SpoolStart::ByUser: return false;
        case SpoolStart::BySpoolBay: break;
    }
    return ini.ReadBool("SpoolBay", "Executed", false);
}

TStartup::TStartup(TFtpSession& session, std::vector<std::string> arguments, std::string startDirectory)
    : Runs(session), s_(session) {
    Runs.Arguments = std::move(arguments);
    Runs.StartDirectory = std::move(startDirectory);
}

WindowArrangement TStartup::ProgramEntry(const std::string& programDir) {
    programDir_ = AddBackslash(programDir);
    s_.UseProgramDirectory(programDir_);
    const TIniFile ini(programDir_ + "VOLLUM.INI");
    const int argumentCount = static_cast<int>(Runs.Arguments.size());
    ArrangementChoice choice = ChooseArrangement(ini, argumentCount);
    if (choice.arrangement == WindowArrangement::Spool && !SpoolWanted(ini))
        choice = {WindowArrangement::Interactive, false};
    if (choice.arrangement == WindowArrangement::Interactive && Spool == SpoolStart::Option)
        choice = {argumentCount > 0 ? WindowArrangement::Drop : WindowArrangement::Spool, true};
    s_.Settings.ServerConfigured = choice.ServerConfigured;
    Arrangement = choice.arrangement;
    return Arrangement;
}

void TStartup::FormCreate() {
    s_.ForgetStoreRetry();
    try {
        // A run needs the profile; the window can do without one until Setup.
        const bool spool = SpoolWanted(TIniFile(programDir_ + "VOLLUM.INI"));
        ReadStartupValues(programDir_, s_.Prompts, s_.Settings, !Runs.Arguments.empty() || spool);
        s_.Settings.SpoolRequested = spool;
        Runs.KeepSpoolKey = Spool == SpoolStart::Option;
        s_.ApplySettings();
        Runs.Dispatch();
        if (!s_.Settings.ProfileUsable && !Runs.EndRequested)
            s_.ShowLine("No server set up yet: choose File > Setup to add one, then File > Connect.");
    } catch (const VollumError& e) {
        CreationFailed = true;
        s_.Prompts.MessageBox(e.what(), "Error", PromptButtons::Ok, PromptIcon::Error);
    }
}

int TStartup::HeadlessExitCode() const {
    if (Runs.SpoolBusy) return kExitSpoolBusy;
    if (Runs.ConnectionLost) return kExitNoConnection;
    if (Runs.EndRequested) return Runs.SomethingKept ? kExitSomethingKept : kExitNormal;
    if (Runs.ConnectionFailed) return kExitNoConnection;
    if (CreationFailed) return kExitStartupFailed;
    return kExitNeedsDisplay;
}

}  // namespace vollum
