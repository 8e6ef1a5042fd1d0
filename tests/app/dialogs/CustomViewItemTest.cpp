// The order list's photo cell: its text rows, and what it paints in the main window's 214 × 310
// cell (the list view then paints nothing of its own there).
#include "app/dialogs/DialogsFixture.h"
#include "app/uCustomViewItem.h"
#include "orderui/uListsUI.h"
#include "platform/gdi/Bitmap.h"

namespace {

using namespace dlgtest;
using ember::TEmberListStyle;
using ember::TEmberListview;

class CustomViewItemTest : public DialogsTest {
protected:
  void SetUp() override {
    DialogsTest::SetUp();
    Form = TForm::New(Application);
    List = TEmberListview::New(Form);
    List->SetParent(Form);
    List->SetBounds(0, 0, 500, 400);
    List->SetView(TEmberListStyle::elsThumbnail);
    List->GetCellSizes()->GetThumbnail()->SetSize(214, 310);
    List->OnItemCustomView = [](ember::TCustomEmberListview*, ember::TEmberItem*, TEmberListStyle,
                                const ember::TEmberViewItemClass*& View) { View = &TCustomViewItem::StaticClass(); };
  }
  void TearDown() override {
    FreeAndNil(Form);
    DialogsTest::TearDown();
  }
  TImageItemEx* AddItem(int ThumbW, int ThumbH) {
    auto* item = static_cast<TImageItemEx*>(List->GetItems()->AddCustom(&TImageItemEx::StaticClass()));
    item->FileName = u"/home/anna/Фото/IMG_0001.JPG";
    item->OrigWidth = 1600;
    item->OrigHeight = 1200;
    item->PhotoCount = 2;
    item->SetPhotoSize(0);
    item->ChangeThumb(PatternThumb(ThumbW, ThumbH), true);
    return item;
  }
  // Paints the item into a white sheet in a cell at the origin.
  Owned<TBitmap> Paint(ember::TEmberItem* Item) {
    Owned<TBitmap> bmp(TBitmap::New());
    bmp->SetPixelFormat(TPixelFormat::pf32bit);
    bmp->SetSize(220, 320);
    bmp->GetCanvas()->GetBrush()->SetColor(clWhite);
    bmp->GetCanvas()->FillRect(TRect{0, 0, 220, 320});
    Item->SetDisplayRect(TRect{0, 0, 214, 310});
    Item->Paint(bmp->GetCanvas(), TRect{0, 0, 220, 320}, nullptr, false);
    return bmp;
  }
  TForm* Form{nullptr};
  TEmberListview* List{nullptr};
};

TEST_F(CustomViewItemTest, RowsNameTheFileSizePaperCountAndPrice) {
  TImageItemEx* item = AddItem(200, 150);
  struct Row {
    const char16_t* Caption;
    const char16_t* Value;
  };
  // Russian settings: decimal comma, a non-breaking blank between thousands.
  const Row rows[] = {{u"IMG_0001", u""},
                      {u"Размер", u"10x15"},
                      {u"Бумага", u"Глянцевая  (12,5 руб.)"},
                      {u"Кол-во", u"2"},
                      {u"Стоимость", u"25 руб."}};
  for (Integer i = 0; i < TCustomViewItem::RowCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(TCustomViewItem::GetRowCaption(item, i), String(rows[i].Caption));
    EXPECT_EQ(TCustomViewItem::GetRowValue(item, i), String(rows[i].Value));
  }
  struct Price {
    Integer Count;
    const char16_t* Text;
  };
  // 12.5 a print: 98.76 rounds to two places, 1234.5 keeps its one decimal.
  for (const Price& p : {Price{1, u"12,5 руб."}, Price{8, u"100 руб."}, Price{99, u"1\u00A0237,5 руб."}}) {
    item->PhotoCount = p.Count;
    EXPECT_EQ(TCustomViewItem::GetRowValue(item, 4), String(p.Text));
  }
  // A size outside the price list has no name and no paper.
  item->SetPhotoSize(7);
  EXPECT_EQ(TCustomViewItem::GetRowValue(item, 1), String());
  EXPECT_EQ(TCustomViewItem::GetRowValue(item, 2), String());
}

// The cell in BoundsRect (4,4)-(210,306): the silver square (4,4)-(210,210), the thumbnail centred
// in (7,7)-(207,207), the red dotted crop frame on it; no selection although the item is selected.
TEST_F(CustomViewItemTest, PaintsTheWholeCell) {
  TImageItemEx* item = AddItem(200, 150);  // 4:3 on a 3:2 print: a 200 × 133 frame 8 lower
  item->SetSelected(true);
  ASSERT_EQ(item->FrameType(), ftMoveVert);
  Owned<TBitmap> bmp = Paint(item);
  TCanvas* c = bmp->GetCanvas();
  EXPECT_EQ(c->GetPixel(3, 3), clWhite);
  EXPECT_EQ(c->GetPixel(4, 4), TColor(0xC0C0C0));
  EXPECT_EQ(c->GetPixel(209, 209), TColor(0xC0C0C0));
  EXPECT_EQ(c->GetPixel(100, 210), clWhite);
  EXPECT_EQ(c->GetPixel(100, 20), TColor(0xC0C0C0));  // above the 150-high thumbnail (32..182)
  // The thumbnail's pixel (x, y) holds blue x, green y, red 7.
  EXPECT_EQ(c->GetPixel(7 + 10, 32 + 5), TColor(RGB(7, 5, 10)));
  // The frame's top edge on row 32 + 8, from column 7 to 206: dotted, so part of it is red.
  int red = 0;
  for (Integer x = 7; x < 207; ++x) red += c->GetPixel(x, 40) == TColor(0x0000FF);
  EXPECT_GT(red, 50);
  EXPECT_LT(red, 150);
  for (Integer x = 7; x < 207; ++x) EXPECT_NE(c->GetPixel(x, 39), TColor(0x0000FF));
  // A bordered photo has no frame.
  item->SetWithBorders(true);
  bmp = Paint(item);
  red = 0;
  for (Integer y = 0; y < 310; ++y)
    for (Integer x = 0; x < 214; ++x) red += bmp->GetCanvas()->GetPixel(x, y) == TColor(0x0000FF);
  EXPECT_EQ(red, 0);
}

// A low-resolution photo carries the warning picture in the thumbnail's top-right corner, the
// photo showing through the picture's transparent surround.
TEST_F(CustomViewItemTest, LowResolutionWarningOverTheThumbnail) {
  TImageItemEx* item = AddItem(200, 150);
  item->SetWithBorders(true);  // no frame: only the photo and the warning
  Owned<TBitmap> sharp = Paint(item);
  item->OrigWidth = 400;
  item->OrigHeight = 300;
  Owned<TBitmap> low = Paint(item);
  TBitmap* warning = order::WarningImage();
  ASSERT_TRUE(warning && !warning->GetEmpty());
  const Integer w = warning->GetWidth(), h = warning->GetHeight();
  // The bordered thumbnail is 200 × 133, at (7, 40): the warning covers (207 − w, 40)-(207, 40 + h).
  int changed = 0, outside = 0;
  for (Integer y = 30; y < 190; ++y)
    for (Integer x = 0; x < 214; ++x) {
      const bool differs = sharp->GetCanvas()->GetPixel(x, y) != low->GetCanvas()->GetPixel(x, y);
      const bool inside = x >= 207 - w && x < 207 && y >= 40 && y < 40 + h;
      (inside ? changed : outside) += differs;
    }
  EXPECT_GT(changed, 0);
  EXPECT_EQ(outside, 0);
  // Its corner is transparent: the photo shows there.
  EXPECT_EQ(low->GetCanvas()->GetPixel(207 - w, 40), sharp->GetCanvas()->GetPixel(207 - w, 40));
}

// A long name given decomposed, with emoji and Arabic words, shows in the bold name row exactly as
// its composed form, cut with the same ellipsis.
TEST_F(CustomViewItemTest, ANameThatNeedsShapingShowsAsItsComposedForm) {
  TImageItemEx* item = AddItem(200, 150);
  item->FileName = u"/Cafe\u0301 e\u0301te\u0301 Нови\u0306 год سلام عليكم \U0001F600\U0001F600 e\u0301te\u0301 Нови\u0306.jpg";
  Owned<TBitmap> given = Paint(item);
  item->FileName = u"/Caf\u00e9 \u00e9t\u00e9 Новй год سلام عليكم \U0001F600\U0001F600 \u00e9t\u00e9 Новй.jpg";
  Owned<TBitmap> composed = Paint(item);
  for (Integer y = 205; y < 230; ++y)
    for (Integer x = 0; x < 220; ++x) ASSERT_EQ(given->GetCanvas()->GetPixel(x, y), composed->GetCanvas()->GetPixel(x, y)) << x << "," << y;
}

// The view paints photo items only.
TEST_F(CustomViewItemTest, AnyOtherItemClassIsRefused) {
  ember::TEmberItem* plain = List->GetItems()->Add();
  EXPECT_THROW(Paint(plain), ember::EInvalidCast);
}

}  // namespace
