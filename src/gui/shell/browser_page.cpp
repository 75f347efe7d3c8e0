#include "gui/shell/browser_page.h"

#include <QFileInfo>
#include <QResizeEvent>
#include <QUrl>
#include <QWebEngineView>

#include "core/library/book_text.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/reader/book_text_choice.h"
#include "core/text/gbk_literal.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"
#include "gui/shell/external_object.h"
#include "gui/shell/main_frame.h"

namespace quillon {

namespace {
const QString kFilePathPrefix = QStringLiteral("//FilePath//");
const QString kBlank = QStringLiteral("about:blank");
}  // namespace

BrowserWebPage::BrowserWebPage(BrowserPage* host, QObject* parent) : QWebEnginePage(parent), host_(host) {
    AttachExternalObject(this);
}

QWebEnginePage* BrowserWebPage::createWindow(WebWindowType /*type*/) {
    if (!host_ || !host_->frame()) return nullptr;
    BrowserPage* page = host_->frame()->OpenBlankTab();
    // Null when the strip is full: the engine then drops the pop-up.
    return page ? page->webPage() : nullptr;
}

void BrowserWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                              const QString&) {}

BrowserPage::BrowserPage(CMainFrame* frame, QWidget* parent) : QWidget(parent), frame_(frame) {
    setObjectName(QStringLiteral("browserPage"));
    browser_ = new QWebEngineView(this);
    browser_->setObjectName(QStringLiteral("browser"));
    webPage_ = new BrowserWebPage(this, browser_);
    browser_->setPage(webPage_);
    connect(webPage_, &QWebEnginePage::titleChanged, this, &BrowserPage::BrowserTitleChanged);
    Relayout();
}

BrowserPage::~BrowserPage() = default;

void BrowserPage::MakeMain() {
    closable_ = false;
    kind_ = 1;
    if (!bookshelf_) {
        if (const auto& factory = GetBookshelfPanelFactory()) {
            bookshelf_ = factory(this);
            if (bookshelf_) bookshelf_->show();
        }
    }
    SetTitle(QStringLiteral("主窗口"));
    Relayout();
}

void BrowserPage::SetDeferred(bool closable, const QString& title, const QString& address) {
    closable_ = closable;
    deferredAddress_ = address;
    deferredPending_ = true;
    SetTitle(title);
}

void BrowserPage::Activate() {
    if (!deferredPending_ || deferredAddress_.isEmpty()) return;
    deferredPending_ = false;
    Navigate(deferredAddress_);
    deferredAddress_.clear();
}

int BrowserPage::OpenBook(const QString& target) {
    if (target.isEmpty()) return 1;
    QString path;
    QString name;
    if (target.startsWith(kFilePathPrefix)) {
        path = target.mid(kFilePathPrefix.size());
        name = QFileInfo(path).fileName();
        qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot >= 0) name.truncate(dot);
    } else {
        name = target;
        path = FromUtf8(GetProgramFolder()) + QStringLiteral("book/") + name + QStringLiteral(".txt");
    }

    std::shared_ptr<const BookText> text;
    const BookReadResult read =
        ReadBookForReading(ToUtf8(path), LoadBookTextChoice(ToGbk(name)), text);
    if (!read.ok) {
        // A file that is there but cannot be read (no permission, a folder)
        // is not "not found": the user would look for it in vain.
        QtMessenger(this).Inform(FileExists(ToUtf8(path)) ? Gbk("打开文件失败，无法读取该文件。")
                                                           : Gbk("打开文件失败，指定名字的小说未找到。"),
                                 MessageKind::Warning);
        return 2;
    }
    if (read.truncated) {
        QtMessenger(this).Inform(Gbk("这本书超过2GB，只打开了它的前2GB。"), MessageKind::Warning);
    }

    SetTitle(name + QStringLiteral("_阅读"));
    if (!readingWidget_) {
        const auto& factory = GetReadingPanelFactory();
        if (!factory) return 1;
        reading_ = factory(this);
        readingWidget_ = reading_.widget;
        if (!readingWidget_) return 1;
        readingWidget_->show();
        if (reading_.adHeight > 0 && !reading_.topUrl.isEmpty()) Navigate(reading_.topUrl);
    }
    Relayout();
    if (reading_.load) reading_.load(std::move(text), ToUtf8(path), ToGbk(name));
    bookRef_ = target;
    readingWidget_->setFocus();
    return 0;
}

int BrowserPage::OpenSearch(const QString& words, const QString& extra) {
    if (!searchWidget_) {
        if (const auto& factory = GetSearchPanelFactory()) {
            search_ = factory(this, words, extra);
            searchWidget_ = search_.widget;
            if (searchWidget_) searchWidget_->show();
        }
    }
    Relayout();
    SetTitle(QStringLiteral("小说搜索_") + words);
    if (searchWidget_ && search_.resultAddress) Navigate(search_.resultAddress(words));
    if (searchWidget_ && search_.start) search_.start(words);
    return 0;
}

int BrowserPage::OpenScrollDisplay(const QString& title, std::string_view gbkText) {
    const auto& opener = GetScrollDisplayOpener();
    if (!opener) return 1;
    QWidget* bar = opener(this, topBar_, title, gbkText);
    if (bar != topBar_) {
        delete topBar_;
        topBar_ = bar;
    }
    if (topBar_) topBar_->show();
    Relayout();
    return topBar_ ? 0 : 1;
}

void BrowserPage::SetTitle(const QString& text) {
    title_ = text;
    if (frame_) frame_->PageTitleChanged(this);
}

void BrowserPage::BrowserTitleChanged(const QString& title) {
    browserTitle_ = title;
    if (frame_) frame_->PageTitleChanged(this);
}

void BrowserPage::Navigate(const QString& address) {
    if (address.isEmpty()) return;
    browser_->setUrl(QUrl::fromUserInput(address));
}

void BrowserPage::Close() {
    // Panels go before the browser: a reading panel stops its speech and a
    // search panel its worker while the page they report to still exists.
    delete searchWidget_;
    delete topBar_;
    delete bookshelf_;
    delete readingWidget_;
    reading_ = {};
    search_ = {};
    hide();
    deleteLater();
}

void BrowserPage::Relayout() {
    QRect r = rect();
    if (bookshelf_) {
        QRect shelf = r;
        shelf.setWidth(std::max(0, r.width() - kBookshelfBrowserWidth));
        bookshelf_->setGeometry(shelf);
        r.setLeft(shelf.right() + 1);
    }
    if (readingWidget_) {
        readingWidget_->setGeometry(r);
        r = QRect(r.topLeft(), QSize(0, 0));
    }
    if (topBar_) {
        QRect bar = r;
        bar.setHeight(std::min(kTopBarHeight, r.height()));
        topBar_->setGeometry(bar);
        r.setTop(bar.bottom() + 1);
    }
    if (searchWidget_) {
        QRect panel = r;
        panel.setWidth(std::max(0, r.width() - kSearchBrowserWidth));
        searchWidget_->setGeometry(panel);
        r.setLeft(panel.right() + 1);
    }
    browser_->setGeometry(r);
    browser_->setVisible(!r.isEmpty());
}

void BrowserPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Relayout();
}

}  // namespace quillon
