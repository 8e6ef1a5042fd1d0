#include "listview/EmberViews.h"

#include <algorithm>

#include "listview/EmberControl.h"

namespace ember {

// ---- Item views: the cell is the item's rectangle until the views lay out its parts ----
void TEmberViewItem::ItemRectArray(TEmberItem* Item, TEmberColumn*, TCanvas*, TEmberRectArrayObject& RectArray) {
  RectArray = TEmberRectArrayObject{};
  if (!Item) return;
  RectArray.BoundsRect = Item->GetDisplayRect();
  RectArray.BackGndRect = RectArray.BoundsRect;
}
bool TEmberViewItem::EditAreaHitPt(TEmberItem* Item, TPoint P) { return Item && PtInRectEx(Item->GetDisplayRect(), P); }
bool TEmberViewItem::SelectionHit(TEmberItem* Item, const TRect& R, TEmberSelectHitType) {
  TRect x;
  return Item && IntersectRectEx(x, Item->GetDisplayRect(), R);
}
bool TEmberViewItem::SelectionHitPt(TEmberItem* Item, TPoint P, TEmberSelectHitType) {
  return Item && PtInRectEx(Item->GetDisplayRect(), P);
}

void TEmberViewGroup::GroupRectArray(TEmberGroup*, TEmberGroupMarginEdge, const TRect& ObjRect,
                                     TEmberRectArrayObject& RectArray) {
  RectArray = TEmberRectArrayObject{};
  RectArray.GroupRect = ObjRect;
}

Integer TEmberHeader::ViewWidth() const {
  Integer right = 0;
  for (TEmberColumn* c : FPositions) right = std::max(right, c->GetDisplayRect().Right);
  return right;
}

void TEmberViewColumn::ItemRectArray(TEmberColumn* Column, TEmberRectArrayObject& RectArray) {
  RectArray = TEmberRectArrayObject{};
  if (Column) RectArray.BoundsRect = Column->GetDisplayRect();
}

}  // namespace ember
