// The selection manager: which items are selected and focused, batches of changes that announce
// themselves once, range, rectangle and rubber-band selection, and the runs of neighbouring
// selected items that paint as one selection.
#include <algorithm>

#include "listview/EmberControl.h"

namespace ember {

namespace {

// Closes a batch on every way out, also when a handler raises.
struct TSelectionBatch {
  TEmberSelectionManager* M;
  explicit TSelectionBatch(TEmberSelectionManager* AM) : M(AM) {
    M->IncMultiChangeCount();
    M->GroupSelectBeginUpdate();
  }
  void End() {
    TEmberSelectionManager* m = M;
    M = nullptr;
    if (!m) return;
    m->GroupSelectEndUpdate();
    m->DecMultiChangeCount();
  }
  ~TSelectionBatch() {
    try {
      End();
    } catch (...) {
      // Already unwinding from the first failure; that one is what the caller sees.
    }
  }
};

// The part of `A` outside `B`, as up to four rectangles.
void SubtractRect(const TRect& A, const TRect& B, std::vector<TRect>& Out) {
  TRect common;
  if (!IntersectRectEx(common, A, B)) {
    if (!IsRectEmptyEx(A)) Out.push_back(A);
    return;
  }
  if (common.Top > A.Top) Out.push_back(TRect{A.Left, A.Top, A.Right, common.Top});
  if (common.Bottom < A.Bottom) Out.push_back(TRect{A.Left, common.Bottom, A.Right, A.Bottom});
  if (common.Left > A.Left) Out.push_back(TRect{A.Left, common.Top, common.Left, common.Bottom});
  if (common.Right < A.Right) Out.push_back(TRect{common.Right, common.Top, A.Right, common.Bottom});
}

TRect WidenEmpty(TRect R) {
  if (R.Right == R.Left) ++R.Right;
  if (R.Bottom == R.Top) ++R.Bottom;
  return R;
}

}  // namespace

void TEmberSelectionManager::Create(TCustomEmberListview* AOwner) {
  TEmberOwnedPersistent::Create(AOwner);
  // The rubber band answers to both buttons unless told otherwise.
  SetMouseButtonSelRect(TCommonMouseButtons{common::TCommonMouseButton::cmbLeft, common::TCommonMouseButton::cmbRight});
}

// ---- Settings ----
void TEmberSelectionManager::SetEnabled(bool Value) {
  if (!Value) ClearAll();
  FEnabled = Value;
}

void TEmberSelectionManager::SetMultiSelect(bool Value) {
  if (Value == FMultiSelect) return;
  FMultiSelect = Value;
  ClearAll();
}

void TEmberSelectionManager::SetGroupSelections(bool Value) {
  if (Value == FGroupSelections) return;
  TEmberUpdateGuard update(OwnerListview());
  FGroupSelections = Value;
  BuildSelectionGroupings(true);
  update.End();
}

void TEmberSelectionManager::RepaintSetting() {
  if (OwnerListview()) OwnerListview()->SafeInvalidateRect(nullptr, false);
}

#define EMBER_REPAINTING_SETTER(Name, Type)        \
  void TEmberSelectionManager::Set##Name(Type Value) { \
    if (Value == F##Name) return;                  \
    F##Name = Value;                               \
    RepaintSetting();                              \
  }
EMBER_REPAINTING_SETTER(BlendIcon, bool)
EMBER_REPAINTING_SETTER(BlurAlphaBkGnd, bool)
EMBER_REPAINTING_SETTER(FullCellPaint, bool)
EMBER_REPAINTING_SETTER(FullItemPaint, bool)
EMBER_REPAINTING_SETTER(Gradient, bool)
EMBER_REPAINTING_SETTER(GradientColorBottom, TColor)
EMBER_REPAINTING_SETTER(GradientColorTop, TColor)
#undef EMBER_REPAINTING_SETTER

// ---- Forwarded to the rubber band's manager ----
#define EMBER_FORWARD(Name, Type)                                                              \
  Type TEmberSelectionManager::Get##Name() const {                                             \
    TEmberDragRectManager* d = OwnerListview() ? OwnerListview()->GetDragRect() : nullptr;     \
    return d ? d->Get##Name() : Type{};                                                        \
  }                                                                                            \
  void TEmberSelectionManager::Set##Name(Type Value) {                                         \
    if (TEmberDragRectManager* d = OwnerListview() ? OwnerListview()->GetDragRect() : nullptr) \
      d->Set##Name(Value);                                                                     \
  }
