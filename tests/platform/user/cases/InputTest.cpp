// The toolkit's input as window messages: mouse with key states and double clicks, the wheel, keys
// with virtual-key codes and WM_CHAR, the context menu after the button goes up, capture, focus,
// key state at message time, the close box; and a standard edit whose procedure is replaced.

#include <QKeyEvent>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include "platform/user/Window_p.h"
#include "LayerFixture.h"

namespace usertest {
namespace {

using namespace pf;

class InputTest : public LayerTest {};

TEST_F(InputTest, MouseEventsBecomeMessagesWithKeyStatesAndSignedPoints) {
  HWND plain = Wnd;
  HWND dbl = MakeWindow(WS_VISIBLE, nullptr, CS_DBLCLKS);
  struct Case {
    const char* name;
    HWND h;
    int type;
    Qt::MouseButton button;
    Qt::MouseButtons buttons;
    Qt::KeyboardModifiers mods;
    UINT msg;
    WPARAM w;
  };
  const Case cases[] = {
      {"left down with shift", plain, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier,
       WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT},
      {"left up drops its own button", plain, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton,
       Qt::ControlModifier, WM_LBUTTONUP, MK_CONTROL},
      {"right down while left held", plain, QEvent::MouseButtonPress, Qt::RightButton,
       Qt::LeftButton | Qt::RightButton, Qt::NoModifier, WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON},
      {"middle down", plain, QEvent::MouseButtonPress, Qt::MiddleButton, Qt::MiddleButton, Qt::NoModifier,
       WM_MBUTTONDOWN, MK_MBUTTON},
      {"double click without CS_DBLCLKS is a second down", plain, QEvent::MouseButtonDblClick, Qt::LeftButton,
       Qt::LeftButton, Qt::NoModifier, WM_LBUTTONDOWN, MK_LBUTTON},
      {"double click with CS_DBLCLKS", dbl, QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton,
       Qt::NoModifier, WM_LBUTTONDBLCLK, MK_LBUTTON},
      {"right double click with CS_DBLCLKS", dbl, QEvent::MouseButtonDblClick, Qt::RightButton, Qt::RightButton,
       Qt::NoModifier, WM_RBUTTONDBLCLK, MK_RBUTTON},
      {"move with nothing held", plain, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, Qt::NoModifier, WM_MOUSEMOVE, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    guitest::Mouse(c.h, c.type, c.button, {17, 23}, c.buttons, c.mods);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, c.h);
    EXPECT_EQ(msg.message, c.msg);
    EXPECT_EQ(msg.wParam, c.w);
    EXPECT_EQ(GET_X_LPARAM(msg.lParam), 17);
    EXPECT_EQ(GET_Y_LPARAM(msg.lParam), 23);
  }
}

TEST_F(InputTest, WaitingMovesMergeIntoTheLatestUnlessButtonsOrWindowChange) {
  HWND other = MakeWindow(WS_CHILD | WS_VISIBLE, Wnd, 0, u"Recorder", {100, 100, 150, 150});
  guitest::Mouse(Wnd, QEvent::MouseMove, Qt::NoButton, {1, 1});
  guitest::Mouse(Wnd, QEvent::MouseMove, Qt::NoButton, {2, 2});
  guitest::Mouse(Wnd, QEvent::MouseMove, Qt::NoButton, {3, 3}, Qt::LeftButton);  // another key state
  guitest::Mouse(other, QEvent::MouseMove, Qt::NoButton, {4, 4}, Qt::LeftButton);  // another window
  guitest::Mouse(other, QEvent::MouseMove, Qt::NoButton, {5, 5}, Qt::LeftButton);
  std::vector<std::tuple<HWND, int>> seen;
  MSG msg;
  while (PeekMessage(&msg, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE)) seen.push_back({msg.hwnd, GET_X_LPARAM(msg.lParam)});
  std::vector<std::tuple<HWND, int>> expected{{Wnd, 2}, {Wnd, 3}, {other, 5}};
  EXPECT_EQ(seen, expected);
}

TEST_F(InputTest, WheelCarriesNotchesOf120AndTheScreenPoint) {
  guitest::Wheel(Wnd, {5, 6}, -240, Qt::ControlModifier);
  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_MOUSEWHEEL);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(msg.wParam), -240);
  EXPECT_EQ(LOWORD(msg.wParam), MK_CONTROL);
  TPoint p{5, 6};
  ClientToScreen(Wnd, &p);
  EXPECT_EQ(GET_X_LPARAM(msg.lParam), p.X);
  EXPECT_EQ(GET_Y_LPARAM(msg.lParam), p.Y);
}

