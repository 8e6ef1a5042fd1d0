// The header: its columns in display order laid out in one row, the mouse over it (sorting clicks,
// resizing at a divider, starting a column drag, check boxes and drop-down buttons, hot tracking),
// its context menu, and spring columns that share a change of the control's width.
#include <cmath>

#include "listview/EmberAccessible.h"
#include "listview/EmberControl.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Menus.h"
#include "platform/gdi/Gdi.h"

namespace ember {

using HS = TEmberHeaderState;
using DB = TEmberColumnDropDownButtonState;

namespace {

TPoint PointOf(LPARAM L) { return TPoint{GET_X_LPARAM(L), GET_Y_LPARAM(L)}; }

TShiftState ShiftOf(WPARAM W) { return KeysToShiftState(W); }

}  // namespace

// ---- Construction ----
void TEmberHeader::Create(TCustomEmberListview* AOwner) {
  TEmberOwnedPersistent::Create(AOwner);
  FColumns = TEmberColumns::New(AOwner);
  FFont = TFont::New();
  FDragManager = TEmberHeaderDragManager::New(AOwner);
  FDragManager->SetHeader(this);
  SetDraggable(true);
}

void TEmberHeader::Destroy() {
  DisconnectAccessible(FAccessible);
  FPositions.clear();
  FVisibleColumns.clear();
  FreeAndNil(FColumns);
  FreeAndNil(FDragManager);
  FreeAndNil(FFont);
  TEmberOwnedPersistent::Destroy();
}

// ---- Settings ----
void TEmberHeader::RebuildGroups() {
  if (OwnerListview() && OwnerListview()->GetGroups()) OwnerListview()->GetGroups()->Rebuild(false);
}

void TEmberHeader::SetFont(const TFont* Value) {
  if (Value) FFont->Assign(*Value);
}
void TEmberHeader::SetImages(TCustomImageList* Value) {
  if (Value == FImages) return;
  FImages = Value;
  // The control forgets the list for the header when it goes (TCustomEmberListview::Notification).
  if (Value && OwnerListview()) OwnerListview()->FreeNotification(Value);
  if (OwnerListview()) OwnerListview()->SafeInvalidateRect(nullptr, false);
}
void TEmberHeader::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Invalidate(false);
}
void TEmberHeader::SetAutoSizeHeight(bool Value) {
  if (Value == FAutoSizeHeight) return;
  FAutoSizeHeight = Value;
  RebuildGroups();
}
void TEmberHeader::SetAutoSizeHeightMargin(Integer Value) {
  Value = std::max(0, Value);
  if (Value == FAutoSizeHeightMargin) return;
  FAutoSizeHeightMargin = Value;
  if (FAutoSizeHeight) RebuildGroups();
}
bool TEmberHeader::GetDraggable() const { return FDragManager && FDragManager->GetEnabled(); }
void TEmberHeader::SetDraggable(bool Value) {
  if (FDragManager) FDragManager->SetEnabled(Value);
}
bool TEmberHeader::GetFixedSingleColumn() {
  TCustomEmberListview* lv = OwnerListview();
  if (FFixedSingleColumn && lv && lv->HandleAllocated() && FColumns->GetCount() == 0)
    FColumns->Add()->SetWidth(lv->GetClientWidth() - 1);
  return FFixedSingleColumn;
}
void TEmberHeader::SetFixedSingleColumn(bool Value) {
  if (Value == FFixedSingleColumn) return;
  FFixedSingleColumn = Value;
  RebuildGroups();
}
bool TEmberHeader::GetShowInAllViews() {
  if (FShowInAllViews) SetVisible(true);
  return FShowInAllViews;
}
void TEmberHeader::SetShowInAllViews(bool Value) {
  if (Value == FShowInAllViews) return;
  FShowInAllViews = Value;
  if (Value) FVisible = true;
  RebuildGroups();
}
void TEmberHeader::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  RebuildGroups();
}
Integer TEmberHeader::GetHeight() const {
  if (!FAutoSizeHeight) return FHeight;
  return std::max(FHeight, FontCellHeight() + FAutoSizeHeightMargin);
}

