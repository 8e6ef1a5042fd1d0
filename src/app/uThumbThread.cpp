#include "app/uThumbThread.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace app {

unsigned TThumbThread::Workers = 0;

void TThumbThread::Create(HWND MsgWnd, TItemList List) {
  FMsgWnd = MsgWnd;
  FList = std::move(List);
  TThread::Create(false);
}

namespace {

// One file's result, filled by a worker and taken by the reporting thread.
struct TSlot {
  Owned<TDIB> Thumb;
  Integer Width{0};
  Integer Height{0};
  bool Done{false};
};

}  // namespace

void TThumbThread::Execute() {
  const size_t count = FList.size();
  std::vector<TSlot> slots(count);
  std::mutex lock;
  std::condition_variable changed;
  size_t next = 0;      // the next file a worker takes
  size_t reported = 0;  // files reported to the dialog
  bool stop = false;

  unsigned workers = Workers ? Workers : std::max(1u, std::thread::hardware_concurrency());
  workers = static_cast<unsigned>(std::min<size_t>(workers, std::max<size_t>(count, 1)));
  // Workers run at most this far ahead of the reports, so a stopped batch wastes little work
  // and the finished thumbnails waiting for an earlier file stay few.
  const size_t window = size_t{2} * workers;

  auto work = [&] {
    for (;;) {
      size_t i;
      {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return stop || next >= count || next < reported + window; });
        if (stop || next >= count) return;
        i = next++;
      }
      Owned<TDIB> thumb(TDIB::New());
      Integer width = 0;
      Integer height = 0;
      try {
        thumb->ExtractThumb(FList[i].FileName, width, height);
      } catch (...) {
        thumb->Clear();  // a file that cannot be decoded (or does not fit in memory) is rejected
      }
      std::lock_guard<std::mutex> guard(lock);
      slots[i].Thumb = std::move(thumb);
      slots[i].Width = width;
      slots[i].Height = height;
      slots[i].Done = true;
      changed.notify_all();
    }
  };
  std::vector<std::thread> pool;
  pool.reserve(workers);
  for (unsigned w = 0; w < workers; ++w) pool.emplace_back(work);

  for (size_t i = 0; i < count; ++i) {
    TSlot slot;
    {
      std::unique_lock<std::mutex> guard(lock);
      // Terminate does not know this condition: the flag is looked at between short waits.
      while (!slots[i].Done && !Terminated()) changed.wait_for(guard, std::chrono::milliseconds(20));
      if (Terminated()) break;
      slot = std::move(slots[i]);
      reported = i + 1;
      changed.notify_all();
    }
    TImageItem* item = FList[i].Item;
    item->OrigWidth = slot.Width;
    item->OrigHeight = slot.Height;
    if (slot.Thumb->IsEmpty())
      PostMessage(FMsgWnd, WM_THUMBREADY, reinterpret_cast<WPARAM>(item), LPARAM{0});
    else
      PostMessage(FMsgWnd, WM_THUMBREADY, reinterpret_cast<WPARAM>(item), Owned<TObject>(slot.Thumb.release()));
  }
  {
    std::lock_guard<std::mutex> guard(lock);
    stop = true;
    changed.notify_all();
  }
  for (std::thread& t : pool) t.join();
  PostMessage(FMsgWnd, WM_THUMBSDONE, 0, LPARAM{0});
}

}  // namespace app
