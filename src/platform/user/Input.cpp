// The one place where the toolkit's input becomes window messages, and the layer's own state
// that input drives: key state, focus, capture, activation, the cursor.

#include <QApplication>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include <array>

#include "platform/rtl/Exceptions.h"
#include "platform/user/Layer_p.h"

namespace pf {

namespace {

class TInputFilter : public QObject {
public:
  bool eventFilter(QObject* o, QEvent* e) override;
};

TInputFilter* gFilter = nullptr;
std::vector<QEvent*> gPassing;      // native events being handed to their widget right now
std::vector<QObject*> gReceivers;   // and the objects they are handed to
std::vector<QPointer<QWidget>> gGraveyard;  // widgets of destroyed windows still inside an event

// Tells every top-level window that the program became active or inactive, as the platform does
// when the user switches to another program.
class TAppFilter : public QObject {
public:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (o == QCoreApplication::instance() && e->type() == QEvent::ApplicationStateChange) {
      auto state = static_cast<QApplicationStateChangeEvent*>(e)->applicationState();
      testing::SetApplicationActive(state == Qt::ApplicationActive);
    }
    return false;
  }
};
TAppFilter* gAppFilter = nullptr;

bool TranslateKey(TWindowObj* wnd, QObject* o, QKeyEvent* ke);

bool TranslateMouse(TWindowObj* wnd, QObject* o, QMouseEvent* me);
bool TranslateWheel(TWindowObj* wnd, QObject* o, QWheelEvent* we);
void SyncFocusTo(HWND h);

// Input to a widget that a control placed inside its custom window (a combo box in its host,
// say) is the window's input: the program's handlers and the dialog keys see it as the window's
// messages, and the widget gets it back from DefWindowProc. Focus moving into such a widget moves
// the layer's focus to the window. Pop-ups are windows of their own and keep their input.
class TKeyRouter : public QObject {
public:
  bool eventFilter(QObject* o, QEvent* e) override {
    switch (e->type()) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::Wheel:
      case QEvent::FocusIn:
        break;
      default:
        return false;
    }
    if (std::find(gPassing.begin(), gPassing.end(), e) != gPassing.end()) return false;
    auto* w = qobject_cast<QWidget*>(o);
    if (!w || w->isWindow() || layer::FindByWidget(w)) return false;
    TWindowObj* wnd = nullptr;
    for (QWidget* p = w->parentWidget(); p && !wnd; p = p->parentWidget()) {
      wnd = layer::FindByWidget(p);
      if (!wnd && p->isWindow()) return false;
    }
    if (!wnd || wnd->IsNative() || wnd->Destroying) return false;
    switch (e->type()) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
        return TranslateKey(wnd, o, static_cast<QKeyEvent*>(e));
      case QEvent::Wheel:
        return TranslateWheel(wnd, o, static_cast<QWheelEvent*>(e));
      case QEvent::FocusIn:
        SyncFocusTo(wnd->Handle());
        return false;
      default:
        return TranslateMouse(wnd, o, static_cast<QMouseEvent*>(e));
    }
  }
};
TKeyRouter* gKeyRouter = nullptr;
bool gAppActive = true;
int gGeometryGuards = 0;
bool gInFocusChange = false;
bool gInActivation = false;
int gFocusSyncOff = 0;

std::array<uint8_t, 256> gKeys{};   // as of the message being handled
std::array<uint8_t, 256> gAsync{};  // right now
HWND gFocus = nullptr;
HWND gCapture = nullptr;
HWND gActive = nullptr;
TPoint gCursorPos{0, 0};
HCURSOR gCursor = reinterpret_cast<HCURSOR>(IDC_ARROW);
bool gOverrideCursor = false;

void SetKey(std::array<uint8_t, 256>& table, int vk, bool down) {
  if (vk <= 0 || vk > 255) return;
  uint8_t& k = table[static_cast<size_t>(vk)];
  if (down && !(k & 0x80)) k ^= 0x01;  // the toggle flips on each press
  k = down ? static_cast<uint8_t>(k | 0x80) : static_cast<uint8_t>(k & ~0x80);
}

