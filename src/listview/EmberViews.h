#pragma once
// The view objects that paint items, groups and columns. The model makes them from class
// references and asks them for rectangles and hits.

#include "listview/EmberItems.h"
#include "listview/EmberManagers.h"

namespace ember {

// Declares a class made from a reference of the root class `Root` whose constructor takes the
// arguments after it.
#define EMBER_REF_CLASS(T, Base, Root, ...)                                                        \
  PF_CLASS(T)                                                                                      \
public:                                                                                            \
  static const ::pf::TClassOf<Root, __VA_ARGS__>& StaticClass() {                                  \
    static const ::pf::TClassOf<Root, __VA_ARGS__> cls(#T, &Base::StaticClass(),                   \
                                                       ::pf::ClassMaker<T, Root, __VA_ARGS__>());   \
    return cls;                                                                                    \
  }                                                                                                \
  const ::pf::TClassOf<Root, __VA_ARGS__>& ClassType() const override { return StaticClass(); }    \
                                                                                                   \
private:

}  // namespace ember

#include "listview/EmberItemViews.h"

namespace ember {

using TEmberViewGroupClass = TClassOf<TEmberViewGroup, TEmberGroup*>;
// Paints one group: its header and footer with expand button, check box, image, caption and band,
// the side margins as brackets joining the two bands, and the focus rectangle. The same layout
// answers the group's hit tests.
class TEmberViewGroup : public TEmberOwnedPersistentGroupItem {
  PF_CLASS(TEmberViewGroup)
public:
  static const TEmberViewGroupClass& StaticClass() {
    static const TEmberViewGroupClass cls("TEmberViewGroup", nullptr, ::pf::ClassMaker<TEmberViewGroup, TEmberViewGroup, TEmberGroup*>());
    return cls;
  }
  virtual const TEmberViewGroupClass& ClassType() const { return StaticClass(); }
  virtual bool EditAreaHitPt(TEmberGroup* /*Group*/, TPoint /*ViewportPoint*/) { return false; }
  virtual void GetExpandImageSize(TEmberGroup* Group, Integer& ImageW, Integer& ImageH);
  virtual void GetImageSize(TEmberGroup* Group, Integer& ImageW, Integer& ImageH);
  virtual void GroupRectArray(TEmberGroup* Group, TEmberGroupMarginEdge MarginEdge, const TRect& ObjRect,
                              TEmberRectArrayObject& RectArray);
  virtual void LoadTextFont(TEmberGroup* Group, TCanvas* ACanvas);
  virtual void Paint(TEmberGroup* Group, TCanvas* ACanvas, TEmberGroupMarginEdge MarginEdge, const TRect& ObjRect);
  virtual void PaintAfter(TEmberGroup* /*Group*/, TCanvas* /*ACanvas*/, TEmberGroupMarginEdge /*MarginEdge*/,
                          const TRect& /*ObjRect*/, const TEmberRectArrayObject& /*RectArray*/) {}
  virtual void PaintBackground(TEmberGroup* /*Group*/, TCanvas* /*ACanvas*/, TEmberGroupMarginEdge /*MarginEdge*/,
                               const TRect& /*ObjRect*/, const TEmberRectArrayObject& /*RectArray*/) {}
  virtual void PaintBand(TEmberGroup* Group, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                         const TRect& ObjRect, TEmberGroupMarginEdge MarginEdge);
  virtual void PaintBefore(TEmberGroup* /*Group*/, TCanvas* /*ACanvas*/, TEmberGroupMarginEdge /*MarginEdge*/,
                           const TRect& /*ObjRect*/, const TEmberRectArrayObject& /*RectArray*/) {}
  virtual void PaintCheckBox(TEmberGroup* Group, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray);
  virtual void PaintExpandButton(TEmberGroup* Group, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                                 const TRect& ObjRect, TEmberGroupMarginEdge MarginEdge);
  virtual void PaintFocusRect(TEmberGroup* Group, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                              const TRect& ObjRect, TEmberGroupMarginEdge MarginEdge);
  virtual void PaintImage(TEmberGroup* Group, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                          const TRect& ObjRect, TEmberGroupMarginEdge MarginEdge);
  virtual void PaintSelectionRect(TEmberGroup* Group, TCanvas* ACanvas, const TEmberRectArrayObject& RectArray,
                                  const TRect& ObjRect);
  virtual void PaintText(TEmberGroup* Group, TEmberGroupMarginEdge MarginEdge, const TEmberRectArrayObject& RectArray,
                         const TRect& ObjRect, TCanvas* ACanvas);
  virtual bool SelectionHit(TEmberGroup* /*Group*/, const TRect& /*R*/, TEmberSelectHitType /*T*/) { return false; }
  virtual bool SelectionHitPt(TEmberGroup* /*Group*/, TPoint /*P*/, TEmberSelectHitType /*T*/) { return false; }
  TCustomImageList* GetImageList(TEmberGroup* Group);

private:
  // The glyph the button shows now (nil when the group has none), the control's own first.
  TBitmap* ExpandGlyph(TEmberGroup* Group, bool Expanded);
  // Set while another edge lays out the header and footer for their bands.
  bool FBandsOnly{false};
};

using TEmberViewColumnClass = TClassOf<TEmberViewColumn, TCustomEmberListview*>;
// The geometry and painting of one header (or footer) button of a column.
class TEmberViewColumn : public TEmberOwnedPersistentView {
  PF_CLASS(TEmberViewColumn)
public:
  static const TEmberViewColumnClass& StaticClass() {
    static const TEmberViewColumnClass cls("TEmberViewColumn", nullptr, ::pf::ClassMaker<TEmberViewColumn, TEmberViewColumn, TCustomEmberListview*>());
    return cls;
  }
  virtual const TEmberViewColumnClass& ClassType() const { return StaticClass(); }

