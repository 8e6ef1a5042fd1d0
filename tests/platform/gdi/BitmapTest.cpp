// Bitmaps, canvases and the blits between them.

#include <QFont>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Gdi_p.h"
#include "platform/gdi/GdiTestUtil.h"
#include "platform/gdi/Surface.h"

namespace {

using namespace gditest;

TEST(Bitmap, ScanLinesAreBottomUpDibRowsAndResizingKeepsPixels) {
  Owned<TBitmap> b(TBitmap::New());
  b->SetPixelFormat(TPixelFormat::pf32bit);
  b->SetSize(3, 2);
  DIBSECTION ds{};
  ASSERT_EQ(GetObjectW(b->GetHandle(), sizeof(ds), &ds), static_cast<int>(sizeof(ds)));
  EXPECT_EQ(ds.dsBmih.biHeight, 2);  // bottom-up
  // Row 0 lies last in memory.
  EXPECT_EQ(b->ScanLine(0), static_cast<Byte*>(ds.dsBm.bmBits) + 12);
  b->GetCanvas()->GetBrush()->SetColor(clRed);
  b->GetCanvas()->FillRect(TRect{0, 0, 1, 1});
  EXPECT_EQ(b->ScanLine(0)[2], 255);
  EXPECT_EQ(b->ScanLine(0)[3], 0);  // GDI's fill leaves alpha 0
  b->SetSize(5, 4);
  EXPECT_EQ(b->ScanLine(0)[2], 255);
  EXPECT_EQ(b->ScanLine(4), nullptr);
  // The canvas works after the resize (its DC was remade on the new bitmap).
  b->GetCanvas()->FillRect(TRect{4, 3, 5, 4});
  EXPECT_EQ(b->ScanLine(3)[4 * 4 + 2], 255);
}

TEST(Bitmap, ABitmapMadeAfterALargeOneWasFreedStartsBlack) {
  // Freed pixels are handed to the next bitmap of about their size; none of them may show.
  struct Case {
    int W, H;
  } cases[] = {{640, 480}, {640, 479}, {400, 400}, {1024, 768}};
  for (const Case& k : cases) {
    {
      DibCanvas before(640, 480);
      before.Fill(0x5A, 0x8C, 0xC8, 0xFF);
    }
    DibCanvas after(k.W, k.H);
    int dirty = 0;
    for (int y = 0; y < k.H; ++y)
      for (int x = 0; x < k.W; ++x) dirty += after.Rgb(x, y) != 0 || after.Alpha(x, y) != 0;
    EXPECT_EQ(dirty, 0) << k.W << "x" << k.H;
  }
}

TEST(Bitmap, TwentyFourBitRowsArePaddedAndSavedBmpLoadsBackUnchanged) {
  Owned<TBitmap> b(TBitmap::New());
  b->SetPixelFormat(TPixelFormat::pf24bit);
  b->SetSize(5, 3);  // 15 bytes of pixels, 16 per row
  EXPECT_EQ(b->ScanLine(0) - b->ScanLine(1), 16);
  auto colour = [](int x, int y) { return static_cast<TColor>(RGB(x * 40, y * 70, 9)); };
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) b->GetCanvas()->SetPixel(x, y, colour(x, y));
  EXPECT_EQ(b->ScanLine(1)[3 * 3], 9);  // blue first
  EXPECT_EQ(b->ScanLine(1)[3 * 3 + 2], 120);
  Owned<TMemoryStream> m(TMemoryStream::New());
  b->SaveToStream(*m);
  EXPECT_EQ(m->GetSize(), 54 + 16 * 3);
  m->SetPosition(0);
  Owned<TBitmap> c(TBitmap::New());
  c->LoadFromStream(*m);
  ASSERT_EQ(c->GetWidth(), 5);
  ASSERT_EQ(c->GetHeight(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(c->GetCanvas()->GetPixel(x, y), colour(x, y));
}

TEST(Bitmap, SizesWhoseRowsWouldNotFitAreRefused) {
  // Widths whose row bytes wrap around a 32-bit integer once made a buffer far smaller than the
  // bitmap's width, and every pixel write past the first row went outside it.
  struct Case {
    LONG Width, Height;
    WORD Bpp;
  };
  for (const Case& c : {Case{536870913, 1, 32}, Case{715827883, 1, 24}, Case{1, 0x7FFFFFFF, 32}}) {
    SCOPED_TRACE(c.Width);
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = c.Width;
    bi.bmiHeader.biHeight = c.Height;
    bi.bmiHeader.biBitCount = c.Bpp;
    void* bits = &bi;
    EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
  }
  Owned<TBitmap> b(TBitmap::New());
  EXPECT_THROW(b->SetSize(536870913, 1), EOutOfMemory);
  EXPECT_EQ(b->GetWidth(), 0);

  // A caller's DIB header with such a width is refused, not read past the caller's bytes.
  const Byte pixel[4] = {1, 2, 3, 0};
  BITMAPINFO wide{};
  wide.bmiHeader.biWidth = 536870913;
  wide.bmiHeader.biHeight = 1;
  wide.bmiHeader.biBitCount = 32;
  DibCanvas dst(1, 1);
  EXPECT_EQ(SetDIBitsToDevice(dst.Dc, 0, 0, 1, 1, 536870912, 0, 0, 1, pixel, &wide, DIB_RGB_COLORS), 0);
  EXPECT_EQ(StretchDIBits(dst.Dc, 0, 0, 1, 1, 536870912, 0, 1, 1, pixel, &wide, DIB_RGB_COLORS, SRCCOPY), 0);
}

TEST(Bitmap, GetDIBitsPastTheLastScanCopiesNothing) {
  DibCanvas src(2, 2);
  src.Clear(RGB(9, 9, 9));
  BITMAPINFO bi{};
  bi.bmiHeader.biWidth = 2;
  bi.bmiHeader.biHeight = -2;
  bi.bmiHeader.biBitCount = 32;
  Byte out[8]{};
  // Starts that once wrapped to negative rows and read before the bitmap's pixels.
  for (UINT start : {2u, 0x80000000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(start);
    EXPECT_EQ(GetDIBits(src.Dc, src.Bmp, start, 1, out, &bi, DIB_RGB_COLORS), 0);
  }
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(GetDIBits(src.Dc, src.Bmp, 1, 5, out, &bi, DIB_RGB_COLORS), 1);
  EXPECT_EQ(out[0], 9);
}

TEST(Blit, HalftoneAveragesAndColorOnColorPicks) {
  DibCanvas src(4, 1), dst(2, 1);
  // 0, 100, 200, 255 in every channel.
  const Byte v[4] = {0, 100, 200, 255};
  for (int x = 0; x < 4; ++x) std::fill(src.Bits + x * 4, src.Bits + x * 4 + 3, v[x]);
  SetStretchBltMode(dst.Dc, HALFTONE);
  StretchBlt(dst.Dc, 0, 0, 2, 1, src.Dc, 0, 0, 4, 1, SRCCOPY);
  EXPECT_EQ(dst.Rgb(0, 0), RGB(50, 50, 50));
  EXPECT_EQ(dst.Rgb(1, 0), RGB(228, 228, 228));  // (200 + 255) / 2 = 227.5, to the nearest
  SetStretchBltMode(dst.Dc, COLORONCOLOR);
  StretchBlt(dst.Dc, 0, 0, 2, 1, src.Dc, 0, 0, 4, 1, SRCCOPY);
  EXPECT_EQ(dst.Rgb(0, 0), RGB(100, 100, 100));
  EXPECT_EQ(dst.Rgb(1, 0), RGB(255, 255, 255));
}

TEST(Blit, DibRowsComeInTheOrderTheirHeightSays) {
  // Two rows of one 24-bit pixel, padded to 4 bytes: first in memory red, then blue.
  const Byte bits[8] = {0, 0, 255, 0, 255, 0, 0, 0};
  for (bool bottomUp : {true, false}) {
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = 1;
    bi.bmiHeader.biHeight = bottomUp ? 2 : -2;
    bi.bmiHeader.biBitCount = 24;
    DibCanvas a(1, 2), b(1, 2);
    EXPECT_EQ(SetDIBitsToDevice(a.Dc, 0, 0, 1, 2, 0, 0, 0, 2, bits, &bi, DIB_RGB_COLORS), 2);
    EXPECT_EQ(StretchDIBits(b.Dc, 0, 0, 1, 2, 0, 0, 1, 2, bits, &bi, DIB_RGB_COLORS, SRCCOPY), 2);
    // A bottom-up DIB's first row in memory is the bottom row.
    COLORREF top = bottomUp ? RGB(0, 0, 255) : RGB(255, 0, 0);
    EXPECT_EQ(a.Rgb(0, 0), top);
    EXPECT_EQ(b.Rgb(0, 0), top);
    EXPECT_NE(a.Rgb(0, 1), top);
  }
}

TEST(Blit, OversizedRectanglesCopyOnlyWhatLandsOnTheTarget) {
  // Sizes near the integer limit: the blits once copied the whole rectangle out first and failed
  // to allocate it, or wrapped its size to a negative one.
  const COLORREF red = RGB(255, 0, 0);
  for (DWORD rop : {SRCCOPY, SRCPAINT}) {
    SCOPED_TRACE(rop);
    DibCanvas src(4, 4), dst(4, 4);
    src.Clear(red);
    dst.Clear(0);
    EXPECT_TRUE(BitBlt(dst.Dc, 2, 1, 0x7FFFFFFF, 0x7FFFFFFF, src.Dc, 0, 0, rop));
    // What lands on the target: the source's top-left pixels, from (2, 1) on.
    EXPECT_EQ(dst.Row(0, red), "....");
    EXPECT_EQ(dst.Row(1, red), "..##");
    EXPECT_EQ(dst.Row(3, red), "..##");
  }

  // Scans of a top-down 2 x 2 DIB: blue, green / red, white.
  const Byte bits[16] = {255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 255, 255, 255, 0};
  BITMAPINFO bi{};
  bi.bmiHeader.biWidth = 2;
  bi.bmiHeader.biHeight = -2;
  bi.bmiHeader.biBitCount = 32;
  DibCanvas dst(4, 4);
  dst.Clear(RGB(7, 7, 7));
  EXPECT_EQ(SetDIBitsToDevice(dst.Dc, 1, 1, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0, 2, bits, &bi, DIB_RGB_COLORS), 2);
  EXPECT_EQ(dst.Rgb(1, 1), RGB(0, 0, 255));
  EXPECT_EQ(dst.Rgb(2, 1), RGB(0, 255, 0));
  EXPECT_EQ(dst.Rgb(1, 2), RGB(255, 0, 0));
  EXPECT_EQ(dst.Rgb(2, 2), RGB(255, 255, 255));
  // Outside the DIB's pixels the target keeps what it had.
  for (auto [x, y] : {std::pair{0, 0}, {3, 1}, {1, 3}, {3, 3}}) EXPECT_EQ(dst.Rgb(x, y), RGB(7, 7, 7));
}

TEST(Blit, StretchesFarLargerThanTheTargetPaintWhatShows) {
  // A 2 x 2 source stretched two million times over a 4 x 4 target whose middle is the stretch's
  // middle: each quarter of the target shows one source pixel. Such stretches once resampled the
  // whole rectangle first and could not allocate it.
  const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255), green = RGB(0, 255, 0), white = RGB(255, 255, 255);
  DibCanvas src(2, 2);
  SetPixel(src.Dc, 0, 0, red);
  SetPixel(src.Dc, 1, 0, blue);
  SetPixel(src.Dc, 0, 1, green);
  SetPixel(src.Dc, 1, 1, white);
  constexpr int kFar = 999998, kSize = 2000000;
  struct Case {
    const char* Name;
    std::function<BOOL(HDC)> Draw;
    COLORREF TopLeft, TopRight, BottomLeft, BottomRight;
  } cases[] = {
      {"stretch", [&](HDC d) { return StretchBlt(d, -kFar, -kFar, kSize, kSize, src.Dc, 0, 0, 2, 2, SRCCOPY); },
       red, blue, green, white},
      {"mirrored", [&](HDC d) { return StretchBlt(d, kFar + 4, kFar + 4, -kSize, -kSize, src.Dc, 0, 0, 2, 2, SRCCOPY); },
       white, green, blue, red},
      {"alpha blend",
       [&](HDC d) { return AlphaBlend(d, -kFar, -kFar, kSize, kSize, src.Dc, 0, 0, 2, 2, BLENDFUNCTION{}); },
       red, blue, green, white},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.Name);
    DibCanvas dst(4, 4);
    dst.Clear(0);
    EXPECT_TRUE(k.Draw(dst.Dc));
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x)
        EXPECT_EQ(dst.Rgb(x, y), y < 2 ? (x < 2 ? k.TopLeft : k.TopRight) : (x < 2 ? k.BottomLeft : k.BottomRight))
            << x << "," << y;
  }
}

