// The message queue and loop: posted messages (from any thread), input turned from the toolkit's
// events, the quit flag, WM_PAINT and WM_TIMER, in Windows' order; dispatch with owned payloads.

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <iostream>
#include <mutex>
#include <thread>
#include <unordered_set>

#include "platform/rtl/Clock.h"
#include "platform/rtl/Exceptions.h"
#include "platform/user/Layer_p.h"

namespace pf {

namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 0x3A1);

// Wakes the GUI thread's wait: a posted message, a clock advance, or a real timer coming due.
class TWaker : public QObject {
public:
  bool event(QEvent* e) override;
  QTimer DueTimer;
};

struct TTimerEntry {
  HWND Wnd{nullptr};
  UINT_PTR Id{0};
  UINT Interval{0};
  Int64 Due{0};
  TIMERPROC Proc;
};

std::mutex gMutex;                          // guards gPosted and gLive
std::deque<MSG> gPosted;
std::unordered_set<uintptr_t> gLive;
std::atomic<bool> gWakePending{false};
TWaker* gWaker = nullptr;

std::deque<MSG> gInput;                     // GUI thread only from here on
bool gQuit = false;
int gQuitCode = 0;
// A deque: a frame stays where it is while nested dispatches stack more, so what CurrentMessage
// and TopFrame answered stays valid for the handler that asked.
std::deque<layer::TDispatchFrame> gFrames;
std::vector<TTimerEntry> gTimers;
UINT_PTR gNextThreadTimer = 0x7F00;
std::function<void(std::exception_ptr)> gExceptionHandler;

bool TWaker::event(QEvent* e) {
  if (e->type() == kWakeEvent) {
    gWakePending.store(false);
    return true;
  }
  return QObject::event(e);
}

bool InRange(UINT m, UINT mn, UINT mx) { return (mn == 0 && mx == 0) || (m >= mn && m <= mx); }

bool Matches(const MSG& m, HWND filter, UINT mn, UINT mx) {
  if (!InRange(m.message, mn, mx)) return false;
  return !filter || m.hwnd == filter || IsChild(filter, m.hwnd);
}

void Stamp(MSG& m) {
  m.time = GetTickCount();
  GetCursorPos(&m.pt);
}

