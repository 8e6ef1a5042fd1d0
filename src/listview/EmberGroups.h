#pragma once
// A group of the list view: its items, its expanded state, its grid and view, its margins.

#include <vector>

#include "listview/EmberViews.h"

namespace ember {

class TEmberGroup : public TEmberCollectionItem {
  EMBER_ITEM_CLASS(TEmberGroup, TEmberCollectionItem)
public:
  TEmberGroups* GetOwnerGroups() const;
  TEmberItems* GetItems() const { return FItems; }
  Integer GetItemCount() const;
  TEmberItem* GetItem(Integer Index) const;
  // Replaces the entry only for an index inside the group's items (see TEmberItems::SetItem).
  void SetItem(Integer Index, TEmberItem* Value);
  TEmberItem* GetVisibleItem(Integer Index) const;
  Integer GetVisibleCount() const { return static_cast<Integer>(FVisibleItems.size()); }
  // The grid fills this list while it lays the group out.
  pool::TVector<TEmberItem*>& VisibleItems() { return FVisibleItems; }
  bool GetExpanded() const { return FExpanded; }
  virtual void SetExpanded(bool Value);
  Cardinal GetKey() const { return FKey; }
  void SetKey(Cardinal V);

  TEmberGridGroup* GetGrid();
  const TEmberGridGroupClass* GetGridClass() const;
  virtual const TEmberGridGroupClass* GetDefaultGridClass() const;
  TEmberViewGroup* GetView();
  const TEmberViewGroupClass* GetViewClass() const;
  virtual const TEmberViewGroupClass* GetDefaultViewClass() const;
  void Rebuild(TEmberGroup* PrevGroup, Integer& NextVisibleItemIndex);
  void Paint(TCanvas* ACanvas, TEmberGroupMarginEdge MarginEdge, const TRect& ObjRect);

  TRect GetClientRect() const;
  TRect GetBoundsRectTopMargin() const;
  TRect GetBoundsRectBottomMargin() const;
  TRect GetBoundsRectLeftMargin() const;
  TRect GetBoundsRectRightMargin() const;
  TRect GetBoundsRectBkGnd() const;
  TEmberPaintInfoBaseGroup* GroupPaintInfo() const;
  bool GetExpandable() const;
  TCustomEmberFooterMargin* GetMarginBottom() const;
  TEmberMargin* GetMarginLeft() const;
  TEmberMargin* GetMarginRight() const;
  TEmberMargin* GetMarginTop() const;

  bool HitTestAt(TPoint ViewportPoint, TEmberGroupHitTestInfoSet& HitInfo);
  TEmberItem* ItemByPoint(TPoint ViewportPoint) const;

  bool EditAreaHitPt(TPoint ViewportPoint) override;
  bool SelectionHit(const TRect& SelectViewportRect, TEmberSelectHitType SelectType) override;
  bool SelectionHitPt(TPoint ViewportPoint, TEmberSelectHitType SelectType) override;
  void LoadFromStream(TStream& S, Integer& StreamVersion) override;
  void SaveToStream(TStream& S, Integer StreamVersion) override;

protected:
  void Create(TEmberCollection* ACollection) override;
  void Destroy() override;

  bool CanChangeBold() override { return true; }
  bool CanChangeCheck() override { return GetEnabled(); }
  bool CanChangeEnable(bool) override { return true; }
  bool CanChangeFocus() override { return false; }
  bool CanChangeHotTrack() override { return true; }
  bool CanChangeSelection() override;
  bool CanChangeVisibility(bool NewValue) override;
  TCustomImageList* GetDefaultImageList(TEmberImageSize ImageSize) override;
  TEmberPaintInfoBasic* GetDefaultPaintInfo() const override;
  void Freeing() override;
  void GainBold() override { Invalidate(false); }
  void GainCheck() override;
  void GainEnable() override;
  void GainFocus() override {}
  void GainGhosted() override { Invalidate(false); }
  void GainHilight() override {}
  void GainHotTrack(TPoint MousePos) override;
  void GainSelection() override;
  void GainVisibility() override;
  void LoseBold() override { Invalidate(false); }
  void LoseCheck() override;
  void LoseEnable() override;
  void LoseFocus() override {}
  void LoseGhosted() override { Invalidate(false); }
  void LoseHilight() override {}
  void LoseHotTrack() override;
  void LoseSelection() override;
  void LoseVisibility() override;
  void Initialize() override;

private:
  // The margin's size while it shows, else 0.
  static Integer Size(const TEmberMargin* M);
  // A margin that shows has its rectangle, even at size 0.
  static bool Shows(const TEmberMargin* M);
  bool FExpanded{true};
  TEmberGridGroup* FGrid{nullptr};
  TEmberItems* FItems{nullptr};
  Cardinal FKey{0};
  TEmberViewGroup* FView{nullptr};
  pool::TVector<TEmberItem*> FVisibleItems;
};

}  // namespace ember
