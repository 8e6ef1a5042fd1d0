// Hints over groups and items: a group's hint lasts while the mouse stays in the margin it was
// asked over, and a caption's tool tip is decided by the caption as its view paints it. The list's
// hint window shown by the application after the pause: its size and its pixels, worked out with
// a font of 8-pixel characters 16 pixels high, and the two events that customise and draw it.
#include <QEvent>

#include "ListviewTestUtil.h"
#include "common/CommonUtilities.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Hints.h"
#include "platform/gdi/FontSource.h"
#include "platform/rtl/Clock.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"

namespace lvtest {
namespace {

class HintTest : public ListviewTest {
protected:
  std::pair<LRESULT, THintInfo> Ask(TPoint p) {
    THintInfo info;
    info.HintControl = LV;
    info.CursorPos = p;
    info.HintStr = LV->GetHint();
    const LRESULT r = LV->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
    return {r, info};
  }
  TRect ToWindow(const TRect& r) const { return LV->GetScrollbars()->MapViewRectToWindowRect(r); }
  static TPoint Middle(const TRect& r) { return TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}; }
};

TEST_F(HintTest, AGroupsHintLastsWhileTheMouseStaysInTheMarginItWasAskedOver) {
  MakeList();
  LV->SetBorderStyle(TBorderStyle::bsNone);
  LV->SetShowGroupMargins(true);
  TEmberPaintInfoBaseGroup* paint = LV->GetPaintInfoGroup();
  for (TEmberMargin* m : std::initializer_list<TEmberMargin*>{paint->GetMarginTop(), paint->GetMarginBottom(),
                                                              paint->GetMarginLeft(), paint->GetMarginRight()}) {
    m->SetVisible(true);
    m->SetSize(24);
  }
  TEmberGroup* g = LV->GetGroups()->Add();
  g->SetCaption(u"Prints");
  for (Integer i = 0; i < 3; ++i) g->GetItems()->Add()->SetCaption(u"photo");
  LV->GetGroups()->Rebuild(true);
  LV->SetHint(u"group");
  LV->GetHintInfo()->SetHintType(TEmberHintType::ehtText);
  TEmberCollectionItem* asked = nullptr;
  LV->OnHintPopup = [&](TCustomEmberListview*, TEmberCollectionItem* target, TEmberHintType, TPoint, WideString&,
                        Integer&, Integer&, bool&) { asked = target; };
  struct Case {
    const char* what;
    TRect margin;  // view coordinates
  } cases[] = {
      {"header", g->GetBoundsRectTopMargin()},
      {"footer", g->GetBoundsRectBottomMargin()},
      {"left", g->GetBoundsRectLeftMargin()},
      {"right", g->GetBoundsRectRightMargin()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_FALSE(IsRectEmptyEx(c.margin));
    const TRect window = ToWindow(c.margin);
    auto [result, info] = Ask(Middle(window));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(asked, g);
    EXPECT_EQ(info.CursorRect, window);
    EXPECT_NE(info.CursorRect, ToWindow(g->GetDisplayRect()));
  }
}

// Below the last group nothing is under the mouse: the control's own hint still shows.
TEST_F(HintTest, TheControlsHintShowsWhereNoGroupIs) {
  MakeList();
  TEmberGroup* g = LV->GetGroups()->Add();
  g->GetItems()->Add()->SetCaption(u"photo");
  LV->GetGroups()->Rebuild(true);
  LV->SetHint(u"list");
  const TPoint below{20, 290};
  ASSERT_EQ(LV->GetGroups()->GroupByPoint(LV->GetScrollbars()->MapWindowToView(below)), nullptr);
  auto [result, info] = Ask(below);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(info.HintStr, u"list");
  EXPECT_EQ(LV->HintData().TargetObj, nullptr);
}

// The caption fits the text rectangle in the control's font but not in bold: only the bold item,
// measured in the font its view paints it with, asks for a tool tip.
TEST_F(HintTest, ACaptionNeedsATipByTheFontItsViewPaintsItWith) {
  MakeList();
  LV->SetBorderStyle(TBorderStyle::bsNone);
  LV->SetView(TEmberListStyle::elsReport);
  TEmberHeader* h = LV->GetHeader();
  h->SetVisible(true);
  TEmberColumn* col = h->GetColumns()->Add();
  // Rows tall enough for a whole line: only the width decides.
  LV->GetCellSizes()->GetReport()->SetHeight(24);
  TEmberGroup* g = LV->GetGroups()->Add();
  const String caption = u"Wedding portraits WWWWWWWWWW";
  TEmberItem* plain = g->GetItems()->Add();
  plain->SetCaption(caption);
  TEmberItem* bold = g->GetItems()->Add();
  bold->SetCaption(caption);
  bold->SetBold(true);
  LV->SetHint(u"x");
  LV->GetHintInfo()->SetHintType(TEmberHintType::ehtToolTip);
  LV->OnHintPopup = [&](TCustomEmberListview*, TEmberCollectionItem*, TEmberHintType, TPoint, WideString& text,
                        Integer&, Integer&, bool&) { text = caption; };

  // The caption's widths in the two fonts, as the platform measures them.
  TCanvas* c = LV->GetScratchCanvas();
  auto width = [&](bool inBold) {
    c->SetFont(LV->GetFont());
    if (inBold) c->GetFont()->SetStyle(c->GetFont()->GetStyle() + TFontStyle::fsBold);
    return c->TextWidth(caption);
  };
  const Integer plainWidth = width(false);
  const Integer boldWidth = width(true);
  ASSERT_GT(boldWidth, plainWidth + 4);
  // A column width that cuts the bold caption's text rectangle between the two widths.
  bool found = false;
  for (Integer w = plainWidth; w < boldWidth + 60 && !found; ++w) {
    col->SetWidth(w);
    LV->GetGroups()->Rebuild(true);
    TEmberRectArrayObject ra;
    bold->ItemRectArray(col, c, ra);
    found = ra.TextRect.Width() >= plainWidth + 1 && ra.TextRect.Width() < boldWidth - 1;
  }
  ASSERT_TRUE(found);
  for (TEmberItem* item : {plain, bold}) {
    SCOPED_TRACE(item == bold ? "bold" : "plain");
    TEmberRectArrayObject ra;
    item->ItemRectArray(col, c, ra);
    auto [result, info] = Ask(Middle(ToWindow(ra.TextRect)));
    EXPECT_EQ(result == 0, item == bold);
  }
}

// The application's hint machinery over a report list of one item "photo" in a form at (40, 40).
class HintWindowTest : public ListviewTest {
protected:
  void SetUp() override {
    pf::SetFontSourceFactory(pf::FixedFontSourceFactory(pf::TFixedFontMetrics{}));
    pf::clock::UseManual(1000);
    // Hints are the application's: the list's other tests run without one, these start it.
    pf::InitializeForms();
    Application->ResetForTests();
    ListviewTest::SetUp();
    Form->SetLeft(40);
    Form->SetTop(40);
    MakeList();
    LV->SetBorderStyle(TBorderStyle::bsNone);
    LV->SetView(TEmberListStyle::elsReport);
    LV->GetHeader()->GetColumns()->Add()->SetWidth(200);
    Item = LV->GetGroups()->Add()->GetItems()->Add();
    Item->SetCaption(u"photo");
    LV->SetShowHint(true);
    Form->Show();
    Application->ProcessMessages();
  }
  void TearDown() override {
    // The hint window reads the list's hint record: it goes first.
    Application->ResetForTests();
    ListviewTest::TearDown();
    pf::FinalizeForms();
    pf::clock::UseReal();
    pf::SetFontSourceFactory(nullptr);
  }
  // The pointer comes to rest on the item's caption and the hint pause passes.
  THintWindow* ShowHintOverItem() {
    TEmberRectArrayObject ra;
    Item->ItemRectArray(LV->GetHeader()->FirstColumn(), LV->GetScratchCanvas(), ra);
    const TRect r = LV->GetScrollbars()->MapViewRectToWindowRect(ra.TextRect);
    Cursor = TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    pf::testing::SetCursorScreenPos(LV->ClientToScreen(Cursor));
    guitest::Mouse(LV->Handle(), QEvent::MouseMove, Qt::NoButton, Cursor);
    Application->ProcessMessages();
    pf::clock::Advance(Application->HintPause);
    Application->ProcessMessages();
    THintWindow* w = Application->GetHintWindow();
    if (!w || !w->HandleAllocated() || !IsWindowVisible(w->Handle())) return nullptr;
    guitest::PumpPending();
    return w;
  }
  // The window's place relative to where the application puts hints: below the pointer.
  TRect Placed(THintWindow* w) const {
    TRect r;
    GetWindowRect(w->Handle(), &r);
    const TPoint at = LV->HintData().HintPos;
    return TRect{r.Left - at.X, r.Top - at.Y, r.Right - at.X, r.Bottom - at.Y};
  }
  static uint32_t Px(THintWindow* w, Integer x, Integer y) {
    return layer::Find(w->Handle())->Surface->PixelRGB(x, y);
  }
  // The first and last inked columns of a row between the frame's sides (-1 when none).
  static std::pair<Integer, Integer> InkSpan(THintWindow* w, Integer y, uint32_t ink = 0x000000) {
    std::pair<Integer, Integer> span{-1, -1};
    for (Integer x = 1; x < w->GetClientWidth() - 1; ++x)
      if (Px(w, x, y) == ink) {
        if (span.first < 0) span.first = x;
        span.second = x;
      }
    return span;
  }
  TEmberItem* Item{nullptr};
  TPoint Cursor;
};

constexpr uint32_t kInfoBk = 0xFFFFE1, kInfoText = 0x000000;

// The text is measured at the screen's width, 6 wider and 2 taller than its lines, and drawn 2 in
// from the window's edges by the list's hint alignment: a line of n characters inks from its start
// + 1 to its start + 8n - 2, at the middle row of its 16-pixel line (2 + 16 × line + 8).
TEST_F(HintWindowTest, TheTextHintIsSizedToItsLinesAndDrawnByTheHintAlignment) {
  struct Line {
    Integer start;  // x of the line's first character cell
    Integer chars;
  };
  struct Case {
    const char16_t* text;
    TAlignment align;
    Integer width, height;
    std::vector<Line> lines;
  };
  const Case cases[] = {
      // 7 × 8 + 6 = 62 by 16 + 2.
      {u"Wedding", TAlignment::taLeftJustify, 62, 18, {{2, 7}}},
      // The longer line, 48, gives 54 by 2 × 16 + 2; the lines sit in the 50 pixels from x 2.
      {u"ab\nabcdef", TAlignment::taLeftJustify, 54, 34, {{2, 2}, {2, 6}}},
      {u"ab\nabcdef", TAlignment::taCenter, 54, 34, {{19, 2}, {3, 6}}},  // 2 + (50 - 16) div 2
      {u"ab\nabcdef", TAlignment::taRightJustify, 54, 34, {{36, 2}, {4, 6}}},  // 52 - 16
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.align));
    Application->ResetForTests();
    LV->SetHint(c.text);
    LV->SetHintAlignment(c.align);
    THintWindow* w = ShowHintOverItem();
    ASSERT_NE(w, nullptr);
    EXPECT_NE(dynamic_cast<TEmberHintWindow*>(w), nullptr);
    EXPECT_EQ(Placed(w), (TRect{0, 0, c.width, c.height}));
    EXPECT_EQ(Px(w, 0, 0), kInfoText) << "the frame";
    EXPECT_EQ(Px(w, 1, 1), kInfoBk);
    for (size_t i = 0; i < c.lines.size(); ++i) {
      const Line& l = c.lines[i];
      const Integer y = 2 + 16 * static_cast<Integer>(i) + 8;
      EXPECT_EQ(InkSpan(w, y), std::make_pair(l.start + 1, l.start + 8 * l.chars - 2)) << "line " << i;
    }
  }
}

