#pragma once
// The base of everything a list view keeps in a collection (items, groups, columns) with its state
// word and change protocol, the list's item, and the selection group list that runs of selected
// items share.

#include <vector>

#include "listview/EmberPaintInfo.h"
#include "listview/EmberPersistent.h"

namespace ember {

using TEmberCollectionItemClass = TClassOf<TEmberCollectionItem, TEmberCollection*>;

// Declares a class that a collection can make from its reference (and a stream by its name).
#define EMBER_ITEM_CLASS(T, Base)                                                                        \
  PF_CLASS(T)                                                                                            \
public:                                                                                                  \
  static const ::ember::TEmberCollectionItemClass& StaticClass() {                                       \
    static const ::ember::TEmberCollectionItemClass cls(                                                 \
        #T, &Base::StaticClass(),                                                                        \
        ::pf::ClassMaker<T, ::ember::TEmberCollectionItem, ::ember::TEmberCollection*>());               \
    return cls;                                                                                          \
  }                                                                                                      \
  const ::ember::TEmberCollectionItemClass& ClassType() const override { return StaticClass(); }         \
                                                                                                         \
private:

// The notification sink an item offers to its data object (not reference counted).
struct IEmberNotificationSink : IUnknown {
  static constexpr IID Iid{0xE4F0D3DE, 0xB2BD, 0x4EC0, {0xB2, 0x4B, 0x8A, 0x9B, 0x85, 0xB2, 0x3A, 0x63}};
  virtual void InvalidateItem(bool Immediate) = 0;
  virtual void UnRegister() = 0;
};
// A data object that tells its items when it changes.
struct IEmberNotifier : IUnknown {
  static constexpr IID Iid{0xF10150F9, 0x17E3, 0x43B6, {0x8C, 0x05, 0x33, 0x28, 0x3F, 0xF1, 0xB1, 0x4E}};
  virtual void OnRegister(IEmberNotificationSink* Sink) = 0;
  virtual void OnUnRegister(IEmberNotificationSink* Sink) = 0;
};

// The states a stream keeps and the magic number of an object record.
constexpr uint32_t EmberStreamMagic = 0x00CEFEFF;
constexpr Integer EmberStreamVersion = 6;

class TEmberCollectionItem : public TEmberPersistent, public IEmberNotificationSink {
  PF_CLASS(TEmberCollectionItem)
public:
  static const TEmberCollectionItemClass& StaticClass() {
    static const TEmberCollectionItemClass cls("TEmberCollectionItem", nullptr, nullptr);
    return cls;
  }
  virtual const TEmberCollectionItemClass& ClassType() const { return StaticClass(); }

  // IUnknown and the sink: not counted.
  HRESULT QueryInterface(REFIID, void** out) override;
  ULONG AddRef() override { return static_cast<ULONG>(-1); }
  ULONG Release() override { return static_cast<ULONG>(-1); }
  void InvalidateItem(bool Immediate) override { Invalidate(Immediate); }
  void UnRegister() override { FDataInf = nullptr; }

  TEmberCollection* GetCollection() const { return FCollection; }
  TCustomEmberListview* GetOwnerListview() const;
  // The element's accessibility object, made on the first request when it is due (see
  // AttachAccessible): a screen reader asks for few of a list's elements, and making one for each
  // of a hundred thousand items or groups cost a tenth of a regroup.
  IUnknown* GetAccessible() const {
    if (FAccessibleDue) MakeDueAccessible();
    return FAccessible.Get();
  }
  void SetAccessible(ComPtr<IUnknown> Value) {
    FAccessible = std::move(Value);
    FAccessibleDue = false;
  }
  // The object only when it has been made.
  IUnknown* MadeAccessible() const { return FAccessible.Get(); }
  bool GetAccessibleDue() const { return FAccessibleDue; }
  void SetAccessibleDue(bool V) { FAccessibleDue = V; }
  TObject* GetData() const { return FData; }
  virtual void SetData(TObject* Value) { FData = Value; }
  IUnknown* GetDataInf() const { return FDataInf.Get(); }
  void SetDataInf(IUnknown* Value);
  const TRect& GetDisplayRect() const { return FDisplayRect; }
  void SetDisplayRect(const TRect& R) { FDisplayRect = R; }
  TRect GetViewRect() const { return FDisplayRect; }
  virtual Integer GetIndex() const;
  Integer GetVisibleIndex() const { return FVisibleIndex; }
  void SetVisibleIndex(Integer V) { FVisibleIndex = V; }
  Integer GetRefCount() const { return FRefCount; }
  Integer GetTag() const { return FTag; }
  void SetTag(Integer V) { FTag = V; }
  bool GetOwnsPaintInfo() const { return FOwnsPaintInfo; }
  void SetOwnsPaintInfo(bool V) { FOwnsPaintInfo = V; }

