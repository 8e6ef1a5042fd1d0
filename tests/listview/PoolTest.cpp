// The room of the list's small objects: blocks of every size aligned and apart, a block given back
// serving the next object of its size, large blocks left to the global allocator, threads taking
// and giving back blocks at once, and the list's own objects taking their room from it.
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "ListviewTestUtil.h"
#include "listview/EmberPool.h"

namespace lvtest {
namespace {

bool Aligned(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % 16 == 0; }

TEST(PoolTest, BlocksOfEverySizeAreAlignedApartAndServeTheNextObjectOfTheirSize) {
  if (!pool::Active()) GTEST_SKIP() << "every block comes from the global allocator in this build";
  // Each size with the room a block of it must offer (whole 16-byte steps).
  struct Case {
    std::size_t size, room;
  } cases[] = {{0, 16}, {1, 16}, {16, 16}, {17, 32}, {48, 48}, {184, 192}, {500, 512}, {512, 512}};
  for (const Case& c : cases) {
    void* a = pool::Allocate(c.size);
    void* b = pool::Allocate(c.size);
    ASSERT_TRUE(Aligned(a) && Aligned(b)) << c.size;
    ASSERT_NE(a, b) << c.size;
    std::memset(a, 0xAA, c.room);
    std::memset(b, 0x55, c.room);
    for (std::size_t i = 0; i < c.room; ++i) ASSERT_EQ(static_cast<unsigned char*>(a)[i], 0xAA) << c.size << " at " << i;
    pool::Release(a, c.size);
    void* again = pool::Allocate(c.room);
    EXPECT_EQ(again, a) << "a block given back serves the next object of its size (" << c.size << ")";
    pool::Release(again, c.room);
    pool::Release(b, c.size);
  }
}

TEST(PoolTest, LargeBlocksComeFromTheGlobalAllocator) {
  const pool::TCounts before = pool::Counts();
  void* p = pool::Allocate(pool::MaxBlock + 1);
  ASSERT_NE(p, nullptr);
  std::memset(p, 1, pool::MaxBlock + 1);
  EXPECT_EQ(pool::Counts().Blocks, before.Blocks);
  EXPECT_EQ(pool::Counts().Chunks, before.Chunks);
  pool::Release(p, pool::MaxBlock + 1);
  pool::Release(nullptr, 64);
  EXPECT_EQ(pool::Counts().Blocks, before.Blocks);
}

TEST(PoolTest, TheRoomOfBlocksGivenBackServesTheNextRound) {
  if (!pool::Active()) GTEST_SKIP() << "every block comes from the global allocator in this build";
  const std::size_t blocks = pool::Counts().Blocks;
  auto round = [blocks] {
    std::vector<void*> taken;
    for (int i = 0; i < 3000; ++i) taken.push_back(pool::Allocate(192));
    EXPECT_EQ(pool::Counts().Blocks, blocks + 3000);
    for (void* p : taken) pool::Release(p, 192);
  };
  round();
  EXPECT_EQ(pool::Counts().Blocks, blocks);
  const std::size_t chunks = pool::Counts().Chunks;
  round();
  EXPECT_EQ(pool::Counts().Chunks, chunks) << "no chunk taken for blocks given back before";
  EXPECT_EQ(pool::Counts().Blocks, blocks);
}

TEST(PoolTest, ThreadsTakeAndGiveBackBlocksAtOnce) {
  const std::size_t blocks = pool::Counts().Blocks;
  auto work = [](unsigned char mark) {
    struct Held {
      unsigned char* p;
      std::size_t size;
    };
    std::vector<Held> held;
    for (int i = 0; i < 20000; ++i) {
      const std::size_t size = 16 + static_cast<std::size_t>((i * 37 + mark) % 497);
      auto* p = static_cast<unsigned char*>(pool::Allocate(size));
      std::memset(p, mark, size);
      held.push_back({p, size});
      if (held.size() > 64) {
        const Held h = held[static_cast<std::size_t>(i) % held.size()];
        held.erase(held.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(i) % held.size()));
        for (std::size_t k = 0; k < h.size; ++k)
          if (h.p[k] != mark) {
            ADD_FAILURE() << "a block was written by another thread";
            return;
          }
        pool::Release(h.p, h.size);
      }
    }
    for (const Held& h : held) pool::Release(h.p, h.size);
  };
  std::vector<std::thread> threads;
  for (unsigned char m = 1; m <= 4; ++m) threads.emplace_back(work, m);
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(pool::Counts().Blocks, blocks);
}

class PoolListTest : public ListviewTest {};

TEST_F(PoolListTest, TheListsObjectsTakeTheirRoomFromThePool) {
  if (!pool::Active()) GTEST_SKIP() << "every block comes from the global allocator in this build";
  MakeList();
  LV->GetGroups()->Add()->GetItems()->Add()->SetCaption(u"first");
  const std::size_t before = pool::Counts().Blocks;
  TEmberGroup* g = LV->GetGroups()->Add();
  g->GetItems()->Add()->SetCaption(u"beach");
  // The group, its item list and store, the item and its store.
  EXPECT_GE(pool::Counts().Blocks, before + 5);
  LV->GetGroups()->Delete(g->GetIndex());
  EXPECT_EQ(pool::Counts().Blocks, before) << "all of them given back with the group";
}

}  // namespace
}  // namespace lvtest
