#include "gui/net/book_search_page.h"

#include <mutex>

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTreeWidget>

#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"

namespace quillon {

namespace {

constexpr int kFieldLeft = 90;
constexpr int kFieldRight = 90;
constexpr int kButtonWidth = 85;
constexpr int kListTop = 38;
constexpr int kStatusHeight = 23;
constexpr int kRefocusDelayMs = 100;
// Each item keeps the row's own GBK bytes, so the report carries exactly
// what the index holds whatever the screen made of it.
constexpr int kGbkRole = Qt::UserRole;

std::string TagFilePath() { return GetProgramFolder() + "data/main.htm"; }

QByteArray Bytes(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }
std::string ItemGbk(const QTreeWidgetItem* item, int column) {
    return item->data(column, kGbkRole).toByteArray().toStdString();
}

}  // namespace

// Hands a search thread's calls to the page on the interface thread. The
// page detaches it when it is destroyed or starts another search; from then
// on the calls go nowhere. The lock makes "still attached" and "posted"
// one step, so nothing is posted to a page being destroyed.
class BookSearchRelay final : public BookSearchObserver {
public:
    BookSearchRelay(BookSearchPage* page, int search) : page_(page), search_(search) {}

    void Detach() {
        std::lock_guard<std::mutex> lock(mutex_);
        page_ = nullptr;
    }

    void RowsCleared() override {
        Post([](BookSearchPage* p, int s) { p->ClearRows(s); });
    }
    void RowsFound(std::vector<BookSearchRow> rows) override {
        Post([rows = std::move(rows)](BookSearchPage* p, int s) mutable { p->AddRows(s, std::move(rows)); });
    }
    void StatusChanged(int total, int found, const std::string& message) override {
        Post([total, found, message](BookSearchPage* p, int s) { p->ShowStatus(s, total, found, message); });
    }
    void MessageRaised(const std::string& text, bool refocus) override {
        Post([text, refocus](BookSearchPage* p, int s) { p->ShowMessage(s, text, refocus); });
    }
    void SearchEnded(int) override {
        Post([](BookSearchPage* p, int s) { p->EndSearch(s); });
    }

private:
    template <typename F>
    void Post(F&& call) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!page_) return;
        BookSearchPage* page = page_;
        int search = search_;
        // Queued to the page: if it is deleted before the call runs, Qt
        // drops the call with it.
        QMetaObject::invokeMethod(
            page, [page, search, call = std::forward<F>(call)]() mutable { call(page, search); },
            Qt::QueuedConnection);
    }

    std::mutex mutex_;
    BookSearchPage* page_ = nullptr;
    const int search_;
};

BookSearchPage::BookSearchPage(QWidget* parent, BookIndex* index)
    : QWidget(parent), index_(index ? index : &ProgramBookIndex()) {
    setObjectName(QStringLiteral("bookSearchPage"));
    settings_ = LoadBookSearchSettings(TagFilePath());

    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(240, 240, 240));
    setPalette(pal);
    setAutoFillBackground(true);

    label_ = new QLabel(QStringLiteral("小说名称:"), this);
    label_->setObjectName(QStringLiteral("searchLabel"));
    label_->setAttribute(Qt::WA_TranslucentBackground);
    query_ = new QLineEdit(this);
    query_->setObjectName(QStringLiteral("searchQuery"));
    button_ = new QPushButton(QStringLiteral("搜索...."), this);
    button_->setObjectName(QStringLiteral("searchButton"));
    button_->setAutoDefault(false);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("searchResults"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->setHeaderLabels({QStringLiteral("文章标题"), QStringLiteral("操作"), QStringLiteral("来源网站"),
                            QStringLiteral("网址")});
    const int widths[] = {280, 80, 120, 280};
    for (int c = 0; c < 4; ++c) list_->setColumnWidth(c, widths[c]);
    list_->header()->setStretchLastSection(false);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("searchStatus"));
    status_->setAttribute(Qt::WA_TranslucentBackground);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    refocusTimer_.setSingleShot(true);
    refocusTimer_.setInterval(kRefocusDelayMs);
    connect(&refocusTimer_, &QTimer::timeout, query_, [this] { query_->setFocus(Qt::OtherFocusReason); });
    connect(query_, &QLineEdit::returnPressed, this, &BookSearchPage::StartSearch);
    connect(button_, &QPushButton::clicked, this, &BookSearchPage::StartSearch);
    connect(list_, &QTreeWidget::itemClicked, this, &BookSearchPage::RowClicked);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) { OpenItem(item); });

    total_ = index_->state() == BookIndex::kLoaded ? index_->total() : 0;
    SetStatusMessage(std::string());
    resize(760, 480);
    Relayout();
}

