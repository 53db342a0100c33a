// StoreFile against the fake server: what goes on the wire, what the pane,
// log and meter show, and how 425, 426, refusals, slow servers and Cancel end it.
#include <QElapsedTimer>
#include <filesystem>
#include <fstream>

#include "TransferTestSupport.h"
#include "common/Helpers.h"
#include "common/Terminate.h"
#include "platform/LocalFiles.h"

namespace vollum::test {
namespace {

class Store : public TransferFixture {
protected:
    std::string Local(const std::string& name, const std::string& bytes) {
        const std::string path = files / name;
        WriteFile(path, bytes);
        return path;
    }
    // TYPE (unless already accepted), PORT and STOR accepted; the server
    // reads the data to its end.
    static void AcceptStore(FakeFtpServer& s, const std::string& finalReply = "226 done", bool typeSent = true) {
        if (typeSent) s.Expect("TYPE").Reply("200 type ok");
        s.Expect("PORT").Reply("200 port ok").Expect("STOR").Reply("150 go");
        s.ReceiveData().Reply(finalReply);
    }
    TempDir files;
};

TEST_F(Store, sendsTheFileAndReportsTheTotal) {
    const std::string bytes = RandomBytes(1300);
    const std::string path = Local("up.bin", bytes);
    FakeFtpServer s;
    s.Reply("220 hi");
    AcceptStore(s);
    Open(s);
    const size_t first = PaneLines().size();
    EXPECT_TRUE(session->StoreFile("TYPE I", path, "up.bin"));
    s.Finish();
    EXPECT_EQ(s.Failure(), "");
    EXPECT_EQ(s.DataReceived(), bytes);
    const Lines commands = s.Commands();
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0], "TYPE I");
    EXPECT_EQ(commands[2], "STOR up.bin");
    EXPECT_EQ(PaneFrom(first),
              (Lines{"Transferring local file: " + path + " to remote file: up.bin\r", "TYPE I\r", "200 type ok\r",
                     "PORT " + s.LastPortArgument() + "\r", "200 port ok\r", "STOR up.bin\r", "150 go\r",
                     "Total bytes written to remote host: 1300\r", "226 done\r"}));
    EXPECT_TRUE(Contains(LogText(), "Total bytes written to remote host :1300\r\n"));
    EXPECT_EQ(meter.status, "Sending file: up.bin");
    EXPECT_EQ(meter.titles.back(), "100% Complete");
    EXPECT_EQ(meter.bytesWritten, "1300 of 1300");
    EXPECT_FALSE(meter.visible);
    EXPECT_FALSE(session->Data().Listening());
    EXPECT_FALSE(session->Data().IsOpen());
}

TEST_F(Store, everyTypeSendsTheBytesUnchanged) {
    for (const std::string type : {"TYPE A", "TYPE I", "TYPE E"}) {
        const std::string bytes = RandomBytes(70001, 7);
        const std::string path = Local("any.dat", bytes);
        FakeFtpServer s;
        s.Reply("220 hi");
        AcceptStore(s);
        Open(s);
        EXPECT_TRUE(session->StoreFile(type, path, "any.dat")) << type;
        s.Finish();
        EXPECT_EQ(s.Commands().front(), type);
        EXPECT_TRUE(s.DataReceived() == bytes) << type;
        session->Quit();
    }
}

TEST_F(Store, emptyFileAndLowerCasedName) {
    session->Settings.UseLowerCase = true;
    const std::string path = Local("ReadMe.TXT", "");
    FakeFtpServer s;
    s.Reply("220 hi");
    AcceptStore(s);
    Open(s);
    EXPECT_TRUE(session->StoreFile("TYPE A", path, "ReadMe.TXT"));
    s.Finish();
    EXPECT_EQ(s.Commands().back(), "STOR readme.txt");
    EXPECT_EQ(s.DataReceived(), "");
    EXPECT_TRUE(Contains(PaneLines(), "Transferring local file: " + path + " to remote file: readme.txt\r"));
    EXPECT_TRUE(Contains(PaneLines(), "Total bytes written to remote host: 0\r"));
}

