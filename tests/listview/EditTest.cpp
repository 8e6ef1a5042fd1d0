// In-place editing through its own loop: the keys and clicks that accept, cancel or keep an edit,
// moving on by Tab, leaving the application, a quit request, and the item or the control freed
// while the edit runs. Input reaches the editor the way the toolkit delivers it.

#include <QKeyEvent>

#include "ListviewTestUtil.h"
#include "listview/EmberEdit.h"
#include "platform/rtl/Clock.h"
#include "platform/user/guimain/GuiTest.h"

namespace lvtest {
namespace {

class EditTest : public ListviewTest {
protected:
  TEmberGroup* G{nullptr};

  void SetUp() override {
    ListviewTest::SetUp();
    MakeList();
    Form->Show();
    G = LV->GetGroups()->Add();
    for (const char16_t* c : {u"beach", u"dog", u"cat"}) G->GetItems()->Add()->SetCaption(c);
    LV->GetEditManager()->SetEnabled(true);
    LV->OnItemEdited = [this](TCustomEmberListview*, TEmberItem* i, Variant& v, bool&) { Log.Add("Edited:" + Name(i) + "=" + Utf8(v.ToString())); };
    LV->OnItemEditAccepted = [this](TCustomEmberListview*, TEmberItem* i) { Log.Add("Accepted:" + Name(i)); };
    LV->OnItemEditEnd = [this](TCustomEmberListview*, TEmberItem* i) { Log.Add("End:" + Name(i)); };
    guitest::PumpPending();
  }
  void TearDown() override {
    pf::testing::SetApplicationActive(true);
    guitest::PumpPending();
    ListviewTest::TearDown();
  }
  static std::string Utf8(const String& s) { return std::string(s.begin(), s.end()); }
  HWND Editor() { return LV->GetEditManager()->GetEditor() ? LV->GetEditManager()->GetEditor()->GetHandle() : nullptr; }
  // Runs `steps` one after another inside the edit's loop, then edits `item`.
  void EditWith(TEmberItem* item, std::vector<std::function<void()>> steps) {
    for (auto& s : steps) guitest::PostWork(s);
    LV->GetEditManager()->BeginEdit(item, nullptr);
  }
  void TypeText(const QString& t) {
    for (QChar c : t) guitest::Type(Editor(), 0, QString(c));
  }
  // The middle of the item's caption, in the window.
  TPoint TextOf(TEmberItem* item) {
    TEmberRectArrayObject ra;
    item->ItemRectArray(nullptr, LV->GetScratchCanvas(), ra);
    const TRect r = LV->GetScrollbars()->MapViewRectToWindowRect(ra.TextRect);
    return TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  }
};

TEST_F(EditTest, KeysAcceptCancelOrKeepTheEdit) {
  // Enter accepts what was typed.
  EditWith(G->GetItem(1), {[&] { TypeText(QStringLiteral("x")); }, [&] { guitest::Type(Editor(), Qt::Key_Return); }});
  EXPECT_EQ(G->GetItem(1)->GetCaption(), u"x");
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"Edited:dog=x", "Accepted:x", "End:x"}));
  EXPECT_FALSE(LV->GetEditManager()->GetEditing());
  // Escape keeps the old text and asks nothing.
  Log.Clear();
  EditWith(G->GetItem(0), {[&] { TypeText(QStringLiteral("zzz")); }, [&] { guitest::Type(Editor(), Qt::Key_Escape); }});
  EXPECT_EQ(G->GetItem(0)->GetCaption(), u"beach");
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"End:beach"}));
  // A handler that refuses keeps the editor open after Enter.
  Log.Clear();
  bool refuse = true;
  LV->OnItemEdited = [&](TCustomEmberListview*, TEmberItem*, Variant&, bool& accept) { accept = !refuse; };
  int stillEditing = 0;
  EditWith(G->GetItem(2), {[&] { guitest::Type(Editor(), Qt::Key_Return); },
                           [&] { stillEditing += Editor() != nullptr; refuse = false; },
                           [&] { guitest::Type(Editor(), Qt::Key_Return); }});
  EXPECT_EQ(stillEditing, 1);
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"Accepted:cat", "End:cat"}));
}

