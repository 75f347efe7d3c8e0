// The bookshelf page in a temporary program folder, driven through its
// buttons, lists and dialogs.
#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <string>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>
#include <QUrl>

#include "core/config/window_config.h"
#include "core/library/book_formatter.h"
#include "core/library/book_store.h"
#include "core/library/folder_listing.h"
#include "core/reader/bookmarks.h"
#include "core/reader/reading_resume.h"
#include "gui/app/ui_fonts.h"
#include "gui/library/add_book_dialog.h"
#include "gui/library/bookshelf_page.h"
#include "gui/library/file_list_model.h"
#include "gui/library/import_dialog.h"
#include "gui/library/rename_dialog.h"
#include "gui/library/shelf_seams.h"
#include "shelf_test_support.h"

using namespace quillon;
using shelf_test::Child;
using shelf_test::WhenModal;

namespace {

const char* kTagFile =
    "[WELCOME_WIDTH]\r\n320\r\n[WELCOME_HEIGHT]\r\n180\r\n"
    "[TITLE_LOCAL_FILE_PATH]\r\n本地文件: TXT htm jpg\r\n"
    "[SHOW_FILE_TYPE_JPG]\r\n<html><body><img src=\"URL\"></body></html>\r\n"
    "[SEARCH_BEGIN]\r\n"
    "网页搜索*https://search.test/s?q=%s&n=%d*关键字*1*\r\n"
    "#书库搜索*%s*输入书名或作者*0*\r\n"
    "!论坛*https://forum.test/*论坛首页*2*\r\n"
    "短*x*\r\n"
    "[SEARCH_END]\r\n";

QString Cell(FileListModel* model, int row, int column) {
    return model->index(row, column).data().toString();
}

int FindRow(FileListModel* model, const QString& name) {
    for (int r = 0; r < model->RowCount(); ++r)
        if (Cell(model, r, ShelfRow::Name) == name) return r;
    return -1;
}

void ClickCell(QTreeView* view, int row, int column) {
    QRect rect = view->visualRect(view->model()->index(row, column));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

// What the window system delivers for a double click: a click, then the
// second press as a double-click event, then its release.
void DoubleClickCell(QTreeView* view, int row, int column) {
    QPoint at = view->visualRect(view->model()->index(row, column)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

class BookshelfPageTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir* dir_ = nullptr;
    std::string home_;

    std::string Book(const std::string& name) { return home_ + "book/" + name + ".txt"; }

    // A page shown on screen whose first listing of both lists is done.
    BookshelfPage* OpenPage() {
        auto* page = new BookshelfPage;
        page->resize(900, 700);
        QSignalSpy books(page, &BookshelfPage::bookListRefreshed);
        QSignalSpy local(page, &BookshelfPage::localListRefreshed);
        page->show();
        if (!QTest::qWaitForWindowExposed(page)) qWarning("page not exposed");
        if (books.isEmpty()) books.wait(5000);
        if (local.isEmpty()) local.wait(5000);
        return page;
    }

    static void WaitBooks(BookshelfPage* page) {
        QTRY_VERIFY_WITH_TIMEOUT(!page->IsRefreshing(BookshelfPage::BookList), 5000);
    }
    static void WaitLocal(BookshelfPage* page) {
        QTRY_VERIFY_WITH_TIMEOUT(!page->IsRefreshing(BookshelfPage::LocalList), 10000);
    }

private Q_SLOTS:
    void init() {
        dir_ = new QTemporaryDir;
        QVERIFY(dir_->isValid());
        home_ = shelf_test::MakeProgramFolder(*dir_, kTagFile);
        ProgramWindowConfig().browseFolder = home_;
        SetProgramStarter([](const QString&, const QStringList&) { return true; });
    }

    void cleanup() {
        SetProgramStarter(nullptr);
        delete dir_;
        dir_ = nullptr;
    }

    void emptyShelfShowsOnlyTheParentRow() {
        std::unique_ptr<BookshelfPage> page(OpenPage());
        FileListModel* m = page->bookModel();
        QCOMPARE(m->RowCount(), 1);
        QCOMPARE(Cell(m, 0, ShelfRow::Name), QStringLiteral("[目录].."));
        QCOMPARE(Cell(m, 0, ShelfRow::Action), QStringLiteral("打开目录"));
        QCOMPARE(Cell(m, 0, ShelfRow::Type), QStringLiteral("目录"));
        QCOMPARE(Cell(m, 0, ShelfRow::Size), QStringLiteral(" "));
        QCOMPARE(Cell(m, 0, ShelfRow::Path), QString());
        // Headers follow the columns the rows fill.
        QCOMPARE(m->headerData(2, Qt::Horizontal).toString(), QStringLiteral("类型"));
        QCOMPARE(m->headerData(3, Qt::Horizontal).toString(), QStringLiteral("大小"));
        auto* list = Child<QTreeView>(page.get(), "bookList");
        QCOMPARE(list->header()->sectionSize(0), 160);
        QCOMPARE(list->header()->sectionSize(4), 100);
        QCOMPARE(page->welcomeSize(), QSize(320, 180));

        // Opening the parent row lists again instead of failing.
        QSignalSpy opened(page.get(), &BookshelfPage::openBookRequested);
        QSignalSpy refreshed(page.get(), &BookshelfPage::bookListRefreshed);
        WriteWholeFile(Book("手放的书"), "x");
        ClickCell(list, 0, ShelfRow::Action);
        QVERIFY(refreshed.wait(5000));
        QCOMPARE(opened.count(), 0);
        QCOMPARE(m->RowCount(), 2);
        QCOMPARE(Cell(m, 1, ShelfRow::Name), QStringLiteral("[文件]手放的书.txt"));
    }

    void sizeAndTimeColumns() {
        WriteWholeFile(Book("small"), std::string(1023, 'a'));
        WriteWholeFile(Book("kilo"), std::string(1024, 'a'));
        WriteWholeFile(Book("mega"), std::string(1048576, 'a'));
        WriteWholeFile(Book("almost"), std::string(1048575, 'a'));
        mkdir((home_ + "book/folder.txt").c_str(), 0755);
        std::tm t{};
        t.tm_year = 2021 - 1900;
        t.tm_mon = 2;
        t.tm_mday = 4;
        t.tm_hour = 5;
        t.tm_min = 6;
        t.tm_isdst = -1;
        utimbuf times{std::mktime(&t), std::mktime(&t)};
        utime(Book("kilo").c_str(), &times);

        std::unique_ptr<BookshelfPage> page(OpenPage());
        FileListModel* m = page->bookModel();
        QCOMPARE(m->RowCount(), 6);
        auto size = [&](const char* name) {
            int r = FindRow(m, QStringLiteral("[文件]") + QLatin1String(name) + QStringLiteral(".txt"));
            return r < 0 ? QStringLiteral("missing") : Cell(m, r, ShelfRow::Size);
        };
        QCOMPARE(size("small"), QStringLiteral("1023 B"));
        QCOMPARE(size("kilo"), QStringLiteral("1 KB"));
        QCOMPARE(size("mega"), QStringLiteral("1.00 MB"));
        QCOMPARE(size("almost"), QStringLiteral("1023 KB"));
        int kilo = FindRow(m, QStringLiteral("[文件]kilo.txt"));
        QCOMPARE(Cell(m, kilo, ShelfRow::Modified), QStringLiteral("2021-03-04 05:06"));
        QCOMPARE(Cell(m, kilo, ShelfRow::Type), QStringLiteral("TXT文件"));
        QCOMPARE(Cell(m, kilo, ShelfRow::Action), QStringLiteral("阅读文件"));
        QCOMPARE(Cell(m, kilo, ShelfRow::Path), QString::fromStdString(Book("kilo")));
        int folder = FindRow(m, QStringLiteral("[目录]folder.txt"));
        QVERIFY(folder >= 0);
        QCOMPARE(Cell(m, folder, ShelfRow::Size), QStringLiteral(" "));
    }

    void addedBookIsListedAndOpens() {
        std::string source = home_ + "source.txt";
        WriteWholeFile(source, Gbk("第一章\r\n\r\n\r\n　　正文\n"));
        std::unique_ptr<BookshelfPage> page(OpenPage());
        QSignalSpy refreshed(page.get(), &BookshelfPage::bookListRefreshed);
        bool checked = false;
        WhenModal<AddBookDialog>([&](AddBookDialog* d) {
            checked = Child<QCheckBox>(d, "formatCheck")->isChecked();
            SetNextFileName(QString::fromStdString(source));
            QTest::mouseClick(Child<QPushButton>(d, "addOneFileButton"), Qt::LeftButton);
            Child<QLineEdit>(d, "nameEdit")->setText(QStringLiteral("测试书籍"));
            QTest::mouseClick(Child<QPushButton>(d, "addBookButton"), Qt::LeftButton);
        });
        QTest::mouseClick(Child<QPushButton>(page.get(), "addBookCommand"), Qt::LeftButton);
        QVERIFY(checked);
        QVERIFY(refreshed.count() > 0 || refreshed.wait(5000));
        std::string text;
        QVERIFY(ReadWholeFile(Book("测试书籍"), text));
        QCOMPARE(QByteArray::fromStdString(text), QByteArray::fromStdString(Gbk("    第一章\r\n    正文\r\n")));

        FileListModel* m = page->bookModel();
        int row = FindRow(m, QStringLiteral("[文件]测试书籍.txt"));
        QVERIFY(row > 0);
        auto* list = Child<QTreeView>(page.get(), "bookList");
        // Room below the baseline, or underscores of file names vanish.
        QVERIFY(list->visualRect(m->index(row, ShelfRow::Name)).height() >=
                QFontMetrics(UiFont(0)).height() + 4);
        QSignalSpy opened(page.get(), &BookshelfPage::openBookRequested);
        DoubleClickCell(list, row, ShelfRow::Name);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][0].toString(), QString::fromStdString(Book("测试书籍")));

        // The read command opens the selected row the same way.
        ClickCell(list, row, ShelfRow::Name);
        QTest::mouseClick(Child<QPushButton>(page.get(), "readCommand"), Qt::LeftButton);
        QCOMPARE(opened.count(), 2);
    }

    void renameOntoExistingBookIsRefused() {
        WriteWholeFile(Book("甲书一本"), "one");
        WriteWholeFile(Book("乙书一本"), "two");
        WriteWholeFile(Bookmarks::FilePath(Gbk("甲书一本")), "mark::5\r\n");
        ReadingPosition::Save(Gbk("甲书一本"), 77);
        std::unique_ptr<BookshelfPage> page(OpenPage());
        FileListModel* m = page->bookModel();
        auto* list = Child<QTreeView>(page.get(), "bookList");
        ClickCell(list, FindRow(m, QStringLiteral("[文件]甲书一本.txt")), ShelfRow::Name);

        bool stayedOpen = false;
        QString oldShown;
        WhenModal<RenameDialog>([&](RenameDialog* d) {
            oldShown = Child<QLineEdit>(d, "oldNameEdit")->text();
            auto* edit = Child<QLineEdit>(d, "newNameEdit");
            QCOMPARE(edit->text(), QStringLiteral("甲书一本"));
            edit->setText(QStringLiteral("乙书一本"));
            QTest::mouseClick(Child<QPushButton>(d, "okButton"), Qt::LeftButton);
            stayedOpen = d->isVisible();
            // A free name then succeeds from the same dialog.
            edit->setText(QStringLiteral("丙书一本"));
            QTest::mouseClick(Child<QPushButton>(d, "okButton"), Qt::LeftButton);
        });
        QTest::mouseClick(Child<QPushButton>(page.get(), "renameCommand"), Qt::LeftButton);
        QCOMPARE(oldShown, QStringLiteral("甲书一本"));
        QVERIFY(stayedOpen);
        QVERIFY(QtMessenger::Shown().contains(QStringLiteral("该书籍己经存在,请换个新名字?")));
        std::string text;
        QVERIFY(ReadWholeFile(Book("乙书一本"), text));
        QCOMPARE(text, std::string("two"));
        QVERIFY(ReadWholeFile(Book("丙书一本"), text));
        QCOMPARE(text, std::string("one"));
        QVERIFY(!FileExists(Book("甲书一本")));
        // The bookmarks and the reading position went with the book.
        QCOMPARE(ReadingPosition::Load(Gbk("丙书一本")).value_or(-1), 77);
        QVERIFY(FileExists(Bookmarks::FilePath(Gbk("丙书一本"))));
        QVERIFY(!ReadingPosition::Load(Gbk("乙书一本")));
        WaitBooks(page.get());
        QVERIFY(FindRow(m, QStringLiteral("[文件]丙书一本.txt")) > 0);
        QCOMPARE(FindRow(m, QStringLiteral("[文件]甲书一本.txt")), -1);
    }

    void deleteAsksWithTheNameAndRemovesOnlyThatBook() {
        WriteWholeFile(Book("留下的书"), "keep");
        WriteWholeFile(Book("删掉的书"), "gone");
        std::unique_ptr<BookshelfPage> page(OpenPage());
        FileListModel* m = page->bookModel();
        auto* list = Child<QTreeView>(page.get(), "bookList");
        auto* deleteButton = Child<QPushButton>(page.get(), "deleteCommand");

        // Nothing selected.
        QTest::mouseClick(deleteButton, Qt::LeftButton);
        QCOMPARE(QtMessenger::Shown().last(), QStringLiteral("请从列表中选择要删除的书籍"));

        ClickCell(list, FindRow(m, QStringLiteral("[文件]删掉的书.txt")), ShelfRow::Name);
        QtMessenger::SetNextAnswer(false);
        QTest::mouseClick(deleteButton, Qt::LeftButton);
        QCOMPARE(QtMessenger::Shown().last(), QStringLiteral("你真的要删除书籍:《删掉的书》吗?"));
        QVERIFY(FileExists(Book("删掉的书")));

        QtMessenger::SetNextAnswer(true);
        QTest::mouseClick(deleteButton, Qt::LeftButton);
        QVERIFY(!FileExists(Book("删掉的书")));
        QVERIFY(FileExists(Book("留下的书")));
        WaitBooks(page.get());
        QCOMPARE(m->RowCount(), 2);
        QCOMPARE(Cell(m, 1, ShelfRow::Name), QStringLiteral("[文件]留下的书.txt"));
    }

    void importOfLineBreaksOnlyGivesAnEmptyBook() {
        std::unique_ptr<BookshelfPage> page(OpenPage());
        bool refusedEmpty = false;
        QString source;
        bool sourceLocked = false;
        WhenModal<ImportDialog>([&](ImportDialog* d) {
            auto* importButton = Child<QPushButton>(d, "importButton");
            QTest::mouseClick(importButton, Qt::LeftButton);
            refusedEmpty = d->isVisible() && QtMessenger::Shown().last() == QStringLiteral("导入文字内容不能为空。");
            auto* edit = Child<QPlainTextEdit>(d, "importEdit");
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_Return);
            QTest::keyClick(edit, Qt::Key_Return);
            WhenModal<AddBookDialog>([&](AddBookDialog* add) {
                auto* box = Child<QLineEdit>(add, "sourceEdit");
                source = box->text();
                sourceLocked = !box->isEnabled();
                Child<QLineEdit>(add, "nameEdit")->setText(QStringLiteral("空白的书"));
                QTest::mouseClick(Child<QPushButton>(add, "addBookButton"), Qt::LeftButton);
            });
            QTest::mouseClick(importButton, Qt::LeftButton);
        });
        QSignalSpy refreshed(page.get(), &BookshelfPage::bookListRefreshed);
        QTest::mouseClick(Child<QPushButton>(page.get(), "importCommand"), Qt::LeftButton);
        QVERIFY(refusedEmpty);
        QCOMPARE(source, QString::fromStdString(home_ + "data/tmp.txt"));
        QVERIFY(sourceLocked);
        std::string text;
        QVERIFY(ReadWholeFile(home_ + "data/tmp.txt", text));
        QCOMPARE(text, std::string("\r\n\r\n"));
        QVERIFY(FileExists(Book("空白的书")));
        QCOMPARE(FileSize(Book("空白的书")), 0LL);
        QVERIFY(refreshed.count() > 0 || refreshed.wait(5000));
        QVERIFY(FindRow(page->bookModel(), QStringLiteral("[文件]空白的书.txt")) > 0);
    }

