// The accessibility calls and their bridge to the toolkit, over a tree of fake objects served by a
// window's WM_GETOBJECT: the handshake's references, the standard object of a window that does not
// answer, the children helper, and the toolkit's view of the tree (names, roles, states,
// locations, children by enumeration or by child id, hit tests, focus, default actions, updates).

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QWidget>

#include <vector>

#include "platform/oleacc/Bridge_p.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"

namespace {

using namespace pf;

// An element of the fake tree: children that are objects of their own, or plain child ids.
class TNode final : public IAccessible, public IEnumVARIANT, public TComObjectBase {
public:
  String Name;
  LONG Role{ROLE_SYSTEM_LISTITEM};
  LONG State{0};
  TRect Rect;  // screen
  String Action;
  int ActionsDone{0};
  bool Connected{true};
  bool Enumerates{true};
  TNode* Parent{nullptr};
  std::vector<ComPtr<TNode>> Kids;
  std::vector<String> PlainNames;  // plain children, ids 1..n (when there are no object children)
  VARIANT Focus;
  static inline int Live = 0;

  TNode() { ++Live; }
  ~TNode() override { --Live; }

  TNode* Add(String name, LONG role, LONG state, TRect rect) {
    ComPtr<TNode> k(new TNode);
    k->Name = std::move(name);
    k->Role = role;
    k->State = state;
    k->Rect = rect;
    k->Parent = this;
    Kids.push_back(k);
    return k.Get();
  }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (iid == IUnknown::Iid || iid == IDispatch::Iid || iid == IAccessible::Iid) *out = static_cast<IAccessible*>(this);
    else if (iid == IEnumVARIANT::Iid && Enumerates) *out = static_cast<IEnumVARIANT*>(this);
    else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return DoAddRef(); }
  ULONG Release() override {
    ULONG n = DoRelease();
    if (n == 0) delete this;
    return n;
  }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, DWORD, void**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, const Char* const*, UINT, DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT Invoke(LONG, REFIID, DWORD, WORD, void*, VARIANT*, void*, UINT*) override { return E_NOTIMPL; }

