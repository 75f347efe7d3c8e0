#include "gui/reader/colour_swatch.h"

#include <QPalette>

#include "gui/reader/page_renderer.h"

namespace quillon {

QLabel* MakeColourSwatch(QWidget* parent, const std::string& name) {
    auto* swatch = new QLabel(parent);
    swatch->setObjectName(QLatin1String((name + "Swatch").c_str()));
    swatch->setFixedSize(24, 20);
    swatch->setAutoFillBackground(true);
    swatch->setFrameShape(QFrame::Box);
    return swatch;
}

void PaintColourSwatch(QLabel* swatch, uint32_t colourRef) {
    QPalette pal = swatch->palette();
    pal.setColor(QPalette::Window, ColourFromRef(colourRef));
    swatch->setPalette(pal);
    swatch->update();
}

void FitColourTextWidth(QLineEdit* edit) {
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("RGB(255,255,255)")) + 16);
}

}  // namespace quillon
