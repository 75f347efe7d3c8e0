#include "core/downloader/html_page_parser.h"

#include <algorithm>
#include <cstring>

#include "core/downloader/link_resolver.h"
#include "core/text/byte_string.h"

namespace quillon {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsLineBreakTag(std::string_view name) {
    return std::find(kLineBreakTags.begin(), kLineBreakTags.end(), name) != kLineBreakTags.end();
}

// Index of the first '<' at or after `from`, or the text's size.
size_t FindByte(const std::string& s, char c, size_t from) {
    if (from >= s.size()) return s.size();
    const void* hit = std::memchr(s.data() + from, c, s.size() - from);
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - s.data()) : s.size();
}

// First occurrence of the lower-case ASCII `needle` in `hay` at or after
// `from`, comparing the letters of `hay` folded to lower case byte by byte
// (a trail byte that looks like a capital folds too, as a byte-wise lowered
// copy would).
size_t FindFolded(std::string_view hay, std::string_view needle, size_t from = 0) {
    if (needle.empty() || hay.size() < needle.size()) return std::string_view::npos;
    const char first = needle[0];
    const char firstUpper = (first >= 'a' && first <= 'z') ? static_cast<char>(first - 32) : first;
    for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
        char c = hay[i];
        if (c != first && c != firstUpper) continue;
        size_t k = 1;
        while (k < needle.size() && AsciiLower(hay[i + k]) == needle[k]) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

// True when some '<' is followed by blanks and then `name` (ASCII case
// ignored) ending at a blank, '>' or the end: the only way NextTag can return
// that name.
bool MayHoldTag(const std::string& text, std::string_view name) {
    const size_t n = text.size();
    for (size_t lt = FindByte(text, '<', 0); lt < n; lt = FindByte(text, '<', lt + 1)) {
        size_t p = lt + 1;
        while (p < n && IsBlank(text[p])) ++p;
        if (n - p < name.size()) continue;
        size_t k = 0;
        while (k < name.size() && AsciiLower(text[p + k]) == name[k]) ++k;
        if (k < name.size()) continue;
        size_t after = p + k;
        if (after == n || IsBlank(text[after]) || text[after] == '>') return true;
    }
    return false;
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
    // the kept bytes are gathered in `out` instead, and the edited text is
    // `out` followed by text[i..]. Searching the text itself equals searching
    // a lower-cased copy: none of the markers contains a letter.
    if (text.find("!--") == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    for (;;) {
        // A cut can join "!-" or "!" of the kept bytes with "-" or "--" of
        // the rest into a new marker; that one comes first.
        size_t markInOut = std::string::npos;  // index in out when it starts there
        size_t mark = std::string::npos;       // index in text otherwise
        const size_t o = out.size();
        if (o >= 2 && out[o - 2] == '!' && out[o - 1] == '-' && i < text.size() && text[i] == '-') {
            markInOut = o - 2;
        } else if (o >= 1 && out[o - 1] == '!' && text.compare(i, 2, "--") == 0) {
            markInOut = o - 1;
        } else {
            mark = text.find("!--", i);
            if (mark == std::string::npos) break;
        }
        // The nearest '<' before the marker, first in the rest, then in out.
        bool startInOut = true;
        size_t start = 0;
        if (markInOut == std::string::npos) {
            size_t lt = mark > i ? text.rfind('<', mark - 1) : std::string::npos;
            if (lt != std::string::npos && lt >= i) {
                startInOut = false;
                start = lt;
            }
        }
        if (startInOut) {
            size_t before = markInOut == std::string::npos ? o : markInOut;
            size_t lt = before > 0 ? out.rfind('<', before - 1) : std::string::npos;
            start = lt == std::string::npos ? 0 : lt;
        }
        // "--" from the byte after the marker: always in the rest.
        size_t afterMark = markInOut == std::string::npos ? mark + 3 : i + (3 - (o - markInOut));
        size_t dashes = text.find("--", afterMark);
        if (dashes == std::string::npos) break;
        size_t end = FindByte(text, '>', dashes + 2);
        if (startInOut) {
            out.resize(start);
        } else {
            out.append(text, i, start - i);
        }
        i = end < text.size() ? end + 1 : end;
    }
    out.append(text, i, std::string::npos);
    text.swap(out);
}

void HtmlPageParser::RemoveElements(std::string& text, std::string_view openName,
                                    std::string_view closeName) {
    // Most chapter pages lack most of the five elements; a page without any
    // '<' + blanks + the name cannot have one, and that is cheap to see.
    if (!MayHoldTag(text, openName)) return;
    HtmlPageParser scanner;
    scanner.SetText(std::move(text));
    std::string name;
    for (;;) {
        int r = scanner.NextTag(name);
        if (r == kEnd) break;
        if (r == kText) {
            scanner.SkipText();
            continue;
        }
        if (!EqualsIgnoreCase(name, openName)) {
            scanner.SkipTagRest();
            continue;
        }
        const size_t afterOpenName = scanner.position_;
        scanner.SkipTagRest();
        bool closed = false;
        for (;;) {
            scanner.SkipText();
            r = scanner.NextTag(name);
            if (r == kEnd) break;
            if (r == kTag && EqualsIgnoreCase(name, closeName)) {
                closed = true;
                break;
            }
        }
        if (!closed) break;
        std::string& t = scanner.text_;
        size_t start = t.rfind('<', afterOpenName);
        if (start == std::string::npos) start = 0;
        size_t end = FindByte(t, '>', scanner.position_);
        size_t cutEnd = end < t.size() ? end + 1 : end;
        t.erase(start, cutEnd - start);
        // Everything before the cut scans exactly as before (each step there
        // looked no further than the opening '<'), so rescanning from the
        // start would only arrive here again.
        scanner.position_ = start;
    }
    text = std::move(scanner.text_);
}

std::string HtmlPageParser::HtmlToText(std::string& page) {
    ConvertPageCharset(page);
    RemoveComments(page);
    for (const auto& [open, close] : kRemovedElements) RemoveElements(page, open, close);

    // The scanner works on the page's own buffer and hands it back at the
    // end, so a 200 KB chapter is not copied again.
    SetText(std::move(page));
    baseSite_.clear();
    std::string name;
    for (;;) {
        int r = NextTag(name);
        if (r == kEnd) {
            position_ = text_.size();
            break;
        }
        if (r == kText) {
            SkipText();
        } else if (name == "body") {
            SkipTagRest();
            break;
        } else {
            SkipTagRest();
        }
    }

    std::string out;
    out.reserve(text_.size() - position_);
    for (;;) {
        size_t f = position_;
        int r = NextTag(name);
        if (r == kEnd) {
            out.append(text_, f, std::string::npos);
            break;
        }
        if (r == kText) {
            SkipText();
            out.append(text_, f, position_ - f);
            continue;
        }
        if (name == "/a") {
            out.push_back(' ');
        } else if (IsLineBreakTag(name)) {
            out.append("\r\n");
        }
        SkipTagRest();
    }
    page = std::move(text_);
    text_.clear();
    position_ = 0;

    if (out.find("&nbsp;") == std::string::npos) return out;
    return ReplaceAll(out, "&nbsp;", " ");
}

int HtmlPageParser::FindAnchorEnd() {
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
        if (name == "/a") return static_cast<int>(r);
    }
}

void HtmlPageParser::ExtractLinks(std::string& page, std::string_view pageUrl, LinkList& out) {
    ConvertPageCharset(page);

    std::string site(pageUrl);
    size_t baseAt = FindFolded(page, "<base");
    if (baseAt != std::string::npos) {
        size_t gt = page.find('>', baseAt);
        if (gt != std::string::npos && gt > 0) {
            std::string_view tag = std::string_view(page).substr(baseAt, gt - baseAt + 1);
            // The earlier of "http://" and "https://" names the base host; the
            // host ends at the first '/' behind its first byte.
            size_t http = FindFolded(tag, "http://");
            size_t https = FindFolded(tag, "https://");
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
        int m = FindAnchorEnd();
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
