// The item drag: the drop target under the mouse, the insert mark and its painting, the move of
// the selected items onto the mark, the drag image of the items, and the control's call into the
// platform's drag loop.
#include <algorithm>
#include <unordered_set>

#include "listview/EmberControl.h"
#include "platform/ole/DragDrop.h"

namespace ember {

namespace {
using CS = TEmberControlState;
using IK = TEmberInsertKind;
using MD = TEmberInsertMarkerDir;

bool Empty(const TRect& R) { return IsRectEmptyEx(R); }
void Shift(TRect& R, Integer DX, Integer DY) { R = TRect{R.Left + DX, R.Top + DY, R.Right + DX, R.Bottom + DY}; }

// The buttons and keys held now, as a drag message's key state.
DWORD KeysNow() {
  DWORD k = 0;
  const std::pair<int, DWORD> keys[] = {{VK_LBUTTON, MK_LBUTTON}, {VK_RBUTTON, MK_RBUTTON}, {VK_MBUTTON, MK_MBUTTON},
                                        {VK_SHIFT, MK_SHIFT},     {VK_CONTROL, MK_CONTROL}, {VK_MENU, MK_ALT}};
  for (const auto& [vk, mk] : keys)
    if (GetKeyState(vk) < 0) k |= mk;
  return k;
}
}  // namespace

// ---- Life ----
void TEmberOLEDragManager::Create(TCustomEmberListview* AOwner) {
  TEmberHeaderDragManager::Create(AOwner);
  FInsertMark = TEmberInsertMark::New();
}

void TEmberOLEDragManager::Destroy() {
  SetRegistered(false);
  FreeAndNil(FInsertMark);
  TEmberHeaderDragManager::Destroy();
}

void TEmberOLEDragManager::ObjectFreeing(TEmberCollectionItem* Obj) {
  if (!Obj) return;
  if (FDragItem == Obj) FDragItem = nullptr;
  if (FDropTarget == Obj) FDropTarget = nullptr;
  if (FInsertMark && FInsertMark->GetTarget() == Obj) HideInsertMark();
}

// ---- The drop target and the mark ----
void TEmberOLEDragManager::SetDropTarget(TEmberCollectionItem* Value) {
  if (Value == FDropTarget) return;
  if (TEmberCollectionItem* old = FDropTarget) {
    FDropTarget = nullptr;
    old->SetHilighted(false);
    old->Invalidate(false);
  }
  FDropTarget = Value;
  if (Value) {
    if (FHilightDropTarget) Value->SetHilighted(true);
    Value->Invalidate(false);
  }
}

void TEmberOLEDragManager::HideInsertMark() {
  FInsertMark->SetVisible(false);
  const TRect r = FInsertMark->GetDisplayRect();
  TCustomEmberListview* lv = OwnerListview();
  if (!Empty(r) && lv) {
    const TRect w = lv->GetScrollbars()->MapViewRectToWindowRect(r);
    lv->SafeInvalidateRect(&w, false);
  }
  FInsertMark->SetTarget(nullptr);
  FInsertMark->SetPosition(IK::eipNone);
  FInsertMark->SetDisplayRect(TRect{});
}

void TEmberOLEDragManager::PlaceInsertMark(TEmberItem* Item, TPoint ViewPt) {
  TCustomEmberListview* lv = OwnerListview();
  TEmberInsertMark* mark = FInsertMark;
  const TRect item = Item->GetDisplayRect();
  MD dir = Item->GetView() ? Item->GetView()->DropMarkerDir() : MD::dmdHorz;
  // The catch zone is a byte, as the application's handler sees it.
  Byte zone = dir == MD::dmdVert ? static_cast<Byte>(std::min(item.Width() / 4, 255)) : 2;
  lv->DoInsertMarkPosition(dir, zone);
  const Integer thick = 3 * mark->GetWidth();
  TRect r;
  IK pos = IK::eipNone;
  if (dir == MD::dmdVert) {
    if (ViewPt.X >= item.Left && ViewPt.X <= item.Left + zone) {
      r = TRect{item.Left, item.Top, item.Left + thick, item.Bottom};
      pos = IK::eipBefore;
    } else if (ViewPt.X >= item.Right - zone && ViewPt.X <= item.Right) {
      r = TRect{item.Right - thick, item.Top, item.Right, item.Bottom};
      pos = IK::eipAfter;
    }
    if (pos != IK::eipNone && mark->GetCenterMark()) Shift(r, pos == IK::eipBefore ? -thick / 2 : thick / 2, 0);
  } else {
    if (ViewPt.Y >= item.Top && ViewPt.Y <= item.Top + zone) {
      r = TRect{item.Left, item.Top, item.Right, item.Top + thick};
      pos = IK::eipBefore;
    } else if (ViewPt.Y >= item.Bottom - zone && ViewPt.Y <= item.Bottom) {
      r = TRect{item.Left, item.Bottom - thick, item.Right, item.Bottom};
      pos = IK::eipAfter;
    }
    if (pos != IK::eipNone && mark->GetCenterMark()) Shift(r, 0, pos == IK::eipBefore ? -thick / 2 : thick / 2);
  }
  const TRect old = mark->GetDisplayRect();
  if (!Empty(old) && old != r) {
    const TRect w = lv->GetScrollbars()->MapViewRectToWindowRect(old);
    lv->SafeInvalidateRect(&w, false);
  }
  mark->SetDropMarkerDir(dir);
  mark->SetDisplayRect(r);
  mark->SetPosition(pos);
  mark->SetTarget(Item);
  // Off the edges the item itself is the target: the mark goes and the item's hilight may come
  // back on the next move.
  mark->SetVisible(!Empty(r));
  if (!Empty(r)) {
    const TRect w = lv->GetScrollbars()->MapViewRectToWindowRect(r);
    lv->SafeInvalidateRect(&w, false);
    SetDropTarget(nullptr);
  }
}

void TEmberOLEDragManager::DoDrag(TCommonKeyStates, TPoint WindowPt, TCommonDropEffect& Effect) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  TEmberHeader* header = lv->GetHeader();
  if (lv->HeaderInUse() && header->GetVisible() && WindowPt.Y < header->RuntimeHeight()) {
    Effect = TCommonDropEffect::cdeNone;
    return;
  }
  const TPoint viewPt = lv->GetScrollbars()->MapWindowToView(WindowPt);
  // The view point is clear of the header already: the group under it names the item.
  TEmberGroup* under = lv->GetGroups()->GroupByPoint(viewPt);
  TEmberItem* item = under && under->GetExpanded() ? under->ItemByPoint(viewPt) : nullptr;
  if (item && item->SelectionHitPt(viewPt, TEmberSelectHitType::eshtClickSelect) && !FInsertMark->GetVisible()) {
    SetDropTarget(item);
    FInsertMark->SetTarget(item);
  } else {
    SetDropTarget(nullptr);
  }
  if (!item) {
    if (TEmberGroup* group = lv->GetGroups()->GroupByPoint(viewPt)) {
      TEmberGroupHitTestInfoSet hit;
      group->HitTestAt(viewPt, hit);
      if (hit.Contains(TEmberGroupHitTestInfo::egtOnHeader)) {
        SetDropTarget(group);
        if (FInsertMark->GetPosition() != IK::eipHeader) HideInsertMark();
        FInsertMark->SetPosition(IK::eipHeader);
        FInsertMark->SetTarget(group);
        return;
      }
    }
    HideInsertMark();
    return;
  }
  if (FInsertMark->GetEnabled()) PlaceInsertMark(item, viewPt);
}

