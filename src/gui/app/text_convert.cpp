#include "gui/app/text_convert.h"

#include "core/text/gbk_codec.h"

namespace quillon {

QString FromGbk(std::string_view gbk) { return FromUtf8(GbkToUtf8(gbk)); }

std::string ToGbk(const QString& text) { return Utf8ToGbk(ToUtf8(text)); }

}  // namespace quillon