// OnHintCustomInfo sees the hint about to be measured and may change it: a longer text is measured
// and drawn, a colour paints the background, a window position moves the window there.
TEST_F(HintWindowTest, OnHintCustomInfoChangesTheHintBeforeItIsMeasured) {
  LV->SetHint(u"photo");
  const Integer screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const TColor green = 0x00C000;  // 0x00C000 on the screen as well
  struct Seen {
    TEmberCollectionItem* target{nullptr};
    TEmberHintType type{TEmberHintType::ehtToolTip};
    String text;
    TPoint cursor;
    Integer maxWidth{0};
    TRect bounds;
    TColor color{clNone};
    TCanvas* canvas{nullptr};
  } seen;
  TPoint moveTo{-1, -1};
  LV->OnHintCustomInfo = [&](TCustomEmberListview*, TEmberCollectionItem* target, TEmberHintInfo* info) {
    seen = Seen{target, info->GetHintType(), info->Text, info->CursorPos, info->MaxWidth,
                info->Bounds, info->Color, info->Canvas};
    info->Text = u"photo 1 of 12";
    info->Color = green;
    if (moveTo.X >= 0) info->WindowPos = moveTo;
  };
  THintWindow* w = ShowHintOverItem();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(seen.target, Item);
  EXPECT_EQ(seen.type, TEmberHintType::ehtText);
  EXPECT_EQ(seen.text, String(u"photo"));
  EXPECT_EQ(seen.cursor, Cursor);
  EXPECT_EQ(seen.maxWidth, screenWidth);
  EXPECT_EQ(seen.bounds, (TRect{0, 0, screenWidth, 0}));
  EXPECT_EQ(seen.color, clInfoBk);
  EXPECT_EQ(seen.canvas, w->GetCanvas());
  // 13 characters: 110 by 18, inked from 3 to 104; the background is the handler's green.
  EXPECT_EQ(Placed(w), (TRect{0, 0, 110, 18}));
  EXPECT_EQ(InkSpan(w, 10), std::make_pair(3, 104));
  EXPECT_EQ(Px(w, 1, 1), 0x00C000u);
  EXPECT_EQ(Px(w, 107, 10), 0x00C000u);

  // A window position of the handler's: the window stands there.
  Application->ResetForTests();
  moveTo = TPoint{300, 200};
  w = ShowHintOverItem();
  ASSERT_NE(w, nullptr);
  TRect r;
  GetWindowRect(w->Handle(), &r);
  EXPECT_EQ(r, (TRect{300, 200, 410, 218}));
}

