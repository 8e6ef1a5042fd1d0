#include "listview/EmberPool.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
#define EMBER_POOL_BYPASS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define EMBER_POOL_BYPASS 1
#endif
#endif

namespace ember::pool {

namespace {

#ifdef EMBER_POOL_BYPASS
constexpr bool kActive = false;
#else
constexpr bool kActive = true;
#endif

constexpr std::size_t Granule = 16;
constexpr std::size_t SizeCount = MaxBlock / Granule;
constexpr std::size_t ChunkSize = 64 * 1024;

struct TFree {
  TFree* Next;
};

struct TSize {
  // Blocks given back, the last one first.
  TFree* Free{nullptr};
  // The never-used rest of the chunk taken last.
  char* Fresh{nullptr};
  char* End{nullptr};
};

// The list's objects are made and freed on the GUI thread; the lock is there for anything else and
// costs one exchange when nobody holds it.
class TLock {
public:
  explicit TLock(std::atomic<bool>& Flag) : FFlag(Flag) {
    while (FFlag.exchange(true, std::memory_order_acquire))
      while (FFlag.load(std::memory_order_relaxed)) std::this_thread::yield();
  }
  ~TLock() { FFlag.store(false, std::memory_order_release); }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;

private:
  std::atomic<bool>& FFlag;
};

struct TState {
  std::atomic<bool> Lock{false};
  TSize Sizes[SizeCount];
  std::size_t Chunks{0};
  std::size_t Blocks{0};
};

// Made before anything runs and with nothing to undo at the end, so objects made or freed while the
// program starts or ends find it as well.
constinit TState gState;
TState& State() { return gState; }

std::size_t IndexOf(std::size_t Size) { return Size == 0 ? 0 : (Size - 1) / Granule; }

}  // namespace

void* Allocate(std::size_t Size) {
  if (!kActive || Size > MaxBlock) return ::operator new(Size);
  const std::size_t index = IndexOf(Size);
  const std::size_t block = (index + 1) * Granule;
  TState& s = State();
  TLock lock(s.Lock);
  TSize& size = s.Sizes[index];
  void* result;
  if (TFree* f = size.Free) {
    size.Free = f->Next;
    result = f;
  } else {
    if (static_cast<std::size_t>(size.End - size.Fresh) < block) {
      // The rest of the last chunk, too small for another block, stays unused.
      auto* chunk = static_cast<char*>(std::malloc(ChunkSize));
      if (!chunk) throw std::bad_alloc();
      size.Fresh = chunk;
      size.End = chunk + ChunkSize;
      ++s.Chunks;
    }
    result = size.Fresh;
    size.Fresh += block;
  }
  ++s.Blocks;
  return result;
}

void Release(void* Block, std::size_t Size) noexcept {
  if (!Block) return;
  if (!kActive || Size > MaxBlock) {
    ::operator delete(Block);
    return;
  }
  TState& s = State();
  TLock lock(s.Lock);
  TSize& size = s.Sizes[IndexOf(Size)];
  auto* f = static_cast<TFree*>(Block);
  f->Next = size.Free;
  size.Free = f;
  --s.Blocks;
}

TCounts Counts() {
  TState& s = State();
  TLock lock(s.Lock);
  return TCounts{s.Chunks, s.Blocks};
}

bool Active() { return kActive; }

}  // namespace ember::pool
