#pragma once
// The client's exit codes. 0 and 1 hold with and without a display; the rest
// end a run that has no display instead of leaving a window open for nobody.
namespace vollum {

constexpr int kExitNormal = 0;
constexpr int kExitRefused = 1;        // refused login, 425 to STOR, the meter's Cancel
constexpr int kExitNeedsDisplay = 2;   // nothing unattended to do; interactive use needs a display
constexpr int kExitNoConnection = 3;   // could not connect, or the connection was lost at any point
constexpr int kExitStartupFailed = 4;  // start-up ended with an error (e.g. a time-out that is not a number)
constexpr int kExitSomethingKept = 5;  // the run finished, but something was refused, failed or skipped
constexpr int kExitSpoolBusy = 6;      // another spool run holds the spool; this one touched nothing

}  // namespace vollum