// The font's cell height, measured once per font look: the header's height is read for every
// mapping of a point.
Integer TEmberHeader::FontCellHeight() const {
  const uint32_t style = static_cast<uint32_t>(FFont->GetStyle().Bits());
  if (FTmHeight >= 0 && FTmFontName == FFont->GetName() && FTmFontHeight == FFont->GetHeight() && FTmFontStyle == style)
    return FTmHeight;
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, FFont->GetHandle());
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  FTmFontName = FFont->GetName();
  FTmFontHeight = FFont->GetHeight();
  FTmFontStyle = style;
  FTmHeight = static_cast<Integer>(tm.tmHeight);
  return FTmHeight;
}
void TEmberHeader::SetHeight(Integer Value) {
  Value = std::max(0, Value);
  if (Value == FHeight) return;
  FHeight = Value;
  RebuildGroups();
}

Integer TEmberHeader::RuntimeHeight() const {
  return GetVisible() && OwnerListview() && OwnerListview()->HeaderInUse() ? GetHeight() : 0;
}

TRect TEmberHeader::DisplayRect() const {
  TCustomEmberListview* lv = OwnerListview();
  return TRect{0, 0, lv ? lv->GetClientWidth() : 0, RuntimeHeight()};
}

void TEmberHeader::Invalidate(bool ImmediateUpdate) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv || !lv->HandleAllocated() || lv->GetUpdateCount() > 0) return;
  TRect r = DisplayRect();
  lv->SafeInvalidateRect(&r, ImmediateUpdate);
}

// ---- Column walks ----
void TEmberHeader::ClearPositions() {
  FPositions.clear();
  FVisibleColumns.clear();
  FHasPositions = false;
}

TEmberColumn* TEmberHeader::FirstColumn() const {
  return FColumns && FColumns->GetCount() ? FColumns->GetColumn(0) : nullptr;
}
TEmberColumn* TEmberHeader::LastColumn() const {
  return FColumns && FColumns->GetCount() ? FColumns->GetColumn(FColumns->GetCount() - 1) : nullptr;
}
TEmberColumn* TEmberHeader::NextColumn(TEmberColumn* Column) const {
  if (!Column || !FColumns) return nullptr;
  const Integer i = Column->GetIndex() + 1;
  return i < FColumns->GetCount() ? FColumns->GetColumn(i) : nullptr;
}
TEmberColumn* TEmberHeader::PrevColumn(TEmberColumn* Column) const {
  if (!Column || !FColumns) return nullptr;
  const Integer i = Column->GetIndex() - 1;
  return i >= 0 ? FColumns->GetColumn(i) : nullptr;
}
TEmberColumn* TEmberHeader::FirstVisibleColumn() const {
  TEmberColumn* c = FirstColumn();
  while (c && !c->GetVisible()) c = NextColumn(c);
  return c;
}
TEmberColumn* TEmberHeader::NextVisibleColumn(TEmberColumn* Column) const {
  TEmberColumn* c = NextColumn(Column);
  while (c && !c->GetVisible()) c = NextColumn(c);
  return c;
}
TEmberColumn* TEmberHeader::PrevVisibleColumn(TEmberColumn* Column) const {
  TEmberColumn* c = PrevColumn(Column);
  while (c && !c->GetVisible()) c = PrevColumn(c);
  return c;
}
// Until the header lays its columns out the positions are those of the collection.
TEmberColumn* TEmberHeader::FirstColumnByPosition() const { return FPositions.empty() ? FirstColumn() : FPositions.front(); }
TEmberColumn* TEmberHeader::LastColumnByPosition() const { return FPositions.empty() ? nullptr : FPositions.back(); }

TEmberColumn* TEmberHeader::FirstColumnInRect(const TRect& ViewRect) const {
  TRect r = ViewRect;
  r.Bottom -= r.Top;
  r.Top = 0;
  TRect x;
  for (TEmberColumn* c : FPositions)
    if (c->GetVisible() && IntersectRectEx(x, c->GetDisplayRect(), r)) return c;
  return nullptr;
}

