// Object lifetimes, regions and edges.

#include <gtest/gtest.h>

#include <atomic>
#include <utility>
#include <thread>

#include "platform/gdi/GdiTestUtil.h"
#include "platform/gdi/Graphics.h"
#include "platform/gdi/Surface.h"

namespace {

using namespace gditest;

TEST(GdiObjects, SelectedObjectsOutliveDeleteUntilLetGo) {
  DibCanvas c(2, 2);
  HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
  HGDIOBJ old = SelectObject(c.Dc, b);
  EXPECT_TRUE(DeleteObject(b));
  // Still selected: still there, and still what the DC paints with.
  EXPECT_EQ(GetObjectType(b), OBJ_BRUSH);
  EXPECT_TRUE(PatBlt(c.Dc, 0, 0, 1, 1, PATCOPY));
  EXPECT_EQ(c.Rgb(0, 0), RGB(1, 2, 3));
  SelectObject(c.Dc, old);
  EXPECT_EQ(GetObjectType(b), 0u);
  // A stale handle is refused, not followed.
  EXPECT_FALSE(DeleteObject(b));
  EXPECT_EQ(SelectObject(c.Dc, b), nullptr);
  // Stock objects never go.
  DeleteObject(GetStockObject(BLACK_BRUSH));
  EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), OBJ_BRUSH);

  // A DC draws on the bitmap and with the font it holds, deleted or not, until it lets them go.
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateCompatibleBitmap(nullptr, 4, 4);
  HGDIOBJ oldBmp = SelectObject(dc, bmp);
  LOGFONTW lf{};
  lf.lfHeight = -21;
  HFONT font = CreateFontIndirectW(&lf);
  HGDIOBJ oldFont = SelectObject(dc, font);
  EXPECT_TRUE(DeleteObject(bmp));
  EXPECT_TRUE(DeleteObject(font));
  HBRUSH red = CreateSolidBrush(RGB(200, 0, 0));
  const TRect all{0, 0, 4, 4};
  EXPECT_TRUE(FillRect(dc, &all, red));
  EXPECT_EQ(GetPixel(dc, 3, 3), RGB(200, 0, 0));
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(dc, &tm));
  TEXTMETRICW stock{};
  SelectObject(dc, oldFont);
  GetTextMetricsW(dc, &stock);
  EXPECT_NE(tm.tmHeight, stock.tmHeight) << "the deleted font still measured its own text";
  EXPECT_EQ(GetObjectType(font), 0u);
  SelectObject(dc, oldBmp);
  EXPECT_EQ(GetObjectType(bmp), 0u);
  DeleteObject(red);
  DeleteDC(dc);
}

// A thread remembers the handles it has just found alive; letting one go, here or on another
// thread, must be seen by the very next call.
TEST(GdiObjects, AHandleLetGoIsRefusedRightAfterItWasUsedHereOrOnAnotherThread) {
  // A memory DC and a window surface's DC (which owns no object of its own that would go with it).
  TSurface surface;
  surface.SetSize(4, 4);
  for (HDC dc : {CreateCompatibleDC(nullptr), CreateSurfaceDC(surface)}) {
    ASSERT_NE(SetBkColor(dc, RGB(1, 2, 3)), CLR_INVALID);
    EXPECT_EQ(GetBkColor(dc), RGB(1, 2, 3));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(GetBkColor(dc), CLR_INVALID);
    EXPECT_FALSE(DeleteDC(dc));
  }

  HBRUSH b = CreateSolidBrush(RGB(4, 5, 6));
  EXPECT_EQ(GetObjectType(b), OBJ_BRUSH);
  std::thread([b] { EXPECT_TRUE(DeleteObject(b)); }).join();
  EXPECT_EQ(GetObjectType(b), 0u);
  EXPECT_FALSE(DeleteObject(b));

  // And the other way round: what this thread lets go, another thread that used it refuses.
  HBRUSH c = CreateSolidBrush(RGB(7, 8, 9));
  std::atomic<int> step{0};
  DWORD before = 0, after = 0;
  std::thread other([&] {
    before = GetObjectType(c);
    step = 1;
    while (step.load() != 2) std::this_thread::yield();
    after = GetObjectType(c);
  });
  while (step.load() != 1) std::this_thread::yield();
  EXPECT_TRUE(DeleteObject(c));
  step = 2;
  other.join();
  EXPECT_EQ(before, static_cast<DWORD>(OBJ_BRUSH));
  EXPECT_EQ(after, 0u);
}

