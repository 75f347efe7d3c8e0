#include "gui/shell/main_frame.h"

#include <cstdlib>
#include <vector>

#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QToolBar>
#include <QToolButton>

#include "core/config/tag_file.h"
#include "core/config/window_config.h"
#include "core/platform/file_io.h"
#include "core/platform/process.h"
#include "core/platform/program_folder.h"
#include "core/reader/reading_resume.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_literal.h"
#include "gui/app/about_dialog.h"
#include "gui/app/plain_main_window.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"
#include "gui/reader/modal_seam.h"
#include "gui/shell/browser_page.h"
#include "gui/shell/panel_factories.h"
#include "gui/shell/tab_strip.h"

namespace quillon {

namespace {

constexpr int kButtonWidth = 76;
constexpr int kButtonHeight = 30;
constexpr int kStartTimerMs = 2500;
constexpr int kUpdateTimerMs = 1000;
constexpr int kStartTabLines = 10;
constexpr int kConfiguredTabLines = 100;
const QString kBlank = QStringLiteral("about:blank");

struct Seams {
    std::function<bool(const std::string&, const std::string&)> starter = StartDetached;
    std::function<void(CMainFrame*)> updateWorker;
    std::function<void(CMainFrame*)> favourites;
};
Seams& FrameSeams() {
    static Seams seams;
    return seams;
}

// Touched on the interface thread only.
QPointer<CMainFrame>& TheFrame() {
    static QPointer<CMainFrame> frame;
    return frame;
}

const char* kButtonStyle =
    "QToolButton { border: 1px solid #8c9bb0; border-radius: 4px; margin: 0px;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fdfdfe, stop:1 #dfe6ef); }"
    "QToolButton:hover { border-color: #3a6ea5;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #c6dbf2); }"
    "QToolButton:pressed { background: #b4cce8; }";

}  // namespace

void CMainFrame::SetProgramStarter(std::function<bool(const std::string&, const std::string&)> starter) {
    FrameSeams().starter = starter ? std::move(starter) : StartDetached;
}
void CMainFrame::SetUpdateWorkerStarter(std::function<void(CMainFrame*)> starter) {
    FrameSeams().updateWorker = std::move(starter);
}
void CMainFrame::SetFavouritesRunner(std::function<void(CMainFrame*)> runner) {
    FrameSeams().favourites = std::move(runner);
}

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("Quillon"));
    // No menu bar and no status bar: the commands live on the toolbar and in
    // the Tools menu of the tab strip. Without this the toolbar's context
    // menu would let the user hide the toolbar for good.
    setContextMenuPolicy(Qt::NoContextMenu);
    BuildToolbar();
    BuildToolsMenu();

    body_ = new QWidget(this);
    body_->setObjectName(QStringLiteral("frameBody"));
    strip_ = new TabStrip(body_);
    strip_->SetToolsMenu(toolsMenu_);
    view_ = new QWidget(body_);
    view_->setObjectName(QStringLiteral("pageView"));
    setCentralWidget(body_);
    body_->installEventFilter(this);

    connect(strip_, &TabStrip::tabSelected, this, &CMainFrame::SelectTab);
    connect(strip_, &TabStrip::newTabRequested, this, [this] { OpenBlankTab(); });
    connect(strip_, &TabStrip::closeCurrentRequested, this,
            [this] { CloseTab(strip_->model().current(), false); });
    connect(strip_, &TabStrip::tabMoved, this, [this] {
        Relayout();
        Retitle();
    });

    address_->setText(TagValue("[MAIN_URL]"));
    RestoreWindowPlacement(this);
    Relayout();

    TheFrame() = this;
    if (FrameSeams().updateWorker) FrameSeams().updateWorker(this);
    startTimer_.setSingleShot(true);
    startTimer_.setInterval(kStartTimerMs);
    connect(&startTimer_, &QTimer::timeout, this, &CMainFrame::OpenConfiguredTabs);
    startTimer_.start();
    updateTimer_.setSingleShot(true);
    updateTimer_.setInterval(kUpdateTimerMs);
    connect(&updateTimer_, &QTimer::timeout, this, [this] {
        BrowserPage* main = nullptr;
        for (int i = 0; i < PageCount() && !main; ++i)
            if (PageAt(i)->kind() == 1) main = PageAt(i);
        if (main && main->bookshelfPanel() && GetBookshelfReloader())
            GetBookshelfReloader()(main->bookshelfPanel());
    });
}

