#include "gui/shell/reading_panel.h"

#include <memory>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "core/text/gbk_codec.h"
#include "gui/app/application.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/web_engine_setup.h"
#include "gui/reader/reading_page.h"
#include "gui/shell/browser_page.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/tab_strip.h"

using namespace quillon;

// The real reading page in a real frame: what a user gets from "阅读小说".
class ReadingPanelTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("QUILLON_HOME", home_.path().toUtf8());
        QDir(home_.path()).mkpath(QStringLiteral("data"));
        QFile tags(home_.filePath(QStringLiteral("data/main.htm")));
        QVERIFY(tags.open(QIODevice::WriteOnly));
        tags.write("[AD_HEIGHT2]\r\n0\r\n[NOVEL_TOP_URL2]\r\nabout:blank\r\n");
        tags.close();
        StartApplication();
        QtMessenger::SetTestMode(true);
        RegisterReadingPanel();
    }

    void bookOpensInARealReadingPage() {
        std::string text;
        for (int i = 0; i < 200; ++i) text += Utf8ToGbk("第" + std::to_string(i) + "行，话说天下大势。\r\n");
        QFile book(home_.filePath(QStringLiteral("book/三国.txt")));
        QVERIFY(book.open(QIODevice::WriteOnly));
        book.write(text.data(), static_cast<qint64>(text.size()));
        book.close();

        CMainFrame frame;
        frame.resize(1000, 700);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        BrowserPage* tab = frame.OpenBlankTab();
        QCOMPARE(tab->OpenBook(QStringLiteral("三国")), 0);
        auto* page = qobject_cast<ReadingPage*>(tab->readingPanel());
        QVERIFY(page);
        QCOMPARE(page->bookName(), Utf8ToGbk("三国"));
        QCOMPARE(page->model().text(), text);
        QVERIFY(page->model().lineCount() >= 200);
        QCOMPARE(page->geometry(), tab->rect());
        QCOMPARE(frame.windowTitle(), QStringLiteral("三国_阅读-Quillon"));

        // Its full-screen button drives the frame, and its caption follows.
        auto* button = page->findChild<QPushButton*>(QStringLiteral("fullScreenButton"));
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("全屏显示"));
        button->click();
        QVERIFY(frame.IsFullScreen());
        QVERIFY(frame.commandBar()->isHidden());
        QTRY_COMPARE(button->text(), QStringLiteral("正常显示"));
        button->click();
        QVERIFY(!frame.IsFullScreen());
        QVERIFY(!frame.commandBar()->isHidden());
        QTRY_COMPARE(button->text(), QStringLiteral("全屏显示"));

        // Coming back to the reading tab gives the page the keyboard.
        frame.SelectMainTab();
        frame.activateWindow();
        frame.SelectTab(frame.tabStrip()->model().IndexOf(tab));
        QTRY_VERIFY(page->hasFocus() || page->isAncestorOf(QApplication::focusWidget()));
    }
};

int main(int argc, char** argv) {
    PrepareWebEngine();
    QApplication app(argc, argv);
    ReadingPanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "reading_panel_test.moc"
