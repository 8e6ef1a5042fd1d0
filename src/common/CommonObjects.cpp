// Item ID list arithmetic, the PIDL list, the stream helper, the theme manager, the check-box
// sizes and the unit's start-up.

#include "common/CommonObjects.h"

#include <algorithm>
#include <cstring>

#include "common/CommonUtilities.h"
#include "platform/classlib/Controls.h"
#include "platform/kernel/Modules.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/Units.h"

namespace common {

namespace {

const Byte* B(const ITEMIDLIST* p) { return reinterpret_cast<const Byte*>(p); }
PItemIDList P(Byte* p) { return reinterpret_cast<PItemIDList>(p); }
PItemIDList P(const Byte* p) { return reinterpret_cast<PItemIDList>(const_cast<Byte*>(p)); }
void SetCb(Byte* p, Word cb) {
  p[0] = static_cast<Byte>(cb & 0xFF);
  p[1] = static_cast<Byte>(cb >> 8);
}

// The bytes of the IDs of a list, without its terminator.
size_t IdBytes(const ITEMIDLIST* pidl) {
  size_t n = 0;
  for (const Byte* p = B(pidl); ItemIdSize(p) != 0; p += ItemIdSize(p)) n += ItemIdSize(p);
  return n;
}

}  // namespace

// ---- TCommonPIDLManager ----

void TCommonPIDLManager::Create() {
  TObject::Create();
  if (SHGetMalloc(FMalloc.GetAddressOf()) == E_FAIL)
    throw EOutOfMemory(u"Can not allocate the IMalloc memory interface");
}

Integer TCommonPIDLManager::PIDLSize(const ITEMIDLIST* pidl) const {
  if (!pidl) return 0;
  return static_cast<Integer>(IdBytes(pidl) + 2);
}

Integer TCommonPIDLManager::IDCount(const ITEMIDLIST* pidl) const {
  if (!pidl) return 0;
  Integer n = 0;
  for (const Byte* p = B(pidl); ItemIdSize(p) != 0; p += ItemIdSize(p)) ++n;
  return n;
}

PItemIDList TCommonPIDLManager::NextID(const ITEMIDLIST* id) const {
  if (!id) return nullptr;
  return P(B(id) + ItemIdSize(id));
}

bool TCommonPIDLManager::IsDesktopFolder(const ITEMIDLIST* pidl) const { return pidl && ItemIdSize(pidl) == 0; }

PItemIDList TCommonPIDLManager::GetPointerToLastID(const ITEMIDLIST* pidl) const {
  if (!pidl) return nullptr;
  if (IDCount(pidl) < 2) return P(B(pidl));
  const Byte* last = B(pidl);
  for (const Byte* p = B(pidl); ItemIdSize(p) != 0; p += ItemIdSize(p)) last = p;
  return P(last);
}

PItemIDList TCommonPIDLManager::CopyPIDL(const ITEMIDLIST* pidl) const {
  if (!pidl || !FMalloc) return nullptr;
  size_t size = static_cast<size_t>(PIDLSize(pidl));
  auto* copy = static_cast<Byte*>(FMalloc->Alloc(size));
  if (!copy) return nullptr;
  std::memcpy(copy, pidl, size);
  return P(copy);
}

PItemIDList TCommonPIDLManager::AppendPIDL(const ITEMIDLIST* destPIDL, const ITEMIDLIST* srcPIDL) const {
  if (!FMalloc) return nullptr;
  size_t a = destPIDL ? IdBytes(destPIDL) : 0;
  size_t b = srcPIDL ? IdBytes(srcPIDL) : 0;
  auto* out = static_cast<Byte*>(FMalloc->Alloc(a + b + 2));
  if (!out) return nullptr;
  if (a) std::memcpy(out, destPIDL, a);
  if (b) std::memcpy(out + a, srcPIDL, b);
  SetCb(out + a + b, 0);
  return P(out);
}

PItemIDList TCommonPIDLManager::StripLastID(PItemIDList pidl) const {
  Word cb = 0;
  PItemIDList last = nullptr;
  return StripLastID(pidl, cb, last);
}

PItemIDList TCommonPIDLManager::StripLastID(PItemIDList idList, Word& lastCB, PItemIDList& lastID) const {
  lastCB = 0;
  lastID = nullptr;
  if (!idList) return nullptr;
  if (ItemIdSize(idList) == 0) return idList;
  auto* last = reinterpret_cast<Byte*>(GetPointerToLastID(idList));
  lastCB = ItemIdSize(last);
  lastID = P(last);
  SetCb(last, 0);
  return idList;
}

void TCommonPIDLManager::FreePIDL(PItemIDList pidl) const {
  if (pidl && FMalloc) FMalloc->Free(pidl);
}

void TCommonPIDLManager::FreeOLEStr(Char* str) const {
  if (str && FMalloc) FMalloc->Free(str);
}

void TCommonPIDLManager::SaveToStream(TStream& s, const ITEMIDLIST* pidl) const {
  Integer size = PIDLSize(pidl);
  Byte le[4] = {static_cast<Byte>(size), static_cast<Byte>(size >> 8), static_cast<Byte>(size >> 16),
                static_cast<Byte>(size >> 24)};
  s.WriteBuffer(le, 4);
  if (size > 0) s.WriteBuffer(pidl, size);
}

PItemIDList TCommonPIDLManager::LoadFromStream(TStream& s) const {
  Byte le[4];
  s.ReadBuffer(le, 4);
  auto size = static_cast<Integer>(static_cast<uint32_t>(le[0]) | (static_cast<uint32_t>(le[1]) << 8) |
                                   (static_cast<uint32_t>(le[2]) << 16) | (static_cast<uint32_t>(le[3]) << 24));
  if (size < 1) return nullptr;
  // The size comes from a file: it must fit in what the stream still holds before anything is
  // allocated, and the bytes must be a list that ends exactly at that size.
  Int64 remaining = s.GetSize() - s.GetPosition();
  if (size < 2 || size > remaining) throw EReadError(u"Stream read error");
  if (!FMalloc) return nullptr;
  auto* pidl = static_cast<Byte*>(FMalloc->Alloc(static_cast<size_t>(size)));
  if (!pidl) throw EOutOfMemory(u"Out of memory");
  try {
    s.ReadBuffer(pidl, size);
  } catch (...) {
    FMalloc->Free(pidl);
    throw;
  }
  Integer at = 0;
  while (at + 2 <= size) {
    Word cb = ItemIdSize(pidl + at);
    if (cb == 0) break;
    if (cb < 2) break;
    at += cb;
  }
  if (at + 2 != size || ItemIdSize(pidl + at) != 0) {
    FMalloc->Free(pidl);
    throw EReadError(u"Invalid item ID list in stream");
  }
  return P(pidl);
}

// ---- TCommonPIDLList ----

void TCommonPIDLList::Create() {
  TObject::Create();
  FLocalPIDLMgr = TCommonPIDLManager::New();
}

void TCommonPIDLList::Destroy() {
  FDestroying = true;
  Clear();
  FreeAndNil(FLocalPIDLMgr);
  TObject::Destroy();
}

Integer TCommonPIDLList::Add(PItemIDList pidl) {
  FItems.push_back(pidl);
  return Count() - 1;
}

void TCommonPIDLList::Insert(Integer index, PItemIDList pidl) {
  if (index < 0 || index > Count()) throw EListError(u"List index out of bounds");
  FItems.insert(FItems.begin() + index, pidl);
}

void TCommonPIDLList::Delete(Integer index) {
  if (index < 0 || index >= Count()) throw EListError(u"List index out of bounds");
  FItems.erase(FItems.begin() + index);
}

Integer TCommonPIDLList::IndexOf(const ITEMIDLIST* pidl) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i] == pidl) return static_cast<Integer>(i);
  return -1;
}

