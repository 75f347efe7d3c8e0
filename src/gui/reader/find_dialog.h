#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <QDialog>
#include <QRect>

class QCheckBox;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillon {

// "内容查找": lists every occurrence of a text in the open book. Searching
// never closes the dialog; clicking a result hands its position column to
// `pick`, which turns the reading page behind the dialog, so the user can go
// from result to result without leaving it. Besides the position, each row
// shows the page it is on and the hit amid its line.
class FindDialog final : public QDialog {
    Q_OBJECT
public:
    FindDialog(std::string_view bookText, std::function<void(std::string_view)> pick,
               QWidget* parent = nullptr);

    QLineEdit* searchField() const { return field_; }
    QCheckBox* caseCheck() const { return case_; }
    QTreeWidget* resultList() const { return list_; }

    // The page number of a position, for the rows' page column.
    void SetPageLookup(std::function<int32_t(int32_t)> pageOf) { pageOf_ = std::move(pageOf); }

    // Moves the dialog off `globalRect` (the line just highlighted) when it
    // covers it: below or above it if there is room on the screen, else
    // beside the page.
    void MoveAsideOf(const QRect& globalRect);

    void RunSearch();

private:
    void PickRow(QTreeWidgetItem* item);

    std::string_view text_;
    std::function<void(std::string_view)> pick_;
    std::function<int32_t(int32_t)> pageOf_;
    QLineEdit* field_ = nullptr;
    QCheckBox* case_ = nullptr;
    QTreeWidget* list_ = nullptr;
};

}  // namespace quillon
