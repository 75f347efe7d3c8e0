#pragma once

#include <cstdint>
#include <vector>

#include <QColor>
#include <QFont>
#include <QGlyphRun>
#include <QImage>
#include <QPointF>
#include <QRawFont>
#include <QRect>
#include <QSize>

#include "core/reader/paging_model.h"

class QPainter;

namespace quillon {

// The band of the client area that the page draws: from y = 30 (10 pixels
// above the text's top margin) to 25 pixels above the bottom, full width.
// The button bar above it and the status line below are never painted.
QRect PageBand(QSize client);

// Colours of the settings records are 0x00BBGGRR, red in the low byte.
QColor ColourFromRef(uint32_t ref);
uint32_t RefFromColour(const QColor& colour);

// What the renderer needs of the display settings and the speech colours,
// converted to screen objects once when settings change rather than at every
// paint.
struct RenderStyle {
    QFont font;
    QColor textColour{255, 0, 0};
    QColor backColour{160, 160, 160};
    QColor selTextColour{255, 255, 255};
    QColor selBackColour{0, 0, 255};
    bool showRowNumbers = false;
    bool showShadow = true;
    int shadowDx = 2;
    int shadowDy = 1;
    QColor shadowColour{0, 0, 0};
    bool showPicture = false;
    int pictureMode = 1;
    // Highlight of the text being read aloud.
    QColor spokenBackColour{0, 128, 0};
    QColor spokenTextColour{255, 255, 255};
};

// Paints pages of a paging model. Holds the glyph caches of the current
// reading font, so one renderer should live as long as its page.
class PageRenderer final {
public:
    PageRenderer() = default;

    // Paints the whole page for a client area of `client` size: the band's
    // background colour and picture, the row labels and every cell.
    // `picture` may be null (nothing drawn for it).
    void RenderPage(QPainter& painter, QSize client, const PagingModel& model,
                    const RenderStyle& style, const QImage& picture);

private:
    struct GlyphInfo {
        quint32 index = 0;
        float advance = 0;
        bool known = false;
    };
    struct Batch {
        QColor colour;
        QList<quint32> glyphs;
        QList<QPointF> positions;
        // Characters the reading font has no glyph for; drawn through the
        // font machinery, which falls back to another installed font.
        std::vector<std::pair<QPointF, QString>> fallback;
        void Clear() {
            glyphs.clear();
            positions.clear();
            fallback.clear();
        }
    };

    void PrepareFont(const QFont& font);
    const GlyphInfo& Glyph(char16_t unit);
    void AddText(Batch& batch, QStringView text, qreal x, qreal baseline);
    void Flush(QPainter& painter, Batch& batch);

    QFont font_;
    bool fontReady_ = false;
    QRawFont raw_;
    int ascent_ = 0;
    int lineHeight_ = 0;
    std::vector<GlyphInfo> glyphs_;
    Batch shadow_;
    Batch plain_;
    Batch selected_;
    Batch spoken_;
};

}  // namespace quillon