EMBER_FORWARD(AutoScroll, bool)
EMBER_FORWARD(AutoScrollAccelerator, Byte)
EMBER_FORWARD(AutoScrollDelay, Integer)
EMBER_FORWARD(AutoScrollMargin, Integer)
EMBER_FORWARD(AutoScrollTime, Integer)
#undef EMBER_FORWARD

bool TEmberSelectionManager::GetEnableDragSelect() const {
  TEmberDragRectManager* d = OwnerListview() ? OwnerListview()->GetDragRect() : nullptr;
  return d && d->GetEnabled();
}
void TEmberSelectionManager::SetEnableDragSelect(bool Value) {
  if (TEmberDragRectManager* d = OwnerListview() ? OwnerListview()->GetDragRect() : nullptr) d->SetEnabled(Value);
}
TCommonMouseButtons TEmberSelectionManager::GetMouseButtonSelRect() const {
  TEmberDragRectManager* d = OwnerListview() ? OwnerListview()->GetDragRect() : nullptr;
  return d ? d->GetMouseButton() : TCommonMouseButtons{};
}
void TEmberSelectionManager::SetMouseButtonSelRect(TCommonMouseButtons Value) {
  if (TEmberDragRectManager* d = OwnerListview() ? OwnerListview()->GetDragRect() : nullptr) d->SetMouseButton(Value);
}

// ---- Focus and anchor ----
// The manager's focused item changes only for another visible, enabled item; the old one loses
// its focus first, and when it refuses, nothing else happens.
void TEmberSelectionManager::SetFocusedItem(TEmberItem* Value) {
  if (!Value) {
    TEmberItem* old = FFocusedItem;
    FFocusedItem = nullptr;
    if (old) old->SetFocused(false);
    return;
  }
  if (Value == FFocusedItem || !Value->GetVisible() || !Value->GetEnabled()) return;
  if (TEmberItem* old = FFocusedItem) {
    old->SetFocused(false);
    if (old->GetFocused()) return;
  }
  FFocusedItem = Value;
  Value->SetFocused(true);
  if (Value->GetDestroying() || FFocusedItem != Value) return;
  // A focused item may show more of its caption than its cell holds: when the text reaches below
  // its group's client area, the layout makes room.
  TCustomEmberListview* lv = OwnerListview();
  TCanvas* canvas = lv ? lv->GetScratchCanvas() : nullptr;
  TEmberGroup* group = Value->GetOwnerGroup();
  if (!canvas || !group) return;
  TEmberRectArrayObject ra;
  Value->ItemRectArray(nullptr, canvas, ra);
  if (ra.FullTextRect.Bottom > group->GetClientRect().Bottom) lv->GetGroups()->Rebuild(true);
}

void TEmberSelectionManager::SetAnchorItem(TEmberItem* Value) {
  if (!Value) {
    FAnchorItem = nullptr;
    return;
  }
  if (Value->GetVisible() && Value->GetEnabled()) FAnchorItem = Value;
}

TEmberColumn* TEmberSelectionManager::GetFocusedColumn() const {
  if (FFocusedColumn) return FFocusedColumn;
  return OwnerListview() && OwnerListview()->GetHeader() ? OwnerListview()->GetHeader()->FirstColumn() : nullptr;
}

void TEmberSelectionManager::SetFocusedColumn(TEmberColumn* Value) {
  if (Value == FFocusedColumn) return;
  TEmberColumn* old = FFocusedColumn;
  FFocusedColumn = Value;
  if (Value) {
    Value->SetFocused(true);
    Value->Invalidate(false);
  }
  if (old) {
    old->SetFocused(false);
    old->Invalidate(false);
  }
}

// ---- Batches ----
void TEmberSelectionManager::IncMultiChangeCount() {
  if (FMultiChangeCount == 0) FItemsToggled = 0;
  ++FMultiChangeCount;
}

void TEmberSelectionManager::DecMultiChangeCount() {
  if (--FMultiChangeCount >= 1) return;
  FMultiChangeCount = 0;
  if (FItemsToggled > 0 && OwnerListview()) OwnerListview()->DoItemSelectionsChanged();
}

void TEmberSelectionManager::GroupSelectEndUpdate() {
  if (--FGroupSelectUpdateCount >= 1) return;
  FGroupSelectUpdateCount = 0;
  BuildSelectionGroupings(false);
}

void TEmberSelectionManager::NotifyToggle() {
  if (!FBandSelecting) FBandMoved = false;
  ++FItemsToggled;
  if (FMultiChangeCount == 0 && FItemsToggled >= 1) {
    FItemsToggled = 0;
    if (OwnerListview()) OwnerListview()->DoItemSelectionsChanged();
  }
}

