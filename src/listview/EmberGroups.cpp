#include "listview/EmberGroups.h"

#include "listview/EmberAccessible.h"

#include "listview/EmberControl.h"
#include "listview/EmberStreamIO.h"

namespace ember {

using S = TEmberStorageObjectState;

void TEmberGroup::Create(TEmberCollection* ACollection) {
  TEmberCollectionItem::Create(ACollection);
  FExpanded = true;
  FItems = TEmberItems::New(GetOwnerListview(), this);
  AttachAccessible(this);
  SetChecked(true);
}

void TEmberGroup::Destroy() {
  Include(S::esosDestroying);
  TCustomEmberListview* lv = GetOwnerListview();
  if (lv && lv->GetSelection() && lv->GetSelection()->GetFocusedGroup() == this) lv->GetSelection()->SetFocusedGroup(nullptr);
  SetSelected(false);
  SetFocused(false);
  FVisibleItems.clear();
  FreeAndNil(FItems);
  TEmberCollectionItem::Destroy();
  FreeAndNil(FGrid);
  FreeAndNil(FView);
}

TEmberGroups* TEmberGroup::GetOwnerGroups() const { return static_cast<TEmberGroups*>(GetCollection()); }

void TEmberGroup::SetKey(Cardinal V) {
  if (V == FKey) return;
  FKey = V;
  if (GetCollection()) GetCollection()->Touch();
}
Integer TEmberGroup::GetItemCount() const { return FItems ? FItems->GetCount() : 0; }
TEmberItem* TEmberGroup::GetItem(Integer Index) const { return FItems->GetItem(Index); }

void TEmberGroup::SetItem(Integer Index, TEmberItem* Value) {
  if (Index < 0 || Index >= GetItemCount()) return;
  FItems->SetItem(Index, Value);
}

TEmberItem* TEmberGroup::GetVisibleItem(Integer Index) const {
  if (Index < 0 || Index >= GetVisibleCount()) return nullptr;
  return FVisibleItems[static_cast<size_t>(Index)];
}

void TEmberGroup::SetExpanded(bool Value) {
  if (Value == FExpanded || !GetExpandable()) return;
  TCustomEmberListview* lv = GetOwnerListview();
  TEmberUpdateGuard update(lv);
  if (lv && lv->HandleAllocated()) NotifyWinEvent(EVENT_OBJECT_STATECHANGE, lv->Handle(), OBJID_CLIENT, CHILDID_SELF);
  FExpanded = Value;
  if (lv) {
    if (Value)
      lv->DoGroupExpand(this);
    else
      lv->DoGroupCollapse(this);
    lv->GetGroups()->Rebuild(true);
  }
  update.End();
}

// ---- Grid and view ----
const TEmberGridGroupClass* TEmberGroup::GetDefaultGridClass() const {
  TCustomEmberListview* lv = GetOwnerListview();
  switch (lv ? lv->GetView() : TEmberListStyle::elsIcon) {
    case TEmberListStyle::elsIcon: return &TEmberGridIconGroup::StaticClass();
    case TEmberListStyle::elsSmallIcon: return &TEmberGridSmallIconGroup::StaticClass();
    case TEmberListStyle::elsList: return &TEmberGridListGroup::StaticClass();
    case TEmberListStyle::elsReport: return &TEmberGridReportGroup::StaticClass();
    case TEmberListStyle::elsThumbnail: return &TEmberGridThumbnailGroup::StaticClass();
    case TEmberListStyle::elsTile: return &TEmberGridTileGroup::StaticClass();
    case TEmberListStyle::elsReportThumb: return &TEmberGridReportThumbGroup::StaticClass();
    case TEmberListStyle::elsFilmStrip: return &TEmberGridFilmStripGroup::StaticClass();
    case TEmberListStyle::elsGrid: return &TEmberGridGridGroup::StaticClass();
  }
  return &TEmberGridIconGroup::StaticClass();
}

const TEmberGridGroupClass* TEmberGroup::GetGridClass() const {
  const TEmberGridGroupClass* cls = nullptr;
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoCustomGrid(const_cast<TEmberGroup*>(this), lv->GetView(), cls);
  return cls ? cls : GetDefaultGridClass();
}

TEmberGridGroup* TEmberGroup::GetGrid() {
  TCustomEmberListview* lv = GetOwnerListview();
  const TEmberGridGroupClass* cls = GetGridClass();
  if (FGrid && &FGrid->ClassType() != cls) FreeAndNil(FGrid);
  if (!FGrid && cls && cls->CanMake() && lv) {
    FGrid = cls->Make(lv, this);
    FGrid->SetCellSize(lv->GetCellSizes()->Of(lv->GetView()));
  }
  return FGrid;
}

const TEmberViewGroupClass* TEmberGroup::GetDefaultViewClass() const { return &TEmberViewGroup::StaticClass(); }

const TEmberViewGroupClass* TEmberGroup::GetViewClass() const {
  const TEmberViewGroupClass* cls = nullptr;
  if (TCustomEmberListview* lv = GetOwnerListview())
    lv->DoGroupCustomView(const_cast<TEmberGroup*>(this), lv->GetView(), cls);
  return cls ? cls : GetDefaultViewClass();
}

TEmberViewGroup* TEmberGroup::GetView() {
  const TEmberViewGroupClass* cls = GetViewClass();
  if (FView && &FView->ClassType() != cls) FreeAndNil(FView);
  if (!FView && cls && cls->CanMake()) FView = cls->Make(this);
  return FView;
}

void TEmberGroup::Rebuild(TEmberGroup* PrevGroup, Integer& NextVisibleItemIndex) {
  if (TEmberGridGroup* grid = GetGrid()) grid->Rebuild(PrevGroup, NextVisibleItemIndex);
}

void TEmberGroup::Paint(TCanvas* ACanvas, TEmberGroupMarginEdge MarginEdge, const TRect& ObjRect) {
  if (TEmberViewGroup* v = GetView()) v->Paint(this, ACanvas, MarginEdge, ObjRect);
}

// ---- Paint settings and margins ----
TEmberPaintInfoBaseGroup* TEmberGroup::GroupPaintInfo() const {
  TEmberPaintInfoBasic* info = GetEffectivePaintInfo();
  return info ? info->AsGroupPaintInfo() : nullptr;
}
bool TEmberGroup::GetExpandable() const {
  TEmberPaintInfoBaseGroup* p = GroupPaintInfo();
  return p && p->GetExpandable();
}
TCustomEmberFooterMargin* TEmberGroup::GetMarginBottom() const {
  TEmberPaintInfoBaseGroup* p = GroupPaintInfo();
  return p ? p->GetMarginBottom() : nullptr;
}
TEmberMargin* TEmberGroup::GetMarginLeft() const {
  TEmberPaintInfoBaseGroup* p = GroupPaintInfo();
  return p ? p->GetMarginLeft() : nullptr;
}
TEmberMargin* TEmberGroup::GetMarginRight() const {
  TEmberPaintInfoBaseGroup* p = GroupPaintInfo();
  return p ? p->GetMarginRight() : nullptr;
}
TEmberMargin* TEmberGroup::GetMarginTop() const {
  TEmberPaintInfoBaseGroup* p = GroupPaintInfo();
  return p ? p->GetMarginTop() : nullptr;
}
Integer TEmberGroup::Size(const TEmberMargin* M) { return M ? M->RuntimeSize() : 0; }
bool TEmberGroup::Shows(const TEmberMargin* M) { return M && M->Shown(); }

TRect TEmberGroup::GetClientRect() const {
  TRect r = GetDisplayRect();
  r.Left += Size(GetMarginLeft());
  r.Top += Size(GetMarginTop());
  r.Right -= Size(GetMarginRight());
  r.Bottom -= Size(GetMarginBottom());
  return r;
}

TRect TEmberGroup::GetBoundsRectTopMargin() const {
  if (!Shows(GetMarginTop())) return TRect{};
  TRect r = GetDisplayRect();
  r.Bottom = r.Top + Size(GetMarginTop());
  r.Left += Size(GetMarginLeft());
  r.Right -= Size(GetMarginRight());
  return r;
}
TRect TEmberGroup::GetBoundsRectBottomMargin() const {
  if (!Shows(GetMarginBottom())) return TRect{};
  TRect r = GetDisplayRect();
  r.Top = r.Bottom - Size(GetMarginBottom());
  r.Left += Size(GetMarginLeft());
  r.Right -= Size(GetMarginRight());
  return r;
}
TRect TEmberGroup::GetBoundsRectLeftMargin() const {
  if (!Shows(GetMarginLeft())) return TRect{};
  TRect r = GetDisplayRect();
  r.Right = r.Left + Size(GetMarginLeft());
  return r;
}
TRect TEmberGroup::GetBoundsRectRightMargin() const {
  if (!Shows(GetMarginRight())) return TRect{};
  TRect r = GetDisplayRect();
  r.Left = r.Right - Size(GetMarginRight());
  return r;
}
TRect TEmberGroup::GetBoundsRectBkGnd() const {
  TRect r = GetClientRect();
  if (r.Bottom < r.Top) r.Bottom = r.Top;
  if (r.Right < r.Left) r.Right = r.Left;
  return r;
}

bool TEmberGroup::HitTestAt(TPoint P, TEmberGroupHitTestInfoSet& HitInfo) {
  using G = TEmberGroupHitTestInfo;
  HitInfo = {};
  struct Margin {
    TRect R;
    G Hit;
    TEmberGroupMarginEdge Edge;
  } margins[] = {
      {GetBoundsRectTopMargin(), G::egtOnHeader, TEmberGroupMarginEdge::egmeTop},
      {GetBoundsRectBottomMargin(), G::egtOnFooter, TEmberGroupMarginEdge::egmeBottom},
      {GetBoundsRectLeftMargin(), G::egtOnLeftMargin, TEmberGroupMarginEdge::egmeLeft},
      {GetBoundsRectRightMargin(), G::egtOnRightMargin, TEmberGroupMarginEdge::egmeRight},
  };
  for (const Margin& m : margins) {
    if (!PtInRectEx(m.R, P)) continue;
    HitInfo += m.Hit;
    TEmberRectArrayObject ra;
    if (TEmberViewGroup* v = GetView()) v->GroupRectArray(this, m.Edge, m.R, ra);
    TRect icon = ra.IconRect;
    if (GroupPaintInfo()) icon.Right += GroupPaintInfo()->GetCaptionIndent();
    const std::pair<TRect, G> parts[] = {{icon, G::egtOnIcon},
                                         {ra.TextRect, G::egtOnText},
                                         {ra.LabelRect, G::egtOnLabel},
                                         {ra.ExpandButtonRect, G::egtOnExpandButton},
                                         {ra.BandRect, G::egtOnBand},
                                         {ra.CheckRect, G::egtOnCheckbox}};
    for (const auto& [r, hit] : parts) {
      if (PtInRectEx(r, P)) {
        HitInfo += hit;
        break;
      }
    }
    break;
  }
  return !HitInfo.Empty();
}

// The grid finds the cell under the point by arithmetic; a group never laid out has no cells.
TEmberItem* TEmberGroup::ItemByPoint(TPoint P) const {
  TEmberGridGroup* grid = const_cast<TEmberGroup*>(this)->GetGrid();
  return grid ? grid->ItemAtPoint(P) : nullptr;
}

bool TEmberGroup::EditAreaHitPt(TPoint P) {
  TEmberViewGroup* v = GetView();
  return v && v->EditAreaHitPt(this, P);
}
bool TEmberGroup::SelectionHit(const TRect& R, TEmberSelectHitType T) {
  TEmberViewGroup* v = GetView();
  return v && v->SelectionHit(this, R, T);
}
bool TEmberGroup::SelectionHitPt(TPoint P, TEmberSelectHitType T) {
  TEmberViewGroup* v = GetView();
  return v && v->SelectionHitPt(this, P, T);
}

// ---- Streaming ----
void TEmberGroup::SaveToStream(TStream& Str, Integer StreamVersion) {
  TEmberCollectionItem::SaveToStream(Str, EmberStreamVersion);
  FItems->WriteItems(Str);
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoGroupSaveToStream(this, &Str, StreamVersion);
}

void TEmberGroup::LoadFromStream(TStream& Str, Integer& StreamVersion) {
  TEmberCollectionItem::LoadFromStream(Str, StreamVersion);
  if (!FItems) FItems = TEmberItems::New(GetOwnerListview(), this);
  FItems->ReadItems(Str);
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoGroupLoadFromStream(this, &Str, StreamVersion);
}

// ---- The protocol for groups ----
bool TEmberGroup::CanChangeSelection() {
  bool allow = true;
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoGroupSelectionChanging(this, allow);
  return allow;
}
bool TEmberGroup::CanChangeVisibility(bool) {
  bool allow = true;
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoGroupVisibilityChanging(this, allow);
  return allow;
}
TCustomImageList* TEmberGroup::GetDefaultImageList(TEmberImageSize) {
  return GetOwnerListview() ? GetOwnerListview()->GetImagesGroup() : nullptr;
}
TEmberPaintInfoBasic* TEmberGroup::GetDefaultPaintInfo() const {
  return GetOwnerListview() ? GetOwnerListview()->GetPaintInfoGroup() : nullptr;
}
void TEmberGroup::Freeing() {
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoGroupFreeing(this);
}
void TEmberGroup::GainCheck() {
  for (Integer i = 0; i < GetItemCount(); ++i)
    if (GetItem(i)->GetVisible()) GetItem(i)->SetChecked(true);
  if (GetVisible()) Include(S::esosChecked);
  Invalidate(false);
}
void TEmberGroup::LoseCheck() {
  for (Integer i = 0; i < GetItemCount(); ++i) GetItem(i)->SetChecked(false);
  Exclude(S::esosChecked);
  Invalidate(false);
}
void TEmberGroup::GainEnable() {
  for (Integer i = 0; i < GetItemCount(); ++i) GetItem(i)->SetEnabled(true);
  Include(S::esosEnabled);
  Invalidate(false);
}
void TEmberGroup::LoseEnable() {
  for (Integer i = 0; i < GetItemCount(); ++i) GetItem(i)->SetEnabled(false);
  Exclude(S::esosEnabled);
  Invalidate(false);
}
void TEmberGroup::GainHotTrack(TPoint MousePos) {
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoGroupHotTrack(this, TEmberHotTrackState::ehsEnable, MousePos);
  Invalidate(true);
}
void TEmberGroup::LoseHotTrack() {
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoGroupHotTrack(this, TEmberHotTrackState::ehsDisable, TPoint{});
  Invalidate(true);
}
void TEmberGroup::GainSelection() {
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoGroupSelectionChanged(this);
}
void TEmberGroup::LoseSelection() {
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoGroupSelectionChanged(this);
}
void TEmberGroup::GainVisibility() {
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoGroupVisibilityChanged(this);
  for (Integer i = 0; i < GetItemCount(); ++i) GetItem(i)->SetVisible(true);
}
void TEmberGroup::LoseVisibility() {
  for (Integer i = 0; i < GetItemCount(); ++i) GetItem(i)->SetVisible(false);
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoGroupVisibilityChanged(this);
}
void TEmberGroup::Initialize() {
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoGroupInitialize(this);
}

}  // namespace ember
