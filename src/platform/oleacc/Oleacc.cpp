#include "platform/oleacc/Oleacc.h"

#include <map>
#include <mutex>

#include "platform/oleacc/Bridge_p.h"

namespace pf {

// ---- VARIANT ----

VARIANT::VARIANT(const VARIANT& o) : FType(o.FType), FInt(o.FInt), FUnknown(o.FUnknown) {
  if (FUnknown) FUnknown->AddRef();
}
VARIANT::VARIANT(VARIANT&& o) noexcept : FType(o.FType), FInt(o.FInt), FUnknown(o.FUnknown) {
  o.FType = VT_EMPTY;
  o.FInt = 0;
  o.FUnknown = nullptr;
}
VARIANT& VARIANT::operator=(const VARIANT& o) {
  VARIANT copy(o);
  return *this = std::move(copy);
}
VARIANT& VARIANT::operator=(VARIANT&& o) noexcept {
  if (this == &o) return *this;
  Clear();
  std::swap(FType, o.FType);
  std::swap(FInt, o.FInt);
  std::swap(FUnknown, o.FUnknown);
  return *this;
}
VARIANT VARIANT::I4(LONG value) {
  VARIANT v;
  v.FType = VT_I4;
  v.FInt = value;
  return v;
}
VARIANT VARIANT::Dispatch(IDispatch* value) {
  VARIANT v;
  if (!value) return v;
  value->AddRef();
  v.FType = VT_DISPATCH;
  v.FUnknown = value;
  return v;
}
VARIANT VARIANT::Unknown(IUnknown* value) {
  VARIANT v;
  if (!value) return v;
  value->AddRef();
  v.FType = VT_UNKNOWN;
  v.FUnknown = value;
  return v;
}
IDispatch* VARIANT::pdispVal() const {
  // Only a value made by Dispatch carries this type, so the stored pointer is an IDispatch.
  return FType == VT_DISPATCH ? static_cast<IDispatch*>(FUnknown) : nullptr;
}
void VARIANT::Clear() {
  IUnknown* held = FUnknown;
  FType = VT_EMPTY;
  FInt = 0;
  FUnknown = nullptr;
  if (held) held->Release();
}

// ---- WM_GETOBJECT results ----

namespace {

struct ResultTable {
  std::mutex Lock;
  std::map<LRESULT, ComPtr<IUnknown>> Objects;
  LRESULT Next{1};
};
ResultTable& Results() {
  static ResultTable* table = new ResultTable;  // outlives every window, also at exit
  return *table;
}

oleacc::testing::TWinEventRecorder& Recorder() {
  static oleacc::testing::TWinEventRecorder recorder;
  return recorder;
}

}  // namespace

LRESULT LresultFromObject(REFIID iid, WPARAM, IUnknown* object) {
  if (!object) return 0;
  ComPtr<IUnknown> asked;
  HRESULT hr = object->QueryInterface(iid, asked.GetVoidAddress());
  if (FAILED(hr)) return hr;
  ResultTable& t = Results();
  std::lock_guard lock(t.Lock);
  LRESULT key = t.Next++;
  if (t.Next <= 0) t.Next = 1;
  t.Objects[key] = std::move(asked);
  return key;
}

HRESULT ObjectFromLresult(LRESULT result, REFIID iid, WPARAM, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (result <= 0) return E_INVALIDARG;
  ComPtr<IUnknown> object;
  {
    ResultTable& t = Results();
    std::lock_guard lock(t.Lock);
    auto it = t.Objects.find(result);
    if (it == t.Objects.end()) return E_INVALIDARG;
    object = std::move(it->second);
    t.Objects.erase(it);
  }
  return object->QueryInterface(iid, out);
}

// ---- The standard object of a window ----

namespace {

class TStdAccessible final : public TComObject<IAccessible, IDispatch> {
public:
  TStdAccessible(HWND wnd, LONG objectId) : FWnd(wnd), FObjectId(objectId) {}

  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return E_NOTIMPL;
  }
  HRESULT GetTypeInfo(UINT, DWORD, void**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, const Char* const*, UINT, DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT Invoke(LONG, REFIID, DWORD, WORD, void*, VARIANT*, void*, UINT*) override { return E_NOTIMPL; }

  HRESULT Get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    if (FObjectId == OBJID_CLIENT && IsWindow(FWnd))
      return AccessibleObjectFromWindow(FWnd, OBJID_WINDOW, IDispatch::Iid, reinterpret_cast<void**>(parent));
    return S_FALSE;
  }
  HRESULT Get_accChildCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT Get_accChild(const VARIANT&, IDispatch** out) override {
    if (out) *out = nullptr;
    return E_INVALIDARG;
  }
  HRESULT Get_accName(const VARIANT& child, String* name) override {
    if (!name) return E_POINTER;
    name->clear();
    if (!Self(child)) return E_INVALIDARG;
    if (!IsWindow(FWnd)) return DISP_E_MEMBERNOTFOUND;
    *name = GetWindowText(FWnd);
    return S_OK;
  }
  HRESULT Get_accValue(const VARIANT&, String* v) override { return Nothing(v); }
  HRESULT Get_accDescription(const VARIANT&, String* v) override { return Nothing(v); }
  HRESULT Get_accRole(const VARIANT& child, VARIANT* role) override {
    if (!role) return E_POINTER;
    role->Clear();
    if (!Self(child)) return E_INVALIDARG;
    *role = VARIANT::I4(FObjectId == OBJID_CLIENT ? ROLE_SYSTEM_CLIENT : ROLE_SYSTEM_WINDOW);
    return S_OK;
  }
  HRESULT Get_accState(const VARIANT& child, VARIANT* state) override {
    if (!state) return E_POINTER;
    state->Clear();
    if (!Self(child)) return E_INVALIDARG;
    LONG s = 0;
    if (!IsWindow(FWnd) || !IsWindowVisible(FWnd)) s |= STATE_SYSTEM_INVISIBLE;
    if (IsWindow(FWnd) && !IsWindowEnabled(FWnd)) s |= STATE_SYSTEM_UNAVAILABLE;
    if (IsWindow(FWnd) && GetFocus() == FWnd) s |= STATE_SYSTEM_FOCUSED;
    *state = VARIANT::I4(s | STATE_SYSTEM_FOCUSABLE);
    return S_OK;
  }
  HRESULT Get_accHelp(const VARIANT&, String* v) override { return Nothing(v); }
  HRESULT Get_accHelpTopic(String* file, const VARIANT&, LONG* topic) override {
    if (topic) *topic = 0;
    return Nothing(file);
  }
  HRESULT Get_accKeyboardShortcut(const VARIANT&, String* v) override { return Nothing(v); }
  HRESULT Get_accFocus(VARIANT* focus) override {
    if (!focus) return E_POINTER;
    focus->Clear();
    if (IsWindow(FWnd) && GetFocus() == FWnd) *focus = VARIANT::I4(CHILDID_SELF);
    return S_OK;
  }
  HRESULT Get_accSelection(VARIANT* selection) override {
    if (selection) selection->Clear();
    return S_OK;
  }
  HRESULT Get_accDefaultAction(const VARIANT&, String* v) override { return Nothing(v); }
  HRESULT accSelect(LONG, const VARIANT&) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT accLocation(LONG* left, LONG* top, LONG* width, LONG* height, const VARIANT& child) override {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    if (!Self(child)) return E_INVALIDARG;
    if (!IsWindow(FWnd)) return DISP_E_MEMBERNOTFOUND;
    TRect r;
    if (FObjectId == OBJID_CLIENT) {
      GetClientRect(FWnd, &r);
      TPoint origin{0, 0};
      ClientToScreen(FWnd, &origin);
      r = TRect{origin.X, origin.Y, origin.X + r.Right, origin.Y + r.Bottom};
    } else {
      GetWindowRect(FWnd, &r);
    }
    *left = r.Left;
    *top = r.Top;
    *width = r.Right - r.Left;
    *height = r.Bottom - r.Top;
    return S_OK;
  }
  HRESULT accNavigate(LONG, const VARIANT&, VARIANT* end) override {
    if (end) end->Clear();
    return E_NOTIMPL;
  }
  HRESULT accHitTest(LONG x, LONG y, VARIANT* hit) override {
    if (!hit) return E_POINTER;
    hit->Clear();
    LONG l, t, w, h;
    if (accLocation(&l, &t, &w, &h, VARIANT::I4(CHILDID_SELF)) != S_OK) return S_FALSE;
    if (x < l || y < t || x >= l + w || y >= t + h) return S_FALSE;
    *hit = VARIANT::I4(CHILDID_SELF);
    return S_OK;
  }
  HRESULT accDoDefaultAction(const VARIANT&) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT Set_accName(const VARIANT&, const String&) override { return E_NOTIMPL; }
  HRESULT Set_accValue(const VARIANT&, const String&) override { return E_NOTIMPL; }

private:
  static bool Self(const VARIANT& child) { return child.vt() == VT_I4 && child.lVal() == CHILDID_SELF; }
  static HRESULT Nothing(String* s) {
    if (s) s->clear();
    return DISP_E_MEMBERNOTFOUND;
  }
  HWND FWnd;
  LONG FObjectId;
};

}  // namespace

