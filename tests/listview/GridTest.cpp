// Grid layout of every view: cells, group rectangles, counts, hidden items and groups, margins,
// the cell under a point and the first cell in a rectangle, keyboard moves and drop positions.
// Every expected rectangle is worked out by hand from the layout rules.

#include <string>

#include "ListviewTestUtil.h"
#include "platform/gdi/FontSource.h"
#include "platform/user/User.h"

namespace lvtest {
namespace {

using V = TEmberListStyle;
using D = TEmberAdjacentCellDir;

// n items captioned with their numbers from `from` on.
std::vector<std::string> Numbered(int n, int from = 0) {
  std::vector<std::string> out;
  for (int i = from; i < from + n; ++i) out.push_back(std::to_string(i));
  return out;
}

struct Margins {
  Integer Left{0}, Right{0}, Top{0}, Bottom{0};
};

class GridTest : public ListviewTest {
protected:
  void SetUp() override {
    ListviewTest::SetUp();
    MakeList();
    // The hand values assume the client area the test sets: no horizontal bar takes from it.
    LV->GetScrollbars()->SetHorzEnabled(false);
    LV->SetClientWidth(400);
    LV->SetClientHeight(300);
  }
  // Groups "G0".."Gn" with items named by their captions; captions starting with '-' are hidden.
  void Build(V view, const std::vector<std::vector<std::string>>& groups, Margins m = {}) {
    LV->BeginUpdate();
    LV->SetView(view);
    if (m.Left || m.Right || m.Top || m.Bottom) {
      LV->SetShowGroupMargins(true);
      TEmberPaintInfoBaseGroup* info = LV->GetPaintInfoGroup();
      const std::pair<TEmberMargin*, Integer> sizes[] = {{info->GetMarginLeft(), m.Left},
                                                         {info->GetMarginRight(), m.Right},
                                                         {info->GetMarginTop(), m.Top},
                                                         {info->GetMarginBottom(), m.Bottom}};
      for (const auto& [margin, size] : sizes) {
        margin->SetVisible(size > 0);
        margin->SetSize(size);
      }
    }
    for (size_t g = 0; g < groups.size(); ++g) {
      TEmberGroup* group = LV->GetGroups()->Add();
      group->SetCaption(u"G" + String(1, static_cast<Char>(u'0' + g)));
      for (const std::string& c : groups[g]) {
        TEmberItem* item = group->GetItems()->Add();
        item->SetCaption(String(c.begin(), c.end()));
        if (c[0] == '-') item->SetVisible(false);
      }
    }
    LV->EndUpdate();
  }
  // Columns of the given widths, in index order and position.
  void Columns(std::initializer_list<Integer> widths) {
    LV->BeginUpdate();
    for (Integer w : widths) LV->GetHeader()->GetColumns()->Add()->SetWidth(w);
    LV->EndUpdate();
  }
  TEmberItem* Item(const std::string& caption) {
    const String c(caption.begin(), caption.end());
    TEmberGroups* gs = LV->GetGroups();
    for (TEmberItem* i = gs->FirstItem(); i; i = gs->NextItem(i))
      if (i->GetCaption() == c) return i;
    ADD_FAILURE() << "no item " << caption;
    return nullptr;
  }
  TEmberGroup* Group(Integer g) { return LV->GetGroups()->GetGroup(g); }
};

std::string Str(const TRect& r) {
  return "(" + std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
         std::to_string(r.Bottom) + ")";
}

struct Placed {
  const char* Item;
  TRect Rect;
  Integer VisibleIndex;
  Integer VisibleIndexInGroup;
};

struct LayoutCase {
  const char* Name;
  V View;
  std::vector<std::vector<std::string>> Groups;
  Margins Margin;
  Integer ClientHeight;
  std::vector<Placed> Items;
  std::vector<TRect> GroupRects;
  std::vector<std::pair<Integer, Integer>> ColumnsRows;
};

// The control's client area is 400 × 300 unless a case sets the height. Without a vertical bar
// the row width is 400 - 1 - 17 = 382; thumbnail cells are 125 × 143, list 200 × 17, report and
// grid rows 17 high; report rows span the header's 150 pixels (columns 100 and 50).
const LayoutCase kLayouts[] = {
    {"thumbnail rows", V::elsThumbnail, {Numbered(7)}, {}, 300,
     {{"0", {0, 0, 125, 143}, 0, 0}, {"2", {250, 0, 375, 143}, 2, 2}, {"3", {0, 143, 125, 286}, 3, 3},
      {"6", {0, 286, 125, 429}, 6, 6}},
     {{0, 0, 382, 429}}, {{3, 3}}},
    // Hidden items take no cell: each stands, without width, where the next shown one does; the
    // row count still counts them.
    {"thumbnail hidden items", V::elsThumbnail, {{"0", "-1", "2", "3", "4", "-5", "6"}}, {}, 300,
     {{"0", {0, 0, 125, 143}, 0, 0}, {"-1", {125, 0, 125, 143}, -1, -1}, {"2", {125, 0, 250, 143}, 1, 1},
      {"3", {250, 0, 375, 143}, 2, 2}, {"4", {0, 143, 125, 286}, 3, 3}, {"-5", {125, 143, 125, 286}, -1, -1},
      {"6", {125, 143, 250, 286}, 4, 4}},
     {{0, 0, 382, 286}}, {{3, 3}}},
    // Side margins leave (382 - 16) div 125 = 2 columns; cells start at (10, 20); the group holds
    // its top and bottom margins around three rows.
    {"thumbnail margins", V::elsThumbnail, {Numbered(5)}, {10, 6, 20, 30}, 300,
     {{"0", {10, 20, 135, 163}, 0, 0}, {"1", {135, 20, 260, 163}, 1, 1}, {"4", {10, 306, 135, 449}, 4, 4}},
     {{0, 0, 382, 479}}, {{2, 3}}},
    // Groups stack; the visible index runs on across them.
    {"thumbnail groups", V::elsThumbnail, {Numbered(4), Numbered(2, 4)}, {}, 300,
     {{"3", {0, 143, 125, 286}, 3, 3}, {"4", {0, 286, 125, 429}, 4, 0}, {"5", {125, 286, 250, 429}, 5, 1}},
     {{0, 0, 382, 286}, {0, 286, 382, 429}}, {{3, 2}, {3, 1}}},
    {"icon cells", V::elsIcon, {Numbered(6)}, {}, 300,
     {{"4", {300, 0, 375, 75}, 4, 4}, {"5", {0, 75, 75, 150}, 5, 5}}, {{0, 0, 382, 150}}, {{5, 2}}},
    {"tile cells", V::elsTile, {Numbered(3)}, {}, 300,
     {{"1", {0, 58, 218, 116}, 1, 1}}, {{0, 0, 382, 174}}, {{1, 3}}},
    {"small icon cells", V::elsSmallIcon, {Numbered(3)}, {}, 300,
     {{"1", {0, 17, 200, 34}, 1, 1}, {"2", {0, 34, 200, 51}, 2, 2}}, {{0, 0, 382, 51}}, {{1, 3}}},
    // A height that is an exact multiple of the cell (306 = 18 × 17) holds that many rows.
    {"list exact multiple", V::elsList, {Numbered(20)}, {}, 306,
     {{"17", {0, 289, 200, 306}, 17, 17}, {"18", {200, 0, 400, 17}, 18, 18}, {"19", {200, 17, 400, 34}, 19, 19}},
     {{0, 0, 400, 306}}, {{2, 18}}},
    {"list one short", V::elsList, {Numbered(18)}, {}, 305,
     {{"16", {0, 272, 200, 289}, 16, 16}, {"17", {200, 0, 400, 17}, 17, 17}}, {{0, 0, 400, 305}}, {{2, 17}}},
    // Groups side by side; the second starts at the first one's right edge.
    {"list groups", V::elsList, {Numbered(3), Numbered(2, 3)}, {}, 306,
     {{"3", {200, 0, 400, 17}, 3, 0}, {"4", {200, 17, 400, 34}, 4, 1}},
     {{0, 0, 200, 306}, {200, 0, 400, 306}}, {{1, 18}, {1, 18}}},
    // (306 - 50) div 17 = 15 rows between the margins; the 16th item opens the second column.
    {"list margins", V::elsList, {Numbered(16)}, {10, 6, 20, 30}, 306,
     {{"0", {10, 20, 210, 37}, 0, 0}, {"14", {10, 258, 210, 275}, 14, 14}, {"15", {210, 20, 410, 37}, 15, 15}},
     {{0, 0, 416, 306}}, {{2, 15}}},
    // A hidden item at a column's end leaves no hole at the next column's top.
    {"list hidden at column end", V::elsList, {{"a", "b", "c", "-d", "e"}}, {}, 51,
     {{"c", {0, 34, 200, 51}, 2, 2}, {"-d", {200, 0, 200, 17}, -1, -1}, {"e", {200, 0, 400, 17}, 3, 3}},
     {{0, 0, 400, 51}}, {{2, 3}}},
    {"film strip", V::elsFilmStrip, {Numbered(3)}, {}, 300,
     {{"0", {0, 0, 125, 143}, 0, 0}, {"1", {0, 143, 125, 286}, 1, 1}, {"2", {125, 0, 250, 143}, 2, 2}},
     {{0, 0, 250, 300}}, {{2, 2}}},
    // Report: the first group starts 2 pixels down; only the last ends 4 pixels below its rows.
    {"report groups", V::elsReport, {Numbered(2), Numbered(1, 2)}, {}, 300,
     {{"0", {0, 2, 150, 19}, 0, 0}, {"1", {0, 19, 150, 36}, 1, 1}, {"2", {0, 36, 150, 53}, 2, 0}},
     {{0, 2, 150, 36}, {0, 36, 150, 57}}, {{1, 2}, {1, 1}}},
    {"report hidden item", V::elsReport, {{"a", "-b", "c"}}, {}, 300,
     {{"a", {0, 2, 150, 19}, 0, 0}, {"-b", {0, 19, 150, 19}, -1, -1}, {"c", {0, 19, 150, 36}, 1, 1}},
     {{0, 2, 150, 40}}, {{1, 2}}},
    // Rows keep the side margins; the last group keeps its footer and 4 pixels below it.
    {"report margins", V::elsReport, {Numbered(2)}, {10, 5, 20, 30}, 300,
     {{"0", {10, 22, 145, 39}, 0, 0}, {"1", {10, 39, 145, 56}, 1, 1}}, {{0, 2, 150, 90}}, {{1, 2}}},
    {"report thumb", V::elsReportThumb, {Numbered(2)}, {}, 300,
     {{"1", {0, 92, 150, 182}, 1, 1}}, {{0, 2, 150, 186}}, {{1, 2}}},
};

TEST_F(GridTest, EveryViewLaysItsCellsOut) {
  for (const LayoutCase& c : kLayouts) {
    SCOPED_TRACE(c.Name);
    MakeList();
    LV->GetScrollbars()->SetHorzEnabled(false);
    LV->SetClientWidth(400);
    LV->SetClientHeight(c.ClientHeight);
    ASSERT_EQ(LV->GetClientWidth(), 400);
    ASSERT_EQ(LV->GetClientHeight(), c.ClientHeight);
    if (c.View == V::elsReport || c.View == V::elsReportThumb) Columns({100, 50});
    Build(c.View, c.Groups, c.Margin);
    for (const Placed& p : c.Items) {
      SCOPED_TRACE(p.Item);
      TEmberItem* item = Item(p.Item);
      ASSERT_NE(item, nullptr);
      EXPECT_EQ(Str(item->GetDisplayRect()), Str(p.Rect));
      EXPECT_EQ(item->GetVisibleIndex(), p.VisibleIndex);
      EXPECT_EQ(item->GetVisibleIndexInGroup(), p.VisibleIndexInGroup);
    }
    for (size_t g = 0; g < c.GroupRects.size(); ++g) {
      SCOPED_TRACE("group " + std::to_string(g));
      EXPECT_EQ(Str(Group(static_cast<Integer>(g))->GetDisplayRect()), Str(c.GroupRects[g]));
      TEmberGridGroup* grid = Group(static_cast<Integer>(g))->GetGrid();
      EXPECT_EQ(grid->GetColumnCount(), c.ColumnsRows[g].first);
      EXPECT_EQ(grid->GetRowCount(), c.ColumnsRows[g].second);
    }
  }
}

TEST_F(GridTest, TheRowWidthDoesNotChangeWhenTheVerticalBarAppears) {
  Build(V::elsThumbnail, {Numbered(7)});
  const TRect before = Item("2")->GetDisplayRect();
  ShowScrollBar(LV->Handle(), SB_VERT, true);
  ASSERT_EQ(LV->GetClientWidth(), 383);
  LV->GetGroups()->Rebuild(true);
  EXPECT_EQ(Str(Item("2")->GetDisplayRect()), Str(before));
  EXPECT_EQ(Group(0)->GetGrid()->GetColumnCount(), 3);
  EXPECT_EQ(Group(0)->GetDisplayRect().Right, 382);
}

TEST_F(GridTest, AClientNarrowerThanACellStillHoldsOneColumn) {
  LV->SetClientWidth(100);
  Build(V::elsThumbnail, {Numbered(2)}, {10, 6, 0, 0});
  EXPECT_EQ(Group(0)->GetGrid()->GetColumnCount(), 1);
  EXPECT_EQ(Str(Group(0)->GetDisplayRect()), Str({0, 0, 141, 286}));  // 125 + 10 + 6 wide
  EXPECT_EQ(Str(Item("1")->GetDisplayRect()), Str({10, 143, 135, 286}));
}

TEST_F(GridTest, CollapsedHiddenAndEmptyGroups) {
  struct Case {
    const char* Name;
    V View;
    void (*Change)(TEmberGroup*);
    TRect First;   // the changed first group
    TRect Second;  // the group after it
  };
  const Case cases[] = {
      // Collapsed: only its margins (20 + 30) remain.
      {"collapsed thumbnail", V::elsThumbnail, [](TEmberGroup* g) { g->SetExpanded(false); }, {0, 0, 382, 50},
       {0, 50, 382, 243}},
      {"only hidden items", V::elsThumbnail,
       [](TEmberGroup* g) {
         for (Integer i = 0; i < g->GetItemCount(); ++i) g->GetItem(i)->SetVisible(false);
       },
       {0, 0, 382, 50}, {0, 50, 382, 243}},
      // A hidden group takes no room at all, margins included.
      {"hidden thumbnail", V::elsThumbnail, [](TEmberGroup* g) { g->SetVisible(false); }, {0, 0, 382, 0},
       {0, 0, 382, 193}},
      {"collapsed report", V::elsReport, [](TEmberGroup* g) { g->SetExpanded(false); }, {0, 2, 150, 52},
       {0, 52, 150, 140}},
      {"hidden report", V::elsReport, [](TEmberGroup* g) { g->SetVisible(false); }, {0, 2, 150, 2},
       {0, 2, 150, 90}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    MakeList();
    LV->SetClientWidth(400);
    LV->SetClientHeight(300);
    if (c.View == V::elsReport) Columns({100, 50});
    LV->GetPaintInfoGroup()->SetExpandable(true);
    Build(c.View, {Numbered(2), {"x", "y"}}, {0, 0, 20, 30});
    c.Change(Group(0));
    EXPECT_EQ(Str(Group(0)->GetDisplayRect()), Str(c.First));
    EXPECT_EQ(Str(Group(1)->GetDisplayRect()), Str(c.Second));
    EXPECT_EQ(Group(0)->GetVisibleCount(), 0);
    EXPECT_EQ(Group(0)->GetGrid()->GetRowCount(), 0);
    EXPECT_EQ(Item("0")->GetVisibleIndexInGroup(), -1);
    EXPECT_EQ(Item("x")->GetVisibleIndex(), 0);
    // Nothing of the changed group is found under a point.
    TEmberItem* at = LV->GetGroups()->ItemByPoint({5, c.First.Top + 25});
    EXPECT_TRUE(!at || at->GetOwnerGroup() != Group(0)) << Name(at);
  }
}

// A list group without items is as wide as its caption as it is painted: a bold caption, 8 pixels
// a character where the plain one takes 6, widens it by 2 pixels a character.
TEST_F(GridTest, AnEmptyListGroupIsAsWideAsItsCaptionIsPainted) {
  pf::TFixedFontMetrics plain;
  pf::TFixedFontMetrics bold = plain;
  plain.Advance = 6;
  bold.Advance = 8;
  const pf::TFontSourceFactory normal = pf::FixedFontSourceFactory(plain), wide = pf::FixedFontSourceFactory(bold);
  // Fonts take their source when they are made, the bold one too: the factory stays to the end.
  pf::SetFontSourceFactory([normal, wide](const LOGFONTW& lf) { return lf.lfWeight >= 700 ? wide(lf) : normal(lf); });
  struct Reset {
    ~Reset() { pf::SetFontSourceFactory(nullptr); }
  } reset;
  MakeList();
  LV->SetClientWidth(400);
  LV->SetClientHeight(306);
  Build(V::elsList, {{}, Numbered(1)});
  Group(0)->SetCaption(u"Holiday");  // 7 characters
  LV->GetGroups()->Rebuild(true);
  const Integer plainWidth = Group(0)->GetDisplayRect().Width();
  Group(0)->SetBold(true);
  LV->GetGroups()->Rebuild(true);
  EXPECT_EQ(Group(0)->GetDisplayRect().Width(), plainWidth + 7 * 2);
  EXPECT_EQ(Group(1)->GetDisplayRect().Left, Group(0)->GetDisplayRect().Right);
}

TEST_F(GridTest, HidingAGroupDeselectsItsItemsAndCollapsingMovesTheFocusOn) {
  LV->GetSelection()->SetMultiSelect(true);
  LV->GetPaintInfoGroup()->SetExpandable(true);
  Build(V::elsThumbnail, {{"a", "b"}, {"c", "d"}, {"e"}});
  Item("a")->SetSelected(true);
  Item("b")->SetSelected(true);
  Item("b")->SetFocused(true);
  Group(0)->SetExpanded(false);
  EXPECT_EQ(Name(LV->GetSelection()->GetFocusedItem()), "c");
  Item("d")->SetSelected(true);
  Group(1)->SetVisible(false);
  EXPECT_EQ(LV->GetSelection()->GetFocusedItem(), nullptr);
  EXPECT_FALSE(Item("d")->GetSelected());
  EXPECT_FALSE(Item("c")->GetSelected());
}

TEST_F(GridTest, TheGridViewFillsTheHeaderColumns) {
  Columns({100, 60, 40});
  Build(V::elsGrid, {Numbered(4), Numbered(1, 4)});
  EXPECT_EQ(Str(Item("0")->GetDisplayRect()), Str({0, 0, 100, 17}));
  EXPECT_EQ(Str(Item("1")->GetDisplayRect()), Str({100, 0, 160, 17}));
  EXPECT_EQ(Str(Item("2")->GetDisplayRect()), Str({160, 0, 200, 17}));
  EXPECT_EQ(Str(Item("3")->GetDisplayRect()), Str({0, 17, 100, 34}));
  EXPECT_EQ(Str(Group(0)->GetDisplayRect()), Str({0, 0, 200, 34}));
  EXPECT_EQ(Str(Item("4")->GetDisplayRect()), Str({0, 34, 100, 51}));
  EXPECT_EQ(Group(0)->GetGrid()->GetColumnCount(), 3);
  EXPECT_EQ(Group(0)->GetGrid()->GetRowCount(), 2);
  EXPECT_EQ(LV->GetHeader()->ViewWidth(), 200);
}

// ---- The cell under a point and the first cell in a rectangle ----

struct PointCase {
  TPoint At;
  const char* Expected;  // nullptr: none
};

TEST_F(GridTest, TheItemUnderAPointAtCellEdges) {
  struct ViewCase {
    const char* Name;
    V View;
    Integer Items;
    Integer ClientHeight;
    std::vector<PointCase> Points;
  };
  const ViewCase cases[] = {
      // 3 columns of 125 × 143; right and bottom edges belong to the next cell.
      {"thumbnail", V::elsThumbnail, 7, 300,
       {{{0, 0}, "0"}, {{124, 142}, "0"}, {{125, 0}, "1"}, {{124, 143}, "3"}, {{374, 285}, "5"},
        {{375, 0}, nullptr}, {{-1, 0}, nullptr}, {{0, -1}, nullptr}, {{124, 428}, "6"}, {{125, 286}, nullptr},
        {{0, 429}, nullptr}}},
      // 18 rows of 17 in columns of 200.
      {"list", V::elsList, 20, 306,
       {{{199, 16}, "0"}, {{200, 0}, "18"}, {{399, 33}, "19"}, {{200, 34}, nullptr}, {{0, 305}, "17"},
        {{0, 306}, nullptr}, {{400, 0}, nullptr}}},
      // Rows from y = 2, 150 wide.
      {"report", V::elsReport, 3, 300,
       {{{0, 2}, "0"}, {{149, 18}, "0"}, {{0, 19}, "1"}, {{0, 1}, nullptr}, {{150, 5}, nullptr},
        {{0, 53}, nullptr}, {{0, 52}, "2"}}},
  };
  for (const ViewCase& c : cases) {
    SCOPED_TRACE(c.Name);
    MakeList();
    LV->SetClientWidth(400);
    LV->SetClientHeight(c.ClientHeight);
    if (c.View == V::elsReport) Columns({100, 50});
    Build(c.View, {Numbered(c.Items)});
    for (const PointCase& p : c.Points) {
      SCOPED_TRACE(std::to_string(p.At.X) + "," + std::to_string(p.At.Y));
      TEmberItem* found = Group(0)->ItemByPoint(p.At);
      EXPECT_EQ(found ? Name(found) : std::string("nil"), p.Expected ? p.Expected : "nil");
    }
  }
}

// The arithmetic agrees with the items' rectangles at every point, across groups, with hidden
// items and margins.
TEST_F(GridTest, TheArithmeticAgreesWithTheCellsEverywhere) {
  for (V view : {V::elsThumbnail, V::elsList, V::elsReport, V::elsGrid, V::elsSmallIcon}) {
    SCOPED_TRACE(static_cast<int>(view));
    MakeList();
    LV->SetClientWidth(400);
    LV->SetClientHeight(120);
    Columns({70, 50});
    Build(view, {{"a", "-b", "c", "d", "e", "f"}, {"g", "h", "-i"}, {"j", "k", "l", "m"}}, {3, 4, 5, 6});
    const TRect view_ = LV->GetGroups()->ViewRect();
    for (Integer y = -2; y < view_.Bottom + 3; y += 1) {
      for (Integer x = -2; x < view_.Right + 3; x += 3) {
        TEmberItem* expected = nullptr;
        TEmberGroup* g = LV->GetGroups()->GroupByPoint({x, y});
        for (Integer i = 0; g && i < g->GetItemCount() && !expected; ++i)
          if (g->GetItem(i)->GetVisible() && PtInRectEx(g->GetItem(i)->GetDisplayRect(), {x, y})) expected = g->GetItem(i);
        ASSERT_EQ(g ? g->ItemByPoint({x, y}) : nullptr, expected) << x << "," << y;
      }
    }
    // First item in a band of rectangles moved over the view.
    for (Integer y = -20; y < view_.Bottom; y += 7) {
      for (Integer x = -20; x < view_.Right; x += 11) {
        const TRect r{x, y, x + 37, y + 13};
        TEmberItem* expected = nullptr;
        for (TEmberItem* i = LV->GetGroups()->FirstVisibleItem(); i && !expected; i = LV->GetGroups()->NextVisibleItem(i)) {
          TRect cell = i->GetDisplayRect(), meet;
          if (view == V::elsReport) {
            cell.Left = LV->GetHeader()->GetViewRect().Left;
            cell.Right = LV->GetHeader()->GetViewRect().Right;
          }
          if (IntersectRectEx(meet, cell, r)) expected = i;
        }
        ASSERT_EQ(Name(LV->GetGroups()->FirstItemInRect(r)), Name(expected)) << Str(r);
      }
    }
  }
}

// ---- Keyboard moves ----

struct MoveCase {
  const char* From;
  D Dir;
  const char* To;  // nullptr: none
};

TEST_F(GridTest, AdjacentItemsOfTheRowGrid) {
  // G0: 0..6 in 3 columns (rows at 0, 143, 286); G1: 7 and 8 at y = 429.
  Build(V::elsThumbnail, {Numbered(7), Numbered(2, 7)});
  const MoveCase moves[] = {
      {"0", D::acdLeft, nullptr}, {"3", D::acdLeft, "2"},   {"6", D::acdRight, "7"}, {"7", D::acdLeft, "6"},
      {"8", D::acdRight, nullptr}, {"4", D::acdUp, "1"},   {"1", D::acdUp, nullptr},
      {"8", D::acdUp, "4"},        // column 1 of G0's last row holding it
      {"7", D::acdUp, "6"},        {"1", D::acdDown, "4"}, {"3", D::acdDown, "6"},
      {"6", D::acdDown, "7"},      {"8", D::acdDown, nullptr},
      // A page is 300 pixels: from row 0 down to the row at 286; a missing cell steps left.
      {"0", D::acdPageDown, "6"},  {"1", D::acdPageDown, "6"}, {"8", D::acdPageUp, "4"},
      {"4", D::acdPageUp, "1"},    // held at the first group's top
  };
  for (const MoveCase& m : moves) {
    SCOPED_TRACE(std::string(m.From) + " dir " + std::to_string(static_cast<int>(m.Dir)));
    EXPECT_EQ(Name(LV->GetGroups()->AdjacentItem(Item(m.From), m.Dir)), m.To ? m.To : "nil");
  }
}

TEST_F(GridTest, AdjacentItemsOfTheListGrid) {
  LV->SetClientHeight(306);  // 18 rows
  Build(V::elsList, {Numbered(20), Numbered(2, 20)});
  const MoveCase moves[] = {
      {"0", D::acdRight, "18"},     {"18", D::acdLeft, "0"},    {"1", D::acdRight, "19"},
      {"2", D::acdRight, nullptr},  // no group holds row 2 after
      {"18", D::acdRight, "20"},    {"21", D::acdLeft, "19"},   {"18", D::acdUp, "17"},
      {"19", D::acdDown, "20"},     {"20", D::acdUp, "19"},     {"3", D::acdPageDown, "17"},
      {"18", D::acdPageDown, "19"}, {"19", D::acdPageUp, "18"}, {"17", D::acdPageUp, "0"},
  };
  for (const MoveCase& m : moves) {
    SCOPED_TRACE(std::string(m.From) + " dir " + std::to_string(static_cast<int>(m.Dir)));
    EXPECT_EQ(Name(LV->GetGroups()->AdjacentItem(Item(m.From), m.Dir)), m.To ? m.To : "nil");
  }
}

TEST_F(GridTest, AdjacentItemsOfTheReportGrid) {
  Columns({100, 50});
  // Rows at 2 + 17k; the client shows 300 pixels.
  Build(V::elsReport, {Numbered(25), Numbered(5, 25)});
  const MoveCase moves[] = {
      {"24", D::acdDown, "25"}, {"25", D::acdUp, "24"}, {"29", D::acdDown, nullptr},
      {"0", D::acdPageDown, "17"},  // 298 lies in row 17
      {"17", D::acdPageDown, "29"}, // itself: again from 291 + 299 = 590 upwards, to row 29 at 495
      {"29", D::acdPageUp, "0"},    // 1 lies above the rows; 18 lies in row 0
      {"0", D::acdPageUp, nullptr}, // itself, and nothing above it
  };
  for (const MoveCase& m : moves) {
    SCOPED_TRACE(std::string(m.From) + " dir " + std::to_string(static_cast<int>(m.Dir)));
    EXPECT_EQ(Name(LV->GetGroups()->AdjacentItem(Item(m.From), m.Dir)), m.To ? m.To : "nil");
  }
}

TEST_F(GridTest, AHiddenItemHasNoAdjacentItem) {
  Build(V::elsThumbnail, {{"a", "-b"}});
  EXPECT_EQ(LV->GetGroups()->AdjacentItem(nullptr, D::acdLeft), nullptr);
  try {
    Group(0)->GetGrid()->AdjacentItem(Item("-b"), D::acdLeft);
    ADD_FAILURE() << "no assertion";
  } catch (const EAssertionFailed& e) {
    const std::string text = e.Message().empty() ? std::string() : std::string(e.Message().begin(), e.Message().end());
    EXPECT_NE(text.find("Can not find TEmberGroups.AdjacentItem of an Invisible Item"), std::string::npos) << text;
  }
}

TEST_F(GridTest, ADropOnAThumbnailsRightHalfInsertsAfterIt) {
  Build(V::elsThumbnail, {Numbered(3)});
  struct Case {
    TPoint At;
    Integer Index;
  };
  // The first cell is 125 wide: its middle is at 125 div 2 = 62.
  for (Case c : {Case{{61, 10}, 0}, Case{{62, 10}, 1}, Case{{125, 10}, 1}, Case{{250 + 62, 140}, 3}, Case{{380, 10}, -1}}) {
    SCOPED_TRACE(c.At.X);
    TEmberGroup* group = nullptr;
    Integer index = 99;
    Group(0)->GetGrid()->FindInsertPosition(c.At, group, index);
    EXPECT_EQ(group, Group(0));
    EXPECT_EQ(index, c.Index);
  }
  // Views that insert nowhere leave both untouched.
  LV->SetView(V::elsTile);
  TEmberGroup* group = nullptr;
  Integer index = 99;
  Group(0)->GetGrid()->FindInsertPosition({10, 10}, group, index);
  EXPECT_EQ(group, nullptr);
  EXPECT_EQ(index, 99);
}

// A view with fixed parts: check box 10 wide, picture 16, state picture 4, and a full caption
// reaching 12 pixels below the cell.
class TFixedPartsView : public TEmberViewItem {
  EMBER_REF_CLASS(TFixedPartsView, TEmberViewItem, TEmberViewItem, TEmberGroup*)
public:
  void ItemRectArray(TEmberItem* Item, TEmberColumn*, TCanvas*, const WideString&, TEmberRectArrayObject& RectArray) override {
    RectArray = TEmberRectArrayObject{};
    const TRect d = Item->GetDisplayRect();
    RectArray.BoundsRect = d;
    RectArray.CheckRect = TRect{d.Left, d.Top, d.Left + 10, d.Bottom};
    RectArray.IconRect = TRect{d.Left + 10, d.Top, d.Left + 26, d.Bottom};
    RectArray.StateRect = TRect{d.Left + 26, d.Top, d.Left + 30, d.Bottom};
    RectArray.LabelRect = TRect{d.Left + 30, d.Top, d.Right, d.Bottom};
    RectArray.FullTextRect = TRect{d.Left + 30, d.Top, d.Right, d.Bottom + 12};
  }
};

TEST_F(GridTest, AFocusedCaptionInTheLastGroupIsNotCut) {
  LV->OnItemCustomView = [](TCustomEmberListview*, TEmberItem*, TEmberListStyle, const TEmberViewItemClass*& v) {
    v = &TFixedPartsView::StaticClass();
  };
  Build(V::elsThumbnail, {Numbered(4), Numbered(4, 4)});  // rows 0..286 and 286..572
  struct Case {
    bool ResizeGroupOnFocus;
    const char* Focus;
    Integer FirstBottom, LastBottom;
    V View{V::elsThumbnail};
  };
  // Only the last group grows unless every group may, and only for an item whose caption reaches
  // past the group's end; the groups after a grown one move down with it. The report rows never
  // grow a group: rows of 17 (90 for report thumbnails) from 2 down, 4 more below the last group.
  const Case cases[] = {{false, "1", 286, 572}, {false, "3", 286, 572}, {false, "7", 286, 584},
                        {false, "4", 286, 572}, {true, "3", 298, 584},  {true, "1", 286, 572},
                        {true, "7", 286, 584},  {false, "7", 70, 142, V::elsReport},
                        {true, "3", 70, 142, V::elsReport}, {true, "7", 362, 726, V::elsReportThumb}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Focus) + (c.ResizeGroupOnFocus ? " any group" : " last group") + " in view " +
                 std::to_string(static_cast<int>(c.View)));
    LV->SetView(c.View);
    LV->GetSelection()->SetResizeGroupOnFocus(c.ResizeGroupOnFocus);
    Item(c.Focus)->SetFocused(true);
    LV->GetGroups()->Rebuild(true);
    EXPECT_EQ(Group(0)->GetDisplayRect().Bottom, c.FirstBottom);
    EXPECT_EQ(Group(1)->GetDisplayRect().Bottom, c.LastBottom);
  }
}

// The cell of an auto-sized view is as wide as the shown item with the most characters needs:
// its check box, pictures and caption (8 pixels a character) and 18 more.
TEST_F(GridTest, AutoSizedCellsFitTheLongestCaption) {
  pf::SetFontSourceFactory(pf::FixedFontSourceFactory(pf::TFixedFontMetrics{}));
  MakeList();
  LV->SetClientWidth(400);
  LV->SetClientHeight(306);
  LV->OnItemCustomView = [](TCustomEmberListview*, TEmberItem*, TEmberListStyle, const TEmberViewItemClass*& v) {
    v = &TFixedPartsView::StaticClass();
  };
  LV->GetCellSizes()->GetList()->SetAutoSizeCaption(true);
  Build(V::elsList, {{"a", "abcd", "xyz", "-abcdefgh", "wxyz"}});
  pf::SetFontSourceFactory(nullptr);
  EXPECT_EQ(LV->GetCellSizes()->GetList()->GetWidth(), 10 + 16 + 4 + 32 + 18);
  EXPECT_EQ(Str(Item("xyz")->GetDisplayRect()), Str({0, 34, 80, 51}));
}

// A column resize lays the groups out on every mouse move; the cell is measured again only once
// the resize ends.
TEST_F(GridTest, AutoSizedCellsWaitForAColumnResizeToEnd) {
  pf::SetFontSourceFactory(pf::FixedFontSourceFactory(pf::TFixedFontMetrics{}));
  MakeList();
  LV->SetBorderStyle(TBorderStyle::bsNone);
  LV->SetClientWidth(400);
  LV->SetClientHeight(306);
  LV->OnItemCustomView = [](TCustomEmberListview*, TEmberItem*, TEmberListStyle, const TEmberViewItemClass*& v) {
    v = &TFixedPartsView::StaticClass();
  };
  TEmberHeader* h = LV->GetHeader();
  h->SetAutoSizeHeight(false);
  h->SetHeight(21);
  h->SetVisible(true);
  Columns({100});
  TEmberCellSize* cell = LV->GetCellSizes()->GetReport();
  cell->SetAutoSizeCaption(true);
  Build(V::elsReport, {{"a", "abcd"}});
  auto mouse = [h](UINT msg, TPoint p, WPARAM keys) {
    TMessage m{msg, keys, static_cast<LPARAM>((p.X & 0xFFFF) | ((p.Y & 0xFFFF) << 16)), 0};
    if (msg == WM_MOUSEMOVE) h->WMMouseMove(m);
    if (msg == WM_LBUTTONDOWN) h->WMLButtonDown(m);
    if (msg == WM_LBUTTONUP) h->WMLButtonUp(m);
  };
  const Integer four = 10 + 16 + 4 + 32 + 18, eight = 10 + 16 + 4 + 64 + 18;
  EXPECT_EQ(cell->GetWidth(), four);
  mouse(WM_MOUSEMOVE, {102, 10}, 0);
  mouse(WM_LBUTTONDOWN, {102, 10}, MK_LBUTTON);
  EXPECT_TRUE(h->GetState().Contains(TEmberHeaderState::ehsResizing));
  Item("abcd")->SetCaption(u"abcdefgh");
  mouse(WM_MOUSEMOVE, {130, 10}, MK_LBUTTON);
  EXPECT_EQ(h->GetColumns()->GetColumn(0)->GetWidth(), 130) << "the resize laid the groups out";
  EXPECT_EQ(cell->GetWidth(), four) << "measured during the resize";
  mouse(WM_LBUTTONUP, {130, 10}, 0);
  LV->GetGroups()->Rebuild(true);
  pf::SetFontSourceFactory(nullptr);
  EXPECT_EQ(cell->GetWidth(), eight);
}

TEST_F(GridTest, TheFilmStripSnapsToItsOwnCell) {
  Build(V::elsFilmStrip, {Numbered(1)});
  EXPECT_EQ(LV->GetScrollbars()->SnapWidth(), 125);
  LV->SetView(V::elsList);
  EXPECT_EQ(LV->GetScrollbars()->SnapWidth(), 200);
}

}  // namespace
}  // namespace lvtest
