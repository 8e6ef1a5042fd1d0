#pragma once
// The table of modules and their entry points. The program binds optional entry points at
// start-up by module and name (or ordinal) and tests them for nil before use; this table answers
// with what the layer implements and nil for the rest, so the program's fallbacks run for those.

#include <cstdint>

#include "platform/rtl/Types.h"

namespace pf {

struct HINSTANCE__;
using HMODULE = HINSTANCE__*;
using HINSTANCE = HMODULE;
using FARPROC = void (*)();

// An ordinal passed where a name is expected, as the platform's MAKEINTRESOURCE does.
inline const char* MAKEINTRESOURCEA(Word ordinal) {
  return reinterpret_cast<const char*>(static_cast<uintptr_t>(ordinal));
}
inline bool IS_INTRESOURCE(const void* p) { return reinterpret_cast<uintptr_t>(p) <= 0xFFFF; }

// Names compare without regard to case, with or without ".dll" and a folder in front. A nil name
// answers the program's own module.
HMODULE GetModuleHandleW(const Char* name);
HMODULE GetModuleHandleA(const char* name);
// Counted: every successful load needs its FreeLibrary. Unknown modules answer nil.
HMODULE LoadLibraryW(const Char* name);
HMODULE LoadLibraryA(const char* name);
BOOL FreeLibrary(HMODULE module);
// By name, or by ordinal through MAKEINTRESOURCEA. Nil for a module that is not loaded.
FARPROC GetProcAddress(HMODULE module, const char* nameOrOrdinal);

// The layer's libraries register the entry points they implement under their module's name.
void RegisterExport(const char* module, const char* name, FARPROC fn);
void RegisterOrdinal(const char* module, Word ordinal, FARPROC fn);
template <class F>
void RegisterExport(const char* module, const char* name, F* fn) {
  RegisterExport(module, name, reinterpret_cast<FARPROC>(fn));
}
template <class F>
void RegisterOrdinal(const char* module, Word ordinal, F* fn) {
  RegisterOrdinal(module, ordinal, reinterpret_cast<FARPROC>(fn));
}
// The typed form of a bound entry point.
template <class F>
F* ProcAs(FARPROC p) {
  return reinterpret_cast<F*>(p);
}

namespace kernel::testing {
// The module's reference count: 1 for modules loaded with the program, plus every LoadLibrary.
int ModuleRefCount(HMODULE module);
// Hides an entry point (by name or MAKEINTRESOURCEA ordinal) until RestoreExports.
void RemoveExport(const char* module, const char* nameOrOrdinal);
// Brings hidden entry points back and resets every reference count to the start.
void RestoreExports();
}  // namespace kernel::testing

}  // namespace pf
