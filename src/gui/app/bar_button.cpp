#include "gui/app/bar_button.h"

#include <algorithm>

#include <QFontMetrics>

#include "gui/app/ui_fonts.h"

namespace quillon {

QPushButton* MakeBarButton(QWidget* parent, const char* name, const QString& caption, int padding,
                           int minWidth, int height) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setFont(UiFont(0));
    const int w = std::max(QFontMetrics(b->font()).horizontalAdvance(caption) + padding, minWidth);
    b->setFixedSize(w, height);
    b->setAutoDefault(false);
    return b;
}

}  // namespace quillon
