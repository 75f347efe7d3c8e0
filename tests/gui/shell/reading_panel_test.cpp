#include "gui/shell/reading_panel.h"

#include <memory>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "core/reader/reading_resume.h"
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

    void readingTabsComeBackWhereTheyWereLeft() {
        auto writeBook = [&](const QString& name, int lines) {
            std::string text;
            for (int i = 0; i < lines; ++i)
                text += Utf8ToGbk("第" + std::to_string(i) + "行，滚滚长江东逝水，浪花淘尽英雄。\r\n");
            QFile book(home_.filePath(QStringLiteral("book/%1.txt").arg(name)));
            QVERIFY(book.open(QIODevice::WriteOnly));
            book.write(text.data(), static_cast<qint64>(text.size()));
        };
        // The tabs of the test before are not this test's business.
        QFile::remove(QString::fromStdString(OpenBooks::FilePath()));
        writeBook(QStringLiteral("甲"), 30000);
        writeBook(QStringLiteral("乙"), 300);
        auto readingPage = [](BrowserPage* tab) { return qobject_cast<ReadingPage*>(tab->readingPanel()); };

        int32_t leftA = 0;
        int32_t leftB = 0;
        {
            CMainFrame frame;
            frame.resize(1000, 700);
            frame.show();
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            BrowserPage* a = frame.OpenBlankTab();
            QCOMPARE(a->OpenBook(QStringLiteral("甲")), 0);
            ReadingPage* pageA = readingPage(a);
            QTRY_VERIFY(pageA->model().rows() > 0);
            pageA->model().GoToPage(500);
            QTest::keyClick(pageA, Qt::Key_Down);
            leftA = pageA->model().anchorOffset();
            // Full screen on and off keeps the same byte on the first row.
            for (int k = 0; k < 2; ++k) {
                frame.EnterFullScreen();
                QTest::qWait(150);
                frame.LeaveFullScreen();
                QTest::qWait(150);
                QCOMPARE(pageA->model().anchorOffset(), leftA);
                const DisplayLine& top = pageA->model().lineTable()[pageA->model().topLine()];
                QVERIFY(top.start <= leftA && leftA < top.end);
            }
            BrowserPage* b = frame.OpenBlankTab();
            QCOMPARE(b->OpenBook(QStringLiteral("乙")), 0);
            readingPage(b)->model().GoToPage(3);
            QTest::keyClick(readingPage(b), Qt::Key_Space);
            leftB = readingPage(b)->model().anchorOffset();
            frame.SelectTab(frame.tabStrip()->model().IndexOf(a));
        }

        // The next start: both tabs again, in order, the first current, each
        // where it was left.
        {
            CMainFrame frame;
            frame.resize(1000, 700);
            frame.show();
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            QTRY_COMPARE(frame.PageCount(), 3);
            QCOMPARE(frame.PageAt(1)->Title(), QStringLiteral("甲_阅读"));
            QCOMPARE(frame.PageAt(2)->Title(), QStringLiteral("乙_阅读"));
            QCOMPARE(frame.CurrentPage(), frame.PageAt(1));
            ReadingPage* pageA = readingPage(frame.PageAt(1));
            QTRY_COMPARE(pageA->model().anchorOffset(), leftA);
            QVERIFY(pageA->model().topLine() > 0);
            frame.SelectTab(2);
            QTRY_COMPARE(readingPage(frame.PageAt(2))->model().anchorOffset(), leftB);
        }

        // Switched off: only the main tab comes.
        ResumeSettings off;
        off.reopenBooks = false;
        QVERIFY(off.Save());
        CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QTest::qWait(100);
        QCOMPARE(frame.PageCount(), 1);
        QVERIFY(QFile::remove(QString::fromStdString(ResumeSettings::FilePath())));
    }
};

int main(int argc, char** argv) {
    PrepareWebEngine();
    QApplication app(argc, argv);
    ReadingPanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "reading_panel_test.moc"
