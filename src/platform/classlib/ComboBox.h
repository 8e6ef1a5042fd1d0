#pragma once
// A drop-down list whose items carry objects (or small integers in the object slot). OnChange
// fires when the user picks an item, never when the program sets ItemIndex or the items.

#include "platform/classlib/Controls.h"

namespace pf {

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TComboBox : public TWinControl {
  PF_CLASS(TComboBox)
public:
  // The items; changes show at once.
  TStrings* GetItems() const { return FItems.get(); }
  Integer GetItemIndex() const { return FItemIndex; }
  void SetItemIndex(Integer index);
  // The selected item's text (empty when none is selected).
  String GetText() const override;

  TComboBoxStyle GetStyle() const { return FStyle; }
  void SetStyle(TComboBoxStyle style);
  Integer DropDownCount{8};

  TNotifyEvent OnChange;

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;
  void CreateHandleDone() override;
  void Dispatch(TMessage& msg) override;
  virtual void Change();

private:
  void ItemsChanged();
  void SyncWidget();
  Owned<TStringList> FItems;
  Integer FItemIndex{-1};
  TComboBoxStyle FStyle{TComboBoxStyle::csDropDownList};
};

}  // namespace pf
