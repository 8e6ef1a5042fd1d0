#pragma once
// The control's managers, one per concern. This unit holds what the model calls of each: the
// selection count and focus, the check count, the scroll offsets and view rectangle, the header's
// columns and positions, and the references other managers keep to items and columns. Painting,
// input and dragging add to these classes.

#include <memory>
#include <vector>

#include "listview/EmberBackground.h"
#include "listview/EmberCellSizes.h"
#include "listview/EmberPaintInfo.h"
#include "listview/EmberPersistent.h"

namespace pf {
class TTimer;
}

namespace ember {

class TEmberSelectionManager : public TEmberOwnedPersistent {
  PF_CLASS(TEmberSelectionManager)
public:
  Integer GetCount() const { return FCount; }
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  bool GetMultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool Value);
  bool GetGroupSelections() const { return FGroupSelections; }
  void SetGroupSelections(bool Value);
  bool GetFullRowSelect() const { return FFullRowSelect; }
  void SetFullRowSelect(bool Value) { FFullRowSelect = Value; }
  TCommonMouseButtons GetMouseButton() const { return FShimMouseButton; }
  void SetMouseButton(TCommonMouseButtons V) { FShimMouseButton = V; }
  bool GetRectSelect() const { return false; }
  void SelectRange(TEmberItem* FromItem, TEmberItem* ToItem, bool ClearFirst, bool RectSelect);
  void DragSelect(bool Toggle, TRect NewRect, TRect OldRect);
  TCommonMouseButtons FShimMouseButton{TCommonMouseButton::cmbLeft};

  TEmberItem* GetFocusedItem() const { return FFocusedItem; }
  void SetFocusedItem(TEmberItem* Value);
  TEmberItem* GetAnchorItem() const { return FAnchorItem; }
  void SetAnchorItem(TEmberItem* Value);
  TEmberColumn* GetFocusedColumn() const;
  void SetFocusedColumn(TEmberColumn* Value);
  TEmberGroup* GetFocusedGroup() const { return FFocusedGroup; }
  void SetFocusedGroup(TEmberGroup* Value) { FFocusedGroup = Value; }

  // A batch of selection changes yields one selections-changed notice at its end.
  void IncMultiChangeCount();
  void DecMultiChangeCount();
  void GroupSelectBeginUpdate() { ++FGroupSelectUpdateCount; }
  void GroupSelectEndUpdate();
  virtual void BuildSelectionGroupings(bool Force);

  // Told by the items' own selection changes.
  void GainingSelection(TEmberItem* Item);
  void LosingSelection(TEmberItem* Item);

