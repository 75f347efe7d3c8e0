#pragma once

#include <string>
#include <string_view>

namespace quillon {

// Brings a page that declares UTF-8 or Big5 (by the first "charset" in it,
// with the charset name starting less than 20 bytes after it) to GBK; Big5
// pages also get their traditional characters mapped to simplified ones.
// Other pages are left as they are.
void ConvertPageCharset(std::string& text);

// The traditional-to-simplified mapping applied to GBK text, character by
// character. Exposed for tests.
std::string MapTraditionalToSimplified(std::string_view gbk);

}  // namespace quillon
