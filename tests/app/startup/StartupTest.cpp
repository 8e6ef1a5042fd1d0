// The program's start-up through the same main block the program runs, against the lab server:
// the price-list dialog with its real download thread, its failures and retries, the update
// notice, closing while the lab is slow, and a refused or empty profile argument.
#include <QImage>
#include <QLabel>

#include <chrono>
#include <thread>

#include "app/startup/PriceListFixtures.h"
#include "app/startup/StartupFixture.h"
#include "app/uDlgDownload.h"
#include "app/uDlgUpdate.h"
#include "app/uFormMain.h"
#include "app/uProgram.h"
#include "platform/classlib/LinkLabel.h"
#include "platform/rtl/Strings.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"

namespace startuptest {
namespace {

using labserver::TRequestKind;

bool StartsStr(StringView prefix, const String& s) { return s.compare(0, prefix.size(), prefix) == 0; }

TCustomForm* Dialog() { return FindForm(u"DlgDownload"); }
TCustomForm* UpdateDialog() { return FindForm(u"DlgUpdate"); }
bool Visible(TCustomForm* f) { return f && f->HandleAllocated() && IsWindowVisible(f->Handle()); }
TCustomForm* MainForm() {
  TCustomForm* main = FindForm(u"Main");
  return Visible(main) ? main : nullptr;
}
String Info() {
  auto* label = Find<TControl>(Dialog(), "lblInfo");
  return label ? label->GetCaption() : String();
}
bool Enabled(const QString& name) {
  auto* control = Find<TWinControl>(Dialog(), name);
  return control && IsWindowEnabled(control->Handle());
}

// What the status line looks like: its text, and whether it is drawn red and bold.
struct TStatusLook {
  bool Red{false};
  bool Bold{false};
};
TStatusLook StatusLook() {
  auto* label = Find<TControl>(Dialog(), "lblInfo");
  QWidget* w = WidgetOfControl(label);
  TStatusLook look;
  if (!label || !w) return look;
  look.Red = label->GetFont()->GetColor() == clRed && w->palette().color(QPalette::WindowText) == QColor(255, 0, 0);
  look.Bold = label->GetFont()->GetStyle().Contains(TFontStyle::fsBold) && w->font().bold();
  return look;
}

TEST_F(StartupTest, AGoodPriceListOpensTheMainWindowWithTheModelFilled) {
  StartLab(fixtures::GoodPriceList);
  String caption;
  Script.Add("main window", [] { return MainForm() != nullptr; }, [&] {
    caption = MainForm()->GetCaption();
    MainForm()->Close();
  });
  Script.Start();
  EXPECT_EQ(app::ProgramMain(), 0);
  ASSERT_TRUE(Script.Finished()) << Script.Pending();
  EXPECT_EQ(caption, u"Сельвана Тихоград - заказ фотографий - версия 3.0");
  EXPECT_EQ(PriceListRequests(), 1u);
  // The blank-placed city and the unpriced size are dropped.
  ASSERT_EQ(order::Cities()->Count(), 2);
  EXPECT_EQ(order::Cities()->Items(0)->Name, u"Тихоград");
  EXPECT_EQ(order::Cities()->Items(1)->Name, u"Озёрск");
  ASSERT_EQ(order::PhotoSizes()->Count(), 2);
  EXPECT_EQ(order::PhotoSizes()->Items(0)->Name, u"10х15 см");
  EXPECT_EQ(order::PhotoSizes()->Items(1)->Name, u"20х30 см");
  EXPECT_EQ(order::MinPrice, 120);
  EXPECT_EQ(order::UploadScriptURL, LabUrl() + u"/upload3.php");
}

TEST_F(StartupTest, AListLeftWithoutAValidSizePassesTheDialogEmpty) {
  // Only the main block ends the program then; the dialog itself reports success.
  StartLab(fixtures::OnlyInvalidSizePriceList);
  Owned<app::TDlgDownload> dialog(app::TDlgDownload::New(Application));
  EXPECT_EQ(dialog->Execute(), app::drProcess);
  EXPECT_FALSE(dialog->Downloading());
  EXPECT_EQ(order::Cities()->Count(), 1);
  EXPECT_EQ(order::PhotoSizes()->Count(), 0);
}

TEST_F(StartupTest, AListLeftWithoutAValidSizeOrCityEndsTheProgramSilently) {
  struct Case {
    const char* Name;
    const std::string& PriceList;
    Integer Cities, Sizes;
  };
  const Case cases[] = {
      {"no valid size", fixtures::OnlyInvalidSizePriceList, 1, 0},
      {"no valid city", fixtures::OnlyInvalidCityPriceList, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    StartLab(c.PriceList);
    pf::testing::ClearMessageBoxLog();
    pf::testing::SetMessageBoxHook([](const pf::testing::TMessageBoxRequest&) { return IDOK; });
    EXPECT_EQ(app::ProgramMain(), 0);
    EXPECT_EQ(FindForm(u"Main"), nullptr);
    EXPECT_EQ(order::Cities()->Count(), c.Cities);
    EXPECT_EQ(order::PhotoSizes()->Count(), c.Sizes);
    EXPECT_TRUE(pf::testing::MessageBoxLog().empty());
    order::uLists::Reset();
  }
}

TEST_F(StartupTest, AFailedDownloadShowsTheErrorAndARetrySucceeds) {
  StartLab(fixtures::GoodPriceList);
  Lab->AnswerStatus(TRequestKind::PriceList, 404, 1);
  Script.Add("error shown", [] { return Visible(Dialog()) && StartsStr(u"Ошибка. ", Info()); }, [&] {
    EXPECT_EQ(Info(), u"Ошибка. Не удалось скачать файл. 404 - Not Found");
    TStatusLook look = StatusLook();
    EXPECT_TRUE(look.Red);
    EXPECT_TRUE(look.Bold);
    Application->Idle();
    EXPECT_TRUE(Enabled("btnDownload"));
    EXPECT_FALSE(Enabled("btnCancel"));
    // The retry, as the default button's click.
    Find<TButton>(Dialog(), "btnDownload")->Click();
    EXPECT_EQ(Info(), u"Пожалуйста, дождитесь окончания обновления...");
    look = StatusLook();
    EXPECT_FALSE(look.Red);
    EXPECT_FALSE(look.Bold);
    Application->Idle();
    EXPECT_FALSE(Enabled("btnDownload"));
    EXPECT_TRUE(Enabled("btnCancel"));
  });
  Script.Add("main window", [] { return MainForm() != nullptr; }, [] { MainForm()->Close(); });
  Script.Start();
  EXPECT_EQ(app::ProgramMain(), 0);
  ASSERT_TRUE(Script.Finished()) << Script.Pending();
  EXPECT_EQ(PriceListRequests(), 2u);
  EXPECT_EQ(order::Cities()->Count(), 2);
  EXPECT_EQ(order::PhotoSizes()->Count(), 2);
}

// A picture of the dialog for a look, when the run asks for pictures.
void Shot(TCustomForm* form, const std::string& name) {
  const char* out = std::getenv("PO_SCREENSHOT_DIR");
  if (!out || !*out || !form) return;
  Application->ProcessMessages();
  if (QWidget* w = layer::WidgetOf(form->Handle()))
    w->grab().toImage().save(QString::fromUtf8(out) + "/" + QString::fromStdString(name) + ".png");
}

TEST_F(StartupTest, AfterAFailedDownloadEnterTriesAgainInsteadOfOpeningTheSite) {
  StartLab(fixtures::GoodPriceList);
  Lab->AnswerStatus(TRequestKind::PriceList, 404, 1);
  auto press = [](int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    guitest::Type(GetFocus(), key, {}, mods);
    Application->ProcessMessages();
  };
  // The keys run nested loops, in which the script's timer may look at the next step already.
  bool pressed = false, retried = false;
  Script.Add("error shown", [] { return Visible(Dialog()) && StartsStr(u"Ошибка. ", Info()); }, [&] {
    auto* download = Find<TButton>(Dialog(), "btnDownload");
    auto* site = Find<TLinkLabel>(Dialog(), "lnkSite");
    ASSERT_TRUE(download && site);
    // The default button is enabled again at once, and the focus is back on it.
    EXPECT_TRUE(IsWindowEnabled(download->Handle()));
    EXPECT_FALSE(Enabled("btnCancel"));
    EXPECT_EQ(GetFocus(), download->Handle());
    Shot(Dialog(), "download-error-focus-on-button");
    // The customer looks around with the keyboard: back to the link, which shows its focus...
    press(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(GetFocus(), site->Handle());
    Shot(Dialog(), "download-error-focus-on-link");
    // ...and forward to the button again, where Enter tries again.
    press(Qt::Key_Tab);
    EXPECT_EQ(GetFocus(), download->Handle());
    Shot(Dialog(), "download-error-focus-on-button-after-tab");
    press(Qt::Key_Return);
    retried = Info() == u"Пожалуйста, дождитесь окончания обновления...";
    pressed = true;
    EXPECT_TRUE(retried);
    if (!retried) guitest::CloseBox(Dialog()->Handle());
  });
  Script.Add("main window", [&] { return pressed && (!retried || MainForm() != nullptr); }, [] {
    if (MainForm()) MainForm()->Close();
  });
  Script.Start();
  EXPECT_EQ(app::ProgramMain(), 0);
  ASSERT_TRUE(Script.Finished()) << Script.Pending();
  EXPECT_TRUE(OpenedLinks.empty()) << "Enter opened the lab's site";
  EXPECT_EQ(PriceListRequests(), 2u);
}

TEST_F(StartupTest, AListWithoutSizesIsAFailureAndClosingEndsTheProgram) {
  StartLab(fixtures::NoSizesPriceList);
  Script.Add("error shown", [] { return Visible(Dialog()) && StartsStr(u"Ошибка. ", Info()); }, [&] {
    EXPECT_EQ(Info(), u"Ошибка. Не удалось получить данные о стоимости услуг");
    EXPECT_TRUE(StatusLook().Red);
    // Cancel is off after a failure; the close box remains.
    guitest::CloseBox(Dialog()->Handle());
  });
  Script.Start();
  EXPECT_EQ(app::ProgramMain(), 0);
  ASSERT_TRUE(Script.Finished()) << Script.Pending();
  EXPECT_EQ(FindForm(u"Main"), nullptr);
  EXPECT_EQ(order::Cities()->Count(), 0);
  EXPECT_EQ(order::MinPrice, 50);
}

TEST_F(StartupTest, ANewerVersionShowsOnlyTheUpdateNoticeWithItsLink) {
  StartLab(fixtures::NewerVersionPriceList);
  const String installer = LabUrl() + u"/UserFiles/Image/Selvana.exe";
  Script.Add("update notice", [] { return Visible(UpdateDialog()); }, [&] {
    TCustomForm* dlg = UpdateDialog();
    EXPECT_EQ(dlg->GetCaption(), u"Необходимо обновление программы");
    EXPECT_EQ(Find<TEdit>(dlg, "edDownloadURL")->GetText(), installer);
    EXPECT_TRUE(Find<TEdit>(dlg, "edDownloadURL")->GetReadOnly());
    auto* link = Find<TLinkLabel>(dlg, "lnkDownload");
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(IsWindowEnabled(link->Handle()));
    link->ClickLink(0);
    EXPECT_EQ(order::Cities()->Count(), 0);
    EXPECT_EQ(order::PhotoSizes()->Count(), 0);
    EXPECT_EQ(order::MinPrice, 50);
    Find<TButton>(dlg, "btnClose")->Click();
  });
  Script.Start();
  EXPECT_EQ(app::ProgramMain(), 0);
  ASSERT_TRUE(Script.Finished()) << Script.Pending();
  EXPECT_EQ(OpenedLinks, std::vector<String>{installer});
  EXPECT_EQ(FindForm(u"Main"), nullptr);
}

TEST_F(StartupTest, AnInstallerAddressThatIsNotAWebAddressIsShownButNeverOpened) {
  const std::string addresses[] = {"file:///bin/sh", "http://"};
  for (const std::string& address : addresses) {
    SCOPED_TRACE(address);
    order::UpdateURL = Utf8ToString(address);
    Owned<app::TDlgUpdate> dlg(app::TDlgUpdate::New(Application));
    dlg->HandleNeeded();
    EXPECT_EQ(dlg->edDownloadURL->GetText(), order::UpdateURL);
    EXPECT_FALSE(dlg->lnkDownload->GetEnabled());
    dlg->lnkDownload->ClickLink(0);
    EXPECT_TRUE(OpenedLinks.empty());
  }
  order::UpdateURL.clear();
}

TEST_F(StartupTest, ClosingWhileTheLabIsSlowAbortsTheDownload) {
  for (bool closeBox : {true, false}) {
    SCOPED_TRACE(closeBox ? "close box" : "cancel button");
    StartLab(fixtures::GoodPriceList);
    Lab->DelayReply(TRequestKind::PriceList, 10 * 60 * 1000);
    TScript script;
    // The modal loop's own idle pass brings the buttons up to date.
    script.Add("waiting", [this] { return Visible(Dialog()) && PriceListRequests() == 1 && !Enabled("btnDownload"); },
               [closeBox] {
                 EXPECT_EQ(Info(), u"Пожалуйста, дождитесь окончания обновления...");
                 EXPECT_TRUE(Enabled("btnCancel"));
                 if (closeBox)
                   guitest::CloseBox(Dialog()->Handle());
                 else
                   Find<TButton>(Dialog(), "btnCancel")->Click();
               });
    script.Start();
    // Returns as soon as the dialog is freed: its thread's transfer is aborted, not waited for.
    EXPECT_EQ(app::ProgramMain(), 0);
    ASSERT_TRUE(script.Finished()) << script.Pending();
    EXPECT_EQ(FindForm(u"Main"), nullptr);
    EXPECT_EQ(order::Cities()->Count(), 0);
    ASSERT_TRUE(Lab->WaitForRecord([](const auto& r) { return r.size() == 1 && r[0].Finished; }, 20000));
    EXPECT_TRUE(Lab->Requests()[0].ClientClosedEarly);
  }
}

TEST_F(StartupTest, AListArrivingWhenTheDialogDoesNotShowIsFreed) {
  StartLab(fixtures::GoodPriceList);
  const int64_t before = TObject::LiveObjects();
  {
    Owned<app::TDlgDownload> dialog(app::TDlgDownload::New(Application));
    ASSERT_TRUE(dialog->Downloading());
    ASSERT_TRUE(Lab->WaitForRecord([](const auto& r) { return r.size() == 1 && r[0].Finished; }, 20000));
    // The list comes to a dialog that was never shown: it is not taken, and the queue frees it.
    for (int i = 0; i < 2000 && pf::testing::QueuedMessageCount() == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(pf::testing::QueuedMessageCount(), 1);
    guitest::PumpPending();
    EXPECT_TRUE(dialog->Downloading());
  }
  guitest::PumpPending();
  EXPECT_EQ(TObject::LiveObjects(), before);
  // Nothing of it reached the model either (the global list is made by this look).
  EXPECT_EQ(order::PhotoSizes()->Count(), 0);
}

TEST_F(StartupTest, ABadProfileArgumentIsRefusedBeforeAnythingElse) {
  StartLab(fixtures::GoodPriceList);
  pf::testing::SetMessageBoxHook([](const pf::testing::TMessageBoxRequest&) { return IDOK; });
  for (const char16_t* argument : {u"../other", u".", u"a/b", u"a\nb"}) {
    SCOPED_TRACE(StringToUtf8(argument));
    pf::testing::ClearMessageBoxLog();
    SetCommandLine(std::vector<String>{u"photo-order", argument});
    EXPECT_EQ(app::ProgramMain(), 2);
    ASSERT_EQ(pf::testing::MessageBoxLog().size(), 1u);
    const auto& box = pf::testing::MessageBoxLog()[0];
    EXPECT_EQ(box.Caption, u"Ошибка");
    EXPECT_EQ(box.Type, 0x2010u);
    EXPECT_FALSE(box.Text.empty());
  }
  EXPECT_EQ(PriceListRequests(), 0u);
  EXPECT_EQ(Screen->FormCount(), 0);
}

TEST_F(StartupTest, AnEmptyProfileArgumentStartsTheProgramWithoutAProfile) {
  StartLab(fixtures::GoodPriceList);
  SetCommandLine(std::vector<String>{u"photo-order", u""});
  // A refusal would show its box and end the program at once.
  pf::testing::SetMessageBoxHook([](const pf::testing::TMessageBoxRequest&) { return IDOK; });
  Script.Add("main window", [] { return MainForm() != nullptr; }, [] { MainForm()->Close(); });
  Script.Start();
  EXPECT_EQ(app::ProgramMain(), 0);
  ASSERT_TRUE(Script.Finished()) << Script.Pending();
  EXPECT_TRUE(pf::testing::MessageBoxLog().empty());
  EXPECT_EQ(PriceListRequests(), 1u);
}

}  // namespace
}  // namespace startuptest