void TEmberSelectionManager::GainingSelection(TEmberItem* Item) {
  if (!FMultiSelect) ClearAllExcept(Item);
  ++FCount;
  if (!FMultiSelect) SetFocusedItem(Item);
  NotifyToggle();
}

void TEmberSelectionManager::LosingSelection(TEmberItem* Item) {
  --FCount;
  Item->ReleaseSelectionGroup();
  NotifyToggle();
}

// ---- Walks ----
void TEmberSelectionManager::Walk(bool Select, TEmberItem* Except) {
  TCustomEmberListview* lv = OwnerListview();
  if (!FEnabled || !lv) return;
  TSelectionBatch batch(this);
  const Integer toggledBefore = FItemsToggled;
  ++FRepaintHold;
  struct Release {
    Integer& Hold;
    ~Release() { --Hold; }
  } release{FRepaintHold};
  TEmberGroups* groups = lv->GetGroups();
  for (Integer g = 0; g < groups->GetCount(); ++g) {
    TEmberGroup* group = groups->GetGroup(g);
    for (Integer i = 0; i < group->GetItemCount(); ++i) {
      if (!Select && FCount < 1) break;
      TEmberItem* item = group->GetItem(i);
      if (item != Except) item->SetSelected(Select);
    }
    if (!Select && FCount < 1) break;
  }
  if (lv->GetDragManager()) lv->GetDragManager()->SetDragItem(nullptr);
  // One repaint for the whole walk instead of one per item.
  if (FItemsToggled != toggledBefore) lv->SafeInvalidateRect(nullptr, false);
  batch.End();
}

void TEmberSelectionManager::ClearAll() { Walk(false, nullptr); }
void TEmberSelectionManager::ClearAllExcept(TEmberItem* Item) { Walk(false, Item); }
void TEmberSelectionManager::SelectAll() {
  if (FMultiSelect) Walk(true, nullptr);
}

// The groups' first item, shown or not: a hidden or disabled one refuses the focus and the
// selection, and nothing is selected.
void TEmberSelectionManager::SelectFirst() {
  ClearAll();
  TCustomEmberListview* lv = OwnerListview();
  if (!FEnabled || !lv) return;
  TEmberItem* item = lv->GetGroups()->FirstItem();
  if (!item) return;
  SetFocusedItem(item);
  item->SetSelected(true);
}

TEmberItem* TEmberSelectionManager::First() const {
  if (FCount < 1 || !OwnerListview()) return nullptr;
  TEmberGroups* groups = OwnerListview()->GetGroups();
  for (TEmberItem* i = groups->FirstVisibleItem(); i; i = groups->NextVisibleItem(i))
    if (i->GetSelected()) return i;
  return nullptr;
}

TEmberItem* TEmberSelectionManager::Next(TEmberItem* Item) const {
  if (!Item || !OwnerListview()) return nullptr;
  TEmberGroups* groups = OwnerListview()->GetGroups();
  for (TEmberItem* i = groups->NextVisibleItem(Item); i; i = groups->NextVisibleItem(i))
    if (i->GetSelected()) return i;
  return nullptr;
}

void TEmberSelectionManager::SelectedToArray(std::vector<TEmberItem*>& Items) const {
  Items.assign(static_cast<size_t>(std::max(FCount, 0)), nullptr);
  size_t n = 0;
  for (TEmberItem* i = First(); i && n < Items.size(); i = Next(i)) Items[n++] = i;
  Items.resize(n);
}

void TEmberSelectionManager::SelectRange(TEmberItem* FromItem, TEmberItem* ToItem, bool ClearFirst, bool RectSelect) {
  TCustomEmberListview* lv = OwnerListview();
  if (!FEnabled || !FMultiSelect || !lv) return;
  TSelectionBatch batch(this);
  if (ClearFirst) ClearAll();
  if (FromItem && ToItem) {
    if (RectSelect) {
      SelectRect(UnionRectEx(FromItem->GetDisplayRect(), ToItem->GetDisplayRect()), false);
    } else {
      TEmberGroup* gf = FromItem->GetOwnerGroup();
      TEmberGroup* gt = ToItem->GetOwnerGroup();
      const bool after = gf != gt ? (gf && gt && gf->GetIndex() > gt->GetIndex())
                                  : FromItem->GetIndex() > ToItem->GetIndex();
      if (after) std::swap(FromItem, ToItem);
      ++FRepaintHold;
      struct Release {
        Integer& Hold;
        ~Release() { --Hold; }
      } release{FRepaintHold};
      const Integer toggledBefore = FItemsToggled;
      TEmberGroups* groups = lv->GetGroups();
      for (TEmberItem* i = FromItem; i && i != ToItem; i = groups->NextVisibleItem(i)) i->SetSelected(true);
      ToItem->SetSelected(true);
      if (FItemsToggled != toggledBefore) lv->SafeInvalidateRect(nullptr, false);
    }
  }
  batch.End();
}

