#pragma once
// The grids that lay a group's items out in cells, one grid class per view. Each group owns the
// grid of the current view; the groups' rebuild asks every grid in turn, which sets the items'
// rectangles and visible indexes, the group's rectangle and the grid's column and row counts. The
// grids also answer keyboard moves, drop positions, and the cell under a point or the first cell
// in a rectangle by arithmetic over their uniform cells, so that nothing walks the items before.

#include "listview/EmberViews.h"

namespace ember {

enum class TEmberGridLayout { eglHorz, eglVert, eglGrid };
using TEmberGridGroupClass = TClassOf<TEmberGridGroup, TCustomEmberListview*, TEmberGroup*>;

// The base grid fills rows left to right, top to bottom (icon, small icon, thumbnail, tile).
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
  TEmberGroups* OwnerGroups() const;
  virtual TEmberListStyle Style() const = 0;

  // Nil for nil; an assertion fails for an item that is not shown.
  virtual TEmberItem* AdjacentItem(TEmberItem* Item, TEmberAdjacentCellDir Direction);
  // The cell of this view from the control's cell sizes.
  virtual TEmberCellSize* CellSize() const;
  // The cells that fit beside each other in Width, within the group's side margins.
  virtual Integer ColumnsForWidth(TEmberGroup* Group, Integer Width);
  virtual Integer StaticTopItemMargin() const { return 0; }
  virtual Integer StaticTopMargin() const { return 0; }
  // With AutoSizeCaption, widens the cell to the longest caption of the shown items.
  virtual void AutoSizeCells();
  virtual void SetCellSize(TEmberCellSize* Value);
  // Where a drop at the point inserts: the group there and the index in it (-1: none).
  virtual void FindInsertPosition(TPoint ViewportPoint, TEmberGroup*& Group, Integer& Index);
  virtual void Rebuild(TEmberGroup* PrevGroup, Integer& NextVisibleItemIndex);

  // The shown item whose cell contains the point (right and bottom edges exclusive), nil when none.
  virtual TEmberItem* ItemAtPoint(TPoint ViewportPoint) const;
  // The position in the group's visible list of the first shown item whose cell meets the
  // rectangle (in the report views a cell spans the header's row), -1 when none.
  virtual Integer FirstVisibleInRect(const TRect& ViewportRect) const;

protected:
  virtual void Create(TCustomEmberListview* AnOwner, TEmberGroup* AnOwnerGroup);
  using TEmberOwnedPersistent::Create;
  // A group margin's size while it shows, else 0.
  static Integer MarginSize(const TEmberMargin* M);
  Integer MarginLeft() const;
  Integer MarginRight() const;
  Integer MarginTop() const;
  Integer MarginBottom() const;
  // All four at once, through one look-up of the group's paint settings: a layout of many groups
  // made that look-up for each margin of each group.
  struct TMarginSizes {
    Integer Left{0}, Right{0}, Top{0}, Bottom{0};
  };
  TMarginSizes Margins() const;
  // The group is the last one that shows.
  bool IsLastGroup() const;
  // Cell width and height of the current cell size, at least one pixel.
  Integer CellW() const;
  Integer CellH() const;
  // The rectangle of the cell at a position of the visible list, from the last layout.
  virtual TRect SlotRect(Integer Position) const;
  // A hidden, collapsed or empty group: its items are not shown.
  void HideItems();
  // A hidden group: its items are not shown, selected or focused.
  void ReleaseHiddenGroup();
  // Starts a layout: the group's rectangle, and its visible list emptied. A hidden group takes no
  // room: its items are released and its row count is 0. Answers whether the group shows.
  bool BeginLayout(const TRect& GroupRect);
  // A collapsed or empty group: the focus moves off its items, which are not shown.
  void LeaveItemsOut();
  // Gives every shown item the next cell and its indexes, and a hidden one an empty rectangle
  // where the next shown item stands; Each(Position, Rect, Shown) sees every item's position,
  // rectangle and whether it shows. Answers the focused item when it was placed.
  template <class TEach>
  TEmberItem* PlaceItems(Integer& NextVisibleItemIndex, bool FlatRows, TEach&& Each);
  // The shown item at a position of the visible list when its cell holds P.
  TEmberItem* CheckedAt(Int64 Position, TPoint P) const;
  // Moves the focus off this group's items when they are not shown.
  void MoveFocusOffGroup();
  // Grows the group so that the focused item's full caption is not cut by the next group.
  void GrowForFocusedCaption(TEmberItem* Focused);
  // The shown item nearest before (after) this group holding one.
  TEmberGroup* PrecedingGroupWithItems() const;
  TEmberGroup* FollowingGroupWithItems() const;
  // The item under a viewport point across all groups, with no header correction.
  TEmberItem* ItemAtViewportPoint(TPoint P) const;

  Integer FColumnCount{0};
  TEmberGridLayout FLayout{TEmberGridLayout::eglVert};
  TEmberGroup* FOwnerGroup{nullptr};
  Integer FRowCount{0};
  // The cells of the last layout: the top-left of the first cell and the cell's size.
  TPoint FCellOrigin;
  Integer FCellWidth{0};
  Integer FCellHeight{0};
};

