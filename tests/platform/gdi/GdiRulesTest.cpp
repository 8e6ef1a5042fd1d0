// GDI's pixel rules where they differ from the toolkit's: exclusive edges, LineTo without its end
// pixel, clip regions in device coordinates, origins, XOR focus rectangles, text cells and alpha.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/Surface.h"
#include "platform/gdi/GdiTestUtil.h"

namespace {

using namespace gditest;

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlack = 0;

struct Brush {
  HBRUSH H;
  explicit Brush(COLORREF c) : H(CreateSolidBrush(c)) {}
  ~Brush() { DeleteObject(H); }
};

TEST(GdiRules, FillRectAndFrameRectExcludeRightAndBottomEdges) {
  DibCanvas c(7, 6);
  c.Clear(kWhite);
  Brush red(kRed);
  TRect r{2, 1, 5, 3};
  FillRect(c.Dc, &r, red.H);
  EXPECT_EQ(c.Row(0, kRed), ".......");
  EXPECT_EQ(c.Row(1, kRed), "..###..");
  EXPECT_EQ(c.Row(2, kRed), "..###..");
  EXPECT_EQ(c.Row(3, kRed), ".......");
  // Reversed edges fill nothing.
  c.Clear(kWhite);
  TRect rev{5, 3, 2, 1};
  FillRect(c.Dc, &rev, red.H);
  for (int y = 0; y < 6; ++y) EXPECT_EQ(c.Row(y, kRed), ".......");
  // The frame is one pixel wide, inside the rectangle.
  TRect f{1, 1, 6, 5};
  FrameRect(c.Dc, &f, red.H);
  EXPECT_EQ(c.Row(0, kRed), ".......");
  EXPECT_EQ(c.Row(1, kRed), ".#####.");
  EXPECT_EQ(c.Row(2, kRed), ".#...#.");
  EXPECT_EQ(c.Row(4, kRed), ".#####.");
  EXPECT_EQ(c.Row(5, kRed), ".......");
}

// Long rows are filled another way than short ones: every width around the change, at every
// start within a group of four, fills exactly its pixels (colour and alpha) and nothing beside them.
TEST(GdiRules, RowsOfEveryWidthFillExactlyTheirPixels) {
  DibCanvas c(1030, 3);
  TSurface surface;
  surface.SetSize(1030, 3);
  HDC surfaceDc = CreateSurfaceDC(surface);
  Brush colour(RGB(0x12, 0x34, 0x56));
  for (int width : {1, 3, 255, 256, 257, 1024}) {
    for (int left : {0, 1, 2, 3}) {
      SCOPED_TRACE(std::to_string(width) + " from " + std::to_string(left));
      c.Fill(0xAA, 0xBB, 0xCC, 0x77);
      const TRect r{left, 1, left + width, 2};
      FillRect(c.Dc, &r, colour.H);
      FillRect(surfaceDc, &r, colour.H);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < c.W; ++x) {
          const bool inside = y == 1 && x >= left && x < left + width;
          const Byte* p = c.Px(x, y);
          const std::array<int, 4> got{p[0], p[1], p[2], p[3]};
          const std::array<int, 4> want = inside ? std::array<int, 4>{0x56, 0x34, 0x12, 0} : std::array<int, 4>{0xAA, 0xBB, 0xCC, 0x77};
          ASSERT_EQ(got, want) << x << "," << y;
          if (inside) {
            ASSERT_EQ(surface.PixelRGB(x, y), 0x123456u) << x << "," << y;
          }
        }
    }
  }
  DeleteDC(surfaceDc);
}

// A bottom-up bitmap (every back buffer) is filled from its last row up: a region of several
// rectangles, long rows and short, fills exactly its pixels in either row order.
TEST(GdiRules, ARegionFillsExactlyItsPixelsInBothRowOrders) {
  // An L of two bands (a long top band, a short one below it) and a separate block further down.
  auto inside = [](int x, int y) {
    return (y >= 2 && y < 5 && x >= 10 && x < 300) || (y >= 5 && y < 9 && x >= 10 && x < 20) ||
           (y >= 12 && y < 14 && x >= 40 && x < 340);
  };
  for (bool bottomUp : {false, true}) {
    SCOPED_TRACE(bottomUp ? "bottom-up" : "top-down");
    DibCanvas c(350, 16, bottomUp);
    c.Fill(0xAA, 0xBB, 0xCC, 0x77);
    HRGN rgn = CreateRectRgn(10, 2, 300, 5);
    for (const TRect& r : {TRect{10, 5, 20, 9}, TRect{40, 12, 340, 14}}) {
      HRGN part = CreateRectRgnIndirect(&r);
      CombineRgn(rgn, rgn, part, RGN_OR);
      DeleteObject(part);
    }
    Brush colour(RGB(0x12, 0x34, 0x56));
    FillRgn(c.Dc, rgn, colour.H);
    DeleteObject(rgn);
    for (int y = 0; y < c.H; ++y)
      for (int x = 0; x < c.W; ++x) {
        const Byte* p = c.Px(x, y);
        const std::array<int, 4> got{p[0], p[1], p[2], p[3]};
        const std::array<int, 4> want =
            inside(x, y) ? std::array<int, 4>{0x56, 0x34, 0x12, 0} : std::array<int, 4>{0xAA, 0xBB, 0xCC, 0x77};
        ASSERT_EQ(got, want) << x << "," << y;
      }
  }
}

