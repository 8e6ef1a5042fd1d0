// Theme drawing on a canvas control's back bitmap: header sections, push buttons, list view items
// and check boxes, themed and classic, probed by pixels. The window's surface is also saved as a
// picture (PO_SCREENSHOT_DIR, else the test's temporary folder) to be looked at.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "CommonTestUtil.h"
#include "platform/classlib/Forms.h"
#include "platform/gdi/Gdi_p.h"
#include "platform/user/ThemeSwitch.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"
#include "support/TestEnv.h"

namespace {

using namespace commontest;
using namespace common;

TRect HeaderRect(int i) { return TRect{10 + 100 * i, 10, 110 + 100 * i, 34}; }
TRect ButtonRect(int i) { return TRect{10 + 80 * i, 44, 85 + 80 * i, 70}; }
TRect ItemRect(int i) { return TRect{10 + 100 * i, 80, 105 + 100 * i, 100}; }
TRect CheckRect(int i) { return TRect{10 + 20 * i, 110, 23 + 20 * i, 123}; }

// Paints every part in its states, with themes when the control draws with them and in the
// classic way of the controls otherwise.
class TGallery : public TCommonCanvasControl {
  PF_CLASS(TGallery)
protected:
  void DoPaintRect(TCanvas* canvas, const TRect&, bool, bool) override {
    HDC dc = canvas->GetHandle();
    SetBkMode(dc, TRANSPARENT);
    bool themed = DrawWithThemes();
    TCommonThemeManager* t = GetThemes();
    static const int headerStates[] = {HIS_NORMAL, HIS_HOT, HIS_PRESSED};
    for (int i = 0; i < 3; ++i) {
      TRect r = HeaderRect(i);
      if (themed) {
        DrawThemeBackground(t->GetHeaderTheme(), dc, HP_HEADERITEM, headerStates[i], &r, nullptr);
      } else {
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &r, i == 2 ? BDR_SUNKENOUTER : EDGE_RAISED, BF_RECT);
      }
      DrawTextW(dc, u"Column", -1, &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
    static const int buttonStates[] = {PBS_NORMAL, PBS_HOT, PBS_PRESSED, PBS_DISABLED};
    for (int i = 0; i < 4; ++i) {
      TRect r = ButtonRect(i);
      if (themed) {
        DrawThemeBackground(t->GetButtonTheme(), dc, BP_PUSHBUTTON, buttonStates[i], &r, nullptr);
      } else {
        UINT state = DFCS_BUTTONPUSH | (i == 2 ? DFCS_PUSHED : 0) | (i == 3 ? DFCS_INACTIVE : 0);
        DrawFrameControl(dc, &r, DFC_BUTTON, state);
      }
      SetTextColor(dc, GetSysColor(i == 3 ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
      DrawTextW(dc, u"OK", -1, &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
    static const int itemStates[] = {LISS_NORMAL, LISS_HOT, LISS_SELECTED, LISS_SELECTEDNOTFOCUS};
    for (int i = 0; i < 4; ++i) {
      TRect r = ItemRect(i);
      bool selected = i >= 2;
      if (themed) {
        DrawThemeBackground(t->GetListviewTheme(), dc, LVP_LISTITEM, itemStates[i], &r, nullptr);
      } else if (selected) {
        FillRect(dc, &r, GetSysColorBrush(i == 2 ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
      }
      COLORREF text = GetSysColor(i == 2 ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
      if (themed) GetThemeColor(t->GetListviewTheme(), LVP_LISTITEM, itemStates[i], TMT_TEXTCOLOR, &text);
      SetTextColor(dc, text);
      DrawTextW(dc, u"\u0424\u043E\u0442\u043E 1", -1, &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
    for (int i = 0; i < 8; ++i) {
      TRect r = CheckRect(i);
      if (themed) {
        DrawThemeBackground(t->GetButtonTheme(), dc, BP_CHECKBOX, i + 1, &r, nullptr);
      } else {
        UINT state = DFCS_BUTTONCHECK | (i >= 4 ? DFCS_CHECKED : 0) | (i % 4 == 2 ? DFCS_PUSHED : 0) |
                     (i % 4 == 3 ? DFCS_INACTIVE : 0);
        DrawFrameControl(dc, &r, DFC_BUTTON, state);
      }
    }
  }
};

struct ThemeDrawing : ::testing::Test {
  TForm* Form{nullptr};
  TGallery* Gallery{nullptr};
  void SetUp() override {
    pf::testing::SetThemesActive(true);
    Form = TForm::New(Application);
    Form->SetClientWidth(440);
    Form->SetClientHeight(150);
    Gallery = TGallery::New(Form);
    Gallery->SetBorderStyle(TBorderStyle::bsNone);
    Gallery->SetBounds(0, 0, 420, 135);
    Gallery->SetColor(clWindow);
    Gallery->SetParent(Form);
    Form->Show();
    Gallery->HandleNeeded();
    guitest::PumpPending();
  }
  void TearDown() override {
    Form->Free();
    pf::testing::SetThemesActive(true);
  }
  QImage Shot() {
    Gallery->SafeInvalidateRect(nullptr, true);
    return gdi::SurfaceImage(*layer::Find(Gallery->Handle())->Surface).copy();
  }
};

uint32_t At(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }
uint32_t Rgb(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

TEST_F(ThemeDrawing, PartsInBothModes) {
  ASSERT_TRUE(Gallery->DrawWithThemes());
  QImage themed = Shot();
  pf::testing::SetThemesActive(false);
  ASSERT_FALSE(Gallery->DrawWithThemes());
  QImage classic = Shot();

  // The classic header is the raised edge: white on its top-left line, dark on its bottom-right.
  EXPECT_EQ(At(classic, 10, 10), Rgb(GetSysColor(COLOR_3DLIGHT)));
  EXPECT_EQ(At(classic, 109, 33), Rgb(GetSysColor(COLOR_3DDKSHADOW)));
  // The themed one is the desktop style's section: its corners are not the bevel's colours.
  EXPECT_NE(At(themed, 10, 10), At(classic, 10, 10));
  EXPECT_NE(At(themed, 109, 33), At(classic, 109, 33));
  // Every themed part drew inside its rectangle and nothing around it.
  auto changed = [&](const TRect& r) {
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x)
        if (At(themed, x, y) != Rgb(GetSysColor(COLOR_WINDOW))) return true;
    return false;
  };
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(changed(HeaderRect(i))) << i;
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(changed(ButtonRect(i))) << i;
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(changed(CheckRect(i))) << i;
  EXPECT_FALSE(changed(TRect{0, 0, 420, 10}));
  EXPECT_FALSE(changed(TRect{0, 36, 5, 130}));
  // Pressed and normal sections differ; a selected item is filled with the highlight colour (the
  // style takes its palette from the system colours), a normal one is not.
  EXPECT_NE(themed.copy(11, 12, 98, 20), themed.copy(211, 12, 98, 20));
  EXPECT_EQ(At(themed, 215, 82), Rgb(GetSysColor(COLOR_HIGHLIGHT)));
  EXPECT_NE(At(themed, 315, 82), Rgb(GetSysColor(COLOR_HIGHLIGHT)));  // selected, not focused
  EXPECT_EQ(At(themed, 15, 82), Rgb(GetSysColor(COLOR_WINDOW)));
  EXPECT_EQ(At(classic, 215, 82), Rgb(GetSysColor(COLOR_HIGHLIGHT)));

  QImage both(themed.width(), themed.height() * 2 + 4, QImage::Format_RGB32);
  both.fill(Qt::black);
  {
    QPainter p(&both);
    p.drawImage(0, 0, themed);
    p.drawImage(0, themed.height() + 4, classic);
  }
  const char* dir = std::getenv("PO_SCREENSHOT_DIR");
  std::string path = (dir ? std::filesystem::path(dir) : testsupport::MakeTempDir("shot")) / "theme-parts.png";
  EXPECT_TRUE(both.save(QString::fromStdString(path)));
}

// The classic check box 13 × 13 at (90, 110): a sunken edge of 2, then a 9 × 9 face with the
// 7 × 7 tick one pixel in. Each tick column is 3 pixels high, from rows 2, 3, 4 down to the third
// column, then 3, 2, 1, 0 up again.
TEST_F(ThemeDrawing, TheClassicCheckBoxIsTicked) {
  pf::testing::SetThemesActive(false);
  QImage img = Shot();
  auto tickAt = [](int col, int row) {
    int top = col <= 2 ? 2 + col : 6 - col;
    return row >= top && row < top + 3;
  };
  struct Case {
    const char* name;
    int box;  // index into the gallery's check boxes
    COLORREF face, mark;
  } cases[] = {
      {"checked", 4, GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT)},
      {"checked and pressed", 6, GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_WINDOWTEXT)},
      {"checked and disabled: grey", 7, GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_GRAYTEXT)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TRect box = CheckRect(c.box);
    // Every pixel of the face, the tick's and the rest.
    for (int row = 0; row < 9; ++row)
      for (int col = 0; col < 9; ++col) {
        bool mark = col >= 1 && col < 8 && row >= 1 && row < 8 && tickAt(col - 1, row - 1);
        EXPECT_EQ(At(img, box.Left + 2 + col, box.Top + 2 + row), Rgb(mark ? c.mark : c.face)) << col << "," << row;
      }
  }
  // Unchecked: the face alone.
  for (int row = 0; row < 9; ++row)
    for (int col = 0; col < 9; ++col) EXPECT_EQ(At(img, CheckRect(0).Left + 2 + col, 112 + row), Rgb(GetSysColor(COLOR_WINDOW)));
  const char* dir = std::getenv("PO_SCREENSHOT_DIR");
  std::string path = (dir ? std::filesystem::path(dir) : testsupport::MakeTempDir("shot")) / "check-ticks.png";
  EXPECT_TRUE(img.copy(5, 105, 165, 23).scaled(165 * 6, 23 * 6).save(QString::fromStdString(path)));
}

// The sizes the layer gives for parts: the check box as large as the style draws it, the tree's
// glyph 9, the drop-down button a scroll bar's width; any other part the rectangle it is given.
TEST_F(ThemeDrawing, PartSizesAndColours) {
  HTHEME button = OpenThemeData(Gallery->Handle(), u"Button");
  HTHEME tree = OpenThemeData(Gallery->Handle(), u"TreeView");
  HTHEME combo = OpenThemeData(Gallery->Handle(), u"ComboBox");
  HTHEME list = OpenThemeData(Gallery->Handle(), u"ListView");
  HTHEME header = OpenThemeData(Gallery->Handle(), u"Header");
  ASSERT_TRUE(button && tree && combo && list && header);
  const TRect given{0, 0, 40, 30};
  struct SizeCase {
    const char* name;
    HTHEME theme;
    int part;
    const TRect* rect;
    TSize size;
  } sizes[] = {
      {"tree glyph", tree, TVP_GLYPH, nullptr, {9, 9}},
      {"drop-down button", combo, CP_DROPDOWNBUTTON, nullptr, {17, 17}},
      {"a push button takes the rectangle", button, BP_PUSHBUTTON, &given, {40, 30}},
      {"without one, nothing", list, LVP_LISTITEM, nullptr, {0, 0}},
  };
  for (const SizeCase& c : sizes) {
    SCOPED_TRACE(c.name);
    TSize s{-1, -1};
    EXPECT_EQ(GetThemePartSize(c.theme, nullptr, c.part, 1, c.rect, TS_TRUE, &s), 0);
    EXPECT_EQ(s.cx, c.size.cx);
    EXPECT_EQ(s.cy, c.size.cy);
  }
  // The check box: square, and what the style draws in a rectangle of that size reaches its edges.
  TSize check{};
  ASSERT_EQ(GetThemePartSize(button, nullptr, BP_CHECKBOX, CBS_UNCHECKEDNORMAL, nullptr, TS_TRUE, &check), 0);
  EXPECT_EQ(check.cx, check.cy);
  EXPECT_GE(check.cx, 9);
  {
    Owned<TBitmap> b(TBitmap::New());
    b->SetPixelFormat(TPixelFormat::pf32bit);
    b->SetSize(check.cx + 4, check.cy + 4);
    HDC dc = b->GetCanvas()->GetHandle();
    TRect all{0, 0, check.cx + 4, check.cy + 4};
    FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
    TRect r{2, 2, 2 + check.cx, 2 + check.cy};
    ASSERT_EQ(DrawThemeBackground(button, dc, BP_CHECKBOX, CBS_UNCHECKEDNORMAL, &r, nullptr), 0);
    auto column = [&](int x) {
      for (int y = 0; y < check.cy + 4; ++y)
        if (b->GetCanvas()->GetPixel(x, y) != static_cast<TColor>(GetSysColor(COLOR_WINDOW))) return true;
      return false;
    };
    EXPECT_FALSE(column(1));
    EXPECT_TRUE(column(2));
    EXPECT_TRUE(column(1 + check.cx));
    EXPECT_FALSE(column(2 + check.cx));
  }
  // Colours: a selected list item is the highlight with its text colour; buttons and headers the
  // face and button text; the rest the window's.
  struct ColourCase {
    const char* name;
    HTHEME theme;
    int part, state, prop;
    HRESULT answer;
    COLORREF colour;
  } colours[] = {
      {"selected item fill", list, LVP_LISTITEM, LISS_SELECTED, TMT_FILLCOLOR, 0, GetSysColor(COLOR_HIGHLIGHT)},
      {"selected item text", list, LVP_LISTITEM, LISS_HOTSELECTED, TMT_TEXTCOLOR, 0, GetSysColor(COLOR_HIGHLIGHTTEXT)},
      {"normal item fill", list, LVP_LISTITEM, LISS_NORMAL, TMT_FILLCOLOR, 0, GetSysColor(COLOR_WINDOW)},
      {"normal item text", list, LVP_LISTITEM, LISS_NORMAL, TMT_TEXTCOLOR, 0, GetSysColor(COLOR_WINDOWTEXT)},
      {"button face", button, BP_PUSHBUTTON, PBS_NORMAL, TMT_FILLCOLOR, 0, GetSysColor(COLOR_BTNFACE)},
      {"header text", header, HP_HEADERITEM, HIS_NORMAL, TMT_TEXTCOLOR, 0, GetSysColor(COLOR_BTNTEXT)},
      {"a property the layer does not know", list, LVP_LISTITEM, LISS_NORMAL, 9999, THEME_E_NOTFOUND, 0x123456},
  };
  for (const ColourCase& c : colours) {
    SCOPED_TRACE(c.name);
    COLORREF got = 0x123456;
    EXPECT_EQ(GetThemeColor(c.theme, c.part, c.state, c.prop, &got), c.answer);
    EXPECT_EQ(got, c.colour);
  }
  // The list view's border colour is the one its frame is drawn in.
  {
    Owned<TBitmap> b(TBitmap::New());
    b->SetPixelFormat(TPixelFormat::pf32bit);
    b->SetSize(20, 20);
    TRect r{0, 0, 20, 20};
    ASSERT_EQ(DrawThemeBackground(list, b->GetCanvas()->GetHandle(), LVP_BORDER, 1, &r, nullptr), 0);
    COLORREF border = 0;
    ASSERT_EQ(GetThemeColor(list, LVP_BORDER, 1, TMT_BORDERCOLOR, &border), 0);
    EXPECT_EQ(ColorToRGB(b->GetCanvas()->GetPixel(0, 10)), static_cast<TColor>(border));
  }
  // A closed handle answers for nothing.
  CloseThemeData(tree);
  TSize s{};
  COLORREF colour = 0;
  EXPECT_NE(GetThemePartSize(tree, nullptr, TVP_GLYPH, 1, nullptr, TS_TRUE, &s), 0);
  EXPECT_NE(GetThemeColor(tree, TVP_GLYPH, 1, TMT_FILLCOLOR, &colour), 0);
  EXPECT_NE(GetThemeColor(list, LVP_LISTITEM, 1, TMT_FILLCOLOR, nullptr), 0);
  for (HTHEME t : {button, combo, list, header}) CloseThemeData(t);
}

TEST_F(ThemeDrawing, TheDCsOriginAndClipHold) {
  TBitmap* b = TBitmap::New();
  b->SetPixelFormat(TPixelFormat::pf32bit);
  b->SetSize(60, 40);
  HDC dc = b->GetCanvas()->GetHandle();
  TRect all{0, 0, 60, 40};
  FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
  HTHEME t = OpenThemeData(Gallery->Handle(), u"NoSuchClass; Button");
  ASSERT_NE(t, nullptr);
  // Logical (0, 0) is at (10, 5); the clip keeps the part's right half out.
  SetViewportOrgEx(dc, 10, 5, nullptr);
  IntersectClipRect(dc, 0, 0, 20, 30);
  TRect r{0, 0, 40, 30};
  EXPECT_EQ(DrawThemeBackground(t, dc, BP_PUSHBUTTON, PBS_NORMAL, &r, nullptr), 0);
  auto px = [b](int x, int y) {
    const Byte* p = b->ScanLine(y) + x * 4;
    return RGB(p[2], p[1], p[0]);
  };
  COLORREF window = GetSysColor(COLOR_WINDOW);
  EXPECT_EQ(px(9, 20), window);
  EXPECT_NE(px(10, 20), window);  // the frame's left line
  EXPECT_EQ(px(30, 20), window);  // clipped
  EXPECT_EQ(px(20, 4), window);
  CloseThemeData(t);
  EXPECT_NE(DrawThemeBackground(t, dc, BP_PUSHBUTTON, PBS_NORMAL, &r, nullptr), 0);
  b->Free();
}

}  // namespace
