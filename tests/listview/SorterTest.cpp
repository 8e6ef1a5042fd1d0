// The three sorters and the sort manager that picks them: orders by caption in ascending and
// descending columns, stability with equal keys, the data objects' own comparison, a descendant's
// compare dispatchers, handlers that answer nonsense, and the sorts that AutoSort starts.
#include <map>
#include <random>
#include <unordered_set>

#include "ListviewTestUtil.h"
#include "listview/EmberSort.h"
#include "platform/rtl/Strings.h"

namespace lvtest {
namespace {

using Alg = TEmberSortAlgorithm;
using Dir = TEmberSortDirection;

constexpr Alg AllAlgorithms[] = {Alg::esaQuickSort, Alg::esaBubbleSort, Alg::esaMergeSort};
const char* AlgName(Alg a) {
  return a == Alg::esaQuickSort ? "quick" : a == Alg::esaBubbleSort ? "bubble" : "merge";
}
bool Stable(Alg a) { return a != Alg::esaQuickSort; }

class SorterTest : public ListviewTest {
protected:
  // One group of Count items with two columns: column 0 a unique key "k0000".."k0999" that is a
  // fixed shuffle of the item number (item i has key (i * 7919) mod Count), column 1 one of five
  // words of which two pairs differ only in case.
  static constexpr Integer Count = 1000;
  static constexpr const char16_t* Words[5] = {u"pear", u"Apple", u"fig", u"apple", u"PEAR"};
  static Integer Key(Integer i) { return static_cast<Integer>((static_cast<int64_t>(i) * 7919) % Count); }
  static String KeyText(Integer k) {
    std::string s = std::to_string(k);
    s = "k" + std::string(4 - s.size(), '0') + s;
    return String(s.begin(), s.end());
  }
  // 0 apple, 1 fig, 2 pear: the order of the words' case-insensitive keys.
  static Integer WordRank(Integer i) {
    switch (i % 5) {
      case 1:
      case 3: return 0;
      case 2: return 1;
      default: return 2;
    }
  }

  void Build() {
    MakeList();
    TEmberColumns* cols = LV->GetHeader()->GetColumns();
    cols->Add()->SetCaption(u"Key");
    cols->Add()->SetCaption(u"Word");
    G = LV->GetGroups()->Add();
    LV->BeginUpdate();
    for (Integer i = 0; i < Count; ++i) {
      TEmberItem* it = G->GetItems()->Add();
      it->SetCaptions(0, KeyText(Key(i)));
      it->SetCaptions(1, Words[i % 5]);
      Input.push_back(it);
    }
    LV->EndUpdate();
  }
  void Restore() {
    G->GetItems()->Reorder(std::vector<TEmberCollectionItem*>(Input.begin(), Input.end()));
  }
  // The input numbers of the items in their present order.
  std::vector<Integer> Numbers() const {
    std::vector<Integer> out;
    for (Integer i = 0; i < G->GetItemCount(); ++i) {
      TEmberItem* it = G->GetItem(i);
      EXPECT_EQ(it->GetIndex(), i);
      out.push_back(static_cast<Integer>(std::find(Input.begin(), Input.end(), it) - Input.begin()));
    }
    return out;
  }

