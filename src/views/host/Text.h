// Text between the system (UTF-8 std::string) and Qt (QString).
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace qz::views {

inline QString qs(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string us(const QString& text) { return text.toUtf8().toStdString(); }

} // namespace qz::views
