#include "gui/library/bookshelf_page.h"

#include <atomic>
#include <cstdlib>

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include "core/config/tag_file.h"
#include "core/config/window_config.h"
#include "core/library/book_store.h"
#include "core/library/folder_listing.h"
#include "core/net/url_encode.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_literal.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"
#include "gui/app/ui_fonts.h"
#include "gui/library/add_book_dialog.h"
#include "gui/library/file_list_model.h"
#include "gui/library/import_dialog.h"
#include "gui/library/list_refresher.h"
#include "gui/library/rename_dialog.h"
#include "gui/library/shelf_seams.h"

namespace quillon {

namespace {

constexpr int kDefaultWelcomeWidth = 400;
constexpr int kDefaultWelcomeHeight = 300;
constexpr int kWelcomeLimit = 4000;

// Pages made from file-type templates are numbered for the whole run, so a
// page still shown in one tab is never overwritten for another.
std::atomic<int> g_templatePageCounter{0};

QPushButton* MakeButton(QWidget* parent, const QString& text, const char* name) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QTreeView* MakeList(QWidget* parent, FileListModel* model, const char* name) {
    auto* view = new QTreeView(parent);
    view->setObjectName(QLatin1String(name));
    view->setModel(model);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);  // keeps 20,000 rows cheap to lay out
    view->setAllColumnsShowFocus(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setFont(UiFont(0));
    view->header()->setStretchLastSection(true);
    for (int c = 0; c < ShelfRow::ColumnCount; ++c)
        view->header()->resizeSection(c, kShelfColumnWidths[static_cast<size_t>(c)]);
    return view;
}

std::string ProgramTagFilePath() { return GetProgramFolder() + "data/main.htm"; }

}  // namespace

BookshelfPage::BookshelfPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("bookshelfPage"));
    // Opening the page reads the configuration afresh: the update worker may
    // have replaced data/main.htm since the last run.
    ProgramTagFile().Open(ProgramTagFilePath());
    BuildWidgets();
    ReadWelcomeSize();
    FillEngines(QByteArray());
    // The initial entry is applied like a choice of the user, so an entry
    // that opens its address does so now; deferred to the event loop because
    // the owner connects the page's requests only after constructing it.
    QTimer::singleShot(0, this, [this] { ApplyEngine(engines_->currentIndex()); });
    pathBox_->setText(FromUtf8(ProgramWindowConfig().browseFolder));
    Refresh(BothLists);
}

BookshelfPage::~BookshelfPage() {
    // Stop the listing workers before the lists they fill go away.
    delete bookRefresher_;
    delete localRefresher_;
}