TEmberColumn* TEmberHeader::NextColumnInRect(TEmberColumn* Column, const TRect& ViewRect) const {
  if (!Column) return nullptr;
  TRect r = ViewRect;
  r.Bottom -= r.Top;
  r.Top = 0;
  TRect x;
  auto it = std::find(FPositions.begin(), FPositions.end(), Column);
  if (it == FPositions.end()) return nullptr;
  for (++it; it != FPositions.end(); ++it)
    if ((*it)->GetVisible() && (*it)->GetWidth() > 0 && IntersectRectEx(x, (*it)->GetDisplayRect(), r)) return *it;
  return nullptr;
}

TEmberColumn* TEmberHeader::ColumnAt(TPoint P) const {
  for (TEmberColumn* c : FPositions)
    if (c->GetVisible() && PtInRectEx(c->GetDisplayRect(), P)) return c;
  return nullptr;
}

TEmberColumn* TEmberHeader::ClickableColumnAt(TPoint P) const {
  for (auto it = FPositions.rbegin(); it != FPositions.rend(); ++it)
    if ((*it)->GetVisible() && (*it)->GetClickable() && PtInRectEx((*it)->GetDisplayRect(), P)) return *it;
  return nullptr;
}

void TEmberHeader::ColumnFreeing(TEmberColumn* Column) {
  if (FHotTrackedColumn == Column) FHotTrackedColumn = nullptr;
  if (FPressColumn == Column) FPressColumn = nullptr;
  if (FResizeColumn == Column) FResizeColumn = nullptr;
  if (FDropDownHoverColumn == Column) FDropDownHoverColumn = nullptr;
  FPositions.erase(std::remove(FPositions.begin(), FPositions.end(), Column), FPositions.end());
  FVisibleColumns.erase(std::remove(FVisibleColumns.begin(), FVisibleColumns.end(), Column), FVisibleColumns.end());
  if (FDragManager) FDragManager->ColumnFreeing(Column);
  if (OwnerListview() && OwnerListview()->GetDragManager()) OwnerListview()->GetDragManager()->ColumnFreeing(Column);
}

// ---- Layout ----
// The columns in display order (positions as the stream left them are put in order here, and
// numbered 0..n-1) and their rectangles side by side.
void TEmberHeader::Rebuild(bool Force) {
  TCustomEmberListview* lv = OwnerListview();
  if (FRebuilding || !FColumns || !lv) return;
  if (!Force && (lv->GetUpdateCount() > 0 || lv->Loading() || !lv->HandleAllocated())) return;
  FRebuilding = true;
  struct Done {
    bool& Flag;
    ~Done() { Flag = false; }
  } done{FRebuilding};
  FPositions.clear();
  for (Integer i = 0; i < FColumns->GetCount(); ++i) FPositions.push_back(FColumns->GetColumn(i));
  std::stable_sort(FPositions.begin(), FPositions.end(),
                   [](TEmberColumn* a, TEmberColumn* b) { return a->GetPosition() < b->GetPosition(); });
  for (size_t p = 0; p < FPositions.size(); ++p) FPositions[p]->SetPositionField(static_cast<Integer>(p));

  // The collection's visible list is in index order; the header's own list of the columns it
  // shows is in display order, as painting walks it.
  FVisibleColumns.clear();
  auto& visibleList = FColumns->VisibleList();
  visibleList.clear();
  for (Integer i = 0; i < FColumns->GetCount(); ++i) {
    TEmberColumn* c = FColumns->GetColumn(i);
    if (!c->GetVisible()) continue;
    visibleList.push_back(c);
    if (FFixedSingleColumn && lv->HandleAllocated()) c->SetWidth(lv->GetClientWidth());
  }
  for (TEmberColumn* c : FPositions)
    if (c->GetVisible()) FVisibleColumns.push_back(c);

  const Integer height = GetHeight();
  Integer x = 0;
  for (TEmberColumn* c : FPositions) {
    const Integer w = c->GetVisible() ? c->GetWidth() : 0;
    c->SetDisplayRect(TRect{x, 0, x + w, height});
    x += w;
  }
  FViewRect = TRect{0, 0, x, height};
  if (lv->HandleAllocated() && FViewRect.Right < lv->GetClientWidth()) FViewRect.Right = lv->GetClientWidth();
  FHasPositions = true;
}

