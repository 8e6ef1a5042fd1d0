// Data objects made from a selection of namespace items.

#include "common/CommonNamespaceObjects.h"

#include <algorithm>

namespace common {

void RemoveDuplicatePIDLEntries(TCommonNamespaceList& namespaces) {
  TCommonPIDLManager* m = CommonObjectsPIDLMgr;
  auto count = [m](const ICommonNamespaceItem* ns) { return m->IDCount(ns->GetAbsolutePIDL()); };
  std::stable_sort(namespaces.begin(), namespaces.end(),
                   [&](const ICommonNamespaceItem* a, const ICommonNamespaceItem* b) { return count(a) > count(b); });
  size_t n = namespaces.size();
  std::vector<bool> marked(n, false);
  for (size_t i = 0; i + 1 < n; ++i) {
    const ITEMIDLIST* pi = namespaces[i]->GetAbsolutePIDL();
    if (m->IsDesktopFolder(pi)) {
      marked[i] = true;
      continue;
    }
    for (size_t j = i + 1; j < n && count(namespaces[j]) == count(namespaces[i]); ++j)
      if (PIDLIsEqual(pi, namespaces[j]->GetAbsolutePIDL())) marked[j] = true;
  }
  if (n > 0 && m->IsDesktopFolder(namespaces[n - 1]->GetAbsolutePIDL())) marked[n - 1] = true;
  size_t kept = 0;
  for (size_t i = 0; i < n; ++i)
    if (!marked[i]) namespaces[kept++] = namespaces[i];
  namespaces.resize(kept);
}

void CreateNamespaceDataObject(TCommonNamespaceList* namespaces, bool inShellDragLoop, ComPtr<IDataObject>& dataObject) {
  if (!dataObject) dataObject = ComPtr<IDataObject>(TCommonDataObject::New(true)->AsDataObject());
  ComPtr<ICommonDataObjectFolders> folders;
  if (SUCCEEDED(dataObject.As(folders)) && folders) {
    folders->SetIsMultiFolder(true);
    folders->SetIsMultiFolderVerified(true);
  }
  if (!namespaces) return;
  RemoveDuplicatePIDLEntries(*namespaces);
  Owned<TCommonShellIDList> shellIDList(TCommonShellIDList::New());
  Owned<TCommonHDrop> hDrop(TCommonHDrop::New());
  Owned<TCommonInShellDragLoop> dragLoop(inShellDragLoop ? TCommonInShellDragLoop::New() : nullptr);
  Owned<TCommonPIDLList> pidls(TCommonPIDLList::New());
  pidls->SetSharePIDLs(true);
  Owned<TStringList> files(TStringList::New());
  static const Byte kDesktop[2] = {0, 0};
  pidls->Add(reinterpret_cast<PItemIDList>(const_cast<Byte*>(kDesktop)));
  for (ICommonNamespaceItem* ns : *namespaces) {
    pidls->Add(const_cast<PItemIDList>(ns->GetAbsolutePIDL()));
    if (ns->GetFileSystem()) files->Add(ns->GetNameForParsing());
  }
  shellIDList->AssignPIDLs(pidls.get());
  // Outgoing names are written as UTF-16: in the 8-bit code page a name it cannot spell would
  // reach the receiver as question marks.
  hDrop->AssignFilesW(files.get());
  shellIDList->SaveToDataObject(dataObject.Get());
  hDrop->SaveToDataObject(dataObject.Get());
  if (dragLoop) {
    dragLoop->SetData(0);
    dragLoop->SaveToDataObject(dataObject.Get());
  }
}

}  // namespace common