CMainFrame::~CMainFrame() {
    startTimer_.stop();
    updateTimer_.stop();
    SaveOpenBooks();
    if (fullScreen_ && normalFrame_.isValid()) {
        WindowConfig& c = ProgramWindowConfig();
        c.left = normalFrame_.left();
        c.top = normalFrame_.top();
        c.right = normalFrame_.left() + normalFrame_.width();
        c.bottom = normalFrame_.top() + normalFrame_.height();
        c.Save(GetProgramFolder() + "data/gconfig.dat");
    } else {
        SaveWindowPlacement(this);
    }
}

QToolButton* CMainFrame::AddCommandButton(int command, const QString& caption, const QString& tip) {
    auto* button = new QToolButton(toolbar_);
    button->setObjectName(QStringLiteral("command%1").arg(command));
    button->setText(caption);
    button->setToolTip(tip);
    button->setFixedSize(kButtonWidth, kButtonHeight);
    button->setAutoRaise(false);
    button->setStyleSheet(QLatin1String(kButtonStyle));
    connect(button, &QToolButton::clicked, this, [this, command] { RunCommand(command); });
    toolbar_->addWidget(button);
    return button;
}

void CMainFrame::BuildToolbar() {
    toolbar_ = new QToolBar(this);
    toolbar_->setObjectName(QStringLiteral("commandBar"));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setContentsMargins(0, 0, 0, 0);
    toolbar_->setStyleSheet(QStringLiteral("QToolBar { spacing: 0px; padding: 0px; border: 0px; }"));
    addToolBar(Qt::TopToolBarArea, toolbar_);

    AddCommandButton(kMainWindow, QStringLiteral("主窗口"), QStringLiteral("打开主工作窗口"));
    AddCommandButton(kRecommended, QStringLiteral("推荐资讯"), QStringLiteral("推荐资讯"));
    AddCommandButton(kForumPosts, QStringLiteral("论坛库贴"), QStringLiteral("收集的精品论坛网贴"));
    AddCommandButton(kSiteDownload, QStringLiteral("网站下载"), QStringLiteral("批量下载指定网站的网页"));
    AddCommandButton(kPictureDownload, QStringLiteral("图片下载"), QStringLiteral("批量下载指定网站的图片"));
    AddCommandButton(kNovelDownload, QStringLiteral("小说下载"), QStringLiteral("下载指定小说"));
    AddCommandButton(kFavourites, QStringLiteral("显示收藏"), QStringLiteral("显示收藏"));

    address_ = new QLineEdit(toolbar_);
    address_->setObjectName(QStringLiteral("addressEdit"));
    address_->setFixedHeight(kButtonHeight);
    address_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(address_, &QLineEdit::returnPressed, this, &CMainFrame::OpenAddress);
    toolbar_->addWidget(address_);

    auto* open = new QToolButton(toolbar_);
    open->setObjectName(QStringLiteral("openButton"));
    open->setText(QStringLiteral("打开"));
    open->setToolTip(QStringLiteral("打开网页"));
    open->setFixedSize(kButtonWidth, kButtonHeight);
    open->setStyleSheet(QLatin1String(kButtonStyle));
    connect(open, &QToolButton::clicked, this, &CMainFrame::OpenAddress);
    toolbar_->addWidget(open);
}