TEST(Canvas, BrushDecidesTheTextBackgroundFontTheColourAndTheKeyColourStaysOut) {
  FixedFontScope font;
  DibCanvas c(10, 16);
  c.Clear(0xFFFFFF);
  Owned<TCanvas> canvas(TCanvas::New());
  canvas->SetHandle(c.Dc);
  canvas->GetBrush()->SetColor(clYellow);
  canvas->GetFont()->SetColor(clRed);
  canvas->TextOut(0, 0, u"a");
  EXPECT_EQ(c.Rgb(0, 0), RGB(255, 255, 0));
  EXPECT_EQ(c.Rgb(1, 3), RGB(255, 0, 0));
  c.Clear(0xFFFFFF);
  canvas->GetBrush()->SetStyle(TBrushStyle::bsClear);
  canvas->TextOut(0, 0, u"a");
  EXPECT_EQ(c.Rgb(0, 0), RGB(255, 255, 255));
  EXPECT_EQ(canvas->TextWidth(u"abc"), 24);
  // A transparent bitmap leaves its key colour, the bottom-left pixel's, out.
  Owned<TBitmap> glyph(TBitmap::New());
  glyph->SetSize(2, 2);
  glyph->GetCanvas()->GetBrush()->SetColor(clFuchsia);
  glyph->GetCanvas()->FillRect(TRect{0, 0, 2, 2});
  glyph->GetCanvas()->SetPixel(1, 0, clBlue);
  glyph->SetTransparent(true);
  canvas->Draw(1, 0, glyph.get());
  canvas->SetHandle(nullptr);
  EXPECT_EQ(c.Rgb(1, 0), RGB(255, 255, 255));
  EXPECT_EQ(c.Rgb(2, 0), RGB(0, 0, 255));
}

