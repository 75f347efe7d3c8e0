#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

// ConvertCharset (core/text/gbk_codec.h) that also adds the number of
// replacements it wrote to `replaced`, for telling the user how much of a
// converted book was lost.
std::string ConvertCharsetCounted(std::string_view input, const char* from, const char* to,
                                  std::string_view replacement, size_t& replaced);

}  // namespace quillon
