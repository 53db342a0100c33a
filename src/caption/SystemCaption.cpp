#include "caption/SystemCaption.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <algorithm>

namespace vollum {

QFont ReadSystemCaptionFont() {
    const QFont title = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    QFont font = QGuiApplication::font();
    QFont caption(font.family());
    if (font.pixelSize() > 0) caption.setPixelSize(font.pixelSize());
    else caption.setPointSizeF(font.pointSizeF());
    caption.setItalic(font.italic() || title.italic());
    caption.setBold(font.weight() > QFont::Medium || title.weight() > QFont::Medium);
    return caption;
}

TCaptionMetrics CaptionMetricsFor(const QFont& captionFont) {
    TCaptionMetrics m;
    // The classic 19-pixel caption, taller when the font needs it.
    m.CyCaption = std::max(19, QFontMetrics(captionFont).height() + 6);
    m.CySmCaption = m.CyCaption - 4;
    m.CxSize = m.CyCaption - 1;
    m.CxSmSize = m.CySmCaption - 3;
    m.CxSmIcon = m.CySmIcon = std::min(16, m.CyCaption - 3);
    return m;
}

}  // namespace vollum
