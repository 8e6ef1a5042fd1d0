// Presents the accessibility objects of the layer's windows as the toolkit's accessible
// interfaces, which the toolkit hands on to the desktop's accessibility bus. A window that
// answers WM_GETOBJECT for its client area gets an interface that reads everything from its
// object; the object's children (objects of their own or plain child ids) get interfaces that the
// toolkit registers by id and that go when the window goes.

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <map>
#include <vector>

#include "platform/oleacc/Bridge_p.h"
#include "platform/rtl/Strings.h"
#include "platform/user/Layer_p.h"
#include "platform/user/Window_p.h"

namespace pf::oleacc {

namespace {

// Unit for unit: the toolkit's UTF-16 decoder would take a leading U+FEFF or U+FFFE of a name for
// a byte-order mark.
QString ToQ(const String& s) { return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size())); }
String FromQ(const QString& s) { return String(reinterpret_cast<const Char*>(s.utf16()), static_cast<size_t>(s.size())); }

// COM identity: the IUnknown every interface of an object answers.
IUnknown* Identity(IUnknown* p) {
  if (!p) return nullptr;
  IUnknown* u = nullptr;
  if (FAILED(p->QueryInterface(IUnknown::Iid, reinterpret_cast<void**>(&u))) || !u) return p;
  u->Release();  // the object lives on through the reference the caller holds
  return u;
}

ComPtr<IAccessible> AsAccessible(IUnknown* p) {
  ComPtr<IAccessible> acc;
  if (p) p->QueryInterface(IAccessible::Iid, acc.GetVoidAddress());
  return acc;
}

QAccessible::State StateOf(LONG s) {
  QAccessible::State q;
  q.disabled = (s & STATE_SYSTEM_UNAVAILABLE) != 0;
  q.selected = (s & STATE_SYSTEM_SELECTED) != 0;
  q.focused = (s & STATE_SYSTEM_FOCUSED) != 0;
  q.pressed = (s & STATE_SYSTEM_PRESSED) != 0;
  q.checked = (s & STATE_SYSTEM_CHECKED) != 0;
  q.checkStateMixed = (s & STATE_SYSTEM_MIXED) != 0;
  q.readOnly = (s & STATE_SYSTEM_READONLY) != 0;
  q.hotTracked = (s & STATE_SYSTEM_HOTTRACKED) != 0;
  q.defaultButton = (s & STATE_SYSTEM_DEFAULT) != 0;
  q.expanded = (s & STATE_SYSTEM_EXPANDED) != 0;
  q.collapsed = (s & STATE_SYSTEM_COLLAPSED) != 0;
  q.expandable = q.expanded || q.collapsed;
  q.busy = (s & STATE_SYSTEM_BUSY) != 0;
  q.invisible = (s & STATE_SYSTEM_INVISIBLE) != 0;
  q.offscreen = (s & STATE_SYSTEM_OFFSCREEN) != 0;
  q.focusable = (s & STATE_SYSTEM_FOCUSABLE) != 0 || q.focused;
  q.selectable = (s & STATE_SYSTEM_SELECTABLE) != 0;
  q.multiSelectable = (s & STATE_SYSTEM_MULTISELECTABLE) != 0;
  q.extSelectable = (s & STATE_SYSTEM_EXTSELECTABLE) != 0;
  return q;
}

class TElement;

// What both kinds of interface read from an object: the object and which of its children (0 for
// the object itself) the interface stands for.
struct TSource {
  ComPtr<IAccessible> Acc;
  LONG Child{CHILDID_SELF};