// The sided keys also move the plain one, as the platform reports both.
void SetKeyBoth(std::array<uint8_t, 256>& table, int vk, bool down) {
  SetKey(table, vk, down);
  if (vk == VK_LSHIFT || vk == VK_RSHIFT) SetKey(table, VK_SHIFT, down);
  if (vk == VK_LCONTROL || vk == VK_RCONTROL) SetKey(table, VK_CONTROL, down);
  if (vk == VK_LMENU || vk == VK_RMENU) SetKey(table, VK_MENU, down);
}

WPARAM MouseKeys(Qt::MouseButtons b, Qt::KeyboardModifiers m) {
  WPARAM w = 0;
  if (b & Qt::LeftButton) w |= MK_LBUTTON;
  if (b & Qt::RightButton) w |= MK_RBUTTON;
  if (b & Qt::MiddleButton) w |= MK_MBUTTON;
  if (m & Qt::ShiftModifier) w |= MK_SHIFT;
  if (m & Qt::ControlModifier) w |= MK_CONTROL;
  return w;
}

UINT ButtonMessage(QEvent::Type t, Qt::MouseButton b, bool dblclks) {
  int base = b == Qt::RightButton ? WM_RBUTTONDOWN : b == Qt::MiddleButton ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
  if (t == QEvent::MouseButtonRelease) return static_cast<UINT>(base + 1);
  if (t == QEvent::MouseButtonDblClick && dblclks) return static_cast<UINT>(base + 2);
  return static_cast<UINT>(base);
}

int ButtonVk(Qt::MouseButton b) {
  return b == Qt::RightButton ? VK_RBUTTON : b == Qt::MiddleButton ? VK_MBUTTON : VK_LBUTTON;
}

std::shared_ptr<TMsgExtra> NativeExtra(QObject* o, QEvent* e) {
  auto x = std::make_shared<TMsgExtra>();
  x->Native.reset(e->clone());
  x->Receiver = o;
  return x;
}

// A point in the widget's coordinates, in the window's client coordinates.
TPoint WidgetToClient(TWindowObj* wnd, QObject* o, QPointF local) {
  QPoint p = local.toPoint();
  if (o != wnd->Widget.data()) {
    if (auto* ow = qobject_cast<QWidget*>(o); ow && wnd->Widget) p = ow->mapTo(wnd->Widget.data(), p);
  }
  if (wnd->IsChild()) {
    p.rx() -= wnd->NcInsets.Left;
    p.ry() -= wnd->NcInsets.Top;
  }
  return TPoint{p.x(), p.y()};
}

bool TranslateMouse(TWindowObj* wnd, QObject* o, QMouseEvent* me) {
  HWND h = wnd->Handle();
  TPoint client = WidgetToClient(wnd, o, me->position());
  TPoint screen = client;
  ClientToScreen(h, &screen);
  gCursorPos = screen;
  // Outside the client area of a custom-drawn window the press is a non-client one (a scroll
  // bar, the border), as the window's hit test says.
  if (!gCapture && !wnd->IsNative() && wnd->IsChild()) {
    TRect cr = wnd->ClientRect();
    if (client.X < 0 || client.Y < 0 || client.X >= cr.Right || client.Y >= cr.Bottom) {
      LRESULT hit = SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(screen.X, screen.Y));
      if (hit != HTCLIENT) {
        UINT clientMsg = me->type() == QEvent::MouseMove ? WM_MOUSEMOVE : ButtonMessage(me->type(), me->button(), true);
        UINT ncMsg = clientMsg - WM_MOUSEFIRST + WM_NCMOUSEMOVE;
        if (me->type() == QEvent::MouseButtonPress || me->type() == QEvent::MouseButtonDblClick)
          SetKey(gAsync, ButtonVk(me->button()), true);
        if (me->type() == QEvent::MouseButtonRelease) SetKey(gAsync, ButtonVk(me->button()), false);
        layer::QueueInput(MSG{h, ncMsg, static_cast<WPARAM>(hit), MAKELPARAM(screen.X, screen.Y), 0, {}, nullptr});
        return true;
      }
    }
  }
  HWND target = h;
  if (gCapture && IsWindow(gCapture) && gCapture != h) {
    target = gCapture;
    client = screen;
    ScreenToClient(target, &client);
  }
  TWindowObj* t = layer::Find(target);
  bool dblclks = t && (t->IsNative() || (t->ClassStyle & CS_DBLCLKS));
  UINT msg = me->type() == QEvent::MouseMove ? WM_MOUSEMOVE : ButtonMessage(me->type(), me->button(), dblclks);
  if (me->type() == QEvent::MouseButtonPress || me->type() == QEvent::MouseButtonDblClick)
    SetKey(gAsync, ButtonVk(me->button()), true);
  if (me->type() == QEvent::MouseButtonRelease) SetKey(gAsync, ButtonVk(me->button()), false);
  MSG m{target, msg, MouseKeys(me->buttons(), me->modifiers()), MAKELPARAM(client.X, client.Y), 0, {}, nullptr};
  if (target == h) m.Extra = NativeExtra(o, me);
  layer::QueueInput(std::move(m));
  return true;
}

