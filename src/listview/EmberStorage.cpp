#include "listview/EmberStorage.h"

#include <type_traits>

#include "listview/EmberControl.h"
#include "listview/EmberStreamIO.h"
#include "listview/EmberTaskPanelForm.h"

namespace ember {

using namespace streamio;

// ---- The dynamic-data helpers ----
namespace {
template <class TArray, class T>
T At(const TArray& a, Integer i, T def) {
  return i >= 0 && static_cast<size_t>(i) < a.size() ? a[static_cast<size_t>(i)] : def;
}
template <class TArray, class T>
void Put(TArray& a, Integer i, T v, T def) {
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
  std::vector<String> captions = ReadWideStringArray(S);
  FCaptionArray.assign(std::make_move_iterator(captions.begin()), std::make_move_iterator(captions.end()));
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
  const std::vector<Cardinal> keys = ReadCardinalArray(S);
  FGroupKeyArray.assign(keys.begin(), keys.end());
  // A record of version 2 carries no state images: the item keeps its own.
  if (Version > 2) FStateImageArray = ReadIntArray(S);
}

// ---- The stored variants ----
namespace {
template <class TBase>
constexpr bool kIsItem = std::is_same_v<TBase, TEmberItem>;
template <class TBase>
constexpr bool kIsGroup = std::is_same_v<TBase, TEmberGroup>;
}  // namespace

template <class TBase, class THelper>
void TEmberStoredData<TBase, THelper>::Create(TEmberCollection* ACollection) {
  TBase::Create(ACollection);
  FDataHelper = THelper::New();
}
template <class TBase, class THelper>
void TEmberStoredData<TBase, THelper>::Destroy() {
  this->Include(TEmberStorageObjectState::esosDestroying);
  TBase::Destroy();
  FreeAndNil(FDataHelper);
}
template <class TBase, class THelper>
void TEmberStoredData<TBase, THelper>::SaveToStream(TStream& S, Integer StreamVersion) {
  TBase::SaveToStream(S, StreamVersion);
  FDataHelper->SaveToStream(S, StreamVersion);
}
template <class TBase, class THelper>
void TEmberStoredData<TBase, THelper>::LoadFromStream(TStream& S, Integer& StreamVersion) {
  TBase::LoadFromStream(S, StreamVersion);
  FDataHelper->LoadFromStream(S, StreamVersion);
}
template <class TBase, class THelper>
String TEmberStoredData<TBase, THelper>::GetCaptions(Integer Column) const {
  return FDataHelper->GetCaption(Column);
}
template <class TBase, class THelper>
void TEmberStoredData<TBase, THelper>::SetCaptions(Integer Column, const String& Value) {
  FDataHelper->SetCaption(Column, Value);
  this->Invalidate(false);
}
template <class TBase, class THelper>
Integer TEmberStoredData<TBase, THelper>::GetImageIndexes(Integer Column) const {
  return FDataHelper->GetImageIndex(Column);
}
template <class TBase, class THelper>
void TEmberStoredData<TBase, THelper>::SetImageIndexes(Integer Column, Integer Value) {
  FDataHelper->SetImageIndex(Column, Value);
  this->Invalidate(false);
}
template <class TBase, class THelper>
Integer TEmberStoredData<TBase, THelper>::GetImageOverlayIndexes(Integer Column) const {
  return FDataHelper->GetOverlayIndex(Column);
}
template <class TBase, class THelper>
void TEmberStoredData<TBase, THelper>::SetImageOverlayIndexes(Integer Column, Integer Value) {
  FDataHelper->SetOverlayIndex(Column, Value);
  this->Invalidate(false);
}
template <class TBase, class THelper>
TCustomImageList* TEmberStoredData<TBase, THelper>::GetImageLists(Integer, TEmberImageSize ImageSize) {
  return this->GetDefaultImageList(ImageSize);
}
// The detail count is the control's, shared by every object of a kind: the tile details of items,
// the caption lines of groups and of columns.
template <class TBase, class THelper>
Integer TEmberStoredData<TBase, THelper>::GetDetailCount() const {
  TCustomEmberListview* lv = this->GetOwnerListview();
  if (!lv) return 0;
  if constexpr (kIsItem<TBase>) return lv->GetPaintInfoItem()->GetTileDetailCount();
  else if constexpr (kIsGroup<TBase>) return lv->GetPaintInfoGroup()->GetCaptionLines();
  else return lv->GetPaintInfoColumn()->GetCaptionLines();
}
template <class TBase, class THelper>
void TEmberStoredData<TBase, THelper>::SetDetailCount(Integer Value) {
  TCustomEmberListview* lv = this->GetOwnerListview();
  if (!lv) return;
  if constexpr (kIsItem<TBase>) lv->GetPaintInfoItem()->SetTileDetailCount(Value);
  else if constexpr (kIsGroup<TBase>) lv->GetPaintInfoGroup()->SetCaptionLines(Value);
  else lv->GetPaintInfoColumn()->SetCaptionLines(Value);
}
template <class TBase, class THelper>
Integer TEmberStoredData<TBase, THelper>::GetDetail(Integer Line) const {
  return FDataHelper->GetDetail(Line);
}
template <class TBase, class THelper>
void TEmberStoredData<TBase, THelper>::SetDetail(Integer Line, Integer Value) {
  FDataHelper->SetDetail(Line, Value);
  this->Invalidate(false);
}

// Custom images are the control's events; those of groups and columns name no column.
template <class TBase, class THelper>
void TEmberStoredData<TBase, THelper>::ImageDraw(TEmberColumn* Column, TCanvas* ACanvas,
                                                 const TEmberRectArrayObject& RectArray, TEmberAlphaBlender* AlphaBlender) {
  TCustomEmberListview* lv = this->GetOwnerListview();
  if (!lv) return;
  if constexpr (kIsItem<TBase>) lv->DoItemImageDraw(this, Column, ACanvas, RectArray, AlphaBlender);
  else if constexpr (kIsGroup<TBase>) lv->DoGroupImageDraw(this, ACanvas, RectArray, AlphaBlender);
  else lv->DoColumnImageDraw(this, ACanvas, RectArray, AlphaBlender);
}
template <class TBase, class THelper>
void TEmberStoredData<TBase, THelper>::ImageDrawGetSize(TEmberColumn* Column, Integer& W, Integer& H) {
  TCustomEmberListview* lv = this->GetOwnerListview();
  if (!lv) return;
  if constexpr (kIsItem<TBase>) lv->DoItemImageGetSize(this, Column, W, H);
  else if constexpr (kIsGroup<TBase>) lv->DoGroupImageGetSize(this, W, H);
  else lv->DoColumnImageGetSize(this, W, H);
}
template <class TBase, class THelper>
void TEmberStoredData<TBase, THelper>::ImageDrawIsCustom(TEmberColumn* Column, bool& IsCustom) {
  IsCustom = false;
  TCustomEmberListview* lv = this->GetOwnerListview();
  if (!lv) return;
  if constexpr (kIsItem<TBase>) lv->DoItemImageDrawIsCustom(this, Column, IsCustom);
  else if constexpr (kIsGroup<TBase>) lv->DoGroupImageDrawIsCustom(this, IsCustom);
  else lv->DoColumnImageDrawIsCustom(this, IsCustom);
}

template class TEmberStoredData<TEmberItem, TEmberItemDynamicDataHelper>;
template class TEmberStoredData<TEmberGroup>;
template class TEmberStoredData<TEmberColumn>;

// ---- TEmberItemStored ----
Integer TEmberItemStored::GetStateImageIndexes(Integer Column) const { return FDataHelper->GetStateImage(Column); }
void TEmberItemStored::SetStateImageIndexes(Integer Column, Integer Value) {
  FDataHelper->SetStateImage(Column, Value);
  Invalidate(false);
}
TCustomImageList* TEmberItemStored::GetStateImageList(Integer) {
  return GetOwnerListview() ? GetOwnerListview()->GetImagesState() : nullptr;
}
Cardinal TEmberItemStored::GetGroupKey(Integer FocusedColumn) const { return FDataHelper->GetGroupKey(FocusedColumn); }
void TEmberItemStored::SetGroupKey(Integer FocusedColumn, Cardinal Value) { FDataHelper->SetGroupKey(FocusedColumn, Value); }
void TEmberItemStored::ThumbnailDraw(TCanvas* ACanvas, const TRect& ARect, TEmberAlphaBlender* AlphaBlender,
                                     bool& DoDefault) {
  if (auto* lv = GetOwnerListview()) lv->DoItemThumbnailDraw(this, ACanvas, ARect, AlphaBlender, DoDefault);
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

// ---- The interfaced variants ----
template <class TBase>
String TEmberInterfacedData<TBase>::GetCaptions(Integer Column) const {
  auto q = QueryData<IEmberCaptionQuery>(this->GetDataInf());
  return q ? q->Caption(Column).ToString() : String();
}
template <class TBase>
void TEmberInterfacedData<TBase>::SetCaptions(Integer Column, const String& Value) {
  if (auto u = QueryData<IEmberCaptionUpdate>(this->GetDataInf())) {
    u->SetCaption(Column, Variant(Value));
    this->Invalidate(false);
  }
}
template <class TBase>
Integer TEmberInterfacedData<TBase>::GetImageIndexes(Integer Column) const {
  auto q = QueryData<IEmberImageQuery>(this->GetDataInf());
  return q ? q->ImageIndex(Column, TEmberImageKind::eikNormal) : -1;
}
template <class TBase>
Integer TEmberInterfacedData<TBase>::GetImageOverlayIndexes(Integer Column) const {
  auto q = QueryData<IEmberImageQuery>(this->GetDataInf());
  return q ? q->ImageIndex(Column, TEmberImageKind::eikOverlay) : -1;
}
namespace {
// Groups and columns repaint after an image index is written; an item leaves it to its data object,
// which repaints it through the notification sink.
template <class TBase>
void SetInterfacedImage(TBase* Object, Integer Column, TEmberImageKind Kind, Integer Value) {
  if (auto u = QueryData<IEmberImageUpdate>(Object->GetDataInf())) {
    u->SetImageIndex(Column, Kind, Value);
    if constexpr (!kIsItem<TBase>) Object->Invalidate(false);
  }
}
}  // namespace
template <class TBase>
void TEmberInterfacedData<TBase>::SetImageIndexes(Integer Column, Integer Value) {
  SetInterfacedImage<TBase>(this, Column, TEmberImageKind::eikNormal, Value);
}
template <class TBase>
void TEmberInterfacedData<TBase>::SetImageOverlayIndexes(Integer Column, Integer Value) {
  SetInterfacedImage<TBase>(this, Column, TEmberImageKind::eikOverlay, Value);
}
template <class TBase>
TCustomImageList* TEmberInterfacedData<TBase>::GetImageLists(Integer Column, TEmberImageSize ImageSize) {
  TCustomImageList* l = nullptr;
  if (auto q = QueryData<IEmberImageListQuery>(this->GetDataInf())) l = q->ImageList(Column, ImageSize);
  return l ? l : this->GetDefaultImageList(ImageSize);
}
template <class TBase>
Integer TEmberInterfacedData<TBase>::GetDetailCount() const {
  auto q = QueryData<IEmberDetailQuery>(this->GetDataInf());
  // An item without the interface still shows its caption line.
  return q ? q->DetailCount() : (kIsItem<TBase> ? 1 : 0);
}
template <class TBase>
void TEmberInterfacedData<TBase>::SetDetailCount(Integer Value) {
  if (auto u = QueryData<IEmberDetailUpdate>(this->GetDataInf())) {
    u->SetDetailCount(Value);
    this->Invalidate(false);
  }
}
template <class TBase>
Integer TEmberInterfacedData<TBase>::GetDetail(Integer Line) const {
  auto q = QueryData<IEmberDetailQuery>(this->GetDataInf());
  return q ? q->Detail(Line) : 0;
}
template <class TBase>
void TEmberInterfacedData<TBase>::SetDetail(Integer Line, Integer Value) {
  if (auto u = QueryData<IEmberDetailUpdate>(this->GetDataInf())) {
    u->SetDetail(Line, Value);
    this->Invalidate(false);
  }
}
template <class TBase>
void TEmberInterfacedData<TBase>::ImageDraw(TEmberColumn* Column, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                                            TEmberAlphaBlender* AlphaBlender) {
  if (auto d = QueryData<IEmberCustomImageDraw>(this->GetDataInf())) d->Draw(Column, ACanvas, RectArray, AlphaBlender);
}
template <class TBase>
void TEmberInterfacedData<TBase>::ImageDrawGetSize(TEmberColumn* Column, Integer& W, Integer& H) {
  if (auto d = QueryData<IEmberCustomImageDraw>(this->GetDataInf())) d->GetSize(Column, W, H);
}
template <class TBase>
void TEmberInterfacedData<TBase>::ImageDrawIsCustom(TEmberColumn* Column, bool& IsCustom) {
  IsCustom = false;
  if (auto d = QueryData<IEmberCustomImageDraw>(this->GetDataInf())) d->IsCustom(Column, IsCustom);
}

template class TEmberInterfacedData<TEmberItem>;
template class TEmberInterfacedData<TEmberGroup>;
template class TEmberInterfacedData<TEmberColumn>;

// ---- TEmberItemInterfaced ----
Integer TEmberItemInterfaced::GetStateImageIndexes(Integer Column) const {
  auto q = QueryData<IEmberImageQuery>(GetDataInf());
  return q ? q->ImageIndex(Column, TEmberImageKind::eikState) : -1;
}
void TEmberItemInterfaced::SetStateImageIndexes(Integer Column, Integer Value) {
  SetInterfacedImage<TEmberItem>(this, Column, TEmberImageKind::eikState, Value);
}
TCustomImageList* TEmberItemInterfaced::GetStateImageList(Integer Column) {
  TCustomImageList* l = nullptr;
  if (auto q = QueryData<IEmberStateImageListQuery>(GetDataInf())) l = q->StateImageList(Column);
  return l ? l : (GetOwnerListview() ? GetOwnerListview()->GetImagesState() : nullptr);
}
Cardinal TEmberItemInterfaced::GetGroupKey(Integer FocusedColumn) const {
  auto q = QueryData<IEmberGroupKeyQuery>(GetDataInf());
  return q ? q->GroupKey(FocusedColumn) : 0;
}
void TEmberItemInterfaced::SetGroupKey(Integer FocusedColumn, Cardinal Value) {
  if (auto u = QueryData<IEmberGroupKeyUpdate>(GetDataInf())) u->SetGroupKey(FocusedColumn, Value);
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

// ---- The task panel group ----
class TEmberTaskPanelWatch : public TComponent {
  PF_CLASS(TEmberTaskPanelWatch)
public:
  TEmberGroupTaskPanel* Group{nullptr};

protected:
  using TComponent::Create;
  void Notification(TComponent* C, TOperation Op) override {
    TComponent::Notification(C, Op);
    if (Op == TOperation::opRemove && Group && C == Group->FTaskPanel) Group->FTaskPanel = nullptr;
  }
};

void TEmberGroupTaskPanel::Create(TEmberCollection* ACollection) {
  TEmberBaseGroupStored::Create(ACollection);
  FHeight = DefaultHeight;
}
void TEmberGroupTaskPanel::Destroy() {
  SetTaskPanel(nullptr);
  FreeAndNil(FPanelWatch);
  TEmberBaseGroupStored::Destroy();
}
void TEmberGroupTaskPanel::SetTaskPanel(TEmberTaskPanelForm* Value) {
  if (Value == FTaskPanel) return;
  TEmberTaskPanelForm* old = FTaskPanel;
  if (old && FPanelWatch) FPanelWatch->RemoveFreeNotification(old);
  FTaskPanel = Value;
  if (Value) {
    if (!FPanelWatch) {
      auto* watch = TEmberTaskPanelWatch::New(static_cast<TComponent*>(nullptr));
      watch->Group = this;
      FPanelWatch = watch;
    }
    FPanelWatch->FreeNotification(Value);
  }
  if (old) old->Free();
}
void TEmberGroupTaskPanel::SizePanel() {
  if (FTaskPanel) FTaskPanel->SetHeight(GetExpanded() ? FHeight : 0);
}
void TEmberGroupTaskPanel::SetHeight(Integer Value) {
  if (Value == FHeight) return;
  FHeight = Value;
  if (GetExpanded()) SizePanel();
  if (auto* lv = GetOwnerListview()) lv->GetGroups()->Rebuild(true);
}
void TEmberGroupTaskPanel::SetExpanded(bool Value) {
  TEmberBaseGroupStored::SetExpanded(Value);
  SizePanel();
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

}  // namespace ember
