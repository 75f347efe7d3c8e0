// Feeds arbitrary pages to the HTML scanner and the text conversion: the
// scanner's walk moves forward and ends, and cutting comments and elements
// only ever takes bytes away.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/downloader/html_page_parser.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon;
    using fuzz::Check;
    const std::string input(reinterpret_cast<const char*>(data), size);

    HtmlPageParser scanner;
    scanner.SetText(input);
    std::string name;
    size_t steps = 0;
    for (;;) {
        size_t before = scanner.position();
        int kind = scanner.NextTag(name);
        if (kind == HtmlPageParser::kEnd) break;
        if (kind == HtmlPageParser::kText) scanner.SkipText();
        else scanner.SkipTagRest();
        Check(scanner.position() > before && scanner.position() <= input.size());
        Check(++steps <= input.size());
    }

    std::string cut = input;
    HtmlPageParser::RemoveComments(cut);
    Check(cut.size() <= input.size());
    size_t beforeElements = cut.size();
    HtmlPageParser::RemoveElements(cut, "<script", "</script");
    Check(cut.size() <= beforeElements);

    std::string page = input;
    HtmlPageParser parser;
    std::string text = parser.HtmlToText(page);
    // A single-byte charset can at most double in GBK; tags and entities
    // become no more bytes than they had.
    Check(text.size() <= 3 * input.size() + 16);
    return 0;
}