void BookshelfPage::BuildWidgets() {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    setPalette(pal);
    setWindowTitle(QStringLiteral("我的书架"));

    welcome_ = new QLabel(this);
    welcome_->setObjectName(QStringLiteral("welcomeArea"));
    welcome_->setWordWrap(true);
    welcome_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    welcome_->setMargin(12);
    welcome_->setStyleSheet(QStringLiteral(
        "QLabel#welcomeArea { background: #FFFDF5; border: 1px solid #D8CCA8; color: #4A3A1A; }"));

    engines_ = new QComboBox(this);
    engines_->setObjectName(QStringLiteral("engineCombo"));
    engines_->setMinimumContentsLength(8);
    searchBox_ = new QLineEdit(this);
    searchBox_->setObjectName(QStringLiteral("searchEdit"));
    searchBox_->setFont(UiFont(3));
    auto* searchButton = MakeButton(this, QStringLiteral("搜索"), "searchButton");

    auto* addButton = MakeButton(this, QStringLiteral("加入书籍"), "addBookCommand");
    auto* importButton = MakeButton(this, QStringLiteral("导入文本"), "importCommand");
    auto* readButton = MakeButton(this, QStringLiteral("阅读小说"), "readCommand");
    auto* renameButton = MakeButton(this, QStringLiteral("书籍更名"), "renameCommand");
    auto* deleteButton = MakeButton(this, QStringLiteral("删除书籍"), "deleteCommand");
    auto* editButton = MakeButton(this, QStringLiteral("编辑书籍"), "editCommand");
    auto* downloadButton = MakeButton(this, QStringLiteral("小说下载"), "downloadCommand");

    bookModel_ = new FileListModel(this);
    localModel_ = new FileListModel(this);
    bookList_ = MakeList(this, bookModel_, "bookList");
    bookList_->viewport()->setAcceptDrops(true);
    bookList_->viewport()->installEventFilter(this);
    localList_ = MakeList(this, localModel_, "localList");

    auto* shelfTitle = new QLabel(QStringLiteral("我的书架"), this);
    shelfTitle->setObjectName(QStringLiteral("shelfTitle"));
    localTitle_ = new QLabel(QStringLiteral("本地文件"), this);
    localTitle_->setObjectName(QStringLiteral("localTitle"));
    pathBox_ = new QLineEdit(this);
    pathBox_->setObjectName(QStringLiteral("pathEdit"));
    pathBox_->setFont(UiFont(4));
    auto* browseButton = MakeButton(this, QStringLiteral("浏览目录"), "browseCommand");

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(engines_);
    searchRow->addWidget(searchBox_, 1);
    searchRow->addWidget(searchButton);

    auto* commands = new QGridLayout;
    commands->addWidget(readButton, 0, 0);
    commands->addWidget(addButton, 0, 1);
    commands->addWidget(importButton, 0, 2);
    commands->addWidget(renameButton, 0, 3);
    commands->addWidget(deleteButton, 1, 0);
    commands->addWidget(editButton, 1, 1);
    commands->addWidget(downloadButton, 1, 2, 1, 2);

    auto* top = new QVBoxLayout;
    top->addWidget(welcome_, 0, Qt::AlignHCenter);
    top->addLayout(commands);

    auto* shelfBox = new QWidget(this);
    auto* shelfLayout = new QVBoxLayout(shelfBox);
    shelfLayout->setContentsMargins(0, 0, 0, 0);
    shelfLayout->addWidget(shelfTitle);
    shelfLayout->addWidget(bookList_, 1);

    auto* localBox = new QWidget(this);
    auto* localLayout = new QVBoxLayout(localBox);
    localLayout->setContentsMargins(0, 0, 0, 0);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(localTitle_);
    pathRow->addWidget(pathBox_, 1);
    pathRow->addWidget(browseButton);
    localLayout->addLayout(pathRow);
    localLayout->addWidget(localList_, 1);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("listSplitter"));
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(shelfBox);
    splitter->addWidget(localBox);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(searchRow);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);

    bookRefresher_ = new ListRefresher(
        [this](std::vector<ShelfRow> rows) {
            bookModel_->SetRows(std::move(rows));
            UpdateWelcomeText();
            emit bookListRefreshed();
        },
        this);
    localRefresher_ = new ListRefresher(
        [this](std::vector<ShelfRow> rows) {
            localModel_->SetRows(std::move(rows));
            emit localListRefreshed();
        },
        this);

    connect(searchButton, &QPushButton::clicked, this, &BookshelfPage::Search);
    connect(searchBox_, &QLineEdit::returnPressed, this, &BookshelfPage::Search);
    connect(engines_, &QComboBox::activated, this, [this](int index) { ApplyEngine(index); });
    connect(addButton, &QPushButton::clicked, this, &BookshelfPage::AddBook);
    connect(importButton, &QPushButton::clicked, this, &BookshelfPage::ImportText);
    connect(readButton, &QPushButton::clicked, this, &BookshelfPage::ReadSelected);
    connect(renameButton, &QPushButton::clicked, this, &BookshelfPage::RenameSelected);
    connect(deleteButton, &QPushButton::clicked, this, &BookshelfPage::DeleteSelected);
    connect(editButton, &QPushButton::clicked, this, &BookshelfPage::EditSelected);
    connect(downloadButton, &QPushButton::clicked, this, &BookshelfPage::StartDownloader);
    connect(browseButton, &QPushButton::clicked, this, &BookshelfPage::BrowseFolder);
    connect(pathBox_, &QLineEdit::returnPressed, this, [this] { Refresh(LocalList); });
    connect(bookList_, &QTreeView::clicked, this,
            [this](const QModelIndex& index) { ListClicked(bookList_, index); });
    connect(localList_, &QTreeView::clicked, this,
            [this](const QModelIndex& index) { ListClicked(localList_, index); });
    connect(bookList_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& index) { OpenBookRow(index.row()); });
    connect(localList_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& index) { OpenLocalRow(index.row()); });
}

