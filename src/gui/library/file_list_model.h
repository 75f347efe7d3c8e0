#pragma once

#include <array>
#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QString>

#include "core/library/book_store.h"
#include "core/library/folder_listing.h"

namespace quillon {

// One row of the bookshelf's two lists, with the texts of its six columns
// (name, action, type, size, modified, path) and what opening it needs.
struct ShelfRow {
    enum Column { Name, Action, Type, Size, Modified, Path, ColumnCount };

    std::array<QString, ColumnCount> texts;
    std::string path;     // full path (UTF-8); "" for the book list's parent row
    std::string fileName; // as the file system spells it (UTF-8)
    std::string rowText;  // the name column in GBK, as the book store cuts it
    bool isFolder = false;
};

// The book list's first row "[目录]..": opening it refreshes the list.
ShelfRow ParentShelfRow();
ShelfRow BookShelfRow(const BookEntry& entry);
ShelfRow LocalShelfRow(const FolderEntry& entry);

// The rows of one list. Rows arrive whole from a listing worker, so a folder
// of tens of thousands of files costs the interface one model reset instead
// of one insertion per row.
class FileListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FileListModel(QObject* parent = nullptr);

    void SetRows(std::vector<ShelfRow> rows);
    const ShelfRow* Row(int index) const;
    int RowCount() const { return static_cast<int>(rows_.size()); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<ShelfRow> rows_;
};

// The column widths in pixels, in column order.
inline constexpr std::array<int, ShelfRow::ColumnCount> kShelfColumnWidths = {160, 60, 60, 60, 100, 120};

}  // namespace quillon
