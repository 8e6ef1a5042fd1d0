#include "listview/EmberColumns.h"

#include "listview/EmberAccessible.h"

#include "common/CommonObjects.h"
#include "listview/EmberControl.h"
#include "listview/EmberStreamIO.h"

namespace ember {

using S = TEmberStorageObjectState;
using namespace streamio;

// ---- The drop-down button ----
void TEmberColumnDropDownButton::SetAlwaysShow(bool V) {
  if (V == FAlwaysShow) return;
  FAlwaysShow = V;
  if (FOwner) FOwner->Invalidate(false);
}
void TEmberColumnDropDownButton::SetEnabled(bool V) {
  if (V == FEnabled) return;
  FEnabled = V;
  if (FOwner) FOwner->Invalidate(false);
}
void TEmberColumnDropDownButton::SetVisible(bool V) {
  if (V == FVisible) return;
  FVisible = V;
  if (FOwner) FOwner->Invalidate(false);
}
void TEmberColumnDropDownButton::SaveToStream(TStream& Str) const {
  WriteBool(Str, FAlwaysShow);
  WriteBool(Str, FEnabled);
  WriteBool(Str, FAlwaysShow);
  WriteByte(Str, static_cast<Byte>(FState.Bits()));
  WriteBool(Str, FVisible);
}
void TEmberColumnDropDownButton::LoadFromStream(TStream& Str) {
  FAlwaysShow = ReadBool(Str);
  FEnabled = ReadBool(Str);
  FAlwaysShow = ReadBool(Str);
  Byte state = ReadByte(Str);
  if (state > 7) Corrupt(u"a drop-down button state is out of range");
  FState = TEmberColumnDropDownButtonStates::FromBits(state);
  FVisible = ReadBool(Str);
}

// ---- TEmberColumn ----
void TEmberColumn::Create(TEmberCollection* ACollection) {
  TEmberCollectionItem::Create(ACollection);
  FDropDownButton = TEmberColumnDropDownButton::New(this);
  AttachAccessible(this);
  FAlignment = TAlignment::taLeftJustify;
  FAutoSizeOnDblClk = true;
  FAutoSortOnClick = true;
  FAutoSpring = false;
  FAutoToggleSortGlyph = true;
  FBkGndColor = clNone;
  FClickable = true;
  FPosition = ACollection ? ACollection->GetCount() : 0;
  FSortDirection = TEmberSortDirection::esdNone;
  FStyle = TEmberHeaderButtonStyle::ehbsThick;
  FWidth = 50;
}

void TEmberColumn::Destroy() {
  Include(S::esosDestroying);
  if (TCustomEmberListview* lv = GetOwnerListview()) {
    if (lv->GetSelection() && lv->GetSelection()->GetFocusedColumn() == this) lv->GetSelection()->SetFocusedColumn(nullptr);
    if (TEmberHeader* h = lv->GetHeader()) h->ColumnFreeing(this);
    if (lv->GetEditManager() && lv->GetEditManager()->GetTabMoveFocusColumn() == this)
      lv->GetEditManager()->SetTabMoveFocusColumn(nullptr);
  }
  FreeAndNil(FDropDownButton);
  TEmberCollectionItem::Destroy();
  FreeAndNil(FView);
}

TEmberColumns* TEmberColumn::GetOwnerColumns() const { return static_cast<TEmberColumns*>(GetCollection()); }
TEmberHeader* TEmberColumn::GetOwnerHeader() const {
  return GetOwnerListview() ? GetOwnerListview()->GetHeader() : nullptr;
}

void TEmberColumn::SetAlignment(TAlignment V) {
  if (V == FAlignment) return;
  FAlignment = V;
  Invalidate(false);
}
void TEmberColumn::SetBkGndColor(TColor V) {
  if (V == FBkGndColor) return;
  FBkGndColor = V;
  if (GetOwnerListview()) GetOwnerListview()->SafeInvalidateRect(nullptr, false);
}
TColor TEmberColumn::GetColor() const {
  auto* p = dynamic_cast<TEmberPaintInfoBaseColumn*>(GetEffectivePaintInfo());
  return p ? p->GetColor() : clBtnFace;
}
void TEmberColumn::SetColor(TColor V) {
  if (auto* p = dynamic_cast<TEmberPaintInfoBaseColumn*>(GetEffectivePaintInfo())) p->SetColor(V);
}

// Positions stay a permutation of 0..Count-1: the columns between the old and the new place move
// over by one.
void TEmberColumn::SetPosition(Integer Value) {
  TEmberColumns* cols = GetOwnerColumns();
  const Integer count = cols ? cols->GetCount() : 0;
  if (Value > count - 1) Value = count - 1;
  if (Value < 0) Value = 0;
  if (count <= 1) {
    FPosition = 0;
    return;
  }
  const Integer old = FPosition;
  if (Value != old) {
    for (Integer i = 0; i < count; ++i) {
      TEmberColumn* c = cols->GetColumn(i);
      if (c == this) continue;
      if (Value < old && c->FPosition >= Value && c->FPosition <= old) ++c->FPosition;
      if (Value > old && c->FPosition >= old && c->FPosition <= Value) --c->FPosition;
    }
    FPosition = Value;
  }
  cols->StructureChanged();
}

void TEmberColumn::SetSortDirection(TEmberSortDirection Value) {
  if (Value == FSortDirection) return;
  FSortDirection = Value;
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv) return;
  lv->GetHeader()->Invalidate(false);
  if (Value != TEmberSortDirection::esdNone) {
    lv->GetSelection()->SetFocusedColumn(this);
    if (lv->GetSort()->GetAutoSort() && FAutoSortOnClick) lv->GetSort()->SortAll(true);
  }
}

