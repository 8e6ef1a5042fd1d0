#pragma once
// Accessibility objects of the list view, so that screen readers walk it as a tree: the control has
// its groups and then the header as children, a group has its items, the header its columns. Every
// object keeps a plain pointer to the element it describes; the element disconnects it when it goes,
// and a client that still holds the object then gets "not found" answers.

#include "listview/EmberControl.h"
#include "platform/oleacc/Oleacc.h"

namespace ember {

struct IEmberAccessibleDisconnect : IUnknown {
  static constexpr IID Iid{0xD1F3F352, 0xA96E, 0x47F6, {0xA7, 0x31, 0xAF, 0x68, 0x8A, 0x6B, 0x74, 0xBE}};
  virtual HRESULT DisconnectFromObject() = 0;
};

class TEmberAccessibleManager : public IAccessible, public IEnumVARIANT, public IEmberAccessibleDisconnect {
public:
  // Makes the object for `element`; an element of the wrong class fails the class's assertion.
  template <class T>
  static ComPtr<IAccessible> Make(TObject* element) {
    ComPtr<IAccessible> made(new T);
    static_cast<T*>(made.Get())->Create(element);
    return made;
  }
  // The same for an element handed over as its own class, which needs no finding out.
  template <class T, class E>
  static ComPtr<IAccessible> MakeKnown(E* element) {
    ComPtr<IAccessible> made(new T);
    T* t = static_cast<T*>(made.Get());
    t->FKnownElement = element;
    t->Create(element);
    return made;
  }
  TObject* EmberObject() const { return FEmberObject; }

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override { return ++FRefCount; }
  ULONG Release() override;

  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT, DWORD, void**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, const Char* const*, UINT, DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT Invoke(LONG, REFIID, DWORD, WORD, void*, VARIANT*, void*, UINT*) override { return E_NOTIMPL; }

  HRESULT Get_accParent(IDispatch** parent) override;
  HRESULT Get_accChildCount(LONG* count) override;
  HRESULT Get_accChild(const VARIANT& child, IDispatch** out) override;
  HRESULT Get_accName(const VARIANT& child, String* name) override;
  HRESULT Get_accValue(const VARIANT&, String* value) override { return NotFound(value); }
  HRESULT Get_accDescription(const VARIANT&, String* text) override { return NotFound(text); }
  HRESULT Get_accRole(const VARIANT& child, VARIANT* role) override;
  HRESULT Get_accState(const VARIANT& child, VARIANT* state) override;
  HRESULT Get_accHelp(const VARIANT&, String* help) override { return NotFound(help); }
  HRESULT Get_accHelpTopic(String* file, const VARIANT& child, LONG* topic) override;
  HRESULT Get_accKeyboardShortcut(const VARIANT&, String* keys) override { return NotFound(keys); }
  HRESULT Get_accFocus(VARIANT* focus) override;
  HRESULT Get_accSelection(VARIANT* selection) override;
  HRESULT Get_accDefaultAction(const VARIANT&, String* action) override { return NotFound(action); }
  HRESULT accSelect(LONG flags, const VARIANT& child) override;
  HRESULT accLocation(LONG* left, LONG* top, LONG* width, LONG* height, const VARIANT& child) override;
  HRESULT accNavigate(LONG direction, const VARIANT& start, VARIANT* end) override;
  HRESULT accHitTest(LONG x, LONG y, VARIANT* hit) override;
  HRESULT accDoDefaultAction(const VARIANT& child) override;
  HRESULT Set_accName(const VARIANT& child, const String& name) override;
  HRESULT Set_accValue(const VARIANT&, const String&) override { return E_NOTIMPL; }

  HRESULT DisconnectFromObject() override;

  HRESULT Next(ULONG celt, VARIANT* values, ULONG* fetched) override;
  HRESULT Skip(ULONG celt) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumVARIANT** out) override;

protected:
  TEmberAccessibleManager() = default;
  virtual ~TEmberAccessibleManager() = default;
  void Create(TObject* AnEmberObject);
  virtual void ValidateEmberObject();

  // What each kind of element answers. `Child` is 0 for the object itself, else a checked
  // 1-based child number.
  virtual LONG ChildCount() const;
  virtual ComPtr<IAccessible> ChildObject(LONG Child) const;
  virtual String NameOf(LONG Child) const;
  virtual LONG RoleOf(LONG Child) const;
  virtual LONG StateOf(LONG Child) const;
  // The rectangle in the list view's client coordinates; empty when there is none.
  virtual TRect ClientRectOf(LONG Child) const;
  virtual HRESULT ParentObject(IDispatch** Parent) const;
  virtual TCustomEmberListview* Listview() const;
  // Whether focus and selection are the list view's (items and groups too) or not offered.
  virtual bool AnswersSelection() const { return true; }
  virtual HRESULT HitTest(TPoint ClientPoint, VARIANT* Hit);
  // Objects without children answer S_FALSE to enumeration and Clone.
  virtual bool Leaf() const { return false; }

