#include "listview/EmberSort.h"

#include <algorithm>
#include <cstdint>
#include <typeinfo>
#include <stdexcept>
#include <utility>

#include "listview/EmberCollections.h"
#include "listview/EmberControl.h"
#include "listview/EmberStorage.h"
#include "platform/rtl/Strings.h"

namespace ember {

// ---- Collection reordering ----
void TEmberCollection::Reorder(const std::vector<TEmberCollectionItem*>& Order) {
  if (Order.size() != FList.size() || !std::is_permutation(Order.begin(), Order.end(), FList.begin()))
    throw EListError(u"List order does not match the list");
  FList.assign(Order.begin(), Order.end());
  MarkMoved(0);
  ReIndexItems(false);
}

void TEmberCollection::MoveIn(TEmberCollectionItem* Obj) {
  if (!Obj) return;
  if (TEmberCollection* from = Obj->GetCollection()) {
    auto it = std::find(from->FList.begin(), from->FList.end(), Obj);
    if (it != from->FList.end()) {
      from->MarkMoved(static_cast<Integer>(it - from->FList.begin()));
      from->FList.erase(it);
    }
    auto vit = std::find(from->FVisibleList.begin(), from->FVisibleList.end(), Obj);
    if (vit != from->FVisibleList.end()) from->FVisibleList.erase(vit);
    from->ReIndexItems(false);
  }
  Obj->SetCollection(this);
  FList.push_back(Obj);
  MarkMoved(GetCount() - 1);
  ReIndexItems(false);
}

void TEmberCollection::DetachAll(std::vector<TEmberCollectionItem*>& Out) {
  // Appended as the vector grows by itself: reserving room for exactly this collection's items
  // moved the whole vector once per collection, a regroup of many groups became quadratic.
  for (TEmberCollectionItem* obj : FList) obj->SetCollection(nullptr);
  Out.insert(Out.end(), FList.begin(), FList.end());
  FList.clear();
  FVisibleList.clear();
  FReIndexFrom = 0;
  Touch();
}

// ---- Keys ----
Cardinal EmberCaptionGroupKey(const String& Caption) {
  if (Caption.empty()) return 0;
  String lower = AnsiLowerCase(Caption.substr(0, 1));
  return lower.empty() ? 0 : static_cast<Cardinal>(lower[0]);
}

String EmberGroupCaptionForKey(Cardinal Key) {
  if (Key == 0 || Key > 0xFFFF) return String();
  Char c = static_cast<Char>(Key);
  if (c >= u'a' && c <= u'z') c = static_cast<Char>(c - u'a' + u'A');
  return String(1, c);
}

// ---- The sorters ----
TEmberSorter::TRun::TRun(TEmberColumn* Column, TEmberCollection* Collection, bool Interfaced,
                         const TEmberItemCompareMethod& ItemCompare, const TEmberGroupCompareMethod& GroupCompare,
                         Integer& Max, Integer& Min)
    : FColumn(Column),
      FCollection(Collection),
      FInterfaced(Interfaced),
      FItemCompare(ItemCompare),
      FGroupCompare(GroupCompare),
      FBefore(Collection->FList) {
  if (auto* items = dynamic_cast<TEmberItems*>(Collection)) FOwnerGroup = items->GetOwnerGroup();
  if (TCustomEmberListview* lv = Collection->OwnerListview()) FSort = lv->GetSort();
  List.reserve(FBefore.size());
  for (size_t i = 0; i < FBefore.size(); ++i) List.push_back(TEntry{static_cast<Integer>(i)});
  // Whatever range the caller names, no sorter reaches outside the list.
  const Integer count = static_cast<Integer>(List.size());
  if (Max > count - 1) Max = count - 1;
  if (Min < 0) Min = 0;
}

bool TEmberSorter::TRun::CompareInterfaced(TEmberCollectionItem* A, TEmberCollectionItem* B, Integer& Result) const {
  ComPtr<IEmberCompare> a = QueryData<IEmberCompare>(A->GetDataInf());
  ComPtr<IEmberCompare> b = QueryData<IEmberCompare>(B->GetDataInf());
  if (!a || !b) return false;
  Result = a->Compare(b.Get(), FColumn);
  return true;
}

Integer TEmberSorter::TRun::Compare(const TEntry& EA, const TEntry& EB) const {
  TEmberCollectionItem* A = Obj(EA);
  TEmberCollectionItem* B = Obj(EB);
  Integer result;
  if (FInterfaced && CompareInterfaced(A, B, result)) return result;
  if (FSort) FSort->CompareHint(FCollection, A, EA.Index, B, EB.Index);
  if (FGroupCompare) return FGroupCompare(static_cast<TEmberGroup*>(A), static_cast<TEmberGroup*>(B));
  if (FItemCompare)
    return FItemCompare(FColumn, FOwnerGroup, static_cast<TEmberItem*>(A), static_cast<TEmberItem*>(B));
  if (FSort) return FSort->DefaultCompare(FColumn, A, B);
  return DefaultItemCompare(FColumn, static_cast<TEmberItem*>(A), static_cast<TEmberItem*>(B));
}

void TEmberSorter::TRun::Commit() {
  // A handler that changed the collection during the sort has made the order meaningless.
  if (FCollection->FList != FBefore) return;
  size_t first = 0;
  while (first < List.size() && List[first].Index == static_cast<Integer>(first)) ++first;
  if (first == List.size()) return;
  for (size_t i = first; i < List.size(); ++i) FCollection->FList[i] = Obj(List[i]);
  FCollection->MarkMoved(static_cast<Integer>(first));
  FCollection->ReIndexItems(false);
}

void TEmberSorter::Sort(TEmberColumn*, TEmberCollection*, bool, const TEmberItemCompareMethod&,
                        const TEmberGroupCompareMethod&, Integer, Integer) {}

namespace {
// The quick sort's partitions; the larger part is taken by the loop.
template <class TRun>
struct TQuickSortRange {
  using TEntry = typename TRun::TEntry;
  TRun& Run;
  std::vector<TEntry>& E;
  void Sort(Integer L, Integer R) {
    while (L < R) {
      Integer I = L;
      Integer J = R;
      const TEntry pivot = E[static_cast<size_t>((L + R) / 2)];
      do {
        // A handler that answers "less" for every element, the pivot included, would walk I and
        // J off the range; the scans stop at its ends.
        while (I < R && Run.Compare(E[static_cast<size_t>(I)], pivot) < 0) ++I;
        while (J > L && Run.Compare(E[static_cast<size_t>(J)], pivot) > 0) --J;
        if (I <= J) {
          std::swap(E[static_cast<size_t>(I)], E[static_cast<size_t>(J)]);
          ++I;
          --J;
        }
      } while (I <= J);
      // The two parts are independent; taking the smaller one by recursion and the larger by the
      // loop keeps the depth logarithmic however the handler splits them.
      if (J - L < R - I) {
        if (J > L) Sort(L, J);
        L = I;
      } else {
        if (I < R) Sort(I, R);
        R = J;
      }
    }
  }
};

// The merge sort over half-open ranges. The lower run is taken first unless it compares greater,
// so equal elements keep their order.
template <class TRun>
struct TMergeSortRange {
  using TEntry = typename TRun::TEntry;
  TRun& Run;
  std::vector<TEntry>& E;
  std::vector<TEntry> Scratch;
  void InPlace(size_t lo, size_t hi) {
    const size_t n = hi - lo;
    if (n < 2) return;
    if (n == 2) {
      if (Run.Compare(E[lo], E[lo + 1]) > 0) std::swap(E[lo], E[lo + 1]);
      return;
    }
    const size_t mid = lo + (n - n / 2);
    InPlace(mid, hi);
    IntoScratch(lo, mid);
    size_t i = lo, j = mid, k = lo;
    while (i < mid && j < hi) E[k++] = Run.Compare(Scratch[i], E[j]) < 1 ? Scratch[i++] : E[j++];
    while (i < mid) E[k++] = Scratch[i++];
  }
  void IntoScratch(size_t lo, size_t hi) {
    const size_t n = hi - lo;
    if (n == 1) {
      Scratch[lo] = E[lo];
      return;
    }
    const size_t mid = lo + (n - n / 2);
    InPlace(lo, mid);
    InPlace(mid, hi);
    size_t i = lo, j = mid, k = lo;
    while (i < mid && j < hi) Scratch[k++] = Run.Compare(E[i], E[j]) < 1 ? E[i++] : E[j++];
    while (i < mid) Scratch[k++] = E[i++];
    while (j < hi) Scratch[k++] = E[j++];
  }
};
}  // namespace

void TEmberQuickSort::Sort(TEmberColumn* Column, TEmberCollection* Collection, bool Interfaced,
                           const TEmberItemCompareMethod& ItemCompare, const TEmberGroupCompareMethod& GroupCompare,
                           Integer Max, Integer Min) {
  if (!Collection) return;
  TRun run(Column, Collection, Interfaced, ItemCompare, GroupCompare, Max, Min);
  if (Min >= Max) return;
  TQuickSortRange<TRun>{run, run.List}.Sort(Min, Max);
  run.Commit();
}

void TEmberBubbleSort::Sort(TEmberColumn* Column, TEmberCollection* Collection, bool Interfaced,
                            const TEmberItemCompareMethod& ItemCompare, const TEmberGroupCompareMethod& GroupCompare,
                            Integer Max, Integer Min) {
  if (!Collection) return;
  TRun run(Column, Collection, Interfaced, ItemCompare, GroupCompare, Max, Min);
  using TEntry = TRun::TEntry;
  std::vector<TEntry>& e = run.List;
  auto at = [&e](Integer i) -> TEntry& { return e[static_cast<size_t>(i)]; };
  while (Min < Max) {
    // Forward: the larger of an unordered pair is carried on past every element strictly less.
    Integer last = Min;
    Integer i = Min + 1;
    while (i <= Max) {
      if (run.Compare(at(i - 1), at(i)) > 0) {
        const TEntry t = at(i - 1);
        Integer k = i;
        while (k <= Max && run.Compare(at(k), t) < 0) {
          at(k - 1) = at(k);
          ++k;
        }
        at(k - 1) = t;
        last = k - 1;
        i = k + 1;
      } else {
        ++i;
      }
    }
    Max = last - 1;
    // Backward: the smaller of an unordered pair is carried back past every element strictly
    // greater.
    last = Max;
    Integer j = Max - 1;
    while (j >= Min) {
      if (run.Compare(at(j + 1), at(j)) < 0) {
        const TEntry t = at(j + 1);
        Integer k = j;
        while (k >= Min && run.Compare(at(k), t) > 0) {
          at(k + 1) = at(k);
          --k;
        }
        at(k + 1) = t;
        last = k + 1;
        j = k - 1;
      } else {
        --j;
      }
    }
    Min = last + 1;
  }
  run.Commit();
}

void TEmberMergeSort::Sort(TEmberColumn* Column, TEmberCollection* Collection, bool Interfaced,
                           const TEmberItemCompareMethod& ItemCompare, const TEmberGroupCompareMethod& GroupCompare,
                           Integer Max, Integer Min) {
  if (!Collection) return;
  TRun run(Column, Collection, Interfaced, ItemCompare, GroupCompare, Max, Min);
  if (Min >= Max) return;
  TMergeSortRange<TRun> merge{run, run.List, std::vector<TRun::TEntry>(run.List.size())};
  merge.InPlace(static_cast<size_t>(Min), static_cast<size_t>(Max) + 1);
  run.Commit();
}

namespace {
// The first group of each key the entries carry. The entries are ordered by key once, so that each
// finds the slot of its key by its place: a tree of a hundred thousand keys, or a table over them,
// cost a trip to memory per item, more than the groups it found.
class TKeyGroups {
public:
  template <class TEntry>
  explicit TKeyGroups(const std::vector<TEntry>& Entries) : FSlotOf(Entries.size()) {
    std::vector<std::pair<Cardinal, uint32_t>> byKey(Entries.size());
    for (size_t i = 0; i < Entries.size(); ++i) byKey[i] = {Entries[i].Key, static_cast<uint32_t>(i)};
    // Items already in key order (a list regrouped by the column it is sorted by) need no sort.
    if (!std::is_sorted(byKey.begin(), byKey.end())) std::sort(byKey.begin(), byKey.end());
    for (size_t j = 0; j < byKey.size(); ++j) {
      if (j == 0 || byKey[j].first != byKey[j - 1].first) FKeys.push_back(byKey[j].first);
      FSlotOf[byKey[j].second] = static_cast<uint32_t>(FKeys.size() - 1);
    }
    FGroups.assign(FKeys.size(), nullptr);
  }
  // The first group of the key of the entry at `Place`, nil while there is none.
  TEmberGroup*& operator[](size_t Place) { return FGroups[FSlotOf[Place]]; }
  // Looks the groups over again, after a handler changed them or a group changed its key.
  void Reread(const TEmberGroups& Groups) {
    std::fill(FGroups.begin(), FGroups.end(), nullptr);
    for (Integer g = 0; g < Groups.GetCount(); ++g) {
      TEmberGroup* group = Groups.GetGroup(g);
      auto it = std::lower_bound(FKeys.begin(), FKeys.end(), group->GetKey());
      if (it != FKeys.end() && *it == group->GetKey() && !FGroups[static_cast<size_t>(it - FKeys.begin())])
        FGroups[static_cast<size_t>(it - FKeys.begin())] = group;
    }
  }

private:
  std::vector<Cardinal> FKeys;
  std::vector<uint32_t> FSlotOf;
  std::vector<TEmberGroup*> FGroups;
};
}  // namespace

// ---- Sort manager ----
void TEmberSortManager::Create(TCustomEmberListview* AOwner) {
  TEmberOwnedPersistent::Create(AOwner);
  FSorter = TEmberMergeSort::New(this);
}

void TEmberSortManager::Destroy() {
  FreeAndNil(FSorter);
  TEmberOwnedPersistent::Destroy();
}

void TEmberSortManager::SetAlgorithm(TEmberSortAlgorithm V) {
  if (V == FAlgorithm && FSorter) return;
  FAlgorithm = V;
  FreeAndNil(FSorter);
  switch (V) {
    case TEmberSortAlgorithm::esaQuickSort: FSorter = TEmberQuickSort::New(this); break;
    case TEmberSortAlgorithm::esaBubbleSort: FSorter = TEmberBubbleSort::New(this); break;
    case TEmberSortAlgorithm::esaMergeSort: FSorter = TEmberMergeSort::New(this); break;
  }
}

void TEmberSortManager::BeginSortCaptions(TEmberCollection* Collection) {
  FSortCollection = Collection;
  FHintA = FHintB = nullptr;
  FSortCaptionsAhead = false;
  const size_t n = Collection ? static_cast<size_t>(Collection->GetCount()) : 0;
  FSortText.clear();
  FSortSpans.assign(n, TCaptionSpan{0, NotRead});
  if (Collection) Collection->ReIndexItems(true);
}

bool TEmberSortManager::KeepSortCaption(size_t Slot, std::u16string_view Caption) {
  const size_t start = FSortText.size();
  if (Caption.size() >= NotRead || start + Caption.size() + 1 > UINT32_MAX) return false;
  FSortText.append(Caption);
  FSortText.push_back(u'\0');
  FSortSpans[Slot] = TCaptionSpan{static_cast<uint32_t>(start), static_cast<uint32_t>(Caption.size())};
  return true;
}

namespace {
// The caption an element of these classes keeps itself and gives without asking anybody: reading
// it ahead of the comparisons changes nothing anyone sees. Nil for others.
template <class TStored>
const String* Kept(const TEmberCollectionItem* Obj, Integer Index) {
  return static_cast<const TStored*>(Obj)->KeptCaption(Index);
}
const String* KeptCaption(const TEmberCollectionItem* Obj, Integer Index, bool& Keeps) {
  const std::type_info& t = typeid(*Obj);
  Keeps = true;
  if (t == typeid(TEmberGroupStored)) return Kept<TEmberGroupStored>(Obj, Index);
  if (t == typeid(TEmberItemStored)) return Kept<TEmberItemStored>(Obj, Index);
  Keeps = false;
  return nullptr;
}

// Two texts, each followed by a NUL, by the common comparison; equal ones answer 0 at once.
Integer CompareTexts(std::u16string_view A, std::u16string_view B) {
  return A == B ? 0 : common::WideStrICompareP(A.data(), B.data());
}
}  // namespace

// The comparisons read each element's caption once, in the order the sort meets the elements: in
// a large collection every read is a few trips to memory one after the other (the element, its
// data, its captions). Read in the collection's order, one element after the next, the trips of
// several elements overlap.
void TEmberSortManager::ReadCaptionsAhead(Integer Index) {
  FSortCaptionsAhead = true;
  if (!FSortCollection || static_cast<size_t>(FSortCollection->GetCount()) != FSortSpans.size()) return;
  for (size_t k = 0; k < FSortSpans.size(); ++k) {
    if (FSortSpans[k].Length != NotRead) continue;
    bool keeps = false;
    const String* caption = KeptCaption(FSortCollection->Get(static_cast<Integer>(k)), Index, keeps);
    if (keeps) KeepSortCaption(k, caption ? std::u16string_view(*caption) : std::u16string_view());
  }
}

Integer TEmberSortManager::SortCaptionSlot(TEmberCollectionItem* Item, Integer Index, String& Scratch) {
  if (!FSortCaptionsAhead && FSortCollection) ReadCaptionsAhead(Index);
  // The slot of a caption is the element's place before the sort began: named by the sorter, or
  // its index while the collection still holds it there.
  Integer k = Item == FHintA ? FHintIndexA : Item == FHintB ? FHintIndexB : -1;
  if (k < 0 || static_cast<size_t>(k) >= FSortSpans.size()) {
    const Integer i = Item->IndexField();
    k = FSortCollection && i >= 0 && static_cast<size_t>(i) < FSortSpans.size() && i < FSortCollection->GetCount() &&
                FSortCollection->Get(i) == Item
            ? i
            : -1;
  }
  if (k >= 0 && FSortSpans[static_cast<size_t>(k)].Length != NotRead) return k;
  Scratch = Item->GetCaptions(Index);
  return k >= 0 && KeepSortCaption(static_cast<size_t>(k), Scratch) ? k : -1;
}

Integer TEmberSortManager::DefaultCompare(TEmberColumn* Column, TEmberCollectionItem* Item1,
                                          TEmberCollectionItem* Item2) {
  std::u16string_view a, b;
  if (!FSorting || !HintedSortCaption(Item1, a) || !HintedSortCaption(Item2, b))
    return CompareCaptionsRead(Column, Item1, Item2);
  const Integer result = CompareTexts(a, b);
  return Column && Column->GetSortDirection() == TEmberSortDirection::esdDescending ? -result : result;
}

Integer TEmberSortManager::CompareCaptionsRead(TEmberColumn* Column, TEmberCollectionItem* Item1,
                                               TEmberCollectionItem* Item2) {
  // By the column's index, as the captions are kept (see DefaultItemCompare).
  const Integer index = Column ? Column->GetIndex() : 0;
  Integer result;
  if (FSorting) {
    // Both are read before either is looked at: reading one may move the text of the captions.
    String scratch1, scratch2;
    const Integer k1 = SortCaptionSlot(Item1, index, scratch1);
    const Integer k2 = SortCaptionSlot(Item2, index, scratch2);
    result = CompareTexts(k1 >= 0 ? SortCaptionText(k1) : std::u16string_view(scratch1),
                          k2 >= 0 ? SortCaptionText(k2) : std::u16string_view(scratch2));
  } else {
    result = common::WideStrICompare(Item1->GetCaptions(index), Item2->GetCaptions(index));
  }
  return Column && Column->GetSortDirection() == TEmberSortDirection::esdDescending ? -result : result;
}

void TEmberSortManager::SetAutoSort(bool V) {
  if (V == FAutoSort) return;
  FAutoSort = V;
  TCustomEmberListview* lv = OwnerListview();
  if (lv && lv->GetSelection() && lv->GetHeader() && !lv->GetSelection()->GetFocusedColumn())
    lv->GetSelection()->SetFocusedColumn(lv->GetHeader()->FirstColumn());
  if (V) SortAll(false);
}

void TEmberSortManager::SetAutoRegroup(bool V) {
  if (V == FAutoRegroup) return;
  TCustomEmberListview* lv = OwnerListview();
  TEmberUpdateGuard update(lv);
  if (lv) lv->SetShowGroupMargins(V);
  FAutoRegroup = V;
  ReGroup(lv && lv->GetSelection() ? lv->GetSelection()->GetFocusedColumn() : nullptr);
  update.End();
}

namespace {
// Whether the data object of every element of the collection can compare itself.
bool AllCompareThemselves(const TEmberCollection& C) {
  if (C.GetCount() == 0) return false;
  for (Integer i = 0; i < C.GetCount(); ++i)
    if (!QueryData<IEmberCompare>(C.Get(i)->GetDataInf())) return false;
  return true;
}
}  // namespace

void TEmberSortManager::SortAll(bool Force) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv || !FSorter || !lv->GetGroups()) return;
  if (!Force && (FUpdateCount != 0 || FLockoutSort)) return;
  lv->DoSortBegin();
  TEmberGroups* groups = lv->GetGroups();
  {
    // The captions read are forgotten after each collection: a caption of another column, or one
    // changed in between, is read anew.
    struct SortingScope {
      TEmberSortManager& M;
      explicit SortingScope(TEmberSortManager& AM) : M(AM) { M.FSorting = true; }
      ~SortingScope() {
        M.FSorting = false;
        M.BeginSortCaptions(nullptr);
      }
    } scope(*this);
    const TEmberGroupCompareMethod groupCompare = [lv](TEmberGroup* a, TEmberGroup* b) {
      return lv->DoGroupCompare(a, b);
    };
    if (groups->GetCount() > 1) {
      BeginSortCaptions(groups);
      FSorter->Sort(nullptr, groups, AllCompareThemselves(*groups), nullptr, groupCompare, groups->GetCount() - 1, 0);
    }

    TEmberColumn* column = lv->FocusedColumn();
    const TEmberItemCompareMethod itemCompare = [lv](TEmberColumn* c, TEmberGroup* g, TEmberItem* a, TEmberItem* b) {
      return lv->DoItemCompare(c, g, a, b);
    };
    for (Integer g = 0; g < groups->GetCount(); ++g) {
      TEmberItems* items = groups->GetGroup(g)->GetItems();
      if (items->GetCount() < 2) continue;  // nothing to compare (a regroup by unique keys makes many)
      BeginSortCaptions(items);
      FSorter->Sort(column, items, AllCompareThemselves(*items), itemCompare, nullptr, items->GetCount() - 1, 0);
    }
  }
  if (!groups->Rebuilding()) groups->Rebuild(false);
  lv->DoSortEnd();
}

