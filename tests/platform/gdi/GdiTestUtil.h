#pragma once
// A memory DC over a 32-bit DIB section, its pixels read back as bytes, and a scope that installs
// the fixed-metrics font source. The common routines' tests use them too.

#include <gtest/gtest.h>

#include "platform/gdi/FontSource.h"
#include "platform/gdi/Gdi.h"

namespace gditest {

using namespace pf;

struct DibCanvas {
  HDC Dc{nullptr};
  HBITMAP Bmp{nullptr};
  HGDIOBJ OldBmp{nullptr};
  Byte* Bits{nullptr};
  int W{0}, H{0};
  bool BottomUp{false};

  DibCanvas(int w, int h, bool bottomUp = false, int bpp = 32) : W(w), H(h), BottomUp(bottomUp) {
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = bottomUp ? h : -h;
    bi.bmiHeader.biBitCount = static_cast<WORD>(bpp);
    void* bits = nullptr;
    Bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    Bits = static_cast<Byte*>(bits);
    Dc = CreateCompatibleDC(nullptr);
    OldBmp = SelectObject(Dc, Bmp);
  }
  ~DibCanvas() {
    SelectObject(Dc, OldBmp);
    DeleteDC(Dc);
    DeleteObject(Bmp);
  }
  DibCanvas(const DibCanvas&) = delete;
  DibCanvas& operator=(const DibCanvas&) = delete;

  // Pixel (x, y) as the picture shows it, whatever the row order in memory (32-bit only).
  Byte* Px(int x, int y) const { return Bits + ((BottomUp ? H - 1 - y : y) * W + x) * 4; }
  // Fills every pixel, alpha included.
  void Fill(Byte b, Byte g, Byte r, Byte a) {
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        Byte* p = Px(x, y);
        p[0] = b;
        p[1] = g;
        p[2] = r;
        p[3] = a;
      }
  }
  void Clear(COLORREF c, Byte alpha = 0) { Fill(GetBValue(c), GetGValue(c), GetRValue(c), alpha); }
  COLORREF Rgb(int x, int y) const {
    const Byte* p = Px(x, y);
    return RGB(p[2], p[1], p[0]);
  }
  Byte Alpha(int x, int y) const { return Px(x, y)[3]; }
  // One row as a string: '#' where the pixel has colour `c`, '.' elsewhere.
  std::string Row(int y, COLORREF c) const {
    std::string s;
    for (int x = 0; x < W; ++x) s += Rgb(x, y) == c ? '#' : '.';
    return s;
  }
};

// The fixed font: advance 8, cell height 16, ascent 13, internal leading 3, average width 7,
// widest character 8, except where a test gives other advances.
struct FixedFontScope {
  explicit FixedFontScope(TFixedFontMetrics m = {}) { SetFontSourceFactory(FixedFontSourceFactory(m)); }
  ~FixedFontScope() { SetFontSourceFactory(nullptr); }
};

}  // namespace gditest
