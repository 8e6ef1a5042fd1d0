#pragma once
// A visible top-level window whose procedure records what reaches it, and the clean-up every
// layer test needs (no window, message, key or clock state survives a test).

#include <gtest/gtest.h>

#include <vector>

#include "platform/rtl/Clock.h"
#include "platform/user/User.h"
#include "platform/user/guimain/GuiTest.h"

namespace usertest {

struct Seen {
  pf::HWND hwnd;
  pf::UINT msg;
  pf::WPARAM w;
  pf::LPARAM l;
};

class LayerTest : public ::testing::Test {
protected:
  void SetUp() override {
    Wnd = MakeWindow(0, nullptr);
    pf::ShowWindow(Wnd, pf::SW_SHOW);
    guitest::PumpPending();
    Log.clear();
  }

  void TearDown() override {
    // Procedures made by a test may hold its locals: none of them runs after the test body.
    for (pf::HWND h : Made)
      if (pf::IsWindow(h)) pf::SetWindowProc(h, nullptr);
    for (pf::HWND h : Made)
      if (pf::IsWindow(h)) pf::DestroyWindow(h);
    guitest::ResetWork();
    pf::testing::ResetQueue();
    pf::clock::UseReal();
    EXPECT_EQ(pf::testing::LiveWindowCount(), 0);
  }

  // Records every message, then leaves it to DefWindowProc (except WM_PAINT, which it validates
  // itself so the record shows the paint).
  pf::HWND MakeWindow(pf::DWORD style, pf::HWND parent, pf::UINT classStyle = 0, pf::StringView cls = u"Recorder",
                      pf::TRect r = {10, 10, 210, 160}) {
    pf::HWND h = pf::CreateWindowEx(
        0, cls, u"", style, r.Left, r.Top, r.Width(), r.Height(), parent,
        [this](pf::HWND hw, pf::UINT m, pf::WPARAM w, pf::LPARAM l) -> pf::LRESULT {
          if (Recording(m)) Log.push_back(Seen{hw, m, w, l});
          return pf::DefWindowProc(hw, m, w, l);
        },
        classStyle);
    Made.push_back(h);
    return h;
  }

  static bool Recording(pf::UINT m) {
    switch (m) {
      case pf::WM_NCCREATE: case pf::WM_NCCALCSIZE: case pf::WM_CREATE: case pf::WM_SHOWWINDOW:
      case pf::WM_ACTIVATE: case pf::WM_MOVE: case pf::WM_SIZE: case pf::WM_NCHITTEST:
        return false;
      default:
        return true;
    }
  }

  std::vector<pf::UINT> Messages(pf::HWND only = nullptr) const {
    std::vector<pf::UINT> v;
    for (const Seen& s : Log)
      if (!only || s.hwnd == only) v.push_back(s.msg);
    return v;
  }

  pf::HWND Wnd{nullptr};
  std::vector<pf::HWND> Made;
  std::vector<Seen> Log;
};

}  // namespace usertest
