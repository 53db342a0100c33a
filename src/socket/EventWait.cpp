#include "socket/EventWait.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace vollum {

// One wait in progress. The first outcome sticks: a socket event or the
// deadline may still be dispatched after a handler cancelled the wait.
struct EventWait::Pending {
    QEventLoop loop;
    bool decided = false;
    // Stays Cancelled unless a notifier, the deadline or Cancel decided: the loop
    // also ends when the application quits, and then nothing is ready.
    WaitResult result = WaitResult::Cancelled;
    void Finish(WaitResult r) {
        if (decided) return;
        decided = true;
        result = r;
        loop.exit();
    }
};

int64_t WaitMsForSeconds(int64_t seconds) {
    if (seconds <= 0) return 0;
    if (seconds > kLongestWaitMs / 1000) return kLongestWaitMs;
    return seconds * 1000;
}

WaitResult EventWait::Wait(int fd, WaitFor what, int64_t timeoutMs) {
    Pending wait;
    std::unique_ptr<QSocketNotifier> notifier;
    if (fd >= 0) {
        notifier = std::make_unique<QSocketNotifier>(
            fd, what == WaitFor::Read ? QSocketNotifier::Read : QSocketNotifier::Write);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &wait.loop,
                         [&wait] { wait.Finish(WaitResult::Ready); });
    }
    QTimer deadline;
    if (timeoutMs > 0) {
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);
        QObject::connect(&deadline, &QTimer::timeout, &wait.loop, [&wait] { wait.Finish(WaitResult::TimedOut); });
        deadline.start(static_cast<int>(std::min(timeoutMs, kLongestWaitMs)));
    }
    waits_.push_back(&wait);
    // Popped on every way out, so a handler's exception leaves no dangling entry.
    struct Pop {
        std::vector<Pending*>& waits;
        ~Pop() { waits.pop_back(); }
    } pop{waits_};
    wait.loop.exec(QEventLoop::AllEvents);
    return wait.result;
}

void EventWait::Cancel() {
    for (Pending* wait : waits_) wait->Finish(WaitResult::Cancelled);
}

}  // namespace vollum
