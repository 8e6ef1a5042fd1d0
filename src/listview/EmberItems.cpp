#include "listview/EmberItems.h"

#include "listview/EmberAccessible.h"

#include "listview/EmberControl.h"
#include "listview/EmberStreamIO.h"
#include "platform/rtl/Format.h"

namespace ember {

using S = TEmberStorageObjectState;


String Variant::ToString() const {
  switch (K) {
    case Kind::Str: return S;
    case Kind::Int: {
      std::string s = std::to_string(I);
      return String(s.begin(), s.end());
    }
    case Kind::Bool: return B ? u"True" : u"False";
    default: return String();
  }
}

TRect RectOfType(const TEmberRectArrayObject& ra, TEmberCellRectType RectType) {
  switch (RectType) {
    case TEmberCellRectType::ertBounds: return ra.BoundsRect;
    case TEmberCellRectType::ertIcon: return ra.IconRect;
    case TEmberCellRectType::ertLabel: return ra.LabelRect;
    case TEmberCellRectType::ertClickSelectBounds: return ra.ClickSelectBoundsRect;
    case TEmberCellRectType::ertDragSelectBounds: return ra.DragSelectBoundsRect;
    case TEmberCellRectType::ertText: return ra.TextRect;
    case TEmberCellRectType::ertFullText: return ra.FullTextRect;
  }
  return TRect{};
}

bool IntersectRectEx(TRect& dst, const TRect& a, const TRect& b) {
  dst = TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
  if (IsRectEmptyEx(dst)) {
    dst = TRect{};
    return false;
  }
  return true;
}

TRect UnionRectEx(const TRect& a, const TRect& b) {
  if (IsRectEmptyEx(a)) return b;
  if (IsRectEmptyEx(b)) return a;
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right), std::max(a.Bottom, b.Bottom)};
}

// ---- TEmberCollectionItem ----
void TEmberCollectionItem::Create(TEmberCollection* ACollection) {
  TEmberPersistent::Create();
  FCollection = ACollection;
  FState = {S::esosEnabled, S::esosVisible};
  FVisibleIndex = -1;
}

void TEmberCollectionItem::Destroy() {
  Include(S::esosDestroying);
  // A screen reader may hold the object longer than the element lives.
  DisconnectAccessible(FAccessible);
  SetDataInf(nullptr);
  if (TCustomEmberListview* lv = GetOwnerListview()) {
    if (TEmberEditManager* em = lv->GetEditManager()) em->ElementFreeing(this);
    if (TEmberHotTrackManager* ht = lv->GetHotTrack()) {
      if (ht->GetPendingObjectCheck() == this) ht->SetPendingObjectCheck(nullptr);
      if (ht->GetPendingObject() == this) ht->ClearPendingObject();
    }
    // A check-box click still pending on the object must not outlive it.
    if (TEmberCheckManager* cm = lv->GetCheckManager(); cm && cm->GetPendingObject() == this) cm->SetPendingObject(nullptr);
    // Nor a drag holding it as the dragged item, the drop target or the insert mark's target.
    if (TEmberOLEDragManager* dm = lv->GetDragManager()) dm->ObjectFreeing(this);
  }
  Freeing();
  TEmberPersistent::Destroy();
  if (FOwnsPaintInfo) FreeAndNil(FPaintInfo);
}

HRESULT TEmberCollectionItem::QueryInterface(REFIID, void** out) {
  if (out) *out = nullptr;
  return E_NOINTERFACE;
}

TCustomEmberListview* TEmberCollectionItem::GetOwnerListview() const {
  return FCollection ? FCollection->OwnerListview() : nullptr;
}

void TEmberCollectionItem::SetDataInf(IUnknown* Value) {
  if (Value == FDataInf.Get()) return;
  if (auto old = QueryData<IEmberNotifier>(FDataInf.Get())) old->OnUnRegister(this);
  FDataInf = ComPtr<IUnknown>(Value);
  if (auto now = QueryData<IEmberNotifier>(FDataInf.Get())) now->OnRegister(this);
}

Integer TEmberCollectionItem::GetIndex() const {
  if (!FCollection) return -1;
  for (Integer i = 0; i < FCollection->GetCount(); ++i)
    if (FCollection->Get(i) == this) return i;
  return -1;
}

