#include "core/downloader/html_page_parser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/downloader/link_resolver.h"
#include "core/text/byte_string.h"

namespace quillon {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Index of the first `c` at or after `from`, or the text's size.
size_t FindByte(const std::string& s, char c, size_t from) {
    if (from >= s.size()) return s.size();
    const void* hit = std::memchr(s.data() + from, c, s.size() - from);
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - s.data()) : s.size();
}

// Index of the last `c` in s[from, to), or npos.
size_t FindLastByte(const char* s, size_t from, size_t to, char c) {
    if (to <= from) return std::string::npos;
    const void* hit = memrchr(s + from, c, to - from);
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - s) : std::string::npos;
}

// What a tag name means to the conversion. The open and close tag of
// removed element e are kFirstElementTag + 2e and + 2e + 1.
enum : unsigned char {
    kOtherTag = 0,
    kBodyTag,
    kAnchorEndTag,
    kLineBreakTag,
    kFirstElementTag,
    // RemoveElements with names of its caller's choosing.
    kNamedOpenTag = 250,
    kNamedCloseTag,
};

constexpr unsigned char OpenKind(size_t element) {
    return static_cast<unsigned char>(kFirstElementTag + 2 * element);
}
constexpr unsigned char CloseKind(size_t element) {
    return static_cast<unsigned char>(OpenKind(element) + 1);
}

// A name of up to 16 bytes as two words, zero-padded, so that a tag name
// is matched against the known ones with plain integer compares.
struct PackedName {
    uint64_t low = 0, high = 0;
    bool operator==(const PackedName&) const = default;
};
constexpr size_t kLongestKnownName = sizeof(PackedName);

PackedName Pack(const char* bytes, size_t length) {
    char padded[kLongestKnownName] = {};
    for (size_t i = 0; i < length; ++i) padded[i] = AsciiLower(bytes[i]);
    PackedName p;
    std::memcpy(&p.low, padded, sizeof p.low);
    std::memcpy(&p.high, padded + sizeof p.low, sizeof p.high);
    return p;
}

struct KnownName {
    PackedName name;
    unsigned char kind;
};

// The names the conversion acts on, by length, built from the two tables.
const std::array<std::vector<KnownName>, kLongestKnownName + 1>& KnownNames() {
    static const auto table = [] {
        std::array<std::vector<KnownName>, kLongestKnownName + 1> t;
        auto add = [&t](std::string_view name, unsigned char kind) {
            t.at(name.size()).push_back({Pack(name.data(), name.size()), kind});
        };
        add("body", kBodyTag);
        add("/a", kAnchorEndTag);
        for (std::string_view name : kLineBreakTags) add(name, kLineBreakTag);
        for (size_t e = 0; e < kRemovedElements.size(); ++e) {
            add(kRemovedElements[e].first, OpenKind(e));
            add(kRemovedElements[e].second, CloseKind(e));
        }
        return t;
    }();
    return table;
}

// The kind of the name NextTag would return (ASCII lower-cased).
unsigned char KindOf(const char* name, size_t length) {
    const auto& known = KnownNames();
    if (length == 0 || length > kLongestKnownName || known[length].empty()) return kOtherTag;
    const PackedName packed = Pack(name, length);
    for (const KnownName& k : known[length]) {
        if (k.name == packed) return k.kind;
    }
    return kOtherTag;
}

enum class NameSearch { kNotFound, kFound, kTextEnded };

// The scan inside an element steps from one tag name to the next '<', not
// to the end of the tag, so it also reads "names" after a '<' within a tag
// (in a quoted attribute, say). Looks for `name` that way in text[from,
// limit), the part of one tag behind its own name; kTextEnded when a '<'
// there has only blanks after it up to the end of the text.
NameSearch FindNameWithin(const std::string& text, size_t from, size_t limit,
                          std::string_view name) {
    const char* s = text.data();
    const size_t n = text.size();
    size_t p = from;
    while (p < limit) {
        const void* hit = std::memchr(s + p, '<', limit - p);
        if (hit == nullptr) return NameSearch::kNotFound;
        size_t q = static_cast<size_t>(static_cast<const char*>(hit) - s) + 1;
        while (q < n && IsBlank(s[q])) ++q;
        if (q >= n) return NameSearch::kTextEnded;
        size_t e = q;
        while (e < n && !IsBlank(s[e]) && s[e] != '>') ++e;
        if (EqualsIgnoreCase(std::string_view(s + q, e - q), name)) return NameSearch::kFound;
        p = e;
    }
    return NameSearch::kNotFound;
}

