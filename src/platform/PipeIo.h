#pragma once
// Standard input and output as the pipe of an upload worker.
#include <cstddef>

namespace vollum {

constexpr int kStandardInput = 0;

// What the descriptor has now, at most size bytes: 0 at its end, -1 on an error.
long ReadAvailable(int fd, char* data, size_t size);
// All of the bytes to standard output; false when the reader has gone.
bool WriteStandardOutput(const char* data, size_t size);

}  // namespace vollum