void TEmberCollectionItem::SetInitialized(bool Value) {
  if (Value == GetInitialized()) return;
  if (Value) {
    Include(S::esosInitialized);
    Initialize();
  } else {
    Exclude(S::esosInitialized);
  }
}

TCustomImageList* TEmberCollectionItem::GetDefaultImageList(TEmberImageSize ImageSize) {
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv) return nullptr;
  switch (ImageSize) {
    case TEmberImageSize::eisSmall: return lv->GetImagesSmall();
    case TEmberImageSize::eisLarge: return lv->GetImagesLarge();
    default: return lv->GetImagesExLarge();
  }
}

String TEmberCollectionItem::GetDisplayName() const {
  String c = GetCaption();
  return c.empty() ? ClassName() : c;
}

bool TEmberCollectionItem::OwnerHasHandle() const {
  TCustomEmberListview* lv = GetOwnerListview();
  return lv && lv->HandleAllocated();
}

void TEmberCollectionItem::Invalidate(bool ImmediateUpdate) {
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv || lv->GetUpdateCount() > 0 || !lv->HandleAllocated()) return;
  TRect r = lv->GetScrollbars()->MapViewRectToWindowRect(FDisplayRect);
  TRect clip;
  if (IntersectRectEx(clip, r, lv->GetClientRect())) lv->SafeInvalidateRect(&clip, ImmediateUpdate);
}

void TEmberCollectionItem::PlainBit(TEmberStorageObjectState Bit, bool Value, bool DoInvalidate) {
  if (Has(Bit) == Value) return;
  if (Value)
    Include(Bit);
  else
    Exclude(Bit);
  if (DoInvalidate) Invalidate(false);
}

// The one change protocol of every state property: ask, flip, then gain or lose. While the object
// is being destroyed a change can only switch off, and nobody is asked.
void TEmberCollectionItem::ChangeState(TEmberStorageObjectState Bit, bool Value, TPoint MousePos) {
  if (Has(Bit) == Value) return;
  const bool destroying = GetDestroying();
  if (destroying && Value) return;
  if (!destroying) {
    // Focus and selection need a visible, enabled object; switching them off always works.
    if (Value && (Bit == S::esosFocused || Bit == S::esosSelected) && !(GetVisible() && GetEnabled())) return;
    bool allow = true;
    switch (Bit) {
      case S::esosBold: allow = CanChangeBold(); break;
      case S::esosChecked: allow = CanChangeCheck(); break;
      case S::esosEnabled: allow = CanChangeEnable(Value); break;
      case S::esosFocused: allow = CanChangeFocus(); break;
      case S::esosHotTracking: allow = CanChangeHotTrack(); break;
      case S::esosSelected: allow = CanChangeSelection(); break;
      case S::esosVisible: allow = CanChangeVisibility(Value); break;
      default: break;
    }
    if (!allow) return;
  }
  TCustomEmberListview* lv = GetOwnerListview();
  if (Value) {
    if (Bit == S::esosChecked && OwnerHasHandle())
      NotifyWinEvent(EVENT_OBJECT_STATECHANGE, lv->Handle(), OBJID_CLIENT, CHILDID_SELF);
    Include(Bit);
    switch (Bit) {
      case S::esosBold: GainBold(); break;
      case S::esosChecked: GainCheck(); break;
      case S::esosEnabled: GainEnable(); break;
      case S::esosFocused: GainFocus(); break;
      case S::esosGhosted: GainGhosted(); break;
      case S::esosHilighted: GainHilight(); break;
      case S::esosHotTracking: GainHotTrack(MousePos); break;
      case S::esosSelected: GainSelection(); break;
      case S::esosVisible: GainVisibility(); break;
      default: break;
    }
    return;
  }
  switch (Bit) {
    case S::esosEnabled:
      SetFocused(false);
      SetSelected(false);
      break;
    case S::esosHilighted:
      if (destroying) {
        SetFocused(false);
        SetSelected(false);
      }
      break;
    case S::esosVisible:
      SetFocused(false);
      SetSelected(false);
      if (!lv || !lv->GetAllowHiddenCheckedItems()) SetChecked(false);
      break;
    case S::esosChecked:
      if (OwnerHasHandle()) NotifyWinEvent(EVENT_OBJECT_STATECHANGE, lv->Handle(), OBJID_CLIENT, CHILDID_SELF);
      break;
    default: break;
  }
  Exclude(Bit);
  switch (Bit) {
    case S::esosBold: LoseBold(); break;
    case S::esosChecked: LoseCheck(); break;
    case S::esosEnabled: LoseEnable(); break;
    case S::esosFocused: LoseFocus(); break;
    case S::esosGhosted: LoseGhosted(); break;
    case S::esosHilighted: LoseHilight(); break;
    case S::esosHotTracking: LoseHotTrack(); break;
    case S::esosSelected: LoseSelection(); break;
    case S::esosVisible: LoseVisibility(); break;
    default: break;
  }
}

