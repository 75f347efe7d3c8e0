#include "gui/reader/find_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "core/reader/find_in_book.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"

namespace quillon {

FindDialog::FindDialog(const std::string& bookText, std::function<void(std::string_view)> pick,
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
    list_->setHeaderLabels({QStringLiteral("标号"), QStringLiteral("位置"), QStringLiteral("查找结果")});
    list_->setColumnWidth(0, 80);
    list_->setColumnWidth(1, 80);
    list_->setColumnWidth(2, 200);
    list_->header()->setStretchLastSection(false);
    grid->addWidget(list_, 2, 0, 1, 3);
    resize(420, 360);

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
        items.append(new QTreeWidgetItem(QStringList{
            label, FromUtf8(FindRowPositionText(row)), FromGbk(row.found)}));
    }
    list_->addTopLevelItems(items);
}

void FindDialog::PickRow(QTreeWidgetItem* item) {
    if (!item || !pick_) return;
    pick_(ToUtf8(item->text(1)));
}

}  // namespace quillon
