#pragma once
// The photo layer's fixed pool of worker threads, made on first use and kept for the life of the
// process: the bands of a print are spread over it instead of each band starting threads of its
// own. A caller that waits for its work runs its queued tasks itself meanwhile, so work is done
// even while every worker is busy (or when no thread could be started at all).

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace pf::gdiplus::detail {

class TWorkPool {
public:
  // A set of tasks whose end can be waited for.
  class TGroup {
  public:
    TGroup() = default;
    TGroup(const TGroup&) = delete;
    TGroup& operator=(const TGroup&) = delete;

  private:
    friend class TWorkPool;
    int Pending{0};
  };

  static TWorkPool& Instance();
  ~TWorkPool();

  // Threads that may work at once, the caller's included.
  unsigned Width() const { return static_cast<unsigned>(FThreads.size()) + 1; }
  // Queues `task` under `group`.
  void Post(TGroup& group, std::function<void()> task);
  // Returns when every task of `group` has run, running its queued tasks meanwhile.
  void Wait(TGroup& group);
  // body(from, to) over [0, count) in up to Width() slices; returns when all are done.
  void For(int64_t count, const std::function<void(int64_t, int64_t)>& body);

private:
  TWorkPool();
  struct TTask {
    TGroup* Group;
    std::function<void()> Run;
  };
  void Loop();
  void RunOne(std::unique_lock<std::mutex>& lock, std::deque<TTask>::iterator at);

  std::mutex FLock;
  std::condition_variable FWake;  // a task was queued, or the pool stops
  std::condition_variable FDone;  // a task ended
  std::deque<TTask> FQueue;
  bool FStop{false};
  std::vector<std::thread> FThreads;
};

}  // namespace pf::gdiplus::detail
