#include "ftp/MeterView.h"

namespace vollum {

int MeterPercentage(long long done, long long total) {
    if (total == 0 || done == 0) return 0;  // no division by zero for an empty first block
    const long double ratio = static_cast<long double>(total) / static_cast<long double>(done);
    const long double percent = 100.0L / ratio;
    return static_cast<int>(percent);
}

}  // namespace vollum
