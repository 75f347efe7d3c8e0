#include "gui/reader/gbk_glyphs.h"

#include <array>
#include <memory>
#include <string>

#include "core/text/gbk_codec.h"

namespace quillon {

namespace {

// Two UTF-16 units per code; the second is 0 when one is enough. A code the
// codec turns into more than two units keeps the first two, which only
// happens for codes outside the code page (the replacement plus the trail
// byte as ASCII).
struct Entry {
    char16_t u[2] = {0, 0};
};

constexpr size_t kPairs = 128 * 256;

std::u16string Utf16Of(const std::string& utf8) {
    QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    return s.toStdU16String();
}

struct Table {
    std::unique_ptr<std::array<Entry, kPairs>> pairs = std::make_unique<std::array<Entry, kPairs>>();
    std::array<Entry, 256> singles{};

    Table() {
        char buf[2];
        for (size_t lead = 0x80; lead <= 0xFF; ++lead) {
            for (size_t trail = 0; trail <= 0xFF; ++trail) {
                buf[0] = static_cast<char>(lead);
                buf[1] = static_cast<char>(trail);
                std::u16string s = Utf16Of(GbkToUtf8(std::string_view(buf, 2)));
                Entry& e = (*pairs)[(lead - 0x80) * 256 + trail];
                if (!s.empty()) e.u[0] = s[0];
                if (s.size() > 1) e.u[1] = s[1];
            }
        }
        for (size_t b = 0; b < 256; ++b)
            singles[b].u[0] = b < 0x80 ? static_cast<char16_t>(b) : char16_t(0xFFFD);
    }
};

const Table& GetTable() {
    static const Table table;
    return table;
}

QStringView View(const Entry& e) {
    if (e.u[0] == 0) return {};
    return QStringView(e.u, e.u[1] == 0 ? 1 : 2);
}

}  // namespace

QStringView GbkPairText(unsigned char lead, unsigned char trail) {
    if (lead < 0x80) return {};
    return View((*GetTable().pairs)[static_cast<size_t>(lead - 0x80) * 256 + trail]);
}

QStringView GbkByteText(unsigned char byte) { return View(GetTable().singles[byte]); }

}  // namespace quillon
