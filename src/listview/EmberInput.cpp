// The list view's mouse, keyboard and wheel input: focus, selection, check boxes, group
// expansion, rubber band and drag start, hot tracking, gestures and scrolling.

#include <algorithm>

#include "listview/EmberControl.h"
#include "platform/classlib/ExtCtrls.h"

namespace ember {

using CS = TEmberControlState;
using KS = common::TCommonKeyState;
using MB = TCommonMouseButton;
using HT = TEmberItemHitTestInfo;
using GT = TEmberGroupHitTestInfo;

namespace {

constexpr TEmberControlStates kButtonFlags{CS::ebcsLButtonDown, CS::ebcsRButtonDown, CS::ebcsMButtonDown};

TPoint PointOf(const TMessage& Msg) { return TPoint{GET_X_LPARAM(Msg.LParam), GET_Y_LPARAM(Msg.LParam)}; }

// The key states of a mouse message; the button of a button event counts as pressed even when
// the message's key word no longer says so (a button coming up). cksButton keeps to the word: at
// a release it tells whether another button is still held.
TCommonKeyStates MouseKeyStates(WPARAM Keys, MB Button) {
  TCommonKeyStates s = common::KeyStateToCommonKeyStates(static_cast<DWORD>(Keys));
  switch (Button) {
    case MB::cmbLeft: s += KS::cksLButton; break;
    case MB::cmbRight: s += KS::cksRButton; break;
    case MB::cmbMiddle: s += KS::cksMButton; break;
    case MB::cmbNone: break;
  }
  return s;
}

// One selection batch: at most one selections-changed notice, closed on every way out.
class TSelectionBatch {
public:
  explicit TSelectionBatch(TEmberSelectionManager* S) : FS(S) {
    FS->IncMultiChangeCount();
    FS->GroupSelectBeginUpdate();
  }
  ~TSelectionBatch() {
    try {
      FS->GroupSelectEndUpdate();
      FS->DecMultiChangeCount();
    } catch (...) {
      // Unwinding already: the first failure is the one the caller sees.
    }
  }
  TSelectionBatch(const TSelectionBatch&) = delete;
  TSelectionBatch& operator=(const TSelectionBatch&) = delete;

private:
  TEmberSelectionManager* FS;
};

bool GroupTrackHit(TEmberHotTrackRectGroups Track, TEmberGroupHitTestInfoSet Hit) {
  using G = TEmberHotTrackRectGroup;
  return Track.Contains(G::htgAnyWhere) || (Track.Contains(G::htgIcon) && Hit.Contains(GT::egtOnIcon)) ||
         (Track.Contains(G::htgText) && Hit.Contains(GT::egtOnText)) ||
         (Track.Contains(G::htgTopMargin) && Hit.Contains(GT::egtOnHeader)) ||
         (Track.Contains(G::htgBottomMargin) && Hit.Contains(GT::egtOnFooter)) ||
         (Track.Contains(G::htgLeftMargin) && Hit.Contains(GT::egtOnLeftMargin)) ||
         (Track.Contains(G::htgRightMargin) && Hit.Contains(GT::egtOnRightMargin));
}

bool ItemTrackHit(TEmberHotTrackRectItems Track, TEmberItemHitTestInfoSet Hit) {
  using I = TEmberHotTrackRectItem;
  return Track.Contains(I::htiAnyWhere) || (Track.Contains(I::htiIcon) && Hit.Contains(HT::ehtOnIcon)) ||
         (Track.Contains(I::htiText) && Hit.Contains(HT::ehtOnText));
}

// The system's drag rectangle around the press point, as the drag detection measures it.
bool LeftDragRect(TPoint Start, TPoint P) {
  const Integer cx = GetSystemMetrics(SM_CXDRAG), cy = GetSystemMetrics(SM_CYDRAG);
  return P.X < Start.X - cx || P.X >= Start.X + cx || P.Y < Start.Y - cy || P.Y >= Start.Y + cy;
}

}  // namespace

// ---- The item drag the mouse handling starts ----
bool TEmberOLEDragManager::InitializeDrag(TEmberItem* HitItem, TPoint WindowPt, TCommonKeyStates KeyState) {
  if (!GetEnabled()) return false;
  if (!HitItem || !ButtonAllowed(KeyState) || !OwnerListview()) {
    SetDragItem(nullptr);
    return false;
  }
  if (!HitItem->SelectionHitPt(OwnerListview()->GetScrollbars()->MapWindowToView(WindowPt),
                               TEmberSelectHitType::eshtClickSelect))
    return false;
  SetDragItem(HitItem);
  return true;
}

// ---- The header's share of the mouse ----
bool TCustomEmberListview::IsInHeaderArea(TPoint WindowPt) const {
  if (FDragRect->Dragging() || FDragManager->Dragging() || FHeader->GetDragManager()->Dragging()) return false;
  if (FStates.Contains(CS::ebcsHeaderCapture) || FHeader->GetHotTrackedColumn()) return true;
  if (!HeaderInUse()) return false;
  const Integer h = FHeader->RuntimeHeight();
  return WindowPt.X >= 0 && WindowPt.Y >= 0 && WindowPt.X < GetClientWidth() && WindowPt.Y < h;
}

// ---- Mouse state ----
void TCustomEmberListview::ClearMouseStates() {
  FStates -= TEmberControlStates{CS::ebcsLButtonDown,  CS::ebcsRButtonDown,          CS::ebcsMButtonDown,
                                 CS::ebcsDragSelecting, CS::ebcsDragSelectPending,    CS::ebcsDragging,
                                 CS::ebcsScrollButtonDown, CS::ebcsVCLDrag,           CS::ebcsCheckboxClickPending,
                                 CS::ebcsHeaderCapture, CS::ebcsGroupExpandPending};
  if (!GetThemed()) FCheckManager->SetPendingObject(nullptr);
}

void TCustomEmberListview::CancelPendingDrag() {
  FStates -= TEmberControlStates{CS::ebcsDragPending, CS::ebcsDragSelectPending};
  FDragManager->FinalizeDrag();
}

void TCustomEmberListview::EndDrag(TPoint WindowPt, TCommonKeyStates KeyStates) {
  if (FStates.Contains(CS::ebcsDragging)) {
    FStates -= CS::ebcsDragging;
    FDragManager->DragEnd(KeyStates, WindowPt);
  }
  if (FStates.Contains(CS::ebcsDragSelecting)) {
    FStates -= CS::ebcsDragSelecting;
    FDragRect->DragEnd(KeyStates, WindowPt);
  }
  ClearMouseStates();
  if (HandleAllocated() && GetCapture() == Handle()) ReleaseCapture();
}

// OLE drag wins when both a drag and a rubber band could start.
void TCustomEmberListview::PrepareDrag(TEmberItem* Item, TPoint WindowPt, bool RubberBand, bool OLE,
                                       TCommonKeyStates KeyStates) {
  if (FStates.Contains(CS::ebcsDragSelecting)) EndDrag(WindowPt, KeyStates);
  TakeFocus();
  if (HandleAllocated()) SetCapture(Handle());
  const bool band = RubberBand && FDragRect->InitializeDrag(WindowPt, KeyStates);
  const bool ole = OLE && FDragManager->InitializeDrag(Item, WindowPt, KeyStates);
  FDragStartPt = WindowPt;
  if (ole && FDragManager->GetDragItem()) {
    FStates += CS::ebcsDragPending;
    FDragRect->FinalizeDrag();
  } else if (band) {
    FStates += CS::ebcsDragSelectPending;
    FDragManager->FinalizeDrag();
  }
}

void TCustomEmberListview::CheckClickPress(TEmberCollectionItem* Obj) {
  FStates += CS::ebcsCheckboxClickPending;
  FHotTrack->SetPendingObjectCheck(nullptr);
  FCheckManager->SetPendingObject(Obj);
}

void TCustomEmberListview::ExpandClick(TEmberGroup* Group) {
  bool allow = true;
  if (Group->GetExpanded())
    DoGroupCollapsing(Group, allow);
  else
    DoGroupExpanding(Group, allow);
  if (!allow) return;
  TEmberUpdateGuard update(this);
  FStates += CS::ebcsGroupExpandPending;
  Group->SetExpanded(!Group->GetExpanded());
  TEmberItem* focused = FSelection->GetFocusedItem();
  if (!Group->GetExpanded() && focused && focused->GetOwnerGroup() == Group) {
    // From past the folded group: its later items keep their visible state but are not shown.
    TEmberItem* next = FGroups->NextVisibleItem(Group->GetItem(Group->GetItemCount() - 1));
    while (next && !next->GetEnabled()) next = FGroups->NextVisibleItem(next);
    if (next)
      next->SetFocused(true);
    else
      FSelection->SetFocusedItem(nullptr);
  }
  update.End();
}

// ---- Mouse down ----
void TCustomEmberListview::HandleMouseDown(TCommonMouseButton Button, TMessage& Msg) {
  const TCommonKeyStates keys = MouseKeyStates(Msg.WParam, Button);
  const bool ctrl = keys.Contains(KS::cksControl), shift = keys.Contains(KS::cksShift);
  const bool anyButton = keys.Contains(KS::cksButton);
  FGesture->SetPath(String());
  const TPoint winPt = PointOf(Msg);
  const TPoint viewPt = FScrollbars->MapWindowToView(winPt);
  const bool buttonFlag = !(FStates * kButtonFlags).Empty();
  const bool editing = FEditManager->GetEditing();

  TEmberGroup* group = FGroups->GroupByPoint(viewPt);
  TEmberItem* item = nullptr;
  if (group) {
    TEmberGroupHitTestInfoSet ghit;
    group->HitTestAt(viewPt, ghit);
    // Asked through the virtual query so that a descendant decides which part of the header folds.
    if (GroupHitTestIsExpandButton(ghit) && Button == MB::cmbLeft) {
      ExpandClick(group);
      return;
    }
    if (ghit.Contains(GT::egtOnCheckbox) && Button == MB::cmbLeft) {
      CheckClickPress(group);
      return;
    }
    if (group->GetExpanded()) item = group->ItemByPoint(viewPt);
  }
  if (!item) {
    if (FDragRect->GetMouseButton().Contains(Button) && buttonFlag && !editing)
      PrepareDrag(nullptr, winPt, true, false, keys);
    return;
  }

  bool doDefault = true;
  DoItemMouseDown(item, Button, doDefault);
  if (!doDefault) return;
  TEmberItemHitTestInfoSet hit;
  item->HitTestAt(viewPt, hit);
  if (hit.Contains(HT::ehtOnCheck) && Button == MB::cmbLeft) {
    CheckClickPress(item);
    return;
  }
  const bool clickHit = item->SelectionHitPt(viewPt, TEmberSelectHitType::eshtClickSelect);
  if (!FSelection->GetEnabled()) {
    if (FSelection->GetUseFocusRect() && clickHit) item->SetFocused(true);
    return;
  }
  TSelectionBatch batch(FSelection);
  if (clickHit && anyButton && FSelection->GetMouseButton().Contains(Button)) {
    const bool editPending = Button == MB::cmbLeft && FSelection->GetCount() == 1 &&
                             FSelection->GetFocusedItem() == item && item->EditAreaHitPt(viewPt) &&
                             item->GetSelected() && Focused();
    if (FSelection->GetMultiSelect()) {
      if (!item->GetSelected() && !ctrl && !shift) FSelection->ClearAll();
      if (!ctrl) item->SetFocused(true);
      if (shift)
        FSelection->SelectRange(FSelection->GetAnchorItem(), item, !ctrl, FSelection->GetRectSelect());
      else
        FSelection->SetAnchorItem(item);
    } else {
      item->SetFocused(true);
      FSelection->SetAnchorItem(item);
      FSelection->ClearAll();
    }
    if (!ctrl) item->SetSelected(true);
    if ((FDragRect->GetMouseButton().Contains(Button) || FDragManager->GetMouseButton().Contains(Button)) &&
        !(FStates * kButtonFlags).Empty())
      PrepareDrag(item, winPt, true, item->PointAllowed(viewPt), keys);
    if (editPending) FEditManager->StartAutoEditTimer(winPt);
  } else if (clickHit) {
    if (FDragManager->GetMouseButton().Contains(Button) && buttonFlag && !editing)
      PrepareDrag(item, winPt, false, true, keys);
  } else if (FDragRect->GetMouseButton().Contains(Button) && buttonFlag && !editing) {
    PrepareDrag(nullptr, winPt, true, false, keys);
  }
}

// ---- Mouse move ----
void TCustomEmberListview::HandleMouseMove(TMessage& Msg) {
  const TPoint winPt = PointOf(Msg);
  const TCommonKeyStates keys = MouseKeyStates(Msg.WParam, MB::cmbNone);
  if (FGesture->GetEnabled()) {
    const TCommonMouseButtons b = FGesture->GetButton();
    const bool pressed = (keys.Contains(KS::cksLButton) && b.Contains(MB::cmbLeft)) ||
                         (keys.Contains(KS::cksRButton) && b.Contains(MB::cmbRight)) ||
                         (keys.Contains(KS::cksMButton) && b.Contains(MB::cmbMiddle));
    if (pressed) {
      const Integer t = FGesture->GetTolerance();
      const Integer dx = winPt.X - FLastMousePos.X, dy = winPt.Y - FLastMousePos.Y;
      Char letter = 0;
      if (dx > t && std::abs(dy) < 2 * t) letter = u'R';
      else if (dx < -t && std::abs(dy) < 2 * t) letter = u'L';
      else if (dy > t && std::abs(dx) < 2 * t) letter = u'D';
      else if (dy < -t && std::abs(dx) < 2 * t) letter = u'U';
      const String& path = FGesture->GetPath();
      if (letter && (path.empty() || path.back() != letter)) FGesture->SetPath(path + letter);
    }
  }

  if (IsInHeaderArea(winPt)) {
    FHotTrack->SetPendingObject(winPt, nullptr);
    HeaderMouseMessage(Msg);
  } else {
    const TEmberControlStates drags{CS::ebcsDragPending, CS::ebcsDragging, CS::ebcsDragSelectPending,
                                    CS::ebcsDragSelecting};
    if (!(FStates * drags).Empty()) {
      SetCursor(crDefault);
      TCommonDropEffect effect = TCommonDropEffect::cdeNone;
      if (FStates.Contains(CS::ebcsDragSelecting))
        FDragRect->Drag(keys, winPt, effect);
      else if (FStates.Contains(CS::ebcsDragging))
        FDragManager->Drag(keys, winPt, effect);
      else if (LeftDragRect(FDragStartPt, winPt))
        StartPendingDrag(Msg, keys);
    } else {
      HotTrackAt(winPt);
    }
    common::TCommonCanvasControl::Dispatch(Msg);
  }
  FLastMousePos = winPt;
}

void TCustomEmberListview::StartPendingDrag(TMessage& Msg, TCommonKeyStates Keys) {
  const TPoint winPt = PointOf(Msg);
  if (FStates.Contains(CS::ebcsDragSelectPending)) {
    FStates -= CS::ebcsDragSelectPending;
    FStates += CS::ebcsDragSelecting;
    if (!Keys.Contains(KS::cksControl) && !Keys.Contains(KS::cksShift)) FSelection->ClearAll();
    FEditManager->StopAutoEditTimer();
    FDragRect->BeginDrag(winPt, Keys);
    TPoint cursor;
    GetCursorPos(&cursor);
    TCommonDropEffect effect = TCommonDropEffect::cdeNone;
    FDragRect->DragEnter(nullptr, Keys, ScreenToClient(cursor), effect);
    return;
  }
  if (!FStates.Contains(CS::ebcsDragPending)) return;
  // The view point is clear of the header already: the group under it names the item.
  const TPoint movedTo = FScrollbars->MapWindowToView(winPt);
  TEmberGroup* under = FGroups->GroupByPoint(movedTo);
  if (!(under && under->GetExpanded() && under->ItemByPoint(movedTo))) {
    // The press began a drag over an item that the move left: a band instead, when allowed.
    FSelection->ClearAll();
    FStates -= CS::ebcsDragPending;
    FDragManager->FinalizeDrag();
    if (FDragRect->GetEnabled() && FDragRect->InitializeDrag(FDragStartPt, Keys)) FStates += CS::ebcsDragSelectPending;
    return;
  }
  FStates += CS::ebcsDragging;
  const bool vcl = FDragManager->GetDragType() == TEmberDragType::edtVCL;
  if (vcl) FStates += CS::ebcsVCLDrag;
  FStates -= CS::ebcsDragPending;
  FEditManager->StopAutoEditTimer();
  std::shared_ptr<bool> alive = FAlive;
  FDragManager->BeginDrag(winPt, Keys);
  if (!*alive || vcl) return;
  // The drag ran to its end inside BeginDrag: the button it ended with comes up here.
  UINT up = 0;
  if (FStates.Contains(CS::ebcsLButtonDown)) {
    up = WM_LBUTTONUP;
  } else if (FStates.Contains(CS::ebcsRButtonDown)) {
    FStates += CS::ebcsCancelContextMenu;
    up = WM_RBUTTONUP;
  } else if (FStates.Contains(CS::ebcsMButtonDown)) {
    up = WM_MBUTTONUP;
  }
  if (up && HandleAllocated()) SendMessage(Handle(), up, Msg.WParam, Msg.LParam);
}

void TCustomEmberListview::HotTrackAt(TPoint WindowPt) {
  const TPoint viewPt = FScrollbars->MapWindowToView(WindowPt);
  TEmberCollectionItem* hot = nullptr;
  TEmberCollectionItem* checkHover = nullptr;
  TEmberGroup* group = FGroups->GroupByPoint(viewPt);
  if (group) {
    TEmberGroupHitTestInfoSet ghit;
    group->HitTestAt(viewPt, ghit);
    if (ghit.Contains(GT::egtOnCheckbox))
      checkHover = group;
    else if (GroupTrackHit(FHotTrack->GetGroupTrack(), ghit))
      hot = group;
    if (!hot && !checkHover && group->GetExpanded()) {
      if (TEmberItem* item = group->ItemByPoint(viewPt)) {
        TEmberItemHitTestInfoSet hit;
        item->HitTestAt(viewPt, hit);
        // Unlike a group's, an item tracked anywhere stays hot over its own check box.
        if (hit.Contains(HT::ehtOnCheck)) checkHover = item;
        if (ItemTrackHit(FHotTrack->GetItemTrack(), hit)) hot = item;
      }
    }
  }
  const bool checkPending = FStates.Contains(CS::ebcsCheckboxClickPending);
  if (checkPending) {
    if (TEmberCollectionItem* pending = FCheckManager->GetPendingObject()) pending->SetCheckHovering(checkHover != pending);
    checkHover = nullptr;
  }
  const TRect client = GetClientRect();
  const bool inClient = WindowPt.X >= client.Left && WindowPt.Y >= client.Top && WindowPt.X < client.Right &&
                        WindowPt.Y < client.Bottom;
  const bool track = FHotTrack->GetEnabled() && !checkPending && inClient &&
                     (Focused() || !FHotTrack->GetOnlyFocused()) && hot && hot->GetEnabled();
  FHotTrack->SetPendingObject(WindowPt, track ? hot : nullptr);
  SetCursor(track ? FHotTrack->GetCursor() : crDefault);
  if (track && HandleAllocated()) {
    // The hot object lets go when the mouse leaves the window.
    TRACKMOUSEEVENT tme;
    tme.dwFlags = TME_LEAVE;
    tme.hwndTrack = Handle();
    TrackMouseEvent(&tme);
  }
  if (!checkPending) FHotTrack->SetPendingObjectCheck(checkHover);
}

// ---- Mouse up ----
void TCustomEmberListview::HandleMouseUp(TCommonMouseButton Button, TMessage& Msg) {
  const TCommonKeyStates keys = MouseKeyStates(Msg.WParam, Button);
  const bool ctrl = keys.Contains(KS::cksControl), shift = keys.Contains(KS::cksShift);
  const TPoint winPt = PointOf(Msg);
  const TPoint viewPt = FScrollbars->MapWindowToView(winPt);

  bool gestureHandled = false;
  if (FGesture->GetEnabled() && !FGesture->GetPath().empty() && FSelection->GetCount() == 0 &&
      !FStates.Contains(CS::ebcsCheckboxClickPending) && !FStates.Contains(CS::ebcsGroupExpandPending)) {
    bool doDefault = true;
    DoMouseGesture(Button, keys, FGesture->GetPath(), doDefault);
    gestureHandled = !doDefault;
  }
  if (!!(FStates * kButtonFlags).Empty() || FStates.Contains(CS::ebcsGroupExpandPending)) return;

  if (FStates.Contains(CS::ebcsCheckboxClickPending)) {
    // The toggle needs the release on the same box the press was on.
    if (TEmberCollectionItem* obj = FCheckManager->GetPendingObject()) {
      if (auto* item = dynamic_cast<TEmberItem*>(obj)) {
        TEmberItemHitTestInfoSet hit;
        if (item->HitTestAt(viewPt, hit) && hit.Contains(HT::ehtOnCheck)) item->SetChecked(!item->GetChecked());
      } else if (auto* g = dynamic_cast<TEmberGroup*>(obj)) {
        TEmberGroupHitTestInfoSet hit;
        if (g->HitTestAt(viewPt, hit) && hit.Contains(GT::egtOnCheckbox)) g->SetChecked(!g->GetChecked());
      }
    }
    if (TEmberCollectionItem* obj = FCheckManager->GetPendingObject()) {
      obj->SetCheckHovering(false);
      obj->SetCheckPending(false);
    }
    FCheckManager->SetPendingObject(nullptr);
  }

  if (FStates.Contains(CS::ebcsDragSelecting) ||
      (FStates.Contains(CS::ebcsDragging) && !FStates.Contains(CS::ebcsVCLDrag))) {
    EndDrag(winPt, keys);
    return;
  }
  if (gestureHandled) return;
  const bool selects = FSelection->GetMouseButton().Contains(Button);
  TEmberGroup* under = FGroups->GroupByPoint(viewPt);
  if (TEmberItem* item = under && under->GetExpanded() ? under->ItemByPoint(viewPt) : nullptr) {
    bool doDefault = true;
    DoItemMouseUp(item, Button, doDefault);
    if (doDefault) {
      TEmberItemHitTestInfoSet hit;
      item->HitTestAt(viewPt, hit);
      DoItemClick(item, keys, hit);
    }
    if (!selects) return;
    if (!item->SelectionHitPt(viewPt, TEmberSelectHitType::eshtClickSelect)) {
      FSelection->ClearAll();
    } else if (FSelection->GetMultiSelect() && Button == MB::cmbLeft) {
      if (!ctrl && !shift) {
        if (item->GetSelected()) FSelection->ClearAllExcept(item);
      } else if (ctrl) {
        // Ctrl-click deselects here, at the release, so a Ctrl-drag keeps the item selected.
        FEditManager->StopAutoEditTimer();
        if (!shift) item->SetSelected(!item->GetSelected());
        item->SetFocused(true);
      }
    }
    return;
  }
  if (TEmberGroup* group = FGroups->GroupByPoint(viewPt)) {
    TEmberGroupHitTestInfoSet ghit;
    group->HitTestAt(viewPt, ghit);
    DoGroupClick(group, keys, ghit);
  }
  if (selects) FSelection->ClearAll();
}

// ---- Double click ----
void TCustomEmberListview::HandleDblClick(TCommonMouseButton Button, TMessage& Msg) {
  const TPoint winPt = PointOf(Msg);
  if (IsInHeaderArea(winPt)) {
    HeaderMouseMessage(Msg);
    return;
  }
  const TPoint viewPt = FScrollbars->MapWindowToView(winPt);
  bool handled = false;
  DoDblClick(Button, winPt, KeysToShiftState(Msg.WParam), handled);
  if (handled) return;
  TEmberGroup* group = FGroups->GroupByPoint(viewPt);
  TEmberItem* item = group && group->GetExpanded() ? group->ItemByPoint(viewPt) : nullptr;
  if (item && item->SelectionHitPt(viewPt, TEmberSelectHitType::eshtClickSelect)) {
    TEmberHitInfoItem info;
    info.Item = item;
    info.Group = group;
    info.Column = -1;
    item->HitTestAt(viewPt, info.HitInfo);
    DoItemDblClick(Button, winPt, info);
  } else if (group) {
    TEmberHitInfoGroup info;
    info.Group = group;
    group->HitTestAt(viewPt, info.HitInfo);
    DoGroupDblClick(Button, winPt, info);
  }
}

// ---- Wheel ----
bool TCustomEmberListview::DoMouseWheel(TShiftState Shift, Integer WheelDelta, TPoint MousePos) {
  UINT lines = 3;
  SystemParametersInfo(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  // "A page per notch" and a setting of no lines both scroll a page; read as a count of lines
  // they would scroll backwards or not at all.
  const bool pageSetting = lines == WHEEL_PAGESCROLL || static_cast<Integer>(lines) <= 0;
  const Integer clientH = GetClientHeight(), pageV = std::max(1, clientH - FHeader->RuntimeHeight());
  const Integer pageH = std::max(1, GetClientWidth());
  bool vert = FWheelMouseDefaultScroll == TEmberDefaultWheelScroll::edwsVert;
  // The cells the groups are laid out in, which a custom grid may take from another view.
  Integer step;
  if (vert) {
    const Integer ch = std::max(1, FGroups->GetCellHeight());
    const Integer fit = std::max(1, clientH / ch);
    step = pageSetting ? pageV : std::min(static_cast<Integer>(lines), fit) * ch;
  } else {
    // The lines setting counts rows; a sideways notch is one column whatever it says.
    step = std::max(1, FGroups->GetCellWidth());
  }
  if (WheelDelta < 0) step = -step;
  common::TCommonCanvasControl::DoMouseWheel(Shift, step, MousePos);
  if (FWheelMouseScrollModifierEnabled) {
    if (Shift.Contains(TShiftStateItem::ssShift)) vert = !vert;
    if (Shift.Contains(TShiftStateItem::ssCtrl)) step = (vert ? pageV : pageH) * (WheelDelta < 0 ? -1 : 1);
  }
  if (vert)
    FScrollbars->Scroll(0, -step);
  else
    FScrollbars->Scroll(-step, 0);
  return true;
}

// ---- Keyboard ----
void TCustomEmberListview::MoveFocusTo(TEmberItem* Target, TShiftState Shift) {
  if (!Target || Target == FSelection->GetFocusedItem()) return;
  const bool ctrl = Shift.Contains(TShiftStateItem::ssCtrl), shift = Shift.Contains(TShiftStateItem::ssShift);
  TEmberUpdateGuard update(this);
  if ((!FSelection->GetEnabled() && FSelection->GetUseFocusRect()) || ctrl) {
    Target->SetFocused(true);
  } else if (shift && FSelection->GetAnchorItem()) {
    FSelection->SelectRange(FSelection->GetAnchorItem(), Target, true, FSelection->GetRectSelect());
    Target->SetFocused(true);
    Target->SetSelected(true);
  } else if (shift) {
    FSelection->ClearAll();
    Target->SetFocused(true);
    Target->SetSelected(true);
  } else {
    FSelection->ClearAll();
    Target->SetFocused(true);
    Target->SetSelected(true);
    FSelection->SetAnchorItem(Target);
  }
  if (TEmberItem* f = FSelection->GetFocusedItem()) f->MakeVisible(TEmberMakeVisiblePos::emvAuto);
  update.End();
  Update();
}

// Without selection and focus rectangle the navigation keys move the view instead.
void TCustomEmberListview::ScrollByKey(Word Key) {
  switch (Key) {
    case VK_LEFT: FScrollbars->Scroll(-1, 0); break;
    case VK_RIGHT: FScrollbars->Scroll(1, 0); break;
    case VK_UP: FScrollbars->Scroll(0, -1); break;
    case VK_DOWN: FScrollbars->Scroll(0, 1); break;
    case VK_HOME: FScrollbars->Scroll(-FScrollbars->GetOffsetX(), -FScrollbars->GetOffsetY()); break;
    case VK_END:
      FScrollbars->Scroll(FScrollbars->MaxOffsetX() - FScrollbars->GetOffsetX(),
                          FScrollbars->MaxOffsetY() - FScrollbars->GetOffsetY());
      break;
    case VK_PRIOR: FScrollbars->Scroll(0, -GetClientHeight()); break;
    case VK_NEXT: FScrollbars->Scroll(0, GetClientHeight()); break;
    default: break;
  }
}

void TCustomEmberListview::HandleKeyDown(TMessage& Msg) {
  const Word key = static_cast<Word>(Msg.WParam);
  const TShiftState shift = common::ShiftStateFromKeyData(Msg.LParam);
  const bool ctrl = shift.Contains(TShiftStateItem::ssCtrl);
  TSelectionBatch batch(FSelection);
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT: {
      if (!FSelection->GetEnabled() && !FSelection->GetUseFocusRect()) {
        ScrollByKey(key);
        return;
      }
      TEmberItem* focused = FSelection->GetFocusedItem();
      if (!focused) {
        if (TEmberItem* first = FGroups->FirstVisibleItem()) {
          first->SetFocused(true);
          first->SetSelected(true);
        }
        return;
      }
      TEmberItem* target = nullptr;
      switch (key) {
        case VK_LEFT: target = FGroups->AdjacentItem(focused, TEmberAdjacentCellDir::acdLeft); break;
        case VK_RIGHT: target = FGroups->AdjacentItem(focused, TEmberAdjacentCellDir::acdRight); break;
        case VK_UP: target = FGroups->AdjacentItem(focused, TEmberAdjacentCellDir::acdUp); break;
        case VK_DOWN: target = FGroups->AdjacentItem(focused, TEmberAdjacentCellDir::acdDown); break;
        case VK_PRIOR: target = FGroups->AdjacentItem(focused, TEmberAdjacentCellDir::acdPageUp); break;
        case VK_NEXT: target = FGroups->AdjacentItem(focused, TEmberAdjacentCellDir::acdPageDown); break;
        case VK_HOME: target = FGroups->FirstVisibleItem(); break;
        case VK_END: target = FGroups->LastVisibleItem(); break;
        default: break;
      }
      if (key == VK_DOWN && !target && FSelection->GetCount() == 0 && FGroups->ItemCount() == 1) {
        FSelection->SetFocusedItem(nullptr);
        target = FGroups->FirstItem();
      }
      MoveFocusTo(target, shift);
      return;
    }
    case VK_F2:
      if (TEmberItem* focused = FSelection->GetFocusedItem()) FEditManager->BeginEdit(focused, nullptr);
      return;
    case VK_SPACE:
      if (TEmberItem* focused = FSelection->GetFocusedItem()) {
        const TEmberCheckType t = focused->GetCheckType();
        if (t == TEmberCheckType::ectBox || t == TEmberCheckType::ectRadio) focused->SetChecked(!focused->GetChecked());
      }
      return;
    case VK_ADD:
      if (ctrl) AutoFitAllCellCaptions(true);
      return;
    case VK_ESCAPE:
      ClearCutMarks();
      SafeInvalidateRect(nullptr, false);
      return;
    default: break;
  }
  if (!ctrl) return;
  switch (key) {
    case 'A': FSelection->SelectAll(); break;
    case 'C': {
      bool handled = false;
      DoClipboardCopy(handled);
      if (!handled) ClipboardCopy();
      break;
    }
    case 'X': {
      bool markAsCut = true, handled = false;
      DoClipboardCut(markAsCut, handled);
      if (!handled)
        ClipboardCut();
      else if (markAsCut)
        MarkSelectedCut();
      break;
    }
    case 'V': {
      bool handled = false;
      DoClipboardPaste(handled);
      if (!handled) ClipboardPaste();
      break;
    }
    default: break;
  }
}

}  // namespace ember
