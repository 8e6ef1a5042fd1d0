#pragma once
// The up-down control: two arrow buttons that step a position between Min and Max, shown in an
// associated edit; the edit's Up and Down keys step it too.

#include <functional>

#include "platform/classlib/Controls.h"

namespace pf {

enum class TUpDownDirection { updNone, updUp, updDown };
enum class TUDBtnType { btNext, btPrev };
enum class TUDOrientation { udHorizontal, udVertical };

using TUDChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;
using TUDChangingEventEx = std::function<void(TObject* Sender, bool& AllowChange, int16_t NewValue,
                                              TUpDownDirection Direction)>;
using TUDClickEvent = std::function<void(TObject* Sender, TUDBtnType Button)>;

class TUpDown : public TCustomControl {
  PF_CLASS(TUpDown)
public:
  // The edit that shows the position; its text follows every change of the position, except
  // while the customer types into it: the position then follows the text, and the edit shows the
  // position when the customer leaves it.
  TWinControl* GetAssociate() const { return FAssociate; }
  void SetAssociate(TWinControl* control);
  int16_t GetMin() const { return FMin; }
  void SetMin(int16_t v);
  int16_t GetMax() const { return FMax; }
  void SetMax(int16_t v);
  int16_t GetPosition() const { return FPosition; }
  // Limited to the range, asked of OnChanging and OnChangingEx (direction updNone) when it
  // changes; a refusal keeps the old position.
  void SetPosition(int16_t v);
  int16_t Increment{1};
  // Digit groups in the associate's text.
  bool GetThousands() const { return FThousands; }
  void SetThousands(bool v);
  // Stepping beyond an end goes round to the other end.
  bool Wrap{false};
  bool ArrowKeys{true};
  TUDOrientation Orientation{TUDOrientation::udVertical};

  TUDChangingEvent OnChanging;
  TUDChangingEventEx OnChangingEx;
  TUDClickEvent OnClick;

  // One step as a click on a button does: +Increment for btNext, -Increment for btPrev.
  void Step(TUDBtnType button);

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;
  void Notification(TComponent* c, TOperation op) override;
  void Dispatch(TMessage& msg) override;
  void Paint() override;
  virtual bool DoCanChange(int16_t newValue, TUpDownDirection direction);
  virtual void DoClick(TUDBtnType button);

private:
  void UpdateAssociate();
  void HookAssociate();
  void UnhookAssociate();
  TUDBtnType ButtonAt(TPoint p) const;
  TWinControl* FAssociate{nullptr};
  TWndMethod FAssociateOldProc;
  bool FAssociateChanging{false};  // the edit is reporting a change of its own text
  int16_t FMin{0};
  int16_t FMax{100};
  int16_t FPosition{0};
  bool FThousands{true};
  bool FPressed{false};
  TUDBtnType FPressedButton{TUDBtnType::btNext};
};

}  // namespace pf
