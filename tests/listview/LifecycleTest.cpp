// Construction and destruction order, the update cycle and the rebuild it ends with.
#include <QImage>

#include <cstdlib>
#include <tuple>

#include "ListviewTestUtil.h"
#include "platform/gdi/Bitmap.h"
#include "platform/user/ThemeSwitch.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"

namespace lvtest {
namespace {

EventLog* gLog = nullptr;
void Note(const std::string& s) {
  if (gLog) gLog->Add(s);
}

class SpyGroupPaint : public TEmberPaintInfoGroup {
  PF_CLASS(SpyGroupPaint)
protected:
  void Destroy() override {
    Note("free group paint");
    TEmberPaintInfoGroup::Destroy();
  }
};
class SpyItemPaint : public TEmberPaintInfoItem {
  PF_CLASS(SpyItemPaint)
protected:
  void Destroy() override {
    Note("free item paint");
    TEmberPaintInfoItem::Destroy();
  }
};
class SpyColumnPaint : public TEmberPaintInfoColumn {
  PF_CLASS(SpyColumnPaint)
protected:
  void Destroy() override {
    Note("free column paint");
    TEmberPaintInfoColumn::Destroy();
  }
};
class SpyGroups : public TEmberGroups {
  PF_CLASS(SpyGroups)
protected:
  void Destroy() override {
    Note("free groups");
    TEmberGroups::Destroy();
  }
};

class SpyListview : public TEmberListview {
  PF_CLASS(SpyListview)
public:
  TEmberPaintInfoBaseColumn* CreateColumnPaintInfo() override {
    Note("make column paint");
    return SpyColumnPaint::New(this);
  }
  TEmberPaintInfoBaseGroup* CreateGroupPaintInfo() override {
    Note("make group paint");
    return SpyGroupPaint::New(this);
  }
  TEmberGroups* CreateGroups() override {
    Note("make groups");
    return SpyGroups::New(this);
  }
  TEmberPaintInfoBaseItem* CreateItemPaintInfo() override {
    Note("make item paint");
    return SpyItemPaint::New(this);
  }
};

class LifecycleTest : public ListviewTest {
protected:
  void SetUp() override {
    ListviewTest::SetUp();
    gLog = &Log;
  }
  void TearDown() override {
    gLog = nullptr;
    ListviewTest::TearDown();
  }
};

TEST_F(LifecycleTest, ManagersComeAndGoInOrderAndNothingIsLeft) {
  const int64_t live = TObject::LiveObjects();
  SpyListview* lv = SpyListview::New(Form);
  lv->SetParent(Form);
  lv->SetBounds(0, 0, 300, 200);
  lv->HandleNeeded();
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"make group paint", "make item paint", "make column paint",
                                                 "make group paint", "make groups"}));
  EXPECT_EQ(lv->GetView(), TEmberListStyle::elsIcon);
  EXPECT_EQ(lv->GetDisabledBlendAlpha(), 128);
  EXPECT_EQ(lv->GetDisabledBlendColor(), clWindow);
  EXPECT_TRUE(lv->GetShowImages());
  EXPECT_FALSE(lv->GetShowGroupMargins());
  EXPECT_EQ(lv->GetWheelMouseDefaultScroll(), TEmberDefaultWheelScroll::edwsVert);

  lv->GetSelection()->SetMultiSelect(true);
  TEmberGroup* g = lv->GetGroups()->Add();
  g->SetCaption(u"G");
  for (const char16_t* c : {u"A", u"B"}) {
    TEmberItem* i = g->GetItems()->AddCustom(&TAppItem::StaticClass());
    i->SetCaption(c);
    i->SetSelected(true);
    i->SetChecked(true);
  }
  g->GetItem(0)->SetFocused(true);
  lv->GetHeader()->GetColumns()->Add()->SetCaption(u"C");

  Log.Clear();
  lv->OnItemFreeing = [&](TCustomEmberListview* s, TEmberItem* i) {
    Log.Add("item freeing " + Name(i) + (s->HandleAllocated() ? " with window" : " without window"));
  };
  lv->OnGroupFreeing = [&](TCustomEmberListview*, TEmberGroup* gr) { Log.Add("group freeing " + Name(gr)); };
  lv->OnColumnFreeing = [&](TCustomEmberListview*, TEmberColumn* c) { Log.Add("column freeing " + Name(c)); };
  for (auto* ev : {&lv->OnItemSelectionChanged, &lv->OnItemCheckChange, &lv->OnItemVisibilityChanged})
    *ev = [&](TCustomEmberListview*, TEmberItem*) { Log.Add("change notice while destroying"); };
  lv->OnItemSelectionsChanged = [&](TCustomEmberListview*) { Log.Add("change notice while destroying"); };
  lv->Free();
  EXPECT_EQ(Log.Lines,
            (std::vector<std::string>{"item freeing B with window", "item freeing A with window", "group freeing G",
                                      "column freeing C", "free group paint", "free group paint", "free item paint",
                                      "free column paint", "free groups"}));
  EXPECT_EQ(TObject::LiveObjects(), live);
}