BookSearchPage::~BookSearchPage() {
    // The thread may still be reading the index; it is told to stop and
    // left to end by itself, posting nothing more.
    if (relay_) relay_->Detach();
    job_.reset();
}

void BookSearchPage::SetQuery(const QString& query) { query_->setText(query); }

void BookSearchPage::StartSearch() {
    if (relay_) relay_->Detach();
    job_.reset();
    ++search_;
    std::string query = ToGbk(query_->text());
    emit searchStarted(FromGbk(TrimAscii(query)));
    relay_ = std::make_shared<BookSearchRelay>(this, search_);
    job_ = BookSearchJob::Start(*index_, relay_, std::move(query), settings_);
}

QString BookSearchPage::ResultAddress(const QString& words) const {
    if (settings_.resultUrl.empty()) return {};
    return FromGbk(FillSearchQuery(settings_.resultUrl, ToGbk(words)));
}

void BookSearchPage::ClearRows(int search) {
    if (search != search_) return;
    list_->clear();
    found_ = 0;
}

void BookSearchPage::AddRows(int search, std::vector<BookSearchRow> rows) {
    if (search != search_) return;
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const BookSearchRow& row : rows) {
        auto* item = new QTreeWidgetItem();
        const std::string* columns[] = {&row.title, &row.action, &row.site, &row.url};
        for (int c = 0; c < 4; ++c) {
            item->setText(c, FromGbk(*columns[c]));
            item->setData(c, kGbkRole, Bytes(*columns[c]));
        }
        items.append(item);
    }
    list_->addTopLevelItems(items);
}

void BookSearchPage::ShowStatus(int search, int total, int found, const std::string& message) {
    if (search != search_) return;
    total_ = total;
    found_ = found;
    SetStatusMessage(message);
}

void BookSearchPage::ShowMessage(int search, const std::string& text, bool refocus) {
    if (search != search_) return;
    QtMessenger(this).Inform(text, refocus ? MessageKind::Information : MessageKind::Warning);
    if (refocus) refocusTimer_.start();
}

void BookSearchPage::EndSearch(int search) {
    if (search == search_) emit searchEnded();
}

void BookSearchPage::SetStatusMessage(const std::string& message) {
    status_->setText(FromGbk(SearchStatusText(total_, found_, message)));
}

void BookSearchPage::RowClicked(QTreeWidgetItem* item, int column) {
    if (!item) return;
    BookSearchRow row{ItemGbk(item, kTitleColumn), ItemGbk(item, kActionColumn), ItemGbk(item, kSiteColumn),
                      ItemGbk(item, kUrlColumn)};
    SetStatusMessage(SearchRowDescription(row));
    if (column == kActionColumn) OpenItem(item);
}

void BookSearchPage::OpenRow(int row) { OpenItem(list_->topLevelItem(row)); }

void BookSearchPage::OpenItem(QTreeWidgetItem* item) {
    if (!item) return;
    std::string url = ItemGbk(item, kUrlColumn);
    if (TrimAscii(url).empty()) return;
    emit openUrlRequested(FromGbk(url));
    std::string address = ReadSearchReportAddress(TagFilePath());
    if (!TrimAscii(address).empty())
        StartSearchReport(std::move(address), ItemGbk(item, kTitleColumn), ItemGbk(item, kSiteColumn), std::move(url));
}

void BookSearchPage::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // The pane sits in a page host; let no key close or "accept" it.
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void BookSearchPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Relayout();
}

void BookSearchPage::Relayout() {
    const int w = width();
    const int h = height();
    label_->setGeometry(4, 8, kFieldLeft - 8, 22);
    query_->setGeometry(kFieldLeft, 8, std::max(0, w - kFieldLeft - kFieldRight), 22);
    button_->setGeometry(std::max(0, w - kButtonWidth), 6, kButtonWidth - 4, 26);
    list_->setGeometry(0, kListTop, w, std::max(0, h - kListTop - kStatusHeight));
    status_->setGeometry(0, std::max(0, h - kStatusHeight), w, kStatusHeight);
}

}  // namespace quillon
