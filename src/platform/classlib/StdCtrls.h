#pragma once
// Standard controls: Qt's own widgets inside layer windows, so they edit, click and paint natively
// and can still be subclassed through WindowProc.

#include "platform/classlib/Controls.h"
#include "platform/classlib/Forms.h"

namespace pf {

class TButtonControl : public TWinControl {
  PF_CLASS(TButtonControl)
protected:
  void Create(TComponent* owner) override;
};

class TButton : public TButtonControl {
  PF_CLASS(TButton)
public:
  // Enter clicks the default button (unless another button has the focus), Esc the cancel one.
  bool GetDefault() const { return FDefault; }
  void SetDefault(bool v);
  bool Cancel{false};
  // Clicking sets the parent form's modal result to this (ending a modal loop).
  TModalResult ModalResult{mrNone};
  void Click() override;

protected:
  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& msg) override;

private:
  bool FDefault{false};
};

class TCheckBox : public TButtonControl {
  PF_CLASS(TCheckBox)
public:
  bool GetChecked() const;
  void SetChecked(bool v);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandleDone() override;
  void Dispatch(TMessage& msg) override;

private:
  bool FChecked{false};
};

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

class TLabel : public TWinControl {
  PF_CLASS(TLabel)
public:
  TAlignment Alignment{TAlignment::taLeftJustify};
  // The control that takes the focus for the label's mnemonic.
  TWinControl* FocusControl{nullptr};

protected:
  void Create(TComponent* owner) override;
  void CreateParams(TCreateParams& params) override;
};

class TCustomEdit : public TWinControl {
  PF_CLASS(TCustomEdit)
public:
  TNotifyEvent OnChange;
  bool GetReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v);
  Integer GetMaxLength() const { return FMaxLength; }
  void SetMaxLength(Integer v);
  Char PasswordChar{0};
  void SelectAll();
  void Clear() { SetText(String()); }
  bool Modified{false};
  // An edit entered from another control by the keyboard or the program (Tab, Shift+Tab, a
  // dialog's focus move) selects its whole text, so that what is typed replaces it; one entered by
  // a click keeps the caret where the click put it. A memo keeps its caret either way.
  bool AutoSelect{true};

protected:
  void Create(TComponent* owner) override;
  void CreateParams(TCreateParams& params) override;
  void CreateHandleDone() override;
  void Dispatch(TMessage& msg) override;
  void DoEnter() override;
  bool WantsKey(Word key) const override;
  virtual void Change();

  bool FReadOnly{false};
  Integer FMaxLength{0};

private:
  bool FClicking{false};       // the left button's press is being handled
  bool FSelectOnEnter{false};  // the focus arriving now comes from another control, not by a click
};

class TEdit : public TCustomEdit {
  PF_CLASS(TEdit)
};

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TMemo : public TCustomEdit {
  PF_CLASS(TMemo)
public:
  // The text by lines (split at CR LF, LF or CR). Adding a line after the last one goes in at the
  // end of the text without setting the rest again and scrolls the new line into view, with the
  // view at the start of the lines and the caret at the start of the new line.
  TStrings* GetLines() const { return FLines; }
  // The scroll bars the memo shows, always; a horizontal one keeps long lines from wrapping.
  TScrollStyle GetScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle v);
  // Lines longer than the memo's width go on below (without a horizontal scroll bar).
  bool GetWordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v);

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;
  void CreateParams(TCreateParams& params) override;
  bool WantsKey(Word key) const override;

private:
  TStrings* FLines{nullptr};
  TScrollStyle FScrollBars{TScrollStyle::ssNone};
  bool FWordWrap{true};
};

}  // namespace pf
