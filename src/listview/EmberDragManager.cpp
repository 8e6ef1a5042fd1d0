// What every drag of the list view shares: the window's drop registration, the steps of a drag,
// the auto-scroll timer that scrolls while the mouse rests near an edge, and the keys that scroll
// during a drag; and the rubber band, which selects what it covers and paints itself.
#include <algorithm>
#include <cstdlib>

#include "listview/EmberControl.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/ole/DragDrop.h"

namespace ember {

using KS = common::TCommonKeyState;
using MB = TCommonMouseButton;
using DS = TEmberDragManagerState;

namespace {

// The key word of a mouse message that carries the drag's keys.
WPARAM MouseKeyWord(TCommonKeyStates Keys) {
  WPARAM w = 0;
  if (Keys.Contains(KS::cksLButton)) w |= MK_LBUTTON;
  if (Keys.Contains(KS::cksRButton)) w |= MK_RBUTTON;
  if (Keys.Contains(KS::cksMButton)) w |= MK_MBUTTON;
  if (Keys.Contains(KS::cksShift)) w |= MK_SHIFT;
  if (Keys.Contains(KS::cksControl)) w |= MK_CONTROL;
  return w;
}

}  // namespace

// ---- Registration and switching ----
void TCustomEmberDragManagerBase::SetEnabled(bool Value) {
  DoEnable(Value);
  if (Value != FEnabled) FEnabled = Value;
}

void TCustomEmberDragManagerBase::SetRegistered(bool Value) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  if (!lv->HandleAllocated()) {
    // Nothing is registered without a window; the next window registers anew.
    FRegistered = false;
    lv->States() -= TEmberControlState::ebcsOLERegistered;
    return;
  }
  using CS = TEmberControlState;
  if (Value) {
    if (!lv->States().Contains(CS::ebcsOLERegistered)) {
      IDropTarget* target = nullptr;
      if (IUnknown* unk = lv->GetDropTarget()) unk->QueryInterface(IDropTarget::Iid, reinterpret_cast<void**>(&target));
      if (target) {
        if (RegisterDragDrop(lv->Handle(), target) == S_OK) lv->States() += CS::ebcsOLERegistered;
        target->Release();
      }
    }
  } else if (lv->States().Contains(CS::ebcsOLERegistered)) {
    RevokeDragDrop(lv->Handle());
    lv->States() -= CS::ebcsOLERegistered;
  }
  FRegistered = Value;
}

bool TCustomEmberDragManagerBase::ButtonAllowed(TCommonKeyStates KeyState) const {
  return (KeyState.Contains(KS::cksLButton) && GetMouseButton().Contains(MB::cmbLeft)) ||
         (KeyState.Contains(KS::cksMButton) && GetMouseButton().Contains(MB::cmbMiddle)) ||
         (KeyState.Contains(KS::cksRButton) && GetMouseButton().Contains(MB::cmbRight));
}

void TCustomEmberDragManagerBase::Destroy() {
  *FAlive = false;
  FreeTimer();
  TEmberOwnedPersistent::Destroy();
}

// ---- The steps of a drag ----
void TCustomEmberDragManagerBase::BeginDrag(TPoint WindowPt, TCommonKeyStates Keys) { DoDragBegin(WindowPt, Keys); }

void TCustomEmberDragManagerBase::DragEnter(IDataObject* DataObject, TCommonKeyStates Keys, TPoint WindowPt,
                                            TCommonDropEffect& Effect) {
  FDragState += DS::edmsDragging;
  SetDataObject(DataObject);
  EnsureTimer();
  StopAutoScrollTimer();
  DoDragEnter(DataObject, WindowPt, Keys, Effect);
}

void TCustomEmberDragManagerBase::Drag(TCommonKeyStates Keys, TPoint WindowPt, TCommonDropEffect& Effect) {
  if (FAutoScroll) {
    if (ScrollDown(WindowPt) || ScrollLeft(WindowPt) || ScrollRight(WindowPt) || ScrollUp(WindowPt)) {
      // Already running: moves inside the zones keep its rhythm.
      EnsureTimer();
      FTimer->SetEnabled(true);
    } else {
      StopAutoScrollTimer();
    }
  }
  FLastKeyState = Keys;
  DoDrag(Keys, WindowPt, Effect);
}

