#pragma once
// The item views: the geometry-and-paint strategy an item asks for everything that depends on the
// list style (its rect array, its hit tests and how it is painted). Views keep no per-item state,
// so the control keeps one view object per view class and every item of that class shares it.
// Included by EmberViews.h, which defines EMBER_REF_CLASS.

#include "listview/EmberItems.h"
#include "listview/EmberManagers.h"

namespace ember {

// The canvas's pen, brush and font, kept while a view paints and put back afterwards.
class TEmberCanvasStore : public TObject {
  PF_CLASS(TEmberCanvasStore)
public:
  TBrush* GetBrush() const { return FBrush; }
  TFont* GetFont() const { return FFont; }
  TPen* GetPen() const { return FPen; }
  void StoreCanvasState(TCanvas* Canvas);
  void RestoreCanvasState(TCanvas* Canvas);

protected:
  void Create() override {}
  void Destroy() override;

private:
  TBrush* FBrush{nullptr};
  TFont* FFont{nullptr};
  TPen* FPen{nullptr};
};


class TEmberViewItem : public TEmberOwnedPersistentGroupItem {
  PF_CLASS(TEmberViewItem)
public:
  static const TEmberViewItemClass& StaticClass() {
    static const TEmberViewItemClass cls("TEmberViewItem", nullptr,
                                         ::pf::ClassMaker<TEmberViewItem, TEmberViewItem, TEmberGroup*>());
    return cls;
  }
  virtual const TEmberViewItemClass& ClassType() const { return StaticClass(); }

  virtual bool PtInItemArea(TEmberItem* Item, TPoint ViewportPoint);
  virtual bool PaintStateImage() { return false; }
  virtual void AfterFocusRectCalc(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption,
                                  TRect& LocalFocusRect);
  virtual void AfterSelRectCalc(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption,
                                TRect& LocalSelRect);
  virtual TEmberInsertMarkerDir DropMarkerDir() { return TEmberInsertMarkerDir::dmdHorz; }
  virtual bool EditAreaHitPt(TEmberItem* Item, TPoint ViewportPoint);
  virtual TRect ExpandIconR(TEmberItem* Item, const TEmberRectArrayObject& RectArray, TEmberSelectHitType SelectType);
  virtual TRect ExpandTextR(TEmberItem* Item, const TEmberRectArrayObject& RectArray, TEmberSelectHitType SelectType);
  virtual bool FullRowSelect() { return false; }
  virtual TCustomImageList* GetImageList(TEmberColumn* Column, TEmberItem* Item, TEmberImageKind Image);
  virtual void GetImageSize(TEmberItem* Item, TEmberColumn* Column, Integer& ImageW, Integer& ImageH,
                            TEmberImageKind Image);
  virtual TCustomImageList* GetStateImageList(TEmberColumn* Column, TEmberItem* Item);
  virtual TRect ItemRect(TEmberItem* Item, TEmberColumn* Column, TEmberCellRectType RectType);
  virtual void ItemRectArray(TEmberItem* Item, TEmberColumn* Column, TCanvas* ACanvas, const WideString& Caption,
                             TEmberRectArrayObject& RectArray);
  virtual void LoadTextFont(TEmberItem* Item, Integer Position, TCanvas* ACanvas, bool Hilightable);
  virtual bool OverlappedFocus() { return false; }
  virtual void Paint(TEmberItem* Item, TEmberColumn* Column, TCanvas* ACanvas, const TRect& ViewportClipRect,
                     bool ForceSelectionRectDraw);
  virtual void PaintAfter(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption, TCanvas* ACanvas,
                          const TEmberRectArrayObject& RectArray);
  virtual void PaintBefore(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption, TCanvas* ACanvas,
                           const TEmberRectArrayObject& RectArray, bool& Handled);
  virtual void PaintCheckBox(TEmberItem* Item, TEmberColumn* Column, const TEmberRectArrayObject& RectArray,
                             TCanvas* ACanvas);
  virtual void PaintFocusRect(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption,
                              const TEmberRectArrayObject& RectArray, TCanvas* ACanvas);
  virtual void PaintImage(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption,
                          const TEmberRectArrayObject& RectArray, TEmberImageSize ImageSize, TCanvas* ACanvas);
  virtual TEmberImageSize PaintImageSize() { return TEmberImageSize::eisSmall; }
  virtual void PaintSelectionRect(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption,
                                  const TEmberRectArrayObject& RectArray, TCanvas* ACanvas,
                                  const TRect& ViewportClipRect, bool ForceSelectionRectDraw);
  virtual void PaintText(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption,
                         const TEmberRectArrayObject& RectArray, TCanvas* ACanvas, Integer LinesToDraw);
  virtual TAlignment PaintTextAlignment(TEmberItem* /*Item*/, TEmberColumn* /*Column*/) { return TAlignment::taCenter; }
  virtual Integer PaintTextLineCount(TEmberItem* /*Item*/, TEmberColumn* /*Column*/) { return 2; }
  virtual common::TCommonVAlignment PaintTextVAlignment(TEmberItem* /*Item*/, TEmberColumn* /*Column*/) {
    return common::TCommonVAlignment::cvaTop;
  }
  virtual Integer PtInRect(TEmberItem* Item, TEmberColumn* Column, TPoint Pt);
  virtual void ReSizeRectArray(TEmberRectArrayObjectArray& RectArray);
  virtual bool SelectionHit(TEmberItem* Item, const TRect& SelectViewportRect, TEmberSelectHitType SelectType);
  virtual bool SelectionHitPt(TEmberItem* Item, TPoint ViewportPoint, TEmberSelectHitType SelectType);

