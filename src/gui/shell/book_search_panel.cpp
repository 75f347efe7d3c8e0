#include "gui/shell/book_search_panel.h"

#include <QPointer>

#include "gui/net/book_search_page.h"
#include "gui/shell/browser_page.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/panel_factories.h"

namespace quillon {

namespace {

SearchPanelBinding MakeBookSearchPanel(BrowserPage* host, const QString& words, const QString& /*extra*/) {
    auto* page = new BookSearchPage(host);
    page->SetQuery(words);
    // The panel lives inside the host, but a result may be opened while the
    // frame closes; both are checked before use.
    QPointer<BrowserPage> guard(host);
    QObject::connect(page, &BookSearchPage::openUrlRequested, page, [guard](const QString& url) {
        if (guard && guard->frame()) guard->frame()->OpenTab(url, true);
    });
    QObject::connect(page, &BookSearchPage::searchStarted, page, [guard](const QString& query) {
        if (guard) guard->SetTitle(QStringLiteral("小说搜索_") + query);
    });

    QPointer<BookSearchPage> panel(page);
    SearchPanelBinding binding;
    binding.widget = page;
    binding.resultAddress = [panel](const QString& query) { return panel ? panel->ResultAddress(query) : QString(); };
    binding.start = [panel](const QString& query) {
        if (!panel) return;
        panel->SetQuery(query);
        panel->StartSearch();
    };
    return binding;
}

}  // namespace

void RegisterBookSearchPanel() { SetSearchPanelFactory(MakeBookSearchPanel); }

}  // namespace quillon
