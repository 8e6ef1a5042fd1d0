// Collections: walks across groups, deletion and focus, storage variants, columns and groups.
#include "ListviewTestUtil.h"

namespace lvtest {
namespace {

class CollectionsTest : public ListviewTest {
protected:
  void SetUp() override {
    ListviewTest::SetUp();
    MakeList();
  }
  // Groups "G0".."Gn", each with the named items.
  void Build(const std::vector<std::vector<const char16_t*>>& groups) {
    LV->BeginUpdate();
    for (size_t g = 0; g < groups.size(); ++g) {
      TEmberGroup* group = LV->GetGroups()->Add();
      group->SetCaption(u"G" + String(1, static_cast<Char>(u'0' + g)));
      for (const char16_t* c : groups[g]) group->GetItems()->Add()->SetCaption(c);
    }
    LV->EndUpdate();
  }
  TEmberItem* Item(const char16_t* caption) {
    TEmberGroups* gs = LV->GetGroups();
    for (TEmberItem* i = gs->FirstItem(); i; i = gs->NextItem(i))
      if (i->GetCaption() == caption) return i;
    return nullptr;
  }
  // Every item from `from` on through the walk.
  std::string Walk(TEmberItem* from, TEmberItem* (TEmberGroups::*step)(TEmberItem*) const) {
    std::string out;
    for (TEmberItem* i = (LV->GetGroups()->*step)(from); i; i = (LV->GetGroups()->*step)(i)) out += Name(i);
    return out;
  }
};

TEST_F(CollectionsTest, WalksPassOverCollapsedAndDisabledGroups) {
  Build({{u"a", u"b"}, {u"c", u"d"}, {u"e"}, {u"f", u"g"}});
  LV->GetGroups()->GetGroup(1)->SetExpanded(false);
  LV->GetGroups()->GetGroup(2)->SetEnabled(false);
  Item(u"g")->SetVisible(false);
  Item(u"a")->SetInitialized(true);
  Item(u"f")->SetInitialized(true);
  TEmberGroups* gs = LV->GetGroups();
  EXPECT_EQ(Walk(Item(u"a"), &TEmberGroups::NextItem), "bfg");
  EXPECT_EQ(Walk(Item(u"a"), &TEmberGroups::NextVisibleItem), "bf");
  EXPECT_EQ(Walk(Item(u"g"), &TEmberGroups::PrevVisibleItem), "fba");
  EXPECT_EQ(Walk(Item(u"a"), &TEmberGroups::NextInitializedItem), "f");
  // A collapsed group passed over backwards continues at the last item before it.
  EXPECT_EQ(Name(gs->PrevVisibleItem(Item(u"f"))), "b");
  EXPECT_EQ(gs->PrevVisibleItem(Item(u"a")), nullptr);
  // The first and last walks look at every group.
  EXPECT_EQ(Name(gs->LastVisibleItem()), "f");
  EXPECT_EQ(Name(gs->LastItem()), "g");
  EXPECT_EQ(Name(gs->LastInitializedItem()), "f");
  EXPECT_EQ(Name(gs->FirstInitializedItem()), "a");
  // Editable: visible items the edit-begin handler allows.
  LV->OnItemEditBegin = [](TCustomEmberListview*, TEmberItem* i, Integer&, bool& allow) { allow = i->GetCaption() != u"b"; };
  EXPECT_EQ(Walk(Item(u"a"), &TEmberGroups::NextEditableItem), "f");
  // A visible but collapsed group is no next visible group.
  EXPECT_EQ(gs->NextVisibleGroup(gs->GetGroup(0)), gs->GetGroup(2));
}

TEST_F(CollectionsTest, DeletingTheFocusedItemMovesTheFocusOn) {
  Build({{u"a", u"b"}, {u"c"}});
  LogStateEvents(LV, Log);
  TEmberItems* items = LV->GetGroups()->GetGroup(0)->GetItems();
  Item(u"b")->SetFocused(true);
  Log.Clear();
  items->Delete(1);  // b: the next visible item in group order is c
  EXPECT_TRUE(Item(u"c")->GetFocused());
  EXPECT_EQ(LV->GetSelection()->GetFocusedItem(), Item(u"c"));
  EXPECT_EQ(Log.With("Focus"), (std::vector<std::string>{"FocusChanged:b", "FocusChanging:c", "FocusChanged:c"}));
  // The last one hands the focus back.
  LV->GetGroups()->GetGroup(1)->GetItems()->Delete(0);
  EXPECT_TRUE(Item(u"a")->GetFocused());
  EXPECT_EQ(Item(u"a")->GetIndex(), 0);
}

TEST_F(CollectionsTest, DeletingWhileTheControlGoesMovesNoFocus) {
  Build({{u"a", u"b"}});
  Item(u"a")->SetFocused(true);
  int focusGained = 0;
  LV->OnItemFocusChanging = [&](TCustomEmberListview*, TEmberItem*, bool&) { ++focusGained; };
  Made.clear();
  pf::FreeAndNil(Form);
  EXPECT_EQ(focusGained, 0);
}

TEST_F(CollectionsTest, AddingAndInsertingByClass) {
  Build({{u"a"}});
  TEmberItems* items = LV->GetGroups()->GetGroup(0)->GetItems();
  EXPECT_EQ(items->AddCustom(nullptr), nullptr);
  EXPECT_EQ(items->InsertCustom(0, nullptr), nullptr);
  EXPECT_EQ(items->AddCustom(&TEmberGroupStored::StaticClass()), nullptr);  // not an item class
  EXPECT_EQ(items->GetCount(), 1);
  TEmberItem* last = items->InsertCustom(1, &TEmberItemVirtual::StaticClass());
  TEmberItem* first = items->InsertCustom(0, &TAppItem::StaticClass());
  EXPECT_EQ(items->GetItem(2), last);
  EXPECT_EQ(first->GetIndex(), 0);
  EXPECT_EQ(last->GetIndex(), 2);
  EXPECT_EQ(items->GetItemClass(), &TEmberItemStored::StaticClass());  // the collection's own class stays
  // The flat access adds to the last group.
  LV->GetGroups()->Add();
  TEmberItem* flat = LV->GetItems()->Add();
  EXPECT_EQ(flat->GetOwnerGroup(), LV->GetGroups()->GetGroup(1));
  EXPECT_EQ(LV->GetItems()->GetCount(), 4);
}

TEST_F(CollectionsTest, ReplacingAnEntryFreesTheOldAndTakesOnlyAFreeObject) {
  Build({{u"a", u"b"}});
  TEmberGroup* g = LV->GetGroups()->GetGroup(0);
  std::vector<std::string> freed;
  LV->OnItemFreeing = [&](TCustomEmberListview*, TEmberItem* i) { freed.push_back(Name(i)); };
  g->SetItem(0, g->GetItem(1));  // belongs to a collection already
  g->SetItem(5, g->GetItem(1));  // out of range
  EXPECT_EQ(g->GetItemCount(), 2);
  EXPECT_TRUE(freed.empty());
  TEmberItem* loose = TEmberItemStored::New(static_cast<TEmberCollection*>(nullptr));
  loose->SetCaption(u"x");
  g->GetItem(0)->SetSelected(true);
  g->SetItem(0, loose);
  EXPECT_EQ(freed, (std::vector<std::string>{"a"}));
  EXPECT_EQ(LV->GetSelection()->GetCount(), 0);
  EXPECT_EQ(g->GetItem(0), loose);
  EXPECT_EQ(loose->GetOwnerGroup(), g);
  EXPECT_EQ(loose->GetIndex(), 0);
}

TEST_F(CollectionsTest, ReIndexingHeldBackCatchesUpWhenReleased) {
  Build({{u"a", u"b", u"c"}});
  TEmberItems* items = LV->GetGroups()->GetGroup(0)->GetItems();
  LV->GetItems()->SetReIndexDisable(true);
  items->InsertCustom(0, &TEmberItemStored::StaticClass())->SetCaption(u"z");
  // The index fields wait, but an index asked for is still right.
  EXPECT_EQ(Item(u"c")->IndexField(), 2);
  EXPECT_EQ(Item(u"c")->GetIndex(), 3);
  LV->GetItems()->SetReIndexDisable(false);
  EXPECT_EQ(Item(u"c")->IndexField(), 3);
  EXPECT_EQ(Item(u"c")->GetIndex(), 3);
  EXPECT_EQ(Item(u"z")->GetIndex(), 0);
}

TEST_F(CollectionsTest, StoredItemsAnswerDefaultsAndGrowTheirArrays) {
  Build({{u""}});
  TEmberItem* i = LV->GetGroups()->GetGroup(0)->GetItem(0);
  EXPECT_EQ(i->GetCaptions(7), u"");
  EXPECT_EQ(i->GetImageIndexes(3), -1);
  EXPECT_EQ(i->GetStateImageIndexes(3), -1);
  EXPECT_EQ(i->GetDetail(2), 0);
  EXPECT_EQ(i->GetGroupKey(1), 65535u);
  i->SetCaptions(3, u"d");
  EXPECT_EQ(i->GetCaptions(2), u"");
  EXPECT_EQ(i->GetCaptions(3), u"d");
  // A negative column reads the default and writes nothing.
  i->SetCaptions(-1, u"x");
  i->SetImageIndexes(-2, 9);
  EXPECT_EQ(i->GetCaptions(-1), u"");
  EXPECT_EQ(i->GetImageIndexes(-2), -1);
  // The detail count is the control's, shared by every stored item.
  TEmberItem* j = LV->GetItems()->Add();
  i->SetDetailCount(3);
  EXPECT_EQ(j->GetDetailCount(), 3);
}

TEST_F(CollectionsTest, VirtualItemsAskTheControl) {
  Build({{}});
  TEmberItems* items = LV->GetGroups()->GetGroup(0)->GetItems();
  TEmberItem* v = items->AddCustom(&TEmberItemVirtual::StaticClass());
  EXPECT_EQ(v->GetCaption(), u"");
  EXPECT_EQ(v->GetImageIndex(), -1);
  EXPECT_EQ(v->GetDetailCount(), 0);
  LV->OnItemGetCaption = [](TCustomEmberListview*, TEmberItem*, Integer column, WideString& c) {
    c = u"col" + String(1, static_cast<Char>(u'0' + column));
  };
  std::vector<std::pair<Integer, TEmberImageKind>> asked;
  LV->OnItemGetImageIndex = [&](TCustomEmberListview*, TEmberItem*, Integer column, TEmberImageKind kind, Integer& i) {
    asked.push_back({column, kind});
    i = 4;
  };
  EXPECT_EQ(v->GetCaptions(2), u"col2");
  EXPECT_EQ(v->GetImageOverlayIndexes(1), 4);
  EXPECT_EQ(v->GetStateImageIndex(), 4);
  EXPECT_EQ(asked, (std::vector<std::pair<Integer, TEmberImageKind>>{{1, TEmberImageKind::eikOverlay},
                                                                     {0, TEmberImageKind::eikState}}));
  TEmberGroup* gv = TEmberGroupVirtual::New(static_cast<TEmberCollection*>(nullptr));
  LV->GetGroups()->SetGroup(0, gv);
  EXPECT_EQ(LV->GetGroups()->GetGroup(0), gv);
  EXPECT_EQ(gv->GetImageOverlayIndex(), -1);
}

// A data object that answers captions only.
class CaptionData : public IEmberCaptionQuery {
public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (iid == IUnknown::Iid || iid == IEmberCaptionQuery::Iid) {
      *out = static_cast<IEmberCaptionQuery*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++Refs; }
  ULONG Release() override { return --Refs; }
  Variant Caption(Integer Column) override { return Variant(u"data" + String(1, static_cast<Char>(u'0' + Column))); }
  ULONG Refs{0};
};

TEST_F(CollectionsTest, InterfacedItemsAskTheirDataObject) {
  Build({{}});
  TEmberItem* item = LV->GetGroups()->GetGroup(0)->GetItems()->AddCustom(&TEmberItemInterfaced::StaticClass());
  EXPECT_EQ(item->GetCaption(), u"");  // no data object: the defaults
  EXPECT_EQ(item->GetDetailCount(), 1);
  CaptionData data;
  item->SetDataInf(&data);
  EXPECT_EQ(data.Refs, 1u);
  EXPECT_EQ(item->GetCaptions(1), u"data1");
  EXPECT_EQ(item->GetImageIndex(), -1);
  EXPECT_EQ(item->GetDetailCount(), 1);
  item->SetCaption(u"dropped");  // no update interface: the write is dropped
  EXPECT_EQ(item->GetCaption(), u"data0");
  EXPECT_FALSE(item->GetChecked());
  LV->GetGroups()->GetGroup(0)->GetItems()->Clear();
  EXPECT_EQ(data.Refs, 0u);
}

TEST_F(CollectionsTest, ColumnPositionsStayAPermutation) {
  TEmberColumns* cols = LV->GetHeader()->GetColumns();
  for (const char16_t* c : {u"a", u"b", u"c"}) cols->Add()->SetCaption(c);
  auto order = [&] {
    std::string out;
    for (Integer i = 0; i < cols->GetCount(); ++i) out += std::to_string(cols->GetColumn(i)->GetPosition());
    return out;
  };
  EXPECT_EQ(order(), "012");
  int structure = 0;
  LV->OnColumnStructureChange = [&](TObject*) { ++structure; };
  cols->GetColumn(1)->SetPosition(10);
  EXPECT_EQ(order(), "021");
  cols->GetColumn(2)->SetPosition(-5);
  EXPECT_EQ(order(), "120");
  cols->GetColumn(2)->SetPosition(0);  // the same place still announces the structure
  EXPECT_EQ(structure, 3);
  EXPECT_EQ(LV->GetHeader()->Positions().front(), cols->GetColumn(2));
  cols->GetColumn(0)->SetWidth(-1);
  EXPECT_EQ(cols->GetColumn(0)->GetWidth(), 0);
}

TEST_F(CollectionsTest, GroupsExpandOnlyWhenExpandableAndInOrder) {
  Build({{u"a"}});
  TEmberGroup* g = LV->GetGroups()->GetGroup(0);
  LogStateEvents(LV, Log);
  int begins = 0;
  LV->OnBeginUpdate = [&](TObject*) { Log.Add("BeginUpdate"); ++begins; };
  LV->OnEndUpdate = [&](TObject*) { Log.Add("EndUpdate"); };
  std::vector<DWORD> notices;
  pf::oleacc::testing::SetWinEventRecorder([&](DWORD e, HWND, LONG, LONG) { Log.Add("Notice:" + std::to_string(e)); });
  g->SetExpanded(true);  // already expanded
  EXPECT_TRUE(Log.Lines.empty());
  LV->GetPaintInfoGroup()->SetExpandable(false);
  // Switched off, Expandable expands every group inside one update, though none is collapsed.
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"BeginUpdate", "EndUpdate"}));
  Log.Clear();
  g->SetExpanded(false);
  EXPECT_TRUE(g->GetExpanded());
  EXPECT_TRUE(Log.Lines.empty());
  LV->GetPaintInfoGroup()->SetExpandable(true);
  g->SetExpanded(false);
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"BeginUpdate", "Notice:32778", "GroupCollapse:G0", "EndUpdate"}));
  EXPECT_EQ(g->GetVisibleCount(), 0);
  g->SetExpanded(true);
  EXPECT_EQ(g->GetVisibleCount(), 1);
}

