// Components and their owners, the timer component, message boxes.

#include <QLabel>

#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/rtl/Exceptions.h"
#include "platform/user/Window_p.h"
#include "ClassLibFixture.h"

namespace classlibtest {
namespace {

using namespace pf;

class Watcher : public TComponent {
  PF_CLASS(Watcher)
public:
  std::vector<std::pair<TComponent*, TOperation>> Heard;

protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    Heard.push_back({c, op});
  }
};

class ComponentTest : public ClassLibTest {};

TEST_F(ComponentTest, OwnerFreesWhatItOwnsAndTellsOthersOfRemovals) {
  int64_t before = TObject::LiveObjects();
  TComponent* owner = TComponent::New(nullptr);
  Watcher* sibling = Watcher::New(owner);
  Watcher* outsider = Watcher::New(nullptr);
  TComponent* a = TComponent::New(owner);
  a->SetName(u"ActUpload");
  EXPECT_THROW(TComponent::New(owner)->SetName(u"actupload"), EInvalidOperation) << "names are unique per owner";
  EXPECT_EQ(owner->FindComponent(u"ACTUPLOAD"), a);
  a->FreeNotification(outsider);
  ASSERT_EQ(sibling->Heard.size(), 2u);
  EXPECT_EQ(sibling->Heard.back().second, TOperation::opInsert);
  sibling->Heard.clear();
  a->Free();  // freed early: leaves its owner, whose components hear of it
  EXPECT_EQ(owner->FindComponent(u"ActUpload"), nullptr);
  ASSERT_EQ(sibling->Heard.size(), 1u);
  EXPECT_EQ(sibling->Heard[0], (std::pair<TComponent*, TOperation>{a, TOperation::opRemove}));
  ASSERT_EQ(outsider->Heard.size(), 1u);
  EXPECT_EQ(outsider->Heard[0].first, a);
  owner->Free();
  outsider->Free();
  EXPECT_EQ(TObject::LiveObjects(), before);
}

TEST_F(ComponentTest, ControlsGoWithTheirParentAndTheirWindowsWithThem) {
  int64_t before = TObject::LiveObjects();
  TForm* form = TForm::New(nullptr);
  TLabel* label = TLabel::New(nullptr);  // owned by nobody, parented by the form
  label->SetParent(form);
  label->SetCaption(u"Имя:");
  form->Show();
  HWND lh = label->Handle();
  EXPECT_TRUE(IsChild(form->Handle(), lh));
  auto* ql = qobject_cast<QLabel*>(layer::WidgetOf(lh));
  ASSERT_NE(ql, nullptr);
  EXPECT_EQ(ql->text(), QStringLiteral("Имя:"));
  form->Free();
  EXPECT_FALSE(IsWindow(lh));
  EXPECT_EQ(TObject::LiveObjects(), before);
}

TEST_F(ComponentTest, TimerFiresOnTheManualClockOnlyWhileEnabledAndMayFreeItselfInItsHandler) {
  clock::UseManual(0);
  TTimer* timer = TTimer::New(nullptr);
  timer->SetInterval(700);
  int ticks = 0;
  timer->OnTimer = [&](TObject* s) {
    if (++ticks == 2) s->Free();
  };
  timer->SetEnabled(false);
  clock::Advance(5000);
  Pump();
  EXPECT_EQ(ticks, 0);
  timer->SetEnabled(true);
  struct Step {
    Int64 advance;
    int ticks;
  };
  for (const Step& s : {Step{699, 0}, Step{1, 1}, Step{699, 1}, Step{1, 2}, Step{5000, 2}}) {
    clock::Advance(s.advance);
    Pump();
    EXPECT_EQ(ticks, s.ticks);
  }
}

// A real box, run by its own loop and driven by work posted to the queue.
TEST_F(ComponentTest, MessageBoxKeysAndButtons) {
  struct Case {
    const char* name;
    UINT type;
    std::function<void(HWND box)> act;
    int expected;
  };
  auto enterOnFocus = [](HWND) { guitest::Type(GetFocus(), Qt::Key_Return, "\r"); };
  auto escOnFocus = [](HWND) { guitest::Type(GetFocus(), Qt::Key_Escape, QString(QChar(0x1B))); };
  const Case cases[] = {
      {"Enter takes the second button when it is the default", MB_YESNO | MB_DEFBUTTON2, enterOnFocus, IDNO},
      {"Enter takes the first by default", MB_YESNO, enterOnFocus, IDYES},
      {"Esc cancels a box with Cancel", MB_OKCANCEL, escOnFocus, IDCANCEL},
      {"Esc answers OK for a lone OK", MB_OK | MB_ICONSTOP, escOnFocus, IDOK},
      {"a button press", MB_YESNOCANCEL, [](HWND box) { SendMessage(guitest::FindChildByName(box, "No"), BM_CLICK, 0, 0); }, IDNO},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    guitest::PostWork([&] {
      HWND box = pf::testing::OpenMessageBox();
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(GetWindowText(box), u"Заголовок");
      c.act(box);
    });
    EXPECT_EQ(MessageBox(nullptr, u"Текст", u"Заголовок", c.type), c.expected);
    EXPECT_EQ(pf::testing::OpenMessageBox(), nullptr);
  }
}

TEST_F(ComponentTest, MessageBoxWithoutCancelIgnoresEscAndTheCloseBox) {
  TForm* owner = TForm::New(Application);
  owner->Show();
  bool ownerDisabled = false;
  guitest::PostWork([&] {
    HWND box = pf::testing::OpenMessageBox();
    ownerDisabled = !IsWindowEnabled(owner->Handle());
    guitest::Type(GetFocus(), Qt::Key_Escape, QString(QChar(0x1B)));
    guitest::CloseBox(box);
    guitest::PostWork([box] { SendMessage(guitest::FindChildByName(box, "Yes"), BM_CLICK, 0, 0); });
  });
  EXPECT_EQ(MessageBox(owner->Handle(), u"Продолжить?", u"", MB_YESNO), IDYES);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner->Handle()));
}

}  // namespace
}  // namespace classlibtest
