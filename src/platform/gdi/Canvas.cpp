// The class library's canvas.

#include "platform/gdi/Canvas.h"

#include "platform/gdi/Bitmap.h"
#include "platform/rtl/Exceptions.h"

namespace pf {

void TCanvas::Create() {
  TObject::Create();
  FFont = TFont::New();
  FFont->OnChange = [this](TObject*) { FontChanged(); };
  FPen = TPen::New();
  FPen->OnChange = [this](TObject*) { PenChanged(); };
  FBrush = TBrush::New();
  FBrush->OnChange = [this](TObject*) { BrushChanged(); };
}

void TCanvas::Destroy() {
  SetHandle(nullptr);
  FreeAndNil(FFont);
  FreeAndNil(FPen);
  FreeAndNil(FBrush);
  TObject::Destroy();
}

// As the class library's canvas does: whoever takes the DC for a platform call (text measured
// or drawn, a focus rectangle) finds the canvas's font, pen and brush selected into it.
HDC TCanvas::GetHandle() {
  RequiredState(csHandleValid | csFontValid | csPenValid | csBrushValid);
  return FHandle;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == FHandle) return;
  if (FHandle) {
    DeselectHandles();
    FState &= ~csHandleValid;
  }
  FHandle = dc;
  if (dc) FState |= csHandleValid;
}

void TCanvas::DeselectHandles() {
  if (!FHandle) return;
  // Stock objects take the canvas's place, so its own may be deleted while the DC lives on.
  if (FState & csPenValid) SelectObject(FHandle, GetStockObject(BLACK_PEN));
  if (FState & csBrushValid) SelectObject(FHandle, GetStockObject(HOLLOW_BRUSH));
  if (FState & csFontValid) SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
  FState &= ~(csPenValid | csBrushValid | csFontValid);
}

void TCanvas::RequiredState(unsigned req) {
  unsigned needed = req & ~FState;
  if (!needed) return;
  if (needed & csHandleValid) {
    CreateHandle();
    if (!FHandle) throw EInvalidOperation(u"Canvas does not allow drawing");
    FState |= csHandleValid;
  }
  if (needed & csFontValid) {
    SelectObject(FHandle, FFont->GetHandle());
    SetTextColor(FHandle, static_cast<COLORREF>(ColorToRGB(FFont->GetColor())));
    FState |= csFontValid;
  }
  if (needed & csPenValid) {
    SelectObject(FHandle, FPen->GetHandle());
    SetROP2(FHandle, PenModeToROP2(FPen->GetMode()));
    FState |= csPenValid;
  }
  if (needed & csBrushValid) {
    SelectObject(FHandle, FBrush->GetHandle());
    SetBkColor(FHandle, static_cast<COLORREF>(ColorToRGB(FBrush->GetColor())));
    // The brush decides whether text gets a background.
    SetBkMode(FHandle, FBrush->GetStyle() == TBrushStyle::bsSolid ? OPAQUE : TRANSPARENT);
    FState |= csBrushValid;
  }
}

void TCanvas::FontChanged() {
  if (FState & csFontValid) {
    FState &= ~csFontValid;
    if (FHandle) SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
  }
}

void TCanvas::PenChanged() {
  if (FState & csPenValid) {
    FState &= ~csPenValid;
    if (FHandle) SelectObject(FHandle, GetStockObject(BLACK_PEN));
  }
}

void TCanvas::BrushChanged() {
  if (FState & csBrushValid) {
    FState &= ~csBrushValid;
    if (FHandle) SelectObject(FHandle, GetStockObject(HOLLOW_BRUSH));
  }
}

void TCanvas::Refresh() { DeselectHandles(); }

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

void TCanvas::Lock() {
  FLock.lock();
  ++FLockCount;
}

void TCanvas::Unlock() {
  --FLockCount;
  FLock.unlock();
}

bool TCanvas::TryLock() {
  if (!FLock.try_lock()) return false;
  ++FLockCount;
  return true;
}

TPoint TCanvas::GetPenPos() {
  RequiredState(csHandleValid);
  TPoint p;
  MoveToEx(FHandle, 0, 0, &p);
  MoveToEx(FHandle, p.X, p.Y, nullptr);
  return p;
}

