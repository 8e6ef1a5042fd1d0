// Mouse tracking: WM_MOUSELEAVE when the pointer leaves the tracked window's client area and
// WM_MOUSEHOVER when it rests there, both posted once per request, timed on the layer's clock;
// with TME_NONCLIENT the same for the window's frame (WM_NCMOUSELEAVE, WM_NCMOUSEHOVER).

#include "platform/rtl/Exceptions.h"
#include "platform/user/Layer_p.h"

namespace pf {

namespace {

struct TTracking {
  HWND Wnd{nullptr};
  bool Leave{false};
  bool Hover{false};
  bool NonClient{false};
  DWORD HoverTime{0};
  TRect HoverRect;
};

TTracking gTrack;
HWND gUnder = nullptr;  // the window the pointer was last seen over
// The hover wait is a timer of the tracked window with a procedure, so its ticks never reach the
// window's own procedure; the number is one no program hands to SetTimer.
constexpr UINT_PTR kHoverTimer = static_cast<UINT_PTR>(-3);

bool Contains(const TRect& r, TPoint p) { return p.X >= r.Left && p.Y >= r.Top && p.X < r.Right && p.Y < r.Bottom; }

bool InClient(HWND h, TPoint screen) {
  TPoint c = screen;
  TRect r;
  return ScreenToClient(h, &c) && GetClientRect(h, &r) && Contains(r, c);
}

// On the tracked part of the window: its client area, or with TME_NONCLIENT the rest of it.
bool InTrackedPart(HWND h, TPoint screen, bool nonClient) {
  if (!nonClient) return InClient(h, screen);
  TRect w;
  return GetWindowRect(h, &w) && Contains(w, screen) && !InClient(h, screen);
}

UINT Setting(UINT action, UINT fallback) {
  UINT v = fallback;
  SystemParametersInfo(action, 0, &v, 0);
  return v;
}

WPARAM KeysNow() {
  WPARAM w = 0;
  if (GetAsyncKeyState(VK_LBUTTON) < 0) w |= MK_LBUTTON;
  if (GetAsyncKeyState(VK_RBUTTON) < 0) w |= MK_RBUTTON;
  if (GetAsyncKeyState(VK_MBUTTON) < 0) w |= MK_MBUTTON;
  if (GetAsyncKeyState(VK_SHIFT) < 0) w |= MK_SHIFT;
  if (GetAsyncKeyState(VK_CONTROL) < 0) w |= MK_CONTROL;
  return w;
}

void StopHover() {
  if (gTrack.Hover && gTrack.Wnd) KillTimer(gTrack.Wnd, kHoverTimer);
  gTrack.Hover = false;
  if (!gTrack.Leave) gTrack = TTracking{};
}

void HoverDue(HWND h, UINT, UINT_PTR, DWORD) {
  KillTimer(h, kHoverTimer);
  if (gTrack.Wnd != h || !gTrack.Hover) return;
  const bool nonClient = gTrack.NonClient;
  StopHover();
  TPoint p;
  GetCursorPos(&p);
  if (nonClient) {
    // The part of the frame it rests on, and the point on the screen.
    LRESULT hit = SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(p.X, p.Y));
    PostMessage(h, WM_NCMOUSEHOVER, static_cast<WPARAM>(hit), MAKELPARAM(p.X, p.Y));
    return;
  }
  ScreenToClient(h, &p);
  PostMessage(h, WM_MOUSEHOVER, KeysNow(), MAKELPARAM(p.X, p.Y));
}

// The hover rectangle is centred on where the pointer came to rest; the wait starts over there.
void StartHover(TPoint screen) {
  int w = static_cast<int>(Setting(SPI_GETMOUSEHOVERWIDTH, 4));
  int h = static_cast<int>(Setting(SPI_GETMOUSEHOVERHEIGHT, 4));
  gTrack.HoverRect = TRect{screen.X - w / 2, screen.Y - h / 2, screen.X - w / 2 + w, screen.Y - h / 2 + h};
  SetTimer(gTrack.Wnd, kHoverTimer, gTrack.HoverTime, HoverDue);
}

// The pointer is no longer over the tracked window's client area.
void Left() {
  HWND h = gTrack.Wnd;
  bool leave = gTrack.Leave;
  const UINT message = gTrack.NonClient ? WM_NCMOUSELEAVE : WM_MOUSELEAVE;
  gTrack.Leave = false;
  StopHover();
  gTrack = TTracking{};
  if (leave && IsWindow(h)) PostMessage(h, message, 0, 0);
}

}  // namespace

