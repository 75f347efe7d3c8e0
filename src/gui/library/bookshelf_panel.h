#pragma once

#include <QString>
#include <QStringList>

namespace quillon {

class CMainFrame;

// Registers the bookshelf as the panel of the main tab: the page host makes
// it through the shell's factory, and the page's requests become tabs of the
// frame (a book a reading tab, an address a browser tab, a novel search a
// search tab). Also registers the reload of the search entries after a data
// update. Call once at start, before the frame opens its tabs.
void RegisterBookshelfPanel();

// Opens the book file at `path` (absolute) in a new reading tab by the
// bookshelf's way; when it cannot be read the tab goes again. True when open.
bool OpenBookInNewTab(CMainFrame* frame, const QString& path);

// The files of the command line (or of a second start): each is opened in a
// reading tab; a missing file, a folder, an unreadable or non-text file gets
// a message and no tab, and the others still open. Returns how many opened.
int OpenBookFiles(CMainFrame* frame, const QStringList& paths);

}  // namespace quillon
