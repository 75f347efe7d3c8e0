// The reading page driven like a user does: keys, clicks, the page-number
// field, automatic turning, full screen and the page-text window.
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "core/reader/reading_resume.h"
#include "core/text/gbk_literal.h"
#include "gui/reader/auto_turn_dialog.h"
#include "gui/reader/page_text_dialog.h"
#include "reader_fixture.h"

using namespace quillon;
using namespace reader_test;

class ReadingPageTest final : public QObject {
    Q_OBJECT

private:
    static QLineEdit* PageField(ReadingPage& page) {
        return page.findChild<QLineEdit*>(QStringLiteral("pageNumberEdit"));
    }
    static QString Status(ReadingPage& page) {
        return page.findChild<QLabel*>(QStringLiteral("statusLine"))->text();
    }
    static bool Selected(ReadingPage& page, int row, int col) {
        return page.model().cellGrid().At(row, col).selected != 0;
    }

private Q_SLOTS:
    static QList<QWidget*> Bar(ReadingPage& page) {
        const char* order[] = {"settingsButton",   "scrollButton",   "fullScreenButton",
                               "bookmarkCombo",    "addBookmarkButton", "deleteBookmarkButton",
                               "speechButton",     "pageTextButton", "autoTurnButton",
                               "findButton",       "firstPageButton", "lastPageButton",
                               "prevPageButton",   "nextPageButton", "pageNumberEdit",
                               "goPageButton"};
        QList<QWidget*> bar;
        for (const char* name : order) {
            auto* w = page.findChild<QWidget*>(QLatin1String(name));
            if (!w) qFatal("no %s", name);
            bar << w;
        }
        return bar;
    }

    void buttonBarKeepsOrderAndSpacing() {
        ProgramHome home;
        // Wide enough for the whole bar: one row at y = 4.
        auto page = OpenPage(NumberedLines(100), "book", 1200);
        QCOMPARE(page->contentTop(), 0);
        int x = 5;
        for (QWidget* w : Bar(*page)) {
            QCOMPARE(w->pos(), QPoint(x, 4));
            x += w->width() + 3;
        }
        // Later subsystems take these over; their places are already final.
        QVERIFY(!page->findChild<QPushButton*>(QStringLiteral("speechButton"))->isEnabled());
        QVERIFY(page->findChild<QPushButton*>(QStringLiteral("scrollButton"))->isEnabled());
        // Status mode: the status line spans the bottom bar.
        auto* status = page->findChild<QLabel*>(QStringLiteral("statusLine"));
        QCOMPARE(status->geometry(), QRect(0, page->height() - 21, page->width(), 20));
        QVERIFY(page->findChild<QLabel*>(QStringLiteral("wordPanel"))->isHidden());
    }

    void narrowPageContinuesTheBarOnAnotherRow() {
        ProgramHome home;
        auto page = OpenPage(NumberedLines(100));
        // Every control stays inside the page, in reading order, 3 pixels
        // apart; a row that is full continues at x = 5 one bar height plus
        // 3 pixels lower.
        const QList<QWidget*> bar = Bar(*page);
        QPoint next(5, 4);
        int rows = 1;
        for (QWidget* w : bar) {
            if (w->pos() != next) {
                QCOMPARE(w->pos(), QPoint(5, next.y() + 25));
                // It really did not fit where it would have gone.
                QVERIFY(next.x() + w->width() > page->width() - 5);
                ++rows;
            }
            QVERIFY(w->geometry().right() < page->width());
            next = QPoint(w->x() + w->width() + 3, w->y());
        }
        QVERIFY(rows > 1);
        QCOMPARE(page->contentTop(), (rows - 1) * 25);
        // The drawing area starts below the last row and keeps its full
        // height: the fixture's 5 rows of 20 columns.
        QCOMPARE(page->model().rows(), kRows);
        QCOMPARE(page->model().cols(), kCols);
        QVERIFY(bar.last()->geometry().bottom() < page->contentTop() + 30);
        // A click on the first cell hits it where it is drawn.
        QTest::mouseDClick(page.get(), Qt::LeftButton, {}, CellCentre(*page, 0, 0));
        QVERIFY(Selected(*page, 0, 0));
        QVERIFY(!Selected(*page, 1, 0));

        // Widened, the bar goes back to one row and the text area gets the
        // room: 3 more rows of 41 pixels once the burst of resizes is over.
        const int extra = page->contentTop();
        page->resize(1200, page->height());
        QCOMPARE(page->contentTop(), 0);
        QCOMPARE(bar.last()->y(), 4);
        QTRY_COMPARE(page->model().rows(), kRows + extra / 41);
        QVERIFY(QTest::qWaitForWindowExposed(page.get()));
        const QImage shot = page->grab().toImage();
        QCOMPARE(shot.pixel(1, 30), qRgb(160, 160, 160));
    }