void TEmberSelectionManager::SelectRect(const TRect& ViewRect, bool ClearFirst) {
  TCustomEmberListview* lv = OwnerListview();
  if (!FEnabled || !FMultiSelect || !lv) return;
  TSelectionBatch batch(this);
  if (ClearFirst) ClearAll();
  TEmberGroups* groups = lv->GetGroups();
  for (TEmberItem* i = groups->FirstItemInRect(ViewRect); i; i = groups->NextItemInRect(i, ViewRect))
    i->SetSelected(true);
  batch.End();
}

void TEmberSelectionManager::DragSelect(bool Toggle) {
  TCustomEmberListview* lv = OwnerListview();
  TEmberDragRectManager* d = lv ? lv->GetDragRect() : nullptr;
  if (!d) return;
  DragSelect(Toggle, d->SelectionRect(), d->GetPrevRect());
}

void TEmberSelectionManager::ApplyDragSelect(TEmberItem* Item, bool Toggle, const TRect& NewRect,
                                             const TRect& OldRect) {
  const bool inNew = Item->SelectionHit(NewRect, TEmberSelectHitType::eshtDragSelect);
  const bool inOld = Item->SelectionHit(OldRect, TEmberSelectHitType::eshtDragSelect);
  if (Toggle) {
    if (inNew != inOld) Item->SetSelected(!Item->GetSelected());
  } else if (inNew) {
    Item->SetSelected(true);
  } else if (inOld) {
    Item->SetSelected(false);
  }
}

// Every item under either band is judged, but an item inside both has the same hit in each: with
// Ctrl it keeps its state, and without, it was selected by the previous move, whose band this
// move's old one is, when that move was also without Ctrl and nothing has changed the selection
// since. Such moves visit only the strips between the two bands, not everything under the band;
// a move without Ctrl that is a band's first, follows a move with Ctrl, or follows another change
// of the selection walks both bands whole. The items of a strip that change are repainted
// together, as the rectangle around their cells, rather than one rectangle per item: a band over
// thousands of items changes thousands in one move.
void TEmberSelectionManager::DragSelect(bool Toggle, TRect NewRect, TRect OldRect) {
  TCustomEmberListview* lv = OwnerListview();
  if (!FEnabled || !FMultiSelect || !lv) return;
  NewRect = WidenEmpty(NewRect);
  OldRect = WidenEmpty(OldRect);
  TSelectionBatch batch(this);
  std::vector<TRect> strips;
  if (Toggle || (FBandMoved && !FBandToggle && FBandRect == OldRect)) {
    SubtractRect(NewRect, OldRect, strips);
    SubtractRect(OldRect, NewRect, strips);
  } else {
    strips.push_back(UnionRectEx(NewRect, OldRect));
  }
  TEmberGroups* groups = lv->GetGroups();
  // A cell that crosses the line between two strips is met in both; it is judged once. The items
  // of the strips already walked are kept sorted (a hash set cost an allocation per item).
  std::vector<TEmberItem*> seen, walked;
  std::vector<TRect> changed;
  bool anyChanged = false;
  {
    ++FRepaintHold;
    FBandSelecting = true;
    TEmberLineHeightMemo lineHeights;
    TEmberLineHeightMemo* const outerLineHeights = FBandLineHeights;
    FBandLineHeights = &lineHeights;
    struct Release {
      TEmberSelectionManager& M;
      TEmberLineHeightMemo* Outer;
      ~Release() {
        --M.FRepaintHold;
        M.FBandSelecting = false;
        M.FBandLineHeights = Outer;
      }
    } release{*this, outerLineHeights};
    for (size_t k = 0; k < strips.size(); ++k) {
      const TRect& strip = strips[k];
      const bool more = k + 1 < strips.size();
      TRect around{};
      bool stripChanged = false;
      walked.clear();
      for (TEmberItem* i = groups->FirstItemInRect(strip); i; i = groups->NextItemInRect(i, strip)) {
        if (k > 0 && std::binary_search(seen.begin(), seen.end(), i)) continue;
        if (more) walked.push_back(i);
        const bool was = i->GetSelected();
        ApplyDragSelect(i, Toggle, NewRect, OldRect);
        if (i->GetSelected() == was) continue;
        // The focused item may paint beyond its cell; it repaints as it always does.
        if (i->GetFocused()) {
          i->Invalidate(false);
          anyChanged = true;
          continue;
        }
        around = stripChanged ? UnionRectEx(around, i->GetDisplayRect()) : i->GetDisplayRect();
        stripChanged = true;
      }
      if (stripChanged) changed.push_back(around);
      anyChanged = anyChanged || stripChanged;
      if (more) {
        std::sort(walked.begin(), walked.end());
        const size_t mid = seen.size();
        seen.insert(seen.end(), walked.begin(), walked.end());
        std::inplace_merge(seen.begin(), seen.begin() + static_cast<std::ptrdiff_t>(mid), seen.end());
      }
    }
  }
  if (anyChanged) {
    // Runs of selected items paint as one selection, which a change may lengthen or split.
    if (FGroupSelections) {
      lv->SafeInvalidateRect(nullptr, false);
    } else if (lv->HandleAllocated()) {
      TEmberScrollbarManager* sb = lv->GetScrollbars();
      const TRect client = sb->MapWindowRectToViewRect(lv->GetClientRect());
      for (const TRect& r : changed) {
        TRect shown;
        if (!IntersectRectEx(shown, client, r)) continue;
        TRect window = sb->MapViewRectToWindowRect(shown);
        lv->SafeInvalidateRect(&window, false);
      }
    }
  }
  FBandMoved = true;
  FBandToggle = Toggle;
  FBandRect = NewRect;
  batch.End();
}

