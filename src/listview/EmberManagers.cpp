#include "listview/EmberManagers.h"

#include "listview/EmberAccessible.h"

#include "listview/EmberControl.h"
#include "platform/gdi/Bitmap.h"

namespace ember {

// ---- Selection ----
void TEmberSelectionManager::Create(TCustomEmberListview* AOwner) { TEmberOwnedPersistent::Create(AOwner); }

void TEmberSelectionManager::InvalidateOwner() {
  if (OwnerListview()) OwnerListview()->SafeInvalidateRect(nullptr, false);
}

void TEmberSelectionManager::SetEnabled(bool Value) {
  if (!Value) ClearAll();
  FEnabled = Value;
}

void TEmberSelectionManager::SetMultiSelect(bool Value) {
  if (Value == FMultiSelect) return;
  FMultiSelect = Value;
  ClearAll();
}

void TEmberSelectionManager::SetGroupSelections(bool Value) {
  if (Value == FGroupSelections) return;
  TEmberUpdateGuard update(OwnerListview());
  FGroupSelections = Value;
  BuildSelectionGroupings(true);
  update.End();
}

// The manager's focused item changes only for another item; the old one loses its focus first,
// and when it refuses, nothing else happens.
void TEmberSelectionManager::SetFocusedItem(TEmberItem* Value) {
  if (!Value) {
    TEmberItem* old = FFocusedItem;
    FFocusedItem = nullptr;
    if (old) old->SetFocused(false);
    return;
  }
  if (Value == FFocusedItem || !Value->GetVisible() || !Value->GetEnabled()) return;
  if (TEmberItem* old = FFocusedItem) {
    old->SetFocused(false);
    if (old->GetFocused()) return;
  }
  FFocusedItem = Value;
  Value->SetFocused(true);
}

void TEmberSelectionManager::SetAnchorItem(TEmberItem* Value) {
  if (!Value) {
    FAnchorItem = nullptr;
    return;
  }
  if (Value->GetVisible() && Value->GetEnabled()) FAnchorItem = Value;
}

TEmberColumn* TEmberSelectionManager::GetFocusedColumn() const {
  if (FFocusedColumn) return FFocusedColumn;
  return OwnerListview() && OwnerListview()->GetHeader() ? OwnerListview()->GetHeader()->FirstColumn() : nullptr;
}

void TEmberSelectionManager::SetFocusedColumn(TEmberColumn* Value) {
  if (Value == FFocusedColumn) return;
  TEmberColumn* old = FFocusedColumn;
  FFocusedColumn = Value;
  if (Value) {
    Value->SetFocused(true);
    Value->Invalidate(false);
  }
  if (old) {
    old->SetFocused(false);
    old->Invalidate(false);
  }
}

void TEmberSelectionManager::IncMultiChangeCount() {
  if (FMultiChangeCount == 0) FItemsToggled = 0;
  ++FMultiChangeCount;
}

void TEmberSelectionManager::DecMultiChangeCount() {
  if (--FMultiChangeCount >= 1) return;
  FMultiChangeCount = 0;
  if (FItemsToggled > 0 && OwnerListview()) OwnerListview()->DoItemSelectionsChanged();
}

void TEmberSelectionManager::GroupSelectEndUpdate() {
  if (--FGroupSelectUpdateCount >= 1) return;
  FGroupSelectUpdateCount = 0;
  BuildSelectionGroupings(false);
}

void TEmberSelectionManager::NotifyToggle() {
  ++FItemsToggled;
  if (FMultiChangeCount == 0 && FItemsToggled >= 1) {
    FItemsToggled = 0;
    if (OwnerListview()) OwnerListview()->DoItemSelectionsChanged();
  }
}

void TEmberSelectionManager::GainingSelection(TEmberItem* Item) {
  if (!FMultiSelect) ClearAllExcept(Item);
  ++FCount;
  if (!FMultiSelect) SetFocusedItem(Item);
  NotifyToggle();
}

void TEmberSelectionManager::LosingSelection(TEmberItem* Item) {
  --FCount;
  Item->ReleaseSelectionGroup();
  NotifyToggle();
}

void TEmberSelectionManager::Walk(bool Select, TEmberItem* Except) {
  if (!FEnabled || !OwnerListview()) return;
  IncMultiChangeCount();
  GroupSelectBeginUpdate();
  struct Close {
    TEmberSelectionManager* M;
    ~Close() {
      try {
        M->GroupSelectEndUpdate();
        M->DecMultiChangeCount();
      } catch (...) {
      }
    }
  } close{this};
  TEmberGroups* groups = OwnerListview()->GetGroups();
  for (Integer g = 0; g < groups->GetCount(); ++g) {
    TEmberGroup* group = groups->GetGroup(g);
    for (Integer i = 0; i < group->GetItemCount(); ++i) {
      if (!Select && FCount < 1) return;
      TEmberItem* item = group->GetItem(i);
      if (item != Except) item->SetSelected(Select);
    }
  }
  if (OwnerListview()->GetDragManager()) OwnerListview()->GetDragManager()->SetDragItem(nullptr);
}

void TEmberSelectionManager::ClearAll() { Walk(false, nullptr); }
void TEmberSelectionManager::ClearAllExcept(TEmberItem* Except) { Walk(false, Except); }
void TEmberSelectionManager::SelectAll() { Walk(true, nullptr); }

TEmberItem* TEmberSelectionManager::First() const {
  if (FCount < 1 || !OwnerListview()) return nullptr;
  TEmberGroups* groups = OwnerListview()->GetGroups();
  for (TEmberItem* i = groups->FirstItem(); i; i = groups->NextItem(i))
    if (i->GetSelected()) return i;
  return nullptr;
}

TEmberItem* TEmberSelectionManager::Next(TEmberItem* Item) const {
  if (!Item || !OwnerListview()) return nullptr;
  TEmberGroups* groups = OwnerListview()->GetGroups();
  for (TEmberItem* i = groups->NextItem(Item); i; i = groups->NextItem(i))
    if (i->GetSelected()) return i;
  return nullptr;
}

// Runs of neighbouring selected items share one selection group.
void TEmberSelectionManager::BuildSelectionGroupings(bool Force) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv || lv->Loading()) return;
  if (!Force && (!FGroupSelections || FGroupSelectUpdateCount != 0)) return;
  TEmberGroups* groups = lv->GetGroups();
  for (Integer g = 0; g < groups->GetCount(); ++g) {
    auto& visible = groups->GetGroup(g)->VisibleItems();
    for (TEmberItem* item : visible) item->ReleaseSelectionGroup();
    for (size_t i = 0; i < visible.size(); ++i) {
      TEmberItem* first = visible[i];
      if (!first->GetSelected() || !FGroupSelections) continue;
      TEmberSelectionGroupList* list = nullptr;
      while (i + 1 < visible.size() && visible[i + 1]->GetSelected()) {
        if (!list) {
          list = TEmberSelectionGroupList::New();
          list->Add(first);
          list->SetDisplayRect(first->GetDisplayRect());
          list->SetFirstItem(first);
          list->IncRef();
          first->SetSelectionGroup(list);
        }
        TEmberItem* next = visible[++i];
        list->Add(next);
        list->SetDisplayRect(UnionRectEx(list->GetDisplayRect(), next->GetDisplayRect()));
        list->IncRef();
        next->SetSelectionGroup(list);
      }
    }
  }
}

