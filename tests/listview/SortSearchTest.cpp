// Sorting (stable, each caption asked for once), regrouping by key, and type-ahead search with its
// reset timer on the manual clock.
#include <functional>
#include <map>

#include "ListviewTestUtil.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Strings.h"

namespace lvtest {
namespace {

class SortSearchTest : public ListviewTest {
protected:
  void TearDown() override {
    ListviewTest::TearDown();
    pf::clock::UseReal();
  }
  std::vector<TEmberItem*> AddItems(TEmberGroup* g, std::initializer_list<const char16_t*> captions) {
    std::vector<TEmberItem*> out;
    for (const char16_t* c : captions) {
      TEmberItem* it = g->GetItems()->Add();
      it->SetCaption(c);
      out.push_back(it);
    }
    return out;
  }
};

TEST_F(SortSearchTest, SortIsStableAndAsksForEachCaptionOnce) {
  MakeList();
  TEmberGroup* g = LV->GetGroups()->Add();
  // Virtual items: the application answers every caption request, so the requests can be counted.
  std::map<TEmberItem*, WideString> text;
  std::vector<TEmberItem*> items;
  for (const char16_t* c : {u"pear", u"Apple", u"pear", u"apple", u"fig"}) {
    TEmberItem* it = g->GetItems()->AddCustom(&TEmberItemVirtual::StaticClass());
    text[it] = c;
    items.push_back(it);
  }
  int requests = 0;
  bool counting = false;
  LV->OnItemGetCaption = [&](TCustomEmberListview*, TEmberItem* item, Integer, WideString& caption) {
    if (counting) ++requests;
    caption = text[item];
  };
  LV->OnSortBegin = [&](TCustomEmberListview*) { counting = true; };
  LV->OnSortEnd = [&](TCustomEmberListview*) { counting = false; };
  LV->GetSort()->SortAll(true);
  // Equal captions ("Apple"/"apple", "pear"/"pear") keep the order they had.
  const std::vector<TEmberItem*> expected = {items[1], items[3], items[4], items[0], items[2]};
  for (Integer i = 0; i < g->GetItemCount(); ++i) {
    EXPECT_EQ(g->GetItem(i), expected[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(g->GetItem(i)->GetIndex(), i);
  }
  EXPECT_EQ(requests, 5);

  // A handler that decides every pair: no caption is asked for, and its order is kept stable.
  requests = 0;
  LV->OnItemCompare = [&](TCustomEmberListview*, TEmberColumn*, TEmberGroup*, TEmberItem* a, TEmberItem* b,
                          bool& doDefault) {
    doDefault = false;
    return static_cast<Integer>(text[b].size()) - static_cast<Integer>(text[a].size());  // longest first
  };
  LV->GetSort()->SortAll(true);
  EXPECT_EQ(requests, 0);
  const std::vector<TEmberItem*> longestFirst = {items[1], items[3], items[0], items[2], items[4]};
  for (Integer i = 0; i < g->GetItemCount(); ++i) EXPECT_EQ(g->GetItem(i), longestFirst[static_cast<size_t>(i)]) << i;

  // Inside a sort update or with the lockout nothing moves unless forced.
  LV->OnItemCompare = nullptr;
  struct Case {
    bool update, lockout, force, sorted;
  };
  for (const Case& c : {Case{true, false, false, false}, Case{false, true, false, false}, Case{true, true, true, true},
                        Case{false, false, false, true}}) {
    LV->GetSort()->SortAll(true);  // back to caption order
    std::vector<TEmberCollectionItem*> reversed;
    for (Integer i = g->GetItemCount() - 1; i >= 0; --i) reversed.push_back(g->GetItem(i));
    g->GetItems()->Reorder(reversed);
    if (c.update) LV->GetSort()->BeginUpdate();
    LV->GetSort()->SetLockoutSort(c.lockout);
    LV->GetSort()->SortAll(c.force);
    if (c.update) LV->GetSort()->EndUpdate();
    LV->GetSort()->SetLockoutSort(false);
    // Sorted, an "apple" comes first; left alone, the reversed list starts with a "pear".
    EXPECT_EQ(AnsiLowerCase(text[g->GetItem(0)]) == u"apple", c.sorted) << c.update << c.lockout << c.force;
  }
}

TEST_F(SortSearchTest, StoredAndVirtualItemsWithLongCaptionsSortTogetherInBothDirections) {
  MakeList();
  TEmberGroup* g = LV->GetGroups()->Add();
  TEmberColumn* column = LV->GetHeader()->GetColumns()->Add();
  LV->GetSelection()->SetFocusedColumn(column);
  // Captions longer than a string holds in itself, an empty one, and two that differ only in case;
  // every other item asks the application for its caption.
  struct Row {
    const char16_t* caption;
    bool isVirtual;
  } rows[] = {{u"Holiday at the lake 2019", false}, {u"holiday AT the lake 2018", true}, {u"", false},
              {u"Zebra crossing, evening light", true}, {u"zebra crossing, evening light", false}, {u"a", true}};
  std::map<TEmberItem*, WideString> text;
  std::vector<TEmberItem*> items;
  for (const Row& r : rows) {
    TEmberItem* it = r.isVirtual ? g->GetItems()->AddCustom(&TEmberItemVirtual::StaticClass()) : g->GetItems()->Add();
    if (r.isVirtual)
      text[it] = r.caption;
    else
      it->SetCaption(r.caption);
    items.push_back(it);
  }
  int requests = 0;
  bool counting = false;
  LV->OnItemGetCaption = [&](TCustomEmberListview*, TEmberItem* item, Integer, WideString& caption) {
    if (counting) ++requests;
    caption = text[item];
  };
  LV->OnSortBegin = [&](TCustomEmberListview*) { counting = true; };
  LV->OnSortEnd = [&](TCustomEmberListview*) { counting = false; };
  auto order = [&] {
    std::vector<size_t> out;
    for (Integer i = 0; i < g->GetItemCount(); ++i)
      out.push_back(static_cast<size_t>(std::find(items.begin(), items.end(), g->GetItem(i)) - items.begin()));
    return out;
  };
  // The two zebras are equal and keep their order in both directions.
  column->SetSortDirection(TEmberSortDirection::esdAscending);
  LV->GetSort()->SortAll(true);
  EXPECT_EQ(order(), (std::vector<size_t>{2, 5, 1, 0, 3, 4}));
  EXPECT_EQ(requests, 3) << "each virtual caption asked for once";
  requests = 0;
  column->SetSortDirection(TEmberSortDirection::esdDescending);
  LV->GetSort()->SortAll(true);
  EXPECT_EQ(order(), (std::vector<size_t>{3, 4, 0, 1, 5, 2}));
  EXPECT_EQ(requests, 3);
}

TEST_F(SortSearchTest, ReGroupMakesOneGroupPerKeyAndFallsBackWhenTheHandlerGivesNone) {
  MakeList();
  TEmberGroup* g1 = LV->GetGroups()->Add();
  TEmberGroup* g2 = LV->GetGroups()->Add();
  auto a = AddItems(g1, {u"apple", u"banana"});
  auto b = AddItems(g2, {u"Avocado", u"", u"blueberry", u"cherry"});
  int asked = 0;
  LV->OnAutoSortGroupCreate = [&](TCustomEmberListview*, TEmberItem*, Integer, TEmberGroups*, TEmberGroup*& group,
                                  bool&) {
    ++asked;
    group = nullptr;  // gives none
  };
  LV->GetSort()->SetAutoRegroup(true);
  TEmberGroups* groups = LV->GetGroups();
  EXPECT_EQ(asked, 4);  // once per key
  ASSERT_EQ(groups->GetCount(), 4);
  struct Want {
    Cardinal key;
    const char16_t* caption;
    std::vector<TEmberItem*> items;
  };
  // Sorted by caption; the key-0 group has no caption of its own.
  const Want want[] = {{0, u"", {b[1]}}, {u'a', u"A", {a[0], b[0]}}, {u'b', u"B", {a[1], b[2]}}, {u'c', u"C", {b[3]}}};
  Integer total = 0;
  for (Integer i = 0; i < 4; ++i) {
    TEmberGroup* g = groups->GetGroup(i);
    SCOPED_TRACE(i);
    EXPECT_EQ(g->GetKey(), want[i].key);
    EXPECT_EQ(g->GetCaption(), String(want[i].caption));
    ASSERT_EQ(static_cast<size_t>(g->GetItemCount()), want[i].items.size());
    for (Integer k = 0; k < g->GetItemCount(); ++k) {
      EXPECT_EQ(g->GetItem(k), want[i].items[static_cast<size_t>(k)]);
      EXPECT_EQ(g->GetItem(k)->GetCollection(), g->GetItems());
    }
    total += g->GetItemCount();
  }
  EXPECT_EQ(total, 6);  // nothing lost

  // The application's key wins over the caption's first letter.
  LV->OnAutoSortGroupCreate = nullptr;
  LV->OnAutoGroupGetKey = [&](TCustomEmberListview*, TEmberItem* item, Integer, TEmberGroups*, Cardinal& key) {
    if (item == b[3]) key = u'a';
  };
  LV->GetSort()->ReGroup(nullptr);
  ASSERT_EQ(groups->GetCount(), 3);
  EXPECT_EQ(groups->GetGroup(1)->GetKey(), Cardinal(u'a'));
  EXPECT_EQ(groups->GetGroup(1)->GetItemCount(), 3);
}

// An item goes into the first group whose key is its own, whatever group the handler made it for:
// a group handed back for another key takes that key and no longer the one it was made for, and a
// group the handler keyed itself takes the items of that key without the handler being asked.
TEST_F(SortSearchTest, ReGroupPutsAnItemIntoTheFirstGroupOfItsKey) {
  struct Case {
    const char* what;
    // Called when the item of this caption needs a group; `made` holds the groups made so far.
    std::function<void(const String& caption, TEmberGroups*, std::vector<TEmberGroup*>& made, TEmberGroup*&)> create;
    std::vector<std::string> asked;            // captions the handler was asked for, in order
    std::vector<std::vector<std::string>> want;  // the groups' items, groups and items sorted by caption
  };
  const Case cases[] = {
      {"the group made for a is handed back for b",
       [](const String& caption, TEmberGroups*, std::vector<TEmberGroup*>& made, TEmberGroup*& group) {
         if (caption == u"bee") group = made[0];
       },
       // "asp" finds no group of key a any more: a new group "A" is made for it.
       {"ant", "bee", "asp", "cat"},
       {{"asp"}, {"ant", "bat", "bee"}, {"cat"}}},
      {"the handler keys a group of its own for c",
       [](const String& caption, TEmberGroups* groups, std::vector<TEmberGroup*>&, TEmberGroup*&) {
         if (caption == u"ant") {
           TEmberGroup* spare = groups->Add();
           spare->SetCaption(u"spare");
           spare->SetKey(u'c');
         }
       },
       {"ant", "bee"},
       {{"ant", "asp"}, {"bat", "bee"}, {"cat"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MakeList();
    TEmberGroup* g = LV->GetGroups()->Add();
    AddItems(g, {u"ant", u"bee", u"asp", u"cat", u"bat"});
    std::vector<std::string> asked;
    std::vector<TEmberGroup*> made;
    LV->OnAutoSortGroupCreate = [&](TCustomEmberListview*, TEmberItem* item, Integer, TEmberGroups* groups,
                                    TEmberGroup*& group, bool&) {
      asked.push_back(Name(item));
      c.create(item->GetCaption(), groups, made, group);
      if (!group) {
        group = groups->Add();
        made.push_back(group);
      }
    };
    LV->GetSort()->SetAutoRegroup(true);
    EXPECT_EQ(asked, c.asked);
    std::vector<std::vector<std::string>> got;
    for (Integer i = 0; i < LV->GetGroups()->GetCount(); ++i) {
      TEmberGroup* each = LV->GetGroups()->GetGroup(i);
      got.emplace_back();
      for (Integer k = 0; k < each->GetItemCount(); ++k) got.back().push_back(Name(each->GetItem(k)));
    }
    EXPECT_EQ(got, c.want);
    LV->OnAutoSortGroupCreate = nullptr;
  }
}

// A group-create handler that raises part way leaves every item in a group of the control's: the
// ones already placed where they went, the rest together in one more group, their states kept.
TEST_F(SortSearchTest, ReGroupThatFailsPartWayLosesNoItem) {
  struct Case {
    int failAt;              // the handler raises on this call (1-based)
    Integer groupsAfter;     // groups made before the failure plus the one for the rest
    Integer restCount;       // items in that last group
  };
  // Keys in item order: a, b, a, c, b -> first placements a(0), b(1), c(3).
  const Case cases[] = {{1, 1, 5}, {2, 2, 4}, {3, 3, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failAt);
    MakeList();
    LV->GetSelection()->SetMultiSelect(true);
    TEmberGroup* g = LV->GetGroups()->Add();
    auto items = AddItems(g, {u"ant", u"bee", u"asp", u"cat", u"bat"});
    items[4]->SetSelected(true);
    int calls = 0;
    LV->OnAutoSortGroupCreate = [&](TCustomEmberListview*, TEmberItem*, Integer, TEmberGroups*, TEmberGroup*&, bool&) {
      if (++calls == c.failAt) throw std::runtime_error("no group");
    };
    EXPECT_THROW(LV->GetSort()->SetAutoRegroup(true), std::runtime_error);
    TEmberGroups* groups = LV->GetGroups();
    ASSERT_EQ(groups->GetCount(), c.groupsAfter);
    Integer total = 0;
    for (Integer i = 0; i < groups->GetCount(); ++i) {
      TEmberGroup* each = groups->GetGroup(i);
      for (Integer k = 0; k < each->GetItemCount(); ++k) EXPECT_EQ(each->GetItem(k)->GetCollection(), each->GetItems());
      total += each->GetItemCount();
    }
    EXPECT_EQ(total, 5);
    EXPECT_EQ(groups->GetGroup(groups->GetCount() - 1)->GetItemCount(), c.restCount);
    EXPECT_TRUE(items[4]->GetSelected());
    EXPECT_EQ(LV->GetSelection()->GetCount(), 1);
    LV->OnAutoSortGroupCreate = nullptr;
  }
}

void Pump() {
  MSG msg;
  while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
}

// The search's manager, driven as the window's key handling drives it.
struct Typist {
  TEmberIncrementalSearchManager* S;
  void Type(Char c) {
    TMessage down{WM_KEYDOWN, 0, 0, 0};
    S->HandleWMKeyDown(down);
    TMessage ch{WM_CHAR, static_cast<WPARAM>(c), 0, 0};
    S->HandleWMChar(ch);
  }
};

TEST_F(SortSearchTest, TypeAheadFindsCaptionStartsAcrossTheEndAndForgetsAfterThePause) {
  MakeList();
  pf::clock::UseManual(1000);
  TEmberGroup* g = LV->GetGroups()->Add();
  auto it = AddItems(g, {u"x-ray", u"apple", u"Avocado", u"banana", u"apricot"});
  TEmberIncrementalSearchManager* s = LV->GetIncrementalSearch();
  Typist t{s};
  auto focused = [&] { return LV->GetSelection()->GetFocusedItem(); };

  t.Type(u'a');  // disabled: nothing
  EXPECT_EQ(focused(), nullptr);
  EXPECT_TRUE(s->GetSearchBuffer().empty());

  s->SetEnabled(true);
  s->SetStartType(TCoolIncrementalSearchStart::eissLastHit);
  struct Step {
    Char c;
    TEmberItem* hit;
  };
  // The same letter steps on through the items that begin with it, round over the end;
  // a second letter narrows the match to "ap".
  const Step steps[] = {{u'a', it[1]}, {u'a', it[2]}, {u'a', it[4]}, {u'a', it[1]}, {u'p', it[1]}, {u'r', it[4]}};
  for (const Step& st : steps) {
    t.Type(st.c);
    EXPECT_EQ(focused(), st.hit) << char(st.c);
    EXPECT_TRUE(st.hit->GetSelected());
    EXPECT_EQ(LV->GetSelection()->GetCount(), 1);
  }
  EXPECT_EQ(s->GetSearchBuffer(), String(u"apr"));

  // No match: the selection stays.
  t.Type(u'z');
  EXPECT_EQ(focused(), it[4]);
  EXPECT_TRUE(it[4]->GetSelected());

  // The buffer lives until the reset time has passed since the last character.
  s->ResetSearch();
  t.Type(u'b');
  EXPECT_EQ(focused(), it[3]);
  pf::clock::Advance(1999);
  Pump();
  EXPECT_EQ(s->GetSearchBuffer(), String(u"b"));
  pf::clock::Advance(1);
  Pump();
  EXPECT_TRUE(s->GetSearchBuffer().empty());
  EXPECT_FALSE(s->Searching());
  EXPECT_FALSE(s->TimerRunning());
  EXPECT_EQ(s->GetSearchItem(), it[3]);  // the last hit is where the next search starts

  // Backspace forgets the candidate and where to go on.
  t.Type(u'\b');
  EXPECT_EQ(s->GetSearchItem(), nullptr);
  EXPECT_EQ(s->GetNextSearchItem(), nullptr);

  // Starting over: two letters find the first caption that starts with both.
  s->ResetSearch();
  s->SetStartType(TCoolIncrementalSearchStart::eissStartOver);
  t.Type(u'A');
  t.Type(u'V');
  EXPECT_EQ(focused(), it[2]);
}

}  // namespace
}  // namespace lvtest