namespace layer {

void TrackPointer(TPoint screen, HWND under) {
  gUnder = under;
  if (!gTrack.Wnd) return;
  if (!IsWindow(gTrack.Wnd)) {
    gTrack = TTracking{};
    return;
  }
  if (under != gTrack.Wnd || !InTrackedPart(gTrack.Wnd, screen, gTrack.NonClient)) {
    Left();
    return;
  }
  if (gTrack.Hover && !Contains(gTrack.HoverRect, screen)) StartHover(screen);
}

void PointerLeft(HWND h) {
  if (gUnder == h || (gUnder && IsChild(h, gUnder))) gUnder = nullptr;
  if (gTrack.Wnd && (gTrack.Wnd == h || IsChild(h, gTrack.Wnd))) Left();
}

HWND PointerWindow() { return gUnder && IsWindow(gUnder) ? gUnder : nullptr; }

void ResetTracking() {
  gTrack = TTracking{};
  gUnder = nullptr;
}

void ForgetTracking(HWND h) {
  if (gTrack.Wnd == h) gTrack = TTracking{};
  if (gUnder == h) gUnder = nullptr;
}

}  // namespace layer

bool TrackMouseEvent(TRACKMOUSEEVENT* tme) {
  Assert(IsGuiThread(), u"TrackMouseEvent called outside the GUI thread");
  if (!tme || tme->cbSize != sizeof(TRACKMOUSEEVENT)) return false;
  if (tme->dwFlags & TME_QUERY) {
    tme->dwFlags = (gTrack.Leave ? TME_LEAVE : 0) | (gTrack.Hover ? TME_HOVER : 0) |
                   (gTrack.Wnd && gTrack.NonClient ? TME_NONCLIENT : 0);
    tme->hwndTrack = gTrack.Wnd;
    tme->dwHoverTime = gTrack.HoverTime;
    return true;
  }
  HWND h = tme->hwndTrack;
  if (!IsWindow(h)) return false;
  const bool nonClient = (tme->dwFlags & TME_NONCLIENT) != 0;
  if (tme->dwFlags & TME_CANCEL) {
    if (gTrack.Wnd != h || gTrack.NonClient != nonClient) return true;
    if (tme->dwFlags & TME_LEAVE) gTrack.Leave = false;
    if ((tme->dwFlags & TME_HOVER) && gTrack.Hover) StopHover();
    if (!gTrack.Leave && !gTrack.Hover) gTrack = TTracking{};
    return true;
  }
  // One window (one part of it) is tracked at a time: asking for another ends the first.
  if (gTrack.Wnd && (gTrack.Wnd != h || gTrack.NonClient != nonClient)) {
    gTrack.Leave = false;
    StopHover();
    gTrack = TTracking{};
  }
  TPoint p;
  GetCursorPos(&p);
  bool inside = layer::PointerWindow() == h && InTrackedPart(h, p, nonClient);
  if (tme->dwFlags & TME_LEAVE) {
    if (!inside) {
      PostMessage(h, nonClient ? WM_NCMOUSELEAVE : WM_MOUSELEAVE, 0, 0);
    } else {
      gTrack.Wnd = h;
      gTrack.NonClient = nonClient;
      gTrack.Leave = true;
    }
  }
  if ((tme->dwFlags & TME_HOVER) && inside) {
    gTrack.Wnd = h;
    gTrack.NonClient = nonClient;
    gTrack.Hover = true;
    gTrack.HoverTime = tme->dwHoverTime == HOVER_DEFAULT ? Setting(SPI_GETMOUSEHOVERTIME, 400) : tme->dwHoverTime;
    StartHover(p);
  }
  return true;
}

}  // namespace pf
