#include "platform/rtl/Threads.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/rtl/Clock.h"
#include "platform/rtl/Exceptions.h"

namespace pf {

namespace {
// The thread that runs static initialisation is the program's main thread until the layer's
// start-up says otherwise.
std::mutex gMainMutex;
std::thread::id gMainThread = std::this_thread::get_id();
}  // namespace

// ---- TThread ----

void TThread::Create(bool createSuspended) {
  TObject::Create();
  FCreateSuspended = createSuspended;
}

void TThread::AfterConstruction() {
  TObject::AfterConstruction();
  if (!FCreateSuspended) Start();
}

void TThread::Start() {
  std::lock_guard<std::mutex> lock(FStartMutex);
  if (FStarted) throw EThread(u"Cannot call Start on a running or suspended thread");
  FStarted = true;
  FThread = std::thread(&TThread::Run, this);
}

void TThread::Run() {
  { std::lock_guard<std::mutex> lock(FStartMutex); }
  try {
    Execute();
  } catch (...) {
    // Nothing may leave a thread: the owner reads FatalException after WaitFor.
    FFatalException = std::current_exception();
  }
  FFinished.store(true);
}

void TThread::Terminate() {
  FTerminated.store(true);
  clock::WakeWaiters();
}

Integer TThread::WaitFor() {
  if (IsCurrentThread()) throw EThread(u"Thread cannot wait for itself");
  std::lock_guard<std::mutex> lock(FJoinMutex);
  if (FThread.joinable()) FThread.join();
  return ReturnValue;
}

bool TThread::IsCurrentThread() const {
  std::lock_guard<std::mutex> lock(FStartMutex);
  return FThread.get_id() == std::this_thread::get_id();
}

bool TThread::IsMainThread() {
  std::lock_guard<std::mutex> lock(gMainMutex);
  return gMainThread == std::this_thread::get_id();
}

void TThread::SetMainThread() {
  std::lock_guard<std::mutex> lock(gMainMutex);
  gMainThread = std::this_thread::get_id();
}

bool TThread::SleepInterruptible(Int64 ms) { return clock::Wait(ms, &FTerminated); }

void TThread::TerminateAndJoin() {
  Terminate();
  std::lock_guard<std::mutex> lock(FJoinMutex);
  if (!FThread.joinable()) return;
  if (FThread.get_id() == std::this_thread::get_id())
    FThread.detach();  // freed from its own Execute: it cannot join itself
  else
    FThread.join();
}

void TThread::BeforeDestruction() {
  TerminateAndJoin();
  TObject::BeforeDestruction();
}

void TThread::Destroy() {
  TerminateAndJoin();
  TObject::Destroy();
}

// ---- TEvent ----

TEvent::TEvent(bool manualReset, bool initialState) : FManualReset(manualReset), FSignalled(initialState) {}

void TEvent::SetEvent() {
  // Woken under the lock: a waiter that frees the event once it sees it set cannot do so before
  // the wake-up is over.
  std::lock_guard<std::mutex> lock(FMutex);
  FSignalled = true;
  FCond.notify_all();
}

void TEvent::ResetEvent() {
  std::lock_guard<std::mutex> lock(FMutex);
  FSignalled = false;
}

bool TEvent::WaitFor(Int64 ms) {
  std::unique_lock<std::mutex> lock(FMutex);
  auto take = [&] {
    if (!FSignalled) return false;
    if (!FManualReset) FSignalled = false;
    return true;
  };
  if (take()) return true;
  if (ms == 0) return false;
  if (ms < 0) {
    FCond.wait(lock, [&] { return FSignalled; });
    return take();
  }
  if (clock::IsManual()) {
    // The manual clock moves only when a test advances it, so the wait looks at it now and then;
    // in instant mode an unsignalled wait passes its whole time at once.
    const Int64 deadline = clock::TickCount() + ms;
    while (!FSignalled && clock::IsManual()) {
      if (clock::TickCount() >= deadline) return false;
      if (clock::IsInstant()) {
        lock.unlock();
        clock::Advance(deadline - clock::TickCount());
        lock.lock();
        return take();
      }
      FCond.wait_for(lock, std::chrono::milliseconds(5));
    }
    return take();
  }
  FCond.wait_for(lock, std::chrono::milliseconds(ms), [&] { return FSignalled; });
  return take();
}

int NiceStepOfThreadPriority(int priority) {
  if (priority <= THREAD_PRIORITY_IDLE) return 39;  // anything from the start goes to 19
  if (priority >= THREAD_PRIORITY_TIME_CRITICAL) return -39;
  switch (priority) {
    case THREAD_PRIORITY_NORMAL: return 0;
    case THREAD_PRIORITY_BELOW_NORMAL: return 5;
    case THREAD_PRIORITY_LOWEST: return 10;
    case THREAD_PRIORITY_ABOVE_NORMAL: return -5;
    case THREAD_PRIORITY_HIGHEST: return -10;
    default: return priority < 0 ? 15 : -15;
  }
}

long CurrentThreadKernelId() { return static_cast<long>(::syscall(SYS_gettid)); }

int ThreadNice(long tid) {
  errno = 0;
  int n = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid ? tid : CurrentThreadKernelId()));
  return errno ? 0 : n;
}

bool SetThreadNice(int nice, long tid) {
  nice = std::clamp(nice, -20, 19);
  return ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid ? tid : CurrentThreadKernelId()), nice) == 0;
}

}  // namespace pf