void TEmberCollectionItem::SaveToStream(TStream& Str, Integer StreamVersion) {
  streamio::WriteUInt32(Str, EmberStreamMagic);
  streamio::WriteInt32(Str, StreamVersion);
  streamio::WriteUInt16(Str, static_cast<Word>(FState.Bits() & EmberPersistedStateMask));
}

void TEmberCollectionItem::LoadFromStream(TStream& Str, Integer& StreamVersion) {
  uint32_t head = streamio::ReadUInt32(Str);
  if (head == EmberStreamMagic) {
    StreamVersion = streamio::ReadInt32(Str);
  } else {
    // Written before records had a magic number: the four bytes are the state word's start.
    Str.Seek(-4, TSeekOrigin::soCurrent);
    StreamVersion = 2;
  }
  const auto state = TEmberStorageObjectStates::FromBits(streamio::ReadUInt16(Str));
  SetSelected(state.Contains(S::esosSelected));
  SetEnabled(state.Contains(S::esosEnabled));
  SetVisible(state.Contains(S::esosVisible));
  SetChecked(state.Contains(S::esosChecked));
  SetBold(state.Contains(S::esosBold));
}

// ---- TEmberSelectionGroupList ----
void TEmberSelectionGroupList::DecRef() {
  if (--FRefCount <= 0) Free();
}

// ---- TEmberItem ----
void TEmberItem::Create(TEmberCollection* ACollection) {
  TEmberCollectionItem::Create(ACollection);
  AttachAccessible(this);
  FVisibleIndexInGroup = -1;
}

void TEmberItem::Destroy() {
  Include(S::esosDestroying);
  if (TCustomEmberListview* lv = GetOwnerListview()) {
    if (lv->GetDragManager() && lv->GetDragManager()->GetDropTarget() == this) lv->GetDragManager()->SetDropTarget(nullptr);
    if (lv->GetDragManager() && lv->GetDragManager()->GetDragItem() == this) lv->GetDragManager()->SetDragItem(nullptr);
    if (lv->GetEditManager() && lv->GetEditManager()->GetTabMoveFocusItem() == this)
      lv->GetEditManager()->SetTabMoveFocusItem(nullptr);
    if (TEmberSelectionManager* sel = lv->GetSelection()) {
      if (sel->GetAnchorItem() == this) sel->SetAnchorItem(nullptr);
      if (sel->GetFocusedItem() == this) sel->SetFocusedItem(nullptr);
    }
    if (TEmberIncrementalSearchManager* is = lv->GetIncrementalSearch()) {
      if (is->GetSearchItem() == this) is->SetSearchItem(nullptr);
      if (is->GetNextSearchItem() == this) is->SetNextSearchItem(nullptr);
    }
  }
  SetVisible(false);
  // A checked item kept checked while hidden still leaves the check count when it goes.
  ChangeState(S::esosChecked, false);
  TEmberCollectionItem::Destroy();
  ReleaseSelectionGroup();
  FreeAndNil(FView);
  FreeItemTextCache(FTextCache);
}

TEmberItems* TEmberItem::GetOwnerItems() const { return static_cast<TEmberItems*>(GetCollection()); }
TEmberGroup* TEmberItem::GetOwnerGroup() const { return GetOwnerItems() ? GetOwnerItems()->GetOwnerGroup() : nullptr; }

