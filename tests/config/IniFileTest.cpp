#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "ConfigTestFiles.h"
#include "common/Errors.h"
#include "config/TIniFile.h"

namespace vollum {
namespace {

using testing::ReadFile;
using testing::WriteFile;

class IniFileTest : public ::testing::Test {
protected:
    testing::ScratchDir dir;
    std::string path = dir.File("VOLLUM.INI");
    TIniFile ini{path};
};

TEST_F(IniFileTest, missingEmptyAndCaseOfNames) {
    EXPECT_EQ(ini.ReadValue("LastUsed", "NAME"), std::nullopt);
    EXPECT_TRUE(ini.ReadBool("SpoolBay", "Executed", true));
    EXPECT_FALSE(std::filesystem::exists(path));

    ini.WriteString("SpoolBay", "Executed", "1");
    ini.WriteString("Spoolbay", "executed", "0");  // one section, one key
    ini.WriteString("index", "Profile1", "");
    EXPECT_EQ(ReadFile(path), "[SpoolBay]\nExecuted=0\n[index]\nProfile1=\n");
    EXPECT_FALSE(ini.ReadBool("SPOOLBAY", "EXECUTED", true));
    EXPECT_EQ(ini.ReadString("index", "Profile1", "dflt"), "");
    EXPECT_EQ(ini.ReadString("index", "Profile2", "dflt"), "dflt");
}

TEST_F(IniFileTest, newSectionsGoLastNewKeysEndTheirSectionOldKeysStayInPlace) {
    ini.WriteString("s1", "a", "1");
    ini.WriteString("s2", "b", "1");
    ini.WriteString("s1", "c", "3");
    ini.WriteInteger("s1", "a", -2);
    ini.WriteBool("s2", "b", false);
    ini.WriteString("s2", "long", std::string(2000, 'x'));
    EXPECT_EQ(ReadFile(path), "[s1]\na=-2\nc=3\n[s2]\nb=0\nlong=" + std::string(2000, 'x') + "\n");
    EXPECT_EQ(ini.ReadString("s2", "long", ""), std::string(1023, 'x'));
}

TEST_F(IniFileTest, firstMatchingSectionAndKeyWinAndLineBreaksCannotAddLines) {
    WriteFile(path, "[S]\nk=first\nK=second\n[s]\nk=third\nother=x\n");
    EXPECT_EQ(ini.ReadString("s", "k", ""), "first");
    EXPECT_EQ(ini.ReadValue("s", "other"), std::nullopt);
    ini.WriteString("s", "k", "new\n[evil]\nx=1");
    ini.WriteString("a]b", "k", "v");  // profile names are used as typed
    EXPECT_EQ(ReadFile(path), "[S]\nk=new\nK=second\n[s]\nk=third\nother=x\n[a]b]\nk=v\n");
    EXPECT_EQ(ini.ReadString("a]b", "k", ""), "v");
}

TEST_F(IniFileTest, integerAndFlagReadsAreLenient) {
    const std::pair<const char*, int> cases[] = {
        {"21", 21}, {"-5", -5},   {"+5", 5},   {"$1F", 31},   {"-$10", -16}, {"0x2", 2},         {"0X1f", 31},
        {"0x", 99}, {"0x1G", 99}, {"abc", 99}, {"12abc", 99}, {"", 99},      {"2147483648", 99},
    };
    for (const auto& [stored, expected] : cases) {
        ini.WriteString("p", "TransferType", stored);
        EXPECT_EQ(ini.ReadInteger("p", "TransferType", 99), expected) << '"' << stored << '"';
    }
    EXPECT_EQ(IniInteger("  21", 0), 21);
    ini.WriteString("SpoolBay", "Executed", "2");
    EXPECT_TRUE(ini.ReadBool("SpoolBay", "Executed", false));
    ini.WriteString("SpoolBay", "Executed", "yes");
    EXPECT_TRUE(ini.ReadBool("SpoolBay", "Executed", true));
    EXPECT_FALSE(ini.ReadBool("SpoolBay", "Executed", false));
}

TEST_F(IniFileTest, foreignLayoutSurvivesOurWrites) {
    WriteFile(path,
              "; by hand\r\n\r\n[Other]\r\nunknown = kept ; as is\r\n\r\n"
              "[Profile One]\r\n  HostName = old.example\r\nno equals sign\r\n; note\r\n\r\n"
              "[Gone]\r\nk=1\r\n[Tail]\r\nx=1");  // the last line has no line end
    EXPECT_EQ(ini.ReadString("profile one", "hostname", ""), "old.example");
    EXPECT_EQ(ini.ReadString("Other", "unknown", ""), "kept ; as is");
    ini.WriteString("Profile One", "HostName", "new.example");
    ini.WriteString("Profile One", "UserName", "me");
    ini.WriteString("Tail", "y", "2");
    ini.WriteString("Added", "z", "3");
    ini.EraseSection("gone");
    ini.EraseSection("not there");
    EXPECT_EQ(ReadFile(path),
              "; by hand\r\n\r\n[Other]\r\nunknown = kept ; as is\r\n\r\n"
              "[Profile One]\r\n  HostName = new.example\r\nUserName=me\r\nno equals sign\r\n; note\r\n\r\n"
              "[Tail]\r\nx=1\r\ny=2\r\n[Added]\r\nz=3\r\n");
}

// Found by the fuzzer: the line end a write adds after a last line ending in CR
// would have turned that CR into a line end and changed the line's value.
TEST_F(IniFileTest, aWriteBelowALastLineEndingInCrLeavesItsValue) {
    WriteFile(path, "[Tail]\nx=1\r");
    ini.WriteString("Added", "z", "3");
    EXPECT_EQ(ini.ReadString("Tail", "x", ""), "1\r");
    EXPECT_EQ(ReadFile(path), "[Tail]\nx=1\r\r\n[Added]\nz=3\n");
}

TEST_F(IniFileTest, refusedWritesRaiseButErasingNothingDoesNot) {
    TIniFile nowhere(dir.File("no/such/dir/VOLLUM.INI"));
    try {
        nowhere.WriteString("s", "k", "v");
        FAIL() << "no exception";
    } catch (const EIniWriteError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + nowhere.FileName());
    }
    EXPECT_NO_THROW(nowhere.EraseSection("s"));
}

TEST_F(IniFileTest, fileIsPrivateKeepsItsPermissionsAndLinksStayLinks) {
    const std::string real = dir.File("real.ini");
    TIniFile(real).WriteString("p", "Password", "secret");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    std::filesystem::create_symlink(real, path);
    ini.WriteString("p", "Password", "other");
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(ReadFile(real), "[p]\nPassword=other\n");
    // The file, its lock file and the link: no temporary copies left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir.path().toStdString()), {}), 3);
}

TEST_F(IniFileTest, markLeftoversAndADirectoryThatTakesNoNewFile) {
    const std::string dirPath = dir.dir.path().toStdString();
    WriteFile(path, "\xEF\xBB\xBF[SpoolBay]\r\nExecuted=1\r\n[p]\r\nPassword=secret\r\n");
    WriteFile(path + ".Ab3xYz", "[p]\r\nPassword=secret\r\n");  // a killed write's copy
    WriteFile(path + ".backup", "the user's own copy");
    EXPECT_EQ(ini.ReadString("SpoolBay", "Executed", ""), "1");
    ini.WriteString("SpoolBay", "Executed", "0");
    EXPECT_EQ(ReadFile(path), "\xEF\xBB\xBF[SpoolBay]\r\nExecuted=0\r\n[p]\r\nPassword=secret\r\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".Ab3xYz"));

    // Two writers that may change the file but create nothing beside it (as
    // root: "nobody", who owns only the file) write their keys at once.
    const bool root = ::geteuid() == 0;
    struct stat before {
    }, after{};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_EQ(root ? ::chown(path.c_str(), 65534, 65534) : 0, 0);
    ASSERT_EQ(::chmod(dirPath.c_str(), root ? 0755 : 0555), 0);
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        if ((writers[w] = ::fork()) != 0) continue;
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        try {
            for (int i = 0; i < 40; ++i)
                TIniFile(path).WriteInteger("w" + std::to_string(w), "k" + std::to_string(i), i);
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status[2] = {-1, -1};
    for (int w = 0; w < 2; ++w) ::waitpid(writers[w], &status[w], 0);
    ::chmod(dirPath.c_str(), 0700);
    EXPECT_EQ(status[0], 0);
    EXPECT_EQ(status[1], 0);
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "rewritten in place";
    EXPECT_EQ(ini.ReadString("p", "Password", ""), "secret");
    int lost = 0;
    for (const char* section : {"w0", "w1"})
        for (int i = 0; i < 40; ++i) lost += ini.ReadInteger(section, "k" + std::to_string(i), -1) != i;
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dirPath), {}), 3);  // INI, .lock, .backup
}

}  // namespace
}  // namespace vollum
