#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QDialog>

#include "core/reader/chapter_index.h"

class QLabel;
class QListView;

namespace quillon {

class ChapterListModel;

// "目录": the chapter headings of the open book, the current one marked and
// scrolled into view. A click or Enter on a heading hands its offset to
// `jump` and closes the list. Only the rows in view are converted for the
// screen, so a book with a hundred thousand headings opens the list at once.
class ChapterListDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ChapterListDialog(std::function<void(int32_t offset)> jump, QWidget* parent = nullptr);
    ~ChapterListDialog() override;

    // The headings and the index of the current one (-1: none); without a
    // list the headings are still being looked for.
    void SetChapters(std::shared_ptr<const std::vector<Chapter>> chapters, int current);

    QListView* list() const { return list_; }
    QLabel* note() const { return note_; }

private:
    void Jump(const QModelIndex& index);

    std::function<void(int32_t)> jump_;
    ChapterListModel* model_ = nullptr;
    QListView* list_ = nullptr;
    QLabel* note_ = nullptr;
};

}  // namespace quillon