// A margin that shows has its rectangle even at size 0; one that does not show has none.
TEST_F(CollectionsTest, GroupMarginRectanglesFollowWhatShows) {
  Build({{u"a"}});
  TEmberGroup* g = LV->GetGroups()->GetGroup(0);
  TEmberPaintInfoBaseGroup* info = LV->GetPaintInfoGroup();
  for (auto [margin, size] : {std::pair<TEmberMargin*, Integer>{info->GetMarginTop(), 30},
                              {info->GetMarginBottom(), 20}, {info->GetMarginLeft(), 10}, {info->GetMarginRight(), 0}}) {
    margin->SetVisible(true);
    margin->SetSize(size);
  }
  struct Case {
    bool show;
    TRect top, bottom, left, right, client;
  } cases[] = {
      {true, {10, 100, 400, 130}, {10, 280, 400, 300}, {0, 100, 10, 300}, {400, 100, 400, 300}, {10, 130, 400, 280}},
      {false, {}, {}, {}, {}, {0, 100, 400, 300}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.show);
    LV->SetShowGroupMargins(c.show);
    g->SetDisplayRect(TRect{0, 100, 400, 300});
    EXPECT_EQ(g->GetBoundsRectTopMargin(), c.top);
    EXPECT_EQ(g->GetBoundsRectBottomMargin(), c.bottom);
    EXPECT_EQ(g->GetBoundsRectLeftMargin(), c.left);
    EXPECT_EQ(g->GetBoundsRectRightMargin(), c.right);
    EXPECT_EQ(g->GetClientRect(), c.client);
    EXPECT_EQ(g->GetBoundsRectBkGnd(), c.client);
  }
}

