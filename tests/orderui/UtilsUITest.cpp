// The order core's window routines: message boxes with their fixed captions, flags and owner, the
// hourglass, the warning picture, the combo-box helpers over the combo box, the wizard page control.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTabBar>

#include <stdexcept>

#include "orderui/uListsUI.h"
#include "orderui/uUtilsUI.h"
#include "platform/classlib/ComboBox.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/PageControl.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"

namespace {

using namespace order;

class OrderUI : public ::testing::Test {
protected:
  void TearDown() override {
    pf::testing::SetMessageBoxHook({});
    pf::testing::ClearMessageBoxLog();
    while (Screen->FormCount() > 0) Screen->Forms(Screen->FormCount() - 1)->Free();
    pf::testing::ResetQueue();
    Application->ResetForTests();
  }
  static void Pump() {
    guitest::PumpPending();
    Application->ProcessMessages();
  }
};

TEST_F(OrderUI, MessageBoxesCarryTheirCaptionFlagsAndOwner) {
  pf::testing::SetMessageBoxHook([](const pf::testing::TMessageBoxRequest&) { return IDOK; });
  Owned<TForm> form(TForm::New(Application));
  form->Show();
  SetActiveWindow(form->Handle());
  ASSERT_EQ(GetOwnerWindow(), form->Handle());
  ShowInfo(u"Готово");
  ShowInfoFmt(u"Фотографий: %d", {3});
  ShowError(u"Сбой");
  ShowErrorFmt(u"Стоимость заказа должна быть от %s руб.", {u"50"});
  const auto& log = pf::testing::MessageBoxLog();
  ASSERT_EQ(log.size(), 4u);
  struct Expect {
    const char16_t* text;
    const char16_t* caption;
    UINT type;
  };
  const Expect expected[] = {
      {u"Готово", u"Информация", 0x40},
      {u"Фотографий: 3", u"Информация", 0x40},
      {u"Сбой", u"Ошибка", 0x2010},
      {u"Стоимость заказа должна быть от 50 руб.", u"Ошибка", 0x2010},
  };
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(log[i].Text, expected[i].text);
    EXPECT_EQ(log[i].Caption, expected[i].caption);
    EXPECT_EQ(log[i].Type, expected[i].type);
    EXPECT_EQ(log[i].Owner, form->Handle());
  }
}

TEST_F(OrderUI, WithoutAnActiveFormTheMainFormOwnsTheBoxes) {
  Owned<TForm> main(TForm::New(Application));
  Application->SetMainForm(main.get());
  main->HandleNeeded();
  ASSERT_EQ(Screen->ActiveForm(), nullptr);
  EXPECT_EQ(GetOwnerWindow(), main->Handle());
  Application->SetMainForm(nullptr);
}

