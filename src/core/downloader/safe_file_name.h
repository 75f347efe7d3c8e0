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

// Whether MakeSafeFileName names a chapter of this title by the title alone,
// so the name can be made again later; a title of markup only is named by
// the time of saving instead.
bool HasNameOfItsOwn(std::string_view title);

}  // namespace quillon