// Painters switch a canvas's brush, pen and font back and forth for every item: a switch back to a
// description the object had a moment ago takes the object made for it then, which has stayed
// alive and unchanged meanwhile; every object always describes what it is now; none outlives its
// brush, pen or font.
TEST(GdiObjects, ABrushPenOrFontSwitchedBackTakesItsEarlierObjectAndTakesAllAlongWhenFreed) {
  auto colourOf = [](HBRUSH h) {
    LOGBRUSH lb{};
    return GetObjectW(h, sizeof(lb), &lb) ? std::make_pair(lb.lbStyle, lb.lbColor) : std::make_pair(UINT(99), COLORREF(0));
  };
  TBrush* brush = TBrush::New();
  brush->SetColor(clRed);
  const HBRUSH red = brush->GetHandle();
  brush->SetStyle(TBrushStyle::bsClear);
  const HBRUSH clear = brush->GetHandle();
  brush->SetColor(clBlue);
  const HBRUSH blue = brush->GetHandle();
  EXPECT_NE(red, clear);
  EXPECT_NE(clear, blue);
  EXPECT_EQ(colourOf(red), std::make_pair(UINT(BS_SOLID), COLORREF(RGB(255, 0, 0))));
  EXPECT_EQ(colourOf(clear).first, UINT(BS_NULL));
  EXPECT_EQ(colourOf(blue), std::make_pair(UINT(BS_SOLID), COLORREF(RGB(0, 0, 255))));
  brush->SetColor(clRed);
  EXPECT_EQ(brush->GetHandle(), red);
  brush->SetStyle(TBrushStyle::bsClear);
  EXPECT_EQ(brush->GetHandle(), clear);
  // A copy of the same description keeps the object it has.
  Owned<TBrush> other(TBrush::New());
  other->SetColor(clRed);
  other->SetStyle(TBrushStyle::bsClear);
  brush->Assign(*other);
  EXPECT_EQ(brush->GetHandle(), clear);
  brush->Free();
  for (HBRUSH h : {red, clear, blue}) EXPECT_EQ(GetObjectType(h), 0u);

  TPen* pen = TPen::New();
  const HPEN thin = pen->GetHandle();
  pen->SetWidth(3);
  const HPEN thick = pen->GetHandle();
  pen->SetMode(TPenMode::pmXor);  // the mode is the canvas's business, not the object's
  EXPECT_EQ(pen->GetHandle(), thick);
  pen->SetWidth(1);
  EXPECT_EQ(pen->GetHandle(), thin);
  LOGPEN lp{};
  ASSERT_TRUE(GetObjectW(thick, sizeof(lp), &lp));
  EXPECT_EQ(lp.lopnWidth.X, 3);
  pen->Free();
  for (HPEN h : {thin, thick}) EXPECT_EQ(GetObjectType(h), 0u);

  TFont* font = TFont::New();
  const HFONT regular = font->GetHandle();
  font->SetStyle({TFontStyle::fsBold});
  const HFONT bold = font->GetHandle();
  font->SetColor(clRed);
  EXPECT_EQ(font->GetHandle(), bold);
  Owned<TFont> plain(TFont::New());
  font->Assign(*plain);
  EXPECT_EQ(font->GetHandle(), regular);
  LOGFONTW lf{};
  ASSERT_TRUE(GetObjectW(bold, sizeof(lf), &lf));
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  font->Free();
  for (HFONT h : {regular, bold}) EXPECT_EQ(GetObjectType(h), 0u);
}