// ---- Sorting clicks ----
void TEmberHeader::ClickColumn(TEmberColumn* Column) {
  if (!Column) return;
  Column->SetClicking(false);
  TCustomEmberListview* lv = OwnerListview();
  if (!lv || !Column->GetAutoToggleSortGlyph()) return;
  TEmberUpdateGuard update(lv);
  TEmberSelectionManager* sel = lv->GetSelection();
  TEmberColumn* old = sel->GetFocusedColumn();
  sel->SetFocusedColumn(Column);
  if (old && old != Column) old->SetSortDirection(TEmberSortDirection::esdNone);
  // None and descending both go to ascending; ascending goes to descending.
  Column->SetSortDirection(Column->GetSortDirection() == TEmberSortDirection::esdAscending
                               ? TEmberSortDirection::esdDescending
                               : TEmberSortDirection::esdAscending);
  if (lv->GetSort()->GetAutoRegroup() && lv->IsGrouped()) lv->GetSort()->ReGroup(Column);
  update.End();
}

// ---- The mouse ----
TPoint TEmberHeader::HeaderPoint(TPoint WindowPt) const {
  TCustomEmberListview* lv = OwnerListview();
  if (lv && lv->ScrollHeaderHorz()) WindowPt.X += lv->GetScrollbars()->GetOffsetX();
  return WindowPt;
}

void TEmberHeader::Capture() {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv || !lv->HandleAllocated()) return;
  SetCapture(lv->Handle());
  FState += HS::ehsMouseCaptured;
  lv->States() += TEmberControlState::ebcsHeaderCapture;
}

void TEmberHeader::ReleaseMouse() {
  TCustomEmberListview* lv = OwnerListview();
  if (FState.Contains(HS::ehsMouseCaptured) && lv && lv->HandleAllocated() && GetCapture() == lv->Handle())
    ReleaseCapture();
  FState -= HS::ehsMouseCaptured;
  if (lv) lv->States() -= TEmberControlState::ebcsHeaderCapture;
}

TEmberColumn* TEmberHeader::DividerAt(TPoint WindowPt) const {
  TCustomEmberListview* lv = OwnerListview();
  if (!FSizeable || !lv) return nullptr;
  const TPoint p = HeaderPoint(WindowPt);
  if (!(p.Y > 0 && p.Y < GetHeight())) return nullptr;
  const Integer shift = p.X - WindowPt.X;
  for (auto it = FPositions.rbegin(); it != FPositions.rend(); ++it) {
    TEmberColumn* c = *it;
    if (!c->GetVisible()) continue;
    const Integer right = c->GetDisplayRect().Right;
    const Integer windowRight = right - shift;
    if (p.X > right - 4 && p.X <= right + 4 && windowRight >= 0 && windowRight <= lv->GetClientWidth()) return c;
  }
  return nullptr;
}

bool TEmberHeader::OnDropDownArrow(TEmberColumn* Column, TPoint P) const {
  if (!Column || !Column->GetDropDownButton()->GetVisible()) return false;
  TEmberViewColumn* v = Column->GetView();
  if (!v) return false;
  TEmberRectArrayObject ra;
  v->ItemRectArray(Column, ra);
  return PtInRectEx(ra.DropDownArrow, P);
}

bool TEmberHeader::OnCheckBox(TEmberColumn* Column, TPoint P) const {
  if (!Column) return false;
  TEmberViewColumn* v = Column->GetView();
  if (!v) return false;
  TEmberRectArrayObject ra;
  v->ItemRectArray(Column, ra);
  return PtInRectEx(ra.CheckRect, P);
}

