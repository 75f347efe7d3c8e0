#include "core/shell/tab_list.h"

#include <cstdlib>

namespace quillon {

namespace {
// The width the tabs may use: the scroll and menu buttons keep the last 152
// pixels of the strip.
constexpr int kReservedRight = 152;
}  // namespace

bool TabStripState::SetCurrent(int index) {
    if (index < 0 || index >= count_) return false;
    current_ = index;
    return true;
}

void TabStripState::Layout(int width) {
    width_ = width;
    const int w = width;
    menu_ = {w - 62, 0, w - 2, kStripButtonHeight};
    scrollLeft_ = {w - 114, 0, w - 89, kStripButtonHeight};
    scrollRight_ = {w - 88, 0, w - 63, kStripButtonHeight};

    const int limit = w - kReservedRight;
    if (count_ * kTabWidth <= limit) firstVisible_ = 0;
    firstVisible_ = std::clamp(firstVisible_, 0, std::max(0, count_ - 1));

    cells_.assign(static_cast<size_t>(count_), TabRect{});
    visibleCount_ = 0;
    int right = 0;
    for (int i = firstVisible_; i < count_; ++i) {
        int x = (i - firstVisible_) * kTabWidth;
        if (x + kTabWidth > limit) break;
        cells_[static_cast<size_t>(i)] = {x, 0, x + kTabWidth, kTabHeight};
        right = x + kTabWidth;
        ++visibleCount_;
    }
    newTab_ = {right + 1, 0, right + 1 + kNewTabButtonWidth, kTabHeight};
    if (!CanScrollLeft() && !CanScrollRight()) {
        scrollLeft_ = {right + 37, 0, right + 62, kStripButtonHeight};
        scrollRight_ = {right + 63, 0, right + 88, kStripButtonHeight};
    }
}

bool TabStripState::ScrollLeft() {
    if (!CanScrollLeft()) return false;
    --firstVisible_;
    Layout(width_);
    return true;
}

bool TabStripState::ScrollRight() {
    if (!CanScrollRight()) return false;
    ++firstVisible_;
    Layout(width_);
    return true;
}

TabRect TabStripState::Cell(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= cells_.size()) return {};
    return cells_[static_cast<size_t>(index)];
}

TabRect TabStripState::CloseMark(int index) const {
    TabRect c = Cell(index);
    if (c.IsEmpty()) return {};
    return {c.right - 19, c.top + 10, c.right - 5, c.top + 24};
}

TabHit TabStripState::HitTest(int x, int y) const {
    if (menu_.Contains(x, y)) return {TabHitKind::Menu, -1};
    if (scrollLeft_.Contains(x, y)) return {TabHitKind::ScrollLeft, -1};
    if (scrollRight_.Contains(x, y)) return {TabHitKind::ScrollRight, -1};
    if (newTab_.Contains(x, y)) return {TabHitKind::NewTab, -1};
    for (int i = firstVisible_; i < firstVisible_ + visibleCount_ && i < count_; ++i) {
        if (!Cell(i).Contains(x, y)) continue;
        if (i == current_ && CloseMark(i).Contains(x, y)) return {TabHitKind::CloseMark, i};
        return {TabHitKind::Tab, i};
    }
    return {};
}

TabActionResult TabStripState::MousePress(int x, int y) {
    lastReleaseClosed_ = false;
    TabHit hit = HitTest(x, y);
    switch (hit.kind) {
        case TabHitKind::CloseMark:
            closeArmed_ = true;
            return {};
        case TabHitKind::NewTab:
            return {TabAction::OpenNewTab, -1};
        case TabHitKind::Menu:
            return {TabAction::PopUpMenu, -1};
        case TabHitKind::ScrollLeft:
            ScrollLeft();
            return {};
        case TabHitKind::ScrollRight:
            ScrollRight();
            return {};
        case TabHitKind::Tab:
            dragStartX_ = x;
            dragStartY_ = y;
            dragging_ = false;
            dragTarget_ = -1;
            if (hit.index != current_) {
                current_ = hit.index;
                return {TabAction::Select, hit.index};
            }
            return {};
        case TabHitKind::None:
            return {};
    }
    return {};
}

