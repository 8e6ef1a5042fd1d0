// The control's content paint: background, header, the groups' six passes, column shading, the
// items, grid lines and the insert mark, in that order. Groups, items and columns keep their
// rectangles in view coordinates; the canvas's window origin follows the scroll offsets instead
// of every rectangle being moved. Only what meets the clip rectangle is visited.

#include <algorithm>

#include "listview/EmberBackground.h"
#include "listview/EmberControl.h"
#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Theme.h"

namespace ember {

namespace {

using LS = TEmberListStyle;

bool IsReportView(TEmberListStyle V) { return V == LS::elsReport || V == LS::elsReportThumb; }
bool HasColumnsView(TEmberListStyle V) { return IsReportView(V) || V == LS::elsGrid; }

// The group button bitmaps stay locked for one paint, and the window origin comes back however
// the paint ends.
class TPaintScope {
public:
  TPaintScope(TCustomEmberListview* LV, HDC DC) : FDC(DC) {
    for (TBitmap* b : {LV->GetGroupExpandButton(), LV->GetGroupCollapseButton()}) {
      if (!b) continue;
      b->GetCanvas()->Lock();
      FLocked.push_back(b);
    }
    GetWindowOrgEx(FDC, &FOrigin);
  }
  ~TPaintScope() {
    SetWindowOrgEx(FDC, FOrigin.X, FOrigin.Y, nullptr);
    for (TBitmap* b : FLocked) b->GetCanvas()->Unlock();
  }
  const TPoint& Origin() const { return FOrigin; }
  TPaintScope(const TPaintScope&) = delete;
  TPaintScope& operator=(const TPaintScope&) = delete;

private:
  HDC FDC;
  TPoint FOrigin;
  std::vector<TBitmap*> FLocked;
};

bool Meets(const TRect& A, const TRect& B) {
  TRect x;
  return IntersectRectEx(x, A, B);
}

// Columns meet a view rectangle by their horizontal extent; the header keeps them in position
// order.
template <class F>
void ForColumnsInRect(TEmberHeader* Header, const TRect& ViewClip, F&& Fn) {
  for (TEmberColumn* c : Header->VisibleColumns()) {
    const TRect& r = c->GetDisplayRect();
    if (r.Right <= ViewClip.Left) continue;
    if (r.Left >= ViewClip.Right) break;
    Fn(c);
  }
}

}  // namespace

void TCustomEmberListview::ClipHeader(TCanvas* ACanvas, bool ResetClipRegion) {
  HDC dc = ACanvas->GetHandle();
  if (ResetClipRegion) SelectClipRgn(dc, nullptr);
  const Integer h = FHeader->RuntimeHeight();
  if (h <= 0) return;
  TPoint org;
  SetWindowOrgEx(dc, 0, 0, &org);
  if (HeaderInUse() && FHeader->GetVisible()) ExcludeClipRect(dc, 0, 0, GetClientWidth(), h);
  SetWindowOrgEx(dc, org.X, org.Y, nullptr);
}

void TCustomEmberListview::DoPaintRect(TCanvas* ACanvas, const TRect& ClipRect, bool ViewCoords, bool SelectedOnly) {
  if (!ACanvas) return;
  HDC dc = ACanvas->GetHandle();
  TPaintScope scope(this, dc);
  const Integer headerH = FHeader->RuntimeHeight();
  const Integer offX = FScrollbars->GetOffsetX(), offY = FScrollbars->GetOffsetY();
  auto viewOrigin = [&] {
    if (!ViewCoords) SetWindowOrgEx(dc, offX, offY - headerH, nullptr);
  };

  TRect headerRect{0, 0, GetClientWidth(), headerH};
  TRect viewClip;
  if (ViewCoords) {
    viewClip = ClipRect;
    headerRect.Left = ClipRect.Left;
    headerRect.Right = ClipRect.Right;
  } else {
    viewClip = FScrollbars->MapWindowRectToViewRect(ClipRect);
    headerRect.Left += offX;
    headerRect.Right += offX;
  }

  if (!SelectedOnly) {
    if (FBackGround) {
      TPoint saved;
      if (ViewCoords) SetWindowOrgEx(dc, 0, -headerH, &saved);
      FBackGround->PaintTo(ACanvas, ClipRect, false);
      if (ViewCoords) SetWindowOrgEx(dc, saved.X, saved.Y, nullptr);
    }
    SelectClipRgn(dc, nullptr);
    if (ScrollHeaderHorz() && !ViewCoords) SetWindowOrgEx(dc, offX, 0, nullptr);
    if (HeaderInUse() && FHeader->GetVisible()) FHeader->PaintTo(ACanvas, headerRect, ViewCoords);
    if (ViewCoords) SetWindowOrgEx(dc, 0, -headerH, nullptr);
    ClipHeader(ACanvas, true);
    viewOrigin();
    for (TEmberGroup* g = FGroups->FirstGroupInRect(viewClip); g; g = FGroups->NextGroupInRect(g, viewClip)) {
      g->Paint(ACanvas, TEmberGroupMarginEdge::egmeBackground, g->GetDisplayRect());
      g->Paint(ACanvas, TEmberGroupMarginEdge::egmeTop, g->GetBoundsRectTopMargin());
      g->Paint(ACanvas, TEmberGroupMarginEdge::egmeBottom, g->GetBoundsRectBottomMargin());
      g->Paint(ACanvas, TEmberGroupMarginEdge::egmeLeft, g->GetBoundsRectLeftMargin());
      g->Paint(ACanvas, TEmberGroupMarginEdge::egmeRight, g->GetBoundsRectRightMargin());
      g->Paint(ACanvas, TEmberGroupMarginEdge::egmeForeground, g->GetDisplayRect());
    }
  }

  viewOrigin();
  SelectClipRgn(dc, nullptr);
  if (!SelectedOnly && HasColumnsView(FView)) PaintColumnShading(ACanvas, viewClip);

  TRect rowFocus;
  bool rowFocusHeld = false;
  PaintItems(ACanvas, viewClip, SelectedOnly, rowFocus, rowFocusHeld);

  if (!SelectedOnly && HasColumnsView(FView) && GetPaintInfoItem() && GetPaintInfoItem()->GetGridLines()) {
    PaintGridLines(ACanvas, viewClip);
    if (rowFocusHeld) {
      rowFocus.Bottom -= 1;
      ACanvas->DrawFocusRect(rowFocus);
    }
  }
  if (!SelectedOnly) PaintInsertMark(ACanvas);
}

void TCustomEmberListview::PaintColumnShading(TCanvas* ACanvas, const TRect& ViewClip) {
  ClipHeader(ACanvas, false);
  auto* columnInfo = dynamic_cast<TEmberPaintInfoColumn*>(GetPaintInfoColumn());
  TEmberPaintInfoBaseColumn* baseInfo = GetPaintInfoColumn();
  const Integer headerH = FHeader->RuntimeHeight();
  const Integer offY = FScrollbars->GetOffsetY();
  const Integer clientBottom = GetClientHeight() - headerH + offY;
  TEmberGroup* last = FGroups->LastVisibleGroup();
  ForColumnsInRect(FHeader, ViewClip, [&](TEmberColumn* c) {
    TColor color = c->GetBkGndColor();
    if (color == clNone) {
      if (!c->GetFocused() || !baseInfo || !baseInfo->GetHilightFocused()) return;
      color = baseInfo->GetHilightFocusedColor();
    }
    ACanvas->GetBrush()->SetStyle(TBrushStyle::bsSolid);
    ACanvas->GetBrush()->SetColor(color);
    const TRect& cr = c->GetDisplayRect();
    for (Integer i = 0;; ++i) {
      TEmberGroup* g = FGroups->VisibleGroup(i);
      if (!g) break;
      TRect r{cr.Left, offY + 1, cr.Right, clientBottom};
      if (!IntersectRectEx(r, r, ViewClip)) continue;
      TRect shaded;
      if (!IntersectRectEx(shaded, r, g->GetBoundsRectBkGnd())) continue;
      // The last group's shading may run on to the bottom of the window.
      if (g == last && columnInfo && columnInfo->GetBkGndColorFillsWindow()) shaded.Bottom = clientBottom;
      ACanvas->FillRect(shaded);
    }
  });
}

void TCustomEmberListview::PaintItems(TCanvas* ACanvas, const TRect& ViewClip, bool SelectedOnly, TRect& RowFocus,
                                      bool& RowFocusHeld) {
  const bool report = IsReportView(FView);
  TEmberItem* item = FGroups->FirstItemInRect(ViewClip);
  // A run of selected items is painted from its first item, which may lie above the clip.
  if (item && report && FSelection->GetGroupSelections()) {
    if (TEmberSelectionGroupList* run = item->GetSelectionGroup()) {
      TEmberItem* first = run->GetFirstItem();
      if (first && (!SelectedOnly || item->GetSelected())) {
        ClipHeader(ACanvas, true);
        PaintRow(ACanvas, first, ViewClip, SelectedOnly, RowFocus, RowFocusHeld);
        if (first == item) item = FGroups->NextItemInRect(item, ViewClip);
      }
    }
  }
  TEmberItem* focused = FSelection->GetFocusedItem();
  TEmberViewItem* focusedView = focused ? focused->GetView() : nullptr;
  const bool focusLast = focusedView && focusedView->OverlappedFocus();
  bool focusedMet = false;
  for (; item; item = FGroups->NextItemInRect(item, ViewClip)) {
    ClipHeader(ACanvas, true);
    if (focusLast && item == focused) {
      focusedMet = true;
      continue;
    }
    if (SelectedOnly && !item->GetSelected()) continue;
    if (report)
      PaintRow(ACanvas, item, ViewClip, SelectedOnly, RowFocus, RowFocusHeld);
    else
      item->Paint(ACanvas, ViewClip, nullptr, false);
  }
  // The focused item overlaps its neighbours; it may also reach into the clip from outside it.
  if (focusLast && focused->GetVisible() && (focusedMet || Meets(focused->GetDisplayRect(), ViewClip)) &&
      (!SelectedOnly || focused->GetSelected())) {
    ClipHeader(ACanvas, true);
    focused->Paint(ACanvas, ViewClip, nullptr, false);
  }
}

void TCustomEmberListview::PaintRow(TCanvas* ACanvas, TEmberItem* Item, const TRect& ViewClip, bool SelectedOnly,
                                    TRect& RowFocus, bool& RowFocusHeld) {
  HDC dc = ACanvas->GetHandle();
  TEmberColumn* firstInClip = nullptr;
  ForColumnsInRect(FHeader, ViewClip, [&](TEmberColumn* c) {
    if (!firstInClip) firstInClip = c;
  });
  const TRect& row = Item->GetDisplayRect();
  if ((Item->GetSelected() || Item->GetHilighted()) &&
      (FSelection->GetGroupSelections() || FSelection->GetFullRowSelect()) && firstInClip) {
    ClipHeader(ACanvas, true);
    IntersectClipRect(dc, row.Left, row.Top, row.Right, row.Bottom);
    Item->Paint(ACanvas, ViewClip, firstInClip, true);
  }
  ForColumnsInRect(FHeader, ViewClip, [&](TEmberColumn* c) {
    TRect cell{c->GetDisplayRect().Left, ViewClip.Top, c->GetDisplayRect().Right, ViewClip.Bottom};
    if (!IntersectRectEx(cell, cell, ViewClip)) return;
    ClipHeader(ACanvas, true);
    IntersectClipRect(dc, cell.Left, cell.Top, cell.Right, cell.Bottom);
    Item->Paint(ACanvas, ViewClip, c, false);
  });
  ClipHeader(ACanvas, true);
  if (FSelection->GetFullRowSelect() && Focused() && FSelection->GetUseFocusRect() && Item->GetFocused() &&
      !SelectedOnly) {
    TRect r = row;
    if (TEmberColumn* first = FHeader->FirstVisibleColumn()) r.Left = first->GetDisplayRect().Left;
    if (GetPaintInfoItem() && GetPaintInfoItem()->GetGridLines()) {
      RowFocus = r;
      RowFocusHeld = true;
    } else {
      ACanvas->GetBrush()->SetColor(GetColor());
      ACanvas->GetFont()->SetColor(clBlack);
      ACanvas->DrawFocusRect(r);
    }
  }
}

void TCustomEmberListview::PaintGridLines(TCanvas* ACanvas, const TRect& ViewClip) {
  ClipHeader(ACanvas, true);
  ACanvas->GetPen()->SetStyle(TPenStyle::psSolid);
  ACanvas->GetPen()->SetWidth(1);
  ACanvas->GetPen()->SetColor(GetPaintInfoItem()->GetGridLineColor());
  ForColumnsInRect(FHeader, ViewClip, [&](TEmberColumn* c) {
    for (Integer i = 0;; ++i) {
      TEmberGroup* g = FGroups->VisibleGroup(i);
      if (!g) break;
      const TRect bk = g->GetBoundsRectBkGnd();
      ACanvas->MoveTo(c->GetDisplayRect().Right, bk.Top);
      ACanvas->LineTo(c->GetDisplayRect().Right, bk.Bottom);
    }
  });
  const Integer offX = FScrollbars->GetOffsetX();
  for (TEmberItem* i = FGroups->FirstItemInRect(ViewClip); i; i = FGroups->NextItemInRect(i, ViewClip)) {
    const Integer y = i->GetDisplayRect().Bottom - 1;
    ACanvas->MoveTo(offX, y);
    ACanvas->LineTo(GetClientWidth() + offX, y);
  }
}

void TCustomEmberListview::DoAfterPaint(TCanvas* ACanvas, const TRect& ClipRect) {
  if (FStates.Contains(TEmberControlState::ebcsDragSelecting)) FDragRect->PaintSelectionRect(ACanvas);
  DoAfterPaintEvent(ACanvas, ClipRect);
}

void TCustomEmberListview::PaintThemedNCBkgnd(TCanvas* ACanvas, TRect ARect) {
  if (!GetShowThemedBorder() || !ACanvas || !GetThemes()) return;
  HTHEME theme = GetThemes()->GetListviewTheme();
  HDC dc = ACanvas->GetHandle();
  TRect content;
  if (GetThemeBackgroundContentRect(theme, dc, LVP_BORDER, 1, &ARect, &content) != S_OK) content = ARect;
  const Integer dx = content.Left - ARect.Left, dy = content.Top - ARect.Top;
  TRect grown{ARect.Left - dx, ARect.Top - dy, ARect.Right + dx, ARect.Bottom + dy};
  DrawThemeBackground(theme, dc, LVP_BORDER, 1, &grown, nullptr);
}

// ---- The header band ----
void TEmberHeader::PaintTo(TCanvas* ACanvas, const TRect& ARect, bool) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv || !ACanvas) return;
  bool handled = false;
  {
    Owned<TEmberCanvasStore> store(TEmberCanvasStore::New());
    store->StoreCanvasState(ACanvas);
    lv->DoPaintHeaderBkGnd(ACanvas, ARect, handled);
    store->RestoreCanvasState(ACanvas);
  }
  HDC dc = ACanvas->GetHandle();
  if (!handled) {
    if (lv->DrawWithThemes()) {
      DrawThemeBackground(lv->GetThemes()->GetHeaderTheme(), dc, HP_HEADERITEM, HIS_NORMAL, &FViewRect, nullptr);
    } else {
      ACanvas->GetBrush()->SetStyle(TBrushStyle::bsSolid);
      ACanvas->GetBrush()->SetColor(FColor);
      ACanvas->FillRect(FViewRect);
    }
  }
  for (TEmberColumn* c : FVisibleColumns) {
    if (c->GetDisplayRect().Right <= ARect.Left) continue;
    if (c->GetDisplayRect().Left >= ARect.Right) break;
    SelectClipRgn(dc, nullptr);
    c->Paint(ACanvas, ARect);
  }
}