TEST(GdiObjects, SavedStatesHoldTheirObjectsAndABitmapIsInOneDCAtATime) {
  DibCanvas c(2, 1);
  c.Clear(0xFFFFFF);
  HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  HGDIOBJ old = SelectObject(c.Dc, red);
  int saved = SaveDC(c.Dc);
  SelectObject(c.Dc, GetStockObject(BLACK_PEN));
  DeleteObject(red);
  EXPECT_EQ(GetObjectType(red), OBJ_PEN);
  RestoreDC(c.Dc, saved);
  EXPECT_EQ(GetCurrentObject(c.Dc, OBJ_PEN), red);
  MoveToEx(c.Dc, 0, 0, nullptr);
  LineTo(c.Dc, 2, 0);
  EXPECT_EQ(c.Rgb(1, 0), RGB(255, 0, 0));
  SelectObject(c.Dc, old);
  EXPECT_EQ(GetObjectType(red), 0u);
  EXPECT_FALSE(RestoreDC(c.Dc, 1));  // nothing saved any more

  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(other, c.Bmp), nullptr);
  DeleteDC(other);
  // Deleting a DC lets its bitmap go; deleting the bitmap then frees it.
  HBITMAP b = CreateCompatibleBitmap(nullptr, 3, 3);
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, b);
  DeleteDC(dc);
  EXPECT_EQ(GetObjectType(b), OBJ_BITMAP);
  EXPECT_TRUE(DeleteObject(b));
  EXPECT_EQ(GetObjectType(b), 0u);
}

TEST(Regions, CombineOffsetAndTest) {
  HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 5, 15, 15), d = CreateRectRgn(0, 0, 0, 0);
  struct Case {
    int mode, kind;
    TRect box;
    TPoint inside, outside;
  } cases[] = {
      {RGN_AND, SIMPLEREGION, {5, 5, 10, 10}, {5, 5}, {4, 5}},
      {RGN_OR, COMPLEXREGION, {0, 0, 15, 15}, {14, 14}, {14, 0}},
      {RGN_DIFF, COMPLEXREGION, {0, 0, 10, 10}, {0, 9}, {9, 9}},
      {RGN_XOR, COMPLEXREGION, {0, 0, 15, 15}, {12, 12}, {7, 7}},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(CombineRgn(d, a, b, k.mode), k.kind) << k.mode;
    TRect box;
    GetRgnBox(d, &box);
    EXPECT_EQ(box, k.box) << k.mode;
    EXPECT_TRUE(PtInRegion(d, k.inside.X, k.inside.Y)) << k.mode;
    EXPECT_FALSE(PtInRegion(d, k.outside.X, k.outside.Y)) << k.mode;
  }
  EXPECT_EQ(OffsetRgn(a, 3, -2), SIMPLEREGION);
  TRect r{12, 7, 20, 20}, box;
  EXPECT_TRUE(RectInRegion(a, &r));
  SetRectRgn(a, 0, 0, 0, 0);
  EXPECT_EQ(GetRgnBox(a, &box), NULLREGION);
  DeleteObject(a);
  DeleteObject(b);
  DeleteObject(d);
}

TEST(Regions, FillAndFrameGoThroughTheOrigins) {
  DibCanvas c(6, 6);
  c.Clear(0xFFFFFF);
  HRGN rgn = CreateRectRgn(0, 0, 4, 4);
  HBRUSH black = CreateSolidBrush(0);
  SetViewportOrgEx(c.Dc, 1, 1, nullptr);
  FrameRgn(c.Dc, rgn, black, 1, 1);
  EXPECT_EQ(c.Row(2, 0), ".#..#.");
  FillRgn(c.Dc, rgn, black);
  EXPECT_EQ(c.Row(2, 0), ".####.");
  EXPECT_EQ(c.Row(5, 0), "......");
  DeleteObject(rgn);
  DeleteObject(black);
}