TabActionResult TabStripState::MouseDoubleClick(int x, int y) {
    TabHit hit = HitTest(x, y);
    switch (hit.kind) {
        case TabHitKind::Tab:
        case TabHitKind::CloseMark:
            if (hit.index == current_ && !lastReleaseClosed_) return {TabAction::CloseCurrent, current_};
            return {};
        case TabHitKind::NewTab:
        case TabHitKind::ScrollLeft:
        case TabHitKind::ScrollRight:
            // A quick second click on a button still counts as a click.
            return MousePress(x, y);
        default:
            return {};
    }
}

bool TabStripState::MouseMove(int x, int y, bool leftHeld) {
    TabHit hit = HitTest(x, y);
    int overTab = (hit.kind == TabHitKind::Tab || hit.kind == TabHitKind::CloseMark) ? hit.index : -1;
    bool changed = overTab != hover_ || hit.kind != hoverKind_;
    hover_ = overTab;
    hoverKind_ = hit.kind;
    if (leftHeld && dragStartX_ >= 0) {
        if (!dragging_ && std::abs(x - dragStartX_) > kDragThreshold && overTab >= 0) dragging_ = true;
        if (dragging_ && dragTarget_ != overTab) {
            dragTarget_ = overTab;
            changed = true;
        }
    }
    return changed;
}

TabActionResult TabStripState::MouseRelease(int x, int y) {
    TabHit hit = HitTest(x, y);
    TabActionResult result;
    if (closeArmed_) {
        closeArmed_ = false;
        if (hit.kind == TabHitKind::CloseMark && hit.index == current_) {
            lastReleaseClosed_ = true;
            result = {TabAction::CloseCurrent, current_};
        }
    } else if (dragging_) {
        int target = (hit.kind == TabHitKind::Tab || hit.kind == TabHitKind::CloseMark) ? hit.index : -1;
        if (target >= 0 && target != current_ && current_ >= 0) {
            int from = current_;
            MoveEntry(from, target);
            FinishMove(from, target);
            result = {TabAction::Moved, target};
        }
    }
    dragging_ = false;
    dragTarget_ = -1;
    dragStartX_ = -1;
    dragStartY_ = -1;
    return result;
}

bool TabStripState::ClearHover() {
    bool changed = hover_ != -1 || hoverKind_ != TabHitKind::None;
    hover_ = -1;
    hoverKind_ = TabHitKind::None;
    return changed;
}

void TabStripState::CancelMouse() {
    closeArmed_ = false;
    dragging_ = false;
    dragTarget_ = -1;
    dragStartX_ = -1;
    dragStartY_ = -1;
}

int TabStripState::PrepareInsert(int index) {
    if (count_ >= kMaxTabs) return -1;
    if (index < 0 || index >= count_) return count_;
    return index;
}

void TabStripState::FinishInsert(int index, bool makeCurrent) {
    ++count_;
    if (makeCurrent)
        current_ = index;
    else if (current_ >= index)
        // The current tab moved right with the others; it stays current.
        ++current_;
    if (current_ < 0 || current_ >= count_) current_ = count_ - 1;

    // Keep the inserted tab in view. Before the first layout nothing is
    // visible yet; counting one visible tab keeps first visible on the new
    // tab instead of past it.
    int visible = std::max(1, visibleCount_);
    if (index < firstVisible_)
        firstVisible_ = index;
    else if (index >= firstVisible_ + visible)
        firstVisible_ = index - visible + 1;
    firstVisible_ = std::max(0, firstVisible_);
    CancelMouse();
    hover_ = -1;
    if (width_ > 0) Layout(width_);
}

void TabStripState::FinishRemove(int index) {
    --count_;
    if (index < current_ || (index == current_ && current_ > 0)) --current_;
    if (current_ >= count_) current_ = count_ - 1;
    if (count_ == 0) current_ = -1;
    if (current_ >= 0 && current_ < firstVisible_) firstVisible_ = std::max(0, current_ - 1);
    CancelMouse();
    hover_ = -1;
    if (width_ > 0) Layout(width_);
}

void TabStripState::FinishMove(int /*from*/, int to) {
    current_ = to;
    if (width_ > 0) Layout(width_);
}

}  // namespace quillon
