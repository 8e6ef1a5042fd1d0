// The shell context menu component: class keys, the folder it hands the shell, the folder-menu
// callback turned into events, and the menu shown or its verb run.

#include <algorithm>

#include "platform/kernel/Modules.h"
#include "platform/user/Messages.h"
#include "shell/ShellContextMenu.h"

namespace shell {

namespace {

using TCreate2 = HRESULT(const ITEMIDLIST*, HWND, UINT, const ITEMIDLIST**, IShellFolder*, LPFNDFMCALLBACK, UINT,
                         const HKEY*, IContextMenu**);

bool KeyDown(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

String DefaultValue(HKEY key, const Char* name = nullptr) {
  DWORD size = 0, type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size < 2) return String();
  String v(size / 2, u'\0');
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<Byte*>(v.data()), &size) != ERROR_SUCCESS)
    return String();
  while (!v.empty() && v.back() == 0) v.pop_back();
  return v;
}

// The class keys opened for one menu; every handle is closed when the call ends.
struct TKeyList {
  std::vector<HKEY> Keys;
  ~TKeyList() {
    for (HKEY k : Keys) RegCloseKey(k);
  }
  // Adds a second handle of the key at `path`; false when it does not exist.
  bool Add(const String& path) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, MAXIMUM_ALLOWED, &k) != ERROR_SUCCESS) return false;
    HKEY second = nullptr;
    if (RegOpenKeyExW(k, u"", 0, MAXIMUM_ALLOWED, &second) == ERROR_SUCCESS) Keys.push_back(second);
    RegCloseKey(k);
    return true;
  }
};

bool KeyExists(const String& path) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, MAXIMUM_ALLOWED, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

void CollectKeys(const std::vector<String>& names, bool perceived, TKeyList& keys) {
  bool unknownAdded = false;
  for (const String& s : names) {
    if (s.empty()) continue;
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, s.c_str(), 0, MAXIMUM_ALLOWED, &k) != ERROR_SUCCESS) {
      if (!unknownAdded) keys.Add(u"Unknown");
      unknownAdded = true;
      continue;
    }
    String v = DefaultValue(k);
    if (v.empty() || !KeyExists(v)) {
      keys.Add(s);
    } else {
      HKEY cur = nullptr;
      String curPath = v + u"\\CurVer";
      bool added = false;
      if (RegOpenKeyExW(HKEY_CLASSES_ROOT, curPath.c_str(), 0, MAXIMUM_ALLOWED, &cur) == ERROR_SUCCESS) {
        String c = DefaultValue(cur);
        RegCloseKey(cur);
        if (!c.empty()) added = keys.Add(u"\\" + c);
      }
      // A current version that names no key leaves the program's own key, so its verbs stay.
      if (!added) keys.Add(v);
    }
    if (perceived) {
      String p = DefaultValue(k, u"PerceivedType");
      if (!p.empty()) keys.Add(u"\\SystemFileAssociations\\" + p);
    }
    RegCloseKey(k);
  }
}

}  // namespace

TMenuItemLink* TMenuItemMap::Find(Cardinal menuID) const {
  for (const auto& l : FItems)
    if (l->MenuID == menuID) return l.get();
  return nullptr;
}

void TCommonShellContextMenu::Create(TComponent* owner) {
  TComponent::Create(owner);
  Assert(dynamic_cast<TWinControl*>(owner) != nullptr,
         u"The Owner of a Shell Context Menu component must be a descendent of TWinControl", ShellUtilitiesUnit);
  FMsgWnd = dynamic_cast<TWinControl*>(owner);
  FMenuMap = std::make_unique<TMenuItemMap>();
  FStub = [this](IShellFolder* f, HWND h, IDataObject* d, UINT m, WPARAM w, LPARAM l) {
    return MenuCallback(f, h, d, m, w, l);
  };
  FActivePIDLs.reset(common::TCommonPIDLList::New());
  FActivePIDLs->SetSharePIDLs(true);
  FRenameMenuItem = FShortCutMenuItem = FPasteMenuItem = true;
}

void TCommonShellContextMenu::Destroy() {
  FActiveFolder = nullptr;
  FCurrentContextMenu = nullptr;
  FCurrentContextMenu2 = nullptr;
  FUIObjectOfDataObject = nullptr;
  FUIObjectOfDropTarget = nullptr;
  FStub = nullptr;
  FActivePIDLs.reset();
  FMenuMap.reset();
  TComponent::Destroy();
}

