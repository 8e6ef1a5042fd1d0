// A window's own scroll bars: the platform's clamping of page and position, showing and hiding
// with the range, and tracking by the mouse (arrows repeat on the layer's clock, the thumb drags).

#include <QEvent>

#include "LayerFixture.h"

namespace usertest {
namespace {

using namespace pf;

class ScrollBarTest : public LayerTest {
protected:
  void SetUp() override {
    LayerTest::SetUp();
    View = CreateWindowEx(0, u"Canvas", u"", WS_CHILD | WS_VISIBLE, 10, 10, 120, 100, Wnd,
                          [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                            if (m == WM_VSCROLL || m == WM_HSCROLL) {
                              Scrolls.push_back({m, LOWORD(w), static_cast<int16_t>(HIWORD(w))});
                              if (OnScroll) OnScroll();
                              return 0;
                            }
                            if (m == WM_SIZE) Sizes.push_back(LOWORD(l));
                            return DefWindowProc(h, m, w, l);
                          });
    Made.push_back(View);
  }

  struct Scroll {
    UINT msg;
    int code;
    int pos;
    friend bool operator==(const Scroll&, const Scroll&) = default;
  };

  void SetVert(int mn, int mx, UINT page, int pos, UINT extra = 0) {
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | extra;
    si.nMin = mn;
    si.nMax = mx;
    si.nPage = page;
    si.nPos = pos;
    SetScrollInfo(View, SB_VERT, &si, true);
  }

  HWND View{nullptr};
  std::vector<Scroll> Scrolls;
  std::vector<int> Sizes;
  std::function<void()> OnScroll;
};

TEST_F(ScrollBarTest, PageAndPositionAreClampedAndTheBarShowsOnlyWhenUseful) {
  struct Case {
    const char* name;
    int mn, mx;
    UINT page;
    int pos;
    UINT extra;
    UINT pageAfter;
    int posAfter;
    bool shown;
  };
  const Case cases[] = {
      {"position past the last page", 0, 99, 10, 95, 0, 10, 90, true},
      {"negative position", 0, 99, 10, -5, 0, 10, 0, true},
      {"no page: the position reaches the maximum", 0, 99, 0, 150, 0, 0, 99, true},
      {"page larger than the range", 0, 9, 50, 3, 0, 10, 0, false},
      {"page exactly the range", 0, 9, 10, 0, 0, 10, 0, false},
      {"one more than a page", 0, 10, 10, 5, 0, 10, 1, true},
      {"empty range", 5, 5, 0, 7, 0, 0, 5, false},
      {"kept but disabled", 0, 9, 10, 0, SIF_DISABLENOSCROLL, 10, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetVert(c.mn, c.mx, c.page, c.pos, c.extra);
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(View, SB_VERT, &si));
    EXPECT_EQ(si.nPage, c.pageAfter);
    EXPECT_EQ(si.nPos, c.posAfter);
    EXPECT_EQ((GetWindowLongPtr(View, GWL_STYLE) & WS_VSCROLL) != 0, c.shown);
    TRect cr;
    GetClientRect(View, &cr);
    EXPECT_EQ(cr.Width(), c.shown ? 120 - 17 : 120);
  }
}

TEST_F(ScrollBarTest, ShowingTheBarShrinksTheClientAreaAndSendsWmSize) {
  Sizes.clear();
  ShowScrollBar(View, SB_VERT, true);
  ShowScrollBar(View, SB_VERT, true);  // no change, no message
  ShowScrollBar(View, SB_VERT, false);
  EXPECT_EQ(Sizes, (std::vector<int>{103, 120}));
}

TEST_F(ScrollBarTest, HoldingTheDownArrowRepeatsOnTheClockUntilTheButtonGoesUp) {
  clock::UseManual(0);
  SetVert(0, 99, 10, 0);
  TPoint arrow{120 - 17 + 8, 100 - 5};  // client coordinates: the bar is right of the client area
  OnScroll = [&] {
    if (Scrolls.size() == 1) {
      clock::Advance(399);  // not yet
      guitest::PostWork([] { clock::Advance(1); });
    }
    if (Scrolls.size() == 2) {
      clock::Advance(49);  // not yet
      guitest::PostWork([] { clock::Advance(1); });
    }
    if (Scrolls.size() == 3) {
      HWND v = View;
      guitest::PostWork([v, arrow] { guitest::Mouse(v, QEvent::MouseButtonRelease, Qt::LeftButton, arrow); });
    }
  };
  guitest::Mouse(View, QEvent::MouseButtonPress, Qt::LeftButton, arrow, Qt::LeftButton);
  guitest::PumpPending();
  std::vector<Scroll> expected{{WM_VSCROLL, SB_LINEDOWN, 0},
                               {WM_VSCROLL, SB_LINEDOWN, 0},
                               {WM_VSCROLL, SB_LINEDOWN, 0},
                               {WM_VSCROLL, SB_ENDSCROLL, 0}};
  EXPECT_EQ(Scrolls, expected);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ScrollBarTest, DraggingTheThumbTracksAndEndsWithThePosition) {
  SetVert(0, 99, 10, 0);
  // The thumb starts at the top of the bar, below the up arrow.
  TPoint grab{120 - 17 + 8, 17 + 4};
  // Work for inside the tracking loop comes from a timer, which waits behind the press.
  clock::UseManual(0);
  bool moved = false;
  HWND v = View;
  SetTimer(Wnd, 5, 10, [&, v](HWND h, UINT, UINT_PTR id, DWORD) {
    KillTimer(h, id);
    // Far below the bar: the thumb goes to the last page and stays there.
    guitest::Mouse(v, QEvent::MouseMove, Qt::NoButton, {grab.X, 400}, Qt::LeftButton);
    guitest::PostWork([&, v] {
      moved = true;
      guitest::Mouse(v, QEvent::MouseButtonRelease, Qt::LeftButton, {grab.X, 400});
    });
  });
  clock::Advance(10);
  guitest::Mouse(View, QEvent::MouseButtonPress, Qt::LeftButton, grab, Qt::LeftButton);
  guitest::PumpPending();
  ASSERT_TRUE(moved);
  ASSERT_GE(Scrolls.size(), 3u);
  EXPECT_EQ(Scrolls[Scrolls.size() - 3], (Scroll{WM_VSCROLL, SB_THUMBTRACK, 90}));
  EXPECT_EQ(Scrolls[Scrolls.size() - 2], (Scroll{WM_VSCROLL, SB_THUMBPOSITION, 90}));
  EXPECT_EQ(Scrolls.back(), (Scroll{WM_VSCROLL, SB_ENDSCROLL, 0}));
  EXPECT_EQ(GetScrollPos(View, SB_VERT), 0) << "the program moves the position, not the tracking";
}

}  // namespace
}  // namespace usertest
