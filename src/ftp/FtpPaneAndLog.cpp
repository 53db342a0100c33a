#include "ftp/TFtpSession.h"

namespace vollum {

void TFtpSession::ShowText(const std::string& text) {
    if (text.size() <= 1) return;
    for (const char c : text) {
        if (c == '\n') {
            if (!Memo1.AddLine(PendingPaneLine)) {
                Memo1.Clear();
                Memo1.AddLine("Cleared output area due to limited  resources");
            }
            PendingPaneLine.clear();
        } else if (c != '\0') {
            PendingPaneLine += c;
        }
    }
}

void TFtpSession::ShowLine(const std::string& format, std::initializer_list<FmtArg> args) {
    ShowText(Format(format, args) + "\r\n");
}

void TFtpSession::LogLine(const std::string& text) { Log.LogLine(text); }

}  // namespace vollum
