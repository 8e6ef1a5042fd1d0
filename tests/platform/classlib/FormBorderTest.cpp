// A form's border on the desktop: the title-bar buttons its border style and border icons give
// it, and the window it stays above (its popup parent, else its owner form).

#include <QWidget>
#include <QWindow>

#include "platform/user/Window_p.h"
#include "ClassLibFixture.h"

namespace classlibtest {
namespace {

using namespace pf;

class FormBorderTest : public ClassLibTest {
protected:
  static DWORD Style(TWinControl* c) { return static_cast<DWORD>(GetWindowLongPtr(c->Handle(), GWL_STYLE)); }
  static QWidget* Widget(TWinControl* c) { return layer::WidgetOf(c->Handle()); }
  static QWindow* TransientParent(TWinControl* c) {
    return Widget(c)->windowHandle() ? Widget(c)->windowHandle()->transientParent() : nullptr;
  }
};

constexpr DWORD kBoxes = WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

TEST_F(FormBorderTest, BorderIconsGiveTheButtonsTheBorderStyleAllows) {
  using enum TBorderIcon;
  const TBorderIcons all{biSystemMenu, biMinimize, biMaximize};
  struct Case {
    const char* name;
    TFormBorderStyle border;
    TBorderIcons icons;
    DWORD boxes;
    bool sizing;
  } cases[] = {
      {"sizeable with every icon", TFormBorderStyle::bsSizeable, all, kBoxes, true},
      {"single border, system menu and minimise only", TFormBorderStyle::bsSingle, {biSystemMenu, biMinimize},
       WS_SYSMENU | WS_MINIMIZEBOX, false},
      {"sizeable without icons", TFormBorderStyle::bsSizeable, {}, 0, true},
      // A dialog border and a tool window offer the system menu alone, whatever else is asked.
      {"dialog border with every icon", TFormBorderStyle::bsDialog, all, WS_SYSMENU, false},
      {"dialog border without title-bar buttons", TFormBorderStyle::bsDialog, {}, 0, false},
      {"tool window with every icon", TFormBorderStyle::bsToolWindow, all, WS_SYSMENU, false},
      {"no border with every icon", TFormBorderStyle::bsNone, all, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TForm* f = TForm::New(Application);
    f->SetBorderStyle(c.border);
    f->SetBorderIcons(c.icons);
    EXPECT_EQ(Style(f) & kBoxes, c.boxes);
    EXPECT_EQ((Style(f) & WS_THICKFRAME) != 0, c.sizing);
    f->Free();
  }
}

TEST_F(FormBorderTest, NewBorderIconsReachTheTitleBarOfAShownForm) {
  TForm* f = TForm::New(Application);
  f->SetBorderStyle(TFormBorderStyle::bsSingle);
  f->Show();
  ASSERT_TRUE(Widget(f)->windowFlags() & Qt::WindowMinimizeButtonHint);
  f->SetBorderIcons({TBorderIcon::biSystemMenu});
  EXPECT_EQ(Style(f) & kBoxes, WS_SYSMENU);
  EXPECT_FALSE(Widget(f)->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(Widget(f)->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(Widget(f)->isVisible());
  EXPECT_TRUE(IsWindowVisible(f->Handle()));
}

TEST_F(FormBorderTest, APopupParentOwnsTheFormsWindowBeforeItsOwnerForm) {
  TForm* main = TForm::New(Application);
  TForm* other = TForm::New(Application);
  main->Show();
  other->Show();
  struct Case {
    const char* name;
    TComponent* owner;
    bool handleFirst;  // the form's window is made before the popup parent is set
  } cases[] = {{"owned by the application", Application, false},
               {"owned by another form", other, false},
               {"window made before", Application, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TForm* f = TForm::New(c.owner);
    f->SetBorderStyle(TFormBorderStyle::bsDialog);
    if (c.handleFirst) f->HandleNeeded();
    f->SetPopupParent(main);
    f->Show();
    EXPECT_EQ(GetParent(f->Handle()), main->Handle());
    EXPECT_EQ(TransientParent(f), Widget(main)->windowHandle());
    EXPECT_EQ(Widget(f)->windowType(), Qt::Dialog);
    f->Free();
  }
}

TEST_F(FormBorderTest, AFreedPopupParentLeavesNoOwnerBehind) {
  TForm* main = TForm::New(Application);
  main->Show();
  TForm* f = TForm::New(Application);
  f->SetBorderStyle(TFormBorderStyle::bsDialog);
  f->SetPopupParent(main);
  f->Show();
  main->Free();
  EXPECT_EQ(f->GetPopupParent(), nullptr);
  // Its window went with its owner's, as on the platform; shown again, it has a new one of its own.
  f->Hide();
  f->Show();
  EXPECT_TRUE(IsWindowVisible(f->Handle()));
  EXPECT_EQ(GetParent(f->Handle()), nullptr);
  EXPECT_EQ(TransientParent(f), nullptr);
}

}  // namespace
}  // namespace classlibtest
