// Which names a server that ignores case or Unicode forms takes for one.
#include <gtest/gtest.h>

#include "unattended/SharedNames.h"

namespace vollum {

TEST(SharedNames, FoldsWhatSuchServersTakeForOneName) {
    const struct {
        const char *a, *b;
        bool alike;
    } cases[] = {
        {"A.txt", "a.txt", true},
        {"\xc3\xa9t\xc3\xa9", "e\xcc\x81t\xc3\xa9", true},  // the same text, composed and decomposed
        {"\xc3\x89T\xc3\x89", "\xc3\xa9t\xc3\xa9", true},   // non-ASCII case
        {"name.", "name", true},                           // Windows drops trailing dots and spaces
        {"name ", "name", true},
        {"\xc9t\xc9", "\xe9t\xe9", true},  // Latin-1 bytes, not UTF-8
        {"a.txt", "b.txt", false},
        {".name", "name", false},
    };
    for (const auto& c : cases) EXPECT_EQ(FoldedName(c.a) == FoldedName(c.b), c.alike) << c.a << " / " << c.b;
    EXPECT_EQ(SharedNames::Sharing({"A.txt", "b", "a.txt", "c"}), (std::set<std::string>{"A.txt", "a.txt"}));
}

TEST(SharedNames, GroupsWholePathsThatFoldAlike) {
    SharedNames names;
    names.Note({{"X", "f"}, "/s/X/f", "X"});
    names.Note({{"X", "g"}, "/s/X/g", "X"});
    names.Note({{"x", "F"}, "/s/x/F", "x"});
    names.Note({{"x"}, "/s/x", ""});
    const auto groups = names.TakeGroups();
    ASSERT_EQ(groups.size(), 1u);
    ASSERT_EQ(groups[0].size(), 2u);
    EXPECT_EQ(groups[0][0].localPath, "/s/X/f");
    EXPECT_EQ(groups[0][1].localPath, "/s/x/F");
    EXPECT_TRUE(names.TakeGroups().empty());
}

}  // namespace vollum