void TEmberOLEDragManager::DoDragEnter(IDataObject*, TPoint, TCommonKeyStates, TCommonDropEffect&) { FDragTarget = true; }

void TEmberOLEDragManager::DoDragEnd(TPoint, TCommonKeyStates) {
  SetDropTarget(nullptr);
  HideInsertMark();
  FDragTarget = false;
}

void TEmberOLEDragManager::DoDragDrop(TPoint WindowPt, TCommonKeyStates Keys, TCommonDropEffect&) {
  FDragItem = nullptr;
  DoDragEnd(WindowPt, Keys);
}

// Only a drag of this control's own items moves them: files dropped from another program onto
// the mark would otherwise carry the user's unrelated selection into the target's group.
void TEmberOLEDragManager::DragDrop(TCommonKeyStates Keys, TPoint WindowPt, TCommonDropEffect& Effect) {
  const bool own = FDragItem != nullptr;
  if (own && FInsertMark->GetAutoMove() && FInsertMark->GetTarget() &&
      FInsertMark->GetPosition() != IK::eipNone)
    MoveToInsertMark();
  TCustomEmberDragManagerBase::DragDrop(Keys, WindowPt, Effect);
}

void TEmberOLEDragManager::MoveToInsertMark() {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  TEmberCollectionItem* target = FInsertMark->GetTarget();
  const IK pos = FInsertMark->GetPosition();
  std::vector<TEmberItem*> moved;
  for (TEmberItem* i = lv->GetSelection()->First(); i; i = lv->GetSelection()->Next(i))
    if (i != target) moved.push_back(i);
  {
    TEmberUpdateGuard update(lv);
    lv->GetSelection()->ClearAll();
    if (auto* item = dynamic_cast<TEmberItem*>(target)) {
      TEmberCollection* into = item->GetCollection();
      for (TEmberItem* m : moved) into->MoveIn(m);
      // The moved items stand together, in their former order, before or after the target.
      std::unordered_set<TEmberCollectionItem*> set(moved.begin(), moved.end());
      std::vector<TEmberCollectionItem*> order;
      order.reserve(static_cast<size_t>(into->GetCount()));
      for (Integer i = 0; i < into->GetCount(); ++i) {
        TEmberCollectionItem* obj = into->Get(i);
        if (set.count(obj)) continue;
        if (obj != item) {
          order.push_back(obj);
        } else if (pos == IK::eipAfter) {
          order.push_back(obj);
          order.insert(order.end(), moved.begin(), moved.end());
        } else {
          order.insert(order.end(), moved.begin(), moved.end());
          order.push_back(obj);
        }
      }
      into->Reorder(order);
    } else if (auto* group = dynamic_cast<TEmberGroup*>(target)) {
      for (TEmberItem* m : moved) group->GetItems()->MoveIn(m);
    }
    if (lv->GetGroups()->GetCount() > 0) lv->GetGroups()->GetGroup(0)->GetItems()->StructureChanged();
    update.End();
  }
  if (FInsertMark->GetReSelectAfterMove()) {
    TEmberUpdateGuard update(lv);
    for (TEmberItem* m : moved) m->SetSelected(true);
    update.End();
  }
}

