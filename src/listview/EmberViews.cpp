#include "listview/EmberViews.h"

#include <algorithm>

#include "listview/EmberControl.h"
#include "platform/classlib/ImgList.h"
#include "platform/gdi/Bitmap.h"
#include "platform/gdi/ImageList.h"
#include "platform/gdi/Theme.h"
#include "platform/rtl/Format.h"

namespace ember {

// ---- Group views ----
namespace groupview {

using Edge = TEmberGroupMarginEdge;
using common::TCommonVAlignment;

TRect ShiftRect(TRect r, Integer dx, Integer dy) { return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy}; }

bool HasImage(TBitmap* b) { return b && !b->GetEmpty(); }

// The canvas's pen, brush and font come back however the painting ends.
struct TStoredCanvas {
  TEmberCanvasStore* Store;
  TCanvas* Canvas;
  TStoredCanvas(TEmberCanvasStore* S, TCanvas* C) : Store(S), Canvas(C) { Store->StoreCanvasState(Canvas); }
  ~TStoredCanvas() { Store->RestoreCanvasState(Canvas); }
  TStoredCanvas(const TStoredCanvas&) = delete;
  TStoredCanvas& operator=(const TStoredCanvas&) = delete;
};

void HLine(TCanvas* c, Integer x1, Integer x2, Integer y) {
  c->MoveTo(x1, y);
  c->LineTo(x2, y);
}
void VLine(TCanvas* c, Integer x, Integer y1, Integer y2) {
  c->MoveTo(x, y1);
  c->LineTo(x, y2);
}

}  // namespace groupview

using namespace groupview;

TCustomImageList* TEmberViewGroup::GetImageList(TEmberGroup* Group) {
  return Group ? Group->GetImageLists(-1, TEmberImageSize::eisSmall) : nullptr;
}

TBitmap* TEmberViewGroup::ExpandGlyph(TEmberGroup* Group, bool Expanded) {
  TCustomEmberListview* lv = Group ? Group->GetOwnerListview() : nullptr;
  if (!lv) return nullptr;
  // An expanded group offers to collapse, a collapsed one to expand.
  if (Expanded)
    return HasImage(lv->GetGroupCollapseButton()) ? lv->GetGroupCollapseButton()
                                                  : lv->GetGlobalImages()->GetGroupCollapseButton();
  return HasImage(lv->GetGroupExpandButton()) ? lv->GetGroupExpandButton()
                                              : lv->GetGlobalImages()->GetGroupExpandButton();
}

void TEmberViewGroup::GetExpandImageSize(TEmberGroup* Group, Integer& ImageW, Integer& ImageH) {
  ImageW = 0;
  ImageH = 0;
  TBitmap* expand = ExpandGlyph(Group, false);
  TBitmap* collapse = ExpandGlyph(Group, true);
  if (!HasImage(expand) || !HasImage(collapse)) return;
  ImageW = std::max(expand->GetWidth(), collapse->GetWidth());
  ImageH = std::max(expand->GetHeight(), collapse->GetHeight());
}

void TEmberViewGroup::GetImageSize(TEmberGroup* Group, Integer& ImageW, Integer& ImageH) {
  ImageW = 0;
  ImageH = 0;
  if (!Group) return;
  bool custom = false;
  Group->ImageDrawIsCustom(nullptr, custom);
  if (custom) {
    Group->ImageDrawGetSize(nullptr, ImageW, ImageH);
    return;
  }
  if (Group->GetImageIndex() < 0) return;
  if (TCustomImageList* list = GetImageList(Group)) {
    ImageW = list->GetWidth();
    ImageH = list->GetHeight();
  }
}

