#pragma once
// Menu items and popup menus. A popup menu builds its menu handle from its items each time it
// pops up, lets the layer show it (a layer loop runs meanwhile) and clicks the chosen item.

#include <vector>

#include "platform/classlib/Controls.h"
#include "platform/user/Menu.h"

namespace pf {

class TMenu;

// A break starts a new column of the menu before the item; a bar break draws a line between.
enum class TMenuBreak { mbNone, mbBreak, mbBarBreak };
enum class TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

// The menu item type bits of a break.
UINT MenuBreakType(TMenuBreak b);

class TMenuItem : public TComponent {
  PF_CLASS(TMenuItem)
public:
  // "-" makes a separator; "&" marks the mnemonic.
  const String& GetCaption() const { return FCaption; }
  void SetCaption(const String& s) { FCaption = s; }
  bool Checked{false};
  bool Enabled{true};
  bool Visible{true};
  bool Default{false};
  bool RadioItem{false};
  TMenuBreak Break{TMenuBreak::mbNone};
  // A checked item of a radio group unchecks the others of its group in the same menu.
  bool AutoCheck{false};
  Byte GroupIndex{0};
  String Hint;
  TNotifyEvent OnClick;

  // The identifier the menu handle gives this item, unique in the program.
  UINT Command() const { return FCommand; }
  bool IsLine() const { return FCaption == u"-"; }

  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  TMenuItem* Items(Integer i) const { return FItems.at(static_cast<size_t>(i)); }
  TMenuItem* GetParent() const { return FParent; }
  Integer IndexOf(const TMenuItem* item) const;
  void Add(TMenuItem* item);
  void Insert(Integer index, TMenuItem* item);
  void Remove(TMenuItem* item);
  void Delete(Integer index);  // frees the item
  void Clear();                // frees every item
  // This item or a descendant with the command (nullptr when none).
  TMenuItem* Find(UINT command);
  // The item whose submenu has the handle (while the menu is shown).
  TMenuItem* FindBySubMenu(HMENU h);

  virtual void Click();

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;

private:
  friend class TMenu;
  friend class TPopupMenu;
  String FCaption;
  UINT FCommand{0};
  TMenuItem* FParent{nullptr};
  std::vector<TMenuItem*> FItems;
  HMENU FSubMenu{nullptr};  // while a built menu exists
};

class TMenu : public TComponent {
  PF_CLASS(TMenu)
public:
  TMenuItem* GetItems() const { return FItems; }
  TMenuItem* FindItem(UINT command) const { return FItems->Find(command); }

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;
  // A menu handle with the visible items (submenus included); the caller destroys it.
  HMENU BuildHandle();
  static void BuildInto(HMENU h, TMenuItem* parent);

  TMenuItem* FItems{nullptr};
};

enum class TPopupAlignment { paLeft, paRight, paCenter };
enum class TTrackButton { tbRightButton, tbLeftButton };

class TPopupMenu : public TMenu {
  PF_CLASS(TPopupMenu)
public:
  // Shows the menu at the screen point and clicks the chosen item; answers when the menu is gone.
  virtual void Popup(Integer x, Integer y);
  TComponent* PopupComponent{nullptr};
  TPopupAlignment Alignment{TPopupAlignment::paLeft};
  TTrackButton TrackButton{TTrackButton::tbRightButton};
  TBiDiMode BiDiMode{TBiDiMode::bdLeftToRight};
  bool IsRightToLeft() const { return BiDiMode != TBiDiMode::bdLeftToRight; }
  // The control pops the menu up itself on WM_CONTEXTMENU.
  bool AutoPopup{true};
  TNotifyEvent OnPopup;
  TNotifyEvent OnClose;

protected:
  void Notification(TComponent* c, TOperation op) override;
  virtual void DoPopup();
};

}  // namespace pf
