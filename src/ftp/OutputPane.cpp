#include "ftp/OutputPane.h"

namespace vollum {

bool OutputPane::AddLine(const std::string& line) {
    const size_t cost = line.size() + 2;  // the control stores a line break too
    if (bytes_ + cost > capacity_) return false;
    lines_.push_back(line);
    bytes_ += cost;
    if (OnLineAdded) OnLineAdded(line);
    return true;
}

void OutputPane::Clear() {
    lines_.clear();
    bytes_ = 0;
    if (OnCleared) OnCleared();
}

}  // namespace vollum
