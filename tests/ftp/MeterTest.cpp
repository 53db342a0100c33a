// The progress window's arithmetic and texts, and its Cancel button.
#include "TransferTestSupport.h"

namespace vollum::test {
namespace {

TEST(MeterArithmetic, percentageIsTheTruncatedDoubleDivision) {
    struct Case {
        long long done, total;
        int percent;
    };
    const Case cases[] = {
        {21, 25, 83},     {3, 10, 30},       {1, 3, 33},   {25, 25, 100}, {512, 1300, 39},
        {1024, 1300, 78}, {1300, 1300, 100}, {0, 1300, 0}, {26, 25, 104}, {1, 1LL << 40, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(MeterPercentage(c.done, c.total), c.percent) << c.done << " of " << c.total;
}

TEST(MeterArithmetic, speedAndTimeLeftTexts) {
    EXPECT_EQ(TransferMeter::SpeedText(12.5), "12.50 kb/s");
    EXPECT_EQ(TransferMeter::SpeedText(0.004), "0.00 kb/s");
    EXPECT_EQ(TransferMeter::SpeedText(123456.789), "123456.79 kb/s");
    EXPECT_EQ(TransferMeter::TimeLeftText(125), "02:05 min");
    EXPECT_EQ(TransferMeter::TimeLeftText(0), "00:00 min");
    EXPECT_EQ(TransferMeter::TimeLeftText(6000), "100:00 min");
}

class Meter : public SessionFixture {};

TEST_F(Meter, updatesShowTitleBytesAndRepaintOnlyOnNewPercentage) {
    session->UpdateMeter(512, 1300);
    EXPECT_TRUE(meter.visible);
    session->UpdateMeter(513, 1300);  // still 39
    session->UpdateMeter(1024, 1300);
    session->UpdateMeter(1300, 1300);
    EXPECT_EQ(meter.titles, (Lines{"39% Complete", "78% Complete", "100% Complete"}));
    EXPECT_EQ(meter.repaints, 3);
    EXPECT_EQ(meter.position, 100);
    EXPECT_EQ(meter.bytesWritten, "1300 of 1300");
    session->HideMeter();
    EXPECT_FALSE(meter.visible);
}

TEST_F(Meter, unknownTotalLeavesTheWindowAlone) {
    session->UpdateMeter(512, 0);
    EXPECT_FALSE(meter.visible);
    EXPECT_TRUE(meter.titles.empty());
    EXPECT_EQ(meter.bytesWritten, "");
}

TEST_F(Meter, cancelWhileIdleEndsTheProgramWithOneAndNoErrorBox) {
    try {
        session->MeterCancel();
        FAIL() << "program did not end";
    } catch (const ProgramEnded& e) {
        EXPECT_EQ(e.exitCode, 1);
    }
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(Contains(LogText(), "Transfer aborted by user\r\n"));
}

}  // namespace
}  // namespace vollum::test
