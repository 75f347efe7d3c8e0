#include "gui/library/file_list_model.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QSize>

#include "core/text/gbk_literal.h"
#include "gui/app/text_convert.h"
#include "gui/app/ui_fonts.h"

namespace quillon {

namespace {

constexpr int kRowPadding = 6;

QString Latin(const std::string& ascii) { return QString::fromLatin1(ascii.data(), static_cast<qsizetype>(ascii.size())); }

void FillCommon(ShelfRow& row, bool isFolder, long long size, std::time_t lastWrite) {
    row.isFolder = isFolder;
    row.texts[ShelfRow::Action] = isFolder ? QStringLiteral("打开目录") : QStringLiteral("阅读文件");
    // A folder's size column holds one space, so the cell is never empty.
    row.texts[ShelfRow::Size] = isFolder ? QStringLiteral(" ") : Latin(SizeText(size));
    row.texts[ShelfRow::Modified] = Latin(TimeText(lastWrite));
    row.texts[ShelfRow::Path] = FromUtf8(row.path);
}

}  // namespace

ShelfRow ParentShelfRow() {
    ShelfRow row;
    row.isFolder = true;
    row.fileName = "..";
    row.rowText = FolderRowPrefix() + "..";
    row.texts[ShelfRow::Name] = FromGbk(row.rowText);
    row.texts[ShelfRow::Action] = QStringLiteral("打开目录");
    row.texts[ShelfRow::Type] = QStringLiteral("目录");
    row.texts[ShelfRow::Size] = QStringLiteral(" ");
    return row;
}

ShelfRow BookShelfRow(const BookEntry& entry) {
    ShelfRow row;
    row.path = entry.path;
    row.rowText = BookRowText(entry);
    row.fileName = GbkToUtf8(entry.fileName);
    row.texts[ShelfRow::Name] = FromGbk(row.rowText);
    row.texts[ShelfRow::Type] = entry.isFolder ? QStringLiteral("目录") : QStringLiteral("TXT文件");
    FillCommon(row, entry.isFolder, entry.size, entry.lastWrite);
    return row;
}

ShelfRow LocalShelfRow(const FolderEntry& entry) {
    ShelfRow row;
    row.path = entry.path;
    row.fileName = entry.name;
    QString name = FromUtf8(entry.name);
    row.texts[ShelfRow::Name] = (entry.isFolder ? QStringLiteral("[目录]") : QStringLiteral("[文件]")) + name;
    row.rowText = ToGbk(row.texts[ShelfRow::Name]);
    if (entry.isFolder) {
        row.texts[ShelfRow::Type] = QStringLiteral("目录");
    } else {
        // The local list shows pictures and pages too, which are not text
        // files: the type column names what the file is.
        std::string ext = FileExtension(entry.name);
        if (ext == "txt")
            row.texts[ShelfRow::Type] = QStringLiteral("TXT文件");
        else
            row.texts[ShelfRow::Type] = FromUtf8(ext).toUpper() + QStringLiteral("文件");
    }
    FillCommon(row, entry.isFolder, entry.size, entry.lastWrite);
    return row;
}

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

void FileListModel::SetRows(std::vector<ShelfRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

const ShelfRow* FileListModel::Row(int index) const {
    if (index < 0 || index >= RowCount()) return nullptr;
    return &rows_[static_cast<size_t>(index)];
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ShelfRow::ColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    const ShelfRow* row = Row(index.row());
    if (!row || index.column() < 0 || index.column() >= ShelfRow::ColumnCount) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return row->texts[static_cast<size_t>(index.column())];
    case Qt::FontRole:
        // The action column reads as a link: one click on it opens the row.
        return index.column() == ShelfRow::Action ? UiFont(1) : UiFont(0);
    case Qt::SizeHintRole:
        // A row exactly as tall as the font clips what hangs below the
        // baseline: underscores of file names vanished.
        return QSize(-1, QFontMetrics(UiFont(0)).height() + kRowPadding);
    case Qt::ForegroundRole:
        if (index.column() == ShelfRow::Action) return QColor(0x00, 0x33, 0xCC);
        if (row->isFolder && index.column() == ShelfRow::Name) return QColor(0x80, 0x50, 0x00);
        return {};
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    // In the order of the columns the rows fill: type comes before size.
    static const QString headers[ShelfRow::ColumnCount] = {
        QStringLiteral("文件"), QStringLiteral("操作"), QStringLiteral("类型"),
        QStringLiteral("大小"), QStringLiteral("修改"), QStringLiteral("路径")};
    if (section < 0 || section >= ShelfRow::ColumnCount) return {};
    return headers[section];
}

}  // namespace quillon
