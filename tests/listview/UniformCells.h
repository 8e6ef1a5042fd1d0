#pragma once
// A layout whose cell rectangles can be worked out by hand: every group lays its visible items out
// in rows of `Columns` cells of the view's cell size (set to `W` x `H`) from its top, with no
// margins, the groups stacked;
// and an item view whose hits are the item's cell and which counts what it is asked.

#include "ListviewTestUtil.h"
#include "listview/EmberGrid.h"
#include "listview/EmberViews.h"

namespace lvtest {

struct UniformCellsSetup {
  static inline Integer Columns = 10;
  static inline Integer W = 20;
  static inline Integer H = 20;
  static inline int RectArrays = 0;
  static inline int Hits = 0;
  static void Reset(Integer columns, Integer w, Integer h) {
    Columns = columns;
    W = w;
    H = h;
    RectArrays = 0;
    Hits = 0;
  }
};

class TUniformGrid : public TEmberGridGroup {
  EMBER_REF_CLASS(TUniformGrid, TEmberGridGroup, TEmberGridGroup, TCustomEmberListview*, TEmberGroup*)
public:
  TEmberListStyle Style() const override { return OwnerListview()->GetView(); }
  void Rebuild(TEmberGroup* PrevGroup, Integer& NextVisibleItemIndex) override {
    using S = UniformCellsSetup;
    S::W = CellSize()->GetWidth();
    S::H = CellSize()->GetHeight();
    TEmberGroup* g = GetOwnerGroup();
    const Integer top = PrevGroup ? PrevGroup->GetDisplayRect().Bottom : 0;
    auto& visible = g->VisibleItems();
    visible.clear();
    const bool shown = g->GetVisible() && g->GetExpanded();
    for (Integer i = 0; i < g->GetItemCount(); ++i) {
      TEmberItem* item = g->GetItem(i);
      if (shown && item->GetVisible()) {
        const Integer k = static_cast<Integer>(visible.size());
        item->SetVisibleIndexInGroup(k);
        item->SetVisibleIndex(NextVisibleItemIndex++);
        visible.push_back(item);
        const Integer x = (k % S::Columns) * S::W, y = top + (k / S::Columns) * S::H;
        item->SetDisplayRect(TRect{x, y, x + S::W, y + S::H});
      } else {
        item->SetVisibleIndexInGroup(-1);
        item->SetVisibleIndex(-1);
        item->SetDisplayRect(TRect{});
      }
    }
    const Integer rows = (static_cast<Integer>(visible.size()) + S::Columns - 1) / S::Columns;
    g->SetDisplayRect(TRect{0, top, S::Columns * S::W, top + (g->GetVisible() ? rows * S::H : 0)});
  }
  // Hits by looking at every shown cell: nothing here depends on the views' own arithmetic.
  TEmberItem* ItemAtPoint(TPoint P) const override {
    for (TEmberItem* item : GetOwnerGroup()->VisibleItems())
      if (PtInRectEx(item->GetDisplayRect(), P)) return item;
    return nullptr;
  }
  Integer FirstVisibleInRect(const TRect& R) const override {
    auto& visible = GetOwnerGroup()->VisibleItems();
    TRect x;
    for (size_t k = 0; k < visible.size(); ++k)
      if (IntersectRectEx(x, visible[k]->GetDisplayRect(), R)) return static_cast<Integer>(k);
    return -1;
  }
};

class TCountingView : public TEmberViewItem {
  EMBER_REF_CLASS(TCountingView, TEmberViewItem, TEmberViewItem, TEmberGroup*)
public:
  // Every part of the item is its cell.
  void ItemRectArray(TEmberItem* Item, TEmberColumn*, TCanvas*, const WideString&,
                     TEmberRectArrayObject& RectArray) override {
    ++UniformCellsSetup::RectArrays;
    RectArray = TEmberRectArrayObject{};
    const TRect r = Item->GetDisplayRect();
    RectArray.BoundsRect = RectArray.BackGndRect = RectArray.FullTextRect = RectArray.LabelRect = r;
    RectArray.ClickSelectBoundsRect = RectArray.DragSelectBoundsRect = RectArray.SelectionRect = r;
  }
  bool SelectionHit(TEmberItem* Item, const TRect& R, TEmberSelectHitType) override {
    ++UniformCellsSetup::Hits;
    TRect x;
    return IntersectRectEx(x, Item->GetDisplayRect(), R);
  }
  bool SelectionHitPt(TEmberItem* Item, TPoint P, TEmberSelectHitType) override {
    return PtInRectEx(Item->GetDisplayRect(), P);
  }
  void Paint(TEmberItem*, TEmberColumn*, TCanvas*, const TRect&, bool) override {}
};

// Gives the control the uniform layout and the counting view.
inline void UseUniformCells(TCustomEmberListview* lv, Integer columns = 10, Integer w = 20, Integer h = 20) {
  UniformCellsSetup::Reset(columns, w, h);
  lv->GetCellSizes()->Of(lv->GetView())->SetSize(w, h);
  lv->OnCustomGrid = [](TCustomEmberListview*, TEmberGroup*, TEmberListStyle, const TEmberGridGroupClass*& Grid) {
    Grid = &TUniformGrid::StaticClass();
  };
  lv->OnItemCustomView = [](TCustomEmberListview*, TEmberItem*, TEmberListStyle, const TEmberViewItemClass*& View) {
    View = &TCountingView::StaticClass();
  };
}

}  // namespace lvtest
