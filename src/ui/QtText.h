#pragma once
// Text between the engine's byte strings (the local 8-bit encoding) and Qt.
#include <QString>
#include <string>
#include <string_view>

namespace vollum {

inline QString ToQt(std::string_view s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string FromQt(const QString& q) { return q.toLocal8Bit().toStdString(); }

}  // namespace vollum
