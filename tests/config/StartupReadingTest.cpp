#include <gtest/gtest.h>

#include <filesystem>

#include "ConfigTestFiles.h"
#include "common/Errors.h"
#include "config/ProgramDir.h"
#include "config/StartupReading.h"
#include "support/ScriptedPrompts.h"

namespace vollum {
namespace {

using testing::ReadFile;
using testing::WriteFile;

class StartupReadingTest : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::current_path(oldCwd); }
    void Read() { ReadStartupValues(dir.dir.path().toStdString(), prompts, values); }

    std::filesystem::path oldCwd = std::filesystem::current_path();
    testing::ScratchDir dir;
    std::string path = dir.File("VOLLUM.INI");
    ScriptedPrompts prompts;
    StartupValues values;
};

// Where a run needs the profile, the reading stops at the time-outs and says where they are missing.
TEST_F(StartupReadingTest, withoutAFileTheReadingStopsAtTheTimeOuts) {
    values.SpoolRequested = true;  // read only after the time-outs
    try {
        Read();
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "'' is not a valid integer value\nNo server profile is set up in " + path + ": add one with File > Setup");
    }
    EXPECT_EQ(values.ProgramDir, dir.File(""));
    EXPECT_TRUE(values.SpoolRequested);
    EXPECT_FALSE(std::filesystem::exists(path));  // the first-run options come later
}

// A first start for the window: no profile is no error, and the reading goes on.
TEST_F(StartupReadingTest, withoutAProfileTheWindowReadsOnAndWritesTheFirstRunOptions) {
    ReadStartupValues(dir.dir.path().toStdString(), prompts, values, false);
    EXPECT_FALSE(values.ProfileUsable || values.SpoolRequested);
    EXPECT_EQ(values.FtpTimeOut, 0);
    EXPECT_EQ(values.ViewSep, "1");
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(StartupReadingTest, aFullProfileFillsEveryValueAndFirstRunOptionsAreWritten) {
    const std::string local = dir.File("local");
    std::filesystem::create_directory(local);
    WriteFile(path,
              "[LastUsed]\nNAME=Work\n[fixed]\nOK=0\n[Spoolbay]\nExecuted=0\n"
              "[work]\nHostName=h\nUserName=u\nPassword=p\nAccount=a\nDirectory=/d\nPort=2121\n"
              "Localdir=" +
                  local +
                  "\nIncludeDirs=1\nIncludeSubDirs=0\nUseLowerCase=-1\n"
                  "InitializeCommand=SITE X\nTransferType=2\nFtpTimeOut=30\nConnectionTimeOut=$3C\n"
                  "DisplayError=1\nUseTLS=1\nTLSFingerprint=AB:cd\nUseLogFile=2\n");
    Read();
    const auto& v = values;
    EXPECT_EQ(v.HostName + "|" + v.UserName + "|" + v.Password + "|" + v.Account + "|" + v.Directory + "|" + v.Port +
                  "|" + v.InitializeCommand + "|" + v.ProfileName,
              "h|u|p|a|/d|2121|SITE X|Work");
    EXPECT_TRUE(v.IncludeDirs && !v.IncludeSubDirs && v.UseLowerCase && v.DisplayError && v.UseLogFile);
    EXPECT_FALSE(v.SpoolRequested || v.ServerConfigured);
    EXPECT_EQ(v.FtpTimeOut, 30);
    EXPECT_EQ(v.ConnectionTimeOut, 60);
    EXPECT_TRUE(v.UseTLS);
    EXPECT_EQ(v.TLSFingerprint, "AB:cd");
    EXPECT_EQ(v.TransferTypeCode, 2);
    EXPECT_EQ(v.TypeCommand, "TYPE I");
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(local));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(v.DirSep + v.ViewSep + v.Editor, "01xdg-open");
    EXPECT_TRUE(ReadFile(path).ends_with("UseLogFile=2\n[options]\nDirSep=0\nViewSep=1\nEditor=xdg-open\n"));
}

TEST_F(StartupReadingTest, connectionsDefaultToOneAndStayWithinOneToEight) {
    for (const auto& [text, expected] : std::vector<std::pair<std::string, int>>{
             {"", 1}, {"Connections=4\n", 4}, {"Connections=0\n", 1}, {"Connections=99\n", 8}, {"Connections=x\n", 1}}) {
        WriteFile(path, "[LastUsed]\nNAME=w\n[w]\nFtpTimeOut=1\nConnectionTimeOut=1\n" + text);
        Read();
        EXPECT_EQ(values.Connections, expected) << text;
    }
}

TEST_F(StartupReadingTest, aLocaldirThatCannotBeEnteredWarnsAndGoesOn) {
    WriteFile(path, "[options]\nDirSep=0\n[LastUsed]\nNAME=P\n[P]\nLocaldir=" + dir.File("gone") +
                        "\nFtpTimeOut=1\nConnectionTimeOut=2\nTransferType=4\n");
    Read();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Cannot find directory");
    EXPECT_EQ(prompts.shown[0].buttons, PromptButtons::Ok);
    EXPECT_EQ(prompts.shown[0].icon, PromptIcon::Warning);
    EXPECT_EQ(std::filesystem::current_path(), oldCwd);
    EXPECT_TRUE(values.ServerConfigured);
    EXPECT_EQ(values.TypeCommand, "");
    EXPECT_EQ(values.Editor, "");  // only all three options empty count as a first run
    EXPECT_EQ(TIniFile(path).ReadValue("options", "Editor"), std::nullopt);
}

TEST_F(StartupReadingTest, aBadConnectionTimeOutKeepsWhatWasReadBeforeIt) {
    WriteFile(path, "[LastUsed]\nNAME=P\n[P]\nHostName=h\nFtpTimeOut=45\nConnectionTimeOut=1 0\nDisplayError=1\n");
    EXPECT_THROW(Read(), EConvertError);
    EXPECT_EQ(values.HostName, "h");
    EXPECT_EQ(values.FtpTimeOut, 45);
    EXPECT_FALSE(values.DisplayError);
}

TEST_F(StartupReadingTest, arrangementFollowsConfiguredMarkerArgumentsAndHandShake) {
    using enum WindowArrangement;
    const std::tuple<const char*, int, WindowArrangement> cases[] = {
        {"", 0, Interactive},  // only SpoolBay arms the key
        {"", 2, Drop},
        {"[Fixed]\nOK=1\n[SpoolBay]\nExecuted=0\n", 1, Drop},
        {"[Fixed]\nOK=1\n[SpoolBay]\nExecuted=0\n", 0, Interactive},
        {"[Fixed]\nOK=0\n[SpoolBay]\nExecuted=1\n", 3, Interactive},
        {"[fixed]\nOK=yes\n[SpoolBay]\nExecuted=2\n", 0, Spool},
    };
    for (const auto& [file, arguments, expected] : cases) {
        WriteFile(path, file);
        const ArrangementChoice choice = ChooseArrangement(TIniFile(path), arguments);
        EXPECT_EQ(choice.arrangement, expected) << file << " with " << arguments;
        EXPECT_EQ(choice.ServerConfigured, expected != Interactive) << file << " with " << arguments;
    }
}

TEST(ProgramDirTest, isTheDirectoryOfTheRunningProgram) {
    const std::string programDir = ProgramDirectory();
    ASSERT_TRUE(programDir.ends_with("/"));
    EXPECT_TRUE(std::filesystem::exists(programDir + "test_config"));
}

}  // namespace
}  // namespace vollum
