#include "listview/EmberPaintInfo.h"

#include "listview/EmberControl.h"

namespace ember {

void TEmberPaintInfoBasic::Invalidate(bool ImmediateUpdate) {
  if (TCustomEmberListview* lv = OwnerListview()) lv->SafeInvalidateRect(nullptr, ImmediateUpdate);
}

void TEmberPaintInfoBasic::InvalidateHeader() {
  if (TCustomEmberListview* lv = OwnerListview()) lv->GetHeader()->Invalidate(false);
}

void TEmberPaintInfoBasic::Assign(TEmberPersistent* Source) {
  auto* p = dynamic_cast<TEmberPaintInfoBasic*>(Source);
  if (!p) {
    TEmberOwnedPersistent::Assign(Source);
    return;
  }
  FAlignment = p->FAlignment;
  FBorder = p->FBorder;
  FBorderColor = p->FBorderColor;
  FCaptionIndent = p->FCaptionIndent;
  FCaptionLines = p->FCaptionLines;
  FCheckFlat = p->FCheckFlat;
  FCheckIndent = p->FCheckIndent;
  FCheckSize = p->FCheckSize;
  FCheckType = p->FCheckType;
  FImageIndent = p->FImageIndent;
  FVAlignment = p->FVAlignment;
}

// ---- Groups ----
void TEmberPaintInfoBaseGroup::Create(TCustomEmberListview* AOwner) {
  TEmberPaintInfoBasic::Create(AOwner);
  FMarginBottom = TEmberFooterMargin::New(AOwner);
  FMarginLeft = TEmberMargin::New(AOwner);
  FMarginRight = TEmberMargin::New(AOwner);
  FMarginTop = TEmberHeaderMargin::New(AOwner);
}

void TEmberPaintInfoBaseGroup::Destroy() {
  FreeAndNil(FMarginBottom);
  FreeAndNil(FMarginLeft);
  FreeAndNil(FMarginRight);
  FreeAndNil(FMarginTop);
  TEmberPaintInfoBasic::Destroy();
}

void TEmberPaintInfoBaseGroup::SetExpandable(bool Value) {
  if (Value == FExpandable) return;
  TCustomEmberListview* lv = OwnerListview();
  if (!Value && lv) lv->GetGroups()->ExpandAll();
  FExpandable = Value;
  Invalidate(false);
}

namespace {
template <class T>
void Replace(T*& Field, T* Value) {
  if (Value == Field) return;
  pf::Free(Field);
  Field = Value;
}
}  // namespace

void TEmberPaintInfoBaseGroup::SetMarginBottom(TCustomEmberFooterMargin* Value) { Replace(FMarginBottom, Value); }
void TEmberPaintInfoBaseGroup::SetMarginLeft(TEmberMargin* Value) { Replace(FMarginLeft, Value); }
void TEmberPaintInfoBaseGroup::SetMarginRight(TEmberMargin* Value) { Replace(FMarginRight, Value); }
void TEmberPaintInfoBaseGroup::SetMarginTop(TEmberHeaderMargin* Value) { Replace(FMarginTop, Value); }

void TEmberPaintInfoBaseGroup::Assign(TEmberPersistent* Source) {
  TEmberPaintInfoBasic::Assign(Source);
  auto* p = dynamic_cast<TEmberPaintInfoBaseGroup*>(Source);
  if (!p) return;
  FBandBlended = p->FBandBlended;
  FBandColor = p->FBandColor;
  FBandColorFade = p->FBandColorFade;
  FBandEnabled = p->FBandEnabled;
  FBandFullWidth = p->FBandFullWidth;
  FBandIndent = p->FBandIndent;
  FBandLength = p->FBandLength;
  FBandMargin = p->FBandMargin;
  FBandRadius = p->FBandRadius;
  FBandThickness = p->FBandThickness;
  FExpandable = p->FExpandable;
  FExpanded = p->FExpanded;
  FExpandImageIndent = p->FExpandImageIndent;
  FMarginBottom->Assign(p->FMarginBottom);
  FMarginLeft->Assign(p->FMarginLeft);
  FMarginRight->Assign(p->FMarginRight);
  FMarginTop->Assign(p->FMarginTop);
}

}  // namespace ember
