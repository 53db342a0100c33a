// Bands, bar and button rectangles, text fitting and auto-height, by tables.
#include <gtest/gtest.h>

#include "caption/CaptionArithmetic.h"

namespace vollum::test {

namespace {
// Deliberately unlike any desktop's sizes, so that the rules, not the numbers, are checked.
TCaptionMetrics Metrics() {
    TCaptionMetrics m;
    m.CxFrame = m.CyFrame = 5;
    m.CxDlgFrame = m.CyDlgFrame = 2;
    m.CyCaption = 21;
    m.CySmCaption = 13;
    m.CxSize = 20;
    m.CxSmSize = 10;
    m.CxSmIcon = m.CySmIcon = 14;
    return m;
}
int Channel(std::uint32_t rgb, int shift) { return static_cast<int>((rgb >> shift) & 0xFF); }
}  // namespace

TEST(CaptionArithmetic, MulDivRoundsHalvesAwayFromZero) {
    struct Case {
        int a, b, c, expected;
    } cases[] = {{1, 5, 2, 3}, {1, -5, 2, -3}, {-1, 5, 2, -3}, {1, 5, -2, -3},   {1, 4, 3, 1},
                 {2, 4, 3, 3}, {7, 0, 3, 0},   {5, 5, 0, -1},  {1, 255, 2, 128}, {1, -255, 2, -128}};
    for (const Case& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
}

TEST(CaptionArithmetic, NumColorsSetterBounds) {
    struct Case {
        int requested, expected;
    } cases[] = {{1, 1}, {2, 2}, {64, 64}, {256, 256}, {300, 256}, {0, 17}, {-4, 17}};
    for (const Case& c : cases) EXPECT_EQ(NumColorsAfterSet(17, c.requested), c.expected) << c.requested;
}

TEST(CaptionArithmetic, BandsTileTheBarFromColorToCaptionColour) {
    struct Case {
        int left, right, bands;
        std::uint32_t from, to;
    } cases[] = {{3, 304, 64, 0x000000, 0x0A246A},   {0, 301, 2, 0xFF8000, 0x00FF80},
                 {7, 8, 1, 0x123456, 0xFFFFFF},      {2, 101, 256, 0xFFFFFF, 0x000000},
                 {0, 1000, 256, 0x00FF00, 0xFF0000}, {10, 11, 64, 0x808080, 0x808081}};
    for (const Case& c : cases) {
        const auto bands = GradientBands(c.left, c.right, c.from, c.to, c.bands);
        ASSERT_EQ(bands.size(), static_cast<std::size_t>(c.bands));
        EXPECT_EQ(bands.front().X0, c.left);
        EXPECT_EQ(bands.back().X1, c.right);
        EXPECT_EQ(bands.front().Rgb, c.from);
        EXPECT_EQ(bands.back().Rgb, c.bands == 1 ? c.from : c.to);
        for (std::size_t i = 1; i < bands.size(); ++i) {
            EXPECT_EQ(bands[i].X0, bands[i - 1].X1) << "gap or overlap before band " << i;
            EXPECT_LE(bands[i].X0, bands[i].X1);
            // Each channel moves towards its end value, never back.
            for (int shift : {0, 8, 16}) {
                const int step = Channel(bands[i].Rgb, shift) - Channel(bands[i - 1].Rgb, shift);
                const int way = Channel(c.to, shift) - Channel(c.from, shift);
                EXPECT_GE(step * (way < 0 ? -1 : 1), 0) << "band " << i << " channel " << shift;
            }
        }
    }
}

TEST(CaptionArithmetic, BandsAndChannelsRoundHalvesAwayFromZero) {
    // Three bands over five pixels from 255 down to 0 in red and 0 up to 255 in blue.
    const auto bands = GradientBands(0, 5, 0xFF0000, 0x0000FF, 3);
    ASSERT_EQ(bands.size(), 3u);
    EXPECT_EQ(bands[0], (TGradientBand{0, 2, 0xFF0000}));
    EXPECT_EQ(bands[1], (TGradientBand{2, 3, 0x7F0080}));
    EXPECT_EQ(bands[2], (TGradientBand{3, 5, 0x0000FF}));
}

TEST(CaptionArithmetic, BarRectangleReservesButtonsByStyle) {
    using S = TFormBorderStyle;
    const TCaptionMetrics m = Metrics();
    const TBorderIcons all{true, true, true, false}, helpOnly{false, false, false, true},
        closeAndHelp{true, false, false, true}, minOnly{true, true, false, false};
    struct Case {
        const char* name;
        TRect window;
        S style;
        TBorderIcons icons;
        bool minimized, newShell;
        TRect expected;
    } cases[] = {
        {"no border", {0, 0, 200, 100}, S::bsNone, all, false, true, {}},
        {"sizeable", {0, 0, 200, 100}, S::bsSizeable, all, false, true, {5, 5, 195 - 22 - 40, 25}},
        {"dialog with help only", {0, 0, 200, 100}, S::bsDialog, helpOnly, false, true, {2, 2, 198 - 22, 22}},
        {"dialog close and help", {0, 0, 200, 100}, S::bsDialog, closeAndHelp, false, true, {2, 2, 198 - 44, 22}},
        {"dialog ignores min", {0, 0, 200, 100}, S::bsDialog, all, false, true, {2, 2, 198 - 22, 22}},
        {"single, min only", {0, 0, 200, 100}, S::bsSingle, minOnly, false, true, {2, 2, 198 - 22 - 40, 22}},
        {"old shell menu box", {0, 0, 200, 100}, S::bsSingle, all, false, false, {22, 2, 198 - 40, 22}},
        {"old shell dialog", {0, 0, 200, 100}, S::bsDialog, all, false, false, {2, 2, 198, 22}},
        {"tool window", {0, 0, 200, 100}, S::bsToolWindow, helpOnly, false, true, {2, 2, 198 - 12, 14}},
        {"sizeable tool window", {0, 0, 200, 100}, S::bsSizeToolWin, all, false, true, {5, 5, 195 - 12, 17}},
        {"minimised", {0, 0, 200, 100}, S::bsSizeable, all, true, true, {2, 2, 198 - 62, 22}},
        {"too narrow", {0, 0, 50, 100}, S::bsSizeable, all, false, true, {5, 5, 7, 25}},
        {"offset window", {10, 20, 110, 70}, S::bsDialog, helpOnly, false, true, {12, 22, 108 - 22, 42}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CaptionBarRect(c.window, c.style, c.icons, c.minimized, c.newShell, m), c.expected) << c.name;
}

TEST(CaptionArithmetic, ButtonsSitInTheReservedPartOfTheCaption) {
    using S = TFormBorderStyle;
    using K = TCaptionButtonKind;
    const TCaptionMetrics m = Metrics();
    const TRect window{0, 0, 300, 120};
    struct Case {
        S style;
        TBorderIcons icons;
        std::vector<K> expected;  // right to left
    } cases[] = {
        {S::bsSizeable, {true, true, true, false}, {K::Close, K::Maximize, K::Minimize}},
        {S::bsSizeable, {true, true, false, false}, {K::Close, K::Maximize, K::Minimize}},
        {S::bsDialog, {false, false, false, true}, {K::Help}},
        {S::bsDialog, {true, true, true, true}, {K::Close, K::Help}},
        {S::bsSizeToolWin, {true, false, false, false}, {K::Close}},
        {S::bsNone, {true, true, true, true}, {}},
    };
    for (const Case& c : cases) {
        const auto buttons = CaptionButtons(window, c.style, c.icons, false, true, m);
        const TRect bar = CaptionBarRect(window, c.style, c.icons, false, true, m);
        std::vector<K> kinds;
        int previousLeft = window.Right;
        for (const TCaptionButton& b : buttons) {
            kinds.push_back(b.Kind);
            EXPECT_GE(b.Rect.Left, bar.Right) << "button over the bar";
            EXPECT_LE(b.Rect.Right, previousLeft) << "buttons overlap";
            EXPECT_GT(b.Rect.Top, bar.Top);
            EXPECT_LT(b.Rect.Bottom, bar.Bottom);
            previousLeft = b.Rect.Left;
            if (b.Kind == K::Maximize) {
                EXPECT_EQ(b.Enabled, c.icons.biMaximize);
            }
        }
        EXPECT_EQ(kinds, c.expected);
    }
}

TEST(CaptionArithmetic, TextPartsDropCompanyFirstThenAppName) {
    const TCaptionMetrics m = Metrics();
    // Text widths 50, 40 and 60; each part needs 3 more.
    const std::array<TTextPartInput, 3> parts = {TTextPartInput{50, false, true}, TTextPartInput{40, false, true},
                                                 TTextPartInput{60, false, true}};
    using P = TCaptionPart;
    struct Case {
        const char* name;
        int barWidth;
        bool icon, newShell;
        std::vector<std::pair<P, int>> expected;
    } cases[] = {
        {"all fit", 160, false, true, {{cpCompany, 13}, {cpAppName, 66}, {cpCaption, 109}}},
        {"one pixel short drops the company", 159, false, true, {{cpAppName, 13}, {cpCaption, 56}}},
        {"then the application name", 106, false, true, {{cpCaption, 13}}},
        {"icon first", 200, true, true, {{cpCompany, 13 + 16}, {cpAppName, 66 + 16}, {cpCaption, 109 + 16}}},
        {"icon narrows the room", 170, true, true, {{cpAppName, 13 + 16}, {cpCaption, 56 + 16}}},
        {"centred without the new shell", 201, false, false, {{cpCompany, 34}, {cpAppName, 87}, {cpCaption, 130}}},
        {"centred caption alone", 100, false, false, {{cpCaption, 31}}},
    };
    for (const Case& c : cases) {
        const TCaptionLayout layout = LayoutCaption({10, 4, 10 + c.barWidth, 22}, c.icon, parts, c.newShell, m);
        std::vector<std::pair<P, int>> placed;
        for (const TTextPlacement& t : layout.Texts) placed.emplace_back(t.Part, t.Left);
        EXPECT_EQ(placed, c.expected) << c.name;
        EXPECT_EQ(layout.Icon.has_value(), c.icon) << c.name;
        if (layout.Icon) {
            EXPECT_EQ(*layout.Icon, (TRect{12, 5, 26, 19})) << c.name;
        }
    }
}

TEST(CaptionArithmetic, EmptyOrHiddenPartsAreSkippedButStillMeasured) {
    const TCaptionMetrics m = Metrics();
    std::array<TTextPartInput, 3> parts = {TTextPartInput{50, true, true}, TTextPartInput{40, false, false},
                                           TTextPartInput{0, true, true}};
    // The empty company still takes room: 53 + 43 + 3 = 99 does not fit in 99.
    TCaptionLayout layout = LayoutCaption({0, 0, 99, 18}, false, parts, true, m);
    ASSERT_EQ(layout.Texts.size(), 1u);
    EXPECT_EQ(layout.Texts[0].Part, cpCaption);  // drawn even when empty
    parts[cpCaption].Visible = false;
    EXPECT_TRUE(LayoutCaption({0, 0, 300, 18}, false, parts, true, m).Texts.empty());
}

TEST(CaptionArithmetic, AutoHeightMatchesTheCaptionCharacterHeight) {
    // A face whose characters are three quarters of the pixel size, rounded down.
    auto threeQuarters = [](int px) { return px * 3 / 4; };
    EXPECT_EQ(AutoHeightPixelSize(20, 11, threeQuarters), 15);  // needs the second correction
    EXPECT_EQ(AutoHeightPixelSize(8, 11, threeQuarters), 13);   // grows by one step; no second pass upwards
    EXPECT_EQ(AutoHeightPixelSize(13, 13, [](int px) { return px; }), 13);
    EXPECT_GE(AutoHeightPixelSize(40, -5, [](int px) { return px; }), 1);
}

}  // namespace vollum::test
