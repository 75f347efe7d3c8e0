#include "gui/net/favourites_dialog.h"

#include <deque>
#include <utility>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/platform/program_folder.h"
#include "core/text/gbk_literal.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"

namespace quillon {

namespace {

std::deque<std::function<int(QDialog*)>>& Handlers() {
    static std::deque<std::function<int(QDialog*)>> handlers;
    return handlers;
}

QPushButton* AddButton(QBoxLayout* row, const QString& caption, const char* name) {
    auto* button = new QPushButton(caption);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    row->addWidget(button);
    return button;
}

const QString kRecommended = QStringLiteral("系统推荐");
const QString kUser = QStringLiteral("用户收藏");

}  // namespace

int FavouritesSeam::Exec(QDialog* dialog) {
    auto& handlers = Handlers();
    if (handlers.empty()) return dialog->exec();
    auto handler = std::move(handlers.front());
    handlers.pop_front();
    dialog->show();
    const int r = handler(dialog);
    if (!dialog->isVisible()) return dialog->result();
    dialog->done(r);
    return r;
}

void FavouritesSeam::Queue(std::function<int(QDialog*)> handler) {
    Handlers().push_back(std::move(handler));
}
bool FavouritesSeam::HasPending() { return !Handlers().empty(); }
void FavouritesSeam::Clear() { Handlers().clear(); }

FavouriteEditDialog::FavouriteEditDialog(const Favourite& initial, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("favouriteEditDialog"));
    setWindowTitle(QStringLiteral("增加/编辑收藏"));
    description_ = new QLineEdit(FromGbk(initial.description));
    description_->setObjectName(QStringLiteral("description"));
    address_ = new QLineEdit(FromGbk(initial.url));
    address_->setObjectName(QStringLiteral("address"));
    address_->setMinimumWidth(320);

    auto* grid = new QVBoxLayout(this);
    auto* descriptionRow = new QHBoxLayout;
    descriptionRow->addWidget(new QLabel(QStringLiteral("说明：")));
    descriptionRow->addWidget(description_, 1);
    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(new QLabel(QStringLiteral("网址：")));
    addressRow->addWidget(address_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    QPushButton* save = AddButton(buttons, QStringLiteral("保存"), "save");
    QPushButton* close = AddButton(buttons, QStringLiteral("关闭"), "close");
    save->setDefault(true);
    grid->addLayout(descriptionRow);
    grid->addLayout(addressRow);
    grid->addLayout(buttons);

    connect(save, &QPushButton::clicked, this, &FavouriteEditDialog::Save);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void FavouriteEditDialog::Save() {
    Favourite f{ToGbk(description_->text()), ToGbk(address_->text())};
    QtMessenger messenger(this);
    // The file holds GBK only: a character without a GBK form would be
    // dropped on the way, and an address quietly changed opens another page.
    if (FromGbk(f.description) != description_->text() || FromGbk(f.url) != address_->text()) {
        messenger.Inform(Gbk("说明或网址中含有无法保存的字符"));
        return;
    }
    if (!ValidateFavourite(f, messenger)) return;
    result_ = std::move(f);
    accept();
}

FavouritesDialog::FavouritesDialog(std::string tagPath, std::string userPath, UrlOpener open,
                                   QWidget* parent)
    : QDialog(parent), model_(std::move(tagPath), std::move(userPath)), open_(std::move(open)) {
    setObjectName(QStringLiteral("favouritesDialog"));
    setWindowTitle(QStringLiteral("我的收藏夹"));

    list_ = new QTreeWidget;
    list_->setObjectName(QStringLiteral("favouritesList"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setHeaderLabels({QStringLiteral("序号"), QStringLiteral("类别"), QStringLiteral("说明"),
                            QStringLiteral("网址")});
    const int widths[] = {60, 80, 200, 160};
    for (int c = 0; c < 4; ++c) list_->setColumnWidth(c, widths[c]);
    list_->header()->setStretchLastSection(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    auto* buttons = new QHBoxLayout;
    QPushButton* add = AddButton(buttons, QStringLiteral("增加收藏"), "add");
    QPushButton* edit = AddButton(buttons, QStringLiteral("编辑收藏"), "edit");
    QPushButton* remove = AddButton(buttons, QStringLiteral("删除收藏"), "delete");
    QPushButton* openButton = AddButton(buttons, QStringLiteral("打开收藏"), "open");
    buttons->addStretch(1);
    QPushButton* close = AddButton(buttons, QStringLiteral("关闭"), "close");
    layout->addLayout(buttons);
    resize(560, 400);

    connect(add, &QPushButton::clicked, this, &FavouritesDialog::AddFavourite);
    connect(edit, &QPushButton::clicked, this, &FavouritesDialog::EditFavourite);
    connect(remove, &QPushButton::clicked, this, &FavouritesDialog::DeleteFavourite);
    connect(openButton, &QPushButton::clicked, this, &FavouritesDialog::OpenFavourite);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (SelectedRow() >= 0) OpenFavourite();
    });

    model_.Load();
    Fill(-1);
}

int FavouritesDialog::SelectedRow() const {
    const auto selected = list_->selectedItems();
    if (selected.isEmpty()) return -1;
    return list_->indexOfTopLevelItem(selected.front());
}

void FavouritesDialog::Fill(int select) {
    list_->clear();
    for (const auto& row : model_.rows()) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, row.added ? QStringLiteral("  ") : QStringLiteral(" "));
        item->setText(1, row.kind == FavouritesList::Kind::Recommended ? kRecommended : kUser);
        item->setText(2, FromGbk(row.item.description));
        item->setText(3, FromGbk(row.item.url));
    }
    if (QTreeWidgetItem* item = list_->topLevelItem(select)) {
        list_->setCurrentItem(item);
        item->setSelected(true);
    }
}

void FavouritesDialog::AddFavourite() {
    FavouriteEditDialog edit(Favourite{}, this);
    if (FavouritesSeam::Exec(&edit) != QDialog::Accepted) return;
    QtMessenger messenger(this);
    model_.Add(edit.favourite(), messenger);
    Fill(model_.count() - 1);
}

void FavouritesDialog::EditFavourite() {
    const int row = SelectedRow();
    QtMessenger messenger(this);
    if (!model_.CanEdit(row, messenger)) return;
    FavouriteEditDialog edit(model_.rows()[static_cast<size_t>(row)].item, this);
    if (FavouritesSeam::Exec(&edit) != QDialog::Accepted) return;
    model_.Replace(row, edit.favourite(), messenger);
    Fill(row);
}

void FavouritesDialog::DeleteFavourite() {
    const int row = SelectedRow();
    QtMessenger messenger(this);
    if (!model_.CanDelete(row, messenger)) return;
    model_.Delete(row, messenger);
    Fill(-1);
}

void FavouritesDialog::OpenFavourite() {
    std::string url;
    QtMessenger messenger(this);
    if (!model_.UrlToOpen(SelectedRow(), messenger, url)) return;
    if (open_) open_(FromGbk(url));
}

void RunFavouritesDialog(QWidget* parent, FavouritesDialog::UrlOpener open) {
    const std::string folder = GetProgramFolder();
    FavouritesDialog dialog(folder + "data/main.htm", folder + "data/userkey.ini", std::move(open),
                            parent);
    FavouritesSeam::Exec(&dialog);
}

}  // namespace quillon
