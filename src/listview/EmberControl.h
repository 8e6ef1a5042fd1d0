#pragma once
// The list view control: its managers with their construction and destruction order, the update
// cycle that announces structure changes once, the view, the events, and the unit's start-up.

#include <optional>

#include "common/CommonObjects.h"
#include "listview/EmberCollections.h"
#include "listview/EmberEvents.h"

namespace ember {

// A handler type with the control as its first parameter.
template <class F>
struct EmberEvent;
template <class R, class... A>
struct EmberEvent<R(A...)> {
  using type = std::function<R(TCustomEmberListview* Sender, A...)>;
};

class TCustomEmberListview : public common::TCommonCanvasControl {
  PF_CLASS(TCustomEmberListview)
  // The item drag paints the drag image through the control's own paint.
  friend class TEmberOLEDragManager;

public:
  // ---- Managers and owned objects ----
  TEmberBackgroundManager* GetBackGround() const { return FBackGround; }
  void SetBackGround(TEmberBackgroundManager* Value);
  TEmberCellSizes* GetCellSizes() const { return FCellSizes; }
  TEmberCheckManager* GetCheckManager() const { return FCheckManager; }
  TEmberOLEDragManager* GetDragManager() const { return FDragManager; }
  TEmberDragRectManager* GetDragRect() const { return FDragRect; }
  TEmberEditManager* GetEditManager() const { return FEditManager; }
  TEmberGestureManager* GetGesture() const { return FGesture; }
  TEmberGlobalImageManager* GetGlobalImages() const { return FGlobalImages; }
  TEmberGroups* GetGroups() const { return FGroups; }
  TEmberHeader* GetHeader() const { return FHeader; }
  TEmberHintInfo* GetHintInfo() const { return FHintInfo; }
  TEmberHotTrackManager* GetHotTrack() const { return FHotTrack; }
  TEmberIncrementalSearchManager* GetIncrementalSearch() const { return FIncrementalSearch; }
  TEmberGlobalItems* GetItems() const { return FItems; }
  TEmberScrollbarManager* GetScrollbars() const { return FScrollbars; }
  TEmberSelectionManager* GetSelection() const { return FSelection; }
  void SetSelection(TEmberSelectionManager* Value);
  TEmberSortManager* GetSort() const { return FSort; }
  TFont* GetGroupFont() const { return FGroupFont; }
  void SetGroupFont(const TFont* Value);
  TBitmap* GetGroupCollapseButton() const { return FGroupCollapseButton; }
  void SetGroupCollapseButton(TBitmap* Value);
  TBitmap* GetGroupExpandButton() const { return FGroupExpandButton; }
  void SetGroupExpandButton(TBitmap* Value);
  IUnknown* GetAccessible() const { return FAccessible.Get(); }
  void SetAccessible(ComPtr<IUnknown> Value) { FAccessible = std::move(Value); }
  // The drop target the window registers (a TEmberDropTargetManager).
  IUnknown* GetDropTarget() const { return FDropTarget.Get(); }
  // The scratch canvas, only while the window exists.
  TCanvas* GetScratchCanvas();
  // The one view object of an item view class that every item of the class shares (views keep no
  // state of an item); made on first use, freed with the control.
  TEmberViewItem* SharedItemView(const TEmberViewItemClass* ViewClass);

  virtual TEmberPaintInfoBaseColumn* GetPaintInfoColumn() const { return FPaintInfoColumn; }
  virtual TEmberPaintInfoBaseGroup* GetPaintInfoGroup() const { return FPaintInfoGroup; }
  virtual TEmberPaintInfoBaseItem* GetPaintInfoItem() const { return FPaintInfoItem; }
  virtual void SetPaintInfoColumn(TEmberPaintInfoBaseColumn* Value);
  virtual void SetPaintInfoGroup(TEmberPaintInfoBaseGroup* Value);
  virtual void SetPaintInfoItem(TEmberPaintInfoBaseItem* Value);

