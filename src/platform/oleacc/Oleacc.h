#pragma once
// Accessibility objects as controls expose them: the tagged VARIANT, IDispatch, IAccessible and
// IEnumVARIANT, the WM_GETOBJECT handshake (LresultFromObject / ObjectFromLresult /
// AccessibleObjectFromWindow) and NotifyWinEvent. A window that answers WM_GETOBJECT for its
// client area is presented to the desktop's accessibility bus through the toolkit: its object, its
// children, roles, states, names, locations, hit tests and default actions; NotifyWinEvent becomes
// the toolkit's accessibility updates.

#include <functional>

#include "platform/gdi/Gdi.h"
#include "platform/ole/Com.h"
#include "platform/user/User.h"

namespace pf {

constexpr UINT WM_GETOBJECT = 0x003D;

constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);

// Object ids of WM_GETOBJECT and NotifyWinEvent; child id 0 is the object itself.
constexpr LONG OBJID_WINDOW = 0;
constexpr LONG OBJID_CLIENT = -4;
constexpr LONG CHILDID_SELF = 0;

// Roles (their numbers are the desktop bridge's too).
constexpr LONG ROLE_SYSTEM_WINDOW = 9;
constexpr LONG ROLE_SYSTEM_CLIENT = 10;
constexpr LONG ROLE_SYSTEM_GROUPING = 20;
constexpr LONG ROLE_SYSTEM_COLUMNHEADER = 25;
constexpr LONG ROLE_SYSTEM_ROWHEADER = 26;
constexpr LONG ROLE_SYSTEM_COLUMN = 27;
constexpr LONG ROLE_SYSTEM_LIST = 33;
constexpr LONG ROLE_SYSTEM_LISTITEM = 34;

constexpr LONG STATE_SYSTEM_UNAVAILABLE = 0x1;
constexpr LONG STATE_SYSTEM_SELECTED = 0x2;
constexpr LONG STATE_SYSTEM_FOCUSED = 0x4;
constexpr LONG STATE_SYSTEM_PRESSED = 0x8;
constexpr LONG STATE_SYSTEM_CHECKED = 0x10;
constexpr LONG STATE_SYSTEM_MIXED = 0x20;
constexpr LONG STATE_SYSTEM_READONLY = 0x40;
constexpr LONG STATE_SYSTEM_HOTTRACKED = 0x80;
constexpr LONG STATE_SYSTEM_DEFAULT = 0x100;
constexpr LONG STATE_SYSTEM_EXPANDED = 0x200;
constexpr LONG STATE_SYSTEM_COLLAPSED = 0x400;
constexpr LONG STATE_SYSTEM_BUSY = 0x800;
constexpr LONG STATE_SYSTEM_INVISIBLE = 0x8000;
constexpr LONG STATE_SYSTEM_OFFSCREEN = 0x10000;
constexpr LONG STATE_SYSTEM_FOCUSABLE = 0x100000;
constexpr LONG STATE_SYSTEM_SELECTABLE = 0x200000;
constexpr LONG STATE_SYSTEM_MULTISELECTABLE = 0x1000000;
constexpr LONG STATE_SYSTEM_EXTSELECTABLE = 0x2000000;

constexpr DWORD EVENT_OBJECT_CREATE = 0x8000;
constexpr DWORD EVENT_OBJECT_DESTROY = 0x8001;
constexpr DWORD EVENT_OBJECT_SHOW = 0x8002;
constexpr DWORD EVENT_OBJECT_HIDE = 0x8003;
constexpr DWORD EVENT_OBJECT_REORDER = 0x8004;
constexpr DWORD EVENT_OBJECT_FOCUS = 0x8005;
constexpr DWORD EVENT_OBJECT_SELECTION = 0x8006;
constexpr DWORD EVENT_OBJECT_SELECTIONADD = 0x8007;
constexpr DWORD EVENT_OBJECT_SELECTIONREMOVE = 0x8008;
constexpr DWORD EVENT_OBJECT_SELECTIONWITHIN = 0x8009;
constexpr DWORD EVENT_OBJECT_STATECHANGE = 0x800A;
constexpr DWORD EVENT_OBJECT_LOCATIONCHANGE = 0x800B;
constexpr DWORD EVENT_OBJECT_NAMECHANGE = 0x800C;

using VARTYPE = uint16_t;
constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_DISPATCH = 9;
constexpr VARTYPE VT_UNKNOWN = 13;

struct IDispatch;

// A tagged value: empty, a 32-bit integer, or a counted reference to an interface. Copies take a
// reference of their own and the value releases what it holds when cleared or destroyed.
class VARIANT {
public:
  VARIANT() = default;
  VARIANT(const VARIANT& o);
  VARIANT(VARIANT&& o) noexcept;
  VARIANT& operator=(const VARIANT& o);
  VARIANT& operator=(VARIANT&& o) noexcept;
  ~VARIANT() { Clear(); }

  static VARIANT I4(LONG value);
  // Each takes a reference of its own; nil gives an empty value.
  static VARIANT Dispatch(IDispatch* value);
  static VARIANT Unknown(IUnknown* value);

