// The spool run in-process against a scripted server: a spool file is deleted
// only when the server confirmed its store and the file did not change
// meanwhile; a connection lost during login ends the run quietly.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "config/TIniFile.h"
#include "ftp/TFtpSession.h"
#include "support/FakeFtpServer.h"
#include "support/SessionFixture.h"
#include "unattended/TUnattended.h"

namespace vollum::test {

namespace fs = std::filesystem;

class SpoolRunInProcess : public SessionFixture {
protected:
    SpoolRunInProcess() {
        fs::create_directories(dir / "COPY");
        auto& v = session->Settings;
        v.HostName = "127.0.0.1";
        v.UserName = "u";
        v.Password = "p";
        v.TypeCommand = "TYPE I";
        v.SpoolRequested = true;
    }
    void Login() { server.Reply("220 hi").Expect("USER").Reply("331 pw").Expect("PASS").Reply("230 ok"); }
    void Store(FakeFtpServer::Step beforeFinalReply, const std::string& finalReply) {
        server.Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok").Expect("STOR").Reply("150 go");
        server.ReceiveData().Do(beforeFinalReply).Reply(finalReply);
    }
    void RunSpool(bool endExpected = true) {
        server.Start();
        session->Settings.Port = server.PortText();
        TUnattended runs(*session);
        runs.Dispatch();
        server.Finish();
        EXPECT_EQ(server.Failure(), "");
        EXPECT_EQ(runs.EndRequested, endExpected);
        EXPECT_EQ(runs.ConnectionFailed, !endExpected);
    }
    static void Nothing(FakeFtpServer::Context&) {}