void TCustomEmberDragManagerBase::DragDrop(TCommonKeyStates Keys, TPoint WindowPt, TCommonDropEffect& Effect) {
  FreeTimer();
  FLastKeyState = {};
  FDragState -= DS::edmsDragging;
  DoDragDrop(WindowPt, Keys, Effect);
  FDataObject = nullptr;
}

void TCustomEmberDragManagerBase::DragEnd(TCommonKeyStates Keys, TPoint WindowPt) {
  FreeTimer();
  FLastKeyState = {};
  FDragState -= DS::edmsDragging;
  DoDragEnd(WindowPt, Keys);
  FDataObject = nullptr;
}

// ---- Auto-scroll ----
void TCustomEmberDragManagerBase::EnsureTimer() {
  if (FTimer) return;
  FTimer = TTimer::New(nullptr);
  FTimer->SetEnabled(false);
  FTimer->SetInterval(static_cast<Cardinal>(std::max<Integer>(1, FAutoScrollDelay)));
  FTimer->OnTimer = [this](TObject*) { HandleTimer(); };
}

void TCustomEmberDragManagerBase::FreeTimer() {
  FAutoScrollDelayMet = false;
  FreeAndNil(FTimer);
}

bool TCustomEmberDragManagerBase::AutoScrollTimerRunning() const { return FTimer && FTimer->GetEnabled(); }

// Each entry into a zone waits the whole delay again: the interval goes back to the delay
// whenever the timer stops, not only when a drag comes in.
void TCustomEmberDragManagerBase::StopAutoScrollTimer() {
  FAutoScrollDelayMet = false;
  if (!FTimer) return;
  FTimer->SetEnabled(false);
  FTimer->SetInterval(static_cast<Cardinal>(std::max<Integer>(1, FAutoScrollDelay)));
}

// The tick that ends the delay only arms the steps; they come one scroll time apart after it.
void TCustomEmberDragManagerBase::HandleTimer() {
  if (!FTimer) return;
  if (!FAutoScrollDelayMet) {
    FAutoScrollDelayMet = true;
    FTimer->SetInterval(static_cast<Cardinal>(std::max<Integer>(1, FAutoScrollTime)));
    return;
  }
  AutoScrollWindow();
}

Integer TCustomEmberDragManagerBase::ScrollDeltaUp(TPoint WindowPt) {
  TCustomEmberListview* lv = OwnerListview();
  const Integer header = lv ? lv->GetHeader()->RuntimeHeight() : 0;
  return std::abs(WindowPt.Y - header - FAutoScrollMargin);
}
Integer TCustomEmberDragManagerBase::ScrollDeltaDown(TPoint WindowPt) {
  TCustomEmberListview* lv = OwnerListview();
  return std::abs((lv ? lv->GetClientHeight() : 0) - WindowPt.Y - FAutoScrollMargin);
}
Integer TCustomEmberDragManagerBase::ScrollDeltaLeft(TPoint WindowPt) {
  return std::abs(WindowPt.X - FAutoScrollMargin);
}
Integer TCustomEmberDragManagerBase::ScrollDeltaRight(TPoint WindowPt) {
  TCustomEmberListview* lv = OwnerListview();
  return std::abs((lv ? lv->GetClientWidth() : 0) - WindowPt.X - FAutoScrollMargin);
}

void TCustomEmberDragManagerBase::AutoScrollWindow() {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv || !lv->GetScrollbars() || !lv->HandleAllocated() || !FAutoScrollDelayMet) return;
  TPoint pt;
  GetCursorPos(&pt);
  ScreenToClient(lv->Handle(), &pt);
  std::shared_ptr<bool> alive = FAlive;
  const Integer acc = FAutoScrollAccelerator;
  if (ScrollUp(pt))
    DoAutoScroll(0, -(ScrollDeltaUp(pt) * acc));
  else if (ScrollDown(pt))
    DoAutoScroll(0, ScrollDeltaDown(pt) * acc);
  if (!*alive) return;
  // With snapping on, a step sideways is one list cell, in every view.
  TEmberScrollbarManager* sb = lv->GetScrollbars();
  const Integer cell = lv->GetCellSizes()->GetList()->GetWidth();
  const bool snaps = sb->GetSnapHorzView();
  if (ScrollLeft(pt))
    DoAutoScroll(snaps ? -cell : -(ScrollDeltaLeft(pt) * acc), 0);
  else if (ScrollRight(pt))
    DoAutoScroll(snaps ? cell : ScrollDeltaRight(pt) * acc, 0);
}

