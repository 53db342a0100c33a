#pragma once
// Someone on the path: a TCP relay on another loopback address that mirrors a
// server's ports (a connection to relayAddress:port goes on to
// serverAddress:port). On the data port it can end what the server sends
// after so many bytes with a bare FIN, as anyone between client and server
// could, in the middle of a TLS record or not. Runs in a thread of its own.
#include <atomic>
#include <string>
#include <thread>

namespace vollum::test {

class CuttingRelay {
public:
    explicit CuttingRelay(std::string relayAddress = "127.0.0.3", std::string serverAddress = "127.0.0.1");
    ~CuttingRelay();
    CuttingRelay(const CuttingRelay&) = delete;
    CuttingRelay& operator=(const CuttingRelay&) = delete;

    // A port free on both addresses, already listened on here: the server's
    // passive data port.
    int DataPort() const { return dataPort_; }
    // Mirrors the server's control port too and starts relaying. Each data
    // connection is cut after cutAfter bytes from the server (0: never).
    void Start(int controlPort, size_t cutAfter);
    const std::string& Address() const { return relayAddress_; }
    // Data connections cut so far.
    int Cuts() const { return cuts_; }

private:
    void Run(size_t cutAfter);

    std::string relayAddress_, serverAddress_;
    int dataListen_ = -1, controlListen_ = -1, dataPort_ = 0, controlPort_ = 0;
    int stopPipe_[2] = {-1, -1};
    std::atomic<int> cuts_{0};
    std::thread thread_;
};

}  // namespace vollum::test
