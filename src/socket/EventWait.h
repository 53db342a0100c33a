#pragma once
// The one way to wait: a nested event loop that ends when a socket becomes
// ready, a deadline passes, or a handler abandons the wait. Timers, menu
// commands and Cancel keep running meanwhile; nothing spins the CPU.
#include <QObject>
#include <climits>
#include <cstdint>
#include <vector>

namespace vollum {

enum class WaitResult { Ready, TimedOut, Cancelled };
enum class WaitFor { Read, Write };

// The longest deadline the timer can hold (about 24.8 days); longer ones are cut to it.
constexpr int64_t kLongestWaitMs = INT_MAX;

// A time-out in whole seconds as a deadline: 0 (none) for 0 or less, never more
// than the timer can hold, whatever the settings file said.
int64_t WaitMsForSeconds(int64_t seconds);

class EventWait {
public:
    // fd < 0 waits for the deadline or Cancel only. timeoutMs <= 0: no deadline.
    // A wait whose loop ends for any other reason (the application quits, also
    // during an outer wait) is Cancelled; once quitting, every wait is.
    WaitResult Wait(int fd, WaitFor what, int64_t timeoutMs);
    // Ends every wait of this instance in progress with Cancelled: a handler
    // may have started a second wait inside the first, and both are moot.
    void Cancel();
    bool Waiting() const { return !waits_.empty(); }

private:
    struct Pending;
    std::vector<Pending*> waits_;  // innermost last
};

}  // namespace vollum
