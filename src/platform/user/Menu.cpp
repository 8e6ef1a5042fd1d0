// Menus: the item lists behind the handles, and the popup menu shown through the toolkit.

#include "platform/user/Menu.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include <map>
#include <memory>
#include <vector>

#include "platform/gdi/QtConvert_p.h"
#include "platform/user/Layer_p.h"

namespace pf {

namespace {

struct TMenuItemObj {
  UINT Type{MFT_STRING};
  UINT State{0};
  UINT Id{0};
  HMENU SubMenu{nullptr};
  uintptr_t Data{0};
  String Text;
};

struct TMenuObj {
  std::vector<TMenuItemObj> Items;
};

std::map<uintptr_t, std::unique_ptr<TMenuObj>> gMenus;
uintptr_t gNextMenu = 0x1000;

TMenuObj* Find(HMENU h) {
  auto it = gMenus.find(reinterpret_cast<uintptr_t>(h));
  return it == gMenus.end() ? nullptr : it->second.get();
}

HMENU NewMenu() {
  uintptr_t id = gNextMenu++;
  gMenus[id] = std::make_unique<TMenuObj>();
  return reinterpret_cast<HMENU>(id);
}

// The index of an item by position or command (submenus searched too for a command, as the
// platform does); `menu` becomes the menu that holds it.
int Locate(TMenuObj*& menu, UINT item, bool byPosition) {
  if (!menu) return -1;
  if (byPosition) return item < menu->Items.size() ? static_cast<int>(item) : -1;
  for (size_t i = 0; i < menu->Items.size(); ++i)
    if (!menu->Items[i].SubMenu && menu->Items[i].Id == item) return static_cast<int>(i);
  for (TMenuItemObj& it : menu->Items) {
    if (!it.SubMenu) continue;
    TMenuObj* sub = Find(it.SubMenu);
    int i = Locate(sub, item, false);
    if (i >= 0) {
      menu = sub;
      return i;
    }
  }
  return -1;
}

TMenuItemObj FromFlags(UINT flags, UINT_PTR idOrSub, StringView text) {
  TMenuItemObj it;
  it.Type = flags & (MFT_RADIOCHECK | MF_SEPARATOR | MF_OWNERDRAW | MF_MENUBREAK | MF_MENUBARBREAK | MF_RIGHTJUSTIFY);
  it.State = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_DEFAULT);
  if (flags & MF_POPUP)
    it.SubMenu = reinterpret_cast<HMENU>(idOrSub);
  else
    it.Id = static_cast<UINT>(idOrSub);
  if (!(flags & MF_SEPARATOR)) it.Text = String(text);
  return it;
}

bool Insert(HMENU h, int index, TMenuItemObj item) {
  TMenuObj* m = Find(h);
  if (!m || (item.SubMenu && !Find(item.SubMenu))) return false;
  if (index < 0 || index > static_cast<int>(m->Items.size())) index = static_cast<int>(m->Items.size());
  m->Items.insert(m->Items.begin() + index, std::move(item));
  return true;
}

bool Remove(HMENU h, UINT position, UINT flags, bool destroySub) {
  TMenuObj* m = Find(h);
  int i = Locate(m, position, (flags & MF_BYPOSITION) != 0);
  if (i < 0) return false;
  HMENU sub = m->Items[static_cast<size_t>(i)].SubMenu;
  m->Items.erase(m->Items.begin() + i);
  if (destroySub && sub) DestroyMenu(sub);
  return true;
}

// ---- the toolkit's menu

struct TTracking {
  HWND Owner{nullptr};
  UINT Flags{0};
  UINT Chosen{0};
  bool Closed{false};
};

void Fill(QMenu* q, HMENU h, TTracking& t);

void InitPopup(QMenu* q, HMENU h, UINT index, TTracking& t) {
  if (!(t.Flags & TPM_NONOTIFY) && IsWindow(t.Owner))
    SendMessage(t.Owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(h), MAKELPARAM(static_cast<int>(index), 0));
  q->clear();
  Fill(q, h, t);
}

// The items as the toolkit's actions; a submenu is filled when it is about to open, after its
// WM_INITMENUPOPUP, so the owner can still change it.
void Fill(QMenu* q, HMENU h, TTracking& t) {
  TMenuObj* m = Find(h);
  if (!m) return;
  for (size_t i = 0; i < m->Items.size(); ++i) {
    const TMenuItemObj& it = m->Items[i];
    if (it.Type & MF_SEPARATOR) {
      q->addSeparator();
      continue;
    }
    QAction* a = nullptr;
    if (it.SubMenu) {
      QMenu* sub = q->addMenu(Q(it.Text));
      sub->setObjectName(QStringLiteral("PopupSubMenu"));
      HMENU subHandle = it.SubMenu;
      UINT index = static_cast<UINT>(i);
      QObject::connect(sub, &QMenu::aboutToShow, sub, [sub, subHandle, index, &t] { InitPopup(sub, subHandle, index, t); });
      a = sub->menuAction();
    } else {
      a = q->addAction(Q(it.Text));
      UINT id = it.Id;
      QObject::connect(a, &QAction::triggered, a, [id, &t] {
        t.Chosen = id;
        layer::Wake();
      });
    }
    a->setEnabled(!(it.State & (MF_GRAYED | MF_DISABLED)));
    if (it.State & MF_CHECKED) {
      a->setCheckable(true);
      a->setChecked(true);
    }
    if (it.State & MF_DEFAULT) {
      QFont f = a->font();
      f.setBold(true);
      a->setFont(f);
    }
  }
}

}  // namespace