void CMainFrame::BuildToolsMenu() {
    toolsMenu_ = new QMenu(this);
    toolsMenu_->setObjectName(QStringLiteral("toolsMenu"));
    const std::vector<std::pair<int, QString>> items = {
        {kMainWindow, QStringLiteral("主窗口")},       {kRecommended, QStringLiteral("推荐资讯")},
        {kForumPosts, QStringLiteral("论坛库贴")},     {kSiteDownload, QStringLiteral("网站下载")},
        {kPictureDownload, QStringLiteral("图片下载")}, {kNovelDownload, QStringLiteral("小说下载")},
        {kFavourites, QStringLiteral("显示收藏")},
    };
    for (const auto& [command, caption] : items) {
        QAction* action = toolsMenu_->addAction(caption);
        action->setObjectName(QStringLiteral("action%1").arg(command));
        connect(action, &QAction::triggered, this, [this, command = command] { RunCommand(command); });
    }
    toolsMenu_->addSeparator();
    QAction* about = toolsMenu_->addAction(QStringLiteral("关于软件"));
    about->setObjectName(QStringLiteral("action%1").arg(kAbout));
    connect(about, &QAction::triggered, this, [this] { RunCommand(kAbout); });
}

QString CMainFrame::TagValue(const char* key) const {
    TagFile tags;
    tags.Open(GetProgramFolder() + "data/main.htm");
    return FromGbk(tags.GetValue(key));
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!startTabsOpened_) OpenStartTabs();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == body_ && event->type() == QEvent::Resize) Relayout();
    return QMainWindow::eventFilter(watched, event);
}

int CMainFrame::PageCount() const { return strip_->model().count(); }

BrowserPage* CMainFrame::PageAt(int index) const {
    const auto& model = strip_->model();
    return index >= 0 && index < model.count() ? model.PageAt(index) : nullptr;
}

BrowserPage* CMainFrame::CurrentPage() const { return PageAt(strip_->model().current()); }

BrowserPage* CMainFrame::OpenTab(const QString& url, bool makeCurrent) {
    return OpenTabAt(url, -1, makeCurrent);
}

BrowserPage* CMainFrame::OpenTabAt(const QString& url, int index, bool makeCurrent) {
    auto& model = strip_->model();
    auto* page = new BrowserPage(this, view_);
    int at = index;
    if (at < 0) at = model.current() >= 0 ? model.current() + 1 : -1;
    if (model.Insert(ToUtf8(page->Title()), at, makeCurrent, page) != 0) {
        // Refused by the tab limit: a page without a tab would either lie
        // over the current page or linger unreachable.
        delete page;
        return nullptr;
    }
    // An empty view already shows a blank page; loading about:blank as well
    // would only start a renderer for each of the many blank tabs.
    if (!url.isEmpty() && url != kBlank) page->Navigate(url);
    if (makeCurrent) page->Activate();
    Relayout();
    Retitle();
    return page;
}

BrowserPage* CMainFrame::OpenBlankTab() { return OpenTab(kBlank, true); }

void CMainFrame::OpenStartTabs() {
    if (startTabsOpened_) return;
    startTabsOpened_ = true;
    TagFile tags;
    tags.Open(GetProgramFolder() + "data/main.htm");

    QString mainUrl = FromGbk(tags.GetValue("[BUTTON_MAIN_WND]"));
    if (mainUrl.isEmpty()) mainUrl = kBlank;
    if (BrowserPage* main = OpenTab(mainUrl, true)) main->MakeMain();

    // Each tab goes right after the current (main) tab, so the strip shows
    // the block's lines last to first. The block comes from the update
    // server, whose files are written for that order.
    std::vector<std::string> lines;
    tags.GetBlock("[TAB_BEGIN]", "[TAB_END]", lines, kStartTabLines);
    for (const std::string& line : lines) {
        FieldSplitter fields;
        if (fields.Split(line, '*', true) <= 2) continue;
        BrowserPage* page = OpenTab(kBlank, false);
        if (!page) break;
        page->SetDeferred(std::atoi(fields[0].c_str()) != 0, FromGbk(fields[1]), FromGbk(fields[2]));
    }
    Retitle();
    SelectMainTab();
    ReopenBooks();
}

