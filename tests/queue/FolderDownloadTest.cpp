// Folder downloads through the queue against pyftpdlib: a nested folder
// byte for byte, each answer to a clash with a local file, and the names and
// links that must never be written.
#include <sys/stat.h>

#include <filesystem>

#include "QueueFixture.h"
#include "queue/DownloadJob.h"

namespace vollum::test {
namespace {

namespace fs = std::filesystem;

class FolderDownloadTest : public QueueFixture {
protected:
    // Downloads the named entries of the remote folder into localDir; true when the item is done.
    bool Download(const std::string& remoteDir, const std::vector<std::string>& names, const std::string& localDir) {
        std::vector<ListingEntry> listed, chosen;
        EXPECT_TRUE(session->ListEntries(remoteDir, listed));
        for (const std::string& name : names)
            for (const ListingEntry& e : listed)
                if (e.name == name) chosen.push_back(e);
        EXPECT_EQ(chosen.size(), names.size());
        return DownloadEntries(remoteDir, chosen, localDir);
    }
    bool DownloadEntries(const std::string& remoteDir, std::vector<ListingEntry> entries, const std::string& localDir) {
        const int id = queue.Add(std::make_unique<DownloadJob>(*session, remoteDir, std::move(entries), localDir, "TYPE I"));
        EXPECT_TRUE(RunQueue());
        return StateOf(id) == QueueState::Done;
    }
    static ListingEntry Entry(const std::string& name, ListingEntry::Kind kind, const std::string& target = "") {
        ListingEntry e;
        e.name = name;
        e.kind = kind;
        e.linkTarget = target;
        return e;
    }
};

TEST_F(FolderDownloadTest, nestedFolderArrivesByteForByte) {
    MakeNestedTree(server.Root() + "/remote/tree");
    fs::create_directories(local / "here");
    ASSERT_TRUE(Download("/remote", {"tree"}, local / "here"));
    EXPECT_EQ(TreeListing(local / "here/tree"), TreeListing(server.Root() + "/remote/tree"));
    EXPECT_GT(queue.At(0).bytes, 370000);
}

TEST_F(FolderDownloadTest, aClashIsAnsweredEachWay) {
    const std::string remote = RandomBytes(100000, 4);
    PutFile(server.Root() + "/d/f.bin", remote);
    struct Case {
        std::string answer;
        std::string local;                                  // what f.bin held before
        std::string expectFile, expectRenamed;              // afterwards; "-" for no such file
    };
    const std::string older = "older local bytes";
    const std::vector<Case> cases = {
        {"Overwrite", older, remote, "-"},
        {"Skip", older, older, "-"},
        {"Rename", older, older, remote},
        {"Resume", remote.substr(0, 40000), remote, "-"},
    };
    for (const Case& c : cases) {
        TempDir target;
        WriteFile(target / "f.bin", c.local);
        prompts.shown.clear();
        prompts.choiceAnswers = {c.answer};
        EXPECT_TRUE(Download("/d", {"f.bin"}, target.Path())) << c.answer;
        ASSERT_EQ(prompts.shown.size(), 1u) << c.answer;
        EXPECT_EQ(prompts.shown[0].title, "File exists");
        EXPECT_EQ(ReadFile(target / "f.bin") == c.expectFile, true) << c.answer;
        EXPECT_EQ(fs::exists(target / "f (1).bin") ? ReadFile(target / "f (1).bin") == c.expectRenamed
                                                    : c.expectRenamed == "-",
                  true)
            << c.answer;
    }
}

TEST_F(FolderDownloadTest, doThisForAllAsksOnceForTheWholeTree) {
    PutFile(server.Root() + "/d/t/a.txt", "new a");
    PutFile(server.Root() + "/d/t/sub/b.txt", "new b");
    PutFile(local / "t/a.txt", "old a");
    PutFile(local / "t/sub/b.txt", "old b");
    prompts.choiceAnswers = {"Overwrite for all"};
    ASSERT_TRUE(Download("/d", {"t"}, local.Path()));
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(ReadFile(local / "t/a.txt"), "new a");
    EXPECT_EQ(ReadFile(local / "t/sub/b.txt"), "new b");
}

TEST_F(FolderDownloadTest, unsafeNamesAndLinksOutOfTheFolderAreSkippedAndReported) {
    PutFile(server.Root() + "/d/sub/b.bin", "inside");
    fs::create_symlink("sub/b.bin", server.Root() + "/d/inlink");
    fs::create_directories(local / "target");
    fs::create_directories(local / "elsewhere");
    fs::create_symlink(local / "elsewhere", local / "target/sub");  // a local way out
    const std::vector<ListingEntry> entries = {
        Entry("..", ListingEntry::Kind::File),
        Entry("a/b", ListingEntry::Kind::File),
        Entry(std::string("x\0y", 3), ListingEntry::Kind::File),
        Entry("escape", ListingEntry::Kind::Link, "../../etc/passwd"),
        Entry("inlink", ListingEntry::Kind::Link, "sub/b.bin"),
        Entry("sub", ListingEntry::Kind::Folder),
    };
    EXPECT_FALSE(DownloadEntries("/d", entries, local / "target"));
    EXPECT_EQ(ReadFile(local / "target/inlink"), "inside");
    EXPECT_TRUE(fs::is_empty(local / "elsewhere"));
    size_t skipped = 0;
    for (const std::string& line : PaneLines()) skipped += line.rfind("Skipped ", 0) == 0;
    EXPECT_EQ(skipped, 5u);
    EXPECT_EQ(TreeListing(local / "target").size(), 2u);  // inlink and the link that was there
}

// LIST shows links as links (pyftpdlib's MLSD follows them): one inside the
// chosen folder is fetched whole (the listed size is the link's own), one to
// a file beside that folder is not.
class FolderDownloadByList : public QueueFixture {
protected:
    FolderDownloadByList() : QueueFixture(PyFtpServerOptions{.environment = {{"REFUSE", "MLSD"}}}) {}
};

TEST_F(FolderDownloadByList, aLinkBelowTheChosenFolderStaysInsideIt) {
    PutFile(server.Root() + "/d/beside.bin", "beside the chosen folder");
    PutFile(server.Root() + "/d/chosen/sub/c.bin", "inside");
    fs::create_symlink("../beside.bin", server.Root() + "/d/chosen/up");
    fs::create_symlink("sub/c.bin", server.Root() + "/d/chosen/in");
    std::vector<ListingEntry> listed;
    ASSERT_TRUE(session->ListEntries("/d", listed));
    std::erase_if(listed, [](const ListingEntry& e) { return e.name != "chosen"; });
    ASSERT_EQ(listed.size(), 1u);
    const int id = queue.Add(std::make_unique<DownloadJob>(*session, "/d", listed, local.Path(), "TYPE I"));
    EXPECT_TRUE(RunQueue());
    EXPECT_EQ(StateOf(id), QueueState::Failed);
    EXPECT_EQ(ReadFile(local / "chosen/in"), "inside");
    EXPECT_FALSE(fs::exists(local / "chosen/up"));
}

}  // namespace
}  // namespace vollum::test

