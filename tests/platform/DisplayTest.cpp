// The display probe against a stand-in X server on loopback TCP
// (DISPLAY=127.0.0.1:N reaches port 6000+N).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Display.h"

namespace vollum {
namespace {

// A successful connection setup: one 1x1 screen, nothing else.
std::string SetupAccepted() {
    std::vector<uint8_t> r(8 + 32 + 40, 0);
    r[0] = 1;      // success
    r[2] = 11;     // protocol 11.0
    r[6] = 18;     // 72 more bytes, in 4-byte units
    r[16] = 0xff;  // resource-id mask 0x001fffff
    r[17] = 0xff;
    r[18] = 0x1f;
    r[26] = 0xff;  // maximum request length
    r[27] = 0xff;
    r[28] = 1;        // one screen
    r[40 + 20] = 1;   // its width
    r[40 + 22] = 1;   // its height
    r[40 + 38] = 24;  // its depth
    return std::string(r.begin(), r.end());
}

// Drops the first `drops` connection setups without an answer, as a server
// that is resetting does, and accepts the next one, which it keeps until the
// client closes it. A bare connect-and-close (the socket probe) is no setup.
class FakeXServer {
public:
    explicit FakeXServer(int drops) : drops_(drops) {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (int n = 150; n < 250 && display_ < 0; ++n) {
            a.sin_port = htons(static_cast<uint16_t>(6000 + n));
            if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) display_ = n;
        }
        ::listen(listen_, 8);
        thread_ = std::thread([this] { Serve(); });
    }
    ~FakeXServer() {
        stop_ = true;
        thread_.join();
        ::close(listen_);
    }
    std::string Display() const { return "127.0.0.1:" + std::to_string(display_); }
    int Setups() const { return setups_; }
    bool AcceptedClosed() const { return acceptedClosed_; }

private:
    // True when the client sent the fixed part of a setup request.
    static bool ReadSetupRequest(int fd) {
        char request[12];
        size_t got = 0;
        while (got < sizeof request) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0) return false;
            const ssize_t n = ::recv(fd, request + got, sizeof request - got, 0);
            if (n <= 0) return false;
            got += static_cast<size_t>(n);
        }
        return true;
    }

    void Serve() {
        int accepted = -1;
        while (!stop_) {
            pollfd p[2] = {{listen_, POLLIN, 0}, {accepted, POLLIN, 0}};
            if (::poll(p, accepted < 0 ? 1 : 2, 20) <= 0) continue;
            if (p[0].revents & POLLIN) {
                const int fd = ::accept(listen_, nullptr, nullptr);
                if (!ReadSetupRequest(fd) || ++setups_ <= drops_) {
                    ::close(fd);
                    continue;
                }
                const std::string reply = SetupAccepted();
                (void)::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
                accepted = fd;
                continue;
            }
            if (accepted >= 0 && (p[1].revents & (POLLIN | POLLHUP))) {
                char buf[256];
                if (::recv(accepted, buf, sizeof buf, 0) <= 0) {
                    acceptedClosed_ = true;
                    ::close(accepted);
                    accepted = -1;
                }
            }
        }
        if (accepted >= 0) ::close(accepted);
    }

    int drops_;
    int listen_ = -1;
    int display_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> setups_{0};
    std::atomic<bool> acceptedClosed_{false};
};

class DisplayProbe : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
            if (const char* v = std::getenv(name)) saved_.push_back({name, v});
        ::unsetenv("WAYLAND_DISPLAY");
    }
    void TearDown() override {
        ReleaseDisplayHold();
        ::unsetenv("DISPLAY");
        for (const auto& [name, value] : saved_) ::setenv(name.c_str(), value.c_str(), 1);
    }
    std::vector<std::pair<std::string, std::string>> saved_;
};

TEST_F(DisplayProbe, ServerBackFromAResetCountsAndIsHeldUntilReleased) {
    FakeXServer server(2);
    ::setenv("DISPLAY", server.Display().c_str(), 1);
    ASSERT_TRUE(DisplayAvailable());
    EXPECT_EQ(server.Setups(), 3);
    // While the probe holds its connection the server cannot reset under the toolkit.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(server.AcceptedClosed());
    ReleaseDisplayHold();
    for (int i = 0; i < 100 && !server.AcceptedClosed(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(server.AcceptedClosed());
}

TEST_F(DisplayProbe, ServerThatOnlyDropsConnectionsIsNoDisplay) {
    // The toolkit would abort on it; without a display the run goes on headless.
    FakeXServer server(1000);
    ::setenv("DISPLAY", server.Display().c_str(), 1);
    EXPECT_FALSE(DisplayAvailable());
    EXPECT_GT(server.Setups(), 1);
}

TEST_F(DisplayProbe, NothingListeningIsNoDisplay) {
    std::optional<std::string> display;
    {
        FakeXServer gone(0);
        display = gone.Display();
    }
    ::setenv("DISPLAY", display->c_str(), 1);
    EXPECT_FALSE(DisplayAvailable());
}

}  // namespace
}  // namespace vollum
