// The module table, the platform version and the entry points the layer implements.

#include <gtest/gtest.h>

#include <map>

#include "platform/kernel/KernelApi.h"
#include "platform/kernel/Modules.h"
#include "platform/kernel/Version.h"
#include "platform/rtl/SysUtils.h"
#include "support/TestEnv.h"

namespace {

using namespace pf;

struct ModuleTable : ::testing::Test {
  ~ModuleTable() override { kernel::testing::RestoreExports(); }
};

TEST_F(ModuleTable, LoadedModulesAnswerAndLoadAndFreeAreCounted) {
  HMODULE shell = GetModuleHandleA("shell32.dll");
  ASSERT_NE(shell, nullptr);
  EXPECT_EQ(GetModuleHandleW(u"SHELL32"), shell);
  EXPECT_EQ(GetModuleHandleA("C:\\Windows\\System32\\Shell32.DLL"), shell);
  EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
  // Libraries the program loads itself are not there before it does.
  EXPECT_EQ(GetModuleHandleA("shlwapi.dll"), nullptr);

  EXPECT_EQ(LoadLibraryA("nosuch.dll"), nullptr);
  HMODULE a = LoadLibraryA("Userenv.dll");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(LoadLibraryW(u"userenv.dll"), a);
  EXPECT_EQ(kernel::testing::ModuleRefCount(a), 2);
  EXPECT_TRUE(FreeLibrary(a));
  EXPECT_EQ(GetModuleHandleA("userenv.dll"), a);  // still one reference
  EXPECT_TRUE(FreeLibrary(a));
  // Unloaded: no handle, no entry points, and a further free fails.
  EXPECT_EQ(GetModuleHandleA("userenv.dll"), nullptr);
  EXPECT_FALSE(FreeLibrary(a));
  // A module loaded with the program goes up from 1.
  EXPECT_EQ(LoadLibraryA("shell32.dll"), shell);
  EXPECT_EQ(kernel::testing::ModuleRefCount(shell), 2);
  FreeLibrary(shell);
}

TEST_F(ModuleTable, EntryPointsByNameAndOrdinal) {
  HMODULE shell = GetModuleHandleA("shell32.dll");
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  HMODULE user = GetModuleHandleA("user32.dll");
  EXPECT_EQ(GetProcAddress(shell, MAKEINTRESOURCEA(21)), reinterpret_cast<FARPROC>(&ILIsEqual));
  EXPECT_EQ(GetProcAddress(shell, MAKEINTRESOURCEA(23)), reinterpret_cast<FARPROC>(&ILIsParent));
  EXPECT_EQ(GetProcAddress(shell, MAKEINTRESOURCEA(22)), nullptr);
  EXPECT_EQ(GetProcAddress(kernel, "lstrcmpiW"), reinterpret_cast<FARPROC>(&lstrcmpiW));
  EXPECT_EQ(GetProcAddress(user, "CharUpperBuffW"), reinterpret_cast<FARPROC>(&CharUpperBuffW));
  // What the layer does not implement is nil, as is a name of another module.
  EXPECT_EQ(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection"), nullptr);
  EXPECT_EQ(GetProcAddress(user, "lstrcmpiW"), nullptr);
  // A removed entry point answers nil until restored.
  kernel::testing::RemoveExport("shell32.dll", MAKEINTRESOURCEA(21));
  EXPECT_EQ(GetProcAddress(shell, MAKEINTRESOURCEA(21)), nullptr);
  kernel::testing::RestoreExports();
  EXPECT_NE(GetProcAddress(shell, MAKEINTRESOURCEA(21)), nullptr);
  // Other libraries of the layer add theirs.
  static int called = 0;
  RegisterExport("uxtheme.dll", "IsThemeActive", +[]() -> BOOL { ++called; return 0; });
  HMODULE ux = LoadLibraryA("uxtheme.dll");
  auto fn = ProcAs<BOOL()>(GetProcAddress(ux, "IsThemeActive"));
  ASSERT_NE(fn, nullptr);
  fn();
  EXPECT_EQ(called, 1);
  FreeLibrary(ux);
}

TEST(PlatformVersion, AnswersACurrentWindowsUnlessOverridden) {
  EXPECT_EQ(PlatformVersion().Platform, VER_PLATFORM_WIN32_NT);
  SetPlatformVersion(TPlatformVersion{VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950});
  EXPECT_EQ(PlatformVersion().Platform, VER_PLATFORM_WIN32_WINDOWS);
  ResetPlatformVersion();
  EXPECT_EQ(PlatformVersion().Major, 10);
}

TEST(WideStrings, CompareAndCaseAsThePlatform) {
  EXPECT_EQ(lstrcmpiW(u"abc", u"ABC"), 0);
  EXPECT_GT(lstrcmpiW(u"Б", u"а"), 0);
  EXPECT_LT(lstrcmpW(u"ABC", u"abc"), 0);
  Char buf[] = u"abcЯя";
  EXPECT_EQ(CharUpperBuffW(buf, 3), 3u);
  EXPECT_EQ(String(buf), u"ABCЯя");
  Char dst[4];
  lstrcpynW(dst, u"abcdef", 4);
  EXPECT_EQ(String(dst), u"abc");
}

TEST(Folders, EnumerationFlagsSymbolicLinks) {
  auto dir = testsupport::MakeTempDir("find");
  testsupport::WriteFileBytes(dir / "a.txt", "12345");
  testsupport::WriteFileBytes(dir / "noext", "1");
  std::filesystem::create_directory(dir / "sub");
  std::filesystem::create_directory_symlink(dir, dir / "loop");
  String pattern = FromNativePath((dir / "*.*").string());
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::map<String, DWORD> seen;
  do {
    seen[fd.cFileName] = fd.dwFileAttributes;
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  EXPECT_EQ(seen.size(), 6u);  // ".", "..", a.txt, noext, sub, loop
  EXPECT_TRUE(seen[u"sub"] & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(seen[u"sub"] & FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_TRUE(seen[u"loop"] & FILE_ATTRIBUTE_REPARSE_POINT);
  // A pattern with a backslash and a wildcard on the extension.
  String backslash = FromNativePath(dir.string()) + u"\\*.TXT";
  h = FindFirstFileW(backslash.c_str(), &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(String(fd.cFileName), u"a.txt");
  EXPECT_EQ(fd.nFileSizeLow, 5u);
  EXPECT_FALSE(FindNextFileW(h, &fd));
  FindClose(h);
  String missing = FromNativePath((dir / "nothere" / "*.*").string());
  EXPECT_EQ(FindFirstFileW(missing.c_str(), &fd), INVALID_HANDLE_VALUE);
}

}  // namespace
