// The bookshelf inside the main tab of a real frame: its requests become
// tabs, and a data update reloads its search entries.
#include <cstdio>
#include <memory>
#include <string>

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QWebEngineView>

#include "core/library/book_store.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/web_engine_setup.h"
#include "gui/library/bookshelf_page.h"
#include "gui/library/bookshelf_panel.h"
#include "gui/library/file_list_model.h"
#include "gui/shell/browser_page.h"
#include "gui/shell/main_frame.h"
#include "shelf_test_support.h"

using namespace quillon;

namespace {

const char* kTags =
    "[SEARCH_BEGIN]\r\n"
    "#书库搜索*%s*输入书名*0*\r\n"
    "网页*http://127.0.0.1:9/s?q=%s*词*1*\r\n"
    "[SEARCH_END]\r\n";

}  // namespace

class BookshelfPanelTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir* dir_ = nullptr;
    std::string home_;

    static BookshelfPage* Shelf(CMainFrame* frame) {
        BrowserPage* main = frame->PageAt(0);
        return main ? qobject_cast<BookshelfPage*>(main->bookshelfPanel()) : nullptr;
    }

private Q_SLOTS:
    void init() {
        dir_ = new QTemporaryDir;
        QVERIFY(dir_->isValid());
        home_ = shelf_test::MakeProgramFolder(*dir_, kTags);
        CMainFrame::SetUpdateWorkerStarter(nullptr);
        RegisterBookshelfPanel();
    }

    void cleanup() {
        delete dir_;
        dir_ = nullptr;
    }

    void requestsOfTheShelfBecomeTabs() {
        WriteWholeFile(BookStore::BookPath(Gbk("红楼一梦")), Gbk("    正文\r\n"));
        auto frame = std::make_unique<CMainFrame>();
        frame->resize(1100, 700);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        QTRY_VERIFY(frame->PageCount() >= 1);
        BookshelfPage* shelf = Shelf(frame.get());
        QVERIFY(shelf);
        QCOMPARE(frame->PageAt(0)->Title(), QStringLiteral("主窗口"));
        QTRY_COMPARE(shelf->bookModel()->RowCount(), 2);
        int pages = frame->PageCount();

        shelf->OpenBookRow(1);
        QCOMPARE(frame->PageCount(), pages + 1);
        QCOMPARE(frame->CurrentPage()->Title(), QStringLiteral("红楼一梦_阅读"));
        // A book gone since the list was read opens no empty tab.
        QVERIFY(std::remove(BookStore::BookPath(Gbk("红楼一梦")).c_str()) == 0);
        shelf->OpenBookRow(1);
        QCOMPARE(frame->PageCount(), pages + 1);
        QCOMPARE(QtMessenger::Shown().last(), QStringLiteral("打开文件失败，指定名字的小说未找到。"));
        WriteWholeFile(BookStore::BookPath(Gbk("红楼一梦")), Gbk("    正文\r\n"));

        shelf->findChild<QLineEdit*>(QStringLiteral("searchEdit"))->setText(QStringLiteral("演义"));
        shelf->Search();
        QCOMPARE(frame->PageCount(), pages + 2);
        QCOMPARE(frame->CurrentPage()->Title(), QStringLiteral("小说搜索_演义"));

        auto* combo = shelf->findChild<QComboBox*>(QStringLiteral("engineCombo"));
        combo->setCurrentIndex(1);
        shelf->ApplyEngine(1);
        shelf->findChild<QLineEdit*>(QStringLiteral("searchEdit"))->setText(QStringLiteral("词"));
        shelf->Search();
        QCOMPARE(frame->PageCount(), pages + 3);
        QTRY_COMPARE(frame->CurrentPage()->browser()->url().toString(), QStringLiteral("http://127.0.0.1:9/s?q=%B4%CA"));

        // A data update brings new entries; the chosen one stays selected.
        WriteWholeFile(home_ + "data/main.htm",
                       Gbk("[SEARCH_BEGIN]\r\n新的*x%s*新*1*\r\n网页*y%s*词*1*\r\n[SEARCH_END]\r\n"));
        CMainFrame::PostSearchEntryReload();
        QTRY_COMPARE_WITH_TIMEOUT(combo->count(), 2, 5000);
        QTRY_COMPARE(combo->itemText(0), QStringLiteral("新的"));
        QCOMPARE(combo->currentText(), QStringLiteral("网页"));
    }
};

int main(int argc, char** argv) {
    PrepareWebEngine();
    QApplication app(argc, argv);
    BookshelfPanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "bookshelf_panel_test.moc"