void PumpToolkit() {
  if (QCoreApplication::instance() && IsGuiThread()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool TakeFrom(std::deque<MSG>& q, MSG* out, HWND filter, UINT mn, UINT mx, bool remove,
              std::vector<MSG>& dead, bool locked) {
  for (auto it = q.begin(); it != q.end();) {
    bool gone = it->hwnd && (locked ? !gLive.count(reinterpret_cast<uintptr_t>(it->hwnd))
                                    : !IsWindow(it->hwnd));
    if (gone) {
      // A message for a window that is gone is dropped with its payload.
      dead.push_back(std::move(*it));
      it = q.erase(it);
      continue;
    }
    if (Matches(*it, filter, mn, mx)) {
      *out = *it;
      if (remove) q.erase(it);
      return true;
    }
    ++it;
  }
  return false;
}

bool NextPaint(MSG* out, HWND filter, UINT mn, UINT mx) {
  if (!InRange(WM_PAINT, mn, mx)) return false;
  for (auto& [id, obj] : layer::Windows()) {
    (void)id;
    if (obj->Destroying || (obj->Update.isEmpty() && !obj->FramePaint)) continue;
    HWND h = obj->Handle();
    if (!IsWindowVisible(h)) continue;
    if (filter && h != filter && !IsChild(filter, h)) continue;
    *out = MSG{h, WM_PAINT, 0, 0, 0, {}, nullptr};
    return true;
  }
  return false;
}

bool NextTimer(MSG* out, HWND filter, UINT mn, UINT mx, bool remove) {
  if (!InRange(WM_TIMER, mn, mx)) return false;
  Int64 now = clock::TickCount();
  for (TTimerEntry& t : gTimers) {
    if (t.Due > now) continue;
    if (filter && t.Wnd != filter && !IsChild(filter, t.Wnd)) continue;
    *out = MSG{t.Wnd, WM_TIMER, t.Id, t.Proc ? 1 : 0, 0, {}, nullptr};
    // Windows reschedules from the moment the message is taken, so a slow handler never
    // makes a backlog of ticks.
    if (remove) t.Due = now + t.Interval;
    return true;
  }
  return false;
}

void ArmDueTimer() {
  if (!gWaker || clock::IsManual() || gTimers.empty()) return;
  Int64 due = gTimers.front().Due;
  for (const TTimerEntry& t : gTimers) due = std::min(due, t.Due);
  Int64 wait = std::max<Int64>(0, due - clock::TickCount());
  gWaker->DueTimer.start(static_cast<int>(std::min<Int64>(wait + 1, 1 << 30)));
}

void Report(std::exception_ptr e) {
  if (gExceptionHandler) {
    gExceptionHandler(e);
    return;
  }
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& ex) {
    std::cerr << "unhandled exception in a window procedure: " << ex.what() << "\n";
  } catch (...) {
    std::cerr << "unhandled exception in a window procedure\n";
  }
}

// Frees what a handler left behind: a payload nobody took.
void DropPayload(const std::shared_ptr<TMsgExtra>& extra) {
  if (extra) extra->Payload.reset();
}

struct FramePush {
  explicit FramePush(const MSG& m, std::shared_ptr<TMsgExtra> extra) {
    gFrames.push_back(layer::TDispatchFrame{m, std::move(extra)});
  }
  ~FramePush() { gFrames.pop_back(); }
};

}  // namespace

namespace layer {

void RegisterLive(uintptr_t id) {
  std::lock_guard<std::mutex> lock(gMutex);
  gLive.insert(id);
}

void UnregisterLive(uintptr_t id) {
  std::lock_guard<std::mutex> lock(gMutex);
  gLive.erase(id);
}

void QueueInput(MSG msg) {
  Stamp(msg);
  // As on the platform, moves waiting in the queue merge: the program sees where the mouse is,
  // not every step it took, and a slow handler does not fall behind.
  if (msg.message == WM_MOUSEMOVE && !gInput.empty()) {
    MSG& last = gInput.back();
    if (last.message == WM_MOUSEMOVE && last.hwnd == msg.hwnd && last.wParam == msg.wParam) {
      last = std::move(msg);
      return;
    }
  }
  gInput.push_back(std::move(msg));
}

void Wake() {
  if (gWakePending.exchange(true)) return;
  if (QCoreApplication::instance() && gWaker)
    QCoreApplication::postEvent(gWaker, new QEvent(kWakeEvent));
  else
    gWakePending.store(false);
}

TDispatchFrame* TopFrame() { return gFrames.empty() ? nullptr : &gFrames.back(); }

void DropTimersOf(HWND h) {
  gTimers.erase(std::remove_if(gTimers.begin(), gTimers.end(), [h](const TTimerEntry& t) { return t.Wnd == h; }),
                gTimers.end());
}

void DropMessagesOf(HWND h) {
  std::vector<MSG> dead;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    for (auto it = gPosted.begin(); it != gPosted.end();) {
      if (it->hwnd == h) {
        dead.push_back(std::move(*it));
        it = gPosted.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (MSG& m : dead) DropPayload(m.Extra);
  gInput.erase(std::remove_if(gInput.begin(), gInput.end(), [h](const MSG& m) { return m.hwnd == h; }),
               gInput.end());
}

void StartQueue() {
  gWaker = new TWaker();
  gWaker->DueTimer.setSingleShot(true);
  clock::SetAdvanceListener([] { Wake(); });
}

void FinishQueue() {
  clock::SetAdvanceListener({});
  testing::ResetQueue();
  gTimers.clear();
  delete gWaker;
  gWaker = nullptr;
}

}  // namespace layer

bool PeekMessage(MSG* msg, HWND filter, UINT mn, UINT mx, UINT removeFlags) {
  Assert(IsGuiThread(), u"PeekMessage called outside the GUI thread");
  bool remove = (removeFlags & PM_REMOVE) != 0;
  layer::BuryWidgets();
  PumpToolkit();
  std::vector<MSG> dead;
  bool found;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    found = TakeFrom(gPosted, msg, filter, mn, mx, remove, dead, true);
  }
  if (!found) {
    found = TakeFrom(gInput, msg, filter, mn, mx, remove, dead, false);
    if (found && remove) layer::NoteInput(msg->message);
  }
  for (MSG& m : dead) DropPayload(m.Extra);
  if (found) return true;
  if (gQuit && InRange(WM_QUIT, mn, mx)) {
    *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(gQuitCode), 0, 0, {}, nullptr};
    Stamp(*msg);
    if (remove) gQuit = false;
    return true;
  }
  if (NextPaint(msg, filter, mn, mx) || NextTimer(msg, filter, mn, mx, remove)) {
    Stamp(*msg);
    return true;
  }
  return false;
}