void TEmberSortManager::ReGroup(TEmberColumn* Column) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv || !lv->GetGroups()) return;
  TEmberUpdateGuard update(lv);
  TEmberGroups* groups = lv->GetGroups();
  const Integer columnIndex = Column ? Column->GetIndex() : 0;

  // Every key is asked for before anything moves, so a handler that raises leaves the groups
  // as they were.
  struct Entry {
    TEmberItem* Item;
    Cardinal Key;
  };
  std::vector<Entry> entries;
  entries.reserve(static_cast<size_t>(groups->ItemCount()));
  for (Integer g = 0; g < groups->GetCount(); ++g) {
    TEmberItems* items = groups->GetGroup(g)->GetItems();
    for (Integer i = 0; i < items->GetCount(); ++i) {
      TEmberItem* item = items->GetItem(i);
      Cardinal key = 0;
      if (FAutoRegroup) {
        key = 65535;
        lv->DoAutoGroupGetKey(item, columnIndex, groups, key);
        if (key != 65535)
          item->SetGroupKey(columnIndex, key);
        else
          key = EmberCaptionGroupKey(item->GetCaption());
      }
      entries.push_back({item, key});
    }
  }

  // The items leave their groups all at once, in order, and belong to no group while the old
  // groups go; each then moves into its new group's end. Taking them out one at a time from the
  // front of a list would make a regroup quadratic in the item count.
  std::vector<TEmberCollectionItem*> detached;
  detached.reserve(entries.size());
  for (Integer g = 0; g < groups->GetCount(); ++g) groups->GetGroup(g)->GetItems()->DetachAll(detached);
  size_t placed = 0;
  try {
    groups->Clear(true);
    TKeyGroups byKey(entries);
    // What the groups looked like when `byKey` last matched them: a handler may hand back a group
    // made for another key (whose key then changes) or add, move and rekey groups itself.
    Cardinal seen = groups->GetChangeStamp();
    for (; placed < entries.size(); ++placed) {
      const Entry& e = entries[placed];
      if (groups->GetChangeStamp() != seen) {
        byKey.Reread(*groups);
        seen = groups->GetChangeStamp();
      }
      TEmberGroup* group = byKey[placed];
      if (!group) {
        const Integer before = groups->GetCount();
        bool doDefault = true;
        lv->DoAutoSortGroupCreate(e.Item, columnIndex, groups, group, doDefault);
        // A handler that supplies no group, or one that is not the control's, gets a new group
        // of the control's as if it had not been asked.
        if (!group || group->GetCollection() != groups) {
          group = groups->Add();
          doDefault = true;
        }
        if (doDefault && e.Key != 0) group->SetCaption(EmberGroupCaptionForKey(e.Key));
        // Only a group just put at the end, with nothing else changed, is known to be the first of
        // its key; anything else has the groups looked over again before the next item.
        const bool appended = groups->GetCount() == before + 1 && groups->GetGroup(before) == group &&
                              groups->GetChangeStamp() == seen + 1;
        group->SetKey(e.Key);
        if (appended) {
          byKey[placed] = group;
          seen = groups->GetChangeStamp();
        }
      }
      group->GetItems()->MoveIn(e.Item);
    }
  } catch (...) {
    // Nothing is lost: the items not yet placed go to a group of their own; should even that
    // fail, they are freed rather than left belonging to nothing.
    if (placed < entries.size()) {
      try {
        TEmberGroup* rest = groups->Add();
        for (size_t i = placed; i < entries.size(); ++i) rest->GetItems()->MoveIn(entries[i].Item);
      } catch (...) {
        for (size_t i = placed; i < entries.size(); ++i)
          if (!entries[i].Item->GetCollection()) entries[i].Item->Free();
      }
    }
    throw;
  }
  SortAll(false);
  update.End();
}

}  // namespace ember
