#include "platform/classlib/ComCtrls.h"

#include <algorithm>

#include "platform/rtl/Format.h"
#include "platform/rtl/Strings.h"

namespace pf {

namespace {

constexpr UINT_PTR kRepeatTimer = 1;
// The platform's up-down repeats a held button after a pause, then quickly.
constexpr UINT kFirstRepeatMs = 400;
constexpr UINT kRepeatMs = 100;

String GroupedDigits(Integer v, Char separator) {
  String digits = IntToStr(v < 0 ? -static_cast<Int64>(v) : v);
  if (separator) {
    for (Integer i = static_cast<Integer>(digits.size()) - 3; i > 0; i -= 3)
      digits.insert(digits.begin() + i, separator);
  }
  return v < 0 ? u"-" + digits : digits;
}

}  // namespace

void TUpDown::Create(TComponent* owner) {
  TCustomControl::Create(owner);
  ControlStyle.Exclude(TControlStyleItem::csAcceptsControls);
  ControlStyle.Exclude(TControlStyleItem::csClickEvents);
  ControlStyle.Exclude(TControlStyleItem::csDoubleClicks);
  FWidth = GetSystemMetrics(SM_CXVSCROLL);
  FHeight = 21;
  FColor = clBtnFace;
}

void TUpDown::Destroy() {
  UnhookAssociate();
  TCustomControl::Destroy();
}

void TUpDown::Notification(TComponent* c, TOperation op) {
  TCustomControl::Notification(c, op);
  if (op == TOperation::opRemove && c == FAssociate) {
    // The edit is going: its window method is its own business now.
    FAssociate = nullptr;
    FAssociateOldProc = nullptr;
  }
}

void TUpDown::SetAssociate(TWinControl* control) {
  if (control == FAssociate) return;
  UnhookAssociate();
  FAssociate = control;
  if (!control) return;
  control->FreeNotification(this);
  HookAssociate();
  UpdateAssociate();
}

// The edit's Up and Down keys step the position, as the platform's up-down makes them do.
void TUpDown::HookAssociate() {
  FAssociateOldProc = FAssociate->WindowProc;
  std::shared_ptr<bool> alive = FAlive;
  FAssociate->WindowProc = [this, alive](TMessage& m) {
    if (*alive && ArrowKeys && FEnabled && m.Msg == WM_KEYDOWN && (m.WParam == VK_UP || m.WParam == VK_DOWN)) {
      bool horizontal = Orientation == TUDOrientation::udHorizontal;
      if (!horizontal) {
        Step(m.WParam == VK_UP ? TUDBtnType::btNext : TUDBtnType::btPrev);
        return;
      }
    }
    // While the customer types into the edit, the position follows the text without writing it
    // back: a number out of range would be rewritten under the caret at every key.
    if (*alive && m.Msg == CN_COMMAND && HIWORD(m.WParam) == EN_CHANGE) {
      const bool was = FAssociateChanging;
      FAssociateChanging = true;
      if (FAssociateOldProc) FAssociateOldProc(m);
      if (*alive) FAssociateChanging = was;
      return;
    }
    if (*alive && FAssociateOldProc) FAssociateOldProc(m);
    // Once left, the edit shows the position its text came to.
    if (*alive && m.Msg == WM_KILLFOCUS) UpdateAssociate();
  };
}

void TUpDown::UnhookAssociate() {
  if (!FAssociate) return;
  FAssociate->RemoveFreeNotification(this);
  if (FAssociateOldProc) FAssociate->WindowProc = FAssociateOldProc;
  FAssociateOldProc = nullptr;
  FAssociate = nullptr;
}

void TUpDown::SetMin(int16_t v) {
  FMin = v;
  if (FPosition < std::min(FMin, FMax)) SetPosition(std::min(FMin, FMax));
}

void TUpDown::SetMax(int16_t v) {
  FMax = v;
  if (FPosition > std::max(FMin, FMax)) SetPosition(std::max(FMin, FMax));
}

void TUpDown::SetThousands(bool v) {
  if (v == FThousands) return;
  FThousands = v;
  UpdateAssociate();
}

void TUpDown::SetPosition(int16_t v) {
  v = std::clamp(v, std::min(FMin, FMax), std::max(FMin, FMax));
  if (v == FPosition) return;
  if (!DoCanChange(v, TUpDownDirection::updNone)) return;
  FPosition = v;
  UpdateAssociate();
}

bool TUpDown::DoCanChange(int16_t newValue, TUpDownDirection direction) {
  bool allow = true;
  if (TUDChangingEvent handler = OnChanging) handler(this, allow);
  if (TUDChangingEventEx handler = OnChangingEx) handler(this, allow, newValue, direction);
  return allow;
}

void TUpDown::DoClick(TUDBtnType button) {
  if (TUDClickEvent handler = OnClick) handler(this, button);
}

void TUpDown::Step(TUDBtnType button) {
  int lo = std::min(FMin, FMax), hi = std::max(FMin, FMax);
  // Max below Min turns the buttons round, as on the platform.
  int delta = (button == TUDBtnType::btNext ? Increment : -Increment) * (FMax < FMin ? -1 : 1);
  int next = FPosition + delta;
  if (next > hi) next = Wrap ? lo : hi;
  if (next < lo) next = Wrap ? hi : lo;
  std::shared_ptr<bool> alive = FAlive;
  if (next != FPosition) {
    TUpDownDirection dir = delta > 0 ? TUpDownDirection::updUp : TUpDownDirection::updDown;
    if (!DoCanChange(static_cast<int16_t>(next), dir) || !*alive) return;
    FPosition = static_cast<int16_t>(next);
    UpdateAssociate();
    if (!*alive) return;
  }
  DoClick(button);
}

void TUpDown::UpdateAssociate() {
  if (!FAssociate) return;
  if (FAssociateChanging && FAssociate->HandleAllocated() && GetFocus() == FAssociate->Handle()) return;
  FAssociate->SetText(GroupedDigits(FPosition, FThousands ? FormatSettings().ThousandSeparator : Char{0}));
}

TUDBtnType TUpDown::ButtonAt(TPoint p) const {
  TRect c = GetClientRect();
  if (Orientation == TUDOrientation::udHorizontal) return p.X >= c.Width() / 2 ? TUDBtnType::btNext : TUDBtnType::btPrev;
  return p.Y < c.Height() / 2 ? TUDBtnType::btNext : TUDBtnType::btPrev;
}

void TUpDown::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      TCustomControl::Dispatch(msg);
      if (!FEnabled) return;
      FPressed = true;
      FPressedButton = ButtonAt(TPoint{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)});
      Invalidate();
      if (FHandle) SetTimer(FHandle, kRepeatTimer, kFirstRepeatMs);
      Step(FPressedButton);
      return;
    }
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (FPressed) {
        FPressed = false;
        if (FHandle) KillTimer(FHandle, kRepeatTimer);
        Invalidate();
      }
      TCustomControl::Dispatch(msg);
      return;
    case WM_TIMER:
      if (msg.WParam == kRepeatTimer) {
        if (!FPressed) {
          KillTimer(FHandle, kRepeatTimer);
          return;
        }
        SetTimer(FHandle, kRepeatTimer, kRepeatMs);
        Step(FPressedButton);
        return;
      }
      break;
    case WM_ERASEBKGND:
      msg.Result = 1;
      return;
    default:
      break;
  }
  TCustomControl::Dispatch(msg);
}

void TUpDown::Paint() {
  TCanvas* canvas = GetCanvas();
  TRect c = GetClientRect();
  bool horizontal = Orientation == TUDOrientation::udHorizontal;
  TRect first = c, second = c;
  if (horizontal) {
    first.Right = c.Width() / 2;
    second.Left = first.Right;
  } else {
    first.Bottom = c.Height() / 2;
    second.Top = first.Bottom;
  }
  UINT inactive = FEnabled ? 0 : DFCS_INACTIVE;
  auto state = [&](TUDBtnType b) { return inactive | (FPressed && FPressedButton == b ? DFCS_PUSHED : 0); };
  HDC dc = canvas->GetHandle();
  DrawFrameControl(dc, &first, DFC_SCROLL,
                   (horizontal ? DFCS_SCROLLLEFT : DFCS_SCROLLUP) | state(horizontal ? TUDBtnType::btPrev : TUDBtnType::btNext));
  DrawFrameControl(dc, &second, DFC_SCROLL,
                   (horizontal ? DFCS_SCROLLRIGHT : DFCS_SCROLLDOWN) | state(horizontal ? TUDBtnType::btNext : TUDBtnType::btPrev));
}

}  // namespace pf