void TCommonPIDLList::Pack() { FItems.erase(std::remove(FItems.begin(), FItems.end(), nullptr), FItems.end()); }

void TCommonPIDLList::Clear() {
  if (!FSharePIDLs && FLocalPIDLMgr)
    for (PItemIDList p : FItems) FLocalPIDLMgr->FreePIDL(p);
  FItems.clear();
}

bool TCommonPIDLList::SaveToStream(TStream& s) {
  Integer n = Count();
  Byte le[4] = {static_cast<Byte>(n), static_cast<Byte>(n >> 8), static_cast<Byte>(n >> 16), static_cast<Byte>(n >> 24)};
  s.WriteBuffer(le, 4);
  for (PItemIDList p : FItems) FLocalPIDLMgr->SaveToStream(s, p);
  return true;
}

bool TCommonPIDLList::LoadFromStream(TStream& s) {
  // A list that cannot be read whole leaves this list as it was.
  std::vector<PItemIDList> read;
  try {
    Byte le[4];
    s.ReadBuffer(le, 4);
    auto n = static_cast<Integer>(static_cast<uint32_t>(le[0]) | (static_cast<uint32_t>(le[1]) << 8) |
                                  (static_cast<uint32_t>(le[2]) << 16) | (static_cast<uint32_t>(le[3]) << 24));
    // Every record takes at least its 4-byte size.
    if (n < 0 || n > (s.GetSize() - s.GetPosition()) / 4) return false;
    for (Integer i = 0; i < n; ++i) read.push_back(FLocalPIDLMgr->LoadFromStream(s));
  } catch (const EStreamError&) {
    for (PItemIDList p : read) FLocalPIDLMgr->FreePIDL(p);
    return false;
  } catch (const EOutOfMemory&) {
    for (PItemIDList p : read) FLocalPIDLMgr->FreePIDL(p);
    return false;
  }
  FItems.insert(FItems.end(), read.begin(), read.end());
  return true;
}

