#include "listview/EmberCollections.h"

#include <algorithm>

#include "listview/EmberControl.h"
#include "listview/EmberStreamIO.h"

namespace ember {

using S = TEmberStorageObjectState;

namespace {
// The message a stream's unknown class stops with.
constexpr const char16_t* UnregisteredClassMessage =
    u"If using custom item types for Item, Groups or Columns you must register them with the streaming system with "
    u"RegisterClass(TMyEmberClassItemType)";

void CheckIndex(Integer Index, Integer Count) {
  if (Index < 0 || Index >= Count) throw EListError(u"List index out of bounds");
}

// Marks an object as going away and takes its focus and selection, as every removal does.
void StartRemoval(TEmberCollectionItem* Obj) {
  Obj->SetState(Obj->GetState() + S::esosDestroying);
  Obj->SetFocused(false);
  Obj->SetSelected(false);
}

void EraseFrom(TEmberCollection::TList& List, TEmberCollectionItem* Obj) {
  auto it = std::find(List.begin(), List.end(), Obj);
  if (it != List.end()) List.erase(it);
}
}  // namespace

// ---- TEmberCollection ----
void TEmberCollection::Create(TCustomEmberListview* AOwner) { TEmberOwnedPersistent::Create(AOwner); }

void TEmberCollection::Destroy() {
  Clear(true);
  TEmberOwnedPersistent::Destroy();
}

TEmberCollectionItem* TEmberCollection::InsertOf(const TEmberCollectionItemClass& Class, Integer Index, TObject* Data) {
  if (Index < 0 || Index > GetCount()) throw EListError(u"List index out of bounds");
  TEmberCollectionItem* obj = Class.Make(this);
  FList.insert(FList.begin() + Index, obj);
  MarkMoved(Index);
  ReIndexItems(false);
  DoItemAdd(obj, Index);
  obj->SetData(Data);
  DoStructureChange();
  return obj;
}

TEmberCollectionItem* TEmberCollection::Add(TObject* Data) {
  if (!FItemClass || !FItemClass->CanMake()) return nullptr;
  return InsertOf(*FItemClass, GetCount(), Data);
}

TEmberCollectionItem* TEmberCollection::Unlink(Integer Index) {
  CheckIndex(Index, GetCount());
  TEmberCollectionItem* obj = FList[static_cast<size_t>(Index)];
  StartRemoval(obj);
  // The handlers may have moved it.
  auto it = std::find(FList.begin(), FList.end(), obj);
  if (it == FList.end()) return obj;
  Index = static_cast<Integer>(it - FList.begin());
  FList.erase(it);
  EraseFrom(FVisibleList, obj);
  MarkMoved(Index);
  return obj;
}

void TEmberCollection::Delete(Integer Index) {
  TEmberCollectionItem* obj = Unlink(Index);
  obj->Free();
  ReIndexItems(false);
  DoStructureChange();
}

void TEmberCollection::Replace(Integer Index, TEmberCollectionItem* Value) {
  if (Index < 0 || Index >= GetCount()) return;
  // Only an object of this collection's kind that belongs to no collection can be taken in.
  if (!Value || Value->GetCollection() || !Value->ClassType().InheritsFrom(&Kind())) return;
  TEmberCollectionItem* old = FList[static_cast<size_t>(Index)];
  if (old == Value) return;
  StartRemoval(old);
  EraseFrom(FVisibleList, old);
  auto it = std::find(FList.begin(), FList.end(), old);
  if (it != FList.end()) {
    *it = Value;
    Value->SetCollection(this);
    MarkMoved(static_cast<Integer>(it - FList.begin()));
  }
  old->Free();
  ReIndexItems(false);
  DoStructureChange();
}

void TEmberCollection::Clear(bool FreeItems) {
  if (FList.empty()) return;
  TEmberUpdateGuard update(OwnerListview());
  for (size_t i = 0; i < FList.size(); ++i) StartRemoval(FList[i]);
  FVisibleList.clear();
  if (FreeItems) {
    // Last to first; each leaves the list before it goes, so no handler meets a freed object.
    while (!FList.empty()) {
      TEmberCollectionItem* obj = FList.back();
      FList.pop_back();
      obj->Free();
    }
  } else {
    FList.clear();
  }
  FReIndexFrom = 0;
  Touch();
  if (OwnerListview() && OwnerListview()->HandleAllocated()) {
    OwnerListview()->GetScrollbars()->SetOffsetX(0);
    OwnerListview()->GetScrollbars()->SetOffsetY(0);
  }
  update.End();
}

void TEmberCollection::BeginUpdate() {
  if (OwnerListview()) OwnerListview()->BeginUpdate();
}
void TEmberCollection::EndUpdate(bool Invalidate) {
  if (OwnerListview()) OwnerListview()->EndUpdate(Invalidate);
}

TEmberCollectionItem* TEmberCollection::FirstVisible() const { return FVisibleList.empty() ? nullptr : FVisibleList.front(); }
TEmberCollectionItem* TEmberCollection::LastVisible() const { return FVisibleList.empty() ? nullptr : FVisibleList.back(); }

TEmberCollectionItem* TEmberCollection::NextVisible(TEmberCollectionItem* Item) const {
  if (!Item) return nullptr;
  for (Integer i = Item->GetIndex() + 1; i < GetCount(); ++i)
    if (Get(i)->GetVisible()) return Get(i);
  return nullptr;
}

TEmberCollectionItem* TEmberCollection::PrevVisible(TEmberCollectionItem* Item) const {
  if (!Item) return nullptr;
  for (Integer i = Item->GetIndex() - 1; i >= 0; --i)
    if (Get(i)->GetVisible()) return Get(i);
  return nullptr;
}

void TEmberCollection::MakeAllVisible() {
  for (Integer i = 0; i < GetCount(); ++i) Get(i)->SetVisible(true);
}

// One switch, the groups collection's, holds re-indexing back for every collection of the control.
void TEmberCollection::ReIndexItems(bool Force) {
  TCustomEmberListview* lv = OwnerListview();
  TEmberGroups* groups = lv ? lv->GetGroups() : nullptr;
  if (!Force && groups && groups->GetReIndexDisable()) return;
  for (Integer i = FReIndexFrom; i < GetCount(); ++i) FList[static_cast<size_t>(i)]->SetIndexField(i);
  FReIndexFrom = GetCount();
}

void TEmberCollection::SetReIndexDisable(bool Value) {
  if (Value) {
    ++FReIndexCount;
    return;
  }
  if (--FReIndexCount >= 1) return;
  FReIndexCount = 0;
  ReIndexItems(false);
  // The switch held every collection back, so every collection catches up now.
  if (OwnerListview() && OwnerListview()->GetGroups() == this) {
    auto* groups = static_cast<TEmberGroups*>(this);
    for (Integer g = 0; g < groups->GetCount(); ++g) groups->GetGroup(g)->GetItems()->ReIndexItems(false);
  }
}

void TEmberCollection::AdoptFrom(TEmberCollection& Other) {
  const Integer from = GetCount();
  for (TEmberCollectionItem* obj : Other.FList) {
    obj->SetCollection(this);
    FList.push_back(obj);
  }
  Other.FList.clear();
  Other.FVisibleList.clear();
  Other.FReIndexFrom = 0;
  if (Other.FItemClass) FItemClass = Other.FItemClass;
  MarkMoved(from);
  ReIndexItems(false);
  DoStructureChange();
}

void TEmberCollection::WriteItems(TStream& Str) {
  streamio::WriteInt32(Str, EmberStreamVersion);
  streamio::WriteInt32(Str, GetCount());
  for (Integer i = 0; i < GetCount(); ++i) {
    streamio::WriteClassName(Str, Get(i)->ClassType().ClassName());
    Get(i)->SaveToStream(Str, EmberStreamVersion);
  }
}

void TEmberCollection::ReadItems(TStream& Str) {
  Clear(true);
  const Integer version = streamio::ReadInt32(Str);
  const bool named = version >= 5;
  // Every object takes at least its two-byte state word, and a named one its name's length too.
  const Integer count = streamio::ReadCount(Str, named ? 6 : 2);
  Integer objectVersion = version;
  for (Integer i = 0; i < count; ++i) {
    const TEmberCollectionItemClass* cls = FItemClass;
    if (named) {
      const std::string name = streamio::ReadClassName(Str);
      cls = dynamic_cast<const TEmberCollectionItemClass*>(GetClass(name));
      // A class of another kind (a group in an item list) is refused like an unknown one.
      if (!cls || !cls->InheritsFrom(&Kind()) || !cls->CanMake()) Assert(false, UnregisteredClassMessage, EmberListviewUnit);
      FItemClass = cls;
    } else if (!cls || !cls->InheritsFrom(&Kind()) || !cls->CanMake()) {
      Assert(false, UnregisteredClassMessage, EmberListviewUnit);
    }
    TEmberCollectionItem* obj = InsertOf(*cls, GetCount(), nullptr);
    obj->LoadFromStream(Str, objectVersion);
  }
}

// ---- TEmberItems ----
void TEmberItems::Create(TCustomEmberListview* AOwner, TEmberGroup* AOwnerGroup) {
  TEmberCollection::Create(AOwner);
  FOwnerGroup = AOwnerGroup;
  SetItemClass(&TEmberItemStored::StaticClass());
}

TEmberItem* TEmberItems::AddCustom(const TEmberCollectionItemClass* ItemClass, TObject* Data) {
  return InsertCustom(GetCount(), ItemClass, Data);
}

TEmberItem* TEmberItems::InsertCustom(Integer Index, const TEmberCollectionItemClass* ItemClass, TObject* Data) {
  if (!ItemClass || !ItemClass->InheritsFrom(&Kind()) || !ItemClass->CanMake()) return nullptr;
  return static_cast<TEmberItem*>(InsertOf(*ItemClass, Index, Data));
}

void TEmberItems::Delete(Integer Index) {
  CheckIndex(Index, GetCount());
  TCustomEmberListview* lv = OwnerListview();
  TEmberItem* item = GetItem(Index);
  TEmberItem* successor = nullptr;
  if (lv && !lv->Destroying() && item->GetFocused()) {
    successor = lv->GetGroups()->NextVisibleItem(item);
    if (!successor) successor = lv->GetGroups()->PrevVisibleItem(item);
  }
  if (FOwnerGroup) {
    auto& visible = FOwnerGroup->VisibleItems();
    const Integer v = item->GetVisibleIndexInGroup();
    if (v >= 0 && v < static_cast<Integer>(visible.size()) && visible[static_cast<size_t>(v)] == item)
      visible.erase(visible.begin() + v);
    else if (auto it = std::find(visible.begin(), visible.end(), item); it != visible.end())
      visible.erase(it);
  }
  TEmberCollection::Delete(Index);
  if (successor) successor->SetFocused(true);
}

namespace {
// A batch of selection changes for one scope: one selections-changed notice at its end.
class TSelectionBatch {
public:
  TSelectionBatch(TEmberSelectionManager* Sel, bool GroupSelectFirst) : FSel(Sel), FGroupSelectFirst(GroupSelectFirst) {
    if (!FSel) return;
    FSel->IncMultiChangeCount();
    FSel->GroupSelectBeginUpdate();
  }
  void End() {
    TEmberSelectionManager* sel = FSel;
    FSel = nullptr;
    if (!sel) return;
    if (FGroupSelectFirst) {
      sel->GroupSelectEndUpdate();
      sel->DecMultiChangeCount();
    } else {
      sel->DecMultiChangeCount();
      sel->GroupSelectEndUpdate();
    }
  }
  ~TSelectionBatch() {
    try {
      End();
    } catch (...) {
    }
  }

private:
  TEmberSelectionManager* FSel;
  bool FGroupSelectFirst;
};
}  // namespace

void TEmberItems::Clear(bool FreeItems) {
  if (GetCount() == 0) return;
  TSelectionBatch batch(OwnerListview() ? OwnerListview()->GetSelection() : nullptr, true);
  if (FOwnerGroup) FOwnerGroup->VisibleItems().clear();
  TEmberCollection::Clear(FreeItems);
  batch.End();
}

void TEmberItems::DoStructureChange() {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  if (lv->GetIncrementalSearch()) lv->GetIncrementalSearch()->ResetSearch();
  lv->GetGroups()->Rebuild(false);
  if (lv->GetSort() && lv->GetSort()->GetAutoSort()) lv->GetSort()->SortAll();
  if (lv->GetUpdateCount() > 0)
    lv->States().Include(TEmberControlState::ebcsItemStructureUpdatePending);
  else
    lv->DoItemStructureChange();
}

// ---- TEmberGroups ----
void TEmberGroups::Create(TCustomEmberListview* AOwner) {
  TEmberCollection::Create(AOwner);
  SetItemClass(&TEmberGroupStored::StaticClass());
  FStreamGroups = true;
}

void TEmberGroups::Clear(bool FreeItems) {
  if (GetCount() == 0) return;
  TSelectionBatch batch(OwnerListview() ? OwnerListview()->GetSelection() : nullptr, false);
  TEmberCollection::Clear(FreeItems);
  batch.End();
}

void TEmberGroups::MakeAllVisible() {
  TEmberUpdateGuard update(OwnerListview());
  for (Integer g = 0; g < GetCount(); ++g) {
    GetGroup(g)->SetVisible(true);
    GetGroup(g)->GetItems()->MakeAllVisible();
  }
  update.End();
}

void TEmberGroups::ExpandAll() {
  TEmberUpdateGuard update(OwnerListview());
  for (Integer g = 0; g < GetCount(); ++g) GetGroup(g)->SetExpanded(true);
  update.End();
}

void TEmberGroups::Rebuild(bool Force) {
  TCustomEmberListview* lv = OwnerListview();
  if (Rebuilding() || !lv) return;
  if ((lv->GetUpdateCount() > 0 && !Force) || lv->Loading() || !lv->HandleAllocated()) return;
  struct Flag {
    TEmberGroupsStates& S;
    ~Flag() { S.Exclude(TEmberGroupsState::egsRebuilding); }
  } flag{FGroupsState};
  FGroupsState.Include(TEmberGroupsState::egsRebuilding);
  FVisibleList.clear();
  FVisibleList.reserve(static_cast<size_t>(GetCount()));
  lv->GetHeader()->Rebuild(Force);
  TRect view{};
  Integer nextVisibleItem = 0;
  Integer nextVisibleGroup = 0;
  TEmberGroup* prev = nullptr;
  for (Integer g = 0; g < GetCount(); ++g) {
    TEmberGroup* group = GetGroup(g);
    if (group->GetVisible()) {
      FVisibleList.push_back(group);
      group->SetVisibleIndex(nextVisibleGroup++);
    } else {
      group->SetVisibleIndex(-1);
    }
    group->Rebuild(prev, nextVisibleItem);
    view = UnionRectEx(view, group->GetDisplayRect());
    view.Left = 0;
    view.Top = 0;
    group->GetItems()->ReIndexItems(false);
    prev = group;
  }
  if (lv->GetSelection()->GetGroupSelections()) lv->GetSelection()->BuildSelectionGroupings(false);
  lv->GetScrollbars()->SetViewRect(view, true);
}

void TEmberGroups::LoadFromStream(TStream& Str, Integer&) {
  if (FStreamGroups) ReadItems(Str);
}
void TEmberGroups::SaveToStream(TStream& Str, Integer) {
  if (FStreamGroups) WriteItems(Str);
}

void TEmberGroups::DoStructureChange() {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  Rebuild(false);
  if (lv->GetUpdateCount() > 0)
    lv->States().Include(TEmberControlState::ebcsGroupStructureUpdatePending);
  else
    lv->DoGroupStructureChange();
}

// ---- Group walks ----
TEmberGroup* TEmberGroups::FirstGroup() const { return GetCount() ? GetGroup(0) : nullptr; }
TEmberGroup* TEmberGroups::LastGroup() const { return GetCount() ? GetGroup(GetCount() - 1) : nullptr; }
TEmberGroup* TEmberGroups::FirstVisibleGroup() const {
  for (Integer g = 0; g < GetCount(); ++g)
    if (GetGroup(g)->GetVisible()) return GetGroup(g);
  return nullptr;
}
TEmberGroup* TEmberGroups::LastVisibleGroup() const {
  for (Integer g = GetCount() - 1; g >= 0; --g)
    if (GetGroup(g)->GetVisible()) return GetGroup(g);
  return nullptr;
}
TEmberGroup* TEmberGroups::NextVisibleGroup(TEmberGroup* Group) const {
  if (!Group) return nullptr;
  for (Integer g = Group->GetIndex() + 1; g < GetCount(); ++g)
    if (GetGroup(g)->GetVisible() && GetGroup(g)->GetExpanded()) return GetGroup(g);
  return nullptr;
}
TEmberGroup* TEmberGroups::VisibleGroup(Integer Index) const {
  if (Index < 0 || Index >= GetVisibleCount()) return nullptr;
  return static_cast<TEmberGroup*>(FVisibleList[static_cast<size_t>(Index)]);
}

// ---- Item walks ----
bool TEmberGroups::Passes(TEmberItem* Item, Test T) const {
  switch (T) {
    case Test::Any: return true;
    case Test::Visible: return Item->GetVisible();
    case Test::Initialized: return Item->GetInitialized();
    case Test::Editable: {
      if (!Item->GetVisible()) return false;
      bool allow = true;
      Integer column = 0;
      if (OwnerListview()) OwnerListview()->DoItemEditBegin(Item, column, allow);
      return allow;
    }
  }
  return false;
}

TEmberItem* TEmberGroups::FirstOf(Test T) const {
  for (Integer g = 0; g < GetCount(); ++g) {
    TEmberGroup* group = GetGroup(g);
    for (Integer i = 0; i < group->GetItemCount(); ++i)
      if (Passes(group->GetItem(i), T)) return group->GetItem(i);
  }
  return nullptr;
}

TEmberItem* TEmberGroups::LastOf(Test T) const {
  for (Integer g = GetCount() - 1; g >= 0; --g) {
    TEmberGroup* group = GetGroup(g);
    for (Integer i = group->GetItemCount() - 1; i >= 0; --i)
      if (Passes(group->GetItem(i), T)) return group->GetItem(i);
  }
  return nullptr;
}

// From the item onwards (backwards) through the groups; a collapsed or disabled group is passed
// over as a whole.
TEmberItem* TEmberGroups::Walk(TEmberItem* Item, Test T, bool Forward) const {
  if (!Item || !Item->GetOwnerGroup()) return nullptr;
  TEmberGroup* group = Item->GetOwnerGroup();
  Integer g = group->GetIndex();
  Integer i = Item->GetIndex() + (Forward ? 1 : -1);
  for (;;) {
    if (Forward) {
      for (; i < group->GetItemCount(); ++i)
        if (Passes(group->GetItem(i), T)) return group->GetItem(i);
    } else {
      for (; i >= 0; --i)
        if (Passes(group->GetItem(i), T)) return group->GetItem(i);
    }
    do {
      g += Forward ? 1 : -1;
      if (g < 0 || g >= GetCount()) return nullptr;
      group = GetGroup(g);
    } while (!(group->GetExpanded() && group->GetEnabled()));
    i = Forward ? 0 : group->GetItemCount() - 1;
  }
}

TEmberItem* TEmberGroups::FirstItem() const {
  for (Integer g = 0; g < GetCount(); ++g)
    if (GetGroup(g)->GetItemCount() > 0) return GetGroup(g)->GetItem(0);
  return nullptr;
}
TEmberItem* TEmberGroups::LastItem() const {
  for (Integer g = GetCount() - 1; g >= 0; --g)
    if (GetGroup(g)->GetItemCount() > 0) return GetGroup(g)->GetItem(GetGroup(g)->GetItemCount() - 1);
  return nullptr;
}
TEmberItem* TEmberGroups::FirstVisibleItem() const { return FirstOf(Test::Visible); }
TEmberItem* TEmberGroups::FirstInitializedItem() const { return FirstOf(Test::Initialized); }
TEmberItem* TEmberGroups::LastVisibleItem() const { return LastOf(Test::Visible); }
TEmberItem* TEmberGroups::LastInitializedItem() const { return LastOf(Test::Initialized); }
TEmberItem* TEmberGroups::NextItem(TEmberItem* Item) const { return Walk(Item, Test::Any, true); }
TEmberItem* TEmberGroups::NextVisibleItem(TEmberItem* Item) const { return Walk(Item, Test::Visible, true); }
TEmberItem* TEmberGroups::NextInitializedItem(TEmberItem* Item) const { return Walk(Item, Test::Initialized, true); }
TEmberItem* TEmberGroups::NextEditableItem(TEmberItem* Item) const { return Walk(Item, Test::Editable, true); }
TEmberItem* TEmberGroups::PrevItem(TEmberItem* Item) const { return Walk(Item, Test::Any, false); }
TEmberItem* TEmberGroups::PrevVisibleItem(TEmberItem* Item) const { return Walk(Item, Test::Visible, false); }
TEmberItem* TEmberGroups::PrevInitializedItem(TEmberItem* Item) const { return Walk(Item, Test::Initialized, false); }
TEmberItem* TEmberGroups::PrevEditableItem(TEmberItem* Item) const { return Walk(Item, Test::Editable, false); }

TEmberItem* TEmberGroups::FirstVisibleInGroup(TEmberGroup* Group) const {
  if (!Group) return nullptr;
  for (Integer i = 0; i < Group->GetItemCount(); ++i)
    if (Group->GetItem(i)->GetVisible()) return Group->GetItem(i);
  return nullptr;
}
TEmberItem* TEmberGroups::NextVisibleInGroup(TEmberGroup* Group, TEmberItem* Item) const {
  if (!Group || !Item) return nullptr;
  for (Integer i = Item->GetIndex() + 1; i < Group->GetItemCount(); ++i)
    if (Group->GetItem(i)->GetVisible()) return Group->GetItem(i);
  return nullptr;
}

// ---- Rectangle queries ----
// Groups stand in order (one below the other, or side by side in the horizontal views), so a
// binary search skips those that end before the rectangle or point.
size_t TEmberGroups::FirstVisibleGroupReaching(Integer Coord) const {
  const bool vert = !OwnerListview() || OwnerListview()->IsVertView();
  auto it = std::partition_point(FVisibleList.begin(), FVisibleList.end(), [&](TEmberCollectionItem* g) {
    return (vert ? g->GetDisplayRect().Bottom : g->GetDisplayRect().Right) <= Coord;
  });
  return static_cast<size_t>(it - FVisibleList.begin());
}

TEmberGroup* TEmberGroups::FirstGroupInRect(const TRect& R) const {
  TRect x;
  const bool vert = !OwnerListview() || OwnerListview()->IsVertView();
  for (size_t i = FirstVisibleGroupReaching(vert ? R.Top : R.Left); i < FVisibleList.size(); ++i) {
    TEmberCollectionItem* g = FVisibleList[i];
    if (IntersectRectEx(x, g->GetDisplayRect(), R)) return static_cast<TEmberGroup*>(g);
    if (vert ? g->GetDisplayRect().Top >= R.Bottom : g->GetDisplayRect().Left >= R.Right) break;
  }
  return nullptr;
}

// Groups are laid out in order: only the next visible group can still reach into the rectangle
// (or one without items, which has no extent of its own).
TEmberGroup* TEmberGroups::NextGroupInRect(TEmberGroup* Group, const TRect& R) const {
  if (!Group) return nullptr;
  // A hidden group has no place in the visible list: the visible groups after it follow it.
  TEmberGroup* g = Group->GetVisibleIndex() >= 0 ? VisibleGroup(Group->GetVisibleIndex() + 1)
                                                  : static_cast<TEmberGroup*>(NextVisible(Group));
  if (!g) return nullptr;
  TRect x;
  return IntersectRectEx(x, g->GetDisplayRect(), R) || g->GetItemCount() == 0 ? g : nullptr;
}

// The grids find the first cell in the rectangle by arithmetic over their uniform cells.
TEmberItem* TEmberGroups::FirstItemInRect(const TRect& R) const {
  for (TEmberGroup* g = FirstGroupInRect(R); g; g = NextGroupInRect(g, R)) {
    if (!g->GetExpanded() || g->GetItemCount() == 0) continue;
    TEmberGridGroup* grid = g->GetGrid();
    const Integer k = grid ? grid->FirstVisibleInRect(R) : -1;
    if (k >= 0) return g->GetVisibleItem(k);
  }
  return nullptr;
}

TEmberItem* TEmberGroups::NextItemInRect(TEmberItem* Item, const TRect& R) const {
  if (!Item || !OwnerListview()) return nullptr;
  TCustomEmberListview* lv = OwnerListview();
  const bool report = lv->GetView() == TEmberListStyle::elsReport || lv->GetView() == TEmberListStyle::elsReportThumb;
  TRect x;
  TEmberGroup* g = Item->GetOwnerGroup();
  Integer i = Item->GetIndex() + 1;
  while (g) {
    if (g->GetExpanded()) {
      for (; i < g->GetItemCount(); ++i) {
        TEmberItem* item = g->GetItem(i);
        if (!item->GetVisible()) continue;
        TRect r = item->GetDisplayRect();
        if (report) {
          r.Left = lv->GetHeader()->GetViewRect().Left;
          r.Right = lv->GetHeader()->GetViewRect().Right;
        }
        if (IntersectRectEx(x, r, R)) return item;
        // Cells are laid out in order: one past the rectangle ends the search.
        if (report) return nullptr;
        if (lv->IsVertView() ? r.Top > R.Bottom : r.Left > R.Right) return nullptr;
      }
    }
    g = NextGroupInRect(g, R);
    i = 0;
  }
  return nullptr;
}

TEmberGroup* TEmberGroups::GroupByPoint(TPoint P) const {
  const bool vert = !OwnerListview() || OwnerListview()->IsVertView();
  for (size_t i = FirstVisibleGroupReaching(vert ? P.Y : P.X); i < FVisibleList.size(); ++i) {
    auto* group = static_cast<TEmberGroup*>(FVisibleList[i]);
    const TRect& r = group->GetDisplayRect();
    if (vert ? r.Top > P.Y : r.Left > P.X) break;
    if (group->GetVisible() && group->GetEnabled() && PtInRectEx(r, P)) return group;
  }
  return nullptr;
}

TEmberItem* TEmberGroups::ItemByPoint(TPoint P) const {
  if (OwnerListview()) {
    const Integer h = OwnerListview()->GetHeader()->RuntimeHeight();
    if (h > 0) P.Y -= h;
  }
  TEmberGroup* g = GroupByPoint(P);
  return g ? g->ItemByPoint(P) : nullptr;
}

TEmberItem* TEmberGroups::AdjacentItem(TEmberItem* Item, TEmberAdjacentCellDir Direction) const {
  if (!Item || !Item->GetOwnerGroup()) return nullptr;
  TEmberGridGroup* grid = Item->GetOwnerGroup()->GetGrid();
  return grid ? grid->AdjacentItem(Item, Direction) : nullptr;
}

Integer TEmberGroups::ItemCount() const {
  Integer n = 0;
  for (Integer g = 0; g < GetCount(); ++g) n += GetGroup(g)->GetItemCount();
  return n;
}
Integer TEmberGroups::VisibleItemCount() const {
  Integer n = 0;
  for (Integer g = 0; g < GetCount(); ++g) n += GetGroup(g)->GetVisibleCount();
  return n;
}
TRect TEmberGroups::ViewRect() const {
  TEmberGroup* g = LastVisibleGroup();
  if (!g) return TRect{};
  return TRect{0, 0, g->GetDisplayRect().Right, g->GetDisplayRect().Bottom};
}

Integer TEmberGroups::GetCellHeight() const {
  TEmberGridGroup* grid = GetCount() ? GetGroup(0)->GetGrid() : nullptr;
  return grid && grid->CellSize() ? grid->CellSize()->GetHeight() : 0;
}
Integer TEmberGroups::GetCellWidth() const {
  TEmberGridGroup* grid = GetCount() ? GetGroup(0)->GetGrid() : nullptr;
  return grid && grid->CellSize() ? grid->CellSize()->GetWidth() : 0;
}
void TEmberGroups::SetCellHeight(Integer Value) {
  TEmberUpdateGuard update(OwnerListview());
  for (Integer g = 0; g < GetCount(); ++g)
    if (TEmberGridGroup* grid = GetGroup(g)->GetGrid())
      if (grid->CellSize()) grid->CellSize()->SetHeight(Value);
  update.End();
}
void TEmberGroups::SetCellWidth(Integer Value) {
  TEmberUpdateGuard update(OwnerListview());
  for (Integer g = 0; g < GetCount(); ++g)
    if (TEmberGridGroup* grid = GetGroup(g)->GetGrid())
      if (grid->CellSize()) grid->CellSize()->SetWidth(Value);
  update.End();
}

void TEmberGroups::InvalidateItem(TEmberCollectionItem* Item, bool ImmediateRefresh) {
  if (Item) Item->Invalidate(ImmediateRefresh);
}

// ---- TEmberColumns ----
void TEmberColumns::Create(TCustomEmberListview* AOwner) {
  TEmberCollection::Create(AOwner);
  SetItemClass(&TEmberColumnStored::StaticClass());
}

TEmberColumn* TEmberColumns::Add(TObject* Data) {
  auto* c = static_cast<TEmberColumn*>(TEmberCollection::Add(Data));
  if (c && GetOwnerHeader()) c->SetColor(GetOwnerHeader()->GetColor());
  return c;
}

TEmberColumn* TEmberColumns::ColumnByPoint(TPoint P) const {
  for (Integer i = 0; i < GetCount(); ++i)
    if (PtInRectEx(GetColumn(i)->GetDisplayRect(), P)) return GetColumn(i);
  return nullptr;
}

TEmberHeader* TEmberColumns::GetOwnerHeader() const { return OwnerListview() ? OwnerListview()->GetHeader() : nullptr; }

void TEmberColumns::Clear(bool FreeItems) {
  TEmberCollection::Clear(FreeItems);
  if (GetOwnerHeader()) GetOwnerHeader()->ClearPositions();
}

void TEmberColumns::DoItemAdd(TEmberCollectionItem*, Integer) {}

void TEmberColumns::DoStructureChange() {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  if (lv->GetHeader()) lv->GetHeader()->Rebuild(false);
  if (lv->GetUpdateCount() > 0) {
    lv->States().Include(TEmberControlState::ebcsColumnStructureUpdatePending);
  } else {
    lv->DoColumnStructureChange();
    lv->SafeInvalidateRect(nullptr, false);
  }
}

// ---- TEmberGlobalItems ----
void TEmberGlobalItems::EnsureDefaultGroup() {
  TEmberGroups* groups = FOwner->GetGroups();
  if (groups->GetCount() > 0) return;
  TEmberGroup* g = groups->Add(nullptr);
  if (g) g->SetCaption(u"Default Group");
}

TEmberItem* TEmberGlobalItems::Add(TObject* Data) {
  EnsureDefaultGroup();
  return FOwner->GetGroups()->LastGroup()->GetItems()->Add(Data);
}

TEmberItem* TEmberGlobalItems::AddCustom(const TEmberCollectionItemClass* ItemClass, TObject* Data) {
  EnsureDefaultGroup();
  return FOwner->GetGroups()->LastGroup()->GetItems()->AddCustom(ItemClass, Data);
}

Integer TEmberGlobalItems::GetCount() const { return FOwner->GetGroups()->ItemCount(); }

void TEmberGlobalItems::SetReIndexDisable(bool Value) {
  EnsureDefaultGroup();
  FOwner->GetGroups()->SetReIndexDisable(Value);
}

}  // namespace ember
