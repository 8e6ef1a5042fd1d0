#pragma once
// A thread object over a plain thread of the platform, a request that carries work and its answer
// back to a window, and a thread that opens something with the shell once and frees itself.
// Threads that free themselves are still owned by this unit: their threads are joined when it
// finalises (or earlier, through JoinSelfFreeingThreads), so none outlives the program's tear-down.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "common/CommonObjects.h"
#include "platform/classlib/Controls.h"
#include "platform/rtl/Threads.h"
#include "platform/shellapi/ShellExecute.h"

namespace common {

using namespace pf;

// The unit's source path, carried by its assertion failures.
inline constexpr const char* CommonThreadManagerUnit = "CommonLibrary\\Source\\CommonThreadManager";

// The message a request is answered with unless it says otherwise.
constexpr UINT WM_COMMONTHREADCALLBACK = 0x8164;

enum class TCommonThreadDirection { etdFirstInFirstOut, etdFirstInLastOut };
using TCommonThreadPriority = uint8_t;  // 0 to 100

class TCommonThread;

class TCommonThreadRequest : public TObject {
public:
  UINT GetCallbackWndMessage() const { return FCallbackWndMessage; }
  void SetCallbackWndMessage(UINT v) { FCallbackWndMessage = v; }
  TCommonThreadPriority GetPriority() const { return FPriority; }
  void SetPriority(TCommonThreadPriority v) { FPriority = static_cast<TCommonThreadPriority>(std::min<int>(v, 100)); }
  Integer GetRemainingRequests() const { return FRemainingRequests; }
  void SetRemainingRequests(Integer v) { FRemainingRequests = v; }
  Integer GetTag() const { return FTag; }
  void SetTag(Integer v) { FTag = v; }
  TCommonThread* GetThread() const { return FThread; }
  void SetThread(TCommonThread* v) { FThread = v; }
  // The window the answer goes to, set on the GUI thread. The answer goes to the window it has
  // when the answer arrives, made then if it has none yet.
  TWinControl* GetWindow() const { return FWindow; }
  void SetWindow(TWinControl* v);
  Cardinal GetID() const { return FID; }
  void SetID(Cardinal v) { FID = v; }
  void* GetItem() const { return FItem; }
  void SetItem(void* v) { FItem = v; }
  Integer RefCount{0};

  // Copies window, ID, item, remaining requests, callback message, priority and tag from another
  // request; anything else raises EConvertError.
  virtual void Assign(TObject* source);
  // The window, while it exists. GUI thread only.
  TWinControl* LiveWindow() const;
  // The work itself, run on the thread.
  virtual void HandleRequest() = 0;
  virtual void Prioritize() {}

protected:
  void Create() override;
  void Destroy() override;

private:
  Cardinal FID{0};
  TCommonThreadPriority FPriority{50};
  Integer FTag{0};
  TCommonThread* FThread{nullptr};
  TWinControl* FWindow{nullptr};
  // Whether FWindow still exists, looked at on the GUI thread only.
  std::shared_ptr<const bool> FWindowAlive;
  void* FItem{nullptr};
  Integer FRemainingRequests{0};
  UINT FCallbackWndMessage{WM_COMMONTHREADCALLBACK};
};

// A request message as its window handles it: the request is in Request and stays the queue's
// until the handler takes it with TakePayload<TCommonThreadRequest>(lParam).
struct TWMThreadRequest {
  Cardinal Msg{0};
  Integer RequestID{0};
  TCommonThreadRequest* Request{nullptr};
  Integer Result{0};
};
TWMThreadRequest ThreadRequestOf(UINT msg, WPARAM w, LPARAM l);
// Answers a request to its window (any thread): its callback message with the request's ID in
// wParam and the request as the payload. Only the GUI thread may ask a control for its window, so
// the answer passes through it; when the window is gone by then, the request is freed. False
// (and the request freed) for a request without a window, or before the unit has started on
// the GUI thread.
bool PostThreadRequest(Owned<TCommonThreadRequest> request);

struct TCommonThreadControl;

class TCommonThread : public TObject {
public:
  TCommonThreadDirection GetDirection() const { return FDirection; }
  void SetDirection(TCommonThreadDirection v) { FDirection = v; }
  bool GetFinished() const { return FFinished.load(); }
  bool GetFreeOnTerminate() const { return FFreeOnTerminate.load(); }
  // Switched on while the thread runs, the thread frees the object when it ends (which may be at
  // once); switched on after it ended, it changes nothing and the owner frees the object.
  void SetFreeOnTerminate(bool v);
  // The platform thread; nil once the thread routine has ended (the join keeps its own).
  const TCommonThreadControl* GetHandle() const { return FHandle.load(); }
  bool GetOLEInitialized() const { return FOLEInitialized; }
  // The thread's scheduling priority (THREAD_PRIORITY_...), the thread's own niceness here: the
  // thread takes it as it starts, and a running thread is changed at once. Raising a thread above
  // normal may be refused without privilege; it then runs on at the niceness it had.
  Integer GetPriority() const { return FSchedulingPriority.load(); }
  void SetPriority(Integer v);
  Integer RefCount{0};
  bool GetRunning() const { return FRunning.load(); }
  // A thread made suspended waits until resumed; a running thread cannot be suspended here, so
  // suspending one that has started changes nothing.
  bool GetSuspended() const { return FSuspended.load(); }
  void SetSuspended(bool v);
  HWND TargetWnd{nullptr};
  Cardinal GetThreadID() const { return FThreadID; }
  bool GetTerminated() const { return FTerminated.load(); }

