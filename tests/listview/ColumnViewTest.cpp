// The column view: the rectangles of a header button (check box, image, caption, sort glyph,
// drop-down button) worked out by hand with a font of 8-pixel characters 16 pixels high, and the
// classic painting of the button's background and drop marker.

#include <string>

#include "ListviewTestUtil.h"
#include "common/CommonObjects.h"
#include "platform/gdi/FontSource.h"
#include "platform/gdi/Theme.h"

namespace lvtest {
namespace {

std::string Str(const TRect& r) {
  return "(" + std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
         std::to_string(r.Bottom) + ")";
}

class ColumnViewTest : public ListviewTest {
protected:
  void SetUp() override {
    pf::SetFontSourceFactory(pf::FixedFontSourceFactory(pf::TFixedFontMetrics{}));
    common::InitializeCommonObjects();  // the check boxes' sizes
    ListviewTest::SetUp();
    MakeList();
    LV->SetThemed(false);
    LV->SetView(TEmberListStyle::elsReport);
    Col = LV->GetHeader()->GetColumns()->Add();
    Col->SetCaption(u"Name");  // 32 pixels
    Col->SetWidth(100);
  }
  void TearDown() override {
    ListviewTest::TearDown();
    common::FinalizeCommonObjects();
    pf::SetFontSourceFactory(nullptr);
  }
  // The button's rect array over (0, 0, width, 21).
  TEmberRectArrayObject Rects(Integer width = 100) {
    Col->SetDisplayRect(TRect{0, 0, width, 21});
    TEmberRectArrayObject ra;
    Col->GetView()->ItemRectArray(Col, ra);
    return ra;
  }
  TEmberColumn* Col{nullptr};
};

// Bounds (2, 2, 98, 19): 17 high. The caption area takes 4 on its aligned side and 4 on the other
// (or the caption indent 4), then 2 all round: (8, 4, 92, 17); one line measures 32 × 16 there.
TEST_F(ColumnViewTest, TheCaptionSitsInTheLabelByItsAlignment) {
  ASSERT_EQ(Col->GetImageIndex(), -1);
  struct Case {
    TAlignment Align;
    TRect Text;
  };
  for (Case c : {Case{TAlignment::taLeftJustify, {8, 4, 40, 20}}, Case{TAlignment::taRightJustify, {60, 4, 92, 20}},
                 Case{TAlignment::taCenter, {34, 4, 66, 20}}}) {
    SCOPED_TRACE(static_cast<int>(c.Align));
    Col->SetAlignment(c.Align);
    const TEmberRectArrayObject ra = Rects();
    EXPECT_EQ(Str(ra.BoundsRect), Str({0, 0, 100, 21}));
    EXPECT_EQ(Str(ra.CheckRect), Str({2, 2, 2, 19}));
    EXPECT_EQ(Str(ra.IconRect), Str({2, 2, 2, 19}));
    EXPECT_EQ(Str(ra.LabelRect), Str({2, 2, 98, 19}));
    // Centred: the text moves by (17 - 16) div 2 = 0, its line by (17 - 4 - 16) div 2 = -1.
    EXPECT_EQ(Str(ra.TextRect), Str(c.Text));
    ASSERT_EQ(ra.TextRects.size(), 2u);  // caption lines + 1
    EXPECT_EQ(Str(ra.TextRects[0]), Str({c.Text.Left, 3, c.Text.Right, 19}));
    EXPECT_TRUE(IsRectEmptyEx(ra.SortRect));
    EXPECT_EQ(Str(ra.DropDownArrow), Str({98, 2, 98, 19}));
    for (const TRect& r : {ra.ClickSelectBoundsRect, ra.DragSelectBoundsRect, ra.SelectionRect, ra.FullTextRect,
                           ra.FocusChangeInvalidRect, ra.EditRect})
      EXPECT_EQ(Str(r), Str({2, 2, 98, 19}));
  }
}

// The 16 × 16 sort glyph takes the label's end (or start) and then follows the caption.
TEST_F(ColumnViewTest, TheSortGlyphFollowsTheCaption) {
  Col->SetSortDirection(TEmberSortDirection::esdAscending);
  TEmberRectArrayObject ra = Rects();
  EXPECT_EQ(Str(ra.LabelRect), Str({2, 2, 80, 19}));  // 98 - 2 - 16
  EXPECT_EQ(Str(ra.TextRect), Str({8, 4, 40, 20}));
  EXPECT_EQ(Str(ra.SortRect), Str({40, 2, 56, 18}));
  LV->GetPaintInfoColumn()->SetSortGlyphAlign(TEmberSortGlyphAlign::esgaLeft);
  ra = Rects();
  EXPECT_EQ(Str(ra.LabelRect), Str({20, 2, 98, 19}));
  EXPECT_EQ(Str(ra.TextRect), Str({26, 4, 58, 20}));
  EXPECT_EQ(Str(ra.SortRect), Str({58, 2, 74, 18}));
}

TEST_F(ColumnViewTest, TheDropDownButtonShowsOnlyOnAWideEnoughColumn) {
  TEmberColumnDropDownButton* button = Col->GetDropDownButton();
  button->SetVisible(true);
  EXPECT_EQ(Str(Rects().DropDownArrow), Str({98, 2, 98, 19}));  // neither always shown nor hot
  button->SetAlwaysShow(true);
  TEmberRectArrayObject ra = Rects();
  EXPECT_EQ(Str(ra.DropDownArrow), Str({81, 2, 98, 19}));  // a square of the bounds' height
  EXPECT_EQ(ra.LabelRect.Right, 81);
  // The label must be wider than 17 + 10: 28 is, 27 is not.
  EXPECT_EQ(Rects(32).DropDownArrow.Width(), 17);
  EXPECT_EQ(Rects(31).DropDownArrow.Width(), 0);
}

TEST_F(ColumnViewTest, TheImageTakesItsPlaceAndTheLabelTheRest) {
  Owned<TImageList> images{TImageList::New(nullptr)};
  images->SetSize(16, 16);
  LV->GetHeader()->SetImages(images.get());
  Col->SetImageIndex(0);
  struct Case {
    TEmberHeaderImagePosition Position;
    TRect Icon, Label;
  };
  const Case cases[] = {
      {TEmberHeaderImagePosition::ehpLeft, {4, 2, 20, 18}, {24, 2, 98, 19}},
      {TEmberHeaderImagePosition::ehpRight, {80, 2, 96, 18}, {2, 2, 76, 19}},
      // Above or below the caption there is no room left for it in a 21-pixel header.
      {TEmberHeaderImagePosition::ehpTop, {2, 4, 98, 20}, {2, 24, 98, 19}},
      {TEmberHeaderImagePosition::ehpBottom, {2, 1, 98, 17}, {2, 2, 98, -3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Position));
    LV->GetPaintInfoColumn()->SetImagePosition(c.Position);
    const TEmberRectArrayObject ra = Rects();
    EXPECT_EQ(Str(ra.IconRect), Str(c.Icon));
    EXPECT_EQ(Str(ra.LabelRect), Str(c.Label));
    EXPECT_EQ(IsRectEmptyEx(ra.TextRect), IsRectEmptyEx(c.Label));
  }
  LV->GetHeader()->SetImages(nullptr);
}

TEST_F(ColumnViewTest, TheCheckBoxStandsAtItsIndentCentred) {
  LV->GetPaintInfoColumn()->SetCheckType(TEmberCheckType::ectBox);
  TRect glyph;
  common::CheckBound->Bound(12, glyph);
  const TEmberRectArrayObject ra = Rects();
  const Integer top = 2 + (17 - glyph.Height()) / 2;
  EXPECT_EQ(Str(ra.CheckRect), Str({4, top, 4 + glyph.Width(), top + glyph.Height()}));
  EXPECT_EQ(ra.LabelRect.Left, 4 + glyph.Width());
}

TEST_F(ColumnViewTest, ResizingTheRectArraysGivesOnePerColumn) {
  LV->GetHeader()->GetColumns()->Add()->SetWidth(60);
  TEmberRectArrayObjectArray arrays;
  Col->GetView()->ReSizeRectArray(arrays);
  EXPECT_EQ(arrays.size(), 2u);
  LV->GetHeader()->GetColumns()->Clear();
  Col = nullptr;
  Owned<TEmberViewColumn> view{TEmberViewColumn::New(LV)};
  view->ReSizeRectArray(arrays);
  EXPECT_EQ(arrays.size(), 1u);  // never shorter than one record
}

// Measuring the caption into a given rectangle: the alignment places the line, the vertical
// alignment moves it within the rectangle's height, and a caption wider than the rectangle keeps the
// rectangle's left and its own width. Caption lines come from the control's column paint info.
TEST_F(ColumnViewTest, CalculateTextRectMeasuresTheCaptionByItsAlignments) {
  using VA = common::TCommonVAlignment;
  struct Case {
    const char* name;
    const char16_t* caption;
    Integer lines;
    TAlignment align;
    VA valign;
    TRect given, expected;
    bool ownCanvas;  // false: the control lends a canvas of its own
  };
  const Case cases[] = {
      // "Name" is 32 × 16 in a 100 × 40 rectangle.
      {"left, top", u"Name", 1, TAlignment::taLeftJustify, VA::cvaTop, {10, 20, 110, 60}, {10, 20, 42, 36}, true},
      // Right: x = 110 - 32; centred: (40 - 16) div 2 = 12 down.
      {"right, centred", u"Name", 1, TAlignment::taRightJustify, VA::cvaCenter, {10, 20, 110, 60}, {78, 32, 110, 48},
       false},
      // Centred: x = 10 + (100 - 32) div 2; bottom: 40 - 16 = 24 down.
      {"centre, bottom", u"Name", 1, TAlignment::taCenter, VA::cvaBottom, {10, 20, 110, 60}, {44, 44, 76, 60}, true},
      // Only 20 wide: right-aligned it would start at -2; it keeps the left edge 10 and its 32 pixels.
      {"narrow, right", u"Name", 1, TAlignment::taRightJustify, VA::cvaTop, {10, 20, 30, 60}, {10, 20, 42, 36}, true},
      {"narrow, centre", u"Name", 1, TAlignment::taCenter, VA::cvaCenter, {10, 20, 30, 60}, {10, 32, 42, 48}, false},
      // Two lines in 50 pixels: "Name " fits (40), "Name S" does not: "Name" and "Size".
      {"two lines, left, top", u"Name Size", 2, TAlignment::taLeftJustify, VA::cvaTop, {0, 0, 50, 40}, {0, 0, 32, 32},
       true},
      // Both lines end at 50; (40 - 2 × 16) div 2 = 4 down.
      {"two lines, right, centred", u"Name Size", 2, TAlignment::taRightJustify, VA::cvaCenter, {0, 0, 50, 40},
       {18, 4, 50, 36}, false},
      // One line allowed: the whole caption on it, 72 wide.
      {"one line allowed", u"Name Size", 1, TAlignment::taLeftJustify, VA::cvaTop, {0, 0, 50, 40}, {0, 0, 72, 16},
       true},
  };
  Owned<TControlCanvas> canvas{TControlCanvas::New()};
  canvas->SetControl(LV);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Col->SetCaption(c.caption);
    Col->SetAlignment(c.align);
    LV->GetPaintInfoColumn()->SetVAlignment(c.valign);
    LV->GetPaintInfoColumn()->SetCaptionLines(c.lines);
    TRect r = c.given;
    Col->GetView()->CalculateTextRect(Col, c.ownCanvas ? canvas.get() : nullptr, r);
    EXPECT_EQ(Str(r), Str(c.expected));
  }
}

// Classic painting: the button's colour inside its edge, and a 2-pixel blue bar at the left edge
// while a column drag aims at it.
TEST_F(ColumnViewTest, ClassicBackgroundAndDropMarker) {
  Owned<TBitmap> bmp{TBitmap::New()};
  bmp->SetPixelFormat(TPixelFormat::pf32bit);
  bmp->SetSize(100, 21);
  TCanvas* canvas = bmp->GetCanvas();
  canvas->GetBrush()->SetColor(clBlack);
  canvas->FillRect(TRect{0, 0, 100, 21});
  Col->SetDisplayRect(TRect{0, 0, 100, 21});
  LV->GetPaintInfoColumn()->SetColor(static_cast<TColor>(0x00336699));
  Col->GetView()->Paint(Col, canvas, TEmberHeaderType::ehtHeader);
  EXPECT_EQ(canvas->GetPixel(60, 10), static_cast<TColor>(0x00336699));
  EXPECT_NE(canvas->GetPixel(0, 10), static_cast<TColor>(0x00336699));  // the raised edge
  EXPECT_NE(canvas->GetPixel(0, 10), static_cast<TColor>(0xFF0000));

  TEmberStorageObjectStates state = Col->GetState();
  state.Include(TEmberStorageObjectState::esosDropTarget);
  Col->SetState(state);
  Col->GetView()->Paint(Col, canvas, TEmberHeaderType::ehtHeader);
  EXPECT_EQ(canvas->GetPixel(0, 10), static_cast<TColor>(0xFF0000));
  EXPECT_EQ(canvas->GetPixel(1, 20), static_cast<TColor>(0xFF0000));
  EXPECT_NE(canvas->GetPixel(2, 10), static_cast<TColor>(0xFF0000));
}

}  // namespace
}  // namespace lvtest
