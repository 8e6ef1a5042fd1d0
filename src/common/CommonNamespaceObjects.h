#pragma once
// The two routines of the common library that turn a selection of shell namespace items into the
// data object of drag and drop and the clipboard. The common library does not know the shell
// library's namespace class: it sees each item through ICommonNamespaceItem, which the shell
// library's namespace implements.

#include <vector>

#include "common/CommonDataObject.h"

namespace common {

// One item of the shell's namespace, as these routines need it.
class ICommonNamespaceItem {
public:
  // The item's full ID list from the desktop, owned by the item. The desktop's own is the empty
  // list (a single zero count).
  virtual const ITEMIDLIST* GetAbsolutePIDL() const = 0;
  // Whether the item is an object of the file system, and then its parsing name (its path).
  virtual bool GetFileSystem() const = 0;
  virtual String GetNameForParsing() const = 0;

protected:
  ~ICommonNamespaceItem() = default;
};

using TCommonNamespaceList = std::vector<ICommonNamespaceItem*>;

// Sorts the items by the number of IDs in their lists, most first, and removes (without freeing
// them) the desktop and every repeat of an item already in the list.
void RemoveDuplicatePIDLEntries(TCommonNamespaceList& namespaces);

// Puts the items into `dataObject` (a new reference-counted TCommonDataObject when it is nil) as a
// shell ID list relative to the desktop, a file list of the file-system items (UTF-16 names, so
// none is lost to the code page) and, when asked, the in-shell-drag-loop flag (0). The object is
// marked as holding items of several folders. A nil list adds no formats. Duplicates are removed
// from the list first.
void CreateNamespaceDataObject(TCommonNamespaceList* namespaces, bool inShellDragLoop, ComPtr<IDataObject>& dataObject);

}  // namespace common
