// Menus: the handle API, the popup menu waited for in a layer loop and chosen with the keyboard,
// and the class library's popup menus on WM_CONTEXTMENU.

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Menus.h"
#include "ClassLibFixture.h"

namespace classlibtest {
namespace {

using namespace pf;

// A key as the user presses it on the open menu (the toolkit gives the open menu the keyboard).
void KeyToMenu(int key) {
  QWidget* popup = QApplication::activePopupWidget();
  ASSERT_NE(popup, nullptr) << "no menu is open";
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(popup, &press);
}

class MenusTest : public ClassLibTest {
protected:
  void TearDown() override {
    EXPECT_EQ(pf::testing::LiveMenuCount(), 0);
    ClassLibTest::TearDown();
  }
};

TEST_F(MenusTest, MenuHandlesKeepTheirItemsAsTheyAreAddedChangedAndRemoved) {
  HMENU m = CreatePopupMenu();
  HMENU sub = CreatePopupMenu();
  ASSERT_TRUE(AppendMenu(m, MF_STRING, 10, u"&Открыть"));
  ASSERT_TRUE(AppendMenu(m, MF_SEPARATOR, 0, u""));
  ASSERT_TRUE(AppendMenu(m, MF_STRING | MF_GRAYED, 30, u"Удалить"));
  ASSERT_TRUE(AppendMenu(sub, MF_STRING, 41, u"Вид"));
  ASSERT_TRUE(InsertMenu(m, 1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"Ещё"));
  ASSERT_TRUE(InsertMenu(m, 30, MF_BYCOMMAND | MF_CHECKED, 20, u"Копировать"));
  MENUITEMINFO info;
  info.fMask = MIIM_ID | MIIM_STRING | MIIM_DATA | MIIM_STATE;
  info.wID = 50;
  info.dwTypeData = u"Свойства";
  info.dwItemData = 0xBEEF;
  info.fState = MFS_DEFAULT;
  ASSERT_TRUE(InsertMenuItem(m, 0xFFFFFFFFu, true, &info));
  // Открыть, Ещё >, -, Копировать, Удалить, Свойства
  struct Row {
    int pos;
    UINT id;
    String text;
    UINT state;
  };
  const Row rows[] = {
      {0, 10, u"&Открыть", MF_STRING},
      {1, 0xFFFFFFFFu, u"Ещё", MF_POPUP | (1u << 8)},
      {2, 0, u"", MF_SEPARATOR},
      {3, 20, u"Копировать", MF_CHECKED},
      {4, 30, u"Удалить", MF_GRAYED},
      {5, 50, u"Свойства", MF_DEFAULT},
  };
  ASSERT_EQ(GetMenuItemCount(m), 6);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.pos);
    EXPECT_EQ(GetMenuItemID(m, r.pos), r.id);
    EXPECT_EQ(GetMenuString(m, static_cast<UINT>(r.pos), MF_BYPOSITION), r.text);
    EXPECT_EQ(GetMenuState(m, static_cast<UINT>(r.pos), MF_BYPOSITION), r.state);
  }
  EXPECT_EQ(GetSubMenu(m, 1), sub);
  EXPECT_EQ(GetMenuString(m, 41, MF_BYCOMMAND), u"Вид") << "a command is found in a submenu too";
  EXPECT_EQ(EnableMenuItem(m, 30, MF_ENABLED), MF_GRAYED) << "the previous state comes back";
  EXPECT_EQ(GetMenuState(m, 30, MF_BYCOMMAND), MF_ENABLED);
  EXPECT_EQ(CheckMenuItem(m, 20, MF_UNCHECKED), MF_CHECKED);
  EXPECT_EQ(EnableMenuItem(m, 99, MF_GRAYED), 0xFFFFFFFFu) << "no such item";
  MENUITEMINFO back;
  back.fMask = MIIM_DATA | MIIM_ID;
  ASSERT_TRUE(GetMenuItemInfo(m, 50, false, &back));
  EXPECT_EQ(back.dwItemData, 0xBEEFu);
  EXPECT_EQ(pf::testing::LiveMenuCount(), 2);
  ASSERT_TRUE(RemoveMenu(m, 1, MF_BYPOSITION));
  EXPECT_TRUE(IsMenu(sub)) << "RemoveMenu leaves the submenu to the caller";
  ASSERT_TRUE(InsertMenu(m, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"Ещё"));
  ASSERT_TRUE(DeleteMenu(m, 0, MF_BYPOSITION));
  EXPECT_FALSE(IsMenu(sub)) << "DeleteMenu frees it";
  HMENU sub2 = CreatePopupMenu();
  AppendMenu(m, MF_POPUP, reinterpret_cast<UINT_PTR>(sub2), u"Ещё");
  EXPECT_TRUE(DestroyMenu(m));
  EXPECT_FALSE(IsMenu(sub2)) << "a menu goes with its submenus";
  EXPECT_FALSE(DestroyMenu(m));
}