HMENU CreatePopupMenu() { return NewMenu(); }
HMENU CreateMenu() { return NewMenu(); }

bool DestroyMenu(HMENU h) {
  auto it = gMenus.find(reinterpret_cast<uintptr_t>(h));
  if (it == gMenus.end()) return false;
  std::unique_ptr<TMenuObj> m = std::move(it->second);
  gMenus.erase(it);
  for (TMenuItemObj& item : m->Items)
    if (item.SubMenu) DestroyMenu(item.SubMenu);
  return true;
}

bool IsMenu(HMENU h) { return Find(h) != nullptr; }

bool AppendMenu(HMENU h, UINT flags, UINT_PTR idOrSub, StringView text) {
  return Insert(h, -1, FromFlags(flags, idOrSub, text));
}

bool InsertMenu(HMENU h, UINT position, UINT flags, UINT_PTR idOrSub, StringView text) {
  int index = -1;
  if (flags & MF_BYPOSITION) {
    index = position == 0xFFFFFFFFu ? -1 : static_cast<int>(position);
  } else {
    TMenuObj* m = Find(h);
    TMenuObj* holder = m;
    index = Locate(holder, position, false);
    if (holder != m) index = -1;  // an item of a submenu: the platform inserts there, we keep it simple
  }
  return Insert(h, index, FromFlags(flags, idOrSub, text));
}

bool InsertMenuItem(HMENU h, UINT item, bool byPosition, const MENUITEMINFO* info) {
  if (!info) return false;
  TMenuItemObj it;
  if (info->fMask & (MIIM_FTYPE | MIIM_TYPE)) it.Type = info->fType;
  if (info->fMask & MIIM_STATE) it.State = info->fState;
  if (info->fMask & MIIM_ID) it.Id = info->wID;
  if (info->fMask & MIIM_SUBMENU) it.SubMenu = info->hSubMenu;
  if (info->fMask & MIIM_DATA) it.Data = info->dwItemData;
  if ((info->fMask & MIIM_STRING) || ((info->fMask & MIIM_TYPE) && !(info->fType & MFT_SEPARATOR)))
    it.Text = info->dwTypeData;
  int index = -1;
  if (byPosition) {
    index = item == 0xFFFFFFFFu ? -1 : static_cast<int>(item);
  } else {
    TMenuObj* m = Find(h);
    index = Locate(m, item, false);
  }
  return Insert(h, index, std::move(it));
}