void TCanvas::SetPenPos(TPoint p) { MoveTo(p.X, p.Y); }

void TCanvas::MoveTo(Integer x, Integer y) {
  RequiredState(csHandleValid);
  MoveToEx(FHandle, x, y, nullptr);
}

void TCanvas::LineTo(Integer x, Integer y) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  pf::LineTo(FHandle, x, y);
  Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& pts) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  pf::Polyline(FHandle, pts.data(), static_cast<int>(pts.size()));
  Changed();
}

void TCanvas::Polygon(const std::vector<TPoint>& pts) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  pf::Polygon(FHandle, pts.data(), static_cast<int>(pts.size()));
  Changed();
}

void TCanvas::Rectangle(Integer x1, Integer y1, Integer x2, Integer y2) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  pf::Rectangle(FHandle, x1, y1, x2, y2);
  Changed();
}

void TCanvas::RoundRect(Integer x1, Integer y1, Integer x2, Integer y2, Integer x3, Integer y3) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  pf::RoundRect(FHandle, x1, y1, x2, y2, x3, y3);
  Changed();
}

void TCanvas::Ellipse(Integer x1, Integer y1, Integer x2, Integer y2) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  pf::Ellipse(FHandle, x1, y1, x2, y2);
  Changed();
}

void TCanvas::FillRect(const TRect& r) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  pf::FillRect(FHandle, &r, FBrush->GetHandle());
  Changed();
}

void TCanvas::FrameRect(const TRect& r) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  pf::FrameRect(FHandle, &r, FBrush->GetHandle());
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  pf::DrawFocusRect(FHandle, &r);
  Changed();
}

TColor TCanvas::GetPixel(Integer x, Integer y) {
  RequiredState(csHandleValid);
  return static_cast<TColor>(pf::GetPixel(FHandle, x, y));
}

void TCanvas::SetPixel(Integer x, Integer y, TColor c) {
  Changing();
  RequiredState(csHandleValid | csPenValid);
  pf::SetPixel(FHandle, x, y, static_cast<COLORREF>(ColorToRGB(c)));
  Changed();
}

void TCanvas::TextOut(Integer x, Integer y, const String& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  ExtTextOutW(FHandle, x, y, TextFlags, nullptr, text.data(), static_cast<UINT>(text.size()), nullptr);
  MoveTo(x + TextWidth(text), y);
  Changed();
}

void TCanvas::TextRect(const TRect& r, Integer x, Integer y, const String& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  UINT options = ETO_CLIPPED | TextFlags;
  if (FBrush->GetStyle() != TBrushStyle::bsClear) options |= ETO_OPAQUE;
  ExtTextOutW(FHandle, x, y, options, &r, text.data(), static_cast<UINT>(text.size()), nullptr);
  Changed();
}

TSize TCanvas::TextExtent(const String& text) {
  RequiredState(csHandleValid | csFontValid);
  TSize s;
  GetTextExtentPoint32W(FHandle, text.data(), static_cast<int>(text.size()), &s);
  return s;
}

void TCanvas::Draw(Integer x, Integer y, TGraphic* g) {
  if (!g || g->GetEmpty()) return;
  Changing();
  RequiredState(csHandleValid);
  g->Draw(this, TRect{x, y, x + g->GetWidth(), y + g->GetHeight()});
  Changed();
}

void TCanvas::StretchDraw(const TRect& r, TGraphic* g) {
  if (!g || g->GetEmpty()) return;
  Changing();
  RequiredState(csHandleValid);
  g->Draw(this, r);
  Changed();
}

void TCanvas::CopyRect(const TRect& d, TCanvas* source, const TRect& s) {
  if (!source) return;
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  HDC src = source->GetHandle();
  StretchBlt(FHandle, d.Left, d.Top, d.Right - d.Left, d.Bottom - d.Top, src, s.Left, s.Top, s.Right - s.Left,
             s.Bottom - s.Top, CopyMode);
  Changed();
}

TRect TCanvas::ClipRect() {
  RequiredState(csHandleValid);
  TRect r;
  GetClipBox(FHandle, &r);
  return r;
}

}  // namespace pf
