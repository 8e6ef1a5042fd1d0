// The canvas control: double-buffered painting, update counting, the non-client frame and the
// mouse tracking timer.

#include "common/CommonCanvasControl.h"

#include "platform/rtl/Exceptions.h"

namespace common {

namespace {

constexpr Cardinal kMouseTimerInterval = 50;

bool PtIn(const TRect& r, TPoint p) { return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom; }

// BeginPaint and EndPaint as one pair, whatever the painting throws.
class TPaintScope {
public:
  explicit TPaintScope(HWND h) : FWnd(h) { FDC = BeginPaint(h, &FPs); }
  ~TPaintScope() { EndPaint(FWnd, &FPs); }
  TPaintScope(const TPaintScope&) = delete;
  TPaintScope& operator=(const TPaintScope&) = delete;
  HDC DC() const { return FDC; }
  const TRect& PaintRect() const { return FPs.rcPaint; }

private:
  HWND FWnd;
  HDC FDC{nullptr};
  PAINTSTRUCT FPs;
};

// A canvas's lock held for a scope.
class TCanvasLock {
public:
  explicit TCanvasLock(TCanvas* c) : FCanvas(c) { FCanvas->Lock(); }
  ~TCanvasLock() { FCanvas->Unlock(); }
  TCanvasLock(const TCanvasLock&) = delete;
  TCanvasLock& operator=(const TCanvasLock&) = delete;

private:
  TCanvas* FCanvas;
};

// The canvas's DC set for a scope and let go afterwards.
class TCanvasHandleScope {
public:
  TCanvasHandleScope(TCanvas* c, HDC dc) : FCanvas(c) { FCanvas->SetHandle(dc); }
  ~TCanvasHandleScope() { FCanvas->SetHandle(nullptr); }
  TCanvasHandleScope(const TCanvasHandleScope&) = delete;
  TCanvasHandleScope& operator=(const TCanvasHandleScope&) = delete;

private:
  TCanvas* FCanvas;
};

}  // namespace

// ---- construction ----

void TCommonCanvasControl::Create(TComponent* owner) {
  TCustomControl::Create(owner);
  FCanvas = TControlCanvas::New();
  FCanvas->SetControl(this);
  FMouseEnterExitNotifyEnabled = true;
  FNCCanvas = TCanvas::New();
  FShowThemedBorder = true;
  FBorderStyle = TBorderStyle::bsSingle;
  FThemes = TCommonThemeManager::New(this);
  FThemed = true;
}

void TCommonCanvasControl::Destroy() {
  TCustomControl::Destroy();
  FreeMouseTimer();
  FreeAndNil(FThemes);
  FreeAndNil(FNCCanvas);
  FreeAndNil(FCanvas);
  FreeAndNil(FBackBits);
}

void TCommonCanvasControl::Notification(TComponent* c, TOperation op) {
  TCustomControl::Notification(c, op);
  if (op != TOperation::opRemove) return;
  // Every reference goes: one list may serve two sizes, and a kept one would point at freed memory.
  if (FImagesExtraLarge == c) FImagesExtraLarge = nullptr;
  if (FImagesLarge == c) FImagesLarge = nullptr;
  if (FImagesSmall == c) FImagesSmall = nullptr;
}

void TCommonCanvasControl::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.ClassStyle |= CS_DBLCLKS;
  p.Style |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  if (FBorderStyle == TBorderStyle::bsSingle && !GetThemed()) {
    if (GetCtl3D()) {
      p.ExStyle |= WS_EX_CLIENTEDGE;
      p.Style &= ~WS_BORDER;
    } else {
      p.Style |= WS_BORDER;
    }
  }
}

void TCommonCanvasControl::CreateWnd() {
  TCustomControl::CreateWnd();
  if (!HandleAllocated()) return;
  FThemes->ThemesLoad();
  ResizeBackBits(GetClientWidth(), GetClientHeight());
}

