// Lists the links of arbitrary pages against an arbitrary page address (the
// input's first line) and resolves arbitrary references: every walk ends
// and the segment count stays within its capacity.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/downloader/html_page_parser.h"
#include "core/downloader/link_resolver.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon;
    using fuzz::Check;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    size_t nl = bytes.find('\n');
    std::string_view pageUrl = bytes.substr(0, nl);
    std::string page(nl == std::string_view::npos ? std::string_view() : bytes.substr(nl + 1));

    std::string url;
    ResolveLink(page.substr(0, page.find('\n')), pageUrl, url);
    std::vector<std::string> segments;
    int count = kMaxUrlSegments;
    SplitUrlPath(pageUrl, segments, count);
    Check(count >= 0 && count <= kMaxUrlSegments);
    TagAttributes attributes;
    attributes.Parse(page);
    std::string value;
    attributes.Get("href", value);

    HtmlPageParser parser;
    LinkList links;
    const size_t pageSize = page.size();
    parser.ExtractLinks(page, pageUrl, links);
    // Every link needs an anchor tag of at least "<a>".
    Check(links.size() <= pageSize / 3 + 1);
    return 0;
}
