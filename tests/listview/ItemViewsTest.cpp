// The item views: the rect array of every view worked out by hand at 96 dpi with the fixed-metrics
// font (6 pixels a character, 13 high, widest 11), the hit tests on the parts of a cell, the low
// cell, and what the paint sequence draws and leaves alone.

#include <memory>
#include <string>

#include "ListviewTestUtil.h"
#include "common/CommonDataObject.h"
#include "platform/classlib/ImgList.h"
#include "platform/gdi/Bitmap.h"
#include "platform/gdi/FontSource.h"

namespace lvtest {
namespace {

std::string Str(const TRect& r) {
  return "(" + std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
         std::to_string(r.Bottom) + ")";
}
#define EXPECT_RECT(actual, l, t, r, b) EXPECT_EQ(Str(actual), Str(TRect{l, t, r, b})) << #actual
TRect Inflated2(const TRect& r) { return TRect{r.Left - 2, r.Top - 2, r.Right + 2, r.Bottom + 2}; }

class ItemViewsTest : public ListviewTest {
protected:
  void SetUp() override {
    pf::TFixedFontMetrics m;
    m.Advance = 6;
    m.Height = 13;
    m.Ascent = 10;
    m.AveCharWidth = 6;
    m.MaxCharWidth = 11;
    m.InternalLeading = 2;
    // Bold characters are 8 pixels wide, so that a font change shows in the measurements.
    pf::TFixedFontMetrics bold = m;
    bold.Advance = 8;
    pf::TFontSourceFactory normal = pf::FixedFontSourceFactory(m), wide = pf::FixedFontSourceFactory(bold);
    // Set before the control exists: fonts take their source when they are made.
    pf::SetFontSourceFactory([normal, wide](const LOGFONTW& lf) { return lf.lfWeight >= 700 ? wide(lf) : normal(lf); });
    ListviewTest::SetUp();
    MakeList();
    Group = LV->GetGroups()->Add();
    Item = Group->GetItems()->Add();
    Item->SetCaption(u"IMG_0001.JPG");
  }
  void TearDown() override {
    for (TImageList* l : Lists) l->Free();
    ListviewTest::TearDown();
    pf::SetFontSourceFactory(nullptr);
  }
  TImageList* List(Integer w, Integer h) {
    TImageList* l = TImageList::New(nullptr);
    l->SetSize(w, h);
    Lists.push_back(l);
    return l;
  }
  // The cell is placed by hand, so that the geometry does not depend on the grid's layout.
  TEmberRectArrayObject Rects(TEmberListStyle view, const TRect& cell, TEmberColumn* column = nullptr) {
    LV->SetView(view);
    Item->SetDisplayRect(cell);
    TEmberRectArrayObject ra;
    Item->ItemRectArray(column, LV->GetScratchCanvas(), ra);
    return ra;
  }
  TEmberGroup* Group{nullptr};
  TEmberItem* Item{nullptr};
  std::vector<TImageList*> Lists;
};

// ---- Thumbnail: the worked cell 125 × 143 at the origin, Border 4, CaptionIndent 4 ----
struct ThumbCase {
  const char* Name;
  const char16_t* Caption;
  bool Focused;
  bool HideCaption;
  TEmberCheckType Check;
  TRect Icon, CheckR, Label, Text, FullText, Selection, FullFocusSel, ClickSelect, DragSelect, FocusInvalid;
};

const char16_t* const k40 = u"ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMN";
const TRect kNone{};
const ThumbCase kThumbs[] = {
    // 12 characters, 72 pixels, centred in the 109-pixel text area, one line centred in 21 rows.
    {"short", u"IMG_0001.JPG", false, false, TEmberCheckType::ectNone, {4, 4, 121, 113}, {4, 113, 4, 139},
     {8, 114, 121, 139}, {28, 120, 100, 133}, {28, 120, 100, 133}, {26, 118, 102, 135}, {26, 118, 102, 135},
     {4, 4, 121, 135}, {28, 120, 100, 133}, {4, 4, 121, 135}},
    // 40 characters: two lines shown (the last one keeps the rectangle's width), three measured.
    {"long", k40, false, false, TEmberCheckType::ectNone, {4, 4, 121, 113}, {4, 113, 4, 139}, {8, 114, 121, 139},
     {10, 116, 119, 142}, {10, 116, 118, 155}, {8, 114, 121, 144}, {8, 114, 120, 157}, {4, 4, 121, 144},
     {10, 116, 119, 142}, {4, 4, 121, 157}},
    // Focused (the control is not): still two lines, but the click area takes all three.
    {"long focused", k40, true, false, TEmberCheckType::ectNone, {4, 4, 121, 113}, {4, 113, 4, 139},
     {8, 114, 121, 139}, {10, 116, 119, 142}, {10, 116, 118, 155}, {8, 114, 121, 144}, {8, 114, 120, 157},
     {4, 4, 121, 157}, {10, 116, 119, 142}, {4, 4, 121, 157}},
    // A 16-pixel check box (12 points) under the picture pushes the label right.
    {"check box", u"IMG_0001.JPG", false, false, TEmberCheckType::ectBox, {4, 4, 121, 113}, {6, 114, 22, 130},
     {26, 114, 121, 139}, {37, 120, 109, 133}, {37, 120, 109, 133}, {35, 118, 111, 135}, {35, 118, 111, 135},
     {4, 4, 121, 135}, {37, 120, 109, 133}, {4, 4, 121, 135}},
    // No caption: the picture takes the cell less the border; no text rectangles.
    {"hidden caption", u"IMG_0001.JPG", false, true, TEmberCheckType::ectNone, {4, 4, 121, 139}, {4, 139, 4, 139},
     kNone, kNone, kNone, {4, 4, 121, 139}, {4, 4, 121, 139}, {4, 4, 121, 139}, {4, 4, 121, 139}, {4, 4, 121, 139}},
    // ... and only the check box is reserved under it.
    {"hidden caption, check box", u"IMG_0001.JPG", false, true, TEmberCheckType::ectBox, {4, 4, 121, 121},
     {6, 122, 22, 138}, kNone, kNone, kNone, {4, 4, 121, 121}, {4, 4, 121, 121}, {4, 4, 121, 121},
     {4, 4, 121, 121}, {4, 4, 121, 121}},
};

TEST_F(ItemViewsTest, ThumbnailRectArrayOfTheWorkedCell) {
  for (const ThumbCase& c : kThumbs) {
    SCOPED_TRACE(c.Name);
    Item->SetCaption(c.Caption);
    LV->GetPaintInfoItem()->SetHideCaption(c.HideCaption);
    LV->GetPaintInfoItem()->SetCheckType(c.Check);
    LV->GetSelection()->SetFocusedItem(c.Focused ? Item : nullptr);
    const TEmberRectArrayObject ra = Rects(TEmberListStyle::elsThumbnail, TRect{0, 0, 125, 143});
    EXPECT_RECT(ra.BoundsRect, 4, 4, 121, 139);
    EXPECT_EQ(Str(ra.IconRect), Str(c.Icon));
    EXPECT_EQ(Str(ra.CheckRect), Str(c.CheckR));
    EXPECT_EQ(Str(ra.LabelRect), Str(c.Label));
    EXPECT_EQ(Str(ra.TextRect), Str(c.Text));
    EXPECT_EQ(Str(ra.FullTextRect), Str(c.FullText));
    EXPECT_EQ(Str(ra.SelectionRect), Str(c.Selection));
    EXPECT_EQ(Str(ra.FullFocusSelRect), Str(c.FullFocusSel));
    EXPECT_EQ(Str(ra.ClickSelectBoundsRect), Str(c.ClickSelect));
    EXPECT_EQ(Str(ra.DragSelectBoundsRect), Str(c.DragSelect));
    EXPECT_EQ(Str(ra.FocusChangeInvalidRect), Str(c.FocusInvalid));
    EXPECT_EQ(Str(ra.EditRect), Str(c.FullText));
    EXPECT_EQ(Str(ra.StateRect), Str(kNone));
  }
}

// The focused item of a focused control shows its whole caption: all three lines of the long
// caption are drawn and answer clicks; unfocused, the third line does not.
TEST_F(ItemViewsTest, FocusedControlShowsAndHitsTheWholeCaption) {
  Item->SetCaption(k40);
  LV->GetSelection()->SetFocusedItem(Item);
  const TPoint thirdLine{60, 150};
  EXPECT_RECT(Rects(TEmberListStyle::elsThumbnail, TRect{0, 0, 125, 143}).TextRect, 10, 116, 119, 142);
  EXPECT_FALSE(Item->SelectionHitPt(thirdLine, TEmberSelectHitType::eshtClickSelect));
  Form->Show();
  LV->SetFocus();
  ASSERT_TRUE(LV->Focused());
  EXPECT_RECT(Rects(TEmberListStyle::elsThumbnail, TRect{0, 0, 125, 143}).TextRect, 10, 116, 118, 155);
  EXPECT_TRUE(Item->SelectionHitPt(thirdLine, TEmberSelectHitType::eshtClickSelect));
  // Another item of the focused control keeps two lines.
  TEmberItem* other = Group->GetItems()->Add();
  other->SetCaption(k40);
  other->SetDisplayRect(TRect{0, 0, 125, 143});
  TEmberRectArrayObject ra;
  other->ItemRectArray(nullptr, LV->GetScratchCanvas(), ra);
  EXPECT_RECT(ra.TextRect, 10, 116, 119, 142);
}

// A cell lower than the two reserved caption lines (20 rows): the picture area is empty at the
// top of the cell instead of inverted, and no rectangle built on it inverts either.
TEST_F(ItemViewsTest, ThumbnailInALowCellNeverInverts) {
  const TEmberRectArrayObject ra = Rects(TEmberListStyle::elsThumbnail, TRect{0, 0, 125, 20});
  EXPECT_RECT(ra.BoundsRect, 4, 4, 121, 16);
  EXPECT_RECT(ra.IconRect, 4, 4, 121, 4);
  EXPECT_RECT(ra.CheckRect, 4, 4, 4, 16);
  EXPECT_RECT(ra.LabelRect, 8, 5, 121, 16);
  // One line centred would need 13 rows; the 7 there are make it start at the top.
  EXPECT_RECT(ra.TextRect, 28, 7, 100, 20);
  for (const TRect* r : {&ra.IconRect, &ra.CheckRect, &ra.LabelRect, &ra.TextRect, &ra.FullTextRect,
                         &ra.SelectionRect, &ra.ClickSelectBoundsRect, &ra.FocusChangeInvalidRect}) {
    EXPECT_LE(r->Left, r->Right) << Str(*r);
    EXPECT_LE(r->Top, r->Bottom) << Str(*r);
  }
  // The picture drawing gets an empty area, never a mirrored one; a rubber band over the cell
  // finds no picture to hit.
  TRect drawn{1, 1, 0, 0};
  LV->OnItemThumbnailDraw = [&](TCustomEmberListview*, TEmberItem*, TCanvas*, const TRect& r, TEmberAlphaBlender*,
                                bool&) { drawn = r; };
  Owned<TBitmap> bmp(TBitmap::New());
  bmp->SetPixelFormat(TPixelFormat::pf32bit);
  bmp->SetSize(130, 30);
  Item->Paint(bmp->GetCanvas(), TRect{0, 0, 130, 30}, nullptr, false);
  EXPECT_RECT(drawn, 8, 8, 117, 8);
  EXPECT_FALSE(Item->SelectionHit(TRect{0, 0, 125, 20}, TEmberSelectHitType::eshtDragSelect));
}

// ---- Hit tests on the parts of the worked thumbnail cell ----
TEST_F(ItemViewsTest, ThumbnailHitTestsOnThePartsOfTheCell) {
  LV->SetView(TEmberListStyle::elsThumbnail);
  Item->SetDisplayRect(TRect{0, 0, 125, 143});
  using H = TEmberSelectHitType;
  struct PointCase {
    const char* Part;
    TPoint P;
    bool Click, Edit;
  };
  // The caption's click area reaches up to the picture: (28,113)-(100,133).
  const PointCase points[] = {
      {"picture", {60, 60}, true, false},        {"picture's last row", {60, 112}, true, false},
      {"caption", {50, 125}, true, true},        {"between picture and caption", {50, 115}, true, false},
      {"label right of the caption", {110, 125}, false, false},
      {"border", {2, 2}, false, false},          {"under the caption", {50, 137}, false, false},
  };
  for (const PointCase& c : points) {
    SCOPED_TRACE(c.Part);
    EXPECT_EQ(Item->SelectionHitPt(c.P, H::eshtClickSelect), c.Click);
    EXPECT_EQ(Item->EditAreaHitPt(c.P), c.Edit);
  }
  // The rubber band needs the picture less a tenth of its width (Round(117 × 0.1) = 12 a side):
  // (16,16)-(109,101); the caption does not count.
  struct BandCase {
    const char* Band;
    TRect R;
    bool Hit;
  };
  const BandCase bands[] = {
      {"outer tenth, top left", {0, 0, 16, 16}, false},  {"inner area's corner", {0, 0, 17, 17}, true},
      {"outer tenth, right", {109, 50, 125, 60}, false}, {"outer tenth, bottom", {50, 101, 60, 113}, false},
      {"caption only", {30, 118, 90, 130}, false},       {"whole cell", {0, 0, 125, 143}, true},
  };
  for (const BandCase& c : bands) {
    SCOPED_TRACE(c.Band);
    EXPECT_EQ(Item->SelectionHit(c.R, H::eshtDragSelect), c.Hit);
  }
  // A click band over the caption only selects.
  EXPECT_TRUE(Item->SelectionHit(TRect{30, 118, 90, 130}, H::eshtClickSelect));
  // A disabled item never hits.
  Item->SetEnabled(false);
  EXPECT_FALSE(Item->SelectionHitPt(TPoint{60, 60}, H::eshtClickSelect));
  EXPECT_FALSE(Item->SelectionHit(TRect{0, 0, 125, 143}, H::eshtDragSelect));
  EXPECT_FALSE(Item->EditAreaHitPt(TPoint{50, 125}));
}

// A rubber band meets each picture as the item's own font leaves it: two caption lines of the font
// its paint-text handler gives it are kept under the picture. Each move tells exactly the items it
// changes, and announces the batch once.
TEST_F(ItemViewsTest, ARubberBandMeetsEachPictureAsItsOwnFontLeavesIt) {
  // The 8-point font (height -11) is 13 pixels high, a 15-point one (-20) 22.
  pf::TFixedFontMetrics normal, tall;
  normal.Advance = tall.Advance = 6;
  normal.Height = 13;
  normal.Ascent = 10;
  tall.Height = 22;
  tall.Ascent = 18;
  const pf::TFontSourceFactory small = pf::FixedFontSourceFactory(normal), big = pf::FixedFontSourceFactory(tall);
  pf::SetFontSourceFactory([small, big](const LOGFONTW& lf) { return lf.lfHeight == -20 ? big(lf) : small(lf); });
  LV->SetView(TEmberListStyle::elsThumbnail);
  LV->GetSelection()->SetMultiSelect(true);
  Item->SetCaption(u"a");
  TEmberItem* b = Group->GetItems()->Add();
  b->SetCaption(u"b");
  TEmberItem* c = Group->GetItems()->Add();
  c->SetCaption(u"c");
  LV->GetGroups()->Rebuild(true);
  int paintTexts = 0;
  LV->OnItemPaintText = [b, &paintTexts](TCustomEmberListview*, TEmberItem* item, Integer, TCanvas* canvas) {
    ++paintTexts;
    if (item == b) canvas->GetFont()->SetHeight(-20);
  };
  LogStateEvents(LV, Log);
  // One row of cells, each 117 wide inside its border of 4: the band's target is the picture less
  // 12 a side. Its bottom lies 4 + 2 x 13 + 12 = 42 above the cell's bottom for "a" and "c", and
  // 4 + 2 x 22 + 12 = 60 above it for "b".
  const TRect cell = Item->GetDisplayRect();
  ASSERT_EQ(cell.Width(), 125);
  ASSERT_EQ(b->GetDisplayRect().Top, cell.Top);
  ASSERT_EQ(c->GetDisplayRect().Top, cell.Top);
  const Integer bottom = cell.Bottom, left = cell.Left, right = c->GetDisplayRect().Right;
  struct Step {
    const char* What;
    TRect Band;
    std::vector<std::string> Events;
    std::string Selected;
  };
  const Step steps[] = {
      {"a strip 45 to 50 above the cells' bottom",
       {left, bottom - 50, right, bottom - 45},
       {"SelectionChanging:a", "SelectionChanged:a", "SelectionChanging:c", "SelectionChanged:c", "SelectionsChanged"},
       "a c"},
      {"grown up to 61 above it, into b's picture",
       {left, bottom - 61, right, bottom - 45},
       {"SelectionChanging:b", "SelectionChanged:b", "SelectionsChanged"},
       "a b c"},
      {"back to 59, below b's picture again",
       {left, bottom - 59, right, bottom - 45},
       {"SelectionChanging:b", "SelectionChanged:b", "SelectionsChanged"},
       "a c"},
      {"its top 1 lower: nothing changes", {left, bottom - 58, right, bottom - 45}, {}, "a c"},
  };
  TRect old{left, bottom - 50, left + 1, bottom - 49};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.What);
    Log.Clear();
    paintTexts = 0;
    LV->GetSelection()->DragSelect(false, s.Band, old);
    old = s.Band;
    EXPECT_EQ(Log.Lines, s.Events);
    std::string selected;
    for (TEmberItem* i = LV->GetSelection()->First(); i; i = LV->GetSelection()->Next(i))
      selected += (selected.empty() ? "" : " ") + Name(i);
    EXPECT_EQ(selected, s.Selected);
    // Each item the move passes is measured against both bands, its font loaded each time.
    EXPECT_GE(paintTexts, 6);
  }
  // Outside a band move the handler's font still decides, item by item.
  EXPECT_FALSE(b->SelectionHit(TRect{left, bottom - 59, right, bottom - 45}, TEmberSelectHitType::eshtDragSelect));
  EXPECT_TRUE(c->SelectionHit(TRect{left, bottom - 59, right, bottom - 45}, TEmberSelectHitType::eshtDragSelect));
}