bool HasNonBlank(const char* s, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (!IsBlank(s[i])) return true;
    }
    return false;
}

// Replaces every "&nbsp;" by a space, left to right, in place.
void ReplaceNbsp(std::string& s) {
    static constexpr std::string_view kNbsp = "&nbsp;";
    size_t r = s.find(kNbsp);
    if (r == std::string::npos) return;
    size_t w = r;
    while (r < s.size()) {
        if (s.compare(r, kNbsp.size(), kNbsp) == 0) {
            s[w++] = ' ';
            r += kNbsp.size();
            continue;
        }
        size_t next = FindByte(s, '&', r + 1);
        std::memmove(s.data() + w, s.data() + r, next - r);
        w += next - r;
        r = next;
    }
    s.resize(w);
}

}  // namespace

void HtmlPageParser::SetText(std::string text) {
    text_ = std::move(text);
    position_ = 0;
}

int HtmlPageParser::NextTag(std::string& name) {
    const size_t n = text_.size();
    while (position_ < n && IsBlank(text_[position_])) ++position_;
    if (position_ >= n) return kEnd;
    if (text_[position_] != '<') return kText;
    ++position_;
    while (position_ < n && IsBlank(text_[position_])) ++position_;
    if (position_ >= n) return kEnd;
    size_t start = position_;
    while (position_ < n && !IsBlank(text_[position_]) && text_[position_] != '>') ++position_;
    name.assign(text_, start, position_ - start);
    for (char& c : name) c = AsciiLower(c);
    return kTag;
}

void HtmlPageParser::SkipText() { position_ = FindByte(text_, '<', position_); }

void HtmlPageParser::SkipTagRest() {
    size_t gt = FindByte(text_, '>', position_);
    position_ = gt < text_.size() ? gt + 1 : gt;
}

void HtmlPageParser::RemoveComments(std::string& text) {
    // The rule cuts a piece and searches the edited text again from its
    // start. Done literally, every cut moves the whole rest of the page; here
    // the edited text is kept as text[0, o) followed by text[i..], o <= i,
    // so each kept byte moves once. Searching the text itself equals
    // searching a lower-cased copy: none of the markers contains a letter.
    if (text.find("!--") == std::string::npos) return;
    char* s = text.data();
    const size_t n = text.size();
    size_t o = 0, i = 0;
    for (;;) {
        // A cut can join "!-" or "!" of the kept bytes with "-" or "--" of
        // the rest into a new marker; that one comes first.
        size_t markInKept = std::string::npos;  // index in the kept bytes when it starts there
        size_t mark = std::string::npos;        // index in the rest otherwise
        if (o >= 2 && s[o - 2] == '!' && s[o - 1] == '-' && i < n && s[i] == '-') {
            markInKept = o - 2;
        } else if (o >= 1 && s[o - 1] == '!' && i + 1 < n && s[i] == '-' && s[i + 1] == '-') {
            markInKept = o - 1;
        } else {
            mark = text.find("!--", i);
            if (mark == std::string::npos) break;
        }
        // The nearest '<' before the marker, first in the rest, then in the
        // kept bytes; the text's start when there is none.
        bool startInKept = true;
        size_t start = 0;
        if (markInKept == std::string::npos) {
            size_t lt = FindLastByte(s, i, mark, '<');
            if (lt != std::string::npos) {
                startInKept = false;
                start = lt;
            }
        }
        if (startInKept) {
            size_t lt = FindLastByte(s, 0, markInKept == std::string::npos ? o : markInKept, '<');
            start = lt == std::string::npos ? 0 : lt;
        }
        // "--" from the byte after the marker: always in the rest.
        size_t afterMark = markInKept == std::string::npos ? mark + 3 : i + (3 - (o - markInKept));
        size_t dashes = text.find("--", afterMark);
        if (dashes == std::string::npos) break;
        size_t end = FindByte(text, '>', dashes + 2);
        if (startInKept) {
            o = start;
        } else {
            std::memmove(s + o, s + i, start - i);
            o += start - i;
        }
        i = end < n ? end + 1 : end;
    }
    std::memmove(s + o, s + i, n - i);
    text.resize(o + n - i);
}

