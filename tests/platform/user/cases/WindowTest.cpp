// Window objects: handles, procedures and their replacement, destruction order, geometry and the
// non-client area, painting's update region, the reading order of standard edits.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

#include "platform/user/Window_p.h"
#include "LayerFixture.h"

namespace usertest {
namespace {

using namespace pf;

class WindowTest : public LayerTest {};

TEST_F(WindowTest, HandlesAreNeverReused) {
  HWND a = MakeWindow(0, nullptr);
  DestroyWindow(a);
  EXPECT_FALSE(IsWindow(a));
  HWND b = MakeWindow(0, nullptr);
  EXPECT_NE(a, b);
  EXPECT_FALSE(PostMessage(a, WM_APP, 0, 0));
  EXPECT_EQ(SendMessage(a, WM_APP, 0, 0), 0);
}

TEST_F(WindowTest, SubclassingChainsProceduresAndCanBeUndone) {
  std::vector<std::string> calls;
  WNDPROC base = GetWindowProc(Wnd);
  WNDPROC first = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_APP) calls.push_back("first");
    return CallWindowProc(base, h, m, w, l);
  };
  EXPECT_TRUE(static_cast<bool>(SetWindowProc(Wnd, first)));
  WNDPROC second = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_APP) {
      calls.push_back("second");
      if (w == 1) return 5;  // handled here, not passed on
    }
    return CallWindowProc(first, h, m, w, l);
  };
  SetWindowProc(Wnd, second);
  Log.clear();
  EXPECT_EQ(SendMessage(Wnd, WM_APP, 1, 0), 5);
  SendMessage(Wnd, WM_APP, 0, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"second", "second", "first"}));
  EXPECT_EQ(Log.size(), 1u) << "only the passed-on message reached the original procedure";
  SetWindowProc(Wnd, first);
  calls.clear();
  SendMessage(Wnd, WM_APP, 1, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"first"}));
}

TEST_F(WindowTest, AProcedureMayReplaceItselfWhileItRuns) {
  int afterCalls = 0;
  WNDPROC after = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    ++afterCalls;
    return DefWindowProc(h, m, w, l);
  };
  std::string captured = "still alive";
  SetWindowProc(Wnd, [&, captured](HWND h, UINT m, WPARAM, LPARAM) -> LRESULT {
    if (m == WM_APP) {
      SetWindowProc(h, after);
      return static_cast<LRESULT>(captured.size());  // the running procedure's state is intact
    }
    return 0;
  });
  EXPECT_EQ(SendMessage(Wnd, WM_APP, 0, 0), 11);
  SendMessage(Wnd, WM_APP, 0, 0);
  EXPECT_EQ(afterCalls, 1);
}

TEST_F(WindowTest, DestroyTellsTheParentBeforeChildrenAndFinishesAfterThem) {
  HWND child = MakeWindow(WS_CHILD, Wnd);
  HWND grandchild = MakeWindow(WS_CHILD, child);
  HWND owned = MakeWindow(0, Wnd);
  Log.clear();
  DestroyWindow(Wnd);
  std::vector<std::pair<HWND, UINT>> seen;
  for (const Seen& s : Log) seen.push_back({s.hwnd, s.msg});
  std::vector<std::pair<HWND, UINT>> expected{
      {owned, WM_DESTROY},      {owned, WM_NCDESTROY},      {Wnd, WM_DESTROY},   {child, WM_DESTROY},
      {grandchild, WM_DESTROY}, {grandchild, WM_NCDESTROY}, {child, WM_NCDESTROY}, {Wnd, WM_NCDESTROY}};
  EXPECT_EQ(seen, expected);
  for (HWND h : {Wnd, child, grandchild, owned}) EXPECT_FALSE(IsWindow(h));
}

