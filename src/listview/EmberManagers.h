#pragma once
// The control's managers, one per concern. This unit holds what the model calls of each: the
// selection count and focus, the check count, the scroll offsets and view rectangle, the header's
// columns and positions, and the references other managers keep to items and columns. Painting,
// input and dragging add to these classes.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "listview/EmberBackground.h"
#include "listview/EmberCellSizes.h"
#include "listview/EmberPaintInfo.h"
#include "listview/EmberPersistent.h"

namespace pf {
class TTimer;
}

namespace ember {

// The height of a text line in a canvas's font, remembered by the font's description while a
// rubber band moves: a band move asks it for each of the thousands of items it passes, and
// selecting the font into the DC to read its metrics each time cost more than all else the move
// does. Within one move a description always gives the same metrics.
class TEmberLineHeightMemo {
public:
  LONG Of(TCanvas* Canvas);
  static LONG Measure(TCanvas* Canvas);

private:
  struct TEntry {
    String Name;
    Integer Height{0};
    uint64_t Style{0};
    TFontCharset Charset{0};
    TFontPitch Pitch{TFontPitch::fpDefault};
    LONG Answer{0};
  };
  // A handler may give items fonts of their own; a few are kept.
  static constexpr size_t Capacity = 4;
  TEntry FEntries[Capacity];
  size_t FCount{0};
  size_t FNext{0};
};

class TEmberSelectionManager : public TEmberOwnedPersistent {
  PF_CLASS(TEmberSelectionManager)
public:
  // ---- What is selected and focused ----
  Integer GetCount() const { return FCount; }
  TEmberItem* GetFocusedItem() const { return FFocusedItem; }
  void SetFocusedItem(TEmberItem* Value);
  TEmberItem* GetAnchorItem() const { return FAnchorItem; }
  void SetAnchorItem(TEmberItem* Value);
  // The header's first column while none is set.
  TEmberColumn* GetFocusedColumn() const;
  void SetFocusedColumn(TEmberColumn* Value);
  TEmberGroup* GetFocusedGroup() const { return FFocusedGroup; }
  void SetFocusedGroup(TEmberGroup* Value) { FFocusedGroup = Value; }
  Integer GetItemsToggled() const { return FItemsToggled; }

  TEmberItem* First() const;
  TEmberItem* Next(TEmberItem* Item) const;
  void SelectedToArray(std::vector<TEmberItem*>& Items) const;
  void ClearAll();
  void ClearAllExcept(TEmberItem* Item);
  void SelectAll();
  void SelectFirst();
  void SelectRange(TEmberItem* FromItem, TEmberItem* ToItem, bool ClearFirst, bool RectSelect);
  void SelectRect(const TRect& ViewRect, bool ClearFirst);
  // The rubber band moved: the drag-rect manager's band against its previous one.
  void DragSelect(bool Toggle);
  void DragSelect(bool Toggle, TRect NewRect, TRect OldRect);

  // A batch of selection changes yields one selections-changed notice at its end.
  void IncMultiChangeCount();
  void DecMultiChangeCount();
  void GroupSelectBeginUpdate() { ++FGroupSelectUpdateCount; }
  void GroupSelectEndUpdate();
  virtual void BuildSelectionGroupings(bool Force);

  // Told by the items' own selection changes.
  void GainingSelection(TEmberItem* Item);
  void LosingSelection(TEmberItem* Item);
  // While a walk over all items runs, items do not repaint one by one: the walk repaints the
  // control once at its end.
  bool ItemRepaintsHeld() const { return FRepaintHold > 0; }
  // While a band move runs, the line heights its hit tests measure.
  TEmberLineHeightMemo* BandLineHeights() const { return FBandLineHeights; }

  // ---- Settings ----
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  bool GetMultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool Value);
  bool GetGroupSelections() const { return FGroupSelections; }
  void SetGroupSelections(bool Value);
  bool GetFullRowSelect() const { return FFullRowSelect; }
  void SetFullRowSelect(bool Value) { FFullRowSelect = Value; }
  TCommonMouseButtons GetMouseButton() const { return FMouseButton; }
  void SetMouseButton(TCommonMouseButtons Value) { FMouseButton = Value; }
  bool GetRectSelect() const { return FRectSelect; }
  void SetRectSelect(bool Value) { FRectSelect = Value; }
  bool GetPopupMode() const { return FPopupMode; }
  void SetPopupMode(bool Value) { FPopupMode = Value; }
  bool GetResizeGroupOnFocus() const { return FResizeGroupOnFocus; }
  void SetResizeGroupOnFocus(bool Value) { FResizeGroupOnFocus = Value; }
  bool GetUseFocusRect() const { return FUseFocusRect; }
  void SetUseFocusRect(bool Value) { FUseFocusRect = Value; }