bool TranslateWheel(TWindowObj* wnd, QObject* o, QWheelEvent* we) {
  HWND h = wnd->Handle();
  TPoint screen = WidgetToClient(wnd, o, we->position());
  ClientToScreen(h, &screen);
  gCursorPos = screen;
  int delta = we->angleDelta().y();
  UINT msg = WM_MOUSEWHEEL;
  if (delta == 0 && we->angleDelta().x() != 0) {
    delta = we->angleDelta().x();
    msg = WM_MOUSEHWHEEL;
  }
  HWND target = gCapture && IsWindow(gCapture) ? gCapture : h;
  MSG m{target, msg, MAKEWPARAM(static_cast<int>(MouseKeys(we->buttons(), we->modifiers())), delta),
        MAKELPARAM(screen.X, screen.Y), 0, {}, nullptr};
  if (target == h) m.Extra = NativeExtra(o, we);
  layer::QueueInput(std::move(m));
  return true;
}

bool TranslateKey(TWindowObj* wnd, QObject* o, QKeyEvent* ke) {
  int vk = layer::VirtualKeyOf(ke->key(), static_cast<int>(ke->nativeScanCode()));
  if (ke->modifiers() & Qt::KeypadModifier && ke->key() >= Qt::Key_0 && ke->key() <= Qt::Key_9)
    vk = VK_NUMPAD0 + (ke->key() - Qt::Key_0);
  bool down = ke->type() == QEvent::KeyPress;
  SetKey(gAsync, vk, down);
  bool alt = (ke->modifiers() & Qt::AltModifier) != 0;
  bool sys = (alt && !(ke->modifiers() & Qt::ControlModifier)) || vk == VK_F10;
  UINT msg = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  LPARAM l = 1 | (static_cast<LPARAM>(ke->nativeScanCode() & 0xFF) << 16);
  if (alt) l |= KF_ALTDOWN_LPARAM;
  if (!down || ke->isAutoRepeat()) l |= 0x40000000;
  if (!down) l |= static_cast<LPARAM>(0x80000000u);
  MSG m{wnd->Handle(), msg, static_cast<WPARAM>(vk), l, 0, {}, nullptr};
  m.Extra = NativeExtra(o, ke);
  layer::QueueInput(std::move(m));
  return true;
}

void SyncFocusTo(HWND h) {
  if (gInFocusChange || gFocusSyncOff > 0 || gFocus == h) return;
  SetFocus(h);
}

