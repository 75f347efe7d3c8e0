#include "gui/shell/favourites_runner.h"

#include <memory>
#include <string>

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <QWebEngineView>

#include "core/text/gbk_codec.h"
#include "gui/app/application.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/web_engine_setup.h"
#include "gui/net/favourites_dialog.h"
#include "gui/shell/browser_page.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/tab_strip.h"

using namespace quillon;

class FavouritesRunnerTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("QUILLON_HOME", home_.path().toUtf8());
        StartApplication();
        QtMessenger::SetTestMode(true);
        CMainFrame::SetProgramStarter([](const std::string&, const std::string&) { return true; });
        QFile tags(home_.filePath(QStringLiteral("data/main.htm")));
        QVERIFY(tags.open(QIODevice::WriteOnly | QIODevice::Truncate));
        std::string gbk = Utf8ToGbk("[TJ_BEGIN]\r\n推荐*http://127.0.0.1:9/rec*\r\n[TJ_END]\r\n");
        tags.write(gbk.data(), static_cast<qint64>(gbk.size()));
        QFile user(home_.filePath(QStringLiteral("data/userkey.ini")));
        QVERIFY(user.open(QIODevice::WriteOnly | QIODevice::Truncate));
        user.write("Mine*http://127.0.0.1:9/mine*\r\n");
    }

    void commandOpensProgramFavouritesInCurrentTabs() {
        RegisterFavouritesDialog();
        auto frame = std::make_unique<CMainFrame>();
        frame->resize(900, 600);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        const int before = frame->PageCount();

        QWidget* parent = nullptr;
        int rows = 0;
        bool stayedOpen = false;
        FavouritesSeam::Queue([&](QDialog* dialog) {
            parent = dialog->parentWidget();
            auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("favouritesList"));
            if (!list) return int(QDialog::Rejected);
            rows = list->topLevelItemCount();
            list->setCurrentItem(list->topLevelItem(1));
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("open")),
                              Qt::LeftButton);
            stayedOpen = dialog->isVisible();
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("close")),
                              Qt::LeftButton);
            return int(QDialog::Accepted);
        });
        frame->RunCommand(CMainFrame::kFavourites);
        QVERIFY(!FavouritesSeam::HasPending());
        QCOMPARE(parent, frame.get());
        QCOMPARE(rows, 2);
        QVERIFY(stayedOpen);
        QCOMPARE(frame->PageCount(), before + 1);
        BrowserPage* page = frame->CurrentPage();
        QVERIFY(page);
        QCOMPARE(page->browser()->url(), QUrl(QStringLiteral("http://127.0.0.1:9/mine")));
        QVERIFY(QtMessenger::Shown().isEmpty());
        frame.reset();
        CMainFrame::SetFavouritesRunner({});
    }
};

int main(int argc, char** argv) {
    PrepareWebEngine();
    QApplication app(argc, argv);
    FavouritesRunnerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "favourites_runner_test.moc"
