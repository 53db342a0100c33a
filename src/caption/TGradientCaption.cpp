#include "caption/TGradientCaption.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QWindow>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <typeinfo>

#include "caption/SystemCaption.h"
#include "caption/TCaptionFrame.h"

namespace vollum {

namespace {
QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }
QString Text(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }
std::uint32_t Rgb(const QColor& c) { return static_cast<std::uint32_t>(c.rgb()) & 0xFFFFFFu; }

TFormBorderStyle BorderStyleOf(const QWidget* w) {
    const Qt::WindowFlags flags = w->windowFlags();
    if (flags & Qt::FramelessWindowHint) return TFormBorderStyle::bsNone;
    const bool fixed = w->minimumSize() == w->maximumSize();
    if ((flags & Qt::WindowType_Mask) == Qt::Tool)
        return fixed ? TFormBorderStyle::bsToolWindow : TFormBorderStyle::bsSizeToolWin;
    if (!fixed) return TFormBorderStyle::bsSizeable;
    return qobject_cast<const QDialog*>(w) ? TFormBorderStyle::bsDialog : TFormBorderStyle::bsSingle;
}

TBorderIcons BorderIconsOf(const QWidget* w) {
    const Qt::WindowFlags flags = w->windowFlags();
    TBorderIcons icons;
    // The toolkit adds the system-menu hint to any button hint; the close button is what tells.
    icons.biSystemMenu = flags & Qt::WindowCloseButtonHint;
    icons.biMinimize = flags & Qt::WindowMinimizeButtonHint;
    icons.biMaximize = flags & Qt::WindowMaximizeButtonHint;
    icons.biHelp = flags & Qt::WindowContextHelpButtonHint;
    return icons;
}

bool ExplicitlyHidden(const QWidget* w) { return w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide); }

// Moves a control to another parent at the same local position, visible as it was.
void Reparent(QWidget* child, QWidget* parent) {
    const bool hidden = ExplicitlyHidden(child);
    const QPoint pos = child->pos();
    child->setParent(parent);
    child->move(pos);
    if (hidden) child->hide();
    else if (parent->isVisible()) child->show();
}
}  // namespace

std::uint32_t ColorToRGB(TColor color, const QPalette& palette) {
    if ((color & clSystemColor) != clSystemColor) return color & 0xFFFFFFu;
    switch (color) {
        case clActiveCaption: return Rgb(palette.color(QPalette::Active, QPalette::Highlight));
        case clCaptionText: return Rgb(palette.color(QPalette::Active, QPalette::HighlightedText));
        case clInactiveCaption: return Rgb(palette.color(QPalette::Inactive, QPalette::Dark));
        case clInactiveCaptionText: return Rgb(palette.color(QPalette::Inactive, QPalette::Light));
        default: return 0;
    }
}

// ---- text parts

TCompanyText::TCompanyText(TGradientCaption& owner) : owner_(owner), font_(owner.SystemCaptionFont()) {}

std::string TCompanyText::Caption() const { return caption_; }

void TCompanyText::SetCaption(const std::string& text) {
    caption_ = text;
    owner_.RedrawFrame();
}

void TCompanyText::SetColorActive(TColor color) {
    colorActive_ = color;
    owner_.RedrawFrame();
}

void TCompanyText::SetColorInactive(TColor color) {
    colorInactive_ = color;
    owner_.RedrawFrame();
}

void TCompanyText::SetFont(const QFont& font) {
    font_ = font;
    if (fontKind_ == fkAutoHeight) ApplyFontKind(owner_.SystemCaptionFont());
    else fontKind_ = fkCustom;
    owner_.RedrawFrame();
}

void TCompanyText::SetFontKind(TFontKind kind) {
    fontKind_ = kind;
    ApplyFontKind(owner_.SystemCaptionFont());
    owner_.RedrawFrame();
}

void TCompanyText::SetVisible(bool visible) {
    visible_ = visible;
    owner_.RedrawFrame();
}

