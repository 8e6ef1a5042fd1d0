#pragma once
// A column of the header: display position, width, sort direction, switches, drop-down button.

#include "listview/EmberViews.h"

namespace ember {

class TEmberColumnDropDownButton : public TEmberPersistent {
  PF_CLASS(TEmberColumnDropDownButton)
public:
  bool GetAlwaysShow() const { return FAlwaysShow; }
  void SetAlwaysShow(bool V);
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool V);
  TPopupMenu* GetMenu() const { return FMenu; }
  void SetMenu(TPopupMenu* V) { FMenu = V; }
  TEmberColumn* GetOwner() const { return FOwner; }
  TEmberColumnDropDownButtonStates GetState() const { return FState; }
  void SetState(TEmberColumnDropDownButtonStates V) { FState = V; }
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool V);
  // Five bytes: AlwaysShow, Enabled, AlwaysShow again, the state bits, Visible.
  void LoadFromStream(TStream& S);
  void SaveToStream(TStream& S) const;

protected:
  virtual void Create(TEmberColumn* AOwner) { FOwner = AOwner; }
  using TEmberPersistent::Create;

private:
  bool FAlwaysShow{false};
  bool FEnabled{true};
  TPopupMenu* FMenu{nullptr};
  TEmberColumn* FOwner{nullptr};
  TEmberColumnDropDownButtonStates FState;
  bool FVisible{false};
};

class TEmberColumn : public TEmberCollectionItem {
  EMBER_ITEM_CLASS(TEmberColumn, TEmberCollectionItem)
public:
  TEmberColumns* GetOwnerColumns() const;
  TEmberHeader* GetOwnerHeader() const;
  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment V);
  bool GetAutoSizeOnDblClk() const { return FAutoSizeOnDblClk; }
  void SetAutoSizeOnDblClk(bool V) { FAutoSizeOnDblClk = V; }
  bool GetAutoSortOnClick() const { return FAutoSortOnClick; }
  void SetAutoSortOnClick(bool V) { FAutoSortOnClick = V; }
  bool GetAutoSpring() const { return FAutoSpring; }
  void SetAutoSpring(bool V) { FAutoSpring = V; }
  bool GetAutoToggleSortGlyph() const { return FAutoToggleSortGlyph; }
  void SetAutoToggleSortGlyph(bool V) { FAutoToggleSortGlyph = V; }
  TColor GetBkGndColor() const { return FBkGndColor; }
  void SetBkGndColor(TColor V);
  bool GetClickable() const { return FClickable; }
  void SetClickable(bool V) { FClickable = V; }
  TColor GetColor() const;
  void SetColor(TColor V);
  TEmberColumnDropDownButton* GetDropDownButton() const { return FDropDownButton; }
  Integer GetPosition() const { return FPosition; }
  void SetPosition(Integer Value);
  TEmberSortDirection GetSortDirection() const { return FSortDirection; }
  void SetSortDirection(TEmberSortDirection Value);
  float GetSpringRest() const { return FSpringRest; }
  void SetSpringRest(float V) { FSpringRest = V; }
  TEmberHeaderButtonStyle GetStyle() const { return FStyle; }
  void SetStyle(TEmberHeaderButtonStyle V) { FStyle = V; }
  Integer GetWidth() const { return FWidth; }
  void SetWidth(Integer Value);

  TEmberViewColumn* GetView();
  const TEmberViewColumnClass* GetViewClass() const;
  virtual const TEmberViewColumnClass* GetDefaultViewClass() const { return &TEmberViewColumn::StaticClass(); }
  virtual void AutoSizeToFit();
  bool HitTestAt(TPoint ViewportPoint, TEmberColumnHitTestInfoSet& HitInfo);
  void Paint(TCanvas* ACanvas, const TRect& ClipRect);

  bool EditAreaHitPt(TPoint ViewportPoint) override;
  bool SelectionHit(const TRect& SelectViewportRect, TEmberSelectHitType SelectType) override;
  bool SelectionHitPt(TPoint ViewportPoint, TEmberSelectHitType SelectType) override;
  void Invalidate(bool ImmediateUpdate) override;
  void MakeVisible(TEmberMakeVisiblePos Position) override;
  void LoadFromStream(TStream& S, Integer& StreamVersion) override;
  void SaveToStream(TStream& S, Integer StreamVersion) override;

  // Stream reading stores the position as read; the header puts the columns in order.
  void SetPositionField(Integer V) { FPosition = V; }

protected:
  void Create(TEmberCollection* ACollection) override;
  void Destroy() override;

  bool CanChangeBold() override { return true; }
  bool CanChangeCheck() override;
  bool CanChangeEnable(bool NewValue) override;
  bool CanChangeFocus() override;
  bool CanChangeHotTrack() override { return true; }
  bool CanChangeSelection() override;
  bool CanChangeVisibility(bool NewValue) override;
  TCustomImageList* GetDefaultImageList(TEmberImageSize ImageSize) override;
  TEmberPaintInfoBasic* GetDefaultPaintInfo() const override;
  void Freeing() override;
  void GainBold() override { Invalidate(false); }
  void GainCheck() override;
  void GainEnable() override;
  void GainFocus() override;
  void GainGhosted() override { Invalidate(false); }
  void GainHilight() override {}
  void GainHotTrack(TPoint) override {}
  void GainSelection() override;
  void GainVisibility() override;
  void LoseBold() override { Invalidate(false); }
  void LoseCheck() override;
  void LoseEnable() override;
  void LoseFocus() override;
  void LoseGhosted() override { Invalidate(false); }
  void LoseHilight() override {}
  void LoseHotTrack() override {}
  void LoseSelection() override;
  void LoseVisibility() override;
  void Initialize() override;

private:
  TAlignment FAlignment{TAlignment::taLeftJustify};
  bool FAutoSizeOnDblClk{true};
  bool FAutoSortOnClick{true};
  bool FAutoSpring{false};
  bool FAutoToggleSortGlyph{true};
  TColor FBkGndColor{clNone};
  bool FClickable{true};
  TEmberColumnDropDownButton* FDropDownButton{nullptr};
  Integer FPosition{0};
  TEmberSortDirection FSortDirection{TEmberSortDirection::esdNone};
  float FSpringRest{0};
  TEmberHeaderButtonStyle FStyle{TEmberHeaderButtonStyle::ehbsThick};
  TEmberViewColumn* FView{nullptr};
  Integer FWidth{50};
};

}  // namespace ember
