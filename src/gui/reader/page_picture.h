#pragma once

#include <array>
#include <string>

#include <QImage>
#include <QRect>
#include <QString>

class QPainter;

namespace quillon {

inline constexpr int kPictureSlots = 20;

// The background picture of a reading page: its file name and the loaded
// image (null when none is loaded or the load failed).
struct PagePicture {
    std::string name;
    QImage image;
    int width() const { return image.width(); }
    int height() const { return image.height(); }
};

// Which slot the next pick shows. `slots` are the stored picture names (an
// empty name is an empty slot); `cursor` is the page's position for the
// in-turn order, updated as the pick consumes it. Returns the slot to load,
// or -1 to keep the previous picture (an unknown order). `nowSeconds` seeds
// the random order.
int ChoosePictureSlot(const std::array<std::string, kPictureSlots>& names, int order, int& cursor,
                      long long nowSeconds);

// Loads data/bkimg/<name> under the program folder into `picture`, dropping
// the previous image first. A missing name or an unreadable file leaves no
// image. The file is read again on every call, as pictures may be replaced on
// disk while the book is open.
void LoadPagePicture(PagePicture& picture, const std::string& name);

// Full path of the background picture `name` (a file name in the file
// system's encoding, as the settings record stores it).
QString PictureFilePath(const std::string& name);

// Draws `picture` into `rect` of the painter's surface in the given mode:
// 0 stretch, 1 tile, 2 centre. Nothing for another mode or a null image.
void DrawPicture(QPainter& painter, const QImage& picture, int mode, const QRect& rect);

}  // namespace quillon