// ---- The source side ----
ComPtr<IDataObject> TEmberOLEDragManager::MakeDataObject() {
  ComPtr<IDataObject> data;
  if (TCustomEmberListview* lv = OwnerListview()) lv->DoOLEGetDataObject(data);
  if (data) return data;
  return TEmberHeaderDragManager::MakeDataObject();
}

void TEmberOLEDragManager::DoOLEDragStart(IDataObject* DataObject, TCommonDropEffects& AvailableEffects,
                                          bool& AllowDrag) {
  // Without a handler the items may go anywhere, in any way the keys ask for.
  AvailableEffects = TCommonDropEffects{TCommonDropEffect::cdeCopy, TCommonDropEffect::cdeMove,
                                        TCommonDropEffect::cdeLink};
  AllowDrag = FDragItem != nullptr;
  if (TCustomEmberListview* lv = OwnerListview()) lv->DoOLEDragStart(DataObject, AvailableEffects, AllowDrag);
}

void TEmberOLEDragManager::DoOLEDragEnd(IDataObject* DataObject, TCommonOLEDragResult DragResult,
                                        TCommonDropEffects ResultEffect, TCommonKeyStates Keys) {
  if (TCustomEmberListview* lv = OwnerListview()) lv->DoOLEDragEnd(DataObject, DragResult, ResultEffect, Keys);
  SetDataObject(nullptr);
}

