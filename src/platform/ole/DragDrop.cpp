// Drop targets answered from the toolkit's drag events, and DoDragDrop as a layer loop that hands
// the drag to the toolkit only when the pointer leaves the program's windows.

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <map>

#include "platform/ole/OleBridge_p.h"
#include "platform/user/Window_p.h"

namespace pf {

namespace {

using olebridge::DataObjectFromMime;

std::map<HWND, ComPtr<IDropTarget>>& Targets() {
  static std::map<HWND, ComPtr<IDropTarget>> t;
  return t;
}

void ForgetDeadTargets() {
  auto& t = Targets();
  for (auto it = t.begin(); it != t.end();) it = IsWindow(it->first) ? std::next(it) : t.erase(it);
}

// The target of a window, or of the nearest parent that has one, as the platform looks it up.
HWND TargetWindowOf(HWND h) {
  for (; h; h = (GetWindowLongPtr(h, GWL_STYLE) & WS_CHILD) ? GetParent(h) : nullptr)
    if (Targets().count(h)) return h;
  return nullptr;
}

ComPtr<IDropTarget> TargetOf(HWND window) {
  auto it = Targets().find(window);
  return it == Targets().end() ? nullptr : it->second;
}

DWORD KeysOf(Qt::MouseButtons b, Qt::KeyboardModifiers m) {
  DWORD k = 0;
  if (b & Qt::LeftButton) k |= MK_LBUTTON;
  if (b & Qt::RightButton) k |= MK_RBUTTON;
  if (b & Qt::MiddleButton) k |= MK_MBUTTON;
  if (m & Qt::ShiftModifier) k |= MK_SHIFT;
  if (m & Qt::ControlModifier) k |= MK_CONTROL;
  if (m & Qt::AltModifier) k |= MK_ALT;
  return k;
}

// Qt's copy, move and link actions have the platform's effect values.
DWORD EffectsOf(Qt::DropActions a) { return static_cast<DWORD>(a.toInt()) & (DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK); }

Qt::DropAction ActionOf(DWORD effect) {
  if (effect & DROPEFFECT_COPY) return Qt::CopyAction;
  if (effect & DROPEFFECT_MOVE) return Qt::MoveAction;
  if (effect & DROPEFFECT_LINK) return Qt::LinkAction;
  return Qt::IgnoreAction;
}

// ---- drops from the desktop ----

// The drag over one of our windows that the desktop runs: the window, its target and the data.
struct TDesktopDrop {
  HWND Window{nullptr};
  ComPtr<IDropTarget> Target;
  ComPtr<IDataObject> Data;
};

class TDropFilter : public QObject {
public:
  bool eventFilter(QObject* o, QEvent* e) override {
    switch (e->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove:
      case QEvent::Drop:
        return Handle(o, static_cast<QDropEvent*>(e));
      case QEvent::DragLeave:
        if (FDrop.Target) FDrop.Target->DragLeave();
        FDrop = TDesktopDrop{};
        e->accept();
        return true;
      default:
        return false;
    }
  }

private:
  bool Handle(QObject* o, QDropEvent* e) {
    HWND h = layer::HandleOf(o);
    TWindowObj* wnd = layer::Find(h);
    if (!wnd) return false;
    TPoint pt{static_cast<int>(e->position().x()), static_cast<int>(e->position().y())};
    TPoint origin = wnd->SurfaceClientOrigin();
    pt.X -= origin.X;
    pt.Y -= origin.Y;
    ClientToScreen(h, &pt);
    DWORD keys = KeysOf(e->buttons(), e->modifiers());
    DWORD allowed = EffectsOf(e->possibleActions());
    DWORD effect = allowed;
    if (e->type() == QEvent::DragEnter) {
      FDrop = TDesktopDrop{h, TargetOf(TargetWindowOf(h)), DataObjectFromMime(e->mimeData())};
      if (FDrop.Target && FAILED(FDrop.Target->DragEnter(FDrop.Data.Get(), keys, pt, &effect))) effect = DROPEFFECT_NONE;
    } else if (!FDrop.Target) {
      effect = DROPEFFECT_NONE;
    } else if (e->type() == QEvent::DragMove) {
      if (FAILED(FDrop.Target->DragOver(keys, pt, &effect))) effect = DROPEFFECT_NONE;
    } else {
      TDesktopDrop drop = std::move(FDrop);
      FDrop = TDesktopDrop{};
      if (FAILED(drop.Target->Drop(drop.Data.Get(), keys, pt, &effect))) effect = DROPEFFECT_NONE;
    }
    Qt::DropAction action = ActionOf(effect & allowed);
    if (action != Qt::IgnoreAction) {
      e->setDropAction(action);
      e->accept();
    } else if (e->type() == QEvent::DragEnter) {
      // Moves over the window must keep coming even while the target refuses this spot.
      e->setDropAction(Qt::IgnoreAction);
      e->accept();
    } else {
      e->ignore();
    }
    return true;
  }

