// The pointer as the platform hands it to windows: the hit test, activation and cursor question
// before every mouse message, focus moved only by the program, window classes with their cursor
// and class style, and cursors loaded from the program's resources.

#include <QCursor>
#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QtTest/qtestspontaneevent.h>

#include <cstring>

#include "platform/rtl/Resources.h"
#include "platform/user/Window_p.h"
#include "LayerFixture.h"

namespace usertest {
namespace {

using namespace pf;

using Trace = std::vector<std::pair<HWND, UINT>>;

class PointerTest : public LayerTest {
protected:
  void TearDown() override {
    LayerTest::TearDown();
    for (const String& c : Classes) UnregisterClass(c);
    SetCursor(LoadCursor(IDC_ARROW));
  }

  // Subclasses a window with a procedure that records the messages of `kinds` and hands the rest
  // of the work to `answer` (nothing answered: the previous procedure).
  void Record(HWND h, std::vector<UINT> kinds,
              std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> answer = {}) {
    auto old = std::make_shared<WNDPROC>();
    *old = SetWindowProc(h, [this, old, kinds, answer](HWND hw, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (std::find(kinds.begin(), kinds.end(), m) != kinds.end()) Order.push_back({hw, m});
      if (answer)
        if (std::optional<LRESULT> r = answer(hw, m, w, l)) return *r;
      return CallWindowProc(*old, hw, m, w, l);
    });
  }

  String Register(const String& name, UINT style, HCURSOR cursor) {
    WNDCLASS wc;
    wc.style = style;
    wc.hCursor = cursor;
    wc.lpszClassName = name;
    EXPECT_NE(RegisterClass(wc), 0);
    Classes.push_back(name);
    return name;
  }

  HWND Child(StringView cls, TRect r = {20, 20, 120, 80}, HWND parent = nullptr) {
    HWND h = CreateWindowEx(0, cls, u"", WS_CHILD | WS_VISIBLE, r.Left, r.Top, r.Width(), r.Height(),
                            parent ? parent : Wnd);
    Made.push_back(h);
    return h;
  }

  Trace Order;
  std::vector<String> Classes;
};

const std::vector<UINT> kPointerMessages{WM_NCHITTEST, WM_MOUSEACTIVATE, WM_ACTIVATE,  WM_SETCURSOR,
                                         WM_LBUTTONDOWN, WM_KILLFOCUS,   WM_SETFOCUS, WM_MOUSEMOVE};

TEST_F(PointerTest, AClickOnASelfDrawnChildAsksHitTestActivationAndCursorBeforeTheButtonThenMovesFocus) {
  HWND child = Child(Register(u"Canvas", CS_DBLCLKS, LoadCursor(IDC_ARROW)));
  HWND other = Child(u"Recorder", {150, 20, 190, 60});
  HWND elsewhere = MakeWindow(WS_VISIBLE, nullptr);
  guitest::PumpPending();
  SetActiveWindow(elsewhere);
  SetFocus(other);
  EXPECT_EQ(layer::WidgetOf(child)->focusPolicy(), Qt::NoFocus) << "the toolkit never focuses it on a click";
  // The child takes the focus in its own handling of the press, as the list view does.
  Record(child, kPointerMessages, [](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_LBUTTONDOWN) SetFocus(h);
    return std::nullopt;
  });
  Record(Wnd, kPointerMessages);
  Record(other, kPointerMessages);
  Record(elsewhere, kPointerMessages);

  guitest::Mouse(child, QEvent::MouseButtonPress, Qt::LeftButton, {5, 6}, Qt::LeftButton);
  guitest::PumpPending();

  Trace expected{{child, WM_NCHITTEST},   {child, WM_MOUSEACTIVATE}, {Wnd, WM_MOUSEACTIVATE},
                 {elsewhere, WM_ACTIVATE}, {Wnd, WM_ACTIVATE},        {child, WM_SETCURSOR},
                 {Wnd, WM_SETCURSOR},      {child, WM_LBUTTONDOWN},   {other, WM_KILLFOCUS},
                 {child, WM_SETFOCUS}};
  EXPECT_EQ(Order, expected);
  EXPECT_EQ(GetActiveWindow(), Wnd);
  EXPECT_EQ(GetFocus(), child);
}

TEST_F(PointerTest, MouseActivateAnswersDecideActivationAndWhetherTheButtonArrives) {
  struct Case {
    const char* name;
    LRESULT answer;
    bool activates;
    bool buttonArrives;
  };
  const Case cases[] = {
      {"activate", MA_ACTIVATE, true, true},
      {"activate and eat", MA_ACTIVATEANDEAT, true, false},
      {"no activate", MA_NOACTIVATE, false, true},
      {"no activate and eat", MA_NOACTIVATEANDEAT, false, false},
  };
  HWND child = Child(u"Recorder");
  HWND elsewhere = MakeWindow(WS_VISIBLE, nullptr);
  guitest::PumpPending();
  LRESULT answer = 0;
  // The form answers for its child: the question climbs from the child to its parent.
  Record(Wnd, {WM_LBUTTONDOWN}, [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_MOUSEACTIVATE) return answer;
    return std::nullopt;
  });
  Record(child, {WM_LBUTTONDOWN});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetActiveWindow(elsewhere);
    Order.clear();
    answer = c.answer;
    guitest::Mouse(child, QEvent::MouseButtonPress, Qt::LeftButton, {5, 5}, Qt::LeftButton);
    guitest::PumpPending();
    EXPECT_EQ(GetActiveWindow(), c.activates ? Wnd : elsewhere);
    EXPECT_EQ(Order.size(), c.buttonArrives ? 1u : 0u);
  }
}

