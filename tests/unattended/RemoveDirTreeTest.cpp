// The local tree removal and the current directory it leaves behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "support/SessionFixture.h"
#include "unattended/TUnattended.h"

namespace vollum::test {

namespace fs = std::filesystem;

class RemoveDirTree : public SessionFixture {
protected:
    RemoveDirTree() : runs(*session), A(fs::canonical(root.Path()).native() + "/A"), D(A + "/B") {
        char buf[PATH_MAX];
        original = ::getcwd(buf, sizeof buf);
        fs::create_directories(D + "/sub");
        WriteFile(D + "/f.txt", "f");
        WriteFile(D + "/sub/g.txt", "g");
        WriteFile(D + "/locked.txt", "read-only");
        ::chmod((D + "/locked.txt").c_str(), 0444);
        fs::create_directories(D + "/rodir");
        WriteFile(D + "/rodir/x.txt", "x");
        ::chmod((D + "/rodir").c_str(), 0555);
    }
    ~RemoveDirTree() override { (void)::chdir(original.c_str()); }
    static std::string Cwd() {
        char buf[PATH_MAX];
        return ::getcwd(buf, sizeof buf) ? buf : "";
    }
    void Enter(const std::string& path) { ASSERT_EQ(::chdir(path.c_str()), 0) << path; }

    TempDir root;
    TUnattended runs;
    std::string A, D, original;
};

TEST_F(RemoveDirTree, RemovesReadOnlyEntriesAndRestoresTheCurrentDirectory) {
    Enter(A);
    runs.RemoveDirTree(D);
    EXPECT_FALSE(fs::exists(D));
    EXPECT_EQ(Cwd(), A);
    EXPECT_TRUE(prompts.shown.empty()) << prompts.Texts()[0];
}

TEST_F(RemoveDirTree, CalledFromInsideTheTreeEndsInItsParent) {
    // A sibling whose name extends D's counts as inside: its text begins with D's.
    for (const std::string& inside : {D, D + "/sub", D + "C"}) {
        fs::create_directories(D + "/sub");
        fs::create_directories(D + "C");
        Enter(inside);
        runs.RemoveDirTree(D);
        EXPECT_FALSE(fs::exists(D)) << inside;
        EXPECT_EQ(Cwd(), A) << inside;
    }
    EXPECT_TRUE(prompts.shown.empty()) << prompts.Texts()[0];
}

TEST_F(RemoveDirTree, DotEntriesStayAndTheirDirectoryIsReported) {
    WriteFile(D + "/sub/.keep", "dot");
    Enter(A);
    runs.RemoveDirTree(D);
    EXPECT_EQ(ReadFile(D + "/sub/.keep"), "dot");
    EXPECT_FALSE(fs::exists(D + "/f.txt"));
    EXPECT_FALSE(fs::exists(D + "/sub/g.txt"));
    EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{"RmDir failed", "RmDir failed"}));
    EXPECT_EQ(Cwd(), A);
}

TEST_F(RemoveDirTree, LinksAreDeletedNeverFollowed) {
    TempDir outside;
    WriteFile(outside / "keep.txt", "outside");
    ::chmod((outside / "keep.txt").c_str(), 0444);
    fs::create_directory_symlink(outside.Path(), D + "/dirlink");
    fs::create_symlink(outside / "keep.txt", D + "/filelink");
    Enter(A);
    runs.RemoveDirTree(D);
    EXPECT_FALSE(fs::exists(D));
    EXPECT_EQ(ReadFile(outside / "keep.txt"), "outside");
    EXPECT_EQ(fs::status(outside / "keep.txt").permissions() & fs::perms::owner_write, fs::perms::none);

    // A directory that is itself a link is not entered at all.
    fs::create_directory_symlink(outside.Path(), A + "/link");
    runs.RemoveDirTree(A + "/link");
    EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{"ChDir failed"}));
    EXPECT_EQ(ReadFile(outside / "keep.txt"), "outside");
    EXPECT_EQ(Cwd(), A);
}

TEST_F(RemoveDirTree, WithARecordOnlyStoredUnchangedFilesGo) {
    StoredFiles stored;
    FileIdentity id;
    for (const std::string f : {"/f.txt", "/sub/g.txt", "/locked.txt", "/rodir/x.txt"}) {
        ASSERT_TRUE(ReadIdentity(D + f, id));
        stored.Add(D + f, id);
    }
    WriteFile(D + "/sub/g.txt", "g changed after its store");
    WriteFile(D + "/late.txt", "arrived after the walk");
    Enter(A);
    runs.RemoveDirTree(D, &stored);
    EXPECT_FALSE(fs::exists(D + "/f.txt"));
    EXPECT_FALSE(fs::exists(D + "/rodir"));
    EXPECT_TRUE(fs::exists(D + "/sub/g.txt"));
    EXPECT_TRUE(fs::exists(D + "/late.txt"));
    EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{"RmDir failed", "RmDir failed"}));
}

}  // namespace vollum::test
