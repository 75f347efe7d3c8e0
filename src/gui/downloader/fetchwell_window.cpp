#include "gui/downloader/fetchwell_window.h"

#include <utility>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "core/downloader/analysis_worker.h"
#include "core/downloader/book_merger.h"
#include "core/downloader/fetch_limits.h"
#include "core/downloader/start_addresses.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"
#include "gui/app/ui_fonts.h"
#include "gui/downloader/browser_page_loader.h"
#include "gui/downloader/dialog_seams.h"
#include "gui/downloader/fetchwell_about_dialog.h"
#include "gui/downloader/link_list_view.h"
#include "gui/downloader/settings_dialog.h"

namespace quillon {

namespace {

// Posts `call` to run on the window's thread. The window joins its workers
// before it is destroyed, so `window` is alive while a worker posts; the
// QPointer catches a call that is still queued when the window has gone.
template <typename Call>
void PostTo(FetchwellWindow* window, Call call) {
    QPointer<FetchwellWindow> guard(window);
    QMetaObject::invokeMethod(
        window,
        [guard, call = std::move(call)]() mutable {
            if (guard) call(guard.data());
        },
        Qt::QueuedConnection);
}

QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    // A default button would swallow Return in the address field.
    b->setAutoDefault(false);
    return b;
}

QLineEdit* MakeField(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setReadOnly(true);
    return e;
}

}  // namespace

struct FetchwellWindow::AnalysisRun final : AnalysisObserver {
    AnalysisRun(FetchwellWindow* w, std::uint64_t runId) : window(w), id(runId), worker(*this) {}

    void OnStatus(const std::string& text) override {
        PostTo(window, [id = id, text](FetchwellWindow* w) {
            if (w->IsCurrentAnalysis(id)) w->ShowStatus(FromGbk(text));
        });
    }
    void OnLinks(const LinkList& links) override {
        PostTo(window, [id = id, links](FetchwellWindow* w) { w->AddRows(id, links); });
    }
    void OnCount(const std::string& text) override {
        PostTo(window, [id = id, text](FetchwellWindow* w) {
            if (w->IsCurrentAnalysis(id)) w->ShowCount(FromGbk(text));
        });
    }
    void OnTitle(const std::string& title) override {
        PostTo(window, [id = id, title](FetchwellWindow* w) { w->SetPageTitle(id, title); });
    }
    void OnFinished(int) override {
        PostTo(window, [id = id](FetchwellWindow* w) { w->EndAnalysis(id); });
    }

    FetchwellWindow* window;
    std::uint64_t id;
    AnalysisWorker worker;  // last: stopped and joined before the rest goes
};

struct FetchwellWindow::DownloadRun final : DownloadObserver {
    DownloadRun(FetchwellWindow* w, std::uint64_t listGeneration)
        : window(w), generation(listGeneration), worker(*this) {}

    void OnStatus(const std::string& text) override {
        PostTo(window, [text](FetchwellWindow* w) { w->ShowStatus(FromGbk(text)); });
    }
    void OnCount(const std::string& text) override {
        PostTo(window, [text](FetchwellWindow* w) { w->ShowCount(FromGbk(text)); });
    }
    void OnSaveFolder(const std::string& folder) override {
        PostTo(window, [folder](FetchwellWindow* w) { w->ShowSaveFolder(FromUtf8(folder)); });
    }
    // Held for the OnRowDone that follows at once, on the worker's thread.
    void OnRowFiles(size_t, const std::string& htmlFile, const std::string& txtFile) override {
        html = htmlFile;
        txt = txtFile;
    }
    void OnRowDone(size_t row, const std::string& state, const std::string& saved) override {
        PostTo(window, [g = generation, row, state, saved, html = std::move(html),
                        txt = std::move(txt)](FetchwellWindow* w) {
            w->MarkRow(g, row, FromGbk(state), FromUtf8(saved), html, txt);
        });
        html.clear();
        txt.clear();
    }
    void OnRowState(size_t row, const std::string& state) override {
        PostTo(window, [g = generation, row, state](FetchwellWindow* w) {
            w->ShowRowState(g, row, FromGbk(state));
        });
    }
    void OnFinished(const DownloadSummary& summary) override {
        PostTo(window, [summary](FetchwellWindow* w) { w->EndDownload(summary); });
    }

    FetchwellWindow* window;
    std::uint64_t generation;
    std::string html, txt;  // the files of the row being reported
    DownloadWorker worker;
};