// The three-way answer of binary searches: the cell's edges count as inside.
TEST_F(ItemViewsTest, PtInRectAnswersWhichSideOfTheCell) {
  LV->SetView(TEmberListStyle::elsThumbnail);
  Item->SetDisplayRect(TRect{0, 0, 125, 143});
  TEmberViewItem* view = Item->GetView();
  const std::pair<TPoint, Integer> cases[] = {
      {{50, -1}, 1}, {{50, 144}, -1}, {{-1, 50}, 1}, {{126, 50}, -1}, {{0, 0}, 0}, {{125, 143}, 0}, {{200, -5}, 1},
  };
  for (const auto& [p, side] : cases) EXPECT_EQ(view->PtInRect(Item, nullptr, p), side) << p.X << "," << p.Y;
}

// One rect array per header column, never fewer than one; what is there stays.
TEST_F(ItemViewsTest, ReSizeRectArrayFollowsTheHeaderColumns) {
  LV->SetView(TEmberListStyle::elsReport);
  TEmberViewItem* view = Item->GetView();
  TEmberRectArrayObjectArray arrays;
  view->ReSizeRectArray(arrays);
  ASSERT_EQ(arrays.size(), 1u);
  EXPECT_EQ(Str(arrays[0].BoundsRect), Str(kNone));
  arrays[0].BoundsRect = TRect{1, 2, 3, 4};
  for (int i = 0; i < 3; ++i) LV->GetHeader()->GetColumns()->Add();
  view->ReSizeRectArray(arrays);
  ASSERT_EQ(arrays.size(), 3u);
  EXPECT_RECT(arrays[0].BoundsRect, 1, 2, 3, 4);
  EXPECT_EQ(Str(arrays[2].BoundsRect), Str(kNone));
}

