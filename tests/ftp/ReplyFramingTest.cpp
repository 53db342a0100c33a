// Reply framing over raw bytes: where lines split and which line ends a reply.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ftp/ReplyFraming.h"

namespace vollum::test {
namespace {

using namespace std::string_literals;

struct Framed {
    std::vector<std::string> fragments;
    int replyClass = 0;
    size_t consumed = 0;
};

// Reads one reply the way the control channel does: each look sees at most
// a window of the bytes not yet consumed.
Framed Frame(const std::string& bytes, size_t window, bool closedAtEnd) {
    Framed out;
    ReplyFrameState state;
    while (out.consumed < bytes.size() && out.fragments.size() < 100) {
        const std::string pending = bytes.substr(out.consumed, window);
        const bool closed = closedAtEnd && out.consumed + pending.size() == bytes.size();
        const ReplyFragment f = NextReplyFragment(pending, window, closed, state);
        if (f.take == 0) break;
        out.fragments.push_back(pending.substr(0, f.take));
        out.consumed += f.take;
        if (f.replyClass != 0) {
            out.replyClass = f.replyClass;
            break;
        }
    }
    return out;
}

TEST(ReplyFraming, rawByteSequences) {
    using Lines = std::vector<std::string>;
    struct Case {
        const char* what;
        std::string bytes;
        size_t window;
        bool closed;
        Lines fragments;
        int replyClass;
    };
    const std::string longA(300, 'a');
    const Case cases[] = {
        {"one line, CR kept", "200 ok\r\n", 255, false, {"200 ok\r\n"}, 2},
        {"bare LF ends a line", "226 done\n", 255, false, {"226 done\n"}, 2},
        {"what follows the reply stays", "200 ok\r\n331 next\r\n", 255, false, {"200 ok\r\n"}, 2},
        {"incomplete line waits", "257 \"/ho", 255, false, {}, 0},
        {"CR alone ends nothing", "257 x\r", 255, false, {}, 0},
        {"continuation to same code and blank",
         "220-a\r\n220-b\r\n220 c\r\n",
         255,
         false,
         {"220-a\r\n", "220-b\r\n", "220 c\r\n"},
         2},
        {"other lines inside a multi-line reply",
         "214-x\r\n USER\r\nend here\r\n214 End\r\n",
         255,
         false,
         {"214-x\r\n", " USER\r\n", "end here\r\n", "214 End\r\n"},
         2},
        {"a new code with '-' goes on", "230-no\r\n250 done\r\n", 255, false, {"230-no\r\n", "250 done\r\n"}, 2},
        {"NUL is an ordinary byte", "220-t\0wo\r\n2\0\0 x\r\n"s, 255, false, {"220-t\0wo\r\n"s, "2\0\0 x\r\n"s}, 2},
        {"first character outside 1-5 never ends",
         "600 odd\r\n0\r\n150 go\r\n",
         255,
         false,
         {"600 odd\r\n", "0\r\n", "150 go\r\n"},
         1},
        {"short lines end on their first character", "3\r\n", 255, false, {"3\r\n"}, 3},
        {"overlong line in window pieces, decided on the first",
         "214-" + longA + "\r\n226 ok\r\n",
         255,
         false,
         {"214-" + longA.substr(0, 251), longA.substr(251) + "\r\n", "226 ok\r\n"},
         2},
        {"a code at a window boundary is no new line",
         "226 " + std::string(251, 'b') + "200-trap\r\n",
         255,
         false,
         {"226 " + std::string(251, 'b'), "200-trap\r\n"},
         2},
        {"narrow window", "215 UNIX Type: L8 tail\r\n", 16, false, {"215 UNIX Type: L", "8 tail\r\n"}, 2},
        {"peer closed mid-line: the rest is one fragment", "220-par", 255, true, {"220-par"}, 0},
        {"peer closed after a whole reply", "221 bye\r\n", 255, true, {"221 bye\r\n"}, 2},
    };
    for (const Case& c : cases) {
        const Framed f = Frame(c.bytes, c.window, c.closed);
        EXPECT_EQ(f.fragments, c.fragments) << c.what;
        EXPECT_EQ(f.replyClass, c.replyClass) << c.what;
    }
}

}  // namespace
}  // namespace vollum::test
