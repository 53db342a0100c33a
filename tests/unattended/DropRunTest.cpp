// The built program in drop mode, without a display, against a real FTP server:
// each combination of the directory options. Nothing local is ever deleted.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/PyFtpServer.h"
#include "support/VollumRun.h"
#include "unattended/ExitCodes.h"

namespace vollum::test {

namespace fs = std::filesystem;

class DropRun : public ::testing::Test {
protected:
    DropRun() {
        PutFile(src / "one/a.txt", "a");
        PutFile(src / "one/sub/b.txt", "b");
        PutFile(src / "two/c.txt", RandomBytes(3000, 5));
        PutFile(src / "f.txt", "f");
        before = TreeListing(src.Path());
    }
    VollumResult Drop(bool includeDirs, bool includeSubDirs, const std::vector<std::string>& args) {
        program.WriteIni(server.Port(), server.User(), server.Password(), false,
                         {{"IncludeDirs", includeDirs ? "1" : "0"}, {"IncludeSubDirs", includeSubDirs ? "1" : "0"}});
        return program.Run(args);
    }
    // What arrived, by path: "d one", "f one/a.txt a", ... (contents of small files inline).
    std::vector<std::string> Arrived() const {
        std::vector<std::string> out;
        for (const auto& p : fs::recursive_directory_iterator(server.Root())) {
            const std::string rel = p.path().lexically_relative(server.Root()).native();
            out.push_back(p.is_directory() ? "d " + rel : "f " + rel + " " + ReadFile(p.path().native()).substr(0, 8));
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    PyFtpServer server;
    VollumProgramDir program;
    TempDir src;
    std::vector<std::string> before;
};

TEST_F(DropRun, DirectoryArgumentIsKeptWithoutIncludeDirs) {
    // A name that would clear the screen of whoever reads the job's output.
    const VollumResult r = Drop(false, true, {src / "one", src / "f.txt", src / "gone\x1b[2J"});
    // Something the user dropped was not sent: no success.
    ASSERT_EQ(r.exitCode, kExitSomethingKept) << r.stderrText;
    EXPECT_EQ(Arrived(), (std::vector<std::string>{"f f.txt f"}));
    EXPECT_NE(program.LogText().find(" Putfile f.txt\r\n"), std::string::npos);
    const std::string kept = "Kept " + src / "one" + ": a directory, and the profile's IncludeDirs is off";
    EXPECT_NE(program.LogText().find(" " + kept + "\r\n"), std::string::npos);
    EXPECT_NE(r.stderrText.find("Vollum: " + kept + "\n"), std::string::npos) << r.stderrText;  // a job's output
    EXPECT_NE(r.stderrText.find("Vollum: Kept " + src / "gone\\x1b[2J: "), std::string::npos) << r.stderrText;
    EXPECT_EQ(r.stderrText.find('\x1b'), std::string::npos);
    EXPECT_EQ(TreeListing(src.Path()), before);
}

TEST_F(DropRun, WithoutSubDirsTheNextArgumentsGoInsideTheFirstDirectory) {
    const VollumResult r = Drop(true, false, {src / "one", src / "two", src / "f.txt"});
    ASSERT_EQ(r.exitCode, kExitSomethingKept) << r.stderrText;  // one/sub stays behind
    EXPECT_NE(program.LogText().find(" Kept " + src / "one/sub" + ": a subdirectory, and the profile's IncludeSubDirs"),
              std::string::npos);
    const std::string c = RandomBytes(3000, 5).substr(0, 8);
    EXPECT_EQ(Arrived(), (std::vector<std::string>{"d one", "d one/two", "f one/a.txt a", "f one/two/c.txt " + c,
                                                   "f one/two/f.txt f"}));
    EXPECT_EQ(TreeListing(src.Path()), before);
}

TEST_F(DropRun, WithSubDirsEachTreeArrivesWholeBesideTheOthers) {
    // Relative arguments name paths from where the program started, whatever Localdir says.
    program.WriteIni(server.Port(), server.User(), server.Password(), false,
                     {{"IncludeDirs", "1"}, {"IncludeSubDirs", "1"}, {"Localdir", program.Path()}});
    const VollumResult r = program.Run({"one", "./two/", "f.txt"}, 60000, src.Path());
    ASSERT_EQ(r.exitCode, 0) << r.stderrText;
    const std::string c = RandomBytes(3000, 5).substr(0, 8);
    EXPECT_EQ(Arrived(), (std::vector<std::string>{"d one", "d one/sub", "d two", "f f.txt f", "f one/a.txt a",
                                                   "f one/sub/b.txt b", "f two/c.txt " + c}));
    EXPECT_EQ(TreeListing(src.Path()), before);
}

TEST_F(DropRun, LowerCaseNamesOnlyOnTheServer) {
    PutFile(src / "Top/Sub/File.TXT", "x");
    program.WriteIni(server.Port(), server.User(), server.Password(), false,
                     {{"IncludeDirs", "1"}, {"IncludeSubDirs", "1"}, {"UseLowerCase", "1"}});
    const VollumResult r = program.Run({src / "Top"});
    ASSERT_EQ(r.exitCode, 0) << r.stderrText;
    EXPECT_EQ(Arrived(), (std::vector<std::string>{"d top", "d top/sub", "f top/sub/file.txt x"}));
    EXPECT_TRUE(fs::exists(src / "Top/Sub/File.TXT"));
}

}  // namespace vollum::test
