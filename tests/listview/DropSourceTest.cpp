// The list as a drag's source and as a target that is switched off: when a drag goes on, drops or
// stops, whose cursors it shows, and a list whose drag manager is off taking no drop.

#include "ListviewTestUtil.h"
#include "common/CommonDataObject.h"

namespace lvtest {
namespace {

// Escape stops a drag, a released button drops it (even with Escape down), anything else goes on;
// the handler sees the keys and may decide otherwise.
TEST_F(ListviewTest, TheDropSourceGoesOnDropsOrStopsByTheButtonsAndEscape) {
  MakeList();
  ComPtr<IDropSource> source(static_cast<IDropSource*>(TEmberDropSourceManager::New(LV)));
  struct Case {
    const char* name;
    BOOL escape;
    DWORD keys;
    HRESULT answer;
    TEmberQueryDragResult seen;
  } cases[] = {
      {"the left button held: go on", 0, MK_LBUTTON, S_OK, TEmberQueryDragResult::eqdrContinue},
      {"the right button with Shift: go on", 0, MK_RBUTTON | MK_SHIFT, S_OK, TEmberQueryDragResult::eqdrContinue},
      {"the middle button: go on", 0, MK_MBUTTON, S_OK, TEmberQueryDragResult::eqdrContinue},
      {"Escape with a button held: stop", 1, MK_LBUTTON, DRAGDROP_S_CANCEL, TEmberQueryDragResult::eqdrQuit},
      {"no button: drop", 0, MK_CONTROL, DRAGDROP_S_DROP, TEmberQueryDragResult::eqdrDrop},
      {"no button wins over Escape", 1, 0, DRAGDROP_S_DROP, TEmberQueryDragResult::eqdrDrop},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int calls = 0;
    bool escape = false;
    TCommonKeyStates keys;
    TEmberQueryDragResult seen{};
    LV->OnOLEQueryContineDrag = [&](TCustomEmberListview* sender, bool e, TCommonKeyStates k, TEmberQueryDragResult& r) {
      EXPECT_EQ(sender, LV);
      ++calls;
      escape = e;
      keys = k;
      seen = r;
    };
    EXPECT_EQ(source->QueryContinueDrag(c.escape, c.keys), c.answer);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(escape, c.escape != 0);
    EXPECT_EQ(seen, c.seen);
    EXPECT_EQ(keys.Contains(common::TCommonKeyState::cksLButton), (c.keys & MK_LBUTTON) != 0);
    EXPECT_EQ(keys.Contains(common::TCommonKeyState::cksShift), (c.keys & MK_SHIFT) != 0);
    EXPECT_EQ(keys.Contains(common::TCommonKeyState::cksControl), (c.keys & MK_CONTROL) != 0);
  }
  // The handler's word is the last: a drag that would go on is stopped, one that would stop drops.
  LV->OnOLEQueryContineDrag = [](TCustomEmberListview*, bool, TCommonKeyStates, TEmberQueryDragResult& r) {
    r = r == TEmberQueryDragResult::eqdrContinue ? TEmberQueryDragResult::eqdrQuit : TEmberQueryDragResult::eqdrDrop;
  };
  EXPECT_EQ(source->QueryContinueDrag(0, MK_LBUTTON), DRAGDROP_S_CANCEL);
  EXPECT_EQ(source->QueryContinueDrag(1, MK_LBUTTON), DRAGDROP_S_DROP);
}

// The platform's cursors unless the handler shows its own.
TEST_F(ListviewTest, TheDropSourceLeavesTheCursorsToThePlatformUnlessTheHandlerTakesThem) {
  MakeList();
  ComPtr<IDropSource> source(static_cast<IDropSource*>(TEmberDropSourceManager::New(LV)));
  EXPECT_EQ(source->GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
  struct Case {
    const char* name;
    DWORD effect;
    TCommonDropEffects seen;
    bool own;
    HRESULT answer;
  } cases[] = {
      {"copy or move, default cursors", DROPEFFECT_COPY | DROPEFFECT_MOVE,
       TCommonDropEffects{TCommonDropEffect::cdeCopy, TCommonDropEffect::cdeMove}, false, DRAGDROP_S_USEDEFAULTCURSORS},
      {"a link with the handler's own cursor", DROPEFFECT_LINK, TCommonDropEffects{TCommonDropEffect::cdeLink}, true, S_OK},
      {"nothing, the handler's own cursor", DROPEFFECT_NONE, TCommonDropEffects{TCommonDropEffect::cdeNone}, true, S_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TCommonDropEffects seen{TCommonDropEffect::cdeScroll};
    LV->OnOLEGiveFeedback = [&](TCustomEmberListview*, TCommonDropEffects e, bool& useDefault) {
      EXPECT_TRUE(useDefault) << "the platform's cursors unless told otherwise";
      seen = e;
      if (c.own) useDefault = false;
    };
    EXPECT_EQ(source->GiveFeedback(c.effect), c.answer);
    EXPECT_EQ(seen, c.seen);
  }
}

// A list whose drag manager is off answers no effect while a drag passes over it and tells its
// handlers nothing; switched on again it takes the drag.
TEST_F(ListviewTest, AListWithItsDragManagerOffTakesNoDrop) {
  MakeList();
  ComPtr<IDropTarget> target;
  ASSERT_EQ(LV->GetDropTarget()->QueryInterface(IDropTarget::Iid, reinterpret_cast<void**>(target.GetAddressOf())), S_OK);
  ComPtr<IDataObject> data(common::TCommonDataObject::New(true)->AsDataObject());
  int enters = 0, overs = 0;
  LV->OnOLEDragEnter = [&](TCustomEmberListview*, IDataObject*, TCommonKeyStates, TPoint, TCommonDropEffects,
                           TCommonDropEffect&) { ++enters; };
  LV->OnOLEDragOver = [&](TCustomEmberListview*, TCommonKeyStates, TPoint, TCommonDropEffects, TCommonDropEffect&) {
    ++overs;
  };
  const TPoint at = LV->ClientToScreen(TPoint{50, 50});
  struct Case {
    const char* name;
    bool enabled;
    DWORD keys;
    DWORD answer;
    int calls;
  } cases[] = {
      {"off: no effect, whatever the keys", false, MK_LBUTTON, DROPEFFECT_NONE, 0},
      {"off, with Control for a copy", false, MK_LBUTTON | MK_CONTROL, DROPEFFECT_NONE, 0},
      {"on: a move by default", true, MK_LBUTTON, DROPEFFECT_MOVE, 1},
      {"on: a copy with Control", true, MK_LBUTTON | MK_CONTROL, DROPEFFECT_COPY, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LV->GetDragManager()->SetEnabled(c.enabled);
    enters = overs = 0;
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    ASSERT_EQ(target->DragEnter(data.Get(), c.keys, at, &effect), S_OK);
    EXPECT_EQ(effect, c.answer);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    ASSERT_EQ(target->DragOver(c.keys, at, &effect), S_OK);
    EXPECT_EQ(effect, c.answer);
    EXPECT_EQ(enters, c.calls);
    EXPECT_EQ(overs, c.calls);
    target->DragLeave();
  }
  LV->GetDragManager()->SetEnabled(false);
}

// Each step of a drag tells its handler what the source allows at that step, not what it allowed
// when the drag came in.
TEST_F(ListviewTest, EachStepOfADragReportsTheEffectsTheSourceAllowsThen) {
  MakeList();
  LV->GetDragManager()->SetEnabled(true);
  ComPtr<IDropTarget> target;
  ASSERT_EQ(LV->GetDropTarget()->QueryInterface(IDropTarget::Iid, reinterpret_cast<void**>(target.GetAddressOf())), S_OK);
  ComPtr<IDataObject> data(common::TCommonDataObject::New(true)->AsDataObject());
  using E = TCommonDropEffect;
  TCommonDropEffects seen;
  LV->OnOLEDragEnter = [&](TCustomEmberListview*, IDataObject*, TCommonKeyStates, TPoint, TCommonDropEffects e,
                           TCommonDropEffect&) { seen = e; };
  LV->OnOLEDragOver = [&](TCustomEmberListview*, TCommonKeyStates, TPoint, TCommonDropEffects e, TCommonDropEffect&) {
    seen = e;
  };
  LV->OnOLEDragDrop = [&](TCustomEmberListview*, IDataObject*, TCommonKeyStates, TPoint, TCommonDropEffects e,
                          TCommonDropEffect&, bool&) { seen = e; };
  const TPoint at = LV->ClientToScreen(TPoint{50, 50});
  enum Step { Enter, Over, Drop };
  const struct {
    const char* name;
    Step step;
    DWORD allowed;
    TCommonDropEffects expected;
    bool noEffect;  // the caller gives no effect to fill: it allows nothing, and the step still answers S_OK
  } steps[] = {
      {"enter: copy, move or link", Enter, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, {E::cdeCopy, E::cdeMove, E::cdeLink}},
      {"over: the source now only moves", Over, DROPEFFECT_MOVE, {E::cdeMove}},
      {"over: copy or move", Over, DROPEFFECT_COPY | DROPEFFECT_MOVE, {E::cdeCopy, E::cdeMove}},
      {"over without an effect", Over, 0, {E::cdeNone}, true},
      {"drop: only a copy", Drop, DROPEFFECT_COPY, {E::cdeCopy}},
      {"enter without an effect", Enter, 0, {E::cdeNone}, true},
      {"drop without an effect", Drop, 0, {E::cdeNone}, true},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.name);
    seen = {};
    DWORD effect = s.allowed;
    DWORD* given = s.noEffect ? nullptr : &effect;
    const HRESULT hr = s.step == Enter  ? target->DragEnter(data.Get(), MK_LBUTTON, at, given)
                       : s.step == Over ? target->DragOver(MK_LBUTTON, at, given)
                                        : target->Drop(data.Get(), 0, at, given);
    ASSERT_EQ(hr, S_OK);
    EXPECT_TRUE(seen == s.expected);
  }
  LV->GetDragManager()->SetEnabled(false);
}

}  // namespace
}  // namespace lvtest