void TEmberViewGroup::LoadTextFont(TEmberGroup* Group, TCanvas* ACanvas) {
  TCustomEmberListview* lv = Group ? Group->GetOwnerListview() : nullptr;
  if (!lv || !ACanvas) return;
  ACanvas->SetFont(lv->GetGroupFont());
  ACanvas->GetBrush()->SetStyle(TBrushStyle::bsClear);
  if (Group->GetFocused() && lv->Focused()) ACanvas->GetFont()->SetColor(clHighlightText);
  if (Group->GetBold()) ACanvas->GetFont()->SetStyle(ACanvas->GetFont()->GetStyle() + TFontStyle::fsBold);
  lv->DoGroupPaintText(Group, ACanvas);
}

void TEmberViewGroup::GroupRectArray(TEmberGroup* Group, TEmberGroupMarginEdge MarginEdge, const TRect& ObjRect,
                                     TEmberRectArrayObject& RectArray) {
  RectArray = TEmberRectArrayObject{};
  RectArray.GroupRect = ObjRect;
  if (!Group) return;
  Group->SetInitialized(true);
  RectArray.BackGndRect = Group->GetBoundsRectBkGnd();
  TEmberPaintInfoBaseGroup* pi = Group->GroupPaintInfo();
  TCustomEmberListview* lv = Group->GetOwnerListview();
  if (!pi || !lv) return;
  const TRect& g = RectArray.GroupRect;
  const bool margin = MarginEdge == Edge::egmeTop || MarginEdge == Edge::egmeBottom;

  Integer imgW, imgH, expW = 0, expH = 0;
  GetImageSize(Group, imgW, imgH);
  // Only a header or footer laid out for itself places the button. The other edges, and the band
  // layouts they take from the header and footer, never use its size, so asking for it there
  // would load the built-in glyphs in a list that shows no group header.
  if (margin && !FBandsOnly) {
    GetExpandImageSize(Group, expW, expH);
    Integer dpi = 96;
    if (lv->HandleAllocated()) dpi = GetDeviceCaps(lv->GetCanvas()->GetHandle(), LOGPIXELSX);
    expW = static_cast<Integer>(Round(expW + dpi / 96.0));
  }

  if (margin) {
    const bool top = MarginEdge == Edge::egmeTop;

    const Integer bandSpace = pi->GetBandEnabled() ? pi->GetBandThickness() + 2 * pi->GetBandMargin() : 0;
    const Integer b = g.Bottom - bandSpace;
    // The footer's text box is measured from the footer's own caption and placed by the footer's
    // own alignments, as PaintText and PaintImage draw it: the footer carries those settings.
    const TCommonVAlignment valign =
        top ? pi->GetVAlignment() : (Group->GetMarginBottom() ? Group->GetMarginBottom()->GetVAlignment() : pi->GetVAlignment());
    TRect& exp = RectArray.ExpandButtonRect;
    if (top && Group->GetExpandable())
      exp = TRect{g.Left + pi->GetExpandImageIndent(), g.Top, g.Left + pi->GetExpandImageIndent() + expW, b};
    else
      exp = TRect{g.Left, g.Top, g.Left, b};

    TRect& check = RectArray.CheckRect;
    if (top && pi->GetCheckType() != TEmberCheckType::ectNone) {
      if (common::CheckBound) common::CheckBound->Bound(pi->GetCheckSize(), check);
      const Integer h = check.Height();
      Integer dy = ObjRect.Top + (ObjRect.Height() - bandSpace - h) / 2;
      if (pi->GetVAlignment() == TCommonVAlignment::cvaTop) dy = ObjRect.Top + 2;
      if (pi->GetVAlignment() == TCommonVAlignment::cvaBottom) dy = ObjRect.Bottom - bandSpace - h - 2;
      check = ShiftRect(check, exp.Right + pi->GetCheckIndent(), dy);
    } else {
      check = ObjRect;
      check.Left = exp.Right;
      check.Right = exp.Right;
    }

    TRect& icon = RectArray.IconRect;
    if (Group->GetImageIndex() < 0)
      icon = TRect{check.Right, check.Top, check.Right, check.Bottom - bandSpace};
    else
      icon = TRect{check.Right + pi->GetImageIndent(), g.Top, check.Right + pi->GetImageIndent() + imgW, g.Bottom - bandSpace};

    RectArray.LabelRect = TRect{icon.Right + pi->GetCaptionIndent(), exp.Top, g.Right, exp.Bottom};
    const TRect& label = RectArray.LabelRect;

    if (TCanvas* scratch = lv->GetScratchCanvas()) {
      LoadTextFont(Group, scratch);
      const String caption = top ? Group->GetCaption() : (Group->GetMarginBottom() ? Group->GetMarginBottom()->GetCaption() : String());
      const TSize ext = common::WideTextExtentOnCanvas(scratch, caption);
      TRect t{label.Left, label.Top, label.Left + ext.cx, label.Top + ext.cy};
      t.Right = std::min(t.Right, label.Right);
      t.Bottom = std::min(t.Bottom, label.Bottom);
      const TAlignment align =
          top ? pi->GetAlignment() : (Group->GetMarginBottom() ? Group->GetMarginBottom()->GetAlignment() : pi->GetAlignment());
      if (align == TAlignment::taRightJustify) t = ShiftRect(t, label.Width() - t.Width(), 0);
      if (align == TAlignment::taCenter) t = ShiftRect(t, (label.Width() - t.Width()) / 2, 0);
      if (valign == TCommonVAlignment::cvaBottom) t = ShiftRect(t, 0, g.Height() - (t.Height() + bandSpace));
      if (valign == TCommonVAlignment::cvaCenter) t = ShiftRect(t, 0, (g.Height() - bandSpace - t.Height()) / 2);
      RectArray.TextRect = t;
    }

    if (pi->GetBandEnabled()) {
      const Integer m = pi->GetBandMargin(), th = pi->GetBandThickness();
      TRect band = pi->GetBandFullWidth() ? TRect{g.Left, g.Bottom - m - th, g.Right, g.Bottom - m}
                                          : TRect{g.Left, g.Bottom - 2 * m - th, g.Left + pi->GetBandLength(), g.Bottom - m};
      RectArray.BandRect = ShiftRect(band, pi->GetBandIndent(), 0);
    }
    return;
  }

  // Every other edge lays out the header and footer too (their events fire for it), though only
  // the side margins take anything from them: the bands their brackets join.
  TEmberRectArrayObject topArray, bottomArray;
  {
    const bool outer = FBandsOnly;
    FBandsOnly = true;
    struct Restore {
      bool& Flag;
      bool Value;
      ~Restore() { Flag = Value; }
    } restore{FBandsOnly, outer};
    GroupRectArray(Group, Edge::egmeTop, Group->GetBoundsRectTopMargin(), topArray);
    GroupRectArray(Group, Edge::egmeBottom, Group->GetBoundsRectBottomMargin(), bottomArray);
  }
  if (MarginEdge == Edge::egmeLeft || MarginEdge == Edge::egmeRight) {
    const Integer inset = (g.Width() - pi->GetBandThickness()) / 2;
    const Integer top = topArray.BandRect.Top, bottom = bottomArray.BandRect.Bottom - 1;
    RectArray.BandRect = MarginEdge == Edge::egmeLeft ? TRect{g.Left + inset, top, g.Right, bottom}
                                                      : TRect{g.Left, top, g.Right - inset, bottom};
  }
}