  // The raw state word.
  TEmberStorageObjectStates GetState() const { return FState; }
  void SetState(TEmberStorageObjectStates V) { FState = V; }
  bool GetDestroying() const { return FState.Contains(TEmberStorageObjectState::esosDestroying); }
  bool GetInitialized() const { return FState.Contains(TEmberStorageObjectState::esosInitialized); }
  virtual void SetInitialized(bool Value);

  // State properties, each through the change protocol.
  bool GetBold() const { return Has(TEmberStorageObjectState::esosBold); }
  void SetBold(bool V) { ChangeState(TEmberStorageObjectState::esosBold, V); }
  virtual bool GetChecked() const { return Has(TEmberStorageObjectState::esosChecked); }
  virtual void SetChecked(bool V) { ChangeState(TEmberStorageObjectState::esosChecked, V); }
  bool GetEnabled() const { return Has(TEmberStorageObjectState::esosEnabled); }
  void SetEnabled(bool V) { ChangeState(TEmberStorageObjectState::esosEnabled, V); }
  bool GetFocused() const { return Has(TEmberStorageObjectState::esosFocused); }
  void SetFocused(bool V) { ChangeState(TEmberStorageObjectState::esosFocused, V); }
  bool GetGhosted() const { return Has(TEmberStorageObjectState::esosGhosted); }
  void SetGhosted(bool V) { ChangeState(TEmberStorageObjectState::esosGhosted, V); }
  bool GetHilighted() const { return Has(TEmberStorageObjectState::esosHilighted); }
  void SetHilighted(bool V) { ChangeState(TEmberStorageObjectState::esosHilighted, V); }
  bool GetHotTracking() const { return Has(TEmberStorageObjectState::esosHotTracking); }
  void SetHotTracking(TPoint MousePos, bool V) { ChangeState(TEmberStorageObjectState::esosHotTracking, V, MousePos); }
  bool GetSelected() const { return Has(TEmberStorageObjectState::esosSelected); }
  void SetSelected(bool V) { ChangeState(TEmberStorageObjectState::esosSelected, V); }
  bool GetVisible() const { return Has(TEmberStorageObjectState::esosVisible); }
  void SetVisible(bool V) { ChangeState(TEmberStorageObjectState::esosVisible, V); }
  // Plain bits: no question, no event.
  bool GetCut() const { return Has(TEmberStorageObjectState::esosCut); }
  void SetCut(bool V) { PlainBit(TEmberStorageObjectState::esosCut, V, true); }
  bool GetCheckHovering() const { return Has(TEmberStorageObjectState::esosCheckHover); }
  void SetCheckHovering(bool V) { PlainBit(TEmberStorageObjectState::esosCheckHover, V, true); }
  bool GetCheckPending() const { return Has(TEmberStorageObjectState::esosCheckPending); }
  void SetCheckPending(bool V) { PlainBit(TEmberStorageObjectState::esosCheckPending, V, true); }
  bool GetClicking() const { return Has(TEmberStorageObjectState::esosClicking); }
  void SetClicking(bool V) { PlainBit(TEmberStorageObjectState::esosClicking, V, false); }

