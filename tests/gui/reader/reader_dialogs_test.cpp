// The dialogs of the reading page, opened from its buttons and answered
// through the modal seam: bookmarks, display settings and find.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>

#include "core/reader/display_settings.h"
#include "core/reader/reading_resume.h"
#include "core/text/gbk_literal.h"
#include "gui/reader/reading_font.h"
#include "reader_fixture.h"

using namespace quillon;
using namespace reader_test;

namespace {

template <class T = QPushButton>
T* Child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QLatin1String(name));
    if (!c) qFatal("no child %s", name);
    return c;
}

void Click(QWidget* w, const char* name) { QTest::mouseClick(Child(w, name), Qt::LeftButton); }

QComboBox* Combo(ReadingPage& page) { return Child<QComboBox>(&page, "bookmarkCombo"); }

bool Shown(const QString& text) { return QtMessenger::Shown().contains(text); }

std::string FileText(const std::string& path) {
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

}  // namespace

class ReaderDialogsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void addBookmarkChecksLengthAndSaves() {
        ProgramHome home;
        auto page = OpenPage(NumberedLines(100), Gbk("三国/演义"));
        QTest::keyClick(page.get(), Qt::Key_PageDown);
        QTest::keyClick(page.get(), Qt::Key_PageDown);
        const int32_t position = page->model().firstLineStart();
        QCOMPARE(position, 110);
        QCOMPARE(Combo(*page)->count(), 1);
        QCOMPARE(Combo(*page)->itemText(0), QStringLiteral("书签列表"));

