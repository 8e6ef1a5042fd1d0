#include "platform/classlib/StdCtrls.h"

namespace pf {

// ---------------------------------------------------------------- buttons

void TButtonControl::Create(TComponent* owner) {
  TWinControl::Create(owner);
  // A button clicks through its window's notification, not through the mouse handling of
  // TControl, so a click is never counted twice.
  ControlStyle.Exclude(TControlStyleItem::csClickEvents);
  TabStop = true;
}

void TButton::SetDefault(bool v) {
  FDefault = v;
  if (HandleAllocated()) {
    DWORD style = static_cast<DWORD>(GetWindowLongPtr(FHandle, GWL_STYLE));
    style = (style & ~DWORD{0xF}) | (v ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    SetWindowLongPtr(FHandle, GWL_STYLE, static_cast<LONG_PTR>(style));
  }
}

void TButton::CreateParams(TCreateParams& p) {
  TButtonControl::CreateParams(p);
  p.WinClassName = u"BUTTON";
  p.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::Click() {
  if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(ModalResult);
  TButtonControl::Click();
}

void TButton::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CN_COMMAND:
      if (HIWORD(msg.WParam) == BN_CLICKED) Click();
      return;
    case CM_DIALOGKEY: {
      // Enter belongs to the focused button, or to the default one while no button has the
      // focus; Esc to the cancel button. Keys with Shift, Ctrl or Alt are not dialog keys here.
      TWinControl* focused = FindControl(GetFocus());
      bool active = focused == this || (FDefault && !dynamic_cast<TButton*>(focused));
      bool take = (msg.WParam == VK_RETURN && active) || (msg.WParam == VK_ESCAPE && Cancel);
      if (take && KeyDataToShiftState(msg.LParam).Empty() && CanFocus()) {
        Click();
        msg.Result = 1;
      }
      return;
    }
    default:
      TButtonControl::Dispatch(msg);
  }
}

bool TCheckBox::GetChecked() const {
  if (FHandle) return SendMessage(FHandle, BM_GETCHECK, 0, 0) == BST_CHECKED;
  return FChecked;
}

void TCheckBox::SetChecked(bool v) {
  if (v == GetChecked()) return;
  FChecked = v;
  if (FHandle) SendMessage(FHandle, BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
  TButtonControl::Click();  // a programmatic change fires OnClick, as the class library's does
}

void TCheckBox::CreateParams(TCreateParams& p) {
  TButtonControl::CreateParams(p);
  p.WinClassName = u"BUTTON";
  p.Style |= BS_AUTOCHECKBOX;
}

void TCheckBox::CreateHandleDone() {
  SendMessage(FHandle, BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::Dispatch(TMessage& msg) {
  if (msg.Msg == CN_COMMAND) {
    if (HIWORD(msg.WParam) == BN_CLICKED) {
      FChecked = SendMessage(FHandle, BM_GETCHECK, 0, 0) == BST_CHECKED;
      TButtonControl::Click();
    }
    return;
  }
  TButtonControl::Dispatch(msg);
}

// ---------------------------------------------------------------- label

void TLabel::Create(TComponent* owner) {
  TWinControl::Create(owner);
  FParentColor = true;
}

void TLabel::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.WinClassName = u"STATIC";
  if (Alignment == TAlignment::taCenter) p.Style |= SS_CENTER;
  if (Alignment == TAlignment::taRightJustify) p.Style |= SS_RIGHT;
}

// ---------------------------------------------------------------- edits

void TCustomEdit::Create(TComponent* owner) {
  TWinControl::Create(owner);
  TabStop = true;
  FColor = clWindow;
}

void TCustomEdit::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.WinClassName = u"EDIT";
  p.Style |= ES_AUTOHSCROLL;
  if (FReadOnly) p.Style |= ES_READONLY;
  if (PasswordChar) p.Style |= ES_PASSWORD;
}

void TCustomEdit::CreateHandleDone() {
  if (FMaxLength > 0) SendMessage(FHandle, EM_LIMITTEXT, static_cast<WPARAM>(FMaxLength), 0);
}

void TCustomEdit::SetReadOnly(bool v) {
  FReadOnly = v;
  if (FHandle) SendMessage(FHandle, EM_SETREADONLY, v ? 1 : 0, 0);
}

void TCustomEdit::SetMaxLength(Integer v) {
  FMaxLength = v;
  if (FHandle) SendMessage(FHandle, EM_LIMITTEXT, static_cast<WPARAM>(v), 0);
}

void TCustomEdit::SelectAll() {
  if (FHandle) SendMessage(FHandle, EM_SETSEL, 0, -1);
}

bool TCustomEdit::WantsKey(Word key) const { return key != VK_RETURN && key != VK_ESCAPE && key != VK_TAB; }

void TCustomEdit::Change() {
  Modified = true;
  if (TNotifyEvent handler = OnChange) handler(this);
}

void TCustomEdit::Dispatch(TMessage& msg) {
  if (msg.Msg == CN_COMMAND) {
    if (HIWORD(msg.WParam) == EN_CHANGE) Change();
    return;
  }
  TWinControl::Dispatch(msg);
}

void TMemo::CreateParams(TCreateParams& p) {
  TCustomEdit::CreateParams(p);
  p.Style |= ES_MULTILINE;
}

bool TMemo::WantsKey(Word key) const { return key != VK_ESCAPE && key != VK_TAB; }

}  // namespace pf
