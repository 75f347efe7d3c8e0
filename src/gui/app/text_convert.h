#pragma once

#include <string>
#include <string_view>

#include <QString>

namespace quillon {

// The screen boundary: GBK bytes of the core to and from QString.
QString FromGbk(std::string_view gbk);
std::string ToGbk(const QString& text);

// The file-system boundary for paths held as UTF-8 in the core.
inline QString FromUtf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace quillon
