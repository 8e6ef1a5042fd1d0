// Gradients, check-box and radio-button glyphs, and 32-bit alpha blending.

#include <algorithm>
#include <cstring>

#include "common/CommonUtilities.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Format.h"

namespace common {

void DrawVerticalGradient(TCanvas* canvas, Integer x1, Integer x2, Integer top, Integer bottom, TColor startColor,
                          TColor endColor, Integer minY, Integer maxY) {
  TColor oldColor = canvas->GetPen()->GetColor();
  auto from = static_cast<COLORREF>(ColorToRGB(startColor)), to = static_cast<COLORREF>(ColorToRGB(endColor));
  for (Integer y = top; y <= bottom; ++y) {
    canvas->MoveTo(x1, y);
    if (maxY >= 1 && minY <= y && y <= maxY) {
      // A band of one row has nowhere to go: it takes the start colour.
      double ratio = bottom == top ? 0.0 : static_cast<double>(y - top) / (bottom - top);
      auto channel = [ratio](int a, int b) { return static_cast<Byte>(Round(a + (b - a) * ratio)); };
      canvas->GetPen()->SetColor(static_cast<TColor>(RGB(channel(GetRValue(from), GetRValue(to)),
                                                          channel(GetGValue(from), GetGValue(to)),
                                                          channel(GetBValue(from), GetBValue(to)))));
      canvas->LineTo(x2, y);
    }
  }
  canvas->GetPen()->SetColor(oldColor);
}

namespace {

// Layers glyphs of the check-box face: the background with a solid brush, the four frame pieces
// and, when checked, the mark with a clear one.
void DrawGlyphs(TCanvas* canvas, TPoint pos, Integer size, bool checked, bool enabled, bool hot, const Char* glyphs,
                TColor c1, TColor c2, TColor c3, TColor c4, TColor c5, TColor c6) {
  TFont* marlett = MarlettFont;
  Owned<TFont> own;
  if (!marlett) {
    own.reset(TFont::New());
    own->SetName(u"marlett");
    marlett = own.get();
  }
  marlett->SetSize(size);
  canvas->SetFont(marlett);
  auto out = [&](Char glyph, TColor color) {
    canvas->GetFont()->SetColor(color);
    canvas->TextOut(pos.X, pos.Y, String(1, glyph));
  };
  canvas->GetBrush()->SetStyle(TBrushStyle::bsSolid);
  out(glyphs[0], hot ? c5 : c6);
  canvas->GetBrush()->SetStyle(TBrushStyle::bsClear);
  out(glyphs[1], c4);
  out(glyphs[2], c3);
  out(glyphs[3], c2);
  out(glyphs[4], c1);
  if (checked) out(glyphs[5], enabled ? clBlack : clBtnShadow);
}

}  // namespace

void DrawCheckBoxGlyphs(TCanvas* canvas, TPoint pos, Integer size, bool checked, bool enabled, bool hot, TColor c1,
                        TColor c2, TColor c3, TColor c4, TColor c5, TColor c6) {
  DrawGlyphs(canvas, pos, size, checked, enabled, hot, u"gcdefb", c1, c2, c3, c4, c5, c6);
}

void DrawRadioButtonGlyphs(TCanvas* canvas, TPoint pos, Integer size, bool checked, bool enabled, bool hot, TColor c1,
                           TColor c2, TColor c3, TColor c4, TColor c5, TColor c6) {
  DrawGlyphs(canvas, pos, size, checked, enabled, hot, u"njklmi", c1, c2, c3, c4, c5, c6);
}

void MarlettGlyphSize(Integer pointSize, Char glyph, TSize& size) {
  Owned<TCanvas> canvas(TCanvas::New());
  HDC dc = CreateCompatibleDC(nullptr);
  canvas->SetHandle(dc);
  canvas->GetFont()->SetName(u"marlett");
  canvas->GetFont()->SetSize(pointSize);
  size = canvas->TextExtent(String(1, glyph));
  canvas->SetHandle(nullptr);
  DeleteDC(dc);
}

// ---- Alpha blending ----

namespace {

struct DibInfo {
  Byte* Bits{nullptr};
  Integer Width{0};
  Integer Height{0};  // positive: bottom-up
};

DibInfo DibOf(HDC dc) {
  HGDIOBJ bmp = GetCurrentObject(dc, OBJ_BITMAP);
  DIBSECTION ds{};
  if (!bmp || GetObjectW(bmp, sizeof(ds), &ds) != static_cast<int>(sizeof(ds)) || !ds.dsBm.bmBits) {
    Assert(false, u"Alpha blending DC error: no bitmap available.", CommonUtilitiesUnit);
  }
  Assert(ds.dsBm.bmBitsPixel == 32, u"Alpha blending error: bitmap must use 32 bpp.", CommonUtilitiesUnit);
  return DibInfo{static_cast<Byte*>(ds.dsBm.bmBits), ds.dsBm.bmWidth, ds.dsBmih.biHeight};
}

Byte* RowOf(const DibInfo& d, Integer r) {
  Integer h = std::abs(d.Height);
  size_t stride = static_cast<size_t>(d.Width) * 4;
  return d.Bits + stride * static_cast<size_t>(d.Height > 0 ? h - r - 1 : r);
}

// d + (s - d) * a / 256 in 16-bit words, then the signed bias added with saturation.
Byte BlendByte(Byte s, Byte d, int alpha, int16_t bias) {
  auto t = static_cast<uint16_t>((static_cast<int>(s) - static_cast<int>(d)) * alpha + (static_cast<int>(d) << 8));
  int v = static_cast<int>(t >> 8) + bias;
  return static_cast<Byte>(std::clamp(v, 0, 255));
}

}  // namespace

void CommonAlphaBlend(HDC srcDC, HDC dstDC, const TRect& srcRect, TPoint dstPoint, TCommonBlendMode mode,
                      Integer constantAlpha, Integer biasOrColor) {
  DibInfo src = DibOf(srcDC), dst = DibOf(dstDC);
  if (srcRect.Right <= srcRect.Left || srcRect.Bottom <= srcRect.Top) return;
  // Both rectangles are cut to their bitmaps first, so that a partly visible caller cannot write
  // outside the pixels.
  TRect s = srcRect;
  TPoint d = dstPoint;
  auto clip = [](Integer& start, Integer& end, Integer& dstStart, Integer srcLimit, Integer dstLimit) {
    if (start < 0) {
      dstStart -= start;
      start = 0;
    }
    if (dstStart < 0) {
      start -= dstStart;
      dstStart = 0;
    }
    end = std::min({end, srcLimit, start + (dstLimit - dstStart)});
  };
  clip(s.Left, s.Right, d.X, src.Width, dst.Width);
  clip(s.Top, s.Bottom, d.Y, std::abs(src.Height), std::abs(dst.Height));
  if (s.Right <= s.Left || s.Bottom <= s.Top) return;
  const auto bias = static_cast<int16_t>(biasOrColor & 0xFFFF);
  const Byte color[4] = {GetBValue(static_cast<COLORREF>(biasOrColor)), GetGValue(static_cast<COLORREF>(biasOrColor)),
                         GetRValue(static_cast<COLORREF>(biasOrColor)), 0};
  const int ca = constantAlpha & 0xFF;
  for (Integer i = 0; i < s.Bottom - s.Top; ++i) {
    Byte* sp = RowOf(src, s.Top + i) + static_cast<size_t>(s.Left) * 4;
    Byte* dp = RowOf(dst, d.Y + i) + static_cast<size_t>(d.X) * 4;
    for (Integer x = 0; x < s.Right - s.Left; ++x, sp += 4, dp += 4) {
      switch (mode) {
        case TCommonBlendMode::cbmConstantAlpha:
          for (int b = 0; b < 4; ++b) dp[b] = BlendByte(sp[b], dp[b], ca, bias);
          break;
        case TCommonBlendMode::cbmPerPixelAlpha: {
          int a = sp[3];
          for (int b = 0; b < 4; ++b) dp[b] = BlendByte(sp[b], dp[b], a, bias);
          break;
        }
        case TCommonBlendMode::cbmMasterAlpha: {
          int a = (sp[3] * ca) >> 8;
          for (int b = 0; b < 4; ++b) dp[b] = BlendByte(sp[b], dp[b], a, bias);
          break;
        }
        case TCommonBlendMode::cbmConstantAlphaAndColor:
          for (int b = 0; b < 4; ++b) dp[b] = static_cast<Byte>((dp[b] * (256 - ca) + color[b] * ca) >> 8);
          break;
      }
    }
  }
}

}  // namespace common
