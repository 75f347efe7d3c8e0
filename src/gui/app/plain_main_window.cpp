#include "gui/app/plain_main_window.h"

#include <QLabel>
#include <QMenuBar>
#include <QTimer>

#include "core/config/window_config.h"
#include "core/platform/program_folder.h"
#include "gui/app/about_dialog.h"

namespace quillon {

void RestoreWindowPlacement(QWidget* window) {
    const WindowConfig& c = ProgramWindowConfig();
    int w = std::max(200, c.right - c.left);
    int h = std::max(150, c.bottom - c.top);
    window->resize(w, h);
    window->move(c.left, c.top);
    // The record holds the outer rectangle, but resize() sets the inner one.
    // Once the window manager has framed the window, take the frame off so
    // the window does not grow by its border on every run.
    QTimer::singleShot(0, window, [window, w, h] {
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
