// SpoolBay: "/U" starts it behind its notification-area icon with the drive mapped.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "common/Errors.h"
#include "common/UserPrompts.h"
#include "companion/TMainform.h"
#include "companion/TTrayIcon.h"
#include "config/ProgramDir.h"
#include "platform/Display.h"
#include "ui/QtPrompts.h"
#include "ui/QtText.h"
#include "ui/TApplication.h"

int main(int argc, char** argv) {
    using namespace vollum;
    const std::vector<std::string> args(argv + 1, argv + argc);
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