  // Narrows the clip to the icon and state image when they reach out of the cell; the second call
  // puts the clip back.
  void TestAndClipImage(TCanvas* ACanvas, const TEmberRectArrayObject& RectArray, HRGN& Rgn);
  void TestAndUnClipImage(TCanvas* ACanvas, const TEmberRectArrayObject& RectArray, HRGN Rgn);

  // The rect array an item needs for its hit tests: the header's first column (nil when there is
  // none), the control's scratch canvas and no caption.
  void HitRectArray(TEmberItem* Item, TEmberColumn* Column, TEmberRectArrayObject& RectArray);
  // The column an item's caption is hit-tested in: the header's first column in the report views,
  // none in the others.
  static TEmberColumn* CaptionColumn(TCustomEmberListview* LV);

protected:
  // Measures `Text` into `R` with DrawTextWEx's calculate flags, reusing the item's cached
  // line wraps when caption, width, font and flags are the same as last time.
  static void MeasureText(TEmberItem* Item, TCanvas* ACanvas, const WideString& Text, TRect& R, Integer Lines,
                          Word Flags);
  // The canvas views measure captions on: the control's scratch canvas, or while the control has
  // no window a memory canvas with the control's font.
  static TCanvas* MeasureCanvas(TCustomEmberListview* LV);
  static Integer ColumnIndex(TEmberColumn* Column);
  static Integer ColumnPosition(TEmberColumn* Column);
  // Where a view's rect array begins: the item is marked initialised and the array emptied, and
  // the column's position answered; false (the array untouched) for no item or a column that
  // has no position.
  static bool BeginRectArray(TEmberItem* Item, TEmberColumn* Column, TEmberRectArrayObject& RectArray,
                             Integer& Position);
  static Word AlignmentFlag(TAlignment A);
  static Word VAlignmentFlag(common::TCommonVAlignment A);
};

class TEmberViewThumbnailItem : public TEmberViewItem {
  EMBER_REF_CLASS(TEmberViewThumbnailItem, TEmberViewItem, TEmberViewItem, TEmberGroup*)
public:
  void AfterFocusRectCalc(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption,
                          TRect& LocalFocusRect) override;
  void AfterSelRectCalc(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption, TRect& LocalSelRect) override;
  TEmberInsertMarkerDir DropMarkerDir() override { return TEmberInsertMarkerDir::dmdVert; }
  TRect ExpandTextR(TEmberItem* Item, const TEmberRectArrayObject& RectArray, TEmberSelectHitType SelectType) override;
  TCustomImageList* GetImageList(TEmberColumn* Column, TEmberItem* Item, TEmberImageKind Image) override;
  void ItemRectArray(TEmberItem* Item, TEmberColumn* Column, TCanvas* ACanvas, const WideString& Caption,
                     TEmberRectArrayObject& RectArray) override;
  bool OverlappedFocus() override { return true; }
  void PaintAfter(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption, TCanvas* ACanvas,
                  const TEmberRectArrayObject& RectArray) override;
  void PaintBefore(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption, TCanvas* ACanvas,
                   const TEmberRectArrayObject& RectArray, bool& Handled) override;
  TEmberImageSize PaintImageSize() override { return TEmberImageSize::eisExtraLarge; }
  Integer PaintTextLineCount(TEmberItem* Item, TEmberColumn* Column) override;
  common::TCommonVAlignment PaintTextVAlignment(TEmberItem*, TEmberColumn*) override {
    return common::TCommonVAlignment::cvaCenter;
  }
  bool SelectionHit(TEmberItem* Item, const TRect& SelectViewportRect, TEmberSelectHitType SelectType) override;
  bool SelectionHitPt(TEmberItem* Item, TPoint ViewportPoint, TEmberSelectHitType SelectType) override;

protected:
  // The rubber band's target: the picture less a tenth of its width on every side.
  static TRect DragSelectIconArea(const TRect& IconRect);
  // The bounds and the picture's rectangle of the rect array, without the caption's.
  void PictureRects(TEmberItem* Item, Integer Position, TCanvas* Canvas, TEmberRectArrayObject& RectArray);
};

class TEmberViewFilmStripItem : public TEmberViewThumbnailItem {
  EMBER_REF_CLASS(TEmberViewFilmStripItem, TEmberViewThumbnailItem, TEmberViewItem, TEmberGroup*)
};

class TEmberViewTileItem : public TEmberViewItem {
  EMBER_REF_CLASS(TEmberViewTileItem, TEmberViewItem, TEmberViewItem, TEmberGroup*)
public:
  void AfterFocusRectCalc(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption,
                          TRect& LocalFocusRect) override;
  void AfterSelRectCalc(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption, TRect& LocalSelRect) override;
  TEmberInsertMarkerDir DropMarkerDir() override { return TEmberInsertMarkerDir::dmdVert; }
  TRect ExpandIconR(TEmberItem* Item, const TEmberRectArrayObject& RectArray, TEmberSelectHitType SelectType) override;
  TRect ExpandTextR(TEmberItem* Item, const TEmberRectArrayObject& RectArray, TEmberSelectHitType SelectType) override;
  TCustomImageList* GetImageList(TEmberColumn* Column, TEmberItem* Item, TEmberImageKind Image) override;
  void ItemRectArray(TEmberItem* Item, TEmberColumn* Column, TCanvas* ACanvas, const WideString& Caption,
                     TEmberRectArrayObject& RectArray) override;
  void PaintBefore(TEmberItem*, TEmberColumn*, const WideString&, TCanvas*, const TEmberRectArrayObject&,
                   bool&) override {}
  TEmberImageSize PaintImageSize() override { return TEmberImageSize::eisExtraLarge; }
  void PaintText(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption,
                 const TEmberRectArrayObject& RectArray, TCanvas* ACanvas, Integer LinesToDraw) override;
  TAlignment PaintTextAlignment(TEmberItem*, TEmberColumn*) override { return TAlignment::taLeftJustify; }
};

class TEmberViewIconItem : public TEmberViewItem {
  EMBER_REF_CLASS(TEmberViewIconItem, TEmberViewItem, TEmberViewItem, TEmberGroup*)
public:
  void AfterFocusRectCalc(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption,
                          TRect& LocalFocusRect) override;
  void AfterSelRectCalc(TEmberItem* Item, TEmberColumn* Column, const WideString& Caption, TRect& LocalSelRect) override;
  TEmberInsertMarkerDir DropMarkerDir() override { return TEmberInsertMarkerDir::dmdVert; }
  TRect ExpandIconR(TEmberItem* Item, const TEmberRectArrayObject& RectArray, TEmberSelectHitType SelectType) override;
  void ItemRectArray(TEmberItem* Item, TEmberColumn* Column, TCanvas* ACanvas, const WideString& Caption,
                     TEmberRectArrayObject& RectArray) override;
  bool OverlappedFocus() override { return true; }
  void PaintBefore(TEmberItem*, TEmberColumn*, const WideString&, TCanvas*, const TEmberRectArrayObject&,
                   bool&) override {}
  TEmberImageSize PaintImageSize() override { return TEmberImageSize::eisLarge; }
  Integer PaintTextLineCount(TEmberItem* Item, TEmberColumn* Column) override;
};

class TEmberViewSmallIconItem : public TEmberViewItem {
  EMBER_REF_CLASS(TEmberViewSmallIconItem, TEmberViewItem, TEmberViewItem, TEmberGroup*)
public:
  TRect ExpandIconR(TEmberItem* Item, const TEmberRectArrayObject& RectArray, TEmberSelectHitType SelectType) override;
  TRect ExpandTextR(TEmberItem* Item, const TEmberRectArrayObject& RectArray, TEmberSelectHitType SelectType) override;
  void ItemRectArray(TEmberItem* Item, TEmberColumn* Column, TCanvas* ACanvas, const WideString& Caption,
                     TEmberRectArrayObject& RectArray) override;
  void PaintBefore(TEmberItem*, TEmberColumn*, const WideString&, TCanvas*, const TEmberRectArrayObject&,
                   bool&) override {}
  TAlignment PaintTextAlignment(TEmberItem* Item, TEmberColumn* Column) override;
  Integer PaintTextLineCount(TEmberItem*, TEmberColumn*) override { return 1; }
  common::TCommonVAlignment PaintTextVAlignment(TEmberItem* Item, TEmberColumn* Column) override;
  virtual TRect CalculateDisplayRect(TEmberItem* Item, TEmberColumn* Column);
};

class TEmberViewListItem : public TEmberViewSmallIconItem {
  EMBER_REF_CLASS(TEmberViewListItem, TEmberViewSmallIconItem, TEmberViewItem, TEmberGroup*)
};

class TEmberViewGridItem : public TEmberViewSmallIconItem {
  EMBER_REF_CLASS(TEmberViewGridItem, TEmberViewSmallIconItem, TEmberViewItem, TEmberGroup*)
};

class TEmberViewReportItem : public TEmberViewSmallIconItem {
  EMBER_REF_CLASS(TEmberViewReportItem, TEmberViewSmallIconItem, TEmberViewItem, TEmberGroup*)
public:
  bool PtInItemArea(TEmberItem* Item, TPoint ViewportPoint) override;
  bool PaintStateImage() override { return true; }
  TRect ExpandTextR(TEmberItem* Item, const TEmberRectArrayObject& RectArray, TEmberSelectHitType SelectType) override;
  bool FullRowSelect() override;
  bool SelectionHit(TEmberItem* Item, const TRect& SelectViewportRect, TEmberSelectHitType SelectType) override;
  bool SelectionHitPt(TEmberItem* Item, TPoint ViewportPoint, TEmberSelectHitType SelectType) override;
  TRect CalculateDisplayRect(TEmberItem* Item, TEmberColumn* Column) override;
};

class TEmberViewReportThumbItem : public TEmberViewReportItem {
  EMBER_REF_CLASS(TEmberViewReportThumbItem, TEmberViewReportItem, TEmberViewItem, TEmberGroup*)
public:
  TCustomImageList* GetImageList(TEmberColumn* Column, TEmberItem* Item, TEmberImageKind Image) override;
  void GetImageSize(TEmberItem* Item, TEmberColumn* Column, Integer& ImageW, Integer& ImageH,
                    TEmberImageKind Image) override;
  TEmberImageSize PaintImageSize() override { return TEmberImageSize::eisExtraLarge; }
};

// Frees what the views cached for an item (its caption's measured lines).
void FreeItemTextCache(TEmberTextCache*& Cache);

// Keeps painting off the header strip: removes the clip region first when asked, then excludes
// the header's rectangle (in window coordinates) while the header shows in the view.
void EmberClipHeader(TCustomEmberListview* LV, TCanvas* ACanvas, bool ResetClipRgn);

}  // namespace ember
