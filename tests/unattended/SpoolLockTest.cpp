// Two spool runs over one program directory: the second finds the first at work.
#include <gtest/gtest.h>

#include <QProcess>
#include <QThread>
#include <atomic>

#include "support/FakeFtpServer.h"
#include "support/PyFtpServer.h"
#include "support/VollumRun.h"

namespace vollum::test {
namespace {

TEST(SpoolLock, aSecondRunTouchesNothingEndsWithCode6AndTheLockGoesWithTheFirst) {
    VollumProgramDir program;
    const std::string S = program.Spool();
    PutFile(S + "/a.txt", "a");
    PutFile(S + "/d/b.txt", "b");
    const auto before = TreeListing(S);

    // The first run waits for a greeting that never comes, holding the spool.
    std::atomic<bool> connected{false};
    FakeFtpServer silent;
    silent.Do([&connected](FakeFtpServer::Context&) { connected = true; }).Pause(30000);
    silent.Start();
    program.WriteIni(silent.Port(), "user", "secret", true, {{"ConnectionTimeOut", "60"}});
    QProcess first;
    program.Start(first);
    for (int i = 0; i < 2000 && !connected; ++i) QThread::msleep(10);
    ASSERT_TRUE(connected);

    const VollumResult second = program.Run({}, 20000);
    EXPECT_EQ(second.exitCode, 6) << second.stderrText;
    EXPECT_NE(second.stderrText.find("Another Vollum is sending the spool files"), std::string::npos);
    EXPECT_EQ(TreeListing(S), before);
    EXPECT_EQ(program.IniValue("SpoolBay", "Executed"), "1");

    // Killed at any moment, the first run leaves the spool free for the next one.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(10000));
    PyFtpServer server;
    program.WriteIni(server.Port(), server.User(), server.Password(), true);
    const VollumResult next = program.Run();
    EXPECT_EQ(next.exitCode, 0) << next.stderrText;
    EXPECT_TRUE(TreeListing(S).empty());
}

}  // namespace
}  // namespace vollum::test