void CMainFrame::ReopenBooks() {
    if (!ResumeSettings::Load().reopenBooks) return;
    const OpenBooks open = OpenBooks::Load();
    BrowserPage* current = nullptr;
    for (size_t k = 0; k < open.books.size(); ++k) {
        BrowserPage* page = OpenTabAt(kBlank, PageCount(), false);
        if (!page) break;
        // A book gone since says so and leaves no tab behind.
        if (page->OpenBook(FromUtf8(open.books[k])) != 0 || !page->readingPanel()) {
            CloseTab(strip_->model().IndexOf(page), true);
            continue;
        }
        if (static_cast<int>(k) == open.current) current = page;
    }
    if (current) SelectTab(strip_->model().IndexOf(current));
    Retitle();
}

void CMainFrame::SaveOpenBooks() const {
    if (!ResumeSettings::Load().reopenBooks) return;
    OpenBooks open;
    const int currentIndex = strip_->model().current();
    for (int i = 0; i < PageCount(); ++i) {
        const BrowserPage* page = PageAt(i);
        if (!page->readingPanel() || page->bookRef().isEmpty()) continue;
        if (i == currentIndex) open.current = static_cast<int>(open.books.size());
        open.books.push_back(ToUtf8(page->bookRef()));
    }
    open.Save();
}

void CMainFrame::OpenConfiguredTabs() {
    startTimer_.stop();
    TagFile tags;
    tags.Open(GetProgramFolder() + "data/main.htm");
    std::vector<std::string> lines;
    tags.GetBlock("[NEW_URL_BEGIN]", "[NEW_URL_END]", lines, kConfiguredTabLines);
    // Like the start tabs, each goes right after the current tab.
    for (const std::string& line : lines) {
        size_t first = line.find('*');
        if (first == std::string::npos || first == 0) continue;
        size_t second = line.find('*', first + 1);
        if (second == std::string::npos) continue;
        std::string address(TrimAscii(std::string_view(line).substr(first + 1, second - first - 1)));
        if (address.empty()) continue;
        std::string title = line.substr(0, first);
        BrowserPage* page = OpenTab(FromGbk(address), false);
        if (!page) break;
        if (title != "NONE") page->SetTitle(FromGbk(title));
    }
    Retitle();
}

void CMainFrame::SelectMainTab() {
    for (int i = 0; i < PageCount(); ++i) {
        if (PageAt(i)->kind() == 1) {
            SelectTab(i);
            return;
        }
    }
}

void CMainFrame::SelectTab(int index) {
    if (!strip_->model().SetCurrent(index)) return;
    BrowserPage* page = PageAt(index);
    // Any way a tab becomes current counts as its first showing, not only a
    // click: a deferred tab uncovered by closing its neighbour loads too.
    page->Activate();
    Relayout();
    Retitle();
    if (page->readingPanel()) page->readingPanel()->setFocus();
}

bool CMainFrame::CloseTab(int index, bool force) {
    BrowserPage* page = PageAt(index);
    if (!page) return false;
    BrowserPage* removed = nullptr;
    TabCloseResult result =
        strip_->model().Close(index, force, {page->closable(), page->kind()}, &removed);
    if (result == TabCloseResult::MainTabRefused) {
        QtMessenger(this).Inform(Gbk("不能关闭主窗口"));
        return false;
    }
    if (result != TabCloseResult::Closed) return false;
    if (PageCount() == 0) OpenBlankTab();
    removed->Close();
    if (BrowserPage* current = CurrentPage()) current->Activate();
    Relayout();
    Retitle();
    return true;
}

void CMainFrame::Relayout() {
    if (!body_) return;
    const int w = body_->width();
    const int h = body_->height();
    constexpr int kStripTop = 2;
    strip_->setGeometry(0, kStripTop, w, kTabHeight);
    const int viewTop = kStripTop + kTabHeight;
    view_->setGeometry(0, viewTop, w, std::max(0, h - viewTop));
    strip_->Refresh();

    BrowserPage* current = CurrentPage();
    // The page overlaps the view by 2 pixels all round, so its own frame
    // lines fall outside.
    QRect pageRect = view_->rect().adjusted(-2, -2, 2, 2);
    for (int i = 0; i < PageCount(); ++i) {
        BrowserPage* page = PageAt(i);
        if (page == current) continue;
        // Hidden pages keep their size: shrinking them would make a reading
        // page cut its whole book into lines again on every tab switch.
        page->hide();
    }
    if (current) {
        current->setGeometry(pageRect);
        current->show();
        current->raise();
    }
}

