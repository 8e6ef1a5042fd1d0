// Painting: the order of the layers (with spy views that record what they are asked to paint),
// the header kept off in device space, and pixel probes of what the control and the group view
// draw themselves: grid lines, the row focus rectangle, the selection blend, the group's band,
// expand button, check box and focus rectangle. Rectangles are placed by hand so that the probes
// do not depend on the grid layout.
#include <QImage>

#include <cstdlib>

#include "ListviewTestUtil.h"
#include "platform/classlib/ImgList.h"
#include "platform/gdi/Bitmap.h"
#include "platform/user/User.h"
#include "platform/user/guimain/GuiTest.h"

namespace lvtest {
namespace {

std::vector<std::string>& SpyLog() {
  static std::vector<std::string> log;
  return log;
}
bool gOverlapped = false;
// When set, the spy group view fills each margin edge it is given with this colour.
TColor gGroupFill = clNone;

const char* EdgeName(TEmberGroupMarginEdge E) {
  static const char* names[] = {"Background", "Top", "Bottom", "Left", "Right", "Foreground"};
  return names[static_cast<int>(E)];
}

class TSpyGroupView : public TEmberViewGroup {
  EMBER_REF_CLASS(TSpyGroupView, TEmberViewGroup, TEmberViewGroup, TEmberGroup*)
public:
  void Paint(TEmberGroup* Group, TCanvas* ACanvas, TEmberGroupMarginEdge Edge, const TRect& R) override {
    SpyLog().push_back(Name(Group) + "." + EdgeName(Edge));
    if (gGroupFill != clNone && Edge == TEmberGroupMarginEdge::egmeBackground) {
      ACanvas->GetBrush()->SetColor(gGroupFill);
      ACanvas->FillRect(R);
    }
  }
};

class TSpyItemView : public TEmberViewItem {
  EMBER_REF_CLASS(TSpyItemView, TEmberViewItem, TEmberViewItem, TEmberGroup*)
public:
  bool OverlappedFocus() override { return gOverlapped; }
  void Paint(TEmberItem* Item, TEmberColumn* Column, TCanvas*, const TRect&, bool Force) override {
    std::string s = Name(Item);
    if (Column) s += "/" + Name(Column);
    if (Force) s += "!";
    SpyLog().push_back(s);
  }
};

// Counts the questions for the expand glyphs' size, the only way a group view reaches them.
int gGlyphAsks = 0;
class TGlyphCountingGroupView : public TEmberViewGroup {
  EMBER_REF_CLASS(TGlyphCountingGroupView, TEmberViewGroup, TEmberViewGroup, TEmberGroup*)
public:
  void GetExpandImageSize(TEmberGroup* Group, Integer& ImageW, Integer& ImageH) override {
    ++gGlyphAsks;
    TEmberViewGroup::GetExpandImageSize(Group, ImageW, ImageH);
  }
};

// Reaches the control's paint entry, which the window's paint message normally calls.
struct PaintAccess : TEmberListview {
  static void Paint(TCustomEmberListview* LV, TCanvas* C, const TRect& R, bool ViewCoords, bool SelectedOnly) {
    (LV->*(&PaintAccess::DoPaintRect))(C, R, ViewCoords, SelectedOnly);
  }
};

constexpr TColor kPaper = 0x00FFFFFF;

class PaintTest : public ListviewTest {
protected:
  void SetUp() override {
    ListviewTest::SetUp();
    SpyLog().clear();
    gOverlapped = false;
    gGroupFill = clNone;
    MakeList();
    LV->SetThemed(false);
    LV->SetColor(kPaper);
    Bits = TBitmap::New();
    Bits->SetPixelFormat(TPixelFormat::pf32bit);
    Bits->SetSize(400, 300);
  }
  void TearDown() override {
    FreeAndNil(Bits);
    ListviewTest::TearDown();
  }
  void Spies() {
    LV->OnGroupCustomView = [](TCustomEmberListview*, TEmberGroup*, TEmberListStyle, const TEmberViewGroupClass*& V) {
      V = &TSpyGroupView::StaticClass();
    };
    LV->OnItemCustomView = [](TCustomEmberListview*, TEmberItem*, TEmberListStyle, const TEmberViewItemClass*& V) {
      V = &TSpyItemView::StaticClass();
    };
  }
  // Groups "G0".. of items named by single letters; then every rectangle is set by hand:
  // groups of `groupH` stacked from the top, items `cell` square in rows of four.
  void Build(const std::vector<std::string>& groups, Integer groupH = 100, Integer cell = 50) {
    LV->BeginUpdate();
    for (size_t g = 0; g < groups.size(); ++g) {
      TEmberGroup* group = LV->GetGroups()->Add();
      group->SetCaption(u"G" + String(1, static_cast<Char>(u'0' + g)));
      for (char c : groups[g]) group->GetItems()->Add()->SetCaption(String(1, static_cast<Char>(c)));
    }
    LV->EndUpdate();
    Place(groupH, cell);
  }
  // Sets every rectangle by hand again (a header change lays the groups out anew).
  void Place(Integer groupH = 100, Integer cell = 50) {
    Integer top = 0;
    for (Integer g = 0; g < LV->GetGroups()->GetCount(); ++g) {
      TEmberGroup* group = LV->GetGroups()->GetGroup(g);
      group->SetDisplayRect(TRect{0, top, 400, top + groupH});
      for (Integer i = 0; i < group->GetItemCount(); ++i)
        group->GetItem(i)->SetDisplayRect(
            TRect{(i % 4) * cell, top + (i / 4) * cell, (i % 4 + 1) * cell, top + (i / 4 + 1) * cell});
      top += groupH;
    }
  }
  TEmberItem* Item(char c) {
    for (TEmberItem* i = LV->GetGroups()->FirstItem(); i; i = LV->GetGroups()->NextItem(i))
      if (i->GetCaption() == String(1, static_cast<Char>(c))) return i;
    return nullptr;
  }
  void Clear(TColor c = kPaper) {
    Bits->GetCanvas()->GetBrush()->SetColor(c);
    Bits->GetCanvas()->FillRect(TRect{0, 0, 400, 300});
  }
  void Paint(TRect clip = TRect{0, 0, 400, 300}, bool selectedOnly = false) {
    PaintAccess::Paint(LV, Bits->GetCanvas(), clip, false, selectedOnly);
  }
  TColor Px(Integer x, Integer y) { return ColorToRGB(Bits->GetCanvas()->GetPixel(x, y)) & 0xFFFFFF; }
  std::string Logged() {
    std::string out;
    for (const auto& s : SpyLog()) out += (out.empty() ? "" : " ") + s;
    return out;
  }
  void Focus() {
    Form->Show();
    pf::SetFocus(LV->Handle());
  }