void TEmberViewGroup::Paint(TEmberGroup* Group, TCanvas* ACanvas, TEmberGroupMarginEdge MarginEdge,
                            const TRect& ObjRect) {
  if (!Group || !ACanvas || IsRectEmptyEx(ObjRect)) return;
  TStoredCanvas stored(CanvasStore(), ACanvas);
  TEmberRectArrayObject ra;
  GroupRectArray(Group, MarginEdge, ObjRect, ra);
  PaintBefore(Group, ACanvas, MarginEdge, ObjRect, ra);
  PaintBackground(Group, ACanvas, MarginEdge, ObjRect, ra);
  if (MarginEdge == Edge::egmeTop) PaintCheckBox(Group, ACanvas, ra);
  PaintSelectionRect(Group, ACanvas, ra, ObjRect);
  PaintFocusRect(Group, ACanvas, ra, ObjRect, MarginEdge);
  PaintText(Group, MarginEdge, ra, ObjRect, ACanvas);
  PaintBand(Group, ACanvas, ra, ObjRect, MarginEdge);
  PaintExpandButton(Group, ACanvas, ra, ObjRect, MarginEdge);
  PaintImage(Group, ACanvas, ra, ObjRect, MarginEdge);
  PaintAfter(Group, ACanvas, MarginEdge, ObjRect, ra);
}

