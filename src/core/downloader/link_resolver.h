#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

// The attributes of one tag as (name, value) byte pairs in the order they
// appear, at most kMaxPairs of them.
class TagAttributes final {
public:
    static constexpr size_t kMaxPairs = 20;

    // `attributeText` runs from right after the tag name to the closing '>'
    // inclusive. Each pass over that '>' stores an empty pair, so the table
    // always fills up to kMaxPairs; the real attributes come first.
    void Parse(std::string_view attributeText);
    // 0 and the value of the first pair whose name equals `name` ignoring
    // ASCII case; 1 and "" when there is none.
    int Get(std::string_view name, std::string& value) const;

    const std::vector<std::pair<std::string, std::string>>& pairs() const { return pairs_; }

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
    size_t position_ = 0;
};

inline constexpr int kMaxUrlSegments = 100;

// Cuts `url` into the scheme-and-host segment and the path segments, folding
// "//", "." and "..". On entry `count` holds the capacity, on return the
// number of segments. The last segment is kept as it is, even "" or "..".
void SplitUrlPath(std::string_view url, std::vector<std::string>& segments, int& count);

// Makes `href` absolute against `pageUrl`. 0 on success with `url` set; 1 when
// `pageUrl` is not an http(s) address or `href` is empty, `url` unchanged.
// Absolute and "www." links are taken as they are; relative ones lose their
// fragment.
int ResolveLink(std::string_view href, std::string_view pageUrl, std::string& url);

// Length of "http://" or "https://" when `url` begins with either (ASCII case
// ignored), else 0.
size_t HttpSchemeLength(std::string_view url);

}  // namespace quillon
