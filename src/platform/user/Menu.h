#pragma once
// Menus under opaque handles, as the platform keeps them: items with a command identifier, a
// text, a state and an optional submenu. TrackPopupMenuEx shows one as a toolkit menu opened
// without a loop of its own and waits for it in a layer loop, so timers, painting and posted
// messages go on meanwhile; the owner hears WM_INITMENUPOPUP before each menu opens.

#include <functional>

#include "platform/user/User.h"

namespace pf {

struct HMENU__;
using HMENU = HMENU__*;

constexpr UINT WM_DRAWITEM = 0x002B;
constexpr UINT WM_MEASUREITEM = 0x002C;
constexpr UINT WM_INITMENUPOPUP = 0x0117;
constexpr UINT WM_MENUSELECT = 0x011F;
constexpr UINT WM_MENUCHAR = 0x0120;
constexpr UINT WM_UNINITMENUPOPUP = 0x0125;
constexpr UINT WM_ENTERMENULOOP = 0x0211;
constexpr UINT WM_EXITMENULOOP = 0x0212;

constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_MENUBARBREAK = 0x0020;
constexpr UINT MF_MENUBREAK = 0x0040;
constexpr UINT MF_OWNERDRAW = 0x0100;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MF_DEFAULT = 0x1000;
constexpr UINT MF_RIGHTJUSTIFY = 0x4000;

constexpr UINT MIIM_STATE = 0x0001;
constexpr UINT MIIM_ID = 0x0002;
constexpr UINT MIIM_SUBMENU = 0x0004;
constexpr UINT MIIM_CHECKMARKS = 0x0008;
constexpr UINT MIIM_TYPE = 0x0010;
constexpr UINT MIIM_DATA = 0x0020;
constexpr UINT MIIM_STRING = 0x0040;
constexpr UINT MIIM_BITMAP = 0x0080;
constexpr UINT MIIM_FTYPE = 0x0100;

constexpr UINT MFT_STRING = 0x0000;
constexpr UINT MFT_MENUBARBREAK = 0x0020;
constexpr UINT MFT_MENUBREAK = 0x0040;
constexpr UINT MFT_OWNERDRAW = 0x0100;
constexpr UINT MFT_RADIOCHECK = 0x0200;
constexpr UINT MFT_SEPARATOR = 0x0800;
constexpr UINT MFT_RIGHTORDER = 0x2000;
constexpr UINT MFT_RIGHTJUSTIFY = 0x4000;
constexpr UINT MFS_ENABLED = 0x0000;
constexpr UINT MFS_UNCHECKED = 0x0000;
constexpr UINT MFS_GRAYED = 0x0003;
constexpr UINT MFS_DISABLED = 0x0003;
constexpr UINT MFS_CHECKED = 0x0008;
constexpr UINT MFS_HILITE = 0x0080;
constexpr UINT MFS_DEFAULT = 0x1000;

constexpr UINT TPM_LEFTBUTTON = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_CENTERALIGN = 0x0004;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_VCENTERALIGN = 0x0010;
constexpr UINT TPM_BOTTOMALIGN = 0x0020;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;

// An item as InsertMenuItem, GetMenuItemInfo and SetMenuItemInfo see it; fMask says which fields
// count. The text is a string of its own (MIIM_STRING, or MIIM_TYPE with MFT_STRING).
struct MENUITEMINFO {
  UINT cbSize{sizeof(MENUITEMINFO)};
  UINT fMask{0};
  UINT fType{0};
  UINT fState{0};
  UINT wID{0};
  HMENU hSubMenu{nullptr};
  uintptr_t dwItemData{0};
  String dwTypeData;
};

HMENU CreatePopupMenu();
HMENU CreateMenu();
// Frees the menu and its submenus.
bool DestroyMenu(HMENU menu);
bool IsMenu(HMENU menu);
// `idOrSubMenu` is the command identifier, or the submenu's handle with MF_POPUP (the menu then
// owns the submenu). `text` is ignored for a separator.
bool AppendMenu(HMENU menu, UINT flags, UINT_PTR idOrSubMenu, StringView text);
// Inserts before the item at `position` (MF_BYPOSITION; -1 or beyond the end appends) or before
// the item with that command identifier.
bool InsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrSubMenu, StringView text);
bool InsertMenuItem(HMENU menu, UINT item, bool byPosition, const MENUITEMINFO* info);
bool GetMenuItemInfo(HMENU menu, UINT item, bool byPosition, MENUITEMINFO* info);
bool SetMenuItemInfo(HMENU menu, UINT item, bool byPosition, const MENUITEMINFO* info);
// DeleteMenu frees an item's submenu, RemoveMenu leaves it to the caller.
bool DeleteMenu(HMENU menu, UINT position, UINT flags);
bool RemoveMenu(HMENU menu, UINT position, UINT flags);
int GetMenuItemCount(HMENU menu);  // -1 for a bad handle
UINT GetMenuItemID(HMENU menu, int position);  // 0xFFFFFFFF for a submenu or a bad position
HMENU GetSubMenu(HMENU menu, int position);
// The item's MF_ flags (a submenu's with its item count in the high byte); 0xFFFFFFFF when none.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
String GetMenuString(HMENU menu, UINT item, UINT flags);
// Answer the previous state (MF_ENABLED/MF_GRAYED, MF_CHECKED/MF_UNCHECKED), -1 when no item.
UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
bool SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition);

// Shows the menu at the screen point, the owner hearing WM_ENTERMENULOOP, WM_INITMENUPOPUP for
// the menu and for each submenu as it opens, WM_EXITMENULOOP. With TPM_RETURNCMD answers the
// chosen command (0 when the menu was dismissed); otherwise posts WM_COMMAND with it to the
// owner and answers nonzero. Fails (0) without a live owner.
UINT TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, const void* params = nullptr);
UINT TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const TRect* rect = nullptr);

// The layer loop of what waits for the toolkit without a loop of its own (a menu, a file dialog):
// dispatches messages, timers and painting included, until `done` holds. A WM_QUIT ends it and is
// posted again for the loop outside; the answer is then false.
bool RunLayerLoopUntil(const std::function<bool()>& done);

namespace testing {
// The number of live menu handles (tests check that nothing leaks).
int LiveMenuCount();
// While set, TrackPopupMenuEx shows nothing: the owner hears WM_ENTERMENULOOP, WM_INITMENUPOPUP
// for the menu and WM_EXITMENULOOP as usual, and the hook's answer is the chosen command (0 for
// none). An empty hook shows menus again.
void SetTrackPopupMenuHook(std::function<UINT(HMENU menu, HWND owner)> hook);
}  // namespace testing

}  // namespace pf