  // How item views paint the selection; the ones marked so repaint the control on a change.
  bool GetAlphaBlend() const { return FAlphaBlend; }
  void SetAlphaBlend(bool Value) { FAlphaBlend = Value; }
  bool GetAlphaBlendSelRect() const { return FAlphaBlendSelRect; }
  void SetAlphaBlendSelRect(bool Value) { FAlphaBlendSelRect = Value; }
  Byte GetBlendAlphaImage() const { return FBlendAlphaImage; }
  void SetBlendAlphaImage(Byte Value) { FBlendAlphaImage = Value; }
  Byte GetBlendAlphaSelRect() const { return FBlendAlphaSelRect; }
  void SetBlendAlphaSelRect(Byte Value) { FBlendAlphaSelRect = Value; }
  Byte GetBlendAlphaTextRect() const { return FBlendAlphaTextRect; }
  void SetBlendAlphaTextRect(Byte Value) { FBlendAlphaTextRect = Value; }
  TColor GetBlendColorIcon() const { return FBlendColorIcon; }
  TColor GetBlendColorSelRect() const { return FBlendColorSelRect; }
  void SetBlendColorSelRect(TColor Value) { FBlendColorSelRect = Value; }
  bool GetBlendIcon() const { return FBlendIcon; }
  void SetBlendIcon(bool Value);                // repaints
  bool GetBlurAlphaBkGnd() const { return FBlurAlphaBkGnd; }
  void SetBlurAlphaBkGnd(bool Value);           // repaints
  TColor GetBorderColor() const { return FBorderColor; }
  void SetBorderColor(TColor Value) { FBorderColor = Value; }
  TColor GetBorderColorSelRect() const { return FBorderColorSelRect; }
  void SetBorderColorSelRect(TColor Value) { FBorderColorSelRect = Value; }
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value) { FColor = Value; }
  bool GetForceDefaultBlend() const { return FForceDefaultBlend; }
  void SetForceDefaultBlend(bool Value) { FForceDefaultBlend = Value; }
  bool GetFullCellPaint() const { return FFullCellPaint; }
  void SetFullCellPaint(bool Value);            // repaints
  bool GetFullItemPaint() const { return FFullItemPaint; }
  void SetFullItemPaint(bool Value);            // repaints
  bool GetGradient() const { return FGradient; }
  void SetGradient(bool Value);                 // repaints
  TColor GetGradientColorBottom() const { return FGradientColorBottom; }
  void SetGradientColorBottom(TColor Value);    // repaints
  TColor GetGradientColorTop() const { return FGradientColorTop; }
  void SetGradientColorTop(TColor Value);       // repaints
  TColor GetInactiveBorderColor() const { return FInactiveBorderColor; }
  void SetInactiveBorderColor(TColor Value) { FInactiveBorderColor = Value; }
  TColor GetInactiveColor() const { return FInactiveColor; }
  void SetInactiveColor(TColor Value) { FInactiveColor = Value; }
  TColor GetInactiveTextColor() const { return FInactiveTextColor; }
  void SetInactiveTextColor(TColor Value) { FInactiveTextColor = Value; }
  bool GetRoundRect() const { return FRoundRect; }
  void SetRoundRect(bool Value) { FRoundRect = Value; }
  Byte GetRoundRectRadius() const { return FRoundRectRadius; }
  void SetRoundRectRadius(Byte Value) { FRoundRectRadius = Value; }
  TColor GetTextColor() const { return FTextColor; }
  void SetTextColor(TColor Value) { FTextColor = Value; }

  // Kept by the rubber band's manager, only passed on from here.
  bool GetAutoScroll() const;
  void SetAutoScroll(bool Value);
  Byte GetAutoScrollAccelerator() const;
  void SetAutoScrollAccelerator(Byte Value);
  Integer GetAutoScrollDelay() const;
  void SetAutoScrollDelay(Integer Value);
  Integer GetAutoScrollMargin() const;
  void SetAutoScrollMargin(Integer Value);
  Integer GetAutoScrollTime() const;
  void SetAutoScrollTime(Integer Value);
  bool GetEnableDragSelect() const;
  void SetEnableDragSelect(bool Value);
  TCommonMouseButtons GetMouseButtonSelRect() const;
  void SetMouseButtonSelRect(TCommonMouseButtons Value);

protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberOwnedPersistent::Create;

private:
  // Selects or clears every item but `Except`.
  void Walk(bool Select, TEmberItem* Except);
  void NotifyToggle();
  void RepaintSetting();
  void ApplyDragSelect(TEmberItem* Item, bool Toggle, const TRect& NewRect, const TRect& OldRect);

  bool FAlphaBlend{false};
  bool FAlphaBlendSelRect{false};
  Byte FBlendAlphaImage{128};
  Byte FBlendAlphaSelRect{70};
  Byte FBlendAlphaTextRect{128};
  TColor FBlendColorIcon{clHighlight};
  TColor FBlendColorSelRect{clHighlight};
  bool FBlendIcon{true};
  bool FBlurAlphaBkGnd{false};
  TColor FBorderColor{clHighlight};
  TColor FBorderColorSelRect{clHighlight};
  TColor FColor{clHighlight};
  Integer FCount{0};
  TEmberColumn* FFocusedColumn{nullptr};
  TEmberItem* FFocusedItem{nullptr};
  TEmberItem* FAnchorItem{nullptr};
  TEmberGroup* FFocusedGroup{nullptr};
  bool FEnabled{true};
  bool FForceDefaultBlend{false};
  bool FFullCellPaint{false};
  bool FFullItemPaint{false};
  bool FFullRowSelect{false};
  bool FGradient{false};
  TColor FGradientColorBottom{0xFCEFD5};
  TColor FGradientColorTop{0xFDF8F1};
  bool FGroupSelections{false};
  Integer FGroupSelectUpdateCount{0};
  TColor FInactiveBorderColor{clInactiveBorder};
  TColor FInactiveColor{clInactiveBorder};
  TColor FInactiveTextColor{clBlack};
  Integer FItemsToggled{0};
  TCommonMouseButtons FMouseButton{common::TCommonMouseButton::cmbLeft};
  Integer FMultiChangeCount{0};
  bool FMultiSelect{false};
  bool FPopupMode{false};
  bool FRectSelect{false};
  bool FResizeGroupOnFocus{false};
  bool FRoundRect{false};
  Byte FRoundRectRadius{4};
  TColor FTextColor{clHighlightText};
  bool FUseFocusRect{true};
  Integer FRepaintHold{0};
  TEmberLineHeightMemo* FBandLineHeights{nullptr};
  // The last band move: its band and Ctrl state, while no other change to the selection followed.
  bool FBandMoved{false};
  bool FBandToggle{false};
  TRect FBandRect;
  bool FBandSelecting{false};
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

// The virtual canvas the groups are laid out on, the window's offsets over it and the window's
// scroll bars.
class TEmberScrollbarManager : public TEmberOwnedPersistent {
  PF_CLASS(TEmberScrollbarManager)
public:
  Integer GetOffsetX() const { return FOffsetX; }
  Integer GetOffsetY() const { return FOffsetY; }
  // Through Scroll, by the difference to the current offset.
  void SetOffsetX(Integer Value);
  void SetOffsetY(Integer Value);
  const TRect& GetViewRect() const { return FViewRect; }
  void SetViewRect(const TRect& Value, bool ForceInvalidate);
  bool GetHorzEnabled() const { return FHorzEnabled; }
  void SetHorzEnabled(bool Value);
  bool GetVertEnabled() const { return FVertEnabled; }
  void SetVertEnabled(bool Value);
  bool GetSnapHorzView() const { return FSnapHorzView; }
  void SetSnapHorzView(bool Value) { FSnapHorzView = Value; }

