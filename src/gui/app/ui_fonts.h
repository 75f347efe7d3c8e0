#pragma once

#include <string>

#include <QFont>
#include <QStringList>

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

// The installed faces that stand for "宋体", in order of preference.
QStringList SongStyleFamilies();

// Web pages ask fontconfig, not Qt, for "宋体" and "SimSun", and fontconfig
// knows neither name. This writes a fontconfig file that includes the
// system's configuration (or the one FONTCONFIG_FILE named) and adds the
// Song-style faces as those names, and points this process and the page
// processes it starts at it. Call before the QApplication is created; the
// file's path, or empty when it could not be written.
std::string InstallSongFontAliases();

void CreateUiFonts();
const QFont& UiFont(int slot);

}  // namespace quillon