  // ---- Settings ----
  bool GetAllowHiddenCheckedItems() const { return FAllowInvisibleCheckedItems; }
  void SetAllowHiddenCheckedItems(bool V) { FAllowInvisibleCheckedItems = V; }
  Byte GetDisabledBlendAlpha() const { return FDisabledBlendAlpha; }
  void SetDisabledBlendAlpha(Byte V) { FDisabledBlendAlpha = V; }
  TColor GetDisabledBlendColor() const { return FDisabledBlendColor; }
  void SetDisabledBlendColor(TColor V) { FDisabledBlendColor = V; }
  TAlignment GetHintAlignment() const { return FHintAlignment; }
  void SetHintAlignment(TAlignment V) { FHintAlignment = V; }
  TEmberHintType GetHintType() const;
  void SetHintType(TEmberHintType V);
  TCustomImageList* GetImagesExLarge() const { return FImagesExLarge; }
  void SetImagesExLarge(TCustomImageList* V) { SetImages(FImagesExLarge, V); }
  TCustomImageList* GetImagesGroup() const { return FImagesGroup; }
  void SetImagesGroup(TCustomImageList* V) { SetImages(FImagesGroup, V); }
  TCustomImageList* GetImagesLarge() const { return FImagesLarge; }
  void SetImagesLarge(TCustomImageList* V) { SetImages(FImagesLarge, V); }
  TCustomImageList* GetImagesSmall() const { return FImagesSmall; }
  void SetImagesSmall(TCustomImageList* V) { SetImages(FImagesSmall, V); }
  TCustomImageList* GetImagesState() const { return FImagesState; }
  void SetImagesState(TCustomImageList* V) { SetImages(FImagesState, V); }
  TPopupMenu* GetPopupMenuHeader() const { return FPopupMenuHeader; }
  void SetPopupMenuHeader(TPopupMenu* V);
  bool GetShowGroupMargins() const { return FShowGroupMargins; }
  void SetShowGroupMargins(bool Value);
  bool GetShowImages() const { return FShowImages; }
  void SetShowImages(bool Value);
  bool GetShowInactive() const { return FShowInactive; }
  void SetShowInactive(bool Value);
  TEmberListStyle GetView() const { return FView; }
  virtual void SetView(TEmberListStyle Value);
  TEmberDefaultWheelScroll GetWheelMouseDefaultScroll() const { return FWheelMouseDefaultScroll; }
  void SetWheelMouseDefaultScroll(TEmberDefaultWheelScroll V) { FWheelMouseDefaultScroll = V; }
  bool GetWheelMouseScrollModifierEnabled() const { return FWheelMouseScrollModifierEnabled; }
  void SetWheelMouseScrollModifierEnabled(bool V) { FWheelMouseScrollModifierEnabled = V; }
  TEmberControlStates& States() { return FStates; }
  TEmberControlStates GetStates() const { return FStates; }
  bool GetUseDockManager() const { return FUseDockManager; }
  bool Designing() const { return ComponentState().Contains(TComponentStateItem::csDesigning); }
  bool Loading() const { return ComponentState().Contains(TComponentStateItem::csLoading); }

  // ---- Queries ----
  virtual bool IsGrouped() const;
  bool IsThumbnailView() const;
  bool IsVertView() const;
  bool ScrollHeaderHorz() const;
  // The header shows in the current view.
  bool HeaderInUse() const;
  TRect ClientInViewportCoords() const;
  // Keeps painting off the header strip (the clip region is removed first when asked).
  void ClipHeader(TCanvas* ACanvas, bool ResetClipRegion);
  void AutoFitAllCellCaptions(bool VisibleOnly);

  // ---- Update cycle and streaming ----
  void BeginUpdate() override;
  void EndUpdate(bool Invalidate = true) override;
  virtual void LoadFromStream(TStream& S);
  virtual void SaveToStream(TStream& S);
  void Loaded() override;

  // ---- Operations ----
  virtual TEmberColumn* FocusedColumn() const;
  virtual bool GroupHitTestIsExpandButton(TEmberGroupHitTestInfoSet HitTest) const;
  virtual bool AlwaysTrue() const { return true; }
  virtual void TakeFocus();
  // What Ctrl+C does when no handler took it: nothing here; a descendant copies its own way.
  virtual void ClipboardCopy() {}
  // Marks the selected items cut when the cut handler asks for it.
  virtual void ClipboardCut();
  virtual void ClipboardPaste();
  void DoColumnStructureChange();
  void DoHintPauseTime(bool HintWindowShown, Integer& PauseDelay);
  // Run by the font-change handler of the group and header fonts.
  void FontChangeHandler(TObject* Sender);

