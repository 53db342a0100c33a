#include "ftp/MeterView.h"

namespace vollum {

int MeterPercentage(long long done, long long total) {
    if (total == 0 || done == 0) return 0;  // no division by zero for an empty first block
    const long double ratio = static_cast<long double>(total) / static_cast<long double>(done);
    const long double percent = 100.0L / ratio;
    return static_cast<int>(percent);
}

long long NextMeterPoint(long long done, long long total, long long unit) {
    const int percent = MeterPercentage(done, total);
    // The percentage only grows with done, so the first change is found by
    // bisection over the multiples of unit; the estimate keeps it short.
    long long lo = done / unit + 1;
    const long double estimate = (static_cast<long double>(percent) + 1) * static_cast<long double>(total) / 100;
    long long hi = std::max(lo, static_cast<long long>(estimate / static_cast<long double>(unit)) + 1);
    while (MeterPercentage(hi * unit, total) == percent) hi += hi - lo + 1;
    while (lo < hi) {
        const long long mid = lo + (hi - lo) / 2;
        if (MeterPercentage(mid * unit, total) == percent) lo = mid + 1;
        else hi = mid;
    }
    return lo * unit;
}

}  // namespace vollum
