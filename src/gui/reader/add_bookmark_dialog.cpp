#include "gui/reader/add_bookmark_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"

namespace quillon {

AddBookmarkDialog::AddBookmarkDialog(const QString& position, const QString& initialDescription,
                                     std::function<bool(const std::string&, Messenger&)> add, QWidget* parent)
    : QDialog(parent), add_(std::move(add)) {
    setObjectName(QStringLiteral("addBookmarkDialog"));
    setWindowTitle(QStringLiteral("增加书签"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("书签位置:"), this), 0, 0);
    position_ = new QLineEdit(position, this);
    position_->setObjectName(QStringLiteral("bookmarkPositionEdit"));
    position_->setReadOnly(true);
    grid->addWidget(position_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("书签说明："), this), 1, 0);
    description_ = new QLineEdit(this);
    description_->setObjectName(QStringLiteral("bookmarkDescriptionEdit"));
    description_->setMinimumWidth(260);
    description_->setText(initialDescription);
    grid->addWidget(description_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("(3-255字符)"), this), 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 2, 0, 1, 3);
    connect(ok, &QPushButton::clicked, this, &AddBookmarkDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &AddBookmarkDialog::reject);
    description_->setFocus();
    description_->selectAll();
}

std::string AddBookmarkDialog::description() const { return ToGbk(description_->text()); }

void AddBookmarkDialog::accept() {
    QtMessenger messenger(this);
    if (add_ && !add_(description(), messenger)) return;
    QDialog::accept();
}

}  // namespace quillon
