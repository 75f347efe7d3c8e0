#include "gui/reader/chapter_list_dialog.h"

#include <QAbstractListModel>
#include <QFont>
#include <QLabel>
#include <QListView>
#include <QVBoxLayout>

#include "gui/app/text_convert.h"

namespace quillon {

class ChapterListModel final : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void Reset(std::shared_ptr<const std::vector<Chapter>> chapters, int current) {
        beginResetModel();
        chapters_ = std::move(chapters);
        current_ = current;
        endResetModel();
    }
    int32_t OffsetAt(int row) const { return (*chapters_)[static_cast<size_t>(row)].offset; }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() || !chapters_ ? 0 : static_cast<int>(chapters_->size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!chapters_ || !index.isValid()) return {};
        const bool current = index.row() == current_;
        if (role == Qt::DisplayRole) {
            const QString title = FromGbk((*chapters_)[static_cast<size_t>(index.row())].title);
            return current ? QStringLiteral("▶ ") + title : QStringLiteral("   ") + title;
        }
        if (role == Qt::FontRole && current) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    }

private:
    std::shared_ptr<const std::vector<Chapter>> chapters_;
    int current_ = -1;
};

ChapterListDialog::ChapterListDialog(std::function<void(int32_t)> jump, QWidget* parent)
    : QDialog(parent), jump_(std::move(jump)) {
    setObjectName(QStringLiteral("chapterListDialog"));
    setWindowTitle(QStringLiteral("目录"));
    auto* box = new QVBoxLayout(this);
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("chapterListNote"));
    note_->setAlignment(Qt::AlignCenter);
    box->addWidget(note_);
    model_ = new ChapterListModel(this);
    list_ = new QListView(this);
    list_->setObjectName(QStringLiteral("chapterList"));
    list_->setModel(model_);
    // Uniform rows let the view place a hundred thousand of them without
    // measuring each.
    list_->setUniformItemSizes(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    box->addWidget(list_);
    resize(360, 480);
    connect(list_, &QListView::clicked, this, &ChapterListDialog::Jump);
    connect(list_, &QListView::activated, this, &ChapterListDialog::Jump);
    SetChapters(nullptr, -1);
}

ChapterListDialog::~ChapterListDialog() = default;

void ChapterListDialog::SetChapters(std::shared_ptr<const std::vector<Chapter>> chapters,
                                    int current) {
    const bool searching = !chapters;
    const bool none = chapters && chapters->empty();
    model_->Reset(std::move(chapters), current);
    note_->setText(searching ? QStringLiteral("正在查找章节……")
                   : none    ? QStringLiteral("未找到章节")
                             : QString());
    note_->setVisible(searching || none);
    list_->setVisible(!searching && !none);
    if (current >= 0 && current < model_->rowCount({})) {
        const QModelIndex index = model_->index(current);
        list_->setCurrentIndex(index);
        list_->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
    list_->setFocus();
}

void ChapterListDialog::Jump(const QModelIndex& index) {
    if (!index.isValid()) return;
    if (jump_) jump_(model_->OffsetAt(index.row()));
    accept();
}

}  // namespace quillon