        QString shownPosition;
        QString defaultText;
        bool stayedOpen = false;
        ModalSeam::QueueDialog([&](QDialog* d) {
            shownPosition = Child<QLineEdit>(d, "bookmarkPositionEdit")->text();
            auto* desc = Child<QLineEdit>(d, "bookmarkDescriptionEdit");
            defaultText = desc->text();
            // One Chinese character is two bytes: refused, the dialog stays.
            desc->setText(QStringLiteral("中"));
            Click(d, "okButton");
            stayedOpen = d->isVisible();
            desc->setText(QStringLiteral("赤壁::之战"));
            Click(d, "okButton");
            return d->result();
        });
        Click(page.get(), "addBookmarkButton");
        QVERIFY(!ModalSeam::HasPendingAnswers());
        QCOMPARE(shownPosition, QStringLiteral("110"));
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                     .match(defaultText)
                     .hasMatch(),
                 qPrintable(defaultText));
        QVERIFY(stayedOpen);
        QVERIFY(Shown(QStringLiteral("说明长度请设置在3-255字符之间")));
        QCOMPARE(Combo(*page)->count(), 2);
        QCOMPARE(Combo(*page)->currentIndex(), 1);
        QCOMPARE(Combo(*page)->itemText(1), QStringLiteral("赤壁::之战::110"));
        QCOMPARE(FileText(home.Path("book/lable/") + GbkToUtf8(Gbk("三国_演义")) + ".txt"),
                 Gbk("赤壁::之战::110") + "\r\n");

        // Cancel adds nothing.
        ModalSeam::QueueDialog([](QDialog* d) {
            Click(d, "cancelButton");
            return d->result();
        });
        Click(page.get(), "addBookmarkButton");
        QCOMPARE(Combo(*page)->count(), 2);
    }

    void jumpAndDeleteBookmarks() {
        ProgramHome home;
        QVERIFY(WriteWholeFile(home.Path("book/lable/book.txt"),
                               "  early::22  \r\n//hidden::500\r\nlate::990\r\nstale::99999\r\n"));
        auto page = OpenPage(NumberedLines(100));
        QCOMPARE(Combo(*page)->count(), 4);
        QCOMPARE(Combo(*page)->itemText(1), QStringLiteral("early::22"));
        QComboBox* combo = Combo(*page);
        combo->setFocus();
        // Down selects the next entry like a user does; the page jumps.
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(combo->currentIndex(), 1);
        QCOMPARE(page->model().topLine(), 0);
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(page->model().topLine(), 90);  // byte 990 is line 91
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(page->model().topLine(), 0);  // no such byte: first page
        // The header neither jumps nor is deleted.
        page->LastPageCommand();
        page->JumpToBookmark(0);
        QCOMPARE(page->model().topLine(), 95);
        combo->setCurrentIndex(0);
        Click(page.get(), "deleteBookmarkButton");
        QCOMPARE(combo->count(), 4);

        combo->setCurrentIndex(2);
        Click(page.get(), "deleteBookmarkButton");
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(FileText(home.Path("book/lable/book.txt")), std::string("early::22\r\nstale::99999\r\n"));
    }

    void bookmarkBeforeAnyLayoutLeadsToTheFirstPage() {
        ProgramHome home;
        ReadingPage page;
        page.resize(kWidth, kHeight);
        page.SetText(NumberedLines(100));
        page.SetBookName("early");
        page.LoadBookmarks();
        ModalSeam::QueueDialog([](QDialog* d) {
            Child<QLineEdit>(d, "bookmarkDescriptionEdit")->setText(QStringLiteral("abc"));
            Click(d, "okButton");
            return d->result();
        });
        page.AddBookmark();
        QCOMPARE(Combo(page)->itemText(1), QStringLiteral("abc::-1"));
        page.UpdateGeometry();
        page.LastPageCommand();
        page.JumpToBookmark(1);
        QCOMPARE(page.model().topLine(), 0);
    }

    void settingsApplyStaysOpenAndCloseDiscards() {
        ProgramHome home;
        auto page = OpenPage(NumberedLines(100));
        QCOMPARE(page->model().cols(), kCols);
        int colsWhileOpen = 0;
        ModalSeam::QueueDialog([&](QDialog* d) {
            // The dialog starts from the page's record.
            if (Child<QLineEdit>(d, "charSpacingEdit")->text() != QStringLiteral("16") ||
                Child<QLineEdit>(d, "textColourEdit")->text() != QStringLiteral("RGB(255,0,0)"))
                return int(QDialog::Rejected);
            Child<QLineEdit>(d, "charSpacingEdit")->setText(QStringLiteral("33"));
            // The resume switches start on and are stored with the rest,
            // in a file of their own.
            if (!Child<QCheckBox>(d, "resumePositionCheck")->isChecked() ||
                !Child<QCheckBox>(d, "reopenBooksCheck")->isChecked())
                return int(QDialog::Rejected);
            Child<QCheckBox>(d, "reopenBooksCheck")->setChecked(false);
            Click(d, "applyButton");
            colsWhileOpen = page->model().cols();
            if (!d->isVisible()) return int(QDialog::Accepted);
            // Not applied: dropped on close.
            Child<QLineEdit>(d, "lineSpacingEdit")->setText(QStringLiteral("20"));
            Child<QCheckBox>(d, "showRowNumbersCheck")->setChecked(true);
            Click(d, "closeButton");
            return d->result();
        });
        Click(page.get(), "settingsButton");
        QVERIFY(!ModalSeam::HasPendingAnswers());
        // (425 - 68 - 34) / 34 columns with a pitch of 34.
        QCOMPARE(colsWhileOpen, 9);
        QCOMPARE(page->settings().charSpacing, 33);
        QCOMPARE(page->settings().lineSpacing, 40);
        QCOMPARE(page->settings().showRowNumbers, 0);
        QCOMPARE(FileSize(home.Path("data/showcfg3.dat")), 6116LL);
        QCOMPARE(LoadDisplaySettings().charSpacing, 33);
        QVERIFY(ResumeSettings::Load().resumePosition);
        QVERIFY(!ResumeSettings::Load().reopenBooks);
    }

    void settingsSaveStoresEveryField() {
        ProgramHome home;
        auto page = OpenPage(NumberedLines(100));
        QFont chosen(QStringLiteral("宋体"));
        chosen.setPixelSize(18);
        chosen.setBold(true);
        ModalSeam::QueueFont(chosen);
        ModalSeam::QueueColour(QColor(1, 2, 3));
        ModalSeam::QueueColour(std::nullopt);
        ModalSeam::QueueColour(QColor(7, 8, 9));
        QColor swatch;
        bool shadowTyping = true;
        ModalSeam::QueueDialog([&](QDialog* d) {
            Child<QLineEdit>(d, "textColourEdit")->setText(QStringLiteral("rgb(10,20,30"));
            swatch = Child<QLabel>(d, "textColourSwatch")->palette().color(QPalette::Window);
            Child<QLineEdit>(d, "backColourEdit")->setText(QStringLiteral("300,0,0"));
            Click(d, "selTextColourButton");  // picks 1,2,3
            Click(d, "selBackColourButton");  // cancelled
            Click(d, "shadowColourButton");   // picks 7,8,9
            shadowTyping = !Child<QLineEdit>(d, "shadowColourEdit")->isReadOnly();
            Click(d, "chooseFontButton");
            Child<QLineEdit>(d, "charSpacingEdit")->setText(QStringLiteral("abc"));
            Child<QLineEdit>(d, "lineSpacingEdit")->setText(QStringLiteral("101"));
            Child<QLineEdit>(d, "shadowDxEdit")->setText(QStringLiteral("-3"));
            Child<QLineEdit>(d, "shadowDyEdit")->setText(QStringLiteral("x"));
            Child<QCheckBox>(d, "showRowNumbersCheck")->setChecked(true);
            Child<QCheckBox>(d, "showShadowCheck")->setChecked(false);
            Child<QComboBox>(d, "pictureModeCombo")->setCurrentIndex(2);
            Child<QComboBox>(d, "pictureOrderCombo")->setCurrentIndex(1);
            Click(d, "saveButton");
            return d->result();
        });
        Click(page.get(), "settingsButton");
        QVERIFY(!ModalSeam::HasPendingAnswers());
        QCOMPARE(swatch, QColor(10, 20, 30));
        QVERIFY(!shadowTyping);
        const DisplaySettings& s = page->settings();
        QCOMPARE(s.textColour, MakeColour(10, 20, 30));
        QCOMPARE(s.backColour, MakeColour(44, 0, 0));
        QCOMPARE(s.selTextColour, MakeColour(1, 2, 3));
        QCOMPARE(s.selBackColour, 0x00FF0000u);
        QCOMPARE(s.extra.shadowColour, MakeColour(7, 8, 9));
        QCOMPARE(s.charSpacing, 14);
        QCOMPARE(s.lineSpacing, 14);
        QCOMPARE(s.extra.shadowDx, -3);
        QCOMPARE(s.extra.shadowDy, 0);
        QCOMPARE(s.showRowNumbers, 1);
        QCOMPARE(s.extra.showShadow, 0);
        QCOMPARE(s.extra.pictureMode, 2);
        QCOMPARE(s.extra.pictureOrder, 1);
        QCOMPARE(s.font.height, -18);
        QCOMPARE(s.font.weight, 700);
        // The page draws with them now, and a new page reads them back.
        QCOMPARE(page->style().font.pixelSize(), 18);
        QCOMPARE(page->style().textColour, QColor(10, 20, 30));
        QCOMPARE(page->model().charSpacing(), 14);
        QVERIFY(LoadDisplaySettings() == s);
        ReadingPage second;
        QVERIFY(second.settings() == s);
    }

    void backgroundPicturesAddAndDelete() {
        ProgramHome home;
        QImage img(40, 30, QImage::Format_RGB32);
        img.fill(Qt::green);
        const QString source = QString::fromStdString(home.Path("Sky.bmp"));
        QVERIFY(img.save(source, "BMP"));
        auto page = OpenPage(NumberedLines(100));

        ModalSeam::QueueOpenFile(source);
        ModalSeam::QueueOpenFile(QString::fromStdString(home.Path("sky.BMP")));
        ModalSeam::QueueOpenFile(QString());
        bool previewShown = false;
        QStringList listed;
        ModalSeam::QueueDialog([&](QDialog* d) {
            Click(d, "addPictureButton");
            auto* list = Child<QListWidget>(d, "pictureList");
            previewShown = !Child<QLabel>(d, "picturePreview")->pixmap().isNull();
            Click(d, "addPictureButton");  // same name, other case: refused
            Click(d, "addPictureButton");  // picker cancelled
            for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text();
            Child<QCheckBox>(d, "showPictureCheck")->setChecked(true);
            Click(d, "saveButton");
            return d->result();
        });
        Click(page.get(), "settingsButton");
        QVERIFY(!ModalSeam::HasPendingAnswers());
        QVERIFY(previewShown);
        QCOMPARE(listed, QStringList{QStringLiteral("Sky.bmp")});
        QVERIFY(Shown(QStringLiteral("己存在同名图片文件，如需要重新加入图片，请先将原图片删除。")));
        QVERIFY(FileExists(home.Path("data/bkimg/Sky.bmp")));
        QCOMPARE(page->settings().extra.pictures[0], std::string("Sky.bmp"));
        QCOMPARE(page->picture().image.size(), QSize(40, 30));

        // Delete: first with nothing selected, then the picture itself. The
        // file stays; the stored list loses it.
        ModalSeam::QueueDialog([&](QDialog* d) {
            auto* list = Child<QListWidget>(d, "pictureList");
            list->setCurrentRow(-1);
            Click(d, "deletePictureButton");
            list->setCurrentRow(0);
            Click(d, "deletePictureButton");
            previewShown = !Child<QLabel>(d, "picturePreview")->pixmap().isNull();
            Click(d, "applyButton");
            Click(d, "closeButton");
            return d->result();
        });
        page->OpenSettingsDialog();
        QVERIFY(Shown(QStringLiteral("请先选中要删除的文件")));
        QVERIFY(!previewShown);
        QVERIFY(FileExists(home.Path("data/bkimg/Sky.bmp")));
        QVERIFY(page->settings().extra.pictures[0].empty());
    }

    void twentyFirstPictureIsRefused() {
        ProgramHome home;
        DisplaySettings full = DisplaySettings::Defaults();
        for (int i = 0; i < 20; ++i) {
            const std::string name = "p" + std::to_string(i) + ".bmp";
            QVERIFY(WriteWholeFile(home.Path("data/bkimg/" + name), "x"));
            full.extra.pictures[static_cast<size_t>(i)] = name;
        }
        QVERIFY(SaveDisplaySettings(full));
        auto page = OpenPage(NumberedLines(10));
        ModalSeam::QueueOpenFile(QStringLiteral("/nonexistent/never-asked.bmp"));
        int count = 0;
        ModalSeam::QueueDialog([&](QDialog* d) {
            Click(d, "addPictureButton");
            count = Child<QListWidget>(d, "pictureList")->count();
            return int(QDialog::Rejected);
        });
        page->OpenSettingsDialog();
        QCOMPARE(count, 20);
        QVERIFY(Shown(QStringLiteral("己超过最大的背景图片数了。")));
        // The picker was never opened.
        QVERIFY(ModalSeam::HasPendingAnswers());
        ModalSeam::ClearAnswers();
    }

    void findListsResultsAndTurnsThePageBehind() {
        ProgramHome home;
        // Line 60 (offset 649) holds the word; each earlier line is 11 bytes.
        const std::string text = NumberedLines(59) + "find Target here\r\n" + NumberedLines(40);
        auto page = OpenPage(text);
        bool checked = false;
        QStringList headers;
        QStringList firstRow;
        int pagedTop = -1;
        bool rowSelected = false;
        bool coversRow = true;
        ModalSeam::QueueDialog([&](QDialog* d) {
            auto* field = Child<QLineEdit>(d, "findTextEdit");
            auto* check = Child<QCheckBox>(d, "caseSensitiveCheck");
            auto* list = Child<QTreeWidget>(d, "findResultList");
            checked = check->isChecked();
            for (int c = 0; c < list->columnCount(); ++c)
                headers << list->headerItem()->text(c) + QLatin1Char('/') +
                               QString::number(list->columnWidth(c));
            // Empty text, then a miss with the case option on.
            QTest::keyClick(field, Qt::Key_Return);
            field->setText(QStringLiteral("target"));
            QTest::keyClick(field, Qt::Key_Return);
            if (list->topLevelItemCount() != 0 || !d->isVisible()) return int(QDialog::Rejected);
            check->setChecked(false);
            QTest::keyClick(field, Qt::Key_Return);
            if (list->topLevelItemCount() != 1) return int(QDialog::Rejected);
            QTreeWidgetItem* item = list->topLevelItem(0);
            for (int c = 0; c < list->columnCount(); ++c) firstRow << item->text(c);
            // Placed over the row about to be highlighted, the dialog moves
            // off it.
            const QRect row(page->mapToGlobal(QPoint(0, page->contentTop() + 40 + 4 * 41)),
                            QSize(page->width(), 40));
            d->move(row.topLeft() - QPoint(0, 60));
            if (!d->frameGeometry().intersects(row)) return int(QDialog::Rejected);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(item).center());
            QTest::qWait(1);
            coversRow = d->frameGeometry().intersects(row);
            pagedTop = page->model().topLine();
            rowSelected = page->model().cellGrid().At(4, 0).selected &&
                          page->model().cellGrid().At(4, kCols).selected &&
                          !page->model().cellGrid().At(3, 0).selected;
            // The case option is ticked again at the next opening.
            return int(QDialog::Rejected);
        });
        Click(page.get(), "findButton");
        QVERIFY(!ModalSeam::HasPendingAnswers());
        QVERIFY(checked);
        QCOMPARE(headers, (QStringList{QStringLiteral("标号/80"), QStringLiteral("位置/80"),
                                       QStringLiteral("查找结果/200"), QStringLiteral("页码/60"),
                                       QStringLiteral("上下文/280")}));
        QVERIFY(Shown(QStringLiteral("请输入要查找的内容")));
        QVERIFY(Shown(QStringLiteral("未找到，请重新查找")));
        // The page column names the page the click turns to.
        QCOMPARE(firstRow, (QStringList{QStringLiteral("  "), QStringLiteral("654"),
                                        QStringLiteral("Target her"), QStringLiteral("12"),
                                        QStringLiteral("find 【Target】 here ")}));
        QCOMPARE(pagedTop, 55);
        QVERIFY(rowSelected);
        QVERIFY(!coversRow);

        bool checkedAgain = false;
        ModalSeam::QueueDialog([&](QDialog* d) {
            checkedAgain = Child<QCheckBox>(d, "caseSensitiveCheck")->isChecked();
            return int(QDialog::Rejected);
        });
        page->OpenFindDialog();
        QVERIFY(checkedAgain);
    }
};

QTEST_MAIN(ReaderDialogsTest)
#include "reader_dialogs_test.moc"