void TCompanyText::ApplyFontKind(const QFont& systemCaptionFont) {
    switch (fontKind_) {
        case fkCustom: return;
        case fkSystem:
        case fkSystemI:
        case fkSystemB:
        case fkSystemBI:
            font_ = systemCaptionFont;
            if (fontKind_ == fkSystemI || fontKind_ == fkSystemBI) font_.setItalic(true);
            if (fontKind_ == fkSystemB || fontKind_ == fkSystemBI) font_.setBold(true);
            return;
        case fkAutoHeight: {
            // The character height of a font is its em size in pixels.
            auto charHeightAt = [this](int pixelSize) {
                QFont probe = font_;
                probe.setPixelSize(pixelSize);
                return QFontInfo(probe).pixelSize();
            };
            const int target = QFontInfo(systemCaptionFont).pixelSize();
            font_.setPixelSize(AutoHeightPixelSize(QFontInfo(font_).pixelSize(), target, charHeightAt));
            return;
        }
    }
}

std::string TCaptionText::Caption() const {
    const QWidget* form = owner_.Form();
    return form ? form->windowTitle().toLocal8Bit().toStdString() : std::string();
}

void TCaptionText::SetCaption(const std::string& text) {
    caption_ = text;
    if (QWidget* form = owner_.Form()) form->setWindowTitle(Text(text));
    owner_.RedrawFrame();
}

// ---- the caption component

TGradientCaption::TGradientCaption(QWidget* owner) : QObject(owner) {
    if (!owner || !owner->isWindow()) throw std::bad_cast();
    form_ = owner;
    systemCaptionFont_ = ReadSystemCaptionFont();
    metrics_ = CaptionMetricsFor(systemCaptionFont_);
    borderStyle_ = BorderStyleOf(owner);
    borderIcons_ = BorderIconsOf(owner);
    appNameText_ = std::make_unique<TAppNameText>(*this);
    captionText_ = std::make_unique<TCaptionText>(*this);
    companyText_ = std::make_unique<TCompanyText>(*this);
    ownMargins_ = owner->contentsMargins();

    // A window without a border keeps it that way; nothing is drawn.
    if (borderStyle_ != TFormBorderStyle::bsNone) {
        const bool visible = owner->isVisible();
        // The toolkit drops the frameless hint next to customised title and
        // button hints, and a window manager would then add its own bar over
        // ours; the bar has read them already.
        ownFlags_ = owner->windowFlags();
        owner->setWindowFlags((ownFlags_ & ~(Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint |
                                             Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                             Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint)) |
                              Qt::FramelessWindowHint);
        if (!owner->layout()) {
            // Controls placed by position move into a client area under the bar, keeping their coordinates.
            clientArea_ = new QWidget(owner);
            clientArea_->setObjectName("ClientArea");
            const QObjectList children = owner->children();
            for (QObject* child : children) {
                auto* w = qobject_cast<QWidget*>(child);
                if (w && w != clientArea_ && !w->isWindow()) Reparent(w, clientArea_);
            }
        }
        frame_ = new TCaptionFrame(*this, owner);
        ApplyDecorationSize();
        if (visible) owner->show();
    }
    owner->installEventFilter(this);
    for (auto signal :
         {&QGuiApplication::primaryScreenChanged, &QGuiApplication::screenAdded, &QGuiApplication::screenRemoved})
        connect(qApp, signal, this, [this] { SystemSettingsChanged(); });
}

TGradientCaption::~TGradientCaption() {
    // A window deleting its children has already let go of this one: then the
    // decoration goes with the window and nothing is put back.
    if (form_ && form_->children().contains(this)) Detach();
}

void TGradientCaption::Detach() {
    QWidget* form = form_;
    form->removeEventFilter(this);
    if (borderStyle_ == TFormBorderStyle::bsNone) return;
    const bool visible = form->isVisible();
    delete frame_;
    frame_ = nullptr;
    if (clientArea_) {
        const QObjectList children = clientArea_->children();
        for (QObject* child : children)
            if (auto* w = qobject_cast<QWidget*>(child)) Reparent(w, form);
        delete clientArea_;
        clientArea_ = nullptr;
    }
    const QMargins decoration = decoration_;
    decoration_ = QMargins();
    form->setContentsMargins(ownMargins_);
    const QSize shrink(decoration.left() + decoration.right(), decoration.top() + decoration.bottom());
    if (form->minimumSize() == form->maximumSize()) form->setFixedSize(form->minimumSize() - shrink);
    else if (form->testAttribute(Qt::WA_Resized)) form->resize(form->size() - shrink);
    form->setWindowFlags(ownFlags_);
    if (visible) form->show();
}