// ---- TCommonMemoryStreamHelper ----

void TCommonMemoryStreamHelper::WriteInteger(TStream& s, Integer value) {
  auto u = static_cast<uint32_t>(value);
  Byte le[4] = {static_cast<Byte>(u), static_cast<Byte>(u >> 8), static_cast<Byte>(u >> 16), static_cast<Byte>(u >> 24)};
  s.Write(le, 4);
}

Integer TCommonMemoryStreamHelper::ReadInteger(TStream& s) {
  Byte le[4] = {0, 0, 0, 0};
  s.Read(le, 4);
  return static_cast<Integer>(static_cast<uint32_t>(le[0]) | (static_cast<uint32_t>(le[1]) << 8) |
                              (static_cast<uint32_t>(le[2]) << 16) | (static_cast<uint32_t>(le[3]) << 24));
}

void TCommonMemoryStreamHelper::WriteString(TStream& s, const String& value) {
  std::string bytes = StringToAnsi(value);
  WriteInteger(s, static_cast<Integer>(bytes.size()));
  if (!bytes.empty()) s.Write(bytes.data(), static_cast<Integer>(bytes.size()));
}

void TCommonMemoryStreamHelper::ReadString(TStream& s, String& value) {
  Integer n = ReadInteger(s);
  if (n < 0 || n > s.GetSize() - s.GetPosition()) throw EReadError(u"Stream read error");
  std::string bytes(static_cast<size_t>(n), '\0');
  if (n > 0 && s.Read(bytes.data(), n) != n) throw EReadError(u"Stream read error");
  value = AnsiToString(bytes);
}

// ---- TCommonThemeManager ----

bool CommonThemesInUse() { return IsAppThemed() && IsThemeActive(); }

void TCommonThemeManager::Create(TWinControl* owner) {
  TObject::Create();
  FOwner = owner;
}

void TCommonThemeManager::Destroy() {
  ThemesFree();
  TObject::Destroy();
}

void TCommonThemeManager::ThemesLoad() {
  if (!FOwner || !FOwner->HandleAllocated()) return;
  HWND h = FOwner->Handle();
  if (!CommonThemesInUse()) {
    RedrawWindow(h, nullptr, RDW_INVALIDATE | RDW_NOERASE | RDW_NOCHILDREN | RDW_FRAME);
    return;
  }
  ThemesFree();
  FButtonTheme = OpenThemeData(h, u"button");
  FListviewTheme = OpenThemeData(h, u"listview");
  FHeaderTheme = OpenThemeData(h, u"header");
  FTreeviewTheme = OpenThemeData(h, u"treeview");
  FExplorerBarTheme = OpenThemeData(h, u"explorerbar");
  FComboBoxTheme = OpenThemeData(h, u"combobox");
  FEditTheme = OpenThemeData(h, u"edit");
  FRebarTheme = OpenThemeData(h, u"rebar");
  FWindowTheme = OpenThemeData(h, u"window");
  FTaskBandTheme = OpenThemeData(h, u"taskband");
  FTaskBarTheme = OpenThemeData(h, u"taskbar");
  FScrollbarTheme = OpenThemeData(h, u"scrollbar");
  FProgressTheme = OpenThemeData(h, u"progress");
  FLoaded = true;
}