// ---- IUnknown ----

HRESULT TCommonShellContextMenu::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IUnknown::Iid || iid == IShellFolder::Iid) *out = static_cast<IShellFolder*>(this);
  else if (iid == IDropTarget::Iid) *out = static_cast<IDropTarget*>(this);
  if (!*out) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG TCommonShellContextMenu::AddRef() {
  if (!FReferenceCounted) return static_cast<ULONG>(-1);
  return static_cast<ULONG>(++FRefCount);
}

ULONG TCommonShellContextMenu::Release() {
  if (!FReferenceCounted) return static_cast<ULONG>(-1);
  Integer n = --FRefCount;
  if (n == 0) Free();
  return static_cast<ULONG>(n);
}

// ---- IShellFolder ----

HRESULT TCommonShellContextMenu::ParseDisplayName(HWND o, void* bc, const Char* n, ULONG* e, PItemIDList* p, ULONG* a) {
  return FActiveFolder ? FActiveFolder->ParseDisplayName(o, bc, n, e, p, a) : E_FAIL;
}
HRESULT TCommonShellContextMenu::EnumObjects(HWND o, DWORD f, IEnumIDList** out) {
  if (out) *out = nullptr;
  return FActiveFolder ? FActiveFolder->EnumObjects(o, f, out) : E_FAIL;
}
HRESULT TCommonShellContextMenu::BindToObject(const ITEMIDLIST* p, void* bc, REFIID iid, void** out) {
  return FActiveFolder ? FActiveFolder->BindToObject(p, bc, iid, out) : E_FAIL;
}
HRESULT TCommonShellContextMenu::BindToStorage(const ITEMIDLIST* p, void* bc, REFIID iid, void** out) {
  return FActiveFolder ? FActiveFolder->BindToStorage(p, bc, iid, out) : E_FAIL;
}
HRESULT TCommonShellContextMenu::CompareIDs(LPARAM c, const ITEMIDLIST* a, const ITEMIDLIST* b) {
  return FActiveFolder ? FActiveFolder->CompareIDs(c, a, b) : E_FAIL;
}
HRESULT TCommonShellContextMenu::CreateViewObject(HWND o, REFIID iid, void** out) {
  return FActiveFolder ? FActiveFolder->CreateViewObject(o, iid, out) : E_FAIL;
}
HRESULT TCommonShellContextMenu::GetDisplayNameOf(const ITEMIDLIST* p, DWORD f, STRRET* n) {
  return FActiveFolder ? FActiveFolder->GetDisplayNameOf(p, f, n) : E_FAIL;
}
HRESULT TCommonShellContextMenu::SetNameOf(HWND o, const ITEMIDLIST* p, const Char* n, DWORD f, PItemIDList* out) {
  return FActiveFolder ? FActiveFolder->SetNameOf(o, p, n, f, out) : E_FAIL;
}

HRESULT TCommonShellContextMenu::GetAttributesOf(UINT cidl, const ITEMIDLIST** apidl, DWORD* inOut) {
  if (!FActiveFolder || !inOut) return E_FAIL;
  DWORD asked = *inOut;
  HRESULT hr = FActiveFolder->GetAttributesOf(cidl, apidl, inOut);
  if (FCopyValidated) *inOut |= asked & SFGAO_CANCOPY;
  if (FCutValidated) *inOut |= asked & SFGAO_CANMOVE;
  if (FDeleteValidated) *inOut |= asked & SFGAO_CANDELETE;
  if (!FShortCutMenuItem) *inOut &= ~SFGAO_CANLINK;
  return hr;
}

HRESULT TCommonShellContextMenu::GetUIObjectOf(HWND o, UINT cidl, const ITEMIDLIST** apidl, REFIID iid, UINT* r,
                                               void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!FFromDesktop) return FActiveFolder ? FActiveFolder->GetUIObjectOf(o, cidl, apidl, iid, r, out) : E_FAIL;
  if (iid == IDataObject::Iid) {
    ComPtr<IDataObject> data = ActiveItemsDataObject();
    FUIObjectOfDataObject = data;
    if (!data) return E_FAIL;
    *out = data.Detach();
    return S_OK;
  }
  if (iid == IDropTarget::Iid) {
    if (!FPasteMenuItem) return E_NOINTERFACE;
    FUIObjectOfDropTarget = ComPtr<IDropTarget>(static_cast<IDropTarget*>(this));
    *out = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  return FActiveFolder ? FActiveFolder->GetUIObjectOf(o, cidl, apidl, iid, r, out) : E_FAIL;
}

