#pragma once
// A second client that gets to a listening data port first: it connects from
// another loopback address, sends its bytes and ends its side, all while the
// connection still waits in the listener's queue.
#include <string>

namespace vollum::test {

class DataIntruder {
public:
    DataIntruder() = default;
    ~DataIntruder();
    DataIntruder(const DataIntruder&) = delete;
    DataIntruder& operator=(const DataIntruder&) = delete;

    // True when the connection from source to address:port stands.
    bool Connect(const std::string& source, const std::string& address, int port, const std::string& bytes);
    // True once the other end closed the connection (read without waiting).
    bool ClosedByPeer() const;

private:
    int fd_ = -1;
};

}  // namespace vollum::test
