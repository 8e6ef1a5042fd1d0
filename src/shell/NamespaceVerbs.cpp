// TNamespace: verbs on items through the shell's own context menus (copy, cut, delete, paste,
// properties), showing those menus with a custom submenu and callbacks, and drag and drop
// forwarded to an item's drop target.

#include "platform/classlib/Controls.h"
#include "platform/kernel/Modules.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "platform/user/Messages.h"
#include "shell/ShellContextMenu.h"
#include "shell/ShellUtilities.h"

namespace shell {

namespace {

constexpr UINT kFirstCommand = 1;
constexpr UINT kLastCommand = 32767;

struct TErrorModeGuard {
  UINT Old;
  TErrorModeGuard() : Old(SetErrorMode(0x8001)) {}
  ~TErrorModeGuard() { SetErrorMode(Old); }
};

struct TPopupGuard {
  HMENU Menu;
  TPopupGuard() : Menu(CreatePopupMenu()) {}
  ~TPopupGuard() { DestroyMenu(Menu); }
};

// The menu being shown or run is the item's current one until it is done, on every way out: its
// verbs and help texts can be asked and menu messages reach it, also from inside its command.
class TCurrentMenu {
public:
  TCurrentMenu(ComPtr<IContextMenu>& menuField, ComPtr<IContextMenu2>& menu2Field, const ComPtr<IContextMenu>& menu)
      : FMenuField(menuField), FMenu2Field(menu2Field), FMenu(menu) {
    ComPtr<IContextMenu3> m3;
    FMenu.As(m3);
    if (m3) FMenu2 = m3;
    else FMenu.As(FMenu2);
    FMenuField = FMenu;
    FMenu2Field = FMenu2;
  }
  ~TCurrentMenu() {
    FMenuField = nullptr;
    FMenu2Field = nullptr;
  }
  TCurrentMenu(const TCurrentMenu&) = delete;
  TCurrentMenu& operator=(const TCurrentMenu&) = delete;
  // The most capable of the menu's interfaces.
  IContextMenu* Best() const { return FMenu2 ? static_cast<IContextMenu*>(FMenu2.Get()) : FMenu.Get(); }

private:
  ComPtr<IContextMenu>& FMenuField;
  ComPtr<IContextMenu2>& FMenu2Field;
  ComPtr<IContextMenu> FMenu;
  ComPtr<IContextMenu2> FMenu2;
};

bool KeyDown(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

bool ShiftOf(TExecuteVerbShift s) {
  switch (s) {
    case TExecuteVerbShift::evsUp: return false;
    case TExecuteVerbShift::evsDown: return true;
    case TExecuteVerbShift::evsCurrent: break;
  }
  return KeyDown(VK_SHIFT);
}

HWND WindowOf(TWinControl* owner) { return owner ? owner->GetHandle() : nullptr; }

bool WideCommandString(IContextMenu* menu, UINT offset, UINT type, String& out) {
  Char w[128]{};
  if (!menu || FAILED(menu->GetCommandString(offset, type, nullptr, w, 128))) return false;
  w[127] = 0;
  out = w;
  return true;
}

bool AnsiCommandString(IContextMenu* menu, UINT offset, UINT type, String& out) {
  char a[128]{};
  if (!menu || FAILED(menu->GetCommandString(offset, type, nullptr, a, 128))) return false;
  a[127] = 0;
  out = AnsiToString(a);
  return true;
}

// The verb or help text a caller asks of the current menu: wide on the NT platform, else (or
// when that fails) the 8-bit form; nothing when both fail.
bool CommandString(IContextMenu* menu, UINT offset, UINT wideType, UINT ansiType, String& out) {
  if (common::IsWideApiPlatform() && WideCommandString(menu, offset, wideType, out)) return true;
  return AnsiCommandString(menu, offset, ansiType, out);
}

// The verb of a menu item as the menu itself is searched and reported: in the platform's one
// form only, so a handler that names its verbs in the other form is not matched by name.
bool CommandVerb(IContextMenu* menu, UINT offset, String& out) {
  return common::IsWideApiPlatform() ? WideCommandString(menu, offset, GCS_VERBW, out)
                                     : AnsiCommandString(menu, offset, GCS_VERBA, out);
}

void FillMask(CMINVOKECOMMANDINFOEX& info, bool shift, bool control) {
  info.fMask = CMIC_MASK_ASYNCOK;
  if (shift) info.fMask |= CMIC_MASK_SHIFT_DOWN;
  if (control) info.fMask |= CMIC_MASK_CONTROL_DOWN;
}

}  // namespace

TMultiFileProperties BoundMultiFileProperties() {
  HMODULE shell32 = GetModuleHandleA("shell32.dll");
  return shell32 ? ProcAs<HRESULT(IDataObject*, DWORD)>(GetProcAddress(shell32, "SHMultiFileProperties")) : nullptr;
}

void FindMenuVerb(IContextMenu* contextMenu, HMENU menu, const String& verb, TMenuVerb& out) {
  out = TMenuVerb{};
  if (verb.empty() || !contextMenu) return;
  bool nt = common::IsWideApiPlatform();
  String wanted = verb;
  UINT defaultId = 0xFFFFFFFFu;
  Integer count = GetMenuItemCount(menu);
  // The menu's default item as the platform gives it: a disabled one is none.
  for (Integer i = 0; i < count; ++i)
    if ((GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & (MF_DEFAULT | MF_GRAYED | MF_DISABLED)) == MF_DEFAULT)
      defaultId = GetMenuItemID(menu, i);
  for (Integer i = 0; i < count; ++i) {
    UINT id = GetMenuItemID(menu, i);
    if (id == 0 || id == 0xFFFFFFFFu) continue;
    String itemVerb;
    if (!CommandVerb(contextMenu, id - 1, itemVerb)) continue;
    if (id == defaultId && wanted == u"VIRTUAL_DEFAULT") wanted = itemVerb;
    if (common::WideStrICompare(itemVerb, wanted) == 0) {
      out.A = MakeVerbOffset(id - 1);
      if (nt) out.W = reinterpret_cast<const Char*>(MakeVerbOffset(id - 1));
      return;
    }
  }
  out.TextA = StringToAnsi(verb);
  out.A = out.TextA.c_str();
  if (nt) {
    out.TextW = verb;
    out.W = out.TextW.c_str();
  }
}

HRESULT DragEffectOfKeys(Integer grfKeyState) {
  bool control = grfKeyState & MK_CONTROL, shift = grfKeyState & MK_SHIFT;
  if (control && shift) return DROPEFFECT_LINK;
  if (control) return DROPEFFECT_COPY;
  if (shift) return DROPEFFECT_NONE;
  return DROPEFFECT_MOVE;
}

// ---- Interfaces ----

ComPtr<IContextMenu> TNamespace::GetContextMenuInterface() {
  ComPtr<IContextMenu> menu;
  ComPtr<IShellFolder> parent = GetParentShellFolder();
  const ITEMIDLIST* one = FRelativePIDL;
  if (parent) parent->GetUIObjectOf(ShellOwnerWindow(), 1, &one, IContextMenu::Iid, nullptr, menu.GetVoidAddress());
  return menu;
}

ComPtr<IContextMenu2> TNamespace::GetContextMenu2Interface() {
  ComPtr<IContextMenu2> m2;
  if (ComPtr<IContextMenu> m = GetContextMenuInterface()) m.As(m2);
  FCurrentContextMenu2 = m2;
  return m2;
}

ComPtr<IContextMenu3> TNamespace::GetContextMenu3Interface() {
  ComPtr<IContextMenu3> m3;
  if (ComPtr<IContextMenu> m = GetContextMenuInterface()) m.As(m3);
  FCurrentContextMenu2 = m3;
  return m3;
}

ComPtr<IDataObject> TNamespace::GetDataObjectInterface() {
  ComPtr<IDataObject> data;
  ComPtr<IShellFolder> parent = GetParentShellFolder();
  const ITEMIDLIST* one = FRelativePIDL;
  if (parent) parent->GetUIObjectOf(ShellOwnerWindow(), 1, &one, IDataObject::Iid, nullptr, data.GetVoidAddress());
  return data;
}

ComPtr<IDropTarget> TNamespace::GetDropTargetInterface() {
  if (!FDropTargetInterface) {
    ComPtr<IShellFolder> parent = GetParentShellFolder();
    const ITEMIDLIST* one = FRelativePIDL;
    if (parent)
      parent->GetUIObjectOf(ShellOwnerWindow(), 1, &one, IDropTarget::Iid, nullptr,
                            FDropTargetInterface.GetVoidAddress());
    if (!FDropTargetInterface && IsDesktop() && PhysicalDesktopNamespace && PhysicalDesktopNamespace != this)
      FDropTargetInterface = PhysicalDesktopNamespace->GetDropTargetInterface();
  }
  return FDropTargetInterface;
}

// ---- Can...All ----

bool TNamespace::CanCopyAll(const TNamespaceArray& a) {
  if (a.empty()) return false;
  for (TNamespace* ns : a)
    if (!ns->GetCanCopy()) return false;
  return true;
}
bool TNamespace::CanCutAll(const TNamespaceArray& a) { return CanDeleteAll(a); }
bool TNamespace::CanDeleteAll(const TNamespaceArray& a) {
  if (a.empty()) return false;
  for (TNamespace* ns : a)
    if (!ns->GetCanDelete()) return false;
  return true;
}
bool TNamespace::CanPasteToAll(const TNamespaceArray& a) { return !a.empty(); }
bool TNamespace::CanRenameAll(const TNamespaceArray& a) {
  if (a.empty()) return false;
  for (TNamespace* ns : a)
    if (!ns->GetCanRename()) return false;
  return true;
}
bool TNamespace::CanShowPropertiesOfAll(const TNamespaceArray& a) {
  if (a.empty()) return false;
  for (TNamespace* ns : a)
    if (!ns->GetHasPropSheet()) return false;
  return true;
}

// ---- Verbs on arrays ----

bool TNamespace::VerbOnArray(TWinControl* owner, const String& verb, const TNamespaceArray& a, TExecuteVerbShift shift) {
  if (VerifyPIDLRelationship(a, true)) {
    TPIDLArray pidls = NamespacesToPIDLs(a);
    return ExecuteContextMenuVerb(owner, verb, &pidls, shift, String());
  }
  Owned<TCommonShellMultiParentContextMenu> menu(TCommonShellMultiParentContextMenu::New(owner));
  Integer mode = shift == TExecuteVerbShift::evsCurrent ? 0 : shift == TExecuteVerbShift::evsUp ? 1 : 2;
  menu->ExecuteContextMenuVerb(owner, a, mode, verb);
  return false;
}

bool TNamespace::Copy(TWinControl* owner, const TNamespaceArray& a) {
  return CanCopyAll(a) && VerbOnArray(owner, u"copy", a, TExecuteVerbShift::evsCurrent);
}

bool TNamespace::Cut(TWinControl* owner, const TNamespaceArray& a) {
  return CanCutAll(a) && VerbOnArray(owner, u"cut", a, TExecuteVerbShift::evsCurrent);
}

bool TNamespace::Delete(TWinControl* owner, const TNamespaceArray& a, TExecuteVerbShift shiftKeyState) {
  return CanDeleteAll(a) && VerbOnArray(owner, u"delete", a, shiftKeyState);
}

bool TNamespace::Paste(TWinControl* owner, const TNamespaceArray& a, bool asShortCut) {
  if (!CanPasteToAll(a)) return false;
  if (IsDesktop()) {
    // The desktop pastes into its folder on disk, which may be missing.
    if (!PhysicalDesktopNamespace || PhysicalDesktopNamespace == this) return false;
    std::vector<Owned<TNamespace>> items;
    TNamespaceArray reparsed;
    for (TNamespace* ns : a) {
      PItemIDList pidl = ParseDisplayName(ns->GetNameForParsing());
      if (!pidl) continue;
      items.emplace_back(New(pidl, nullptr));
      reparsed.push_back(items.back().get());
    }
    return PhysicalDesktopNamespace->Paste(owner, reparsed, asShortCut);
  }
  return VerbOnArray(owner, asShortCut ? u"pastelink" : u"paste", a, TExecuteVerbShift::evsCurrent);
}

void TNamespace::ShowPropertySheet(TWinControl* owner) {
  if (GetHasPropSheet()) ExecuteContextMenuVerb(owner, u"properties", nullptr);
}

void TNamespace::ShowPropertySheetMulti(TWinControl* owner, const TNamespaceArray& a, bool useSHMultiFileProperties,
                                        bool forceNonMultiPath) {
  if (!CanShowPropertiesOfAll(a)) return;
  if (useSHMultiFileProperties && !forceNonMultiPath)
    if (auto multi = BoundMultiFileProperties()) {
      common::TCommonNamespaceList list = NamespacesToList(a);
      ComPtr<IDataObject> data;
      common::CreateNamespaceDataObject(&list, false, data);
      if (data) multi(data.Get(), 0);
      return;
    }
  if (VerifyPIDLRelationship(a, true) || forceNonMultiPath) {
    TPIDLArray pidls = NamespacesToPIDLs(a);
    ExecuteContextMenuVerb(owner, u"properties", &pidls, TExecuteVerbShift::evsCurrent, String());
  } else {
    Owned<TCommonShellMultiParentContextMenu> menu(TCommonShellMultiParentContextMenu::New(owner));
    menu->ExecuteContextMenuVerb(owner, a, 0, u"properties");
  }
}

ComPtr<IDataObject> TNamespace::DataObjectMulti(const TNamespaceArray& a) {
  ComPtr<IDataObject> data;
  if (VerifyPIDLRelationship(a, true)) {
    ComPtr<IShellFolder> parent = GetParentShellFolder();
    TPIDLArray pidls = NamespacesToPIDLs(a);
    std::vector<const ITEMIDLIST*> ids(pidls.begin(), pidls.end());
    if (parent)
      parent->GetUIObjectOf(ShellOwnerWindow(), static_cast<UINT>(ids.size()), ids.data(), IDataObject::Iid, nullptr,
                            data.GetVoidAddress());
    return data;
  }
  common::TCommonNamespaceList list = NamespacesToList(a);
  common::CreateNamespaceDataObject(&list, false, data);
  return data;
}

// ---- Running a verb without showing the menu ----

ComPtr<IContextMenu> TNamespace::MenuFor(const TPIDLArray* pidls) {
  if (!pidls) return GetContextMenuInterface();
  ComPtr<IContextMenu> menu;
  ComPtr<IShellFolder> parent = GetParentShellFolder();
  std::vector<const ITEMIDLIST*> ids(pidls->begin(), pidls->end());
  if (parent)
    parent->GetUIObjectOf(ShellOwnerWindow(), static_cast<UINT>(ids.size()), ids.data(), IContextMenu::Iid, nullptr,
                          menu.GetVoidAddress());
  if (!menu && ids.size() == 1)
    if (ComPtr<IShellFolder> folder = GetShellFolder())
      folder->CreateViewObject(ShellOwnerWindow(), IContextMenu::Iid, menu.GetVoidAddress());
  return menu;
}

bool TNamespace::ExecuteContextMenuVerb(TWinControl* owner, const String& aVerb, const TPIDLArray* aPIDLArray,
                                        TExecuteVerbShift shiftKeyState, const String& workingDir) {
  if (!GetParentShellFolder()) return false;
  bool shift = ShiftOf(shiftKeyState), control = KeyDown(VK_CONTROL);
  ComPtr<IContextMenu> menu = MenuFor(aPIDLArray);
  if (!menu) return false;
  bool result = false;
  {
    TCurrentMenu current(FCurrentContextMenu, FCurrentContextMenu2, menu);
    TPopupGuard popup;
    IContextMenu* best = current.Best();
    best->QueryContextMenu(popup.Menu, 0, kFirstCommand, kLastCommand, CMF_DEFAULTONLY | CMF_EXPLORE);
    TMenuVerb verb;
    FindMenuVerb(menu.Get(), popup.Menu, aVerb, verb);
    std::string dirA = StringToAnsi(workingDir);
    CMINVOKECOMMANDINFOEX info;
    info.cbSize = common::IsWideApiPlatform() ? CMINVOKECOMMANDINFOEX_SIZE : CMINVOKECOMMANDINFO_SIZE;
    info.hwnd = WindowOf(owner);
    info.nShow = 1;
    info.lpVerb = verb.A;
    info.lpVerbW = verb.W;
    info.lpDirectory = workingDir.empty() ? nullptr : dirA.c_str();
    info.lpDirectoryW = workingDir.empty() ? nullptr : workingDir.c_str();
    FillMask(info, shift, control);
    result = SUCCEEDED(best->InvokeCommand(&info));
  }
  return result;
}

String TNamespace::MenuCommandString(Cardinal menuItemID, UINT wideType, UINT ansiType) {
  if (!FCurrentContextMenu || menuItemID == 0 || menuItemID == 0xFFFFFFFFu) return String();
  String s;
  return CommandString(FCurrentContextMenu.Get(), menuItemID - 1, wideType, ansiType, s) ? s : String();
}

String TNamespace::ContextMenuVerb(Cardinal menuItemID) { return MenuCommandString(menuItemID, GCS_VERBW, GCS_VERBA); }

String TNamespace::ContextMenuItemHelp(Cardinal menuItemID) {
  return MenuCommandString(menuItemID, GCS_HELPTEXTW, GCS_HELPTEXTA);
}

// ---- Showing the menu ----

bool TNamespace::ShowContextMenu(TWinControl* owner, const TContextMenuCmdCallback& cmd,
                                 const TContextMenuShowCallback& show, const TContextMenuAfterCmdCallback& after,
                                 const TPoint* position, TPopupMenu* customShellSubMenu,
                                 const String& customSubMenuCaption) {
  TPIDLArray pidls{FRelativePIDL};
  return ContextMenuCore(owner, cmd, show, after, pidls, position, customShellSubMenu, customSubMenuCaption);
}

bool TNamespace::ShowContextMenuMulti(TWinControl* owner, const TContextMenuCmdCallback& cmd,
                                      const TContextMenuShowCallback& show, const TContextMenuAfterCmdCallback& after,
                                      const TNamespaceArray& a, const TPoint* position, TPopupMenu* customShellSubMenu,
                                      const String& customSubMenuCaption, TNamespace* focused, bool showPasteItem,
                                      bool showRenameItem, bool showShortCutMenuItem) {
  if (VerifyPIDLRelationship(a, true)) {
    TPIDLArray pidls = NamespacesToPIDLs(a);
    return ContextMenuCore(owner, cmd, show, after, pidls, position, customShellSubMenu, customSubMenuCaption);
  }
  if (!a.empty()) {
    Owned<TCommonShellMultiParentContextMenu> menu(TCommonShellMultiParentContextMenu::New(owner));
    menu->SetPasteMenuItem(showPasteItem);
    menu->SetRenameMenuItem(showRenameItem);
    menu->SetShortCutMenuItem(showShortCutMenuItem);
    menu->ShowContextMenu(owner, focused, position, a);
  }
  return false;
}

bool TNamespace::ContextMenuCore(TWinControl* owner, const TContextMenuCmdCallback& cmdCallback,
                                 const TContextMenuShowCallback& showCallback,
                                 const TContextMenuAfterCmdCallback& afterCallback, const TPIDLArray& pidls,
                                 const TPoint* position, TPopupMenu* customShellSubMenu,
                                 const String& customSubMenuCaption) {
  Assert(owner != nullptr, u"To show a Context Menu using TNamespace you must pass a valid Owner TWinControl",
         ShellUtilitiesUnit);
  bool shift = KeyDown(VK_SHIFT), control = KeyDown(VK_CONTROL);
  TPoint at;
  if (position) at = *position;
  else GetCursorPos(&at);
  TErrorModeGuard errorMode;
  UINT flags = CMF_EXPLORE;
  if (cmdCallback && pidls.size() == 1) flags |= CMF_CANRENAME;
  if (shift) flags |= CMF_EXTENDEDVERBS;
  ComPtr<IContextMenu> menu = MenuFor(&pidls);
  if (!menu) return false;
  bool result = false;
  {
    TCurrentMenu current(FCurrentContextMenu, FCurrentContextMenu2, menu);
    IContextMenu* best = current.Best();
    TPopupGuard popup;
    HRESULT queried = best->QueryContextMenu(popup.Menu, 0, kFirstCommand, kLastCommand, flags);
    FCustomMenuItemIDs.clear();
    if (customShellSubMenu) {
      // Custom identifiers start above every identifier the handler reserved, even those of
      // submenus it fills only when they open, so that no choice can mean two commands.
      UINT reserved = SUCCEEDED(queried) ? HRESULT_CODE(queried) : 0;
      UINT id = kFirstCommand + reserved - 1;
      HMENU sub = CreatePopupMenu();
      TMenuItem* items = customShellSubMenu->GetItems();
      for (Integer i = 0; i < items->Count(); ++i) {
        TMenuItem* item = items->Items(i);
        do {
          ++id;
        } while (id <= kLastCommand && GetMenuState(popup.Menu, id, MF_BYCOMMAND) != 0xFFFFFFFFu);
        if (id > kLastCommand) break;
        MENUITEMINFO mi;
        mi.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_DATA | MIIM_STRING;
        mi.wID = id;
        mi.fType = item->IsLine() ? MFT_SEPARATOR : MFT_STRING;
        if (item->RadioItem) mi.fType |= MFT_RADIOCHECK;
        if (customShellSubMenu->IsRightToLeft()) mi.fType |= MFT_RIGHTJUSTIFY;
        mi.fType |= MenuBreakType(item->Break);
        if (item->Checked) mi.fState |= MFS_CHECKED;
        if (item->Default) mi.fState |= MFS_DEFAULT;
        if (!item->Enabled) mi.fState |= MFS_DISABLED;
        mi.dwItemData = reinterpret_cast<uintptr_t>(item);
        mi.dwTypeData = item->GetCaption();
        InsertMenuItem(sub, 0xFFFFFFFFu, true, &mi);
        FCustomMenuItemIDs.push_back(id);
      }
      AppendMenu(popup.Menu, MF_SEPARATOR, 0, u"");
      AppendMenu(popup.Menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), customSubMenuCaption);
    }
    bool allow = true;
    if (showCallback) showCallback(this, popup.Menu, allow);
    // A refused menu is a menu in which nothing was chosen: the after-command callback still hears
    // of it, with no command.
    UINT chosen = 0;
    String verb;
    if (allow) {
      {
        TContextMenuMessageHook hook(owner, FOldWndProcForContextMenu, [this](UINT m, WPARAM w, LPARAM l, LRESULT& r) {
          HandleContextMenuMsg(static_cast<Integer>(m), w, l, r);
        });
        chosen = TrackPopupMenuEx(popup.Menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.X, at.Y, owner->GetHandle());
      }
      shift = KeyDown(VK_SHIFT);
      control = KeyDown(VK_CONTROL);
      if (chosen != 0) {
        if (!CommandVerb(menu.Get(), chosen - 1, verb)) verb = u"Unknown Command";
        bool handled = false;
        bool custom = std::find(FCustomMenuItemIDs.begin(), FCustomMenuItemIDs.end(), chosen) != FCustomMenuItemIDs.end();
        if (custom) {
          MENUITEMINFO mi;
          mi.fMask = MIIM_DATA;
          if (GetMenuItemInfo(popup.Menu, chosen, false, &mi) && mi.dwItemData)
            reinterpret_cast<TMenuItem*>(mi.dwItemData)->Click();
          handled = true;
        }
        if (cmdCallback) cmdCallback(this, verb, static_cast<Integer>(chosen), handled);
        if (!handled) {
          bool nt = common::IsWideApiPlatform();
          CMINVOKECOMMANDINFOEX info;
          info.cbSize = nt ? CMINVOKECOMMANDINFOEX_SIZE : CMINVOKECOMMANDINFO_SIZE;
          info.hwnd = owner->GetHandle();
          info.nShow = 1;
          info.lpVerb = MakeVerbOffset(chosen - 1);
          FillMask(info, shift, control);
          if (nt) {
            info.lpVerbW = reinterpret_cast<const Char*>(MakeVerbOffset(chosen - 1));
            info.fMask |= CMIC_MASK_UNICODE;
          }
          result = SUCCEEDED(best->InvokeCommand(&info));
        }
      }
    }
    if (afterCallback) afterCallback(this, verb, static_cast<Integer>(chosen), result);
  }
  return result;
}

void TNamespace::HandleContextMenuMsg(Integer msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (FCurrentContextMenu2) ForwardMenuMessage(FCurrentContextMenu2.Get(), static_cast<UINT>(msg), wParam, lParam, result);
}

void ForwardMenuMessage(IContextMenu2* menu, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  ComPtr<IContextMenu3> m3;
  if (SUCCEEDED(ComPtr<IContextMenu2>(menu).As(m3)) && m3) m3->HandleMenuMsg2(msg, wParam, lParam, &result);
  else menu->HandleMenuMsg(msg, wParam, lParam);
}

TContextMenuMessageHook::TContextMenuMessageHook(TWinControl* owner, TWndMethod& saved, TMenuMessageHandler handler)
    : FOwner(owner), FSaved(saved) {
  FSaved = owner->WindowProc;
  TWndMethod old = FSaved;
  owner->WindowProc = [old, handler](TMessage& m) {
    if (old) old(m);
    if (m.Msg != WM_DRAWITEM && m.Msg != WM_MEASUREITEM && m.Msg != WM_INITMENUPOPUP && m.Msg != WM_MENUCHAR) return;
    LRESULT r = m.Result;
    handler(m.Msg, m.WParam, m.LParam, r);
  };
}

TContextMenuMessageHook::~TContextMenuMessageHook() {
  FOwner->WindowProc = FSaved;
  FSaved = nullptr;
}

// ---- Drag and drop ----

HRESULT TNamespace::DragEffect(Integer grfKeyState) {
  DWORD wanted = static_cast<DWORD>(DragEffectOfKeys(grfKeyState));
  DWORD allowed = 0;
  if (GetCanMove()) allowed |= DROPEFFECT_MOVE;
  if (GetCanCopy()) allowed |= DROPEFFECT_COPY;
  if (GetCanLink()) allowed |= DROPEFFECT_LINK;
  // Shift alone asks for nothing, whatever the item allows.
  if (wanted == DROPEFFECT_NONE) return DROPEFFECT_NONE;
  if (allowed & wanted) return static_cast<HRESULT>(wanted);
  if (allowed & DROPEFFECT_MOVE) return DROPEFFECT_MOVE;
  if (allowed & DROPEFFECT_LINK) return DROPEFFECT_LINK;
  return DROPEFFECT_NONE;
}

HRESULT TNamespace::DragEnter(IDataObject* dataObj, Integer grfKeyState, TPoint pt, DWORD& dwEffect) {
  ComPtr<IDropTarget> t = GetDropTarget() ? GetDropTargetInterface() : nullptr;
  if (!t) {
    dwEffect = DROPEFFECT_NONE;
    return S_OK;
  }
  return t->DragEnter(dataObj, static_cast<DWORD>(grfKeyState), pt, &dwEffect);
}

HRESULT TNamespace::DragOver(Integer grfKeyState, TPoint pt, DWORD& dwEffect) {
  ComPtr<IDropTarget> t = GetDropTarget() ? GetDropTargetInterface() : nullptr;
  if (!t) {
    dwEffect = DROPEFFECT_NONE;
    return S_OK;
  }
  return t->DragOver(static_cast<DWORD>(grfKeyState), pt, &dwEffect);
}

HRESULT TNamespace::DragLeave() {
  ComPtr<IDropTarget> t = GetDropTarget() ? GetDropTargetInterface() : nullptr;
  if (!t) return S_OK;
  HRESULT hr = t->DragLeave();
  FDropTargetInterface = nullptr;
  return hr;
}

HRESULT TNamespace::Drop(IDataObject* dataObj, Integer grfKeyState, TPoint pt, DWORD& dwEffect) {
  ComPtr<IDropTarget> t = GetDropTarget() ? GetDropTargetInterface() : nullptr;
  if (!t) {
    dwEffect = DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT hr = t->Drop(dataObj, static_cast<DWORD>(grfKeyState), pt, &dwEffect);
  FDropTargetInterface = nullptr;
  return hr;
}

}  // namespace shell
