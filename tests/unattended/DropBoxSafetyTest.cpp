// The built program, without a display, against names and servers that try
// to lose files: every such file stays in the spool and the exit code says so.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/FakeFtpServer.h"
#include "support/PyFtpServer.h"
#include "support/VollumRun.h"

namespace vollum::test {

namespace fs = std::filesystem;

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

void Login(FakeFtpServer& s) { s.Reply("220 hi").Expect("USER").Reply("331 pw").Expect("PASS").Reply("230 ok"); }

}  // namespace

TEST(DropBoxSafety, NamesWithLineBreaksAreKeptAndNeverSent) {
    PyFtpServer server;
    VollumProgramDir program;
    const std::string S = program.Spool();
    PutFile(server.Root() + "/keep.txt", "the server's own file");
    PutFile(S + "/x\nDELE keep.txt", "injected file");
    PutFile(S + "/d\r\nRMD sub/f.txt", "injected directory");
    PutFile(S + "/e\rDELE keep.txt", "bare CR");
    PutFile(S + "/ok.txt", "ordinary");
    program.WriteIni(server.Port(), server.User(), server.Password(), true);
    const VollumResult r = program.Run();
    EXPECT_EQ(r.exitCode, 5) << r.stderrText;
    EXPECT_EQ(TreeListing(server.Root()).size(), 2u) << ::testing::PrintToString(TreeListing(server.Root()));
    EXPECT_EQ(ReadFile(server.Root() + "/keep.txt"), "the server's own file");
    EXPECT_EQ(ReadFile(server.Root() + "/ok.txt"), "ordinary");
    EXPECT_FALSE(fs::exists(S + "/ok.txt"));
    EXPECT_EQ(TreeListing(S).size(), 4u);  // the two files, the directory and its file
    EXPECT_TRUE(Has(program.LogText(), "Kept " + S + "/x\\nDELE keep.txt: its name holds CR, LF or NUL\r\n"))
        << program.LogText();
}

TEST(DropBoxSafety, NamesThatClashWhenLowerCasedSendOnlyTheOneLowerCasingLeaves) {
    PyFtpServer server;
    VollumProgramDir program;
    const std::string S = program.Spool();
    PutFile(S + "/A.txt", "upper");
    PutFile(S + "/a.txt", "lower");
    PutFile(S + "/D/one.txt", "1");
    PutFile(S + "/d/two.txt", "2");
    program.WriteIni(server.Port(), server.User(), server.Password(), true, {{"UseLowerCase", "1"}});
    const VollumResult r = program.Run();
    EXPECT_EQ(r.exitCode, 5) << r.stderrText;
    // The name lower-casing changes would land on its sibling's: it stays, every run.
    EXPECT_EQ(ReadFile(server.Root() + "/a.txt"), "lower") << program.LogText();
    EXPECT_TRUE(fs::exists(S + "/A.txt"));
    EXPECT_FALSE(fs::exists(S + "/a.txt"));
    EXPECT_EQ(ReadFile(server.Root() + "/d/two.txt"), "2");
    EXPECT_FALSE(fs::exists(server.Root() + "/d/one.txt"));
    EXPECT_TRUE(fs::exists(S + "/D/one.txt"));
    EXPECT_TRUE(Has(program.LogText(), "A.txt: the local name a.txt goes under that remote name\r\n"));
}

TEST(DropBoxSafety, ServerBreakingEveryStoreGetsThreeRerunsWhoeverAnswers) {
    for (const char* displayError : {"0", "1"}) {
        SCOPED_TRACE(displayError);
        VollumProgramDir program;
        PutFile(program.Spool() + "/f.bin", "data");
        FakeFtpServer s;
        Login(s);
        for (int run = 0; run < 4; ++run) {
            if (run == 0) s.Expect("TYPE").Reply("200 ok");  // accepted once for the connection
            s.Expect("PORT").Reply("200 ok").Expect("STOR").Reply("150 go");
            s.ReceiveData().Reply("426 broken");
        }
        s.Start();
        program.WriteIni(s.Port(), "u", "p", true, {{"DisplayError", displayError}});
        const VollumResult r = program.Run({}, 30000);
        s.Finish();
        EXPECT_EQ(s.Failure(), "");
        EXPECT_EQ(r.exitCode, 5) << r.stderrText;
        EXPECT_EQ(s.Commands().size(), 2u + 1 + 4 * 2);  // nothing after the fourth STOR
        EXPECT_EQ(ReadFile(program.Spool() + "/f.bin"), "data");
        EXPECT_TRUE(Has(program.LogText(), "Giving up on f.bin after 3 retries")) << program.LogText();
    }
}

TEST(DropBoxSafety, ConnectionLostMidRunEndsWithCode3AndKeepsTheFiles) {
    struct Case {
        const char* what;
        std::function<void(FakeFtpServer&)> script;
    };
    const std::vector<Case> cases = {
        {"before the final reply of a store",
         [](FakeFtpServer& s) {
             s.Expect("TYPE").Reply("200 ok").Expect("PORT").Reply("200 ok").Expect("STOR").Reply("150 go");
             s.ReceiveData().CloseControl();
         }},
        {"inside a tree",
         [](FakeFtpServer& s) {
             s.Expect("PWD").Reply("257 \"/\"").Expect("MKD").Reply("257 ok").Expect("CWD").Reply("250 ok");
             s.Expect("TYPE").CloseControl();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VollumProgramDir program;
        const bool tree = std::string(c.what) == "inside a tree";
        PutFile(program.Spool() + (tree ? "/d/f.bin" : "/f.bin"), "data");
        const auto before = TreeListing(program.Spool());
        FakeFtpServer s;
        Login(s);
        c.script(s);
        s.Start();
        program.WriteIni(s.Port(), "u", "p", true);
        const VollumResult r = program.Run({}, 30000);
        s.Finish();
        EXPECT_EQ(s.Failure(), "");
        EXPECT_EQ(r.exitCode, 3) << r.stderrText;
        EXPECT_TRUE(Has(r.stderrText, "Vollum: Connection lost\n")) << r.stderrText;
        EXPECT_FALSE(Has(r.stderrText, "is not a valid integer value")) << r.stderrText;
        EXPECT_EQ(TreeListing(program.Spool()), before);
    }
}

}  // namespace vollum::test
