#include "platform/classlib/ProgressBar.h"

#include <algorithm>

#include "platform/classlib/ExtCtrls.h"

namespace pf {

namespace {
constexpr Integer FrameWidth = 1;
}

void TProgressBar::Create(TComponent* owner) {
  TCustomControl::Create(owner);
  SetBounds(0, 0, 150, 17);
}

void TProgressBar::SetRange(Integer Min, Integer Max) {
  FMin = Min;
  FMax = std::max(Min, Max);
  FPosition = std::clamp(FPosition, FMin, FMax);
  Invalidate();
}

void TProgressBar::SetPosition(Integer Value) {
  Value = std::clamp(Value, FMin, FMax);
  if (Value == FPosition) return;
  FPosition = Value;
  Invalidate();
}

Integer TProgressBar::FilledWidth() const {
  const Integer inner = std::max(0, GetWidth() - 2 * FrameWidth);
  if (FMax <= FMin) return 0;
  return static_cast<Integer>(static_cast<Int64>(inner) * (FPosition - FMin) / (FMax - FMin));
}

void TProgressBar::Paint() {
  TCanvas* canvas = GetCanvas();
  TRect r{0, 0, GetWidth(), GetHeight()};
  Frame3D(canvas, r, clBtnShadow, clBtnHighlight, FrameWidth);
  canvas->GetBrush()->SetColor(clBtnFace);
  canvas->FillRect(r);
  const Integer filled = FilledWidth();
  if (filled <= 0) return;
  canvas->GetBrush()->SetColor(clHighlight);
  canvas->FillRect(TRect{r.Left, r.Top, r.Left + filled, r.Bottom});
}

}  // namespace pf
