// The built program in spool mode, without a display, against a real FTP server.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/PyFtpServer.h"
#include "support/VollumRun.h"

namespace vollum::test {

namespace fs = std::filesystem;

namespace {

// The lines of `all` for the given relative paths.
std::vector<std::string> Only(const std::vector<std::string>& all, const std::vector<std::string>& paths) {
    std::vector<std::string> out;
    for (const auto& line : all)
        for (const auto& p : paths)
            if (line.compare(2, p.size() + 1, p + " ") == 0 || line.substr(2) == p) out.push_back(line);
    return out;
}

size_t LogPos(const std::string& log, const std::string& record) { return log.find(" " + record + "\r\n"); }

}  // namespace

class SpoolRun : public ::testing::Test {
protected:
    PyFtpServer server;
    VollumProgramDir program;
    std::string S = program.Spool();
};

TEST_F(SpoolRun, SendsTheWholeSpoolAndDeletesOnlyWhatWasStored) {
    PutFile(S + "/a.txt", "alpha\r\n");
    PutFile(S + "/.profile", "a dot-file at the top goes like any file\n");
    PutFile(S + "/my file 100%.txt", RandomBytes(70000, 7));
    PutFile(S + "/-dash", "leading dash");
    // UTF-8: the server decodes names as UTF-8 and would store other bytes changed.
    PutFile(S + "/gr\xc3\xbc\xc3\x9f"
                "e.txt",
            "non-ASCII bytes");
    PutFile(S + "/docs/b.txt", "bee");
    PutFile(S + "/docs/locked.txt", "read-only below the top");
    ::chmod((S + "/docs/locked.txt").c_str(), 0444);
    PutFile(S + "/docs/sub/deep/c.bin", RandomBytes(1300, 3));
    fs::create_directories(S + "/empty");
    PutFile(S + "/top-locked.txt", "read-only at the top");
    ::chmod((S + "/top-locked.txt").c_str(), 0444);
    PutFile(S + "/keep/k.txt", "k");
    PutFile(S + "/keep/.dot", "a dot-file below the top is sent but never deleted");
    // The server already has docs: the run enters it and merges.
    PutFile(server.Root() + "/docs/old.txt", "old");

    std::vector<std::string> expected = TreeListing(S);
    const std::vector<std::string> before = expected;
    expected.push_back(TreeListing(server.Root())[1]);  // docs/old.txt
    std::sort(expected.begin(), expected.end());

    program.WriteIni(server.Port(), server.User(), server.Password(), true);
    const VollumResult r = program.Run();
    ASSERT_EQ(r.exitCode, 0) << r.stderrText;

    EXPECT_EQ(TreeListing(server.Root()), expected);
    EXPECT_EQ(TreeListing(S), Only(before, {"keep", "keep/.dot", "top-locked.txt"}));
    EXPECT_EQ(program.IniValue("SpoolBay", "Executed"), "0");

    const std::string log = program.LogText();
    for (const char* record : {"Connected to 127.0.0.1 as user", "PWD", "MakeDirectory empty", "ChangeDirectory empty",
                               "Total bytes written to remote host :70000"})
        EXPECT_NE(LogPos(log, record), std::string::npos) << record << "\n" << log;
    EXPECT_NE(LogPos(log, "Putfile " + S + "/a.txt"), std::string::npos) << log;
    // Within a tree the walk goes depth first.
    const std::vector<std::string> inOrder = {
        "MakeDirectory docs",  "ChangeDirectory docs", "Putfile b.txt", "Makedirectory sub",
        "Changedirectory sub", "Makedirectory deep",   "Putfile c.bin", "CDUP"};
    size_t at = 0;
    for (const auto& record : inOrder) {
        const size_t pos = log.find(" " + record + "\r\n", at);
        ASSERT_NE(pos, std::string::npos) << record << "\n" << log;
        at = pos;
    }
    EXPECT_EQ(LogPos(log, "Finished sending files") + std::string(" Finished sending files\r\n").size(), log.size());
    // The removal names each directory and reports the dot-file it leaves.
    for (const char* notice : {"Vollum: docs\n", "Vollum: empty\n", "Vollum: keep\n", "RmDir failed"})
        EXPECT_NE(r.stderrText.find(notice), std::string::npos) << notice << "\n" << r.stderrText;
}

TEST_F(SpoolRun, LinksAreNeverFollowedIntoDirectories) {
    TempDir outside;
    PutFile(outside / "secret.txt", "must stay where it is");
    PutFile(outside / "target.txt", "content of the linked file");
    ::chmod((outside / "target.txt").c_str(), 0444);
    PutFile(S + "/tree/inner.txt", "inner");
    fs::create_directory_symlink(outside.Path(), S + "/tree/out");
    fs::create_directory_symlink(outside.Path(), S + "/dirlink");
    fs::create_symlink(outside / "target.txt", S + "/filelink");
    const auto outsideBefore = TreeListing(outside.Path());
    // The file link leads out of the spool: kept like the rest.
    const std::vector<std::string> localAfter = TreeListing(S);

    program.WriteIni(server.Port(), server.User(), server.Password(), true);
    const VollumResult r = program.Run();
    ASSERT_EQ(r.exitCode, 5) << r.stderrText;  // the tree with the link stays

    const auto remote = TreeListing(server.Root());
    EXPECT_EQ(remote.size(), 2u) << ::testing::PrintToString(remote);
    EXPECT_EQ(Only(remote, {"tree", "tree/inner.txt"}).size(), 2u);
    // The tree holding a link it could not send stays whole.
    EXPECT_EQ(TreeListing(S), localAfter);
    EXPECT_EQ(TreeListing(outside.Path()), outsideBefore);
    EXPECT_EQ(fs::status(outside / "target.txt").permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST_F(SpoolRun, RefusedLoginEndsWithCode1AndDeletesNothing) {
    PutFile(S + "/a.txt", "a");
    PutFile(S + "/d/b.txt", "b");
    const auto before = TreeListing(S);
    program.WriteIni(server.Port(), server.User(), "wrong", true);
    const VollumResult r = program.Run();
    EXPECT_EQ(r.exitCode, 1) << r.stderrText;
    EXPECT_NE(r.stderrText.find("Error loggin in as user access denied or password incorrect"), std::string::npos);
    EXPECT_EQ(TreeListing(S), before);
    EXPECT_EQ(program.IniValue("SpoolBay", "Executed"), "1");
    EXPECT_TRUE(TreeListing(server.Root()).empty());
}

TEST_F(SpoolRun, ServerDownEndsWithCode3AndDeletesNothing) {
    PutFile(S + "/a.txt", "a");
    PutFile(S + "/d/b.txt", "b");
    const auto before = TreeListing(S);
    program.WriteIni(UnusedPort(), "user", "secret", true);
    const VollumResult r = program.Run();
    EXPECT_EQ(r.exitCode, 3) << r.stderrText;
    EXPECT_NE(r.stderrText.find("Connection to 127.0.0.1 failed"), std::string::npos) << r.stderrText;
    EXPECT_EQ(TreeListing(S), before);
    const std::string log = program.LogText();
    EXPECT_LT(LogPos(log, "Connection to 127.0.0.1failed"), LogPos(log, "Finished sending files")) << log;
    EXPECT_NE(LogPos(log, "Finished sending files"), std::string::npos);
    EXPECT_EQ(program.IniValue("SpoolBay", "Executed"), "0");
}

TEST_F(SpoolRun, TimeOutThatIsNoNumberEndsWithCode4AndKeepsTheKeyArmed) {
    PutFile(S + "/a.txt", "a");
    program.WriteIni(server.Port(), server.User(), server.Password(), true, {{"FtpTimeOut", "abc"}});
    const VollumResult r = program.Run();
    EXPECT_EQ(r.exitCode, 4) << r.stderrText;
    EXPECT_NE(r.stderrText.find("'abc' is not a valid integer value"), std::string::npos) << r.stderrText;
    EXPECT_TRUE(fs::exists(S + "/a.txt"));
    EXPECT_EQ(program.IniValue("SpoolBay", "Executed"), "1");
}

TEST_F(SpoolRun, WithoutADisplayInteractiveUseEndsWithCode2) {
    program.WriteIni(server.Port(), server.User(), server.Password(), false);
    VollumResult r = program.Run();
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.stderrText.find("Vollum: no display; nothing to do in interactive mode"), std::string::npos);

    // Arguments without a configured server: the warning, and still nothing to do.
    PutFile(program.Path() + "/drop.txt", "d");
    program.WriteIni(server.Port(), server.User(), server.Password(), false, {}, false);
    r = program.Run({program.Path() + "/drop.txt"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.stderrText.find("There is no server in configuration, Please choose setup"), std::string::npos);
    EXPECT_TRUE(TreeListing(server.Root()).empty());
}

}  // namespace vollum::test