  TEmberGroup* G{nullptr};
  std::vector<TEmberItem*> Input;
};

TEST_F(SorterTest, EachSorterOrdersAThousandItemsByColumnAndDirection) {
  Build();
  // The item number at each place, worked out from the fixture's keys.
  std::vector<Integer> byKey(Count);
  for (Integer i = 0; i < Count; ++i) byKey[static_cast<size_t>(Key(i))] = i;
  std::vector<Integer> byWord;  // equal words in input order
  for (Integer rank = 0; rank < 3; ++rank)
    for (Integer i = 0; i < Count; ++i)
      if (WordRank(i) == rank) byWord.push_back(i);
  std::vector<Integer> byWordDown;
  for (Integer rank = 2; rank >= 0; --rank)
    for (Integer i = 0; i < Count; ++i)
      if (WordRank(i) == rank) byWordDown.push_back(i);
  auto reversed = [](std::vector<Integer> v) {
    std::reverse(v.begin(), v.end());
    return v;
  };
  struct Case {
    Integer column;
    Dir direction;
    std::vector<Integer> expected;
    bool equalKeys;
  };
  const Case cases[] = {
      {0, Dir::esdAscending, byKey, false},
      {0, Dir::esdDescending, reversed(byKey), false},
      {1, Dir::esdAscending, byWord, true},
      {1, Dir::esdDescending, byWordDown, true},
  };
  for (Alg alg : AllAlgorithms) {
    LV->GetSort()->SetAlgorithm(alg);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(AlgName(alg)) + " column " + std::to_string(c.column) +
                   (c.direction == Dir::esdAscending ? " up" : " down"));
      Restore();
      TEmberColumn* col = LV->GetHeader()->GetColumns()->GetColumn(c.column);
      col->SetSortDirection(c.direction);
      LV->GetSelection()->SetFocusedColumn(col);
      int begins = 0, ends = 0;
      LV->OnSortBegin = [&](TCustomEmberListview*) { ++begins; };
      LV->OnSortEnd = [&](TCustomEmberListview*) { ++ends; };
      LV->GetSort()->SortAll(true);
      EXPECT_EQ(begins, 1);
      EXPECT_EQ(ends, 1);
      const std::vector<Integer> got = Numbers();
      ASSERT_EQ(got.size(), static_cast<size_t>(Count));
      if (!c.equalKeys || Stable(alg)) {
        EXPECT_EQ(got, c.expected);
      } else {
        // Not stable: the words are in order, each item once.
        for (size_t i = 0; i < got.size(); ++i)
          EXPECT_EQ(WordRank(got[i]), WordRank(c.expected[i])) << i;
        std::vector<Integer> sorted = got;
        std::sort(sorted.begin(), sorted.end());
        for (Integer i = 0; i < Count; ++i) ASSERT_EQ(sorted[static_cast<size_t>(i)], i);
      }
    }
  }
}

TEST_F(SorterTest, TheAlgorithmPicksTheSortersClassAtRunTime) {
  Build();
  TEmberSortManager* sort = LV->GetSort();
  EXPECT_EQ(sort->GetAlgorithm(), Alg::esaMergeSort);
  ASSERT_NE(sort->GetSorter(), nullptr);
  EXPECT_EQ(sort->GetSorter()->ClassName(), u"TEmberMergeSort");
  struct Case {
    Alg alg;
    const char16_t* cls;
  } cases[] = {{Alg::esaQuickSort, u"TEmberQuickSort"},
               {Alg::esaBubbleSort, u"TEmberBubbleSort"},
               {Alg::esaMergeSort, u"TEmberMergeSort"},
               {Alg::esaBubbleSort, u"TEmberBubbleSort"}};
  for (const Case& c : cases) {
    sort->SetAlgorithm(c.alg);
    EXPECT_EQ(sort->GetAlgorithm(), c.alg);
    ASSERT_NE(sort->GetSorter(), nullptr);
    EXPECT_EQ(sort->GetSorter()->ClassName(), c.cls);
    EXPECT_EQ(sort->GetSorter()->GetOwner(), sort);
    // And the new sorter is the one that sorts.
    Restore();
    LV->GetSelection()->SetFocusedColumn(LV->GetHeader()->GetColumns()->GetColumn(0));
    sort->SortAll(true);
    EXPECT_EQ(G->GetItem(0)->GetCaption(), u"k0000");
    EXPECT_EQ(G->GetItem(Count - 1)->GetCaption(), u"k0999");
  }
  // Setting the same algorithm again keeps the sorter.
  TEmberSorter* kept = sort->GetSorter();
  sort->SetAlgorithm(Alg::esaBubbleSort);
  EXPECT_EQ(sort->GetSorter(), kept);
}

