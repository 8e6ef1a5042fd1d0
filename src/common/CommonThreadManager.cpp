// Worker threads, requests and the shell-execute thread.

#include "common/CommonThreadManager.h"

#include <cerrno>
#include <condition_variable>
#include <thread>

#include "common/CommonUtilities.h"
#include "platform/ole/DataTransfer.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/Units.h"

namespace common {

// The platform thread behind a TCommonThread. A thread made suspended waits at its gate until
// resumed; one never resumed is let go without running when the unit finalises.
struct TCommonThreadControl {
  std::thread Thread;
  std::mutex Mutex;
  std::condition_variable Cond;
  bool Open{false};
  bool Abandoned{false};
  std::atomic<bool> Done{false};
  // The object frees itself: its thread is joined by the unit, not by an owner.
  std::atomic<bool> SelfFreeing{false};
  std::thread::id WorkerId;  // written by the worker before it runs anything
  // While the worker runs (under Mutex): its kernel id and the niceness it started with, which
  // every priority is counted from.
  long KernelId{0};
  int BaseNice{0};
  std::mutex JoinMutex;
  // The thread object's event, made on first use.
  std::mutex EventMutex;
  std::unique_ptr<TEvent> Event;
};

namespace {

std::atomic<Integer> gLiveThreads{0};
std::atomic<Integer> gLiveRequests{0};
std::atomic<Cardinal> gNextThreadId{1};
std::mutex gRegistryMutex;
std::vector<std::shared_ptr<TCommonThreadControl>> gRegistry;

void JoinOnce(TCommonThreadControl& c) {
  std::lock_guard<std::mutex> lock(c.JoinMutex);
  std::thread::id worker;
  {
    std::lock_guard<std::mutex> idLock(c.Mutex);
    worker = c.WorkerId;
  }
  if (c.Thread.joinable() && worker != std::this_thread::get_id()) c.Thread.join();
}

void Unregister(const TCommonThreadControl* c) {
  std::lock_guard<std::mutex> lock(gRegistryMutex);
  std::erase_if(gRegistry, [c](const auto& p) { return p.get() == c; });
}

// Threads that freed themselves and have ended are joined as new ones come, so the registry does
// not grow with every one the program starts.
void PruneEnded() {
  std::vector<std::shared_ptr<TCommonThreadControl>> ended;
  {
    std::lock_guard<std::mutex> lock(gRegistryMutex);
    for (auto it = gRegistry.begin(); it != gRegistry.end();) {
      if ((*it)->SelfFreeing && (*it)->Done) {
        ended.push_back(*it);
        it = gRegistry.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& c : ended) JoinOnce(*c);
}

std::mutex gHandOverMutex;
std::function<void()> gHandOver;

// A call has just let a thread that may free itself run to its end.
void HandOver() {
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(gHandOverMutex);
    hook = gHandOver;
  }
  if (hook) hook();
}

// Notified under the lock: once the worker may run, the block may go with it (a thread that ended
// is joined and dropped by whoever starts the next one).
void OpenGate(TCommonThreadControl& c) {
  {
    std::lock_guard<std::mutex> lock(c.Mutex);
    c.Open = true;
    c.Cond.notify_all();
  }
  HandOver();
}

TEvent& EventOf(TCommonThreadControl& c) {
  std::lock_guard<std::mutex> lock(c.EventMutex);
  if (!c.Event) c.Event = std::make_unique<TEvent>(true, false);
  return *c.Event;
}

}  // namespace

// ---- TCommonThreadRequest ----

void TCommonThreadRequest::Create() {
  TObject::Create();
  FCallbackWndMessage = WM_COMMONTHREADCALLBACK;
  FPriority = 50;
  ++gLiveRequests;
}

void TCommonThreadRequest::Destroy() {
  --gLiveRequests;
  TObject::Destroy();
}

void TCommonThreadRequest::SetWindow(TWinControl* v) {
  FWindow = v;
  FWindowAlive = v ? v->AliveFlag() : nullptr;
}

TWinControl* TCommonThreadRequest::LiveWindow() const { return FWindowAlive && *FWindowAlive ? FWindow : nullptr; }

void TCommonThreadRequest::Assign(TObject* source) {
  auto* r = dynamic_cast<TCommonThreadRequest*>(source);
  if (!r) {
    String from = source ? source->ClassName() : String(u"nil");
    throw EConvertError(u"Cannot assign a " + from + u" to a " + ClassName());
  }
  FWindow = r->FWindow;
  FWindowAlive = r->FWindowAlive;
  FID = r->FID;
  FItem = r->FItem;
  FRemainingRequests = r->FRemainingRequests;
  FCallbackWndMessage = r->FCallbackWndMessage;
  FPriority = r->FPriority;
  FTag = r->FTag;
}

TWMThreadRequest ThreadRequestOf(UINT msg, WPARAM w, LPARAM l) {
  TWMThreadRequest m;
  m.Msg = msg;
  m.RequestID = static_cast<Integer>(w);
  // Only a request the queue carries is one: anyone may post this number with a plain lParam.
  m.Request = dynamic_cast<TCommonThreadRequest*>(PayloadOf(l));
  return m;
}

namespace {

// The window on the GUI thread that every answer passes through on its way to its own window.
std::atomic<HWND> gRelay{nullptr};

LRESULT RelayProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  auto* request = dynamic_cast<TCommonThreadRequest*>(PayloadOf(l));
  if (!request) return DefWindowProc(h, msg, w, l);
  // Handed on at once, so the answer keeps its place among the messages posted after it. A
  // control without a parent makes no window; the request then goes with this message, as it
  // does when its window does not take it.
  TWinControl* window = request->LiveWindow();
  if (HWND target = window ? window->Handle() : nullptr) SendMessage(target, msg, w, l);
  return 0;
}

}  // namespace

bool PostThreadRequest(Owned<TCommonThreadRequest> request) {
  HWND relay = gRelay.load();
  if (!request || !request->GetWindow() || !relay) return false;
  UINT msg = request->GetCallbackWndMessage();
  WPARAM id = request->GetID();
  return PostMessage(relay, msg, id, Owned<TObject>(request.release()));
}

// ---- TCommonThread ----

void TCommonThread::Create(bool createSuspended) {
  TObject::Create();
  PruneEnded();
  ++gLiveThreads;
  FDirection = TCommonThreadDirection::etdFirstInLastOut;
  FSuspended = createSuspended;
  FThreadID = gNextThreadId++;
  FControl = std::make_shared<TCommonThreadControl>();
  FHandle = FControl.get();
  std::shared_ptr<TCommonThreadControl> control = FControl;
  FControl->Thread = std::thread([control, this] {
    {
      std::unique_lock<std::mutex> lock(control->Mutex);
      control->WorkerId = std::this_thread::get_id();
      control->Cond.wait(lock, [&] { return control->Open || control->Abandoned; });
      if (!control->Open) {
        control->Done = true;
        return;
      }
    }
    Run();
    control->Done = true;
  });
  std::lock_guard<std::mutex> lock(gRegistryMutex);
  gRegistry.push_back(FControl);
}

void TCommonThread::AfterConstruction() {
  TObject::AfterConstruction();
  // A thread that is not made suspended starts once the object is whole, so Execute never sees
  // a half-made object.
  if (!FSuspended) OpenGate(*FControl);
}

void TCommonThread::ApplyPriority() {
  std::lock_guard<std::mutex> lock(FControl->Mutex);
  if (!FControl->KernelId) return;
  SetThreadNice(FControl->BaseNice + NiceStepOfThreadPriority(FSchedulingPriority), FControl->KernelId);
}

void TCommonThread::SetPriority(Integer v) {
  FSchedulingPriority = v;
  if (FHandle) ApplyPriority();
}

void TCommonThread::Run() {
  {
    std::lock_guard<std::mutex> lock(FControl->Mutex);
    FControl->KernelId = CurrentThreadKernelId();
    FControl->BaseNice = ThreadNice();
  }
  if (FSchedulingPriority != THREAD_PRIORITY_NORMAL) ApplyPriority();
  FRunning = true;
  OLEInit();
  try {
    Execute();
  } catch (...) {
    // Exceptions never cross a thread's Execute.
  }
  OLEUninit();
  {
    // The kernel hands the id on once the thread has gone; nobody may set a niceness through it.
    std::lock_guard<std::mutex> lock(FControl->Mutex);
    FControl->KernelId = 0;
  }
  FRunning = false;
  // Once Finished is published the owner may free the object: the handle is let go before, and
  // only locals are used after it. Whether the thread frees the object is settled under the
  // block's lock, which SetFreeOnTerminate takes too.
  std::shared_ptr<TCommonThreadControl> control = FControl;
  bool freeIt;
  {
    std::lock_guard<std::mutex> lock(control->Mutex);
    freeIt = FFreeOnTerminate;
    control->SelfFreeing = freeIt;
    FHandle = nullptr;
    FFinished = true;
  }
  if (freeIt) {
    try {
      Free();
    } catch (...) {
    }
  }
}

void TCommonThread::Destroy() {
  if (!FFinished) Assert(false, u"The Thread must be terminated before destroying the TCommonThread object",
                         CommonThreadManagerUnit);
  if (FControl) {
    // The owner waits for the thread to end; a thread freeing itself is joined by the unit.
    if (FControl->WorkerId != std::this_thread::get_id()) {
      JoinOnce(*FControl);
      Unregister(FControl.get());
    }
    FHandle = nullptr;
    FControl.reset();
  }
  {
    std::lock_guard<std::mutex> lock(FRequestMutex);
    for (TCommonThreadRequest* r : FRequestList) r->Free();
    FRequestList.clear();
  }
  --gLiveThreads;
  TObject::Destroy();
}

void TCommonThread::SetFreeOnTerminate(bool v) {
  TCommonThreadControl* c = FControl.get();
  if (!c) {
    FFreeOnTerminate = v;
    return;
  }
  {
    // The thread cannot settle its end meanwhile; once the lock is let go it may free the object.
    std::lock_guard<std::mutex> lock(c->Mutex);
    FFreeOnTerminate = v;
    if (!FFinished) c->SelfFreeing = v;
  }
  if (v) HandOver();
}

void TCommonThread::SetSuspended(bool v) {
  if (v == FSuspended || !FHandle) return;
  if (!v) {
    FSuspended = false;
    OpenGate(*FControl);
    return;
  }
  std::lock_guard<std::mutex> lock(FControl->Mutex);
  if (!FControl->Open) FSuspended = true;
}

void TCommonThread::Terminate() {
  // A running thread that frees itself may end and free the object as soon as it sees the flag:
  // after it only the control block, held here, is touched. A suspended one cannot run before its
  // gate opens, which comes last, so it finds the flag set at its first look.
  std::shared_ptr<TCommonThreadControl> control = FControl;
  const bool resume = FSuspended;
  FTerminated = true;
  if (!resume) HandOver();
  if (control) EventOf(*control).SetEvent();
  if (resume) Resume();
}

TEvent& TCommonThread::Event() { return EventOf(*FControl); }

void TCommonThread::TriggerEvent() {
  std::shared_ptr<TCommonThreadControl> control = FControl;
  if (control) EventOf(*control).SetEvent();
}

std::vector<TCommonThreadRequest*>& TCommonThread::LockRequestList() {
  FRequestMutex.lock();
  return FRequestList;
}

void TCommonThread::UnlockRequestList() { FRequestMutex.unlock(); }

bool TCommonThread::OLEInit() {
  FOLEInitialized = OleInitialize(nullptr) >= 0;
  return FOLEInitialized;
}

void TCommonThread::OLEUninit() {
  if (FOLEInitialized) OleUninitialize();
}

// ---- TCommonShellExecuteThread ----

void TCommonShellExecuteThread::Create(bool createSuspended) {
  TCommonThread::Create(createSuspended);
  SetFreeOnTerminate(true);
  ShellExecuteInfoA = SHELLEXECUTEINFOA{};
  ShellExecuteInfoW = SHELLEXECUTEINFOW{};
}

void TCommonShellExecuteThread::Destroy() {
  if (FPIDL && CommonThreadManagerPIDLMgr) CommonThreadManagerPIDLMgr->FreePIDL(FPIDL);
  FPIDL = nullptr;
  TCommonThread::Destroy();
}

void TCommonShellExecuteThread::Execute() {
  if (!IsWideApiPlatform()) {
    std::string file = StringToAnsi(FlpFile), params = StringToAnsi(FlpParameters),
                dir = StringToAnsi(FlpDirectory), verb = StringToAnsi(FlpVerb), cls = StringToAnsi(FlpClass);
    // What the creator put in the record stays where the thread has nothing of its own.
    auto place = [](const char*& field, const String& w, const std::string& a) {
      if (!w.empty()) field = a.c_str();
    };
    place(ShellExecuteInfoA.lpFile, FlpFile, file);
    place(ShellExecuteInfoA.lpParameters, FlpParameters, params);
    place(ShellExecuteInfoA.lpDirectory, FlpDirectory, dir);
    place(ShellExecuteInfoA.lpVerb, FlpVerb, verb);
    place(ShellExecuteInfoA.lpClass, FlpClass, cls);
    ShellExecuteInfoA.lpIDList = FPIDL;
    ShellExecuteExA(&ShellExecuteInfoA);
    return;
  }
  auto place = [](const Char*& field, const String& w) {
    if (!w.empty()) field = w.c_str();
  };
  place(ShellExecuteInfoW.lpFile, FlpFile);
  place(ShellExecuteInfoW.lpParameters, FlpParameters);
  place(ShellExecuteInfoW.lpDirectory, FlpDirectory);
  place(ShellExecuteInfoW.lpVerb, FlpVerb);
  place(ShellExecuteInfoW.lpClass, FlpClass);
  ShellExecuteInfoW.lpIDList = FPIDL;
  using TShellExecuteExW = BOOL(SHELLEXECUTEINFOW*);
  if (auto* bound = ProcAs<TShellExecuteExW>(BoundEntryPoint("ShellExecuteExW"))) bound(&ShellExecuteInfoW);
}

// ---- The unit ----

Integer CommonThreadCount() { return gLiveThreads.load(); }
Integer CommonThreadRequestCount() { return gLiveRequests.load(); }

void JoinSelfFreeingThreads() {
  for (;;) {
    std::vector<std::shared_ptr<TCommonThreadControl>> threads;
    {
      std::lock_guard<std::mutex> lock(gRegistryMutex);
      threads = gRegistry;
    }
    bool waited = false;
    for (auto& c : threads) {
      if (!c->SelfFreeing) continue;
      JoinOnce(*c);
      Unregister(c.get());
      waited = true;
    }
    if (!waited) return;
  }
}

namespace testing {
void SetHandOverHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(gHandOverMutex);
  gHandOver = std::move(hook);
}
}  // namespace testing

