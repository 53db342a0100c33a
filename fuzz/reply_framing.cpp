// The line splitter and the end-of-reply rule against a plain model: bytes
// arrive in arbitrary pieces through a peek window; the fragments must cover
// the stream exactly and a reply must end at the first line whose first
// character is 1-5 and whose fourth is not '-'.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "FuzzCheck.h"
#include "ftp/ReplyFraming.h"

using vollum::NextReplyFragment;
using vollum::ReplyFrameState;

namespace {

// The class a whole line (LF included) gives its reply, 0 when it does not end one.
int ModelClass(const std::string& line) {
    if (line.size() > 3 && line[3] == '-') return 0;
    return line[0] >= '1' && line[0] <= '5' ? line[0] - '0' : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    // A window below four bytes could not see the '-' on a long line's first piece.
    const size_t window = in.ConsumeIntegralInRange<size_t>(4, 300);
    std::string arrivals[8];
    for (auto& a : arrivals) a = in.ConsumeRandomLengthString(400);
    std::string stream;
    for (const auto& a : arrivals) stream += a;

    size_t arrived = 0, next = 0, consumed = 0, lineStart = 0;
    bool closed = false;
    ReplyFrameState state;
    for (int steps = 0; steps < 100000; ++steps) {
        const size_t visible = std::min(arrived, consumed + window) - consumed;
        const std::string_view pending(stream.data() + consumed, visible);
        const auto f = NextReplyFragment(pending, window, closed, state);
        FUZZ_CHECK(f.take <= pending.size());
        if (f.take == 0) {
            FUZZ_CHECK(!closed || pending.empty());
            FUZZ_CHECK(pending.size() < window && pending.find('\n') == std::string_view::npos);
            if (closed) break;
            if (next < 8) arrived += arrivals[next++].size();
            else closed = true;
            continue;
        }
        const std::string_view piece = pending.substr(0, f.take);
        const size_t lf = piece.find('\n');
        FUZZ_CHECK(lf == std::string_view::npos || lf + 1 == piece.size());
        FUZZ_CHECK(f.complete == (piece.back() == '\n'));
        consumed += f.take;
        if (!f.complete) {
            FUZZ_CHECK(f.replyClass == 0);
            continue;
        }
        const std::string line = stream.substr(lineStart, consumed - lineStart);
        FUZZ_CHECK(f.replyClass == ModelClass(line));
        lineStart = consumed;
        if (f.replyClass != 0) state = ReplyFrameState{};
    }
    FUZZ_CHECK(consumed == stream.size());
    return 0;
}