TEST(Fonts, SizeAndHeightFollowNinetySixDpi) {
  Owned<TFont> f(TFont::New());
  EXPECT_EQ(f->GetHeight(), -11);
  EXPECT_EQ(f->GetSize(), 8);
  f->SetSize(10);
  EXPECT_EQ(f->GetHeight(), -13);  // 10 * 96 / 72 = 13.33
  int changes = 0;
  f->OnChange = [&](TObject*) { ++changes; };
  f->SetStyle({TFontStyle::fsBold});
  f->SetStyle({TFontStyle::fsBold});
  EXPECT_EQ(changes, 1);
  LOGFONTW lf{};
  GetObjectW(f->GetHandle(), sizeof(lf), &lf);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_EQ(lf.lfHeight, -13);
}

// The coverage of `text` drawn black on white at (2, 2) with the toolkit's font, clipped to `clip`
// (the whole canvas when empty), one byte per pixel.
std::vector<Byte> Drawn(StringView text, TRect clip = {}) {
  DibCanvas c(200, 20);
  c.Clear(RGB(255, 255, 255));
  Owned<TFont> f(TFont::New());
  HGDIOBJ old = SelectObject(c.Dc, f->GetHandle());
  SetBkMode(c.Dc, TRANSPARENT);
  SetTextColor(c.Dc, RGB(0, 0, 0));
  const bool clipped = clip.Right > clip.Left;
  ExtTextOutW(c.Dc, 2, 2, clipped ? ETO_CLIPPED : 0, clipped ? &clip : nullptr, text.data(),
              static_cast<UINT>(text.size()), nullptr);
  SelectObject(c.Dc, old);
  std::vector<Byte> out;
  for (int y = 0; y < c.H; ++y)
    for (int x = 0; x < c.W; ++x) out.push_back(static_cast<Byte>(255 - GetRValue(c.Rgb(x, y))));
  return out;
}

