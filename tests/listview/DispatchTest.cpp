// Every dispatcher reaches its handler, and the ones the table marks stay silent while the control
// is being destroyed; the defaults of the dispatchers that have one.
#include <map>
#include <set>
#include <thread>
#include <tuple>

#include "ListviewTestUtil.h"
#include "platform/gdi/Bitmap.h"
#include "platform/user/guimain/GuiTest.h"

namespace lvtest {
namespace {

template <class... A>
void CallWithDefaults(TCustomEmberListview* lv, void (TCustomEmberListview::*fn)(A...)) {
  std::tuple<std::decay_t<A>...> args{};
  std::apply([&](auto&... a) { (lv->*fn)(a...); }, args);
}

// Calls every dispatcher once and names those whose handler ran.
std::set<std::string> Reached(TCustomEmberListview* lv) {
  std::set<std::string> out;
#define LVTEST_CALL(Name, ...)                                          \
  lv->On##Name = [&out](auto&&...) { out.insert(#Name); };             \
  CallWithDefaults(lv, &TCustomEmberListview::Do##Name);                \
  lv->On##Name = nullptr;
  EMBER_EVENTS(LVTEST_CALL, LVTEST_CALL)
#undef LVTEST_CALL
  return out;
}

std::set<std::string> gWhileDestroying;

class DyingListview : public TEmberListview {
  PF_CLASS(DyingListview)
protected:
  void Destroy() override {
    gWhileDestroying = Reached(this);
    TEmberListview::Destroy();
  }
};

TEST(DispatchTest, ChangeNoticesAreSkippedWhileTheControlIsDestroyed) {
  DyingListview* lv = DyingListview::New(nullptr);
  const std::set<std::string> all = Reached(lv);
  lv->Free();
  // The Part's table: the change and changing notices of checks, enabling, focus, selection, sizes
  // and visibility, and the group collapse questions.
  const std::set<std::string> skipped = {
      "ColumnCheckChanged", "ColumnCheckChanging", "ColumnEnableChanged", "ColumnEnableChanging",
      "ColumnFocusChanged", "ColumnFocusChanging", "ColumnSelectionChanged", "ColumnSelectionChanging",
      "ColumnSizeChanged", "ColumnSizeChanging", "GroupCollapse", "GroupCollapsing", "GroupVisibilityChanged",
      "GroupVisibilityChanging", "ItemCheckChange", "ItemCheckChanging", "ItemSelectionChanged",
      "ItemSelectionChanging", "ItemVisibilityChanged", "ItemVisibilityChanging", "ItemSelectionsChanged"};
  std::set<std::string> silent;
  for (const auto& n : all)
    if (!gWhileDestroying.count(n)) silent.insert(n);
  EXPECT_EQ(silent, skipped);
  // Every dispatcher reaches its handler otherwise, except the hot-track one while hot tracking is off.
  EXPECT_EQ(all.count("ItemHotTrack"), 0u);
  EXPECT_GT(all.size(), 140u);
}

TEST_F(ListviewTest, DispatchersWithDefaultsOfTheirOwn) {
  MakeList();
  // Without a handler a new group is made.
  TEmberGroup* g = nullptr;
  bool doDefault = true;
  LV->DoAutoSortGroupCreate(nullptr, 0, LV->GetGroups(), g, doDefault);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->GetItemCount(), 0);
  EXPECT_EQ(LV->GetGroups()->GetCount(), 1);
  // The item compare: a handler that keeps the default is ignored.
  TEmberItem* a = g->GetItems()->Add();
  TEmberItem* b = g->GetItems()->Add();
  a->SetCaption(u"apple");
  b->SetCaption(u"Banana");
  LV->OnItemCompare = [](TCustomEmberListview*, TEmberColumn*, TEmberGroup*, TEmberItem*, TEmberItem*, bool&) { return 99; };
  EXPECT_LT(LV->DoItemCompare(nullptr, g, a, b), 0);
  LV->OnItemCompare = [](TCustomEmberListview*, TEmberColumn*, TEmberGroup*, TEmberItem*, TEmberItem*, bool& d) {
    d = false;
    return 99;
  };
  EXPECT_EQ(LV->DoItemCompare(nullptr, g, a, b), 99);
  // Incremental search: handled with 0 is a match; unhandled compares the caption.
  Integer result = 5;
  LV->OnIncrementalSearch = [](TEmberCollectionItem*, const WideString&, bool& handled, Integer&) { handled = true; };
  LV->DoIncrementalSearch(a, u"zzz", result);
  EXPECT_EQ(result, 0);
  LV->OnIncrementalSearch = nullptr;
  LV->DoIncrementalSearch(a, u"APPLE", result);
  EXPECT_EQ(result, 0);
  LV->DoIncrementalSearch(a, u"b", result);
  EXPECT_LT(result, 0);
  // Data requests start cleared.
  STGMEDIUM medium;
  medium.tymed = 4;
  bool handled = true;
  LV->DoOLEGetData(FORMATETC{}, medium, handled);
  EXPECT_EQ(medium.tymed, 0u);
  EXPECT_FALSE(handled);
  // Cut marking asks the handler and marks the selection only.
  LV->GetSelection()->SetMultiSelect(true);
  a->SetCut(true);
  b->SetSelected(true);
  LV->OnClipboardCut = [](TCustomEmberListview*, bool& mark, bool&) { mark = true; };
  LV->ClipboardCut();
  EXPECT_FALSE(a->GetCut());
  EXPECT_TRUE(b->GetCut());
}

TEST_F(ListviewTest, UnitRoutines) {
  MakeList();
  TEmberColumns* cols = LV->GetHeader()->GetColumns();
  TEmberColumn* c0 = cols->Add();
  TEmberColumn* c1 = cols->Add();
  TEmberItem* a = LV->GetItems()->Add();
  TEmberItem* b = LV->GetItems()->Add();
  a->SetCaptions(1, u"Hello");
  b->SetCaptions(1, u"hello");
  a->SetCaption(u"a");
  b->SetCaption(u"b");
  EXPECT_EQ(DefaultItemCompare(c1, a, b), 0);  // case is ignored
  EXPECT_LT(DefaultItemCompare(c0, a, b), 0);
  EXPECT_LT(DefaultItemCompare(nullptr, a, b), 0);
  c0->SetSortDirection(TEmberSortDirection::esdDescending);
  EXPECT_GT(DefaultItemCompare(c0, a, b), 0);

  TEmberFormatEtc f;
  FillHeaderFormatEtc(f);
  EXPECT_EQ(f.cfFormat, CF_EMBERLISTVIEWHEADER);
  EXPECT_GE(f.cfFormat, 0xC000u);
  EXPECT_EQ(f.dwAspect, 0xFFFFFFFFu);
  EXPECT_EQ(f.lindex, -1);
  EXPECT_EQ(f.tymed, 1u);

  TEmberMargin* top = LV->GetPaintInfoGroup()->GetMarginTop();
  top->SetSize(-3);
  EXPECT_EQ(top->GetSize(), 0);
  EXPECT_EQ(top->RuntimeSize(), 0);
  top->SetSize(20);
  EXPECT_EQ(top->RuntimeSize(), 0);  // group margins are off
  LV->SetShowGroupMargins(true);
  EXPECT_EQ(top->RuntimeSize(), 20);
  EXPECT_TRUE(LV->IsGrouped());

  // The interfaced base answers S_OK or E_NOINTERFACE, also when given no place for the answer.
  IUnknown* target = LV->GetDropTarget();
  ASSERT_NE(target, nullptr);
  void* got = &got;
  EXPECT_EQ(target->QueryInterface(IEnumVARIANT::Iid, &got), E_NOINTERFACE);
  EXPECT_EQ(got, nullptr);
  EXPECT_EQ(target->QueryInterface(IDropTarget::Iid, nullptr), E_NOINTERFACE);
}

TBitmap* Filled(Integer w, Integer h, Byte v) {
  TBitmap* b = TBitmap::New();
  b->SetPixelFormat(TPixelFormat::pf32bit);
  b->SetSize(w, h);
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w * 4; ++x) b->ScanLine(y)[x] = (x % 4 == 3) ? 7 : v;
  return b;
}

TEST(BlendTest, BlendsWithWeightsAndAnOptionalBlur) {
  Owned<TBitmap> white(Filled(3, 3, 255));
  Owned<TBitmap> black(Filled(3, 3, 0));
  BlendBitmaps(white.get(), black.get(), 80, false, 20);
  EXPECT_EQ(black->ScanLine(1)[4], 204);
  EXPECT_EQ(black->ScanLine(1)[7], 7);  // the reserved byte stays
  // The blur counts the centre half and divides by nine: 180 becomes 170 before blending.
  Owned<TBitmap> src(Filled(3, 3, 0));
  Owned<TBitmap> dst(Filled(3, 3, 180));
  BlendBitmaps(src.get(), dst.get(), 0, true, 1);
  EXPECT_EQ(dst->ScanLine(1)[4], 170);
  EXPECT_EQ(dst->ScanLine(0)[0], 180);  // the border stays unblurred
  Owned<TBitmap> other(Filled(2, 3, 255));
  BlendBitmaps(other.get(), dst.get(), 80, false, 20);
  EXPECT_EQ(dst->ScanLine(0)[0], 180);
}

class TPhotoRequest : public common::TCommonThreadRequest {
  PF_CLASS(TPhotoRequest)
public:
  void HandleRequest() override {}
};

// A worker answers with PostThreadRequest; the list hands its handler the request object and
// the request's ID. The request stays the queue's unless the handler takes it.
TEST_F(ListviewTest, AWorkersRequestReachesOnThreadCallBack) {
  MakeList();
  struct Seen {
    UINT msg{0};
    Integer id{-1};
    common::TCommonThreadRequest* request{nullptr};
  };
  std::vector<Seen> seen;
  Owned<common::TCommonThreadRequest> kept;
  LV->OnThreadCallBack = [&](TObject* sender, TWMThreadRequest m) {
    EXPECT_EQ(sender, LV);
    seen.push_back({m.Msg, m.RequestID, m.Request});
    if (m.Request && m.Request->GetTag() == 2)
      kept = TakePayload<common::TCommonThreadRequest>(reinterpret_cast<LPARAM>(m.Request));
  };
  const Integer live = common::CommonThreadRequestCount();
  std::vector<common::TCommonThreadRequest*> made;
  for (Integer tag : {1, 2}) {
    Owned<common::TCommonThreadRequest> r(TPhotoRequest::New());
    r->SetID(static_cast<Cardinal>(40 + tag));
    r->SetTag(tag);
    r->SetWindow(LV);
    made.push_back(r.get());
    std::thread worker([r = std::move(r)]() mutable { EXPECT_TRUE(common::PostThreadRequest(std::move(r))); });
    worker.join();
  }
  // The number is anyone's to post: a plain lParam is no request.
  PostMessage(LV->Handle(), common::WM_COMMONTHREADCALLBACK, 9, 12345);
  guitest::PumpPending();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(std::make_tuple(seen[0].msg, seen[0].id, seen[0].request), std::make_tuple(0x8164u, 41, made[0]));
  EXPECT_EQ(std::make_tuple(seen[1].msg, seen[1].id, seen[1].request), std::make_tuple(0x8164u, 42, made[1]));
  EXPECT_EQ(std::make_tuple(seen[2].id, seen[2].request), std::make_tuple(9, nullptr));
  // The first went with its message, the second is the handler's now.
  EXPECT_EQ(kept.get(), made[1]);
  EXPECT_EQ(common::CommonThreadRequestCount(), live + 1);
  kept.reset();
  EXPECT_EQ(common::CommonThreadRequestCount(), live);
}

}  // namespace
}  // namespace lvtest

