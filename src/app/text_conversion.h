// Text between the core (UTF-8 std::string) and Qt (QString).
#pragma once

#include <QString>
#include <string>
#include <string_view>

inline QString u8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string utf8(const QString& s) { return s.toStdString(); }
