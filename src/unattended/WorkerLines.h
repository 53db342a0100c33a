#pragma once
// The lines between a parallel run and its upload workers: one message per
// line, its fields as common/LineFields.h encodes them.
#include <string>
#include <vector>

#include "common/LineFields.h"

namespace vollum {

// Gathers bytes as they come and hands out whole lines.
class LineBuffer {
public:
    void Add(const char* data, size_t size) { pending_.append(data, size); }
    // The next whole line without its LF; false when none is complete yet.
    bool Next(std::string& line);

private:
    std::string pending_;
};

}  // namespace vollum
