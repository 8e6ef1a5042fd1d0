// The canvas control on real windows: painting during updates, the back bitmap, the non-client
// frame with and without themes, and the mouse tracking timer on the manual clock.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommonTestUtil.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Clock.h"
#include "platform/user/ThemeSwitch.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"

namespace {

using namespace commontest;
using namespace common;

constexpr TColor kContent = 0x0000FF;  // red

// A control that paints its content red and records what the base asks of it.
class TProbe : public TCommonCanvasControl {
  PF_CLASS(TProbe)
public:
  std::vector<std::string> Events;
  std::vector<TRect> Painted;
  // The brush style the paint hands over; a clear brush leaves the content alone.
  std::vector<TBrushStyle> BrushStyles;
  int Completes{0};
  // The list view's themed border: the list-view theme's part 5 around the client area.
  bool ListviewBorder{false};
  // A themed frame this wide that paints nothing of its own, so the base's fill shows.
  int BareFrame{0};
  // The image lists as the list view's properties set them.
  void SetImages(TImageList* extraLarge, TImageList* large, TImageList* small) {
    for (TImageList* l : {extraLarge, large, small})
      if (l) l->FreeNotification(this);
    FImagesExtraLarge = extraLarge;
    FImagesLarge = large;
    FImagesSmall = small;
  }
  bool HasImages() const { return FImagesExtraLarge || FImagesLarge || FImagesSmall; }

protected:
  void DoPaintRect(TCanvas* canvas, const TRect& clip, bool, bool) override {
    Painted.push_back(clip);
    BrushStyles.push_back(canvas->GetBrush()->GetStyle());
    if (canvas->GetBrush()->GetStyle() == TBrushStyle::bsClear) return;
    canvas->GetBrush()->SetColor(kContent);
    canvas->FillRect(clip);
  }
  void DoUpdateComplete() override { ++Completes; }
  void DoMouseEnter(TPoint p) override { Events.push_back("enter " + std::to_string(p.X)); }
  void DoMouseExit() override { Events.push_back("exit"); }
  void DoMouseInside(TPoint p) override { Events.push_back("inside " + std::to_string(p.X)); }
  void CalcThemedNCSize(TRect& r) override {
    r = TRect{r.Left + BareFrame, r.Top + BareFrame, r.Right - BareFrame, r.Bottom - BareFrame};
    if (!ListviewBorder) return;
    TRect content;
    HDC dc = GetDC(nullptr);
    if (GetThemeBackgroundContentRect(GetThemes()->GetListviewTheme(), dc, LVP_BORDER, 1, &r, &content) == 0) r = content;
    ReleaseDC(nullptr, dc);
  }
  void PaintThemedNCBkgnd(TCanvas* canvas, TRect r) override {
    if (!ListviewBorder) return;
    TRect content;
    HTHEME t = GetThemes()->GetListviewTheme();
    if (GetThemeBackgroundContentRect(t, canvas->GetHandle(), LVP_BORDER, 1, &r, &content) != 0) return;
    TRect grown{r.Left - (content.Left - r.Left), r.Top - (content.Top - r.Top), r.Right + (content.Left - r.Left),
                r.Bottom + (content.Top - r.Top)};
    DrawThemeBackground(t, canvas->GetHandle(), LVP_BORDER, 1, &grown, nullptr);
  }
};

struct CanvasControl : ::testing::Test {
  TForm* Form{nullptr};
  TProbe* Probe{nullptr};