void WaitMessage() {
  Assert(IsGuiThread(), u"WaitMessage called outside the GUI thread");
  if (!QCoreApplication::instance()) {
    std::this_thread::yield();
    return;
  }
  ArmDueTimer();
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool GetMessage(MSG* msg, HWND filter, UINT mn, UINT mx) {
  for (;;) {
    if (PeekMessage(msg, filter, mn, mx, PM_REMOVE)) return msg->message != WM_QUIT;
    WaitMessage();
  }
}

bool PostMessage(HWND h, UINT msg, WPARAM w, LPARAM l) {
  {
    std::lock_guard<std::mutex> lock(gMutex);
    if (h && !gLive.count(reinterpret_cast<uintptr_t>(h))) return false;
    gPosted.push_back(MSG{h, msg, w, l, 0, {}, nullptr});
    if (IsGuiThread()) Stamp(gPosted.back());
    else gPosted.back().time = static_cast<DWORD>(clock::TickCount());
  }
  layer::Wake();
  return true;
}

bool PostMessage(HWND h, UINT msg, WPARAM w, Owned<TObject> payload) {
  auto extra = std::make_shared<TMsgExtra>();
  LPARAM l = reinterpret_cast<LPARAM>(payload.get());
  extra->Payload = std::move(payload);
  {
    std::lock_guard<std::mutex> lock(gMutex);
    if (h && !gLive.count(reinterpret_cast<uintptr_t>(h))) return false;  // extra frees it here
    gPosted.push_back(MSG{h, msg, w, l, static_cast<DWORD>(clock::TickCount()), {}, std::move(extra)});
  }
  layer::Wake();
  return true;
}

Owned<TObject> TakePayload(LPARAM lParam) {
  if (!lParam) return nullptr;
  for (auto it = gFrames.rbegin(); it != gFrames.rend(); ++it) {
    TMsgExtra* x = it->Extra.get();
    if (x && x->Payload && reinterpret_cast<LPARAM>(x->Payload.get()) == lParam)
      return std::move(x->Payload);
  }
  return nullptr;
}

TObject* PayloadOf(LPARAM lParam) {
  if (!lParam) return nullptr;
  for (auto it = gFrames.rbegin(); it != gFrames.rend(); ++it) {
    TMsgExtra* x = it->Extra.get();
    if (x && x->Payload && reinterpret_cast<LPARAM>(x->Payload.get()) == lParam) return x->Payload.get();
  }
  return nullptr;
}

void PostQuitMessage(int exitCode) {
  Assert(IsGuiThread(), u"PostQuitMessage called outside the GUI thread");
  gQuit = true;
  gQuitCode = exitCode;
}

LRESULT SendMessage(HWND h, UINT msg, WPARAM w, LPARAM l) {
  Assert(IsGuiThread(), u"SendMessage called from a thread other than the GUI thread");
  std::shared_ptr<TWindowObj> wnd = layer::Retain(h);
  if (!wnd) return 0;
  WNDPROC proc = wnd->Proc;  // a procedure may replace itself while it runs
  MSG m{h, msg, w, l, GetTickCount(), {}, nullptr};
  FramePush frame(m, nullptr);
  return CallWindowProc(proc, h, msg, w, l);
}

LRESULT DispatchMessage(const MSG* msg) {
  Assert(IsGuiThread(), u"DispatchMessage called outside the GUI thread");
  if (!msg) return 0;
  std::shared_ptr<TMsgExtra> extra = msg->Extra;
  layer::UpdateKeyStateAt(*msg);
  LRESULT result = 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    TIMERPROC proc;
    for (const TTimerEntry& t : gTimers)
      if (t.Wnd == msg->hwnd && t.Id == msg->wParam) proc = t.Proc;
    if (proc) {
      FramePush frame(*msg, extra);
      try {
        proc(msg->hwnd, WM_TIMER, msg->wParam, static_cast<DWORD>(msg->time));
      } catch (...) {
        Report(std::current_exception());
      }
    }
    return 0;
  }
  std::shared_ptr<TWindowObj> wnd = msg->hwnd ? layer::Retain(msg->hwnd) : nullptr;
  if (wnd && !wnd->Destroying) {
    WNDPROC proc = wnd->Proc;
    FramePush frame(*msg, extra);
    try {
      result = CallWindowProc(proc, msg->hwnd, msg->message, msg->wParam, msg->lParam);
    } catch (...) {
      Report(std::current_exception());
    }
    // A frame-only paint is owed once, whatever the handler did with it.
    if (msg->message == WM_PAINT) wnd->FramePaint = false;
  }
  DropPayload(extra);
  return result;
}

