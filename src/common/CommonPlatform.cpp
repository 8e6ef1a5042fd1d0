// Platform tests, the start-up binder of optional entry points, the loaded-library list and the
// unit's start-up.

#include <map>
#include <mutex>
#include <string>

#include "common/CommonUtilities.h"
#include "platform/kernel/Version.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/Units.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace common {

// ---- Platform tests ----

bool IsWideApiPlatform() { return PlatformId() == VER_PLATFORM_WIN32_NT; }
bool IsPlatformNT() { return IsWideApiPlatform(); }

bool IsWin95Original() {
  TPlatformVersion v = PlatformVersion();
  return v.Platform == VER_PLATFORM_WIN32_WINDOWS && v.Major == 4 && v.Minor == 0 && v.Build < 1081;
}

bool IsNT4OrEarlier() { return IsPlatformNT() && PlatformVersion().Major < 5; }
bool IsNT5OrLater() { return IsPlatformNT() && PlatformVersion().Major >= 5; }
bool IsNT6OrLater() { return IsPlatformNT() && PlatformVersion().Major >= 6; }

bool IsNT61OrLater() {
  // Major versions above 6 count too (10.0 is later than 6.1, whatever its minor number).
  TPlatformVersion v = PlatformVersion();
  return IsPlatformNT() && (v.Major > 6 || (v.Major == 6 && v.Minor >= 1));
}

bool CpuHasMMX() {
#if defined(__x86_64__) || defined(__i386__)
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  return a >= 0x50 && (d & (1u << 23)) != 0;
#else
  // The blend kernels are portable: every processor can run them.
  return true;
#endif
}

// ---- Optional entry points ----

TCharBuffFunc* CharUpperBuffW_MP = nullptr;
TCharBuffFunc* CharLowerBuffW_MP = nullptr;
TStrCmpFunc* lstrcmpiW_MP = nullptr;
TStrCmpFunc* lstrcmpW_MP = nullptr;
TFindFirstFileWFunc* FindFirstFileW_MP = nullptr;
TFindNextFileWFunc* FindNextFileW_MP = nullptr;
TGetDiskFreeSpaceExWFunc* GetDiskFreeSpaceExW_MP = nullptr;
TGetDiskFreeSpaceExAFunc* GetDiskFreeSpaceExA_MP = nullptr;

namespace {

std::mutex& BindMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, FARPROC>& Bound() {
  static std::map<std::string, FARPROC> b;
  return b;
}
bool gBound = false;

const char* const kKernelNT[] = {
    "GetDriveTypeW", "CreateFileW", "FindFirstFileW", "FindNextFileW", "lstrcmpiW", "lstrcmpW", "lstrcpynW",
    "lstrcpyW", "CreateDirectoryW", "GetFullPathNameW", "GetModuleFileNameW", "FindFirstChangeNotificationW",
    "GetFileAttributesW", "GetShortPathNameW", "GetSystemDirectoryW", "GetWindowsDirectoryW", "GetDiskFreeSpaceExW",
    "GetNumberFormatW", "WritePrivateProfileStringW", "GetPrivateProfileStringW", "WritePrivateProfileStructW",
    "GetPrivateProfileStructW", "TryEnterCriticalSection", "SetFileAttributesW", "GetDiskFreeSpaceW",
    "GetTempPathW", "CreateProcessW", "ExpandEnvironmentStringsW", "DeleteVolumeMountPointA",
    "GetVolumeNameForVolumeMountPointA", "GetVolumePathNameA", "SetVolumeMountPointA", "FindFirstVolumeA",
    "FindNextVolumeA", "FindVolumeClose", "FindFirstVolumeMountPointA", "FindNextVolumeMountPointA",
    "FindVolumeMountPointClose", "FindFirstFileExW", "CopyFileW", "Wow64RevertWow64FsRedirection",
    "Wow64DisableWow64FsRedirection", "Wow64EnableWow64FsRedirection"};
const char* const kUserNT[] = {"DrawTextW", "CharLowerBuffW", "CharUpperBuffW", "SetWindowTextW",
                               "InsertMenuItemW", "SendMessageW", "SystemParametersInfoW",
                               "AllowSetForegroundWindow"};
const char* const kGdiNT[] = {"GetCharABCWidthsW", "CreateFontIndirectW"};
const char* const kAdvapiNT[] = {"RegOpenKeyW", "RegOpenKeyExW", "RegQueryValueW"};
const char* const kShellNT[] = {"SHGetFileInfoW", "SHGetDataFromIDListW", "ShellExecuteExW", "ShellExecuteW",
                                "SHGetPathFromIDListW", "SHFileOperationW", "SHBrowseForFolderW", "SHDoDragDrop",
                                "SHGetKnownFolderPath", "SHGetKnownFolderIDList",
                                "SetCurrentProcessExplicitAppUserModelID", "SHGetPropertyStoreForWindow"};
const char* const kShlwapiNT[] = {"PathMatchSpecA", "PathMatchSpecW"};
const char* const kUserenvNT[] = {"ExpandEnvironmentStringsForUserW", "ExpandEnvironmentStringsForUserA"};

template <size_t N>
void BindAll(HMODULE module, const char* const (&names)[N]) {
  for (const char* n : names) Bound()[n] = module ? GetProcAddress(module, n) : nullptr;
}

}  // namespace

FARPROC BoundEntryPoint(const char* name) {
  std::lock_guard lock(BindMutex());
  auto it = Bound().find(name);
  return it == Bound().end() ? nullptr : it->second;
}

