#include "gui/library/bookshelf_panel.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include "core/library/book_text.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"
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

// Why `path` cannot be opened as a book, or empty when it can. Control bytes
// other than tab, line ends, form feed and escape in the first block mark a
// file that is not text (pictures, archives, programs); files with a
// byte-order mark are wide text and are let through.
QString BookFileProblem(const QString& path) {
    QFileInfo info(path);
    if (!info.exists()) return QStringLiteral("找不到文件：%1").arg(path);
    if (info.isDir()) return QStringLiteral("%1 是文件夹，不是文本文件。").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("无法读取文件：%1").arg(path);
    QByteArray head = file.read(8192);
    // UTF-16 and UTF-32 books are full of zero bytes, with a byte-order
    // mark or without.
    switch (DetectBookEncoding(std::string_view(head.constData(), static_cast<size_t>(head.size())))) {
        case BookEncoding::kUtf16Le:
        case BookEncoding::kUtf16Be:
        case BookEncoding::kUtf32Le:
        case BookEncoding::kUtf32Be: return QString();
        default: break;
    }
    for (char c : head) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x1B)
            return QStringLiteral("%1 不是文本文件，无法打开。").arg(path);
    }
    return QString();
}

}  // namespace

bool OpenBookInNewTab(CMainFrame* frame, const QString& path) {
    BrowserPage* tab = frame->OpenBlankTab();
    if (!tab) return false;
    if (tab->OpenBook(kFilePathPrefix + path) == 0) return true;
    // The page has already said why; a blank tab left behind says nothing.
    for (int i = 0; i < frame->PageCount(); ++i) {
        if (frame->PageAt(i) == tab) {
            frame->CloseTab(i, true);
            break;
        }
    }
    return false;
}

int OpenBookFiles(CMainFrame* frame, const QStringList& paths) {
    int opened = 0;
    for (const QString& path : paths) {
        QString problem = BookFileProblem(path);
        if (!problem.isEmpty()) {
            QtMessenger(frame).Inform(ToGbk(problem), MessageKind::Warning);
            continue;
        }
        if (OpenBookInNewTab(frame, QFileInfo(path).absoluteFilePath())) ++opened;
    }
    return opened;
}

void RegisterBookshelfPanel() {
    SetBookshelfPanelFactory(MakeBookshelf);
    SetBookshelfReloader([](QWidget* panel) {
        if (auto* page = qobject_cast<BookshelfPage*>(panel)) page->ReloadSearchEntries();
    });
}

}  // namespace quillon