namespace lvtest {
namespace {

TEST_F(ListviewTest, GlobalGlyphsLoadOnFirstUseOnly) {
  MakeList();
  TEmberGlobalImageManager* gi = LV->GetGlobalImages();
  TBitmap* up = gi->GetColumnSortUp();
  EXPECT_EQ(up->GetWidth(), 16);
  EXPECT_EQ(up->GetHeight(), 16);
  EXPECT_EQ(up->GetTransparentColor(), 0x00FF00FF);
  up->SetSize(4, 4);  // a second read keeps what is there
  EXPECT_EQ(gi->GetColumnSortUp()->GetWidth(), 4);
  EXPECT_EQ(gi->GetGroupExpandButton()->GetWidth(), 9);
  // An application glyph assigned first keeps the resource away; an empty one brings it back.
  Owned<TBitmap> own(TBitmap::New());
  own->SetSize(3, 5);
  gi->SetGroupCollapseButton(own.get());
  EXPECT_EQ(gi->GetGroupCollapseButton()->GetHeight(), 5);
  EXPECT_EQ(gi->GetGroupExpandButton()->GetWidth(), 9);  // only the one assigned changed
  Owned<TBitmap> empty(TBitmap::New());
  gi->SetGroupCollapseButton(empty.get());
  EXPECT_EQ(gi->GetGroupCollapseButton()->GetHeight(), 9);
  EXPECT_EQ(gi->GetColumnSortDown()->GetHeight(), 16);
  // So does nil, as the class library's bitmap assignment empties the glyph.
  gi->SetGroupCollapseButton(own.get());
  gi->SetGroupCollapseButton(nullptr);
  EXPECT_EQ(gi->GetGroupCollapseButton()->GetHeight(), 9);
  // The arrow's magenta corner leaves a white sheet white.
  Owned<TBitmap> sheet(Filled(16, 16, 255));
  sheet->GetCanvas()->Draw(0, 0, gi->GetColumnSortDown());
  EXPECT_EQ(sheet->GetCanvas()->GetPixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
}

}  // namespace
}  // namespace lvtest

#include "platform/classlib/ImgList.h"
#include "platform/classlib/Menus.h"

namespace lvtest {
namespace {

TEST_F(ListviewTest, AnImageListThatGoesIsForgotten) {
  MakeList();
  TCustomImageList* small = TCustomImageList::New(Form);
  TCustomImageList* state = TCustomImageList::New(Form);
  LV->SetImagesSmall(small);
  LV->SetImagesState(state);
  LV->GetHeader()->SetImages(small);
  small->Free();
  EXPECT_EQ(LV->GetImagesSmall(), nullptr);
  EXPECT_EQ(LV->GetHeader()->GetImages(), nullptr);
  EXPECT_EQ(LV->GetImagesState(), state);
  LV->GetItems()->Add();
  LV->Repaint();  // and the control keeps painting
  // A list nobody owns, or another form's, is forgotten as well.
  TCustomImageList* loose = TCustomImageList::New(nullptr);
  LV->SetImagesLarge(loose);
  LV->GetHeader()->SetImages(loose);
  loose->Free();
  EXPECT_EQ(LV->GetImagesLarge(), nullptr);
  EXPECT_EQ(LV->GetHeader()->GetImages(), nullptr);
  LV->Repaint();
  // The header's menu likewise.
  TPopupMenu* menu = TPopupMenu::New(nullptr);
  LV->SetPopupMenuHeader(menu);
  menu->Free();
  EXPECT_EQ(LV->GetPopupMenuHeader(), nullptr);
}

}  // namespace
}  // namespace lvtest

namespace lvtest {
namespace {

TEST_F(ListviewTest, ChangingTheGroupOrHeaderFontLeavesTheParentFont) {
  MakeList();
  LV->SetParentFont(true);
  LV->GetGroupFont()->SetSize(14);
  EXPECT_FALSE(LV->GetParentFont());
  LV->SetParentFont(true);
  LV->States().Include(TEmberControlState::ebcsSettingParentFont);
  LV->GetHeader()->GetFont()->SetSize(12);
  EXPECT_TRUE(LV->GetParentFont());
  LV->States().Exclude(TEmberControlState::ebcsSettingParentFont);
  // The typed paint settings are the published classes.
  EXPECT_NE(LV->GetPaintInfoGroupTyped(), nullptr);
  EXPECT_EQ(LV->GetPaintInfoGroupTyped()->GetMarginBottom()->GetImageIndex(), -1);
  EXPECT_EQ(LV->GetPaintInfoGroupTyped()->GetMarginBottom()->GetSize(), 30);
  LV->SetPaintInfoItem(TEmberPaintInfoBaseItem::New(LV));
  EXPECT_THROW(LV->GetPaintInfoItemTyped(), EInvalidCast);
}

}  // namespace
}  // namespace lvtest

namespace lvtest {
namespace {

// A descendant that answers keys itself, and one that leaves them to the list's default.
class TKeyTakingListview : public TEmberListview {
  PF_CLASS(TKeyTakingListview)
public:
  std::vector<Word> Heard;
  void DoKeyAction(Word& CharCode, TShiftState&, bool&) override { Heard.push_back(CharCode); }
};
class TKeyLeavingListview : public TEmberListview {
  PF_CLASS(TKeyLeavingListview)
public:
  void DoKeyAction(Word& CharCode, TShiftState& Shift, bool& DoDefault) override {
    TEmberListview::DoKeyAction(CharCode, Shift, DoDefault);
  }
};

// Escape and Enter go on to the dialog's cancel and default buttons unless the list has a use for
// them: Escape while a photo is marked cut (in a folded group too), either key when the
// application or a descendant handles keys itself.
TEST_F(ListviewTest, TheListKeepsEscapeAndEnterOnlyWhileItHasAUseForThem) {
  enum Kind { Plain, Taking, Leaving };
  std::map<Kind, TEmberListview*> lists;
  lists[Taking] = MakeList(true, TKeyTakingListview::New(Form));
  lists[Leaving] = MakeList(true, TKeyLeavingListview::New(Form));
  lists[Plain] = MakeList();
  // Two groups of one item each; the second group's item is the one marked cut.
  for (auto& [kind, l] : lists)
    for (int g = 0; g < 2; ++g) l->GetGroups()->Add()->GetItems()->Add();
  struct Case {
    const char* name;
    bool cut, handler;
    bool escape, enter;
    bool folded{false};
    Kind kind{Plain};
  } cases[] = {
      {"nothing to do with them", false, false, false, false},
      {"a cut mark to take away", true, false, true, false},
      {"the application's key handler", false, true, true, true},
      {"a cut mark in a folded group", true, false, true, false, true},
      {"a descendant that answers keys itself", false, false, true, true, false, Taking},
      {"a descendant that leaves keys to the default", false, false, false, false, false, Leaving},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TEmberListview* lv = lists[c.kind];
    TEmberItem* item = lv->GetGroups()->GetGroup(1)->GetItem(0);
    auto keeps = [&](WPARAM key) { return (lv->Perform(WM_GETDLGCODE, key, 0) & DLGC_WANTALLKEYS) != 0; };
    item->SetCut(c.cut);
    lv->GetGroups()->GetGroup(1)->SetExpanded(!c.folded);
    if (c.handler)
      lv->OnKeyAction = [](TObject*, Word&, TShiftState&, bool&) {};
    else
      lv->OnKeyAction = nullptr;
    EXPECT_EQ(keeps(VK_ESCAPE), c.escape);
    EXPECT_EQ(keeps(VK_RETURN), c.enter);
    // Arrows and characters are always the list's; a general question keeps every key.
    const LRESULT code = lv->Perform(WM_GETDLGCODE, 0, 0);
    EXPECT_EQ(code & (DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTALLKEYS),
              DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTALLKEYS);
  }
  // Pressed on the keyboard, Escape reaches the descendant's key action once.
  auto* taking = static_cast<TKeyTakingListview*>(lists[Taking]);
  Form->Show();
  taking->SetFocus();
  guitest::PumpPending();
  taking->Heard.clear();
  guitest::Type(taking->Handle(), Qt::Key_Escape, QString(QChar(0x1B)));
  guitest::PumpPending();
  EXPECT_EQ(taking->Heard, std::vector<Word>{VK_ESCAPE});
}

// A mouse activation names the part of the window it hit, and the list's answer wins unless the
// handler takes the decision.
TEST_F(ListviewTest, AMouseActivationNamesThePartHitAndTheHandlerMayDecide) {
  using H = TEmberNonClientHitTest;
  using A = TEmberMouseActivate;
  struct Case {
    const char* name;
    int16_t code;
    bool decide;  // the handler answers "no activation, eat the click" and keeps the default off
    H seen;
    LRESULT result;
  } cases[] = {
      {"the client area", HTCLIENT, false, H::enchtClient, MA_ACTIVATE},
      {"the vertical scroll bar", HTVSCROLL, false, H::enchtVScroll, MA_ACTIVATE},
      {"the border", HTBORDER, false, H::enchtBorder, MA_ACTIVATE},
      {"nowhere", HTNOWHERE, false, H::enchtNowhere, MA_ACTIVATE},
      {"the handler decides", HTCLIENT, true, H::enchtClient, MA_NOACTIVATEANDEAT},
  };
  TEmberListview* lv = MakeList();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    H seen = H::enchtError;
    lv->OnMouseActivate = [&](TCustomEmberListview*, HWND, H hit, Word mouseMsg, A& activate, bool& doDefault) {
      seen = hit;
      EXPECT_EQ(mouseMsg, WM_LBUTTONDOWN);
      activate = A::emaNoActivateAndEat;
      doDefault = !c.decide;
    };
    EXPECT_EQ(lv->Perform(WM_MOUSEACTIVATE, 0, MAKELPARAM(static_cast<WORD>(c.code), WM_LBUTTONDOWN)), c.result);
    EXPECT_EQ(seen, c.seen);
  }
}

}  // namespace
}  // namespace lvtest
