#pragma once
// The window layer: window objects under opaque handles, window procedures, the message queue and
// loop, posting across threads with owned payloads, painting, timers, capture, focus, key state,
// cursors and system metrics. Windows live on the GUI thread (the thread that started the layer);
// PostMessage works from any thread.

#include <functional>
#include <memory>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/kernel/Modules.h"
#include "platform/rtl/Object.h"
#include "platform/user/Messages.h"

namespace pf {

// Opaque window handle: an id that is never reused, never a pointer to anything.
struct HWND__;
using HWND = HWND__*;
struct HCURSOR__;
using HCURSOR = HCURSOR__*;
using UINT_PTR = uintptr_t;
using LONG_PTR = intptr_t;

using WNDPROC = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
using TIMERPROC = std::function<void(HWND, UINT, UINT_PTR, DWORD)>;

// What travels with a queued message besides its four values: an owned payload and, for input
// that came from the toolkit, the original native event (so that a standard control's default
// window procedure can hand it to the control).
struct TMsgExtra;

struct MSG {
  HWND hwnd{nullptr};
  UINT message{0};
  WPARAM wParam{0};
  LPARAM lParam{0};
  DWORD time{0};
  TPoint pt;
  std::shared_ptr<TMsgExtra> Extra;
};

// ---- windows ----
// WM_NCCALCSIZE's lParam: rgrc[0] comes in as the window rectangle (in the parent's client
// coordinates) and goes out as the client rectangle in the same coordinates.
// With wParam TRUE (a move or size by SetWindowPos) rgrc[1] is the old window rectangle,
// rgrc[2] the old client rectangle and lppos the new position.
struct WINDOWPOS;
struct NCCALCSIZE_PARAMS {
  TRect rgrc[3];
  WINDOWPOS* lppos{nullptr};
};
// WM_WINDOWPOSCHANGING's and WM_WINDOWPOSCHANGED's lParam. A handler of WM_WINDOWPOSCHANGING may
// change the position, size, insert-after window and flags; the change is applied.
struct WINDOWPOS {
  HWND hwnd{nullptr};
  HWND hwndInsertAfter{nullptr};
  int x{0}, y{0}, cx{0}, cy{0};
  UINT flags{0};
};
// WM_GETMINMAXINFO's lParam, outer sizes of a top-level window. The sender fills in the defaults
// (no least size beyond the desktop's own, no greatest) and the window's procedure may change
// them. A top-level window with a sizing frame keeps within the track sizes: DefWindowProc's
// handling of WM_WINDOWPOSCHANGING limits a new size to them, and the desktop stops the user's
// sizing there.
struct MINMAXINFO {
  TPoint ptReserved;
  TPoint ptMaxSize;
  TPoint ptMaxPosition;
  TPoint ptMinTrackSize;
  TPoint ptMaxTrackSize;
};
// SetWindowPos's insert-after values besides a sibling's handle.
inline const HWND HWND_TOP = reinterpret_cast<HWND>(0);
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);
// WM_CREATE and WM_NCCREATE's lParam.
struct CREATESTRUCT {
  LONG_PTR lpCreateParams{0};
  HWND hwndParent{nullptr};
  int x{0}, y{0}, cx{0}, cy{0};
  DWORD style{0};
  DWORD exStyle{0};
};

// ---- window classes ----
// A class gives its windows their class style (CS_DBLCLKS: double clicks become WM_xBUTTONDBLCLK),
// the cursor DefWindowProc shows over their client area (WM_SETCURSOR), the background brush
// DefWindowProc erases with (WM_ERASEBKGND) and the window procedure. The layer registers the
// standard controls' classes at start-up: u"EDIT" (ES_MULTILINE makes a memo; I-beam cursor),
// (a memo wraps its lines at the window's width unless it has WS_HSCROLL or ES_AUTOHSCROLL; it shows
// the scroll bars its WS_VSCROLL and WS_HSCROLL ask for, always, and no others),
// u"BUTTON" (push button; BS_AUTOCHECKBOX a check box), u"STATIC" (a label) and the dialog class
// u"#32770" (button-face background); these present a toolkit widget. Every other class makes a
// self-drawn window whose surface the program paints. Names compare without regard to case.
using ATOM = Word;
struct WNDCLASS {
  UINT style{0};
  WNDPROC lpfnWndProc;        // empty: DefWindowProc
  HCURSOR hCursor{nullptr};   // none: the program sets the cursor itself on WM_SETCURSOR
  HBRUSH hbrBackground{nullptr};
  String lpszClassName;
};
// Answers the class's atom, 0 when the name is empty or taken.
ATOM RegisterClass(const WNDCLASS& wc);
// Fails for the layer's own classes, for unknown names and while windows of the class exist.
bool UnregisterClass(StringView className);
bool GetClassInfo(StringView className, WNDCLASS* wc);
String GetClassName(HWND h);

