// The scroll bar manager: the view rectangle the groups are laid out on, the offsets of the window
// over it (kept within the view, and on whole cells in the horizontal views), the window's scroll
// bars, and the mapping between view and window coordinates.
#include "listview/EmberControl.h"
#include "platform/gdi/Gdi.h"

namespace ember {

// ---- Derived values ----
Integer TEmberScrollbarManager::HeaderHeight() const {
  TCustomEmberListview* lv = OwnerListview();
  return lv && lv->GetHeader() ? lv->GetHeader()->RuntimeHeight() : 0;
}

bool TEmberScrollbarManager::HorzBarVisible() const {
  TCustomEmberListview* lv = OwnerListview();
  return lv && lv->HandleAllocated() && (GetWindowLongPtr(lv->Handle(), GWL_STYLE) & WS_HSCROLL) != 0;
}

bool TEmberScrollbarManager::VertBarVisible() const {
  TCustomEmberListview* lv = OwnerListview();
  return lv && lv->HandleAllocated() && (GetWindowLongPtr(lv->Handle(), GWL_STYLE) & WS_VSCROLL) != 0;
}

Integer TEmberScrollbarManager::LineStep() const {
  TCustomEmberListview* lv = OwnerListview();
  return lv && lv->GetGroups() ? lv->GetGroups()->GetCellHeight() : 0;
}

Integer TEmberScrollbarManager::SnapWidth() const {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return 0;
  TEmberCellSizes* sizes = lv->GetCellSizes();
  return lv->GetView() == TEmberListStyle::elsFilmStrip ? sizes->GetFilmStrip()->GetWidth() : sizes->GetList()->GetWidth();
}

Integer TEmberScrollbarManager::MaxOffsetY() const {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return 0;
  return std::max(0, ViewHeight() - lv->GetClientHeight() + HeaderHeight());
}

// In the horizontal views the last offset is a whole number of cells, one cell past the view's
// overhang, so that the last column can be scrolled fully into the window.
Integer TEmberScrollbarManager::MaxOffsetX() const {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return 0;
  Integer m = ViewWidth() - lv->GetClientWidth();
  const Integer w = SnapWidth();
  if (!lv->IsVertView() && HorzBarVisible() && w > 0) m = (m / w) * w + w;
  return std::max(0, m);
}

Integer TEmberScrollbarManager::RowsPerPage() const {
  TCustomEmberListview* lv = OwnerListview();
  const Integer step = LineStep();
  if (!lv || step < 1) return 1;
  return std::max(1, (lv->GetClientHeight() - HeaderHeight()) / step);
}

Integer TEmberScrollbarManager::PageOffsetY(bool Down) const {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return 0;
  const Integer page = lv->GetClientHeight();
  return std::clamp(FOffsetY + (Down ? page : -page), 0, MaxOffsetY());
}

// ---- Mapping ----
TPoint TEmberScrollbarManager::MapWindowToView(TPoint P, bool CorrectForHeader) const {
  return TPoint{P.X + FOffsetX, P.Y + FOffsetY - (CorrectForHeader ? HeaderHeight() : 0)};
}
TPoint TEmberScrollbarManager::MapWindowToView(TSmallPoint P, bool CorrectForHeader) const {
  return MapWindowToView(TPoint{P.X, P.Y}, CorrectForHeader);
}
TPoint TEmberScrollbarManager::MapViewToWindow(TPoint P, bool CorrectForHeader) const {
  return TPoint{P.X - FOffsetX, P.Y - FOffsetY + (CorrectForHeader ? HeaderHeight() : 0)};
}
TRect TEmberScrollbarManager::MapWindowRectToViewRect(const TRect& R, bool CorrectForHeader) const {
  TPoint a = MapWindowToView(TPoint{R.Left, R.Top}, CorrectForHeader);
  TPoint b = MapWindowToView(TPoint{R.Right, R.Bottom}, CorrectForHeader);
  return TRect{a.X, a.Y, b.X, b.Y};
}
TRect TEmberScrollbarManager::MapViewRectToWindowRect(const TRect& R, bool CorrectForHeader) const {
  TPoint a = MapViewToWindow({R.Left, R.Top}, CorrectForHeader);
  TPoint b = MapViewToWindow({R.Right, R.Bottom}, CorrectForHeader);
  return TRect{a.X, a.Y, b.X, b.Y};
}

// ---- Offsets ----
void TEmberScrollbarManager::ValidateOffsets(Integer& X, Integer& Y) const {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) {
    X = 0;
    Y = 0;
    return;
  }
  const Integer w = SnapWidth();
  if (FSnapHorzView && !lv->IsVertView() && w > 0) {
    const Integer incoming = X;
    const Integer rest = X % w;
    X -= rest;
    if (rest > w / 2 || incoming > ViewWidth() - w) X += w;
  }
  Y = std::max(0, std::min(Y, MaxOffsetY()));
  X = std::max(0, std::min(X, MaxOffsetX()));
}