  // Data operations; the storage variants fill them in.
  virtual String GetCaption() const { return GetCaptions(0); }
  virtual void SetCaption(const String& V) { SetCaptions(0, V); }
  virtual String GetCaptions(Integer Column) const = 0;
  virtual void SetCaptions(Integer Column, const String& Value) = 0;
  virtual Integer GetImageIndex() const { return GetImageIndexes(0); }
  virtual void SetImageIndex(Integer V) { SetImageIndexes(0, V); }
  virtual Integer GetImageIndexes(Integer Column) const = 0;
  virtual void SetImageIndexes(Integer Column, Integer Value) = 0;
  virtual Integer GetImageOverlayIndex() const { return GetImageOverlayIndexes(0); }
  virtual void SetImageOverlayIndex(Integer V) { SetImageOverlayIndexes(0, V); }
  virtual Integer GetImageOverlayIndexes(Integer Column) const = 0;
  virtual void SetImageOverlayIndexes(Integer Column, Integer Value) = 0;
  virtual TCustomImageList* GetImageLists(Integer Column, TEmberImageSize ImageSize) = 0;
  virtual TCustomImageList* GetDefaultImageList(TEmberImageSize ImageSize);
  virtual Integer GetDetailCount() const = 0;
  virtual void SetDetailCount(Integer Value) = 0;
  virtual Integer GetDetail(Integer Line) const = 0;
  virtual void SetDetail(Integer Line, Integer Value) = 0;
  virtual void ImageDraw(TEmberColumn* Column, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                         TEmberAlphaBlender* AlphaBlender) = 0;
  virtual void ImageDrawGetSize(TEmberColumn* Column, Integer& ImageWidth, Integer& ImageHeight) = 0;
  virtual void ImageDrawIsCustom(TEmberColumn* Column, bool& IsCustom) = 0;
  virtual void ThumbnailDraw(TCanvas* ACanvas, const TRect& ARect, TEmberAlphaBlender* AlphaBlender,
                             bool& DoDefault) = 0;
  virtual String GetDisplayName() const;

  virtual bool PointAllowed(TPoint /*ViewportPoint*/) { return true; }
  virtual bool EditAreaHitPt(TPoint ViewportPoint) = 0;
  virtual bool SelectionHit(const TRect& SelectViewportRect, TEmberSelectHitType SelectType) = 0;
  virtual bool SelectionHitPt(TPoint ViewportPoint, TEmberSelectHitType SelectType) = 0;
  virtual void Invalidate(bool ImmediateUpdate);
  virtual void MakeVisible(TEmberMakeVisiblePos /*Position*/) {}
  virtual void LoadFromStream(TStream& S, Integer& StreamVersion);
  virtual void SaveToStream(TStream& S, Integer StreamVersion);

  TEmberPaintInfoBasic* GetPaintInfo() const { return FPaintInfo; }
  void SetPaintInfo(TEmberPaintInfoBasic* V) { FPaintInfo = V; }
  // Own paint settings when set, else the control's shared ones.
  TEmberPaintInfoBasic* GetEffectivePaintInfo() const { return FPaintInfo ? FPaintInfo : GetDefaultPaintInfo(); }

  // Collections write an object's position here (no search needed to know it).
  void SetIndexField(Integer I) { FIndex = I; }
  Integer IndexField() const { return FIndex; }
  void SetCollection(TEmberCollection* C) { FCollection = C; }

protected:
  virtual void Create(TEmberCollection* ACollection);
  using TEmberPersistent::Create;
  void Destroy() override;

  virtual bool CanChangeBold() = 0;
  virtual bool CanChangeCheck() = 0;
  virtual bool CanChangeEnable(bool NewValue) = 0;
  virtual bool CanChangeFocus() = 0;
  virtual bool CanChangeHotTrack() = 0;
  virtual bool CanChangeSelection() = 0;
  virtual bool CanChangeVisibility(bool NewValue) = 0;
  virtual TEmberPaintInfoBasic* GetDefaultPaintInfo() const = 0;
  virtual void Freeing() = 0;
  virtual void GainBold() = 0;
  virtual void GainCheck() = 0;
  virtual void GainEnable() = 0;
  virtual void GainFocus() = 0;
  virtual void GainGhosted() = 0;
  virtual void GainHilight() = 0;
  virtual void GainHotTrack(TPoint MousePos) = 0;
  virtual void GainSelection() = 0;
  virtual void GainVisibility() = 0;
  virtual void LoseBold() = 0;
  virtual void LoseCheck() = 0;
  virtual void LoseEnable() = 0;
  virtual void LoseFocus() = 0;
  virtual void LoseGhosted() = 0;
  virtual void LoseHilight() = 0;
  virtual void LoseHotTrack() = 0;
  virtual void LoseSelection() = 0;
  virtual void LoseVisibility() = 0;
  virtual void Initialize() = 0;