  // ---- Events ----
  EmberEvent<void(TCanvas* ACanvas, TRect ClipRect)>::type OnAfterPaint;
#define EMBER_EVENT_FIELD(Name, Skip, Params, Args) EmberEvent<void Params>::type On##Name;
#define EMBER_EVENT_CUSTOM_FIELD(Name, Params) EmberEvent<void Params>::type On##Name;
  EMBER_EVENTS(EMBER_EVENT_FIELD, EMBER_EVENT_CUSTOM_FIELD)
#undef EMBER_EVENT_FIELD
#undef EMBER_EVENT_CUSTOM_FIELD
  EmberEvent<Integer(TEmberGroup* Item1, TEmberGroup* Item2)>::type OnGroupCompare;
  std::function<void(TEmberCollectionItem* Item, const WideString& SearchBuffer, bool& Handled,
                     Integer& CompareResult)>
      OnIncrementalSearch;
  EmberEvent<Integer(TEmberColumn* Column, TEmberGroup* Group, TEmberItem* Item1, TEmberItem* Item2,
                     bool& DoDefault)>::type OnItemCompare;
  TNotifyEvent OnColumnStructureChange;
  EmberEvent<void(bool HintWindowShown, Integer& PauseDelay)>::type OnHintPauseTime;
  EmberEvent<void(TCommonMouseButton MouseButton, TShiftState Shift, Integer X, Integer Y, TEmberColumn* Column)>::type
      OnHeaderMouseDown, OnHeaderMouseUp;
  std::function<void(TObject* Sender, TShiftState Shift, Integer X, Integer Y)> OnHeaderMouseMove;
  EmberEvent<void(void* Data)>::type OnGenericCallback;
  EmberEvent<void(TEmberGroup* Group)>::type OnGroupFocusChanged;
  EmberEvent<void(TEmberGroup* Group, bool& Allow)>::type OnGroupFocusChanging;
  // Kept for descendants; nothing here raises them.
  EmberEvent<void(TEmberColumn* Column, TCanvas* ACanvas, TRect ARect, TEmberAlphaBlender* AlphaBlender,
                  bool& DoDefault)>::type OnColumnThumbnailDraw;
  EmberEvent<void(TEmberGroup* Group, TCanvas* ACanvas, TRect ARect, TEmberAlphaBlender* AlphaBlender,
                  bool& DoDefault)>::type OnGroupThumbnailDraw;

  virtual void DoAfterPaintEvent(TCanvas* ACanvas, TRect ClipRect) {
    if (OnAfterPaint) OnAfterPaint(this, ACanvas, ClipRect);
  }
#define EMBER_EVENT_DISPATCHER(Name, Skip, Params, Args) \
  virtual void Do##Name Params {                          \
    if (Skip && Destroying()) return;                     \
    if (On##Name) On##Name Args;                          \
  }
#define EMBER_EVENT_CUSTOM_DISPATCHER(Name, Params) virtual void Do##Name Params;
  EMBER_EVENTS(EMBER_EVENT_DISPATCHER, EMBER_EVENT_CUSTOM_DISPATCHER)
#undef EMBER_EVENT_DISPATCHER
#undef EMBER_EVENT_CUSTOM_DISPATCHER
  virtual Integer DoGroupCompare(TEmberGroup* Item1, TEmberGroup* Item2);
  virtual void DoIncrementalSearch(TEmberCollectionItem* Item, const WideString& SearchBuffer, Integer& CompareResult);
  virtual Integer DoItemCompare(TEmberColumn* Column, TEmberGroup* Group, TEmberItem* Item1, TEmberItem* Item2);

  // ---- Input (mouse, keys, wheel; EmberInput.cpp) ----
  // The point (window coordinates) goes to the header rather than to the items.
  bool IsInHeaderArea(TPoint WindowPt) const;
  // Ends a running OLE drag or rubber band and lets the mouse go.
  void EndDrag(TPoint WindowPt, TCommonKeyStates KeyStates);
  void ClearMouseStates();
  void CancelPendingDrag();
  // The hint the control is showing or about to show.
  const TEmberHintInfoRec& HintData() const { return FHintData; }

  // ---- Drag and drop (EmberOLEDrag.cpp) ----
  // Runs the platform's drag loop with the allowed effects; answers its result.
  virtual HRESULT DoDragDrop(IDataObject* DataObject, IDropSource* DropSource, TCommonDropEffects OKEffects,
                             DWORD& Effect);
  // The class library's drag start (an item drag of that kind): OnStartDrag, and when its handler
  // fails, no drag stays pending or running.
  void DoStartDrag() override;