void BookshelfPage::ListClicked(QTreeView* view, const QModelIndex& index) {
    if (!index.isValid() || index.column() != ShelfRow::Action) return;
    if (view == bookList_)
        OpenBookRow(index.row());
    else
        OpenLocalRow(index.row());
}

void BookshelfPage::ReadWelcomeSize() {
    int width = kDefaultWelcomeWidth;
    int height = kDefaultWelcomeHeight;
    RawTagReader reader;
    if (reader.Open(ProgramTagFilePath()) == 0) {
        // The keys are read one after the other from one cursor, so the
        // height is the first [WELCOME_HEIGHT] after the width.
        std::string line;
        if (reader.FindKey("[WELCOME_WIDTH]", line) == 0 && reader.NextValue(line) == 0)
            width = std::atoi(line.c_str());
        if (reader.FindKey("[WELCOME_HEIGHT]", line) == 0 && reader.NextValue(line) == 0)
            height = std::atoi(line.c_str());
    }
    // A negative or absurd value would make the layout fail; 0 hides the area.
    if (width < 0 || width > kWelcomeLimit) width = kDefaultWelcomeWidth;
    if (height < 0 || height > kWelcomeLimit) height = kDefaultWelcomeHeight;
    welcomeSize_ = QSize(width, height);
    welcome_->setVisible(width > 0 && height > 0);
    welcome_->setFixedSize(welcomeSize_);
}

void BookshelfPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The welcome area keeps its configured size while the page is large
    // enough, but never takes more than a quarter of the height or the
    // page's width, so both lists stay usable in a small window.
    if (welcomeSize_.isEmpty()) return;
    int w = qMin(welcomeSize_.width(), qMax(120, width() - 12));
    int h = qMin(welcomeSize_.height(), qMax(60, height() / 4));
    welcome_->setFixedSize(w, h);
}

void BookshelfPage::UpdateWelcomeText() {
    int books = 0;
    for (int i = 0; i < bookModel_->RowCount(); ++i) {
        const ShelfRow* row = bookModel_->Row(i);
        if (row && !row->isFolder) ++books;
    }
    welcome_->setText(QStringLiteral("<p style='font-size:15px'><b>欢迎使用 Quillon 阅读器</b></p>"
                                     "<p>书架上共有 %1 本书。</p>"
                                     "<p>双击书籍，或点击“阅读文件”，开始阅读。<br>"
                                     "把 txt 文件拖到书籍列表上，就能加入书架。</p>")
                          .arg(books));
}

void BookshelfPage::FillEngines(const QByteArray& keepName) {
    entries_.LoadFromProgramTagFile();
    engines_->clear();
    std::vector<std::string> names = entries_.Names();
    int keep = -1;
    for (size_t i = 0; i < names.size(); ++i) {
        QByteArray gbk(names[i].data(), static_cast<qsizetype>(names[i].size()));
        engines_->addItem(FromGbk(names[i]), gbk);
        if (!keepName.isEmpty() && gbk == keepName && keep < 0) keep = static_cast<int>(i);
    }
    if (names.empty()) return;
    engines_->setCurrentIndex(keep >= 0 ? keep : entries_.InitialSelection());
}

void BookshelfPage::ReloadSearchEntries() {
    ProgramTagFile().Open(ProgramTagFilePath());
    FillEngines(engines_->currentData().toByteArray());
    ApplyEngine(engines_->currentIndex());
}

void BookshelfPage::ApplyEngine(int index) {
    if (index < 0 || index >= engines_->count()) return;
    QByteArray name = engines_->itemData(index).toByteArray();
    std::vector<std::string> fields = entries_.Find(std::string_view(name.constData(), static_cast<size_t>(name.size())));
    if (fields.size() <= 3) return;
    // The entry's hint is shown, never taken as typed text: a query typed
    // after it would otherwise be glued to it.
    searchBox_->clear();
    searchBox_->setPlaceholderText(FromGbk(fields[2]));
    if (SearchKindOf(fields[0]) == SearchKind::Unchanged)
        emit openUrlRequested(FromGbk(fields[1]));
}