  // ---- Derived values ----
  Integer ViewWidth() const { return FViewRect.Right - FViewRect.Left; }
  Integer ViewHeight() const { return FViewRect.Bottom - FViewRect.Top; }
  // The window's WS_HSCROLL / WS_VSCROLL style bits.
  bool HorzBarVisible() const;
  bool VertBarVisible() const;
  // The first group's cell height, in both directions.
  Integer LineStep() const;
  // Horizontal views scroll by whole cells of this width: the film strip's cell in the film strip
  // view, the list's otherwise, so that the film strip never ends between two cells.
  Integer SnapWidth() const;
  Integer MaxOffsetX() const;
  Integer MaxOffsetY() const;
  // Page Up and Page Down: the rows of cells a page of the client area below the header holds (at
  // least one), and the offset a page up or down reaches, both by arithmetic alone.
  Integer RowsPerPage() const;
  Integer PageOffsetY(bool Down) const;

  TPoint MapWindowToView(TPoint WindowPt, bool CorrectForHeader = true) const;
  TPoint MapWindowToView(TSmallPoint WindowPt, bool CorrectForHeader = true) const;
  TRect MapWindowRectToViewRect(const TRect& R, bool CorrectForHeader = true) const;
  TPoint MapViewToWindow(TPoint ViewPt, bool CorrectForHeader = true) const;
  TRect MapViewRectToWindowRect(const TRect& R, bool CorrectForHeader = true) const;

  void ReCalculateScrollbars(bool Redraw, bool Force);
  void ValidateOffsets(Integer& X, Integer& Y) const;
  void Scroll(Integer DeltaX, Integer DeltaY);
  void WMHScroll(TMessage& Msg);
  void WMVScroll(TMessage& Msg);

private:
  Integer HeaderHeight() const;
  void InvalidateControl();
  bool FHorzEnabled{true};
  Integer FOffsetX{0};
  Integer FOffsetY{0};
  bool FRebuilding{false};
  bool FSnapHorzView{true};
  bool FVertEnabled{true};
  TRect FViewRect;
};

// Drag managers: the base keeps the switch that registers the window as a drop target, the
// auto-scroll settings of a drag and the template of a drag's steps, which each manager fills in.
enum class TEmberDragManagerState { edmsDragging, edmsAutoScrolling };
using TEmberDragManagerStates = TSet<TEmberDragManagerState>;
// An OLE drag through the platform's drag loop, or the class library's own drag.
enum class TEmberDragType { edtOLE, edtVCL };

class TCustomEmberDragManagerBase : public TEmberOwnedPersistent {
  PF_CLASS(TCustomEmberDragManagerBase)
public:
  bool GetEnabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value);
  bool GetAutoScroll() const { return FAutoScroll; }
  void SetAutoScroll(bool V) { FAutoScroll = V; }
  Byte GetAutoScrollAccelerator() const { return FAutoScrollAccelerator; }
  void SetAutoScrollAccelerator(Byte V) { FAutoScrollAccelerator = V; }
  Integer GetAutoScrollDelay() const { return FAutoScrollDelay; }
  void SetAutoScrollDelay(Integer V) { FAutoScrollDelay = V; }
  Integer GetAutoScrollMargin() const { return FAutoScrollMargin; }
  void SetAutoScrollMargin(Integer V) { FAutoScrollMargin = V; }
  Integer GetAutoScrollTime() const { return FAutoScrollTime; }
  void SetAutoScrollTime(Integer V) { FAutoScrollTime = V; }
  TCommonMouseButtons GetMouseButton() const { return FMouseButton; }
  void SetMouseButton(TCommonMouseButtons V) { FMouseButton = V; }
  TEmberDragManagerStates GetDragState() const { return FDragState; }
  bool Dragging() const { return FDragState.Contains(TEmberDragManagerState::edmsDragging); }
  TCommonKeyStates GetLastKeyState() const { return FLastKeyState; }
  IDataObject* GetDataObject() const { return FDataObject.Get(); }
  // The window is registered with the platform as a drop target (once, while the window exists).
  bool GetRegistered() const { return FRegistered; }
  void SetRegistered(bool Value);

  // The steps of a drag: the source side starts it, the target side hears it enter, move, drop
  // or leave. Entering arms the auto-scroll timer; a move in an edge zone runs it, a move out of
  // the zones stops it; the drop and the end free it.
  virtual void BeginDrag(TPoint WindowPt, TCommonKeyStates Keys);
  void DragEnter(IDataObject* DataObject, TCommonKeyStates Keys, TPoint WindowPt, TCommonDropEffect& Effect);
  void Drag(TCommonKeyStates Keys, TPoint WindowPt, TCommonDropEffect& Effect);
  virtual void DragDrop(TCommonKeyStates Keys, TPoint WindowPt, TCommonDropEffect& Effect);
  virtual void DragEnd(TCommonKeyStates Keys, TPoint WindowPt);
  // One of the pressed buttons in `KeyState` may start a drag.
  bool ButtonAllowed(TCommonKeyStates KeyState) const;
  // A key pressed while the drag runs scrolls the view.
  virtual void WMKeyDown(TMessage& Msg);
  // One auto-scroll step toward the zones the cursor is in, once the delay has passed.
  virtual void AutoScrollWindow();
  bool GetAutoScrollDelayMet() const { return FAutoScrollDelayMet; }
  // The timer runs: the cursor stayed in a zone since the last step or since the drag came in.
  bool AutoScrollTimerRunning() const;

