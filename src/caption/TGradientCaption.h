#pragma once
// The gradient caption bar. Qt leaves title bars to the window manager, so the
// window is made frameless and draws its own frame and bar: the gradient, the
// company, application-name and caption texts, the small icon, and working
// minimise, maximise, close and help buttons; the bar moves the window and a
// sizeable frame resizes it.
//
// Attach it to a top-level window once, at the end of the window's constructor
// after its controls exist:
//
//     GradientCaption1 = AttachGradientCaption(this, "Status", " ");
//
// The window's client area keeps its size and its controls their positions;
// the window grows by the frame and the bar. The window owns the caption.
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "caption/CaptionArithmetic.h"

class QPainter;
class QPalette;
class QWidget;

namespace vollum {

class TCaptionFrame;
class TGradientCaption;

// A colour as the properties hold it: 0x00RRGGBB, or one of the desktop's
// caption colours, looked up each time the bar is drawn.
using TColor = std::uint32_t;
constexpr TColor clSystemColor = 0xFF000000u;
constexpr TColor clBlack = 0x000000u;
constexpr TColor clActiveCaption = clSystemColor | 2;
constexpr TColor clInactiveCaption = clSystemColor | 3;
constexpr TColor clCaptionText = clSystemColor | 9;
constexpr TColor clInactiveCaptionText = clSystemColor | 19;
// 0xRRGGBB of the colour under the given palette.
std::uint32_t ColorToRGB(TColor color, const QPalette& palette);

enum TGradEnabled { geAlways, geNever, geWhenActive };
enum TFontKind { fkCustom, fkSystem, fkSystemI, fkSystemB, fkSystemBI, fkAutoHeight };

class TCompanyText {
public:
    explicit TCompanyText(TGradientCaption& owner);
    virtual ~TCompanyText() = default;
    TCompanyText(const TCompanyText&) = delete;
    TCompanyText& operator=(const TCompanyText&) = delete;

    virtual std::string Caption() const;
    virtual void SetCaption(const std::string& text);
    TColor ColorActive() const { return colorActive_; }
    void SetColorActive(TColor color);
    TColor ColorInactive() const { return colorInactive_; }
    void SetColorInactive(TColor color);
    const QFont& Font() const { return font_; }
    // A font set by hand makes the kind fkCustom, except that fkAutoHeight stays and rescales it.
    void SetFont(const QFont& font);
    TFontKind FontKind() const { return fontKind_; }
    void SetFontKind(TFontKind kind);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

    // Derives Font from the system caption font as FontKind says.
    void ApplyFontKind(const QFont& systemCaptionFont);

protected:
    TGradientCaption& owner_;
    std::string caption_;

private:
    TColor colorActive_ = clCaptionText;
    TColor colorInactive_ = clInactiveCaptionText;
    QFont font_;
    TFontKind fontKind_ = fkSystem;
    bool visible_ = true;
};

class TAppNameText : public TCompanyText {
public:
    using TCompanyText::TCompanyText;
};

// The window's own title: reading it reads the window's title, writing it sets both.
class TCaptionText : public TCompanyText {
public:
    using TCompanyText::TCompanyText;
    std::string Caption() const override;
    void SetCaption(const std::string& text) override;
};

class TGradientCaption : public QObject {
    Q_OBJECT
public:
    // owner must be a top-level window; anything else throws std::bad_cast.
    explicit TGradientCaption(QWidget* owner);
    ~TGradientCaption() override;

    TAppNameText& AppNameText() { return *appNameText_; }
    TCaptionText& CaptionText() { return *captionText_; }
    TCompanyText& CompanyText() { return *companyText_; }
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TGradEnabled Enabled() const { return enabled_; }
    void SetEnabled(TGradEnabled enabled);
    int NumColors() const { return numColors_; }
    // 1 to 256 as given; 0 or less leaves the value; above 256 becomes 256.
    void SetNumColors(int count);

    QWidget* Form() const { return form_; }
    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    TBorderIcons BorderIcons() const { return borderIcons_; }
    // Overrides what was read from the window's flags and size constraints.
    void SetBorder(TFormBorderStyle style, TBorderIcons icons);
    bool NewShell() const { return newShell_; }
    const QFont& SystemCaptionFont() const { return systemCaptionFont_; }
    const TCaptionMetrics& Metrics() const { return metrics_; }
    // Whether the bar is drawn in its active colours now.
    bool PaintsActive() const;
    // Where the window's own controls and layout live, in window coordinates.
    QRect ClientRect() const;

    // Draws the bar (gradient or solid colour, icon, texts) of a window of the given size.
    void PaintBar(QPainter& painter, const QSize& windowSize) const;
    // Asks for the frame and bar to be drawn again.
    void RedrawFrame();
    // The texts the bar shows, as one title: what the task bar and the window
    // switcher show for the window.
    std::string SystemTitle() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SystemSettingsChanged();
    void ShowTitleToSystem();
    void ApplyDecorationSize();
    void PlaceDecoration();
    void Detach();

    QPointer<QWidget> form_;  // the window; it owns this object
    TCaptionFrame* frame_ = nullptr;
    QWidget* clientArea_ = nullptr;  // holds the controls of a window without a layout
    bool active_ = true;
    bool activationSeen_ = false;
    bool newShell_ = true;
    QFont systemCaptionFont_;
    TCaptionMetrics metrics_;
    TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
    TBorderIcons borderIcons_;
    Qt::WindowFlags ownFlags_;  // the window's flags before the bar came
    QMargins decoration_;       // frame and bar around the client area as applied to the window
    QMargins ownMargins_;       // the window's contents margins before the bar came

    std::unique_ptr<TAppNameText> appNameText_;
    std::unique_ptr<TCaptionText> captionText_;
    std::unique_ptr<TCompanyText> companyText_;
    TColor color_ = clBlack;
    TGradEnabled enabled_ = geAlways;
    int numColors_ = 64;
};

// Gives window the gradient caption bar with the company and application-name
// texts (bold italic and bold system caption font) before its own title.
TGradientCaption* AttachGradientCaption(QWidget* window, const std::string& companyText,
                                        const std::string& appNameText = " ");

}  // namespace vollum
