// The full cycle with the built programs: SpoolBay started with "/U" maps the
// drive with vollum-subst, a file written through the drive's link is found,
// Vollum uploads it to a real FTP server, and the hand-shake key goes 1 -> 0 -> 1.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <filesystem>

#include "support/Processes.h"
#include "support/PyFtpServer.h"
#include "support/TempDir.h"
#include "support/VollumRun.h"

namespace vollum::test {
namespace {

namespace fs = std::filesystem;

TEST(CompanionCycle, AFileDroppedOnTheDriveArrivesOnTheServerAndLeavesTheSpool) {
    PyFtpServer server;
    VollumProgramDir client;
    client.WriteIni(server.Port(), server.User(), server.Password(), false);
    TempDir companion, drives, config;
    for (const char* program : {"SpoolBay", "vollum-subst"})
        fs::copy_file(std::string(VOLLUM_BINARY_DIR) + "/" + program, companion / program);
    WriteFile(companion / "SPOOLBAY.INI", "[Options]\r\nSubstDir=" + (companion / "vollum-subst") +
                                              "\r\nVollumDir=" + client.Path() +
                                              "\r\nSubstDrive=f:\r\nDirInterval=1\r\nStartWithWindows=0\r\n");

    QProcess spoolBay;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VOLLUM_DRIVES", QString::fromStdString(drives.Path()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(config.Path()));
    spoolBay.setProcessEnvironment(env);
    spoolBay.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    spoolBay.start(QString::fromStdString(companion / "SpoolBay"), {"/U"});
    // However the test ends: SpoolBay is ended, and nothing it started may stay
    // (the client's copy is checked by VollumProgramDir).
    struct EndCompanion {
        QProcess& process;
        std::string dir;
        ~EndCompanion() {
            process.terminate();
            if (!process.waitForFinished(10000)) process.kill();
            process.waitForFinished(10000);
            ExpectNothingRunsFrom(dir);
        }
    } endCompanion{spoolBay, companion.Path()};
    ASSERT_TRUE(spoolBay.waitForStarted(10000));

    const std::string link = drives / "F";
    std::vector<std::string> keys;  // the key's values as they change
    auto sample = [&] {
        const std::string k = client.IniValue("SpoolBay", "Executed");
        if (keys.empty() || keys.back() != k) keys.push_back(k);
    };
    auto waitFor = [&](const std::function<bool()>& done, int ms) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms) {
            sample();
            QThread::msleep(5);
        }
        return done();
    };

    ASSERT_TRUE(waitFor([&] { return fs::is_symlink(link) && keys.back() == "1"; }, 20000));
    EXPECT_EQ(fs::read_symlink(link).native(), client.Spool());
    const std::string bytes = RandomBytes(300000, 11);
    // Written under a dot-name and renamed, so the watch never sees half a file.
    WriteFile(link + "/.data.bin.part", bytes);
    fs::rename(link + "/.data.bin.part", link + "/data.bin");
    keys = {"1"};

    const bool cycled = waitFor(
        [&] {
            return keys.size() >= 3 && keys.back() == "1" && fs::is_empty(client.Spool()) &&
                   ReadFile(server.Root() + "/data.bin") == bytes;
        },
        60000);
    EXPECT_TRUE(cycled) << client.LogText();
    EXPECT_EQ(keys, (std::vector<std::string>{"1", "0", "1"}));
    EXPECT_EQ(ReadFile(server.Root() + "/data.bin"), bytes);
    EXPECT_TRUE(fs::is_empty(client.Spool()));
}

// Without a display, and without Qt's offscreen platform: printing needs no window.
TEST(CompanionOptions, HelpAndVersionPrintAndExit) {
    for (const auto& [option, shown] : {std::pair{"--help", "Usage: SpoolBay"}, {"--version", "SpoolBay 1."}}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        p.setProcessEnvironment(env);
        p.start(QString::fromStdString(std::string(VOLLUM_BINARY_DIR) + "/SpoolBay"), {option});
        ASSERT_TRUE(p.waitForFinished(10000)) << option;
        EXPECT_EQ(p.exitCode(), 0) << option;
        EXPECT_TRUE(p.readAllStandardOutput().startsWith(shown)) << option;
    }
}

}  // namespace
}  // namespace vollum::test