  // ---- How the item views paint selected and focused items ----
#define EMBER_SEL_OPTION(Type, Name, Init, Reaction) \
public:                                               \
  static constexpr Type Default##Name = Init;         \
  Type Get##Name() const { return F##Name; }          \
  void Set##Name(Type Value) {                        \
    if (Value == F##Name) return;                     \
    F##Name = Value;                                  \
    Reaction;                                         \
  }                                                   \
                                                      \
private:                                              \
  Type F##Name{Init};
  EMBER_SEL_OPTION(bool, AlphaBlend, false, (void)0)
  EMBER_SEL_OPTION(bool, AlphaBlendSelRect, false, (void)0)
  EMBER_SEL_OPTION(Byte, BlendAlphaImage, 128, (void)0)
  EMBER_SEL_OPTION(Byte, BlendAlphaSelRect, 70, (void)0)
  EMBER_SEL_OPTION(Byte, BlendAlphaTextRect, 128, (void)0)
  EMBER_SEL_OPTION(TColor, BlendColorIcon, clHighlight, (void)0)
  EMBER_SEL_OPTION(TColor, BlendColorSelRect, clHighlight, (void)0)
  EMBER_SEL_OPTION(bool, BlendIcon, true, InvalidateOwner())
  EMBER_SEL_OPTION(bool, BlurAlphaBkGnd, false, InvalidateOwner())
  EMBER_SEL_OPTION(TColor, BorderColor, clHighlight, (void)0)
  EMBER_SEL_OPTION(TColor, BorderColorSelRect, clHighlight, (void)0)
  EMBER_SEL_OPTION(TColor, Color, clHighlight, (void)0)
  EMBER_SEL_OPTION(bool, ForceDefaultBlend, false, (void)0)
  EMBER_SEL_OPTION(bool, FullCellPaint, false, InvalidateOwner())
  EMBER_SEL_OPTION(bool, FullItemPaint, false, InvalidateOwner())
  EMBER_SEL_OPTION(bool, Gradient, false, InvalidateOwner())
  EMBER_SEL_OPTION(TColor, GradientColorBottom, 0xFCEFD5, InvalidateOwner())
  EMBER_SEL_OPTION(TColor, GradientColorTop, 0xFDF8F1, InvalidateOwner())
  EMBER_SEL_OPTION(TColor, InactiveBorderColor, clInactiveBorder, (void)0)
  EMBER_SEL_OPTION(TColor, InactiveColor, clInactiveBorder, (void)0)
  EMBER_SEL_OPTION(TColor, InactiveTextColor, clBlack, (void)0)
  EMBER_SEL_OPTION(bool, PopupMode, false, (void)0)
  EMBER_SEL_OPTION(bool, RoundRect, false, (void)0)
  EMBER_SEL_OPTION(Byte, RoundRectRadius, 4, (void)0)
  EMBER_SEL_OPTION(TColor, TextColor, clHighlightText, (void)0)
  EMBER_SEL_OPTION(bool, UseFocusRect, true, (void)0)
#undef EMBER_SEL_OPTION
public:
  void ClearAll();
  void ClearAllExcept(TEmberItem* Except);
  void SelectAll();
  TEmberItem* First() const;
  TEmberItem* Next(TEmberItem* Item) const;

protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberOwnedPersistent::Create;

private:
  // Paints the whole control again (no erase).
  void InvalidateOwner();
  void Walk(bool Select, TEmberItem* Except);
  void NotifyToggle();
  Integer FCount{0};
  TEmberColumn* FFocusedColumn{nullptr};
  TEmberItem* FFocusedItem{nullptr};
  TEmberItem* FAnchorItem{nullptr};
  TEmberGroup* FFocusedGroup{nullptr};
  bool FEnabled{true};
  bool FFullRowSelect{false};
  bool FGroupSelections{false};
  Integer FGroupSelectUpdateCount{0};
  Integer FItemsToggled{0};
  Integer FMultiChangeCount{0};
  bool FMultiSelect{false};
};

// Holds the object whose check box is being clicked, and the count of checked items.
class TEmberCheckManager : public TEmberOwnedPersistent {
  PF_CLASS(TEmberCheckManager)
public:
  Integer GetCount() const { return FCount; }
  void IncCount() { ++FCount; }
  void DecCount() { --FCount; }
  TEmberCollectionItem* GetPendingObject() const { return FPendingObject; }
  void SetPendingObject(TEmberCollectionItem* Value);

private:
  Integer FCount{0};
  TEmberCollectionItem* FPendingObject{nullptr};
};

class TEmberScrollbarManager : public TEmberOwnedPersistent {
  PF_CLASS(TEmberScrollbarManager)
public:
  Integer GetOffsetX() const { return FOffsetX; }
  Integer GetOffsetY() const { return FOffsetY; }
  void SetOffsetX(Integer Value);
  void SetOffsetY(Integer Value);
  const TRect& GetViewRect() const { return FViewRect; }
  void SetViewRect(const TRect& Value, bool InvalidateWindow);
  TPoint MapWindowToView(TPoint P) const;
  TRect MapWindowRectToViewRect(const TRect& R) const;
  TPoint MapViewToWindow(TPoint P) const;
  TRect MapViewRectToWindowRect(const TRect& R) const;
  void ReCalculateScrollbars(bool Redraw, bool Force);
  void Scroll(Integer DeltaX, Integer DeltaY);
  Integer MaxOffsetX() const;
  Integer MaxOffsetY() const;
  void WMHScroll(TMessage&) {}
  void WMVScroll(TMessage&) {}

private:
  Integer FOffsetX{0};
  Integer FOffsetY{0};
  TRect FViewRect;
};

// Drag managers: the base keeps the switch that registers the window as a drop target.
class TCustomEmberDragManagerBase : public TEmberOwnedPersistent {
  PF_CLASS(TCustomEmberDragManagerBase)
public:
  bool GetEnabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value) { FEnabled = Value; }
  TCommonMouseButtons GetMouseButton() const { return FMouseButton; }
  void SetMouseButton(TCommonMouseButtons V) { FMouseButton = V; }
  bool Dragging() const { return FDragging; }
  void BeginDrag(TPoint WindowPt, TCommonKeyStates Keys);
  void DragEnter(IDataObject* DataObject, TCommonKeyStates Keys, TPoint WindowPt, TCommonDropEffect& Effect);
  void Drag(TCommonKeyStates Keys, TPoint WindowPt, TCommonDropEffect& Effect);
  void DragEnd(TCommonKeyStates Keys, TPoint WindowPt);
  // One of the pressed buttons in `KeyState` may start a drag.
  bool ButtonAllowed(TCommonKeyStates KeyState) const;
  // A key pressed while the drag runs scrolls the view.
  virtual void WMKeyDown(TMessage& Msg);

