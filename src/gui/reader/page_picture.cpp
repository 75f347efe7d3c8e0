#include "gui/reader/page_picture.h"

#include <algorithm>
#include <cstdlib>

#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include "core/reader/display_settings.h"
#include "gui/app/text_convert.h"

namespace quillon {

int ChoosePictureSlot(const std::array<std::string, kPictureSlots>& names, int order, int& cursor,
                      long long nowSeconds) {
    switch (order) {
    case 0:
        return 0;
    case 1: {
        int slot = (cursor >= 0 && cursor < kPictureSlots && !names[cursor].empty()) ? cursor : 0;
        ++cursor;
        if (cursor >= kPictureSlots || names[cursor].empty()) cursor = 0;
        return slot;
    }
    case 2: {
        int count = 0;
        while (count < kPictureSlots && !names[count].empty()) ++count;
        if (count == 0) return 0;
        // Seeded with the second, as the pictures are meant to change between
        // page turns rather than within one.
        std::srand(static_cast<unsigned>(nowSeconds));
        return std::rand() % count;
    }
    default:
        return -1;
    }
}

QString PictureFilePath(const std::string& name) { return FromUtf8(PictureFolder() + name); }

void LoadPagePicture(PagePicture& picture, const std::string& name) {
    const QString path = name.empty() ? QString() : PictureFilePath(name);
    const QFileInfo info(path);
    const qint64 size = info.exists() ? info.size() : -1;
    const qint64 time = info.exists() ? info.lastModified().toMSecsSinceEpoch() : 0;
    if (!name.empty() && name == picture.name && !picture.image.isNull() &&
        size == picture.fileSize && time == picture.fileTime)
        return;
    picture.image = QImage();
    picture.name = name;
    picture.fileSize = size;
    picture.fileTime = time;
    if (name.empty() || size < 0) return;
    QImageReader reader(path);
    // BMP first; any other format Qt reads is welcome too, so the reader
    // decides by content rather than by suffix.
    reader.setDecideFormatFromContent(true);
    QImage img = reader.read();
    if (img.isNull()) return;
    // One conversion at load keeps every later blit on the fast path.
    picture.image = img.convertToFormat(QImage::Format_RGB32);
}

void DrawPicture(QPainter& painter, const QImage& picture, int mode, const QRect& rect) {
    if (picture.isNull() || rect.isEmpty()) return;
    const int left = rect.left();
    const int top = rect.top();
    const int right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();
    const int bw = rect.width();
    const int bh = rect.height();
    const int w = picture.width();
    const int h = picture.height();
    switch (mode) {
    case 0:
        painter.drawImage(rect, picture);
        break;
    case 1:
        if (w >= bw && h >= bh) {
            painter.drawImage(QPoint(left, top), picture, QRect(0, 0, bw, bh));
            break;
        }
        for (int y = top; y < bottom; y += h) {
            for (int x = left; x < right; x += w) {
                painter.drawImage(QPoint(x, y), picture,
                                  QRect(0, 0, std::min(w, right - x), std::min(h, bottom - y)));
            }
        }
        break;
    case 2:
        if (w >= bw && h >= bh) {
            painter.drawImage(QPoint(left, top), picture, QRect((w - bw) / 2, (h - bh) / 2, bw, bh));
        } else {
            painter.drawImage(QPoint(left + (bw - w) / 2, top + (bh - h) / 2), picture);
        }
        break;
    default:
        break;
    }
}

}  // namespace quillon
