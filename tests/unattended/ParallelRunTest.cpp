// Spool runs over several connections (profile key Connections), the built
// program against a real FTP server that limits, cuts and slows connections.
#include <gtest/gtest.h>

#include <QProcess>
#include <QThread>
#include <filesystem>

#include "ftp/TempJournal.h"
#include "ftp/TempNames.h"
#include "support/PyFtpServer.h"
#include "support/VollumRun.h"

namespace vollum::test {

namespace fs = std::filesystem;

namespace {

struct ParallelCase {
    const char* name;
    int connections;
    std::map<std::string, std::string> server;  // ftp_server.py's environment
    bool changeOne;        // one file is written to while it is sent
    bool secondRunDuring;  // a second run starts while this one sends
    int exitCode;
    const char* record;  // a log record the run must write ("" for none)
};

std::ostream& operator<<(std::ostream& out, const ParallelCase& c) { return out << c.name; }

const std::string kChanging = "d1/sub/changing.txt";

// Nested directories, names that need care on the wire, sizes from empty to a few hundred kB.
void MakeTree(const std::string& S) {
    PutFile(S + "/a.txt", "alpha\r\n");
    PutFile(S + "/my file 100%.txt", RandomBytes(70000, 7));
    PutFile(S + "/-dash", "leading dash");
    PutFile(S + "/gr\xc3\xbc\xc3\x9f"
                "e %41.txt",
            "non-ASCII bytes and an escape look-alike");
    PutFile(S + "/empty.bin", "");
    for (int i = 0; i < 8; ++i) PutFile(S + "/d1/f" + std::to_string(i), RandomBytes(1000 * i + 1, i));
    PutFile(S + "/d1/sub/deep/c.bin", RandomBytes(200000, 3));
    PutFile(S + "/" + kChanging, "before\n");
    PutFile(S + "/d2/x y.txt", "space");
    fs::create_directories(S + "/d2/e");
    for (int i = 0; i < 6; ++i) PutFile(S + "/d3/g " + std::to_string(i), RandomBytes(5000, 10 + i));
}

std::vector<std::string> Without(std::vector<std::string> lines, const std::string& path) {
    std::erase_if(lines, [&](const std::string& l) { return l.compare(2, path.size() + 1, path + " ") == 0; });
    return lines;
}

std::vector<std::string> Below(const std::vector<std::string>& lines, const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& l : lines)
        if (l.compare(2, dir.size(), dir) == 0) out.push_back(l);
    return out;
}

size_t Count(const std::string& log, const std::string& text) {
    size_t n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
}

}  // namespace

class ParallelRun : public ::testing::TestWithParam<ParallelCase> {};

TEST_P(ParallelRun, SendsEveryFileWholeOnceAndDeletesOnlyWhatWasStored) {
    const ParallelCase& c = GetParam();
    VollumProgramDir program;
    const std::string S = program.Spool();
    MakeTree(S);
    PyFtpServerOptions options;
    options.environment = c.server;
    if (c.changeOne) options.environment["CHANGE_ON_STOR"] = "changing.txt=" + S + "/" + kChanging;
    PyFtpServer server(options);
    const std::vector<std::string> before = TreeListing(S);
    size_t files = 0;
    for (const auto& l : before) files += l[0] == 'f';

    // pyftpdlib drops a pending active-mode connect when another connection's
    // PORT arrives meanwhile, so parallel runs use passive mode against it.
    program.WriteIni(server.Port(), server.User(), server.Password(), true,
                     {{"Connections", std::to_string(c.connections)},
                      {"PassiveMode", c.connections > 1 ? "1" : "0"}});
    VollumResult r;
    if (c.secondRunDuring) {
        QProcess first;
        program.Start(first);
        // The slowed server keeps the first run at work until the second has tried.
        for (int i = 0; i < 3000 && TreeListing(server.Root()).empty(); ++i) QThread::msleep(10);
        ASSERT_FALSE(TreeListing(server.Root()).empty());
        const VollumResult second = program.Run({}, 30000);
        EXPECT_EQ(second.exitCode, 6) << second.stderrText;
        ASSERT_TRUE(first.waitForFinished(90000));
        r.exitCode = first.exitCode();
        r.stderrText = first.readAllStandardError().toStdString();
    } else {
        r = program.Run({}, 90000);
    }
    ASSERT_EQ(r.exitCode, c.exitCode) << r.stderrText << program.LogText();

    // Byte for byte on the server; the changed file is whatever the server got.
    EXPECT_EQ(Without(TreeListing(server.Root()), kChanging), Without(before, kChanging));
    const std::string log = program.LogText();
    EXPECT_EQ(Count(log, " Putfile "), files) << log;
    EXPECT_EQ(Count(log, " Total bytes written to remote host :"), files) << log;
    if (*c.record) {
        EXPECT_NE(log.find(c.record), std::string::npos) << log;
    }
    if (c.server.count("MAX_CONS_PER_IP") == 0) {
        EXPECT_EQ(log.find("The server allows"), std::string::npos) << log;
    }

    if (c.changeOne) {
        // The tree with the changed file stays whole for the next run; the rest went.
        EXPECT_EQ(Without(TreeListing(S), kChanging), Without(Below(before, "d1"), kChanging));
        EXPECT_EQ(ReadFile(S + "/" + kChanging), "before\nchanged while it was sent\n");
    } else {
        EXPECT_TRUE(TreeListing(S).empty()) << ::testing::PrintToString(TreeListing(S));
    }
    EXPECT_EQ(program.IniValue("SpoolBay", "Executed"), "0");
}