// ---- Icon view: a 75 × 75 cell with a 32 × 32 picture ----
TEST_F(ItemViewsTest, IconRectArray) {
  LV->SetImagesLarge(List(32, 32));
  Item->SetImageIndex(0);
  struct IconCase {
    const char16_t* Caption;
    TRect Text, Selection, ClickSelect, FocusInvalid;
  };
  const IconCase cases[] = {
      // 72 pixels do not fit the 70 of the text area: "IMG_0001.JP" and "G" on two centred lines.
      {u"IMG_0001.JPG", {5, 41, 71, 67}, {3, 39, 73, 69}, {5, 2, 71, 67}, {3, 2, 73, 69}},
      // An empty caption is measured as one space.
      {u"", {35, 41, 41, 54}, {33, 39, 43, 56}, {22, 2, 54, 54}, {22, 2, 54, 56}},
  };
  for (const IconCase& c : cases) {
    Item->SetCaption(c.Caption);
    const TEmberRectArrayObject ra = Rects(TEmberListStyle::elsIcon, TRect{0, 0, 75, 75});
    EXPECT_RECT(ra.BoundsRect, 1, 0, 75, 75);
    EXPECT_RECT(ra.IconRect, 22, 2, 54, 38);
    EXPECT_RECT(ra.CheckRect, 1, 38, 1, 75);
    EXPECT_RECT(ra.LabelRect, 1, 39, 75, 75);
    EXPECT_EQ(Str(ra.TextRect), Str(c.Text));
    EXPECT_EQ(Str(ra.FullTextRect), Str(c.Text));
    EXPECT_EQ(Str(ra.SelectionRect), Str(c.Selection));
    EXPECT_EQ(Str(ra.ClickSelectBoundsRect), Str(c.ClickSelect));
    EXPECT_EQ(Str(ra.DragSelectBoundsRect), Str(c.ClickSelect));
    EXPECT_EQ(Str(ra.FocusChangeInvalidRect), Str(c.FocusInvalid));
  }
}

