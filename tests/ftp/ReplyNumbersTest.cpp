// The numbers read out of 229, 227 and 150 replies: tables of raw reply text.
#include <gtest/gtest.h>

#include "ftp/ReplyNumbers.h"

namespace vollum::test {
namespace {

TEST(ReplyNumbers, passivePortsAreReadOnlyWhenUsable) {
    struct Case {
        std::string reply;
        int epsv, pasv;
    };
    const Case cases[] = {
        {"229 Entering Extended Passive Mode (|||6446|)", 6446, -1},
        {"229 x (!!!21!)", 21, -1},
        {"229 x (|||70000|)", -1, -1},
        {"229 x (|||0|)", -1, -1},
        {"229 x (|||12", -1, -1},
        {"229 x (||", -1, -1},
        {"227 Entering Passive Mode (127,0,0,1,4,1).", -1, 1025},
        {"227 =127,0,0,1,4,1", -1, 1025},
        // Text around the numbers, digits in it included: the first group of six counts.
        {"227 Entering Passive Mode for IPv4 (127,0,0,1,4,1)", -1, 1025},
        {"227 Mode 2,3 on (10,0,0,9,0,21) not (1,1,1,1,1,1)", -1, 21},
        {"227 (1,2,3,4,5,6,7,8)", -1, 1286},
        {"227 (1,2,3,4,256,1)", -1, -1},
        {"227 (1,2,3,4,0,0)", -1, -1},
        {"227 (1,2,3,4,5)", -1, -1},
        {"227 (1,2,3,4,5,99999999999999999999)", -1, -1},
        {"227 1,2,3,4,5,", -1, -1},
        {"227", -1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EpsvPort(c.reply), c.epsv) << c.reply;
        EXPECT_EQ(PasvPort(c.reply), c.pasv) << c.reply;
    }
}

TEST(ReplyNumbers, announcedSizeIsTheCountOfBytesThatEndsTheReply) {
    struct Case {
        std::string reply;
        std::optional<long long> size;
        std::string name = "";
    };
    const Case cases[] = {
        {"150 Opening BINARY mode data connection for big (1048576 bytes).\r\n", 1048576},
        {"150 Opening BINARY mode data connection for a (5 bytes).bin (0 bytes).", 0},
        {"150 x (6000000000 bytes)", 6000000000LL},
        {"150 File status okay. About to open data connection.\r\n", std::nullopt},
        {"150 x (123)", std::nullopt},
        {"150 x (12 bytes", std::nullopt},
        {"150 x ( 12 bytes)", std::nullopt},
        {"150 x (99999999999999999999 bytes)", std::nullopt},
        {"(", std::nullopt},
        {"150 x (7 bytes) for you", std::nullopt},
        {"150 Opening data connection for x (6 bytes)\r\n", std::nullopt, "x (6 bytes)"},
        {"150 Opening data connection for x (6 bytes) (20 bytes).\r\n", 20, "x (6 bytes)"},
        {"150 Opening data connection for b (20 bytes).\r\n", 20, "b"},
    };
    for (const Case& c : cases) EXPECT_EQ(AnnouncedSize(c.reply, c.name), c.size) << c.reply;
}

}  // namespace
}  // namespace vollum::test
