#pragma once
// The typed collections of the list view: the groups of the control, the items of each group and
// the columns of the header, with the walks across groups and the control's flat item access.

#include <vector>

#include "listview/EmberStorage.h"

namespace ember {

class TEmberCollection : public TEmberOwnedPersistent {
  PF_CLASS(TEmberCollection)
  friend class TEmberSorter;

public:
  TEmberCollectionItem* Add(TObject* Data = nullptr);
  virtual void Delete(Integer Index);
  virtual void Clear(bool FreeItems = true);
  virtual void BeginUpdate();
  virtual void EndUpdate(bool Invalidate = true);
  virtual TEmberCollectionItem* FirstVisible() const;
  virtual TEmberCollectionItem* LastVisible() const;
  virtual TEmberCollectionItem* NextVisible(TEmberCollectionItem* Item) const;
  virtual TEmberCollectionItem* PrevVisible(TEmberCollectionItem* Item) const;
  virtual void MakeAllVisible();
  // Writes each object's position into its index field; only the part of the list that moved
  // since the last time is walked.
  virtual void ReIndexItems(bool Force);
  bool GetReIndexDisable() const { return FReIndexCount > 0; }
  void SetReIndexDisable(bool Value);

  Integer GetCount() const { return static_cast<Integer>(FList.size()); }
  Integer GetVisibleCount() const { return static_cast<Integer>(FVisibleList.size()); }
  TEmberCollectionItem* Get(Integer Index) const { return FList.at(static_cast<size_t>(Index)); }
  // Most collections are a group's items, one or a few of them: their lists take their room from
  // the pool.
  using TList = pool::TVector<TEmberCollectionItem*>;
  TList& VisibleList() { return FVisibleList; }
  const TEmberCollectionItemClass* GetItemClass() const { return FItemClass; }
  // The root class every object of this collection must derive from.
  virtual const TEmberCollectionItemClass& Kind() const { return TEmberCollectionItem::StaticClass(); }
  bool GetHideFromDFM() const { return FHideFromDFM; }
  void SetHideFromDFM(bool V) { FHideFromDFM = V; }
  Integer GetTag() const { return FTag; }
  void SetTag(Integer V) { FTag = V; }
  bool HasStreamData() const { return GetCount() > 0 && !FHideFromDFM; }
  // Moves on whenever an object comes, goes or changes its place (for groups, also its key), so a
  // walk that remembers what it saw can tell whether a handler changed the collection meanwhile.
  Cardinal GetChangeStamp() const { return FChangeStamp; }
  void Touch() { ++FChangeStamp; }

  // Takes over every object of Other (which is left empty) after this collection's own, and
  // Other's item class.
  void AdoptFrom(TEmberCollection& Other);
  // Makes its objects of Other's item class from now on, as a stream read in its place would.
  void TakeItemClassOf(const TEmberCollection& Other) { FItemClass = Other.FItemClass; }
  // Puts the objects in the given order, a permutation of this collection's own objects.
  void Reorder(const std::vector<TEmberCollectionItem*>& Order);
  // Moves an object of another collection to this one's end without the delete and add
  // protocols: it keeps its states (regrouping moves items between groups so).
  void MoveIn(TEmberCollectionItem* Obj);
  // Hands every object over to Out, in order, without the delete protocol, and leaves this
  // collection empty: the objects belong to no collection until moved in again.
  void DetachAll(std::vector<TEmberCollectionItem*>& Out);
  // The collection record of the list view stream.
  virtual void ReadItems(TStream& S);
  virtual void WriteItems(TStream& S);

protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberOwnedPersistent::Create;
  void Destroy() override;
  virtual void DoItemAdd(TEmberCollectionItem* /*Item*/, Integer /*Index*/) {}
  virtual void DoStructureChange() {}
  // Makes an object of `Class` and puts it at Index (Count: at the end).
  TEmberCollectionItem* InsertOf(const TEmberCollectionItemClass& Class, Integer Index, TObject* Data);
  // Takes the object at Index out through the delete protocol, without freeing it.
  TEmberCollectionItem* Unlink(Integer Index);
  void MarkMoved(Integer From) {
    FReIndexFrom = std::min(FReIndexFrom, From);
    ++FChangeStamp;
  }
  void SetItemClass(const TEmberCollectionItemClass* C) { FItemClass = C; }
  // Replaces the entry at Index: the old object goes through the delete protocol; only an object
  // that belongs to no collection is taken.
  void Replace(Integer Index, TEmberCollectionItem* Value);

