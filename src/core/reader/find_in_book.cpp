#include "core/reader/find_in_book.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/platform/messenger.h"
#include "core/reader/paging_model.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_literal.h"

namespace quillon {

namespace {

inline bool IsAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

// A search text prepared for scanning: which of its bytes fold case, and the
// two anchor bytes (first and last) that screen candidate positions sixteen
// at a time before any byte-by-byte comparison.
class Pattern final {
public:
    Pattern(std::string_view what, bool caseSensitive) : bytes_(what), fold_(what.size(), 0) {
        if (!caseSensitive) {
            // Only single-byte letters fold; both bytes of a pair compare
            // exactly, even when the second looks like an ASCII letter.
            for (size_t k = 0; k < bytes_.size(); ++k) {
                const auto c = static_cast<unsigned char>(bytes_[k]);
                if (IsGbkLead(c)) {
                    ++k;
                } else if (IsAsciiLetter(c)) {
                    fold_[k] = 1;
                    bytes_[k] = AsciiLower(bytes_[k]);
                }
            }
        }
    }

    size_t size() const { return bytes_.size(); }
    unsigned char byte(size_t k) const { return static_cast<unsigned char>(bytes_[k]); }
    bool folds(size_t k) const { return fold_[k] != 0; }

    // The whole pattern at `pos`. Matching byte for byte from a character
    // boundary keeps the text's characters aligned with the pattern's, so
    // the pattern's own classification of each byte holds for the text.
    bool MatchAt(const unsigned char* text) const {
        for (size_t k = 0; k < bytes_.size(); ++k) {
            unsigned char c = text[k];
            if (fold_[k]) c = static_cast<unsigned char>(AsciiLower(static_cast<char>(c)));
            if (c != static_cast<unsigned char>(bytes_[k])) return false;
        }
        return true;
    }

    // Both anchors match at `pos`; folding by OR 0x20 admits only the two
    // cases of a letter.
    bool AnchorsAt(const unsigned char* text) const {
        const size_t last = bytes_.size() - 1;
        return (text[0] | (folds(0) ? 0x20 : 0)) == byte(0) &&
               (text[last] | (folds(last) ? 0x20 : 0)) == byte(last);
    }

private:
    std::string bytes_;
    std::vector<unsigned char> fold_;
};

// Tracks character boundaries as the scan moves forward. The byte after a
// byte <= 0x7F always starts a character, so from any position the walk
// back over bytes above 0x7F ends at a known boundary, and the parity of the
// walk tells whether the position starts a character. The walk never goes
// behind the last boundary found, so all walks together cover the text once.
class BoundaryTracker final {
public:
    explicit BoundaryTracker(const unsigned char* text) : text_(text) {}

    bool IsBoundary(size_t pos) {
        const size_t s = RunStart(pos);
        const bool boundary = ((pos - s) & 1) == 0;
        // A position that is not a boundary is a trail, so its lead is one.
        known_ = boundary ? pos : pos - 1;
        return boundary;
    }

private:
    // The start of the run of bytes above 0x7F that ends just before `pos`,
    // or the last known boundary if the run reaches back that far.
    size_t RunStart(size_t pos) const {
        size_t s = pos;
#if defined(__SSE2__)
        // Sixteen bytes at a time: the highest byte <= 0x7F ends the walk.
        while (s >= known_ + 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text_ + s - 16));
            const unsigned low = ~static_cast<unsigned>(_mm_movemask_epi8(v)) & 0xFFFF;
            if (low) return s - 16 + 32 - static_cast<size_t>(__builtin_clz(low));
            s -= 16;
        }
#endif
        while (s > known_ && IsGbkLead(text_[s - 1])) --s;
        return s;
    }

    const unsigned char* text_;
    size_t known_ = 0;
};

template <typename OnHit>
void ScanOccurrences(std::string_view text, const Pattern& pattern, OnHit onHit) {
    const size_t n = text.size();
    const size_t m = pattern.size();
    if (m == 0 || m > n) return;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    BoundaryTracker boundaries(p);
    const size_t lastStart = n - m;  // the last position an occurrence can start at

    // A candidate whose anchors matched: true when it is an occurrence.
    auto check = [&](size_t c) -> bool {
        if (!pattern.MatchAt(p + c) || !boundaries.IsBoundary(c)) return false;
        onHit(c);
        return true;
    };

    size_t i = 0;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(static_cast<char>(pattern.byte(0)));
    const __m128i last = _mm_set1_epi8(static_cast<char>(pattern.byte(m - 1)));
    const __m128i foldFirst = _mm_set1_epi8(pattern.folds(0) ? 0x20 : 0);
    const __m128i foldLast = _mm_set1_epi8(pattern.folds(m - 1) ? 0x20 : 0);
    auto screen = [&](size_t at) {
        const __m128i a =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at)), foldFirst);
        const __m128i b = _mm_or_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at + m - 1)), foldLast);
        return static_cast<uint32_t>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
    };
    // Thirty-two start positions at once while all loads stay inside the
    // text; candidates are rare, so the loop mostly just screens.
    while (i + 32 <= lastStart + 1) {
        uint32_t mask = screen(i) | (screen(i + 16) << 16);
        size_t next = i + 32;
        while (mask) {
            const size_t c = i + static_cast<size_t>(__builtin_ctz(mask));
            mask &= mask - 1;
            if (check(c)) {
                // Occurrences do not overlap: the scan restarts past this one.
                next = c + m;
                break;
            }
        }
        i = next;
    }