protected:
  virtual void DoDrag(TCommonKeyStates /*Keys*/, TPoint /*WindowPt*/, TCommonDropEffect& /*Effect*/) {}
  virtual void DoDragBegin(TPoint /*WindowPt*/, TCommonKeyStates /*Keys*/) {}
  virtual void DoDragEnd(TPoint /*WindowPt*/, TCommonKeyStates /*Keys*/) {}
  TCommonMouseButtons FMouseButton{TCommonMouseButton::cmbLeft};

private:
  bool FEnabled{false};
  bool FDragging{false};
};
class TEmberDragRectManager : public TCustomEmberDragManagerBase {
  PF_CLASS(TEmberDragRectManager)
public:
  TPoint GetAnchorPoint() const { return FAnchorPoint; }
  void SetAnchorPoint(TPoint P) { FAnchorPoint = P; }
  TPoint GetDragPoint() const { return FDragPoint; }
  void SetDragPoint(TPoint P) { FDragPoint = P; }
  void SetPrevRect(const TRect& R) { FPrevRect = R; }
  // Ready to band from the point: enabled, and a pressed button may start one.
  virtual bool InitializeDrag(TPoint WindowPt, TCommonKeyStates KeyState);
  virtual void FinalizeDrag();
  TRect SelectionRect() const {
    TRect r{std::min(FAnchorPoint.X, FDragPoint.X), std::min(FAnchorPoint.Y, FDragPoint.Y),
            std::max(FAnchorPoint.X, FDragPoint.X), std::max(FAnchorPoint.Y, FDragPoint.Y)};
    if (r.Right == r.Left) ++r.Right;
    if (r.Bottom == r.Top) ++r.Bottom;
    return r;
  }

protected:
  void Create(TCustomEmberListview* AOwner) override {
    TCustomEmberDragManagerBase::Create(AOwner);
    FMouseButton = TCommonMouseButtons{TCommonMouseButton::cmbLeft, TCommonMouseButton::cmbRight};
  }
  using TCustomEmberDragManagerBase::Create;
  void DoDragBegin(TPoint WindowPt, TCommonKeyStates Keys) override;
  void DoDrag(TCommonKeyStates Keys, TPoint WindowPt, TCommonDropEffect& Effect) override;
  void DoDragEnd(TPoint WindowPt, TCommonKeyStates Keys) override;

private:
  TPoint FAnchorPoint;
  TPoint FDragPoint;
  TRect FPrevRect;
};
enum class TEmberDragType { edtOLE, edtVCL };

class TEmberHeaderDragManager : public TCustomEmberDragManagerBase {
  PF_CLASS(TEmberHeaderDragManager)
public:
  TEmberDragType GetDragType() const { return FDragType; }
  void SetDragType(TEmberDragType V) { FDragType = V; }

private:
  TEmberDragType FDragType{TEmberDragType::edtOLE};
};
class TEmberOLEDragManager : public TEmberHeaderDragManager {
  PF_CLASS(TEmberOLEDragManager)
public:
  TEmberItem* GetDropTarget() const { return FDropTarget; }
  void SetDropTarget(TEmberItem* Value) { FDropTarget = Value; }
  TEmberItem* GetDragItem() const { return FDragItem; }
  void SetDragItem(TEmberItem* Value) { FDragItem = Value; }
  // Holds the item when enabled, a pressed button may drag and the point hits the item.
  virtual bool InitializeDrag(TEmberItem* HitItem, TPoint WindowPt, TCommonKeyStates KeyState);
  virtual void FinalizeDrag() { FDragItem = nullptr; }

private:
  TEmberItem* FDropTarget{nullptr};
  TEmberItem* FDragItem{nullptr};
};

