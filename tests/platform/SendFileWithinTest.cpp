// A store confined to a directory looks at the file it actually opened: the
// path, links followed at the moment of the open, must lead inside.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/LocalFiles.h"
#include "platform/SendFile.h"
#include "support/TempDir.h"

namespace vollum::test {

namespace fs = std::filesystem;

TEST(SendFileWithin, OpensOnlyWhatLiesInsideOnceLinksAreFollowed) {
    TempDir root, outside;
    PutFile(root / "in.txt", "in");
    PutFile(outside / "secret.txt", "out");
    fs::create_symlink(root / "in.txt", root / "link-in");
    fs::create_symlink(outside / "secret.txt", root / "link-out");
    fs::create_directory_symlink(outside.Path(), root / "dir-out");
    const std::string within = RealPath(root.Path());
    struct Case {
        std::string path;
        bool opens;
    };
    for (const Case& c : {Case{root / "in.txt", true}, Case{root / "link-in", true}, Case{root / "link-out", false},
                          Case{root / "dir-out/secret.txt", false}}) {
        SendFile f;
        EXPECT_EQ(f.Open(c.path, within), c.opens) << c.path;
        EXPECT_EQ(f.Outside(), !c.opens && LocalFileExists(c.path)) << c.path;
        // Without a directory to stay in, anything readable opens.
        EXPECT_EQ(SendFile().Open(c.path), LocalFileExists(c.path)) << c.path;
    }
}

}  // namespace vollum::test