TEST_F(LifecycleTest, TenNestedUpdatesAnnounceEachStructureChangeOnceInOrder) {
  MakeList();
  LogStateEvents(LV, Log);
  int rebuilds = 0;
  LV->OnCustomGrid = [&](TCustomEmberListview*, TEmberGroup*, TEmberListStyle, const TEmberGridGroupClass*&) { ++rebuilds; };
  for (int i = 0; i < 10; ++i) LV->BeginUpdate();
  TEmberGroup* g = LV->GetGroups()->Add();
  for (int i = 0; i < 1000; ++i) g->GetItems()->Add();
  LV->GetHeader()->GetColumns()->Add();
  for (int i = 0; i < 9; ++i) LV->EndUpdate();
  EXPECT_TRUE(Log.Lines.empty());
  EXPECT_EQ(rebuilds, 0);
  LV->EndUpdate();
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"ColumnStructureChange", "GroupStructureChange", "ItemStructureChange"}));
  // One layout at the end: the grid was asked for once.
  EXPECT_EQ(rebuilds, 1);
  EXPECT_EQ(g->GetVisibleCount(), 1000);
  EXPECT_EQ(g->GetItem(999)->GetIndex(), 999);
  EXPECT_EQ(g->GetItem(999)->GetVisibleIndexInGroup(), 999);
}

TEST_F(LifecycleTest, AnUnbalancedEndUpdateStaysAtZeroAndCompletesEachTime) {
  MakeList();
  int ends = 0;
  LV->OnEndUpdate = [&](TObject*) { ++ends; };
  LV->BeginUpdate();
  LV->EndUpdate();
  LV->EndUpdate();
  EXPECT_EQ(LV->GetUpdateCount(), 0);
  EXPECT_EQ(ends, 2);
  LV->BeginUpdate();
  EXPECT_EQ(LV->GetUpdateCount(), 1);
  LV->EndUpdate();
}

TEST_F(LifecycleTest, NothingIsLaidOutBeforeTheWindowExists) {
  MakeList(false);
  TEmberItem* a = LV->GetItems()->Add();
  EXPECT_EQ(LV->GetGroups()->GetGroup(0)->GetVisibleCount(), 0);
  EXPECT_EQ(a->GetDisplayRect(), TRect{});
  EXPECT_EQ(a->GetColumnPos(), -1);
  LV->HandleNeeded();
  EXPECT_EQ(LV->GetGroups()->GetGroup(0)->GetVisibleCount(), 1);
  EXPECT_EQ(a->GetDisplayRect(), (TRect{0, 0, 75, 75}));
}

TEST_F(LifecycleTest, ARebuildStartedFromInsideARebuildDoesNothing) {
  MakeList();
  LV->GetGroups()->Add();
  LV->GetGroups()->Add();
  int asked = 0;
  LV->OnCustomGrid = [&](TCustomEmberListview* s, TEmberGroup*, TEmberListStyle, const TEmberGridGroupClass*&) {
    ++asked;
    EXPECT_TRUE(s->GetGroups()->Rebuilding());
    s->GetGroups()->Rebuild(true);
  };
  LV->GetGroups()->Rebuild(true);
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(LV->GetGroups()->Rebuilding());
}

TEST_F(LifecycleTest, AHandlerThatRaisesDoesNotLeaveTheControlInAnUpdate) {
  MakeList();
  TEmberGroup* g = LV->GetGroups()->Add();
  LV->OnGroupCollapse = [](TCustomEmberListview*, TEmberGroup*) { throw EAbortTest(); };
  EXPECT_THROW(g->SetExpanded(false), EAbortTest);
  EXPECT_EQ(LV->GetUpdateCount(), 0);
}

