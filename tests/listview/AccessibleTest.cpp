// The list view's accessibility objects: the tree of groups, items, header and columns with their
// names, roles and states; child ids checked; enumeration and the selection list at their ends;
// objects that outlive their elements; the WM_GETOBJECT handshake and the tree as the toolkit
// presents it.

#include <QAccessible>
#include <QAccessibleInterface>

#include "ListviewTestUtil.h"
#include "listview/EmberAccessible.h"
#include "platform/user/Window_p.h"

namespace lvtest {
namespace {

VARIANT Id(LONG i) { return VARIANT::I4(i); }

class AccessibleTest : public ListviewTest {
protected:
  TEmberGroup* Prints{nullptr};
  TEmberGroup* Hidden{nullptr};
  ComPtr<IAccessible> Root;

  void SetUp() override {
    ListviewTest::SetUp();
    MakeList();
    Prints = LV->GetGroups()->Add();
    Prints->SetCaption(u"Prints");
    for (const char16_t* c : {u"beach", u"dog", u"cat"}) Prints->GetItems()->Add()->SetCaption(c);
    Hidden = LV->GetGroups()->Add();
    Hidden->SetCaption(u"Later");
    Hidden->GetItems()->Add()->SetCaption(u"tree");
    Hidden->SetExpanded(false);
    for (const char16_t* c : {u"Name", u"Size"}) LV->GetHeader()->GetColumns()->Add()->SetCaption(c);
    ASSERT_EQ(AccessibleObjectFromWindow(LV->Handle(), static_cast<DWORD>(OBJID_CLIENT), IAccessible::Iid, Root.GetVoidAddress()), S_OK);
  }
  void TearDown() override {
    Root = nullptr;
    ListviewTest::TearDown();
  }
  static ComPtr<IAccessible> Of(TEmberCollectionItem* e) { return AccessibleOf(e->GetAccessible()); }
  static String NameOf(IAccessible* a, LONG child = 0) {
    String s;
    EXPECT_EQ(a->Get_accName(Id(child), &s), S_OK);
    return s;
  }
  static LONG Int(IAccessible* a, LONG child, bool role) {
    VARIANT v;
    EXPECT_EQ(role ? a->Get_accRole(Id(child), &v) : a->Get_accState(Id(child), &v), S_OK);
    return v.lVal();
  }
};

TEST_F(AccessibleTest, TheTreeNamesRolesAndStates) {
  ComPtr<IAccessible> header = AccessibleOf(LV->GetHeader()->GetAccessible());
  ASSERT_TRUE(header);
  Prints->GetItem(1)->SetSelected(true);
  Prints->GetItem(2)->SetFocused(true);
  LONG n = 0;
  Root->Get_accChildCount(&n);
  EXPECT_EQ(n, 3) << "two groups and the header";
  const LONG selectable = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_MULTISELECTABLE;
  struct Row {
    IAccessible* object;
    LONG child;
    const char16_t* name;
    LONG role, state;
  } rows[] = {
      {Root.Get(), 0, u"", ROLE_SYSTEM_LIST, 0},
      {Root.Get(), 1, u"Prints", ROLE_SYSTEM_GROUPING, STATE_SYSTEM_EXPANDED},
      {Root.Get(), 2, u"Later", ROLE_SYSTEM_GROUPING, STATE_SYSTEM_COLLAPSED},
      {Root.Get(), 3, u"EmberHeader", ROLE_SYSTEM_ROWHEADER, STATE_SYSTEM_INVISIBLE},  // not shown in this view
      {Of(Prints).Get(), 2, u"dog", ROLE_SYSTEM_LISTITEM, selectable | STATE_SYSTEM_SELECTED},
      {Of(Prints->GetItem(2)).Get(), 0, u"cat", ROLE_SYSTEM_LISTITEM, selectable | STATE_SYSTEM_FOCUSED},
      {Of(Hidden->GetItem(0)).Get(), 0, u"tree", ROLE_SYSTEM_LISTITEM, selectable | STATE_SYSTEM_INVISIBLE},
      {header.Get(), 2, u"Size", ROLE_SYSTEM_COLUMN, STATE_SYSTEM_READONLY},
      {Of(LV->GetHeader()->GetColumns()->GetColumn(0)).Get(), 0, u"Name", ROLE_SYSTEM_COLUMN, STATE_SYSTEM_READONLY},
  };
  for (const Row& r : rows) {
    ASSERT_NE(r.object, nullptr);
    EXPECT_EQ(NameOf(r.object, r.child), r.name);
    EXPECT_EQ(Int(r.object, r.child, true), r.role) << String(r.name).size();
    EXPECT_EQ(Int(r.object, r.child, false), r.state) << String(r.name).size();
  }
  // Parents lead back up the tree.
  IDispatch* up = nullptr;
  ASSERT_EQ(Of(Prints->GetItem(0))->Get_accParent(&up), S_OK);
  EXPECT_EQ(AccessibleOf(up).Get(), Of(Prints).Get());
  up->Release();
  ASSERT_EQ(Of(Prints)->Get_accParent(&up), S_OK);
  EXPECT_EQ(AccessibleOf(up).Get(), Root.Get());
  up->Release();
  // Items and groups made later get their objects at once.
  TEmberItem* late = Prints->GetItems()->Add();
  late->SetCaption(u"late");
  EXPECT_EQ(NameOf(Of(late).Get()), u"late");
}

TEST_F(AccessibleTest, ChildIdsFromAClientAreChecked) {
  String s;
  VARIANT v;
  LONG l, t, w, h;
  // An argument that is no integer is no child id at all; ids that name nothing are answered in
  // EveryClassAnswersEveryChildId.
  for (const VARIANT& bad : {VARIANT(), VARIANT::Dispatch(Root.Get())}) {
    EXPECT_EQ(Root->Get_accName(bad, &s), E_INVALIDARG);
    EXPECT_EQ(Root->Get_accRole(bad, &v), E_INVALIDARG);
    EXPECT_EQ(Root->Get_accState(bad, &v), E_INVALIDARG);
    EXPECT_EQ(Root->accLocation(&l, &t, &w, &h, bad), E_INVALIDARG);
  }
  EXPECT_EQ(Of(Prints)->Get_accName(Id(4), &s), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Of(Prints->GetItem(0))->Get_accName(Id(1), &s), S_OK);
  EXPECT_EQ(Of(LV->GetHeader()->GetColumns()->GetColumn(0))->Get_accName(Id(1), &s), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Root->Get_accValue(Id(1), &s), DISP_E_MEMBERNOTFOUND);
}

TEST_F(AccessibleTest, EveryClassAnswersEveryChildId) {
  LV->GetGroups()->Rebuild(true);
  // Each probe fills its result with something first and says whether the call left it empty.
  using Probe = std::function<HRESULT(IAccessible*, const VARIANT&, bool&)>;
  auto text = [](HRESULT (IAccessible::*get)(const VARIANT&, String*)) -> Probe {
    return [get](IAccessible* a, const VARIANT& id, bool& empty) {
      String s = u"x";
      HRESULT hr = (a->*get)(id, &s);
      empty = s.empty();
      return hr;
    };
  };
  auto number = [](HRESULT (IAccessible::*get)(const VARIANT&, VARIANT*)) -> Probe {
    return [get](IAccessible* a, const VARIANT& id, bool& empty) {
      VARIANT v = VARIANT::I4(99);
      HRESULT hr = (a->*get)(id, &v);
      empty = v.vt() == VT_EMPTY;
      return hr;
    };
  };
  auto action = [](std::function<HRESULT(IAccessible*, const VARIANT&)> call) -> Probe {
    return [call](IAccessible* a, const VARIANT& id, bool& empty) {
      empty = true;
      return call(a, id);
    };
  };
  // One letter per class (list view, group, item, header, column): S the answer with a value, E S_OK
  // with an empty answer, N DISP_E_MEMBERNOTFOUND with an empty answer, I E_NOTIMPL, F S_FALSE, - not
  // probed here. "child" is a child the object has; "other" an id naming nothing of it (for items
  // and columns, which have no children, every id but the object's own).
  struct Row {
    const char* method;
    Probe probe;
    const char *self, *child, *other;
  };
  const Row rows[] = {
      {"Get_accName", text(&IAccessible::Get_accName), "ESSSS", "SS-S-", "NNENN"},
      {"Get_accRole", number(&IAccessible::Get_accRole), "SSSSS", "SS-S-", "NNENE"},
      {"Get_accState", number(&IAccessible::Get_accState), "SSSSS", "SS-S-", "NNENE"},
      {"Get_accValue", text(&IAccessible::Get_accValue), "NNNNN", "NN-N-", "NNNNN"},
      {"Get_accDescription", text(&IAccessible::Get_accDescription), "NNNNN", "NN-N-", "NNNNN"},
      {"Get_accHelp", text(&IAccessible::Get_accHelp), "NNNNN", "NN-N-", "NNNNN"},
      {"Get_accKeyboardShortcut", text(&IAccessible::Get_accKeyboardShortcut), "NNNNN", "NN-N-", "NNNNN"},
      {"Get_accDefaultAction", text(&IAccessible::Get_accDefaultAction), "NNNNN", "NN-N-", "NNNNN"},
      {"Get_accHelpTopic",
       [](IAccessible* a, const VARIANT& id, bool& empty) {
         String file = u"x";
         LONG topic = 7;
         HRESULT hr = a->Get_accHelpTopic(&file, id, &topic);
         empty = file.empty() && topic == 0;
         return hr;
       },
       "NNNNN", "NN-N-", "NNNNN"},
      {"accSelect", action([](IAccessible* a, const VARIANT& id) { return a->accSelect(/*take focus*/ 1, id); }),
       "NNNNN", "NN-N-", "NNNNN"},
      {"accDoDefaultAction", action([](IAccessible* a, const VARIANT& id) { return a->accDoDefaultAction(id); }),
       "NNNNN", "NN-N-", "NNNNN"},
      // The header does not show in this view: it has no rectangle, nor have its columns.
      {"accLocation",
       [](IAccessible* a, const VARIANT& id, bool& empty) {
         LONG l = 1, t = 1, w = 1, h = 1;
         HRESULT hr = a->accLocation(&l, &t, &w, &h, id);
         empty = l == 0 && t == 0 && w == 0 && h == 0;
         return hr;
       },
       "SSSNN", "-S-N-", "NNNNN"},
      {"Set_accName", action([](IAccessible* a, const VARIANT& id) { return a->Set_accName(id, u"renamed"); }),
       "IIFII", "II-I-", "IINII"},
      {"Set_accValue", action([](IAccessible* a, const VARIANT& id) { return a->Set_accValue(id, u"v"); }), "IIIII",
       "II-I-", "IIIII"},
      {"Get_accChild",
       [this](IAccessible* a, const VARIANT& id, bool& empty) {
         IDispatch* d = Root.Get();
         HRESULT hr = a->Get_accChild(id, &d);
         empty = d == nullptr;
         return hr;
       },
       "NNNNN", "NN-N-", "NNNNN"},
      {"accNavigate",
       [](IAccessible* a, const VARIANT& id, bool& empty) {
         VARIANT v = VARIANT::I4(99);
         HRESULT hr = a->accNavigate(/*next*/ 5, id, &v);
         empty = v.vt() == VT_EMPTY;
         return hr;
       },
       "IIIII", "II-I-", "IIIII"},
  };
  ComPtr<IAccessible> header = AccessibleOf(LV->GetHeader()->GetAccessible());
  const ComPtr<IAccessible> objects[] = {Root, Of(Prints), Of(Prints->GetItem(1)), header,
                                         Of(LV->GetHeader()->GetColumns()->GetColumn(0))};
  const LONG children[] = {3, 3, 0, 2, 0};
  for (const Row& row : rows) {
    for (int k = 0; k < 5; ++k) {
      ASSERT_TRUE(objects[k]);
      const LONG n = children[k];
      std::vector<std::pair<LONG, char>> ids{{0, row.self[k]}, {n + 1, row.other[k]}, {-1, row.other[k]},
                                             {1000, row.other[k]}, {LONG(0x7FFFFFFF), row.other[k]}};
      if (n > 0) ids.insert(ids.end(), {{1, row.child[k]}, {n, row.child[k]}});
      for (auto [id, want] : ids) {
        if (want == '-') continue;
        SCOPED_TRACE(::testing::Message() << row.method << ", class " << k << ", child " << id);
        bool empty = false;
        const HRESULT hr = row.probe(objects[k].Get(), Id(id), empty);
        switch (want) {
          case 'S': EXPECT_EQ(hr, S_OK); EXPECT_FALSE(empty); break;
          case 'E': EXPECT_EQ(hr, S_OK); EXPECT_TRUE(empty); break;
          case 'N': EXPECT_EQ(hr, DISP_E_MEMBERNOTFOUND); EXPECT_TRUE(empty); break;
          case 'I': EXPECT_EQ(hr, E_NOTIMPL); EXPECT_TRUE(empty); break;
          case 'F': EXPECT_EQ(hr, S_FALSE); EXPECT_TRUE(empty); break;
          default: ADD_FAILURE() << want;
        }
      }
    }
  }
  EXPECT_EQ(Prints->GetItem(1)->GetCaption(), u"dog") << "editing is off";
}

TEST_F(AccessibleTest, EnumerationsStopAtTheirEnds) {
  ComPtr<IEnumVARIANT> list;
  ASSERT_EQ(Root->QueryInterface(IEnumVARIANT::Iid, list.GetVoidAddress()), S_OK);
  VARIANT got[5];
  ULONG n = 0;
  EXPECT_EQ(list->Next(2, got, &n), S_OK);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(list->Next(5, got, &n), S_FALSE) << "more asked than remain";
  ASSERT_EQ(n, 1u);
  EXPECT_EQ(NameOf(AccessibleOf(got[0].pdispVal()).Get()), u"EmberHeader");
  list->Reset();
  EXPECT_EQ(list->Skip(9), S_FALSE);
  EXPECT_EQ(list->Next(1, got, &n), S_FALSE);
  EXPECT_EQ(n, 0u);
  IEnumVARIANT* clone = nullptr;
  EXPECT_EQ(list->Clone(&clone), E_NOTIMPL);
  ComPtr<IEnumVARIANT> leaf;
  Of(Prints->GetItem(0))->QueryInterface(IEnumVARIANT::Iid, leaf.GetVoidAddress());
  EXPECT_EQ(leaf->Next(1, got, &n), S_FALSE);
  EXPECT_EQ(leaf->Clone(&clone), S_FALSE);

  // The selection: empty, then the selected items in order; its Skip never passes the end.
  VARIANT sel;
  EXPECT_EQ(Root->Get_accSelection(&sel), S_OK);
  EXPECT_EQ(sel.vt(), VT_EMPTY);
  LV->GetSelection()->SetMultiSelect(true);
  Prints->GetItem(0)->SetSelected(true);
  Prints->GetItem(2)->SetSelected(true);
  ASSERT_EQ(Of(Prints)->Get_accSelection(&sel), S_OK);
  ASSERT_EQ(sel.vt(), VT_UNKNOWN);
  ComPtr<IEnumVARIANT> chosen;
  sel.punkVal()->QueryInterface(IEnumVARIANT::Iid, chosen.GetVoidAddress());
  EXPECT_EQ(chosen->Next(3, got, &n), S_FALSE);
  ASSERT_EQ(n, 2u);
  EXPECT_EQ(NameOf(AccessibleOf(got[1].pdispVal()).Get()), u"cat");
  EXPECT_EQ(chosen->Skip(5), S_FALSE);
  EXPECT_EQ(chosen->Next(1, got, &n), S_FALSE);
  EXPECT_EQ(n, 0u);
  ASSERT_EQ(chosen->Clone(&clone), S_OK);
  EXPECT_EQ(clone->Next(1, got, &n), S_OK) << "a clone starts at the beginning";
  clone->Release();
  // The header offers neither focus nor selection.
  EXPECT_EQ(AccessibleOf(LV->GetHeader()->GetAccessible())->Get_accSelection(&sel), DISP_E_MEMBERNOTFOUND);
}

TEST_F(AccessibleTest, FocusAndNames) {
  VARIANT f;
  ASSERT_EQ(Root->Get_accFocus(&f), S_OK);
  EXPECT_EQ(f.vt(), VT_I4);
  Prints->GetItem(1)->SetFocused(true);
  ASSERT_EQ(Root->Get_accFocus(&f), S_OK);
  EXPECT_EQ(AccessibleOf(f.pdispVal()).Get(), Of(Prints->GetItem(1)).Get());
  ComPtr<IAccessible> dog = Of(Prints->GetItem(1));
  EXPECT_EQ(dog->Set_accName(Id(0), u"puppy"), S_FALSE) << "editing is off";
  LV->GetEditManager()->SetEnabled(true);
  EXPECT_EQ(dog->Set_accName(Id(0), u"puppy"), S_OK);
  EXPECT_EQ(Prints->GetItem(1)->GetCaption(), u"puppy");
  EXPECT_EQ(Root->Set_accName(Id(0), u"x"), E_NOTIMPL);
}

TEST_F(AccessibleTest, ObjectsOutlivingTheirElementsAnswerNotFound) {
  ComPtr<IAccessible> dog = Of(Prints->GetItem(1));
  ComPtr<IAccessible> column = Of(LV->GetHeader()->GetColumns()->GetColumn(0));
  Prints->GetItems()->Delete(1);
  LV->GetHeader()->GetColumns()->Delete(0);
  String s;
  VARIANT v;
  LONG n = 5, l, t, w, h;
  IDispatch* up = nullptr;
  for (IAccessible* gone : {dog.Get(), column.Get()}) {
    EXPECT_EQ(gone->Get_accName(Id(0), &s), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(gone->Get_accRole(Id(0), &v), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(gone->Get_accState(Id(0), &v), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(gone->accLocation(&l, &t, &w, &h, Id(0)), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(gone->accHitTest(0, 0, &v), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(gone->Get_accParent(&up), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(gone->Get_accChildCount(&n), S_OK);
    EXPECT_EQ(n, 0);
  }
  // A window made again releases the whole tree, header and columns included.
  ComPtr<IAccessible> header = AccessibleOf(LV->GetHeader()->GetAccessible());
  ComPtr<IAccessible> size = Of(LV->GetHeader()->GetColumns()->GetColumn(0));
  LV->RecreateWnd();
  LV->HandleNeeded();
  EXPECT_EQ(header->accHitTest(0, 0, &v), S_FALSE);
  EXPECT_EQ(size->Get_accName(Id(0), &s), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Root->Get_accName(Id(0), &s), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(LV->GetAccessible(), nullptr);
  // The next request builds a new tree; a second one reuses it.
  ComPtr<IAccessible> again, third;
  AccessibleObjectFromWindow(LV->Handle(), static_cast<DWORD>(OBJID_CLIENT), IAccessible::Iid, again.GetVoidAddress());
  AccessibleObjectFromWindow(LV->Handle(), static_cast<DWORD>(OBJID_CLIENT), IAccessible::Iid, third.GetVoidAddress());
  EXPECT_NE(again.Get(), Root.Get());
  EXPECT_EQ(again.Get(), third.Get());
  EXPECT_EQ(oleacc::testing::PendingObjectResults(), 0u);
}

TEST_F(AccessibleTest, ElementsGetTheirObjectsOnlyWhileTheControlHasItsTree) {
  // Groups a regroup makes answer with their own object, the same one every time.
  LV->GetSort()->SetAutoRegroup(true);
  ASSERT_EQ(LV->GetGroups()->GetCount(), 4) << "b, c, d and t";
  TEmberGroup* b = LV->GetGroups()->GetGroup(0);
  ComPtr<IAccessible> group = Of(b);
  ASSERT_TRUE(group);
  EXPECT_EQ(Of(b).Get(), group.Get());
  EXPECT_EQ(NameOf(group.Get()), u"B");
  EXPECT_EQ(Int(group.Get(), 0, true), ROLE_SYSTEM_GROUPING);
  EXPECT_EQ(NameOf(Of(b->GetItem(0)).Get()), u"beach");
  IDispatch* up = nullptr;
  ASSERT_EQ(Of(b->GetItem(0))->Get_accParent(&up), S_OK);
  EXPECT_EQ(AccessibleOf(up).Get(), group.Get());
  up->Release();

  // Once the window is made again the tree is gone: an element nobody asked for yet has no object
  // then, and neither has one made before the next request.
  TEmberGroup* d = LV->GetGroups()->GetGroup(2);
  LV->RecreateWnd();
  LV->HandleNeeded();
  EXPECT_EQ(d->GetAccessible(), nullptr);
  EXPECT_EQ(d->GetItem(0)->GetAccessible(), nullptr);
  TEmberItem* late = d->GetItems()->Add();
  late->SetCaption(u"duck");
  EXPECT_EQ(late->GetAccessible(), nullptr);
  String s;
  EXPECT_EQ(group->Get_accName(Id(0), &s), DISP_E_MEMBERNOTFOUND);

  // The next request gives every element an object again.
  ComPtr<IAccessible> again;
  ASSERT_EQ(AccessibleObjectFromWindow(LV->Handle(), static_cast<DWORD>(OBJID_CLIENT), IAccessible::Iid, again.GetVoidAddress()), S_OK);
  EXPECT_EQ(NameOf(again.Get(), 3), u"D");
  ASSERT_TRUE(Of(late));
  EXPECT_EQ(NameOf(Of(late).Get()), u"duck");
  EXPECT_EQ(NameOf(Of(d).Get(), 2), u"duck");
}

TEST_F(AccessibleTest, WrongElementsFailTheirAssertion) {
  struct Case {
    std::function<void()> make;
    const char16_t* text;
  } cases[] = {
      {[&] { TEmberAccessibleManager::Make<TEmberGroupAccessibleManager>(LV); }, u"TEmberGroupAccessibleManager.Create not a TEmberGroup type"},
      {[&] { TEmberAccessibleManager::Make<TEmberAccessibleManager>(Prints); }, u"TEmberAccessibleManager.Create not a TCustomEmberListview type"},
      {[&] { TEmberAccessibleManager::Make<TEmberColumnAccessibleManager>(Prints->GetItem(0)); }, u"TEmberColumnAccessibleManager.Create not a TEmberColumn type"},
  };
  for (const Case& c : cases) {
    try {
      c.make();
      ADD_FAILURE() << "no assertion";
    } catch (const EAssertionFailed& e) {
      EXPECT_EQ(e.Message().substr(0, String(c.text).size()), c.text);
    }
  }
}

TEST_F(AccessibleTest, HitTestsFindHeaderItemsGroupsAndNothingOutside) {
  LV->GetHeader()->SetShowInAllViews(true);
  LV->GetHeader()->SetVisible(true);
  LV->GetGroups()->Rebuild(true);
  TPoint origin{0, 0};
  ClientToScreen(LV->Handle(), &origin);
  auto hit = [&](IAccessible* a, TPoint client, VARIANT& v) { return a->accHitTest(origin.X + client.X, origin.Y + client.Y, &v); };
  TEmberItem* beach = Prints->GetItem(0);
  TRect cell = LV->GetScrollbars()->MapViewRectToWindowRect(beach->GetDisplayRect());
  // In the icon view a click hits the picture or the caption; these items have only captions.
  const TRect text = LV->GetScrollbars()->MapViewRectToWindowRect(
      beach->GetView()->ItemRect(beach, nullptr, TEmberCellRectType::ertText));
  VARIANT v;
  ASSERT_EQ(hit(Root.Get(), {text.Left + text.Width() / 2, text.Top + text.Height() / 2}, v), S_OK);
  EXPECT_EQ(AccessibleOf(v.pdispVal()).Get(), Of(beach).Get());
  ASSERT_EQ(hit(Root.Get(), {5, 2}, v), S_OK);
  EXPECT_EQ(AccessibleOf(v.pdispVal()).Get(), AccessibleOf(LV->GetHeader()->GetAccessible()).Get());
  EXPECT_EQ(hit(Root.Get(), {-3, 10}, v), S_FALSE);
  EXPECT_EQ(v.vt(), VT_EMPTY);
  // Locations are screen rectangles of what shows.
  LONG l, t, w, h;
  ASSERT_EQ(Of(beach)->accLocation(&l, &t, &w, &h, Id(0)), S_OK);
  EXPECT_EQ((TRect{l, t, l + w, t + h}), (TRect{origin.X + cell.Left, origin.Y + cell.Top, origin.X + cell.Right, origin.Y + cell.Bottom}));
  // A hidden header's columns are not hit.
  LV->GetHeader()->SetVisible(false);
  ComPtr<IAccessible> header = AccessibleOf(LV->GetHeader()->GetAccessible());
  ASSERT_EQ(hit(header.Get(), {5, 2}, v), S_OK);
  EXPECT_EQ(v.vt(), VT_I4);
  EXPECT_EQ(v.lVal(), CHILDID_SELF);
}

TEST_F(AccessibleTest, TheToolkitPresentsTheTree) {
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(pf::layer::WidgetOf(LV->Handle()));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->role(), QAccessible::List);
  ASSERT_EQ(list->childCount(), 3);
  QAccessibleInterface* prints = list->child(0);
  ASSERT_NE(prints, nullptr);
  EXPECT_EQ(prints->text(QAccessible::Name), QStringLiteral("Prints"));
  ASSERT_EQ(prints->childCount(), 3);
  Prints->GetItem(1)->SetSelected(true);
  QAccessibleInterface* dog = prints->child(1);
  EXPECT_EQ(dog->text(QAccessible::Name), QStringLiteral("dog"));
  EXPECT_EQ(dog->role(), QAccessible::ListItem);
  EXPECT_TRUE(dog->state().selected);
  EXPECT_TRUE(dog->state().selectable);
  EXPECT_EQ(list->child(2)->text(QAccessible::Name), QStringLiteral("EmberHeader"));
  EXPECT_EQ(list->child(2)->child(1)->text(QAccessible::Name), QStringLiteral("Size"));
  EXPECT_TRUE(list->child(1)->state().collapsed);
  EXPECT_EQ(dog->parent(), prints);
}

}  // namespace
}  // namespace lvtest