// ---- Small icon, list and grid: a 200 × 17 row ----
TEST_F(ItemViewsTest, SmallIconRowRectArrays) {
  LV->SetImagesSmall(List(16, 16));
  struct RowCase {
    const char* Name;
    TEmberListStyle View;
    Integer Image;
    TEmberCheckType Check;
    TRect CheckR, Icon, Label, Text, ClickSelect, DragSelect;
    // A report view's "12 KB" column was dragged in front of the name column.
    bool SizeColumnFirst{false};
  };
  // Text 72 × 13, centred vertically in the label less 2, then moved to the label's left.
  const RowCase cases[] = {
      {"picture", TEmberListStyle::elsSmallIcon, 0, TEmberCheckType::ectNone, {0, 0, 0, 17}, {2, 0, 18, 16},
       {22, 0, 200, 17}, {22, 2, 94, 15}, {2, 0, 96, 17}, {16, 0, 82, 17}},  // 94 wide: 14 off each side
      {"nothing before the label", TEmberListStyle::elsList, -1, TEmberCheckType::ectNone, {0, 0, 0, 17},
       {0, 0, 0, 17}, {4, 0, 200, 17}, {4, 2, 76, 15}, {2, 0, 78, 17}, {13, 0, 67, 17}},  // 76: 11 a side
      {"check box and picture", TEmberListStyle::elsGrid, 0, TEmberCheckType::ectBox, {2, 0, 18, 16},
       {20, 0, 36, 16}, {40, 0, 200, 17}, {40, 2, 112, 15}, {20, 0, 114, 17}, {34, 0, 100, 17}},
      // These views paint the item's own caption, box and picture, whatever the header's order.
      {"check box and picture, columns dragged", TEmberListStyle::elsGrid, 0, TEmberCheckType::ectBox,
       {2, 0, 18, 16}, {20, 0, 36, 16}, {40, 0, 200, 17}, {40, 2, 112, 15}, {20, 0, 114, 17}, {34, 0, 100, 17}, true},
      {"nothing before the label, columns dragged", TEmberListStyle::elsList, -1, TEmberCheckType::ectNone,
       {0, 0, 0, 17}, {0, 0, 0, 17}, {4, 0, 200, 17}, {4, 2, 76, 15}, {2, 0, 78, 17}, {13, 0, 67, 17}, true},
  };
  for (const RowCase& c : cases) {
    SCOPED_TRACE(c.Name);
    if (c.SizeColumnFirst && LV->GetHeader()->GetColumns()->GetCount() == 0) {
      LV->GetHeader()->GetColumns()->Add()->SetWidth(100);
      LV->GetHeader()->GetColumns()->Add()->SetWidth(80);
      Item->SetCaptions(1, u"12 KB");
      LV->GetHeader()->GetColumns()->GetColumn(1)->SetPosition(0);
      LV->GetHeader()->Rebuild(true);
    }
    Item->SetImageIndex(c.Image);
    LV->GetPaintInfoItem()->SetCheckType(c.Check);
    const TEmberRectArrayObject ra = Rects(c.View, TRect{0, 0, 200, 17});
    EXPECT_RECT(ra.BoundsRect, 0, 0, 200, 17);
    EXPECT_EQ(Str(ra.CheckRect), Str(c.CheckR));
    EXPECT_EQ(Str(ra.IconRect), Str(c.Icon));
    EXPECT_EQ(Str(ra.LabelRect), Str(c.Label));
    EXPECT_EQ(Str(ra.TextRect), Str(c.Text));
    EXPECT_EQ(Str(ra.SelectionRect), Str(Inflated2(c.Text)));
    EXPECT_EQ(Str(ra.ClickSelectBoundsRect), Str(c.ClickSelect));
    EXPECT_EQ(Str(ra.DragSelectBoundsRect), Str(c.DragSelect));
  }
}