// Groups stacked by hand: G0 0-100, G1 hidden, G2 empty 100-130, G3 130-230, G4 230-330.
TEST_F(CollectionsTest, GroupsInARectangleAndUnderAPoint) {
  Build({{u"a"}, {u"b"}, {}, {u"c"}, {u"d"}});
  TEmberGroups* gs = LV->GetGroups();
  gs->GetGroup(1)->SetVisible(false);
  const TRect places[] = {{0, 0, 400, 100}, {}, {0, 100, 400, 130}, {0, 130, 400, 230}, {0, 230, 400, 330}};
  for (Integer g = 0; g < 5; ++g) gs->GetGroup(g)->SetDisplayRect(places[g]);
  const TRect inG3{0, 150, 400, 200};
  EXPECT_EQ(Name(gs->FirstGroupInRect(inG3)), "G3");
  const std::pair<Integer, const char*> next[] = {
      {0, "G2"},  // the next visible group has no items
      {1, "G2"},  // from a hidden group: the visible groups after it
      {2, "G3"},
      {3, "nil"},  // G4 neither meets the rectangle nor is empty
  };
  for (const auto& [from, expected] : next) EXPECT_EQ(Name(gs->NextGroupInRect(gs->GetGroup(from), inG3)), expected) << from;
  EXPECT_EQ(Name(gs->GroupByPoint(TPoint{10, 160})), "G3");
  EXPECT_EQ(Name(gs->GroupByPoint(TPoint{10, 100})), "G2");
  EXPECT_EQ(Name(gs->GroupByPoint(TPoint{10, 330})), "nil");
  gs->GetGroup(3)->SetEnabled(false);
  EXPECT_EQ(Name(gs->GroupByPoint(TPoint{10, 160})), "nil");
}

