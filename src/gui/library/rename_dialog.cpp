#include "gui/library/rename_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/library/book_store.h"
#include "core/reader/reading_resume.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"

namespace quillon {

RenameDialog::RenameDialog(const std::string& name, QWidget* parent) : QDialog(parent), oldName_(name) {
    setObjectName(QStringLiteral("renameDialog"));
    setWindowTitle(QStringLiteral("小说更名"));
    auto* oldName = new QLineEdit(FromGbk(name), this);
    oldName->setObjectName(QStringLiteral("oldNameEdit"));
    oldName->setReadOnly(true);
    newName_ = new QLineEdit(FromGbk(name), this);
    newName_->setObjectName(QStringLiteral("newNameEdit"));
    newName_->setMaxLength(255);
    newName_->selectAll();
    auto* okButton = new QPushButton(QStringLiteral("确定"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    auto* closeButton = new QPushButton(QStringLiteral("关闭"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("原书籍名字:"), oldName);
    form->addRow(QStringLiteral("新书籍名字(4-255个字符 数字,字母或汉字)"), newName_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    resize(480, sizeHint().height());

    connect(okButton, &QPushButton::clicked, this, &RenameDialog::Rename);
    connect(closeButton, &QPushButton::clicked, this, &RenameDialog::reject);
}

void RenameDialog::Rename() {
    QtMessenger messenger(this);
    const std::string newName = ToGbk(newName_->text());
    if (!BookStore::RenameBook(oldName_, newName, messenger)) return;
    // Bookmarks and the reading position are filed under the book's name.
    CarryBookState(oldName_, newName);
    accept();
}

bool RunRenameDialog(QWidget* parent, const std::string& name) {
    RenameDialog dialog(name, parent);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace quillon