bool TInputFilter::eventFilter(QObject* o, QEvent* e) {
  if (std::find(gPassing.begin(), gPassing.end(), e) != gPassing.end()) return false;
  TWindowObj* wnd = layer::FindByWidget(o);
  if (!wnd || wnd->Destroying) return false;
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      return TranslateMouse(wnd, o, static_cast<QMouseEvent*>(e));
    case QEvent::Wheel:
      return TranslateWheel(wnd, o, static_cast<QWheelEvent*>(e));
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return TranslateKey(wnd, o, static_cast<QKeyEvent*>(e));
    case QEvent::ContextMenu: {
      // Mouse context menus come from DefWindowProc after the right button goes up, as on Windows.
      auto* ce = static_cast<QContextMenuEvent*>(e);
      if (ce->reason() == QContextMenuEvent::Keyboard)
        layer::QueueInput(MSG{wnd->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(wnd->Handle()), -1, 0, {}, nullptr});
      return true;
    }
    case QEvent::Close:
      if (!wnd->IsChild()) {
        // The close box asks the program; the window goes only if its procedure destroys it.
        e->ignore();
        layer::QueueInput(MSG{wnd->Handle(), WM_CLOSE, 0, 0, 0, {}, nullptr});
        return true;
      }
      return false;
    case QEvent::FocusIn:
      SyncFocusTo(wnd->Handle());
      return false;
    case QEvent::WindowActivate:
      if (!wnd->IsChild() && !gInActivation && gActive != wnd->Handle()) SetActiveWindow(wnd->Handle());
      return false;
    case QEvent::Resize:
    case QEvent::Move:
      if (!wnd->IsChild() && !layer::GeometryGuard::Active() && o == wnd->Widget.data()) {
        // The user moved or sized a top-level window: the layer follows.
        QRect g = wnd->Widget->geometry();
        TRect r{g.x() - wnd->NcInsets.Left, g.y() - wnd->NcInsets.Top,
                g.x() + g.width() + wnd->NcInsets.Right, g.y() + g.height() + wnd->NcInsets.Bottom};
        if (r != wnd->Rect) {
          HWND h = wnd->Handle();
          layer::GeometryGuard guard;
          SetWindowPos(h, nullptr, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
        }
      }
      return false;
    default:
      return false;
  }
}

}  // namespace

namespace layer {

GeometryGuard::GeometryGuard() { ++gGeometryGuards; }
GeometryGuard::~GeometryGuard() { --gGeometryGuards; }
bool GeometryGuard::Active() { return gGeometryGuards > 0; }

FocusSyncGuard::FocusSyncGuard() { ++gFocusSyncOff; }
FocusSyncGuard::~FocusSyncGuard() { --gFocusSyncOff; }

void InstallInputFilter(QWidget* w, TWindowObj* wnd) {
  if (!gFilter) gFilter = new TInputFilter();
  w->installEventFilter(gFilter);
  w->setMouseTracking(true);
  if (!wnd->IsNative()) w->setFocusPolicy(wnd->IsChild() ? Qt::StrongFocus : Qt::NoFocus);
}

bool DeliverNative(QObject* receiver, QEvent* e) {
  if (!receiver || !e) return false;
  gPassing.push_back(e);
  gReceivers.push_back(receiver);
  struct Pop {
    ~Pop() {
      gPassing.pop_back();
      gReceivers.pop_back();
      if (gReceivers.empty()) BuryWidgets();
    }
  } pop;
  e->setAccepted(true);
  QCoreApplication::sendEvent(receiver, e);
  return e->isAccepted();
}

bool InDelivery(QWidget* w) {
  for (QObject* r : gReceivers) {
    if (r == w) return true;
    if (auto* rw = qobject_cast<QWidget*>(r); rw && w->isAncestorOf(rw)) return true;
  }
  return false;
}

void DeleteWidget(QWidget* w) {
  if (!InDelivery(w)) {
    delete w;
    return;
  }
  // The toolkit is still inside an event of this widget (a button whose click handler closed
  // the window, say): it goes once that event is over.
  w->hide();
  gGraveyard.push_back(QPointer<QWidget>(w));
}

void BuryWidgets() {
  if (!gReceivers.empty()) return;
  std::vector<QPointer<QWidget>> dead;
  dead.swap(gGraveyard);
  for (QPointer<QWidget>& w : dead) delete w.data();
}

void SetAsyncKey(int vk, bool down) { SetKey(gAsync, vk, down); }

void UpdateKeyStateAt(const MSG& m) {
  switch (m.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      SetKeyBoth(gKeys, static_cast<int>(m.wParam), true);
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      SetKeyBoth(gKeys, static_cast<int>(m.wParam), false);
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: SetKey(gKeys, VK_LBUTTON, true); break;
    case WM_LBUTTONUP: SetKey(gKeys, VK_LBUTTON, false); break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: SetKey(gKeys, VK_RBUTTON, true); break;
    case WM_RBUTTONUP: SetKey(gKeys, VK_RBUTTON, false); break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: SetKey(gKeys, VK_MBUTTON, true); break;
    case WM_MBUTTONUP: SetKey(gKeys, VK_MBUTTON, false); break;
    default: break;
  }
}

void ResetInputState() {
  gKeys.fill(0);
  gAsync.fill(0);
  gFocus = nullptr;
  gCapture = nullptr;
  gActive = nullptr;
}

void ForgetFocusAndCapture(HWND h) {
  if (gFocus == h || (gFocus && IsChild(h, gFocus))) gFocus = nullptr;
  if (gCapture == h) gCapture = nullptr;
  if (gActive == h) gActive = nullptr;
}

void StartInput() {
  ResetInputState();
  gAppActive = true;
  gKeyRouter = new TKeyRouter();
  QCoreApplication::instance()->installEventFilter(gKeyRouter);
  // Without a desktop (the offscreen platform of tests) nobody switches programs: the toolkit's
  // state would only follow the windows tests open and close. Tests switch with
  // testing::SetApplicationActive.
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
    gAppFilter = new TAppFilter();
    QCoreApplication::instance()->installEventFilter(gAppFilter);
  }
}

