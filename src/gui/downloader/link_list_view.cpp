#include "gui/downloader/link_list_view.h"

#include <QHeaderView>
#include <QPainter>

#include "gui/app/text_convert.h"

namespace quillon {

namespace {
// Colours of the list, as 0xRRGGBB.
constexpr QRgb kSelectedBackground = 0x6699FF;
constexpr QRgb kRuleColour = 0x808080;
constexpr int kBytesRole = Qt::UserRole + 1;
// The outcome of a download, on the item of the saved-files column.
constexpr int kHtmlFileRole = Qt::UserRole + 2;
constexpr int kTxtFileRole = Qt::UserRole + 3;
constexpr int kFailedRole = Qt::UserRole + 4;

QFont ListFont(bool underline) {
    QFont f(QStringLiteral("宋体"));
    f.setPixelSize(12);
    f.setWeight(QFont::Normal);
    f.setUnderline(underline);
    f.setStyleHint(QFont::Serif);
    return f;
}
}  // namespace

QString CheckedMark() { return QStringLiteral("是"); }

LinkListView::LinkListView(QWidget* parent) : QTableWidget(0, kColumnCount, parent) {
    setObjectName(QStringLiteral("linkList"));
    setHorizontalHeaderLabels({QStringLiteral("选中"), QStringLiteral("状态"), QStringLiteral("标题"),
                               QStringLiteral("网址"), QStringLiteral("保存")});
    const int widths[kColumnCount] = {38, 60, 120, 300, 120};
    for (int c = 0; c < kColumnCount; ++c) setColumnWidth(c, widths[c]);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    setShowGrid(false);  // the delegate draws the rules
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new LinkListDelegate(this));
    connect(this, &QTableWidget::cellClicked, this, &LinkListView::HandleClick);
}

void LinkListView::RemoveAllRows() {
    ++generation_;
    setRowCount(0);
}

int LinkListView::AppendRow(const QString& check, const std::string& titleGbk,
                            const std::string& addressGbk) {
    int row = rowCount();
    insertRow(row);
    SetCellText(row, CheckColumn, check);
    SetCellText(row, TitleColumn, FromGbk(titleGbk));
    SetCellText(row, AddressColumn, FromGbk(addressGbk));
    item(row, TitleColumn)->setData(kBytesRole, QByteArray::fromStdString(titleGbk));
    item(row, AddressColumn)->setData(kBytesRole, QByteArray::fromStdString(addressGbk));
    return row;
}

std::string LinkListView::CellBytes(int row, int column) const {
    const QTableWidgetItem* it = item(row, column);
    if (it == nullptr) return {};
    QVariant bytes = it->data(kBytesRole);
    return bytes.isValid() ? bytes.toByteArray().toStdString() : ToGbk(it->text());
}

QString LinkListView::CellText(int row, int column) const {
    const QTableWidgetItem* it = item(row, column);
    return it ? it->text() : QString();
}

void LinkListView::SetCellText(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= kColumnCount) return;
    if (QTableWidgetItem* it = item(row, column)) {
        it->setText(text);
        return;
    }
    auto* it = new QTableWidgetItem(text);
    it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    setItem(row, column, it);
}

void LinkListView::SetOutcome(int row, const std::string& htmlFile, const std::string& txtFile,
                              bool failed) {
    if (row < 0 || row >= rowCount()) return;
    if (item(row, SavedColumn) == nullptr) SetCellText(row, SavedColumn, QString());
    QTableWidgetItem* it = item(row, SavedColumn);
    it->setData(kHtmlFileRole, QByteArray::fromStdString(htmlFile));
    it->setData(kTxtFileRole, QByteArray::fromStdString(txtFile));
    it->setData(kFailedRole, failed);
}

void LinkListView::Outcome(int row, DownloadRow& out) const {
    const QTableWidgetItem* it = item(row, SavedColumn);
    if (it == nullptr) return;
    out.htmlFile = it->data(kHtmlFileRole).toByteArray().toStdString();
    out.txtFile = it->data(kTxtFileRole).toByteArray().toStdString();
    out.failed = it->data(kFailedRole).toBool();
}

bool LinkListView::IsChecked(int row) const { return CellText(row, CheckColumn) == CheckedMark(); }

int LinkListView::CheckedCount() const {
    int n = 0;
    for (int r = 0; r < rowCount(); ++r) n += IsChecked(r) ? 1 : 0;
    return n;
}

void LinkListView::SelectAll() {
    for (int r = 0; r < rowCount(); ++r) SetCellText(r, CheckColumn, CheckedMark());
}

void LinkListView::ClearAll() {
    for (int r = 0; r < rowCount(); ++r) SetCellText(r, CheckColumn, QStringLiteral(" "));
}

void LinkListView::Invert() {
    for (int r = 0; r < rowCount(); ++r) ToggleRow(r);
}

void LinkListView::ToggleRow(int row) {
    SetCellText(row, CheckColumn, IsChecked(row) ? QStringLiteral(" ") : CheckedMark());
}

void LinkListView::HandleClick(int row, int column) {
    if (column == CheckColumn) {
        ToggleRow(row);
    } else if (column == AddressColumn) {
        // An empty address would only open an empty browser window.
        QString address = CellText(row, column).trimmed();
        if (!address.isEmpty()) emit addressClicked(address);
    }
}

LinkListDelegate::LinkListDelegate(QObject* parent)
    : QStyledItemDelegate(parent), plainFont_(ListFont(false)), linkFont_(ListFont(true)) {}

QSize LinkListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    return {s.width(), LinkListView::kRowHeight};
}

void LinkListDelegate::PaintCheckBox(QPainter* painter, const QRect& box, bool checked) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QColor(0x1C, 0x51, 0x80));
    painter->setBrush(Qt::white);
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    if (checked) {
        painter->setRenderHint(QPainter::Antialiasing, true);
        QPen pen(QColor(0x21, 0xA1, 0x21));
        pen.setWidthF(qMax(1.5, box.width() / 6.0));
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        const qreal x = box.x(), y = box.y(), w = box.width(), h = box.height();
        const QPointF tick[3] = {{x + w * 0.22, y + h * 0.52},
                                 {x + w * 0.42, y + h * 0.74},
                                 {x + w * 0.80, y + h * 0.26}};
        painter->drawPolyline(tick, 3);
    }
    painter->restore();
}

void LinkListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(r, selected ? QColor(kSelectedBackground) : QColor(Qt::white));
    painter->setPen(QColor(kRuleColour));
    painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    painter->drawLine(r.right(), r.top(), r.right(), r.bottom());

    const QString text = index.data(Qt::DisplayRole).toString();
    if (index.column() == LinkListView::CheckColumn) {
        const int side = LinkListView::kRowHeight - 5;
        PaintCheckBox(painter, QRect(r.left() + 4, r.top() + 2, side, side), text == CheckedMark());
    } else {
        const bool link = index.column() == LinkListView::AddressColumn;
        painter->setFont(link ? linkFont_ : plainFont_);
        QColor ink = link ? (selected ? QColor(Qt::yellow) : QColor(Qt::blue))
                          : (selected ? QColor(Qt::white) : QColor(Qt::black));
        painter->setPen(ink);
        QRect textRect = r.adjusted(2, 0, -2, -1);
        QString shown = QFontMetrics(painter->font()).elidedText(text, Qt::ElideRight, textRect.width());
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
    painter->restore();
}

}  // namespace quillon