TEST(Fonts, TextThroughTheToolkitDrawsTheSameEveryTimeAndClippedAsUnclipped) {
  // Drawn runs of text are kept; what is drawn from them must not depend on what was drawn before,
  // on how many other texts came between, nor on a clip that shows only part of the run.
  const StringView texts[] = {u"IMG_000123.JPG", u"IMG_000124.JPG", u"Отпуск 2024", u"HHHH mmmm"};
  std::vector<std::vector<Byte>> first;
  for (StringView t : texts) first.push_back(Drawn(t));
  EXPECT_NE(first[0], first[1]);
  for (size_t i = 0; i < first.size(); ++i) EXPECT_NE(first[i], Drawn(u"")) << i;
  // More texts than the kept runs can hold.
  for (int i = 0; i < 3000; ++i) {
    const std::string n = "caption " + std::to_string(i);
    Drawn(String(n.begin(), n.end()));
  }
  for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(Drawn(texts[i]), first[i]) << i;
  // Clipped on the right, on the left past the first characters, above and below, and on every
  // side at once.
  for (TRect clip : {TRect{0, 0, 40, 20}, TRect{30, 0, 200, 20}, TRect{0, 6, 200, 11}, TRect{25, 4, 60, 9}}) {
    const std::vector<Byte> part = Drawn(u"HHHH mmmm", clip);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 200; ++x) {
        const size_t i = static_cast<size_t>(y) * 200 + x;
        const bool inside = x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom;
        EXPECT_EQ(part[i], inside ? first[3][i] : 0) << x << "," << y << " clip from " << clip.Left;
      }
  }
}

