// Every text of the order windows fits its control at the sizes the forms were laid out with, in
// the program's face: measured with the toolkit's own metrics and the style's own rectangles of
// the very widgets on screen, so a text the customer would see cut off fails here.
#include <filesystem>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>

#include "app/dialogs/DialogsFixture.h"
#include "app/uDlgAdd.h"
#include "app/uDlgDownload.h"
#include "app/uDlgUpdate.h"
#include "app/uDlgUpload.h"
#include "app/uFormMain.h"
#include "order/uLists.h"
#include "order/uUtils.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Strings.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"

namespace dlgtest {
namespace {

std::string Describe(const QWidget* w, const QString& text, int needed, int has) {
  return w->objectName().toStdString() + " \"" + text.toStdString() + "\" needs " + std::to_string(needed) +
         " px, has " + std::to_string(has);
}

// The texts of the shown window that do not fit their controls.
std::vector<std::string> CutTexts(QWidget* window) {
  std::vector<std::string> cut;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(window)) continue;
    const QFontMetrics fm(w->font());
    QStyle* style = w->style();
    if (auto* label = qobject_cast<QLabel*>(w)) {
      if (label->text().isEmpty() || label->textFormat() == Qt::RichText || Qt::mightBeRichText(label->text())) continue;
      const QRect cr = label->contentsRect();
      const int flags = static_cast<int>(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
      const QRect need = fm.boundingRect(QRect(0, 0, cr.width(), 10000), flags, label->text());
      if (need.width() > cr.width()) cut.push_back(Describe(w, label->text(), need.width(), cr.width()));
      if (need.height() > cr.height()) cut.push_back(Describe(w, label->text(), need.height(), cr.height()) + " of height");
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
      QStyleOptionButton opt;
      opt.initFrom(box);
      opt.text = box->text();
      const QRect contents = style->subElementRect(QStyle::SE_CheckBoxContents, &opt, box);
      const int needed = fm.horizontalAdvance(box->text());
      // The parent clips too: a check box reaching past its panel loses the end of its text.
      const int has = std::min(contents.width(), box->parentWidget()->width() - box->x() - contents.left());
      if (needed > has) cut.push_back(Describe(w, box->text(), needed, has));
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
      QStyleOptionButton opt;
      opt.initFrom(button);
      opt.text = button->text();
      const QRect contents = style->subElementRect(QStyle::SE_PushButtonContents, &opt, button);
      const int needed = fm.horizontalAdvance(button->text());
      if (needed > contents.width()) cut.push_back(Describe(w, button->text(), needed, contents.width()));
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
      QStyleOptionComboBox opt;
      opt.initFrom(combo);
      opt.editable = combo->isEditable();
      opt.currentText = combo->currentText();
      const QRect field = style->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo);
      // Any entry may be the chosen one.
      for (int i = 0; i < combo->count(); ++i) {
        const int needed = fm.horizontalAdvance(combo->itemText(i));
        if (needed > field.width()) cut.push_back(Describe(w, combo->itemText(i), needed, field.width()));
      }
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      if (fm.height() > edit->contentsRect().height())
        cut.push_back(Describe(w, edit->text(), fm.height(), edit->contentsRect().height()) + " of height");
    }
  }
  return cut;
}

std::vector<std::string> CutTexts(TWinControl* form) {
  Application->Idle();
  guitest::PumpPending();
  return CutTexts(layer::WidgetOf(form->Handle()));
}

// The order dialog keeps the customer's details when it closes: no test leaves them to the next.
class TextsFitTest : public DialogsTest {
protected:
  void TearDown() override {
    std::filesystem::remove(StringToUtf8(order::GetInfoFileName()));
    DialogsTest::TearDown();
  }
};

TEST_F(TextsFitTest, TheMainWindowAndItsEditingPanel) {
  order::MinPrice = 50;
  TMain* main = TMain::New(Application);
  main->Show();
  EXPECT_EQ(CutTexts(main), std::vector<std::string>{}) << "empty";
  Shot(main, "main-empty");
  Owned<TImageItem> source(TImageItem::New(nullptr));
  source->FileName = u"/photos/beach.jpg";
  source->OrigWidth = 3000;
  source->OrigHeight = 2000;
  source->ChangeThumb(PatternThumb(150, 100), true);
  main->AddImage(source.get(), order::ptGlossy, true, 100, 0);
  main->Photos()->GetItem(0)->SetFocused(true);
  main->Photos()->GetItem(0)->SetSelected(true);
  main->UpdateTotals();
  ASSERT_TRUE(main->pnlImage->GetVisible());
  EXPECT_EQ(CutTexts(main), std::vector<std::string>{}) << "with the panel over a photo";
  Shot(main, "main-panel");
  main->Free();
}

TEST_F(TextsFitTest, TheAddPhotosDialogsPaperList) {
  Owned<TStringList> files(TStringList::New());
  files->Add(Utf8ToString(WritePhoto(Dir, "a.jpg", 300, 200)));
  TDlgAdd* dlg = TDlgAdd::New(Application);
  guitest::PostWork([&] {
    ASSERT_TRUE(guitest::PumpUntil([&] { return !dlg->Checking(); }));
    // "Глянцевая  (12,5 руб.)" was cut at the right.
    EXPECT_EQ(CutTexts(dlg), std::vector<std::string>{});
    dlg->ActCancel->Execute();
  });
  dlg->Execute(files.get());
  dlg->Free();
}

TEST_F(TextsFitTest, EveryPageOfTheOrderDialog) {
  TDlgUpload* dlg = TDlgUpload::New(Application, new TInfoList);
  guitest::PostWork([&] {
    for (Integer i = 0; i < dlg->Pages->PageCount(); ++i) {
      dlg->Pages->SetActivePageIndex(i);
      SCOPED_TRACE(StringToUtf8(dlg->Pages->Pages(i)->GetName()));
      EXPECT_EQ(CutTexts(dlg), std::vector<std::string>{});
      Shot(dlg, "order-page-" + std::to_string(i + 1));
    }
    dlg->Pages->SetActivePageIndex(0);
    dlg->ActCancel->Execute();
    dlg->ActCancel->Execute();
  });
  dlg->Execute();
  dlg->Free();
}

TEST_F(TextsFitTest, ThePriceListDialogWaitingAndFailedAndTheUpdateNotice) {
  // Nothing listens on the discard port: the download fails at once.
  setenv("PHOTO_ORDER_LAB_URL", "http://127.0.0.1:9", 1);
  {
    Owned<TDlgDownload> dlg(TDlgDownload::New(Application));
    dlg->Show();
    EXPECT_EQ(CutTexts(dlg.get()), std::vector<std::string>{}) << "waiting";
    Shot(dlg.get(), "price-list-waiting");
    ASSERT_TRUE(guitest::PumpUntil([&] { return !dlg->Downloading(); }));
    ASSERT_EQ(dlg->lblInfo->GetCaption().rfind(ErrorPrefix, 0), 0u);
    EXPECT_EQ(CutTexts(dlg.get()), std::vector<std::string>{}) << "failed";
    Shot(dlg.get(), "price-list-error");
    dlg->Hide();
  }
  unsetenv("PHOTO_ORDER_LAB_URL");
  order::UpdateURL = u"http://foto.selvana-tikhograd.example/UserFiles/Image/Selvana.exe";
  Owned<TDlgUpdate> update(TDlgUpdate::New(Application));
  update->Show();
  EXPECT_EQ(CutTexts(update.get()), std::vector<std::string>{});
  Shot(update.get(), "update");
  update->Hide();
  order::UpdateURL.clear();
}

}  // namespace
}  // namespace dlgtest