  virtual bool EditAreaHitPt(TEmberColumn* /*Column*/, TPoint /*ViewportPoint*/) { return false; }
  // Measures the caption into TextR; without a canvas a temporary one on the control is used.
  virtual void CalculateTextRect(TEmberColumn* Column, TCanvas* Canvas, TRect& TextR);
  virtual TRect ItemRect(TEmberColumn* Column, TEmberCellRectType RectType);
  virtual void ItemRectArray(TEmberColumn* Column, TEmberRectArrayObject& RectArray);
  // The header's font, bold for a bold column.
  virtual void LoadTextFont(TEmberColumn* Column, TCanvas* ACanvas);
  virtual void Paint(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType HeaderType);
  virtual void PaintAfter(TEmberColumn*, TCanvas*, TEmberHeaderType, const TEmberRectArrayObject&) {}
  virtual void PaintBefore(TEmberColumn*, TCanvas*, TEmberHeaderType, const TEmberRectArrayObject&) {}
  virtual void PaintBkGnd(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType HeaderType,
                          const TEmberRectArrayObject& RectArray);
  virtual void PaintCheckBox(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType HeaderType,
                             const TEmberRectArrayObject& RectArray);
  virtual void PaintDropDownArrow(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType HeaderType,
                                  const TEmberRectArrayObject& RectArray);
  virtual void PaintDropGlyph(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType HeaderType,
                              const TEmberRectArrayObject& RectArray);
  virtual void PaintFocusRect(TEmberColumn*, TCanvas*, TEmberHeaderType, const TEmberRectArrayObject&) {}
  virtual void PaintImage(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType HeaderType,
                          const TEmberRectArrayObject& RectArray, TEmberImageSize ImageSize);
  virtual TEmberImageSize PaintImageSize(TEmberColumn*, TEmberHeaderType) { return TEmberImageSize::eisSmall; }
  virtual void PaintSortGlyph(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType HeaderType,
                              const TEmberRectArrayObject& RectArray);
  virtual void PaintText(TEmberColumn* Column, TCanvas* ACanvas, TEmberHeaderType HeaderType,
                         const TEmberRectArrayObject& RectArray, Integer LinesToDraw);
  // One record per header column, at least one.
  virtual void ReSizeRectArray(TEmberRectArrayObjectArray& RectArray);
  virtual bool SelectionHit(TEmberColumn* /*Column*/, const TRect& /*R*/, TEmberSelectHitType /*T*/) { return false; }
  virtual bool SelectionHitPt(TEmberColumn* /*Column*/, TPoint /*P*/, TEmberSelectHitType /*T*/) { return false; }

  TCustomImageList* GetImageList(TEmberColumn* Column);
  void GetImageSize(TEmberColumn* Column, Integer& ImageW, Integer& ImageH);
};

}  // namespace ember

#include "listview/EmberGrid.h"