void TEmberViewGroup::PaintBand(TEmberGroup* Group, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                                const TRect& ObjRect, TEmberGroupMarginEdge MarginEdge) {
  TEmberPaintInfoBaseGroup* pi = Group ? Group->GroupPaintInfo() : nullptr;
  const TRect& br = RectArray.BandRect;
  if (!pi || !pi->GetBandEnabled() || IsRectEmptyEx(br)) return;
  const Integer t = pi->GetBandThickness();
  TPen* pen = ACanvas->GetPen();

  if (MarginEdge == Edge::egmeTop || MarginEdge == Edge::egmeBottom) {
    const Integer y = br.Top + pi->GetBandMargin();
    const bool full = pi->GetBandFullWidth();
    if (!pi->GetBandBlended()) {
      pen->SetColor(pi->GetBandColor());
      for (Integer i = 0; i < t; ++i)
        full ? HLine(ACanvas, ObjRect.Left, ObjRect.Right, y + i) : HLine(ACanvas, br.Left, br.Left + pi->GetBandLength(), y + i);
      return;
    }
    if (pi->GetBandLength() <= 0) return;
    const TColor start = ColorToRGB(pi->GetBandColor()), fade = ColorToRGB(pi->GetBandColorFade());
    const Integer n = full ? ObjRect.Width() : pi->GetBandLength();
    const Integer x0 = full ? ObjRect.Left : br.Left;
    double step[3], from[3];
    for (int c = 0; c < 3; ++c) {
      from[c] = (start >> (8 * c)) & 0xFF;
      step[c] = (static_cast<double>((fade >> (8 * c)) & 0xFF) - from[c]) / (n != 0 ? n : 1);
    }
    pen->SetColor(pi->GetBandColor());
    for (Integer x = 0; x <= n; ++x) {
      VLine(ACanvas, x0 + x, y, y + t);
      TColor next = 0;
      for (int c = 0; c < 3; ++c)
        next |= static_cast<TColor>(std::clamp<Int64>(Round(from[c] + x * step[c]), 0, 255)) << (8 * c);
      pen->SetColor(next);
    }
    return;
  }

  const bool left = MarginEdge == Edge::egmeLeft;
  pen->SetColor(!left && pi->GetBandBlended() ? pi->GetBandColorFade() : pi->GetBandColor());
  const Integer r = pi->GetBandRadius();
  HDC dc = ACanvas->GetHandle();
  for (Integer i = 0; i < t; ++i) {
    const DWORD radius = static_cast<DWORD>(std::max<Integer>(r - i, 0));
    if (left) {
      HLine(ACanvas, br.Left + r, br.Right + 1, br.Top + i);
      HLine(ACanvas, br.Left + r, br.Right + 1, br.Bottom - i);
      VLine(ACanvas, br.Left + i, br.Top + r, br.Bottom - r + 1);
      ACanvas->MoveTo(br.Left + r, br.Top);
      AngleArc(dc, br.Left + r, br.Top + r, radius, 90, 90);
      ACanvas->MoveTo(br.Left, br.Bottom - r);
      AngleArc(dc, br.Left + r, br.Bottom - r, radius, 180, 90);
    } else {
      HLine(ACanvas, br.Left, br.Right - r + 1, br.Top + i);
      HLine(ACanvas, br.Left, br.Right - r + 1, br.Bottom - i);
      VLine(ACanvas, br.Right - i, br.Top + r, br.Bottom - r + 1);
      ACanvas->MoveTo(br.Right, br.Top + r);
      AngleArc(dc, br.Right - r, br.Top + r, radius, 0, 90);
      ACanvas->MoveTo(br.Right - r, br.Bottom);
      AngleArc(dc, br.Right - r, br.Bottom - r, radius, 270, 90);
    }
  }
}

