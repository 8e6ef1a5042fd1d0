#include "platform/user/guimain/GuiTest.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

#include <chrono>
#include <map>
#include <vector>

#include "platform/user/Window_p.h"

namespace guitest {

namespace {
std::map<Stage, std::vector<std::function<void()>>>& Stages() {
  static std::map<Stage, std::vector<std::function<void()>>> stages;
  return stages;
}

QWidget* Widget(pf::HWND h) { return pf::layer::WidgetOf(h); }

QPointF Local(pf::HWND h, pf::TPoint client) {
  pf::TPoint o = pf::layer::Find(h) && pf::layer::Find(h)->IsChild() ? pf::ClientOrigin(h) : pf::TPoint{};
  return QPointF(client.X + o.X, client.Y + o.Y);
}
}  // namespace

void OnStage(Stage stage, std::function<void()> fn) { Stages()[stage].push_back(std::move(fn)); }

void RunStage(Stage stage) {
  for (auto& fn : Stages()[stage]) fn();
}

void PumpPending() {
  pf::MSG msg;
  while (pf::PeekMessage(&msg, nullptr, 0, 0, pf::PM_REMOVE)) {
    if (msg.message == pf::WM_QUIT) {
      pf::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    pf::TranslateMessage(&msg);
    pf::DispatchMessage(&msg);
  }
}

bool PumpUntil(const std::function<bool()>& done, int limitMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  // Wakes the wait now and then so the limit is seen even when nothing arrives.
  QTimer tick;
  tick.start(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    pf::MSG msg;
    if (pf::PeekMessage(&msg, nullptr, 0, 0, pf::PM_REMOVE)) {
      if (msg.message == pf::WM_QUIT) {
        pf::PostQuitMessage(static_cast<int>(msg.wParam));
        return done();
      }
      pf::TranslateMessage(&msg);
      pf::DispatchMessage(&msg);
    } else {
      pf::WaitMessage();
    }
  }
  return true;
}

void Mouse(pf::HWND h, int type, Qt::MouseButton button, pf::TPoint client, Qt::MouseButtons buttons,
           Qt::KeyboardModifiers mods) {
  QWidget* w = Widget(h);
  if (!w) return;
  QPointF local = Local(h, client);
  QMouseEvent e(static_cast<QEvent::Type>(type), local, local, w->mapToGlobal(local), button, buttons, mods);
  QCoreApplication::sendEvent(w, &e);
}

void Click(pf::HWND h, pf::TPoint client, Qt::MouseButton button) {
  Mouse(h, QEvent::MouseButtonPress, button, client, button);
  Mouse(h, QEvent::MouseButtonRelease, button, client, Qt::NoButton);
}

void Wheel(pf::HWND h, pf::TPoint client, int delta, Qt::KeyboardModifiers mods) {
  QWidget* w = Widget(h);
  if (!w) return;
  QPointF local = Local(h, client);
  QWheelEvent e(local, w->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase,
                false);
  QCoreApplication::sendEvent(w, &e);
}

void Key(pf::HWND h, int qtKey, const QString& text, Qt::KeyboardModifiers mods, bool press) {
  QWidget* w = Widget(h);
  if (!w) return;
  QKeyEvent e(press ? QEvent::KeyPress : QEvent::KeyRelease, qtKey, mods, text);
  QCoreApplication::sendEvent(w, &e);
}

void Type(pf::HWND h, int qtKey, const QString& text, Qt::KeyboardModifiers mods) {
  Key(h, qtKey, text, mods, true);
  Key(h, qtKey, text, mods, false);
}

namespace {
class TWork : public pf::TObject {
  PF_CLASS(TWork)
public:
  std::function<void()> Fn;

protected:
  void Create(std::function<void()> fn) { Fn = std::move(fn); }
};

pf::HWND gWorkWnd = nullptr;
constexpr pf::UINT kWorkMsg = pf::WM_APP + 0x3FF;
}  // namespace

void PostWork(std::function<void()> work) {
  if (!pf::IsWindow(gWorkWnd)) {
    gWorkWnd = pf::CreateWindowEx(0, u"TestWork", u"", 0, 0, 0, 1, 1, nullptr,
                                  [](pf::HWND h, pf::UINT m, pf::WPARAM w, pf::LPARAM l) -> pf::LRESULT {
                                    if (m == kWorkMsg) {
                                      pf::Owned<TWork> work = pf::TakePayload<TWork>(l);
                                      if (work) work->Fn();
                                      return 0;
                                    }
                                    return pf::DefWindowProc(h, m, w, l);
                                  });
  }
  pf::PostMessage(gWorkWnd, kWorkMsg, 0, pf::MakeOwned<TWork>(std::move(work)));
}

void ResetWork() {
  if (pf::IsWindow(gWorkWnd)) pf::DestroyWindow(gWorkWnd);
  gWorkWnd = nullptr;
}

pf::HWND FindChildByName(pf::HWND parent, const QString& name) {
  QWidget* w = Widget(parent);
  if (!w) return nullptr;
  for (QWidget* c : w->findChildren<QWidget*>(name)) {
    if (pf::HWND h = pf::layer::HandleOf(c)) return h;
  }
  return nullptr;
}

void CloseBox(pf::HWND h) {
  QWidget* w = Widget(h);
  if (!w) return;
  QCloseEvent e;
  QCoreApplication::sendEvent(w, &e);
}

}  // namespace guitest
