#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "core/shell/tab_list.h"

class QMenu;

namespace quillon {

class BrowserPage;

// The strip of tabs under the main window's toolbar. It draws the tab list
// and turns mouse events into the list's rules; what a rule asks for beyond
// the list itself (a new page, closing a page, the frame's layout) is left to
// the frame through the signals.
class TabStrip final : public QWidget {
    Q_OBJECT
public:
    explicit TabStrip(QWidget* parent = nullptr);

    TabList<BrowserPage*>& model() { return model_; }
    const TabList<BrowserPage*>& model() const { return model_; }

    // The menu the menu button pops up.
    void SetToolsMenu(QMenu* menu);
    QSize sizeHint() const override { return {800, kTabHeight}; }

    // After the list changed outside the mouse handlers.
    void Refresh();

signals:
    void tabSelected(int index);
    void newTabRequested();
    void closeCurrentRequested();
    void tabMoved(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Carry(const TabActionResult& result);
    void PopUpMenu();

    TabList<BrowserPage*> model_;
    QPointer<QMenu> menu_;
    // The highlight goes a little after the mouse has left, so brushing past
    // the strip's edge does not flicker.
    QTimer hoverTimer_;
};

}  // namespace quillon
