// Window positions and the pointer's tracking as the platform does them: SetWindowPos and
// ShowWindow with their messages and z-order, WM_MOUSELEAVE and WM_MOUSEHOVER on the manual clock,
// the capture's hold on the pointer, WM_GETDLGCODE, the keypad's keys, the desktop's settings and
// RedrawWindow's frame and erase flags.

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWidget>

#include "platform/user/Window_p.h"
#include "LayerFixture.h"

namespace usertest {
namespace {

using namespace pf;

class PositionTest : public LayerTest {
protected:
  void TearDown() override {
    LayerTest::TearDown();
    pf::testing::ResetSystemParameters();
  }

  // A child whose procedure records `kinds` and lets `answer` handle a message first.
  HWND Recorded(TRect r, std::vector<UINT> kinds,
                std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> answer = {}) {
    HWND h = CreateWindowEx(0, u"Plain", u"", WS_CHILD | WS_VISIBLE, r.Left, r.Top, r.Width(), r.Height(), Wnd,
                            [this, kinds, answer](HWND hw, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                              if (std::find(kinds.begin(), kinds.end(), m) != kinds.end()) Order.push_back({hw, m});
                              if (answer)
                                if (std::optional<LRESULT> a = answer(hw, m, w, l)) return *a;
                              return DefWindowProc(hw, m, w, l);
                            });
    Made.push_back(h);
    return h;
  }

  std::vector<UINT> Seen(HWND h) const {
    std::vector<UINT> v;
    for (auto& [hw, m] : Order)
      if (hw == h) v.push_back(m);
    return v;
  }

  // Moves the pointer over a window as the toolkit reports it.
  static void MoveTo(HWND h, TPoint client) { guitest::Mouse(h, QEvent::MouseMove, Qt::NoButton, client); }