// Frames and filled rectangles are cut to the clip piece by piece when it is one rectangle, and
// through the region otherwise: every frame size, clipped or not, in either row order, paints
// exactly its edge pixels inside the clip.
TEST(GdiRules, FramesAndFillsPaintExactlyTheirPixelsInsideTheClip) {
  struct Clip {
    const char* name;
    std::vector<TRect> rects;  // none: no clip
  };
  const Clip clips[] = {
      {"no clip", {}},
      {"one rectangle across the frames", {TRect{3, 2, 12, 9}}},
      {"two rectangles", {TRect{0, 0, 5, 4}, TRect{8, 5, 20, 12}}},
  };
  const TRect frames[] = {{2, 1, 3, 2}, {2, 1, 4, 6}, {4, 3, 7, 6}, {1, 1, 15, 10}, {6, 6, 8, 8}};
  for (bool bottomUp : {false, true})
    for (const Clip& clip : clips)
      for (bool fill : {false, true})
        for (const TRect& f : frames) {
          SCOPED_TRACE(std::string(bottomUp ? "bottom-up, " : "top-down, ") + clip.name + (fill ? ", fill " : ", frame ") +
                       std::to_string(f.Left) + "," + std::to_string(f.Top) + "-" + std::to_string(f.Right) + "," +
                       std::to_string(f.Bottom));
          DibCanvas c(20, 12, bottomUp);
          c.Fill(0xAA, 0xBB, 0xCC, 0x77);
          if (!clip.rects.empty()) {
            HRGN rgn = CreateRectRgn(0, 0, 0, 0);
            for (const TRect& r : clip.rects) {
              HRGN part = CreateRectRgnIndirect(&r);
              CombineRgn(rgn, rgn, part, RGN_OR);
              DeleteObject(part);
            }
            SelectClipRgn(c.Dc, rgn);
            DeleteObject(rgn);
          }
          Brush colour(RGB(0x12, 0x34, 0x56));
          if (fill)
            FillRect(c.Dc, &f, colour.H);
          else
            FrameRect(c.Dc, &f, colour.H);
          for (int y = 0; y < c.H; ++y)
            for (int x = 0; x < c.W; ++x) {
              const bool inRect = x >= f.Left && x < f.Right && y >= f.Top && y < f.Bottom;
              const bool onEdge = x == f.Left || x == f.Right - 1 || y == f.Top || y == f.Bottom - 1;
              bool inClip = clip.rects.empty();
              for (const TRect& r : clip.rects) inClip = inClip || (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom);
              const bool painted = inRect && (fill || onEdge) && inClip;
              const Byte* p = c.Px(x, y);
              const std::array<int, 4> got{p[0], p[1], p[2], p[3]};
              const std::array<int, 4> want =
                  painted ? std::array<int, 4>{0x56, 0x34, 0x12, 0} : std::array<int, 4>{0xAA, 0xBB, 0xCC, 0x77};
              ASSERT_EQ(got, want) << x << "," << y;
            }
        }
}

TEST(GdiRules, LineToLeavesOutItsEndPixel) {
  struct Case {
    TPoint from, to;
    std::vector<std::string> rows;
  } cases[] = {
      {{1, 1}, {5, 1}, {"......", ".####.", "......", "......", "......", "......"}},
      {{5, 1}, {1, 1}, {"......", "..####", "......", "......", "......", "......"}},
      {{0, 0}, {3, 3}, {"#.....", ".#....", "..#...", "......", "......", "......"}},
      {{2, 0}, {2, 4}, {"..#...", "..#...", "..#...", "..#...", "......", "......"}},
      {{2, 2}, {2, 2}, {"......", "......", "......", "......", "......", "......"}},
  };
  for (const auto& k : cases) {
    DibCanvas c(6, 6);
    c.Clear(kWhite);
    MoveToEx(c.Dc, k.from.X, k.from.Y, nullptr);
    LineTo(c.Dc, k.to.X, k.to.Y);
    for (int y = 0; y < 6; ++y)
      EXPECT_EQ(c.Row(y, kBlack), k.rows[y]) << "line " << k.from.X << "," << k.from.Y << " to " << k.to.X
                                             << "," << k.to.Y << " row " << y;
    TPoint pos;
    MoveToEx(c.Dc, 0, 0, &pos);
    EXPECT_EQ(pos, k.to);
  }
}

