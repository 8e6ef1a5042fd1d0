// The shell context menu of items from several folders: the class keys it opens (and closes),
// what it tells the shell the items allow, handlers that merge items or take a command's work,
// and its reference counting.

#include "platform/classlib/Forms.h"
#include "platform/kernel/Modules.h"
#include "platform/user/Menu.h"
#include "shell/ShellContextMenu.h"
#include "ShellTestEnv.h"

namespace shelltest {
namespace {

std::vector<String> gKeysSeen;
LPFNDFMCALLBACK gCallback;

// The shell's folder menu, writing down which class keys and which callback it was given.
HRESULT RecordingCreate2(const ITEMIDLIST* folder, HWND owner, UINT cidl, const ITEMIDLIST** apidl, IShellFolder* sf,
                         LPFNDFMCALLBACK cb, UINT nKeys, const HKEY* keys, IContextMenu** out) {
  gCallback = cb;
  gKeysSeen.clear();
  for (UINT i = 0; i < nKeys; ++i) gKeysSeen.push_back(shellapi::testing::RegistryKeyPath(keys[i]));
  return CDefFolderMenu_Create2(folder, owner, cidl, apidl, sf, std::move(cb), nKeys, keys, out);
}

class ContextMenuTest : public ShellFixture {
protected:
  void SetUp() override {
    ShellFixture::SetUp();
    MakeDesktop("");
    Start();
    fs::create_directories(Home / "one");
    fs::create_directories(Home / "two");
    testsupport::WriteFileBytes(Home / "one" / "photo.jpg", "J");
    testsupport::WriteFileBytes(Home / "two" / "notes.xyz", "X");
    Form = TForm::New(Application);
    Form->GetHandle();
    RegisterExport("shell32", "CDefFolderMenu_Create2", &RecordingCreate2);
    shellapi::Hooks().ConfirmDelete = [](const std::vector<std::string>&, bool) { return true; };
  }
  void TearDown() override {
    gCallback = nullptr;
    RegisterExport("shell32", "CDefFolderMenu_Create2", &CDefFolderMenu_Create2);
    shellapi::SetRegistryTree(nullptr);
    pf::testing::SetTrackPopupMenuHook(nullptr);
    Form->Free();
    EXPECT_EQ(shellapi::testing::OpenRegistryKeys(), 0) << "every class key is closed";
    EXPECT_EQ(pf::testing::LiveMenuCount(), 0);
    ShellFixture::TearDown();
  }
  // The captions of the menu the shell shows, chosen with `choose` (0 for none).
  std::vector<String> Shown(TCommonShellMultiParentContextMenu* menu, TNamespace* focused, const TNamespaceArray& items,
                            std::function<UINT(HMENU)> choose = nullptr) {
    std::vector<String> captions;
    pf::testing::SetTrackPopupMenuHook([&](HMENU m, HWND) -> UINT {
      for (int i = 0; i < GetMenuItemCount(m); ++i)
        if (!(GetMenuState(m, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR))
          captions.push_back(GetMenuString(m, static_cast<UINT>(i), MF_BYPOSITION));
      return choose ? choose(m) : 0;
    });
    menu->ShowContextMenu(Form, focused, nullptr, items);
    pf::testing::SetTrackPopupMenuHook(nullptr);
    return captions;
  }
  static bool Has(const std::vector<String>& v, const String& s) { return std::find(v.begin(), v.end(), s) != v.end(); }

  TForm* Form{nullptr};
};

TEST_F(ContextMenuTest, ClassKeysFollowTheFocusedItemAndTheRegistry) {
  shellapi::TRegistryTree tree{
      {u"AllFilesystemObjects", {}},
      {u".jpg", {{u"", u"jpegfile"}}},
      {u"jpegfile", {{u"", u"JPEG"}}},
      {u"jpegfile\\CurVer", {{u"", u"jpegfile.2"}}},
      {u"jpegfile.2", {}},
      {u"Unknown", {}},
      {u"Folder", {}},
      {u"Directory", {}},
  };
  shellapi::SetRegistryTree(&tree);
  Owned<TNamespace> jpg(Item(Home / "one" / "photo.jpg")), xyz(Item(Home / "two" / "notes.xyz")),
      folder(Item(Home / "one"));
  struct Case {
    const char* name;
    TNamespace* focused;
    std::vector<String> keyStrings;
    std::vector<String> keys;
  };
  const Case cases[] = {
      // "*" is missing from this registry: "Unknown" stands in for it, once.
      {"a picture: the current version of its class", jpg.get(), {u"*", u".jpg", u"AllFilesystemObjects"},
       {u"unknown", u"jpegfile.2", u"allfilesystemobjects"}},
      {"an unknown type", xyz.get(), {u"*", u".xyz", u"AllFilesystemObjects"}, {u"unknown", u"allfilesystemobjects"}},
      {"a folder", folder.get(), {u"Directory", u"Folder"}, {u"directory", u"folder"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Owned<TCommonShellMultiParentContextMenu> menu(TCommonShellMultiParentContextMenu::New(Form));
    Shown(menu.get(), c.focused, {jpg.get(), xyz.get()});
    EXPECT_EQ(menu->KeyStrings(), c.keyStrings);
    EXPECT_EQ(gKeysSeen, c.keys);
    EXPECT_EQ(shellapi::testing::OpenRegistryKeys(), 0);
  }
}

TEST_F(ContextMenuTest, TheShellIsToldWhatEveryItemAllows) {
  // The root of the file system may be copied from but never moved or deleted.
  Owned<TNamespace> jpg(Item(Home / "one" / "photo.jpg")), root(TNamespace::New(PathToPIDL(u"/"), nullptr));
  Owned<TCommonShellMultiParentContextMenu> menu(TCommonShellMultiParentContextMenu::New(Form));
  std::vector<String> both = Shown(menu.get(), jpg.get(), {jpg.get(), root.get()});
  EXPECT_TRUE(Has(both, u"Copy"));
  EXPECT_FALSE(Has(both, u"Delete")) << "one item that cannot be deleted takes Delete away";
  EXPECT_FALSE(Has(both, u"Cut"));
  std::vector<String> one = Shown(menu.get(), jpg.get(), {jpg.get()});
  EXPECT_TRUE(Has(one, u"Delete"));
  EXPECT_TRUE(Has(one, u"Cut"));
  EXPECT_TRUE(Has(one, u"Create Shortcut"));
  menu->SetShortCutMenuItem(false);
  std::vector<String> noLinks = Shown(menu.get(), jpg.get(), {jpg.get()});
  EXPECT_TRUE(Has(noLinks, u"Delete"));
  EXPECT_FALSE(Has(noLinks, u"Create Shortcut"));
}

TEST_F(ContextMenuTest, HandlersMergeItemsAndMayTakeACommandsWork) {
  Owned<TNamespace> jpg(Item(Home / "one" / "photo.jpg")), xyz(Item(Home / "two" / "notes.xyz"));
  Owned<TCommonShellMultiParentContextMenu> menu(TCommonShellMultiParentContextMenu::New(Form));
  Owned<TMenuItem> mine(TMenuItem::New(nullptr)), top(TMenuItem::New(nullptr));
  int mineClicks = 0, topClicks = 0, shows = 0, hides = 0;
  mine->OnClick = [&](TObject*) { ++mineClicks; };
  top->OnClick = [&](TObject*) { ++topClicks; };
  UINT mineId = 0, topId = 0;
  menu->OnMenuMerge = [&](TCommonShellContextMenu* s, HMENU m, Cardinal index, Cardinal& first, Cardinal, TShellContextMenuFlags) {
    mineId = first;
    InsertMenu(m, index, MF_BYPOSITION | MF_STRING, first, u"Моё");
    s->GetMenuMap()->Add(first++, mine.get());
  };
  menu->OnMenuMergeTop = [&](TCommonShellContextMenu* s, HMENU m, Cardinal index, Cardinal& first, Cardinal, TShellContextMenuFlags) {
    topId = first;
    InsertMenu(m, index, MF_BYPOSITION | MF_STRING, first, u"Наверху");
    s->GetMenuMap()->Add(first++, top.get());
  };
  menu->OnShow = [&](TCommonShellContextMenu*) { ++shows; };
  menu->OnHide = [&](TCommonShellContextMenu*) { ++hides; };
  std::vector<String> captions = Shown(menu.get(), jpg.get(), {jpg.get(), xyz.get()}, [&](HMENU) { return mineId; });
  EXPECT_EQ(captions.front(), u"Наверху");
  EXPECT_TRUE(Has(captions, u"Моё"));
  EXPECT_EQ(mineClicks, 1);
  ASSERT_EQ(menu->GetMenuMap()->Count(), 2);
  // The shell names merged commands by their distance from the first identifier it offered.
  EXPECT_EQ(menu->GetMenuMap()->Items(0)->MenuID, 200u);
  EXPECT_EQ(menu->GetMenuMap()->Items(1)->MenuID, 600u);
  menu->GetMenuMap()->Clear();
  Shown(menu.get(), jpg.get(), {jpg.get()}, [&](HMENU) { return topId; });
  EXPECT_EQ(topClicks, 1);
  EXPECT_EQ(shows, 2);
  EXPECT_EQ(hides, 2);

  // A delete handler that does the work itself leaves the shell nothing to do.
  menu->OnMenuMerge = nullptr;
  menu->OnMenuMergeTop = nullptr;
  int asked = 0;
  menu->OnShellMenuDelete = [&](TCommonShellContextMenu*, IShellFolder*, IDataObject* data, DFMICS*, bool& handled) {
    ++asked;
    EXPECT_NE(data, nullptr);
    handled = false;
  };
  menu->ExecuteContextMenuVerb(Form, {jpg.get(), xyz.get()}, 2, u"delete");
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(fs::exists(Home / "one" / "photo.jpg"));
  menu->OnShellMenuDelete = nullptr;
  EXPECT_TRUE(menu->ExecuteContextMenuVerb(Form, {jpg.get(), xyz.get()}, 2, u"delete"));
  EXPECT_FALSE(fs::exists(Home / "one" / "photo.jpg"));
  EXPECT_FALSE(fs::exists(Home / "two" / "notes.xyz"));
}

TEST_F(ContextMenuTest, TheFolderMenuCallbackAnswersEachMessageAsTheShellExpects) {
  Owned<TNamespace> jpg(Item(Home / "one" / "photo.jpg"));
  Owned<TCommonShellMultiParentContextMenu> menu(TCommonShellMultiParentContextMenu::New(Form));
  int shows = 0, hides = 0;
  menu->OnShow = [&](TCommonShellContextMenu*) { ++shows; };
  menu->OnHide = [&](TCommonShellContextMenu*) { ++hides; };
  Shown(menu.get(), jpg.get(), {jpg.get()});
  ASSERT_TRUE(gCallback);
  constexpr UINT kHelpText = 5;  // a message the component does not take
  struct Case {
    const char* what;
    UINT msg;
    WPARAM w;
    HRESULT answer;
  } cases[] = {
      {"merge without a record", DFM_MERGECONTEXTMENU, 0, S_OK},
      {"merge at the bottom", DFM_MERGECONTEXTMENU_BOTTOM, 0, S_OK},
      {"invoke", DFM_INVOKECOMMAND, 0, S_FALSE},
      {"the shell takes a reference", DFM_ADDREF, 0, E_NOTIMPL},
      {"the shell lets it go", DFM_RELEASE, 0, E_NOTIMPL},
      {"a list view command", DFM_INVOKECOMMANDEX, static_cast<WPARAM>(static_cast<intptr_t>(DFM_CMD_VIEWLIST)), S_FALSE},
      {"help text", kHelpText, 0, E_NOTIMPL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(gCallback(nullptr, Form->GetHandle(), nullptr, c.msg, c.w, 0), c.answer);
  }
  EXPECT_EQ(shows, 2) << "the menu's own and the one asked here";
  EXPECT_EQ(hides, 2);
}

TEST_F(ContextMenuTest, NoItemsMakeNoMenu) {
  Owned<TCommonShellMultiParentContextMenu> menu(TCommonShellMultiParentContextMenu::New(Form));
  int shows = 0;
  menu->OnShow = [&](TCommonShellContextMenu*) { ++shows; };
  bool tracked = false;
  pf::testing::SetTrackPopupMenuHook([&](HMENU, HWND) -> UINT { return tracked = true; });
  EXPECT_FALSE(menu->ShowContextMenu(Form, nullptr, nullptr, {}));
  EXPECT_FALSE(tracked);
  EXPECT_FALSE(menu->ExecuteContextMenuVerb(Form, {}, 2, u"paste"));
  EXPECT_EQ(shows, 0);
}

TEST_F(ContextMenuTest, TheComponentCountsReferencesOnlyWhenAsked) {
  Owned<TCommonShellMultiParentContextMenu> menu(TCommonShellMultiParentContextMenu::New(Form));
  IShellFolder* folder = menu.get();
  EXPECT_EQ(folder->AddRef(), static_cast<ULONG>(-1));
  EXPECT_EQ(folder->Release(), static_cast<ULONG>(-1));
  IDropTarget* target = menu.get();
  DWORD effect = 0;
  EXPECT_EQ(target->DragEnter(nullptr, 0, TPoint{}, &effect), S_OK);
  EXPECT_EQ(target->Drop(nullptr, 0, TPoint{}, &effect), E_NOTIMPL) << "the target only makes the shell offer Paste";
  EXPECT_TRUE(menu->GetPasteMenuItem() && menu->GetRenameMenuItem() && menu->GetShortCutMenuItem());
  try {
    Owned<TComponent> plain(TComponent::New(nullptr));
    Owned<TCommonShellMultiParentContextMenu> bad(TCommonShellMultiParentContextMenu::New(plain.get()));
    ADD_FAILURE() << "no assertion";
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(e.Message().find(u"The Owner of a Shell Context Menu component must be a descendent of TWinControl"),
              String::npos);
  }
}

}  // namespace
}  // namespace shelltest
