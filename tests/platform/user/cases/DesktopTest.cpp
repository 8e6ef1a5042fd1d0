// What the desktop learns of a top-level window: its kind, the buttons on its title bar, the
// window it stays above, and where a click on a window disabled by a modal one goes.
#include <QApplication>
#include <QWidget>
#include <QWindow>

#include "platform/user/Window_p.h"
#include "platform/user/cases/LayerFixture.h"

namespace usertest {
namespace {

using namespace pf;

class DesktopTest : public LayerTest {
protected:
  QWidget* Widget(HWND h) { return layer::WidgetOf(h); }
  // The window the desktop keeps this one above (null for none).
  QWindow* TransientParent(HWND h) { return Widget(h)->windowHandle() ? Widget(h)->windowHandle()->transientParent() : nullptr; }
  QWindow* WindowOf(HWND h) { return Widget(h)->windowHandle(); }
  bool Shown(HWND h) { return Widget(h)->isVisible(); }
};

constexpr Qt::WindowFlags kButtons = Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                     Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;

TEST_F(DesktopTest, TheStyleGivesTheTitleBarItsButtonsAndTheOwnerMakesADialog) {
  // The platform's rule: the buttons come with the system menu (the close box always), minimise
  // and maximise with their boxes; a window of fixed size cannot be maximised.
  const DWORD caption = WS_CAPTION;
  struct Case {
    const char* name;
    DWORD style;
    bool owned;
    Qt::WindowType type;
    bool framed;
    Qt::WindowFlags buttons;
  } cases[] = {
      {"sizeable main window", caption | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME, false,
       Qt::Window, true, kButtons},
      {"single border: maximise box without a sizing frame", caption | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
       false, Qt::Window, true, Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint},
      {"owned dialog with a system menu", WS_POPUP | caption | WS_SYSMENU, true, Qt::Dialog, true,
       Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint},
      {"owned dialog without a system menu: no buttons at all", WS_POPUP | caption | WS_MINIMIZEBOX, true, Qt::Dialog,
       true, {}},
      {"owned sizeable window", caption | WS_SYSMENU | WS_MAXIMIZEBOX | WS_THICKFRAME, true, Qt::Dialog, true,
       Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint},
      {"popup without a caption", WS_POPUP | WS_SYSMENU, false, Qt::Window, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND h = MakeWindow(c.style, c.owned ? Wnd : nullptr);
    const Qt::WindowFlags f = Widget(h)->windowFlags();
    EXPECT_EQ(Widget(h)->windowType(), c.type);
    EXPECT_EQ((f & Qt::FramelessWindowHint) == 0, c.framed);
    EXPECT_EQ(f & kButtons, c.buttons);
    // The toolkit adds nothing of its own to what the style says.
    EXPECT_TRUE(f & Qt::CustomizeWindowHint);
    DestroyWindow(h);
  }
}

TEST_F(DesktopTest, OnlyASizeableWindowWithTheMaximiseButtonStatesNoGreatestSize) {
  // Some window managers maximise every sizeable window that states no greatest size, whatever
  // its buttons: a window without the button states the greatest size an X window can have, one
  // with the button states none, unless its procedure answers a greatest track size.
  auto limits = [](HWND hw, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_GETMINMAXINFO) reinterpret_cast<MINMAXINFO*>(l)->ptMaxTrackSize = TPoint{600, 400};
    return DefWindowProc(hw, m, w, l);
  };
  const DWORD sizeable = WS_CAPTION | WS_THICKFRAME;
  constexpr int kNone = QWIDGETSIZE_MAX, kX = 32767;
  struct Case {
    const char* name;
    DWORD style;
    bool limited;
    QSize greatest;  // the client size; empty: the track size less the frame
  } cases[] = {
      {"system menu, minimise and maximise boxes", sizeable | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, false,
       {kNone, kNone}},
      {"no maximise box", sizeable | WS_SYSMENU | WS_MINIMIZEBOX, false, {kX, kX}},
      {"a maximise box without the system menu shows no button", sizeable | WS_MAXIMIZEBOX, false, {kX, kX}},
      {"no caption", WS_POPUP | WS_THICKFRAME | WS_SYSMENU | WS_MAXIMIZEBOX, false, {kX, kX}},
      {"a greatest track size with the button", sizeable | WS_SYSMENU | WS_MAXIMIZEBOX, true, {}},
      {"a greatest track size without it", sizeable | WS_SYSMENU, true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND h = CreateWindowEx(0, u"Plain", u"", c.style, 20, 20, 400, 300, nullptr,
                            c.limited ? WNDPROC(limits) : WNDPROC{});
    Made.push_back(h);
    TRect outer, client;
    GetWindowRect(h, &outer);
    GetClientRect(h, &client);
    const QSize expected = c.greatest.isEmpty()
                               ? QSize(600 - (outer.Width() - client.Width()), 400 - (outer.Height() - client.Height()))
                               : c.greatest;
    EXPECT_EQ(Widget(h)->maximumSize(), expected);
    DestroyWindow(h);
  }
}

TEST_F(DesktopTest, AnOwnedWindowIsTransientForItsOwnersTopLevelWindowWhenItShows) {
  HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, Wnd);
  // Owned through a child window, as a message box over a control is: the desktop knows only
  // top-level windows.
  HWND dialog = MakeWindow(WS_POPUP | WS_CAPTION | WS_SYSMENU, child);
  HWND loner = MakeWindow(WS_POPUP | WS_CAPTION | WS_SYSMENU, nullptr);
  // A flag the layer changes between making and showing the window (staying on top here) makes
  // the toolkit build its window anew: the owner must still be there when it is mapped.
  SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ShowWindow(dialog, SW_SHOW);
  ShowWindow(loner, SW_SHOW);
  guitest::PumpPending();
  EXPECT_EQ(TransientParent(dialog), WindowOf(Wnd));
  EXPECT_EQ(Widget(dialog)->windowType(), Qt::Dialog);
  EXPECT_EQ(TransientParent(loner), nullptr);
  EXPECT_EQ(Widget(loner)->windowType(), Qt::Window);
}

TEST_F(DesktopTest, AStyleChangeOnAShownWindowChangesItsButtonsAndKeepsItShown) {
  HWND h = MakeWindow(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME, nullptr);
  ShowWindow(h, SW_SHOW);
  guitest::PumpPending();
  ASSERT_EQ(Widget(h)->windowFlags() & kButtons, kButtons);
  SetWindowLongPtr(h, GWL_STYLE, static_cast<LONG_PTR>(WS_VISIBLE | WS_POPUP | WS_CAPTION));
  EXPECT_EQ(Widget(h)->windowFlags() & kButtons, Qt::WindowFlags{});
  EXPECT_TRUE(Shown(h));
  SetWindowLongPtr(h, GWL_STYLE, static_cast<LONG_PTR>(WS_VISIBLE | WS_POPUP | WS_CAPTION | WS_SYSMENU));
  EXPECT_EQ(Widget(h)->windowFlags() & kButtons, Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  EXPECT_TRUE(Shown(h));
}

TEST_F(DesktopTest, AnotherOwnerTakesTheWindowAndALoopIsRefused) {
  HWND other = MakeWindow(WS_CAPTION | WS_SYSMENU, nullptr);
  HWND dialog = MakeWindow(WS_POPUP | WS_CAPTION | WS_SYSMENU, nullptr);
  ASSERT_EQ(Widget(dialog)->windowType(), Qt::Window);

  EXPECT_EQ(SetWindowLongPtr(dialog, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(Wnd)), 0);
  EXPECT_EQ(GetParent(dialog), Wnd);
  EXPECT_EQ(GetWindowLongPtr(dialog, GWLP_HWNDPARENT), reinterpret_cast<LONG_PTR>(Wnd));
  EXPECT_EQ(Widget(dialog)->windowType(), Qt::Dialog);
  ShowWindow(dialog, SW_SHOW);
  EXPECT_EQ(TransientParent(dialog), WindowOf(Wnd));

  SetWindowLongPtr(dialog, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(other));
  ShowWindow(dialog, SW_HIDE);
  ShowWindow(dialog, SW_SHOW);
  EXPECT_EQ(TransientParent(dialog), WindowOf(other));

  // The owner may not be owned by the window itself.
  SetWindowLongPtr(other, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(dialog));
  EXPECT_EQ(GetParent(other), nullptr);

  // Destroying the new owner takes the window with it, as owned windows go with their owner.
  DestroyWindow(other);
  EXPECT_FALSE(IsWindow(dialog));

  HWND free = MakeWindow(WS_POPUP | WS_CAPTION | WS_SYSMENU, Wnd);
  SetWindowLongPtr(free, GWLP_HWNDPARENT, 0);
  EXPECT_EQ(GetParent(free), nullptr);
  EXPECT_EQ(Widget(free)->windowType(), Qt::Window);
  ShowWindow(free, SW_SHOW);
  EXPECT_EQ(TransientParent(free), nullptr);
}

TEST_F(DesktopTest, ActivatingAWindowDisabledByAModalOneActivatesTheModalOne) {
  HWND dialog = MakeWindow(WS_POPUP | WS_CAPTION | WS_SYSMENU, Wnd);
  ShowWindow(dialog, SW_SHOW);
  EnableWindow(Wnd, false);
  // A box the dialog opened in turn: the click on the main window goes through the disabled
  // dialog to the box.
  HWND box = MakeWindow(WS_POPUP | WS_CAPTION | WS_SYSMENU, dialog);
  // A hidden window it owns takes no part.
  MakeWindow(WS_POPUP | WS_CAPTION | WS_SYSMENU, Wnd);
  struct Case {
    const char* name;
    bool boxUp;
    HWND expected;
  } cases[] = {{"the dialog", false, dialog}, {"the dialog's box", true, box}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.boxUp) {
      EnableWindow(dialog, false);
      ShowWindow(box, SW_SHOW);
    }
    SetActiveWindow(nullptr);
    // The desktop activates the main window, as it does when the user clicks it.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(Widget(Wnd), &activate);
    EXPECT_EQ(GetActiveWindow(), c.expected);
  }

  // Enabled again, the main window is activated itself.
  EnableWindow(Wnd, true);
  SetActiveWindow(nullptr);
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(Widget(Wnd), &activate);
  EXPECT_EQ(GetActiveWindow(), Wnd);
}

TEST_F(DesktopTest, ActivatingAWindowDisabledByAToolkitDialogActivatesTheDialog) {
  // The file dialog is the toolkit's own: no window of the layer, a dialog transient for the form
  // it is modal to.
  QWidget dialog(nullptr, Qt::Dialog);
  dialog.winId();
  dialog.windowHandle()->setTransientParent(WindowOf(Wnd));
  dialog.show();
  EnableWindow(Wnd, false);
  QCoreApplication::processEvents();
  // The desktop activates the main window (the user clicked it); the answer to that, the
  // dialog's activation, comes in the next round of the toolkit's events.
  Widget(Wnd)->activateWindow();
  QCoreApplication::processEvents();
  ASSERT_NE(QApplication::activeWindow(), nullptr);
  QCoreApplication::processEvents();
  EXPECT_EQ(QApplication::activeWindow(), &dialog);
}

TEST_F(DesktopTest, ADisabledWindowThatOwnsNothingShownIsActivatedItself) {
  EnableWindow(Wnd, false);
  SetActiveWindow(nullptr);
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(Widget(Wnd), &activate);
  EXPECT_EQ(GetActiveWindow(), Wnd);
}

}  // namespace
}  // namespace usertest
