// The "编码" menu of the reading page: a chosen encoding reopens the book at
// the same place and is remembered for that book, as is "繁体转简体".
#include <QAction>
#include <QMenu>
#include <QPushButton>

#include "core/reader/book_text_choice.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"
#include "reader_fixture.h"

using namespace quillon;
using namespace reader_test;

class BookEncodingTest final : public QObject {
    Q_OBJECT

private:
    static QAction* Action(ReadingPage& page, const QString& text) {
        auto* button = page.findChild<QPushButton*>(QStringLiteral("encodingButton"));
        if (!button || !button->menu()) return nullptr;
        for (QAction* a : button->menu()->actions()) {
            if (a->text() == text) return a;
        }
        return nullptr;
    }

    // Opens the book as the host does: with the remembered choice.
    static std::unique_ptr<ReadingPage> Open(const std::string& path, const std::string& name) {
        std::string text;
        ReadBookForReading(path, LoadBookTextChoice(name), text);
        auto page = OpenPage(text, name);
        page->SetBookPath(path);
        return page;
    }

private Q_SLOTS:
    void choiceReopensAtTheSamePlaceAndIsRemembered() {
        ProgramHome home;
        const std::string traditional = Gbk("他說：“我們明天再走吧。”\r\n");
        const std::string simplified = Gbk("他说：“我们明天再走吧。”\r\n");
        std::string book;
        for (int i = 0; i < 400; ++i) book += ConvertCharset(traditional, "CP936", "CP950", "?");
        const std::string path = home.Path("book/big5.txt");
        QVERIFY(quillon::WriteWholeFile(path, book));

        auto page = Open(path, "big5");
        QVERIFY(Action(*page, QStringLiteral("自动"))->isChecked());
        QCOMPARE(page->model().text().substr(0, traditional.size()), traditional);
        page->model().GoToPage(20);
        const int32_t top = page->model().topOffset();

        // Read as GBK the bytes are another text of the same length: the
        // very byte stays at the top.
        Action(*page, QStringLiteral("GBK"))->trigger();
        QVERIFY(page->model().text().substr(0, traditional.size()) != traditional);
        QCOMPARE(page->model().topOffset(), top);
        QCOMPARE(page->textChoice().encoding, BookEncoding::kGbk);

        Action(*page, QStringLiteral("Big5"))->trigger();
        Action(*page, QStringLiteral("繁体转简体"))->trigger();
        QCOMPARE(page->model().text().substr(0, simplified.size()), simplified);
        QCOMPARE(page->model().topOffset(), top);

        // The next opening of the book starts from the choice.
        page.reset();
        page = Open(path, "big5");
        QVERIFY(Action(*page, QStringLiteral("Big5"))->isChecked());
        QVERIFY(Action(*page, QStringLiteral("繁体转简体"))->isChecked());
        QCOMPARE(page->model().text().substr(0, simplified.size()), simplified);
        // Another book is not affected.
        QCOMPARE(LoadBookTextChoice("other"), BookTextChoice{});
    }
};

QTEST_MAIN(BookEncodingTest)
#include "book_encoding_test.moc"