void TEmberHeader::UpdateHotTrack(TPoint WindowPt) {
  TCustomEmberListview* lv = OwnerListview();
  auto* paint = lv ? dynamic_cast<TEmberPaintInfoBaseColumn*>(lv->GetPaintInfoColumn()) : nullptr;
  if (!paint || !paint->GetHotTrack()) return;
  if (FDropDownHoverColumn && FDropDownHoverColumn->GetDropDownButton()->GetState().Contains(DB::cdbsClickPending))
    return;
  if (FState.Contains(HS::ehsResizing) || FState.Contains(HS::ehsDragging) || FState.Contains(HS::ehsDragPending) ||
      FState.Contains(HS::ehsClickPending) || FState.Contains(HS::ehsResizePending))
    return;
  const TPoint p = HeaderPoint(WindowPt);
  const TRect client = lv->GetClientRect();
  const Integer shift = p.X - WindowPt.X;
  TEmberColumn* hot = nullptr;
  if (p.Y >= 0 && p.Y < RuntimeHeight()) {
    for (TEmberColumn* c : FPositions) {
      if (!c->GetVisible()) continue;
      TRect r = c->GetDisplayRect();
      r.Right += 5;
      TRect clientInHeader{client.Left + shift, client.Top, client.Right + shift, client.Bottom};
      TRect clipped;
      if (IntersectRectEx(clipped, r, clientInHeader) && PtInRectEx(clipped, p)) {
        hot = c;
        break;
      }
    }
  }
  if (hot == FHotTrackedColumn) return;
  TEmberColumn* old = FHotTrackedColumn;
  FHotTrackedColumn = hot;
  if (hot && !FState.Contains(HS::ehsMouseCaptured)) Capture();
  if (!hot) ReleaseMouse();
  if (old) old->Invalidate(false);
  if (hot) hot->Invalidate(false);
}