TEST_F(InputTest, ContextMenuComesAfterTheRightButtonGoesUpAndClimbsToTheParent) {
  HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, Wnd, 0, u"Recorder", {20, 30, 120, 90});
  guitest::Click(child, {4, 5}, Qt::RightButton);
  guitest::PumpPending();
  std::vector<std::pair<HWND, UINT>> seen;
  for (const Seen& s : Log)
    if (s.msg == WM_RBUTTONDOWN || s.msg == WM_RBUTTONUP || s.msg == WM_CONTEXTMENU) seen.push_back({s.hwnd, s.msg});
  std::vector<std::pair<HWND, UINT>> expected{
      {child, WM_RBUTTONDOWN}, {child, WM_RBUTTONUP}, {child, WM_CONTEXTMENU}, {Wnd, WM_CONTEXTMENU}};
  ASSERT_EQ(seen, expected);
  auto it = std::find_if(Log.rbegin(), Log.rend(), [](const Seen& s) { return s.msg == WM_CONTEXTMENU; });
  const Seen& menu = *it;
  EXPECT_EQ(reinterpret_cast<HWND>(menu.w), child) << "wParam names the window clicked";
  TPoint p{4, 5};
  ClientToScreen(child, &p);
  EXPECT_EQ(GET_X_LPARAM(menu.l), p.X);
  EXPECT_EQ(GET_Y_LPARAM(menu.l), p.Y);
}

TEST_F(InputTest, KeyboardContextMenuComesFromShiftF10GoingDownAndTheMenuKeyComingUp) {
  struct Case {
    const char* name;
    int key;
    Qt::KeyboardModifiers mods;
    bool press;
    int menus;
  };
  const Case cases[] = {
      {"Shift+F10 down", Qt::Key_F10, Qt::ShiftModifier, true, 1},
      {"F10 alone opens no menu", Qt::Key_F10, Qt::NoModifier, true, 0},
      {"menu key down is not yet the menu", Qt::Key_Menu, Qt::NoModifier, true, 0},
      {"menu key up", Qt::Key_Menu, Qt::NoModifier, false, 1},
      {"Shift+F10 up opens no second menu", Qt::Key_F10, Qt::ShiftModifier, false, 0},
  };
  HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, Wnd, 0, u"Recorder", {20, 30, 120, 90});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Log.clear();
    if (c.mods & Qt::ShiftModifier) guitest::Key(child, Qt::Key_Shift, "", Qt::ShiftModifier);
    guitest::Key(child, c.key, "", c.mods, c.press);
    guitest::PumpPending();
    std::vector<std::pair<HWND, LPARAM>> menus;
    for (const Seen& s : Log)
      if (s.msg == WM_CONTEXTMENU) menus.push_back({s.hwnd, s.l});
    if (c.mods & Qt::ShiftModifier) guitest::Key(child, Qt::Key_Shift, "", Qt::NoModifier, false);
    guitest::PumpPending();
    if (c.menus == 0) {
      EXPECT_TRUE(menus.empty());
      continue;
    }
    // The focused child asks first, then the request climbs to the parent, with (-1, -1).
    std::vector<std::pair<HWND, LPARAM>> expected{{child, MAKELPARAM(-1, -1)}, {Wnd, MAKELPARAM(-1, -1)}};
    EXPECT_EQ(menus, expected);
  }
}

