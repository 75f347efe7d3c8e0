#pragma once

#include <string>

#include <QStyledItemDelegate>
#include <QTableWidget>

#include "core/downloader/download_worker.h"

namespace quillon {

// The chapter list of the downloader: five text columns per row, drawn by
// LinkListDelegate. A row is ticked exactly when its first column reads "是";
// anything else (" ", or the "0000" a fresh analysis writes) is unticked.
class LinkListView final : public QTableWidget {
    Q_OBJECT
public:
    enum Column { CheckColumn = 0, StateColumn, TitleColumn, AddressColumn, SavedColumn };
    static constexpr int kColumnCount = 5;
    static constexpr int kRowHeight = 18;

    explicit LinkListView(QWidget* parent = nullptr);

    // Removes every row. Also advances generation(), so a worker that started
    // on the old rows can tell that its row numbers no longer mean anything.
    void RemoveAllRows();
    // A row as the analysis lists it: title and address as the page's GBK
    // bytes, which are kept beside the shown text so a download fetches and
    // names exactly what the page said.
    int AppendRow(const QString& check, const std::string& titleGbk, const std::string& addressGbk);
    // The GBK bytes of a title or address cell.
    std::string CellBytes(int row, int column) const;

    QString CellText(int row, int column) const;
    void SetCellText(int row, int column, const QString& text);

    // What a download made of the row, kept beside its cells for the
    // finished book: the files its chapter is in (UTF-8 paths), or that it
    // failed. Outcome copies them into the fields of a DownloadRow.
    void SetOutcome(int row, const std::string& htmlFile, const std::string& txtFile, bool failed);
    void Outcome(int row, DownloadRow& out) const;

    bool IsChecked(int row) const;
    int CheckedCount() const;
    void SelectAll();
    void ClearAll();
    void Invert();
    void ToggleRow(int row);

    quint64 generation() const { return generation_; }

signals:
    // A click on an address cell that holds an address.
    void addressClicked(const QString& address);

private:
    void HandleClick(int row, int column);

    quint64 generation_ = 0;
};

// Paints a cell of the list: white background (a light blue on the selected
// row), grey rules under the row and between columns, a drawn check box in
// the first column, the address column blue and underlined.
class LinkListDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit LinkListDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Draws the 13-pixel check mark box into `box`.
    static void PaintCheckBox(QPainter* painter, const QRect& box, bool checked);

private:
    QFont plainFont_;
    QFont linkFont_;
};

// The check text of a ticked row.
QString CheckedMark();

}  // namespace quillon
