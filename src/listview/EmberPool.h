#pragma once
// Room for the list's small objects (items, groups, their item lists, stores, grids and views):
// blocks of a few sizes cut from 64 KiB chunks. A list of a hundred thousand photos makes several
// such objects per photo at every fill and regroup; the C library's allocator spent more finding
// room for them one by one than the list spent making them, and its bookkeeping made each a
// sixteenth larger. A block given back serves the next object of its size: the room a large list
// took is kept for the lists that follow, as the C library's heap keeps most of it too, instead of
// going back to the system to be cleared again page by page.
//
// Blocks larger than the largest size, and every block of a build under the address sanitizer
// (which must see each object on its own), come from the global allocator.

#include <cstddef>
#include <vector>

namespace ember::pool {

// The largest block the chunks hold; larger ones come from the global allocator.
constexpr std::size_t MaxBlock = 512;

// A block of at least Size bytes, aligned to 16.
void* Allocate(std::size_t Size);
// Gives back a block from Allocate with the size it was asked with.
void Release(void* Block, std::size_t Size) noexcept;

// Whether blocks come from the chunks: not in a build under the address sanitizer.
bool Active();

// What the pool holds now, for tests: chunks taken from the system and blocks handed out.
struct TCounts {
  std::size_t Chunks{0};
  std::size_t Blocks{0};
};
TCounts Counts();

// The allocator of the element lists that every group and item keeps (its items, the items it
// shows, its captions, its group keys): most hold one or a few entries, each of which was a block of
// the C library's. Lists that outgrow the largest block come from the global allocator.
template <class T>
struct TAllocator {
  using value_type = T;
  TAllocator() = default;
  template <class U>
  TAllocator(const TAllocator<U>&) noexcept {}
  T* allocate(std::size_t N) { return static_cast<T*>(Allocate(N * sizeof(T))); }
  void deallocate(T* P, std::size_t N) noexcept { Release(P, N * sizeof(T)); }
  template <class U>
  bool operator==(const TAllocator<U>&) const noexcept {
    return true;
  }
};

template <class T>
using TVector = std::vector<T, TAllocator<T>>;

}  // namespace ember::pool

// Makes a class (and every class derived from it) take its objects' room from the pool.
#define EMBER_POOLED_CLASS                                                                           \
public:                                                                                              \
  static void* operator new(std::size_t Size) { return ::ember::pool::Allocate(Size); }             \
  static void operator delete(void* Block, std::size_t Size) noexcept { ::ember::pool::Release(Block, Size); } \
                                                                                                     \
private:
