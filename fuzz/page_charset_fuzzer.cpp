// Converts arbitrary pages by their declared charset, and maps arbitrary
// GBK to simplified characters: both end without a fault, and a page that
// names no charset is left exactly as it was.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/downloader/page_charset.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon;
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string page = input;
    ConvertPageCharset(page);
    bool namesCharset = false;
    for (size_t i = 0; i + 7 <= input.size() && !namesCharset; ++i) {
        namesCharset = (input[i] | 0x20) == 'c' && (input[i + 1] | 0x20) == 'h';
    }
    if (!namesCharset) fuzz::Check(page == input);
    std::string gbk(reinterpret_cast<const char*>(data), size);
    std::string simplified = MapTraditionalToSimplified(gbk);
    (void)simplified;
    return 0;
}