    void keysTurnPagesAndPassOn() {
        ProgramHome home;
        auto page = OpenPage(NumberedLines(100));
        QCOMPARE(page->model().rows(), kRows);
        QCOMPARE(page->model().cols(), kCols);
        QCOMPARE(PageField(*page)->text(), QStringLiteral("1"));

        QTest::keyClick(page.get(), Qt::Key_PageDown);
        QCOMPARE(page->model().topLine(), 5);
        QTest::keyClick(page.get(), Qt::Key_Right);
        QCOMPARE(page->model().topLine(), 10);
        QCOMPARE(PageField(*page)->text(), QStringLiteral("3"));
        QVERIFY(Status(*page).contains(QStringLiteral("当前第: 3页 11行")));
        QTest::keyClick(page.get(), Qt::Key_PageUp);
        QCOMPARE(page->model().topLine(), 5);
        QTest::keyClick(page.get(), Qt::Key_Left);
        QCOMPARE(page->model().topLine(), 0);
        // Keys reach the page before the focused child, once each: a button
        // that ignores PageDown hands it on to the page, which must not turn
        // twice.
        auto* next = page->findChild<QPushButton*>(QStringLiteral("nextPageButton"));
        QTest::keyClick(next, Qt::Key_PageDown);
        QCOMPARE(page->model().topLine(), 5);

        // In the page-number field Right turns the page and still moves the
        // caret.
        QLineEdit* field = PageField(*page);
        field->setCursorPosition(0);
        QTest::keyClick(field, Qt::Key_Right);
        QCOMPARE(page->model().topLine(), 10);
        QCOMPARE(field->cursorPosition(), 1);
    }

    void readerKeysWheelAndClipboard() {
        ProgramHome home;
        auto page = OpenPage(Gbk("天下大势\r\n") + NumberedLines(100));
        QLineEdit* field = PageField(*page);
        field->setFocus();
        struct Step {
            Qt::Key key;
            Qt::KeyboardModifiers mods;
            int topLine;
        };
        const Step steps[] = {
            {Qt::Key_Space, Qt::NoModifier, 5},   {Qt::Key_Space, Qt::NoModifier, 10},
            {Qt::Key_Space, Qt::ShiftModifier, 5}, {Qt::Key_End, Qt::NoModifier, 100},
            {Qt::Key_Home, Qt::NoModifier, 0},    {Qt::Key_Down, Qt::NoModifier, 1},
            {Qt::Key_Down, Qt::NoModifier, 2},    {Qt::Key_Up, Qt::NoModifier, 1},
            {Qt::Key_Space, Qt::NoModifier, 6},
        };
        for (const Step& step : steps) {
            QTest::keyClick(field, step.key, step.mods);
            QCOMPARE(page->model().topLine(), step.topLine);
        }
        // The field took none of them as typing.
        QVERIFY(!field->text().contains(QLatin1Char(' ')));

        // A notch of the wheel is a page: towards the reader reads on.
        auto wheel = [&](int delta) {
            const QPointF at(100, 100);
            QWheelEvent event(at, page->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(page.get(), &event);
        };
        wheel(-120);
        QCOMPARE(page->model().topLine(), 11);
        wheel(60);
        QCOMPARE(page->model().topLine(), 11);  // half a notch waits for the rest
        wheel(60);
        QCOMPARE(page->model().topLine(), 6);

        // Ctrl+C copies the selected character as Unicode text.
        QTest::keyClick(field, Qt::Key_Home);
        QTest::mouseClick(page.get(), Qt::LeftButton, {}, CellCentre(*page, 0, 2));
        QVERIFY(Selected(*page, 0, 2));
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("下"));
        QTest::mouseDClick(page.get(), Qt::LeftButton, {}, CellCentre(*page, 0, 0));
        QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("天下大势"));

