#include "gui/shell/tab_strip.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "gui/app/text_convert.h"
#include "gui/app/ui_fonts.h"

namespace quillon {

namespace {
QRect ToQRect(const TabRect& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

const QColor kStripBack(0xE4, 0xE9, 0xF0);
const QColor kTabBack(0xF4, 0xF6, 0xF9);
const QColor kTabHover(0xFF, 0xFF, 0xFF);
const QColor kTabCurrent(0xFF, 0xFF, 0xFF);
const QColor kTabBorder(0x8C, 0x9B, 0xB0);
const QColor kCurrentBorder(0x3A, 0x6E, 0xA5);
const QColor kDropMark(0xE0, 0x60, 0x20);
const QColor kText(0x20, 0x20, 0x20);
const QColor kDisabledText(0xA0, 0xA0, 0xA0);

void DrawButton(QPainter& p, const TabRect& r, const QString& label, bool enabled, bool hovered) {
    if (r.IsEmpty()) return;
    QRectF box = QRectF(ToQRect(r)).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(kTabBorder);
    p.setBrush(hovered && enabled ? kTabHover : kTabBack);
    p.drawRoundedRect(box, 3, 3);
    p.setPen(enabled ? kText : kDisabledText);
    p.drawText(ToQRect(r), Qt::AlignCenter, label);
}
}  // namespace

TabStrip::TabStrip(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tabStrip"));
    setMouseTracking(true);
    setFixedHeight(kTabHeight);
    hoverTimer_.setSingleShot(true);
    hoverTimer_.setInterval(100);
    connect(&hoverTimer_, &QTimer::timeout, this, [this] {
        if (!underMouse() && model_.ClearHover()) update();
    });
}

void TabStrip::SetToolsMenu(QMenu* menu) { menu_ = menu; }

void TabStrip::Refresh() {
    model_.Layout(width());
    update();
}

void TabStrip::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    model_.Layout(width());
}

void TabStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(rect(), kStripBack);
    p.setFont(UiFont(0));

    const int first = model_.firstVisible();
    const int last = first + model_.visibleCount();
    for (int i = first; i < last && i < model_.count(); ++i) {
        QRect cell = ToQRect(model_.Cell(i));
        if (cell.isEmpty()) continue;
        const bool current = i == model_.current();
        QRectF box = QRectF(cell).adjusted(1.5, 2.5, -1.5, 4);  // open at the bottom
        QPainterPath path;
        path.addRoundedRect(box, 5, 5);
        p.setPen(current ? kCurrentBorder : kTabBorder);
        p.setBrush(current ? kTabCurrent : (i == model_.hover() ? kTabHover : kTabBack));
        p.drawPath(path);

        QRect textRect = cell.adjusted(8, 2, current ? -22 : -6, 0);
        QString title = FromUtf8(model_.Title(i));
        p.setPen(kText);
        p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                   p.fontMetrics().elidedText(title, Qt::ElideRight, textRect.width()));
        if (current) {
            QRect mark = ToQRect(model_.CloseMark(i));
            p.setPen(QPen(model_.closeArmed() ? kDropMark : kText, 1.5));
            p.drawLine(mark.adjusted(3, 3, -4, -4).topLeft(), mark.adjusted(3, 3, -4, -4).bottomRight());
            p.drawLine(mark.adjusted(3, 3, -4, -4).topRight(), mark.adjusted(3, 3, -4, -4).bottomLeft());
        }
        if (i == model_.dragTarget() && i != model_.current()) {
            p.setPen(QPen(kDropMark, 2));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(box.adjusted(1, 1, -1, -5), 4, 4);
        }
    }

    QPoint mouse = mapFromGlobal(QCursor::pos());
    auto hovered = [&](const TabRect& r) { return underMouse() && r.Contains(mouse.x(), mouse.y()); };
    QFont plus = p.font();
    plus.setPixelSize(20);
    p.setFont(plus);
    DrawButton(p, model_.newTabButton(), QStringLiteral("+"), true, hovered(model_.newTabButton()));
    p.setFont(UiFont(0));
    DrawButton(p, model_.scrollLeftButton(), QStringLiteral("◀"), model_.CanScrollLeft(),
               hovered(model_.scrollLeftButton()));
    DrawButton(p, model_.scrollRightButton(), QStringLiteral("▶"), model_.CanScrollRight(),
               hovered(model_.scrollRightButton()));
    DrawButton(p, model_.menuButton(), QStringLiteral("菜单 ▼"), true, hovered(model_.menuButton()));
}

void TabStrip::Carry(const TabActionResult& result) {
    update();
    switch (result.action) {
        case TabAction::None:
            break;
        case TabAction::Select:
            emit tabSelected(result.index);
            break;
        case TabAction::OpenNewTab:
            emit newTabRequested();
            break;
        case TabAction::PopUpMenu:
            PopUpMenu();
            break;
        case TabAction::CloseCurrent:
            emit closeCurrentRequested();
            break;
        case TabAction::Moved:
            emit tabMoved(result.index);
            break;
    }
}

void TabStrip::PopUpMenu() {
    if (!menu_) return;
    const TabRect& r = model_.menuButton();
    menu_->popup(mapToGlobal(QPoint(r.left, r.bottom)));
}

void TabStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    QPoint pos = event->position().toPoint();
    Carry(model_.MousePress(pos.x(), pos.y()));
}

void TabStrip::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(event);
    QPoint pos = event->position().toPoint();
    Carry(model_.MouseDoubleClick(pos.x(), pos.y()));
}

void TabStrip::mouseMoveEvent(QMouseEvent* event) {
    QPoint pos = event->position().toPoint();
    if (model_.MouseMove(pos.x(), pos.y(), event->buttons() & Qt::LeftButton)) update();
    hoverTimer_.stop();
}

void TabStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    QPoint pos = event->position().toPoint();
    Carry(model_.MouseRelease(pos.x(), pos.y()));
}

void TabStrip::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    hoverTimer_.start();
}

}  // namespace quillon