// `proc`, when given, replaces the class's procedure for this window (as subclassing at once
// would); `classStyle` adds to the class style. A class name nobody registered makes a self-drawn
// window of a plain class: no class style, the arrow cursor, no background. Without WS_CHILD the
// window is top-level and `parent` is its owner.
constexpr DWORD ES_CENTER = 0x0001;
constexpr DWORD ES_MULTILINE = 0x0004;
constexpr DWORD ES_PASSWORD = 0x0020;
constexpr DWORD ES_AUTOHSCROLL = 0x0080;
constexpr DWORD ES_READONLY = 0x0800;
constexpr DWORD BS_PUSHBUTTON = 0x0000;
constexpr DWORD BS_DEFPUSHBUTTON = 0x0001;
constexpr DWORD BS_AUTOCHECKBOX = 0x0003;
constexpr DWORD SS_LEFT = 0x0000;
constexpr DWORD SS_CENTER = 0x0001;
constexpr DWORD SS_RIGHT = 0x0002;
// Notifications of standard controls, sent to the parent as WM_COMMAND
// (wParam = MAKEWPARAM(id, code), lParam = the control's handle).
constexpr Word EN_CHANGE = 0x0300;
constexpr Word BN_CLICKED = 0;
constexpr WPARAM BST_UNCHECKED = 0;
constexpr WPARAM BST_CHECKED = 1;
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BM_CLICK = 0x00F5;
// EM_SETSEL(start, end): a start of -1 removes the selection, an end of -1 or past the text means
// its end; positions count the characters of the window's text (WM_GETTEXT).
constexpr UINT EM_SETSEL = 0x00B1;
// lParam: the Char text that replaces the selection (or goes in at the caret); the caret ends
// after it and is scrolled into view.
constexpr UINT EM_REPLACESEL = 0x00C2;
// EM_LINEINDEX(line): the position where the line (of the text's lines) starts; a line of -1 is the
// one that holds the caret. -1 for a line past the last.
constexpr UINT EM_LINEINDEX = 0x00BB;
// Scrolls the caret into view.
constexpr UINT EM_SCROLLCARET = 0x00B7;
constexpr UINT EM_SETREADONLY = 0x00CF;
constexpr UINT EM_LIMITTEXT = 0x00C5;

HWND CreateWindowEx(DWORD exStyle, StringView className, StringView windowName, DWORD style,
                    int x, int y, int width, int height, HWND parent, WNDPROC proc = {},
                    UINT classStyle = 0, LONG_PTR id = 0);
// Sends WM_DESTROY (owned windows and children first), frees the handle and drops its timers.
bool DestroyWindow(HWND h);
bool IsWindow(HWND h);
HWND GetParent(HWND h);      // the parent of a child, the owner of a top-level window
bool IsChild(HWND parent, HWND h);
// GW_ENABLEDPOPUP: the enabled, visible top-level window that h owns, the last shown first (a
// message box over its owner, say); h itself when there is none. Other commands answer nullptr.
constexpr UINT GW_ENABLEDPOPUP = 6;
HWND GetWindow(HWND h, UINT cmd);

// Subclassing: answers the previous procedure, which the new one passes messages on to with
// CallWindowProc. DefWindowProc is the end of every chain.
WNDPROC SetWindowProc(HWND h, WNDPROC proc);
WNDPROC GetWindowProc(HWND h);
LRESULT CallWindowProc(const WNDPROC& proc, HWND h, UINT msg, WPARAM w, LPARAM l);
LRESULT DefWindowProc(HWND h, UINT msg, WPARAM w, LPARAM l);

LONG_PTR GetWindowLongPtr(HWND h, int index);   // GWL_STYLE, GWL_EXSTYLE, GWLP_ID, GWLP_USERDATA, GWLP_HWNDPARENT
// GWLP_HWNDPARENT gives a top-level window another owner (none for 0).
LONG_PTR SetWindowLongPtr(HWND h, int index, LONG_PTR value);
bool ShowWindow(HWND h, int cmd);
bool IsWindowVisible(HWND h);  // the window and all its parents are visible
bool EnableWindow(HWND h, bool enable);
bool IsWindowEnabled(HWND h);
bool SetWindowText(HWND h, StringView text);
String GetWindowText(HWND h);

