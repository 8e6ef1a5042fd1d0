#pragma once
// The core of the component object model: GUIDs, HRESULTs, IUnknown with its smart pointer, and
// the task allocator (IMalloc) through which shell objects hand memory to their callers.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "platform/rtl/Types.h"

namespace pf {

using ULONG = uint32_t;

struct GUID {
  uint32_t Data1{0};
  uint16_t Data2{0};
  uint16_t Data3{0};
  uint8_t Data4[8]{};
  friend constexpr bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.Data4[i] != b.Data4[i]) return false;
    return true;
  }
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
inline bool IsEqualGUID(const GUID& a, const GUID& b) { return a == b; }
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
String GUIDToString(const GUID& g);
// Reads the same form (either case); false when it is not one.
bool StringToGUID(StringView s, GUID& out);

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = static_cast<HRESULT>(0x80040003u);
constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064u);
constexpr HRESULT DV_E_TYMED = static_cast<HRESULT>(0x80040069u);
constexpr HRESULT DV_E_DVASPECT = static_cast<HRESULT>(0x8004006Bu);
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// Every interface names its own ID as `Iid`, so ComPtr can ask for it.
struct IUnknown {
  static constexpr IID Iid{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

protected:
  virtual ~IUnknown() = default;
};

// A counted reference to an interface.
template <class T>
class ComPtr {
public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a reference of its own.
  explicit ComPtr(T* p) : FPtr(p) {
    if (FPtr) FPtr->AddRef();
  }
  ComPtr(const ComPtr& o) : ComPtr(o.FPtr) {}
  ComPtr(ComPtr&& o) noexcept : FPtr(std::exchange(o.FPtr, nullptr)) {}
  template <class U>
  ComPtr(const ComPtr<U>& o) : ComPtr(static_cast<T*>(o.Get())) {}
  ~ComPtr() { Reset(); }
  ComPtr& operator=(const ComPtr& o) {
    ComPtr tmp(o);
    Swap(tmp);
    return *this;
  }
  ComPtr& operator=(ComPtr&& o) noexcept {
    ComPtr tmp(std::move(o));
    Swap(tmp);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  T* Get() const { return FPtr; }
  T* operator->() const { return FPtr; }
  explicit operator bool() const { return FPtr != nullptr; }
  void Reset() {
    if (T* p = std::exchange(FPtr, nullptr)) p->Release();
  }
  // Takes over a reference the caller already holds.
  void Attach(T* p) {
    Reset();
    FPtr = p;
  }
  // Gives the reference away without releasing it.
  T* Detach() { return std::exchange(FPtr, nullptr); }
  // For out parameters: releases what is held first.
  T** GetAddressOf() {
    Reset();
    return &FPtr;
  }
  void** GetVoidAddress() { return reinterpret_cast<void**>(GetAddressOf()); }
  void Swap(ComPtr& o) noexcept { std::swap(FPtr, o.FPtr); }

  template <class U>
  HRESULT As(ComPtr<U>& out) const {
    if (!FPtr) {
      out.Reset();
      return E_POINTER;
    }
    return FPtr->QueryInterface(U::Iid, out.GetVoidAddress());
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.FPtr == b.FPtr; }
  friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.FPtr == nullptr; }

private:
  T* FPtr{nullptr};
};

// A base for objects that count their references and free themselves at zero.
class TComObjectBase {
protected:
  ULONG DoAddRef() { return ++FRefCount; }
  // Answers the new count; the caller deletes itself at zero.
  ULONG DoRelease() { return --FRefCount; }
  ULONG RefCount() const { return FRefCount; }

private:
  std::atomic<ULONG> FRefCount{0};
};

// The IUnknown of an object with one interface `I`, which it also answers for each of the
// interfaces `Also` that I extends; the object frees itself with its last reference.
template <class I, class... Also>
class TComObject : public I, private TComObjectBase {
public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IUnknown::Iid || iid == I::Iid || ((iid == Also::Iid) || ...)) {
      *out = static_cast<I*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return DoAddRef(); }
  ULONG Release() override {
    ULONG n = DoRelease();
    if (n == 0) delete this;
    return n;
  }
};

// ---- The task allocator ----

struct IMalloc : IUnknown {
  static constexpr IID Iid{0x00000002, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual void* Alloc(size_t size) = 0;
  virtual void* Realloc(void* p, size_t size) = 0;
  virtual void Free(void* p) = 0;
  virtual size_t GetSize(void* p) = 0;
  virtual int DidAlloc(void* p) = 0;
  virtual void HeapMinimize() = 0;
};

// The process's one task allocator, with a reference for the caller.
HRESULT SHGetMalloc(IMalloc** out);
HRESULT CoGetMalloc(DWORD context, IMalloc** out);
void* CoTaskMemAlloc(size_t size);
void* CoTaskMemRealloc(void* p, size_t size);
void CoTaskMemFree(void* p);

namespace ole::testing {
// Blocks of the task allocator not yet freed.
int64_t LiveTaskBlocks();
// While set, SHGetMalloc answers E_FAIL.
void SetMallocUnavailable(bool unavailable);
// While set, allocations of the task allocator fail (answer nil).
void SetAllocationsFail(bool fail);
}  // namespace ole::testing

}  // namespace pf
