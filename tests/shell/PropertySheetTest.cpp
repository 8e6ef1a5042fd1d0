// Property sheets of items: the multi-file sheet of the shell and the "properties" verb both reach
// the desktop's properties window, whose folder sizes are counted on a thread while the window
// stays usable, and whose thread is stopped and joined when it closes. A picture of the window
// for three files and a folder is saved (PO_SCREENSHOT_DIR, else a temporary folder).

#include <sys/stat.h>

#include <QImage>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/classlib/Forms.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/kernel/Modules.h"
#include "platform/kernel/Version.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"
#include "shell/ShellContextMenu.h"
#include "ShellTestEnv.h"

namespace shelltest {
namespace {

std::vector<std::vector<std::string>> gSheets;

// The shell's multi-file sheet, writing down the files it was given.
HRESULT RecordingMultiFileProperties(IDataObject* data, DWORD flags) {
  gSheets.push_back(shellapi::DataObjectPaths(data));
  return SHMultiFileProperties(data, flags);
}

class PropertySheetTest : public ShellFixture {
protected:
  void SetUp() override {
    ShellFixture::SetUp();
    MakeDesktop("");
    Start();
    Photos = Home / "photos";
    Album = Photos / "album";
    fs::create_directories(Album / "sub");
    fs::create_directories(Album / "empty");
    testsupport::WriteFileBytes(Photos / "a.jpg", std::string(1000, 'a'));
    testsupport::WriteFileBytes(Photos / "b.png", std::string(2000, 'b'));
    testsupport::WriteFileBytes(Photos / "notes.xyz9", std::string(24, 'c'));
    testsupport::WriteFileBytes(Album / "x", std::string(1500, 'x'));
    testsupport::WriteFileBytes(Album / "sub" / "y", std::string(2500, 'y'));
    for (const char* f : {"a.jpg", "b.png", "notes.xyz9"}) ::chmod((Photos / f).c_str(), 0644);
    ::chmod(Album.c_str(), 0750);
    Form = TForm::New(Application);
    Form->GetHandle();
    gSheets.clear();
    RegisterExport("shell32", "SHMultiFileProperties", &RecordingMultiFileProperties);
  }
  void TearDown() override {
    shellapi::testing::SetFolderSizeHook(nullptr);
    for (TCustomForm* w : shellapi::testing::PropertiesWindows()) w->Free();
    EXPECT_EQ(shellapi::testing::CountingThreads(), 0) << "every count stops with its window";
    RegisterExport("shell32", "SHMultiFileProperties", &SHMultiFileProperties);
    Form->Free();
    ShellFixture::TearDown();
  }

  static TCustomForm* Window(size_t i = 0) {
    auto windows = shellapi::testing::PropertiesWindows();
    return i < windows.size() ? windows[i] : nullptr;
  }
  static String Text(TCustomForm* w, const Char* name) {
    auto* c = dynamic_cast<TControl*>(w->FindComponent(name));
    return c ? c->GetText() : String(u"<none>");
  }
  static bool Counted(TCustomForm* w) { return Text(w, u"lblStatus").empty(); }
  static std::string Native(const fs::path& p) { return p.string(); }

