#include "listview/EmberStorage.h"

#include "listview/EmberControl.h"
#include "listview/EmberStreamIO.h"

namespace ember {

using namespace streamio;

// ---- The dynamic-data helpers ----
namespace {
template <class T>
T At(const std::vector<T>& a, Integer i, T def) {
  return i >= 0 && static_cast<size_t>(i) < a.size() ? a[static_cast<size_t>(i)] : def;
}
template <class T>
void Put(std::vector<T>& a, Integer i, T v, T def) {
  if (i < 0) return;  // nothing lies before the first column
  if (static_cast<size_t>(i) >= a.size()) a.resize(static_cast<size_t>(i) + 1, def);
  a[static_cast<size_t>(i)] = std::move(v);
}
constexpr Cardinal NoGroupKey = 65535;
}  // namespace

String TEmberDynamicDataHelper::GetCaption(Integer I) const { return At(FCaptionArray, I, String()); }
void TEmberDynamicDataHelper::SetCaption(Integer I, const String& V) { Put(FCaptionArray, I, V, String()); }
Integer TEmberDynamicDataHelper::GetDetail(Integer I) const { return At(FDetailArray, I, 0); }
void TEmberDynamicDataHelper::SetDetail(Integer I, Integer V) { Put(FDetailArray, I, V, 0); }
Cardinal TEmberDynamicDataHelper::GetGroupKey(Integer I) const { return At(FGroupKeyArray, I, NoGroupKey); }
void TEmberDynamicDataHelper::SetGroupKey(Integer I, Cardinal V) { Put(FGroupKeyArray, I, V, NoGroupKey); }
Integer TEmberDynamicDataHelper::GetImageIndex(Integer I) const { return At(FImageIndexArray, I, -1); }
void TEmberDynamicDataHelper::SetImageIndex(Integer I, Integer V) { Put(FImageIndexArray, I, V, -1); }
Integer TEmberDynamicDataHelper::GetOverlayIndex(Integer I) const { return At(FOverlayIndexArray, I, -1); }
void TEmberDynamicDataHelper::SetOverlayIndex(Integer I, Integer V) { Put(FOverlayIndexArray, I, V, -1); }
Integer TEmberItemDynamicDataHelper::GetStateImage(Integer I) const { return At(FStateImageArray, I, -1); }
void TEmberItemDynamicDataHelper::SetStateImage(Integer I, Integer V) { Put(FStateImageArray, I, V, -1); }

void TEmberDynamicDataHelper::SaveToStream(TStream& S, Integer) {
  WriteWideStringArray(S, FCaptionArray);
  WriteIntArray(S, FDetailArray);
  WriteIntArray(S, FImageIndexArray);
  WriteIntArray(S, FOverlayIndexArray);
}

void TEmberDynamicDataHelper::LoadFromStream(TStream& S, Integer) {
  FCaptionArray = ReadWideStringArray(S);
  FDetailArray = ReadIntArray(S);
  FImageIndexArray = ReadIntArray(S);
  FOverlayIndexArray = ReadIntArray(S);
}

void TEmberItemDynamicDataHelper::SaveToStream(TStream& S, Integer Version) {
  TEmberDynamicDataHelper::SaveToStream(S, Version);
  WriteCardinalArray(S, FGroupKeyArray);
  WriteIntArray(S, FStateImageArray);
}

void TEmberItemDynamicDataHelper::LoadFromStream(TStream& S, Integer Version) {
  TEmberDynamicDataHelper::LoadFromStream(S, Version);
  FGroupKeyArray = ReadCardinalArray(S);
  if (Version > 2)
    FStateImageArray = ReadIntArray(S);
  else
    FStateImageArray.clear();
}

// ---- TEmberItemStored ----
void TEmberItemStored::Create(TEmberCollection* ACollection) {
  TEmberItem::Create(ACollection);
  FDataHelper = TEmberItemDynamicDataHelper::New();
}
void TEmberItemStored::Destroy() {
  Include(TEmberStorageObjectState::esosDestroying);
  TEmberItem::Destroy();
  FreeAndNil(FDataHelper);
}
String TEmberItemStored::GetCaptions(Integer Column) const { return FDataHelper->GetCaption(Column); }
void TEmberItemStored::SetCaptions(Integer Column, const String& Value) {
  FDataHelper->SetCaption(Column, Value);
  Invalidate(false);
}
Integer TEmberItemStored::GetImageIndexes(Integer Column) const { return FDataHelper->GetImageIndex(Column); }
void TEmberItemStored::SetImageIndexes(Integer Column, Integer Value) {
  FDataHelper->SetImageIndex(Column, Value);
  Invalidate(false);
}
Integer TEmberItemStored::GetImageOverlayIndexes(Integer Column) const { return FDataHelper->GetOverlayIndex(Column); }
void TEmberItemStored::SetImageOverlayIndexes(Integer Column, Integer Value) {
  FDataHelper->SetOverlayIndex(Column, Value);
  Invalidate(false);
}
Integer TEmberItemStored::GetStateImageIndexes(Integer Column) const { return FDataHelper->GetStateImage(Column); }
void TEmberItemStored::SetStateImageIndexes(Integer Column, Integer Value) {
  FDataHelper->SetStateImage(Column, Value);
  Invalidate(false);
}
TCustomImageList* TEmberItemStored::GetImageLists(Integer, TEmberImageSize ImageSize) {
  return GetDefaultImageList(ImageSize);
}
TCustomImageList* TEmberItemStored::GetStateImageList(Integer) {
  return GetOwnerListview() ? GetOwnerListview()->GetImagesState() : nullptr;
}
Integer TEmberItemStored::GetDetailCount() const {
  return GetOwnerListview() ? GetOwnerListview()->GetPaintInfoItem()->GetTileDetailCount() : 0;
}
void TEmberItemStored::SetDetailCount(Integer Value) {
  if (GetOwnerListview()) GetOwnerListview()->GetPaintInfoItem()->SetTileDetailCount(Value);
}
Integer TEmberItemStored::GetDetail(Integer Line) const { return FDataHelper->GetDetail(Line); }
void TEmberItemStored::SetDetail(Integer Line, Integer Value) {
  FDataHelper->SetDetail(Line, Value);
  Invalidate(false);
}
Cardinal TEmberItemStored::GetGroupKey(Integer FocusedColumn) const { return FDataHelper->GetGroupKey(FocusedColumn); }
void TEmberItemStored::SetGroupKey(Integer FocusedColumn, Cardinal Value) { FDataHelper->SetGroupKey(FocusedColumn, Value); }
void TEmberItemStored::ImageDraw(TEmberColumn* Column, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                                 TEmberAlphaBlender* AlphaBlender) {
  if (auto* lv = GetOwnerListview()) lv->DoItemImageDraw(this, Column, ACanvas, RectArray, AlphaBlender);
}
void TEmberItemStored::ImageDrawGetSize(TEmberColumn* Column, Integer& W, Integer& H) {
  if (auto* lv = GetOwnerListview()) lv->DoItemImageGetSize(this, Column, W, H);
}
void TEmberItemStored::ImageDrawIsCustom(TEmberColumn* Column, bool& IsCustom) {
  IsCustom = false;
  if (auto* lv = GetOwnerListview()) lv->DoItemImageDrawIsCustom(this, Column, IsCustom);
}
void TEmberItemStored::ThumbnailDraw(TCanvas* ACanvas, const TRect& ARect, TEmberAlphaBlender* AlphaBlender,
                                     bool& DoDefault) {
  if (auto* lv = GetOwnerListview()) lv->DoItemThumbnailDraw(this, ACanvas, ARect, AlphaBlender, DoDefault);
}
void TEmberItemStored::SaveToStream(TStream& S, Integer StreamVersion) {
  TEmberItem::SaveToStream(S, StreamVersion);
  FDataHelper->SaveToStream(S, StreamVersion);
}
void TEmberItemStored::LoadFromStream(TStream& S, Integer& StreamVersion) {
  TEmberItem::LoadFromStream(S, StreamVersion);
  FDataHelper->LoadFromStream(S, StreamVersion);
}

// ---- TEmberItemVirtual ----
String TEmberItemVirtual::GetCaptions(Integer Column) const {
  WideString c;
  if (auto* lv = GetOwnerListview()) lv->DoItemGetCaption(const_cast<TEmberItemVirtual*>(this), Column, c);
  return c;
}
void TEmberItemVirtual::SetCaptions(Integer Column, const String& Value) {
  if (auto* lv = GetOwnerListview()) lv->DoItemSetCaption(this, Column, Value);
  Invalidate(false);
}
Integer TEmberItemVirtual::AskImage(Integer Column, TEmberImageKind Kind) const {
  Integer i = -1;
  if (auto* lv = GetOwnerListview()) lv->DoItemGetImageIndex(const_cast<TEmberItemVirtual*>(this), Column, Kind, i);
  return i;
}
Integer TEmberItemVirtual::GetImageIndexes(Integer Column) const { return AskImage(Column, TEmberImageKind::eikNormal); }
Integer TEmberItemVirtual::GetImageOverlayIndexes(Integer Column) const { return AskImage(Column, TEmberImageKind::eikOverlay); }
Integer TEmberItemVirtual::GetStateImageIndexes(Integer Column) const { return AskImage(Column, TEmberImageKind::eikState); }
void TEmberItemVirtual::SetImageIndexes(Integer Column, Integer Value) {
  if (auto* lv = GetOwnerListview()) lv->DoItemSetImageIndex(this, Column, TEmberImageKind::eikNormal, Value);
  Invalidate(false);
}
void TEmberItemVirtual::SetImageOverlayIndexes(Integer Column, Integer Value) {
  if (auto* lv = GetOwnerListview()) lv->DoItemSetImageIndex(this, Column, TEmberImageKind::eikOverlay, Value);
  Invalidate(false);
}
void TEmberItemVirtual::SetStateImageIndexes(Integer Column, Integer Value) {
  if (auto* lv = GetOwnerListview()) lv->DoItemSetImageIndex(this, Column, TEmberImageKind::eikState, Value);
  Invalidate(false);
}
TCustomImageList* TEmberItemVirtual::GetImageLists(Integer Column, TEmberImageSize ImageSize) {
  TCustomImageList* l = nullptr;
  if (auto* lv = GetOwnerListview()) lv->DoItemGetImageList(this, Column, l);
  return l ? l : GetDefaultImageList(ImageSize);
}
TCustomImageList* TEmberItemVirtual::GetStateImageList(Integer Column) {
  TCustomImageList* l = nullptr;
  auto* lv = GetOwnerListview();
  if (lv) lv->DoItemGetStateImageList(this, Column, l);
  return l ? l : (lv ? lv->GetImagesState() : nullptr);
}
Integer TEmberItemVirtual::GetDetailCount() const {
  Integer n = 0;
  if (auto* lv = GetOwnerListview()) lv->DoItemGetTileDetailCount(const_cast<TEmberItemVirtual*>(this), n);
  return n;
}
void TEmberItemVirtual::SetDetailCount(Integer) { Invalidate(false); }
Integer TEmberItemVirtual::GetDetail(Integer Line) const {
  Integer d = 0;
  if (auto* lv = GetOwnerListview()) lv->DoItemGetTileDetail(const_cast<TEmberItemVirtual*>(this), Line, d);
  return d;
}
void TEmberItemVirtual::SetDetail(Integer Line, Integer Value) {
  if (auto* lv = GetOwnerListview()) lv->DoItemSetTileDetail(this, Line, Value);
  Invalidate(false);
}
Cardinal TEmberItemVirtual::GetGroupKey(Integer FocusedColumn) const {
  Cardinal k = 0;
  if (auto* lv = GetOwnerListview()) lv->DoItemGetGroupKey(const_cast<TEmberItemVirtual*>(this), FocusedColumn, k);
  return k;
}
void TEmberItemVirtual::SetGroupKey(Integer FocusedColumn, Cardinal Value) {
  if (auto* lv = GetOwnerListview()) lv->DoItemSetGroupKey(this, FocusedColumn, Value);
}
void TEmberItemVirtual::ImageDraw(TEmberColumn* Column, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                                  TEmberAlphaBlender* AlphaBlender) {
  if (auto* lv = GetOwnerListview()) lv->DoItemImageDraw(this, Column, ACanvas, RectArray, AlphaBlender);
}
void TEmberItemVirtual::ImageDrawGetSize(TEmberColumn* Column, Integer& W, Integer& H) {
  if (auto* lv = GetOwnerListview()) lv->DoItemImageGetSize(this, Column, W, H);
}
void TEmberItemVirtual::ImageDrawIsCustom(TEmberColumn* Column, bool& IsCustom) {
  IsCustom = false;
  if (auto* lv = GetOwnerListview()) lv->DoItemImageDrawIsCustom(this, Column, IsCustom);
}
void TEmberItemVirtual::ThumbnailDraw(TCanvas* ACanvas, const TRect& ARect, TEmberAlphaBlender* AlphaBlender,
                                      bool& DoDefault) {
  if (auto* lv = GetOwnerListview()) lv->DoItemThumbnailDraw(this, ACanvas, ARect, AlphaBlender, DoDefault);
}

// ---- TEmberItemInterfaced ----
String TEmberItemInterfaced::GetCaptions(Integer Column) const {
  auto q = QueryData<IEmberCaptionQuery>(GetDataInf());
  return q ? q->Caption(Column).ToString() : String();
}
void TEmberItemInterfaced::SetCaptions(Integer Column, const String& Value) {
  if (auto u = QueryData<IEmberCaptionUpdate>(GetDataInf())) {
    u->SetCaption(Column, Variant(Value));
    Invalidate(false);
  }
}
Integer TEmberItemInterfaced::GetImageIndexes(Integer Column) const {
  auto q = QueryData<IEmberImageQuery>(GetDataInf());
  return q ? q->ImageIndex(Column, TEmberImageKind::eikNormal) : -1;
}
Integer TEmberItemInterfaced::GetImageOverlayIndexes(Integer Column) const {
  auto q = QueryData<IEmberImageQuery>(GetDataInf());
  return q ? q->ImageIndex(Column, TEmberImageKind::eikOverlay) : -1;
}
Integer TEmberItemInterfaced::GetStateImageIndexes(Integer Column) const {
  auto q = QueryData<IEmberImageQuery>(GetDataInf());
  return q ? q->ImageIndex(Column, TEmberImageKind::eikState) : -1;
}
void TEmberItemInterfaced::SetImageIndexes(Integer Column, Integer Value) {
  if (auto u = QueryData<IEmberImageUpdate>(GetDataInf())) u->SetImageIndex(Column, TEmberImageKind::eikNormal, Value);
}
void TEmberItemInterfaced::SetImageOverlayIndexes(Integer Column, Integer Value) {
  if (auto u = QueryData<IEmberImageUpdate>(GetDataInf())) u->SetImageIndex(Column, TEmberImageKind::eikOverlay, Value);
}
void TEmberItemInterfaced::SetStateImageIndexes(Integer Column, Integer Value) {
  if (auto u = QueryData<IEmberImageUpdate>(GetDataInf())) u->SetImageIndex(Column, TEmberImageKind::eikState, Value);
}
TCustomImageList* TEmberItemInterfaced::GetImageLists(Integer Column, TEmberImageSize ImageSize) {
  TCustomImageList* l = nullptr;
  if (auto q = QueryData<IEmberImageListQuery>(GetDataInf())) l = q->ImageList(Column, ImageSize);
  return l ? l : GetDefaultImageList(ImageSize);
}
TCustomImageList* TEmberItemInterfaced::GetStateImageList(Integer Column) {
  TCustomImageList* l = nullptr;
  if (auto q = QueryData<IEmberStateImageListQuery>(GetDataInf())) l = q->StateImageList(Column);
  return l ? l : (GetOwnerListview() ? GetOwnerListview()->GetImagesState() : nullptr);
}
Integer TEmberItemInterfaced::GetDetailCount() const {
  auto q = QueryData<IEmberDetailQuery>(GetDataInf());
  return q ? q->DetailCount() : 1;
}
void TEmberItemInterfaced::SetDetailCount(Integer Value) {
  if (auto u = QueryData<IEmberDetailUpdate>(GetDataInf())) {
    u->SetDetailCount(Value);
    Invalidate(false);
  }
}
Integer TEmberItemInterfaced::GetDetail(Integer Line) const {
  auto q = QueryData<IEmberDetailQuery>(GetDataInf());
  return q ? q->Detail(Line) : 0;
}
void TEmberItemInterfaced::SetDetail(Integer Line, Integer Value) {
  if (auto u = QueryData<IEmberDetailUpdate>(GetDataInf())) {
    u->SetDetail(Line, Value);
    Invalidate(false);
  }
}
Cardinal TEmberItemInterfaced::GetGroupKey(Integer FocusedColumn) const {
  auto q = QueryData<IEmberGroupKeyQuery>(GetDataInf());
  return q ? q->GroupKey(FocusedColumn) : 0;
}
void TEmberItemInterfaced::SetGroupKey(Integer FocusedColumn, Cardinal Value) {
  if (auto u = QueryData<IEmberGroupKeyUpdate>(GetDataInf())) u->SetGroupKey(FocusedColumn, Value);
}
void TEmberItemInterfaced::ImageDraw(TEmberColumn* Column, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                                     TEmberAlphaBlender* AlphaBlender) {
  if (auto d = QueryData<IEmberCustomImageDraw>(GetDataInf())) d->Draw(Column, ACanvas, RectArray, AlphaBlender);
}
void TEmberItemInterfaced::ImageDrawGetSize(TEmberColumn* Column, Integer& W, Integer& H) {
  if (auto d = QueryData<IEmberCustomImageDraw>(GetDataInf())) d->GetSize(Column, W, H);
}
void TEmberItemInterfaced::ImageDrawIsCustom(TEmberColumn* Column, bool& IsCustom) {
  IsCustom = false;
  if (auto d = QueryData<IEmberCustomImageDraw>(GetDataInf())) d->IsCustom(Column, IsCustom);
}
void TEmberItemInterfaced::ThumbnailDraw(TCanvas* ACanvas, const TRect& ARect, TEmberAlphaBlender* AlphaBlender,
                                         bool& DoDefault) {
  if (auto d = QueryData<IEmberThumbnailDraw>(GetDataInf())) d->Draw(ACanvas, ARect, AlphaBlender, DoDefault);
}
bool TEmberItemInterfaced::GetChecked() const {
  auto q = QueryData<IEmberCheckQuery>(GetDataInf());
  return q ? q->Checked(0) : false;
}
void TEmberItemInterfaced::SetChecked(bool Value) {
  if (auto q = QueryData<IEmberCheckQuery>(GetDataInf())) {
    q->SetChecked(0, Value);
    Invalidate(false);
  }
}

// ---- Groups and columns: stored ----
#define EMBER_STORED_DATA(T, DetailCountInfo)                                                                     \
  String T::GetCaptions(Integer Column) const { return FDataHelper->GetCaption(Column); }                         \
  void T::SetCaptions(Integer Column, const String& Value) {                                                      \
    FDataHelper->SetCaption(Column, Value);                                                                       \
    Invalidate(false);                                                                                            \
  }                                                                                                               \
  Integer T::GetImageIndexes(Integer Column) const { return FDataHelper->GetImageIndex(Column); }                 \
  void T::SetImageIndexes(Integer Column, Integer Value) {                                                        \
    FDataHelper->SetImageIndex(Column, Value);                                                                    \
    Invalidate(false);                                                                                            \
  }                                                                                                               \
  Integer T::GetImageOverlayIndexes(Integer Column) const { return FDataHelper->GetOverlayIndex(Column); }         \
  void T::SetImageOverlayIndexes(Integer Column, Integer Value) {                                                 \
    FDataHelper->SetOverlayIndex(Column, Value);                                                                  \
    Invalidate(false);                                                                                            \
  }                                                                                                               \
  TCustomImageList* T::GetImageLists(Integer, TEmberImageSize ImageSize) { return GetDefaultImageList(ImageSize); } \
  Integer T::GetDetailCount() const {                                                                             \
    return GetOwnerListview() ? GetOwnerListview()->DetailCountInfo()->GetCaptionLines() : 0;                     \
  }                                                                                                               \
  void T::SetDetailCount(Integer Value) {                                                                         \
    if (GetOwnerListview()) GetOwnerListview()->DetailCountInfo()->SetCaptionLines(Value);                        \
  }                                                                                                               \
  Integer T::GetDetail(Integer Line) const { return FDataHelper->GetDetail(Line); }                               \
  void T::SetDetail(Integer Line, Integer Value) {                                                                \
    FDataHelper->SetDetail(Line, Value);                                                                          \
    Invalidate(false);                                                                                            \
  }

EMBER_STORED_DATA(TEmberBaseGroupStored, GetPaintInfoGroup)
EMBER_STORED_DATA(TEmberColumnStored, GetPaintInfoColumn)
#undef EMBER_STORED_DATA

void TEmberBaseGroupStored::Create(TEmberCollection* ACollection) {
  TEmberGroup::Create(ACollection);
  FDataHelper = TEmberDynamicDataHelper::New();
}
void TEmberBaseGroupStored::Destroy() {
  Include(TEmberStorageObjectState::esosDestroying);
  TEmberGroup::Destroy();
  FreeAndNil(FDataHelper);
}
void TEmberBaseGroupStored::ImageDraw(TEmberColumn*, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                                      TEmberAlphaBlender* AlphaBlender) {
  if (auto* lv = GetOwnerListview()) lv->DoGroupImageDraw(this, ACanvas, RectArray, AlphaBlender);
}
void TEmberBaseGroupStored::ImageDrawGetSize(TEmberColumn*, Integer& W, Integer& H) {
  if (auto* lv = GetOwnerListview()) lv->DoGroupImageGetSize(this, W, H);
}
void TEmberBaseGroupStored::ImageDrawIsCustom(TEmberColumn*, bool& IsCustom) {
  IsCustom = false;
  if (auto* lv = GetOwnerListview()) lv->DoGroupImageDrawIsCustom(this, IsCustom);
}
void TEmberBaseGroupStored::SaveToStream(TStream& S, Integer StreamVersion) {
  TEmberGroup::SaveToStream(S, StreamVersion);
  FDataHelper->SaveToStream(S, StreamVersion);
}
void TEmberBaseGroupStored::LoadFromStream(TStream& S, Integer& StreamVersion) {
  TEmberGroup::LoadFromStream(S, StreamVersion);
  FDataHelper->LoadFromStream(S, StreamVersion);
}

void TEmberColumnStored::Create(TEmberCollection* ACollection) {
  TEmberColumn::Create(ACollection);
  FDataHelper = TEmberDynamicDataHelper::New();
}
void TEmberColumnStored::Destroy() {
  Include(TEmberStorageObjectState::esosDestroying);
  TEmberColumn::Destroy();
  FreeAndNil(FDataHelper);
}
void TEmberColumnStored::ImageDraw(TEmberColumn*, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                                   TEmberAlphaBlender* AlphaBlender) {
  if (auto* lv = GetOwnerListview()) lv->DoColumnImageDraw(this, ACanvas, RectArray, AlphaBlender);
}
void TEmberColumnStored::ImageDrawGetSize(TEmberColumn*, Integer& W, Integer& H) {
  if (auto* lv = GetOwnerListview()) lv->DoColumnImageGetSize(this, W, H);
}
void TEmberColumnStored::ImageDrawIsCustom(TEmberColumn*, bool& IsCustom) {
  IsCustom = false;
  if (auto* lv = GetOwnerListview()) lv->DoColumnImageDrawIsCustom(this, IsCustom);
}
void TEmberColumnStored::SaveToStream(TStream& S, Integer StreamVersion) {
  TEmberColumn::SaveToStream(S, StreamVersion);
  FDataHelper->SaveToStream(S, StreamVersion);
}
void TEmberColumnStored::LoadFromStream(TStream& S, Integer& StreamVersion) {
  TEmberColumn::LoadFromStream(S, StreamVersion);
  FDataHelper->LoadFromStream(S, StreamVersion);
}

// ---- The task panel group ----
void TEmberGroupTaskPanel::Create(TEmberCollection* ACollection) {
  TEmberBaseGroupStored::Create(ACollection);
  FHeight = DefaultHeight;
  FPanelHeight = DefaultHeight;
}
void TEmberGroupTaskPanel::SetHeight(Integer Value) {
  if (Value == FHeight) return;
  FHeight = Value;
  if (GetExpanded()) FPanelHeight = Value;
  if (auto* lv = GetOwnerListview()) lv->GetGroups()->Rebuild(true);
}
void TEmberGroupTaskPanel::SetExpanded(bool Value) {
  TEmberBaseGroupStored::SetExpanded(Value);
  FPanelHeight = GetExpanded() ? FHeight : 0;
}
void TEmberGroupTaskPanel::SaveToStream(TStream& S, Integer StreamVersion) {
  TEmberBaseGroupStored::SaveToStream(S, StreamVersion);
  WriteInt32(S, FHeight);
}
void TEmberGroupTaskPanel::LoadFromStream(TStream& S, Integer& StreamVersion) {
  TEmberBaseGroupStored::LoadFromStream(S, StreamVersion);
  FHeight = ReadInt32(S);
}

// ---- Groups and columns: virtual ----
#define EMBER_VIRTUAL_DATA(T, Ev, ListDefault)                                                                    \
  String T::GetCaptions(Integer Column) const {                                                                   \
    WideString c;                                                                                                 \
    if (auto* lv = GetOwnerListview()) EMBER_VIRTUAL_CAPTION(Ev);                                                 \
    (void)Column;                                                                                                 \
    return c;                                                                                                     \
  }                                                                                                               \
  void T::SetCaptions(Integer, const String& Value) {                                                             \
    if (auto* lv = GetOwnerListview()) lv->Do##Ev##SetCaption(this, Value);                                       \
    Invalidate(false);                                                                                            \
  }                                                                                                               \
  Integer T::GetImageIndexes(Integer) const {                                                                     \
    Integer i = -1;                                                                                               \
    if (auto* lv = GetOwnerListview()) lv->Do##Ev##GetImageIndex(const_cast<T*>(this), TEmberImageKind::eikNormal, i); \
    return i;                                                                                                     \
  }                                                                                                               \
  Integer T::GetImageOverlayIndexes(Integer) const {                                                              \
    Integer i = -1;                                                                                               \
    if (auto* lv = GetOwnerListview()) lv->Do##Ev##GetImageIndex(const_cast<T*>(this), TEmberImageKind::eikOverlay, i); \
    return i;                                                                                                     \
  }                                                                                                               \
  void T::SetImageIndexes(Integer, Integer Value) {                                                               \
    if (auto* lv = GetOwnerListview()) lv->Do##Ev##SetImageIndex(this, TEmberImageKind::eikNormal, Value);       \
    Invalidate(false);                                                                                            \
  }                                                                                                               \
  void T::SetImageOverlayIndexes(Integer, Integer Value) {                                                        \
    if (auto* lv = GetOwnerListview()) lv->Do##Ev##SetImageIndex(this, TEmberImageKind::eikOverlay, Value);      \
    Invalidate(false);                                                                                            \
  }                                                                                                               \
  TCustomImageList* T::GetImageLists(Integer, TEmberImageSize ImageSize) {                                        \
    TCustomImageList* l = nullptr;                                                                                \
    if (auto* lv = GetOwnerListview()) lv->Do##Ev##GetImageList(this, l);                                         \
    return l ? l : GetDefaultImageList(ImageSize);                                                                \
  }                                                                                                               \
  Integer T::GetDetailCount() const {                                                                             \
    Integer n = 0;                                                                                                \
    if (auto* lv = GetOwnerListview()) lv->Do##Ev##GetDetailCount(const_cast<T*>(this), n);                       \
    return n;                                                                                                     \
  }                                                                                                               \
  void T::SetDetailCount(Integer) { Invalidate(false); }                                                          \
  Integer T::GetDetail(Integer Line) const {                                                                      \
    Integer d = 0;                                                                                                \
    if (auto* lv = GetOwnerListview()) lv->Do##Ev##GetDetail(const_cast<T*>(this), Line, d);                     \
    return d;                                                                                                     \
  }                                                                                                               \
  void T::SetDetail(Integer Line, Integer Value) {                                                                \
    if (auto* lv = GetOwnerListview()) lv->Do##Ev##SetDetail(this, Line, Value);                                  \
    Invalidate(false);                                                                                            \
  }                                                                                                               \
  void T::ImageDraw(TEmberColumn*, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,                      \
                    TEmberAlphaBlender* AlphaBlender) {                                                           \
    if (auto* lv = GetOwnerListview()) lv->Do##Ev##ImageDraw(this, ACanvas, RectArray, AlphaBlender);             \
  }                                                                                                               \
  void T::ImageDrawGetSize(TEmberColumn*, Integer& W, Integer& H) {                                               \
    if (auto* lv = GetOwnerListview()) lv->Do##Ev##ImageGetSize(this, W, H);                                      \
  }                                                                                                               \
  void T::ImageDrawIsCustom(TEmberColumn*, bool& IsCustom) {                                                      \
    IsCustom = false;                                                                                             \
    if (auto* lv = GetOwnerListview()) lv->Do##Ev##ImageDrawIsCustom(this, IsCustom);                             \
  }

#define EMBER_VIRTUAL_CAPTION(Ev) lv->DoGroupGetCaption(const_cast<TEmberGroupVirtual*>(this), c)
EMBER_VIRTUAL_DATA(TEmberGroupVirtual, Group, 0)
#undef EMBER_VIRTUAL_CAPTION
// The column's caption event names the column's index as its line.
#define EMBER_VIRTUAL_CAPTION(Ev) lv->DoColumnGetCaption(const_cast<TEmberColumnVirtual*>(this), Column, c)
EMBER_VIRTUAL_DATA(TEmberColumnVirtual, Column, 0)
#undef EMBER_VIRTUAL_CAPTION
#undef EMBER_VIRTUAL_DATA

// ---- Groups and columns: interfaced ----
#define EMBER_INTERFACED_DATA(T)                                                                                  \
  String T::GetCaptions(Integer Column) const {                                                                   \
    auto q = QueryData<IEmberCaptionQuery>(GetDataInf());                                                         \
    return q ? q->Caption(Column).ToString() : String();                                                          \
  }                                                                                                               \
  void T::SetCaptions(Integer Column, const String& Value) {                                                      \
    if (auto u = QueryData<IEmberCaptionUpdate>(GetDataInf())) {                                                  \
      u->SetCaption(Column, Variant(Value));                                                                      \
      Invalidate(false);                                                                                          \
    }                                                                                                             \
  }                                                                                                               \
  Integer T::GetImageIndexes(Integer Column) const {                                                              \
    auto q = QueryData<IEmberImageQuery>(GetDataInf());                                                           \
    return q ? q->ImageIndex(Column, TEmberImageKind::eikNormal) : -1;                                            \
  }                                                                                                               \
  Integer T::GetImageOverlayIndexes(Integer Column) const {                                                       \
    auto q = QueryData<IEmberImageQuery>(GetDataInf());                                                           \
    return q ? q->ImageIndex(Column, TEmberImageKind::eikOverlay) : -1;                                           \
  }                                                                                                               \
  void T::SetImageIndexes(Integer Column, Integer Value) {                                                        \
    if (auto u = QueryData<IEmberImageUpdate>(GetDataInf())) {                                                    \
      u->SetImageIndex(Column, TEmberImageKind::eikNormal, Value);                                                \
      Invalidate(false);                                                                                          \
    }                                                                                                             \
  }                                                                                                               \
  void T::SetImageOverlayIndexes(Integer Column, Integer Value) {                                                 \
    if (auto u = QueryData<IEmberImageUpdate>(GetDataInf())) {                                                    \
      u->SetImageIndex(Column, TEmberImageKind::eikOverlay, Value);                                               \
      Invalidate(false);                                                                                          \
    }                                                                                                             \
  }                                                                                                               \
  TCustomImageList* T::GetImageLists(Integer Column, TEmberImageSize ImageSize) {                                 \
    TCustomImageList* l = nullptr;                                                                                \
    if (auto q = QueryData<IEmberImageListQuery>(GetDataInf())) l = q->ImageList(Column, ImageSize);              \
    return l ? l : GetDefaultImageList(ImageSize);                                                                \
  }                                                                                                               \
  Integer T::GetDetailCount() const {                                                                             \
    auto q = QueryData<IEmberDetailQuery>(GetDataInf());                                                          \
    return q ? q->DetailCount() : 0;                                                                              \
  }                                                                                                               \
  void T::SetDetailCount(Integer Value) {                                                                         \
    if (auto u = QueryData<IEmberDetailUpdate>(GetDataInf())) {                                                   \
      u->SetDetailCount(Value);                                                                                   \
      Invalidate(false);                                                                                          \
    }                                                                                                             \
  }                                                                                                               \
  Integer T::GetDetail(Integer Line) const {                                                                      \
    auto q = QueryData<IEmberDetailQuery>(GetDataInf());                                                          \
    return q ? q->Detail(Line) : 0;                                                                               \
  }                                                                                                               \
  void T::SetDetail(Integer Line, Integer Value) {                                                                \
    if (auto u = QueryData<IEmberDetailUpdate>(GetDataInf())) {                                                   \
      u->SetDetail(Line, Value);                                                                                  \
      Invalidate(false);                                                                                          \
    }                                                                                                             \
  }                                                                                                               \
  void T::ImageDraw(TEmberColumn* Column, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,               \
                    TEmberAlphaBlender* AlphaBlender) {                                                           \
    if (auto d = QueryData<IEmberCustomImageDraw>(GetDataInf())) d->Draw(Column, ACanvas, RectArray, AlphaBlender); \
  }                                                                                                               \
  void T::ImageDrawGetSize(TEmberColumn* Column, Integer& W, Integer& H) {                                        \
    if (auto d = QueryData<IEmberCustomImageDraw>(GetDataInf())) d->GetSize(Column, W, H);                        \
  }                                                                                                               \
  void T::ImageDrawIsCustom(TEmberColumn* Column, bool& IsCustom) {                                               \
    IsCustom = false;                                                                                             \
    if (auto d = QueryData<IEmberCustomImageDraw>(GetDataInf())) d->IsCustom(Column, IsCustom);                   \
  }
EMBER_INTERFACED_DATA(TEmberGroupInterfaced)
EMBER_INTERFACED_DATA(TEmberColumnInterfaced)
#undef EMBER_INTERFACED_DATA

}  // namespace ember