TEST(Fonts, TheProgramsFaceAtElevenPixelsThroughTheToolkit) {
  // The program's own font source: sane metrics and additive extents.
  DibCanvas c(4, 4);
  Owned<TFont> f(TFont::New());
  HGDIOBJ old = SelectObject(c.Dc, f->GetHandle());
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(c.Dc, &tm));
  EXPECT_GE(tm.tmHeight, 12);
  EXPECT_LE(tm.tmHeight, 14);
  TSize ab{}, a{}, b{};
  GetTextExtentPoint32W(c.Dc, u"ab", 2, &ab);
  GetTextExtentPoint32W(c.Dc, u"a", 1, &a);
  GetTextExtentPoint32W(c.Dc, u"b", 1, &b);
  EXPECT_EQ(ab.cx, a.cx + b.cx);
  SelectObject(c.Dc, old);
}

TEST(Fonts, TheFormsFaceHasTahomasCellAtEightPoints) {
  // The forms were laid out for Tahoma 8 pt at 96 dpi: a cell of 13 pixels, 11 above the
  // baseline and 2 below, 2 of them internal leading.
  ASSERT_EQ(gdi::UiFamily(), QStringLiteral("Tahoma")) << "fonts-wine is in scripts/packages.txt";
  DibCanvas c(4, 4);
  Owned<TFont> f(TFont::New());
  EXPECT_EQ(f->GetName(), u"Tahoma");
  HGDIOBJ old = SelectObject(c.Dc, f->GetHandle());
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(c.Dc, &tm));
  EXPECT_EQ(tm.tmHeight, 13);
  EXPECT_EQ(tm.tmAscent, 11);
  EXPECT_EQ(tm.tmDescent, 2);
  EXPECT_EQ(tm.tmInternalLeading, 2);
  SelectObject(c.Dc, old);
}

}  // namespace

