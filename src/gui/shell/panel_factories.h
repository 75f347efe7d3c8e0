#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <QString>

#include "core/library/book_text.h"

class QWidget;

namespace quillon {

class BrowserPage;

// The panels a page host can carry are built by other parts of the program,
// which register their makers here at start (main() does). The shell never
// includes them, so it builds and is tested without them. Every maker returns
// a widget parented to the host, which owns it from then on.

// The bookshelf of the main tab.
using BookshelfPanelFactory = std::function<QWidget*(BrowserPage* host)>;
// Timer 2 of the frame (set after a data update): the bookshelf reloads its
// search-entry list from data/main.htm and re-applies the selected entry.
using BookshelfReloader = std::function<void(QWidget* bookshelf)>;

// A reading panel as the host sees it.
struct ReadingPanelBinding {
    QWidget* widget = nullptr;
    // When positive, the host shows `topUrl` in its browser.
    int adHeight = 0;
    QString topUrl;
    // Hands a book to the panel: the text (GBK, NUL-free, perhaps still
    // arriving), then the book's name, then the bookmarks are loaded, then
    // the lines are cut; in that order, since each step needs the one
    // before.
    std::function<void(std::shared_ptr<const BookText> gbkText, const std::string& bookPathUtf8,
                       const std::string& bookNameGbk)>
        load;
};
// Made once per host, on its first book.
using ReadingPanelFactory = std::function<ReadingPanelBinding(BrowserPage* host)>;

// The novel-index search panel.
struct SearchPanelBinding {
    QWidget* widget = nullptr;
    // The result page the browser shows beside the panel for `words`
    // (the panel knows how its server wants the words encoded); empty for
    // none.
    std::function<QString(const QString& words)> resultAddress;
    // Starts the search worker on `words`.
    std::function<void(const QString& words)> start;
};
using SearchPanelFactory =
    std::function<SearchPanelBinding(BrowserPage* host, const QString& words, const QString& extra)>;

// Shows a book as a scrolling page in the host's browser. Receives the host's
// control bar (null on first use) and returns the bar to keep, which the
// host's layout gives the top 30 pixels.
using ScrollDisplayOpener = std::function<QWidget*(BrowserPage* host, QWidget* topBar,
                                                   const QString& title, std::string_view gbkText)>;

// The registrations; an empty function unregisters.
void SetBookshelfPanelFactory(BookshelfPanelFactory factory);
void SetBookshelfReloader(BookshelfReloader reloader);
void SetReadingPanelFactory(ReadingPanelFactory factory);
void SetSearchPanelFactory(SearchPanelFactory factory);
void SetScrollDisplayOpener(ScrollDisplayOpener opener);

const BookshelfPanelFactory& GetBookshelfPanelFactory();
const BookshelfReloader& GetBookshelfReloader();
const ReadingPanelFactory& GetReadingPanelFactory();
const SearchPanelFactory& GetSearchPanelFactory();
const ScrollDisplayOpener& GetScrollDisplayOpener();

}  // namespace quillon
