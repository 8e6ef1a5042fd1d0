// The one place where the toolkit's input becomes window messages: mouse, wheel and keys aimed at
// a window's widget (or at a widget a control placed inside it), the close box, activation and the
// user moving a top-level window. The state this input drives lives with its own concern: key
// state in Keys.cpp, focus and capture in Focus.cpp, the pointer and cursors in Cursor.cpp.

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include "platform/user/Layer_p.h"

namespace pf {

namespace {

class TInputFilter : public QObject {
public:
  bool eventFilter(QObject* o, QEvent* e) override;
};

TInputFilter* gFilter = nullptr;
const char* const kClickFocus = "pfClickFocus";
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

// Input to a widget that a control placed inside its custom window (a combo box in its host,
// say) is the window's input: the program's handlers and the dialog keys see it as the window's
// messages, and the widget gets it back from DefWindowProc. Focus moving into such a widget moves
// the layer's focus to the window. Pop-ups are windows of their own and keep their input.
class TKeyRouter : public QObject {
public:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Enter) {
      // The pointer entering a window of the toolkit's own (a menu, a file dialog): the shape the
      // program's windows asked for is theirs, not this window's.
      auto* w = qobject_cast<QWidget*>(o);
      if (w && w->isWindow() && !layer::FindByWidget(w)) layer::ResetCursor();
      return false;
    }
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
        layer::SyncFocusTo(wnd->Handle());
        return false;
      default:
        return TranslateMouse(wnd, o, static_cast<QMouseEvent*>(e));
    }
  }
};
TKeyRouter* gKeyRouter = nullptr;
bool gAppActive = true;
int gGeometryGuards = 0;

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

HWND TopLevelOf(HWND h) {
  TWindowObj* w = layer::Find(h);
  while (w && w->IsChild() && w->Parent) w = w->Parent;
  return w ? w->Handle() : nullptr;
}

bool TranslateMouse(TWindowObj* wnd, QObject* o, QMouseEvent* me) {
  HWND h = wnd->Handle();
  TPoint client = WidgetToClient(wnd, o, me->position());
  TPoint screen = client;
  ClientToScreen(h, &screen);
  bool press = me->type() == QEvent::MouseButtonPress || me->type() == QEvent::MouseButtonDblClick;
  if (press) layer::SetAsyncKey(ButtonVk(me->button()), true);
  if (me->type() == QEvent::MouseButtonRelease) layer::SetAsyncKey(ButtonVk(me->button()), false);
  layer::NotePointer(screen);
  WPARAM keys = MouseKeys(me->buttons(), me->modifiers());
  auto messageFor = [me](HWND target) {
    TWindowObj* t = layer::Find(target);
    bool dblclks = t && (t->ClassStyle & CS_DBLCLKS);
    return me->type() == QEvent::MouseMove ? WM_MOUSEMOVE : ButtonMessage(me->type(), me->button(), dblclks);
  };

  // The capture takes every mouse message as a client one, without hit test or cursor question.
  if (HWND capture = GetCapture()) {
    // The window under the pointer is where the pointer is, whoever holds the capture.
    HWND under = WindowFromPoint(screen);
    layer::TrackPointer(screen, under ? under : h);
    if (capture != h) {
      client = screen;
      ScreenToClient(capture, &client);
    }
    MSG m{capture, messageFor(capture), keys, MAKELPARAM(client.X, client.Y), 0, {}, nullptr};
    if (capture == h) m.Extra = NativeExtra(o, me);
    layer::QueueInput(std::move(m));
    return true;
  }

  // Otherwise, as the platform does before every mouse message: the window under the pointer
  // says what part of it the point is on (a transparent one hands it to its parent), a press
  // asks whether to activate the top-level window, and the window is asked for the cursor.
  HWND target = h;
  LRESULT hit = SendMessage(target, WM_NCHITTEST, 0, MAKELPARAM(screen.X, screen.Y));
  while (hit == HTTRANSPARENT && IsWindow(target) && (GetWindowLongPtr(target, GWL_STYLE) & WS_CHILD)) {
    target = GetParent(target);
    hit = SendMessage(target, WM_NCHITTEST, 0, MAKELPARAM(screen.X, screen.Y));
  }
  if (!IsWindow(target)) return true;
  layer::TrackPointer(screen, target);
  if (!IsWindow(target)) return true;
  if (hit == HTNOWHERE || hit == HTTRANSPARENT) {
    // A button held outside the window (the toolkit keeps sending it the moves): a client message,
    // as the platform gives the window that captured the mouse.
    hit = HTCLIENT;
  }
  UINT msg = messageFor(target);
  bool eat = false;
  if (press) {
    HWND top = TopLevelOf(target);
    LRESULT ma = SendMessage(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top), MAKELPARAM(static_cast<int>(hit), static_cast<int>(msg)));
    if ((ma == MA_ACTIVATE || ma == MA_ACTIVATEANDEAT) && IsWindow(top) && GetActiveWindow() != top)
      layer::Activate(top, WA_CLICKACTIVE);
    eat = ma == MA_ACTIVATEANDEAT || ma == MA_NOACTIVATEANDEAT;
  }
  if (IsWindow(target))
    SendMessage(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(static_cast<int>(hit), static_cast<int>(msg)));
  if (eat || !IsWindow(target)) return true;
  if (hit != HTCLIENT) {
    // On the frame, a scroll bar, the border: the non-client message, with the screen point.
    UINT nc = msg - WM_MOUSEFIRST + WM_NCMOUSEMOVE;
    if (msg != WM_MOUSEMOVE && me->type() == QEvent::MouseButtonDblClick) nc = ButtonMessage(me->type(), me->button(), true) - WM_MOUSEFIRST + WM_NCMOUSEMOVE;
    layer::QueueInput(MSG{target, nc, static_cast<WPARAM>(hit), MAKELPARAM(screen.X, screen.Y), 0, {}, nullptr});
    return true;
  }
  if (target != h) {
    client = screen;
    ScreenToClient(target, &client);
  }
  MSG m{target, msg, keys, MAKELPARAM(client.X, client.Y), 0, {}, nullptr};
  if (target == h) m.Extra = NativeExtra(o, me);
  layer::QueueInput(std::move(m));
  return true;
}

