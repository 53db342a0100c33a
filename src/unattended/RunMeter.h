#pragma once
// The progress of a parallel run as one view: put between the session's meter
// and its window, it shows the bytes of all connections against the bytes of
// the files found so far, and files done of files found, whatever file the
// run's own connection is storing.
#include <chrono>
#include <cstdint>
#include <string>

#include "ftp/MeterView.h"

namespace vollum {

class RunMeter : public MeterView {
public:
    explicit RunMeter(MeterView& window) : window_(window) {}

    // The run's figures, from the parallel run.
    void Found(int64_t bytes) {
        ++filesFound_;
        bytesFound_ += bytes;
    }
    void Done(int64_t bytes) {
        ++filesDone_;
        bytesDone_ += bytes;
    }
    void SetWorkersSending(int64_t bytes) { workersSending_ = bytes; }
    void Show();
    void End() { window_.Hide(); }

    // The session's meter, storing over the run's own connection.
    bool IsVisible() const override { return window_.IsVisible(); }
    void ShowAndRaise() override { window_.ShowAndRaise(); }
    void Hide() override { ownSending_ = 0; }  // one file ended, not the run
    void SetPosition(int) override {}
    void SetTitle(const std::string&) override {}
    void SetBytesWritten(const std::string& text) override;
    void SetStatus(const std::string&) override {}
    void SetSpeed(const std::string&) override {}
    void SetTimeLeft(const std::string&) override {}
    void Repaint() override { Show(); }
    void SetBusyCursor(bool busy) override { window_.SetBusyCursor(busy); }

    // The leading count of "123 of 456"; 0 for anything else.
    static int64_t LeadingCount(const std::string& text);

private:
    MeterView& window_;
    int filesFound_ = 0, filesDone_ = 0;
    int64_t bytesFound_ = 0, bytesDone_ = 0, ownSending_ = 0, workersSending_ = 0;
    int percent_ = -1;
    std::string bytesText_, statusText_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace vollum
