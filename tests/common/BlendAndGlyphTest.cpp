// CommonAlphaBlend's arithmetic, the gradient, and the check-box and radio-button glyphs.

#include <gtest/gtest.h>

#include "CommonTestUtil.h"
#include "platform/gdi/Surface.h"
#include "platform/rtl/Exceptions.h"

namespace {

using namespace commontest;
using namespace common;

// Blends one pixel whose four bytes are all `s` onto one whose bytes are all `d`.
Byte BlendOne(TCommonBlendMode mode, Byte s, Byte d, int alpha, int bias, Byte srcAlpha = 0) {
  Dib src(1, 1), dst(1, 1);
  src.Fill(s, s, s, mode == TCommonBlendMode::cbmConstantAlpha ? s : srcAlpha);
  dst.Fill(d, d, d, d);
  CommonAlphaBlend(src.Dc, dst.Dc, TRect{0, 0, 1, 1}, TPoint{0, 0}, mode, alpha, bias);
  return dst.Px(0, 0)[0];
}

TEST(CommonAlphaBlend, ArithmeticOfEachMode) {
  using M = TCommonBlendMode;
  struct Case {
    M mode;
    Byte s, d;
    int alpha, bias;
    Byte srcAlpha, expected;
  } cases[] = {
      {M::cbmConstantAlpha, 0, 255, 128, 0, 0, 127},
      {M::cbmConstantAlpha, 255, 0, 255, 0, 0, 254},  // 255 * 255 / 256, not 255
      {M::cbmConstantAlpha, 200, 100, 128, 10, 0, 160},
      {M::cbmConstantAlpha, 200, 100, 128, -200, 0, 0},
      {M::cbmConstantAlpha, 200, 100, 128, 300, 0, 255},
      // The source's own alpha: 0 leaves the destination as it was.
      {M::cbmPerPixelAlpha, 255, 77, 0, 0, 0, 77},
      {M::cbmPerPixelAlpha, 200, 100, 99, 0, 128, 150},
      // Master: (255 * 255) shr 8 = 254, then 255 * 254 shr 8 = 253.
      {M::cbmMasterAlpha, 255, 0, 255, 0, 255, 253},
      {M::cbmMasterAlpha, 200, 100, 128, 0, 255, 149},  // a = 127: 100 + 100 * 127 / 256
  };
  for (const auto& k : cases)
    EXPECT_EQ(BlendOne(k.mode, k.s, k.d, k.alpha, k.bias, k.srcAlpha), k.expected)
        << int(k.mode) << " " << int(k.s) << " " << int(k.d) << " " << k.alpha;
}

TEST(CommonAlphaBlend, ConstantAlphaAndColourUsesOnlyTheDestination) {
  Dib src(1, 1), dst(1, 1);
  src.Fill(9, 9, 9, 9);
  dst.Fill(100, 100, 100, 255);
  // Colour 0x00BBGGRR = blue 200, green 200, red 200; alpha byte of the colour is 0.
  CommonAlphaBlend(src.Dc, dst.Dc, TRect{0, 0, 1, 1}, TPoint{0, 0}, TCommonBlendMode::cbmConstantAlphaAndColor, 64,
                   0x00C8C8C8);
  // Colour channels (100 * 192 + 200 * 64) shr 8, alpha (255 * 192) shr 8.
  const Byte* p = dst.Px(0, 0);
  EXPECT_EQ(std::vector<int>(p, p + 4), (std::vector<int>{125, 125, 125, 191}));
}

TEST(CommonAlphaBlend, RowsOfBottomUpAndTopDownBitmaps) {
  for (bool srcUp : {false, true})
    for (bool dstUp : {false, true}) {
      Dib src(2, 2, srcUp), dst(2, 2, dstUp);
      src.Fill(0, 0, 0, 0);
      dst.Fill(0, 0, 0, 0);
      src.Px(1, 0)[2] = 200;  // top-right red
      CommonAlphaBlend(src.Dc, dst.Dc, TRect{1, 0, 2, 1}, TPoint{0, 1}, TCommonBlendMode::cbmConstantAlpha, 128, 0);
      EXPECT_EQ(dst.Px(0, 1)[2], 100) << srcUp << dstUp;
      EXPECT_EQ(dst.Px(0, 0)[2], 0);
      EXPECT_EQ(dst.Px(1, 1)[2], 0);
    }
}

TEST(CommonAlphaBlend, RectanglesAreCutToTheBitmaps) {
  Dib src(4, 4), dst(2, 2);
  src.Fill(200, 200, 200, 200);
  dst.Fill(0, 0, 0, 0);
  // The source reaches past the destination: src (1,1) lands on (1,0), src (1,2) on (1,1), the
  // rest would fall outside.
  CommonAlphaBlend(src.Dc, dst.Dc, TRect{1, 1, 6, 6}, TPoint{1, 0}, TCommonBlendMode::cbmConstantAlpha, 255, 0);
  auto blues = [&] { return std::vector<int>{dst.Px(0, 0)[0], dst.Px(1, 0)[0], dst.Px(0, 1)[0], dst.Px(1, 1)[0]}; };
  EXPECT_EQ(blues(), (std::vector<int>{0, 199, 0, 199}));
  // A source that starts before its bitmap: src (-1,0) has no pixel, src (0,0) lands on (1,0).
  dst.Fill(0, 0, 0, 0);
  CommonAlphaBlend(src.Dc, dst.Dc, TRect{-1, 0, 2, 1}, TPoint{0, 0}, TCommonBlendMode::cbmConstantAlpha, 255, 0);
  EXPECT_EQ(blues(), (std::vector<int>{0, 199, 0, 0}));
  dst.Fill(0, 0, 0, 0);
  // An empty rectangle changes nothing.
  CommonAlphaBlend(src.Dc, dst.Dc, TRect{1, 1, 1, 3}, TPoint{0, 0}, TCommonBlendMode::cbmConstantAlpha, 255, 0);
  EXPECT_EQ(blues(), (std::vector<int>{0, 0, 0, 0}));
}

TEST(CommonAlphaBlend, RefusesWhatIsNotA32BitBitmap) {
  Dib ok(2, 2), rgb(2, 2, false, 24);
  auto message = [](const std::function<void()>& f) -> std::string {
    try {
      f();
    } catch (const EAssertionFailed& e) {
      return e.what();
    }
    return "";
  };
  std::string m = message([&] {
    CommonAlphaBlend(rgb.Dc, ok.Dc, TRect{0, 0, 1, 1}, TPoint{0, 0}, TCommonBlendMode::cbmConstantAlpha, 1, 0);
  });
  EXPECT_NE(m.find("Alpha blending error: bitmap must use 32 bpp."), std::string::npos) << m;
  EXPECT_NE(m.find("CommonLibrary\\Source\\CommonUtilities"), std::string::npos) << m;
  TSurface surface;
  surface.SetSize(2, 2);
  HDC sdc = CreateSurfaceDC(surface);
  m = message([&] {
    CommonAlphaBlend(ok.Dc, sdc, TRect{0, 0, 1, 1}, TPoint{0, 0}, TCommonBlendMode::cbmConstantAlpha, 1, 0);
  });
  DeleteDC(sdc);
  EXPECT_NE(m.find("Alpha blending DC error: no bitmap available."), std::string::npos) << m;
}

TEST(Gradient, RowsInterpolateWithHalvesToEven) {
  Dib d(4, 4);
  d.Fill(255, 255, 255, 0);
  Owned<TCanvas> c(TCanvas::New());
  c->SetHandle(d.Dc);
  c->GetPen()->SetColor(clLime);
  // Red 0 -> 255 and blue 0 -> 1 over rows 0..2: row 1 is red 127.5 -> 128, blue 0.5 -> 0.
  DrawVerticalGradient(c.get(), 0, 3, 0, 2, static_cast<TColor>(RGB(0, 0, 0)), static_cast<TColor>(RGB(255, 0, 1)), 0, 10);
  EXPECT_EQ(d.Rgb(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(d.Rgb(2, 1), RGB(128, 0, 0));
  EXPECT_EQ(d.Rgb(0, 2), RGB(255, 0, 1));
  EXPECT_EQ(d.Rgb(3, 1), RGB(255, 255, 255));  // LineTo leaves out x2
  // A band of one row takes the start colour; rows outside MinY..MaxY stay.
  DrawVerticalGradient(c.get(), 0, 3, 3, 3, static_cast<TColor>(RGB(10, 20, 30)), clWhite, 0, 10);
  EXPECT_EQ(d.Rgb(1, 3), RGB(10, 20, 30));
  d.Fill(255, 255, 255, 0);
  DrawVerticalGradient(c.get(), 0, 3, 0, 2, clBlack, clBlack, 1, 1);
  EXPECT_EQ(d.Rgb(0, 0), RGB(255, 255, 255));
  EXPECT_EQ(d.Rgb(0, 1), 0u);
  c->SetHandle(nullptr);
}

// Six colours that cannot be mistaken for each other.
const TColor C1 = static_cast<TColor>(RGB(255, 0, 0)), C2 = static_cast<TColor>(RGB(0, 255, 0)),
             C3 = static_cast<TColor>(RGB(0, 0, 255)), C4 = static_cast<TColor>(RGB(255, 255, 0)),
             C5 = static_cast<TColor>(RGB(0, 255, 255)), C6 = static_cast<TColor>(RGB(255, 0, 255));

struct GlyphCanvas {
  Dib d{20, 20};
  Owned<TCanvas> c{TCanvas::New()};
  GlyphCanvas() {
    d.Fill(128, 128, 128, 0);
    c->SetHandle(d.Dc);
    c->GetBrush()->SetColor(clWhite);
  }
  ~GlyphCanvas() { c->SetHandle(nullptr); }
  TColor At(int x, int y) const { return static_cast<TColor>(d.Rgb(x, y)); }
};

TEST(CheckBoxGlyphs, CellSizeIsThePointSizeAtNinetySixDpi) {
  struct Case {
    int points, pixels;
  } cases[] = {{8, 11}, {10, 13}, {12, 16}};
  for (const auto& k : cases) {
    TSize s;
    MarlettGlyphSize(k.points, u'g', s);
    EXPECT_EQ(s, (TSize{k.pixels, k.pixels})) << k.points;
  }
}

TEST(CheckBoxGlyphs, FramePiecesTakeTheirColoursAndTheTickComesOnlyWhenChecked) {
  // Size 8: an 11-pixel cell at (2,2) .. (12,12).
  struct Case {
    bool checked, enabled, hot;
    TColor background, tick;
  } cases[] = {
      {false, true, false, C6, C6},
      {false, true, true, C5, C5},
      {true, true, false, C6, clBlack},
      {true, false, false, C6, static_cast<TColor>(GetSysColor(COLOR_BTNSHADOW))},
  };
  for (const auto& k : cases) {
    GlyphCanvas g;
    DrawCheckBoxGlyphs(g.c.get(), TPoint{2, 2}, 8, k.checked, k.enabled, k.hot, C1, C2, C3, C4, C5, C6);
    const TColor grey = static_cast<TColor>(RGB(128, 128, 128));
    struct Px {
      int x, y;
      TColor c;
    } pixels[] = {
        {2, 2, C4}, {2, 7, C4},                  // outer ring, top-left piece
        {12, 12, C3}, {12, 3, C3}, {7, 12, C3},  // outer ring, bottom-right piece (and its corners)
        {3, 3, C2}, {7, 3, C2},                  // inner ring, top-left
        {11, 11, C1}, {11, 5, C1},               // inner ring, bottom-right
        {6, 6, k.background},                    // inside, off the tick
        {6, 10, k.tick},                         // on the tick's lower bend
        {13, 13, grey}, {1, 1, grey},            // outside the cell
    };
    for (const auto& p : pixels) EXPECT_EQ(g.At(p.x, p.y), p.c) << p.x << "," << p.y << " checked " << k.checked;
  }
}

TEST(RadioButtonGlyphs, RingsTakeTheirColoursAndTheDotComesOnlyWhenChecked) {
  for (bool checked : {false, true}) {
    GlyphCanvas g;
    DrawRadioButtonGlyphs(g.c.get(), TPoint{0, 0}, 8, checked, true, false, C1, C2, C3, C4, C5, C6);
    EXPECT_EQ(g.At(5, 0), C4);   // outer ring, upper left half
    EXPECT_EQ(g.At(5, 10), C3);  // outer ring, lower right half
    EXPECT_EQ(g.At(5, 1), C2);   // inner ring, upper left
    EXPECT_EQ(g.At(5, 9), C1);   // inner ring, lower right
    EXPECT_EQ(g.At(5, 5), checked ? clBlack : C6);
    EXPECT_EQ(g.At(5, 2), C6);
    EXPECT_EQ(g.At(0, 0), clWhite);  // the corner of the cell: the canvas brush
  }
}

}  // namespace
