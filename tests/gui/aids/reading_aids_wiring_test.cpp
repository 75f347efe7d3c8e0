#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "core/aids/speech_engine.h"
#include "core/aids/word_dictionary.h"
#include "gui/aids/speech_reading.h"
#include "gui/aids/speech_registration.h"
#include "gui/aids/word_lookup.h"
#include "gui/app/application.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/web_engine_setup.h"
#include "gui/reader/reading_page.h"
#include "gui/shell/browser_page.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/reading_panel.h"
#include "gui/shell/tab_strip.h"

using namespace quillon;

// The reading aids as the program registers them: a book opened in a real
// frame gets a working speech button, word lookup and explanation tab.
class ReadingAidsWiringTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("QUILLON_HOME", home_.path().toUtf8());
        QDir(home_.path()).mkpath(QStringLiteral("data"));
        QDir(home_.path()).mkpath(QStringLiteral("book"));
        QFile tags(home_.filePath(QStringLiteral("data/main.htm")));
        QVERIFY(tags.open(QIODevice::WriteOnly));
        tags.write("[AD_HEIGHT2]\r\n0\r\n[READER_ENGLISH_EXPLAIN]\r\nabout:blank#WORD_WORD\r\n");
        tags.close();
        QFile dict(home_.filePath(QStringLiteral("data/eng3.db")));
        QVERIFY(dict.open(QIODevice::WriteOnly));
        const std::string bytes = BuildDictionaryFile({{"hello", "[he'leu]", "int. hi"}});
        dict.write(bytes.data(), static_cast<qint64>(bytes.size()));
        dict.close();
        QFile book(home_.filePath(QStringLiteral("book/en.txt")));
        QVERIFY(book.open(QIODevice::WriteOnly));
        book.write("hello there\r\n");
        book.close();
        UseSpeechMemoryOutput({});
        StartApplication();
        QtMessenger::SetTestMode(true);
        RegisterReadingPanel();
        RegisterSpeechReading();
        RegisterWordLookup();
    }

    void openedBookCarriesTheAids() {
        CMainFrame frame;
        frame.resize(1000, 700);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        BrowserPage* tab = frame.OpenBlankTab();
        QCOMPARE(tab->OpenBook(QStringLiteral("en")), 0);
        auto* page = qobject_cast<ReadingPage*>(tab->readingPanel());
        QVERIFY(page);
        QVERIFY(SpeechReading::Of(*page));
        QVERIFY(page->findChild<QPushButton*>(QStringLiteral("speechButton"))->isEnabled());

        // "hello" starts the first row: cell (0, 1).
        QTest::mouseClick(page, Qt::LeftButton, {}, QPoint(50 + 17 + 8, page->contentTop() + 60));
        QCOMPARE(page->findChild<QLabel*>(QStringLiteral("statusLine"))->text(),
                 QStringLiteral(" hello : int. hi"));
        auto* explain = page->findChild<QPushButton*>(QStringLiteral("wordExplainButton"));
        QVERIFY(explain->isVisible() && explain->isEnabled());
        const int before = frame.tabStrip()->model().count();
        explain->click();
        QCOMPARE(frame.tabStrip()->model().count(), before + 1);
    }
};

int main(int argc, char** argv) {
    PrepareWebEngine();
    QApplication app(argc, argv);
    ReadingAidsWiringTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "reading_aids_wiring_test.moc"