// A label that would start at the cell's right edge − 1 stays empty, and its text with it.
TEST_F(ItemViewsTest, SmallIconLabelPastTheCellStaysEmpty) {
  LV->SetImagesSmall(List(16, 16));
  Item->SetImageIndex(0);
  // The label would start at 2 + 16 + 4 = 22: a 23-wide cell leaves it empty, a 24-wide one not.
  EXPECT_TRUE(IsRectEmptyEx(Rects(TEmberListStyle::elsSmallIcon, TRect{0, 0, 23, 17}).LabelRect));
  EXPECT_TRUE(IsRectEmptyEx(Rects(TEmberListStyle::elsSmallIcon, TRect{0, 0, 23, 17}).TextRect));
  EXPECT_RECT(Rects(TEmberListStyle::elsSmallIcon, TRect{0, 0, 24, 17}).LabelRect, 22, 0, 24, 17);
}

// The small-icon row is painted without a column, its caption from the left: a right-aligned
// first header column must not move where the hit tests look for the caption (4,2)-(76,15).
TEST_F(ItemViewsTest, ARowIsHitWhereItsCaptionIsPaintedWhateverTheFirstColumnsAlignment) {
  TEmberColumn* name = LV->GetHeader()->GetColumns()->Add();
  name->SetWidth(100);
  name->SetAlignment(TAlignment::taRightJustify);
  LV->GetHeader()->Rebuild(true);
  for (TEmberListStyle view : {TEmberListStyle::elsSmallIcon, TEmberListStyle::elsList, TEmberListStyle::elsGrid}) {
    SCOPED_TRACE(static_cast<int>(view));
    EXPECT_RECT(Rects(view, TRect{0, 0, 200, 17}).TextRect, 4, 2, 76, 15);
    TEmberItemHitTestInfoSet hit;
    EXPECT_TRUE(Item->HitTestAt(TPoint{10, 8}, hit));
    EXPECT_TRUE(hit.Contains(TEmberItemHitTestInfo::ehtOnText));
    EXPECT_TRUE(Item->EditAreaHitPt(TPoint{10, 8}));
    EXPECT_FALSE(Item->EditAreaHitPt(TPoint{150, 8}));
  }
}

// ---- Report: the row laid into header columns ----
TEST_F(ItemViewsTest, ReportRowInColumns) {
  TEmberColumns* columns = LV->GetHeader()->GetColumns();
  TEmberColumn* name = columns->Add();
  name->SetWidth(100);
  TEmberColumn* size = columns->Add();
  size->SetWidth(80);
  size->SetAlignment(TAlignment::taRightJustify);
  LV->GetHeader()->Rebuild(true);
  Item->SetCaptions(1, u"12 KB");
  const TRect row{0, 2, 180, 19};

  // The last column: right-aligned text ends 8 pixels before the cell's right edge.
  TEmberRectArrayObject ra = Rects(TEmberListStyle::elsReport, row, size);
  EXPECT_RECT(ra.BoundsRect, 100, 2, 180, 19);
  EXPECT_RECT(ra.CheckRect, 100, 2, 100, 19);
  EXPECT_RECT(ra.StateRect, 100, 2, 100, 19);
  EXPECT_RECT(ra.IconRect, 100, 2, 100, 19);
  EXPECT_RECT(ra.LabelRect, 104, 2, 180, 19);
  EXPECT_RECT(ra.TextRect, 142, 4, 172, 17);

  // Without a column the first column is used.
  ra = Rects(TEmberListStyle::elsReport, row);
  EXPECT_RECT(ra.BoundsRect, 0, 2, 100, 19);
  EXPECT_RECT(ra.TextRect, 4, 4, 76, 17);
  // ... the first by position, once the size column was dragged in front: "12 KB" right-aligned.
  size->SetPosition(0);
  LV->GetHeader()->Rebuild(true);
  ra = Rects(TEmberListStyle::elsReport, row);
  EXPECT_RECT(ra.BoundsRect, 0, 2, 80, 19);
  EXPECT_RECT(ra.TextRect, 42, 4, 72, 17);
  name->SetPosition(0);
  LV->GetHeader()->Rebuild(true);

  // The group's margins: the first column starts after the left one, the last column ends the
  // right one earlier.
  TEmberPaintInfoBaseGroup* groups = LV->GetPaintInfoGroup();
  groups->GetMarginLeft()->SetSize(10);
  groups->GetMarginLeft()->SetVisible(true);
  groups->GetMarginRight()->SetSize(6);
  groups->GetMarginRight()->SetVisible(true);
  LV->SetShowGroupMargins(true);
  EXPECT_RECT(Rects(TEmberListStyle::elsReport, row, name).BoundsRect, 10, 2, 100, 19);
  EXPECT_RECT(Rects(TEmberListStyle::elsReport, row, size).BoundsRect, 100, 2, 174, 19);
}

// Full-row selection: the whole row clicks, the middle 70 % drags, and only a selected row's
// picture and text count as its area.
TEST_F(ItemViewsTest, ReportFullRowSelect) {
  LV->GetSelection()->SetFullRowSelect(true);
  const TRect row{0, 2, 75, 19};
  TEmberRectArrayObject ra = Rects(TEmberListStyle::elsReport, row);
  EXPECT_RECT(ra.ClickSelectBoundsRect, 0, 2, 75, 19);
  EXPECT_RECT(ra.DragSelectBoundsRect, 11, 2, 64, 19);  // Round(75 × 0.15) = 11
  // The text spans the label less 2 (it is wider), then moves to the label's left: (4,4)-(71,17).
  EXPECT_FALSE(Item->PointAllowed(TPoint{10, 10}));
  Item->SetSelected(true);
  Item->SetDisplayRect(row);
  EXPECT_TRUE(Item->PointAllowed(TPoint{10, 10}));
  EXPECT_FALSE(Item->PointAllowed(TPoint{10, 2}));
  // The click area spans the row from the group's left margin.
  EXPECT_TRUE(Item->SelectionHitPt(TPoint{74, 10}, TEmberSelectHitType::eshtClickSelect));
  EXPECT_FALSE(Item->SelectionHit(TRect{10, 10, 10, 12}, TEmberSelectHitType::eshtClickSelect));
  LV->GetSelection()->SetFullRowSelect(false);
  EXPECT_TRUE(Item->PointAllowed(TPoint{10, 2}));
}

