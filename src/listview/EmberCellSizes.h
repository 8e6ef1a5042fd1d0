#pragma once
// The cell every view lays its items out in, one size per view. Defaults are given for 96 dots per
// inch and scaled to the screen's resolution when a cell is made; every change of a size lays the
// whole control out again.

#include <algorithm>

#include "listview/EmberPersistent.h"

namespace ember {

class TEmberCellSize : public TEmberOwnedPersistent {
  PF_CLASS(TEmberCellSize)
public:
  // The set size, or the auto-sized one while AutoSizeCaption is on. Without auto-sizing a cell
  // is never thinner or lower than one pixel.
  Integer GetWidth() const { return FAutoSizeCaption ? FWidthAutoSizeRaw : std::max(FWidth, 1); }
  void SetWidth(Integer Value) { SetSize(Value, FAutoSizeCaption ? FHeightAutoSizeRaw : FHeight); }
  Integer GetHeight() const { return FAutoSizeCaption ? FHeightAutoSizeRaw : std::max(FHeight, 1); }
  void SetHeight(Integer Value) { SetSize(FAutoSizeCaption ? FWidthAutoSizeRaw : FWidth, Value); }
  bool GetAutoSizeCaption() const { return FAutoSizeCaption; }
  void SetAutoSizeCaption(bool Value);
  // The size used while auto-sizing; the layout's caption auto-size writes the width.
  Integer GetWidthAutoSizeRaw() const { return FWidthAutoSizeRaw; }
  void SetWidthAutoSizeRaw(Integer Value) { FWidthAutoSizeRaw = Value; }
  Integer GetHeightAutoSizeRaw() const { return FHeightAutoSizeRaw; }
  void SetHeightAutoSizeRaw(Integer Value) { FHeightAutoSizeRaw = Value; }

  // Negative values count as 0. The control is laid out again even when nothing changed.
  void SetSize(Integer AWidth, Integer AHeight);
  void RestoreDefaults();
  // Takes the size (as the source's getters answer it) of another cell; no new layout.
  void Assign(TEmberPersistent* Source) override;

  // The view's default at 96 dots per inch, which is also the stream's default value, and whether
  // the view publishes AutoSizeCaption.
  virtual TSize Default96() const { return TSize{0, 0}; }
  virtual bool PublishesAutoSizeCaption() const { return false; }
  // The default scaled to the screen's resolution.
  TSize ScaledDefault() const;

protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberOwnedPersistent::Create;

private:
  void RebuildGroups();
  bool FAutoSizeCaption{false};
  Integer FHeightAutoSizeRaw{0};
  Integer FWidthAutoSizeRaw{0};
  Integer FHeight{0};
  Integer FWidth{0};
};

#define EMBER_CELL_SIZE(T, Base, W, H, AutoSizePublished)                                   \
  class T : public Base {                                                                     \
    PF_CLASS(T)                                                                               \
  public:                                                                                     \
    static constexpr Integer DefaultWidth = W;                                                \
    static constexpr Integer DefaultHeight = H;                                               \
    TSize Default96() const override { return TSize{W, H}; }                                  \
    bool PublishesAutoSizeCaption() const override { return AutoSizePublished; }              \
  };
EMBER_CELL_SIZE(TEmberCellSizeIcon, TEmberCellSize, 75, 75, false)
EMBER_CELL_SIZE(TEmberCellSizeSmallIcon, TEmberCellSize, 200, 17, true)
EMBER_CELL_SIZE(TEmberCellSizeThumbnail, TEmberCellSize, 125, 143, false)
EMBER_CELL_SIZE(TEmberCellSizeTile, TEmberCellSize, 218, 58, false)
EMBER_CELL_SIZE(TEmberCellSizeList, TEmberCellSize, 200, 17, true)
EMBER_CELL_SIZE(TEmberCellSizeReport, TEmberCellSize, 75, 17, true)
EMBER_CELL_SIZE(TEmberCellSizeReportThumb, TEmberCellSize, 75, 90, true)
EMBER_CELL_SIZE(TEmberCellSizeFilmStrip, TEmberCellSizeThumbnail, 125, 143, false)
EMBER_CELL_SIZE(TEmberCellGrid, TEmberCellSizeReport, 75, 17, true)
#undef EMBER_CELL_SIZE

// One cell size per view, made with the control and freed with it.
class TEmberCellSizes : public TEmberOwnedPersistent {
  PF_CLASS(TEmberCellSizes)
public:
  // The cell of a view.
  TEmberCellSize* Of(TEmberListStyle Style) const;
  TEmberCellSizeFilmStrip* GetFilmStrip() const { return FFilmStrip; }
  TEmberCellSizeIcon* GetIcon() const { return FIcon; }
  TEmberCellSizeList* GetList() const { return FList; }
  TEmberCellSizeReport* GetReport() const { return FReport; }
  TEmberCellSizeReportThumb* GetReportThumb() const { return FReportThumb; }
  TEmberCellSizeSmallIcon* GetSmallIcon() const { return FSmallIcon; }
  TEmberCellGrid* GetGrid() const { return FGrid; }
  TEmberCellSizeThumbnail* GetThumbnail() const { return FThumbnail; }
  TEmberCellSizeTile* GetTile() const { return FTile; }
  // Makes Value the grid view's cell: the control owns it from now on and frees the one it held.
  void ReplaceGrid(TEmberCellGrid* Value);

protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberOwnedPersistent::Create;
  void Destroy() override;

private:
  TEmberCellSizeFilmStrip* FFilmStrip{nullptr};
  TEmberCellSizeIcon* FIcon{nullptr};
  TEmberCellSizeList* FList{nullptr};
  TEmberCellSizeReport* FReport{nullptr};
  TEmberCellSizeReportThumb* FReportThumb{nullptr};
  TEmberCellSizeSmallIcon* FSmallIcon{nullptr};
  TEmberCellGrid* FGrid{nullptr};
  TEmberCellSizeThumbnail* FThumbnail{nullptr};
  TEmberCellSizeTile* FTile{nullptr};
};

}  // namespace ember