TEST(GdiRules, ClipRegionIsInDeviceCoordinatesClipRectsInLogicalOnesAndSaveDCKeepsThem) {
  Brush red(kRed);
  {
    // The region is device-relative: the viewport origin does not move it.
    DibCanvas c(10, 4);
    c.Clear(kWhite);
    SetViewportOrgEx(c.Dc, 4, 0, nullptr);
    HRGN rgn = CreateRectRgn(0, 0, 3, 4);
    SelectClipRgn(c.Dc, rgn);
    DeleteObject(rgn);
    TRect all{-4, 0, 6, 4};
    FillRect(c.Dc, &all, red.H);
    EXPECT_EQ(c.Row(0, kRed), "###.......");
  }
  {
    // IntersectClipRect goes through the origins: logical (5,0)-(7,4) with window origin 3
    // is device (2,0)-(4,4).
    DibCanvas c(10, 4);
    c.Clear(kWhite);
    SetWindowOrgEx(c.Dc, 3, 0, nullptr);
    IntersectClipRect(c.Dc, 5, 0, 7, 4);
    TRect all{0, 0, 20, 4};
    FillRect(c.Dc, &all, red.H);
    EXPECT_EQ(c.Row(0, kRed), "..##......");
    TRect box;
    GetClipBox(c.Dc, &box);
    EXPECT_EQ(box, (TRect{5, 0, 7, 4}));
  }
  {
    // ExcludeClipRect, then the clip removed again.
    DibCanvas c(10, 2);
    c.Clear(kWhite);
    SetViewportOrgEx(c.Dc, 1, 0, nullptr);
    ExcludeClipRect(c.Dc, 2, 0, 4, 2);
    TRect all{-1, 0, 9, 2};
    FillRect(c.Dc, &all, red.H);
    EXPECT_EQ(c.Row(0, kRed), "###..#####");
    SelectClipRgn(c.Dc, nullptr);
    FillRect(c.Dc, &all, red.H);
    EXPECT_EQ(c.Row(0, kRed), "##########");
  }
  {
    // SaveDC and RestoreDC bring back the origins and the clip.
    DibCanvas c(6, 1);
    c.Clear(kWhite);
    int saved = SaveDC(c.Dc);
    SetViewportOrgEx(c.Dc, 3, 0, nullptr);
    IntersectClipRect(c.Dc, 0, 0, 1, 1);
    RestoreDC(c.Dc, saved);
    TRect r{0, 0, 2, 1};
    FillRect(c.Dc, &r, red.H);
    EXPECT_EQ(c.Row(0, kRed), "##....");
  }
}

TEST(GdiRules, FocusRectIsADottedXorFrameThatUndoesItself) {
  DibCanvas c(8, 6);
  c.Clear(RGB(77, 40, 30), 9);  // alpha bytes must survive too
  std::vector<Byte> before(c.Bits, c.Bits + 8 * 6 * 4);
  TRect r{1, 1, 7, 5};
  DrawFocusRect(c.Dc, &r);
  // Every other pixel of the frame is inverted, starting with the top-left corner; the inside and
  // the outside are untouched.
  const COLORREF inverted = RGB(255 - 77, 255 - 40, 255 - 30);
  const char* rows[] = {"........", ".#.#.#..", "......#.", ".#......", "..#.#.#.", "........"};
  for (int y = 0; y < 6; ++y) {
    std::string row;
    for (int x = 0; x < 8; ++x) row += c.Rgb(x, y) == inverted ? '#' : c.Rgb(x, y) == RGB(77, 40, 30) ? '.' : '?';
    EXPECT_EQ(row, rows[y]) << y;
  }
  DrawFocusRect(c.Dc, &r);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), c.Bits));
}

