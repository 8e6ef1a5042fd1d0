// Hints: the pause and the hide on the manual clock, the control changing its hint through
// CM_HINTSHOW, the hint going when the pointer leaves, the hint window drawn by the layer.

#include <QCoreApplication>
#include <QEvent>

#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Hints.h"
#include "platform/user/Window_p.h"
#include "ClassLibFixture.h"

namespace classlibtest {
namespace {

using namespace pf;

class HintsTest : public ClassLibTest {
protected:
  void SetUp() override {
    clock::UseManual();
    // The first pause is the desktop's hover time.
    SystemParametersInfo(SPI_SETMOUSEHOVERTIME, 500, nullptr, 0);
    Application->ResetForTests();
    ASSERT_EQ(Application->HintPause, 500);
    Form = TForm::New(Application);
    Form->SetBounds(40, 40, 320, 240);
    Panel = TPanel::New(Form);
    Panel->SetBounds(10, 10, 200, 100);
    Panel->SetHint(u"Панель|Длинная подсказка");
    Panel->SetShowHint(true);
    Panel->SetParent(Form);
    Form->Show();
    Pump();
  }
  void TearDown() override {
    SystemParametersInfo(SPI_SETMOUSEHOVERTIME, 400, nullptr, 0);
    ClassLibTest::TearDown();
  }
  // The pointer moves to a client point of a control's window, as the toolkit reports it.
  void MoveTo(TWinControl* c, TPoint p) {
    pf::testing::SetCursorScreenPos(c->ClientToScreen(p));
    guitest::Mouse(c->Handle(), QEvent::MouseMove, Qt::NoButton, p);
    Pump();
  }
  void Wait(int ms) {
    clock::Advance(ms);
    Pump();
  }
  bool HintShown() const {
    THintWindow* w = Application->GetHintWindow();
    return w && w->HandleAllocated() && IsWindowVisible(w->Handle());
  }
  TForm* Form{nullptr};
  TPanel* Panel{nullptr};
};

TEST_F(HintsTest, AHintShowsAfterThePauseAsTheControlChangedItAndGoesWhenThePointerLeaves) {
  std::vector<std::pair<WPARAM, Integer>> pauses;
  std::vector<TPoint> cursorPositions;
  TWndMethod old = Panel->WindowProc;
  Panel->WindowProc = [&, old](TMessage& m) {
    if (m.Msg == CM_HINTSHOWPAUSE) pauses.emplace_back(m.WParam, *reinterpret_cast<Integer*>(m.LParam));
    if (m.Msg == CM_HINTSHOW) {
      auto* info = reinterpret_cast<THintInfo*>(m.LParam);
      EXPECT_EQ(info->HintStr, u"Панель") << "the short hint";
      cursorPositions.push_back(info->CursorPos);
      info->HintStr = u"Левая половина";
      info->CursorRect = TRect{0, 0, 100, 100};
      info->HintPos = Panel->ClientToScreen(TPoint{0, 100});
      return;  // Result 0: show it
    }
    old(m);
  };
  MoveTo(Panel, TPoint{20, 20});
  Wait(499);
  EXPECT_FALSE(HintShown()) << "not before the pause";
  Wait(1);
  ASSERT_TRUE(HintShown());
  THintWindow* w = Application->GetHintWindow();
  EXPECT_EQ(w->GetText(), u"Левая половина");
  TRect r;
  GetWindowRect(w->Handle(), &r);
  EXPECT_EQ((TPoint{r.Left, r.Top}), Panel->ClientToScreen(TPoint{0, 100})) << "where CM_HINTSHOW put it";
  EXPECT_EQ(pauses, (std::vector<std::pair<WPARAM, Integer>>{{0, 500}}));
  EXPECT_EQ(cursorPositions, (std::vector<TPoint>{{20, 20}})) << "the pointer in the control's client area";

  MoveTo(Panel, TPoint{60, 50});
  EXPECT_TRUE(HintShown()) << "inside the rectangle the control gave, the hint stays";
  MoveTo(Panel, TPoint{150, 50});
  EXPECT_FALSE(HintShown()) << "out of the rectangle the hint goes";
  Wait(50);
  EXPECT_TRUE(HintShown()) << "and comes back after the short pause";
  EXPECT_EQ(pauses.back(), (std::pair<WPARAM, Integer>{1, 50}));

  MoveTo(Form, TPoint{250, 150});
  EXPECT_FALSE(HintShown()) << "on a control without hints the hint goes";
  Wait(1000);
  EXPECT_FALSE(HintShown());
  Panel->WindowProc = old;
}

TEST_F(HintsTest, AHintGoesAfterTheHidePauseAndWhenThePointerLeavesTheProgramsWindows) {
  MoveTo(Panel, TPoint{20, 20});
  Wait(500);
  ASSERT_TRUE(HintShown());
  EXPECT_EQ(Application->GetHintWindow()->GetText(), u"Панель");
  Wait(2499);
  EXPECT_TRUE(HintShown());
  Wait(1);
  EXPECT_FALSE(HintShown()) << "hidden after HintHidePause";

  MoveTo(Panel, TPoint{150, 60});
  Wait(500);
  EXPECT_FALSE(HintShown()) << "a hidden hint does not come back while the pointer stays";
  MoveTo(Form, TPoint{250, 150});
  MoveTo(Panel, TPoint{150, 60});
  Wait(500);
  ASSERT_TRUE(HintShown());
  pf::testing::SetCursorScreenPos(TPoint{Form->GetLeft() + Form->GetWidth() + 50, Form->GetTop() + Form->GetHeight() + 50});
  Application->Idle();  // the loop's idle pass looks where the pointer is
  EXPECT_FALSE(HintShown()) << "the pointer left every window of ours";
  EXPECT_EQ(Application->GetHintControl(), nullptr);
}

// The pointer leaves for another program's window: no move reaches us and the pointer's last
// known place is still over the control; the leave the hint asked for ends it.
TEST_F(HintsTest, AShowingHintAsksForTheLeaveAndGoesWithIt) {
  TPanel* other = TPanel::New(Form);
  other->SetBounds(220, 10, 60, 60);
  other->SetParent(Form);
  Pump();
  struct Case {
    const char* name;
    TWinControl* left;  // the window whose widget the toolkit reports left
    bool gone;
  } cases[] = {
      {"a sibling's leave changes nothing", other, false},
      {"the hinted control's window left: the hint goes", Panel, true},
      {"its form left (for the desktop): the hint goes", Form, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MoveTo(Form, TPoint{250, 150});
    MoveTo(Panel, TPoint{20 + (c.gone ? 1 : 0), 20});
    Wait(500);
    ASSERT_TRUE(HintShown());
    TRACKMOUSEEVENT q;
    q.dwFlags = TME_QUERY;
    ASSERT_TRUE(TrackMouseEvent(&q));
    EXPECT_EQ(q.hwndTrack, Panel->Handle());
    EXPECT_NE(q.dwFlags & TME_LEAVE, 0u);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(pf::layer::WidgetOf(c.left->Handle()), &leave);
    Pump();
    EXPECT_EQ(HintShown(), !c.gone);
  }
  EXPECT_EQ(Application->GetHintControl(), nullptr);
}

TEST_F(HintsTest, AControlThatRefusesInCMHintShowGetsNoHintAndAKeyEndsOne) {
  TWndMethod old = Panel->WindowProc;
  bool refuse = true;
  Panel->WindowProc = [&, old](TMessage& m) {
    if (m.Msg == CM_HINTSHOW && refuse) {
      m.Result = 1;
      return;
    }
    old(m);
  };
  MoveTo(Panel, TPoint{20, 20});
  Wait(500);
  EXPECT_FALSE(HintShown());
  refuse = false;
  MoveTo(Panel, TPoint{21, 21});
  Wait(500);
  ASSERT_TRUE(HintShown());
  PostMessage(Panel->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  Pump();
  EXPECT_FALSE(HintShown()) << "a key ends the hint";
  Panel->WindowProc = old;
}

TEST_F(HintsTest, TheHintWindowIsDrawnOnTheInfoColourInsideAFrame) {
  constexpr uint32_t kInfoBk = 0xFFFFE1, kInfoText = 0x000000;
  MoveTo(Panel, TPoint{20, 20});
  Wait(500);
  ASSERT_TRUE(HintShown());
  guitest::PumpPending();
  THintWindow* w = Application->GetHintWindow();
  const TSurface& s = *layer::Find(w->Handle())->Surface;
  TRect c = w->GetClientRect();
  EXPECT_EQ(s.PixelRGB(0, 0), kInfoText) << "the frame";
  EXPECT_EQ(s.PixelRGB(c.Right - 1, c.Bottom - 1), kInfoText);
  EXPECT_EQ(s.PixelRGB(c.Right - 2, c.Bottom - 2), kInfoBk) << "the background";
  EXPECT_GE(c.Height(), 8) << "room for a line of text";
}

}  // namespace
}  // namespace classlibtest