TEST_F(WindowTest, NonClientAreaAndCoordinates) {
  struct Case {
    const char* name;
    DWORD style;
    DWORD exStyle;
    TRect client;  // in window coordinates
  };
  const Case cases[] = {
      {"plain", 0, 0, {0, 0, 100, 80}},
      {"border", WS_BORDER, 0, {1, 1, 99, 79}},
      {"client edge", 0, WS_EX_CLIENTEDGE, {2, 2, 98, 78}},
      {"border, edge and both scroll bars", WS_BORDER | WS_VSCROLL | WS_HSCROLL, WS_EX_CLIENTEDGE, {3, 3, 80, 60}},
      {"scroll bar on the left", WS_VSCROLL, WS_EX_LEFTSCROLLBAR, {17, 0, 100, 80}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND h = CreateWindowEx(c.exStyle, u"Canvas", u"", WS_CHILD | WS_VISIBLE | c.style, 30, 20, 100, 80, Wnd);
    Made.push_back(h);
    TRect cr;
    ASSERT_TRUE(GetClientRect(h, &cr));
    EXPECT_EQ(cr, (TRect{0, 0, c.client.Width(), c.client.Height()}));
    EXPECT_EQ(ClientOrigin(h), (TPoint{c.client.Left, c.client.Top}));
    TPoint parentOrigin{0, 0};
    ClientToScreen(Wnd, &parentOrigin);
    TRect wr;
    GetWindowRect(h, &wr);
    EXPECT_EQ(wr, (TRect{parentOrigin.X + 30, parentOrigin.Y + 20, parentOrigin.X + 130, parentOrigin.Y + 100}));
    TPoint p{0, 0};
    ClientToScreen(h, &p);
    EXPECT_EQ(p, (TPoint{wr.Left + c.client.Left, wr.Top + c.client.Top}));
    TPoint back = p;
    MapWindowPoints(nullptr, Wnd, &back, 1);
    EXPECT_EQ(back, (TPoint{30 + c.client.Left, 20 + c.client.Top}));
  }
}

TEST_F(WindowTest, ResizingSendsWmSizeWithTheNewClientSize) {
  HWND h = MakeWindow(WS_CHILD | WS_VISIBLE | WS_BORDER, Wnd);
  Log.clear();
  WNDPROC old = GetWindowProc(h);
  std::vector<std::pair<int, int>> sizes;
  SetWindowProc(h, [&](HWND hw, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_SIZE) sizes.push_back({LOWORD(l), HIWORD(l)});
    return CallWindowProc(old, hw, m, w, l);
  });
  SetWindowPos(h, nullptr, 0, 0, 60, 40, SWP_NOMOVE | SWP_NOZORDER);
  SetWindowPos(h, nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER);  // a move alone: no WM_SIZE
  EXPECT_EQ(sizes, (std::vector<std::pair<int, int>>{{58, 38}}));
}

