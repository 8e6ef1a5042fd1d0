#include "platform/classlib/ExtCtrls.h"

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

}  // namespace pf