  std::vector<std::pair<HWND, UINT>> Order;
};

const std::vector<UINT> kPositionMessages{WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_MOVE,
                                          WM_SIZE, WM_SHOWWINDOW};

TEST_F(PositionTest, SetWindowPosSendsChangingCalcSizeChangedThenMoveAndSizeAsTheHandlerLeftThem) {
  struct Case {
    const char* name;
    int x, y, cx, cy;
    UINT flags;
    std::function<void(WINDOWPOS*)> changing;
    std::vector<UINT> expected;
    TRect rect;  // in the parent's client coordinates afterwards
  };
  const Case cases[] = {
      {"move and size", 30, 40, 90, 50, SWP_NOZORDER, nullptr,
       {WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}, {30, 40, 120, 90}},
      {"a move alone asks for no client size", 5, 6, 0, 0, SWP_NOZORDER | SWP_NOSIZE, nullptr,
       {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE}, {5, 6, 95, 56}},
      {"the handler narrows the window", 5, 6, 200, 60, SWP_NOZORDER,
       [](WINDOWPOS* p) { p->cx = 50; },
       {WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_SIZE}, {5, 6, 55, 66}},
      {"the handler forbids the move", 70, 70, 0, 0, SWP_NOZORDER | SWP_NOSIZE,
       [](WINDOWPOS* p) { p->flags |= SWP_NOMOVE; },
       {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED}, {5, 6, 55, 66}},
      {"a frame change recomputes the client area in place", 0, 0, 0, 0,
       SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED, nullptr,
       {WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED}, {5, 6, 55, 66}},
  };
  std::function<void(WINDOWPOS*)> changing;
  HWND h = Recorded({10, 10, 90, 70}, kPositionMessages, [&changing](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
    if (m == WM_WINDOWPOSCHANGING && changing) changing(reinterpret_cast<WINDOWPOS*>(l));
    return std::nullopt;
  });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Order.clear();
    changing = c.changing;
    EXPECT_TRUE(SetWindowPos(h, nullptr, c.x, c.y, c.cx, c.cy, c.flags));
    EXPECT_EQ(Seen(h), c.expected);
    TRect r;
    GetWindowRect(h, &r);
    TPoint tl{r.Left, r.Top};
    ScreenToClient(Wnd, &tl);
    EXPECT_EQ((TRect{tl.X, tl.Y, tl.X + r.Width(), tl.Y + r.Height()}), c.rect);
  }
}

TEST_F(PositionTest, ASizableWindowKeepsWithinTheTrackSizesItsProcedureAnswers) {
  // Outer sizes: at least 300 × 200, at most 600 × 400.
  auto limits = [](HWND hw, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_GETMINMAXINFO) {
      auto* mm = reinterpret_cast<MINMAXINFO*>(l);
      mm->ptMinTrackSize = TPoint{300, 200};
      mm->ptMaxTrackSize = TPoint{600, 400};
      return 0;
    }
    return DefWindowProc(hw, m, w, l);
  };
  auto make = [&](DWORD style) {
    HWND h = CreateWindowEx(0, u"Plain", u"", style, 20, 20, 400, 300, nullptr, limits);
    Made.push_back(h);
    ShowWindow(h, SW_SHOW);
    guitest::PumpPending();
    return h;
  };
  const HWND sizable = make(WS_CAPTION | WS_SYSMENU | WS_THICKFRAME);
  const HWND fixed = make(WS_CAPTION | WS_SYSMENU);
  struct Case {
    const char* Name;
    HWND Window;
    int Cx, Cy;
    int W, H;  // the outer size it takes
  };
  const Case cases[] = {
      {"narrower and lower than the least size", sizable, 100, 50, 300, 200},
      {"within the sizes", sizable, 450, 350, 450, 350},
      {"beyond the greatest", sizable, 900, 700, 600, 400},
      {"one side only", sizable, 100, 350, 300, 350},
      {"a window without a sizing frame takes what it is given", fixed, 100, 50, 100, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_TRUE(SetWindowPos(c.Window, nullptr, 0, 0, c.Cx, c.Cy, SWP_NOMOVE | SWP_NOZORDER));
    TRect r;
    GetWindowRect(c.Window, &r);
    EXPECT_EQ(r.Width(), c.W);
    EXPECT_EQ(r.Height(), c.H);
  }
  // The desktop's sizing of the toolkit's window stops at the least size too, and the layer
  // follows: the client area cannot go below the least outer size less the frame.
  TRect client, outer;
  SetWindowPos(sizable, nullptr, 0, 0, 500, 350, SWP_NOMOVE | SWP_NOZORDER);
  QWidget* widget = layer::WidgetOf(sizable);
  ASSERT_NE(widget, nullptr);
  widget->resize(40, 30);
  guitest::PumpPending();
  GetWindowRect(sizable, &outer);
  GetClientRect(sizable, &client);
  EXPECT_EQ(outer.Width(), 300);
  EXPECT_EQ(outer.Height(), 200);
  EXPECT_EQ(widget->width(), client.Width());
  EXPECT_EQ(widget->height(), client.Height());
  widget->resize(2000, 2000);
  guitest::PumpPending();
  GetWindowRect(sizable, &outer);
  EXPECT_EQ(outer.Width(), 600);
  EXPECT_EQ(outer.Height(), 400);
}

TEST_F(PositionTest, MoveAndSizeComeFromTheDefaultHandlingOfWindowPosChanged) {
  HWND h = Recorded({10, 10, 90, 70}, kPositionMessages, [](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
    if (m == WM_WINDOWPOSCHANGED) {
      auto* p = reinterpret_cast<const WINDOWPOS*>(l);
      EXPECT_EQ(p->cx, 100);
      EXPECT_EQ(p->flags & SWP_NOCLIENTSIZE, 0u);
      EXPECT_NE(p->flags & SWP_NOCLIENTMOVE, 0u);
      return 0;  // handled without the default procedure: no WM_MOVE, no WM_SIZE
    }
    return std::nullopt;
  });
  Order.clear();
  MoveWindow(h, 10, 10, 100, 60);
  std::vector<UINT> expected{WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED};
  EXPECT_EQ(Seen(h), expected);
}

TEST_F(PositionTest, ShowWindowGoesThroughThePositionMessages) {
  HWND h = Recorded({10, 10, 90, 70}, kPositionMessages, [](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
    if (m == WM_WINDOWPOSCHANGING || m == WM_WINDOWPOSCHANGED) {
      EXPECT_NE(reinterpret_cast<const WINDOWPOS*>(l)->flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW), 0u);
    }
    return std::nullopt;
  });
  Order.clear();
  ShowWindow(h, SW_HIDE);
  ShowWindow(h, SW_SHOW);
  std::vector<UINT> once{WM_SHOWWINDOW, WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED};
  std::vector<UINT> expected = once;
  expected.insert(expected.end(), once.begin(), once.end());
  EXPECT_EQ(Seen(h), expected);
  EXPECT_TRUE(IsWindowVisible(h));
}