TEST_F(WindowTest, UpdateRegionGrowsWithInvalidationAndEmptiesWhenPainted) {
  ValidateRect(Wnd, nullptr);
  TRect r;
  EXPECT_FALSE(GetUpdateRect(Wnd, &r, false));
  TRect a{10, 10, 20, 20}, b{30, 5, 40, 15};
  InvalidateRect(Wnd, &a, false);
  InvalidateRect(Wnd, &b, false);
  ASSERT_TRUE(GetUpdateRect(Wnd, &r, false));
  EXPECT_EQ(r, (TRect{10, 5, 40, 20}));
  TRect huge{-50, -50, 5000, 5000};
  InvalidateRect(Wnd, &huge, false);
  GetUpdateRect(Wnd, &r, false);
  EXPECT_EQ(r, (TRect{0, 0, 200, 150})) << "clipped to the client area";
  Log.clear();
  UpdateWindow(Wnd);
  EXPECT_EQ(Messages(Wnd), (std::vector<UINT>{WM_PAINT}));
  EXPECT_FALSE(GetUpdateRect(Wnd, &r, false));
  // A hidden window is not painted until it shows.
  ShowWindow(Wnd, SW_HIDE);
  InvalidateRect(Wnd, nullptr, false);
  MSG msg;
  EXPECT_FALSE(PeekMessage(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
  ShowWindow(Wnd, SW_SHOW);
  EXPECT_TRUE(PeekMessage(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
}

// A child with a border and a client edge: BeginPaint erases first, paints only the update region,
// in client coordinates, and the frame around the client area is the window's own.
TEST_F(WindowTest, BeginPaintPaintsTheUpdateRegionInClientCoordinates) {
  std::vector<UINT> order;
  TRect paintRect;
  BOOL erasePending = 0;
  COLORREF fill = 0x0000FF;  // red
  HWND h = CreateWindowEx(
      WS_EX_CLIENTEDGE, u"Canvas", u"", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 60, 40, Wnd,
      [&](HWND hw, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_ERASEBKGND) {
          order.push_back(m);
          TRect all{0, 0, 100, 100};
          FillRect(reinterpret_cast<HDC>(w), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
          return 1;
        }
        if (m == WM_PAINT) {
          order.push_back(m);
          PAINTSTRUCT ps;
          HDC dc = BeginPaint(hw, &ps);
          paintRect = ps.rcPaint;
          erasePending = ps.fErase;
          TRect all{0, 0, 100, 100};
          HBRUSH brush = CreateSolidBrush(fill);
          FillRect(dc, &all, brush);  // clipped to the update region
          DeleteObject(brush);
          EndPaint(hw, &ps);
          return 0;
        }
        if (m == WM_NCPAINT) order.push_back(m);
        return DefWindowProc(hw, m, w, l);
      });
  Made.push_back(h);
  UpdateWindow(h);
  ASSERT_EQ(order, (std::vector<UINT>{WM_PAINT, WM_NCPAINT, WM_ERASEBKGND}));
  EXPECT_EQ(paintRect, (TRect{0, 0, 54, 34}));
  EXPECT_EQ(erasePending, 0) << "the handler erased";

  TRect part{5, 6, 15, 16};
  InvalidateRect(h, &part, false);
  fill = 0xFF0000;  // blue
  order.clear();
  UpdateWindow(h);
  EXPECT_EQ(order, (std::vector<UINT>{WM_PAINT}));
  EXPECT_EQ(paintRect, part);
  const TSurface& s = *layer::Find(h)->Surface;
  struct Px {
    int x, y;
    uint32_t rgb;
    const char* what;
  };
  const Px pixels[] = {
      {0, 0, 0x646464, "the 1-pixel border in the window-frame colour (100, 100, 100)"},
      {3 + 5, 3 + 6, 0x0000FF, "inside the update rectangle, client (5,6) is surface (8,9)"},
      {3 + 14, 3 + 15, 0x0000FF, "last pixel inside"},
      {3 + 15, 3 + 15, 0xFF0000, "right of it: left from the first, full paint"},
      {3 + 14, 3 + 16, 0xFF0000, "below it"},
      {3 + 53, 3 + 33, 0xFF0000, "the client area's last pixel"},
  };
  for (const Px& p : pixels) {
    SCOPED_TRACE(p.what);
    EXPECT_EQ(s.PixelRGB(p.x, p.y), p.rgb);
  }
}

// As the platform lays out an edit's text without a right-to-left reading style: a name that
// begins with Hebrew is a left-to-right paragraph, its Hebrew first from the left, as the list
// draws it; a control that asks for right-to-left reading gets it.
TEST_F(WindowTest, StandardEditsReadLeftToRightUnlessAskedForRightToLeftReading) {
  struct Case {
    const char* name;
    DWORD style, exStyle;
    bool rightToLeft;
  };
  const Case cases[] = {
      {"edit", 0, 0, false},
      {"read-only edit", ES_READONLY, 0, false},
      {"memo", ES_MULTILINE, 0, false},
      {"read-only memo", ES_MULTILINE | ES_READONLY, 0, false},
      {"edit asking for right-to-left reading", 0, WS_EX_RTLREADING, true},
  };
  const String name = u"\u05E9\u05DC\u05D5\u05DD abc";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND edit = CreateWindowEx(c.exStyle, u"EDIT", u"", WS_CHILD | WS_VISIBLE | c.style, 5, 5, 200, 40, Wnd);
    Made.push_back(edit);
    SetWindowText(edit, name);
    guitest::PumpPending();
    // A point right of the text is the paragraph's end when it reads left to right (and starts
    // at the left), its start when it reads right to left (and is set to the right).
    QWidget* w = layer::WidgetOf(edit);
    int atRight = -1;
    if (auto* line = qobject_cast<QLineEdit*>(w))
      atRight = line->cursorPositionAt(QPoint(w->width() - 5, w->height() / 2));
    if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
      atRight = memo->cursorForPosition(QPoint(memo->viewport()->width() - 5, 5)).position();
    EXPECT_EQ(atRight, c.rightToLeft ? 0 : static_cast<int>(name.size()));
  }
}

}  // namespace
}  // namespace usertest