namespace {

using namespace gditest;

// Text drawn black on white in the program's face at 11 pixels, through TextOut or DrawText.
struct TInk {
  int Covered{0};           // pixels darker than half
  int Left{-1}, Right{-1};  // first inked column and one past the last
  int Width{0};             // the measured extent
  std::vector<Byte> Pixels;
};

TInk InkOf(LONG weight, BYTE italic, BYTE underline, BYTE strikeOut, bool drawText) {
  const StringView text = u"MMMM";
  DibCanvas c(120, 24);
  c.Clear(RGB(255, 255, 255));
  LOGFONTW lf{};
  lf.lfHeight = -11;
  lf.lfWeight = weight;
  lf.lfItalic = italic;
  lf.lfUnderline = underline;
  lf.lfStrikeOut = strikeOut;
  const StringView face = u"Tahoma";
  std::copy(face.begin(), face.end(), lf.lfFaceName);
  HFONT font = CreateFontIndirectW(&lf);
  HGDIOBJ old = SelectObject(c.Dc, font);
  SetBkMode(c.Dc, TRANSPARENT);
  SetTextColor(c.Dc, RGB(0, 0, 0));
  TInk ink;
  TSize ext{};
  GetTextExtentPoint32W(c.Dc, text.data(), static_cast<int>(text.size()), &ext);
  ink.Width = ext.cx;
  if (drawText) {
    TRect r{10, 4, 110, 20};
    DrawTextW(c.Dc, text.data(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_NOPREFIX);
  } else {
    TextOutW(c.Dc, 10, 4, text.data(), static_cast<int>(text.size()));
  }
  for (int y = 0; y < c.H; ++y)
    for (int x = 0; x < c.W; ++x) {
      const Byte v = c.Px(x, y)[1];
      ink.Pixels.push_back(v);
      if (v >= 128) continue;
      ++ink.Covered;
      if (ink.Left < 0 || x < ink.Left) ink.Left = x;
      ink.Right = std::max(ink.Right, x + 1);
    }
  SelectObject(c.Dc, old);
  DeleteObject(font);
  return ink;
}

// Text coverage mixes the text colour into each channel as (d (255 - cov) + c cov + 127) / 255,
// whatever the mask's width (four pixels at a time and the rest one by one) and wherever it starts;
// an uncovered pixel keeps its alpha, a covered one gets the target's: none in a bitmap, full on
// a window's surface. Every destination value, coverage and colour value goes through once.
TEST(Text, CoverageMixesEachChannelRoundedAndKeepsTheAlphaOfUncoveredPixels) {
  constexpr int W = 259, H = 256;
  TGlyphMask mask;
  mask.Width = 257;
  mask.Height = H;
  mask.Coverage.resize(static_cast<size_t>(mask.Width) * mask.Height);
  // Coverage grows along a row, one pixel of none in front; each row starts its ramp one place
  // later, so that every coverage meets every position within a group of four.
  for (int y = 0; y < mask.Height; ++y)
    for (int x = 0; x < mask.Width; ++x) mask.At(x, y) = static_cast<Byte>(x == 0 ? 0 : (x - 1 + y) % 256);
  auto mixed = [](int d, int col, int cov) { return (d * (255 - cov) + col * cov + 127) / 255; };
  DibCanvas bitmap(W, H);
  TSurface surface;
  surface.SetSize(W, H);
  HDC surfaceDc = CreateSurfaceDC(surface);
  struct Target {
    const char* name;
    HDC dc;
    std::function<Byte*(int, int)> px;
    int coveredAlpha;
  } targets[] = {{"bitmap", bitmap.Dc, [&](int x, int y) { return bitmap.Px(x, y); }, 0},
                 {"surface", surfaceDc, [&](int x, int y) { return surface.GetImpl().Pixels.At(x, y); }, 0xFF}};
  for (const Target& t : targets) {
    SCOPED_TRACE(t.name);
    for (int k = 0; k < 256; ++k) {
      const int cb = k, cg = 255 - k, cr = (k * 7) % 256;
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          Byte* p = t.px(x, y);
          p[0] = static_cast<Byte>(y);
          p[1] = static_cast<Byte>(255 - y);
          p[2] = static_cast<Byte>((y * 3) % 256);
          p[3] = 0x5A;
        }
      gdi::BlendMask(t.dc, mask, QPoint(1, 0), QRegion(0, 0, W, H), RGB(cr, cg, cb));
      for (int y = 0; y < H; ++y) {
        const int db = y, dg = 255 - y, dr = (y * 3) % 256;
        for (int x = 0; x < W; ++x) {
          const Byte* p = t.px(x, y);
          const int cov = x >= 1 && x <= mask.Width ? mask.At(x - 1, y) : 0;
          const bool ok = p[0] == mixed(db, cb, cov) && p[1] == mixed(dg, cg, cov) && p[2] == mixed(dr, cr, cov) &&
                          p[3] == (cov ? t.coveredAlpha : 0x5A);
          if (!ok) {
            ADD_FAILURE() << "colour " << k << ", pixel " << x << "," << y << " coverage " << cov << ": " << int(p[0])
                          << " " << int(p[1]) << " " << int(p[2]) << " alpha " << int(p[3]);
            DeleteDC(surfaceDc);
            return;
          }
        }
      }
    }
  }
  DeleteDC(surfaceDc);
}

// The coverage `text` gets drawn black on white through the layer in `lf`, its first cell's
// top-left corner at (8, 8) of a 400 x 48 canvas; the advances it measured come back in `advances`.
std::vector<Byte> LayerInk(const LOGFONTW& lf, StringView text, std::vector<int>& advances, TEXTMETRICW& tm) {
  DibCanvas c(400, 48);
  c.Clear(RGB(255, 255, 255));
  HFONT font = CreateFontIndirectW(&lf);
  HGDIOBJ old = SelectObject(c.Dc, font);
  SetBkMode(c.Dc, TRANSPARENT);
  SetTextColor(c.Dc, RGB(0, 0, 0));
  GetTextMetricsW(c.Dc, &tm);
  advances.clear();
  for (Char ch : text) {
    TSize ext{};
    GetTextExtentPoint32W(c.Dc, &ch, 1, &ext);
    advances.push_back(ext.cx);
  }
  TextOutW(c.Dc, 8, 8, text.data(), static_cast<int>(text.size()));
  SelectObject(c.Dc, old);
  DeleteObject(font);
  std::vector<Byte> out;
  for (int y = 0; y < c.H; ++y)
    for (int x = 0; x < c.W; ++x) out.push_back(static_cast<Byte>(255 - c.Px(x, y)[2]));
  return out;
}

// The same text as the toolkit draws it: the program's face, each character at the sum of the
// measured advances before it (spaces leave nothing), in bold drawn `strikes` times one pixel apart
// as FreeType emboldens a face without bold glyphs; like the layer's text, cut to the text's cell.
std::vector<Byte> ToolkitInk(const LOGFONTW& lf, StringView text, const std::vector<int>& advances,
                             const TEXTMETRICW& tm, int strikes) {
  QFont font(gdi::UiFamily());
  font.setStyleStrategy(QFont::PreferAntialias);
  font.setKerning(false);
  if (lf.lfWeight >= 600) font.setWeight(static_cast<QFont::Weight>(gdi::UiBoldWeight()));
  font.setItalic(lf.lfItalic != 0);
  font.setPixelSize(-lf.lfHeight);
  QImage img(400, 48, QImage::Format_Alpha8);
  img.fill(0);
  {
    QPainter p(&img);
    p.setFont(font);
    p.setPen(Qt::black);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    int pos = 8;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != u' ')
        for (int k = 0; k < strikes; ++k) p.drawText(QPointF(pos + k, 8 + tm.tmAscent), QString(QChar(text[i])));
      pos += advances[i];
    }
  }
  int width = 0;
  for (int a : advances) width += a;
  std::vector<Byte> out;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const bool inCell = x >= 8 && x < 8 + width && y >= 8 && y < 8 + tm.tmHeight;
      out.push_back(inCell ? img.constScanLine(y)[x] : 0);
    }
  return out;
}