TEST_F(LifecycleTest, SettingTheViewRebuildsAndSetsTheWheelDirection) {
  MakeList();
  int changes = 0;
  LV->OnViewChange = [&](TCustomEmberListview*) { ++changes; };
  LV->SetView(TEmberListStyle::elsIcon);
  EXPECT_EQ(changes, 0);
  const std::pair<TEmberListStyle, TEmberDefaultWheelScroll> table[] = {
      {TEmberListStyle::elsList, TEmberDefaultWheelScroll::edwsHorz},
      {TEmberListStyle::elsThumbnail, TEmberDefaultWheelScroll::edwsVert},
      {TEmberListStyle::elsFilmStrip, TEmberDefaultWheelScroll::edwsHorz},
      {TEmberListStyle::elsReport, TEmberDefaultWheelScroll::edwsVert},
  };
  for (auto [view, wheel] : table) {
    LV->SetWheelMouseDefaultScroll(wheel == TEmberDefaultWheelScroll::edwsVert ? TEmberDefaultWheelScroll::edwsHorz
                                                                             : TEmberDefaultWheelScroll::edwsVert);
    LV->SetView(view);
    EXPECT_EQ(LV->GetWheelMouseDefaultScroll(), wheel);
  }
  EXPECT_EQ(changes, 4);
}

TEST_F(LifecycleTest, ReplacingTheBackgroundWithItselfKeepsIt) {
  MakeList();
  TEmberBackgroundManager* bg = LV->GetBackGround();
  bg->SetCaption(u"empty");
  LV->SetBackGround(bg);
  EXPECT_EQ(LV->GetBackGround()->GetCaption(), u"empty");
}

// Only a change of size lays the groups out again; a move keeps them, from the first move on.
TEST_F(LifecycleTest, OnlyAResizeRebuildsTheGroups) {
  MakeList();
  LV->GetGroups()->Add();
  Form->Show();
  guitest::PumpPending();
  int rebuilds = 0;
  LV->OnCustomGrid = [&](TCustomEmberListview*, TEmberGroup*, TEmberListStyle, const TEmberGridGroupClass*&) { ++rebuilds; };
  const struct {
    const char* name;
    TRect bounds;
    bool rebuilt;
  } steps[] = {{"the first move", {10, 5, 410, 305}, false},
               {"a narrower window", {10, 5, 310, 305}, true},
               {"a lower window", {10, 5, 310, 205}, true},
               {"another move", {0, 0, 300, 200}, false}};
  for (const auto& s : steps) {
    SCOPED_TRACE(s.name);
    rebuilds = 0;
    LV->SetBounds(s.bounds.Left, s.bounds.Top, s.bounds.Width(), s.bounds.Height());
    guitest::PumpPending();
    EXPECT_EQ(rebuilds > 0, s.rebuilt);
  }
}

// No bitmap for a group button empties the control's glyph, so the built-in one shows again.
TEST_F(LifecycleTest, NoBitmapForAGroupButtonEmptiesItsGlyph) {
  MakeList();
  Owned<TBitmap> glyph(TBitmap::New());
  glyph->SetSize(9, 9);
  using Setter = void (TCustomEmberListview::*)(TBitmap*);
  using Getter = TBitmap* (TCustomEmberListview::*)() const;
  const std::tuple<const char*, Setter, Getter> buttons[] = {
      {"expand", &TCustomEmberListview::SetGroupExpandButton, &TCustomEmberListview::GetGroupExpandButton},
      {"collapse", &TCustomEmberListview::SetGroupCollapseButton, &TCustomEmberListview::GetGroupCollapseButton}};
  for (const auto& [name, set, get] : buttons) {
    SCOPED_TRACE(name);
    (LV->*set)(glyph.get());
    EXPECT_EQ((LV->*get)()->GetWidth(), 9);
    (LV->*set)(nullptr);
    EXPECT_TRUE((LV->*get)()->GetEmpty());
    EXPECT_EQ((LV->*get)()->GetPixelFormat(), TPixelFormat::pf32bit);
  }
}