namespace vollum::test {
namespace {

PyFtpServerOptions SlowReads() {
    PyFtpServerOptions options;
    options.environment["SLOW_READ_MS"] = "50";
    return options;
}

class SlowDownload : public QueueFixture {
protected:
    SlowDownload() : QueueFixture(SlowReads()) {}
};

TEST_F(SlowDownload, cancelStopsTheRunningDownloadAndTheSessionTakesTheNextItem) {
    PutFile(server.Root() + "/slow.bin", RandomBytes(8 << 20, 5));
    PutFile(server.Root() + "/next.txt", "next");
    std::vector<ListingEntry> listed;
    ASSERT_TRUE(session->ListEntries("/", listed));
    std::vector<ListingEntry> slow, next;
    for (const ListingEntry& e : listed) (e.name == "slow.bin" ? slow : next).push_back(e);
    const int first = queue.Add(std::make_unique<DownloadJob>(*session, "/", slow, local.Path(), "TYPE I"));
    const int second = queue.Add(std::make_unique<DownloadJob>(*session, "/", next, local.Path(), "TYPE I"));
    // A click on Cancel once bytes have come: it is served between the transfer's blocks.
    bool clicked = false;
    QElapsedTimer sinceCancel;
    QObject::connect(&queue, &TransferQueue::dataChanged, [&] {
        const TransferQueue::Item* item = queue.Find(first);
        if (clicked || item == nullptr || item->bytes == 0) return;
        clicked = true;
        QTimer::singleShot(0, &queue, [&] {
            sinceCancel.start();
            queue.Cancel(first);
        });
    });
    ASSERT_TRUE(RunQueue());
    EXPECT_TRUE(clicked);
    EXPECT_EQ(TransferQueue::StateText(*queue.Find(first)), "Failed: Cancelled");
    EXPECT_LT(sinceCancel.elapsed(), 5000);
    EXPECT_EQ(StateOf(second), QueueState::Done);
    EXPECT_EQ(ReadFile(local / "next.txt"), "next");
    EXPECT_FALSE(std::filesystem::exists(local / "slow.bin"));
    EXPECT_TRUE(session->Connected());
}

}  // namespace
}  // namespace vollum::test
