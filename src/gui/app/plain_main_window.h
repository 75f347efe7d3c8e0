#pragma once

#include <QMainWindow>

namespace quillon {

// The main window until the tabbed frame takes over: restores and saves the
// placement of data/gconfig.dat and offers the about box.
class PlainMainWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit PlainMainWindow(QWidget* parent = nullptr);
    ~PlainMainWindow() override;
};

// Applies the saved rectangle to a top-level window, and stores the window's
// outer rectangle back and saves data/gconfig.dat.
void RestoreWindowPlacement(QWidget* window);
void SaveWindowPlacement(const QWidget* window);

}  // namespace quillon
