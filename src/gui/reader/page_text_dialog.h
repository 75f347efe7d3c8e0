#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace quillon {

// "显示当前页文本": the text of the page shown, in an edit field that fills
// the resizable window, for selecting and copying. Read-only, so closing it
// never has anything to discard.
class PageTextDialog final : public QDialog {
    Q_OBJECT
public:
    explicit PageTextDialog(const QString& text, QWidget* parent = nullptr);

    QPlainTextEdit* editor() const { return edit_; }

private:
    QPlainTextEdit* edit_ = nullptr;
};

}  // namespace quillon
