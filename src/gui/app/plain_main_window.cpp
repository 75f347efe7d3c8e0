#include "gui/app/plain_main_window.h"

#include <QLabel>
#include <QMenuBar>

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
