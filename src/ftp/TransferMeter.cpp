#include "ftp/TransferMeter.h"

#include <QCoreApplication>
#include <cmath>
#include <cstdio>

#include "common/Helpers.h"
#include "ftp/MeterView.h"

namespace vollum {

namespace {

constexpr auto kEventInterval = std::chrono::milliseconds(20);

// Whole seconds of the millisecond tick, rounded half to even.
double RoundedSeconds() {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    return std::nearbyint(static_cast<double>(ms) * 0.001);
}

}  // namespace

void TransferMeter::SetView(MeterView* view) {
    view_ = view;
    position_ = 0;
    titlePercent_ = -1;
    bytes_.reset();
    status_.reset();
    speed_.reset();
    timeLeft_.reset();
}

bool TransferMeter::Due(long long done, long long total) {
    const auto now = std::chrono::steady_clock::now();
    pace_.eventsDue = now >= pace_.nextEvents;
    if (pace_.eventsDue) pace_.nextEvents = now + kEventInterval;
    if (view_ == nullptr || total == 0) return false;
    const int percent = MeterPercentage(done, total);
    if (percent == pace_.percent && !pace_.eventsDue) return false;
    pace_.percent = percent;
    return true;
}

void TransferMeter::ProcessPendingEvents() { QCoreApplication::processEvents(); }

void TransferMeter::SetText(std::optional<std::string>& shown, const std::string& text, Setter set) {
    if (view_ == nullptr || shown == text) return;
    shown = text;
    (view_->*set)(text);
}

void TransferMeter::Update(long long done, long long total) {
    if (view_ == nullptr || total == 0) return;
    if (!view_->IsVisible()) view_->ShowAndRaise();
    const int percent = MeterPercentage(done, total);
    const bool moved = percent != position_;
    if (moved) {
        position_ = percent;
        view_->SetPosition(percent);
    }
    if (percent != titlePercent_) {
        view_->SetTitle(std::to_string(percent) + "% Complete");
        titlePercent_ = percent;
    }
    SetText(bytes_, std::to_string(done) + " of " + std::to_string(total), &MeterView::SetBytesWritten);
    if (moved) view_->Repaint();
}

void TransferMeter::Hide() {
    titlePercent_ = -1;  // the next transfer writes its title afresh
    if (view_ != nullptr) view_->Hide();
}

void TransferMeter::SetStatus(const std::string& text) { SetText(status_, text, &MeterView::SetStatus); }

void TransferMeter::SetBusyCursor(bool busy) {
    if (view_ != nullptr) view_->SetBusyCursor(busy);
}

void TransferMeter::BeginRates(long long fileSize) {
    rates_ = {};
    rates_.fileSize = fileSize;
    rates_.start = RoundedSeconds();
    // Until this transfer has figures of its own, none of an earlier one's show.
    SetText(speed_, "", &MeterView::SetSpeed);
    SetText(timeLeft_, "", &MeterView::SetTimeLeft);
}

void TransferMeter::PublishRates(long long total) {
    if (view_ == nullptr) return;
    const double elapsed = RoundedSeconds() - rates_.start;
    if (elapsed != 0) {
        rates_.speed = static_cast<double>(total) / elapsed / 1024;
        SetText(speed_, SpeedText(rates_.speed), &MeterView::SetSpeed);
    }
    if (elapsed != 0 && rates_.speed != 0) {
        rates_.secondsLeft =
            static_cast<long>(std::nearbyint(static_cast<double>(rates_.fileSize - total) / 1024 / rates_.speed));
        rates_.estimated = true;
    }
    // Until the first estimate the label keeps what it showed.
    if (rates_.estimated) SetText(timeLeft_, TimeLeftText(rates_.secondsLeft), &MeterView::SetTimeLeft);
}

std::string TransferMeter::SpeedText(double kilobytesPerSecond) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f kb/s", kilobytesPerSecond);
    return text;
}

std::string TransferMeter::TimeLeftText(long seconds) {
    return TwoDigits(seconds / 60) + ":" + TwoDigits(seconds % 60) + " min";
}

}  // namespace vollum
