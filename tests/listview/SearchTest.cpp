// Type-ahead search as the keyboard drives it: the toolkit's key events become the window's key and
// character messages; the pause that ends a search runs on the manual clock.
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "ListviewTestUtil.h"
#include "platform/rtl/Clock.h"
#include "platform/user/guimain/GuiTest.h"

namespace lvtest {
namespace {

using Start = TCoolIncrementalSearchStart;
using Dir = TEmberIncrementalSearchDir;

// Captions in list order; the index is what the cases name.
const char16_t* const kCaptions[] = {u"apple", u"Avocado", u"banana", u"apricot", u"blueberry", u"cherry"};
constexpr int kNone = -1;

class SearchTest : public ListviewTest {
protected:
  void SetUp() override {
    pf::clock::UseManual(1000);
    ListviewTest::SetUp();
  }
  void TearDown() override {
    pf::testing::ResetKeyState();
    ListviewTest::TearDown();
    pf::clock::UseReal();
  }
  // A fresh list of the captions with type-ahead on.
  void Make(Start start, Dir dir = Dir::eisdForward) {
    MakeList();
    TEmberGroup* g = LV->GetGroups()->Add();
    for (const char16_t* c : kCaptions) g->GetItems()->Add()->SetCaption(c);
    S = LV->GetIncrementalSearch();
    S->SetEnabled(true);
    S->SetStartType(start);
    S->SetDirection(dir);
  }
  TEmberItem* Item(int i) const { return i == kNone ? nullptr : LV->GetGroups()->GetGroup(0)->GetItem(i); }
  int Focused() const {
    TEmberItem* f = LV->GetSelection()->GetFocusedItem();
    return f ? f->GetIndex() : kNone;
  }
  // A letter or digit key as the toolkit reports it, with the text it types.
  void Press(Char c, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
    const int key = c >= u'a' && c <= u'z' ? Qt::Key_A + (c - u'a') : c;
    guitest::Type(LV->Handle(), key, text.isNull() ? QString(QChar(c)) : text, mods);
    guitest::PumpPending();
  }
  void Type(const std::u16string& text) {
    for (Char c : text) Press(c);
  }
  // The key held down while `keys` runs, as the keyboard reports a modifier.
  void Holding(int qtKey, Qt::KeyboardModifier mod, const std::function<void()>& keys) {
    guitest::Key(LV->Handle(), qtKey, {}, mod);
    guitest::PumpPending();
    keys();
    guitest::Key(LV->Handle(), qtKey, {}, Qt::NoModifier, false);
    guitest::PumpPending();
  }
  // The pause after the last character ends the search.
  void Pause() {
    pf::clock::Advance(S->GetResetTime());
    guitest::PumpPending();
    ASSERT_FALSE(S->Searching());
  }
  TEmberIncrementalSearchManager* S{nullptr};
};

// A fresh search starts at the focused item and looks at the items after it, round over the end;
// with nothing focused it starts at the first item. Each case is a search of its own.
TEST_F(SearchTest, ASearchStartsAfterTheFocusedItem) {
  struct Case {
    int focused;
    const char16_t* typed;
    int hit;
  };
  const Case cases[] = {
      {kNone, u"a", 0},  // the first item itself is a candidate
      {0, u"a", 1},
      {1, u"a", 3},
      {3, u"a", 0},  // round over the end
      {2, u"b", 4},
      {2, u"ap", 3},
      {5, u"c", 5},   // the only match is the focused item, found on coming back to it
      {0, u"aa", 3},  // the same letter again steps on from the hit
  };
  Make(Start::eissFocusedNode);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.focused) + " " + Name(Item(c.hit)));
    LV->GetSelection()->ClearAll();
    LV->GetSelection()->SetFocusedItem(Item(c.focused));
    Type(c.typed);
    EXPECT_EQ(Focused(), c.hit);
    EXPECT_TRUE(Item(c.hit)->GetSelected());
    EXPECT_EQ(LV->GetSelection()->GetCount(), 1);
    Pause();
  }
}

// A character typed with Ctrl held, or a control character such as Backspace's, abandons the
// candidate without entering the buffer: the same letter typed next starts again from the first
// item instead of stepping on from the last hit (or, had the key entered the buffer, finding nothing).
TEST_F(SearchTest, CtrlWithAKeyOrBackspaceAbandonsTheCandidate) {
  struct Case {
    const char* name;
    int hit;  // after "aa", the key, "a"
    std::function<void()> between;
  };
  auto withCtrl = [this](Char c, const QString& text) {
    Holding(Qt::Key_Control, Qt::ControlModifier, [&] { Press(c, Qt::ControlModifier, text); });
  };
  const Case cases[] = {
      {"Shift alone types nothing: the letter steps on", 3,
       [this] { Holding(Qt::Key_Shift, Qt::ShiftModifier, [] {}); }},
      {"Ctrl+B types a control character", 0, [&] { withCtrl(u'b', QString(QChar(0x02))); }},
      {"Ctrl+1 types a digit with Ctrl held", 0, [&] { withCtrl(u'1', QStringLiteral("1")); }},
      {"Backspace", 0,
       [this] {
         guitest::Type(LV->Handle(), Qt::Key_Backspace, QString(QChar(0x08)));
         guitest::PumpPending();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Make(Start::eissLastHit);
    Type(u"aa");
    EXPECT_EQ(Focused(), 1);
    c.between();
    EXPECT_EQ(Focused(), 1) << "the key itself selects nothing";
    Type(u"a");
    EXPECT_EQ(Focused(), c.hit);
  }
}

// Searching backwards starts at the last item and walks towards the first, round over the start.
TEST_F(SearchTest, ABackwardSearchWalksTowardsTheFirstItem) {
  struct Case {
    const char* name;
    Start start;
    int focused;
    const char16_t* typed;
    std::vector<int> hits;  // after each character
  };
  const Case cases[] = {
      {"from the last item", Start::eissStartOver, kNone, u"a", {3}},
      {"a second letter narrows back from there", Start::eissStartOver, kNone, u"av", {3, 1}},
      {"the same letter steps back, round over the start", Start::eissLastHit, kNone, u"aaaa", {3, 1, 0, 3}},
      {"from the item before the focused one", Start::eissFocusedNode, 2, u"a", {1}},
      {"before the first item comes the last", Start::eissFocusedNode, 0, u"b", {4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Make(c.start, Dir::eisdBackward);
    LV->GetSelection()->SetFocusedItem(Item(c.focused));
    std::vector<int> hits;
    for (const Char* ch = c.typed; *ch; ++ch) {
      Press(*ch);
      hits.push_back(Focused());
    }
    EXPECT_EQ(hits, c.hits);
  }
}

}  // namespace
}  // namespace lvtest
