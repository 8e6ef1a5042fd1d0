// The selection manager's rules: one selections-changed notice per batch, walks, ranges in either
// order, the first selectable item, focus rules, the rubber band's toggling, and that select-all and
// clearing repaint the control once rather than item by item.
#include "UniformCells.h"
#include "platform/rtl/Strings.h"
#include "platform/user/User.h"

namespace lvtest {
namespace {

class SelectionTest : public ListviewTest {
public:
  // Two groups: "a0".."a<n-1>" and "b0".."b<m-1>", laid out in uniform cells.
  void Build(Integer n, Integer m, Integer columns = 10) {
    MakeList();
    UseUniformCells(LV, columns);
    LV->BeginUpdate();
    A = LV->GetGroups()->Add();
    B = LV->GetGroups()->Add();
    for (Integer i = 0; i < n; ++i) A->GetItems()->Add()->SetCaption(u"a" + pf::IntToStr(i));
    for (Integer i = 0; i < m; ++i) B->GetItems()->Add()->SetCaption(u"b" + pf::IntToStr(i));
    LV->EndUpdate();
    Sel = LV->GetSelection();
    LV->OnItemSelectionsChanged = [this](TCustomEmberListview*) { ++Notices; };
  }
  // The captions of the selected items, in order, joined by spaces.
  std::string Selected() const {
    std::string out;
    for (TEmberItem* i = Sel->First(); i; i = Sel->Next(i)) out += (out.empty() ? "" : " ") + Name(i);
    return out;
  }
  TEmberItem* ItemA(Integer i) const { return A->GetItem(i); }
  TEmberItem* ItemB(Integer i) const { return B->GetItem(i); }