  TList FList;
  TList FVisibleList;

private:
  Cardinal FChangeStamp{0};
  bool FHideFromDFM{false};
  Integer FReIndexCount{0};
  Integer FReIndexFrom{0};
  Integer FTag{0};
  const TEmberCollectionItemClass* FItemClass{&TEmberCollectionItem::StaticClass()};
};

class TEmberItems : public TEmberCollection {
  PF_CLASS(TEmberItems)
public:
  TEmberGroup* GetOwnerGroup() const { return FOwnerGroup; }
  const TEmberCollectionItemClass& Kind() const override { return TEmberItem::StaticClass(); }
  TEmberItem* Add(TObject* Data = nullptr) { return static_cast<TEmberItem*>(TEmberCollection::Add(Data)); }
  // Nil for a nil class or one that is not an item class.
  TEmberItem* AddCustom(const TEmberCollectionItemClass* ItemClass, TObject* Data = nullptr);
  TEmberItem* InsertCustom(Integer Index, const TEmberCollectionItemClass* ItemClass, TObject* Data = nullptr);
  void Delete(Integer Index) override;
  void Clear(bool FreeItems = true) override;
  TEmberItem* GetItem(Integer Index) const { return static_cast<TEmberItem*>(FList.at(static_cast<size_t>(Index))); }
  void SetItem(Integer Index, TEmberItem* Value) { Replace(Index, Value); }
  // Items moved in or out from outside: the handling of a change of the structure runs.
  void StructureChanged() { DoStructureChange(); }

protected:
  virtual void Create(TCustomEmberListview* AOwner, TEmberGroup* AOwnerGroup);
  using TEmberCollection::Create;
  void DoStructureChange() override;

private:
  TEmberGroup* FOwnerGroup{nullptr};
};

class TEmberGroups : public TEmberCollection {
  PF_CLASS(TEmberGroups)
public:
  const TEmberCollectionItemClass& Kind() const override { return TEmberGroup::StaticClass(); }
  TEmberGroup* Add(TObject* Data = nullptr) { return static_cast<TEmberGroup*>(TEmberCollection::Add(Data)); }
  TEmberGroup* GetGroup(Integer Index) const { return static_cast<TEmberGroup*>(FList.at(static_cast<size_t>(Index))); }
  void SetGroup(Integer Index, TEmberGroup* Value) { Replace(Index, Value); }
  void Clear(bool FreeItems = true) override;
  void MakeAllVisible() override;
  void Rebuild(bool Force = false);
  bool Rebuilding() const { return FGroupsState.Contains(TEmberGroupsState::egsRebuilding); }
  bool GetStreamGroups() const { return FStreamGroups; }
  void SetStreamGroups(bool V) { FStreamGroups = V; }
  void LoadFromStream(TStream& S, Integer& Version) override;
  void SaveToStream(TStream& S, Integer Version) override;

  TEmberGroup* FirstGroup() const;
  TEmberGroup* LastGroup() const;
  TEmberGroup* FirstVisibleGroup() const;
  TEmberGroup* LastVisibleGroup() const;
  TEmberGroup* NextVisibleGroup(TEmberGroup* Group) const;
  TEmberGroup* VisibleGroup(Integer Index) const;

