#include "gui/shell/book_search_panel.h"

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <httplib.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QWebEngineView>

#include "core/net/url_encode.h"
#include "core/text/gbk_codec.h"
#include "gui/app/application.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/web_engine_setup.h"
#include "gui/net/book_search_page.h"
#include "gui/shell/browser_page.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/panel_factories.h"
#include "support/http_test_server.h"

using namespace quillon;

namespace {

std::string G(const char* utf8) { return Utf8ToGbk(utf8); }

// An index file as the downloads deliver them: int32 pair count, then
// length-prefixed GBK strings (header "site_name" and site, then url and
// title per record).
class IndexFile {
public:
    explicit IndexFile(const std::string& siteUtf8) : site_(G(siteUtf8.c_str())) {}
    IndexFile& Add(const std::string& url, const std::string& titleUtf8) {
        records_.emplace_back(url, G(titleUtf8.c_str()));
        return *this;
    }
    QByteArray Bytes() const {
        QByteArray out;
        auto put = [&out](int32_t v) {
            for (int i = 0; i < 4; ++i) out.append(static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
        };
        auto str = [&](const std::string& s) {
            put(static_cast<int32_t>(s.size()));
            out.append(s.data(), static_cast<qsizetype>(s.size()));
        };
        put(static_cast<int32_t>(records_.size() + 1));
        str("site_name");
        str(site_);
        for (const auto& [url, title] : records_) {
            str(url);
            str(title);
        }
        return out;
    }

private:
    std::string site_;
    std::vector<std::pair<std::string, std::string>> records_;
};

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

QByteArray Gbk(const char* utf8) { return QByteArray::fromStdString(G(utf8)); }

QStringList RowTexts(const QTreeWidget* list, int row) {
    QStringList texts;
    for (int c = 0; c < 4; ++c) texts << list->topLevelItem(row)->text(c);
    return texts;
}

}  // namespace

class BookSearchPanelTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    std::unique_ptr<CMainFrame> frame_;
    test::HttpTestServer http_;
    httplib::Server& server_ = http_.server();
    std::mutex mutex_;
    std::vector<std::string> reports_;

    QString Home(const QString& name) const { return home_.filePath(name); }
    QString Local(const char* path) const { return QString::fromStdString(http_.Url(path)); }

    void WriteTagFile(const QString& reportAddress) {
        QByteArray text = Gbk("[MAIN_URL]\r\nabout:blank\r\n[HOME_PAGE_URL]\r\nhttp://home.test/\r\n"
                              "[SEARCH_BOOK_DLG_WIDTH]\r\n330\r\n");
        text += "[SEARCH_BOOK_URL]\r\n" + Local("/result?k=%s").toUtf8() + "\r\n";
        text += Gbk("[SEARCH_BOOK_TITLE]\r\n小说搜索\r\n");
        text += "[SEARCH_BOOK_SEARCH_URL]\r\n" + Local("/web?q=%s").toUtf8() + "\r\n";
        text += "[SEARCH_BOOK_SI_URL]\r\n" + reportAddress.toUtf8() + "\r\n";
        WriteFile(Home(QStringLiteral("data/main.htm")), text);
    }

    size_t ReportCount() {
        std::lock_guard lock(mutex_);
        return reports_.size();
    }
    std::string LastReport() {
        std::lock_guard lock(mutex_);
        return reports_.empty() ? std::string() : reports_.back();
    }

    BookSearchPage* SearchInNewTab(const QString& words) {
        BrowserPage* tab = frame_->OpenBlankTab();
        if (!tab) return nullptr;
        tab->OpenSearch(words, QString());
        return qobject_cast<BookSearchPage*>(tab->searchPanel());
    }

    static bool Finished(const BookSearchPage* page) {
        return page->statusLine()->text().endsWith(QStringLiteral("搜索完成"));
    }

