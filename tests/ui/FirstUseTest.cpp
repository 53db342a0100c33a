// The client as a new user meets it: the built program's options and first
// start, the window without a profile, the dialogs' transfer type and names,
// Cancel in the progress window, and connections that fail or are dropped.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <QWindow>

#include "platform/LocalFiles.h"
#include "support/EventHelpers.h"
#include "support/VollumRun.h"
#include "ui/FormFixture.h"
#include "ui/TMeterDLG.h"
#include "ui/TransferDialogs.h"
#include "ui/VollumProgram.h"
#include "unattended/ExitCodes.h"
#include "unattended/TStartup.h"

namespace vollum::test {

namespace {
bool Has(const std::vector<std::string>& lines, const std::string& text) {
    for (const auto& l : lines)
        if (l.find(text) != std::string::npos) return true;
    return false;
}
void Login(FakeFtpServer& s) { s.Reply("220 ready").Expect("USER").Reply("331 pw").Expect("PASS").Reply("230 in"); }
}  // namespace

// Without a display, as a user's shell or job starts it.
TEST(BuiltVollum, OptionsAndFirstStart) {
    struct Case {
        std::vector<std::string> args;
        const char* ini;  // VOLLUM.INI's text; nullptr: none
        int exitCode;
        std::string shown;  // in stdout, or in stderr for a failure
    };
    VollumProgramDir program;
    const std::string usage = "Settings: " + program.Ini();
    const std::string broken = "FtpTimeOut of profile \"test\" in " + program.Ini() + " is empty or not a number";
    const std::vector<Case> cases = {
        {{"--help"}, nullptr, 0, usage},
        {{"-h", "file"}, nullptr, 0, usage},
        {{"--version"}, nullptr, 0, "Vollum 1."},
        {{"-V"}, nullptr, 0, "Vollum 1."},
        // No INI and no armed key: interactive, which needs a display.
        {{}, nullptr, 2, "nothing to do in interactive mode"},
        {{}, "[LastUsed]\nNAME=office\n", 2, "nothing to do in interactive mode"},
        // Only an armed key runs the spool; a broken profile says where it is broken.
        {{}, "[LastUsed]\nNAME=test\n[SpoolBay]\nExecuted=1\n[test]\nHostName=x\nFtpTimeOut=\n", 4, broken},
        // After "--" a name like an option is a file to drop.
        {{"--", "--help"}, "[LastUsed]\nNAME=test\n[test]\nHostName=x\nFtpTimeOut=\n", 4, broken},
        // A drop before any Setup says that nothing is set up, not which key is wrong.
        {{"file"}, nullptr, 4, "No server profile is set up in " + program.Ini() + ": add one with File > Setup"},
        {{"file"}, "[LastUsed]\nNAME=office\n", 4, "The server profile \"office\" is not set up in " + program.Ini()},
        // A broken port says where it is broken too.
        {{"file"}, "[LastUsed]\nNAME=test\n[test]\nHostName=127.0.0.1\nPort=21x\nFtpTimeOut=9\nConnectionTimeOut=9\n", 4,
         "Port of profile \"test\" in " + program.Ini() + " is empty or not a number"},
    };
    for (const Case& c : cases) {
        const std::string label = c.args.empty() ? std::string("(none)") : c.args.front();
        std::filesystem::remove(program.Ini());
        if (c.ini != nullptr) WriteFile(program.Ini(), c.ini);
        const VollumResult r = program.Run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << label << r.stderrText;
        EXPECT_NE((c.exitCode == 0 ? r.stdoutText : r.stderrText).find(c.shown), std::string::npos)
            << label << ": " << r.stdoutText << r.stderrText;
        if (c.exitCode != 4) {
            EXPECT_EQ(r.stderrText.find("not a valid integer"), std::string::npos) << label;
        }
    }
}

using FirstUse = FormFixture;

// No INI, or a last-used profile without a section: the window, no box, and a hint.
TEST_F(FirstUse, WindowOpensWithoutABoxAndSaysHowToBegin) {
    for (const char* ini : {"", "[LastUsed]\r\nNAME=office\r\n"}) {
        WriteFile(dir / "VOLLUM.INI", ini);
        session->Pane().Clear();
        TStartup startup(*session, {}, dir.Path());
        EXPECT_EQ(startup.ProgramEntry(dir.Path()), WindowArrangement::Interactive);
        startup.FormCreate();
        EXPECT_FALSE(startup.CreationFailed);
        EXPECT_TRUE(prompts.shown.empty()) << prompts.Texts().front();
        EXPECT_TRUE(Has(PaneLines(), "File > Setup")) << ini;
        EXPECT_NE(form.Memo1->toPlainText().indexOf("File > Connect"), -1);
    }
}

// TransferType 1/2/3 preselects ASCII/Binary/EBCDIC, unset is Binary; in every dialog with a mode.
TEST_F(FirstUse, TransferDialogsPreselectTheProfilesType) {
    const std::vector<std::pair<int, const char*>> cases = {{0, "rbBINARY"}, {1, "rbASCII"}, {2, "rbBINARY"},
                                                            {3, "rbEBCDIC"}};
    for (const auto& [code, button] : cases) {
        session->Settings.TransferTypeCode = code;
        TGetDLG get;
        TPutDLG put;
        TViewDLG view;
        for (TTransferDialog* d : std::initializer_list<TTransferDialog*>{&get, &put, &view}) {
            form.PrepareDialog(*d);
            EXPECT_TRUE(d->findChild<QRadioButton*>(button)->isChecked()) << code << " " << d->objectName().data();
        }
    }
}

// The task bar and the window switcher see the caption's texts and our own icon.
TEST_F(FirstUse, WindowsShowTheirCaptionTextsAndOwnIconToTheSystem) {
    form.show();
    TGetDLG get;
    get.show();
    ASSERT_TRUE(form.windowHandle() && get.windowHandle());
    EXPECT_EQ(form.windowHandle()->title(), "Vollum FTP Client - Vollum 97");
    EXPECT_EQ(get.windowHandle()->title(), "Retrieve File");
    EXPECT_EQ(form.windowTitle(), "Vollum 97");  // the caption text itself stays
    EXPECT_TRUE(form.windowIcon().availableSizes().contains(QSize(16, 16)));
    EXPECT_TRUE(form.windowIcon().availableSizes().contains(QSize(256, 256)));
}

// Get: Enter right after the remote name fills Local Name and confirms.
// Put: an empty remote name is refused in the dialog with a message.
TEST_F(FirstUse, EnterFillsTheLocalNameAndAnEmptyRemoteNameIsRefused) {
    TGetDLG get;
    form.PrepareDialog(get);
    get.show();
    get.FileName->setFocus();
    QTest::keyClicks(get.FileName, "report.bin");
    QTest::keyClick(get.FileName, Qt::Key_Return);
    EXPECT_EQ(get.result(), QDialog::Accepted);
    EXPECT_EQ(get.LocalName->text(), "report.bin");

    TPutDLG put;
    form.PrepareDialog(put);
    put.show();
    put.FileName->setText("/tmp/a.txt");
    put.OKBtn->click();
    EXPECT_TRUE(put.isVisible());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_NE(prompts.Texts().front().find("remote file"), std::string::npos);
}

// The progress window's Cancel during a store that trickles: ABOR, the session
// goes on, and the pane names what the server may hold.
TEST_F(FirstUse, CancelInTheProgressWindowStopsTheStoreAndTheSessionGoesOn) {
    TMeterDLG meterWindow(*session);
    session->SetMeter(&meterWindow);
    form.TakeOverMeter(meterWindow);
    const std::string local = dir / "big.bin";
    WriteFile(local, std::string(16 << 20, 'x'));  // more than loopback buffers hold
    FakeFtpServer server;
    Login(server);
    server.Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok").Expect("STOR").Reply("150 go");
    server.ReceiveDataSlowly(100000, 500).ExpectUrgentAbort().Reply("426 aborted").Reply("226 abort done");
    server.Expect("PWD").Reply("257 \"/\"").Expect("QUIT").Reply("221 bye");
    server.Start();
    form.show();
    ConnectTo(server.PortText(), "joe", "pw");
    ASSERT_TRUE(session->Connected());
    WhenModal<TPutDLG>([&local](TPutDLG* dlg) {
        dlg->FileName->setText(QString::fromStdString(local));
        dlg->FileNameExit();
        dlg->OKBtn->click();
    });
    bool clicked = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (clicked || !meterWindow.isVisible()) return;
        clicked = true;
        meterWindow.Button1->click();
    });
    poll.start(20);
    form.PutMNU->trigger();
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(session->Connected());
    EXPECT_FALSE(meterWindow.isVisible());
    EXPECT_TRUE(Has(PaneLines(), "Transfer cancelled: big.bin"));
    EXPECT_TRUE(Has(PaneLines(), "The server may hold a partial file: big.bin"));
    EXPECT_EQ(prompts.shown.size(), 0u);  // a Cancel is no socket error
    form.PwdMNU->trigger();
    EXPECT_EQ(PaneLines().back(), "257 \"/\"\r");
    form.QuitMNU->trigger();
    server.Finish();
    EXPECT_EQ(server.Failure(), "");
}