  bool Has(TEmberStorageObjectState S) const { return FState.Contains(S); }
  void Include(TEmberStorageObjectState S) { FState.Include(S); }
  void Exclude(TEmberStorageObjectState S) { FState.Exclude(S); }
  // The change protocol of every state property.
  void ChangeState(TEmberStorageObjectState Bit, bool Value, TPoint MousePos = {});
  void PlainBit(TEmberStorageObjectState Bit, bool Value, bool DoInvalidate);
  bool OwnerHasHandle() const;

  mutable ComPtr<IUnknown> FAccessible;

private:
  void MakeDueAccessible() const;
  mutable bool FAccessibleDue{false};
  TEmberCollection* FCollection{nullptr};
  TObject* FData{nullptr};
  ComPtr<IUnknown> FDataInf;
  TRect FDisplayRect;
  Integer FIndex{-1};
  bool FOwnsPaintInfo{false};
  TEmberPaintInfoBasic* FPaintInfo{nullptr};
  Integer FRefCount{0};
  TEmberStorageObjectStates FState;
  Integer FTag{0};
  Integer FVisibleIndex{-1};
};

// A run of selected items that one selection rectangle encloses; its members keep it alive.
class TEmberSelectionGroupList : public TObject {
  PF_CLASS(TEmberSelectionGroupList)
public:
  const TRect& GetDisplayRect() const { return FDisplayRect; }
  void SetDisplayRect(const TRect& R) { FDisplayRect = R; }
  TEmberItem* GetFirstItem() const { return FFirstItem; }
  void SetFirstItem(TEmberItem* I) { FFirstItem = I; }
  void Add(TEmberItem* Item) { FList.push_back(Item); }
  Integer GetCount() const { return static_cast<Integer>(FList.size()); }
  TEmberItem* Items(Integer I) const { return FList.at(static_cast<size_t>(I)); }
  Integer GetRefCount() const { return FRefCount; }
  void IncRef() { ++FRefCount; }
  // Frees the group when the last member lets go.
  void DecRef();

protected:
  void Create() override {}

private:
  TRect FDisplayRect;
  TEmberItem* FFirstItem{nullptr};
  std::vector<TEmberItem*> FList;
  Integer FRefCount{0};
};

using TEmberViewItemClass = TClassOf<TEmberViewItem, TEmberGroup*>;
class TEmberTextCache;

class TEmberItem : public TEmberCollectionItem {
  EMBER_ITEM_CLASS(TEmberItem, TEmberCollectionItem)
public:
  TEmberItems* GetOwnerItems() const;
  TEmberGroup* GetOwnerGroup() const;
  Integer GetIndex() const override;
  Integer GetVisibleIndexInGroup() const { return FVisibleIndexInGroup; }
  void SetVisibleIndexInGroup(Integer V) { FVisibleIndexInGroup = V; }
  // Column and row of the item in its group's grid; -1 when hidden or before a layout.
  Integer GetColumnPos() const;
  Integer GetRowPos() const;

  TEmberSelectionGroupList* GetSelectionGroup() const { return FSelectionGroup; }
  void SetSelectionGroup(TEmberSelectionGroupList* Value);
  void ReleaseSelectionGroup();

