// Portable or installed: which folder a program in a given directory keeps
// its files in, the private folder made for it, and which client SpoolBay starts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "common/Errors.h"
#include "config/ProgramDir.h"
#include "platform/StartAtLogin.h"
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

TEST_F(UserFolders, InstalledModeTrustsOnlyTheUsersOwnFolder) {
    const std::string folder = home / "data/vollum";
    struct Case {
        const char* name;
        std::function<void()> make;  // from a fresh private folder holding VOLLUM.INI
        const char* problem;         // what the refusal says after the path; "" when there is none
        std::string path;
    };
    const std::vector<Case> cases = {
        {"the user's own, private", [] {}, "", ""},
        {"a symbolic link to another folder",
         [&] {
             fs::remove_all(folder);
             fs::create_directories(place / "elsewhere");
             fs::create_directory_symlink(place / "elsewhere", folder);
         },
         " is a symbolic link", folder},
        {"writable by its group", [&] { ::chmod(folder.c_str(), 0770); }, " is writable by group or others", folder},
        {"another user's", [&] { ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0); }, " belongs to another user",
         folder},
        {"its VOLLUM.INI writable by others", [&] { ::chmod((folder + "/VOLLUM.INI").c_str(), 0666); },
         " is writable by others", folder + "/VOLLUM.INI"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        ASSERT_TRUE(MakePrivateDirectory(folder));
        PutFile(folder + "/VOLLUM.INI", "");
        if (std::string(c.name) == "another user's" && ::geteuid() != 0) continue;  // only root gives files away
        c.make();
        EXPECT_EQ(PrivateFolderProblem(folder, "VOLLUM.INI"), *c.problem ? c.path + c.problem : "");
        if (*c.problem) {
            const std::string refusal = EUntrustedFolder(c.path + c.problem).what();
            EXPECT_EQ(refusal.rfind(c.path + c.problem + ": ", 0), 0u) << refusal;
        }
        std::error_code ec;
        fs::remove(folder, ec);  // a link goes here; a folder with its file below
        fs::remove_all(folder);
    }
    // Without HOME the home comes from the password database, never "/".
    ::unsetenv("HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_NE(ConfigHome().rfind("/.config", 0), 0u) << ConfigHome();
    EXPECT_EQ(ConfigHome().substr(ConfigHome().size() - 8), "/.config");
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
