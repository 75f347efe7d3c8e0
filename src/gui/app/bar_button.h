#pragma once

#include <QPushButton>
#include <QString>

namespace quillon {

// Captions of the full-screen toggle that the reading page and the scroll
// display share.
inline QString FullScreenCaption() { return QStringLiteral("全屏显示"); }
inline QString NormalCaption() { return QStringLiteral("正常显示"); }

// A button of a page's command bar: the small interface font, a fixed size
// fitted to its caption (caption width + padding, at least minWidth) so the
// bar can place it without a layout, and never a dialog's default button.
QPushButton* MakeBarButton(QWidget* parent, const char* name, const QString& caption, int padding,
                           int minWidth, int height);

}  // namespace quillon
