#include "app/uCustomViewItem.h"

#include "order/uLists.h"
#include "order/uUtils.h"
#include "orderui/uListsUI.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Strings.h"

namespace app {

namespace {
// The main window's picture: 200 × 200 on a silver square 206 high.
constexpr Integer PictureSize = 200;
constexpr Integer SquareHeight = 206;
constexpr Integer TextTop = 211;
constexpr Integer ValueIndent = 60;
constexpr TColor Silver = 0xC0C0C0;
constexpr TColor FrameColor = 0x0000FF;

const order::TPhotoSize* SizeOf(TImageItemEx* Item) {
  order::TPhotoSizeList* sizes = order::PhotoSizes();
  const Integer i = Item->GetPhotoSize();
  return i >= 0 && i < sizes->Count() ? sizes->Items(i) : nullptr;
}

void DrawRowText(TCanvas* Canvas, const String& Text, TRect R, UINT Flags) {
  if (Text.empty()) return;
  DrawTextW(Canvas->GetHandle(), Text.data(), static_cast<int>(Text.size()), &R, Flags);
}
}  // namespace

String TCustomViewItem::GetRowCaption(TImageItemEx* Item, Integer Row) {
  switch (Row) {
    case 0: return order::ExtractFileTitle(Item->FileName);
    case 1: return u"Размер";
    case 2: return u"Бумага";
    case 3: return u"Кол-во";
    case 4: return u"Стоимость";
  }
  return String();
}

String TCustomViewItem::GetRowValue(TImageItemEx* Item, Integer Row) {
  const order::TPhotoSize* size = SizeOf(Item);
  switch (Row) {
    case 1: return size ? size->Name : String();
    case 2: return size ? order::PhotoSizes()->GetPaperType(Item->GetPhotoSize(), Item->PaperType) : String();
    case 3: return IntToStr(Item->PhotoCount);
    case 4: return FormatFloat(u"###,##0.##", Item->TotalPrice()) + u" руб.";
  }
  return String();
}

void TCustomViewItem::PaintBefore(ember::TEmberItem* Item, ember::TEmberColumn*, const String&, TCanvas* ACanvas,
                                  const ember::TEmberRectArrayObject& RectArray, bool& Handled) {
  Handled = true;
  auto* item = dynamic_cast<TImageItemEx*>(Item);
  if (!item) throw ember::EInvalidCast(u"Invalid class typecast");
  const TRect& b = RectArray.BoundsRect;

  ACanvas->GetBrush()->SetStyle(TBrushStyle::bsSolid);
  ACanvas->GetBrush()->SetColor(Silver);
  ACanvas->GetPen()->SetColor(Silver);
  ACanvas->Rectangle(b.Left, b.Top, b.Right, b.Top + SquareHeight);

  ACanvas->GetBrush()->SetStyle(TBrushStyle::bsClear);
  TRect r{b.Left + 3, b.Top + 3, b.Right - 3, b.Top + 3 + PictureSize};
  TDIB* thumb = item->Thumb();
  const Integer tw = thumb ? thumb->Width() : 0, th = thumb ? thumb->Height() : 0;
  if (thumb) thumb->DrawCenter(ACanvas, r);

  if (item->LowResolution()) {
    TBitmap* warning = order::WarningImage();
    if (warning && !warning->GetEmpty()) {
      // Its top-right corner on the thumbnail's.
      const Integer right = r.Left + (r.Width() - tw) / 2 + tw;
      ACanvas->Draw(right - warning->GetWidth(), r.Top + (r.Height() - th) / 2, warning);
    }
  }

  const order::TPhotoSize* size = SizeOf(item);
  if (item->FrameType() != ftNone && size) {
    const Integer fw = item->FrameWidth(), fh = item->FrameHeight(), offset = item->FrameOffset;
    Integer left, top;
    if (item->ThumbAR() > size->AR()) {
      if (tw > th) {
        left = r.Left + offset;
        top = r.Top + (PictureSize - fh) / 2;
      } else {
        left = r.Left + (r.Width() - tw) / 2;
        top = r.Top + offset;
      }
    } else if (tw > th) {
      left = r.Left;
      top = r.Top + (PictureSize - th) / 2 + offset;
    } else {
      left = r.Left + (r.Width() - tw) / 2 + offset;
      top = r.Top;
    }
    ACanvas->GetPen()->SetColor(FrameColor);
    ACanvas->GetPen()->SetStyle(TPenStyle::psDot);
    ACanvas->GetBrush()->SetStyle(TBrushStyle::bsClear);
    // The outline of Rectangle(left, top, left + fw, top + fh) as four lines: our canvas frames a
    // rectangle with a solid pen whatever the pen's style, and the frame must show dotted.
    const Integer right = left + fw - 1, bottom = top + fh - 1;
    ACanvas->MoveTo(left, top);
    ACanvas->LineTo(right, top);
    ACanvas->LineTo(right, bottom);
    ACanvas->LineTo(left, bottom);
    ACanvas->LineTo(left, top);
    ACanvas->GetPen()->SetStyle(TPenStyle::psSolid);
  }

  // The rows on a clear brush, in the font colour the list view set.
  const Integer h = ACanvas->TextHeight(u"123");
  TRect text{b.Left + 1, b.Top + TextTop, b.Right, b.Bottom};
  for (Integer row = 0; row < RowCount; ++row) {
    TFontStyles style = ACanvas->GetFont()->GetStyle();
    if (row == 0)
      style += TFontStyle::fsBold;
    else
      style -= TFontStyle::fsBold;
    ACanvas->GetFont()->SetStyle(style);
    text.Left = b.Left + 1;
    DrawRowText(ACanvas, GetRowCaption(item, row), text, DT_END_ELLIPSIS);
    text.Left += ValueIndent;
    DrawRowText(ACanvas, GetRowValue(item, row), text, DT_END_ELLIPSIS);
    if (row == 4)
      DrawRowText(ACanvas, item->WithBorders() ? String(u"С полями") : String(u"Без полей"), text,
                  DT_END_ELLIPSIS | DT_RIGHT);
    text.Top += h + 5;
  }
}

}  // namespace app
