#pragma once
// Places a form's controls at their designed pixel positions, scaled as one
// piece so that every text fits in the platform's font at any resolution: the
// designs assume a narrow 8-point face at 96 dots per inch. The form only ever
// grows; no text is made smaller.
#include <QRect>
#include <QStringList>
#include <vector>

class QLabel;
class QWidget;

namespace vollum {

class DesignLayout {
public:
    DesignLayout(QWidget* form, int clientWidth, int clientHeight);

    // A control at a designed rectangle relative to its parent (the form or a group box).
    void Place(QWidget* control, int left, int top, int width, int height);
    // A label at a designed point whose text, and each text it may show later,
    // must fit within `room` pixels.
    void PlaceLabel(QLabel* label, int left, int top, int room, const QStringList& otherTexts = {});

    // Computes the scale and sets every geometry and the form's fixed size.
    void Apply();
    double Scale() const { return scale_; }

private:
    struct Item {
        QWidget* widget;
        QRect design;
        QStringList texts;  // labels only
    };
    double Needed(const Item& item) const;

    QWidget* form_;
    QSize client_;
    std::vector<Item> items_;
    double scale_ = 1.0;
};

// The caption as shown: "&Remote Port:" -> "Remote Port:", "&&" -> "&".
QString ShownText(const QString& caption);

}  // namespace vollum