protected:
  void Destroy() override;
  virtual void DoAfterAutoScroll() {}
  virtual void DoBeforeAutoScroll() {}
  // Scrolls the view by the deltas and lets the control see the mouse where it now is.
  virtual void DoAutoScroll(Integer DeltaX, Integer DeltaY);
  // The edge zones that scroll (none in the base) and how far the point lies past each zone's
  // margin line.
  virtual bool ScrollDown(TPoint /*WindowPt*/) { return false; }
  virtual bool ScrollLeft(TPoint /*WindowPt*/) { return false; }
  virtual bool ScrollRight(TPoint /*WindowPt*/) { return false; }
  virtual bool ScrollUp(TPoint /*WindowPt*/) { return false; }
  virtual Integer ScrollDeltaDown(TPoint WindowPt);
  virtual Integer ScrollDeltaLeft(TPoint WindowPt);
  virtual Integer ScrollDeltaRight(TPoint WindowPt);
  virtual Integer ScrollDeltaUp(TPoint WindowPt);
  virtual void DoAfterScroll() {}
  virtual void HandleTimer();
  virtual void DoDrag(TCommonKeyStates /*Keys*/, TPoint /*WindowPt*/, TCommonDropEffect& /*Effect*/) {}
  virtual void DoDragBegin(TPoint /*WindowPt*/, TCommonKeyStates /*Keys*/) {}
  virtual void DoDragDrop(TPoint /*WindowPt*/, TCommonKeyStates /*Keys*/, TCommonDropEffect& /*Effect*/) {}
  virtual void DoDragEnd(TPoint /*WindowPt*/, TCommonKeyStates /*Keys*/) {}
  virtual void DoDragEnter(IDataObject* /*DataObject*/, TPoint /*WindowPt*/, TCommonKeyStates /*Keys*/,
                           TCommonDropEffect& /*Effect*/) {}
  virtual void DoGetDragImage(TBitmap* /*Bitmap*/, TPoint /*DragStartPt*/, TPoint& /*HotSpot*/,
                              TColor& /*TransparentColor*/, bool& /*Handled*/) {}
  virtual void DoOLEDragEnd(IDataObject* /*DataObject*/, TCommonOLEDragResult /*DragResult*/,
                            TCommonDropEffects /*ResultEffect*/, TCommonKeyStates /*Keys*/) {}
  virtual void DoOLEDragStart(IDataObject* /*DataObject*/, TCommonDropEffects& /*AvailableEffects*/,
                              bool& /*AllowDrag*/) {}
  virtual void DoEnable(bool /*Value*/) {}
  virtual void VCLDragStart() {}
  void SetDataObject(IDataObject* Value) { FDataObject = ComPtr<IDataObject>(Value); }
  TEmberDragManagerStates FDragState;
  // A step sends the control a mouse move, whose handlers may free the control and its managers.
  std::shared_ptr<bool> FAlive{std::make_shared<bool>(true)};

private:
  bool FEnabled{false};
  bool FAutoScroll{true};
  Byte FAutoScrollAccelerator{2};
  Integer FAutoScrollDelay{500};
  Integer FAutoScrollMargin{15};
  Integer FAutoScrollTime{50};
  ComPtr<IDataObject> FDataObject;
  TCommonKeyStates FLastKeyState;
  TCommonMouseButtons FMouseButton{common::TCommonMouseButton::cmbLeft};
  bool FRegistered{false};
  // Lives from the drag's entry to its drop or end.
  TTimer* FTimer{nullptr};
  bool FAutoScrollDelayMet{false};
  void EnsureTimer();
  void FreeTimer();
  // Out of the zones: stopped, and the next entry waits the whole delay again.
  void StopAutoScrollTimer();
};
// The rubber band: its anchor and moving corner in view coordinates, and the band of the last move.
class TEmberDragRectManager : public TCustomEmberDragManagerBase {
  PF_CLASS(TEmberDragRectManager)
public:
  TPoint GetAnchorPoint() const { return FAnchorPoint; }
  void SetAnchorPoint(TPoint P) { FAnchorPoint = P; }
  TPoint GetDragPoint() const { return FDragPoint; }
  void SetDragPoint(TPoint P) { FDragPoint = P; }
  const TRect& GetPrevRect() const { return FPrevRect; }
  void SetPrevRect(const TRect& R) { FPrevRect = R; }
  // The ordered rectangle of anchor and drag point; a zero width or height is widened to 1.
  TRect SelectionRect() const;
  // The band over the window's client area, below a shown header.
  void PaintSelectionRect(TCanvas* ACanvas);

protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TCustomEmberDragManagerBase::Create;
  // Ready to band from the point: enabled, and a pressed button may start one.

public:
  virtual bool InitializeDrag(TPoint WindowPt, TCommonKeyStates KeyState);
  virtual void FinalizeDrag();

protected:
  void DoDragBegin(TPoint WindowPt, TCommonKeyStates Keys) override;
  void DoDrag(TCommonKeyStates Keys, TPoint WindowPt, TCommonDropEffect& Effect) override;
  void DoDragEnd(TPoint WindowPt, TCommonKeyStates Keys) override;
  void DoBeforeAutoScroll() override;
  void DoAfterScroll() override;
  // Every edge scrolls, while the view can still move that way.
  bool ScrollDown(TPoint WindowPt) override;
  bool ScrollLeft(TPoint WindowPt) override;
  bool ScrollRight(TPoint WindowPt) override;
  bool ScrollUp(TPoint WindowPt) override;

private:
  TPoint FAnchorPoint;
  TPoint FDragPoint;
  TPoint FOldOffsets;
  TRect FPrevRect;
};
// Drags columns of the header to new places; the base of the item drag too, which shares the start
// of an OLE drag.
class TEmberHeaderDragManager : public TCustomEmberDragManagerBase {
  PF_CLASS(TEmberHeaderDragManager)
public:
  TEmberHeader* GetHeader() const { return FHeader; }
  void SetHeader(TEmberHeader* Value) { FHeader = Value; }
  TEmberColumn* GetColumn() const { return FColumn; }
  void SetColumn(TEmberColumn* Value) { FColumn = Value; }
  TEmberColumn* GetTargetColumn() const { return FTargetColumn; }
  bool GetAllowDrop() const { return FAllowDrop; }
  // The control's own drag cursor.
  TCursor GetDragCursor() const;
  void SetDragCursor(TCursor Value);
  Integer GetDragImageWidth() const { return FDragImageWidth; }
  void SetDragImageWidth(Integer V) { FDragImageWidth = V; }
  Integer GetDragImageHeight() const { return FDragImageHeight; }
  void SetDragImageHeight(Integer V) { FDragImageHeight = V; }
  TDragMode GetDragMode() const { return FDragMode; }
  void SetDragMode(TDragMode V) { FDragMode = V; }
  TEmberDragType GetDragType() const { return FDragType; }
  void SetDragType(TEmberDragType Value);
  bool GetEnableDragImage() const { return FEnableDragImage; }
  void SetEnableDragImage(bool V) { FEnableDragImage = V; }
  // Forgets a column that is going away.
  void ColumnFreeing(TEmberColumn* Column);

