#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace quillon {

// A file name (without extension) made from a chapter title (GBK): markup cut,
// ASCII blanks trimmed, the characters \ / : * ? < > | " removed (whole ASCII
// bytes only, so a GBK character is never split), trimmed again; a result
// shorter than two bytes gets "(YYYYMMDD_HHMMSS)" of `now` (local time)
// appended so that it is never empty.
std::string MakeSafeFileName(std::string_view title, std::time_t now = std::time(nullptr));

}  // namespace quillon
