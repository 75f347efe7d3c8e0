#include "gui/shell/panel_factories.h"

namespace quillon {

namespace {
struct Registry {
    BookshelfPanelFactory bookshelf;
    BookshelfReloader reloader;
    ReadingPanelFactory reading;
    SearchPanelFactory search;
    ScrollDisplayOpener scroll;
};
Registry& Factories() {
    static Registry registry;
    return registry;
}
}  // namespace

void SetBookshelfPanelFactory(BookshelfPanelFactory factory) { Factories().bookshelf = std::move(factory); }
void SetBookshelfReloader(BookshelfReloader reloader) { Factories().reloader = std::move(reloader); }
void SetReadingPanelFactory(ReadingPanelFactory factory) { Factories().reading = std::move(factory); }
void SetSearchPanelFactory(SearchPanelFactory factory) { Factories().search = std::move(factory); }
void SetScrollDisplayOpener(ScrollDisplayOpener opener) { Factories().scroll = std::move(opener); }

const BookshelfPanelFactory& GetBookshelfPanelFactory() { return Factories().bookshelf; }
const BookshelfReloader& GetBookshelfReloader() { return Factories().reloader; }
const ReadingPanelFactory& GetReadingPanelFactory() { return Factories().reading; }
const SearchPanelFactory& GetSearchPanelFactory() { return Factories().search; }
const ScrollDisplayOpener& GetScrollDisplayOpener() { return Factories().scroll; }

}  // namespace quillon
