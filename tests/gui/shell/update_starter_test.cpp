#include "gui/shell/update_starter.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <httplib.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "core/config/tag_file.h"
#include "core/platform/file_io.h"
#include "gui/app/application.h"
#include "gui/app/qt_messenger.h"
#include "gui/shell/main_frame.h"
#include "support/http_test_server.h"

using namespace quillon;
using namespace std::chrono_literals;

// The update worker as the program starts it: through the frame's seam,
// against an update server on 127.0.0.1.
class UpdateStarterTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    test::HttpTestServer http_;
    httplib::Server& server_ = http_.server();
    std::atomic<int> queries_{0};
    std::string answer_;

    std::string MainFile() const { return home_.filePath(QStringLiteral("data/main.htm")).toStdString(); }
    void PointAtServer() {
        QVERIFY(WriteWholeFile(MainFile(), "[MAIN_URL]\r\nabout:blank\r\n[UPDATE_SERVER_URL]\r\nhttp://127.0.0.1:" +
                                               std::to_string(http_.port()) + "\r\n[HTML_END]\r\n"));
    }

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("QUILLON_HOME", home_.path().toUtf8());
        StartApplication();
        QtMessenger::SetTestMode(true);
        CMainFrame::SetProgramStarter([](const std::string&, const std::string&) { return true; });
        CMainFrame::SetUpdateWorkerStarter(StartUpdateThread);

        server_.Get("/quillon/main500.asp", [this](const httplib::Request& req, httplib::Response& res) {
            if (req.get_param_value("ver") == "530") ++queries_;
            res.set_content(answer_, "text/html");
        });
        QVERIFY(http_.port() > 0);
        http_.Start();
    }
    void cleanupTestCase() {
        http_.Stop();
    }

    void newDataSetsTheFramesTimerTwo() {
        SetUpdateStartDelay(0ms);
        answer_ = "[MAIN_URL]\r\nhttp://fresh.example/\r\n[HTML_END]\r\n";
        PointAtServer();
        queries_ = 0;
        CMainFrame frame;
        QVERIFY(!frame.searchEntryReloadPending());
        QTRY_VERIFY_WITH_TIMEOUT(frame.searchEntryReloadPending(), 5000);
        QCOMPARE(queries_.load(), 1);
        std::string saved;
        QVERIFY(ReadWholeFile(MainFile(), saved));
        QCOMPARE(saved, answer_);
        QCOMPARE(ProgramTagFile().GetValue("[MAIN_URL]"), std::string("http://fresh.example/"));
        // One-shot: it fires once and is done.
        QTRY_VERIFY_WITH_TIMEOUT(!frame.searchEntryReloadPending(), 3000);
    }

    void closingTheWindowStopsAWaitingWorker() {
        SetUpdateStartDelay(10s);
        answer_ = "x[HTML_END]";
        PointAtServer();
        queries_ = 0;
        QElapsedTimer clock;
        {
            auto frame = std::make_unique<CMainFrame>();
            QVERIFY(frame->findChild<QObject*>(QStringLiteral("updateWorker")));
            QTest::qWait(100);
            clock.start();
        }
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(queries_.load(), 0);
        std::string saved;
        QVERIFY(ReadWholeFile(MainFile(), saved));
        QVERIFY(saved.find("x[HTML_END]") == std::string::npos);
    }
};

QTEST_MAIN(UpdateStarterTest)
#include "update_starter_test.moc"