  virtual void DefaultImage(TObject* Sender, TBitmap* Image, TPoint DragStartPt, TPoint& HotSpot,
                            TColor& TransparentColor, bool& Handled);
  virtual void GetDragImageSize(Integer& Width, Integer& Height);

protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TCustomEmberDragManagerBase::Create;
  void DoDrag(TCommonKeyStates Keys, TPoint WindowPt, TCommonDropEffect& Effect) override;
  void DoDragBegin(TPoint WindowPt, TCommonKeyStates Keys) override;
  void DoDragDrop(TPoint WindowPt, TCommonKeyStates Keys, TCommonDropEffect& Effect) override;
  void DoDragEnd(TPoint WindowPt, TCommonKeyStates Keys) override;
  void DoDragEnter(IDataObject* DataObject, TPoint WindowPt, TCommonKeyStates Keys, TCommonDropEffect& Effect) override;
  void DoOLEDragEnd(IDataObject* DataObject, TCommonOLEDragResult DragResult, TCommonDropEffects ResultEffect,
                    TCommonKeyStates Keys) override;
  void DoOLEDragStart(IDataObject* DataObject, TCommonDropEffects& AvailableEffects, bool& AllowDrag) override;
  // The data object a drag hands to the platform; the item drag may take the application's own.
  virtual ComPtr<IDataObject> MakeDataObject();
  void SetTargetColumn(TEmberColumn* Value);
  // Columns scroll by the left and right edges, in the views whose header holds them.
  bool ScrollLeft(TPoint WindowPt) override;
  bool ScrollRight(TPoint WindowPt) override;
  // What paints a drag's image when the application's handler does not: this manager's
  // DefaultImage, unless a descendant puts another painter here.
  using TDefaultImageEvent =
      std::function<void(TObject* Sender, TBitmap* Image, TPoint DragStartPt, TPoint& HotSpot,
                         TColor& TransparentColor, bool& Handled)>;
  TDefaultImageEvent FDefaultImageEvent;

private:
  bool FAllowDrop{false};
  TEmberColumn* FColumn{nullptr};
  Integer FDragImageWidth{200};
  Integer FDragImageHeight{300};
  TDragMode FDragMode{TDragMode::dmManual};
  TEmberDragType FDragType{TEmberDragType::edtOLE};
  bool FEnableDragImage{true};
  TEmberHeader* FHeader{nullptr};
  TEmberColumn* FTargetColumn{nullptr};
  // The column the data object of the current drag names, read once at its entry.
  TEmberColumn* FDropColumn{nullptr};
};
// Where a drag over the list would drop its items: before or after an item, or into a group
// through its header band. Its rectangle is in view coordinates.
class TEmberInsertMark : public TEmberPersistent {
  PF_CLASS(TEmberInsertMark)
public:
  bool GetAutoMove() const { return FAutoMove; }
  void SetAutoMove(bool V) { FAutoMove = V; }
  bool GetCenterMark() const { return FCenterMark; }
  void SetCenterMark(bool V) { FCenterMark = V; }
  TColor GetColor() const { return FColor; }
  void SetColor(TColor V) { FColor = V; }
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool V) { FEnabled = V; }
  bool GetReSelectAfterMove() const { return FReSelectAfterMove; }
  void SetReSelectAfterMove(bool V) { FReSelectAfterMove = V; }
  Integer GetWidth() const { return FWidth; }
  void SetWidth(Integer V) { FWidth = V; }
  const TRect& GetDisplayRect() const { return FDisplayRect; }
  void SetDisplayRect(const TRect& R) { FDisplayRect = R; }
  TEmberInsertMarkerDir GetDropMarkerDir() const { return FDropMarkerDir; }
  void SetDropMarkerDir(TEmberInsertMarkerDir V) { FDropMarkerDir = V; }
  TEmberInsertKind GetPosition() const { return FPosition; }
  void SetPosition(TEmberInsertKind V) { FPosition = V; }
  TEmberCollectionItem* GetTarget() const { return FTarget; }
  void SetTarget(TEmberCollectionItem* V) { FTarget = V; }
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool V) { FVisible = V; }

private:
  bool FAutoMove{true};
  TColor FColor{clBlack};
  TRect FDisplayRect;
  TEmberInsertMarkerDir FDropMarkerDir{TEmberInsertMarkerDir::dmdHorz};
  bool FEnabled{false};
  TEmberInsertKind FPosition{TEmberInsertKind::eipNone};
  bool FReSelectAfterMove{true};
  TEmberCollectionItem* FTarget{nullptr};
  bool FVisible{false};
  Integer FWidth{2};
  bool FCenterMark{true};
};

class TEmberOLEDragManager : public TEmberHeaderDragManager {
  PF_CLASS(TEmberOLEDragManager)
public:
  // Switching the item drag on or off registers the window as a drop target or revokes it.
  void SetEnabled(bool Value) override;
  TEmberInsertMark* GetInsertMark() const { return FInsertMark; }
  bool GetHilightDropTarget() const { return FHilightDropTarget; }
  void SetHilightDropTarget(bool V) { FHilightDropTarget = V; }
  // A drag is over this control now.
  bool GetDragTarget() const { return FDragTarget; }
  TPoint GetDragAnchorPt() const { return FDragAnchorPt; }
  void SetDragAnchorPt(TPoint P) { FDragAnchorPt = P; }

