// Feeds arbitrary bytes to the book-text reader: detection and conversion
// never fail, and the display cleaning keeps every byte where it was (the
// output is as long as the input up to its first NUL, ASCII bytes other
// than CR stay), leaves no NUL and no byte that could pair wrongly, and
// changes nothing when run again, and cleaning in pieces as a book
// arrives gives the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/library/book_text.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string_view upToNul = bytes.substr(0, bytes.find('\0'));

    std::string text(bytes);
    CleanGbkText(text);
    Check(text.size() == upToNul.size());
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const auto was = static_cast<unsigned char>(upToNul[i]);
        Check(b != 0);
        if (b < 0x80) {
            Check(b == was || (was == '\r' && b == '\n') || b == '?');
            ++i;
            continue;
        }
        // Every byte above 0x7F left is a lead with a GBK trail after it.
        Check(b != 0x80 && b != 0xFF && i + 1 < text.size());
        const auto t = static_cast<unsigned char>(text[i + 1]);
        Check(t >= 0x40 && t <= 0xFE && t != 0x7F);
        i += 2;
    }
    std::string again = text;
    CleanGbkText(again);
    Check(again == text);

    // Cleaning as a book arrives, in two pieces cut anywhere, gives the
    // same bytes as cleaning it whole.
    std::string pieces(upToNul);
    const size_t cut = size == 0 ? 0 : data[0] % (pieces.size() + 1);
    size_t replaced = 0;
    const size_t next = CleanGbkPiece(pieces.data(), 0, cut, false, replaced);
    Check(next <= cut && next + 1 >= cut);
    CleanGbkPiece(pieces.data(), next, pieces.size(), true, replaced);
    Check(pieces == text);

    const BookEncoding detected = DetectBookEncoding(bytes);
    Check(detected != BookEncoding::kAuto);
    replaced = 0;
    std::string gbk = ConvertBookBytes(bytes, detected, &replaced);
    CleanGbkText(gbk);
    Check(gbk.find('\0') == std::string::npos);
    return 0;
}
