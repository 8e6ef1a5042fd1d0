// The module table.

#include "platform/kernel/Modules.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/kernel/Drives.h"
#include "platform/kernel/KernelApi.h"
#include "platform/rtl/Strings.h"

struct pf::HINSTANCE__ {
  std::string Name;  // lower case, with ".dll"
  int BaseCount{0};
  int Count{0};
  std::map<std::string, pf::FARPROC> Names;
  std::map<pf::Word, pf::FARPROC> Ordinals;
  std::set<std::string> HiddenNames;
  std::set<pf::Word> HiddenOrdinals;
};

namespace pf {

namespace {

struct Table {
  std::recursive_mutex Mutex;
  std::map<std::string, HINSTANCE__> Modules;
  HINSTANCE__ Program;
  bool Ready{false};
};

// Modules every program of the platform has loaded before its own code runs.
constexpr const char* kStartModules[] = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll",
                                         "shell32.dll",  "ole32.dll",  "oleaut32.dll", "comctl32.dll",
                                         "msimg32.dll"};
// Modules the program may load; they are not loaded until it asks.
constexpr const char* kOtherModules[] = {"shlwapi.dll", "userenv.dll", "uxtheme.dll", "dwmapi.dll",
                                         "oleacc.dll",  "gdiplus.dll", "wininet.dll", "mpr.dll"};

std::string Canonical(std::string name) {
  size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (name.find('.') == std::string::npos) name += ".dll";
  return name;
}

void AddKernelExports(Table& t);

Table& T() {
  static Table t;
  std::lock_guard lock(t.Mutex);
  if (!t.Ready) {
    t.Ready = true;
    for (const char* n : kStartModules) {
      auto& m = t.Modules[n];
      m.Name = n;
      m.BaseCount = m.Count = 1;
    }
    for (const char* n : kOtherModules) t.Modules[n].Name = n;
    t.Program.Name = "program";
    t.Program.BaseCount = t.Program.Count = 1;
    AddKernelExports(t);
  }
  return t;
}

HINSTANCE__* Find(Table& t, const char* name) {
  if (!name) return nullptr;
  auto it = t.Modules.find(Canonical(name));
  return it == t.Modules.end() ? nullptr : &it->second;
}

void Add(Table& t, const char* module, const char* name, FARPROC fn) {
  auto& m = t.Modules[Canonical(module)];
  if (m.Name.empty()) m.Name = Canonical(module);
  m.Names[name] = fn;
}

template <class F>
void Add(Table& t, const char* module, const char* name, F* fn) {
  Add(t, module, name, reinterpret_cast<FARPROC>(fn));
}

void AddKernelExports(Table& t) {
  Add(t, "kernel32", "lstrcmpiW", &lstrcmpiW);
  Add(t, "kernel32", "lstrcmpW", &lstrcmpW);
  Add(t, "kernel32", "lstrcpynW", &lstrcpynW);
  Add(t, "kernel32", "lstrcpyW", &lstrcpyW);
  Add(t, "kernel32", "FindFirstFileW", &FindFirstFileW);
  Add(t, "kernel32", "FindNextFileW", &FindNextFileW);
  Add(t, "kernel32", "FindClose", &FindClose);
  Add(t, "kernel32", "GetFileAttributesW", &GetFileAttributesW);
  Add(t, "kernel32", "GetDiskFreeSpaceExW", &GetDiskFreeSpaceExW);
  Add(t, "kernel32", "GetDiskFreeSpaceExA", &GetDiskFreeSpaceExA);
  Add(t, "kernel32", "GetDriveTypeW", &GetDriveTypeW);
  Add(t, "kernel32", "GetDriveTypeA", &GetDriveTypeA);
  Add(t, "kernel32", "GetVolumePathNameW", &GetVolumePathNameW);
  Add(t, "kernel32", "GetVolumePathNameA", &GetVolumePathNameA);
  Add(t, "kernel32", "CreateDirectoryW", &CreateDirectoryW);
  Add(t, "kernel32", "GetTempPathW", &GetTempPathW);
  Add(t, "user32", "CharUpperBuffW", &CharUpperBuffW);
  Add(t, "user32", "CharLowerBuffW", &CharLowerBuffW);
  auto& shell = t.Modules["shell32.dll"];
  shell.Ordinals[21] = reinterpret_cast<FARPROC>(&ILIsEqual);
  shell.Ordinals[23] = reinterpret_cast<FARPROC>(&ILIsParent);
  Add(t, "shell32", "ILIsEqual", &ILIsEqual);
  Add(t, "shell32", "ILIsParent", &ILIsParent);
}

}  // namespace

