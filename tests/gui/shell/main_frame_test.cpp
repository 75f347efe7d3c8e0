#include "gui/shell/main_frame.h"

#include <memory>
#include <thread>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWebEngineView>

#include "core/config/window_config.h"
#include "core/shell/tab_list.h"
#include "core/text/gbk_codec.h"
#include "gui/app/about_dialog.h"
#include "gui/app/application.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/web_engine_setup.h"
#include "gui/reader/modal_seam.h"
#include "gui/shell/browser_page.h"
#include "gui/shell/panel_factories.h"
#include "gui/shell/tab_strip.h"

using namespace quillon;

namespace {

QPoint Centre(const TabRect& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

}  // namespace

class MainFrameTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    std::vector<std::pair<std::string, std::string>> started_;

    // data/main.htm of the test program folder, from UTF-8 lines.
    void WriteTags(const QStringList& lines) {
        QFile file(home_.filePath(QStringLiteral("data/main.htm")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        std::string gbk = Utf8ToGbk(lines.join(QStringLiteral("\r\n")).toStdString() + "\r\n");
        file.write(gbk.data(), static_cast<qint64>(gbk.size()));
    }

    std::unique_ptr<CMainFrame> ShownFrame(int width = 1000) {
        auto frame = std::make_unique<CMainFrame>();
        frame->resize(width, 600);
        frame->show();
        if (!QTest::qWaitForWindowExposed(frame.get())) return nullptr;
        return frame;
    }

    static QStringList Titles(const CMainFrame& frame) {
        QStringList titles;
        const auto& model = frame.tabStrip()->model();
        for (int i = 0; i < model.count(); ++i) titles << QString::fromStdString(model.Title(i));
        return titles;
    }

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("QUILLON_HOME", home_.path().toUtf8());
        StartApplication();
        QtMessenger::SetTestMode(true);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home_.filePath(QStringLiteral("ini")));
        QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, home_.filePath(QStringLiteral("ini-system")));
        CMainFrame::SetProgramStarter([this](const std::string& program, const std::string& argument) {
            started_.emplace_back(program, argument);
            return true;
        });
    }

    void init() {
        QtMessenger::Shown().clear();
        started_.clear();
        WriteTags({QStringLiteral("[MAIN_URL]"), QStringLiteral("http://127.0.0.1:9/start"),
                   QStringLiteral("[TAB_BEGIN]"), QStringLiteral("// comment lines are skipped"),
                   QStringLiteral("0*书签页*http://127.0.0.1:9/deferred*"),
                   QStringLiteral("1*只有两段*"),
                   QStringLiteral("1*第二页*http://127.0.0.1:9/second*extra*"),
                   QStringLiteral("[TAB_END]"),
                   QStringLiteral("[HOME_PAGE_URL]"), QStringLiteral("http://127.0.0.1:9/home")});
    }

    void startTabsFollowTheTagFile() {
        auto frame = ShownFrame();
        QVERIFY(frame);
        QCOMPARE(frame->addressEdit()->text(), QStringLiteral("http://127.0.0.1:9/start"));
        // The two-field line opens nothing. Each tab went right after the
        // main tab, so the block shows last line first.
        QCOMPARE(Titles(*frame), (QStringList{QStringLiteral("主窗口"), QStringLiteral("第二页"),
                                              QStringLiteral("书签页")}));
        QCOMPARE(frame->tabStrip()->model().current(), 0);
        QCOMPARE(frame->windowTitle(), QStringLiteral("主窗口-Quillon"));
        BrowserPage* main = frame->PageAt(0);
        QCOMPARE(main->kind(), 1);
        QVERIFY(!main->closable());
        QVERIFY(main->isVisible());

        BrowserPage* deferred = frame->PageAt(2);
        QVERIFY(!deferred->closable());
        QVERIFY(frame->PageAt(1)->closable());
        QVERIFY(!deferred->isVisible());
        // Nothing loads until the tab is first shown.
        QVERIFY(deferred->deferredPending());
        QVERIFY(deferred->browser()->url().isEmpty());

        TabStrip* strip = frame->tabStrip();
        QTest::mouseClick(strip, Qt::LeftButton, {}, Centre(strip->model().Cell(2)));
        QCOMPARE(strip->model().current(), 2);
        QVERIFY(deferred->isVisible());
        QVERIFY(!main->isVisible());
        QCOMPARE(deferred->browser()->url(), QUrl(QStringLiteral("http://127.0.0.1:9/deferred")));
        QVERIFY(!deferred->deferredPending());
        QCOMPARE(frame->windowTitle(), QStringLiteral("书签页-Quillon"));

        // A page configured as not closable stays.
        QVERIFY(!frame->CloseTab(2, false));
        QCOMPARE(frame->PageCount(), 3);
        QVERIFY(QtMessenger::Shown().isEmpty());
    }

    void newTabButtonOpensBlankTabAfterCurrent() {
        auto frame = ShownFrame();
        QVERIFY(frame);
        TabStrip* strip = frame->tabStrip();
        BrowserPage* second = frame->PageAt(1);
        QTest::mouseClick(strip, Qt::LeftButton, {}, Centre(strip->model().newTabButton()));
        QCOMPARE(frame->PageCount(), 4);
        QCOMPARE(strip->model().current(), 1);
        BrowserPage* blank = frame->CurrentPage();
        QVERIFY(blank != second);
        QCOMPARE(frame->PageAt(2), second);
        QCOMPARE(blank->Title(), QStringLiteral("about:blank"));
        QCOMPARE(frame->windowTitle(), QStringLiteral("about:blank-Quillon"));
        QVERIFY(blank->isVisible());
        QCOMPARE(blank->geometry(), frame->pageView()->rect().adjusted(-2, -2, 2, 2));
    }

    void mainTabRefusesToClose() {
        auto frame = ShownFrame();
        QVERIFY(frame);
        TabStrip* strip = frame->tabStrip();
        QPoint onMain = Centre(strip->model().Cell(0)) - QPoint(30, 0);
        QTest::mouseClick(strip, Qt::LeftButton, {}, onMain);
        QTest::mouseDClick(strip, Qt::LeftButton, {}, onMain);
        QCOMPARE(QtMessenger::Shown(), QStringList{QStringLiteral("不能关闭主窗口")});
        QCOMPARE(frame->PageCount(), 3);
        QCOMPARE(frame->PageAt(0)->kind(), 1);

        // Its close mark does nothing worse.
        QtMessenger::Shown().clear();
        QPoint mark = Centre(strip->model().CloseMark(0));
        QTest::mouseClick(strip, Qt::LeftButton, {}, mark);
        QCOMPARE(frame->PageCount(), 3);
        QCOMPARE(QtMessenger::Shown(), QStringList{QStringLiteral("不能关闭主窗口")});
    }

    void closeMarkClosesTheCurrentTab() {
        // Shown last to first: main, then the deferred tab, then the one
        // closed here.
        WriteTags({QStringLiteral("[TAB_BEGIN]"), QStringLiteral("1*可关*http://127.0.0.1:9/closable*"),
                   QStringLiteral("1*延后*http://127.0.0.1:9/deferred*"), QStringLiteral("[TAB_END]")});
        auto frame = ShownFrame();
        QVERIFY(frame);
        TabStrip* strip = frame->tabStrip();
        QPointer<BrowserPage> second = frame->PageAt(2);
        QCOMPARE(second->Title(), QStringLiteral("可关"));
        QVERIFY(frame->PageAt(1)->deferredPending());
        frame->SelectTab(2);
        QPoint mark = Centre(strip->model().CloseMark(2));
        // Pressed on the mark but released elsewhere: nothing closes.
        QTest::mousePress(strip, Qt::LeftButton, {}, mark);
        QTest::mouseRelease(strip, Qt::LeftButton, {}, mark - QPoint(60, 0));
        QCOMPARE(frame->PageCount(), 3);
        QTest::mouseClick(strip, Qt::LeftButton, {}, mark);
        QCOMPARE(frame->PageCount(), 2);
        QCOMPARE(strip->model().current(), 1);
        QTRY_VERIFY(second.isNull());
        // The tab that became current shows, and loads its deferred address.
        QVERIFY(frame->PageAt(1)->isVisible());
        QVERIFY(!frame->PageAt(1)->deferredPending());
    }

    void closingTheLastTabLeavesABlankOne() {
        // Before the first show there are no start tabs, so the one blank
        // tab is the only tab there is.
        CMainFrame frame;
        frame.resize(900, 500);
        QPointer<BrowserPage> only = frame.OpenBlankTab();
        QVERIFY(only);
        QCOMPARE(frame.PageCount(), 1);
        QVERIFY(frame.CloseTab(0, false));
        QCOMPARE(frame.PageCount(), 1);
        QVERIFY(frame.CurrentPage() != nullptr);
        QVERIFY(frame.CurrentPage() != only.data());
        QCOMPARE(frame.CurrentPage()->Title(), QStringLiteral("about:blank"));
        QTRY_VERIFY(only.isNull());
    }

    void scrollingRightKeepsTheCurrentTab() {
        auto frame = ShownFrame(760);
        QVERIFY(frame);
        while (frame->PageCount() < 20) QVERIFY(frame->OpenTab(QStringLiteral("about:blank"), false));
        TabStrip* strip = frame->tabStrip();
        auto& model = strip->model();
        frame->SelectTab(0);
        while (model.ScrollLeft()) {
        }
        BrowserPage* current = frame->CurrentPage();
        QVERIFY(model.CanScrollRight());
        // Both scroll buttons sit left of the menu button when tabs overflow.
        QCOMPARE(model.scrollRightButton().right, strip->width() - 63);
        QTest::mouseClick(strip, Qt::LeftButton, {}, Centre(model.scrollRightButton()));
        QCOMPARE(model.firstVisible(), 1);
        QCOMPARE(frame->CurrentPage(), current);
        QVERIFY(current->isVisible());
        QTest::mouseClick(strip, Qt::LeftButton, {}, Centre(model.scrollLeftButton()));
        QCOMPARE(model.firstVisible(), 0);
    }

    void draggingATabMovesIt() {
        auto frame = ShownFrame();
        QVERIFY(frame);
        TabStrip* strip = frame->tabStrip();
        const auto& model = strip->model();
        BrowserPage* main = frame->PageAt(0);
        BrowserPage* deferred = frame->PageAt(1);
        QPoint start(model.Cell(0).right - 20, 15);
        QPoint onNext = start + QPoint(kDragThreshold + 1, 0);
        QVERIFY(model.Cell(1).Contains(onNext.x(), onNext.y()));
        QTest::mousePress(strip, Qt::LeftButton, {}, start);
        QTest::mouseMove(strip, onNext);
        QVERIFY(model.dragging());
        QTest::mouseRelease(strip, Qt::LeftButton, {}, onNext);
        QCOMPARE(frame->PageAt(0), deferred);
        QCOMPARE(frame->PageAt(1), main);
        QCOMPARE(frame->CurrentPage(), main);
        QCOMPARE(Titles(*frame).at(1), QStringLiteral("主窗口"));
    }

    void configuredTabsArriveWithTheStartTimer() {
        WriteTags({QStringLiteral("[NEW_URL_BEGIN]"), QStringLiteral("新闻*http://127.0.0.1:9/news*"),
                   QStringLiteral("NONE*http://127.0.0.1:9/own*"),
                   QStringLiteral("*http://127.0.0.1:9/no-title*"),
                   QStringLiteral("缺地址*   *"), QStringLiteral("没有结尾*http://127.0.0.1:9/x"),
                   QStringLiteral("[NEW_URL_END]")});
        auto frame = ShownFrame();
        QVERIFY(frame);
        QCOMPARE(frame->PageCount(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(frame->PageCount(), 3, 5000);
        // Each right after the current (main) tab, so last line first; none
        // made current.
        QCOMPARE(frame->CurrentPage(), frame->PageAt(0));
        BrowserPage* own = frame->PageAt(1);
        BrowserPage* news = frame->PageAt(2);
        QCOMPARE(news->OwnTitle(), QStringLiteral("新闻"));
        QCOMPARE(news->browser()->url(), QUrl(QStringLiteral("http://127.0.0.1:9/news")));
        QVERIFY(own->OwnTitle().isEmpty());
        QCOMPARE(own->browser()->url(), QUrl(QStringLiteral("http://127.0.0.1:9/own")));
        QCOMPARE(Titles(*frame).at(2), QStringLiteral("新闻"));
    }

    void commandsOfTheToolbar() {
        auto frame = ShownFrame();
        QVERIFY(frame);
        const QStringList expected = {QStringLiteral("主窗口"), QStringLiteral("推荐资讯"),
                                      QStringLiteral("论坛库贴"), QStringLiteral("网站下载"),
                                      QStringLiteral("图片下载"), QStringLiteral("小说下载"),
                                      QStringLiteral("显示收藏")};
        const int ids[] = {32771, 32774, 32776, 32777, 32778, 32772, 32773};
        int x = -1;
        for (int i = 0; i < 7; ++i) {
            auto* button = frame->findChild<QToolButton*>(QStringLiteral("command%1").arg(ids[i]));
            QVERIFY(button);
            QCOMPARE(button->text(), expected[i]);
            QCOMPARE(button->size(), QSize(76, 30));
            QVERIFY(button->geometry().x() > x);
            x = button->geometry().x();
        }
        auto* open = frame->findChild<QToolButton*>(QStringLiteral("openButton"));
        QVERIFY(open->geometry().left() > frame->addressEdit()->geometry().right());
        QCOMPARE(open->toolTip(), QStringLiteral("打开网页"));

        // The address box keeps its editing keys.
        QLineEdit* edit = frame->addressEdit();
        edit->setText(QStringLiteral("http://127.0.0.1:9/typed"));
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(edit->selectedText(), edit->text());
        QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
        QVERIFY(edit->text().isEmpty());
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), QStringLiteral("http://127.0.0.1:9/typed"));
        // Enter in the address box opens the typed address as the current tab.
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(frame->CurrentPage()->browser()->url(), QUrl(QStringLiteral("http://127.0.0.1:9/typed")));
        QCOMPARE(frame->tabStrip()->model().current(), 1);

        // The main-window command goes back to the main tab.
        frame->findChild<QToolButton*>(QStringLiteral("command32771"))->click();
        QCOMPARE(frame->CurrentPage()->kind(), 1);

        // The downloader is missing from this program folder.
        frame->RunCommand(CMainFrame::kNovelDownload);
        QCOMPARE(QtMessenger::Shown().value(0),
                 QStringLiteral("所需文件未找到,请重启软件再试,若多次重试不行,请从官网下载最新版本"));
        QVERIFY(started_.empty());
        QDir(home_.path()).mkpath(QStringLiteral("fetchwell"));
        QFile downloader(home_.filePath(QStringLiteral("fetchwell/fetchwell")));
        QVERIFY(downloader.open(QIODevice::WriteOnly));
        downloader.close();
        frame->RunCommand(CMainFrame::kNovelDownload);
        QCOMPARE(started_.size(), size_t(1));
        QCOMPARE(QString::fromStdString(started_[0].first), home_.filePath(QStringLiteral("fetchwell/fetchwell")));
        QCOMPARE(QtMessenger::Shown().size(), 1);
        QFile::remove(downloader.fileName());
    }

    void siblingToolsAreFoundThroughTheirSettings() {
        auto frame = ShownFrame();
        QVERIFY(frame);
        // Not installed: the message, and the home page in a new tab.
        int before = frame->PageCount();
        frame->RunCommand(CMainFrame::kSiteDownload);
        QCOMPARE(QtMessenger::Shown(), QStringList{QStringLiteral("本机还未安装本软件,你可以到官网去下载此软件.")});
        QCOMPARE(frame->PageCount(), before + 1);
        QCOMPARE(frame->CurrentPage()->browser()->url(), QUrl(QStringLiteral("http://127.0.0.1:9/home")));

        QString folder = home_.filePath(QStringLiteral("tools"));
        QDir().mkpath(folder);
        QFile tool(folder + QStringLiteral("/pictrawl"));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.close();
        {
            QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("corvane"),
                               QStringLiteral("st"));
            settings.setValue(QStringLiteral("path"), folder);
        }
        QtMessenger::Shown().clear();
        frame->RunCommand(CMainFrame::kPictureDownload);
        QVERIFY(QtMessenger::Shown().isEmpty());
        QCOMPARE(started_.size(), size_t(1));
        QCOMPARE(QString::fromStdString(started_[0].first), folder + QStringLiteral("/pictrawl"));

        // The path names a folder without the program file.
        {
            QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("corvane"),
                               QStringLiteral("sitegrab"));
            settings.setValue(QStringLiteral("path"), folder);
        }
        frame->RunCommand(CMainFrame::kSiteDownload);
        QCOMPARE(started_.size(), size_t(1));
        QCOMPARE(QtMessenger::Shown().size(), 1);
    }

    void menuButtonAndAboutBox() {
        auto frame = ShownFrame();
        QVERIFY(frame);
        TabStrip* strip = frame->tabStrip();
        QTest::mouseClick(strip, Qt::LeftButton, {}, Centre(strip->model().menuButton()));
        QTRY_VERIFY(frame->toolsMenu()->isVisible());
        frame->toolsMenu()->hide();

        bool shown = false;
        ModalSeam::QueueDialog([&shown](QDialog* dialog) {
            shown = true;
            auto* home = dialog->findChild<QPushButton*>(QStringLiteral("homePageButton"));
            if (home) home->click();
            return int(QDialog::Accepted);
        });
        int before = frame->PageCount();
        frame->findChild<QAction*>(QStringLiteral("action32775"))->trigger();
        QVERIFY(shown);
        QCOMPARE(frame->PageCount(), before + 1);
        QCOMPARE(frame->CurrentPage()->browser()->url(), QUrl(QStringLiteral("http://127.0.0.1:9/home")));
    }

    void fullScreenHidesTheToolbarAndKeepsThePlacement() {
        auto frame = ShownFrame();
        QVERIFY(frame);
        frame->move(40, 30);
        QRect normal = frame->frameGeometry();
        frame->EnterFullScreen();
        QVERIFY(frame->IsFullScreen());
        QVERIFY(frame->commandBar()->isHidden());
        // The strip moves up to where the toolbar was.
        QTRY_VERIFY(frame->tabStrip()->mapTo(frame.get(), QPoint(0, 0)).y() <= 2);
        frame.reset();
        // Closed while full screen, the window keeps its normal rectangle.
        WindowConfig saved;
        saved.Load(home_.filePath(QStringLiteral("data/gconfig.dat")).toStdString());
        QCOMPARE(saved.left, normal.left());
        QCOMPARE(saved.right - saved.left, normal.width());

        frame = ShownFrame();
        frame->EnterFullScreen();
        frame->LeaveFullScreen();
        QVERIFY(!frame->IsFullScreen());
        QVERIFY(!frame->commandBar()->isHidden());
    }

    void refusedPageIsDestroyed() {
        CMainFrame frame;
        frame.resize(900, 500);
        for (int i = 0; i < kMaxTabs; ++i) QVERIFY(frame.OpenTab(QStringLiteral("about:blank"), false));
        BrowserPage* current = frame.CurrentPage();
        QCOMPARE(frame.OpenTab(QStringLiteral("about:blank"), true), nullptr);
        QCOMPARE(frame.PageCount(), kMaxTabs);
        QCOMPARE(frame.CurrentPage(), current);
        // No page host beyond the tabs' own is left under the view.
        QCOMPARE(frame.pageView()->findChildren<BrowserPage*>(QString(), Qt::FindDirectChildrenOnly).size(),
                 qsizetype(kMaxTabs));
    }

    void searchEntryReloadReachesTheBookshelf() {
        QWidget* shelf = nullptr;
        int reloads = 0;
        SetBookshelfPanelFactory([&shelf](BrowserPage* host) {
            shelf = new QWidget(host);
            return shelf;
        });
        SetBookshelfReloader([&](QWidget* panel) {
            if (panel == shelf) ++reloads;
        });
        auto frame = ShownFrame();
        QVERIFY(frame);
        QVERIFY(shelf);
        QCOMPARE(frame->PageAt(0)->bookshelfPanel(), shelf);
        // From a worker thread, as the update checker does.
        std::thread worker([] { CMainFrame::PostSearchEntryReload(); });
        worker.join();
        QTRY_COMPARE_WITH_TIMEOUT(reloads, 1, 3000);
        QTest::qWait(1200);
        QCOMPARE(reloads, 1);  // one-shot
        frame.reset();
        SetBookshelfPanelFactory({});
        SetBookshelfReloader({});
    }
};

int main(int argc, char** argv) {
    PrepareWebEngine();
    QApplication app(argc, argv);
    MainFrameTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_frame_test.moc"
