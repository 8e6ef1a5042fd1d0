// The list view in the hand: mouse, keyboard and wheel scenarios as the window's messages, the
// same through the toolkit's events, hot tracking, hints, and the background picture by pixels.
#include <functional>

#include <QEvent>

#include "ListviewTestUtil.h"
#include "UniformCells.h"
#include "listview/EmberGrid.h"
#include "listview/EmberViews.h"
#include "platform/classlib/Menus.h"
#include "platform/gdi/Bitmap.h"
#include "platform/rtl/Clock.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"

namespace lvtest {
namespace {

class BackgroundTest : public ListviewTest {
protected:
  // A 64 x 64 picture, blue with a red first column and a green first row, so each tile's
  // corner can be found.
  static void FillPicture(TBitmap* b) {
    b->SetPixelFormat(TPixelFormat::pf32bit);
    b->SetSize(64, 64);
    TCanvas* c = b->GetCanvas();
    c->GetBrush()->SetStyle(TBrushStyle::bsSolid);
    c->GetBrush()->SetColor(0xFF0000);
    c->FillRect(TRect{0, 0, 64, 64});
    c->GetBrush()->SetColor(0x0000FF);
    c->FillRect(TRect{0, 0, 1, 64});
  }
  // Paints the background of a 200 x 100 area into a picture filled with `under` first.
  TColor Probe(TPoint p, bool paintDefault = true, TColor under = 0x00FF00) {
    Owned<TBitmap> target(TBitmap::New());
    target->SetPixelFormat(TPixelFormat::pf32bit);
    target->SetSize(200, 100);
    TCanvas* c = target->GetCanvas();
    c->GetBrush()->SetColor(under);
    c->FillRect(TRect{0, 0, 200, 100});
    LV->GetBackGround()->PaintTo(c, TRect{0, 0, 200, 100}, paintDefault);
    return c->GetPixel(p.X, p.Y) & 0xFFFFFF;
  }
};

constexpr TColor kWhite = 0xFFFFFF, kRed = 0x0000FF, kBlue = 0xFF0000, kGreen = 0x00FF00;

TEST_F(BackgroundTest, PictureModesByPixels) {
  struct Case {
    const char* name;
    bool enabled, tile, withPicture, paintDefault;
    Integer offsetX, offsetY;
    TPoint probe;
    TColor expected;
  };
  // The control's colour is white. Tiles start at the offset taken modulo the picture's size,
  // one picture to the left when it is positive: 10 gives columns at -54, 10, 74 and 138.
  const Case cases[] = {
      {"tiled: a column starts at the offset", true, true, true, true, 10, 0, {10, 3}, kRed},
      {"tiled: the next one 64 further", true, true, true, true, 10, 0, {74, 3}, kRed},
      {"tiled: the one before ends at 9", true, true, true, true, 10, 0, {9, 3}, kBlue},
      {"tiled: rows repeat below", true, true, true, true, 10, 0, {138, 90}, kRed},
      {"tiled: a negative offset is not shifted back", true, true, true, true, -10, 0, {54, 3}, kRed},
      {"single: drawn once at the offset", true, false, true, true, 10, 5, {10, 5}, kRed},
      {"single: its last column", true, false, true, true, 10, 5, {73, 5}, kBlue},
      {"single: no second copy to its right", true, false, true, true, 10, 5, {74, 5}, kWhite},
      {"single: nothing beyond it", true, false, true, true, 10, 5, {80, 80}, kWhite},
      {"single: nothing above it", true, false, true, true, 10, 5, {10, 2}, kWhite},
      {"disabled: the colour only", false, true, true, true, 0, 0, {0, 0}, kWhite},
      {"empty picture: the colour only", true, true, false, true, 0, 0, {0, 0}, kWhite},
      {"empty picture without the default: untouched", true, true, false, false, 0, 0, {0, 0}, kGreen},
  };
  MakeList();
  LV->SetBounds(0, 0, 200, 100);
  LV->SetColor(kWhite);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TEmberBackgroundManager* bg = LV->GetBackGround();
    Owned<TBitmap> pic(TBitmap::New());
    if (c.withPicture) FillPicture(pic.get());
    bg->GetImage()->Assign(*pic);
    bg->SetEnabled(c.enabled);
    bg->SetTile(c.tile);
    bg->SetOffsetX(c.offsetX);
    bg->SetOffsetY(c.offsetY);
    EXPECT_EQ(Probe(c.probe, c.paintDefault), c.expected);
  }
  // A handler that refuses the default drawing leaves no picture, but the colour when asked.
  Owned<TBitmap> pic(TBitmap::New());
  FillPicture(pic.get());
  LV->GetBackGround()->SetImage(pic.get());
  LV->GetBackGround()->SetEnabled(true);
  LV->OnPaintBkGnd = [](TCustomEmberListview*, TCanvas*, TRect, TEmberAlphaBlender*, bool& doDefault) { doDefault = false; };
  EXPECT_EQ(Probe({10, 3}, true), kWhite);
  EXPECT_EQ(Probe({10, 3}, false), kGreen);
}

TEST_F(BackgroundTest, BlendingMixesWithTheColourOnlyWhenItCan) {
  MakeList();
  LV->SetBounds(0, 0, 200, 100);
  LV->SetColor(kWhite);
  TEmberBackgroundManager* bg = LV->GetBackGround();
  Owned<TBitmap> pic(TBitmap::New());
  FillPicture(pic.get());
  bg->SetImage(pic.get());
  bg->SetEnabled(true);
  bg->SetAlphaBlend(true);
  // Blue at alpha 128 with white: each channel (c * 128 + 255 * 128) / 256.
  EXPECT_EQ(Probe({20, 20}), TColor(0xFF7F7F));
  // Another mode needs an alpha picture of the same size; with another size the picture is drawn
  // as it is.
  bg->SetBlendMode(TCommonBlendMode::cbmPerPixelAlpha);
  Owned<TBitmap> alpha(TBitmap::New());
  alpha->SetPixelFormat(TPixelFormat::pf32bit);
  alpha->SetSize(10, 10);
  bg->SetAlphaImage(alpha.get());
  EXPECT_EQ(Probe({20, 20}), kBlue);
}

// Two background managers hand each other the picture and its placement (image, Enabled, the
// offsets, Tile) whichever way the assignment is asked for, the caption staying; another class
// is refused.
TEST_F(BackgroundTest, AssigningAnotherManagerCopiesThePictureAndItsPlacement) {
  MakeList();
  struct Case {
    const char* how;
    std::function<void(TEmberBackgroundManager* target, TEmberBackgroundManager* source)> assign;
    bool copies;
  };
  Owned<TEmberHeaderMargin> margin(TEmberHeaderMargin::New(LV));
  const Case cases[] = {
      {"through the base type", [](TEmberBackgroundManager* t, TEmberBackgroundManager* s) {
         static_cast<TEmberPersistent*>(t)->Assign(s);
       }, true},
      // The class library's own Assign asks the source to assign itself to the target.
      {"by the source's AssignTo", [](TEmberBackgroundManager* t, TEmberBackgroundManager* s) {
         t->TEmberPersistent::Assign(s);
       }, true},
      {"from a margin", [&](TEmberBackgroundManager* t, TEmberBackgroundManager*) {
         EXPECT_THROW(t->Assign(margin.get()), EConvertError);
       }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    Owned<TEmberBackgroundManager> source(TEmberBackgroundManager::New(LV));
    Owned<TBitmap> pic(TBitmap::New());
    FillPicture(pic.get());
    source->SetImage(pic.get());
    source->SetEnabled(true);
    source->SetOffsetX(7);
    source->SetOffsetY(-5);
    source->SetTile(false);
    source->SetCaption(u"source");
    Owned<TEmberBackgroundManager> target(TEmberBackgroundManager::New(LV));
    target->SetCaption(u"target");
    c.assign(target.get(), source.get());
    EXPECT_EQ(target->GetImage()->GetWidth(), c.copies ? 64 : 0);
    EXPECT_EQ(target->GetEnabled(), c.copies);
    EXPECT_EQ(target->GetOffsetX(), c.copies ? 7 : 0);
    EXPECT_EQ(target->GetOffsetY(), c.copies ? -5 : 0);
    EXPECT_EQ(target->GetTile(), !c.copies);
    EXPECT_EQ(target->GetCaption(), u"target");
  }
}

TEST_F(BackgroundTest, CaptionShowsOnlyWhileTheListIsEmpty) {
  MakeList();
  LV->SetBounds(0, 0, 200, 100);
  LV->SetColor(kWhite);
  LV->GetFont()->SetColor(clBlack);
  TEmberBackgroundManager* bg = LV->GetBackGround();
  bg->SetCaption(u"WWWWWWWW");
  bg->SetCaptionShow(true);
  auto inked = [&] {
    Owned<TBitmap> target(TBitmap::New());
    target->SetPixelFormat(TPixelFormat::pf32bit);
    target->SetSize(200, 100);
    bg->PaintTo(target->GetCanvas(), TRect{0, 0, 200, 100}, true);
    for (Integer y = 0; y < 100; ++y)
      for (Integer x = 0; x < 200; ++x)
        if ((target->GetCanvas()->GetPixel(x, y) & 0xFFFFFF) != kWhite) return true;
    return false;
  };
  EXPECT_TRUE(inked());
  TEmberGroup* g = LV->GetGroups()->Add();
  g->GetItems()->Add();
  EXPECT_FALSE(inked());
  g->GetItems()->Delete(0);
  EXPECT_TRUE(inked());
  bg->SetCaptionShowOnlyWhenEmpty(false);
  g->GetItems()->Add();
  EXPECT_TRUE(inked());
}

// With OffsetTrack the tiled picture keeps its place in the form while the list moves in it: the
// list starts at (40, 30), so the red first columns of the tiles lie where form x = 40 + 64k, and
// after a move they are found at client x = (40 - new left) mod 64. Without tracking, or when the
// window only changes its size, the tiles stay at the list's own offset 0.
TEST_F(BackgroundTest, OffsetTrackKeepsThePictureWhereItWasWhileTheListMoves) {
  struct Case {
    const char* name;
    bool track;
    std::function<void(TEmberListview*)> move;
    Integer offsetX, offsetY;
    Integer redX;  // client x of a tile's red column after the move
  };
  const Case cases[] = {
      {"moved left and up", true, [](TEmberListview* lv) { lv->SetBounds(10, 10, 300, 200); }, 30, 20, 30},
      {"moved right and down", true, [](TEmberListview* lv) { lv->SetBounds(60, 40, 300, 200); }, -20, -10, 44},
      {"moved by the window's own position", true,
       [](TEmberListview* lv) { SetWindowPos(lv->Handle(), nullptr, 50, 30, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE); },
       -10, 0, 54},
      {"resized only", true, [](TEmberListview* lv) { lv->SetBounds(40, 30, 200, 150); }, 0, 0, 0},
      {"a position that must not move", true,
       [](TEmberListview* lv) {
         SetWindowPos(lv->Handle(), nullptr, 0, 0, 250, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
       },
       0, 0, 0},
      {"not tracking", false, [](TEmberListview* lv) { lv->SetBounds(10, 10, 300, 200); }, 0, 0, 0},
  };
  Form->Show();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeList();
    LV->SetBorderStyle(TBorderStyle::bsNone);
    LV->SetColor(kWhite);
    LV->SetBounds(40, 30, 300, 200);
    TEmberBackgroundManager* bg = LV->GetBackGround();
    Owned<TBitmap> pic(TBitmap::New());
    FillPicture(pic.get());
    bg->SetImage(pic.get());
    bg->SetEnabled(true);
    bg->SetOffsetTrack(c.track);
    c.move(LV);
    EXPECT_EQ(bg->GetOffsetX(), c.offsetX);
    EXPECT_EQ(bg->GetOffsetY(), c.offsetY);
    LV->Invalidate();
    guitest::PumpPending();
    auto px = [this](Integer x, Integer y) { return TColor(layer::Find(LV->Handle())->Surface->PixelRGB(x, y)); };
    // The surface holds 0xRRGGBB: the picture's red is 0xFF0000 there, its blue 0x0000FF.
    EXPECT_EQ(px(c.redX, 100), TColor(0xFF0000));
    EXPECT_EQ(px(c.redX + 64, 100), TColor(0xFF0000));
    EXPECT_EQ(px(c.redX + 1, 100), TColor(0x0000FF));
    LV->Free();
    Made.pop_back();
  }
}


// A cell of fixed parts, so the scenarios do not hang on the views' own layout: a 10-pixel check
// box in the top-left corner, the picture in the upper half right of it, the caption below; the
// click selects anywhere right of the box.
class TTestCellView : public TEmberViewItem {
  EMBER_REF_CLASS(TTestCellView, TEmberViewItem, TEmberViewItem, TEmberGroup*)
public:
  static TRect Check(const TRect& c) { return TRect{c.Left + 2, c.Top + 2, c.Left + 12, c.Top + 12}; }
  static TRect Select(const TRect& c) { return TRect{c.Left + 14, c.Top, c.Right, c.Bottom}; }
  static TRect Label(const TRect& c) { return TRect{c.Left + 14, (c.Top + c.Bottom) / 2, c.Right, c.Bottom}; }
  void ItemRectArray(TEmberItem* Item, TEmberColumn*, TCanvas*, const WideString&, TEmberRectArrayObject& R) override {
    R = TEmberRectArrayObject{};
    const TRect c = Item->GetDisplayRect();
    R.BoundsRect = c;
    R.CheckRect = Check(c);
    R.IconRect = TRect{c.Left + 14, c.Top, c.Right, (c.Top + c.Bottom) / 2};
    R.LabelRect = R.TextRect = R.FullFocusSelRect = Label(c);
    R.ClickSelectBoundsRect = R.DragSelectBoundsRect = Select(c);
  }
  bool EditAreaHitPt(TEmberItem* Item, TPoint P) override { return PtInRectEx(Label(Item->GetDisplayRect()), P); }
  bool SelectionHitPt(TEmberItem* Item, TPoint P, TEmberSelectHitType) override {
    return PtInRectEx(Select(Item->GetDisplayRect()), P);
  }
  bool SelectionHit(TEmberItem* Item, const TRect& R, TEmberSelectHitType) override {
    TRect x;
    return IntersectRectEx(x, Select(Item->GetDisplayRect()), R);
  }
};

class InputTest : public ListviewTest {
protected:
  void TearDown() override {
    pf::testing::ResetKeyState();
    pf::testing::ResetSystemParameters();
    pf::clock::UseReal();
    ListviewTest::TearDown();
  }
  // A thumbnail list of `n` items "0", "1"... in one group: 100 x 50 cells in a 400 x 300 client
  // area, three to a row (the layout keeps room for the vertical scroll bar).
  void MakeGrid(int n, bool multiSelect = true) {
    MakeList();
    LV->SetBorderStyle(TBorderStyle::bsNone);
    LV->OnItemCustomView = [](TCustomEmberListview*, TEmberItem*, TEmberListStyle, const TEmberViewItemClass*& View) {
      View = &TTestCellView::StaticClass();
    };
    LV->SetView(TEmberListStyle::elsThumbnail);
    LV->GetCellSizes()->Of(TEmberListStyle::elsThumbnail)->SetSize(100, 50);
    TEmberGroup* g = LV->GetGroups()->Add();
    for (int i = 0; i < n; ++i) {
      TEmberItem* it = g->GetItems()->Add();
      it->SetCaption(String(1, static_cast<Char>(u'0' + i % 10)) + (i >= 10 ? String(1, static_cast<Char>(u'a' + i / 10)) : String()));
      it->SetCheckType(TEmberCheckType::ectBox);
    }
    LV->GetSelection()->SetMultiSelect(multiSelect);
    LV->GetGroups()->Rebuild(true);
  }
  TEmberItem* Item(int i) const { return LV->GetGroups()->GetGroup(0)->GetItem(i); }
  TRect CellOf(int i) const { return LV->GetScrollbars()->MapViewRectToWindowRect(Item(i)->GetDisplayRect()); }
  // A point in the item's caption, or in its check box.
  TPoint At(int i) const {
    const TRect l = TTestCellView::Label(CellOf(i));
    return TPoint{l.Left + 5, l.Top + 5};
  }
  TPoint BoxOf(int i) const {
    const TRect b = TTestCellView::Check(CellOf(i));
    return TPoint{b.Left + 3, b.Top + 3};
  }
  LRESULT Send(UINT msg, WPARAM w, TPoint p) { return SendMessage(LV->Handle(), msg, w, MAKELPARAM(p.X, p.Y)); }
  void Press(TPoint p, WPARAM keys = 0) { Send(WM_LBUTTONDOWN, keys | MK_LBUTTON, p); }
  void Release(TPoint p, WPARAM keys = 0) { Send(WM_LBUTTONUP, keys, p); }
  void Click(TPoint p, WPARAM keys = 0) {
    Press(p, keys);
    Release(p, keys);
  }
  void Key(int vk, bool ctrl = false) {
    pf::testing::SetKeyDown(VK_CONTROL, ctrl);
    SendMessage(LV->Handle(), WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
    pf::testing::SetKeyDown(VK_CONTROL, false);
  }
  // The captions of the selected items, in order.
  std::string Selected() const {
    std::string out;
    for (TEmberItem* i = LV->GetSelection()->First(); i; i = LV->GetSelection()->Next(i)) out += Name(i) + " ";
    return out;
  }
  void ShowAndFocus() {
    Form->Show();
    LV->SetFocus();
    guitest::PumpPending();
  }
};

TEST_F(InputTest, ClicksSelectAsTheKeysSay) {
  struct Step {
    int item;  // -1: the empty space below the items
    WPARAM keys;
  };
  struct Case {
    const char* name;
    bool multiSelect;
    std::vector<Step> steps;
    std::string selected;
    int focused;
  };
  const Case cases[] = {
      {"a click selects one", true, {{0, 0}}, "0 ", 0},
      {"another click moves the selection", true, {{0, 0}, {1, 0}}, "1 ", 1},
      {"Ctrl adds without moving the anchor's focus", true, {{0, 0}, {2, MK_CONTROL}}, "0 2 ", 2},
      {"Ctrl-click on a selected item takes it out", true, {{0, 0}, {2, MK_CONTROL}, {2, MK_CONTROL}}, "0 ", 2},
      {"Shift selects from the anchor", true, {{1, 0}, {3, MK_SHIFT}}, "1 2 3 ", 3},
      {"Shift selects backwards too", true, {{5, 0}, {3, MK_SHIFT}}, "3 4 5 ", 3},
      {"a plain click on one of several keeps only it", true, {{1, 0}, {3, MK_SHIFT}, {2, 0}}, "2 ", 2},
      {"Shift without multi-select selects only the clicked item", false, {{1, 0}, {3, MK_SHIFT}}, "3 ", 3},
      {"Ctrl without multi-select only moves the focus", false, {{1, 0}, {3, MK_CONTROL}}, "", 3},
      {"a click on empty space clears", true, {{0, 0}, {2, MK_CONTROL}, {-1, 0}}, "", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeGrid(10, c.multiSelect);
    for (const Step& s : c.steps) Click(s.item < 0 ? TPoint{250, 250} : At(s.item), s.keys);
    EXPECT_EQ(Selected(), c.selected);
    EXPECT_EQ(LV->GetSelection()->GetFocusedItem(), Item(c.focused));
  }
}

TEST_F(InputTest, AReleaseReportsItsButtonAndTheAnyButtonFlagOnlyForAButtonStillHeld) {
  using S = TCommonKeyStates;
  using KS = common::TCommonKeyState;
  MakeGrid(4);
  std::vector<S> seen;
  LV->OnItemClick = [&](TCustomEmberListview*, TEmberItem*, S k, TEmberItemHitTestInfoSet) { seen.push_back(k); };
  LV->OnGroupClick = [&](TCustomEmberListview*, TEmberGroup*, S k, TEmberGroupHitTestInfoSet) { seen.push_back(k); };
  const TPoint group{At(3).X + 100, At(3).Y};  // the empty cell right of item 3
  // A left click, a right click with the left held, a left click in the group.
  for (auto [down, downKeys, upKeys, at] : {std::tuple<UINT, WPARAM, WPARAM, TPoint>{WM_LBUTTONDOWN, MK_LBUTTON, 0, At(1)},
                                            {WM_RBUTTONDOWN, MK_RBUTTON | MK_LBUTTON, MK_LBUTTON, At(1)},
                                            {WM_LBUTTONDOWN, MK_LBUTTON, 0, group}}) {
    Send(down, downKeys, at);
    Send(down + 1, upKeys, at);  // its release
  }
  EXPECT_EQ(seen, (std::vector<S>{{KS::cksLButton}, {KS::cksRButton, KS::cksLButton, KS::cksButton}, {KS::cksLButton}}));
}

TEST_F(InputTest, CtrlClickTakesASelectedItemOutWhenTheButtonComesUp) {
  MakeGrid(6);
  Click(At(0));
  Click(At(2), MK_CONTROL);
  Press(At(2), MK_CONTROL);
  EXPECT_EQ(Selected(), "0 2 ") << "still selected while the button is down, so a Ctrl-drag can take it along";
  Release(At(2), MK_CONTROL);
  EXPECT_EQ(Selected(), "0 ");
}

TEST_F(InputTest, ACheckBoxTogglesOnlyWhenReleasedOnTheBoxPressed) {
  struct Case {
    const char* name;
    int pressOn, releaseOn;  // box of item n; -1 - n: the caption of item n
    bool first, second;
  };
  const Case cases[] = {
      {"press and release on the box", 0, 0, true, false},
      {"released beside the box on the same item", 0, -1, false, false},
      {"released on another item's box", 0, 1, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeGrid(4);
    Press(BoxOf(c.pressOn));
    EXPECT_TRUE(Item(c.pressOn)->GetCheckPending());
    Release(c.releaseOn >= 0 ? BoxOf(c.releaseOn) : At(-1 - c.releaseOn));
    EXPECT_EQ(Item(0)->GetChecked(), c.first);
    EXPECT_EQ(Item(1)->GetChecked(), c.second);
    EXPECT_FALSE(Item(c.pressOn)->GetCheckPending());
    EXPECT_EQ(LV->GetCheckManager()->GetPendingObject(), nullptr);
  }
}

TEST_F(InputTest, ASecondPressOnTheOnlySelectedItemWaitsToEditAndADragStopsIt) {
  pf::clock::UseManual(1000);
  MakeGrid(4);
  ShowAndFocus();
  ASSERT_TRUE(LV->Focused());
  LV->GetEditManager()->SetEnabled(true);
  LV->GetDragRect()->SetEnabled(true);
  Click(At(1));
  EXPECT_FALSE(LV->GetEditManager()->GetTimerRunning()) << "the first click only selects";
  Press(At(1));
  EXPECT_TRUE(LV->GetEditManager()->GetTimerRunning());
  Release(At(1));
  EXPECT_TRUE(LV->GetEditManager()->GetTimerRunning()) << "the wait goes on after the release";
  LV->GetEditManager()->StopAutoEditTimer();

  // The same press followed by a move out of the drag rectangle starts a band instead.
  Press(At(1));
  ASSERT_TRUE(LV->GetEditManager()->GetTimerRunning());
  Send(WM_MOUSEMOVE, MK_LBUTTON, TPoint{At(1).X + 2, At(1).Y});
  EXPECT_TRUE(LV->GetEditManager()->GetTimerRunning()) << "inside the drag rectangle nothing starts";
  Send(WM_MOUSEMOVE, MK_LBUTTON, TPoint{At(1).X + 30, At(1).Y + 40});
  EXPECT_FALSE(LV->GetEditManager()->GetTimerRunning());
  EXPECT_TRUE(LV->GetStates().Contains(TEmberControlState::ebcsDragSelecting));
  Release(TPoint{At(1).X + 30, At(1).Y + 40});
  EXPECT_FALSE(LV->GetStates().Contains(TEmberControlState::ebcsDragSelecting));

  // With more than one item selected a press only selects.
  Click(At(2));
  Click(At(3), MK_CONTROL);
  Press(At(3));
  EXPECT_FALSE(LV->GetEditManager()->GetTimerRunning());
  Release(At(3));
}

// A thumbnail grid of cells of its own rather than the view's.
class TOwnCellGrid : public TEmberGridThumbnailGroup {
  EMBER_REF_CLASS(TOwnCellGrid, TEmberGridThumbnailGroup, TEmberGridGroup, TCustomEmberListview*, TEmberGroup*)
public:
  static inline TEmberCellSize* Cell = nullptr;
  TEmberCellSize* CellSize() const override { return Cell; }
  void SetCellSize(TEmberCellSize*) override {}
};

TEST_F(InputTest, TheWheelScrollsRowsThatFitOrAPage) {
  struct Case {
    const char* name;
    Integer cellHeight;
    UINT lines;
    WPARAM keys;
    Integer delta;
    TEmberDefaultWheelScroll axis;
    TPoint offset;
    Integer ownCell = 0;  // else the groups' grid keeps cells of its own, this square
  };
  using W = TEmberDefaultWheelScroll;
  const Case cases[] = {
      {"three rows a notch", 50, 3, 0, -120, W::edwsVert, {0, 150}},
      {"five rows when set so", 50, 5, 0, -120, W::edwsVert, {0, 250}},
      {"only the rows that fit the window", 200, 3, 0, -120, W::edwsVert, {0, 200}},
      {"Ctrl scrolls a page", 50, 3, MK_CONTROL, -120, W::edwsVert, {0, 300}},
      {"a page setting scrolls a page", 50, WHEEL_PAGESCROLL, 0, -120, W::edwsVert, {0, 300}},
      {"Shift turns a vertical wheel sideways", 50, 3, MK_SHIFT, -120, W::edwsVert, {0, 0}},
      {"Shift turns a sideways wheel down by a cell width", 50, 3, MK_SHIFT, -120, W::edwsHorz, {0, 100}},
      {"a page setting leaves a sideways step at a cell width", 50, WHEEL_PAGESCROLL, MK_SHIFT, -120, W::edwsHorz,
       {0, 100}},
      {"up at the top stays", 50, 3, 0, 120, W::edwsVert, {0, 0}},
      {"rows of the grid the groups are laid out in", 50, 3, 0, -120, W::edwsVert, {0, 120}, 40},
      {"a column of that grid", 50, 3, MK_SHIFT, -120, W::edwsHorz, {0, 40}, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeGrid(200);
    LV->GetCellSizes()->Of(TEmberListStyle::elsThumbnail)->SetSize(100, c.cellHeight);
    Owned<TEmberCellSize> own(TEmberCellSizeThumbnail::New(LV));
    if (c.ownCell) {
      own->SetSize(c.ownCell, c.ownCell);
      TOwnCellGrid::Cell = own.get();
      LV->OnCustomGrid = [](TCustomEmberListview*, TEmberGroup*, TEmberListStyle, const TEmberGridGroupClass*& Grid) {
        Grid = &TOwnCellGrid::StaticClass();
      };
    }
    LV->GetGroups()->Rebuild(true);
    LV->SetWheelMouseDefaultScroll(c.axis);
    SystemParametersInfo(SPI_SETWHEELSCROLLLINES, c.lines, nullptr, 0);
    const TPoint screen = LV->ClientToScreen(TPoint{10, 10});
    SendMessage(LV->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(c.keys, static_cast<WORD>(c.delta)),
                MAKELPARAM(screen.X, screen.Y));
    EXPECT_EQ(LV->GetScrollbars()->GetOffsetX(), c.offset.X);
    EXPECT_EQ(LV->GetScrollbars()->GetOffsetY(), c.offset.Y);
    LV->OnCustomGrid = nullptr;
    LV->GetGroups()->Rebuild(true);
  }
}

TEST_F(InputTest, NavigationKeysWithoutSelectionMoveTheView) {
  struct Case {
    const char* name;
    int key;
    TPoint offset;
  };
  // 54 rows of 50 pixels under a 300-pixel window: the last offset is 2400.
  const Case cases[] = {
      {"Home goes to the top-left corner", VK_HOME, {0, 0}},
      {"End to the last offsets", VK_END, {0, 2400}},
      {"Down one pixel", VK_DOWN, {0, 501}},
      {"Up one pixel", VK_UP, {0, 499}},
      {"Page Down by the client height", VK_NEXT, {0, 800}},
      {"Page Up by the client height", VK_PRIOR, {0, 200}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeGrid(160);
    LV->GetSelection()->SetEnabled(false);
    LV->GetSelection()->SetUseFocusRect(false);
    LV->GetScrollbars()->Scroll(0, 500);
    ASSERT_EQ(LV->GetScrollbars()->GetOffsetY(), 500);
    Key(c.key);
    EXPECT_EQ(LV->GetScrollbars()->GetOffsetX(), c.offset.X);
    EXPECT_EQ(LV->GetScrollbars()->GetOffsetY(), c.offset.Y);
    EXPECT_EQ(LV->GetSelection()->GetFocusedItem(), nullptr);
  }
}

TEST_F(InputTest, ArrowKeysMoveFocusAndSelectionOnceABatch) {
  MakeGrid(10);
  int notices = 0;
  LV->OnItemSelectionsChanged = [&](TCustomEmberListview*) { ++notices; };
  Key(VK_RIGHT);
  EXPECT_EQ(Selected(), "0 ") << "with nothing focused the first item is taken";
  Key(VK_DOWN);
  EXPECT_EQ(Selected(), "3 ");
  EXPECT_EQ(LV->GetSelection()->GetFocusedItem(), Item(3));
  notices = 0;
  Key('A', true);
  EXPECT_EQ(LV->GetSelection()->GetCount(), 10);
  EXPECT_EQ(notices, 1);
  Key(VK_END);
  EXPECT_EQ(Selected(), "9 ");
}

TEST_F(InputTest, TheKeyboardMenuIsTheControlsWithoutASelectionAndTheItemsWithOne) {
  MakeGrid(4);
  std::vector<std::string> seen;
  LV->OnContextPopup = [&](TObject*, TPoint p, bool& handled) {
    seen.push_back("control " + std::to_string(p.X) + "," + std::to_string(p.Y));
    handled = true;
  };
  LV->OnItemContextMenu = [&](TCustomEmberListview*, TEmberHitInfoItem hit, TPoint, TPopupMenu*&, bool& handled) {
    seen.push_back("item " + Name(hit.Item));
    handled = true;
  };
  // The menu key as it comes up; the default procedure turns it into the menu request.
  SendMessage(LV->Handle(), WM_KEYUP, VK_APPS, 0);
  Click(At(2));
  SendMessage(LV->Handle(), WM_KEYUP, VK_APPS, 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"control -1,-1", "item 2"}));
}

TEST_F(InputTest, ARightButtonBandShowsNoMenuAndAPlainRightClickDoes) {
  MakeGrid(4);
  LV->GetDragRect()->SetEnabled(true);
  int menus = 0;
  LV->OnContextPopup = [&](TObject*, TPoint, bool& handled) {
    ++menus;
    handled = true;
  };
  const TPoint empty{50, 200}, far{300, 250};
  Send(WM_RBUTTONDOWN, MK_RBUTTON, empty);
  Send(WM_MOUSEMOVE, MK_RBUTTON, far);
  EXPECT_TRUE(LV->GetStates().Contains(TEmberControlState::ebcsDragSelecting));
  Send(WM_RBUTTONUP, 0, far);
  EXPECT_EQ(menus, 0);
  EXPECT_FALSE(LV->GetStates().Contains(TEmberControlState::ebcsCancelContextMenu));
  Send(WM_RBUTTONDOWN, MK_RBUTTON, empty);
  Send(WM_RBUTTONUP, 0, empty);
  EXPECT_EQ(menus, 1);
}

TEST_F(InputTest, HotTrackingFollowsTheMouseAndEndsWhenItLeaves) {
  MakeGrid(4);
  LV->GetHotTrack()->SetEnabled(true);
  Send(WM_MOUSEMOVE, 0, At(1));
  EXPECT_EQ(LV->GetHotTrack()->GetPendingObject(), Item(1));
  EXPECT_TRUE(Item(1)->GetHotTracking());
  Send(WM_MOUSEMOVE, 0, At(2));
  EXPECT_FALSE(Item(1)->GetHotTracking());
  EXPECT_TRUE(Item(2)->GetHotTracking());
  SendMessage(LV->Handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(LV->GetHotTrack()->GetPendingObject(), nullptr);
  EXPECT_FALSE(Item(2)->GetHotTracking());
  // Over a check box the item is the check-hover object instead.
  Send(WM_MOUSEMOVE, 0, BoxOf(3));
  EXPECT_EQ(LV->GetHotTrack()->GetPendingObject(), nullptr);
  EXPECT_TRUE(Item(3)->GetCheckHovering());
  Send(WM_MOUSEMOVE, 0, At(3));
  EXPECT_FALSE(Item(3)->GetCheckHovering());
  // Tracked anywhere, it is both.
  LV->GetHotTrack()->SetItemTrack(TEmberHotTrackRectItems{TEmberHotTrackRectItem::htiAnyWhere});
  Send(WM_MOUSEMOVE, 0, BoxOf(2));
  EXPECT_EQ(LV->GetHotTrack()->GetPendingObject(), Item(2));
  EXPECT_TRUE(Item(2)->GetCheckHovering());
  // The manager makes hot what it is given; whether anything is, the mouse handling decides.
  LV->GetHotTrack()->SetEnabled(false);
  LV->GetHotTrack()->SetPendingObject(At(0), Item(0));
  EXPECT_TRUE(Item(0)->GetHotTracking());
}

TEST_F(InputTest, AHintShowsForTheItemUnderTheCursorAndChangesWithIt) {
  MakeGrid(4);
  LV->SetHint(u"photo");
  TEmberCollectionItem* asked = nullptr;
  String text;
  LV->OnHintPopup = [&](TCustomEmberListview*, TEmberCollectionItem* target, TEmberHintType, TPoint, WideString& t,
                        Integer&, Integer&, bool&) {
    asked = target;
    if (!text.empty()) t = text;
  };
  auto ask = [&](TPoint p) {
    THintInfo info;
    info.HintControl = LV;
    info.CursorPos = p;
    info.HintStr = LV->GetHint();
    const LRESULT r = LV->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
    return std::make_pair(r, info);
  };
  auto [r1, i1] = ask(At(1));
  EXPECT_EQ(r1, 0);
  EXPECT_EQ(asked, Item(1));
  EXPECT_EQ(i1.CursorRect, CellOf(1)) << "the hint is asked for again once the cursor leaves the cell";
  EXPECT_EQ(i1.HintStr, String(u"photo"));
  EXPECT_EQ(LV->HintData().TargetObj, Item(1));
  EXPECT_NE(i1.HintWindowClass, nullptr);

  text = u"2.jpg";
  auto [r2, i2] = ask(At(2));
  EXPECT_EQ(r2, 0);
  EXPECT_EQ(i2.CursorRect, CellOf(2));
  EXPECT_EQ(i2.HintStr, String(u"2.jpg"));

  // No hint while a band is drawn.
  LV->GetDragRect()->SetEnabled(true);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, TPoint{50, 200});
  Send(WM_MOUSEMOVE, MK_LBUTTON, TPoint{300, 250});
  EXPECT_EQ(ask(At(1)).first, 1);
  Release(TPoint{300, 250});
}

TEST_F(InputTest, TypingFindsACaptionAndThePauseForgetsTheText) {
  pf::clock::UseManual(1000);
  MakeList();
  TEmberGroup* g = LV->GetGroups()->Add();
  for (const char16_t* c : {u"apple", u"banana", u"blueberry", u"cherry"}) g->GetItems()->Add()->SetCaption(c);
  LV->GetIncrementalSearch()->SetEnabled(true);
  auto type = [&](Char c) {
    SendMessage(LV->Handle(), WM_KEYDOWN, static_cast<WPARAM>(std::toupper(c)), 1);
    SendMessage(LV->Handle(), WM_CHAR, static_cast<WPARAM>(c), 1);
  };
  type(u'b');
  type(u'l');
  EXPECT_EQ(Name(LV->GetSelection()->GetFocusedItem()), "blueberry");
  pf::clock::Advance(2000);
  guitest::PumpPending();
  EXPECT_TRUE(LV->GetIncrementalSearch()->GetSearchBuffer().empty());
  type(u'c');
  EXPECT_EQ(Name(LV->GetSelection()->GetFocusedItem()), "cherry");
}

TEST_F(InputTest, TheToolkitsEventsReachTheControlAsThePlatformsMessages) {
  MakeGrid(4);
  ShowAndFocus();
  std::vector<UINT> seen;
  std::vector<WPARAM> keys;
  TWndMethod old = LV->WindowProc;
  LV->WindowProc = [&](TMessage& m) {
    if ((m.Msg >= WM_LBUTTONDOWN && m.Msg <= WM_LBUTTONDBLCLK) || m.Msg == WM_KEYDOWN) seen.push_back(m.Msg);
    if (m.Msg == WM_KEYDOWN) keys.push_back(m.WParam);
    old(m);
  };
  int doubleClicks = 0;
  LV->OnItemDblClick = [&](TCustomEmberListview*, TCommonMouseButton, TPoint, TEmberHitInfoItem hit) {
    if (hit.Item == Item(1)) ++doubleClicks;
  };
  const TPoint p = At(1);
  guitest::Mouse(LV->Handle(), QEvent::MouseButtonPress, Qt::LeftButton, p, Qt::LeftButton);
  guitest::Mouse(LV->Handle(), QEvent::MouseButtonRelease, Qt::LeftButton, p);
  guitest::Mouse(LV->Handle(), QEvent::MouseButtonDblClick, Qt::LeftButton, p, Qt::LeftButton);
  guitest::Mouse(LV->Handle(), QEvent::MouseButtonRelease, Qt::LeftButton, p);
  guitest::PumpPending();
  EXPECT_EQ(seen, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
  EXPECT_EQ(doubleClicks, 1);
  EXPECT_EQ(Selected(), "1 ");

  // Ctrl with the keypad's plus fits the cells to the captions.
  seen.clear();
  LV->SetView(TEmberListStyle::elsSmallIcon);
  guitest::Key(LV->Handle(), Qt::Key_Control, "", Qt::ControlModifier);
  guitest::Key(LV->Handle(), Qt::Key_Plus, "+", Qt::KeypadModifier | Qt::ControlModifier);
  guitest::PumpPending();
  guitest::Key(LV->Handle(), Qt::Key_Control, "", Qt::NoModifier, false);
  guitest::PumpPending();
  EXPECT_EQ(keys, (std::vector<WPARAM>{WPARAM(VK_CONTROL), WPARAM(VK_ADD)}));
  EXPECT_TRUE(LV->GetCellSizes()->Of(TEmberListStyle::elsSmallIcon)->GetAutoSizeCaption());
  LV->WindowProc = old;
}

TEST_F(InputTest, ARightButtonGestureIsSpelledByItsStrokesAndTakesTheMenusPlace) {
  MakeGrid(4);
  LV->GetGesture()->SetEnabled(true);
  std::vector<std::string> gestures;
  int menus = 0;
  LV->OnMouseGesture = [&](TCustomEmberListview*, TCommonMouseButton, TCommonKeyStates, WideString g, bool& doDefault) {
    gestures.push_back(std::string(g.begin(), g.end()));
    doDefault = false;
  };
  LV->OnContextPopup = [&](TObject*, TPoint, bool& handled) {
    ++menus;
    handled = true;
  };
  // Strokes longer than the tolerance (3) that stay within twice it across; a repeated stroke
  // adds no second letter, a short one none at all.
  Send(WM_RBUTTONDOWN, MK_RBUTTON, TPoint{50, 200});
  for (TPoint p : {TPoint{60, 201}, TPoint{70, 202}, TPoint{72, 202}, TPoint{72, 212}, TPoint{60, 212}, TPoint{61, 200}})
    Send(WM_MOUSEMOVE, MK_RBUTTON, p);
  Send(WM_RBUTTONUP, 0, TPoint{61, 200});
  EXPECT_EQ(gestures, (std::vector<std::string>{"RDLU"}));
  EXPECT_EQ(menus, 0) << "a gesture is no request for the menu";
  // The next press starts a new path; without strokes the menu comes as usual.
  Send(WM_RBUTTONDOWN, MK_RBUTTON, TPoint{50, 200});
  Send(WM_RBUTTONUP, 0, TPoint{50, 200});
  EXPECT_EQ(gestures.size(), 1u);
  EXPECT_EQ(menus, 1);
}

// Cut marks go from every item, in a collapsed and a disabled group too, and only the selection
// gets them: by the cut operation the handler allows, by Ctrl+X left to the list or handled with
// the mark, and Escape takes them all away.
TEST_F(InputTest, CutMarksReachItemsInFoldedAndDisabledGroups) {
  MakeList();
  for (const char* name : {"a", "b", "c"}) {
    TEmberGroup* g = LV->GetGroups()->Add();
    g->SetCaption(String(name, name + 1));
    for (int i = 0; i < 2; ++i) g->GetItems()->Add()->SetCaption(String(name, name + 1) + Char(u'0' + i));
  }
  TEmberGroup* folded = LV->GetGroups()->GetGroup(1);
  TEmberGroup* disabled = LV->GetGroups()->GetGroup(2);
  folded->SetExpanded(false);
  disabled->SetEnabled(false);
  auto cut = [this] {
    std::string out;
    for (Integer g = 0; g < LV->GetGroups()->GetCount(); ++g)
      for (Integer i = 0; i < LV->GetGroups()->GetGroup(g)->GetItemCount(); ++i)
        if (LV->GetGroups()->GetGroup(g)->GetItem(i)->GetCut()) out += Name(LV->GetGroups()->GetGroup(g)->GetItem(i)) + " ";
    return out;
  };
  enum How { Operation, CtrlXLeft, CtrlXHandled, Escape };
  const struct {
    const char* name;
    How how;
    const char* expected;
  } cases[] = {{"the cut operation", Operation, "a1 "},
               {"Ctrl+X left to the list", CtrlXLeft, "a1 "},
               {"Ctrl+X handled with the mark", CtrlXHandled, "a1 "},
               {"Escape", Escape, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (Integer g = 0; g < 3; ++g)
      for (Integer i = 0; i < 2; ++i) LV->GetGroups()->GetGroup(g)->GetItem(i)->SetCut(false);
    for (TEmberItem* i : {folded->GetItem(0), disabled->GetItem(1), LV->GetGroups()->GetGroup(0)->GetItem(0)}) i->SetCut(true);
    LV->GetSelection()->ClearAll();
    LV->GetGroups()->GetGroup(0)->GetItem(1)->SetSelected(true);
    // Ctrl+X asks with the mark set, the cut operation with it clear.
    LV->OnClipboardCut = [&](TCustomEmberListview*, bool& mark, bool& handled) {
      const bool byKey = mark;
      mark = true;
      if (c.how == CtrlXHandled) handled = true;
      if (c.how == CtrlXLeft && byKey) handled = false;
    };
    ASSERT_EQ(cut(), "a0 b0 c1 ");
    if (c.how == Operation) LV->ClipboardCut();
    if (c.how == CtrlXLeft || c.how == CtrlXHandled) Key('X', true);
    if (c.how == Escape) Key(VK_ESCAPE);
    EXPECT_EQ(cut(), c.expected);
  }
}

class TCopyingListview : public TEmberListview {
  PF_CLASS(TCopyingListview)
public:
  int Copies = 0;
  void ClipboardCopy() override { ++Copies; }
};

TEST_F(InputTest, CtrlCThatNoHandlerTakesRunsTheListsOwnCopy) {
  for (bool handled : {false, true}) {
    SCOPED_TRACE(handled);
    auto* lv = static_cast<TCopyingListview*>(MakeList(true, TCopyingListview::New(Form)));
    LV->OnClipboardCopy = [&](TCustomEmberListview*, bool& h) { h = handled; };
    Key('C', true);
    EXPECT_EQ(lv->Copies, handled ? 0 : 1);
  }
}

// An application's lists that decide for themselves which part of a group header folds the
// group: one folds it from anywhere on the caption line, one never by the mouse.
class THeaderFoldsListview : public TEmberListview {
  PF_CLASS(THeaderFoldsListview)
public:
  bool GroupHitTestIsExpandButton(TEmberGroupHitTestInfoSet HitTest) const override {
    return HitTest.Contains(TEmberGroupHitTestInfo::egtOnLabel) || TEmberListview::GroupHitTestIsExpandButton(HitTest);
  }
};
class TNeverFoldsListview : public TEmberListview {
  PF_CLASS(TNeverFoldsListview)
public:
  bool GroupHitTestIsExpandButton(TEmberGroupHitTestInfoSet) const override { return false; }
};

class TFoldsAnywhereListview : public TEmberListview {
  PF_CLASS(TFoldsAnywhereListview)
public:
  bool GroupHitTestIsExpandButton(TEmberGroupHitTestInfoSet) const override { return true; }
};

// Groups a (a0 a1 a2) and b (b0 disabled, b1); a1 has the focus when a click folds a.
TEST_F(InputTest, FoldingTheFocusedItemsGroupFocusesTheNextEnabledItemAfterIt) {
  for (const bool uniform : {false, true}) {
    SCOPED_TRACE(uniform ? "uniform cells" : "the list's own grid");
    MakeList(true, TFoldsAnywhereListview::New(Form));
    LV->SetView(TEmberListStyle::elsThumbnail);
    if (uniform) UseUniformCells(LV);
    LV->GetPaintInfoGroup()->SetExpandable(true);
    TEmberGroup* a = LV->GetGroups()->Add();
    TEmberGroup* b = LV->GetGroups()->Add();
    for (TEmberGroup* g : {a, a, a, b, b}) g->GetItems()->Add();
    b->GetItem(0)->SetEnabled(false);
    LV->GetGroups()->Rebuild(true);
    a->GetItem(1)->SetFocused(true);
    const TRect cell = a->GetItem(0)->GetDisplayRect();
    Click(LV->GetScrollbars()->MapViewToWindow(TPoint{cell.Left + 2, cell.Top + 2}));
    ASSERT_FALSE(a->GetExpanded());
    EXPECT_EQ(LV->GetSelection()->GetFocusedItem(), b->GetItem(1));
  }
}

TEST_F(InputTest, AGroupClickAsksTheListWhetherItHitTheExpandButton) {
  struct Case {
    const char* what;
    std::function<TEmberListview*()> make;
    bool buttonFolds, labelFolds;
  } cases[] = {
      {"the list's own answer", [this] { return TEmberListview::New(Form); }, true, false},
      {"the caption line folds", [this] { return THeaderFoldsListview::New(Form); }, true, true},
      {"nothing folds", [this] { return TNeverFoldsListview::New(Form); }, false, false},
  };
  Owned<TBitmap> glyph(TBitmap::New());
  glyph->SetPixelFormat(TPixelFormat::pf32bit);
  glyph->SetSize(9, 11);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LV = c.make();
    Made.push_back(LV);
    LV->SetParent(Form);
    LV->SetBounds(0, 0, 400, 300);
    LV->SetBorderStyle(TBorderStyle::bsNone);
    LV->HandleNeeded();
    LV->SetView(TEmberListStyle::elsList);
    LV->SetShowGroupMargins(true);
    TEmberPaintInfoBaseGroup* info = LV->GetPaintInfoGroup();
    info->GetMarginTop()->SetVisible(true);
    info->GetMarginTop()->SetSize(30);
    info->SetExpandable(true);
    LV->SetGroupExpandButton(glyph.get());
    LV->SetGroupCollapseButton(glyph.get());
    TEmberGroup* g = LV->GetGroups()->Add();
    g->SetCaption(u"Group");
    for (const char16_t* t : {u"a", u"b"}) g->GetItems()->Add()->SetCaption(t);
    LV->GetGroups()->Rebuild(true);
    TEmberRectArrayObject ra;
    g->GetView()->GroupRectArray(g, TEmberGroupMarginEdge::egmeTop, g->GetBoundsRectTopMargin(), ra);
    ASSERT_GT(ra.ExpandButtonRect.Width(), 0);
    const Integer y = (ra.ExpandButtonRect.Top + ra.ExpandButtonRect.Bottom) / 2;
    struct Spot {
      TPoint at;
      bool folds;
    } spots[] = {
        {{(ra.ExpandButtonRect.Left + ra.ExpandButtonRect.Right) / 2, y}, c.buttonFolds},
        {{ra.LabelRect.Right - 5, y}, c.labelFolds},  // right of the caption's text
    };
    for (const Spot& p : spots) {
      const TPoint at = LV->GetScrollbars()->MapViewToWindow(p.at);
      Press(at);
      Release(at);
      EXPECT_EQ(g->GetExpanded(), !p.folds) << p.at.X;
      g->SetExpanded(true);
    }
  }
}

}  // namespace
}  // namespace lvtest
