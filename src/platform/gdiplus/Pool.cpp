#include "platform/gdiplus/Pool_p.h"

#include <algorithm>

namespace pf::gdiplus::detail {

TWorkPool& TWorkPool::Instance() {
  static TWorkPool pool;
  return pool;
}

TWorkPool::TWorkPool() {
  // One thread fewer than the cores: the caller works too.
  const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 16u);
  try {
    for (unsigned i = 1; i < cores; ++i) FThreads.emplace_back([this] { Loop(); });
  } catch (...) {
    // Fewer threads than cores: the pool works with those it has.
  }
}

TWorkPool::~TWorkPool() {
  {
    std::lock_guard<std::mutex> lock(FLock);
    FStop = true;
  }
  FWake.notify_all();
  for (auto& t : FThreads) t.join();
}

void TWorkPool::RunOne(std::unique_lock<std::mutex>& lock, std::deque<TTask>::iterator at) {
  TTask task = std::move(*at);
  FQueue.erase(at);
  lock.unlock();
  task.Run();
  lock.lock();
  --task.Group->Pending;
  FDone.notify_all();
}

void TWorkPool::Loop() {
  std::unique_lock<std::mutex> lock(FLock);
  while (true) {
    FWake.wait(lock, [this] { return FStop || !FQueue.empty(); });
    if (FQueue.empty()) return;
    RunOne(lock, FQueue.begin());
  }
}

void TWorkPool::Post(TGroup& group, std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(FLock);
    ++group.Pending;
    FQueue.push_back(TTask{&group, std::move(task)});
  }
  FWake.notify_one();
}

void TWorkPool::Wait(TGroup& group) {
  std::unique_lock<std::mutex> lock(FLock);
  while (group.Pending > 0) {
    // Only the group's own work: a decoder waiting for its band must not stop to encode a strip
    // of the sheet that a worker will take anyway.
    auto own = std::find_if(FQueue.begin(), FQueue.end(), [&](const TTask& t) { return t.Group == &group; });
    if (own != FQueue.end())
      RunOne(lock, own);
    else
      FDone.wait(lock);
  }
}

void TWorkPool::For(int64_t count, const std::function<void(int64_t, int64_t)>& body) {
  const int64_t slices = std::min<int64_t>(count, Width());
  if (slices <= 1) {
    if (count > 0) body(0, count);
    return;
  }
  TGroup group;
  const int64_t step = (count + slices - 1) / slices;
  for (int64_t from = step; from < count; from += step) {
    const int64_t to = std::min(count, from + step);
    Post(group, [&body, from, to] { body(from, to); });
  }
  body(0, std::min(count, step));
  Wait(group);
}

}  // namespace pf::gdiplus::detail