// A data object that knows its rank and compares itself by it, whatever the captions say.
class RankData : public IEmberCompare {
public:
  explicit RankData(Integer Rank) : FRank(Rank) {}
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (iid == IUnknown::Iid || iid == IEmberCompare::Iid) {
      *out = static_cast<IEmberCompare*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++Refs; }
  ULONG Release() override { return --Refs; }
  Integer Compare(IEmberCompare* Other, TEmberColumn* Column) override {
    LastColumn = Column;
    return FRank - static_cast<RankData*>(Other)->FRank;
  }
  ULONG Refs{0};
  TEmberColumn* LastColumn{nullptr};

private:
  Integer FRank;
};

TEST_F(SorterTest, DataObjectsThatCompareThemselvesDecideTheOrder) {
  MakeList();
  TEmberColumn* col = LV->GetHeader()->GetColumns()->Add();
  LV->GetSelection()->SetFocusedColumn(col);
  TEmberGroup* g = LV->GetGroups()->Add();
  // Captions in alphabetical order; ranks the other way round.
  const char16_t* captions[] = {u"a", u"b", u"c", u"d", u"e"};
  std::vector<std::unique_ptr<RankData>> data;
  std::vector<TEmberItem*> items;
  for (Integer i = 0; i < 5; ++i) {
    TEmberItem* it = g->GetItems()->Add();
    it->SetCaption(captions[i]);
    data.push_back(std::make_unique<RankData>(5 - i));
    it->SetDataInf(data.back().get());
    items.push_back(it);
  }
  int handlerCalls = 0;
  LV->OnItemCompare = [&](TCustomEmberListview*, TEmberColumn*, TEmberGroup*, TEmberItem*, TEmberItem*, bool&) {
    ++handlerCalls;
    return 0;
  };
  auto captionsNow = [&] {
    String out;
    for (Integer i = 0; i < g->GetItemCount(); ++i) out += g->GetItem(i)->GetCaption();
    return out;
  };
  for (Alg alg : AllAlgorithms) {
    SCOPED_TRACE(AlgName(alg));
    LV->GetSort()->SetAlgorithm(alg);
    g->GetItems()->Reorder(std::vector<TEmberCollectionItem*>(items.begin(), items.end()));
    handlerCalls = 0;
    LV->GetSort()->SortAll(true);
    EXPECT_EQ(captionsNow(), u"edcba");
    EXPECT_EQ(handlerCalls, 0);
    EXPECT_EQ(data[0]->LastColumn, col);
  }
  // One item without a data object: the control's comparison decides for all.
  LV->OnItemCompare = nullptr;
  items[2]->SetDataInf(nullptr);
  LV->GetSort()->SortAll(true);
  EXPECT_EQ(captionsNow(), u"abcde");

  // Groups too, with no column.
  TEmberGroup* g2 = LV->GetGroups()->Add();
  g->SetCaption(u"first");
  g2->SetCaption(u"second");
  RankData low(1), high(2);
  g->SetDataInf(&high);
  g2->SetDataInf(&low);
  LV->GetSort()->SortAll(true);
  EXPECT_EQ(LV->GetGroups()->GetGroup(0), g2);
  EXPECT_EQ(low.LastColumn, nullptr);
  g->GetItems()->Clear();
  LV->GetGroups()->Clear();
  for (auto& d : data) EXPECT_EQ(d->Refs, 0u);
  EXPECT_EQ(low.Refs, 0u);
}

// An application's list that turns the order of its items and groups round by its dispatchers.
class TReversedListview : public TEmberListview {
  PF_CLASS(TReversedListview)
public:
  Integer DoItemCompare(TEmberColumn* Column, TEmberGroup* Group, TEmberItem* Item1, TEmberItem* Item2) override {
    return -TEmberListview::DoItemCompare(Column, Group, Item1, Item2);
  }
  Integer DoGroupCompare(TEmberGroup* Item1, TEmberGroup* Item2) override {
    return -TEmberListview::DoGroupCompare(Item1, Item2);
  }
};

