#pragma once
// The class library's canvas: a DC with a pen, a brush and a font that it selects into the DC on
// demand. Derived canvases (a control's, a bitmap's) make their DC in CreateHandle.

#include <mutex>
#include <vector>

#include "platform/gdi/Graphics.h"

namespace pf {

class TGraphic;

class TCanvas : public TObject {
  PF_CLASS(TCanvas)
public:
  HDC GetHandle();
  // Takes a DC the canvas does not own; nil lets the current one go (its objects deselected).
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return FHandle != nullptr; }

  TFont* GetFont() const { return FFont; }
  void SetFont(const TFont* font) { FFont->Assign(*font); }
  TPen* GetPen() const { return FPen; }
  void SetPen(const TPen* pen) { FPen->Assign(*pen); }
  TBrush* GetBrush() const { return FBrush; }
  void SetBrush(const TBrush* brush) { FBrush->Assign(*brush); }
  TPoint GetPenPos();
  void SetPenPos(TPoint p);
  // The raster operation of CopyRect and Draw (SRCCOPY by default).
  DWORD CopyMode{SRCCOPY};
  // ETO_ flags added to every TextOut and TextRect.
  UINT TextFlags{0};

  // Threads that share a canvas (a bitmap's) take its lock.
  void Lock();
  void Unlock();
  bool TryLock();
  int LockCount() const { return FLockCount; }

  void MoveTo(Integer x, Integer y);
  void LineTo(Integer x, Integer y);
  void Polyline(const std::vector<TPoint>& points);
  void Polygon(const std::vector<TPoint>& points);
  void Rectangle(Integer x1, Integer y1, Integer x2, Integer y2);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void RoundRect(Integer x1, Integer y1, Integer x2, Integer y2, Integer x3, Integer y3);
  void Ellipse(Integer x1, Integer y1, Integer x2, Integer y2);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  void FillRect(const TRect& r);   // with the brush
  void FrameRect(const TRect& r);  // with the brush
  void DrawFocusRect(const TRect& r);
  TColor GetPixel(Integer x, Integer y);
  void SetPixel(Integer x, Integer y, TColor c);

  void TextOut(Integer x, Integer y, const String& text);
  // Text at (x, y) clipped to `r`; the brush fills `r` first unless it is clear.
  void TextRect(const TRect& r, Integer x, Integer y, const String& text);
  TSize TextExtent(const String& text);
  Integer TextWidth(const String& text) { return TextExtent(text).cx; }
  Integer TextHeight(const String& text) { return TextExtent(text).cy; }

  void Draw(Integer x, Integer y, TGraphic* graphic);
  void StretchDraw(const TRect& r, TGraphic* graphic);
  void CopyRect(const TRect& dest, TCanvas* source, const TRect& src);
  // The clip box in logical coordinates.
  TRect ClipRect();
  // Deselects the canvas's objects, so that they are selected again on next use.
  void Refresh();

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

protected:
  void Create() override;
  void Destroy() override;
  // Makes the DC of a derived canvas; the base has none to make.
  virtual void CreateHandle() {}
  virtual void Changing();
  virtual void Changed();

  enum State : unsigned { csHandleValid = 1, csFontValid = 2, csPenValid = 4, csBrushValid = 8 };
  void RequiredState(unsigned state);

private:
  void DeselectHandles();
  void FontChanged();
  void PenChanged();
  void BrushChanged();

  HDC FHandle{nullptr};
  unsigned FState{0};
  TFont* FFont{nullptr};
  TPen* FPen{nullptr};
  TBrush* FBrush{nullptr};
  std::recursive_mutex FLock;
  int FLockCount{0};
};

}  // namespace pf