// ---- IDropTarget ----

HRESULT TCommonShellContextMenu::DragEnter(IDataObject*, DWORD, TPoint, DWORD*) { return S_OK; }
HRESULT TCommonShellContextMenu::DragOver(DWORD, TPoint, DWORD*) { return E_NOTIMPL; }
HRESULT TCommonShellContextMenu::DragLeave() { return S_OK; }
HRESULT TCommonShellContextMenu::Drop(IDataObject*, DWORD, TPoint, DWORD*) { return E_NOTIMPL; }

// ---- Events ----

#define PO_ITEM_EVENT(Method, Event)                                                                 \
  void TCommonShellContextMenu::Method(IShellFolder* f, IDataObject* d, DFMICS* ics, bool& handled) { \
    if (Event) Event(this, f, d, ics, handled);                                                      \
  }
PO_ITEM_EVENT(DoShellMenuCopy, OnShellMenuCopy)
PO_ITEM_EVENT(DoShellMenuCreateShortcut, OnShellMenuCreateShortcut)
PO_ITEM_EVENT(DoShellMenuCut, OnShellMenuCut)
PO_ITEM_EVENT(DoShellMenuDelete, OnShellMenuDelete)
PO_ITEM_EVENT(DoShellMenuNewFolder, OnShellMenuNewFolder)
PO_ITEM_EVENT(DoShellMenuPaste, OnShellMenuPaste)
PO_ITEM_EVENT(DoShellMenuPasteLink, OnShellMenuPasteLink)
PO_ITEM_EVENT(DoShellMenuPasteShortCut, OnShellMenuPasteShortCut)
PO_ITEM_EVENT(DoShellMenuProperties, OnShellMenuProperites)
#undef PO_ITEM_EVENT

void TCommonShellContextMenu::DoHide() {
  if (OnHide) OnHide(this);
}
void TCommonShellContextMenu::DoShow() {
  if (OnShow) OnShow(this);
}
void TCommonShellContextMenu::DoInvokeCommand(TMenuItem* menuItem, CMINVOKECOMMANDINFOEX* invokeInfo) {
  bool handled = false;
  if (OnInvokeCommand) OnInvokeCommand(this, menuItem, invokeInfo, handled);
  if (!handled && menuItem) menuItem->Click();
}
void TCommonShellContextMenu::DoMenuMerge(HMENU m, Cardinal i, Cardinal& first, Cardinal last, TShellContextMenuFlags f) {
  if (OnMenuMerge) OnMenuMerge(this, m, i, first, last, f);
}
void TCommonShellContextMenu::DoMenuMergeBottom(HMENU m, Cardinal i, Cardinal& first, Cardinal last,
                                                TShellContextMenuFlags f) {
  if (OnMenuMergeBottom) OnMenuMergeBottom(this, m, i, first, last, f);
}
void TCommonShellContextMenu::DoMenuMergeTop(HMENU m, Cardinal i, Cardinal& first, Cardinal last,
                                             TShellContextMenuFlags f) {
  if (OnMenuMergeTop) OnMenuMergeTop(this, m, i, first, last, f);
}

// ---- The callback of the shell's folder menu ----

