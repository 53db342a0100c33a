// The spool watch with short intervals: what counts as worth sending, the
// hand-shake cycle, the back-off after a run that changed nothing, and Stop.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <filesystem>

#include "companion/SpoolWatch.h"
#include "config/TIniFile.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace vollum {
namespace {

namespace fs = std::filesystem;
using test::PutFile;

TEST(SpoolHasEntries, CountsWhatARunWouldSendOrClear) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
        bool counts;
    };
    const Case cases[] = {
        {"nothing", [](const std::string&) {}, false},
        {"only empty files",
         [](const std::string& s) {
             PutFile(s + "/a", "");
             PutFile(s + "/b", "");
         },
         false},
        {"dot-names, whatever their size",
         [](const std::string& s) {
             PutFile(s + "/.big", "data");
             fs::create_directory(s + "/.dir");
         },
         false},
        {"an empty subdirectory", [](const std::string& s) { fs::create_directory(s + "/sub"); }, true},
        {"a file with bytes", [](const std::string& s) { PutFile(s + "/x.txt", "x"); }, true},
        {"a link to a directory", [](const std::string& s) { fs::create_directory_symlink("/tmp", s + "/l"); }, false},
        {"a dangling link", [](const std::string& s) { fs::create_symlink(s + "/gone", s + "/l"); }, false},
        {"a link to a file with bytes",
         [](const std::string& s) {
             PutFile(s + "/../real", "r");
             fs::create_symlink(s + "/../real", s + "/l");
         },
         true},
    };
    for (const Case& c : cases) {
        test::TempDir root;
        const std::string spool = root / "COPY";
        fs::create_directory(spool);
        c.make(spool);
        EXPECT_EQ(SpoolHasEntries(spool + "/*.*"), c.counts) << c.what;
    }
    EXPECT_FALSE(SpoolHasEntries("/nonexistent-spool/COPY/*.*"));
}

// A client directory, and a stand-in for the client that empties the spool
// (or not) and clears the hand-shake key.
class Watch : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(spool);
        TIniFile(ini).WriteString("SpoolBay", "Executed", "1");
        watch.ClientDirectory = [this] { return client.Path(); };
        watch.DriveAsTyped = [] { return std::string("f:"); };
        watch.SetStatus = [this](const std::string& s) { statuses.push_back(s); };
        watch.StartClient = [this](const std::string& program) {
            started.push_back(program);
            if (clientEmptiesSpool) fs::remove_all(spool + "/a.txt");
            if (clientAnswers) TIniFile(ini).WriteString("SpoolBay", "Executed", "0");
            return clientStarts ? 0LL : -1LL;  // started, but its end is learnt from the key
        };
        watch.Timer2.SetInterval(10);
    }
    // Runs the event loop until pred holds or the time is up.
    bool RunUntil(const std::function<bool()>& pred, int ms = 3000) {
        QElapsedTimer t;
        t.start();
        while (!pred() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return pred();
    }
    void Spin(int ms) {
        RunUntil([] { return false; }, ms);
    }
    std::string Key() { return TIniFile(ini).ReadString("SpoolBay", "Executed", "<missing>"); }

    test::TempDir client;
    std::string spool = client / "COPY";
    std::string ini = client / "VOLLUM.INI";
    ScriptedPrompts prompts;
    SpoolWatch watch{prompts};  // settles at once, as before change notifications
    std::vector<std::string> started, statuses;
    bool clientStarts = true, clientAnswers = true, clientEmptiesSpool = true;
};

TEST_F(Watch, FindsAFileStartsTheClientAndRearmsAfterTheHandshake) {
    watch.Begin(10);
    Spin(50);
    EXPECT_TRUE(started.empty());
    EXPECT_EQ(statuses.back(), "Status: Searching f: for files");

    PutFile(spool + "/a.txt", "payload");
    ASSERT_TRUE(RunUntil([&] { return !started.empty() && watch.Timer1.Enabled(); }));
    EXPECT_EQ(started, std::vector<std::string>{client / "Vollum"});
    EXPECT_EQ(Key(), "1");
    EXPECT_FALSE(watch.Timer2.Enabled());
    EXPECT_FALSE(watch.BackingOff());
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Status: Found file, Starting Vollum97"), statuses.end());
}

TEST_F(Watch, ARunThatLeavesTheSpoolAsItWasIsRepeatedOnlyAfterTenPollsOrAChange) {
    clientEmptiesSpool = false;
    PutFile(spool + "/a.txt", "refused by the server every time");
    watch.Begin(10);
    ASSERT_TRUE(RunUntil([&] { return started.size() == 1 && watch.Timer1.Enabled(); }));
    EXPECT_TRUE(watch.BackingOff());
    ASSERT_TRUE(RunUntil([&] { return started.size() == 2; }));
    const auto waiting = std::count_if(statuses.begin(), statuses.end(), [](const std::string& s) {
        return s.rfind("Status: Files not sent, trying again when the spool changes", 0) == 0;
    });
    EXPECT_EQ(waiting, SpoolWatch::kRetryPolls - 1);
    EXPECT_EQ(statuses.back(), "Status: Trying unsent files again, Starting Vollum97");

    // A change ends the wait at the next poll.
    ASSERT_TRUE(RunUntil([&] { return watch.BackingOff() && watch.Timer1.Enabled(); }));
    PutFile(spool + "/b.txt", "new");
    const size_t before = statuses.size();
    ASSERT_TRUE(RunUntil([&] { return started.size() == 3; }));
    EXPECT_LE(statuses.size() - before, 3u);
}

TEST_F(Watch, StopDuringTheHandshakeWaitEndsTheWholeWatch) {
    clientAnswers = false;
    PutFile(spool + "/a.txt", "x");
    watch.Begin(10);
    ASSERT_TRUE(RunUntil([&] { return watch.Timer2.Enabled(); }));
    watch.End();
    TIniFile(ini).WriteString("SpoolBay", "Executed", "0");  // the client ends after Stop
    Spin(100);
    EXPECT_FALSE(watch.Timer1.Enabled());
    EXPECT_FALSE(watch.Timer2.Enabled());
    EXPECT_EQ(Key(), "0");
    EXPECT_EQ(started.size(), 1u);
}

TEST_F(Watch, ARefusedStartIsReportedAndTheWatchGoesOnWithoutRepeatingItEveryPoll) {
    clientStarts = false;
    clientAnswers = false;
    PutFile(spool + "/a.txt", "x");
    watch.Begin(10);
    ASSERT_TRUE(RunUntil([&] { return !started.empty(); }));
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Error Executing Vollum97"});
    EXPECT_TRUE(watch.Timer1.Enabled());
    EXPECT_FALSE(watch.Timer2.Enabled());
    Spin(60);
    EXPECT_EQ(started.size(), 1u);
    PutFile(spool + "/b.txt", "new");
    ASSERT_TRUE(RunUntil([&] { return started.size() == 2; }));
}

TEST_F(Watch, AZeroIntervalIsEnabledButNeverFires) {
    watch.UseNotifications = false;
    PutFile(spool + "/a.txt", "x");
    watch.Begin(0);
    Spin(50);
    EXPECT_TRUE(watch.Timer1.Enabled());
    EXPECT_FALSE(watch.Timer1.Running());
    EXPECT_TRUE(statuses.empty());
}

}  // namespace
}  // namespace vollum
