#pragma once
// The shell's own context menu for items that may lie in several folders: the component picks the
// registry class keys the shell merges verbs from, turns the shell's folder-menu requests into
// events, and presents the items to the shell as children of the desktop through a folder of its
// own that forwards to the real one (adjusting what may be copied, moved, deleted and linked).

#include <functional>
#include <memory>
#include <vector>

#include "platform/classlib/Controls.h"
#include "platform/classlib/Menus.h"
#include "shell/ShellUtilities.h"

namespace shell {

struct TMenuItemLink {
  Cardinal MenuID{0};
  TMenuItem* Item{nullptr};
};

// The command identifiers of items that event handlers add to the shell's menu.
class TMenuItemMap {
public:
  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  TMenuItemLink* Items(Integer i) const { return FItems.at(static_cast<size_t>(i)).get(); }
  void Add(Cardinal menuID, TMenuItem* item) { FItems.push_back(std::make_unique<TMenuItemLink>(TMenuItemLink{menuID, item})); }
  void Clear() {
    FItems.clear();
    FItems.shrink_to_fit();
  }
  // The entry with the identifier; nil when none.
  TMenuItemLink* Find(Cardinal menuID) const;

private:
  std::vector<std::unique_ptr<TMenuItemLink>> FItems;
};

enum class TCommonShellContextMenuExtension {
  cmeAllFilesystemObjects, cmeDirectory, cmeDirBackground, cmeFolder, cmeAsterik, cmeShellDefault, cmePerceivedType
};
using TCommonShellContextMenuExtensions = TSet<TCommonShellContextMenuExtension>;

class TCommonShellContextMenu;
using TCommonShellMenuEvent = std::function<void(TCommonShellContextMenu* sender)>;
using TCommonShellMenuInvokeEvent = std::function<void(TCommonShellContextMenu* sender, TMenuItem* menuItem,
                                                       CMINVOKECOMMANDINFOEX* invokeInfo, bool& handled)>;
using TCommonShellMenuMergeEvent =
    std::function<void(TCommonShellContextMenu* sender, HMENU menu, Cardinal indexMenu, Cardinal& cmdFirst,
                       Cardinal cmdLast, TShellContextMenuFlags flags)>;
using TCommonShellMenuItemEvent = std::function<void(TCommonShellContextMenu* sender, IShellFolder* shellFolder,
                                                     IDataObject* dataObject, DFMICS* dfmics, bool& handled)>;

class TCommonShellContextMenu : public TComponent, public IShellFolder, public IDropTarget {
  PF_CLASS(TCommonShellContextMenu)
public:
  // ---- IUnknown: counted only when asked to be ----
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // ---- IShellFolder, forwarded to the folder of the current menu ----
  HRESULT ParseDisplayName(HWND owner, void* bindCtx, const Char* name, ULONG* eaten, PItemIDList* pidl,
                           ULONG* attributes) override;
  HRESULT EnumObjects(HWND owner, DWORD flags, IEnumIDList** out) override;
  HRESULT BindToObject(const ITEMIDLIST* pidl, void* bindCtx, REFIID iid, void** out) override;
  HRESULT BindToStorage(const ITEMIDLIST* pidl, void* bindCtx, REFIID iid, void** out) override;
  HRESULT CompareIDs(LPARAM column, const ITEMIDLIST* pidl1, const ITEMIDLIST* pidl2) override;
  HRESULT CreateViewObject(HWND owner, REFIID iid, void** out) override;
  HRESULT GetAttributesOf(UINT cidl, const ITEMIDLIST** apidl, DWORD* inOut) override;
  HRESULT GetUIObjectOf(HWND owner, UINT cidl, const ITEMIDLIST** apidl, REFIID iid, UINT* reserved,
                        void** out) override;
  HRESULT GetDisplayNameOf(const ITEMIDLIST* pidl, DWORD flags, STRRET* name) override;
  HRESULT SetNameOf(HWND owner, const ITEMIDLIST* pidl, const Char* name, DWORD flags, PItemIDList* pidlOut) override;

  // ---- IDropTarget: only there so that the shell offers Paste ----
  HRESULT DragEnter(IDataObject* dataObject, DWORD keyState, TPoint pt, DWORD* effect) override;
  HRESULT DragOver(DWORD keyState, TPoint pt, DWORD* effect) override;
  HRESULT DragLeave() override;
  HRESULT Drop(IDataObject* dataObject, DWORD keyState, TPoint pt, DWORD* effect) override;

  TMenuItemMap* GetMenuMap() const { return FMenuMap.get(); }
  TCommonShellContextMenuExtensions GetExtensions() const { return FExtensions; }
  void SetExtensions(TCommonShellContextMenuExtensions v) { FExtensions = v; }
  bool GetPasteMenuItem() const { return FPasteMenuItem; }
  void SetPasteMenuItem(bool v) { FPasteMenuItem = v; }
  bool GetRenameMenuItem() const { return FRenameMenuItem; }
  void SetRenameMenuItem(bool v) { FRenameMenuItem = v; }
  bool GetShortCutMenuItem() const { return FShortCutMenuItem; }
  void SetShortCutMenuItem(bool v) { FShortCutMenuItem = v; }
  bool GetReferenceCounted() const { return FReferenceCounted; }
  void SetReferenceCounted(bool v) { FReferenceCounted = v; }
  // The class-key names of the current call, sorted without regard to case.
  const std::vector<String>& KeyStrings() const { return FKeyStrings; }