INSTANTIATE_TEST_SUITE_P(
    Connections, ParallelRun,
    // Slowed data connections keep the run going until the workers, started a
    // moment in, have logged in and taken files.
    ::testing::Values(ParallelCase{"oneAsEver", 1, {}, true, false, 5, ""},
                      ParallelCase{"two", 2, {{"THROTTLE", "50000"}}, true, false, 5, ""},
                      ParallelCase{"four", 4, {{"THROTTLE", "50000"}}, true, false, 5, ""},
                      ParallelCase{"serverAllowsTwo", 4, {{"MAX_CONS_PER_IP", "2"}, {"THROTTLE", "50000"}}, false,
                                   false, 0, "The server allows 2 connections"},
                      ParallelCase{"connectionCutMidRun", 4, {{"CUT_CONNECTION", "1"}, {"THROTTLE", "50000"}}, false,
                                   false, 0, "; the file goes again"},
                      ParallelCase{"spoolHeldByTheWholeRun", 4, {{"THROTTLE", "50000"}}, false, true, 0, ""}),
    [](const ::testing::TestParamInfo<ParallelCase>& info) { return std::string(info.param.name); });

// The workers store as the run's own connection does: under temporary names
// (stale ones of other versions go) and never through a link out of the spool.
TEST(ParallelRunRules, WorkersUseTemporaryNamesAndKeepLinksOutsideTheSpool) {
    VollumProgramDir program;
    const std::string S = program.Spool();
    MakeTree(S);
    const std::vector<std::string> before = TreeListing(S);
    TempDir outside;
    PutFile(outside / "secret", "not for the server");
    fs::create_symlink(outside / "secret", S + "/link.txt");
    PyFtpServer server(PyFtpServerOptions{.environment = {{"THROTTLE", "50000"}}});
    const std::vector<std::string> topFiles = {"a.txt", "my file 100%.txt", "-dash", "empty.bin"};
    // Left by an earlier run of this installation (journalled), so the workers delete them.
    for (const std::string& name : topFiles) {
        PutFile(server.Root() + "/" + TempName(name, "0000abcd"), "stale");
        TempJournal(program.Path() + "/VOLLUM.PARTS")
            .Add({server.User() + "@127.0.0.1:" + server.PortText(), "/", TempName(name, "0000abcd")});
    }

    program.WriteIni(server.Port(), server.User(), server.Password(), true,
                     {{"Connections", "4"}, {"PassiveMode", "1"}, {"TempUpload", "1"}});
    const VollumResult r = program.Run({}, 90000);
    EXPECT_EQ(r.exitCode, 5) << r.stderrText << program.LogText();

    EXPECT_EQ(TreeListing(server.Root()), before) << program.LogText();
    EXPECT_TRUE(fs::is_symlink(S + "/link.txt"));
    EXPECT_NE(program.LogText().find("it links outside the spool"), std::string::npos) << program.LogText();
}

// A drop run shares the workers: the dropped tree and a file beside it arrive
// whole, and nothing local is touched.
TEST(ParallelRunRules, DropRunSendsTheDroppedPathsOverSeveralConnections) {
    VollumProgramDir program;
    TempDir dropped;
    MakeTree(dropped / "tree");
    PutFile(dropped / "loose.bin", RandomBytes(30000, 99));
    const std::vector<std::string> before = TreeListing(dropped.Path());
    PyFtpServer server(PyFtpServerOptions{.environment = {{"THROTTLE", "50000"}}});
    program.WriteIni(server.Port(), server.User(), server.Password(), false,
                     {{"Connections", "3"}, {"PassiveMode", "1"}, {"IncludeDirs", "1"}, {"IncludeSubDirs", "1"}});
    const VollumResult r = program.Run({dropped / "tree", dropped / "loose.bin"}, 90000);
    ASSERT_EQ(r.exitCode, 0) << r.stderrText << program.LogText();
    EXPECT_EQ(TreeListing(server.Root()), before) << program.LogText();
    EXPECT_EQ(TreeListing(dropped.Path()), before);
    size_t files = 0;
    for (const auto& l : before) files += l[0] == 'f';
    EXPECT_EQ(Count(program.LogText(), " Putfile "), files) << program.LogText();
}

}  // namespace vollum::test
