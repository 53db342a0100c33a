// Edit of a remote file: fetched into a private folder, opened, and after a
// save uploaded on Yes; what was saved and not uploaded is known at the end.
#include <sys/stat.h>

#include <filesystem>

#include "QueueFixture.h"
#include "queue/RemoteEdit.h"

namespace vollum::test {
namespace {

TEST_F(QueueFixture, editedFileIsUploadedWhenSavedAndTheUserSaysYes) {
    PutFile(server.Root() + "/docs/notes.txt", "first version\n");
    RemoteEdit edits(*session, queue);
    std::string opened;
    edits.OpenFile = [&opened](const std::string& path) { opened = path; };
    ListingEntry entry;
    entry.name = "notes.txt";
    entry.kind = ListingEntry::Kind::File;
    ASSERT_TRUE(edits.Edit("/docs", entry, "TYPE I"));
    ASSERT_TRUE(RunQueue());
    ASSERT_FALSE(opened.empty());
    EXPECT_EQ(ReadFile(opened), "first version\n");
    struct stat st {};
    ASSERT_EQ(::stat(edits.Folder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(edits.ChangedNotUploaded().empty());

    WriteFile(opened, "second version, longer\n");
    prompts.answers = {PromptAnswer::Yes};
    edits.CheckFiles();
    ASSERT_TRUE(RunQueue());
    EXPECT_EQ(prompts.Texts().back(), "Upload the changed notes.txt?");
    EXPECT_EQ(ReadFile(server.Root() + "/docs/notes.txt"), "second version, longer\n");
    EXPECT_TRUE(edits.ChangedNotUploaded().empty());

    WriteFile(opened, "third, kept local\n");
    prompts.answers = {PromptAnswer::No};
    edits.CheckFiles();
    EXPECT_EQ(edits.ChangedNotUploaded(), std::vector<std::string>{"notes.txt"});
    EXPECT_EQ(ReadFile(server.Root() + "/docs/notes.txt"), "second version, longer\n");
}

}  // namespace
}  // namespace vollum::test
