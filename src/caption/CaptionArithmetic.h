#pragma once
// The caption bar's arithmetic: bar and button rectangles, gradient bands,
// which text parts fit and where they go, and the auto-height font scaling.
// No toolkit types here, so every rule can be checked by table tests.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace vollum {

// Window coordinates with the origin at the window's top-left corner; right and bottom exclusive.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

struct TBorderIcons {
    bool biSystemMenu = true;
    bool biMinimize = true;
    bool biMaximize = true;
    bool biHelp = false;
};

// Sizes of the window decoration, in pixels.
struct TCaptionMetrics {
    int CxFrame = 4, CyFrame = 4;        // sizing frame
    int CxDlgFrame = 3, CyDlgFrame = 3;  // fixed frame
    int CyCaption = 19;                  // caption height including the line under it
    int CySmCaption = 15;                // tool windows
    int CxSize = 18;                     // caption button slot
    int CxSmSize = 12;                   // tool-window button slot
    int CxSmIcon = 16, CySmIcon = 16;
};

// Multiplication then division, rounded to nearest with halves away from zero;
// -1 when the divisor is 0.
int MulDiv(int number, int numerator, int denominator);

constexpr int kMaxGradientColors = 256;
// The value NumColors holds after an assignment of requested to current.
int NumColorsAfterSet(int current, int requested);

struct TGradientBand {
    int X0 = 0, X1 = 0;     // filled from X0 up to (not including) X1
    std::uint32_t Rgb = 0;  // 0xRRGGBB
    friend bool operator==(const TGradientBand&, const TGradientBand&) = default;
};
// Bands from left to right, the first exactly startRgb and the last exactly endRgb.
std::vector<TGradientBand> GradientBands(int left, int right, std::uint32_t startRgb, std::uint32_t endRgb,
                                         int numColors);

// Frame thickness of a window of that style (zero without a border).
int FrameWidth(TFormBorderStyle style, bool minimized, const TCaptionMetrics& m);
int FrameHeight(TFormBorderStyle style, bool minimized, const TCaptionMetrics& m);
bool IsToolWindow(TFormBorderStyle style);
// Full caption height for the style, including the line under the bar.
int CaptionHeight(TFormBorderStyle style, const TCaptionMetrics& m);

// The bar the gradient and the texts go into, after the caption buttons are
// reserved; empty without a border.
TRect CaptionBarRect(TRect window, TFormBorderStyle style, TBorderIcons icons, bool minimized, bool newShell,
                     const TCaptionMetrics& m);

enum class TCaptionButtonKind { Close, Help, Maximize, Minimize };
struct TCaptionButton {
    TCaptionButtonKind Kind;
    TRect Rect;
    bool Enabled = true;
};
// The buttons drawn in the reserved part of the caption, right to left.
std::vector<TCaptionButton> CaptionButtons(TRect window, TFormBorderStyle style, TBorderIcons icons, bool minimized,
                                           bool newShell, const TCaptionMetrics& m);

// Whether the small icon is drawn in the caption.
bool CaptionShowsIcon(TFormBorderStyle style, TBorderIcons icons, bool newShell);

enum TCaptionPart { cpCompany = 0, cpAppName = 1, cpCaption = 2 };
struct TTextPartInput {
    int TextWidth = 0;  // single-line width of the text in the part's font
    bool Empty = true;
    bool Visible = true;
};
struct TTextPlacement {
    TCaptionPart Part;
    int Left;  // where the text starts; it may run to the bar's right edge and is cut there
};
struct TCaptionLayout {
    std::optional<TRect> Icon;
    std::vector<TTextPlacement> Texts;  // in drawing order
};
// Places the icon and the text parts in the bar: the company part is dropped
// first, then the application name; without the new shell the kept parts are centred.
TCaptionLayout LayoutCaption(TRect bar, bool drawIcon, const std::array<TTextPartInput, 3>& parts, bool newShell,
                             const TCaptionMetrics& m);

// Pixel size for an fkAutoHeight font: scaled so that its character height
// matches the caption font's, with one more correction if it still exceeds it.
int AutoHeightPixelSize(int pixelSize, int captionCharHeight, const std::function<int(int pixelSize)>& charHeightAt);

}  // namespace vollum