void TCustomEmberDragManagerBase::DoAutoScroll(Integer DeltaX, Integer DeltaY) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv || !lv->GetScrollbars()) return;
  std::shared_ptr<bool> alive = FAlive;
  DoBeforeAutoScroll();
  FDragState += DS::edmsAutoScrolling;
  lv->GetScrollbars()->Scroll(DeltaX, DeltaY);
  DoAfterScroll();
  if (lv->HandleAllocated()) {
    TPoint pt;
    GetCursorPos(&pt);
    ScreenToClient(lv->Handle(), &pt);
    // The move carries the keys of the drag's last move: a band drawn with Ctrl keeps toggling
    // what the scroll brings under it instead of selecting it.
    SendMessage(lv->Handle(), WM_MOUSEMOVE, MouseKeyWord(FLastKeyState), MAKELPARAM(pt.X, pt.Y));
    if (!*alive) return;
  }
  FDragState -= DS::edmsAutoScrolling;
  DoAfterAutoScroll();
}

// Keys scroll the view while a drag runs: a page, to either end, or a line.
void TCustomEmberDragManagerBase::WMKeyDown(TMessage& Msg) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  TEmberScrollbarManager* sb = lv->GetScrollbars();
  const Integer line = std::max(1, lv->GetGroups()->GetCellHeight());
  switch (static_cast<int>(Msg.WParam)) {
    case VK_PRIOR: DoAutoScroll(0, -lv->GetClientHeight()); break;
    case VK_NEXT: DoAutoScroll(0, lv->GetClientHeight()); break;
    case VK_END: DoAutoScroll(sb->MaxOffsetX() - sb->GetOffsetX(), sb->MaxOffsetY() - sb->GetOffsetY()); break;
    case VK_HOME: DoAutoScroll(-sb->GetOffsetX(), -sb->GetOffsetY()); break;
    case VK_LEFT: DoAutoScroll(-line, 0); break;
    case VK_UP: DoAutoScroll(0, -line); break;
    case VK_RIGHT: DoAutoScroll(line, 0); break;
    case VK_DOWN: DoAutoScroll(0, line); break;
    default: break;
  }
}

// ---- Zones ----
bool TEmberOLEDragManager::ScrollUp(TPoint WindowPt) {
  TCustomEmberListview* lv = OwnerListview();
  return lv && WindowPt.Y - lv->GetHeader()->RuntimeHeight() < GetAutoScrollMargin();
}
bool TEmberOLEDragManager::ScrollDown(TPoint WindowPt) {
  TCustomEmberListview* lv = OwnerListview();
  return lv && WindowPt.Y > lv->GetClientHeight() - GetAutoScrollMargin();
}

bool TEmberDragRectManager::ScrollUp(TPoint WindowPt) {
  TCustomEmberListview* lv = OwnerListview();
  return lv && WindowPt.Y - lv->GetHeader()->RuntimeHeight() < GetAutoScrollMargin() &&
         lv->GetScrollbars()->GetOffsetY() >= 1;
}
bool TEmberDragRectManager::ScrollDown(TPoint WindowPt) {
  TCustomEmberListview* lv = OwnerListview();
  return lv && WindowPt.Y > lv->GetClientHeight() - GetAutoScrollMargin() &&
         lv->GetScrollbars()->GetOffsetY() < lv->GetScrollbars()->MaxOffsetY();
}
bool TEmberDragRectManager::ScrollLeft(TPoint WindowPt) {
  TCustomEmberListview* lv = OwnerListview();
  return lv && WindowPt.X < GetAutoScrollMargin() && lv->GetScrollbars()->GetOffsetX() >= 1;
}
bool TEmberDragRectManager::ScrollRight(TPoint WindowPt) {
  TCustomEmberListview* lv = OwnerListview();
  return lv && WindowPt.X > lv->GetClientWidth() - GetAutoScrollMargin() &&
         lv->GetScrollbars()->GetOffsetX() < lv->GetScrollbars()->MaxOffsetX();
}