  fs::path Photos, Album;
  TForm* Form{nullptr};
};

TEST_F(PropertySheetTest, TheMultiFileSheetShowsThreeFilesAndAFolder) {
  Owned<TNamespace> a(Item(Photos / "a.jpg")), b(Item(Photos / "b.png")), c(Item(Photos / "notes.xyz9")),
      album(Item(Album));
  TNamespaceArray items{a.get(), b.get(), c.get(), album.get()};
  ASSERT_TRUE(a->CanShowPropertiesOfAll(items));
  a->ShowPropertySheetMulti(Form, items, true, false);
  ASSERT_EQ(gSheets.size(), 1u) << "the shell's multi-file sheet was asked";
  EXPECT_EQ(gSheets[0], (std::vector<std::string>{Native(Photos / "a.jpg"), Native(Photos / "b.png"),
                                                  Native(Photos / "notes.xyz9"), Native(Album)}));
  ASSERT_EQ(shellapi::testing::PropertiesWindows().size(), 1u);
  TCustomForm* w = Window();
  ASSERT_TRUE(guitest::PumpUntil([&] { return Counted(w); }));
  EXPECT_EQ(w->GetCaption(), u"a.jpg, b.png, … Properties");
  EXPECT_EQ(Text(w, u"lblName"), u"3 files, 1 folder");
  EXPECT_EQ(Text(w, u"lblType"), u"Multiple types");
  EXPECT_EQ(Text(w, u"lblLocation"), FromNativePath(Native(Photos)));
  // 1000 + 2000 + 24 bytes of files, 1500 + 2500 in the folder: 7024 bytes, 6.86 KB.
  EXPECT_EQ(Text(w, u"lblSize"), u"6.9 KB (7 024 bytes)");
  EXPECT_EQ(Text(w, u"lblContains"), u"5 files, 2 folders");
  EXPECT_EQ(Text(w, u"edPermissions"), u"Multiple values");
  EXPECT_EQ(w->FindComponent(u"lblModified"), nullptr) << "several items have no one time";
  auto* perms = dynamic_cast<TEdit*>(w->FindComponent(u"edPermissions"));
  ASSERT_NE(perms, nullptr);
  EXPECT_TRUE(perms->GetReadOnly());

  const char* dir = std::getenv("PO_SCREENSHOT_DIR");
  fs::path shot = (dir ? fs::path(dir) : testsupport::MakeTempDir("props")) / "properties-three-files-and-a-folder.png";
  guitest::PumpPending();
  EXPECT_TRUE(layer::WidgetOf(w->GetHandle())->grab().toImage().save(QString::fromStdString(shot.string())));
  std::printf("properties window: %s\n", shot.c_str());
}

TEST_F(PropertySheetTest, OneItemShowsItsOwnValues) {
  struct stat st {};
  ASSERT_EQ(::stat((Photos / "notes.xyz9").c_str(), &st), 0);
  struct Case {
    const char* what;
    fs::path path;
    String name, type, size, perms;
    bool contains;
  } cases[] = {
      // No type is registered for the extension: it names the type, as a namespace's type does.
      {"a file", Photos / "notes.xyz9", u"notes.xyz9", u".XYZ9 File", u"24 bytes", u"rw-r--r--", false},
      {"a folder", Album, u"album", String(), u"3.9 KB (4 000 bytes)", u"rwxr-x---", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Owned<TNamespace> ns(Item(c.path));
    ns->ShowPropertySheetMulti(Form, {ns.get()}, false, false);
    EXPECT_TRUE(gSheets.empty()) << "the verb's road, not the multi-file sheet";
    ASSERT_EQ(shellapi::testing::PropertiesWindows().size(), 1u);
    TCustomForm* w = Window();
    ASSERT_TRUE(guitest::PumpUntil([&] { return Counted(w); }));
    EXPECT_EQ(w->GetCaption(), c.name + u" Properties");
    EXPECT_EQ(Text(w, u"lblName"), c.name);
    if (!c.type.empty()) {
      EXPECT_EQ(Text(w, u"lblType"), c.type);
    }
    EXPECT_EQ(Text(w, u"lblSize"), c.size);
    EXPECT_EQ(Text(w, u"edPermissions"), c.perms);
    EXPECT_EQ(w->FindComponent(u"lblContains") != nullptr, c.contains);
    EXPECT_FALSE(Text(w, u"lblModified").empty());
    if (const char* dir = std::getenv("PO_SCREENSHOT_DIR")) {
      guitest::PumpPending();
      fs::path shot = fs::path(dir) / ("properties-" + c.path.filename().string() + ".png");
      EXPECT_TRUE(layer::WidgetOf(w->GetHandle())->grab().toImage().save(QString::fromStdString(shot.string())));
    }
    // The close button frees the window, as the close box does.
    auto* close = dynamic_cast<TButton*>(w->FindComponent(u"btnClose"));
    ASSERT_NE(close, nullptr);
    close->Click();
    ASSERT_TRUE(guitest::PumpUntil([] { return shellapi::testing::PropertiesWindows().empty(); }));
  }
  // The modification time in the settings' formats (TZ=UTC).
  Owned<TNamespace> one(Item(Photos / "notes.xyz9"));
  one->ShowPropertySheet(Form);
  ASSERT_NE(Window(), nullptr);
  std::tm tm{};
  gmtime_r(&st.st_mtime, &tm);
  char expect[32];
  std::strftime(expect, sizeof expect, "%d.%m.%Y %H:%M:%S", &tm);
  EXPECT_EQ(Text(Window(), u"lblModified"), FromNativePath(expect));
}

TEST_F(PropertySheetTest, ItemsOfSeveralFoldersGoThroughTheMenuAndItsPropertiesEvent) {
  Owned<TNamespace> a(Item(Photos / "a.jpg")), x(Item(Album / "x"));
  TNamespaceArray items{a.get(), x.get()};
  struct Case {
    const char* what;
    TPlatformVersion version;
    bool takeWork;    // the event takes the command's work (its Handled says "do the default")
    size_t sheets;    // times the shell's multi-file sheet was asked
    size_t windows;
    bool noMultiSheet{false};  // the shell offers no multi-file sheet
  } cases[] = {
      {"the shell does the default", {VER_PLATFORM_WIN32_NT, 6, 1, 7601}, false, 0, 1},
      {"the event handles it", {VER_PLATFORM_WIN32_NT, 6, 1, 7601}, true, 0, 0},
      // Before NT 6 the component shows them itself, through the shell's multi-file sheet.
      {"the component shows them", {VER_PLATFORM_WIN32_NT, 5, 1, 2600}, false, 1, 1},
      // Without the shell's sheet: one sheet per folder, through each folder's own verb.
      {"a sheet per folder", {VER_PLATFORM_WIN32_NT, 5, 1, 2600}, false, 0, 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gSheets.clear();
    SetPlatformVersion(c.version);
    if (c.noMultiSheet) RegisterExport("shell32", "SHMultiFileProperties", static_cast<FARPROC>(nullptr));
    Owned<TCommonShellMultiParentContextMenu> menu(TCommonShellMultiParentContextMenu::New(Form));
    int events = 0;
    std::vector<std::string> eventFiles;
    menu->OnShellMenuProperites = [&](TCommonShellContextMenu*, IShellFolder*, IDataObject* data, DFMICS*,
                                      bool& handled) {
      ++events;
      eventFiles = shellapi::DataObjectPaths(data);
      EXPECT_TRUE(handled) << "the default is done unless the event says otherwise";
      if (c.takeWork) handled = false;
    };
    menu->ExecuteContextMenuVerb(Form, items, 0, u"properties");
    EXPECT_EQ(events, 1);
    std::sort(eventFiles.begin(), eventFiles.end());
    EXPECT_EQ(eventFiles, (std::vector<std::string>{Native(Photos / "a.jpg"), Native(Album / "x")}));
    EXPECT_EQ(gSheets.size(), c.sheets);
    ASSERT_EQ(shellapi::testing::PropertiesWindows().size(), c.windows);
    if (c.windows == 1) {
      EXPECT_EQ(Text(Window(), u"lblName"), u"2 files");
      EXPECT_EQ(Text(Window(), u"lblLocation"), u"Multiple folders");
    } else if (c.windows == 2) {
      EXPECT_EQ(Text(Window(0), u"lblName"), u"a.jpg");
      EXPECT_EQ(Text(Window(1), u"lblName"), u"x");
    }
    for (TCustomForm* w : shellapi::testing::PropertiesWindows()) w->Free();
    RegisterExport("shell32", "SHMultiFileProperties", &RecordingMultiFileProperties);
    ResetPlatformVersion();
  }
  // The namespace's own sheet of items of two folders takes the same road.
  a->ShowPropertySheetMulti(Form, items, false, false);
  EXPECT_EQ(shellapi::testing::PropertiesWindows().size(), 1u);
}

TEST_F(PropertySheetTest, OnlyItemsWithSheetsShowThem) {
  Owned<TNamespace> a(Item(Photos / "a.jpg")), album(Item(Album));
  ASSERT_NE(ComputerNamespace, nullptr);
  struct Case {
    const char* what;
    TNamespaceArray items;
    bool can;
  } cases[] = {
      {"files and folders", {a.get(), album.get()}, true},
      {"a virtual folder among them", {a.get(), ComputerNamespace}, false},
      {"nothing", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(a->CanShowPropertiesOfAll(c.items), c.can);
    a->ShowPropertySheetMulti(Form, c.items, true, false);
    EXPECT_EQ(shellapi::testing::PropertiesWindows().size(), c.can ? 1u : 0u);
    for (TCustomForm* w : shellapi::testing::PropertiesWindows()) w->Free();
  }
  EXPECT_TRUE(a->GetHasPropSheet());
  EXPECT_FALSE(ComputerNamespace->GetHasPropSheet());
}

TEST_F(PropertySheetTest, TheCountShowsProgressAndStopsWhenTheWindowCloses) {
  const fs::path big = Home / "big";
  fs::create_directories(big);
  constexpr int kFiles = 400;
  for (int i = 0; i < kFiles; ++i) testsupport::WriteFileBytes(big / ("f" + std::to_string(i)), "12345");
  std::atomic<int> seen{0};
  // Slow enough that the window closes long before the count could end.
  shellapi::testing::SetFolderSizeHook([&](const std::string&) {
    ++seen;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  });
  Owned<TNamespace> ns(Item(big));
  ns->ShowPropertySheet(Form);
  TCustomForm* w = Window();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(Text(w, u"lblStatus"), u"Counting…");
  // The window is told of the count so far while it goes on, and handles its messages meanwhile.
  ASSERT_TRUE(guitest::PumpUntil([&] { return Text(w, u"lblContains") != u"0 files, 0 folders"; }));
  EXPECT_EQ(Text(w, u"lblStatus"), u"Counting…");
  EXPECT_EQ(shellapi::testing::CountingThreads(), 1);
  if (const char* dir = std::getenv("PO_SCREENSHOT_DIR")) {
    guitest::PumpPending();
    QImage shot = layer::WidgetOf(w->GetHandle())->grab().toImage();
    EXPECT_TRUE(shot.save(QString::fromStdString((fs::path(dir) / "properties-counting.png").string())));
  }
  guitest::CloseBox(w->GetHandle());
  ASSERT_TRUE(guitest::PumpUntil([] { return shellapi::testing::PropertiesWindows().empty(); }));
  EXPECT_EQ(shellapi::testing::CountingThreads(), 0) << "joined when the window went";
  const int atClose = seen.load();
  EXPECT_LT(atClose, kFiles);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(seen.load(), atClose) << "nothing more is counted";
}

}  // namespace
}  // namespace shelltest