  // ---- Factories (a descendant makes its own classes here) ----
  virtual TEmberPaintInfoBaseColumn* CreateColumnPaintInfo();
  virtual TEmberPaintInfoBaseGroup* CreateGroupPaintInfo();
  virtual TEmberGroups* CreateGroups();
  virtual TEmberPaintInfoBaseItem* CreateItemPaintInfo();

protected:
  // The input operations the message handlers call, in this order.
  virtual void HandleDblClick(TCommonMouseButton Button, TMessage& Msg);
  virtual void HandleKeyDown(TMessage& Msg);
  virtual void HandleMouseDown(TCommonMouseButton Button, TMessage& Msg);
  virtual void HandleMouseUp(TCommonMouseButton Button, TMessage& Msg);
  void HandleMouseMove(TMessage& Msg);
  bool DoMouseWheel(TShiftState Shift, Integer WheelDelta, TPoint MousePos) override;
  // Header clicks and moves; the header handles them.
  virtual void HeaderMouseMessage(TMessage& Msg);
  void Create(TComponent* AOwner) override;
  void Destroy() override;
  void BeforeDestruction() override;
  void CreateWnd() override;
  void Dispatch(TMessage& Msg) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void DoUpdateComplete() override;
  void DoMouseExit() override;
  void DoAfterPaint(TCanvas* ACanvas, const TRect& ClipRect) override;
  void CalcThemedNCSize(TRect& ARect) override;
  void WMThemeChanged(TMessage& Msg) override;
  void DoPaintRect(TCanvas* ACanvas, const TRect& ClipRect, bool ViewCoords, bool SelectedOnly) override;
  void PaintThemedNCBkgnd(TCanvas* ACanvas, TRect ARect) override;
  // The resize event comes once the cells have been laid out for the new size.
  void Resize() override;

private:
  // Whether the control keeps Escape or Enter from the dialog that holds it.
  bool WantsDialogKey(Word Key);
  bool OfferKeyAction(Word Key);
  // Cut marks: cleared on every item, set on the selected ones; whether any item has one.
  void ClearCutMarks();
  void MarkSelectedCut();
  bool AnyItemCut() const;
  static void AssignButton(TBitmap* Button, const TBitmap* Value);
  void SetImages(TCustomImageList*& Field, TCustomImageList* Value);
  void FreeItemViews();
  // The layers of DoPaintRect after the groups.
  void PaintColumnShading(TCanvas* ACanvas, const TRect& ViewClip);
  void PaintItems(TCanvas* ACanvas, const TRect& ViewClip, bool SelectedOnly, TRect& RowFocus, bool& RowFocusHeld);
  void PaintRow(TCanvas* ACanvas, TEmberItem* Item, const TRect& ViewClip, bool SelectedOnly, TRect& RowFocus,
                bool& RowFocusHeld);
  void PaintGridLines(TCanvas* ACanvas, const TRect& ViewClip);
  void PaintInsertMark(TCanvas* ACanvas);
  void PrepareDrag(TEmberItem* Item, TPoint WindowPt, bool RubberBand, bool OLE, TCommonKeyStates KeyStates);
  void StartPendingDrag(TMessage& Msg, TCommonKeyStates KeyStates);
  void HotTrackAt(TPoint WindowPt);
  void CheckClickPress(TEmberCollectionItem* Obj);
  void ExpandClick(TEmberGroup* Group);
  void MoveFocusTo(TEmberItem* Target, TShiftState Shift);
  void ScrollByKey(Word Key);
  void ContextMenuMessage(TMessage& Msg);
  void CMHintShow(TMessage& Msg);
  // The class library's drag over the control, handed to the item drag.
  void CMDrag(TMessage& Msg);
  void WMWindowPosChanged(TMessage& Msg);
  void ButtonMessage(TMessage& Msg);
  TPoint FDragStartPt;
  TPoint FWindowSize{-1, -1};
  // Escape or Enter offered to the key action when the dialog asked for it, with what the action
  // made of it, for the key's WM_KEYDOWN to go on with.
  struct TOfferedKey {
    Word Key{0};
    Word CharCode{0};
    TShiftState Shift;
    bool DoDefault{true};
  };
  std::optional<TOfferedKey> FOfferedKey;
  bool FKeyActionUnheard{false};  // the default key action ran without a handler
  bool FPositionChanging{false};  // inside WM_WINDOWPOSCHANGED, before the cells are laid out
  bool FResizePending{false};
  TEmberHintInfoRec FHintData;