// The full row answers a click; while something is dragged over the control, whoever holds an
// item to drag, only the row's text (4,4)-(71,17) takes it.
TEST_F(ItemViewsTest, AReportRowUnderADragTakesItOnlyOnItsText) {
  LV->GetSelection()->SetFullRowSelect(true);
  Rects(TEmberListStyle::elsReport, TRect{0, 2, 75, 19});
  TEmberOLEDragManager* drag = LV->GetDragManager();
  ComPtr<IDataObject> data(common::TCommonDataObject::New(true)->AsDataObject());
  struct DragCase {
    const char* Name;
    bool ItemHeld, DataOver, RightOfTextHits;
  };
  const DragCase cases[] = {{"no drag", false, false, true},
                            {"an item held to drag", true, false, true},
                            {"a data object over the control", false, true, false},
                            {"our own item dragged over it", true, true, false}};
  for (const DragCase& c : cases) {
    SCOPED_TRACE(c.Name);
    drag->SetDragItem(c.ItemHeld ? Item : nullptr);
    TCommonDropEffect effect = TCommonDropEffect::cdeCopy;
    if (c.DataOver) drag->DragEnter(data.Get(), {}, TPoint{10, 10}, effect);
    EXPECT_EQ(Item->SelectionHitPt(TPoint{73, 10}, TEmberSelectHitType::eshtClickSelect), c.RightOfTextHits);
    EXPECT_TRUE(Item->SelectionHitPt(TPoint{10, 10}, TEmberSelectHitType::eshtClickSelect));
    if (c.DataOver) drag->DragEnd({}, TPoint{10, 10});
  }
  drag->SetDragItem(nullptr);
}

// Report-thumb pictures are 1.5 times as wide as high and 4 pixels lower than the cell.
TEST_F(ItemViewsTest, ReportThumbPictureSize) {
  LV->SetImagesExLarge(List(48, 48));
  Item->SetImageIndex(0);
  LV->SetView(TEmberListStyle::elsReportThumb);
  LV->GetGroups()->Rebuild(false);
  ASSERT_EQ(LV->GetGroups()->GetCellHeight(), 90);
  const TEmberRectArrayObject ra = Rects(TEmberListStyle::elsReportThumb, TRect{0, 2, 200, 92});
  EXPECT_RECT(ra.IconRect, 2, 4, 131, 90);  // 129 × 86, centred in the 90 rows
  EXPECT_RECT(ra.LabelRect, 135, 2, 200, 92);
}

// Halves round to the even neighbour and div truncates toward zero, also below zero.
TEST_F(ItemViewsTest, HalvesRoundToEvenAndDivisionTruncates) {
  // A full row's drag area loses Round(width × 0.15) a side: 10.5 → 10, 13.5 → 14.
  LV->GetSelection()->SetFullRowSelect(true);
  EXPECT_RECT(Rects(TEmberListStyle::elsReport, TRect{0, 2, 70, 19}).DragSelectBoundsRect, 10, 2, 60, 19);
  EXPECT_RECT(Rects(TEmberListStyle::elsReport, TRect{0, 2, 90, 19}).DragSelectBoundsRect, 14, 2, 76, 19);
  LV->GetSelection()->SetFullRowSelect(false);
  // A band meets a thumbnail's picture less Round(width × 0.1) a side: pictures 105 and 95 wide
  // (10.5 and 9.5) both keep (14,14) as their inner corner.
  for (Integer cellWidth : {113, 103}) {
    SCOPED_TRACE(cellWidth);
    Rects(TEmberListStyle::elsThumbnail, TRect{0, 0, cellWidth, 143});
    EXPECT_FALSE(Item->SelectionHit(TRect{0, 0, 14, 14}, TEmberSelectHitType::eshtDragSelect));
    EXPECT_TRUE(Item->SelectionHit(TRect{0, 0, 15, 15}, TEmberSelectHitType::eshtDragSelect));
  }
  // Report-thumb pictures: 13 high → 19.5 → 20 wide, 15 high → 22.5 → 22 wide.
  LV->SetImagesExLarge(List(48, 48));
  Item->SetImageIndex(0);
  LV->SetView(TEmberListStyle::elsReportThumb);
  for (const auto& [cellHeight, right] : {std::pair<Integer, Integer>{17, 22}, {19, 24}}) {
    LV->GetCellSizes()->GetReportThumb()->SetHeight(cellHeight);
    EXPECT_EQ(Rects(TEmberListStyle::elsReportThumb, TRect{0, 2, 200, 2 + cellHeight}).IconRect.Right, right);
  }
  // A picture larger than its place: (74 − 101) div 2 = −13 in the icon view, (17 − 20) div 2 = −1
  // in a small-icon row.
  LV->SetImagesLarge(List(101, 32));
  EXPECT_RECT(Rects(TEmberListStyle::elsIcon, TRect{0, 0, 75, 75}).IconRect, -12, 2, 89, 38);
  LV->SetImagesSmall(List(20, 20));
  EXPECT_RECT(Rects(TEmberListStyle::elsSmallIcon, TRect{0, 0, 200, 17}).IconRect, 2, -1, 22, 19);
}

// ---- Tile: 218 × 58, a 32-pixel picture, detail lines stacked in the label ----
TEST_F(ItemViewsTest, TileLinesStackAndTheOneThatDoesNotFitStaysEmpty) {
  LV->SetImagesLarge(List(32, 32));
  Item->SetImageIndex(0);
  Item->SetCaptions(1, u"3 MB");
  Item->SetCaptions(3, u"x");
  for (Integer i = 0; i < 4; ++i) Item->SetDetail(i, i);
  struct TileCase {
    Integer Lines;
    std::vector<TRect> Text;
    TRect Selection;
  };
  // Label (48,4)-(212,54): 50 rows; one line of 13 centred 18 lower; three lines of 39 rows five
  // lower; a fourth would end at 56, below the label.
  const TileCase cases[] = {
      {1, {{48, 22, 120, 35}}, {46, 20, 122, 37}},
      {4, {{48, 9, 120, 22}, {48, 22, 72, 35}, {48, 35, 54, 48}, {}}, {46, 7, 122, 50}},
  };
  for (const TileCase& c : cases) {
    LV->GetPaintInfoItem()->SetTileDetailCount(c.Lines);
    const TEmberRectArrayObject ra = Rects(TEmberListStyle::elsTile, TRect{0, 0, 218, 58});
    EXPECT_RECT(ra.BoundsRect, 4, 4, 214, 54);
    EXPECT_RECT(ra.IconRect, 6, 4, 42, 54);
    EXPECT_RECT(ra.LabelRect, 48, 4, 212, 54);
    ASSERT_EQ(ra.TextRects.size(), c.Text.size());
    for (size_t i = 0; i < c.Text.size(); ++i) EXPECT_EQ(Str(ra.TextRects[i]), Str(c.Text[i])) << i;
    EXPECT_EQ(Str(ra.SelectionRect), Str(c.Selection));
  }
}