  VARIANT Id() const { return VARIANT::I4(Child); }
  bool Alive() const {
    VARIANT role;
    return Acc && Acc->Get_accRole(Id(), &role) == S_OK;
  }
  QString Text(QAccessible::Text t) const {
    String s;
    HRESULT hr = E_NOTIMPL;
    switch (t) {
      case QAccessible::Name: hr = Acc->Get_accName(Id(), &s); break;
      case QAccessible::Description: hr = Acc->Get_accDescription(Id(), &s); break;
      case QAccessible::Value: hr = Acc->Get_accValue(Id(), &s); break;
      case QAccessible::Help: hr = Acc->Get_accHelp(Id(), &s); break;
      case QAccessible::Accelerator: hr = Acc->Get_accKeyboardShortcut(Id(), &s); break;
      default: break;
    }
    return hr == S_OK ? ToQ(s) : QString();
  }
  void SetText(QAccessible::Text t, const QString& text) const {
    if (t == QAccessible::Name) Acc->Set_accName(Id(), FromQ(text));
    else if (t == QAccessible::Value) Acc->Set_accValue(Id(), FromQ(text));
  }
  QRect Rect() const {
    LONG l = 0, t = 0, w = 0, h = 0;
    if (Acc->accLocation(&l, &t, &w, &h, Id()) != S_OK) return {};
    return QRect(l, t, w, h);
  }
  QAccessible::Role Role() const {
    VARIANT role;
    if (Acc->Get_accRole(Id(), &role) != S_OK || role.vt() != VT_I4) return QAccessible::NoRole;
    return static_cast<QAccessible::Role>(role.lVal());  // the desktop bridge numbers roles alike
  }
  QAccessible::State State() const {
    VARIANT state;
    if (Acc->Get_accState(Id(), &state) != S_OK || state.vt() != VT_I4) {
      QAccessible::State gone;
      gone.invalid = true;
      return gone;
    }
    return StateOf(state.lVal());
  }
  int ChildCount() const {
    if (Child != CHILDID_SELF) return 0;
    LONG n = 0;
    return Acc->Get_accChildCount(&n) == S_OK && n > 0 ? n : 0;
  }
  // The child at `index`, as the object's enumeration gives it.
  VARIANT ChildAt(int index) const {
    VARIANT v;
    if (Child != CHILDID_SELF || index < 0) return v;
    LONG got = 0;
    if (AccessibleChildren(Acc.Get(), index, 1, &v, &got) < 0 || got != 1) v.Clear();
    return v;
  }
  QString DefaultAction() const {
    String s;
    return Acc->Get_accDefaultAction(Id(), &s) == S_OK ? ToQ(s) : QString();
  }
  QStringList ActionNames() const {
    QString a = DefaultAction();
    return a.isEmpty() ? QStringList() : QStringList{a};
  }
  void DoAction(const QString& name) const {
    if (!name.isEmpty() && name == DefaultAction()) Acc->accDoDefaultAction(Id());
  }
};

// The object's default action as the toolkit's action interface.
#define PO_DEFAULT_ACTION_ANSWERS                                                        \
  QStringList actionNames() const override { return FSource.ActionNames(); }             \
  QString localizedActionDescription(const QString& name) const override { return name; } \
  void doAction(const QString& name) override { FSource.DoAction(name); }                \
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

// Everything made for the windows: the root interface of each window's object and the element
// interfaces under it, so that one element keeps one interface (and one id) while it lives.
struct TRegistry {
  struct Key {
    IUnknown* Object;
    LONG Child;
    bool operator<(const Key& o) const { return Object != o.Object ? Object < o.Object : Child < o.Child; }
  };
  std::map<IUnknown*, QPointer<QWidget>> Roots;
  std::map<Key, QAccessible::Id> Elements;
  std::map<const QWidget*, std::vector<QAccessible::Id>> ByWindow;
};
TRegistry& Registry() {
  static TRegistry r;
  return r;
}

QAccessibleInterface* InterfaceFor(const ComPtr<IAccessible>& acc, LONG child, QWidget* window,
                                   QAccessibleInterface* parentHint, int indexHint);

