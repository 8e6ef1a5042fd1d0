// Enumeration of a folder, renaming on disk and deleting through the shell.

#include <algorithm>
#include <mutex>

#include "ShellTestEnv.h"
#include "common/CommonThreadManager.h"
#include "platform/shellapi/ShellExecute.h"

namespace shelltest {
namespace {

class EnumRenameTest : public ShellFixture {
protected:
  void SetUp() override {
    ShellFixture::SetUp();
    MakeDesktop("");
    Dir = testsupport::MakeTempDir("tree");
    fs::create_directories(Dir / "sub");
    fs::create_directories(Dir / ".config");
    testsupport::WriteFileBytes(Dir / "a.txt", "a");
    testsupport::WriteFileBytes(Dir / "b.txt", "b");
    testsupport::WriteFileBytes(Dir / ".dot", "d");
    Start();
  }
  std::vector<std::string> Names(TNamespace* ns, TFileObjects objects, int stopAfter = 0) {
    std::vector<std::string> names;
    int seen = 0;
    ns->EnumerateFolderEx(nullptr, objects,
                          [&](HWND, PItemIDList pidl, TNamespace* parent, void*, bool& terminate) {
                            Owned<TNamespace> child(TNamespace::New(pidl, parent));
                            names.push_back(ToNativePath(child->GetNameInFolder()));
                            terminate = stopAfter && ++seen >= stopAfter;
                            return true;
                          },
                          nullptr);
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path Dir;
};

using V = std::vector<std::string>;
using FO = TFileObject;

TEST_F(EnumRenameTest, EnumerationListsFoldersFilesAndHiddenEntriesAsAsked) {
  Owned<TNamespace> dir(Item(Dir));
  EXPECT_EQ(Names(dir.get(), {FO::foFolders}), (V{"sub"}));
  EXPECT_EQ(Names(dir.get(), {FO::foNonFolders}), (V{"a.txt", "b.txt"}));
  EXPECT_EQ(Names(dir.get(), {FO::foFolders, FO::foNonFolders, FO::foHidden}),
            (V{".config", ".dot", "a.txt", "b.txt", "sub"}));
  EXPECT_EQ(dir->EnumerateFolderEx(nullptr, {FO::foFolders, FO::foNonFolders, FO::foHidden}, nullptr, nullptr), 5);
  EXPECT_EQ(Names(dir.get(), {FO::foNonFolders}, 1).size(), 1u);
  int calls = 0;
  HWND given = reinterpret_cast<HWND>(uintptr_t{42}), seen = nullptr;
  ShellOwnerWindowEnabled = false;  // switches the owner off for the extended walk only
  EXPECT_EQ(dir->EnumerateFolder(given, true, true, false,
                                 [&](HWND h, PItemIDList pidl, TNamespace*, void*, bool&) {
                                   seen = h;
                                   ShellUtilitiesPIDLManager->FreePIDL(pidl);
                                   return ++calls % 2 == 0;  // only every second one counts
                                 },
                                 nullptr),
            1);
  ShellOwnerWindowEnabled = true;
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(seen, given);
}

TEST_F(EnumRenameTest, NothingIsListedBelowAFileOrAVanishedFolder) {
  Owned<TNamespace> file(Item(Dir / "a.txt"));
  EXPECT_EQ(file->EnumerateFolderEx(nullptr, {FO::foFolders, FO::foNonFolders, FO::foHidden}, nullptr, nullptr), 0);
  Owned<TNamespace> sub(Item(Dir / "sub"));
  fs::remove(Dir / "sub");
  EXPECT_EQ(sub->EnumerateFolderEx(nullptr, {FO::foFolders, FO::foNonFolders}, nullptr, nullptr), 0);
  EXPECT_FALSE(sub->GetValid());
}

TEST_F(EnumRenameTest, FlagsForEachSystem) {
  TFileObjects all{FO::foFolders,     FO::foNonFolders,  FO::foHidden,       FO::foShareable,
                   FO::foNetworkPrinters, FO::foInitOnFirstNext, FO::foStorage, FO::foNavigationEnum,
                   FO::foFastItems,   FO::foFlatList,    FO::foEnableAsync,  FO::foIncludeSuperHidden};
  struct Case {
    TPlatformVersion v;
    Cardinal flags;
  } cases[] = {{{VER_PLATFORM_WIN32_NT, 5, 1, 2600}, 0x8E0},
               {{VER_PLATFORM_WIN32_NT, 6, 0, 6000}, 0xE9E0},
               {{VER_PLATFORM_WIN32_NT, 6, 1, 7600}, 0x1F9E0}};
  for (const Case& c : cases) {
    SetPlatformVersion(c.v);
    EXPECT_EQ(FileObjectsToFlags(all), c.flags);
    EXPECT_EQ(FileObjectsToFlags({FO::foShareable, FO::foNetworkPrinters}), 0u);
  }
  EXPECT_TRUE(ContextMenuFlagsToSet(0x10 | 0x4 | 0x1) ==
              (TShellContextMenuFlags{TShellContextMenuFlag::cmfCanRename, TShellContextMenuFlag::cmfExplore}));
}

TEST_F(EnumRenameTest, RenamingRepointsTheItemAndRefusesWhatWouldLeaveOrOverwrite) {
  Owned<TNamespace> a(Item(Dir / "a.txt"));
  for (const char16_t* bad : {u"b.txt", u"../x", u"a/b", u""}) {
    EXPECT_FALSE(a->SetNameOf(bad));
    EXPECT_EQ(a->GetNameForParsing(), FromNativePath((Dir / "a.txt").string()));
  }
  EXPECT_EQ(testsupport::ReadFileBytes(Dir / "a.txt"), "a");
  EXPECT_EQ(testsupport::ReadFileBytes(Dir / "b.txt"), "b");
  EXPECT_FALSE(fs::exists(Dir.parent_path() / "x"));
  EXPECT_TRUE(a->SetNameOf(u"Новое имя.txt"));
  EXPECT_EQ(a->GetNameForParsing(), FromNativePath((Dir / "Новое имя.txt").string()));
  EXPECT_EQ(a->GetNameInFolder(), u"Новое имя.txt");
  EXPECT_EQ(testsupport::ReadFileBytes(Dir / "Новое имя.txt"), "a");
  EXPECT_FALSE(fs::exists(Dir / "a.txt"));
  // An item that does not own its list leaves it to its owner, and owns the new one.
  PItemIDList borrowed = ShellUtilitiesPIDLManager->CopyPIDL(a->GetAbsolutePIDL());
  Owned<TNamespace> b(TNamespace::New(borrowed, nullptr));
  b->SetFreePIDLOnDestroy(false);
  EXPECT_TRUE(b->SetNameOf(u"c.txt"));
  EXPECT_TRUE(b->GetFreePIDLOnDestroy());
  EXPECT_NE(b->GetAbsolutePIDL(), borrowed);
  ShellUtilitiesPIDLManager->FreePIDL(borrowed);
}

TEST_F(EnumRenameTest, LaunchingFillsTheRecordAndRefusesFoldersUnlessAsked) {
  fs::create_symlink(Dir / "sub", Dir / "sublink");
  std::vector<std::pair<TShellExecuteRequest, bool>> launched;
  TShellExecuteLauncher saved = ShellExecuteLauncher;
  ShellExecuteLauncher = [&](const TShellExecuteRequest& r, bool thread) {
    launched.emplace_back(r, thread);
    return true;
  };
  Owned<TNamespace> file(Item(Dir / "a.txt"));
  Owned<TNamespace> sub(Item(Dir / "sub"));
  Owned<TNamespace> link(Item(Dir / "sublink"));
  EXPECT_FALSE(sub->ShellExecuteNamespace(u"", u"", false, true, false));
  EXPECT_FALSE(link->ShellExecuteNamespace(u"", u"", true, false, false));
  EXPECT_TRUE(launched.empty());
  EXPECT_TRUE(link->ShellExecuteNamespace(u"", u"", true, true, false));
  EXPECT_TRUE(file->ShellExecuteNamespace(u"/nonexistent", u"-x", false, false, true));
  ASSERT_EQ(launched.size(), 2u);
  const TShellExecuteRequest& r = launched[1].first;
  EXPECT_TRUE(launched[1].second);
  EXPECT_EQ(r.cbSize, 60u);
  EXPECT_EQ(r.fMask, 0x14Cu);
  EXPECT_EQ(launched[0].first.fMask, 0x4Cu);
  EXPECT_EQ(r.nShow, 1);
  EXPECT_EQ(r.lpIDList, file->GetAbsolutePIDL());
  EXPECT_EQ(r.Parameters, u"-x");
  EXPECT_EQ(r.Directory, FromNativePath(Dir.string()));
  ShellExecuteLauncher = saved;
}

TEST_F(EnumRenameTest, TheDefaultLauncherOpensTheItemsFileAtOnceOrOnAThread) {
  std::mutex lock;
  std::vector<std::string> opened;
  pf::testing::SetShellExecuteOpener([&](const std::string& target) {
    std::lock_guard<std::mutex> g(lock);
    opened.push_back(target);
    return true;
  });
  Owned<TNamespace> file(Item(Dir / "a.txt"));
  EXPECT_TRUE(file->ShellExecuteNamespace(u"", u"", false, false, false));
  EXPECT_TRUE(file->ShellExecuteNamespace(u"", u"", false, false, true));
  common::JoinSelfFreeingThreads();
  pf::testing::SetShellExecuteOpener(nullptr);
  const std::string path = (Dir / "a.txt").string();
  EXPECT_EQ(opened, (std::vector<std::string>{path, path}));
}

TEST_F(EnumRenameTest, ASelectionBecomesADataObjectWhoseFilesCanBeDeleted) {
  Owned<TNamespace> a(Item(Dir / "a.txt"));
  Owned<TNamespace> again(Item(Dir / "a.txt"));
  Owned<TNamespace> desktop(TNamespace::New(nullptr, nullptr));
  Owned<TNamespace> computer(TNamespace::New(shellapi::RootIdList(shellapi::TRootId::Computer), nullptr));
  auto dataObject = [](TNamespaceArray items) {
    common::TCommonNamespaceList list = NamespacesToList(items);
    ComPtr<IDataObject> obj;
    common::CreateNamespaceDataObject(&list, false, obj);
    return obj;
  };
  // The same file twice and the desktop: the file is asked for once.
  ComPtr<IDataObject> selection = dataObject({a.get(), desktop.get(), again.get()});

  EXPECT_FALSE(DeleteDataObjectFiles(nullptr, nullptr, true));
  EXPECT_FALSE(DeleteDataObjectFiles(dataObject({computer.get()}).Get(), nullptr, true));
  std::vector<std::string> asked;
  shellapi::Hooks().ConfirmDelete = [&](const std::vector<std::string>& paths, bool) {
    asked = paths;
    return false;
  };
  EXPECT_FALSE(DeleteDataObjectFiles(selection.Get(), nullptr, true));
  EXPECT_EQ(asked, (V{(Dir / "a.txt").string()}));
  EXPECT_TRUE(fs::exists(Dir / "a.txt"));
  shellapi::Hooks().ConfirmDelete = [](const std::vector<std::string>&, bool) { return true; };
  EXPECT_TRUE(DeleteDataObjectFiles(selection.Get(), nullptr, true));
  EXPECT_FALSE(fs::exists(Dir / "a.txt"));
  EXPECT_EQ(testsupport::ReadFileBytes(Root / "data/Trash/files/a.txt"), "a");
  Owned<TNamespace> b(Item(Dir / "b.txt"));
  EXPECT_TRUE(DeleteDataObjectFiles(dataObject({b.get()}).Get(), nullptr, false));
  EXPECT_FALSE(fs::exists(Dir / "b.txt"));
  EXPECT_FALSE(fs::exists(Root / "data/Trash/files/b.txt"));
}

}  // namespace
}  // namespace shelltest