TEST_F(PositionTest, TheInsertAfterArgumentStacksSiblingsForThePointerAndTheToolkit) {
  HWND a = Recorded({10, 10, 60, 60}, {});
  HWND b = Recorded({10, 10, 60, 60}, {});
  HWND c = Recorded({10, 10, 60, 60}, {});
  TPoint p{20, 20};
  ClientToScreen(Wnd, &p);
  QWidget* parent = layer::WidgetOf(Wnd);
  auto stacking = [&] {
    std::vector<HWND> v;  // bottom to top
    for (QObject* o : parent->children())
      if (HWND h = layer::HandleOf(o); h == a || h == b || h == c) v.push_back(h);
    return v;
  };
  struct Case {
    const char* name;
    HWND h;
    HWND after;
    UINT flags;
    std::vector<HWND> order;
  };
  const Case cases[] = {
      {"made last is on top", nullptr, nullptr, 0, {a, b, c}},
      {"to the top", a, HWND_TOP, 0, {b, c, a}},
      {"to the bottom", a, HWND_BOTTOM, 0, {a, b, c}},
      {"directly below a sibling", a, c, 0, {b, a, c}},
      {"no z-order change asked", c, HWND_BOTTOM, SWP_NOZORDER, {b, a, c}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    if (k.h) SetWindowPos(k.h, k.after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | k.flags);
    EXPECT_EQ(stacking(), k.order);
    EXPECT_EQ(WindowFromPoint(p), k.order.back());
  }
}

TEST_F(PositionTest, OneMouseLeaveWhenThePointerLeavesAlsoUnderAnotherWindowsCapture) {
  HWND tracked = Recorded({10, 10, 60, 60}, {WM_MOUSELEAVE});
  HWND other = Recorded({70, 10, 120, 60}, {WM_MOUSELEAVE});
  struct Case {
    const char* name;
    bool captureByOther;
    std::function<void()> leave;
  };
  const Case cases[] = {
      {"onto a sibling", false, [&] { MoveTo(other, {5, 5}); }},
      {"out of the program's windows", false, [&] {
         QEvent e(QEvent::Leave);
         QCoreApplication::sendEvent(layer::WidgetOf(tracked), &e);
       }},
      {"while the sibling holds the capture", true, [&] { MoveTo(other, {5, 5}); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MoveTo(tracked, {5, 5});
    guitest::PumpPending();
    Order.clear();
    TRACKMOUSEEVENT tme;
    tme.dwFlags = TME_LEAVE;
    tme.hwndTrack = tracked;
    ASSERT_TRUE(TrackMouseEvent(&tme));
    if (c.captureByOther) SetCapture(other);
    MoveTo(tracked, {8, 8});  // still inside
    guitest::PumpPending();
    EXPECT_TRUE(Order.empty());
    c.leave();
    MoveTo(other, {6, 6});
    MoveTo(other, {7, 7});
    guitest::PumpPending();
    std::vector<std::pair<HWND, UINT>> once{{tracked, WM_MOUSELEAVE}};
    EXPECT_EQ(Order, once);
    ReleaseCapture();
  }
  // Asked for while the pointer is elsewhere, the leave comes at once; a cancelled one never.
  Order.clear();
  TRACKMOUSEEVENT tme;
  tme.dwFlags = TME_LEAVE;
  tme.hwndTrack = tracked;
  TrackMouseEvent(&tme);
  MoveTo(tracked, {5, 5});
  TrackMouseEvent(&tme);
  TRACKMOUSEEVENT query;
  query.dwFlags = TME_QUERY;
  TrackMouseEvent(&query);
  EXPECT_EQ(query.hwndTrack, tracked);
  EXPECT_EQ(query.dwFlags, TME_LEAVE);
  tme.dwFlags = TME_LEAVE | TME_CANCEL;
  TrackMouseEvent(&tme);
  MoveTo(other, {5, 5});
  guitest::PumpPending();
  std::vector<std::pair<HWND, UINT>> once{{tracked, WM_MOUSELEAVE}};
  EXPECT_EQ(Order, once);
}

// A window hears its first size and place right after WM_CREATE: the client area's size, and its
// top-left in the parent's client area (on the screen for a top-level window).
TEST_F(PositionTest, CreationEndsWithTheClientsSizeThenItsPlace) {
  struct Case {
    const char* name;
    DWORD style, exStyle;
    bool child;
    std::vector<std::pair<UINT, LPARAM>> expected;
  } cases[] = {
      {"a plain child", WS_CHILD, 0, true,
       {{WM_NCCREATE, 0}, {WM_NCCALCSIZE, 0}, {WM_CREATE, 0}, {WM_SIZE, MAKELPARAM(80, 60)}, {WM_MOVE, MAKELPARAM(10, 20)}}},
      {"a child with a client edge: the client is inside it", WS_CHILD | WS_VISIBLE, WS_EX_CLIENTEDGE, true,
       {{WM_NCCREATE, 0}, {WM_NCCALCSIZE, 0}, {WM_CREATE, 0}, {WM_SIZE, MAKELPARAM(76, 56)}, {WM_MOVE, MAKELPARAM(12, 22)}}},
      {"a top-level window, on the screen", WS_POPUP, 0, false,
       {{WM_NCCREATE, 0}, {WM_NCCALCSIZE, 0}, {WM_CREATE, 0}, {WM_SIZE, MAKELPARAM(80, 60)}, {WM_MOVE, MAKELPARAM(10, 20)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::pair<UINT, LPARAM>> seen;
    HWND h = CreateWindowEx(c.exStyle, u"Plain", u"", c.style, 10, 20, 80, 60, c.child ? Wnd : nullptr,
                            [&seen](HWND hw, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                              if (m == WM_SIZE || m == WM_MOVE) {
                                seen.push_back({m, l});
                              } else if (m == WM_NCCREATE || m == WM_NCCALCSIZE || m == WM_CREATE) {
                                seen.push_back({m, 0});
                              }
                              if (m == WM_SIZE) {
                                EXPECT_EQ(w, static_cast<WPARAM>(SIZE_RESTORED));
                              }
                              return DefWindowProc(hw, m, w, l);
                            });
    ASSERT_TRUE(h);
    EXPECT_EQ(seen, c.expected);
    DestroyWindow(h);
  }
}

// TME_NONCLIENT tracks the frame: the leave comes when the pointer goes into the client area or
// off the window, as WM_NCMOUSELEAVE; the hover as WM_NCMOUSEHOVER with the part it rests on.
TEST_F(PositionTest, TheFramesLeaveAndHoverWithNonClientTracking) {
  clock::UseManual(1000);
  SystemParametersInfo(SPI_SETMOUSEHOVERTIME, 400, nullptr, 0);
  std::vector<std::pair<UINT, WPARAM>> seen;
  HWND h = CreateWindowEx(WS_EX_CLIENTEDGE, u"Plain", u"", WS_CHILD | WS_VISIBLE, 10, 10, 100, 100, Wnd,
                          [&seen](HWND hw, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                            if (m == WM_NCMOUSELEAVE || m == WM_MOUSELEAVE || m == WM_NCMOUSEHOVER || m == WM_MOUSEHOVER)
                              seen.push_back({m, w});
                            return DefWindowProc(hw, m, w, l);
                          });
  Made.push_back(h);
  auto track = [h](DWORD flags) {
    TRACKMOUSEEVENT tme;
    tme.dwFlags = flags;
    tme.hwndTrack = h;
    return TrackMouseEvent(&tme);
  };
  struct Case {
    const char* name;
    TPoint from;  // client coordinates: (-1, 20) lies on the client edge
    DWORD flags;
    std::function<void()> then;
    std::vector<std::pair<UINT, WPARAM>> expected;
  } cases[] = {
      {"on the frame, into the client area: the frame's leave", {-1, 20}, TME_LEAVE | TME_NONCLIENT,
       [h] { MoveTo(h, {20, 20}); }, {{WM_NCMOUSELEAVE, 0}}},
      {"moving along the frame keeps it", {-1, 20}, TME_LEAVE | TME_NONCLIENT, [h] { MoveTo(h, {-2, 40}); }, {}},
      {"asked for while in the client area: at once", {20, 20}, TME_LEAVE | TME_NONCLIENT, [] {}, {{WM_NCMOUSELEAVE, 0}}},
      {"client tracking on the frame: the client's own leave at once", {-1, 20}, TME_LEAVE, [] {}, {{WM_MOUSELEAVE, 0}}},
      {"the frame's hover, with the part under the pointer", {-1, 20}, TME_HOVER | TME_NONCLIENT,
       [] { clock::Advance(400); }, {{WM_NCMOUSEHOVER, HTBORDER}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MoveTo(h, c.from);
    guitest::PumpPending();
    seen.clear();
    ASSERT_TRUE(track(c.flags));
    c.then();
    guitest::PumpPending();
    EXPECT_EQ(seen, c.expected);
    track(TME_CANCEL | TME_LEAVE | TME_HOVER | (c.flags & TME_NONCLIENT));
  }
  // The query names the frame.
  MoveTo(h, {-1, 20});
  track(TME_LEAVE | TME_NONCLIENT);
  TRACKMOUSEEVENT q;
  q.dwFlags = TME_QUERY;
  TrackMouseEvent(&q);
  EXPECT_EQ(q.dwFlags, TME_LEAVE | TME_NONCLIENT);
  EXPECT_EQ(q.hwndTrack, h);
}

TEST_F(PositionTest, MouseHoverComesAfterTheHoverTimeOnTheManualClockAndNotBefore) {
  clock::UseManual(1000);
  SystemParametersInfo(SPI_SETMOUSEHOVERTIME, 400, nullptr, 0);
  SystemParametersInfo(SPI_SETMOUSEHOVERWIDTH, 6, nullptr, 0);
  SystemParametersInfo(SPI_SETMOUSEHOVERHEIGHT, 6, nullptr, 0);
  LPARAM at = 0;
  HWND h = Recorded({10, 10, 110, 110}, {WM_MOUSEHOVER}, [&at](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
    if (m == WM_MOUSEHOVER) at = l;
    return std::nullopt;
  });
  MoveTo(h, {20, 20});
  guitest::PumpPending();
  TRACKMOUSEEVENT tme;
  tme.dwFlags = TME_HOVER;
  tme.hwndTrack = h;
  ASSERT_TRUE(TrackMouseEvent(&tme));
  struct Step {
    const char* name;
    std::function<void()> act;
    Int64 advance;
    size_t hovers;
  };
  const Step steps[] = {
      {"just before the hover time", [] {}, 399, 0},
      {"a move inside the hover rectangle keeps the wait", [&] { MoveTo(h, {22, 22}); }, 0, 0},
      {"the hover time is up", [] {}, 1, 1},
      {"posted once", [] {}, 1000, 1},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    s.act();
    clock::Advance(s.advance);
    guitest::PumpPending();
    EXPECT_EQ(Order.size(), s.hovers);
  }
  EXPECT_EQ(GET_X_LPARAM(at), 22);
  EXPECT_EQ(GET_Y_LPARAM(at), 22);
  // Leaving the hover rectangle starts the wait over from the new place.
  Order.clear();
  TrackMouseEvent(&tme);
  clock::Advance(300);
  MoveTo(h, {40, 40});
  clock::Advance(300);
  guitest::PumpPending();
  EXPECT_TRUE(Order.empty());
  clock::Advance(100);
  guitest::PumpPending();
  EXPECT_EQ(Order.size(), 1u);
}

TEST_F(PositionTest, TheCaptureHoldsThePointerWithNoButtonDown) {
  HWND h = Recorded({10, 10, 60, 60}, {});
  SetCapture(h);
  EXPECT_EQ(QWidget::mouseGrabber(), layer::WidgetOf(h));
  ReleaseCapture();
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  SetCapture(h);
  DestroyWindow(h);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST_F(PositionTest, DialogCodesSayWhichKeysAStandardControlKeeps) {
  struct Case {
    const char* name;
    StringView cls;
    DWORD style;
    LRESULT code;
  };
  const Case cases[] = {
      {"edit", u"EDIT", 0, DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS},
      {"memo", u"EDIT", ES_MULTILINE, DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS | DLGC_WANTALLKEYS},
      {"push button", u"BUTTON", BS_PUSHBUTTON, DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON},
      {"default button", u"BUTTON", BS_DEFPUSHBUTTON, DLGC_BUTTON | DLGC_DEFPUSHBUTTON},
      {"check box", u"BUTTON", BS_AUTOCHECKBOX, DLGC_BUTTON},
      {"label", u"STATIC", 0, DLGC_STATIC},
      {"self-drawn", u"Plain", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND h = CreateWindowEx(0, c.cls, u"", WS_CHILD | c.style, 0, 0, 50, 20, Wnd);
    Made.push_back(h);
    EXPECT_EQ(SendMessage(h, WM_GETDLGCODE, 0, 0), c.code);
  }
}

TEST_F(PositionTest, TheKeypadsKeysHaveTheirOwnVirtualKeysAndCharacters) {
  struct Case {
    const char* name;
    int key;
    QString text;
    Qt::KeyboardModifiers mods;
    WPARAM vk;
  };
  const Case cases[] = {
      {"keypad plus", Qt::Key_Plus, "+", Qt::KeypadModifier, 0x6B},
      {"main plus", Qt::Key_Plus, "+", Qt::ShiftModifier, 0xBB},
      {"keypad minus", Qt::Key_Minus, "-", Qt::KeypadModifier, 0x6D},
      {"keypad times", Qt::Key_Asterisk, "*", Qt::KeypadModifier, 0x6A},
      {"keypad divide", Qt::Key_Slash, "/", Qt::KeypadModifier, 0x6F},
      {"keypad decimal", Qt::Key_Period, ".", Qt::KeypadModifier, 0x6E},
      {"keypad five", Qt::Key_5, "5", Qt::KeypadModifier, 0x65},
      {"keypad enter", Qt::Key_Enter, "\r", Qt::KeypadModifier, VK_RETURN},
      {"keypad home without Num Lock", Qt::Key_Home, "", Qt::KeypadModifier, VK_HOME},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    guitest::Key(Wnd, c.key, c.text, c.mods);
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_KEYDOWN);
    EXPECT_EQ(m.wParam, c.vk);
    pf::testing::ResetQueue();
  }
  // A key message a program posts types the keypad's own character.
  const std::pair<int, Char> typed[] = {{VK_ADD, u'+'}, {VK_SUBTRACT, u'-'}, {VK_NUMPAD0 + 7, u'7'}, {VK_DECIMAL, u'.'}};
  for (auto [vk, ch] : typed) {
    MSG key{Wnd, WM_KEYDOWN, static_cast<WPARAM>(vk), 1, 0, {}, nullptr};
    ASSERT_TRUE(TranslateMessage(&key));
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, nullptr, WM_CHAR, WM_CHAR, PM_REMOVE));
    EXPECT_EQ(m.wParam, static_cast<WPARAM>(ch));
  }
}

TEST_F(PositionTest, SystemParametersComeFromTheDesktopAndTheProgramsChanges) {
  int desktop = QApplication::wheelScrollLines();
  struct Case {
    const char* name;
    std::function<void()> set;
    UINT expected;
  };
  const Case cases[] = {
      {"the desktop's lines", [] { QApplication::setWheelScrollLines(5); }, 5},
      {"the program's change, never fewer than one",
       [] { SystemParametersInfo(SPI_SETWHEELSCROLLLINES, 0, nullptr, 0); }, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.set();
    UINT lines = 0;
    EXPECT_TRUE(SystemParametersInfo(SPI_GETWHEELSCROLLLINES, 0, &lines, 0));
    EXPECT_EQ(lines, c.expected);
  }
  QApplication::setWheelScrollLines(desktop);
  UINT v = 0;
  EXPECT_TRUE(SystemParametersInfo(SPI_GETMOUSEHOVERTIME, 0, &v, 0));
  EXPECT_EQ(v, 400u);
  SystemParametersInfo(SPI_SETMOUSEHOVERTIME, 250, nullptr, 0);
  SystemParametersInfo(SPI_GETMOUSEHOVERTIME, 0, &v, 0);
  EXPECT_EQ(v, 250u);
  TRect work;
  EXPECT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0));
  QRect g = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(work, (TRect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()}));
  EXPECT_FALSE(SystemParametersInfo(0x1234, 0, &v, 0));
}

TEST_F(PositionTest, RedrawWindowErasesNowAndPaintsTheFrameAndClientLater) {
  HWND h = CreateWindowEx(WS_EX_CLIENTEDGE, u"Plain", u"", WS_CHILD | WS_VISIBLE, 10, 10, 80, 60, Wnd,
                          [this](HWND hw, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                            if (m == WM_NCPAINT || m == WM_ERASEBKGND || m == WM_PAINT) Order.push_back({hw, m});
                            return DefWindowProc(hw, m, w, l);
                          });
  Made.push_back(h);
  guitest::PumpPending();
  struct Case {
    const char* name;
    UINT flags;
    std::vector<UINT> now;
    std::vector<UINT> later;
  };
  const Case cases[] = {
      {"erase now: frame and background before it returns", RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ERASENOW,
       {WM_NCPAINT, WM_ERASEBKGND}, {WM_PAINT}},
      {"frame without erase: all at the paint", RDW_INVALIDATE | RDW_NOERASE | RDW_FRAME, {}, {WM_PAINT, WM_NCPAINT}},
      {"update now", RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW, {WM_PAINT, WM_NCPAINT}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Order.clear();
    RedrawWindow(h, nullptr, c.flags);
    EXPECT_EQ(Seen(h), c.now);
    Order.clear();
    guitest::PumpPending();
    EXPECT_EQ(Seen(h), c.later);
  }
}

}  // namespace
}  // namespace usertest
