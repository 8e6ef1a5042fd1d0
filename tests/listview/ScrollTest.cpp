// Scroll arithmetic on the window's own scroll bars, worked out by hand for a 400 x 300 control
// without a border (bars 17 pixels): a vertical view under a 21-pixel header, the list view that
// scrolls by whole 200-pixel cells, and the film strip that scrolls by its 125-pixel cells.
#include "UniformCells.h"
#include "platform/user/User.h"

namespace lvtest {
namespace {

struct ScrollEvent {
  std::string What;
  Integer X, Y;
  bool operator==(const ScrollEvent&) const = default;
};

class ScrollTest : public ListviewTest {
public:
  // `count` items in rows of `columns` cells of w x h, in the given view.
  void Build(TEmberListStyle view, Integer count, Integer columns, Integer w, Integer h, bool header = false,
             Integer controlHeight = 300) {
    MakeList();
    LV->SetBorderStyle(TBorderStyle::bsNone);
    LV->SetBounds(0, 0, 400, controlHeight);
    LV->SetView(view);
    if (header) {
      LV->GetHeader()->SetAutoSizeHeight(false);
      LV->GetHeader()->SetHeight(21);
      LV->GetHeader()->SetVisible(true);
    }
    UseUniformCells(LV, columns, w, h);
    LV->BeginUpdate();
    TEmberGroup* g = LV->GetGroups()->Add();
    for (Integer i = 0; i < count; ++i) g->GetItems()->Add();
    LV->EndUpdate();
    SB = LV->GetScrollbars();
    LV->OnScroll = [this](TCustomEmberListview*, Integer dx, Integer dy) { Events.push_back({"scroll", dx, dy}); };
    LV->OnScrollEnd = [this](TCustomEmberListview*, TEmberScrollbarDir d) {
      Events.push_back({d == TEmberScrollbarDir::esdHorizontal ? "end horz" : "end vert", 0, 0});
    };
  }
  void Send(bool vertical, WPARAM code) {
    TMessage m{vertical ? WM_VSCROLL : WM_HSCROLL, code, 0, 0};
    if (vertical)
      SB->WMVScroll(m);
    else
      SB->WMHScroll(m);
  }
  SCROLLINFO Bar(int bar) {
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    GetScrollInfo(LV->Handle(), bar, &si);
    return si;
  }

