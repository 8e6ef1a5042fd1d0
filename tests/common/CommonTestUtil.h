#pragma once
// A memory DC over a 32-bit DIB section and the fixed-metrics font source for the common
// routines' tests. The fixed font: every character 8 wide ("..." is 24), cell 16 high, glyph box
// rows 3..12, average width 7, widest character 8.

#include <gtest/gtest.h>

#include "common/CommonUtilities.h"
#include "platform/gdi/FontSource.h"

namespace commontest {

using namespace pf;

struct Dib {
  HDC Dc{nullptr};
  HBITMAP Bmp{nullptr};
  HGDIOBJ Old{nullptr};
  Byte* Bits{nullptr};
  int W, H;
  bool BottomUp;
  Dib(int w, int h, bool bottomUp = false, int bpp = 32) : W(w), H(h), BottomUp(bottomUp) {
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = bottomUp ? h : -h;
    bi.bmiHeader.biBitCount = static_cast<WORD>(bpp);
    void* bits = nullptr;
    Bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    Bits = static_cast<Byte*>(bits);
    Dc = CreateCompatibleDC(nullptr);
    Old = SelectObject(Dc, Bmp);
  }
  ~Dib() {
    SelectObject(Dc, Old);
    DeleteDC(Dc);
    DeleteObject(Bmp);
  }
  // Pixel (x, y) as the picture shows it, whatever the row order in memory.
  Byte* Px(int x, int y) const { return Bits + ((BottomUp ? H - 1 - y : y) * W + x) * 4; }
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
  COLORREF Rgb(int x, int y) const {
    const Byte* p = Px(x, y);
    return RGB(p[2], p[1], p[0]);
  }
};

struct FixedFont {
  explicit FixedFont(TFixedFontMetrics m = {}) { SetFontSourceFactory(FixedFontSourceFactory(m)); }
  ~FixedFont() { SetFontSourceFactory(nullptr); }
};

}  // namespace commontest
