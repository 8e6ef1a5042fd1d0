// Item ID list arithmetic, streams and the PIDL list.

#include <gtest/gtest.h>

#include <cstring>

#include "CommonTestUtil.h"
#include "platform/kernel/Modules.h"
#include "platform/rtl/Exceptions.h"

namespace {

using namespace commontest;
using namespace common;

// A list written out by hand: each ID is its 16-bit count (itself included) and its data.
std::vector<Byte> Ids(std::initializer_list<std::vector<Byte>> ids) {
  std::vector<Byte> out;
  for (auto& id : ids) {
    auto cb = static_cast<Word>(id.size() + 2);
    out.push_back(static_cast<Byte>(cb));
    out.push_back(static_cast<Byte>(cb >> 8));
    out.insert(out.end(), id.begin(), id.end());
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}
PItemIDList L(std::vector<Byte>& v) { return reinterpret_cast<PItemIDList>(v.data()); }
std::vector<Byte> Bytes(const TCommonPIDLManager& m, const ITEMIDLIST* p) {
  auto* b = reinterpret_cast<const Byte*>(p);
  return std::vector<Byte>(b, b + m.PIDLSize(p));
}

struct Pidls : ::testing::Test {
  Owned<TCommonPIDLManager> m{TCommonPIDLManager::New()};
  int64_t base = ole::testing::LiveTaskBlocks();
  ~Pidls() override {
    m.reset();
    EXPECT_EQ(ole::testing::LiveTaskBlocks(), base);
    ole::testing::SetAllocationsFail(false);
  }
};

TEST_F(Pidls, Arithmetic) {
  auto desktop = Ids({});
  auto one = Ids({{7}});
  auto three = Ids({{1, 2}, {3}, {4, 5, 6}});
  EXPECT_EQ(m->PIDLSize(L(desktop)), 2);
  EXPECT_TRUE(m->IsDesktopFolder(L(desktop)));
  EXPECT_FALSE(m->IsDesktopFolder(nullptr));
  EXPECT_EQ(m->IDCount(nullptr), 0);
  EXPECT_EQ(m->PIDLSize(L(three)), 2 + 4 + 3 + 5);
  EXPECT_EQ(m->IDCount(L(three)), 3);
  EXPECT_EQ(reinterpret_cast<Byte*>(m->NextID(L(three))), three.data() + 4);
  EXPECT_EQ(reinterpret_cast<Byte*>(m->GetPointerToLastID(L(three))), three.data() + 7);
  EXPECT_EQ(m->GetPointerToLastID(L(one)), L(one));
  EXPECT_EQ(m->GetPointerToLastID(L(desktop)), L(desktop));
  EXPECT_EQ(m->GetPointerToLastID(nullptr), nullptr);
}

TEST_F(Pidls, CopyAppendStrip) {
  auto desktop = Ids({});
  auto x = Ids({{1, 2}, {3}});
  auto y = Ids({{9}});
  PItemIDList c = m->CopyPIDL(L(x));
  EXPECT_EQ(Bytes(*m, c), x);
  m->FreePIDL(c);
  EXPECT_EQ(m->CopyPIDL(nullptr), nullptr);
  struct Append {
    PItemIDList a, b;
    std::vector<Byte> expected;
  } appends[] = {{L(desktop), L(x), x}, {L(x), nullptr, x}, {L(x), L(y), Ids({{1, 2}, {3}, {9}})},
                 {nullptr, nullptr, desktop}};
  for (const auto& k : appends) {
    PItemIDList a = m->AppendPIDL(k.a, k.b);
    EXPECT_EQ(Bytes(*m, a), k.expected);
    m->FreePIDL(a);
  }
  // Stripping cuts the last ID in place and tells how to put it back.
  Word cb = 0;
  PItemIDList last = nullptr;
  EXPECT_EQ(m->StripLastID(L(x), cb, last), L(x));
  EXPECT_EQ(cb, 3);
  EXPECT_EQ(reinterpret_cast<Byte*>(last), x.data() + 4);
  EXPECT_EQ(Bytes(*m, L(x)), Ids({{1, 2}}));
  reinterpret_cast<Byte*>(last)[0] = static_cast<Byte>(cb);
  EXPECT_EQ(m->IDCount(L(x)), 2);
  EXPECT_EQ(m->StripLastID(L(desktop)), L(desktop));
  EXPECT_EQ(m->StripLastID(nullptr, cb, last), nullptr);
  EXPECT_EQ(cb, 0);
  EXPECT_EQ(last, nullptr);
  // An allocator that fails gives nil, not an exception.
  ole::testing::SetAllocationsFail(true);
  EXPECT_EQ(m->CopyPIDL(L(x)), nullptr);
  EXPECT_EQ(m->AppendPIDL(L(x), L(y)), nullptr);
}

TEST_F(Pidls, ListStreamRoundTripKeepsNilEntries) {
  auto x = Ids({{1, 2}, {3}});
  Owned<TCommonPIDLList> list(TCommonPIDLList::New());
  list->Add(m->CopyPIDL(L(x)));
  list->Add(nullptr);
  Owned<TMemoryStream> s(TMemoryStream::New());
  EXPECT_TRUE(list->SaveToStream(*s));
  // count 2; size 9 and the bytes; size 0 for nil.
  std::vector<Byte> expected = {2, 0, 0, 0, 9, 0, 0, 0};
  expected.insert(expected.end(), x.begin(), x.end());
  expected.insert(expected.end(), {0, 0, 0, 0});
  EXPECT_EQ(std::vector<Byte>(s->Memory(), s->Memory() + s->GetSize()), expected);
  s->SetPosition(0);
  Owned<TCommonPIDLList> back(TCommonPIDLList::New());
  EXPECT_TRUE(back->LoadFromStream(*s));
  ASSERT_EQ(back->Count(), 2);
  EXPECT_EQ(Bytes(*m, back->Get(0)), x);
  EXPECT_EQ(back->Get(1), nullptr);
}

TEST_F(Pidls, SharedEntriesAreNotFreed) {
  auto x = Ids({{1}});
  PItemIDList p = m->CopyPIDL(L(x));
  {
    Owned<TCommonPIDLList> list(TCommonPIDLList::New());
    list->SetSharePIDLs(true);
    list->Add(p);
  }
  EXPECT_EQ(Bytes(*m, p), x);
  m->FreePIDL(p);
}

std::vector<Byte> Le(int32_t v) {
  auto u = static_cast<uint32_t>(v);
  return {static_cast<Byte>(u), static_cast<Byte>(u >> 8), static_cast<Byte>(u >> 16), static_cast<Byte>(u >> 24)};
}

TEST_F(Pidls, BadStreamsFailCleanly) {
  auto good = Ids({{1, 2}});
  struct Case {
    const char* what;
    std::vector<Byte> record;
    bool nilResult;  // the reader answers nil instead of failing
  } cases[] = {
      {"negative size", Le(-5), true},
      {"zero size", Le(0), true},
      {"size larger than the stream", [&] { auto v = Le(1000); v.insert(v.end(), good.begin(), good.end()); return v; }(), false},
      {"stream cut short", [&] { auto v = Le(6); v.insert(v.end(), {4, 0}); return v; }(), false},
      {"one byte", [&] { auto v = Le(1); v.push_back(0); return v; }(), false},
      {"count past the end", [&] { auto v = Le(6); v.insert(v.end(), {9, 0, 1, 2, 0, 0}); return v; }(), false},
      {"no terminator", [&] { auto v = Le(6); v.insert(v.end(), {4, 0, 1, 2, 5, 5}); return v; }(), false},
      {"count below two", [&] { auto v = Le(4); v.insert(v.end(), {1, 0, 0, 0}); return v; }(), false},
  };
  for (const auto& k : cases) {
    Owned<TMemoryStream> s(TMemoryStream::New());
    s->WriteBuffer(k.record.data(), static_cast<Int64>(k.record.size()));
    s->SetPosition(0);
    if (k.nilResult) {
      EXPECT_EQ(m->LoadFromStream(*s), nullptr) << k.what;
    } else {
      EXPECT_THROW(m->LoadFromStream(*s), EReadError) << k.what;
    }
    EXPECT_EQ(ole::testing::LiveTaskBlocks(), base) << k.what;
    // The same record inside a list: the list answers False and keeps what it had.
    Owned<TCommonPIDLList> list(TCommonPIDLList::New());
    list->Add(nullptr);
    std::vector<Byte> bytes = Le(2), first = Le(static_cast<int32_t>(good.size()));
    for (const std::vector<Byte>* part : std::initializer_list<const std::vector<Byte>*>{&first, &good, &k.record}) bytes.insert(bytes.end(), part->begin(), part->end());
    Owned<TMemoryStream> ls(TMemoryStream::New());
    ls->WriteBuffer(bytes.data(), static_cast<Int64>(bytes.size()));
    ls->SetPosition(0);
    EXPECT_EQ(list->LoadFromStream(*ls), k.nilResult) << k.what;
    EXPECT_EQ(list->Count(), k.nilResult ? 3 : 1) << k.what;
    list.reset();
    EXPECT_EQ(ole::testing::LiveTaskBlocks(), base) << k.what;
  }
  // A negative or impossible count.
  for (int32_t n : {-1, 1000000}) {
    Owned<TMemoryStream> s(TMemoryStream::New());
    auto v = Le(n);
    s->WriteBuffer(v.data(), 4);
    s->SetPosition(0);
    Owned<TCommonPIDLList> list(TCommonPIDLList::New());
    EXPECT_FALSE(list->LoadFromStream(*s));
    EXPECT_EQ(list->Count(), 0);
  }
}

TEST(PidlManager, RaisesWithoutAnAllocator) {
  ole::testing::SetMallocUnavailable(true);
  try {
    TCommonPIDLManager::New();
    ADD_FAILURE() << "no exception";
  } catch (const EOutOfMemory& e) {
    EXPECT_EQ(e.Message(), u"Can not allocate the IMalloc memory interface");
  }
  ole::testing::SetMallocUnavailable(false);
}

TEST(PidlTests, ShellOrdinalsAndTheirFallback) {
  InitializeCommonObjects();
  auto a = Ids({{1}});
  auto a2 = Ids({{1}});
  auto ab = Ids({{1}, {2}});
  EXPECT_TRUE(PIDLIsEqual(L(a), L(a2)));
  EXPECT_FALSE(PIDLIsEqual(L(a), nullptr));
  EXPECT_TRUE(PIDLIsParent(L(a), L(ab), true));
  EXPECT_FALSE(PIDLIsParent(nullptr, L(ab), false));
  EXPECT_NE(MarlettFont, nullptr);
  EXPECT_NE(CommonObjectsPIDLMgr, nullptr);
  // Without the ordinals the tests answer false.
  pf::kernel::testing::RemoveExport("shell32.dll", MAKEINTRESOURCEA(21));
  pf::kernel::testing::RemoveExport("shell32.dll", MAKEINTRESOURCEA(23));
  BindPIDLFunctions();
  EXPECT_FALSE(PIDLIsEqual(L(a), L(a2)));
  EXPECT_FALSE(PIDLIsParent(L(a), L(ab), true));
  pf::kernel::testing::RestoreExports();
  BindPIDLFunctions();
  EXPECT_TRUE(PIDLIsEqual(L(a), L(a2)));
  FinalizeCommonObjects();
  EXPECT_EQ(MarlettFont, nullptr);
  EXPECT_FALSE(PIDLIsEqual(L(a), L(a2)));
}

}  // namespace
