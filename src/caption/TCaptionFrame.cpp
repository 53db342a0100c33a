#include "caption/TCaptionFrame.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QTimer>
#include <QWhatsThis>
#include <QWindow>

#include "caption/TGradientCaption.h"

namespace vollum {

namespace {
constexpr int kWindowManagerGrace = 300;  // ms

QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

// A raised (or sunken) two-line bevel inside r.
void Bevel(QPainter& p, const QRect& r, const QPalette& pal, bool sunken) {
    const QColor outerTL = sunken ? pal.color(QPalette::Shadow) : pal.color(QPalette::Button);
    const QColor innerTL = sunken ? pal.color(QPalette::Dark) : pal.color(QPalette::Light);
    const QColor outerBR = sunken ? pal.color(QPalette::Light) : pal.color(QPalette::Shadow);
    const QColor innerBR = sunken ? pal.color(QPalette::Button) : pal.color(QPalette::Dark);
    const int l = r.left(), t = r.top(), rr = r.right(), b = r.bottom();
    p.setPen(outerTL);
    p.drawLine(l, t, rr - 1, t);
    p.drawLine(l, t, l, b - 1);
    p.setPen(outerBR);
    p.drawLine(l, b, rr, b);
    p.drawLine(rr, t, rr, b);
    p.setPen(innerTL);
    p.drawLine(l + 1, t + 1, rr - 2, t + 1);
    p.drawLine(l + 1, t + 1, l + 1, b - 2);
    p.setPen(innerBR);
    p.drawLine(l + 1, b - 1, rr - 1, b - 1);
    p.drawLine(rr - 1, t + 1, rr - 1, b - 1);
}
}  // namespace

TCaptionFrame::TCaptionFrame(TGradientCaption& caption, QWidget* window) : QWidget(window), caption_(caption) {
    setObjectName("CaptionFrame");
    setMouseTracking(true);
    FitToWindow();
}

TRect TCaptionFrame::WindowRect() const { return {0, 0, width(), height()}; }

bool TCaptionFrame::Sizeable() const {
    const TFormBorderStyle s = caption_.BorderStyle();
    return (s == TFormBorderStyle::bsSizeable || s == TFormBorderStyle::bsSizeToolWin) &&
           window()->minimumSize() != window()->maximumSize();
}

void TCaptionFrame::FitToWindow() {
    const QWidget* form = parentWidget();
    setGeometry(form->rect());
    setMask(QRegion(rect()) - QRegion(caption_.ClientRect()));
    raise();
    update();
}

QRect TCaptionFrame::CaptionStrip() const {
    const TFormBorderStyle s = caption_.BorderStyle();
    const bool minimized = window()->isMinimized();
    const TCaptionMetrics& m = caption_.Metrics();
    const int fx = FrameWidth(s, minimized, m), fy = FrameHeight(s, minimized, m);
    return QRect(fx, fy, width() - 2 * fx, CaptionHeight(s, m) - 1);
}

std::vector<TCaptionButton> TCaptionFrame::Buttons() const {
    return CaptionButtons(WindowRect(), caption_.BorderStyle(), caption_.BorderIcons(), window()->isMinimized(),
                          caption_.NewShell(), caption_.Metrics());
}

std::optional<std::size_t> TCaptionFrame::ButtonAt(QPoint pos) const {
    const auto buttons = Buttons();
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (ToQRect(buttons[i].Rect).contains(pos)) return i;
    return std::nullopt;
}

Qt::Edges TCaptionFrame::EdgesAt(QPoint pos) const {
    if (!Sizeable() || Maximized()) return {};
    const TCaptionMetrics& m = caption_.Metrics();
    const int fx = FrameWidth(caption_.BorderStyle(), false, m), fy = FrameHeight(caption_.BorderStyle(), false, m);
    // Corners reach along the edges, so a thin frame is still easy to catch by a corner.
    const int corner = m.CxSize;
    Qt::Edges edges;
    const bool nearLeft = pos.x() < corner, nearRight = pos.x() >= width() - corner;
    const bool nearTop = pos.y() < corner, nearBottom = pos.y() >= height() - corner;
    if (pos.x() < fx) edges |= Qt::LeftEdge;
    if (pos.x() >= width() - fx) edges |= Qt::RightEdge;
    if (pos.y() < fy) edges |= Qt::TopEdge;
    if (pos.y() >= height() - fy) edges |= Qt::BottomEdge;
    if (edges & (Qt::LeftEdge | Qt::RightEdge)) {
        if (nearTop) edges |= Qt::TopEdge;
        if (nearBottom) edges |= Qt::BottomEdge;
    }
    if (edges & (Qt::TopEdge | Qt::BottomEdge)) {
        if (nearLeft) edges |= Qt::LeftEdge;
        if (nearRight) edges |= Qt::RightEdge;
    }
    return edges;
}

void TCaptionFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintFrame(p);
    caption_.PaintBar(p, size());
    const auto buttons = Buttons();
    for (std::size_t i = 0; i < buttons.size(); ++i) PaintButton(p, buttons[i], pressed_ == i && pressedInside_);
}

