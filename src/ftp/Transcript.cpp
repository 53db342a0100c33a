#include "ftp/Transcript.h"

namespace vollum {

void Transcript::ShowText(const std::string& text) {
    if (text.size() <= 1) return;
    auto overflow = [this] {
        pane_.Clear();
        pane_.AddLine("Cleared output area due to limited  resources");
    };
    for (const char c : text) {
        if (c == '\n') {
            if (!dropping_ && !pane_.AddLine(pending_)) overflow();
            pending_.clear();
            dropping_ = false;
        } else if (c != '\0' && !dropping_) {
            // A line the pane could never take is lost now, not held while a
            // peer sends bytes without a line feed for ever.
            if (!pane_.CouldEverTake(pending_.size() + 1)) {
                overflow();
                pending_.clear();
                dropping_ = true;
            } else {
                pending_ += c;
            }
        }
    }
}

void Transcript::ShowLine(const std::string& format, std::initializer_list<FmtArg> args) {
    ShowText(Format(format, args) + "\r\n");
}

void Transcript::LogLine(const std::string& text) {
    if (LogSink) {
        LogSink(text);
        return;
    }
    log_.LogLine(text);
}

void Transcript::SetLog(const std::string& programDir, bool useLogFile) {
    log_.ProgramDir = programDir;
    log_.UseLogFile = useLogFile;
}

}  // namespace vollum