class TEmberGridIconGroup : public TEmberGridGroup {
  EMBER_REF_CLASS(TEmberGridIconGroup, TEmberGridGroup, TEmberGridGroup, TCustomEmberListview*, TEmberGroup*)
public:
  TEmberListStyle Style() const override { return TEmberListStyle::elsIcon; }
  void AutoSizeCells() override {}
};

class TEmberGridSmallIconGroup : public TEmberGridGroup {
  EMBER_REF_CLASS(TEmberGridSmallIconGroup, TEmberGridGroup, TEmberGridGroup, TCustomEmberListview*, TEmberGroup*)
public:
  TEmberListStyle Style() const override { return TEmberListStyle::elsSmallIcon; }
};

class TEmberGridThumbnailGroup : public TEmberGridGroup {
  EMBER_REF_CLASS(TEmberGridThumbnailGroup, TEmberGridGroup, TEmberGridGroup, TCustomEmberListview*, TEmberGroup*)
public:
  TEmberListStyle Style() const override { return TEmberListStyle::elsThumbnail; }
  void AutoSizeCells() override {}
};

class TEmberGridTileGroup : public TEmberGridGroup {
  EMBER_REF_CLASS(TEmberGridTileGroup, TEmberGridGroup, TEmberGridGroup, TCustomEmberListview*, TEmberGroup*)
public:
  TEmberListStyle Style() const override { return TEmberListStyle::elsTile; }
  void FindInsertPosition(TPoint, TEmberGroup*&, Integer&) override {}
};

// Columns filled top to bottom, then left to right; the groups stand side by side.
class TEmberGridListGroup : public TEmberGridGroup {
  EMBER_REF_CLASS(TEmberGridListGroup, TEmberGridGroup, TEmberGridGroup, TCustomEmberListview*, TEmberGroup*)
public:
  TEmberListStyle Style() const override { return TEmberListStyle::elsList; }
  TEmberItem* AdjacentItem(TEmberItem* Item, TEmberAdjacentCellDir Direction) override;
  void FindInsertPosition(TPoint, TEmberGroup*&, Integer&) override {}
  void Rebuild(TEmberGroup* PrevGroup, Integer& NextVisibleItemIndex) override;

protected:
  void Create(TCustomEmberListview* AnOwner, TEmberGroup* AnOwnerGroup) override;
  TRect SlotRect(Integer Position) const override;
};

class TEmberGridFilmStripGroup : public TEmberGridListGroup {
  EMBER_REF_CLASS(TEmberGridFilmStripGroup, TEmberGridListGroup, TEmberGridGroup, TCustomEmberListview*, TEmberGroup*)
public:
  TEmberListStyle Style() const override { return TEmberListStyle::elsFilmStrip; }
  void AutoSizeCells() override {}
};

// One item per row across the header's columns.
class TEmberGridReportGroup : public TEmberGridGroup {
  EMBER_REF_CLASS(TEmberGridReportGroup, TEmberGridGroup, TEmberGridGroup, TCustomEmberListview*, TEmberGroup*)
public:
  TEmberListStyle Style() const override { return TEmberListStyle::elsReport; }
  TEmberItem* AdjacentItem(TEmberItem* Item, TEmberAdjacentCellDir Direction) override;
  void FindInsertPosition(TPoint, TEmberGroup*&, Integer&) override {}
  void Rebuild(TEmberGroup* PrevGroup, Integer& NextVisibleItemIndex) override;
  TEmberItem* ItemAtPoint(TPoint ViewportPoint) const override;
  Integer FirstVisibleInRect(const TRect& ViewportRect) const override;

protected:
  void Create(TCustomEmberListview* AnOwner, TEmberGroup* AnOwnerGroup) override;
  TRect SlotRect(Integer Position) const override;

private:
  // The row's horizontal extent from the last layout.
  Integer FRowLeft{0};
  Integer FRowRight{0};
};

class TEmberGridReportThumbGroup : public TEmberGridReportGroup {
  EMBER_REF_CLASS(TEmberGridReportThumbGroup, TEmberGridReportGroup, TEmberGridGroup, TCustomEmberListview*, TEmberGroup*)
public:
  TEmberListStyle Style() const override { return TEmberListStyle::elsReportThumb; }
};

// One cell per header column, rows one cell high.
class TEmberGridGridGroup : public TEmberGridGroup {
  EMBER_REF_CLASS(TEmberGridGridGroup, TEmberGridGroup, TEmberGridGroup, TCustomEmberListview*, TEmberGroup*)
public:
  TEmberListStyle Style() const override { return TEmberListStyle::elsGrid; }
  // Makes the given cell the control's grid cell instead of copying it (see the definition).
  void SetCellSize(TEmberCellSize* Value) override;
  void Rebuild(TEmberGroup* PrevGroup, Integer& NextVisibleItemIndex) override;
  TEmberItem* ItemAtPoint(TPoint ViewportPoint) const override;
  Integer FirstVisibleInRect(const TRect& ViewportRect) const override;

protected:
  void Create(TCustomEmberListview* AnOwner, TEmberGroup* AnOwnerGroup) override;
  TRect SlotRect(Integer Position) const override;

private:
  // Each header column's cell: left edge and width, in index order.
  std::vector<std::pair<Integer, Integer>> FCells;
};

}  // namespace ember