HRESULT CreateStdAccessibleObject(HWND wnd, LONG objectId, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsWindow(wnd)) return E_INVALIDARG;
  if (objectId != OBJID_WINDOW && objectId != OBJID_CLIENT) return E_INVALIDARG;
  ComPtr<IAccessible> object(new TStdAccessible(wnd, objectId));
  return object->QueryInterface(iid, out);
}

HRESULT AccessibleObjectFromWindow(HWND wnd, DWORD objectId, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsWindow(wnd)) return E_INVALIDARG;
  LRESULT answer = SendMessage(wnd, WM_GETOBJECT, 0, static_cast<LPARAM>(static_cast<LONG>(objectId)));
  if (answer > 0) return ObjectFromLresult(answer, iid, 0, out);
  return CreateStdAccessibleObject(wnd, static_cast<LONG>(objectId), iid, out);
}

HRESULT AccessibleChildren(IAccessible* container, LONG start, LONG count, VARIANT* children, LONG* obtained) {
  if (!container || !children || !obtained) return E_INVALIDARG;
  *obtained = 0;
  if (start < 0 || count < 0) return E_INVALIDARG;
  ComPtr<IEnumVARIANT> items;
  if (SUCCEEDED(container->QueryInterface(IEnumVARIANT::Iid, items.GetVoidAddress())) && items) {
    items->Reset();
    if (start > 0 && items->Skip(static_cast<ULONG>(start)) != S_OK) return S_FALSE;
    ULONG fetched = 0;
    HRESULT hr = items->Next(static_cast<ULONG>(count), children, &fetched);
    if (FAILED(hr)) return hr;
    *obtained = static_cast<LONG>(std::min<ULONG>(fetched, static_cast<ULONG>(count)));
    return *obtained == count ? S_OK : S_FALSE;
  }
  LONG total = 0;
  if (FAILED(container->Get_accChildCount(&total))) return E_FAIL;
  for (LONG i = start; i < total && *obtained < count; ++i) {
    IDispatch* object = nullptr;
    VARIANT id = VARIANT::I4(i + 1);
    if (container->Get_accChild(id, &object) == S_OK && object) {
      children[*obtained] = VARIANT::Dispatch(object);
      object->Release();
    } else {
      children[*obtained] = id;
    }
    ++*obtained;
  }
  return *obtained == count ? S_OK : S_FALSE;
}

void NotifyWinEvent(DWORD event, HWND wnd, LONG objectId, LONG childId) {
  if (auto recorder = Recorder()) recorder(event, wnd, objectId, childId);
  oleacc::ForwardWinEvent(event, wnd, objectId, childId);
}

namespace oleacc::testing {
void SetWinEventRecorder(TWinEventRecorder recorder) { Recorder() = std::move(recorder); }
size_t PendingObjectResults() {
  ResultTable& t = Results();
  std::lock_guard lock(t.Lock);
  return t.Objects.size();
}
}  // namespace oleacc::testing

}  // namespace pf