// Dropped files with the server down: one notice, no progress window at any
// time, and the program ends with 3 instead of leaving a window behind.
TEST_F(FirstUse, DropRunThatCannotConnectSaysSoOnceAndEnds) {
    struct ShowCounter : QObject {
        int shows = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Show) ++shows;
            return false;
        }
    } meterShows;
    WriteFile(dir / "a.txt", "a");
    WriteFile(dir / "VOLLUM.INI", "[LastUsed]\r\nNAME=test\r\n[Fixed]\r\nOK=1\r\n[SpoolBay]\r\nExecuted=1\r\n[test]\r\nHostName=127.0.0.1\r\nPort=" +
                                      std::to_string(UnusedPort()) + "\r\nFtpTimeOut=5\r\nConnectionTimeOut=5\r\n");
    TMeterDLG meterWindow(*session);
    meterWindow.installEventFilter(&meterShows);
    session->SetMeter(&meterWindow);
    // Started by SpoolBay with the key armed: the spool run fails first, and
    // the drop run is not tried on the same server.
    std::filesystem::create_directory(dir / "COPY");
    TStartup startup(*session, {dir / "a.txt"}, dir.Path());
    startup.Spool = SpoolStart::BySpoolBay;
    EXPECT_EQ(startup.ProgramEntry(dir.Path()), WindowArrangement::Drop);
    meterWindow.FormCreate();
    startup.FormCreate();
    EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{"Connection to 127.0.0.1 failed"}));
    EXPECT_EQ(meterShows.shows, 0);
    EXPECT_EQ(EndAfterCreation(startup), kExitNoConnection);
    const NotificationText told = RunNotification(startup.Runs.Report);
    EXPECT_EQ(told.summary, "Vollum: nothing sent");
    EXPECT_EQ(told.body, "Connection to 127.0.0.1 failed: Connection refused");
}