void TGradientCaption::SetColor(TColor color) {
    color_ = color;
    RedrawFrame();
}

void TGradientCaption::SetEnabled(TGradEnabled enabled) {
    enabled_ = enabled;
    RedrawFrame();
}

void TGradientCaption::SetNumColors(int count) {
    numColors_ = NumColorsAfterSet(numColors_, count);
    RedrawFrame();
}

void TGradientCaption::SetBorder(TFormBorderStyle style, TBorderIcons icons) {
    if (borderStyle_ == TFormBorderStyle::bsNone || style == TFormBorderStyle::bsNone) return;  // fixed at creation
    borderStyle_ = style;
    borderIcons_ = icons;
    ApplyDecorationSize();
}

bool TGradientCaption::PaintsActive() const {
    if (activationSeen_) return active_;
    return form_ && QApplication::activeWindow() == form_;
}

QRect TGradientCaption::ClientRect() const {
    if (!form_) return {};
    return form_->rect().marginsRemoved(decoration_);
}

void TGradientCaption::RedrawFrame() {
    if (frame_) frame_->update();
    ShowTitleToSystem();
}

std::string TGradientCaption::SystemTitle() const {
    std::string title;
    for (const TCompanyText* part : {static_cast<const TCompanyText*>(companyText_.get()),
                                     static_cast<const TCompanyText*>(appNameText_.get()),
                                     static_cast<const TCompanyText*>(captionText_.get())}) {
        if (!part || !part->Visible()) continue;
        std::string text = part->Caption();
        const size_t first = text.find_first_not_of(' ');
        if (first == std::string::npos) continue;
        text = text.substr(first, text.find_last_not_of(' ') - first + 1);
        title += title.empty() ? text : " " + text;
    }
    return title;
}

void TGradientCaption::ShowTitleToSystem() {
    // The task bar and the window switcher read the title the system holds;
    // the widget keeps its own title, which is the caption text alone.
    if (!form_ || borderStyle_ == TFormBorderStyle::bsNone) return;
    if (QWindow* handle = form_->windowHandle()) {
        const QString title = Text(SystemTitle());
        if (handle->title() != title) handle->setTitle(title);
    }
}

void TGradientCaption::ApplyDecorationSize() {
    if (!form_ || borderStyle_ == TFormBorderStyle::bsNone) return;
    QWidget* form = form_;
    const int fx = FrameWidth(borderStyle_, false, metrics_), fy = FrameHeight(borderStyle_, false, metrics_);
    const QMargins decoration(fx, fy + CaptionHeight(borderStyle_, metrics_), fx, fy);
    const QMargins delta = decoration - decoration_;
    decoration_ = decoration;
    if (!clientArea_) form->setContentsMargins(ownMargins_ + decoration);
    // The client area keeps its size: the window grows around it.
    const QSize grow(delta.left() + delta.right(), delta.top() + delta.bottom());
    if (!grow.isNull()) {
        if (form->minimumSize() == form->maximumSize()) {
            form->setFixedSize(form->minimumSize() + grow);
        } else {
            if (!form->layout() && !form->minimumSize().isNull()) form->setMinimumSize(form->minimumSize() + grow);
            if (form->testAttribute(Qt::WA_Resized)) form->resize(form->size() + grow);
        }
    }
    PlaceDecoration();
}

void TGradientCaption::PlaceDecoration() {
    if (clientArea_) clientArea_->setGeometry(ClientRect());
    if (frame_) frame_->FitToWindow();
}

void TGradientCaption::SystemSettingsChanged() {
    systemCaptionFont_ = ReadSystemCaptionFont();
    for (TCompanyText* part : {static_cast<TCompanyText*>(appNameText_.get()),
                               static_cast<TCompanyText*>(captionText_.get()), companyText_.get()})
        part->ApplyFontKind(systemCaptionFont_);
    metrics_ = CaptionMetricsFor(systemCaptionFont_);
    ApplyDecorationSize();
    RedrawFrame();
}

