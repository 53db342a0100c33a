#pragma once
// Small helpers for tests that run the event loop or watch processor time.
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace vollum::test {

// Processor time (user + system) of this process, in milliseconds.
inline long CpuMillis() {
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000L + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1000L;
}

// Runs the event loop until done() holds or boundMs pass; true when done.
inline bool RunEventsUntil(const std::function<bool()>& done, int boundMs = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < boundMs) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

}  // namespace vollum::test
