#pragma once
// The order list's photo cell: the thumbnail on a silver square with the crop frame and the
// low-resolution warning over it, and five text rows (file name, size, paper, count, price). The
// rectangles, hit tests and selection areas are the thumbnail view's.

#include "app/uItems.h"
#include "listview/EmberListview.h"

namespace app {

class TCustomViewItem : public ember::TEmberViewThumbnailItem {
  EMBER_REF_CLASS(TCustomViewItem, ember::TEmberViewThumbnailItem, ember::TEmberViewItem, ember::TEmberGroup*)
public:
  // Paints the whole cell and answers Handled, so the list view paints nothing of its own there
  // (the main window covers the selected cell with its editing panel). Raises EInvalidCast for an
  // item that is not a TImageItemEx.
  void PaintBefore(ember::TEmberItem* Item, ember::TEmberColumn* Column, const String& Caption, TCanvas* ACanvas,
                   const ember::TEmberRectArrayObject& RectArray, bool& Handled) override;

  // The text rows 0 to 4: a caption on the left, a value 60 pixels further right.
  static String GetRowCaption(TImageItemEx* Item, Integer Row);
  static String GetRowValue(TImageItemEx* Item, Integer Row);
  static constexpr Integer RowCount = 5;
};

}  // namespace app