  // Paint settings read and written through the effective paint settings. Their published
  // defaults are what a new item answers, so a value equal to its default reloads as itself.
  static constexpr TColor DefaultBorderColor = TEmberPaintInfoBasic::DefaultBorderColor;
  static constexpr Integer DefaultCaptionIndent = TEmberPaintInfoBasic::DefaultCaptionIndent;
  static constexpr Integer DefaultCheckIndent = TEmberPaintInfoBasic::DefaultCheckIndent;
  static constexpr Integer DefaultCheckSize = TEmberPaintInfoBasic::DefaultCheckSize;
  static constexpr Integer DefaultImageIndent = TEmberPaintInfoBasic::DefaultImageIndent;
  TAlignment GetAlignment() const;
  void SetAlignment(TAlignment V);
  Integer GetBorder() const;
  void SetBorder(Integer V);
  TColor GetBorderColor() const;
  void SetBorderColor(TColor V);
  Integer GetCaptionIndent() const;
  void SetCaptionIndent(Integer V);
  bool GetCheckFlat() const;
  void SetCheckFlat(bool V);
  Integer GetCheckIndent() const;
  void SetCheckIndent(Integer V);
  Integer GetCheckSize() const;
  void SetCheckSize(Integer V);
  TEmberCheckType GetCheckType() const;
  void SetCheckType(TEmberCheckType V);
  Integer GetImageIndent() const;
  void SetImageIndent(Integer V);
  common::TCommonVAlignment GetVAlignment() const;
  void SetVAlignment(common::TCommonVAlignment V);

  virtual Integer GetStateImageIndex() const { return GetStateImageIndexes(0); }
  virtual void SetStateImageIndex(Integer V) { SetStateImageIndexes(0, V); }
  virtual Integer GetStateImageIndexes(Integer Column) const = 0;
  virtual void SetStateImageIndexes(Integer Column, Integer Value) = 0;
  virtual TCustomImageList* GetStateImageList(Integer Column) = 0;
  virtual Cardinal GetGroupKey(Integer /*FocusedColumn*/) const { return 0; }
  virtual void SetGroupKey(Integer /*FocusedColumn*/, Cardinal /*Value*/) {}

  // The view that paints the item, made from ViewClass and replaced when the class changes.
  TEmberViewItem* GetView();
  const TEmberViewItemClass* GetViewClass() const;
  virtual const TEmberViewItemClass* GetDefaultViewClass() const;
  void ItemRectArray(TEmberColumn* Column, TCanvas* ACanvas, TEmberRectArrayObject& RectArray);
  bool HitTestAt(TPoint ViewportPoint, TEmberItemHitTestInfoSet& HitInfo);
  // The control's paint loop: the canvas, the viewport clip, the column (nil outside the report
  // views) and whether a selection frame is painted even where the view would not.
  void Paint(TCanvas* ACanvas, const TRect& ViewportClipRect, TEmberColumn* Column, bool ForceSelectionRectDraw);

  // What the views measured of the caption, kept with the item (see EmberItemViews).
  TEmberTextCache*& TextCache() { return FTextCache; }

  bool PointAllowed(TPoint ViewportPoint) override;
  bool EditAreaHitPt(TPoint ViewportPoint) override;
  bool SelectionHit(const TRect& SelectViewportRect, TEmberSelectHitType SelectType) override;
  bool SelectionHitPt(TPoint ViewportPoint, TEmberSelectHitType SelectType) override;
  void Invalidate(bool ImmediateUpdate) override;
  void MakeVisible(TEmberMakeVisiblePos Position) override;
  void LoadFromStream(TStream& S, Integer& StreamVersion) override;
  void SaveToStream(TStream& S, Integer StreamVersion) override;

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
  TEmberPaintInfoBasic* GetDefaultPaintInfo() const override;
  void Freeing() override;
  void GainBold() override { Invalidate(false); }
  void GainCheck() override;
  void GainEnable() override;
  void GainFocus() override;
  void GainGhosted() override;
  void GainHilight() override { Invalidate(true); }
  void GainHotTrack(TPoint MousePos) override;
  void GainSelection() override;
  void GainVisibility() override;
  void LoseBold() override { Invalidate(false); }
  void LoseCheck() override;
  void LoseEnable() override;
  void LoseFocus() override;
  void LoseGhosted() override;
  void LoseHilight() override { Invalidate(true); }
  void LoseHotTrack() override;
  void LoseSelection() override;
  void LoseVisibility() override;
  void Initialize() override;

private:
  TEmberSelectionGroupList* FSelectionGroup{nullptr};
  TEmberViewItem* FView{nullptr};
  TEmberTextCache* FTextCache{nullptr};
  Integer FVisibleIndexInGroup{-1};
};

}  // namespace ember
