#include "gui/reader/auto_turn_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/reader/paging_model.h"
#include "gui/app/text_convert.h"

namespace quillon {

AutoTurnDialog::AutoTurnDialog(int seconds, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("autoTurnDialog"));
    setWindowTitle(QStringLiteral("自动翻页参数设置"));
    auto* grid = new QGridLayout(this);
    field_ = new QLineEdit(QString::number(seconds > 0 ? seconds : 0), this);
    field_->setObjectName(QStringLiteral("autoTurnSecondsEdit"));
    grid->addWidget(field_, 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("秒"), this), 0, 1);
    auto* note = new QLabel(QStringLiteral("说明：翻页时间<=0表示取消自动翻页功能。"), this);
    grid->addWidget(note, 1, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    auto* start = new QPushButton(QStringLiteral("启动自动翻页"), this);
    start->setObjectName(QStringLiteral("startAutoTurnButton"));
    start->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消自动翻页"), this);
    cancel->setObjectName(QStringLiteral("cancelAutoTurnButton"));
    buttons->addWidget(start);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 2, 0, 1, 2);
    connect(start, &QPushButton::clicked, this, &AutoTurnDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &AutoTurnDialog::reject);
    field_->setFocus();
    field_->selectAll();
}

int AutoTurnDialog::seconds() const { return ParseLeadingInt(ToUtf8(field_->text())); }

void AutoTurnDialog::done(int result) {
    // Cancel, Escape and the window's close button all end here.
    if (result != QDialog::Accepted) field_->setText(QStringLiteral("0"));
    QDialog::done(result);
}

}  // namespace quillon