HRESULT TCommonShellContextMenu::MenuCallback(IShellFolder* folder, HWND, IDataObject* dataObject, UINT msg, WPARAM w,
                                              LPARAM l) {
  HRESULT answer = FExtensions.Contains(TCommonShellContextMenuExtension::cmeShellDefault) ? S_OK : S_FALSE;
  switch (msg) {
    case DFM_MERGECONTEXTMENU:
    case DFM_MERGECONTEXTMENU_TOP: {
      auto* qcm = reinterpret_cast<QCMINFO*>(l);
      if (!qcm) return answer;
      Integer count = FMenuMap->Count();
      Cardinal first = qcm->idCmdFirst;
      TShellContextMenuFlags flags = ContextMenuFlagsToSet(static_cast<Cardinal>(w));
      Cardinal id = first + (msg == DFM_MERGECONTEXTMENU ? 200 : 600);
      if (msg == DFM_MERGECONTEXTMENU) {
        DoMenuMerge(qcm->hmenu, qcm->indexMenu, id, qcm->idCmdLast, flags);
      } else {
        DoMenuMergeTop(qcm->hmenu, qcm->indexMenu, id, qcm->idCmdLast, flags);
        DoMenuMergeBottom(qcm->hmenu, static_cast<Cardinal>(GetMenuItemCount(qcm->hmenu)), id, qcm->idCmdLast, flags);
      }
      qcm->idCmdFirst = id;
      // The shell names the handlers' commands by their distance from the first identifier.
      for (Integer i = count; i < FMenuMap->Count(); ++i) FMenuMap->Items(i)->MenuID -= first;
      return answer;
    }
    case DFM_MERGECONTEXTMENU_BOTTOM: return answer;
    case DFM_INVOKECOMMAND: return S_FALSE;
    // The shell's reference messages are heard, not answered: they too are not implemented.
    case DFM_ADDREF: DoShow(); return E_NOTIMPL;
    case DFM_RELEASE: DoHide(); return E_NOTIMPL;
    case DFM_INVOKECOMMANDEX: {
      auto* ics = reinterpret_cast<DFMICS*>(l);
      if (TMenuItemLink* link = FMenuMap->Find(static_cast<Cardinal>(w)))
        DoInvokeCommand(link->Item, ics ? ics->pici : nullptr);
      bool doDefault = true;
      switch (static_cast<int>(static_cast<intptr_t>(w))) {
        case DFM_CMD_DELETE:
          DoShellMenuDelete(folder, dataObject, ics, doDefault);
          if (doDefault && !common::IsNT6OrLater()) {
            bool permanent = ics && ics->pici && (ics->pici->fMask & CMIC_MASK_SHIFT_DOWN);
            DeleteDataObjectFiles(dataObject, FMsgWnd ? FMsgWnd->GetHandle() : nullptr, !permanent);
            doDefault = false;
          }
          break;
        case DFM_CMD_MOVE: DoShellMenuCut(folder, dataObject, ics, doDefault); break;
        case DFM_CMD_COPY: DoShellMenuCopy(folder, dataObject, ics, doDefault); break;
        case DFM_CMD_LINK: DoShellMenuCreateShortcut(folder, dataObject, ics, doDefault); break;
        case DFM_CMD_PROPERTIES:
          DoShellMenuProperties(folder, dataObject, ics, doDefault);
          if (doDefault && !common::IsNT6OrLater()) {
            ShowProperties();
            doDefault = false;
          }
          break;
        case DFM_CMD_NEWFOLDER: DoShellMenuNewFolder(folder, dataObject, ics, doDefault); break;
        case DFM_CMD_PASTE: DoShellMenuPaste(folder, dataObject, ics, doDefault); break;
        case DFM_CMD_PASTELINK: DoShellMenuPasteLink(folder, dataObject, ics, doDefault); break;
        case DFM_CMD_PASTESPECIAL: DoShellMenuPasteShortCut(folder, dataObject, ics, doDefault); break;
        default: break;
      }
      return doDefault ? S_FALSE : S_OK;
    }
    default: return E_NOTIMPL;
  }
}

// A data object of the active items. The items borrow the active lists, which stay with the list
// they came from.
ComPtr<IDataObject> TCommonShellContextMenu::ActiveItemsDataObject() const {
  std::vector<Owned<TNamespace>> items;
  common::TCommonNamespaceList list;
  for (PItemIDList pidl : *FActivePIDLs) {
    items.emplace_back(TNamespace::New(pidl, nullptr));
    items.back()->SetFreePIDLOnDestroy(false);
    list.push_back(items.back().get());
  }
  ComPtr<IDataObject> data;
  common::CreateNamespaceDataObject(&list, false, data);
  return data;
}

// Before NT 6 the shell's default for the command shows nothing of several folders' items: the
// component shows them itself, in one sheet when the shell offers one, else a sheet per folder.
void TCommonShellContextMenu::ShowProperties() {
  if (TMultiFileProperties multi = BoundMultiFileProperties()) {
    ComPtr<IDataObject> data = ActiveItemsDataObject();
    if (data) multi(data.Get(), 0);
    return;
  }
  TNamespaceArray rest = FLocalNamespaces;
  while (!rest.empty()) {
    TNamespaceArray group, others;
    for (TNamespace* ns : rest) (rest.front()->VerifyPIDLRelationship({rest.front(), ns}, true) ? group : others).push_back(ns);
    group.front()->ShowPropertySheetMulti(FMsgWnd, group, false, true);
    rest = std::move(others);
  }
}

// ---- Class keys ----