  TEmberItem* FirstItem() const;
  TEmberItem* FirstVisibleItem() const;
  TEmberItem* FirstInitializedItem() const;
  TEmberItem* LastItem() const;
  TEmberItem* LastVisibleItem() const;
  TEmberItem* LastInitializedItem() const;
  TEmberItem* NextItem(TEmberItem* Item) const;
  TEmberItem* NextVisibleItem(TEmberItem* Item) const;
  TEmberItem* NextInitializedItem(TEmberItem* Item) const;
  TEmberItem* NextEditableItem(TEmberItem* Item) const;
  TEmberItem* PrevItem(TEmberItem* Item) const;
  TEmberItem* PrevVisibleItem(TEmberItem* Item) const;
  TEmberItem* PrevInitializedItem(TEmberItem* Item) const;
  TEmberItem* PrevEditableItem(TEmberItem* Item) const;
  TEmberItem* FirstVisibleInGroup(TEmberGroup* Group) const;
  TEmberItem* NextVisibleInGroup(TEmberGroup* Group, TEmberItem* Item) const;

  TEmberGroup* FirstGroupInRect(const TRect& ViewportRect) const;
  TEmberGroup* NextGroupInRect(TEmberGroup* Group, const TRect& ViewportRect) const;
  TEmberItem* FirstItemInRect(const TRect& ViewportRect) const;
  TEmberItem* NextItemInRect(TEmberItem* Item, const TRect& ViewportRect) const;
  TEmberGroup* GroupByPoint(TPoint ViewportPoint) const;
  TEmberItem* ItemByPoint(TPoint ViewportPoint) const;
  TEmberItem* AdjacentItem(TEmberItem* Item, TEmberAdjacentCellDir Direction) const;

  Integer ItemCount() const;
  Integer VisibleItemCount() const;
  TRect ViewRect() const;
  Integer GetCellHeight() const;
  void SetCellHeight(Integer Value);
  Integer GetCellWidth() const;
  void SetCellWidth(Integer Value);
  void ExpandAll();
  void InvalidateItem(TEmberCollectionItem* Item, bool ImmediateRefresh);

protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberCollection::Create;
  void DoStructureChange() override;

private:
  // The first entry of the visible list whose far edge (bottom, or right in the horizontal views)
  // lies past Coord.
  size_t FirstVisibleGroupReaching(Integer Coord) const;
  enum class Test { Any, Visible, Initialized, Editable };
  bool Passes(TEmberItem* Item, Test T) const;
  TEmberItem* Walk(TEmberItem* Item, Test T, bool Forward) const;
  TEmberItem* FirstOf(Test T) const;
  TEmberItem* LastOf(Test T) const;
  TEmberGroupsStates FGroupsState;
  bool FStreamGroups{true};
};

class TEmberColumns : public TEmberCollection {
  PF_CLASS(TEmberColumns)
public:
  const TEmberCollectionItemClass& Kind() const override { return TEmberColumn::StaticClass(); }
  TEmberColumn* Add(TObject* Data = nullptr);
  TEmberColumn* GetColumn(Integer Index) const { return static_cast<TEmberColumn*>(FList.at(static_cast<size_t>(Index))); }
  TEmberColumn* ColumnByPoint(TPoint ViewportPoint) const;
  TEmberHeader* GetOwnerHeader() const;
  void Clear(bool FreeItems = true) override;
  // Lets a column's position change announce the structure change.
  void StructureChanged() { DoStructureChange(); }

protected:
  void DoItemAdd(TEmberCollectionItem* Item, Integer Index) override;
  void DoStructureChange() override;
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberCollection::Create;
};

// The control's flat `Items`: adds to the last group, making a default group when there is none.
class TEmberGlobalItems : public TObject {
  PF_CLASS(TEmberGlobalItems)
public:
  TCustomEmberListview* GetOwnerListview() const { return FOwner; }
  TEmberItem* Add(TObject* Data = nullptr);
  TEmberItem* AddCustom(const TEmberCollectionItemClass* ItemClass, TObject* Data = nullptr);
  Integer GetCount() const;
  void SetReIndexDisable(bool Value);

protected:
  virtual void Create(TCustomEmberListview* AOwner) { FOwner = AOwner; }
  using TObject::Create;

private:
  void EnsureDefaultGroup();
  TCustomEmberListview* FOwner{nullptr};
};

}  // namespace ember
