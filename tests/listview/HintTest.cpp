// Hints over groups and items: a group's hint lasts while the mouse stays in the margin it was
// asked over, and a caption's tool tip is decided by the caption as its view paints it.
#include "ListviewTestUtil.h"
#include "common/CommonUtilities.h"
#include "platform/classlib/Controls.h"

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

}  // namespace
}  // namespace lvtest