// ---- properties ----

TCanvas* TCommonCanvasControl::GetCanvas() {
  FCanvas->SetFont(GetFont());
  FCanvas->GetBrush()->Assign(*GetBrush());
  return FCanvas;
}

bool TCommonCanvasControl::GetThemed() const {
  if (IsLoading() || !FThemed) return false;
  return CommonThemesInUse();
}

void TCommonCanvasControl::SetThemed(bool v) {
  if (v == FThemed) return;
  FThemed = v;
  if (v) FThemes->ThemesLoad();
  else FThemes->ThemesFree();
  if (HandleAllocated()) RecreateWnd();
}

bool TCommonCanvasControl::DrawWithThemes() const { return GetThemed() && FThemes->GetLoaded(); }

void TCommonCanvasControl::SetBorderStyle(TBorderStyle v) {
  if (v == FBorderStyle) return;
  FBorderStyle = v;
  RecreateWnd();
}

void TCommonCanvasControl::SetShowThemedBorder(bool v) {
  if (v == FShowThemedBorder) return;
  FShowThemedBorder = v;
  if (HandleAllocated()) RecreateWnd();
}

void TCommonCanvasControl::SetCacheDoubleBufferBits(bool v) {
  if (v == FCacheDoubleBufferBits) return;
  FCacheDoubleBufferBits = v;
  if (!v) {
    FreeAndNil(FBackBits);
  } else if (!FBackBits) {
    FBackBits = TBitmap::New();
    FBackBits->SetPixelFormat(TPixelFormat::pf32bit);
  }
}

void TCommonCanvasControl::SafeInvalidateRect(const TRect* rect, bool immediateUpdate) {
  if (!HandleAllocated()) return;
  InvalidateRect(FHandle, rect, false);
  if (immediateUpdate) UpdateWindow(FHandle);
}

void TCommonCanvasControl::ResizeBackBits(Integer newWidth, Integer newHeight) {
  if (!FCacheDoubleBufferBits || !FBackBits) return;
  Integer w = std::max({FBackBits->GetWidth(), newWidth, 1});
  Integer h = std::max({FBackBits->GetHeight(), newHeight, 1});
  if (w != FBackBits->GetWidth() || h != FBackBits->GetHeight()) FBackBits->SetSize(w, h);
}

