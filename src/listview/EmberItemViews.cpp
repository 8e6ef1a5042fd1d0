// The item views' rect arrays and hit tests (their painting is in EmberItemViewsPaint.cpp), the
// canvas store, the control's shared view objects and the cache of measured captions.

#include <algorithm>

#include "listview/EmberControl.h"
#include "platform/rtl/Format.h"

namespace ember {

using common::TCommonVAlignment;

namespace {

TRect Inflated(const TRect& r, Integer d) { return TRect{r.Left - d, r.Top - d, r.Right + d, r.Bottom + d}; }

// A rectangle whose bottom lies above its top (or right left of its left) is made empty at its
// top-left instead: a cell lower than its reserved caption lines must not hand inverted
// rectangles to the picture drawing, the stretch (which would mirror) or the hit tests.
void NotInverted(TRect& r) {
  if (r.Bottom < r.Top) r.Bottom = r.Top;
  if (r.Right < r.Left) r.Right = r.Left;
}

bool PointIn(const TRect& r, TPoint p) { return PtInRectEx(r, p); }
bool IsReportView(const TCustomEmberListview* lv) {
  return lv && (lv->GetView() == TEmberListStyle::elsReport || lv->GetView() == TEmberListStyle::elsReportThumb);
}
bool Meets(const TRect& a, const TRect& b) {
  TRect x;
  return IntersectRectEx(x, a, b);
}

// A canvas to measure on: the control's scratch canvas, or while the control has no window one
// on a memory DC with the control's font.
class TMeasureCanvas {
public:
  explicit TMeasureCanvas(TCustomEmberListview* lv) {
    if (!lv) return;
    FCanvas = lv->GetScratchCanvas();
    if (FCanvas) return;
    FDC = CreateCompatibleDC(nullptr);
    FOwn = TCanvas::New();
    FOwn->SetHandle(FDC);
    FOwn->SetFont(lv->GetFont());
    FCanvas = FOwn;
  }
  ~TMeasureCanvas() {
    if (FOwn) {
      FOwn->SetHandle(nullptr);
      FOwn->Free();
      DeleteDC(FDC);
    }
  }
  TMeasureCanvas(const TMeasureCanvas&) = delete;
  TMeasureCanvas& operator=(const TMeasureCanvas&) = delete;
  TCanvas* Get() const { return FCanvas; }

private:
  TCanvas* FCanvas{nullptr};
  TCanvas* FOwn{nullptr};
  HDC FDC{nullptr};
};

// The check box's bounds for a point size (the common library's measured sizes).
TRect CheckBounds(Integer size) {
  TRect b;
  if (common::CheckBound) {
    common::CheckBound->Bound(size, b);
  } else {
    TSize glyph;
    common::MarlettGlyphSize(size, u'g', glyph);
    b = TRect{0, 0, glyph.cx, glyph.cy};
  }
  return b;
}

// The selection manager's FullCellPaint draws the focus and selection frames 2 pixels inside.
void ShrinkForFullCell(TEmberItem* Item, TRect& R) {
  TCustomEmberListview* lv = Item ? Item->GetOwnerListview() : nullptr;
  if (lv && lv->GetSelection()->GetFullCellPaint()) R = Inflated(R, -2);
}

// All lines of the caption show while the item has the focus of a focused control.
Integer LinesShownWhenFocused(TEmberItem* Item) {
  TCustomEmberListview* lv = Item ? Item->GetOwnerListview() : nullptr;
  return Item && Item->GetFocused() && lv && lv->Focused() ? -1 : 2;
}

// The check box under a picture whose bottom is `Top`; without one a zero-width strip down the
// cell's left edge.
TRect CheckBelow(TEmberItem* Item, const TRect& Bounds, Integer Top) {
  if (Item->GetCheckType() == TEmberCheckType::ectNone) {
    TRect r{Bounds.Left, Top, Bounds.Left, Bounds.Bottom};
    NotInverted(r);
    return r;
  }
  const TRect b = CheckBounds(Item->GetCheckSize());
  const Integer left = Bounds.Left + Item->GetCheckIndent();
  return TRect{left, Top + 1, left + b.Right, Top + 1 + b.Bottom};
}

// The check box centred on the cell's height (row views); without one a zero-width strip.
TRect CheckCentred(TEmberItem* Item, const TRect& Bounds, bool HasCheck) {
  if (!HasCheck) return TRect{Bounds.Left, Bounds.Top, Bounds.Left, Bounds.Bottom};
  const TRect b = CheckBounds(Item->GetCheckSize());
  const Integer left = Bounds.Left + Item->GetCheckIndent();
  const Integer top = Bounds.Top + (Bounds.Height() - b.Bottom) / 2;
  return TRect{left, top, left + b.Right, top + b.Bottom};
}

}  // namespace

// ---- The cache of measured captions ----

// What DrawTextWEx calculated for a caption: the key is everything the calculation depends on
// (the text, the rectangle's size, the line count, the flags and the font), the answer is kept
// relative to the rectangle's top-left corner.
struct TEmberTextCacheEntry {
  String Text;
  Integer Width{0}, Height{0}, Lines{0};
  Word Flags{0};
  String FontName;
  Integer FontHeight{0};
  Byte FontStyle{0};
  Integer FontCharset{0};
  TRect Result;
};

class TEmberTextCache {
public:
  // A thumbnail measures its caption twice (all lines and the lines shown), a tile once per line.
  static constexpr size_t Capacity = 4;
  TEmberTextCacheEntry Entries[Capacity];
  size_t Count{0};
  size_t Next{0};
};

void FreeItemTextCache(TEmberTextCache*& Cache) {
  delete Cache;
  Cache = nullptr;
}

// ---- Canvas store ----
void TEmberCanvasStore::Destroy() {
  FreeAndNil(FBrush);
  FreeAndNil(FFont);
  FreeAndNil(FPen);
  TObject::Destroy();
}

void TEmberCanvasStore::StoreCanvasState(TCanvas* Canvas) {
  if (!Canvas) return;
  if (!FPen) FPen = TPen::New();
  if (!FBrush) FBrush = TBrush::New();
  if (!FFont) FFont = TFont::New();
  FPen->Assign(*Canvas->GetPen());
  FBrush->Assign(*Canvas->GetBrush());
  FFont->Assign(*Canvas->GetFont());
}

void TEmberCanvasStore::RestoreCanvasState(TCanvas* Canvas) {
  if (!Canvas) return;
  if (FPen) Canvas->SetPen(FPen);
  if (FBrush) Canvas->SetBrush(FBrush);
  if (FFont) Canvas->SetFont(FFont);
}

TEmberCanvasStore* TEmberOwnedPersistentView::CanvasStore() {
  if (!FCanvasStore) FCanvasStore = TEmberCanvasStore::New();
  return FCanvasStore;
}

void TEmberOwnedPersistentView::Destroy() {
  FreeAndNil(FCanvasStore);
  TEmberOwnedPersistent::Destroy();
}

// ---- The control's shared item views ----
TEmberViewItem* TCustomEmberListview::SharedItemView(const TEmberViewItemClass* ViewClass) {
  if (!ViewClass) return nullptr;
  for (TEmberViewItem* v : FItemViews)
    if (&v->ClassType() == ViewClass) return v;
  if (!ViewClass->CanMake()) return nullptr;
  // A shared view belongs to no group; everything it answers comes from the item it is asked for.
  TEmberViewItem* v = ViewClass->Make(nullptr);
  v->SetSharedOwner(this);
  FItemViews.push_back(v);
  return v;
}

void TCustomEmberListview::FreeItemViews() {
  std::vector<TEmberViewItem*> views;
  views.swap(FItemViews);
  for (TEmberViewItem* v : views) v->Free();
}

// ---- TEmberViewItem: helpers ----
Integer TEmberViewItem::ColumnIndex(TEmberColumn* Column) { return Column ? Column->GetIndex() : 0; }
Integer TEmberViewItem::ColumnPosition(TEmberColumn* Column) { return Column ? Column->GetPosition() : 0; }

bool TEmberViewItem::BeginRectArray(TEmberItem* Item, TEmberColumn* Column, TEmberRectArrayObject& RectArray,
                                    Integer& Position) {
  if (!Item) return false;
  if (!Item->GetInitialized()) Item->SetInitialized(true);
  Position = ColumnPosition(Column);
  if (Position < 0) return false;
  RectArray = TEmberRectArrayObject{};
  return true;
}

Word TEmberViewItem::AlignmentFlag(TAlignment A) {
  switch (A) {
    case TAlignment::taLeftJustify: return 2;
    case TAlignment::taRightJustify: return common::dtwRight;
    case TAlignment::taCenter: return common::dtwCenter;
  }
  return 0;
}

Word TEmberViewItem::VAlignmentFlag(TCommonVAlignment A) {
  switch (A) {
    case TCommonVAlignment::cvaTop: return 16;
    case TCommonVAlignment::cvaBottom: return common::dtwBottom;
    case TCommonVAlignment::cvaCenter: return common::dtwVCenter;
  }
  return 0;
}

TCanvas* TEmberViewItem::MeasureCanvas(TCustomEmberListview* LV) { return LV ? LV->GetScratchCanvas() : nullptr; }

void TEmberViewItem::MeasureText(TEmberItem* Item, TCanvas* ACanvas, const WideString& Text, TRect& R, Integer Lines,
                                 Word Flags) {
  TFont* font = ACanvas->GetFont();
  TEmberTextCacheEntry key;
  key.Width = R.Width();
  key.Height = R.Height();
  key.Lines = Lines;
  key.Flags = Flags;
  key.FontHeight = font->GetHeight();
  key.FontStyle = static_cast<Byte>(font->GetStyle().Bits());
  key.FontCharset = static_cast<Integer>(font->GetCharset());
  auto same = [&](const TEmberTextCacheEntry& e) {
    return e.Width == key.Width && e.Height == key.Height && e.Lines == key.Lines && e.Flags == key.Flags &&
           e.FontHeight == key.FontHeight && e.FontStyle == key.FontStyle && e.FontCharset == key.FontCharset &&
           e.Text == Text && e.FontName == font->GetName();
  };
  TEmberTextCache* cache = Item ? Item->TextCache() : nullptr;
  if (cache) {
    for (size_t i = 0; i < cache->Count; ++i) {
      const TEmberTextCacheEntry& e = cache->Entries[i];
      if (!same(e)) continue;
      R = TRect{R.Left + e.Result.Left, R.Top + e.Result.Top, R.Left + e.Result.Right, R.Top + e.Result.Bottom};
      return;
    }
  }
  const TPoint origin{R.Left, R.Top};
  common::DrawTextWEx(ACanvas->GetHandle(), Text, R, Lines, Flags);
  if (!Item) return;
  if (!cache) cache = Item->TextCache() = new TEmberTextCache;
  TEmberTextCacheEntry& slot = cache->Entries[cache->Next];
  cache->Next = (cache->Next + 1) % TEmberTextCache::Capacity;
  cache->Count = std::min(cache->Count + 1, TEmberTextCache::Capacity);
  key.Text = Text;
  key.FontName = font->GetName();
  key.Result = TRect{R.Left - origin.X, R.Top - origin.Y, R.Right - origin.X, R.Bottom - origin.Y};
  slot = std::move(key);
}

// ---- TEmberViewItem: geometry and hit tests ----
bool TEmberViewItem::PtInItemArea(TEmberItem*, TPoint) { return true; }

void TEmberViewItem::AfterFocusRectCalc(TEmberItem*, TEmberColumn*, const WideString&, TRect&) {}
void TEmberViewItem::AfterSelRectCalc(TEmberItem*, TEmberColumn*, const WideString&, TRect&) {}

TRect TEmberViewItem::ExpandIconR(TEmberItem*, const TEmberRectArrayObject& RectArray, TEmberSelectHitType) {
  return RectArray.IconRect;
}

TRect TEmberViewItem::ExpandTextR(TEmberItem* Item, const TEmberRectArrayObject& RectArray, TEmberSelectHitType) {
  TCustomEmberListview* lv = Item ? Item->GetOwnerListview() : nullptr;
  if (Item && Item->GetFocused() && lv && (lv->Focused() || lv->GetSelection()->GetPopupMode()))
    return RectArray.FullTextRect;
  return RectArray.TextRect;
}

TCustomImageList* TEmberViewItem::GetImageList(TEmberColumn* Column, TEmberItem* Item, TEmberImageKind Image) {
  if (!Item) return nullptr;
  if (Image == TEmberImageKind::eikNormal) return Item->GetImageLists(ColumnIndex(Column), PaintImageSize());
  return Item->GetStateImageList(ColumnIndex(Column));
}

TCustomImageList* TEmberViewItem::GetStateImageList(TEmberColumn* Column, TEmberItem* Item) {
  return Item ? Item->GetStateImageList(ColumnIndex(Column)) : nullptr;
}

void TEmberViewItem::GetImageSize(TEmberItem* Item, TEmberColumn* Column, Integer& ImageW, Integer& ImageH,
                                  TEmberImageKind Image) {
  ImageW = 0;
  ImageH = 0;
  TCustomEmberListview* lv = Item ? Item->GetOwnerListview() : nullptr;
  if (!lv || !lv->GetShowImages()) return;
  if (Image == TEmberImageKind::eikNormal) {
    if (Item->GetImageIndexes(ColumnIndex(Column)) < 0) return;
    bool custom = false;
    Item->ImageDrawIsCustom(Column, custom);
    if (custom) {
      Item->ImageDrawGetSize(Column, ImageW, ImageH);
      return;
    }
  }
  if (TCustomImageList* list = GetImageList(Column, Item, Image)) {
    ImageW = list->GetWidth();
    ImageH = list->GetHeight();
  }
}

// The report views paint an item once per column, the others without a column: the caption is
// measured for the header's first column only where it is painted in it.
TEmberColumn* TEmberViewItem::CaptionColumn(TCustomEmberListview* LV) {
  return IsReportView(LV) ? LV->GetHeader()->FirstColumn() : nullptr;
}

void TEmberViewItem::HitRectArray(TEmberItem* Item, TEmberColumn* Column, TEmberRectArrayObject& RectArray) {
  TCustomEmberListview* lv = Item->GetOwnerListview();
  ItemRectArray(Item, Column, lv ? lv->GetScratchCanvas() : nullptr, WideString(), RectArray);
}

TRect TEmberViewItem::ItemRect(TEmberItem* Item, TEmberColumn* Column, TEmberCellRectType RectType) {
  if (!Item) return TRect{};
  TEmberRectArrayObject ra;
  HitRectArray(Item, Column, ra);
  return RectOfType(ra, RectType);
}

void TEmberViewItem::ItemRectArray(TEmberItem* Item, TEmberColumn*, TCanvas*, const WideString&,
                                   TEmberRectArrayObject& RectArray) {
  if (!Item) return;
  if (!Item->GetInitialized()) Item->SetInitialized(true);
  RectArray = TEmberRectArrayObject{};
  const TRect b = Inflated(Item->GetDisplayRect(), -Item->GetBorder());
  RectArray.BoundsRect = b;
  RectArray.IconRect = b;
  RectArray.LabelRect = b;
  RectArray.ClickSelectBoundsRect = b;
  RectArray.DragSelectBoundsRect = b;
  RectArray.TextRect = b;
  RectArray.SelectionRect = b;
  RectArray.FocusChangeInvalidRect = b;
  RectArray.EditRect = RectArray.FullTextRect;
}

bool TEmberViewItem::EditAreaHitPt(TEmberItem* Item, TPoint ViewportPoint) {
  if (!Item || !Item->GetEnabled()) return false;
  TEmberRectArrayObject ra;
  HitRectArray(Item, CaptionColumn(Item->GetOwnerListview()), ra);
  return PointIn(ra.TextRect, ViewportPoint);
}

bool TEmberViewItem::SelectionHit(TEmberItem* Item, const TRect& SelectViewportRect, TEmberSelectHitType SelectType) {
  if (!Item || !Item->GetEnabled()) return false;
  TEmberRectArrayObject ra;
  HitRectArray(Item, nullptr, ra);
  return Meets(ExpandTextR(Item, ra, SelectType), SelectViewportRect) ||
         Meets(ExpandIconR(Item, ra, SelectType), SelectViewportRect);
}

bool TEmberViewItem::SelectionHitPt(TEmberItem* Item, TPoint ViewportPoint, TEmberSelectHitType SelectType) {
  if (!Item || !Item->GetEnabled()) return false;
  TEmberRectArrayObject ra;
  HitRectArray(Item, nullptr, ra);
  return PointIn(ExpandTextR(Item, ra, SelectType), ViewportPoint) ||
         PointIn(ExpandIconR(Item, ra, SelectType), ViewportPoint);
}

// The edges count as inside: a three-way answer for binary searches over the cells.
Integer TEmberViewItem::PtInRect(TEmberItem* Item, TEmberColumn*, TPoint Pt) {
  const TRect& r = Item->GetDisplayRect();
  if (Pt.Y < r.Top) return 1;
  if (Pt.Y > r.Bottom) return -1;
  if (Pt.X < r.Left) return 1;
  if (Pt.X > r.Right) return -1;
  return 0;
}

void TEmberViewItem::ReSizeRectArray(TEmberRectArrayObjectArray& RectArray) {
  TCustomEmberListview* lv = OwnerListview();
  size_t n = 1;
  if (lv) n = std::max<size_t>(1, static_cast<size_t>(lv->GetHeader()->GetColumns()->GetCount()));
  RectArray.resize(n);
}

// ---- Thumbnail and film strip ----
void TEmberViewThumbnailItem::AfterFocusRectCalc(TEmberItem* Item, TEmberColumn*, const WideString&,
                                                 TRect& LocalFocusRect) {
  ShrinkForFullCell(Item, LocalFocusRect);
}

void TEmberViewThumbnailItem::AfterSelRectCalc(TEmberItem* Item, TEmberColumn*, const WideString&,
                                               TRect& LocalSelRect) {
  ShrinkForFullCell(Item, LocalSelRect);
}

TRect TEmberViewThumbnailItem::ExpandTextR(TEmberItem* Item, const TEmberRectArrayObject& RectArray,
                                           TEmberSelectHitType SelectType) {
  TRect r = TEmberViewItem::ExpandTextR(Item, RectArray, SelectType);
  r.Top = RectArray.IconRect.Bottom;
  return r;
}

TCustomImageList* TEmberViewThumbnailItem::GetImageList(TEmberColumn* Column, TEmberItem* Item, TEmberImageKind Image) {
  TCustomImageList* list = TEmberViewItem::GetImageList(Column, Item, Image);
  if (!list && Item) list = Item->GetImageLists(ColumnIndex(Column), TEmberImageSize::eisLarge);
  return list;
}

Integer TEmberViewThumbnailItem::PaintTextLineCount(TEmberItem* Item, TEmberColumn*) {
  return LinesShownWhenFocused(Item);
}

// The bounds and the picture's rectangle, which the caption's measure does not change.
void TEmberViewThumbnailItem::PictureRects(TEmberItem* Item, Integer Position, TCanvas* Canvas,
                                           TEmberRectArrayObject& RectArray) {
  TCustomEmberListview* lv = Item->GetOwnerListview();
  const bool hideCaption = lv && lv->GetPaintInfoItem()->GetHideCaption();
  RectArray.BoundsRect = Inflated(Item->GetDisplayRect(), -Item->GetBorder());
  TRect& icon = RectArray.IconRect;
  icon = RectArray.BoundsRect;
  if (!hideCaption) {
    if (Canvas) {
      LoadTextFont(Item, Position, Canvas, Item->GetSelected());
      // Two caption lines are always reserved under the picture.
      TEmberLineHeightMemo* memo = lv ? lv->GetSelection()->BandLineHeights() : nullptr;
      icon.Bottom -= 2 * (memo ? memo->Of(Canvas) : TEmberLineHeightMemo::Measure(Canvas));
    }
  } else if (Item->GetCheckType() != TEmberCheckType::ectNone) {
    const TRect b = CheckBounds(Item->GetCheckSize());
    icon.Bottom -= b.Bottom + 2;
  }
  NotInverted(icon);
}

void TEmberViewThumbnailItem::ItemRectArray(TEmberItem* Item, TEmberColumn* Column, TCanvas*, const WideString&,
                                            TEmberRectArrayObject& RectArray) {
  Integer position = 0;
  if (!BeginRectArray(Item, Column, RectArray, position)) return;
  TCustomEmberListview* lv = Item->GetOwnerListview();
  TMeasureCanvas measure(lv);
  TCanvas* canvas = measure.Get();
  const bool hideCaption = lv && lv->GetPaintInfoItem()->GetHideCaption();
  PictureRects(Item, position, canvas, RectArray);
  const TRect& icon = RectArray.IconRect;

  RectArray.CheckRect = CheckBelow(Item, RectArray.BoundsRect, icon.Bottom);
  const TRect& check = RectArray.CheckRect;

  if (!hideCaption) {
    TRect& label = RectArray.LabelRect;
    label = TRect{check.Right + Item->GetCaptionIndent(), icon.Bottom + 1, RectArray.BoundsRect.Right,
                  RectArray.BoundsRect.Bottom};
    NotInverted(label);
    RectArray.TextRect = Inflated(label, -2);
    NotInverted(RectArray.TextRect);
    RectArray.FullTextRect = RectArray.TextRect;
    if (canvas) {
      const Word flags = 0x280 | AlignmentFlag(PaintTextAlignment(Item, Column)) |
                         VAlignmentFlag(PaintTextVAlignment(Item, Column));
      LoadTextFont(Item, position, canvas, Item->GetSelected());
      const WideString caption = Item->GetCaptions(ColumnIndex(Column));
      MeasureText(Item, canvas, caption, RectArray.FullTextRect, -1, flags);
      MeasureText(Item, canvas, caption, RectArray.TextRect, PaintTextLineCount(Item, Column), flags);
    }
    RectArray.SelectionRect = Inflated(RectArray.TextRect, 2);
    RectArray.FullFocusSelRect = Inflated(RectArray.FullTextRect, 2);
    RectArray.FocusChangeInvalidRect = UnionRectEx(icon, RectArray.FullFocusSelRect);
    RectArray.ClickSelectBoundsRect = Item->GetFocused() ? UnionRectEx(icon, RectArray.FullFocusSelRect)
                                                         : UnionRectEx(icon, RectArray.SelectionRect);
    RectArray.DragSelectBoundsRect = RectArray.TextRect;
    RectArray.EditRect = RectArray.FullTextRect;
  } else {
    RectArray.SelectionRect = icon;
    RectArray.FullFocusSelRect = icon;
    RectArray.FocusChangeInvalidRect = icon;
    RectArray.ClickSelectBoundsRect = icon;
    RectArray.DragSelectBoundsRect = icon;
  }
}

TRect TEmberViewThumbnailItem::DragSelectIconArea(const TRect& IconRect) {
  const auto d = static_cast<Integer>(Round(IconRect.Width() * 0.1));
  TRect r = Inflated(IconRect, -d);
  NotInverted(r);
  return r;
}

bool TEmberViewThumbnailItem::SelectionHit(TEmberItem* Item, const TRect& SelectViewportRect,
                                           TEmberSelectHitType SelectType) {
  if (!Item || !Item->GetEnabled()) return false;
  TEmberRectArrayObject ra;
  if (SelectType == TEmberSelectHitType::eshtDragSelect) {
    // The band hits the picture alone, whose rectangle needs no caption measured: a band moving
    // over thousands of items not painted yet would otherwise measure each one's caption.
    if (!Item->GetInitialized()) Item->SetInitialized(true);
    const Integer position = ColumnPosition(nullptr);
    if (position < 0) return false;
    TMeasureCanvas measure(Item->GetOwnerListview());
    PictureRects(Item, position, measure.Get(), ra);
    return Meets(DragSelectIconArea(ExpandIconR(Item, ra, SelectType)), SelectViewportRect);
  }
  HitRectArray(Item, nullptr, ra);
  return Meets(ExpandTextR(Item, ra, SelectType), SelectViewportRect) ||
         Meets(ExpandIconR(Item, ra, SelectType), SelectViewportRect);
}

bool TEmberViewThumbnailItem::SelectionHitPt(TEmberItem* Item, TPoint ViewportPoint, TEmberSelectHitType SelectType) {
  if (!Item || !Item->GetEnabled()) return false;
  TEmberRectArrayObject ra;
  HitRectArray(Item, nullptr, ra);
  if (SelectType == TEmberSelectHitType::eshtDragSelect)
    return PointIn(DragSelectIconArea(ExpandIconR(Item, ra, SelectType)), ViewportPoint);
  return PointIn(ExpandTextR(Item, ra, SelectType), ViewportPoint) ||
         PointIn(ExpandIconR(Item, ra, SelectType), ViewportPoint);
}

// ---- Tile ----
void TEmberViewTileItem::AfterFocusRectCalc(TEmberItem* Item, TEmberColumn*, const WideString&, TRect& LocalFocusRect) {
  ShrinkForFullCell(Item, LocalFocusRect);
}

void TEmberViewTileItem::AfterSelRectCalc(TEmberItem* Item, TEmberColumn*, const WideString&, TRect& LocalSelRect) {
  ShrinkForFullCell(Item, LocalSelRect);
}

TRect TEmberViewTileItem::ExpandIconR(TEmberItem*, const TEmberRectArrayObject&, TEmberSelectHitType) {
  return TRect{};
}

TRect TEmberViewTileItem::ExpandTextR(TEmberItem*, const TEmberRectArrayObject& RectArray, TEmberSelectHitType) {
  TRect r = UnionRectEx(RectArray.IconRect, RectArray.TextRect);
  r.Top = RectArray.BoundsRect.Top + 2;
  r.Bottom = RectArray.BoundsRect.Bottom - 2;
  return r;
}

TCustomImageList* TEmberViewTileItem::GetImageList(TEmberColumn* Column, TEmberItem* Item, TEmberImageKind Image) {
  TCustomImageList* list = TEmberViewItem::GetImageList(Column, Item, Image);
  if (!list && Item) list = Item->GetImageLists(ColumnIndex(Column), TEmberImageSize::eisLarge);
  return list;
}

void TEmberViewTileItem::ItemRectArray(TEmberItem* Item, TEmberColumn* Column, TCanvas*, const WideString&,
                                       TEmberRectArrayObject& RectArray) {
  Integer position = 0;
  if (!BeginRectArray(Item, Column, RectArray, position)) return;
  Integer imageW = 0, imageH = 0;
  GetImageSize(Item, Column, imageW, imageH, TEmberImageKind::eikNormal);

  const TRect bounds = Inflated(Item->GetDisplayRect(), -Item->GetBorder());
  RectArray.BoundsRect = bounds;
  RectArray.CheckRect = CheckCentred(Item, bounds, Item->GetCheckType() != TEmberCheckType::ectNone);
  const TRect& check = RectArray.CheckRect;
  RectArray.IconRect = TRect{check.Right + Item->GetImageIndent(), bounds.Top,
                             check.Right + Item->GetImageIndent() + imageW + 4, bounds.Bottom};
  RectArray.LabelRect = TRect{RectArray.IconRect.Right + Item->GetCaptionIndent() + 2, bounds.Top, bounds.Right - 2,
                              bounds.Bottom};
  NotInverted(RectArray.LabelRect);
  const TRect label = RectArray.LabelRect;
  RectArray.TextRect = Inflated(label, -2);
  NotInverted(RectArray.TextRect);

  // One line per tile detail, stacked while they fit the label.
  const Integer count = std::max<Integer>(0, Item->GetDetailCount());
  RectArray.TextRects.assign(static_cast<size_t>(count), TRect{});
  TCustomEmberListview* lv = Item->GetOwnerListview();
  TMeasureCanvas measure(lv);
  TCanvas* canvas = measure.Get();
  TRect block = RectArray.TextRect;
  Integer usedLines = 0;
  if (canvas && count > 0) {
    const Word flags = 0x690 | AlignmentFlag(PaintTextAlignment(Item, Column));
    Integer top = label.Top;
    for (Integer i = 0; i < count; ++i) {
      if (i > 0 && top >= label.Bottom) break;
      const Integer detail = Item->GetDetail(i);
      WideString text = detail >= 0 ? Item->GetCaptions(detail) : WideString();
      if (text.empty()) text = u" ";
      LoadTextFont(Item, i, canvas, Item->GetSelected());
      TRect r{label.Left, top, label.Right, label.Bottom};
      MeasureText(Item, canvas, text, r, PaintTextLineCount(Item, Column), flags);
      if (r.Bottom > label.Bottom) break;
      RectArray.TextRects[static_cast<size_t>(i)] = r;
      block = usedLines == 0 ? r : UnionRectEx(block, r);
      ++usedLines;
      top = r.Bottom;
    }
  }
  if (usedLines > 0) {
    Integer shift = 0;
    if (Item->GetVAlignment() == TCommonVAlignment::cvaBottom) shift = label.Height() - block.Height();
    if (Item->GetVAlignment() == TCommonVAlignment::cvaCenter) shift = (label.Height() - block.Height()) / 2;
    for (Integer i = 0; i < usedLines; ++i) {
      TRect& r = RectArray.TextRects[static_cast<size_t>(i)];
      r.Top += shift;
      r.Bottom += shift;
    }
    block.Top += shift;
    block.Bottom += shift;
  }
  // The text block stands for the caption in the selection, focus and hit rectangles.
  RectArray.FullTextRect = block;
  RectArray.SelectionRect = Inflated(block, 2);
  RectArray.FullFocusSelRect = RectArray.SelectionRect;
  RectArray.FocusChangeInvalidRect = UnionRectEx(RectArray.IconRect, RectArray.FullTextRect);
  RectArray.ClickSelectBoundsRect = UnionRectEx(RectArray.IconRect, RectArray.SelectionRect);
  RectArray.DragSelectBoundsRect = block;
  RectArray.EditRect = block;
}

// ---- Icon ----
void TEmberViewIconItem::AfterFocusRectCalc(TEmberItem* Item, TEmberColumn*, const WideString&, TRect& LocalFocusRect) {
  ShrinkForFullCell(Item, LocalFocusRect);
}

void TEmberViewIconItem::AfterSelRectCalc(TEmberItem* Item, TEmberColumn*, const WideString&, TRect& LocalSelRect) {
  ShrinkForFullCell(Item, LocalSelRect);
}

TRect TEmberViewIconItem::ExpandIconR(TEmberItem*, const TEmberRectArrayObject& RectArray, TEmberSelectHitType) {
  return RectArray.IconRect;
}

Integer TEmberViewIconItem::PaintTextLineCount(TEmberItem* Item, TEmberColumn*) {
  return LinesShownWhenFocused(Item);
}

void TEmberViewIconItem::ItemRectArray(TEmberItem* Item, TEmberColumn* Column, TCanvas*, const WideString&,
                                       TEmberRectArrayObject& RectArray) {
  Integer position = 0;
  if (!BeginRectArray(Item, Column, RectArray, position)) return;
  Integer imageW = 0, imageH = 0;
  GetImageSize(Item, Column, imageW, imageH, TEmberImageKind::eikNormal);

  TRect bounds = Item->GetDisplayRect();
  bounds.Left += 1;
  RectArray.BoundsRect = bounds;
  TRect& icon = RectArray.IconRect;
  icon.Left = bounds.Left + (bounds.Width() - imageW) / 2;
  icon.Top = bounds.Top + 2;
  icon.Right = icon.Left + imageW;
  icon.Bottom = icon.Top + imageH + 4;

  RectArray.CheckRect = CheckBelow(Item, bounds, icon.Bottom);
  const TRect& check = RectArray.CheckRect;
  RectArray.LabelRect = TRect{check.Right, icon.Bottom + 1, bounds.Right, bounds.Bottom};
  RectArray.TextRect = Inflated(RectArray.LabelRect, -2);
  RectArray.FullTextRect = RectArray.TextRect;

  TCustomEmberListview* lv = Item->GetOwnerListview();
  if (TCanvas* canvas = MeasureCanvas(lv)) {
    WideString caption = Item->GetCaptions(ColumnIndex(Column));
    if (caption.empty()) caption = u" ";
    LoadTextFont(Item, position, canvas, Item->GetSelected());
    const Word flags = 0x280 | common::dtwCenter | AlignmentFlag(PaintTextAlignment(Item, Column)) |
                       VAlignmentFlag(PaintTextVAlignment(Item, Column));
    MeasureText(Item, canvas, caption, RectArray.FullTextRect, -1, flags);
    MeasureText(Item, canvas, caption, RectArray.TextRect, PaintTextLineCount(Item, Column), flags);
  }
  RectArray.SelectionRect = Inflated(RectArray.TextRect, 2);
  RectArray.FullFocusSelRect = Inflated(RectArray.FullTextRect, 2);
  RectArray.ClickSelectBoundsRect = UnionRectEx(icon, RectArray.TextRect);
  RectArray.DragSelectBoundsRect = RectArray.ClickSelectBoundsRect;
  RectArray.FocusChangeInvalidRect = UnionRectEx(icon, RectArray.FullFocusSelRect);
  RectArray.EditRect = RectArray.FullTextRect;
}

// ---- Small icon, list, grid ----
TRect TEmberViewSmallIconItem::ExpandIconR(TEmberItem*, const TEmberRectArrayObject&, TEmberSelectHitType) {
  return TRect{};
}

TRect TEmberViewSmallIconItem::ExpandTextR(TEmberItem*, const TEmberRectArrayObject& RectArray, TEmberSelectHitType) {
  TRect r = UnionRectEx(RectArray.IconRect, RectArray.TextRect);
  r.Top = RectArray.BoundsRect.Top;
  r.Bottom = RectArray.BoundsRect.Bottom;
  return r;
}

TAlignment TEmberViewSmallIconItem::PaintTextAlignment(TEmberItem*, TEmberColumn* Column) {
  return Column ? Column->GetAlignment() : TAlignment::taLeftJustify;
}

TCommonVAlignment TEmberViewSmallIconItem::PaintTextVAlignment(TEmberItem*, TEmberColumn* Column) {
  if (!Column) return TCommonVAlignment::cvaCenter;
  TEmberPaintInfoBasic* info = Column->GetEffectivePaintInfo();
  return info ? info->GetVAlignment() : TCommonVAlignment::cvaCenter;
}

TRect TEmberViewSmallIconItem::CalculateDisplayRect(TEmberItem* Item, TEmberColumn*) { return Item->GetDisplayRect(); }

void TEmberViewSmallIconItem::ItemRectArray(TEmberItem* Item, TEmberColumn* Column, TCanvas*, const WideString&,
                                            TEmberRectArrayObject& RectArray) {
  Integer position = 0;
  if (!BeginRectArray(Item, Column, RectArray, position)) return;
  TCustomEmberListview* lv = Item->GetOwnerListview();
  // Without a column a report row's first cell is the one the user sees first, wherever the
  // columns were dragged. The other views paint the item's own caption without a column, and are
  // measured so: a column dragged in the report view must not lend them its caption.
  if (!Column && IsReportView(lv) && lv->GetHeader()->GetColumns()->GetCount() > 0)
    Column = lv->GetHeader()->FirstColumnByPosition();
  const Integer index = ColumnIndex(Column);

  const TRect bounds = CalculateDisplayRect(Item, Column);
  RectArray.BoundsRect = bounds;
  RectArray.CheckRect = CheckCentred(Item, bounds, index == 0 && Item->GetCheckType() != TEmberCheckType::ectNone);
  const TRect& check = RectArray.CheckRect;

  TRect& state = RectArray.StateRect;
  if (PaintStateImage() && (Item->GetStateImageIndexes(index) >= 0 || GetStateImageList(Column, Item))) {
    Integer w = 0, h = 0;
    GetImageSize(Item, Column, w, h, TEmberImageKind::eikState);
    state.Left = check.Right + Item->GetImageIndent();
    state.Top = bounds.Top + (bounds.Height() - h) / 2;
    state.Right = state.Left + w;
    state.Bottom = state.Top + h;
  } else {
    state = TRect{check.Right, check.Top, check.Right, check.Bottom};
  }

  TRect& icon = RectArray.IconRect;
  if (Item->GetImageIndexes(index) < 0) {
    icon = TRect{state.Right, state.Top, state.Right, state.Bottom};
  } else {
    Integer w = 0, h = 0;
    GetImageSize(Item, Column, w, h, TEmberImageKind::eikNormal);
    icon.Left = state.Right + Item->GetImageIndent();
    icon.Top = bounds.Top + (bounds.Height() - h) / 2;
    icon.Right = icon.Left + w;
    icon.Bottom = icon.Top + h;
  }

  TRect& label = RectArray.LabelRect;
  const Integer labelLeft = icon.Right + Item->GetCaptionIndent();
  if (labelLeft < bounds.Right - 1) label = TRect{labelLeft, bounds.Top, bounds.Right, bounds.Bottom};

  TSize text{0, 0};
  if (TCanvas* canvas = MeasureCanvas(lv)) {
    LoadTextFont(Item, position, canvas, Item->GetSelected());
    WideString caption = Item->GetCaptions(index);
    if (caption.empty()) caption = u" ";
    text = common::WideTextExtentOnCanvas(canvas, caption);
  }
  TRect& textRect = RectArray.TextRect;
  common::CenterRectInRect(Inflated(label, -2), TRect{0, 0, text.cx, text.cy}, textRect);
  switch (PaintTextAlignment(Item, Column)) {
    case TAlignment::taLeftJustify: {
      const Integer w = textRect.Width();
      textRect.Left = label.Left;
      textRect.Right = label.Left + w;
      break;
    }
    case TAlignment::taRightJustify: {
      const Integer w = textRect.Width();
      textRect.Right = label.Right - 8;
      textRect.Left = textRect.Right - w;
      break;
    }
    case TAlignment::taCenter: break;
  }
  RectArray.FullTextRect = textRect;
  RectArray.SelectionRect = Inflated(textRect, 2);
  RectArray.FullFocusSelRect = RectArray.SelectionRect;
  RectArray.ClickSelectBoundsRect = FullRowSelect() ? bounds : UnionRectEx(icon, RectArray.SelectionRect);
  TRect drag = RectArray.ClickSelectBoundsRect;
  const auto narrow = static_cast<Integer>(Round(drag.Width() * 0.15));
  drag.Left += narrow;
  drag.Right -= narrow;
  RectArray.DragSelectBoundsRect = drag;
  RectArray.FocusChangeInvalidRect = UnionRectEx(icon, RectArray.FullTextRect);
  RectArray.EditRect = RectArray.FullTextRect;
}

// ---- Report and report-thumb ----
bool TEmberViewReportItem::FullRowSelect() {
  TCustomEmberListview* lv = OwnerListview();
  return lv && lv->GetSelection()->GetFullRowSelect();
}

bool TEmberViewReportItem::PtInItemArea(TEmberItem* Item, TPoint ViewportPoint) {
  TCustomEmberListview* lv = Item ? Item->GetOwnerListview() : nullptr;
  if (!lv || !lv->GetSelection()->GetFullRowSelect()) return true;
  TEmberRectArrayObject ra;
  ItemRectArray(Item, nullptr, lv->GetScratchCanvas(), Item->GetCaption(), ra);
  return Item->GetSelected() && PointIn(UnionRectEx(ra.IconRect, ra.TextRect), ViewportPoint);
}

TRect TEmberViewReportItem::ExpandTextR(TEmberItem* Item, const TEmberRectArrayObject& RectArray,
                                        TEmberSelectHitType SelectType) {
  TRect r = TEmberViewSmallIconItem::ExpandTextR(Item, RectArray, SelectType);
  TCustomEmberListview* lv = Item ? Item->GetOwnerListview() : nullptr;
  // The whole row answers clicks, but while something is dragged over the control only the
  // row's picture and text take it, whoever started the drag.
  if (lv && lv->GetSelection()->GetFullRowSelect() && !lv->GetDragManager()->GetDataObject()) {
    TEmberGroup* g = Item->GetOwnerGroup();
    r.Left = g ? g->GetMarginLeft()->RuntimeSize() : 0;
    r.Right = Item->GetDisplayRect().Right;
  }
  return r;
}

bool TEmberViewReportItem::SelectionHit(TEmberItem* Item, const TRect& SelectViewportRect,
                                        TEmberSelectHitType SelectType) {
  if (!Item || !Item->GetEnabled() || IsRectEmptyEx(SelectViewportRect)) return false;
  TCustomEmberListview* lv = Item->GetOwnerListview();
  TEmberRectArrayObject ra;
  HitRectArray(Item, lv ? lv->GetHeader()->FirstColumn() : nullptr, ra);
  return Meets(ExpandTextR(Item, ra, SelectType), SelectViewportRect) ||
         Meets(ExpandIconR(Item, ra, SelectType), SelectViewportRect);
}

bool TEmberViewReportItem::SelectionHitPt(TEmberItem* Item, TPoint ViewportPoint, TEmberSelectHitType SelectType) {
  if (!Item || !Item->GetEnabled()) return false;
  TCustomEmberListview* lv = Item->GetOwnerListview();
  TEmberRectArrayObject ra;
  HitRectArray(Item, lv ? lv->GetHeader()->FirstColumn() : nullptr, ra);
  return PointIn(ExpandTextR(Item, ra, SelectType), ViewportPoint) ||
         PointIn(ExpandIconR(Item, ra, SelectType), ViewportPoint);
}

TRect TEmberViewReportItem::CalculateDisplayRect(TEmberItem* Item, TEmberColumn* Column) {
  TRect r = Item->GetDisplayRect();
  if (!Column) return r;
  r.Left = Column->GetDisplayRect().Left;
  r.Right = Column->GetDisplayRect().Right;
  TEmberGroup* g = Item->GetOwnerGroup();
  if (!g) return r;
  if (Column->GetPosition() == 0) r.Left = g->GetMarginLeft()->RuntimeSize();
  TEmberHeader* header = Column->GetOwnerHeader();
  if (header && Column->GetPosition() == header->GetColumns()->GetCount() - 1)
    r.Right -= g->GetMarginRight()->RuntimeSize();
  return r;
}

TCustomImageList* TEmberViewReportThumbItem::GetImageList(TEmberColumn* Column, TEmberItem* Item,
                                                          TEmberImageKind Image) {
  return TEmberViewItem::GetImageList(Column, Item, Image);
}

void TEmberViewReportThumbItem::GetImageSize(TEmberItem* Item, TEmberColumn* Column, Integer& ImageW, Integer& ImageH,
                                             TEmberImageKind Image) {
  TEmberViewReportItem::GetImageSize(Item, Column, ImageW, ImageH, Image);
  if (Image == TEmberImageKind::eikState) return;
  TCustomEmberListview* lv = Item ? Item->GetOwnerListview() : nullptr;
  if (!lv) return;
  ImageH = lv->GetGroups()->GetCellHeight() - 4;
  ImageW = static_cast<Integer>(Round(ImageH * 1.5));
}

}  // namespace ember
