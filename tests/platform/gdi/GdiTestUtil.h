#pragma once
// A memory DC over a 32-bit top-down DIB section, its pixels read back as bytes, and a scope that
// installs the fixed-metrics font source.

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

  DibCanvas(int w, int h, bool bottomUp = false, int bpp = 32) : W(w), H(h) {
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
  // Fills every byte of the bitmap, alpha included.
  void Clear(COLORREF c, Byte alpha = 0) {
    for (Byte* p = Bits; p < Bits + W * H * 4; p += 4) {
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
      p[3] = alpha;
    }
  }
  COLORREF Rgb(int x, int y) const {
    const Byte* p = Bits + (y * W + x) * 4;
    return RGB(p[2], p[1], p[0]);
  }
  Byte Alpha(int x, int y) const { return Bits[(y * W + x) * 4 + 3]; }
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