  // The requests waiting for the thread, under their lock.
  std::vector<TCommonThreadRequest*>& LockRequestList();
  void UnlockRequestList();

  void Resume() { SetSuspended(false); }
  // Sets Terminated, signals the event and resumes a suspended thread. A thread that frees itself
  // may end once it can run and sees the flag: nothing of the object is touched after that.
  virtual void Terminate();
  void TriggerEvent();
  // The thread's manual-reset event, made on first use. It lives as long as the thread's control
  // block, so that signalling it never touches an object its thread may free meanwhile.
  TEvent& Event();
  std::recursive_mutex& CriticalSection() { return FCriticalSection; }

protected:
  virtual void Create(bool createSuspended);
  void AfterConstruction() override;
  // Fails with the platform's assertion unless the thread has finished.
  void Destroy() override;
  virtual void Execute() = 0;
  virtual void OLEUninit();
  virtual bool OLEInit();

private:
  void Run();
  void ApplyPriority();

  std::atomic<bool> FFreeOnTerminate{false};
  std::atomic<TCommonThreadControl*> FHandle{nullptr};
  // Kept until the thread is joined, after the routine has cleared FHandle.
  std::shared_ptr<TCommonThreadControl> FControl;
  bool FOLEInitialized{false};
  Cardinal FThreadID{0};
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FSuspended{false};
  std::recursive_mutex FCriticalSection;
  std::mutex FRequestMutex;
  std::vector<TCommonThreadRequest*> FRequestList;
  TCommonThreadDirection FDirection{TCommonThreadDirection::etdFirstInLastOut};
  std::atomic<bool> FRunning{false};
  std::atomic<bool> FFinished{false};
  std::atomic<Integer> FSchedulingPriority{THREAD_PRIORITY_NORMAL};
};

// Opens something with the shell on its own thread, once, and frees itself. The creator makes it
// suspended, fills the strings and the record of the platform (size, mask, window, show command),
// and resumes it.
class TCommonShellExecuteThread : public TCommonThread {
  PF_CLASS(TCommonShellExecuteThread)
public:
  void SetlpClass(const String& v) { FlpClass = v; }
  void SetlpDirectory(const String& v) { FlpDirectory = v; }
  void SetlpFile(const String& v) { FlpFile = v; }
  void SetlpParameters(const String& v) { FlpParameters = v; }
  void SetlpVerb(const String& v) { FlpVerb = v; }
  // An item ID list to open instead of a file; the thread owns it.
  void SetPIDL(PItemIDList pidl) { FPIDL = pidl; }
  SHELLEXECUTEINFOA ShellExecuteInfoA;
  SHELLEXECUTEINFOW ShellExecuteInfoW;

protected:
  void Create(bool createSuspended) override;
  void Destroy() override;
  void Execute() override;

private:
  String FlpClass, FlpDirectory, FlpFile, FlpParameters, FlpVerb;
  PItemIDList FPIDL{nullptr};
};

// Live thread objects and requests (each constructor adds one, each destructor takes one away).
Integer CommonThreadCount();
Integer CommonThreadRequestCount();
// Waits until every thread that frees itself has finished and its thread is joined.
void JoinSelfFreeingThreads();

namespace testing {
// Called on the calling thread at each moment a call lets a thread that frees itself run to its
// end (its gate opens; Terminated or FreeOnTerminate is set while it runs): a test stands in there
// for a scheduler that runs the thread to its end at once. Empty: nothing is called.
void SetHandOverHook(std::function<void()> hook);
}  // namespace testing

extern TCommonPIDLManager* CommonThreadManagerPIDLMgr;
void InitializeCommonThreadManager();
void FinalizeCommonThreadManager();

}  // namespace common
