// Start at login as an XDG autostart entry, and the client-directory record.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/StartAtLogin.h"
#include "support/TempDir.h"

namespace vollum {
namespace {

namespace fs = std::filesystem;

class StartAtLogin : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", config.c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }
    test::TempDir root;
    std::string config = root / "config";
};

TEST_F(StartAtLogin, NeedsTheConfigurationFolderThenWritesTheEntryAndDisablesIt) {
    EXPECT_FALSE(StartAtLoginAvailable());
    fs::create_directories(config);
    ASSERT_TRUE(StartAtLoginAvailable());

    WriteStartAtLogin("SpoolBayF", "/opt/Spool Bay/SpoolBay", "/U");
    const std::string entry = test::ReadFile(config + "/autostart/SpoolBayF.desktop");
    EXPECT_NE(entry.find("\nExec=\"/opt/Spool Bay/SpoolBay\" /U\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nName=SpoolBayF\n"), std::string::npos) << entry;

    WriteStartAtLogin("SpoolBayF", "", "");
    const std::string disabled = test::ReadFile(config + "/autostart/SpoolBayF.desktop");
    EXPECT_NE(disabled.find("\nExec=\nHidden=true\n"), std::string::npos) << disabled;
}

TEST(AutostartEntry, QuotesWhatTheExecLineReserves) {
    const std::string text = AutostartEntryText("SpoolBayF", "/a\"b/$c/100%/d\\e", "/U");
    EXPECT_NE(text.find("Exec=\"/a\\\\\"b/\\\\$c/100%%/d\\\\\\\\e\" /U\n"), std::string::npos) << text;
}

TEST_F(StartAtLogin, RefusedWriteNamesTheValue) {
    fs::create_directories(config);
    test::WriteFile(config + "/autostart", "a file where the folder should be");
    try {
        WriteStartAtLogin("SpoolBayF", "/x/SpoolBay", "/U");
        FAIL() << "no error raised";
    } catch (const ERegistryError& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'SpoolBayF'");
    }
}

TEST_F(StartAtLogin, ClientDirectoryRecordIsTheFirstLine) {
    EXPECT_FALSE(ReadClientDirectoryRecord().has_value());
    fs::create_directories(config);
    test::WriteFile(config + "/Vollum97 Path", "/home/u/Vollum Dir\r\nignored\n");
    EXPECT_EQ(ReadClientDirectoryRecord().value_or("<none>"), "/home/u/Vollum Dir");
}

}  // namespace
}  // namespace vollum