void HtmlPageParser::ScanTags(const std::string& text, std::vector<ScannedTag>& tags) {
    // The steps of NextTag, SkipText and SkipTagRest from position 0: each
    // tag begins at the first '<' after the '>' of the one before, when
    // something other than blanks follows that '<'.
    tags.clear();
    const char* s = text.data();
    const size_t n = text.size();
    size_t p = 0;
    while (p < n) {
        const void* hit = std::memchr(s + p, '<', n - p);
        if (hit == nullptr) break;
        ScannedTag tag;
        tag.lt = static_cast<size_t>(static_cast<const char*>(hit) - s);
        size_t q = tag.lt + 1;
        while (q < n && IsBlank(s[q])) ++q;
        if (q >= n) break;
        tag.nameStart = q;
        while (q < n && !IsBlank(s[q]) && s[q] != '>') ++q;
        tag.nameEnd = q;
        size_t gt = FindByte(text, '>', q);
        tag.end = gt < n ? gt + 1 : n;
        tag.kind = KindOf(s + tag.nameStart, tag.nameEnd - tag.nameStart);
        tags.push_back(tag);
        p = tag.end;
    }
}

void HtmlPageParser::CutElements(const std::string& text, std::vector<ScannedTag>& tags,
                                 unsigned char openKind, unsigned char closeKind,
                                 std::string_view closeName) {
    // A cut runs from an opening tag's '<' to the '>' that ends the closing
    // tag; that '>' always ends a whole tag of the scan (the closing tag
    // itself, or the tag whose inside held it), so a cut takes away a run
    // of whole tags and the text between them. The scan then goes on with
    // the first tag after the cut, as it would on the edited text.
    const size_t count = tags.size();
    for (size_t i = 0; i < count; ++i) {
        if (!tags[i].alive || tags[i].kind != openKind) continue;
        size_t closeAt = count;
        for (size_t j = i + 1; j < count; ++j) {
            const ScannedTag& tag = tags[j];
            if (!tag.alive) continue;
            if (tag.kind == closeKind) {
                closeAt = j;
                break;
            }
            NameSearch found = FindNameWithin(text, tag.nameEnd, tag.end, closeName);
            if (found == NameSearch::kTextEnded) return;
            if (found == NameSearch::kFound) {
                closeAt = j;
                break;
            }
        }
        // An element left open ends the pass.
        if (closeAt == count) return;
        for (size_t k = i; k <= closeAt; ++k) {
            tags[k].alive = false;
            if (k < closeAt) tags[k].gapKept = false;
        }
        i = closeAt;
    }
}

void HtmlPageParser::RemoveElements(std::string& text, std::string_view openName,
                                    std::string_view closeName) {
    if (text.find('<') == std::string::npos) return;
    std::vector<ScannedTag> tags;
    ScanTags(text, tags);
    const bool sameNames = EqualsIgnoreCase(openName, closeName);
    for (ScannedTag& tag : tags) {
        std::string_view name(text.data() + tag.nameStart, tag.nameEnd - tag.nameStart);
        tag.kind = EqualsIgnoreCase(name, openName)                  ? kNamedOpenTag
                   : !sameNames && EqualsIgnoreCase(name, closeName) ? kNamedCloseTag
                                                                     : kOtherTag;
    }
    CutElements(text, tags, kNamedOpenTag, sameNames ? kNamedOpenTag : kNamedCloseTag, closeName);
    if (std::all_of(tags.begin(), tags.end(), [](const ScannedTag& t) { return t.alive; })) return;

    // Keep the tags and gaps no cut took, moving them left in place.
    char* s = text.data();
    const size_t n = text.size();
    size_t w = tags.front().lt;  // the text before the first tag stays where it is
    auto keep = [&](size_t from, size_t to) {
        std::memmove(s + w, s + from, to - from);
        w += to - from;
    };
    for (size_t k = 0; k < tags.size(); ++k) {
        if (tags[k].alive) keep(tags[k].lt, tags[k].end);
        if (tags[k].gapKept) keep(tags[k].end, k + 1 < tags.size() ? tags[k + 1].lt : n);
    }
    text.resize(w);
}