        // Ctrl+F opens find; F11 asks for full screen, Escape leaves it.
        bool findOpened = false;
        ModalSeam::QueueDialog([&](QDialog* d) {
            findOpened = d->objectName() == QStringLiteral("findDialog");
            return 0;
        });
        QTest::keyClick(field, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(findOpened);
        QSignalSpy full(page.get(), &ReadingPage::fullScreenRequested);
        QTest::keyClick(field, Qt::Key_F11);
        QTest::keyClick(field, Qt::Key_Escape);
        QTest::keyClick(field, Qt::Key_Escape);
        QCOMPARE(full.count(), 2);
        QCOMPARE(full[0][0].toBool(), true);
        QCOMPARE(full[1][0].toBool(), false);
    }

    void positionIsKeptPerBookAndBadFilesGiveThePageOne() {
        ProgramHome home;
        const std::string posFile = ReadingPosition::FilePath("book");
        int32_t left = 0;
        {
            auto page = OpenPage(NumberedLines(100));
            page->model().GoToPage(7);
            QTest::keyClick(page.get(), Qt::Key_Down);
            left = page->model().anchorOffset();
            // Saved a moment after the reader stops, not at every key.
            QVERIFY(!FileExists(posFile));
            QTRY_COMPARE_WITH_TIMEOUT(ReadingPosition::Load("book").value_or(-1), left, 5000);
            QTest::keyClick(page.get(), Qt::Key_Down);
            left = page->model().anchorOffset();
        }  // closing saves at once
        QCOMPARE(ReadingPosition::Load("book").value_or(-1), left);
        {
            auto page = OpenPage(NumberedLines(100), "book", kWidth, kHeight + 41 * 3);
            QCOMPARE(page->model().topOffset(), left);
            QCOMPARE(page->model().topLine(), 32);
        }
        // Damaged, or past the end of a book edited since: page 1, and the
        // file is right again after the next save.
        for (const std::string& bytes : {std::string("offset=3"), ReadingPosition::Format(1 << 30)}) {
            QVERIFY(WriteWholeFile(posFile, bytes));
            {
                auto page = OpenPage(NumberedLines(100));
                QCOMPARE(page->model().topLine(), 0);
            }
            QCOMPARE(ReadingPosition::Load("book").value_or(-1), 0);
        }
        // Switched off: the first page, and nothing stored.
        ResumeSettings off;
        off.resumePosition = false;
        QVERIFY(off.Save());
        QVERIFY(ReadingPosition::Save("book", left));
        {
            auto page = OpenPage(NumberedLines(100));
            QCOMPARE(page->model().topLine(), 0);
            page->model().GoToPage(3);
        }
        QCOMPARE(ReadingPosition::Load("book").value_or(-1), left);
    }