void TEmberColumn::SetWidth(Integer Value) {
  if (Value == FWidth) return;
  if (Value < 0) Value = 0;
  FWidth = Value;
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv) return;
  lv->GetHeader()->Rebuild(false);
  if (lv->GetView() == TEmberListStyle::elsReport || lv->GetView() == TEmberListStyle::elsReportThumb) {
    TRect r = lv->GetScrollbars()->GetViewRect();
    r.Right = lv->GetHeader()->GetViewRect().Right;
    lv->GetScrollbars()->SetViewRect(r, true);
  }
}

const TEmberViewColumnClass* TEmberColumn::GetViewClass() const {
  const TEmberViewColumnClass* cls = nullptr;
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoColumnCustomView(const_cast<TEmberColumn*>(this), cls);
  return cls ? cls : GetDefaultViewClass();
}

TEmberViewColumn* TEmberColumn::GetView() {
  const TEmberViewColumnClass* cls = GetViewClass();
  if (FView && &FView->ClassType() != cls) FreeAndNil(FView);
  if (!FView && cls && cls->CanMake()) FView = cls->Make(GetOwnerListview());
  return FView;
}

void TEmberColumn::AutoSizeToFit() {
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv) return;
  const Integer index = GetIndex();
  Integer widest = 0;
  TEmberGroups* groups = lv->GetGroups();
  for (Integer g = 0; g < groups->GetCount(); ++g) {
    TEmberGroup* group = groups->GetGroup(g);
    for (Integer i = 0; i < group->GetItemCount(); ++i) {
      TEmberItem* item = group->GetItem(i);
      TCanvas* canvas = lv->GetCanvas();
      TEmberViewItem* v = item->GetView();
      // The caption as its view paints it (a bold item is wider), after the application's say.
      if (v) {
        v->LoadTextFont(item, index, canvas, false);
      } else {
        canvas->SetFont(lv->GetFont());
        lv->DoItemPaintText(item, index, canvas);
      }
      Integer w = common::WideTextExtentOnCanvas(canvas, item->GetCaptions(index)).cx + 8;
      if (v) {
        Integer iw = 0, ih = 0;
        v->GetImageSize(item, this, iw, ih, TEmberImageKind::eikNormal);
        if (iw > 0) w += item->GetImageIndent() + iw;
        v->GetImageSize(item, this, iw, ih, TEmberImageKind::eikState);
        if (iw > 0) w += iw;
      }
      if (item->GetCheckType() != TEmberCheckType::ectNone) {
        TRect check{};
        if (common::CheckBound) common::CheckBound->Bound(item->GetCheckSize(), check);
        w += check.Width() + item->GetCheckIndent();
      }
      widest = std::max(widest, w);
    }
  }
  TEmberUpdateGuard update(lv);
  SetWidth(widest);
  update.End();
  if (lv->GetSelection()->GetFullRowSelect()) groups->Rebuild(false);
}

