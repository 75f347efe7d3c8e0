#pragma once

#include <QDialog>
#include <QIcon>

namespace quillon {

// "关于 Fetchwell": icon, version line, contact lines and "确定".
class FetchwellAboutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit FetchwellAboutDialog(QWidget* parent = nullptr);
};

// The version line of the about box: "Fetchwell 1.1.1 正式版".
QString FetchwellVersionLine();

// The program's icon, drawn at run time so no image file has to ship.
QIcon FetchwellIcon();

}  // namespace quillon