void TCaptionFrame::PaintFrame(QPainter& p) {
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Button));
    if (caption_.BorderStyle() == TFormBorderStyle::bsNone) return;
    Bevel(p, rect(), pal, false);
    // Behind the buttons the caption shows its plain colour; the bar goes over the rest.
    const TColor colour = caption_.PaintsActive() ? clActiveCaption : clInactiveCaption;
    p.fillRect(CaptionStrip(), QColor::fromRgb(ColorToRGB(colour, pal)));
}

void TCaptionFrame::PaintButton(QPainter& p, const TCaptionButton& button, bool sunken) {
    const QPalette& pal = palette();
    const QRect r = ToQRect(button.Rect);
    p.fillRect(r, pal.color(QPalette::Button));
    Bevel(p, r, pal, sunken);
    const QPoint c = r.center() + (sunken ? QPoint(1, 1) : QPoint(0, 0));
    auto glyph = [&](const QColor& colour, QPoint at) {
        p.setPen(QPen(colour, 1));
        switch (button.Kind) {
            case TCaptionButtonKind::Close:
                for (int dx : {0, 1}) {
                    p.drawLine(at.x() - 4 + dx, at.y() - 3, at.x() + 2 + dx, at.y() + 3);
                    p.drawLine(at.x() + 2 + dx, at.y() - 3, at.x() - 4 + dx, at.y() + 3);
                }
                break;
            case TCaptionButtonKind::Minimize: p.fillRect(at.x() - 4, at.y() + 2, 6, 2, colour); break;
            case TCaptionButtonKind::Maximize:
                if (Maximized()) {
                    p.drawRect(at.x() - 2, at.y() - 5, 6, 5);
                    p.fillRect(at.x() - 2, at.y() - 5, 7, 2, colour);
                    p.fillRect(at.x() - 4, at.y() - 2, 7, 6, pal.color(QPalette::Button));
                    p.drawRect(at.x() - 4, at.y() - 2, 6, 5);
                    p.fillRect(at.x() - 4, at.y() - 2, 7, 2, colour);
                } else {
                    p.drawRect(at.x() - 4, at.y() - 4, 8, 7);
                    p.fillRect(at.x() - 4, at.y() - 4, 9, 2, colour);
                }
                break;
            case TCaptionButtonKind::Help: {
                QFont f = font();
                f.setBold(true);
                f.setPixelSize(std::max(8, r.height() - 3));
                p.setFont(f);
                p.drawText(QRect(at.x() - r.width() / 2, at.y() - r.height() / 2, r.width(), r.height()),
                           Qt::AlignCenter, QStringLiteral("?"));
                break;
            }
        }
    };
    if (button.Enabled) {
        glyph(pal.color(QPalette::ButtonText), c);
    } else {
        glyph(pal.color(QPalette::Light), c + QPoint(1, 1));
        glyph(pal.color(QPalette::Dark), c);
    }
}

void TCaptionFrame::Click(TCaptionButtonKind kind) {
    QWidget* form = window();
    switch (kind) {
        case TCaptionButtonKind::Close: form->close(); break;
        case TCaptionButtonKind::Minimize: form->showMinimized(); break;
        case TCaptionButtonKind::Maximize: ToggleMaximized(); break;
        case TCaptionButtonKind::Help: QWhatsThis::enterWhatsThisMode(); break;
    }
}

bool TCaptionFrame::Maximized() const { return window()->isMaximized() || normalGeometry_.isValid(); }

void TCaptionFrame::ToggleMaximized() {
    QWidget* form = window();
    if (Maximized()) {
        const QRect normal = normalGeometry_;
        normalGeometry_ = QRect();
        if (form->isMaximized()) form->showNormal();
        if (normal.isValid()) form->setGeometry(normal);
    } else if (form->minimumSize() != form->maximumSize()) {
        const QRect before = form->geometry();
        form->showMaximized();
        // Without a window manager nobody answers the request: then the window takes the screen itself.
        QTimer::singleShot(kWindowManagerGrace, this, [this, before] {
            QWidget* form = window();
            if (!form->isMaximized() || form->geometry() != before || !form->screen()) return;
            normalGeometry_ = before;
            form->setGeometry(form->screen()->availableGeometry());
        });
    }
}

