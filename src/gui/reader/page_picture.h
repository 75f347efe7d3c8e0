#pragma once

#include <array>
#include <string>

#include <QImage>
#include <QtGlobal>
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
    // Size and modification time of the file the image came from.
    qint64 fileSize = -1;
    qint64 fileTime = 0;
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
// image. Pictures may be replaced on disk while a book is open, so the file
// is looked at on every call; it is decoded again only when it is another
// file or has changed, which keeps a page turn over a large picture from
// decoding megabytes each time.
void LoadPagePicture(PagePicture& picture, const std::string& name);

// Full path of the background picture `name` (a file name in the file
// system's encoding, as the settings record stores it).
QString PictureFilePath(const std::string& name);

// Draws `picture` into `rect` of the painter's surface in the given mode:
// 0 stretch, 1 tile, 2 centre. Nothing for another mode or a null image.
void DrawPicture(QPainter& painter, const QImage& picture, int mode, const QRect& rect);

}  // namespace quillon
