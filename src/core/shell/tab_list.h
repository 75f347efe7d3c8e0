#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

// The main window's tab strip without its widget: the tab list in display
// order, the current tab, horizontal scrolling, the geometry of the strip and
// the mouse rules (close mark, double click, drag to reorder). The widget
// feeds it mouse positions and carries out the actions it answers.

inline constexpr int kMaxTabs = 300;
inline constexpr int kTabWidth = 150;
inline constexpr int kTabHeight = 33;
inline constexpr int kNewTabButtonWidth = 35;
inline constexpr int kStripButtonHeight = 23;
// A press must travel further than this, horizontally, before it drags.
inline constexpr int kDragThreshold = 20;

// Right and bottom exclusive. An empty rectangle contains nothing.
struct TabRect final {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const {
        return !IsEmpty() && x >= left && x < right && y >= top && y < bottom;
    }
    int width() const { return right - left; }
    friend bool operator==(const TabRect&, const TabRect&) = default;
};

enum class TabHitKind { None, Tab, CloseMark, NewTab, ScrollLeft, ScrollRight, Menu };

struct TabHit final {
    TabHitKind kind = TabHitKind::None;
    int index = -1;  // the tab, for Tab and CloseMark
    friend bool operator==(const TabHit&, const TabHit&) = default;
};

// What the widget has to do after a mouse event.
enum class TabAction {
    None,         // nothing beyond a repaint
    Select,       // `index` became current: relayout the frame, activate the page
    OpenNewTab,   // the new-tab button
    PopUpMenu,    // the menu button
    CloseCurrent, // close the current tab (not forced)
    Moved,        // the current tab was dragged to `index`
};

struct TabActionResult final {
    TabAction action = TabAction::None;
    int index = -1;
};

enum class TabCloseResult {
    Closed,          // removed; the caller destroys the page (and opens a
                     // blank tab when the strip became empty)
    Refused,         // out of range or the page is not closable
    MainTabRefused,  // the main tab; the caller says "不能关闭主窗口"
};

// The page attributes Close needs; the page host owns them.
struct TabPageAttributes final {
    bool closable = true;
    int kind = 0;  // 1 for the main tab
};

// The state shared by every tab list, independent of what a page is.
class TabStripState {
public:
    int count() const { return count_; }
    int current() const { return current_; }
    int firstVisible() const { return firstVisible_; }
    int visibleCount() const { return visibleCount_; }
    int hover() const { return hover_; }
    int dragTarget() const { return dragTarget_; }
    bool closeArmed() const { return closeArmed_; }
    bool dragging() const { return dragging_; }
    int width() const { return width_; }

    // Makes `index` current; false when it is out of range.
    bool SetCurrent(int index);

    // Recomputes every tab's cell, the visible count and the button
    // rectangles for a strip `width` pixels wide.
    void Layout(int width);

    bool CanScrollLeft() const { return firstVisible_ > 0; }
    bool CanScrollRight() const { return firstVisible_ + visibleCount_ < count_; }
    // By one tab; false when that way is not possible.
    bool ScrollLeft();
    bool ScrollRight();

    // The tab's cell; empty for a tab that is not drawn.
    TabRect Cell(int index) const;
    // The close mark inside a drawn tab's cell (only the current tab shows
    // one, but the rectangle is defined for every drawn tab).
    TabRect CloseMark(int index) const;
    const TabRect& newTabButton() const { return newTab_; }
    const TabRect& scrollLeftButton() const { return scrollLeft_; }
    const TabRect& scrollRightButton() const { return scrollRight_; }
    const TabRect& menuButton() const { return menu_; }

    TabHit HitTest(int x, int y) const;