TEST_F(SorterTest, ADescendantsCompareDispatchersDecideTheOrder) {
  TReversedListview* lv = TReversedListview::New(Form);
  lv->SetParent(Form);
  TEmberGroup* g1 = lv->GetGroups()->Add();
  TEmberGroup* g2 = lv->GetGroups()->Add();
  g1->SetCaption(u"alpha");
  g2->SetCaption(u"beta");
  for (const char16_t* c : {u"b", u"d", u"a", u"c"}) g1->GetItems()->Add()->SetCaption(c);
  for (Alg alg : AllAlgorithms) {
    SCOPED_TRACE(AlgName(alg));
    lv->GetSort()->SetAlgorithm(alg);
    lv->GetSort()->SortAll(true);
    String order;
    for (Integer i = 0; i < g1->GetItemCount(); ++i) order += g1->GetItem(i)->GetCaption();
    EXPECT_EQ(order, u"dcba");
    EXPECT_EQ(lv->GetGroups()->GetGroup(0), g2);
  }
}

// An application's list whose group dispatcher asks for the default comparison the other way
// round: the groups come out by caption from Z to A.
class TDescendingGroupsListview : public TEmberListview {
  PF_CLASS(TDescendingGroupsListview)
public:
  Integer DoGroupCompare(TEmberGroup* Item1, TEmberGroup* Item2) override {
    return TEmberListview::DoGroupCompare(Item2, Item1);
  }
};

// A regroup makes one group per key in the order the keys first come, puts each item into its
// key's group in item order, and orders the groups through the control's group dispatcher; groups
// of equal captions (keys above 0xFFFF give none) keep the order they were made in under the
// stable sorters.
TEST_F(SorterTest, ARegroupOrdersItsGroupsThroughTheGroupDispatcher) {
  const Cardinal keys[] = {u'b', 0x30000, u'a', u'b', 0x20000, u'c', u'a', 0x30000, 0x20000, u'c'};
  struct Want {
    Cardinal Key;
    const char16_t* Caption;
    std::vector<Integer> Items;
  };
  // Made for items 0, 1, 2, 4 and 5; sorted C, B, A, then the two without a caption as made.
  const Want want[] = {{u'c', u"C", {5, 9}},       {u'b', u"B", {0, 3}},       {u'a', u"A", {2, 6}},
                       {0x30000, u"", {1, 7}}, {0x20000, u"", {4, 8}}};
  for (Alg alg : AllAlgorithms) {
    SCOPED_TRACE(AlgName(alg));
    TDescendingGroupsListview* lv = TDescendingGroupsListview::New(Form);
    Made.push_back(lv);
    lv->SetParent(Form);
    lv->GetSort()->SetAlgorithm(alg);
    TEmberGroup* g = lv->GetGroups()->Add();
    std::vector<TEmberItem*> items;
    for (Integer i = 0; i < 10; ++i) {
      items.push_back(g->GetItems()->Add());
      items.back()->SetCaption(u"i" + pf::IntToStr(i));
    }
    auto number = [&items](TEmberItem* item) {
      return static_cast<Integer>(std::find(items.begin(), items.end(), item) - items.begin());
    };
    lv->OnAutoGroupGetKey = [&](TCustomEmberListview*, TEmberItem* item, Integer, TEmberGroups*, Cardinal& key) {
      key = keys[number(item)];
    };
    std::vector<std::string> made;
    lv->OnAutoSortGroupCreate = [&](TCustomEmberListview*, TEmberItem* item, Integer, TEmberGroups*, TEmberGroup*&,
                                    bool&) { made.push_back(Name(item)); };
    lv->GetSort()->SetAutoRegroup(true);
    EXPECT_EQ(made, (std::vector<std::string>{"i0", "i1", "i2", "i4", "i5"}));
    TEmberGroups* groups = lv->GetGroups();
    ASSERT_EQ(groups->GetCount(), 5);
    for (Integer k = 0; k < 5; ++k) {
      SCOPED_TRACE(k);
      TEmberGroup* each = groups->GetGroup(k);
      // The quick sort may put the two groups without a caption either way.
      const Want& w = k < 3 || Stable(alg) || each->GetKey() == want[k].Key ? want[k] : want[7 - k];
      EXPECT_EQ(each->GetKey(), w.Key);
      EXPECT_EQ(each->GetCaption(), String(w.Caption));
      EXPECT_EQ(each->GetIndex(), k);
      std::vector<Integer> in;
      for (Integer i = 0; i < each->GetItemCount(); ++i) {
        TEmberItem* item = each->GetItem(i);
        in.push_back(number(item));
        EXPECT_EQ(item->GetOwnerGroup(), each);
        EXPECT_EQ(item->GetIndex(), i);
      }
      EXPECT_EQ(in, w.Items);
    }
    // Regrouped again, the groups' own order is where the items are met: the same groups come
    // out, and nothing is lost.
    made.clear();
    lv->GetSort()->ReGroup(nullptr);
    EXPECT_EQ(made, (std::vector<std::string>{"i5", "i0", "i2", "i1", "i4"}));
    ASSERT_EQ(groups->GetCount(), 5);
    Integer total = 0;
    for (Integer k = 0; k < 5; ++k) total += groups->GetGroup(k)->GetItemCount();
    EXPECT_EQ(total, 10);
    EXPECT_EQ(groups->GetGroup(0)->GetCaption(), u"C");
    EXPECT_EQ(groups->GetGroup(2)->GetCaption(), u"A");
  }
}

