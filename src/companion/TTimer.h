#pragma once
// A form timer: Enabled and Interval as separate properties, and an interval
// of 0 (or less) leaves the timer enabled but never firing, where a zero
// QTimer would fire on every pass of the event loop.
#include <QTimer>
#include <cstdint>
#include <functional>

namespace vollum {

class TTimer {
public:
    TTimer();

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    int64_t Interval() const { return interval_; }
    void SetInterval(int64_t milliseconds);
    // The underlying timer runs (tests look at this).
    bool Running() const { return timer_.isActive(); }

    std::function<void()> OnTimer;

private:
    void Apply();

    QTimer timer_;
    bool enabled_ = false;
    int64_t interval_ = 1000;
};

}  // namespace vollum