  TDesktopDrop FDrop;
};

TDropFilter* Filter() {
  static TDropFilter* f = new TDropFilter();
  return f;
}

// ---- drags from the program ----

bool gInDrag = false;

olebridge::TDesktopDrag& DesktopDrag() {
  static olebridge::TDesktopDrag d;
  return d;
}

// The smallest rectangle that holds every pixel of the image that is not fully transparent.
QRect OpaqueBounds(const QImage& image) {
  int left = image.width(), top = image.height(), right = -1, bottom = -1;
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(line[x]) != 0) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  }
  return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

Qt::DropAction RunDesktopDrag(QObject* source, QMimeData* mime, Qt::DropActions allowed, const olebridge::TDragImage& image) {
  // The toolkit's drag shows the image itself, over every program's windows.
  olebridge::SetDesktopDragShowsImage(true);
  struct Back {
    ~Back() { olebridge::SetDesktopDragShowsImage(false); }
  } back;
  if (DesktopDrag()) return DesktopDrag()(source, mime, allowed, image);
  // The toolkit keeps the drag (and with it our data) after the drop, until the receiver has read
  // the data, and deletes it then.
  auto* drag = new QDrag(source);
  drag->setMimeData(mime);
  if (!image.Image.isNull()) {
    // Where no compositor runs, the toolkit's drag window shows the transparent part of a pixmap
    // as a blank box: it gets only the part that shows something.
    const QRect shown = OpaqueBounds(image.Image);
    if (!shown.isEmpty()) {
      drag->setPixmap(QPixmap::fromImage(image.Image.copy(shown)));
      drag->setHotSpot(image.HotSpot - shown.topLeft());
    }
  }
  // Copying is the default: a file manager that moves the files is never the surprise.
  Qt::DropAction preferred = allowed & Qt::CopyAction ? Qt::CopyAction : allowed & Qt::MoveAction ? Qt::MoveAction : Qt::LinkAction;
  return drag->exec(allowed, preferred);
}

DWORD KeyStateNow() {
  DWORD k = 0;
  if (GetKeyState(VK_LBUTTON) < 0) k |= MK_LBUTTON;
  if (GetKeyState(VK_RBUTTON) < 0) k |= MK_RBUTTON;
  if (GetKeyState(VK_MBUTTON) < 0) k |= MK_MBUTTON;
  if (GetKeyState(VK_SHIFT) < 0) k |= MK_SHIFT;
  if (GetKeyState(VK_CONTROL) < 0) k |= MK_CONTROL;
  if (GetKeyState(VK_MENU) < 0) k |= MK_ALT;
  return k;
}

bool IsMouseInput(UINT m) {
  return (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) || (m >= WM_NCMOUSEMOVE && m <= WM_NCMOUSEMOVE + 0x0D);
}
bool IsKeyInput(UINT m) { return m >= WM_KEYFIRST && m <= WM_KEYLAST; }

class TDragLoop {
public:
  TDragLoop(IDataObject* data, IDropSource* source, DWORD ok) : FData(data), FSource(source), FOk(ok) {}

  HRESULT Run(DWORD* effect) {
    HCURSOR before = GetCursor();
    FKeys = KeyStateNow();
    GetCursorPos(&FPoint);
    // The image the source kept with the object follows the pointer over our windows.
    FImage = olebridge::DragImageOf(FData);
    if (!FImage.Image.isNull()) olebridge::BeginDragImage(FImage);
    struct End {
      bool Shown;
      ~End() {
        if (Shown) olebridge::EndDragImage();
      }
    } end{!FImage.Image.isNull()};
    HRESULT hr = Step(false, nullptr);
    while (hr == S_OK) {
      MSG m;
      if (!PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        WaitMessage();
        continue;
      }
      if (m.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(m.wParam));
        hr = DRAGDROP_S_CANCEL;
        break;
      }
      if (IsMouseInput(m.message) || IsKeyInput(m.message)) {
        // The drag takes the input; the key state follows it as if it had been dispatched.
        layer::UpdateKeyStateAt(m);
        FKeys = KeyStateNow();
        if (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) {
          FKeys = (FKeys & MK_ALT) | (static_cast<DWORD>(m.wParam) & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_SHIFT | MK_CONTROL));
        }
        if (IsMouseInput(m.message)) FPoint = m.pt;
        bool escape = (m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN) && m.wParam == static_cast<WPARAM>(VK_ESCAPE);
        hr = Step(escape, &m);
        continue;
      }
      TranslateMessage(&m);
      DispatchMessage(&m);
    }
    SetCursor(before);
    return Finish(hr, effect);
  }