TEST_F(PointerTest, TheCursorFollowsTheAnswersToSetCursorParentFirst) {
  String handCls = Register(u"HandClass", 0, LoadCursor(IDC_HAND));
  String bareCls = Register(u"BareClass", 0, nullptr);
  struct Case {
    const char* name;
    StringView cls;
    HCURSOR parentSets;  // the form answers with this cursor (none: leaves it to the child)
    HCURSOR childSets;   // the child answers itself with this cursor
    HCURSOR expected;
  };
  const HCURSOR kCross = LoadCursor(IDC_CROSS);
  const HCURSOR kWait = LoadCursor(IDC_WAIT);
  const HCURSOR kHand = LoadCursor(IDC_HAND);
  const HCURSOR kIBeam = LoadCursor(IDC_IBEAM);
  const Case cases[] = {
      {"the child's class cursor", handCls, nullptr, nullptr, kHand},
      {"the parent answers first", handCls, kCross, nullptr, kCross},
      {"the child answers itself", handCls, nullptr, kWait, kWait},
      {"a class without a cursor leaves the shape as it was", bareCls, nullptr, nullptr, kIBeam},
      {"an edit's class cursor", u"EDIT", nullptr, nullptr, kIBeam},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND child = Child(c.cls);
    HCURSOR parentSets = c.parentSets, childSets = c.childSets;
    SetWindowProc(Wnd, [parentSets](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m == WM_SETCURSOR && parentSets) {
        SetCursor(parentSets);
        return 1;
      }
      return DefWindowProc(h, m, w, l);
    });
    Record(child, {}, [childSets](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
      if (m == WM_SETCURSOR && childSets) {
        SetCursor(childSets);
        return 1;
      }
      return std::nullopt;
    });
    SetCursor(kIBeam);
    guitest::Mouse(child, QEvent::MouseMove, Qt::NoButton, {10, 10});
    EXPECT_EQ(GetCursor(), c.expected);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), layer::CursorShapeOf(c.expected));
    DestroyWindow(child);
    SetWindowProc(Wnd, nullptr);
  }
}

TEST_F(PointerTest, HitTestDecidesClientOrFrameAndTheCaptureSkipsTheQuestions) {
  HWND child = CreateWindowEx(WS_EX_CLIENTEDGE, u"Recorder", u"", WS_CHILD | WS_VISIBLE, 20, 20, 100, 60, Wnd);
  Made.push_back(child);
  HWND glass = Child(u"Recorder", {130, 20, 170, 60});
  Record(glass, {}, [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_NCHITTEST) return HTTRANSPARENT;
    return std::nullopt;
  });
  struct Case {
    const char* name;
    HWND under;
    TPoint client;
    bool capture;
    HWND target;
    UINT msg;
    bool asked;  // WM_SETCURSOR was sent
  };
  const Case cases[] = {
      {"inside the client area", child, {5, 5}, false, child, WM_MOUSEMOVE, true},
      {"on the client edge", child, {-1, 5}, false, child, WM_NCMOUSEMOVE, true},
      {"a transparent window hands the point to its parent", glass, {5, 5}, false, Wnd, WM_MOUSEMOVE, true},
      {"with the capture: no hit test, no cursor question", child, {-1, 5}, true, child, WM_MOUSEMOVE, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.capture) SetCapture(child);
    Order.clear();
    Record(c.target, {WM_SETCURSOR});
    guitest::Mouse(c.under, QEvent::MouseMove, Qt::NoButton, c.client);
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, c.target);
    EXPECT_EQ(m.message, c.msg);
    EXPECT_EQ(!Order.empty(), c.asked);
    ReleaseCapture();
    SetWindowProc(c.target, nullptr);
  }
}