TEST_F(InputTest, KeysBecomeVirtualKeysAndTranslateMessageMakesTheCharacters) {
  struct Case {
    const char* name;
    int key;
    QString text;
    Qt::KeyboardModifiers mods;
    UINT down;
    WPARAM vk;
    std::u16string chars;
  };
  const Case cases[] = {
      {"letter", Qt::Key_A, "a", Qt::NoModifier, WM_KEYDOWN, 'A', u"a"},
      {"shifted letter", Qt::Key_A, "A", Qt::ShiftModifier, WM_KEYDOWN, 'A', u"A"},
      {"Cyrillic letter keeps its text", 0x0444, QString(QChar(0x0444)), Qt::NoModifier, WM_KEYDOWN, 0, u"\u0444"},
      {"enter", Qt::Key_Return, "\r", Qt::NoModifier, WM_KEYDOWN, VK_RETURN, u"\r"},
      {"escape", Qt::Key_Escape, QString(QChar(0x1B)), Qt::NoModifier, WM_KEYDOWN, VK_ESCAPE, u"\x1b"},
      {"arrow has no character", Qt::Key_Left, "", Qt::NoModifier, WM_KEYDOWN, VK_LEFT, u""},
      {"F2", Qt::Key_F2, "", Qt::NoModifier, WM_KEYDOWN, VK_F2, u""},
      {"alt makes a system key", Qt::Key_X, "x", Qt::AltModifier, WM_SYSKEYDOWN, 'X', u"x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pf::testing::ResetQueue();
    guitest::Key(Wnd, c.key, c.text, c.mods);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, c.down);
    if (c.vk) {
      EXPECT_EQ(msg.wParam, c.vk);
    }
    EXPECT_EQ((msg.lParam & KF_ALTDOWN_LPARAM) != 0, (c.mods & Qt::AltModifier) != 0);
    TranslateMessage(&msg);
    std::u16string chars;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
      EXPECT_EQ(msg.message, c.down == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR);
      chars += static_cast<char16_t>(msg.wParam);
    }
    EXPECT_EQ(chars, c.chars);
  }
}

TEST_F(InputTest, KeyStateFollowsTheMessageBeingHandledAsyncStateFollowsTheKeyboard) {
  int16_t shiftInHandler = 0;
  WNDPROC old = SetWindowProc(Wnd, nullptr);
  SetWindowProc(Wnd, [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_KEYDOWN && w == 'B') shiftInHandler = GetKeyState(VK_SHIFT);
    return CallWindowProc(old, h, m, w, l);
  });
  guitest::Key(Wnd, Qt::Key_Shift, "", Qt::ShiftModifier);
  guitest::Key(Wnd, Qt::Key_B, "B", Qt::ShiftModifier);
  guitest::Key(Wnd, Qt::Key_Shift, "", Qt::NoModifier, false);
  // Queued but not handled: the keyboard has let go, the message-time state has not seen the key.
  EXPECT_EQ(GetAsyncKeyState(VK_SHIFT), 0);
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);
  guitest::PumpPending();
  EXPECT_LT(shiftInHandler, 0) << "Shift was down when B was pressed";
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);
  pf::testing::SetKeyDown(VK_CONTROL, true);
  EXPECT_LT(GetKeyState(VK_CONTROL), 0);
  EXPECT_LT(GetAsyncKeyState(VK_CONTROL), 0);
  pf::testing::ResetKeyState();
}