void TEmberHeader::WMMouseMove(TMessage& Msg) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  const TPoint pt = PointOf(Msg.LParam);
  const TPoint p = HeaderPoint(pt);
  const bool buttons = FState.Contains(HS::ehsLButtonDown) || FState.Contains(HS::ehsRButtonDown) ||
                       FState.Contains(HS::ehsMButtonDown);
  if (!buttons) {
    TEmberColumn* divider = DividerAt(pt);
    if (divider) {
      // Asked on every move: the handler may let a divider be taken here and not a pixel further.
      bool allow = true;
      lv->DoColumnSizeChanging(divider, divider->GetWidth(), divider->GetWidth(), allow);
      if (allow) {
        ReleaseMouse();
        FState += HS::ehsResizePending;
        FResizeColumn = divider;
        lv->SetCursor(static_cast<TCursor>(crVHeaderSplit));
        Capture();
      }
    } else {
      if (FState.Contains(HS::ehsResizePending)) {
        FState -= HS::ehsResizePending;
        FResizeColumn = nullptr;
        ReleaseMouse();
      }
      TEmberColumn* c = ColumnAt(p);
      TEmberColumn* arrow = OnDropDownArrow(c, p) ? c : nullptr;
      if (arrow != FDropDownHoverColumn) {
        if (TEmberColumn* old = FDropDownHoverColumn) {
          auto st = old->GetDropDownButton()->GetState();
          st -= TEmberColumnDropDownButtonStates{DB::cdbsHovering, DB::cdbsDown, DB::cdbsClickPending};
          old->GetDropDownButton()->SetState(st);
          old->Invalidate(false);
        }
        FDropDownHoverColumn = arrow;
        if (arrow) {
          auto st = arrow->GetDropDownButton()->GetState();
          st += DB::cdbsHovering;
          arrow->GetDropDownButton()->SetState(st);
          arrow->Invalidate(false);
        }
      }
      lv->SetCursor(crDefault);
      if (lv->OnHeaderMouseMove) lv->OnHeaderMouseMove(lv, ShiftOf(Msg.WParam), pt.X, pt.Y);
    }
  } else if (FState.Contains(HS::ehsResizing) && FResizeColumn) {
    const Integer newWidth = std::max(0, p.X - FResizeColumn->GetDisplayRect().Left);
    bool allow = true;
    lv->DoColumnSizeChanging(FResizeColumn, FResizeColumn->GetWidth(), newWidth, allow);
    if (allow && newWidth != FResizeColumn->GetWidth()) {
      FResizeColumn->SetWidth(newWidth);
      RebuildGroups();
    }
  } else if (FState.Contains(HS::ehsDragPending) && FDragManager->GetEnabled() && FPressColumn) {
    // The system's drag box around the press point, as the drag detection builds it.
    const Integer cx = GetSystemMetrics(SM_CXDRAG), cy = GetSystemMetrics(SM_CYDRAG);
    const TRect box{FDragStartPt.X - cx, FDragStartPt.Y - cy, FDragStartPt.X + cx, FDragStartPt.Y + cy};
    if (!PtInRectEx(box, pt)) {
      FState -= TEmberHeaderStates{HS::ehsDragPending, HS::ehsClickPending};
      FPressColumn->SetClicking(false);
      FPressColumn->Invalidate(false);
      FState += HS::ehsDragging;
      FDragManager->SetColumn(FPressColumn);
      FDragManager->BeginDrag(FDragStartPt, common::KeyStateToCommonKeyStates(static_cast<DWORD>(Msg.WParam)));
      // The drag has ended (its end dropped every mouse state); this move is spent.
      return;
    }
  } else if (FState.Contains(HS::ehsDragging)) {
    TCommonDropEffect effect = TCommonDropEffect::cdeNone;
    FDragManager->Drag(common::KeyStateToCommonKeyStates(static_cast<DWORD>(Msg.WParam)), pt, effect);
  } else if (FState.Contains(HS::ehsClickPending) && FPressColumn) {
    // A press follows the mouse: released elsewhere, the column is not clicked.
    const bool over = PtInRectEx(FPressColumn->GetDisplayRect(), p);
    if (over != FPressColumn->GetClicking()) {
      FPressColumn->SetClicking(over);
      FPressColumn->Invalidate(false);
    }
  }
  if (FDropDownHoverColumn) {
    auto st = FDropDownHoverColumn->GetDropDownButton()->GetState();
    if (st.Contains(DB::cdbsClickPending)) {
      const bool on = OnDropDownArrow(FDropDownHoverColumn, p);
      if (on != st.Contains(DB::cdbsDown)) {
        if (on) st += DB::cdbsDown;
        else st -= DB::cdbsDown;
        FDropDownHoverColumn->GetDropDownButton()->SetState(st);
        FDropDownHoverColumn->Invalidate(false);
      }
    }
  }
  if (FState.Contains(HS::ehsCheckboxClickPending)) {
    if (auto* pending = dynamic_cast<TEmberColumn*>(lv->GetCheckManager()->GetPendingObject()))
      pending->SetCheckHovering(OnCheckBox(pending, p));
  }
  UpdateHotTrack(pt);
}

void TEmberHeader::WMLButtonDown(TMessage& Msg) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  const TPoint pt = PointOf(Msg.LParam);
  const TPoint p = HeaderPoint(pt);
  FState += HS::ehsLButtonDown;
  FDragStartPt = pt;
  if (FState.Contains(HS::ehsResizePending)) {
    FState += HS::ehsResizing;
    return;
  }
  TEmberColumn* c = ColumnAt(p);
  if (c && OnCheckBox(c, p)) {
    FState += HS::ehsCheckboxClickPending;
    lv->GetCheckManager()->SetPendingObject(c);
    return;
  }
  if (c && c->GetDropDownButton()->GetEnabled() && OnDropDownArrow(c, p)) {
    auto st = c->GetDropDownButton()->GetState();
    st += TEmberColumnDropDownButtonStates{DB::cdbsClickPending, DB::cdbsDown};
    c->GetDropDownButton()->SetState(st);
    FDropDownHoverColumn = c;
    c->Invalidate(false);
    return;
  }
  TEmberColumn* press = ClickableColumnAt(p);
  if (!press) return;
  FPressColumn = press;
  if (TEmberColumn* hot = FHotTrackedColumn) {
    FHotTrackedColumn = nullptr;
    hot->Invalidate(false);
  }
  Capture();
  FState += HS::ehsClickPending;
  press->SetClicking(true);
  if (GetDraggable()) FState += HS::ehsDragPending;
  press->Invalidate(false);
  if (lv->OnHeaderMouseDown)
    lv->OnHeaderMouseDown(lv, TCommonMouseButton::cmbLeft, ShiftOf(Msg.WParam), pt.X, pt.Y, press);
}

