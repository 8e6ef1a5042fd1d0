#include "listview/EmberManagers.h"

#include "listview/EmberControl.h"
#include "platform/gdi/Bitmap.h"

namespace ember {

// ---- Check manager ----
void TEmberCheckManager::SetPendingObject(TEmberCollectionItem* Value) {
  if (Value == FPendingObject) return;
  if (FPendingObject) FPendingObject->SetCheckPending(false);
  FPendingObject = Value;
  if (FPendingObject) FPendingObject->SetCheckPending(true);
}

// ---- Global images ----
void TEmberGlobalImageManager::Create(TCustomEmberListview* AOwner) {
  TEmberOwnedPersistent::Create(AOwner);
  FGroupExpandButton = TBitmap::New();
  FGroupCollapseButton = TBitmap::New();
  FColumnSortUp = TBitmap::New();
  FColumnSortDown = TBitmap::New();
}

void TEmberGlobalImageManager::Destroy() {
  FreeAndNil(FGroupExpandButton);
  FreeAndNil(FGroupCollapseButton);
  FreeAndNil(FColumnSortUp);
  FreeAndNil(FColumnSortDown);
  TEmberOwnedPersistent::Destroy();
}

TBitmap* TEmberGlobalImageManager::Loaded(TBitmap* Bitmap, const char16_t* ResourceName) {
  if (Bitmap->GetWidth() == 0 || Bitmap->GetHeight() == 0) {
    // The glyphs are drawn on magenta, which must not reach the screen.
    Bitmap->SetTransparent(true);
    Bitmap->TransparentMode = TTransparentMode::tmFixed;
    Bitmap->SetTransparentColor(0x00FF00FF);
    Bitmap->LoadFromResourceName(ResourceName);
  }
  return Bitmap;
}

TBitmap* TEmberGlobalImageManager::GetGroupExpandButton() { return Loaded(FGroupExpandButton, u"DEFAULTEXPANDED"); }
TBitmap* TEmberGlobalImageManager::GetGroupCollapseButton() { return Loaded(FGroupCollapseButton, u"DEFAULTCOLLAPSED"); }
TBitmap* TEmberGlobalImageManager::GetColumnSortUp() { return Loaded(FColumnSortUp, u"SORTARROWUP"); }
TBitmap* TEmberGlobalImageManager::GetColumnSortDown() { return Loaded(FColumnSortDown, u"SORTARROWDOWN"); }
// Assigning nil empties the glyph, as the class library's bitmap assignment does, so the next
// read loads the built-in one again.
void TEmberGlobalImageManager::Take(TBitmap* Own, TBitmap* Value) {
  if (Value) {
    Own->Assign(*Value);
    return;
  }
  Owned<TBitmap> empty(TBitmap::New());
  Own->Assign(*empty);
}
void TEmberGlobalImageManager::SetGroupExpandButton(TBitmap* V) { Take(FGroupExpandButton, V); }
void TEmberGlobalImageManager::SetGroupCollapseButton(TBitmap* V) { Take(FGroupCollapseButton, V); }
void TEmberGlobalImageManager::SetColumnSortUp(TBitmap* V) { Take(FColumnSortUp, V); }
void TEmberGlobalImageManager::SetColumnSortDown(TBitmap* V) { Take(FColumnSortDown, V); }

}  // namespace ember
