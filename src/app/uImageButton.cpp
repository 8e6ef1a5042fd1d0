#include "app/uImageButton.h"

namespace app {

void TImageButton::Create(TComponent* AOwner) {
  TGraphicControl::Create(AOwner);
  ControlStyle.Include(TControlStyleItem::csOpaque);
  ControlStyle.Include(TControlStyleItem::csReplicatable);
  ControlStyle.Include(TControlStyleItem::csPannable);
}

void TImageButton::SetImages(TImageList* Value) {
  if (Value == FImages) return;
  FImages = Value;
  Invalidate();
}

void TImageButton::SetDisabledIndex(Integer Value) {
  if (Value == FDisabledIndex) return;
  FDisabledIndex = Value;
  if (!GetEnabled()) Invalidate();
}

void TImageButton::SetNormalIndex(Integer Value) {
  if (Value == FNormalIndex) return;
  FNormalIndex = Value;
  Invalidate();
}

void TImageButton::SetMouseUnderControl(bool Value) {
  if (Value == FMouseUnderControl) return;
  FMouseUnderControl = Value;
  // Only a button with a hot picture looks different under the mouse.
  if (FImages && FHotIndex != -1) Invalidate();
}

void TImageButton::SetPushed(bool Value) {
  if (Value == FPushed) return;
  FPushed = Value;
  Invalidate();
}

void TImageButton::Dispatch(TMessage& Msg) {
  // The look first; the inherited handling then fires OnMouseEnter or OnMouseLeave.
  if (Msg.Msg == CM_MOUSEENTER) SetMouseUnderControl(true);
  if (Msg.Msg == CM_MOUSELEAVE) SetMouseUnderControl(false);
  TGraphicControl::Dispatch(Msg);
}

void TImageButton::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  SetPushed(true);
  TGraphicControl::MouseDown(Button, Shift, X, Y);
}

void TImageButton::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  SetPushed(false);
  TGraphicControl::MouseUp(Button, Shift, X, Y);
}

void TImageButton::Paint() {
  TCanvas* canvas = GetCanvas();
  canvas->GetBrush()->SetStyle(TBrushStyle::bsClear);
  const TRect client = GetClientRect();
  if (ComponentState().Contains(TComponentStateItem::csDesigning)) {
    canvas->GetPen()->SetStyle(TPenStyle::psDash);
    canvas->Rectangle(client);
  } else {
    canvas->FillRect(client);
  }
  if (!FImages) return;
  if (!GetEnabled())
    DrawImage(FDisabledIndex, 0, 0);
  else if (FPushed)
    DrawImage(FPushedIndex, FPushDeltaX, FPushDeltaY);
  else if (FMouseUnderControl)
    DrawImage(FHotIndex, 0, 0);
  else
    DrawImage(FNormalIndex, 0, 0);
}

void TImageButton::DrawImage(Integer Index, Integer DeltaX, Integer DeltaY) {
  // Only -1 stands for "no picture"; another negative index is left to the list to draw.
  if (Index == -1 || Index >= FImages->GetCount()) {
    if (Index == FNormalIndex || FNormalIndex == -1) return;
    DrawImage(FNormalIndex, DeltaX, DeltaY);
    return;
  }
  const Integer x = (GetWidth() - FImages->GetWidth()) / 2 + DeltaX;
  const Integer y = (GetHeight() - FImages->GetHeight()) / 2 + DeltaY;
  FImages->Draw(GetCanvas(), x, y, Index, true);
}

}  // namespace app