bool TEmberColumn::HitTestAt(TPoint P, TEmberColumnHitTestInfoSet& HitInfo) {
  using C = TEmberColumnHitTestInfo;
  HitInfo = {};
  if (!FView) return false;
  TEmberRectArrayObject ra;
  FView->ItemRectArray(this, ra);
  TRect icon = ra.IconRect;
  icon.Right += GetEffectivePaintInfo() ? GetEffectivePaintInfo()->GetCaptionIndent() : 0;
  if (PtInRectEx(icon, P)) HitInfo += C::ectOnText;
  if (PtInRectEx(ra.IconRect, P)) HitInfo += C::ectOnIcon;
  if (PtInRectEx(ra.CheckRect, P)) HitInfo += C::ectOnCheckbox;
  if (PtInRectEx(ra.LabelRect, P)) HitInfo += C::ectOnLabel;
  return !HitInfo.Empty();
}

void TEmberColumn::Paint(TCanvas* ACanvas, const TRect& ClipRect) {
  (void)ClipRect;
  if (TEmberViewColumn* v = GetView()) v->Paint(this, ACanvas, TEmberHeaderType::ehtHeader);
}

bool TEmberColumn::EditAreaHitPt(TPoint P) {
  TEmberViewColumn* v = GetView();
  return v && v->EditAreaHitPt(this, P);
}
bool TEmberColumn::SelectionHit(const TRect& R, TEmberSelectHitType T) {
  TEmberViewColumn* v = GetView();
  return v && v->SelectionHit(this, R, T);
}
bool TEmberColumn::SelectionHitPt(TPoint P, TEmberSelectHitType T) {
  TEmberViewColumn* v = GetView();
  return v && v->SelectionHitPt(this, P, T);
}

void TEmberColumn::Invalidate(bool ImmediateUpdate) {
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv || lv->GetUpdateCount() > 0 || !lv->HandleAllocated()) return;
  TRect r{0, 0, lv->GetClientWidth(), lv->GetHeader()->GetHeight()};
  lv->SafeInvalidateRect(&r, ImmediateUpdate);
}

void TEmberColumn::MakeVisible(TEmberMakeVisiblePos Position) {
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv || !GetVisible() || !GetView()) return;
  TEmberRectArrayObject ra;
  GetView()->ItemRectArray(this, ra);
  const TRect b = ra.BoundsRect;
  const TRect v = lv->ClientInViewportCoords();
  const Integer cw = v.Width();
  const Integer w = b.Width();
  if (v.Left <= b.Left && b.Right <= v.Right) return;
  TEmberScrollbarManager* sb = lv->GetScrollbars();
  switch (Position) {
    case TEmberMakeVisiblePos::emvTop:
    case TEmberMakeVisiblePos::emvAuto:
      if (b.Left > v.Left) sb->SetOffsetX(b.Left);
      break;
    case TEmberMakeVisiblePos::emvMiddle:
      if (cw > w) sb->SetOffsetX(b.Left - (cw - w) / 2);
      break;
    case TEmberMakeVisiblePos::emvBottom: sb->SetOffsetX(b.Right - cw); break;
  }
}

void TEmberColumn::SaveToStream(TStream& Str, Integer StreamVersion) {
  TEmberCollectionItem::SaveToStream(Str, EmberStreamVersion);
  WriteByte(Str, static_cast<Byte>(FAlignment));
  WriteBool(Str, FAutoSizeOnDblClk);
  WriteBool(Str, FAutoSortOnClick);
  WriteBool(Str, FAutoSpring);
  WriteBool(Str, FAutoToggleSortGlyph);
  WriteInt32(Str, FPosition);
  WriteByte(Str, static_cast<Byte>(FSortDirection));
  WriteByte(Str, static_cast<Byte>(FStyle));
  WriteBool(Str, FClickable);
  WriteInt32(Str, FWidth);
  WriteInt32(Str, FBkGndColor);
  FDropDownButton->SaveToStream(Str);
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoColumnSaveToStream(this, &Str, StreamVersion);
}