  VARTYPE vt() const { return FType; }
  LONG lVal() const { return FType == VT_I4 ? FInt : 0; }
  // The interface held (no reference added); nil unless the value carries that type.
  IDispatch* pdispVal() const;
  IUnknown* punkVal() const { return FType == VT_DISPATCH || FType == VT_UNKNOWN ? FUnknown : nullptr; }
  void Clear();

private:
  VARTYPE FType{VT_EMPTY};
  LONG FInt{0};
  IUnknown* FUnknown{nullptr};
};
inline void VariantInit(VARIANT* v) { v->Clear(); }
inline HRESULT VariantClear(VARIANT* v) {
  v->Clear();
  return S_OK;
}

// Late-bound calls are not offered by our objects; the interface is here because IAccessible
// derives from it.
struct IDispatch : IUnknown {
  static constexpr IID Iid{0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
  virtual HRESULT GetTypeInfo(UINT index, DWORD locale, void** info) = 0;
  virtual HRESULT GetIDsOfNames(REFIID iid, const Char* const* names, UINT count, DWORD locale, LONG* ids) = 0;
  virtual HRESULT Invoke(LONG id, REFIID iid, DWORD locale, WORD flags, void* params, VARIANT* result,
                         void* exception, UINT* argError) = 0;
};

struct IEnumVARIANT : IUnknown {
  static constexpr IID Iid{0x00020404, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  // Fills at most `celt` values from the position on; S_OK when `celt` were given, else S_FALSE.
  virtual HRESULT Next(ULONG celt, VARIANT* values, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumVARIANT** out) = 0;
};

// An element a screen reader walks. `child` is CHILDID_SELF (VT_I4 0) or a 1-based child id.
struct IAccessible : IDispatch {
  static constexpr IID Iid{0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  virtual HRESULT Get_accParent(IDispatch** parent) = 0;
  virtual HRESULT Get_accChildCount(LONG* count) = 0;
  virtual HRESULT Get_accChild(const VARIANT& child, IDispatch** out) = 0;
  virtual HRESULT Get_accName(const VARIANT& child, String* name) = 0;
  virtual HRESULT Get_accValue(const VARIANT& child, String* value) = 0;
  virtual HRESULT Get_accDescription(const VARIANT& child, String* description) = 0;
  virtual HRESULT Get_accRole(const VARIANT& child, VARIANT* role) = 0;
  virtual HRESULT Get_accState(const VARIANT& child, VARIANT* state) = 0;
  virtual HRESULT Get_accHelp(const VARIANT& child, String* help) = 0;
  virtual HRESULT Get_accHelpTopic(String* helpFile, const VARIANT& child, LONG* topic) = 0;
  virtual HRESULT Get_accKeyboardShortcut(const VARIANT& child, String* shortcut) = 0;
  virtual HRESULT Get_accFocus(VARIANT* focus) = 0;
  virtual HRESULT Get_accSelection(VARIANT* selection) = 0;
  virtual HRESULT Get_accDefaultAction(const VARIANT& child, String* action) = 0;
  virtual HRESULT accSelect(LONG flags, const VARIANT& child) = 0;
  // Screen coordinates.
  virtual HRESULT accLocation(LONG* left, LONG* top, LONG* width, LONG* height, const VARIANT& child) = 0;
  virtual HRESULT accNavigate(LONG direction, const VARIANT& start, VARIANT* end) = 0;
  virtual HRESULT accHitTest(LONG screenX, LONG screenY, VARIANT* hit) = 0;
  virtual HRESULT accDoDefaultAction(const VARIANT& child) = 0;
  virtual HRESULT Set_accName(const VARIANT& child, const String& name) = 0;
  virtual HRESULT Set_accValue(const VARIANT& child, const String& value) = 0;
};

// The answer of WM_GETOBJECT for `object`: a positive value that stands for one reference to the
// object, redeemed once by ObjectFromLresult. 0 for a nil object; a negative error for an
// interface the object does not have.
LRESULT LresultFromObject(REFIID iid, WPARAM wParam, IUnknown* object);
HRESULT ObjectFromLresult(LRESULT result, REFIID iid, WPARAM wParam, void** out);
// Asks the window with WM_GETOBJECT; a window that does not answer gets the standard object of
// a window (OBJID_WINDOW) or of its client area (OBJID_CLIENT).
HRESULT AccessibleObjectFromWindow(HWND wnd, DWORD objectId, REFIID iid, void** out);
// The standard object: the window's text as its name, its rectangle, a window or client role, no
// children.
HRESULT CreateStdAccessibleObject(HWND wnd, LONG objectId, REFIID iid, void** out);
// The children of `container` from `start` on: through its IEnumVARIANT when it has one, else as
// child ids. `*obtained` is the number filled.
HRESULT AccessibleChildren(IAccessible* container, LONG start, LONG count, VARIANT* children, LONG* obtained);

// Tells whoever listens (the desktop bridge, a recorder) that something of the window changed.
void NotifyWinEvent(DWORD event, HWND wnd, LONG objectId, LONG childId);

namespace oleacc {
// Installs the toolkit's accessibility factory for the layer's windows (done at start-up; calling
// it again does nothing).
void InstallBridge();
}  // namespace oleacc

namespace oleacc::testing {
using TWinEventRecorder = std::function<void(DWORD event, HWND wnd, LONG objectId, LONG childId)>;
// Every NotifyWinEvent is handed to `recorder` first (nil stops recording).
void SetWinEventRecorder(TWinEventRecorder recorder);
// Values that LresultFromObject handed out and nobody redeemed.
size_t PendingObjectResults();
}  // namespace oleacc::testing

}  // namespace pf
