// Uploads through the queue, as a drop onto the remote files panel makes
// them: folders arrive whole in the remote folder shown, with a drop run's
// checks, and the session stays where the user was.
#include <filesystem>

#include "QueueFixture.h"
#include "queue/UploadJob.h"
#include "unattended/TUnattended.h"

namespace vollum::test {
namespace {

namespace fs = std::filesystem;

class UploadQueue : public QueueFixture {
protected:
    int Upload(std::vector<std::string> paths, const std::string& remoteDir) {
        return queue.Add(std::make_unique<UploadJob>(*session, std::move(paths), remoteDir));
    }
};

TEST_F(UploadQueue, droppedFolderAndFileArriveWholeInTheFolderShownUnderTemporaryNames) {
    session->Settings.TempUpload = true;
    MakeNestedTree(local / "tree");
    PutFile(local / "single.bin", RandomBytes(5000, 9));
    fs::create_directories(server.Root() + "/shown");
    const int id = Upload({local / "tree", local / "single.bin"}, "/shown");
    ASSERT_TRUE(RunQueue());
    EXPECT_EQ(TransferQueue::StateText(*queue.Find(id)), "Done");
    EXPECT_EQ(TreeListing(server.Root() + "/shown/tree"), TreeListing(local / "tree"));
    EXPECT_EQ(ReadFile(server.Root() + "/shown/single.bin"), ReadFile(local / "single.bin"));
    EXPECT_EQ(queue.Find(id)->bytes, queue.Find(id)->job->TotalBytes());
    // Nothing local goes, and the window's remote folder is where it was.
    EXPECT_EQ(TreeListing(local / "tree").size(), 8u);
    std::string pwd;
    session->FtpCommand("PWD");
    ASSERT_TRUE(PathFromPwdReply(session->LastReply(), pwd));
    EXPECT_EQ(pwd, "/");
}

TEST_F(UploadQueue, linkOutOfTheDroppedFolderIsKeptAndTheItemFails) {
    PutFile(local / "tree/inside.txt", "in");
    PutFile(local / "outside/secret.txt", "secret");
    fs::create_symlink(local / "outside/secret.txt", local / "tree/leak.txt");
    const int id = Upload({local / "tree"}, "");
    ASSERT_TRUE(RunQueue());
    EXPECT_EQ(StateOf(id), QueueState::Failed);
    EXPECT_EQ(ReadFile(server.Root() + "/tree/inside.txt"), "in");
    EXPECT_FALSE(fs::exists(server.Root() + "/tree/leak.txt"));
}

}  // namespace
}  // namespace vollum::test