// The index field answers at once; while re-indexing is held back it may be stale, and a stale
// index would send the walks in circles, so it is checked and searched for only then.
Integer TEmberItem::GetIndex() const {
  const TEmberCollection* c = GetCollection();
  const Integer i = IndexField();
  if (!c || (i >= 0 && i < c->GetCount() && c->Get(i) == this)) return c ? i : -1;
  return TEmberCollectionItem::GetIndex();
}

Integer TEmberItem::GetColumnPos() const {
  if (!GetVisible() || FVisibleIndexInGroup < 0) return -1;
  TEmberGroup* g = GetOwnerGroup();
  TEmberGridGroup* grid = g ? const_cast<TEmberGroup*>(g)->GetGrid() : nullptr;
  if (!grid) return -1;
  if (grid->GetLayout() == TEmberGridLayout::eglHorz)
    return grid->GetRowCount() > 0 ? FVisibleIndexInGroup / grid->GetRowCount() : -1;
  return grid->GetColumnCount() > 0 ? FVisibleIndexInGroup % grid->GetColumnCount() : -1;
}

Integer TEmberItem::GetRowPos() const {
  if (!GetVisible() || FVisibleIndexInGroup < 0) return -1;
  TEmberGroup* g = GetOwnerGroup();
  TEmberGridGroup* grid = g ? const_cast<TEmberGroup*>(g)->GetGrid() : nullptr;
  if (!grid) return -1;
  if (grid->GetLayout() == TEmberGridLayout::eglHorz)
    return grid->GetRowCount() > 0 ? FVisibleIndexInGroup % grid->GetRowCount() : -1;
  return grid->GetColumnCount() > 0 ? FVisibleIndexInGroup / grid->GetColumnCount() : -1;
}

void TEmberItem::SetSelectionGroup(TEmberSelectionGroupList* Value) {
  if (Value == FSelectionGroup) return;
  if (FSelectionGroup) FSelectionGroup->DecRef();
  FSelectionGroup = Value;
}

void TEmberItem::ReleaseSelectionGroup() {
  TEmberSelectionGroupList* g = FSelectionGroup;
  FSelectionGroup = nullptr;
  if (g) g->DecRef();
}

// ---- Paint settings through the effective object ----
#define EMBER_ITEM_PAINT_PROP(Type, Name, Clamp)                                          \
  Type TEmberItem::Get##Name() const { return GetEffectivePaintInfo()->Get##Name(); }     \
  void TEmberItem::Set##Name(Type V) {                                                    \
    Clamp;                                                                                \
    if (V == Get##Name()) return;                                                         \
    GetEffectivePaintInfo()->Set##Name(V);                                                \
    Invalidate(false);                                                                    \
  }
EMBER_ITEM_PAINT_PROP(TAlignment, Alignment, (void)0)
EMBER_ITEM_PAINT_PROP(Integer, Border, if (V < 0) V = 0)
// The colour is kept as given: system colours are negative and must not turn black.
EMBER_ITEM_PAINT_PROP(TColor, BorderColor, (void)0)
EMBER_ITEM_PAINT_PROP(Integer, CaptionIndent, if (V < 0) V = 0)
EMBER_ITEM_PAINT_PROP(bool, CheckFlat, (void)0)
EMBER_ITEM_PAINT_PROP(Integer, CheckIndent, if (V < 0) V = 0)
EMBER_ITEM_PAINT_PROP(Integer, CheckSize, if (V < 0) V = 0)
EMBER_ITEM_PAINT_PROP(TEmberCheckType, CheckType, (void)0)
EMBER_ITEM_PAINT_PROP(Integer, ImageIndent, if (V < 0) V = 0)
EMBER_ITEM_PAINT_PROP(common::TCommonVAlignment, VAlignment, (void)0)
#undef EMBER_ITEM_PAINT_PROP

