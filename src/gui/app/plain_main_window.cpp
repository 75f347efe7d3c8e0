#include "gui/app/plain_main_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "core/config/window_config.h"
#include "core/platform/program_folder.h"
#include "gui/app/about_dialog.h"

namespace quillon {

namespace {

// A window manager may take a while after the window is shown to put its
// frame around it, and only then does the frame's size become known. A
// correction made before (at the first turn of the event loop, say) finds
// no frame and leaves the window larger by its frame on every start. This
// watches the window until the frame is there, sets the inner size so that
// the outer rectangle is the stored one, and goes. Without a window manager
// no frame ever comes and the window simply keeps the stored size.
class FramePlacer final : public QObject {
public:
    static constexpr int kGiveUpMs = 5000;

    FramePlacer(QWidget* window, const QRect& outer) : QObject(window), window_(window), outer_(outer) {
        window->installEventFilter(this);
        QTimer::singleShot(kGiveUpMs, this, [this] { deleteLater(); });
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Expose:
        case QEvent::WindowStateChange:
            // After the event has been handled, once per burst.
            if (!pending_) {
                pending_ = true;
                QTimer::singleShot(0, this, [this] {
                    pending_ = false;
                    Place();
                });
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    void Place() {
        QWindow* handle = window_->windowHandle();
        if (done_ || !handle || !window_->isVisible()) return;
        // Full screen or maximised: the stored rectangle is not what shows.
        if (window_->windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized)) return;
        const QMargins frame = handle->frameMargins();
        if (frame.isNull()) return;
        done_ = true;
        window_->removeEventFilter(this);
        window_->resize(std::max(1, outer_.width() - frame.left() - frame.right()),
                        std::max(1, outer_.height() - frame.top() - frame.bottom()));
        // A top-level's position is that of its frame.
        window_->move(outer_.topLeft());
        deleteLater();
    }

    QWidget* window_;
    QRect outer_;
    bool pending_ = false;
    bool done_ = false;
};

}  // namespace

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
    new FramePlacer(window, QRect(topLeft, QSize(int(w), int(h))));
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