    static QPoint CellCentre(QTreeWidget* list, int row, int column) {
        QRect r = list->visualItemRect(list->topLevelItem(row));
        int x = list->header()->sectionViewportPosition(column) + list->header()->sectionSize(column) / 2;
        return QPoint(x, r.center().y());
    }

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("QUILLON_HOME", home_.path().toUtf8());
        server_.Post("/si", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex_);
            reports_.push_back(req.body);
            res.set_content("BOOK_UPDATE_FLAG_OK", "text/plain");
        });
        http_.Start();

        WriteTagFile(Local("/si"));
        WriteFile(Home(QStringLiteral("list/libdata_1.dat")),
                  IndexFile("甲站")
                      .Add(Local("/book/1").toStdString(), "红楼梦")
                      .Add(Local("/book/2").toStdString(), "西游记")
                      .Add("site_name", "乙站")
                      .Add(Local("/book/3").toStdString(), "红楼梦魇")
                      .Add(Local("/book/4").toStdString(), "梦里红楼")
                      .Bytes());
        WriteFile(Home(QStringLiteral("list/libdata_2.dat")),
                  IndexFile("丙站").Add(Local("/book/5").toStdString(), "红楼续梦").Bytes());
        // Not an index: a damaged file must not stop the others.
        WriteFile(Home(QStringLiteral("list/libdata_3.dat")), QByteArray("\x05\x00\x00\x00junk", 8));

        StartApplication();
        QtMessenger::SetTestMode(true);
        RegisterBookSearchPanel();
        frame_ = std::make_unique<CMainFrame>();
        frame_->resize(1200, 700);
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    }

    void cleanupTestCase() {
        frame_.reset();
        SetSearchPanelFactory({});
        http_.Stop();
    }

    void init() { QtMessenger::Shown().clear(); }

    void searchFromAHostListsEveryTitleHoldingAllWords() {
        BookSearchPage* page = SearchInNewTab(QStringLiteral("  梦  红楼 "));
        QVERIFY(page);
        BrowserPage* tab = frame_->CurrentPage();
        QCOMPARE(tab->searchPanel(), page);
        QTRY_VERIFY(Finished(page));
        QCOMPARE(tab->Title(), QStringLiteral("小说搜索_梦  红楼"));
        QCOMPARE(tab->browser()->url().path(), QStringLiteral("/result"));

        QTreeWidget* list = page->resultList();
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("文章标题"));
        QCOMPARE(list->headerItem()->text(3), QStringLiteral("网址"));
        QCOMPARE(list->columnWidth(0), 280);
        QCOMPARE(list->columnWidth(1), 80);
        QCOMPARE(list->columnWidth(2), 120);
        QCOMPARE(list->columnWidth(3), 280);

        QCOMPARE(list->topLevelItemCount(), 4);
        QCOMPARE(RowTexts(list, 0), (QStringList{QStringLiteral("红楼梦"), QStringLiteral("打开内容"),
                                                 QStringLiteral("甲站"), Local("/book/1")}));
        QCOMPARE(list->topLevelItem(1)->text(2), QStringLiteral("乙站"));
        QCOMPARE(list->topLevelItem(2)->text(0), QStringLiteral("梦里红楼"));
        QCOMPARE(list->topLevelItem(3)->text(2), QStringLiteral("丙站"));
        // Five books plus the site switch; the damaged file adds nothing.
        QCOMPARE(page->statusLine()->text(), QStringLiteral(" 总文章数6, 找到4个结果, 搜索完成"));
        QCOMPARE(page->found(), 4);

        // The layout of the pane.
        QCOMPARE(list->geometry().top(), 38);
        QCOMPARE(page->statusLine()->geometry().bottom(), page->height() - 1);
        QCOMPARE(page->queryEdit()->geometry().left(), 90);
        QCOMPARE(page->queryEdit()->geometry().right(), page->width() - 91);
    }

    void clickingARowDescribesItAndItsActionOpensAndReports() {
        BookSearchPage* page = SearchInNewTab(QStringLiteral("西游"));
        QVERIFY(page);
        QTRY_VERIFY(Finished(page));
        QTreeWidget* list = page->resultList();
        QCOMPARE(list->topLevelItemCount(), 1);
        const int tabs = frame_->PageCount();
        const size_t reports = ReportCount();

        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCentre(list, 0, 0));
        QCOMPARE(page->statusLine()->text(),
                 QStringLiteral(" 总文章数6, 找到1个结果, 西游记 出处:甲站 网址:") + Local("/book/2"));
        QCOMPARE(frame_->PageCount(), tabs);

        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCentre(list, 0, 1));
        QCOMPARE(frame_->PageCount(), tabs + 1);
        QCOMPARE(frame_->CurrentPage()->browser()->url().toString(), Local("/book/2"));
        QTRY_COMPARE(ReportCount(), reports + 1);
        std::string title = G("西游记");
        std::string site = G("甲站");
        std::string url = Local("/book/2").toStdString();
        QCOMPARE(LastReport(), "b_flag=QUILLON_HEAD&b_name=" + UrlEncodeForm(title.data(), title.size()) +
                                   "&b_websit=" + UrlEncodeForm(site.data(), site.size()) +
                                   "&b_url=" + UrlEncodeForm(url.data(), url.size()));
    }

    void noMatchOffersTheWebSearchAndReportsIt() {
        BookSearchPage* page = SearchInNewTab(QStringLiteral("无此书"));
        QVERIFY(page);
        QTRY_VERIFY(Finished(page));
        QTreeWidget* list = page->resultList();
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(RowTexts(list, 0), (QStringList{QStringLiteral("未找到相关数据"), QStringLiteral("在网络搜索"),
                                                 QStringLiteral(" "), Local("/web?q=无此书")}));
        QCOMPARE(page->statusLine()->text(), QStringLiteral(" 总文章数6, 找到0个结果, 搜索完成"));

        const int tabs = frame_->PageCount();
        const size_t reports = ReportCount();
        // A double click is a click and a second press, as a user makes it.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCentre(list, 0, 0));
        QCOMPARE(frame_->PageCount(), tabs);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, CellCentre(list, 0, 0));
        QCOMPARE(frame_->PageCount(), tabs + 1);
        QCOMPARE(frame_->CurrentPage()->browser()->url().path(), QStringLiteral("/web"));
        QTRY_COMPARE(ReportCount(), reports + 1);
        std::string title = G("未找到相关数据");
        QVERIFY(LastReport().starts_with("b_flag=QUILLON_HEAD&b_name=" + UrlEncodeForm(title.data(), title.size()) +
                                         "&b_websit=%20&b_url="));
    }

    void withoutAReportAddressNothingIsSent() {
        WriteTagFile(QString());
        BookSearchPage* page = SearchInNewTab(QStringLiteral("红楼梦魇"));
        QVERIFY(page);
        QTRY_VERIFY(Finished(page));
        const size_t reports = ReportCount();
        const int tabs = frame_->PageCount();
        page->OpenRow(0);
        QCOMPARE(frame_->PageCount(), tabs + 1);
        QTest::qWait(200);
        QCOMPARE(ReportCount(), reports);
        WriteTagFile(Local("/si"));
    }

    void anEmptyQueryAsksAndGivesTheFocusBack() {
        BookSearchPage page;
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        page.activateWindow();
        page.SetQuery(QStringLiteral("   "));
        page.resultList()->setFocus();
        QTest::keyClick(page.queryEdit(), Qt::Key_Return);
        QTRY_COMPARE(QtMessenger::Shown(), QStringList{QStringLiteral("请输入要搜索的内容")});
        QVERIFY(page.refocusTimer().isActive());
        QTRY_VERIFY(!page.refocusTimer().isActive());
        QCOMPARE(QApplication::focusWidget(), page.queryEdit());
        QCOMPARE(page.resultList()->topLevelItemCount(), 0);
    }

    void anEmptyIndexRefusesToSearch() {
        QTemporaryDir empty;
        BookIndex index(empty.path().toStdString() + "/");
        BookSearchPage page(nullptr, &index);
        QSignalSpy ended(&page, &BookSearchPage::searchEnded);
        page.SetQuery(QStringLiteral("红楼"));
        page.StartSearch();
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(QtMessenger::Shown().size(), 1);
        QVERIFY(QtMessenger::Shown()[0].startsWith(QStringLiteral("软件中的部分数据未更新(可能是网络连接问题)")));
        QVERIFY(QtMessenger::Shown()[0].endsWith(QStringLiteral("http://home.test/")));
        QCOMPARE(page.statusLine()->text(), QStringLiteral(" 总文章数0, 找到0个结果, 未执行搜索"));
    }

    void keysNeverCloseThePane() {
        QDialog dialog;
        auto* page = new BookSearchPage(&dialog);
        dialog.resize(700, 400);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(page->resultList(), Qt::Key_Escape);
        QTest::keyClick(page, Qt::Key_Escape);
        QTest::keyClick(page->resultList(), Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), 0);
        // Enter in the query field searches.
        QSignalSpy started(page, &BookSearchPage::searchStarted);
        page->SetQuery(QStringLiteral("西游"));
        QTest::keyClick(page->queryEdit(), Qt::Key_Enter);
        QCOMPARE(started.count(), 1);
        QTRY_VERIFY(Finished(page));
        QVERIFY(dialog.isVisible());
        QTest::mouseClick(page->searchButton(), Qt::LeftButton);
        QCOMPARE(started.count(), 2);
        QTRY_VERIFY(Finished(page));
    }

    void aNewSearchReplacesTheRunningOneAndAClosedPaneHearsNothing() {
        QTemporaryDir folder;
        IndexFile big("站");
        for (int i = 0; i < 20000; ++i) big.Add("http://127.0.0.1:9/" + std::to_string(i), "卷" + std::to_string(i));
        WriteFile(folder.filePath(QStringLiteral("libdata_1.dat")), big.Bytes());
        BookIndex index(folder.path().toStdString() + "/");

        BookSearchPage page(nullptr, &index);
        QSignalSpy ended(&page, &BookSearchPage::searchEnded);
        page.SetQuery(QStringLiteral("卷"));
        page.StartSearch();
        page.SetQuery(QStringLiteral("卷19 5"));
        page.StartSearch();
        QTRY_COMPARE(ended.count(), 1);
        // Only the second search's rows: numbers beginning with 19 that hold a 5.
        int expected = 0;
        for (int i = 0; i < 20000; ++i) {
            std::string t = std::to_string(i);
            if (t.starts_with("19") && t.find('5') != std::string::npos) ++expected;
        }
        QCOMPARE(page.found(), expected);
        QCOMPARE(page.resultList()->topLevelItemCount(), expected);
        QTest::qWait(100);
        QCOMPARE(ended.count(), 1);

        // A pane closed in the middle of a search: its thread ends by itself.
        for (int round = 0; round < 5; ++round) {
            auto* doomed = new BookSearchPage(nullptr, &index);
            doomed->SetQuery(QStringLiteral("卷"));
            doomed->StartSearch();
            QTest::qWait(round * 5);
            delete doomed;
        }
        QTest::qWait(300);
        page.SetQuery(QStringLiteral("卷19999"));
        page.StartSearch();
        QTRY_COMPARE(ended.count(), 2);
        QCOMPARE(page.found(), 1);
    }
};

int main(int argc, char** argv) {
    PrepareWebEngine();
    QApplication app(argc, argv);
    BookSearchPanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "book_search_panel_test.moc"
