// The chapter list, the chapter in the status line, the one-click looks and
// display settings reaching every open page, on real reading pages.
#include <algorithm>

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

#include "core/reader/display_settings.h"
#include "core/text/gbk_literal.h"
#include "gui/reader/chapter_list_dialog.h"
#include "reader_fixture.h"

using namespace quillon;
using namespace reader_test;

namespace {

void UseShippedRules(const ProgramHome& home) {
    std::string rules;
    QVERIFY(ReadWholeFile(std::string(QUILLON_TEST_DATA) + "/../../data/chapter_rules.txt", rules));
    QVERIFY(WriteWholeFile(home.Path("data/chapter_rules.txt"), rules));
}

// `count` chapters "第N章 标题N", each followed by 12 lines of prose.
std::string Novel(int count) {
    std::string text;
    for (int c = 1; c <= count; ++c) {
        text += Gbk("第") + std::to_string(c) + Gbk("章 标题") + std::to_string(c) + "\r\n";
        for (int l = 0; l < 12; ++l) text += Gbk("　　正文正文。") + "\r\n";
    }
    return text;
}

QString Status(ReadingPage& page) {
    return page.findChild<QLabel*>(QStringLiteral("statusLine"))->text();
}

void ClickRow(QListView* list, int row) {
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
}

}  // namespace

class ChapterListTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void listMarksTheCurrentChapterAndJumps() {
        ProgramHome home;
        UseShippedRules(home);
        auto page = OpenPage(Novel(30));
        QVERIFY(page->chapters());
        QCOMPARE(page->chapters()->size(), size_t{30});
        // Chapter 5 starts at line 4 * 13 + 1; the page holding it is shown.
        page->model().GoToPage(12);
        page->NextPageCommand();
        QVERIFY(Status(*page).contains(QStringLiteral("第5章 标题5")));
        QVERIFY(Status(*page).contains(QStringLiteral("%")));

