#include <gtest/gtest.h>

#include <QCoreApplication>

#include "socket/EventWait.h"
#include "support/EventHelpers.h"

namespace vollum::test {
namespace {

// The application quits while one wait runs inside another: both end as
// cancelled, and a wait started afterwards ends at once, cancelled, without
// spinning, so no loop built on waits goes round for ever.
TEST(EventWait, quitDuringANestedWaitCancelsItAndEveryLaterWait) {
    EventWait outerWait, innerWait;
    WaitResult outer = WaitResult::Ready, inner = WaitResult::Ready;
    std::vector<WaitResult> later;
    QElapsedTimer clock;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(20, [&] {
            QTimer::singleShot(50, [] { QCoreApplication::exit(0); });
            inner = innerWait.Wait(-1, WaitFor::Read, 5000);
            for (int i = 0; i < 3; ++i) later.push_back(innerWait.Wait(-1, WaitFor::Read, 5000));
        });
        outer = outerWait.Wait(-1, WaitFor::Read, 5000);
    });
    clock.start();
    const long cpuBefore = CpuMillis();
    QCoreApplication::exec();
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_LT(CpuMillis() - cpuBefore, 500);
    EXPECT_EQ(inner, WaitResult::Cancelled);
    EXPECT_EQ(outer, WaitResult::Cancelled);
    EXPECT_EQ(later, std::vector<WaitResult>(3, WaitResult::Cancelled));
    EXPECT_FALSE(innerWait.Waiting());
}

}  // namespace
}  // namespace vollum::test
