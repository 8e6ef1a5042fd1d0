#pragma once
// The grids that lay a group's visible items out in cells, one grid class per view.

#include "listview/EmberViews.h"

namespace ember {

enum class TEmberGridLayout { eglHorz, eglVert, eglGrid };
using TEmberGridGroupClass = TClassOf<TEmberGridGroup, TCustomEmberListview*, TEmberGroup*>;

// Lays a group's visible items out in cells. This layout fills rows left to right (columns top to
// bottom for the horizontal views) with the view's cell size and stacks the groups; the full
// layout rules of each view replace Rebuild.
class TEmberGridGroup : public TEmberOwnedPersistent {
  PF_CLASS(TEmberGridGroup)
public:
  static const TEmberGridGroupClass& StaticClass() {
    static const TEmberGridGroupClass cls("TEmberGridGroup", nullptr, nullptr);
    return cls;
  }
  virtual const TEmberGridGroupClass& ClassType() const { return StaticClass(); }

  Integer GetColumnCount() const { return FColumnCount; }
  Integer GetRowCount() const { return FRowCount; }
  TEmberGridLayout GetLayout() const { return FLayout; }
  TEmberGroup* GetOwnerGroup() const { return FOwnerGroup; }
  virtual TEmberListStyle Style() const = 0;
  virtual TEmberCellSize* CellSize() const;
  virtual void SetCellSize(TEmberCellSize* Value);
  virtual TEmberItem* AdjacentItem(TEmberItem* Item, TEmberAdjacentCellDir Direction);
  virtual void Rebuild(TEmberGroup* PrevGroup, Integer& NextVisibleItemIndex);

protected:
  virtual void Create(TCustomEmberListview* AnOwner, TEmberGroup* AnOwnerGroup);
  using TEmberOwnedPersistent::Create;
  TEmberGridLayout FLayout{TEmberGridLayout::eglVert};

private:
  Integer FColumnCount{0};
  TEmberGroup* FOwnerGroup{nullptr};
  Integer FRowCount{0};
};

#define EMBER_GRID(T, Base, StyleValue, LayoutValue)                                       \
  class T : public Base {                                                                  \
    EMBER_REF_CLASS(T, Base, TEmberGridGroup, TCustomEmberListview*, TEmberGroup*)         \
  public:                                                                                  \
    TEmberListStyle Style() const override { return TEmberListStyle::StyleValue; }         \
                                                                                           \
  protected:                                                                               \
    void Create(TCustomEmberListview* AnOwner, TEmberGroup* AnOwnerGroup) override {       \
      Base::Create(AnOwner, AnOwnerGroup);                                                 \
      FLayout = TEmberGridLayout::LayoutValue;                                             \
    }                                                                                      \
  };
EMBER_GRID(TEmberGridIconGroup, TEmberGridGroup, elsIcon, eglVert)
EMBER_GRID(TEmberGridSmallIconGroup, TEmberGridGroup, elsSmallIcon, eglVert)
EMBER_GRID(TEmberGridThumbnailGroup, TEmberGridGroup, elsThumbnail, eglVert)
EMBER_GRID(TEmberGridTileGroup, TEmberGridGroup, elsTile, eglVert)
EMBER_GRID(TEmberGridListGroup, TEmberGridGroup, elsList, eglHorz)
EMBER_GRID(TEmberGridFilmStripGroup, TEmberGridListGroup, elsFilmStrip, eglHorz)
EMBER_GRID(TEmberGridReportGroup, TEmberGridGroup, elsReport, eglGrid)
EMBER_GRID(TEmberGridReportThumbGroup, TEmberGridReportGroup, elsReportThumb, eglGrid)
EMBER_GRID(TEmberGridGridGroup, TEmberGridGroup, elsGrid, eglGrid)
#undef EMBER_GRID

}  // namespace ember