// In-place editing of captions: one edit at a time, run in a loop of its own until it is
// accepted, cancelled or interrupted; Tab and the arrows can move it on to the next cell.
class TEmberEditManager : public TEmberOwnedPersistent {
  PF_CLASS(TEmberEditManager)
public:
  TFont* GetFont() const { return FFont; }
  void SetFont(const TFont* Value);
  // Whether captions may be edited in place; switching it ends any edit.
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  bool GetArrowMoveFocus() const { return FArrowMoveFocus; }
  void SetArrowMoveFocus(bool V) { FArrowMoveFocus = V; }
  Integer GetAutoEditDelayTime() const { return FAutoEditDelayTime; }
  void SetAutoEditDelayTime(Integer V) { FAutoEditDelayTime = V; }
  TPoint GetAutoEditStartClickPt() const { return FAutoEditStartClickPt; }
  void SetAutoEditStartClickPt(TPoint P) { FAutoEditStartClickPt = P; }
  TColor GetColor() const { return FColor; }
  void SetColor(TColor V) { FColor = V; }
  bool GetTabEditColumns() const { return FTabEditColumns; }
  void SetTabEditColumns(bool V) { FTabEditColumns = V; }
  bool GetTabMoveFocus() const { return FTabMoveFocus; }
  void SetTabMoveFocus(bool V) { FTabMoveFocus = V; }
  TEmberItem* GetEditItem() const { return FEditItem; }
  TEmberColumn* GetEditColumn() const { return FEditColumn; }
  IEmberCellEditor* GetEditor() const { return FEditor.Get(); }
  // An editor is shown, or the auto-edit timer runs.
  bool GetEditing() const { return FEditing || FTimerRunning; }
  bool GetTimerRunning() const { return FTimerRunning; }

  // Runs the edit of `Item` (of `Column`, nil for the caption) and returns when it has ended.
  virtual void BeginEdit(TEmberItem* Item, TEmberColumn* Column);
  // Lets the running edit's loop end on its next turn.
  void EndEdit();
  // Closes the editor without accepting (the item or the control is going, or the user left).
  void CancelEdit();
  // The click-and-wait: after AutoEditDelayTime the focused item is edited (the click at ClickPt).
  void StartAutoEditTimer(TPoint ClickPt = {});
  void StopAutoEditTimer();
  // The element being freed ends an edit of it first.
  void ElementFreeing(TEmberCollectionItem* Element);

  TEmberItem* GetTabMoveFocusItem() const { return FTabMoveFocusItem; }
  void SetTabMoveFocusItem(TEmberItem* V) { FTabMoveFocusItem = V; }
  TEmberColumn* GetTabMoveFocusColumn() const { return FTabMoveFocusColumn; }
  void SetTabMoveFocusColumn(TEmberColumn* V) { FTabMoveFocusColumn = V; }

protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberOwnedPersistent::Create;
  void Destroy() override;

private:
  void RunLoop();
  void CloseEditor();
  bool HandleLoopMessage(MSG& Msg);
  TEmberItem* NextEditableItem(TEmberItem* From, bool Forward) const;

  bool FAppHooked{false};
  bool FArrowMoveFocus{false};
  Integer FAutoEditDelayTime{300};
  TPoint FAutoEditStartClickPt;
  TColor FColor{clWindow};
  TEmberColumn* FEditColumn{nullptr};
  bool FEditFinished{false};
  bool FEditing{false};
  TEmberItem* FEditItem{nullptr};
  ComPtr<IEmberCellEditor> FEditor;
  bool FEditorClosed{false};
  bool FEnabled{false};
  bool FTabEditColumns{false};
  bool FTabMoveFocus{false};
  TTimer* FTimer{nullptr};
  bool FTimerRunning{false};
  // The control went away during the edit.
  bool FAbandoned{false};
  // Read by a running edit loop after each message: false once the manager is freed.
  std::shared_ptr<bool> FAlive{std::make_shared<bool>(true)};
  TFont* FFont{nullptr};
  TEmberItem* FTabMoveFocusItem{nullptr};
  TEmberColumn* FTabMoveFocusColumn{nullptr};
};

