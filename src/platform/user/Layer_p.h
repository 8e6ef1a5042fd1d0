#pragma once
// Private to the window layer's own files: bookkeeping shared between the window table, the queue
// and the input translation.

#include <memory>

#include "platform/user/Window_p.h"

class QLocale;

namespace pf::layer {

// The toolkit's own texts (its file dialog's, say) in the language of `locale`, from the system's
// translations of the toolkit; the layer's start loads the desktop's. Without a translation for
// that language they stay English.
void LoadTranslations(const QLocale& locale);

// Handles that PostMessage may still reach (read from any thread).
void RegisterLive(uintptr_t id);
void UnregisterLive(uintptr_t id);
std::shared_ptr<TWindowObj> Retain(HWND h);
void DestroyAllWindows();

// While one lives, geometry changes the layer makes itself are not reported back as user resizes.
struct GeometryGuard {
  GeometryGuard();
  ~GeometryGuard();
  GeometryGuard(const GeometryGuard&) = delete;
  GeometryGuard& operator=(const GeometryGuard&) = delete;
  static bool Active();
};

// While one lives, the toolkit moving its focus (as it does when a focused widget goes away) does
// not move the layer's focus: on Windows a destroyed focus window leaves no window focused.
struct FocusSyncGuard {
  FocusSyncGuard();
  ~FocusSyncGuard();
  FocusSyncGuard(const FocusSyncGuard&) = delete;
  FocusSyncGuard& operator=(const FocusSyncGuard&) = delete;
};

// The dispatch frame on top: the message being handled and what travels with it.
struct TDispatchFrame {
  MSG Msg;
  std::shared_ptr<TMsgExtra> Extra;
};
TDispatchFrame* TopFrame();

// Frees the DCs a window's painting left open (a handler that forgot ReleaseDC).
void ReleaseDCsOf(TWindowObj* wnd);
void PaintDefaultFrame(HWND h);
// RDW_ERASENOW: the frame (WM_NCPAINT) and the background (WM_ERASEBKGND on a DC clipped to the
// update region) of an invalid window now; its client paint comes later.
void EraseNow(HWND h);
HRGN RegionOf(const QRegion& update);

// Focus and capture (Focus.cpp): the toolkit's focus or activation moving to a window's widget
// moves the layer's, unless the layer is moving it itself.
void SyncFocusTo(HWND h);
void SyncActiveTo(HWND h);
// Makes a top-level window the active one; `how` is WM_ACTIVATE's WA_ACTIVE or WA_CLICKACTIVE.
HWND Activate(HWND h, WPARAM how);
// A standard control's widget that the toolkit would focus on a click (the layer leaves that to
// the control's default procedure).
bool TakesFocusOnClick(const TWindowObj* wnd);
void ResetFocusState();
// Input taken from the queue: a key shows the focus marks of the windows it moves the focus in,
// a mouse press hides them in windows focused after it.
void NoteInput(UINT message);
// Key state (Keys.cpp).
void ResetKeyTables();
// The keypad's own virtual keys (VK_NUMPAD0 to 9, VK_ADD, VK_SUBTRACT, VK_MULTIPLY, VK_DIVIDE,
// VK_DECIMAL) for a key the toolkit reports with the keypad modifier; 0 for the keys the keypad
// shares with the main keyboard (Enter, the arrows and the other editing keys without Num Lock).
int KeypadVirtualKeyOf(int qtKey);
// The pointer and the cursor (Cursor.cpp): where input last saw the pointer, and dropping the
// shape the layer set.
void NotePointer(TPoint screen);
// Mouse tracking (Track.cpp): the window the pointer is over now (input saw it there), the toolkit
// saying the pointer left a window's widget, and a window going away.
void TrackPointer(TPoint screen, HWND under);
void PointerLeft(HWND h);
HWND PointerWindow();
void ForgetTracking(HWND h);
void ResetTracking();
void ResetCursor();
void ForgetCursors();

// Window classes (Class.cpp): the layer's own at start-up, all of them at the end.
void RegisterSystemClasses();
void DropClasses();

void StartQueue();
void FinishQueue();
void StartInput();
void FinishInput();

// Work of other parts of the platform that needs the toolkit's application: run by every start of
// the layer, and at once when the layer already runs.
void OnLayerStart(void (*hook)());

}  // namespace pf::layer