TEST(Edges, SunkenAndRaisedFramesInTheSystemColours) {
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), highlight = GetSysColor(COLOR_BTNHIGHLIGHT),
                 dark = GetSysColor(COLOR_3DDKSHADOW), light = GetSysColor(COLOR_3DLIGHT),
                 face = GetSysColor(COLOR_BTNFACE);
  struct Case {
    UINT edge;
    COLORREF outerTL, outerBR, innerTL, innerBR;
  } cases[] = {
      {EDGE_SUNKEN, shadow, highlight, dark, light},
      {EDGE_RAISED, light, dark, highlight, shadow},
      {EDGE_ETCHED, shadow, highlight, highlight, shadow},
  };
  for (const auto& k : cases) {
    DibCanvas c(6, 6);
    c.Clear(RGB(1, 1, 1));
    TRect r{0, 0, 6, 6};
    DrawEdge(c.Dc, &r, k.edge, BF_RECT | BF_MIDDLE | BF_ADJUST);
    EXPECT_EQ(c.Rgb(0, 0), k.outerTL);
    EXPECT_EQ(c.Rgb(5, 5), k.outerBR);
    EXPECT_EQ(c.Rgb(5, 0), k.outerBR);  // the right side is drawn over the top's end
    EXPECT_EQ(c.Rgb(0, 5), k.outerBR);
    EXPECT_EQ(c.Rgb(1, 1), k.innerTL);
    EXPECT_EQ(c.Rgb(4, 4), k.innerBR);
    EXPECT_EQ(c.Rgb(2, 2), face);
    EXPECT_EQ(r, (TRect{2, 2, 4, 4}));
  }
  // Only the sides asked for.
  DibCanvas c(4, 4);
  c.Clear(RGB(1, 1, 1));
  TRect r{0, 0, 4, 4};
  DrawEdge(c.Dc, &r, BDR_SUNKENOUTER, BF_TOP);
  EXPECT_EQ(c.Rgb(1, 0), shadow);
  EXPECT_EQ(c.Rgb(0, 1), RGB(1, 1, 1));
  EXPECT_EQ(c.Rgb(1, 3), RGB(1, 1, 1));
}

TEST(GdiObjects, CopyImageGivesAnIndependentBitmap) {
  DibCanvas c(2, 1);
  c.Clear(RGB(10, 20, 30), 77);
  HGDIOBJ copy = CopyImage(c.Bmp, IMAGE_BITMAP, 0, 0, LR_COPYRETURNORG | LR_CREATEDIBSECTION);
  DIBSECTION ds{};
  ASSERT_EQ(GetObjectW(copy, sizeof(ds), &ds), static_cast<int>(sizeof(ds)));
  const Byte* p = static_cast<const Byte*>(ds.dsBm.bmBits);
  c.Clear(0, 0);
  EXPECT_EQ(p[0], 30);
  EXPECT_EQ(p[3], 77);  // the alpha byte travels with the copy
  EXPECT_TRUE(DeleteObject(copy));
  EXPECT_EQ(CopyImage(c.Bmp, 1, 0, 0, 0), nullptr);  // icons are not bitmaps
}

TEST(Blits, StretchWithNegativeExtentsMirrors) {
  DibCanvas src(3, 1), dst(3, 1);
  const COLORREF px[3] = {RGB(10, 0, 0), RGB(20, 0, 0), RGB(30, 0, 0)};
  for (int x = 0; x < 3; ++x) SetPixel(src.Dc, x, 0, px[x]);
  // Destination from x = 3 leftwards: the picture is flipped.
  StretchBlt(dst.Dc, 3, 0, -3, 1, src.Dc, 0, 0, 3, 1, SRCCOPY);
  EXPECT_EQ(dst.Rgb(0, 0), px[2]);
  EXPECT_EQ(dst.Rgb(2, 0), px[0]);
  // A blit onto its own DC with overlap reads the source first.
  BitBlt(src.Dc, 1, 0, 2, 1, src.Dc, 0, 0, SRCCOPY);
  EXPECT_EQ(src.Rgb(1, 0), px[0]);
  EXPECT_EQ(src.Rgb(2, 0), px[1]);
}

}  // namespace
