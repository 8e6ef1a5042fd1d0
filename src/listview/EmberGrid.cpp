#include "listview/EmberGrid.h"

#include <algorithm>

#include "listview/EmberControl.h"

namespace ember {

// ---- Grids ----
void TEmberGridGroup::Create(TCustomEmberListview* AnOwner, TEmberGroup* AnOwnerGroup) {
  TEmberOwnedPersistent::Create(AnOwner);
  FOwnerGroup = AnOwnerGroup;
}

TEmberCellSize* TEmberGridGroup::CellSize() const {
  return OwnerListview() ? OwnerListview()->GetCellSizes()->Of(Style()) : nullptr;
}

void TEmberGridGroup::SetCellSize(TEmberCellSize* Value) {
  TEmberCellSize* own = CellSize();
  if (Value && own && Value != own) own->Assign(Value);
}

TEmberItem* TEmberGridGroup::AdjacentItem(TEmberItem* Item, TEmberAdjacentCellDir Direction) {
  if (!Item || !FOwnerGroup) return nullptr;
  const Integer i = Item->GetVisibleIndexInGroup();
  if (i < 0) return nullptr;
  const bool horz = FLayout == TEmberGridLayout::eglHorz;
  const Integer step = horz ? std::max(1, FRowCount) : std::max(1, FColumnCount);
  Integer j = i;
  switch (Direction) {
    case TEmberAdjacentCellDir::acdLeft: j = horz ? i - step : i - 1; break;
    case TEmberAdjacentCellDir::acdRight: j = horz ? i + step : i + 1; break;
    case TEmberAdjacentCellDir::acdUp: j = horz ? i - 1 : i - step; break;
    case TEmberAdjacentCellDir::acdDown: j = horz ? i + 1 : i + step; break;
    default: return nullptr;
  }
  return FOwnerGroup->GetVisibleItem(j);
}

// Lays the visible items out in cells below the previous group, one pass over the group's items.
void TEmberGridGroup::Rebuild(TEmberGroup* PrevGroup, Integer& NextVisibleItemIndex) {
  TCustomEmberListview* lv = OwnerListview();
  TEmberGroup* g = FOwnerGroup;
  if (!lv || !g) return;
  const TEmberCellSize* cell = CellSize();
  const Integer cw = std::max(1, cell ? cell->GetWidth() : 1);
  const Integer ch = std::max(1, cell ? cell->GetHeight() : 1);
  const Integer top = PrevGroup ? PrevGroup->GetDisplayRect().Bottom : 0;
  auto size = [](TEmberMargin* m) { return m ? m->RuntimeSize() : 0; };
  const Integer mLeft = size(g->GetMarginLeft()), mRight = size(g->GetMarginRight());
  const Integer mTop = size(g->GetMarginTop()), mBottom = size(g->GetMarginBottom());
  auto& visible = g->VisibleItems();
  visible.clear();
  const bool shown = g->GetVisible() && g->GetExpanded();
  for (Integer i = 0; i < g->GetItemCount(); ++i) {
    TEmberItem* item = g->GetItem(i);
    if (shown && item->GetVisible()) {
      item->SetVisibleIndexInGroup(static_cast<Integer>(visible.size()));
      item->SetVisibleIndex(NextVisibleItemIndex++);
      visible.push_back(item);
    } else {
      item->SetVisibleIndexInGroup(-1);
      item->SetVisibleIndex(-1);
      item->SetDisplayRect(TRect{});
    }
  }
  const Integer n = static_cast<Integer>(visible.size());
  const Integer clientW = std::max(cw, lv->GetClientWidth() - mLeft - mRight);
  const Integer clientH = std::max(ch, lv->GetClientHeight() - lv->GetHeader()->RuntimeHeight() - mTop - mBottom);
  if (FLayout == TEmberGridLayout::eglHorz) {
    FRowCount = std::max(1, clientH / ch);
    FColumnCount = n == 0 ? 0 : (n + FRowCount - 1) / FRowCount;
  } else {
    FColumnCount = FLayout == TEmberGridLayout::eglGrid ? 1 : std::max(1, clientW / cw);
    FRowCount = n == 0 ? 0 : (n + FColumnCount - 1) / FColumnCount;
  }
  for (Integer k = 0; k < n; ++k) {
    const Integer col = FLayout == TEmberGridLayout::eglHorz ? k / FRowCount : k % FColumnCount;
    const Integer row = FLayout == TEmberGridLayout::eglHorz ? k % FRowCount : k / FColumnCount;
    const Integer x = mLeft + col * cw;
    const Integer y = top + mTop + row * ch;
    visible[static_cast<size_t>(k)]->SetDisplayRect(TRect{x, y, x + cw, y + ch});
  }
  const Integer width = std::max(lv->GetClientWidth(), mLeft + FColumnCount * cw + mRight);
  const Integer height = g->GetVisible() ? mTop + (g->GetExpanded() ? FRowCount * ch : 0) + mBottom : 0;
  g->SetDisplayRect(TRect{0, top, width, top + height});
}

}  // namespace ember