  void SetUp() override {
    pf::testing::SetThemesActive(false);
    Form = TForm::New(Application);
    Form->SetClientWidth(300);
    Form->SetClientHeight(200);
  }
  void TearDown() override {
    Form->Free();
    pf::testing::SetThemesActive(true);
    pf::testing::ResetQueue();
    pf::clock::UseReal();
  }
  TProbe* MakeProbe(bool show = true) {
    Probe = TProbe::New(Form);
    Probe->SetBounds(10, 20, 104, 84);
    Probe->SetParent(Form);
    if (show) {
      Form->Show();
      Probe->HandleNeeded();
      guitest::PumpPending();
    }
    return Probe;
  }
  HWND H() { return Probe->Handle(); }
  uint32_t Px(int x, int y) { return pf::layer::Find(H())->Surface->PixelRGB(x, y); }
  TRect Client() {
    TRect r;
    GetClientRect(H(), &r);
    return r;
  }
  void Repaint() {
    InvalidateRect(H(), nullptr, false);
    UpdateWindow(H());
  }
};

uint32_t Rgb(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

TEST_F(CanvasControl, PaintDuringAnUpdateValidatesButPaintsNothing) {
  MakeProbe();
  Probe->Painted.clear();
  Probe->BeginUpdate();
  Probe->BeginUpdate();
  Repaint();
  TRect update;
  EXPECT_FALSE(GetUpdateRect(H(), &update, false));
  EXPECT_TRUE(Probe->Painted.empty());
  Probe->SetForcePaint(true);
  Repaint();
  ASSERT_EQ(Probe->Painted.size(), 1u);
  EXPECT_EQ(Probe->Painted[0], Client());
  // The content reaches the window through the back bitmap; the client starts inside the edge.
  EXPECT_EQ(Px(2, 2), 0xFF0000u);
  EXPECT_EQ(Probe->GetBackBits(), nullptr);

  // Unbalanced: every EndUpdate that reaches 0 completes, the count never goes below 0.
  int ends = 0;
  Probe->OnEndUpdate = [&](TObject*) { ++ends; };
  Probe->EndUpdate();
  EXPECT_EQ(Probe->Completes, 0);
  Probe->EndUpdate();
  Probe->EndUpdate(false);
  EXPECT_EQ(Probe->GetUpdateCount(), 0);
  EXPECT_EQ(Probe->Completes, 2);
  EXPECT_EQ(ends, 2);
}

TEST_F(CanvasControl, NothingBeforeTheWindowAndNothingOnAnEmptyClient) {
  MakeProbe(false);
  EXPECT_FALSE(Probe->HandleAllocated());
  Probe->SafeInvalidateRect(nullptr, true);
  EXPECT_FALSE(Probe->HandleAllocated());
  // The frame takes all of a 4 x 4 window: no client area, no painting, the region validated.
  Probe->SetBounds(10, 20, 4, 4);
  Form->Show();
  Probe->HandleNeeded();
  guitest::PumpPending();
  EXPECT_EQ(Client(), (TRect{0, 0, 0, 0}));
  Probe->Painted.clear();
  Probe->SafeInvalidateRect(nullptr, true);
  EXPECT_TRUE(Probe->Painted.empty());
  TRect update;
  EXPECT_FALSE(GetUpdateRect(H(), &update, false));
  // A cached bitmap is at least 1 x 1.
  Probe->SetCacheDoubleBufferBits(true);
  Probe->ResizeBackBits(0, 0);
  EXPECT_EQ(Probe->GetBackBits()->GetWidth(), 1);
  EXPECT_EQ(Probe->GetBackBits()->GetHeight(), 1);
}

TEST_F(CanvasControl, CachedBackBitsGrowAndNeverShrink) {
  MakeProbe(false);
  Probe->SetCacheDoubleBufferBits(true);
  Form->Show();
  Probe->HandleNeeded();
  guitest::PumpPending();
  TBitmap* bits = Probe->GetBackBits();
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(bits->GetWidth(), 100);
  EXPECT_EQ(bits->GetHeight(), 80);
  struct Step {
    int w, h;         // the window
    int bitsW, bitsH;  // the bitmap after a paint
  } steps[] = {{164, 84, 160, 80}, {64, 44, 160, 80}, {84, 124, 160, 120}};
  for (const Step& s : steps) {
    Probe->SetBounds(10, 20, s.w, s.h);
    Repaint();
    EXPECT_EQ(Probe->GetBackBits(), bits);
    EXPECT_EQ(bits->GetWidth(), s.bitsW) << s.w;
    EXPECT_EQ(bits->GetHeight(), s.bitsH) << s.h;
    EXPECT_EQ(Px(s.w - 3, s.h - 3), 0xFF0000u) << s.w;
  }
  Probe->SetCacheDoubleBufferBits(false);
  EXPECT_EQ(Probe->GetBackBits(), nullptr);
}

// The control's whole brush, style included, reaches the client canvas and the back bitmap's.
TEST_F(CanvasControl, TheCanvasAndThePaintTakeTheWholeBrush) {
  MakeProbe();
  EXPECT_EQ(Form->GetBrush()->GetColor(), clBtnFace) << "a form's colour, given by its own start-up";
  Probe->GetBrush()->SetColor(0x0000FF);
  EXPECT_EQ(Probe->GetBrush()->GetColor(), 0x0000FF) << "the brush's own colour holds...";
  Probe->SetColor(0x00FF00);  // green
  EXPECT_EQ(Probe->GetBrush()->GetColor(), 0x00FF00) << "...until the control's colour changes";
  struct Case {
    const char* name;
    TBrushStyle style;
    uint32_t px;  // inside the client area after a paint
  } cases[] = {
      {"solid: filled with the colour, then the content", TBrushStyle::bsSolid, 0xFF0000u},
      {"clear: nothing filled, the content left to DoPaintRect", TBrushStyle::bsClear, 0x000000u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Probe->GetBrush()->SetStyle(c.style);
    TCanvas* canvas = Probe->GetCanvas();
    EXPECT_EQ(canvas->GetBrush()->GetStyle(), c.style);
    EXPECT_EQ(canvas->GetBrush()->GetColor(), 0x00FF00);
    Probe->BrushStyles.clear();
    Repaint();
    ASSERT_EQ(Probe->BrushStyles.size(), 1u);
    EXPECT_EQ(Probe->BrushStyles[0], c.style);
    EXPECT_EQ(Px(5, 5), c.px);  // a new back bitmap is black where nothing painted
  }
}

TEST_F(CanvasControl, FrameAndClientWithThemesOnAndOff) {
  const uint32_t shadow = Rgb(GetSysColor(COLOR_BTNSHADOW)), dark = Rgb(GetSysColor(COLOR_3DDKSHADOW));
  const uint32_t light = Rgb(GetSysColor(COLOR_BTNHIGHLIGHT)), light3d = Rgb(GetSysColor(COLOR_3DLIGHT));
  MakeProbe();
  // Without themes a single border is the sunken client edge of the platform.
  EXPECT_EQ(Client(), (TRect{0, 0, 100, 80}));
  EXPECT_NE(GetWindowLongPtr(H(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  EXPECT_EQ(Px(0, 0), shadow);
  EXPECT_EQ(Px(1, 1), dark);
  EXPECT_EQ(Px(103, 83), light);
  EXPECT_EQ(Px(102, 82), light3d);
  EXPECT_EQ(Px(2, 2), 0xFF0000u);

  // With themes the window has no border bits; the base paints no frame of its own.
  pf::testing::SetThemesActive(true);
  Probe->RecreateWnd();
  guitest::PumpPending();
  EXPECT_TRUE(Probe->DrawWithThemes());
  EXPECT_EQ(GetWindowLongPtr(H(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  EXPECT_EQ(GetWindowLongPtr(H(), GWL_STYLE) & WS_BORDER, 0);
  EXPECT_EQ(Client(), (TRect{0, 0, 104, 84}));
  EXPECT_EQ(Px(0, 0), 0xFF0000u);

  // The list view's border: a one-pixel themed frame, not the bevel's colours.
  Probe->ListviewBorder = true;
  Probe->RecreateWnd();
  guitest::PumpPending();
  EXPECT_EQ(Client(), (TRect{0, 0, 102, 82}));
  uint32_t frame = Px(0, 0);
  EXPECT_NE(frame, shadow);
  EXPECT_NE(frame, 0xFF0000u);
  EXPECT_EQ(Px(103, 83), frame);
  EXPECT_EQ(Px(1, 1), 0xFF0000u);

  // No border at all without themes.
  pf::testing::SetThemesActive(false);
  Probe->SetBorderStyle(TBorderStyle::bsNone);
  guitest::PumpPending();
  EXPECT_EQ(Client(), (TRect{0, 0, 104, 84}));
  EXPECT_EQ(Px(0, 0), 0xFF0000u);
}

// The frame between the border and the client area is filled with the control's brush, which
// may have a colour of its own or be clear.
TEST_F(CanvasControl, TheFrameIsFilledWithTheControlsBrush) {
  pf::testing::SetThemesActive(true);
  MakeProbe();
  Probe->BareFrame = 3;
  Probe->RecreateWnd();
  guitest::PumpPending();
  ASSERT_EQ(Client(), (TRect{0, 0, 98, 78}));
  Probe->SetColor(0x00FF00);              // green
  Probe->GetBrush()->SetColor(0xFF0000);  // blue: the brush's own
  // Solid: blue, not the control's green; clear: nothing filled, the blue stays.
  for (TBrushStyle style : {TBrushStyle::bsSolid, TBrushStyle::bsClear}) {
    Probe->GetBrush()->SetStyle(style);
    SendMessage(H(), WM_NCPAINT, 1, 0);
    EXPECT_EQ(Px(2, 2), 0x0000FFu) << static_cast<int>(style);
    EXPECT_EQ(Px(101, 81), 0x0000FFu) << static_cast<int>(style);
  }
}

TEST_F(CanvasControl, ApplyBorderStyleFollowsTheSettingsOnTheLiveWindow) {
  MakeProbe();
  struct Step {
    bool themes;
    bool ctl3D;
    TBorderStyle border;
    bool edge, frame;
    TRect client;
  } steps[] = {
      {true, true, TBorderStyle::bsSingle, false, false, {0, 0, 104, 84}},
      {false, true, TBorderStyle::bsSingle, true, false, {0, 0, 100, 80}},
      {false, false, TBorderStyle::bsSingle, false, true, {0, 0, 102, 82}},
      {false, false, TBorderStyle::bsNone, false, false, {0, 0, 104, 84}},
  };
  for (const Step& s : steps) {
    pf::testing::SetThemesActive(s.themes);
    Probe->SetCtl3D(s.ctl3D);
    Probe->SetBorderStyle(s.border);
    if (Probe->GetBorderStyle() == s.border) Probe->ApplyBorderStyle();
    EXPECT_EQ((GetWindowLongPtr(H(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0, s.edge) << s.themes << s.ctl3D;
    EXPECT_EQ((GetWindowLongPtr(H(), GWL_STYLE) & WS_BORDER) != 0, s.frame) << s.themes << s.ctl3D;
    EXPECT_EQ(Client(), s.client) << s.themes << s.ctl3D;
  }
}

TEST_F(CanvasControl, BevelsWithAndWithoutThemes) {
  const uint32_t shadow = Rgb(GetSysColor(COLOR_BTNSHADOW)), frame = Rgb(GetSysColor(COLOR_WINDOWFRAME));
  const uint32_t light3d = Rgb(GetSysColor(COLOR_3DLIGHT)), dark = Rgb(GetSysColor(COLOR_3DDKSHADOW));
  MakeProbe(false);
  Probe->SetBorderStyle(TBorderStyle::bsNone);
  Probe->SetBevelInner(TBevelCut::bvNone);
  Probe->SetBevelOuter(TBevelCut::bvRaised);
  struct Case {
    TBevelKind kind;
    bool ctl3D;
    uint32_t topLeft, bottomRight;
  } cases[] = {
      {TBevelKind::bkSoft, true, light3d, dark},
      {TBevelKind::bkFlat, true, shadow, shadow},
      {TBevelKind::bkTile, false, frame, frame},
  };
  Form->Show();
  for (const Case& c : cases) {
    Probe->SetBevelKind(c.kind);
    Probe->SetCtl3D(c.ctl3D);
    Probe->RecreateWnd();
    guitest::PumpPending();
    // One raised bevel of width 1 round the client area, drawn by the control.
    EXPECT_EQ(Client(), (TRect{0, 0, 102, 82}));
    EXPECT_EQ(Px(0, 0), c.topLeft) << static_cast<int>(c.kind);
    EXPECT_EQ(Px(103, 83), c.bottomRight) << static_cast<int>(c.kind);
    EXPECT_EQ(Px(1, 1), 0xFF0000u);
  }
  // With themes the frame is the themed one and the bevel takes no room.
  pf::testing::SetThemesActive(true);
  Probe->RecreateWnd();
  guitest::PumpPending();
  EXPECT_EQ(Client(), (TRect{0, 0, 104, 84}));
  EXPECT_EQ(Px(0, 0), 0xFF0000u);
}

TEST_F(CanvasControl, MouseEntersStaysAndLeavesOnTheClock) {
  pf::clock::UseManual();
  MakeProbe();
  TPoint origin{0, 0};
  ClientToScreen(H(), &origin);
  auto moveTo = [&](int x, int y) {
    pf::testing::SetCursorScreenPos(TPoint{origin.X + x, origin.Y + y});
    SendMessage(H(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  };
  auto tick = [&](int ms) {
    pf::clock::Advance(ms);
    guitest::PumpPending();
  };
  moveTo(5, 5);
  EXPECT_EQ(Probe->Events, (std::vector<std::string>{"enter 5"}));
  EXPECT_TRUE(Probe->MouseTracking());
  tick(49);
  EXPECT_EQ(Probe->Events.size(), 1u);
  tick(1);
  pf::testing::SetCursorScreenPos(TPoint{origin.X + 7, origin.Y + 5});
  tick(50);
  EXPECT_EQ(Probe->Events, (std::vector<std::string>{"enter 5", "inside 5", "inside 7"}));
  // Outside: the next tick reports the exit and the timer goes.
  pf::testing::SetCursorScreenPos(TPoint{origin.X + 500, origin.Y + 5});
  tick(50);
  EXPECT_EQ(Probe->Events.back(), "exit");
  EXPECT_FALSE(Probe->MouseTracking());

  // With the capture (a drag) the timer lives on outside the window.
  Probe->Events.clear();
  moveTo(5, 5);
  SetCapture(H());
  pf::testing::SetCursorScreenPos(TPoint{origin.X + 500, origin.Y + 5});
  tick(50);
  tick(50);
  EXPECT_EQ(Probe->Events, (std::vector<std::string>{"enter 5", "inside 500", "inside 500"}));
  EXPECT_TRUE(Probe->MouseTracking());
  ReleaseCapture();
  tick(50);
  EXPECT_EQ(Probe->Events.back(), "exit");
  EXPECT_FALSE(Probe->MouseTracking());
}

}  // namespace

namespace {

TEST_F(CanvasControl, AFreedImageListIsForgottenEverywhere) {
  MakeProbe(false);
  TImageList* shared = TImageList::New(nullptr);
  TImageList* other = TImageList::New(nullptr);
  // One list for two sizes: freeing it must leave no reference behind.
  Probe->SetImages(other, shared, shared);
  shared->Free();
  other->Free();
  EXPECT_FALSE(Probe->HasImages());
}

}  // namespace