TEST_F(PointerTest, ClassesAreRegisteredOnceAndGiveTheirWindowsStyleProcedureAndBackground) {
  int calls = 0;
  WNDCLASS wc;
  wc.style = CS_DBLCLKS;
  wc.lpszClassName = u"Counted";
  wc.lpfnWndProc = [&calls](HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_LBUTTONDBLCLK) ++calls;
    return DefWindowProc(h, m, w, l);
  };
  ASSERT_NE(RegisterClass(wc), 0);
  Classes.push_back(u"Counted");
  EXPECT_EQ(RegisterClass(wc), 0) << "a name is registered once";
  wc.lpszClassName = u"COUNTED";
  EXPECT_EQ(RegisterClass(wc), 0) << "names compare without case";
  WNDCLASS info;
  ASSERT_TRUE(GetClassInfo(u"counted", &info));
  EXPECT_EQ(info.style, CS_DBLCLKS);
  EXPECT_FALSE(GetClassInfo(u"Nobody", &info));

  HWND h = Child(u"Counted");
  EXPECT_EQ(GetClassName(h), u"Counted");
  guitest::Mouse(h, QEvent::MouseButtonDblClick, Qt::LeftButton, {3, 3}, Qt::LeftButton);
  guitest::PumpPending();
  EXPECT_EQ(calls, 1) << "the class procedure gets the double click its class style asks for";
  EXPECT_FALSE(UnregisterClass(u"Counted")) << "not while a window of it lives";
  DestroyWindow(h);
  EXPECT_FALSE(UnregisterClass(u"EDIT")) << "the layer's own classes stay";
  EXPECT_TRUE(UnregisterClass(u"Counted"));
  Classes.clear();

  // The dialog class erases with the button face.
  HWND dlg = CreateWindowEx(0, u"#32770", u"", WS_CHILD | WS_VISIBLE, 0, 0, 30, 30, Wnd);
  Made.push_back(dlg);
  HDC dc = GetDC(dlg);
  EXPECT_EQ(SendMessage(dlg, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
  EXPECT_EQ(GetPixel(dc, 5, 5), GetSysColor(COLOR_BTNFACE));
  ReleaseDC(dlg, dc);
}

TEST_F(PointerTest, AStandardControlTakesTheFocusInItsDefaultHandlingOfThePress) {
  HWND edit = CreateWindowEx(0, u"EDIT", u"", WS_CHILD | WS_VISIBLE, 5, 5, 100, 20, Wnd);
  Made.push_back(edit);
  HWND canvas = Child(u"Recorder", {5, 40, 100, 90});
  struct Case {
    const char* name;
    HWND h;
    HWND focus;
  };
  const Case cases[] = {{"a self-drawn window keeps out of it", canvas, nullptr}, {"an edit takes it", edit, edit}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetFocus(nullptr);
    guitest::Click(c.h, {3, 3});
    guitest::PumpPending();
    EXPECT_EQ(GetFocus(), c.focus);
  }
}

// A press as the window system delivers it (spontaneous), so that the toolkit's click-to-focus
// would act on it.
void SystemPress(HWND h, TPoint client) {
  QWidget* w = layer::WidgetOf(h);
  QPointF local(client.X, client.Y);
  QMouseEvent e(QEvent::MouseButtonPress, local, w->mapToGlobal(local), Qt::LeftButton, Qt::LeftButton,
                Qt::NoModifier);
  QSpontaneKeyEvent::setSpontaneous(&e);
  QApplication::instance()->notify(w, &e);
}

TEST_F(PointerTest, TheToolkitMovesNoFocusOnAPressOnlyTheWindowsHandlingDoes) {
  HWND edit = CreateWindowEx(0, u"EDIT", u"", WS_CHILD | WS_VISIBLE, 5, 5, 100, 20, Wnd);
  Made.push_back(edit);
  HWND canvas = Child(u"Recorder", {5, 40, 100, 90});
  HWND other = Child(u"Recorder", {120, 40, 160, 90});
  guitest::PumpPending();
  QApplication::setActiveWindow(layer::WidgetOf(Wnd));
  struct Case {
    const char* name;
    HWND h;
    bool toolkitClickFocus;  // the widget as the toolkit would make it: focus on a click
    HWND focus;
    bool toolkitMoved;       // the toolkit's focus moved while the press was being delivered
  };
  const Case cases[] = {
      {"a toolkit widget with click focus (the check works)", canvas, true, canvas, true},
      {"a self-drawn window", canvas, false, other, false},
      {"an edit takes it in its own handling, after the press", edit, false, edit, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetFocus(other);
    guitest::PumpPending();
    QWidget* w = layer::WidgetOf(c.h);
    Qt::FocusPolicy policy = w->focusPolicy();
    if (c.toolkitClickFocus) w->setFocusPolicy(Qt::StrongFocus);
    Order.clear();
    Record(c.h, {WM_LBUTTONDOWN, WM_SETFOCUS});
    SystemPress(c.h, {3, 3});
    bool movedBeforeDispatch = GetFocus() != other;
    guitest::PumpPending();
    w->setFocusPolicy(policy);
    EXPECT_EQ(GetFocus(), c.focus);
    EXPECT_EQ(movedBeforeDispatch, c.toolkitMoved);
    if (c.focus == c.h && !c.toolkitMoved) {
      Trace expected{{c.h, WM_LBUTTONDOWN}, {c.h, WM_SETFOCUS}};
      EXPECT_EQ(Order, expected);
    }
    SetWindowProc(c.h, nullptr);
  }
}

// A cursor file whose image is a 32-bit bitmap: 2 x 2 pixels, hot spot (1, 0), rows bottom-up,
// the height counting colour and mask rows.
std::string BitmapCursorFile() {
  std::string f;
  auto u16 = [&f](unsigned v) { f += static_cast<char>(v & 0xFF); f += static_cast<char>(v >> 8); };
  auto u32 = [&](unsigned v) { u16(v & 0xFFFF); u16(v >> 16); };
  u16(0); u16(2); u16(1);
  f += '\x02'; f += '\x02'; f += '\0'; f += '\0';
  u16(1); u16(0);
  u32(40 + 16 + 8); u32(22);
  u32(40); u32(2); u32(4); u16(1); u16(32); u32(0); u32(16); u32(0); u32(0); u32(0); u32(0);
  // bottom row: blue, green; top row: red, transparent
  for (unsigned px : {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0x00000000u}) u32(px);
  u32(0); u32(0);  // the mask rows
  return f;
}

TEST_F(PointerTest, CursorsLoadFromTheProgramsResourcesByNameAndNumber) {
  static const std::string bitmap = BitmapCursorFile();
  static const std::string truncated = bitmap.substr(0, 30);
  static const TResourceEntry entries[] = {
      {"CURSOR", "TESTBITMAP", reinterpret_cast<const unsigned char*>(bitmap.data()), bitmap.size()},
      {"CURSOR", "#770", reinterpret_cast<const unsigned char*>(bitmap.data()), bitmap.size()},
      {"CURSOR", "BROKEN", reinterpret_cast<const unsigned char*>(truncated.data()), truncated.size()},
  };
  RegisterResources(entries, std::size(entries));
  HINSTANCE self = GetModuleHandleW(nullptr);

  HCURSOR split = LoadCursor(self, u"VEMBERHEADERSPLIT");
  ASSERT_NE(split, nullptr) << "the header's split cursor is one of the program's resources";
  EXPECT_EQ(LoadCursor(self, u"vemberheadersplit"), split) << "loaded once, by any case";
  HCURSOR byNumber = LoadCursor(self, 770);
  HCURSOR bmp = LoadCursor(self, u"TESTBITMAP");
  EXPECT_NE(byNumber, nullptr);
  EXPECT_NE(bmp, nullptr);
  EXPECT_EQ(LoadCursor(self, u"NOSUCHCURSOR"), nullptr);
  EXPECT_EQ(LoadCursor(self, u"BROKEN"), nullptr) << "a truncated file is no cursor";
  EXPECT_EQ(LoadCursor(nullptr, IDC_HAND), LoadCursor(IDC_HAND)) << "no module: the system's cursors";

  struct Case {
    const char* name;
    HCURSOR cursor;
    QPoint hot;
    QSize size;
  };
  const Case cases[] = {{"the split cursor", split, {15, 15}, {32, 32}}, {"a bitmap cursor", bmp, {1, 0}, {2, 2}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetCursor(c.cursor);
    const QCursor* shown = QGuiApplication::overrideCursor();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->shape(), Qt::BitmapCursor);
    EXPECT_EQ(shown->hotSpot(), c.hot);
    EXPECT_EQ(shown->pixmap().size(), c.size);
  }
  QImage img = QGuiApplication::overrideCursor()->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
  EXPECT_EQ(img.pixel(0, 0), 0xFFFF0000u) << "the top row is the last one in the file";
  EXPECT_EQ(img.pixel(1, 1), 0xFF00FF00u);
  EXPECT_EQ(qAlpha(img.pixel(1, 0)), 0);
}

}  // namespace
}  // namespace usertest
