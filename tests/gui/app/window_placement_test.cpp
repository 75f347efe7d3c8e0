// The main window's placement across starts under a real window manager:
// a private X server with openbox, since only a window manager puts a frame
// around the window, and the frame is what made the window grow.
#include <cstdlib>
#include <string>

#include <QApplication>
#include <QFile>
#include <QThread>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "core/config/window_config.h"
#include "core/platform/file_io.h"
#include "gui/app/application.h"
#include "gui/app/plain_main_window.h"

using namespace quillon;

class WindowPlacementTest final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tenStartsKeepTheOuterRectangle() {
        QTemporaryDir dir;
        const std::string home = dir.path().toStdString() + "/";
        qputenv("QUILLON_HOME", home.c_str());
        StartApplication();
        WindowConfig c = ProgramWindowConfig();
        c.left = 60;
        c.top = 50;
        c.right = 60 + 700;
        c.bottom = 50 + 480;
        QVERIFY(c.Save(home + "data/gconfig.dat"));
        const QRect outer(60, 50, 700, 480);

        bool framed = false;
        for (int start = 0; start < 10; ++start) {
            StartApplication();
            {
                PlainMainWindow window;
                window.show();
                QVERIFY(QTest::qWaitForWindowExposed(&window));
                QTRY_VERIFY_WITH_TIMEOUT(window.frameGeometry() != window.geometry(), 5000);
                framed = true;
                QTRY_COMPARE_WITH_TIMEOUT(window.frameGeometry(), outer, 5000);
            }
            WindowConfig saved;
            saved.Load(home + "data/gconfig.dat");
            QCOMPARE(QRect(QPoint(saved.left, saved.top), QPoint(saved.right - 1, saved.bottom - 1)),
                     outer);
        }
        QVERIFY(framed);
    }
};

// A private display with a window manager, for this process only.
int main(int argc, char** argv) {
    QProcess server;
    QProcess manager;
    int number = 90 + static_cast<int>(QCoreApplication::applicationPid() % 800);
    while (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number))) ++number;
    const QString display = QStringLiteral(":%1").arg(number);
    server.start(QStringLiteral("Xvfb"), {display, QStringLiteral("-screen"), QStringLiteral("0"),
                                          QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                                          QStringLiteral("tcp")});
    if (!server.waitForStarted(5000)) {
        qCritical("Xvfb did not start");
        return 1;
    }
    // The server takes clients once its socket is there.
    const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
    for (int i = 0; i < 100 && !QFile::exists(socket); ++i) QThread::msleep(50);
    qputenv("DISPLAY", display.toUtf8());
    qputenv("QT_QPA_PLATFORM", "xcb");
    // The window needs no OpenGL; GLX would load Mesa's driver, which keeps
    // memory of its own past the test and, unloaded by then, cannot be
    // named in a leak check's suppressions.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) qputenv("QT_XCB_GL_INTEGRATION", "none");
    manager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!manager.waitForStarted(5000)) {
        qCritical("openbox did not start");
        return 1;
    }
    QThread::msleep(500);
    int rc = 0;
    {
        QApplication app(argc, argv);
        WindowPlacementTest test;
        rc = QTest::qExec(&test, argc, argv);
    }
    manager.terminate();
    manager.waitForFinished(3000);
    server.terminate();
    server.waitForFinished(3000);
    return rc;
}

#include "window_placement_test.moc"