    void importThatCannotBeSavedSaysSoAndCancels() {
        // A folder where the file belongs: the file cannot be created.
        mkdir((home_ + "data/tmp.txt").c_str(), 0755);
        ImportDialog d;
        d.show();
        Child<QPlainTextEdit>(&d, "importEdit")->setPlainText(QStringLiteral("正文"));
        QTest::mouseClick(Child<QPushButton>(&d, "importButton"), Qt::LeftButton);
        QCOMPARE(QtMessenger::Shown().last(), QStringLiteral("保存失败"));
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Rejected));
    }

    void localBrowserNormalisesFiltersAndOpens() {
        std::string root = home_ + "local";
        mkdir(root.c_str(), 0755);
        mkdir((root + "/sub").c_str(), 0755);
        for (const char* f : {"a.txt", "b.html", "c.htm", "d.jpg", "e.doc", "README", "f.TXT"})
            WriteWholeFile(root + "/" + f, "x");
        std::unique_ptr<BookshelfPage> page(OpenPage());
        auto* box = Child<QLineEdit>(page.get(), "pathEdit");
        QCOMPARE(box->text(), QString::fromStdString(home_));
        QCOMPARE(Child<QLabel>(page.get(), "localTitle")->text(), QStringLiteral("本地文件: TXT htm jpg"));

        box->setText(QString::fromStdString(root));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(box->text(), QString::fromStdString(root + "/"));
        QCOMPARE(QString::fromStdString(ProgramWindowConfig().browseFolder), QString::fromStdString(root + "/"));
        WaitLocal(page.get());
        FileListModel* m = page->localModel();
        QStringList names;
        for (int r = 0; r < m->RowCount(); ++r) names << Cell(m, r, ShelfRow::Name);
        QCOMPARE(names, (QStringList{QStringLiteral("[目录]."), QStringLiteral("[目录].."),
                                     QStringLiteral("[目录]sub"), QStringLiteral("[文件]README"),
                                     QStringLiteral("[文件]a.txt"), QStringLiteral("[文件]c.htm"),
                                     QStringLiteral("[文件]d.jpg"), QStringLiteral("[文件]f.TXT")}));
        QCOMPARE(Cell(m, FindRow(m, QStringLiteral("[目录]sub")), ShelfRow::Action), QStringLiteral("打开目录"));
        QCOMPARE(Cell(m, FindRow(m, QStringLiteral("[文件]d.jpg")), ShelfRow::Type), QStringLiteral("JPG文件"));

        QSignalSpy books(page.get(), &BookshelfPage::openBookRequested);
        QSignalSpy urls(page.get(), &BookshelfPage::openUrlRequested);
        auto* list = Child<QTreeView>(page.get(), "localList");
        ClickCell(list, FindRow(m, QStringLiteral("[文件]a.txt")), ShelfRow::Action);
        QCOMPARE(books.count(), 1);
        QCOMPARE(books[0][0].toString(), QString::fromStdString(root + "/a.txt"));
        page->OpenLocalRow(FindRow(m, QStringLiteral("[文件]c.htm")));
        QCOMPARE(urls.count(), 1);
        QCOMPARE(QUrl(urls[0][0].toString()).toLocalFile(), QString::fromStdString(root + "/c.htm"));
        page->OpenLocalRow(FindRow(m, QStringLiteral("[文件]d.jpg")));
        QCOMPARE(urls.count(), 2);
        QString temp = QUrl(urls[1][0].toString()).toLocalFile();
        QVERIFY2(temp.startsWith(QString::fromStdString(home_ + "temp/")) && temp.endsWith(QStringLiteral(".html")),
                 qPrintable(temp));
        std::string html;
        QVERIFY(ReadWholeFile(temp.toStdString(), html));
        QCOMPARE(QString::fromStdString(html),
                 QStringLiteral("<html><body><img src=\"file://%1/d.jpg\"></body></html>").arg(QString::fromStdString(root)));
        // A type without a template does nothing.
        page->OpenLocalRow(FindRow(m, QStringLiteral("[文件]README")));
        QCOMPARE(urls.count(), 2);
        QCOMPARE(books.count(), 1);

        // A folder row lists that folder.
        DoubleClickCell(list, FindRow(m, QStringLiteral("[目录]sub")), ShelfRow::Modified);
        QCOMPARE(box->text(), QString::fromStdString(root + "/sub/"));
        WaitLocal(page.get());
        QCOMPARE(m->RowCount(), 2);
        // "..": the listed folder again; ".": its parent.
        page->OpenLocalRow(FindRow(m, QStringLiteral("[目录]..")));
        QCOMPARE(box->text(), QString::fromStdString(root + "/sub/"));
        WaitLocal(page.get());
        page->OpenLocalRow(FindRow(m, QStringLiteral("[目录].")));
        QCOMPARE(box->text(), QString::fromStdString(root + "/"));
        WaitLocal(page.get());
        QCOMPARE(m->RowCount(), 8);
    }

    void pathBoxRules() {
        QCOMPARE(QString::fromStdString(NormaliseBrowseFolder("a/b")), QStringLiteral("a/b/"));
        QCOMPARE(QString::fromStdString(NormaliseBrowseFolder("a\\b\\")), QStringLiteral("a/b/"));
        QCOMPARE(QString::fromStdString(NormaliseBrowseFolder("")), QStringLiteral("/"));
        // Cut to 490 bytes, never inside a character: 163 three-byte
        // characters and a '/' are 490 bytes; one more ASCII byte in front
        // would split the last character, which is then dropped whole.
        std::string han;
        for (int i = 0; i < 163; ++i) han += "书";
        QCOMPARE(NormaliseBrowseFolder(han).size(), size_t(490));
        std::string cut = NormaliseBrowseFolder("xx" + han);
        QCOMPARE(cut.size(), size_t(488));
        QVERIFY(IsValidUtf8(cut));
        FolderEntry dot{".", "/a/b/.", true, 0, 0};
        FolderEntry dotdot{"..", "/a/b/..", true, 0, 0};
        FolderEntry rootDot{".", "/.", true, 0, 0};
        QCOMPARE(QString::fromStdString(FolderRowTarget(dot)), QStringLiteral("/a/"));
        QCOMPARE(QString::fromStdString(FolderRowTarget(dotdot)), QStringLiteral("/a/b"));
        QCOMPARE(QString::fromStdString(FolderRowTarget(rootDot)), QStringLiteral("/"));
        QVERIFY(IsShownFile("noext", ""));
        QVERIFY(IsShownFile(".profile", ""));
        QVERIFY(!IsShownFile("x.jpg", ""));
        QVERIFY(IsShownFile("x.jpg", "pics: jpg"));
    }

    void searchEntries() {
        std::unique_ptr<BookshelfPage> page(OpenPage());
        auto* combo = Child<QComboBox>(page.get(), "engineCombo");
        auto* box = Child<QLineEdit>(page.get(), "searchEdit");
        QCOMPARE(combo->count(), 4);
        QCOMPARE(combo->currentText(), QStringLiteral("#书库搜索"));
        QCOMPARE(box->placeholderText(), QStringLiteral("输入书名或作者"));
        QVERIFY(box->text().isEmpty());

        QSignalSpy searches(page.get(), &BookshelfPage::searchRequested);
        QSignalSpy urls(page.get(), &BookshelfPage::openUrlRequested);
        box->setText(QStringLiteral("  三国 "));
        QTest::mouseClick(Child<QPushButton>(page.get(), "searchButton"), Qt::LeftButton);
        QCOMPARE(searches.count(), 1);
        QCOMPARE(searches[0][0].toString(), QStringLiteral("三国"));

        // A pattern entry: the GBK query is encoded into its one "%s"; any
        // other '%' of the address stays as it is.
        combo->setCurrentIndex(0);
        page->ApplyEngine(0);
        QCOMPARE(box->placeholderText(), QStringLiteral("关键字"));
        QCOMPARE(urls.count(), 0);
        box->setText(QStringLiteral("三国 a&b"));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(urls.count(), 1);
        QCOMPARE(urls[0][0].toString(), QStringLiteral("https://search.test/s?q=%C8%FD%B9%FA%20a%26b&n=%d"));

        // Choosing a "!" entry opens its address at once; searching with it
        // opens the same address unchanged.
        combo->setCurrentIndex(2);
        page->ApplyEngine(2);
        QCOMPARE(urls.count(), 2);
        QCOMPARE(urls[1][0].toString(), QStringLiteral("https://forum.test/"));
        QCOMPARE(box->placeholderText(), QStringLiteral("论坛首页"));
        page->Search();
        QCOMPARE(urls.count(), 3);
        QCOMPARE(urls[2][0].toString(), QStringLiteral("https://forum.test/"));

        // An entry with too few fields does nothing.
        combo->setCurrentIndex(3);
        page->ApplyEngine(3);
        page->Search();
        QCOMPARE(urls.count(), 3);
        QCOMPARE(searches.count(), 1);

        // Reloading after a data update keeps the chosen entry and applies
        // it again, as a choice does: the "!" entry opens its address.
        combo->setCurrentIndex(2);
        box->setText(QStringLiteral("typed"));
        page->ReloadSearchEntries();
        QCOMPARE(combo->currentText(), QStringLiteral("!论坛"));
        QCOMPARE(box->placeholderText(), QStringLiteral("论坛首页"));
        QVERIFY(box->text().isEmpty());
        QCOMPARE(urls.count(), 4);
        QCOMPARE(urls[3][0].toString(), QStringLiteral("https://forum.test/"));
        QCOMPARE(searches.count(), 1);
    }

    void initialEntryIsAppliedWhenThePageOpens() {
        // Without a "#" entry the first one is selected; being a "!" entry,
        // its address opens as soon as the page is up. A "!" name that also
        // holds "#" is the in-program search and opens nothing.
        WriteWholeFile(home_ + "data/main.htm",
                       Gbk("[SEARCH_BEGIN]\r\n!首页*https://home.test/*首页文字*1*\r\n"
                           "网页*https://s.test/?q=%s*词*1*\r\n[SEARCH_END]\r\n"));
        auto* page = new BookshelfPage;
        std::unique_ptr<BookshelfPage> owner(page);
        QSignalSpy urls(page, &BookshelfPage::openUrlRequested);
        QVERIFY(urls.wait(2000));
        QCOMPARE(urls.count(), 1);
        QCOMPARE(urls[0][0].toString(), QStringLiteral("https://home.test/"));
        QCOMPARE(Child<QLineEdit>(page, "searchEdit")->placeholderText(), QStringLiteral("首页文字"));
        // Without the welcome keys the area keeps a usable size.
        QCOMPARE(page->welcomeSize(), QSize(400, 300));

        WriteWholeFile(home_ + "data/main.htm",
                       Gbk("[SEARCH_BEGIN]\r\n!#站内*https://own.test/*书名*1*\r\n[SEARCH_END]\r\n"));
        owner = std::make_unique<BookshelfPage>();
        QSignalSpy none(owner.get(), &BookshelfPage::openUrlRequested);
        QTRY_COMPARE(Child<QLineEdit>(owner.get(), "searchEdit")->placeholderText(), QStringLiteral("书名"));
        QCoreApplication::processEvents();
        QCOMPARE(none.count(), 0);
    }

    void commandsWithoutSelectionEditAndDownloader() {
        WriteWholeFile(Book("编辑的书"), "x");
        QStringList started;
        SetProgramStarter([&](const QString& program, const QStringList& args) {
            started << program + QLatin1Char('|') + args.join(QLatin1Char('|'));
            return true;
        });
        std::unique_ptr<BookshelfPage> page(OpenPage());
        QTest::mouseClick(Child<QPushButton>(page.get(), "readCommand"), Qt::LeftButton);
        QCOMPARE(QtMessenger::Shown().last(), QStringLiteral("请从列表中选择要阅读的书籍"));
        QTest::mouseClick(Child<QPushButton>(page.get(), "renameCommand"), Qt::LeftButton);
        QCOMPARE(QtMessenger::Shown().last(), QStringLiteral("请从列表中选择要更名的书籍"));
        QTest::mouseClick(Child<QPushButton>(page.get(), "editCommand"), Qt::LeftButton);
        QCOMPARE(QtMessenger::Shown().last(), QStringLiteral("请从列表中选择要编辑的书籍"));

        auto* list = Child<QTreeView>(page.get(), "bookList");
        // Folder rows are not edited or renamed.
        ClickCell(list, 0, ShelfRow::Name);
        int shown = QtMessenger::Shown().size();
        QTest::mouseClick(Child<QPushButton>(page.get(), "editCommand"), Qt::LeftButton);
        QTest::mouseClick(Child<QPushButton>(page.get(), "renameCommand"), Qt::LeftButton);
        QCOMPARE(QtMessenger::Shown().size(), shown);
        QVERIFY(started.isEmpty());

        ClickCell(list, 1, ShelfRow::Name);
        qputenv("VISUAL", "myeditor --new-window");
        QTest::mouseClick(Child<QPushButton>(page.get(), "editCommand"), Qt::LeftButton);
        qunsetenv("VISUAL");
        QTest::mouseClick(Child<QPushButton>(page.get(), "editCommand"), Qt::LeftButton);
        QString file = QString::fromStdString(Book("编辑的书"));
        QCOMPARE(started, (QStringList{QStringLiteral("myeditor|--new-window|") + file,
                                       QStringLiteral("xdg-open|") + file}));

        started.clear();
        QTest::mouseClick(Child<QPushButton>(page.get(), "downloadCommand"), Qt::LeftButton);
        QVERIFY(started.isEmpty());
        QCOMPARE(QtMessenger::Shown().last(),
                 QStringLiteral("所需文件未找到,请重启软件再试,若多次重试不行,请从官网下载最新版本"));
        mkdir((home_ + "fetchwell").c_str(), 0755);
        WriteWholeFile(home_ + "fetchwell/fetchwell", "#!/bin/sh\n");
        QTest::mouseClick(Child<QPushButton>(page.get(), "downloadCommand"), Qt::LeftButton);
        QCOMPARE(started, QStringList{QString::fromStdString(home_ + "fetchwell/fetchwell|")});

        // The folder picker: Cancel keeps the box; a choice gets its '/'.
        auto* box = Child<QLineEdit>(page.get(), "pathEdit");
        QString before = box->text();
        SetNextFolderName(QString());
        QTest::mouseClick(Child<QPushButton>(page.get(), "browseCommand"), Qt::LeftButton);
        QCOMPARE(box->text(), before);
        SetNextFolderName(QString::fromStdString(home_ + "book"));
        QTest::mouseClick(Child<QPushButton>(page.get(), "browseCommand"), Qt::LeftButton);
        QCOMPARE(box->text(), QString::fromStdString(home_ + "book/"));
        QCOMPARE(QString::fromStdString(ProgramWindowConfig().browseFolder), box->text());
        WaitLocal(page.get());
        QVERIFY(FindRow(page->localModel(), QStringLiteral("[文件]编辑的书.txt")) >= 0);
    }

    void largeFolderListsWithoutBlockingAndLatestRequestWins() {
        std::string big = home_ + "big/";
        std::string other = home_ + "other/";
        mkdir(big.c_str(), 0755);
        mkdir(other.c_str(), 0755);
        for (int i = 0; i < 20000; ++i) WriteWholeFile(big + "f" + std::to_string(i) + ".txt", "");
        WriteWholeFile(other + "only.txt", "");

        std::unique_ptr<BookshelfPage> page(OpenPage());
        auto* box = Child<QLineEdit>(page.get(), "pathEdit");
        QSignalSpy refreshed(page.get(), &BookshelfPage::localListRefreshed);

        // A timer on the interface thread measures the longest pause in
        // event handling while the folder is listed.
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        qint64 longest = 0;
        QTimer ticker;
        ticker.setInterval(5);
        connect(&ticker, &QTimer::timeout, this, [&] {
            qint64 now = clock.elapsed();
            longest = qMax(longest, now - last);
            last = now;
        });
        ticker.start();
        box->setText(QString::fromStdString(big));
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(page->IsRefreshing(BookshelfPage::LocalList));
        QTRY_VERIFY_WITH_TIMEOUT(refreshed.count() == 1, 20000);
        ticker.stop();
        QCOMPARE(page->localModel()->RowCount(), 20002);
        qInfo("longest pause of the interface thread: %lld ms", longest);
        QVERIFY2(longest < 400, qPrintable(QString::number(longest)));

        // Three requests in a row: only the last one's rows are applied.
        refreshed.clear();
        box->setText(QString::fromStdString(big));
        page->Refresh(BookshelfPage::LocalList);
        page->Refresh(BookshelfPage::LocalList);
        box->setText(QString::fromStdString(other));
        page->Refresh(BookshelfPage::LocalList);
        QTRY_VERIFY_WITH_TIMEOUT(!page->IsRefreshing(BookshelfPage::LocalList), 20000);
        QCOMPARE(refreshed.count(), 1);
        QCOMPARE(page->localModel()->RowCount(), 3);
        QVERIFY(FindRow(page->localModel(), QStringLiteral("[文件]only.txt")) >= 0);
    }

    void shippedDemoBookIsInTheFormattedLayout() {
        std::string text;
        QVERIFY(ReadWholeFile(std::string(QUILLON_TEST_DATA) + "/../../book/道德经选读.txt", text));
        QVERIFY(text.size() > 1000);
        QCOMPARE(QByteArray::fromStdString(FormatBookText(text)), QByteArray::fromStdString(text));
        QVERIFY(text.find(Gbk("    第十章\r\n")) != std::string::npos);
    }

    void droppedTextFilesAreAdded() {
        std::string a = home_ + "掉落甲.txt";
        std::string b = home_ + "掉落乙.txt";
        WriteWholeFile(a, "aaaa");
        WriteWholeFile(b, "bbbb");
        WriteWholeFile(home_ + "pic.jpg", "x");
        std::unique_ptr<BookshelfPage> page(OpenPage());
        QStringList names;
        std::function<void(AddBookDialog*)> answer = [&](AddBookDialog* d) {
            names << Child<QLineEdit>(d, "nameEdit")->text();
            Child<QCheckBox>(d, "formatCheck")->setChecked(false);
            if (names.size() < 2)
                connect(d, &QDialog::finished, this, [&] { WhenModal<AddBookDialog>(answer); });
            QTest::mouseClick(Child<QPushButton>(d, "addBookButton"), Qt::LeftButton);
        };
        WhenModal<AddBookDialog>(answer);
        QSignalSpy refreshed(page.get(), &BookshelfPage::bookListRefreshed);
        auto* viewport = Child<QTreeView>(page.get(), "bookList")->viewport();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(a)), QUrl::fromLocalFile(QString::fromStdString(home_ + "pic.jpg")),
                      QUrl::fromLocalFile(QString::fromStdString(b))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        QVERIFY(drop.isAccepted());
        QVERIFY(refreshed.wait(10000));
        QCOMPARE(names, (QStringList{QStringLiteral("掉落甲"), QStringLiteral("掉落乙")}));
        std::string text;
        QVERIFY(ReadWholeFile(Book("掉落乙"), text));
        QCOMPARE(text, std::string("bbbb"));
        QCOMPARE(page->bookModel()->RowCount(), 3);

        // Only files that are not text are refused at the door.
        QMimeData pictures;
        pictures.setUrls({QUrl::fromLocalFile(QString::fromStdString(home_ + "pic.jpg"))});
        QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &pictures, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &refused);
        QVERIFY(!refused.isAccepted());
    }
};

QTEST_MAIN(BookshelfPageTest)
#include "bookshelf_page_test.moc"