void BindWideApiFunctions() {
  {
    std::lock_guard lock(BindMutex());
    if (gBound) return;
    gBound = true;
  }
  HMODULE shell = GetModuleHandleW(u"shell32.dll");
  HMODULE kernel = GetModuleHandleW(u"kernel32.dll");
  HMODULE user = GetModuleHandleW(u"user32.dll");
  HMODULE gdi = GetModuleHandleW(u"gdi32.dll");
  HMODULE advapi = GetModuleHandleW(u"advapi32.dll");
  HMODULE shlwapi = LoadLibraryRef(u"shlwapi.dll");
  HMODULE userenv = LoadLibraryRef(u"Userenv.dll");
  std::lock_guard lock(BindMutex());
  Bound()["GetDiskFreeSpaceExA"] = kernel ? GetProcAddress(kernel, "GetDiskFreeSpaceExA") : nullptr;
  Bound()["TrackMouseEvent"] = user ? GetProcAddress(user, "TrackMouseEvent") : nullptr;
  if (IsWideApiPlatform()) {
    BindAll(kernel, kKernelNT);
    BindAll(user, kUserNT);
    BindAll(gdi, kGdiNT);
    BindAll(advapi, kAdvapiNT);
    BindAll(shell, kShellNT);
    BindAll(shlwapi, kShlwapiNT);
    BindAll(userenv, kUserenvNT);
  }
  Bound()["FindFirstFileExA"] = kernel ? GetProcAddress(kernel, "FindFirstFileExA") : nullptr;
  auto get = [](const char* n) {
    auto it = Bound().find(n);
    return it == Bound().end() ? nullptr : it->second;
  };
  CharUpperBuffW_MP = ProcAs<TCharBuffFunc>(get("CharUpperBuffW"));
  CharLowerBuffW_MP = ProcAs<TCharBuffFunc>(get("CharLowerBuffW"));
  lstrcmpiW_MP = ProcAs<TStrCmpFunc>(get("lstrcmpiW"));
  lstrcmpW_MP = ProcAs<TStrCmpFunc>(get("lstrcmpW"));
  FindFirstFileW_MP = ProcAs<TFindFirstFileWFunc>(get("FindFirstFileW"));
  FindNextFileW_MP = ProcAs<TFindNextFileWFunc>(get("FindNextFileW"));
  GetDiskFreeSpaceExW_MP = ProcAs<TGetDiskFreeSpaceExWFunc>(get("GetDiskFreeSpaceExW"));
  GetDiskFreeSpaceExA_MP = ProcAs<TGetDiskFreeSpaceExAFunc>(get("GetDiskFreeSpaceExA"));
}

void ResetWideApiBindingForTests() {
  std::lock_guard lock(BindMutex());
  gBound = false;
  Bound().clear();
  CharUpperBuffW_MP = CharLowerBuffW_MP = nullptr;
  lstrcmpiW_MP = lstrcmpW_MP = nullptr;
  FindFirstFileW_MP = nullptr;
  FindNextFileW_MP = nullptr;
  GetDiskFreeSpaceExW_MP = nullptr;
  GetDiskFreeSpaceExA_MP = nullptr;
}

// ---- Loaded libraries ----

std::vector<TLibRec>* LoadedLibraries = nullptr;

HMODULE LoadLibraryRef(const String& name) {
  if (LoadedLibraries) {
    for (TLibRec& rec : *LoadedLibraries)
      if (SameText(rec.LibraryName, name)) {
        // One more module reference for one more count.
        LoadLibraryA(StringToCodePage(name, CP_ACP).c_str());
        ++rec.ReferenceCount;
        return rec.Handle;
      }
  }
  HMODULE h = LoadLibraryA(StringToCodePage(name, CP_ACP).c_str());
  if (!h) return nullptr;
  if (!LoadedLibraries) LoadedLibraries = new std::vector<TLibRec>();
  LoadedLibraries->push_back(TLibRec{name, 1, h});
  return h;
}

bool FreeLibraryRef(const String& name) {
  if (!LoadedLibraries) return false;
  for (size_t i = 0; i < LoadedLibraries->size(); ++i) {
    TLibRec& rec = (*LoadedLibraries)[i];
    if (!SameText(rec.LibraryName, name)) continue;
    FreeLibrary(rec.Handle);
    if (--rec.ReferenceCount <= 0) {
      LoadedLibraries->erase(LoadedLibraries->begin() + static_cast<ptrdiff_t>(i));
      if (LoadedLibraries->empty()) {
        delete LoadedLibraries;
        LoadedLibraries = nullptr;
      }
    }
    return true;
  }
  return false;
}

// ---- The unit ----

TCommonPIDLManager* CommonUtilitiesPIDLMgr = nullptr;

namespace {
TUnitCounter gUnit;
}  // namespace

void InitializeCommonUtilities() {
  if (!gUnit.Enter()) return;
  CommonUtilitiesPIDLMgr = TCommonPIDLManager::New();
  BindWideApiFunctions();
}

void FinalizeCommonUtilities() {
  if (!gUnit.Leave()) return;
  FreeAndNil(CommonUtilitiesPIDLMgr);
  // Every library still held goes, as many times as it was counted.
  if (LoadedLibraries) {
    for (TLibRec& rec : *LoadedLibraries)
      for (Integer i = 0; i < rec.ReferenceCount; ++i) FreeLibrary(rec.Handle);
    delete LoadedLibraries;
    LoadedLibraries = nullptr;
  }
  ResetWideApiBindingForTests();
}

}  // namespace common