// An unresolvable host and a server that drops the connection both leave a
// disconnected client: Connect on, Disconnect off, commands "Not Connected".
TEST_F(FirstUse, FailedAndDroppedConnectionsLeaveTheClientDisconnected) {
    FakeFtpServer server;
    Login(server);
    server.Expect("PWD").CloseControl();
    server.Start();
    ConnectTo(server.PortText(), "joe", "pw");
    ASSERT_TRUE(session->Connected());
    form.PwdMNU->trigger();
    server.Finish();
    EXPECT_TRUE(Has(PaneLines(), "Connection closed by remote host"));
    EXPECT_FALSE(session->Connected());
    EXPECT_TRUE(form.ConnectMNU->isEnabled());
    EXPECT_FALSE(form.QuitMNU->isEnabled());
    session->FtpCommand("PWD");
    EXPECT_EQ(PaneLines().back(), "Not Connected\r");

    WhenModal<TLoginDLG>([](TLoginDLG* dlg) {
        dlg->Profile->setEditText("test");
        dlg->HostName->setText("no-such-host.invalid");
        dlg->Port->setText("21");
        dlg->FtpTimeoutBox->setText("5");
        dlg->ConnectionTimeOutBox->setText("5");
        dlg->OKBtn->click();
    });
    form.ConnectMNU->trigger();
    EXPECT_TRUE(Has(PaneLines(), "Connection to no-such-host.invalid failed"));
    EXPECT_FALSE(Has(PaneLines(), "Connected to"));  // Connect begins with an empty pane
    EXPECT_FALSE(session->Connected());
    EXPECT_FALSE(form.QuitMNU->isEnabled());
    EXPECT_FALSE(Has(prompts.Texts(), "valid integer"));
}

}  // namespace vollum::test