// Handlers that contradict themselves (at random, or "less" and "greater" for every pair, the
// element itself included) can give any order, but every sorter ends, hands the handler only
// the collection's own items, and leaves each item in the list once. A constant answer makes the
// quick sort quadratic, so those run over fewer items.
TEST_F(SorterTest, HandlersThatAnswerNonsenseNeverTakeASorterOutsideTheList) {
  std::mt19937 rng(20261207);
  struct Case {
    const char* what;
    Integer count;
    std::function<Integer()> answer;
  } cases[] = {
      {"at random", 10000, [&] { return static_cast<Integer>(rng() % 3) - 1; }},
      {"always less", 500, [] { return -1; }},
      {"always greater", 500, [] { return 1; }},
  };
  for (const Case& c : cases) {
    MakeList();
    TEmberGroup* g = LV->GetGroups()->Add();
    LV->BeginUpdate();
    std::vector<TEmberItem*> items;
    for (Integer i = 0; i < c.count; ++i) items.push_back(g->GetItems()->Add());
    LV->EndUpdate();
    const std::unordered_set<TEmberItem*> known(items.begin(), items.end());
    for (Alg alg : AllAlgorithms) {
      SCOPED_TRACE(std::string(AlgName(alg)) + " " + c.what);
      LV->GetSort()->SetAlgorithm(alg);
      int strangers = 0;
      LV->OnItemCompare = [&](TCustomEmberListview*, TEmberColumn*, TEmberGroup*, TEmberItem* a, TEmberItem* b,
                              bool& doDefault) {
        doDefault = false;
        if (!known.count(a) || !known.count(b)) ++strangers;
        return c.answer();
      };
      LV->GetSort()->SortAll(true);
      EXPECT_EQ(strangers, 0);
      ASSERT_EQ(g->GetItemCount(), c.count);
      std::unordered_set<TEmberItem*> seen;
      for (Integer i = 0; i < c.count; ++i) {
        TEmberItem* it = g->GetItem(i);
        EXPECT_TRUE(seen.insert(it).second) << "twice at " << i;
        EXPECT_EQ(it->GetIndex(), i);
      }
      EXPECT_EQ(seen, known);
    }
    LV->OnItemCompare = nullptr;
  }
}

