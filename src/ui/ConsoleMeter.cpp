#include "ui/ConsoleMeter.h"

#include "common/Helpers.h"

namespace vollum {

std::string ConsoleMeter::Line() const {
    std::string line = title_;
    for (const std::string* part : {&bytes_, &status_, &speed_, &timeLeft_})
        if (!part->empty()) line += "  " + *part;
    return line;
}

// The engine shows the meter before it sets the texts of the new transfer:
// the line is drawn at the repaint that follows.
void ConsoleMeter::ShowAndRaise() { visible_ = true; }

void ConsoleMeter::Repaint() {
    if (!visible_) return;
    // The title names a file someone else may have named.
    std::string line = TerminalText(Line());
    const size_t width = line.size();
    // Blank out what a longer previous line left behind.
    if (width < drawnWidth_) line.append(drawnWidth_ - width, ' ');
    std::fprintf(out_, "\r%s", line.c_str());
    std::fflush(out_);
    drawnWidth_ = width;
}

void ConsoleMeter::Hide() {
    if (!visible_) return;
    if (drawnWidth_ > 0) std::fputc('\n', out_);
    std::fflush(out_);
    visible_ = false;
    drawnWidth_ = 0;
}

}  // namespace vollum
