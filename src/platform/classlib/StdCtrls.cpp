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
  switch (msg.Msg) {
    case CN_COMMAND:
      if (HIWORD(msg.WParam) == EN_CHANGE) Change();
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      // The press gives the focus in its default handling, after it has put the caret.
      std::shared_ptr<bool> alive = FAlive;
      FClicking = true;
      TWinControl::Dispatch(msg);
      if (*alive) FClicking = false;
      return;
    }
    case WM_SETFOCUS: {
      // The focus coming back to the form's active control (its window active again after a
      // message box, say) is no entering: the text keeps its selection.
      TCustomForm* form = GetParentForm(this);
      FSelectOnEnter = AutoSelect && !FClicking && !(form && form->GetActiveControl() == this) &&
                       !(GetWindowLongPtr(FHandle, GWL_STYLE) & ES_MULTILINE);
      std::shared_ptr<bool> alive = FAlive;
      TWinControl::Dispatch(msg);
      if (*alive) FSelectOnEnter = false;
      return;
    }
    default:
      TWinControl::Dispatch(msg);
  }
}

void TCustomEdit::DoEnter() {
  if (FSelectOnEnter) SelectAll();
  TWinControl::DoEnter();
}

namespace {

// A memo's lines are its text: read by splitting it, changed by setting it again, except that a
// line added after the last goes in at the end as the customer would type it, so the view
// follows it down.
class TMemoStrings : public TStrings {
  PF_CLASS(TMemoStrings)
public:
  TMemo* Memo{nullptr};

  Integer Count() const override { return Split()->Count(); }
  String Get(Integer index) const override { return Split()->Get(index); }
  void Put(Integer index, const String& s) override {
    Owned<TStringList> lines = Split();
    lines->Put(index, s);
    Join(*lines);
  }
  TObject* GetObject(Integer) const override { return nullptr; }
  void PutObject(Integer, TObject*) override {}
  void Insert(Integer index, const String& s) override {
    Owned<TStringList> lines = Split();
    const Integer count = lines->Count();
    if (index == count && Memo->HandleAllocated()) {
      const String text = count == 0 && Memo->GetText().empty() ? s : u"\r\n" + s;
      const LRESULT end = SendMessage(Memo->Handle(), WM_GETTEXTLENGTH, 0, 0);
      SendMessage(Memo->Handle(), EM_SETSEL, static_cast<WPARAM>(end), end);
      SendMessage(Memo->Handle(), EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text.c_str()));
      // The caret waits at the start of the new line: a long line (a lab's reply in the upload
      // log) would otherwise pull the view sideways to its end, and the start of every line,
      // where the time and the first words stand, would be out of sight.
      const LRESULT start = SendMessage(Memo->Handle(), EM_LINEINDEX, static_cast<WPARAM>(-1), 0);
      SendMessage(Memo->Handle(), EM_SETSEL, static_cast<WPARAM>(start), start);
      SendMessage(Memo->Handle(), EM_SCROLLCARET, 0, 0);
      return;
    }
    lines->Insert(index, s);
    Join(*lines);
  }
  void Delete(Integer index) override {
    Owned<TStringList> lines = Split();
    lines->Delete(index);
    Join(*lines);
  }
  void Clear() override { Memo->SetText(String()); }

private:
  Owned<TStringList> Split() const {
    Owned<TStringList> lines(TStringList::New());
    lines->SetText(Memo->GetText());
    return lines;
  }
  void Join(const TStringList& lines) {
    String text = lines.GetText();
    if (text.size() >= 2) text.resize(text.size() - 2);  // no line break after the last line
    Memo->SetText(text);
  }
};

}  // namespace

void TMemo::Create(TComponent* owner) {
  TCustomEdit::Create(owner);
  auto* lines = TMemoStrings::New();
  lines->Memo = this;
  FLines = lines;
}

void TMemo::Destroy() {
  FreeAndNil(FLines);
  TCustomEdit::Destroy();
}

void TMemo::SetScrollBars(TScrollStyle v) {
  if (v == FScrollBars) return;
  FScrollBars = v;
  RecreateWnd();
}

void TMemo::SetWordWrap(bool v) {
  if (v == FWordWrap) return;
  FWordWrap = v;
  RecreateWnd();
}

void TMemo::CreateParams(TCreateParams& p) {
  TCustomEdit::CreateParams(p);
  p.Style |= ES_MULTILINE;
  if (FWordWrap) p.Style &= ~ES_AUTOHSCROLL;
  if (FScrollBars == TScrollStyle::ssHorizontal || FScrollBars == TScrollStyle::ssBoth) p.Style |= WS_HSCROLL;
  if (FScrollBars == TScrollStyle::ssVertical || FScrollBars == TScrollStyle::ssBoth) p.Style |= WS_VSCROLL;
}

bool TMemo::WantsKey(Word key) const { return key != VK_ESCAPE && key != VK_TAB; }

}  // namespace pf