private:
  // Asks the source whether to go on; then follows the pointer.
  HRESULT Step(bool escape, const MSG* m) {
    HRESULT hr = FSource->QueryContinueDrag(escape ? 1 : 0, FKeys);
    if (hr != S_OK) return hr;
    if (!WindowFromPoint(FPoint)) return HandToDesktop(m);
    Move();
    return S_OK;
  }

  void Move() {
    if (!FImage.Image.isNull()) olebridge::MoveDragImage(FPoint);
    HWND under = TargetWindowOf(WindowFromPoint(FPoint));
    DWORD effect = FOk;
    if (under != FWindow) {
      Leave();
      FWindow = under;
      FTarget = TargetOf(under);
      if (FTarget && FAILED(FTarget->DragEnter(FData, FKeys, FPoint, &effect))) effect = DROPEFFECT_NONE;
    } else if (FTarget) {
      if (FAILED(FTarget->DragOver(FKeys, FPoint, &effect))) effect = DROPEFFECT_NONE;
    }
    if (!FTarget) effect = DROPEFFECT_NONE;
    FEffect = effect & (FOk | DROPEFFECT_SCROLL);
    if (FSource->GiveFeedback(FEffect) == DRAGDROP_S_USEDEFAULTCURSORS)
      SetCursor(LoadCursor((FEffect & ~DROPEFFECT_SCROLL) == DROPEFFECT_NONE ? IDC_NO : IDC_ARROW));
  }

  void Leave() {
    if (FTarget) FTarget->DragLeave();
    FTarget = nullptr;
    FWindow = nullptr;
  }

  HRESULT HandToDesktop(const MSG* m) {
    Leave();
    QObject* source = m ? static_cast<QObject*>(layer::WidgetOf(m->hwnd)) : nullptr;
    if (!source) source = QCoreApplication::instance();
    auto* mime = new olebridge::TDataObjectMime(FData);
    Qt::DropActions allowed = Qt::DropActions::fromInt(static_cast<int>(FOk & (DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK)));
    Qt::DropAction a = RunDesktopDrag(source, mime, allowed, FImage);
    FHandedOver = true;
    FEffect = EffectsOf(a) & FOk;
    return a == Qt::IgnoreAction ? DRAGDROP_S_CANCEL : DRAGDROP_S_DROP;
  }

  HRESULT Finish(HRESULT hr, DWORD* effect) {
    *effect = DROPEFFECT_NONE;
    if (FHandedOver) {
      if (hr == DRAGDROP_S_DROP) *effect = FEffect;
      return hr;
    }
    if (hr == DRAGDROP_S_DROP && FTarget && (FEffect & FOk) != DROPEFFECT_NONE) {
      DWORD e = FEffect & FOk;
      ComPtr<IDropTarget> target = FTarget;
      FTarget = nullptr;
      if (FAILED(target->Drop(FData, FKeys, FPoint, &e))) e = DROPEFFECT_NONE;
      *effect = e & FOk;
      return DRAGDROP_S_DROP;
    }
    Leave();
    return hr == DRAGDROP_S_DROP || hr == S_OK ? DRAGDROP_S_DROP : hr;
  }

  IDataObject* FData;
  IDropSource* FSource;
  DWORD FOk;
  DWORD FKeys{0};
  TPoint FPoint;
  HWND FWindow{nullptr};
  ComPtr<IDropTarget> FTarget;
  DWORD FEffect{DROPEFFECT_NONE};
  bool FHandedOver{false};
  olebridge::TDragImage FImage;
};

}  // namespace

HRESULT RegisterDragDrop(HWND window, IDropTarget* target) {
  if (!target) return E_INVALIDARG;
  QWidget* w = layer::WidgetOf(window);
  if (!IsWindow(window) || !w) return DRAGDROP_E_INVALIDHWND;
  ForgetDeadTargets();
  if (Targets().count(window)) return DRAGDROP_E_ALREADYREGISTERED;
  Targets()[window] = ComPtr<IDropTarget>(target);
  w->installEventFilter(Filter());
  w->setAcceptDrops(true);
  // A window that goes without revoking its target lets go of it with its widget.
  QObject::connect(w, &QObject::destroyed, Filter(), [window] { Targets().erase(window); });
  return S_OK;
}

HRESULT RevokeDragDrop(HWND window) {
  auto it = Targets().find(window);
  if (it == Targets().end()) return DRAGDROP_E_NOTREGISTERED;
  Targets().erase(it);
  if (QWidget* w = layer::WidgetOf(window)) {
    w->removeEventFilter(Filter());
    w->setAcceptDrops(false);
    QObject::disconnect(w, nullptr, Filter(), nullptr);
  }
  return S_OK;
}

HRESULT DoDragDrop(IDataObject* dataObject, IDropSource* source, DWORD okEffects, DWORD* effect) {
  if (!dataObject || !source || !effect) return E_INVALIDARG;
  *effect = DROPEFFECT_NONE;
  if (gInDrag) return E_UNEXPECTED;
  gInDrag = true;
  struct Reset {
    ~Reset() { gInDrag = false; }
  } reset;
  // Both stay alive for the whole drag, whatever a target does with its references.
  ComPtr<IDataObject> data(dataObject);
  ComPtr<IDropSource> src(source);
  TDragLoop loop(dataObject, source, okEffects);
  return loop.Run(effect);
}

namespace olebridge {
void SetDesktopDrag(TDesktopDrag drag) { DesktopDrag() = std::move(drag); }
}  // namespace olebridge

namespace ole::testing {
int RegisteredTargets() {
  ForgetDeadTargets();
  return static_cast<int>(Targets().size());
}
}  // namespace ole::testing

}  // namespace pf
