#pragma once
// The two programs' own icons, drawn for this project (data/icons), at
// 16, 32, 48 and 256 pixels: window, caption bar, task bar and tray.
#include <QIcon>

namespace vollum {

QIcon VollumIcon();
QIcon SpoolBayIcon();

}  // namespace vollum
