// The main window driven through its menus against the fake server: menu
// states, the single-command items, Cancel Transfer and closing mid-transfer.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <thread>

#include "common/Helpers.h"
#include "platform/LocalFiles.h"
#include "support/EventHelpers.h"
#include "support/FakeFtpServer.h"
#include "ui/FormFixture.h"
#include "ui/TransferDialogs.h"

namespace vollum::test {

namespace {
std::vector<std::string> EnabledItems(TFTPForm& form) {
    std::vector<std::string> names;
    for (QMenu* menu : {form.FileMNU, form.FileTransMNU, form.DirCommandMNU, form.MiscCommMNU, form.OptionsMNU})
        for (QAction* item : menu->actions())
            if (!item->isSeparator() && item->isEnabled()) names.push_back(item->objectName().toStdString());
    std::sort(names.begin(), names.end());
    return names;
}

const std::vector<std::string> kAlwaysEnabled = {"ConnectMNU", "DirSepMNU", "EditorMNU",
                                                 "ExitMNU",    "Setup1",    "ViewSepMNU"};

void Login(FakeFtpServer& s) { s.Reply("220 ready").Expect("USER").Reply("331 pw").Expect("PASS").Reply("230 in"); }
}  // namespace

using MainWindow = FormFixture;

TEST_F(MainWindow, MenusFollowTheConnection) {
    EXPECT_EQ(EnabledItems(form), kAlwaysEnabled);
    FakeFtpServer server;
    Login(server);
    server.Expect("QUIT").Reply("221 bye");
    server.Start();
    ConnectTo(server.PortText(), "joe", "pw");
    ASSERT_TRUE(session->Connected());
    auto enabled = EnabledItems(form);
    EXPECT_EQ(std::count(enabled.begin(), enabled.end(), "ConnectMNU"), 0);
    EXPECT_EQ(enabled.size(), 15u + 5u);  // every session item, Setup, Exit and the options
    form.QuitMNU->trigger();
    server.Finish();
    EXPECT_EQ(EnabledItems(form), kAlwaysEnabled);
    EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER joe", "PASS pw", "QUIT"}));
}

TEST_F(MainWindow, SingleCommandItemsSendTheirCommandAndLogTheirRecord) {
    struct Case {
        QAction* item;
        std::vector<std::string> answers;                       // prompt answers; "\x18" cancels
        std::vector<std::pair<std::string, std::string>> wire;  // command sent, reply
        std::string record;                                     // "" = none
    };
    const std::vector<Case> cases = {
        {form.ChDirMNU, {"pub"}, {{"CWD pub", "250 ok"}}, "Changedir pub"},
        {form.ChDirMNU, {"\x18"}, {}, "Changedir "},
        {form.MkDirMNU, {"new dir"}, {{"MKD new dir", "257 made"}}, "MakeDir new dir"},
        {form.RmDirMNU, {"old"}, {{"RMD old", "250 gone"}}, "RemoveDir old"},
        {form.DeleteMNU, {"a.txt"}, {{"DELE a.txt", "250 deleted"}}, "DeleteFile a.txt"},
        {form.DeleteMNU, {"\x18"}, {}, "DeleteFile "},
        {form.QuoteMNU, {"SYST"}, {{"SYST", "215 UNIX"}}, "Quote SYST"},
        {form.QuoteMNU, {"pass hunter2"}, {{"pass hunter2", "202 ok"}}, "Quote pass xxxxxx"},
        {form.QuoteMNU, {"Acct hunter2"}, {{"Acct hunter2", "202 ok"}}, "Quote Acct xxxxxx"},
        {form.ParentMNU, {}, {{"CDUP", "250 up"}}, "ParentDir"},
        {form.HelpMNU, {}, {{"HELP", "214 help"}}, "HelpRequested"},
        {form.PwdMNU, {}, {{"PWD", "257 \"/\""}}, ""},
    };
    FakeFtpServer server;
    Login(server);
    for (const Case& c : cases)
        for (const auto& [command, reply] : c.wire) server.Expect(command).Reply(reply);
    server.Start();
    ConnectTo(server.PortText(), "joe", "pw");
    ASSERT_TRUE(session->Connected());

    std::vector<std::string> expectedWire = {"USER joe", "PASS pw"};
    for (const Case& c : cases) {
        const std::string name = c.item->objectName().toStdString();
        prompts.inputAnswers = c.answers;
        const size_t logBefore = LogRecords().size();
        c.item->trigger();
        for (const auto& [command, reply] : c.wire) {
            expectedWire.push_back(command);
            EXPECT_EQ(session->Pane().LastLine(), reply + "\r") << name;
        }
        const auto records = LogRecords();
        if (c.record.empty()) EXPECT_EQ(records.size(), logBefore) << name;
        else EXPECT_EQ(records.back(), c.record) << name;
    }
    server.Finish();
    EXPECT_EQ(server.Commands(), expectedWire);
    for (const auto& record : LogRecords()) EXPECT_EQ(record.find("hunter2"), std::string::npos) << record;
}

TEST_F(MainWindow, RenameSendsRntoOnlyAfter350AndLogsEitherWay) {
    for (const std::string reply : {"350 ready", "550 no such file"}) {
        FakeFtpServer server;
        Login(server);
        server.Expect("RNFR").Reply(reply);
        if (reply[0] == '3') server.Expect("RNTO").Reply("250 renamed");
        server.Expect("QUIT").Reply("221 bye");
        server.Start();
        ConnectTo(server.PortText(), "joe", "pw");
        ASSERT_TRUE(session->Connected());
        WhenModal<TRenDLG>([](TRenDLG* dlg) {
            dlg->FileFrom->setText("a");
            dlg->FileTo->setText("b");
            dlg->OKBtn->click();
        });
        form.RenameMNU->trigger();
        EXPECT_EQ(LogRecords().back(), "Rename atob");
        form.QuitMNU->trigger();
        server.Finish();
        const auto commands = server.Commands();
        EXPECT_EQ(commands[commands.size() - 2], reply[0] == '3' ? "RNTO b" : "RNFR a");
    }
}

// A retrieve whose data trickles in, stopped from the window while it runs.
// Whichever way it is stopped, the loop ends, ABOR goes out and the target
// name never holds a part of the file.
TEST_F(MainWindow, TransferStoppedFromTheWindowEndsCleanly) {
    struct Case {
        const char* name;
        std::function<void(TFTPForm&)> stop;
        bool windowCloses;
    };
    const std::vector<Case> cases = {
        {"Cancel Transfer", [](TFTPForm& f) { f.CancelMNU->trigger(); }, false},
        {"window closed", [](TFTPForm& f) { f.close(); }, true},
    };
    for (const Case& c : cases) {
        FakeFtpServer server;
        Login(server);
        server.Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok").Expect("RETR").Reply(
            "150 Opening (200000 bytes).");
        server.Do([](FakeFtpServer::Context& ctx) {
            // About four seconds of data, unless ABOR arrives first.
            const int fd = ctx.ConnectToPort();
            const std::string chunk(1000, 'x');
            for (int i = 0; i < 200; ++i) {
                ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                pollfd p{ctx.control, POLLIN | POLLPRI, 0};
                if (::poll(&p, 1, 0) > 0) break;
            }
            ::close(fd);
        });
        server.ExpectUrgentAbort().Reply("426 aborted").Reply("226 abort done");
        server.Expect("QUIT").Reply("221 bye");
        server.Start();
        form.show();
        ConnectTo(server.PortText(), "joe", "pw");
        ASSERT_TRUE(session->Connected()) << c.name;
        const std::string target = dir / "target.bin";
        WhenModal<TGetDLG>([&target](TGetDLG* dlg) {
            dlg->FileName->setText("remote.bin");
            dlg->LocalName->setText(QString::fromStdString(target));
            dlg->OKBtn->click();
        });
        QTimer::singleShot(600, &form, [&form = form, &c] { c.stop(form); });
        QElapsedTimer clock;
        clock.start();
        form.GetMNU->trigger();
        EXPECT_LT(clock.elapsed(), 3500) << c.name;  // ended well before the data would have
        EXPECT_FALSE(LocalFileExists(target)) << c.name;
        if (c.windowCloses) {
            EXPECT_TRUE(RunEventsUntil([this] { return !form.isVisible(); })) << c.name;
            EXPECT_FALSE(session->Connected()) << c.name;
        } else {
            EXPECT_NE(LogText().find("Something Aborted"), std::string::npos);
            const auto pane = PaneLines();
            EXPECT_NE(std::find(pane.begin(), pane.end(), "Transfer cancelled: remote.bin\r"), pane.end());
            EXPECT_TRUE(prompts.shown.empty()) << prompts.Texts().front();
            form.QuitMNU->trigger();
        }
        server.Finish();
        const auto commands = server.Commands();
        EXPECT_FALSE(server.Failed()) << c.name << ": " << server.Failure();
        EXPECT_EQ(std::count(commands.begin(), commands.end(), "ABOR (urgent)"), 1) << c.name;
        EXPECT_EQ(commands.back(), "QUIT") << c.name;
    }
}

}  // namespace vollum::test