// ---- Check manager ----
void TEmberCheckManager::SetPendingObject(TEmberCollectionItem* Value) {
  if (Value == FPendingObject) return;
  if (FPendingObject) FPendingObject->SetCheckPending(false);
  FPendingObject = Value;
  if (FPendingObject) FPendingObject->SetCheckPending(true);
}

// ---- Scroll bars ----
void TEmberScrollbarManager::SetOffsetX(Integer Value) { FOffsetX = Value; }
void TEmberScrollbarManager::SetOffsetY(Integer Value) { FOffsetY = Value; }
void TEmberScrollbarManager::SetViewRect(const TRect& Value, bool) { FViewRect = Value; }
TPoint TEmberScrollbarManager::MapWindowToView(TPoint P) const {
  const Integer h = OwnerListview() ? OwnerListview()->GetHeader()->RuntimeHeight() : 0;
  return TPoint{P.X + FOffsetX, P.Y + FOffsetY - h};
}
TPoint TEmberScrollbarManager::MapViewToWindow(TPoint P) const {
  const Integer h = OwnerListview() ? OwnerListview()->GetHeader()->RuntimeHeight() : 0;
  return TPoint{P.X - FOffsetX, P.Y - FOffsetY + h};
}
TRect TEmberScrollbarManager::MapWindowRectToViewRect(const TRect& R) const {
  TPoint a = MapWindowToView({R.Left, R.Top});
  TPoint b = MapWindowToView({R.Right, R.Bottom});
  return TRect{a.X, a.Y, b.X, b.Y};
}
TRect TEmberScrollbarManager::MapViewRectToWindowRect(const TRect& R) const {
  TPoint a = MapViewToWindow({R.Left, R.Top});
  TPoint b = MapViewToWindow({R.Right, R.Bottom});
  return TRect{a.X, a.Y, b.X, b.Y};
}
void TEmberScrollbarManager::ReCalculateScrollbars(bool, bool) {}

