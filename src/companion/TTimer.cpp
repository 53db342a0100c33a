#include "companion/TTimer.h"

#include <algorithm>
#include <climits>

namespace vollum {

TTimer::TTimer() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (enabled_ && OnTimer) OnTimer();
    });
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Apply();
}

void TTimer::SetInterval(int64_t milliseconds) {
    if (milliseconds == interval_) return;
    interval_ = milliseconds;
    Apply();
}

void TTimer::Apply() {
    if (!enabled_ || interval_ <= 0) {
        timer_.stop();
        return;
    }
    // A (re)started timer counts its interval afresh, as a form timer does.
    timer_.start(static_cast<int>(std::min<int64_t>(interval_, INT_MAX)));
}

}  // namespace vollum
