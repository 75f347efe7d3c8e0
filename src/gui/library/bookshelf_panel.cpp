#include "gui/library/bookshelf_panel.h"

#include <QPointer>

#include "gui/library/bookshelf_page.h"
#include "gui/shell/browser_page.h"
#include "gui/shell/main_frame.h"

namespace quillon {

namespace {

const QString kFilePathPrefix = QStringLiteral("//FilePath//");

QWidget* MakeBookshelf(BrowserPage* host) {
    auto* page = new BookshelfPage(host);
    // The host lives as long as its tab and the frame for the whole run, but
    // both are checked: a request may arrive while the window closes.
    QPointer<BrowserPage> guard(host);
    auto frame = [guard]() -> CMainFrame* { return guard ? guard->frame() : nullptr; };
    QObject::connect(page, &BookshelfPage::openBookRequested, page, [frame](const QString& path) {
        CMainFrame* f = frame();
        BrowserPage* tab = f ? f->OpenBlankTab() : nullptr;
        if (!tab || tab->OpenBook(kFilePathPrefix + path) != 2) return;
        // A book that could not be opened leaves no empty tab behind.
        for (int i = 0; i < f->PageCount(); ++i) {
            if (f->PageAt(i) == tab) {
                f->CloseTab(i, true);
                break;
            }
        }
    });
    QObject::connect(page, &BookshelfPage::openUrlRequested, page, [frame](const QString& url) {
        if (CMainFrame* f = frame()) f->OpenTab(url, true);
    });
    QObject::connect(page, &BookshelfPage::searchRequested, page, [frame](const QString& words) {
        if (CMainFrame* f = frame())
            if (BrowserPage* tab = f->OpenBlankTab()) tab->OpenSearch(words, QString());
    });
    return page;
}

}  // namespace

void RegisterBookshelfPanel() {
    SetBookshelfPanelFactory(MakeBookshelf);
    SetBookshelfReloader([](QWidget* panel) {
        if (auto* page = qobject_cast<BookshelfPage*>(panel)) page->ReloadSearchEntries();
    });
}

}  // namespace quillon
