#include <gtest/gtest.h>

#include <QCoreApplication>

#include "socket/TSleeper.h"
#include "support/EventHelpers.h"

namespace vollum::test {
namespace {

TEST(Sleeper, pauseForChangesIntervalAndWaitsThatLong) {
    TSleeper sleeper;
    sleeper.SetInterval(1000);
    QElapsedTimer clock;
    clock.start();
    sleeper.PauseFor(500);
    EXPECT_GE(clock.elapsed(), 450);
    EXPECT_LT(clock.elapsed(), 950);
    EXPECT_EQ(sleeper.Interval(), 500);
}

TEST(Sleeper, eventsArrivingDuringThePauseAreHandledAndNestedPauseEndsWithIt) {
    TSleeper sleeper;
    sleeper.SetInterval(2000);
    QElapsedTimer clock;
    clock.start();
    qint64 posted = -1, innerEnded = -1;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { posted = clock.elapsed(); }, Qt::QueuedConnection);
    QTimer::singleShot(100, [&] {
        sleeper.PauseFor(300);  // the same instance: the outer pause ends with this one
        innerEnded = clock.elapsed();
    });
    const long cpuBefore = CpuMillis();
    sleeper.Pause();
    const qint64 outerEnded = clock.elapsed();
    EXPECT_GE(posted, 0);
    EXPECT_GE(innerEnded, 380);
    EXPECT_LT(outerEnded - innerEnded, 100);
    EXPECT_LT(CpuMillis() - cpuBefore, 100) << "the pause sleeps between events";
}

}  // namespace
}  // namespace vollum::test
