#include "socket/EventWait.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

namespace vollum {

namespace {
constexpr int kReady = 0;
constexpr int kTimedOut = 1;
constexpr int kCancelled = 2;
}  // namespace

WaitResult EventWait::Wait(int fd, WaitFor what, int timeoutMs) {
    QEventLoop loop;
    std::unique_ptr<QSocketNotifier> notifier;
    if (fd >= 0) {
        notifier = std::make_unique<QSocketNotifier>(
            fd, what == WaitFor::Read ? QSocketNotifier::Read : QSocketNotifier::Write);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &loop, [&loop] { loop.exit(kReady); });
    }
    QTimer deadline;
    if (timeoutMs > 0) {
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);
        QObject::connect(&deadline, &QTimer::timeout, &loop, [&loop] { loop.exit(kTimedOut); });
        deadline.start(timeoutMs);
    }
    QEventLoop* outer = loop_;
    loop_ = &loop;
    const int rc = loop.exec(QEventLoop::AllEvents);
    loop_ = outer;
    if (rc == kTimedOut) return WaitResult::TimedOut;
    if (rc == kCancelled) return WaitResult::Cancelled;
    return WaitResult::Ready;
}

void EventWait::Cancel() {
    if (loop_) loop_->exit(kCancelled);
}

}  // namespace vollum
