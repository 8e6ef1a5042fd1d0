#include "listview/EmberPersistent.h"

#include <algorithm>
#include <cstring>

#include "listview/EmberControl.h"
#include "platform/gdi/Bitmap.h"

namespace ember {

// ---- TEmberPersistent ----
void TEmberPersistent::Assign(TEmberPersistent* Source) {
  if (Source) {
    Source->AssignTo(this);
    return;
  }
  throw EConvertError(u"Cannot assign a nil to a " + ClassName());
}

void TEmberPersistent::AssignTo(TEmberPersistent* Dest) {
  throw EConvertError(u"Cannot assign a " + ClassName() + u" to a " + Dest->ClassName());
}

// ---- TEmberOwnedPersistent ----
void TEmberOwnedPersistent::Create(TCustomEmberListview* AOwner) {
  TEmberPersistent::Create();
  FOwnerListview = AOwner;
}
void TEmberOwnedPersistent::LoadFromStream(TStream&, Integer&) {}
void TEmberOwnedPersistent::SaveToStream(TStream&, Integer) {}

void TEmberOwnedPersistentGroupItem::Create(TEmberGroup* AOwner) {
  TEmberOwnedPersistentView::Create(AOwner ? AOwner->GetOwnerListview() : nullptr);
  FOwnerGroup = AOwner;
}

// ---- TEmberInterfacedPersistent ----
HRESULT TEmberInterfacedPersistent::QueryInterface(REFIID iid, void** out) {
  // With no place for the answer nothing can be handed out: that is the "no interface" answer.
  if (!out) return E_NOINTERFACE;
  *out = nullptr;
  if (iid == IUnknown::Iid) {
    *out = static_cast<IUnknown*>(this);
  } else if (!ImplementsInterface(iid, out)) {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}
ULONG TEmberInterfacedPersistent::AddRef() { return static_cast<ULONG>(++FRefCount); }
ULONG TEmberInterfacedPersistent::Release() {
  Integer n = --FRefCount;
  if (n == 0) Free();
  return static_cast<ULONG>(n);
}
void TEmberInterfacedPersistent::AfterConstruction() {
  TObject::AfterConstruction();
  --FRefCount;
}

// ---- Margins ----
void TEmberMargin::SetSize(Integer Value) {
  // The value given is what is compared: -3 on a margin of size 0 still rebuilds the groups.
  if (Value == FSize) return;
  FSize = std::max(Value, 0);
  if (OwnerListview()) OwnerListview()->GetGroups()->Rebuild(false);
}

void TEmberMargin::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  if (OwnerListview()) OwnerListview()->GetGroups()->Rebuild(false);
}

bool TEmberMargin::Shown() const { return FVisible && OwnerListview() && OwnerListview()->GetShowGroupMargins(); }

void TEmberMargin::Assign(TEmberPersistent* Source) {
  if (auto* m = dynamic_cast<TEmberMargin*>(Source)) {
    FSize = m->FSize;
    FVisible = m->FVisible;
  }
}

void TEmberHeaderMargin::Create(TCustomEmberListview* AOwner) {
  TEmberMargin::Create(AOwner);
  FVisible = true;
}

void TCustomEmberFooterMargin::SetPaintInfo(TEmberPaintInfoBaseGroup* Value) {
  if (Value == FPaintInfo) return;
  pf::Free(FPaintInfo);
  FPaintInfo = Value;
}

void TCustomEmberFooterMargin::RebuildGroups() {
  if (OwnerListview()) OwnerListview()->GetGroups()->Rebuild(false);
}
void TCustomEmberFooterMargin::Repaint() {
  if (OwnerListview()) OwnerListview()->SafeInvalidateRect(nullptr, false);
}

TEmberPaintInfoBasic* TCustomEmberFooterMargin::Settings() const {
  if (FPaintInfo) return FPaintInfo;
  TCustomEmberListview* lv = OwnerListview();
  TEmberPaintInfoBaseGroup* group = lv ? lv->GetPaintInfoGroup() : nullptr;
  return group && group->GetMarginBottom() ? group->GetMarginBottom()->PaintInfo() : nullptr;
}

void TCustomEmberFooterMargin::SetCaption(const WideString& V) {
  if (V == FCaption) return;
  FCaption = V;
  RebuildGroups();
}
void TCustomEmberFooterMargin::SetImageIndex(TCommonImageIndexInteger V) {
  if (V == FImageIndex) return;
  FImageIndex = V;
  Repaint();
}
void TCustomEmberFooterMargin::SetImageOverlayIndex(TCommonImageIndexInteger V) {
  if (V == FImageOverlayIndex) return;
  FImageOverlayIndex = V;
  Repaint();
}

// Without any settings object (a margin of no control) the getters answer the paint info's
// defaults and the setters have nowhere to write.
#define EMBER_FOOTER_SETTING(Type, Name, Reaction)                              \
  Type TCustomEmberFooterMargin::Get##Name() const {                            \
    TEmberPaintInfoBasic* p = Settings();                                       \
    return p ? p->Get##Name() : TEmberPaintInfoBasic::Default##Name;            \
  }                                                                             \
  void TCustomEmberFooterMargin::Set##Name(Type Value) {                        \
    TEmberPaintInfoBasic* p = Settings();                                       \
    if (!p || p->Get##Name() == Value) return;                                  \
    p->Set##Name(Value);                                                        \
    Reaction();                                                                 \
  }