    // Mouse rules. Press and release are for the left button; a move reports
    // whether the left button is held. A double click stands for the second
    // press of the pair.
    TabActionResult MousePress(int x, int y);
    TabActionResult MouseDoubleClick(int x, int y);
    // True when the hover or the drag target changed (the strip repaints).
    bool MouseMove(int x, int y, bool leftHeld);
    TabActionResult MouseRelease(int x, int y);
    // The mouse left the strip: the hover highlight goes.
    bool ClearHover();
    // A drag or an armed close ends without effect (capture lost).
    void CancelMouse();

protected:
    // Index the new entry gets (the caller inserts there), or -1 when full.
    int PrepareInsert(int index);
    void FinishInsert(int index, bool makeCurrent);
    void FinishRemove(int index);
    // The entry at `from` now stands at `to` (the caller moved it).
    void FinishMove(int from, int to);
    // Implemented by the list: moves the entry itself.
    virtual void MoveEntry(int from, int to) = 0;
    virtual ~TabStripState() = default;

    int count_ = 0;

private:
    int current_ = -1;
    int firstVisible_ = 0;
    int visibleCount_ = 0;
    int hover_ = -1;
    TabHitKind hoverKind_ = TabHitKind::None;
    int dragTarget_ = -1;
    int dragStartX_ = -1;
    int dragStartY_ = -1;
    bool dragging_ = false;
    bool closeArmed_ = false;
    // Set when the last release closed a tab through its close mark, so the
    // double click that a quick second click on the mark makes does not
    // close the tab that slid into its place as well.
    bool lastReleaseClosed_ = false;
    int width_ = 0;
    std::vector<TabRect> cells_;
    TabRect newTab_;
    TabRect scrollLeft_;
    TabRect scrollRight_;
    TabRect menu_;
};

// The tab list proper, with a title and a page per tab. Titles are UTF-8:
// they come from web pages and may hold characters GBK lacks.
template <class Page>
class TabList final : public TabStripState {
public:
    struct Entry {
        std::string title;
        Page page{};
    };

    // 0 on success, 1 when the strip already holds kMaxTabs tabs (nothing
    // changes). An index below 0 or not below count appends.
    int Insert(std::string title, int index, bool makeCurrent, Page page) {
        int at = PrepareInsert(index);
        if (at < 0) return 1;
        entries_.insert(entries_.begin() + at, Entry{std::move(title), std::move(page)});
        FinishInsert(at, makeCurrent);
        return 0;
    }

    // Removes the tab when its page allows it. `removed` receives the page
    // of a closed tab. The main tab (kind 1) is refused with its own result
    // unless `force` is set, before the closable flag is looked at, so the
    // user learns why the tab stays.
    TabCloseResult Close(int index, bool force, const TabPageAttributes& attributes,
                         Page* removed = nullptr) {
        if (index < 0 || index >= count_) return TabCloseResult::Refused;
        if (attributes.kind == 1 && !force) return TabCloseResult::MainTabRefused;
        if (!attributes.closable) return TabCloseResult::Refused;
        if (removed) *removed = std::move(entries_[static_cast<size_t>(index)].page);
        entries_.erase(entries_.begin() + index);
        FinishRemove(index);
        return TabCloseResult::Closed;
    }

    // Moves the tab at `from` to `to`, the tabs between shifting by one; it
    // becomes current.
    bool Move(int from, int to) {
        if (from < 0 || from >= count_ || to < 0 || to >= count_) return false;
        MoveEntry(from, to);
        FinishMove(from, to);
        return true;
    }

    void SetTitle(int index, std::string title) {
        if (index >= 0 && index < count_) entries_[static_cast<size_t>(index)].title = std::move(title);
    }
    const std::string& Title(int index) const { return entries_.at(static_cast<size_t>(index)).title; }
    const Page& PageAt(int index) const { return entries_.at(static_cast<size_t>(index)).page; }
    int IndexOf(const Page& page) const {
        for (size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i].page == page) return static_cast<int>(i);
        return -1;
    }

private:
    void MoveEntry(int from, int to) override {
        auto first = entries_.begin();
        if (from < to)
            std::rotate(first + from, first + from + 1, first + to + 1);
        else if (from > to)
            std::rotate(first + to, first + from, first + from + 1);
    }

    std::vector<Entry> entries_;
};

}  // namespace quillon