TCommonPIDLManager* CommonThreadManagerPIDLMgr = nullptr;

namespace {
TUnitCounter gUnit;
}  // namespace

void InitializeCommonThreadManager() {
  if (!gUnit.Enter()) return;
  CommonThreadManagerPIDLMgr = TCommonPIDLManager::New();
  if (LayerStarted() && IsGuiThread())
    gRelay = CreateWindowEx(0, u"TCommonThreadRelay", u"", 0, 0, 0, 0, 0, nullptr, RelayProc);
}

void FinalizeCommonThreadManager() {
  if (!gUnit.Leave()) return;
  // Every thread still here ends before the unit does: threads never resumed are let go without
  // running, the others are waited for.
  std::vector<std::shared_ptr<TCommonThreadControl>> threads;
  {
    std::lock_guard<std::mutex> lock(gRegistryMutex);
    threads.swap(gRegistry);
  }
  for (auto& c : threads) {
    {
      std::lock_guard<std::mutex> lock(c->Mutex);
      if (!c->Open) c->Abandoned = true;
    }
    c->Cond.notify_all();
  }
  for (auto& c : threads) JoinOnce(*c);
  // Answers still on their way are freed with the window.
  if (HWND relay = gRelay.exchange(nullptr); relay && LayerStarted() && IsGuiThread() && IsWindow(relay))
    DestroyWindow(relay);
  FreeAndNil(CommonThreadManagerPIDLMgr);
}

}  // namespace common
