#include "platform/classlib/ExtCtrls.h"

#include <algorithm>

namespace pf {

void TTimer::Create(TComponent* owner) {
  TComponent::Create(owner);
  UpdateTimer();
}

void TTimer::Destroy() {
  FEnabled = false;
  UpdateTimer();
  TComponent::Destroy();
}

void TTimer::SetEnabled(bool v) {
  if (v == FEnabled) return;
  FEnabled = v;
  UpdateTimer();
}

void TTimer::SetInterval(Cardinal ms) {
  if (ms == FInterval) return;
  FInterval = ms;
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (FId) {
    KillTimer(nullptr, FId);
    FId = 0;
  }
  if (!FEnabled || FInterval == 0 || !LayerStarted()) return;
  // The handler may free the timer: it runs from a copy, and after it returns nothing of the
  // timer is touched (freeing it killed the layer's timer too).
  FId = SetTimer(nullptr, 0, FInterval, [this](HWND, UINT, UINT_PTR, DWORD) {
    TNotifyEvent handler = OnTimer;
    if (handler) handler(this);
  });
}

// ---------------------------------------------------------------- Frame3D

void Frame3D(TCanvas* canvas, TRect& r, TColor topColor, TColor bottomColor, Integer width) {
  TPen* pen = canvas->GetPen();
  pen->SetWidth(1);
  pen->SetStyle(TPenStyle::psSolid);
  r.Right -= 1;
  r.Bottom -= 1;
  for (Integer i = 0; i < width; ++i) {
    pen->SetColor(topColor);
    canvas->Polyline({TPoint{r.Left, r.Bottom}, TPoint{r.Left, r.Top}, TPoint{r.Right, r.Top}});
    pen->SetColor(bottomColor);
    canvas->Polyline({TPoint{r.Right, r.Top}, TPoint{r.Right, r.Bottom}, TPoint{r.Left - 1, r.Bottom}});
    r.Left += 1;
    r.Top += 1;
    r.Right -= 1;
    r.Bottom -= 1;
  }
  r.Right += 1;
  r.Bottom += 1;
}

// ---------------------------------------------------------------- TCustomPanel

void TCustomPanel::Create(TComponent* owner) {
  TCustomControl::Create(owner);
  ControlStyle = {TControlStyleItem::csAcceptsControls, TControlStyleItem::csCaptureMouse,
                  TControlStyleItem::csClickEvents,     TControlStyleItem::csSetCaption,
                  TControlStyleItem::csOpaque,          TControlStyleItem::csDoubleClicks,
                  TControlStyleItem::csReplicatable,    TControlStyleItem::csPannable,
                  TControlStyleItem::csParentBackground};
  FWidth = 185;
  FHeight = 41;
  FColor = clBtnFace;
  FBevelOuter = TBevelCut::bvRaised;
  FBevelInner = TBevelCut::bvNone;
}

void TCustomPanel::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  if (FBorderStyle == TBorderStyle::bsSingle) {
    if (FCtl3D)
      p.ExStyle |= WS_EX_CLIENTEDGE;
    else
      p.Style |= WS_BORDER;
  }
}

void TCustomPanel::SetAlignment(TAlignment a) {
  if (a == FAlignment) return;
  FAlignment = a;
  Invalidate();
}

void TCustomPanel::SetBorderStyle(TBorderStyle s) {
  if (s == FBorderStyle) return;
  FBorderStyle = s;
  if (!IsLoading()) RecreateWnd();
}

void TCustomPanel::TextChanged() {
  TCustomControl::TextChanged();
  Invalidate();
}

void TCustomPanel::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_ERASEBKGND:
      msg.Result = 1;  // Paint fills everything
      return;
    case CM_CTL3DCHANGED:
      TCustomControl::Dispatch(msg);
      if (FBorderStyle == TBorderStyle::bsSingle && !IsLoading()) RecreateWnd();
      return;
    default:
      TCustomControl::Dispatch(msg);
  }
}

