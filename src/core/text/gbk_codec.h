#pragma once

#include <string>
#include <string_view>

namespace quillon {

// The one codec of the system. Book text, records and tag files are GBK
// (code page 936) bytes; the screen and the file system speak UTF-8. These
// functions are the only place where one becomes the other.
//
// Bad input never truncates the result or throws:
//  - a byte sequence that is not valid in the source charset becomes one
//    replacement (U+FFFD when the target is UTF-8, "?" when it is GBK) and
//    conversion goes on with the next byte;
//  - a character without a form in the target charset becomes one
//    replacement and conversion goes on after that character.

inline constexpr std::string_view kGbkReplacement = "?";
inline constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";

std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// General conversion between any two iconv charset names (for example
// "CP950" to "CP936"), with the same replacement rules. `replacement` is
// written in the target charset.
std::string ConvertCharset(std::string_view input, const char* from, const char* to,
                           std::string_view replacement);

// One conversion held open for many short inputs (the lines of a book
// tried one by one), with the rules of ConvertCharset: opening a converter
// costs far more than converting a line.
class CharsetConverter final {
public:
    CharsetConverter(const char* from, const char* to, std::string_view replacement);
    ~CharsetConverter();
    CharsetConverter(const CharsetConverter&) = delete;
    CharsetConverter& operator=(const CharsetConverter&) = delete;

    // `input` converted into `out` (replaced, not appended to). An unknown
    // charset copies the input unchanged, as ConvertCharset does.
    void Convert(std::string_view input, std::string& out);
    // Replacements written by every Convert so far.
    size_t replaced() const { return replaced_; }

private:
    bool ok() const;

    void* cd_;
    std::string replacement_;
    bool fromUtf8_;
    size_t wideUnit_;
    bool wideBigEndian_;
    bool fromDoubleByte_;
    bool fromGb18030_;
    size_t replaced_ = 0;
};

// True when `bytes` is well-formed UTF-8 (overlongs and surrogates refused).
bool IsValidUtf8(std::string_view bytes);

}  // namespace quillon
