#include "caption/CaptionArithmetic.h"

#include <cstdlib>

namespace vollum {

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    const long long product = static_cast<long long>(number) * numerator;
    const long long magnitude = std::llabs(product), divisor = std::llabs(static_cast<long long>(denominator));
    const long long rounded = (2 * magnitude + divisor) / (2 * divisor);
    return static_cast<int>(((product < 0) != (denominator < 0)) ? -rounded : rounded);
}

int NumColorsAfterSet(int current, int requested) {
    if (requested <= 0) return current;
    return requested > kMaxGradientColors ? kMaxGradientColors : requested;
}

std::vector<TGradientBand> GradientBands(int left, int right, std::uint32_t startRgb, std::uint32_t endRgb,
                                         int numColors) {
    std::vector<TGradientBand> bands;
    if (numColors <= 0) return bands;
    bands.reserve(static_cast<std::size_t>(numColors));
    auto channel = [](std::uint32_t rgb, int shift) { return static_cast<int>((rgb >> shift) & 0xFF); };
    for (int i = 0; i < numColors; ++i) {
        std::uint32_t rgb = 0;
        for (int shift : {16, 8, 0}) {
            const int from = channel(startRgb, shift), to = channel(endRgb, shift);
            const int value = numColors == 1 ? from : from + MulDiv(i, to - from, numColors - 1);
            rgb |= static_cast<std::uint32_t>(value) << shift;
        }
        bands.push_back(
            {left + MulDiv(i, right - left, numColors), left + MulDiv(i + 1, right - left, numColors), rgb});
    }
    return bands;
}

bool IsToolWindow(TFormBorderStyle style) {
    return style == TFormBorderStyle::bsToolWindow || style == TFormBorderStyle::bsSizeToolWin;
}

namespace {
bool IsSizing(TFormBorderStyle style) {
    return style == TFormBorderStyle::bsSizeable || style == TFormBorderStyle::bsSizeToolWin;
}
}  // namespace

int FrameWidth(TFormBorderStyle style, bool minimized, const TCaptionMetrics& m) {
    if (style == TFormBorderStyle::bsNone) return 0;
    return !minimized && IsSizing(style) ? m.CxFrame : m.CxDlgFrame;
}

int FrameHeight(TFormBorderStyle style, bool minimized, const TCaptionMetrics& m) {
    if (style == TFormBorderStyle::bsNone) return 0;
    return !minimized && IsSizing(style) ? m.CyFrame : m.CyDlgFrame;
}

int CaptionHeight(TFormBorderStyle style, const TCaptionMetrics& m) {
    if (style == TFormBorderStyle::bsNone) return 0;
    return IsToolWindow(style) ? m.CySmCaption : m.CyCaption;
}

TRect CaptionBarRect(TRect window, TFormBorderStyle style, TBorderIcons icons, bool minimized, bool newShell,
                     const TCaptionMetrics& m) {
    if (style == TFormBorderStyle::bsNone) return {};
    const int fx = FrameWidth(style, minimized, m), fy = FrameHeight(style, minimized, m);
    TRect r{window.Left + fx, window.Top + fy, window.Right - fx, window.Bottom - fy};
    r.Bottom = r.Top + CaptionHeight(style, m) - 1;
    const int b = m.CxSize;
    if (IsToolWindow(style)) {
        r.Right -= m.CxSmSize + 2;
    } else {
        if (icons.biSystemMenu && newShell) r.Right -= b + 2;
        if (style == TFormBorderStyle::bsDialog && icons.biHelp) r.Right -= b + 2;
        if (style != TFormBorderStyle::bsDialog && (icons.biMinimize || icons.biMaximize)) r.Right -= 2 * b;
        if (icons.biSystemMenu && !newShell &&
            (style == TFormBorderStyle::bsSingle || style == TFormBorderStyle::bsSizeable))
            r.Left += b;
    }
    if (r.Left >= r.Right) r.Right = r.Left + 2;
    return r;
}

