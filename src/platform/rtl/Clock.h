#pragma once
// The layer's clock. Every timer and wait of the program goes through it, so tests can replace
// real time by a manual clock. In instant mode every wait returns at once and advances the manual
// clock by the time it would have waited.

#include <atomic>
#include <functional>

#include "platform/rtl/Types.h"

namespace pf::clock {

// Milliseconds on a monotonic clock (GetTickCount64).
Int64 TickCount();

// Waits up to `ms` milliseconds (a negative `ms`: until stopped). Returns true when the whole time
// passed, false when `stop` became true first. A stop flag is seen as soon as WakeWaiters() is
// called after it was set (TThread::Terminate does that). A wait begun on one clock ends (true)
// when a test switches clocks with UseManual or UseReal.
bool Wait(Int64 ms, const std::atomic<bool>* stop = nullptr);
void WakeWaiters();

// ---- test control ----
void UseManual(Int64 startMs = 0);  // time stands still until Advance
void UseReal();
bool IsManual();
void SetInstant(bool instant);      // manual clock only
bool IsInstant();
void Advance(Int64 ms);             // manual clock only; wakes waiters whose time has come
// Called (on the advancing thread) after every Advance, so the message loop can fire timers. In
// instant mode that is the waiting thread, which may be a worker thread.
void SetAdvanceListener(std::function<void()> listener);

}  // namespace pf::clock
