// TNamespace: construction, identity, relationships and invalidation.

#include "platform/user/User.h"
#include "shell/ShellUtilities.h"

namespace shell {

using common::PIDLIsEqual;
using common::PIDLIsParent;

HWND ShellOwnerWindowHandle = nullptr;
bool ShellOwnerWindowEnabled = true;

HWND ShellOwnerWindow() {
  // Windows live on the GUI thread; a shell call from another thread gets no owner.
  if (!ShellOwnerWindowEnabled || !ShellOwnerWindowHandle || !IsGuiThread() || !IsWindow(ShellOwnerWindowHandle))
    return nullptr;
  return ShellOwnerWindowHandle;
}

void TNamespace::Create(PItemIDList pidl, TNamespace* parent) {
  FParent = parent;
  FIconCache = -1;
  FShellCache.Data.SmallIcon = FShellCache.Data.SmallOpenIcon = -1;
  FShellCache.Data.OverlayIndex = FShellCache.Data.OverlayIconIndex = -1;
  FNamespaceID = -1;
  FStates.Include(TNamespaceState::nsShellDetailsSupported);
  FStates.Include(TNamespaceState::nsShellFolder2Supported);
  FStates.Include(TNamespaceState::nsShellOverlaySupported);
  SetFreePIDLOnDestroy(true);
  TCommonPIDLManager* mgr = ShellUtilitiesPIDLManager;
  if (parent) {
    if (mgr->IsDesktopFolder(parent->FAbsolutePIDL)) {
      FAbsolutePIDL = FRelativePIDL = pidl;
    } else {
      FAbsolutePIDL = mgr->AppendPIDL(parent->FAbsolutePIDL, pidl);
      FRelativePIDL = mgr->GetPointerToLastID(FAbsolutePIDL);
      mgr->FreePIDL(pidl);
    }
    return;
  }
  if (!pidl) SHGetSpecialFolderLocation(ShellOwnerWindow(), CSIDL_DESKTOP, &pidl);
  FAbsolutePIDL = pidl;
  FRelativePIDL = mgr->IsDesktopFolder(pidl) ? pidl : mgr->GetPointerToLastID(pidl);
}

TNamespace* TNamespace::CreateCustomNamespace(Integer customID, TNamespace* parent) {
  TNamespace* ns = New(nullptr, parent);
  // A custom item has no item ID list of its own.
  if (ns->GetFreePIDLOnDestroy() && ShellUtilitiesPIDLManager) ShellUtilitiesPIDLManager->FreePIDL(ns->FAbsolutePIDL);
  ns->FAbsolutePIDL = ns->FRelativePIDL = nullptr;
  ns->FParent = parent;
  // Nothing of the shell stands behind a custom item: no overlay is asked for it.
  ns->FStates = TNamespaceStates();
  ns->FShellCache.Data.OverlayIndex = ns->FShellCache.Data.OverlayIconIndex = 0;
  ns->SetFreePIDLOnDestroy(false);
  ns->FNamespaceID = customID;
  return ns;
}

TNamespace* TNamespace::CreateFromFileName(const String& fileName) {
  PItemIDList pidl = PathToPIDL(fileName);
  if (!pidl) throw EVSTInvalidFileName(u"Trying to create a TNamespace on a non existant File object");
  return New(pidl, nullptr);
}

void TNamespace::Destroy() {
  if (GetFreePIDLOnDestroy() && ShellUtilitiesPIDLManager) ShellUtilitiesPIDLManager->FreePIDL(FAbsolutePIDL);
  FAbsolutePIDL = FRelativePIDL = nullptr;
  delete FWin32FindDataW;
  FWin32FindDataW = nullptr;
  delete FWin32FindDataA;
  FWin32FindDataA = nullptr;
  delete FSHGetFileInfoRec;
  FSHGetFileInfoRec = nullptr;
  FreeAndNil(FExtractImage);
  FreeAndNil(FShellLink);
  FShellFolder = nullptr;
  FreeAndNil(FImage);
  FreeAndNil(FDelagateNS);
  TObject::Destroy();
  if (FStates.Contains(TNamespaceState::nsOwnsParent)) FreeAndNil(FParent);
}

TNamespace* TNamespace::GetParent() {
  if (!FParent) {
    TCommonPIDLManager* mgr = ShellUtilitiesPIDLManager;
    PItemIDList copy = mgr->CopyPIDL(FAbsolutePIDL);
    if (mgr->IDCount(copy) < 2) {
      mgr->FreePIDL(copy);
      FParent = New(nullptr, nullptr);
    } else {
      mgr->StripLastID(copy);
      FParent = New(copy, nullptr);
    }
    FStates.Include(TNamespaceState::nsOwnsParent);
  }
  return FParent;
}

TNamespace* TNamespace::Clone(bool releasePIDLOnDestroy) {
  TNamespace* ns = New(ShellUtilitiesPIDLManager->CopyPIDL(FAbsolutePIDL), nullptr);
  ns->SetFreePIDLOnDestroy(releasePIDLOnDestroy);
  return ns;
}

int8_t TNamespace::ComparePIDL(const ITEMIDLIST* pidlToCompare, bool isAbsolutePIDL, Integer column) {
  if (!pidlToCompare) return -1;
  if (column < 0) column = 0;
  TCommonPIDLManager* mgr = ShellUtilitiesPIDLManager;
  if (mgr->IsDesktopFolder(pidlToCompare) && IsDesktop()) return 0;
  ComPtr<IShellFolder> folder = GetParent()->GetShellFolder();
  if (!folder) return 0;
  const ITEMIDLIST* other = pidlToCompare;
  if (isAbsolutePIDL) {
    if (mgr->IDCount(pidlToCompare) != mgr->IDCount(FAbsolutePIDL)) return -1;
    if (!PIDLIsParent(GetParent()->FAbsolutePIDL, pidlToCompare, true)) return -1;
    other = mgr->GetPointerToLastID(pidlToCompare);
  }
  HRESULT hr = folder->CompareIDs(column, other, FRelativePIDL);
  if (FAILED(hr)) return 0;
  return static_cast<int8_t>(static_cast<uint8_t>(hr & 0xFF));
}

bool TNamespace::VerifyPIDLRelationship(const TNamespaceArray& namespaces, bool silent) {
  TCommonPIDLManager* mgr = ShellUtilitiesPIDLManager;
  bool ok = true;
  for (size_t i = 0; i < namespaces.size() && ok; ++i) {
    TNamespace* ns = namespaces[i];
    if (IsDesktop() && namespaces.size() == 1) {
      ok = mgr->IDCount(ns->FAbsolutePIDL) == 1 || ns->IsDesktop();
    } else if (FParent || FAbsolutePIDL) {
      // A custom item has no list of its own, but the parent it was made with has one.
      ok = PIDLIsParent(GetParent()->FAbsolutePIDL, ns->FAbsolutePIDL, true);
    } else {
      ok = namespaces.size() == 1 && ns->IsDesktop();
    }
  }
  if (!ok && !silent && !IsDesktop())
    MessageBox(ShellOwnerWindow(), u"PIDLs to operate on are not siblings of the Namespace doing the operation.",
               u"Error", MB_ICONEXCLAMATION);
  return ok;
}

bool TNamespace::IsChildByNamespace(TNamespace* t, bool immediate) {
  return t && PIDLIsParent(FAbsolutePIDL, t->FAbsolutePIDL, immediate);
}
bool TNamespace::IsChildByPIDL(const ITEMIDLIST* p, bool immediate) { return PIDLIsParent(FAbsolutePIDL, p, immediate); }
bool TNamespace::IsParentByNamespace(TNamespace* t, bool immediate) {
  return t && PIDLIsParent(t->FAbsolutePIDL, FAbsolutePIDL, immediate);
}
bool TNamespace::IsParentByPIDL(const ITEMIDLIST* p, bool immediate) { return PIDLIsParent(p, FAbsolutePIDL, immediate); }

bool TNamespace::IsDesktop() { return ShellUtilitiesPIDLManager->IsDesktopFolder(FAbsolutePIDL); }
bool TNamespace::IsMyComputer() { return ComputerNamespace && PIDLIsEqual(FAbsolutePIDL, ComputerNamespace->FAbsolutePIDL); }
bool TNamespace::IsNetworkNeighborhood() {
  return NetworkNamespace && PIDLIsEqual(FAbsolutePIDL, NetworkNamespace->FAbsolutePIDL);
}
bool TNamespace::IsNetworkNeighborhoodChild() {
  return NetworkNamespace && PIDLIsParent(NetworkNamespace->FAbsolutePIDL, FAbsolutePIDL, false);
}
bool TNamespace::IsControlPanel() {
  TNamespace* cp = ControlPanelCategoryNamespace ? ControlPanelCategoryNamespace : ControlPanelNamespace;
  return cp && PIDLIsEqual(FAbsolutePIDL, cp->FAbsolutePIDL);
}
bool TNamespace::IsControlPanelChildFolder() {
  return ControlPanelNamespace && PIDLIsParent(ControlPanelNamespace->FAbsolutePIDL, FAbsolutePIDL, true);
}

bool TNamespace::IsRecycleBin() {
  if (!RecycleBinNamespace) return false;
  if (!FStates.Contains(TNamespaceState::nsRecycleBinChecked)) {
    if (PIDLIsEqual(FAbsolutePIDL, RecycleBinNamespace->FAbsolutePIDL)) FStates.Include(TNamespaceState::nsIsRecycleBin);
    FStates.Include(TNamespaceState::nsRecycleBinChecked);
  }
  return FStates.Contains(TNamespaceState::nsIsRecycleBin);
}

bool TNamespace::IsChildOfRemovableDrive() {
  TCommonPIDLManager* mgr = ShellUtilitiesPIDLManager;
  Integer count = mgr->IDCount(FAbsolutePIDL);
  if (count < 2) return false;
  // The first three IDs name the drive (Computer, the drive, its first folder); the list is cut
  // after them, copied, and put back.
  Byte* p = reinterpret_cast<Byte*>(FAbsolutePIDL);
  for (int i = 0; i < std::min(count, 3); ++i) p += ItemIdSize(p);
  Byte saved[2] = {p[0], p[1]};
  p[0] = p[1] = 0;
  PItemIDList head = mgr->CopyPIDL(FAbsolutePIDL);
  p[0] = saved[0];
  p[1] = saved[1];
  Owned<TNamespace> item(New(head, nullptr));
  return item->GetRemovable();
}

void TNamespace::InvalidateCache() {
  TCacheData& d = FShellCache.Data;
  d.SmallIcon = FIconCache;
  d.OverlayIndex = d.OverlayIconIndex = -1;
  d.FileSizeInt64 = 0;
  d.SupportedColumns = 0;
  d.Attributes = TCacheAttributes();
  d.DetailsOfCache.clear();
  FShellCache.ShellCacheFlags = TShellCacheFlags();
  FreeAndNil(FExtractImage);
  FreeAndNil(FShellLink);
  InvalidateThumbImage();
}

void TNamespace::InvalidateNamespace(bool refreshIcon) {
  TCacheData& d = FShellCache.Data;
  Integer smallIcon = d.SmallIcon, smallOpenIcon = d.SmallOpenIcon;
  bool smallValid = FShellCache.ShellCacheFlags.Contains(TShellCache::scSmallIcon);
  bool openValid = FShellCache.ShellCacheFlags.Contains(TShellCache::scSmallOpenIcon);
  if (refreshIcon) {
    FStates.Exclude(TNamespaceState::nsThreadedIconLoaded);
    FStates.Exclude(TNamespaceState::nsThreadedIconLoading);
  }
  InvalidateDetailsOfCache(true);
  InvalidateCache();
  if (FStates.Contains(TNamespaceState::nsOwnsParent)) {
    FreeAndNil(FParent);
    FStates.Exclude(TNamespaceState::nsOwnsParent);
  }
  FShellDetailsInterface = nullptr;
  FShellIconOverlayInterface = nullptr;
  // The names and find data of the desktop's children come from the physical desktop, which may
  // be missing; and that object must not refresh itself through itself.
  if (PhysicalDesktopNamespace && PhysicalDesktopNamespace != this && ParentIsDesktop())
    PhysicalDesktopNamespace->InvalidateNamespace(true);
  delete FWin32FindDataW;
  FWin32FindDataW = nullptr;
  delete FWin32FindDataA;
  FWin32FindDataA = nullptr;
  delete FSHGetFileInfoRec;
  FSHGetFileInfoRec = nullptr;
  FStates.Include(TNamespaceState::nsShellDetailsSupported);
  FStates.Include(TNamespaceState::nsShellFolder2Supported);
  if (!refreshIcon) {
    d.SmallIcon = smallIcon;
    d.SmallOpenIcon = smallOpenIcon;
    if (smallValid) FShellCache.ShellCacheFlags.Include(TShellCache::scSmallIcon);
    if (openValid) FShellCache.ShellCacheFlags.Include(TShellCache::scSmallOpenIcon);
  }
}

bool TNamespace::ParentIsDesktop() const {
  if (FParent) return FParent->IsDesktop();
  // The parent made on demand: the desktop for a list of fewer than two IDs, and so also for a
  // custom item, which has no list at all.
  return !FAbsolutePIDL || ShellUtilitiesPIDLManager->IDCount(FAbsolutePIDL) < 2;
}

void TNamespace::InvalidateDetailsOfCache(bool flushStrings) {
  for (TDetailsOfCacheRec& r : FShellCache.Data.DetailsOfCache) {
    r.Cached = TDetailsOfCacheFlags();
    if (flushStrings) r.Caption.clear();
  }
  FShellCache.ShellCacheFlags.Exclude(TShellCache::scDetailsOfCache);
  FShellCache.ShellCacheFlags.Exclude(TShellCache::scInFolderName);
}

void TNamespace::InvalidateThumbImage() {
  FreeAndNil(FImage);
  FStates.Exclude(TNamespaceState::nsThreadedImageLoaded);
  FStates.Exclude(TNamespaceState::nsThreadedImageLoading);
}

void TNamespace::InvalidateRelativePIDL(TFileObjects fileObjects) {
  TNamespace* parent = GetParent();
  TCommonPIDLManager* mgr = ShellUtilitiesPIDLManager;
  PItemIDList found = nullptr;
  parent->EnumerateFolderEx(nullptr, fileObjects,
                            [&](HWND, PItemIDList child, TNamespace*, void*, bool& terminate) {
                              if (!found && ComparePIDL(child, false, 0) == 0) {
                                found = child;
                                terminate = true;
                              } else {
                                mgr->FreePIDL(child);
                              }
                              return true;
                            },
                            nullptr);
  if (!found) return;
  PItemIDList fresh = mgr->AppendPIDL(parent->FAbsolutePIDL, found);
  mgr->FreePIDL(found);
  // The item owns its new list exactly as it owned the old one.
  if (GetFreePIDLOnDestroy()) mgr->FreePIDL(FAbsolutePIDL);
  FAbsolutePIDL = fresh;
  FRelativePIDL = mgr->GetPointerToLastID(fresh);
  SetFreePIDLOnDestroy(true);
  InvalidateNamespace(true);
}

}  // namespace shell
