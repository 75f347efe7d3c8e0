#pragma once

#include <QFont>

#include "core/reader/display_settings.h"

namespace quillon {

// The settings record keeps the reading font as a platform font description;
// the screen needs a QFont. A negative height is the character height in
// pixels, a positive one the cell height (character plus internal leading);
// the face "宋体" resolves through the registered substitution.
QFont FontFromRecord(const FontRecord& record);

// The description of a font chosen in the font picker. The height is stored
// as a character height in pixels (negative), at 96 pixels per inch for a
// font given in points, which is Qt's logical pixel.
FontRecord RecordFromFont(const QFont& font);

}  // namespace quillon
