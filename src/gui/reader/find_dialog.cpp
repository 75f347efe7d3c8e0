#include "gui/reader/find_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>

#include "core/reader/find_in_book.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"

namespace quillon {

FindDialog::FindDialog(std::string_view bookText, std::function<void(std::string_view)> pick,
                       QWidget* parent)
    : QDialog(parent), text_(bookText), pick_(std::move(pick)) {
    setObjectName(QStringLiteral("findDialog"));
    setWindowTitle(QStringLiteral("内容查找"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("输入查找内容："), this), 0, 0);
    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("findTextEdit"));
    grid->addWidget(field_, 0, 1);
    auto* run = new QPushButton(QStringLiteral("查找"), this);
    run->setObjectName(QStringLiteral("findRunButton"));
    run->setDefault(true);
    grid->addWidget(run, 0, 2);
    case_ = new QCheckBox(QStringLiteral("查找时区分大小写"), this);
    case_->setObjectName(QStringLiteral("caseSensitiveCheck"));
    case_->setChecked(true);
    grid->addWidget(case_, 1, 0, 1, 3);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("findResultList"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHeaderLabels({QStringLiteral("标号"), QStringLiteral("位置"), QStringLiteral("查找结果"),
                            QStringLiteral("页码"), QStringLiteral("上下文")});
    list_->setColumnWidth(0, 80);
    list_->setColumnWidth(1, 80);
    list_->setColumnWidth(2, 200);
    list_->setColumnWidth(3, 60);
    list_->setColumnWidth(4, 280);
    list_->header()->setStretchLastSection(false);
    grid->addWidget(list_, 2, 0, 1, 3);
    resize(740, 360);

    connect(run, &QPushButton::clicked, this, &FindDialog::RunSearch);
    connect(list_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) { PickRow(item); });
    field_->setFocus();
}

void FindDialog::RunSearch() {
    list_->clear();
    const std::string what = ToGbk(field_->text());
    QtMessenger messenger(this);
    const std::vector<FindRow> rows =
        quillon::RunSearch(text_, what, case_->isChecked(), messenger);
    // Filled in one go: a common word of a long book gives many thousands of
    // rows, and item-by-item insertion would re-sort and repaint each time.
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    const QString label = FromUtf8(kFindRowLabel);
    for (const FindRow& row : rows) {
        const QString page = pageOf_ ? QString::number(pageOf_(row.position)) : QString();
        items.append(new QTreeWidgetItem(QStringList{
            label, FromUtf8(FindRowPositionText(row)), FromGbk(row.found), page,
            FromGbk(FindRowContext(text_, row.position, what.size()))}));
    }
    list_->addTopLevelItems(items);
}

void FindDialog::MoveAsideOf(const QRect& globalRect) {
    const QRect frame = frameGeometry();
    if (!frame.intersects(globalRect)) return;
    const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = shown ? shown->availableGeometry() : QRect();
    const int gap = 8;
    const QPoint shift = pos() - frame.topLeft();  // the frame around the dialog
    const QPoint candidates[] = {
        {frame.left(), globalRect.bottom() + 1 + gap},
        {frame.left(), globalRect.top() - gap - frame.height()},
        {globalRect.right() + 1 + gap, frame.top()},
        {globalRect.left() - gap - frame.width(), frame.top()},
    };
    for (const QPoint& at : candidates) {
        const QRect moved(at, frame.size());
        if (area.isEmpty() || area.contains(moved)) {
            move(at + shift);
            return;
        }
    }
    // No room anywhere: below the line, even if partly off the screen.
    move(candidates[0] + shift);
}

void FindDialog::PickRow(QTreeWidgetItem* item) {
    if (!item || !pick_) return;
    pick_(ToUtf8(item->text(1)));
}

}  // namespace quillon
