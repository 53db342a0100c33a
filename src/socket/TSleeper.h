#pragma once
// A pause of Interval milliseconds that keeps events flowing.
#include "socket/EventWait.h"

namespace vollum {

class TSleeper {
public:
    int Interval() const { return interval_; }
    void SetInterval(int ms) { interval_ = ms; }
    void Pause();
    void PauseFor(int ms);

private:
    int interval_ = 1000;
    EventWait wait_;
};

}  // namespace vollum
