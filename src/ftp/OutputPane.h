#pragma once
// The output pane's content: whole lines, bounded in size like the text
// control it stands for. A widget mirrors it through the two callbacks.
#include <cstddef>
#include <deque>
#include <functional>
#include <string>

namespace vollum {

class OutputPane {
public:
    static constexpr size_t kDefaultCapacity = 8 * 1024 * 1024;
    explicit OutputPane(size_t capacityBytes = kDefaultCapacity) : capacity_(capacityBytes) {}

    // False when the pane is full and the line was not added.
    bool AddLine(const std::string& line);
    void Clear();
    const std::deque<std::string>& Lines() const { return lines_; }
    // The line before the caret: the last line added ("" when empty).
    std::string LastLine() const { return lines_.empty() ? std::string() : lines_.back(); }
    void SetCapacity(size_t bytes) { capacity_ = bytes; }
    // False for a line too long for even an empty pane.
    bool CouldEverTake(size_t lineSize) const { return lineSize + 2 <= capacity_; }

    std::function<void(const std::string& line)> OnLineAdded;
    std::function<void()> OnCleared;

private:
    std::deque<std::string> lines_;
    size_t bytes_ = 0;
    size_t capacity_;
};

}  // namespace vollum
