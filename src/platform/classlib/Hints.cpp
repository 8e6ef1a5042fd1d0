#include "platform/classlib/Hints.h"

#include <QWidget>

#include <algorithm>

#include "platform/user/Window_p.h"

namespace pf {

String GetShortHint(const String& hint) {
  size_t bar = hint.find(u'|');
  return bar == String::npos ? hint : hint.substr(0, bar);
}

String GetLongHint(const String& hint) {
  size_t bar = hint.find(u'|');
  return bar == String::npos ? hint : hint.substr(bar + 1);
}

TControl* FindDragTarget(TPoint screen, bool allowDisabled) {
  TWinControl* w = FindControl(WindowFromPoint(screen));
  if (!w) return nullptr;
  TControl* child = w->ControlAtPos(w->ScreenToClient(screen), allowDisabled);
  return child ? child : w;
}

void THintWindow::Create(TComponent* owner) {
  TCustomControl::Create(owner);
  FColor = clInfoBk;
  FVisible = false;
  ControlStyle.Exclude(TControlStyleItem::csCaptureMouse);
}

void THintWindow::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.Style = WS_POPUP;
  p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  p.WndParent = nullptr;
}

void THintWindow::CreateHandleDone() {
  // A hint is a tool tip to the desktop: no frame, no task bar entry, never the active window.
  if (QWidget* w = layer::WidgetOf(FHandle)) {
    w->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    w->setAttribute(Qt::WA_ShowWithoutActivating);
    w->setFocusPolicy(Qt::NoFocus);
  }
}

TRect THintWindow::CalcHintRect(Integer maxWidth, const String& hint, void*) {
  TRect r{0, 0, std::max(1, maxWidth), 0};
  HDC dc = GetDC(nullptr);
  TCanvas* canvas = TCanvas::New();
  canvas->SetHandle(dc);
  canvas->SetFont(FFont);
  DrawTextW(canvas->GetHandle(), hint.data(), static_cast<int>(hint.size()), &r,
            DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  canvas->SetHandle(nullptr);
  canvas->Free();
  ReleaseDC(nullptr, dc);
  // Room for the frame and the text's margin.
  r.Right += 6;
  r.Bottom += 2;
  return r;
}

void THintWindow::ActivateHint(TRect rect, const String& hint) {
  SetText(hint);
  // Kept on the screen: moved left or up when it would run off the right or bottom edge.
  Integer sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  Integer w = rect.Width(), h = rect.Height();
  if (rect.Right > sw) rect.Left = sw - w;
  if (rect.Bottom > sh) rect.Top = sh - h;
  rect.Left = std::max(0, rect.Left);
  rect.Top = std::max(0, rect.Top);
  HandleNeeded();
  SetBounds(rect.Left, rect.Top, w, h);
  FVisible = true;
  ShowWindow(FHandle, SW_SHOWNA);
  Invalidate();
}

void THintWindow::ActivateHintData(TRect rect, const String& hint, void*) { ActivateHint(rect, hint); }

bool THintWindow::IsHintMsg(const MSG& msg) {
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
    case WM_MOUSEWHEEL:
    case WM_CANCELMODE:
      return true;
    default:
      return false;
  }
}

void THintWindow::Dispatch(TMessage& msg) {
  if (msg.Msg == WM_ERASEBKGND) {
    msg.Result = 1;  // Paint covers everything
    return;
  }
  if (msg.Msg == WM_NCHITTEST) {
    msg.Result = HTTRANSPARENT;  // the pointer goes through to what lies under the hint
    return;
  }
  TCustomControl::Dispatch(msg);
}

void THintWindow::Paint() {
  TCanvas* canvas = GetCanvas();
  TRect r = GetClientRect();
  canvas->GetBrush()->SetColor(FColor);
  canvas->FillRect(r);
  canvas->GetBrush()->SetColor(clInfoText);
  canvas->FrameRect(r);
  canvas->SetFont(FFont);
  canvas->GetFont()->SetColor(clInfoText);
  canvas->GetBrush()->SetStyle(TBrushStyle::bsClear);
  TRect text{r.Left + 2, r.Top + 2, r.Right, r.Bottom};
  String hint = GetText();
  DrawTextW(canvas->GetHandle(), hint.data(), static_cast<int>(hint.size()), &text, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
}

}  // namespace pf
