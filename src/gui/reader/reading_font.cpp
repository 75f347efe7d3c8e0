#include "gui/reader/reading_font.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <QFontMetrics>

#include "gui/app/text_convert.h"

namespace quillon {

namespace {
// The size the platform gives a font description of height 0.
constexpr int kDefaultPixelSize = 16;
}  // namespace

QFont FontFromRecord(const FontRecord& record) {
    QString face = FromGbk(record.Face());
    if (face.isEmpty()) face = QStringLiteral("宋体");
    QFont font(face);
    font.setStyleHint(QFont::Serif);
    int pixels = kDefaultPixelSize;
    if (record.height < 0) {
        pixels = record.height == INT32_MIN ? 1000 : -record.height;
    } else if (record.height > 0) {
        // A cell height: find the character height whose line is that tall.
        QFont probe(font);
        probe.setPixelSize(std::min(record.height, 1000));
        const int cell = QFontMetrics(probe).height();
        pixels = cell > 0 ? static_cast<int>(std::lround(double(record.height) * record.height / cell))
                          : record.height;
    }
    // A damaged record must not ask the rasteriser for a page-sized glyph.
    font.setPixelSize(std::clamp(pixels, 1, 1000));
    if (record.weight > 0) font.setWeight(static_cast<QFont::Weight>(std::clamp(record.weight, 1, 1000)));
    else font.setWeight(QFont::Normal);
    font.setItalic(record.italic != 0);
    font.setUnderline(record.underline != 0);
    font.setStrikeOut(record.strikeOut != 0);
    return font;
}

FontRecord RecordFromFont(const QFont& font) {
    FontRecord r;
    int pixels = font.pixelSize();
    if (pixels <= 0) pixels = static_cast<int>(std::lround(font.pointSizeF() * kDefaultDpi / 72.0));
    r.height = -std::max(pixels, 1);
    r.weight = font.weight();
    r.italic = font.italic() ? 1 : 0;
    r.underline = font.underline() ? 1 : 0;
    r.strikeOut = font.strikeOut() ? 1 : 0;
    r.SetFace(ToGbk(font.family()));
    return r;
}

}  // namespace quillon