HMODULE GetModuleHandleA(const char* name) {
  Table& t = T();
  std::lock_guard lock(t.Mutex);
  if (!name) return &t.Program;
  HINSTANCE__* m = Find(t, name);
  return m && m->Count > 0 ? m : nullptr;
}

HMODULE GetModuleHandleW(const Char* name) {
  if (!name) return GetModuleHandleA(nullptr);
  return GetModuleHandleA(StringToUtf8(name).c_str());
}

HMODULE LoadLibraryA(const char* name) {
  Table& t = T();
  std::lock_guard lock(t.Mutex);
  HINSTANCE__* m = Find(t, name);
  if (!m) return nullptr;
  ++m->Count;
  return m;
}

HMODULE LoadLibraryW(const Char* name) {
  if (!name) return nullptr;
  return LoadLibraryA(StringToUtf8(name).c_str());
}

BOOL FreeLibrary(HMODULE module) {
  Table& t = T();
  std::lock_guard lock(t.Mutex);
  if (!module || module == &t.Program || module->Count <= 0) return 0;
  --module->Count;
  return 1;
}

FARPROC GetProcAddress(HMODULE module, const char* nameOrOrdinal) {
  Table& t = T();
  std::lock_guard lock(t.Mutex);
  if (!module || module->Count <= 0 || !nameOrOrdinal) return nullptr;
  if (IS_INTRESOURCE(nameOrOrdinal)) {
    auto ordinal = static_cast<Word>(reinterpret_cast<uintptr_t>(nameOrOrdinal));
    if (module->HiddenOrdinals.count(ordinal)) return nullptr;
    auto it = module->Ordinals.find(ordinal);
    return it == module->Ordinals.end() ? nullptr : it->second;
  }
  if (module->HiddenNames.count(nameOrOrdinal)) return nullptr;
  auto it = module->Names.find(nameOrOrdinal);
  return it == module->Names.end() ? nullptr : it->second;
}

void RegisterExport(const char* module, const char* name, FARPROC fn) {
  Table& t = T();
  std::lock_guard lock(t.Mutex);
  Add(t, module, name, fn);
}

void RegisterOrdinal(const char* module, Word ordinal, FARPROC fn) {
  Table& t = T();
  std::lock_guard lock(t.Mutex);
  auto& m = t.Modules[Canonical(module)];
  if (m.Name.empty()) m.Name = Canonical(module);
  m.Ordinals[ordinal] = fn;
}

namespace kernel::testing {

int ModuleRefCount(HMODULE module) {
  Table& t = T();
  std::lock_guard lock(t.Mutex);
  return module ? module->Count : 0;
}

void RemoveExport(const char* module, const char* nameOrOrdinal) {
  Table& t = T();
  std::lock_guard lock(t.Mutex);
  HINSTANCE__* m = Find(t, module);
  if (!m || !nameOrOrdinal) return;
  if (IS_INTRESOURCE(nameOrOrdinal))
    m->HiddenOrdinals.insert(static_cast<Word>(reinterpret_cast<uintptr_t>(nameOrOrdinal)));
  else
    m->HiddenNames.insert(nameOrOrdinal);
}

void RestoreExports() {
  Table& t = T();
  std::lock_guard lock(t.Mutex);
  for (auto& [name, m] : t.Modules) {
    m.HiddenNames.clear();
    m.HiddenOrdinals.clear();
    m.Count = m.BaseCount;
  }
}

}  // namespace kernel::testing

}  // namespace pf
