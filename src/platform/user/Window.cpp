// Window objects: creation, destruction, properties and geometry, and the Qt widgets behind them.

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QWindow>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include <atomic>
#include <unordered_map>

#include "platform/gdi/Gdi_p.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"
#include "platform/user/Layer_p.h"
#include "platform/user/Window_p.h"

namespace pf {

namespace {

// Presents a custom-drawn window's surface; everything else it does goes through the layer.
class THostWidget : public QWidget {
public:
  THostWidget(QWidget* parent, TWindowObj* wnd) : QWidget(parent), FWnd(wnd) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

protected:
  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    TWindowObj* wnd = layer::FindByWidget(this);
    if (wnd && wnd->Surface && wnd->Surface->Width() > 0)
      p.drawImage(e->rect(), gdi::SurfaceImage(*wnd->Surface), e->rect());
    else
      p.fillRect(e->rect(), palette().window());
  }

private:
  TWindowObj* FWnd;
};

std::map<uintptr_t, std::shared_ptr<TWindowObj>> gWindows;
std::unordered_map<const QObject*, uintptr_t> gByWidget;
std::atomic<uintptr_t> gNextId{0x100};

void NotifyParent(TWindowObj* wnd, Word code) {
  if (!wnd->Parent || !wnd->IsChild() || wnd->Destroying) return;
  SendMessage(wnd->Parent->Handle(), WM_COMMAND,
              MAKEWPARAM(static_cast<int>(wnd->CtrlId), code),
              reinterpret_cast<LPARAM>(wnd->Handle()));
}

// A window can be maximised where its title bar has the button: a maximise box beside the system
// menu, and a sizing frame (a window of fixed size cannot be maximised).
bool HasMaximiseButton(const TWindowObj* wnd) {
  constexpr DWORD kMaximisable = WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX | WS_THICKFRAME;
  return (wnd->Style & kMaximisable) == kMaximisable;
}

// The greatest client size of a sizeable window, for one side, from the greatest track size. No
// greatest track size is no limit, and the desktop hears of none: a window manager that leaves the
// Motif hints' maximise function aside (fluxbox) maximises exactly the windows that state no
// greatest size, and the track size less the frame would be one. A window without a maximise
// button states the greatest size an X window can have instead, so that no such window manager
// maximises it.
int GreatestClientSize(int track, int frame, int present, bool maximisable) {
  if (track >= QWIDGETSIZE_MAX) return maximisable ? QWIDGETSIZE_MAX : std::max(present, layer::kGreatestDesktopSize);
  return std::clamp(track - frame, present, QWIDGETSIZE_MAX);
}

// What the desktop is told of a top-level window: its kind, its frame and the buttons on its title
// bar, from the style. A window with an owner is a dialog to the desktop, the kind of window the
// toolkit makes transient for another. The buttons come with the system menu, as on the platform:
// the close box always, the minimise and maximise buttons where the style has their boxes. A window
// without a sizing frame has a fixed size on the desktop, which cannot maximise it: it offers no
// maximise button that would do nothing.
Qt::WindowFlags DesktopFlags(const TWindowObj* wnd) {
  Qt::WindowFlags f = (wnd->Parent ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint;
  if ((wnd->Style & WS_CAPTION) != WS_CAPTION) {
    f |= Qt::FramelessWindowHint;
  } else {
    f |= Qt::WindowTitleHint;
    if (wnd->Style & WS_SYSMENU) {
      f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
      if (wnd->Style & WS_MINIMIZEBOX) f |= Qt::WindowMinimizeButtonHint;
      if (HasMaximiseButton(wnd)) f |= Qt::WindowMaximizeButtonHint;
    }
  }
  if (wnd->ExStyle & WS_EX_TOPMOST) f |= Qt::WindowStaysOnTopHint;
  return f;
}

// An owned top-level window is a transient window of its owner's top-level window on the desktop,
// so that every window manager keeps it above its owner. The toolkit writes that hint only as it
// maps the window, from the transient parent the window has at that moment: it is set before
// every show.
void SetTransientOwner(TWindowObj* wnd) {
  QWidget* owner = wnd->Parent && wnd->Parent->Widget ? wnd->Parent->Widget->window() : nullptr;
  if (!owner && !wnd->Widget->windowHandle()) return;
  wnd->Widget->winId();
  QWindow* ownerWindow = nullptr;
  if (owner) {
    owner->winId();
    ownerWindow = owner->windowHandle();
  }
  if (QWindow* window = wnd->Widget->windowHandle(); window && window->transientParent() != ownerWindow)
    window->setTransientParent(ownerWindow);
}

void ShowWidget(TWindowObj* wnd, bool show) {
  if (!wnd->Widget) return;
  if (show && !wnd->IsChild()) SetTransientOwner(wnd);
  wnd->Widget->setVisible(show);
}

// A top-level window's kind and buttons follow a change of its style or owner. New window flags
// hide the widget: it is shown again.
void ApplyDesktopFlags(TWindowObj* wnd) {
  QWidget* widget = wnd->Widget;
  // A tool tip the class library made of a window keeps its kind.
  if (!widget || wnd->IsChild() || widget->windowType() == Qt::ToolTip) return;
  const Qt::WindowFlags f = DesktopFlags(wnd);
  if (widget->windowFlags() == f) return;
  const bool shown = widget->isVisible();
  widget->setWindowFlags(f);
  if (shown) ShowWidget(wnd, true);
}

// The platform lays out an edit's text as a left-to-right paragraph unless the control asks for
// right-to-left reading, whatever script the text begins with; the toolkit would take each
// paragraph's direction from its first strong letter (and align it to that side). A line edit
// takes a fixed direction only from the direction keys, which it keeps through later texts.
void SetReadingOrder(QWidget* edit, const TWindowObj* wnd) {
  const bool rtl = wnd->ExStyle & WS_EX_RTLREADING;
  if (auto* m = qobject_cast<QPlainTextEdit*>(edit)) {
    QTextOption o = m->document()->defaultTextOption();
    o.setTextDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    m->document()->setDefaultTextOption(o);
  } else {
    QKeyEvent e(QEvent::KeyPress, rtl ? Qt::Key_Direction_R : Qt::Key_Direction_L, Qt::NoModifier);
    layer::DeliverNative(edit, &e);
  }
}

QWidget* MakeWidget(TWindowObj* wnd, QWidget* parentWidget) {
  QWidget* w = nullptr;
  uintptr_t id = wnd->Id;
  auto notify = [id](Word code) {
    if (TWindowObj* o = layer::Find(reinterpret_cast<HWND>(id))) NotifyParent(o, code);
  };
  switch (wnd->Kind) {
    case TWindowKind::Edit: {
      auto* e = new QLineEdit(parentWidget);
      if (wnd->Style & ES_PASSWORD) e->setEchoMode(QLineEdit::Password);
      layer::SetEditReadOnly(e, wnd->Style & ES_READONLY);
      SetReadingOrder(e, wnd);
      e->setText(Q(wnd->Text));
      QObject::connect(e, &QLineEdit::textChanged, e, [notify](const QString&) { notify(EN_CHANGE); });
      w = e;
      break;
    }
    case TWindowKind::Memo: {
      auto* e = new QPlainTextEdit(parentWidget);
      layer::SetEditReadOnly(e, wnd->Style & ES_READONLY);
      // A horizontal scroll bar, or scrolling sideways as one types, keeps each line on one line.
      e->setLineWrapMode((wnd->Style & (WS_HSCROLL | ES_AUTOHSCROLL)) ? QPlainTextEdit::NoWrap
                                                                       : QPlainTextEdit::WidgetWidth);
      e->setVerticalScrollBarPolicy((wnd->Style & WS_VSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
      e->setHorizontalScrollBarPolicy((wnd->Style & WS_HSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
      SetReadingOrder(e, wnd);
      e->setPlainText(Q(wnd->Text));
      QObject::connect(e, &QPlainTextEdit::textChanged, e, [notify]() { notify(EN_CHANGE); });
      w = e;
      break;
    }
    case TWindowKind::Button: {
      auto* b = new QPushButton(Q(wnd->Text), parentWidget);
      b->setAutoDefault(false);
      b->setDefault((wnd->Style & 0xF) == BS_DEFPUSHBUTTON);
      QObject::connect(b, &QAbstractButton::clicked, b, [notify]() { notify(BN_CLICKED); });
      w = b;
      break;
    }
    case TWindowKind::CheckBox: {
      auto* b = new QCheckBox(Q(wnd->Text), parentWidget);
      QObject::connect(b, &QAbstractButton::clicked, b, [notify]() { notify(BN_CLICKED); });
      w = b;
      break;
    }
    case TWindowKind::Static: {
      auto* l = new QLabel(Q(wnd->Text), parentWidget);
      Qt::Alignment a = Qt::AlignLeft;
      if ((wnd->Style & 0x3) == SS_CENTER) a = Qt::AlignHCenter;
      if ((wnd->Style & 0x3) == SS_RIGHT) a = Qt::AlignRight;
      l->setAlignment(a | Qt::AlignTop);
      w = l;
      break;
    }
    case TWindowKind::Custom:
      w = new THostWidget(parentWidget, wnd);
      break;
  }
  if (!wnd->IsChild()) {
    w->setWindowFlags(DesktopFlags(wnd));
    w->setWindowTitle(Q(wnd->Text));
  }
  w->setMouseTracking(true);
  return w;
}

}  // namespace

void layer::SetEditReadOnly(QWidget* edit, bool readOnly) {
  if (auto* e = qobject_cast<QLineEdit*>(edit)) e->setReadOnly(readOnly);
  if (auto* m = qobject_cast<QPlainTextEdit*>(edit)) {
    m->setReadOnly(readOnly);
    if (readOnly) m->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  }
}

namespace {

void Unlink(TWindowObj* wnd) {
  if (!wnd->Parent) return;
  auto& v = wnd->Parent->Children;
  v.erase(std::remove(v.begin(), v.end(), wnd), v.end());
}

TPoint ScreenClientOrigin(const TWindowObj* w) {
  TPoint p{w->Rect.Left + w->NcInsets.Left, w->Rect.Top + w->NcInsets.Top};
  if (w->IsChild() && w->Parent) {
    TPoint o = ScreenClientOrigin(w->Parent);
    p.X += o.X;
    p.Y += o.Y;
  }
  return p;
}

// Asks the window for its non-client insets, as a frame change does. A move or size by
// SetWindowPos passes the old rectangles and the new position along (wParam TRUE).
void CalcNonClient(TWindowObj* wnd, WINDOWPOS* pos = nullptr, TRect oldWindow = {}, TRect oldClient = {}) {
  NCCALCSIZE_PARAMS params;
  params.rgrc[0] = wnd->Rect;
  params.rgrc[1] = oldWindow;
  params.rgrc[2] = oldClient;
  params.lppos = pos;
  SendMessage(wnd->Handle(), WM_NCCALCSIZE, pos ? 1 : 0, reinterpret_cast<LPARAM>(&params));
  const TRect& c = params.rgrc[0];
  wnd->NcInsets = TRect{c.Left - wnd->Rect.Left, c.Top - wnd->Rect.Top,
                        wnd->Rect.Right - c.Right, wnd->Rect.Bottom - c.Bottom};
  if (wnd->NcInsets.Left < 0) wnd->NcInsets.Left = 0;
  if (wnd->NcInsets.Top < 0) wnd->NcInsets.Top = 0;
  if (wnd->NcInsets.Right < 0) wnd->NcInsets.Right = 0;
  if (wnd->NcInsets.Bottom < 0) wnd->NcInsets.Bottom = 0;
  wnd->FrameDirty = true;
}

// The client rectangle in the parent's client coordinates (the screen's for a top-level window).
TRect ClientInParent(const TWindowObj* w) {
  TRect c = w->ClientRect();
  int x = w->Rect.Left + w->NcInsets.Left, y = w->Rect.Top + w->NcInsets.Top;
  return TRect{x, y, x + c.Width(), y + c.Height()};
}

bool Contains(const TRect& r, TPoint p) { return p.X >= r.Left && p.Y >= r.Top && p.X < r.Right && p.Y < r.Bottom; }

// Places a child among its siblings (the last of its parent's children is the top one) and the
// toolkit's stacking with it; a top-level window goes on top, to the bottom, or stays on top.
void PlaceInZOrder(TWindowObj* w, HWND after) {
  QWidget* widget = w->Widget;
  if (!w->IsChild()) {
    bool topmost = after == HWND_TOPMOST || (after != HWND_NOTOPMOST && (w->ExStyle & WS_EX_TOPMOST));
    if (topmost != ((w->ExStyle & WS_EX_TOPMOST) != 0)) {
      w->ExStyle = topmost ? (w->ExStyle | WS_EX_TOPMOST) : (w->ExStyle & ~WS_EX_TOPMOST);
      ApplyDesktopFlags(w);
    }
    if (widget && widget->isVisible() && after == HWND_BOTTOM) widget->lower();
    else if (widget && widget->isVisible()) widget->raise();
    return;
  }
  if (!w->Parent) return;
  std::vector<TWindowObj*>& v = w->Parent->Children;
  TWindowObj* sibling = nullptr;
  if (after != HWND_TOP && after != HWND_BOTTOM && after != HWND_TOPMOST && after != HWND_NOTOPMOST) {
    sibling = layer::Find(after);
    if (!sibling || sibling == w || sibling->Parent != w->Parent || !sibling->IsChild()) return;
  }
  v.erase(std::remove(v.begin(), v.end(), w), v.end());
  if (sibling) {
    v.insert(std::find(v.begin(), v.end(), sibling), w);
    if (widget && sibling->Widget) widget->stackUnder(sibling->Widget);
  } else if (after == HWND_BOTTOM) {
    v.insert(v.begin(), w);
    if (widget) widget->lower();
  } else {
    v.push_back(w);
    if (widget) widget->raise();
  }
}

// Moves, sizes, stacks, shows or hides a window with the messages of the platform's order.
bool PositionWindow(HWND h, HWND after, int x, int y, int cx, int cy, UINT flags) {
  TWindowObj* w = layer::Find(h);
  if (!w) return false;
  WINDOWPOS pos{h, after, x, y, cx, cy, flags};
  if (flags & SWP_NOMOVE) {
    pos.x = w->Rect.Left;
    pos.y = w->Rect.Top;
  }
  if (flags & SWP_NOSIZE) {
    pos.cx = w->Rect.Width();
    pos.cy = w->Rect.Height();
  }
  if (!(flags & SWP_NOSENDCHANGING)) {
    SendMessage(h, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    if (!layer::Find(h)) return false;
    pos.hwnd = h;
    flags = pos.flags;
  }
  TRect old = w->Rect;
  TRect oldClient = ClientInParent(w);
  TRect r = old;
  if (!(flags & SWP_NOMOVE)) r = TRect{pos.x, pos.y, pos.x + old.Width(), pos.y + old.Height()};
  if (!(flags & SWP_NOSIZE)) {
    r.Right = r.Left + std::max(0, pos.cx);
    r.Bottom = r.Top + std::max(0, pos.cy);
  }
  bool sized = r.Width() != old.Width() || r.Height() != old.Height();
  w->Rect = r;
  if (sized || (flags & SWP_FRAMECHANGED)) {
    CalcNonClient(w, &pos, old, oldClient);
    if (!layer::Find(h)) return false;
  }
  if (!(flags & SWP_NOZORDER)) PlaceInZOrder(w, pos.hwndInsertAfter);
  layer::ApplyGeometry(w);
  if (!w->IsNative() && (sized || (flags & SWP_FRAMECHANGED)) && !(flags & SWP_NOREDRAW))
    InvalidateRect(h, nullptr, true);
  bool show = (flags & SWP_SHOWWINDOW) && !(w->Style & WS_VISIBLE);
  bool hide = (flags & SWP_HIDEWINDOW) && (w->Style & WS_VISIBLE);
  if (show || hide) {
    w->Style = show ? (w->Style | WS_VISIBLE) : (w->Style & ~WS_VISIBLE);
    ShowWidget(w, show);
    if (show && !w->IsNative()) InvalidateRect(h, nullptr, true);
  }
  TRect client = ClientInParent(w);
  pos.x = r.Left;
  pos.y = r.Top;
  pos.cx = r.Width();
  pos.cy = r.Height();
  pos.flags = flags & ~(SWP_NOCLIENTMOVE | SWP_NOCLIENTSIZE);
  if (client.Left == oldClient.Left && client.Top == oldClient.Top) pos.flags |= SWP_NOCLIENTMOVE;
  if (client.Width() == oldClient.Width() && client.Height() == oldClient.Height()) pos.flags |= SWP_NOCLIENTSIZE;
  SendMessage(h, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  return layer::Find(h) != nullptr;
}

}  // namespace

namespace layer {

TWindowObj* Find(HWND h) {
  auto it = gWindows.find(reinterpret_cast<uintptr_t>(h));
  return it == gWindows.end() ? nullptr : it->second.get();
}

TWindowObj* FindByWidget(const QObject* w) {
  auto it = gByWidget.find(w);
  return it == gByWidget.end() ? nullptr : Find(reinterpret_cast<HWND>(it->second));
}

QWidget* WidgetOf(HWND h) {
  TWindowObj* w = Find(h);
  return w ? w->Widget.data() : nullptr;
}

HWND HandleOf(const QObject* widget) {
  TWindowObj* w = FindByWidget(widget);
  return w ? w->Handle() : nullptr;
}

const std::map<uintptr_t, std::shared_ptr<TWindowObj>>& Windows() { return gWindows; }

void ForgetWidget(QObject* w) { gByWidget.erase(w); }

std::shared_ptr<TWindowObj> Retain(HWND h) {
  auto it = gWindows.find(reinterpret_cast<uintptr_t>(h));
  return it == gWindows.end() ? nullptr : it->second;
}

MINMAXINFO MinMaxInfo(TWindowObj* wnd) {
  MINMAXINFO mm;
  mm.ptMaxSize = TPoint{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  mm.ptMaxTrackSize = TPoint{QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
  if (!wnd->IsChild()) SendMessage(wnd->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mm));
  return mm;
}

void ResizeSurface(TWindowObj* wnd) {
  if (wnd->IsNative() || !wnd->Widget) return;
  if (!wnd->Surface) wnd->Surface = std::make_unique<TSurface>();
  QSize size = wnd->Widget->size();
  if (wnd->Surface->Width() != size.width() || wnd->Surface->Height() != size.height())
    wnd->Surface->SetSize(size.width(), size.height());
}

void ApplyGeometry(TWindowObj* wnd) {
  QWidget* w = wnd->Widget;
  if (!w) return;
  GeometryGuard guard;
  if (wnd->IsChild()) {
    TPoint off{0, 0};
    if (wnd->Parent && wnd->Parent->IsChild()) off = {wnd->Parent->NcInsets.Left, wnd->Parent->NcInsets.Top};
    w->setGeometry(wnd->Rect.Left + off.X, wnd->Rect.Top + off.Y, std::max(0, wnd->Rect.Width()),
                   std::max(0, wnd->Rect.Height()));
  } else {
    TRect c = wnd->ClientRect();
    QRect g(wnd->Rect.Left + wnd->NcInsets.Left, wnd->Rect.Top + wnd->NcInsets.Top, std::max(1, c.Width()),
            std::max(1, c.Height()));
    // Without a sizing frame the user cannot resize the window; with one, the desktop stops the
    // user's sizing at the window's track sizes (the widget is the client area).
    if (wnd->Style & WS_THICKFRAME) {
      const MINMAXINFO mm = MinMaxInfo(wnd);
      const int ncX = wnd->NcInsets.Left + wnd->NcInsets.Right, ncY = wnd->NcInsets.Top + wnd->NcInsets.Bottom;
      // A least size above the present one waits for the next sizing, as on the platform.
      w->setMinimumSize(std::clamp(mm.ptMinTrackSize.X - ncX, 0, g.width()),
                        std::clamp(mm.ptMinTrackSize.Y - ncY, 0, g.height()));
      const bool maximisable = HasMaximiseButton(wnd);
      w->setMaximumSize(GreatestClientSize(mm.ptMaxTrackSize.X, ncX, g.width(), maximisable),
                        GreatestClientSize(mm.ptMaxTrackSize.Y, ncY, g.height(), maximisable));
    } else {
      w->setFixedSize(g.size());
    }
    w->setGeometry(g);
  }
  ResizeSurface(wnd);
}

void PresentSurface(TWindowObj* wnd, const QRect& r) {
  if (!wnd->Widget || wnd->IsNative()) return;
  if (r.isNull())
    wnd->Widget->update();
  else
    wnd->Widget->update(r);
}

}  // namespace layer

TPoint ClientOrigin(HWND h) {
  TWindowObj* w = layer::Find(h);
  return w ? TPoint{w->NcInsets.Left, w->NcInsets.Top} : TPoint{};
}

HWND CreateWindowEx(DWORD exStyle, StringView className, StringView windowName, DWORD style, int x,
                    int y, int width, int height, HWND parent, WNDPROC proc, UINT classStyle,
                    LONG_PTR id) {
  Assert(IsGuiThread(), u"CreateWindowEx called outside the GUI thread");
  TWindowObj* parentObj = parent ? layer::Find(parent) : nullptr;
  if ((style & WS_CHILD) && !parentObj) return nullptr;

  std::shared_ptr<TWindowClass> cls = layer::FindClass(className);
  if (!cls) cls = layer::PlainClass();

  auto obj = std::make_shared<TWindowObj>();
  TWindowObj* wnd = obj.get();
  wnd->Id = gNextId.fetch_add(1);
  wnd->Class = cls;
  wnd->Kind = layer::KindOf(*cls, style);
  wnd->ClassName = String(className);
  wnd->Text = String(windowName);
  wnd->Style = style;
  wnd->ExStyle = exStyle;
  wnd->ClassStyle = cls->Style | classStyle;
  wnd->CtrlId = id;
  wnd->Proc = proc ? std::move(proc) : cls->Proc ? cls->Proc : WNDPROC(DefWindowProc);
  ++cls->LiveWindows;
  wnd->Parent = parentObj;
  wnd->Rect = TRect{x, y, x + std::max(0, width), y + std::max(0, height)};

  // An owned top-level window is no Qt child of its owner: Qt would disable it with the owner,
  // which a modal form must not be. It stays above its owner as the owner's transient window.
  QWidget* parentWidget = parentObj ? parentObj->Widget.data() : nullptr;
  QWidget* widget = MakeWidget(wnd, wnd->IsChild() ? parentWidget : nullptr);
  wnd->Widget = widget;
  gByWidget[widget] = wnd->Id;
  if (wnd->Kind == TWindowKind::Memo)
    gByWidget[static_cast<QPlainTextEdit*>(widget)->viewport()] = wnd->Id;

  gWindows[wnd->Id] = obj;
  layer::RegisterLive(wnd->Id);
  if (parentObj) parentObj->Children.push_back(wnd);
  layer::InstallInputFilter(widget, wnd);
  if (wnd->Kind == TWindowKind::Memo)
    layer::InstallInputFilter(static_cast<QPlainTextEdit*>(widget)->viewport(), wnd);

  HWND h = wnd->Handle();
  CREATESTRUCT cs{id, parent, x, y, width, height, style, exStyle};
  bool ok = SendMessage(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) != 0;
  if (ok && layer::Find(h)) {
    CalcNonClient(wnd);
    ok = SendMessage(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) != -1;
  }
  if (!ok || !layer::Find(h)) {
    DestroyWindow(h);
    return nullptr;
  }
  // As the platform does, the window hears its first client size and place once it is made:
  // handlers that lay out on WM_SIZE have nothing else to start from.
  {
    TRect c = wnd->ClientRect();
    SendMessage(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.Width(), c.Height()));
  }
  if (layer::Find(h)) {
    TPoint o{wnd->Rect.Left + wnd->NcInsets.Left, wnd->Rect.Top + wnd->NcInsets.Top};
    SendMessage(h, WM_MOVE, 0, MAKELPARAM(o.X, o.Y));
  }
  if (!layer::Find(h)) return nullptr;
  layer::ApplyGeometry(wnd);
  if (style & WS_DISABLED) widget->setEnabled(false);
  if (!wnd->IsNative()) {
    wnd->Update = QRegion(0, 0, wnd->ClientRect().Width(), wnd->ClientRect().Height());
    wnd->EraseBackground = true;
  }
  if (style & WS_VISIBLE)
    ShowWidget(wnd, true);
  else if (parent)
    // A child made without WS_VISIBLE stays hidden until it is shown; the toolkit would otherwise
    // show it with its parent (a wizard's hidden pages would all show, the last one on top).
    widget->setVisible(false);
  return h;
}

bool DestroyWindow(HWND h) {
  Assert(IsGuiThread(), u"DestroyWindow called outside the GUI thread");
  std::shared_ptr<TWindowObj> keep = layer::Retain(h);
  TWindowObj* wnd = keep.get();
  if (!wnd || wnd->Destroying) return false;
  wnd->Destroying = true;
  layer::FocusSyncGuard noFocusSync;
  if (wnd->Widget) wnd->Widget->hide();

  // Owned top-level windows go first, as on Windows; then the window hears WM_DESTROY before its
  // children do, and WM_NCDESTROY after they are gone.
  // The children are listed only after WM_DESTROY, so those its handler made are included.
  std::vector<HWND> owned, children;
  for (TWindowObj* c : wnd->Children)
    if (!c->IsChild()) owned.push_back(c->Handle());
  for (HWND o : owned) DestroyWindow(o);
  SendMessage(h, WM_DESTROY, 0, 0);
  for (TWindowObj* c : wnd->Children)
    if (c->IsChild()) children.push_back(c->Handle());
  for (HWND c : children) DestroyWindow(c);
  SendMessage(h, WM_NCDESTROY, 0, 0);

  layer::ForgetFocusAndCapture(h);
  layer::DropTimersOf(h);
  layer::UnregisterLive(wnd->Id);
  layer::DropMessagesOf(h);
  Unlink(wnd);
  for (TWindowObj* c : wnd->Children) c->Parent = nullptr;
  wnd->Children.clear();
  if (QWidget* w = wnd->Widget.data()) {
    gByWidget.erase(w);
    if (wnd->Kind == TWindowKind::Memo) gByWidget.erase(static_cast<QPlainTextEdit*>(w)->viewport());
    wnd->Widget = nullptr;
    layer::DeleteWidget(w);
  }
  layer::ReleaseDCsOf(wnd);
  wnd->Surface.reset();
  --wnd->Class->LiveWindows;
  gWindows.erase(wnd->Id);
  return true;
}

bool IsWindow(HWND h) { return h && layer::Find(h) && !layer::Find(h)->Destroying; }

HWND GetParent(HWND h) {
  TWindowObj* w = layer::Find(h);
  return w && w->Parent ? w->Parent->Handle() : nullptr;
}

HWND GetWindow(HWND h, UINT cmd) {
  TWindowObj* w = layer::Find(h);
  if (!w || cmd != GW_ENABLEDPOPUP) return nullptr;
  for (auto it = w->Children.rbegin(); it != w->Children.rend(); ++it) {
    const TWindowObj* c = *it;
    if (!c->IsChild() && !c->Destroying && (c->Style & WS_VISIBLE) && !(c->Style & WS_DISABLED)) return c->Handle();
  }
  return h;
}

bool IsChild(HWND parent, HWND h) {
  TWindowObj* w = layer::Find(h);
  while (w && w->IsChild() && w->Parent) {
    if (w->Parent->Handle() == parent) return true;
    w = w->Parent;
  }
  return false;
}

WNDPROC SetWindowProc(HWND h, WNDPROC proc) {
  TWindowObj* w = layer::Find(h);
  if (!w) return {};
  WNDPROC old = w->Proc;
  w->Proc = proc ? std::move(proc) : WNDPROC(DefWindowProc);
  return old;
}

WNDPROC GetWindowProc(HWND h) {
  TWindowObj* w = layer::Find(h);
  return w ? w->Proc : WNDPROC{};
}

LRESULT CallWindowProc(const WNDPROC& proc, HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (!proc) return DefWindowProc(h, msg, w, l);
  return proc(h, msg, w, l);
}

LONG_PTR GetWindowLongPtr(HWND h, int index) {
  TWindowObj* w = layer::Find(h);
  if (!w) return 0;
  switch (index) {
    case GWL_STYLE: return static_cast<LONG_PTR>(w->Style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->ExStyle);
    case GWLP_ID: return w->CtrlId;
    case GWLP_USERDATA: return w->UserData;
    case GWLP_HWNDPARENT: return w->Parent ? reinterpret_cast<LONG_PTR>(w->Parent->Handle()) : 0;
  }
  return 0;
}

namespace {

// Gives a top-level window another owner (none for null); an owner that the window owns itself,
// directly or further down, would make a loop and is refused.
void SetOwner(TWindowObj* w, TWindowObj* owner) {
  if (w->IsChild() || owner == w->Parent) return;
  for (TWindowObj* o = owner; o; o = o->Parent)
    if (o == w) return;
  Unlink(w);
  w->Parent = owner;
  if (owner) owner->Children.push_back(w);
  ApplyDesktopFlags(w);
}

}  // namespace

LONG_PTR SetWindowLongPtr(HWND h, int index, LONG_PTR value) {
  TWindowObj* w = layer::Find(h);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtr(h, index);
  switch (index) {
    case GWL_STYLE: {
      DWORD v = static_cast<DWORD>(value);
      bool visChange = ((w->Style ^ v) & WS_VISIBLE) != 0;
      bool enChange = ((w->Style ^ v) & WS_DISABLED) != 0;
      w->Style = v;
      ApplyDesktopFlags(w);
      if (visChange) ShowWidget(w, (v & WS_VISIBLE) != 0);
      if (w->Widget && enChange) w->Widget->setEnabled(!(v & WS_DISABLED));
      break;
    }
    case GWL_EXSTYLE:
      w->ExStyle = static_cast<DWORD>(value);
      ApplyDesktopFlags(w);
      break;
    case GWLP_ID: w->CtrlId = value; break;
    case GWLP_USERDATA: w->UserData = value; break;
    case GWLP_HWNDPARENT: SetOwner(w, layer::Find(reinterpret_cast<HWND>(value))); break;
  }
  return old;
}

bool ShowWindow(HWND h, int cmd) {
  TWindowObj* w = layer::Find(h);
  if (!w) return false;
  bool wasVisible = (w->Style & WS_VISIBLE) != 0;
  bool show = cmd != SW_HIDE;
  if (show == wasVisible) return wasVisible;
  SendMessage(h, WM_SHOWWINDOW, show ? 1 : 0, 0);
  if (!layer::Find(h)) return wasVisible;
  UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
  if (cmd == SW_SHOWNA || w->IsChild()) flags |= SWP_NOACTIVATE;
  if (!PositionWindow(h, nullptr, 0, 0, 0, 0, flags)) return wasVisible;
  if (show && !w->IsChild() && cmd != SW_SHOWNA && w->Widget && (w->Style & WS_VISIBLE)) layer::BringToFront(w);
  return wasVisible;
}

void layer::BringToFront(TWindowObj* w) {
  if (w->Widget && QGuiApplication::platformName() != QLatin1String("offscreen")) {
    w->Widget->raise();
    w->Widget->activateWindow();
  }
  SetActiveWindow(w->Handle());
}

bool layer::BringModalToFront(TWindowObj* w) {
  if (TWindowObj* popup = EnabledPopupOf(w)) {
    BringToFront(popup);
    return true;
  }
  QWindow* own = w->Widget ? w->Widget->windowHandle() : nullptr;
  if (!own) return false;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->windowType() != Qt::Dialog || !top->isVisible() || FindByWidget(top) || !top->windowHandle() ||
        top->windowHandle()->transientParent() != own)
      continue;
    top->raise();
    top->activateWindow();
    return true;
  }
  return false;
}

TWindowObj* layer::EnabledPopupOf(TWindowObj* w) {
  for (auto it = w->Children.rbegin(); it != w->Children.rend(); ++it) {
    TWindowObj* c = *it;
    if (c->IsChild() || c->Destroying || !(c->Style & WS_VISIBLE)) continue;
    if (!(c->Style & WS_DISABLED)) return c;
    if (TWindowObj* further = EnabledPopupOf(c)) return further;
  }
  return nullptr;
}

bool IsWindowVisible(HWND h) {
  TWindowObj* w = layer::Find(h);
  while (w) {
    if (!(w->Style & WS_VISIBLE)) return false;
    if (!w->IsChild()) return true;
    w = w->Parent;
  }
  return false;
}

bool EnableWindow(HWND h, bool enable) {
  TWindowObj* w = layer::Find(h);
  if (!w) return false;
  bool wasDisabled = (w->Style & WS_DISABLED) != 0;
  if (wasDisabled == !enable) return wasDisabled;
  if (enable)
    w->Style &= ~WS_DISABLED;
  else
    w->Style |= WS_DISABLED;
  if (w->Widget) w->Widget->setEnabled(enable);
  if (!enable && (GetFocus() == h || IsChild(h, GetFocus()))) SetFocus(nullptr);
  SendMessage(h, WM_ENABLE, enable ? 1 : 0, 0);
  return wasDisabled;
}

bool IsWindowEnabled(HWND h) {
  TWindowObj* w = layer::Find(h);
  return w && !(w->Style & WS_DISABLED);
}

bool SetWindowText(HWND h, StringView text) {
  if (!layer::Find(h)) return false;
  String s(text);
  return SendMessage(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(s.c_str())) != 0;
}

String GetWindowText(HWND h) {
  TWindowObj* w = layer::Find(h);
  if (!w) return {};
  LRESULT len = SendMessage(h, WM_GETTEXTLENGTH, 0, 0);
  if (len <= 0) return {};
  String buf(static_cast<size_t>(len) + 1, u'\0');
  LRESULT got = SendMessage(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
  buf.resize(static_cast<size_t>(std::max<LRESULT>(0, got)));
  return buf;
}

bool SetWindowPos(HWND h, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  return PositionWindow(h, insertAfter, x, y, cx, cy, flags);
}

bool MoveWindow(HWND h, int x, int y, int cx, int cy, bool /*repaint*/) {
  return SetWindowPos(h, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool GetWindowRect(HWND h, TRect* r) {
  TWindowObj* w = layer::Find(h);
  if (!w || !r) return false;
  TPoint o = ScreenClientOrigin(w);
  o.X -= w->NcInsets.Left;
  o.Y -= w->NcInsets.Top;
  *r = TRect{o.X, o.Y, o.X + w->Rect.Width(), o.Y + w->Rect.Height()};
  return true;
}

bool GetClientRect(HWND h, TRect* r) {
  TWindowObj* w = layer::Find(h);
  if (!w || !r) return false;
  *r = w->ClientRect();
  return true;
}

bool ClientToScreen(HWND h, TPoint* p) {
  TWindowObj* w = layer::Find(h);
  if (!w || !p) return false;
  TPoint o = ScreenClientOrigin(w);
  p->X += o.X;
  p->Y += o.Y;
  return true;
}

bool ScreenToClient(HWND h, TPoint* p) {
  TWindowObj* w = layer::Find(h);
  if (!w || !p) return false;
  TPoint o = ScreenClientOrigin(w);
  p->X -= o.X;
  p->Y -= o.Y;
  return true;
}

int MapWindowPoints(HWND from, HWND to, TPoint* points, UINT count) {
  TPoint a{0, 0}, b{0, 0};
  if (from) ClientToScreen(from, &a);
  if (to) ClientToScreen(to, &b);
  int dx = a.X - b.X, dy = a.Y - b.Y;
  for (UINT i = 0; i < count; ++i) {
    points[i].X += dx;
    points[i].Y += dy;
  }
  return MAKELPARAM(dx, dy);
}

HWND WindowFromPoint(TPoint screen) {
  auto over = [&screen](const TWindowObj* w) {
    TRect r;
    return !w->Destroying && (w->Style & WS_VISIBLE) && GetWindowRect(w->Handle(), &r) && Contains(r, screen);
  };
  // The top-level window: those that stay on top first, then the latest made.
  const TWindowObj* top = nullptr;
  for (bool topmost : {true, false}) {
    for (auto it = gWindows.rbegin(); it != gWindows.rend() && !top; ++it) {
      const TWindowObj* w = it->second.get();
      if (!w->IsChild() && ((w->ExStyle & WS_EX_TOPMOST) != 0) == topmost && over(w)) top = w;
    }
  }
  if (!top) return nullptr;
  // Then down through the children, the top one of each level first; a disabled child's parent
  // answers for it.
  for (;;) {
    const TWindowObj* next = nullptr;
    for (auto it = top->Children.rbegin(); it != top->Children.rend() && !next; ++it)
      if ((*it)->IsChild() && over(*it)) next = *it;
    if (!next || (next->Style & WS_DISABLED)) break;
    top = next;
  }
  return top->Handle();
}

namespace testing {
int LiveWindowCount() { return static_cast<int>(gWindows.size()); }
}  // namespace testing

void layer::DestroyAllWindows() {
  while (!gWindows.empty()) {
    // Top-level windows take their children and owned windows with them.
    HWND h = nullptr;
    for (auto& [id, obj] : gWindows) {
      (void)id;
      if (!obj->Parent) {
        h = obj->Handle();
        break;
      }
    }
    if (!h) h = gWindows.begin()->second->Handle();
    if (!DestroyWindow(h)) gWindows.erase(reinterpret_cast<uintptr_t>(h));
  }
}

}  // namespace pf