void FinishInput() {
  ResetInputState();
  BuryWidgets();
  if (gOverrideCursor && QGuiApplication::instance()) QGuiApplication::restoreOverrideCursor();
  gOverrideCursor = false;
  delete gFilter;
  gFilter = nullptr;
  delete gAppFilter;
  gAppFilter = nullptr;
  delete gKeyRouter;
  gKeyRouter = nullptr;
}

int VirtualKeyOf(int key, int scanCode) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + (key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Meta: return VK_LWIN;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_Semicolon: case Qt::Key_Colon: return 0xBA;
    case Qt::Key_Plus: case Qt::Key_Equal: return 0xBB;
    case Qt::Key_Comma: case Qt::Key_Less: return 0xBC;
    case Qt::Key_Minus: case Qt::Key_Underscore: return 0xBD;
    case Qt::Key_Period: case Qt::Key_Greater: return 0xBE;
    case Qt::Key_Slash: case Qt::Key_Question: return 0xBF;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return 0xC0;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return 0xDB;
    case Qt::Key_Backslash: case Qt::Key_Bar: return 0xDC;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return 0xDD;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return 0xDE;
    default: break;
  }
  // Letters of another keyboard layout (Cyrillic, say) keep the key's Latin code, as virtual keys
  // name keys, not characters: read the physical key from the X keyboard code.
  static const char* const rows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
  static const int firsts[] = {24, 38, 52};  // X codes of Q, A and Z
  for (int r = 0; r < 3; ++r) {
    int i = scanCode - firsts[r];
    if (i >= 0 && i < static_cast<int>(strlen(rows[r]))) return rows[r][i];
  }
  return 0;
}

int QtKeyOf(int vk) {
  if (vk >= 'A' && vk <= 'Z') return Qt::Key_A + (vk - 'A');
  if (vk >= '0' && vk <= '9') return Qt::Key_0 + (vk - '0');
  if (vk >= VK_F1 && vk <= VK_F1 + 23) return Qt::Key_F1 + (vk - VK_F1);
  for (int k : {Qt::Key_Escape, Qt::Key_Tab, Qt::Key_Backspace, Qt::Key_Return, Qt::Key_Insert, Qt::Key_Delete,
                Qt::Key_Pause, Qt::Key_Home, Qt::Key_End, Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down,
                Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt, Qt::Key_Menu,
                Qt::Key_Space})
    if (VirtualKeyOf(k, 0) == vk) return k;
  return Qt::Key_unknown;
}

}  // namespace layer