  TEmberScrollbarManager* SB{nullptr};
  std::vector<ScrollEvent> Events;
};

TEST_F(ScrollTest, VerticalViewUnderTheHeader) {
  // 100 rows of 17: view height 1700; with the header 1720 > 300, so the vertical bar shows and
  // the client is 383 x 300. Maximum offset 1700 - 300 + 21 = 1421.
  Build(TEmberListStyle::elsReport, 100, 1, 380, 17, true);
  EXPECT_TRUE(SB->VertBarVisible());
  EXPECT_FALSE(SB->HorzBarVisible());
  EXPECT_EQ(LV->GetClientWidth(), 383);
  EXPECT_EQ(SB->MaxOffsetY(), 1421);
  SCROLLINFO si = Bar(SB_VERT);
  EXPECT_EQ(si.nMax, 1720);
  EXPECT_EQ(si.nPage, 300u);
  struct Step {
    WPARAM code;
    Integer offset;
    std::vector<ScrollEvent> events;
  } steps[] = {
      {SB_LINEDOWN, 17, {{"scroll", 0, -17}}},
      {SB_PAGEDOWN, 317, {{"scroll", 0, -300}}},
      {SB_LINEUP, 300, {{"scroll", 0, 17}}},
      {SB_BOTTOM, 1421, {{"scroll", 0, -1121}}},
      {SB_LINEDOWN, 1421, {}},  // at the end: nothing moves, nothing is announced
      {SB_ENDSCROLL, 1421, {{"end vert", 0, 0}}},
      {SB_PAGEUP, 1121, {{"scroll", 0, 300}}},
      {SB_TOP, 0, {{"scroll", 0, 1121}}},
      {SB_PAGEUP, 0, {}},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.code);
    Events.clear();
    Send(true, s.code);
    EXPECT_EQ(SB->GetOffsetY(), s.offset);
    EXPECT_EQ(Events, s.events);
    EXPECT_EQ(Bar(SB_VERT).nPos, s.offset) << "the bar follows the offset";
  }
  // Points below the header map into the view by the offset and the header.
  SB->SetOffsetY(17);
  EXPECT_EQ(SB->MapWindowToView(TPoint{10, 30}), (TPoint{10, 26}));
  EXPECT_EQ(SB->MapViewToWindow({10, 26}), (TPoint{10, 30}));
  EXPECT_EQ(SB->MapWindowToView(TPoint{10, 30}, false), (TPoint{10, 47}));
  // A point as a mouse message packs it, also left of and above the window.
  EXPECT_EQ(SB->MapWindowToView(TSmallPoint{10, 30}), (TPoint{10, 26}));
  EXPECT_EQ(SB->MapWindowToView(TSmallPoint{-5, -3}, false), (TPoint{-5, 14}));
  // Page Up and Page Down by arithmetic: 279 pixels under the header hold 16 rows of 17.
  EXPECT_EQ(SB->RowsPerPage(), 16);
  EXPECT_EQ(SB->PageOffsetY(true), 317);
  EXPECT_EQ(SB->PageOffsetY(false), 0);
  SB->SetOffsetY(1300);
  EXPECT_EQ(SB->PageOffsetY(true), 1421);
}

TEST_F(ScrollTest, ListViewScrollsByWholeCells) {
  // Five cells of 200 in a row: view 1000 x 34, so only the horizontal bar shows (client
  // 400 x 283). Maximum offset 600, rounded down to whole cells plus one cell: 800.
  Build(TEmberListStyle::elsList, 10, 5, 200, 17);
  EXPECT_TRUE(SB->HorzBarVisible());
  EXPECT_FALSE(SB->VertBarVisible());
  EXPECT_EQ(SB->MaxOffsetX(), 800);
  EXPECT_EQ(Bar(SB_HORZ).nMax, 999);
  EXPECT_EQ(Bar(SB_HORZ).nPage, 400u);
  struct Step {
    WPARAM code;
    Integer offset;
    std::vector<ScrollEvent> events;
  } steps[] = {
      {SB_LINERIGHT, 200, {{"scroll", -200, 0}}},
      {SB_PAGERIGHT, 400, {{"scroll", -200, 0}}},
      {SB_PAGELEFT, 200, {{"scroll", 200, 0}}},
      {SB_RIGHT, 800, {{"scroll", -600, 0}}},
      {SB_ENDSCROLL, 800, {{"end horz", 0, 0}}},
      {SB_LEFT, 0, {{"scroll", 800, 0}}},
      {SB_LINELEFT, 0, {}},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.code);
    Events.clear();
    Send(false, s.code);
    EXPECT_EQ(SB->GetOffsetX(), s.offset);
    EXPECT_EQ(Events, s.events);
  }
  // Offsets set directly land on whole cells: a rest over half a cell goes up, and anything past
  // the last cell's start goes to the end.
  struct Snap {
    Integer set, offset;
  } snaps[] = {{250, 200}, {310, 400}, {100, 0}, {101, 200}, {900, 800}};
  for (const Snap& s : snaps) {
    SB->SetOffsetX(s.set);
    EXPECT_EQ(SB->GetOffsetX(), s.offset) << s.set;
  }
  Integer x = 900, y = 50;
  SB->ValidateOffsets(x, y);
  EXPECT_EQ(x, 800);
  EXPECT_EQ(y, 0) << "the view is lower than the client";
}

