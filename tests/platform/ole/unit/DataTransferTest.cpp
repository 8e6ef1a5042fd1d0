// Global blocks, registered formats, media, OLE's counted start-up and DROPFILES blocks.

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "platform/ole/DataTransfer.h"
#include "platform/rtl/Strings.h"

namespace {

using namespace pf;

struct GlobalsBalance : ::testing::Test {
  int64_t base = ole::testing::LiveGlobalBlocks();
  ~GlobalsBalance() override {
    EXPECT_EQ(ole::testing::LiveGlobalBlocks(), base);
    ole::testing::SetGlobalAllocFails(false);
  }
};

TEST_F(GlobalsBalance, BlocksKeepTheirSizeZeroedAndDieOnce) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 7);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), 7u);
  auto* p = static_cast<Byte*>(GlobalLock(h));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(p[i], 0);
  EXPECT_EQ(GlobalLock(h), p);            // a second lock, same bytes
  EXPECT_EQ(GlobalUnlock(h), 1);          // still locked once
  EXPECT_EQ(GlobalUnlock(h), 0);
  EXPECT_EQ(GlobalFree(h), nullptr);
  // A freed handle reaches nothing.
  EXPECT_EQ(GlobalLock(h), nullptr);
  EXPECT_EQ(GlobalSize(h), 0u);
  EXPECT_EQ(GlobalFree(h), h);
  ole::testing::SetGlobalAllocFails(true);
  EXPECT_EQ(GlobalAlloc(GHND, 4), nullptr);
}

TEST(Formats, RegisteredNamesShareNumbersInAnyCase) {
  UINT a = RegisterClipboardFormatW(u"Shell IDList Array");
  EXPECT_GE(a, 0xC000u);
  EXPECT_LE(a, 0xFFFFu);
  EXPECT_EQ(RegisterClipboardFormatW(u"SHELL idlist ARRAY"), a);
  UINT b = RegisterClipboardFormatW(u"Тест Формат");
  EXPECT_NE(b, a);
  EXPECT_EQ(RegisterClipboardFormatW(u"тест формат"), b);
  EXPECT_EQ(GetClipboardFormatName(a), u"Shell IDList Array");
  EXPECT_EQ(GetClipboardFormatName(CF_HDROP), u"");
  EXPECT_EQ(RegisterClipboardFormatW(u""), 0u);
  // Any thread gets the same numbers.
  UINT fromThread = 0;
  std::thread([&] { fromThread = RegisterClipboardFormatW(u"shell idlist array"); }).join();
  EXPECT_EQ(fromThread, a);
}

struct Counted : IUnknown {
  int Refs{1};
  HRESULT QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return static_cast<ULONG>(++Refs); }
  ULONG Release() override { return static_cast<ULONG>(--Refs); }
};

TEST_F(GlobalsBalance, ReleaseFreesWhatTheMediumOwnsOrOnlyReleasesItsOwner) {
  Counted owner;
  STGMEDIUM own;
  own.tymed = TYMED_HGLOBAL;
  own.hGlobal = GlobalAlloc(GHND, 3);
  ReleaseStgMedium(&own);
  EXPECT_EQ(own.tymed, TYMED_NULL);
  EXPECT_EQ(own.hGlobal, nullptr);

  STGMEDIUM shared;
  shared.tymed = TYMED_HGLOBAL;
  HGLOBAL h = GlobalAlloc(GHND, 3);
  shared.hGlobal = h;
  shared.pUnkForRelease = &owner;
  ReleaseStgMedium(&shared);
  EXPECT_EQ(owner.Refs, 0);
  EXPECT_EQ(GlobalSize(h), 3u);  // still the owner's
  GlobalFree(h);

  STGMEDIUM file;
  file.tymed = TYMED_FILE;
  file.lpszFileName = static_cast<Char*>(CoTaskMemAlloc(4 * sizeof(Char)));
  int64_t tasks = ole::testing::LiveTaskBlocks();
  ReleaseStgMedium(&file);
  EXPECT_EQ(ole::testing::LiveTaskBlocks(), tasks - 1);
}

