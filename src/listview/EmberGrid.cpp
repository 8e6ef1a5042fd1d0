#include "listview/EmberGrid.h"

#include <algorithm>

#include "listview/EmberControl.h"
#include "platform/user/User.h"

namespace ember {

namespace {

constexpr const char16_t* AdjacentOfInvisibleMessage = u"Can not find TEmberGroups.AdjacentItem of an Invisible Item";

// Floor division: a point left of or above the first cell lies in cell -1, not 0.
Integer FloorDiv(Integer a, Integer b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// A canvas on the screen DC for measuring, released with the object.
struct ScreenCanvas {
  HDC DC{GetDC(nullptr)};
  Owned<TCanvas> Canvas{TCanvas::New()};
  ScreenCanvas() { Canvas->SetHandle(DC); }
  ~ScreenCanvas() {
    Canvas->SetHandle(nullptr);
    ReleaseDC(nullptr, DC);
  }
  ScreenCanvas(const ScreenCanvas&) = delete;
  ScreenCanvas& operator=(const ScreenCanvas&) = delete;
};

}  // namespace

// ---- The base grid ----
void TEmberGridGroup::Create(TCustomEmberListview* AnOwner, TEmberGroup* AnOwnerGroup) {
  TEmberOwnedPersistent::Create(AnOwner);
  FOwnerGroup = AnOwnerGroup;
  FLayout = TEmberGridLayout::eglVert;
}

TEmberGroups* TEmberGridGroup::OwnerGroups() const { return OwnerListview() ? OwnerListview()->GetGroups() : nullptr; }

TEmberCellSize* TEmberGridGroup::CellSize() const {
  return OwnerListview() ? OwnerListview()->GetCellSizes()->Of(Style()) : nullptr;
}

void TEmberGridGroup::SetCellSize(TEmberCellSize* Value) {
  TEmberCellSize* own = CellSize();
  if (Value && own && Value != own) own->Assign(Value);
}

Integer TEmberGridGroup::MarginSize(const TEmberMargin* M) { return M ? M->RuntimeSize() : 0; }
Integer TEmberGridGroup::MarginLeft() const { return MarginSize(FOwnerGroup->GetMarginLeft()); }
Integer TEmberGridGroup::MarginRight() const { return MarginSize(FOwnerGroup->GetMarginRight()); }
Integer TEmberGridGroup::MarginTop() const { return MarginSize(FOwnerGroup->GetMarginTop()); }
Integer TEmberGridGroup::MarginBottom() const { return MarginSize(FOwnerGroup->GetMarginBottom()); }
TEmberGridGroup::TMarginSizes TEmberGridGroup::Margins() const {
  TEmberPaintInfoBaseGroup* info = FOwnerGroup->GroupPaintInfo();
  if (!info) return {};
  return {MarginSize(info->GetMarginLeft()), MarginSize(info->GetMarginRight()), MarginSize(info->GetMarginTop()),
          MarginSize(info->GetMarginBottom())};
}
Integer TEmberGridGroup::CellW() const {
  const TEmberCellSize* c = CellSize();
  return std::max(1, c ? c->GetWidth() : 1);
}
Integer TEmberGridGroup::CellH() const {
  const TEmberCellSize* c = CellSize();
  return std::max(1, c ? c->GetHeight() : 1);
}

bool TEmberGridGroup::IsLastGroup() const {
  TEmberGroups* groups = OwnerGroups();
  return groups && groups->LastVisibleGroup() == FOwnerGroup;
}

Integer TEmberGridGroup::ColumnsForWidth(TEmberGroup* Group, Integer Width) {
  if (FColumnCount == 0) FColumnCount = 1;
  const Integer cw = CellW();
  if (!Group) return Width / cw;
  return (Width - (MarginSize(Group->GetMarginLeft()) + MarginSize(Group->GetMarginRight()))) / cw;
}

void TEmberGridGroup::AutoSizeCells() {
  TCustomEmberListview* lv = OwnerListview();
  TEmberCellSize* cell = CellSize();
  if (!lv || !cell || !cell->GetAutoSizeCaption() || !FOwnerGroup) return;
  // Every mouse move of a column resize lays the groups out again: the cell keeps its width
  // until the resize ends.
  if (lv->GetHeader() && lv->GetHeader()->GetState().Contains(TEmberHeaderState::ehsResizing)) return;
  // The longest caption by characters; the first of equally long ones wins.
  TEmberItem* longest = nullptr;
  size_t length = 0;
  for (Integer i = 0; i < FOwnerGroup->GetItemCount(); ++i) {
    TEmberItem* item = FOwnerGroup->GetItem(i);
    if (!item->GetVisible()) continue;
    const size_t n = item->GetCaptions(0).size();
    if (!longest || n > length) {
      longest = item;
      length = n;
    }
  }
  if (!longest) return;
  ScreenCanvas screen;
  TEmberRectArrayObject ra;
  longest->ItemRectArray(nullptr, screen.Canvas.get(), ra);
  if (TEmberViewItem* view = longest->GetView())
    view->LoadTextFont(longest, 0, screen.Canvas.get(), true);
  else
    screen.Canvas->SetFont(lv->GetFont());
  const Integer text = screen.Canvas->TextWidth(longest->GetCaptions(0));
  cell->SetWidthAutoSizeRaw(ra.CheckRect.Width() + ra.IconRect.Width() + ra.StateRect.Width() + text + 18);
}

TRect TEmberGridGroup::SlotRect(Integer Position) const {
  const Integer cols = std::max(1, FColumnCount);
  const Integer x = FCellOrigin.X + (Position % cols) * FCellWidth;
  const Integer y = FCellOrigin.Y + (Position / cols) * FCellHeight;
  return TRect{x, y, x + FCellWidth, y + FCellHeight};
}

void TEmberGridGroup::HideItems() {
  const TRect r = FOwnerGroup->GetDisplayRect();
  for (Integer i = 0; i < FOwnerGroup->GetItemCount(); ++i) {
    TEmberItem* item = FOwnerGroup->GetItem(i);
    item->SetVisibleIndexInGroup(-1);
    item->SetVisibleIndex(-1);
    item->SetDisplayRect(TRect{r.Left, r.Top, r.Left, r.Top});
  }
}

void TEmberGridGroup::ReleaseHiddenGroup() {
  HideItems();
  TEmberSelectionManager* sel = OwnerListview() ? OwnerListview()->GetSelection() : nullptr;
  if (!sel) return;
  for (Integer i = 0; i < FOwnerGroup->GetItemCount() && sel->GetCount() > 0; ++i) FOwnerGroup->GetItem(i)->SetSelected(false);
  if (sel->GetFocusedItem() && sel->GetFocusedItem()->GetOwnerGroup() == FOwnerGroup) sel->SetFocusedItem(nullptr);
}

bool TEmberGridGroup::BeginLayout(const TRect& GroupRect) {
  FOwnerGroup->SetDisplayRect(GroupRect);
  auto& visible = FOwnerGroup->VisibleItems();
  visible.clear();
  if (!FOwnerGroup->GetVisible()) {
    // Its margins would leave an empty band where nothing shows.
    ReleaseHiddenGroup();
    FRowCount = 0;
    return false;
  }
  visible.reserve(static_cast<size_t>(FOwnerGroup->GetItemCount()));
  return true;
}

void TEmberGridGroup::LeaveItemsOut() {
  MoveFocusOffGroup();
  HideItems();
}

template <class TEach>
TEmberItem* TEmberGridGroup::PlaceItems(Integer& NextVisibleItemIndex, bool FlatRows, TEach&& Each) {
  TEmberSelectionManager* sel = OwnerListview() ? OwnerListview()->GetSelection() : nullptr;
  TEmberItem* focusItem = sel ? sel->GetFocusedItem() : nullptr;
  TEmberItem* focused = nullptr;
  auto& visible = FOwnerGroup->VisibleItems();
  // Nothing in the loop reaches the application, so the items stay as they are.
  const Integer count = FOwnerGroup->GetItemCount();
  for (Integer i = 0; i < count; ++i) {
    TEmberItem* item = FOwnerGroup->GetItem(i);
    const Integer k = static_cast<Integer>(visible.size());
    const TRect slot = SlotRect(k);
    const bool shown = item->GetVisible();
    if (shown) {
      item->SetVisibleIndexInGroup(k);
      item->SetVisibleIndex(NextVisibleItemIndex++);
      visible.push_back(item);
      item->SetDisplayRect(slot);
      if (item == focusItem) focused = item;
    } else {
      // A hidden item stands where the next shown one will, without width (without height in
      // the rows of the report views).
      item->SetVisibleIndexInGroup(-1);
      item->SetVisibleIndex(-1);
      item->SetDisplayRect(FlatRows ? TRect{slot.Left, slot.Top, slot.Right, slot.Top}
                                    : TRect{slot.Left, slot.Top, slot.Left, slot.Bottom});
    }
    Each(k, item->GetDisplayRect(), shown);
  }
  return focused;
}

TEmberItem* TEmberGridGroup::CheckedAt(Int64 Position, TPoint P) const {
  const Integer n = FOwnerGroup->GetVisibleCount();
  if (Position < 0 || Position >= n) return nullptr;
  TEmberItem* item = FOwnerGroup->GetVisibleItem(static_cast<Integer>(Position));
  if (item && PtInRectEx(item->GetDisplayRect(), P)) return item;
  // The visible list lost an item since the last layout (a delete inside an update).
  for (Integer i = 0; i < n; ++i)
    if (PtInRectEx(FOwnerGroup->GetVisibleItem(i)->GetDisplayRect(), P)) return FOwnerGroup->GetVisibleItem(i);
  return nullptr;
}

void TEmberGridGroup::MoveFocusOffGroup() {
  TCustomEmberListview* lv = OwnerListview();
  TEmberSelectionManager* sel = lv ? lv->GetSelection() : nullptr;
  TEmberItem* focused = sel ? sel->GetFocusedItem() : nullptr;
  if (!focused || focused->GetOwnerGroup() != FOwnerGroup) return;
  // The walk starts after the group's last item: none of its own items is shown. A disabled item
  // refuses the focus, which would be lost.
  TEmberItem* next = OwnerGroups()->NextVisibleItem(FOwnerGroup->GetItem(FOwnerGroup->GetItemCount() - 1));
  while (next && !next->GetEnabled()) next = OwnerGroups()->NextVisibleItem(next);
  sel->SetFocusedItem(nullptr);
  if (next) sel->SetFocusedItem(next);
}

void TEmberGridGroup::GrowForFocusedCaption(TEmberItem* Focused) {
  TCustomEmberListview* lv = OwnerListview();
  if (!Focused || !lv) return;
  if (!IsLastGroup() && !(lv->GetSelection() && lv->GetSelection()->GetResizeGroupOnFocus())) return;
  TEmberRectArrayObject ra;
  Focused->ItemRectArray(nullptr, lv->GetScratchCanvas(), ra);
  TRect gr = FOwnerGroup->GetDisplayRect();
  if (gr.Bottom - MarginBottom() < ra.FullTextRect.Bottom) {
    gr.Bottom += ra.FullTextRect.Bottom - Focused->GetDisplayRect().Bottom;
    FOwnerGroup->SetDisplayRect(gr);
  }
}

TEmberGroup* TEmberGridGroup::PrecedingGroupWithItems() const {
  TEmberGroups* groups = OwnerGroups();
  for (Integer g = FOwnerGroup->GetIndex() - 1; groups && g >= 0; --g)
    if (groups->GetGroup(g)->GetVisibleCount() > 0) return groups->GetGroup(g);
  return nullptr;
}

TEmberGroup* TEmberGridGroup::FollowingGroupWithItems() const {
  TEmberGroups* groups = OwnerGroups();
  for (Integer g = FOwnerGroup->GetIndex() + 1; groups && g < groups->GetCount(); ++g)
    if (groups->GetGroup(g)->GetVisibleCount() > 0) return groups->GetGroup(g);
  return nullptr;
}

TEmberItem* TEmberGridGroup::ItemAtViewportPoint(TPoint P) const {
  TEmberGroups* groups = OwnerGroups();
  TEmberGroup* g = groups ? groups->GroupByPoint(P) : nullptr;
  return g ? g->ItemByPoint(P) : nullptr;
}

// Rows of cells left to right, top to bottom. The client width leaves room for the vertical
// scroll bar even while it is hidden, so that its appearing does not lay everything out anew.
void TEmberGridGroup::Rebuild(TEmberGroup* PrevGroup, Integer& NextVisibleItemIndex) {
  TCustomEmberListview* lv = OwnerListview();
  TEmberGroup* g = FOwnerGroup;
  if (!lv || !g) return;
  AutoSizeCells();
  const Integer topMargin = StaticTopMargin();
  const Integer topItemMargin = StaticTopItemMargin();
  const Integer cw = CellW(), ch = CellH();
  const TMarginSizes margins = Margins();
  const Integer ml = margins.Left, mr = margins.Right, mt = margins.Top, mb = margins.Bottom;
  const Integer prevBottom = PrevGroup ? PrevGroup->GetDisplayRect().Bottom : 0;
  Integer width = lv->GetClientWidth() - 1;
  if (!lv->HandleAllocated() || !(GetWindowLongPtr(lv->Handle(), GWL_STYLE) & WS_VSCROLL))
    width -= GetSystemMetrics(SM_CXVSCROLL);
  width = std::max(width, cw + ml + mr);

  TRect gr{0, topMargin + prevBottom, width, topMargin + prevBottom};
  if (!BeginLayout(gr)) {
    FColumnCount = 0;
    return;
  }
  TEmberItem* focused = nullptr;
  Integer maxBottom = 0;
  const Integer count = g->GetItemCount();
  if (g->GetExpanded() && count > 0) {
    FColumnCount = std::max(1, ColumnsForWidth(g, width));
    FCellOrigin = TPoint{ml, prevBottom + topMargin + mt + topItemMargin};
    FCellWidth = cw;
    FCellHeight = ch;
    focused = PlaceItems(NextVisibleItemIndex, false, [&](Integer, const TRect& r, bool shown) {
      if (shown) maxBottom = r.Bottom - FCellOrigin.Y;
    });
  } else {
    LeaveItemsOut();
  }
  if (g->GetVisibleCount() == 0) {
    FColumnCount = 0;
    FRowCount = 0;
  } else {
    FRowCount = count / FColumnCount + (count % FColumnCount ? 1 : 0);
  }
  gr.Bottom += mb + mt + maxBottom + (g->GetExpanded() ? 2 * topItemMargin : 0);
  g->SetDisplayRect(gr);
  GrowForFocusedCaption(focused);
}

// Uniform cells from FCellOrigin, filling rows (columns in the horizontal views) of PerLine.
TEmberItem* TEmberGridGroup::ItemAtPoint(TPoint P) const {
  const bool columnMajor = FLayout == TEmberGridLayout::eglHorz;
  const Integer perLine = columnMajor ? FRowCount : FColumnCount;
  const Integer n = FOwnerGroup ? FOwnerGroup->GetVisibleCount() : 0;
  if (n == 0 || FCellWidth <= 0 || FCellHeight <= 0 || perLine < 1) return nullptr;
  const Integer c = FloorDiv(P.X - FCellOrigin.X, FCellWidth);
  const Integer r = FloorDiv(P.Y - FCellOrigin.Y, FCellHeight);
  const Integer inLine = columnMajor ? r : c, line = columnMajor ? c : r;
  if (c < 0 || r < 0 || inLine >= perLine) return nullptr;
  return CheckedAt(static_cast<Int64>(line) * perLine + inLine, P);
}

Integer TEmberGridGroup::FirstVisibleInRect(const TRect& R) const {
  const bool columnMajor = FLayout == TEmberGridLayout::eglHorz;
  const Integer perLine = columnMajor ? FRowCount : FColumnCount;
  const Integer n = FOwnerGroup ? FOwnerGroup->GetVisibleCount() : 0;
  if (n == 0 || FCellWidth <= 0 || FCellHeight <= 0 || perLine < 1 || IsRectEmptyEx(R)) return -1;
  // The cells that meet R: columns c0..c1 of rows r0..r1; the first of them in filling order.
  const Integer c0 = std::max(0, FloorDiv(R.Left - FCellOrigin.X, FCellWidth));
  Integer c1 = FloorDiv(R.Right - 1 - FCellOrigin.X, FCellWidth);
  const Integer r0 = std::max(0, FloorDiv(R.Top - FCellOrigin.Y, FCellHeight));
  Integer r1 = FloorDiv(R.Bottom - 1 - FCellOrigin.Y, FCellHeight);
  (columnMajor ? r1 : c1) = std::min(perLine - 1, columnMajor ? r1 : c1);
  if (c0 > c1 || r0 > r1) return -1;
  const Int64 k = columnMajor ? static_cast<Int64>(c0) * perLine + r0 : static_cast<Int64>(r0) * perLine + c0;
  return k < n ? static_cast<Integer>(k) : -1;
}

void TEmberGridGroup::FindInsertPosition(TPoint P, TEmberGroup*& Group, Integer& Index) {
  Index = -1;
  TEmberGroups* groups = OwnerGroups();
  Group = groups ? groups->GroupByPoint(P) : nullptr;
  if (!Group) return;
  TEmberItem* item = Group->ItemByPoint(P);
  if (!item) return;
  const TRect& r = item->GetDisplayRect();
  Index = item->GetIndex() + (P.X >= r.Left + r.Width() / 2 ? 1 : 0);
}

TEmberItem* TEmberGridGroup::AdjacentItem(TEmberItem* Item, TEmberAdjacentCellDir Direction) {
  using D = TEmberAdjacentCellDir;
  if (!Item) return nullptr;
  const Integer i = Item->GetVisibleIndexInGroup();
  if (!Item->GetVisible() || i < 0) Assert(false, AdjacentOfInvisibleMessage, EmberListviewUnit);
  TCustomEmberListview* lv = OwnerListview();
  TEmberGroup* g = FOwnerGroup;
  const Integer n = g->GetVisibleCount();
  const Integer cols = std::max(1, FColumnCount);
  switch (Direction) {
    case D::acdLeft: {
      if (i > 0) return g->GetVisibleItem(i - 1);
      TEmberGroup* prev = PrecedingGroupWithItems();
      return prev ? prev->GetVisibleItem(prev->GetVisibleCount() - 1) : nullptr;
    }
    case D::acdRight: {
      if (i < n - 1) return g->GetVisibleItem(i + 1);
      TEmberGroup* next = FollowingGroupWithItems();
      return next ? next->GetVisibleItem(0) : nullptr;
    }
    case D::acdUp: {
      if (i >= cols) return g->GetVisibleItem(i - cols);
      TEmberGroup* prev = PrecedingGroupWithItems();
      if (!prev) return nullptr;
      const Integer pn = prev->GetVisibleCount();
      TEmberGridGroup* pg = prev->GetGrid();
      const Integer pc = std::max(1, pg ? pg->GetColumnCount() : 1);
      const Integer c = i % cols;
      if (pn - 1 < c) return prev->GetVisibleItem(pn - 1);
      return prev->GetVisibleItem(c + ((pn - 1 - c) / pc) * pc);
    }
    case D::acdDown: {
      if (i / cols < (n - 1) / cols) return g->GetVisibleItem(i + cols);
      TEmberGroup* next = FollowingGroupWithItems();
      if (!next) return nullptr;
      const Integer c = i % cols;
      return next->GetVisibleItem(std::min(c, next->GetVisibleCount() - 1));
    }
    case D::acdPageDown:
    case D::acdPageUp: break;
  }
  if (!lv) return nullptr;
  const TRect r = Item->GetDisplayRect();
  const Integer clientH = lv->ClientInViewportCoords().Height();
  const Integer cw = CellW(), ch = CellH();
  const Integer column = i % cols;
  // The item found at the point, else moving left one cell at a time up to the row's start.
  auto probeRow = [&](TPoint pt) -> TEmberItem* {
    for (Integer t = 0; t <= column; ++t, pt.X -= cw)
      if (TEmberItem* found = ItemAtViewportPoint(pt)) return found;
    return nullptr;
  };
  if (Direction == D::acdPageDown) {
    TPoint pt{r.Left, r.Top + clientH};
    if (TEmberItem* last = OwnerGroups()->LastVisibleItem()) {
      TEmberRectArrayObject ra;
      last->ItemRectArray(nullptr, lv->GetScratchCanvas(), ra);
      const Integer bottom = IsRectEmptyEx(ra.LabelRect) ? last->GetDisplayRect().Bottom : ra.LabelRect.Bottom;
      pt.Y = std::min(pt.Y, bottom - 1);
    }
    const Integer viewBottom = lv->GetScrollbars()->GetViewRect().Bottom;
    for (;;) {
      if (TEmberItem* found = probeRow(pt)) return found;
      pt.Y += ch;
      if (pt.Y >= viewBottom) return nullptr;
    }
  }
  TPoint pt{r.Right - 1, r.Bottom - clientH};
  if (TEmberGroup* first = OwnerGroups()->FirstVisibleGroup()) {
    TEmberGridGroup* fg = first->GetGrid();
    const Integer top = first->GetDisplayRect().Top + (fg ? fg->StaticTopItemMargin() : 0);
    pt.Y = std::max(pt.Y, top);
  }
  for (; pt.Y < r.Bottom; pt.Y += ch)
    if (TEmberItem* found = probeRow(pt)) return found;
  return nullptr;
}

// ---- The list grid ----
void TEmberGridListGroup::Create(TCustomEmberListview* AnOwner, TEmberGroup* AnOwnerGroup) {
  TEmberGridGroup::Create(AnOwner, AnOwnerGroup);
  FLayout = TEmberGridLayout::eglHorz;
}

TRect TEmberGridListGroup::SlotRect(Integer Position) const {
  const Integer rows = std::max(1, FRowCount);
  const Integer x = FCellOrigin.X + (Position / rows) * FCellWidth;
  const Integer y = FCellOrigin.Y + (Position % rows) * FCellHeight;
  return TRect{x, y, x + FCellWidth, y + FCellHeight};
}

// Columns of cells top to bottom, then left to right, each group right of the one before. A
// height that is an exact multiple of the cell holds that many rows: the row count and the move
// to the next column follow the same rule, so the keyboard's column steps land on the cells shown.
void TEmberGridListGroup::Rebuild(TEmberGroup* PrevGroup, Integer& NextVisibleItemIndex) {
  TCustomEmberListview* lv = OwnerListview();
  TEmberGroup* g = FOwnerGroup;
  if (!lv || !g) return;
  AutoSizeCells();
  const Integer cw = CellW(), ch = CellH();
  const TMarginSizes margins = Margins();
  const Integer ml = margins.Left, mr = margins.Right, mt = margins.Top, mb = margins.Bottom;
  const Integer left = PrevGroup ? PrevGroup->GetDisplayRect().Right : 0;
  const Integer h = std::max(lv->GetClientHeight() - lv->GetHeader()->RuntimeHeight(), mb + mt + ch);
  TRect gr{left, 0, left, h};
  if (!BeginLayout(gr)) {
    FColumnCount = 0;
    return;
  }
  const Integer count = g->GetItemCount();
  if (g->GetExpanded() && count > 0) {
    FRowCount = std::max(1, (h - (mb + mt)) / ch);
    FColumnCount = 1;
    FCellOrigin = TPoint{ml + left, mt};
    FCellWidth = cw;
    FCellHeight = ch;
    Integer lastX = FCellOrigin.X;
    PlaceItems(NextVisibleItemIndex, false, [&](Integer k, const TRect& r, bool) {
      lastX = r.Left;
      FColumnCount = std::max(FColumnCount, k / FRowCount + 1);
    });
    gr.Right = lastX + cw + mr;
  } else {
    LeaveItemsOut();
  }
  if (g->GetVisibleCount() == 0) {
    // As wide as the group's caption, measured in the font its view paints it in (a bold
    // caption, or one the application's paint-text handler changes, is wider than the group font).
    Integer measured = 0, text = 0, indent = 0;
    TEmberViewGroup* view = g->GetView();
    if (view) {
      TEmberRectArrayObject ra;
      const TRect band{left, 0, left, mt};
      view->GroupRectArray(g, TEmberGroupMarginEdge::egmeTop, band, ra);
      measured = std::max(0, ra.IconRect.Right - band.Left);
    }
    if (TEmberPaintInfoBaseGroup* info = g->GroupPaintInfo()) indent = info->GetCaptionIndent();
    if (TCanvas* canvas = lv->GetScratchCanvas()) {
      if (view)
        view->LoadTextFont(g, canvas);
      else
        canvas->SetFont(lv->GetGroupFont());
      text = canvas->TextWidth(g->GetCaption());
    }
    gr.Right = left + ml + mr + measured + indent + text;
    FColumnCount = 0;
    FRowCount = 0;
  }
  g->SetDisplayRect(gr);
}

TEmberItem* TEmberGridListGroup::AdjacentItem(TEmberItem* Item, TEmberAdjacentCellDir Direction) {
  using D = TEmberAdjacentCellDir;
  if (!Item) return nullptr;
  const Integer i = Item->GetVisibleIndexInGroup();
  if (!Item->GetVisible() || i < 0) Assert(false, AdjacentOfInvisibleMessage, EmberListviewUnit);
  TEmberGroup* g = FOwnerGroup;
  const Integer n = g->GetVisibleCount();
  const Integer rows = std::max(1, FRowCount);
  const Integer row = i % rows;
  // The group's item in the given row of its last (first) column holding that row.
  auto inRow = [row](TEmberGroup* other, bool last) -> TEmberItem* {
    TEmberGridGroup* grid = other->GetGrid();
    const Integer on = other->GetVisibleCount();
    const Integer orows = std::max(1, grid ? grid->GetRowCount() : 1);
    if (row >= orows || row >= on) return nullptr;
    return other->GetVisibleItem(last ? row + ((on - 1 - row) / orows) * orows : row);
  };
  TEmberGroups* groups = OwnerGroups();
  switch (Direction) {
    case D::acdLeft:
      if (i - rows >= 0) return g->GetVisibleItem(i - rows);
      for (Integer k = g->GetIndex() - 1; groups && k >= 0; --k)
        if (TEmberItem* found = inRow(groups->GetGroup(k), true)) return found;
      return nullptr;
    case D::acdRight:
      if (i + rows < n) return g->GetVisibleItem(i + rows);
      for (Integer k = g->GetIndex() + 1; groups && k < groups->GetCount(); ++k)
        if (TEmberItem* found = inRow(groups->GetGroup(k), false)) return found;
      return nullptr;
    case D::acdUp: {
      if (i > 0) return g->GetVisibleItem(i - 1);
      TEmberGroup* prev = PrecedingGroupWithItems();
      return prev ? prev->GetVisibleItem(prev->GetVisibleCount() - 1) : nullptr;
    }
    case D::acdDown: {
      if (i < n - 1) return g->GetVisibleItem(i + 1);
      TEmberGroup* next = FollowingGroupWithItems();
      return next ? next->GetVisibleItem(0) : nullptr;
    }
    case D::acdPageDown: return g->GetVisibleItem(std::min(n - 1, (i / rows) * rows + rows - 1));
    case D::acdPageUp: return g->GetVisibleItem((i / rows) * rows);
  }
  return nullptr;
}

// ---- The report grid ----
void TEmberGridReportGroup::Create(TCustomEmberListview* AnOwner, TEmberGroup* AnOwnerGroup) {
  TEmberGridGroup::Create(AnOwner, AnOwnerGroup);
  FLayout = TEmberGridLayout::eglGrid;
}

TRect TEmberGridReportGroup::SlotRect(Integer Position) const {
  const Integer y = FCellOrigin.Y + Position * FCellHeight;
  return TRect{FRowLeft, y, FRowRight, y + FCellHeight};
}

// One row per item over the header's width; the first group starts 2 pixels down and the last
// ends 4 pixels below its last row (and its footer).
void TEmberGridReportGroup::Rebuild(TEmberGroup* PrevGroup, Integer& NextVisibleItemIndex) {
  TCustomEmberListview* lv = OwnerListview();
  TEmberGroup* g = FOwnerGroup;
  if (!lv || !g) return;
  AutoSizeCells();
  const Integer ch = CellH();
  const TMarginSizes margins = Margins();
  const Integer ml = margins.Left, mr = margins.Right, mt = margins.Top, mb = margins.Bottom;
  const Integer top = PrevGroup ? PrevGroup->GetDisplayRect().Bottom : 2;
  const Integer viewWidth = lv->GetHeader()->ViewWidth();
  TRect gr{0, top, viewWidth, top};
  FColumnCount = 1;
  FRowLeft = ml;
  FRowRight = std::max(ml, viewWidth - mr);
  if (!BeginLayout(gr)) return;
  const Integer count = g->GetItemCount();
  if (g->GetExpanded() && count > 0) {
    FCellOrigin = TPoint{ml, top + mt};
    FCellWidth = std::max(1, FRowRight - FRowLeft);
    FCellHeight = ch;
    // The last group keeps its footer and ends 4 pixels below it; 4 in place of the footer
    // would let a footer taller than that overlap the last rows.
    const Integer bottomSpace = mb + (IsLastGroup() ? 4 : 0);
    PlaceItems(NextVisibleItemIndex, true, [&](Integer, const TRect& r, bool) { gr.Bottom = r.Bottom + bottomSpace; });
  } else {
    LeaveItemsOut();
    gr.Bottom = top + mt + mb;
  }
  FRowCount = g->GetVisibleCount();
  // A row's caption stays on its one line, so no group grows for the focused item's.
  g->SetDisplayRect(gr);
}

TEmberItem* TEmberGridReportGroup::ItemAtPoint(TPoint P) const {
  const Integer n = FOwnerGroup ? FOwnerGroup->GetVisibleCount() : 0;
  if (n == 0 || FCellHeight <= 0 || P.X < FRowLeft || P.X >= FRowRight) return nullptr;
  const Integer r = FloorDiv(P.Y - FCellOrigin.Y, FCellHeight);
  return r < 0 ? nullptr : CheckedAt(r, P);
}

// A row counts over the header's whole width here, as painting sees it.
Integer TEmberGridReportGroup::FirstVisibleInRect(const TRect& R) const {
  const Integer n = FOwnerGroup ? FOwnerGroup->GetVisibleCount() : 0;
  if (n == 0 || FCellHeight <= 0 || IsRectEmptyEx(R) || !OwnerListview()) return -1;
  const TRect& header = OwnerListview()->GetHeader()->GetViewRect();
  if (std::max(header.Left, R.Left) >= std::min(header.Right, R.Right)) return -1;
  const Integer r0 = std::max(0, FloorDiv(R.Top - FCellOrigin.Y, FCellHeight));
  if (r0 >= n || FCellOrigin.Y + r0 * FCellHeight >= R.Bottom) return -1;
  return r0;
}

TEmberItem* TEmberGridReportGroup::AdjacentItem(TEmberItem* Item, TEmberAdjacentCellDir Direction) {
  using D = TEmberAdjacentCellDir;
  if (!Item) return nullptr;
  if (!Item->GetVisible() || Item->GetVisibleIndexInGroup() < 0)
    Assert(false, AdjacentOfInvisibleMessage, EmberListviewUnit);
  TCustomEmberListview* lv = OwnerListview();
  TEmberGroups* groups = OwnerGroups();
  if (!lv || !groups) return nullptr;
  switch (Direction) {
    case D::acdLeft:
    case D::acdRight: return TEmberGridGroup::AdjacentItem(Item, Direction);
    case D::acdUp: return groups->PrevVisibleItem(Item);
    case D::acdDown: return groups->NextVisibleItem(Item);
    case D::acdPageDown:
    case D::acdPageUp: break;
  }
  const TRect client = lv->ClientInViewportCoords();
  const TRect r = Item->GetDisplayRect();
  const Integer ch = CellH();
  const Integer x = r.Left;
  TEmberItem* found = nullptr;
  if (Direction == D::acdPageDown) {
    for (Integer y = client.Bottom - 2; !found && y >= client.Top; y -= ch) found = ItemAtViewportPoint({x, y});
    if (found == Item) {
      found = nullptr;
      for (Integer y = r.Top + client.Height() - 1; !found && y >= r.Top; y -= ch) found = ItemAtViewportPoint({x, y});
    }
  } else {
    for (Integer y = client.Top + 1; !found && y < client.Bottom; y += ch) found = ItemAtViewportPoint({x, y});
    if (found == Item) {
      found = nullptr;
      for (Integer y = r.Bottom - client.Height() - 1; !found && y < r.Bottom; y += ch)
        found = ItemAtViewportPoint({x, y});
    }
  }
  return found == Item ? nullptr : found;
}

// ---- The grid of header columns ----
void TEmberGridGridGroup::Create(TCustomEmberListview* AnOwner, TEmberGroup* AnOwnerGroup) {
  TEmberGridGroup::Create(AnOwner, AnOwnerGroup);
  FLayout = TEmberGridLayout::eglGrid;
}

// The control takes the given cell over and frees the one it held; a cell that is already the
// control's, or one of another kind, changes nothing.
void TEmberGridGridGroup::SetCellSize(TEmberCellSize* Value) {
  TCustomEmberListview* lv = OwnerListview();
  auto* cell = dynamic_cast<TEmberCellGrid*>(Value);
  if (!lv || !cell || cell == lv->GetCellSizes()->GetGrid()) return;
  lv->GetCellSizes()->ReplaceGrid(cell);
}

TRect TEmberGridGridGroup::SlotRect(Integer Position) const {
  const Integer n = static_cast<Integer>(FCells.size());
  if (n == 0) return TRect{FCellOrigin.X, FCellOrigin.Y, FCellOrigin.X, FCellOrigin.Y};
  const auto& [left, width] = FCells[static_cast<size_t>(Position % n)];
  const Integer x = left + FCellOrigin.X;
  const Integer y = FCellOrigin.Y + (Position / n) * FCellHeight;
  return TRect{x, y, x + width, y + FCellHeight};
}

void TEmberGridGridGroup::Rebuild(TEmberGroup* PrevGroup, Integer& NextVisibleItemIndex) {
  TCustomEmberListview* lv = OwnerListview();
  TEmberGroup* g = FOwnerGroup;
  if (!lv || !g) return;
  AutoSizeCells();
  const Integer ch = CellH();
  const TMarginSizes margins = Margins();
  const Integer ml = margins.Left, mt = margins.Top, mb = margins.Bottom;
  const Integer top = PrevGroup ? PrevGroup->GetDisplayRect().Bottom : 0;
  TEmberHeader* header = lv->GetHeader();
  TEmberColumns* columns = header->GetColumns();
  FCells.clear();
  for (Integer c = 0; c < columns->GetCount(); ++c) {
    const TRect& cr = columns->GetColumn(c)->GetDisplayRect();
    FCells.emplace_back(cr.Left, std::max(0, cr.Width()));
  }
  const Integer n = static_cast<Integer>(FCells.size());
  TRect gr{0, top, header->ViewWidth(), top};
  FColumnCount = n;
  if (!BeginLayout(gr)) return;
  const Integer count = g->GetItemCount();
  gr.Bottom = top + mt + mb;
  if (g->GetExpanded() && count > 0 && n > 0) {
    FCellOrigin = TPoint{ml, top + mt};
    FCellWidth = 1;
    FCellHeight = ch;
    PlaceItems(NextVisibleItemIndex, false, [&](Integer, const TRect& r, bool shown) {
      if (shown) gr.Bottom = r.Bottom + mb;
    });
  } else {
    LeaveItemsOut();
  }
  const Integer shown = g->GetVisibleCount();
  FRowCount = n < 1 ? 0 : shown / n + (shown % n ? 1 : 0);
  g->SetDisplayRect(gr);
}

TEmberItem* TEmberGridGridGroup::ItemAtPoint(TPoint P) const {
  const Integer count = FOwnerGroup ? FOwnerGroup->GetVisibleCount() : 0;
  const Integer n = static_cast<Integer>(FCells.size());
  if (count == 0 || n == 0 || FCellHeight <= 0) return nullptr;
  const Integer r = FloorDiv(P.Y - FCellOrigin.Y, FCellHeight);
  if (r < 0) return nullptr;
  for (Integer c = 0; c < n; ++c) {
    const Int64 k = static_cast<Int64>(r) * n + c;
    if (k >= count) break;
    TEmberItem* item = FOwnerGroup->GetVisibleItem(static_cast<Integer>(k));
    if (item && PtInRectEx(item->GetDisplayRect(), P)) return item;
  }
  return nullptr;
}

Integer TEmberGridGridGroup::FirstVisibleInRect(const TRect& R) const {
  const Integer count = FOwnerGroup ? FOwnerGroup->GetVisibleCount() : 0;
  const Integer n = static_cast<Integer>(FCells.size());
  if (count == 0 || n == 0 || FCellHeight <= 0 || IsRectEmptyEx(R)) return -1;
  const Integer r0 = std::max(0, FloorDiv(R.Top - FCellOrigin.Y, FCellHeight));
  if (FCellOrigin.Y + r0 * FCellHeight >= R.Bottom) return -1;
  for (Integer c = 0; c < n; ++c) {
    const Integer left = FCells[static_cast<size_t>(c)].first + FCellOrigin.X;
    const Integer right = left + FCells[static_cast<size_t>(c)].second;
    if (std::max(left, R.Left) >= std::min(right, R.Right)) continue;
    const Int64 k = static_cast<Int64>(r0) * n + c;
    return k < count ? static_cast<Integer>(k) : -1;
  }
  return -1;
}

}  // namespace ember