TEST_F(EditTest, WhatEndsAnEditFromOutside) {
  struct Case {
    const char* what;
    std::function<void()> act;
    bool accepted;
  } cases[] = {
      // A click into the list beside the editor accepts, and then reaches the list.
      {"click", [&] { guitest::Click(LV->Handle(), TPoint{LV->GetClientWidth() - 3, LV->GetClientHeight() - 3}); }, true},
      {"wheel", [&] { guitest::Wheel(LV->Handle(), TPoint{5, 5}, -120); }, false},
      {"wheel notice",
       [&] {
         PostMessage(LV->Handle(), CM_MOUSEWHEEL, 0, 0);
         guitest::PostWork([&] { EXPECT_FALSE(LV->GetEditManager()->GetEditor()) << "still editing"; LV->GetEditManager()->CancelEdit(); });
       },
       false},
      {"another program", [] { pf::testing::SetApplicationActive(false); }, false},
  };
  // The control hears that the application was left, as any message of the loop.
  int left = 0;
  TWndMethod listProc = LV->WindowProc;
  LV->WindowProc = [&](TMessage& m) {
    left += m.Msg == WM_EMBER_EDITAPPDEACTIVATED;
    listProc(m);
  };
  for (const Case& c : cases) {
    G->GetItem(0)->SetCaption(u"beach");
    Log.Clear();
    EditWith(G->GetItem(0), {[&] { TypeText(QStringLiteral("new")); }, c.act});
    EXPECT_FALSE(LV->GetEditManager()->GetEditing()) << c.what;
    EXPECT_EQ(G->GetItem(0)->GetCaption(), c.accepted ? u"new" : u"beach") << c.what;
    EXPECT_EQ(Log.With("End:").size(), 1u) << c.what;
    pf::testing::SetApplicationActive(true);
    guitest::PumpPending();
  }
  EXPECT_EQ(left, 1);
  LV->WindowProc = listProc;
}