// ---- Edit, search, hot tracking, sorting ----

// ---- Header ----
void TEmberHeader::Create(TCustomEmberListview* AOwner) {
  TEmberOwnedPersistent::Create(AOwner);
  FColumns = TEmberColumns::New(AOwner);
  FFont = TFont::New();
  FDragManager = TEmberHeaderDragManager::New(AOwner);
}

void TEmberHeader::Destroy() {
  DisconnectAccessible(FAccessible);
  FPositions.clear();
  FVisibleColumns.clear();
  FreeAndNil(FColumns);
  FreeAndNil(FDragManager);
  FreeAndNil(FFont);
  TEmberOwnedPersistent::Destroy();
}

Integer TEmberHeader::RuntimeHeight() const {
  return FVisible && OwnerListview() && OwnerListview()->HeaderInUse() ? FHeight : 0;
}

void TEmberHeader::Invalidate(bool ImmediateUpdate) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv || !lv->HandleAllocated()) return;
  TRect r{0, 0, lv->GetClientWidth(), RuntimeHeight()};
  lv->SafeInvalidateRect(&r, ImmediateUpdate);
}

void TEmberHeader::ClearPositions() {
  FPositions.clear();
  FVisibleColumns.clear();
  FHasPositions = false;
}

TEmberColumn* TEmberHeader::FirstColumn() const {
  if (!FPositions.empty()) return FPositions.front();
  return FColumns && FColumns->GetCount() ? FColumns->GetColumn(0) : nullptr;
}

TEmberColumn* TEmberHeader::FirstVisibleColumn() const {
  if (!FVisibleColumns.empty()) return FVisibleColumns.front();
  if (!FColumns) return nullptr;
  for (Integer i = 0; i < FColumns->GetCount(); ++i)
    if (FColumns->GetColumn(i)->GetVisible()) return FColumns->GetColumn(i);
  return nullptr;
}

// The columns in display order (positions as the stream left them are put in order here) and
// their rectangles side by side.
void TEmberHeader::Rebuild(bool) {
  if (FRebuilding || !FColumns) return;
  FRebuilding = true;
  FPositions.clear();
  for (Integer i = 0; i < FColumns->GetCount(); ++i) FPositions.push_back(FColumns->GetColumn(i));
  std::stable_sort(FPositions.begin(), FPositions.end(),
                   [](TEmberColumn* a, TEmberColumn* b) { return a->GetPosition() < b->GetPosition(); });
  FVisibleColumns.clear();
  Integer x = 0;
  for (size_t p = 0; p < FPositions.size(); ++p) {
    TEmberColumn* c = FPositions[p];
    c->SetPositionField(static_cast<Integer>(p));
    if (c->GetVisible()) {
      c->SetDisplayRect(TRect{x, 0, x + c->GetWidth(), FHeight});
      x += c->GetWidth();
      FVisibleColumns.push_back(c);
    } else {
      c->SetDisplayRect(TRect{});
    }
  }
  FViewRect = TRect{0, 0, x, FHeight};
  FHasPositions = true;
  FRebuilding = false;
}