void TCommonShellContextMenu::AddKeyString(const String& s) {
  auto less = [](const String& a, const String& b) { return common::WideStrICompare(a, b) < 0; };
  auto it = std::lower_bound(FKeyStrings.begin(), FKeyStrings.end(), s, less);
  if (it != FKeyStrings.end() && common::WideStrICompare(*it, s) == 0) return;
  FKeyStrings.insert(it, s);
}

void TCommonShellContextMenu::PrepareItems(const TNamespaceArray& namespaces) {
  FLocalNamespaces = namespaces;
  FActivePIDLs->Clear();
  // The shell reads the lists from the desktop, so they are the items' whole lists: a last ID
  // alone would name a file of the same name on the desktop.
  for (TNamespace* ns : namespaces) FActivePIDLs->Add(ns->GetAbsolutePIDL());
  FCopyValidated = FCutValidated = FDeleteValidated = !namespaces.empty();
  for (TNamespace* ns : namespaces) {
    FCopyValidated = FCopyValidated && ns->GetCanCopy();
    FCutValidated = FCutValidated && ns->GetCanMove();
    FDeleteValidated = FDeleteValidated && ns->GetCanDelete();
  }
  if (FLocalFocused && !FLocalFocused->GetBrowsable() && FLocalFocused->GetFolder())
    FExtensions.Include(FLocalFocused->GetDirectory() ? TCommonShellContextMenuExtension::cmeDirectory
                                                      : TCommonShellContextMenuExtension::cmeFolder);
}

// ---- The menu ----

bool TCommonShellContextMenu::MenuCore(TWinControl* owner, const ITEMIDLIST* parentPIDL, Integer mode,
                                       const TPoint* point, const String& verb) {
  UINT oldMode = SetErrorMode(0x0001 | 0x8000);
  bool result = false;
  TKeyList keys;
  HMENU popup = nullptr;
  try {
    bool extended = mode == 0 ? KeyDown(VK_SHIFT) : mode != 1;
    bool control = KeyDown(VK_CONTROL);
    Assert(owner != nullptr, u"To show a Context Menu using TNamespace you must pass a valid Owner TWinControl",
           ShellUtilitiesUnit);
    HMODULE shell32 = GetModuleHandleA("shell32.dll");
    auto create = shell32 ? ProcAs<TCreate2>(GetProcAddress(shell32, "CDefFolderMenu_Create2")) : nullptr;
    if (owner && create) {
      TPoint at;
      if (point) at = *point;
      else GetCursorPos(&at);
      popup = CreatePopupMenu();
      UINT flags = CMF_EXPLORE;
      if (FRenameMenuItem) flags |= CMF_CANRENAME;
      if (extended) flags |= CMF_EXTENDEDVERBS;
      using E = TCommonShellContextMenuExtension;
      if (FExtensions.Contains(E::cmeDirectory)) AddKeyString(u"Directory");
      if (FExtensions.Contains(E::cmeDirBackground)) AddKeyString(u"Directory\\Background");
      if (FExtensions.Contains(E::cmeFolder)) AddKeyString(u"Folder");
      if (FExtensions.Contains(E::cmeAsterik)) AddKeyString(u"*");
      if (FExtensions.Contains(E::cmeAllFilesystemObjects)) AddKeyString(u"AllFilesystemObjects");
      CollectKeys(FKeyStrings, FExtensions.Contains(E::cmePerceivedType), keys);
      std::vector<const ITEMIDLIST*> ids(FActivePIDLs->begin(), FActivePIDLs->end());
      static const Word kEmpty = 0;  // the desktop's own ID list
      const ITEMIDLIST* folderIds = reinterpret_cast<const ITEMIDLIST*>(&kEmpty);
      ComPtr<IShellFolder> desktop;
      SHGetDesktopFolder(desktop.GetAddressOf());
      FFromDesktop = parentPIDL == nullptr;
      if (FFromDesktop || !desktop || ItemIdSize(parentPIDL) == 0) {
        FActiveFolder = desktop;
      } else if (desktop) {
        desktop->BindToObject(parentPIDL, nullptr, IShellFolder::Iid, FActiveFolder.GetVoidAddress());
      }
      // Items of a given folder are named relative to it; a folder's background has no items.
      if (parentPIDL) folderIds = ids.empty() ? parentPIDL : nullptr;
      ComPtr<IContextMenu> menu;
      // Whole lists from the desktop without any items name nothing: no menu, not the desktop's
      // background, which only a caller naming the folder asks for.
      bool noItems = !parentPIDL && ids.empty();
      HRESULT hr = FActiveFolder && !noItems
                       ? create(folderIds, owner->GetHandle(), static_cast<UINT>(ids.size()),
                                ids.empty() ? nullptr : ids.data(), static_cast<IShellFolder*>(this), FStub,
                                static_cast<UINT>(keys.Keys.size()), keys.Keys.data(), menu.GetAddressOf())
                       : E_FAIL;
      if (hr == S_OK && menu) {
        FCurrentContextMenu = menu;
        menu.As(FCurrentContextMenu2);
        IContextMenu* best = FCurrentContextMenu2 ? static_cast<IContextMenu*>(FCurrentContextMenu2.Get()) : menu.Get();
        best->QueryContextMenu(popup, 0, 1, 0x7FFF, flags);
        UINT chosen = 0;
        bool go = true;
        if (verb.empty()) {
          TContextMenuMessageHook hook(owner, FOldWndProcForContextMenu, [this](UINT m, WPARAM w, LPARAM l, LRESULT& r) {
            if (FCurrentContextMenu2) ForwardMenuMessage(FCurrentContextMenu2.Get(), m, w, l, r);
          });
          chosen = TrackPopupMenuEx(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.X, at.Y, owner->GetHandle());
          go = chosen != 0;
        }
        if (go) {
          bool shift = mode == 0 ? KeyDown(VK_SHIFT) : mode == 2;
          control = KeyDown(VK_CONTROL);
          bool nt = common::IsWideApiPlatform();
          CMINVOKECOMMANDINFOEX info;
          info.cbSize = nt ? CMINVOKECOMMANDINFOEX_SIZE : CMINVOKECOMMANDINFO_SIZE;
          if (nt) info.fMask |= CMIC_MASK_UNICODE;
          info.hwnd = owner->GetHandle();
          info.nShow = 1;
          TMenuVerb found;
          if (verb.empty()) {
            info.lpVerb = MakeVerbOffset(chosen - 1);
            info.lpVerbW = reinterpret_cast<const Char*>(MakeVerbOffset(chosen - 1));
          } else {
            FindMenuVerb(menu.Get(), popup, verb, found);
            info.lpVerb = found.A;
            info.lpVerbW = found.W;
          }
          info.fMask |= CMIC_MASK_ASYNCOK;
          if (shift) info.fMask |= CMIC_MASK_SHIFT_DOWN;
          if (control) info.fMask |= CMIC_MASK_CONTROL_DOWN;
          result = SUCCEEDED(best->InvokeCommand(&info));
        }
      }
    }
  } catch (...) {
    result = false;
  }
  FCurrentContextMenu = nullptr;
  FCurrentContextMenu2 = nullptr;
  FActiveFolder = nullptr;
  FUIObjectOfDataObject = nullptr;
  FUIObjectOfDropTarget = nullptr;
  if (popup) DestroyMenu(popup);
  FActivePIDLs->Clear();
  SetErrorMode(oldMode);
  return result;
}