    void enterGoesToTypedPageAndEscapeClosesNothing() {
        ProgramHome home;
        // Inside a dialog, where Escape would normally close the window.
        QDialog host;
        auto* layout = new QVBoxLayout(&host);
        auto* page = new ReadingPage(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(page);
        host.resize(kWidth, kHeight);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        host.resize(kWidth, kHeight + page->contentTop());
        QTRY_COMPARE(page->height(), kHeight + page->contentTop());
        page->SetText(NumberedLines(100));
        page->UpdateGeometry();
        QCOMPARE(page->model().rows(), kRows);

        QLineEdit* field = PageField(*page);
        field->setText(QStringLiteral("7"));
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(page->model().topLine(), 30);
        QCOMPARE(field->text(), QStringLiteral("7"));
        QVERIFY(host.isVisible());
        QCOMPARE(host.result(), 0);

        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(host.isVisible());
        // Non-digits read as 0, the first page; beyond the end, the last.
        field->setText(QStringLiteral("abc"));
        QTest::keyClick(field, Qt::Key_Enter);
        QCOMPARE(page->model().topLine(), 0);
        field->setText(QStringLiteral("999"));
        QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("goPageButton")),
                          Qt::LeftButton);
        QCOMPARE(page->model().topLine(), 95);
    }

    void navigationButtons() {
        ProgramHome home;
        auto page = OpenPage(NumberedLines(100));
        auto click = [&](const char* name) {
            QTest::mouseClick(page->findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
        };
        click("lastPageButton");
        QCOMPARE(page->model().topLine(), 95);
        click("nextPageButton");
        QCOMPARE(page->model().topLine(), 95);
        click("prevPageButton");
        QCOMPARE(page->model().topLine(), 90);
        click("firstPageButton");
        QCOMPARE(page->model().topLine(), 0);
        // A press anywhere in the page gives the keys back to the field.
        page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
        page->findChild<QPushButton*>(QStringLiteral("findButton"))->setFocus();
        QTest::mouseClick(page.get(), Qt::LeftButton, {}, QPoint(5, page->height() - 5));
        QCOMPARE(QApplication::focusWidget(), PageField(*page));
    }

    void wrappedWordIsSelectedWholeAndToggles() {
        ProgramHome home;
        // 17 '=' then "wor" fill the first row of 20 columns; "d" starts the
        // second.
        auto page = OpenPage(std::string(17, '=') + "word and 12.5x\r\n");
        QCOMPARE(page->model().cols(), kCols);
        QTest::mouseClick(page.get(), Qt::LeftButton, {}, CellCentre(*page, 1, 0));
        for (int c = 17; c < 20; ++c) QVERIFY(Selected(*page, 0, c));
        QVERIFY(Selected(*page, 1, 0));
        QVERIFY(!Selected(*page, 0, 16));
        QVERIFY(!Selected(*page, 1, 1));
        // Without a dictionary the status line shows the word itself, and
        // the bar is in word mode.
        QCOMPARE(Status(*page), QStringLiteral(" word  "));
        QVERIFY(page->wordMode());
        QCOMPARE(page->findChild<QPushButton*>(QStringLiteral("wordExplainButton"))->geometry(),
                 QRect(kWidth - 150, page->height() - 21, 150, 20));

        // The second click on the same word clears the selection.
        QTest::mouseClick(page.get(), Qt::LeftButton, {}, CellCentre(*page, 0, 18));
        for (int c = 17; c < 20; ++c) QVERIFY(!Selected(*page, 0, c));
        QVERIFY(!Selected(*page, 1, 0));

        // A number with its decimal point: "12.5" in row 1 columns 6-9; the
        // letter after it is not part of it.
        QTest::mouseClick(page.get(), Qt::LeftButton, {}, CellCentre(*page, 1, 7));
        for (int c = 6; c <= 9; ++c) QVERIFY(Selected(*page, 1, c));
        QVERIFY(!Selected(*page, 1, 5));
        QVERIFY(!Selected(*page, 1, 10));
        // Other ASCII leaves the selection alone; a control cell clears it.
        QTest::mouseClick(page.get(), Qt::LeftButton, {}, CellCentre(*page, 0, 0));
        QVERIFY(Selected(*page, 1, 6));
        QTest::mouseClick(page.get(), Qt::LeftButton, {}, CellCentre(*page, 1, 11));
        QVERIFY(!Selected(*page, 1, 6));
        // A page layout goes back to status mode.
        QTest::keyClick(page.get(), Qt::Key_PageDown);
        QVERIFY(!page->wordMode());
    }

    void twoByteCharactersAndDoubleClick() {
        ProgramHome home;
        auto page = OpenPage(Gbk("甲乙丙") + "\r\n" + Gbk("丁戊") + "\r\n");
        // A click on the trail byte selects both bytes of the character.
        QTest::mouseClick(page.get(), Qt::LeftButton, {}, CellCentre(*page, 0, 3));
        QVERIFY(Selected(*page, 0, 2));
        QVERIFY(Selected(*page, 0, 3));
        QVERIFY(!Selected(*page, 0, 1));
        QVERIFY(!Selected(*page, 0, 4));
        QTest::mouseClick(page.get(), Qt::LeftButton, {}, CellCentre(*page, 0, 2));
        QVERIFY(!Selected(*page, 0, 2));
        QVERIFY(!Selected(*page, 0, 3));

        QTest::mouseDClick(page.get(), Qt::LeftButton, {}, CellCentre(*page, 1, 1));
        for (int c = 0; c <= kCols; ++c) QVERIFY(Selected(*page, 1, c));
        QVERIFY(!Selected(*page, 0, 0));
    }

    void autoTurnTimerTurnsAndNegativeStopsIt() {
        ProgramHome home;
        auto page = OpenPage(NumberedLines(100));
        ModalSeam::QueueDialog([](QDialog* d) {
            auto* field = d->findChild<QLineEdit*>(QStringLiteral("autoTurnSecondsEdit"));
            if (field->text() != QStringLiteral("0")) return int(QDialog::Rejected);
            field->setText(QStringLiteral("1"));
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("startAutoTurnButton")),
                              Qt::LeftButton);
            return d->result();
        });
        QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("autoTurnButton")),
                          Qt::LeftButton);
        QCOMPARE(page->autoTurnSeconds(), 1);
        QVERIFY(page->autoTurnTimer().isActive());
        QCOMPARE(page->autoTurnTimer().interval(), 1000);
        QTRY_VERIFY_WITH_TIMEOUT(page->model().topLine() >= 10, 4000);

        QString shown;
        ModalSeam::QueueDialog([&](QDialog* d) {
            auto* field = d->findChild<QLineEdit*>(QStringLiteral("autoTurnSecondsEdit"));
            shown = field->text();
            field->setText(QStringLiteral("-5"));
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("startAutoTurnButton")),
                              Qt::LeftButton);
            return d->result();
        });
        page->OpenAutoTurnDialog();
        QCOMPARE(shown, QStringLiteral("1"));
        QCOMPARE(page->autoTurnSeconds(), -5);
        QVERIFY(!page->autoTurnTimer().isActive());
        const int top = page->model().topLine();
        QTest::qWait(1300);
        QCOMPARE(page->model().topLine(), top);

        // A negative interval shows as 0; cancelling (here: closing) stores 0.
        ModalSeam::QueueDialog([&](QDialog* d) {
            shown = d->findChild<QLineEdit*>(QStringLiteral("autoTurnSecondsEdit"))->text();
            d->findChild<QLineEdit*>(QStringLiteral("autoTurnSecondsEdit"))->setText(QStringLiteral("9"));
            d->close();
            return d->result();
        });
        page->OpenAutoTurnDialog();
        QCOMPARE(shown, QStringLiteral("0"));
        QCOMPARE(page->autoTurnSeconds(), 0);
        QVERIFY(!page->autoTurnTimer().isActive());
    }

    void fullScreenCaptionFollowsTheFrame() {
        ProgramHome home;
        auto page = OpenPage(NumberedLines(10));
        auto* button = page->findChild<QPushButton*>(QStringLiteral("fullScreenButton"));
        QSignalSpy spy(page.get(), &ReadingPage::fullScreenRequested);
        bool frameFull = false;
        page->SetFullScreenQuery([&] { return frameFull; });
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("正常显示"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        // The frame refused: the next layout shows what the frame is.
        page->Relayout();
        QCOMPARE(button->text(), QStringLiteral("全屏显示"));
        frameFull = true;
        page->Relayout();
        QCOMPARE(button->text(), QStringLiteral("正常显示"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("全屏显示"));
        QCOMPARE(spy.at(1).at(0).toBool(), false);
    }

    void pageTextWindowShowsTheRows() {
        ProgramHome home;
        auto page = OpenPage(NumberedLines(3) + Gbk("中文行") + "\r\n");
        QString shown;
        bool resizable = false;
        ModalSeam::QueueDialog([&](QDialog* d) {
            auto* edit = d->findChild<QPlainTextEdit*>(QStringLiteral("pageTextEdit"));
            shown = edit->toPlainText();
            resizable = d->isSizeGripEnabled() && edit->isReadOnly();
            return int(QDialog::Rejected);
        });
        QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("pageTextButton")),
                          Qt::LeftButton);
        QCOMPARE(shown, QStringLiteral("line 0001\nline 0002\nline 0003\n中文行\n\n"));
        QVERIFY(resizable);
        QCOMPARE(page->model().topLine(), 0);
    }

    void resizeBurstResplitsOnceAndKeepsTheTopByte() {
        ProgramHome home;
        auto page = OpenPage(NumberedLines(100));
        QTest::keyClick(page.get(), Qt::Key_PageDown);
        QTest::keyClick(page.get(), Qt::Key_PageDown);
        QTest::keyClick(page.get(), Qt::Key_PageDown);  // line 16 at the top
        const int32_t topByte = page->model().topOffset();
        const int bar = page->contentTop();
        for (int h = kHeight; h <= kHeight + 41 * 5; h += 7) page->resize(kWidth, bar + h);
        page->resize(kWidth, bar + 65 + 41 * 8);
        // Still the old split while the burst goes on.
        QCOMPARE(page->model().rows(), kRows);
        QTRY_COMPARE(page->model().rows(), 8);
        // Line 16 is still the top line.
        QCOMPARE(page->model().topLine(), 15);
        QCOMPARE(page->model().topOffset(), topByte);
        // The status line follows the bottom at once.
        QCOMPARE(page->findChild<QLabel*>(QStringLiteral("statusLine"))->y(),
                 page->height() - 21);
    }

    void paintCopiesOnlyTheBand() {
        ProgramHome home;
        auto page = OpenPage(NumberedLines(20));
        QVERIFY(QTest::qWaitForWindowExposed(page.get()));
        const QImage shot = page->grab().toImage();
        const QRgb back = qRgb(160, 160, 160);
        const QRgb dialog = qRgb(240, 240, 240);
        const int top = page->contentTop();
        QCOMPARE(shot.pixel(1, top + 30), back);
        QCOMPARE(shot.pixel(kWidth - 1, page->height() - 26), back);
        QCOMPARE(shot.pixel(1, top + 28), dialog);
        QCOMPARE(shot.pixel(1, page->height() - 24), dialog);
        // The text is there: red glyph pixels in the first row.
        int red = 0;
        for (int x = 50; x < 200; ++x)
            for (int y = top + 40; y < top + 80; ++y) {
                const QRgb px = shot.pixel(x, y);
                red += qRed(px) > 200 && qGreen(px) < 80 && qBlue(px) < 80;
            }
        QVERIFY(red > 20);
    }

    void tagFileGivesAdHeightAndTopUrl() {
        ProgramHome home;
        {
            ReadingPage page;
            QCOMPARE(page.adHeight(), 10);
            QVERIFY(page.topUrl().empty());
        }
        QVERIFY(WriteWholeFile(home.Path("data/main.htm"),
                               "[AD_HEIGHT2]\r\n// height\r\n45\r\n[NOVEL_TOP_URL2]\r\n"
                               "http://127.0.0.1/top.htm\r\n"));
        ReadingPage page;
        QCOMPARE(page.adHeight(), 45);
        QCOMPARE(QString::fromStdString(page.topUrl()), QStringLiteral("http://127.0.0.1/top.htm"));
    }
};

QTEST_MAIN(ReadingPageTest)
#include "reading_page_test.moc"