bool GetMenuItemInfo(HMENU h, UINT item, bool byPosition, MENUITEMINFO* info) {
  TMenuObj* m = Find(h);
  int i = Locate(m, item, byPosition);
  if (i < 0 || !info) return false;
  const TMenuItemObj& it = m->Items[static_cast<size_t>(i)];
  if (info->fMask & (MIIM_FTYPE | MIIM_TYPE)) info->fType = it.Type;
  if (info->fMask & MIIM_STATE) info->fState = it.State;
  if (info->fMask & MIIM_ID) info->wID = it.Id;
  if (info->fMask & MIIM_SUBMENU) info->hSubMenu = it.SubMenu;
  if (info->fMask & MIIM_DATA) info->dwItemData = it.Data;
  if (info->fMask & (MIIM_STRING | MIIM_TYPE)) info->dwTypeData = it.Text;
  return true;
}

bool SetMenuItemInfo(HMENU h, UINT item, bool byPosition, const MENUITEMINFO* info) {
  TMenuObj* m = Find(h);
  int i = Locate(m, item, byPosition);
  if (i < 0 || !info) return false;
  TMenuItemObj& it = m->Items[static_cast<size_t>(i)];
  if (info->fMask & (MIIM_FTYPE | MIIM_TYPE)) it.Type = info->fType;
  if (info->fMask & MIIM_STATE) it.State = info->fState;
  if (info->fMask & MIIM_ID) it.Id = info->wID;
  if (info->fMask & MIIM_SUBMENU) it.SubMenu = info->hSubMenu;
  if (info->fMask & MIIM_DATA) it.Data = info->dwItemData;
  if (info->fMask & (MIIM_STRING | MIIM_TYPE)) it.Text = info->dwTypeData;
  return true;
}

bool DeleteMenu(HMENU h, UINT position, UINT flags) { return Remove(h, position, flags, true); }
bool RemoveMenu(HMENU h, UINT position, UINT flags) { return Remove(h, position, flags, false); }

int GetMenuItemCount(HMENU h) {
  TMenuObj* m = Find(h);
  return m ? static_cast<int>(m->Items.size()) : -1;
}

UINT GetMenuItemID(HMENU h, int position) {
  TMenuObj* m = Find(h);
  if (!m || position < 0 || position >= static_cast<int>(m->Items.size())) return 0xFFFFFFFFu;
  const TMenuItemObj& it = m->Items[static_cast<size_t>(position)];
  return it.SubMenu ? 0xFFFFFFFFu : it.Id;
}

HMENU GetSubMenu(HMENU h, int position) {
  TMenuObj* m = Find(h);
  if (!m || position < 0 || position >= static_cast<int>(m->Items.size())) return nullptr;
  return m->Items[static_cast<size_t>(position)].SubMenu;
}

UINT GetMenuState(HMENU h, UINT item, UINT flags) {
  TMenuObj* m = Find(h);
  int i = Locate(m, item, (flags & MF_BYPOSITION) != 0);
  if (i < 0) return 0xFFFFFFFFu;
  const TMenuItemObj& it = m->Items[static_cast<size_t>(i)];
  UINT state = it.Type | it.State;
  if (it.SubMenu) state |= MF_POPUP | (static_cast<UINT>(GetMenuItemCount(it.SubMenu)) << 8);
  return state;
}

String GetMenuString(HMENU h, UINT item, UINT flags) {
  TMenuObj* m = Find(h);
  int i = Locate(m, item, (flags & MF_BYPOSITION) != 0);
  return i < 0 ? String() : m->Items[static_cast<size_t>(i)].Text;
}

