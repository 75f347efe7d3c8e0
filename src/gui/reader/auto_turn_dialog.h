#pragma once

#include <QDialog>

class QLineEdit;

namespace quillon {

// "自动翻页参数设置": the interval of automatic page turning in seconds.
// "启动自动翻页" accepts the typed value; "取消自动翻页" and closing the window
// both put 0 into the field and end the dialog the same way, so `seconds()`
// is the value to use in every case.
class AutoTurnDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AutoTurnDialog(int seconds, QWidget* parent = nullptr);

    int seconds() const;

    void done(int result) override;

private:
    QLineEdit* field_ = nullptr;
};

}  // namespace quillon