  TEmberGroup* A{nullptr};
  TEmberGroup* B{nullptr};
  TEmberSelectionManager* Sel{nullptr};
  int Notices{0};
};

TEST_F(SelectionTest, BatchesAnnounceOnceAndOnlyWhenSomethingChanged) {
  struct Case {
    const char* what;
    bool multi;
    std::function<void(SelectionTest&)> act;
    int notices;
    Integer count;
  } cases[] = {
      {"clearing nothing", true, [](SelectionTest& t) { t.Sel->ClearAll(); }, 0, 0},
      {"select-all without multi-select", false, [](SelectionTest& t) { t.Sel->SelectAll(); }, 0, 0},
      {"select-all", true, [](SelectionTest& t) { t.Sel->SelectAll(); }, 1, 5},
      {"select-all in an outer batch", true,
       [](SelectionTest& t) {
         t.Sel->IncMultiChangeCount();
         t.Sel->SelectAll();
         t.Sel->ClearAllExcept(t.ItemA(1));
         EXPECT_EQ(t.Notices, 0) << "nothing before the outer batch closes";
         t.Sel->DecMultiChangeCount();
       },
       1, 1},
      {"a lone change", true, [](SelectionTest& t) { t.ItemB(1)->SetSelected(true); }, 1, 1},
      {"two lone changes", true,
       [](SelectionTest& t) {
         t.ItemA(0)->SetSelected(true);
         t.ItemA(0)->SetSelected(false);
       },
       2, 0},
      {"selecting an item already selected in a batch", true,
       [](SelectionTest& t) {
         t.ItemA(0)->SetSelected(true);
         t.Notices = 0;
         t.Sel->SelectRange(t.ItemA(0), t.ItemA(0), false, false);
       },
       0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Build(3, 2);
    Sel->SetMultiSelect(c.multi);
    Notices = 0;
    c.act(*this);
    EXPECT_EQ(Notices, c.notices);
    EXPECT_EQ(Sel->GetCount(), c.count);
  }
}

TEST_F(SelectionTest, RangesSelectTheSameItemsInEitherOrder) {
  struct Case {
    const char* what;
    std::function<void(SelectionTest&)> prepare;
    std::function<TEmberItem*(SelectionTest&)> from, to;
    std::string expected;
  } cases[] = {
      {"within a group", {}, [](SelectionTest& t) { return t.ItemA(1); }, [](SelectionTest& t) { return t.ItemA(3); },
       "a1 a2 a3"},
      {"across groups", {}, [](SelectionTest& t) { return t.ItemA(3); }, [](SelectionTest& t) { return t.ItemB(1); },
       "a3 a4 b0 b1"},
      {"a hidden item is passed over", [](SelectionTest& t) { t.ItemA(2)->SetVisible(false); },
       [](SelectionTest& t) { return t.ItemA(1); }, [](SelectionTest& t) { return t.ItemA(3); }, "a1 a3"},
      {"one item", {}, [](SelectionTest& t) { return t.ItemB(2); }, [](SelectionTest& t) { return t.ItemB(2); }, "b2"},
  };
  for (const Case& c : cases) {
    for (bool reverse : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (reverse ? ", reversed" : ""));
      Build(5, 3);
      Sel->SetMultiSelect(true);
      if (c.prepare) c.prepare(*this);
      ItemB(0)->SetSelected(true);
      TEmberItem* from = c.from(*this);
      TEmberItem* to = c.to(*this);
      if (reverse) std::swap(from, to);
      Notices = 0;
      Sel->SelectRange(from, to, true, false);
      EXPECT_EQ(Selected(), c.expected);
      EXPECT_EQ(Notices, 1);
    }
  }
  // Without multi-select a range selects nothing at all.
  Build(5, 3);
  Sel->SelectRange(ItemA(0), ItemA(4), true, false);
  Sel->SelectRect(TRect{0, 0, 200, 200}, true);
  EXPECT_EQ(Selected(), "");
}

TEST_F(SelectionTest, RectangleRangeTakesTheCellsBetweenAnchorAndItem) {
  // Ten cells of 20 x 20 per row: a2 at (40,0), a13 at (60,20); the union spans columns 2 and 3
  // of rows 0 and 1.
  Build(30, 0);
  Sel->SetMultiSelect(true);
  Sel->SelectRange(ItemA(13), ItemA(2), true, true);
  EXPECT_EQ(Selected(), "a2 a3 a12 a13");
}

TEST_F(SelectionTest, SelectFirstTakesTheGroupsFirstItem) {
  struct Case {
    const char* what;
    std::function<void(SelectionTest&)> prepare;
    std::string selected;
    std::string focused;
  } cases[] = {
      {"plain", {}, "a0", "a0"},
      {"first hidden", [](SelectionTest& t) { t.ItemA(0)->SetVisible(false); }, "", "nil"},
      {"first two disabled", [](SelectionTest& t) {
         t.ItemA(0)->SetEnabled(false);
         t.ItemA(1)->SetEnabled(false);
       }, "", "nil"},
      {"first group empty", [](SelectionTest& t) {
         t.A->GetItems()->Clear();
       }, "b0", "b0"},
      {"selection disabled", [](SelectionTest& t) { t.Sel->SetEnabled(false); }, "", "nil"},
      {"an earlier selection is cleared", [](SelectionTest& t) {
         t.Sel->SetMultiSelect(true);
         t.ItemB(0)->SetSelected(true);
       }, "a0", "a0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Build(2, 1);
    if (c.prepare) c.prepare(*this);
    Sel->SelectFirst();
    EXPECT_EQ(Selected(), c.selected);
    EXPECT_EQ(Name(Sel->GetFocusedItem()), c.focused);
  }
  // An empty list only clears.
  MakeList();
  LV->GetSelection()->SelectFirst();
  EXPECT_EQ(LV->GetSelection()->GetCount(), 0);
}

TEST_F(SelectionTest, SettingsThatClearTheSelection) {
  Build(4, 0);
  Sel->SetMultiSelect(true);
  Sel->SelectAll();
  Sel->SetMultiSelect(true);
  EXPECT_EQ(Sel->GetCount(), 4) << "the same value keeps the selection";
  Sel->SetMultiSelect(false);
  EXPECT_EQ(Sel->GetCount(), 0);
  // Single selection: a new item replaces the old one and takes the focus.
  ItemA(1)->SetSelected(true);
  ItemA(3)->SetSelected(true);
  EXPECT_EQ(Selected(), "a3");
  EXPECT_EQ(Sel->GetFocusedItem(), ItemA(3));
  // Hidden or disabled items do not take the focus or become the anchor.
  ItemA(0)->SetVisible(false);
  ItemA(2)->SetEnabled(false);
  for (TEmberItem* i : {ItemA(0), ItemA(2)}) {
    Sel->SetFocusedItem(i);
    Sel->SetAnchorItem(i);
    EXPECT_EQ(Sel->GetFocusedItem(), ItemA(3));
    EXPECT_EQ(Sel->GetAnchorItem(), nullptr);
  }
  Sel->SetEnabled(false);
  EXPECT_EQ(Sel->GetCount(), 0);
  ItemA(1)->SetSelected(true);
  Sel->SelectFirst();
  EXPECT_EQ(Sel->GetCount(), 1) << "a disabled manager leaves the items' own changes alone";
  std::vector<TEmberItem*> items;
  Sel->SelectedToArray(items);
  EXPECT_EQ(items, std::vector<TEmberItem*>{ItemA(1)});
}

TEST_F(SelectionTest, RunsOfSelectedItemsAndTheArrayOfTheOnesShown) {
  Build(4, 2);
  Sel->SetMultiSelect(true);
  ItemA(1)->SetSelected(true);
  ItemA(2)->SetSelected(true);
  ItemB(0)->SetSelected(true);
  // Runs are made on a forced rebuild whether the option is on or not; without force only while
  // it is on.
  EXPECT_EQ(ItemA(1)->GetSelectionGroup(), nullptr);
  Sel->SetGroupSelections(true);
  ASSERT_NE(ItemA(1)->GetSelectionGroup(), nullptr);
  EXPECT_EQ(ItemA(1)->GetSelectionGroup(), ItemA(2)->GetSelectionGroup());
  EXPECT_EQ(ItemB(0)->GetSelectionGroup(), nullptr) << "alone in its run";
  Sel->SetGroupSelections(false);
  EXPECT_NE(ItemA(1)->GetSelectionGroup(), nullptr);
  // The walks in visible order do not enter a collapsed group after the first: its selected item
  // counts, but the array holds only the items the walk meets, never an empty place.
  B->SetExpanded(false);
  EXPECT_EQ(Sel->GetCount(), 3);
  EXPECT_EQ(Selected(), "a1 a2");
  std::vector<TEmberItem*> items;
  Sel->SelectedToArray(items);
  EXPECT_EQ(items, (std::vector<TEmberItem*>{ItemA(1), ItemA(2)}));
}

TEST_F(SelectionTest, SelectAllAndClearRepaintOnce) {
  Build(100, 50);
  Sel->SetMultiSelect(true);
  ValidateRect(LV->Handle(), nullptr);
  UniformCellsSetup::RectArrays = 0;
  Sel->SelectAll();
  EXPECT_EQ(Sel->GetCount(), 150);
  EXPECT_EQ(UniformCellsSetup::RectArrays, 0) << "no item measured its rectangles to repaint itself";
  TRect update;
  ASSERT_TRUE(GetUpdateRect(LV->Handle(), &update, false));
  EXPECT_EQ(update, LV->GetClientRect());
  ValidateRect(LV->Handle(), nullptr);
  Sel->ClearAllExcept(ItemB(3));
  EXPECT_EQ(Selected(), "b3");
  EXPECT_EQ(UniformCellsSetup::RectArrays, 0);
  EXPECT_TRUE(GetUpdateRect(LV->Handle(), &update, false));
  // A single change still repaints its own item.
  ValidateRect(LV->Handle(), nullptr);
  ItemA(0)->SetSelected(true);
  EXPECT_GT(UniformCellsSetup::RectArrays, 0);
}

TEST_F(SelectionTest, RubberBandVisitsOnlyTheStripsBetweenOldAndNewBand) {
  // Ten cells of 20 x 20 per row, 100 items: rows 0..9.
  struct Step {
    TRect band;
    bool toggle;
    std::string selected;
    int hits;  // two per visited item
    std::function<void(SelectionTest&)> before{};
  };
  struct Case {
    const char* what;
    std::vector<Integer> before;  // selected before the band starts
    std::vector<Step> steps;
  } cases[] = {
      {"growing down by a row, then shrinking back",
       {},
       {{{0, 0, 50, 30}, false, "a0 a1 a2 a10 a11 a12", 12},
        {{0, 0, 50, 50}, false, "a0 a1 a2 a10 a11 a12 a20 a21 a22", 12},
        {{0, 0, 50, 30}, false, "a0 a1 a2 a10 a11 a12", 12}}},
      // a0 lies under the band's start in both bands, so it keeps its state; a1 was selected.
      {"Ctrl inverts what the band passes over",
       {1, 5},
       {{{0, 0, 30, 10}, true, "a5", 4}, {{0, 0, 30, 30}, true, "a5 a10 a11", 8}}},
      // A first move without Ctrl walks both bands whole: a0 under the old one, a1 between, a2 under
      // the new.
      {"a zero-wide band is a pixel wide", {0}, {{{45, 5, 45, 5}, false, "a2", 6}}},
      // Without Ctrl every item under the new band is selected, a0 too, which lies under both.
      {"Ctrl released during the drag, then pressed again",
       {},
       {{{0, 0, 50, 30}, true, "a1 a2 a10 a11 a12", 12},
        {{0, 0, 50, 50}, false, "a0 a1 a2 a10 a11 a12 a20 a21 a22", 18},
        {{0, 0, 50, 30}, false, "a0 a1 a2 a10 a11 a12", 12},
        {{0, 0, 50, 50}, true, "a0 a1 a2 a10 a11 a12 a20 a21 a22", 12}}},
      {"an item unselected between two moves",
       {},
       {{{0, 0, 50, 30}, false, "a0 a1 a2 a10 a11 a12", 12},
        {{0, 0, 50, 50}, false, "a0 a1 a2 a10 a11 a12 a20 a21 a22", 18,
         [](SelectionTest& t) { t.ItemA(0)->SetSelected(false); }}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Build(100, 0);
    Sel->SetMultiSelect(true);
    for (Integer i : c.before) ItemA(i)->SetSelected(true);
    TRect old{0, 0, 1, 1};
    for (const Step& s : c.steps) {
      if (s.before) s.before(*this);
      UniformCellsSetup::Hits = 0;
      Sel->DragSelect(s.toggle, s.band, old);
      EXPECT_EQ(Selected(), s.selected);
      EXPECT_EQ(UniformCellsSetup::Hits, s.hits);
      old = s.band;
    }
  }
}

// A band move repaints the cells it changed as one rectangle per strip, none of them measured for
// it; the focused item, which may paint past its cell, repaints itself.
TEST_F(SelectionTest, RubberBandRepaintsTheChangedCellsTogether) {
  struct Step {
    const char* what;
    TRect band;
    bool repaints;
    TRect update;  // window coordinates (the view is not scrolled)
    bool measured;
  };
  // Ten cells of 20 x 20 per row; a30 holds the focus.
  const Step steps[] = {
      {"two rows reached", {0, 0, 50, 30}, true, {0, 0, 60, 40}, false},
      {"a third row", {0, 0, 50, 50}, true, {0, 40, 60, 60}, false},
      {"the same band again", {0, 0, 50, 50}, false, {}, false},
      {"a row holding the focus", {0, 0, 50, 70}, true, {0, 60, 60, 80}, true},
      {"back by two rows", {0, 0, 50, 30}, true, {0, 40, 60, 80}, true},
  };
  Build(100, 0);
  Sel->SetMultiSelect(true);
  Sel->SetFocusedItem(ItemA(30));
  TRect old{0, 0, 1, 1};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    ValidateRect(LV->Handle(), nullptr);
    UniformCellsSetup::RectArrays = 0;
    Sel->DragSelect(false, s.band, old);
    old = s.band;
    TRect update;
    EXPECT_EQ(GetUpdateRect(LV->Handle(), &update, false), s.repaints);
    if (s.repaints) {
      EXPECT_EQ(update, s.update);
    }
    EXPECT_EQ(UniformCellsSetup::RectArrays > 0, s.measured);
  }
  EXPECT_EQ(Sel->GetCount(), 6);
}

TEST_F(SelectionTest, RubberBandReadsTheBandOfTheDragRectManager) {
  Build(20, 0);
  Sel->SetMultiSelect(true);
  TEmberDragRectManager* d = LV->GetDragRect();
  // Drawn from bottom right to top left: the same rectangle as the other way.
  d->SetAnchorPoint({35, 25});
  d->SetDragPoint({5, 5});
  d->SetPrevRect(TRect{35, 25, 36, 26});
  EXPECT_EQ(d->SelectionRect(), (TRect{5, 5, 35, 25}));
  Sel->DragSelect(false);
  EXPECT_EQ(Selected(), "a0 a1 a10 a11");
  // The forwarded settings live in the drag-rect manager.
  Sel->SetEnableDragSelect(true);
  Sel->SetAutoScrollMargin(9);
  EXPECT_TRUE(d->GetEnabled());
  EXPECT_EQ(d->GetAutoScrollMargin(), 9);
  EXPECT_EQ(Sel->GetMouseButtonSelRect(),
            (TCommonMouseButtons{TCommonMouseButton::cmbLeft, TCommonMouseButton::cmbRight}));
}

}  // namespace
}  // namespace lvtest
