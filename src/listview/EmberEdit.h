#pragma once
// The editors of in-place editing: an edit control of the class library laid over the item's text,
// a one-line edit or a centred memo, whose window method the editor hooks.

#include "listview/EmberControl.h"
#include "listview/EmberPersistent.h"
#include "platform/classlib/StdCtrls.h"

namespace ember {

// Messages of the edit: the application was left (to the control), re-size the editor after a key
// (to the edit control), edit the cell a Tab or arrow moved to (to the control).
constexpr UINT WM_EMBER_EDITAPPDEACTIVATED = 0x80CC;
constexpr UINT WM_EMBER_EDITRESIZE = 0x80CD;
constexpr UINT WM_EMBER_EDITNEXT = 0x80CE;

class TEmberEdit : public TEdit {
  PF_CLASS(TEmberEdit)
};

class TEmberMemo : public TMemo {
  PF_CLASS(TEmberMemo)
protected:
  void CreateParams(TCreateParams& Params) override;
};

class TEmberBaseEditor : public TEmberInterfacedPersistent, public IEmberCellEditor {
  PF_CLASS(TEmberBaseEditor)
public:
  HRESULT QueryInterface(REFIID iid, void** out) override { return TEmberInterfacedPersistent::QueryInterface(iid, out); }
  ULONG AddRef() override { return TEmberInterfacedPersistent::AddRef(); }
  ULONG Release() override { return TEmberInterfacedPersistent::Release(); }

  bool AcceptEdit() override;
  HWND GetHandle() override;
  bool GetModified() override { return FModified; }
  void ControlWndHookProc(TMessage& Msg) override;
  void Hide() override;
  void Initialize(TEmberItem* Item, TEmberColumn* Column) override;
  void Finalize() override;
  bool PtInEditControl(TPoint WindowPt) override;
  void SelectAll() override;
  bool SetEditorFocus() override;
  void Show() override;

  TWinControl* GetEditor() const { return FEditor; }
  TEmberItem* GetItem() const { return FItem; }

protected:
  bool ImplementsInterface(REFIID iid, void** out) override;
  void SetEditor(TWinControl* Value) { FEditor = Value; }
  virtual void GetEditText(TEmberItem* Item, TEmberColumn* Column, String& Text);
  virtual void CalcEditorRect(const String& Text, TRect& R) = 0;
  virtual void CreateEditor(TWinControl*& Editor, TEmberColumn* Column, TWinControl* Parent) = 0;
  virtual TFont* GetEditorFont() = 0;
  virtual void GetText(Variant& Value) = 0;
  // Places the editor over the label of its cell.
  void Position();
  // The measured text rectangle grown by these and the text routine's flags.
  void MeasureText(const String& Text, UINT Flags, TSize Grow, TRect& R);

  TEmberColumn* FEditColumn{nullptr};
  TWinControl* FEditor{nullptr};
  TEmberItem* FItem{nullptr};
  bool FModified{false};
  TWndMethod FOldWndProc;
  bool FHooked{false};
  TEmberRectArrayObject FRectArray;
};

class TEmberStringEditor : public TEmberBaseEditor {
  PF_CLASS(TEmberStringEditor)
protected:
  void CalcEditorRect(const String& Text, TRect& R) override;
  void CreateEditor(TWinControl*& Editor, TEmberColumn* Column, TWinControl* Parent) override;
  TFont* GetEditorFont() override;
  void GetText(Variant& Value) override;
};

class TEmberMemoEditor : public TEmberBaseEditor {
  PF_CLASS(TEmberMemoEditor)
protected:
  void CalcEditorRect(const String& Text, TRect& R) override;
  void CreateEditor(TWinControl*& Editor, TEmberColumn* Column, TWinControl* Parent) override;
  TFont* GetEditorFont() override;
  void GetText(Variant& Value) override;
};

}  // namespace ember
