#pragma once
// The drawn window decoration: a widget over the whole window, masked to the
// frame and the caption, that paints them and serves their buttons, moving
// by the bar and resizing by a sizeable frame.
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <optional>

#include "caption/CaptionArithmetic.h"

namespace vollum {

class TGradientCaption;

class TCaptionFrame : public QWidget {
    Q_OBJECT
public:
    TCaptionFrame(TGradientCaption& caption, QWidget* window);

    // Follows the window's size and the client area.
    void FitToWindow();
    std::vector<TCaptionButton> Buttons() const;
    // Runs what a click on the button does.
    void Click(TCaptionButtonKind kind);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TRect WindowRect() const;
    QRect CaptionStrip() const;
    std::optional<std::size_t> ButtonAt(QPoint pos) const;
    Qt::Edges EdgesAt(QPoint pos) const;
    bool Sizeable() const;
    void PaintFrame(QPainter& painter);
    void PaintButton(QPainter& painter, const TCaptionButton& button, bool sunken);
    // Maximised by the window system, or by hand where there is none.
    bool Maximized() const;
    void ToggleMaximized();

    TGradientCaption& caption_;
    std::optional<std::size_t> pressed_;  // button held down
    bool pressedInside_ = false;
    // Moving or sizing by hand where the window system cannot (no window manager).
    enum class Drag { None, Pending, Move, Resize } drag_ = Drag::None;
    Qt::Edges dragEdges_;
    QPoint dragStart_;
    QRect dragGeometry_;
    QRect normalGeometry_;  // before a maximise done by hand
};

}  // namespace vollum