// A custom-drawn hint takes the size the handler gives its bounds; OnHintCustomDraw paints inside
// the frame, 2 in from each edge, on the window's canvas.
TEST_F(HintWindowTest, OnHintCustomDrawPaintsTheHintInsideItsBounds) {
  LV->SetHint(u"photo");
  LV->OnHintCustomInfo = [](TCustomEmberListview*, TEmberCollectionItem*, TEmberHintInfo* info) {
    info->SetHintType(TEmberHintType::ehtCustomDraw);
    info->Bounds = TRect{0, 0, 100, 40};
  };
  int draws = 0;
  TEmberCollectionItem* target = nullptr;
  TRect drawBounds;
  LV->OnHintCustomDraw = [&](TCustomEmberListview*, TEmberCollectionItem* t, const TEmberHintInfo* info) {
    ++draws;
    target = t;
    drawBounds = info->Bounds;
    info->Canvas->GetBrush()->SetStyle(TBrushStyle::bsSolid);
    info->Canvas->GetBrush()->SetColor(0x0000FF);  // red
    info->Canvas->FillRect(info->Bounds);
  };
  THintWindow* w = ShowHintOverItem();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(Placed(w), (TRect{0, 0, 100, 40}));
  EXPECT_GE(draws, 1);
  EXPECT_EQ(target, Item);
  EXPECT_EQ(drawBounds, (TRect{2, 2, 98, 38}));
  struct Probe {
    Integer x, y;
    uint32_t rgb;
  };
  for (const Probe& p : {Probe{0, 0, kInfoText}, Probe{99, 39, kInfoText}, Probe{1, 1, kInfoBk}, Probe{98, 38, kInfoBk},
                         Probe{2, 2, 0xFF0000}, Probe{97, 37, 0xFF0000}, Probe{50, 20, 0xFF0000}})
    EXPECT_EQ(Px(w, p.x, p.y), p.rgb) << p.x << "," << p.y;

  // The type was the handler's choice for that hint only: without it the next hint is the list's
  // text hint again, which the handler does not draw.
  EXPECT_EQ(LV->GetHintType(), TEmberHintType::ehtText);
  LV->OnHintCustomInfo = nullptr;
  Application->ResetForTests();
  draws = 0;
  ASSERT_NE(ShowHintOverItem(), nullptr);
  EXPECT_EQ(draws, 0);
}

}  // namespace
}  // namespace lvtest
