// Portable or installed: which folder a program in a given directory keeps
// its files in, the private folder made for it, and which client SpoolBay starts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "config/ProgramDir.h"
#include "platform/SystemDefaults.h"
#include "support/TempDir.h"

namespace vollum {
namespace {

namespace fs = std::filesystem;
using test::PutFile;
using test::TempDir;

class UserFolders : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* v : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "PATH"})
            saved_.emplace_back(v, std::getenv(v) ? std::getenv(v) : "");
        ::setenv("HOME", home.Path().c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        ::setenv("PATH", (home / "bin").c_str(), 1);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) ::setenv(name.c_str(), value.c_str(), 1);
    }
    TempDir home, place;
    std::vector<std::pair<std::string, std::string>> saved_;
};

TEST_F(UserFolders, AWritableFolderIsPortableAndASystemProgramFolderNever) {
    EXPECT_TRUE(PortableDirectory(place.Path(), "VOLLUM.INI"));
    EXPECT_EQ(ProgramDirectoryOf(place.Path()), place / "");
    EXPECT_EQ(DefaultClientDirectory(place.Path() + "/"), "");

    // Root may write /usr/bin, yet a run there must leave nothing in it.
    EXPECT_FALSE(PortableDirectory("/usr/bin/", "VOLLUM.INI"));
    EXPECT_EQ(ProgramDirectoryOf("/usr/bin/"), home / "data/vollum/");
    EXPECT_EQ(DefaultClientDirectory("/usr/bin/"), home / "data/vollum");
    // A relative XDG_DATA_HOME is not to be used: the default below HOME is.
    ::setenv("XDG_DATA_HOME", "relative", 1);
    EXPECT_EQ(ProgramDirectoryOf("/usr/bin"), home / ".local/share/vollum/");
    EXPECT_FALSE(fs::exists(home / ".local"));  // asking creates nothing
}

TEST_F(UserFolders, ThePrivateFolderIsTheOwnersAloneAndAnExistingOneIsLeftAsItIs) {
    ASSERT_TRUE(MakePrivateDirectory(home / "data/vollum/"));
    struct stat st {};
    ASSERT_EQ(::stat((home / "data/vollum").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    ASSERT_EQ(::stat((home / "data").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & 0055, 0u) << "the folder above keeps the usual mode";

    fs::create_directory(place / "shared");
    fs::permissions(place / "shared", fs::perms::all);
    EXPECT_TRUE(MakePrivateDirectory(place / "shared"));
    EXPECT_EQ(fs::status(place / "shared").permissions(), fs::perms::all);
    PutFile(place / "file", "x");
    EXPECT_FALSE(MakePrivateDirectory(place / "file"));
}

TEST_F(UserFolders, SpoolBayStartsTheClientInTheClientDirectoryAndNoOtherThatWouldMissItsKey) {
    TempDir client, companion;
    // A portable Vollum beside SpoolBay or on PATH keeps its key in its own
    // folder, not in the client directory: the path in the client directory
    // is named, and its start fails as before.
    for (const std::string& other : {companion / "Vollum", home / "bin/Vollum"}) {
        PutFile(other, "#!/bin/sh\n");
        fs::permissions(other, fs::perms::owner_all);
    }
    EXPECT_EQ(ClientProgramFor(client.Path(), companion.Path()), client / "Vollum");

    PutFile(client / "Vollum", "#!/bin/sh\n");
    EXPECT_EQ(ClientProgramFor(client.Path() + "/", companion.Path()), client / "Vollum");
}

}  // namespace
}  // namespace vollum