void TEmberHeader::WMLButtonUp(TMessage& Msg) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  const TPoint pt = PointOf(Msg.LParam);
  const TPoint p = HeaderPoint(pt);
  const TShiftState shift = ShiftOf(Msg.WParam);
  const bool resizing = FState.Contains(HS::ehsResizing);
  const bool dragging = FState.Contains(HS::ehsDragging);
  TEmberColumn* press = FPressColumn;
  if (FState.Contains(HS::ehsCheckboxClickPending)) {
    if (auto* c = dynamic_cast<TEmberColumn*>(lv->GetCheckManager()->GetPendingObject()))
      if (OnCheckBox(c, p)) c->SetChecked(!c->GetChecked());
    lv->GetCheckManager()->SetPendingObject(nullptr);
  } else if (resizing) {
    if (FResizeColumn) lv->DoColumnSizeChanged(FResizeColumn);
  } else if (FDropDownHoverColumn &&
             FDropDownHoverColumn->GetDropDownButton()->GetState().Contains(DB::cdbsClickPending)) {
    TEmberColumn* c = FDropDownHoverColumn;
    auto st = c->GetDropDownButton()->GetState();
    const bool down = st.Contains(DB::cdbsDown);
    st -= TEmberColumnDropDownButtonStates{DB::cdbsDown, DB::cdbsClickPending};
    c->GetDropDownButton()->SetState(st);
    c->Invalidate(false);
    if (down) {
      bool doDefault = true;
      lv->DoColumnDropDownButtonClick(c, TCommonMouseButton::cmbLeft, shift, pt, doDefault);
      if (doDefault && c->GetDropDownButton()->GetMenu()) {
        TEmberRectArrayObject ra;
        if (TEmberViewColumn* v = c->GetView()) v->ItemRectArray(c, ra);
        const Integer shiftX = p.X - pt.X;
        TPoint corner = lv->ClientToScreen(TPoint{ra.DropDownArrow.Left - shiftX, ra.DropDownArrow.Bottom});
        c->GetDropDownButton()->GetMenu()->Popup(corner.X, corner.Y);
      }
    }
  } else if (press && press->GetClicking() && FState.Contains(HS::ehsClickPending)) {
    ClickColumn(press);
    lv->DoColumnClick(TCommonMouseButton::cmbLeft, shift, press);
  } else if (press) {
    press->Invalidate(false);
  }
  if (press) press->SetClicking(false);
  if (!resizing && !dragging && lv->OnHeaderMouseUp)
    lv->OnHeaderMouseUp(lv, TCommonMouseButton::cmbLeft, shift, pt.X, pt.Y, ColumnAt(p));
  FState -= TEmberHeaderStates{HS::ehsLButtonDown, HS::ehsRButtonDown, HS::ehsMButtonDown, HS::ehsClickPending,
                               HS::ehsCheckboxClickPending, HS::ehsDragPending, HS::ehsResizing, HS::ehsDragging,
                               HS::ehsResizePending};
  FPressColumn = nullptr;
  FResizeColumn = nullptr;
  ReleaseMouse();
  lv->SetCursor(crDefault);
  UpdateHotTrack(pt);
}

void TEmberHeader::WMLButtonDblClk(TMessage& Msg) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  const TPoint pt = PointOf(Msg.LParam);
  TEmberColumn* divider = DividerAt(pt);
  if (divider && divider->GetAutoSizeOnDblClk()) {
    divider->AutoSizeToFit();
    return;
  }
  if (TEmberColumn* c = ColumnAt(HeaderPoint(pt))) lv->DoColumnDblClick(TCommonMouseButton::cmbLeft, pt, c);
}