TEST(OleStart, CountedPerThreadAndUnknownClassesAreNotRegistered) {
  int before = ole::testing::OleInitCount();
  EXPECT_EQ(OleInitialize(nullptr), before == 0 ? S_OK : S_FALSE);
  EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
  std::thread([] {
    EXPECT_EQ(OleInitialize(nullptr), S_OK);
    OleUninitialize();
  }).join();
  OleUninitialize();
  OleUninitialize();
  EXPECT_EQ(ole::testing::OleInitCount(), before);

  void* obj = reinterpret_cast<void*>(1);
  const CLSID unknown{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_INPROC_SERVER, IDragSourceHelper::Iid, &obj), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(obj, nullptr);

  // The drag-drop helper is one object answering as both helpers, in process only.
  ComPtr<IDragSourceHelper> source;
  ASSERT_EQ(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IDragSourceHelper::Iid,
                             source.GetVoidAddress()),
            S_OK);
  ComPtr<IDropTargetHelper> target;
  EXPECT_EQ(source.As(target), S_OK);
  ComPtr<IUnknown> a, b;
  source.As(a);
  target.As(b);
  EXPECT_EQ(a.Get(), b.Get());
  ComPtr<IDataObject> none;
  EXPECT_EQ(source.As(none), E_NOINTERFACE);
  IUnknown* outer = a.Get();
  obj = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(CLSID_DragDropHelper, outer, CLSCTX_INPROC_SERVER, IDropTargetHelper::Iid, &obj), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(obj, nullptr);
}

std::vector<Byte> Bytes(std::initializer_list<int> b) {
  std::vector<Byte> v;
  for (int x : b) v.push_back(static_cast<Byte>(x));
  return v;
}

TEST(DropFiles, BuiltByteForByte) {
  SetAnsiCodePage(1251);
  // Two names in Windows-1251: "б" is 0xE1.
  EXPECT_EQ(MakeDropFiles({u"/t/a.jpg", u"/t/б.png"}, false),
            Bytes({0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                   '/', 't', '/', 'a', '.', 'j', 'p', 'g', 0, '/', 't', '/', 0xE1, '.', 'p', 'n', 'g', 0, 0}));
  EXPECT_EQ(MakeDropFiles({u"/я"}, true),
            Bytes({0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0,  //
                   '/', 0, 0x4F, 0x04, 0, 0, 0, 0}));
  ResetAnsiCodePage();
}

TEST(DropFiles, ReadOnlyInsideTheBlock) {
  std::vector<Byte> head = Bytes({0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  std::vector<Byte> wideHead = head;
  wideHead[16] = 1;
  auto with = [](std::vector<Byte> h, std::initializer_list<int> tail) {
    for (int b : tail) h.push_back(static_cast<Byte>(b));
    return h;
  };
  std::vector<Byte> offsetPast = with(head, {'a', 0, 0});
  offsetPast[0] = 23;
  std::vector<Byte> offsetInHeader = with(head, {'a', 0, 0});
  offsetInHeader[0] = 8;
  struct Case {
    const char* what;
    std::vector<Byte> block;
    bool ok;
    std::vector<String> names;
    size_t end;
  } cases[] = {
      {"two names", with(head, {'a', 0, 'b', 'c', 0, 0}), true, {u"a", u"bc"}, 26},
      {"no names", with(head, {0}), true, {}, 21},
      {"final terminator missing", with(head, {'a', 0}), true, {u"a"}, 23},
      {"name without terminator", with(head, {'a', 'b'}), false, {}, 0},
      {"offset past the end", offsetPast, false, {}, 0},
      {"offset inside the header", offsetInHeader, false, {}, 0},
      {"header cut short", Bytes({0x14, 0, 0, 0}), false, {}, 0},
      {"wide", with(wideHead, {'x', 0, 0, 0, 0, 0}), true, {u"x"}, 26},
      {"wide name cut in half", with(wideHead, {'x', 0, 'y'}), false, {}, 0},
  };
  for (const Case& c : cases) {
    // Each block gets memory of exactly its size, so a read past it is seen by the sanitizer.
    std::unique_ptr<Byte[]> exact(new Byte[c.block.size()]);
    std::memcpy(exact.get(), c.block.data(), c.block.size());
    std::vector<String> names;
    size_t end = 0;
    EXPECT_EQ(ReadDropFiles(exact.get(), c.block.size(), names, &end), c.ok) << c.what;
    EXPECT_EQ(names, c.names) << c.what;
    if (c.ok) {
      EXPECT_EQ(end, c.end) << c.what;
    }
  }
}

}  // namespace