TEST_F(Store, missingLocalFileSendsNothing) {
    EXPECT_FALSE(session->StoreFile("TYPE I", files / "absent", "x"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Could not open local file");
    EXPECT_EQ(prompts.shown[0].title, "open error");
    EXPECT_TRUE(Contains(LogText(), "Could not open local file,open error"));
    EXPECT_TRUE(PaneLines().empty());
}

TEST_F(Store, reply425EndsTheProgramWithExitCodeOne) {
    session->Settings.DisplayError = true;
    const std::string path = Local("f", "data");
    FakeFtpServer s;
    s.Reply("220 hi").Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok");
    s.Expect("STOR").Reply("425 Can't open data connection.");
    Open(s);
    try {
        session->StoreFile("TYPE I", path, "f");
        FAIL() << "program did not end";
    } catch (const ProgramEnded& e) {
        EXPECT_EQ(e.exitCode, 1);
    }
    s.Finish();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "425 Can't open data connection. Shutting down");
    EXPECT_TRUE(Contains(LogText(), "425 Can't open data connection. Shutting down\r\n"));
    EXPECT_FALSE(session->TransferBusy());
}

TEST_F(Store, refusedStorEndsAtOnceWithoutWaitingForData) {
    const std::string path = Local("f", "data");
    FakeFtpServer s;
    s.Reply("220 hi").Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok");
    s.Expect("STOR").Reply("553 Not allowed.");
    Open(s);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(session->StoreFile("TYPE I", path, "f"));
    EXPECT_LT(clock.elapsed(), 1000);  // the data time-out is 2 s
    s.Finish();
    EXPECT_EQ(PaneLines().back(), "Could not store file\r");
    EXPECT_FALSE(session->Data().Listening());
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(Store, reply426RerunsTheStoreWithTheRetryStatus) {
    const std::string bytes = RandomBytes(3000, 3);
    const std::string path = Local("f", bytes);
    FakeFtpServer s;
    s.Reply("220 hi");
    AcceptStore(s, "426 Connection closed; transfer aborted.");
    AcceptStore(s, "226 done", false);
    Open(s);
    EXPECT_TRUE(session->StoreFile("TYPE I", path, "f"));
    s.Finish();
    EXPECT_EQ(s.Failure(), "");
    EXPECT_EQ(s.DataReceived(), bytes + bytes);
    EXPECT_EQ(meter.status, "Retrying to Send file: f");
    EXPECT_TRUE(Contains(LogText(), "426 Connection closed; transfer aborted.\r\n"));
    EXPECT_FALSE(session->StoreRetrying());
}

TEST_F(Store, automaticRerunsStopAfterThree) {
    const std::string path = Local("f", "abc");
    FakeFtpServer s;
    s.Reply("220 hi");
    for (int run = 0; run < 4; ++run) AcceptStore(s, "426 broken", run == 0);
    Open(s);
    EXPECT_FALSE(session->StoreFile("TYPE I", path, "f"));
    s.Finish();
    EXPECT_EQ(s.Failure(), "");
    int stors = 0;
    for (const auto& c : s.Commands()) stors += c.rfind("STOR", 0) == 0;
    EXPECT_EQ(stors, 4);
    const Lines pane = PaneLines();
    EXPECT_EQ(Lines(pane.end() - 2, pane.end()),
              (Lines{"Giving up on f after 3 retries\r", "Partial upload left on the server as f\r"}));
}

TEST_F(Store, serverThatNeverConnectsShowsOnlyTheAbortLines) {
    session->Settings.FtpTimeOut = 1;
    const std::string path = Local("f", "abc");
    auto abor = std::make_shared<Collected>();
    FakeFtpServer s;
    s.Reply("220 hi").Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok").Expect("STOR").Reply("150 go");
    s.Do(ReadUrgentAbort(abor)).Reply("225 ABOR ok");
    Open(s);
    EXPECT_FALSE(session->StoreFile("TYPE I", path, "f"));
    s.Finish();
    EXPECT_EQ(s.Failure(), "");
    EXPECT_TRUE(prompts.shown.empty()) << prompts.Texts().front();
    EXPECT_EQ(abor->Get(), "ABOR\r\n");
    const Lines pane = PaneLines();
    EXPECT_EQ(Lines(pane.end() - 4, pane.end()),
              (Lines{"225 ABOR ok\r", "\r", "Transfer aborted due to you're request\r",
                     "Partial upload left on the server as f\r"}));
    EXPECT_TRUE(Contains(LogText(), "Transfer aborted due to you're request\r\n"));
    EXPECT_FALSE(Contains(LogText(), "Total bytes"));
}

TEST_F(Store, cancelSendsAborAsUrgentData) {
    const std::string path = Local("big", RandomBytes(1 << 20));
    auto abor = std::make_shared<Collected>();
    FakeFtpServer s;
    s.Reply("220 hi").Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok").Expect("STOR").Reply("150 go");
    s.ConnectDataOnly().Do(ReadUrgentAbort(abor)).Reply("426 aborted");
    Open(s);
    OnceWhen cancel([this] { return DataConnected(); }, [this] { session->Control().RequestAbort(); });
    EXPECT_FALSE(session->StoreFile("TYPE I", path, "big"));
    s.Finish();
    EXPECT_TRUE(cancel.Fired());
    EXPECT_EQ(abor->Get(), "ABOR\r\n");
    // The urgent command is not echoed; its reply is read.
    EXPECT_FALSE(Contains(PaneLines(), "ABOR\r"));
    EXPECT_TRUE(Contains(PaneLines(), "426 aborted\r"));
    EXPECT_EQ(PaneLines().back(), "Partial upload left on the server as big\r");
    EXPECT_FALSE(meter.visible);
    EXPECT_FALSE(session->Data().IsOpen());
}

TEST_F(Store, slowServerStillReceivesEveryByte) {
    // More than the stalled server takes in, little enough that the last block
    // is handed to the socket while the server still stalls.
    const std::string bytes = RandomBytes(300000, 5);
    const std::string path = Local("f", bytes);
    auto rest = std::make_shared<Collected>();
    FakeFtpServer s;
    s.Reply("220 hi").Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok").Expect("STOR").Reply("150 go");
    s.ReceiveDataSlowly(1000, 900).Do(ReadDataToEnd(rest)).Reply("226 done");
    Open(s);
    EXPECT_TRUE(session->StoreFile("TYPE I", path, "f"));
    s.Finish();
    EXPECT_EQ(s.Failure(), "");
    EXPECT_TRUE(s.DataReceived() + rest->Get() == bytes);
}

// Grown, or cut short while it is sent.
TEST_F(Store, fileChangedDuringTheStoreIsNotComplete) {
    for (const bool shrink : {false, true}) {
        SCOPED_TRACE(shrink ? "shrunk" : "grown");
        session->Pane().Clear();
        const std::string path = Local("f", RandomBytes(shrink ? 3000000 : 100000, 9));
        auto rest = std::make_shared<Collected>();
        FakeFtpServer s;
        s.Reply("220 hi").Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok").Expect("STOR").Reply("150 go");
        s.ReceiveDataSlowly(1000, 300).Do(ReadDataToEnd(rest)).Reply("226 done");
        Open(s);
        OnceWhen change([this] { return DataConnected(); },
                        [&] {
                            if (shrink) std::filesystem::resize_file(path, 10);
                            else std::ofstream(path, std::ios::app) << "more";
                        });
        EXPECT_FALSE(session->StoreFile("TYPE I", path, "f"));
        s.Finish();
        EXPECT_TRUE(change.Fired());
        EXPECT_TRUE(Contains(PaneLines(), "Local file changed during transfer: " + path + "\r"));
        EXPECT_EQ(PaneLines().back(), "Partial upload left on the server as f\r");
        session->Quit();
    }
}

TEST_F(Store, secondRequestDuringATransferIsRefusedAndChangesNothing) {
    const std::string bytes = RandomBytes(100000, 2);
    const std::string path = Local("f", bytes);
    FakeFtpServer s;
    s.Reply("220 hi");
    AcceptStore(s);
    Open(s);
    bool refused = false;
    OnceWhen second([this] { return DataConnected(); },
                    [&] {
                        refused = session->RefuseIfBusy();
                        session->ReceiveData("other", files / "other", "TYPE I");
                        session->StoreFile("TYPE I", path, "again");
                    });
    EXPECT_TRUE(session->StoreFile("TYPE I", path, "f"));
    s.Finish();
    EXPECT_TRUE(refused);
    EXPECT_EQ(s.DataReceived(), bytes);
    EXPECT_EQ(s.Commands().size(), 3u);
    int refusals = 0;
    for (const auto& l : PaneLines()) refusals += l == "Command already in progress, request ignored\r";
    EXPECT_EQ(refusals, 3);
    EXPECT_FALSE(LocalFileExists(files / "other"));
}

TEST_F(Store, meterCancelDuringATransferEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string path = Local("big", RandomBytes(1 << 20));
    FakeFtpServer s;
    s.Reply("220 hi").Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok").Expect("STOR").Reply("150 go");
    s.ConnectDataOnly().Pause(3000);
    // Only the child runs the transfer, with the real ending of the program.
    EXPECT_EXIT(
        {
            SetTerminateHandler({});
            AddTerminateHook([this] { std::fputs(LogText().c_str(), stderr); });
            Open(s);
            OnceWhen cancel([this] { return DataConnected(); }, [this] { session->MeterCancel(); });
            session->StoreFile("TYPE I", path, "big");
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "Transfer aborted by user");
}

}  // namespace
}  // namespace vollum::test