std::string HtmlPageParser::HtmlToText(std::string& page) {
    ConvertPageCharset(page);
    RemoveComments(page);
    baseSite_.clear();
    text_.clear();
    position_ = 0;

    // One scan finds every tag; the element passes then only mark tags and
    // the text between them as cut, and the result is gathered from what
    // is left, so the page is neither rescanned nor edited again.
    ScanTags(page, tags_);
    unsigned present = 0;
    for (const ScannedTag& tag : tags_) {
        if (tag.kind >= kFirstElementTag && tag.kind < OpenKind(kRemovedElements.size()))
            present |= 1u << ((tag.kind - kFirstElementTag) / 2);
    }
    for (size_t e = 0; e < kRemovedElements.size(); ++e) {
        if (present & (1u << e))
            CutElements(page, tags_, OpenKind(e), CloseKind(e), kRemovedElements[e].second);
    }

    const size_t count = tags_.size();
    size_t body = 0;
    while (body < count && !(tags_[body].alive && tags_[body].kind == kBodyTag)) ++body;
    if (body == count) return std::string();

    // Between two tags that are left, the text left there (the gaps behind
    // cut elements joined) is taken whole unless it is only blanks; the text
    // after the last tag is taken whole.
    const char* s = page.data();
    std::string out;
    out.reserve(page.size() - tags_[body].end);
    size_t runStart = 0;
    bool runHasText = false;
    auto addGap = [&](size_t k) {
        const size_t from = tags_[k].end;
        const size_t to = k + 1 < count ? tags_[k + 1].lt : page.size();
        if (from >= to) return;
        if (!runHasText) runHasText = HasNonBlank(s + from, to - from);
        out.append(s + from, to - from);
    };
    addGap(body);
    for (size_t k = body + 1; k < count; ++k) {
        const ScannedTag& tag = tags_[k];
        if (tag.alive) {
            if (!runHasText) out.resize(runStart);
            if (tag.kind == kAnchorEndTag) {
                out.push_back(' ');
            } else if (tag.kind == kLineBreakTag) {
                out.append("\r\n");
            }
            runStart = out.size();
            runHasText = false;
        }
        if (tag.gapKept) addGap(k);
    }
    ReplaceNbsp(out);
    return out;
}

long long HtmlPageParser::FindAnchorEnd() {
    std::string name;
    for (;;) {
        size_t r = position_;
        int kind = NextTag(name);
        if (kind == kEnd) return -1;
        if (kind == kText) {
            SkipText();
            continue;
        }
        SkipTagRest();
        if (name == "/a") return static_cast<long long>(r);
    }
}

void HtmlPageParser::ExtractLinks(std::string& page, std::string_view pageUrl, LinkList& out) {
    ConvertPageCharset(page);

    std::string site(pageUrl);
    size_t baseAt = FindAsciiFolded(page, "<base");
    if (baseAt != std::string::npos) {
        size_t gt = page.find('>', baseAt);
        if (gt != std::string::npos && gt > 0) {
            std::string_view tag = std::string_view(page).substr(baseAt, gt - baseAt + 1);
            // The earlier of "http://" and "https://" names the base host; the
            // host ends at the first '/' behind its first byte.
            size_t http = FindAsciiFolded(tag, "http://");
            size_t https = FindAsciiFolded(tag, "https://");
            size_t d = std::min(http, https);
            if (d != std::string_view::npos && d > 0) {
                size_t schemeLength = (d == https) ? 8 : 7;
                size_t g = tag.find('/', d + schemeLength + 1);
                if (g != std::string_view::npos && g > 0) site.assign(tag.substr(d, g - d));
            }
        }
    }

    SetText(std::move(page));
    baseSite_ = site;
    std::string name;
    std::string href;
    TagAttributes attributes;
    for (;;) {
        int r = NextTag(name);
        if (r == kEnd) break;
        if (r == kText) {
            SkipText();
            continue;
        }
        if (name != "a") {
            SkipTagRest();
            continue;
        }
        size_t g = position_;
        SkipTagRest();
        size_t h = position_;
        attributes.Parse(std::string_view(text_).substr(g, h - g));
        attributes.Get("href", href);
        std::string url;
        ResolveLink(href, baseSite_, url);
        size_t l = position_;
        long long m = FindAnchorEnd();
        if (m > 1) {
            out.push_back({std::move(url), text_.substr(l, static_cast<size_t>(m) - l)});
        } else if (m == -1) {
            break;
        }
    }
    page = std::move(text_);
    text_.clear();
    position_ = 0;
}

}  // namespace quillon