void TEmberOLEDragManager::DoGetDragImage(TBitmap* Bitmap, TPoint DragStartPt, TPoint& HotSpot,
                                          TColor& TransparentColor, bool& Handled) {
  if (TCustomEmberListview* lv = OwnerListview())
    lv->DoGetDragImage(Bitmap, DragStartPt, HotSpot, TransparentColor, Handled);
}

// The area of the window around the drag start, with only the selected items painted in it.
void TEmberOLEDragManager::DefaultImage(TObject*, TBitmap* Image, TPoint DragStartPt, TPoint& HotSpot,
                                        TColor& TransparentColor, bool& Handled) {
  TCustomEmberListview* lv = OwnerListview();
  if (!Image || !lv) return;
  TransparentColor = lv->GetColor();
  const Integer w = Image->GetWidth(), h = Image->GetHeight();
  TRect r{DragStartPt.X - w / 2, DragStartPt.Y - h / 2, 0, 0};
  r.Right = r.Left + w;
  r.Bottom = r.Top + h;
  HotSpot = TPoint{w / 2, h / 2};
  if (r.Top < 0) HotSpot.Y += r.Top;
  if (r.Left < 0) HotSpot.X += r.Left;
  const TRect client{0, 0, lv->GetClientWidth(), lv->GetClientHeight()};
  TRect area;
  if (!IntersectRectEx(area, r, client)) area = TRect{};
  Owned<TBitmap> temp(TBitmap::New());
  temp->SetPixelFormat(TPixelFormat::pf32bit);
  temp->SetSize(std::max(w, 1), std::max(h, 1));
  TCanvas* canvas = temp->GetCanvas();
  canvas->GetBrush()->SetColor(TransparentColor);
  canvas->FillRect(TRect{0, 0, temp->GetWidth(), temp->GetHeight()});
  if (!Empty(area)) {
    HDC dc = canvas->GetHandle();
    TPoint old;
    SetViewportOrgEx(dc, -r.Left, -r.Top, &old);
    lv->DoPaintRect(canvas, area, false, true);
    SetViewportOrgEx(dc, old.X, old.Y, nullptr);
  }
  BitBlt(Image->GetCanvas()->GetHandle(), 0, 0, w, h, canvas->GetHandle(), 0, 0, SRCCOPY);
  Handled = true;
}

void TEmberOLEDragManager::VCLDragStart() {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  FDragItem = lv->GetSelection()->GetFocusedItem();
  if (GetDragMode() == TDragMode::dmAutomatic) lv->BeginDrag(true, -1);
}

// ---- Painting the mark: an I lying along the edge it marks ----
void TCustomEmberListview::PaintInsertMark(TCanvas* ACanvas) {
  TEmberInsertMark* mark = FDragManager ? FDragManager->GetInsertMark() : nullptr;
  if (!ACanvas || !mark || !mark->GetEnabled() || !mark->GetVisible()) return;
  const TRect r = mark->GetDisplayRect();
  if (Empty(r)) return;
  TPen* pen = ACanvas->GetPen();
  pen->SetColor(mark->GetColor());
  pen->SetWidth(1);
  pen->SetStyle(TPenStyle::psSolid);
  if (mark->GetDropMarkerDir() == MD::dmdHorz) {
    const Integer t = r.Height() / 3;
    for (Integer i = 0; i < t; ++i) {
      ACanvas->MoveTo(r.Left, r.Top + t + i);
      ACanvas->LineTo(r.Right, r.Top + t + i);
    }
    for (Integer i = 0; i < t; ++i) {
      ACanvas->MoveTo(r.Left + i, r.Top);
      ACanvas->LineTo(r.Left + i, r.Bottom);
    }
    for (Integer i = 0; i <= t; ++i) {
      ACanvas->MoveTo(r.Right - 1 - i, r.Top);
      ACanvas->LineTo(r.Right - 1 - i, r.Bottom);
    }
  } else {
    const Integer t = r.Width() / 3;
    for (Integer i = 0; i < t; ++i) {
      ACanvas->MoveTo(r.Left + t + i, r.Top);
      ACanvas->LineTo(r.Left + t + i, r.Bottom);
    }
    for (Integer i = 0; i < t; ++i) {
      ACanvas->MoveTo(r.Left, r.Top + i);
      ACanvas->LineTo(r.Right, r.Top + i);
    }
    for (Integer i = 0; i <= t; ++i) {
      ACanvas->MoveTo(r.Left, r.Bottom - 1 - i);
      ACanvas->LineTo(r.Right, r.Bottom - 1 - i);
    }
  }
}

