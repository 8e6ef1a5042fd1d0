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
void TEmberGlobalImageManager::SetGroupExpandButton(TBitmap* V) { if (V) FGroupExpandButton->Assign(*V); }
void TEmberGlobalImageManager::SetGroupCollapseButton(TBitmap* V) { if (V) FGroupCollapseButton->Assign(*V); }
void TEmberGlobalImageManager::SetColumnSortUp(TBitmap* V) { if (V) FColumnSortUp->Assign(*V); }
void TEmberGlobalImageManager::SetColumnSortDown(TBitmap* V) { if (V) FColumnSortDown->Assign(*V); }

}  // namespace ember
