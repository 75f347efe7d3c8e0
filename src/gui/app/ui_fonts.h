#pragma once

#include <QFont>

namespace quillon {

// Ten program-wide font slots; start-up fills the first five, all in the
// face "宋体":
//   0: 12 px   (search page, tab strip, bookshelf file list, row labels)
//   1: 12 px underlined (bookshelf file list)
//   2: 22 px   (main frame)
//   3, 4: 16 px (bookshelf page)
inline constexpr int kUiFontSlots = 10;

// Registers the substitutions that let "宋体" and "SimSun" resolve to the
// installed Song-style CJK font. Call once, after the QApplication exists.
void RegisterFontSubstitutions();

void CreateUiFonts();
const QFont& UiFont(int slot);

}  // namespace quillon
