// A task-panel group hosting the application's form in a running list: the form follows the
// group's expansion, goes with the group, and is forgotten when something else frees it first.
// Pictures of the expanded and collapsed group are saved (PO_SCREENSHOT_DIR, else a temporary
// folder) to be looked at.
#include <QImage>
#include <QWidget>
#include <cstdlib>
#include <filesystem>

#include "ListviewTestUtil.h"
#include "listview/EmberTaskPanelForm.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"
#include "support/TestEnv.h"

namespace lvtest {
namespace {

constexpr TColor kPanelColor = 0x0000FF;  // red, as a COLORREF

// Tells whether a component it watches has gone.
class TGoneProbe : public TComponent {
  PF_CLASS(TGoneProbe)
public:
  TComponent* Gone{nullptr};

protected:
  using TComponent::Create;
  void Notification(TComponent* C, TOperation Op) override {
    TComponent::Notification(C, Op);
    if (Op == TOperation::opRemove) Gone = C;
  }
};

class TaskPanelGroupTest : public ListviewTest {
protected:
  void SetUp() override {
    ListviewTest::SetUp();
    Probe = TGoneProbe::New(static_cast<TComponent*>(nullptr));
  }
  void TearDown() override {
    ListviewTest::TearDown();
    pf::FreeAndNil(Probe);
  }
  // A shown list with one group "Tasks" of the task-panel kind, its header visible.
  void Build() {
    MakeList();
    LV->SetShowGroupMargins(true);
    TEmberGroups* groups = LV->GetGroups();
    groups->Add();
    Group = TEmberGroupTaskPanel::New(static_cast<TEmberCollection*>(nullptr));
    groups->SetGroup(0, Group);
    ASSERT_EQ(groups->GetGroup(0), Group);
    Group->SetCaption(u"Tasks");
    Form->Show();
    guitest::PumpPending();
  }
  // A form of the application's, shown inside the list below the group's header.
  TEmberTaskPanelForm* MakePanel(TComponent* Owner) {
    TEmberTaskPanelForm* panel = TEmberTaskPanelForm::New(Owner);
    panel->SetParent(LV);
    panel->SetBorderStyle(TFormBorderStyle::bsNone);
    panel->SetThemed(false);
    panel->SetColor(kPanelColor);
    TLabel* label = TLabel::New(panel);
    label->SetParent(panel);
    label->SetCaption(u"Print all photos");
    label->SetBounds(8, 8, 150, 20);
    panel->Show();
    Probe->FreeNotification(panel);
    return panel;
  }
  void Place(TEmberTaskPanelForm* panel) {
    const TRect top = LV->GetScrollbars()->MapViewRectToWindowRect(Group->GetBoundsRectTopMargin());
    panel->SetBounds(top.Left + 10, top.Bottom + 4, 300, panel->GetHeight());
    guitest::PumpPending();
  }
  QImage Save(const char* name) {
    const char* dir = std::getenv("PO_SCREENSHOT_DIR");
    std::filesystem::path path = (dir ? std::filesystem::path(dir) : testsupport::MakeTempDir("taskgroup")) / name;
    QImage shot = layer::WidgetOf(Form->Handle())->grab().toImage();
    EXPECT_TRUE(shot.save(QString::fromStdString(path.string())));
    return shot;
  }

  TEmberGroupTaskPanel* Group{nullptr};
  TGoneProbe* Probe{nullptr};
};

TEST_F(TaskPanelGroupTest, TheFormFollowsTheGroupsExpansionAndGoesWithIt) {
  Build();
  EXPECT_EQ(Group->GetHeight(), 200);
  EXPECT_FALSE(Group->GetTaskWindowCreated());
  EXPECT_EQ(Group->GetTaskPanel(), nullptr);

  // Owned by the test's form as well: the group's freeing must take it out of that list.
  TEmberTaskPanelForm* panel = MakePanel(Form);
  Group->SetTaskPanel(panel);
  EXPECT_TRUE(Group->GetTaskWindowCreated());
  EXPECT_EQ(Group->GetTaskPanel(), panel);
  Place(panel);

  struct Step {
    const char* what;
    std::function<void()> act;
    Integer height;
    const char* shot;
  } steps[] = {
      {"collapsed", [&] { Group->SetExpanded(false); }, 0, "taskgroup-collapsed.png"},
      {"expanded", [&] { Group->SetExpanded(true); }, 200, nullptr},
      {"a new height while expanded", [&] { Group->SetHeight(120); }, 120, "taskgroup-expanded.png"},
      {"collapsed again", [&] { Group->SetExpanded(false); }, 0, nullptr},
      {"a new height while collapsed", [&] { Group->SetHeight(90); }, 0, nullptr},
      {"expanded again", [&] { Group->SetExpanded(true); }, 90, nullptr},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.act();
    EXPECT_EQ(panel->GetHeight(), s.height);
    guitest::PumpPending();
    if (s.shot) {
      Place(panel);
      const QImage shot = Save(s.shot);
      // Just below the header: the panel's red while it has a height, the list's window colour
      // while it has none.
      TPoint probe{20, 2};
      MapWindowPoints(panel->Handle(), Form->Handle(), &probe, 1);
      const QRgb px = shot.pixel(probe.X, probe.Y);
      EXPECT_EQ(px == qRgb(255, 0, 0), s.height > 0) << std::hex << px;
    }
  }
  // The group goes, and the form with it.
  const Integer controls = LV->ControlCount();
  LV->GetGroups()->Delete(0);
  EXPECT_EQ(Probe->Gone, panel);
  EXPECT_EQ(LV->ControlCount(), controls - 1);
}

TEST_F(TaskPanelGroupTest, AFormFreedElsewhereOrReplacedIsFreedOnce) {
  Build();
  // Replaced: the first form goes at once.
  TEmberTaskPanelForm* first = MakePanel(nullptr);
  Group->SetTaskPanel(first);
  TEmberTaskPanelForm* second = MakePanel(nullptr);
  Group->SetTaskPanel(second);
  EXPECT_EQ(Probe->Gone, first);
  EXPECT_EQ(Group->GetTaskPanel(), second);
  // Freed by its owner first: the group forgets it and frees nothing later.
  TComponent* owner = TComponent::New(static_cast<TComponent*>(nullptr));
  TEmberTaskPanelForm* third = MakePanel(owner);
  Group->SetTaskPanel(third);
  EXPECT_EQ(Probe->Gone, second);
  owner->Free();
  EXPECT_EQ(Probe->Gone, third);
  EXPECT_EQ(Group->GetTaskPanel(), nullptr);
  EXPECT_FALSE(Group->GetTaskWindowCreated());
  // Freed with the list it lives in: the list's groups go first and take it along.
  TEmberTaskPanelForm* fourth = MakePanel(nullptr);
  Group->SetTaskPanel(fourth);
  Group->SetExpanded(false);
  EXPECT_EQ(fourth->GetHeight(), 0);
  Group->SetTaskPanel(nullptr);  // given back to nobody: freed
  EXPECT_EQ(Probe->Gone, fourth);
  TEmberTaskPanelForm* fifth = MakePanel(nullptr);
  Group->SetTaskPanel(fifth);
  LV->Free();
  Made.clear();
  EXPECT_EQ(Probe->Gone, fifth);
}

}  // namespace
}  // namespace lvtest