TEST_F(CollectionsTest, GridPositionsFollowTheFillingOrder) {
  Build({{u"0", u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9"}});
  LV->GetCellSizes()->GetIcon()->SetWidth(120);  // (400 - 1 - 17) div 120: three columns
  TEmberItem* seven = Item(u"7");
  EXPECT_EQ(seven->GetColumnPos(), 1);
  EXPECT_EQ(seven->GetRowPos(), 2);
  LV->SetView(TEmberListStyle::elsList);  // filled column by column
  const Integer rows = LV->GetGroups()->GetGroup(0)->GetGrid()->GetRowCount();
  ASSERT_GT(rows, 0);
  EXPECT_EQ(seven->GetColumnPos(), 7 / rows);
  EXPECT_EQ(seven->GetRowPos(), 7 % rows);
  seven->SetVisible(false);
  EXPECT_EQ(seven->GetColumnPos(), -1);
}

TEST_F(CollectionsTest, AnItemBorderColourKeepsSystemColours) {
  Build({{u"a"}});
  TEmberItem* i = Item(u"a");
  i->SetBorderColor(clWindow);
  EXPECT_EQ(i->GetBorderColor(), clWindow);
  i->SetCaptionIndent(-4);
  EXPECT_EQ(i->GetCaptionIndent(), 0);
  EXPECT_EQ(LV->GetPaintInfoItem()->GetCaptionIndent(), 0);  // shared settings
}

TEST_F(CollectionsTest, SelectionGroupsLiveWhileAMemberHoldsThem) {
  Build({{u"a", u"b"}});
  TEmberSelectionGroupList* list = TEmberSelectionGroupList::New();
  const int64_t live = TObject::LiveObjects();
  list->IncRef();
  list->IncRef();
  Item(u"a")->SetSelectionGroup(list);
  Item(u"b")->SetSelectionGroup(list);
  Item(u"a")->SetSelectionGroup(list);  // the same group again changes no count
  EXPECT_EQ(list->GetRefCount(), 2);
  Item(u"a")->ReleaseSelectionGroup();
  EXPECT_EQ(TObject::LiveObjects(), live);
  Item(u"b")->ReleaseSelectionGroup();
  EXPECT_EQ(TObject::LiveObjects(), live - 1);
}

}  // namespace
}  // namespace lvtest