void TEmberScrollbarManager::InvalidateControl() {
  if (OwnerListview()) OwnerListview()->SafeInvalidateRect(nullptr, false);
}

void TEmberScrollbarManager::Scroll(Integer DeltaX, Integer DeltaY) {
  const Integer oldX = FOffsetX, oldY = FOffsetY;
  Integer x = FOffsetX + DeltaX, y = FOffsetY + DeltaY;
  ValidateOffsets(x, y);
  if (x == oldX && y == oldY) return;
  FOffsetX = x;
  FOffsetY = y;
  ReCalculateScrollbars(true, true);
  if (TCustomEmberListview* lv = OwnerListview()) lv->DoScroll(oldX - FOffsetX, oldY - FOffsetY);
  InvalidateControl();
}

void TEmberScrollbarManager::SetOffsetX(Integer Value) {
  if (Value != FOffsetX) Scroll(Value - FOffsetX, 0);
}
void TEmberScrollbarManager::SetOffsetY(Integer Value) {
  if (Value != FOffsetY) Scroll(0, Value - FOffsetY);
}

void TEmberScrollbarManager::SetHorzEnabled(bool Value) {
  if (Value == FHorzEnabled) return;
  FHorzEnabled = Value;
  ReCalculateScrollbars(true, false);
  InvalidateControl();
}
void TEmberScrollbarManager::SetVertEnabled(bool Value) {
  if (Value == FVertEnabled) return;
  FVertEnabled = Value;
  ReCalculateScrollbars(true, false);
  InvalidateControl();
}

// ---- The window's bars ----
void TEmberScrollbarManager::ReCalculateScrollbars(bool Redraw, bool Force) {
  TCustomEmberListview* lv = OwnerListview();
  if (FRebuilding || !lv || !lv->HandleAllocated()) return;
  if (lv->GetUpdateCount() != 0 && !Force) return;
  struct Guard {
    bool& Flag;
    ~Guard() { Flag = false; }
  } guard{FRebuilding};
  FRebuilding = true;
  ValidateOffsets(FOffsetX, FOffsetY);
  const HWND h = lv->Handle();
  const bool wasHorz = HorzBarVisible(), wasVert = VertBarVisible();
  const Integer header = HeaderHeight();
  const bool needHorz = ViewWidth() - 1 > lv->GetClientWidth() && lv->GetHeight() > GetSystemMetrics(SM_CYHSCROLL);
  const bool needVert =
      ViewHeight() + header - 1 > lv->GetClientHeight() && lv->GetWidth() > GetSystemMetrics(SM_CYVSCROLL);
  bool changed = false;
  if (!FHorzEnabled) {
    ShowScrollBar(h, SB_HORZ, false);
  } else if (wasHorz != needHorz) {
    ShowScrollBar(h, SB_HORZ, needHorz);
    changed = true;
  }
  if (!FVertEnabled) {
    ShowScrollBar(h, SB_VERT, false);
  } else if (wasVert != needVert) {
    ShowScrollBar(h, SB_VERT, needVert);
    changed = true;
  }
  // The client area changed with the bars: the layout follows it.
  if (changed) lv->GetGroups()->Rebuild(true);

  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  if (FVertEnabled && VertBarVisible()) {
    si.nMax = ViewHeight() + header - 1;
    si.nPage = static_cast<UINT>(std::max(0, lv->GetClientHeight()));
    si.nPos = std::abs(FOffsetY);
  }
  SetScrollInfo(h, SB_VERT, &si, Redraw);
  si = SCROLLINFO{};
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  if (FHorzEnabled && HorzBarVisible()) {
    si.nMax = ViewWidth() - 1;
    si.nPage = static_cast<UINT>(std::max(0, lv->GetClientWidth()));
    si.nPos = std::abs(FOffsetX);
  }
  SetScrollInfo(h, SB_HORZ, &si, Redraw);
  ValidateOffsets(FOffsetX, FOffsetY);
  if ((!wasHorz && HorzBarVisible()) || (!wasVert && VertBarVisible()))
    RedrawWindow(h, nullptr, RDW_INVALIDATE | RDW_ERASENOW | RDW_FRAME);
}