  TCommonShellMenuEvent OnHide;
  TCommonShellMenuInvokeEvent OnInvokeCommand;
  TCommonShellMenuMergeEvent OnMenuMerge;
  TCommonShellMenuMergeEvent OnMenuMergeBottom;
  TCommonShellMenuMergeEvent OnMenuMergeTop;
  TCommonShellMenuItemEvent OnShellMenuCopy;
  TCommonShellMenuItemEvent OnShellMenuCreateShortcut;
  TCommonShellMenuItemEvent OnShellMenuCut;
  TCommonShellMenuItemEvent OnShellMenuDelete;
  TCommonShellMenuItemEvent OnShellMenuNewFolder;
  TCommonShellMenuItemEvent OnShellMenuPaste;
  TCommonShellMenuItemEvent OnShellMenuPasteLink;
  TCommonShellMenuItemEvent OnShellMenuPasteShortCut;
  TCommonShellMenuItemEvent OnShellMenuProperites;
  TCommonShellMenuEvent OnShow;

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;

  virtual void DoShellMenuCopy(IShellFolder* f, IDataObject* d, DFMICS* ics, bool& handled);
  virtual void DoShellMenuCreateShortcut(IShellFolder* f, IDataObject* d, DFMICS* ics, bool& handled);
  virtual void DoShellMenuCut(IShellFolder* f, IDataObject* d, DFMICS* ics, bool& handled);
  virtual void DoShellMenuDelete(IShellFolder* f, IDataObject* d, DFMICS* ics, bool& handled);
  virtual void DoHide();
  virtual void DoInvokeCommand(TMenuItem* menuItem, CMINVOKECOMMANDINFOEX* invokeInfo);
  virtual void DoMenuMerge(HMENU menu, Cardinal indexMenu, Cardinal& cmdFirst, Cardinal cmdLast, TShellContextMenuFlags flags);
  virtual void DoMenuMergeBottom(HMENU menu, Cardinal indexMenu, Cardinal& cmdFirst, Cardinal cmdLast,
                                 TShellContextMenuFlags flags);
  virtual void DoMenuMergeTop(HMENU menu, Cardinal indexMenu, Cardinal& cmdFirst, Cardinal cmdLast,
                              TShellContextMenuFlags flags);
  virtual void DoShellMenuNewFolder(IShellFolder* f, IDataObject* d, DFMICS* ics, bool& handled);
  virtual void DoShellMenuPaste(IShellFolder* f, IDataObject* d, DFMICS* ics, bool& handled);
  virtual void DoShellMenuPasteLink(IShellFolder* f, IDataObject* d, DFMICS* ics, bool& handled);
  virtual void DoShellMenuPasteShortCut(IShellFolder* f, IDataObject* d, DFMICS* ics, bool& handled);
  virtual void DoShellMenuProperties(IShellFolder* f, IDataObject* d, DFMICS* ics, bool& handled);
  virtual void DoShow();
  virtual void SetupMenuKeys(TNamespace* focused) = 0;

  // Takes the items of one call: their absolute lists, what every one of them allows, and the
  // focused item's folder key.
  void PrepareItems(const TNamespaceArray& namespaces);
  // Shows the menu (verb empty) or runs the verb; true when a command ran successfully.
  // With `parentPIDL` the items (when there are any) are children of that folder, and without
  // items the menu is that folder's background; without it the items are whole lists from the
  // desktop.
  bool MenuCore(TWinControl* owner, const ITEMIDLIST* parentPIDL, Integer mode, const TPoint* point,
                const String& verb);
  void AddKeyString(const String& s);
  void ShowProperties();
  ComPtr<IDataObject> ActiveItemsDataObject() const;
  HRESULT MenuCallback(IShellFolder* folder, HWND owner, IDataObject* dataObject, UINT msg, WPARAM w, LPARAM l);

  ComPtr<IShellFolder> FActiveFolder;
  Owned<common::TCommonPIDLList> FActivePIDLs;
  bool FCopyValidated{false};
  ComPtr<IContextMenu> FCurrentContextMenu;
  ComPtr<IContextMenu2> FCurrentContextMenu2;
  bool FCutValidated{false};
  bool FDeleteValidated{false};
  TCommonShellContextMenuExtensions FExtensions;
  bool FFromDesktop{false};
  TNamespace* FLocalFocused{nullptr};
  TNamespaceArray FLocalNamespaces;
  std::unique_ptr<TMenuItemMap> FMenuMap;
  TWinControl* FMsgWnd{nullptr};
  TWndMethod FOldWndProcForContextMenu;
  std::vector<String> FKeyStrings;
  std::atomic<Integer> FRefCount{0};
  bool FReferenceCounted{false};
  bool FRenameMenuItem{false};
  bool FShortCutMenuItem{false};
  bool FPasteMenuItem{false};
  LPFNDFMCALLBACK FStub;
  ComPtr<IDataObject> FUIObjectOfDataObject;
  ComPtr<IDropTarget> FUIObjectOfDropTarget;
};

class TCommonShellMultiParentContextMenu : public TCommonShellContextMenu {
  PF_CLASS(TCommonShellMultiParentContextMenu)
public:
  // Mode: 0 extended verbs and Shift as the key is, 1 neither, 2 both.
  bool ExecuteContextMenuVerb(TWinControl* owner, const TNamespaceArray& namespaces, Integer mode, const String& verb);
  bool ShowContextMenu(TWinControl* owner, TNamespace* focused, const TPoint* point, const TNamespaceArray& namespaces);

protected:
  void SetupMenuKeys(TNamespace* focused) override;
};

}  // namespace shell