// ---- The rubber band ----
bool TEmberDragRectManager::InitializeDrag(TPoint WindowPt, TCommonKeyStates KeyState) {
  if (!GetEnabled() || !ButtonAllowed(KeyState) || !OwnerListview()) return false;
  const TPoint p = OwnerListview()->GetScrollbars()->MapWindowToView(WindowPt);
  SetAnchorPoint(p);
  SetDragPoint(p);
  return true;
}

void TEmberDragRectManager::FinalizeDrag() {
  SetAnchorPoint(TPoint{});
  SetDragPoint(TPoint{});
  SetPrevRect(TRect{});
}

void TEmberDragRectManager::DoDragBegin(TPoint, TCommonKeyStates) { SetPrevRect(SelectionRect()); }

// The selection follows the band against the band it last selected, so what a scroll added to
// the band (the drag point moved with the view) is selected by the move that follows.
void TEmberDragRectManager::DoDrag(TCommonKeyStates Keys, TPoint WindowPt, TCommonDropEffect&) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  const TRect old = FPrevRect;
  SetDragPoint(lv->GetScrollbars()->MapWindowToView(WindowPt));
  lv->GetSelection()->DragSelect(Keys.Contains(KS::cksControl), SelectionRect(), old);
  SetPrevRect(SelectionRect());
  if (!GetDragState().Contains(DS::edmsAutoScrolling)) {
    std::shared_ptr<bool> alive = FAlive;
    AutoScrollWindow();
    if (!*alive) return;
  }
  const TRect r = lv->GetScrollbars()->MapViewRectToWindowRect(UnionRectEx(old, SelectionRect()));
  TRect clipped;
  if (!IntersectRectEx(clipped, r, lv->GetClientRect())) clipped = TRect{};
  lv->SafeInvalidateRect(lv->GetSelection()->GetFullRowSelect() ? nullptr : &clipped, false);
}

void TEmberDragRectManager::DoDragEnd(TPoint, TCommonKeyStates) {
  if (TCustomEmberListview* lv = OwnerListview()) {
    const TRect r = lv->GetScrollbars()->MapViewRectToWindowRect(SelectionRect());
    lv->SafeInvalidateRect(&r, false);
  }
  FinalizeDrag();
}

void TEmberDragRectManager::DoBeforeAutoScroll() {
  if (TCustomEmberListview* lv = OwnerListview())
    FOldOffsets = TPoint{lv->GetScrollbars()->GetOffsetX(), lv->GetScrollbars()->GetOffsetY()};
}

// The corner under the mouse keeps its place in the window, so in the view it moves by the scroll.
void TEmberDragRectManager::DoAfterScroll() {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  const TPoint now{lv->GetScrollbars()->GetOffsetX(), lv->GetScrollbars()->GetOffsetY()};
  SetDragPoint(TPoint{FDragPoint.X + now.X - FOldOffsets.X, FDragPoint.Y + now.Y - FOldOffsets.Y});
}

void TEmberDragRectManager::PaintSelectionRect(TCanvas* ACanvas) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv || !ACanvas) return;
  TRect r;
  if (!IntersectRectEx(r, lv->GetScrollbars()->MapViewRectToWindowRect(SelectionRect()), lv->GetClientRect())) return;
  if (lv->HeaderInUse() && lv->GetHeader()->GetVisible()) r.Top = std::max(r.Top, lv->GetHeader()->RuntimeHeight());
  if (IsRectEmptyEx(r)) return;
  TEmberSelectionManager* sel = lv->GetSelection();
  if (sel->GetAlphaBlendSelRect() && common::CpuHasMMX()) {
    HDC dc = ACanvas->GetHandle();
    common::CommonAlphaBlend(dc, dc, r, TPoint{r.Left, r.Top}, common::TCommonBlendMode::cbmConstantAlphaAndColor,
                             sel->GetBlendAlphaSelRect(), static_cast<Integer>(ColorToRGB(sel->GetBlendColorSelRect())));
    ACanvas->GetBrush()->SetStyle(TBrushStyle::bsSolid);
    ACanvas->GetBrush()->SetColor(sel->GetBorderColorSelRect());
    ACanvas->FrameRect(r);
  } else {
    ACanvas->GetFont()->Assign(*lv->GetFont());
    ACanvas->GetBrush()->SetStyle(TBrushStyle::bsSolid);
    ACanvas->GetBrush()->SetColor(lv->GetColor());
    ACanvas->DrawFocusRect(r);
  }
}

}  // namespace ember
