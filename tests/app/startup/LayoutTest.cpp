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
  // The longest failures the status line shows, in its red bold type.
  const String errors[] = {
      u"Ошибка. Сбой при подключении. Failed to connect to 127.0.0.1 port 65535 after 0 ms: Couldn't connect to server",
      u"Ошибка. Сбой при скачивании данных. Transferred a partial file: transfer closed with outstanding read data "
      u"remaining",
      u"Ошибка. Не удалось получить данные о стоимости услуг",
  };
  for (const String& error : errors) {
    dialog->lblInfo->SetCaption(error);
    dialog->lblInfo->GetFont()->SetColor(clRed);
    dialog->lblInfo->GetFont()->SetStyle(TFontStyles{TFontStyle::fsBold});
    ExpectAllFit(dialog.get(), "failed");
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

}  // namespace
}  // namespace startuptest