TEST_F(ScrollTest, FilmStripEndsOnItsOwnCells) {
  // Eight cells of 125: view 1000 wide, maximum 600 rounded to the film strip's cells: 500 + 125.
  Build(TEmberListStyle::elsFilmStrip, 8, 8, 125, 100);
  EXPECT_EQ(SB->SnapWidth(), 125);
  EXPECT_EQ(SB->MaxOffsetX(), 625);
  Send(false, SB_RIGHT);
  EXPECT_EQ(SB->GetOffsetX(), 625);
  EXPECT_EQ(SB->GetOffsetX() % 125, 0) << "the last offset is a whole cell, as every other";
  Send(false, SB_LINELEFT);
  EXPECT_EQ(SB->GetOffsetX(), 500);
  // Eight cells of 150: view 1200, overhang 800. Rounded to list cells of 45 the end would be
  // 810, which the next recalculation snaps back to the film strip's cell at 750, hiding 50
  // pixels of the last cell; rounded to the film strip's own cells it is 750 + 150.
  Build(TEmberListStyle::elsFilmStrip, 8, 8, 150, 100);
  LV->GetCellSizes()->GetList()->SetWidth(45);
  Send(false, SB_RIGHT);
  SB->ReCalculateScrollbars(true, true);
  EXPECT_EQ(SB->GetOffsetX(), 900);
  EXPECT_LE(1200, SB->GetOffsetX() + LV->GetClientWidth()) << "the last cell shows whole";
}

TEST_F(ScrollTest, WhenBarsShowAndWhenNothingScrolls) {
  struct Case {
    const char* what;
    Integer count, columns, h, controlHeight;
    bool horz, vert;
  } cases[] = {
      // 5 cells of 60: 300 x 60 fits the window.
      {"a view narrower than the window", 5, 5, 60, 300, false, false},
      // 10 rows of 10 cells: 600 x 600.
      {"wide and tall", 100, 10, 60, 300, true, true},
      // 600 x 10 in a control 17 pixels high, as high as a horizontal bar.
      {"a control no higher than a horizontal bar", 5, 10, 10, 17, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Build(TEmberListStyle::elsIcon, c.count, c.columns, 60, c.h, false, c.controlHeight);
    EXPECT_EQ(SB->HorzBarVisible(), c.horz);
    EXPECT_EQ(SB->VertBarVisible(), c.vert);
  }
  // Where the view fits, no code moves the window and nothing is announced.
  Build(TEmberListStyle::elsIcon, 5, 5, 60, 60);
  for (WPARAM code : {SB_LINERIGHT, SB_PAGERIGHT, SB_RIGHT, SB_THUMBTRACK, SB_LINEDOWN, SB_PAGEDOWN, SB_BOTTOM}) {
    Send(false, code);
    Send(true, code);
  }
  SB->Scroll(0, 0);
  SB->Scroll(-5, 40);
  EXPECT_EQ(SB->GetOffsetX(), 0);
  EXPECT_EQ(SB->GetOffsetY(), 0);
  EXPECT_TRUE(Events.empty());
}

TEST_F(ScrollTest, BarsWaitForTheEndOfAnUpdateAndFollowTheirSwitches) {
  Build(TEmberListStyle::elsIcon, 5, 5, 60, 60);
  LV->BeginUpdate();
  TEmberGroup* g = LV->GetGroups()->GetGroup(0);
  for (int i = 0; i < 100; ++i) g->GetItems()->Add();
  // A forced layout inside the update: 105 cells in rows of 5 are 1260 high, but the bars wait.
  LV->GetGroups()->Rebuild(true);
  EXPECT_EQ(SB->GetViewRect(), (TRect{0, 0, 300, 1260}));
  EXPECT_FALSE(SB->VertBarVisible());
  LV->EndUpdate();
  EXPECT_TRUE(SB->VertBarVisible());
  EXPECT_EQ(SB->MaxOffsetY(), 960);
  SB->SetVertEnabled(false);
  EXPECT_FALSE(SB->VertBarVisible());
  EXPECT_EQ(Bar(SB_VERT).nMax, 0);
  SB->SetVertEnabled(true);
  EXPECT_TRUE(SB->VertBarVisible());
  EXPECT_EQ(Bar(SB_VERT).nMax, 1259);
}

}  // namespace
}  // namespace lvtest