void TCommonCanvasControl::ApplyBorderStyle() {
  if (!HandleAllocated()) return;
  DWORD style = static_cast<DWORD>(GetWindowLongPtr(FHandle, GWL_STYLE));
  DWORD ex = static_cast<DWORD>(GetWindowLongPtr(FHandle, GWL_EXSTYLE));
  bool edge = (ex & WS_EX_CLIENTEDGE) != 0, border = (style & WS_BORDER) != 0;
  DWORD newStyle = style, newEx = ex;
  if (GetThemed()) {
    if (edge || border) {
      newStyle &= ~WS_BORDER;
      newEx &= ~WS_EX_CLIENTEDGE;
    }
  } else if (FBorderStyle == TBorderStyle::bsNone) {
    newStyle &= ~WS_BORDER;
    newEx &= ~WS_EX_CLIENTEDGE;
  } else if (GetCtl3D()) {
    if (!edge || border) {
      newEx |= WS_EX_CLIENTEDGE;
      newStyle &= ~WS_BORDER;
    }
  } else if (!(border && !edge)) {
    newEx &= ~WS_EX_CLIENTEDGE;
    newStyle |= WS_BORDER;
  }
  if (newStyle == style && newEx == ex) return;
  SetWindowLongPtr(FHandle, GWL_STYLE, static_cast<LONG_PTR>(newStyle));
  SetWindowLongPtr(FHandle, GWL_EXSTYLE, static_cast<LONG_PTR>(newEx));
  // The platform computes the client area again only when told the frame changed.
  SetWindowPos(FHandle, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// ---- updates ----

void TCommonCanvasControl::BeginUpdate() {
  if (FUpdateCount == 0) DoBeginUpdate();
  ++FUpdateCount;
}

void TCommonCanvasControl::EndUpdate(bool invalidate) {
  --FUpdateCount;
  if (FUpdateCount < 1) {
    FUpdateCount = 0;
    DoUpdateComplete();
    if (invalidate && HandleAllocated()) UpdateWindow(FHandle);
    if (TNotifyEvent handler = OnEndUpdate) handler(this);
  }
}

// ---- the overridable steps ----

void TCommonCanvasControl::DoAfterPaint(TCanvas*, const TRect&) {}
void TCommonCanvasControl::CalcThemedNCSize(TRect&) {}

void TCommonCanvasControl::DoBeginUpdate() {
  if (TNotifyEvent handler = OnBeginUpdate) handler(this);
}

void TCommonCanvasControl::DoMouseEnter(TPoint mousePos) {
  if (TCommonMouseEnterEvent handler = OnMouseEnter) handler(this, mousePos);
}

void TCommonCanvasControl::DoMouseExit() {
  if (TNotifyEvent handler = OnMouseExit) handler(this);
}

void TCommonCanvasControl::DoMouseInside(TPoint) {}
void TCommonCanvasControl::DoPaintRect(TCanvas*, const TRect&, bool, bool) {}
void TCommonCanvasControl::DoUpdateComplete() {}
void TCommonCanvasControl::PaintThemedNCBkgnd(TCanvas*, TRect) {}

// ---- messages ----

void TCommonCanvasControl::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_PAINT: WMPaint(msg); return;
    case WM_NCPAINT: WMNCPaint(msg); return;
    case WM_NCCALCSIZE: WMNCCalcSize(msg); return;
    case WM_MOUSEMOVE: WMMouseMove(msg); return;
    case WM_KILLFOCUS: WMKillFocus(msg); return;
    case WM_DESTROY: WMDestroy(msg); return;
    case WM_THEMECHANGED: WMThemeChanged(msg); return;
    case CM_COLORCHANGED: CMColorChanged(msg); return;
    case CM_FONTCHANGED: CMFontChanged(msg); return;
    case CM_PARENTFONTCHANGED: CMParentFontChanged(msg); return;
    case CM_CTL3DCHANGED: CMCtl3DChanged(msg); return;
    default: TCustomControl::Dispatch(msg);
  }
}

void TCommonCanvasControl::WMPaint(TMessage&) {
  TPaintScope paint(FHandle);
  if (!paint.DC()) return;
  if (FUpdateCount != 0 && !FForcePaint) return;  // validated, nothing painted
  Integer cw = GetClientWidth(), ch = GetClientHeight();
  if (!FCacheDoubleBufferBits) {
    FBackBits = TBitmap::New();
    FBackBits->SetPixelFormat(TPixelFormat::pf32bit);
    FBackBits->SetSize(std::max(1, cw), std::max(1, ch));
  } else {
    // A bitmap smaller than the client area would lose what lies beyond it: it grows first.
    ResizeBackBits(cw, ch);
  }
  // A bitmap made for this paint goes with it, whatever the painting throws.
  struct TTemporary {
    TBitmap*& Bits;
    bool Own;
    ~TTemporary() {
      if (Own) FreeAndNil(Bits);
    }
  } temporary{FBackBits, !FCacheDoubleBufferBits};
  TCanvas* canvas = FBackBits->GetCanvas();
  {
    TCanvasLock lock(canvas);
    const TRect& r = paint.PaintRect();
    if (r.Width() > 0 && r.Height() > 0 && cw >= 1 && ch >= 1) {
      canvas->SetFont(GetFont());
      canvas->GetBrush()->SetColor(GetColor());
      // The whole brush, its style too: a clear brush leaves the background to DoPaintRect.
      canvas->GetBrush()->Assign(*GetBrush());
      HDC dc = canvas->GetHandle();
      SetWindowOrgEx(dc, 0, 0, nullptr);
      SetViewportOrgEx(dc, 0, 0, nullptr);
      canvas->FillRect(r);
      SelectClipRgn(dc, nullptr);
      DoPaintRect(canvas, r, false, false);
      SelectClipRgn(canvas->GetHandle(), nullptr);
      DoAfterPaint(canvas, r);
      BitBlt(paint.DC(), r.Left, r.Top, r.Width(), r.Height(), canvas->GetHandle(), r.Left, r.Top, SRCCOPY);
    }
  }
}