TEST_F(InputTest, CaptureSendsTheMouseToTheCapturingWindowWithPointsOutsideIt) {
  HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, Wnd, 0, u"Recorder", {50, 40, 150, 100});
  EXPECT_EQ(SetCapture(child), nullptr);
  guitest::Mouse(Wnd, QEvent::MouseMove, Qt::NoButton, {10, 5});
  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, child);
  EXPECT_EQ(GET_X_LPARAM(msg.lParam), -40);
  EXPECT_EQ(GET_Y_LPARAM(msg.lParam), -35);
  SetCapture(Wnd);
  guitest::PumpPending();
  auto changed = std::find_if(Log.begin(), Log.end(), [](const Seen& s) { return s.msg == WM_CAPTURECHANGED; });
  ASSERT_NE(changed, Log.end());
  EXPECT_EQ(changed->hwnd, child);
  EXPECT_EQ(reinterpret_cast<HWND>(changed->l), Wnd);
  ReleaseCapture();
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(InputTest, FocusMovesWithKillAndSetFocusNamingEachOther) {
  HWND a = MakeWindow(WS_CHILD | WS_VISIBLE, Wnd, 0, u"Recorder", {0, 0, 50, 50});
  HWND b = MakeWindow(WS_CHILD | WS_VISIBLE, Wnd, 0, u"Recorder", {60, 0, 110, 50});
  SetFocus(a);
  Log.clear();
  EXPECT_EQ(SetFocus(b), a);
  std::vector<std::tuple<HWND, UINT, HWND>> seen;
  for (const Seen& s : Log) seen.push_back({s.hwnd, s.msg, reinterpret_cast<HWND>(s.w)});
  EXPECT_EQ(seen, (std::vector<std::tuple<HWND, UINT, HWND>>{{a, WM_KILLFOCUS, b}, {b, WM_SETFOCUS, a}}));
  EXPECT_EQ(GetFocus(), b);
  DestroyWindow(b);
  EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(InputTest, CloseBoxAsksTheWindowWhichDefaultsToDestroyingIt) {
  HWND keeper = MakeWindow(WS_VISIBLE, nullptr);
  SetWindowProc(keeper, [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_CLOSE) return 0;  // refuses to close
    return DefWindowProc(h, m, w, l);
  });
  guitest::CloseBox(keeper);
  guitest::CloseBox(Wnd);
  guitest::PumpPending();
  EXPECT_TRUE(IsWindow(keeper));
  EXPECT_FALSE(IsWindow(Wnd));
  std::vector<UINT> expected{WM_CLOSE, WM_DESTROY, WM_NCDESTROY};
  EXPECT_EQ(Messages(Wnd), expected);
}

// An edit whose procedure is replaced, as in-place editing does: the hook sees Enter and Escape
// before the widget, and keys it passes on still edit the text natively.
TEST_F(InputTest, SubclassedEditSeesEnterAndEscapeFirstAndStillEditsNatively) {
  HWND edit = CreateWindowEx(0, u"EDIT", u"ab", WS_CHILD | WS_VISIBLE, 5, 5, 100, 20, Wnd);
  Made.push_back(edit);
  auto* line = qobject_cast<QLineEdit*>(layer::WidgetOf(edit));
  ASSERT_NE(line, nullptr);
  line->setCursorPosition(2);
  std::vector<WPARAM> hooked;
  WNDPROC old = GetWindowProc(edit);
  bool returnReachedWidget = false;
  QObject::connect(line, &QLineEdit::returnPressed, [&] { returnReachedWidget = true; });
  SetWindowProc(edit, [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_KEYDOWN && (w == VK_RETURN || w == VK_ESCAPE)) {
      hooked.push_back(w);
      return 0;  // swallowed
    }
    if (m == WM_CHAR && w == u'\t') w = u' ';  // a Tab typed becomes a space
    return CallWindowProc(old, h, m, w, l);
  });
  guitest::Type(edit, Qt::Key_C, "c");
  guitest::Type(edit, Qt::Key_Return, "\r");
  guitest::Type(edit, Qt::Key_Backspace, QString(QChar(8)));
  guitest::Type(edit, Qt::Key_D, "d");
  guitest::Type(edit, Qt::Key_Escape, QString(QChar(0x1B)));
  guitest::PumpPending();
  PostMessage(edit, WM_CHAR, u'\t', 0);
  PostMessage(edit, WM_KEYDOWN, VK_HOME, 0);
  PostMessage(edit, WM_CHAR, u'x', 0);
  guitest::PumpPending();
  EXPECT_EQ(hooked, (std::vector<WPARAM>{VK_RETURN, VK_ESCAPE}));
  EXPECT_FALSE(returnReachedWidget);
  EXPECT_EQ(GetWindowText(edit), u"xabd ");
}

