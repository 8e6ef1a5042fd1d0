// Pixel probes of the selection's variants on a thumbnail and of a column's drop-down button in its
// states. The thumbnail is the worked cell (0, 0, 125, 143) of the item views: picture
// (4, 4, 121, 113), selection (26, 118, 102, 135), caption glyphs from x 28; the control is not
// focused, so the inactive colours paint: brush 0x00C000, pen 0xC00000, over a white control.

#include "ListviewTestUtil.h"
#include "common/CommonObjects.h"
#include "platform/gdi/Bitmap.h"
#include "platform/gdi/FontSource.h"
#include "platform/gdi/Theme.h"

namespace lvtest {
namespace {

constexpr TColor kWhite = 0xFFFFFF, kBrush = 0x00C000, kPen = 0xC00000;

class SelectionProbeTest : public ListviewTest {
protected:
  void SetUp() override {
    pf::TFixedFontMetrics m;
    m.Advance = 6;
    m.Height = 13;
    m.Ascent = 10;
    m.AveCharWidth = 6;
    m.MaxCharWidth = 11;
    m.InternalLeading = 2;
    pf::SetFontSourceFactory(pf::FixedFontSourceFactory(m));
    ListviewTest::SetUp();
    MakeList();
    LV->SetView(TEmberListStyle::elsThumbnail);
    Item = LV->GetGroups()->Add()->GetItems()->Add();
    Item->SetCaption(u"IMG_0001.JPG");
    Item->SetSelected(true);
    TEmberSelectionManager* sel = LV->GetSelection();
    sel->SetInactiveColor(kBrush);
    sel->SetInactiveBorderColor(kPen);
    sel->SetInactiveTextColor(TColor(0x808000));
  }
  void TearDown() override {
    ListviewTest::TearDown();
    pf::SetFontSourceFactory(nullptr);
  }
  // The item painted on white, and the colour of each probe.
  std::vector<TColor> Paint(const std::vector<TPoint>& probes) {
    Owned<TBitmap> bmp(TBitmap::New());
    bmp->SetPixelFormat(TPixelFormat::pf32bit);
    bmp->SetSize(130, 150);
    bmp->GetCanvas()->GetBrush()->SetColor(clWhite);
    bmp->GetCanvas()->FillRect(TRect{0, 0, 130, 150});
    Item->SetDisplayRect(TRect{0, 0, 125, 143});
    Item->Paint(bmp->GetCanvas(), TRect{0, 0, 130, 150}, nullptr, false);
    std::vector<TColor> out;
    for (TPoint p : probes) out.push_back(static_cast<TColor>(ColorToRGB(bmp->GetCanvas()->GetPixel(p.X, p.Y))));
    return out;
  }
  TEmberItem* Item{nullptr};
};

// Probes: the selection's top-left corner, its left edge, just inside it near the top (clear of
// the rounded corners and above the caption's rows 120 to 132), in the middle left of the glyphs,
// near the bottom; left of it inside the cell; between the picture and the caption.
const std::vector<TPoint> kProbes{{26, 118}, {26, 125}, {30, 119}, {27, 125}, {30, 133}, {3, 125}, {60, 115}};

TEST_F(SelectionProbeTest, EachVariantPaintsItsOwnPixels) {
  // Blended with the brush colour at 128 over white: (255 × 128 + c × 128) shr 8 per channel, so
  // 0x7F where the colour has 0 and 0xDF where it has 0xC0. The pen's pixels blend to 0x60.
  const TColor blendedWhite = 0x7FDF7F, blendedPen = 0x606000;
  // The gradient runs from the control's white (row 118) to the brush colour (row 134) in 16
  // steps: row 119 is 1/16 of the way, row 133 15/16, each channel rounded.
  const TColor row119 = 0xEFFBEF, row133 = 0x10C410;
  struct Case {
    const char* name;
    bool gradient, alpha, round, fullCell, fullItem;
    std::vector<TColor> expected;  // at kProbes; clNone: not white, and the other gradient's
  } cases[] = {
      {"plain: pen frame, brush inside", false, false, false, false, false,
       {kPen, kPen, kBrush, kBrush, kBrush, kWhite, kWhite}},
      {"round rectangle: the corner stays", false, false, true, false, false,
       {kWhite, kPen, kBrush, kBrush, kBrush, kWhite, kWhite}},
      {"gradient: top to bottom, framed in the brush", true, false, false, false, false,
       {kBrush, kBrush, row119, clNone, row133, kWhite, kWhite}},
      {"alpha blend: the background shows through, pen frame", false, true, false, false, false,
       {kPen, kPen, blendedWhite, blendedWhite, blendedWhite, kWhite, kWhite}},
      {"alpha blend, rounded: the frame blended too, the corner stays", false, true, true, false, false,
       {kWhite, blendedPen, blendedWhite, blendedWhite, blendedWhite, kWhite, kWhite}},
      {"full cell: the cell less 2 on each side", false, false, false, true, false,
       {kBrush, kBrush, kBrush, kBrush, kBrush, kBrush, kBrush}},
      {"full item: the picture and the caption", false, false, false, false, true,
       {kBrush, kBrush, kBrush, kBrush, kBrush, kWhite, kBrush}},
  };
  TEmberSelectionManager* sel = LV->GetSelection();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sel->SetGradient(c.gradient);
    sel->SetAlphaBlend(c.alpha);
    sel->SetRoundRect(c.round);
    sel->SetFullCellPaint(c.fullCell);
    sel->SetFullItemPaint(c.fullItem);
    const std::vector<TColor> got = Paint(kProbes);
    for (size_t i = 0; i < kProbes.size(); ++i) {
      if (c.expected[i] == clNone) continue;
      EXPECT_EQ(got[i], c.expected[i]) << "at (" << kProbes[i].X << "," << kProbes[i].Y << ")";
    }
  }
  // The full cell's frame is 2 inside the cell, the full item's round picture and caption.
  sel->SetGradient(false);
  sel->SetAlphaBlend(false);
  sel->SetRoundRect(false);
  sel->SetFullCellPaint(true);
  sel->SetFullItemPaint(false);
  EXPECT_EQ(Paint({{1, 125}, {2, 125}, {2, 2}, {122, 140}, {123, 140}}),
            (std::vector<TColor>{kWhite, kPen, kPen, kPen, kWhite}));
  sel->SetFullCellPaint(false);
  sel->SetFullItemPaint(true);
  EXPECT_EQ(Paint({{3, 115}, {4, 115}, {120, 120}, {121, 120}}), (std::vector<TColor>{kWhite, kPen, kPen, kWhite}));

