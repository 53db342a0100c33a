#include "platform/ProcessEnd.h"

#include <QSocketNotifier>
#include <QTimer>

#ifndef _WIN32
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace vollum {

ProcessEndWatch::ProcessEndWatch() {
    pending_.setSingleShot(true);
    QObject::connect(&pending_, &QTimer::timeout, [this] { Ended(); });
}

ProcessEndWatch::~ProcessEndWatch() { Cancel(); }

bool ProcessEndWatch::Watch(long long pid, std::function<void()> onEnd) {
    Cancel();
#if !defined(_WIN32) && defined(SYS_pidfd_open)
    if (pid <= 0) return false;
    onEnd_ = std::move(onEnd);
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
    if (fd < 0) {
        if (errno != ESRCH) return false;
        // Ended before we looked.
        pendingEnd_ = true;
        pending_.start(0);
        return true;
    }
    fd_ = fd;
    // A pidfd turns readable when its process has ended.
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Ended(); });
    return true;
#else
    (void)pid;
    (void)onEnd;
    return false;
#endif
}

void ProcessEndWatch::Cancel() {
    pending_.stop();
    pendingEnd_ = false;
    notifier_.reset();
#ifndef _WIN32
    if (fd_ >= 0) ::close(fd_);
#endif
    fd_ = -1;
}

void ProcessEndWatch::Ended() {
    std::function<void()> onEnd = std::move(onEnd_);
    Cancel();
    if (onEnd) onEnd();
}

}  // namespace vollum