class TEmberIncrementalSearchManager : public TEmberOwnedPersistent {
  PF_CLASS(TEmberIncrementalSearchManager)
public:
  TEmberItem* GetSearchItem() const { return FSearchItem; }
  void SetSearchItem(TEmberItem* V) { FSearchItem = V; }
  TEmberItem* GetNextSearchItem() const { return FNextSearchItem; }
  void SetNextSearchItem(TEmberItem* V) { FNextSearchItem = V; }
  TEmberIncrementalSearchDir GetDirection() const { return FDirection; }
  void SetDirection(TEmberIncrementalSearchDir V) { FDirection = V; }
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool V) { FEnabled = V; }
  TEmberIncrementalSearchItemType GetItemType() const { return FItemType; }
  void SetItemType(TEmberIncrementalSearchItemType V) { FItemType = V; }
  Integer GetResetTime() const { return FResetTime; }
  void SetResetTime(Integer V) { FResetTime = V; }
  TCoolIncrementalSearchStart GetStartType() const { return FStart; }
  void SetStartType(TCoolIncrementalSearchStart V) { FStart = V; }
  const String& GetSearchBuffer() const { return FSearchBuffer; }
  bool Searching() const { return FSearching; }
  bool TimerRunning() const { return FhTimer != 0; }
  // The key press that opens a search, and each typed character (WM_CHAR's code in WParam).
  virtual void HandleWMKeyDown(TMessage& Msg);
  virtual void HandleWMChar(TMessage& Msg);
  virtual void ClearSearch();
  void ResetSearch();

protected:
  void Destroy() override;

private:
  void StartTimer();
  void EndTimer();
  TEmberItem* FirstSearchItem() const;
  TEmberItem* StepFrom(TEmberItem* Item) const;
  void SetUpNextSearchItem();
  TEmberIncrementalSearchDir FDirection{TEmberIncrementalSearchDir::eisdForward};
  bool FEnabled{false};
  UINT_PTR FhTimer{0};
  TEmberIncrementalSearchItemType FItemType{TEmberIncrementalSearchItemType::eisiVisible};
  Integer FResetTime{2000};
  TCoolIncrementalSearchStart FStart{TCoolIncrementalSearchStart::eissStartOver};
  bool FSearching{false};
  TEmberItem* FSearchItem{nullptr};
  TEmberItem* FNextSearchItem{nullptr};
  String FSearchBuffer;
};

class TEmberSortManager : public TEmberOwnedPersistent {
  PF_CLASS(TEmberSortManager)
public:
  bool GetAutoSort() const { return FAutoSort; }
  void SetAutoSort(bool V);
  bool GetAutoRegroup() const { return FAutoRegroup; }
  void SetAutoRegroup(bool V);
  bool GetLockoutSort() const { return FLockoutSort; }
  void SetLockoutSort(bool V) { FLockoutSort = V; }
  // Every algorithm sorts stably (equal elements keep their order); the setting is kept for the
  // stream and the property editor.
  TEmberSortAlgorithm GetAlgorithm() const { return FAlgorithm; }
  void SetAlgorithm(TEmberSortAlgorithm V) { FAlgorithm = V; }
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate() { FUpdateCount = FUpdateCount > 0 ? FUpdateCount - 1 : 0; }
  virtual void SortAll(bool Force = false);
  virtual void ReGroup(TEmberColumn* Column);

private:
  bool FAutoRegroup{false};
  bool FAutoSort{false};
  bool FLockoutSort{false};
  Integer FUpdateCount{0};
  TEmberSortAlgorithm FAlgorithm{TEmberSortAlgorithm::esaMergeSort};
};

