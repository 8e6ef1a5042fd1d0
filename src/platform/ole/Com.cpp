#include "platform/ole/Com.h"

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace pf {

String GUIDToString(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof(buf), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return String(buf, buf + 38);
}

bool StringToGUID(StringView s, GUID& out) {
  if (s.size() != 38 || s[0] != u'{' || s[37] != u'}') return false;
  static const int groups[] = {8, 4, 4, 4, 12};
  uint64_t values[5]{};
  size_t pos = 1;
  for (int gi = 0; gi < 5; ++gi) {
    for (int i = 0; i < groups[gi]; ++i, ++pos) {
      Char c = s[pos];
      int d = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'f' ? c - u'a' + 10 : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
      if (d < 0) return false;
      values[gi] = values[gi] * 16 + static_cast<uint64_t>(d);
    }
    if (gi < 4 && s[pos++] != u'-') return false;
  }
  out.Data1 = static_cast<uint32_t>(values[0]);
  out.Data2 = static_cast<uint16_t>(values[1]);
  out.Data3 = static_cast<uint16_t>(values[2]);
  out.Data4[0] = static_cast<uint8_t>(values[3] >> 8);
  out.Data4[1] = static_cast<uint8_t>(values[3]);
  for (int i = 0; i < 6; ++i) out.Data4[2 + i] = static_cast<uint8_t>(values[4] >> (8 * (5 - i)));
  return true;
}

namespace {

std::atomic<int64_t> gLive{0};
std::atomic<bool> gUnavailable{false};
std::atomic<bool> gFail{false};

// Each block carries its size in front, for GetSize.
constexpr size_t kHeader = 16;

void* RawAlloc(size_t size) {
  if (gFail.load()) return nullptr;
  // A size near the top of the address space would wrap around with the header added.
  if (size > SIZE_MAX - kHeader) return nullptr;
  auto* p = static_cast<Byte*>(std::malloc(size + kHeader));
  if (!p) return nullptr;
  std::memcpy(p, &size, sizeof(size));
  ++gLive;
  return p + kHeader;
}

void RawFree(void* p) {
  if (!p) return;
  --gLive;
  std::free(static_cast<Byte*>(p) - kHeader);
}

size_t RawSize(void* p) {
  if (!p) return static_cast<size_t>(-1);
  size_t s;
  std::memcpy(&s, static_cast<Byte*>(p) - kHeader, sizeof(s));
  return s;
}

void* RawRealloc(void* p, size_t size) {
  if (!p) return RawAlloc(size);
  if (size == 0) {
    RawFree(p);
    return nullptr;
  }
  void* q = RawAlloc(size);
  if (!q) return nullptr;
  std::memcpy(q, p, std::min(size, RawSize(p)));
  RawFree(p);
  return q;
}

// The allocator lives as long as the process; its reference count only tells who holds it.
class TaskAllocator final : public IMalloc {
public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IUnknown::Iid || iid == IMalloc::Iid) {
      *out = static_cast<IMalloc*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  void* Alloc(size_t size) override { return RawAlloc(size); }
  void* Realloc(void* p, size_t size) override { return RawRealloc(p, size); }
  void Free(void* p) override { RawFree(p); }
  size_t GetSize(void* p) override { return RawSize(p); }
  int DidAlloc(void* p) override { return p ? -1 : 0; }
  void HeapMinimize() override {}
};

TaskAllocator& Allocator() {
  static TaskAllocator a;
  return a;
}

}  // namespace

HRESULT SHGetMalloc(IMalloc** out) {
  if (!out) return E_INVALIDARG;
  if (gUnavailable.load()) {
    *out = nullptr;
    return E_FAIL;
  }
  *out = &Allocator();
  (*out)->AddRef();
  return S_OK;
}

HRESULT CoGetMalloc(DWORD, IMalloc** out) { return SHGetMalloc(out); }
void* CoTaskMemAlloc(size_t size) { return RawAlloc(size); }
void* CoTaskMemRealloc(void* p, size_t size) { return RawRealloc(p, size); }
void CoTaskMemFree(void* p) { RawFree(p); }

namespace ole::testing {
int64_t LiveTaskBlocks() { return gLive.load(); }
void SetMallocUnavailable(bool unavailable) { gUnavailable = unavailable; }
void SetAllocationsFail(bool fail) { gFail = fail; }
}  // namespace ole::testing

}  // namespace pf