UINT EnableMenuItem(HMENU h, UINT item, UINT flags) {
  TMenuObj* m = Find(h);
  int i = Locate(m, item, (flags & MF_BYPOSITION) != 0);
  if (i < 0) return 0xFFFFFFFFu;
  UINT& state = m->Items[static_cast<size_t>(i)].State;
  UINT old = state & (MF_GRAYED | MF_DISABLED);
  state = (state & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  return old;
}

DWORD CheckMenuItem(HMENU h, UINT item, UINT flags) {
  TMenuObj* m = Find(h);
  int i = Locate(m, item, (flags & MF_BYPOSITION) != 0);
  if (i < 0) return 0xFFFFFFFFu;
  UINT& state = m->Items[static_cast<size_t>(i)].State;
  UINT old = state & MF_CHECKED;
  state = (state & ~MF_CHECKED) | (flags & MF_CHECKED);
  return old;
}

bool SetMenuDefaultItem(HMENU h, UINT item, UINT byPosition) {
  TMenuObj* m = Find(h);
  if (!m) return false;
  for (TMenuItemObj& it : m->Items) it.State &= ~MF_DEFAULT;
  if (item == 0xFFFFFFFFu) return true;
  TMenuObj* holder = m;
  int i = Locate(holder, item, byPosition != 0);
  if (i < 0 || holder != m) return false;
  m->Items[static_cast<size_t>(i)].State |= MF_DEFAULT;
  return true;
}

bool RunLayerLoopUntil(const std::function<bool()>& done) {
  while (!done()) {
    MSG msg;
    if (!PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
      WaitMessage();
      continue;
    }
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // the quit is for the loop outside
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
  return true;
}

namespace {
std::function<UINT(HMENU, HWND)> gTrackHook;
}  // namespace

UINT TrackPopupMenuEx(HMENU h, UINT flags, int x, int y, HWND owner, const void*) {
  if (gTrackHook && Find(h) && IsWindow(owner)) {
    bool notify = !(flags & TPM_NONOTIFY);
    if (notify) SendMessage(owner, WM_ENTERMENULOOP, 1, 0);
    if (notify && IsWindow(owner)) SendMessage(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(h), 0);
    UINT chosen = gTrackHook(h, owner);
    if (notify && IsWindow(owner)) SendMessage(owner, WM_EXITMENULOOP, 1, 0);
    if (flags & TPM_RETURNCMD) return chosen;
    if (chosen && IsWindow(owner)) PostMessage(owner, WM_COMMAND, MAKEWPARAM(static_cast<int>(chosen), 0), 0);
    return 1;
  }
  if (!Find(h) || !IsWindow(owner) || !QApplication::instance()) return 0;
  TTracking t;
  t.Owner = owner;
  t.Flags = flags;
  bool notify = !(flags & TPM_NONOTIFY);
  if (notify) SendMessage(owner, WM_ENTERMENULOOP, 1, 0);
  if (!IsWindow(owner) || !Find(h)) return 0;
  std::unique_ptr<QMenu> q = std::make_unique<QMenu>();
  q->setObjectName(QStringLiteral("PopupMenu"));
  InitPopup(q.get(), h, 0, t);
  QObject::connect(q.get(), &QMenu::aboutToHide, q.get(), [&t] {
    t.Closed = true;
    layer::Wake();
  });
  QSize size = q->sizeHint();
  QPoint at(x, y);
  if (flags & TPM_RIGHTALIGN) at.rx() -= size.width();
  else if (flags & TPM_CENTERALIGN) at.rx() -= size.width() / 2;
  if (flags & TPM_BOTTOMALIGN) at.ry() -= size.height();
  else if (flags & TPM_VCENTERALIGN) at.ry() -= size.height() / 2;
  q->popup(at);
  // The toolkit gives the open menu the keyboard and the mouse; the layer's loop goes on.
  RunLayerLoopUntil([&] { return t.Closed || !q->isVisible(); });
  q->hide();
  // Nothing of the menu outlives the call: no late event can reach the actions' handlers.
  q->disconnect();
  q.reset();
  if (notify && IsWindow(owner)) SendMessage(owner, WM_EXITMENULOOP, 1, 0);
  if (flags & TPM_RETURNCMD) return t.Chosen;
  if (t.Chosen && IsWindow(owner)) PostMessage(owner, WM_COMMAND, MAKEWPARAM(static_cast<int>(t.Chosen), 0), 0);
  return 1;
}

UINT TrackPopupMenu(HMENU h, UINT flags, int x, int y, int, HWND owner, const TRect*) {
  return TrackPopupMenuEx(h, flags, x, y, owner);
}

namespace testing {
int LiveMenuCount() { return static_cast<int>(gMenus.size()); }
void SetTrackPopupMenuHook(std::function<UINT(HMENU, HWND)> hook) { gTrackHook = std::move(hook); }
}  // namespace testing

}  // namespace pf
