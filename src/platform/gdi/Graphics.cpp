// Colours, fonts, pens and brushes.

#include "platform/gdi/Graphics.h"

#include <algorithm>
#include <cmath>

namespace pf {

TColor ColorToRGB(TColor color) {
  if (color < 0) return static_cast<TColor>(GetSysColor(color & 0xFF));
  return color;
}

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

namespace {
// The platform's MulDiv: rounds halves away from zero.
Integer MulDiv(Integer a, Integer b, Integer c) {
  if (c == 0) return -1;
  int64_t p = static_cast<int64_t>(a) * b;
  int64_t q = (std::llabs(p) + std::llabs(c) / 2) / std::llabs(c);
  return static_cast<Integer>(((p < 0) != (c < 0)) ? -q : q);
}
}  // namespace

// ---- TFont ----

void TFont::Destroy() { FHandles.Clear(); }

void TFont::Changed() {
  FHandles.Changed(Key());
  TGraphicsObject::Changed();
}

void TFont::Assign(const TFont& s) {
  if (&s == this) return;
  FName = s.FName;
  FHeight = s.FHeight;
  FStyle = s.FStyle;
  FColor = s.FColor;
  FCharset = s.FCharset;
  FPitch = s.FPitch;
  Changed();
}

void TFont::SetName(const String& name) {
  if (name.empty() || name == FName) return;
  FName = name;
  Changed();
}

Integer TFont::GetSize() const { return -MulDiv(FHeight, 72, ScreenPixelsPerInch); }
void TFont::SetSize(Integer points) { SetHeight(-MulDiv(points, ScreenPixelsPerInch, 72)); }

void TFont::SetHeight(Integer pixels) {
  if (pixels == FHeight) return;
  FHeight = pixels;
  Changed();
}

void TFont::SetStyle(TFontStyles style) {
  if (style == FStyle) return;
  FStyle = style;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == FColor) return;
  // The colour is not part of the GDI font: the handle stays.
  FColor = color;
  TGraphicsObject::Changed();
}

void TFont::SetCharset(TFontCharset charset) {
  if (charset == FCharset) return;
  FCharset = charset;
  Changed();
}

void TFont::SetPitch(TFontPitch pitch) {
  if (pitch == FPitch) return;
  FPitch = pitch;
  Changed();
}

LOGFONTW TFont::GetLogFont() const {
  LOGFONTW lf;
  lf.lfHeight = FHeight;
  lf.lfWeight = FStyle.Contains(TFontStyle::fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = FStyle.Contains(TFontStyle::fsItalic);
  lf.lfUnderline = FStyle.Contains(TFontStyle::fsUnderline);
  lf.lfStrikeOut = FStyle.Contains(TFontStyle::fsStrikeOut);
  lf.lfCharSet = FCharset;
  lf.lfPitchAndFamily = FPitch == TFontPitch::fpFixed ? 1 : FPitch == TFontPitch::fpVariable ? 2 : 0;
  size_t n = std::min<size_t>(FName.size(), 31);
  std::copy_n(FName.begin(), n, lf.lfFaceName);
  lf.lfFaceName[n] = 0;
  return lf;
}

HFONT TFont::GetHandle() {
  return FHandles.Get(Key(), [this] {
    LOGFONTW lf = GetLogFont();
    return CreateFontIndirectW(&lf);
  });
}

void TFont::SetHandle(HFONT font) {
  LOGFONTW lf;
  if (!GetObjectW(font, sizeof(lf), &lf)) return;
  String name;
  for (Char c : lf.lfFaceName) {
    if (!c) break;
    name += c;
  }
  if (!name.empty()) FName = name;
  FHeight = lf.lfHeight;
  TFontStyles st;
  if (lf.lfWeight >= 600) st += TFontStyle::fsBold;
  if (lf.lfItalic) st += TFontStyle::fsItalic;
  if (lf.lfUnderline) st += TFontStyle::fsUnderline;
  if (lf.lfStrikeOut) st += TFontStyle::fsStrikeOut;
  FStyle = st;
  FCharset = lf.lfCharSet;
  Changed();
}

// ---- TPen ----

void TPen::Destroy() { FHandles.Clear(); }

void TPen::Changed() {
  FHandles.Changed(Key());
  TGraphicsObject::Changed();
}

void TPen::Assign(const TPen& s) {
  if (&s == this) return;
  FColor = s.FColor;
  FWidth = s.FWidth;
  FStyle = s.FStyle;
  FMode = s.FMode;
  Changed();
}

void TPen::SetColor(TColor color) {
  if (color == FColor) return;
  FColor = color;
  Changed();
}

void TPen::SetWidth(Integer width) {
  if (width < 0 || width == FWidth) return;
  FWidth = width;
  Changed();
}

void TPen::SetStyle(TPenStyle style) {
  if (style == FStyle) return;
  FStyle = style;
  Changed();
}

void TPen::SetMode(TPenMode mode) {
  if (mode == FMode) return;
  FMode = mode;
  TGraphicsObject::Changed();
}

HPEN TPen::GetHandle() {
  return FHandles.Get(Key(), [this] {
    int style = PS_SOLID;
    switch (FStyle) {
      case TPenStyle::psSolid: style = PS_SOLID; break;
      case TPenStyle::psDash: style = PS_DASH; break;
      case TPenStyle::psDot: style = PS_DOT; break;
      case TPenStyle::psDashDot: style = PS_DASHDOT; break;
      case TPenStyle::psDashDotDot: style = PS_DASHDOTDOT; break;
      case TPenStyle::psClear: style = PS_NULL; break;
      case TPenStyle::psInsideFrame: style = PS_INSIDEFRAME; break;
    }
    return CreatePen(style, FWidth, static_cast<COLORREF>(ColorToRGB(FColor)));
  });
}

int PenModeToROP2(TPenMode mode) { return static_cast<int>(mode) + 1; }

// ---- TBrush ----

void TBrush::Destroy() { FHandles.Clear(); }

void TBrush::Changed() {
  FHandles.Changed(Key());
  TGraphicsObject::Changed();
}

void TBrush::Assign(const TBrush& s) {
  if (&s == this) return;
  FColor = s.FColor;
  FStyle = s.FStyle;
  Changed();
}

void TBrush::SetColor(TColor color) {
  if (color == FColor && FStyle != TBrushStyle::bsClear) return;
  FColor = color;
  if (FStyle == TBrushStyle::bsClear) FStyle = TBrushStyle::bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
  if (style == FStyle) return;
  FStyle = style;
  Changed();
}

HBRUSH TBrush::GetHandle() {
  return FHandles.Get(Key(), [this] {
    LOGBRUSH lb;
    lb.lbStyle = FStyle == TBrushStyle::bsClear ? BS_NULL : BS_SOLID;
    lb.lbColor = static_cast<COLORREF>(ColorToRGB(FColor));
    return CreateBrushIndirect(&lb);
  });
}

}  // namespace pf
