// The open-file dialog: the filter list, the test hook, and the toolkit's dialog waited for in a
// layer loop (with a screenshot under a virtual display when PO_SCREENSHOT_DIR is set).

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>

#include <cstdlib>

#include "platform/classlib/Dialogs.h"
#include "platform/gdi/QtConvert_p.h"
#include "platform/user/Layer_p.h"
#include "ClassLibFixture.h"

namespace classlibtest {
namespace {

using namespace pf;

// The main window's filter, as the lab's program gives it.
const String kPhotoFilter =
    u"Все поддерживаемые форматы|*.bmp;*.jpg;*.jpeg;*.png|Изображения в формате BMP|*.bmp|Изображения в "
    u"формате JPEG|*.jpg;*.jpeg|Изображения в формате PNG|*.png";

class DialogsTest : public ClassLibTest {
protected:
  void TearDown() override {
    pf::testing::SetOpenDialogHook({});
    ClassLibTest::TearDown();
  }
};

QFileDialog* OpenFileDialog() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) return d;
  return nullptr;
}

TEST_F(DialogsTest, TheFilterListSplitsIntoDescriptionsAndPatterns) {
  struct Case {
    const char* name;
    String filter;
    std::vector<std::pair<String, std::vector<String>>> expected;
  };
  const Case cases[] = {
      {"the main window's four filters",
       kPhotoFilter,
       {{u"Все поддерживаемые форматы", {u"*.bmp", u"*.jpg", u"*.jpeg", u"*.png"}},
        {u"Изображения в формате BMP", {u"*.bmp"}},
        {u"Изображения в формате JPEG", {u"*.jpg", u"*.jpeg"}},
        {u"Изображения в формате PNG", {u"*.png"}}}},
      {"empty", u"", {}},
      {"a description without patterns is dropped", u"Все|*.*|Ничего", {{u"Все", {u"*.*"}}}},
      {"blanks and empty patterns", u"Текст| *.txt ;;*.log", {{u"Текст", {u"*.txt", u"*.log"}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::pair<String, std::vector<String>>> got;
    for (const TFilterEntry& e : ParseFilter(c.filter)) got.emplace_back(e.Description, e.Patterns);
    EXPECT_EQ(got, c.expected);
  }
}

TEST_F(DialogsTest, TheHookSeesTheDialogAsAskedForAndAnswersTheChosenFiles) {
  TOpenDialog* dlg = TOpenDialog::New(Application);
  dlg->Filter = kPhotoFilter;
  dlg->Options.Include(TOpenOption::ofAllowMultiSelect);
  dlg->FilterIndex = 3;
  pf::testing::TOpenDialogRequest seen;
  bool answer = true;
  pf::testing::SetOpenDialogHook([&](const pf::testing::TOpenDialogRequest& r, std::vector<String>& files, Integer& index) {
    seen = r;
    files = {u"/фото/Отпуск 1.JPG", u"/фото/снимок.png"};
    index = 4;
    return answer;
  });
  ASSERT_TRUE(dlg->Execute());
  EXPECT_TRUE(seen.MultiSelect);
  EXPECT_TRUE(seen.Resizable) << "resizable by default";
  EXPECT_EQ(seen.FilterIndex, 3);
  ASSERT_EQ(seen.Filters.size(), 4u);
  EXPECT_EQ(dlg->GetFiles()->Count(), 2);
  EXPECT_EQ(dlg->GetFiles()->Get(1), u"/фото/снимок.png");
  EXPECT_EQ(dlg->FileName, u"/фото/Отпуск 1.JPG");
  EXPECT_EQ(dlg->FilterIndex, 4) << "the filter the user left chosen";
  answer = false;
  EXPECT_FALSE(dlg->Execute());
  EXPECT_EQ(dlg->GetFiles()->Count(), 2) << "a cancelled dialog leaves the last choice";
}

// A folder with photos named in Cyrillic, in both cases, and a file the filter leaves out.
struct PhotoFolder {
  QTemporaryDir Dir;
  PhotoFolder() {
    for (const char* name : {"Отпуск 1.JPG", "снимок.png", "Дача.jpeg", "заметки.txt", "рисунок.bmp"}) {
      QFile f(Dir.filePath(QString::fromUtf8(name)));
      f.open(QIODevice::WriteOnly);
      f.write("x");
    }
  }
  String Path(const char* name) const { return FromQ(QDir::toNativeSeparators(Dir.filePath(QString::fromUtf8(name)))); }
};

TEST_F(DialogsTest, TheToolkitsDialogIsWaitedForInALayerLoopWithTheOtherFormsDisabled) {
  PhotoFolder folder;
  TForm* form = TForm::New(Application);
  form->Show();
  TOpenDialog* dlg = TOpenDialog::New(form);
  dlg->Filter = kPhotoFilter;
  dlg->Options.Include(TOpenOption::ofAllowMultiSelect);
  dlg->InitialDir = FromQ(folder.Dir.path());
  bool formDisabled = false;
  QStringList filters;
  bool sizeGrip = false;
  QSize greatest;
  int timerTicks = 0;
  UINT_PTR timer = SetTimer(nullptr, 0, 1, [&](HWND, UINT, UINT_PTR, DWORD) { ++timerTicks; });
  guitest::PostWork([&] {
    QFileDialog* d = OpenFileDialog();
    ASSERT_NE(d, nullptr);
    formDisabled = !IsWindowEnabled(form->Handle());
    filters = d->nameFilters();
    sizeGrip = d->isSizeGripEnabled();
    greatest = d->maximumSize();
    guitest::PumpUntil([&] { return timerTicks > 0; });  // the layer's timers run meanwhile
    auto* view = d->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    guitest::PumpUntil([&] { return view && view->model() && view->model()->rowCount(view->rootIndex()) >= 4; }, 5000);
    // The names typed into the file name field, as the user would.
    auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(QStringLiteral("\"Отпуск 1.JPG\" \"снимок.png\""));
    static_cast<QDialog*>(d)->accept();  // the Open button
  });
  ASSERT_TRUE(dlg->Execute());
  KillTimer(nullptr, timer);
  EXPECT_TRUE(formDisabled);
  EXPECT_TRUE(IsWindowEnabled(form->Handle())) << "the form comes back after the dialog";
  EXPECT_TRUE(sizeGrip);
  // Sizeable without a maximise button: a greatest size (the largest an X window can be) keeps
  // the window managers that maximise any window without one from offering it.
  EXPECT_EQ(greatest, QSize(32767, 32767));
  ASSERT_EQ(filters.size(), 4);
  EXPECT_TRUE(filters.at(0).startsWith(QStringLiteral("Все поддерживаемые форматы (")));
  EXPECT_TRUE(filters.at(2).contains(QStringLiteral("*.[jJ][pP][gG]"))) << "the patterns match either case";
  ASSERT_EQ(dlg->GetFiles()->Count(), 2);
  EXPECT_EQ(dlg->GetFiles()->Get(0), folder.Path("Отпуск 1.JPG"));
  EXPECT_EQ(dlg->GetFiles()->Get(1), folder.Path("снимок.png"));

  guitest::PostWork([&] { OpenFileDialog()->reject(); });
  EXPECT_FALSE(dlg->Execute()) << "cancelled";
  EXPECT_EQ(OpenFileDialog(), nullptr);
}

// A Russian desktop gets a Russian file dialog: the toolkit's own translations are loaded for the
// desktop's language (the English ones are the toolkit's built-in texts).
TEST_F(DialogsTest, TheOpenDialogSpeaksTheDesktopsLanguage) {
  struct Case {
    QLocale locale;
    QString lookIn, fileName, cancel;
  } cases[] = {
      {QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("Перейти к:"), QStringLiteral("Имя файла:"),
       QStringLiteral("Отмена")},
      {QLocale::c(), QStringLiteral("Look in:"), QStringLiteral("File name:"), QStringLiteral("Cancel")},
  };
  PhotoFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale.name().toStdString());
    layer::LoadTranslations(c.locale);
    TOpenDialog* dlg = TOpenDialog::New(Application);
    dlg->Filter = kPhotoFilter;
    dlg->InitialDir = FromQ(folder.Dir.path());
    QString lookIn, fileName, cancel;
    guitest::PostWork([&] {
      QFileDialog* d = OpenFileDialog();
      ASSERT_NE(d, nullptr);
      if (auto* l = d->findChild<QLabel*>(QStringLiteral("lookInLabel"))) lookIn = l->text();
      if (auto* l = d->findChild<QLabel*>(QStringLiteral("fileNameLabel"))) fileName = l->text().remove(u'&');
      if (auto* box = d->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")))
        if (QPushButton* b = box->button(QDialogButtonBox::Cancel)) cancel = b->text().remove(u'&');
      d->reject();
    });
    EXPECT_FALSE(dlg->Execute());
    EXPECT_EQ(lookIn, c.lookIn);
    EXPECT_EQ(fileName, c.fileName);
    EXPECT_EQ(cancel, c.cancel);
    dlg->Free();
  }
  layer::LoadTranslations(QLocale::system());
}

// Under a virtual display (xvfb-run with QT_QPA_PLATFORM=xcb and PO_SCREENSHOT_DIR set) the
// dialog is shown for real over a form, two photos selected, and the screen saved for a person
// to look at.
TEST_F(DialogsTest, ScreenshotOfTheOpenDialog) {
  const char* out = std::getenv("PO_SCREENSHOT_DIR");
  if (!out) GTEST_SKIP() << "PO_SCREENSHOT_DIR is not set";
  PhotoFolder folder;
  TForm* form = TForm::New(Application);
  form->SetBounds(20, 20, 760, 560);
  form->SetCaption(u"Заказ фотографий");
  form->Show();
  TOpenDialog* dlg = TOpenDialog::New(form);
  dlg->Filter = kPhotoFilter;
  dlg->Options.Include(TOpenOption::ofAllowMultiSelect);
  dlg->InitialDir = FromQ(folder.Dir.path());
  bool saved = false;
  guitest::PostWork([&] {
    QFileDialog* d = OpenFileDialog();
    ASSERT_NE(d, nullptr);
    d->resize(700, 450);
    d->move(60, 60);
    // Wait for the folder's listing, then select two photos as the user would with Ctrl.
    auto* view = d->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    guitest::PumpUntil([&] { return view && view->model() && view->model()->rowCount(view->rootIndex()) >= 4; }, 5000);
    d->selectFile(QStringLiteral("\"Отпуск 1.JPG\" \"снимок.png\""));
    if (auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
      edit->setText(QStringLiteral("\"Отпуск 1.JPG\" \"снимок.png\""));
    guitest::PumpUntil([] { return false; }, 500);
    QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    saved = shot.save(QString::fromUtf8(out) + QStringLiteral("/open-dialog.png"));
    d->grab().save(QString::fromUtf8(out) + QStringLiteral("/open-dialog-widget.png"));
    static_cast<QDialog*>(d)->accept();  // the Open button
  });
  ASSERT_TRUE(dlg->Execute());
  EXPECT_TRUE(saved);
  EXPECT_EQ(dlg->GetFiles()->Count(), 2);
}

}  // namespace
}  // namespace classlibtest