void CMainFrame::Retitle() {
    BrowserPage* page = CurrentPage();
    if (!page) {
        setWindowTitle(QStringLiteral("Quillon"));
        return;
    }
    QString title = page->Title();
    strip_->model().SetTitle(strip_->model().current(), ToUtf8(title));
    strip_->update();
    setWindowTitle(title + QStringLiteral("-Quillon"));
}

void CMainFrame::PageTitleChanged(BrowserPage* page) {
    int index = strip_->model().IndexOf(page);
    if (index < 0) return;
    strip_->model().SetTitle(index, ToUtf8(page->Title()));
    strip_->update();
    if (index == strip_->model().current()) Retitle();
}

void CMainFrame::EnterFullScreen() {
    if (fullScreen_) return;
    fullScreen_ = true;
    normalGeometry_ = geometry();
    normalFrame_ = frameGeometry();
    toolbar_->hide();
    showFullScreen();
    Relayout();
}

void CMainFrame::LeaveFullScreen() {
    if (!fullScreen_) return;
    fullScreen_ = false;
    toolbar_->show();
    showNormal();
    if (normalGeometry_.isValid()) setGeometry(normalGeometry_);
    Relayout();
}

void CMainFrame::PostSearchEntryReload() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(
        app,
        [] {
            if (CMainFrame* frame = TheFrame()) frame->updateTimer_.start();
        },
        Qt::QueuedConnection);
}

void CMainFrame::OpenAddress() {
    QString address = address_->text().trimmed();
    if (address.isEmpty()) return;
    OpenTab(address, true);
}

void CMainFrame::RunCommand(int command) {
    switch (command) {
        case kMainWindow:
            SelectMainTab();
            break;
        case kNovelDownload:
            StartDownloader();
            break;
        case kFavourites:
            if (FrameSeams().favourites) FrameSeams().favourites(this);
            break;
        case kRecommended:
            OpenTab(TagValue("[BUTTON_TJ]"), true);
            break;
        case kForumPosts:
            OpenTab(TagValue("[BUTTON_BBS]"), true);
            break;
        case kSiteDownload:
            StartSiblingTool(QStringLiteral("sitegrab"), "sitegrab");
            break;
        case kPictureDownload:
            StartSiblingTool(QStringLiteral("st"), "pictrawl");
            break;
        case kAbout:
            ShowAbout();
            break;
        default:
            break;
    }
}

void CMainFrame::StartDownloader() {
    std::string program = GetDownloaderProgram();
    // A file that is there but cannot be started is as missing to the user.
    if (!FileExists(program) || !FrameSeams().starter(program, std::string()))
        QtMessenger(this).Inform(Gbk("所需文件未找到,请重启软件再试,若多次重试不行,请从官网下载最新版本"),
                                 MessageKind::Warning);
}

void CMainFrame::StartSiblingTool(const QString& application, const std::string& program) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("corvane"), application);
    std::string folder = ToUtf8(settings.value(QStringLiteral("path")).toString());
    if (!folder.empty()) {
        if (folder.back() != '/') folder += '/';
        std::string path = folder + program;
        if (FileExists(path) && FrameSeams().starter(path, std::string())) return;
    }
    QtMessenger(this).Inform(Gbk("本机还未安装本软件,你可以到官网去下载此软件."));
    OpenHomePage();
}

void CMainFrame::OpenHomePage() {
    QString home = TagValue("[HOME_PAGE_URL]");
    OpenTab(home.isEmpty() ? kBlank : home, true);
}

void CMainFrame::ShowAbout() {
    AboutDialog dialog(this);
    connect(&dialog, &AboutDialog::homePageRequested, this, &CMainFrame::OpenHomePage);
    ModalSeam::Exec(&dialog);
}

}  // namespace quillon