std::vector<TCaptionButton> CaptionButtons(TRect window, TFormBorderStyle style, TBorderIcons icons, bool minimized,
                                           bool newShell, const TCaptionMetrics& m) {
    std::vector<TCaptionButton> buttons;
    if (style == TFormBorderStyle::bsNone) return buttons;
    const int fx = FrameWidth(style, minimized, m), fy = FrameHeight(style, minimized, m);
    const bool tool = IsToolWindow(style);
    const int width = (tool ? m.CxSmSize : m.CxSize) - 2;
    const int top = window.Top + fy + 2, bottom = window.Top + fy + CaptionHeight(style, m) - 3;
    int right = window.Right - fx - 2;
    auto add = [&](TCaptionButtonKind kind, bool enabled, int gap) {
        buttons.push_back({kind, {right - width, top, right, bottom}, enabled});
        right -= width + gap;
    };
    if (tool) {
        if (icons.biSystemMenu) add(TCaptionButtonKind::Close, true, 2);
        return buttons;
    }
    if (icons.biSystemMenu && newShell) add(TCaptionButtonKind::Close, true, 2);
    if (style == TFormBorderStyle::bsDialog && icons.biHelp) add(TCaptionButtonKind::Help, true, 2);
    if (style != TFormBorderStyle::bsDialog && (icons.biMinimize || icons.biMaximize)) {
        add(TCaptionButtonKind::Maximize, icons.biMaximize, 0);
        add(TCaptionButtonKind::Minimize, icons.biMinimize, 0);
    }
    return buttons;
}

bool CaptionShowsIcon(TFormBorderStyle style, TBorderIcons icons, bool newShell) {
    return newShell && icons.biSystemMenu &&
           (style == TFormBorderStyle::bsSingle || style == TFormBorderStyle::bsSizeable);
}

TCaptionLayout LayoutCaption(TRect bar, bool drawIcon, const std::array<TTextPartInput, 3>& parts, bool newShell,
                             const TCaptionMetrics& m) {
    TCaptionLayout layout;
    int left = bar.Left;
    if (drawIcon) {
        left += 1;
        layout.Icon = TRect{left + 1, bar.Top + 1, left + 1 + m.CxSmIcon, bar.Top + 1 + m.CySmIcon};
        left += m.CxSmIcon + 1;
    }
    // Every part is measured, drawn or not, with a little room on its left.
    const int company = parts[cpCompany].TextWidth + 3, appName = parts[cpAppName].TextWidth + 3,
              caption = parts[cpCaption].TextWidth + 3;
    const int width = bar.Right - left;
    bool keepCompany = false, keepAppName = false;
    if (company + appName + caption < width) keepCompany = keepAppName = true;
    else if (appName + caption < width) keepAppName = true;
    if (!newShell) {
        const int kept = (keepCompany ? company : 0) + (keepAppName ? appName : 0) + caption;
        if (kept < width) left += (width - kept) / 2;
    }
    auto place = [&](TCaptionPart part) {
        left += 3;
        layout.Texts.push_back({part, left});
        left += parts[part].TextWidth;
    };
    if (keepCompany && !parts[cpCompany].Empty && parts[cpCompany].Visible) place(cpCompany);
    if (keepAppName && !parts[cpAppName].Empty && parts[cpAppName].Visible) place(cpAppName);
    if (parts[cpCaption].Visible) place(cpCaption);
    return layout;
}

int AutoHeightPixelSize(int pixelSize, int captionCharHeight, const std::function<int(int pixelSize)>& charHeightAt) {
    auto atLeastOne = [](int size) { return size < 1 ? 1 : size; };
    pixelSize = atLeastOne(pixelSize - (charHeightAt(pixelSize) - captionCharHeight));
    const int excess = charHeightAt(pixelSize) - captionCharHeight;
    if (excess > 0) pixelSize = atLeastOne(pixelSize - excess);
    return pixelSize;
}

}  // namespace vollum
