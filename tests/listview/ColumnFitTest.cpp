// Report columns: a column fitted to its captions measures them in the font they are painted
// with and makes room for the check box as drawn; and after the columns are dragged, the row's
// first cell is the first column on the screen.
#include <QImage>
#include <QWidget>
#include <cstdlib>
#include <filesystem>

#include "ListviewTestUtil.h"
#include "common/CommonObjects.h"
#include "listview/EmberItemViews.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"

namespace lvtest {
namespace {

class ColumnFitTest : public ListviewTest {
protected:
  // A shown report view without a border, its header visible, with the given column widths.
  void Build(std::initializer_list<Integer> widths) {
    MakeList();
    LV->SetBorderStyle(TBorderStyle::bsNone);
    LV->SetThemed(false);
    LV->SetColor(clWhite);
    LV->SetView(TEmberListStyle::elsReport);
    H = LV->GetHeader();
    H->SetVisible(true);
    for (Integer w : widths) {
      TEmberColumn* c = H->GetColumns()->Add();
      c->SetCaption(String(1, static_cast<Char>(u'A' + H->GetColumns()->GetCount() - 1)));
      c->SetWidth(w);
    }
    G = LV->GetGroups()->Add();
    Form->Show();
    guitest::PumpPending();
  }
  TEmberItem* AddItem(std::initializer_list<const char16_t*> captions) {
    TEmberItem* it = G->GetItems()->Add();
    Integer i = 0;
    for (const char16_t* c : captions) it->SetCaptions(i++, c);
    return it;
  }
  Integer TextWidth(const String& text, bool bold) {
    TCanvas* c = LV->GetScratchCanvas();
    c->SetFont(LV->GetFont());
    if (bold) c->GetFont()->SetStyle(c->GetFont()->GetStyle() + TFontStyle::fsBold);
    return c->TextWidth(text);
  }
  // Double click on the right divider of the column.
  void DoubleClickDivider(TEmberColumn* c) {
    const Integer x = c->GetDisplayRect().Right;
    TMessage m{WM_LBUTTONDBLCLK, MK_LBUTTON, static_cast<LPARAM>((x & 0xFFFF) | (10 << 16)), 0};
    H->WMLButtonDblClk(m);
  }
  uint32_t Px(Integer x, Integer y) { return layer::Find(LV->Handle())->Surface->PixelRGB(x, y); }
  static bool Ink(uint32_t rgb) { return ((rgb >> 16) & 0xFF) + ((rgb >> 8) & 0xFF) + (rgb & 0xFF) < 384; }