  TBitmap* Bits{nullptr};
};

// ---- Layers ----

TEST_F(PaintTest, EachGroupInTheClipPaintsSixPassesInOrderBeforeAnyItem) {
  Spies();
  Build({"ab", "c", "d"});
  Paint(TRect{0, 0, 400, 150});  // G2 starts at 200, below the clip
  EXPECT_EQ(Logged(),
            "G0.Background G0.Top G0.Bottom G0.Left G0.Right G0.Foreground "
            "G1.Background G1.Top G1.Bottom G1.Left G1.Right G1.Foreground a b c");
}

TEST_F(PaintTest, WhichItemsPaintAndInWhatOrder) {
  struct Case {
    const char* name;
    bool overlapped;
    char focused;
    std::string selected;
    bool selectedOnly;
    const char* expected;
  } cases[] = {
      {"index order", false, 'b', "", false, "a b c d e"},
      {"an overlapping focused item comes last", true, 'b', "", false, "a c d e b"},
      {"a focused item that does not overlap keeps its place", false, 'c', "", false, "a b c d e"},
      {"selected only, nothing selected: nothing at all", true, 'b', "", true, ""},
      {"selected only: the selected ones, no group passes", false, 'b', "bd", true, "b d"},
      {"selected only keeps an unselected overlapping focus out", true, 'c', "ad", true, "a d"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LV->GetGroups()->Clear(true);
    LV->GetSelection()->SetMultiSelect(true);
    gOverlapped = c.overlapped;
    Spies();
    Build({"abcde"});
    for (char s : c.selected) Item(s)->SetSelected(true);
    LV->GetSelection()->SetFocusedItem(Item(c.focused));
    SpyLog().clear();
    Paint(TRect{0, 0, 400, 300}, c.selectedOnly);
    std::string items;
    for (const auto& s : SpyLog())
      if (s.find('.') == std::string::npos) items += (items.empty() ? "" : " ") + s;
    EXPECT_EQ(items, c.expected);
    if (c.selectedOnly) {
      for (const auto& s : SpyLog()) EXPECT_EQ(s.find('.'), std::string::npos) << s;
    }
  }
}

TEST_F(PaintTest, SelectedOnlyWithoutSelectionLeavesTheCanvasUntouched) {
  Build({"abc"});
  LV->GetPaintInfoItem()->SetGridLines(true);
  LV->SetView(TEmberListStyle::elsReport);
  Build({"abc"});
  Clear(0x123456);
  Paint(TRect{0, 0, 400, 300}, true);
  for (TPoint p : {TPoint{0, 0}, TPoint{10, 49}, TPoint{200, 150}, TPoint{399, 299}}) EXPECT_EQ(Px(p.X, p.Y), 0x123456u);
}

TEST_F(PaintTest, ReportRowsPaintTheirColumnsInPositionOrderAndOnlyThoseInTheClip) {
  Spies();
  LV->SetView(TEmberListStyle::elsReport);
  TEmberColumns* cols = LV->GetHeader()->GetColumns();
  for (const char16_t* c : {u"X", u"Y", u"Z"}) {
    TEmberColumn* col = cols->Add();
    col->SetCaption(c);
    col->SetWidth(100);
  }
  cols->GetColumn(2)->SetPosition(0);  // Z X Y
  LV->GetHeader()->Rebuild(true);
  Build({"ab"}, 100, 20);
  for (TEmberItem* i : {Item('a'), Item('b')}) {
    TRect r = i->GetDisplayRect();
    i->SetDisplayRect(TRect{0, (r.Top / 20) * 20, 300, (r.Top / 20 + 1) * 20});
  }
  Item('b')->SetDisplayRect(TRect{0, 20, 300, 40});
  struct Case {
    const char* name;
    TRect clip;
    bool fullRow, selectB;
    std::string expected;
  } cases[] = {
      {"all columns", {0, 0, 400, 300}, false, false, "a/Z a/X a/Y b/Z b/X b/Y"},
      {"the clip leaves the first column out", {150, 0, 400, 300}, false, false, "a/X a/Y b/X b/Y"},
      {"a full-row selection first paints the row from the first column in the clip",
       {0, 0, 400, 300}, true, true, "a/Z a/X a/Y b/Z! b/Z b/X b/Y"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LV->GetSelection()->SetFullRowSelect(c.fullRow);
    Item('b')->SetSelected(c.selectB);
    SpyLog().clear();
    Paint(c.clip);
    std::string items;
    for (const auto& s : SpyLog())
      if (s.find('.') == std::string::npos) items += (items.empty() ? "" : " ") + s;
    EXPECT_EQ(items, c.expected);
  }
}

TEST_F(PaintTest, TheHeaderStripIsKeptOffInDeviceSpaceWhateverTheScroll) {
  Spies();
  gGroupFill = 0x0000FF;
  LV->SetView(TEmberListStyle::elsReport);
  // The rows below assume a header of exactly 21 and the whole client area: no scroll bars.
  LV->GetHeader()->SetAutoSizeHeight(false);
  LV->GetScrollbars()->SetHorzEnabled(false);
  LV->GetScrollbars()->SetVertEnabled(false);
  TEmberColumn* col = LV->GetHeader()->GetColumns()->Add();
  col->SetWidth(400);
  LV->GetHeader()->Rebuild(true);
  Build({"a"}, 1000);
  struct Case {
    bool headerVisible;
    Integer offsetY;
    Integer firstGroupRow;
  } cases[] = {{true, 0, 21}, {true, 50, 21}, {true, 300, 21}, {false, 0, 0}, {false, 50, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "header " << c.headerVisible << ", offset " << c.offsetY);
    LV->GetHeader()->SetVisible(c.headerVisible);
    LV->GetHeader()->SetHeight(21);
    Place(1000);
    LV->GetScrollbars()->SetOffsetY(c.offsetY);
    Clear(0x00FF00);
    Paint();
    if (c.firstGroupRow > 0) {
      EXPECT_NE(Px(5, c.firstGroupRow - 1), 0x0000FFu);
    }
    EXPECT_EQ(Px(5, c.firstGroupRow), 0x0000FFu);
    EXPECT_EQ(Px(5, 299), 0x0000FFu);
  }
}

// ---- Pixel probes of the control's own layers ----

TEST_F(PaintTest, GridLinesAndTheRowFocusRectangleOnePixelAboveThem) {
  Focus();
  Spies();
  LV->SetView(TEmberListStyle::elsReport);
  TEmberColumn* col = LV->GetHeader()->GetColumns()->Add();
  col->SetWidth(120);
  LV->GetHeader()->Rebuild(true);
  Build({"ab"});
  Item('a')->SetDisplayRect(TRect{0, 0, 120, 20});
  Item('b')->SetDisplayRect(TRect{0, 20, 120, 40});
  LV->GetGroups()->GetGroup(0)->SetDisplayRect(TRect{0, 0, 400, 40});
  LV->GetPaintInfoItem()->SetGridLines(true);
  LV->GetPaintInfoItem()->SetGridLineColor(0x00FF0000);  // blue
  LV->GetSelection()->SetFullRowSelect(true);
  ASSERT_TRUE(LV->Focused());
  LV->GetSelection()->SetFocusedItem(Item('b'));
  Clear();
  Paint();
  // Horizontal lines at each row's bottom - 1, across the client.
  EXPECT_EQ(Px(0, 19), 0xFF0000u);
  EXPECT_EQ(Px(LV->GetClientWidth() - 1, 39), 0xFF0000u);
  EXPECT_EQ(Px(60, 18), kPaper);
  // The vertical line at the column's right edge, down the group's background.
  EXPECT_EQ(Px(120, 5), 0xFF0000u);
  EXPECT_EQ(Px(121, 5), kPaper);
  // The focus rectangle of row b (20..40) ends one pixel above its grid line: rows 20 and 38.
  EXPECT_NE(Px(0, 38), kPaper);
  EXPECT_EQ(Px(0, 39), 0xFF0000u);
  EXPECT_NE(Px(0, 20), kPaper);
  EXPECT_EQ(Px(0, 37) == kPaper || Px(0, 36) == kPaper, true);  // dotted
}

TEST_F(PaintTest, ColumnShadingSpansTheGroupsBackgroundBelowTheScroll) {
  LV->SetView(TEmberListStyle::elsReport);
  TEmberColumns* cols = LV->GetHeader()->GetColumns();
  cols->Add()->SetWidth(100);
  cols->Add()->SetWidth(100);
  cols->GetColumn(1)->SetBkGndColor(0x00C0C0C0);
  LV->GetHeader()->Rebuild(true);
  Build({"a"});
  LV->GetGroups()->GetGroup(0)->SetDisplayRect(TRect{0, 0, 400, 120});
  Item('a')->SetDisplayRect(TRect{0, 0, 200, 20});
  Clear();
  Paint();
  EXPECT_EQ(Px(99, 50), kPaper);
  EXPECT_EQ(Px(100, 50), 0xC0C0C0u);
  EXPECT_EQ(Px(199, 119), 0xC0C0C0u);
  EXPECT_EQ(Px(200, 50), kPaper);
  EXPECT_EQ(Px(150, 120), kPaper);  // below the group
  EXPECT_EQ(Px(150, 0), kPaper);    // the shading starts at the offset + 1
  EXPECT_EQ(Px(150, 1), 0xC0C0C0u);
}

TEST_F(PaintTest, TheAlphaBlenderMixesTheColourIntoTheBitmapUnderTheCanvas) {
  TEmberAlphaBlender* blender = EmberAlphaBlender();
  ASSERT_NE(blender, nullptr);
  const Integer cw = LV->GetClientWidth();
  struct Case {
    const char* name;
    TRect rect;
    bool useScroll;
    Integer offsetY;
    TPoint inside, outside;
  } cases[] = {
      {"cut to the client", {cw - 10, 10, cw + 50, 30}, false, 0, {cw - 1, 10}, {cw, 10}},
      {"the view's rectangle followed through the scroll", {0, 100, 40, 120}, true, 80, {0, 20}, {0, 40}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // An offset needs a view tall enough to scroll over.
    if (c.offsetY) {
      LV->GetScrollbars()->SetVertEnabled(false);
      LV->GetScrollbars()->SetViewRect(TRect{0, 0, 100, 1000}, false);
    }
    LV->GetScrollbars()->SetOffsetY(c.offsetY);
    Clear();
    blender->BasicBlend(LV, Bits->GetCanvas(), c.rect, 0x000000FF, 64, c.useScroll);
    // Red at 64/256 over white: blue and green 255 * 192 / 256 = 191, red stays 255.
    EXPECT_EQ(Px(c.inside.X, c.inside.Y), 0xBFBFFFu);
    EXPECT_EQ(Px(c.outside.X, c.outside.Y), kPaper);
  }
  LV->GetScrollbars()->SetOffsetY(0);
  // A canvas on a 24-bit bitmap is a caller's mistake the blend reports, not one it passes over.
  Owned<TBitmap> rgb(TBitmap::New());
  rgb->SetPixelFormat(TPixelFormat::pf24bit);
  rgb->SetSize(20, 20);
  EXPECT_THROW(blender->BasicBlend(LV, rgb->GetCanvas(), TRect{0, 0, 10, 10}, clRed, 64, false), EAssertionFailed);
}

TEST_F(PaintTest, BlendParametersFollowFocusEnabledAndSelection) {
  Build({"a"});
  TEmberItem* a = Item('a');
  LV->GetSelection()->SetBlendAlphaImage(100);
  LV->GetSelection()->SetColor(0x111111);
  LV->GetSelection()->SetInactiveColor(0x222222);
  LV->SetDisabledBlendAlpha(50);
  LV->SetDisabledBlendColor(0x333333);
  struct Case {
    const char* name;
    bool focus, enabled, selected;
    Byte alpha;
    TColor color;
    bool doBlend;
  } cases[] = {
      {"focused, selected", true, true, true, 100, 0x111111, true},
      {"focused, not selected", true, true, false, 100, 0x111111, false},
      {"focused, disabled", true, false, false, 50, 0x333333, true},
      {"unfocused, selected", false, true, true, 50, 0x222222, true},
      {"unfocused, disabled", false, false, false, 50, 0x222222, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.focus)
      Focus();
    else
      pf::SetFocus(nullptr);
    a->SetEnabled(true);
    a->SetSelected(c.selected);
    a->SetEnabled(c.enabled);
    Byte alpha = 0;
    TColor color = 0;
    bool doBlend = !c.doBlend;
    EmberAlphaBlender()->GetBlendParams(LV, a, alpha, color, doBlend);
    EXPECT_EQ(doBlend, c.doBlend);
    EXPECT_EQ(alpha, c.alpha);
    EXPECT_EQ(color, c.color);
  }
}

// ---- Group painting ----

class GroupPaintTest : public PaintTest {
protected:
  void SetUp() override {
    PaintTest::SetUp();
    LV->SetShowGroupMargins(true);
    Info = LV->GetPaintInfoGroup();
    Info->GetMarginTop()->SetVisible(true);
    Info->GetMarginTop()->SetSize(30);
    Build({"a"}, 200);
    G = LV->GetGroups()->GetGroup(0);
    G->SetCaption(u"");
  }
  TEmberRectArrayObject Array(TEmberGroupMarginEdge E, TRect obj) {
    TEmberRectArrayObject ra;
    G->GetView()->GroupRectArray(G, E, obj, ra);
    return ra;
  }
  void PaintEdge(TEmberGroupMarginEdge E, TRect obj) { G->GetView()->Paint(G, Bits->GetCanvas(), E, obj); }
  TBitmap* Solid(TColor c, Integer w, Integer h) {
    Owned<TBitmap> b(TBitmap::New());
    b->SetPixelFormat(TPixelFormat::pf32bit);
    b->SetSize(w, h);
    b->GetCanvas()->GetBrush()->SetColor(c);
    b->GetCanvas()->FillRect(TRect{0, 0, w, h});
    return b.release();
  }
  TEmberPaintInfoBaseGroup* Info{nullptr};
  TEmberGroup* G{nullptr};
};

TEST_F(GroupPaintTest, HeaderGeometry) {
  Owned<TBitmap> glyph(Solid(0x00FF00, 9, 11));
  LV->SetGroupExpandButton(glyph.get());
  LV->SetGroupCollapseButton(glyph.get());
  const TRect top{0, 0, 400, 30};
  struct Case {
    const char* name;
    bool expandable, bandEnabled, fullWidth;
    TRect expand, label, band;
  } cases[] = {
      // The button is the glyph's width plus one at 96 dpi, after the indent of 4; the band
      // (thickness 3, margin 2) takes 7 pixels off the bottom.
      {"expandable", true, true, false, {4, 0, 14, 23}, {14 + 4, 0, 400, 23}, {0, 23, 300, 28}},
      {"not expandable: a button of width 0", false, true, false, {0, 0, 0, 23}, {4, 0, 400, 23}, {0, 23, 300, 28}},
      {"no band: the whole height", true, false, false, {4, 0, 14, 30}, {18, 0, 400, 30}, {}},
      {"full-width band", true, true, true, {4, 0, 14, 23}, {18, 0, 400, 23}, {0, 25, 400, 28}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Info->SetExpandable(c.expandable);
    Info->SetBandEnabled(c.bandEnabled);
    Info->SetBandFullWidth(c.fullWidth);
    TEmberRectArrayObject ra = Array(TEmberGroupMarginEdge::egmeTop, top);
    EXPECT_EQ(ra.ExpandButtonRect, c.expand);
    EXPECT_EQ(ra.LabelRect, c.label);
    EXPECT_EQ(ra.BandRect, c.band);
    // Without an image the icon has no width and the caption follows the check's place.
    EXPECT_EQ(ra.IconRect.Left, ra.IconRect.Right);
  }
  Info->SetExpandable(true);
  Info->SetBandEnabled(true);
  Info->SetBandFullWidth(false);
}

TEST_F(GroupPaintTest, TheBandSolidBlendedAndAsBrackets) {
  Info->SetBandColor(0x0000FF);
  Info->SetBandColorFade(0xFFFFFF);
  const TRect top{0, 0, 400, 30};
  // Solid: three lines from y = BandRect.Top + margin = 25, x 0..299.
  Info->SetBandBlended(false);
  Clear();
  PaintEdge(TEmberGroupMarginEdge::egmeTop, top);
  EXPECT_EQ(Px(0, 25), 0x0000FFu);
  EXPECT_EQ(Px(299, 27), 0x0000FFu);
  EXPECT_EQ(Px(300, 25), kPaper);
  EXPECT_EQ(Px(10, 24), kPaper);
  EXPECT_EQ(Px(10, 28), kPaper);
  // Blended: 301 columns; column x + 1 takes the colour of step x, so columns 0 and 1 are the
  // start colour; green and blue climb 255 / 300 per step: column 300 has Round(299 * 0.85) = 254.
  Info->SetBandBlended(true);
  Clear(0);
  PaintEdge(TEmberGroupMarginEdge::egmeTop, top);
  EXPECT_EQ(Px(0, 25), 0x0000FFu);
  EXPECT_EQ(Px(1, 27), 0x0000FFu);
  EXPECT_EQ(Px(2, 26), 0x0101FFu);
  EXPECT_EQ(Px(300, 25), 0xFEFEFFu);
  EXPECT_EQ(Px(301, 25), 0u);
  EXPECT_EQ(Px(5, 28), 0u);
  // A blended band of length 0 draws nothing.
  Info->SetBandLength(0);
  Clear(0);
  PaintEdge(TEmberGroupMarginEdge::egmeTop, top);
  EXPECT_EQ(Px(0, 25), 0u);
  Info->SetBandLength(300);
  // The left bracket: a vertical bar at the margin's middle joining the header's band to the
  // footer's, in the band colour.
  Info->GetMarginLeft()->SetVisible(true);
  Info->GetMarginLeft()->SetSize(20);
  Info->GetMarginBottom()->SetVisible(true);
  Info->GetMarginBottom()->SetSize(30);
  Info->SetBandBlended(false);
  TRect left = G->GetBoundsRectLeftMargin();
  TEmberRectArrayObject ra = Array(TEmberGroupMarginEdge::egmeLeft, left);
  EXPECT_EQ(ra.BandRect.Left, left.Left + (20 - 3) / 2);
  Clear();
  PaintEdge(TEmberGroupMarginEdge::egmeLeft, left);
  const Integer midY = (ra.BandRect.Top + ra.BandRect.Bottom) / 2;
  EXPECT_EQ(Px(ra.BandRect.Left, midY), 0x0000FFu);
  EXPECT_EQ(Px(ra.BandRect.Left + 2, midY), 0x0000FFu);
  EXPECT_EQ(Px(ra.BandRect.Left + 3, midY), kPaper);
  EXPECT_EQ(Px(ra.BandRect.Left - 1, midY), kPaper);
}

TEST_F(GroupPaintTest, TheExpandButtonShowsWhatAClickWouldDo) {
  Owned<TBitmap> expand(Solid(0x00FF00, 9, 9)), collapse(Solid(0xFF0000, 9, 9));
  LV->SetGroupExpandButton(expand.get());
  LV->SetGroupCollapseButton(collapse.get());
  Info->SetBandEnabled(false);
  const TRect top{0, 0, 400, 30};
  // Button (4, 0, 14, 30); the glyph centred: x 4 + (10 - 9) div 2 = 4, y (30 - 9) div 2 = 10.
  struct Case {
    bool expanded;
    TColor glyph;
  } cases[] = {{true, 0xFF0000}, {false, 0x00FF00}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expanded);
    G->SetExpanded(c.expanded);
    Clear();
    PaintEdge(TEmberGroupMarginEdge::egmeTop, top);
    EXPECT_EQ(Px(4, 10), c.glyph);
    EXPECT_EQ(Px(12, 18), c.glyph);
    EXPECT_EQ(Px(3, 10), kPaper);
    EXPECT_EQ(Px(4, 9), kPaper);
    EXPECT_EQ(Px(13, 19), kPaper);
  }
  // Only the header shows it.
  Clear();
  PaintEdge(TEmberGroupMarginEdge::egmeForeground, top);
  EXPECT_EQ(Px(4, 10), kPaper);
}

TEST_F(GroupPaintTest, TheCheckBoxSitsAfterTheButtonAndShowsItsState) {
  Info->SetExpandable(false);
  Info->SetBandEnabled(false);
  Info->SetCheckType(TEmberCheckType::ectBox);
  const TRect top{0, 0, 400, 30};
  TRect bound;
  common::CheckBound->Bound(Info->GetCheckSize(), bound);
  TEmberRectArrayObject ra = Array(TEmberGroupMarginEdge::egmeTop, top);
  // After a button of width 0 and the check indent of 2, centred in the header.
  EXPECT_EQ(ra.CheckRect.Left, 2 + bound.Left);
  EXPECT_EQ(ra.CheckRect.Top, bound.Top + (30 - bound.Height()) / 2);
  EXPECT_EQ(ra.CheckRect.Width(), bound.Width());
  std::vector<TColor> unchecked, checked;
  for (bool on : {false, true}) {
    G->SetChecked(on);
    Clear();
    PaintEdge(TEmberGroupMarginEdge::egmeTop, top);
    auto& px = on ? checked : unchecked;
    for (Integer y = ra.CheckRect.Top; y < ra.CheckRect.Bottom; ++y)
      for (Integer x = ra.CheckRect.Left; x < ra.CheckRect.Right; ++x) px.push_back(Px(x, y));
    EXPECT_EQ(Px(ra.CheckRect.Left - 1, ra.CheckRect.Top), kPaper);
    EXPECT_EQ(Px(ra.CheckRect.Right, ra.CheckRect.Bottom), kPaper);
  }
  EXPECT_NE(std::count(unchecked.begin(), unchecked.end(), kPaper), static_cast<long>(unchecked.size()));
  EXPECT_NE(unchecked, checked);
  // ectNoneWithSpace keeps the place but paints no box.
  Info->SetCheckType(TEmberCheckType::ectNoneWithSpace);
  Clear();
  PaintEdge(TEmberGroupMarginEdge::egmeTop, top);
  EXPECT_EQ(Px((ra.CheckRect.Left + ra.CheckRect.Right) / 2, ra.CheckRect.Top), kPaper);
}

// The box looks pressed (its face in clBtnFace, not white) only while a click on it is pending,
// not while the mouse merely hovers over it.
TEST_F(GroupPaintTest, TheCheckBoxLooksPressedOnlyWhileAClickIsPending) {
  Info->SetCheckType(TEmberCheckType::ectBox);
  G->SetChecked(false);
  const TRect top{0, 0, 400, 30}, box = Array(TEmberGroupMarginEdge::egmeTop, top).CheckRect;
  // Hovering, pending, a click pending on the control, and the face inside the box.
  const std::tuple<bool, bool, bool, TColor> cases[] = {{true, false, false, kPaper},
                                                         {false, true, false, kPaper},
                                                         {false, true, true, ColorToRGB(clBtnFace) & 0xFFFFFF}};
  for (const auto& [hovering, pending, click, inside] : cases) {
    G->SetCheckHovering(hovering);
    G->SetCheckPending(pending);
    click ? LV->States().Include(TEmberControlState::ebcsCheckboxClickPending)
          : LV->States().Exclude(TEmberControlState::ebcsCheckboxClickPending);
    Clear();
    PaintEdge(TEmberGroupMarginEdge::egmeTop, top);
    EXPECT_EQ(Px((box.Left + box.Right) / 2, (box.Top + box.Bottom) / 2), inside) << hovering << pending << click;
  }
}

TEST_F(GroupPaintTest, TheFocusRectangleOnlyInTheForegroundPass) {
  // Groups take no focus through the change protocol; the bit is set as a descendant would.
  G->SetState(G->GetState() + TEmberStorageObjectState::esosFocused);
  const TRect r{0, 0, 400, 200};
  for (auto e : {TEmberGroupMarginEdge::egmeBackground, TEmberGroupMarginEdge::egmeTop,
                 TEmberGroupMarginEdge::egmeForeground}) {
    Clear();
    PaintEdge(e, r);
    const bool drawn = Px(4, 4) != kPaper;
    EXPECT_EQ(drawn, e == TEmberGroupMarginEdge::egmeForeground) << EdgeName(e);
  }
}

TEST_F(GroupPaintTest, ASelectedCaptionIsFilledTwoPixelsRoundItsText) {
  G->SetCaption(u"Holiday");
  Info->SetBandEnabled(false);
  const TRect top{0, 0, 400, 30};
  TEmberRectArrayObject ra = Array(TEmberGroupMarginEdge::egmeTop, top);
  ASSERT_FALSE(IsRectEmptyEx(ra.TextRect));
  G->SetSelected(true);
  Clear();
  PaintEdge(TEmberGroupMarginEdge::egmeTop, top);
  const TColor highlight = ColorToRGB(clHighlight) & 0xFFFFFF;
  EXPECT_EQ(Px(ra.TextRect.Left - 2, ra.TextRect.Top - 2), highlight);
  EXPECT_EQ(Px(ra.TextRect.Right + 1, ra.TextRect.Bottom + 1), highlight);
  EXPECT_EQ(Px(ra.TextRect.Left - 3, ra.TextRect.Top), kPaper);
  EXPECT_EQ(Px(ra.TextRect.Right + 2, ra.TextRect.Top), kPaper);
}

// Every edge's layout computes the header's and footer's too, raising their events: the header and
// footer once each (a custom-image question and a text font), the other edges that plus the two
// of the header and footer. Only the header and footer laid out for their own pass ask for the
// expand glyphs' size; so a list without group margins paints without loading the built-in ones.
TEST_F(GroupPaintTest, EachEdgeLaysOutTheHeaderAndFooterAsWell) {
  int isCustom = 0, fonts = 0;
  LV->OnGroupImageDrawIsCustom = [&](TCustomEmberListview*, TEmberGroup*, bool&) { ++isCustom; };
  LV->OnGroupPaintText = [&](TCustomEmberListview*, TEmberGroup*, TCanvas*) { ++fonts; };
  LV->OnGroupCustomView = [](TCustomEmberListview*, TEmberGroup*, TEmberListStyle, const TEmberViewGroupClass*& V) {
    V = &TGlyphCountingGroupView::StaticClass();
  };
  using E = TEmberGroupMarginEdge;
  const struct {
    E edge;
    int isCustom, fonts, glyphAsks;
  } cases[] = {{E::egmeBackground, 3, 2, 0}, {E::egmeTop, 1, 1, 1},   {E::egmeBottom, 1, 1, 1},
               {E::egmeLeft, 3, 2, 0},       {E::egmeRight, 3, 2, 0}, {E::egmeForeground, 3, 2, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(EdgeName(c.edge));
    isCustom = fonts = gGlyphAsks = 0;
    Array(c.edge, TRect{0, 0, 400, 100});
    EXPECT_EQ(isCustom, c.isCustom);
    EXPECT_EQ(fonts, c.fonts);
    EXPECT_EQ(gGlyphAsks, c.glyphAsks);
  }
  LV->SetShowGroupMargins(false);
  Place(100);
  gGlyphAsks = 0;
  Paint();
  EXPECT_EQ(gGlyphAsks, 0);
  LV->OnGroupCustomView = nullptr;
}

// The footer is measured from its own caption, and its text and picture are placed by its own
// alignments (the footer carries them), not by the group's.
TEST_F(GroupPaintTest, AFooterIsLaidOutByItsOwnCaptionAndAlignments) {
  Owned<TImageList> images(TImageList::New(nullptr));
  images->SetSize(8, 8);
  for (TColor c : {TColor(0x0000FF), TColor(0x00FF00)}) {
    Owned<TBitmap> b(TBitmap::New());
    b->SetPixelFormat(TPixelFormat::pf32bit);
    b->SetSize(8, 8);
    b->GetCanvas()->GetBrush()->SetColor(c);
    b->GetCanvas()->FillRect(TRect{0, 0, 8, 8});
    images->Add(b.get(), nullptr);
  }
  LV->SetImagesGroup(images.get());
  Info->SetBandEnabled(false);
  Info->SetAlignment(TAlignment::taLeftJustify);
  Info->SetVAlignment(common::TCommonVAlignment::cvaBottom);
  TCustomEmberFooterMargin* footer = Info->GetMarginBottom();
  footer->SetVisible(true);
  footer->SetCaption(u"Total");
  footer->SetAlignment(TAlignment::taRightJustify);
  footer->SetVAlignment(common::TCommonVAlignment::cvaTop);
  footer->SetImageIndex(1);
  G->SetCaption(u"A much longer caption of the group");
  G->SetImageIndex(0);
  TCanvas* measure = Bits->GetCanvas();
  measure->SetFont(LV->GetGroupFont());
  const Integer width = measure->TextWidth(u"Total");
  const TRect bottom{0, 0, 400, 30};
  const TEmberRectArrayObject ra = Array(TEmberGroupMarginEdge::egmeBottom, bottom);
  EXPECT_EQ(ra.TextRect.Width(), width);
  EXPECT_EQ(ra.TextRect.Right, 400);
  EXPECT_EQ(ra.TextRect.Top, 0);
  // The picture: the icon box starts after the image indent of 2; at the top it sits 2 pixels
  // down (at the bottom it would start at 30 - (8 + 2) = 20), in the footer's own image.
  Clear();
  PaintEdge(TEmberGroupMarginEdge::egmeBottom, bottom);
  EXPECT_EQ(Px(2, 2), 0x00FF00u);
  EXPECT_EQ(Px(9, 9), 0x00FF00u);
  EXPECT_EQ(Px(5, 22), kPaper);
  LV->SetImagesGroup(nullptr);
}

// ---- Invalidation ----

TEST_F(PaintTest, InvalidationIsCutToTheClientAndManyRectanglesCollapseToTheirBounds) {
  ValidateRect(LV->Handle(), nullptr);
  TRect r{500, 500, 600, 600};
  InvalidateRect(LV->Handle(), &r, false);
  TRect box;
  EXPECT_FALSE(GetUpdateRect(LV->Handle(), &box, false));
  for (Integer i = 0; i < 200; ++i) {
    TRect cell{(i % 20) * 20, (i / 20) * 20, (i % 20) * 20 + 5, (i / 20) * 20 + 5};
    InvalidateRect(LV->Handle(), &cell, false);
  }
  ASSERT_TRUE(GetUpdateRect(LV->Handle(), &box, false));
  EXPECT_EQ(box, (TRect{0, 0, 385, 185}));
  // Everything but a gap between four cells is validated: the gap is still to be painted, as
  // the region became the cells' bounds.
  for (TRect v : {TRect{0, 0, 400, 10}, TRect{0, 15, 400, 300}, TRect{0, 10, 10, 15}, TRect{15, 10, 400, 15}})
    ValidateRect(LV->Handle(), &v);
  ASSERT_TRUE(GetUpdateRect(LV->Handle(), &box, false));
  EXPECT_EQ(box, (TRect{10, 10, 15, 15}));
  ValidateRect(LV->Handle(), nullptr);
}

TEST_F(PaintTest, OnAfterPaintFollowsEachPaintWithItsRectangle) {
  std::vector<TRect> seen;
  LV->OnAfterPaint = [&](TCustomEmberListview*, TCanvas* c, TRect r) {
    EXPECT_NE(c, nullptr);
    seen.push_back(r);
  };
  Form->Show();
  guitest::PumpPending();
  seen.clear();
  TRect r{10, 20, 60, 70};
  InvalidateRect(LV->Handle(), &r, false);
  UpdateWindow(LV->Handle());
  EXPECT_EQ(seen, std::vector<TRect>{r});
}

// ---- Screenshots (only when asked for: PO_SCREENSHOT_DIR) ----

class TShotItem : public TEmberItemStored {
  EMBER_ITEM_CLASS(TShotItem, TEmberItemStored)
public:
  void ThumbnailDraw(TCanvas* ACanvas, const TRect& R, TEmberAlphaBlender*, bool& DoDefault) override {
    DoDefault = false;
    const TColor sky[] = {0x00D8A060, 0x0060A0D8, 0x0070C070, 0x00A070C0};
    ACanvas->GetBrush()->SetStyle(TBrushStyle::bsSolid);
    ACanvas->GetBrush()->SetColor(sky[GetIndex() % 4]);
    ACanvas->FillRect(TRect{R.Left + 6, R.Top + 10, R.Right - 6, R.Bottom - 10});
    ACanvas->GetBrush()->SetColor(0x00306030);
    ACanvas->FillRect(TRect{R.Left + 6, (R.Top + R.Bottom) / 2 + 10, R.Right - 6, R.Bottom - 10});
  }
};

TImageList* Icons(Integer size) {
  TImageList* l = TImageList::New(nullptr);
  l->SetSize(size, size);
  for (TColor c : {0x000080FFu, 0x00C08000u}) {
    Owned<TBitmap> b(TBitmap::New());
    b->SetPixelFormat(TPixelFormat::pf32bit);
    b->SetSize(size, size);
    b->GetCanvas()->GetBrush()->SetColor(clWhite);
    b->GetCanvas()->FillRect(TRect{0, 0, size, size});
    b->GetCanvas()->GetBrush()->SetColor(c);
    b->GetCanvas()->FillRect(TRect{size / 8, size / 8, size - size / 8, size - size / 8});
    l->Add(b.get(), nullptr);
  }
  return l;
}

TEST_F(PaintTest, ScreenshotsOfTheNineViewsWithGroups) {
  const char* out = std::getenv("PO_SCREENSHOT_DIR");
  if (!out) GTEST_SKIP() << "PO_SCREENSHOT_DIR is not set";
  Owned<TImageList> small(Icons(16)), large(Icons(32));
  LV->SetBounds(0, 0, 640, 480);
  LV->SetImagesSmall(small.get());
  LV->SetImagesLarge(large.get());
  LV->SetImagesExLarge(large.get());
  LV->SetShowGroupMargins(true);
  TEmberPaintInfoBaseGroup* info = LV->GetPaintInfoGroup();
  info->GetMarginTop()->SetVisible(true);
  info->GetMarginTop()->SetSize(28);
  info->GetMarginBottom()->SetVisible(true);
  info->GetMarginBottom()->SetSize(20);
  info->GetMarginBottom()->SetCaption(u"конец группы");
  info->SetCheckType(TEmberCheckType::ectBox);
  LV->GetHeader()->SetVisible(true);
  TEmberColumns* cols = LV->GetHeader()->GetColumns();
  for (const char16_t* c : {u"Имя", u"Размер", u"Тип"}) {
    TEmberColumn* col = cols->Add();
    col->SetCaption(c);
    col->SetWidth(150);
  }
  LV->GetSelection()->SetMultiSelect(true);
  LV->GetPaintInfoItem()->SetGridLines(true);
  {
    TEmberUpdateGuard update(LV);
    const char16_t* groups[] = {u"Отпуск 2024", u"День рождения", u"Разное"};
    for (Integer g = 0; g < 3; ++g) {
      TEmberGroup* group = LV->GetGroups()->Add();
      group->SetCaption(groups[g]);
      for (Integer i = 0; i < 7 - 2 * g; ++i) {
        TEmberItem* item = group->GetItems()->AddCustom(&TShotItem::StaticClass());
        item->SetCaption(u"IMG_" + String(1, static_cast<Char>(u'0' + g)) + u"00" + String(1, static_cast<Char>(u'1' + i)) +
                         u".JPG");
        item->SetCaptions(1, u"2,4 МБ");
        item->SetCaptions(2, u"JPEG");
        item->SetImageIndex(i % 2);
      }
    }
    LV->GetGroups()->GetGroup(0)->SetChecked(false);
    LV->GetGroups()->GetGroup(2)->SetChecked(false);
    LV->GetGroups()->GetGroup(1)->SetChecked(true);
    update.End();
  }
  Focus();
  LV->GetGroups()->GetGroup(0)->GetItem(1)->SetSelected(true);
  LV->GetGroups()->GetGroup(0)->GetItem(2)->SetSelected(true);
  LV->GetSelection()->SetFocusedItem(LV->GetGroups()->GetGroup(0)->GetItem(2));
  const std::pair<TEmberListStyle, const char*> views[] = {
      {TEmberListStyle::elsIcon, "icon"},         {TEmberListStyle::elsSmallIcon, "smallicon"},
      {TEmberListStyle::elsList, "list"},         {TEmberListStyle::elsReport, "report"},
      {TEmberListStyle::elsThumbnail, "thumbnail"}, {TEmberListStyle::elsTile, "tile"},
      {TEmberListStyle::elsReportThumb, "reportthumb"}, {TEmberListStyle::elsFilmStrip, "filmstrip"},
      {TEmberListStyle::elsGrid, "grid"}};
  for (const auto& [view, name] : views) {
    LV->SetView(view);
    LV->GetGroups()->Rebuild(true);
    const Integer w = LV->GetClientWidth(), h = LV->GetClientHeight();
    Owned<TBitmap> shot(TBitmap::New());
    shot->SetPixelFormat(TPixelFormat::pf32bit);
    shot->SetSize(w, h);
    shot->GetCanvas()->GetBrush()->SetColor(LV->GetColor());
    shot->GetCanvas()->FillRect(TRect{0, 0, w, h});
    shot->GetCanvas()->SetFont(LV->GetFont());
    PaintAccess::Paint(LV, shot->GetCanvas(), TRect{0, 0, w, h}, false, false);
    // As the window's paint does after the content: the header's exclusion ends with the paint.
    SelectClipRgn(shot->GetCanvas()->GetHandle(), nullptr);
    QImage img(w, h, QImage::Format_RGB32);
    for (Integer y = 0; y < h; ++y)
      for (Integer x = 0; x < w; ++x) {
        const TColor c = ColorToRGB(shot->GetCanvas()->GetPixel(x, y));
        img.setPixel(x, y, qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
      }
    EXPECT_TRUE(img.save(QString::fromUtf8(out) + QStringLiteral("/listview-") + QString::fromUtf8(name) +
                         QStringLiteral(".png")));
  }
  LV->SetImagesSmall(nullptr);
  LV->SetImagesLarge(nullptr);
  LV->SetImagesExLarge(nullptr);
}
}  // namespace
}  // namespace lvtest
