#include "unattended/TStartup.h"

#include "common/Errors.h"
#include "common/Helpers.h"
#include "common/UserPrompts.h"
#include "ftp/TFtpSession.h"
#include "unattended/ExitCodes.h"

namespace vollum {

TStartup::TStartup(TFtpSession& session, std::vector<std::string> arguments, std::string startDirectory)
    : Runs(session), s_(session) {
    Runs.Arguments = std::move(arguments);
    Runs.StartDirectory = std::move(startDirectory);
}

WindowArrangement TStartup::ProgramEntry(const std::string& programDir) {
    programDir_ = AddBackslash(programDir);
    s_.UseProgramDirectory(programDir_);
    const ArrangementChoice choice =
        ChooseArrangement(TIniFile(programDir_ + "VOLLUM.INI"), static_cast<int>(Runs.Arguments.size()));
    s_.Settings.ServerConfigured = choice.ServerConfigured;
    Arrangement = choice.arrangement;
    return Arrangement;
}

void TStartup::FormCreate() {
    s_.ForgetStoreRetry();
    try {
        // A run needs the profile; the window can do without one until Setup.
        const bool runAhead = !Runs.Arguments.empty() ||
                              TIniFile(programDir_ + "VOLLUM.INI").ReadBool("SpoolBay", "Executed", false);
        ReadStartupValues(programDir_, s_.Prompts, s_.Settings, runAhead);
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
    if (!Runs.NoPassword.empty()) return kExitStartupFailed;
    if (Runs.SpoolBusy) return kExitSpoolBusy;
    if (Runs.ConnectionLost) return kExitNoConnection;
    if (Runs.EndRequested) return Runs.SomethingKept ? kExitSomethingKept : kExitNormal;
    if (Runs.ConnectionFailed) return kExitNoConnection;
    if (CreationFailed) return kExitStartupFailed;
    return kExitNeedsDisplay;
}

}  // namespace vollum
