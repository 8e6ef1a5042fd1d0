// The state protocol of items: ask, flip, gain or lose, with the cascades and their event order.
#include <functional>
#include <set>

#include "ListviewTestUtil.h"

namespace lvtest {
namespace {

using S = TEmberStorageObjectState;

class StateProtocolTest : public ListviewTest {
protected:
  void SetUp() override {
    ListviewTest::SetUp();
    MakeList();
    // A single selection also moves the focus; these cases look at selection alone.
    LV->GetSelection()->SetMultiSelect(true);
    Group = LV->GetGroups()->Add();
    Group->SetCaption(u"G");
    A = Group->GetItems()->Add();
    A->SetCaption(u"A");
    B = Group->GetItems()->Add();
    B->SetCaption(u"B");
  }
  // Makes the changing events of the named kinds refuse.
  void Refuse(const std::set<std::string>& kinds) {
    auto refuse = [this, kinds](const char* what) {
      return [this, kinds, what](TCustomEmberListview*, TEmberItem* i, bool& allow) {
        Log.Add(std::string(what) + ":" + Name(i));
        if (kinds.count(what)) allow = false;
      };
    };
    LV->OnItemCheckChanging = refuse("CheckChanging");
    LV->OnItemEnableChanging = refuse("EnableChanging");
    LV->OnItemFocusChanging = refuse("FocusChanging");
    LV->OnItemSelectionChanging = refuse("SelectionChanging");
    LV->OnItemVisibilityChanging = refuse("VisibilityChanging");
  }
  TEmberGroup* Group{nullptr};
  TEmberItem* A{nullptr};
  TEmberItem* B{nullptr};
};

struct Case {
  const char* Name;
  std::function<void(TEmberItem*, TCustomEmberListview*)> Setup;
  std::function<void(TEmberItem*)> Action;
  std::set<std::string> Refused;
  std::vector<std::string> Events;
  std::vector<S> On;
  std::vector<S> Off;
};

TEST_F(StateProtocolTest, EachChangeAsksFlipsAndTellsInOrder) {
  const std::vector<Case> cases = {
      {"select", nullptr, [](TEmberItem* i) { i->SetSelected(true); }, {},
       {"SelectionChanging:A", "SelectionsChanged", "SelectionChanged:A"}, {S::esosSelected}, {}},
      {"refused selection changes nothing", nullptr, [](TEmberItem* i) { i->SetSelected(true); },
       {"SelectionChanging"}, {"SelectionChanging:A"}, {}, {S::esosSelected}},
      {"hidden item cannot be selected", [](TEmberItem* i, TCustomEmberListview*) { i->SetVisible(false); },
       [](TEmberItem* i) { i->SetSelected(true); }, {}, {}, {}, {S::esosSelected}},
      {"disabled item cannot take the focus", [](TEmberItem* i, TCustomEmberListview*) { i->SetEnabled(false); },
       [](TEmberItem* i) { i->SetFocused(true); }, {}, {}, {}, {S::esosFocused}},
      {"disabling drops focus, then selection, then the bit",
       [](TEmberItem* i, TCustomEmberListview*) {
         i->SetFocused(true);
         i->SetSelected(true);
       },
       [](TEmberItem* i) { i->SetEnabled(false); }, {},
       {"EnableChanging:A", "FocusChanging:A", "FocusChanged:A", "SelectionChanging:A", "SelectionsChanged",
        "SelectionChanged:A", "EnableChange:A"},
       {}, {S::esosEnabled, S::esosFocused, S::esosSelected}},
      {"hiding drops focus, selection and the check",
       [](TEmberItem* i, TCustomEmberListview*) {
         i->SetFocused(true);
         i->SetSelected(true);
         i->SetChecked(true);
       },
       [](TEmberItem* i) { i->SetVisible(false); }, {},
       {"VisibilityChanging:A", "FocusChanging:A", "FocusChanged:A", "SelectionChanging:A", "SelectionsChanged",
        "SelectionChanged:A", "CheckChanging:A", "CheckChange:A", "VisibilityChanged:A"},
       {}, {S::esosVisible, S::esosFocused, S::esosSelected, S::esosChecked}},
      {"hiding keeps the check when hidden checked items are allowed",
       [](TEmberItem* i, TCustomEmberListview* lv) {
         lv->SetAllowHiddenCheckedItems(true);
         i->SetChecked(true);
       },
       [](TEmberItem* i) { i->SetVisible(false); }, {}, {"VisibilityChanging:A", "VisibilityChanged:A"},
       {S::esosChecked}, {S::esosVisible}},
      {"a refused focus change while disabling leaves the focus", [](TEmberItem* i, TCustomEmberListview*) { i->SetFocused(true); },
       [](TEmberItem* i) { i->SetEnabled(false); }, {"FocusChanging"},
       {"EnableChanging:A", "FocusChanging:A", "EnableChange:A"}, {S::esosFocused}, {S::esosEnabled}},
      {"a disabled item's check cannot change", [](TEmberItem* i, TCustomEmberListview*) { i->SetEnabled(false); },
       [](TEmberItem* i) { i->SetChecked(true); }, {}, {}, {}, {S::esosChecked}},
      {"ghosted and hilighted ask nobody",
       nullptr,
       [](TEmberItem* i) {
         i->SetGhosted(true);
         i->SetHilighted(true);
       },
       {}, {}, {S::esosGhosted, S::esosHilighted}, {}},
      {"cut is a plain bit", nullptr, [](TEmberItem* i) { i->SetCut(true); }, {}, {}, {S::esosCut}, {}},
      {"while destroying, changes only switch off and ask nobody",
       [](TEmberItem* i, TCustomEmberListview*) {
         i->SetSelected(true);
         i->SetState(i->GetState() + S::esosDestroying);
       },
       [](TEmberItem* i) {
         i->SetSelected(false);
         i->SetBold(true);
       },
       {"SelectionChanging"}, {"SelectionsChanged", "SelectionChanged:A"}, {}, {S::esosSelected, S::esosBold}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TEmberItem* item = Group->GetItems()->Add();
    item->SetCaption(u"A");
    if (c.Setup) c.Setup(item, LV);
    Log.Clear();
    LogStateEvents(LV, Log);
    Refuse(c.Refused);
    c.Action(item);
    EXPECT_EQ(Log.Lines, c.Events);
    for (S s : c.On) EXPECT_TRUE(item->GetState().Contains(s)) << static_cast<int>(s);
    for (S s : c.Off) EXPECT_FALSE(item->GetState().Contains(s)) << static_cast<int>(s);
    // Back to a plain item for the next case.
    LV->OnItemSelectionChanging = nullptr;
    LV->OnItemFocusChanging = nullptr;
    LV->OnItemEnableChanging = nullptr;
    LV->OnItemVisibilityChanging = nullptr;
    LV->OnItemCheckChanging = nullptr;
    item->SetState(item->GetState() - S::esosDestroying);
    LV->SetAllowHiddenCheckedItems(false);
    Group->GetItems()->Delete(item->GetIndex());
  }
}

TEST_F(StateProtocolTest, ShowingAnItemOfAHiddenGroupIsRefusedWithoutAsking) {
  A->SetVisible(false);
  Group->SetVisible(false);
  LogStateEvents(LV, Log);
  Log.Clear();
  A->SetVisible(true);
  EXPECT_FALSE(A->GetVisible());
  EXPECT_TRUE(Log.With("VisibilityChanging").empty());
}

TEST_F(StateProtocolTest, TheCheckNoticeComesBeforeTheBit) {
  std::vector<bool> checkedAtNotice;
  pf::oleacc::testing::SetWinEventRecorder([&](DWORD event, HWND wnd, LONG obj, LONG child) {
    EXPECT_EQ(wnd, LV->Handle());
    EXPECT_EQ(obj, OBJID_CLIENT);
    EXPECT_EQ(child, CHILDID_SELF);
    if (event == EVENT_OBJECT_STATECHANGE) checkedAtNotice.push_back(A->GetChecked());
  });
  A->SetChecked(true);
  A->SetChecked(false);
  EXPECT_EQ(checkedAtNotice, (std::vector<bool>{false, true}));
}

TEST_F(StateProtocolTest, TheCheckCountFollowsChecksHidingAndDeletion) {
  TEmberCheckManager* cm = LV->GetCheckManager();
  A->SetChecked(true);
  B->SetChecked(true);
  EXPECT_EQ(cm->GetCount(), 2);
  B->SetVisible(false);  // hiding takes the check away
  EXPECT_EQ(cm->GetCount(), 1);
  EXPECT_FALSE(B->GetChecked());
  LV->SetAllowHiddenCheckedItems(true);
  A->SetVisible(false);  // kept checked while hidden
  EXPECT_EQ(cm->GetCount(), 1);
  Group->GetItems()->Delete(A->GetIndex());  // a hidden checked item still leaves the count
  EXPECT_EQ(cm->GetCount(), 0);
}

TEST_F(StateProtocolTest, GroupCascadesInThePartsOrder) {
  LogStateEvents(LV, Log);
  A->SetChecked(false);
  B->SetVisible(false);
  Log.Clear();
  // Checking a group checks only its visible items; unchecking unchecks all.
  Group->SetChecked(false);
  B->SetChecked(false);
  Group->SetChecked(true);
  EXPECT_TRUE(A->GetChecked());
  EXPECT_FALSE(B->GetChecked());
  LV->SetAllowHiddenCheckedItems(true);
  B->SetChecked(true);
  Group->SetChecked(false);
  EXPECT_FALSE(B->GetChecked());
  // Hiding a group hides each item, with its own events, before the group's event.
  B->SetVisible(true);
  Log.Clear();
  Group->SetVisible(false);
  std::vector<std::string> vis;
  for (const auto& l : Log.Lines)
    if (l.find("VisibilityChanged") != std::string::npos) vis.push_back(l);
  EXPECT_EQ(vis, (std::vector<std::string>{"VisibilityChanged:A", "VisibilityChanged:B", "GroupVisibilityChanged:G"}));
  // Showing it tells first, then shows the items.
  Log.Clear();
  Group->SetVisible(true);
  vis.clear();
  for (const auto& l : Log.Lines)
    if (l.find("VisibilityChanged") != std::string::npos) vis.push_back(l);
  EXPECT_EQ(vis, (std::vector<std::string>{"GroupVisibilityChanged:G", "VisibilityChanged:A", "VisibilityChanged:B"}));
  // Disabling a group disables every item.
  Group->SetEnabled(false);
  EXPECT_FALSE(A->GetEnabled());
  EXPECT_FALSE(B->GetEnabled());
}

TEST_F(StateProtocolTest, InitializeRunsOncePerChangeToTrue) {
  int count = 0;
  // Laying out the new caption's repaint already initialized the item; start from scratch.
  A->SetInitialized(false);
  LV->OnItemInitialize = [&](TCustomEmberListview*, TEmberItem*) { ++count; };
  A->SetInitialized(true);
  A->SetInitialized(true);
  EXPECT_EQ(count, 1);
  A->SetInitialized(false);
  A->SetInitialized(true);
  EXPECT_EQ(count, 2);
}

}  // namespace
}  // namespace lvtest
