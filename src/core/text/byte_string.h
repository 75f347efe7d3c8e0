#pragma once

#include <string>
#include <string_view>

namespace quillon {

// Helpers over GBK byte strings. A byte above 0x7F starts a two-byte
// character; its second byte may look like ASCII ('@', 'A'..'Z', '[', '\\'),
// so every helper here that folds case or searches walks whole characters.

inline bool IsGbkLead(unsigned char c) { return c > 0x7F; }

inline bool IsAsciiSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

inline char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when no byte is above 0x7F: such text reads the same in GBK and UTF-8
// and needs no conversion.
inline bool IsAscii(std::string_view s) {
    for (unsigned char c : s) {
        if (c > 0x7F) return false;
    }
    return true;
}

// White space (space, tab, CR, LF, VT, FF) removed from both ends.
std::string_view TrimAscii(std::string_view s);
std::string_view TrimAsciiLeft(std::string_view s);
std::string_view TrimAsciiRight(std::string_view s);

// ASCII letters lower-cased; both bytes of a two-byte character are kept.
std::string ToLowerAscii(std::string_view s);

// Equal ignoring ASCII case; trail bytes of two-byte characters compare
// exactly.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// `s` begins with `prefix`, ignoring ASCII case byte by byte. For ASCII keys
// (tag-file keys) only.
bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix);

// First `needle` (lower-case ASCII) in `hay` within [from, limit), with the
// letters of `hay` folded byte by byte, as markup is searched: a trail byte
// may start a match. npos when there is none.
size_t FindAsciiFolded(std::string_view hay, std::string_view needle, size_t from = 0,
                       size_t limit = std::string_view::npos);

// First occurrence of `needle` in `haystack` at or after `from` that starts
// on a character boundary (never on the second byte of a two-byte
// character). With `ignoreCase`, ASCII letters match either case.
// Returns std::string_view::npos when there is none.
size_t FindGbk(std::string_view haystack, std::string_view needle, size_t from = 0,
               bool ignoreCase = false);

// Replaces every occurrence of `from` (non-empty) with `to`, byte-wise.
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);

// printf into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace quillon