void TCaptionFrame::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const QPoint pos = event->position().toPoint();
    if (const auto index = ButtonAt(pos)) {
        if (Buttons()[*index].Enabled) {
            pressed_ = index;
            pressedInside_ = true;
            update();
        }
        return;
    }
    QWidget* form = window();
    QWindow* handle = form->windowHandle();
    dragStart_ = event->globalPosition().toPoint();
    dragGeometry_ = form->geometry();
    if (const Qt::Edges edges = EdgesAt(pos)) {
        if (!handle || !handle->startSystemResize(edges)) {
            drag_ = Drag::Resize;
            dragEdges_ = edges;
        }
    } else if (CaptionStrip().contains(pos) && !Maximized()) {
        // A move starts once the mouse really moves, so that a click stays a click for the window manager.
        drag_ = Drag::Pending;
    }
}

void TCaptionFrame::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const QPoint delta = event->globalPosition().toPoint() - dragStart_;
    QWidget* form = window();
    if (pressed_) {
        const bool inside = ToQRect(Buttons()[*pressed_].Rect).contains(pos);
        if (inside != pressedInside_) {
            pressedInside_ = inside;
            update();
        }
    } else if (drag_ == Drag::Pending) {
        if (delta.manhattanLength() >= QApplication::startDragDistance()) {
            // The window manager moves the window when it can; otherwise the bar follows the mouse.
            QWindow* handle = form->windowHandle();
            drag_ = handle && handle->startSystemMove() ? Drag::None : Drag::Move;
            if (drag_ == Drag::Move) form->move(dragGeometry_.topLeft() + delta);
        }
    } else if (drag_ == Drag::Move) {
        form->move(dragGeometry_.topLeft() + delta);
    } else if (drag_ == Drag::Resize) {
        QRect g = dragGeometry_;
        const QSize min = form->minimumSize().expandedTo(QSize(1, 1)), max = form->maximumSize();
        if (dragEdges_ & Qt::LeftEdge)
            g.setLeft(std::clamp(g.left() + delta.x(), g.right() - max.width() + 1, g.right() - min.width() + 1));
        if (dragEdges_ & Qt::RightEdge)
            g.setRight(std::clamp(g.right() + delta.x(), g.left() + min.width() - 1, g.left() + max.width() - 1));
        if (dragEdges_ & Qt::TopEdge)
            g.setTop(std::clamp(g.top() + delta.y(), g.bottom() - max.height() + 1, g.bottom() - min.height() + 1));
        if (dragEdges_ & Qt::BottomEdge)
            g.setBottom(std::clamp(g.bottom() + delta.y(), g.top() + min.height() - 1, g.top() + max.height() - 1));
        form->setGeometry(g);
    } else {
        const Qt::Edges e = EdgesAt(pos);
        if ((e & Qt::LeftEdge && e & Qt::TopEdge) || (e & Qt::RightEdge && e & Qt::BottomEdge))
            setCursor(Qt::SizeFDiagCursor);
        else if ((e & Qt::RightEdge && e & Qt::TopEdge) || (e & Qt::LeftEdge && e & Qt::BottomEdge))
            setCursor(Qt::SizeBDiagCursor);
        else if (e & (Qt::LeftEdge | Qt::RightEdge)) setCursor(Qt::SizeHorCursor);
        else if (e & (Qt::TopEdge | Qt::BottomEdge)) setCursor(Qt::SizeVerCursor);
        else unsetCursor();
    }
}

void TCaptionFrame::mouseReleaseEvent(QMouseEvent* event) {
    drag_ = Drag::None;
    if (event->button() != Qt::LeftButton || !pressed_) return;
    const auto buttons = Buttons();
    const bool clicked = pressedInside_ && *pressed_ < buttons.size();
    const TCaptionButtonKind kind = clicked ? buttons[*pressed_].Kind : TCaptionButtonKind::Close;
    pressed_.reset();
    pressedInside_ = false;
    update();
    if (clicked) Click(kind);
}

void TCaptionFrame::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && CaptionStrip().contains(pos) && !ButtonAt(pos) &&
        caption_.BorderIcons().biMaximize && Sizeable())
        ToggleMaximized();
}

void TCaptionFrame::leaveEvent(QEvent*) {
    if (drag_ == Drag::None) unsetCursor();
}

}  // namespace vollum