QString BuiltInStartPage() {
    return QStringLiteral(
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Fetchwell</title>"
        "<style>body{font-family:'宋体',serif;font-size:14px;margin:12px 20px;color:#222;"
        "background:#f7f9fc}h2{color:#1c5180;margin:4px 0 8px}li{margin:3px 0}</style></head>"
        "<body><h2>Fetchwell 小说下载</h2><ol>"
        "<li>在下面的地址栏填入小说目录页的网址，按“分析网址”。</li>"
        "<li>在列表中勾选要下载的章节：点“选中”一栏，或用“全部选中”“全部取消”“反选”。</li>"
        "<li>按“下载小说”。章节保存为 txt 和/或 html 文件，“参数设置”可改保存目录和格式。</li>"
        "<li>下载完成后按“打开目录”查看保存的文件。</li>"
        "</ol></body></html>");
}

FetchwellWindow::FetchwellWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("fetchwellWindow"));
    setWindowTitle(QStringLiteral("Fetchwell"));
    setWindowIcon(FetchwellIcon());
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    browser_ = new BrowserPageLoader(this);
    BuildWidgets();

    settings_ = LoadSettings();
    preferences_ = LoadPreferences();
    browser_->SetUserAgent(FromUtf8(preferences_.userAgent));
    shelfBox_->setChecked(preferences_.addToShelf);
    // The tick only means something beside the reader.
    shelfBox_->setVisible(!ReaderShelfFolder().empty());
    StartAddresses start = LoadStartAddresses(GetProgramFolder() + "data/main.htm");
    LoadStartPage(start.topUrl);
    addressEdit_->setText(FromGbk(start.defaultUrl));
    resize(820, 680);
}

FetchwellWindow::~FetchwellWindow() {
    // Ask every worker to stop first, so they wind down together, then join
    // them (each ends within a second) while the window is still whole.
    for (auto& run : analysisRuns_) run->worker.Stop();
    if (downloadRun_) downloadRun_->worker.Stop();
    analysisRuns_.clear();
    downloadRun_.reset();
}

