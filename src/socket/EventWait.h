#pragma once
// The one way to wait: a nested event loop that ends when a socket becomes
// ready, a deadline passes, or a handler abandons the wait. Timers, menu
// commands and Cancel keep running meanwhile; nothing spins the CPU.
#include <QObject>

class QEventLoop;

namespace vollum {

enum class WaitResult { Ready, TimedOut, Cancelled };
enum class WaitFor { Read, Write };

class EventWait {
public:
    // fd < 0 waits for the deadline or Cancel only. timeoutMs <= 0: no deadline.
    WaitResult Wait(int fd, WaitFor what, int timeoutMs);
    // Ends the wait in progress (if any) with Cancelled.
    void Cancel();
    bool Waiting() const { return loop_ != nullptr; }

private:
    QEventLoop* loop_ = nullptr;
};

}  // namespace vollum
