#include "listview/EmberAccessible.h"

#include <type_traits>

#include "listview/EmberCollections.h"
#include "listview/EmberColumns.h"
#include "listview/EmberGroups.h"
#include "platform/rtl/Exceptions.h"

namespace ember {

namespace {

constexpr const char* kUnit = "EmberListview\\Source\\EmberListviewAccessible";

VARIANT Self() { return VARIANT::I4(pf::CHILDID_SELF); }

// The list view's client rectangle in screen coordinates.
TRect ToScreen(TCustomEmberListview* lv, TRect r) {
  if (!lv || !lv->HandleAllocated()) return {};
  TPoint origin{0, 0};
  ClientToScreen(lv->Handle(), &origin);
  return TRect{r.Left + origin.X, r.Top + origin.Y, r.Right + origin.X, r.Bottom + origin.Y};
}

// A group's or item's rectangle is kept in view coordinates; the screen wants where it shows.
TRect ViewToClient(TCustomEmberListview* lv, const TRect& r) {
  return lv && lv->GetScrollbars() ? lv->GetScrollbars()->MapViewRectToWindowRect(r) : r;
}

TRect HeaderClientRect(TCustomEmberListview* lv) {
  if (!lv) return {};
  return TRect{0, 0, lv->GetClientWidth(), lv->GetHeader()->RuntimeHeight()};
}

}  // namespace

ComPtr<IAccessible> AccessibleOf(IUnknown* Stored) {
  ComPtr<IAccessible> acc;
  if (Stored) Stored->QueryInterface(IAccessible::Iid, acc.GetVoidAddress());
  return acc;
}

// ---- The list view's object and the shared answers ----

void TEmberAccessibleManager::Create(TObject* AnEmberObject) {
  FEmberObject = AnEmberObject;
  ValidateEmberObject();
}

void TEmberAccessibleManager::ValidateEmberObject() {
  Assert(dynamic_cast<TCustomEmberListview*>(FEmberObject) != nullptr,
         u"TEmberAccessibleManager.Create not a TCustomEmberListview type", kUnit);
}

HRESULT TEmberAccessibleManager::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IUnknown::Iid || iid == IDispatch::Iid || iid == IAccessible::Iid) *out = static_cast<IAccessible*>(this);
  else if (iid == IEnumVARIANT::Iid) *out = static_cast<IEnumVARIANT*>(this);
  else if (iid == IEmberAccessibleDisconnect::Iid) *out = static_cast<IEmberAccessibleDisconnect*>(this);
  else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG TEmberAccessibleManager::Release() {
  ULONG n = --FRefCount;
  if (n == 0) {
    DisconnectFromObject();
    delete this;
  }
  return n;
}

HRESULT TEmberAccessibleManager::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return E_NOTIMPL;
}

HRESULT TEmberAccessibleManager::DisconnectFromObject() {
  FEmberObject = nullptr;
  return S_OK;
}

HRESULT TEmberAccessibleManager::CheckChild(const VARIANT& Child, LONG& Index) const {
  // A client may pass anything: an argument that is no integer is no child id at all, and an
  // integer naming neither this object nor one of its children names nothing to answer for.
  if (Child.vt() != VT_I4) return E_INVALIDARG;
  if (Child.lVal() < 0 || Child.lVal() > ChildCount()) return DISP_E_MEMBERNOTFOUND;
  Index = Child.lVal();
  return S_OK;
}

