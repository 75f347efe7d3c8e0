#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/downloader/page_charset.h"

namespace quillon {

// One anchor of a contents page: its absolute address ("" when it could not be
// resolved) and the raw bytes between its opening and closing tags, markup
// included.
struct LinkEntry {
    std::string url;
    std::string title;
};

// The anchors of one page in document order.
using LinkList = std::vector<LinkEntry>;

// Tag names after which the text gets a CR LF, compared with the lower-cased
// name NextTag returns. `/br`, `h6`, `td` and `li` are deliberately absent:
// saved chapters have always been cut exactly at these.
inline constexpr std::array<std::string_view, 19> kLineBreakTags = {
    "div",    "table", "tr",  "h1",  "h2",  "h3",  "h4",  "h5", "br",  "p",
    "/table", "/tr",   "/h1", "/h2", "/h3", "/h4", "/h5", "/p", "/div"};

// Elements cut out whole before the conversion, in the order the passes run.
inline constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kRemovedElements = {{
    {"style", "/style"},
    {"select", "/select"},
    {"iframe", "/iframe"},
    {"noscript", "/noscript"},
    {"script", "/script"},
}};

// Byte-level scanner over GBK pages with ASCII markup. It knows only '<', '>',
// blanks (space, tab, CR, LF) and tag names: no DOM, no entities, no quotes.
// Saved chapters must come out byte for byte as they always have, so every
// quirk of the stepping rules below is intended.
class HtmlPageParser final {
public:
    enum TagResult { kEnd = 0, kText = 1, kTag = 2 };

    // Scans `text` from position 0.
    void SetText(std::string text);
    const std::string& text() const { return text_; }
    size_t position() const { return position_; }
    const std::string& baseSite() const { return baseSite_; }

    // kEnd at the end of the text; kText when a non-blank byte other than '<'
    // follows the blanks (the position stays on it); kTag when a tag name was
    // read: the bytes after '<' and blanks up to a blank or '>', ASCII
    // lower-cased, with the position left right after the name.
    int NextTag(std::string& name);
    // Position onto the next '<' (or the end).
    void SkipText();
    // Position just past the next '>' (or the end).
    void SkipTagRest();

    // Cuts every "<!-- ... --...>" piece: from the '<' before "!--" to the first
    // '>' after the first "--" that follows it.
    static void RemoveComments(std::string& text);
    // Cuts each element from its opening tag's '<' to the '>' of the first
    // closing tag; an unclosed element ends the pass.
    static void RemoveElements(std::string& text, std::string_view openName,
                               std::string_view closeName);

    // The plain text of `page`. `page` is converted and cut in place on the
    // way; its old content is gone afterwards.
    std::string HtmlToText(std::string& page);

    // Every anchor of `page` (converted in place first), resolved against
    // `pageUrl` or the host of a base tag, in document order.
    void ExtractLinks(std::string& page, std::string_view pageUrl, LinkList& out);

    // From the position, the index where the scan for the closing "/a" tag
    // began (the position before that tag and its leading blanks were read),
    // or -1 when the text ends first. Leaves the position after the closing
    // tag.
    // 64-bit: a page past 2 GiB keeps its anchors.
    long long FindAnchorEnd();

    // A tag as the scanner steps over it: from '<' to just past its '>'.
    // `alive` is false once an element cut takes the tag away; `gapKept`
    // is false once a cut takes away the text between it and the next tag.
    struct ScannedTag {
        size_t lt = 0, nameStart = 0, nameEnd = 0, end = 0;
        unsigned char kind = 0;
        bool alive = true;
        bool gapKept = true;
    };

private:
    // Every tag NextTag would return stepping through `text` from 0.
    static void ScanTags(const std::string& text, std::vector<ScannedTag>& tags);
    // One pass of RemoveElements, as marks on `tags`: elements open at tags
    // of `openKind` and close at `closeName` (a tag of `closeKind`, or a
    // '<' the scan meets inside a tag).
    static void CutElements(const std::string& text, std::vector<ScannedTag>& tags,
                            unsigned char openKind, unsigned char closeKind,
                            std::string_view closeName);

    std::string text_;
    size_t position_ = 0;
    std::string baseSite_;
    std::vector<ScannedTag> tags_;  // kept between pages to spare allocations
};

}  // namespace quillon
