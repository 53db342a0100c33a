// The name a download takes when the user keeps both files.
#include <gtest/gtest.h>

#include "platform/LocalFiles.h"
#include "support/TempDir.h"

namespace vollum::test {

TEST(KeepBothName, TakesTheNextFreeNumberBeforeTheExtension) {
    TempDir d;
    PutFile(d / "taken (1).txt", "");
    struct Case {
        std::string given, expected;
    };
    const Case cases[] = {
        {d / "a.txt", d / "a (1).txt"},
        {d / "taken.txt", d / "taken (2).txt"},  // (1) is there already
        {d / ".profile", d / ".profile (1)"},     // a hidden name has no extension
        {d / "a.tar.gz", d / "a.tar (1).gz"},
        {d / "README", d / "README (1)"},
        {d / "dir.d/plain", d / "dir.d/plain (1)"},  // a dot in the folder is no extension
        {"rel.bin", "rel (1).bin"},
    };
    for (const Case& c : cases) EXPECT_EQ(KeepBothName(c.given), c.expected) << c.given;
}

}  // namespace vollum::test
