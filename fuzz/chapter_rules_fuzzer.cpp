// Reads arbitrary rule files and books, and checks that the literal
// pre-filter agrees with trying every rule on every line: a rule that the
// prefix reader misunderstands would silently drop headings.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/reader/chapter_index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon;
    // Up to the first NUL: the rules; after it: the book.
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    if (split == std::string_view::npos) return 0;
    const ChapterRules rules = ChapterRules::Parse(input.substr(0, split));
    const std::string_view book = input.substr(split + 1);
    FindChaptersOptions every;
    every.tryEveryLine = true;
    const auto fast = FindChapters(book, rules);
    const auto slow = FindChapters(book, rules, every);
    if (fast != slow) std::abort();
    int32_t last = -1;
    for (const Chapter& c : fast) {
        if (c.offset <= last || c.offset >= static_cast<int32_t>(book.size()) || c.title.empty())
            std::abort();
        last = c.offset;
    }
    return 0;
}