// ---- The class library's drag ----
void TCustomEmberListview::DoStartDrag() {
  try {
    common::TCommonCanvasControl::DoStartDrag();
  } catch (...) {
    FStates -= TEmberControlStates{CS::ebcsDragPending, CS::ebcsDragging, CS::ebcsVCLDrag};
    throw;
  }
}

void TCustomEmberListview::CMDrag(TMessage& Msg) {
  using DM = TDragMessage;
  auto* rec = reinterpret_cast<TDragRec*>(Msg.LParam);
  if (!rec) return;
  const TPoint client = ScreenToClient(rec->Pos);
  const TCommonKeyStates keys = common::KeyStateToCommonKeyStates(KeysNow());
  TCommonDropEffect effect = TCommonDropEffect::cdeNone;
  std::shared_ptr<bool> alive = FAlive;
  switch (static_cast<DM>(Msg.WParam)) {
    case DM::dmDragEnter:
      FDragManager->DragEnter(nullptr, keys, client, effect);
      common::TCommonCanvasControl::Dispatch(Msg);
      return;
    case DM::dmDragLeave: {
      common::TCommonCanvasControl::Dispatch(Msg);
      TPoint cursor;
      GetCursorPos(&cursor);
      if (!*alive || (HandleAllocated() && WindowFromPoint(cursor) == Handle())) return;
      FDragManager->DragEnd(keys, client);
      ClearMouseStates();
      return;
    }
    case DM::dmDragMove:
      FDragManager->Drag(keys, client, effect);
      common::TCommonCanvasControl::Dispatch(Msg);
      return;
    case DM::dmDragDrop:
      common::TCommonCanvasControl::Dispatch(Msg);
      if (!*alive) return;
      FDragManager->DragDrop(keys, client, effect);
      ClearMouseStates();
      return;
    case DM::dmDragCancel:
      FDragManager->DragEnd(keys, client);
      common::TCommonCanvasControl::Dispatch(Msg);
      if (*alive) ClearMouseStates();
      return;
    case DM::dmFindTarget:
      common::TCommonCanvasControl::Dispatch(Msg);
      if (TControl* child = ControlAtPos(client, false, true)) Msg.Result = reinterpret_cast<LRESULT>(child);
      return;
  }
  common::TCommonCanvasControl::Dispatch(Msg);
}

// ---- The control's call into the drag loop ----
HRESULT TCustomEmberListview::DoDragDrop(IDataObject* DataObject, IDropSource* DropSource,
                                         TCommonDropEffects OKEffects, DWORD& Effect) {
  // Both stay alive for the whole loop, whatever a target does with its references.
  ComPtr<IDataObject> data(DataObject);
  ComPtr<IDropSource> source(DropSource);
  Effect = DROPEFFECT_NONE;
  return pf::DoDragDrop(data.Get(), source.Get(), common::CommonDropEffectsToDropEffect(OKEffects), &Effect);
}

}  // namespace ember
