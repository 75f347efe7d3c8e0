#pragma once

#include <string>
#include <string_view>

#include "core/text/gbk_codec.h"

namespace quillon {

// Source files are UTF-8; the system's own texts (messages, captions,
// formats) are GBK at run time. Gbk("…") turns a literal into GBK bytes.
inline std::string Gbk(std::string_view utf8Literal) { return Utf8ToGbk(utf8Literal); }

}  // namespace quillon
