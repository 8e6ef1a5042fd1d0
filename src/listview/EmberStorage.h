#pragma once
// The three storage variants of items, groups and columns: stored in the object, asked of the
// control's events (virtual), or asked of a data object's interfaces (interfaced).

#include "listview/EmberColumns.h"
#include "listview/EmberGroups.h"

namespace ember {

class TEmberTaskPanelForm;

// ---- The store of the stored variants ----
class TEmberDynamicDataHelper : public TObject {
  PF_CLASS(TEmberDynamicDataHelper)
  EMBER_POOLED_CLASS
public:
  // An index past the end (or negative) reads the default; writing past the end grows the array
  // with defaults; a negative index writes nothing.
  String GetCaption(Integer I) const;
  void SetCaption(Integer I, const String& V);
  // The caption as kept, without a copy; nil past the end (an empty caption).
  const String* KeptCaption(Integer I) const {
    return I >= 0 && static_cast<size_t>(I) < FCaptionArray.size() ? &FCaptionArray[static_cast<size_t>(I)] : nullptr;
  }
  Integer GetDetail(Integer I) const;
  void SetDetail(Integer I, Integer V);
  Cardinal GetGroupKey(Integer I) const;
  void SetGroupKey(Integer I, Cardinal V);
  Integer GetImageIndex(Integer I) const;
  void SetImageIndex(Integer I, Integer V);
  Integer GetOverlayIndex(Integer I) const;
  void SetOverlayIndex(Integer I, Integer V);
  virtual void LoadFromStream(TStream& S, Integer Version);
  virtual void SaveToStream(TStream& S, Integer Version);

protected:
  void Create() override {}
  // The arrays a group or item almost always has one entry in take their room from the pool.
  pool::TVector<String> FCaptionArray;
  TCommonIntegerDynArray FDetailArray;
  pool::TVector<Cardinal> FGroupKeyArray;
  TCommonIntegerDynArray FImageIndexArray;
  TCommonIntegerDynArray FOverlayIndexArray;
};

class TEmberItemDynamicDataHelper : public TEmberDynamicDataHelper {
  PF_CLASS(TEmberItemDynamicDataHelper)
public:
  Integer GetStateImage(Integer I) const;
  void SetStateImage(Integer I, Integer V);
  void LoadFromStream(TStream& S, Integer Version) override;
  void SaveToStream(TStream& S, Integer Version) override;

private:
  TCommonIntegerDynArray FStateImageArray;
};

// ---- The data interfaces the interfaced variants ask for ----
struct IEmberCaptionQuery : IUnknown {
  static constexpr IID Iid{0x6C838C0E, 0x22A5, 0x48D4, {0x80, 0xC6, 0xE2, 0x66, 0xE9, 0x50, 0xD3, 0xCF}};
  virtual Variant Caption(Integer Column) = 0;
};
struct IEmberCaptionUpdate : IEmberCaptionQuery {
  static constexpr IID Iid{0xF1403B00, 0x7163, 0x4FB7, {0x80, 0x4F, 0x1A, 0x55, 0x00, 0xCD, 0x98, 0x0A}};
  virtual void SetCaption(Integer Column, const Variant& Value) = 0;
};
struct IEmberImageQuery : IUnknown {
  static constexpr IID Iid{0x20C419F5, 0xF3DD, 0x40C4, {0x85, 0x26, 0x88, 0x32, 0x2E, 0x18, 0x2C, 0x49}};
  virtual Integer ImageIndex(Integer Column, TEmberImageKind ImageKind) = 0;
};
struct IEmberImageUpdate : IEmberImageQuery {
  static constexpr IID Iid{0xDC580B13, 0x1D19, 0x46BB, {0x88, 0x5F, 0xFC, 0x5C, 0xE9, 0xB2, 0xBE, 0x66}};
  virtual void SetImageIndex(Integer Column, TEmberImageKind ImageKind, Integer Value) = 0;
};
struct IEmberImageListQuery : IUnknown {
  static constexpr IID Iid{0x298932FB, 0xA0AE, 0x4A0A, {0xBE, 0x34, 0xA7, 0x82, 0x74, 0x3A, 0x05, 0x79}};
  virtual TCustomImageList* ImageList(Integer Column, TEmberImageSize ImageSize) = 0;
};
struct IEmberStateImageListQuery : IUnknown {
  static constexpr IID Iid{0xF0202D63, 0x92A7, 0x4C2F, {0x9C, 0xA4, 0xCB, 0xDE, 0x4D, 0xE0, 0xED, 0x30}};
  virtual TCustomImageList* StateImageList(Integer Column) = 0;
};
struct IEmberDetailQuery : IUnknown {
  static constexpr IID Iid{0xAE1D21EB, 0xBA52, 0x4C24, {0x9E, 0xB1, 0xB3, 0x57, 0x33, 0x29, 0x94, 0x89}};
  virtual Integer DetailCount() = 0;
  virtual Integer Detail(Integer Line) = 0;
};
struct IEmberDetailUpdate : IEmberDetailQuery {
  static constexpr IID Iid{0xBBD853F9, 0xD803, 0x4478, {0xB5, 0xA8, 0xEE, 0x02, 0xFF, 0x47, 0xDC, 0x80}};
  virtual void SetDetail(Integer Line, Integer Value) = 0;
  virtual void SetDetailCount(Integer Value) = 0;
};
struct IEmberCustomImageDraw : IUnknown {
  static constexpr IID Iid{0x00260055, 0x6915, 0x43B5, {0x9D, 0x43, 0x37, 0x9E, 0x7F, 0x61, 0xEE, 0xA9}};
  virtual void IsCustom(TEmberColumn* Column, bool& IsCustom) = 0;
  virtual void Draw(TEmberColumn* Column, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                    TEmberAlphaBlender* AlphaBlender) = 0;
  virtual void GetSize(TEmberColumn* Column, Integer& ImageWidth, Integer& ImageHeight) = 0;
};
struct IEmberCheckQuery : IUnknown {
  static constexpr IID Iid{0xE8820F40, 0x2EE3, 0x4718, {0xB5, 0x4A, 0x39, 0x31, 0x8D, 0x2D, 0x12, 0x32}};
  virtual bool Checked(Integer Column) = 0;
  virtual void SetChecked(Integer Column, bool Value) = 0;
};
struct IEmberGroupKeyQuery : IUnknown {
  static constexpr IID Iid{0x2B87BB19, 0xA133, 0x4D43, {0x91, 0x64, 0xAC, 0x45, 0x67, 0x47, 0xEB, 0x19}};
  virtual Cardinal GroupKey(Integer FocusedColumn) = 0;
};
struct IEmberGroupKeyUpdate : IEmberGroupKeyQuery {
  static constexpr IID Iid{0x26EFE2C6, 0x2DE2, 0x4795, {0x94, 0xE3, 0x0D, 0xB0, 0xCA, 0xA3, 0x8B, 0x09}};
  virtual void SetGroupKey(Integer FocusedColumn, Cardinal Value) = 0;
};
struct IEmberThumbnailDraw : IUnknown {
  static constexpr IID Iid{0xF9CA8297, 0x0CB3, 0x4C47, {0x90, 0x5F, 0x3D, 0x14, 0x97, 0xC4, 0xFC, 0x4D}};
  virtual void Draw(TCanvas* ACanvas, const TRect& ARect, TEmberAlphaBlender* AlphaBlender, bool& DoDefault) = 0;
};

// A data object that orders itself among its peers: below 0 when it goes before Other in the
// column (nil: the groups' or the main caption's order). The sort uses it only when every element
// of the collection being sorted has one.
struct IEmberCompare : IUnknown {
  static constexpr IID Iid{0x0761D4F5, 0xD451, 0x4A6D, {0xBF, 0xDC, 0xB3, 0x00, 0x0F, 0xFD, 0x02, 0x99}};
  virtual Integer Compare(IEmberCompare* Other, TEmberColumn* Column) = 0;
};

// The interface `I` of a data object, or nil when it has none (or there is no data object).
template <class I>
ComPtr<I> QueryData(IUnknown* DataInf) {
  ComPtr<I> out;
  if (DataInf) DataInf->QueryInterface(I::Iid, out.GetVoidAddress());
  return out;
}

// The data accessors every storage variant of items, groups and columns answers in its own way.
#define EMBER_STORAGE_ACCESSORS                                                                    \
  String GetCaptions(Integer Column) const override;                                               \
  void SetCaptions(Integer Column, const String& Value) override;                                  \
  Integer GetImageIndexes(Integer Column) const override;                                          \
  void SetImageIndexes(Integer Column, Integer Value) override;                                    \
  Integer GetImageOverlayIndexes(Integer Column) const override;                                   \
  void SetImageOverlayIndexes(Integer Column, Integer Value) override;                             \
  TCustomImageList* GetImageLists(Integer Column, TEmberImageSize ImageSize) override;             \
  Integer GetDetailCount() const override;                                                         \
  void SetDetailCount(Integer Value) override;                                                     \
  Integer GetDetail(Integer Line) const override;                                                  \
  void SetDetail(Integer Line, Integer Value) override;                                            \
  void ImageDraw(TEmberColumn* Column, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,   \
                 TEmberAlphaBlender* AlphaBlender) override;                                       \
  void ImageDrawGetSize(TEmberColumn* Column, Integer& ImageWidth, Integer& ImageHeight) override; \
  void ImageDrawIsCustom(TEmberColumn* Column, bool& IsCustom) override;

// And the ones only items have.
#define EMBER_ITEM_STORAGE_ACCESSORS                                                                                    \
  Integer GetStateImageIndexes(Integer Column) const override;                                                          \
  void SetStateImageIndexes(Integer Column, Integer Value) override;                                                    \
  TCustomImageList* GetStateImageList(Integer Column) override;                                                         \
  Cardinal GetGroupKey(Integer FocusedColumn) const override;                                                           \
  void SetGroupKey(Integer FocusedColumn, Cardinal Value) override;                                                     \
  void ThumbnailDraw(TCanvas* ACanvas, const TRect& ARect, TEmberAlphaBlender* AlphaBlender, bool& DoDefault) override;

// ---- What the stored and the interfaced variants of items, groups and columns share ----

// The stored variants keep their values in a dynamic-data helper of their own and fire the
// control's events for custom images.
template <class TBase, class THelper = TEmberDynamicDataHelper>
class TEmberStoredData : public TBase {
public:
  EMBER_STORAGE_ACCESSORS
  // The caption of a column as kept, without a copy; nil for an empty one.
  const String* KeptCaption(Integer Column) const { return FDataHelper->KeptCaption(Column); }
  void LoadFromStream(TStream& S, Integer& StreamVersion) override;
  void SaveToStream(TStream& S, Integer StreamVersion) override;

protected:
  void Create(TEmberCollection* ACollection) override;
  void Destroy() override;
  THelper* FDataHelper{nullptr};
};

// The interfaced variants ask their data object for every value.
template <class TBase>
class TEmberInterfacedData : public TBase {
public:
  EMBER_STORAGE_ACCESSORS
};

// ---- Items ----
class TEmberItemStored : public TEmberStoredData<TEmberItem, TEmberItemDynamicDataHelper> {
  EMBER_ITEM_CLASS(TEmberItemStored, TEmberItem)
public:
  EMBER_ITEM_STORAGE_ACCESSORS
};

class TEmberItemVirtual : public TEmberItem {
  EMBER_ITEM_CLASS(TEmberItemVirtual, TEmberItem)
public:
  EMBER_STORAGE_ACCESSORS
  EMBER_ITEM_STORAGE_ACCESSORS

private:
  Integer AskImage(Integer Column, TEmberImageKind Kind) const;
};

class TEmberItemInterfaced : public TEmberInterfacedData<TEmberItem> {
  EMBER_ITEM_CLASS(TEmberItemInterfaced, TEmberItem)
public:
  EMBER_ITEM_STORAGE_ACCESSORS
  // The check lives in the data object; the state bit is not used.
  bool GetChecked() const override;
  void SetChecked(bool Value) override;
};

// ---- Groups ----
class TEmberBaseGroupStored : public TEmberStoredData<TEmberGroup> {
  EMBER_ITEM_CLASS(TEmberBaseGroupStored, TEmberGroup)
public:
  void ThumbnailDraw(TCanvas*, const TRect&, TEmberAlphaBlender*, bool&) override {}
};

class TEmberGroupStored : public TEmberBaseGroupStored {
  EMBER_ITEM_CLASS(TEmberGroupStored, TEmberBaseGroupStored)
};

// A group that hosts a task panel form of the application's. The group owns the form it is given
// and frees it with itself; the form's height follows the group: Height while expanded, 0 while
// collapsed.
class TEmberGroupTaskPanel : public TEmberBaseGroupStored {
  EMBER_ITEM_CLASS(TEmberGroupTaskPanel, TEmberBaseGroupStored)
public:
  static constexpr Integer DefaultHeight = 200;
  Integer GetHeight() const { return FHeight; }
  void SetHeight(Integer Value);
  TEmberTaskPanelForm* GetTaskPanel() const { return FTaskPanel; }
  // Takes the form over; one assigned before is freed.
  void SetTaskPanel(TEmberTaskPanelForm* Value);
  bool GetTaskWindowCreated() const { return FTaskPanel != nullptr; }
  void SetExpanded(bool Value) override;
  void SetInitialized(bool Value) override { TEmberBaseGroupStored::SetInitialized(Value); }
  void LoadFromStream(TStream& S, Integer& StreamVersion) override;
  void SaveToStream(TStream& S, Integer StreamVersion) override;

protected:
  void Create(TEmberCollection* ACollection) override;
  void Destroy() override;

private:
  friend class TEmberTaskPanelWatch;
  void SizePanel();
  Integer FHeight{DefaultHeight};
  TEmberTaskPanelForm* FTaskPanel{nullptr};
  // Hears of the form's end when something else (its owner, or the window it lives in) frees it
  // first, so the group never frees it twice.
  TComponent* FPanelWatch{nullptr};
};

class TEmberGroupVirtual : public TEmberGroup {
  EMBER_ITEM_CLASS(TEmberGroupVirtual, TEmberGroup)
public:
  EMBER_STORAGE_ACCESSORS
  void ThumbnailDraw(TCanvas*, const TRect&, TEmberAlphaBlender*, bool&) override {}
};

class TEmberGroupInterfaced : public TEmberInterfacedData<TEmberGroup> {
  EMBER_ITEM_CLASS(TEmberGroupInterfaced, TEmberGroup)
public:
  void ThumbnailDraw(TCanvas*, const TRect&, TEmberAlphaBlender*, bool&) override {}
};

// ---- Columns ----
class TEmberColumnStored : public TEmberStoredData<TEmberColumn> {
  EMBER_ITEM_CLASS(TEmberColumnStored, TEmberColumn)
public:
  void ThumbnailDraw(TCanvas*, const TRect&, TEmberAlphaBlender*, bool&) override {}
};

class TEmberColumnVirtual : public TEmberColumn {
  EMBER_ITEM_CLASS(TEmberColumnVirtual, TEmberColumn)
public:
  EMBER_STORAGE_ACCESSORS
  void ThumbnailDraw(TCanvas*, const TRect&, TEmberAlphaBlender*, bool&) override {}
};

class TEmberColumnInterfaced : public TEmberInterfacedData<TEmberColumn> {
  EMBER_ITEM_CLASS(TEmberColumnInterfaced, TEmberColumn)
public:
  void ThumbnailDraw(TCanvas*, const TRect&, TEmberAlphaBlender*, bool&) override {}
};

// Made once, in the storage source.
extern template class TEmberStoredData<TEmberItem, TEmberItemDynamicDataHelper>;
extern template class TEmberStoredData<TEmberGroup>;
extern template class TEmberStoredData<TEmberColumn>;
extern template class TEmberInterfacedData<TEmberItem>;
extern template class TEmberInterfacedData<TEmberGroup>;
extern template class TEmberInterfacedData<TEmberColumn>;

}  // namespace ember