// A window whose procedure writes down the menu messages it hears.
struct MenuOwner {
  HWND Handle{nullptr};
  std::vector<std::pair<UINT, WPARAM>> Heard;
  MenuOwner() {
    Handle = CreateWindowEx(0, u"MenuOwner", u"", WS_POPUP | WS_VISIBLE, 10, 10, 100, 100, nullptr,
                            [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                              if (m == WM_INITMENUPOPUP || m == WM_COMMAND || m == WM_ENTERMENULOOP ||
                                  m == WM_EXITMENULOOP)
                                Heard.emplace_back(m, m == WM_INITMENUPOPUP ? w : m == WM_COMMAND ? LOWORD(w) : 0);
                              return DefWindowProc(h, m, w, l);
                            });
  }
  ~MenuOwner() { DestroyWindow(Handle); }
};

TEST_F(MenusTest, APopupMenuIsChosenWithTheKeyboardInsideTheLayerLoop) {
  struct Case {
    const char* name;
    std::vector<int> keys;
    UINT flags;
    UINT answer;
    std::vector<std::pair<UINT, WPARAM>> heardAfter;  // what the owner hears after the loop
    bool subMenuOpened;
  };
  // Items: Открыть (10), -, Удалить (30, greyed), Ещё > [Вид (41), Сорт (42)], Свойства (50)
  const Case cases[] = {
      {"down thrice skips the separator and the greyed item",
       {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return},
       TPM_RETURNCMD, 50, {}, false},
      {"escape chooses nothing", {Qt::Key_Down, Qt::Key_Escape}, TPM_RETURNCMD, 0, {}, false},
      {"an item of a submenu", {Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Down, Qt::Key_Return},
       TPM_RETURNCMD, 42, {}, true},
      {"without TPM_RETURNCMD the command is posted", {Qt::Key_Down, Qt::Key_Return}, 0, 1, {{WM_COMMAND, 10}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MenuOwner owner;
    HMENU m = CreatePopupMenu();
    HMENU sub = CreatePopupMenu();
    AppendMenu(sub, MF_STRING, 41, u"Вид");
    AppendMenu(sub, MF_STRING, 42, u"Сорт");
    AppendMenu(m, MF_STRING, 10, u"Открыть");
    AppendMenu(m, MF_SEPARATOR, 0, u"");
    AppendMenu(m, MF_STRING | MF_GRAYED, 30, u"Удалить");
    AppendMenu(m, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"Ещё");
    AppendMenu(m, MF_STRING, 50, u"Свойства");
    bool workRan = false;
    guitest::PostWork([&] {  // runs inside the menu's loop
      workRan = true;
      for (int key : c.keys) KeyToMenu(key);
    });
    UINT answer = TrackPopupMenuEx(m, c.flags, 200, 150, owner.Handle);
    EXPECT_TRUE(workRan);
    EXPECT_EQ(answer, c.answer);
    std::vector<std::pair<UINT, WPARAM>> during{{WM_ENTERMENULOOP, 0}, {WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(m)}};
    if (c.subMenuOpened) during.emplace_back(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub));
    during.emplace_back(WM_EXITMENULOOP, 0);
    EXPECT_EQ(owner.Heard, during);
    owner.Heard.clear();
    Pump();
    EXPECT_EQ(owner.Heard, c.heardAfter);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "no menu is left open";
    DestroyMenu(m);
  }
}

TEST_F(MenusTest, AQuitWhileTheMenuIsOpenClosesItAndIsLeftForTheLoopOutside) {
  MenuOwner owner;
  HMENU m = CreatePopupMenu();
  AppendMenu(m, MF_STRING, 10, u"Открыть");
  guitest::PostWork([] { PostQuitMessage(3); });
  EXPECT_EQ(TrackPopupMenuEx(m, TPM_RETURNCMD, 10, 10, owner.Handle), 0u);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
  DestroyMenu(m);
}

TEST_F(MenusTest, APopupMenuFailsWithoutAnOwnerWindow) {
  HMENU m = CreatePopupMenu();
  AppendMenu(m, MF_STRING, 1, u"x");
  EXPECT_EQ(TrackPopupMenuEx(m, TPM_RETURNCMD, 0, 0, nullptr), 0u);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  DestroyMenu(m);
}

// A form with a panel that has a popup menu, and a shape on the panel with a menu of its own.
struct MenuForm {
  TForm* Form;
  TPanel* Panel;
  TShape* Shape;
  TPopupMenu* PanelMenu;
  TPopupMenu* ShapeMenu;
  std::vector<String> Clicked;
  explicit MenuForm(TComponent* owner) {
    Form = TForm::New(owner);
    Form->SetClientWidth(300);
    Form->SetClientHeight(200);
    Panel = TPanel::New(Form);
    Panel->SetBounds(10, 10, 200, 150);
    Panel->SetParent(Form);
    Shape = TShape::New(Form);
    Shape->SetBounds(100, 80, 50, 40);
    Shape->SetParent(Panel);
    PanelMenu = MakeMenu({u"Добавить фото...", u"-", u"Оформить заказ"});
    ShapeMenu = MakeMenu({u"Рамка"});
    Panel->SetPopupMenu(PanelMenu);
    Shape->SetPopupMenu(ShapeMenu);
    Form->Show();
  }
  TPopupMenu* MakeMenu(std::initializer_list<String> captions) {
    TPopupMenu* menu = TPopupMenu::New(Form);
    for (const String& c : captions) {
      TMenuItem* item = TMenuItem::New(Form);
      item->SetCaption(c);
      item->OnClick = [this, item](TObject*) { Clicked.push_back(item->GetCaption()); };
      menu->GetItems()->Add(item);
    }
    return menu;
  }
};

TEST_F(MenusTest, ARightClickPopsUpTheControlsMenuAndTheKeyboardChoosesAnItem) {
  MenuForm f(Application);
  TComponent* popupComponent = nullptr;
  f.PanelMenu->OnPopup = [&](TObject*) {
    popupComponent = f.PanelMenu->PopupComponent;
    guitest::PostWork([] {
      KeyToMenu(Qt::Key_Down);
      KeyToMenu(Qt::Key_Down);
      KeyToMenu(Qt::Key_Return);
    });
  };
  guitest::Click(f.Panel->Handle(), TPoint{20, 20}, Qt::RightButton);
  Pump();
  EXPECT_EQ(popupComponent, f.Panel);
  EXPECT_EQ(f.Clicked, (std::vector<String>{u"Оформить заказ"}));
}

TEST_F(MenusTest, AWindowlessControlUnderThePointShowsItsOwnMenu) {
  MenuForm f(Application);
  f.ShapeMenu->OnPopup = [&](TObject*) {
    guitest::PostWork([] {
      KeyToMenu(Qt::Key_Down);
      KeyToMenu(Qt::Key_Return);
    });
  };
  guitest::Click(f.Panel->Handle(), TPoint{110, 90}, Qt::RightButton);
  Pump();
  EXPECT_EQ(f.Clicked, (std::vector<String>{u"Рамка"}));
  EXPECT_EQ(f.ShapeMenu->PopupComponent, f.Shape);
}

TEST_F(MenusTest, AHandledContextPopupShowsNoMenu) {
  MenuForm f(Application);
  TPoint seen{0, 0};
  f.Panel->OnContextPopup = [&](TObject*, TPoint p, bool& handled) {
    seen = p;
    handled = true;
  };
  bool popped = false;
  f.PanelMenu->OnPopup = [&](TObject*) { popped = true; };
  guitest::Click(f.Panel->Handle(), TPoint{20, 30}, Qt::RightButton);
  Pump();
  EXPECT_FALSE(popped);
  EXPECT_EQ(seen, (TPoint{20, 30})) << "OnContextPopup hears the client point";
  // From the keyboard the point is (-1, -1) and the menu opens at the control's top-left.
  f.Panel->OnContextPopup = nullptr;
  f.PanelMenu->OnPopup = [&](TObject*) {
    popped = true;
    guitest::PostWork([] { KeyToMenu(Qt::Key_Escape); });
  };
  SendMessage(f.Panel->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(f.Panel->Handle()), MAKELPARAM(-1, -1));
  EXPECT_TRUE(popped);
  EXPECT_TRUE(f.Clicked.empty());
}

}  // namespace
}  // namespace classlibtest