// Turns what an object answered (self, a child id, another object) into an interface; `owner` is
// the interface of the object that answered.
QAccessibleInterface* Resolve(const VARIANT& v, const TSource& owner, QAccessibleInterface* ownerIface,
                              QWidget* window, int indexHint = -1) {
  if (v.vt() == VT_I4) {
    if (v.lVal() == CHILDID_SELF) return ownerIface;
    return InterfaceFor(owner.Acc, v.lVal(), window, ownerIface, indexHint);
  }
  if (v.vt() == VT_DISPATCH || v.vt() == VT_UNKNOWN) {
    ComPtr<IAccessible> acc = AsAccessible(v.punkVal());
    if (!acc) return nullptr;
    return InterfaceFor(acc, CHILDID_SELF, window, indexHint >= 0 ? ownerIface : nullptr, indexHint);
  }
  return nullptr;
}

// The direct child of `self` that contains `found` (walking up the found object's parents).
QAccessibleInterface* DirectChild(QAccessibleInterface* self, QAccessibleInterface* found) {
  for (QAccessibleInterface* i = found; i && i != self; i = i->parent())
    if (i->parent() == self) return i;
  return nullptr;
}

// Shared answers of both kinds of interface.
template <class Base>
class TPresenter : public Base {
public:
  template <class... A>
  TPresenter(TSource source, QWidget* window, A&&... base) : Base(std::forward<A>(base)...), FSource(std::move(source)), FWindow(window) {}

  QString text(QAccessible::Text t) const override { return FSource.Alive() ? FSource.Text(t) : QString(); }
  void setText(QAccessible::Text t, const QString& text) override { FSource.SetText(t, text); }
  QRect rect() const override { return FSource.Rect(); }
  QAccessible::Role role() const override { return FSource.Role(); }
  QAccessible::State state() const override { return FSource.State(); }
  int childCount() const override { return FSource.ChildCount(); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    return Resolve(FSource.ChildAt(index), FSource, Self(), FWindow, index);
  }
  int indexOfChild(const QAccessibleInterface* c) const override;
  QAccessibleInterface* childAt(int x, int y) const override {
    if (FSource.Child != CHILDID_SELF) return nullptr;
    VARIANT hit;
    if (FSource.Acc->accHitTest(x, y, &hit) != S_OK) return nullptr;
    QAccessibleInterface* found = Resolve(hit, FSource, Self(), FWindow);
    return found == Self() ? nullptr : DirectChild(Self(), found);
  }
  QAccessibleInterface* focusChild() const override {
    if (FSource.Child != CHILDID_SELF) return nullptr;
    VARIANT focus;
    if (FSource.Acc->Get_accFocus(&focus) != S_OK) return nullptr;
    QAccessibleInterface* found = Resolve(focus, FSource, Self(), FWindow);
    return found == Self() ? nullptr : found;
  }
  const TSource& Source() const { return FSource; }
  int IndexHint{-1};

protected:
  QAccessibleInterface* Self() const { return const_cast<TPresenter*>(this); }
  TSource FSource;
  QPointer<QWidget> FWindow;
};

using TElementBase = TPresenter<QAccessibleInterface>;

// A child element: an object of its own or a plain child id of its parent's object.
class TElement final : public TElementBase, public QAccessibleActionInterface {
public:
  PO_DEFAULT_ACTION_ANSWERS
  void* interface_cast(QAccessible::InterfaceType t) override {
    return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
  }
  TElement(TSource source, QWidget* window, QAccessibleInterface* parent)
      : TElementBase(std::move(source), window), FParentId(parent ? QAccessible::uniqueId(parent) : 0) {}