  // A child argument this object knows: VT_I4 within 0..ChildCount; DISP_E_MEMBERNOTFOUND for
  // another integer, E_INVALIDARG for an argument that is no integer.
  HRESULT CheckChild(const VARIANT& Child, LONG& Index) const;
  // Whether a name (`Name`), role or state asked of an id that is not the object's own is an
  // empty answer rather than a missing one: items and columns, which have no children, answer so.
  virtual bool ChildAnswersEmpty(bool) const { return false; }
  // The answer of every question this control has no answer to, for every child id.
  static HRESULT NotFound(String* Out);
  static HRESULT AsDispatch(const ComPtr<IAccessible>& Object, VARIANT* Out);

  TObject* FEmberObject{nullptr};
  // The element its maker handed over as the class this object describes (MakeKnown).
  const TObject* FKnownElement{nullptr};
  Integer FEnumIndex{0};

private:
  std::atomic<ULONG> FRefCount{0};
};

// The object of a group, an item, the header or a column: one template answers for all four, each
// from what its element is (see the element overloads in the source); a class below adds only what
// its element does differently.
template <class TElement, class TBase = TEmberAccessibleManager>
class TEmberElementAccessibleManager : public TBase {
protected:
  void ValidateEmberObject() override;
  LONG ChildCount() const override;
  ComPtr<IAccessible> ChildObject(LONG Child) const override;
  String NameOf(LONG Child) const override;
  LONG RoleOf(LONG Child) const override;
  LONG StateOf(LONG Child) const override;
  TRect ClientRectOf(LONG Child) const override;
  HRESULT ParentObject(IDispatch** Parent) const override;
  TCustomEmberListview* Listview() const override;
  HRESULT HitTest(TPoint ClientPoint, VARIANT* Hit) override;
  bool Leaf() const override;
  bool ChildAnswersEmpty(bool Name) const override;
  TElement* Element() const { return static_cast<TElement*>(this->FEmberObject); }
  friend class TEmberAccessibleManager;
};

class TEmberGroupAccessibleManager : public TEmberElementAccessibleManager<TEmberGroup> {};

class TEmberItemAccessibleManager : public TEmberElementAccessibleManager<TEmberItem> {
public:
  HRESULT Set_accName(const VARIANT& child, const String& name) override;
};

class TEmberHeaderAccessibleManager : public TEmberElementAccessibleManager<TEmberHeader> {
protected:
  bool AnswersSelection() const override { return false; }
  HRESULT HitTest(TPoint ClientPoint, VARIANT* Hit) override;
};

class TEmberColumnAccessibleManager : public TEmberElementAccessibleManager<TEmberColumn, TEmberHeaderAccessibleManager> {
protected:
  HRESULT HitTest(TPoint ClientPoint, VARIANT* Hit) override;
};

// Made once, in the accessibility source.
extern template class TEmberElementAccessibleManager<TEmberGroup>;
extern template class TEmberElementAccessibleManager<TEmberItem>;
extern template class TEmberElementAccessibleManager<TEmberHeader>;
extern template class TEmberElementAccessibleManager<TEmberColumn, TEmberHeaderAccessibleManager>;

// The selected items' objects, in the selection manager's order, as an enumeration.
class TEmberAccessibleEnumVariantArray final : public IEnumVARIANT {
public:
  explicit TEmberAccessibleEnumVariantArray(std::vector<TEmberItem*> Selection) : FSelection(std::move(Selection)) {}
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override { return ++FRefCount; }
  ULONG Release() override;
  HRESULT Next(ULONG celt, VARIANT* values, ULONG* fetched) override;
  HRESULT Skip(ULONG celt) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumVARIANT** out) override;

private:
  size_t FEnumCount{0};
  std::vector<TEmberItem*> FSelection;
  std::atomic<ULONG> FRefCount{0};
};

// The element's object as an IAccessible (nil when it has none).
ComPtr<IAccessible> AccessibleOf(IUnknown* Stored);

// Marks an element at its construction, when its control already has an object (items, groups,
// columns; the header's is made with the control's tree), to get its own object when first asked.
void AttachAccessible(TEmberCollectionItem* Element);
// The whole tree, on the control's first request.
void BuildAccessibleTree(TCustomEmberListview* Listview);
// Disconnects and drops every object of the tree: items, groups, columns, the header, the control.
void ReleaseAccessibleTree(TCustomEmberListview* Listview);
// Disconnects one stored object and drops the reference.
void DisconnectAccessible(ComPtr<IUnknown>& Stored);
// The control's answer to WM_GETOBJECT after the default handling gave `DefaultResult`.
LRESULT AccessibleGetObject(TCustomEmberListview* Listview, WPARAM WParam, LPARAM LParam, LRESULT DefaultResult);

}  // namespace ember
