#pragma once
// The progress window of a run without a display: one line on standard error,
// redrawn in place when the whole percentage changes.
#include <cstdio>
#include <string>

#include "ftp/MeterView.h"

namespace vollum {

class ConsoleMeter : public MeterView {
public:
    explicit ConsoleMeter(std::FILE* out = stderr) : out_(out) {}

    bool IsVisible() const override { return visible_; }
    void ShowAndRaise() override;
    void Hide() override;
    void SetPosition(int) override {}  // the title carries the percentage
    void SetTitle(const std::string& text) override { title_ = text; }
    void SetBytesWritten(const std::string& text) override { bytes_ = text; }
    void SetStatus(const std::string& text) override { status_ = text; }
    void SetSpeed(const std::string& text) override { speed_ = text; }
    void SetTimeLeft(const std::string& text) override { timeLeft_ = text; }
    void Repaint() override;

    // The line as drawn, e.g. "83% Complete  21 of 25  Sending file: a.txt  12.50 kb/s  00:02 min".
    std::string Line() const;

private:
    std::FILE* out_;
    bool visible_ = false;
    size_t drawnWidth_ = 0;
    std::string title_, bytes_, status_, speed_, timeLeft_;
};

}  // namespace vollum