void TCommonThemeManager::ThemesFree() {
  FLoaded = false;
  for (HTHEME* t : {&FButtonTheme, &FComboBoxTheme, &FEditTheme, &FExplorerBarTheme, &FHeaderTheme, &FListviewTheme,
                    &FProgressTheme, &FRebarTheme, &FScrollbarTheme, &FTaskBandTheme, &FTaskBarTheme,
                    &FTreeviewTheme, &FWindowTheme}) {
    if (*t) CloseThemeData(*t);
    *t = nullptr;
  }
}

// ---- TCommonCheckBoundManager ----

void TCommonCheckBoundManager::Destroy() {
  Clear();
  TObject::Destroy();
}

TCommonCheckBound* TCommonCheckBoundManager::Find(Integer size) const {
  for (TCommonCheckBound* b : FList)
    if (b->GetSize() == size) return b;
  return nullptr;
}

void TCommonCheckBoundManager::Bound(Integer size, TRect& r) {
  TCommonCheckBound* b = Find(size);
  if (!b) {
    TSize glyph;
    MarlettGlyphSize(size, u'g', glyph);
    b = TCommonCheckBound::New();
    b->SetSize(size);
    b->SetBounds(TRect{0, 0, glyph.cx, glyph.cy});
    FList.push_back(b);
  }
  r = b->GetBounds();
}

void TCommonCheckBoundManager::Clear() {
  for (TCommonCheckBound* b : FList) b->Free();
  FList.clear();
}

// ---- shell32's tests ----

namespace {
using TILIsEqual = BOOL(const ITEMIDLIST*, const ITEMIDLIST*);
using TILIsParent = BOOL(const ITEMIDLIST*, const ITEMIDLIST*, BOOL);
TILIsEqual* gILIsEqual = nullptr;
TILIsParent* gILIsParent = nullptr;
HMODULE gShell32Loaded = nullptr;
}  // namespace

bool PIDLIsEqual(const ITEMIDLIST* pidl1, const ITEMIDLIST* pidl2) {
  if (!gILIsEqual || !pidl1 || !pidl2) return false;
  return gILIsEqual(pidl1, pidl2) != 0;
}

bool PIDLIsParent(const ITEMIDLIST* parent, const ITEMIDLIST* child, bool immediate) {
  if (!gILIsParent || !parent || !child) return false;
  return gILIsParent(parent, child, immediate ? 1 : 0) != 0;
}

void BindPIDLFunctions() {
  HMODULE shell = GetModuleHandleA("shell32.dll");
  if (!shell) {
    shell = LoadLibraryA("shell32.dll");
    gShell32Loaded = shell;
  }
  gILIsEqual = shell ? ProcAs<TILIsEqual>(GetProcAddress(shell, MAKEINTRESOURCEA(21))) : nullptr;
  gILIsParent = shell ? ProcAs<TILIsParent>(GetProcAddress(shell, MAKEINTRESOURCEA(23))) : nullptr;
}

// ---- The unit ----

TCommonPIDLManager* CommonObjectsPIDLMgr = nullptr;
TFont* MarlettFont = nullptr;
TCommonMemoryStreamHelper* StreamHelper = nullptr;
TCommonCheckBoundManager* CheckBound = nullptr;

namespace {
TUnitCounter gUnit;
}  // namespace

void InitializeCommonObjects() {
  if (!gUnit.Enter()) return;
  BindPIDLFunctions();
  BindWideApiFunctions();
  StreamHelper = TCommonMemoryStreamHelper::New();
  CheckBound = TCommonCheckBoundManager::New();
  MarlettFont = TFont::New();
  MarlettFont->SetName(u"marlett");
  CommonObjectsPIDLMgr = TCommonPIDLManager::New();
}

void FinalizeCommonObjects() {
  if (!gUnit.Leave()) return;
  if (gShell32Loaded) FreeLibrary(gShell32Loaded);
  gShell32Loaded = nullptr;
  gILIsEqual = nullptr;
  gILIsParent = nullptr;
  FreeAndNil(StreamHelper);
  FreeAndNil(CheckBound);
  FreeAndNil(MarlettFont);
  FreeAndNil(CommonObjectsPIDLMgr);
}

}  // namespace common
