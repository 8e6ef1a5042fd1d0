#pragma once
// Stand-in for the canvas control base until the common library's own lands: the counted update
// cycle, safe invalidation and the virtual hooks the list view overrides.

#include "platform/classlib/Controls.h"
#include "platform/user/User.h"

namespace common {

using namespace pf;

class TCommonCanvasControl : public TCustomControl {
  PF_CLASS(TCommonCanvasControl)
public:
  virtual void BeginUpdate() {
    if (FUpdateCount == 0) DoBeginUpdate();
    ++FUpdateCount;
  }
  virtual void EndUpdate(bool Invalidate = true) {
    --FUpdateCount;
    if (FUpdateCount < 1) {
      FUpdateCount = 0;
      DoUpdateComplete();
      if (Invalidate && HandleAllocated()) UpdateWindow(FHandle);
      if (OnEndUpdate) OnEndUpdate(this);
    }
  }
  Integer UpdateCount() const { return FUpdateCount; }
  void SafeInvalidateRect(const TRect* ARect, bool ImmediateUpdate) {
    if (!HandleAllocated()) return;
    InvalidateRect(FHandle, ARect, false);
    if (ImmediateUpdate) UpdateWindow(FHandle);
  }
  TNotifyEvent OnBeginUpdate;
  TNotifyEvent OnEndUpdate;
  TNotifyEvent OnMouseExit;

protected:
  void Create(TComponent* AOwner) override { TCustomControl::Create(AOwner); }
  virtual void DoAfterPaint(TCanvas* /*ACanvas*/, const TRect& /*ClipRect*/) {}
  virtual void CalcThemedNCSize(TRect& /*ARect*/) {}
  virtual void DoBeginUpdate() {
    if (OnBeginUpdate) OnBeginUpdate(this);
  }
  virtual void DoMouseEnter(TPoint /*MousePos*/) {}
  virtual void DoMouseExit() {
    if (OnMouseExit) OnMouseExit(this);
  }
  virtual void DoMouseInside(TPoint /*MousePos*/) {}
  virtual void DoPaintRect(TCanvas* /*ACanvas*/, const TRect& /*ClipRect*/, bool /*ViewCoords*/, bool /*SelectedOnly*/) {}
  virtual void DoUpdateComplete() {}
  virtual void PaintThemedNCBkgnd(TCanvas* /*ACanvas*/, TRect /*ARect*/) {}

private:
  Integer FUpdateCount{0};
};

}  // namespace common