TEST_F(EditTest, AQuitRequestCancelsTheEditAndGoesOn) {
  EditWith(G->GetItem(0), {[&] { TypeText(QStringLiteral("q")); }, [] { PostQuitMessage(7); }});
  EXPECT_FALSE(LV->GetEditManager()->GetEditing());
  EXPECT_EQ(G->GetItem(0)->GetCaption(), u"beach");
  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit is passed on";
  EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(EditTest, TheItemOrTheControlFreedDuringTheEdit) {
  EditWith(G->GetItem(1), {[&] { G->GetItems()->Delete(1); }});
  EXPECT_FALSE(LV->GetEditManager()->GetEditing());
  EXPECT_EQ(G->GetItemCount(), 2);
  EXPECT_EQ(Log.With("Edited").size(), 0u);
  // The control itself: the edit's caller gets back without touching it.
  TEmberListview* doomed = MakeList();
  TEmberItem* item = doomed->GetGroups()->Add()->GetItems()->Add();
  doomed->GetEditManager()->SetEnabled(true);
  guitest::PostWork([&] {
    Made.erase(std::find(Made.begin(), Made.end(), doomed));
    doomed->Free();
  });
  doomed->GetEditManager()->BeginEdit(item, nullptr);
  SUCCEED();
}

TEST_F(EditTest, TabMovesTheEditOnAndEndsAtTheLastItem) {
  LV->GetEditManager()->SetTabMoveFocus(true);
  std::vector<std::string> edited;
  // Each edit, once it runs, gets a Tab.
  LV->OnItemCreateEditor = [&](TCustomEmberListview*, TEmberItem* i, ComPtr<IEmberCellEditor>&) {
    edited.push_back(Name(i));
    guitest::PostWork([&] { guitest::Type(Editor(), Qt::Key_Tab); });
  };
  // Tab from "dog" accepts it and edits "cat"; Tab from "cat" finds no next item.
  LV->GetEditManager()->BeginEdit(G->GetItem(1), nullptr);
  guitest::PumpPending();
  EXPECT_EQ(edited, (std::vector<std::string>{"dog", "cat"}));
  EXPECT_EQ(Log.With("Accepted:"), (std::vector<std::string>{"Accepted:dog", "Accepted:cat"}));
  EXPECT_FALSE(LV->GetEditManager()->GetEditing());
  EXPECT_EQ(LV->GetEditManager()->GetTabMoveFocusItem(), nullptr);
}

// Tab and the arrows move the edit to the next item the program lets edit, whether or not it is
// enabled. A move whose accept the program refuses leaves the key to the editor as any other key
// (it marks the edit modified).
TEST_F(EditTest, MovesGoToTheNextItemTheProgramLetsEditOrLeaveTheKeyToTheEditor) {
  TEmberEditManager* em = LV->GetEditManager();
  em->SetTabMoveFocus(true);
  em->SetArrowMoveFocus(true);
  struct Case {
    int key;
    int from;
    std::string refused, disabled;
    bool acceptRefused;
    std::vector<std::string> edits;
  } cases[] = {
      {Qt::Key_Tab, 0, "dog", "", false, {"beach", "cat"}},
      {Qt::Key_Down, 0, "dog", "", false, {"beach", "cat"}},
      {Qt::Key_Up, 2, "dog", "", false, {"cat", "beach"}},
      {Qt::Key_Tab, 0, "", "dog", false, {"beach", "dog"}},
      {Qt::Key_Tab, 0, "cat", "dog", false, {"beach", "dog"}},
      {Qt::Key_Tab, 0, "", "", true, {"beach"}},
      {Qt::Key_Down, 0, "", "", true, {"beach"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refused + "/" + c.disabled + " key " + std::to_string(c.key) + (c.acceptRefused ? " refused" : ""));
    for (int i = 0; i < 3; ++i) G->GetItem(i)->SetEnabled(Name(G->GetItem(i)) != c.disabled);
    std::vector<std::string> edits;
    bool modified = false;
    LV->OnItemEditBegin = [&](TCustomEmberListview*, TEmberItem* i, Integer&, bool& allow) { allow = Name(i) != c.refused; };
    LV->OnItemEdited = [&](TCustomEmberListview*, TEmberItem*, Variant&, bool& accept) { accept = !c.acceptRefused; };
    LV->OnItemEditEnd = [&](TCustomEmberListview*, TEmberItem*) { modified = em->GetEditor()->GetModified(); };
    // The first edit gets the key; the one it moves to, or the same one, ends with Escape.
    LV->OnItemCreateEditor = [&](TCustomEmberListview*, TEmberItem* i, ComPtr<IEmberCellEditor>&) {
      edits.push_back(Name(i));
      for (int key : {edits.size() == 1 ? c.key : Qt::Key_Escape, c.acceptRefused ? Qt::Key_Escape : 0})
        if (key) guitest::PostWork([this, key] { guitest::Type(Editor(), key); });
    };
    em->BeginEdit(G->GetItem(c.from), nullptr);
    guitest::PumpPending();
    EXPECT_EQ(edits, c.edits);
    EXPECT_FALSE(em->GetEditing());
    EXPECT_EQ(modified, c.acceptRefused);
  }
}

// Tab carries the focus with the edit from item to item; across columns the item keeps it. Each
// move is taken once: the pending cell is cleared before the next edit runs.
TEST_F(EditTest, TabMovesTheFocusedItemAlongAndTakesThePendingCellOnce) {
  LV->SetView(TEmberListStyle::elsReport);
  TEmberColumns* cols = LV->GetHeader()->GetColumns();
  for (const char16_t* c : {u"Name", u"Kind"}) cols->Add()->SetCaption(c);
  LV->GetHeader()->SetVisible(true);
  LV->GetEditManager()->SetTabMoveFocus(true);
  struct Case {
    bool tabEditColumns;
    std::vector<std::string> edits;  // item:column of each edit
    std::vector<std::string> focused;  // the focused item as each edit begins
  } cases[] = {
      {false, {"beach:0", "dog:0", "cat:0"}, {"beach", "dog", "cat"}},
      {true, {"beach:0", "beach:1", "dog:0", "dog:1", "cat:0", "cat:1"},
       {"beach", "beach", "beach", "beach", "beach", "beach"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tabEditColumns ? "by column" : "by item");
    LV->GetEditManager()->SetTabEditColumns(c.tabEditColumns);
    G->GetItem(0)->SetFocused(true);
    std::vector<std::string> edits, focused;
    int pending = 0;
    LV->OnItemCreateEditor = [&](TCustomEmberListview*, TEmberItem* i, ComPtr<IEmberCellEditor>&) {
      edits.push_back(Name(i) + ":" + std::to_string(LV->GetEditManager()->GetEditColumn()->GetIndex()));
      TEmberItem* f = LV->GetSelection()->GetFocusedItem();
      focused.push_back(f ? Name(f) : "none");
      pending += LV->GetEditManager()->GetTabMoveFocusItem() != nullptr;
      guitest::PostWork([&] { guitest::Type(Editor(), Qt::Key_Tab); });
    };
    LV->GetEditManager()->BeginEdit(G->GetItem(0), c.tabEditColumns ? cols->GetColumn(0) : nullptr);
    guitest::PumpPending();
    EXPECT_EQ(edits, c.edits);
    EXPECT_EQ(focused, c.focused);
    EXPECT_EQ(pending, 0);
    EXPECT_FALSE(LV->GetEditManager()->GetEditing());
  }
}

// The thumbnail view edits in a memo, the report view in one line. Without Tab moving the edit,
// the Tab key as the toolkit delivers it types one space into either (over the selected caption),
// and the focus stays in the editor.
TEST_F(EditTest, ATabKeyWithoutMovingTheEditTypesOneSpace) {
  for (TEmberListStyle view : {TEmberListStyle::elsThumbnail, TEmberListStyle::elsReport}) {
    LV->SetView(view);
    String text;
    bool focused = false, memo = false;
    LV->OnItemEditEnd = [&](TCustomEmberListview*, TEmberItem*) {
      TWinControl* e = static_cast<TEmberBaseEditor*>(LV->GetEditManager()->GetEditor())->GetEditor();
      text = e->GetText();
      memo = dynamic_cast<TEmberMemo*>(e) != nullptr;
      focused = GetFocus() == Editor();
    };
    EditWith(G->GetItem(0), {[&] {
               guitest::Type(Editor(), Qt::Key_Tab, QStringLiteral("\t"));
               guitest::Type(Editor(), Qt::Key_Escape);
             }});
    EXPECT_EQ(text, u" ") << static_cast<int>(view);
    EXPECT_TRUE(focused) << static_cast<int>(view);
    EXPECT_EQ(memo, view == TEmberListStyle::elsThumbnail);
  }
}

TEST_F(EditTest, ClickAndWaitStartsTheEditOnTheClock) {
  pf::clock::UseManual();
  G->GetItem(2)->SetFocused(true);
  TEmberEditManager* em = LV->GetEditManager();
  em->SetAutoEditDelayTime(300);
  std::string begun;
  LV->OnItemEditBegin = [&](TCustomEmberListview*, TEmberItem* i, Integer&, bool& allow) {
    begun = Name(i);
    allow = false;  // seen, not run
  };
  em->StartAutoEditTimer();
  EXPECT_TRUE(em->GetEditing());
  pf::clock::Advance(299);
  guitest::PumpPending();
  EXPECT_EQ(begun, "");
  pf::clock::Advance(1);
  guitest::PumpPending();
  EXPECT_EQ(begun, "cat");
  EXPECT_FALSE(em->GetEditing());
  // Switched off, nothing starts.
  begun.clear();
  em->SetEnabled(false);
  em->StartAutoEditTimer();
  pf::clock::Advance(1000);
  guitest::PumpPending();
  EXPECT_EQ(begun, "");
  em->BeginEdit(G->GetItem(0), nullptr);
  EXPECT_EQ(begun, "");
  pf::clock::UseReal();
}

TEST_F(EditTest, F2AndAClickThatWaitsOnTheSelectedItemStartTheEdit) {
  pf::clock::UseManual();
  LV->SetFocus();
  guitest::PumpPending();
  std::vector<std::string> begun;
  // Each edit, once it runs, gets "x" and Enter.
  LV->OnItemEditBegin = [&](TCustomEmberListview*, TEmberItem* i, Integer&, bool&) {
    begun.push_back(Name(i));
    guitest::PostWork([&] {
      TypeText(QStringLiteral("x"));
      guitest::Type(Editor(), Qt::Key_Return);
    });
  };
  G->GetItem(1)->SetFocused(true);
  guitest::Type(LV->Handle(), Qt::Key_F2);
  guitest::PumpPending();
  EXPECT_EQ(begun, (std::vector<std::string>{"dog"}));
  EXPECT_EQ(G->GetItem(1)->GetCaption(), u"x");
  // The first click selects; a second one on the caption of the only selected item waits the
  // delay (past the double-click time) before it edits.
  const TPoint cat = TextOf(G->GetItem(2));
  guitest::Click(LV->Handle(), cat);
  guitest::PumpPending();
  pf::clock::Advance(1000);
  guitest::PumpPending();
  EXPECT_EQ(begun.size(), 1u) << "a click that selects does not edit";
  guitest::Click(LV->Handle(), cat);
  guitest::PumpPending();
  pf::clock::Advance(299);
  guitest::PumpPending();
  EXPECT_EQ(begun.size(), 1u);
  pf::clock::Advance(1);
  guitest::PumpPending();
  EXPECT_EQ(begun, (std::vector<std::string>{"dog", "cat"}));
  EXPECT_EQ(G->GetItem(2)->GetCaption(), u"x");
  pf::clock::UseReal();
}

}  // namespace
}  // namespace lvtest
