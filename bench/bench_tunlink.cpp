// An emulated long link for bench/run: two TUN devices, one in each of two
// network namespaces, joined by this process, which holds every packet for a
// fixed delay before passing it on. (The kernel here has no netem.)
//
// usage: bench_tunlink NETNS_A NETNS_B [DELAY_MS [MAX_SECONDS]]
// Creates "vlink0" in A and "vlink1" in B, prints "ready" and forwards until
// stdin closes, SIGTERM arrives or MAX_SECONDS (default 7200) have passed.
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

volatile sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }

bool EnterNamespace(const std::string& name) {
    const std::string path = "/run/netns/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::setns(fd, CLONE_NEWNET) == 0;
    ::close(fd);
    return ok;
}

// The device belongs to the namespace the process is in when it is created.
// With the virtio header and offloads on, the kernel hands over whole TCP
// segments of up to 64 KiB, so one read moves many wire packets and the
// forwarder keeps up with 1 Gbit/s; the header passes through unchanged.
int OpenTun(const char* name) {
    const int fd = ::open("/dev/net/tun", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    ifreq ifr{};
    ifr.ifr_flags = IFF_TUN | IFF_NO_PI | IFF_VNET_HDR;
    std::strncpy(ifr.ifr_name, name, IFNAMSIZ - 1);
    if (::ioctl(fd, TUNSETIFF, &ifr) < 0) {
        ::close(fd);
        return -1;
    }
    ::ioctl(fd, TUNSETOFFLOAD, TUN_F_CSUM | TUN_F_TSO4 | TUN_F_TSO6);
    return fd;
}

struct Packet {
    Clock::time_point due;
    std::vector<char> bytes;
};

// One direction of the link: packets read from `from` wait in `queue` until due.
struct Direction {
    int from = -1;
    int to = -1;
    std::deque<Packet> queue;
};

// A full queue drops, as a router's would; it also bounds memory.
constexpr size_t kMaxQueued = 8192;
constexpr size_t kMaxPacket = 65536 + 64;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_tunlink NETNS_A NETNS_B [DELAY_MS [MAX_SECONDS]]\n");
        return 2;
    }
    const auto delay = std::chrono::milliseconds(argc > 3 ? std::atoi(argv[3]) : 5);
    const auto maxRun = std::chrono::seconds(argc > 4 ? std::atoi(argv[4]) : 7200);

    int fdA = -1, fdB = -1;
    if (!EnterNamespace(argv[1]) || (fdA = OpenTun("vlink0")) < 0 || !EnterNamespace(argv[2]) ||
        (fdB = OpenTun("vlink1")) < 0) {
        std::fprintf(stderr, "bench_tunlink: cannot create the TUN devices: %s\n", std::strerror(errno));
        return 1;
    }
    // Default timer slack would add up to 50 us to every hold.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    ::signal(SIGTERM, OnSignal);
    ::signal(SIGINT, OnSignal);
    std::printf("ready\n");
    std::fflush(stdout);

    Direction dirs[2];
    dirs[0].from = fdA;
    dirs[0].to = fdB;
    dirs[1].from = fdB;
    dirs[1].to = fdA;
    const auto end = Clock::now() + maxRun;
    std::vector<char> buffer(kMaxPacket);

    while (!stopRequested && Clock::now() < end) {
        // Sleep until the next packet is due, or 100 ms when nothing waits.
        auto now = Clock::now();
        auto wait = std::chrono::nanoseconds(std::chrono::milliseconds(100));
        for (const Direction& d : dirs) {
            if (!d.queue.empty()) wait = std::min(wait, std::max(d.queue.front().due - now, Clock::duration::zero()));
        }
        const timespec timeout{static_cast<time_t>(wait.count() / 1000000000), static_cast<long>(wait.count() % 1000000000)};
        pollfd fds[3] = {{fdA, POLLIN, 0}, {fdB, POLLIN, 0}, {0, POLLIN, 0}};
        const int n = ::ppoll(fds, 3, &timeout, nullptr);
        if (n < 0 && errno != EINTR) break;
        if (n > 0 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            char c;
            if (::read(0, &c, 1) <= 0) break;  // stdin closed: the bench is done
        }
        now = Clock::now();
        for (int i = 0; i < 2; ++i) {
            Direction& d = dirs[i];
            if (n > 0 && (fds[i].revents & POLLIN) != 0) {
                // Drain what is there now, bounded so the other direction is served too.
                for (int k = 0; k < 256; ++k) {
                    const ssize_t got = ::read(d.from, buffer.data(), buffer.size());
                    if (got <= 0) break;
                    if (d.queue.size() >= kMaxQueued) continue;
                    d.queue.push_back({now + delay, std::vector<char>(buffer.begin(), buffer.begin() + got)});
                }
            }
        }
        now = Clock::now();
        for (Direction& d : dirs) {
            while (!d.queue.empty() && d.queue.front().due <= now) {
                const Packet& p = d.queue.front();
                // A refused write loses the packet, which TCP recovers from as on a real link.
                (void)::write(d.to, p.bytes.data(), p.bytes.size());
                d.queue.pop_front();
            }
        }
    }
    return 0;
}