// ---- The alpha blender ----
void TEmberAlphaBlender::GetBlendParams(TCustomEmberListview* Listview, TEmberCollectionItem* Obj, Byte& BlendAlpha,
                                        TColor& BlendColor, bool& DoBlend) {
  DoBlend = false;
  if (!Listview || !Obj) return;
  TEmberSelectionManager* sel = Listview->GetSelection();
  const bool focused = Listview->Focused();
  if (focused && Obj->GetEnabled()) {
    BlendAlpha = sel->GetBlendAlphaImage();
    BlendColor = sel->GetColor();
  } else if (focused) {
    BlendAlpha = Listview->GetDisabledBlendAlpha();
    BlendColor = Listview->GetDisabledBlendColor();
  } else {
    BlendAlpha = Listview->GetDisabledBlendAlpha();
    BlendColor = sel->GetInactiveColor();
  }
  DoBlend = Obj->GetSelected() || Obj->GetHilighted() || (!Obj->GetEnabled() && focused);
}

void TEmberAlphaBlender::Blend(TCustomEmberListview* Listview, TEmberCollectionItem* Obj, TCanvas* ACanvas,
                               TRect ViewportRect, TBitmap* Image) {
  if (IsRectEmptyEx(ViewportRect) || !ACanvas || !Image || Image->GetEmpty()) return;
  Byte alpha = 0;
  TColor color = clNone;
  bool doBlend = false;
  GetBlendParams(Listview, Obj, alpha, color, doBlend);
  const Integer x = ViewportRect.Left + (ViewportRect.Width() - Image->GetWidth()) / 2;
  const Integer y = ViewportRect.Top + (ViewportRect.Height() - Image->GetHeight()) / 2;
  if (!doBlend || !common::CpuHasMMX()) {
    ACanvas->Draw(x, y, Image);
    return;
  }
  Owned<TBitmap> copy(TBitmap::New());
  copy->SetPixelFormat(TPixelFormat::pf32bit);
  copy->SetSize(Image->GetWidth(), Image->GetHeight());
  copy->GetCanvas()->Draw(0, 0, Image);
  HDC cdc = copy->GetCanvas()->GetHandle();
  common::CommonAlphaBlend(cdc, cdc, TRect{0, 0, Image->GetWidth(), Image->GetHeight()}, TPoint{0, 0},
                           common::TCommonBlendMode::cbmConstantAlphaAndColor, alpha, ColorToRGB(color));
  ACanvas->Draw(x, y, copy.get());
}

