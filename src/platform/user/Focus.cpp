// Focus, capture and activation: which window gets the keys, which one the mouse, and which
// top-level window is active, with the messages the platform sends when they move.

#include <QApplication>
#include <QWidget>

#include "platform/rtl/Exceptions.h"
#include "platform/user/Layer_p.h"

namespace pf {

namespace {

HWND gFocus = nullptr;
HWND gCapture = nullptr;
HWND gActive = nullptr;
bool gInFocusChange = false;
bool gInActivation = false;
int gFocusSyncOff = 0;
// Whether the last input taken from the queue was the keyboard's. Focus marks show only where the
// user works with the keyboard, as the platform hides them until a key moves the focus.
bool gKeyboardCues = false;

// The capture holds the pointer also with no button down and outside the program's windows: the
// toolkit's grab sends every mouse event to the capturing window's widget.
void Grab(HWND h) {
  QWidget* w = h ? layer::WidgetOf(h) : nullptr;
  if (w && w->isVisible()) {
    w->grabMouse();
  } else if (QWidget* g = QWidget::mouseGrabber(); g && layer::FindByWidget(g)) {
    g->releaseMouse();
  }
}

}  // namespace

namespace layer {

FocusSyncGuard::FocusSyncGuard() { ++gFocusSyncOff; }
FocusSyncGuard::~FocusSyncGuard() { --gFocusSyncOff; }

void SyncFocusTo(HWND h) {
  if (gInFocusChange || gFocusSyncOff > 0 || gFocus == h) return;
  SetFocus(h);
}

void SyncActiveTo(HWND h) {
  if (!gInActivation && gActive != h) SetActiveWindow(h);
}

void NoteInput(UINT message) {
  if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) gKeyboardCues = true;
  else if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN) gKeyboardCues = false;
}

void ResetFocusState() {
  gKeyboardCues = false;
  gFocus = nullptr;
  gCapture = nullptr;
  gActive = nullptr;
  if (QApplication::instance()) Grab(nullptr);
  ResetTracking();
}

void ForgetFocusAndCapture(HWND h) {
  if (gFocus == h || (gFocus && IsChild(h, gFocus))) gFocus = nullptr;
  if (gCapture == h) gCapture = nullptr;
  if (gActive == h) gActive = nullptr;
  ForgetTracking(h);
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
    // The style draws a control's focus only in a window that the keyboard moved around in.
    bool cues = gKeyboardCues && w && !w->window()->testAttribute(Qt::WA_KeyboardFocusChange);
    if (cues) w->window()->setAttribute(Qt::WA_KeyboardFocusChange);
    if (w && !w->hasFocus() && !(f && w->isAncestorOf(f))) w->setFocus(Qt::OtherFocusReason);
    else if (cues) w->update();
  }
  return old;
}

HWND GetFocus() { return gFocus && IsWindow(gFocus) ? gFocus : nullptr; }

HWND SetCapture(HWND h) {
  HWND old = gCapture;
  if (h && !IsWindow(h)) return old;
  gCapture = h;
  Grab(h);
  if (old && old != h && IsWindow(old)) SendMessage(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(h));
  return old;
}

bool ReleaseCapture() {
  HWND old = gCapture;
  gCapture = nullptr;
  Grab(nullptr);
  if (old && IsWindow(old)) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
  return true;
}

HWND GetCapture() { return gCapture && IsWindow(gCapture) ? gCapture : nullptr; }

HWND GetActiveWindow() { return gActive && IsWindow(gActive) ? gActive : nullptr; }

HWND SetActiveWindow(HWND h) { return layer::Activate(h, WA_ACTIVE); }

HWND layer::Activate(HWND h, WPARAM how) {
  if (h && !IsWindow(h)) return nullptr;
  HWND old = GetActiveWindow();
  if (old == h) return old;
  gInActivation = true;
  struct Done {
    ~Done() { gInActivation = false; }
  } done;
  gActive = h;
  if (old) SendMessage(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(h));
  if (h) SendMessage(h, WM_ACTIVATE, how, reinterpret_cast<LPARAM>(old));
  return old;
}

HWND SetForegroundWindow(HWND h) {
  if (QWidget* w = layer::WidgetOf(h)) w->activateWindow();
  return SetActiveWindow(h);
}

}  // namespace pf
