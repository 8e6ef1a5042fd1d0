// The class library's own drag and drop between controls of the program: a layer loop that
// follows the mouse, asks the control under it with CM_DRAG whether it takes the drag, and drops
// on the one that accepts when the button comes up.
#include <cstdlib>

#include "platform/classlib/Controls.h"

namespace pf {

namespace {

LRESULT SendDrag(TControl* to, TDragMessage what, TDragRec& rec) {
  return to->Perform(CM_DRAG, static_cast<WPARAM>(what), reinterpret_cast<LPARAM>(&rec));
}

bool IsButtonUp(UINT m) { return m == WM_LBUTTONUP || m == WM_RBUTTONUP || m == WM_MBUTTONUP; }

}  // namespace

// The drag of one control: the control under the mouse and whether it accepts.
class TControlDragLoop {
public:
  // The drag starts where the press was: input already queued behind it has moved the pointer on.
  explicit TControlDragLoop(TControl* source) : FSource(source) {
    const MSG* m = CurrentMessage();
    if (m && m->message >= WM_MOUSEFIRST && m->message <= WM_MBUTTONDBLCLK) FPoint = m->pt;
    else GetCursorPos(&FPoint);
  }

  // Answers false when the button came up (or the program quits) before the mouse went far enough.
  bool WaitForThreshold(Integer threshold) {
    const TPoint start = FPoint;
    const Integer dx = threshold < 0 ? GetSystemMetrics(SM_CXDRAG) : threshold;
    const Integer dy = threshold < 0 ? GetSystemMetrics(SM_CYDRAG) : threshold;
    for (;;) {
      MSG m;
      if (!Next(m)) return false;
      if (IsButtonUp(m.message)) {
        DispatchMessage(&m);
        return false;
      }
      if (m.message == WM_MOUSEMOVE && (std::abs(m.pt.X - start.X) >= dx || std::abs(m.pt.Y - start.Y) >= dy)) {
        FPoint = m.pt;
        return true;
      }
      TranslateMessage(&m);
      DispatchMessage(&m);
    }
  }

  void Run() {
    std::shared_ptr<bool> alive = FSource->FAlive;
    Follow(FPoint);
    for (;;) {
      MSG m;
      if (!Next(m)) break;
      if (m.message == WM_MOUSEMOVE) {
        Follow(m.pt);
      } else if (IsButtonUp(m.message)) {
        Follow(m.pt);
        FDropped = FTarget && FAccepted;
        break;
      } else if (m.message == WM_KEYDOWN && m.wParam == static_cast<WPARAM>(VK_ESCAPE)) {
        break;
      } else if (m.message < WM_KEYFIRST || m.message > WM_KEYLAST) {
        TranslateMessage(&m);
        DispatchMessage(&m);
      }
      if (!*alive) return;
    }
    TDragRec rec = Rec();
    TControl* target = FTarget;
    TPoint client = target ? target->ScreenToClient(FPoint) : TPoint{};
    if (target) SendDrag(target, FDropped ? TDragMessage::dmDragDrop : TDragMessage::dmDragCancel, rec);
    if (!*alive) return;
    FSource->DoEndDrag(FDropped ? target : nullptr, client.X, client.Y);
  }

private:
  bool Next(MSG& m) {
    for (;;) {
      if (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) break;
      WaitMessage();
    }
    if (m.message != WM_QUIT) return true;
    // The quit is for the program's loop; the drag ends without a drop.
    PostQuitMessage(static_cast<int>(m.wParam));
    return false;
  }

  TDragRec Rec() const {
    TDragRec rec;
    rec.Pos = FPoint;
    rec.Source = FSource;
    rec.Target = FTarget;
    return rec;
  }

  void Follow(TPoint screen) {
    FPoint = screen;
    TControl* under = nullptr;
    HWND h = WindowFromPoint(screen);
    TWinControl* wc = nullptr;
    for (; h && !wc; h = GetParent(h)) wc = FindControl(h);
    if (wc) {
      TDragRec rec = Rec();
      under = reinterpret_cast<TControl*>(SendDrag(wc, TDragMessage::dmFindTarget, rec));
    }
    TDragRec rec = Rec();
    if (under != FTarget) {
      if (FTarget) SendDrag(FTarget, TDragMessage::dmDragLeave, rec);
      FTarget = under;
      rec.Target = under;
      FAccepted = under && SendDrag(under, TDragMessage::dmDragEnter, rec) != 0;
    } else if (under) {
      FAccepted = SendDrag(under, TDragMessage::dmDragMove, rec) != 0;
    }
    SetCursor(CursorHandle(FTarget && FAccepted ? FSource->GetDragCursor() : crNo));
  }

  TControl* FSource;
  TControl* FTarget{nullptr};
  bool FAccepted{false};
  bool FDropped{false};
  TPoint FPoint;
};

void TControl::BeginDrag(bool Immediate, Integer Threshold) {
  if (FDragging) return;
  auto* win = dynamic_cast<TWinControl*>(this);
  HWND capture = win && win->HandleAllocated() ? win->Handle() : nullptr;
  TControlDragLoop drag(this);
  if (!Immediate && !drag.WaitForThreshold(Threshold)) return;
  struct Running {
    TControl* Self;
    HWND Capture;
    std::shared_ptr<bool> Alive;
    ~Running() {
      if (*Alive) Self->FDragging = false;
      if (Capture && GetCapture() == Capture) ReleaseCapture();
    }
  } running{this, capture, FAlive};
  FDragging = true;
  if (capture) SetCapture(capture);
  DoStartDrag();
  if (!*running.Alive) return;
  drag.Run();
}

void TControl::DoStartDrag() {
  if (OnStartDrag) OnStartDrag(this);
}

void TControl::DoEndDrag(TObject* Target, Integer X, Integer Y) {
  if (OnEndDrag) OnEndDrag(this, Target, X, Y);
}

void TControl::DragOver(TObject* Source, Integer X, Integer Y, TDragState State, bool& Accept) {
  // A control takes drags only when it says so through its handler.
  Accept = false;
  if (!OnDragOver) return;
  Accept = true;
  OnDragOver(this, Source, X, Y, State, Accept);
}

void TControl::DragDrop(TObject* Source, Integer X, Integer Y) {
  if (OnDragDrop) OnDragDrop(this, Source, X, Y);
}

void TControl::CMDrag(TMessage& msg) {
  auto* rec = reinterpret_cast<TDragRec*>(msg.LParam);
  if (!rec) return;
  const TPoint p = ScreenToClient(rec->Pos);
  bool accept = false;
  switch (static_cast<TDragMessage>(msg.WParam)) {
    case TDragMessage::dmDragEnter:
      DragOver(rec->Source, p.X, p.Y, TDragState::dsDragEnter, accept);
      msg.Result = accept ? 1 : 0;
      break;
    case TDragMessage::dmDragLeave:
      DragOver(rec->Source, p.X, p.Y, TDragState::dsDragLeave, accept);
      msg.Result = 0;
      break;
    case TDragMessage::dmDragMove:
      DragOver(rec->Source, p.X, p.Y, TDragState::dsDragMove, accept);
      msg.Result = accept ? 1 : 0;
      break;
    case TDragMessage::dmDragDrop:
      DragDrop(rec->Source, p.X, p.Y);
      break;
    case TDragMessage::dmDragCancel:
      break;
    case TDragMessage::dmFindTarget:
      msg.Result = reinterpret_cast<LRESULT>(this);
      break;
  }
}

}  // namespace pf
