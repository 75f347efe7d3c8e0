#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

// Percent-encoding of GBK bytes. Every byte outside the kept set becomes '%'
// and two upper-case hexadecimal digits; a space is "%20", never '+'.

// For one value of an application/x-www-form-urlencoded body. Keeps
// '0'-'9', 'a'-'z', 'A'-'Z', '&' and '='. Because '&' and '=' pass through, a
// value holding them cannot be told apart from the form's own separators:
// encode values one at a time and join them yourself.
std::string UrlEncodeForm(const char* bytes, size_t length);

// For a search phrase put into a search engine's address. Keeps '0'-'9',
// 'a'-'z', 'A'-'Z' and "@#$+="; '&' is escaped.
std::string UrlEncodeQuery(std::string_view text);

}  // namespace quillon