void TEmberScrollbarManager::SetViewRect(const TRect& Value, bool ForceInvalidate) {
  if (Value == FViewRect) {
    if (ForceInvalidate) InvalidateControl();
    return;
  }
  const bool wasHorz = HorzBarVisible(), wasVert = VertBarVisible();
  FViewRect = Value;
  ReCalculateScrollbars(true, false);
  if (ForceInvalidate || (wasHorz && !HorzBarVisible()) || (wasVert && !VertBarVisible())) InvalidateControl();
}

void TEmberScrollbarManager::WMVScroll(TMessage& Msg) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) {
    SetOffsetY(0);
    return;
  }
  SCROLLINFO si;
  si.fMask = SIF_TRACKPOS;
  if (lv->HandleAllocated()) GetScrollInfo(lv->Handle(), SB_VERT, &si);
  const TRect client = lv->GetClientRect();
  Integer delta = 0;
  switch (Msg.WParam & 0xFFFF) {
    case SB_LINEUP: delta = -LineStep(); break;
    case SB_LINEDOWN: delta = LineStep(); break;
    case SB_PAGEUP: delta = client.Top - client.Bottom; break;
    case SB_PAGEDOWN: delta = client.Bottom - client.Top; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: delta = si.nTrackPos - FOffsetY; break;
    case SB_TOP: delta = -FOffsetY; break;
    case SB_BOTTOM: delta = ViewHeight() - FOffsetY; break;
    case SB_ENDSCROLL: lv->DoScrollEnd(TEmberScrollbarDir::esdVertical); break;
    default: break;
  }
  Scroll(0, delta);
}

void TEmberScrollbarManager::WMHScroll(TMessage& Msg) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) {
    SetOffsetX(0);
    return;
  }
  SCROLLINFO si;
  si.fMask = SIF_POS | SIF_TRACKPOS;
  if (lv->HandleAllocated()) GetScrollInfo(lv->Handle(), SB_HORZ, &si);
  const TRect client = lv->GetClientRect();
  const Integer code = static_cast<Integer>(Msg.WParam & 0xFFFF);
  const Integer w = SnapWidth();
  Integer delta = 0;
  if (!lv->IsVertView() && FSnapHorzView && w > 0) {
    switch (code) {
      case SB_LINELEFT:
      case SB_PAGELEFT: delta = -w; break;
      case SB_LINERIGHT:
      case SB_PAGERIGHT: delta = w; break;
      case SB_THUMBPOSITION: {
        const Integer d = si.nPos - FOffsetX;
        delta = d - d % w;
        break;
      }
      case SB_THUMBTRACK: {
        const Integer d = si.nTrackPos - FOffsetX;
        delta = w <= MaxOffsetX() - si.nTrackPos ? d - d % w : MaxOffsetX();
        break;
      }
      case SB_LEFT: delta = -ViewWidth() - FOffsetX; break;
      case SB_RIGHT: Scroll(ViewWidth() - FOffsetX, 0); return;
      case SB_ENDSCROLL: lv->DoScrollEnd(TEmberScrollbarDir::esdHorizontal); break;
      default: break;
    }
  } else {
    switch (code) {
      case SB_LINELEFT: delta = -LineStep(); break;
      case SB_LINERIGHT: delta = LineStep(); break;
      case SB_PAGELEFT: delta = client.Left - client.Right; break;
      case SB_PAGERIGHT: delta = client.Right - client.Left; break;
      case SB_THUMBPOSITION:
      case SB_THUMBTRACK: delta = si.nTrackPos - FOffsetX; break;
      case SB_LEFT: delta = -FOffsetX; break;
      case SB_RIGHT: delta = ViewWidth() - FOffsetX; break;
      case SB_ENDSCROLL: lv->DoScrollEnd(TEmberScrollbarDir::esdHorizontal); break;
      default: break;
    }
  }
  Scroll(delta, 0);
}

}  // namespace ember