void BookshelfPage::Search() {
    int index = engines_->currentIndex();
    if (index < 0) return;
    QString query = searchBox_->text().trimmed();
    QByteArray name = engines_->itemData(index).toByteArray();
    std::vector<std::string> fields = entries_.Find(std::string_view(name.constData(), static_cast<size_t>(name.size())));
    if (fields.size() <= 3) return;
    switch (SearchKindOf(fields[0])) {
    case SearchKind::InProgram:
        emit searchRequested(query);
        break;
    case SearchKind::Unchanged:
        emit openUrlRequested(FromGbk(fields[1]));
        break;
    case SearchKind::Pattern:
        emit openUrlRequested(FromGbk(FillSearchAddress(fields[1], UrlEncodeQuery(ToGbk(query)))));
        break;
    }
}

void BookshelfPage::Refresh(int mask) {
    if (mask & BookList) RefreshBooks();
    if (mask & LocalList) RefreshLocal();
}

bool BookshelfPage::IsRefreshing(int mask) const {
    return ((mask & BookList) && bookRefresher_->IsBusy()) || ((mask & LocalList) && localRefresher_->IsBusy());
}

void BookshelfPage::RefreshBooks() {
    bookRefresher_->Request([](const std::atomic<bool>& cancel) {
        std::vector<ShelfRow> rows;
        rows.push_back(ParentShelfRow());
        for (const BookEntry& e : BookStore::ListBooks()) {
            if (cancel.load(std::memory_order_relaxed)) break;
            rows.push_back(BookShelfRow(e));
        }
        return rows;
    });
}

void BookshelfPage::RefreshLocal() {
    std::string title = ProgramTagFile().GetValue("[TITLE_LOCAL_FILE_PATH]");
    std::string shown = ToLowerAscii(title);
    if (!title.empty()) localTitle_->setText(FromGbk(title));
    std::string folder = NormaliseBrowseFolder(ToUtf8(pathBox_->text()));
    pathBox_->setText(FromUtf8(folder));
    ProgramWindowConfig().browseFolder = folder;
    localRefresher_->Request([folder, shown](const std::atomic<bool>& cancel) {
        std::vector<ShelfRow> rows;
        std::vector<FolderEntry> entries = ListLocalFolder(folder, shown, &cancel);
        rows.reserve(entries.size());
        for (const FolderEntry& e : entries) {
            if (cancel.load(std::memory_order_relaxed)) break;
            rows.push_back(LocalShelfRow(e));
        }
        return rows;
    });
}

int BookshelfPage::SelectedBookRow() const {
    QModelIndexList rows = bookList_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return -1;
    return rows.first().row();
}

void BookshelfPage::OpenBookRow(int index) {
    const ShelfRow* row = bookModel_->Row(index);
    if (!row) return;
    if (row->isFolder) {
        Refresh(BookList);
        return;
    }
    emit openBookRequested(FromUtf8(row->path));
}

void BookshelfPage::OpenLocalRow(int index) {
    const ShelfRow* row = localModel_->Row(index);
    if (!row) return;
    if (row->isFolder) {
        FolderEntry entry;
        entry.name = row->fileName;
        entry.path = row->path;
        entry.isFolder = true;
        pathBox_->setText(FromUtf8(FolderRowTarget(entry)));
        Refresh(LocalList);
        return;
    }
    // Relative folders in the path box are relative to the program folder,
    // the current directory; the tabs need absolute paths.
    QString absolute = QFileInfo(FromUtf8(row->path)).absoluteFilePath();
    std::string ext = FileExtension(row->fileName);
    if (ext == "txt") {
        emit openBookRequested(absolute);
    } else if (ext == "html" || ext == "shtml" || ext == "htm") {
        emit openUrlRequested(QUrl::fromLocalFile(absolute).toString());
    } else {
        ShowFileThroughTemplate(absolute, ext);
    }
}