EMBER_FOOTER_SETTING(TAlignment, Alignment, RebuildGroups)
EMBER_FOOTER_SETTING(Integer, CaptionIndent, Repaint)
EMBER_FOOTER_SETTING(Integer, CaptionLines, Repaint)
EMBER_FOOTER_SETTING(Integer, ImageIndent, Repaint)
EMBER_FOOTER_SETTING(common::TCommonVAlignment, VAlignment, Repaint)
#undef EMBER_FOOTER_SETTING

void TCustomEmberFooterMargin::Assign(TEmberPersistent* Source) {
  TEmberMargin::Assign(Source);
  if (auto* m = dynamic_cast<TCustomEmberFooterMargin*>(Source)) FCaption = m->FCaption;
}

void TCustomEmberFooterMargin::Destroy() {
  FreeAndNil(FPaintInfo);
  TEmberMargin::Destroy();
}

// ---- Unit routines ----
UINT CF_EMBERLISTVIEWHEADER = 0;

void FillHeaderFormatEtc(TEmberFormatEtc& FormatEtc) {
  FormatEtc.cfFormat = CF_EMBERLISTVIEWHEADER;
  FormatEtc.ptd = nullptr;
  FormatEtc.dwAspect = static_cast<DWORD>(-1);
  FormatEtc.lindex = -1;
  FormatEtc.tymed = 1;  // TYMED_HGLOBAL
}

// Captions are kept by the column's index, not by where the user has moved the column: reading
// them by position sorted a moved column by the caption of whichever column now stands there.
Integer DefaultItemCompare(TEmberColumn* Column, TEmberItem* Item1, TEmberItem* Item2) {
  Integer index = Column ? Column->GetIndex() : 0;
  String c1 = Item1->GetCaptions(index);
  String c2 = Item2->GetCaptions(index);
  Integer result = common::WideStrICompare(c1, c2);
  if (Column && Column->GetSortDirection() == TEmberSortDirection::esdDescending) result = -result;
  return result;
}

void BlendBitmaps(TBitmap* Src, TBitmap* Dst, Integer SrcWeight, bool Blur, Integer DstWeight) {
  if (!Src || !Dst || Src->GetHeight() <= 0) return;
  if (Src->GetWidth() != Dst->GetWidth() || Src->GetHeight() != Dst->GetHeight()) return;
  if (Src->GetPixelFormat() == TPixelFormat::pf24bit || Dst->GetPixelFormat() == TPixelFormat::pf24bit) return;
  const Integer total = SrcWeight + DstWeight;
  if (total == 0) return;  // no weights: nothing to mix (the division would fault)
  const Integer w = Src->GetWidth();
  const Integer h = Src->GetHeight();
  std::vector<Byte> current(static_cast<size_t>(w) * 4);
  for (Integer y = 0; y < h; ++y) {
    Byte* s = Src->ScanLine(y);
    Byte* d = Dst->ScanLine(y);
    // The current row as it was before this routine wrote to it.
    std::memcpy(current.data(), d, current.size());
    const Byte* up = y > 0 ? Dst->ScanLine(y - 1) : nullptr;
    const Byte* down = y + 1 < h ? Dst->ScanLine(y + 1) : nullptr;
    for (Integer x = 0; x < w; ++x) {
      Byte* dp = d + x * 4;
      const Byte* sp = s + x * 4;
      Integer dv[3] = {current[x * 4], current[x * 4 + 1], current[x * 4 + 2]};
      if (Blur && up && down && x > 0 && x + 1 < w) {
        for (int c = 0; c < 3; ++c) {
          Integer sum = up[(x - 1) * 4 + c] + up[(x + 1) * 4 + c] + down[(x - 1) * 4 + c] + down[(x + 1) * 4 + c] +
                        up[x * 4 + c] + down[x * 4 + c] + current[(x - 1) * 4 + c] + current[(x + 1) * 4 + c] +
                        current[x * 4 + c] / 2;
          dv[c] = sum / 9;
        }
      }
      for (int c = 0; c < 3; ++c) dp[c] = static_cast<Byte>((sp[c] * SrcWeight + dv[c] * DstWeight) / total);
    }
  }
}

}  // namespace ember
