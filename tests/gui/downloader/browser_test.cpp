// Pages that build themselves with scripts, read through a real off-screen
// browser: a contents page whose links a script writes, a page that never
// settles, and "分析当前页面" in the window's own web pane.
#include <atomic>
#include <memory>
#include <string>

#include <httplib.h>

#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QtTest>

#include "core/downloader/analysis_worker.h"
#include "core/downloader/download_preferences.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/gbk_literal.h"
#include "gui/app/qt_messenger.h"
#include "gui/downloader/browser_page_loader.h"
#include "gui/downloader/fetchwell_window.h"
#include "gui/downloader/link_list_view.h"
#include "support/http_test_server.h"

using namespace quillon;

namespace {

// The links exist only once the script has run, a little after the load.
const char* kScriptedContents =
    "<html><head><meta charset=\"gbk\"><title>脚本目录</title></head><body><div id=\"list\"></div>"
    "<script>setTimeout(function(){var d=document.getElementById('list');"
    "[1,2].forEach(function(n){var a=document.createElement('a');a.href='c'+n+'.html';"
    "a.textContent='\\u7b2c'+n+'\\u7ae0';d.appendChild(a);});},150);"
    "</script></body></html>";

const char* kRestless =
    "<html><body><p id=\"t\">0</p><script>var n=0;setInterval(function(){"
    "document.getElementById('t').textContent=++n;},40);</script></body></html>";

class Links final : public AnalysisObserver {
public:
    void OnLinks(const LinkList& l) override { links = l; }
    void OnFinished(int code) override {
        result = code;
        finished = true;
    }
    LinkList links;
    std::atomic<int> result{-1};
    std::atomic<bool> finished{false};
};

}  // namespace

class BrowserTest final : public QObject {
    Q_OBJECT

private:
    test::HttpTestServer http_;
    QTemporaryDir dir_;

private Q_SLOTS:
    void initTestCase() {
        http_.server().Get("/toc.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(kScriptedContents, "text/html");
        });
        http_.server().Get("/restless.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(kRestless, "text/html");
        });
        http_.Start();
        QtMessenger::SetTestMode(true);
        SetProgramHomeVariable("FETCHWELL_HOME");
        qputenv("FETCHWELL_HOME", dir_.path().toUtf8().constData());
    }
    void cleanupTestCase() { http_.Stop(); }

    void scriptedLinksAppearOnlyThroughTheBrowser() {
        const std::string url = http_.Url("/toc.html");
        Links plain;
        QCOMPARE(AnalyseAddress(url, plain.links, plain), 0);
        QCOMPARE(plain.links.size(), size_t(0));

        BrowserPageLoader browser;
        Links seen;
        AnalysisWorker worker(seen);
        worker.Start(url, {}, browser.MakeLoader());
        QTRY_VERIFY_WITH_TIMEOUT(seen.finished.load(), 30000);
        QCOMPARE(seen.result.load(), 0);
        QCOMPARE(seen.links.size(), size_t(2));
        QCOMPARE(seen.links[0].title, Gbk("第1章"));
        QCOMPARE(seen.links[1].url, http_.Url("/c2.html"));
    }

    void aPageThatNeverSettlesFailsAtTheTimeOut() {
        BrowserPageLoader browser;
        BrowserPageLoader::Timing timing;
        timing.settleMs = 1200;
        timing.timeoutMs = 3000;
        browser.SetTiming(timing);
        bool done = false, ok = true;
        QElapsedTimer clock;
        clock.start();
        browser.Load(QUrl(QString::fromStdString(http_.Url("/restless.html"))), [&](bool good, const QString&) {
            done = true;
            ok = good;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
        QVERIFY(!ok);
        QVERIFY(clock.elapsed() >= 3000);
    }

    void theWindowAnalysesThePageItsPaneShows() {
        const std::string home = dir_.path().toStdString() + "/";
        QVERIFY(EnsureFolders(home + "data/") == 0);
        QVERIFY(WriteWholeFile(home + "data/main.htm", "[TOP_URL]\r\n" + http_.Url("/toc.html") + "\r\n"));
        FetchwellWindow w;
        auto* view = w.findChild<QWebEngineView*>(QStringLiteral("webView"));
        QVERIFY(view);
        QSignalSpy loaded(view, &QWebEngineView::loadFinished);
        w.show();
        QVERIFY(loaded.count() > 0 || loaded.wait(30000));
        QSignalSpy analysed(&w, &FetchwellWindow::analysisFinished);
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("analysePageButton")), Qt::LeftButton);
        QVERIFY(analysed.wait(30000));
        auto* list = w.findChild<LinkListView*>(QStringLiteral("linkList"));
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(list->CellText(1, 2), QStringLiteral("第2章"));
    }
};

QTEST_MAIN(BrowserTest)
#include "browser_test.moc"
