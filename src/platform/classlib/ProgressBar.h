#pragma once
// The progress bar: a sunken box filled from the left in the highlight colour as Position goes
// from Min to Max.

#include "platform/classlib/Controls.h"

namespace pf {

class TProgressBar : public TCustomControl {
  PF_CLASS(TProgressBar)
public:
  Integer GetMin() const { return FMin; }
  Integer GetMax() const { return FMax; }
  // A range with Max below Min is taken as empty (Max = Min).
  void SetRange(Integer Min, Integer Max);
  Integer GetPosition() const { return FPosition; }
  // Limited to the range.
  void SetPosition(Integer Value);
  // The filled part's width inside the frame, in pixels.
  Integer FilledWidth() const;

protected:
  void Create(TComponent* owner) override;
  void Paint() override;

private:
  Integer FMin{0};
  Integer FMax{100};
  Integer FPosition{0};
};

}  // namespace pf