  LONG Count() const { return static_cast<LONG>(Kids.empty() ? PlainNames.size() : Kids.size()); }
  // 0 for self, the plain child's id, or -1 when out of range.
  LONG Which(const VARIANT& c) const {
    if (c.vt() != VT_I4) return -1;
    if (c.lVal() == 0) return 0;
    return Kids.empty() && c.lVal() <= static_cast<LONG>(PlainNames.size()) ? c.lVal() : -1;
  }
  HRESULT Get_accParent(IDispatch** p) override {
    *p = Parent ? static_cast<IAccessible*>(Parent) : nullptr;
    if (*p) (*p)->AddRef();
    return Parent ? S_OK : S_FALSE;
  }
  HRESULT Get_accChildCount(LONG* n) override {
    *n = Connected ? Count() : 0;
    return S_OK;
  }
  HRESULT Get_accChild(const VARIANT&, IDispatch** out) override {
    *out = nullptr;
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT Get_accName(const VARIANT& c, String* s) override {
    LONG w = Which(c);
    if (!Connected || w < 0) return DISP_E_MEMBERNOTFOUND;
    *s = w == 0 ? Name : PlainNames[static_cast<size_t>(w - 1)];
    return S_OK;
  }
  HRESULT Get_accValue(const VARIANT&, String*) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT Get_accDescription(const VARIANT&, String*) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT Get_accRole(const VARIANT& c, VARIANT* r) override {
    LONG w = Which(c);
    if (!Connected || w < 0) return DISP_E_MEMBERNOTFOUND;
    *r = VARIANT::I4(w == 0 ? Role : ROLE_SYSTEM_LISTITEM);
    return S_OK;
  }
  HRESULT Get_accState(const VARIANT& c, VARIANT* r) override {
    LONG w = Which(c);
    if (!Connected || w < 0) return DISP_E_MEMBERNOTFOUND;
    *r = VARIANT::I4(w == 0 ? State : STATE_SYSTEM_SELECTABLE);
    return S_OK;
  }
  HRESULT Get_accHelp(const VARIANT&, String*) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT Get_accHelpTopic(String*, const VARIANT&, LONG*) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT Get_accKeyboardShortcut(const VARIANT&, String*) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT Get_accFocus(VARIANT* f) override {
    *f = Focus;
    return S_OK;
  }
  HRESULT Get_accSelection(VARIANT* s) override {
    s->Clear();
    return S_OK;
  }
  HRESULT Get_accDefaultAction(const VARIANT& c, String* s) override {
    if (Which(c) != 0 || Action.empty()) return DISP_E_MEMBERNOTFOUND;
    *s = Action;
    return S_OK;
  }
  HRESULT accSelect(LONG, const VARIANT&) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT accLocation(LONG* l, LONG* t, LONG* w, LONG* h, const VARIANT& c) override {
    if (!Connected || Which(c) != 0 || Rect.Width() == 0) return DISP_E_MEMBERNOTFOUND;
    *l = Rect.Left;
    *t = Rect.Top;
    *w = Rect.Width();
    *h = Rect.Height();
    return S_OK;
  }
  HRESULT accNavigate(LONG, const VARIANT&, VARIANT*) override { return E_NOTIMPL; }
  HRESULT accHitTest(LONG x, LONG y, VARIANT* hit) override {
    // Deepest object under the point.
    for (auto& k : Kids)
      if (x >= k->Rect.Left && x < k->Rect.Right && y >= k->Rect.Top && y < k->Rect.Bottom) {
        if (k->accHitTest(x, y, hit) == S_OK && hit->vt() == VT_DISPATCH) return S_OK;
        *hit = VARIANT::Dispatch(static_cast<IAccessible*>(k.Get()));
        return S_OK;
      }
    *hit = VARIANT::I4(CHILDID_SELF);
    return S_OK;
  }
  HRESULT accDoDefaultAction(const VARIANT& c) override {
    if (Which(c) != 0 || Action.empty()) return DISP_E_MEMBERNOTFOUND;
    ++ActionsDone;
    return S_OK;
  }
  HRESULT Set_accName(const VARIANT& c, const String& n) override {
    if (Which(c) != 0) return E_INVALIDARG;
    Name = n;
    return S_OK;
  }
  HRESULT Set_accValue(const VARIANT&, const String&) override { return E_NOTIMPL; }

  // The enumeration of the children.
  ULONG Pos{0};
  HRESULT Next(ULONG celt, VARIANT* out, ULONG* fetched) override {
    ULONG n = 0;
    while (n < celt && Pos < static_cast<ULONG>(Count())) {
      out[n++] = Kids.empty() ? VARIANT::I4(static_cast<LONG>(Pos) + 1)
                              : VARIANT::Dispatch(static_cast<IAccessible*>(Kids[Pos].Get()));
      ++Pos;
    }
    if (fetched) *fetched = n;
    return n == celt ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG celt) override {
    Pos = std::min<ULONG>(Pos + celt, static_cast<ULONG>(Count()));
    return S_OK;
  }
  HRESULT Reset() override {
    Pos = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumVARIANT** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
};

String Str(const QString& s) { return String(reinterpret_cast<const Char*>(s.utf16()), static_cast<size_t>(s.size())); }

struct Oleacc : ::testing::Test {
  HWND Top{nullptr};
  HWND List{nullptr};
  ComPtr<TNode> Root;
  int Asked{0};
  TPoint Origin;

  void SetUp() override {
    Root = ComPtr<TNode>(new TNode);
    Top = CreateWindowEx(0, u"OleaccTop", u"Top", WS_CAPTION | WS_VISIBLE, 40, 40, 400, 300, nullptr);
    List = CreateWindowEx(0, u"OleaccList", u"Photos", WS_CHILD | WS_VISIBLE, 10, 10, 300, 200, Top,
                          [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                            if (m == WM_GETOBJECT && static_cast<LONG>(l) == OBJID_CLIENT) {
                              ++Asked;
                              return LresultFromObject(IAccessible::Iid, w, static_cast<IAccessible*>(Root.Get()));
                            }
                            return DefWindowProc(h, m, w, l);
                          });
    guitest::PumpPending();
    Origin = {0, 0};
    ClientToScreen(List, &Origin);
    Root->Name = u"";
    Root->Role = ROLE_SYSTEM_LIST;
    Root->Rect = Screen({0, 0, 300, 200});
    TNode* g1 = Root->Add(u"Prints", ROLE_SYSTEM_GROUPING, STATE_SYSTEM_EXPANDED, Screen({0, 0, 300, 100}));
    g1->Add(u"beach.jpg", ROLE_SYSTEM_LISTITEM, STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_SELECTED, Screen({0, 20, 100, 100}));
    g1->Add(u"dog.jpg", ROLE_SYSTEM_LISTITEM, STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSED, Screen({100, 20, 200, 100}));
    TNode* g2 = Root->Add(u"Hidden", ROLE_SYSTEM_GROUPING, STATE_SYSTEM_COLLAPSED | STATE_SYSTEM_INVISIBLE, Screen({0, 100, 300, 120}));
    g2->Enumerates = false;
    g2->PlainNames = {u"a.png", u"b.png", u"c.png"};
    TNode* header = Root->Add(u"EmberHeader", ROLE_SYSTEM_ROWHEADER, 0, Screen({0, 180, 300, 200}));
    header->Action = u"Press";
  }
  void TearDown() override {
    if (IsWindow(Top)) DestroyWindow(Top);
    guitest::PumpPending();
    oleacc::testing::SetWinEventRecorder(nullptr);
  }
  TRect Screen(TRect r) const { return {r.Left + Origin.X, r.Top + Origin.Y, r.Right + Origin.X, r.Bottom + Origin.Y}; }
  QAccessibleInterface* RootIface() { return QAccessible::queryAccessibleInterface(layer::WidgetOf(List)); }
};

TEST_F(Oleacc, TheHandshakeHandsOneReferenceRedeemedOnce) {
  const ULONG before = (Root->AddRef(), Root->Release());
  LRESULT r = LresultFromObject(IAccessible::Iid, 0, static_cast<IAccessible*>(Root.Get()));
  ASSERT_GT(r, 0);
  EXPECT_EQ(oleacc::testing::PendingObjectResults(), 1u);
  IAccessible* got = nullptr;
  EXPECT_EQ(ObjectFromLresult(r, IAccessible::Iid, 0, reinterpret_cast<void**>(&got)), S_OK);
  EXPECT_EQ(got, static_cast<IAccessible*>(Root.Get()));
  got->Release();
  IAccessible* again = nullptr;
  EXPECT_EQ(ObjectFromLresult(r, IAccessible::Iid, 0, reinterpret_cast<void**>(&again)), E_INVALIDARG);
  EXPECT_EQ(again, nullptr);
  EXPECT_EQ(oleacc::testing::PendingObjectResults(), 0u);
  EXPECT_EQ((Root->AddRef(), Root->Release()), before) << "no reference left behind";
  EXPECT_EQ(LresultFromObject(IAccessible::Iid, 0, nullptr), 0);
  const IID unknownIid{0x12345678, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_LT(LresultFromObject(unknownIid, 0, static_cast<IAccessible*>(Root.Get())), 0);
}

TEST_F(Oleacc, AWindowThatDoesNotAnswerGetsTheStandardObject) {
  ComPtr<IAccessible> own, std;
  ASSERT_EQ(AccessibleObjectFromWindow(List, OBJID_CLIENT, IAccessible::Iid, own.GetVoidAddress()), S_OK);
  EXPECT_EQ(own.Get(), static_cast<IAccessible*>(Root.Get()));
  ASSERT_EQ(AccessibleObjectFromWindow(Top, OBJID_CLIENT, IAccessible::Iid, std.GetVoidAddress()), S_OK);
  String name;
  VARIANT role;
  EXPECT_EQ(std->Get_accName(VARIANT::I4(CHILDID_SELF), &name), S_OK);
  EXPECT_EQ(name, u"Top");
  EXPECT_EQ(std->Get_accRole(VARIANT::I4(CHILDID_SELF), &role), S_OK);
  EXPECT_EQ(role.lVal(), ROLE_SYSTEM_CLIENT);
  EXPECT_EQ(std->Get_accRole(VARIANT::I4(5), &role), E_INVALIDARG);
  LONG l, t, w, h;
  ASSERT_EQ(std->accLocation(&l, &t, &w, &h, VARIANT::I4(CHILDID_SELF)), S_OK);
  TPoint o{0, 0};
  ClientToScreen(Top, &o);
  TRect c;
  GetClientRect(Top, &c);
  EXPECT_EQ((TRect{l, t, l + w, t + h}), (TRect{o.X, o.Y, o.X + c.Right, o.Y + c.Bottom}));
  // Its parent is the window's own object.
  IDispatch* parent = nullptr;
  EXPECT_EQ(std->Get_accParent(&parent), S_OK);
  ComPtr<IAccessible> up = ComPtr<IAccessible>();
  ASSERT_NE(parent, nullptr);
  parent->QueryInterface(IAccessible::Iid, up.GetVoidAddress());
  parent->Release();
  EXPECT_EQ(up->Get_accRole(VARIANT::I4(CHILDID_SELF), &role), S_OK);
  EXPECT_EQ(role.lVal(), ROLE_SYSTEM_WINDOW);
}

TEST_F(Oleacc, ChildrenComeFromTheEnumerationOrAsChildIds) {
  struct Case {
    TNode* node;
    LONG start, count;
    HRESULT hr;
    std::vector<String> names;
  } cases[] = {
      {Root.Get(), 0, 3, S_OK, {u"Prints", u"Hidden", u"EmberHeader"}},
      {Root.Get(), 1, 5, S_FALSE, {u"Hidden", u"EmberHeader"}},  // more asked than remain
      {Root.Get(), 3, 1, S_FALSE, {}},
      {Root->Kids[1].Get(), 1, 2, S_OK, {u"b.png", u"c.png"}},  // no enumerator: child ids
  };
  for (const Case& c : cases) {
    std::vector<VARIANT> got(static_cast<size_t>(c.count));
    LONG n = -1;
    EXPECT_EQ(AccessibleChildren(c.node, c.start, c.count, got.data(), &n), c.hr) << c.start;
    ASSERT_EQ(n, static_cast<LONG>(c.names.size()));
    for (LONG i = 0; i < n; ++i) {
      String name;
      const VARIANT& v = got[static_cast<size_t>(i)];
      if (v.vt() == VT_DISPATCH) {
        ComPtr<IAccessible> a;
        v.pdispVal()->QueryInterface(IAccessible::Iid, a.GetVoidAddress());
        a->Get_accName(VARIANT::I4(CHILDID_SELF), &name);
      } else {
        EXPECT_EQ(v.vt(), VT_I4);
        c.node->Get_accName(v, &name);
      }
      EXPECT_EQ(name, c.names[static_cast<size_t>(i)]);
    }
  }
}

TEST_F(Oleacc, TheToolkitSeesTheTree) {
  QAccessibleInterface* list = RootIface();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->role(), QAccessible::List);
  ASSERT_EQ(list->childCount(), 3);
  struct Expect {
    std::vector<int> path;
    const char16_t* name;
    QAccessible::Role role;
    int children;
    bool selected, focused, invisible, expanded, collapsed;
  } expects[] = {
      {{0}, u"Prints", QAccessible::Grouping, 2, false, false, false, true, false},
      {{0, 0}, u"beach.jpg", QAccessible::ListItem, 0, true, false, false, false, false},
      {{0, 1}, u"dog.jpg", QAccessible::ListItem, 0, false, true, false, false, false},
      {{1}, u"Hidden", QAccessible::Grouping, 3, false, false, true, false, true},
      {{1, 2}, u"c.png", QAccessible::ListItem, 0, false, false, false, false, false},
      {{2}, u"EmberHeader", QAccessible::RowHeader, 0, false, false, false, false, false},
  };
  for (const Expect& e : expects) {
    QAccessibleInterface* i = list;
    for (int k : e.path) i = i ? i->child(k) : nullptr;
    ASSERT_NE(i, nullptr) << Str(QString::fromUtf16(e.name)).size();
    const QString name = QString::fromUtf16(e.name);
    EXPECT_EQ(i->text(QAccessible::Name), name);
    EXPECT_EQ(i->role(), e.role) << name.toStdString();
    EXPECT_EQ(i->childCount(), e.children) << name.toStdString();
    QAccessible::State s = i->state();
    EXPECT_EQ(bool(s.selected), e.selected) << name.toStdString();
    EXPECT_EQ(bool(s.focused), e.focused) << name.toStdString();
    EXPECT_EQ(bool(s.invisible), e.invisible) << name.toStdString();
    EXPECT_EQ(bool(s.expanded), e.expanded) << name.toStdString();
    EXPECT_EQ(bool(s.collapsed), e.collapsed) << name.toStdString();
    // The way back up and the index agree with the way down.
    QAccessibleInterface* parent = i->parent();
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(parent->indexOfChild(i), e.path.back()) << name.toStdString();
    EXPECT_EQ(parent->child(e.path.back()), i) << "one interface per element";
    EXPECT_TRUE(i->isValid());
  }
  // Locations are the objects' screen rectangles.
  QAccessibleInterface* dog = list->child(0)->child(1);
  EXPECT_EQ(dog->rect(), QRect(Origin.X + 100, Origin.Y + 20, 100, 80));
  // A hit inside an item of a group answers the group at the top, the item below it.
  QAccessibleInterface* atTop = list->childAt(Origin.X + 150, Origin.Y + 50);
  EXPECT_EQ(atTop, list->child(0));
  EXPECT_EQ(atTop->childAt(Origin.X + 150, Origin.Y + 50), dog);
  EXPECT_EQ(list->childAt(Origin.X + 5, Origin.Y + 150), nullptr) << "the list itself, no child";
  // Focus names the element the object says has it.
  Root->Focus = VARIANT::Dispatch(static_cast<IAccessible*>(Root->Kids[0]->Kids[1].Get()));
  EXPECT_EQ(list->focusChild(), dog);
  Root->Focus = VARIANT::I4(CHILDID_SELF);
  EXPECT_EQ(list->focusChild(), nullptr);
  // Names are written through; the default action runs the object's.
  dog->setText(QAccessible::Name, QStringLiteral("puppy.jpg"));
  EXPECT_EQ(Root->Kids[0]->Kids[1]->Name, u"puppy.jpg");
  // A name reaches the desktop unit for unit: a leading U+FEFF or U+FFFE is no byte-order mark.
  for (const char16_t* n : {u"\uFEFFpuppy.jpg", u"\uFFFEpuppy.jpg"}) {
    Root->Kids[0]->Kids[1]->Name = n;
    EXPECT_EQ(dog->text(QAccessible::Name), QChar(n[0]) + QStringLiteral("puppy.jpg"));
  }
  auto* action = list->child(2)->actionInterface();
  ASSERT_NE(action, nullptr);
  EXPECT_EQ(action->actionNames(), QStringList{QStringLiteral("Press")});
  action->doAction(QStringLiteral("Press"));
  action->doAction(QStringLiteral("Other"));
  EXPECT_EQ(Root->Kids[2]->ActionsDone, 1);
  EXPECT_TRUE(dog->actionInterface()->actionNames().isEmpty());
}

TEST_F(Oleacc, ElementsGoWithTheirObjectAndTheirWindow) {
  QAccessibleInterface* list = RootIface();
  QAccessibleInterface* beach = list->child(0)->child(0);
  QAccessible::Id beachId = QAccessible::uniqueId(beach);
  Root->Kids[0]->Kids[0]->Connected = false;  // the element behind it was freed
  EXPECT_FALSE(beach->isValid());
  EXPECT_TRUE(beach->text(QAccessible::Name).isEmpty());
  Root->Kids[0]->Kids[0]->Connected = true;
  DestroyWindow(Top);
  guitest::PumpPending();
  EXPECT_EQ(QAccessible::accessibleInterface(beachId), nullptr);
  Root = nullptr;
  EXPECT_EQ(TNode::Live, 0) << "the interfaces held no reference after the window went";
}

TEST_F(Oleacc, WinEventsReachTheRecorderAndTheToolkit) {
  std::vector<std::pair<DWORD, LONG>> recorded;
  oleacc::testing::SetWinEventRecorder([&](DWORD e, HWND h, LONG obj, LONG) {
    if (h == List) recorded.push_back({e, obj});
  });
  std::vector<std::pair<QAccessible::Event, QString>> seen;
  oleacc::testing::SetToolkitEventSink([&](QAccessibleEvent* e) {
    QAccessibleInterface* i = e->accessibleInterface();
    seen.push_back({e->type(), i ? i->text(QAccessible::Name) : QString()});
  });
  Root->Focus = VARIANT::Dispatch(static_cast<IAccessible*>(Root->Kids[0]->Kids[1].Get()));
  NotifyWinEvent(EVENT_OBJECT_FOCUS, List, OBJID_CLIENT, CHILDID_SELF);
  NotifyWinEvent(EVENT_OBJECT_SELECTION, List, OBJID_CLIENT, CHILDID_SELF);
  NotifyWinEvent(EVENT_OBJECT_SELECTIONWITHIN, List, OBJID_CLIENT, CHILDID_SELF);
  NotifyWinEvent(EVENT_OBJECT_STATECHANGE, List, OBJID_CLIENT, 2);
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, List, OBJID_CLIENT, CHILDID_SELF);
  oleacc::testing::SetToolkitEventSink(nullptr);
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, List, OBJID_CLIENT, CHILDID_SELF);  // recorded; no bridge listens
  EXPECT_EQ(recorded.size(), 6u);
  EXPECT_EQ(recorded.front(), (std::pair<DWORD, LONG>{EVENT_OBJECT_FOCUS, OBJID_CLIENT}));
  const std::vector<std::pair<QAccessible::Event, QString>> want{
      {QAccessible::Focus, QStringLiteral("dog.jpg")},
      {QAccessible::SelectionWithin, QString()},
      {QAccessible::SelectionWithin, QString()},
      {QAccessible::StateChanged, QStringLiteral("Hidden")},
      {QAccessible::NameChanged, QString()},
  };
  EXPECT_EQ(seen, want);
}

}  // namespace