// ---- Views ----
const TEmberViewItemClass* TEmberItem::GetDefaultViewClass() const {
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv) return &TEmberViewItem::StaticClass();
  switch (lv->GetView()) {
    case TEmberListStyle::elsIcon: return &TEmberViewIconItem::StaticClass();
    case TEmberListStyle::elsSmallIcon: return &TEmberViewSmallIconItem::StaticClass();
    case TEmberListStyle::elsList: return &TEmberViewListItem::StaticClass();
    case TEmberListStyle::elsReport: return &TEmberViewReportItem::StaticClass();
    case TEmberListStyle::elsThumbnail: return &TEmberViewThumbnailItem::StaticClass();
    case TEmberListStyle::elsTile: return &TEmberViewTileItem::StaticClass();
    case TEmberListStyle::elsReportThumb: return &TEmberViewReportThumbItem::StaticClass();
    case TEmberListStyle::elsFilmStrip: return &TEmberViewFilmStripItem::StaticClass();
    case TEmberListStyle::elsGrid: return &TEmberViewGridItem::StaticClass();
  }
  return &TEmberViewItem::StaticClass();
}

const TEmberViewItemClass* TEmberItem::GetViewClass() const {
  const TEmberViewItemClass* cls = nullptr;
  if (TCustomEmberListview* lv = GetOwnerListview())
    lv->DoItemCustomView(const_cast<TEmberItem*>(this), lv->GetView(), cls);
  return cls ? cls : GetDefaultViewClass();
}

TEmberViewItem* TEmberItem::GetView() {
  const TEmberViewItemClass* cls = GetViewClass();
  // Items of a control share its view objects; an item outside any control keeps its own.
  if (TCustomEmberListview* lv = GetOwnerListview()) {
    FreeAndNil(FView);
    return lv->SharedItemView(cls);
  }
  if (FView && &FView->ClassType() != cls) FreeAndNil(FView);
  if (!FView && cls && cls->CanMake()) FView = cls->Make(GetOwnerGroup());
  return FView;
}

void TEmberItem::ItemRectArray(TEmberColumn* Column, TCanvas* ACanvas, TEmberRectArrayObject& RectArray) {
  RectArray = TEmberRectArrayObject{};
  if (TEmberViewItem* v = GetView()) v->ItemRectArray(this, Column, ACanvas, WideString(), RectArray);
}

bool TEmberItem::HitTestAt(TPoint ViewportPoint, TEmberItemHitTestInfoSet& HitInfo) {
  using H = TEmberItemHitTestInfo;
  HitInfo = {};
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv) return false;
  TEmberRectArrayObject ra;
  ItemRectArray(TEmberViewItem::CaptionColumn(lv), lv->GetScratchCanvas(), ra);
  TRect icon = ra.IconRect;
  if (lv->IsVertView())
    icon.Bottom += GetCaptionIndent();
  else
    icon.Right += GetCaptionIndent();
  if (PtInRectEx(icon, ViewportPoint)) HitInfo += H::ehtOnIcon;
  if (PtInRectEx(ra.CheckRect, ViewportPoint)) HitInfo += H::ehtOnCheck;
  if (PtInRectEx(ra.FullFocusSelRect, ViewportPoint)) HitInfo += H::ehtOnText;
  if (PtInRectEx(ra.LabelRect, ViewportPoint)) HitInfo += H::ehtOnLabel;
  if (PtInRectEx(ra.ClickSelectBoundsRect, ViewportPoint)) HitInfo += H::ehtOnClickSelectBounds;
  if (PtInRectEx(ra.DragSelectBoundsRect, ViewportPoint)) HitInfo += H::ehtOnDragSelectBounds;
  if (PtInRectEx(ra.StateRect, ViewportPoint)) HitInfo += H::ehtStateIcon;
  return !HitInfo.Empty();
}

void TEmberItem::Paint(TCanvas* ACanvas, const TRect& ViewportClipRect, TEmberColumn* Column,
                       bool ForceSelectionRectDraw) {
  if (TEmberViewItem* v = GetView()) v->Paint(this, Column, ACanvas, ViewportClipRect, ForceSelectionRectDraw);
}

bool TEmberItem::PointAllowed(TPoint ViewportPoint) {
  TEmberViewItem* v = GetView();
  return v ? v->PtInItemArea(this, ViewportPoint) : true;
}
bool TEmberItem::EditAreaHitPt(TPoint P) {
  TEmberViewItem* v = GetView();
  return v && v->EditAreaHitPt(this, P);
}
bool TEmberItem::SelectionHit(const TRect& R, TEmberSelectHitType T) {
  TEmberViewItem* v = GetView();
  return v && v->SelectionHit(this, R, T);
}
bool TEmberItem::SelectionHitPt(TPoint P, TEmberSelectHitType T) {
  TEmberViewItem* v = GetView();
  return v && v->SelectionHitPt(this, P, T);
}