  TEmberHeader* H{nullptr};
  TEmberGroup* G{nullptr};
};

// A bold caption fitted by a double click on its divider is painted whole: the ink reaches as far
// as the bold text is wide, and its last letter (an M) stands the full height of the line, where
// a shortened caption would end in dots on the baseline. A picture is saved when
// PO_SCREENSHOT_DIR is set.
TEST_F(ColumnFitTest, ABoldCaptionFittedByTheDividerIsNotCut) {
  Build({40, 60});
  const String caption = u"Summer prints MM";
  AddItem({u"short"});
  TEmberItem* bold = AddItem({caption.c_str()});
  bold->SetBold(true);
  std::vector<bool> boldWhenAsked;
  LV->OnItemPaintText = [&](TCustomEmberListview*, TEmberItem* item, Integer, TCanvas* canvas) {
    if (item == bold) boldWhenAsked.push_back(canvas->GetFont()->GetStyle().Contains(TFontStyle::fsBold));
  };
  TEmberColumn* col = H->GetColumns()->GetColumn(0);
  DoubleClickDivider(col);
  const Integer boldWidth = TextWidth(caption, true);
  EXPECT_EQ(col->GetWidth(), boldWidth + 8);
  ASSERT_FALSE(boldWhenAsked.empty());
  EXPECT_TRUE(boldWhenAsked.front()) << "the handler sees the font the view loaded";

  LV->OnItemPaintText = nullptr;
  LV->GetGroups()->Rebuild(true);
  InvalidateRect(LV->Handle(), nullptr, false);
  UpdateWindow(LV->Handle());
  TEmberRectArrayObject ra;
  bold->ItemRectArray(col, LV->GetScratchCanvas(), ra);
  const TRect text = LV->GetScrollbars()->MapViewRectToWindowRect(ra.TextRect);
  const Integer colRight = col->GetDisplayRect().Right;
  Integer end = -1;
  for (Integer x = text.Left; x < colRight; ++x)
    for (Integer y = text.Top; y < text.Bottom; ++y)
      if (Ink(Px(x, y))) end = x;
  if (const char* dir = std::getenv("PO_SCREENSHOT_DIR")) {
    const std::filesystem::path path = std::filesystem::path(dir) / "column-fitted-bold.png";
    EXPECT_TRUE(layer::WidgetOf(Form->Handle())->grab().toImage().save(QString::fromStdString(path.string())));
  }
  ASSERT_GE(end, 0);
  EXPECT_GE(end, text.Left + boldWidth - 4);
  // The upper half of the line near the end holds the M's strokes.
  const Integer mid = (text.Top + text.Bottom) / 2;
  bool upper = false;
  for (Integer x = end - 3; x <= end; ++x)
    for (Integer y = text.Top; y < mid; ++y) upper = upper || Ink(Px(x, y));
  EXPECT_TRUE(upper);
}

// The check box makes room as wide as its glyph is drawn, not its nominal size; a list without
// items fits to nothing.
TEST_F(ColumnFitTest, TheCheckBoxAddsTheWidthOfItsBounds) {
  Build({40});
  TEmberColumn* col = H->GetColumns()->GetColumn(0);
  col->AutoSizeToFit();
  EXPECT_EQ(col->GetWidth(), 0);
  TEmberItem* item = AddItem({u"Prints"});
  item->SetCheckType(TEmberCheckType::ectBox);
  TRect bounds{};
  ASSERT_NE(common::CheckBound, nullptr);
  struct Case {
    Integer size, indent;
  } cases[] = {{9, 2}, {13, 4}, {20, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    item->SetCheckSize(c.size);
    item->SetCheckIndent(c.indent);
    common::CheckBound->Bound(c.size, bounds);
    col->AutoSizeToFit();
    EXPECT_EQ(col->GetWidth(), TextWidth(u"Prints", false) + 8 + bounds.Width() + c.indent);
  }
}

// Column C dragged to the front: the row's first cell without a column named is C's, for the
// cell's rectangles and for the full-row hit test; the caption measured is C's.
TEST_F(ColumnFitTest, TheColumnDraggedToTheFrontIsTheRowsFirstCell) {
  Build({100, 80, 120});
  LV->GetSelection()->SetFullRowSelect(true);
  TEmberItem* item = AddItem({u"a", u"bb", u"cccccccccc"});
  item->SetSelected(true);
  TEmberColumn* c = H->GetColumns()->GetColumn(2);
  c->SetPosition(0);
  H->Rebuild(true);
  LV->GetGroups()->Rebuild(true);
  ASSERT_EQ(H->FirstColumnByPosition(), c);
  ASSERT_EQ(c->GetDisplayRect().Left, 0);
  TEmberViewItem* view = item->GetView();
  ASSERT_NE(view, nullptr);
  const TRect bounds = view->ItemRect(item, nullptr, TEmberCellRectType::ertBounds);
  EXPECT_EQ(bounds.Left, 0);
  EXPECT_EQ(bounds.Right, 120);
  const TRect text = view->ItemRect(item, nullptr, TEmberCellRectType::ertText);
  EXPECT_EQ(text.Width(), TextWidth(u"cccccccccc", false));
  // A point on C's caption is on the row's first cell; one on A's caption, now in the middle,
  // is not.
  const TRect a = view->ItemRect(item, H->GetColumns()->GetColumn(0), TEmberCellRectType::ertText);
  EXPECT_GE(a.Left, 120);
  EXPECT_TRUE(view->PtInItemArea(item, TPoint{text.Left + 2, (text.Top + text.Bottom) / 2}));
  EXPECT_FALSE(view->PtInItemArea(item, TPoint{a.Left + 2, (a.Top + a.Bottom) / 2}));
}

// Reaches the drag manager's step over the control, which a drag over the window normally runs.
struct DragAccess : TEmberOLEDragManager {
  static void Over(TEmberOLEDragManager* M, TPoint WindowPt) {
    TCommonDropEffect effect = TCommonDropEffect::cdeCopy;
    (M->*(&DragAccess::DoDrag))(TCommonKeyStates{}, WindowPt, effect);
  }
};

// Rows shorter than the header: the row under the mouse is the one clicked and the one a drag
// marks as its target, not the row above it.
TEST_F(ColumnFitTest, BelowTheHeaderTheRowUnderTheMouseIsTheOneTaken) {
  Build({200});
  for (const char16_t* c : {u"a", u"b", u"c", u"d", u"e"}) AddItem({c});
  LV->GetGroups()->Rebuild(true);
  ASSERT_GT(H->RuntimeHeight(), G->GetItem(0)->GetDisplayRect().Height());
  std::string clicked;
  LV->OnItemClick = [&](TCustomEmberListview*, TEmberItem* i, TCommonKeyStates, TEmberItemHitTestInfoSet) {
    clicked = Name(i);
  };
  for (Integer row = 0; row < G->GetItemCount(); ++row) {
    TEmberItem* item = G->GetItem(row);
    SCOPED_TRACE(Name(item));
    TEmberRectArrayObject ra;
    item->ItemRectArray(nullptr, LV->GetScratchCanvas(), ra);
    const TRect w = LV->GetScrollbars()->MapViewRectToWindowRect(ra.TextRect);
    const TPoint p{(w.Left + w.Right) / 2, (w.Top + w.Bottom) / 2};
    const LPARAM lp = static_cast<LPARAM>((p.X & 0xFFFF) | ((p.Y & 0xFFFF) << 16));
    clicked.clear();
    SendMessage(LV->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, lp);
    SendMessage(LV->Handle(), WM_LBUTTONUP, 0, lp);
    EXPECT_EQ(clicked, Name(item));
    DragAccess::Over(LV->GetDragManager(), p);
    EXPECT_EQ(LV->GetDragManager()->GetDropTarget(), item);
  }
}

}  // namespace
}  // namespace lvtest
