#include "ftp/ReplyFraming.h"

namespace vollum {

ReplyFragment NextReplyFragment(std::string_view pending, size_t window, bool closed, ReplyFrameState& state) {
    ReplyFragment f;
    const size_t lf = pending.find('\n');
    if (lf != std::string_view::npos) f.take = lf + 1;
    else if (pending.size() >= window || closed) f.take = pending.size();
    if (f.take == 0) return f;
    const std::string_view line = pending.substr(0, f.take);
    f.complete = line.back() == '\n';
    if (state.atLineStart) state.first = (line.size() > 3 && line[3] == '-') ? 0 : line[0];
    state.atLineStart = f.complete;
    if (f.complete && state.first >= '1' && state.first <= '5') f.replyClass = state.first - '0';
    return f;
}

}  // namespace vollum