  ComPtr<IUnknown> FAccessible;
  bool FAllowInvisibleCheckedItems{false};
  TEmberBackgroundManager* FBackGround{nullptr};
  TEmberCellSizes* FCellSizes{nullptr};
  TEmberCheckManager* FCheckManager{nullptr};
  Byte FDisabledBlendAlpha{128};
  TColor FDisabledBlendColor{clWindow};
  TEmberOLEDragManager* FDragManager{nullptr};
  TEmberDragRectManager* FDragRect{nullptr};
  ComPtr<IUnknown> FDropTarget;
  TEmberEditManager* FEditManager{nullptr};
  TEmberGestureManager* FGesture{nullptr};
  TEmberGlobalImageManager* FGlobalImages{nullptr};
  TBitmap* FGroupCollapseButton{nullptr};
  TBitmap* FGroupExpandButton{nullptr};
  TFont* FGroupFont{nullptr};
  TEmberGroups* FGroups{nullptr};
  TEmberHeader* FHeader{nullptr};
  TAlignment FHintAlignment{TAlignment::taLeftJustify};
  TEmberHintInfo* FHintInfo{nullptr};
  TEmberHotTrackManager* FHotTrack{nullptr};
  TCustomImageList* FImagesExLarge{nullptr};
  TCustomImageList* FImagesGroup{nullptr};
  TCustomImageList* FImagesLarge{nullptr};
  TCustomImageList* FImagesSmall{nullptr};
  TCustomImageList* FImagesState{nullptr};
  TEmberIncrementalSearchManager* FIncrementalSearch{nullptr};
  TEmberGlobalItems* FItems{nullptr};
  TPoint FLastMousePos;
  TNotifyEvent FOldGroupFontChange;
  TNotifyEvent FOldHeaderFontChange;
  TEmberPaintInfoBaseColumn* FPaintInfoColumn{nullptr};
  TEmberPaintInfoBaseGroup* FPaintInfoGroup{nullptr};
  TEmberPaintInfoBaseItem* FPaintInfoItem{nullptr};
  TPopupMenu* FPopupMenuHeader{nullptr};
  TControlCanvas* FScratchCanvas{nullptr};
  TEmberScrollbarManager* FScrollbars{nullptr};
  TEmberSelectionManager* FSelection{nullptr};
  bool FShowGroupMargins{false};
  bool FShowImages{true};
  bool FShowInactive{false};
  TEmberSortManager* FSort{nullptr};
  TEmberControlStates FStates;
  TEmberListStyle FView{TEmberListStyle::elsIcon};
  TEmberDefaultWheelScroll FWheelMouseDefaultScroll{TEmberDefaultWheelScroll::edwsVert};
  bool FWheelMouseScrollModifierEnabled{true};
  bool FUseDockManager{false};
  std::vector<TEmberViewItem*> FItemViews;
};

// The control as the forms place it: typed access to the three paint-settings objects.
class TEmberListview : public TCustomEmberListview {
  PF_CLASS(TEmberListview)
public:
  // Raise EInvalidCast when the stored object is not of the published class.
  virtual TEmberPaintInfoColumn* GetPaintInfoColumnTyped() const;
  virtual TEmberPaintInfoGroup* GetPaintInfoGroupTyped() const;
  virtual TEmberPaintInfoItem* GetPaintInfoItemTyped() const;
  virtual void SetPaintInfoColumnTyped(TEmberPaintInfoColumn* Value) { SetPaintInfoColumn(Value); }
  virtual void SetPaintInfoGroupTyped(TEmberPaintInfoGroup* Value) { SetPaintInfoGroup(Value); }
  virtual void SetPaintInfoItemTyped(TEmberPaintInfoItem* Value) { SetPaintInfoItem(Value); }
};

// ---- Update guard: BeginUpdate now; EndUpdate by End() on the normal way out, or by the
// destructor when an exception leaves the scope (the control must never stay unable to paint).
class TEmberUpdateGuard {
public:
  explicit TEmberUpdateGuard(TCustomEmberListview* LV, bool Invalidate = true) : FLV(LV), FInvalidate(Invalidate) {
    if (FLV) FLV->BeginUpdate();
  }
  // Closes the update; what its handlers raise passes to the caller.
  void End() {
    TCustomEmberListview* lv = FLV;
    FLV = nullptr;
    if (lv) lv->EndUpdate(FInvalidate);
  }
  ~TEmberUpdateGuard() {
    if (!FLV) return;
    try {
      FLV->EndUpdate(FInvalidate);
    } catch (...) {
      // Already unwinding from the first failure; that one is what the caller sees.
    }
  }
  TEmberUpdateGuard(const TEmberUpdateGuard&) = delete;
  TEmberUpdateGuard& operator=(const TEmberUpdateGuard&) = delete;

private:
  TCustomEmberListview* FLV;
  bool FInvalidate;
};

// ---- The unit ----
// The file version of the common controls library, read at start-up.
extern DWORD ComCtl32Version;
// The header's column-split cursor id.
constexpr Integer crVHeaderSplit = 768;
void InitializeEmberListview();
void FinalizeEmberListview();
// The classes a stream may name; registered by InitializeEmberListview.
void RegisterEmberClasses();
TEmberAlphaBlender* EmberAlphaBlender();

}  // namespace ember
