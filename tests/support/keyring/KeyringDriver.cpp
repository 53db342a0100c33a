// One step of the setup dialog or of Connect, in a process of its own, with
// the keyring of the bus its environment names: the keyring tests' own process
// never asks a keyring (see KeyringSession.h). Prints every prompt shown as
// "shown: TEXT", the pane as "pane: LINE", and a read as "secret: P" or "none: WHY".
//
//   vollum_keyring_driver DIR save PROFILE PORT STORE PASSWORD   (Add, or Save when it exists;
//                                                                 STORE "default": as the dialog chose)
//   vollum_keyring_driver DIR connect [TYPED]   (the last-used profile; TYPED answers a password box)
//   vollum_keyring_driver DIR rename FROM TO | delete NAME | read NAME
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "config/Profiles.h"
#include "ftp/TFtpSession.h"
#include "support/ScriptedPrompts.h"
#include "ui/TFTPForm.h"
#include "ui/TLoginDLG.h"
#include "unattended/ProfileSecrets.h"

using namespace vollum;

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    const std::vector<std::string> a(argv + 3, argv + argc);
    const std::string verb = argv[2];
    ScriptedPrompts prompts;
    TFtpSession session(prompts);
    // The program directory as Vollum there finds it.
    session.Settings.ProgramDir = std::filesystem::canonical(argv[1]).native() + "/";
    session.Settings.ConnectionTimeOut = 10;
    session.ApplySettings();
    auto dialog = [&](const std::string& name, const std::function<void(TLoginDLG&)>& act) {
        TLoginDLG d(session.Settings, prompts, {});
        d.Profile->setEditText(QString::fromStdString(name));
        act(d);
    };
    if (verb == "save" && a.size() == 4) {
        dialog(a[0], [&](TLoginDLG& d) {
            const bool saved = ProfileSaved(TIniFile(session.Settings.ProgramDir + "VOLLUM.INI"), a[0]);
            d.CheckBox1->setChecked(false);
            d.HostName->setText("127.0.0.1");
            d.Port->setText(QString::fromStdString(a[1]));
            d.UserName->setText("user");
            d.Password->setText(QString::fromStdString(a[3]));
            d.FtpTimeoutBox->setText("10");
            d.ConnectionTimeOutBox->setText("10");
            if (a[2] != "default")
                d.PasswordStoreBox->setCurrentIndex(d.PasswordStoreBox->findData(static_cast<int>(PasswordStoreOf(a[2]))));
            (saved ? d.ModifyBtn : d.AddBtn)->click();
        });
    } else if (verb == "connect") {
        if (!a.empty()) prompts.inputAnswers = {a[0]};
        TFTPForm form(session);
        // OK on the dialog as it shows the last-used profile.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [] {
            if (auto* d = qobject_cast<TLoginDLG*>(QApplication::activeModalWidget())) d->OKBtn->click();
        });
        poll.start(20);
        form.ConnectMNU->trigger();
        for (const std::string& line : session.Pane().Lines()) std::printf("pane: %s\n", line.c_str());
        form.close();
    } else if (verb == "rename" && a.size() == 2) {
        prompts.inputAnswers = {a[1]};
        dialog(a[0], [](TLoginDLG& d) { d.RenameBtn->click(); });
    } else if (verb == "delete" && a.size() == 1) {
        prompts.answers = {PromptAnswer::Yes};  // should the dialog ask first
        dialog(a[0], [](TLoginDLG& d) { d.DeleteBtn->click(); });
    } else if (verb == "read" && a.size() == 1) {
        const KeyringResult r = ReadProfileSecret(session.Settings.ProgramDir + "VOLLUM.INI", a[0], 10000);
        if (r.Ok()) std::printf("secret: %s\n", r.secret.Password.c_str());
        else std::printf("none: %s\n", r.reason.c_str());
    } else {
        return 2;
    }
    for (const std::string& text : prompts.Texts()) std::printf("shown: %s\n", text.c_str());
    return 0;
}