void FetchwellWindow::BuildWidgets() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);

    webView_ = new QWebEngineView(this);
    webView_->setObjectName(QStringLiteral("webView"));
    webView_->setMinimumHeight(120);
    layout->addWidget(webView_, 2);

    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(new QLabel(QStringLiteral("目录页网址:"), this));
    addressEdit_ = new QLineEdit(this);
    addressEdit_->setObjectName(QStringLiteral("addressEdit"));
    addressRow->addWidget(addressEdit_, 1);
    analyseButton_ = MakeButton(QStringLiteral("分析网址"), "analyseButton", this);
    addressRow->addWidget(analyseButton_);
    analysePageButton_ = MakeButton(QStringLiteral("分析当前页面"), "analysePageButton", this);
    addressRow->addWidget(analysePageButton_);
    layout->addLayout(addressRow);

    auto* commandRow = new QHBoxLayout;
    selectAllButton_ = MakeButton(QStringLiteral("全部选中"), "selectAllButton", this);
    clearAllButton_ = MakeButton(QStringLiteral("全部取消"), "clearAllButton", this);
    invertButton_ = MakeButton(QStringLiteral("反选"), "invertButton", this);
    settingsButton_ = MakeButton(QStringLiteral("参数设置"), "settingsButton", this);
    downloadButton_ = MakeButton(QStringLiteral("下载小说"), "downloadButton", this);
    stopButton_ = MakeButton(QStringLiteral("停止下载"), "stopButton", this);
    aboutButton_ = MakeButton(QStringLiteral("关于软件"), "aboutButton", this);
    stopButton_->setEnabled(false);
    for (QPushButton* b : {selectAllButton_, clearAllButton_, invertButton_, settingsButton_,
                           downloadButton_, stopButton_})
        commandRow->addWidget(b);
    commandRow->addStretch();
    commandRow->addWidget(aboutButton_);
    layout->addLayout(commandRow);

    list_ = new LinkListView(this);
    layout->addWidget(list_, 3);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("保存位置"), this));
    saveFolderEdit_ = MakeField("saveFolderEdit", this);
    folderRow->addWidget(saveFolderEdit_, 1);
    openFolderButton_ = MakeButton(QStringLiteral("打开目录"), "openFolderButton", this);
    folderRow->addWidget(openFolderButton_);
    layout->addLayout(folderRow);

    auto* bookRow = new QHBoxLayout;
    mergeButton_ = MakeButton(QStringLiteral("合并成一本书"), "mergeButton", this);
    epubButton_ = MakeButton(QStringLiteral("导出EPUB"), "epubButton", this);
    shelfBox_ = new QCheckBox(QStringLiteral("加入Quillon书架"), this);
    shelfBox_->setObjectName(QStringLiteral("shelfBox"));
    bookRow->addWidget(mergeButton_);
    bookRow->addWidget(epubButton_);
    bookRow->addWidget(shelfBox_);
    bookRow->addStretch();
    layout->addLayout(bookRow);

    auto* statusRow = new QHBoxLayout;
    countEdit_ = MakeField("countEdit", this);
    countEdit_->setFixedWidth(90);
    statusRow->addWidget(countEdit_);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("downloadProgress"));
    progress_->setFixedWidth(150);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setFormat(QStringLiteral("%v/%m"));
    progress_->setTextVisible(false);  // no "0/1" before the first download
    statusRow->addWidget(progress_);
    statusEdit_ = MakeField("statusEdit", this);
    statusRow->addWidget(statusEdit_, 1);
    layout->addLayout(statusRow);

    connect(analyseButton_, &QPushButton::clicked, this, &FetchwellWindow::Analyse);
    connect(addressEdit_, &QLineEdit::returnPressed, this, &FetchwellWindow::Analyse);
    connect(selectAllButton_, &QPushButton::clicked, list_, &LinkListView::SelectAll);
    connect(clearAllButton_, &QPushButton::clicked, list_, &LinkListView::ClearAll);
    connect(invertButton_, &QPushButton::clicked, list_, &LinkListView::Invert);
    connect(settingsButton_, &QPushButton::clicked, this, &FetchwellWindow::OpenSettings);
    connect(downloadButton_, &QPushButton::clicked, this, &FetchwellWindow::StartDownload);
    connect(stopButton_, &QPushButton::clicked, this, &FetchwellWindow::StopDownload);
    connect(aboutButton_, &QPushButton::clicked, this, &FetchwellWindow::ShowAbout);
    connect(openFolderButton_, &QPushButton::clicked, this, &FetchwellWindow::OpenSaveFolder);
    connect(analysePageButton_, &QPushButton::clicked, this, &FetchwellWindow::AnalyseCurrentPage);
    connect(mergeButton_, &QPushButton::clicked, this, &FetchwellWindow::MergeBook);
    connect(epubButton_, &QPushButton::clicked, this, &FetchwellWindow::ExportEpub);
    connect(shelfBox_, &QCheckBox::toggled, this, [this](bool on) {
        preferences_.addToShelf = on;
        SavePreferences(preferences_);
    });
    connect(list_, &LinkListView::addressClicked, this, [](const QString& address) {
        // Only web addresses go to the desktop: a page's link text must
        // never make the desktop open a local file or run a program.
        QUrl url(address);
        if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
            OpenWithDesktop(url);
    });
}

void FetchwellWindow::LoadStartPage(const std::string& topUrl) {
    if (topUrl == kBuiltInTopUrl) {
        webView_->setHtml(BuiltInStartPage());
        return;
    }
    webView_->setUrl(QUrl::fromUserInput(FromGbk(topUrl)));
}

void FetchwellWindow::keyPressEvent(QKeyEvent* event) {
    // Escape would close the whole program (this dialog is its only window),
    // possibly in the middle of a download.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FetchwellWindow::Analyse() {
    list_->RemoveAllRows();
    // Only the newest run may fill the list: the rows of two runs would be
    // mixed, and a slow old page could overwrite the one just asked for.
    for (auto& run : analysisRuns_) run->worker.Stop();
    pageTitle_.clear();
    auto run = std::make_unique<AnalysisRun>(this, ++lastAnalysisId_);
    FetchOptions options = LoadFetchLimits();
    options.userAgent = preferences_.userAgent;
    run->worker.Start(ToGbk(addressEdit_->text().trimmed()), options,
                      preferences_.useBrowser ? browser_->MakeLoader() : PageLoader());
    analysisRuns_.push_back(std::move(run));
}

