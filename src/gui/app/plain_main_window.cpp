#include "gui/app/plain_main_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

#include "core/config/window_config.h"
#include "core/platform/program_folder.h"
#include "gui/app/about_dialog.h"

namespace quillon {

void RestoreWindowPlacement(QWidget* window) {
    const WindowConfig& c = ProgramWindowConfig();
    // Differences in 64 bits: a damaged record must not overflow them.
    qint64 w = std::max<qint64>(200, qint64(c.right) - c.left);
    qint64 h = std::max<qint64>(150, qint64(c.bottom) - c.top);
    QPoint topLeft(c.left, c.top);
    // A record from another screen layout (a monitor since removed) or a
    // damaged one would put the window out of reach or make it larger than
    // the desktop; bring it back onto the screens instead.
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        const QRect desk = primary->availableVirtualGeometry();
        w = std::min<qint64>(w, std::max(200, desk.width()));
        h = std::min<qint64>(h, std::max(150, desk.height()));
        const QRect visible = desk.intersected(QRect(topLeft, QSize(int(w), int(h))));
        if (visible.width() < 100 || visible.height() < 50) topLeft = primary->availableGeometry().topLeft();
    }
    window->resize(int(w), int(h));
    window->move(topLeft);
    // The record holds the outer rectangle, but resize() sets the inner one.
    // Once the window manager has framed the window, take the frame off so
    // the window does not grow by its border on every run.
    QTimer::singleShot(0, window, [window, w = int(w), h = int(h)] {
        QSize frame = window->frameGeometry().size() - window->size();
        if (frame.width() > 0 || frame.height() > 0)
            window->resize(std::max(1, w - frame.width()), std::max(1, h - frame.height()));
    });
}

void SaveWindowPlacement(const QWidget* window) {
    WindowConfig& c = ProgramWindowConfig();
    QRect r = window->frameGeometry();
    c.left = r.left();
    c.top = r.top();
    c.right = r.left() + r.width();
    c.bottom = r.top() + r.height();
    c.Save(GetProgramFolder() + "data/gconfig.dat");
}

PlainMainWindow::PlainMainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Quillon"));
    auto* help = menuBar()->addMenu(QStringLiteral("帮助"));
    QAction* about = help->addAction(QStringLiteral("关于软件"));
    connect(about, &QAction::triggered, this, [this] {
        AboutDialog dialog(this);
        dialog.exec();
    });
    setCentralWidget(new QLabel(QStringLiteral("Quillon 小说阅读器"), this));
    RestoreWindowPlacement(this);
}

PlainMainWindow::~PlainMainWindow() { SaveWindowPlacement(this); }

}  // namespace quillon