void TEmberViewGroup::PaintCheckBox(TEmberGroup* Group, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray) {
  TEmberPaintInfoBaseGroup* pi = Group ? Group->GroupPaintInfo() : nullptr;
  TCustomEmberListview* lv = Group ? Group->GetOwnerListview() : nullptr;
  if (!pi || !lv) return;
  const TEmberCheckType type = pi->GetCheckType();
  if (type == TEmberCheckType::ectNone || type == TEmberCheckType::ectNoneWithSpace) return;
  const bool pressed = Group->GetCheckPending() && lv->GetStates().Contains(TEmberControlState::ebcsCheckboxClickPending);
  PaintCheckBoxCore(ACanvas, RectArray.CheckRect, Group->GetEnabled(), Group->GetChecked(), pressed, pi->GetCheckFlat(),
                    Group->GetCheckHovering(), Group->GetCheckPending(), pi->GetCheckSize(), type, lv);
}

void TEmberViewGroup::PaintExpandButton(TEmberGroup* Group, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                                        const TRect&, TEmberGroupMarginEdge MarginEdge) {
  TCustomEmberListview* lv = Group ? Group->GetOwnerListview() : nullptr;
  if (MarginEdge != Edge::egmeTop || !lv) return;
  const TRect& b = RectArray.ExpandButtonRect;
  if (lv->DrawWithThemes() && !HasImage(lv->GetGroupExpandButton()) && !HasImage(lv->GetGroupCollapseButton())) {
    const Integer top = b.Top + (b.Height() - b.Width()) / 2;
    const TRect square{b.Left, top, b.Left + b.Width(), top + b.Width()};
    DrawThemeBackground(lv->GetThemes()->GetTreeviewTheme(), ACanvas->GetHandle(), TVP_GLYPH,
                        Group->GetExpanded() ? GLPS_OPENED : GLPS_CLOSED, &square, nullptr);
    return;
  }
  if (!Group->GetExpandable()) return;
  TBitmap* glyph = ExpandGlyph(Group, Group->GetExpanded());
  if (!HasImage(glyph)) return;
  const Integer x = b.Left + (b.Width() - glyph->GetWidth()) / 2;
  Integer y = b.Top + (b.Height() - glyph->GetHeight()) / 2;
  const TCommonVAlignment valign = Group->GroupPaintInfo()->GetVAlignment();
  if (valign == TCommonVAlignment::cvaTop) y = b.Top + 2;
  if (valign == TCommonVAlignment::cvaBottom) y = b.Bottom - 2 - glyph->GetHeight();
  ACanvas->Draw(x, y, glyph);
}

void TEmberViewGroup::PaintFocusRect(TEmberGroup* Group, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                                     const TRect&, TEmberGroupMarginEdge MarginEdge) {
  TCustomEmberListview* lv = Group ? Group->GetOwnerListview() : nullptr;
  if (MarginEdge != Edge::egmeForeground || !lv || !Group->GetFocused() || IsRectEmptyEx(RectArray.GroupRect)) return;
  const TRect& g = RectArray.GroupRect;
  ACanvas->GetBrush()->SetColor(lv->GetColor());
  ACanvas->GetFont()->SetColor(clBlack);
  ACanvas->DrawFocusRect(TRect{g.Left + 4, g.Top + 4, g.Right - 4, g.Bottom - 4});
}