TEST_F(InputTest, SwitchingProgramsTellsTopLevelWindowsOnly) {
  HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, Wnd);
  HWND owned = MakeWindow(0, Wnd);
  pf::testing::SetApplicationActive(false);
  pf::testing::SetApplicationActive(false);  // no change, no message
  pf::testing::SetApplicationActive(true);
  guitest::PumpPending();
  std::vector<std::tuple<HWND, WPARAM>> seen;
  for (const Seen& s : Log)
    if (s.msg == WM_ACTIVATEAPP) seen.push_back({s.hwnd, s.w});
  std::vector<std::tuple<HWND, WPARAM>> expected{{Wnd, 0}, {owned, 0}, {Wnd, 1}, {owned, 1}};
  EXPECT_EQ(seen, expected) << "the child hears nothing";
  (void)child;
}

// A control that places a Qt widget inside its custom window still hears its keys as the window's
// messages, first, and the widget still types them.
TEST_F(InputTest, KeysOfAWidgetInsideACustomWindowAreTheWindowsMessages) {
  HWND host = MakeWindow(WS_CHILD | WS_VISIBLE, Wnd);
  auto* inner = new QLineEdit(layer::WidgetOf(host));
  inner->setGeometry(0, 0, 100, 20);
  inner->show();
  Log.clear();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, "b");
  QCoreApplication::sendEvent(inner, &press);
  EXPECT_TRUE(inner->text().isEmpty()) << "nothing typed before the message is handled";
  inner->setFocus();
  guitest::PumpPending();
  std::vector<UINT> keys;
  for (const Seen& s : Log)
    if (s.hwnd == host && (s.msg == WM_KEYDOWN || s.msg == WM_CHAR) && (s.w == 'B' || s.w == u'b')) keys.push_back(s.msg);
  EXPECT_EQ(keys, (std::vector<UINT>{WM_KEYDOWN, WM_CHAR}));
  EXPECT_EQ(inner->text(), QStringLiteral("b"));
}

TEST_F(InputTest, ClicksOnAWidgetInsideACustomWindowAreTheWindowsMessages) {
  HWND host = MakeWindow(WS_CHILD | WS_VISIBLE, Wnd);
  auto* inner = new QPushButton(QStringLiteral("OK"), layer::WidgetOf(host));
  inner->setGeometry(20, 30, 60, 20);
  inner->show();
  int clicked = 0;
  QObject::connect(inner, &QPushButton::clicked, [&] { ++clicked; });
  Log.clear();
  for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent e(type, QPointF(5, 6), QPointF(5, 6), inner->mapToGlobal(QPointF(5, 6)), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(inner, &e);
  }
  EXPECT_EQ(clicked, 0) << "not before the messages are handled";
  guitest::PumpPending();
  std::vector<std::tuple<UINT, int, int>> seen;
  for (const Seen& s : Log)
    if (s.hwnd == host && (s.msg == WM_LBUTTONDOWN || s.msg == WM_LBUTTONUP))
      seen.push_back({s.msg, GET_X_LPARAM(s.l), GET_Y_LPARAM(s.l)});
  std::vector<std::tuple<UINT, int, int>> expected{{WM_LBUTTONDOWN, 25, 36}, {WM_LBUTTONUP, 25, 36}};
  EXPECT_EQ(seen, expected) << "in the window's client coordinates";
  EXPECT_EQ(clicked, 1);
}

}  // namespace
}  // namespace usertest
