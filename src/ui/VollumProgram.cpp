#include "ui/VollumProgram.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>

#include "common/Errors.h"
#include "common/Helpers.h"
#include "common/Terminate.h"
#include "common/UserPrompts.h"
#include "config/ProgramDir.h"
#include "ftp/ControlChannel.h"
#include "ftp/TFtpSession.h"
#include "platform/DesktopNotification.h"
#include "platform/Display.h"
#include "platform/LocalFiles.h"
#include "ui/CommandLine.h"
#include "ui/ConsoleMeter.h"
#include "ui/ProgramIcons.h"
#include "ui/QtPrompts.h"
#include "ui/TApplication.h"
#include "ui/TFTPForm.h"
#include "ui/TMeterDLG.h"
#include "unattended/ExitCodes.h"
#include "unattended/ProfileSecrets.h"
#include "unattended/TStartup.h"
#include "unattended/UploadWorker.h"

namespace vollum {

namespace {

// The application object sees the program name only: every argument is a
// path, even one that looks like a Qt option.
int qtArgc = 1;

// When a spool or drop run has ended: what it did, on the desktop.
void NotifyRunEnd(const TUnattended& runs) {
    if (!runs.Report.ran) return;
    const NotificationText text = RunNotification(runs.Report);
    ShowDesktopNotification("Vollum", "vollum", text.summary, text.body);
}

int RunMovePasswords(char* argv0) {
    char* qtArgv[] = {argv0, nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    try {
        const bool allMoved = MovePasswordsToKeyring(ProgramDirectory() + "VOLLUM.INI", [](const std::string& line) {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        });
        return allMoved ? kExitNormal : kExitStartupFailed;
    } catch (const VollumError& e) {
        std::fprintf(stderr, "Vollum: %s\n", TerminalText(e.what()).c_str());
        return kExitStartupFailed;
    }
}

// An unattended run without a password has said so in the log; the line goes
// to stderr too, and the program ends with nothing sent or deleted.
int EndForWantOfPassword(const TStartup& startup) {
    std::fprintf(stderr, "Vollum: %s\n", TerminalText(startup.Runs.NoPassword).c_str());
    return kExitStartupFailed;
}

// A job's output (cron's mail, the journal) names what a run left behind,
// as a desktop notification does where there is a desktop.
void SayWhatWasKept(const RunReport& report) {
    for (const RunReport::KeptFile& k : report.kept)
        std::fprintf(stderr, "Vollum: Kept %s: %s\n", TerminalText(ControlChannel::Printable(k.path)).c_str(),
                     TerminalText(k.why).c_str());
}

}  // namespace

int RunVollum(int argc, char** argv) {
    // A parallel run's worker: no window and no arguments of its own. Before
    // the options, so that nothing a worker is started with reads as --help.
    if (UploadWorkerRequested()) return RunUploadWorker(argv[0]);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    switch (TakeOptions(arguments)) {
        case CommandLineRequest::Help:
            try {
                std::fputs(UsageText(ProgramDirectory(), SessionBusPresent()).c_str(), stdout);
            } catch (const EUntrustedFolder& e) {
                std::fprintf(stderr, "Vollum: %s\n", TerminalText(e.what()).c_str());
                return kExitStartupFailed;
            }
            return kExitNormal;
        case CommandLineRequest::Version: std::printf("Vollum %s\n", VOLLUM_VERSION); return kExitNormal;
        case CommandLineRequest::MovePasswords: return RunMovePasswords(argv[0]);
        case CommandLineRequest::Run: break;
    }
    const bool spool = TakeSpoolOption(arguments);
    const std::string startDirectory = CurrentDirectory();
    if (!DisplayAvailable()) return RunHeadless(argv[0], arguments, startDirectory, spool);
    return RunWithDisplay(argv[0], arguments, startDirectory, spool);
}

int RunHeadless(char* argv0, const std::vector<std::string>& arguments, const std::string& startDirectory,
                bool spoolOption) {
    char* qtArgv[] = {argv0, nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    ConsolePrompts prompts;
    TFtpSession session(prompts);
    ConsoleMeter meter;
    if (StderrIsTerminal()) {
        session.SetMeter(&meter);
        // A run that ends inside a transfer (425) still leaves the terminal on a fresh line.
        AddTerminateHook([&meter] { meter.Hide(); });
    }
    TStartup startup(session, arguments, startDirectory);
    if (spoolOption) startup.Spool = SpoolStart::Option;
    try {
        startup.ProgramEntry(ProgramDirectory());
    } catch (const EUntrustedFolder& e) {
        std::fprintf(stderr, "Vollum: %s\n", TerminalText(e.what()).c_str());
        return kExitStartupFailed;
    }
    startup.FormCreate();
    if (!startup.Runs.NoPassword.empty()) return EndForWantOfPassword(startup);
    NotifyRunEnd(startup.Runs);
    SayWhatWasKept(startup.Runs.Report);
    const int code = startup.HeadlessExitCode();
    if (code == kExitNeedsDisplay) std::fprintf(stderr, "Vollum: no display; nothing to do in interactive mode\n");
    if (startup.Runs.ConnectionLost) std::fprintf(stderr, "Vollum: Connection lost\n");
    return code;
}

int EndAfterCreation(const TStartup& startup) {
    // A run that could not connect, or lost its connection, has said so once:
    // it ends rather than leave a window behind.
    if (startup.Runs.ConnectionLost) return kExitNoConnection;
    if (startup.Runs.EndRequested) return kExitNormal;
    if (startup.Runs.ConnectionFailed) return kExitNoConnection;
    // Started to send, but the settings stopped it (the error box was shown).
    if (startup.Arrangement != WindowArrangement::Interactive && startup.CreationFailed) return kExitStartupFailed;
    return -1;
}

int RunWithDisplay(char* argv0, const std::vector<std::string>& arguments, const std::string& startDirectory,
                   bool spoolOption) {
    char* qtArgv[] = {argv0, nullptr};
    TApplication app(qtArgc, qtArgv);
    app.setWindowIcon(VollumIcon());
    ReleaseDisplayHold();  // the application's own connection keeps the server from resetting now
    QtPrompts prompts;
    app.Prompts = &prompts;
    TFtpSession session(prompts);
    TStartup startup(session, arguments, startDirectory);
    if (spoolOption) startup.Spool = SpoolStart::Option;
    try {
        startup.ProgramEntry(ProgramDirectory());
    } catch (const EUntrustedFolder& e) {
        prompts.MessageBox(e.what(), "Error", PromptButtons::Ok, PromptIcon::Error);
        return kExitStartupFailed;
    }

    session.Control().OnCursor = [](bool busy) {
        if (busy && !QApplication::overrideCursor()) QApplication::setOverrideCursor(Qt::WaitCursor);
        if (!busy && QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    };

    // Both windows exist before the creation runs: a run stores with progress.
    TMeterDLG meter(session);
    session.SetMeter(&meter);
    meter.FormCreate();
    TFTPForm form(session);
    // Once the end is under way (a finished run, or the window closing while
    // something ran) a box would only hold it up.
    prompts.EndPending = [&startup, &form] { return startup.Runs.EndRequested || form.ClosePending(); };
    startup.Runs.HideMainWindow = [&form] { form.HideMinimised(); };
    startup.FormCreate();
    // Never a window left waiting for nobody: a run SpoolBay started is over.
    if (!startup.Runs.NoPassword.empty()) return EndForWantOfPassword(startup);
    form.SetOptionChecks();
    NotifyRunEnd(startup.Runs);
    SayWhatWasKept(startup.Runs.Report);  // for a run started from a terminal
    const int code = EndAfterCreation(startup);
    if (code >= 0) return code;
    // From here on transfers are the user's.
    form.TakeOverMeter(meter);

    // The event loop shows the main window; closing it ends the program. The
    // progress window appears only with a transfer, so an unattended start
    // that had nothing to do shows the main window.
    form.show();
    return app.exec();
}

}  // namespace vollum
