// Scrolling while a drag rests near an edge, on the layer's manual clock: the delay, the steps,
// leaving and coming back; the keys that scroll during a band; the rubber band selecting across
// a scroll; and the band's paint by pixels.
#include <algorithm>

#include "UniformCells.h"
#include "platform/gdi/Bitmap.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Strings.h"
#include "platform/user/guimain/GuiTest.h"

namespace lvtest {
namespace {

using CS = TEmberControlState;

// Paints the control as its window does: the content, then what comes after it.
struct PaintAccess : TEmberListview {
  static void Paint(TCustomEmberListview* LV, TCanvas* C, const TRect& R) {
    C->GetBrush()->SetStyle(TBrushStyle::bsSolid);
    C->GetBrush()->SetColor(LV->GetColor());
    C->FillRect(R);
    (LV->*(&PaintAccess::DoPaintRect))(C, R, false, false);
    SelectClipRgn(C->GetHandle(), nullptr);
    (LV->*(&PaintAccess::DoAfterPaint))(C, R);
  }
};

class AutoScrollTest : public ListviewTest {
protected:
  void SetUp() override {
    ListviewTest::SetUp();
    pf::clock::UseManual(1000);
  }
  void TearDown() override {
    pf::clock::UseReal();
    ListviewTest::TearDown();
  }
  // 60 items in rows of four 90 x 50 cells in a 400 x 300 control without a border: the vertical
  // bar leaves a 383 x 300 client area over a view of 15 rows, 750 high, so the offset ends at
  // 750 - 300 = 450. The default zones are 15 pixels: below y 285 the bottom one.
  void Build(TEmberListStyle view = TEmberListStyle::elsThumbnail, Integer columns = 4, Integer w = 90,
             Integer h = 50) {
    MakeList();
    LV->SetBorderStyle(TBorderStyle::bsNone);
    LV->SetBounds(0, 0, 400, 300);
    LV->SetView(view);
    UseUniformCells(LV, columns, w, h);
    LV->BeginUpdate();
    TEmberGroup* g = LV->GetGroups()->Add();
    for (Integer i = 0; i < 60; ++i) g->GetItems()->Add()->SetCaption(u"i" + pf::IntToStr(i));
    LV->EndUpdate();
    LV->GetSelection()->SetMultiSelect(true);
    LV->GetDragRect()->SetEnabled(true);
    Form->Show();
    guitest::PumpPending();
  }
  Integer OffsetX() const { return LV->GetScrollbars()->GetOffsetX(); }
  Integer OffsetY() const { return LV->GetScrollbars()->GetOffsetY(); }
  // A mouse message at a client point; the cursor goes there too, as the steps read it.
  void Mouse(UINT msg, TPoint p, WPARAM keys = MK_LBUTTON) {
    TPoint s = p;
    ClientToScreen(LV->Handle(), &s);
    pf::testing::SetCursorScreenPos(s);
    SendMessage(LV->Handle(), msg, keys, MAKELPARAM(p.X, p.Y));
  }
  void Wait(Int64 ms) {
    pf::clock::Advance(ms);
    guitest::PumpPending();
  }
  // Presses at `from`, and moves to `to` twice: the first move starts the band, the second draws it.
  void Band(TPoint from, TPoint to, WPARAM keys = 0) {
    Mouse(WM_LBUTTONDOWN, from, MK_LBUTTON | keys);
    Mouse(WM_MOUSEMOVE, to, MK_LBUTTON | keys);
    Mouse(WM_MOUSEMOVE, to, MK_LBUTTON | keys);
    ASSERT_TRUE(LV->GetStates().Contains(CS::ebcsDragSelecting));
  }
  // The indexes of the selected items.
  std::vector<Integer> Selected() const {
    std::vector<Integer> out;
    for (TEmberItem* i = LV->GetSelection()->First(); i; i = LV->GetSelection()->Next(i)) out.push_back(i->GetIndex());
    return out;
  }
  // Items of rows [r0, r1] and columns [c0, c1] of the four-column layout, leaving out `except`.
  static std::vector<Integer> Cells(Integer r0, Integer r1, Integer c0, Integer c1, std::vector<Integer> except = {}) {
    std::vector<Integer> out;
    for (Integer r = r0; r <= r1; ++r)
      for (Integer c = c0; c <= c1; ++c)
        if (std::find(except.begin(), except.end(), r * 4 + c) == except.end()) out.push_back(r * 4 + c);
    return out;
  }
};

TEST_F(AutoScrollTest, TheDelayThenEveryIntervalAndTheWholeDelayAgainAfterLeaving) {
  Build();
  Band({10, 10}, {200, 150});
  // y 295 lies 10 past the bottom margin line: steps of 10 x 2. y 5 lies 10 before the top one.
  struct Step {
    const char* what;
    TPoint move;  // x -1: no move
    Int64 wait;
    Integer offset;
  } steps[] = {
      {"into the bottom zone: nothing before the delay", {200, 295}, 499, 0},
      {"the tick at the delay only arms the steps", {-1, 0}, 1, 0},
      {"the first step a scroll time later", {-1, 0}, 49, 0},
      {"", {-1, 0}, 1, 20},
      {"a move in the zone after the delay steps at once", {200, 295}, 0, 40},
      {"out of the zones: it stops", {200, 150}, 1000, 40},
      {"back in: the whole delay again", {200, 295}, 250, 40},
      {"a move inside the zone does not restart the delay; the step is measured where the cursor is", {200, 290}, 250, 40},
      {"", {-1, 0}, 50, 50},
      {"", {-1, 0}, 50, 60},
      {"out", {200, 150}, 0, 60},
      {"the top zone scrolls back, after its own delay", {200, 5}, 500, 60},
      {"", {-1, 0}, 50, 40},
      {"the right edge, with nothing to the right, does not scroll", {380, 150}, 1000, 40},
  };
  for (const Step& s : steps) {
    if (s.move.X >= 0) Mouse(WM_MOUSEMOVE, s.move);
    Wait(s.wait);
    EXPECT_EQ(OffsetY(), s.offset) << s.what;
  }
  EXPECT_FALSE(LV->GetDragRect()->AutoScrollTimerRunning());
  // The release ends the drag and its timer.
  Mouse(WM_MOUSEMOVE, {200, 295});
  Mouse(WM_LBUTTONUP, {200, 295}, 0);
  Wait(1000);
  EXPECT_EQ(OffsetY(), 40);
  EXPECT_FALSE(LV->GetDragRect()->AutoScrollTimerRunning());
}

TEST_F(AutoScrollTest, ItemDragsScrollByTheTopAndBottomOnlyAndEachEntryWaitsTheDelay) {
  Build();
  TEmberOLEDragManager* dm = LV->GetDragManager();
  TCommonDropEffect effect = TCommonDropEffect::cdeMove;
  auto over = [&](TPoint p) {
    TPoint s = p;
    ClientToScreen(LV->Handle(), &s);
    pf::testing::SetCursorScreenPos(s);
    dm->Drag({}, p, effect);
  };
  dm->DragEnter(nullptr, {}, TPoint{200, 150}, effect);
  over({380, 150});
  Wait(1000);
  EXPECT_EQ(OffsetY(), 0) << "no side zones";
  over({200, 295});
  Wait(500);
  Wait(50);
  EXPECT_EQ(OffsetY(), 20);
  // Leaving the control and coming in again, straight into the zone.
  dm->DragEnd({}, TPoint{});
  dm->DragEnter(nullptr, {}, TPoint{200, 295}, effect);
  over({200, 295});
  Wait(500);
  Wait(49);
  EXPECT_EQ(OffsetY(), 20);
  Wait(1);
  EXPECT_EQ(OffsetY(), 40);
  dm->DragEnd({}, TPoint{});
}

// With snapping on, a step sideways is one list cell whatever the view; without, the distance
// past the margin line twice (the cursor lies 10 past it: the report's client area is 383 wide).
TEST_F(AutoScrollTest, StepsSidewaysAreWholeListCellsWhileSnapping) {
  struct Case {
    TEmberListStyle view;
    bool snap;
    Integer first, second;
  } cases[] = {
      {TEmberListStyle::elsList, true, 100, 200},
      {TEmberListStyle::elsReport, true, 70, 140},
      {TEmberListStyle::elsReport, false, 20, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.view) * 10 + c.snap);
    // Ten 100 x 20 cells to a row, or one 1000-wide report row: wider than the 400-pixel client.
    Build(c.view, c.view == TEmberListStyle::elsList ? 10 : 1, c.view == TEmberListStyle::elsList ? 100 : 1000, 20);
    LV->GetCellSizes()->GetList()->SetSize(c.view == TEmberListStyle::elsList ? 100 : 70, 20);
    LV->GetScrollbars()->SetSnapHorzView(c.snap);
    Band({10, 10}, {150, 30});
    const TPoint edge{LV->GetClientWidth() - 5, 30};
    Mouse(WM_MOUSEMOVE, edge);
    Wait(500);
    Wait(50);
    EXPECT_EQ(OffsetX(), c.first);
    Wait(50);
    EXPECT_EQ(OffsetX(), c.second);
    Mouse(WM_LBUTTONUP, edge, 0);
  }
}

TEST_F(AutoScrollTest, KeysScrollWhileABandIsDrawnAndTheBandGrowsWithTheView) {
  Build();
  LV->GetScrollbars()->SetOffsetY(100);
  Band({10, 10}, {200, 150});
  const struct {
    int key;
    Integer offset;
  } keys[] = {{VK_DOWN, 150}, {VK_UP, 100}, {VK_NEXT, 400}, {VK_NEXT, 450}, {VK_PRIOR, 150},
              {VK_HOME, 0},   {VK_END, 450}};
  for (const auto& k : keys) {
    SendMessage(LV->Handle(), WM_KEYDOWN, static_cast<WPARAM>(k.key), 1);
    EXPECT_EQ(OffsetY(), k.offset) << k.key;
    // The corner under the mouse stays at window y 150.
    EXPECT_EQ(LV->GetDragRect()->GetDragPoint().Y, 150 + k.offset) << k.key;
  }
  Mouse(WM_LBUTTONUP, {200, 150}, 0);
  // The band ran from view (10, 110) to (200, 600), its bottom edge outside: rows 2 to 11,
  // columns 0 to 2.
  EXPECT_EQ(Selected(), Cells(2, 11, 0, 2));
}

TEST_F(AutoScrollTest, ABandSelectsAcrossTheScrollToTheEndOfTheView) {
  struct Case {
    const char* what;
    WPARAM keys;
    std::vector<Integer> before;
    size_t firstPage;
    std::vector<Integer> after;
  } cases[] = {
      // From view (10, 10) to the corner at window y 295: rows 0 to 5; over offset 450: rows 0 to 14.
      {"plain", 0, {}, 18, Cells(0, 14, 0, 2)},
      // Items the scroll brings under a Ctrl band are toggled like the rest; the item under the
      // band's start lies in every band and keeps its state, as the one outside does.
      {"with Ctrl", MK_CONTROL, {28, 40, 3}, 17 + 3, [] {
         std::vector<Integer> v = Cells(0, 14, 0, 2, {0, 28, 40});
         v.insert(v.begin() + 2, 3);
         return v;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Build();
    for (Integer i : c.before) LV->GetGroups()->GetGroup(0)->GetItem(i)->SetSelected(true);
    Band({10, 10}, {200, 295}, c.keys);
    EXPECT_EQ(Selected().size(), c.firstPage);
    // 450 in steps of 20: the first at 550 ms, 22 more 50 ms apart.
    Wait(500);
    for (int i = 0; i < 23; ++i) Wait(50);
    EXPECT_EQ(OffsetY(), 450);
    EXPECT_FALSE(LV->GetDragRect()->AutoScrollTimerRunning()) << "at the end nothing more to scroll";
    EXPECT_EQ(Selected(), c.after);
    Mouse(WM_LBUTTONUP, {200, 295}, 0);
  }
}

TEST_F(AutoScrollTest, TheBandIsPaintedOverTheClientAreaBelowTheHeader) {
  // A report view under a 21-pixel header, rows of one 300 x 50 cell.
  Build(TEmberListStyle::elsReport, 1, 300, 50);
  LV->SetColor(clWhite);
  LV->GetHeader()->SetAutoSizeHeight(false);
  LV->GetHeader()->SetHeight(21);
  LV->GetHeader()->SetVisible(true);
  LV->GetScrollbars()->SetOffsetY(100);
  // From view (50, 110), window (50, 31), to window (250, 201); then 50 up out of sight.
  Band({50, 31}, {250, 201});
  SendMessage(LV->Handle(), WM_KEYDOWN, VK_DOWN, 1);
  ASSERT_EQ(OffsetY(), 150);
  TEmberSelectionManager* sel = LV->GetSelection();
  sel->SetAlphaBlendSelRect(true);
  sel->SetBlendColorSelRect(0xFF0000);
  sel->SetBlendAlphaSelRect(70);
  sel->SetBorderColorSelRect(0x0000FF);
  Owned<TBitmap> bits(TBitmap::New());
  bits->SetPixelFormat(TPixelFormat::pf32bit);
  bits->SetSize(400, 300);
  auto px = [&](Integer x, Integer y) { return ColorToRGB(bits->GetCanvas()->GetPixel(x, y)) & 0xFFFFFF; };
  PaintAccess::Paint(LV, bits->GetCanvas(), TRect{0, 0, 400, 300});
  // White under blue at 70: (255 x 186) >> 8 = 185 in green and red.
  const struct {
    TPoint p;
    TColor c;
  } probes[] = {{{150, 100}, 0xFFB9B9}, {{50, 100}, 0x0000FF},  {{249, 100}, 0x0000FF},
                {{150, 21}, 0x0000FF},  {{150, 200}, 0x0000FF}, {{150, 201}, 0xFFFFFF},
                {{250, 100}, 0xFFFFFF}};
  for (const auto& p : probes) EXPECT_EQ(px(p.p.X, p.p.Y), p.c) << p.p.X << "," << p.p.Y;
  EXPECT_NE(px(150, 20), 0x0000FFu) << "the header is left alone";
  // Without blending, a dotted focus rectangle on the same edge; inside stays white.
  sel->SetAlphaBlendSelRect(false);
  PaintAccess::Paint(LV, bits->GetCanvas(), TRect{0, 0, 400, 300});
  int inked = 0;
  for (Integer x = 50; x < 250; ++x) inked += px(x, 200) != 0xFFFFFF;
  EXPECT_GT(inked, 50);
  EXPECT_EQ(px(150, 100), 0xFFFFFFu);
  Mouse(WM_LBUTTONUP, {250, 201}, 0);
  EXPECT_FALSE(LV->GetStates().Contains(CS::ebcsDragSelecting));
  PaintAccess::Paint(LV, bits->GetCanvas(), TRect{0, 0, 400, 300});
  EXPECT_EQ(px(150, 200), 0xFFFFFFu) << "no band after the release";
}

}  // namespace
}  // namespace lvtest
