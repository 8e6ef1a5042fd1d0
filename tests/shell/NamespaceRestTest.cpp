// What a namespace item does beside its properties: refreshing the physical desktop with the
// desktop's children, the 8-bit find data, re-pointing an item after a rename, pasting onto the
// desktop, the menus of several items, the custom submenu's breaks, a folder's background menu,
// the name forms, OkToBrowse and PIDLIsFolder.

#include <sys/stat.h>
#include <unistd.h>

#include "platform/classlib/Forms.h"
#include "platform/classlib/Menus.h"
#include "platform/kernel/Modules.h"
#include "platform/kernel/Version.h"
#include "platform/ole/DragDrop.h"
#include "platform/shellapi/ShellApi_p.h"
#include "platform/user/Menu.h"
#include "shell/ShellContextMenu.h"
#include "ShellTestEnv.h"

namespace shelltest {
namespace {

struct TCreateCall {
  std::string FolderIds;
  bool HasFolder{false};
  UINT Items{0};
};
std::vector<TCreateCall> gCreates;

HRESULT RecordingCreate2(const ITEMIDLIST* folder, HWND owner, UINT cidl, const ITEMIDLIST** apidl, IShellFolder* sf,
                         LPFNDFMCALLBACK cb, UINT nKeys, const HKEY* keys, IContextMenu** out) {
  gCreates.push_back({folder ? shellapi::IdBytes(folder) : std::string(), folder != nullptr, cidl});
  return CDefFolderMenu_Create2(folder, owner, cidl, apidl, sf, std::move(cb), nKeys, keys, out);
}

// The component's menu core for a folder's background, which the public methods never ask for.
class TBackgroundMenu : public TCommonShellMultiParentContextMenu {
  PF_CLASS(TBackgroundMenu)
public:
  bool Background(TWinControl* owner, const ITEMIDLIST* folder, const String& verb) {
    using E = TCommonShellContextMenuExtension;
    FExtensions = TCommonShellContextMenuExtensions{E::cmeDirBackground, E::cmeShellDefault};
    return MenuCore(owner, folder, 1, nullptr, verb);
  }
};

// An item that names a drive root of the other platform.
class TDriveRootItem : public TNamespace {
  PF_CLASS(TDriveRootItem)
public:
  using TNamespace::GetNameForParsing;
  String Name;
  String GetNameForParsing() override { return Name; }
};

class NamespaceRestTest : public ShellFixture {
protected:
  void SetUp() override {
    ShellFixture::SetUp();
    MakeDesktop("");
    Start();
    One = Home / "one";
    Two = Home / "two";
    fs::create_directories(One);
    fs::create_directories(Two);
    fs::create_directories(Home / "Desktop" / "inbox");
    testsupport::WriteFileBytes(Home / "Desktop" / "note.txt", "n");
    testsupport::WriteFileBytes(One / "a.txt", "aa");
    testsupport::WriteFileBytes(One / "b.jpg", "bbb");
    testsupport::WriteFileBytes(Two / "c.txt", "cccc");
    Form = TForm::New(Application);
    Form->GetHandle();
  }
  void TearDown() override {
    OleSetClipboard(nullptr);
    pf::testing::SetTrackPopupMenuHook(nullptr);
    RegisterExport("shell32", "CDefFolderMenu_Create2", &CDefFolderMenu_Create2);
    ResetAnsiCodePage();
    Form->Free();
    EXPECT_EQ(pf::testing::LiveMenuCount(), 0);
    ShellFixture::TearDown();
  }
  static PItemIDList DesktopEntry(const std::string& name) {
    return shellapi::AllocIdList(shellapi::EncodeId(shellapi::TItemKind::FsItem, name));
  }
  static std::vector<std::string> ClipboardPaths() {
    ComPtr<IDataObject> clip;
    if (FAILED(OleGetClipboard(clip.GetAddressOf())) || !clip) return {};
    std::vector<std::string> paths = shellapi::DataObjectPaths(clip.Get());
    std::sort(paths.begin(), paths.end());
    return paths;
  }
  // The non-separator captions of a menu.
  static std::vector<String> Captions(HMENU m) {
    std::vector<String> r;
    for (int i = 0; i < GetMenuItemCount(m); ++i)
      if (!(GetMenuState(m, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR))
        r.push_back(GetMenuString(m, static_cast<UINT>(i), MF_BYPOSITION));
    return r;
  }
  static UINT IdOf(HMENU m, const String& caption) {
    for (int i = 0; i < GetMenuItemCount(m); ++i)
      if (GetMenuString(m, static_cast<UINT>(i), MF_BYPOSITION) == caption) return GetMenuItemID(m, i);
    return 0;
  }
  static bool Has(const std::vector<String>& v, const String& s) { return std::find(v.begin(), v.end(), s) != v.end(); }

  fs::path One, Two;
  TForm* Form{nullptr};
};

TEST_F(NamespaceRestTest, ThePhysicalDesktopIsRefreshedWithEveryItemWhoseParentIsTheDesktop) {
  ASSERT_NE(PhysicalDesktopNamespace, nullptr);
  struct Case {
    const char* what;
    std::function<TNamespace*()> make;
    bool refreshes;
  } cases[] = {
      {"the desktop itself", [] { return TNamespace::New(nullptr, nullptr); }, true},
      {"an entry of the desktop", [] { return TNamespace::New(DesktopEntry("note.txt"), nullptr); }, true},
      {"Computer", [] { return TNamespace::New(shellapi::RootIdList(shellapi::TRootId::Computer), nullptr); }, true},
      {"a file deeper down", [this] { return Item(One / "a.txt"); }, false},
      {"a custom item without a parent", [] { return TNamespace::CreateCustomNamespace(3, nullptr); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Owned<TNamespace> ns(c.make());
    PhysicalDesktopNamespace->GetHidden();  // loads its find data
    ASSERT_NE(PhysicalDesktopNamespace->GetWin32FindDataW(), nullptr);
    ns->InvalidateNamespace(false);
    EXPECT_EQ(PhysicalDesktopNamespace->GetWin32FindDataW() == nullptr, c.refreshes);
  }
}

TEST_F(NamespaceRestTest, TheEightBitFindDataCarriesTheNamesThroughTheCodePage) {
  SetAnsiCodePage(1251);
  testsupport::WriteFileBytes(One / "Привет.txt", "12345");
  testsupport::WriteFileBytes(One / "日本.txt", "1");
  struct Case {
    const char* what;
    TPlatformVersion version;
    const char* file;
    const char* ansi;  // nullptr: no 8-bit record
    DWORD size;
  } cases[] = {
      {"the wide platform", {VER_PLATFORM_WIN32_NT, 6, 1, 7601}, "Привет.txt", nullptr, 0},
      {"Cyrillic in Windows-1251", {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222}, "Привет.txt",
       "\xCF\xF0\xE8\xE2\xE5\xF2.txt", 5},
      {"letters the code page lacks", {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222}, "日本.txt", "??.txt", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetPlatformVersion(c.version);
    Owned<TNamespace> ns(Item(One / c.file));
    EXPECT_EQ(ns->GetWin32FindDataA(), nullptr) << "reading the field loads nothing";
    ns->GetHidden();
    ASSERT_NE(ns->GetWin32FindDataW(), nullptr);
    if (!c.ansi) {
      EXPECT_EQ(ns->GetWin32FindDataA(), nullptr);
    } else {
      const WIN32_FIND_DATAA* a = ns->GetWin32FindDataA();
      ASSERT_NE(a, nullptr);
      EXPECT_STREQ(a->cFileName, c.ansi);
      EXPECT_EQ(a->nFileSizeLow, c.size);
      EXPECT_EQ(a->dwFileAttributes, ns->GetWin32FindDataW()->dwFileAttributes);
      EXPECT_EQ(a->ftLastWriteTime.dwLowDateTime, ns->GetWin32FindDataW()->ftLastWriteTime.dwLowDateTime);
      ns->InvalidateNamespace(false);
      EXPECT_EQ(ns->GetWin32FindDataA(), nullptr) << "freed with the wide record";
    }
    ResetPlatformVersion();
  }
}

TEST_F(NamespaceRestTest, TheCustomSubmenuKeepsBreaksAndTheRightToLeftType) {
  Owned<TNamespace> ns(Item(One / "a.txt"));
  struct Case {
    const char* what;
    TBiDiMode bidi;
    std::vector<UINT> types;
  } cases[] = {
      {"left to right", TBiDiMode::bdLeftToRight, {MFT_STRING, MFT_MENUBREAK, MFT_MENUBARBREAK}},
      {"right to left", TBiDiMode::bdRightToLeft,
       {MFT_RIGHTJUSTIFY, MFT_MENUBREAK | MFT_RIGHTJUSTIFY, MFT_MENUBARBREAK | MFT_RIGHTJUSTIFY}},
      {"reading order only", TBiDiMode::bdRightToLeftReadingOnly,
       {MFT_RIGHTJUSTIFY, MFT_MENUBREAK | MFT_RIGHTJUSTIFY, MFT_MENUBARBREAK | MFT_RIGHTJUSTIFY}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Owned<TPopupMenu> custom(TPopupMenu::New(Form));
    custom->BiDiMode = c.bidi;
    const TMenuBreak breaks[] = {TMenuBreak::mbNone, TMenuBreak::mbBreak, TMenuBreak::mbBarBreak};
    for (TMenuBreak b : breaks) {
      TMenuItem* mi = TMenuItem::New(custom.get());
      mi->SetCaption(u"Item");
      mi->Break = b;
      custom->GetItems()->Add(mi);
    }
    std::vector<UINT> types;
    pf::testing::SetTrackPopupMenuHook([&](HMENU m, HWND) -> UINT {
      HMENU sub = GetSubMenu(m, GetMenuItemCount(m) - 1);
      for (int i = 0; i < GetMenuItemCount(sub); ++i) {
        MENUITEMINFO mi;
        mi.fMask = MIIM_FTYPE;
        EXPECT_TRUE(GetMenuItemInfo(sub, static_cast<UINT>(i), true, &mi));
        types.push_back(mi.fType);
      }
      return 0;
    });
    TPoint at{5, 5};
    ns->ShowContextMenu(Form, nullptr, nullptr, nullptr, &at, custom.get(), u"Mine");
    EXPECT_EQ(types, c.types);
  }
}

TEST_F(NamespaceRestTest, AFolderBackgroundMenuHasTheFolderAndNoItems) {
  RegisterExport("shell32", "CDefFolderMenu_Create2", &RecordingCreate2);
  Owned<TNamespace> a(Item(One / "a.txt")), two(Item(Two));
  ASSERT_TRUE(a->Copy(Form, {a.get()}));
  Owned<TBackgroundMenu> menu(TBackgroundMenu::New(Form));
  std::vector<String> shown;
  pf::testing::SetTrackPopupMenuHook([&](HMENU m, HWND) -> UINT {
    shown = Captions(m);
    return 0;
  });
  gCreates.clear();
  EXPECT_FALSE(menu->Background(Form, two->GetAbsolutePIDL(), String()));
  ASSERT_EQ(gCreates.size(), 1u);
  EXPECT_TRUE(gCreates[0].HasFolder);
  EXPECT_EQ(gCreates[0].FolderIds, shellapi::IdBytes(two->GetAbsolutePIDL()));
  EXPECT_EQ(gCreates[0].Items, 0u);
  // What a background offers: what the clipboard holds, and nothing of items.
  EXPECT_TRUE(Has(shown, u"Paste"));
  EXPECT_FALSE(Has(shown, u"Copy"));
  EXPECT_FALSE(Has(shown, u"Delete"));
  EXPECT_TRUE(menu->Background(Form, two->GetAbsolutePIDL(), u"paste"));
  EXPECT_EQ(testsupport::ReadFileBytes(Two / "a.txt"), "aa");
  // Without a folder the items are whole lists from the desktop, as the public methods pass them.
  gCreates.clear();
  menu->ExecuteContextMenuVerb(Form, {a.get()}, 1, u"copy");
  ASSERT_EQ(gCreates.size(), 1u);
  EXPECT_EQ(gCreates[0].FolderIds, std::string());
  EXPECT_EQ(gCreates[0].Items, 1u);
}

TEST_F(NamespaceRestTest, ARenamedItemIsRepointedByItsName) {
  struct Case {
    const char* what;
    bool replaced;  // another file took the old name
  } cases[] = {{"another file under the old name", true}, {"nothing under the old name", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::WriteFileBytes(One / "a.txt", "aa");
    Owned<TNamespace> ns(Item(One / "a.txt"));
    EXPECT_EQ(ns->GetSizeOfFileInt64(), 2);
    const std::string before = shellapi::IdBytes(ns->GetAbsolutePIDL());
    const ITEMIDLIST* oldList = ns->GetAbsolutePIDL();
    fs::rename(One / "a.txt", One / "renamed.txt");
    if (c.replaced) testsupport::WriteFileBytes(One / "a.txt", "four");
    ns->InvalidateRelativePIDL(TFileObjects{TFileObject::foFolders, TFileObject::foNonFolders, TFileObject::foHidden});
    EXPECT_EQ(shellapi::IdBytes(ns->GetAbsolutePIDL()), before) << "the same name, so the same bytes";
    if (c.replaced) {
      EXPECT_NE(ns->GetAbsolutePIDL(), oldList) << "a new list from the folder's own";
      EXPECT_EQ(ns->GetSizeOfFileInt64(), 4) << "the cache was emptied";
      EXPECT_TRUE(ns->GetValid());
    } else {
      EXPECT_EQ(ns->GetAbsolutePIDL(), oldList) << "no child matches: the item is left as it was";
      EXPECT_FALSE(ns->GetValid());
    }
    fs::remove(One / "renamed.txt");
  }
}

TEST_F(NamespaceRestTest, PastingOntoTheDesktopPastesIntoItsFolder) {
  Owned<TNamespace> a(Item(One / "a.txt"));
  struct Case {
    const char* what;
    bool shortcut;
  } cases[] = {{"a copy", false}, {"a link", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& e : fs::directory_iterator(Home / "Desktop"))
      if (e.path().filename() != "inbox" && e.path().filename() != "note.txt") fs::remove(e.path());
    ASSERT_TRUE(a->Copy(Form, {a.get()}));
    Owned<TNamespace> desktop(TNamespace::New(nullptr, nullptr));
    ASSERT_TRUE(desktop->IsDesktop());
    EXPECT_TRUE(desktop->Paste(Form, {desktop.get()}, c.shortcut));
    std::vector<fs::path> made;
    for (const auto& e : fs::directory_iterator(Home / "Desktop"))
      if (e.path().filename() != "inbox" && e.path().filename() != "note.txt") made.push_back(e.path());
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(fs::is_symlink(made[0]), c.shortcut);
    EXPECT_EQ(testsupport::ReadFileBytes(made[0]), "aa");
    if (c.shortcut) {
      EXPECT_EQ(fs::read_symlink(made[0]), One / "a.txt");
    }
  }
}

TEST_F(NamespaceRestTest, TheMenuOfSeveralItemsComesFromTheirFolderOrFromTheComponent) {
  Owned<TNamespace> a(Item(One / "a.txt")), b(Item(One / "b.jpg")), c(Item(Two / "c.txt"));
  struct Case {
    const char* what;
    TNamespaceArray items;
    bool shortcutItem;
    bool shown, result;
    std::vector<std::string> copied;
  } cases[] = {
      {"siblings", {a.get(), b.get()}, true, true, true,
       {(One / "a.txt").string(), (One / "b.jpg").string()}},
      // Items of two folders go through the component, whose answer is always False.
      {"two folders", {a.get(), c.get()}, true, true, false,
       {(One / "a.txt").string(), (Two / "c.txt").string()}},
      {"two folders without the shortcut item", {a.get(), c.get()}, false, true, false,
       {(One / "a.txt").string(), (Two / "c.txt").string()}},
      {"nothing", {}, true, false, false, {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    OleSetClipboard(nullptr);
    std::vector<String> shown;
    bool tracked = false;
    pf::testing::SetTrackPopupMenuHook([&](HMENU m, HWND) -> UINT {
      tracked = true;
      shown = Captions(m);
      return IdOf(m, u"Copy");
    });
    TPoint at{5, 5};
    bool result = a->ShowContextMenuMulti(Form, nullptr, nullptr, nullptr, k.items, &at, nullptr, String(), a.get(),
                                          true, true, k.shortcutItem);
    EXPECT_EQ(tracked, k.shown);
    EXPECT_EQ(result, k.result);
    EXPECT_EQ(ClipboardPaths(), k.copied);
    if (k.shown) {
      EXPECT_EQ(Has(shown, u"Create Shortcut"), k.shortcutItem);
    }
  }
}

TEST_F(NamespaceRestTest, TheNameForms) {
  testsupport::WriteFileBytes(One / "x.tar.gz", "x");
  testsupport::WriteFileBytes(One / "README", "r");
  testsupport::WriteFileBytes(One / "фото.jpg", "f");
  ASSERT_NE(ComputerNamespace, nullptr);
  struct Case {
    const char* what;
    TNamespace* ns;
    String parseAddress, editing, shortName, extension;
  };
  Owned<TNamespace> jpg(Item(One / "b.jpg")), folder(Item(One)), gz(Item(One / "x.tar.gz")),
      readme(Item(One / "README")), photo(Item(One / "фото.jpg"));
  auto path = [](const fs::path& p) { return FromNativePath(p.string()); };
  const Case cases[] = {
      {"a file", jpg.get(), path(One / "b.jpg"), u"b.jpg", u"B.JPG", u".jpg"},
      {"a folder", folder.get(), path(One), u"one", u"ONE", u""},
      {"two extensions", gz.get(), path(One / "x.tar.gz"), u"x.tar.gz", u"X.TAR.GZ", u".gz"},
      {"no extension", readme.get(), path(One / "README"), u"README", u"README", u""},
      {"Cyrillic", photo.get(), path(One / "фото.jpg"), u"фото.jpg", u"ФОТО.JPG", u".jpg"},
      // A virtual folder: parsed by its class, no file-system names.
      {"Computer", ComputerNamespace, u"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}", u"Computer", u"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.ns->GetNameParseAddress(), c.parseAddress);
    EXPECT_EQ(c.ns->GetNameForEditing(), c.editing);
    EXPECT_EQ(c.ns->GetShortFileName(), c.shortName);
    EXPECT_EQ(c.ns->GetExtension(), c.extension);
  }
}

TEST_F(NamespaceRestTest, OnlyADriveRootWithoutAMediumIsNotBrowsed) {
  Owned<TNamespace> folder(Item(One)), file(Item(One / "a.txt"));
  auto drive = [this](const Char* name) {
    TDriveRootItem* d = TDriveRootItem::New(PathToPIDL(FromNativePath(Home.string())), nullptr);
    d->Name = name;
    return d;
  };
  Owned<TDriveRootItem> floppy(drive(u"A:\\")), deeper(drive(u"C:\\x")), noSlash(drive(u"A:"));
  struct Case {
    const char* what;
    TNamespace* ns;
    bool ok;
  } cases[] = {
      {"a folder", folder.get(), true},
      {"a file", file.get(), true},
      {"Computer", ComputerNamespace, true},
      // No drive letter names a medium on this desktop.
      {"a drive root of the other platform", floppy.get(), false},
      {"a folder below a drive root", deeper.get(), true},
      {"a drive without its root", noSlash.get(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.ns->OkToBrowse(false), c.ok);
    EXPECT_EQ(c.ns->OkToBrowse(true), c.ok);
  }
}

TEST_F(NamespaceRestTest, PIDLIsFolderAsksTheItemsOwnFolder) {
  fs::create_directories(Home / "gone");
  PItemIDList goneList = PathToPIDL(FromNativePath((Home / "gone").string()));
  fs::remove(Home / "gone");
  struct Case {
    const char* what;
    PItemIDList pidl;
    bool folder;
  } cases[] = {
      {"the desktop", shellapi::AllocIdList(""), true},
      {"Computer", shellapi::RootIdList(shellapi::TRootId::Computer), true},
      {"a folder on the desktop", DesktopEntry("inbox"), true},
      {"a file on the desktop", DesktopEntry("note.txt"), false},
      {"a folder deeper down", PathToPIDL(FromNativePath(One.string())), true},
      {"a file deeper down", PathToPIDL(FromNativePath((One / "a.txt").string())), false},
      {"a folder that is gone", goneList, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NE(c.pidl, nullptr);
    const std::string before = shellapi::IdBytes(c.pidl);
    EXPECT_EQ(PIDLIsFolder(c.pidl), c.folder);
    EXPECT_EQ(shellapi::IdBytes(c.pidl), before) << "the cut list is whole again";
    CoTaskMemFree(c.pidl);
  }
}

}  // namespace
}  // namespace shelltest