  // The drop: the selected items go to the insert mark when the drag is this control's own; then
  // the drag ends as every drag does.
  void DragDrop(TCommonKeyStates Keys, TPoint WindowPt, TCommonDropEffect& Effect) override;
  // Forgets an item or group that is going away.
  void ObjectFreeing(TEmberCollectionItem* Obj);
  // The mark leaves the view: its area is repainted and it points nowhere.
  void HideInsertMark();
  // The image of the items under the drag start, as the control paints them.
  void DefaultImage(TObject* Sender, TBitmap* Image, TPoint DragStartPt, TPoint& HotSpot, TColor& TransparentColor,
                    bool& Handled) override;

protected:
  // Items scroll by the top and bottom edges only.
  bool ScrollDown(TPoint WindowPt) override;
  bool ScrollUp(TPoint WindowPt) override;
  bool ScrollLeft(TPoint) override { return false; }
  bool ScrollRight(TPoint) override { return false; }
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberHeaderDragManager::Create;
  void Destroy() override;
  void DoDrag(TCommonKeyStates Keys, TPoint WindowPt, TCommonDropEffect& Effect) override;
  void DoDragEnter(IDataObject* DataObject, TPoint WindowPt, TCommonKeyStates Keys, TCommonDropEffect& Effect) override;
  void DoDragDrop(TPoint WindowPt, TCommonKeyStates Keys, TCommonDropEffect& Effect) override;
  void DoDragEnd(TPoint WindowPt, TCommonKeyStates Keys) override;
  void DoGetDragImage(TBitmap* Bitmap, TPoint DragStartPt, TPoint& HotSpot, TColor& TransparentColor,
                      bool& Handled) override;
  void DoOLEDragEnd(IDataObject* DataObject, TCommonOLEDragResult DragResult, TCommonDropEffects ResultEffect,
                    TCommonKeyStates Keys) override;
  void DoOLEDragStart(IDataObject* DataObject, TCommonDropEffects& AvailableEffects, bool& AllowDrag) override;
  void VCLDragStart() override;
  ComPtr<IDataObject> MakeDataObject() override;

public:
  TEmberCollectionItem* GetDropTarget() const { return FDropTarget; }
  void SetDropTarget(TEmberCollectionItem* Value);
  TEmberItem* GetDragItem() const { return FDragItem; }
  void SetDragItem(TEmberItem* Value) { FDragItem = Value; }
  // Holds the item when enabled, a pressed button may drag and the point hits the item.
  virtual bool InitializeDrag(TEmberItem* HitItem, TPoint WindowPt, TCommonKeyStates KeyState);
  virtual void FinalizeDrag() { FDragItem = nullptr; }

private:
  // Places the mark at an item under the point, or takes it away when the point is in no zone.
  void PlaceInsertMark(TEmberItem* Item, TPoint ViewPt);
  void MoveToInsertMark();
  TPoint FDragAnchorPt;
  bool FDragTarget{false};
  TEmberCollectionItem* FDropTarget{nullptr};
  TEmberItem* FDragItem{nullptr};
  bool FHilightDropTarget{true};
  TEmberInsertMark* FInsertMark{nullptr};
};

// The control's side of the platform's drag loop: the target the window is registered with, which
// hands a drag to the header's manager when it carries the column format and to the item drag
// otherwise; the source that decides when a drag of ours drops; the data object a drag of ours
// hands out when the application gives none.
class TEmberDropTargetManager : public TEmberOwnedInterfacedPersistent, public IDropTarget {
  PF_CLASS(TEmberDropTargetManager)
public:
  HRESULT QueryInterface(REFIID iid, void** out) override { return TEmberInterfacedPersistent::QueryInterface(iid, out); }
  ULONG AddRef() override { return TEmberInterfacedPersistent::AddRef(); }
  ULONG Release() override { return TEmberInterfacedPersistent::Release(); }
  HRESULT DragEnter(IDataObject* DataObject, DWORD KeyState, TPoint Pt, DWORD* Effect) override;
  HRESULT DragOver(DWORD KeyState, TPoint Pt, DWORD* Effect) override;
  HRESULT DragLeave() override;
  HRESULT Drop(IDataObject* DataObject, DWORD KeyState, TPoint Pt, DWORD* Effect) override;
  TCustomEmberDragManagerBase* GetDragManager() const { return FDragManager; }
  // The platform's drop-target helper, made on the first drag over the control; nil when the
  // platform has none.
  IDropTargetHelper* GetDropTargetHelper() const { return FDropTargetHelper.Get(); }

protected:
  bool ImplementsInterface(REFIID iid, void** out) override;

private:
  TPoint ClientPoint(TPoint ScreenPt) const;
  IDropTargetHelper* DropTargetHelper();
  TCustomEmberDragManagerBase* FDragManager{nullptr};
  ComPtr<IDropTargetHelper> FDropTargetHelper;
  bool FHelperAsked{false};
};

class TEmberDropSourceManager : public TEmberOwnedInterfacedPersistent, public IDropSource {
  PF_CLASS(TEmberDropSourceManager)
public:
  HRESULT QueryInterface(REFIID iid, void** out) override { return TEmberInterfacedPersistent::QueryInterface(iid, out); }
  ULONG AddRef() override { return TEmberInterfacedPersistent::AddRef(); }
  ULONG Release() override { return TEmberInterfacedPersistent::Release(); }
  HRESULT QueryContinueDrag(BOOL EscapePressed, DWORD KeyState) override;
  HRESULT GiveFeedback(DWORD Effect) override;

protected:
  bool ImplementsInterface(REFIID iid, void** out) override;
};

class TEmberDataObjectManager : public common::TCommonDataObject {
  PF_CLASS(TEmberDataObjectManager)
public:
  static TEmberDataObjectManager* Make(TCustomEmberListview* AListview);
  TCustomEmberListview* GetListview() const { return FListview; }
  void SetListview(TCustomEmberListview* Value) { FListview = Value; }

protected:
  void DoGetCustomFormats(DWORD Direction, common::TFormatEtcArray& Formats) override;
  void DoGetData(const FORMATETC& FormatEtcIn, STGMEDIUM& Medium, bool& Handled) override;
  void DoQueryGetData(const FORMATETC& FormatEtcIn, bool& FormatAvailable, bool& Handled) override;

private:
  TCustomEmberListview* FListview{nullptr};
};

// The column drag's record in the data object: our own layout, versioned, naming this process (by
// its id and a random token drawn at start-up), the control and the column. A drop reads it only
// when the block is large enough and every field matches.
namespace headerdrag {
constexpr uint32_t Magic = 0x48564C45;  // "ELVH"
constexpr uint32_t Version = 1;
constexpr size_t RecordSize = 40;
uint64_t ProcessToken();
std::vector<Byte> Encode(TCustomEmberListview* Control, Integer ColumnIndex);
// The column index when the block is a record of this process for this control; -1 otherwise.
Integer Decode(const Byte* Data, size_t Size, TCustomEmberListview* Control);
}  // namespace headerdrag

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
  TEmberIncrementalSearchStates GetState() const { return FState; }
  bool Searching() const { return FState.Contains(TEmberIncrementalSearchState::eissSearching); }
  bool TimerRunning() const { return FState.Contains(TEmberIncrementalSearchState::eissTimerRunning); }
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
  TEmberIncrementalSearchStates FState;
  TEmberItem* FSearchItem{nullptr};
  TEmberItem* FNextSearchItem{nullptr};
  String FSearchBuffer;
};

