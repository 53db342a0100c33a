#pragma once
// What the desktop says about captions: their font and the decoration sizes that follow from it.
#include <QFont>

#include "caption/CaptionArithmetic.h"

namespace vollum {

// The application's font as the desktop gave it (or as the program set it),
// in the styles the caption font allows: only bold and italic.
QFont ReadSystemCaptionFont();

// Decoration sizes that fit a caption in that font.
TCaptionMetrics CaptionMetricsFor(const QFont& captionFont);

}  // namespace vollum
