// ReceiveData against the fake server: retrieve, view and listing, the
// announced size, refusals that keep the local file, and Cancel.
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QThread>
#include <filesystem>
#include <utility>

#include "TransferTestSupport.h"
#include "common/Terminate.h"

namespace vollum::test {
namespace {

Lines DirectoryEntries(const std::string& dir) {
    Lines names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Receive : public TransferFixture {
protected:
    // TYPE and PORT accepted, then `command` answered with `reply`.
    static FakeFtpServer& Begin(FakeFtpServer& s, const std::string& command, const std::string& reply) {
        s.Reply("220 hi").Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok");
        return s.Expect(command).Reply(reply);
    }
    // An editor that writes the name it was given into files/"opened" (which
    // appears only once written: the editor runs on its own).
    std::string RecordingEditor() {
        const std::string script = files / "editor.sh";
        WriteFile(script, "#!/bin/sh\nprintf '%s' \"$1\" > '" + (files / "opening") + "' && mv '" +
                              (files / "opening") + "' '" + (files / "opened") + "'\n");
        ::chmod(script.c_str(), 0755);
        return script;
    }
    std::string WaitForEditor() {
        QElapsedTimer clock;
        clock.start();
        while (!LocalFileExists(files / "opened") && clock.elapsed() < 60000) QThread::msleep(10);
        return LocalFileExists(files / "opened") ? ReadFile(files / "opened") : std::string();
    }
    static bool LocalFileExists(const std::string& path) { return std::filesystem::exists(path); }
    TempDir files;
};

TEST_F(Receive, replyFileSizeReadsTheCountAfterTheParenthesis) {
    struct Case {
        std::string line;
        int size;
    };
    const Case cases[] = {
        {"150 Opening BINARY mode data connection for a.zip (20480 bytes).\r\n", 20480},
        {"150 Opening data connection.\r\n", 0},
        {"150 x (many bytes)\r\n", 0},
        {"150 x (123)\r\n", 0},  // the count runs to the next blank
        {"150 x (7 bytes) (9 bytes)\r\n", 7},
        {"150 x (-5 bytes)\r\n", 0},  // found by the fuzzer: no size is negative
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RetrieveOperation::ReplyFileSize(c.line), c.size) << c.line;
    }
}

TEST_F(Receive, everyTypeWritesTheBytesAsReceived) {
    for (const std::string type : {"TYPE A", "TYPE I", "TYPE E"}) {
        const std::string bytes = RandomBytes(70001, 11);
        FakeFtpServer s;
        Begin(s, "RETR", "150 go").SendData(bytes, 997).Reply("226 done");
        Open(s);
        session->ReceiveData("remote.dat", files / "local.dat", type);
        s.Finish();
        EXPECT_EQ(s.Commands().front(), type);
        EXPECT_EQ(s.Commands().back(), "RETR remote.dat");
        EXPECT_TRUE(ReadFile(files / "local.dat") == bytes) << type;
        EXPECT_EQ(DirectoryEntries(files.Path()), (Lines{"local.dat"}));
        session->Quit();
    }
}

TEST_F(Receive, announcedSizeShowsTheMeterFromTheFirstBlock) {
    FakeFtpServer s;
    Begin(s, "RETR", "150 Opening BINARY mode data connection for a.zip (20480 bytes).")
        .SendData(std::string(20480, 'a'))
        .Reply("226 done");
    Open(s);
    session->ReceiveData("a.zip", files / "a.zip", "TYPE I");
    s.Finish();
    ASSERT_FALSE(meter.titles.empty());
    EXPECT_EQ(meter.titles.back(), "100% Complete");
    EXPECT_EQ(meter.bytesWritten, "20480 of 20480");
    EXPECT_FALSE(meter.visible);
    // The pane says where the whole file went.
    EXPECT_EQ(PaneLines().back(), "Wrote " + (files / "a.zip") + " (20480 bytes)\r");
}

// A retrieve after a store: the meter shows the retrieve's own name, speed and
// time left, nothing the store left there.
TEST_F(Receive, meterShowsTheRetrievesOwnFileSpeedAndTimeLeft) {
    meter.status = "Sending file: My Photo.JPG";
    meter.speed = "99.00 kb/s";
    meter.timeLeft = "07:00 min";
    FakeFtpServer s;
    // Two seconds and more, so that a speed can be figured in whole seconds.
    Begin(s, "RETR", "150 Opening BINARY mode data connection for big.bin (20480 bytes).")
        .SendData(std::string(20480, 'b'), 2048, 250)
        .Reply("226 done");
    Open(s);
    session->ReceiveData("big.bin", files / "big.bin", "TYPE I");
    s.Finish();
    EXPECT_EQ(meter.status, "Receiving file: big.bin");
    EXPECT_EQ(meter.bytesWritten, "20480 of 20480");
    ASSERT_GT(meter.speed.size(), 5u);
    EXPECT_NE(meter.speed, "99.00 kb/s");
    EXPECT_EQ(meter.speed.substr(meter.speed.size() - 5), " kb/s");
    EXPECT_EQ(meter.timeLeft, "00:00 min");
}

TEST_F(Receive, unannouncedSizeShowsNoMeter) {
    FakeFtpServer s;
    Begin(s, "RETR", "150 Opening BINARY mode data connection.").SendData(std::string(5000, 'a')).Reply("226 done");
    Open(s);
    session->ReceiveData("a", files / "a", "TYPE I");
    s.Finish();
    EXPECT_TRUE(meter.titles.empty());
    EXPECT_EQ(ReadFile(files / "a"), std::string(5000, 'a'));
}

TEST_F(Receive, aBinaryCountOtherThanTheAnnouncedOneNeverReplacesTheTarget) {
    struct Case {
        std::string type;
        size_t sent;
        bool replaced;
    };
    const std::string announce = "150 Opening BINARY mode data connection for r (1000 bytes).";
    const Case cases[] = {
        {"TYPE I", 1000, true},
        {"TYPE I", 600, false},
        {"TYPE I", 1200, false},
        {"TYPE A", 600, true},  // line ends may change on the way: the size is no measure
    };
    for (const Case& c : cases) {
        WriteFile(files / "keep", "old content");
        const std::string bytes = RandomBytes(c.sent, 2);
        FakeFtpServer s;
        Begin(s, "RETR", announce).SendData(bytes).Reply("226 done");
        Open(s);
        const size_t logBefore = LogText().size(), before = PaneLines().size();
        session->ReceiveData("r", files / "keep", c.type);
        s.Finish();
        EXPECT_EQ(ReadFile(files / "keep"), c.replaced ? bytes : "old content") << c.type << " " << c.sent;
        const std::string line =
            c.sent > 1000 ? "Received " + std::to_string(c.sent) + " bytes, more than the 1000 the server announced"
                          : "Received " + std::to_string(c.sent) + " of 1000 bytes: the data connection was cut short";
        EXPECT_EQ(Contains(PaneFrom(before), line + "\r"), !c.replaced) << c.type << " " << c.sent;
        EXPECT_EQ(Contains(LogText().substr(logBefore), line), !c.replaced);
        EXPECT_EQ(DirectoryEntries(files.Path()), (Lines{"keep"}));
        session->Quit();
    }
}

TEST_F(Receive, refusedRetrLeavesExistingFileUntouched) {
    WriteFile(files / "keep", "old content");
    FakeFtpServer s;
    Begin(s, "RETR", "550 No such file.");
    Open(s);
    session->ReceiveData("gone", files / "keep", "TYPE I");
    s.Finish();
    EXPECT_EQ(ReadFile(files / "keep"), "old content");
    EXPECT_EQ(DirectoryEntries(files.Path()), (Lines{"keep"}));
    EXPECT_EQ(PaneLines().back(), "Could not retrieve file\r");
    EXPECT_FALSE(session->Data().Listening());
}

TEST_F(Receive, brokenRetrieveLeavesExistingFileUntouched) {
    WriteFile(files / "keep", "old content");
    FakeFtpServer s;
    Begin(s, "RETR", "150 go").SendData("partial").Reply("426 Connection closed; transfer aborted.");
    Open(s);
    session->ReceiveData("r", files / "keep", "TYPE I");
    s.Finish();
    EXPECT_EQ(ReadFile(files / "keep"), "old content");
    EXPECT_EQ(DirectoryEntries(files.Path()), (Lines{"keep"}));
}

TEST_F(Receive, unwritableTargetIsRefusedBeforeAnythingIsSent) {
    FakeFtpServer s;
    s.Reply("220 hi");
    Open(s);
    session->ReceiveData("r", files / "no-such-dir/f", "TYPE I");
    s.Finish();
    EXPECT_TRUE(s.Commands().empty());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Could not open file");
    EXPECT_EQ(prompts.shown[0].title, "_lopen error");
    EXPECT_TRUE(Contains(LogText(), "Could not open file\r\n"));
}

TEST_F(Receive, cancelSendsAborAsUrgentDataAndKeepsTheOldFile) {
    WriteFile(files / "keep", "old content");
    auto abor = std::make_shared<Collected>();
    FakeFtpServer s;
    Begin(s, "RETR", "150 go (100000 bytes)")
        .SendData(std::string(100000, 'z'), 1000, 1)
        .Do(ReadUrgentAbort(abor))
        .Reply("426 Transfer aborted.")
        .Reply("226 ABOR successful.");
    Open(s);
    OnceWhen cancel([this] { return DataConnected(); }, [this] { session->Control().RequestAbort(); });
    session->ReceiveData("r", files / "keep", "TYPE I");
    s.Finish();
    EXPECT_EQ(s.Failure(), "");
    EXPECT_EQ(abor->Get(), "ABOR\r\n");
    const Lines pane = PaneLines();
    EXPECT_EQ(Lines(pane.end() - 2, pane.end()), (Lines{"426 Transfer aborted.\r", "226 ABOR successful.\r"}));
    EXPECT_EQ(ReadFile(files / "keep"), "old content");
    EXPECT_EQ(DirectoryEntries(files.Path()), (Lines{"keep"}));
}

// A link (relative, or one that points at nothing yet) keeps pointing where it
// did; the file it names gets the bytes and keeps its mode. The meter's Cancel
// ends the program inside the transfer, past every destructor: the temporary
// file is already gone then.
TEST_F(Receive, retrieveIntoALinkReplacesItsTargetAndCancelLeavesNothingBehind) {
    namespace fs = std::filesystem;
    fs::create_directory(files / "real");
    WriteFile(files / "real/old.txt", "old content");
    ::chmod((files / "real/old.txt").c_str(), 0640);
    fs::create_symlink("real/old.txt", files / "link");
    fs::create_symlink("real/new.txt", files / "dangling");
    for (const char* name : {"link", "dangling"}) {
        FakeFtpServer s;
        Begin(s, "RETR", "150 go").SendData(std::string("from ") + name).Reply("226 done");
        Open(s);
        session->ReceiveData("r", files / name, "TYPE I");
        s.Finish();
        EXPECT_TRUE(fs::is_symlink(files / name)) << name;
        EXPECT_EQ(ReadFile(files / name), std::string("from ") + name);
        session->Quit();
    }
    struct stat st {};
    ASSERT_EQ(::stat((files / "real/old.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    struct CancellingMeter : RecordingMeter {
        std::function<void()> onProgress;
        void SetBytesWritten(const std::string&) override {
            if (onProgress) std::exchange(onProgress, nullptr)();
        }
    } cancelling;
    cancelling.onProgress = [this] { session->MeterCancel(); };
    session->SetMeter(&cancelling);
    Lines atEnd;
    const TerminateHandler caught = SetTerminateHandler({});
    SetTerminateHandler([&](int code) {
        atEnd = DirectoryEntries(files / "real");
        caught(code);
    });
    FakeFtpServer s;
    Begin(s, "RETR", "150 go (100000 bytes)").SendData(std::string(100000, 'z'), 1000, 1).Reply("226 done");
    Open(s);
    EXPECT_THROW(session->ReceiveData("r", files / "link", "TYPE I"), ProgramEnded);
    SetTerminateHandler(caught);
    s.Finish();
    EXPECT_EQ(atEnd, (Lines{"new.txt", "old.txt"}));
    EXPECT_EQ(ReadFile(files / "link"), "from link");
}

TEST_F(Receive, listingIntoThePaneKeepsLinesSplitAcrossBlocks) {
    const std::string longLine = "-rw-r--r-- 1 u g " + std::string(300, 'n');
    FakeFtpServer s;
    Begin(s, "LIST", "150 Here (999 bytes)").SendData("a.txt\r\n" + longLine + "\r\nb.txt\r\n", 100).Reply("226 done");
    Open(s);
    const size_t first = PaneLines().size();
    session->ListDirectory("LIST %s", {"*%d.txt"});
    s.Finish();
    EXPECT_EQ(s.Commands().front(), "TYPE A");
    EXPECT_EQ(s.Commands().back(), "LIST *%d.txt");
    const Lines pane = PaneFrom(first);
    EXPECT_EQ(Lines(pane.end() - 5, pane.end()),
              (Lines{"150 Here (999 bytes)\r", "a.txt\r", longLine + "\r", "b.txt\r", "226 done\r"}));
    EXPECT_TRUE(meter.titles.empty());
}

TEST_F(Receive, separateListingGoesToATemporaryFileForTheEditor) {
    InDirectory here(files.Path());
    session->Settings.DirSep = "1";
    session->Settings.Editor = RecordingEditor();
    const std::string listing = "a.txt\r\nb.txt\r\n";
    FakeFtpServer s;
    s.Reply("220 hi").Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok");
    s.Expect("PWD").Reply("257 \"/pub\" is the current directory.");
    s.Expect("LIST").Reply("150 here").SendData(listing).Reply("226 done");
    Open(s);
    session->ListDirectory("LIST");
    s.Finish();
    EXPECT_EQ(s.Failure(), "");
    const std::string opened = WaitForEditor();
    ASSERT_EQ(opened.rfind(files.Path() + "/LST", 0), 0u) << opened;
    EXPECT_EQ(ReadFile(opened), "257 \"/pub\" is the current directory.\r\nLIST\r\n" + listing);
    EXPECT_EQ(PaneLines().back(), "226 done\r");
}

}  // namespace
}  // namespace vollum::test