// Rectangles: a child's window rectangle is relative to its parent's client area, a top-level
// window's is in screen coordinates. The client rectangle always starts at (0, 0).
// As the platform: WM_WINDOWPOSCHANGING (whose handler may change what happens), WM_NCCALCSIZE
// when the size or frame changes, WM_WINDOWPOSCHANGED, whose default handling sends WM_MOVE and
// WM_SIZE for a client area that moved or changed size. The z-order argument places a child
// among its siblings (HWND_TOP, HWND_BOTTOM, or directly below a sibling) unless SWP_NOZORDER;
// for a top-level window HWND_TOPMOST and HWND_NOTOPMOST set or clear WS_EX_TOPMOST.
// ShowWindow goes the same way with SWP_SHOWWINDOW or SWP_HIDEWINDOW after WM_SHOWWINDOW.
bool SetWindowPos(HWND h, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
bool MoveWindow(HWND h, int x, int y, int cx, int cy, bool repaint = true);
bool GetWindowRect(HWND h, TRect* r);   // screen coordinates
bool GetClientRect(HWND h, TRect* r);
bool ClientToScreen(HWND h, TPoint* p);
bool ScreenToClient(HWND h, TPoint* p);
int MapWindowPoints(HWND from, HWND to, TPoint* points, UINT count);
// Grows a client rectangle to the window rectangle the default non-client area needs for these
// styles (a top-level window's frame and caption; a child's border, edge and scroll bars).
bool AdjustWindowRectEx(TRect* r, DWORD style, bool menu, DWORD exStyle);
// The client area's offset inside the window rectangle (what WM_NCCALCSIZE took off).
TPoint ClientOrigin(HWND h);

// ---- the queue ----
// Windows' order: posted messages, then input, then WM_QUIT, then WM_PAINT, then WM_TIMER.
// A filter of (nullptr, 0, 0) takes every message; a window filter takes its children's too.
bool GetMessage(MSG* msg, HWND filter, UINT msgMin, UINT msgMax);
bool PeekMessage(MSG* msg, HWND filter, UINT msgMin, UINT msgMax, UINT removeFlags);
// Blocks until a message may be there (pumps the toolkit meanwhile).
void WaitMessage();
bool TranslateMessage(const MSG* msg);
LRESULT DispatchMessage(const MSG* msg);
// Any thread. Fails (answers false) for a handle that is gone.
bool PostMessage(HWND h, UINT msg, WPARAM w, LPARAM l);
// Any thread. The payload's address is the message's lParam; the receiver takes it with
// TakePayload while handling the message. If the window is gone when posting, while queued or when
// dispatched, or the handler does not take it, the queue frees it.
bool PostMessage(HWND h, UINT msg, WPARAM w, Owned<TObject> payload);
// Takes the payload of a message being handled (lParam is its address). Answers an empty pointer
// when no message being handled carries that payload (a second take, say).
Owned<TObject> TakePayload(LPARAM lParam);
// The payload of a message being handled, left where it is; nil when no message being handled
// carries one at that address (a plain lParam that only looks like one, say).
TObject* PayloadOf(LPARAM lParam);
// The same for a payload of class T. One of another class (a message number reused by someone
// else's sender) is never handed out as a T: it is freed and the answer is empty.
template <class T>
Owned<T> TakePayload(LPARAM lParam) {
  Owned<TObject> p = TakePayload(lParam);
  T* typed = dynamic_cast<T*>(p.get());
  if (!typed) return nullptr;
  (void)p.release();
  return Owned<T>(typed);
}
void PostQuitMessage(int exitCode);
// GUI thread only: from another thread it fails an assertion (EAssertionFailed).
LRESULT SendMessage(HWND h, UINT msg, WPARAM w, LPARAM l);
// The message being dispatched on this thread (null outside a dispatch).
const MSG* CurrentMessage();
DWORD GetMessageTime();

// Exceptions never cross the dispatch of a message; the class library installs the handler that
// shows them (the default writes them to standard error).
void SetDispatchExceptionHandler(std::function<void(std::exception_ptr)> handler);

// ---- painting ----
// A custom-drawn window paints on its surface. BeginPaint answers a DC on the client area clipped
// to the update region (WM_NCPAINT and WM_ERASEBKGND first when pending) and validates it; EndPaint
// frees the DC and presents what was painted. GetDC is a client DC without clip, GetWindowDC covers
// the whole window rectangle; both are freed with ReleaseDC, which presents. GetDC(nullptr) is a
// screen DC for measuring. Standard controls paint themselves and answer no DC.
struct PAINTSTRUCT {
  HDC hdc{nullptr};
  BOOL fErase{0};
  TRect rcPaint;
};
HDC BeginPaint(HWND h, PAINTSTRUCT* ps);
bool EndPaint(HWND h, const PAINTSTRUCT* ps);
HDC GetDC(HWND h);
HDC GetWindowDC(HWND h);
int ReleaseDC(HWND h, HDC dc);

bool InvalidateRect(HWND h, const TRect* r, bool erase);
bool ValidateRect(HWND h, const TRect* r);
bool GetUpdateRect(HWND h, TRect* r, bool erase);
bool UpdateWindow(HWND h);
// RDW_INVALIDATE (with RDW_ERASE, or RDW_NOERASE), RDW_VALIDATE, RDW_FRAME (the non-client area
// too: WM_NCPAINT at the next paint), RDW_ERASENOW (WM_NCPAINT and WM_ERASEBKGND before it
// returns, the paint later), RDW_UPDATENOW (the paint before it returns), RDW_ALLCHILDREN.
bool RedrawWindow(HWND h, const TRect* r, UINT flags);

// ---- a window's scroll bars ----
// Drawn in the non-client area with the toolkit's style and tracked as the platform tracks them:
// a press on an arrow or beside the thumb sends WM_VSCROLL/WM_HSCROLL with SB_LINE*/SB_PAGE* (and
// repeats while held, on the layer's clock), dragging the thumb sends SB_THUMBTRACK with the track
// position, the release SB_THUMBPOSITION, and every tracking ends with SB_ENDSCROLL.
constexpr int SB_HORZ = 0;
constexpr int SB_VERT = 1;
constexpr int SB_BOTH = 3;
constexpr WPARAM SB_LINEUP = 0;
constexpr WPARAM SB_LINELEFT = 0;
constexpr WPARAM SB_LINEDOWN = 1;
constexpr WPARAM SB_LINERIGHT = 1;
constexpr WPARAM SB_PAGEUP = 2;
constexpr WPARAM SB_PAGELEFT = 2;
constexpr WPARAM SB_PAGEDOWN = 3;
constexpr WPARAM SB_PAGERIGHT = 3;
constexpr WPARAM SB_THUMBPOSITION = 4;
constexpr WPARAM SB_THUMBTRACK = 5;
constexpr WPARAM SB_TOP = 6;
constexpr WPARAM SB_LEFT = 6;
constexpr WPARAM SB_BOTTOM = 7;
constexpr WPARAM SB_RIGHT = 7;
constexpr WPARAM SB_ENDSCROLL = 8;
constexpr UINT SIF_RANGE = 0x1;
constexpr UINT SIF_PAGE = 0x2;
constexpr UINT SIF_POS = 0x4;
constexpr UINT SIF_DISABLENOSCROLL = 0x8;
constexpr UINT SIF_TRACKPOS = 0x10;
constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
constexpr UINT ESB_ENABLE_BOTH = 0;
constexpr UINT ESB_DISABLE_BOTH = 3;
struct SCROLLINFO {
  UINT cbSize{sizeof(SCROLLINFO)};
  UINT fMask{0};
  int nMin{0};
  int nMax{0};
  UINT nPage{0};
  int nPos{0};
  int nTrackPos{0};
};
// Answers the new position. The page is limited to the range, the position to
// [nMin, nMax - max(nPage - 1, 0)]; a bar the range makes useless is hidden (disabled instead with
// SIF_DISABLENOSCROLL), a useful one shown.
int SetScrollInfo(HWND h, int bar, const SCROLLINFO* si, bool redraw);
bool GetScrollInfo(HWND h, int bar, SCROLLINFO* si);
int SetScrollPos(HWND h, int bar, int pos, bool redraw);
int GetScrollPos(HWND h, int bar);
bool SetScrollRange(HWND h, int bar, int minPos, int maxPos, bool redraw);
bool ShowScrollBar(HWND h, int bar, bool show);
bool EnableScrollBar(HWND h, UINT bars, UINT arrows);

// ---- timers on the layer's clock ----
// Without a procedure the timer posts WM_TIMER (wParam = id) when the queue is otherwise empty.
UINT_PTR SetTimer(HWND h, UINT_PTR id, UINT elapseMs, TIMERPROC proc = {});
bool KillTimer(HWND h, UINT_PTR id);
DWORD GetTickCount();

// ---- focus, capture, activation ----
HWND SetFocus(HWND h);
HWND GetFocus();
HWND SetCapture(HWND h);
bool ReleaseCapture();
HWND GetCapture();
HWND GetActiveWindow();
HWND SetActiveWindow(HWND h);
HWND SetForegroundWindow(HWND h);

// ---- keys and the mouse ----
// High bit set while down; low bit toggles. GetKeyState is the state as of the message being
// handled (updated as input messages are dispatched); GetAsyncKeyState the state right now.
int16_t GetKeyState(int vk);
int16_t GetAsyncKeyState(int vk);
// The pointer's screen position: on a desktop the real pointer's; without one (the offscreen
// platform) and after testing::SetCursorScreenPos, where input or the test last put it.
bool GetCursorPos(TPoint* p);
bool SetCursorPos(int x, int y);

// Asks for WM_MOUSELEAVE once the pointer leaves the window's client area (at once when it is not
// over it now; also when another window holds the capture), and for WM_MOUSEHOVER once the pointer
// rests for the hover time inside the hover rectangle (SystemParametersInfo's, or dwHoverTime).
// Each is posted once; a window asks again for more. TME_CANCEL ends what dwFlags names, TME_QUERY
// fills the structure with what is tracked. One window is tracked at a time. Timing is on the
// layer's clock.
constexpr DWORD TME_HOVER = 0x00000001;
constexpr DWORD TME_LEAVE = 0x00000002;
// The frame instead of the client area: WM_NCMOUSELEAVE and WM_NCMOUSEHOVER (the hit-test code and
// the screen point).
constexpr DWORD TME_NONCLIENT = 0x00000010;
constexpr DWORD TME_QUERY = 0x40000000;
constexpr DWORD TME_CANCEL = 0x80000000;
constexpr DWORD HOVER_DEFAULT = 0xFFFFFFFF;
struct TRACKMOUSEEVENT {
  DWORD cbSize{sizeof(TRACKMOUSEEVENT)};
  DWORD dwFlags{0};
  HWND hwndTrack{nullptr};
  DWORD dwHoverTime{HOVER_DEFAULT};
};
bool TrackMouseEvent(TRACKMOUSEEVENT* tme);

// ---- the desktop's settings ----
// SPI_GETWHEELSCROLLLINES (UINT, from the desktop's setting, at least 1, or WHEEL_PAGESCROLL), SPI_GETWORKAREA (TRect),
// SPI_SETWORKAREA (TRect), SPI_GETMOUSEHOVERTIME (UINT ms), SPI_GETMOUSEHOVERWIDTH and SPI_GETMOUSEHOVERHEIGHT (UINT
// pixels); the SET forms take the value in uiParam and hold it for this run of the program
// (tests set them). Answers false for anything else. The drag rectangle is GetSystemMetrics'
// SM_CXDRAG by SM_CYDRAG; a hint's pause is the class library's, from the hover time.
constexpr UINT SPI_GETWORKAREA = 0x0030;
constexpr UINT SPI_SETWORKAREA = 0x002F;  // pvParam: the TRect the work area is from now on
constexpr UINT SPI_GETMOUSEHOVERWIDTH = 0x0062;
constexpr UINT SPI_SETMOUSEHOVERWIDTH = 0x0063;
constexpr UINT SPI_GETMOUSEHOVERHEIGHT = 0x0064;
constexpr UINT SPI_SETMOUSEHOVERHEIGHT = 0x0065;
constexpr UINT SPI_GETMOUSEHOVERTIME = 0x0066;
constexpr UINT SPI_SETMOUSEHOVERTIME = 0x0067;
constexpr UINT SPI_GETWHEELSCROLLLINES = 0x0068;
constexpr UINT SPI_SETWHEELSCROLLLINES = 0x0069;
// The wheel setting that scrolls a page per notch instead of a number of lines.
constexpr UINT WHEEL_PAGESCROLL = 0xFFFFFFFF;
bool SystemParametersInfo(UINT action, UINT uiParam, void* pvParam, UINT winIni);
HWND WindowFromPoint(TPoint screen);

// ---- cursors ----
constexpr uintptr_t IDC_ARROW = 32512;
constexpr uintptr_t IDC_IBEAM = 32513;
constexpr uintptr_t IDC_WAIT = 32514;
constexpr uintptr_t IDC_CROSS = 32515;
constexpr uintptr_t IDC_SIZEWE = 32644;
constexpr uintptr_t IDC_SIZENS = 32645;
constexpr uintptr_t IDC_SIZEALL = 32646;
constexpr uintptr_t IDC_NO = 32648;
constexpr uintptr_t IDC_HAND = 32649;
constexpr uintptr_t IDC_APPSTARTING = 32650;
constexpr uintptr_t IDC_UPARROW = 32516;
constexpr uintptr_t IDC_SIZENWSE = 32642;
constexpr uintptr_t IDC_SIZENESW = 32643;
constexpr uintptr_t IDC_HELP = 32651;
// The desktop's "drag and drop" pointer; the platform has none, the class library's drag
// cursors use it.
constexpr uintptr_t IDC_DRAGOBJECT = 32767;
// A system cursor (IDC_*).
HCURSOR LoadCursor(uintptr_t id);
// With no module, the system cursor `id`; with a module, the program's cursor resource of that
// number (the resource named "#768" for 768). Nothing (nullptr) when there is none.
HCURSOR LoadCursor(HINSTANCE module, uintptr_t id);
// The program's cursor resource of that name (type "CURSOR": a cursor file whose image is a PNG
// or a 32-bit bitmap, with its hot spot). Loading a name again answers the same handle.
HCURSOR LoadCursor(HINSTANCE module, StringView name);
// Sets the shape shown over the program's windows until the next WM_SETCURSOR answer changes it;
// answers the previous one. The default window procedure answers WM_SETCURSOR with the class
// cursor (asking the parent first), so this is the one road by which the visible cursor changes.
// nullptr hides the cursor.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

// ---- system metrics (GetSystemMetrics is the drawing layer's) ----
unsigned GetDoubleClickTime();
// The sizing frame of a sizeable top-level window.
constexpr int kSizingFrame = 4;

// ---- message boxes ----
// Shows a box owned by `owner` (disabled meanwhile) and runs a layer loop until a button is
// pressed; answers IDOK, IDCANCEL, IDYES... Enter presses the focused button (the default one,
// MB_DEFBUTTONn, at first), Esc and the close box answer IDCANCEL when the box has a Cancel button
// (IDOK for MB_OK alone) and are ignored otherwise.
int MessageBox(HWND owner, StringView text, StringView caption, UINT type);

// ---- message beeps ----
bool MessageBeep(UINT type);

// ---- the layer's start-up ----
// Starts the layer on the calling thread, which becomes the GUI thread: the toolkit's application
// object (when none exists yet), the layer's state and the clock's wake-up. FinishLayer tears it
// down in reverse: windows still open are destroyed, queued payloads freed.
void StartLayer(int& argc, char** argv);
void FinishLayer();
bool LayerStarted();
bool IsGuiThread();

namespace testing {
// Key state injection: as if the key went down or up (both the message-time and the async state).
void SetKeyDown(int vk, bool down);
void ResetKeyState();
void SetCursorScreenPos(TPoint p);
// Back to the desktop's settings after a test changed them with SystemParametersInfo.
void ResetSystemParameters();
// As if the user switched to another program (false) and back (true): top-level windows hear
// WM_ACTIVATEAPP (wParam 0 or 1) through the queue.
void SetApplicationActive(bool active);
// Number of live windows and of queued messages; tests use them to see that nothing is left over.
int LiveWindowCount();
int QueuedMessageCount();
// Drops every queued message (freeing payloads) and the quit flag; resets capture and focus.
void ResetQueue();

// Message boxes in tests. A hook answers a box without showing it (answer 0 to show it anyway);
// every box asked for is recorded, hooked or not.
struct TMessageBoxRequest {
  HWND Owner{nullptr};
  String Text;
  String Caption;
  UINT Type{0};
};
void SetMessageBoxHook(std::function<int(const TMessageBoxRequest&)> hook);
const std::vector<TMessageBoxRequest>& MessageBoxLog();
void ClearMessageBoxLog();
// The box on screen now (nullptr when none); its buttons' Qt object names are "OK", "Cancel",
// "Abort", "Retry", "Ignore", "Yes" and "No", its text's "Text".
HWND OpenMessageBox();
}  // namespace testing

}  // namespace pf