// ---- One view object per view class ----
TEST_F(ItemViewsTest, ItemsShareTheirViewObject) {
  TEmberItem* other = Group->GetItems()->Add();
  LV->SetView(TEmberListStyle::elsThumbnail);
  TEmberViewItem* thumb = Item->GetView();
  EXPECT_EQ(other->GetView(), thumb);
  EXPECT_EQ(thumb->ClassName(), u"TEmberViewThumbnailItem");
  LV->SetView(TEmberListStyle::elsReport);
  EXPECT_EQ(Item->GetView()->ClassName(), u"TEmberViewReportItem");
  EXPECT_EQ(other->GetView(), Item->GetView());
  LV->SetView(TEmberListStyle::elsThumbnail);
  EXPECT_EQ(Item->GetView(), thumb);
}

// The caption's measured lines are cached per item; a new caption, font or width measures again.
TEST_F(ItemViewsTest, CachedLinesFollowCaptionFontAndWidth) {
  const TRect cell{0, 0, 125, 143};
  EXPECT_RECT(Rects(TEmberListStyle::elsThumbnail, cell).TextRect, 28, 120, 100, 133);
  EXPECT_RECT(Rects(TEmberListStyle::elsThumbnail, cell).TextRect, 28, 120, 100, 133);
  Item->SetCaption(u"IMG_1.JPG");  // 54 pixels
  EXPECT_RECT(Rects(TEmberListStyle::elsThumbnail, cell).TextRect, 37, 120, 91, 133);
  // Another cell place moves the cached answer with it.
  EXPECT_RECT(Rects(TEmberListStyle::elsThumbnail, TRect{125, 143, 250, 286}).TextRect, 162, 263, 216, 276);
  // A narrower cell wraps: 8 characters fit the 48 pixels, "IMG_1.JP" over "G".
  EXPECT_RECT(Rects(TEmberListStyle::elsThumbnail, TRect{0, 0, 64, 143}).TextRect, 10, 116, 58, 142);
  // A handler that makes the font bold is measured with it: 9 characters of 8 pixels.
  LV->OnItemPaintText = [](TCustomEmberListview*, TEmberItem*, Integer, TCanvas* c) {
    c->GetFont()->SetStyle(c->GetFont()->GetStyle() + TFontStyle::fsBold);
  };
  EXPECT_RECT(Rects(TEmberListStyle::elsThumbnail, cell).TextRect, 28, 120, 100, 133);
}

// Published defaults are the values a new item answers, so a value equal to its default reloads
// as itself.
TEST_F(ItemViewsTest, ItemDefaultsAreWhatANewItemAnswers) {
  EXPECT_EQ(Item->GetBorderColor(), TEmberItem::DefaultBorderColor);
  EXPECT_EQ(Item->GetCaptionIndent(), TEmberItem::DefaultCaptionIndent);
  EXPECT_EQ(Item->GetCheckIndent(), TEmberItem::DefaultCheckIndent);
  EXPECT_EQ(Item->GetCheckSize(), TEmberItem::DefaultCheckSize);
  EXPECT_EQ(Item->GetImageIndent(), TEmberItem::DefaultImageIndent);
}

// ---- Painting ----

// A white 32-bit picture to paint on, and what its pixels read as.
struct Sheet {
  Owned<TBitmap> Bmp;
  Sheet(Integer w, Integer h) : Bmp(TBitmap::New()) {
    Bmp->SetPixelFormat(TPixelFormat::pf32bit);
    Bmp->SetSize(w, h);
    Bmp->GetCanvas()->GetBrush()->SetColor(clWhite);
    Bmp->GetCanvas()->FillRect(TRect{0, 0, w, h});
  }
  TCanvas* Canvas() const { return Bmp->GetCanvas(); }
  TColor At(Integer x, Integer y) const { return Bmp->GetCanvas()->GetPixel(x, y); }
  bool Blank(const TRect& r) const {
    for (Integer y = r.Top; y < r.Bottom; ++y)
      for (Integer x = r.Left; x < r.Right; ++x)
        if (At(x, y) != clWhite) return false;
    return true;
  }
};

// The thumbnail's picture frame round (4,4)-(121,113): one pixel in the item's border colour, or
// three in the selection colour; nothing without ShowBorder.
TEST_F(ItemViewsTest, ThumbnailPictureFrame) {
  LV->SetView(TEmberListStyle::elsThumbnail);
  TEmberSelectionManager* sel = LV->GetSelection();
  sel->SetInactiveColor(TColor(0x00C000));
  LV->GetPaintInfoItem()->SetBorderColor(TColor(0x0000C0));
  struct FrameCase {
    const char* Name;
    bool Selected, Gradient, ShowBorder;
    TColor Ring[4];  // x = 4, 5, 6, 7 on row 60
  };
  const TColor w = clWhite, border = 0x0000C0, inactive = 0x00C000;
  const FrameCase cases[] = {
      {"unselected", false, false, true, {border, w, w, w}},
      {"selected, control unfocused", true, false, true, {inactive, inactive, inactive, w}},
      {"selected with a gradient", true, true, true, {border, w, w, w}},
      {"no border", true, false, false, {w, w, w, w}},
  };
  for (const FrameCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Item->SetSelected(c.Selected);
    sel->SetGradient(c.Gradient);
    LV->GetPaintInfoItem()->SetShowBorder(c.ShowBorder);
    Item->SetDisplayRect(TRect{0, 0, 125, 143});
    Sheet sheet(130, 150);
    Item->Paint(sheet.Canvas(), TRect{0, 0, 130, 150}, nullptr, false);
    for (Integer i = 0; i < 4; ++i) EXPECT_EQ(ColorToRGB(sheet.At(4 + i, 60)), ColorToRGB(c.Ring[i])) << i;
    // The frame's right edge is the picture's last column.
    EXPECT_EQ(ColorToRGB(sheet.At(120, 60)), ColorToRGB(c.Ring[0]));
    EXPECT_EQ(sheet.At(121, 60), clWhite);
  }
}

