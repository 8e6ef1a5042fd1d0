// The context menu of an item offers the desktop's applications for the item's type: "Open" runs
// the default application and "Open with" each of the others, chosen by the class keys of the
// focused item. A private XDG tree registers two programs for JPEG pictures and one for text.

#include <QApplication>
#include <QMenu>
#include <QPixmap>

#include "platform/classlib/Forms.h"
#include "platform/shellapi/ShellExecute.h"
#include "platform/user/Menu.h"
#include "shell/ShellContextMenu.h"
#include "ShellTestEnv.h"
#include "platform/user/guimain/GuiTest.h"

namespace shelltest {
namespace {

class OpenWithTest : public ShellFixture {
protected:
  void SetUp() override {
    ShellFixture::SetUp();
    MakeDesktop("");
    for (const char* v : {"XDG_CONFIG_DIRS", "XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP"})
      FSaved.emplace_back(v, std::getenv(v) ? std::optional<std::string>(std::getenv(v)) : std::nullopt);
    // The system folders hold no applications, only the shared MIME database the types come from.
    fs::path sys = Root / "sys";
    fs::create_directories(sys / "applications");
    fs::create_directory_symlink("/usr/share/mime", sys / "mime");
    fs::create_directories(Root / "etc");
    setenv("XDG_CONFIG_DIRS", (Root / "etc").c_str(), 1);
    setenv("XDG_DATA_DIRS", sys.c_str(), 1);
    unsetenv("XDG_CURRENT_DESKTOP");
    Bin = Root / "bin";
    fs::create_directories(Bin);
    fs::path apps = Root / "data" / "applications";
    fs::create_directories(apps);
    Program("photoview");
    Program("painter");
    Program("notes");
    testsupport::WriteFileBytes(apps / "photoview.desktop",
                                "[Desktop Entry]\nType=Application\nName=Photo View\nExec=" + (Bin / "photoview").string() +
                                    " --new-window %U\nMimeType=image/jpeg;image/png;\n");
    testsupport::WriteFileBytes(apps / "painter.desktop",
                                "[Desktop Entry]\nType=Application\nName=Painter\nExec=" + (Bin / "painter").string() +
                                    " %f\nMimeType=image/jpeg;\n");
    testsupport::WriteFileBytes(sys / "applications" / "notes.desktop",
                                "[Desktop Entry]\nType=Application\nName=Notes\nExec=notes %F\nMimeType=text/plain;\n");
    // Painter sorts first and is the more important folder's only JPEG program besides the
    // default, so only the user's choice makes Photo View the default.
    testsupport::WriteFileBytes(Config / "mimeapps.list", "[Default Applications]\nimage/jpeg=photoview.desktop\n");
    setenv("PATH", (Bin.string() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin")).c_str(), 1);
    Start();
    fs::create_directories(Home / "pics");
    testsupport::WriteFileBytes(Home / "pics" / "beach 1.jpg", "J");
    testsupport::WriteFileBytes(Home / "pics" / "list.txt", "T");
    Form = TForm::New(Application);
    Form->GetHandle();
    pf::testing::SetShellExecuteLauncher([this](const std::vector<std::string>& argv, const std::string&) {
      Ran.push_back(argv);
      return true;
    });
    pf::testing::SetShellExecuteOpener([this](const std::string& target) {
      Opened.push_back(target);
      return true;
    });
  }
  void TearDown() override {
    pf::testing::SetShellExecuteLauncher(nullptr);
    pf::testing::SetShellExecuteOpener(nullptr);
    pf::testing::SetTrackPopupMenuHook(nullptr);
    Form->Free();
    for (const auto& [name, value] : FSaved) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
    ShellFixture::TearDown();
  }
  void Program(const char* name) {
    testsupport::WriteFileBytes(Bin / name, "#!/bin/sh\n");
    fs::permissions(Bin / name, fs::perms::owner_all);
  }
  // Shows the menu of one item and chooses the item with `choice` as its caption (none: "").
  std::vector<String> ShowAndChoose(TNamespace* item, const String& choice) {
    std::vector<String> captions;
    pf::testing::SetTrackPopupMenuHook([&](HMENU m, HWND) -> UINT {
      UINT chosen = 0;
      for (int i = 0; i < GetMenuItemCount(m); ++i) {
        if (GetMenuState(m, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) continue;
        String c = GetMenuString(m, static_cast<UINT>(i), MF_BYPOSITION);
        captions.push_back(c);
        if (c == choice) chosen = GetMenuItemID(m, i);
      }
      return chosen;
    });
    Owned<TCommonShellMultiParentContextMenu> menu(TCommonShellMultiParentContextMenu::New(Form));
    menu->ShowContextMenu(Form, item, nullptr, {item});
    pf::testing::SetTrackPopupMenuHook(nullptr);
    return captions;
  }

  fs::path Bin;
  TForm* Form{nullptr};
  std::vector<std::vector<std::string>> Ran;
  std::vector<std::string> Opened;

private:
  std::vector<std::pair<std::string, std::optional<std::string>>> FSaved;
};

TEST_F(OpenWithTest, TheItemsTypeChoosesTheApplicationsItsMenuOffersAndRuns) {
  std::string jpg = (Home / "pics" / "beach 1.jpg").string(), txt = (Home / "pics" / "list.txt").string();
  std::string jpgUrl = "file://" + (Home / "pics").string() + "/beach%201.jpg";
  struct Case {
    const char* name;
    std::string file;
    String choice;
    std::vector<String> head;  // the captions before the first separator's verbs
    std::vector<std::string> argv;
  };
  const Case cases[] = {
      {"a picture opened with the default", jpg, u"Open", {u"Open", u"Open with Painter", u"Cut"},
       {(Bin / "photoview").string(), "--new-window", jpgUrl}},
      {"a picture opened with the other program", jpg, u"Open with Painter", {u"Open", u"Open with Painter", u"Cut"},
       {(Bin / "painter").string(), jpg}},
      // The text's only program is found along PATH and is the default without being named one.
      {"a text", txt, u"Open", {u"Open", u"Cut"}, {(Bin / "notes").string(), txt}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Ran.clear();
    Owned<TNamespace> item(Item(c.file));
    std::vector<String> captions = ShowAndChoose(item.get(), c.choice);
    ASSERT_GE(captions.size(), c.head.size());
    EXPECT_EQ(std::vector<String>(captions.begin(), captions.begin() + static_cast<long>(c.head.size())), c.head);
    ASSERT_EQ(Ran.size(), 1u);
    EXPECT_EQ(Ran[0], c.argv);
    EXPECT_TRUE(Opened.empty()) << "a registered program opens the file, not the desktop's opener";
  }
}

TEST_F(OpenWithTest, VerbsNameTheApplicationsAndATypeWithoutOnesOpensAsBefore) {
  testsupport::WriteFileBytes(Home / "pics" / "data.xyz", "X");
  Owned<TNamespace> jpg(Item(Home / "pics" / "beach 1.jpg")), xyz(Item(Home / "pics" / "data.xyz"));
  Owned<TCommonShellMultiParentContextMenu> menu(TCommonShellMultiParentContextMenu::New(Form));
  EXPECT_TRUE(menu->ExecuteContextMenuVerb(Form, {jpg.get()}, 1, u"openwith:painter.desktop"));
  ASSERT_EQ(Ran.size(), 1u);
  EXPECT_EQ(Ran[0].front(), (Bin / "painter").string());
  EXPECT_FALSE(menu->ExecuteContextMenuVerb(Form, {jpg.get()}, 1, u"openwith:notes.desktop"))
      << "a program the menu does not offer for the type is no verb of it";
  EXPECT_EQ(Ran.size(), 1u);
  std::vector<String> captions = ShowAndChoose(xyz.get(), u"Open");
  EXPECT_EQ(captions.front(), u"Open");
  EXPECT_EQ(captions[1], u"Cut");
  EXPECT_EQ(Opened, std::vector<std::string>{(Home / "pics" / "data.xyz").string()});
  EXPECT_EQ(Ran.size(), 1u);
}

// With PO_SCREENSHOT_DIR set, the picture's menu is shown by the toolkit and saved for a person to
// look at.
TEST_F(OpenWithTest, ScreenshotOfAPicturesMenu) {
  const char* out = std::getenv("PO_SCREENSHOT_DIR");
  if (!out) GTEST_SKIP() << "PO_SCREENSHOT_DIR is not set";
  Owned<TNamespace> jpg(Item(Home / "pics" / "beach 1.jpg"));
  bool saved = false;
  guitest::PostWork([&] {
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    saved = popup->grab().save(QString::fromUtf8(out) + QStringLiteral("/open-with-menu.png"));
    popup->close();
  });
  Owned<TCommonShellMultiParentContextMenu> menu(TCommonShellMultiParentContextMenu::New(Form));
  TPoint at{40, 40};
  EXPECT_FALSE(menu->ShowContextMenu(Form, jpg.get(), &at, {jpg.get()})) << "closed without a choice";
  EXPECT_TRUE(saved);
  EXPECT_TRUE(Ran.empty());
}

}  // namespace
}  // namespace shelltest
