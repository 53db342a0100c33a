#include "socket/TSleeper.h"

namespace vollum {

void TSleeper::Pause() {
    // A nested pause on the same instance ends the outer one with it, as both
    // wait for the same tick.
    if (wait_.Waiting()) wait_.Cancel();
    wait_.Wait(-1, WaitFor::Read, interval_ > 0 ? interval_ : 1);
}

void TSleeper::PauseFor(int ms) {
    if (ms != interval_) interval_ = ms;
    Pause();
}

}  // namespace vollum