// A selected thumbnail in an unfocused control: the selection rectangle in the inactive colours
// round its caption, the caption in the inactive text colour.
TEST_F(ItemViewsTest, SelectedCaptionIsFramedAndFilled) {
  LV->SetView(TEmberListStyle::elsThumbnail);
  TEmberSelectionManager* sel = LV->GetSelection();
  sel->SetInactiveColor(TColor(0x00C000));
  sel->SetInactiveBorderColor(TColor(0xC00000));
  sel->SetInactiveTextColor(TColor(0x808000));
  Item->SetSelected(true);
  Item->SetDisplayRect(TRect{0, 0, 125, 143});
  Sheet sheet(130, 150);
  Item->Paint(sheet.Canvas(), TRect{0, 0, 130, 150}, nullptr, false);
  // SelectionRect (26,118)-(102,135): pen on its edge, brush inside, caption glyphs from x 29.
  EXPECT_EQ(sheet.At(26, 118), TColor(0xC00000));
  EXPECT_EQ(sheet.At(101, 134), TColor(0xC00000));
  EXPECT_EQ(sheet.At(27, 119), TColor(0x00C000));
  EXPECT_EQ(sheet.At(30, 125), TColor(0x808000));
  EXPECT_EQ(sheet.At(102, 125), clWhite);
}

// A view whose PaintBefore paints the cell itself: nothing else is painted, and the canvas's
// pen, brush and font come back as they were.
class TSelfPaintingView : public TEmberViewThumbnailItem {
  EMBER_REF_CLASS(TSelfPaintingView, TEmberViewThumbnailItem, TEmberViewItem, TEmberGroup*)
public:
  static inline int Calls = 0;
  void PaintBefore(TEmberItem*, TEmberColumn*, const WideString&, TCanvas* ACanvas, const TEmberRectArrayObject&,
                   bool& Handled) override {
    ++Calls;
    Handled = true;
    ACanvas->GetPen()->SetColor(TColor(0x123456));
    ACanvas->GetBrush()->SetColor(TColor(0x654321));
    ACanvas->GetFont()->SetColor(TColor(0x0A0B0C));
  }
};

TEST_F(ItemViewsTest, HandledPaintBeforeLeavesTheRestUnpaintedAndTheCanvasRestored) {
  LV->SetView(TEmberListStyle::elsThumbnail);
  LV->OnItemCustomView = [](TCustomEmberListview*, TEmberItem*, TEmberListStyle, const TEmberViewItemClass*& View) {
    View = &TSelfPaintingView::StaticClass();
  };
  Item->SetSelected(true);
  Item->SetDisplayRect(TRect{0, 0, 125, 143});
  Sheet sheet(130, 150);
  TCanvas* c = sheet.Canvas();
  c->GetPen()->SetColor(clBlack);
  c->GetBrush()->SetColor(clWhite);
  c->GetFont()->SetColor(clBlack);
  TSelfPaintingView::Calls = 0;
  Item->Paint(c, TRect{0, 0, 130, 150}, nullptr, false);
  EXPECT_EQ(TSelfPaintingView::Calls, 1);
  EXPECT_TRUE(sheet.Blank(TRect{0, 0, 130, 150}));
  EXPECT_EQ(c->GetPen()->GetColor(), clBlack);
  EXPECT_EQ(c->GetBrush()->GetColor(), clWhite);
  EXPECT_EQ(c->GetFont()->GetColor(), clBlack);
  // A hidden item is not asked at all.
  Item->SetVisible(false);
  Item->Paint(c, TRect{0, 0, 130, 150}, nullptr, false);
  EXPECT_EQ(TSelfPaintingView::Calls, 1);
}

// An image list's picture in the thumbnail's picture area less the border, (8,8)-(117,109),
// 109 × 101: at its own size centred when it fits, else scaled down keeping its aspect.
TEST_F(ItemViewsTest, PictureCentredOrScaledDown) {
  LV->SetView(TEmberListStyle::elsThumbnail);
  LV->GetPaintInfoItem()->SetShowBorder(false);
  Item->SetImageIndex(0);
  struct PictureCase {
    Integer Size;
    TRect Drawn;  // the red square on the sheet
  };
  // 200 × 200 scaled by 101 / 200 to 101 × 101.
  const PictureCase cases[] = {{64, {30, 26, 94, 90}}, {200, {12, 8, 113, 109}}};
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(c.Size);
    TImageList* list = List(c.Size, c.Size);
    Owned<TBitmap> red(TBitmap::New());
    red->SetPixelFormat(TPixelFormat::pf32bit);
    red->SetSize(c.Size, c.Size);
    red->GetCanvas()->GetBrush()->SetColor(TColor(0x0000FF));
    red->GetCanvas()->FillRect(TRect{0, 0, c.Size, c.Size});
    list->Add(red.get(), nullptr);
    LV->SetImagesExLarge(list);
    Item->SetDisplayRect(TRect{0, 0, 125, 143});
    Sheet sheet(130, 150);
    Item->Paint(sheet.Canvas(), TRect{0, 0, 130, 150}, nullptr, false);
    const TRect& d = c.Drawn;
    EXPECT_EQ(sheet.At(d.Left, d.Top), TColor(0x0000FF));
    EXPECT_EQ(sheet.At(d.Right - 1, d.Bottom - 1), TColor(0x0000FF));
    EXPECT_EQ(sheet.At(d.Left - 1, d.Top), clWhite);
    EXPECT_EQ(sheet.At(d.Right, d.Bottom - 1), clWhite);
    EXPECT_EQ(sheet.At(d.Left, d.Top - 1), clWhite);
  }
}

// The check box is painted in CheckRect, (2,0)-(18,16) in a small-icon row, and shows whether
// the item is checked; none is painted for a check type without a box.
TEST_F(ItemViewsTest, CheckBoxPaintedInItsRectangle) {
  LV->SetView(TEmberListStyle::elsSmallIcon);
  Item->SetCaption(u"");
  auto paint = [&](TEmberCheckType type, bool checked) {
    LV->GetPaintInfoItem()->SetCheckType(type);
    Item->SetChecked(checked);
    Item->SetDisplayRect(TRect{0, 0, 200, 17});
    auto sheet = std::make_unique<Sheet>(200, 17);
    Item->Paint(sheet->Canvas(), TRect{0, 0, 200, 17}, nullptr, false);
    return sheet;
  };
  auto unchecked = paint(TEmberCheckType::ectBox, false);
  auto checked = paint(TEmberCheckType::ectBox, true);
  EXPECT_FALSE(unchecked->Blank(TRect{2, 0, 18, 16}));
  EXPECT_TRUE(unchecked->Blank(TRect{0, 0, 2, 17}));
  EXPECT_TRUE(unchecked->Blank(TRect{18, 0, 40, 17}));
  bool differs = false;
  for (Integer y = 0; y < 16; ++y)
    for (Integer x = 2; x < 18; ++x) differs = differs || unchecked->At(x, y) != checked->At(x, y);
  EXPECT_TRUE(differs);
  EXPECT_TRUE(paint(TEmberCheckType::ectNoneWithSpace, true)->Blank(TRect{0, 0, 40, 17}));
}

}  // namespace
}  // namespace lvtest
