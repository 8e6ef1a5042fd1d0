#pragma once
// The timer component: OnTimer every Interval milliseconds of the layer's clock while Enabled.

#include "platform/classlib/Component.h"
#include "platform/user/User.h"

namespace pf {

class TTimer : public TComponent {
  PF_CLASS(TTimer)
public:
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool v);
  Cardinal GetInterval() const { return FInterval; }
  void SetInterval(Cardinal ms);
  // Runs every Interval while Enabled; an empty handler makes the ticks do nothing.
  TNotifyEvent OnTimer;

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;

private:
  void UpdateTimer();
  bool FEnabled{true};
  Cardinal FInterval{1000};
  UINT_PTR FId{0};
};

}  // namespace pf
