#pragma once
// Between the session's meter and its window while a queue item runs: the
// window shows every file as ever, and the item learns its bytes. A file's
// bytes come as the window's "done of total"; they add up over the files of
// a tree, each ending with Hide.
#include <cstdint>
#include <functional>
#include <string>

#include "ftp/MeterView.h"

namespace vollum {

class QueueMeter : public MeterView {
public:
    explicit QueueMeter(MeterView* window) : window_(window) {}

    // Called with the item's bytes so far whenever they change.
    std::function<void(int64_t bytes)> OnBytes;
    int64_t Bytes() const { return finished_ + current_; }

    bool IsVisible() const override { return window_ != nullptr && window_->IsVisible(); }
    void ShowAndRaise() override {
        if (window_ != nullptr) window_->ShowAndRaise();
    }
    void Hide() override;
    void SetPosition(int percent) override {
        if (window_ != nullptr) window_->SetPosition(percent);
    }
    void SetTitle(const std::string& text) override {
        if (window_ != nullptr) window_->SetTitle(text);
    }
    void SetBytesWritten(const std::string& text) override;
    void SetStatus(const std::string& text) override {
        if (window_ != nullptr) window_->SetStatus(text);
    }
    void SetSpeed(const std::string& text) override {
        if (window_ != nullptr) window_->SetSpeed(text);
    }
    void SetTimeLeft(const std::string& text) override {
        if (window_ != nullptr) window_->SetTimeLeft(text);
    }
    void Repaint() override {
        if (window_ != nullptr) window_->Repaint();
    }
    void SetBusyCursor(bool busy) override {
        if (window_ != nullptr) window_->SetBusyCursor(busy);
    }

private:
    MeterView* window_;
    int64_t finished_ = 0;  // bytes of the files that have ended
    int64_t current_ = 0;   // bytes of the file under way
};

}  // namespace vollum
