#pragma once
// Private to the platform layer: the window objects behind handles and their Qt widgets.
// The class library and GUI test harnesses use it to reach the widget of a window.

#include <QEvent>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QWidget>

#include <map>
#include <memory>
#include <vector>

#include "platform/gdi/QtConvert_p.h"
#include "platform/gdi/Surface.h"
#include "platform/user/User.h"

namespace pf {

struct TMsgExtra {
  Owned<TObject> Payload;
  // The toolkit's event the message was made from, and the object it was aimed at.
  std::unique_ptr<QEvent> Native;
  QPointer<QObject> Receiver;
};

// One of a window's own scroll bars (the platform gives a new one the range 0 to 100).
struct TScrollState {
  int Min{0};
  int Max{100};
  UINT Page{0};
  int Pos{0};
  int TrackPos{0};
  bool Tracking{false};
  bool Disabled{false};
};

// What presents a window: the program's own painting on a surface, or a toolkit widget of a
// standard control (which one follows the class and, for some, the style).
enum class TWindowKind { Custom, Edit, Memo, Button, CheckBox, Static };

// A registered window class.
struct TWindowClass {
  String Name;
  ATOM Atom{0};
  UINT Style{0};
  WNDPROC Proc;
  HCURSOR Cursor{nullptr};
  HBRUSH Background{nullptr};
  // The layer's own classes of standard controls present a widget; they cannot be unregistered.
  bool System{false};
  TWindowKind Kind{TWindowKind::Custom};
  int LiveWindows{0};
};

struct TWindowObj {
  uintptr_t Id{0};
  HWND Handle() const { return reinterpret_cast<HWND>(Id); }

  TWindowKind Kind{TWindowKind::Custom};
  std::shared_ptr<TWindowClass> Class;
  String ClassName;  // as the window was created with it
  String Text;
  DWORD Style{0};
  DWORD ExStyle{0};
  UINT ClassStyle{0};
  LONG_PTR CtrlId{0};
  LONG_PTR UserData{0};
  WNDPROC Proc;

  // The parent of a child window, the owner of a top-level one.
  TWindowObj* Parent{nullptr};
  std::vector<TWindowObj*> Children;  // children and owned windows, in creation order

  TRect Rect;       // relative to the parent's client area (children) or the screen
  TRect NcInsets;   // what the non-client area takes off each side
  QRegion Update;   // client coordinates
  bool EraseBackground{false};
  bool FrameDirty{false};
  // RedrawWindow invalidated the frame alone: a WM_PAINT comes for it even with no client update.
  bool FramePaint{false};
  bool Destroying{false};
  // The high half of a surrogate pair typed as a WM_CHAR of its own, waiting for the low half.
  char16_t PendingHighSurrogate{0};

  QPointer<QWidget> Widget;
  // The surface the program paints a custom-drawn window on, covering the widget (the whole window
  // rectangle of a child; the client area of a top-level window, whose frame the desktop draws).
  std::unique_ptr<TSurface> Surface;
  std::vector<HDC> OpenDCs;  // from BeginPaint, GetDC, GetWindowDC
  TScrollState Scroll[2];    // SB_HORZ, SB_VERT

  bool IsChild() const { return (Style & WS_CHILD) != 0; }
  bool IsNative() const { return Kind != TWindowKind::Custom; }
  // Where the client area starts on the surface.
  TPoint SurfaceClientOrigin() const { return IsChild() ? TPoint{NcInsets.Left, NcInsets.Top} : TPoint{}; }
  TRect ClientRect() const {
    return TRect{0, 0, std::max(0, Rect.Width() - NcInsets.Left - NcInsets.Right),
                 std::max(0, Rect.Height() - NcInsets.Top - NcInsets.Bottom)};
  }
};

namespace layer {
// The class registered under a name (any case); null when none is.
std::shared_ptr<TWindowClass> FindClass(StringView name);
// The class of windows made with a name nobody registered.
std::shared_ptr<TWindowClass> PlainClass();
// Which widget a window of this class and style gets.
TWindowKind KindOf(const TWindowClass& cls, DWORD style);
TWindowObj* Find(HWND h);
TWindowObj* FindByWidget(const QObject* w);
// The widget that presents a window (null when the handle is gone).
QWidget* WidgetOf(HWND h);
HWND HandleOf(const QObject* widget);
// A standard edit's or memo's widget made read-only or writable again. A read-only one keeps its
// caret and keyboard selection, as the platform's do, so that it shows when it has the focus.
void SetEditReadOnly(QWidget* edit, bool readOnly);
// Every window, in creation order.
const std::map<uintptr_t, std::shared_ptr<TWindowObj>>& Windows();

// Queue internals shared by the input translation and the paint cycle.
void QueueInput(MSG msg);
void Wake();
void UpdateKeyStateAt(const MSG& msg);
void SetAsyncKey(int vk, bool down);
void InstallInputFilter(QWidget* w, TWindowObj* wnd);
void ForgetWidget(QObject* w);
void PresentSurface(TWindowObj* wnd, const QRect& clientRect);
void ResizeSurface(TWindowObj* wnd);
void ApplyGeometry(TWindowObj* wnd);
// Raises a top-level window, asks the desktop to activate it, and makes it the active window.
void BringToFront(TWindowObj* wnd);
// The window that answers for a disabled top-level window the user clicked: the visible window it
// owns that takes input, looking through owned windows that windows of their own disabled (the
// modal window in front of it). Null when it owns none.
TWindowObj* EnabledPopupOf(TWindowObj* wnd);
// Brings the modal window in front of a disabled top-level window to the front and activates it:
// the window EnabledPopupOf finds, else a dialog of the toolkit's own (the file dialog) transient
// for it. Answers whether there was one.
bool BringModalToFront(TWindowObj* wnd);
// The greatest width and height an X window can have. A sizeable window without a maximise button
// states it as its greatest size: some window managers (fluxbox) maximise every window that states
// none, whatever its Motif hints say.
constexpr int kGreatestDesktopSize = 32767;
// The sizes the window answers to WM_GETMINMAXINFO, from the defaults.
MINMAXINFO MinMaxInfo(TWindowObj* wnd);
int VirtualKeyOf(int qtKey, int nativeVk);
// The toolkit's shape for a cursor handle: the one map of cursor shapes.
Qt::CursorShape CursorShapeOf(HCURSOR cursor);
int QtKeyOf(int vk);
// Delivers a native event while the input filter lets it pass.
bool DeliverNative(QObject* receiver, QEvent* e);
// Deletes the widget of a destroyed window, later when the toolkit is still inside one of its
// events; BuryWidgets deletes those once no event is being delivered.
void DeleteWidget(QWidget* w);
void BuryWidgets();
void DropTimersOf(HWND h);
// The rectangle of a window's scroll bar in window coordinates (empty when it has none).
TRect ScrollBarRect(TWindowObj* wnd, int bar);
// Both bars and the corner box between them, or the one bar named.
void PaintScrollBars(TWindowObj* wnd, int only = SB_BOTH);
// Runs the platform's scroll-bar tracking for a button press on it (screen point).
void TrackScrollBar(HWND h, int bar, TPoint screen);
void DropMessagesOf(HWND h);
void ResetInputState();
void ForgetFocusAndCapture(HWND h);
}  // namespace layer

}  // namespace pf
