#pragma once
// Shared by the transfer tests: a fixture that logs in to the fake server, a
// server step that reads an urgent ABOR, and a timer that acts once the
// transfer is under way.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/LocalFiles.h"
#include "support/FakeFtpServer.h"
#include "support/SessionFixture.h"

namespace vollum::test {

using Lines = std::vector<std::string>;

inline bool Contains(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Runs `action` once from the event loop, as soon as `ready` holds.
class OnceWhen {
public:
    OnceWhen(std::function<bool()> ready, std::function<void()> action)
        : ready_(std::move(ready)), action_(std::move(action)) {
        timer_.setInterval(0);  // due at every pass of the event loop
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (fired_ || !ready_()) return;
            fired_ = true;
            timer_.stop();
            action_();
        });
        timer_.start();
    }
    bool Fired() const { return fired_; }

private:
    std::function<bool()> ready_;
    std::function<void()> action_;
    QTimer timer_;
    bool fired_ = false;
};

// Bytes a fake-server step collected, safe to read after Finish().
struct Collected {
    std::mutex mutex;
    std::string bytes;
    std::string Get() {
        std::lock_guard<std::mutex> lock(mutex);
        return bytes;
    }
};

// Reads ABOR sent as urgent data: the in-band "ABOR\r" and the urgent LF
// taken out of the stream. Records what arrived ("ABOR\r\n" when all did).
inline FakeFtpServer::Step ReadUrgentAbort(std::shared_ptr<Collected> seen, int timeoutMs = 2000) {
    return [seen, timeoutMs](FakeFtpServer::Context& c) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string oob;
        while (std::chrono::steady_clock::now() < deadline) {
            char buf[64];
            if (oob.empty()) {
                char b = 0;
                if (::recv(c.control, &b, 1, MSG_OOB | MSG_DONTWAIT) == 1) oob = std::string(1, b);
            }
            const ssize_t n = ::recv(c.control, buf, sizeof buf, MSG_DONTWAIT);
            if (n > 0) c.buffered.append(buf, static_cast<size_t>(n));
            const size_t cr = c.buffered.find('\r');
            if (!oob.empty() && cr != std::string::npos) {
                std::lock_guard<std::mutex> lock(seen->mutex);
                seen->bytes = c.buffered.substr(0, cr + 1) + oob;
                c.buffered.erase(0, cr + 1);
                return;
            }
            pollfd p{c.control, static_cast<short>(POLLIN | POLLPRI), 0};
            ::poll(&p, 1, 20);
        }
        c.Fail("no urgent ABOR");
    };
}

// Reads the data connection to its end and closes it.
inline FakeFtpServer::Step ReadDataToEnd(std::shared_ptr<Collected> into) {
    return [into](FakeFtpServer::Context& c) {
        char buf[4096];
        for (;;) {
            pollfd p{c.data, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) c.Fail("data connection silent");
            const ssize_t n = ::recv(c.data, buf, sizeof buf, 0);
            if (n <= 0) break;
            std::lock_guard<std::mutex> lock(into->mutex);
            into->bytes.append(buf, static_cast<size_t>(n));
        }
        ::close(c.data);
        c.data = -1;
    };
}

class TransferFixture : public SessionFixture {
protected:
    TransferFixture() {
        session->Settings.FtpTimeOut = 2;
        session->Settings.ConnectionTimeOut = 2;
        session->ApplySettings();
    }
    // Is the data connection up (the transfer loop has begun)?
    bool DataConnected() const { return session->Data().IsOpen(); }
};

}  // namespace vollum::test
