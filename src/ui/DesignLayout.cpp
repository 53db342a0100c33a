#include "ui/DesignLayout.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cmath>

namespace vollum {

namespace {
constexpr int kDesignTextHeight = 13;  // the designs' line of text
constexpr int kButtonPadding = 12;     // frame and margins round a button's caption
constexpr int kIconRoom = 20;          // a button's glyph and its gap

int Px(int designed, double scale) { return static_cast<int>(std::lround(designed * scale)); }
}  // namespace

QString ShownText(const QString& caption) {
    QString shown;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        shown += caption[i];
    }
    return shown;
}

DesignLayout::DesignLayout(QWidget* form, int clientWidth, int clientHeight)
    : form_(form), client_(clientWidth, clientHeight) {}

void DesignLayout::Place(QWidget* control, int left, int top, int width, int height) {
    items_.push_back({control, QRect(left, top, width, height), {}});
}

void DesignLayout::PlaceLabel(QLabel* label, int left, int top, int room, const QStringList& otherTexts) {
    QStringList texts = otherTexts;
    texts.prepend(label->text());
    items_.push_back({label, QRect(left, top, room, kDesignTextHeight), texts});
}

double DesignLayout::Needed(const Item& item) const {
    QWidget* w = item.widget;
    const QFontMetrics fm = w->fontMetrics();
    const QRect& d = item.design;
    double need = static_cast<double>(fm.height()) / kDesignTextHeight;
    auto atLeast = [&need](double required, int designed) {
        if (designed > 0) need = std::max(need, required / designed);
    };
    if (qobject_cast<QLabel*>(w)) {
        for (const QString& text : item.texts) atLeast(fm.horizontalAdvance(ShownText(text)) + 2, d.width());
    } else if (auto* push = qobject_cast<QPushButton*>(w)) {
        const int icon = push->icon().isNull() ? 0 : kIconRoom;
        atLeast(fm.horizontalAdvance(ShownText(push->text())) + kButtonPadding + icon, d.width());
        atLeast(fm.height() + 6, d.height());
    } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
        const QSize hint = w->sizeHint();
        atLeast(hint.width(), d.width());
        atLeast(hint.height(), d.height());
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        atLeast(fm.horizontalAdvance(ShownText(group->title())) + 24, d.width());
        // The title sits on the frame; the first row of controls starts below it.
        int firstTop = d.height();
        for (const Item& other : items_)
            if (other.widget->parentWidget() == group) firstTop = std::min(firstTop, other.design.top());
        atLeast(fm.height(), firstTop);
    } else if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w)) {
        atLeast(w->minimumSizeHint().height(), d.height());
    }
    return need;
}

void DesignLayout::Apply() {
    scale_ = 1.0;
    for (const Item& item : items_) scale_ = std::max(scale_, Needed(item));
    for (const Item& item : items_) {
        const QRect& d = item.design;
        QRect r(Px(d.left(), scale_), Px(d.top(), scale_), Px(d.width(), scale_), Px(d.height(), scale_));
        item.widget->setGeometry(r);
    }
    form_->setFixedSize(Px(client_.width(), scale_), Px(client_.height(), scale_));
}

}  // namespace vollum
