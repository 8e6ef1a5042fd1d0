// Verbs and context menus through a recording menu: the invoke record's size and mask, the verb
// lookup, the menu shown with callbacks and a custom submenu, the owner's window procedure, and
// the drag effect of the keys.

#include "platform/classlib/Forms.h"
#include "platform/user/Menu.h"
#include "ShellFakes.h"

namespace shelltest {
namespace {

class VerbsTest : public ShellFixture {
protected:
  void SetUp() override {
    ShellFixture::SetUp();
    MakeDesktop("");
    Start();
    testsupport::WriteFileBytes(Home / "a.txt", "a");
    Form = TForm::New(Application);
    Form->GetHandle();
    Folder.Attributes = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANDELETE | SFGAO_CANLINK;
    Folder.Menu = &Menu;
  }
  void TearDown() override {
    pf::testing::SetTrackPopupMenuHook(nullptr);
    pf::testing::ResetKeyState();
    Form->Free();
    EXPECT_EQ(pf::testing::LiveMenuCount(), 0);
    ShellFixture::TearDown();
    EXPECT_EQ(Menu.Refs, 0) << "the menu is let go";
  }
  TFakeItem* Fake() {
    TFakeItem* item = TFakeItem::New(PathToPIDL(FromNativePath((Home / "a.txt").string())), nullptr);
    item->ParentShell = &Folder;
    return item;
  }

