#pragma once
// Sorting the groups and the items of each group, and regrouping the items by a key per item.
// The default sort key of an element (its caption in the sort column) is read once per element
// and sort: captions of virtual items come from the application's handler, and a list of
// thousands would otherwise ask it for each caption again at every comparison.

#include <functional>
#include <vector>

#include "listview/EmberManagers.h"

namespace ember {

// A stable top-down merge sort of Order by Compare (< 0: the first goes first). Equal elements
// keep their order; a handler that answers inconsistently can only give a strange order, never
// run off the range.
template <class T>
void EmberMergeSort(std::vector<T>& Order, const std::function<Integer(const T&, const T&)>& Compare) {
  const size_t n = Order.size();
  if (n < 2) return;
  std::vector<T> scratch(n);
  std::function<void(size_t, size_t)> sortRange = [&](size_t lo, size_t hi) {
    if (hi - lo < 2) return;
    const size_t mid = lo + (hi - lo) / 2;
    sortRange(lo, mid);
    sortRange(mid, hi);
    size_t i = lo, j = mid, k = lo;
    // The lower run's element goes first unless it compares greater: equal ones never pass.
    while (i < mid && j < hi) scratch[k++] = Compare(Order[i], Order[j]) > 0 ? Order[j++] : Order[i++];
    while (i < mid) scratch[k++] = Order[i++];
    while (j < hi) scratch[k++] = Order[j++];
    for (size_t m = lo; m < hi; ++m) Order[m] = scratch[m];
  };
  sortRange(0, n);
}

// The key ReGroup gives an item without a key of the application's: the code of the first
// character of its lower-cased caption, 0 for an empty caption.
Cardinal EmberCaptionGroupKey(const String& Caption);
// The caption of a group made for a key: the key's character, ASCII letters upper-cased; empty
// for key 0.
String EmberGroupCaptionForKey(Cardinal Key);

}  // namespace ember