TEST(GdiRules, TextIsPlacedFromTheCellTopWithOpaqueOrTransparentBackground) {
  FixedFontScope font;
  for (int mode : {OPAQUE, TRANSPARENT}) {
    DibCanvas c(20, 18);
    c.Clear(kWhite);
    SetBkMode(c.Dc, mode);
    SetBkColor(c.Dc, kRed);
    SetTextColor(c.Dc, kBlack);
    TextOutW(c.Dc, 2, 1, u"A", 1);
    // The cell is (2,1)-(10,17); the fixed glyph is the box (3,4)-(9,14): one pixel in from each
    // side, from below the internal leading (3) down to the baseline (ascent 13).
    const COLORREF bg = mode == OPAQUE ? kRed : kWhite;
    EXPECT_EQ(c.Rgb(2, 1), bg);
    EXPECT_EQ(c.Rgb(9, 16), bg);
    EXPECT_EQ(c.Rgb(10, 1), kWhite);
    EXPECT_EQ(c.Rgb(2, 17), kWhite);
    EXPECT_EQ(c.Rgb(3, 3), bg);
    EXPECT_EQ(c.Rgb(3, 4), kBlack);
    EXPECT_EQ(c.Rgb(8, 13), kBlack);
    EXPECT_EQ(c.Rgb(9, 13), bg);
    EXPECT_EQ(c.Rgb(8, 14), bg);
  }
}

TEST(GdiRules, PrimitivesZeroTheAlphaByteAndBlitsCopyIt) {
  DibCanvas src(4, 1), dst(4, 1);
  src.Clear(RGB(10, 20, 30), 200);
  dst.Clear(kWhite, 255);
  Brush red(kRed);
  TRect r{0, 0, 1, 1};
  FillRect(src.Dc, &r, red.H);
  EXPECT_EQ(src.Alpha(0, 0), 0);
  EXPECT_EQ(src.Alpha(1, 0), 200);
  BitBlt(dst.Dc, 0, 0, 3, 1, src.Dc, 0, 0, SRCCOPY);
  EXPECT_EQ(dst.Rgb(0, 0), kRed);
  EXPECT_EQ(dst.Alpha(0, 0), 0);
  EXPECT_EQ(dst.Rgb(1, 0), RGB(10, 20, 30));
  EXPECT_EQ(dst.Alpha(1, 0), 200);
}

TEST(GdiRules, SurfaceDCForAClientAreaStaysInsideItsBounds) {
  TSurface s;
  s.SetSize(10, 10);
  // A client area at (2,2)-(8,8) of the window surface.
  HDC dc = CreateSurfaceDC(s, TPoint{2, 2}, TRect{2, 2, 8, 8});
  Brush red(kRed);
  TRect r{-5, -5, 20, 1};
  FillRect(dc, &r, red.H);
  EXPECT_EQ(s.PixelRGB(1, 2), kWhite);
  EXPECT_EQ(s.PixelRGB(2, 2), 0xFF0000u);
  EXPECT_EQ(s.PixelRGB(7, 2), 0xFF0000u);
  EXPECT_EQ(s.PixelRGB(8, 2), kWhite);
  EXPECT_EQ(s.TakeDirtyRect(), (TRect{0, 0, 10, 10}));  // the resize itself
  // The update region narrows it; SelectClipRgn(nil) goes back to that, not beyond.
  HRGN upd = CreateRectRgn(0, 0, 2, 6);
  SetDCSystemRegion(dc, upd);
  DeleteObject(upd);
  Brush black(kBlack);
  SelectClipRgn(dc, nullptr);
  TRect all{0, 0, 6, 6};
  FillRect(dc, &all, black.H);
  EXPECT_EQ(s.PixelRGB(3, 5), 0u);
  EXPECT_EQ(s.PixelRGB(4, 5), kWhite);
  EXPECT_EQ(s.TakeDirtyRect(), (TRect{2, 2, 4, 8}));
  DeleteDC(dc);
}

TEST(GdiRules, AWindowSizedBlitLandsEveryPixelWhateverItsAlignment) {
  // A blit of a whole window's back buffer takes another road than a small one; its rows start
  // wherever the target rectangle does.
  TSurface s;
  s.SetSize(700, 500);
  HDC dc = CreateSurfaceDC(s);
  DibCanvas src(650, 450);
  auto colour = [](int x, int y) { return RGB(x % 251, y % 241, (x + y) % 239); };
  for (int y = 0; y < src.H; ++y)
    for (int x = 0; x < src.W; ++x) {
      Byte* p = src.Px(x, y);
      const COLORREF c = colour(x, y);
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
      p[3] = 0;
    }
  for (int left : {0, 3}) {
    ASSERT_TRUE(BitBlt(dc, left, 1, src.W, src.H, src.Dc, 0, 0, SRCCOPY));
    int wrong = 0;
    for (int y = 0; y < src.H; ++y)
      for (int x = 0; x < src.W; ++x) {
        const COLORREF c = colour(x, y);
        wrong += s.PixelRGB(left + x, 1 + y) != (uint32_t{GetRValue(c)} << 16 | uint32_t{GetGValue(c)} << 8 | GetBValue(c));
      }
    EXPECT_EQ(wrong, 0) << "at " << left;
  }
  EXPECT_EQ(s.PixelRGB(653, 1), kWhite);
  EXPECT_EQ(s.PixelRGB(100, 0), kWhite);
  DeleteDC(dc);
}

