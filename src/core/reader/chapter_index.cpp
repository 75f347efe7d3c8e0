#include "core/reader/chapter_index.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <cstring>

#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_codec.h"

namespace quillon {

namespace {

// The pre-filter keeps one bit per rule; rules beyond it are refused.
constexpr size_t kMaxRules = 64;
// More alternatives than this and a rule's beginnings are not worth
// listing: it is tried on every short line instead.
constexpr size_t kMaxPrefixes = 256;
constexpr size_t kMaxClassMembers = 32;

// ---- UTF-8 <-> code points, for reading the patterns ----

std::u32string DecodeUtf8(std::string_view s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        for (size_t k = 1; k < len && i + k < s.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(cp);
        i += len;
    }
    return out;
}

std::string EncodeUtf8(std::u32string_view s) {
    std::string out;
    for (char32_t cp : s) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

bool IsAsciiAlnum(char32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// ---- What a pattern's matches must begin with ----
//
// Reads an anchored pattern atom by atom while every atom is a literal, a
// small class or a group of literal alternatives, and collects the texts a
// match must start with. Whatever it does not understand ends the reading
// (never the rule): the texts collected so far are still true beginnings.
// An empty result means "any line".

using Alternatives = std::vector<std::u32string>;

class PrefixReader final {
public:
    explicit PrefixReader(std::u32string pattern) : p_(std::move(pattern)) {}

    std::vector<std::u32string> Read() {
        if (p_.empty() || p_[0] != '^' || HasTopLevelBar()) return {};
        size_t i = 1;
        // Lines are trimmed, so a leading \s* always matches nothing.
        if (p_.compare(i, 3, U"\\s*") == 0) i += 3;
        std::vector<std::u32string> prefixes{U""};
        while (i < p_.size()) {
            Alternatives alts;
            size_t j = i;
            if (!ReadAtom(j, alts) || alts.empty()) break;
            bool last = false;
            if (j < p_.size()) {
                const char32_t q = p_[j];
                if (q == '*' || q == '?') break;
                if (q == '{') {
                    if (j + 1 >= p_.size() || p_[j + 1] < '1' || p_[j + 1] > '9') break;
                    last = true;
                } else if (q == '+') {
                    last = true;
                }
            }
            if (prefixes.size() * alts.size() > kMaxPrefixes) break;
            std::vector<std::u32string> next;
            for (const auto& head : prefixes)
                for (const auto& tail : alts) next.push_back(head + tail);
            prefixes.swap(next);
            if (last) break;
            i = j;
        }
        for (const auto& prefix : prefixes)
            if (prefix.empty()) return {};
        return prefixes;
    }

private:
    bool HasTopLevelBar() const {
        int depth = 0;
        bool inClass = false;
        for (size_t i = 0; i < p_.size(); ++i) {
            const char32_t c = p_[i];
            if (c == '\\') {
                ++i;
            } else if (inClass) {
                if (c == ']') inClass = false;
            } else if (c == '[') {
                inClass = true;
                if (i + 1 < p_.size() && p_[i + 1] == ']') ++i;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')') {
                --depth;
            } else if (c == '|' && depth <= 0) {
                return true;
            }
        }
        return false;
    }

    // An escaped character: \d gives the ten digits; any other letter or
    // digit escape is a class or assertion this reader does not follow.
    bool ReadEscape(size_t& i, Alternatives& out) const {
        if (i + 1 >= p_.size()) return false;
        const char32_t c = p_[i + 1];
        i += 2;
        if (c == 'd') {
            for (char32_t d = '0'; d <= '9'; ++d) out.push_back(std::u32string(1, d));
            return true;
        }
        if (IsAsciiAlnum(c)) return false;
        out.push_back(std::u32string(1, c));
        return true;
    }

    bool ReadClass(size_t& i, Alternatives& out) const {
        ++i;  // '['
        if (i >= p_.size() || p_[i] == '^' || p_[i] == ']') return false;
        std::vector<char32_t> members;
        while (i < p_.size() && p_[i] != ']') {
            char32_t first = p_[i];
            if (first == '[') return false;  // [:alpha:] and the like
            if (first == '\\') {
                Alternatives escaped;
                if (!ReadEscape(i, escaped)) return false;
                if (escaped.size() != 1) {
                    for (const auto& e : escaped) members.push_back(e[0]);
                    continue;
                }
                first = escaped[0][0];
            } else {
                ++i;
            }
            if (i + 1 < p_.size() && p_[i] == '-' && p_[i + 1] != ']') {
                const char32_t last = p_[i + 1];
                if (last == '\\' || last == '[' || last < first) return false;
                if (last - first >= kMaxClassMembers) return false;
                for (char32_t c = first; c <= last; ++c) members.push_back(c);
                i += 2;
            } else {
                members.push_back(first);
            }
            if (members.size() > kMaxClassMembers) return false;
        }
        if (i >= p_.size()) return false;
        ++i;  // ']'
        std::sort(members.begin(), members.end());
        members.erase(std::unique(members.begin(), members.end()), members.end());
        for (char32_t c : members) out.push_back(std::u32string(1, c));
        return true;
    }

    // (a|bc|def) or (?:...) of plain characters only.
    bool ReadGroup(size_t& i, Alternatives& out) const {
        ++i;  // '('
        if (i < p_.size() && p_[i] == '?') {
            if (i + 1 >= p_.size() || p_[i + 1] != ':') return false;
            i += 2;
        }
        std::u32string current;
        while (i < p_.size()) {
            const char32_t c = p_[i];
            if (c == ')') {
                out.push_back(current);
                ++i;
                return true;
            }
            if (c == '|') {
                out.push_back(current);
                current.clear();
                ++i;
                continue;
            }
            if (c == '\\') {
                Alternatives escaped;
                if (!ReadEscape(i, escaped) || escaped.size() != 1) return false;
                current += escaped[0];
                continue;
            }
            if (std::u32string_view(U"()[].*+?{}^$").find(c) != std::u32string_view::npos)
                return false;
            current += c;
            ++i;
        }
        return false;
    }

    bool ReadAtom(size_t& i, Alternatives& out) const {
        const char32_t c = p_[i];
        if (c == '\\') return ReadEscape(i, out);
        if (c == '[') return ReadClass(i, out);
        if (c == '(') return ReadGroup(i, out);
        if (std::u32string_view(U").*+?{}^$|").find(c) != std::u32string_view::npos) return false;
        out.push_back(std::u32string(1, c));
        ++i;
        return true;
    }

    std::u32string p_;
};

bool IsGbkSpaceAt(std::string_view s, size_t i) {
    return i + 1 < s.size() && static_cast<unsigned char>(s[i]) == 0xA1 &&
           static_cast<unsigned char>(s[i + 1]) == 0xA1;
}

}  // namespace

// ---- Rules ----

struct ChapterRules::Rule {
    std::string pattern;
    pcre2_code* code = nullptr;
    // GBK texts a matching line starts with; empty: any line.
    std::vector<std::string> prefixes;

    ~Rule() { pcre2_code_free(code); }
};

ChapterRules::ChapterRules() = default;
ChapterRules::~ChapterRules() = default;
ChapterRules::ChapterRules(ChapterRules&&) noexcept = default;
ChapterRules& ChapterRules::operator=(ChapterRules&&) noexcept = default;

size_t ChapterRules::size() const { return rules_.size(); }

ChapterRules ChapterRules::Parse(std::string_view fileText) {
    const std::string utf8 = IsValidUtf8(fileText) ? std::string(fileText) : GbkToUtf8(fileText);
    ChapterRules rules;
    size_t start = 0;
    while (start < utf8.size()) {
        size_t end = utf8.find('\n', start);
        if (end == std::string::npos) end = utf8.size();
        std::string_view line = TrimAscii(std::string_view(utf8).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#') continue;
        if (rules.rules_.size() == kMaxRules) {
            rules.invalid_.push_back(std::string(line) + ": " +
                                     Format("more than %zu rules", kMaxRules));
            continue;
        }
        int error = 0;
        PCRE2_SIZE at = 0;
        pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(line.data()), line.size(),
                                         PCRE2_UTF, &error, &at, nullptr);
        if (!code) {
            PCRE2_UCHAR message[256];
            pcre2_get_error_message(error, message, sizeof message);
            rules.invalid_.push_back(std::string(line) + ": " + reinterpret_cast<char*>(message));
            continue;
        }
        // Without JIT (some platforms) the interpreter gives the same matches.
        pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
        auto rule = std::make_unique<Rule>();
        rule->pattern = std::string(line);
        rule->code = code;
        for (const std::u32string& prefix : PrefixReader(DecodeUtf8(line)).Read()) {
            const std::string utf8Prefix = EncodeUtf8(prefix);
            const std::string gbk = Utf8ToGbk(utf8Prefix);
            // A beginning without a GBK form cannot be tested on the book's
            // bytes: the rule is then tried on every line.
            if (GbkToUtf8(gbk) != utf8Prefix) {
                rule->prefixes.clear();
                break;
            }
            rule->prefixes.push_back(gbk);
        }
        rules.rules_.push_back(std::move(rule));
    }
    return rules;
}

std::string ChapterRulesPath() { return GetProgramFolder() + "data/chapter_rules.txt"; }

ChapterRules LoadChapterRules() {
    std::string text;
    if (!ReadWholeFile(ChapterRulesPath(), text)) return {};
    return ChapterRules::Parse(text);
}

// ---- The scan ----

class ChapterScanner final {
public:
    ChapterScanner(const ChapterRules& rules, bool tryEveryLine)
        : rules_(rules), converter_("CP936", "UTF-8", kUtf8Replacement) {
        match_ = pcre2_match_data_create(1, nullptr);
        for (size_t r = 0; r < rules.rules_.size(); ++r) {
            const uint64_t bit = uint64_t{1} << r;
            const auto& prefixes = rules.rules_[r]->prefixes;
            if (tryEveryLine || prefixes.empty()) {
                for (uint64_t& m : firstByte_) m |= bit;
                everyLine_ |= bit;
            } else {
                for (const std::string& p : prefixes)
                    firstByte_[static_cast<unsigned char>(p[0])] |= bit;
            }
        }
    }
    ~ChapterScanner() { pcre2_match_data_free(match_); }

    // The heading title of bytes [s, e) of `text`, or false.
    bool Test(std::string_view text, size_t s, size_t e, std::string& title) {
        while (s < e) {
            if (IsAsciiSpace(static_cast<unsigned char>(text[s]))) {
                ++s;
            } else if (IsGbkSpaceAt(text, s) && s + 1 < e) {
                s += 2;
            } else {
                break;
            }
        }
        while (e > s && IsAsciiSpace(static_cast<unsigned char>(text[e - 1]))) --e;
        if (s == e) return false;
        uint64_t mask = firstByte_[static_cast<unsigned char>(text[s])];
        if (!mask) return false;
        const std::string_view line = text.substr(s, e - s);
        uint64_t candidates = mask & everyLine_;
        for (uint64_t rest = mask & ~everyLine_; rest; rest &= rest - 1) {
            const int r = __builtin_ctzll(rest);
            for (const std::string& p : rules_.rules_[static_cast<size_t>(r)]->prefixes) {
                if (line.size() >= p.size() && std::memcmp(line.data(), p.data(), p.size()) == 0) {
                    candidates |= uint64_t{1} << r;
                    break;
                }
            }
        }
        if (!candidates) return false;
        // Walk the characters: count them and drop blanks at the end (a
        // trail byte can look like half a full-width blank, so only a
        // forward walk knows where the last character ends).
        size_t keep = 0;
        size_t chars = 0;
        for (size_t i = 0; i < line.size();) {
            ++chars;
            if (IsGbkSpaceAt(line, i)) {
                i += 2;
                continue;
            }
            const auto c = static_cast<unsigned char>(line[i]);
            i += IsGbkLead(c) && i + 1 < line.size() ? 2 : 1;
            if (IsAsciiSpace(c)) continue;
            keep = i;
            if (chars > static_cast<size_t>(kMaxHeadingChars)) return false;
        }
        const std::string_view trimmed = line.substr(0, keep);
        converter_.Convert(trimmed, utf8_);
        for (; candidates; candidates &= candidates - 1) {
            const int r = __builtin_ctzll(candidates);
            const int rc = pcre2_match(rules_.rules_[static_cast<size_t>(r)]->code,
                                       reinterpret_cast<PCRE2_SPTR>(utf8_.data()), utf8_.size(), 0,
                                       0, match_, nullptr);
            if (rc >= 0) {
                title.assign(trimmed);
                return true;
            }
        }
        return false;
    }

private:
    const ChapterRules& rules_;
    CharsetConverter converter_;
    pcre2_match_data* match_ = nullptr;
    uint64_t firstByte_[256] = {};
    uint64_t everyLine_ = 0;
    std::string utf8_;
};

std::vector<Chapter> FindChapters(std::string_view text, const ChapterRules& rules,
                                  const FindChaptersOptions& options) {
    std::vector<Chapter> chapters;
    if (rules.empty() || text.empty()) return chapters;
    ChapterScanner scanner(rules, options.tryEveryLine);
    const char* data = text.data();
    const size_t n = text.size();
    std::string title;
    unsigned lines = 0;
    for (size_t start = 0; start < n;) {
        const auto* nl = static_cast<const char*>(std::memchr(data + start, '\n', n - start));
        const size_t end = nl ? static_cast<size_t>(nl - data) : n;
        if (scanner.Test(text, start, end, title))
            chapters.push_back({static_cast<int32_t>(start), title});
        start = end + 1;
        if ((++lines & 0xFFF) == 0 && options.cancel &&
            options.cancel->load(std::memory_order_relaxed))
            break;
    }
    return chapters;
}

int CurrentChapter(const std::vector<Chapter>& chapters, int64_t offset) {
    auto it = std::upper_bound(chapters.begin(), chapters.end(), offset,
                               [](int64_t o, const Chapter& c) { return o < c.offset; });
    return static_cast<int>(it - chapters.begin()) - 1;
}

// ---- In the background ----

void ChapterSearch::Start(std::string_view text, ChapterRules rules,
                          std::function<void(std::vector<Chapter>)> done) {
    Launch([text](const std::atomic<bool>&) { return text; }, std::move(rules), std::move(done));
}

void ChapterSearch::Start(std::shared_ptr<const BookText> book, ChapterRules rules,
                          std::function<void(std::vector<Chapter>)> done) {
    Launch(
        [book = std::move(book)](const std::atomic<bool>& cancel) { return book->Whole(&cancel); },
        std::move(rules), std::move(done));
}

void ChapterSearch::Launch(std::function<std::string_view(const std::atomic<bool>&)> text,
                           ChapterRules rules, std::function<void(std::vector<Chapter>)> done) {
    Cancel();
    cancel_ = false;
    thread_ = std::thread(
        [this, text = std::move(text), rules = std::move(rules), done = std::move(done)] {
            const std::string_view whole = text(cancel_);
            if (cancel_) return;
            FindChaptersOptions options;
            options.cancel = &cancel_;
            std::vector<Chapter> chapters = FindChapters(whole, rules, options);
            if (!cancel_) done(std::move(chapters));
        });
}

void ChapterSearch::Cancel() {
    cancel_ = true;
    if (thread_.joinable()) thread_.join();
}

}  // namespace quillon