void BookshelfPage::ShowFileThroughTemplate(const QString& absolutePath, const std::string& ext) {
    std::string key = "[SHOW_FILE_TYPE_";
    for (char c : ext) key.push_back((c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c);
    key += "]";
    std::string templ = ProgramTagFile().GetValue(key);
    if (templ.empty()) return;
    // The file goes into the page as a percent-encoded URL: plain ASCII, so
    // it reads the same in the GBK page, and a quote or '<' in a file name
    // cannot break out of the attribute it is put in.
    QByteArray url = QUrl::fromLocalFile(absolutePath).toEncoded();
    std::string page = FillFileTypeTemplate(templ, std::string_view(url.constData(), static_cast<size_t>(url.size())));
    std::string folder = GetProgramFolder() + "temp/";
    EnsureFolders(folder);
    std::string path = folder + std::to_string(g_templatePageCounter.fetch_add(1)) + ".html";
    if (!WriteWholeFile(path, page)) return;
    emit openUrlRequested(QUrl::fromLocalFile(FromUtf8(path)).toString());
}

void BookshelfPage::AddBook() {
    if (RunAddBookDialog(this)) Refresh(BookList);
}

void BookshelfPage::ImportText() {
    if (!RunImportDialog(this)) return;
    if (RunAddBookDialog(this, ImportDialog::ImportFilePath())) Refresh(BookList);
}

void BookshelfPage::AddDroppedFiles(const QStringList& paths) {
    bool added = false;
    for (const QString& path : paths)
        added = RunAddBookDialog(this, path, false, SuggestedBookName(path)) || added;
    if (added) Refresh(BookList);
}

void BookshelfPage::DeleteSelected() {
    QtMessenger messenger(this);
    const ShelfRow* row = bookModel_->Row(SelectedBookRow());
    if (BookStore::DeleteBook(row ? row->rowText : std::string(), messenger)) Refresh(BookList);
}

void BookshelfPage::ReadSelected() {
    int index = SelectedBookRow();
    if (index < 0) {
        QtMessenger(this).Inform(Gbk("请从列表中选择要阅读的书籍"));
        return;
    }
    OpenBookRow(index);
}

void BookshelfPage::RenameSelected() {
    const ShelfRow* row = bookModel_->Row(SelectedBookRow());
    if (!row) {
        QtMessenger(this).Inform(Gbk("请从列表中选择要更名的书籍"));
        return;
    }
    if (row->isFolder) return;
    if (RunRenameDialog(this, BookNameFromRow(row->rowText))) Refresh(BookList);
}

void BookshelfPage::EditSelected() {
    const ShelfRow* row = bookModel_->Row(SelectedBookRow());
    if (!row) {
        QtMessenger(this).Inform(Gbk("请从列表中选择要编辑的书籍"));
        return;
    }
    if (row->isFolder) return;
    QString file = FromUtf8(row->path);
    QStringList command = QProcess::splitCommand(qEnvironmentVariable("VISUAL"));
    if (!command.isEmpty()) {
        QString program = command.takeFirst();
        if (StartProgram(program, command << file)) return;
    }
    StartProgram(QStringLiteral("xdg-open"), {file});
}

void BookshelfPage::StartDownloader() {
    std::string program = GetDownloaderProgram();
    if (FileExists(program) && StartProgram(FromUtf8(program), {})) return;
    QtMessenger(this).Inform(
        Gbk("所需文件未找到,请重启软件再试,若多次重试不行,请从官网下载最新版本"));
}

void BookshelfPage::BrowseFolder() {
    QString folder = PickFolderName(this, QStringLiteral("请选择浏览的目录"), pathBox_->text());
    EnterProgramFolder();
    if (folder.isEmpty()) return;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    pathBox_->setText(folder);
    ProgramWindowConfig().browseFolder = ToUtf8(folder);
    Refresh(LocalList);
}

bool BookshelfPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched != bookList_->viewport()) return QWidget::eventFilter(watched, event);
    auto textFiles = [](const QMimeData* mime) {
        QStringList paths;
        if (!mime || !mime->hasUrls()) return paths;
        for (const QUrl& url : mime->urls()) {
            QString path = url.toLocalFile();
            if (!path.isEmpty() && path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive) &&
                QFileInfo(path).isFile())
                paths << path;
        }
        return paths;
    };
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(event);
        if (textFiles(e->mimeData()).isEmpty()) {
            e->ignore();
        } else {
            e->setDropAction(Qt::CopyAction);
            e->accept();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        QStringList paths = textFiles(e->mimeData());
        if (paths.isEmpty()) return true;
        e->setDropAction(Qt::CopyAction);
        e->accept();
        // The dialogs are modal; running them inside the drop would keep the
        // dragging program waiting for the drop to finish.
        QTimer::singleShot(0, this, [this, paths] { AddDroppedFiles(paths); });
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

}  // namespace quillon