namespace classlibtest {
namespace {

TEST_F(MenusTest, APopupMenusItemsKeepTheirBreaks) {
  MenuForm f(Application);
  const TMenuBreak breaks[] = {TMenuBreak::mbNone, TMenuBreak::mbBreak, TMenuBreak::mbBarBreak};
  for (Integer i = 0; i < 3; ++i) f.PanelMenu->GetItems()->Items(i)->Break = breaks[i];
  f.PanelMenu->GetItems()->Items(1)->SetCaption(u"Рамка");  // not a line, so its type shows
  std::vector<UINT> types;
  pf::testing::SetTrackPopupMenuHook([&](HMENU m, HWND) -> UINT {
    for (int i = 0; i < GetMenuItemCount(m); ++i) {
      MENUITEMINFO mi;
      mi.fMask = MIIM_FTYPE;
      EXPECT_TRUE(GetMenuItemInfo(m, static_cast<UINT>(i), true, &mi));
      types.push_back(mi.fType);
    }
    return 0;
  });
  f.PanelMenu->PopupComponent = f.Panel;
  f.PanelMenu->Popup(20, 20);
  pf::testing::SetTrackPopupMenuHook(nullptr);
  EXPECT_EQ(types, (std::vector<UINT>{MFT_STRING, MFT_MENUBREAK, MFT_MENUBARBREAK}));
  EXPECT_FALSE(f.PanelMenu->IsRightToLeft());
  f.PanelMenu->BiDiMode = TBiDiMode::bdRightToLeftNoAlign;
  EXPECT_TRUE(f.PanelMenu->IsRightToLeft());
}

}  // namespace
}  // namespace classlibtest
