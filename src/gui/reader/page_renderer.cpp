#include "gui/reader/page_renderer.h"

#include <cmath>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

#include "gui/app/ui_fonts.h"
#include "gui/reader/gbk_glyphs.h"
#include "gui/reader/page_picture.h"

namespace quillon {

namespace {
constexpr int kBandTop = 30;
constexpr int kBandBottomMargin = PagingModel::kMarginBottom;
constexpr int kLabelLeft = 5;
constexpr int kLabelRight = PagingModel::kMarginLeft - 2;
}  // namespace

QRect PageBand(QSize client) {
    return QRect(0, kBandTop, client.width(), client.height() - kBandBottomMargin - kBandTop);
}

QColor ColourFromRef(uint32_t ref) {
    return QColor(static_cast<int>(ref & 0xFF), static_cast<int>((ref >> 8) & 0xFF),
                  static_cast<int>((ref >> 16) & 0xFF));
}

uint32_t RefFromColour(const QColor& colour) {
    QColor c = colour.toRgb();
    return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
           (static_cast<uint32_t>(c.blue()) << 16);
}

void PageRenderer::PrepareFont(const QFont& font) {
    if (fontReady_ && font == font_) return;
    font_ = font;
    fontReady_ = true;
    // The font a Chinese text would be set in; characters it lacks go the
    // slow way through QPainter::drawText, which finds another font.
    raw_ = QRawFont::fromFont(font, QFontDatabase::SimplifiedChinese);
    QFontMetrics fm(font);
    ascent_ = fm.ascent();
    lineHeight_ = fm.ascent() + fm.descent();
    glyphs_.assign(65536, GlyphInfo{});
}

const PageRenderer::GlyphInfo& PageRenderer::Glyph(char16_t unit) {
    GlyphInfo& g = glyphs_[unit];
    if (g.known) return g;
    g.known = true;
    if (!raw_.isValid()) return g;
    QChar ch(unit);
    quint32 index = 0;
    int n = 1;
    if (raw_.glyphIndexesForChars(&ch, 1, &index, &n) && n == 1 && index != 0) {
        g.index = index;
        QPointF adv;
        raw_.advancesForGlyphIndexes(&index, &adv, 1);
        g.advance = static_cast<float>(adv.x());
    }
    return g;
}

void PageRenderer::AddText(Batch& batch, QStringView text, qreal x, qreal baseline) {
    for (QChar ch : text) {
        char16_t u = ch.unicode();
        // Control characters have no useful glyph; they take their cell
        // (and its highlight) but show nothing.
        if (u < 0x20 || u == 0x7F) continue;
        const GlyphInfo& g = Glyph(u);
        if (g.index != 0) {
            batch.glyphs.push_back(g.index);
            batch.positions.emplace_back(x, baseline);
            x += g.advance;
        } else {
            batch.fallback.emplace_back(QPointF(x, baseline), QString(ch));
            x += QFontMetricsF(font_).horizontalAdvance(ch);
        }
    }
}

void PageRenderer::Flush(QPainter& painter, Batch& batch) {
    if (!batch.glyphs.empty()) {
        QGlyphRun run;
        run.setRawFont(raw_);
        run.setGlyphIndexes(batch.glyphs);
        run.setPositions(batch.positions);
        painter.setPen(batch.colour);
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    if (!batch.fallback.empty()) {
        painter.setPen(batch.colour);
        painter.setFont(font_);
        for (const auto& [pos, s] : batch.fallback) painter.drawText(pos, s);
    }
    batch.Clear();
}

void PageRenderer::RenderPage(QPainter& painter, QSize client, const PagingModel& model,
                              const RenderStyle& style, const QImage& picture) {
    PrepareFont(style.font);
    const QRect band = PageBand(client);
    painter.save();
    painter.setClipRect(band);
    painter.fillRect(band, style.backColour);
    if (style.showPicture) DrawPicture(painter, picture, style.pictureMode, band);

    const int rows = model.rows();
    const int cols = model.cols();
    const int pitchY = model.lineSpacing() + PagingModel::kLineGap;

    if (style.showRowNumbers) {
        painter.setFont(UiFont(0));
        painter.setPen(Qt::black);
        for (int r = 0; r < rows; ++r) {
            const int top = PagingModel::kMarginTop + r * pitchY;
            painter.drawText(QRect(kLabelLeft, top, kLabelRight - kLabelLeft, model.lineSpacing()),
                             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                             QString::number(model.topLine() + 1 + r) + QLatin1Char(':'));
        }
    }

    shadow_.colour = style.shadowColour;
    plain_.colour = style.textColour;
    selected_.colour = style.selTextColour;
    spoken_.colour = style.spokenTextColour;

    const CellGrid& grid = model.cellGrid();
    for (int r = 0; r < rows; ++r) {
        const Cell* row = grid.Row(r);
        for (int c = 0; c < cols; ++c) {
            const Cell& cell = row[c];
            if (cell.kind == kCellEmpty) continue;
            CellRect rect = cell.rect;
            const Cell* flags = &cell;
            QStringView text;
            if ((cell.kind == kCellLead || cell.kind == kCellTrail) && c + 1 < CellGrid::kCols) {
                const Cell& next = row[c + 1];
                rect.right = next.rect.right;
                flags = &next;
                text = GbkPairText(cell.byte, next.byte);
                ++c;
            } else if (cell.kind != kCellControl) {
                text = GbkByteText(cell.byte);
            }
            const QRect qr(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
            Batch* batch = &plain_;
            bool plain = true;
            if (flags->selected) {
                painter.fillRect(qr, style.selBackColour);
                batch = &selected_;
                plain = false;
            } else if (flags->spoken) {
                painter.fillRect(qr, style.spokenBackColour);
                batch = &spoken_;
                plain = false;
            }
            if (text.isEmpty()) continue;
            // Single line, left-aligned, vertically centred in the cell; the
            // shadow's rectangle loses shadowDy at the top but keeps its
            // bottom, so it lands about half of shadowDy lower.
            if (style.showShadow && plain) {
                const int top = rect.top + style.shadowDy;
                const int y = top + (rect.bottom - top - lineHeight_) / 2 + ascent_;
                AddText(shadow_, text, rect.left + style.shadowDx, y);
            }
            const int y = rect.top + (rect.bottom - rect.top - lineHeight_) / 2 + ascent_;
            AddText(*batch, text, rect.left, y);
        }
    }
    Flush(painter, shadow_);
    Flush(painter, plain_);
    Flush(painter, selected_);
    Flush(painter, spoken_);
    painter.restore();
}

}  // namespace quillon
