#include "core/text/byte_string.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace quillon {

std::string_view TrimAsciiLeft(std::string_view s) {
    size_t b = 0;
    while (b < s.size() && IsAsciiSpace(static_cast<unsigned char>(s[b]))) ++b;
    return s.substr(b);
}

std::string_view TrimAsciiRight(std::string_view s) {
    size_t e = s.size();
    while (e > 0 && IsAsciiSpace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(0, e);
}

std::string_view TrimAscii(std::string_view s) { return TrimAsciiRight(TrimAsciiLeft(s)); }

std::string ToLowerAscii(std::string_view s) {
    std::string out(s);
    for (size_t i = 0; i < out.size(); ++i) {
        if (IsGbkLead(static_cast<unsigned char>(out[i]))) {
            ++i;  // keep the trail byte as it is
            continue;
        }
        out[i] = AsciiLower(out[i]);
    }
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        if (IsGbkLead(ca)) {
            if (a[i] != b[i]) return false;
            if (i + 1 < a.size()) {
                ++i;
                if (a[i] != b[i]) return false;
            }
            continue;
        }
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiLower(s[i]) != AsciiLower(prefix[i])) return false;
    }
    return true;
}

size_t FindAsciiFolded(std::string_view hay, std::string_view needle, size_t from, size_t limit) {
    limit = std::min(limit, hay.size());
    if (needle.empty() || from > limit || limit - from < needle.size()) return std::string_view::npos;
    const size_t last = limit - needle.size();  // the last index a match can start at
    // Candidates are found with memchr on both cases of the first letter, so
    // a page without the word costs a fast scan rather than a loop per byte.
    const char lower = needle[0];
    const char upper = lower >= 'a' && lower <= 'z' ? static_cast<char>(lower - 'a' + 'A') : lower;
    auto next = [&](char c, size_t at) {
        if (at > last) return std::string_view::npos;
        const void* p = std::memchr(hay.data() + at, c, last - at + 1);
        return p ? static_cast<size_t>(static_cast<const char*>(p) - hay.data()) : std::string_view::npos;
    };
    size_t atLower = next(lower, from);
    size_t atUpper = upper == lower ? std::string_view::npos : next(upper, from);
    while (atLower != std::string_view::npos || atUpper != std::string_view::npos) {
        const size_t i = std::min(atLower, atUpper);
        size_t k = 1;
        while (k < needle.size()) {
            char c = hay[i + k];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != needle[k]) break;
            ++k;
        }
        if (k == needle.size()) return i;
        if (i == atLower) atLower = next(lower, i + 1);
        if (i == atUpper) atUpper = next(upper, i + 1);
    }
    return std::string_view::npos;
}

namespace {

// Compares needle with haystack at pos, whole characters at a time.
bool MatchAt(std::string_view h, size_t pos, std::string_view n, bool ignoreCase) {
    if (!ignoreCase) return std::memcmp(h.data() + pos, n.data(), n.size()) == 0;
    for (size_t k = 0; k < n.size(); ++k) {
        unsigned char c = static_cast<unsigned char>(n[k]);
        if (IsGbkLead(c)) {
            if (h[pos + k] != n[k]) return false;
            if (k + 1 < n.size()) {
                ++k;
                if (h[pos + k] != n[k]) return false;
            }
            continue;
        }
        if (AsciiLower(h[pos + k]) != AsciiLower(n[k])) return false;
    }
    return true;
}

}  // namespace

size_t FindGbk(std::string_view haystack, std::string_view needle, size_t from, bool ignoreCase) {
    if (needle.empty() || needle.size() > haystack.size()) return std::string_view::npos;
    const size_t last = haystack.size() - needle.size();
    size_t i = from;
    // `from` is taken as a character boundary; callers pass 0 or a position
    // they got from this function or from a character walk.
    while (i <= last) {
        if (MatchAt(haystack, i, needle, ignoreCase)) return i;
        i += IsGbkLead(static_cast<unsigned char>(haystack[i])) ? 2 : 1;
    }
    return std::string_view::npos;
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
    std::string out;
    if (from.empty()) return std::string(s);
    size_t pos = 0;
    while (true) {
        size_t hit = s.find(from, pos);
        if (hit == std::string_view::npos) break;
        out.append(s.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(s.substr(pos));
    return out;
}

std::string Format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, fmt, ap);
    }
    va_end(ap);
    return out;
}

}  // namespace quillon