  // Gradient and alpha blend together: the gradient laid over what was there, neither the plain
  // gradient nor the plain blend, still light at the top and green at the bottom.
  sel->SetFullItemPaint(false);
  sel->SetGradient(true);
  sel->SetAlphaBlend(true);
  const std::vector<TColor> mixed = Paint({{30, 119}, {30, 133}, {3, 125}});
  EXPECT_NE(mixed[0], kWhite);
  EXPECT_NE(mixed[0], row119);
  EXPECT_NE(mixed[1], row133);
  EXPECT_NE(mixed[1], blendedWhite);
  EXPECT_GT(GetGValue(mixed[1]), GetRValue(mixed[1]));
  EXPECT_GT(GetRValue(mixed[0]), GetRValue(mixed[1]));
  EXPECT_EQ(mixed[2], kWhite);
}

// The drop-down button of a column (81, 2, 98, 19) painted the classic way, shrunk by 1 to
// (82, 3, 97, 18): 15 square, so the arrow is 3 rows of 5, 3 and 1 pixels centred at x 89 from
// row 9; pressed it moves one pixel right and down. Flat: no edge unless hot (raised, one pixel)
// or pressed (sunken, one pixel); disabled, the arrow is grey.
class DropDownProbeTest : public ListviewTest {
protected:
  void SetUp() override {
    pf::SetFontSourceFactory(pf::FixedFontSourceFactory(pf::TFixedFontMetrics{}));
    common::InitializeCommonObjects();
    ListviewTest::SetUp();
    MakeList();
    LV->SetThemed(false);
    LV->SetView(TEmberListStyle::elsReport);
    Col = LV->GetHeader()->GetColumns()->Add();
    Col->SetCaption(u"Name");
    Col->SetWidth(100);
    Col->GetDropDownButton()->SetVisible(true);
    Col->GetDropDownButton()->SetAlwaysShow(true);
    Col->SetDisplayRect(TRect{0, 0, 100, 21});
  }
  void TearDown() override {
    ListviewTest::TearDown();
    common::FinalizeCommonObjects();
    pf::SetFontSourceFactory(nullptr);
  }
  Owned<TBitmap> PaintButton(bool enabled, TEmberColumnDropDownButtonStates state) {
    TEmberColumnDropDownButton* b = Col->GetDropDownButton();
    b->SetEnabled(enabled);
    b->SetState(state);
    Owned<TBitmap> bmp(TBitmap::New());
    bmp->SetPixelFormat(TPixelFormat::pf32bit);
    bmp->SetSize(100, 21);
    bmp->GetCanvas()->GetBrush()->SetColor(clBlack);
    bmp->GetCanvas()->FillRect(TRect{0, 0, 100, 21});
    Col->GetView()->Paint(Col, bmp->GetCanvas(), TEmberHeaderType::ehtHeader);
    return bmp;
  }
  TEmberColumn* Col{nullptr};
};

TEST_F(DropDownProbeTest, TheArrowShowsDisabledHotAndPressed) {
  using S = TEmberColumnDropDownButtonState;
  const TColor face = static_cast<TColor>(GetSysColor(COLOR_BTNFACE)), text = static_cast<TColor>(GetSysColor(COLOR_BTNTEXT));
  const TColor grey = static_cast<TColor>(GetSysColor(COLOR_GRAYTEXT));
  const TColor light = static_cast<TColor>(GetSysColor(COLOR_BTNHIGHLIGHT)), shadow = static_cast<TColor>(GetSysColor(COLOR_BTNSHADOW));
  // Probes: the arrow's top row at 87 and 91, its tip, where the pressed tip lands, the
  // button's top-left and bottom-right pixels.
  const std::vector<TPoint> probes{{87, 9}, {91, 9}, {89, 11}, {90, 12}, {82, 3}, {96, 17}};
  struct Case {
    const char* name;
    bool enabled;
    TEmberColumnDropDownButtonStates state;
    std::vector<TColor> expected;
  } cases[] = {
      {"normal: flat, the arrow in the button text colour", true, {}, {text, text, text, face, face, face}},
      {"hot: a raised edge", true, {S::cdbsHovering}, {text, text, text, face, light, shadow}},
      {"pressed: sunken, the arrow one pixel on", true, {S::cdbsHovering, S::cdbsDown}, {face, face, text, text, shadow, light}},
      {"disabled: a grey arrow, whatever the pointer does", false, {S::cdbsHovering, S::cdbsDown}, {grey, grey, grey, face, face, face}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Owned<TBitmap> bmp = PaintButton(c.enabled, c.state);
    for (size_t i = 0; i < probes.size(); ++i)
      EXPECT_EQ(ColorToRGB(bmp->GetCanvas()->GetPixel(probes[i].X, probes[i].Y)), ColorToRGB(c.expected[i]))
          << "at (" << probes[i].X << "," << probes[i].Y << ")";
  }
}

// With themes the combo box's drop-down part draws each state: four different pictures, all
// inside the button.
TEST_F(DropDownProbeTest, ThemedStatesDifferFromEachOther) {
  using S = TEmberColumnDropDownButtonState;
  LV->SetThemed(true);
  if (!LV->DrawWithThemes()) GTEST_SKIP() << "themes are off on this desktop";
  const std::pair<bool, TEmberColumnDropDownButtonStates> states[] = {
      {true, {}}, {true, {S::cdbsHovering}}, {true, {S::cdbsHovering, S::cdbsDown}}, {false, {}}};
  std::vector<std::vector<TColor>> pictures;
  for (const auto& [enabled, state] : states) {
    Owned<TBitmap> bmp = PaintButton(enabled, state);
    std::vector<TColor> px;
    for (Integer y = 2; y < 19; ++y)
      for (Integer x = 81; x < 98; ++x) px.push_back(bmp->GetCanvas()->GetPixel(x, y));
    pictures.push_back(px);
  }
  for (size_t i = 0; i < pictures.size(); ++i)
    for (size_t j = i + 1; j < pictures.size(); ++j) EXPECT_NE(pictures[i], pictures[j]) << i << " and " << j;
}

}  // namespace
}  // namespace lvtest