void TEmberViewGroup::PaintImage(TEmberGroup* Group, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                                 const TRect&, TEmberGroupMarginEdge MarginEdge) {
  if (!Group || (MarginEdge != Edge::egmeTop && MarginEdge != Edge::egmeBottom)) return;
  bool custom = false;
  Group->ImageDrawIsCustom(nullptr, custom);
  if (custom) {
    Group->ImageDraw(nullptr, ACanvas, RectArray, EmberAlphaBlender());
    return;
  }
  TCustomImageList* list = GetImageList(Group);
  if (!list || Group->GetImageIndex() < 0) return;
  const bool top = MarginEdge == Edge::egmeTop;
  TCustomEmberFooterMargin* footer = Group->GetMarginBottom();
  const Integer index = top ? Group->GetImageIndex() : (footer ? footer->GetImageIndex() : -1);
  const Integer overlay = top ? Group->GetImageOverlayIndex() : (footer ? footer->GetImageOverlayIndex() : -1);
  UINT style = ILD_TRANSPARENT;
  if (overlay >= 0) {
    ImageList_SetOverlayImage(list->GetHandle(), overlay, 1);
    style |= INDEXTOOVERLAYMASK(1);
  }
  const TRect& icon = RectArray.IconRect;
  const TCommonVAlignment valign = top || !footer ? Group->GroupPaintInfo()->GetVAlignment() : footer->GetVAlignment();
  const Integer x = icon.Left + (icon.Width() - list->GetWidth()) / 2;
  Integer y = icon.Top + (icon.Height() - list->GetHeight()) / 2;
  if (valign == TCommonVAlignment::cvaTop) y = icon.Top + 2;
  if (valign == TCommonVAlignment::cvaBottom) y = icon.Bottom - (list->GetHeight() + 2);
  ImageList_DrawEx(list->GetHandle(), index, ACanvas->GetHandle(), x, y, 0, 0, CLR_NONE, CLR_NONE, style);
}

void TEmberViewGroup::PaintSelectionRect(TEmberGroup* Group, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                                         const TRect&) {
  if (!Group || !Group->GetSelected() || Group->GetCaption().empty() || IsRectEmptyEx(RectArray.TextRect)) return;
  const TRect& t = RectArray.TextRect;
  ACanvas->GetBrush()->SetStyle(TBrushStyle::bsSolid);
  ACanvas->GetBrush()->SetColor(clHighlight);
  ACanvas->FillRect(TRect{t.Left - 2, t.Top - 2, t.Right + 2, t.Bottom + 2});
}

void TEmberViewGroup::PaintText(TEmberGroup* Group, TEmberGroupMarginEdge MarginEdge,
                                const TEmberRectArrayObject& RectArray, const TRect&, TCanvas* ACanvas) {
  if (!Group || IsRectEmptyEx(RectArray.TextRect) || Group->GetCaption().empty()) return;
  TEmberPaintInfoBaseGroup* pi = Group->GroupPaintInfo();
  TCustomEmberFooterMargin* footer = Group->GetMarginBottom();
  if (!pi) return;
  LoadTextFont(Group, ACanvas);
  const bool top = MarginEdge == Edge::egmeTop || !footer;
  const String text = top ? Group->GetCaption() : footer->GetCaption();
  const TAlignment align = top ? pi->GetAlignment() : footer->GetAlignment();
  const TCommonVAlignment valign = top ? pi->GetVAlignment() : footer->GetVAlignment();
  Word flags = common::dtwSingleLine | common::dtwEndEllipsis;
  if (align == TAlignment::taRightJustify) flags |= common::dtwRight;
  if (align == TAlignment::taCenter) flags |= common::dtwCenter;
  if (valign == TCommonVAlignment::cvaBottom) flags |= common::dtwBottom;
  if (valign == TCommonVAlignment::cvaCenter) flags |= common::dtwVCenter;
  TRect r = RectArray.TextRect;
  common::DrawTextWEx(ACanvas->GetHandle(), text, r, 1, flags);
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
  return RectOfType(ra, RectType);
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
