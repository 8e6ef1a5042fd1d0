#include "ListviewTestUtil.h"

#include "common/CommonUnits.h"
#include "platform/user/guimain/GuiTest.h"

namespace lvtest {

namespace {
struct UnitStart {
  UnitStart() {
    // The common library's units start before the list view's, as in the program.
    guitest::OnStage(guitest::Stage::BeforeUnits, [] { common::RegisterCommonUnits(); });
    guitest::OnStage(guitest::Stage::AfterUnits, [] {
      common::InitializeCommonObjects();
      InitializeEmberListview();
      RegisterClass(TAppItem::StaticClass());
    });
    guitest::OnStage(guitest::Stage::BeforeFinish, [] {
      FinalizeEmberListview();
      common::FinalizeCommonObjects();
    });
  }
} unitStart;
}  // namespace

std::string Name(TEmberCollectionItem* obj) {
  if (!obj) return "nil";
  String c = obj->GetCaption();
  return std::string(c.begin(), c.end());
}

std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string Bytes(std::string_view hex) {
  std::string out;
  int nibble = -1;
  for (char c : hex) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    if (v < 0) continue;
    if (nibble < 0) {
      nibble = v;
    } else {
      out += static_cast<char>(nibble * 16 + v);
      nibble = -1;
    }
  }
  return out;
}

std::string NameField(const std::string& name) {
  std::string out(4, '\0');
  out[0] = static_cast<char>(name.size());
  return out + name;
}

void LogStateEvents(TCustomEmberListview* lv, EventLog& log) {
  auto item = [&log](const char* what) {
    return [&log, what](TCustomEmberListview*, TEmberItem* i) { log.Add(std::string(what) + ":" + Name(i)); };
  };
  auto asked = [&log](const char* what) {
    return [&log, what](TCustomEmberListview*, TEmberItem* i, bool&) { log.Add(std::string(what) + ":" + Name(i)); };
  };
  lv->OnItemCheckChange = item("CheckChange");
  lv->OnItemCheckChanging = asked("CheckChanging");
  lv->OnItemEnableChange = item("EnableChange");
  lv->OnItemEnableChanging = asked("EnableChanging");
  lv->OnItemFocusChanged = item("FocusChanged");
  lv->OnItemFocusChanging = asked("FocusChanging");
  lv->OnItemSelectionChanged = item("SelectionChanged");
  lv->OnItemSelectionChanging = asked("SelectionChanging");
  lv->OnItemVisibilityChanged = item("VisibilityChanged");
  lv->OnItemVisibilityChanging = asked("VisibilityChanging");
  lv->OnItemFreeing = item("ItemFreeing");
  lv->OnItemSelectionsChanged = [&log](TCustomEmberListview*) { log.Add("SelectionsChanged"); };
  lv->OnGroupVisibilityChanged = [&log](TCustomEmberListview*, TEmberGroup* g) { log.Add("GroupVisibilityChanged:" + Name(g)); };
  lv->OnGroupFreeing = [&log](TCustomEmberListview*, TEmberGroup* g) { log.Add("GroupFreeing:" + Name(g)); };
  lv->OnGroupExpand = [&log](TCustomEmberListview*, TEmberGroup* g) { log.Add("GroupExpand:" + Name(g)); };
  lv->OnGroupCollapse = [&log](TCustomEmberListview*, TEmberGroup* g) { log.Add("GroupCollapse:" + Name(g)); };
  lv->OnColumnFreeing = [&log](TCustomEmberListview*, TEmberColumn* c) { log.Add("ColumnFreeing:" + Name(c)); };
  lv->OnItemStructureChange = [&log](TCustomEmberListview*) { log.Add("ItemStructureChange"); };
  lv->OnGroupStructureChange = [&log](TCustomEmberListview*) { log.Add("GroupStructureChange"); };
  lv->OnColumnStructureChange = [&log](TObject*) { log.Add("ColumnStructureChange"); };
}

void ListviewTest::SetUp() {
  Form = TForm::New(nullptr);
  Form->SetClientWidth(400);
  Form->SetClientHeight(300);
}

void ListviewTest::TearDown() {
  pf::oleacc::testing::SetWinEventRecorder(nullptr);
  // Handlers that count into a test's locals must not run once the test is over.
  for (TEmberListview* lv : Made) {
#define LVTEST_CLEAR(Name, ...) lv->On##Name = nullptr;
    EMBER_EVENTS(LVTEST_CLEAR, LVTEST_CLEAR)
#undef LVTEST_CLEAR
    lv->OnBeginUpdate = nullptr;
    lv->OnEndUpdate = nullptr;
    lv->OnColumnStructureChange = nullptr;
    lv->OnItemCompare = nullptr;
    lv->OnGroupCompare = nullptr;
    lv->OnIncrementalSearch = nullptr;
  }
  pf::FreeAndNil(Form);
}

TEmberListview* ListviewTest::MakeList(bool withWindow, TEmberListview* lv) {
  LV = lv ? lv : TEmberListview::New(Form);
  Made.push_back(LV);
  LV->SetParent(Form);
  LV->SetBounds(0, 0, 400, 300);
  // Geometry is measured in a client area the size of the control: no themed frame around it.
  LV->SetShowThemedBorder(false);
  if (withWindow) {
    LV->HandleNeeded();
    EXPECT_TRUE(LV->HandleAllocated());
  }
  return LV;
}

}  // namespace lvtest