class TEmberSorter;
class TEmberSortManager : public TEmberOwnedPersistent {
  PF_CLASS(TEmberSortManager)
public:
  bool GetAutoSort() const { return FAutoSort; }
  void SetAutoSort(bool V);
  bool GetAutoRegroup() const { return FAutoRegroup; }
  void SetAutoRegroup(bool V);
  bool GetLockoutSort() const { return FLockoutSort; }
  void SetLockoutSort(bool V) { FLockoutSort = V; }
  TEmberSortAlgorithm GetAlgorithm() const { return FAlgorithm; }
  // A new algorithm replaces the sorter with one of its class.
  void SetAlgorithm(TEmberSortAlgorithm V);
  TEmberSorter* GetSorter() const { return FSorter; }
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate() { FUpdateCount = FUpdateCount > 0 ? FUpdateCount - 1 : 0; }
  virtual void SortAll(bool Force = false);
  virtual void ReGroup(TEmberColumn* Column);
  // The default comparison of two elements by their captions at the column's position, negated
  // for a descending column. While a sort runs each element's caption is read once: captions of
  // virtual items come from the application's handler, and a list of thousands would otherwise
  // ask it for each caption again at every comparison.
  Integer DefaultCompare(TEmberColumn* Column, TEmberCollectionItem* Item1, TEmberCollectionItem* Item2);
  // A sorter names the two elements it is about to compare with their places in the collection
  // before the sort, so that their captions read earlier are found without reading the elements
  // themselves: in a sort of many groups each one read costs a trip to memory.
  void CompareHint(const TEmberCollection* Collection, const TEmberCollectionItem* A, Integer IndexA,
                   const TEmberCollectionItem* B, Integer IndexB) {
    const bool ours = FSorting && Collection == FSortCollection;
    FHintA = ours ? A : nullptr;
    FHintB = ours ? B : nullptr;
    FHintIndexA = IndexA;
    FHintIndexB = IndexB;
  }

protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberOwnedPersistent::Create;
  void Destroy() override;

private:
  // The slot of the caption of an element of the collection being sorted, read on first use; -1
  // with the caption in Scratch for an element the collection does not hold.
  Integer SortCaptionSlot(TEmberCollectionItem* Item, Integer Index, String& Scratch);
  // A caption read, followed by a NUL in the text of the captions.
  std::u16string_view SortCaptionText(Integer Slot) const {
    const TCaptionSpan s = FSortSpans[static_cast<size_t>(Slot)];
    return std::u16string_view(FSortText.data() + s.Start, s.Length);
  }
  // Keeps a caption read for the slot; false when the text of the captions cannot take it.
  bool KeepSortCaption(size_t Slot, std::u16string_view Caption);
  // The caption already read of one of the two elements the sorter named.
  bool HintedSortCaption(const TEmberCollectionItem* Item, std::u16string_view& Caption) const {
    const Integer k = Item == FHintA ? FHintIndexA : Item == FHintB ? FHintIndexB : -1;
    if (k < 0 || static_cast<size_t>(k) >= FSortSpans.size() || FSortSpans[static_cast<size_t>(k)].Length == NotRead)
      return false;
    Caption = SortCaptionText(k);
    return true;
  }
  // DefaultCompare for elements whose captions the sorter did not name, or outside a sort: the
  // texts it may need to make stay out of the named comparisons' way.
  [[gnu::noinline]] Integer CompareCaptionsRead(TEmberColumn* Column, TEmberCollectionItem* Item1,
                                                TEmberCollectionItem* Item2);
  void BeginSortCaptions(TEmberCollection* Collection);
  void ReadCaptionsAhead(Integer Index);
  bool FAutoRegroup{false};
  bool FAutoSort{false};
  bool FLockoutSort{false};
  Integer FUpdateCount{0};
  TEmberSortAlgorithm FAlgorithm{TEmberSortAlgorithm::esaMergeSort};
  TEmberSorter* FSorter{nullptr};
  // The captions read during the running sort, one after the other with a NUL after each, and
  // where each element's caption lies in them by the element's index in its collection (the
  // sorters leave the collection as it is until they are done). A string per element took a block
  // for every caption too long to fit in its string, and 32 bytes per element of new pages.
  struct TCaptionSpan {
    uint32_t Start;
    uint32_t Length;
  };
  static constexpr uint32_t NotRead = UINT32_MAX;
  bool FSorting{false};
  TEmberCollection* FSortCollection{nullptr};
  String FSortText;
  std::vector<TCaptionSpan> FSortSpans;
  bool FSortCaptionsAhead{false};
  const TEmberCollectionItem* FHintA{nullptr};
  const TEmberCollectionItem* FHintB{nullptr};
  Integer FHintIndexA{-1};
  Integer FHintIndexB{-1};
};

// The header: the columns with their display order, their row above the items, and the mouse over
// it (sorting clicks, resizing at a divider, dragging a column to another place, check boxes and
// drop-down buttons, hot tracking), and spring columns that follow the control's width.
// All columns in display order.
class TColumnPos : public std::vector<TEmberColumn*> {
public:
  // The column at a display position.
  TEmberColumn* Get(Integer Index) const { return at(static_cast<size_t>(Index)); }
};

enum class TEmberHeaderState {
  ehsMouseCaptured, ehsResizing, ehsDragging, ehsDragPending, ehsClickPending, ehsCheckboxClickPending,
  ehsResizePending, ehsLButtonDown, ehsRButtonDown, ehsMButtonDown
};
using TEmberHeaderStates = TSet<TEmberHeaderState>;

