#pragma once
// Learning that a process (not necessarily our child) has ended, from the
// event loop and without polling: a pidfd on Linux.
#include <QTimer>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace vollum {

class ProcessEndWatch {
public:
    ProcessEndWatch();
    ~ProcessEndWatch();
    ProcessEndWatch(const ProcessEndWatch&) = delete;
    ProcessEndWatch& operator=(const ProcessEndWatch&) = delete;

    // Calls onEnd once, from the event loop, when the process has ended (at
    // once, queued, when it has ended already). False when the system cannot
    // watch it: the caller has to poll.
    bool Watch(long long pid, std::function<void()> onEnd);
    // Forgets the process; onEnd is not called.
    void Cancel();
    bool Watching() const { return fd_ >= 0 || pendingEnd_; }

private:
    void Ended();

    int fd_ = -1;
    bool pendingEnd_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> onEnd_;
    QTimer pending_;  // an end found at Watch, reported from the loop
};

}  // namespace vollum
