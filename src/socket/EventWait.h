#pragma once
// The one way to wait: a nested event loop that ends when a socket becomes
// ready, a deadline passes, or a handler abandons the wait. Timers, menu
// commands and Cancel keep running meanwhile; nothing spins the CPU.
#include <QObject>
#include <vector>

namespace vollum {

enum class WaitResult { Ready, TimedOut, Cancelled };
enum class WaitFor { Read, Write };

class EventWait {
public:
    // fd < 0 waits for the deadline or Cancel only. timeoutMs <= 0: no deadline.
    WaitResult Wait(int fd, WaitFor what, int timeoutMs);
    // Ends every wait of this instance in progress with Cancelled: a handler
    // may have started a second wait inside the first, and both are moot.
    void Cancel();
    bool Waiting() const { return !waits_.empty(); }

private:
    struct Pending;
    std::vector<Pending*> waits_;  // innermost last
};

}  // namespace vollum
