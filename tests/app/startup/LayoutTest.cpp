// Every text of both start-up dialogs fits its control in the program's font, measured by the
// toolkit's own layout of the very widgets on screen: a label that needs more lines than its
// height holds, or a single line wider than its control, is cut off for the customer.
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

#include "app/startup/StartupFixture.h"
#include "app/uDlgDownload.h"
#include "app/uDlgUpdate.h"
#include "platform/classlib/LinkLabel.h"
#include "platform/classlib/WrapLabel.h"
#include "platform/rtl/Strings.h"
#include "platform/user/guimain/GuiTest.h"
#include "order/uUtils.h"

namespace startuptest {
namespace {

// The label's own widget, or the label inside a link label's window.
QLabel* LabelWidget(TControl* control) {
  QWidget* w = WidgetOfControl(control);
  if (auto* label = qobject_cast<QLabel*>(w)) return label;
  return w ? w->findChild<QLabel*>() : nullptr;
}

// Why the control's text does not fit, or empty when it does.
std::string Misfit(TControl* control) {
  const int width = control->GetWidth(), height = control->GetHeight();
  std::string name = StringToUtf8(control->GetName());
  if (QLabel* label = LabelWidget(control)) {
    QFontMetrics fm(label->font());
    if (label->wordWrap()) {
      int needed = label->heightForWidth(width);
      if (needed > height) return name + " needs " + std::to_string(needed) + " px of height, has " + std::to_string(height);
    } else {
      int needed = fm.horizontalAdvance(label->text());
      if (needed > width) return name + " needs " + std::to_string(needed) + " px of width, has " + std::to_string(width);
      if (fm.height() > height) return name + " is lower than a line";
    }
    return {};
  }
  if (auto* button = qobject_cast<QAbstractButton*>(WidgetOfControl(control))) {
    int needed = button->sizeHint().width();
    if (needed > width) return name + " needs " + std::to_string(needed) + " px of width, has " + std::to_string(width);
    if (button->sizeHint().height() > height) return name + " is lower than its text";
    return {};
  }
  if (auto* edit = qobject_cast<QLineEdit*>(WidgetOfControl(control))) {
    if (edit->sizeHint().height() > height)
      return name + " needs " + std::to_string(edit->sizeHint().height()) + " px of height, has " + std::to_string(height);
    return {};
  }
  return name + " has no widget to measure";
}

void ExpectAllFit(TCustomForm* form, const char* state) {
  int measured = 0;
  for (Integer i = 0; i < form->ControlCount(); ++i) {
    TControl* c = form->Controls(i);
    SCOPED_TRACE(std::string(state) + ": " + StringToUtf8(c->GetName()));
    EXPECT_EQ(Misfit(c), "");
    ++measured;
    // Nothing may reach past the form's client area either.
    EXPECT_LE(c->GetLeft() + c->GetWidth(), form->GetClientWidth());
    EXPECT_LE(c->GetTop() + c->GetHeight(), form->GetClientHeight());
  }
  EXPECT_GT(measured, 5);
}

TEST_F(StartupTest, EveryTextOfThePriceListDialogFitsItsControl) {
  // The longest loopback address the lab can have; nothing answers there.
  setenv("PHOTO_ORDER_LAB_URL", "http://127.0.0.1:65535", 1);
  Owned<app::TDlgDownload> dialog(app::TDlgDownload::New(Application));
  dialog->Show();
  ASSERT_EQ(dialog->GetClientWidth(), 460);
  ASSERT_EQ(dialog->GetClientHeight(), 230);
  ExpectAllFit(dialog.get(), "waiting");
  // Failures as the status line shows them, in its red bold type; a server's status text can be
  // of any length, and the line grows to show all of it.
  const String reason = u"The lab's server is being moved to new hardware tonight and will answer again tomorrow; "
                        u"please come back in the morning, when the new one is up";
  const String errors[] = {
      u"Сбой при подключении. Не удалось установить защищённое соединение с сервером.",
      u"Не удалось скачать файл. 503 - " + reason,
      u"Не удалось скачать файл. 503 - " + reason + u" " + reason + u" " + reason,
      u"Не удалось получить данные о стоимости услуг",
  };
  for (const String& error : errors) {
    SCOPED_TRACE(StringToUtf8(error));
    PostMessage(dialog->Handle(), app::WM_PRICELISTERROR, 0, order::BoxString(error));
    ASSERT_TRUE(guitest::PumpUntil([&] { return dialog->lblInfo->GetCaption() == app::ErrorPrefix + error; }));
    ExpectAllFit(dialog.get(), "failed");
    // Nothing overlaps the status line.
    EXPECT_GE(dialog->lblNote->GetTop(), dialog->lblInfo->GetTop() + dialog->lblInfo->GetHeight());
  }
}

TEST_F(StartupTest, TheIntroLeavesNoEmptyLineUnderAShortLink) {
  struct Case {
    const char* lab;
    bool oneLine;
  } cases[] = {{"http://lab.test", true}, {"http://foto.selvana-tikhograd-laboratoriya.example:8080", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lab);
    setenv("PHOTO_ORDER_LAB_URL", c.lab, 1);
    Owned<app::TDlgDownload> dialog(app::TDlgDownload::New(Application));
    dialog->Show();
    QLabel* label = LabelWidget(dialog->lnkSite);
    ASSERT_NE(label, nullptr);
    const int lines = label->heightForWidth(dialog->lnkSite->GetWidth()) / QFontMetrics(label->font()).lineSpacing();
    EXPECT_EQ(lines, c.oneLine ? 1 : 2);
    EXPECT_EQ(dialog->lblSiteEnd->GetTop(), dialog->lnkSite->GetTop() + label->heightForWidth(dialog->lnkSite->GetWidth()));
    ExpectAllFit(dialog.get(), "waiting");
    dialog->Hide();
  }
}

TEST_F(StartupTest, EveryTextOfTheUpdateNoticeFitsItsControl) {
  order::UpdateURL = u"http://foto.selvana-tikhograd.example/UserFiles/Image/Selvana.exe";
  Owned<app::TDlgUpdate> dialog(app::TDlgUpdate::New(Application));
  dialog->Show();
  ASSERT_EQ(dialog->GetClientWidth(), 450);
  ASSERT_EQ(dialog->GetClientHeight(), 150);
  ExpectAllFit(dialog.get(), "shown");
  dialog->Hide();
  order::UpdateURL.clear();
}

TEST_F(StartupTest, DialogsOfFixedSizeKeepTheirSizeAndOfferNoMaximiseButton) {
  setenv("PHOTO_ORDER_LAB_URL", "http://127.0.0.1:65535", 1);
  Owned<app::TDlgDownload> download(app::TDlgDownload::New(Application));
  Owned<app::TDlgUpdate> update(app::TDlgUpdate::New(Application));
  Owned<TForm> sizeable(TForm::New(Application));
  sizeable->SetBorderStyle(TFormBorderStyle::bsSizeable);
  struct Case {
    const char* name;
    TCustomForm* form;
    bool maximise;  // and sizing
  } cases[] = {{"price list", download.get(), false}, {"update", update.get(), false}, {"sizeable", sizeable.get(), true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.form->Show();
    QWidget* w = WidgetOfControl(c.form);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ((w->windowFlags() & Qt::WindowMaximizeButtonHint) != 0, c.maximise);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
    const Integer width = c.form->GetWidth();
    c.form->SetWidth(width + 40);
    EXPECT_EQ(c.form->GetWidth(), c.maximise ? width + 40 : width);
    c.form->Hide();
  }
}

}  // namespace
}  // namespace startuptest