    FakeFtpServer server;
    std::string spool = dir / "COPY";
};

TEST_F(SpoolRunInProcess, ConfirmedStoreDeletesTheFile) {
    const std::string name = "-a 100%s \xff.txt";  // every byte goes to the wire as it is
    WriteFile(spool + "/" + name, "abc");
    Login();
    // A name that is not UTF-8 asks what the server makes of names first.
    server.Expect("FEAT").Reply("502 no");
    Store(Nothing, "226 done");
    server.Expect("SIZE").Reply("213 3");
    RunSpool();
    EXPECT_EQ(server.Commands().back(), "SIZE " + name);
    EXPECT_EQ(server.DataReceived(), "abc");
    EXPECT_FALSE(fs::exists(spool + "/" + name));
}

TEST_F(SpoolRunInProcess, FailedStoreKeepsTheFileForTheNextRun) {
    WriteFile(spool + "/a.txt", "abc");
    Login();
    Store(Nothing, "451 Local error in processing");
    RunSpool();
    EXPECT_EQ(ReadFile(spool + "/a.txt"), "abc");
}

TEST_F(SpoolRunInProcess, FileWrittenToDuringItsStoreIsKept) {
    const std::string path = spool + "/a.txt";
    WriteFile(path, "abc");
    Login();
    Store([path](FakeFtpServer::Context&) { WriteFile(path, "abc and more"); }, "226 done");
    RunSpool();
    EXPECT_EQ(ReadFile(path), "abc and more");
}

TEST_F(SpoolRunInProcess, SubdirectoryWithAFailedFileStaysWhole) {
    fs::create_directories(spool + "/docs");
    WriteFile(spool + "/docs/b.txt", "bee");
    Login();
    server.Expect("PWD").Reply("257 \"/\"").Expect("MKD").Reply("257 made").Expect("CWD").Reply("250 ok");
    Store(Nothing, "451 Local error in processing");
    server.Expect("CDUP").Reply("250 ok");
    RunSpool();
    std::vector<std::string> commands = server.Commands();
    ASSERT_EQ(commands.size(), 9u);
    commands[6] = commands[6].substr(0, 5);
    EXPECT_EQ(commands, (std::vector<std::string>{"USER u", "PASS p", "PWD", "MKD docs", "CWD docs", "TYPE I", "PORT ",
                                                  "STOR b.txt", "CDUP"}));
    EXPECT_EQ(ReadFile(spool + "/docs/b.txt"), "bee");
    EXPECT_TRUE(prompts.shown.empty()) << prompts.Texts()[0];
    EXPECT_EQ(TIniFile(dir / "VOLLUM.INI").ReadString("SpoolBay", "Executed", ""), "0");
}

TEST_F(SpoolRunInProcess, ConnectionLostDuringLoginEndsTheRunWithoutAnError) {
    WriteFile(spool + "/a.txt", "abc");
    server.Reply("220 hi").Expect("USER").CloseControl();
    RunSpool(false);
    EXPECT_TRUE(fs::exists(spool + "/a.txt"));
    const std::string log = LogText();
    EXPECT_NE(log.find(" Connection Failed\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" Finished sending files\r\n"), std::string::npos) << log;
    EXPECT_TRUE(prompts.shown.empty()) << prompts.Texts()[0];
}

TEST_F(SpoolRunInProcess, BinaryStoreIsDeletedOnlyWhenTheServerReportsTheWholeSize) {
    struct Case {
        std::string type, sizeReply;  // sizeReply "" : no SIZE may be sent
        bool drop, deleted;
    };
    for (const Case& c : std::vector<Case>{{"TYPE I", "213 3", false, true},
                                           {"TYPE I", "213 2", false, false},  // a data connection cut short
                                           {"TYPE I", "550 No such file", false, false},
                                           {"TYPE I", "213 3x", false, false},
                                           {"TYPE I", "502 Command not implemented", false, true},
                                           {"TYPE A", "", false, true},
                                           {"TYPE I", "", true, false}}) {
        SCOPED_TRACE(c.type + " " + c.sizeReply);
        const std::string path = spool + "/a.txt";
        WriteFile(path, "abc");
        FakeFtpServer s;
        s.Reply("220 hi").Expect("USER").Reply("331 pw").Expect("PASS").Reply("230 ok");
        s.Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok").Expect("STOR").Reply("150 go");
        s.ReceiveData().Reply("226 done");
        if (!c.sizeReply.empty()) s.Expect("SIZE a.txt").Reply(c.sizeReply);
        s.Start();
        auto& v = session->Settings;
        v.Port = s.PortText();
        v.TypeCommand = c.type;
        v.SpoolRequested = !c.drop;
        TUnattended runs(*session);
        if (c.drop) runs.Arguments = {path};
        runs.Dispatch();
        s.Finish();
        EXPECT_EQ(s.Failure(), "");
        EXPECT_EQ(s.Commands().back(), c.sizeReply.empty() ? "STOR a.txt" : "SIZE a.txt");
        EXPECT_EQ(fs::exists(path), !c.deleted);
        EXPECT_EQ(runs.SomethingKept, !c.deleted && !c.drop);
        session->Quit();
    }
    EXPECT_NE(LogText().find("Kept " + spool + "/a.txt: the server holds 2 of 3 bytes\r\n"), std::string::npos)
        << LogText();
}

TEST_F(SpoolRunInProcess, ReplyAfterA426IsNotTakenForTheAnswerToTheRerun) {
    session->Settings.TypeCommand = "TYPE A";
    WriteFile(spool + "/a.txt", "abc");
    Login();
    Store(Nothing, "426 Connection closed; transfer aborted.\r\n226 Transfer complete.");
    // The type stands: the re-run starts with PORT.
    server.Expect("PORT").Reply("200 port again").Expect("STOR").Reply("150 go");
    server.ReceiveData().Reply("226 done");
    RunSpool();
    EXPECT_FALSE(fs::exists(spool + "/a.txt"));
    const auto pane = PaneLines();
    const auto at = std::find(pane.begin(), pane.end(), "226 Transfer complete.\r");
    ASSERT_NE(at, pane.end());
    EXPECT_EQ((at + 1)->rfind("PORT ", 0), 0u) << *(at + 1);
    EXPECT_EQ(*(at + 2), "200 port again\r");
}

TEST_F(SpoolRunInProcess, FailedCdupReturnsToTheStartDirectoryBeforeStoringMore) {
    // Two trees in whatever order the directory lists them: the first one's
    // CDUP fails, so the run goes back by absolute path before the second.
    session->Settings.TypeCommand = "TYPE A";
    for (const bool returnWorks : {true, false}) {
        SCOPED_TRACE(returnWorks);
        fs::remove_all(spool);
        PutFile(spool + "/d1/x.txt", "x"), PutFile(spool + "/d2/y.txt", "y");
        FakeFtpServer s;
        s.Reply("220 hi").Expect("USER").Reply("331 pw").Expect("PASS").Reply("230 ok");
        s.Expect("PWD").Reply("257 \"/in \"\"q\"\"\" is current").Expect("MKD").Reply("257 made");
        s.Expect("CWD").Reply("250 ok");
        s.Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok").Expect("STOR").Reply("150 go");
        s.ReceiveData().Reply("226 done").Expect("CDUP").Reply("550 no");
        s.Expect("CWD /in \"q\"").Reply(returnWorks ? "250 back" : "550 gone");
        if (returnWorks) {
            s.Expect("PWD")
                .Reply("257 \"/in \"\"q\"\"\"")
                .Expect("MKD")
                .Reply("257 made")
                .Expect("CWD")
                .Reply("250 ok");
            s.Expect("PORT").Reply("200 ok").Expect("STOR").Reply("150 go");  // the type stands
            s.ReceiveData().Reply("226 done").Expect("CDUP").Reply("250 up");
        }
        s.Start();
        session->Settings.Port = s.PortText();
        TUnattended runs(*session);
        runs.Dispatch();
        s.Finish();
        EXPECT_EQ(s.Failure(), "");
        EXPECT_EQ(s.Commands().size(), returnWorks ? 16u : 10u);
        EXPECT_TRUE(runs.SomethingKept);
        // The tree whose CDUP failed stays; a tree sent whole is removed.
        EXPECT_EQ(fs::exists(spool + "/d1") + fs::exists(spool + "/d2"), returnWorks ? 1 : 2);
        session->Quit();
    }
}

}  // namespace vollum::test