TEST(GdiRules, AlphaBlendWithConstantAndPerPixelAlpha) {
  DibCanvas src(2, 1), dst(2, 1);
  // Premultiplied source: half-transparent red (128,0,0,128) and transparent.
  Byte* p = src.Bits;
  p[0] = 0; p[1] = 0; p[2] = 128; p[3] = 128;
  p[4] = 0; p[5] = 0; p[6] = 0; p[7] = 0;
  dst.Clear(RGB(0, 0, 200), 255);
  BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ASSERT_TRUE(AlphaBlend(dst.Dc, 0, 0, 2, 1, src.Dc, 0, 0, 2, 1, bf));
  // red: 128 + 0 * 127/255 = 128; blue: 0 + 200 * 127 / 255 = 99.6 -> 100; alpha: 128 + 255*127/255
  EXPECT_EQ(dst.Rgb(0, 0), RGB(128, 0, 100));
  EXPECT_EQ(dst.Alpha(0, 0), 255);
  EXPECT_EQ(dst.Rgb(1, 0), RGB(0, 0, 200));
  // Constant alpha 200 over per-pixel: source scaled by 200/255 first.
  dst.Clear(RGB(0, 0, 200), 255);
  bf.SourceConstantAlpha = 200;
  AlphaBlend(dst.Dc, 0, 0, 1, 1, src.Dc, 0, 0, 1, 1, bf);
  // sa = 128*200/255 = 100.4 -> 100; red = 128*200/255 -> 100; blue = 200*155/255 = 121.6 -> 122
  EXPECT_EQ(dst.Rgb(0, 0), RGB(100, 0, 122));
  // A source rectangle outside the source bitmap is refused.
  EXPECT_FALSE(AlphaBlend(dst.Dc, 0, 0, 1, 1, src.Dc, 1, 0, 2, 1, bf));
}

TEST(GdiRules, ShapesCutByTheTargetEdgeKeepTheirPixelsAndHugeOnesFillWhatShows) {
  Brush red(kRed);
  using Shape = std::function<void(HDC, int dx)>;
  const std::pair<const char*, Shape> shapes[] = {
      {"ellipse", [](HDC dc, int dx) { Ellipse(dc, 2 + dx, 1, 10 + dx, 7); }},
      {"round rect", [](HDC dc, int dx) { RoundRect(dc, 2 + dx, 1, 10 + dx, 7, 4, 4); }},
      {"polygon", [](HDC dc, int dx) {
         const TPoint pts[3] = {{2 + dx, 1}, {9 + dx, 3}, {3 + dx, 6}};
         Polygon(dc, pts, 3);
       }},
  };
  for (const auto& [name, draw] : shapes) {
    SCOPED_TRACE(name);
    // The same shape whole on a wide target and cut by a narrow one's left edge, five pixels over.
    DibCanvas whole(12, 8), cut(5, 8);
    for (DibCanvas* c : {&whole, &cut}) {
      c->Clear(kWhite);
      SelectObject(c->Dc, red.H);
    }
    draw(whole.Dc, 0);
    draw(cut.Dc, -5);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(cut.Rgb(x, y), whole.Rgb(x + 5, y)) << x << "," << y;
    SelectObject(whole.Dc, GetStockObject(WHITE_BRUSH));
    SelectObject(cut.Dc, GetStockObject(WHITE_BRUSH));
  }
  // A shape thousands of times the target's size: its inside covers every pixel, and painting it
  // costs no mask of its own size.
  DibCanvas c(4, 4);
  c.Clear(kWhite);
  SelectObject(c.Dc, red.H);
  EXPECT_TRUE(Ellipse(c.Dc, -100000, -100000, 100004, 100004));
  for (int y = 0; y < 4; ++y) EXPECT_EQ(c.Row(y, kRed), "####");
  SelectObject(c.Dc, GetStockObject(WHITE_BRUSH));
}

}  // namespace