void TCommonCanvasControl::WMNCPaint(TMessage& msg) {
  DefaultHandler(msg);
  if (!HandleAllocated()) return;
  HDC dc = GetWindowDC(FHandle);
  if (!dc) return;
  {
    TCanvasHandleScope bound(FNCCanvas, dc);
    TRect client, window;
    pf::GetClientRect(FHandle, &client);
    pf::GetWindowRect(FHandle, &window);
    TPoint corners[2] = {{window.Left, window.Top}, {window.Right, window.Bottom}};
    MapWindowPoints(nullptr, FHandle, corners, 2);
    window = TRect{corners[0].X, corners[0].Y, corners[1].X, corners[1].Y};
    TPoint origin{window.Left, window.Top};
    if (FBorderStyle == TBorderStyle::bsSingle) {
      window = TRect{window.Left + 1, window.Top + 1, window.Right - 1, window.Bottom - 1};
      if (GetCtl3D()) window = TRect{window.Left + 1, window.Top + 1, window.Right - 1, window.Bottom - 1};
    }
    auto offset = [&origin](TRect& r) { r = TRect{r.Left - origin.X, r.Top - origin.Y, r.Right - origin.X, r.Bottom - origin.Y}; };
    offset(client);
    offset(window);

    DWORD style = static_cast<DWORD>(GetWindowLongPtr(FHandle, GWL_STYLE));
    DWORD ex = static_cast<DWORD>(GetWindowLongPtr(FHandle, GWL_EXSTYLE));
    bool leftBar = (ex & WS_EX_LEFTSCROLLBAR) != 0;
    if (style & WS_VSCROLL) {
      if (leftBar) client.Left -= GetSystemMetrics(SM_CXVSCROLL);
      else client.Right += GetSystemMetrics(SM_CXVSCROLL);
    }
    if (style & WS_HSCROLL) client.Bottom += GetSystemMetrics(SM_CYHSCROLL);
    if ((style & WS_VSCROLL) && (style & WS_HSCROLL)) {
      Integer cx = GetSystemMetrics(SM_CXVSCROLL), cy = GetSystemMetrics(SM_CYHSCROLL);
      TRect corner = leftBar ? TRect{client.Left, client.Bottom - cy, client.Left + cx, client.Bottom}
                             : TRect{client.Right - cx, client.Bottom - cy, client.Right, client.Bottom};
      FNCCanvas->GetBrush()->SetColor(clBtnFace);
      FNCCanvas->FillRect(corner);
    }
    ExcludeClipRect(dc, client.Left, client.Top, client.Right, client.Bottom);
    FNCCanvas->GetBrush()->Assign(*GetBrush());
    FNCCanvas->FillRect(window);

    if (!DrawWithThemes()) {
      TRect edgeRect = client;
      if (GetBevelKind() != TBevelKind::bkNone) {
        int grow = (GetBevelInner() != TBevelCut::bvNone ? 1 : 0) + (GetBevelOuter() != TBevelCut::bvNone ? 1 : 0);
        edgeRect = TRect{edgeRect.Left - grow, edgeRect.Top - grow, edgeRect.Right + grow, edgeRect.Bottom + grow};
      }
      UINT edge = BevelInnerEdge(GetBevelInner()) | BevelOuterEdge(GetBevelOuter());
      DrawEdge(FNCCanvas->GetHandle(), &edgeRect, edge, BevelFlags(GetBevelEdges(), GetBevelKind(), GetCtl3D()));
    } else {
      PaintThemedNCBkgnd(FNCCanvas, client);
    }
  }
  ReleaseDC(FHandle, dc);
}