        QStringList marked;
        ModalSeam::QueueDialog([&](QDialog* d) {
            auto* list = d->findChild<QListView*>(QStringLiteral("chapterList"));
            if (!list || list->isHidden() || list->model()->rowCount() != 30)
                return int(QDialog::Rejected);
            marked << list->currentIndex().data().toString();
            ClickRow(list, 20);
            return d->result();
        });
        QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("chapterListButton")),
                          Qt::LeftButton);
        QVERIFY(!ModalSeam::HasPendingAnswers());
        QCOMPARE(marked, QStringList{QStringLiteral("▶ 第5章 标题5")});
        QVERIFY(Status(*page).contains(QStringLiteral("第21章 标题21")));
        // The heading itself is on the page shown.
        QVERIFY(std::any_of(page->model().pageLines().begin(), page->model().pageLines().end(),
                            [](const std::string& row) { return row.find(Gbk("第21章")) == 0; }));

        // Enter on a row jumps as well; the last page reads 100%.
        ModalSeam::QueueDialog([&](QDialog* d) {
            auto* list = d->findChild<QListView*>(QStringLiteral("chapterList"));
            list->setCurrentIndex(list->model()->index(29, 0));
            QTest::keyClick(list, Qt::Key_Return);
            return d->result();
        });
        page->OpenChapterList();
        QVERIFY(Status(*page).contains(QStringLiteral("第30章 标题30")));
        page->LastPageCommand();
        QVERIFY(Status(*page).endsWith(QStringLiteral("100.0%")));
    }

    void noHeadingsAndBadRulesAreExplained() {
        ProgramHome home;
        QVERIFY(WriteWholeFile(home.Path("data/chapter_rules.txt"),
                               "# comment\n^Part [0-9]+$\n^Book (\n"));
        auto first = OpenPage(NumberedLines(40));
        auto second = OpenPage(NumberedLines(40), "other");
        QTRY_VERIFY(!QtMessenger::Shown().isEmpty());
        QTest::qWait(20);
        // Named once, not again for the second book.
        QCOMPARE(QtMessenger::Shown().size(), 1);
        QVERIFY(QtMessenger::Shown()[0].contains(QStringLiteral("^Book (")));
        QVERIFY(!QtMessenger::Shown()[0].contains(QStringLiteral("Part")));

        QString note;
        bool listHidden = false;
        ModalSeam::QueueDialog([&](QDialog* d) {
            note = d->findChild<QLabel*>(QStringLiteral("chapterListNote"))->text();
            listHidden = d->findChild<QListView*>(QStringLiteral("chapterList"))->isHidden();
            return int(QDialog::Rejected);
        });
        second->OpenChapterList();
        QCOMPARE(note, QStringLiteral("未找到章节"));
        QVERIFY(listHidden);
    }

    void bigBooksAreSearchedInTheBackgroundAndHugeListsStayQuick() {
        ProgramHome home;
        UseShippedRules(home);
        // 100,000 headings in a book of more than 4 MB.
        std::string text;
        for (int i = 1; i <= 100000; ++i)
            text += "Chapter " + std::to_string(i) + "\r\n" + std::string(40, 'x') + "\r\n";
        auto page = OpenPage(text);
        QTRY_VERIFY_WITH_TIMEOUT(page->chapters() != nullptr, 10000);
        QCOMPARE(page->chapters()->size(), size_t{100000});
        QTRY_VERIFY(Status(*page).contains(QStringLiteral("Chapter 2 ")));

        qint64 openMs = -1;
        int rows = 0;
        ModalSeam::QueueDialog([&](QDialog* d) {
            auto* list = d->findChild<QListView*>(QStringLiteral("chapterList"));
            rows = list->model()->rowCount();
            QElapsedTimer timer;
            timer.start();
            list->scrollToBottom();
            QTest::qWait(1);
            ClickRow(list, rows - 1);
            openMs = timer.elapsed();
            return d->result();
        });
        page->OpenChapterList();
        QCOMPARE(rows, 100000);
        QVERIFY2(openMs >= 0 && openMs < 1500, qPrintable(QString::number(openMs)));
        QVERIFY(Status(*page).contains(QStringLiteral("Chapter 100000")));
    }

    void looksAndSettingsReachEveryOpenPage() {
        ProgramHome home;
        auto first = OpenPage(NumberedLines(100));
        auto second = OpenPage(NumberedLines(100), "other");
        const char* buttons[] = {"presetDayButton", "presetNightButton", "presetEyeCareButton",
                                 "presetParchmentButton"};
        QList<uint32_t> texts;
        ModalSeam::QueueDialog([&](QDialog* d) {
            for (const char* name : buttons) {
                QTest::mouseClick(d->findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
                const DisplaySettings& s = second->settings();
                // Each look is applied at once, to the other page too, and
                // keeps the text well apart from its page.
                auto luma = [](uint32_t c) {
                    return 0.299 * ColourRed(c) + 0.587 * ColourGreen(c) + 0.114 * ColourBlue(c);
                };
                if (std::abs(luma(s.textColour) - luma(s.backColour)) < 100)
                    return int(QDialog::Rejected);
                if (luma(s.selBackColour) > 200) return int(QDialog::Rejected);
                texts << s.textColour;
            }
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("presetNightButton")),
                              Qt::LeftButton);
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("closeButton")),
                              Qt::LeftButton);
            return d->result();
        });
        first->OpenSettingsDialog();
        QCOMPARE(texts.size(), 4);
        QCOMPARE(QSet<uint32_t>(texts.begin(), texts.end()).size(), 4);
        DisplaySettingsForm night;
        ApplyColourPreset(night, ColourPreset::Night);
        for (ReadingPage* page : {first.get(), second.get()}) {
            QCOMPARE(page->settings().textColour, night.textColour);
            QCOMPARE(page->style().backColour, ColourFromRef(night.backColour));
        }
        // Saved, a change reaches the other page too, and pages opened later.
        ModalSeam::QueueDialog([&](QDialog* d) {
            d->findChild<QLineEdit*>(QStringLiteral("charSpacingEdit"))
                ->setText(QStringLiteral("20"));
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("saveButton")),
                              Qt::LeftButton);
            return d->result();
        });
        second->OpenSettingsDialog();
        QCOMPARE(first->settings().charSpacing, 20);
        QCOMPARE(first->model().charSpacing(), 20);
        QCOMPARE(OpenPage("x")->settings().textColour, night.textColour);
    }
};

QTEST_MAIN(ChapterListTest)
#include "chapter_list_test.moc"
