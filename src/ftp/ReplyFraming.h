#pragma once
// How raw control-connection bytes become reply lines, and which line ends a
// reply. Pure: the reader in ControlChannel only peeks, consumes and shows.
#include <cstddef>
#include <string_view>

namespace vollum {

// Carried from one fragment to the next within one reply.
struct ReplyFrameState {
    bool atLineStart = true;
    char first = 0;  // the deciding character of the current line; 0 for "NNN-" lines
};

struct ReplyFragment {
    size_t take = 0;        // bytes that form the next fragment; 0: wait for more
    bool complete = false;  // the fragment ends in LF (a whole line, or its last piece)
    int replyClass = 0;     // 1-5 when this fragment ends the reply, else 0
};

// The next fragment of the pending bytes: through the first LF, a full window
// without one (a piece of an overlong line; the window cannot grow), or all
// that is left once the peer has closed. NULs and CRs are ordinary bytes here.
// A line ends the reply when its first character is a digit 1-5 and its
// fourth is not '-'; for a line longer than the window that is decided on its
// first piece and applied at its LF.
ReplyFragment NextReplyFragment(std::string_view pending, size_t window, bool closed, ReplyFrameState& state);

}  // namespace vollum
