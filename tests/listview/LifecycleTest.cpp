// Construction and destruction order, the update cycle and the rebuild it ends with.
#include "ListviewTestUtil.h"

namespace lvtest {
namespace {

EventLog* gLog = nullptr;
void Note(const std::string& s) {
  if (gLog) gLog->Add(s);
}

class SpyGroupPaint : public TEmberPaintInfoGroup {
  PF_CLASS(SpyGroupPaint)
protected:
  void Destroy() override {
    Note("free group paint");
    TEmberPaintInfoGroup::Destroy();
  }
};
class SpyItemPaint : public TEmberPaintInfoItem {
  PF_CLASS(SpyItemPaint)
protected:
  void Destroy() override {
    Note("free item paint");
    TEmberPaintInfoItem::Destroy();
  }
};
class SpyColumnPaint : public TEmberPaintInfoColumn {
  PF_CLASS(SpyColumnPaint)
protected:
  void Destroy() override {
    Note("free column paint");
    TEmberPaintInfoColumn::Destroy();
  }
};
class SpyGroups : public TEmberGroups {
  PF_CLASS(SpyGroups)
protected:
  void Destroy() override {
    Note("free groups");
    TEmberGroups::Destroy();
  }
};

class SpyListview : public TEmberListview {
  PF_CLASS(SpyListview)
public:
  TEmberPaintInfoBaseColumn* CreateColumnPaintInfo() override {
    Note("make column paint");
    return SpyColumnPaint::New(this);
  }
  TEmberPaintInfoBaseGroup* CreateGroupPaintInfo() override {
    Note("make group paint");
    return SpyGroupPaint::New(this);
  }
  TEmberGroups* CreateGroups() override {
    Note("make groups");
    return SpyGroups::New(this);
  }
  TEmberPaintInfoBaseItem* CreateItemPaintInfo() override {
    Note("make item paint");
    return SpyItemPaint::New(this);
  }
};

class LifecycleTest : public ListviewTest {
protected:
  void SetUp() override {
    ListviewTest::SetUp();
    gLog = &Log;
  }
  void TearDown() override {
    gLog = nullptr;
    ListviewTest::TearDown();
  }
};

TEST_F(LifecycleTest, ManagersComeAndGoInOrderAndNothingIsLeft) {
  const int64_t live = TObject::LiveObjects();
  SpyListview* lv = SpyListview::New(Form);
  lv->SetParent(Form);
  lv->SetBounds(0, 0, 300, 200);
  lv->HandleNeeded();
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"make group paint", "make item paint", "make column paint",
                                                 "make group paint", "make groups"}));
  EXPECT_EQ(lv->GetView(), TEmberListStyle::elsIcon);
  EXPECT_EQ(lv->GetDisabledBlendAlpha(), 128);
  EXPECT_EQ(lv->GetDisabledBlendColor(), clWindow);
  EXPECT_TRUE(lv->GetShowImages());
  EXPECT_FALSE(lv->GetShowGroupMargins());
  EXPECT_EQ(lv->GetWheelMouseDefaultScroll(), TEmberDefaultWheelScroll::edwsVert);

  lv->GetSelection()->SetMultiSelect(true);
  TEmberGroup* g = lv->GetGroups()->Add();
  g->SetCaption(u"G");
  for (const char16_t* c : {u"A", u"B"}) {
    TEmberItem* i = g->GetItems()->AddCustom(&TAppItem::StaticClass());
    i->SetCaption(c);
    i->SetSelected(true);
    i->SetChecked(true);
  }
  g->GetItem(0)->SetFocused(true);
  lv->GetHeader()->GetColumns()->Add()->SetCaption(u"C");

  Log.Clear();
  lv->OnItemFreeing = [&](TCustomEmberListview* s, TEmberItem* i) {
    Log.Add("item freeing " + Name(i) + (s->HandleAllocated() ? " with window" : " without window"));
  };
  lv->OnGroupFreeing = [&](TCustomEmberListview*, TEmberGroup* gr) { Log.Add("group freeing " + Name(gr)); };
  lv->OnColumnFreeing = [&](TCustomEmberListview*, TEmberColumn* c) { Log.Add("column freeing " + Name(c)); };
  for (auto* ev : {&lv->OnItemSelectionChanged, &lv->OnItemCheckChange, &lv->OnItemVisibilityChanged})
    *ev = [&](TCustomEmberListview*, TEmberItem*) { Log.Add("change notice while destroying"); };
  lv->OnItemSelectionsChanged = [&](TCustomEmberListview*) { Log.Add("change notice while destroying"); };
  lv->Free();
  EXPECT_EQ(Log.Lines,
            (std::vector<std::string>{"item freeing B with window", "item freeing A with window", "group freeing G",
                                      "column freeing C", "free group paint", "free group paint", "free item paint",
                                      "free column paint", "free groups"}));
  EXPECT_EQ(TObject::LiveObjects(), live);
}

