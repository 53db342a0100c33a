#include "ui/ProgramIcons.h"

namespace vollum {

namespace {
QIcon FromResource(const char* name) {
    QIcon icon;
    for (const char* size : {"16", "32", "48", "256"})
        icon.addFile(QStringLiteral(":/icons/%1/%2.png").arg(QLatin1String(size), QLatin1String(name)));
    return icon;
}
}  // namespace

QIcon VollumIcon() { return FromResource("vollum"); }
QIcon SpoolBayIcon() { return FromResource("spoolbay"); }

}  // namespace vollum