void FetchwellWindow::AddRows(std::uint64_t runId, const LinkList& links) {
    if (!IsCurrentAnalysis(runId)) return;
    list_->setUpdatesEnabled(false);
    for (const LinkEntry& e : links) list_->AppendRow(QStringLiteral("0000"), e.title, e.url);
    list_->setUpdatesEnabled(true);
}

void FetchwellWindow::EndAnalysis(std::uint64_t runId) {
    for (auto it = analysisRuns_.begin(); it != analysisRuns_.end(); ++it) {
        if ((*it)->id == runId) {
            analysisRuns_.erase(it);
            break;
        }
    }
    if (IsCurrentAnalysis(runId)) emit analysisFinished();
}

void FetchwellWindow::StartDownload() {
    if (downloadRun_) return;
    if (list_->rowCount() == 0 || list_->CheckedCount() == 0) {
        QtMessenger(this).Inform(Gbk("请从列表中选择要下载的网址"));
        return;
    }
    DownloadJob job = CurrentJob();
    job.preferences = preferences_;
    job.fetchOptions = LoadFetchLimits();
    job.fetchOptions.userAgent = preferences_.userAgent;
    if (preferences_.useBrowser) job.pageLoader = browser_->MakeLoader();
    const int total = list_->CheckedCount();
    rowsFinished_ = 0;
    progress_->setRange(0, total);
    progress_->setValue(0);
    progress_->setTextVisible(true);
    downloadButton_->setEnabled(false);
    stopButton_->setEnabled(true);
    downloadRun_ = std::make_unique<DownloadRun>(this, list_->generation());
    downloadRun_->worker.Start(std::move(job));
}

void FetchwellWindow::StopDownload() {
    if (!downloadRun_) return;
    // The worker abandons its fetch within a second and then reports its
    // end, which gives the download button back.
    downloadRun_->worker.Stop();
    stopButton_->setEnabled(false);
    ShowStatus(QStringLiteral("终止下载"));
}

void FetchwellWindow::ShowStatus(const QString& text) { statusEdit_->setText(text); }

void FetchwellWindow::ShowCount(const QString& text) { countEdit_->setText(text); }

void FetchwellWindow::ShowSaveFolder(const QString& folder) { saveFolderEdit_->setText(folder); }

void FetchwellWindow::MarkRow(std::uint64_t listGeneration, size_t row, const QString& state,
                              const QString& saved, const std::string& htmlFile,
                              const std::string& txtFile) {
    progress_->setValue(++rowsFinished_);
    // A new analysis since the start has replaced the rows: the row number
    // now names another chapter.
    if (listGeneration != list_->generation()) return;
    const int r = static_cast<int>(row);
    list_->SetCellText(r, LinkListView::SavedColumn, saved);
    list_->SetCellText(r, LinkListView::StateColumn, state);
    list_->SetOutcome(r, htmlFile, txtFile, htmlFile.empty() && txtFile.empty());
}

void FetchwellWindow::ShowRowState(std::uint64_t listGeneration, size_t row, const QString& state) {
    if (listGeneration != list_->generation()) return;
    list_->SetCellText(static_cast<int>(row), LinkListView::StateColumn, state);
}

void FetchwellWindow::SetPageTitle(std::uint64_t runId, const std::string& title) {
    if (IsCurrentAnalysis(runId)) pageTitle_ = title;
}

DownloadJob FetchwellWindow::CurrentJob() const {
    DownloadJob job;
    job.address = ToGbk(addressEdit_->text());
    job.settings = settings_;
    job.rows.reserve(static_cast<size_t>(list_->rowCount()));
    for (int r = 0; r < list_->rowCount(); ++r) {
        DownloadRow row{list_->IsChecked(r), list_->CellBytes(r, LinkListView::TitleColumn),
                        list_->CellBytes(r, LinkListView::AddressColumn)};
        list_->Outcome(r, row);
        job.rows.push_back(std::move(row));
    }
    return job;
}

