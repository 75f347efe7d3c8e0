#include "gui/reader/page_text_dialog.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace quillon {

PageTextDialog::PageTextDialog(const QString& text, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("pageTextDialog"));
    setWindowTitle(QStringLiteral("显示当前页文本"));
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    edit_ = new QPlainTextEdit(this);
    edit_->setObjectName(QStringLiteral("pageTextEdit"));
    edit_->setReadOnly(true);
    edit_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    edit_->setPlainText(text);
    layout->addWidget(edit_);
    resize(640, 480);
}

}  // namespace quillon
