// Who may run the spool: Vollum --spool (a systemd path unit, cron) runs it
// without the hand-shake key and never changes the key; a start by a user,
// without SpoolBay's mark, never runs it, whatever the key says.
#include <gtest/gtest.h>

#include <QProcess>
#include <QThread>
#include <atomic>

#include "support/FakeFtpServer.h"
#include "support/PyFtpServer.h"
#include "support/VollumRun.h"

namespace vollum::test {
namespace {

TEST(SpoolOption, RunsTheSpoolWithoutTheKeyAndAUserStartNeverDoes) {
    PyFtpServer server;
    VollumProgramDir program;
    const std::string S = program.Spool();
    struct Case {
        const char* what;
        std::vector<std::string> args;
        bool bySpoolBay;
        bool armed;
        int exitCode;
        bool sent;
    };
    const Case cases[] = {
        {"--spool, key not armed", {"--spool"}, false, false, 0, true},
        {"--spool, key armed", {"--spool"}, false, true, 0, true},
        {"a user's start, key armed", {}, false, true, 2, false},
        {"SpoolBay's start, key armed", {}, true, true, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PutFile(S + "/a.txt", c.what);
        program.WriteIni(server.Port(), server.User(), server.Password(), c.armed);
        program.StartedBySpoolBay = c.bySpoolBay;
        const VollumResult r = program.Run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.stderrText;
        EXPECT_EQ(ReadFile(server.Root() + "/a.txt") == c.what, c.sent);
        EXPECT_EQ(TreeListing(S).empty(), c.sent);
        const bool keyCleared = c.bySpoolBay;  // only SpoolBay's run answers the hand-shake
        EXPECT_EQ(program.IniValue("SpoolBay", "Executed"), keyCleared ? "0" : c.armed ? "1" : "0");
        if (c.sent) {
            EXPECT_NE(program.LogText().find("Finished sending files"), std::string::npos);
        }
    }
}

TEST(SpoolOption, HeldSpoolEndsWithCode6AndTheKeyAsItWas) {
    VollumProgramDir program;
    PutFile(program.Spool() + "/a.txt", "a");
    const auto before = TreeListing(program.Spool());
    std::atomic<bool> connected{false};
    FakeFtpServer silent;
    silent.Do([&connected](FakeFtpServer::Context&) { connected = true; }).Pause(30000);
    silent.Start();
    program.WriteIni(silent.Port(), "user", "secret", false, {{"ConnectionTimeOut", "60"}});
    QProcess first;
    program.Start(first, {"--spool"});
    for (int i = 0; i < 2000 && !connected; ++i) QThread::msleep(10);
    ASSERT_TRUE(connected);

    const VollumResult second = program.Run({"--spool"}, 20000);
    first.kill();
    first.waitForFinished(10000);
    EXPECT_EQ(second.exitCode, 6) << second.stderrText;
    EXPECT_EQ(TreeListing(program.Spool()), before);
    EXPECT_EQ(program.IniValue("SpoolBay", "Executed"), "0");
}

}  // namespace
}  // namespace vollum::test
