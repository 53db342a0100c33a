// The spool watch with change notifications and a real spool folder: the
// timer set far beyond the test, so whatever happens was started by a
// notification, a settle wait or the client's exit.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "companion/SpoolWatch.h"
#include "config/TIniFile.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace vollum {
namespace {

namespace fs = std::filesystem;
using test::PutFile;

constexpr int64_t kNeverPolls = 600000;

struct Reaction {
    test::TempDir client;
    std::string spool = client / "COPY";
    std::string ini = client / "VOLLUM.INI";
    ScriptedPrompts prompts;
    SpoolWatch watch{prompts};
    std::vector<qint64> starts;  // ms since the case began, one per client start
    std::vector<qint64> pids;
    QElapsedTimer clock;
    bool emptiesSpool = true;
    // How long the client runs, in ms; its end is a real process's exit.
    int runsFor = 0;

    Reaction() {
        fs::create_directory(spool);
        TIniFile(ini).WriteString("SpoolBay", "Executed", "1");
        watch.ClientDirectory = [this] { return client.Path(); };
        watch.DriveAsTyped = [] { return std::string("F:"); };
        watch.SetStatus = [](const std::string&) {};
        watch.SettleMs = 300;
        watch.StartClient = [this](const std::string&) -> long long {
            starts.push_back(clock.elapsed());
            if (emptiesSpool)
                for (const auto& e : fs::directory_iterator(spool)) fs::remove_all(e.path());
            TIniFile(ini).WriteString("SpoolBay", "Executed", "0");
            qint64 pid = 0;
            QProcess p;
            p.setProgram("/bin/sleep");
            p.setArguments({QString::number(runsFor / 1000.0)});
            if (!p.startDetached(&pid)) return -1;
            pids.push_back(pid);
            return pid;
        };
        clock.start();
    }
    ~Reaction() {
        watch.End();
        for (qint64 pid : pids) ::kill(static_cast<pid_t>(pid), SIGKILL);
    }
    bool RunUntil(const std::function<bool()>& pred, int ms = 5000) {
        QElapsedTimer t;
        t.start();
        while (!pred() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return pred();
    }
    void Spin(int ms) { RunUntil([] { return false; }, ms); }
    bool Idle() { return !watch.RunInProgress() && !watch.Settling(); }
};

TEST(SpoolReaction, NoticesDropsSettlesAndLooksAgainWhenTheClientEnds) {
    struct Case {
        const char* what;
        std::function<void(Reaction&)> run;
    };
    const Case cases[] = {
        {"a drop is noticed without the timer",
         [](Reaction& r) {
             r.watch.Begin(kNeverPolls);
             ASSERT_TRUE(r.watch.Notified());
             r.Spin(100);
             PutFile(r.spool + "/a.txt", "a");
             ASSERT_TRUE(r.RunUntil([&] { return r.starts.size() == 1; }));
             EXPECT_TRUE(r.RunUntil([&] { return r.Idle(); }));
         }},
        {"a file growing for 2 s starts one run, after it stops growing",
         [](Reaction& r) {
             r.watch.Begin(kNeverPolls);
             qint64 lastWrite = 0;
             QTimer grow;
             QObject::connect(&grow, &QTimer::timeout, [&] {
                 if (r.clock.elapsed() > 2000) return grow.stop();
                 std::FILE* f = std::fopen((r.spool + "/big.bin").c_str(), "ab");
                 std::fputs("0123456789", f);
                 std::fclose(f);
                 lastWrite = r.clock.elapsed();
             });
             grow.start(100);
             ASSERT_TRUE(r.RunUntil([&] { return !r.starts.empty(); }));
             r.Spin(1000);
             EXPECT_EQ(r.starts.size(), 1u);
             EXPECT_GE(r.starts.front(), lastWrite + r.watch.SettleMs);
         }},
        {"files in a new subfolder are noticed",
         [](Reaction& r) {
             r.emptiesSpool = false;  // the subfolder stays: what changes in it must be seen
             r.watch.Begin(kNeverPolls);
             r.Spin(100);
             fs::create_directory(r.spool + "/sub");
             ASSERT_TRUE(r.RunUntil([&] { return r.starts.size() == 1 && r.Idle(); }));
             r.Spin(200);
             PutFile(r.spool + "/sub/b.txt", "b");
             EXPECT_TRUE(r.RunUntil([&] { return r.starts.size() == 2; }));
         }},
        {"without notifications the timer still finds a drop",
         [](Reaction& r) {
             r.watch.UseNotifications = false;
             r.watch.Begin(200);
             EXPECT_FALSE(r.watch.Notified());
             PutFile(r.spool + "/a.txt", "a");
             EXPECT_TRUE(r.RunUntil([&] { return r.starts.size() == 1; }));
         }},
        {"the client's exit ends the run, and what came meanwhile goes at once",
         [](Reaction& r) {
             r.runsFor = 700;
             r.watch.Begin(kNeverPolls);
             PutFile(r.spool + "/a.txt", "a");
             ASSERT_TRUE(r.RunUntil([&] { return r.starts.size() == 1; }));
             PutFile(r.spool + "/b.txt", "b");  // while the client runs
             r.Spin(300);
             EXPECT_TRUE(r.watch.RunInProgress());
             EXPECT_EQ(r.starts.size(), 1u);
             ASSERT_TRUE(r.RunUntil([&] { return r.starts.size() == 2; }));
             EXPECT_FALSE(r.watch.Timer2.Enabled());  // no polling of the key
             EXPECT_GE(r.starts[1] - r.starts[0], 700);
             EXPECT_TRUE(r.RunUntil([&] { return r.Idle(); }));
             EXPECT_EQ(TIniFile(r.ini).ReadString("SpoolBay", "Executed", ""), "1");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reaction r;
        c.run(r);
    }
}

}  // namespace
}  // namespace vollum
