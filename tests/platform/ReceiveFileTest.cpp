// The hidden file a retrieve writes before it takes the target's place.
#include <gtest/gtest.h>

#include "platform/ReceiveFile.h"
#include "support/TempDir.h"

namespace vollum::test {

// Any name the file system takes must be receivable, also one at its length limit.
TEST(ReceiveFile, ReceivesUnderNamesUpToTheLengthLimit) {
    TempDir d;
    for (const size_t length : {1u, 200u, 241u, 255u}) {
        const std::string target = d / std::string(length, 'L');
        ReceiveFile out;
        ASSERT_TRUE(out.OpenBeside(target)) << length;
        ASSERT_TRUE(out.Write("bytes", 5));
        ASSERT_TRUE(out.Commit()) << length;
        EXPECT_EQ(ReadFile(target), "bytes") << length;
    }
}

}  // namespace vollum::test