const MSG* CurrentMessage() { return gFrames.empty() ? nullptr : &gFrames.back().Msg; }

DWORD GetMessageTime() { return gFrames.empty() ? 0 : gFrames.back().Msg.time; }

void SetDispatchExceptionHandler(std::function<void(std::exception_ptr)> handler) {
  gExceptionHandler = std::move(handler);
}

UINT_PTR SetTimer(HWND h, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  Assert(IsGuiThread(), u"SetTimer called outside the GUI thread");
  if (h && !IsWindow(h)) return 0;
  // The platform's smallest interval.
  UINT interval = std::max<UINT>(elapseMs, 10);
  if (!h) id = ++gNextThreadTimer;
  Int64 due = clock::TickCount() + interval;
  for (TTimerEntry& t : gTimers) {
    if (t.Wnd == h && t.Id == id) {
      t.Interval = interval;
      t.Due = due;
      t.Proc = std::move(proc);
      return h ? 1 : id;
    }
  }
  gTimers.push_back(TTimerEntry{h, id, interval, due, std::move(proc)});
  return h ? (id ? id : 1) : id;
}

bool KillTimer(HWND h, UINT_PTR id) {
  auto it = std::find_if(gTimers.begin(), gTimers.end(),
                         [&](const TTimerEntry& t) { return t.Wnd == h && t.Id == id; });
  if (it == gTimers.end()) return false;
  gTimers.erase(it);
  return true;
}

DWORD GetTickCount() { return static_cast<DWORD>(clock::TickCount()); }

namespace testing {

int QueuedMessageCount() {
  std::lock_guard<std::mutex> lock(gMutex);
  return static_cast<int>(gPosted.size() + gInput.size());
}

void ResetQueue() {
  std::deque<MSG> dead;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    dead.swap(gPosted);
  }
  for (MSG& m : dead) DropPayload(m.Extra);
  gInput.clear();
  gQuit = false;
  gQuitCode = 0;
  layer::ResetInputState();
}

}  // namespace testing

}  // namespace pf
