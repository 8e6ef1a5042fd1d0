// The list view's window and control messages: they keep the button state, feed the mouse and
// keyboard input, the managers and the hints, and show the context menus.

#include <algorithm>

#include "common/CommonThreadManager.h"
#include "listview/EmberAccessible.h"
#include "listview/EmberControl.h"
#include "listview/EmberEdit.h"
#include "listview/EmberItemViews.h"
#include "platform/classlib/Menus.h"

namespace ember {

using CS = TEmberControlState;
using MB = TCommonMouseButton;

namespace {

TPoint PointOf(const TMessage& Msg) { return TPoint{GET_X_LPARAM(Msg.LParam), GET_Y_LPARAM(Msg.LParam)}; }

TEmberMouseActivate ActivateOf(LRESULT R) {
  switch (R) {
    case MA_ACTIVATE: return TEmberMouseActivate::emaActivate;
    case MA_ACTIVATEANDEAT: return TEmberMouseActivate::emaActivateAndEat;
    case MA_NOACTIVATE: return TEmberMouseActivate::emaNoActivate;
    case MA_NOACTIVATEANDEAT: return TEmberMouseActivate::emaNoActivateAndEat;
    default: return TEmberMouseActivate::emaDefault;
  }
}

TEmberNonClientHitTest HitTestOf(int16_t Code) {
  using H = TEmberNonClientHitTest;
  if (Code == HTERROR) return H::enchtError;
  if (Code == HTTRANSPARENT) return H::enchtTransparent;
  if (Code < 0 || Code > static_cast<int16_t>(H::enchtHelp)) return H::enchtNowhere;
  return static_cast<H>(Code);
}

LRESULT ResultOf(TEmberMouseActivate A, LRESULT Fallback) {
  switch (A) {
    case TEmberMouseActivate::emaActivate: return MA_ACTIVATE;
    case TEmberMouseActivate::emaActivateAndEat: return MA_ACTIVATEANDEAT;
    case TEmberMouseActivate::emaNoActivate: return MA_NOACTIVATE;
    case TEmberMouseActivate::emaNoActivateAndEat: return MA_NOACTIVATEANDEAT;
    case TEmberMouseActivate::emaDefault: break;
  }
  return Fallback;
}

}  // namespace

// Clicks, double clicks and moves over the header go to the header; nothing reaches the items
// meanwhile. A right-button release also ends the header's hot tracking, which holds the mouse.
void TCustomEmberListview::HeaderMouseMessage(TMessage& Msg) {
  switch (Msg.Msg) {
    case WM_MOUSEMOVE: FHeader->WMMouseMove(Msg); return;
    case WM_LBUTTONDOWN: FHeader->WMLButtonDown(Msg); return;
    case WM_LBUTTONUP: FHeader->WMLButtonUp(Msg); return;
    case WM_LBUTTONDBLCLK: FHeader->WMLButtonDblClk(Msg); return;
    case WM_RBUTTONDOWN: FHeader->WMRButtonDown(Msg); return;
    case WM_RBUTTONUP:
      if (Msg.Result == 0) FHeader->WMRButtonUp(Msg);
      if (FHeader->GetHotTrackedColumn()) FHeader->WMLButtonUp(Msg);
      return;
    default: return;
  }
}

// A list in a dialog keeps Escape and Enter only while it has a use for them; otherwise they are
// the dialog's cancel and default buttons' (Escape on a list of thumbnails closed nothing).
bool TCustomEmberListview::WantsDialogKey(Word Key) {
  FOfferedKey.reset();
  if (Key != VK_ESCAPE && Key != VK_RETURN) return true;
  if (Key == VK_ESCAPE) {
    if (FStates.Contains(CS::ebcsDragSelecting) || FStates.Contains(CS::ebcsDragging)) return true;
    if (AnyItemCut()) return true;  // Escape takes the cut marks away
  }
  return OfferKeyAction(Key);
}

// The application's handler or a descendant's dispatcher may want the key. The dialog asks as the
// key goes down, so the key is offered to the key action then, and the list keeps it when the
// action was heard: by a handler, by a descendant that answered without the default dispatcher,
// or with DoDefault cleared. The key's WM_KEYDOWN goes on with what the action made of it.
bool TCustomEmberListview::OfferKeyAction(Word Key) {
  if (GetKeyState(VK_MENU) < 0) return false;  // with Alt it is a system key, never a key action
  TOfferedKey offer{Key, Key, common::ShiftStateFromKeyData(0), true};
  std::shared_ptr<bool> alive = FAlive;
  FKeyActionUnheard = false;
  DoKeyAction(offer.CharCode, offer.Shift, offer.DoDefault);
  if (!*alive) return false;
  FOfferedKey = offer;
  return !offer.DoDefault || !FKeyActionUnheard;
}

void TCustomEmberListview::DoKeyAction(Word& CharCode, TShiftState& Shift, bool& DoDefault) {
  FKeyActionUnheard = !OnKeyAction;
  if (OnKeyAction) OnKeyAction(this, CharCode, Shift, DoDefault);
}

void TCustomEmberListview::Dispatch(TMessage& Msg) {
  using Base = common::TCommonCanvasControl;
  switch (Msg.Msg) {
    case WM_CHAR:
      Base::Dispatch(Msg);
      FIncrementalSearch->HandleWMChar(Msg);
      return;
    case WM_CLOSE:
      FEditManager->EndEdit();
      Base::Dispatch(Msg);
      return;
    case WM_CONTEXTMENU: ContextMenuMessage(Msg); return;
    case WM_DESTROY:
      if (FEditManager->GetEditing()) FEditManager->CancelEdit();
      // A window made again gets a new tree; the old objects must not reach freed elements.
      ReleaseAccessibleTree(this);
      // Here and not in DestroyWnd: a parent's window takes its children's with it without their
      // DestroyWnd, and a registration still marked would keep the next window from registering.
      FDragManager->SetRegistered(false);
      FHeader->GetDragManager()->SetRegistered(false);
      Base::Dispatch(Msg);
      return;
    case WM_GETOBJECT:
      Base::Dispatch(Msg);
      Msg.Result = AccessibleGetObject(this, Msg.WParam, Msg.LParam, Msg.Result);
      return;
    case common::WM_COMMONTHREADCALLBACK:
      // The request stays the queue's unless a handler takes it (TakePayload) to keep it.
      DoThreadCallBack(common::ThreadRequestOf(Msg.Msg, Msg.WParam, Msg.LParam));
      return;
    case WM_ERASEBKGND:
      // Every paint is double-buffered: nothing to erase.
      Msg.Result = 1;
      return;
    case WM_GETDLGCODE: {
      std::shared_ptr<bool> alive = FAlive;
      Base::Dispatch(Msg);
      Msg.Result |= DLGC_WANTARROWS | DLGC_WANTCHARS;
      const bool wants = WantsDialogKey(static_cast<Word>(Msg.WParam));
      if (*alive && wants) Msg.Result |= DLGC_WANTALLKEYS;
      return;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      Base::Dispatch(Msg);
      if (LOWORD(Msg.WParam) == SB_ENDSCROLL)
        FStates -= CS::ebcsScrolling;
      else
        FStates += CS::ebcsScrolling;
      if (Msg.Msg == WM_HSCROLL)
        FScrollbars->WMHScroll(Msg);
      else
        FScrollbars->WMVScroll(Msg);
      SafeInvalidateRect(nullptr, false);
      return;
    case WM_KEYDOWN: {
      std::shared_ptr<bool> alive = FAlive;
      Base::Dispatch(Msg);
      if (!*alive) return;
      std::optional<TOfferedKey> offered;
      offered.swap(FOfferedKey);
      if (offered && offered->Key != Msg.WParam) offered.reset();
      if (FStates.Contains(CS::ebcsDragSelecting)) {
        FDragRect->WMKeyDown(Msg);
        return;
      }
      FIncrementalSearch->HandleWMKeyDown(Msg);
      Word charCode = static_cast<Word>(Msg.WParam);
      TShiftState shift = common::ShiftStateFromKeyData(Msg.LParam);
      bool doDefault = true;
      if (offered) {
        charCode = offered->CharCode;
        shift = offered->Shift;
        doDefault = offered->DoDefault;
      } else {
        DoKeyAction(charCode, shift, doDefault);
      }
      if (!doDefault) return;
      Msg.WParam = charCode;
      HandleKeyDown(Msg);
      return;
    }
    case WM_KILLFOCUS:
      Base::Dispatch(Msg);
      if (FHotTrack->GetOnlyFocused()) FHotTrack->SetPendingObject(TPoint{}, nullptr);
      SafeInvalidateRect(nullptr, false);
      FStates -= TEmberControlStates{CS::ebcsDragPending, CS::ebcsDragSelectPending, CS::ebcsDragSelecting};
      return;
    case WM_SETFOCUS:
      Base::Dispatch(Msg);
      SafeInvalidateRect(nullptr, false);
      return;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
      const MB button = Msg.Msg == WM_LBUTTONDBLCLK ? MB::cmbLeft : Msg.Msg == WM_RBUTTONDBLCLK ? MB::cmbRight : MB::cmbMiddle;
      if (button == MB::cmbLeft) FEditManager->EndEdit();
      std::shared_ptr<bool> alive = FAlive;
      Base::Dispatch(Msg);
      if (*alive) HandleDblClick(button, Msg);
      return;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: ButtonMessage(Msg); return;
    case WM_MOUSEMOVE: HandleMouseMove(Msg); return;
    case WM_MOUSELEAVE:
      // The mouse left the window: nothing stays hot.
      FHotTrack->SetPendingObject(TPoint{}, nullptr);
      Base::Dispatch(Msg);
      return;
    case WM_MOUSEACTIVATE: {
      Base::Dispatch(Msg);
      const TEmberNonClientHitTest hitTest = HitTestOf(static_cast<int16_t>(LOWORD(Msg.LParam)));
      TEmberMouseActivate activate = ActivateOf(Msg.Result);
      bool doDefault = true;
      DoMouseActivate(reinterpret_cast<HWND>(Msg.WParam), hitTest, HIWORD(Msg.LParam), activate, doDefault);
      Msg.Result = ResultOf(activate, Msg.Result);
      if (doDefault) Msg.Result = FEditManager->GetEditing() ? MA_NOACTIVATE : MA_ACTIVATE;
      return;
    }
    case WM_SIZE:
      // Spring columns follow the new width before the control lays itself out.
      FHeader->WMSize(Msg);
      Base::Dispatch(Msg);
      return;
    case WM_WINDOWPOSCHANGING: {
      FBackGround->WMWindowPosChanging(Msg);
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(Msg.LParam);
      const bool sized = pos && !(pos->flags & SWP_NOSIZE) && (pos->cx != GetWidth() || pos->cy != GetHeight());
      Base::Dispatch(Msg);
      if (sized && HandleAllocated()) Update();
      return;
    }
    case WM_WINDOWPOSCHANGED: WMWindowPosChanged(Msg); return;
    case WM_EMBER_EDITNEXT: {
      // An arrow or Tab ended the last edit: the edit moves on to the cell it chose. Across
      // columns the item keeps its place; to another item the focus goes along.
      TEmberItem* item = FEditManager->GetTabMoveFocusItem();
      TEmberColumn* column = FEditManager->GetTabMoveFocusColumn();
      FEditManager->SetTabMoveFocusItem(nullptr);
      if (FEditManager->GetTabEditColumns() && column) {
        column->MakeVisible(TEmberMakeVisiblePos::emvAuto);
        if (item) FEditManager->BeginEdit(item, column);
      } else if (item) {
        item->SetFocused(true);
        item->MakeVisible(TEmberMakeVisiblePos::emvAuto);
        FEditManager->BeginEdit(item, column);
      }
      return;
    }
    case CM_FONTCHANGED:
      Base::Dispatch(Msg);
      FEditManager->GetFont()->Assign(*GetFont());
      FGroups->Rebuild(true);
      return;
    case CM_PARENTFONTCHANGED: {
      Base::Dispatch(Msg);
      if (GetParentFont()) {
        const TFont* font = reinterpret_cast<const TFont*>(Msg.LParam);
        if (!font && GetParent()) font = GetParent()->GetFont();
        if (font) {
          FStates += CS::ebcsSettingParentFont;
          FGroupFont->Assign(*font);
          FHeader->GetFont()->Assign(*font);
          FEditManager->GetFont()->Assign(*font);
          FStates -= CS::ebcsSettingParentFont;
        }
      }
      FGroups->Rebuild(true);
      return;
    }
    case CM_HINTSHOW: CMHintShow(Msg); return;
    case CM_DRAG: CMDrag(Msg); return;
    case CM_HINTSHOWPAUSE:
      if (auto* pause = reinterpret_cast<Integer*>(Msg.LParam)) DoHintPauseTime(Msg.WParam != 0, *pause);
      Base::Dispatch(Msg);
      return;
    default: Base::Dispatch(Msg);
  }
}

void TCustomEmberListview::ButtonMessage(TMessage& Msg) {
  using Base = common::TCommonCanvasControl;
  const TPoint pt = PointOf(Msg);
  std::shared_ptr<bool> alive = FAlive;
  auto releaseCapture = [this] {
    if (HandleAllocated() && GetCapture() == Handle()) ReleaseCapture();
  };
  // The middle and right buttons released over the items: the press ends, any pending drag with
  // it, and the capture goes back. False when the control was freed on the way.
  auto endPress = [&](MB button, bool handleUp) {
    if (handleUp) HandleMouseUp(button, Msg);
    if (!*alive) return false;
    CancelPendingDrag();
    Base::Dispatch(Msg);
    if (!*alive) return false;
    releaseCapture();
    return true;
  };
  switch (Msg.Msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      const MB button = Msg.Msg == WM_LBUTTONDOWN ? MB::cmbLeft : Msg.Msg == WM_RBUTTONDOWN ? MB::cmbRight : MB::cmbMiddle;
      FStates += button == MB::cmbLeft    ? CS::ebcsLButtonDown
                 : button == MB::cmbRight ? CS::ebcsRButtonDown
                                          : CS::ebcsMButtonDown;
      TakeFocus();
      if (button != MB::cmbMiddle && IsInHeaderArea(pt)) {
        HeaderMouseMessage(Msg);
      } else {
        Base::Dispatch(Msg);
        if (!*alive) return;
        HandleMouseDown(button, Msg);
      }
      if (*alive) FLastMousePos = pt;
      return;
    }
    case WM_LBUTTONUP:
      if (IsInHeaderArea(pt)) {
        HeaderMouseMessage(Msg);
      } else {
        if (!FStates.Contains(CS::ebcsVCLDrag)) CancelPendingDrag();
        Base::Dispatch(Msg);
        if (!*alive) return;
        HandleMouseUp(MB::cmbLeft, Msg);
        if (!*alive) return;
        releaseCapture();
      }
      if (!FStates.Contains(CS::ebcsVCLDrag)) ClearMouseStates();
      return;
    case WM_MBUTTONUP:
      if (!endPress(MB::cmbMiddle, true)) return;
      ClearMouseStates();
      return;
    case WM_RBUTTONUP:
      if (IsInHeaderArea(pt)) {
        Base::Dispatch(Msg);
        if (!*alive) return;
        HeaderMouseMessage(Msg);
      } else {
        // A right-button drag or band ends here without a context menu.
        if (FStates.Contains(CS::ebcsDragging) || FStates.Contains(CS::ebcsVCLDrag) ||
            FStates.Contains(CS::ebcsDragSelecting))
          FStates += CS::ebcsCancelContextMenu;
        if (!endPress(MB::cmbRight, Msg.Result == 0)) return;
      }
      ClearMouseStates();
      return;
    default: return;
  }
}

void TCustomEmberListview::WMWindowPosChanged(TMessage& Msg) {
  const auto* pos = reinterpret_cast<const WINDOWPOS*>(Msg.LParam);
  const bool sized = pos && !(pos->flags & SWP_NOSIZE) && (pos->cx != FWindowSize.X || pos->cy != FWindowSize.Y);
  if (sized) FWindowSize = TPoint{pos->cx, pos->cy};
  // WM_SIZE comes from inside the inherited handling, while the cells are still those of the old
  // size: its resize event waits for the layout below.
  const bool outer = !FPositionChanging;
  FPositionChanging = true;
  try {
    common::TCommonCanvasControl::Dispatch(Msg);
  } catch (...) {
    if (outer) FPositionChanging = false;
    throw;
  }
  if (outer) FPositionChanging = false;
  if (sized) {
    FGroups->Rebuild(true);
    FScrollbars->ReCalculateScrollbars(true, false);
    ResizeBackBits(GetClientWidth(), GetClientHeight());
  }
  if (outer && FResizePending) {
    FResizePending = false;
    Resize();
  }
}

void TCustomEmberListview::Resize() {
  if (FPositionChanging) {
    FResizePending = true;
    return;
  }
  common::TCommonCanvasControl::Resize();
}

void TCustomEmberListview::ContextMenuMessage(TMessage& Msg) {
  using Base = common::TCommonCanvasControl;
  struct ClearCancel {
    TEmberControlStates& S;
    ~ClearCancel() { S -= CS::ebcsCancelContextMenu; }
  } clearCancel{FStates};
  if (FEditManager->GetEditing() || (FGesture->GetEnabled() && !FGesture->GetPath().empty())) {
    Msg.Result = 1;
    Base::Dispatch(Msg);
    return;
  }
  if (FStates.Contains(CS::ebcsCancelContextMenu)) return;

  TPoint pt = PointOf(Msg);
  const bool keyboard = pt.X == -1 && pt.Y == -1;
  bool handled = false;
  TPopupMenu* menu = nullptr;
  std::shared_ptr<bool> alive = FAlive;
  if (keyboard && FSelection->GetCount() > 0) {
    // From the keyboard with a selection: the menu of the first selected item, at its corner.
    TEmberItem* item = FSelection->First();
    TPoint corner = FScrollbars->MapViewToWindow(TPoint{item->GetDisplayRect().Left, item->GetDisplayRect().Top});
    corner = ClientToScreen(corner);
    corner.Y += FHeader->RuntimeHeight();
    pt = corner;
    TEmberHitInfoItem info;
    info.Item = item;
    info.Group = item->GetOwnerGroup();
    info.Column = -1;
    info.HitInfo = TEmberItemHitTestInfoSet{TEmberItemHitTestInfo::ehtOnIcon, TEmberItemHitTestInfo::ehtOnLabel};
    DoItemContextMenu(info, pt, menu, handled);
  } else if (!keyboard) {
    const TPoint client = ScreenToClient(pt);
    if (IsInHeaderArea(client)) {
      FHeader->WMContextMenu(Msg);
      Msg.Result = 1;
      return;
    }
    FStates -= TEmberControlStates{CS::ebcsDragPending, CS::ebcsDragSelectPending};
    const TPoint viewPt = FScrollbars->MapWindowToView(client);
    TEmberGroup* group = FGroups->GroupByPoint(viewPt);
    TEmberItem* item = group && group->GetExpanded() ? group->ItemByPoint(viewPt) : nullptr;
    if (item) {
      TEmberHitInfoItem info;
      info.Item = item;
      info.Group = group;
      info.Column = -1;
      item->HitTestAt(viewPt, info.HitInfo);
      DoItemContextMenu(info, client, menu, handled);
      if (!*alive) return;
    }
    if (!menu && !handled && group) {
      TEmberHitInfoGroup info;
      info.Group = group;
      group->HitTestAt(viewPt, info.HitInfo);
      DoGroupContextMenu(info, client, menu, handled);
    }
  }
  if (!*alive) return;
  if (!handled) DoContextMenu(pt, handled);
  if (!*alive) return;
  if (menu && !handled) {
    menu->PopupComponent = this;
    menu->Popup(pt.X, pt.Y);
    Msg.Result = 1;
    return;
  }
  if (!handled) Base::Dispatch(Msg);
}

void TCustomEmberListview::CMHintShow(TMessage& Msg) {
  auto* info = reinterpret_cast<THintInfo*>(Msg.LParam);
  if (!info || FDragManager->Dragging() || FDragRect->Dragging() || FEditManager->GetEditing()) {
    Msg.Result = 1;
    return;
  }
  const TPoint viewPt = FScrollbars->MapWindowToView(info->CursorPos);
  TEmberCollectionItem* target = nullptr;
  TRect cursorRect;
  // The point is already clear of the header: the group finds its item directly.
  TEmberGroup* under = FGroups->GroupByPoint(viewPt);
  TEmberItem* item = under && under->GetExpanded() ? under->ItemByPoint(viewPt) : nullptr;
  TEmberItemHitTestInfoSet hit;
  if (item && item->HitTestAt(viewPt, hit) && hit.Contains(TEmberItemHitTestInfo::ehtOnClickSelectBounds)) {
    target = item;
    cursorRect = item->GetDisplayRect();
  } else if (TEmberGroup* group = under) {
    target = group;
    // The hint stays while the mouse is in the margin it was asked for.
    TEmberGroupHitTestInfoSet groupHit;
    group->HitTestAt(viewPt, groupHit);
    using GH = TEmberGroupHitTestInfo;
    if (groupHit.Contains(GH::egtOnRightMargin))
      cursorRect = group->GetBoundsRectRightMargin();
    else if (groupHit.Contains(GH::egtOnLeftMargin))
      cursorRect = group->GetBoundsRectLeftMargin();
    else if (groupHit.Contains(GH::egtOnFooter))
      cursorRect = group->GetBoundsRectBottomMargin();
    else if (groupHit.Contains(GH::egtOnHeader))
      cursorRect = group->GetBoundsRectTopMargin();
    item = nullptr;
  } else {
    item = nullptr;
  }

  FHintData = TEmberHintInfoRec{};
  FHintData.HintControl = this;
  FHintData.HintType = FHintInfo->GetHintType();
  FHintData.HintStr = GetHint();
  FHintData.HintMaxWidth = info->HintMaxWidth;
  FHintData.HideTimeout = info->HideTimeout;
  FHintData.ReshowTimeout = info->ReshowTimeout;
  FHintData.HintPos = info->HintPos;
  FHintData.HintColor = info->HintColor;
  bool allow = true;
  DoHintPopup(target, FHintData.HintType, info->CursorPos, FHintData.HintStr, FHintData.HideTimeout,
              FHintData.ReshowTimeout, allow);
  bool show = allow && !FHintData.HintStr.empty();
  FHintData.ToolTipRect = TRect{0, 0, GetSystemMetrics(SM_CXSCREEN), 0};
  if (show && FHintData.HintType == TEmberHintType::ehtToolTip) {
    // A tool tip only for an item whose caption its text rectangle cannot hold.
    show = item && !item->GetFocused();
    if (show) {
      TEmberRectArrayObject ra;
      TEmberColumn* column = FHeader->FirstColumn();
      item->ItemRectArray(column, GetScratchCanvas(), ra);
      TCanvas* c = GetScratchCanvas();
      TEmberViewItem* view = item->GetView();
      if (c && view) {
        // Measured as the view paints it: a bold caption is wider than the control's font says.
        view->LoadTextFont(item, 0, c, false);
        TRect need = FHintData.ToolTipRect;
        common::DrawTextWEx(c->GetHandle(), item->GetCaption(), need, view->PaintTextLineCount(item, column),
                            common::dtwCalcRect);
        FHintData.ToolTipRect = need;
        show = need.Width() > ra.TextRect.Width() || need.Height() > ra.TextRect.Height();
      }
    }
  }
  if (!show) {
    Msg.Result = 1;
    return;
  }
  info->HintWindowClass = &HintWindowOf<TEmberHintWindow>;
  info->HintData = &FHintData;
  info->HintStr = FHintData.HintStr.empty() ? String(u"Dummy") : FHintData.HintStr;
  info->CursorRect = FScrollbars->MapViewRectToWindowRect(cursorRect);
  info->ReshowTimeout = FHintData.ReshowTimeout;
  info->HideTimeout = FHintData.HideTimeout;
  FHintData.HintStr = info->HintStr;
  FHintData.HintWindowClass = info->HintWindowClass;
  FHintData.Listview = this;
  FHintData.TargetObj = target;
  FHintData.CursorRect = info->CursorRect;
  FHintData.CursorPos = info->CursorPos;
  common::TCommonCanvasControl::Dispatch(Msg);
}

}  // namespace ember
