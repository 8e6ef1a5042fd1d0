#include "listview/EmberViews.h"

#include <algorithm>

#include "listview/EmberControl.h"
#include "platform/gdi/ImageList.h"
#include "platform/gdi/Theme.h"

namespace ember {

void TEmberViewGroup::GroupRectArray(TEmberGroup*, TEmberGroupMarginEdge, const TRect& ObjRect,
                                     TEmberRectArrayObject& RectArray) {
  RectArray = TEmberRectArrayObject{};
  RectArray.GroupRect = ObjRect;
}

Integer TEmberHeader::ViewWidth() const {
  Integer right = 0;
  for (TEmberColumn* c : FPositions) right = std::max(right, c->GetDisplayRect().Right);
  return right;
}

// ---- Column view ----
namespace {

using TCommonVAlignment = common::TCommonVAlignment;

TEmberPaintInfoBasic* ColumnInfo(TEmberColumn* Column) { return Column->GetEffectivePaintInfo(); }

// The column settings of the column's own paint info, or of the control's.
TEmberPaintInfoBaseColumn* ColumnLook(TEmberColumn* Column) {
  if (auto* own = dynamic_cast<TEmberPaintInfoBaseColumn*>(Column->GetEffectivePaintInfo())) return own;
  TCustomEmberListview* lv = Column->GetOwnerListview();
  return lv ? lv->GetPaintInfoColumn() : nullptr;
}

Integer CaptionLines(TEmberColumn* Column) {
  TCustomEmberListview* lv = Column->GetOwnerListview();
  return lv && lv->GetPaintInfoColumn() ? lv->GetPaintInfoColumn()->GetCaptionLines() : 1;
}

Word AlignmentBit(TAlignment A) {
  switch (A) {
    case TAlignment::taLeftJustify: return 2;
    case TAlignment::taRightJustify: return common::dtwRight;
    case TAlignment::taCenter: return common::dtwCenter;
  }
  return 2;
}

Word VAlignmentBit(TCommonVAlignment A) {
  switch (A) {
    case TCommonVAlignment::cvaTop: return 16;
    case TCommonVAlignment::cvaBottom: return common::dtwBottom;
    case TCommonVAlignment::cvaCenter: return common::dtwVCenter;
  }
  return 16;
}

bool HotTracked(TEmberColumn* Column) {
  TCustomEmberListview* lv = Column->GetOwnerListview();
  return Column->GetHotTracking() || (lv && lv->GetHeader()->GetHotTrackedColumn() == Column);
}

TRect Shrunk(TRect R, Integer By) { return TRect{R.Left + By, R.Top + By, R.Right - By, R.Bottom - By}; }
TRect Moved(TRect R, Integer DX, Integer DY) { return TRect{R.Left + DX, R.Top + DY, R.Right + DX, R.Bottom + DY}; }

}  // namespace

TCustomImageList* TEmberViewColumn::GetImageList(TEmberColumn* Column) {
  TCustomEmberListview* lv = Column ? Column->GetOwnerListview() : nullptr;
  return lv ? lv->GetHeader()->GetImages() : nullptr;
}

void TEmberViewColumn::GetImageSize(TEmberColumn* Column, Integer& ImageW, Integer& ImageH) {
  ImageW = 0;
  ImageH = 0;
  if (!Column) return;
  bool custom = false;
  Column->ImageDrawIsCustom(Column, custom);
  if (custom) {
    Column->ImageDrawGetSize(Column, ImageW, ImageH);
  } else if (Column->GetImageIndex() >= 0) {
    if (TCustomImageList* list = GetImageList(Column)) {
      ImageW = list->GetWidth();
      ImageH = list->GetHeight();
    }
  }
}

void TEmberViewColumn::LoadTextFont(TEmberColumn* Column, TCanvas* ACanvas) {
  TCustomEmberListview* lv = Column ? Column->GetOwnerListview() : nullptr;
  if (!lv || !ACanvas) return;
  ACanvas->SetFont(lv->GetHeader()->GetFont());
  if (Column->GetBold()) {
    TFontStyles style = ACanvas->GetFont()->GetStyle();
    style.Include(TFontStyle::fsBold);
    ACanvas->GetFont()->SetStyle(style);
  }
}

void TEmberViewColumn::ItemRectArray(TEmberColumn* Column, TEmberRectArrayObject& RectArray) {
  RectArray = TEmberRectArrayObject{};
  if (!Column) return;
  if (!Column->GetInitialized()) Column->SetInitialized(true);
  TCustomEmberListview* lv = Column->GetOwnerListview();
  TEmberPaintInfoBasic* info = ColumnInfo(Column);
  TEmberPaintInfoBaseColumn* look = ColumnLook(Column);
  const Integer captionIndent = info ? info->GetCaptionIndent() : 0;
  const Integer imageIndent = info ? info->GetImageIndent() : 0;
  TEmberRectArrayObject& ra = RectArray;
  const TRect b = Shrunk(Column->GetDisplayRect(), 2);
  ra.BoundsRect = b;
  ra.CheckRect = TRect{b.Left, b.Top, b.Left, b.Bottom};
  ra.DropDownArrow = TRect{b.Right, b.Top, b.Right, b.Bottom};

  if (info && info->GetCheckType() != TEmberCheckType::ectNone) {
    TRect check{};
    if (common::CheckBound) common::CheckBound->Bound(info->GetCheckSize(), check);
    ra.CheckRect = Moved(check, b.Left + info->GetCheckIndent(), b.Top + (b.Height() - check.Height()) / 2);
  }

  const TRect& c = ra.CheckRect;
  ra.IconRect = TRect{c.Right, b.Top, c.Right, b.Bottom};
  Integer imageW = 0, imageH = 0;
  GetImageSize(Column, imageW, imageH);
  if (Column->GetImageIndex() < 0) {
    ra.LabelRect = TRect{ra.IconRect.Right, b.Top, b.Right, b.Bottom};
  } else {
    const Integer centredTop = b.Top + (b.Height() - imageH) / 2;
    switch (look ? look->GetImagePosition() : TEmberHeaderImagePosition::ehpLeft) {
      case TEmberHeaderImagePosition::ehpLeft:
        ra.IconRect = TRect{c.Right + imageIndent, centredTop, c.Right + imageIndent + imageW, centredTop + imageH};
        ra.LabelRect = TRect{ra.IconRect.Right + captionIndent, b.Top, b.Right, b.Bottom};
        break;
      case TEmberHeaderImagePosition::ehpTop:
        ra.IconRect = TRect{b.Left, b.Top + imageIndent, b.Right, b.Top + imageIndent + imageH};
        ra.LabelRect = TRect{c.Right, ra.IconRect.Bottom + captionIndent, b.Right, b.Bottom};
        break;
      case TEmberHeaderImagePosition::ehpRight:
        ra.IconRect = TRect{b.Right - imageIndent - imageW, centredTop, b.Right - imageIndent, centredTop + imageH};
        ra.LabelRect = TRect{c.Right, b.Top, ra.IconRect.Left - captionIndent, b.Bottom};
        break;
      case TEmberHeaderImagePosition::ehpBottom:
        ra.IconRect = TRect{b.Left, b.Bottom - imageIndent - imageH, b.Right, b.Bottom - imageIndent};
        ra.LabelRect = TRect{c.Right, b.Top, b.Right, ra.IconRect.Top - captionIndent};
        break;
    }
  }

  const bool sorted = Column->GetSortDirection() != TEmberSortDirection::esdNone;
  if (sorted && lv) {
    TBitmap* glyph = lv->GetGlobalImages()->GetColumnSortUp();
    const Integer gw = glyph ? glyph->GetWidth() : 0, gh = glyph ? glyph->GetHeight() : 0;
    const Integer indent = look ? look->GetSortGlyphIndent() : 0;
    const Integer top = b.Top + (b.Height() - gh) / 2;
    if (look && look->GetSortGlyphAlign() == TEmberSortGlyphAlign::esgaLeft) {
      ra.SortRect = TRect{ra.LabelRect.Left, top, ra.LabelRect.Left + gw, top + gh};
      ra.LabelRect.Left += indent + gw;
    } else {
      ra.SortRect = TRect{ra.LabelRect.Right - gw, top, ra.LabelRect.Right, top + gh};
      ra.LabelRect.Right -= indent + gw;
    }
  }

  // A square drop-down button at the right edge, only on a column wide enough for it.
  TEmberColumnDropDownButton* button = Column->GetDropDownButton();
  if (button && button->GetVisible() && ra.LabelRect.Width() > b.Height() + 10 &&
      (button->GetAlwaysShow() || HotTracked(Column))) {
    ra.LabelRect.Right -= b.Height();
    ra.DropDownArrow.Left -= b.Height();
  }

  if (!IsRectEmptyEx(ra.LabelRect)) {
    TRect t = ra.LabelRect;
    const TAlignment alignment = Column->GetAlignment();
    if (alignment == TAlignment::taLeftJustify) {
      t.Left += captionIndent;
      t.Right -= 4;
    } else if (alignment == TAlignment::taRightJustify) {
      t.Right -= captionIndent;
      t.Left += 4;
    }
    t = Shrunk(t, 2);
    const Integer lines = CaptionLines(Column);
    ra.TextRects.assign(static_cast<size_t>(std::max(0, lines) + 1), TRect{});
    ra.TextRects[0] = t;
    TCanvas* canvas = lv ? lv->GetScratchCanvas() : nullptr;
    if (canvas) {
      LoadTextFont(Column, canvas);
      common::DrawTextWEx(canvas->GetHandle(), Column->GetCaption(), ra.TextRects[0], lines,
                          static_cast<Word>(0x280 | AlignmentBit(alignment) | 16));
    }
    TRect text{};
    for (const TRect& r : ra.TextRects) text = UnionRectEx(text, r);
    const TCommonVAlignment valign = info ? info->GetVAlignment() : TCommonVAlignment::cvaCenter;
    Integer textShift = 0, lineShift = 0;
    if (valign == TCommonVAlignment::cvaBottom) {
      textShift = b.Height() - text.Height();
      lineShift = b.Height() - 4 - text.Height();
    } else if (valign == TCommonVAlignment::cvaCenter) {
      textShift = (b.Height() - text.Height()) / 2;
      lineShift = (b.Height() - 4 - text.Height()) / 2;
    }
    ra.TextRect = Moved(text, 0, textShift);
    for (TRect& r : ra.TextRects)
      if (!IsRectEmptyEx(r)) r = Moved(r, 0, lineShift);
  }

  // The glyph follows the caption.
  if (sorted) ra.SortRect = Moved(ra.SortRect, ra.TextRect.Right - ra.SortRect.Left, 0);

  ra.ClickSelectBoundsRect = b;
  ra.DragSelectBoundsRect = b;
  ra.SelectionRect = b;
  ra.FullTextRect = b;
  ra.FocusChangeInvalidRect = b;
  ra.EditRect = b;
  ra.BoundsRect = Column->GetDisplayRect();
}

TRect TEmberViewColumn::ItemRect(TEmberColumn* Column, TEmberCellRectType RectType) {
  TEmberRectArrayObject ra;
  ItemRectArray(Column, ra);
  switch (RectType) {
    case TEmberCellRectType::ertBounds: return ra.BoundsRect;
    case TEmberCellRectType::ertIcon: return ra.IconRect;
    case TEmberCellRectType::ertLabel: return ra.LabelRect;
    case TEmberCellRectType::ertClickSelectBounds: return ra.ClickSelectBoundsRect;
    case TEmberCellRectType::ertDragSelectBounds: return ra.DragSelectBoundsRect;
    case TEmberCellRectType::ertText: return ra.TextRect;
    case TEmberCellRectType::ertFullText: return ra.FullTextRect;
  }
  return TRect{};
}

void TEmberViewColumn::CalculateTextRect(TEmberColumn* Column, TCanvas* Canvas, TRect& TextR) {
  TCustomEmberListview* lv = Column ? Column->GetOwnerListview() : nullptr;
  if (!lv) return;
  TEmberPaintInfoBasic* info = ColumnInfo(Column);
  const Word flags = static_cast<Word>(AlignmentBit(Column->GetAlignment()) |
                                       VAlignmentBit(info ? info->GetVAlignment() : TCommonVAlignment::cvaCenter) | 0x380);
  Owned<TControlCanvas> own;
  if (!Canvas) {
    own.reset(TControlCanvas::New());
    own->SetControl(lv);
    Canvas = own.get();
  }
  LoadTextFont(Column, Canvas);
  common::DrawTextWEx(Canvas->GetHandle(), Column->GetCaption(), TextR, CaptionLines(Column), flags);
}

void TEmberViewColumn::ReSizeRectArray(TEmberRectArrayObjectArray& RectArray) {
  Integer count = 0;
  if (auto* lv = OwnerListview()) count = lv->GetHeader()->GetColumns()->GetCount();
  RectArray.resize(static_cast<size_t>(std::max(1, count)));
}

void TEmberViewColumn::Paint(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType HeaderType) {
  if (!Column || !ACanvas) return;
  TEmberRectArrayObject ra;
  ItemRectArray(Column, ra);
  IntersectClipRect(ACanvas->GetHandle(), ra.BoundsRect.Left, ra.BoundsRect.Top, ra.BoundsRect.Right,
                    ra.BoundsRect.Bottom);
  PaintBefore(Column, ACanvas, HeaderType, ra);
  PaintBkGnd(Column, ACanvas, HeaderType, ra);
  PaintImage(Column, ACanvas, HeaderType, ra, PaintImageSize(Column, HeaderType));
  PaintText(Column, ACanvas, HeaderType, ra, CaptionLines(Column));
  PaintSortGlyph(Column, ACanvas, HeaderType, ra);
  PaintFocusRect(Column, ACanvas, HeaderType, ra);
  PaintCheckBox(Column, ACanvas, HeaderType, ra);
  PaintDropGlyph(Column, ACanvas, HeaderType, ra);
  PaintDropDownArrow(Column, ACanvas, HeaderType, ra);
  PaintAfter(Column, ACanvas, HeaderType, ra);
}

void TEmberViewColumn::PaintBkGnd(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType HeaderType,
                                  const TEmberRectArrayObject&) {
  TCustomEmberListview* lv = Column->GetOwnerListview();
  if (!lv) return;
  const TRect r = Column->GetDisplayRect();
  if (lv->DrawWithThemes()) {
    const bool sorted = ComCtl32Version >= 0x0006000A && Column->GetSortDirection() != TEmberSortDirection::esdNone;
    int state = HIS_NORMAL;
    if (Column->GetClicking())
      state = HIS_PRESSED;
    else if (HotTracked(Column))
      state = HIS_HOT;
    if (sorted) state = state == HIS_PRESSED ? HIS_SORTEDPRESSED : state == HIS_HOT ? HIS_SORTEDHOT : HIS_SORTEDNORMAL;
    HTHEME theme = lv->GetThemes()->GetHeaderTheme();
    if (HeaderType == TEmberHeaderType::ehtFooter && r.Width() > 0 && r.Height() > 0) {
      // The footer's button is the header's upside down: drawn apart, then copied column by column
      // in mirrored order.
      Owned<TBitmap> bmp{TBitmap::New()};
      bmp->SetPixelFormat(TPixelFormat::pf32bit);
      bmp->SetSize(r.Width(), r.Height());
      const TRect whole{0, 0, r.Width(), r.Height()};
      DrawThemeBackground(theme, bmp->GetCanvas()->GetHandle(), HP_HEADERITEM, state, &whole, nullptr);
      HDC src = bmp->GetCanvas()->GetHandle();
      HDC dst = ACanvas->GetHandle();
      for (Integer x = 0; x < r.Width(); ++x) BitBlt(dst, r.Left + x, r.Top, 1, r.Height(), src, r.Width() - 1 - x, 0, SRCCOPY);
    } else {
      DrawThemeBackground(theme, ACanvas->GetHandle(), HP_HEADERITEM, state, &r, nullptr);
    }
    return;
  }
  TEmberPaintInfoBaseColumn* look = ColumnLook(Column);
  ACanvas->GetBrush()->SetColor(look ? look->GetColor() : clBtnFace);
  ACanvas->FillRect(r);
  const bool clicking = Column->GetClicking();
  const bool hilighted = Column->GetHilighted();
  UINT edge = BDR_RAISEDINNER, flags = BF_RECT | BF_SOFT | BF_ADJUST;
  switch (look ? look->GetStyle() : TEmberHeaderButtonStyle::ehbsThick) {
    case TEmberHeaderButtonStyle::ehbsThick:
      edge = EDGE_RAISED;
      flags = BF_RECT | BF_SOFT | BF_ADJUST | (clicking ? BF_FLAT : 0);
      break;
    case TEmberHeaderButtonStyle::ehbsFlat:
      edge = clicking ? BDR_SUNKENOUTER : BDR_RAISEDINNER;
      flags = BF_RECT | BF_ADJUST;
      break;
    case TEmberHeaderButtonStyle::ehbsPlate:
    case TEmberHeaderButtonStyle::ehbsThemed:
      if (clicking) {
        edge = BDR_SUNKENOUTER;
        flags = BF_RECT | BF_ADJUST;
      } else if (hilighted && look->GetStyle() == TEmberHeaderButtonStyle::ehbsPlate) {
        flags = BF_RECT | BF_ADJUST;
      }
      break;
  }
  TRect edgeRect = r;
  DrawEdge(ACanvas->GetHandle(), &edgeRect, edge, flags);
}

void TEmberViewColumn::PaintImage(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType,
                                  const TEmberRectArrayObject& RectArray, TEmberImageSize) {
  bool custom = false;
  Column->ImageDrawIsCustom(Column, custom);
  if (custom) {
    Column->ImageDraw(Column, ACanvas, RectArray, EmberAlphaBlender());
    return;
  }
  TCustomImageList* list = GetImageList(Column);
  const Integer index = Column->GetImageIndex();
  if (!list || index < 0) return;
  HIMAGELIST handle = list->GetHandle();
  UINT style = ILD_TRANSPARENT;
  const Integer overlay = Column->GetImageOverlayIndex();
  if (overlay >= 0) {
    ImageList_SetOverlayImage(handle, overlay, 1);
    style |= INDEXTOOVERLAYMASK(1);
  }
  const TRect& icon = RectArray.IconRect;
  const Integer x = icon.Left + (icon.Width() - list->GetWidth()) / 2;
  const Integer y = icon.Top + (icon.Height() - list->GetHeight()) / 2;
  ImageList_DrawEx(handle, index, ACanvas->GetHandle(), x, y, 0, 0, CLR_NONE, CLR_NONE, style);
}

void TEmberViewColumn::PaintText(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType,
                                 const TEmberRectArrayObject& RectArray, Integer LinesToDraw) {
  if (IsRectEmptyEx(RectArray.TextRect) || RectArray.TextRects.empty()) return;
  TCustomEmberListview* lv = Column->GetOwnerListview();
  ACanvas->GetBrush()->SetStyle(TBrushStyle::bsClear);
  const Word flags =
      static_cast<Word>(common::dtwEndEllipsis | (LinesToDraw == 1 ? common::dtwSingleLine : 0) | AlignmentBit(Column->GetAlignment()));
  LoadTextFont(Column, ACanvas);
  if (lv) lv->DoColumnPaintText(Column, ACanvas);
  TRect r = RectArray.TextRects[0];
  common::DrawTextWEx(ACanvas->GetHandle(), Column->GetCaption(), r, CaptionLines(Column), flags);
}

void TEmberViewColumn::PaintSortGlyph(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType,
                                      const TEmberRectArrayObject& RectArray) {
  TCustomEmberListview* lv = Column->GetOwnerListview();
  if (!lv) return;
  TBitmap* glyph = nullptr;
  if (Column->GetSortDirection() == TEmberSortDirection::esdAscending) glyph = lv->GetGlobalImages()->GetColumnSortUp();
  if (Column->GetSortDirection() == TEmberSortDirection::esdDescending) glyph = lv->GetGlobalImages()->GetColumnSortDown();
  if (glyph) ACanvas->Draw(RectArray.SortRect.Left, RectArray.SortRect.Top, glyph);
}

void TEmberViewColumn::PaintCheckBox(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType,
                                     const TEmberRectArrayObject& RectArray) {
  TEmberPaintInfoBasic* info = ColumnInfo(Column);
  if (!info) return;
  const TEmberCheckType type = info->GetCheckType();
  if (type != TEmberCheckType::ectBox && type != TEmberCheckType::ectRadio) return;
  PaintCheckBoxCore(ACanvas, RectArray.CheckRect, Column->GetEnabled(), Column->GetChecked(), false,
                    info->GetCheckFlat(), Column->GetCheckHovering(), Column->GetCheckPending(), info->GetCheckSize(),
                    type, Column->GetOwnerListview());
}

void TEmberViewColumn::PaintDropDownArrow(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType,
                                          const TEmberRectArrayObject& RectArray) {
  TEmberColumnDropDownButton* button = Column->GetDropDownButton();
  TCustomEmberListview* lv = Column->GetOwnerListview();
  if (!lv || !button || !button->GetVisible() || RectArray.DropDownArrow.Width() < 1) return;
  const bool hot = button->GetState().Contains(TEmberColumnDropDownButtonState::cdbsHovering);
  const bool pressed = button->GetState().Contains(TEmberColumnDropDownButtonState::cdbsDown);
  if (lv->DrawWithThemes()) {
    int state = 1;
    if (!button->GetEnabled())
      state = 4;
    else if (pressed)
      state = 3;
    else if (hot)
      state = 2;
    DrawThemeBackground(lv->GetThemes()->GetComboBoxTheme(), ACanvas->GetHandle(), CP_DROPDOWNBUTTON, state,
                        &RectArray.DropDownArrow, nullptr);
    return;
  }
  TRect r = Shrunk(RectArray.DropDownArrow, 1);
  UINT flags = DFCS_SCROLLCOMBOBOX | DFCS_FLAT;
  if (!button->GetEnabled())
    flags |= DFCS_INACTIVE;
  else
    flags |= (hot ? DFCS_HOT : 0) | (pressed ? DFCS_PUSHED : 0);
  DrawFrameControl(ACanvas->GetHandle(), &r, DFC_SCROLL, flags);
}

void TEmberViewColumn::PaintDropGlyph(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType,
                                      const TEmberRectArrayObject&) {
  if (!Column->GetState().Contains(TEmberStorageObjectState::esosDropTarget)) return;
  const TRect& r = Column->GetDisplayRect();
  ACanvas->GetBrush()->SetColor(static_cast<TColor>(0xFF0000));
  ACanvas->FillRect(TRect{r.Left, r.Top, r.Left + 2, r.Bottom});
}

}  // namespace ember
