#include "unattended/WorkerLines.h"

namespace vollum {

bool LineBuffer::Next(std::string& line) {
    const size_t end = pending_.find('\n');
    if (end == std::string::npos) return false;
    line.assign(pending_, 0, end);
    pending_.erase(0, end + 1);
    return true;
}

}  // namespace vollum
