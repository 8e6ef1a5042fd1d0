#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/uDIB.h"
#include "platform/gdiplus/PhotoFixtures.h"

namespace {

using namespace app;
using fixtures::Rgb;

// A 24-bit bitmap filled with white.
Owned<TBitmap> WhiteBitmap(Integer w, Integer h) {
  Owned<TBitmap> bmp(TBitmap::New());
  bmp->SetPixelFormat(TPixelFormat::pf24bit);
  bmp->SetSize(w, h);
  for (Integer y = 0; y < h; ++y) std::memset(bmp->ScanLine(y), 0xFF, static_cast<size_t>(w) * 3);
  return bmp;
}

Rgb At(TBitmap& bmp, Integer x, Integer y) {
  const Byte* p = bmp.ScanLine(y) + x * 3;
  return {p[2], p[1], p[0]};
}

// Left half red, right half blue.
Owned<TDIB> Halves(Integer w, Integer h) {
  Owned<TDIB> dib(TDIB::New());
  dib->SetSize(w, h);
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w; ++x) {
      Byte* p = dib->ScanLine(y) + x * 3;
      const bool left = x < w / 2;
      p[0] = left ? 20 : 220;   // blue
      p[1] = 20;
      p[2] = left ? 220 : 20;   // red
    }
  return dib;
}

const Rgb White{255, 255, 255}, Red{220, 20, 20}, Blue{20, 20, 220};

TEST(DIBDrawing, CentredInARectangle) {
  struct Probe { Integer x, y; Rgb colour; };
  struct Case {
    const char* what;
    Integer bw, bh, dw, dh;
    TRect rect;
    std::vector<Probe> probes;
  };
  const Case cases[] = {
      // A 200 × 133 thumbnail in a 200 × 200 cell starts 33 pixels below the cell's top.
      {"thumbnail", 220, 220, 200, 133, TRect{10, 10, 210, 210},
       {{20, 42, White}, {20, 43, Red}, {20, 175, Red}, {20, 176, White},
        {9, 100, White}, {10, 100, Red}, {209, 100, Blue}, {210, 100, White}}},
      // 300 wide in a 200-wide rectangle: it starts 50 pixels left of the rectangle.
      {"larger", 300, 50, 300, 10, TRect{50, 0, 250, 30},
       {{0, 10, Red}, {149, 10, Red}, {150, 10, Blue}, {10, 9, White}, {10, 19, Red}, {10, 20, White}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Owned<TBitmap> bmp = WhiteBitmap(c.bw, c.bh);
    Halves(c.dw, c.dh)->DrawCenter(bmp->GetCanvas(), c.rect);
    for (const Probe& p : c.probes) EXPECT_EQ(At(*bmp, p.x, p.y), p.colour) << p.x << "," << p.y;
  }
}

TEST(DIBDrawing, NothingIsDrawnFromAnEmptyBuffer) {
  Owned<TBitmap> bmp = WhiteBitmap(12, 12);
  Owned<TDIB> empty(TDIB::New());
  empty->Draw(bmp->GetCanvas(), TRect{0, 0, 12, 12});
  empty->DrawCenter(bmp->GetCanvas(), TRect{0, 0, 12, 12});
  EXPECT_EQ(At(*bmp, 5, 5), White);
}

TEST(DIBDrawing, AssignedFromA24BitBitmap) {
  Owned<TBitmap> bmp = WhiteBitmap(7, 3);
  bmp->ScanLine(1)[3 * 2 + 2] = 9;  // red of pixel (2, 1)
  Owned<TDIB> dib(TDIB::New());
  dib->Assign(bmp.get());
  ASSERT_EQ(dib->Width(), 7);
  ASSERT_EQ(dib->Height(), 3);
  EXPECT_EQ(dib->Line(), 24);
  EXPECT_EQ(dib->ScanLine(1)[3 * 2 + 2], 9);
  EXPECT_EQ(dib->ScanLine(2)[20], 0xFF);
  dib->Assign(static_cast<TBitmap*>(nullptr));
  EXPECT_TRUE(dib->IsEmpty());
}

}  // namespace
