#pragma once

namespace quillon {

// Registers the bookshelf as the panel of the main tab: the page host makes
// it through the shell's factory, and the page's requests become tabs of the
// frame (a book a reading tab, an address a browser tab, a novel search a
// search tab). Also registers the reload of the search entries after a data
// update. Call once at start, before the frame opens its tabs.
void RegisterBookshelfPanel();

}  // namespace quillon
