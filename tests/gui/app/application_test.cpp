// Start and exit of the reader's application object, in a temporary program
// folder.
#include <cstdlib>
#include <string>
#include <vector>

#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "core/config/window_config.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "gui/app/about_dialog.h"
#include "gui/app/application.h"
#include "gui/app/plain_main_window.h"
#include "gui/app/ui_fonts.h"

using namespace quillon;

class ApplicationTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::string home_;

    std::string Path(const char* rel) const { return home_ + rel; }

private Q_SLOTS:
    void init() {
        QVERIFY(dir_.isValid());
        home_ = dir_.path().toStdString() + "/prog/";
        qputenv("QUILLON_HOME", home_.c_str());
    }

    void firstStartCreatesFoldersAndDefaults() {
        std::string folder = StartApplication();
        QCOMPARE(QString::fromStdString(folder), QString::fromStdString(home_));
        for (const char* sub : {"book/", "book/lable/", "data/", "temp/"})
            QVERIFY2(IsDirectory(Path(sub)), sub);
        const WindowConfig& c = ProgramWindowConfig();
        QCOMPARE(c.left, 0);
        QCOMPARE(c.top, 0);
        QCOMPARE(c.right, 800);
        QCOMPARE(c.bottom, 560);
        // The current directory is the program folder, so relative paths work.
        QVERIFY(FileExists("data"));
        // The five interface fonts resolve "宋体" to an installed CJK font.
        QCOMPARE(UiFont(2).pixelSize(), 22);
        QVERIFY(UiFont(1).underline());
        QFontInfo info(UiFont(0));
        QVERIFY2(info.family().contains(QStringLiteral("UMing")) ||
                     info.family().contains(QStringLiteral("CJK")),
                 qPrintable(info.family()));
    }

    void shortWindowRecordMovesTheWindowOnly() {
        StartApplication();
        unsigned char rec[16] = {};
        auto put = [&](int off, int v) {
            for (int i = 0; i < 4; ++i) rec[off + i] = static_cast<unsigned char>(v >> (8 * i));
        };
        put(0, 50);
        put(4, 60);
        put(8, 650);
        put(12, 460);
        QVERIFY(WriteWholeFile(Path("data/gconfig.dat"),
                               std::string_view(reinterpret_cast<char*>(rec), sizeof rec)));
        StartApplication();
        QCOMPARE(ProgramWindowConfig().left, 50);
        QCOMPARE(ProgramWindowConfig().bottom, 460);
        QCOMPARE(QString::fromStdString(ProgramWindowConfig().browseFolder), QStringLiteral("/"));
        {
            PlainMainWindow w;
            QCOMPARE(w.size(), QSize(600, 400));
        }
        // Destroying the window saved the whole 520-byte record.
        QCOMPARE(FileSize(Path("data/gconfig.dat")), 520LL);
    }

    // A record from a monitor since removed, or a damaged one, must still give
    // a window the user can reach and that fits the desktop.
    void placementOutsideTheScreensIsBroughtBack() {
        StartApplication();
        const QRect desk = QGuiApplication::primaryScreen()->availableVirtualGeometry();
        struct Case {
            const char* name;
            int left, top, right, bottom;
        };
        const Case cases[] = {
            {"far right and below", 5000000, 5000000, 5000800, 5000560},
            {"far left and above", -90000, -90000, -89200, -89440},
            {"larger than the desktop", 0, 0, 2147483647, 2147483647},
            {"width that overflows 32 bits", -2147483647 - 1, 0, 2147483647, 400},
        };
        for (const Case& c : cases) {
            WindowConfig& config = ProgramWindowConfig();
            config.left = c.left;
            config.top = c.top;
            config.right = c.right;
            config.bottom = c.bottom;
            PlainMainWindow w;
            QVERIFY2(w.width() <= desk.width() && w.height() <= desk.height(), c.name);
            QVERIFY2(w.width() >= 200 && w.height() >= 150, c.name);
            const QRect shown = desk.intersected(w.geometry());
            QVERIFY2(shown.width() >= 100 && shown.height() >= 50, c.name);
        }
        // A placement on the screen is kept as it was.
        WindowConfig& config = ProgramWindowConfig();
        config.left = 40;
        config.top = 30;
        config.right = 440;
        config.bottom = 330;
        PlainMainWindow w;
        QCOMPARE(w.pos(), QPoint(40, 30));
        QCOMPARE(w.size(), QSize(400, 300));
    }

    void exitDeletesOnlyHtmlPagesFromTemp() {
        StartApplication();
        QVERIFY(WriteWholeFile(Path("temp/0.html"), "x"));
        QVERIFY(WriteWholeFile(Path("temp/1.html"), "y"));
        QVERIFY(WriteWholeFile(Path("temp/keep.txt"), "z"));
        QVERIFY(EnsureFolders(Path("temp/sub.html/")) == 0);
        std::vector<std::string> started;
        SetReplacerStarter([&](const std::string& p, const std::string& a) {
            started.push_back(p + " " + a);
            return true;
        });
        ExitApplication();
        QVERIFY(!FileExists(Path("temp/0.html")));
        QVERIFY(!FileExists(Path("temp/1.html")));
        QVERIFY(FileExists(Path("temp/keep.txt")));
        QVERIFY(IsDirectory(Path("temp/sub.html")));
        QVERIFY(started.empty());  // no data/quillon.np: nothing to replace
    }

    void exitStartsReplacerOnlyForADifferentProgramFile() {
        StartApplication();
        QVERIFY(WriteWholeFile(Path("running"), "program v1"));
        SetRunningProgramFile(Path("running"));
        std::vector<std::string> started;
        SetReplacerStarter([&](const std::string& p, const std::string& a) {
            started.push_back(p + " " + a);
            return true;
        });
        QVERIFY(WriteWholeFile(Path("data/quillon.np"), "program v1"));
        ExitApplication();
        QVERIFY(started.empty());
        QVERIFY(WriteWholeFile(Path("data/quillon.np"), "program v2"));
        ExitApplication();
        QCOMPARE(started.size(), size_t(1));
        QCOMPARE(QString::fromStdString(started[0]),
                 QString::fromStdString(home_ + "npquillon2 update"));
    }

    void aboutBoxShowsVersionAndPath() {
        AboutDialog box;
        QCOMPARE(box.windowTitle(), QStringLiteral("关于 Quillon"));
        auto* label = box.findChild<QLabel*>(QStringLiteral("versionLabel"));
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("Quillon Ver5.3 正式版"));
        auto* path = box.findChild<QPlainTextEdit*>(QStringLiteral("programPath"));
        QVERIFY(path && path->toPlainText().endsWith(QStringLiteral("test_gui_app_application_test")));
        QSignalSpy home(&box, &AboutDialog::homePageRequested);
        box.show();
        QTest::mouseClick(box.findChild<QPushButton*>(QStringLiteral("homePageButton")), Qt::LeftButton);
        QCOMPARE(home.count(), 1);
        QVERIFY(box.isVisible());  // the box stays open
        QTest::mouseClick(box.findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
        QVERIFY(!box.isVisible());
    }
};

QTEST_MAIN(ApplicationTest)
#include "application_test.moc"