// ---- Line heights during a band move ----
LONG TEmberLineHeightMemo::Measure(TCanvas* Canvas) {
  TEXTMETRICW tm{};
  GetTextMetricsW(Canvas->GetHandle(), &tm);
  return tm.tmHeight;
}

LONG TEmberLineHeightMemo::Of(TCanvas* Canvas) {
  const TFont* font = Canvas->GetFont();
  for (size_t i = 0; i < FCount; ++i) {
    const TEntry& e = FEntries[i];
    if (e.Height == font->GetHeight() && e.Style == font->GetStyle().Bits() && e.Charset == font->GetCharset() &&
        e.Pitch == font->GetPitch() && e.Name == font->GetName())
      return e.Answer;
  }
  const LONG answer = Measure(Canvas);
  FEntries[FNext] = TEntry{font->GetName(), font->GetHeight(), font->GetStyle().Bits(), font->GetCharset(),
                           font->GetPitch(), answer};
  FNext = (FNext + 1) % Capacity;
  FCount = std::min(FCount + 1, Capacity);
  return answer;
}

// ---- Selection groups ----
// Runs of neighbouring selected items share one selection group.
void TEmberSelectionManager::BuildSelectionGroupings(bool Force) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv || lv->Loading()) return;
  if (!Force && (!FGroupSelections || FGroupSelectUpdateCount != 0)) return;
  TEmberGroups* groups = lv->GetGroups();
  for (Integer g = 0; g < groups->GetCount(); ++g) {
    auto& visible = groups->GetGroup(g)->VisibleItems();
    for (TEmberItem* item : visible) item->ReleaseSelectionGroup();
    for (size_t i = 0; i < visible.size(); ++i) {
      TEmberItem* first = visible[i];
      if (!first->GetSelected()) continue;
      TEmberSelectionGroupList* list = nullptr;
      while (i + 1 < visible.size() && visible[i + 1]->GetSelected()) {
        if (!list) {
          list = TEmberSelectionGroupList::New();
          list->Add(first);
          list->SetDisplayRect(first->GetDisplayRect());
          list->SetFirstItem(first);
          list->IncRef();
          first->SetSelectionGroup(list);
        }
        TEmberItem* next = visible[++i];
        list->Add(next);
        list->SetDisplayRect(UnionRectEx(list->GetDisplayRect(), next->GetDisplayRect()));
        list->IncRef();
        next->SetSelectionGroup(list);
      }
    }
  }
}

// ---- The rubber band's rectangle ----
void TEmberDragRectManager::Create(TCustomEmberListview* AOwner) {
  TCustomEmberDragManagerBase::Create(AOwner);
  SetMouseButton(TCommonMouseButtons{common::TCommonMouseButton::cmbLeft, common::TCommonMouseButton::cmbRight});
}

TRect TEmberDragRectManager::SelectionRect() const {
  TRect r{std::min(FAnchorPoint.X, FDragPoint.X), std::min(FAnchorPoint.Y, FDragPoint.Y),
          std::max(FAnchorPoint.X, FDragPoint.X), std::max(FAnchorPoint.Y, FDragPoint.Y)};
  return WidenEmpty(r);
}

}  // namespace ember
