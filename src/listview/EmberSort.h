#pragma once
// Sorting the groups and the items of each group with an exchangeable sorter, and regrouping the
// items by a key per item.

#include <functional>
#include <vector>

#include "listview/EmberManagers.h"

namespace ember {

class TEmberCollection;

// The control's compare dispatchers as the sorters call them.
using TEmberItemCompareMethod = std::function<Integer(TEmberColumn* Column, TEmberGroup* Group, TEmberItem* Item1,
                                                      TEmberItem* Item2)>;
using TEmberGroupCompareMethod = std::function<Integer(TEmberGroup* Item1, TEmberGroup* Item2)>;

// Orders the inclusive index range [Min, Max] of a collection (the groups, or one group's items).
// Every sorter works on a copy of the collection's list and puts the result back only when the sort
// ends normally and the collection still holds what it held: a compare handler that raises, or one
// that adds or deletes objects on the way, never leaves an object twice in the list or lost.
class TEmberSorter : public TObject {
  PF_CLASS(TEmberSorter)
public:
  TEmberSortManager* GetOwner() const { return FOwner; }
  virtual void Sort(TEmberColumn* Column, TEmberCollection* Collection, bool Interfaced,
                    const TEmberItemCompareMethod& ItemCompare, const TEmberGroupCompareMethod& GroupCompare,
                    Integer Max, Integer Min);

protected:
  virtual void Create(TEmberSortManager* AOwner) { FOwner = AOwner; }
  using TObject::Create;

  // The collection's own list type, so that a sort compares and copies it as it is.
  using TList = pool::TVector<TEmberCollectionItem*>;
  // One sort: the elements being ordered, and their comparison, decided in this order:
  //   1. Interfaced: A's data object compares itself with B's for the column.
  //   2. GroupCompare given: the control's group dispatcher.
  //   3. ItemCompare given: the control's item dispatcher, with the collection's owner group.
  //   4. Otherwise the captions of the sort column (the default item comparison).
  class TRun {
  public:
    // An element by its place in the collection before the sort: a sort of a hundred thousand
    // groups moves and keeps these in two lists as long as the collection, and the pages of lists
    // that large are new to the process at every sort.
    struct TEntry {
      Integer Index;
    };
    TEmberCollectionItem* Obj(const TEntry& E) const { return FBefore[static_cast<size_t>(E.Index)]; }
    TRun(TEmberColumn* Column, TEmberCollection* Collection, bool Interfaced, const TEmberItemCompareMethod& ItemCompare,
         const TEmberGroupCompareMethod& GroupCompare, Integer& Max, Integer& Min);
    // Below 0: A goes before B.
    Integer Compare(const TEntry& A, const TEntry& B) const;
    // Puts the ordered list back into the collection.
    void Commit();
    std::vector<TEntry> List;

  private:
    // The data objects' own order, when both elements have a data object that gives one; kept out
    // of Compare, whose every call would otherwise pay for its references.
    [[gnu::noinline]] bool CompareInterfaced(TEmberCollectionItem* A, TEmberCollectionItem* B, Integer& Result) const;
    TEmberColumn* FColumn;
    TEmberCollection* FCollection;
    bool FInterfaced;
    const TEmberItemCompareMethod& FItemCompare;
    const TEmberGroupCompareMethod& FGroupCompare;
    TEmberGroup* FOwnerGroup{nullptr};
    TEmberSortManager* FSort{nullptr};
    TList FBefore;
  };

private:
  TEmberSortManager* FOwner{nullptr};
};

// Classic partition around the middle element; not stable.
class TEmberQuickSort : public TEmberSorter {
  PF_CLASS(TEmberQuickSort)
public:
  void Sort(TEmberColumn* Column, TEmberCollection* Collection, bool Interfaced,
            const TEmberItemCompareMethod& ItemCompare, const TEmberGroupCompareMethod& GroupCompare, Integer Max,
            Integer Min) override;
};

// A two-way insertion shaker; stable.
class TEmberBubbleSort : public TEmberSorter {
  PF_CLASS(TEmberBubbleSort)
public:
  void Sort(TEmberColumn* Column, TEmberCollection* Collection, bool Interfaced,
            const TEmberItemCompareMethod& ItemCompare, const TEmberGroupCompareMethod& GroupCompare, Integer Max,
            Integer Min) override;
};

// Top-down merge sort through a scratch list; stable.
class TEmberMergeSort : public TEmberSorter {
  PF_CLASS(TEmberMergeSort)
public:
  void Sort(TEmberColumn* Column, TEmberCollection* Collection, bool Interfaced,
            const TEmberItemCompareMethod& ItemCompare, const TEmberGroupCompareMethod& GroupCompare, Integer Max,
            Integer Min) override;
};

// The key ReGroup gives an item without a key of the application's: the code of the first
// character of its lower-cased caption, 0 for an empty caption.
Cardinal EmberCaptionGroupKey(const String& Caption);
// The caption of a group made for a key: the key's character, ASCII letters upper-cased; empty
// for key 0.
String EmberGroupCaptionForKey(Cardinal Key);

}  // namespace ember
