#include "listview/EmberSort.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "listview/EmberControl.h"
#include "platform/rtl/Strings.h"

namespace ember {

// ---- Collection reordering ----
void TEmberCollection::Reorder(const std::vector<TEmberCollectionItem*>& Order) {
  if (Order.size() != FList.size() || !std::is_permutation(Order.begin(), Order.end(), FList.begin()))
    throw EListError(u"List order does not match the list");
  FList = Order;
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
  Out.reserve(Out.size() + FList.size());
  for (TEmberCollectionItem* obj : FList) {
    obj->SetCollection(nullptr);
    Out.push_back(obj);
  }
  FList.clear();
  FVisibleList.clear();
  FReIndexFrom = 0;
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

// ---- Sort manager ----
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

void TEmberSortManager::SortAll(bool Force) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv || !lv->GetGroups()) return;
  if (!Force && (FUpdateCount != 0 || FLockoutSort)) return;
  lv->DoSortBegin();
  TEmberGroups* groups = lv->GetGroups();

  // The groups: the application's comparison when it has one, else their captions.
  {
    std::vector<TEmberCollectionItem*> order;
    std::vector<String> keys;
    for (Integer g = 0; g < groups->GetCount(); ++g) {
      order.push_back(groups->GetGroup(g));
      if (!lv->OnGroupCompare) keys.push_back(groups->GetGroup(g)->GetCaption());
    }
    std::function<Integer(const Integer&, const Integer&)> cmp = [&](const Integer& a, const Integer& b) -> Integer {
      if (lv->OnGroupCompare)
        return lv->DoGroupCompare(static_cast<TEmberGroup*>(order[static_cast<size_t>(a)]),
                                  static_cast<TEmberGroup*>(order[static_cast<size_t>(b)]));
      return common::WideStrICompare(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]);
    };
    std::vector<Integer> idx(order.size());
    for (size_t i = 0; i < idx.size(); ++i) idx[i] = static_cast<Integer>(i);
    EmberMergeSort(idx, cmp);
    std::vector<TEmberCollectionItem*> sorted;
    for (Integer i : idx) sorted.push_back(order[static_cast<size_t>(i)]);
    if (sorted != order) groups->Reorder(sorted);
  }

  // The items of each group, by the focused column.
  TEmberColumn* column = lv->FocusedColumn();
  const Integer captionIndex = column ? column->GetPosition() : 0;
  const bool descending = column && column->GetSortDirection() == TEmberSortDirection::esdDescending;
  for (Integer g = 0; g < groups->GetCount(); ++g) {
    TEmberGroup* group = groups->GetGroup(g);
    TEmberItems* items = group->GetItems();
    std::vector<TEmberCollectionItem*> order;
    std::vector<String> keys;
    for (Integer i = 0; i < items->GetCount(); ++i) order.push_back(items->GetItem(i));
    // Keys are read only when a comparison needs them; a handler that decides every pair
    // never has the captions asked for.
    bool keysTaken = false;
    auto key = [&](Integer i) -> const String& {
      if (!keysTaken) {
        keysTaken = true;
        keys.reserve(order.size());
        for (TEmberCollectionItem* o : order) keys.push_back(static_cast<TEmberItem*>(o)->GetCaptions(captionIndex));
      }
      return keys[static_cast<size_t>(i)];
    };
    std::function<Integer(const Integer&, const Integer&)> cmp = [&](const Integer& a, const Integer& b) -> Integer {
      if (lv->OnItemCompare) {
        bool doDefault = true;
        Integer r = lv->OnItemCompare(lv, column, group, static_cast<TEmberItem*>(order[static_cast<size_t>(a)]),
                                      static_cast<TEmberItem*>(order[static_cast<size_t>(b)]), doDefault);
        if (!doDefault) return r;
      }
      Integer r = common::WideStrICompare(key(a), key(b));
      return descending ? -r : r;
    };
    std::vector<Integer> idx(order.size());
    for (size_t i = 0; i < idx.size(); ++i) idx[i] = static_cast<Integer>(i);
    EmberMergeSort(idx, cmp);
    std::vector<TEmberCollectionItem*> sorted;
    for (Integer i : idx) sorted.push_back(order[static_cast<size_t>(i)]);
    if (sorted != order) items->Reorder(sorted);
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
  for (Integer g = 0; g < groups->GetCount(); ++g) groups->GetGroup(g)->GetItems()->DetachAll(detached);
  size_t placed = 0;
  try {
    groups->Clear(true);
    std::map<Cardinal, TEmberGroup*> byKey;
    for (; placed < entries.size(); ++placed) {
      const Entry& e = entries[placed];
      TEmberGroup*& group = byKey[e.Key];
      if (!group) {
        bool doDefault = true;
        lv->DoAutoSortGroupCreate(e.Item, columnIndex, groups, group, doDefault);
        // A handler that supplies no group, or one that is not the control's, gets a new group
        // of the control's as if it had not been asked.
        if (!group || group->GetCollection() != groups) {
          group = groups->Add();
          doDefault = true;
        }
        if (doDefault && e.Key != 0) group->SetCaption(EmberGroupCaptionForKey(e.Key));
        group->SetKey(e.Key);
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