class TEmberHeader : public TEmberOwnedPersistent {
  PF_CLASS(TEmberHeader)
public:
  TEmberColumns* GetColumns() const { return FColumns; }
  TFont* GetFont() const { return FFont; }
  void SetFont(const TFont* Value);
  TCustomImageList* GetImages() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);
  bool GetAutoSizeHeight() const { return FAutoSizeHeight; }
  void SetAutoSizeHeight(bool Value);
  Integer GetAutoSizeHeightMargin() const { return FAutoSizeHeightMargin; }
  void SetAutoSizeHeightMargin(Integer Value);
  bool GetDraggable() const;
  void SetDraggable(bool Value);
  // One column spanning the client width; reading it while the window exists and there is no
  // column adds one.
  bool GetFixedSingleColumn();
  void SetFixedSingleColumn(bool Value);
  bool GetSizeable() const { return FSizeable; }
  void SetSizeable(bool Value) { FSizeable = Value; }
  bool GetStreamColumns() const { return FStreamColumns; }
  void SetStreamColumns(bool V) { FStreamColumns = V; }
  // Shown in every view, the header is visible: reading the setting while it is on makes it so.
  bool GetShowInAllViews();
  void SetShowInAllViews(bool Value);
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);
  // With AutoSizeHeight, at least the font's height and the margin.
  Integer GetHeight() const;
  void SetHeight(Integer Value);
  // The height the header takes at run time: 0 when it does not show in the current view.
  Integer RuntimeHeight() const;
  TRect DisplayRect() const;
  TEmberHeaderDragManager* GetDragManager() const { return FDragManager; }
  const TRect& GetViewRect() const { return FViewRect; }
  IUnknown* GetAccessible() const { return FAccessible.Get(); }
  void SetAccessible(ComPtr<IUnknown> Value) { FAccessible = std::move(Value); }
  // The right edge of the last column by position, 0 without columns: the width of a report row.
  Integer ViewWidth() const;
  // The header band and its column buttons into ARect.
  virtual void PaintTo(TCanvas* ACanvas, const TRect& ARect, bool ViewCoords);
  TEmberHeaderStates GetState() const { return FState; }

  // Columns in display order, and the visible ones among them; made by Rebuild.
  const TColumnPos& Positions() const { return FPositions; }
  const std::vector<TEmberColumn*>& VisibleColumns() const { return FVisibleColumns; }
  bool HasPositions() const { return FHasPositions; }
  void ClearPositions();
  // Walks by index (nil at the ends).
  TEmberColumn* FirstColumn() const;
  TEmberColumn* LastColumn() const;
  TEmberColumn* NextColumn(TEmberColumn* Column) const;
  TEmberColumn* PrevColumn(TEmberColumn* Column) const;
  TEmberColumn* FirstVisibleColumn() const;
  TEmberColumn* NextVisibleColumn(TEmberColumn* Column) const;
  TEmberColumn* PrevVisibleColumn(TEmberColumn* Column) const;
  // Walks by display position.
  TEmberColumn* FirstColumnByPosition() const;
  TEmberColumn* LastColumnByPosition() const;
  TEmberColumn* FirstColumnInRect(const TRect& ViewRect) const;
  TEmberColumn* NextColumnInRect(TEmberColumn* Column, const TRect& ViewRect) const;
  // The visible column whose rectangle holds the header point (x in view coordinates), by position.
  TEmberColumn* ColumnAt(TPoint HeaderPt) const;

  virtual void Invalidate(bool ImmediateUpdate);
  virtual void InvalidateColumn(TEmberColumn* /*Column*/) {}
  virtual void Rebuild(bool Force);
  void ClickColumn(TEmberColumn* Column);

  TEmberColumn* GetHotTrackedColumn() const { return FHotTrackedColumn; }
  void SetHotTrackedColumn(TEmberColumn* V) { FHotTrackedColumn = V; }
  TEmberColumn* GetPressedColumn() const { return FPressColumn; }
  void SetPressedColumn(TEmberColumn* V) { FPressColumn = V; }
  TEmberColumn* GetResizeColumn() const { return FResizeColumn; }
  TEmberColumn* GetDropDownHoverColumn() const { return FDropDownHoverColumn; }
  void SetDropDownHoverColumn(TEmberColumn* V) { FDropDownHoverColumn = V; }
  // Forgets a column that is going away.
  void ColumnFreeing(TEmberColumn* Column);

  // The mouse over the header, from the control's message handlers (points in window coordinates
  // in the messages' LParam).
  void WMLButtonDown(TMessage& Msg);
  void WMLButtonUp(TMessage& Msg);
  void WMLButtonDblClk(TMessage& Msg);
  void WMRButtonDown(TMessage& Msg);
  void WMRButtonUp(TMessage& Msg);
  void WMMouseMove(TMessage& Msg);
  // Answers Result 1 when the header's menu was shown (the message is handled).
  void WMContextMenu(TMessage& Msg);
  // Spring columns and the single fixed column follow the new client width.
  void WMSize(TMessage& Msg);
  // The divider band of a visible column at the point (window coordinates); nil when none.
  TEmberColumn* DividerAt(TPoint WindowPt) const;
  // The drag of a column ended: every mouse state is dropped and the capture released.
  void EndMouseStates();

  void LoadFromStream(TStream& S, Integer& Version) override;
  void SaveToStream(TStream& S, Integer Version) override;

protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberOwnedPersistent::Create;
  void Destroy() override;

private:
  // The point in the header's own coordinates: x shifted by the scroll offset when the header
  // scrolls with the view.
  TPoint HeaderPoint(TPoint WindowPt) const;
  void Capture();
  void ReleaseMouse();
  void UpdateHotTrack(TPoint WindowPt);
  bool OnDropDownArrow(TEmberColumn* Column, TPoint HeaderPt) const;
  bool OnCheckBox(TEmberColumn* Column, TPoint HeaderPt) const;
  void RebuildGroups();
  TEmberColumn* ClickableColumnAt(TPoint HeaderPt) const;
  Integer FontCellHeight() const;

  bool FAutoSizeHeight{true};
  Integer FAutoSizeHeightMargin{8};
  TColor FColor{clBtnFace};
  TEmberColumns* FColumns{nullptr};
  TEmberHeaderDragManager* FDragManager{nullptr};
  TEmberColumn* FDropDownHoverColumn{nullptr};
  bool FFixedSingleColumn{false};
  TFont* FFont{nullptr};
  Integer FHeight{21};
  TEmberColumn* FHotTrackedColumn{nullptr};
  TCustomImageList* FImages{nullptr};
  Integer FLastWidth{-1};
  TColumnPos FPositions;
  TEmberColumn* FPressColumn{nullptr};
  TEmberColumn* FResizeColumn{nullptr};
  bool FShowInAllViews{false};
  bool FSizeable{true};
  TEmberHeaderStates FState;
  bool FStreamColumns{true};
  TRect FViewRect;
  bool FVisible{false};
  std::vector<TEmberColumn*> FVisibleColumns;
  bool FHasPositions{false};
  bool FRebuilding{false};
  ComPtr<IUnknown> FAccessible;
  TPoint FDragStartPt;
  mutable String FTmFontName;
  mutable Integer FTmFontHeight{0};
  mutable uint32_t FTmFontStyle{0};
  mutable Integer FTmHeight{-1};
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
  static void Take(TBitmap* Own, TBitmap* Value);
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
