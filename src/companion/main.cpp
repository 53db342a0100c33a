// SpoolBay: "/U" starts it behind its notification-area icon with the drive mapped.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <string>

#include "common/Errors.h"
#include "common/UserPrompts.h"
#include "companion/TMainform.h"
#include "companion/TTrayIcon.h"
#include "config/ProgramDir.h"
#include "platform/Display.h"
#include "ui/QtPrompts.h"
#include "ui/QtText.h"
#include "ui/TApplication.h"

namespace {

std::string CompanionUsage() {
    return "Usage: SpoolBay [/U]\n"
           "       SpoolBay --help | --version\n"
           "\n"
           "SpoolBay maps a drive such as F: onto Vollum's spool folder COPY (on Linux\n"
           "the drive is the folder ~/Drives/F) and starts Vollum whenever something\n"
           "put there has stopped changing; Vollum uploads it and empties the spool.\n"
           "/U starts it in the notification area with the drive mapped at once.\n"
           "\n"
           "Settings: " +
           vollum::CompanionSettingsDirectory() + "SPOOLBAY.INI\n";
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vollum;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        try {
            std::fputs(CompanionUsage().c_str(), stdout);
        } catch (const EUntrustedFolder& e) {
            std::fprintf(stderr, "SpoolBay: %s\n", e.what());
            return 4;
        }
        return 0;
    }
    if (!args.empty() && (args[0] == "--version" || args[0] == "-V")) {
        std::printf("SpoolBay %s\n", VOLLUM_VERSION);
        return 0;
    }
    if (!DisplayAvailable() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "SpoolBay: no display to show its window on\n");
        return 2;
    }
    // The application object sees the program name only: "/U" is ours.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    TApplication app(qtArgc, qtArgv);
    ReleaseDisplayHold();
    // The window may be hidden behind the icon: only Exit or closing it ends the program.
    app.setQuitOnLastWindowClosed(false);
    app.setWindowIcon(CompanionIcon());
    QtPrompts prompts;
    app.Prompts = &prompts;

    std::string settingsDir;
    try {
        settingsDir = CompanionSettingsDirectory();
    } catch (const EUntrustedFolder& e) {
        prompts.MessageBox(e.what(), "Error", PromptButtons::Ok, PromptIcon::Error);
        return 4;
    }
    TMainform form(prompts, settingsDir, FromQt(QCoreApplication::applicationFilePath()), args);
    form.OnClosed = [] { QCoreApplication::quit(); };
    form.FormCreate();
    if (form.AutoStart()) {
        // Never shown, so never activated: the activation's work runs once the loop runs.
        QTimer::singleShot(0, &form, [&form] { form.FormActivate(); });
    } else {
        form.show();
    }
    return app.exec();
}
