#include <gtest/gtest.h>

#include "platform/gdiplus/Print.h"
#include "platform/gdiplus/PhotoFixtures.h"
#include "platform/rtl/Strings.h"
#include "support/TestEnv.h"

namespace {

using namespace pf;
using namespace pf::gdiplus;
using fixtures::Rgb;

const Rgb Red{220, 20, 20}, Green{20, 200, 20}, Blue{20, 20, 220}, Yellow{230, 230, 30};

// Quadrants of a w × h picture: red top-left, green top-right, blue bottom-left, yellow
// bottom-right.
fixtures::Painter Quadrants(int w, int h) {
  return [w, h](int x, int y) {
    if (y < h / 2) return x < w / 2 ? Red : Green;
    return x < w / 2 ? Blue : Yellow;
  };
}

TEST(PrintGeometry, RectanglesOfTheTurnedPhotoMapBackOntoTheFile) {
  // A 40 × 30 picture; rectangles in the turned picture's pixels.
  struct Case { RotateFlipType turn; TRect turned; TRect stored; };
  const Case cases[] = {
      {RotateFlipType::RotateNoneFlipNone, {1, 2, 11, 7}, {1, 2, 11, 7}},
      // Turned clockwise the picture is 30 × 40; its top-left corner is the file's bottom-left.
      {RotateFlipType::Rotate90FlipNone, {0, 0, 5, 10}, {0, 25, 10, 30}},
      {RotateFlipType::Rotate90FlipNone, {25, 30, 30, 40}, {30, 0, 40, 5}},
      // Counter-clockwise its top-left corner is the file's top-right.
      {RotateFlipType::Rotate270FlipNone, {0, 0, 5, 10}, {30, 0, 40, 5}},
      {RotateFlipType::Rotate180FlipNone, {0, 0, 4, 3}, {36, 27, 40, 30}},
  };
  for (const Case& c : cases) EXPECT_EQ(UnturnRect(c.turned, 40, 30, c.turn), c.stored) << static_cast<int>(c.turn);
}

TEST(PrintGeometry, ClampingKeepsTheSizeAndMovesTheRectangleInside) {
  struct Case { TRect in; TRect out; };
  const Case cases[] = {
      {{101, 0, 301, 200}, {100, 0, 300, 200}},  // one pixel past the right edge
      {{-3, 0, 97, 200}, {0, 0, 100, 200}},
      {{0, 0, 301, 200}, {0, 0, 300, 200}},      // wider than the photo: cut
  };
  for (const Case& c : cases) EXPECT_EQ(ClampRect(c.in, 300, 200), c.out);
}

TEST(RenderPrint, TurnsTheSheetAndKeepsColoursInTheirPlaces) {
  const auto dir = testsupport::MakeTempDir("print");
  const auto file = dir / "q.jpg";
  fixtures::WriteJpeg(file, 400, 300, Quadrants(400, 300));
  // Sample points in the middle of each quadrant of the stored print.
  struct Case { RotateFlipType turn; int w, h; Rgb tl, tr, bl, br; };
  const Case cases[] = {
      // Clockwise: the file's bottom-left (blue) comes to the top-left.
      {RotateFlipType::Rotate90FlipNone, 120, 180, Blue, Red, Yellow, Green},
      {RotateFlipType::Rotate180FlipNone, 180, 120, Yellow, Blue, Green, Red},
      {RotateFlipType::Rotate270FlipNone, 120, 180, Green, Yellow, Red, Blue},
  };
  for (const Case& c : cases) {
    TPrintJob job;
    job.Turn = c.turn;
    const TSize t = TurnedSize(400, 300, c.turn);
    job.Source = TRect{0, 0, t.cx, t.cy};
    job.Width = c.w;
    job.Height = c.h;
    job.Target = TRect{0, 0, c.w, c.h};
    job.StoreLandscape = false;
    RawBytes out;
    ASSERT_EQ(RenderPrint(Utf8ToString(file.string()), job, out), Status::Ok);
    const fixtures::Decoded d = fixtures::DecodeJpeg(out);
    ASSERT_EQ(d.W, c.w);
    ASSERT_EQ(d.H, c.h);
    const int qx = c.w / 4, qy = c.h / 4;
    EXPECT_TRUE(fixtures::Near(d.At(qx, qy), c.tl, 8)) << static_cast<int>(c.turn);
    EXPECT_TRUE(fixtures::Near(d.At(3 * qx, qy), c.tr, 8)) << static_cast<int>(c.turn);
    EXPECT_TRUE(fixtures::Near(d.At(qx, 3 * qy), c.bl, 8)) << static_cast<int>(c.turn);
    EXPECT_TRUE(fixtures::Near(d.At(3 * qx, 3 * qy), c.br, 8)) << static_cast<int>(c.turn);
  }
}

}  // namespace