void TEmberAlphaBlender::BasicBlend(TCustomEmberListview* Listview, TCanvas* ACanvas, TRect ViewportRect, TColor Color,
                                    Byte Alpha, bool UseScrollPostion) {
  if (!Listview || !ACanvas || IsRectEmptyEx(ViewportRect)) return;
  HDC dc = ACanvas->GetHandle();
  HGDIOBJ bmp = GetCurrentObject(dc, OBJ_BITMAP);
  BITMAP info{};
  // A bitmap that is not 32-bit goes on to the blend, which stops on it: a caller's mistake.
  if (!bmp || GetObjectW(bmp, sizeof(info), &info) == 0) return;
  TRect r;
  if (UseScrollPostion) {
    const TRect extent = Listview->GetScrollbars()->MapWindowRectToViewRect(TRect{0, 0, info.bmWidth, info.bmHeight});
    if (!IntersectRectEx(r, ViewportRect, extent)) return;
    r = Listview->GetScrollbars()->MapViewRectToWindowRect(r);
  } else if (!IntersectRectEx(r, ViewportRect, Listview->GetClientRect())) {
    return;
  }
  common::CommonAlphaBlend(dc, dc, r, TPoint{r.Left, r.Top}, common::TCommonBlendMode::cbmConstantAlphaAndColor, Alpha,
                           ColorToRGB(Color));
}

}  // namespace ember
