// The list view in the hand: mouse, keyboard and wheel scenarios as the window's messages, the
// same through the toolkit's events, hot tracking, hints, and the background picture by pixels.
#include "ListviewTestUtil.h"
#include "platform/gdi/Bitmap.h"

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

}  // namespace
}  // namespace lvtest
