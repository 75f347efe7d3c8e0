// The downloader end to end against a web server on 127.0.0.1: analyse a
// contents page, tick chapters with the mouse, download, and read the rows,
// the status line and the files written. Also stopping, a new analysis in
// the middle of a download, and closing the window during one.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include <httplib.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "core/downloader/download_preferences.h"
#include "core/downloader/downloader_settings.h"
#include "core/net/md5.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/gbk_literal.h"
#include "gui/app/qt_messenger.h"
#include "gui/downloader/dialog_seams.h"
#include "gui/downloader/fetchwell_window.h"
#include "gui/downloader/link_list_view.h"
#include "support/http_test_server.h"

using namespace quillon;

namespace {
constexpr int kWaitMs = 20000;

const char* kContentsPage =
    "<html><head><meta charset=\"utf-8\"><title>目录</title></head><body>"
    "<a href=\"1.html\">第1章 开始</a><br>"
    "<a href=\"./2.html\"><b>第2章：相遇</b></a><br>"
    "<a href=\"missing.html\">第3章 失踪</a><br>"
    "<a href=\"/slow.html\">第4章 慢</a>"
    "</body></html>";
}  // namespace

class DownloadTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::string home_;
    std::string out_;
    test::HttpTestServer http_;
    httplib::Server& server_ = http_.server();
    std::atomic<bool> releaseSlow_{false};
    std::atomic<int> slowRequests_{0};

    std::string Url(const char* path) const { return http_.Url(path); }

    template <typename T>
    static T* Child(QWidget& w, const char* name) {
        T* c = w.findChild<T*>(QLatin1String(name));
        if (c == nullptr) qFatal("missing child %s", name);
        return c;
    }
    static LinkListView* List(QWidget& w) { return Child<LinkListView>(w, "linkList"); }
    static void ClickCell(LinkListView* list, int row, int column) {
        QRect cell = list->visualRect(list->model()->index(row, column));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }
    static QString Text(QWidget& w, const char* name) { return Child<QLineEdit>(w, name)->text(); }

    // Shows a window on the contents page and analyses it.
    std::unique_ptr<FetchwellWindow> AnalysedWindow() {
        auto w = std::make_unique<FetchwellWindow>();
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get())) return nullptr;
        QSignalSpy analysed(w.get(), &FetchwellWindow::analysisFinished);
        QTest::mouseClick(Child<QPushButton>(*w, "analyseButton"), Qt::LeftButton);
        if (!analysed.wait(kWaitMs)) return nullptr;
        return w;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        SetProgramHomeVariable("FETCHWELL_HOME");
        QtMessenger::SetTestMode(true);
        FolderPicker::SetTestMode(true);
        SetDesktopOpener([](const QUrl&) { return true; });

        server_.Get("/book/index.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(kContentsPage, "text/html");
        });
        server_.Get(R"(/book/(\d)\.html)", [](const httplib::Request& req, httplib::Response& res) {
            std::string n = req.matches[1];
            res.set_content(Gbk("<html><body><p>第" + n + "章正文</p><p>第二段</p></body></html>"),
                            "text/html");
        });
        server_.Get("/book/missing.html", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("not found", "text/plain");
        });
        server_.Get("/slow.html", [this](const httplib::Request&, httplib::Response& res) {
            ++slowRequests_;
            for (int i = 0; i < 200 && !releaseSlow_; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
            res.set_content(Gbk("<p>慢章</p>"), "text/html");
        });
        QVERIFY(http_.port() > 0);
        http_.Start();
    }

    void cleanupTestCase() {
        releaseSlow_ = true;
        http_.Stop();
    }

    void init() {
        static int n = 0;
        home_ = dir_.path().toStdString() + "/prog" + std::to_string(++n) + "/";
        out_ = dir_.path().toStdString() + "/out" + std::to_string(n) + "/";
        qputenv("FETCHWELL_HOME", home_.c_str());
        EnterProgramFolder();
        QVERIFY(EnsureFolders(home_ + "data/") == 0);
        QVERIFY(WriteWholeFile(home_ + "data/main.htm",
                               "[TOP_URL]\r\nabout:blank\r\n[DEFAULT_URL]\r\n" + Url("/book/index.html") + "\r\n"));
        DownloaderSettings s;
        s.saveFolder = out_.substr(0, out_.size() - 1);  // the worker adds the '/'
        QCOMPARE(s.Save(home_ + "data/config.dat"), 0);
        QVERIFY(SavePreferences(DownloadPreferences::Plain()));
        releaseSlow_ = false;
        slowRequests_ = 0;
        QtMessenger::Shown().clear();
    }

    void analyseTickAndDownloadChapters() {
        auto w = AnalysedWindow();
        QVERIFY(w);
        LinkListView* list = List(*w);
        QCOMPARE(list->rowCount(), 4);
        QCOMPARE(Text(*w, "countEdit"), QStringLiteral("共 4"));
        QCOMPARE(Text(*w, "statusEdit"), QStringLiteral("下载完成"));
        QCOMPARE(list->CellText(0, 0), QStringLiteral("0000"));
        QCOMPARE(list->CellText(0, 2), QStringLiteral("第1章 开始"));
        QCOMPARE(list->CellText(1, 2), QStringLiteral("<b>第2章：相遇</b>"));
        QCOMPARE(list->CellText(1, 3), QString::fromStdString(Url("/book/2.html")));
        QCOMPARE(list->CellText(3, 3), QString::fromStdString(Url("/slow.html")));

        for (int r : {0, 1, 2}) ClickCell(list, r, 0);
        QCOMPARE(list->CheckedCount(), 3);

        QSignalSpy finished(w.get(), &FetchwellWindow::downloadFinished);
        QTest::mouseClick(Child<QPushButton>(*w, "downloadButton"), Qt::LeftButton);
        QVERIFY(!Child<QPushButton>(*w, "downloadButton")->isEnabled());
        QVERIFY(Child<QPushButton>(*w, "stopButton")->isEnabled());
        QVERIFY(finished.wait(kWaitMs));
        QCOMPARE(finished.first().at(0).toInt(), 2);
        QCOMPARE(finished.first().at(1).toInt(), 1);
        QCOMPARE(finished.first().at(2).toBool(), false);

        QCOMPARE(list->CellText(0, 1), QStringLiteral("下载完成"));
        QCOMPARE(list->CellText(1, 1), QStringLiteral("下载完成"));
        QCOMPARE(list->CellText(2, 1), QStringLiteral("下载失败"));
        QCOMPARE(list->CellText(3, 1), QString());
        QCOMPARE(slowRequests_.load(), 0);  // unticked rows are not fetched

        const std::string book = out_ + Md5Hex(Url("/book/index.html")) + "/";
        QCOMPARE(Text(*w, "saveFolderEdit"), QString::fromStdString(book));
        const std::string html1 = book + "html/第1章 开始.html";
        const std::string txt1 = book + "txt/第1章 开始.txt";
        std::string bytes;
        QVERIFY(ReadWholeFile(html1, bytes));
        QCOMPARE(bytes, Gbk("<html><body><p>第1章正文</p><p>第二段</p></body></html>"));
        QVERIFY(ReadWholeFile(txt1, bytes));
        QVERIFY(bytes.find(Gbk("第1章正文")) != std::string::npos);
        QVERIFY(bytes.find('<') == std::string::npos);
        QCOMPARE(list->CellText(0, 4), QString::fromStdString(html1 + "   " + txt1));
        // Markup is cut from the name; the full-width colon stays.
        QVERIFY(FileExists(book + "txt/第2章：相遇.txt"));
        QVERIFY(!FileExists(book + "txt/第3章 失踪.txt"));
        QCOMPARE(list->CellText(2, 4), QString());

        QCOMPARE(Text(*w, "statusEdit"), QStringLiteral("下载完成，1 个网址失败"));
        QCOMPARE(Text(*w, "countEdit"), QStringLiteral(" 3/3"));
        auto* progress = Child<QProgressBar>(*w, "downloadProgress");
        QCOMPARE(progress->maximum(), 3);
        QCOMPARE(progress->value(), 3);
        QVERIFY(Child<QPushButton>(*w, "downloadButton")->isEnabled());
        QVERIFY(!Child<QPushButton>(*w, "stopButton")->isEnabled());

        // The saved chapters become one book named after the contents page;
        // the chapter that failed is named in the message, and a file of
        // its name left by an earlier run stays out.
        QVERIFY(WriteWholeFile(book + "txt/第3章 失踪.txt", "stale"));
        QString offered;
        SetModalRunner([&offered](QDialog& d) {
            offered = d.findChild<QLineEdit*>(QStringLiteral("bookNameEdit"))->text();
            return int(QDialog::Accepted);
        });
        QTest::mouseClick(Child<QPushButton>(*w, "mergeButton"), Qt::LeftButton);
        SetModalRunner(nullptr);
        QCOMPARE(offered, QStringLiteral("目录"));
        QVERIFY(ReadWholeFile(book + "目录.txt", bytes));
        QVERIFY(bytes.find(Gbk("第1章 开始\r\n")) < bytes.find(Gbk("第2章：相遇\r\n")));
        QVERIFY(bytes.find(Gbk("第3章")) == std::string::npos);
        QVERIFY(bytes.find("stale") == std::string::npos);
        QVERIFY(QtMessenger::Shown().last().contains(QStringLiteral("缺少 1 章：第3章 失踪")));
    }

    void stopEndsTheRunAndGivesTheButtonBack() {
        auto w = AnalysedWindow();
        QVERIFY(w);
        LinkListView* list = List(*w);
        ClickCell(list, 3, 0);
        ClickCell(list, 0, 0);
        QSignalSpy finished(w.get(), &FetchwellWindow::downloadFinished);
        QTest::mouseClick(Child<QPushButton>(*w, "downloadButton"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(slowRequests_.load(), 1, kWaitMs);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(Child<QPushButton>(*w, "stopButton"), Qt::LeftButton);
        QCOMPARE(Text(*w, "statusEdit"), QStringLiteral("终止下载"));
        QVERIFY(!Child<QPushButton>(*w, "stopButton")->isEnabled());
        QVERIFY(finished.wait(kWaitMs));
        QVERIFY2(clock.elapsed() < 3000, "the stop took too long");
        QCOMPARE(finished.first().at(2).toBool(), true);
        QCOMPARE(Text(*w, "statusEdit"), QStringLiteral("终止下载"));
        QVERIFY(Child<QPushButton>(*w, "downloadButton")->isEnabled());
        // The first chapter was saved before the slow one was cut off; the
        // slow one has no state and no file.
        QCOMPARE(list->CellText(0, 1), QStringLiteral("下载完成"));
        QCOMPARE(list->CellText(3, 1), QString());
        QVERIFY(!FileExists(out_ + Md5Hex(Url("/book/index.html")) + "/txt/第4章 慢.txt"));
    }

    void newAnalysisDuringADownloadKeepsItsRowsClean() {
        auto w = AnalysedWindow();
        QVERIFY(w);
        LinkListView* list = List(*w);
        ClickCell(list, 3, 0);
        QSignalSpy finished(w.get(), &FetchwellWindow::downloadFinished);
        QTest::mouseClick(Child<QPushButton>(*w, "downloadButton"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(slowRequests_.load(), 1, kWaitMs);

        QSignalSpy analysed(w.get(), &FetchwellWindow::analysisFinished);
        QTest::mouseClick(Child<QPushButton>(*w, "analyseButton"), Qt::LeftButton);
        QVERIFY(analysed.wait(kWaitMs));
        QCOMPARE(list->rowCount(), 4);
        releaseSlow_ = true;
        QVERIFY(finished.wait(kWaitMs));
        QCOMPARE(finished.first().at(0).toInt(), 1);
        // The chapter was saved, but the fresh rows are not marked with it.
        QCOMPARE(list->CellText(3, 1), QString());
        QCOMPARE(list->CellText(3, 4), QString());
        QCOMPARE(list->CellText(3, 0), QStringLiteral("0000"));
        QVERIFY(FileExists(out_ + Md5Hex(Url("/book/index.html")) + "/txt/第4章 慢.txt"));
    }

    void secondAnalysisReplacesTheFirst() {
        FetchwellWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QSignalSpy analysed(&w, &FetchwellWindow::analysisFinished);
        auto* address = Child<QLineEdit>(w, "addressEdit");
        address->setText(QString::fromStdString(Url("/slow.html")));
        QTest::mouseClick(Child<QPushButton>(w, "analyseButton"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(slowRequests_.load(), 1, kWaitMs);
        address->setText(QString::fromStdString(Url("/book/index.html")));
        QTest::keyClick(address, Qt::Key_Return);  // Return analyses too
        QVERIFY(analysed.wait(kWaitMs));
        releaseSlow_ = true;
        QTest::qWait(300);
        QCOMPARE(List(w)->rowCount(), 4);
        QCOMPARE(Text(w, "countEdit"), QStringLiteral("共 4"));
        QVERIFY(w.isVisible());  // Return did not close the window
    }

    void closingTheWindowDuringADownloadEndsItPromptly() {
        auto w = AnalysedWindow();
        QVERIFY(w);
        ClickCell(List(*w), 3, 0);
        QTest::mouseClick(Child<QPushButton>(*w, "downloadButton"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(slowRequests_.load(), 1, kWaitMs);
        QElapsedTimer clock;
        clock.start();
        w.reset();
        QVERIFY2(clock.elapsed() < 3000, "closing waited for the download");
        QTest::qWait(100);  // any report still queued must find no window
    }
};

QTEST_MAIN(DownloadTest)
#include "download_test.moc"
