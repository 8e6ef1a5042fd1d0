// Global memory blocks, registered clipboard formats, media, the advise holder, OLE's counted
// start-up and the class factory, which knows the drag-drop helper and what the layer's libraries
// register.

#include "platform/ole/DataTransfer.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/ole/OleBridge_p.h"
#include "platform/rtl/Strings.h"

namespace pf {

// ---- global memory ----

namespace {

struct TGlobalBlock {
  std::unique_ptr<Byte[]> Bytes;
  size_t Size{0};
  int Locks{0};
};

// Handles are numbers handed out once, so a stale or foreign handle finds nothing instead of
// reaching freed memory.
struct TGlobalTable {
  std::mutex Lock;
  std::map<uintptr_t, TGlobalBlock> Blocks;
  uintptr_t Next{0x10000};
  bool Fail{false};
};
TGlobalTable& Globals() {
  static TGlobalTable t;
  return t;
}

uintptr_t Id(HGLOBAL h) { return reinterpret_cast<uintptr_t>(h); }

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
  TGlobalTable& t = Globals();
  {
    std::lock_guard<std::mutex> g(t.Lock);
    if (t.Fail) return nullptr;
  }
  // A zero-sized block still locks to a valid address.
  std::unique_ptr<Byte[]> data(new (std::nothrow) Byte[bytes ? bytes : 1]);
  if (!data) return nullptr;
  // Blocks are always zeroed: bytes left as they were could leak one owner's memory to another.
  (void)flags;
  std::memset(data.get(), 0, bytes ? bytes : 1);
  std::lock_guard<std::mutex> g(t.Lock);
  uintptr_t id = t.Next;
  t.Next += 0x10;
  t.Blocks.emplace(id, TGlobalBlock{std::move(data), bytes, 0});
  return reinterpret_cast<HGLOBAL>(id);
}

void* GlobalLock(HGLOBAL h) {
  TGlobalTable& t = Globals();
  std::lock_guard<std::mutex> g(t.Lock);
  auto it = t.Blocks.find(Id(h));
  if (it == t.Blocks.end()) return nullptr;
  ++it->second.Locks;
  return it->second.Bytes.get();
}

BOOL GlobalUnlock(HGLOBAL h) {
  TGlobalTable& t = Globals();
  std::lock_guard<std::mutex> g(t.Lock);
  auto it = t.Blocks.find(Id(h));
  if (it == t.Blocks.end() || it->second.Locks == 0) return 0;
  return --it->second.Locks > 0 ? 1 : 0;
}

size_t GlobalSize(HGLOBAL h) {
  TGlobalTable& t = Globals();
  std::lock_guard<std::mutex> g(t.Lock);
  auto it = t.Blocks.find(Id(h));
  return it == t.Blocks.end() ? 0 : it->second.Size;
}

HGLOBAL GlobalFree(HGLOBAL h) {
  TGlobalTable& t = Globals();
  std::lock_guard<std::mutex> g(t.Lock);
  auto it = t.Blocks.find(Id(h));
  if (it == t.Blocks.end()) return h;
  t.Blocks.erase(it);
  return nullptr;
}

HGLOBAL GlobalCopy(UINT flags, const void* bytes, size_t size) {
  HGLOBAL h = GlobalAlloc(flags, size);
  if (!h) return nullptr;
  if (size) {
    std::memcpy(GlobalLock(h), bytes, size);
    GlobalUnlock(h);
  }
  return h;
}

std::vector<Byte> GlobalBytes(HGLOBAL h) {
  std::vector<Byte> out;
  size_t size = GlobalSize(h);
  const void* p = GlobalLock(h);
  if (!p) return out;
  out.assign(static_cast<const Byte*>(p), static_cast<const Byte*>(p) + size);
  GlobalUnlock(h);
  return out;
}

// ---- file lists ----

namespace {
constexpr size_t kDropFilesHeader = 20;
uint32_t ReadU32(const Byte* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
}  // namespace

std::vector<Byte> MakeDropFiles(const std::vector<String>& names, bool wide) {
  std::vector<Byte> b(kDropFilesHeader, 0);
  b[0] = static_cast<Byte>(kDropFilesHeader);
  b[16] = wide ? 1 : 0;
  auto put = [&b](Char c) {
    b.push_back(static_cast<Byte>(c));
    b.push_back(static_cast<Byte>(c >> 8));
  };
  for (const String& name : names) {
    if (wide) {
      for (Char c : name) put(c);
      put(0);
    } else {
      std::string bytes = StringToAnsi(name);
      b.insert(b.end(), bytes.begin(), bytes.end());
      b.push_back(0);
    }
  }
  if (wide)
    put(0);
  else
    b.push_back(0);
  return b;
}

bool ReadDropFiles(const Byte* block, size_t size, std::vector<String>& names, size_t* end) {
  names.clear();
  if (!block || size < kDropFilesHeader) return false;
  size_t pFiles = ReadU32(block);
  bool wide = ReadU32(block + 16) != 0;
  if (pFiles < kDropFilesHeader || pFiles >= size) return false;
  size_t ch = wide ? 2 : 1;
  auto at = [&](size_t pos) -> unsigned { return wide ? static_cast<unsigned>(block[pos] | (block[pos + 1] << 8)) : block[pos]; };
  size_t pos = pFiles;
  // A final terminator missing at the very end of the block ends the list there.
  while (pos + ch <= size && at(pos) != 0) {
    size_t start = pos;
    while (pos + ch <= size && at(pos) != 0) pos += ch;
    if (pos + ch > size) {
      names.clear();
      return false;
    }
    if (wide) {
      String s;
      for (size_t p = start; p < pos; p += 2) s.push_back(static_cast<Char>(at(p)));
      names.push_back(std::move(s));
    } else {
      names.push_back(AnsiToString(std::string_view(reinterpret_cast<const char*>(block + start), pos - start)));
    }
    pos += ch;
  }
  if (end) *end = pos + ch;
  return true;
}

// ---- registered formats ----

namespace {

struct TFormatTable {
  std::mutex Lock;
  std::map<String, UINT> ByName;  // upper-cased name
  std::vector<String> Names;      // as first registered, by number - 0xC000
};
TFormatTable& Formats() {
  static TFormatTable t;
  return t;
}
constexpr UINT kFirstRegistered = 0xC000;

}  // namespace

UINT RegisterClipboardFormatW(StringView name) {
  if (name.empty()) return 0;
  TFormatTable& t = Formats();
  String key = AnsiUpperCase(name);
  std::lock_guard<std::mutex> g(t.Lock);
  if (auto it = t.ByName.find(key); it != t.ByName.end()) return it->second;
  if (t.Names.size() >= 0x10000 - kFirstRegistered) return 0;
  UINT id = kFirstRegistered + static_cast<UINT>(t.Names.size());
  t.Names.emplace_back(name);
  t.ByName.emplace(std::move(key), id);
  return id;
}

String GetClipboardFormatName(UINT format) {
  TFormatTable& t = Formats();
  std::lock_guard<std::mutex> g(t.Lock);
  if (format < kFirstRegistered || format - kFirstRegistered >= t.Names.size()) return {};
  return t.Names[format - kFirstRegistered];
}

// ---- media ----

void ReleaseStgMedium(STGMEDIUM* medium) {
  if (!medium) return;
  IUnknown* owner = medium->pUnkForRelease;
  switch (medium->tymed) {
    case TYMED_HGLOBAL:
      if (!owner && medium->hGlobal) GlobalFree(medium->hGlobal);
      break;
    case TYMED_FILE:
      if (!owner) CoTaskMemFree(medium->lpszFileName);
      break;
    case TYMED_ISTREAM:
      if (medium->pstm) medium->pstm->Release();
      break;
    case TYMED_ISTORAGE:
      if (medium->pstg) medium->pstg->Release();
      break;
    case TYMED_GDI:
      if (!owner && medium->hBitmap) DeleteObject(medium->hBitmap);
      break;
    default:
      break;
  }
  if (owner) owner->Release();
  medium->tymed = TYMED_NULL;
  medium->hGlobal = nullptr;
  medium->pUnkForRelease = nullptr;
}

// ---- the advise holder ----

namespace {

// A snapshot of the connections: a sink that unadvises while its caller walks the list stays
// alive until the enumerator goes, and each sink handed out carries a reference for the caller,
// who releases it.
class TEnumStatData final : public TComObject<IEnumSTATDATA> {
public:
  TEnumStatData(std::vector<STATDATA> list, size_t pos) : FList(std::move(list)), FPos(pos) {
    for (STATDATA& d : FList)
      if (d.pAdvSink) d.pAdvSink->AddRef();
  }
  ~TEnumStatData() {
    for (STATDATA& d : FList)
      if (d.pAdvSink) d.pAdvSink->Release();
  }
  static IEnumSTATDATA* Make(std::vector<STATDATA> list, size_t pos) {
    auto* e = new TEnumStatData(std::move(list), pos);
    e->AddRef();
    return e;
  }
  HRESULT Next(ULONG celt, STATDATA* out, ULONG* fetched) override {
    if (!out && celt > 0) return E_POINTER;
    ULONG n = 0;
    while (n < celt && FPos < FList.size()) {
      out[n] = FList[FPos++];
      if (out[n].pAdvSink) out[n].pAdvSink->AddRef();
      ++n;
    }
    if (fetched) *fetched = n;
    return n == celt ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG celt) override {
    bool all = FPos + celt <= FList.size();
    FPos = std::min(FList.size(), FPos + celt);
    return all ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    FPos = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumSTATDATA** out) override {
    if (!out) return E_POINTER;
    *out = Make(FList, FPos);
    return S_OK;
  }

private:
  std::vector<STATDATA> FList;
  size_t FPos{0};
};

class TDataAdviseHolder final : public TComObject<IDataAdviseHolder> {
public:
  HRESULT Advise(IDataObject*, const FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) override {
    if (!sink || !format) return E_INVALIDARG;
    DWORD id = ++FLast;
    FSinks.push_back(TSink{*format, advf, ComPtr<IAdviseSink>(sink), id});
    if (connection) *connection = id;
    return S_OK;
  }
  HRESULT Unadvise(DWORD connection) override {
    for (auto it = FSinks.begin(); it != FSinks.end(); ++it) {
      if (it->Connection == connection) {
        FSinks.erase(it);
        return S_OK;
      }
    }
    return OLE_E_NOCONNECTION;
  }
  HRESULT EnumAdvise(IEnumSTATDATA** out) override {
    if (!out) return E_POINTER;
    std::vector<STATDATA> list;
    list.reserve(FSinks.size());
    for (const TSink& s : FSinks) list.push_back(STATDATA{s.Format, s.Advf, s.Sink.Get(), s.Connection});
    *out = TEnumStatData::Make(std::move(list), 0);
    return S_OK;
  }
  HRESULT SendOnDataChange(IDataObject* dataObject, DWORD, DWORD) override {
    // A sink may unadvise while it is told; work on a copy.
    std::vector<TSink> sinks = FSinks;
    for (TSink& s : sinks) {
      STGMEDIUM medium;
      bool have = dataObject && !(s.Advf & ADVF_NODATA) && SUCCEEDED(dataObject->GetData(&s.Format, &medium));
      s.Sink->OnDataChange(&s.Format, have ? &medium : nullptr);
      if (have) ReleaseStgMedium(&medium);
    }
    return S_OK;
  }

private:
  static constexpr DWORD ADVF_NODATA = 1;
  static constexpr HRESULT OLE_E_NOCONNECTION = static_cast<HRESULT>(0x80040004u);
  struct TSink {
    FORMATETC Format;
    DWORD Advf{0};
    ComPtr<IAdviseSink> Sink;
    DWORD Connection{0};
  };
  std::vector<TSink> FSinks;
  DWORD FLast{0};
};

}  // namespace

HRESULT CreateDataAdviseHolder(IDataAdviseHolder** out) {
  if (!out) return E_INVALIDARG;
  *out = new TDataAdviseHolder();
  (*out)->AddRef();
  return S_OK;
}

// ---- start-up and classes ----

namespace {
thread_local int tOleInit = 0;
}

HRESULT OleInitialize(void*) { return tOleInit++ == 0 ? S_OK : S_FALSE; }

void OleUninitialize() {
  if (tOleInit > 0) --tOleInit;
}

namespace {
struct TComClass {
  CLSID Clsid;
  TClassCreator Create;
};
std::mutex& ClassLock() {
  static std::mutex m;
  return m;
}
std::vector<TComClass>& Classes() {
  static std::vector<TComClass> c{{CLSID_DragDropHelper, &olebridge::CreateDragDropHelper}};
  return c;
}
}  // namespace

void RegisterComClass(const CLSID& clsid, TClassCreator create) {
  std::lock_guard<std::mutex> g(ClassLock());
  for (TComClass& c : Classes())
    if (c.Clsid == clsid) {
      c.Create = create;
      return;
    }
  Classes().push_back({clsid, create});
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, DWORD, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  TClassCreator create = nullptr;
  {
    std::lock_guard<std::mutex> g(ClassLock());
    for (const TComClass& c : Classes())
      if (c.Clsid == clsid) create = c.Create;
  }
  if (!create) return REGDB_E_CLASSNOTREG;
  if (outer) return CLASS_E_NOAGGREGATION;
  return create(iid, out);
}

namespace ole::testing {
int64_t LiveGlobalBlocks() {
  TGlobalTable& t = Globals();
  std::lock_guard<std::mutex> g(t.Lock);
  return static_cast<int64_t>(t.Blocks.size());
}
void SetGlobalAllocFails(bool fail) {
  TGlobalTable& t = Globals();
  std::lock_guard<std::mutex> g(t.Lock);
  t.Fail = fail;
}
int OleInitCount() { return tOleInit; }
}  // namespace ole::testing

}  // namespace pf