// The header: the columns with their display order, and its strip above the items.
class TEmberHeader : public TEmberOwnedPersistent {
  PF_CLASS(TEmberHeader)
public:
  TEmberColumns* GetColumns() const { return FColumns; }
  TFont* GetFont() const { return FFont; }
  TCustomImageList* GetImages() const { return FImages; }
  void SetImages(TCustomImageList* V) { FImages = V; }
  TColor GetColor() const { return FColor; }
  void SetColor(TColor V) { FColor = V; }
  bool GetStreamColumns() const { return FStreamColumns; }
  void SetStreamColumns(bool V) { FStreamColumns = V; }
  bool GetShowInAllViews() const { return FShowInAllViews; }
  void SetShowInAllViews(bool V) { FShowInAllViews = V; }
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool V) { FVisible = V; }
  Integer GetHeight() const { return FHeight; }
  void SetHeight(Integer V) { FHeight = V; }
  // The height the header takes at run time: 0 when it does not show in the current view.
  Integer RuntimeHeight() const;
  TEmberHeaderDragManager* GetDragManager() const { return FDragManager; }
  const TRect& GetViewRect() const { return FViewRect; }
  IUnknown* GetAccessible() const { return FAccessible.Get(); }
  void SetAccessible(ComPtr<IUnknown> Value) { FAccessible = std::move(Value); }
  // The right edge of the last column by position, 0 without columns: the width of a report row.
  Integer ViewWidth() const;
  void Invalidate(bool ImmediateUpdate);
  // The header band and its column buttons into ARect.
  virtual void PaintTo(TCanvas* ACanvas, const TRect& ARect, bool ViewCoords);

  // Columns in display order, and the visible ones among them; made by Rebuild.
  const std::vector<TEmberColumn*>& Positions() const { return FPositions; }
  const std::vector<TEmberColumn*>& VisibleColumns() const { return FVisibleColumns; }
  bool HasPositions() const { return FHasPositions; }
  void ClearPositions();
  TEmberColumn* FirstColumn() const;
  TEmberColumn* FirstVisibleColumn() const;
  void Rebuild(bool Force);

  TEmberColumn* GetHotTrackedColumn() const { return FHotTrackedColumn; }
  void SetHotTrackedColumn(TEmberColumn* V) { FHotTrackedColumn = V; }
  TEmberColumn* GetPressedColumn() const { return FPressedColumn; }
  void SetPressedColumn(TEmberColumn* V) { FPressedColumn = V; }
  TEmberColumn* GetDropDownHoverColumn() const { return FDropDownHoverColumn; }
  void SetDropDownHoverColumn(TEmberColumn* V) { FDropDownHoverColumn = V; }

  void LoadFromStream(TStream& S, Integer& Version) override;
  void SaveToStream(TStream& S, Integer Version) override;

protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberOwnedPersistent::Create;
  void Destroy() override;

private:
  TEmberColumns* FColumns{nullptr};
  TFont* FFont{nullptr};
  TCustomImageList* FImages{nullptr};
  TColor FColor{clBtnFace};
  bool FStreamColumns{true};
  bool FShowInAllViews{false};
  bool FVisible{false};
  Integer FHeight{21};
  TEmberHeaderDragManager* FDragManager{nullptr};
  TRect FViewRect;
  std::vector<TEmberColumn*> FPositions;
  std::vector<TEmberColumn*> FVisibleColumns;
  bool FHasPositions{false};
  bool FRebuilding{false};
  TEmberColumn* FHotTrackedColumn{nullptr};
  TEmberColumn* FPressedColumn{nullptr};
  TEmberColumn* FDropDownHoverColumn{nullptr};
  ComPtr<IUnknown> FAccessible;
};

// The built-in glyphs, each loaded from the program's resources on first use.
class TEmberGlobalImageManager : public TEmberOwnedPersistent {
  PF_CLASS(TEmberGlobalImageManager)
public:
  TBitmap* GetGroupExpandButton();
  void SetGroupExpandButton(TBitmap* Value);
  TBitmap* GetGroupCollapseButton();
  void SetGroupCollapseButton(TBitmap* Value);
  TBitmap* GetColumnSortUp();
  void SetColumnSortUp(TBitmap* Value);
  TBitmap* GetColumnSortDown();
  void SetColumnSortDown(TBitmap* Value);

protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberOwnedPersistent::Create;
  void Destroy() override;

private:
  TBitmap* Loaded(TBitmap* Bitmap, const char16_t* ResourceName);
  TBitmap* FGroupExpandButton{nullptr};
  TBitmap* FGroupCollapseButton{nullptr};
  TBitmap* FColumnSortUp{nullptr};
  TBitmap* FColumnSortDown{nullptr};
};

// The blender the views paint selections and thumbnails with; one instance serves the program.
class TEmberAlphaBlender : public TEmberPersistent {
  PF_CLASS(TEmberAlphaBlender)
public:
  // Blends ViewportRect of the bitmap under ACanvas with Color at Alpha, cut to the client area
  // (or, with UseScrollPostion, to the bitmap's extent as the view scrolls it).
  virtual void BasicBlend(TCustomEmberListview* Listview, TCanvas* ACanvas, TRect ViewportRect, TColor Color,
                          Byte Alpha, bool UseScrollPostion);
  // Draws Image centred in ViewportRect, blended as GetBlendParams says for Obj.
  virtual void Blend(TCustomEmberListview* Listview, TEmberCollectionItem* Obj, TCanvas* ACanvas,
                     TRect ViewportRect, TBitmap* Image);
  virtual void GetBlendParams(TCustomEmberListview* Listview, TEmberCollectionItem* Obj, Byte& BlendAlpha,
                              TColor& BlendColor, bool& DoBlend);
};

}  // namespace ember
