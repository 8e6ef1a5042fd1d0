// A window's own scroll bars: the platform's clamping of page and position, showing and hiding
// with the range, and tracking by the mouse (arrows repeat on the layer's clock, the thumb drags).

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include "LayerFixture.h"
#include "platform/user/Window_p.h"

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

// A bar is drawn a few rows at a time; the window must come out as when the style draws the whole
// bar in one piece on it (the bar's background, then the style's control, and whatever the style
// draws beside the bar), whatever the bar's length, position and state. A bar drawn again alone
// leaves the corner box as it was.
TEST_F(ScrollBarTest, ATallBarDrawnInPiecesShowsWhatTheStyleDrawsInOnePiece) {
  struct Case {
    const char* name;
    int width, height;
    int max, page, pos;
    bool horz, disabled;
  };
  const Case cases[] = {
      {"thumb at the top", 120, 700, 9999, 683, 0, false, false},
      {"thumb in the middle", 120, 700, 9999, 683, 4700, false, false},
      {"thumb at the end", 120, 700, 9999, 683, 9316, false, false},
      {"long thumb across pieces", 120, 431, 600, 414, 120, false, false},
      {"one row more than a piece", 120, 113, 200, 96, 50, false, false},
      {"disabled", 120, 700, 99, 10, 0, false, true},
      {"both bars", 400, 300, 999, 283, 500, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND h = CreateWindowEx(0, u"Canvas", u"", WS_CHILD | WS_VISIBLE, 0, 0, c.width, c.height, Wnd, nullptr);
    Made.push_back(h);
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = c.max;
    si.nPage = static_cast<UINT>(c.page);
    // A bar is drawn again only when what it shows changes (disabling it always draws it).
    si.nPos = c.disabled ? c.pos : c.pos == 0 ? 1 : 0;
    SetScrollInfo(h, SB_VERT, &si, true);
    if (c.horz) SetScrollInfo(h, SB_HORZ, &si, true);
    // Everything painted over, so that what the bars' drawing leaves shows wherever it lands.
    HDC dc = GetWindowDC(h);
    HBRUSH cover = CreateSolidBrush(0x00804020);
    TRect all{0, 0, c.width, c.height};
    FillRect(dc, &all, cover);
    DeleteObject(cover);
    ReleaseDC(h, dc);
    const TSurface& surface = *layer::Find(h)->Surface;
    QImage expected(c.width, c.height, QImage::Format_RGB32);
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) expected.setPixel(x, y, 0xFF000000u | surface.PixelRGB(x, y));

    si.nPos = c.pos;
    if (c.disabled) {
      EnableScrollBar(h, SB_VERT, ESB_DISABLE_BOTH);
    } else {
      SetScrollInfo(h, SB_VERT, &si, true);
      if (c.horz) SetScrollInfo(h, SB_HORZ, &si, true);
    }
    {
      QPainter p(&expected);
      for (int bar : {SB_HORZ, SB_VERT}) {
        if (bar == SB_HORZ && !c.horz) continue;
        // The bars end at the corner box when both show.
        const int along = (bar == SB_VERT ? c.height : c.width) - (c.horz ? 17 : 0);
        const QRect r = bar == SB_VERT ? QRect(c.width - 17, 0, 17, along) : QRect(0, c.height - 17, along, 17);
        QStyleOptionSlider opt;
        opt.rect = QRect(QPoint(0, 0), r.size());
        opt.orientation = bar == SB_VERT ? Qt::Vertical : Qt::Horizontal;
        opt.minimum = 0;
        opt.maximum = c.max - c.page + 1;
        opt.pageStep = c.page;
        opt.singleStep = 1;
        opt.sliderPosition = opt.sliderValue = c.pos;
        opt.subControls = QStyle::SC_All;
        opt.activeSubControls = QStyle::SC_None;
        opt.state = c.disabled ? QStyle::State_None : QStyle::State_Enabled;
        if (bar == SB_HORZ) opt.state |= QStyle::State_Horizontal;
        p.save();
        p.translate(r.topLeft());
        p.fillRect(opt.rect, QApplication::palette().window());
        QApplication::style()->drawComplexControl(QStyle::CC_ScrollBar, &opt, &p, nullptr);
        p.restore();
      }
    }
    int wrong = 0;
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x)
        if ((expected.pixel(x, y) & 0xFFFFFFu) != surface.PixelRGB(x, y)) ++wrong;
    EXPECT_EQ(wrong, 0);
  }
}

}  // namespace
}  // namespace usertest