  bool isValid() const override { return !FWindow.isNull() && FSource.Alive(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return FWindow ? FWindow->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override {
    if (FParentId)
      if (QAccessibleInterface* p = QAccessible::accessibleInterface(FParentId)) return p;
    if (FSource.Child != CHILDID_SELF)
      return InterfaceFor(FSource.Acc, CHILDID_SELF, FWindow, nullptr, -1);
    IDispatch* up = nullptr;
    if (FSource.Acc->Get_accParent(&up) != S_OK || !up) return nullptr;
    ComPtr<IAccessible> parentAcc = AsAccessible(up);
    up->Release();
    QAccessibleInterface* p = parentAcc ? InterfaceFor(parentAcc, CHILDID_SELF, FWindow, nullptr, -1) : nullptr;
    if (p) FParentId = QAccessible::uniqueId(p);
    return p;
  }

private:
  mutable QAccessible::Id FParentId;
};

// The window itself: the toolkit's widget interface, with everything read from the window's object.
class TWindowRoot final : public TPresenter<QAccessibleWidget> {
public:
  TWindowRoot(TSource source, QWidget* widget) : TPresenter(std::move(source), widget, widget) {}
  // The widget's interface is its own action interface.
  PO_DEFAULT_ACTION_ANSWERS
  QAccessible::Role role() const override {
    QAccessible::Role r = FSource.Role();
    return r == QAccessible::NoRole ? QAccessible::Client : r;
  }
  QRect rect() const override {
    QRect r = FSource.Rect();
    return r.isNull() ? QAccessibleWidget::rect() : r;
  }
  QAccessible::State state() const override {
    QAccessible::State s = FSource.State();
    s.invalid = false;
    QAccessible::State w = QAccessibleWidget::state();
    s.focused = s.focused || w.focused;
    s.invisible = w.invisible;
    s.disabled = s.disabled || w.disabled;
    return s;
  }
  QAccessibleInterface* focusChild() const override { return TPresenter::focusChild(); }
};

template <class Base>
int TPresenter<Base>::indexOfChild(const QAccessibleInterface* c) const {
  const int n = childCount();
  // An element remembers where it was found; check that first, then look through the rest.
  if (auto* e = dynamic_cast<const TElement*>(c); e && e->IndexHint >= 0 && e->IndexHint < n && child(e->IndexHint) == c)
    return e->IndexHint;
  for (int i = 0; i < n; ++i)
    if (child(i) == c) return i;
  return -1;
}

void Forget(const QWidget* window) {
  TRegistry& r = Registry();
  auto it = r.ByWindow.find(window);
  if (it == r.ByWindow.end()) return;
  std::vector<QAccessible::Id> ids = std::move(it->second);
  r.ByWindow.erase(it);
  for (auto e = r.Elements.begin(); e != r.Elements.end();)
    e = std::find(ids.begin(), ids.end(), e->second) != ids.end() ? r.Elements.erase(e) : std::next(e);
  for (QAccessible::Id id : ids) QAccessible::deleteAccessibleInterface(id);
}

QAccessibleInterface* InterfaceFor(const ComPtr<IAccessible>& acc, LONG child, QWidget* window,
                                   QAccessibleInterface* parentHint, int indexHint) {
  if (!acc) return nullptr;
  TRegistry& r = Registry();
  IUnknown* id = Identity(acc.Get());
  if (child == CHILDID_SELF)
    if (auto root = r.Roots.find(id); root != r.Roots.end() && root->second)
      return QAccessible::queryAccessibleInterface(root->second);
  if (!window) return nullptr;
  TRegistry::Key key{id, child};
  if (auto e = r.Elements.find(key); e != r.Elements.end()) {
    if (QAccessibleInterface* existing = QAccessible::accessibleInterface(e->second)) {
      if (indexHint >= 0)
        if (auto* el = dynamic_cast<TElement*>(existing)) el->IndexHint = indexHint;
      return existing;
    }
    r.Elements.erase(e);
  }
  auto* element = new TElement(TSource{acc, child}, window, parentHint);
  element->IndexHint = indexHint;
  QAccessible::Id newId = QAccessible::registerAccessibleInterface(element);
  r.Elements[key] = newId;
  auto& list = r.ByWindow[window];
  if (list.empty()) QObject::connect(window, &QObject::destroyed, [window] { Forget(window); });
  list.push_back(newId);
  return element;
}

QAccessibleInterface* Factory(const QString&, QObject* object) {
  if (!object || !object->isWidgetType()) return nullptr;
  HWND wnd = layer::HandleOf(object);
  if (!wnd) return nullptr;
  static bool asking = false;  // the window's answer may ask the toolkit again
  if (asking) return nullptr;
  asking = true;
  LRESULT answer = SendMessage(wnd, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
  asking = false;
  if (answer <= 0) return nullptr;
  ComPtr<IAccessible> acc;
  if (ObjectFromLresult(answer, IAccessible::Iid, 0, acc.GetVoidAddress()) != S_OK || !acc) return nullptr;
  auto* widget = static_cast<QWidget*>(object);
  IUnknown* id = Identity(acc.Get());
  Registry().Roots[id] = widget;
  QObject::connect(widget, &QObject::destroyed, [id] { Registry().Roots.erase(id); });
  return new TWindowRoot(TSource{acc, CHILDID_SELF}, widget);
}

QAccessible::Event EventOf(DWORD event) {
  switch (event) {
    case EVENT_OBJECT_CREATE: return QAccessible::ObjectCreated;
    case EVENT_OBJECT_DESTROY: return QAccessible::ObjectDestroyed;
    case EVENT_OBJECT_SHOW: return QAccessible::ObjectShow;
    case EVENT_OBJECT_HIDE: return QAccessible::ObjectHide;
    case EVENT_OBJECT_REORDER: return QAccessible::ObjectReorder;
    case EVENT_OBJECT_FOCUS: return QAccessible::Focus;
    case EVENT_OBJECT_SELECTION: return QAccessible::Selection;
    case EVENT_OBJECT_SELECTIONADD: return QAccessible::SelectionAdd;
    case EVENT_OBJECT_SELECTIONREMOVE: return QAccessible::SelectionRemove;
    case EVENT_OBJECT_SELECTIONWITHIN: return QAccessible::SelectionWithin;
    case EVENT_OBJECT_STATECHANGE: return QAccessible::StateChanged;
    case EVENT_OBJECT_LOCATIONCHANGE: return QAccessible::LocationChanged;
    case EVENT_OBJECT_NAMECHANGE: return QAccessible::NameChanged;
    default: return QAccessible::InvalidEvent;
  }
}

}  // namespace

// The toolkit forgets its factories with its application object, so each start of the layer
// installs the factory again (a second install of the same factory does nothing).
void InstallBridge() { QAccessible::installFactory(&Factory); }

const bool kBridgeInstalled = (layer::OnLayerStart(&InstallBridge), true);

namespace {
std::function<void(QAccessibleEvent*)>& Sink() {
  static std::function<void(QAccessibleEvent*)> sink;
  return sink;
}
void Deliver(QAccessibleEvent* e) {
  if (Sink()) Sink()(e);
  else QAccessible::updateAccessibility(e);
}
}  // namespace

namespace testing {
void SetToolkitEventSink(std::function<void(QAccessibleEvent*)> sink) { Sink() = std::move(sink); }
}  // namespace testing

void ForwardWinEvent(DWORD event, HWND wnd, LONG objectId, LONG childId) {
  if (!QAccessible::isActive() && !Sink()) return;
  QAccessible::Event type = EventOf(event);
  QWidget* widget = layer::WidgetOf(wnd);
  if (type == QAccessible::InvalidEvent || !widget) return;
  QAccessibleInterface* root = QAccessible::queryAccessibleInterface(widget);
  if (!root) return;
  QAccessibleInterface* target = root;
  if (objectId == OBJID_CLIENT && childId > 0) target = root->child(childId - 1);
  // The focus of the window's object is the element a reader announces.
  if (type == QAccessible::Focus && target == root)
    if (QAccessibleInterface* f = root->focusChild()) target = f;
  // A selection change of the object as a whole is a change within it.
  if (type == QAccessible::Selection && target == root) type = QAccessible::SelectionWithin;
  if (!target) return;
  if (type == QAccessible::StateChanged) {
    QAccessible::State changed;
    changed.checked = changed.expanded = changed.collapsed = changed.selected = changed.focused = true;
    QAccessibleStateChangeEvent e(target, changed);
    Deliver(&e);
    return;
  }
  QAccessibleEvent e(target, type);
  Deliver(&e);
}

}  // namespace pf::oleacc