TEST_F(LifecycleTest, TenNestedUpdatesAnnounceEachStructureChangeOnceInOrder) {
  MakeList();
  LogStateEvents(LV, Log);
  int rebuilds = 0;
  LV->OnCustomGrid = [&](TCustomEmberListview*, TEmberGroup*, TEmberListStyle, const TEmberGridGroupClass*&) { ++rebuilds; };
  for (int i = 0; i < 10; ++i) LV->BeginUpdate();
  TEmberGroup* g = LV->GetGroups()->Add();
  for (int i = 0; i < 1000; ++i) g->GetItems()->Add();
  LV->GetHeader()->GetColumns()->Add();
  for (int i = 0; i < 9; ++i) LV->EndUpdate();
  EXPECT_TRUE(Log.Lines.empty());
  EXPECT_EQ(rebuilds, 0);
  LV->EndUpdate();
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"ColumnStructureChange", "GroupStructureChange", "ItemStructureChange"}));
  // One layout at the end: the grid was asked for once.
  EXPECT_EQ(rebuilds, 1);
  EXPECT_EQ(g->GetVisibleCount(), 1000);
  EXPECT_EQ(g->GetItem(999)->GetIndex(), 999);
  EXPECT_EQ(g->GetItem(999)->GetVisibleIndexInGroup(), 999);
}

TEST_F(LifecycleTest, AnUnbalancedEndUpdateStaysAtZeroAndCompletesEachTime) {
  MakeList();
  int ends = 0;
  LV->OnEndUpdate = [&](TObject*) { ++ends; };
  LV->BeginUpdate();
  LV->EndUpdate();
  LV->EndUpdate();
  EXPECT_EQ(LV->GetUpdateCount(), 0);
  EXPECT_EQ(ends, 2);
  LV->BeginUpdate();
  EXPECT_EQ(LV->GetUpdateCount(), 1);
  LV->EndUpdate();
}

TEST_F(LifecycleTest, NothingIsLaidOutBeforeTheWindowExists) {
  MakeList(false);
  TEmberItem* a = LV->GetItems()->Add();
  EXPECT_EQ(LV->GetGroups()->GetGroup(0)->GetVisibleCount(), 0);
  EXPECT_EQ(a->GetDisplayRect(), TRect{});
  EXPECT_EQ(a->GetColumnPos(), -1);
  LV->HandleNeeded();
  EXPECT_EQ(LV->GetGroups()->GetGroup(0)->GetVisibleCount(), 1);
  EXPECT_EQ(a->GetDisplayRect(), (TRect{0, 0, 75, 75}));
}

TEST_F(LifecycleTest, ARebuildStartedFromInsideARebuildDoesNothing) {
  MakeList();
  LV->GetGroups()->Add();
  LV->GetGroups()->Add();
  int asked = 0;
  LV->OnCustomGrid = [&](TCustomEmberListview* s, TEmberGroup*, TEmberListStyle, const TEmberGridGroupClass*&) {
    ++asked;
    EXPECT_TRUE(s->GetGroups()->Rebuilding());
    s->GetGroups()->Rebuild(true);
  };
  LV->GetGroups()->Rebuild(true);
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(LV->GetGroups()->Rebuilding());
}

TEST_F(LifecycleTest, AHandlerThatRaisesDoesNotLeaveTheControlInAnUpdate) {
  MakeList();
  TEmberGroup* g = LV->GetGroups()->Add();
  LV->OnGroupCollapse = [](TCustomEmberListview*, TEmberGroup*) { throw EAbortTest(); };
  EXPECT_THROW(g->SetExpanded(false), EAbortTest);
  EXPECT_EQ(LV->GetUpdateCount(), 0);
}

TEST_F(LifecycleTest, SettingTheViewRebuildsAndSetsTheWheelDirection) {
  MakeList();
  int changes = 0;
  LV->OnViewChange = [&](TCustomEmberListview*) { ++changes; };
  LV->SetView(TEmberListStyle::elsIcon);
  EXPECT_EQ(changes, 0);
  const std::pair<TEmberListStyle, TEmberDefaultWheelScroll> table[] = {
      {TEmberListStyle::elsList, TEmberDefaultWheelScroll::edwsHorz},
      {TEmberListStyle::elsThumbnail, TEmberDefaultWheelScroll::edwsVert},
      {TEmberListStyle::elsFilmStrip, TEmberDefaultWheelScroll::edwsHorz},
      {TEmberListStyle::elsReport, TEmberDefaultWheelScroll::edwsVert},
  };
  for (auto [view, wheel] : table) {
    LV->SetWheelMouseDefaultScroll(wheel == TEmberDefaultWheelScroll::edwsVert ? TEmberDefaultWheelScroll::edwsHorz
                                                                             : TEmberDefaultWheelScroll::edwsVert);
    LV->SetView(view);
    EXPECT_EQ(LV->GetWheelMouseDefaultScroll(), wheel);
  }
  EXPECT_EQ(changes, 4);
}

TEST_F(LifecycleTest, ReplacingTheBackgroundWithItselfKeepsIt) {
  MakeList();
  TEmberBackgroundManager* bg = LV->GetBackGround();
  bg->SetCaption(u"empty");
  LV->SetBackGround(bg);
  EXPECT_EQ(LV->GetBackGround()->GetCaption(), u"empty");
}

}  // namespace
}  // namespace lvtest