TEST_F(OrderUI, TheHourglassLastsForTheScopeEvenWhenTheWorkRaises) {
  const HCURSOR arrow = LoadCursor(IDC_ARROW);
  const HCURSOR wait = LoadCursor(IDC_WAIT);
  {
    TWaitCursor guard;
    EXPECT_EQ(Screen->GetCursor(), crHourGlass);
    EXPECT_EQ(GetCursor(), wait);
  }
  EXPECT_EQ(Screen->GetCursor(), crDefault);
  try {
    TWaitCursor guard;
    throw std::runtime_error("work failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(Screen->GetCursor(), crDefault);
  EXPECT_EQ(GetCursor(), arrow);
}

TEST_F(OrderUI, TheWarningPictureOutlivesARestartOfItsUnit) {
  // The test main has started the unit once already; the picture control's test reads its size.
  ASSERT_NE(WarningImage(), nullptr);
  uListsUI::Initialize();
  uListsUI::Finalize();
  EXPECT_NE(WarningImage(), nullptr);
}

// A form with a combo box of papers whose objects are their ordinals: glossy and silk, as the paper
// list of a size priced for those two.
struct TComboForm {
  Owned<TForm> Form{TForm::New(Application)};
  TComboBox* Combo{TComboBox::New(Form.get())};
  int Changes{0};
  TComboForm() {
    Combo->SetName(u"cbPaperType");
    Combo->SetBounds(10, 10, 150, 21);
    Combo->SetParent(Form.get());
    Combo->GetItems()->AddObject(u"Глянцевая", IntToObject(0));
    Combo->GetItems()->AddObject(u"Шёлк", IntToObject(2));
    Combo->OnChange = [this](TObject*) { ++Changes; };
    Form->Show();
  }
  QComboBox* Widget() const { return pf::layer::WidgetOf(Combo->Handle())->findChild<QComboBox*>(); }
};

TEST_F(OrderUI, SelectComboObjectPicksTheItemCarryingTheValue) {
  TComboForm f;
  struct Case {
    intptr_t value;
    Integer index;
  };
  // Only the low 8 bits count; a value nobody carries selects the first item.
  const Case cases[] = {{2, 1}, {0, 0}, {0x102, 1}, {1, 0}, {0x200, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    f.Combo->SetItemIndex(-1);
    SelectComboObject(f.Combo, IntToObject(c.value));
    EXPECT_EQ(f.Combo->GetItemIndex(), c.index);
    EXPECT_EQ(f.Widget()->currentIndex(), c.index);
    EXPECT_EQ(ObjectToInt(GetComboObject(f.Combo)), c.index == 1 ? 2 : 0);
  }
  f.Combo->SetItemIndex(-1);
  EXPECT_EQ(GetComboObject(f.Combo), nullptr);
  Pump();
  EXPECT_EQ(f.Changes, 0);
}

TEST_F(OrderUI, TheComboReportsTheUsersPicksOnly) {
  TComboForm f;
  f.Combo->SetItemIndex(0);
  f.Combo->GetItems()->Add(u"Матовая");
  Pump();
  EXPECT_EQ(f.Changes, 0);
  EXPECT_EQ(f.Combo->GetItemIndex(), 0);
  // The user steps to the next paper with the arrow key.
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QCoreApplication::sendEvent(f.Widget(), &down);
  ASSERT_TRUE(guitest::PumpUntil([&] { return f.Changes > 0; }, 5000));
  EXPECT_EQ(f.Changes, 1);
  EXPECT_EQ(f.Combo->GetItemIndex(), 1);
  EXPECT_EQ(ObjectToInt(GetComboObject(f.Combo)), 2);
  f.Combo->GetItems()->Clear();
  EXPECT_EQ(f.Combo->GetItemIndex(), -1);
}

TEST_F(OrderUI, HiddenTabsTurnThePagesIntoWizardSteps) {
  Owned<TForm> form(TForm::New(Application));
  form->SetClientWidth(400);
  form->SetClientHeight(300);
  TPageControl* pages = TPageControl::New(form.get());
  pages->SetName(u"pcPages");
  pages->SetBounds(0, 0, 400, 300);
  pages->SetParent(form.get());
  TTabSheet* sheets[3];
  for (int i = 0; i < 3; ++i) {
    sheets[i] = TTabSheet::New(form.get());
    sheets[i]->SetCaption(i == 0 ? u"Данные" : i == 1 ? u"Отправка" : u"Итог");
    sheets[i]->SetPageControl(pages);
  }
  form->Show();
  pages->SetActivePageIndex(2);
  pages->SetTabPosition(TTabPosition::tpBottom);
  QTabBar* bar = pf::layer::WidgetOf(pages->Handle())->findChild<QTabBar*>();
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(bar->isVisible());
  EXPECT_EQ(bar->count(), 3);
  EXPECT_GT(pages->DisplayRect().Height(), 0);
  EXPECT_LT(pages->DisplayRect().Height(), 300);

  HidePageTabs(pages);
  EXPECT_EQ(pages->GetActivePageIndex(), 0);
  EXPECT_EQ(pages->GetTabPosition(), TTabPosition::tpTop);
  EXPECT_EQ(pages->GetStyle(), TTabStyle::tsButtons);
  EXPECT_FALSE(pages->TabsShown());
  EXPECT_FALSE(bar->isVisible());
  // With no tabs the pages take the whole control, and only the current one shows.
  EXPECT_EQ(pages->DisplayRect(), (TRect{0, 0, 400, 300}));
  EXPECT_EQ(sheets[0]->GetBoundsRect(), (TRect{0, 0, 400, 300}));
  EXPECT_TRUE(IsWindowVisible(sheets[0]->Handle()));
  EXPECT_FALSE(IsWindowVisible(sheets[1]->Handle()));
  // The program still steps through them.
  pages->SetActivePage(sheets[1]);
  EXPECT_FALSE(IsWindowVisible(sheets[0]->Handle()));
  EXPECT_TRUE(IsWindowVisible(sheets[1]->Handle()));
}

}  // namespace
