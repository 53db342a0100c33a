#include <gtest/gtest.h>

#include <optional>

#include "common/Convert.h"
#include "common/Errors.h"
#include "common/Format.h"
#include "common/Helpers.h"

namespace vollum {
namespace {

TEST(StrictInteger, acceptsDecimalAndDollarHexOnlyAndNamesTheTextOnFailure) {
    const std::pair<const char*, std::optional<int32_t>> table[] = {
        {"21", 21},
        {"  42", 42},
        {"+7", 7},
        {"-7", -7},
        {"$1F", 31},
        {"$ff", 255},
        {"$FFFFFFFF", -1},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"$100000000", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"$", std::nullopt},
        {"12 ", std::nullopt},
        {"0x10", std::nullopt},
        {"--1", std::nullopt},
        {"Not", std::nullopt},
    };
    for (const auto& [text, expected] : table) EXPECT_EQ(TryStrToInt(text), expected) << "'" << text << "'";
    try {
        StrToInt("12 ");
        FAIL() << "no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'12 ' is not a valid integer value");
    }
}

TEST(FormatText, fillsPlaceholdersInOrderAndLeavesArgumentBytesAlone) {
    EXPECT_EQ(Format("%s: %d of %d", {"x", 3, -10}), "x: 3 of -10");
    EXPECT_EQ(Format("RETR %s", {"100%s %d.txt"}), "RETR 100%s %d.txt");
    EXPECT_EQ(Format("100%% [%s] [%d] %x %"), "100% [] [] %x %");
    EXPECT_EQ(Format("%s", {std::string("a\0b", 3)}), std::string("a\0b", 3));
}

}  // namespace
}  // namespace vollum

namespace vollum {
namespace {

TEST(Utf8, onlyWellFormedSequencesPass) {
    const std::pair<std::string, bool> cases[] = {
        {"plain.txt", true},          {"gr\xc3\xbc\xc3\x9f" "e", true}, {"\xf0\x9f\x98\x80", true},
        {"a\xff.txt", false},         {"a\xc3", false},                  {"\xc0\xaf", false},  // overlong "/"
        {"\xed\xa0\x80", false},      {"\xf4\x90\x80\x80", false},       {"\xe2\x82", false},
    };
    for (const auto& [text, valid] : cases) EXPECT_EQ(ValidUtf8(text), valid) << text;
}

TEST(TerminalText, controlBytesButLineBreaksAndTabsAreWrittenOut) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\x1b[31mred\x1b[0m", "a\\x1b[31mred\\x1b[0m"},
        {"t\x1b]0;title\x07", "t\\x1b]0;title\\x07"},
        {"line\r\nnext\tcol", "line\r\nnext\tcol"},
        {"del\x7f gr\xc3\xbc\xc3\x9f" "e \xff", "del\\x7f gr\xc3\xbc\xc3\x9f" "e \xff"},
    };
    for (const auto& [text, shown] : cases) EXPECT_EQ(TerminalText(text), shown) << text;
}

}  // namespace
}  // namespace vollum
