#include "core/shell/tab_list.h"

#include <string>

#include <gtest/gtest.h>

namespace quillon {
namespace {

// Pages are plain numbers here; the titles repeat them so a test can see
// which tab stands where.
TabList<int> MakeList(int n, int width = 0) {
    TabList<int> list;
    if (width > 0) list.Layout(width);
    for (int i = 0; i < n; ++i) EXPECT_EQ(list.Insert(std::to_string(i), -1, false, i), 0);
    return list;
}

std::string Order(const TabList<int>& list) {
    std::string s;
    for (int i = 0; i < list.count(); ++i) s += list.Title(i);
    return s;
}

TEST(TabListTest, InsertPlacesTabsAndKeepsTheCurrentOne) {
    TabList<int> list;
    EXPECT_EQ(list.current(), -1);
    ASSERT_EQ(list.Insert("a", -1, false, 1), 0);
    // A current outside the range becomes the last tab.
    EXPECT_EQ(list.current(), 0);
    ASSERT_EQ(list.Insert("b", 5, true, 2), 0);  // beyond the end appends
    EXPECT_EQ(list.current(), 1);
    ASSERT_EQ(list.Insert("c", 0, false, 3), 0);
    EXPECT_EQ(Order(list), "cab");
    // The current tab shifted right with the others and is still "b".
    EXPECT_EQ(list.Title(list.current()), "b");
    ASSERT_EQ(list.Insert("d", 1, true, 4), 0);
    EXPECT_EQ(Order(list), "cdab");
    EXPECT_EQ(list.current(), 1);
    EXPECT_EQ(list.IndexOf(2), 3);
    EXPECT_EQ(list.IndexOf(99), -1);
}

TEST(TabListTest, ThreeHundredAndFirstTabIsRefused) {
    TabList<int> list = MakeList(kMaxTabs);
    ASSERT_EQ(list.count(), kMaxTabs);
    int current = list.current();
    EXPECT_EQ(list.Insert("x", 0, true, 1000), 1);
    EXPECT_EQ(list.count(), kMaxTabs);
    EXPECT_EQ(list.current(), current);
    EXPECT_EQ(list.IndexOf(1000), -1);
    EXPECT_EQ(list.Title(0), "0");
}

TEST(TabListTest, CloseFollowsThePageAttributes) {
    TabList<int> list = MakeList(4);
    list.SetCurrent(2);
    EXPECT_EQ(list.Close(7, false, {}), TabCloseResult::Refused);
    EXPECT_EQ(list.Close(-1, false, {}), TabCloseResult::Refused);
    // The main tab is not closable either, and still gets its own answer.
    EXPECT_EQ(list.Close(0, false, {false, 1}), TabCloseResult::MainTabRefused);
    EXPECT_EQ(list.Close(0, true, {false, 1}), TabCloseResult::Refused);
    EXPECT_EQ(list.Close(1, false, {false, 0}), TabCloseResult::Refused);
    EXPECT_EQ(list.count(), 4);

    int removed = -1;
    EXPECT_EQ(list.Close(2, false, {true, 0}, &removed), TabCloseResult::Closed);
    EXPECT_EQ(removed, 2);
    EXPECT_EQ(Order(list), "013");
    // The tab to the left of the closed current tab becomes current.
    EXPECT_EQ(list.current(), 1);

    // Closing a tab left of the current one keeps the same tab current.
    list.SetCurrent(2);
    EXPECT_EQ(list.Close(0, false, {}), TabCloseResult::Closed);
    EXPECT_EQ(list.Title(list.current()), "3");

    EXPECT_EQ(list.Close(0, false, {}), TabCloseResult::Closed);
    EXPECT_EQ(list.current(), 0);
    EXPECT_EQ(list.Close(0, false, {}), TabCloseResult::Closed);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.current(), -1);
}

TEST(TabListTest, LayoutGeometryWhenAllTabsFit) {
    TabList<int> list = MakeList(3, 1000);
    EXPECT_EQ(list.visibleCount(), 3);
    EXPECT_EQ(list.Cell(0), (TabRect{0, 0, 150, 33}));
    EXPECT_EQ(list.Cell(2), (TabRect{300, 0, 450, 33}));
    EXPECT_EQ(list.newTabButton(), (TabRect{451, 0, 486, 33}));
    // The scroll buttons follow the new-tab button; the menu stays right.
    EXPECT_EQ(list.scrollLeftButton(), (TabRect{487, 0, 512, 23}));
    EXPECT_EQ(list.scrollRightButton(), (TabRect{513, 0, 538, 23}));
    EXPECT_EQ(list.menuButton(), (TabRect{938, 0, 998, 23}));
    EXPECT_FALSE(list.CanScrollLeft());
    EXPECT_FALSE(list.CanScrollRight());

    TabList<int> empty = MakeList(0, 400);
    EXPECT_EQ(empty.newTabButton(), (TabRect{1, 0, 36, 33}));
}

TEST(TabListTest, ScrollingInANarrowStrip) {
    // 700 - 152 leaves room for three tabs.
    TabList<int> list = MakeList(20, 700);
    // Appending kept each new tab in view, so the strip shows the last ones.
    ASSERT_EQ(list.firstVisible(), 17);
    while (list.ScrollLeft()) {
    }
    list.SetCurrent(0);
    ASSERT_EQ(list.firstVisible(), 0);
    ASSERT_EQ(list.visibleCount(), 3);
    EXPECT_TRUE(list.CanScrollRight());
    EXPECT_EQ(list.scrollLeftButton(), (TabRect{586, 0, 611, 23}));
    EXPECT_EQ(list.scrollRightButton(), (TabRect{612, 0, 637, 23}));
    EXPECT_EQ(list.newTabButton(), (TabRect{451, 0, 486, 33}));

    EXPECT_TRUE(list.ScrollRight());
    EXPECT_EQ(list.firstVisible(), 1);
    EXPECT_EQ(list.current(), 0);
    EXPECT_TRUE(list.Cell(0).IsEmpty());
    EXPECT_EQ(list.Cell(1).left, 0);
    for (int i = 0; i < 30; ++i) list.ScrollRight();
    EXPECT_EQ(list.firstVisible(), 17);
    EXPECT_FALSE(list.CanScrollRight());
    // Widening until everything fits brings the first tab back.
    list.Layout(20 * 150 + 152);
    EXPECT_EQ(list.firstVisible(), 0);
    EXPECT_EQ(list.visibleCount(), 20);
}

TEST(TabListTest, InsertScrollsTheNewTabIntoView) {
    TabList<int> list = MakeList(10, 700);
    ASSERT_EQ(list.Insert("n", -1, true, 50), 0);
    EXPECT_EQ(list.current(), 10);
    EXPECT_EQ(list.firstVisible(), 8);
    EXPECT_FALSE(list.Cell(10).IsEmpty());
    ASSERT_EQ(list.Insert("m", 2, true, 51), 0);
    EXPECT_EQ(list.firstVisible(), 2);
    // When closing moves the current tab left of the view, the view shows
    // the tab before it too.
    list.ScrollRight();
    list.SetCurrent(3);
    ASSERT_EQ(list.Close(3, false, {}), TabCloseResult::Closed);
    EXPECT_EQ(list.current(), 2);
    EXPECT_EQ(list.firstVisible(), 1);
}

TEST(TabListTest, PressesOnTheStripButtons) {
    TabList<int> list = MakeList(20, 700);
    while (list.ScrollLeft()) {
    }
    list.SetCurrent(0);
    EXPECT_EQ(list.MousePress(460, 10).action, TabAction::OpenNewTab);
    EXPECT_EQ(list.MousePress(650, 10).action, TabAction::PopUpMenu);
    list.MousePress(620, 10);
    EXPECT_EQ(list.firstVisible(), 1);
    list.MousePress(590, 10);
    EXPECT_EQ(list.firstVisible(), 0);
    list.MousePress(590, 10);  // nothing further to the left
    EXPECT_EQ(list.firstVisible(), 0);
    TabActionResult r = list.MousePress(200, 10);
    EXPECT_EQ(r.action, TabAction::Select);
    EXPECT_EQ(r.index, 1);
    EXPECT_EQ(list.current(), 1);
    EXPECT_EQ(list.MousePress(200, 10).action, TabAction::None);
}

TEST(TabListTest, CloseMarkClosesOnlyWhenReleasedOverIt) {
    TabList<int> list = MakeList(3, 1000);
    list.SetCurrent(1);
    TabRect mark = list.CloseMark(1);
    int mx = mark.left + 3, my = mark.top + 3;
    EXPECT_EQ(list.HitTest(mx, my).kind, TabHitKind::CloseMark);
    // Another tab's mark position is just that tab.
    EXPECT_EQ(list.HitTest(list.CloseMark(0).left + 3, my).kind, TabHitKind::Tab);

    list.MousePress(mx, my);
    EXPECT_TRUE(list.closeArmed());
    EXPECT_EQ(list.MouseRelease(mx - 40, my).action, TabAction::None);
    EXPECT_FALSE(list.closeArmed());

    list.MousePress(mx, my);
    TabActionResult r = list.MouseRelease(mx, my);
    EXPECT_EQ(r.action, TabAction::CloseCurrent);
    EXPECT_EQ(r.index, 1);
    // The second click of a quick double click on the mark closes nothing.
    EXPECT_EQ(list.MouseDoubleClick(mx, my).action, TabAction::None);
}

TEST(TabListTest, DoubleClickClosesTheCurrentTabOnly) {
    TabList<int> list = MakeList(3, 1000);
    list.SetCurrent(0);
    EXPECT_EQ(list.MouseDoubleClick(200, 10).action, TabAction::None);
    list.MousePress(200, 10);
    list.MouseRelease(200, 10);
    TabActionResult r = list.MouseDoubleClick(200, 10);
    EXPECT_EQ(r.action, TabAction::CloseCurrent);
    EXPECT_EQ(r.index, 1);
    EXPECT_EQ(list.MouseDoubleClick(900, 30).action, TabAction::None);
}

TEST(TabListTest, DragMovesTheCurrentTabPastTheThreshold) {
    TabList<int> list = MakeList(4, 1000);
    list.SetCurrent(0);
    // 20 pixels is not yet a drag.
    list.MousePress(140, 10);
    list.MouseMove(160, 10, true);
    EXPECT_FALSE(list.dragging());
    EXPECT_EQ(list.MouseRelease(160, 10).action, TabAction::None);
    EXPECT_EQ(Order(list), "0123");

    list.MousePress(130, 10);
    list.MouseMove(151, 10, true);
    EXPECT_TRUE(list.dragging());
    EXPECT_EQ(list.dragTarget(), 1);
    list.MouseMove(460, 12, true);
    EXPECT_EQ(list.dragTarget(), 3);
    TabActionResult r = list.MouseRelease(460, 12);
    EXPECT_EQ(r.action, TabAction::Moved);
    EXPECT_EQ(Order(list), "1230");
    EXPECT_EQ(list.current(), 3);

    // Moving left shifts the tabs between to the right.
    list.MousePress(460, 10);
    list.MouseMove(160, 10, true);
    list.MouseRelease(160, 10);
    EXPECT_EQ(Order(list), "1023");
    EXPECT_EQ(list.Title(list.current()), "0");

    // Released away from every tab, the drag is cancelled.
    list.MousePress(160, 10);
    list.MouseMove(320, 10, true);
    EXPECT_TRUE(list.dragging());
    EXPECT_EQ(list.MouseRelease(900, 30).action, TabAction::None);
    EXPECT_EQ(Order(list), "1023");
    EXPECT_FALSE(list.dragging());
}

TEST(TabListTest, HoverFollowsTheMouse) {
    TabList<int> list = MakeList(2, 1000);
    EXPECT_TRUE(list.MouseMove(10, 10, false));
    EXPECT_EQ(list.hover(), 0);
    EXPECT_FALSE(list.MouseMove(12, 10, false));
    EXPECT_TRUE(list.MouseMove(160, 10, false));
    EXPECT_EQ(list.hover(), 1);
    EXPECT_TRUE(list.ClearHover());
    EXPECT_EQ(list.hover(), -1);
    EXPECT_FALSE(list.ClearHover());
}

}  // namespace
}  // namespace quillon
