#pragma once
// Threads and synchronisation of the class library. A thread is owned by the object that made it
// and joined by it (Free terminates and waits); threads never free themselves.

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/rtl/Object.h"

namespace pf {

class TThread : public TObject {
public:
  void Start();
  // Sets Terminated and wakes the thread's clock waits.
  void Terminate();
  bool Terminated() const { return FTerminated.load(); }
  // Waits until Execute has returned; answers ReturnValue.
  Integer WaitFor();
  bool Finished() const { return FFinished.load(); }
  bool Started() const { return FStarted; }
  // The exception that ended Execute, if any (never rethrown on another thread by itself).
  std::exception_ptr FatalException() const { return FFatalException; }
  // True when called on this thread.
  bool IsCurrentThread() const;
  static bool IsMainThread();
  static void SetMainThread();  // the layer's start-up calls it on the GUI thread

  // Sleeps on the layer's clock; answers false when the thread was terminated first.
  bool SleepInterruptible(Int64 ms);

protected:
  // The thread starts after construction unless createSuspended.
  void Create(bool createSuspended);
  void AfterConstruction() override;
  // Terminates and joins the thread before any Destroy of a derived class frees what Execute
  // still uses.
  void BeforeDestruction() override;
  // Terminates and joins the thread.
  void Destroy() override;
  virtual void Execute() = 0;
  const std::atomic<bool>& TerminatedFlag() const { return FTerminated; }

  Integer ReturnValue{0};

private:
  void Run();
  void TerminateAndJoin();
  std::thread FThread;
  mutable std::mutex FStartMutex;  // held while Start stores FThread, so Run sees it complete
  std::mutex FJoinMutex;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  bool FStarted{false};
  bool FCreateSuspended{false};
  std::exception_ptr FFatalException;
};

// A manual- or auto-reset event whose waits run on the layer's clock.
class TEvent {
public:
  explicit TEvent(bool manualReset = true, bool initialState = false);
  void SetEvent();
  void ResetEvent();
  // Answers true when signalled within `ms` (-1: no limit).
  bool WaitFor(Int64 ms = -1);

private:
  std::mutex FMutex;
  std::condition_variable FCond;
  bool FManualReset;
  bool FSignalled;
};

using TCriticalSection = std::recursive_mutex;

// Thread priorities, relative to the process as the platform counts them.
constexpr int THREAD_PRIORITY_IDLE = -15;
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;

// A Linux thread has a niceness of its own (the kernel schedules threads, not processes). A
// priority becomes a step away from the niceness the thread started with: idle is the bottom of
// the range, time-critical its top, values between the named ones go to the nearer side.
int NiceStepOfThreadPriority(int priority);
// The niceness of a thread, by its kernel id (0: the calling thread).
int ThreadNice(long tid = 0);
// Sets it, clamped to the range -20..19. Raising a thread (a lower niceness) needs a privilege an
// ordinary user lacks, so it may be refused: the answer says whether the kernel took it, and the
// thread keeps running at the niceness it had.
bool SetThreadNice(int nice, long tid = 0);
// The calling thread's kernel id.
long CurrentThreadKernelId();

}  // namespace pf