HRESULT TEmberAccessibleManager::NotFound(String* Out) {
  if (!Out) return E_POINTER;
  Out->clear();
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT TEmberAccessibleManager::AsDispatch(const ComPtr<IAccessible>& Object, VARIANT* Out) {
  *Out = VARIANT::Dispatch(Object.Get());
  return Object ? S_OK : DISP_E_MEMBERNOTFOUND;
}

TCustomEmberListview* TEmberAccessibleManager::Listview() const { return static_cast<TCustomEmberListview*>(FEmberObject); }

LONG TEmberAccessibleManager::ChildCount() const {
  return FEmberObject ? Listview()->GetGroups()->GetCount() + 1 : 0;
}

ComPtr<IAccessible> TEmberAccessibleManager::ChildObject(LONG Child) const {
  TCustomEmberListview* lv = Listview();
  const LONG groups = lv->GetGroups()->GetCount();
  if (Child <= groups) return AccessibleOf(lv->GetGroups()->GetGroup(Child - 1)->GetAccessible());
  return AccessibleOf(lv->GetHeader()->GetAccessible());
}

String TEmberAccessibleManager::NameOf(LONG Child) const {
  if (Child == 0) return {};
  TCustomEmberListview* lv = Listview();
  if (Child <= lv->GetGroups()->GetCount()) return lv->GetGroups()->GetGroup(Child - 1)->GetCaption();
  return u"EmberHeader";
}

LONG TEmberAccessibleManager::RoleOf(LONG Child) const {
  if (Child == 0) return ROLE_SYSTEM_LIST;
  return Child <= Listview()->GetGroups()->GetCount() ? ROLE_SYSTEM_GROUPING : ROLE_SYSTEM_ROWHEADER;
}

namespace {
LONG OwnState(TEmberGroup* g) {
  LONG s = g->GetExpanded() ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
  if (!g->GetVisible()) s |= STATE_SYSTEM_INVISIBLE;
  return s;
}
LONG HeaderState(TCustomEmberListview* lv) {
  TEmberHeader* h = lv->GetHeader();
  return h->GetVisible() && HeaderClientRect(lv).Height() > 0 ? 0 : STATE_SYSTEM_INVISIBLE;
}
LONG OwnState(TEmberItem* item) {
  LONG s = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_MULTISELECTABLE;
  if (item->GetSelected()) s |= STATE_SYSTEM_SELECTED;
  if (item->GetFocused()) s |= STATE_SYSTEM_FOCUSED;
  TEmberGroup* g = item->GetOwnerGroup();
  if (!item->GetVisible() || (g && !g->GetExpanded())) s |= STATE_SYSTEM_INVISIBLE;
  TCustomEmberListview* lv = item->GetOwnerListview();
  if (lv && lv->GetDragManager() && lv->GetDragManager()->GetDragItem() == item) s |= STATE_SYSTEM_HOTTRACKED;
  return s;
}
LONG OwnState(TEmberColumn* c) {
  LONG s = STATE_SYSTEM_READONLY;
  if (c->GetClicking()) s |= STATE_SYSTEM_PRESSED;
  if (!c->GetVisible()) s |= STATE_SYSTEM_INVISIBLE;
  return s;
}
}  // namespace

LONG TEmberAccessibleManager::StateOf(LONG Child) const {
  if (Child == 0) return 0;
  TCustomEmberListview* lv = Listview();
  if (Child <= lv->GetGroups()->GetCount()) return OwnState(lv->GetGroups()->GetGroup(Child - 1));
  return HeaderState(lv);
}

TRect TEmberAccessibleManager::ClientRectOf(LONG Child) const {
  TCustomEmberListview* lv = Listview();
  if (Child == 0) return TRect{0, 0, lv->GetClientWidth(), lv->GetClientHeight()};
  if (Child <= lv->GetGroups()->GetCount()) return ViewToClient(lv, lv->GetGroups()->GetGroup(Child - 1)->GetDisplayRect());
  return HeaderClientRect(lv);
}

HRESULT TEmberAccessibleManager::ParentObject(IDispatch** Parent) const {
  TCustomEmberListview* lv = Listview();
  if (!lv->HandleAllocated()) return S_FALSE;
  return AccessibleObjectFromWindow(lv->Handle(), static_cast<DWORD>(OBJID_WINDOW), IDispatch::Iid,
                                    reinterpret_cast<void**>(Parent));
}

HRESULT TEmberAccessibleManager::Get_accParent(IDispatch** parent) {
  if (!parent) return E_POINTER;
  *parent = nullptr;
  if (!FEmberObject) return Leaf() || dynamic_cast<TEmberGroupAccessibleManager*>(this) ? DISP_E_MEMBERNOTFOUND : S_FALSE;
  return ParentObject(parent);
}

HRESULT TEmberAccessibleManager::Get_accChildCount(LONG* count) {
  if (!count) return E_POINTER;
  *count = ChildCount();
  return S_OK;
}

HRESULT TEmberAccessibleManager::Get_accChild(const VARIANT&, IDispatch** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT TEmberAccessibleManager::Get_accName(const VARIANT& child, String* name) {
  if (!name) return E_POINTER;
  name->clear();
  if (!FEmberObject) return DISP_E_MEMBERNOTFOUND;
  LONG i;
  HRESULT hr = CheckChild(child, i);
  if (hr == DISP_E_MEMBERNOTFOUND && ChildAnswersEmpty(true)) return S_OK;
  if (hr != S_OK) return hr;
  *name = NameOf(i);
  return S_OK;
}

HRESULT TEmberAccessibleManager::Get_accRole(const VARIANT& child, VARIANT* role) {
  if (!role) return E_POINTER;
  role->Clear();
  if (!FEmberObject) return DISP_E_MEMBERNOTFOUND;
  LONG i;
  HRESULT hr = CheckChild(child, i);
  if (hr == DISP_E_MEMBERNOTFOUND && ChildAnswersEmpty(false)) return S_OK;
  if (hr != S_OK) return hr;
  if (LONG r = RoleOf(i)) *role = VARIANT::I4(r);
  return S_OK;
}

HRESULT TEmberAccessibleManager::Get_accState(const VARIANT& child, VARIANT* state) {
  if (!state) return E_POINTER;
  state->Clear();
  if (!FEmberObject) return DISP_E_MEMBERNOTFOUND;
  LONG i;
  HRESULT hr = CheckChild(child, i);
  if (hr == DISP_E_MEMBERNOTFOUND && ChildAnswersEmpty(false)) return S_OK;
  if (hr != S_OK) return hr;
  *state = VARIANT::I4(StateOf(i));
  return S_OK;
}

HRESULT TEmberAccessibleManager::Get_accHelpTopic(String* file, const VARIANT&, LONG* topic) {
  if (topic) *topic = 0;
  return NotFound(file);
}

HRESULT TEmberAccessibleManager::Get_accFocus(VARIANT* focus) {
  if (!focus) return E_POINTER;
  focus->Clear();
  if (!AnswersSelection() || !FEmberObject) return DISP_E_MEMBERNOTFOUND;
  TEmberItem* item = Listview() ? Listview()->GetSelection()->GetFocusedItem() : nullptr;
  if (ComPtr<IAccessible> acc = item ? AccessibleOf(item->GetAccessible()) : ComPtr<IAccessible>()) return AsDispatch(acc, focus);
  *focus = Self();
  return S_OK;
}

HRESULT TEmberAccessibleManager::Get_accSelection(VARIANT* selection) {
  if (!selection) return E_POINTER;
  selection->Clear();
  if (!AnswersSelection() || !FEmberObject) return DISP_E_MEMBERNOTFOUND;
  TCustomEmberListview* lv = Listview();
  if (!lv || lv->GetSelection()->GetCount() == 0) return S_OK;
  std::vector<TEmberItem*> selected;
  for (TEmberItem* i = lv->GetSelection()->First(); i; i = lv->GetSelection()->Next(i)) selected.push_back(i);
  ComPtr<IEnumVARIANT> list(new TEmberAccessibleEnumVariantArray(std::move(selected)));
  *selection = VARIANT::Unknown(list.Get());
  return S_OK;
}

HRESULT TEmberAccessibleManager::accSelect(LONG, const VARIANT&) { return DISP_E_MEMBERNOTFOUND; }

HRESULT TEmberAccessibleManager::accDoDefaultAction(const VARIANT&) { return DISP_E_MEMBERNOTFOUND; }

HRESULT TEmberAccessibleManager::accNavigate(LONG, const VARIANT&, VARIANT* end) {
  if (end) end->Clear();
  return E_NOTIMPL;
}

HRESULT TEmberAccessibleManager::accLocation(LONG* left, LONG* top, LONG* width, LONG* height, const VARIANT& child) {
  if (!left || !top || !width || !height) return E_POINTER;
  *left = *top = *width = *height = 0;
  if (!FEmberObject) return DISP_E_MEMBERNOTFOUND;
  LONG i;
  if (HRESULT hr = CheckChild(child, i); hr != S_OK) return hr;
  TRect r = ToScreen(Listview(), ClientRectOf(i));
  if (r.Right <= r.Left || r.Bottom <= r.Top) return DISP_E_MEMBERNOTFOUND;
  *left = r.Left;
  *top = r.Top;
  *width = r.Width();
  *height = r.Height();
  return S_OK;
}

HRESULT TEmberAccessibleManager::accHitTest(LONG x, LONG y, VARIANT* hit) {
  if (!hit) return E_POINTER;
  hit->Clear();
  if (!FEmberObject) return Leaf() || dynamic_cast<TEmberGroupAccessibleManager*>(this) ? DISP_E_MEMBERNOTFOUND : S_FALSE;
  TCustomEmberListview* lv = Listview();
  if (!lv || !lv->HandleAllocated()) return S_FALSE;
  TPoint p{x, y};
  ScreenToClient(lv->Handle(), &p);
  return HitTest(p, hit);
}

HRESULT TEmberAccessibleManager::HitTest(TPoint p, VARIANT* hit) {
  TCustomEmberListview* lv = Listview();
  // A point outside the control is nothing of it.
  if (p.X < 0 || p.Y < 0 || p.X >= lv->GetClientWidth() || p.Y >= lv->GetClientHeight()) return S_FALSE;
  if (lv->GetHeader()->GetVisible() && PtInRectEx(HeaderClientRect(lv), p))
    return AsDispatch(AccessibleOf(lv->GetHeader()->GetAccessible()), hit) == S_OK ? S_OK : (*hit = Self(), S_OK);
  const TPoint vp = lv->GetScrollbars()->MapWindowToView(p);
  if (TEmberGroup* g = lv->GetGroups()->GroupByPoint(vp)) {
    TEmberItem* item = g->ItemByPoint(vp);
    if (item && item->GetView()->SelectionHitPt(item, vp, TEmberSelectHitType::eshtClickSelect))
      if (ComPtr<IAccessible> acc = AccessibleOf(item->GetAccessible())) return AsDispatch(acc, hit);
    if (ComPtr<IAccessible> acc = AccessibleOf(g->GetAccessible())) return AsDispatch(acc, hit);
  }
  *hit = Self();
  return S_OK;
}

HRESULT TEmberAccessibleManager::Set_accName(const VARIANT&, const String&) { return E_NOTIMPL; }

// ---- Enumeration of the children ----

HRESULT TEmberAccessibleManager::Next(ULONG celt, VARIANT* values, ULONG* fetched) {
  if (fetched) *fetched = 0;
  if (!values && celt) return E_POINTER;
  if (Leaf() || !FEmberObject) return S_FALSE;
  const Integer count = ChildCount();
  ULONG n = 0;
  while (n < celt && FEnumIndex < count) {
    values[n] = VARIANT::Dispatch(ChildObject(FEnumIndex + 1).Get());
    ++n;
    ++FEnumIndex;
  }
  if (fetched) *fetched = n;
  return n == celt ? S_OK : S_FALSE;
}

HRESULT TEmberAccessibleManager::Skip(ULONG celt) {
  if (Leaf() || !FEmberObject) return S_FALSE;
  const Integer count = ChildCount();
  const bool beyond = celt > static_cast<ULONG>(count - FEnumIndex);
  FEnumIndex = beyond ? count : FEnumIndex + static_cast<Integer>(celt);
  return beyond ? S_FALSE : S_OK;
}

HRESULT TEmberAccessibleManager::Reset() {
  if (Leaf() || !FEmberObject) return S_FALSE;
  FEnumIndex = 0;
  return S_OK;
}

HRESULT TEmberAccessibleManager::Clone(IEnumVARIANT** out) {
  if (out) *out = nullptr;
  return Leaf() ? S_FALSE : E_NOTIMPL;
}

// ---- Groups, items, the header and columns ----
// A group's children are its items and the header's its columns; items and columns have none.
// What an element answers of itself, element by element:

namespace {

template <class E>
constexpr bool kLeaf = std::is_same_v<E, TEmberItem> || std::is_same_v<E, TEmberColumn>;

template <class E>
const char16_t* const kWrongClassText = nullptr;
template <>
const char16_t* const kWrongClassText<TEmberGroup> = u"TEmberGroupAccessibleManager.Create not a TEmberGroup type";
template <>
const char16_t* const kWrongClassText<TEmberItem> = u"TEmberItemAccessibleManager.Create not a TEmberItem type";
template <>
const char16_t* const kWrongClassText<TEmberHeader> = u"TEmberHeaderAccessibleManager.Create not a TEmberHeader type";
template <>
const char16_t* const kWrongClassText<TEmberColumn> = u"TEmberColumnAccessibleManager.Create not a TEmberColumn type";

TCustomEmberListview* OwnerOf(TEmberCollectionItem* e) { return e->GetOwnerListview(); }
TCustomEmberListview* OwnerOf(TEmberHeader* h) { return h->OwnerListview(); }

Integer ChildCountOf(TEmberGroup* g) { return g->GetItemCount(); }
Integer ChildCountOf(TEmberHeader* h) { return h->GetColumns()->GetCount(); }
TEmberItem* ChildOf(TEmberGroup* g, LONG Child) { return g->GetItem(Child - 1); }
TEmberColumn* ChildOf(TEmberHeader* h, LONG Child) { return h->GetColumns()->GetColumn(Child - 1); }

String OwnName(TEmberCollectionItem* e) { return e->GetCaption(); }
String OwnName(TEmberHeader*) { return u"EmberHeader"; }

LONG OwnRole(TEmberGroup*) { return ROLE_SYSTEM_GROUPING; }
LONG OwnRole(TEmberItem*) { return ROLE_SYSTEM_LISTITEM; }
LONG OwnRole(TEmberHeader*) { return ROLE_SYSTEM_ROWHEADER; }
LONG OwnRole(TEmberColumn*) { return ROLE_SYSTEM_COLUMN; }

LONG OwnState(TEmberHeader* h) { return HeaderState(h->OwnerListview()); }

TRect OwnClientRect(TEmberCollectionItem* e) { return ViewToClient(e->GetOwnerListview(), e->GetDisplayRect()); }
TRect OwnClientRect(TEmberHeader* h) { return HeaderClientRect(h->OwnerListview()); }
TRect OwnClientRect(TEmberColumn* c) {
  // Column rectangles are kept in the header's own coordinates, which scroll with the view.
  TCustomEmberListview* lv = c->GetOwnerListview();
  TRect r = c->GetDisplayRect();
  const Integer dx = lv ? lv->GetScrollbars()->GetOffsetX() : 0;
  r = TRect{r.Left - dx, r.Top, r.Right - dx, r.Bottom};
  if (HeaderClientRect(lv).Height() == 0) r.Bottom = r.Top;
  return r;
}

// The object of the element one level up: the control's for groups and the header.
IUnknown* ParentAccessible(TEmberCollectionItem* e) {
  TCustomEmberListview* lv = e->GetOwnerListview();
  return lv ? lv->GetAccessible() : nullptr;
}
IUnknown* ParentAccessible(TEmberHeader* h) {
  TCustomEmberListview* lv = h->OwnerListview();
  return lv ? lv->GetAccessible() : nullptr;
}
IUnknown* ParentAccessible(TEmberItem* i) {
  TEmberGroup* g = i->GetOwnerGroup();
  return g ? g->GetAccessible() : nullptr;
}
IUnknown* ParentAccessible(TEmberColumn* c) {
  TEmberHeader* h = c->GetOwnerHeader();
  return h ? h->GetAccessible() : nullptr;
}

}  // namespace

template <class E, class B>
void TEmberElementAccessibleManager<E, B>::ValidateEmberObject() {
  if (this->FKnownElement && this->FEmberObject == this->FKnownElement) return;
  // The text is made only for the failure.
  if (!dynamic_cast<E*>(this->FEmberObject)) Assert(false, kWrongClassText<E>, kUnit);
}
template <class E, class B>
TCustomEmberListview* TEmberElementAccessibleManager<E, B>::Listview() const {
  return OwnerOf(Element());
}
template <class E, class B>
bool TEmberElementAccessibleManager<E, B>::Leaf() const {
  return kLeaf<E>;
}
template <class E, class B>
bool TEmberElementAccessibleManager<E, B>::ChildAnswersEmpty(bool Name) const {
  if constexpr (std::is_same_v<E, TEmberItem>) return true;
  else if constexpr (std::is_same_v<E, TEmberColumn>) return !Name;
  else return false;
}
template <class E, class B>
LONG TEmberElementAccessibleManager<E, B>::ChildCount() const {
  if constexpr (kLeaf<E>) return 0;
  else return this->FEmberObject ? ChildCountOf(Element()) : 0;
}
template <class E, class B>
ComPtr<IAccessible> TEmberElementAccessibleManager<E, B>::ChildObject(LONG Child) const {
  if constexpr (kLeaf<E>) return {};
  else return AccessibleOf(ChildOf(Element(), Child)->GetAccessible());
}
template <class E, class B>
String TEmberElementAccessibleManager<E, B>::NameOf(LONG Child) const {
  if constexpr (!kLeaf<E>) if (Child != 0) return OwnName(ChildOf(Element(), Child));
  return OwnName(Element());
}
template <class E, class B>
LONG TEmberElementAccessibleManager<E, B>::RoleOf(LONG Child) const {
  if constexpr (!kLeaf<E>) if (Child != 0) return OwnRole(ChildOf(Element(), Child));
  return OwnRole(Element());
}
template <class E, class B>
LONG TEmberElementAccessibleManager<E, B>::StateOf(LONG Child) const {
  if constexpr (!kLeaf<E>) if (Child != 0) return OwnState(ChildOf(Element(), Child));
  return OwnState(Element());
}
template <class E, class B>
TRect TEmberElementAccessibleManager<E, B>::ClientRectOf(LONG Child) const {
  // The header does not place its columns: their own objects do.
  if constexpr (std::is_same_v<E, TEmberHeader>) if (Child != 0) return {};
  if constexpr (std::is_same_v<E, TEmberGroup>) if (Child != 0) return OwnClientRect(ChildOf(Element(), Child));
  return OwnClientRect(Element());
}
template <class E, class B>
HRESULT TEmberElementAccessibleManager<E, B>::ParentObject(IDispatch** Parent) const {
  *Parent = AccessibleOf(ParentAccessible(Element())).Detach();
  if (*Parent) return S_OK;
  return std::is_same_v<E, TEmberColumn> ? DISP_E_MEMBERNOTFOUND : S_FALSE;
}
template <class E, class B>
HRESULT TEmberElementAccessibleManager<E, B>::HitTest(TPoint, VARIANT* hit) {
  *hit = Self();
  return S_OK;
}

template class TEmberElementAccessibleManager<TEmberGroup>;
template class TEmberElementAccessibleManager<TEmberItem>;
template class TEmberElementAccessibleManager<TEmberHeader>;
template class TEmberElementAccessibleManager<TEmberColumn, TEmberHeaderAccessibleManager>;

HRESULT TEmberItemAccessibleManager::Set_accName(const VARIANT& child, const String& name) {
  if (!FEmberObject) return DISP_E_MEMBERNOTFOUND;
  LONG i;
  if (HRESULT hr = CheckChild(child, i); hr != S_OK) return hr;
  TCustomEmberListview* lv = Listview();
  if (!lv || !lv->GetEditManager()->GetEnabled()) return S_FALSE;
  Element()->SetCaption(name);
  return S_OK;
}

HRESULT TEmberHeaderAccessibleManager::HitTest(TPoint p, VARIANT* hit) {
  *hit = Self();
  TEmberHeader* header = Element();
  if (!header->GetVisible()) return S_OK;
  // Column rectangles are kept in the header's own coordinates, which scroll with the view.
  TPoint hp{p.X + Listview()->GetScrollbars()->GetOffsetX(), p.Y};
  for (Integer i = 0; i < header->GetColumns()->GetCount(); ++i) {
    TEmberColumn* c = header->GetColumns()->GetColumn(i);
    if (c->GetVisible() && PtInRectEx(c->GetDisplayRect(), hp))
      if (ComPtr<IAccessible> acc = AccessibleOf(c->GetAccessible())) return AsDispatch(acc, hit);
  }
  return S_OK;
}

HRESULT TEmberColumnAccessibleManager::HitTest(TPoint, VARIANT* hit) {
  TEmberHeader* h = Element()->GetOwnerHeader();
  if (!h || !h->GetVisible()) return S_FALSE;
  *hit = Self();
  return S_OK;
}

// ---- The selection enumeration ----

HRESULT TEmberAccessibleEnumVariantArray::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IUnknown::Iid || iid == IEnumVARIANT::Iid) {
    *out = static_cast<IEnumVARIANT*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}
ULONG TEmberAccessibleEnumVariantArray::Release() {
  ULONG n = --FRefCount;
  if (n == 0) delete this;
  return n;
}
HRESULT TEmberAccessibleEnumVariantArray::Next(ULONG celt, VARIANT* values, ULONG* fetched) {
  if (fetched) *fetched = 0;
  if (!values && celt) return E_POINTER;
  ULONG n = 0;
  while (n < celt && FEnumCount < FSelection.size()) {
    values[n++] = VARIANT::Dispatch(AccessibleOf(FSelection[FEnumCount++]->GetAccessible()).Get());
  }
  if (fetched) *fetched = n;
  return n == celt ? S_OK : S_FALSE;
}
HRESULT TEmberAccessibleEnumVariantArray::Skip(ULONG celt) {
  // Never past the end, so a later Next finds nothing rather than reading beyond the list.
  const size_t left = FSelection.size() - FEnumCount;
  FEnumCount += std::min<size_t>(celt, left);
  return celt <= left ? S_OK : S_FALSE;
}
HRESULT TEmberAccessibleEnumVariantArray::Reset() {
  FEnumCount = 0;
  return S_OK;
}
HRESULT TEmberAccessibleEnumVariantArray::Clone(IEnumVARIANT** out) {
  if (!out) return E_POINTER;
  auto* copy = new (std::nothrow) TEmberAccessibleEnumVariantArray(FSelection);
  *out = copy;
  if (!copy) return E_OUTOFMEMORY;
  copy->AddRef();
  return S_OK;
}

// ---- The tree's life with its control ----

void DisconnectAccessible(ComPtr<IUnknown>& Stored) {
  if (!Stored) return;
  ComPtr<IEmberAccessibleDisconnect> d;
  if (SUCCEEDED(Stored->QueryInterface(IEmberAccessibleDisconnect::Iid, d.GetVoidAddress())) && d) d->DisconnectFromObject();
  Stored = nullptr;
}

namespace {
ComPtr<IUnknown> AsStored(const ComPtr<IAccessible>& a) { return ComPtr<IUnknown>(static_cast<IUnknown*>(a.Get())); }
}  // namespace

void AttachAccessible(TEmberCollectionItem* Element) {
  TCustomEmberListview* lv = Element ? Element->GetOwnerListview() : nullptr;
  if (!lv || !lv->GetAccessible() || lv->Designing() || Element->MadeAccessible() || Element->GetAccessibleDue()) return;
  Element->SetAccessibleDue(true);
}

void TEmberCollectionItem::MakeDueAccessible() const {
  FAccessibleDue = false;
  auto* self = const_cast<TEmberCollectionItem*>(this);
  // The control's tree may have gone with its window since the element was marked.
  TCustomEmberListview* lv = GetOwnerListview();
  if (!lv || !lv->GetAccessible() || FAccessible || GetDestroying()) return;
  ComPtr<IAccessible> made;
  if (auto* item = dynamic_cast<TEmberItem*>(self))
    made = TEmberAccessibleManager::MakeKnown<TEmberItemAccessibleManager>(item);
  else if (auto* group = dynamic_cast<TEmberGroup*>(self))
    made = TEmberAccessibleManager::MakeKnown<TEmberGroupAccessibleManager>(group);
  else if (auto* column = dynamic_cast<TEmberColumn*>(self))
    made = TEmberAccessibleManager::MakeKnown<TEmberColumnAccessibleManager>(column);
  FAccessible = AsStored(made);
}

void BuildAccessibleTree(TCustomEmberListview* lv) {
  if (!lv || lv->GetAccessible() || lv->Designing()) return;
  lv->SetAccessible(AsStored(TEmberAccessibleManager::Make<TEmberAccessibleManager>(lv)));
  TEmberGroups* groups = lv->GetGroups();
  for (Integer g = 0; g < groups->GetCount(); ++g) {
    TEmberGroup* group = groups->GetGroup(g);
    AttachAccessible(group);
    for (Integer i = 0; i < group->GetItemCount(); ++i) AttachAccessible(group->GetItem(i));
  }
  TEmberHeader* header = lv->GetHeader();
  header->SetAccessible(AsStored(TEmberAccessibleManager::Make<TEmberHeaderAccessibleManager>(header)));
  for (Integer c = 0; c < header->GetColumns()->GetCount(); ++c) AttachAccessible(header->GetColumns()->GetColumn(c));
}

void ReleaseAccessibleTree(TCustomEmberListview* lv) {
  if (!lv) return;
  auto release = [](auto* element) {
    ComPtr<IUnknown> stored(element->GetAccessible());
    element->SetAccessible(nullptr);
    DisconnectAccessible(stored);
  };
  // An element whose object is still only due goes without one, rather than have it made to be
  // let go.
  auto releaseElement = [](TEmberCollectionItem* element) {
    ComPtr<IUnknown> stored(element->MadeAccessible());
    element->SetAccessible(nullptr);
    DisconnectAccessible(stored);
  };
  TEmberGroups* groups = lv->GetGroups();
  for (Integer g = 0; g < groups->GetCount(); ++g) {
    TEmberGroup* group = groups->GetGroup(g);
    for (Integer i = 0; i < group->GetItemCount(); ++i) releaseElement(group->GetItem(i));
    releaseElement(group);
  }
  // The header's and the columns' objects go too, so none outlives a re-made window.
  TEmberHeader* header = lv->GetHeader();
  for (Integer c = 0; c < header->GetColumns()->GetCount(); ++c) releaseElement(header->GetColumns()->GetColumn(c));
  release(header);
  release(lv);
}

LRESULT AccessibleGetObject(TCustomEmberListview* lv, WPARAM WParam, LPARAM LParam, LRESULT DefaultResult) {
  BuildAccessibleTree(lv);
  if (static_cast<LONG>(LParam) != OBJID_CLIENT) return DefaultResult;
  IUnknown* acc = lv->GetAccessible();
  return acc ? LresultFromObject(IAccessible::Iid, WParam, acc) : 0;
}

}  // namespace ember
