#include "core/library/book_text.h"

#include <string_view>

#include "core/platform/file_io.h"
#include "core/text/gbk_codec.h"

namespace quillon {

namespace {

std::string_view UpToNul(std::string_view s) {
    size_t nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

bool HasNonAscii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) > 0x7F) return true;
    }
    return false;
}

std::string FromWide(std::string_view bytes, const char* charset) {
    return std::string(UpToNul(ConvertCharset(bytes, charset, "CP936", kGbkReplacement)));
}

}  // namespace

std::string BookBytesToGbk(std::string_view bytes) {
    using namespace std::string_view_literals;
    // UTF-32 LE first: its mark begins with the UTF-16 LE mark.
    if (StartsWith(bytes, "\xFF\xFE\0\0"sv)) return FromWide(bytes.substr(4), "UTF-32LE");
    if (StartsWith(bytes, "\0\0\xFE\xFF"sv)) return FromWide(bytes.substr(4), "UTF-32BE");
    if (StartsWith(bytes, "\xFF\xFE"sv)) return FromWide(bytes.substr(2), "UTF-16LE");
    if (StartsWith(bytes, "\xFE\xFF"sv)) return FromWide(bytes.substr(2), "UTF-16BE");
    if (StartsWith(bytes, "\xEF\xBB\xBF"sv)) return Utf8ToGbk(UpToNul(bytes.substr(3)));
    std::string_view text = UpToNul(bytes);
    // Valid UTF-8 with non-ASCII bytes is almost never GBK: GBK's two-byte
    // characters rarely happen to form UTF-8 sequences beyond a few bytes.
    if (HasNonAscii(text) && IsValidUtf8(text)) return Utf8ToGbk(text);
    return std::string(text);
}

bool ReadBookText(const std::string& path, std::string& gbkText) {
    gbkText.clear();
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    gbkText = BookBytesToGbk(bytes);
    return true;
}

}  // namespace quillon
