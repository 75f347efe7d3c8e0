#pragma once

#include <QDialog>

namespace quillon {

// "关于 Quillon": the program file's path, the version line and a button to
// the maker's home page (which the main window opens in a new tab).
class AboutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

signals:
    void homePageRequested();
};

}  // namespace quillon
