#pragma once

#include <string>
#include <string_view>

namespace quillon {

// Brings a page that declares UTF-8 or Big5 (by the first "charset" in it,
// with the charset name starting less than 20 bytes after it) to GBK; Big5
// pages also get their traditional characters mapped to simplified ones.
// Other pages are left as they are.
void ConvertPageCharset(std::string& text);

// For a page that names no charset in its text: brings it to GBK from the
// charset the answer's Content-Type header names (UTF-8, Big5 with the
// mapping to simplified characters, or any other charset iconv knows). A
// page that names one, a header without one, a GBK family charset or a name
// iconv does not know leave the page as it is, for ConvertPageCharset.
void ApplyHeaderCharset(std::string& page, std::string_view contentType);

// The charset parameter of a Content-Type value, lower-case, unquoted; "".
std::string CharsetOfContentType(std::string_view contentType);

// The traditional-to-simplified mapping applied to GBK text, character by
// character. Exposed for tests.
std::string MapTraditionalToSimplified(std::string_view gbk);

}  // namespace quillon