HWND SetFocus(HWND h) {
  Assert(IsGuiThread(), u"SetFocus called outside the GUI thread");
  if (h && !IsWindow(h)) return nullptr;
  HWND old = gFocus;
  if (old == h) return old;
  gInFocusChange = true;
  struct Done {
    ~Done() { gInFocusChange = false; }
  } done;
  gFocus = h;
  if (old && IsWindow(old)) SendMessage(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(h), 0);
  if (h && gFocus == h) {
    SendMessage(h, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    // The toolkit's focus may already be inside the window (a widget a control placed in it).
    QWidget* w = layer::WidgetOf(h);
    QWidget* f = QApplication::focusWidget();
    if (w && !w->hasFocus() && !(f && w->isAncestorOf(f))) w->setFocus(Qt::OtherFocusReason);
  }
  return old;
}

HWND GetFocus() { return gFocus && IsWindow(gFocus) ? gFocus : nullptr; }

HWND SetCapture(HWND h) {
  HWND old = gCapture;
  if (h && !IsWindow(h)) return old;
  gCapture = h;
  if (old && old != h && IsWindow(old)) SendMessage(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(h));
  return old;
}

bool ReleaseCapture() {
  HWND old = gCapture;
  gCapture = nullptr;
  if (old && IsWindow(old)) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
  return true;
}

HWND GetCapture() { return gCapture && IsWindow(gCapture) ? gCapture : nullptr; }

HWND GetActiveWindow() { return gActive && IsWindow(gActive) ? gActive : nullptr; }

HWND SetActiveWindow(HWND h) {
  if (h && !IsWindow(h)) return nullptr;
  HWND old = GetActiveWindow();
  if (old == h) return old;
  gInActivation = true;
  struct Done {
    ~Done() { gInActivation = false; }
  } done;
  gActive = h;
  if (old) SendMessage(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(h));
  if (h) SendMessage(h, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
  return old;
}

HWND SetForegroundWindow(HWND h) {
  if (QWidget* w = layer::WidgetOf(h)) w->activateWindow();
  return SetActiveWindow(h);
}

int16_t GetKeyState(int vk) {
  if (vk <= 0 || vk > 255) return 0;
  uint8_t k = gKeys[static_cast<size_t>(vk)];
  return static_cast<int16_t>(((k & 0x80) ? 0xFF80 : 0) | (k & 0x01));
}

int16_t GetAsyncKeyState(int vk) {
  if (vk <= 0 || vk > 255) return 0;
  return static_cast<int16_t>((gAsync[static_cast<size_t>(vk)] & 0x80) ? 0x8000 : 0);
}

bool GetCursorPos(TPoint* p) {
  if (!p) return false;
  *p = gCursorPos;
  return true;
}

bool SetCursorPos(int x, int y) {
  gCursorPos = TPoint{x, y};
  return true;
}

HCURSOR LoadCursor(uintptr_t id) { return reinterpret_cast<HCURSOR>(id); }

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = gCursor;
  gCursor = cursor;
  if (!QGuiApplication::instance()) return old;
  Qt::CursorShape shape = Qt::ArrowCursor;
  switch (reinterpret_cast<uintptr_t>(cursor)) {
    case IDC_WAIT: shape = Qt::WaitCursor; break;
    case IDC_APPSTARTING: shape = Qt::BusyCursor; break;
    case IDC_IBEAM: shape = Qt::IBeamCursor; break;
    case IDC_CROSS: shape = Qt::CrossCursor; break;
    case IDC_SIZEWE: shape = Qt::SizeHorCursor; break;
    case IDC_SIZENS: shape = Qt::SizeVerCursor; break;
    case IDC_SIZEALL: shape = Qt::SizeAllCursor; break;
    case IDC_NO: shape = Qt::ForbiddenCursor; break;
    case IDC_HAND: shape = Qt::PointingHandCursor; break;
    default: break;
  }
  if (shape == Qt::ArrowCursor || !cursor) {
    if (gOverrideCursor) QGuiApplication::restoreOverrideCursor();
    gOverrideCursor = false;
  } else if (gOverrideCursor) {
    QGuiApplication::changeOverrideCursor(QCursor(shape));
  } else {
    QGuiApplication::setOverrideCursor(QCursor(shape));
    gOverrideCursor = true;
  }
  return old;
}

HCURSOR GetCursor() { return gCursor; }

namespace testing {

void SetKeyDown(int vk, bool down) {
  SetKeyBoth(gKeys, vk, down);
  SetKeyBoth(gAsync, vk, down);
}

void ResetKeyState() {
  gKeys.fill(0);
  gAsync.fill(0);
}

void SetCursorScreenPos(TPoint p) { gCursorPos = p; }

void SetApplicationActive(bool active) {
  if (active == gAppActive) return;
  gAppActive = active;
  for (auto& [id, obj] : layer::Windows()) {
    (void)id;
    if (!obj->IsChild() && !obj->Destroying)
      layer::QueueInput(MSG{obj->Handle(), WM_ACTIVATEAPP, active ? 1u : 0u, 0, 0, {}, nullptr});
  }
}

}  // namespace testing

}  // namespace pf
