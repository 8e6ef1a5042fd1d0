// The task panel form as a child window: its background with and without themes, while it
// loads, and the repaint of nested controls when it scrolls. Pictures of both looks are saved
// (PO_SCREENSHOT_DIR, else a temporary folder) to be looked at.

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <cstdlib>
#include <filesystem>

#include "support/TestEnv.h"
#include "listview/EmberTaskPanelForm.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/user/ThemeSwitch.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"

namespace {

using namespace pf;
using ember::TEmberTaskPanelForm;

constexpr TColor kPlain = 0x00FF00;  // green, as a COLORREF

uint32_t Rgb(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

struct TaskPanelForm : ::testing::Test {
  TForm* Host{nullptr};
  TEmberTaskPanelForm* Panel{nullptr};

  void SetUp() override {
    pf::testing::SetThemesActive(true);
    Host = TForm::New(Application);
    Host->SetClientWidth(320);
    Host->SetClientHeight(200);
    Host->Show();
    Panel = TEmberTaskPanelForm::New(Host);
    Panel->SetParent(Host);
    Panel->SetColor(kPlain);
    Panel->SetBorderStyle(TFormBorderStyle::bsNone);  // as loading the form leaves it
    Panel->Show();
    Place();
  }
  void TearDown() override {
    Host->Free();
    pf::testing::SetThemesActive(true);
    pf::testing::ResetQueue();
  }
  // Showing the form zeroes its size; the hosting group places it again.
  void Place() {
    Panel->SetBounds(10, 10, 200, 150);
    guitest::PumpPending();
  }
  uint32_t Px(int x, int y) { return layer::Find(Panel->Handle())->Surface->PixelRGB(x, y); }
  void Repaint() {
    InvalidateRect(Panel->Handle(), nullptr, true);
    UpdateWindow(Panel->Handle());
  }
  void Save(const char* name) {
    const char* dir = std::getenv("PO_SCREENSHOT_DIR");
    std::filesystem::path path = (dir ? std::filesystem::path(dir) : testsupport::MakeTempDir("taskpanel")) / name;
    QImage shot = layer::WidgetOf(Host->Handle())->grab().toImage();
    EXPECT_TRUE(shot.save(QString::fromStdString(path.string())));
  }
};

TEST_F(TaskPanelForm, IsAChildWindowOfItsParent) {
  EXPECT_NE(GetWindowLongPtr(Panel->Handle(), GWL_STYLE) & WS_CHILD, 0);
  EXPECT_EQ(GetParent(Panel->Handle()), Host->Handle());
  EXPECT_TRUE(Panel->GetThemed());
  EXPECT_TRUE(Panel->DoubleBuffered);
}

TEST_F(TaskPanelForm, BackgroundFollowsThemedAndTheThemeSwitch) {
  // The group background of the explorer bar is not the form's own colour.
  Repaint();
  const uint32_t themed = Px(50, 50);
  EXPECT_NE(themed, Rgb(kPlain));
  Save("task-panel-themed.png");

  struct Step {
    bool themesOn, themedProp;
    bool plain;
  } steps[] = {
      {true, false, true},   // switched off: the plain colour at the next erase
      {true, true, false},   // back on
      {false, true, true},   // the desktop has no themes: plain even though Themed is set
      {true, true, false},
  };
  for (const Step& s : steps) {
    pf::testing::SetThemesActive(s.themesOn);
    Panel->SetThemed(s.themedProp);
    Place();
    Repaint();
    EXPECT_EQ(Px(50, 50), s.plain ? Rgb(kPlain) : themed) << s.themesOn << s.themedProp;
    EXPECT_EQ(Px(199, 149), Px(50, 50));
    if (!s.themesOn) Save("task-panel-classic.png");
  }
}

TEST_F(TaskPanelForm, ReadsUnthemedWhileLoading) {
  TEmberTaskPanelForm* loading = TEmberTaskPanelForm::New(Host);
  loading->BeginLoad();
  EXPECT_FALSE(loading->GetThemed());
  loading->EndLoad();
  EXPECT_TRUE(loading->GetThemed());
  // Loading ends with the form borderless.
  EXPECT_EQ(loading->GetBorderStyle(), TFormBorderStyle::bsNone);
}

TEST_F(TaskPanelForm, ScrollingRepaintsNestedControls) {
  TPanel* outer = TPanel::New(Panel);
  outer->SetParent(Panel);
  outer->SetBounds(5, 5, 120, 100);
  TPanel* inner = TPanel::New(Panel);
  inner->SetParent(outer);
  inner->SetBounds(5, 5, 60, 50);
  guitest::PumpPending();
  TRect r;
  for (UINT msg : {WM_VSCROLL, WM_HSCROLL}) {
    ASSERT_FALSE(GetUpdateRect(inner->Handle(), &r, false));
    SendMessage(Panel->Handle(), msg, 0, 0);
    EXPECT_TRUE(GetUpdateRect(Panel->Handle(), &r, false)) << msg;
    EXPECT_TRUE(GetUpdateRect(outer->Handle(), &r, false)) << msg;
    EXPECT_TRUE(GetUpdateRect(inner->Handle(), &r, false)) << msg;
    guitest::PumpPending();
  }
}

TEST_F(TaskPanelForm, ShowingLeavesTheSizeToTheGroup) {
  TEmberTaskPanelForm* shown = TEmberTaskPanelForm::New(Host);
  shown->SetParent(Host);
  shown->SetBounds(0, 0, 80, 60);
  bool raised = false;
  shown->OnShow = [&](TObject*) { raised = true; };
  shown->Show();
  EXPECT_TRUE(raised);
  EXPECT_EQ(shown->GetWidth(), 0);
  EXPECT_EQ(shown->GetHeight(), 0);
}

}  // namespace