// A handler that raises part way leaves the list as it was: no item lost or held twice.
TEST_F(SorterTest, AHandlerThatRaisesLeavesTheListAsItWas) {
  MakeList();
  TEmberGroup* g = LV->GetGroups()->Add();
  std::vector<TEmberItem*> items;
  for (const char16_t* c : {u"e", u"b", u"d", u"a", u"c", u"f", u"h", u"g"}) {
    items.push_back(g->GetItems()->Add());
    items.back()->SetCaption(c);
  }
  for (Alg alg : AllAlgorithms) {
    SCOPED_TRACE(AlgName(alg));
    LV->GetSort()->SetAlgorithm(alg);
    int calls = 0;
    LV->OnItemCompare = [&](TCustomEmberListview*, TEmberColumn*, TEmberGroup*, TEmberItem*, TEmberItem*, bool&) {
      if (++calls == 6) throw EAbortTest();
      return 0;
    };
    EXPECT_THROW(LV->GetSort()->SortAll(true), EAbortTest);
    for (Integer i = 0; i < g->GetItemCount(); ++i) EXPECT_EQ(g->GetItem(i), items[static_cast<size_t>(i)]) << i;
  }
}

TEST_F(SorterTest, AutoSortSortsAfterAnAddAndAfterAColumnClick) {
  MakeList();
  LV->SetBorderStyle(TBorderStyle::bsNone);
  LV->SetView(TEmberListStyle::elsReport);
  TEmberHeader* h = LV->GetHeader();
  h->SetAutoSizeHeight(false);
  h->SetHeight(21);
  h->SetVisible(true);
  TEmberColumn* col = h->GetColumns()->Add();
  col->SetWidth(100);
  TEmberGroup* g = LV->GetGroups()->Add();
  for (const char16_t* c : {u"c", u"a", u"d"}) g->GetItems()->Add()->SetCaption(c);
  auto order = [&] {
    String out;
    for (Integer i = 0; i < g->GetItemCount(); ++i) out += g->GetItem(i)->GetCaption();
    return out;
  };
  EXPECT_EQ(order(), u"cad");  // nothing sorts by itself
  LV->GetSort()->SetAutoSort(true);
  EXPECT_EQ(LV->GetSelection()->GetFocusedColumn(), col);
  EXPECT_EQ(order(), u"acd");
  // Items whose captions the application answers: each is known from its first request, which
  // the sort after the add makes.
  std::map<TEmberItem*, String> text;
  String next;
  LV->OnItemGetCaption = [&](TCustomEmberListview*, TEmberItem* item, Integer, WideString& caption) {
    auto it = text.find(item);
    if (it == text.end()) it = text.emplace(item, next).first;
    caption = it->second;
  };
  for (const char16_t* c : {u"b", u"e"}) {
    next = c;
    g->GetItems()->AddCustom(&TEmberItemVirtual::StaticClass());
  }
  EXPECT_EQ(order(), u"abcde");

  auto click = [&](TPoint p) {
    const LPARAM lp = static_cast<LPARAM>((p.X & 0xFFFF) | ((p.Y & 0xFFFF) << 16));
    TMessage down{WM_LBUTTONDOWN, MK_LBUTTON, lp, 0};
    h->WMLButtonDown(down);
    TMessage up{WM_LBUTTONUP, 0, lp, 0};
    h->WMLButtonUp(up);
  };
  struct Step {
    bool autoSortOnClick;
    Dir direction;
    const char16_t* order;
  } steps[] = {
      {true, Dir::esdAscending, u"abcde"},
      {true, Dir::esdDescending, u"edcba"},
      {false, Dir::esdAscending, u"edcba"},  // the column does not sort on a click
      {true, Dir::esdDescending, u"edcba"},
      {true, Dir::esdAscending, u"abcde"},
  };
  for (const Step& s : steps) {
    col->SetAutoSortOnClick(s.autoSortOnClick);
    click({50, 10});
    EXPECT_EQ(col->GetSortDirection(), s.direction);
    EXPECT_EQ(order(), String(s.order));
  }
}

}  // namespace
}  // namespace lvtest
