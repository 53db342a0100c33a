#include "unattended/RunMeter.h"

#include <algorithm>

#include "ftp/TransferMeter.h"

namespace vollum {

int64_t RunMeter::LeadingCount(const std::string& text) {
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') break;
        if (value > (INT64_MAX - 9) / 10) return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

void RunMeter::SetBytesWritten(const std::string& text) {
    ownSending_ = LeadingCount(text);
    Show();
}

void RunMeter::Show() {
    if (bytesFound_ <= 0) return;
    const int64_t done = std::min(bytesFound_, bytesDone_ + ownSending_ + workersSending_);
    if (!window_.IsVisible()) window_.ShowAndRaise();
    const int percent = MeterPercentage(done, bytesFound_);
    const std::string bytes = std::to_string(done) + " of " + std::to_string(bytesFound_);
    const std::string status =
        "Sent " + std::to_string(filesDone_) + " of " + std::to_string(filesFound_) + " files";
    if (bytes == bytesText_ && status == statusText_ && percent == percent_) return;
    bytesText_ = bytes;
    window_.SetBytesWritten(bytes);
    if (status != statusText_) {
        statusText_ = status;
        window_.SetStatus(status);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    if (seconds > 0.5) {
        const double perSecond = static_cast<double>(done) / seconds;
        window_.SetSpeed(TransferMeter::SpeedText(perSecond / 1024.0));
        if (perSecond > 0)
            window_.SetTimeLeft(
                TransferMeter::TimeLeftText(static_cast<long>(static_cast<double>(bytesFound_ - done) / perSecond)));
    }
    if (percent != percent_) {
        percent_ = percent;
        window_.SetPosition(percent);
        window_.SetTitle(std::to_string(percent) + "% Complete");
        window_.Repaint();
    }
}

}  // namespace vollum
