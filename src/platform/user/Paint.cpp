// The paint cycle of custom-drawn windows: DCs on the window's surface, the non-client frame, and
// presenting what was painted.

#include <QWidget>

#include "platform/gdi/Gdi_p.h"
#include "platform/user/Layer_p.h"

namespace pf {

namespace {

HDC OpenDC(TWindowObj* wnd, bool wholeWindow) {
  layer::ResizeSurface(wnd);
  if (!wnd->Surface) return nullptr;
  TSurface& s = *wnd->Surface;
  HDC dc;
  if (wholeWindow) {
    dc = CreateSurfaceDC(s);
  } else {
    TPoint o = wnd->SurfaceClientOrigin();
    TRect c = wnd->ClientRect();
    dc = CreateSurfaceDC(s, o, TRect{o.X, o.Y, o.X + c.Width(), o.Y + c.Height()});
  }
  if (dc) wnd->OpenDCs.push_back(dc);
  return dc;
}

void Present(TWindowObj* wnd) {
  if (!wnd->Surface || !wnd->Widget) return;
  TRect d = wnd->Surface->TakeDirtyRect();
  if (d.Width() > 0 && d.Height() > 0) wnd->Widget->update(Q(d));
}

bool CloseDC(TWindowObj* wnd, HDC dc) {
  auto it = std::find(wnd->OpenDCs.begin(), wnd->OpenDCs.end(), dc);
  if (it == wnd->OpenDCs.end()) return false;
  wnd->OpenDCs.erase(it);
  DeleteDC(dc);
  Present(wnd);
  return true;
}

// The frame of a child window: the border, the sunken client edge and the scroll-bar areas.
void PaintFrame(HWND h, TWindowObj* wnd) {
  if (!wnd->IsChild() || wnd->IsNative()) return;
  const TRect& n = wnd->NcInsets;
  if (n.Left == 0 && n.Top == 0 && n.Right == 0 && n.Bottom == 0) return;
  HDC dc = GetWindowDC(h);
  if (!dc) return;
  TRect r{0, 0, wnd->Rect.Width(), wnd->Rect.Height()};
  if (wnd->Style & WS_BORDER) {
    HBRUSH frame = CreateSolidBrush(GetSysColor(COLOR_WINDOWFRAME));
    FrameRect(dc, &r, frame);
    DeleteObject(frame);
    r = TRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
  }
  if (wnd->ExStyle & WS_EX_CLIENTEDGE) {
    DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  }
  ReleaseDC(h, dc);
  layer::PaintScrollBars(wnd);
}

}  // namespace

namespace layer {

void ReleaseDCsOf(TWindowObj* wnd) {
  for (HDC dc : wnd->OpenDCs) DeleteDC(dc);
  wnd->OpenDCs.clear();
}

void PaintDefaultFrame(HWND h) {
  if (TWindowObj* wnd = Find(h)) PaintFrame(h, wnd);
}

HRGN RegionOf(const QRegion& update) {
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  for (const QRect& r : update) {
    HRGN part = CreateRectRgn(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
    CombineRgn(rgn, rgn, part, RGN_OR);
    DeleteObject(part);
  }
  return rgn;
}

void EraseNow(HWND h) {
  TWindowObj* wnd = Find(h);
  if (!wnd || wnd->IsNative()) return;
  if (wnd->FrameDirty) {
    wnd->FrameDirty = false;
    SendMessage(h, WM_NCPAINT, 1, 0);
    if (!(wnd = Find(h))) return;
  }
  if (!wnd->EraseBackground || wnd->Update.isEmpty()) return;
  wnd->EraseBackground = false;
  HDC dc = OpenDC(wnd, false);
  if (!dc) return;
  HRGN rgn = RegionOf(wnd->Update);
  SetDCSystemRegion(dc, rgn);
  DeleteObject(rgn);
  SendMessage(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  if (TWindowObj* still = Find(h)) CloseDC(still, dc);
}

}  // namespace layer

HDC BeginPaint(HWND h, PAINTSTRUCT* ps) {
  TWindowObj* wnd = layer::Find(h);
  if (!wnd || !ps || wnd->IsNative()) return nullptr;
  if (wnd->FrameDirty) {
    wnd->FrameDirty = false;
    SendMessage(h, WM_NCPAINT, 1, 0);
    if (!layer::Find(h)) return nullptr;
  }
  QRegion update = wnd->Update;
  bool erase = wnd->EraseBackground;
  wnd->FramePaint = false;
  ValidateRect(h, nullptr);
  HDC dc = OpenDC(wnd, false);
  if (!dc) return nullptr;
  HRGN rgn = layer::RegionOf(update);
  SetDCSystemRegion(dc, rgn);
  DeleteObject(rgn);
  ps->hdc = dc;
  QRect b = update.boundingRect();
  ps->rcPaint = TRect{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
  ps->fErase = erase ? 1 : 0;
  if (erase) ps->fErase = SendMessage(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0 ? 1 : 0;
  return dc;
}

bool EndPaint(HWND h, const PAINTSTRUCT* ps) {
  TWindowObj* wnd = layer::Find(h);
  if (!wnd || !ps) return false;
  return CloseDC(wnd, ps->hdc);
}

HDC GetDC(HWND h) {
  if (!h) return CreateCompatibleDC(nullptr);
  TWindowObj* wnd = layer::Find(h);
  if (!wnd || wnd->IsNative()) return nullptr;
  return OpenDC(wnd, false);
}

HDC GetWindowDC(HWND h) {
  if (!h) return CreateCompatibleDC(nullptr);
  TWindowObj* wnd = layer::Find(h);
  if (!wnd || wnd->IsNative()) return nullptr;
  return OpenDC(wnd, true);
}

int ReleaseDC(HWND h, HDC dc) {
  if (!dc) return 0;
  if (!h) return DeleteDC(dc) ? 1 : 0;
  TWindowObj* wnd = layer::Find(h);
  if (!wnd) return 0;
  return CloseDC(wnd, dc) ? 1 : 0;
}

}  // namespace pf