void TEmberItem::Invalidate(bool ImmediateUpdate) {
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv || !lv->HandleAllocated()) return;
  TRect view = lv->GetScrollbars()->MapWindowRectToViewRect(lv->GetClientRect());
  TRect clip;
  if (!IntersectRectEx(clip, view, GetDisplayRect())) return;
  TEmberRectArrayObject ra;
  ItemRectArray(nullptr, lv->GetScratchCanvas(), ra);
  TRect r = lv->GetScrollbars()->MapViewRectToWindowRect(UnionRectEx(ra.FocusChangeInvalidRect, GetDisplayRect()));
  lv->SafeInvalidateRect(&r, ImmediateUpdate);
}

void TEmberItem::MakeVisible(TEmberMakeVisiblePos Position) {
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv || !GetVisible()) return;
  TEmberRectArrayObject ra;
  ItemRectArray(lv->GetHeader()->FirstVisibleColumn(), lv->GetScratchCanvas(), ra);
  const TRect r = ra.BoundsRect;
  TEmberScrollbarManager* sb = lv->GetScrollbars();
  sb->ReCalculateScrollbars(false, false);
  TRect v = lv->ClientInViewportCoords();
  const Integer h = lv->GetHeader()->RuntimeHeight();
  const Integer cw = lv->GetClientWidth();
  const Integer ch = lv->GetClientHeight();
  if (r.Left >= v.Left && r.Right <= v.Right && r.Top >= v.Top && r.Bottom <= v.Bottom) return;
  switch (Position) {
    case TEmberMakeVisiblePos::emvTop:
      sb->SetOffsetY(r.Top);
      sb->SetOffsetX(r.Left);
      break;
    case TEmberMakeVisiblePos::emvMiddle:
      sb->SetOffsetY(r.Top - Round(ch / 2.0 - r.Height() / 2.0 - h));
      sb->SetOffsetX(r.Left - Round(cw / 2.0 - r.Width() / 2.0));
      break;
    case TEmberMakeVisiblePos::emvBottom:
      sb->SetOffsetY(r.Bottom - ch + h);
      sb->SetOffsetX(r.Right - cw);
      break;
    case TEmberMakeVisiblePos::emvAuto:
      if (v.Bottom >= r.Bottom) {
        if (v.Top > r.Top) sb->SetOffsetY(r.Top);
      } else {
        sb->SetOffsetY(r.Bottom - ch + h);
      }
      v = lv->ClientInViewportCoords();
      if (v.Right >= r.Right) {
        if (v.Left > r.Left) sb->SetOffsetX(r.Left);
      } else {
        sb->SetOffsetX(r.Right - cw);
      }
      break;
  }
}

void TEmberItem::SaveToStream(TStream& Str, Integer StreamVersion) {
  TEmberCollectionItem::SaveToStream(Str, EmberStreamVersion);
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoItemSaveToStream(this, &Str, StreamVersion);
}

void TEmberItem::LoadFromStream(TStream& Str, Integer& StreamVersion) {
  TEmberCollectionItem::LoadFromStream(Str, StreamVersion);
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoItemLoadFromStream(this, &Str, StreamVersion);
}

// ---- The protocol's questions and consequences for items ----
bool TEmberItem::CanChangeCheck() {
  if (!GetEnabled()) return false;
  bool allow = true;
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoItemCheckChanging(this, allow);
  return allow;
}
bool TEmberItem::CanChangeEnable(bool) {
  bool allow = true;
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoItemEnableChanging(this, allow);
  return allow;
}
bool TEmberItem::CanChangeFocus() {
  bool allow = true;
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoItemFocusChanging(this, allow);
  return allow;
}
bool TEmberItem::CanChangeSelection() {
  bool allow = true;
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoItemSelectionChanging(this, allow);
  return allow;
}
bool TEmberItem::CanChangeVisibility(bool NewValue) {
  if (NewValue && GetOwnerGroup() && !GetOwnerGroup()->GetVisible()) return false;
  bool allow = true;
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoItemVisibilityChanging(this, allow);
  return allow;
}

