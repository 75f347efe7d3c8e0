// The downloader window: start addresses, the list commands and clicks, the
// list's drawing, the about box, the folder button and the exit hand-over,
// in a temporary program folder.
#include <cstdlib>
#include <string>
#include <vector>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/gbk_literal.h"
#include "gui/app/qt_messenger.h"
#include "gui/downloader/dialog_seams.h"
#include "gui/downloader/fetchwell_about_dialog.h"
#include "gui/downloader/fetchwell_exit.h"
#include "gui/downloader/fetchwell_window.h"
#include "gui/downloader/link_list_view.h"

using namespace quillon;

class WindowTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::string home_;
    std::vector<QUrl> opened_;

    void WriteTagFile(const char* utf8) {
        QVERIFY(EnsureFolders(home_ + "data/") == 0);
        QVERIFY(WriteWholeFile(home_ + "data/main.htm", Gbk(utf8)));
    }

    static LinkListView* List(FetchwellWindow& w) {
        return w.findChild<LinkListView*>(QStringLiteral("linkList"));
    }
    static QPushButton* Button(FetchwellWindow& w, const char* name) {
        return w.findChild<QPushButton*>(QLatin1String(name));
    }
    static QString Checks(LinkListView* list) {
        QStringList marks;
        for (int r = 0; r < list->rowCount(); ++r) marks << list->CellText(r, 0);
        return marks.join(QLatin1Char('|'));
    }
    static void ClickCell(LinkListView* list, int row, int column) {
        QRect cell = list->visualRect(list->model()->index(row, column));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        SetProgramHomeVariable("FETCHWELL_HOME");
        QtMessenger::SetTestMode(true);
        FolderPicker::SetTestMode(true);
        SetDesktopOpener([this](const QUrl& url) {
            opened_.push_back(url);
            return true;
        });
        SetModalRunner([](QDialog&) { return int(QDialog::Rejected); });
    }

    void init() {
        static int n = 0;
        home_ = dir_.path().toStdString() + "/prog" + std::to_string(++n) + "/";
        qputenv("FETCHWELL_HOME", home_.c_str());
        EnterProgramFolder();
        opened_.clear();
        QtMessenger::Shown().clear();
        WriteTagFile("[TOP_URL]\r\nabout:blank\r\n// 注释\r\n[DEFAULT_URL]\r\n"
                     "// 目录页\r\nhttp://127.0.0.1:1/book/index.html\r\n");
    }

    void startsWithTheTagFileAddressesAndIdleButtons() {
        FetchwellWindow w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Fetchwell"));
        auto* address = w.findChild<QLineEdit*>(QStringLiteral("addressEdit"));
        QCOMPARE(address->text(), QStringLiteral("http://127.0.0.1:1/book/index.html"));
        QVERIFY(Button(w, "downloadButton")->isEnabled());
        QVERIFY(!Button(w, "stopButton")->isEnabled());
        auto* list = List(w);
        QCOMPARE(list->columnCount(), 5);
        QCOMPARE(list->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("网址"));
        QCOMPARE(list->columnWidth(0), 38);
        QCOMPARE(list->columnWidth(3), 300);
    }

    void defaultUrlBeforeTopUrlIsNotFound() {
        WriteTagFile("[DEFAULT_URL]\r\nhttp://first/\r\n[TOP_URL]\r\nabout:blank\r\n");
        FetchwellWindow w;
        auto* address = w.findChild<QLineEdit*>(QStringLiteral("addressEdit"));
        QVERIFY(address->text() != QStringLiteral("http://first/"));
        QVERIFY(address->text().endsWith(QStringLiteral("/book/index_88406.html")));
    }

    void listCommandsAndClicks() {
        FetchwellWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* list = List(w);
        list->AppendRow(QStringLiteral("是"), Gbk("第一章"), "http://host/1.html");
        list->AppendRow(QStringLiteral(" "), Gbk("第二章"), "http://host/2.html");
        list->AppendRow(QStringLiteral("0000"), Gbk("第三章"), "");
        QCOMPARE(list->rowHeight(0), 18);

        QTest::mouseClick(Button(w, "invertButton"), Qt::LeftButton);
        QCOMPARE(Checks(list), QStringLiteral(" |是|是"));
        QTest::mouseClick(Button(w, "selectAllButton"), Qt::LeftButton);
        QCOMPARE(Checks(list), QStringLiteral("是|是|是"));
        QTest::mouseClick(Button(w, "clearAllButton"), Qt::LeftButton);
        QCOMPARE(Checks(list), QStringLiteral(" | | "));

        // Column 0 toggles the row under the mouse, and only that row.
        ClickCell(list, 1, 0);
        QCOMPARE(Checks(list), QStringLiteral(" |是| "));
        ClickCell(list, 1, 0);
        QCOMPARE(Checks(list), QStringLiteral(" | | "));

        // Title, state and saved columns change nothing and open nothing.
        for (int c : {1, 2, 4}) ClickCell(list, 0, c);
        QCOMPARE(Checks(list), QStringLiteral(" | | "));
        QVERIFY(opened_.empty());

        // The address column opens the address; an empty one opens nothing.
        ClickCell(list, 1, 3);
        QCOMPARE(opened_.size(), size_t(1));
        QCOMPARE(opened_[0], QUrl(QStringLiteral("http://host/2.html")));
        ClickCell(list, 2, 3);
        QCOMPARE(opened_.size(), size_t(1));
        QCOMPARE(Checks(list), QStringLiteral(" | | "));

        // The page's bytes are kept as they were for the download.
        QCOMPARE(list->CellBytes(0, LinkListView::TitleColumn), Gbk("第一章"));
    }

    void addressesOtherThanWebPagesAreNotOpened() {
        FetchwellWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* list = List(w);
        list->AppendRow(QStringLiteral(" "), "x", "file:///etc/passwd");
        list->AppendRow(QStringLiteral(" "), "y", "javascript:alert(1)");
        ClickCell(list, 0, 3);
        ClickCell(list, 1, 3);
        QVERIFY(opened_.empty());
    }

    void listIsDrawnWithChecksRulesAndColours() {
        FetchwellWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* list = List(w);
        list->AppendRow(QStringLiteral("是"), "Chapter", "http://host/1.html");
        list->AppendRow(QStringLiteral(" "), "Chapter", "http://host/2.html");
        list->AppendRow(QStringLiteral(" "), "Chapter", "http://host/3.html");
        list->selectRow(2);
        QImage img = list->viewport()->grab().toImage();

        auto rect = [&](int row, int col) { return list->visualRect(list->model()->index(row, col)); };
        auto countColour = [&](const QRect& r, auto pred) {
            int n = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x) n += pred(img.pixelColor(x, y)) ? 1 : 0;
            return n;
        };
        // Background white, selected row 0x6699FF.
        QRect c20 = rect(0, 2);
        QCOMPARE(img.pixelColor(c20.right() - 2, c20.top() + 1), QColor(Qt::white));
        QRect c22 = rect(2, 2);
        QCOMPARE(img.pixelColor(c22.right() - 2, c22.top() + 1), QColor(0x66, 0x99, 0xFF));
        // Grey rules under the row and at the right of each column.
        QCOMPARE(img.pixelColor(c20.center().x(), c20.bottom()), QColor(0x80, 0x80, 0x80));
        QCOMPARE(img.pixelColor(c20.right(), c20.center().y()), QColor(0x80, 0x80, 0x80));
        // The check box: a square of 13 pixels at (4, 2); a tick only when
        // the row is checked.
        auto greenish = [](const QColor& c) { return c.green() > 120 && c.red() < 120 && c.blue() < 120; };
        QRect box0 = rect(0, 0);
        QRect inner0(box0.left() + 5, box0.top() + 3, 11, 11);
        QRect box1 = rect(1, 0);
        QRect inner1(box1.left() + 5, box1.top() + 3, 11, 11);
        QVERIFY(countColour(inner0, greenish) > 5);
        QCOMPARE(countColour(inner1, greenish), 0);
        QVERIFY(img.pixelColor(box1.left() + 4, box1.top() + 8) != QColor(Qt::white));  // the frame
        // The address is blue; yellow on the selected row; titles black.
        auto blue = [](const QColor& c) { return c.blue() > 200 && c.red() < 80 && c.green() < 80; };
        auto yellow = [](const QColor& c) { return c.red() > 200 && c.green() > 200 && c.blue() < 80; };
        QVERIFY(countColour(rect(0, 3), blue) > 10);
        QVERIFY(countColour(rect(2, 3), yellow) > 10);
        QCOMPARE(countColour(rect(0, 2), blue), 0);
    }

    void downloadWithoutTickedRowsAsksForAChoice() {
        FetchwellWindow w;
        QTest::mouseClick(Button(w, "downloadButton"), Qt::LeftButton);
        QCOMPARE(QtMessenger::Shown(), QStringList{QStringLiteral("请从列表中选择要下载的网址")});
        List(w)->AppendRow(QStringLiteral("0000"), "t", "http://host/1.html");
        QTest::mouseClick(Button(w, "downloadButton"), Qt::LeftButton);
        QCOMPARE(QtMessenger::Shown().size(), 2);
        QVERIFY(!w.IsDownloading());
        QVERIFY(Button(w, "downloadButton")->isEnabled());
    }

    void aboutBoxShowsTheVersion() {
        FetchwellWindow w;
        QString title, version;
        SetModalRunner([&](QDialog& d) {
            title = d.windowTitle();
            if (auto* l = d.findChild<QLabel*>(QStringLiteral("versionLabel"))) version = l->text();
            return int(QDialog::Accepted);
        });
        QTest::mouseClick(Button(w, "aboutButton"), Qt::LeftButton);
        SetModalRunner([](QDialog&) { return int(QDialog::Rejected); });
        QCOMPARE(title, QStringLiteral("关于 Fetchwell"));
        QCOMPARE(version, QStringLiteral("Fetchwell 1.1.1 正式版"));
    }

    void openFolderNeedsASaveLocation() {
        FetchwellWindow w;
        QTest::mouseClick(Button(w, "openFolderButton"), Qt::LeftButton);
        QVERIFY(opened_.empty());
        w.findChild<QLineEdit*>(QStringLiteral("saveFolderEdit"))->setText(QStringLiteral("/tmp/书/"));
        QTest::mouseClick(Button(w, "openFolderButton"), Qt::LeftButton);
        QCOMPARE(opened_.size(), size_t(1));
        QCOMPARE(opened_[0], QUrl::fromLocalFile(QStringLiteral("/tmp/书/")));
    }

    void exitHandsOverOnlyADifferentProgram() {
        std::vector<std::string> started;
        SetUpdaterStarter([&](const std::string& program, const std::string& arg) {
            started.push_back(program + " " + arg);
            return true;
        });
        QVERIFY(WriteWholeFile(home_ + "fetchwell", "program one"));
        SetFetchwellProgramFile(home_ + "fetchwell");
        QVERIFY(!RunFetchwellExit());  // no data/fetchwell2
        QVERIFY(WriteWholeFile(home_ + "data/fetchwell2", "program one"));
        QVERIFY(!RunFetchwellExit());  // identical
        QVERIFY(started.empty());
        QVERIFY(WriteWholeFile(home_ + "data/fetchwell2", "program two"));
        QVERIFY(RunFetchwellExit());
        QCOMPARE(started.size(), size_t(1));
        QCOMPARE(QString::fromStdString(started[0]), QString::fromStdString(home_ + "np2 update"));
        SetFetchwellProgramFile({});
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
