// The order windows with the keyboard alone: where the focus starts, that every Tab stop shows it
// has the focus, and that Escape and the first typed letter go where the customer expects.
#include <filesystem>

#include <QImage>
#include <QWidget>

#include <map>

#include "app/dialogs/DialogsFixture.h"
#include "app/uDlgAdd.h"
#include "app/uDlgUpload.h"
#include "app/uFormMain.h"
#include "order/uLists.h"
#include "order/uSettings.h"
#include "order/uUtils.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Strings.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"
#include "support/TestEnv.h"

namespace dlgtest {
namespace {

std::string NameOf(HWND h) {
  QWidget* w = h ? layer::WidgetOf(h) : nullptr;
  return w ? w->objectName().toStdString() : std::string("<none>");
}

QImage Picture(HWND h) {
  Application->ProcessMessages();
  Application->Idle();
  return layer::WidgetOf(h)->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Keys as the keyboard gives them, handled by the program's own loop (dialog keys included).
void Press(int key, const QString& text = {}, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  HWND target = GetFocus();
  ASSERT_NE(target, nullptr);
  guitest::Type(target, key, text, mods);
  Application->ProcessMessages();
  Application->Idle();  // the actions' state, as between keys in the program's loop
}

// Tabs once round the window and checks that each stop looks different focused than it did
// before the pass, while nothing had the focus there. The style draws a default button's outline
// whether or not it has the focus: those stops are only counted.
void TabRound(TCustomForm* form, const std::vector<std::string>& stops, const std::string& defaultButton = {}) {
  std::map<std::string, QImage> before;
  for (const std::string& name : stops) {
    if (name == defaultButton) continue;
    HWND h = guitest::FindChildByName(form->Handle(), QString::fromStdString(name));
    ASSERT_NE(h, nullptr) << name;
    if (h != GetFocus()) before[name] = Picture(h);
  }
  for (size_t i = 0; i < stops.size() + 1; ++i) {
    Press(Qt::Key_Tab);
    const std::string& expected = stops[i % stops.size()];
    HWND focused = GetFocus();
    ASSERT_EQ(NameOf(focused), expected) << "Tab " << i + 1;
    auto it = before.find(expected);
    if (it != before.end()) {
      EXPECT_NE(Picture(focused), it->second) << expected << " shows no focus";
    }
  }
}

// The order dialog keeps the customer's details when it closes: no test leaves them to the next.
class KeyboardTest : public DialogsTest {
protected:
  void TearDown() override {
    std::filesystem::remove(StringToUtf8(order::GetInfoFileName()));
    DialogsTest::TearDown();
  }
};

TEST_F(KeyboardTest, EveryStopOfTheMainWindowShowsItsFocus) {
  TMain* main = TMain::New(Application);
  main->Show();
  Owned<TImageItem> source(TImageItem::New(nullptr));
  source->FileName = u"/photos/beach.jpg";
  source->OrigWidth = 3000;
  source->OrigHeight = 2000;
  source->ChangeThumb(PatternThumb(150, 100), true);
  main->AddImage(source.get(), order::ptGlossy, false, 1, 0);
  main->Photos()->GetItem(0)->SetFocused(true);
  main->Photos()->GetItem(0)->SetSelected(true);
  ASSERT_TRUE(main->pnlImage->GetVisible());
  // The list is the first stop: the window opens with the focus there.
  EXPECT_EQ(NameOf(GetFocus()), "List");
  // The editing panel lies inside the list, so its controls follow it.
  TabRound(main, {"cbPhotoSize", "cbPaperType", "edPhotoCount", "cbWithBorders", "btnAddFoto", "btnUpload",
                  "lnkManual", "List"});
  Shot(main, "keys-main-window");
  main->Free();
}

TEST_F(KeyboardTest, TheOrderDialogStartsInTheSurnameAndTabsThroughItsPage) {
  TDlgUpload* dlg = TDlgUpload::New(Application, new TInfoList);
  guitest::PostWork([&] {
    Application->ProcessMessages();
    EXPECT_EQ(NameOf(GetFocus()), "edSecondName");
    Press(Qt::Key_P, QStringLiteral("П"));
    EXPECT_EQ(dlg->edSecondName->GetText(), u"П") << "the first key typed goes into the surname";
    TabRound(dlg, {"edFirstName", "edThirdName", "edPhone", "edEMail", "cbSaveInfo", "btnCancel", "edSecondName"});
    Shot(dlg, "keys-order-details");
    // The second page: its drop-down lists take the focus in their turn.
    dlg->edFirstName->SetText(u"Иван");
    dlg->edPhone->SetText(u"+7 900 000-00-00");
    Application->Idle();
    dlg->ActProcess->Execute();
    ASSERT_EQ(dlg->Pages->GetActivePage(), dlg->PageAddress);
    dlg->cbCity->SetFocus();
    TabRound(dlg, {"cbPlace", "edDesc", "btnProcess", "btnCancel", "cbCity"}, "btnProcess");
    Shot(dlg, "keys-order-address");
    dlg->ActCancel->Execute();
    dlg->ActCancel->Execute();
  });
  dlg->Execute();
  dlg->Free();
}

// Emoji and joiners typed into the order dialog's fields go in, are kept with the customer's
// details and come back with the next order. Posted as WM_CHARs, one per UTF-16 unit, a pair is
// one character, and a joiner and a mark are text.
TEST_F(KeyboardTest, EmojiTypedIntoTheOrderDialogAreKeptForTheNextOrder) {
  // One key each: a smile between two letters, a family of three joined by two joiners.
  const std::vector<QString> third{QStringLiteral("a"), QString::fromUtf8("😀"), QStringLiteral("b")};
  const std::vector<QString> email{QString::fromUtf8("👨"), QString(QChar(0x200D)), QString::fromUtf8("👩"),
                                   QString(QChar(0x200D)), QString::fromUtf8("👧")};
  const std::pair<std::string, String> expected[] = {
      {"ThirdName", u"a😀b"}, {"EMail", u"👨\u200D👩\u200D👧"}, {"Phone", u"x😀\u200D\u0301"}};
  auto texts = [](TDlgUpload* dlg) {
    return std::vector<String>{dlg->edThirdName->GetText(), dlg->edEMail->GetText(), dlg->edPhone->GetText()};
  };
  std::vector<String> typed, loaded;
  TDlgUpload* dlg = TDlgUpload::New(Application, new TInfoList);
  guitest::PostWork([&] {
    Application->ProcessMessages();
    for (auto [edit, keys] : {std::pair{dlg->edThirdName, &third}, std::pair{dlg->edEMail, &email}}) {
      edit->SetFocus();
      for (const QString& k : *keys) Press(static_cast<int>(QChar::toUpper(k.toUcs4().constFirst())), k);
    }
    dlg->edPhone->SetText(u"x");
    for (WPARAM w : {0xD83D, 0xDE00, 0x200D, 0x0301}) PostMessage(dlg->edPhone->Handle(), WM_CHAR, w, 0);
    Application->ProcessMessages();
    typed = texts(dlg);
    dlg->ActCancel->Execute();
    dlg->ActCancel->Execute();
  });
  dlg->Execute();
  dlg->Free();
  const std::string saved = testsupport::ReadFileBytes(StringToUtf8(order::GetInfoFileName()));
  for (const auto& [key, value] : expected) {
    EXPECT_NE(saved.find(key + "=" + StringToUtf8(value) + "\r\n"), std::string::npos) << key << " in " << saved;
    loaded.push_back(value);
  }
  EXPECT_EQ(typed, loaded);
  dlg = TDlgUpload::New(Application, new TInfoList);
  guitest::PostWork([&] {
    typed = texts(dlg);
    dlg->ActCancel->Execute();
    dlg->ActCancel->Execute();
  });
  dlg->Execute();
  dlg->Free();
  EXPECT_EQ(typed, loaded) << "the next order starts with them";
}

// The order dialog comes filled with the last order's details. A field entered by the keyboard
// (the dialog's first stop as it opens, Tab, Shift+Tab) shows its text selected, so that what the
// customer types replaces it; a click keeps the caret where it went, also when the window gets
// the focus back.
TEST_F(KeyboardTest, AFilledFieldOfTheOrderDialogEnteredByTheKeyboardTakesANewText) {
  Owned<order::TPrivateInfo> info(order::TPrivateInfo::New());
  info->SetSecondName(u"Иванова");
  info->SetFirstName(u"Мария");
  info->SetThirdName(u"Петровна");
  info->SetPhone(u"+7 900 000-00-00");
  info->SaveToFile();
  TDlgUpload* dlg = TDlgUpload::New(Application, new TInfoList);
  const auto tab = [] { Press(Qt::Key_Tab); };
  const auto backTab = [] {
    guitest::Key(GetFocus(), Qt::Key_Shift, {}, Qt::ShiftModifier);
    Press(Qt::Key_Backtab, QStringLiteral("\t"), Qt::ShiftModifier);
    guitest::Key(GetFocus(), Qt::Key_Shift, {}, Qt::NoModifier, false);
  };
  // The text starts a few pixels into the field: a click at its left edge puts the caret first.
  const auto click = [&] { guitest::Click(dlg->edFirstName->Handle(), TPoint{1, 10}); };
  const struct {
    const char* Name;
    std::function<void()> Enter;
    const char* Field;
    String Expected;  // after "Я" is typed
  } steps[] = {
      {"the dialog's first stop", [] {}, "edSecondName", u"Я"},
      {"Tab", [&] { tab(), tab(), tab(); }, "edPhone", u"Я"},
      {"Shift+Tab", backTab, "edThirdName", u"Я"},
      {"a click", click, "edFirstName", u"ЯМария"},
      {"the window's focus coming back", [] { SetFocus(nullptr), SetFocus(GetActiveWindow()); }, "edFirstName",
       u"ЯЯМария"},
  };
  guitest::PostWork([&] {
    Application->ProcessMessages();
    for (const auto& s : steps) {
      SCOPED_TRACE(s.Name);
      s.Enter();
      Application->ProcessMessages();
      ASSERT_EQ(NameOf(GetFocus()), s.Field);
      Press(0x042F, QStringLiteral("Я"));
      EXPECT_EQ(GetWindowText(GetFocus()), s.Expected);
    }
    dlg->ActCancel->Execute();
    dlg->ActCancel->Execute();
  });
  dlg->Execute();
  dlg->Free();
}

TEST_F(KeyboardTest, EscapeOnTheThumbnailsCancelsTheAddPhotosDialog) {
  Owned<TStringList> files(TStringList::New());
  for (const char* name : {"a.jpg", "b.png", "c.jpg"}) files->Add(Utf8ToString(WritePhoto(Dir, name, 300, 200)));
  TDlgAdd* dlg = TDlgAdd::New(Application);
  bool closed = false;
  guitest::PostWork([&] {
    ASSERT_TRUE(guitest::PumpUntil([&] { return !dlg->Checking(); }));
    Application->ProcessMessages();
    // The list is the dialog's first stop.
    ASSERT_EQ(GetFocus(), dlg->Images->Handle());
    // An arrow focuses the first photo; Ctrl with an arrow moves only the focus, to the second,
    // which then shows the list's focus rectangle while the list has the focus.
    Press(Qt::Key_Right);
    guitest::Key(GetFocus(), Qt::Key_Control, {}, Qt::ControlModifier);
    guitest::Key(GetFocus(), Qt::Key_Right, {}, Qt::ControlModifier);
    guitest::Key(GetFocus(), Qt::Key_Control, {}, Qt::NoModifier, false);
    Application->ProcessMessages();
    ember::TEmberItem* second = dlg->Images->GetGroups()->GetGroup(0)->GetItem(1);
    ASSERT_TRUE(second->GetFocused());
    ASSERT_FALSE(second->GetSelected());
    const TRect r = second->GetDisplayRect();
    const TPoint at = dlg->Images->GetScrollbars()->MapViewToWindow({r.Left, r.Top});
    const QRect cell(at.X, at.Y, r.Width(), r.Height());
    const QImage focused = Picture(dlg->Images->Handle()).copy(cell);
    Shot(dlg, "keys-add-photos");
    Press(Qt::Key_Tab);
    ASSERT_EQ(NameOf(GetFocus()), "cbPhotoSize");
    EXPECT_NE(Picture(dlg->Images->Handle()).copy(cell), focused) << "the focused photo shows the focus";
    guitest::Key(GetFocus(), Qt::Key_Shift, {}, Qt::ShiftModifier);
    Press(Qt::Key_Backtab, {}, Qt::ShiftModifier);
    guitest::Key(GetFocus(), Qt::Key_Shift, {}, Qt::NoModifier, false);
    Application->ProcessMessages();
    ASSERT_EQ(GetFocus(), dlg->Images->Handle());
    Press(Qt::Key_Escape);
    closed = dlg->GetModalResult() == mrCancel;
    if (!closed) dlg->ActCancel->Execute();
  });
  EXPECT_FALSE(dlg->Execute(files.get()));
  EXPECT_TRUE(closed) << "Escape reached the cancel button";
  dlg->Free();
}

}  // namespace
}  // namespace dlgtest