  TRecordingMenu Menu;
  TFakeFolder Folder;
  TForm* Form{nullptr};
};

TEST_F(VerbsTest, ARunVerbFillsTheInvokeRecordAsThePlatformAndKeysSay) {
  struct Case {
    const char* name;
    TExecuteVerbShift shift;
    bool shiftKey, controlKey, nt;
    DWORD size, mask;
    std::string verbW;
  };
  constexpr DWORD async = 0x100000, shiftDown = 0x10000000, controlDown = 0x40000000;
  const Case cases[] = {
      {"Shift taken as down", TExecuteVerbShift::evsDown, false, false, true, 64, async | shiftDown, "#2"},
      {"Shift taken as up", TExecuteVerbShift::evsUp, true, false, true, 64, async, "#2"},
      {"the live keys", TExecuteVerbShift::evsCurrent, true, true, true, 64, async | shiftDown | controlDown, "#2"},
      {"the 8-bit platform", TExecuteVerbShift::evsCurrent, false, false, false, 36, async, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.nt) ResetPlatformVersion();
    else SetPlatformVersion(TPlatformVersion{VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222});
    pf::testing::SetKeyDown(VK_SHIFT, c.shiftKey);
    pf::testing::SetKeyDown(VK_CONTROL, c.controlKey);
    Menu.Invoked.clear();
    Menu.QueryFlags.clear();
    Owned<TFakeItem> item(Fake());
    EXPECT_TRUE(item->Delete(Form, {item.get()}, c.shift));
    ASSERT_EQ(Menu.Invoked.size(), 1u);
    EXPECT_EQ(Menu.QueryFlags, std::vector<UINT>{CMF_DEFAULTONLY | CMF_EXPLORE});
    EXPECT_EQ(Menu.Invoked[0].Size, c.size);
    EXPECT_EQ(Menu.Invoked[0].Mask, c.mask);
    EXPECT_EQ(Menu.Invoked[0].Verb, "#2") << "the delete item's offset";
    EXPECT_EQ(Menu.Invoked[0].VerbW, c.verbW);
    EXPECT_EQ(Menu.Invoked[0].Show, 1);
  }
}

TEST_F(VerbsTest, VerbsAreFoundByNameOrPassedAsText) {
  struct Case {
    String verb;
    std::string expected;
    bool ansiOnly, defaultDisabled;
  };
  const Case cases[] = {
      {u"VIRTUAL_DEFAULT", "#1", false, false},
      {u"VIRTUAL_DEFAULT", "VIRTUAL_DEFAULT", false, true},
      {u"DELETE", "#2", false, false},
      {u"frobnicate", "frobnicate", false, false},
      {u"delete", "delete", true, false},  // the wide names are asked only
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToNativePath(c.verb));
    Menu.AnsiOnly = c.ansiOnly;
    Menu.DefaultDisabled = c.defaultDisabled;
    Menu.Invoked.clear();
    Owned<TFakeItem> item(Fake());
    EXPECT_TRUE(item->ExecuteContextMenuVerb(Form, c.verb, nullptr));
    ASSERT_EQ(Menu.Invoked.size(), 1u);
    EXPECT_EQ(Menu.Invoked[0].Verb, c.expected);
    EXPECT_EQ(Menu.Invoked[0].VerbW, c.expected);
  }
  Menu.AnsiOnly = Menu.DefaultDisabled = false;
  Menu.InvokeAnswer = E_FAIL;
  Owned<TFakeItem> item(Fake());
  EXPECT_FALSE(item->ExecuteContextMenuVerb(Form, u"copy", nullptr)) << "a failed command is no success";
  Folder.Menu = nullptr;
  EXPECT_FALSE(item->ExecuteContextMenuVerb(Form, u"copy", nullptr)) << "no menu, nothing run";
}

TEST_F(VerbsTest, AShownMenuReportsTheChoiceToTheCallbacksInOrder) {
  struct Case {
    const char* name;
    UINT choice;  // 100 + n: the n-th custom item
    std::vector<std::string> calls;
    std::vector<std::string> invoked;
    bool clicked;
    bool ansiOnly{false};
    bool refused{false};  // by the show callback
  };
  const Case cases[] = {
      {"a shell command", 3, {"show", "cmd delete 3 0", "after delete 3 1"}, {"#2"}, false},
      {"a command the handler cannot name", 4,
       {"show", "cmd Unknown Command 4 0", "after Unknown Command 4 1"}, {"#3"}, false},
      {"nothing chosen", 0, {"show", "after  0 0"}, {}, false},
      {"a handler naming verbs in 8 bits", 3, {"show", "cmd Unknown Command 3 0", "after Unknown Command 3 1"}, {"#2"},
       false, true},
      {"a custom item", 100, {"show", "cmd Unknown Command 51 1", "after Unknown Command 51 0"}, {}, true},
      {"a menu the show callback refuses", 3, {"show", "after  0 0"}, {}, false, false, true},
  };
  Menu.Reserved = 50;  // more than it shows: submenus filled later take the rest
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Menu.AnsiOnly = c.ansiOnly;
    Menu.Invoked.clear();
    Menu.Log.clear();
    std::vector<std::string> calls;
    bool clicked = false;
    Owned<TPopupMenu> custom(TPopupMenu::New(Form));
    for (const Char* caption : {u"One", u"-", u"Two"}) {
      TMenuItem* mi = TMenuItem::New(custom.get());
      mi->SetCaption(caption);
      custom->GetItems()->Add(mi);
    }
    custom->GetItems()->Items(0)->OnClick = [&](TObject*) { clicked = true; };
    custom->GetItems()->Items(2)->Enabled = false;
    Owned<TFakeItem> item(Fake());
    TNamespace* self = item.get();
    HMENU shown = nullptr;
    pf::testing::SetTrackPopupMenuHook([&](HMENU m, HWND) -> UINT {
      shown = m;
      EXPECT_EQ(Menu.Log.back(), "msg2 279") << "the owner passed WM_INITMENUPOPUP on to the menu";
      EXPECT_EQ(GetMenuItemCount(m), 6) << "four items, a line, the submenu";
      HMENU sub = GetSubMenu(m, 5);
      EXPECT_EQ(GetMenuString(m, 5, MF_BYPOSITION), u"Мои команды");
      EXPECT_EQ(GetMenuItemID(sub, 0), 51u) << "custom identifiers start above the reserved range";
      EXPECT_EQ(GetMenuState(sub, 1, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
      EXPECT_EQ(GetMenuState(sub, 2, MF_BYPOSITION) & MF_GRAYED, MF_GRAYED);
      EXPECT_EQ(item->CustomMenuItemIDs(), (TMenuItemIDArray{51, 52, 53}));
      EXPECT_EQ(item->ContextMenuVerb(2), u"copy");
      EXPECT_EQ(item->ContextMenuItemHelp(3), u"help delete");
      return c.choice == 100 ? 51 : c.choice;
    });
    TPoint at{10, 20};
    bool result = item->ShowContextMenu(
        Form,
        [&](TNamespace* ns, const String& verb, Integer id, bool& handled) {
          EXPECT_EQ(ns, self);
          calls.push_back("cmd " + ToNativePath(verb) + " " + std::to_string(id) + " " + std::to_string(handled));
        },
        [&](TNamespace*, HMENU, bool& allow) {
          calls.push_back("show");
          allow = !c.refused;
        },
        [&](TNamespace*, const String& verb, Integer id, bool ok) {
          calls.push_back("after " + ToNativePath(verb) + " " + std::to_string(id) + " " + std::to_string(ok));
        },
        &at, custom.get(), u"Мои команды");
    EXPECT_EQ(shown != nullptr, !c.refused);
    EXPECT_EQ(calls, c.calls);
    std::vector<std::string> invoked;
    for (const auto& r : Menu.Invoked) {
      invoked.push_back(r.Verb);
      EXPECT_EQ(r.Mask & CMIC_MASK_UNICODE, CMIC_MASK_UNICODE);
      EXPECT_EQ(r.VerbW, r.Verb);
    }
    EXPECT_EQ(invoked, c.invoked);
    EXPECT_EQ(clicked, c.clicked);
    EXPECT_EQ(result, !c.invoked.empty());
    EXPECT_EQ(Menu.QueryFlags.back(), CMF_EXPLORE | CMF_CANRENAME);
    // The owner's own procedure is back: the menu hears nothing more.
    size_t heard = Menu.Log.size();
    Form->Perform(WM_INITMENUPOPUP, 0, 0);
    EXPECT_EQ(Menu.Log.size(), heard);
    EXPECT_EQ(item->ContextMenuVerb(2), u"") << "no menu is current any more";
  }
}

TEST_F(VerbsTest, ARunningVerbsMenuIsTheCurrentOneUntilItIsDone) {
  struct Case {
    const char* name;
    bool menu3;
    std::string heard;  // how the menu heard WM_INITMENUPOPUP
  };
  const Case cases[] = {
      {"a menu of the third kind", true, "msg2 279"},
      {"a menu of the second kind", false, "msg 279"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Menu.Menu3 = c.menu3;
    Menu.Log.clear();
    Owned<TFakeItem> item(Fake());
    String verb, help;
    Menu.DuringInvoke = [&] {
      verb = item->ContextMenuVerb(2);
      help = item->ContextMenuItemHelp(3);
      LRESULT r = 0;
      item->HandleContextMenuMsg(WM_INITMENUPOPUP, 0, 0, r);
    };
    EXPECT_TRUE(item->ExecuteContextMenuVerb(Form, u"delete", nullptr));
    Menu.DuringInvoke = nullptr;
    EXPECT_EQ(verb, u"copy");
    EXPECT_EQ(help, u"help delete");
    EXPECT_EQ(Menu.Log, (std::vector<std::string>{"query", c.heard, "invoke"}));
    // Done: the menu is let go and hears nothing more.
    EXPECT_EQ(item->ContextMenuVerb(2), u"");
    LRESULT r = 0;
    item->HandleContextMenuMsg(WM_INITMENUPOPUP, 0, 0, r);
    EXPECT_EQ(Menu.Log.size(), 3u);
  }
}

TEST_F(VerbsTest, AMenuWithoutAnOwnerIsAnAssertion) {
  Owned<TFakeItem> item(Fake());
  try {
    item->ShowContextMenu(nullptr, nullptr, nullptr, nullptr, nullptr);
    ADD_FAILURE() << "no assertion";
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(e.Message().find(u"To show a Context Menu using TNamespace you must pass a valid Owner TWinControl"),
              String::npos);
  }
  EXPECT_TRUE(Menu.QueryFlags.empty()) << "nothing is shown";
}

TEST_F(VerbsTest, TheDragEffectFollowsTheKeysAndWhatTheItemAllows) {
  const DWORD all = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK;
  const DWORD allowed[] = {all, SFGAO_CANCOPY, SFGAO_CANLINK, 0, SFGAO_CANMOVE | SFGAO_CANLINK};
  const Integer keys[] = {0, MK_CONTROL, MK_CONTROL | MK_SHIFT, MK_SHIFT};
  // Rows: keys; columns: what the item allows.
  const HRESULT expected[4][5] = {
      {2, 0, 4, 0, 2},
      {1, 1, 4, 0, 2},
      {4, 0, 4, 0, 4},
      {0, 0, 0, 0, 0},
  };
  for (int k = 0; k < 4; ++k)
    for (int a = 0; a < 5; ++a) {
      SCOPED_TRACE(::testing::Message() << "keys " << keys[k] << " allowed " << allowed[a]);
      Folder.Attributes = allowed[a];
      Owned<TFakeItem> item(Fake());
      EXPECT_EQ(item->DragEffect(keys[k]), expected[k][a]);
    }
  Folder.Attributes = 0;
  Owned<TFakeItem> item(Fake());
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(item->DragEnter(nullptr, 0, TPoint{}, effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_NONE) << "no drop target, no effect";
}

TEST_F(VerbsTest, EveryCanAllTestIsFalseForNoItems) {
  Owned<TFakeItem> item(Fake());
  TNamespaceArray none;
  EXPECT_FALSE(item->CanCopyAll(none));
  EXPECT_FALSE(item->CanCutAll(none));
  EXPECT_FALSE(item->CanDeleteAll(none));
  EXPECT_FALSE(item->CanPasteToAll(none));
  EXPECT_FALSE(item->CanRenameAll(none));
  EXPECT_FALSE(item->CanShowPropertiesOfAll(none));
  EXPECT_FALSE(item->Copy(Form, none));
  EXPECT_TRUE(Menu.Invoked.empty());
}

}  // namespace
}  // namespace shelltest
