#pragma once
// Hints as the class library gives them: the application waits HintPause on the layer's clock
// while the pointer rests on a control with ShowHint, asks the control with CM_HINTSHOW (which
// may change the text, the place and the rectangle the hint stays up in, or refuse), then shows
// a hint window that the layer draws; the hint goes after HintHidePause, when the pointer leaves
// the rectangle or the control, or on a key or a click.

#include "platform/classlib/Controls.h"

namespace pf {

class THintWindow;
// Makes the hint window of a class: &HintWindowOf<T>.
using THintWindowClass = THintWindow* (*)(TComponent* owner);
template <class T>
THintWindow* HintWindowOf(TComponent* owner) {
  return T::New(owner);
}

// What CM_HINTSHOW's lParam points to; the control may change any of it.
struct THintInfo {
  TControl* HintControl{nullptr};
  THintWindowClass HintWindowClass{nullptr};
  TPoint HintPos;        // screen: the hint window's top-left
  Integer HintMaxWidth{0};
  TColor HintColor{clInfoBk};
  TRect CursorRect;      // the control's client coordinates: the hint stays while the pointer is in it
  TPoint CursorPos;      // the control's client coordinates
  Integer ReshowTimeout{0};  // > 0: the hint is asked for again after this many milliseconds
  Integer HideTimeout{0};
  String HintStr;
  void* HintData{nullptr};
};

// The part of a hint before "|" (the short hint), and the part after it (the long one).
String GetShortHint(const String& hint);
String GetLongHint(const String& hint);

// A top-level window without a frame of the desktop's, over every other, that never takes the
// activation; it paints its text on the info colour inside a one-pixel frame.
class THintWindow : public TCustomControl {
  PF_CLASS(THintWindow)
public:
  // The size the text needs (at most maxWidth wide), as a rectangle at (0, 0).
  virtual TRect CalcHintRect(Integer maxWidth, const String& hint, void* data);
  // Shows the window over `rect` (screen) with the text, kept on the screen.
  virtual void ActivateHint(TRect rect, const String& hint);
  virtual void ActivateHintData(TRect rect, const String& hint, void* data);
  // Messages that end a hint: keys, clicks, the activation changing.
  virtual bool IsHintMsg(const MSG& msg);
  void ReleaseHandle() { DestroyHandle(); }

protected:
  void Create(TComponent* owner) override;
  void CreateParams(TCreateParams& params) override;
  void CreateHandleDone() override;
  void Dispatch(TMessage& msg) override;
  void Paint() override;
};

// The deepest control of ours at a screen point (a windowless one included); nullptr when the
// point is over no window of the class library.
TControl* FindDragTarget(TPoint screen, bool allowDisabled);

}  // namespace pf
