// The library's start-up under a fake desktop: which special-folder objects exist, how they
// identify themselves, the older systems' rows, shut-down with missing objects, and the halt when
// shell32 lacks its item ID list tests.

#include "platform/kernel/Modules.h"
#include "shell/ShellTypes.h"
#include "ShellTestEnv.h"

namespace shelltest {
namespace {

class StartupTest : public ShellFixture {};

String Parsing(TNamespace* ns) { return ns ? ns->GetNameForParsing() : String(u"<nil>"); }
String P(const fs::path& p) { return FromNativePath(p.string()); }

TEST_F(StartupTest, SpecialFoldersFollowTheUserDirsFile) {
  MakeDesktop("XDG_DESKTOP_DIR=\"$HOME/Стол\"\nXDG_DOCUMENTS_DIR=\"$HOME/Docs\"\nXDG_TEMPLATES_DIR=\"$HOME/Tpl\"\n", false);
  fs::create_directories(Home / "Стол");
  fs::create_directories(Home / "Docs");  // Tpl is named but missing
  Start();
  struct Row {
    const char* name;
    TNamespace* ns;
    String parsing;  // empty: the object must be nil
  } rows[] = {
      {"Desktop", DesktopNamespace, P(Home / "Стол")},
      {"RecycleBin", RecycleBinNamespace, u"::{645FF040-5081-101B-9F08-00AA002F954E}"},
      {"PhysicalDesktop", PhysicalDesktopNamespace, P(Home / "Стол")},
      {"Computer", ComputerNamespace, u"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"},
      {"Printers", PrintersNamespace, u""},
      {"History", HistoryNamespace, u""},
      {"ControlPanel", ControlPanelNamespace, u""},
      {"ControlPanelCategory", ControlPanelCategoryNamespace, u""},
      {"Network", NetworkNamespace, u"::{208D2C60-3AEA-1069-A2D7-08002B30309D}"},
      {"Templates", TemplatesNamespace, u""},
      {"Documents", DocumentsNamespace, P(Home / "Docs")},
      {"Favorites", FavoritesNamespace, u""},
      {"AppData", AppDataNamespace, P(Config)},
      {"Games", GamesNamespace, u""},
      {"Libraries", LibrariesNamespace, u""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    if (r.parsing.empty()) EXPECT_EQ(r.ns, nullptr);
    else EXPECT_EQ(Parsing(r.ns), r.parsing);
  }
  EXPECT_EQ(ProgramsNamespace != nullptr, fs::is_directory("/opt"));
  EXPECT_TRUE(DesktopNamespace->IsDesktop());
  // The identity tests answer for their own object only.
  struct Identity {
    TNamespace* ns;
    bool computer, network, recycle, controlPanel;
  } ids[] = {
      {ComputerNamespace, true, false, false, false},
      {NetworkNamespace, false, true, false, false},
      {RecycleBinNamespace, false, false, true, false},
      {DocumentsNamespace, false, false, false, false},
      {DesktopNamespace, false, false, false, false},
  };
  for (const Identity& i : ids) {
    SCOPED_TRACE(StringToUtf8(Parsing(i.ns)));
    EXPECT_EQ(i.ns->IsMyComputer(), i.computer);
    EXPECT_EQ(i.ns->IsNetworkNeighborhood(), i.network);
    EXPECT_EQ(i.ns->IsRecycleBin(), i.recycle);
    EXPECT_EQ(i.ns->IsControlPanel(), i.controlPanel);
    EXPECT_FALSE(i.ns->IsControlPanelChildFolder());
  }
}

TEST_F(StartupTest, AMissingDesktopFolderLeavesTheHomeFolderAsThePhysicalDesktop) {
  MakeDesktop("", false);
  Start();
  ASSERT_NE(PhysicalDesktopNamespace, nullptr);
  EXPECT_EQ(PhysicalDesktopNamespace->GetNameForParsing(), P(Home));
  EXPECT_EQ(DocumentsNamespace->GetNameForParsing(), P(Home));
}

TEST_F(StartupTest, OlderSystemsMakeTheirOwnRows) {
  struct Case {
    TPlatformVersion version;
    bool games, libraries;
  } cases[] = {{{VER_PLATFORM_WIN32_NT, 6, 0, 6000}, false, false},
               {{VER_PLATFORM_WIN32_NT, 6, 1, 7600}, false, false},
               {{VER_PLATFORM_WIN32_NT, 5, 1, 2600}, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version.Major * 10 + c.version.Minor);
    MakeDesktop("");
    fs::create_directories(Root / "data" / "applications");
    SetPlatformVersion(c.version);
    Start();
    EXPECT_NE(DesktopNamespace, nullptr);
    EXPECT_NE(PhysicalDesktopNamespace, nullptr);
    EXPECT_NE(ComputerNamespace, nullptr);
    EXPECT_NE(RecycleBinNamespace, nullptr);
    EXPECT_EQ(ControlPanelCategoryNamespace, nullptr);
    EXPECT_EQ(GamesNamespace != nullptr, c.games);
    EXPECT_EQ(LibrariesNamespace != nullptr, c.libraries);
    if (c.version.Major < 6) {  // the start menu's programs, not the program files
      EXPECT_EQ(Parsing(ProgramsNamespace), P(Root / "data" / "applications"));
    }
    Stop();
    ResetPlatformVersion();
  }
}

TEST_F(StartupTest, ShutDownToleratesMissingObjectsAndRunsOnce) {
  MakeDesktop("");
  Start();
  EXPECT_TRUE(ShellFunctionsBound);
  FreeAndNil(DesktopNamespace);
  FreeAndNil(ComputerNamespace);
  InitializeShellUtilities();  // counted: a second start makes nothing new
  FinalizeShellUtilities();
  EXPECT_NE(RecycleBinNamespace, nullptr);
  Stop();
  EXPECT_EQ(RecycleBinNamespace, nullptr);
  EXPECT_EQ(ShellUtilitiesPIDLManager, nullptr);
  EXPECT_EQ(ExplorerThreadInstance, nullptr);
  EXPECT_EQ(ControlPanelCategoryPIDL, nullptr);
}

TEST_F(StartupTest, ExplorerInstanceOutlivesItsCount) {
  MakeDesktop("");
  Start();
  TExplorerThreadInstance* e = ExplorerThreadInstance;
  EXPECT_EQ(e->AddRef(), 1u);
  EXPECT_EQ(e->AddRef(), 2u);
  EXPECT_EQ(e->Release(), 1u);
  EXPECT_EQ(e->Release(), 0u);
  EXPECT_EQ(e->MaxRef, 2);
  void* out = nullptr;
  EXPECT_EQ(e->QueryInterface(IShellFolder::Iid, &out), static_cast<HRESULT>(0x80004002u));
  EXPECT_EQ(ExplorerThreadInstance, e);
}

using StartupDeathTest = StartupTest;

TEST_F(StartupDeathTest, MissingItemIdTestsEndTheProcessWithAMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  MakeDesktop("");
  EXPECT_EXIT(
      {
        kernel::testing::RemoveExport("shell32", MAKEINTRESOURCEA(23));
        InitializeShellUtilities();
        std::exit(0);
      },
      ::testing::ExitedWithCode(3), "ordinals 21 and 23");
}

}  // namespace
}  // namespace shelltest
