// How the item views paint: the paint sequence every view inherits, the selection highlight, the
// picture, the caption, the focus rectangle and the check box, and the thumbnail's picture frame.

#include <algorithm>

#include "listview/EmberControl.h"
#include "platform/classlib/ImgList.h"
#include "platform/gdi/Bitmap.h"
#include "platform/gdi/ImageList.h"
#include "platform/gdi/Theme.h"
#include "platform/rtl/Format.h"

namespace ember {

using common::TCommonVAlignment;

namespace {

TRect Inflated(const TRect& r, Integer d) { return TRect{r.Left - d, r.Top - d, r.Right + d, r.Bottom + d}; }

bool IsReportView(TCustomEmberListview* lv) {
  return lv->GetView() == TEmberListStyle::elsReport || lv->GetView() == TEmberListStyle::elsReportThumb;
}

// The header's column at index 0, when the header has columns.
TEmberColumn* IndexZeroColumn(TCustomEmberListview* lv) {
  TEmberColumns* columns = lv->GetHeader()->GetColumns();
  return columns->GetCount() > 0 ? columns->GetColumn(0) : nullptr;
}

// The rectangle spans the first column: its left edge and its width.
void SpanColumn(TRect& r, TEmberColumn* column) {
  if (!column) return;
  r.Left = column->GetDisplayRect().Left;
  r.Right = r.Left + column->GetWidth();
}

// Logical to device coordinates of the canvas (its window origin moves the view).
TRect ToDevice(HDC dc, const TRect& r) {
  TPoint p[2] = {{r.Left, r.Top}, {r.Right, r.Bottom}};
  LPtoDP(dc, p, 2);
  return TRect{p[0].X, p[0].Y, p[1].X, p[1].Y};
}

Owned<TBitmap> Bitmap32(Integer w, Integer h) {
  Owned<TBitmap> b(TBitmap::New());
  b->SetPixelFormat(TPixelFormat::pf32bit);
  b->SetSize(w, h);
  return b;
}

}  // namespace

void EmberClipHeader(TCustomEmberListview* LV, TCanvas* ACanvas, bool ResetClipRgn) {
  if (!LV || !ACanvas) return;
  HDC dc = ACanvas->GetHandle();
  if (ResetClipRgn) SelectClipRgn(dc, nullptr);
  TEmberHeader* header = LV->GetHeader();
  const Integer h = header->RuntimeHeight();
  if (h <= 0) return;
  TPoint org;
  SetWindowOrgEx(dc, 0, 0, &org);
  if (LV->HeaderInUse() && header->GetVisible()) ExcludeClipRect(dc, 0, 0, LV->GetClientWidth(), h);
  SetWindowOrgEx(dc, org.X, org.Y, nullptr);
}

// ---- The check box every view paints ----
void TEmberOwnedPersistentView::PaintCheckBoxCore(TCanvas* ACanvas, const TRect& CheckRect, bool Enabled, bool Checked,
                                                  bool Hot, bool Flat, bool Hovering, bool Pending, Integer Size,
                                                  TEmberCheckType CheckType, TCustomEmberListview* Listview) {
  if (!ACanvas || (CheckType != TEmberCheckType::ectBox && CheckType != TEmberCheckType::ectRadio)) return;
  const bool box = CheckType == TEmberCheckType::ectBox;
  if (Listview && Listview->DrawWithThemes() && Listview->GetThemes()->GetButtonTheme()) {
    int state = Checked ? 5 : 1;
    if (!Enabled)
      state = Checked ? 8 : 4;
    else if (Hovering)
      state = Checked ? 6 : 2;
    else if (Pending)
      state = Checked ? 7 : 3;
    DrawThemeBackground(Listview->GetThemes()->GetButtonTheme(), ACanvas->GetHandle(), box ? BP_CHECKBOX : BP_RADIOBUTTON,
                        state, &CheckRect, nullptr);
    return;
  }
  TColor c[6];
  if (Flat && Enabled) {
    c[0] = c[1] = c[2] = c[3] = clBlack;
    c[4] = clBtnFace;
    c[5] = clWhite;
  } else if (Flat) {
    c[0] = c[1] = c[2] = c[3] = clBtnShadow;
    c[4] = c[5] = clBtnFace;
  } else {
    c[0] = cl3DLight;
    c[1] = cl3DDkShadow;
    c[2] = clBtnHighlight;
    c[3] = clBtnShadow;
    c[4] = clBtnFace;
    c[5] = Enabled ? clWhite : clBtnFace;
  }
  const TPoint pos{CheckRect.Left, CheckRect.Top};
  if (box)
    common::DrawCheckBoxGlyphs(ACanvas, pos, Size, Checked, Enabled, Hot, c[0], c[1], c[2], c[3], c[4], c[5]);
  else
    common::DrawRadioButtonGlyphs(ACanvas, pos, Size, Checked, Enabled, Hot, c[0], c[1], c[2], c[3], c[4], c[5]);
}

// ---- The paint sequence ----
void TEmberViewItem::Paint(TEmberItem* Item, TEmberColumn* Column, TCanvas* ACanvas, const TRect& ViewportClipRect,
                           bool ForceSelectionRectDraw) {
  if (!Item || !ACanvas || !Item->GetVisible()) return;
  TCustomEmberListview* lv = Item->GetOwnerListview();
  if (!lv) return;
  TEmberCanvasStore* store = CanvasStore();
  store->StoreCanvasState(ACanvas);
  // The canvas goes back as it came, whatever a handler raises.
  struct TRestore {
    TEmberCanvasStore* Store;
    TCanvas* Canvas;
    ~TRestore() { Store->RestoreCanvasState(Canvas); }
  } restore{store, ACanvas};

  const WideString caption = Column ? Item->GetCaptions(Column->GetIndex()) : Item->GetCaption();
  TEmberRectArrayObject ra;
  ItemRectArray(Item, Column, ACanvas, caption, ra);
  bool handled = false;
  PaintBefore(Item, Column, caption, ACanvas, ra, handled);
  if (handled) return;
  TEmberEditManager* edit = lv->GetEditManager();
  const bool editingThis = edit && edit->GetEditing() && edit->GetEditItem() == Item;
  if (!editingThis) PaintSelectionRect(Item, Column, caption, ra, ACanvas, ViewportClipRect, ForceSelectionRectDraw);
  PaintImage(Item, Column, caption, ra, TEmberImageSize::eisSmall, ACanvas);
  // In the report views only the column being edited hides its caption.
  if (!editingThis || (IsReportView(lv) && edit->GetEditColumn() != Column)) {
    PaintText(Item, Column, caption, ra, ACanvas, PaintTextLineCount(Item, Column));
    if (lv->GetSelection()->GetUseFocusRect()) PaintFocusRect(Item, Column, caption, ra, ACanvas);
  }
  PaintCheckBox(Item, Column, ra, ACanvas);
  PaintAfter(Item, Column, caption, ACanvas, ra);
}

void TEmberViewItem::PaintAfter(TEmberItem*, TEmberColumn*, const WideString&, TCanvas*, const TEmberRectArrayObject&) {}

void TEmberViewItem::PaintBefore(TEmberItem* Item, TEmberColumn*, const WideString&, TCanvas* ACanvas,
                                 const TEmberRectArrayObject& RectArray, bool&) {
  if (Item->GetBorder() <= 0) return;
  ACanvas->GetBrush()->SetColor(Item->GetBorderColor());
  ACanvas->FrameRect(RectArray.BoundsRect);
}

void TEmberViewItem::PaintCheckBox(TEmberItem* Item, TEmberColumn* Column, const TEmberRectArrayObject& RectArray,
                                   TCanvas* ACanvas) {
  const TEmberCheckType type = Item->GetCheckType();
  if ((type != TEmberCheckType::ectBox && type != TEmberCheckType::ectRadio) || ColumnIndex(Column) != 0) return;
  TCustomEmberListview* lv = Item->GetOwnerListview();
  const bool hot = lv && lv->GetCheckManager()->GetPendingObject() == Item;
  PaintCheckBoxCore(ACanvas, RectArray.CheckRect, Item->GetEnabled(), Item->GetChecked(), hot, Item->GetCheckFlat(),
                    Item->GetCheckHovering(), Item->GetCheckPending(), Item->GetCheckSize(), type, lv);
}

void TEmberViewItem::LoadTextFont(TEmberItem* Item, Integer Position, TCanvas* ACanvas, bool Hilightable) {
  TCustomEmberListview* lv = Item ? Item->GetOwnerListview() : nullptr;
  if (!lv || !ACanvas) return;
  ACanvas->SetFont(lv->GetFont());
  ACanvas->GetBrush()->SetStyle(TBrushStyle::bsClear);
  TFont* font = ACanvas->GetFont();
  TEmberSelectionManager* sel = lv->GetSelection();
  if (!lv->GetShowInactive()) {
    if (Hilightable)
      font->SetColor(lv->Focused() || sel->GetPopupMode() || Item->GetHilighted() ? sel->GetTextColor()
                                                                                   : sel->GetInactiveTextColor());
    TEmberHotTrackManager* hot = lv->GetHotTrack();
    if (hot->GetEnabled() && !Item->GetHilighted() && hot->GetPendingObject() == Item && !Item->GetSelected()) {
      font->SetColor(hot->GetColor());
      if (hot->GetUnderline()) font->SetStyle(font->GetStyle() + TFontStyle::fsUnderline);
    }
  } else {
    font->SetColor(clGrayText);
  }
  if (Item->GetBold()) font->SetStyle(font->GetStyle() + TFontStyle::fsBold);
  lv->DoItemPaintText(Item, Position, ACanvas);
}

void TEmberViewItem::PaintText(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption,
                               const TEmberRectArrayObject& RectArray, TCanvas* ACanvas, Integer LinesToDraw) {
  if (IsRectEmptyEx(RectArray.TextRect)) return;
  TCustomEmberListview* lv = Item->GetOwnerListview();
  const Integer index = ColumnIndex(Column);
  const bool hilightable = (Item->GetSelected() || Item->GetHilighted()) &&
                           (index == 0 || FullRowSelect() || lv->GetSelection()->GetGroupSelections());
  LoadTextFont(Item, index, ACanvas, hilightable);
  Word flags = common::dtwEndEllipsis | AlignmentFlag(PaintTextAlignment(Item, Column)) |
               VAlignmentFlag(PaintTextVAlignment(Item, Column));
  if (LinesToDraw == 1) flags |= common::dtwSingleLine;
  EmberClipHeader(lv, ACanvas, false);
  TRect r = RectArray.TextRect;
  common::DrawTextWEx(ACanvas->GetHandle(), Caption, r, LinesToDraw, flags);
}

void TEmberViewItem::PaintFocusRect(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption,
                                    const TEmberRectArrayObject& RectArray, TCanvas* ACanvas) {
  TCustomEmberListview* lv = Item->GetOwnerListview();
  if (FullRowSelect() || !Item->GetFocused() || !lv->Focused() || ColumnIndex(Column) > 0) return;
  TEmberSelectionManager* sel = lv->GetSelection();
  TRect r = RectArray.FullFocusSelRect;
  if (sel->GetFullCellPaint()) {
    r = UnionRectEx(Item->GetDisplayRect(), RectArray.FullFocusSelRect);
    if (IsReportView(lv)) SpanColumn(r, IndexZeroColumn(lv));
  } else if (sel->GetFullItemPaint()) {
    r = UnionRectEx(r, RectArray.IconRect);
  }
  AfterFocusRectCalc(Item, Column, Caption, r);
  ACanvas->GetBrush()->SetColor(lv->GetColor());
  ACanvas->GetFont()->SetColor(clBlack);
  ACanvas->DrawFocusRect(r);
}

// ---- The selection highlight ----
void TEmberViewItem::PaintSelectionRect(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption,
                                        const TEmberRectArrayObject& RectArray, TCanvas* ACanvas,
                                        const TRect& /*ViewportClipRect*/, bool ForceSelectionRectDraw) {
  TCustomEmberListview* lv = Item->GetOwnerListview();
  TEmberSelectionManager* sel = lv->GetSelection();
  const bool selOrHilight = Item->GetSelected() || Item->GetHilighted();
  const bool selected = selOrHilight && ColumnIndex(Column) < 1;
  if (selected && FullRowSelect() && !ForceSelectionRectDraw) return;
  if (!selected && !ForceSelectionRectDraw) return;

  // Colours.
  const bool inactive = !lv->Focused() && (!Item->GetHilighted() || lv->GetShowInactive()) && !sel->GetPopupMode();
  TColor blendColor, gradientTop, gradientBottom;
  if (inactive) {
    ACanvas->GetFont()->SetColor(sel->GetInactiveTextColor());
    ACanvas->GetPen()->SetColor(sel->GetInactiveBorderColor());
    ACanvas->GetBrush()->SetColor(sel->GetInactiveColor());
    blendColor = gradientBottom = sel->GetInactiveColor();
    gradientTop = lv->GetColor();
  } else {
    ACanvas->GetFont()->SetColor(sel->GetTextColor());
    ACanvas->GetPen()->SetColor(sel->GetUseFocusRect() && sel->GetFocusedItem() == Item ? TColor(0xC0C0C0)
                                                                                        : sel->GetBorderColor());
    ACanvas->GetBrush()->SetColor(sel->GetColor());
    blendColor = sel->GetColor();
    gradientTop = sel->GetGradientColorTop();
    gradientBottom = sel->GetGradientColorBottom();
  }

  // The rectangle.
  const bool report = IsReportView(lv);
  const bool fullCell = sel->GetFullCellPaint();
  const bool fullItem = sel->GetFullItemPaint();
  TRect r;
  if (sel->GetGroupSelections() && report && selOrHilight) {
    TEmberSelectionGroupList* group = Item->GetSelectionGroup();
    if (!group || Item->GetHilighted())
      r = Item->GetDisplayRect();
    else if (group->GetFirstItem() == Item)
      r = group->GetDisplayRect();
    if (!fullItem && !fullCell && !IsRectEmptyEx(r))
      r.Left = group && Item->GetHilighted() ? RectArray.TextRect.Left : RectArray.SelectionRect.Left;
  } else if (FullRowSelect() && selOrHilight) {
    r = Item->GetDisplayRect();
    if (!fullCell && !fullItem) r.Left = RectArray.SelectionRect.Left;
  } else if (Item->GetFocused() && (lv->Focused() || sel->GetPopupMode())) {
    if (fullCell) {
      r = UnionRectEx(Item->GetDisplayRect(), RectArray.FullFocusSelRect);
      if (report) SpanColumn(r, IndexZeroColumn(lv));
    } else {
      r = RectArray.FullFocusSelRect;
      if (fullItem) r = UnionRectEx(r, RectArray.IconRect);
    }
  } else if (fullCell) {
    r = Item->GetDisplayRect();
    if (report) SpanColumn(r, IndexZeroColumn(lv));
  } else {
    r = RectArray.SelectionRect;
    if (fullItem) r = UnionRectEx(r, RectArray.IconRect);
  }
  AfterSelRectCalc(Item, Column, Caption, r);

  // Never over the header, never outside the client area.
  TEmberScrollbarManager* sb = lv->GetScrollbars();
  TRect w = sb->MapViewRectToWindowRect(r);
  w.Top = std::max(w.Top, lv->GetHeader()->RuntimeHeight());
  TRect clipped;
  if (!IntersectRectEx(clipped, w, lv->GetClientRect())) return;
  r = sb->MapWindowRectToViewRect(clipped);
  if (IsRectEmptyEx(r)) return;

  HDC dc = ACanvas->GetHandle();
  const Integer radius = sel->GetRoundRectRadius();
  const Integer width = r.Width(), height = r.Height();
  const bool canBlend = common::CpuHasMMX();
  auto gradientBitmap = [&]() {
    Owned<TBitmap> g = Bitmap32(width, height);
    common::DrawVerticalGradient(g->GetCanvas(), 0, width, 0, height - 1, gradientTop, gradientBottom, 0, height - 1);
    return g;
  };
  if (sel->GetGradient() && !sel->GetAlphaBlend()) {
    if (height > 0)
      common::DrawVerticalGradient(ACanvas, r.Left, r.Right, r.Top, r.Bottom - 1, gradientTop, gradientBottom, r.Top,
                                   r.Bottom - 1);
    ACanvas->FrameRect(r);
  } else if (sel->GetAlphaBlend() && canBlend) {
    if (sel->GetRoundRect()) {
      Owned<TBitmap> bmp = Bitmap32(width, height);
      BitBlt(bmp->GetCanvas()->GetHandle(), 0, 0, width, height, dc, r.Left, r.Top, SRCCOPY);
      TCanvas* bc = bmp->GetCanvas();
      bc->GetPen()->SetColor(ACanvas->GetPen()->GetColor());
      bc->GetBrush()->SetStyle(TBrushStyle::bsClear);
      bc->RoundRect(0, 0, width, height, radius, radius);
      if (sel->GetGradient()) {
        Owned<TBitmap> g = gradientBitmap();
        BlendBitmaps(g.get(), bmp.get(), 80, sel->GetBlurAlphaBkGnd(), 20);
      } else {
        HDC bdc = bc->GetHandle();
        common::CommonAlphaBlend(bdc, bdc, TRect{0, 0, width, height}, TPoint{0, 0},
                                 common::TCommonBlendMode::cbmConstantAlphaAndColor, sel->GetBlendAlphaTextRect(),
                                 static_cast<Integer>(ColorToRGB(blendColor)));
      }
      const TRect d = ToDevice(dc, r);
      HRGN rgn = CreateRoundRectRgn(d.Left, d.Top, d.Right + 1, d.Bottom + 1, radius, radius);
      SelectClipRgn(dc, rgn);
      EmberClipHeader(lv, ACanvas, false);
      BitBlt(dc, r.Left, r.Top, width, height, bmp->GetCanvas()->GetHandle(), 0, 0, SRCCOPY);
      EmberClipHeader(lv, ACanvas, true);
      DeleteObject(rgn);
    } else if (!sel->GetGradient()) {
      const TRect d = ToDevice(dc, r);
      common::CommonAlphaBlend(dc, dc, d, TPoint{d.Left, d.Top}, common::TCommonBlendMode::cbmConstantAlphaAndColor,
                               sel->GetBlendAlphaTextRect(), static_cast<Integer>(ColorToRGB(blendColor)));
      const TBrushStyle old = ACanvas->GetBrush()->GetStyle();
      ACanvas->GetBrush()->SetStyle(TBrushStyle::bsClear);
      ACanvas->Rectangle(r);
      ACanvas->GetBrush()->SetStyle(old);
    } else {
      Owned<TBitmap> bmp = Bitmap32(width, height);
      BitBlt(bmp->GetCanvas()->GetHandle(), 0, 0, width, height, dc, r.Left, r.Top, SRCCOPY);
      Owned<TBitmap> g = gradientBitmap();
      BlendBitmaps(g.get(), bmp.get(), 80, sel->GetBlurAlphaBkGnd(), 20);
      BitBlt(dc, r.Left, r.Top, width, height, bmp->GetCanvas()->GetHandle(), 0, 0, SRCCOPY);
    }
  } else if (sel->GetRoundRect()) {
    ACanvas->RoundRect(r.Left, r.Top, r.Right, r.Bottom, radius, radius);
  } else {
    ACanvas->Rectangle(r);
  }
}

// ---- The picture ----
void TEmberViewItem::TestAndClipImage(TCanvas* ACanvas, const TEmberRectArrayObject& RectArray, HRGN& Rgn) {
  Rgn = nullptr;
  const TRect u = UnionRectEx(RectArray.IconRect, RectArray.StateRect);
  if (common::RectContainsRect(RectArray.BoundsRect, u)) return;
  HDC dc = ACanvas->GetHandle();
  Rgn = CreateRectRgn(0, 0, 0, 0);
  if (GetClipRgn(dc, Rgn) != 1) {
    DeleteObject(Rgn);
    Rgn = nullptr;
  }
  TRect c;
  IntersectRectEx(c, u, RectArray.BoundsRect);
  IntersectClipRect(dc, c.Left, c.Top, c.Right, c.Bottom);
  EmberClipHeader(OwnerListview(), ACanvas, false);
}

void TEmberViewItem::TestAndUnClipImage(TCanvas* ACanvas, const TEmberRectArrayObject& RectArray, HRGN Rgn) {
  const TRect u = UnionRectEx(RectArray.IconRect, RectArray.StateRect);
  if (common::RectContainsRect(RectArray.BoundsRect, u)) return;
  if (Rgn) {
    SelectClipRgn(ACanvas->GetHandle(), Rgn);
    DeleteObject(Rgn);
  } else {
    EmberClipHeader(OwnerListview(), ACanvas, true);
  }
}

void TEmberViewItem::PaintImage(TEmberItem* Item, TEmberColumn* Column, const WideString&,
                                const TEmberRectArrayObject& RectArray, TEmberImageSize, TCanvas* ACanvas) {
  TCustomEmberListview* lv = Item->GetOwnerListview();
  if (!lv->GetShowImages() && !lv->IsThumbnailView()) return;
  HRGN rgn = nullptr;
  TestAndClipImage(ACanvas, RectArray, rgn);
  struct TUnclip {
    TEmberViewItem* View;
    TCanvas* Canvas;
    const TEmberRectArrayObject& RA;
    HRGN& Rgn;
    ~TUnclip() { View->TestAndUnClipImage(Canvas, RA, Rgn); }
  } unclip{this, ACanvas, RectArray, rgn};

  bool doDefault = true;
  TCustomImageList* list = GetImageList(Column, Item, TEmberImageKind::eikNormal);
  TEmberRectArrayObject ra = RectArray;
  if (lv->IsThumbnailView()) {
    ra.IconRect = Inflated(ra.IconRect, -Item->GetBorder());
    // A cell too small for its border hands an empty picture area, never an inverted one.
    ra.IconRect.Right = std::max(ra.IconRect.Right, ra.IconRect.Left);
    ra.IconRect.Bottom = std::max(ra.IconRect.Bottom, ra.IconRect.Top);
    Item->ThumbnailDraw(ACanvas, ra.IconRect, EmberAlphaBlender(), doDefault);
  }
  if (!doDefault || !lv->GetShowImages()) return;
  bool custom = false;
  Item->ImageDrawIsCustom(Column, custom);
  if (custom) {
    Item->ImageDraw(Column, ACanvas, ra, EmberAlphaBlender());
    return;
  }
  HDC dc = ACanvas->GetHandle();
  const Integer index = ColumnIndex(Column);
  const Integer imageIndex = Item->GetImageIndexes(index);
  const Integer overlayIndex = Item->GetImageOverlayIndexes(index);
  if (PaintStateImage()) {
    const Integer stateIndex = Item->GetStateImageIndexes(index);
    TCustomImageList* states = GetImageList(Column, Item, TEmberImageKind::eikState);
    if (stateIndex >= 0 && states) {
      const TRect& s = ra.StateRect;
      ImageList_DrawEx(states->GetHandle(), stateIndex, dc, s.Left + (s.Width() - states->GetWidth()) / 2,
                       s.Top + (s.Height() - states->GetHeight()) / 2, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
    }
  }
  if (!list || imageIndex < 0) return;
  TEmberSelectionManager* sel = lv->GetSelection();
  UINT style = ILD_TRANSPARENT;
  COLORREF foreground = CLR_NONE;
  if (sel->GetBlendIcon() && ((Item->GetSelected() && (lv->Focused() || sel->GetPopupMode())) ||
                              (Item->GetHilighted() && ColumnPosition(Column) < 1))) {
    style |= ILD_BLEND50;
    foreground = sel->GetForceDefaultBlend() ? CLR_DEFAULT : static_cast<COLORREF>(ColorToRGB(sel->GetColor()));
  }
  if (!Item->GetEnabled() || Item->GetCut() || Item->GetGhosted() || lv->GetShowInactive()) {
    style |= ILD_BLEND50;
    foreground = static_cast<COLORREF>(ColorToRGB(lv->GetDisabledBlendColor()));
  }
  if (overlayIndex >= 0) style |= static_cast<UINT>(overlayIndex) << 8;
  const TRect& icon = ra.IconRect;
  const Integer iw = list->GetWidth(), ih = list->GetHeight();
  if (icon.Width() >= iw && icon.Height() >= ih) {
    ImageList_DrawEx(list->GetHandle(), imageIndex, dc, icon.Left + (icon.Width() - iw) / 2,
                     icon.Top + (icon.Height() - ih) / 2, 0, 0, CLR_NONE, foreground, style);
  } else if (iw >= 1 && ih >= 1 && icon.Width() > 0 && icon.Height() > 0) {
    // Too large for the picture area: scaled down keeping its aspect.
    Owned<TBitmap> bmp = Bitmap32(iw, ih);
    TCanvas* bc = bmp->GetCanvas();
    bc->GetBrush()->SetColor(lv->GetColor());
    bc->FillRect(TRect{0, 0, iw, ih});
    ImageList_DrawEx(list->GetHandle(), imageIndex, bc->GetHandle(), 0, 0, 0, 0, CLR_NONE, foreground, style);
    const double scale = std::min(static_cast<double>(icon.Width()) / iw, static_cast<double>(icon.Height()) / ih);
    const auto sw = static_cast<Integer>(Round(iw * scale));
    const auto sh = static_cast<Integer>(Round(ih * scale));
    StretchBlt(dc, icon.Left + (icon.Width() - sw) / 2, icon.Top + (icon.Height() - sh) / 2, sw, sh, bc->GetHandle(),
               0, 0, iw, ih, SRCCOPY);
  }
}

// ---- Thumbnail: the picture frame ----
void TEmberViewThumbnailItem::PaintBefore(TEmberItem*, TEmberColumn*, const WideString&, TCanvas*,
                                          const TEmberRectArrayObject&, bool&) {}

void TEmberViewThumbnailItem::PaintAfter(TEmberItem* Item, TEmberColumn*, const WideString&, TCanvas* ACanvas,
                                         const TEmberRectArrayObject& RectArray) {
  TCustomEmberListview* lv = Item->GetOwnerListview();
  if (!lv->GetPaintInfoItem()->GetShowBorder()) return;
  TEmberSelectionManager* sel = lv->GetSelection();
  const TRect& icon = RectArray.IconRect;
  if ((Item->GetSelected() || Item->GetHilighted()) && !sel->GetGradient()) {
    ACanvas->GetBrush()->SetColor(lv->Focused() || sel->GetPopupMode() || Item->GetHilighted() ? sel->GetColor()
                                                                                               : sel->GetInactiveColor());
    for (Integer i = 0; i < 3; ++i) ACanvas->FrameRect(Inflated(icon, -i));
  } else {
    ACanvas->GetBrush()->SetColor(Item->GetBorderColor());
    ACanvas->FrameRect(icon);
  }
}

// ---- Tile: one caption per line ----
void TEmberViewTileItem::PaintText(TEmberItem* Item, TEmberColumn* Column, const WideString&,
                                   const TEmberRectArrayObject& RectArray, TCanvas* ACanvas, Integer LinesToDraw) {
  TCustomEmberListview* lv = Item->GetOwnerListview();
  const Word flags = 0x410 | AlignmentFlag(PaintTextAlignment(Item, Column));
  EmberClipHeader(lv, ACanvas, false);
  for (size_t i = 0; i < RectArray.TextRects.size(); ++i) {
    const auto line = static_cast<Integer>(i);
    const Integer detail = Item->GetDetail(line);
    if (detail < 0 || IsRectEmptyEx(RectArray.TextRects[i])) continue;
    LoadTextFont(Item, line, ACanvas, Item->GetSelected());
    TRect r = RectArray.TextRects[i];
    common::DrawTextWEx(ACanvas->GetHandle(), Item->GetCaptions(detail), r, LinesToDraw, flags);
  }
}

}  // namespace ember
