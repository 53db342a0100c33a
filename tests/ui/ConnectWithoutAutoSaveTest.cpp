// Connect with "Auto Save Config" off uses what the setup dialog shows, not the
// profile used last, and a certificate trusted at the question is pinned into
// the profile the dialog named only (in memory when it is not saved as used).
#include <gtest/gtest.h>

#include "config/TIniFile.h"
#include "support/PyFtpServer.h"
#include "support/VollumRun.h"
#include "ui/FormFixture.h"

namespace vollum::test {

namespace {
// Lines that begin with text.
size_t Count(const std::vector<std::string>& lines, const std::string& text) {
    return static_cast<size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(text, 0) == 0; }));
}
}  // namespace

class ConnectWithoutAutoSave : public FormFixture {};

TEST_F(ConnectWithoutAutoSave, UsesTheDialogsTlsPassiveAndPortAndPinsIntoTheNamedProfileOnly) {
    PyFtpServerOptions options;
    options.tls = true;
    PyFtpServer server(options);
    const std::string nowhere = std::to_string(UnusedPort());
    struct Case {
        const char* profile;  // the name chosen or typed in the dialog
        bool pinnedInFile;
    };
    // The last-used profile is plain, active and points nowhere; "named" is saved without TLS, on another port.
    const std::string ini =
        "[index]\r\nnext=2\r\nProfile0=last\r\nProfile1=named\r\n[LastUsed]\r\nNAME=last\r\n"
        "[last]\r\nHostName=127.0.0.1\r\nPort=" +
        nowhere +
        "\r\nAutoSave=0\r\n"
        "[named]\r\nHostName=127.0.0.1\r\nPort=" +
        nowhere + "\r\nAutoSave=0\r\n";
    for (const Case& c : {Case{"named", true}, Case{"never saved", false}}) {
        SCOPED_TRACE(c.profile);
        WriteFile(dir / "VOLLUM.INI", ini);
        StartupValues& s = session->Settings;
        s.ProfileName = "last";
        s.Port = nowhere;
        s.UseTLS = s.PassiveMode = false;
        s.TLSFingerprint.clear();
        s.SessionPins.clear();

        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round);
            WhenModal<TLoginDLG>([&](TLoginDLG* d) {
                d->Profile->setEditText(c.profile);
                // The second time the dialog shows the pin, from the file or held for the session.
                EXPECT_EQ(d->TLSFingerprint->toolTip().toStdString() == server.Fingerprint(), round == 1);
                d->CheckBox3->setChecked(false);
                d->CheckBox1->setChecked(false);
                d->HostName->setText("127.0.0.1");
                d->UserName->setText(QString::fromStdString(server.User()));
                d->Password->setText(QString::fromStdString(server.Password()));
                d->Port->setText(QString::fromStdString(server.PortText()));
                // OK stays open until the time-outs are numbers ("named" has none).
                d->FtpTimeoutBox->setText("30");
                d->ConnectionTimeOutBox->setText("30");
                d->UseTLS->setChecked(true);
                d->PassiveMode->setChecked(true);
                d->OKBtn->click();
            });
            prompts.answers = {PromptAnswer::Yes};
            const size_t asked = Count(prompts.Texts(), "The certificate of 127.0.0.1 could not be verified");
            form.ConnectMNU->trigger();
            ASSERT_TRUE(session->Connected());
            prompts.inputAnswers = {"*.*"};
            form.DirMNU->trigger();
            form.QuitMNU->trigger();

            const auto pane = PaneLines();  // Connect clears it
            EXPECT_EQ(Count(pane, "AUTH TLS"), 1u);
            EXPECT_EQ(Count(pane, "PROT P"), 1u);
            EXPECT_EQ(Count(pane, "EPSV"), 1u);
            EXPECT_EQ(Count(pane, "PORT "), 0u);
            // Asked once; the second Connect finds the pin, in the file or held for the session.
            EXPECT_EQ(Count(prompts.Texts(), "The certificate of 127.0.0.1 could not be verified"), asked + 1 - round);
            const char* pinLine = round == 1       ? "Certificate of 127.0.0.1 matches the pinned fingerprint"
                                  : c.pinnedInFile ? "Certificate of 127.0.0.1 pinned in the profile"
                                                   : "Certificate of 127.0.0.1 pinned for this session only";
            EXPECT_EQ(Count(pane, pinLine), 1u);
        }
        // Nothing but the pin is written, and only into the named profile.
        const std::string pin = c.pinnedInFile ? "TLSFingerprint=" + server.Fingerprint() + "\r\n" : "";
        EXPECT_EQ(ReadFile(dir / "VOLLUM.INI"), ini + pin);
    }
}

}  // namespace vollum::test
