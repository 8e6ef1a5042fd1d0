// The data object, its enumerator and the clipboard-format classes; DROPFILES and CIDA blocks
// written by hand, and malformed ones from another program.

#include <gtest/gtest.h>

#include <cstring>

#include "common/CommonDataObject.h"
#include "platform/ole/DragDrop.h"
#include "platform/rtl/Strings.h"

namespace {

using namespace common;

std::vector<Byte> Bytes(std::initializer_list<int> b) {
  std::vector<Byte> v;
  for (int x : b) v.push_back(static_cast<Byte>(x));
  return v;
}

// Every test leaves no global block and no task block behind.
struct DataObjects : ::testing::Test {
  int64_t globals = ole::testing::LiveGlobalBlocks();
  int64_t tasks = ole::testing::LiveTaskBlocks();
  void SetUp() override { InitializeCommonDataObject(); }
  void TearDown() override {
    FinalizeCommonDataObject();
    ResetAnsiCodePage();
    EXPECT_EQ(ole::testing::LiveGlobalBlocks(), globals);
    EXPECT_EQ(ole::testing::LiveTaskBlocks(), tasks);
  }
  static ComPtr<IDataObject> NewObject() { return ComPtr<IDataObject>(TCommonDataObject::New(true)->AsDataObject()); }
  // A data object holding one block of exactly these bytes, as another program would hand it over.
  static ComPtr<IDataObject> Holding(TClipFormat format, const std::vector<Byte>& block) {
    ComPtr<IDataObject> obj = NewObject();
    STGMEDIUM m;
    m.tymed = TYMED_HGLOBAL;
    m.hGlobal = GlobalAlloc(GHND, block.size());
    if (!block.empty()) std::memcpy(GlobalLock(m.hGlobal), block.data(), block.size());
    GlobalUnlock(m.hGlobal);
    FORMATETC f{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(obj->SetData(&f, &m, 1), S_OK);
    return obj;
  }
};

TEST_F(DataObjects, HDropBuildsAndReadsBothWidths) {
  SetAnsiCodePage(1251);
  Owned<TStringList> files(TStringList::New());
  files->Add(u"/t/a.jpg");
  files->Add(u"/t/б.png");
  Owned<TCommonHDrop> drop(TCommonHDrop::New());
  drop->AssignFilesA(files.get());
  std::vector<Byte> eight = Bytes({0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                   '/', 't', '/', 'a', '.', 'j', 'p', 'g', 0, '/', 't', '/', 0xE1, '.', 'p', 'n', 'g', 0, 0});
  ASSERT_EQ(drop->GetStructureSize(), 39);
  EXPECT_EQ(std::vector<Byte>(drop->GetDropFiles(), drop->GetDropFiles() + 39), eight);
  EXPECT_EQ(drop->FileCount(), 2);
  EXPECT_EQ(drop->FileNameW(1), u"/t/б.png");

  // The same object reused for a wide list of one name: the count follows the new block.
  Owned<TStringList> one(TStringList::New());
  one->Add(u"/日本/x");
  drop->AssignFilesW(one.get());
  EXPECT_EQ(drop->FileCount(), 1);
  EXPECT_EQ(drop->FileNameW(0), u"/日本/x");
  EXPECT_EQ(drop->FileNameW(1), u"");
  EXPECT_EQ(drop->FileNameW(-1), u"");
  EXPECT_EQ(drop->GetStructureSize(), 20 + 2 * (5 + 1) + 2);

  // Through a data object and back.
  ComPtr<IDataObject> obj = NewObject();
  ASSERT_TRUE(drop->SaveToDataObject(obj.Get()));
  Owned<TCommonHDrop> back(TCommonHDrop::New());
  ASSERT_TRUE(back->LoadFromDataObject(obj.Get()));
  Owned<TStringList> names(TStringList::New());
  back->FileNamesW(names.get());
  ASSERT_EQ(names->Count(), 1);
  EXPECT_EQ(names->Get(0), u"/日本/x");

  // A block with no names counts none; a nil list leaves no block.
  Owned<TStringList> none(TStringList::New());
  drop->AssignFilesA(none.get());
  EXPECT_EQ(drop->FileCount(), 0);
  drop->AssignFilesA(nullptr);
  EXPECT_EQ(drop->GetDropFiles(), nullptr);
}

TEST_F(DataObjects, MalformedBlocksAreRefusedWhole) {
  std::vector<Byte> head = Bytes({0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  std::vector<Byte> dropPast = head, dropNoEnd = head;
  dropPast[0] = 0x30;
  dropPast.insert(dropPast.end(), {'a', 0, 0});
  dropNoEnd.insert(dropNoEnd.end(), {'a', 'b', 'c'});
  // CIDA: cidl, offsets, lists.
  std::vector<Byte> good = Bytes({1, 0, 0, 0, 12, 0, 0, 0, 14, 0, 0, 0, 0, 0, 4, 0, 'x', 'y', 0, 0});
  std::vector<Byte> countTooLarge = good, offsetPast = good, chainLeaves = good, zeroStep = good;
  countTooLarge[0] = 5;
  offsetPast[8] = 20;
  chainLeaves[14] = 9;  // the item's cb runs past the end
  zeroStep[14] = 1;     // a cb below its own size
  std::vector<Byte> noTerminator(good.begin(), good.end() - 2);
  struct Case {
    const char* what;
    bool cida;
    std::vector<Byte> block;
  } cases[] = {
      {"drop: offset past the end", false, dropPast},
      {"drop: name without its terminator", false, dropNoEnd},
      {"drop: shorter than its header", false, Bytes({0x14, 0, 0})},
      {"cida: count larger than the block", true, countTooLarge},
      {"cida: offset past the end", true, offsetPast},
      {"cida: cb chain leaves the block", true, chainLeaves},
      {"cida: cb that does not move on", true, zeroStep},
      {"cida: list without its terminator", true, noTerminator},
      {"cida: no count", true, Bytes({1, 0})},
  };
  for (const Case& c : cases) {
    ComPtr<IDataObject> obj = Holding(c.cida ? CF_SHELLIDLIST : CF_HDROP, c.block);
    if (c.cida) {
      Owned<TCommonShellIDList> list(TCommonShellIDList::New());
      EXPECT_FALSE(list->LoadFromDataObject(obj.Get())) << c.what;
      EXPECT_EQ(list->GetCIDA(), nullptr) << c.what;
      EXPECT_EQ(list->PIDLCount(), 0) << c.what;
    } else {
      Owned<TCommonHDrop> drop(TCommonHDrop::New());
      EXPECT_FALSE(drop->LoadFromDataObject(obj.Get())) << c.what;
      EXPECT_EQ(drop->GetDropFiles(), nullptr) << c.what;
      EXPECT_EQ(drop->FileCount(), 0) << c.what;
    }
  }
  // The well-formed block beside them reads.
  Owned<TCommonShellIDList> list(TCommonShellIDList::New());
  ASSERT_TRUE(list->LoadFromDataObject(Holding(CF_SHELLIDLIST, good).Get()));
  EXPECT_EQ(list->PIDLCount(), 1);
  // A drop block whose last name ends the block still gives its names.
  std::vector<Byte> shortEnd = head;
  shortEnd.insert(shortEnd.end(), {'a', 0});
  Owned<TCommonHDrop> drop(TCommonHDrop::New());
  ASSERT_TRUE(drop->LoadFromDataObject(Holding(CF_HDROP, shortEnd).Get()));
  EXPECT_EQ(drop->FileNameW(0), u"a");
  EXPECT_EQ(drop->FileCount(), 1);
}

TEST_F(DataObjects, ShellIdListBuildsTheBlockByteForByte) {
  std::vector<Byte> desktop = Bytes({0, 0});
  std::vector<Byte> a = Bytes({6, 0, 'A', 'B', 'C', 'D', 0, 0});
  std::vector<Byte> b = Bytes({4, 0, 'X', 'Y', 5, 0, 'a', 'b', 'c', 0, 0});
  Owned<TCommonPIDLList> pidls(TCommonPIDLList::New());
  pidls->SetSharePIDLs(true);
  for (auto* v : {&desktop, &a, &b}) pidls->Add(reinterpret_cast<PItemIDList>(v->data()));
  Owned<TCommonShellIDList> list(TCommonShellIDList::New());
  list->AssignPIDLs(pidls.get());
  std::vector<Byte> expected = Bytes({2, 0, 0, 0, 16, 0, 0, 0, 18, 0, 0, 0, 26, 0, 0, 0, 0, 0,  //
                                      6, 0, 'A', 'B', 'C', 'D', 0, 0,                           //
                                      4, 0, 'X', 'Y', 5, 0, 'a', 'b', 'c', 0, 0});
  ASSERT_EQ(list->GetCIDASize(), 37);
  EXPECT_EQ(std::vector<Byte>(list->GetCIDA(), list->GetCIDA() + 37), expected);
  EXPECT_EQ(list->PIDLCount(), 2);
  EXPECT_EQ(list->RelativePIDL(-1), nullptr);
  EXPECT_EQ(list->RelativePIDL(2), nullptr);
  EXPECT_EQ(std::memcmp(list->RelativePIDL(1), b.data(), b.size()), 0);
  PItemIDList abs = list->AbsolutePIDL(0);
  EXPECT_EQ(std::vector<Byte>(reinterpret_cast<Byte*>(abs), reinterpret_cast<Byte*>(abs) + 8), a);
  CommonDataObjectPIDLMgr->FreePIDL(abs);

  // Read back from a data object, as a drop from another program.
  Owned<TCommonShellIDList> back(TCommonShellIDList::New());
  ASSERT_TRUE(back->LoadFromDataObject(Holding(CF_SHELLIDLIST, expected).Get()));
  EXPECT_EQ(std::vector<Byte>(back->GetCIDA(), back->GetCIDA() + back->GetCIDASize()), expected);

  // An empty list builds no block (not one of -1 items).
  Owned<TCommonPIDLList> empty(TCommonPIDLList::New());
  list->AssignPIDLs(empty.get());
  EXPECT_EQ(list->GetCIDA(), nullptr);
  EXPECT_EQ(list->PIDLCount(), 0);
  EXPECT_EQ(list->ParentPIDL(), nullptr);
  EXPECT_EQ(list->AbsolutePIDL(0), nullptr);
}

TEST_F(DataObjects, QueryGetDataAnswers) {
  auto* raw = TCommonDataObject::New(true);
  ComPtr<IDataObject> obj(raw->AsDataObject());
  FORMATETC hdrop{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(obj->QueryGetData(&hdrop), E_UNEXPECTED);  // nothing stored yet
  ASSERT_TRUE(raw->SaveGlobalBlock(CF_HDROP, "x", 1));
  struct Case {
    FORMATETC f;
    HRESULT hr;
  } cases[] = {
      {hdrop, S_OK},
      {{CF_HDROP, nullptr, DVASPECT_CONTENT, 7, TYMED_HGLOBAL | TYMED_FILE}, S_OK},  // index not compared
      {{CF_HDROP, nullptr, DVASPECT_ICON, -1, TYMED_HGLOBAL}, DV_E_DVASPECT},
      {{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_FILE}, DV_E_TYMED},
      {{CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}, DV_E_FORMATETC},
  };
  for (const Case& c : cases) EXPECT_EQ(obj->QueryGetData(&c.f), c.hr) << c.f.cfFormat << "/" << c.f.dwAspect;
  // A query the exact match does not find goes to GetUserData, which has nothing.
  STGMEDIUM m;
  EXPECT_EQ(obj->GetData(&cases[1].f, &m), E_UNEXPECTED);
  // The handler decides first when it says so.
  raw->OnQueryGetData = [](TObject*, const FORMATETC& f, bool& available, bool& handled) {
    handled = f.cfFormat == CF_UNICODETEXT;
    available = true;
  };
  EXPECT_EQ(obj->QueryGetData(&cases[4].f), S_OK);
}

TEST_F(DataObjects, MediaAreSharedReplacedAndNeverFreedTwice) {
  auto* raw = TCommonDataObject::New(true);
  ComPtr<IDataObject> obj(raw->AsDataObject());
  int64_t base = ole::testing::LiveGlobalBlocks();
  ASSERT_TRUE(raw->SaveGlobalBlock(CF_HDROP, "one", 3));
  ASSERT_TRUE(raw->SaveGlobalBlock(CF_HDROP, "two!", 4));  // replaces and frees the first
  EXPECT_EQ(ole::testing::LiveGlobalBlocks(), base + 1);
  EXPECT_EQ(raw->GetFormats().size(), 1u);

  // GetData shares the stored block through a reference to the object.
  FORMATETC f{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM got;
  ASSERT_EQ(obj->GetData(&f, &got), S_OK);
  EXPECT_EQ(got.hGlobal, raw->GetFormats()[0].StgMedium.hGlobal);
  ComPtr<IUnknown> self;
  obj->QueryInterface(IUnknown::Iid, self.GetVoidAddress());
  EXPECT_EQ(got.pUnkForRelease, self.Get());

  // Handing the shared medium back, for the same format and for another one, stores copies.
  STGMEDIUM again;
  ASSERT_EQ(obj->GetData(&f, &again), S_OK);
  FORMATETC other{CF_PREFERREDDROPEFFECT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(obj->SetData(&other, &again, 1), S_OK);
  EXPECT_EQ(obj->SetData(&f, &got, 1), S_OK);
  std::vector<Byte> bytes;
  ASSERT_TRUE(raw->LoadGlobalBlock(CF_HDROP, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "two!");
  ASSERT_TRUE(raw->LoadGlobalBlock(CF_PREFERREDDROPEFFECT, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "two!");
  EXPECT_NE(raw->GetFormats()[0].StgMedium.hGlobal, raw->GetFormats()[1].StgMedium.hGlobal);
  EXPECT_EQ(raw->GetFormats()[0].StgMedium.pUnkForRelease, nullptr);

  // Kept without copying when told so: the object takes the medium.
  STGMEDIUM mine;
  mine.tymed = TYMED_HGLOBAL;
  mine.hGlobal = GlobalAlloc(GHND, 2);
  FORMATETC third{CF_PASTESUCCEEDED, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(obj->SetData(&third, &mine, 0), S_OK);  // copied: the caller still owns its block
  ReleaseStgMedium(&mine);
  STGMEDIUM gdi;
  gdi.tymed = TYMED_GDI;
  EXPECT_EQ(obj->SetData(&third, &gdi, 0), DV_E_TYMED);  // GDI media cannot be copied
  EXPECT_EQ(raw->GetFormats().size(), 2u);
}

TEST_F(DataObjects, EnumeratorAndReferenceCounting) {
  auto* raw = TCommonDataObject::New(true);
  ComPtr<IDataObject> obj(raw->AsDataObject());
  IEnumFORMATETC* none = reinterpret_cast<IEnumFORMATETC*>(1);
  EXPECT_EQ(obj->EnumFormatEtc(DATADIR_SET, &none), E_NOTIMPL);
  EXPECT_EQ(none, nullptr);
  raw->SaveGlobalBlock(CF_HDROP, "a", 1);
  raw->SaveGlobalBlock(CF_SHELLIDLIST, "b", 1);
  raw->SaveGlobalBlock(CF_HDROP, "c", 1);
  ComPtr<IEnumFORMATETC> e;
  ASSERT_EQ(obj->EnumFormatEtc(DATADIR_GET, e.GetAddressOf()), S_OK);
  FORMATETC out[3];
  ULONG n = 0;
  EXPECT_EQ(e->Next(3, out, &n), S_FALSE);  // the format set twice is listed once
  ASSERT_EQ(n, 2u);
  EXPECT_EQ(out[0].cfFormat, CF_HDROP);
  EXPECT_EQ(out[1].cfFormat, CF_SHELLIDLIST);
  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(2), S_FALSE);  // would land on the end: stays
  EXPECT_EQ(e->Skip(1), S_OK);
  ComPtr<IEnumFORMATETC> clone;
  ASSERT_EQ(e->Clone(clone.GetAddressOf()), S_OK);
  EXPECT_EQ(clone->Next(1, out, nullptr), S_OK);
  EXPECT_EQ(out[0].cfFormat, CF_SHELLIDLIST);

  // A data object that its owner keeps survives any number of releases.
  TCommonDataObject* kept = TCommonDataObject::New(false);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(kept->AsDataObject()->Release(), static_cast<ULONG>(-1));
  kept->SaveGlobalBlock(CF_HDROP, "k", 1);
  kept->Free();
  ComPtr<ICommonDataObjectMark> mark;
  EXPECT_EQ(obj.As(mark), S_OK);

  // The drag image goes with the object: a 3 x 2 red bitmap whose first pixel is the lime colour
  // key, held at (1, 2). The object gets width, height, hot spot and key, then the pixels as B, G,
  // R, A with the key's pixels transparent.
  Owned<TBitmap> bmp(TBitmap::New());
  bmp->SetPixelFormat(TPixelFormat::pf32bit);
  bmp->SetSize(3, 2);
  bmp->GetCanvas()->GetBrush()->SetColor(clRed);
  bmp->GetCanvas()->FillRect(TRect{0, 0, 3, 2});
  bmp->GetCanvas()->SetPixel(0, 0, clLime);
  EXPECT_TRUE(raw->AssignDragImage(bmp.get(), TPoint{1, 2}, clLime));
  EXPECT_FALSE(raw->AssignDragImage(nullptr, TPoint{1, 2}, clLime));
  std::vector<Byte> image;
  ASSERT_TRUE(raw->LoadGlobalBlock(static_cast<TClipFormat>(RegisterClipboardFormatW(u"DragImageBits")), image));
  const std::vector<Byte> red = {0, 0, 0xFF, 0xFF};
  std::vector<Byte> want = Bytes({3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0xFF, 0, 0,  //
                                  0, 0xFF, 0, 0});
  for (int i = 0; i < 5; ++i) want.insert(want.end(), red.begin(), red.end());
  EXPECT_EQ(image, want);
}

TEST_F(DataObjects, InShellDragLoopAndClipboardWithoutBlocks) {
  ComPtr<IDataObject> obj = NewObject();
  Owned<TCommonInShellDragLoop> loop(TCommonInShellDragLoop::New());
  loop->SetData(0x01020304);
  ASSERT_TRUE(loop->SaveToDataObject(obj.Get()));
  Owned<TCommonInShellDragLoop> back(TCommonInShellDragLoop::New());
  ASSERT_TRUE(back->LoadFromDataObject(obj.Get()));
  EXPECT_EQ(back->GetData(), 0x01020304u);
  EXPECT_FALSE(back->LoadFromDataObject(Holding(CF_INSHELLDRAGLOOP, Bytes({1, 2})).Get()));

  // A clipboard without a shell ID list loads nothing and says so.
  ASSERT_EQ(OleSetClipboard(nullptr), S_OK);
  Owned<TCommonShellIDList> list(TCommonShellIDList::New());
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_FALSE(list->LoadFromClipboard());
  CloseClipboard();
  Owned<TCommonHDrop> drop(TCommonHDrop::New());
  EXPECT_FALSE(drop->LoadFromClipboard());
}

// A sink that writes down what it is told: the format and the first byte of the block, or '-'
// when it was told without data.
struct RecordingSink final : TComObject<IAdviseSink> {
  std::string Log;
  void OnDataChange(const FORMATETC* format, const STGMEDIUM* medium) override {
    Log += std::to_string(format ? format->cfFormat : 0);
    if (medium && medium->tymed == TYMED_HGLOBAL) {
      Log += static_cast<char>(*static_cast<const char*>(GlobalLock(medium->hGlobal)));
      GlobalUnlock(medium->hGlobal);
    } else {
      Log += '-';
    }
    Log += ' ';
  }
  void OnViewChange(DWORD, LONG) override {}
  void OnRename(IUnknown*) override {}
  void OnSave() override {}
  void OnClose() override {}
};

TEST_F(DataObjects, AdviseSinksAreToldListedAndLet) {
  auto* raw = TCommonDataObject::New(true);
  ComPtr<IDataObject> obj(raw->AsDataObject());
  // Before anyone advised there is no holder to ask.
  IEnumSTATDATA* none = reinterpret_cast<IEnumSTATDATA*>(1);
  EXPECT_EQ(obj->EnumDAdvise(&none), OLE_E_ADVISENOTSUPPORTED);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(obj->DUnadvise(1), OLE_E_ADVISENOTSUPPORTED);

  ComPtr<RecordingSink> withData(new RecordingSink), bare(new RecordingSink);
  constexpr DWORD kNoData = 1;
  FORMATETC hdrop{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  FORMATETC ids{CF_SHELLIDLIST, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  DWORD first = 0, second = 0;
  ASSERT_EQ(obj->DAdvise(&hdrop, 0, withData.Get(), &first), S_OK);
  ASSERT_EQ(obj->DAdvise(&ids, kNoData, bare.Get(), &second), S_OK);
  EXPECT_NE(first, second);

  // Each SetData tells every sink, with the block of its own format when it asked for data.
  raw->SaveGlobalBlock(CF_HDROP, "a", 1);
  raw->SaveGlobalBlock(CF_SHELLIDLIST, "b", 1);
  std::string h = std::to_string(CF_HDROP), s = std::to_string(CF_SHELLIDLIST);
  EXPECT_EQ(withData->Log, h + "a " + h + "a ");
  EXPECT_EQ(bare->Log, s + "- " + s + "- ");

  // The list names both connections in the order they were made, each sink with a reference of
  // the caller's own.
  ComPtr<IEnumSTATDATA> e;
  ASSERT_EQ(obj->EnumDAdvise(e.GetAddressOf()), S_OK);
  ASSERT_TRUE(e);
  STATDATA got[3];
  ULONG n = 0;
  EXPECT_EQ(e->Next(3, got, &n), S_FALSE);
  ASSERT_EQ(n, 2u);
  EXPECT_EQ(got[0].dwConnection, first);
  EXPECT_EQ(got[0].formatetc.cfFormat, CF_HDROP);
  EXPECT_EQ(got[0].advf, 0u);
  EXPECT_EQ(got[0].pAdvSink, static_cast<IAdviseSink*>(withData.Get()));
  EXPECT_EQ(got[1].dwConnection, second);
  EXPECT_EQ(got[1].advf, kNoData);
  EXPECT_EQ(got[1].pAdvSink, static_cast<IAdviseSink*>(bare.Get()));
  for (ULONG i = 0; i < n; ++i) got[i].pAdvSink->Release();
  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(2), S_OK);
  EXPECT_EQ(e->Next(1, got, &n), S_FALSE);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(3), S_FALSE);

  // A connection let go is told nothing more and leaves the list; letting it go twice fails.
  EXPECT_EQ(obj->DUnadvise(first), S_OK);
  EXPECT_NE(obj->DUnadvise(first), S_OK);
  raw->SaveGlobalBlock(CF_HDROP, "c", 1);
  EXPECT_EQ(withData->Log, h + "a " + h + "a ");
  EXPECT_EQ(bare->Log, s + "- " + s + "- " + s + "- ");
  ComPtr<IEnumSTATDATA> after;
  ASSERT_EQ(obj->EnumDAdvise(after.GetAddressOf()), S_OK);
  ASSERT_EQ(after->Next(1, got, &n), S_OK);
  EXPECT_EQ(got[0].dwConnection, second);
  got[0].pAdvSink->Release();
  // The first enumerator still walks its own snapshot.
  ASSERT_EQ(e->Reset(), S_OK);
  ASSERT_EQ(e->Next(1, got, &n), S_OK);
  EXPECT_EQ(got[0].dwConnection, first);
  got[0].pAdvSink->Release();
}

}  // namespace

// ---- data objects from a selection of namespace items ----

#include "common/CommonNamespaceObjects.h"

namespace {

using namespace common;

struct FakeItem final : ICommonNamespaceItem {
  FakeItem(std::vector<Byte> pidl, bool fileSystem, String path)
      : Pidl(std::move(pidl)), FileSystem(fileSystem), Path(std::move(path)) {}
  std::vector<Byte> Pidl;
  bool FileSystem{false};
  String Path;
  const ITEMIDLIST* GetAbsolutePIDL() const override { return reinterpret_cast<const ITEMIDLIST*>(Pidl.data()); }
  bool GetFileSystem() const override { return FileSystem; }
  String GetNameForParsing() const override { return Path; }
};

struct NamespaceObjects : DataObjects {
  void SetUp() override {
    DataObjects::SetUp();
    InitializeCommonObjects();
  }
  void TearDown() override {
    FinalizeCommonObjects();
    DataObjects::TearDown();
  }
};

TEST_F(NamespaceObjects, ASelectionBecomesOneEntryPerItemWithoutTheDesktop) {
  FakeItem folder{Bytes({3, 0, 'a', 3, 0, 'b', 0, 0}), true, u"/home/u/Фото"};
  FakeItem again = folder;
  FakeItem desktop{Bytes({0, 0}), false, u""};
  FakeItem file{Bytes({3, 0, 'a', 3, 0, 'b', 3, 0, 'x', 0, 0}), true, u"/home/u/Фото/x y.jpg"};
  FakeItem virt{Bytes({3, 0, 'n', 0, 0}), false, u"::{virtual}"};
  TCommonNamespaceList list{&folder, &desktop, &again, &virt, &file};
  ComPtr<IDataObject> obj;
  CreateNamespaceDataObject(&list, true, obj);
  ASSERT_TRUE(obj);
  // Most IDs first; the repeat and the desktop are gone; the items themselves are untouched.
  EXPECT_EQ(list, (TCommonNamespaceList{&file, &folder, &virt}));

  Owned<TCommonShellIDList> ids(TCommonShellIDList::New());
  ASSERT_TRUE(ids->LoadFromDataObject(obj.Get()));
  std::vector<Byte> expected = Bytes({3, 0, 0, 0, 20, 0, 0, 0, 22, 0, 0, 0, 33, 0, 0, 0, 41, 0, 0, 0, 0, 0,  //
                                      3, 0, 'a', 3, 0, 'b', 3, 0, 'x', 0, 0,                                 //
                                      3, 0, 'a', 3, 0, 'b', 0, 0,                                            //
                                      3, 0, 'n', 0, 0});
  EXPECT_EQ(std::vector<Byte>(ids->GetCIDA(), ids->GetCIDA() + ids->GetCIDASize()), expected);

  Owned<TCommonHDrop> drop(TCommonHDrop::New());
  ASSERT_TRUE(drop->LoadFromDataObject(obj.Get()));
  EXPECT_EQ(drop->GetDropFiles()[16], 1) << "names written wide";
  EXPECT_EQ(drop->FileCount(), 2);
  EXPECT_EQ(drop->FileNameW(0), u"/home/u/Фото/x y.jpg");
  EXPECT_EQ(drop->FileNameW(1), u"/home/u/Фото");

  Owned<TCommonInShellDragLoop> loop(TCommonInShellDragLoop::New());
  loop->SetData(7);
  ASSERT_TRUE(loop->LoadFromDataObject(obj.Get()));
  EXPECT_EQ(loop->GetData(), 0u);
  ComPtr<ICommonDataObjectFolders> folders;
  ASSERT_EQ(obj.As(folders), S_OK);
  EXPECT_TRUE(folders->GetIsMultiFolder());
  EXPECT_TRUE(folders->GetIsMultiFolderVerified());

  // Without the drag-loop flag, and into a data object the caller already has.
  ComPtr<IDataObject> given = NewObject();
  TCommonNamespaceList one{&virt};
  CreateNamespaceDataObject(&one, false, given);
  EXPECT_FALSE(loop->LoadFromDataObject(given.Get()));
  EXPECT_TRUE(ids->LoadFromDataObject(given.Get()));
  EXPECT_EQ(ids->PIDLCount(), 1);
  // A nil list only marks the object.
  ComPtr<IDataObject> empty;
  CreateNamespaceDataObject(nullptr, true, empty);
  ASSERT_TRUE(empty);
  IEnumFORMATETC* e = nullptr;
  ASSERT_EQ(empty->EnumFormatEtc(DATADIR_GET, &e), S_OK);
  FORMATETC f;
  EXPECT_EQ(e->Next(1, &f, nullptr), E_UNEXPECTED);  // an enumerator of no formats has nothing to give
  e->Release();
}

}  // namespace