// The views measure on a canvas of the control's own, handed out only while the window exists:
// a hit test, which loads the item's font into the canvas it measures on, leaves the font and
// brush of the canvas the control hands to its painters.
TEST_F(LifecycleTest, TheViewsMeasureOnAScratchCanvasOfTheirOwn) {
  MakeList(false);
  EXPECT_EQ(LV->GetScratchCanvas(), nullptr);
  LV->HandleNeeded();
  auto* scratch = dynamic_cast<TControlCanvas*>(LV->GetScratchCanvas());
  ASSERT_NE(scratch, nullptr);
  EXPECT_NE(static_cast<TCanvas*>(scratch), LV->GetCanvas());
  EXPECT_EQ(scratch->GetControl(), LV);
  LV->SetView(TEmberListStyle::elsSmallIcon);
  TEmberItem* item = LV->GetItems()->Add();
  item->SetCaption(u"IMG_0001.JPG");
  TCanvas* own = LV->GetCanvas();
  own->GetFont()->SetSize(20);
  TEmberItemHitTestInfoSet hit;
  item->HitTestAt(TPoint{10, 8}, hit);
  EXPECT_EQ(own->GetFont()->GetSize(), 20);
  EXPECT_EQ(own->GetBrush()->GetStyle(), TBrushStyle::bsSolid);
}

uint32_t Rgb(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

// The window's pixels, frame included, as a PNG in PO_SCREENSHOT_DIR when that is set.
void Shoot(HWND h, const char* name) {
  const char* out = std::getenv("PO_SCREENSHOT_DIR");
  if (!out) return;
  const TSurface& s = *pf::layer::Find(h)->Surface;
  QImage img(s.Width(), s.Height(), QImage::Format_RGB32);
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) img.setPixel(x, y, 0xFF000000u | s.PixelRGB(x, y));
  img.scaled(img.width() * 2, img.height() * 2).save(QString::fromUtf8(out) + "/" + name + ".png");
}

// Made with themes, the list draws the list-view theme's frame (one pixel) inside a border of
// BorderWidth; a switch to the classic look by WM_THEMECHANGED gives the window the sunken client
// edge of a classic list, and back.
TEST_F(LifecycleTest, TheBorderFollowsTheThemeAcrossASwitch) {
  pf::testing::SetThemesActive(true);
  MakeList(false);
  LV->SetShowThemedBorder(true);
  EXPECT_EQ(LV->GetBevelInner(), TBevelCut::bvLowered);
  EXPECT_EQ(LV->GetBevelOuter(), TBevelCut::bvLowered);
  LV->SetBounds(0, 0, 200, 120);
  Form->Show();
  LV->HandleNeeded();
  auto client = [this] {
    TRect r;
    GetClientRect(LV->Handle(), &r);
    return r;
  };
  auto px = [this](int x, int y) { return pf::layer::Find(LV->Handle())->Surface->PixelRGB(x, y); };
  auto exStyle = [this] { return GetWindowLongPtr(LV->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE; };
  EXPECT_TRUE(LV->DrawWithThemes());
  EXPECT_EQ(exStyle(), 0);
  EXPECT_EQ(client(), (TRect{0, 0, 198, 118}));
  LV->SetBorderWidth(3);
  EXPECT_EQ(client(), (TRect{0, 0, 192, 112}));
  LV->SetBorderWidth(0);
  guitest::PumpPending();
  Shoot(LV->Handle(), "list-border-themed");

  pf::testing::SetThemesActive(false);
  guitest::PumpPending();
  EXPECT_FALSE(LV->DrawWithThemes());
  EXPECT_NE(exStyle(), 0);
  EXPECT_EQ(client(), (TRect{0, 0, 196, 116}));
  EXPECT_EQ(px(0, 0), Rgb(GetSysColor(COLOR_BTNSHADOW)));
  EXPECT_EQ(px(1, 1), Rgb(GetSysColor(COLOR_3DDKSHADOW)));
  EXPECT_EQ(px(199, 119), Rgb(GetSysColor(COLOR_BTNHIGHLIGHT)));
  EXPECT_EQ(px(2, 2), Rgb(ColorToRGB(LV->GetColor())));
  Shoot(LV->Handle(), "list-border-classic-after-switch");

  pf::testing::SetThemesActive(true);
  guitest::PumpPending();
  EXPECT_EQ(exStyle(), 0);
  EXPECT_EQ(client(), (TRect{0, 0, 198, 118}));
}

}  // namespace
}  // namespace lvtest
