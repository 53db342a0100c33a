// What a run may delete and what it must say, the built program against
// pyftpdlib: nothing local goes unless the server holds it, and no run that
// left something behind ends with exit 0.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QProcess>
#include <filesystem>
#include <functional>

#include "support/PyFtpServer.h"
#include "support/VollumRun.h"
#include "support/VsftpdServer.h"

namespace vollum::test {

namespace fs = std::filesystem;

namespace {

// Dated before 1970: a negative modification time.
void MakeOld(const std::string& path) {
    const timespec times[2] = {{-86400L * 400, 0}, {-86400L * 400, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

struct Step {
    std::vector<std::string> arguments;  // none: a spool run
    int exitCode;
    std::vector<std::string> logged;  // log texts the run must write
};

struct Case {
    const char* name;
    std::map<std::string, std::string> profile;
    std::map<std::string, std::string> serverEnvironment;
    // Fills the spool; gets the program directory.
    std::function<void(const VollumProgramDir&)> spool;
    std::vector<Step> runs;
    // After the last run: the spool and the server's folder as TreeListing gives them.
    std::function<void(const VollumProgramDir&, const std::string& root)> check;
};

std::ostream& operator<<(std::ostream& out, const Case& c) { return out << c.name; }

class RunSafety : public ::testing::TestWithParam<Case> {};

TEST_P(RunSafety, LeavesBothSidesAsItSays) {
    const Case& c = GetParam();
    PyFtpServer server(PyFtpServerOptions{.environment = c.serverEnvironment});
    VollumProgramDir program;
    c.spool(program);
    bool armed = false;
    for (const Step& r : c.runs) armed = armed || r.arguments.empty();
    program.WriteIni(server.Port(), server.User(), server.Password(), armed, c.profile);
    for (size_t i = 0; i < c.runs.size(); ++i) {
        SCOPED_TRACE("run " + std::to_string(i + 1));
        const size_t logStart = program.LogText().size();
        if (c.runs[i].arguments.empty() && i > 0) program.WriteIni(server.Port(), server.User(), server.Password(),
                                                                   true, c.profile);
        const VollumResult r = program.Run(c.runs[i].arguments, 90000);
        const std::string log = program.LogText().substr(logStart);
        EXPECT_EQ(r.exitCode, c.runs[i].exitCode) << r.stderrText << log;
        for (const std::string& text : c.runs[i].logged) EXPECT_NE(log.find(text), std::string::npos) << text << "\n" << log;
    }
    c.check(program, server.Root());
}

const std::string kInvalid1 = "a\xff.txt", kInvalid2 = "a\xfe.txt";

// Pairs a server that ignores case takes for one file, of one size so that
// SIZE cannot tell them apart: at the top of the spool, in a folder, and as
// two folders; beside them files no other name shares, to be deleted.
const std::map<std::string, std::string> kSharedNames = {
    {"A.txt", "upper!"},   {"a.txt", "lower!"},    {"D/N.txt", "first"}, {"D/n.txt", "other"},
    {"X/f.txt", "inX"},    {"x/f.txt", "inx"},     {"alone.txt", "alone"}};
const std::vector<std::string> kSharing = {"A.txt", "a.txt", "D/N.txt", "D/n.txt", "X/f.txt", "x/f.txt"};

void FillSharedNames(const VollumProgramDir& p) {
    for (const auto& [name, bytes] : kSharedNames) PutFile(p.Spool() + "/" + name, bytes);
    // Slowed by a server's THROTTLE, these keep the walk going while workers log in.
    for (int i = 0; i < 4; ++i) PutFile(p.Spool() + "/filler" + std::to_string(i), RandomBytes(120000, i));
}

// Against a server that merges them: every sharing name kept as it was, the rest deleted.
void SharedNamesKept(const VollumProgramDir& p, const std::string& root) {
    for (const std::string& name : kSharing) EXPECT_EQ(ReadFile(p.Spool() + "/" + name), kSharedNames.at(name)) << name;
    EXPECT_FALSE(fs::exists(p.Spool() + "/alone.txt"));
    EXPECT_FALSE(fs::exists(p.Spool() + "/filler0"));
    EXPECT_EQ(ReadFile(root + "/alone.txt"), "alone");
}

// Against a server that keeps them apart: all stored whole, all deleted.
void SharedNamesStoredWhole(const VollumProgramDir& p, const std::string& root) {
    EXPECT_TRUE(TreeListing(p.Spool()).empty());
    for (const auto& [name, bytes] : kSharedNames) EXPECT_EQ(ReadFile(root + "/" + name), bytes) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunSafety,
    ::testing::Values(
        Case{"a dropped path that does not exist is kept, not success",
             {},
             {},
             [](const VollumProgramDir&) {},
             {{{"/no/such/file"}, 5, {"Kept /no/such/file: no such file or directory"}}},
             [](const VollumProgramDir&, const std::string& root) { EXPECT_TRUE(TreeListing(root).empty()); }},
        Case{"files dated before 1970 over four connections are stored and deleted",
             {{"Connections", "4"}, {"PassiveMode", "1"}},
             {{"THROTTLE", "200000"}},
             [](const VollumProgramDir& p) {
                 for (int i = 0; i < 12; ++i) {
                     const std::string path = p.Spool() + "/old" + std::to_string(i);
                     PutFile(path, RandomBytes(40000, static_cast<unsigned>(i)));
                     MakeOld(path);
                 }
             },
             {{{}, 0, {}}},
             [](const VollumProgramDir& p, const std::string& root) {
                 EXPECT_TRUE(TreeListing(p.Spool()).empty());
                 EXPECT_EQ(TreeListing(root).size(), 12u);
                 EXPECT_EQ(ReadFile(root + "/old3"), RandomBytes(40000, 3));
             }},
        Case{"a lower-cased name whose remote name exists is kept, across two runs",
             {{"UseLowerCase", "1"}},
             {},
             [](const VollumProgramDir& p) {
                 PutFile(p.Spool() + "/Case.txt", "upper version A");
                 PutFile(p.Spool() + "/case.txt", "lower version B");
             },
             {{{}, 5, {}}, {{}, 5, {"the remote name case.txt exists and lower-casing would replace it"}}},
             [](const VollumProgramDir& p, const std::string& root) {
                 EXPECT_EQ(ReadFile(root + "/case.txt"), "lower version B");
                 EXPECT_EQ(ReadFile(p.Spool() + "/Case.txt"), "upper version A");
                 EXPECT_FALSE(fs::exists(p.Spool() + "/case.txt"));
             }},
        Case{"names that are not valid UTF-8 are kept for a UTF-8 server",
             {},
             {},
             [](const VollumProgramDir& p) {
                 PutFile(p.Spool() + "/" + kInvalid1, "first");
                 PutFile(p.Spool() + "/" + kInvalid2, "second");
             },
             {{{}, 5, {": not valid UTF-8, the server would change it"}}},
             [](const VollumProgramDir& p, const std::string& root) {
                 EXPECT_EQ(ReadFile(p.Spool() + "/" + kInvalid1), "first");
                 EXPECT_EQ(ReadFile(p.Spool() + "/" + kInvalid2), "second");
                 EXPECT_TRUE(TreeListing(root).empty());
             }},
        Case{"names a server that ignores case takes for one are never deleted",
             {{"TempUpload", "1"}},
             {{"CASE_FOLD", "1"}},
             FillSharedNames,
             {{{}, 5, {"a.txt: the server may take it and A.txt for one file", "/D/N.txt: the server may take it and D/n.txt"}}},
             SharedNamesKept},
        Case{"names a server that ignores case takes for one are never deleted over three connections",
             {{"Connections", "3"}, {"PassiveMode", "1"}},
             {{"CASE_FOLD", "1"}, {"THROTTLE", "50000"}},
             FillSharedNames,
             {{{}, 5, {": its listing does not show each name"}}},
             SharedNamesKept},
        Case{"names that differ only in case go whole to a server that keeps them apart",
             {},
             {},
             FillSharedNames,
             {{{}, 0, {}}},
             SharedNamesStoredWhole}));

}  // namespace

// vsftpd lists by LIST; names that differ only in case are separate files to it.
TEST(RunSafetyVsftpd, NamesThatDifferOnlyInCaseGoWholeAndAreDeleted) {
    VsftpdServer server;
    if (!server.Problem().empty()) GTEST_SKIP() << server.Problem();
    VollumProgramDir program;
    FillSharedNames(program);
    program.WriteIni(server.Port(), "anonymous", "guest", true,
                     {{"Directory", VsftpdServer::kUploadFolder}, {"TempUpload", "1"}});
    const VollumResult r = program.Run({}, 90000);
    EXPECT_EQ(r.exitCode, 0) << r.stderrText << program.LogText();
    SharedNamesStoredWhole(program, server.UploadDir());
}

// Two installations send one name at once: each under its own temporary,
// so the server ends with one of the two files whole, never a splice.
TEST(RunSafetyTwoInstallations, UploadingOneNameAtOnceNeverSplicesTheirFiles) {
    // Slow enough that the two stores overlap.
    PyFtpServer server(PyFtpServerOptions{.environment = {{"READ_LIMIT", std::to_string(1 << 20)}}});
    VollumProgramDir first, second;
    const std::string a = RandomBytes(3u << 20, 1), b = RandomBytes(3u << 20, 2);
    PutFile(first.Spool() + "/same.bin", a);
    PutFile(second.Spool() + "/same.bin", b);
    for (VollumProgramDir* p : {&first, &second})
        // Passive: pyftpdlib drops one session's pending active connect when another's PORT arrives.
        p->WriteIni(server.Port(), server.User(), server.Password(), true, {{"TempUpload", "1"}, {"PassiveMode", "1"}});
    QProcess one, two;
    first.Start(one);
    second.Start(two);
    ASSERT_TRUE(one.waitForFinished(120000) && two.waitForFinished(120000));
    // A run slowed out of its time-out keeps its file (exit 5); neither ever splices.
    for (QProcess* p : {&one, &two}) EXPECT_TRUE(p->exitCode() == 0 || p->exitCode() == 5) << p->exitCode();
    const std::string held = ReadFile(server.Root() + "/same.bin");
    EXPECT_TRUE(held == a || held == b);
    for (const auto& e : fs::directory_iterator(server.Root()))
        EXPECT_TRUE(e.path().filename() == "same.bin" || e.path().extension() == ".part") << e.path();
    EXPECT_EQ(fs::exists(first.Spool() + "/same.bin"), one.exitCode() != 0);
    EXPECT_EQ(fs::exists(second.Spool() + "/same.bin"), two.exitCode() != 0);
}

}  // namespace vollum::test