// ---- Items of several folders ----

void TCommonShellMultiParentContextMenu::SetupMenuKeys(TNamespace* focused) {
  using E = TCommonShellContextMenuExtension;
  FKeyStrings.clear();
  FExtensions = TCommonShellContextMenuExtensions{E::cmeAllFilesystemObjects, E::cmeAsterik, E::cmeShellDefault};
  if (!focused) return;
  if (focused->GetFolder()) FExtensions = TCommonShellContextMenuExtensions{E::cmeFolder, E::cmeShellDefault};
  else AddKeyString(common::WideExtractFileExt(focused->GetNameForParsing()));
}

bool TCommonShellMultiParentContextMenu::ExecuteContextMenuVerb(TWinControl* owner, const TNamespaceArray& namespaces,
                                                                Integer mode, const String& verb) {
  FRenameMenuItem = true;
  FShortCutMenuItem = false;
  FPasteMenuItem = false;
  FLocalFocused = namespaces.empty() ? nullptr : namespaces.front();
  SetupMenuKeys(FLocalFocused);
  PrepareItems(namespaces);
  return MenuCore(owner, nullptr, mode, nullptr, verb);
}

bool TCommonShellMultiParentContextMenu::ShowContextMenu(TWinControl* owner, TNamespace* focused, const TPoint* point,
                                                         const TNamespaceArray& namespaces) {
  FLocalFocused = focused;
  SetupMenuKeys(focused);
  PrepareItems(namespaces);
  return MenuCore(owner, nullptr, 0, point, String());
}

}  // namespace shell
