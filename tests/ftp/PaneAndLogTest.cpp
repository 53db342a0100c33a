// The output pane (raw text in, lines out) and VOLLUM.LOG records.
#include <clocale>
#include <regex>

#include "common/Helpers.h"
#include "config/StartupReading.h"
#include "platform/LocalFiles.h"
#include "support/SessionFixture.h"

namespace vollum::test {
namespace {

using Lines = std::vector<std::string>;

class PaneAndLog : public SessionFixture {};

TEST_F(PaneAndLog, paneLinesEndAtLineFeedKeepCarriageReturnAndDropNul) {
    session->ShowText("abc");
    session->ShowText("\n");  // one character: ignored, so "abc" stays pending
    EXPECT_TRUE(PaneLines().empty());
    session->ShowText("\r\n");
    const char raw[] =
        "2\0"
        "20 Re\0ady\r\none\n";
    session->ShowText(std::string(raw, sizeof raw - 1));
    session->ShowLine("%s has %d files, 100%%", {"dir %d", 3});
    EXPECT_EQ(PaneLines(), (Lines{"abc\r", "220 Ready\r", "one", "dir %d has 3 files, 100%\r"}));
    EXPECT_EQ(session->Output().PendingLine(), "");
}

TEST_F(PaneAndLog, fullPaneIsClearedWithANoticeAndTheLineIsLost) {
    int cleared = 0;
    session->Pane().OnCleared = [&cleared] { ++cleared; };
    session->Pane().SetCapacity(100);
    for (int i = 0; i < 4; ++i) session->ShowLine("%s", {std::string(20, 'x')});
    session->ShowLine("lost line");
    session->ShowLine("after");
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(PaneLines(), (Lines{"Cleared output area due to limited  resources", "after\r"}));
}

TEST_F(PaneAndLog, aLineLongerThanThePaneIsLostWithoutBeingHeld) {
    session->Pane().SetCapacity(100);
    session->ShowLine("before");
    for (int i = 0; i < 50; ++i) session->ShowText(std::string(255, 'y'));
    EXPECT_LE(session->Output().PendingLine().size(), 100u);
    session->ShowText("tail\r\nnext\r\n");
    EXPECT_EQ(PaneLines(), (Lines{"Cleared output area due to limited  resources", "next\r"}));
}

TEST_F(PaneAndLog, logRecordsCarryDateAndTimeAndTheNextRunAppends) {
    const std::string before = SessionLog::TimeStamp();
    session->LogLine("Connect ftp.example.com");
    TFtpSession nextRun(prompts);
    nextRun.Settings = session->Settings;
    nextRun.ApplySettings();
    nextRun.LogLine("QUIT");
    const std::string after = SessionLog::TimeStamp();
    const std::string log = LogText();
    if (before == after) EXPECT_EQ(log, before + " Connect ftp.example.com\r\n" + before + " QUIT\r\n");
    else EXPECT_TRUE(std::regex_match(log, std::regex(".+ Connect ftp\\.example\\.com\r\n.+ QUIT\r\n"))) << log;

    // Short date, blank, long time: in the C locale "12/31/26 23:59:58".
    const std::string saved = std::setlocale(LC_TIME, nullptr);
    std::setlocale(LC_TIME, "C");
    const std::string stamp = SessionLog::TimeStamp();
    std::setlocale(LC_TIME, saved.c_str());
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d)"))) << stamp;
}

TEST_F(PaneAndLog, useLogFileZeroWritesNothingAndTwoLogsAsOneDoes) {
    auto loadProfile = [this](const std::string& useLogFile) {
        WriteFile(dir / "VOLLUM.INI",
                  "[options]\r\nEditor=ed\r\n[LastUsed]\r\nNAME=p\r\n[p]\r\nFtpTimeOut=5\r\n"
                  "ConnectionTimeOut=5\r\nUseLogFile=" +
                      useLogFile + "\r\n");
        StartupValues values;
        ReadStartupValues(dir.Path(), prompts, values);
        session->Settings = values;
        session->ApplySettings();
    };
    loadProfile("0");
    session->LogLine("Connect h");
    session->Control().SocketErrorOccurred(10054, "Connection reset by peer");
    EXPECT_FALSE(LocalFileExists(session->Output().LogPath()));
    loadProfile("2");
    session->LogLine("Connect h");
    EXPECT_NE(LogText().find(" Connect h\r\n"), std::string::npos);
}

}  // namespace
}  // namespace vollum::test