void TEmberHeader::WMRButtonDown(TMessage& Msg) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  const TPoint pt = PointOf(Msg.LParam);
  FState += HS::ehsRButtonDown;
  if (lv->OnHeaderMouseDown)
    lv->OnHeaderMouseDown(lv, TCommonMouseButton::cmbRight, ShiftOf(Msg.WParam), pt.X, pt.Y, ColumnAt(HeaderPoint(pt)));
}

void TEmberHeader::WMRButtonUp(TMessage& Msg) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  const TPoint pt = PointOf(Msg.LParam);
  FState -= HS::ehsRButtonDown;
  if (lv->OnHeaderMouseUp)
    lv->OnHeaderMouseUp(lv, TCommonMouseButton::cmbRight, ShiftOf(Msg.WParam), pt.X, pt.Y, ColumnAt(HeaderPoint(pt)));
}

void TEmberHeader::WMContextMenu(TMessage& Msg) {
  TCustomEmberListview* lv = OwnerListview();
  Msg.Result = 0;
  if (!lv || !lv->HandleAllocated()) return;
  const TPoint screen = PointOf(Msg.LParam);
  TPoint client = screen;
  ScreenToClient(lv->Handle(), &client);
  TEmberHitInfoColumn hit;
  hit.Column = ColumnAt(HeaderPoint(client));
  if (hit.Column) hit.Column->HitTestAt(HeaderPoint(client), hit.HitInfo);
  TPopupMenu* menu = lv->GetPopupMenuHeader();
  lv->DoColumnContextMenu(hit, client, menu);
  if (!menu) return;
  menu->PopupComponent = lv;
  menu->Popup(screen.X, screen.Y);
  Msg.Result = 1;
}

void TEmberHeader::EndMouseStates() {
  FState -= TEmberHeaderStates{HS::ehsLButtonDown, HS::ehsRButtonDown, HS::ehsMButtonDown, HS::ehsClickPending,
                               HS::ehsCheckboxClickPending, HS::ehsDragPending, HS::ehsResizing, HS::ehsDragging,
                               HS::ehsResizePending};
  if (FPressColumn) {
    FPressColumn->SetClicking(false);
    FPressColumn->Invalidate(false);
  }
  FPressColumn = nullptr;
  FResizeColumn = nullptr;
  ReleaseMouse();
}

// ---- Spring columns ----
void TEmberHeader::WMSize(TMessage&) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv || !lv->HandleAllocated()) return;
  const Integer width = lv->GetClientWidth();
  if (FLastWidth < 0) FLastWidth = width;
  if (FFixedSingleColumn) {
    if (TEmberColumn* c = FirstColumn()) {
      if (c->GetWidth() != width - 1) {
        c->SetWidth(width - 1);
        RebuildGroups();
      }
    }
  } else if (width != FLastWidth) {
    const Integer d = width - FLastWidth;
    std::vector<TEmberColumn*> springs;
    for (TEmberColumn* c : FVisibleColumns)
      if (c->GetAutoSpring()) springs.push_back(c);
    if (!springs.empty()) {
      TEmberUpdateGuard update(lv);
      const double share = std::abs(d) / static_cast<double>(springs.size());
      double remaining = std::abs(d);
      for (TEmberColumn* c : springs) {
        const double rest = c->GetSpringRest() + share;
        if (rest >= 1.0) {
          const Integer whole = static_cast<Integer>(std::floor(rest));
          c->SetWidth(c->GetWidth() + (d > 0 ? whole : -whole));
          c->SetSpringRest(static_cast<float>(rest - whole));
        } else {
          c->SetSpringRest(static_cast<float>(rest));
        }
        remaining -= share;
        if (remaining < 0) break;
      }
      update.End();
    }
  }
  FLastWidth = width;
}

// ---- The stream ----
void TEmberHeader::LoadFromStream(TStream& S, Integer& Version) {
  TEmberOwnedPersistent::LoadFromStream(S, Version);
  if (FStreamColumns) FColumns->ReadItems(S);
}
void TEmberHeader::SaveToStream(TStream& S, Integer Version) {
  TEmberOwnedPersistent::SaveToStream(S, Version);
  if (FStreamColumns) FColumns->WriteItems(S);
}

}  // namespace ember
