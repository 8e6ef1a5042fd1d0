// GUIDs, ComPtr reference counting and the task allocator.

#include <gtest/gtest.h>

#include "platform/ole/Com.h"

namespace {

using namespace pf;

struct IThing : IUnknown {
  static constexpr IID Iid{0x7F667930, 0xE47B, 0x4474, {0xBA, 0x62, 0xB1, 0x00, 0xD7, 0xDB, 0xDA, 0x70}};
};

class Thing final : public IThing, TComObjectBase {
public:
  explicit Thing(int* deleted) : Deleted(deleted) {}
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (iid == IUnknown::Iid || iid == IThing::Iid) {
      *out = static_cast<IThing*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return DoAddRef(); }
  ULONG Release() override {
    ULONG n = DoRelease();
    if (n == 0) {
      ++*Deleted;
      delete this;
    }
    return n;
  }
  int* Deleted;
};

TEST(Guid, TextFormRoundTrips) {
  EXPECT_EQ(GUIDToString(IThing::Iid), u"{7F667930-E47B-4474-BA62-B100D7DBDA70}");
  GUID g;
  ASSERT_TRUE(StringToGUID(u"{7f667930-e47b-4474-ba62-b100d7dbda70}", g));
  EXPECT_EQ(g, IThing::Iid);
  EXPECT_FALSE(StringToGUID(u"{7F667930-E47B-4474-BA62-B100D7DBDA7}", g));
  EXPECT_FALSE(StringToGUID(u"7F667930-E47B-4474-BA62-B100D7DBDA70", g));
}

TEST(ComPtr, HoldsOneReferenceAndFreesAtZero) {
  int deleted = 0;
  {
    ComPtr<IThing> a(new Thing(&deleted));  // count 1
    ComPtr<IThing> b = a;                    // 2
    ComPtr<IUnknown> u;
    EXPECT_EQ(a.As(u), S_OK);                // 3
    ComPtr<IMalloc> none;
    EXPECT_EQ(a.As(none), E_NOINTERFACE);
    b.Reset();
    u = nullptr;
    EXPECT_EQ(deleted, 0);
    IThing* raw = a.Detach();
    EXPECT_FALSE(a);
    ComPtr<IThing> c;
    c.Attach(raw);
  }
  EXPECT_EQ(deleted, 1);
}

TEST(TaskAllocator, CountsBlocksAndCanBeMadeToFail) {
  IMalloc* m = nullptr;
  ASSERT_EQ(SHGetMalloc(&m), S_OK);
  ComPtr<IMalloc> malloc;
  malloc.Attach(m);
  int64_t base = ole::testing::LiveTaskBlocks();
  void* p = malloc->Alloc(10);
  ASSERT_NE(p, nullptr);
  p = malloc->Realloc(p, 20);
  EXPECT_EQ(malloc->GetSize(p), 20u);
  EXPECT_EQ(ole::testing::LiveTaskBlocks(), base + 1);
  malloc->Free(p);
  malloc->Free(nullptr);
  EXPECT_EQ(ole::testing::LiveTaskBlocks(), base);
  // A size that would wrap around with the block's header is refused, not under-allocated.
  EXPECT_EQ(malloc->Alloc(SIZE_MAX - 4), nullptr);
  EXPECT_EQ(ole::testing::LiveTaskBlocks(), base);
  ole::testing::SetAllocationsFail(true);
  EXPECT_EQ(malloc->Alloc(4), nullptr);
  EXPECT_EQ(ole::testing::LiveTaskBlocks(), base);
  ole::testing::SetAllocationsFail(false);
  ole::testing::SetMallocUnavailable(true);
  IMalloc* none = reinterpret_cast<IMalloc*>(1);
  EXPECT_EQ(SHGetMalloc(&none), E_FAIL);
  EXPECT_EQ(none, nullptr);
  ole::testing::SetMallocUnavailable(false);
}

}  // namespace