#endif
    while (i <= lastStart) {
        i += (pattern.AnchorsAt(p + i) && check(i)) ? m : 1;
    }
}

}  // namespace

std::string FindRowPositionText(const FindRow& row) { return Format("%d", row.position); }

std::vector<int32_t> FindOccurrences(std::string_view text, std::string_view what,
                                     bool caseSensitive) {
    std::vector<int32_t> positions;
    const Pattern pattern(what, caseSensitive);
    ScanOccurrences(text, pattern, [&](size_t c) { positions.push_back(static_cast<int32_t>(c)); });
    return positions;
}

std::vector<FindRow> FindInBook(std::string_view text, std::string_view what, bool caseSensitive) {
    // Positions first: a common word can give hundreds of thousands of rows,
    // which are then built once in place instead of moved at every growth.
    const std::vector<int32_t> positions = FindOccurrences(text, what, caseSensitive);
    const size_t shown = std::max<size_t>(what.size(), 10);
    std::vector<FindRow> rows;
    rows.reserve(positions.size());
    for (int32_t c : positions) {
        // The book's own bytes, never the case-folded ones.
        rows.push_back({c, std::string(text.substr(static_cast<size_t>(c), shown))});
    }
    return rows;
}

std::vector<FindRow> RunSearch(std::string_view text, std::string_view what, bool caseSensitive,
                               Messenger& messenger) {
    if (what.empty()) {
        messenger.Inform(Gbk("请输入要查找的内容"));
        return {};
    }
    std::vector<FindRow> rows = FindInBook(text, what, caseSensitive);
    if (rows.empty()) messenger.Inform(Gbk("未找到，请重新查找"));
    return rows;
}

bool PickResult(PagingModel& model, std::string_view positionText) {
    return model.GoToOffsetAndSelect(ParseLeadingInt(positionText));
}

int32_t PageOfPosition(const PagingModel& model, int64_t position) {
    if (model.rows() <= 0) return 0;
    const int32_t index = model.lineTable().FindContainingInclusive(position);
    return index < 0 ? 0 : index / model.rows() + 1;
}

std::string FindRowContext(std::string_view text, int32_t position, size_t length, int around) {
    // Characters are only known walking forward from a line start; a line
    // longer than this is walked from this far back instead.
    constexpr size_t kMaxWalk = 4096;
    const size_t pos = std::min<size_t>(static_cast<size_t>(std::max(position, 0)), text.size());
    const size_t hitEnd = std::min(text.size(), pos + length);
    size_t lineStart = pos > kMaxWalk ? pos - kMaxWalk : 0;
    for (size_t i = pos; i > lineStart; --i) {
        if (text[i - 1] == '\n') {
            lineStart = i;
            break;
        }
    }
    auto width = [&](size_t i) {
        return IsGbkLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2u : 1u;
    };
    // The last `around` character starts before the hit.
    std::vector<size_t> starts;
    for (size_t i = lineStart; i < pos; i += width(i)) starts.push_back(i);
    const size_t from = starts.size() > static_cast<size_t>(around)
                            ? starts[starts.size() - static_cast<size_t>(around)]
                            : lineStart;
    size_t to = hitEnd;
    for (int n = 0; n < around && to < text.size() && text[to] != '\n'; ++n) to += width(to);
    to = std::min(to, text.size());
    auto clean = [](std::string_view s) {
        std::string out(s);
        for (char& c : out)
            if (c == '\t' || c == '\r' || c == '\n') c = ' ';
        return out;
    };
    const std::string cut = Gbk("…");
    std::string out = from > lineStart ? cut : std::string();
    out += clean(text.substr(from, pos - from)) + Gbk("【") + clean(text.substr(pos, hitEnd - pos)) +
           Gbk("】") + clean(text.substr(hitEnd, to - hitEnd));
    if (to < text.size() && text[to] != '\n' && text[to] != '\r') out += cut;
    return out;
}

}  // namespace quillon