TEmberPaintInfoBasic* TEmberItem::GetDefaultPaintInfo() const {
  TCustomEmberListview* lv = GetOwnerListview();
  return lv ? lv->GetPaintInfoItem() : nullptr;
}

void TEmberItem::Freeing() {
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoItemFreeing(this);
}

void TEmberItem::GainCheck() {
  if (TCustomEmberListview* lv = GetOwnerListview()) {
    lv->GetCheckManager()->IncCount();
    lv->DoItemCheckChange(this);
  }
  Invalidate(false);
}
void TEmberItem::LoseCheck() {
  if (TCustomEmberListview* lv = GetOwnerListview()) {
    lv->GetCheckManager()->DecCount();
    lv->DoItemCheckChange(this);
  }
  if (!GetDestroying()) Invalidate(false);
}
void TEmberItem::GainEnable() {
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoItemEnableChange(this);
  Invalidate(false);
}
void TEmberItem::LoseEnable() {
  ReleaseSelectionGroup();
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoItemEnableChange(this);
  if (!GetDestroying()) Invalidate(false);
}
void TEmberItem::GainFocus() {
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv) return;
  lv->DoItemFocusChanged(this);
  lv->GetSelection()->SetFocusedItem(this);
  Invalidate(false);
  if (lv->GetSelection()->GetGroupSelections()) {
    lv->GetSelection()->BuildSelectionGroupings(false);
    lv->SafeInvalidateRect(nullptr, false);
  }
}
void TEmberItem::LoseFocus() {
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv) return;
  if (lv->GetSelection()->GetFocusedItem() == this) lv->GetSelection()->SetFocusedItem(nullptr);
  lv->DoItemFocusChanged(this);
  if (!GetDestroying()) {
    // The focus rectangle must be part of what is repainted.
    Include(S::esosFocused);
    Invalidate(false);
    Exclude(S::esosFocused);
    if (lv->GetSelection()->GetGroupSelections()) lv->SafeInvalidateRect(nullptr, false);
  }
}
void TEmberItem::GainGhosted() {
  if (!GetDestroying()) Invalidate(false);
}
void TEmberItem::LoseGhosted() {
  if (!GetDestroying()) Invalidate(false);
}
void TEmberItem::GainHotTrack(TPoint MousePos) {
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoItemHotTrack(this, TEmberHotTrackState::ehsEnable, MousePos);
  Invalidate(true);
}
void TEmberItem::LoseHotTrack() {
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoItemHotTrack(this, TEmberHotTrackState::ehsDisable, TPoint{});
  Invalidate(true);
}
void TEmberItem::GainSelection() {
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv) return;
  lv->GetSelection()->GainingSelection(this);
  lv->DoItemSelectionChanged(this);
  // A walk over all items repaints once at its end.
  if (lv->GetSelection()->ItemRepaintsHeld()) return;
  if (lv->GetSelection()->GetGroupSelections()) {
    lv->GetSelection()->BuildSelectionGroupings(false);
    lv->SafeInvalidateRect(nullptr, false);
  } else {
    Invalidate(false);
  }
}
void TEmberItem::LoseSelection() {
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv) return;
  lv->GetSelection()->LosingSelection(this);
  lv->DoItemSelectionChanged(this);
  if (GetDestroying() || lv->GetSelection()->ItemRepaintsHeld()) return;
  if (lv->GetSelection()->GetGroupSelections()) {
    lv->GetSelection()->BuildSelectionGroupings(false);
    lv->SafeInvalidateRect(nullptr, false);
  } else {
    Invalidate(false);
  }
}
void TEmberItem::GainVisibility() {
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv) return;
  lv->GetGroups()->Rebuild(false);
  lv->DoItemVisibilityChanged(this);
}
void TEmberItem::LoseVisibility() {
  ReleaseSelectionGroup();
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv) return;
  lv->GetGroups()->Rebuild(false);
  lv->DoItemVisibilityChanged(this);
}
void TEmberItem::Initialize() {
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoItemInitialize(this);
  Include(S::esosInitialized);
}

}  // namespace ember
