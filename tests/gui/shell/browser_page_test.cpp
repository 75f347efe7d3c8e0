#include "gui/shell/browser_page.h"

#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include "core/text/gbk_codec.h"
#include "gui/app/application.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/web_engine_setup.h"
#include "gui/shell/external_object.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/panel_factories.h"
#include "gui/shell/tab_strip.h"

using namespace quillon;

namespace {

struct Handover {
    std::string text;
    std::string path;
    std::string name;
    QRect panelGeometry;
    QRect pageRect;
};

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

QByteArray GbkBytes(const char* utf8) {
    std::string gbk = Utf8ToGbk(utf8);
    return QByteArray(gbk.data(), static_cast<qsizetype>(gbk.size()));
}

}  // namespace

class BrowserPageTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    std::unique_ptr<CMainFrame> frame_;
    std::vector<Handover> handovers_;
    int readingPanelsMade_ = 0;
    int adHeight_ = 0;

    QString HomeFile(const QString& name) const { return home_.filePath(name); }

    BrowserPage* NewPage() { return frame_->OpenTab(QStringLiteral("about:blank"), true); }

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("QUILLON_HOME", home_.path().toUtf8());
        WriteFile(HomeFile(QStringLiteral("data/main.htm")), GbkBytes("[MAIN_URL]\r\nabout:blank\r\n"));
        StartApplication();
        QtMessenger::SetTestMode(true);
        SetReadingPanelFactory([this](BrowserPage* host) {
            ++readingPanelsMade_;
            ReadingPanelBinding binding;
            auto* panel = new QWidget(host);
            binding.widget = panel;
            binding.adHeight = adHeight_;
            binding.topUrl = QStringLiteral("http://127.0.0.1:9/top");
            binding.load = [this, panel, host](std::shared_ptr<const BookText> text,
                                               const std::string& path, const std::string& name) {
                handovers_.push_back(
                    {std::string(text->Whole()), path, name, panel->geometry(), host->rect()});
            };
            return binding;
        });
        frame_ = std::make_unique<CMainFrame>();
        frame_->resize(1000, 640);
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    }

    void cleanupTestCase() {
        frame_.reset();
        SetReadingPanelFactory({});
    }

    void init() {
        QtMessenger::Shown().clear();
        handovers_.clear();
        readingPanelsMade_ = 0;
        adHeight_ = 0;
    }

    void openBookByNameReadsFromTheBookFolder() {
        WriteFile(HomeFile(QStringLiteral("book/x.txt")), GbkBytes("第一章\r\n正文") + QByteArray("\0tail", 5));
        BrowserPage* page = NewPage();
        QCOMPARE(page->OpenBook(QStringLiteral("x")), 0);
        QCOMPARE(readingPanelsMade_, 1);
        QCOMPARE(handovers_.size(), size_t(1));
        // The text stops at the first NUL, as every book reader's does.
        QCOMPARE(handovers_[0].text, Utf8ToGbk("第一章\r\n正文"));
        QCOMPARE(QString::fromStdString(handovers_[0].path), HomeFile(QStringLiteral("book/x.txt")));
        QCOMPARE(handovers_[0].name, std::string("x"));
        // The panel already has the whole page when it receives the book.
        QCOMPARE(handovers_[0].panelGeometry, handovers_[0].pageRect);
        QVERIFY(!handovers_[0].pageRect.isEmpty());
        QCOMPARE(page->Title(), QStringLiteral("x_阅读"));
        QCOMPARE(frame_->windowTitle(), QStringLiteral("x_阅读-Quillon"));
        QCOMPARE(QString::fromStdString(frame_->tabStrip()->model().Title(frame_->tabStrip()->model().current())),
                 QStringLiteral("x_阅读"));
        QVERIFY(!page->browser()->isVisible());
        QVERIFY(page->browser()->url().isEmpty());

        // A second book in the same page reuses its reading panel.
        WriteFile(HomeFile(QStringLiteral("book/y.txt")), GbkBytes("另一本"));
        QCOMPARE(page->OpenBook(QStringLiteral("y")), 0);
        QCOMPARE(readingPanelsMade_, 1);
        QCOMPARE(handovers_.size(), size_t(2));
        QCOMPARE(handovers_[1].text, Utf8ToGbk("另一本"));
    }

    void openBookByPathNamesItFromTheFileName() {
        QString path = HomeFile(QStringLiteral("elsewhere/a.b/b.c.txt"));
        WriteFile(path, GbkBytes("内容"));
        adHeight_ = 10;
        BrowserPage* page = NewPage();
        QCOMPARE(page->OpenBook(QStringLiteral("//FilePath//") + path), 0);
        QCOMPARE(handovers_.size(), size_t(1));
        QCOMPARE(handovers_[0].name, std::string("b.c"));
        QCOMPARE(QString::fromStdString(handovers_[0].path), path);
        QCOMPARE(page->Title(), QStringLiteral("b.c_阅读"));
        // A positive strip height sends the browser to the top address.
        QCOMPARE(page->browser()->url(), QUrl(QStringLiteral("http://127.0.0.1:9/top")));

        // A Chinese file name reaches the panel as a GBK name.
        QString chinese = HomeFile(QStringLiteral("elsewhere/三国演义.txt"));
        WriteFile(chinese, GbkBytes("话说"));
        BrowserPage* other = NewPage();
        QCOMPARE(other->OpenBook(QStringLiteral("//FilePath//") + chinese), 0);
        QCOMPARE(handovers_.back().name, Utf8ToGbk("三国演义"));
        QCOMPARE(other->Title(), QStringLiteral("三国演义_阅读"));
    }

    void missingBookIsReportedAndChangesNothing() {
        BrowserPage* page = NewPage();
        page->SetTitle(QStringLiteral("之前"));
        QCOMPARE(page->OpenBook(QStringLiteral("不存在")), 2);
        QCOMPARE(QtMessenger::Shown(), QStringList{QStringLiteral("打开文件失败，指定名字的小说未找到。")});
        QCOMPARE(page->Title(), QStringLiteral("之前"));
        QVERIFY(!page->readingPanel());
        QCOMPARE(readingPanelsMade_, 0);

        QtMessenger::Shown().clear();
        QCOMPARE(page->OpenBook(QString()), 1);
        QVERIFY(QtMessenger::Shown().isEmpty());

        // There but unreadable (a folder named like a book) is not "not found".
        QVERIFY(QDir().mkpath(HomeFile(QStringLiteral("book/folder.txt"))));
        QCOMPARE(page->OpenBook(QStringLiteral("folder")), 2);
        QCOMPARE(QtMessenger::Shown(), QStringList{QStringLiteral("打开文件失败，无法读取该文件。")});
        QVERIFY(!page->readingPanel());
    }

    void panelsShareThePage() {
        QWidget* shelf = nullptr;
        SetBookshelfPanelFactory([&shelf](BrowserPage* host) { return shelf = new QWidget(host); });
        BrowserPage* main = NewPage();
        main->MakeMain();
        SetBookshelfPanelFactory({});
        QVERIFY(shelf);
        QCOMPARE(main->Title(), QStringLiteral("主窗口"));
        QVERIFY(!main->closable());
        const int w = main->width();
        QCOMPARE(shelf->geometry(), QRect(0, 0, w - 400, main->height()));
        QCOMPARE(main->browser()->geometry(), QRect(w - 400, 0, 400, main->height()));

        QString started;
        SetSearchPanelFactory([&](BrowserPage* host, const QString& words, const QString& extra) {
            SearchPanelBinding binding;
            binding.widget = new QWidget(host);
            binding.widget->setObjectName(words + extra);
            binding.resultAddress = [](const QString& w) { return QStringLiteral("http://127.0.0.1:9/s?q=") + w; };
            binding.start = [&started](const QString& w) { started = w; };
            return binding;
        });
        BrowserPage* search = NewPage();
        QCOMPARE(search->OpenSearch(QStringLiteral("斗破"), QStringLiteral("+1")), 0);
        SetSearchPanelFactory({});
        QPointer<QWidget> panel = search->searchPanel();
        QVERIFY(panel);
        QCOMPARE(panel->objectName(), QStringLiteral("斗破+1"));
        QCOMPARE(started, QStringLiteral("斗破"));
        QCOMPARE(search->Title(), QStringLiteral("小说搜索_斗破"));
        QCOMPARE(panel->width(), search->width() - 330);
        QCOMPARE(search->browser()->geometry().left(), search->width() - 330);
        QCOMPARE(search->browser()->url().path(), QStringLiteral("/s"));

        SetScrollDisplayOpener([](BrowserPage* host, QWidget* bar, const QString&, std::string_view) {
            return bar ? bar : new QWidget(host);
        });
        QCOMPARE(search->OpenScrollDisplay(QStringLiteral("书"), "text"), 0);
        QWidget* bar = search->topBar();
        QVERIFY(bar);
        QCOMPARE(search->OpenScrollDisplay(QStringLiteral("书"), "text"), 0);
        QCOMPARE(search->topBar(), bar);
        SetScrollDisplayOpener({});
        QCOMPARE(bar->geometry(), QRect(0, 0, search->width(), 30));
        QCOMPARE(panel->geometry().top(), 30);
        QCOMPARE(search->browser()->geometry().top(), 30);

        // Closing the tab takes the panels with it.
        QPointer<QWidget> barGuard = bar;
        QVERIFY(frame_->CloseTab(frame_->tabStrip()->model().IndexOf(search), false));
        QVERIFY(panel.isNull());
        QVERIFY(barGuard.isNull());
    }

    void externalObjectAnswersOnlyItsName() {
        QCOMPARE(ExternalObject::LookupName(QStringLiteral("xxyyzz")), ExternalObject::kMemberId);
        QCOMPARE(ExternalObject::LookupName(QStringLiteral("xx")), ExternalObject::kMemberId);
        QCOMPARE(ExternalObject::LookupName(QStringLiteral("xyz")), ExternalObject::kUnknownName);
        QCOMPARE(ExternalObject::LookupName(QStringLiteral("Xxyy")), ExternalObject::kUnknownName);
        QCOMPARE(ProgramExternalObject()->invoke(ExternalObject::kMemberId), QStringLiteral("Wibble"));
        QVERIFY(ProgramExternalObject()->invoke(7).isEmpty());

        // A real page reads it through window.external.
        QString file = HomeFile(QStringLiteral("temp/external.html"));
        WriteFile(file,
                  "<html><head><title>waiting</title></head><body><script>"
                  "function report() { document.title = window.external.xxyyzz + '|' +"
                  " window.external.xxq + '|' + String(window.external.yyzz); }"
                  "if (window.external.xxyyzz) report();"
                  "else document.addEventListener('quillonexternalready', report);"
                  "</script></body></html>");
        BrowserPage* page = NewPage();
        page->Navigate(QUrl::fromLocalFile(file).toString());
        QTRY_COMPARE_WITH_TIMEOUT(page->Title(), QStringLiteral("Wibble|Wibble|undefined"), 20000);
    }

    void popUpsBecomeTabsAndTitlesFollowThePage() {
        QString folder = HomeFile(QStringLiteral("temp"));
        WriteFile(folder + QStringLiteral("/child.html"),
                  "<html><head><title>Child</title></head><body>child</body></html>");
        WriteFile(folder + QStringLiteral("/opener.html"),
                  "<html><head><title>Opener</title></head><body><script>"
                  "window.open('child.html');"
                  "setTimeout(function () { document.title = 'Changed'; }, 300);"
                  "</script></body></html>");
        BrowserPage* opener = NewPage();
        const int index = frame_->tabStrip()->model().IndexOf(opener);
        const int before = frame_->PageCount();
        opener->Navigate(QUrl::fromLocalFile(folder + QStringLiteral("/opener.html")).toString());
        QTRY_COMPARE_WITH_TIMEOUT(frame_->PageCount(), before + 1, 20000);
        // The pop-up's tab comes right after its opener and is current.
        BrowserPage* child = frame_->PageAt(index + 1);
        QCOMPARE(frame_->CurrentPage(), child);
        QTRY_COMPARE_WITH_TIMEOUT(child->Title(), QStringLiteral("Child"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(opener->Title(), QStringLiteral("Changed"), 20000);
        QCOMPARE(QString::fromStdString(frame_->tabStrip()->model().Title(index)), QStringLiteral("Changed"));
        QTRY_COMPARE(frame_->windowTitle(), QStringLiteral("Child-Quillon"));
    }

    void scriptDialogsReachTheUserAndErrorsDoNot() {
        // The page's alert and confirmation are shown; the confirmation's
        // answer goes back to the script. The error before them shows
        // nothing and stops only its own script.
        QString file = HomeFile(QStringLiteral("temp/dialogs.html"));
        WriteFile(file,
                  "<html><head><title>start</title></head><body>"
                  "<script>undefinedFunction();</script><script>"
                  "alert('hello');"
                  "document.title = confirm('sure?') ? 'confirmed' : 'refused';"
                  "</script></body></html>");
        QStringList shown;
        QTimer answerer;
        // The boxes run their own event loops; a timer answers them there.
        connect(&answerer, &QTimer::timeout, this, [&shown] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            shown << box->text();
            box->button(QMessageBox::Ok)->click();
        });
        answerer.start(50);
        BrowserPage* page = NewPage();
        page->Navigate(QUrl::fromLocalFile(file).toString());
        QTRY_COMPARE_WITH_TIMEOUT(page->Title(), QStringLiteral("confirmed"), 20000);
        answerer.stop();
        QCOMPARE(shown, (QStringList{QStringLiteral("hello"), QStringLiteral("sure?")}));
    }

    void configuredTitleWinsOverThePageUnlessNone() {
        QString page = HomeFile(QStringLiteral("temp/titled.html"));
        WriteFile(page, "<html><head><title>Own Title</title></head><body></body></html>");
        QString url = QUrl::fromLocalFile(page).toString();
        WriteFile(HomeFile(QStringLiteral("data/main.htm")),
                  GbkBytes("[NEW_URL_BEGIN]\r\nNONE*") + url.toUtf8() + GbkBytes("*\r\n配置标题*") +
                      url.toUtf8() + "*\r\n[NEW_URL_END]\r\n");
        frame_->SelectTab(0);
        // Each goes right after the current tab: the last line ends up first.
        frame_->OpenConfiguredTabs();
        BrowserPage* none = frame_->PageAt(2);
        BrowserPage* titled = frame_->PageAt(1);
        QTRY_COMPARE_WITH_TIMEOUT(none->Title(), QStringLiteral("Own Title"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(titled->BrowserTitle(), QStringLiteral("Own Title"), 20000);
        QCOMPARE(titled->Title(), QStringLiteral("配置标题"));
        QCOMPARE(QString::fromStdString(frame_->tabStrip()->model().Title(2)), QStringLiteral("Own Title"));
        QCOMPARE(QString::fromStdString(frame_->tabStrip()->model().Title(1)), QStringLiteral("配置标题"));
    }
};

int main(int argc, char** argv) {
    PrepareWebEngine();
    QApplication app(argc, argv);
    BrowserPageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "browser_page_test.moc"