// Characters are drawn once and their coverage laid wherever they appear: the text must come out
// exactly as the toolkit draws it character by character, where neighbours overlap (italics, a
// bold face's strikes, tight pairs) too, and the same the second time, from what was kept.
TEST(Fonts, TextComesOutAsTheToolkitDrawsItCharacterByCharacter) {
  ASSERT_EQ(gdi::UiFamily(), QStringLiteral("Tahoma"));
  const StringView texts[] = {u"IMG_000123.JPG", u"Отпуск 2024 «ёлка» — Ёж", u"ffiWAVAy/\\|TjfT",
                              u"ÅÉÎõüçß ¿¡ @#%&*()[]{}", u"mmmm,,,;;;'''\"\"", u"Yy Tt Vv Ww Ff j g q p"};
  struct Style {
    const char* name;
    LONG height, weight;
    BYTE italic;
    int strikes;  // bold: a 24th of the pixel size rounded, at least 1, more than the first
  } styles[] = {{"regular 11", -11, FW_NORMAL, 0, 1}, {"bold 11", -11, FW_BOLD, 0, 2},
                {"italic 11", -11, FW_NORMAL, 1, 1}, {"bold italic 11", -11, FW_BOLD, 1, 2},
                {"regular 16", -16, FW_NORMAL, 0, 1}, {"bold 36", -36, FW_BOLD, 0, 3},
                {"italic 24", -24, FW_NORMAL, 1, 1}};
  for (const Style& st : styles) {
    SCOPED_TRACE(st.name);
    LOGFONTW lf{};
    lf.lfHeight = st.height;
    lf.lfWeight = st.weight;
    lf.lfItalic = st.italic;
    const StringView face = u"Tahoma";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    for (StringView text : texts) {
      SCOPED_TRACE(std::string(text.begin(), text.end()));
      std::vector<int> advances;
      TEXTMETRICW tm{};
      const std::vector<Byte> drawn = LayerInk(lf, text, advances, tm);
      const std::vector<Byte> expected = ToolkitInk(lf, text, advances, tm, st.strikes);
      size_t differ = 0, first = 0;
      for (size_t i = 0; i < drawn.size(); ++i)
        if (drawn[i] != expected[i] && differ++ == 0) first = i;
      EXPECT_EQ(differ, 0u) << "first at " << first % 400 << "," << first / 400 << ": " << int(drawn[first])
                            << " against " << int(expected[first]);
      EXPECT_EQ(LayerInk(lf, text, advances, tm), drawn);
    }
  }
}

