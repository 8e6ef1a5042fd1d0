// The small routines: conversions, paths, rectangles, platform tests, the loaded-library list,
// the binder of optional entry points and folder sizes.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "CommonTestUtil.h"
#include "platform/kernel/Version.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "support/TestEnv.h"

namespace {

using namespace commontest;
using namespace common;
using E = TCommonDropEffect;
using K = TCommonKeyState;

TEST(Conversions, DropEffectsAndKeyStates) {
  EXPECT_EQ(DropEffectToCommonDropEffects(0x80000000u), (TCommonDropEffects{E::cdeNone, E::cdeScroll}));
  EXPECT_EQ(CommonDropEffectsToDropEffect({E::cdeNone, E::cdeCopy, E::cdeLink}), 5u);
  struct Case {
    TCommonKeyStates keys;
    E effect;
  } cases[] = {
      {{K::cksShift, K::cksControl, K::cksAlt}, E::cdeLink}, {{K::cksControl}, E::cdeCopy},
      {{K::cksAlt}, E::cdeLink},  {{K::cksControl, K::cksAlt}, E::cdeMove}, {{}, E::cdeMove},
  };
  for (const auto& k : cases) EXPECT_EQ(CommonKeyStatesToDropEffect(k.keys), k.effect) << k.keys.Bits();
  EXPECT_EQ(KeyStateToCommonKeyStates(MK_LBUTTON | MK_SHIFT | MK_ALT),
            (TCommonKeyStates{K::cksLButton, K::cksShift, K::cksAlt, K::cksButton}));
  EXPECT_EQ(KeyStateToCommonMouseButton(MK_RBUTTON | MK_MBUTTON | MK_LBUTTON), TCommonMouseButton::cmbLeft);
  EXPECT_EQ(KeyStateToCommonMouseButton(MK_RBUTTON | MK_MBUTTON), TCommonMouseButton::cmbMiddle);
  // Bit 29 of the key data is Alt; the rest comes from the keyboard.
  pf::testing::SetKeyDown(VK_SHIFT, true);
  EXPECT_EQ(ShiftStateFromKeyData(0x20000000), (common::TShiftState{common::TShiftStateItem::ssShift, common::TShiftStateItem::ssAlt}));
  pf::testing::ResetKeyState();
}

TEST(Paths, DrivesFoldersAndExtensions) {
  struct Root {
    const char16_t* path;
    bool root;
  } roots[] = {{u"c:\\", true}, {u"C:\\x", false}, {u"1:", false}, {u"C:/", false}, {u"", false}};
  for (const auto& k : roots) EXPECT_EQ(IsDriveRoot(k.path), k.root);
  struct Split {
    const char16_t *path, *dir, *drive, *ext;
  } splits[] = {
      {u"C:\\photos\\a.jpg", u"C:\\photos", u"C:", u".jpg"},
      {u"C:\\a.jpg", u"C:\\", u"C:", u".jpg"},
      {u"/home/u/pic.tar.gz", u"/home/u", u"", u".gz"},
      {u"/top", u"/", u"", u""},
      {u"\\\\server\\share\\dir\\f", u"\\\\server\\share\\dir", u"\\\\server\\share", u""},
      {u"dir.d/noext", u"dir.d", u"", u""},
      {u"name", u"", u"", u""},
  };
  for (const auto& k : splits) {
    SCOPED_TRACE(pf::StringToUtf8(k.path));
    EXPECT_EQ(WideExtractFileDir(k.path), k.dir);
    EXPECT_EQ(WideExtractFileDrive(k.path), k.drive);
    EXPECT_EQ(WideExtractFileExt(k.path), k.ext);
  }
  EXPECT_EQ(WideExtractFileExt(u"a.tar.gz", true), u"gz");
  EXPECT_EQ(WideExtractFileDrive(u"C:\\x", true), u"C");
  EXPECT_FALSE(WideDirectoryExists(u""));
}

// Tests that need the bound entry points run inside the unit's start-up and shut-down, which
// leaves no library counted behind.
struct UnitScope {
  UnitScope() { InitializeCommonUtilities(); }
  ~UnitScope() { FinalizeCommonUtilities(); }
};

TEST(Strings, CaseAndComparison) {
  UnitScope unit;
  EXPECT_EQ(WideStrUpper(u"фото abc"), u"ФОТО ABC");
  EXPECT_EQ(WideStrICompare(u"Фото", u"фОТО"), 0);
  EXPECT_GT(WideStrICompareP(u"b", nullptr), 0);
  STRRET cstr;
  std::strcpy(cstr.cStr, "name");
  EXPECT_EQ(StrRetToWide(cstr, nullptr), u"name");
  // A task-allocator string is taken and freed.
  int64_t blocks = ole::testing::LiveTaskBlocks();
  STRRET wstr;
  wstr.uType = STRRET_WSTR;
  wstr.pOleStr = static_cast<Char*>(CoTaskMemAlloc(6 * sizeof(Char)));
  std::memcpy(wstr.pOleStr, u"фото", 5 * sizeof(Char));
  EXPECT_EQ(StrRetToWide(wstr, nullptr), u"фото");
  EXPECT_EQ(ole::testing::LiveTaskBlocks(), blocks);
  // An 8-bit string inside the item ID list, read no further than the list's end.
  const Byte pidl[] = {7, 0, 'x', 'a', 'b', 'c', 0, 6, 0, 'd', 'e', 'f', 'g', 0, 0};
  STRRET off;
  off.uType = STRRET_OFFSET;
  off.uOffset = 3;
  EXPECT_EQ(StrRetToWide(off, reinterpret_cast<const ITEMIDLIST*>(pidl)), u"abc");
  off.uOffset = 9;  // runs into the terminator
  EXPECT_EQ(StrRetToWide(off, reinterpret_cast<const ITEMIDLIST*>(pidl)), u"defg");
  off.uOffset = 40;
  EXPECT_EQ(StrRetToWide(off, reinterpret_cast<const ITEMIDLIST*>(pidl)), u"");
}

TEST(Rectangles, OrderingAndCentring) {
  EXPECT_EQ(OrderedRect(TRect{5, 9, 1, 2}), (TRect{1, 2, 5, 9}));
  EXPECT_FALSE(RectContainsRect(TRect{0, 0, 10, 10}, TRect{-1, 0, 10, 10}));
  struct Case {
    TRect outer, inner, expected;
  } cases[] = {
      {{10, 20, 20, 30}, {0, 0, 4, 10}, {13, 20, 17, 30}},   // fits exactly in height
      {{0, 0, 10, 10}, {0, 0, 12, 4}, {0, 3, 10, 7}},        // too wide: spans the outer width
      {{0, 0, 9, 9}, {5, 5, 7, 7}, {3, 3, 5, 5}},            // (9 - 2) div 2 = 3
  };
  for (const auto& k : cases) {
    TRect r;
    CenterRectInRect(k.outer, k.inner, r);
    EXPECT_EQ(r, k.expected);
  }
}

TEST(Platform, TestsFollowTheVersion) {
  struct Case {
    TPlatformVersion v;
    bool nt, win95, nt4, nt5, nt6, nt61;
  } cases[] = {
      {{VER_PLATFORM_WIN32_NT, 10, 0, 19045}, true, false, false, true, true, true},
      {{VER_PLATFORM_WIN32_NT, 6, 0, 6000}, true, false, false, true, true, false},
      {{VER_PLATFORM_WIN32_NT, 6, 1, 7601}, true, false, false, true, true, true},
      {{VER_PLATFORM_WIN32_NT, 4, 0, 1381}, true, false, true, false, false, false},
      {{VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950}, false, true, false, false, false, false},
      {{VER_PLATFORM_WIN32_WINDOWS, 4, 0, 1111}, false, false, false, false, false, false},
  };
  for (const auto& k : cases) {
    SetPlatformVersion(k.v);
    EXPECT_EQ(IsPlatformNT(), k.nt);
    EXPECT_EQ(IsWin95Original(), k.win95);
    EXPECT_EQ(IsNT4OrEarlier(), k.nt4);
    EXPECT_EQ(IsNT5OrLater(), k.nt5);
    EXPECT_EQ(IsNT6OrLater(), k.nt6);
    EXPECT_EQ(IsNT61OrLater(), k.nt61) << k.v.Major << "." << k.v.Minor;
  }
  ResetPlatformVersion();
}

struct LibraryFixture : ::testing::Test {
  ~LibraryFixture() override {
    pf::kernel::testing::RestoreExports();
    ResetWideApiBindingForTests();
  }
};

TEST_F(LibraryFixture, LoadLibraryRefCountsOneRecordPerName) {
  EXPECT_EQ(LoadLibraryRef(u"nosuch.dll"), nullptr);
  EXPECT_EQ(LoadedLibraries, nullptr);
  HMODULE a = LoadLibraryRef(u"dwmapi.dll");
  ASSERT_NE(a, nullptr);
  HMODULE b = LoadLibraryRef(u"DWMAPI.DLL");
  EXPECT_EQ(a, b);
  ASSERT_NE(LoadedLibraries, nullptr);
  ASSERT_EQ(LoadedLibraries->size(), 1u);
  EXPECT_EQ((*LoadedLibraries)[0].ReferenceCount, 2);
  EXPECT_EQ(pf::kernel::testing::ModuleRefCount(a), 2);
  EXPECT_TRUE(FreeLibraryRef(u"dwmapi.dll"));
  EXPECT_EQ(pf::kernel::testing::ModuleRefCount(a), 1);
  EXPECT_TRUE(FreeLibraryRef(u"dwmapi.dll"));
  EXPECT_EQ(pf::kernel::testing::ModuleRefCount(a), 0);
  EXPECT_EQ(LoadedLibraries, nullptr);
  EXPECT_FALSE(FreeLibraryRef(u"dwmapi.dll"));
}

TEST_F(LibraryFixture, BindingAnswersWhatTheLayerImplementsAndNilForTheRest) {
  ResetWideApiBindingForTests();
  pf::kernel::testing::RemoveExport("kernel32.dll", "lstrcmpW");
  BindWideApiFunctions();
  EXPECT_NE(CharUpperBuffW_MP, nullptr);
  EXPECT_NE(lstrcmpiW_MP, nullptr);
  EXPECT_NE(GetDiskFreeSpaceExW_MP, nullptr);
  EXPECT_EQ(lstrcmpW_MP, nullptr);
  EXPECT_EQ(BoundEntryPoint("DrawTextW"), reinterpret_cast<FARPROC>(&pf::DrawTextW));
  EXPECT_EQ(BoundEntryPoint("Wow64DisableWow64FsRedirection"), nullptr);
  EXPECT_EQ(BoundEntryPoint("PathMatchSpecW"), nullptr);
  // The fallback runs where an entry point is missing: upper case without CharUpperBuffW.
  ResetWideApiBindingForTests();
  pf::kernel::testing::RemoveExport("user32.dll", "CharUpperBuffW");
  BindWideApiFunctions();
  EXPECT_EQ(CharUpperBuffW_MP, nullptr);
  EXPECT_EQ(WideStrUpper(u"abc"), u"ABC");
  // Off the NT platform only the two always-bound ones are looked up.
  ResetWideApiBindingForTests();
  pf::kernel::testing::RestoreExports();
  SetPlatformVersion(TPlatformVersion{VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222});
  BindWideApiFunctions();
  ResetPlatformVersion();
  EXPECT_EQ(lstrcmpiW_MP, nullptr);
  EXPECT_NE(GetDiskFreeSpaceExA_MP, nullptr);
  // Binding loaded shlwapi and Userenv through the counted list; the unit's shut-down frees them.
  ASSERT_NE(LoadedLibraries, nullptr);
  EXPECT_EQ(LoadedLibraries->size(), 2u);
  InitializeCommonUtilities();
  FinalizeCommonUtilities();
  EXPECT_EQ(LoadedLibraries, nullptr);
  EXPECT_EQ(GetModuleHandleA("shlwapi.dll"), nullptr);
}

TEST(FolderSize, SumsFilesWithoutFollowingLinks) {
  UnitScope unit;
  auto dir = testsupport::MakeTempDir("size");
  testsupport::WriteFileBytes(dir / "a", std::string(5, 'x'));
  testsupport::WriteFileBytes(dir / "b.bin", std::string(7, 'x'));
  std::filesystem::create_directories(dir / "sub" / "deeper");
  testsupport::WriteFileBytes(dir / "sub" / "c", std::string(11, 'x'));
  testsupport::WriteFileBytes(dir / "sub" / "deeper" / "d", std::string(13, 'x'));
  // A link back up: following it would never end.
  std::filesystem::create_directory_symlink(dir, dir / "sub" / "loop");
  String folder = FromNativePath(dir.string());
  Int64 size = 0;
  SumFolderSize(folder, true, size);
  EXPECT_EQ(size, 36);
  EXPECT_EQ(DriveOrFolderSize(folder, false), 12);
  EXPECT_EQ(DriveOrFolderSize(folder, true), 36);
  // Off the wide platform, where no wide entry point is bound, the walk goes through the 8-bit
  // calls, to the same sum.
  auto bindAs = [](const TPlatformVersion& v) {
    SetPlatformVersion(v);
    ResetWideApiBindingForTests();
    BindWideApiFunctions();
  };
  bindAs(TPlatformVersion{VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222});
  EXPECT_EQ(DriveOrFolderSize(folder, true), 36);
  bindAs(TPlatformVersion{});
  ResetPlatformVersion();
  FolderSizeAbort = true;
  size = 0;
  SumFolderSize(folder, true, size);
  EXPECT_EQ(size, 0);
  FolderSizeAbort = false;
  EXPECT_FALSE(DiskInDrive(u'1'));
}

TEST(Units, CountedStartUpAndShutDown) {
  InitializeCommonUtilities();
  TCommonPIDLManager* first = CommonUtilitiesPIDLMgr;
  ASSERT_NE(first, nullptr);
  InitializeCommonUtilities();  // counted: nothing new
  EXPECT_EQ(CommonUtilitiesPIDLMgr, first);
  FinalizeCommonUtilities();
  EXPECT_EQ(CommonUtilitiesPIDLMgr, first);
  FinalizeCommonUtilities();
  EXPECT_EQ(CommonUtilitiesPIDLMgr, nullptr);
  EXPECT_EQ(LoadedLibraries, nullptr);
}

TEST(Strings, WarningBoxes) {
  pf::testing::ClearMessageBoxLog();
  pf::testing::SetMessageBoxHook([](const pf::testing::TMessageBoxRequest&) { return IDOK; });
  WideMessageBox(nullptr, u"Заголовок", u"Текст 日本");
  SetPlatformVersion(TPlatformVersion{VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222});
  WideMessageBox(nullptr, u"Заголовок", u"Текст 日本");
  ResetPlatformVersion();
  pf::testing::SetMessageBoxHook(nullptr);
  const auto& log = pf::testing::MessageBoxLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].Caption, u"Заголовок");
  EXPECT_EQ(log[0].Text, u"Текст 日本");
  EXPECT_EQ(log[0].Type, MB_ICONEXCLAMATION);
  // The 8-bit path keeps what the system code page (1251) holds.
  EXPECT_EQ(log[1].Caption, u"Заголовок");
  EXPECT_EQ(log[1].Text, u"Текст ??");
  pf::testing::ClearMessageBoxLog();
}

}  // namespace