TRect TCustomPanel::InnerRect() const {
  TRect r = GetClientRect();
  Integer inset = (FBevelOuter != TBevelCut::bvNone ? FBevelWidth : 0) + (FBevelInner != TBevelCut::bvNone ? FBevelWidth : 0);
  return TRect{r.Left + inset, r.Top + inset, std::max(r.Left + inset, r.Right - inset),
               std::max(r.Top + inset, r.Bottom - inset)};
}

void TCustomPanel::Paint() {
  TCanvas* canvas = GetCanvas();
  TRect r = GetClientRect();
  auto bevel = [&](TBevelCut cut) {
    if (cut == TBevelCut::bvNone) return;
    TColor top = cut == TBevelCut::bvLowered ? clBtnShadow : clBtnHighlight;
    TColor bottom = cut == TBevelCut::bvLowered ? clBtnHighlight : clBtnShadow;
    if (cut == TBevelCut::bvSpace) top = bottom = FColor;
    Frame3D(canvas, r, top, bottom, FBevelWidth);
  };
  bevel(FBevelOuter);
  bevel(FBevelInner);
  canvas->GetBrush()->SetColor(FColor);
  canvas->FillRect(r);
  String text = GetText();
  if (text.empty()) return;
  canvas->SetFont(FFont);
  canvas->GetBrush()->SetStyle(TBrushStyle::bsClear);
  UINT format = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
  if (FAlignment == TAlignment::taCenter) format |= DT_CENTER;
  if (FAlignment == TAlignment::taRightJustify) format |= DT_RIGHT;
  DrawTextW(canvas->GetHandle(), text.data(), static_cast<int>(text.size()), &r, format);
}

// ---------------------------------------------------------------- TShape

void TShape::Create(TComponent* owner) {
  TGraphicControl::Create(owner);
  ControlStyle.Include(TControlStyleItem::csReplicatable);
  FWidth = 65;
  FHeight = 65;
  FPen = TPen::New();
  FPen->OnChange = [this](TObject*) { Invalidate(); };
  FBrush = TBrush::New();
  FBrush->OnChange = [this](TObject*) { Invalidate(); };
}

void TShape::Destroy() {
  TGraphicControl::Destroy();
  FreeAndNil(FPen);
  FreeAndNil(FBrush);
}

void TShape::SetShape(TShapeType s) {
  if (s == FShape) return;
  FShape = s;
  Invalidate();
}

// The pen's middle runs on the rectangle, so a wide pen stays inside the control.
TRect TShape::FigureRect() const {
  Integer pw = FPen->GetWidth();
  Integer x = pw / 2, y = x;
  Integer w = FWidth - pw + 1, h = FHeight - pw + 1;
  if (pw == 0) {
    --w;
    --h;
  }
  Integer side = std::min(w, h);
  if (FShape == TShapeType::stSquare || FShape == TShapeType::stRoundSquare || FShape == TShapeType::stCircle) {
    x += (w - side) / 2;
    y += (h - side) / 2;
    w = h = side;
  }
  return TRect{x, y, x + w, y + h};
}

void TShape::Paint() {
  TCanvas* canvas = GetCanvas();
  canvas->SetPen(FPen);
  canvas->SetBrush(FBrush);
  TRect r = FigureRect();
  Integer side = std::min(r.Width(), r.Height());
  switch (FShape) {
    case TShapeType::stRectangle:
    case TShapeType::stSquare: canvas->Rectangle(r); break;
    case TShapeType::stRoundRect:
    case TShapeType::stRoundSquare: canvas->RoundRect(r.Left, r.Top, r.Right, r.Bottom, side / 4, side / 4); break;
    case TShapeType::stEllipse:
    case TShapeType::stCircle: canvas->Ellipse(r); break;
  }
}

// ---------------------------------------------------------------- TPaintBox

void TPaintBox::Create(TComponent* owner) {
  TGraphicControl::Create(owner);
  ControlStyle.Include(TControlStyleItem::csReplicatable);
  FWidth = 105;
  FHeight = 105;
  FParentColor = true;
}

void TPaintBox::Paint() {
  TCanvas* canvas = GetCanvas();
  canvas->SetFont(FFont);
  canvas->GetBrush()->SetColor(FColor);
  if (TNotifyEvent handler = OnPaint) handler(this);
}

}  // namespace pf
