#include "platform/classlib/Controls.h"

#include <QAbstractButton>
#include <QFont>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "platform/classlib/ActnList.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Menus.h"
#include "platform/gdi/QtConvert_p.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"
#include "platform/user/Window_p.h"

namespace pf {

namespace {

std::unordered_map<HWND, TWinControl*> gControls;
// The windowless control a button went down on: its parent's window holds the capture for it.
TControl* gCaptureControl = nullptr;
// Control canvases that hold a DC of their own making.
std::vector<TControlCanvas*> gCanvasesWithDC;

bool IsMouseInput(UINT m) { return m >= WM_MOUSEFIRST && m <= WM_MBUTTONDBLCLK; }

Integer BevelEdgeSize(TBevelCut inner, TBevelCut outer, Integer width) {
  return (inner != TBevelCut::bvNone ? width : 0) + (outer != TBevelCut::bvNone ? width : 0);
}

QColor ToQColor(TColor c) {
  TColor rgb = ColorToRGB(c);
  return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

// A class of the layer's standard controls draws its own frame: no non-client area to reserve.
bool IsStandardClass(const String& cls) {
  std::shared_ptr<TWindowClass> c = layer::FindClass(cls);
  return c && c->Kind != TWindowKind::Custom;
}

std::unordered_map<int, HCURSOR>& ScreenCursors() {
  static std::unordered_map<int, HCURSOR> table;
  return table;
}

}  // namespace

TShiftState KeyDataToShiftState(LPARAM keyData) {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s.Include(TShiftStateItem::ssShift);
  if (GetKeyState(VK_CONTROL) < 0) s.Include(TShiftStateItem::ssCtrl);
  if (keyData & KF_ALTDOWN_LPARAM) s.Include(TShiftStateItem::ssAlt);
  return s;
}

TShiftState KeysToShiftState(WPARAM keys) {
  TShiftState s;
  if (keys & MK_SHIFT) s.Include(TShiftStateItem::ssShift);
  if (keys & MK_CONTROL) s.Include(TShiftStateItem::ssCtrl);
  if (keys & MK_LBUTTON) s.Include(TShiftStateItem::ssLeft);
  if (keys & MK_RBUTTON) s.Include(TShiftStateItem::ssRight);
  if (keys & MK_MBUTTON) s.Include(TShiftStateItem::ssMiddle);
  if (GetKeyState(VK_MENU) < 0) s.Include(TShiftStateItem::ssAlt);
  return s;
}

HCURSOR CursorHandle(TCursor c) {
  auto& table = ScreenCursors();
  if (auto it = table.find(static_cast<int>(c)); it != table.end()) return it->second;
  switch (static_cast<int>(c)) {
    case -1: return nullptr;
    case -3: return LoadCursor(IDC_CROSS);
    case -4: return LoadCursor(IDC_IBEAM);
    case -6: return LoadCursor(IDC_SIZENESW);
    case -7: return LoadCursor(IDC_SIZENS);
    case -8: return LoadCursor(IDC_SIZENWSE);
    case -9: return LoadCursor(IDC_SIZEWE);
    case -10: return LoadCursor(IDC_UPARROW);
    case -11: return LoadCursor(IDC_WAIT);
    case -18: return LoadCursor(IDC_NO);
    case -19: return LoadCursor(IDC_APPSTARTING);
    case -20: return LoadCursor(IDC_HELP);
    case -21: return LoadCursor(IDC_HAND);
    case -22: return LoadCursor(IDC_SIZEALL);
    case -12:
    case -16: return LoadCursor(IDC_DRAGOBJECT);
    default: return LoadCursor(IDC_ARROW);
  }
}

void SetCursorHandle(TCursor c, HCURSOR h) {
  if (h)
    ScreenCursors()[static_cast<int>(c)] = h;
  else
    ScreenCursors().erase(static_cast<int>(c));
}

UINT BevelInnerEdge(TBevelCut cut) {
  switch (cut) {
    case TBevelCut::bvLowered: return BDR_SUNKENINNER;
    case TBevelCut::bvRaised: return BDR_RAISEDINNER;
    default: return 0;
  }
}

UINT BevelOuterEdge(TBevelCut cut) {
  switch (cut) {
    case TBevelCut::bvLowered: return BDR_SUNKENOUTER;
    case TBevelCut::bvRaised: return BDR_RAISEDOUTER;
    default: return 0;
  }
}

UINT BevelFlags(TBevelEdges edges, TBevelKind kind, bool ctl3D) {
  UINT f = 0;
  if (edges.Contains(TBevelEdge::beLeft)) f |= BF_LEFT;
  if (edges.Contains(TBevelEdge::beTop)) f |= BF_TOP;
  if (edges.Contains(TBevelEdge::beRight)) f |= BF_RIGHT;
  if (edges.Contains(TBevelEdge::beBottom)) f |= BF_BOTTOM;
  if (kind == TBevelKind::bkSoft) f |= BF_SOFT;
  if (kind == TBevelKind::bkFlat) f |= BF_FLAT;
  if (!ctl3D) f |= BF_MONO;
  return f;
}

TWinControl* FindControl(HWND h) {
  auto it = gControls.find(h);
  return it == gControls.end() ? nullptr : it->second;
}

TCustomForm* GetParentForm(const TControl* control) {
  const TControl* c = control;
  while (c && c->GetParent()) c = c->GetParent();
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

// ---------------------------------------------------------------- TControl

void TControl::Create(TComponent* owner) {
  TComponent::Create(owner);
  ControlStyle = {TControlStyleItem::csCaptureMouse, TControlStyleItem::csClickEvents,
                  TControlStyleItem::csDoubleClicks};
  FFont = TFont::New();
  FFont->OnChange = [this](TObject*) {
    FParentFont = false;
    FontChanged();
  };
  WindowProc = [this](TMessage& m) { WndProc(m); };
}

void TControl::Destroy() {
  *FAlive = false;
  if (gCaptureControl == this) gCaptureControl = nullptr;
  if (FAction) SetAction(nullptr);
  if (FParent) FParent->RemoveControl(this);
  FreeAndNil(FFont);
  TComponent::Destroy();
}

void TControl::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  if (op == TOperation::opRemove && c == FAction) FAction = nullptr;
  if (op == TOperation::opRemove && c == FPopupMenu) FPopupMenu = nullptr;
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
  if (menu == FPopupMenu) return;
  if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
  FPopupMenu = menu;
  if (menu) menu->FreeNotification(this);
}

void TControl::DoContextPopup(TPoint mousePos, bool& handled) {
  if (TContextPopupEvent handler = OnContextPopup) handler(this, mousePos, handled);
}

void TControl::WMContextMenu(TMessage& msg) {
  if (msg.Result != 0) return;
  TPoint screen{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
  bool fromKeyboard = screen.X == -1 && screen.Y == -1;
  TPoint client{-1, -1};
  if (!fromKeyboard) {
    client = ScreenToClient(screen);
    TRect c = GetClientRect();
    if (client.X < 0 || client.Y < 0 || client.X >= c.Right || client.Y >= c.Bottom) {
      DefaultHandler(msg);  // over the frame or a scroll bar: not the control's menu
      return;
    }
  }
  std::shared_ptr<bool> alive = FAlive;
  bool handled = false;
  DoContextPopup(client, handled);
  if (!*alive) return;
  msg.Result = handled ? 1 : 0;
  if (handled) return;
  TPopupMenu* menu = FPopupMenu;
  if (menu && menu->AutoPopup) {
    if (GetCapture()) ReleaseCapture();
    menu->PopupComponent = this;
    if (fromKeyboard) screen = ClientToScreen(TPoint{0, 0});
    menu->Popup(screen.X, screen.Y);
    msg.Result = 1;
    return;
  }
  DefaultHandler(msg);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  if (parent == this) throw EInvalidOperation(u"A control cannot be its own parent");
  if (FParent) FParent->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(Integer left, Integer top, Integer width, Integer height) {
  // A control with a window is asked as its window takes the size (WM_WINDOWPOSCHANGING).
  if (width != FWidth || height != FHeight) {
    const auto* wc = dynamic_cast<const TWinControl*>(this);
    if (!(wc && wc->HandleAllocated()) && !CheckNewSize(width, height)) {
      width = FWidth;
      height = FHeight;
    }
  }
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
  FLeft = left;
  FTop = top;
  FWidth = std::max(0, width);
  FHeight = std::max(0, height);
  BoundsChanged();
}

void TControl::Resize() {
  if (TNotifyEvent handler = OnResize) handler(this);
}

bool TControl::CanResize(Integer& newWidth, Integer& newHeight) {
  bool resize = true;
  if (TCanResizeEvent handler = OnCanResize) handler(this, newWidth, newHeight, resize);
  return resize;
}

void TControl::ConstrainedResize(Integer& minWidth, Integer& minHeight, Integer& maxWidth, Integer& maxHeight) {
  if (TConstrainedResizeEvent handler = OnConstrainedResize) handler(this, minWidth, minHeight, maxWidth, maxHeight);
}

bool TControl::CheckNewSize(Integer& newWidth, Integer& newHeight) {
  Integer w = newWidth, h = newHeight;
  if (!CanResize(w, h)) return false;
  Integer minW = FConstraints.MinWidth, minH = FConstraints.MinHeight;
  Integer maxW = FConstraints.MaxWidth, maxH = FConstraints.MaxHeight;
  ConstrainedResize(minW, minH, maxW, maxH);
  if (maxW > 0 && w > maxW)
    w = maxW;
  else if (minW > 0 && w < minW)
    w = minW;
  if (maxH > 0 && h > maxH)
    h = maxH;
  else if (minH > 0 && h < minH)
    h = minH;
  newWidth = w;
  newHeight = h;
  return true;
}

TRect TControl::GetClientRect() const {
  TSize nc = NonClientSize();
  return TRect{0, 0, std::max(0, FWidth - nc.cx), std::max(0, FHeight - nc.cy)};
}

// The frame's size, not the difference of the sizes: a control smaller than its frame has no
// client area, and the difference would be short.
void TControl::SetClientWidth(Integer v) { SetWidth(v + NonClientSize().cx); }
void TControl::SetClientHeight(Integer v) { SetHeight(v + NonClientSize().cy); }

TPoint TControl::ClientToScreen(TPoint p) const {
  if (!FParent) return p;
  return FParent->ClientToScreen(TPoint{p.X + FLeft, p.Y + FTop});
}

TPoint TControl::ScreenToClient(TPoint p) const {
  TPoint o = ClientToScreen(TPoint{0, 0});
  return TPoint{p.X - o.X, p.Y - o.Y};
}

void TControl::SetVisible(bool v) {
  if (v == FVisible) return;
  FVisible = v;
  VisibleChanged();
  Perform(CM_VISIBLECHANGED, v ? 1 : 0, 0);
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->FParent)
    if (!c->FVisible) return false;
  return true;
}

void TControl::SetEnabled(bool v) {
  if (v == FEnabled) return;
  FEnabled = v;
  EnabledChanged();
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

String TControl::GetText() const { return FText; }

void TControl::SetText(const String& text) {
  if (text == GetText()) return;
  FText = text;
  TextChanged();
  Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetCursor(TCursor c) {
  if (c == FCursor) return;
  FCursor = c;
  CursorChanged();
}

void TControl::SetHint(const String& h) {
  if (h == FHint) return;
  FHint = h;
  HintChanged();
}

void TControl::SetShowHint(bool v) {
  FParentShowHint = false;
  if (v == FShowHint) return;
  FShowHint = v;
  HintChanged();
}

void TControl::SetParentShowHint(bool v) {
  if (v == FParentShowHint) return;
  FParentShowHint = v;
  HintChanged();
}

bool TControl::EffectiveShowHint() const {
  const TControl* c = this;
  while (c->FParentShowHint && c->FParent) c = c->FParent;
  return c->FShowHint;
}

void TControl::SetCtl3D(bool v) {
  FParentCtl3D = false;
  if (v == FCtl3D) return;
  FCtl3D = v;
  Perform(CM_CTL3DCHANGED, 0, 0);
}

void TControl::SetParentCtl3D(bool v) {
  if (v == FParentCtl3D) return;
  FParentCtl3D = v;
  if (v && FParent && FParent->FCtl3D != FCtl3D) {
    FCtl3D = FParent->FCtl3D;
    Perform(CM_CTL3DCHANGED, 0, 0);
  }
}

bool TControl::DoMouseWheel(TShiftState shift, Integer delta, TPoint mousePos) {
  bool handled = false;
  std::shared_ptr<bool> alive = FAlive;
  if (TMouseWheelEvent handler = OnMouseWheel) handler(this, shift, delta, mousePos, handled);
  if (handled || !*alive) return handled;
  // A wheel that turns in finer steps than a notch gathers them until a whole notch is made.
  FWheelAccumulator += delta;
  while (*alive && std::abs(FWheelAccumulator) >= WHEEL_DELTA) {
    const bool down = FWheelAccumulator < 0;
    FWheelAccumulator += down ? WHEEL_DELTA : -WHEEL_DELTA;
    handled = down ? DoMouseWheelDown(shift, mousePos) : DoMouseWheelUp(shift, mousePos);
  }
  return handled;
}

bool TControl::DoMouseWheelDown(TShiftState shift, TPoint mousePos) {
  bool handled = false;
  if (TMouseWheelUpDownEvent handler = OnMouseWheelDown) handler(this, shift, mousePos, handled);
  return handled;
}

bool TControl::DoMouseWheelUp(TShiftState shift, TPoint mousePos) {
  bool handled = false;
  if (TMouseWheelUpDownEvent handler = OnMouseWheelUp) handler(this, shift, mousePos, handled);
  return handled;
}

void TControl::SetParentFont(bool v) {
  FParentFont = v;
  if (v && FParent) {
    FFont->Assign(*FParent->GetFont());
    FParentFont = true;
  }
}

void TControl::SetColor(TColor c) {
  if (c == FColor) return;
  FColor = c;
  FParentColor = false;
  ColorChanged();
  Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool v) {
  FParentColor = v;
  if (v && FParent) {
    FColor = FParent->GetColor();
    ColorChanged();
  }
}

void TControl::FontChanged() {
  Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetAction(TBasicAction* action) {
  if (action == FAction) return;
  if (FAction) {
    FAction->UnregisterClient(this);
    FAction->RemoveFreeNotification(this);
  }
  FAction = action;
  if (action) {
    action->RegisterClient(this);
    action->FreeNotification(this);
    ActionChanged();
  }
}

void TControl::ActionChanged() {
  auto* a = dynamic_cast<TAction*>(FAction);
  if (!a) return;
  FSettingFromAction = true;
  if (!a->GetCaption().empty()) SetText(a->GetCaption());
  SetEnabled(a->GetEnabled());
  SetVisible(a->GetVisible());
  if (!a->GetHint().empty()) SetHint(a->GetHint());
  FSettingFromAction = false;
}

void TControl::InitiateAction() {
  if (FAction) FAction->Update();
}

LRESULT TControl::Perform(UINT msg, WPARAM w, LPARAM l) {
  TMessage m{msg, w, l, 0};
  if (WindowProc) WindowProc(m);
  return m.Result;
}

void TControl::Invalidate() {}
void TControl::Update() {}

void TControl::BringToFront() {
  if (auto* wc = dynamic_cast<TWinControl*>(this); wc && wc->HandleAllocated())
    if (QWidget* w = layer::WidgetOf(wc->Handle())) w->raise();
}

void TControl::WndProc(TMessage& msg) {
  if ((msg.Msg == WM_LBUTTONDOWN || msg.Msg == WM_LBUTTONDBLCLK) && FDragMode == TDragMode::dmAutomatic &&
      !ComponentState().Contains(TComponentStateItem::csDesigning)) {
    BeginDrag(false);
    return;
  }
  Dispatch(msg);
}

void TControl::MouseMessage(TMessage& msg) {
  TShiftState shift = KeysToShiftState(msg.WParam);
  Integer x = GET_X_LPARAM(msg.LParam), y = GET_Y_LPARAM(msg.LParam);
  std::shared_ptr<bool> alive = FAlive;
  // The default handling hands the event to a standard control, whose notification may run a
  // handler that frees this control: nothing of it is touched after that.
  auto passOn = [&] {
    DefaultHandler(msg);
    return *alive;
  };
  switch (msg.Msg) {
    case WM_LBUTTONDOWN:
      FClicked = ControlStyle.Contains(TControlStyleItem::csClickEvents);
      if (passOn()) MouseDown(TMouseButton::mbLeft, shift, x, y);
      break;
    case WM_LBUTTONDBLCLK:
      if (!passOn()) break;
      if (ControlStyle.Contains(TControlStyleItem::csDoubleClicks)) DblClick();
      if (*alive) MouseDown(TMouseButton::mbLeft, shift + TShiftStateItem::ssDouble, x, y);
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      if (passOn()) MouseDown(TMouseButton::mbRight, shift, x, y);
      break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      if (passOn()) MouseDown(TMouseButton::mbMiddle, shift, x, y);
      break;
    case WM_LBUTTONUP: {
      if (!passOn()) break;
      bool clicked = FClicked;
      FClicked = false;
      TRect c = GetClientRect();
      // A click counts where the button went down and came up on the control, as the class
      // library's controls do.
      MouseUp(TMouseButton::mbLeft, shift, x, y);
      if (*alive && clicked && x >= 0 && y >= 0 && x < c.Right && y < c.Bottom) Click();
      break;
    }
    case WM_RBUTTONUP:
      if (passOn()) MouseUp(TMouseButton::mbRight, shift, x, y);
      break;
    case WM_MBUTTONUP:
      if (passOn()) MouseUp(TMouseButton::mbMiddle, shift, x, y);
      break;
    case WM_MOUSEMOVE:
      if (passOn()) MouseMove(shift, x, y);
      break;
  }
}

void TControl::Dispatch(TMessage& msg) {
  if (msg.Msg >= WM_MOUSEFIRST && msg.Msg <= WM_MBUTTONDBLCLK) {
    MouseMessage(msg);
    return;
  }
  if (msg.Msg == WM_MOUSEWHEEL) {
    // The class library's own notification first; what nobody handles climbs to the parent.
    if (Perform(CM_MOUSEWHEEL, msg.WParam, msg.LParam) != 0) return;
    DefaultHandler(msg);
    return;
  }
  if (msg.Msg == WM_CONTEXTMENU) {
    WMContextMenu(msg);
    return;
  }
  if (msg.Msg == CM_MOUSEENTER || msg.Msg == CM_MOUSELEAVE) {
    if (TNotifyEvent handler = msg.Msg == CM_MOUSEENTER ? OnMouseEnter : OnMouseLeave) handler(this);
    return;
  }
  if (msg.Msg == CM_DRAG) {
    CMDrag(msg);
    return;
  }
  if (msg.Msg == CM_MOUSEWHEEL) {
    TShiftState shift = KeysToShiftState(LOWORD(msg.WParam));
    TPoint pos{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
    msg.Result = DoMouseWheel(shift, GET_WHEEL_DELTA_WPARAM(msg.WParam), pos) ? 1 : 0;
    return;
  }
  DefaultHandler(msg);
}

void TControl::DefaultHandler(TMessage&) {}


void TControl::Click() {
  // Handlers run from a copy: one may free the control, and its handler with it.
  if (TNotifyEvent handler = OnClick)
    handler(this);
  else if (FAction)
    FAction->Execute();
}

void TControl::DblClick() {
  if (TNotifyEvent handler = OnDblClick) handler(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  if (TMouseEvent handler = OnMouseDown) handler(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  if (TMouseEvent handler = OnMouseUp) handler(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, Integer x, Integer y) {
  if (TMouseMoveEvent handler = OnMouseMove) handler(this, shift, x, y);
}

// ---------------------------------------------------------------- TWinControl

void TWinControl::Create(TComponent* owner) {
  TControl::Create(owner);
  ControlStyle.Include(TControlStyleItem::csAcceptsControls);
  FBrush = TBrush::New();
}

TBrush* TWinControl::GetBrush() const {
  // Descendants give their colour before the brush is asked for, some by the field itself.
  if (FBrush && FBrushFollows != FColor) {
    FBrush->SetColor(FColor);
    FBrushFollows = FColor;
  }
  return FBrush;
}

void TWinControl::Destroy() {
  DestroyHandle();
  // Child controls go with their parent, as in the class library.
  while (!FControls.empty()) {
    TControl* c = FControls.back();
    RemoveControl(c);
    c->Free();
  }
  TControl::Destroy();
  FreeAndNil(FBrush);
}

void TWinControl::NameChanged() {
  if (QWidget* w = layer::WidgetOf(FHandle)) w->setObjectName(Q(GetName()));
}

HWND TWinControl::GetHandle() {
  HandleNeeded();
  return FHandle;
}

void TWinControl::HandleNeeded() {
  if (FHandle || FCreating) return;
  if (FParent) FParent->HandleNeeded();
  if (FHandle) return;  // the parent made it along with its own
  CreateWnd();
}

void TWinControl::CreateParams(TCreateParams& p) {
  p.WinClassName = ClassName();
  p.Caption = FText;
  p.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  if (FVisible) p.Style |= WS_VISIBLE;
  if (!FEnabled) p.Style |= WS_DISABLED;
  if (TabStop) p.Style |= WS_TABSTOP;
  p.X = FLeft;
  p.Y = FTop;
  p.Width = FWidth;
  p.Height = FHeight;
  if (FParent) p.WndParent = FParent->FHandle;
}

void TWinControl::CreateWnd() {
  TCreateParams p;
  CreateParams(p);
  if ((p.Style & WS_CHILD) && !p.WndParent) return;
  FCreating = true;
  HWND h = CreateWindowEx(p.ExStyle, p.WinClassName, p.Caption, p.Style, p.X, p.Y, p.Width, p.Height,
                          p.WndParent, [this](HWND hw, UINT m, WPARAM w, LPARAM l) { return MainWndProc(hw, m, w, l); },
                          p.ClassStyle);
  FCreating = false;
  if (!h) throw EOSError(u"Error creating window of " + ClassName());
  FHandle = h;
  gControls[h] = this;
  if (QWidget* w = layer::WidgetOf(h)) w->setObjectName(Q(GetName()));
  ApplyFontAndColor();
  CursorChanged();
  HintChanged();
  CreateHandleDone();
  for (TControl* c : std::vector<TControl*>(FControls))
    if (auto* wc = dynamic_cast<TWinControl*>(c)) wc->HandleNeeded();
}

void TWinControl::DestroyWnd() {
  if (!FHandle) return;
  TControlCanvas::FreeDeviceContextsOf(this);
  FText = GetText();  // the window's text outlives it
  DestroyWindow(FHandle);
}

void TWinControl::DestroyHandle() {
  if (!FHandle) return;
  DestroyWnd();
  if (FHandle) {
    gControls.erase(FHandle);
    FHandle = nullptr;
  }
}

void TWinControl::RecreateWnd() {
  if (!FHandle) return;
  // A form's window is made hidden (showing is the form's own step); one that was showing must
  // show again, or a shown form would vanish while it still counts as visible.
  const bool shown = (GetWindowLongPtr(FHandle, GWL_STYLE) & WS_VISIBLE) != 0;
  DestroyHandle();
  HandleNeeded();
  if (shown && FHandle && !(GetWindowLongPtr(FHandle, GWL_STYLE) & WS_VISIBLE)) ShowWindow(FHandle, SW_SHOW);
}

LRESULT TWinControl::MainWndProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (!FHandle) FHandle = h;  // the first messages come before CreateWindowEx returns
  TMessage msg{m, w, l, 0};
  try {
    if (WindowProc) WindowProc(msg);
  } catch (...) {
    HandleControlException(std::current_exception());
  }
  if (m == WM_NCDESTROY) {
    // Children's windows go before their controls do; the control may make a new one later.
    for (TControl* c : FControls)
      if (auto* wc = dynamic_cast<TWinControl*>(c); wc && wc->FHandle) {
        gControls.erase(wc->FHandle);
        wc->FHandle = nullptr;
      }
    gControls.erase(h);
    FHandle = nullptr;
  }
  return msg.Result;
}

void TWinControl::InsertControl(TControl* c) {
  if (!c || ContainsControl(c)) return;
  FControls.push_back(c);
  c->FParent = this;
  if (c->FParentFont) {
    c->FFont->Assign(*FFont);
    c->FParentFont = true;
  }
  if (c->FParentColor) c->FColor = FColor;
  if (c->FParentCtl3D) c->FCtl3D = FCtl3D;
  if (auto* wc = dynamic_cast<TWinControl*>(c); wc && FHandle) wc->HandleNeeded();
}

void TWinControl::RemoveControl(TControl* c) {
  auto it = std::find(FControls.begin(), FControls.end(), c);
  if (it == FControls.end()) return;
  if (auto* wc = dynamic_cast<TWinControl*>(c)) wc->DestroyHandle();
  FControls.erase(std::find(FControls.begin(), FControls.end(), c));
  c->FParent = nullptr;
}

bool TWinControl::ContainsControl(const TControl* c) const {
  for (const TControl* p = c; p; p = p->GetParent())
    if (p == this) return true;
  return false;
}

TSize TWinControl::NonClientSize() const {
  if (TWindowObj* w = layer::Find(FHandle)) {
    const TRect& n = w->NcInsets;
    return TSize{n.Left + n.Right, n.Top + n.Bottom};
  }
  TCreateParams p;
  const_cast<TWinControl*>(this)->CreateParams(p);
  if (IsStandardClass(p.WinClassName)) return {};
  TRect r{0, 0, 0, 0};
  AdjustWindowRectEx(&r, p.Style, false, p.ExStyle);
  TSize size{r.Width() + 2 * FBorderWidth, r.Height() + 2 * FBorderWidth};
  if (FBevelKind != TBevelKind::bkNone) {
    Integer e = BevelEdgeSize(FBevelInner, FBevelOuter, FBevelWidth);
    size.cx += (FBevelEdges.Contains(TBevelEdge::beLeft) ? e : 0) + (FBevelEdges.Contains(TBevelEdge::beRight) ? e : 0);
    size.cy += (FBevelEdges.Contains(TBevelEdge::beTop) ? e : 0) + (FBevelEdges.Contains(TBevelEdge::beBottom) ? e : 0);
  }
  return size;
}

// ---- bevels and the border width

void TWinControl::SetBevelInner(TBevelCut v) {
  if (v == FBevelInner) return;
  FBevelInner = v;
  FrameChanged();
}

void TWinControl::SetBevelOuter(TBevelCut v) {
  if (v == FBevelOuter) return;
  FBevelOuter = v;
  FrameChanged();
}

void TWinControl::SetBevelKind(TBevelKind v) {
  if (v == FBevelKind) return;
  FBevelKind = v;
  FrameChanged();
}

void TWinControl::SetBevelEdges(TBevelEdges v) {
  if (v == FBevelEdges) return;
  FBevelEdges = v;
  FrameChanged();
}

void TWinControl::SetBevelWidth(Integer v) {
  v = std::max(1, v);
  if (v == FBevelWidth) return;
  FBevelWidth = v;
  FrameChanged();
}

void TWinControl::SetBorderWidth(Integer v) {
  v = std::max(0, v);
  if (v == FBorderWidth) return;
  FBorderWidth = v;
  FrameChanged();
}

void TWinControl::FrameChanged() {
  if (!FHandle || IsLoading()) return;
  SetWindowPos(FHandle, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  Invalidate();
}

void TWinControl::Loaded() {
  TControl::Loaded();
  // What the setters left for the end of loading.
  if (FHandle) FrameChanged();
}

void TWinControl::NcCalcSizeBevels(TMessage& msg) {
  auto* p = reinterpret_cast<NCCALCSIZE_PARAMS*>(msg.LParam);
  if (!p) return;
  TRect& r = p->rgrc[0];
  r.Left += FBorderWidth;
  r.Top += FBorderWidth;
  r.Right -= FBorderWidth;
  r.Bottom -= FBorderWidth;
  if (FBevelKind != TBevelKind::bkNone) {
    Integer e = BevelEdgeSize(FBevelInner, FBevelOuter, FBevelWidth);
    if (FBevelEdges.Contains(TBevelEdge::beLeft)) r.Left += e;
    if (FBevelEdges.Contains(TBevelEdge::beTop)) r.Top += e;
    if (FBevelEdges.Contains(TBevelEdge::beRight)) r.Right -= e;
    if (FBevelEdges.Contains(TBevelEdge::beBottom)) r.Bottom -= e;
  }
  r.Right = std::max(r.Left, r.Right);
  r.Bottom = std::max(r.Top, r.Bottom);
}

// The bevel goes round the client area and the scroll bars, inside the window's own border; the
// border width around it takes the control's colour.
void TWinControl::NcPaintBevels() {
  if (FBevelKind == TBevelKind::bkNone && FBorderWidth == 0) return;
  HDC dc = GetWindowDC(FHandle);
  if (!dc) return;
  TPoint origin = ClientOrigin(FHandle);
  TRect client;
  pf::GetClientRect(FHandle, &client);
  client.Left += origin.X;
  client.Right += origin.X;
  client.Top += origin.Y;
  client.Bottom += origin.Y;
  DWORD style = static_cast<DWORD>(GetWindowLongPtr(FHandle, GWL_STYLE));
  DWORD exStyle = static_cast<DWORD>(GetWindowLongPtr(FHandle, GWL_EXSTYLE));
  if (style & WS_VSCROLL) {
    if (exStyle & WS_EX_LEFTSCROLLBAR) client.Left -= GetSystemMetrics(SM_CXVSCROLL);
    else client.Right += GetSystemMetrics(SM_CXVSCROLL);
  }
  if (style & WS_HSCROLL) client.Bottom += GetSystemMetrics(SM_CYHSCROLL);
  TRect inner = client;
  TRect r = client;
  if (FBevelKind != TBevelKind::bkNone) {
    Integer e = BevelEdgeSize(FBevelInner, FBevelOuter, FBevelWidth);
    if (FBevelEdges.Contains(TBevelEdge::beLeft)) r.Left -= e;
    if (FBevelEdges.Contains(TBevelEdge::beTop)) r.Top -= e;
    if (FBevelEdges.Contains(TBevelEdge::beRight)) r.Right += e;
    if (FBevelEdges.Contains(TBevelEdge::beBottom)) r.Bottom += e;
    ExcludeClipRect(dc, inner.Left, inner.Top, inner.Right, inner.Bottom);
    TRect edge = r;
    DrawEdge(dc, &edge, BevelOuterEdge(FBevelOuter) | BevelInnerEdge(FBevelInner),
             BevelFlags(FBevelEdges, FBevelKind, FCtl3D));
  }
  if (FBorderWidth > 0) {
    TRect outer{r.Left - FBorderWidth, r.Top - FBorderWidth, r.Right + FBorderWidth, r.Bottom + FBorderWidth};
    ExcludeClipRect(dc, r.Left, r.Top, r.Right, r.Bottom);
    HBRUSH b = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(FColor)));
    FillRect(dc, &outer, b);
    DeleteObject(b);
  }
  ReleaseDC(FHandle, dc);
}

String TWinControl::GetText() const {
  if (FHandle) return GetWindowText(FHandle);
  return FText;
}

TRect TWinControl::GetClientRect() const {
  if (FHandle) {
    TRect r;
    pf::GetClientRect(FHandle, &r);
    return r;
  }
  return TControl::GetClientRect();
}

TPoint TWinControl::ClientToScreen(TPoint p) const {
  if (FHandle) {
    pf::ClientToScreen(FHandle, &p);
    return p;
  }
  return TControl::ClientToScreen(p);
}

TPoint TWinControl::ScreenToClient(TPoint p) const {
  if (FHandle) {
    pf::ScreenToClient(FHandle, &p);
    return p;
  }
  return TControl::ScreenToClient(p);
}

void TWinControl::UpdateBounds() {
  if (!FHandle) return;
  TRect r;
  pf::GetWindowRect(FHandle, &r);
  TPoint tl{r.Left, r.Top};
  if (FParent && FParent->FHandle) pf::ScreenToClient(FParent->FHandle, &tl);
  FLeft = tl.X;
  FTop = tl.Y;
  FWidth = r.Width();
  FHeight = r.Height();
}

void TWinControl::BoundsChanged() {
  if (!FHandle) return;
  SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  // The window may have kept its size (CanResize refused) or taken another.
  UpdateBounds();
}

void TWinControl::CursorChanged() {
  // Shown through the window's answer to WM_SETCURSOR; asked again at once when the pointer is
  // over the window, as the class library does.
  if (!FHandle || GetCapture()) return;
  TPoint p;
  GetCursorPos(&p);
  if (WindowFromPoint(p) == FHandle) Perform(WM_SETCURSOR, reinterpret_cast<WPARAM>(FHandle), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

bool TWinControl::SetCursorMessage(TMessage& msg) {
  // Only for the window the pointer is over: a parent asked on a child's behalf leaves it to the
  // child's class cursor. The screen's cursor wins, then that of a control without a window
  // under the pointer, then the control's own; crDefault leaves it to the class cursor.
  if (reinterpret_cast<HWND>(msg.WParam) != FHandle || static_cast<int16_t>(LOWORD(msg.LParam)) != HTCLIENT)
    return false;
  TCursor c = Screen ? Screen->GetCursor() : crDefault;
  if (c == crDefault) {
    TPoint p;
    GetCursorPos(&p);
    p = ScreenToClient(p);
    c = FCursor;
    if (TControl* child = ControlAtPos(p, false); child && child->GetCursor() != crDefault) c = child->GetCursor();
  }
  if (c == crDefault) return false;
  pf::SetCursor(CursorHandle(c));
  msg.Result = 1;
  return true;
}

void TWinControl::HintChanged() {
  // Hints are the application's (its hint window, on the layer's clock), never the toolkit's
  // tool tips; a standard control's widget keeps none of its own.
  if (QWidget* w = layer::WidgetOf(FHandle)) w->setToolTip(QString());
}

void TWinControl::VisibleChanged() {
  if (FHandle) ShowWindow(FHandle, FVisible ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::EnabledChanged() {
  if (FHandle) EnableWindow(FHandle, FEnabled);
}

void TWinControl::TextChanged() {
  if (FHandle && GetWindowText(FHandle) != FText) SetWindowText(FHandle, FText);
}

void TWinControl::FontChanged() {
  ApplyFontAndColor();
  TControl::FontChanged();
  // Children that follow their parent's font take the new one.
  for (TControl* c : FControls)
    if (c->GetParentFont()) c->SetParentFont(true);
}

void TWinControl::ColorChanged() {
  ApplyFontAndColor();
  Invalidate();
  for (TControl* c : FControls)
    if (c->GetParentColor()) c->SetParentColor(true);
}

void TWinControl::ApplyFontAndColor() {
  QWidget* w = layer::WidgetOf(FHandle);
  if (!w) return;
  QFont f(Q(FFont->GetName()));
  f.setPixelSize(std::max(1, std::abs(FFont->GetHeight())));
  TFontStyles st = FFont->GetStyle();
  f.setBold(st.Contains(TFontStyle::fsBold));
  f.setItalic(st.Contains(TFontStyle::fsItalic));
  f.setUnderline(st.Contains(TFontStyle::fsUnderline));
  f.setStrikeOut(st.Contains(TFontStyle::fsStrikeOut));
  w->setFont(f);
  QPalette pal = w->palette();
  QColor text = ToQColor(FFont->GetColor());
  // The font's colour is the text of an enabled control; a disabled one keeps the grey the
  // platform gives disabled text, so the user can see it does not answer.
  QColor grey = ToQColor(clGrayText);
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    pal.setColor(group, QPalette::WindowText, text);
    pal.setColor(group, QPalette::Text, text);
    pal.setColor(group, QPalette::ButtonText, text);
  }
  pal.setColor(QPalette::Disabled, QPalette::WindowText, grey);
  pal.setColor(QPalette::Disabled, QPalette::Text, grey);
  pal.setColor(QPalette::Disabled, QPalette::ButtonText, grey);
  // The field colour is set on every control, never left to the toolkit's inheritance: a panel's
  // colour would otherwise fill the edits and combo boxes on it, which then look disabled. A check
  // box or radio button takes its colour around the box only: the box itself stays the window
  // colour, as the platform draws it, so the tick stays readable on a coloured panel.
  const bool ownField = !qobject_cast<QAbstractButton*>(w) && FColor != clBtnFace && FColor != clNone;
  pal.setColor(QPalette::Base, ToQColor(ownField ? FColor : clWindow));
  w->setPalette(pal);
}

bool TWinControl::CanFocus() const {
  if (!FHandle) return false;
  for (const TControl* c = this; c; c = c->GetParent())
    if (!c->GetVisible() || !c->GetEnabled()) return false;
  return true;
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

void TWinControl::SetFocus() {
  HandleNeeded();
  if (!CanFocus()) throw EInvalidOperation(u"Cannot focus a disabled or invisible window");
  pf::SetFocus(FHandle);
}

Integer TWinControl::GetTabOrder() const {
  if (!FParent) return -1;
  Integer i = 0;
  for (TControl* c : FParent->FControls) {
    if (c == this) return i;
    if (dynamic_cast<TWinControl*>(c)) ++i;
  }
  return -1;
}

void TWinControl::SetTabOrder(Integer order) {
  if (!FParent) return;
  auto& v = FParent->FControls;
  v.erase(std::find(v.begin(), v.end(), this));
  Integer i = 0;
  auto it = v.begin();
  for (; it != v.end() && i < order; ++it)
    if (dynamic_cast<TWinControl*>(*it)) ++i;
  v.insert(it, this);
}

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, true);
}

void TWinControl::Update() {
  if (FHandle) UpdateWindow(FHandle);
}

void TWinControl::InitiateAction() {
  TControl::InitiateAction();
  for (TControl* c : std::vector<TControl*>(FControls))
    if (c->GetVisible()) c->InitiateAction();
}

bool TWinControl::WantsKey(Word) const { return false; }

bool TWinControl::DoKeyDown(Word& key, TShiftState shift) {
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview && form->DoKeyDown(key, shift)) return true;
  if (key == 0) return true;
  KeyDown(key, shift);
  return key == 0;
}

bool TWinControl::DoKeyPress(Char& key) {
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview && form->DoKeyPress(key)) return true;
  if (key == 0) return true;
  KeyPress(key);
  return key == 0;
}

bool TWinControl::DoKeyUp(Word& key, TShiftState shift) {
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview && form->DoKeyUp(key, shift)) return true;
  if (key == 0) return true;
  KeyUp(key, shift);
  return key == 0;
}

void TWinControl::KeyDown(Word& key, TShiftState shift) {
  if (TKeyEvent handler = OnKeyDown) handler(this, key, shift);
}

void TWinControl::KeyPress(Char& key) {
  if (TKeyPressEvent handler = OnKeyPress) handler(this, key);
}

void TWinControl::KeyUp(Word& key, TShiftState shift) {
  if (TKeyEvent handler = OnKeyUp) handler(this, key, shift);
}

void TWinControl::DoEnter() {
  if (TNotifyEvent handler = OnEnter) handler(this);
}

void TWinControl::DoExit() {
  if (TNotifyEvent handler = OnExit) handler(this);
}

void TWinControl::WndProc(TMessage& msg) {
  if (IsMouseInput(msg.Msg) && IsControlMouseMsg(msg)) {
    // What the child left unanswered still gets the window's default handling (a right button
    // coming up asks for the context menu).
    if (msg.Result == 0 && FHandle) DefWindowProc(FHandle, msg.Msg, msg.WParam, msg.LParam);
    return;
  }
  TControl::WndProc(msg);
}

// Mouse messages over a windowless child (or for the one holding the capture) are the child's.
bool TWinControl::IsControlMouseMsg(TMessage& msg) {
  TPoint p{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
  TControl* target = nullptr;
  if (gCaptureControl && gCaptureControl->GetParent() == this && FHandle && GetCapture() == FHandle)
    target = gCaptureControl;
  else
    target = ControlAtPos(p, false);
  if (!target || dynamic_cast<TWinControl*>(target)) return false;
  msg.Result = target->Perform(msg.Msg, msg.WParam, MAKELPARAM(p.X - target->GetLeft(), p.Y - target->GetTop()));
  return true;
}

TControl* TWinControl::ControlAtPos(TPoint p, bool allowDisabled, bool allowWinControls) const {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    TControl* c = *it;
    bool windowed = dynamic_cast<TWinControl*>(c) != nullptr;
    if (windowed && !allowWinControls) continue;
    if (!c->GetVisible() || (!c->GetEnabled() && !allowDisabled)) continue;
    TRect b = c->GetBoundsRect();
    if (p.X >= b.Left && p.X < b.Right && p.Y >= b.Top && p.Y < b.Bottom) return c;
  }
  return nullptr;
}

void TWinControl::PaintControls(HDC dc, TControl* first) {
  TRect clip;
  GetClipBox(dc, &clip);
  bool started = first == nullptr;
  for (TControl* c : std::vector<TControl*>(FControls)) {
    if (!started) {
      started = c == first;
      if (!started) continue;
    }
    if (dynamic_cast<TWinControl*>(c) || !c->GetVisible()) continue;
    TRect b = c->GetBoundsRect();
    if (b.Width() <= 0 || b.Height() <= 0) continue;
    if (std::max(b.Left, clip.Left) >= std::min(b.Right, clip.Right) ||
        std::max(b.Top, clip.Top) >= std::min(b.Bottom, clip.Bottom))
      continue;
    int saved = SaveDC(dc);
    TPoint org;
    GetViewportOrgEx(dc, &org);
    SetViewportOrgEx(dc, org.X + b.Left, org.Y + b.Top, nullptr);
    IntersectClipRect(dc, 0, 0, b.Width(), b.Height());
    try {
      c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    } catch (...) {
      RestoreDC(dc, saved);
      throw;
    }
    RestoreDC(dc, saved);
  }
}

void TWinControl::PaintWindow(HDC) {}

void TWinControl::PaintHandler(TMessage& msg) {
  if (msg.WParam) {  // a DC handed in: paint on it, nothing to begin or end
    HDC dc = reinterpret_cast<HDC>(msg.WParam);
    PaintWindow(dc);
    PaintControls(dc);
    return;
  }
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(FHandle, &ps);
  if (!dc) return;
  struct End {
    HWND H;
    PAINTSTRUCT& Ps;
    ~End() { EndPaint(H, &Ps); }
  } end{FHandle, ps};
  PaintWindow(dc);
  PaintControls(dc);
}

void TWinControl::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      // A key handler may free the control (Esc closing a form): then the key goes no further.
      std::shared_ptr<bool> alive = FAlive;
      Word key = static_cast<Word>(msg.WParam);
      if (DoKeyDown(key, KeyDataToShiftState(msg.LParam)) || !*alive) return;
      msg.WParam = key;
      DefaultHandler(msg);
      return;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      std::shared_ptr<bool> alive = FAlive;
      Word key = static_cast<Word>(msg.WParam);
      if (DoKeyUp(key, KeyDataToShiftState(msg.LParam)) || !*alive) return;
      msg.WParam = key;
      DefaultHandler(msg);
      return;
    }
    case WM_CHAR: {
      std::shared_ptr<bool> alive = FAlive;
      Char key = static_cast<Char>(msg.WParam);
      if (DoKeyPress(key) || !*alive) return;
      msg.WParam = key;
      DefaultHandler(msg);
      return;
    }
    case CN_KEYDOWN: {
      // Keys the control does not want are the form's: Tab moves the focus, Enter and Esc go to
      // the default and cancel buttons. The window's WM_GETDLGCODE answer says which of them it
      // keeps. Answering non-zero keeps the key from the control.
      Word key = static_cast<Word>(msg.WParam);
      msg.Result = 0;
      LRESULT mask = 0;
      if (key == VK_TAB) mask = DLGC_WANTTAB;
      else if (key >= VK_LEFT && key <= VK_DOWN) mask = DLGC_WANTARROWS;
      else if (key == VK_RETURN || key == VK_ESCAPE || key == VK_CANCEL) mask = DLGC_WANTALLKEYS;
      if (mask && !WantsKey(key) && Perform(CM_WANTSPECIALKEY, key, 0) == 0 &&
          (Perform(WM_GETDLGCODE, key, 0) & mask) == 0) {
        if (TCustomForm* form = GetParentForm(this)) {
          if (form->Perform(CM_DIALOGKEY, key, msg.LParam) != 0) msg.Result = 1;
        }
      }
      return;
    }
    case CM_DIALOGKEY:
      // Offered to every child until one takes it.
      for (TControl* c : std::vector<TControl*>(FControls)) {
        if (!c->GetVisible()) continue;
        msg.Result = c->Perform(CM_DIALOGKEY, msg.WParam, msg.LParam);
        if (msg.Result != 0) return;
      }
      return;
    case WM_SETFOCUS: {
      std::shared_ptr<bool> alive = FAlive;
      DefaultHandler(msg);
      if (!*alive) return;
      if (TCustomForm* form = GetParentForm(this); form && form != this) form->FocusedControlChanged(this);
      DoEnter();
      return;
    }
    case WM_KILLFOCUS:
      DefaultHandler(msg);
      DoExit();
      return;
    case WM_COMMAND:
      // A standard control's notification goes back to the control that sent it.
      if (TWinControl* child = FindControl(reinterpret_cast<HWND>(msg.LParam)); child && child != this) {
        msg.Result = child->Perform(CN_COMMAND, msg.WParam, msg.LParam);
        return;
      }
      DefaultHandler(msg);
      return;
    case WM_SETCURSOR:
      if (!SetCursorMessage(msg)) DefaultHandler(msg);
      return;
    case WM_WINDOWPOSCHANGING:
      if (auto* pos = reinterpret_cast<WINDOWPOS*>(msg.LParam); pos && !(pos->flags & SWP_NOSIZE) && !Destroying()) {
        TRect r;
        pf::GetWindowRect(FHandle, &r);
        Integer w = pos->cx, h = pos->cy;
        if (w != r.Width() || h != r.Height()) {
          if (CheckNewSize(w, h)) {
            pos->cx = w;
            pos->cy = h;
          } else {
            pos->flags |= SWP_NOSIZE;
          }
        }
      }
      DefaultHandler(msg);
      return;
    case WM_SIZE:
      UpdateBounds();
      DefaultHandler(msg);
      Resize();
      return;
    case WM_MOVE:
      UpdateBounds();
      DefaultHandler(msg);
      return;
    case WM_PAINT: {
      // Windowless children need their parent's paint; a window without them paints as before.
      TWindowObj* w = layer::Find(FHandle);
      bool hasGraphic = std::any_of(FControls.begin(), FControls.end(),
                                    [](TControl* c) { return !dynamic_cast<TWinControl*>(c); });
      if (w && !w->IsNative() && (hasGraphic || msg.WParam))
        PaintHandler(msg);
      else
        DefaultHandler(msg);
      return;
    }
    case WM_NCCALCSIZE:
      DefaultHandler(msg);
      NcCalcSizeBevels(msg);
      return;
    case WM_NCPAINT:
      DefaultHandler(msg);
      NcPaintBevels();
      return;
    case WM_CAPTURECHANGED:
      if (gCaptureControl && gCaptureControl->GetParent() == this) gCaptureControl = nullptr;
      DefaultHandler(msg);
      return;
    case WM_CONTEXTMENU: {
      // A windowless child under the point has the first say.
      TPoint screen{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
      if (!(screen.X == -1 && screen.Y == -1) && FHandle) {
        if (TControl* c = ControlAtPos(ScreenToClient(screen), false)) {
          msg.Result = c->Perform(WM_CONTEXTMENU, 0, msg.LParam);
          if (msg.Result != 0) return;
        }
      }
      TControl::Dispatch(msg);
      return;
    }
    case CM_CTL3DCHANGED:
      // Children that follow their parent's look take the new one.
      for (TControl* c : std::vector<TControl*>(FControls))
        if (c->GetParentCtl3D() && c->GetCtl3D() != FCtl3D) {
          c->FCtl3D = FCtl3D;
          c->Perform(CM_CTL3DCHANGED, 0, 0);
        }
      return;
    case WM_ERASEBKGND: {
      HDC dc = reinterpret_cast<HDC>(msg.WParam);
      TRect r = GetClientRect();
      HBRUSH b = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(FColor)));
      FillRect(dc, &r, b);
      DeleteObject(b);
      msg.Result = 1;
      return;
    }
    default:
      TControl::Dispatch(msg);
  }
}

void TWinControl::DefaultHandler(TMessage& msg) {
  if (FHandle && msg.Msg < CM_BASE) msg.Result = DefWindowProc(FHandle, msg.Msg, msg.WParam, msg.LParam);
}

// ---------------------------------------------------------------- TCustomControl

void TCustomControl::Create(TComponent* owner) {
  TWinControl::Create(owner);
  FCanvas = TControlCanvas::New();
  FCanvas->SetControl(this);
}

void TCustomControl::Destroy() {
  TWinControl::Destroy();
  FreeAndNil(FCanvas);
}

void TCustomControl::Dispatch(TMessage& msg) {
  if (msg.Msg == WM_PAINT && FHandle) {
    PaintHandler(msg);
    return;
  }
  TWinControl::Dispatch(msg);
}

namespace {
// The paint's DC on a control's canvas for the length of a paint, whatever leaves it.
struct CanvasPaintScope {
  TControlCanvas* Canvas;
  CanvasPaintScope(TControlCanvas* canvas, HDC dc) : Canvas(canvas) {
    Canvas->Lock();
    Canvas->FreeHandle();
    Canvas->SetHandle(dc);
  }
  ~CanvasPaintScope() {
    Canvas->SetHandle(nullptr);
    Canvas->Unlock();
  }
  CanvasPaintScope(const CanvasPaintScope&) = delete;
  CanvasPaintScope& operator=(const CanvasPaintScope&) = delete;
};
}  // namespace

void TCustomControl::PaintWindow(HDC dc) {
  CanvasPaintScope scope(FCanvas, dc);
  Paint();
}

void TCustomControl::Paint() {
  if (OnPaint) OnPaint(this);
}

// ---------------------------------------------------------------- TGraphicControl

void TGraphicControl::Create(TComponent* owner) {
  TControl::Create(owner);
  FCanvas = TControlCanvas::New();
  FCanvas->SetControl(this);
}

void TGraphicControl::Destroy() {
  // The parent repaints where the control was.
  if (FParent && FVisible) {
    TRect b = GetBoundsRect();
    if (FParent->HandleAllocated()) InvalidateRect(FParent->Handle(), &b, true);
  }
  TControl::Destroy();
  FreeAndNil(FCanvas);
}

void TGraphicControl::Invalidate() {
  if (!FParent || !FParent->HandleAllocated() || !FVisible) return;
  TRect b = GetBoundsRect();
  InvalidateRect(FParent->Handle(), &b, !ControlStyle.Contains(TControlStyleItem::csOpaque));
}

void TGraphicControl::Update() {
  if (FParent) FParent->Update();
}

void TGraphicControl::BoundsChanged() {
  // Invalidate before the move would need the old rectangle: both are repainted.
  if (FParent && FParent->HandleAllocated() && FVisible) InvalidateRect(FParent->Handle(), nullptr, true);
}

void TGraphicControl::VisibleChanged() {
  if (FParent && FParent->HandleAllocated()) {
    TRect b = GetBoundsRect();
    InvalidateRect(FParent->Handle(), &b, true);
  }
}

void TGraphicControl::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_PAINT:
      if (msg.WParam) {
        CanvasPaintScope scope(FCanvas, reinterpret_cast<HDC>(msg.WParam));
        Paint();
      }
      return;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      // The parent's window holds the capture for the control until the button comes up.
      if (ControlStyle.Contains(TControlStyleItem::csCaptureMouse) && FParent && FParent->HandleAllocated()) {
        gCaptureControl = this;
        SetCapture(FParent->Handle());
      }
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      if (gCaptureControl == this) {
        std::shared_ptr<bool> alive = FAlive;
        TControl::Dispatch(msg);
        if (*alive && gCaptureControl == this) {
          gCaptureControl = nullptr;
          if (FParent && FParent->HandleAllocated() && GetCapture() == FParent->Handle()) ReleaseCapture();
        }
        return;
      }
      break;
    default:
      break;
  }
  TControl::Dispatch(msg);
}

// ---------------------------------------------------------------- TControlCanvas

void TControlCanvas::Destroy() {
  FreeHandle();
  TCanvas::Destroy();
}

void TControlCanvas::SetControl(TControl* control) {
  if (control == FControl) return;
  FreeHandle();
  FControl = control;
}

void TControlCanvas::CreateHandle() {
  if (!FControl) return;
  HWND h = nullptr;
  TPoint origin{0, 0};
  TRect clip;
  bool windowless = false;
  if (auto* wc = dynamic_cast<TWinControl*>(FControl)) {
    h = wc->Handle();
  } else {
    TWinControl* parent = FControl->GetParent();
    if (!parent) throw EInvalidOperation(u"Control '" + FControl->GetName() + u"' has no parent window");
    h = parent->Handle();
    origin = TPoint{FControl->GetLeft(), FControl->GetTop()};
    clip = TRect{0, 0, FControl->GetWidth(), FControl->GetHeight()};
    windowless = true;
  }
  HDC dc = h ? GetDC(h) : nullptr;
  if (!dc) throw EInvalidOperation(u"Control '" + FControl->GetName() + u"' has no window to paint on");
  if (windowless) {
    SetViewportOrgEx(dc, origin.X, origin.Y, nullptr);
    IntersectClipRect(dc, clip.Left, clip.Top, clip.Right, clip.Bottom);
  }
  FDeviceContext = dc;
  FWindowHandle = h;
  gCanvasesWithDC.push_back(this);
  SetHandle(dc);
}

void TControlCanvas::FreeHandle() {
  if (!FDeviceContext) return;
  HDC dc = FDeviceContext;
  FDeviceContext = nullptr;
  gCanvasesWithDC.erase(std::remove(gCanvasesWithDC.begin(), gCanvasesWithDC.end(), this), gCanvasesWithDC.end());
  if (HandleAllocated()) SetHandle(nullptr);
  if (IsWindow(FWindowHandle)) ReleaseDC(FWindowHandle, dc);
  FWindowHandle = nullptr;
}

void TControlCanvas::FreeDeviceContexts() {
  for (TControlCanvas* c : std::vector<TControlCanvas*>(gCanvasesWithDC))
    if (c->LockCount() == 0) c->FreeHandle();
}

void TControlCanvas::FreeDeviceContextsOf(TControl* control) {
  for (TControlCanvas* c : std::vector<TControlCanvas*>(gCanvasesWithDC))
    if (c->FControl == control || (c->FControl && c->FControl->GetParent() == control)) c->FreeHandle();
}

}  // namespace pf