void TCommonCanvasControl::WMNCCalcSize(TMessage& msg) {
  if (!FThemes->GetLoaded()) FThemes->ThemesLoad();
  if (DrawWithThemes() && FShowThemedBorder) {
    DefaultHandler(msg);
    if (auto* p = reinterpret_cast<NCCALCSIZE_PARAMS*>(msg.LParam)) CalcThemedNCSize(p->rgrc[0]);
  } else {
    TCustomControl::Dispatch(msg);
  }
}

void TCommonCanvasControl::WMMouseMove(TMessage& msg) {
  TPoint pt{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
  if (!FMouseTimer) {
    FMouseTimer = TTimer::New(nullptr);
    FMouseTimer->SetEnabled(false);
    FMouseTimer->OnTimer = [this](TObject* sender) { MouseTimerTick(sender); };
    FMouseTimer->SetInterval(kMouseTimerInterval);
    FMouseTimer->SetEnabled(true);
    DoMouseEnter(pt);
  }
  if (!PtIn(GetClientRect(), pt)) {
    MouseExitCheck();
  } else if (!FMouseInWindow) {
    if (GetCapture() == FHandle) DoMouseEnter(pt);
    FMouseInWindow = true;
  }
  TCustomControl::Dispatch(msg);
}

void TCommonCanvasControl::MouseTimerTick(TObject*) {
  if (!HandleAllocated()) {
    FreeMouseTimer();
    DoMouseExit();
    return;
  }
  TPoint pt;
  GetCursorPos(&pt);
  pf::ScreenToClient(FHandle, &pt);
  if (!PtIn(GetClientRect(), pt) && GetCapture() != FHandle) {
    FreeMouseTimer();
    DoMouseExit();
  } else {
    DoMouseInside(pt);
  }
}

void TCommonCanvasControl::MouseExitCheck() {
  if (!FMouseInWindow) return;
  DoMouseExit();
  if (GetCapture() != FHandle || !HandleAllocated()) FreeMouseTimer();
  FMouseInWindow = false;
}

void TCommonCanvasControl::FreeMouseTimer() { FreeAndNil(FMouseTimer); }

void TCommonCanvasControl::WMKillFocus(TMessage& msg) {
  MouseExitCheck();
  TCustomControl::Dispatch(msg);
}

void TCommonCanvasControl::WMDestroy(TMessage& msg) {
  FreeMouseTimer();
  FThemes->ThemesFree();
  TCustomControl::Dispatch(msg);
}

void TCommonCanvasControl::WMThemeChanged(TMessage& msg) {
  DefaultHandler(msg);
  FThemes->ThemesFree();
  FThemes->ThemesLoad();
}

void TCommonCanvasControl::CMColorChanged(TMessage& msg) {
  TCustomControl::Dispatch(msg);
  if (!IsLoading()) SafeInvalidateRect(nullptr, false);
}

void TCommonCanvasControl::CMFontChanged(TMessage& msg) {
  TCustomControl::Dispatch(msg);
  if (!IsLoading()) SafeInvalidateRect(nullptr, false);
}

void TCommonCanvasControl::CMParentFontChanged(TMessage& msg) {
  TCustomControl::Dispatch(msg);
  if (!IsLoading()) SafeInvalidateRect(nullptr, false);
}

void TCommonCanvasControl::CMCtl3DChanged(TMessage& msg) {
  TCustomControl::Dispatch(msg);
  if (FBorderStyle == TBorderStyle::bsSingle) RecreateWnd();
}

}  // namespace common
