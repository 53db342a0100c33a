// The lines between a parallel run and its workers carry any bytes a path may hold.
#include <gtest/gtest.h>

#include "unattended/WorkerLines.h"

namespace vollum {
namespace {

TEST(WorkerLines, FieldsOfAnyBytesComeBackAsTheyWentAndSplitLinesAreWhole) {
    const std::vector<std::string> fields = {"J", "", "my file 100%.txt", std::string("a\nb\r\0c", 6),
                                             "gr\xc3\xbc\xc3\x9f" "e", "%", "%41", " lead"};
    const std::string line = JoinFields(fields);
    EXPECT_EQ(line.find('\n'), line.size() - 1);

    LineBuffer in;
    in.Add(line.data(), 5);  // a line in two reads, then two lines in one
    std::string got;
    EXPECT_FALSE(in.Next(got));
    const std::string rest = line.substr(5) + "R\n";
    in.Add(rest.data(), rest.size());
    ASSERT_TRUE(in.Next(got));
    std::vector<std::string> back;
    ASSERT_TRUE(SplitFields(got, back));
    EXPECT_EQ(back, fields);
    ASSERT_TRUE(in.Next(got));
    EXPECT_EQ(got, "R");
    EXPECT_FALSE(in.Next(got));

    for (const char* bad : {"%4", "%G1", "a%"}) EXPECT_FALSE(SplitFields(bad, back)) << bad;
}

}  // namespace
}  // namespace vollum
