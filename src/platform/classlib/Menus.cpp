#include "platform/classlib/Menus.h"

#include <algorithm>

#include "platform/classlib/Forms.h"
#include "platform/rtl/Exceptions.h"

namespace pf {

namespace {
UINT gNextCommand = 1;
}  // namespace

// ---------------------------------------------------------------- TMenuItem

void TMenuItem::Create(TComponent* owner) {
  TComponent::Create(owner);
  FCommand = gNextCommand++;
  if (gNextCommand > 0xFFFF) gNextCommand = 1;  // commands travel in a word of WM_COMMAND
}

void TMenuItem::Destroy() {
  Clear();
  if (FParent) FParent->Remove(this);
  TComponent::Destroy();
}

Integer TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  return it == FItems.end() ? -1 : static_cast<Integer>(it - FItems.begin());
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(Integer index, TMenuItem* item) {
  if (!item) return;
  if (item->FParent) throw EInvalidOperation(u"Menu item is already inserted");
  index = std::clamp(index, 0, Count());
  FItems.insert(FItems.begin() + index, item);
  item->FParent = this;
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  if (it == FItems.end()) return;
  FItems.erase(it);
  item->FParent = nullptr;
}

void TMenuItem::Delete(Integer index) {
  TMenuItem* item = FItems.at(static_cast<size_t>(index));
  Remove(item);
  item->Free();
}

void TMenuItem::Clear() {
  while (!FItems.empty()) Delete(Count() - 1);
}

TMenuItem* TMenuItem::Find(UINT command) {
  if (FCommand == command) return this;
  for (TMenuItem* c : FItems)
    if (TMenuItem* f = c->Find(command)) return f;
  return nullptr;
}

TMenuItem* TMenuItem::FindBySubMenu(HMENU h) {
  if (FSubMenu == h) return this;
  for (TMenuItem* c : FItems)
    if (TMenuItem* f = c->FindBySubMenu(h)) return f;
  return nullptr;
}

void TMenuItem::Click() {
  if (!Enabled) return;
  if (AutoCheck && !(RadioItem && Checked)) {
    Checked = !Checked;
    if (Checked && RadioItem && FParent)
      for (TMenuItem* sibling : FParent->FItems)
        if (sibling != this && sibling->RadioItem && sibling->GroupIndex == GroupIndex) sibling->Checked = false;
  }
  if (TNotifyEvent handler = OnClick) handler(this);
}

// ---------------------------------------------------------------- TMenu

void TMenu::Create(TComponent* owner) {
  TComponent::Create(owner);
  FItems = TMenuItem::New(nullptr);
}

void TMenu::Destroy() {
  FreeAndNil(FItems);
  TComponent::Destroy();
}

UINT MenuBreakType(TMenuBreak b) {
  switch (b) {
    case TMenuBreak::mbBreak: return MFT_MENUBREAK;
    case TMenuBreak::mbBarBreak: return MFT_MENUBARBREAK;
    case TMenuBreak::mbNone: break;
  }
  return 0;
}

void TMenu::BuildInto(HMENU h, TMenuItem* parent) {
  for (TMenuItem* item : parent->FItems) {
    if (!item->Visible) continue;
    if (item->IsLine()) {
      AppendMenu(h, MF_SEPARATOR, 0, u"");
      continue;
    }
    MENUITEMINFO info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_DATA;
    info.fType = (item->RadioItem ? MFT_RADIOCHECK : MFT_STRING) | MenuBreakType(item->Break);
    info.fState = (item->Enabled ? 0 : MFS_GRAYED) | (item->Checked ? MFS_CHECKED : 0) | (item->Default ? MFS_DEFAULT : 0);
    info.wID = item->FCommand;
    info.dwTypeData = item->FCaption;
    info.dwItemData = reinterpret_cast<uintptr_t>(item);
    item->FSubMenu = nullptr;
    if (item->Count() > 0) {
      item->FSubMenu = CreatePopupMenu();
      BuildInto(item->FSubMenu, item);
      info.fMask |= MIIM_SUBMENU;
      info.hSubMenu = item->FSubMenu;
    }
    InsertMenuItem(h, 0xFFFFFFFFu, true, &info);
  }
}

HMENU TMenu::BuildHandle() {
  HMENU h = CreatePopupMenu();
  FItems->FSubMenu = h;
  BuildInto(h, FItems);
  return h;
}

// ---------------------------------------------------------------- TPopupMenu

void TPopupMenu::Notification(TComponent* c, TOperation op) {
  TMenu::Notification(c, op);
  if (op == TOperation::opRemove && c == PopupComponent) PopupComponent = nullptr;
}

void TPopupMenu::DoPopup() {
  if (TNotifyEvent handler = OnPopup) handler(this);
}

void TPopupMenu::Popup(Integer x, Integer y) {
  DoPopup();
  HMENU h = BuildHandle();
  // The menu's messages go to a hidden window of its own, as the class library's popup list;
  // a submenu opening is a click on its item.
  HWND owner = CreateWindowEx(0, u"TPUtilWindow", u"", WS_POPUP, 0, 0, 0, 0, nullptr,
                              [this, h](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                                if (m == WM_INITMENUPOPUP && reinterpret_cast<HMENU>(wp) != h)
                                  if (TMenuItem* item = FItems->FindBySubMenu(reinterpret_cast<HMENU>(wp))) item->Click();
                                return DefWindowProc(w, m, wp, lp);
                              });
  UINT flags = TPM_RETURNCMD | (TrackButton == TTrackButton::tbRightButton ? TPM_RIGHTBUTTON : TPM_LEFTBUTTON);
  if (Alignment == TPopupAlignment::paRight) flags |= TPM_RIGHTALIGN;
  if (Alignment == TPopupAlignment::paCenter) flags |= TPM_CENTERALIGN;
  UINT command = 0;
  try {
    command = TrackPopupMenuEx(h, flags, x, y, owner);
  } catch (...) {
    DestroyWindow(owner);
    DestroyMenu(h);
    throw;
  }
  DestroyWindow(owner);
  DestroyMenu(h);
  if (TNotifyEvent handler = OnClose) handler(this);
  if (command == 0) return;
  if (TMenuItem* item = FindItem(command)) item->Click();
}

}  // namespace pf