// The fields are stored as read, without their setters: the header puts positions in order.
void TEmberColumn::LoadFromStream(TStream& Str, Integer& StreamVersion) {
  TEmberCollectionItem::LoadFromStream(Str, StreamVersion);
  FAlignment = static_cast<TAlignment>(ReadEnum(Str, 3));
  FAutoSizeOnDblClk = ReadBool(Str);
  if (StreamVersion > 1) FAutoSortOnClick = ReadBool(Str);
  FAutoSpring = ReadBool(Str);
  FAutoToggleSortGlyph = ReadBool(Str);
  FPosition = ReadInt32(Str);
  FSortDirection = static_cast<TEmberSortDirection>(ReadEnum(Str, 3));
  FStyle = static_cast<TEmberHeaderButtonStyle>(ReadEnum(Str, 4));
  FClickable = ReadBool(Str);
  FWidth = std::max(0, ReadInt32(Str));
  if (StreamVersion > 5) {
    FBkGndColor = ReadInt32(Str);
    FDropDownButton->LoadFromStream(Str);
  }
  if (TCustomEmberListview* lv = GetOwnerListview()) lv->DoColumnLoadFromStream(this, &Str, StreamVersion);
}

// ---- The protocol for columns ----
#define EMBER_COLUMN_ASK(Fn, Ev)                                          \
  bool TEmberColumn::Fn {                                                 \
    bool allow = true;                                                    \
    if (TCustomEmberListview* lv = GetOwnerListview()) lv->Ev(this, allow); \
    return allow;                                                         \
  }
EMBER_COLUMN_ASK(CanChangeCheck(), DoColumnCheckChanging)
EMBER_COLUMN_ASK(CanChangeEnable(bool), DoColumnEnableChanging)
EMBER_COLUMN_ASK(CanChangeFocus(), DoColumnFocusChanging)
EMBER_COLUMN_ASK(CanChangeSelection(), DoColumnSelectionChanging)
EMBER_COLUMN_ASK(CanChangeVisibility(bool), DoColumnVisibilityChanging)
#undef EMBER_COLUMN_ASK

#define EMBER_COLUMN_TELL(Fn, Ev) \
  void TEmberColumn::Fn() {       \
    if (TCustomEmberListview* lv = GetOwnerListview()) lv->Ev(this); \
  }
EMBER_COLUMN_TELL(Freeing, DoColumnFreeing)
EMBER_COLUMN_TELL(GainCheck, DoColumnCheckChanged)
EMBER_COLUMN_TELL(LoseCheck, DoColumnCheckChanged)
EMBER_COLUMN_TELL(GainEnable, DoColumnEnableChanged)
EMBER_COLUMN_TELL(LoseEnable, DoColumnEnableChanged)
EMBER_COLUMN_TELL(GainFocus, DoColumnFocusChanged)
EMBER_COLUMN_TELL(LoseFocus, DoColumnFocusChanged)
EMBER_COLUMN_TELL(GainSelection, DoColumnSelectionChanged)
EMBER_COLUMN_TELL(LoseSelection, DoColumnSelectionChanged)
EMBER_COLUMN_TELL(Initialize, DoColumnInitialize)
#undef EMBER_COLUMN_TELL

void TEmberColumn::GainVisibility() {
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv) return;
  TEmberUpdateGuard update(lv, false);
  lv->DoColumnVisibilityChanged(this);
  update.End();
}
void TEmberColumn::LoseVisibility() { GainVisibility(); }

TCustomImageList* TEmberColumn::GetDefaultImageList(TEmberImageSize) {
  return GetOwnerHeader() ? GetOwnerHeader()->GetImages() : nullptr;
}
TEmberPaintInfoBasic* TEmberColumn::GetDefaultPaintInfo() const {
  return GetOwnerListview() ? GetOwnerListview()->GetPaintInfoColumn() : nullptr;
}

}  // namespace ember
