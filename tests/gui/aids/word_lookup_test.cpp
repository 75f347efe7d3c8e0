#include <atomic>
#include <memory>

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "../reader/reader_fixture.h"
#include "core/aids/speech_engine.h"
#include "core/aids/word_dictionary.h"
#include "core/platform/file_io.h"
#include "core/text/gbk_literal.h"
#include "gui/aids/word_lookup.h"
#include "gui/aids/word_panel.h"
#include "gui/app/text_convert.h"

using namespace quillon;
using reader_test::CellCentre;
using reader_test::OpenPage;
using reader_test::ProgramHome;

namespace {
std::atomic<size_t> g_samples{0};

int CountColour(const QImage& image, const QRect& area, bool (*match)(QRgb)) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += match(image.pixel(x, y)) ? 1 : 0;
    return n;
}
bool Bluish(QRgb c) { return qBlue(c) > 150 && qRed(c) < 100 && qGreen(c) < 100; }
bool Greenish(QRgb c) { return qGreen(c) > 60 && qRed(c) < 60 && qBlue(c) < 60; }
}  // namespace

class WordLookupTest final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        UseSpeechMemoryOutput([](const int16_t*, int n) { g_samples += static_cast<size_t>(n); });
    }
    void init() {
        home_ = std::make_unique<ProgramHome>();
        g_samples = 0;
        QVERIFY(WriteWholeFile(
            home_->Path("data/eng3.db"),
            BuildDictionaryFile({{"make", "[meik] " + Gbk("做"), "v. " + Gbk("做；制造")},
                                 {"international", "[inte'nasenl]", "adj. " + Gbk("国际的")}})));
        dictionary_ = Dictionary();
        dictionary_.Load(home_->Path("data/eng3.db"));
    }
    void cleanup() { home_.reset(); }

    void clickLooksUpShowsAndSpeaks() {
        // 20 columns: "international" wraps from row 1 into row 2.
        auto page = OpenPage("I am making ok. bad\r\n123456789012345 international");
        QStringList opened;
        WordLookup* lookup = AttachWordLookup(*page, dictionary_, [&](const QString& url) {
            opened << url;
        });
        auto* status = page->findChild<QLabel*>(QStringLiteral("statusLine"));
        auto* label = page->findChild<QLabel*>(QStringLiteral("wordPanel"));
        PhoneticPanel* panel = lookup->panel();
        QVERIFY(panel);

        QTest::mouseClick(page.get(), Qt::LeftButton, {}, CellCentre(*page, 0, 6));  // "making"
        QCOMPARE(status->text(), QStringLiteral(" make : v. 做；制造"));
        QVERIFY(page->wordMode());
        QVERIFY(label->isVisible());
        QCOMPARE(panel->word(), std::string("make"));
        QCOMPARE(panel->runs().size(), size_t{2});
        QVERIFY(!panel->runs()[0].gbk);
        QVERIFY(panel->runs()[1].gbk);
        QCOMPARE(panel->geometry(), label->rect());
        QVERIFY(page->model().cellGrid().At(0, 5).selected);  // "making" selected
        QTRY_COMPARE_WITH_TIMEOUT(lookup->wordsSpoken(), 1, 5000);
        QVERIFY(g_samples.load() > 2000);

        // Unknown word: the word itself, two spaces after; the panel keeps
        // the last word found.
        QTest::mouseClick(page.get(), Qt::LeftButton, {}, CellCentre(*page, 0, 17));  // "bad"
        QCOMPARE(status->text(), QStringLiteral(" bad  "));
        QCOMPARE(panel->word(), std::string("make"));
        QTRY_COMPARE_WITH_TIMEOUT(lookup->wordsSpoken(), 2, 5000);

        // A word wrapped over two rows is looked up whole.
        QTest::mouseClick(page.get(), Qt::LeftButton, {}, CellCentre(*page, 2, 2));
        QCOMPARE(panel->word(), std::string("international"));

        // The explanation opens the configured address with the panel's word.
        QVERIFY(WriteWholeFile(home_->Path("data/main.htm"),
                               "[READER_ENGLISH_EXPLAIN]\r\nhttp://127.0.0.1:9/w?q=WORD_WORD&x=1\r\n"));
        QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("wordExplainButton")),
                          Qt::LeftButton);
        QCOMPARE(opened, QStringList{QStringLiteral("http://127.0.0.1:9/w?q=international&x=1")});
        QVERIFY(WriteWholeFile(home_->Path("data/main.htm"), "[OTHER]\r\nx\r\n"));
        lookup->OpenExplanation();
        QCOMPARE(opened.last(), QStringLiteral("about:blank"));
    }

    void panelDrawsWordBlueAndRunsGreen() {
        PhoneticPanel panel;
        panel.resize(300, 24);
        panel.Show("make", "[meik] " + Gbk("做"), 18, 18);
        QCOMPARE(panel.wordHeight(), 18);
        panel.Show("make", "[meik] " + Gbk("做"), 0, -1);  // keeps the heights
        QCOMPARE(panel.runHeight(), 18);
        QImage image(panel.size(), QImage::Format_RGB32);
        panel.render(&image);
        const int wordEnd = 5 + QFontMetrics([] {
                                    QFont f(QStringLiteral("宋体"));
                                    f.setPixelSize(18);
                                    return f;
                                }())
                                    .horizontalAdvance(QStringLiteral("make"));
        QVERIFY(CountColour(image, QRect(0, 0, wordEnd + 1, 24), Bluish) > 10);
        QCOMPARE(CountColour(image, QRect(0, 0, wordEnd + 1, 24), Greenish), 0);
        QVERIFY(CountColour(image, QRect(wordEnd + 9, 0, 300 - wordEnd - 9, 24), Greenish) > 10);
        QVERIFY(panel.ContentWidth() > wordEnd + 10);
    }

    void closingThePageWhileSpeakingIsSafe() {
        auto page = OpenPage("make make make");
        WordLookup* lookup = AttachWordLookup(*page, dictionary_, {});
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(page.get(), Qt::LeftButton, {}, CellCentre(*page, 0, 1 + 5 * i));
        QVERIFY(lookup->panel());
        QCOMPARE(AttachWordLookup(*page, dictionary_, {}), lookup);
        QPointer<WordLookup> watch(lookup);
        page.reset();  // cancels and joins the word workers
        QVERIFY(watch.isNull());
        const size_t after = g_samples.load();
        QTest::qWait(100);
        QCOMPARE(g_samples.load(), after);
    }

private:
    std::unique_ptr<ProgramHome> home_;
    Dictionary dictionary_;
};

QTEST_MAIN(WordLookupTest)
#include "word_lookup_test.moc"
