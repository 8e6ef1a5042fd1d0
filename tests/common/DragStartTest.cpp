// The drag-start detector's own loop, fed with posted messages.

#include <gtest/gtest.h>

#include "CommonTestUtil.h"

namespace {

using namespace commontest;
using namespace common;

struct DragWindow : ::testing::Test {
  HWND h{CreateWindowEx(0, u"DragTest", u"", WS_OVERLAPPED, 100, 100, 200, 200, nullptr)};
  ~DragWindow() override {
    DestroyWindow(h);
    pf::testing::ResetQueue();
  }
  bool NextIs(UINT message) {
    MSG m;
    return PeekMessage(&m, nullptr, 0, 0, PM_REMOVE) && m.message == message;
  }
};

TEST_F(DragWindow, LeavingTheDragBoxStartsADrag) {
  // The box is 4 pixels on each side: x + 3 stays inside, x + 4 leaves it.
  PostMessage(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(53, 50));
  PostMessage(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(54, 50));
  PostMessage(h, WM_USER, 0, 0);
  EXPECT_TRUE(DetectDragStart(h, TPoint{50, 50}));
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_TRUE(NextIs(WM_USER));
}

TEST_F(DragWindow, AButtonReleaseGoesBackToTheWindow) {
  for (UINT release : {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP, WM_LBUTTONDBLCLK, WM_CANCELMODE}) {
    PostMessage(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(51, 47));
    PostMessage(h, release, 0, MAKELPARAM(51, 47));
    EXPECT_FALSE(DetectDragStart(h, TPoint{50, 50}));
    EXPECT_TRUE(NextIs(release)) << release;
  }
}

TEST_F(DragWindow, QuitIsPostedAgainAndCaptureGivenBack) {
  SetCapture(h);
  PostQuitMessage(3);
  EXPECT_FALSE(DetectDragStart(h, TPoint{10, 10}));
  EXPECT_EQ(GetCapture(), h);
  MSG m;
  ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_EQ(m.wParam, 3u);
  ReleaseCapture();
}

}  // namespace