void TEmberHeader::LoadFromStream(TStream& S, Integer&) {
  if (FStreamColumns) FColumns->ReadItems(S);
}
void TEmberHeader::SaveToStream(TStream& S, Integer) {
  if (FStreamColumns) FColumns->WriteItems(S);
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

namespace ember {
void TEmberSelectionManager::SelectRange(TEmberItem* FromItem, TEmberItem* ToItem, bool ClearFirst, bool) {
  if (!FEnabled || !FMultiSelect) return;
  IncMultiChangeCount();
  if (ClearFirst) ClearAll();
  if (FromItem && ToItem) {
    TEmberGroups* gs = OwnerListview()->GetGroups();
    bool swap = FromItem->GetOwnerGroup() != ToItem->GetOwnerGroup()
                    ? FromItem->GetOwnerGroup()->GetIndex() > ToItem->GetOwnerGroup()->GetIndex()
                    : FromItem->GetIndex() > ToItem->GetIndex();
    if (swap) std::swap(FromItem, ToItem);
    for (TEmberItem* i = FromItem; i && i != ToItem; i = gs->NextVisibleItem(i)) i->SetSelected(true);
    ToItem->SetSelected(true);
  }
  DecMultiChangeCount();
}
void TEmberSelectionManager::DragSelect(bool Toggle, TRect NewRect, TRect OldRect) {
  if (!FEnabled || !FMultiSelect) return;
  IncMultiChangeCount();
  TEmberGroups* gs = OwnerListview()->GetGroups();
  for (TEmberItem* i = gs->FirstItem(); i; i = gs->NextItem(i)) {
    TRect x;
    const bool n = IntersectRectEx(x, i->GetDisplayRect(), NewRect), o = IntersectRectEx(x, i->GetDisplayRect(), OldRect);
    if (Toggle) {
      if (n != o) i->SetSelected(!i->GetSelected());
    } else if (n) {
      i->SetSelected(true);
    } else if (o) {
      i->SetSelected(false);
    }
  }
  DecMultiChangeCount();
}
void TCustomEmberDragManagerBase::BeginDrag(TPoint WindowPt, TCommonKeyStates Keys) { DoDragBegin(WindowPt, Keys); }
void TCustomEmberDragManagerBase::DragEnter(IDataObject*, TCommonKeyStates, TPoint, TCommonDropEffect&) { FDragging = true; }
void TCustomEmberDragManagerBase::Drag(TCommonKeyStates Keys, TPoint WindowPt, TCommonDropEffect& Effect) {
  DoDrag(Keys, WindowPt, Effect);
}
void TCustomEmberDragManagerBase::DragEnd(TCommonKeyStates Keys, TPoint WindowPt) {
  FDragging = false;
  DoDragEnd(WindowPt, Keys);
}
Integer TEmberScrollbarManager::MaxOffsetX() const {
  TCustomEmberListview* lv = OwnerListview();
  return std::max(0, FViewRect.Width() - lv->GetClientWidth());
}
Integer TEmberScrollbarManager::MaxOffsetY() const {
  TCustomEmberListview* lv = OwnerListview();
  return std::max(0, FViewRect.Height() - lv->GetClientHeight() + lv->GetHeader()->RuntimeHeight());
}
void TEmberScrollbarManager::Scroll(Integer DeltaX, Integer DeltaY) {
  const Integer x = std::clamp(FOffsetX + DeltaX, 0, MaxOffsetX()), y = std::clamp(FOffsetY + DeltaY, 0, MaxOffsetY());
  if (x == FOffsetX && y == FOffsetY) return;
  const Integer ox = FOffsetX, oy = FOffsetY;
  FOffsetX = x;
  FOffsetY = y;
  OwnerListview()->DoScroll(ox - x, oy - y);
  OwnerListview()->SafeInvalidateRect(nullptr, false);
}
}  // namespace ember