bool TGradientCaption::eventFilter(QObject* watched, QEvent* event) {
    if (watched != form_) return false;
    switch (event->type()) {
        case QEvent::Resize: PlaceDecoration(); break;
        case QEvent::ActivationChange:
            active_ = form_->isActiveWindow();
            activationSeen_ = true;
            RedrawFrame();
            break;
        case QEvent::Show:
        case QEvent::WinIdChange: ShowTitleToSystem(); break;
        case QEvent::WindowTitleChange:
        case QEvent::WindowIconChange:
        case QEvent::WindowStateChange:
        case QEvent::PaletteChange:
        case QEvent::ApplicationPaletteChange: RedrawFrame(); break;
        case QEvent::ApplicationFontChange:
        case QEvent::ThemeChange:
        case QEvent::ScreenChangeInternal: SystemSettingsChanged(); break;
        case QEvent::ChildAdded:
            // Controls added later must not cover the bar.
            if (frame_ && static_cast<QChildEvent*>(event)->child() != frame_)
                QMetaObject::invokeMethod(frame_, &QWidget::raise, Qt::QueuedConnection);
            break;
        default: break;
    }
    return false;
}

void TGradientCaption::PaintBar(QPainter& painter, const QSize& windowSize) const {
    if (!form_ || borderStyle_ == TFormBorderStyle::bsNone) return;
    const QWidget* form = form_;
    const TRect bar = CaptionBarRect({0, 0, windowSize.width(), windowSize.height()}, borderStyle_, borderIcons_,
                                     form->isMinimized(), newShell_, metrics_);
    const QPalette& palette = form->palette();
    const bool active = PaintsActive();
    const std::uint32_t captionRgb = ColorToRGB(active ? clActiveCaption : clInactiveCaption, palette);

    painter.save();
    painter.setClipRect(ToQRect(bar));
    if (enabled_ == geAlways || (enabled_ == geWhenActive && active)) {
        for (const TGradientBand& band :
             GradientBands(bar.Left, bar.Right, ColorToRGB(color_, palette), captionRgb, numColors_))
            painter.fillRect(band.X0, bar.Top, band.X1 - band.X0, bar.Height(), QColor::fromRgb(band.Rgb));
    } else {
        painter.fillRect(ToQRect(bar), QColor::fromRgb(captionRgb));
    }

    const std::array<const TCompanyText*, 3> parts = {companyText_.get(), appNameText_.get(), captionText_.get()};
    std::array<QString, 3> texts;
    std::array<TTextPartInput, 3> inputs;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        texts[i] = Text(parts[i]->Caption());
        inputs[i] = {QFontMetrics(parts[i]->Font()).horizontalAdvance(texts[i]), texts[i].isEmpty(),
                     parts[i]->Visible()};
    }
    const TCaptionLayout layout =
        LayoutCaption(bar, CaptionShowsIcon(borderStyle_, borderIcons_, newShell_), inputs, newShell_, metrics_);
    if (layout.Icon) {
        QIcon icon = form->windowIcon();
        if (icon.isNull()) icon = QApplication::windowIcon();
        if (icon.isNull()) icon = form->style()->standardIcon(QStyle::SP_TitleBarMenuButton);
        icon.paint(&painter, ToQRect(*layout.Icon));
    }
    for (const TTextPlacement& place : layout.Texts) {
        const TCompanyText& part = *parts[place.Part];
        const int room = bar.Right - place.Left;
        if (room <= 0) continue;
        const QString shown = QFontMetrics(part.Font()).elidedText(texts[place.Part], Qt::ElideRight, room);
        painter.setFont(part.Font());
        painter.setPen(QColor::fromRgb(ColorToRGB(active ? part.ColorActive() : part.ColorInactive(), palette)));
        painter.drawText(QRect(place.Left, bar.Top, room, bar.Height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
    painter.restore();
}

TGradientCaption* AttachGradientCaption(QWidget* window, const std::string& companyText,
                                        const std::string& appNameText) {
    auto* caption = new TGradientCaption(window);
    caption->setObjectName("GradientCaption1");
    caption->CompanyText().SetCaption(companyText);
    caption->CompanyText().SetFontKind(fkSystemBI);
    caption->AppNameText().SetCaption(appNameText);
    caption->AppNameText().SetFontKind(fkSystemB);
    caption->CaptionText().SetFontKind(fkSystem);
    return caption;
}

}  // namespace vollum