void FetchwellWindow::AnalyseCurrentPage() {
    QWebEnginePage* page = webView_->page();
    const QString url = page->url().toString(QUrl::FullyEncoded);
    list_->RemoveAllRows();
    for (auto& run : analysisRuns_) run->worker.Stop();
    const std::uint64_t id = ++lastAnalysisId_;
    ShowStatus(QStringLiteral("分析当前页面...."));
    QPointer<FetchwellWindow> self(this);
    BrowserPageLoader::Capture(page, BrowserPageLoader::Timing(), [self, id, url](bool ok, const QString& html) {
        if (!self || !self->IsCurrentAnalysis(id)) return;
        LinkList links;
        std::string text = ok ? BrowserPageLoader::ForAnalysis(html) : std::string();
        HtmlPageParser parser;
        parser.ExtractLinks(text, ToGbk(url), links);
        // The book folder and the merged book are named after this page.
        self->addressEdit_->setText(url);
        self->pageTitle_ = PageTitle(text);
        self->AddRows(id, links);
        self->ShowStatus(FromGbk(Gbk(ok ? "下载完成" : "下载失败")));
        self->ShowCount(FromGbk(Format(Gbk("共 %d").c_str(), static_cast<int>(links.size()))));
        emit self->analysisFinished();
    });
}

void FetchwellWindow::MergeBook() { FinishBook(false); }

void FetchwellWindow::ExportEpub() { FinishBook(true); }

void FetchwellWindow::FinishBook(bool epub) {
    const DownloadJob job = CurrentJob();
    if (list_->CheckedCount() == 0) {
        QtMessenger(this).Inform(Gbk("请从列表中选择要下载的网址"));
        return;
    }
    // The name, editable before saving.
    QDialog ask(this);
    ask.setObjectName(QStringLiteral("bookNameDialog"));
    ask.setWindowTitle(epub ? QStringLiteral("导出EPUB") : QStringLiteral("合并成一本书"));
    auto* layout = new QVBoxLayout(&ask);
    layout->addWidget(new QLabel(QStringLiteral("书名:"), &ask));
    auto* nameEdit = new QLineEdit(FromUtf8(BookFileName(pageTitle_.empty() ? job.address : pageTitle_)), &ask);
    nameEdit->setObjectName(QStringLiteral("bookNameEdit"));
    nameEdit->setMinimumWidth(320);
    layout->addWidget(nameEdit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &ask);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &ask, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &ask, &QDialog::reject);
    if (RunModal(ask) != QDialog::Accepted) return;
    const std::string bookTitle = Utf8ToGbk(ToUtf8(nameEdit->text().trimmed()));
    const std::string name = BookFileName(bookTitle);

    std::vector<std::string> missing;
    const std::string shelf = shelfBox_->isChecked() ? ReaderShelfFolder() : std::string();
    const std::string folder = shelf.empty() ? BookFolderOf(job) : shelf;
    EnsureFolders(folder);
    const std::string path = folder + name + (epub ? ".epub" : ".txt");
    std::string error;
    int merged = 0;
    bool written = false;
    if (epub) {
        const std::vector<BookChapter> chapters = CollectSavedChapters(job, missing);
        merged = static_cast<int>(chapters.size());
        written = WriteEpub(path, bookTitle, chapters, error);
    } else {
        written = WriteMergedBook(path, job, merged, missing);
    }
    std::string message = written ? Format(Gbk("已保存 %d 章：").c_str(), merged) + Utf8ToGbk(path)
                                  : Gbk("无法保存：") + Utf8ToGbk(path);
    if (!missing.empty()) message += "\n" + MissingChaptersText(missing);
    QtMessenger(this).Inform(message, written && missing.empty() ? MessageKind::Information : MessageKind::Warning);
}

void FetchwellWindow::EndDownload(const DownloadSummary& summary) {
    downloadRun_.reset();
    downloadButton_->setEnabled(true);
    stopButton_->setEnabled(false);
    statusEdit_->setText(FromGbk(FinalStatusText(summary)));
    emit downloadFinished(summary.saved, summary.failed, summary.stopped);
}

void FetchwellWindow::OpenSettings() {
    SettingsDialog dialog(settings_, this, preferences_);
    if (RunModal(dialog) != QDialog::Accepted) return;
    settings_ = dialog.settings();
    preferences_ = dialog.preferences();
    browser_->SetUserAgent(FromUtf8(preferences_.userAgent));
    if (dialog.saveResult() != 0)
        QtMessenger(this).Inform(Gbk("参数无法保存到 data/config.dat，本次运行仍按新参数下载"),
                                 MessageKind::Warning);
}

void FetchwellWindow::ShowAbout() {
    FetchwellAboutDialog dialog(this);
    RunModal(dialog);
}

void FetchwellWindow::OpenSaveFolder() {
    QString folder = saveFolderEdit_->text();
    if (folder.isEmpty()) return;
    OpenWithDesktop(QUrl::fromLocalFile(folder));
}

}  // namespace quillon
