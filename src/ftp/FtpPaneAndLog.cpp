#include "ftp/TFtpSession.h"

namespace vollum {

void TFtpSession::ShowText(const std::string& text) {
    if (text.size() <= 1) return;
    auto overflow = [this] {
        Memo1.Clear();
        Memo1.AddLine("Cleared output area due to limited  resources");
    };
    for (const char c : text) {
        if (c == '\n') {
            if (!DroppingPaneLine && !Memo1.AddLine(PendingPaneLine)) overflow();
            PendingPaneLine.clear();
            DroppingPaneLine = false;
        } else if (c != '\0' && !DroppingPaneLine) {
            // A line the pane could never take is lost now, not held while a
            // peer sends bytes without a line feed for ever.
            if (!Memo1.CouldEverTake(PendingPaneLine.size() + 1)) {
                overflow();
                PendingPaneLine.clear();
                DroppingPaneLine = true;
            } else {
                PendingPaneLine += c;
            }
        }
    }
}

void TFtpSession::ShowLine(const std::string& format, std::initializer_list<FmtArg> args) {
    ShowText(Format(format, args) + "\r\n");
}

void TFtpSession::LogLine(const std::string& text) { Log.LogLine(text); }

}  // namespace vollum
