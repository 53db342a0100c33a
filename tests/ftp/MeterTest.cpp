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

// (bytes done, percentage) wherever the percentage changes, for a loop moving
// `length` bytes of an announced `total` in blocks the next function picks.
template <typename NextBlock>
std::vector<std::pair<long long, int>> MeterSteps(long long length, long long total, NextBlock next,
                                                  long long* blocks = nullptr) {
    std::vector<std::pair<long long, int>> steps;
    long long done = 0;
    if (blocks != nullptr) *blocks = 0;
    while (done < length) {
        done += std::min<long long>(next(done), length - done);
        if (blocks != nullptr) ++*blocks;
        const int percent = MeterPercentage(done, total);
        if (steps.empty() || steps.back().second != percent) steps.emplace_back(done, percent);
    }
    return steps;
}

TEST(MeterArithmetic, largeBlocksShowWhatTheSmallBlockLoopShowsAtEveryChange) {
    constexpr int kLarge = 256 * 1024;
    struct Case {
        long long length, total, unit;
    };
    const Case cases[] = {
        {1300, 1300, 512},
        {1, 1, 512},
        {51207, 51207, 512},
        {3 * 1048576 + 13, 3 * 1048576 + 13, 512},
        {(1LL << 30) + 1, (1LL << 30) + 1, 512},
        {25, 25, 255},
        {200000, 200000, 255},
        {7777777, 7777777, 255},
        {50000, 1000, 255},  // the server sends more than it announced
        {1000, 50000, 255},  // ... or less
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.length) + " of " + std::to_string(c.total) + " by " + std::to_string(c.unit));
        const auto small = MeterSteps(c.length, c.total, [&](long long) { return c.unit; });
        MeterBlocks sizes(true, c.total, c.unit);
        long long blocks = 0;
        const auto large = MeterSteps(
            c.length, c.total, [&](long long done) { return sizes.Next(done, kLarge); }, &blocks);
        EXPECT_EQ(large, small);
        // Large blocks indeed: one per change of percentage at most beyond the plain count.
        EXPECT_LE(blocks, c.length / kLarge + static_cast<long long>(small.size()) + 2);
    }
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