bool TranslateWheel(TWindowObj* wnd, QObject* o, QWheelEvent* we) {
  HWND h = wnd->Handle();
  TPoint screen = WidgetToClient(wnd, o, we->position());
  ClientToScreen(h, &screen);
  layer::NotePointer(screen);
  int delta = we->angleDelta().y();
  UINT msg = WM_MOUSEWHEEL;
  if (delta == 0 && we->angleDelta().x() != 0) {
    delta = we->angleDelta().x();
    msg = WM_MOUSEHWHEEL;
  }
  HWND target = GetCapture() ? GetCapture() : h;
  MSG m{target, msg, MAKEWPARAM(static_cast<int>(MouseKeys(we->buttons(), we->modifiers())), delta),
        MAKELPARAM(screen.X, screen.Y), 0, {}, nullptr};
  if (target == h) m.Extra = NativeExtra(o, we);
  layer::QueueInput(std::move(m));
  return true;
}

bool TranslateKey(TWindowObj* wnd, QObject* o, QKeyEvent* ke) {
  int vk = layer::VirtualKeyOf(ke->key(), static_cast<int>(ke->nativeScanCode()));
  if (ke->modifiers() & Qt::KeypadModifier)
    if (int pad = layer::KeypadVirtualKeyOf(ke->key())) vk = pad;
  bool down = ke->type() == QEvent::KeyPress;
  layer::SetAsyncKey(vk, down);
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
      // Context menus come from DefWindowProc, as on the platform: after the right button goes
      // up, and from the key messages of the menu key and Shift+F10.
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
      layer::SyncFocusTo(wnd->Handle());
      return false;
    case QEvent::Leave:
      if (o == wnd->Widget.data()) layer::PointerLeft(wnd->Handle());
      return false;
    case QEvent::WindowActivate:
      if (wnd->IsChild()) return false;
      // The desktop activated a window that a modal window disabled (the user clicked it): as on
      // the platform, the modal window comes to the front and stays the active one.
      if ((wnd->Style & WS_DISABLED) && layer::BringModalToFront(wnd)) return false;
      layer::SyncActiveTo(wnd->Handle());
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

void InstallInputFilter(QWidget* w, TWindowObj* wnd) {
  if (!gFilter) gFilter = new TInputFilter();
  w->installEventFilter(gFilter);
  w->setMouseTracking(true);
  if (!wnd->IsNative()) {
    // A self-drawn window gets the focus only from SetFocus, as its own handling of a press or
    // the dialog keys decide; the toolkit's click-to-focus would move it behind the program's back.
    w->setFocusPolicy(Qt::NoFocus);
  } else if (w == wnd->Widget.data() && (w->focusPolicy() & Qt::ClickFocus)) {
    // A standard control takes it in its default procedure's handling of the press instead.
    w->setProperty(kClickFocus, true);
    w->setFocusPolicy(static_cast<Qt::FocusPolicy>(w->focusPolicy() & ~Qt::ClickFocus));
  }
}

bool TakesFocusOnClick(const TWindowObj* wnd) {
  return wnd->Widget && wnd->Widget->property(kClickFocus).toBool();
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

void ResetInputState() {
  ResetKeyTables();
  ResetFocusState();
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
  ForgetCursors();
  delete gFilter;
  gFilter = nullptr;
  delete gAppFilter;
  gAppFilter = nullptr;
  delete gKeyRouter;
  gKeyRouter = nullptr;
}

}  // namespace layer

namespace testing {

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