// Every style the font carries reaches the drawn glyphs, not only the measured ones. Tahoma's M
// advances 8 pixels at 11, 10 in bold; fonts-wine's bold file has the regular outlines, so a bold
// that is not synthesised draws thin strokes spread over the wider cells.
TEST(Fonts, EveryStyleOfTheFontReachesTheDrawnGlyphs) {
  ASSERT_EQ(gdi::UiFamily(), QStringLiteral("Tahoma"));
  for (bool drawText : {false, true}) {
    SCOPED_TRACE(drawText ? "DrawText" : "TextOut");
    const TInk regular = InkOf(FW_NORMAL, 0, 0, 0, drawText);
    ASSERT_EQ(regular.Width, 32);
    ASSERT_GT(regular.Covered, 0);
    EXPECT_EQ(regular.Left, 11);  // each M one pixel in from its cell
    struct Case {
      const char* name;
      LONG weight;
      BYTE italic, underline, strikeOut;
      int width;
      double heavier;  // covered pixels at least this many times the regular's
    };
    for (const Case& k : {Case{"bold", FW_BOLD, 0, 0, 0, 40, 1.4}, Case{"semibold", 600, 0, 0, 0, 40, 1.4},
                          Case{"bold italic", FW_BOLD, 1, 0, 0, 40, 1.3}, Case{"italic", FW_NORMAL, 1, 0, 0, 32, 0.8},
                          Case{"underline", FW_NORMAL, 0, 1, 0, 32, 1.2}, Case{"strike-out", FW_NORMAL, 0, 0, 1, 32, 1.2},
                          Case{"bold underline", FW_BOLD, 0, 1, 0, 40, 1.6}}) {
      SCOPED_TRACE(k.name);
      const TInk styled = InkOf(k.weight, k.italic, k.underline, k.strikeOut, drawText);
      EXPECT_EQ(styled.Width, k.width);
      EXPECT_NE(styled.Pixels, regular.Pixels);
      EXPECT_GE(styled.Covered, static_cast<int>(regular.Covered * k.heavier))
          << styled.Covered << " covered against " << regular.Covered;
      if (k.weight >= 600) {
        // The ink spans the measured width: the last M's right stem stands within a pixel or two
        // of its cell's end, not where the regular one would end.
        EXPECT_GE(styled.Right, 10 + k.width - 2);
        EXPECT_LE(styled.Right, 10 + k.width + 2);
      }
    }
  }
}

}  // namespace
