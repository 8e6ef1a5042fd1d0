#include "platform/rtl/Clock.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace pf::clock {

namespace {

using Steady = std::chrono::steady_clock;

struct State {
  std::mutex mutex;
  std::condition_variable cv;
  bool manual{false};
  bool instant{false};
  Int64 manualNow{0};
  // Changes whenever the mode changes; a wait begun in one mode ends when the mode changes.
  uint64_t epoch{0};
  std::mutex listenerMutex;
  std::function<void()> listener;
};

State& S() {
  static State s;
  return s;
}

Int64 RealNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now().time_since_epoch()).count();
}

bool Stopped(const std::atomic<bool>* stop) { return stop && stop->load(); }

void NotifyListener() {
  State& s = S();
  std::function<void()> listener;
  {
    std::lock_guard<std::mutex> lock(s.listenerMutex);
    listener = s.listener;
  }
  if (listener) listener();
}

}  // namespace

Int64 TickCount() {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.manual ? s.manualNow : RealNow();
}

bool Wait(Int64 ms, const std::atomic<bool>* stop) {
  State& s = S();
  std::unique_lock<std::mutex> lock(s.mutex);
  if (Stopped(stop)) return false;
  if (ms == 0) return true;
  const uint64_t epoch = s.epoch;
  if (s.manual) {
    if (s.instant && ms > 0) {
      lock.unlock();
      Advance(ms);
      return true;
    }
    const Int64 deadline = ms < 0 ? 0 : s.manualNow + ms;
    for (;;) {
      if (Stopped(stop)) return false;
      if (s.epoch != epoch) return true;
      if (ms > 0 && s.manualNow >= deadline) return true;
      s.cv.wait(lock);
    }
  }
  const auto deadline = Steady::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
  for (;;) {
    if (Stopped(stop)) return false;
    if (s.epoch != epoch) return true;
    if (ms < 0) {
      s.cv.wait(lock);
    } else {
      if (Steady::now() >= deadline) return true;
      s.cv.wait_until(lock, deadline);
    }
  }
}

void WakeWaiters() {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.cv.notify_all();
}

void UseManual(Int64 startMs) {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.manual = true;
  s.instant = false;
  s.manualNow = startMs;
  ++s.epoch;
  s.cv.notify_all();
}

void UseReal() {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.manual = false;
  s.instant = false;
  ++s.epoch;
  s.cv.notify_all();
}

bool IsManual() {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.manual;
}

bool IsInstant() {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.manual && s.instant;
}

void SetInstant(bool instant) {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.manual) s.instant = instant;
}

void Advance(Int64 ms) {
  State& s = S();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.manual) return;
    if (ms > 0) s.manualNow += ms;
    s.cv.notify_all();
  }
  NotifyListener();
}

void SetAdvanceListener(std::function<void()> listener) {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.listenerMutex);
  s.listener = std::move(listener);
}

}  // namespace pf::clock
