#include "listview/EmberBackground.h"

#include <algorithm>

#include "listview/EmberControl.h"
#include "platform/gdi/Bitmap.h"

namespace ember {

// ---- Hot tracking ----
void TEmberHotTrackManager::SetPendingObject(TPoint MousePos, TEmberCollectionItem* Item) {
  if (Item == FPendingObject) return;
  TCustomEmberListview* lv = OwnerListview();
  if (FEnabled && !Item && lv && lv->HandleAllocated()) {
    const TEmberControlStates s = lv->GetStates();
    const bool oleDrag = s.Contains(TEmberControlState::ebcsDragging) || s.Contains(TEmberControlState::ebcsDragPending);
    if (!oleDrag) {
      // Set aside the capture while the cursor goes back, so the shape lands on the control.
      HWND capture = GetCapture();
      if (capture) ReleaseCapture();
      lv->SetCursor(crDefault);
      if (capture) SetCapture(capture);
    }
  }
  TEmberCollectionItem* old = FPendingObject;
  FPendingObject = Item;
  if (old) old->SetHotTracking(MousePos, false);
  if (Item) Item->SetHotTracking(MousePos, true);
}

void TEmberHotTrackManager::SetPendingObjectCheck(TEmberCollectionItem* Value) {
  if (Value == FPendingObjectCheck) return;
  TEmberCollectionItem* old = FPendingObjectCheck;
  FPendingObjectCheck = Value;
  if (old) old->SetCheckHovering(false);
  if (Value) Value->SetCheckHovering(true);
}

// ---- Background ----
void TEmberBackgroundManager::Create(TCustomEmberListview* AOwner) {
  TEmberOwnedPersistent::Create(AOwner);
  FAlphaBlender = TEmberAlphaBlender::New();
  FImage = TBitmap::New();
  FImage->SetPixelFormat(TPixelFormat::pf32bit);
  FImage->OnChange = [this](TObject* Sender) { BitmapChanged(Sender); };
  FAlphaImage = TBitmap::New();
  FAlphaImage->SetPixelFormat(TPixelFormat::pf32bit);
  FAlphaImage->OnChange = [this](TObject* Sender) { BitmapChanged(Sender); };
}

void TEmberBackgroundManager::Destroy() {
  if (FImage) FImage->OnChange = nullptr;
  if (FAlphaImage) FAlphaImage->OnChange = nullptr;
  FreeAndNil(FImage);
  FreeAndNil(FAlphaImage);
  FreeAndNil(FAlphaBlender);
  TEmberOwnedPersistent::Destroy();
}

void TEmberBackgroundManager::InvalidateOwner() {
  if (TCustomEmberListview* lv = OwnerListview()) lv->SafeInvalidateRect(nullptr, false);
}

// Both pictures stay 32 bits per pixel whatever is assigned to them.
void TEmberBackgroundManager::BitmapChanged(TObject* Sender) {
  if (FChanging) return;
  FChanging = true;
  if (auto* b = dynamic_cast<TBitmap*>(Sender); b && b->GetPixelFormat() != TPixelFormat::pf32bit)
    b->SetPixelFormat(TPixelFormat::pf32bit);
  FChanging = false;
  InvalidateOwner();
}

void TEmberBackgroundManager::SetImage(const TBitmap* V) {
  if (V) FImage->Assign(*V);
}
void TEmberBackgroundManager::SetAlphaImage(const TBitmap* V) {
  if (V) FAlphaImage->Assign(*V);
}

void TEmberBackgroundManager::SetTransparent(bool V) {
  if (V == FTransparent) return;
  FTransparent = V;
  FImage->SetTransparent(V);
  FImage->TransparentMode = TTransparentMode::tmAuto;
  InvalidateOwner();
}

void TEmberBackgroundManager::CopyTo(TEmberBackgroundManager* Dest) const {
  if (Dest == this) return;
  Dest->FImage->Assign(*FImage);
  Dest->FEnabled = FEnabled;
  Dest->FOffsetX = FOffsetX;
  Dest->FOffsetY = FOffsetY;
  Dest->FTile = FTile;
  Dest->InvalidateOwner();
}

void TEmberBackgroundManager::Assign(TEmberPersistent* Source) {
  if (auto* s = dynamic_cast<TEmberBackgroundManager*>(Source)) return s->CopyTo(this);
  TEmberOwnedPersistent::Assign(Source);
}

void TEmberBackgroundManager::AssignTo(TEmberPersistent* Dest) {
  if (auto* d = dynamic_cast<TEmberBackgroundManager*>(Dest)) return CopyTo(d);
  TEmberOwnedPersistent::AssignTo(Dest);
}

void TEmberBackgroundManager::PaintTo(TCanvas* ACanvas, const TRect& ARect, bool PaintDefault) {
  TCustomEmberListview* lv = OwnerListview();
  if (!lv || !ACanvas) return;
  bool doDefault = true;
  lv->DoPaintBkGnd(ACanvas, ARect, FAlphaBlender, doDefault);
  // A handler that takes the picture over still gets the colour under it when the caller asks.
  const bool picture = doDefault && FEnabled && !FImage->GetEmpty();
  if (picture || PaintDefault) {
    ACanvas->GetBrush()->SetStyle(TBrushStyle::bsSolid);
    ACanvas->GetBrush()->SetColor(lv->GetColor());
    ACanvas->FillRect(ARect);
  }
  if (picture) PaintImage(ACanvas, ARect);
  PaintCaption(ACanvas, ARect);
}

void TEmberBackgroundManager::PaintImage(TCanvas* ACanvas, const TRect& ARect) {
  TCustomEmberListview* lv = OwnerListview();
  const Integer w = FImage->GetWidth(), h = FImage->GetHeight();
  TBitmap* source = FImage;
  Owned<TBitmap> blended;
  if (FAlphaBlend) {
    blended.reset(TBitmap::New());
    blended->Assign(*FImage);
    blended->SetPixelFormat(TPixelFormat::pf32bit);
    blended->SetTransparent(FImage->GetTransparent());
    const TRect all{0, 0, w, h};
    const Integer colour = static_cast<Integer>(ColorToRGB(lv->GetColor()));
    HDC dst = blended->GetCanvas()->GetHandle();
    if (FBlendMode == TCommonBlendMode::cbmConstantAlphaAndColor)
      common::CommonAlphaBlend(dst, dst, all, TPoint{0, 0}, FBlendMode, FBlendAlpha, colour);
    else if (FAlphaImage->GetWidth() == w && FAlphaImage->GetHeight() == h)
      common::CommonAlphaBlend(FAlphaImage->GetCanvas()->GetHandle(), dst, all, TPoint{0, 0}, FBlendMode, FBlendAlpha,
                               colour);
    source = blended.get();
  }
  HDC dc = ACanvas->GetHandle();
  TPoint old;
  GetViewportOrgEx(dc, &old);
  if (FTile) {
    const TRect area{ARect.Left - w, ARect.Top - h, ARect.Right + w, ARect.Bottom + h};
    Integer ox = FOffsetX % w, oy = FOffsetY % h;
    if (ox > 0) ox -= w;
    if (oy > 0) oy -= h;
    SetViewportOrgEx(dc, old.X + ox, old.Y + oy, nullptr);
    const Integer rows = lv->GetClientHeight() / h + 2, cols = lv->GetClientWidth() / w + 2;
    for (Integer r = 0; r < rows; ++r)
      for (Integer c = 0; c < cols; ++c) {
        const TRect tile{ox + c * w, oy + r * h, ox + (c + 1) * w, oy + (r + 1) * h};
        if (tile.Right <= area.Left || tile.Left >= area.Right || tile.Bottom <= area.Top || tile.Top >= area.Bottom)
          continue;
        ACanvas->Draw(c * w, r * h, source);
      }
  } else {
    SetViewportOrgEx(dc, old.X + FOffsetX, old.Y + FOffsetY, nullptr);
    ACanvas->Draw(0, 0, source);
  }
  SetViewportOrgEx(dc, old.X, old.Y, nullptr);
}

void TEmberBackgroundManager::PaintCaption(TCanvas* ACanvas, const TRect& ARect) {
  TCustomEmberListview* lv = OwnerListview();
  if (!FCaptionShow || FCaption.empty()) return;
  if (FCaptionShowOnlyWhenEmpty && lv->GetGroups()->ItemCount() > 0) return;
  const TRect client = lv->GetClientRect();
  TRect meet;
  if (!IntersectRectEx(meet, client, ARect)) return;
  TRect r{client.Left + 8, client.Top + 8, client.Right - 8, client.Bottom - 8};
  if (lv->GetHeader()->GetVisible()) r.Top += lv->GetHeader()->RuntimeHeight();
  ACanvas->SetFont(lv->GetFont());
  ACanvas->GetBrush()->SetStyle(TBrushStyle::bsClear);
  Word flags = common::dtwEndEllipsis;
  if (FCaptionAlignment == TAlignment::taRightJustify) flags |= common::dtwRight;
  if (FCaptionAlignment == TAlignment::taCenter) flags |= common::dtwCenter;
  if (FCaptionVAlignment == TCommonVAlignment::cvaBottom) flags |= common::dtwBottom;
  if (FCaptionVAlignment == TCommonVAlignment::cvaCenter) flags |= common::dtwVCenter;
  if (FCaptionSingleLine) flags |= common::dtwSingleLine;
  common::DrawTextWEx(ACanvas->GetHandle(), FCaption, r, FCaptionSingleLine ? 1 : -1, flags);
}

// The picture keeps its place on the screen while the window moves: it is drawn at the offset in
// the client area, so the offset goes against the move. The move is measured from where the window
// still stands, not from the control's Left and Top, which SetBounds has already changed by now.
void TEmberBackgroundManager::WMWindowPosChanging(TMessage& Msg) {
  auto* pos = reinterpret_cast<const WINDOWPOS*>(Msg.LParam);
  TCustomEmberListview* lv = OwnerListview();
  if (!FOffsetTrack || !pos || !lv || !lv->HandleAllocated() || (pos->flags & SWP_NOMOVE)) return;
  TRect now;
  if (!GetWindowRect(lv->Handle(), &now)) return;
  TPoint from{now.Left, now.Top};
  if (HWND parent = GetParent(lv->Handle()); parent && (GetWindowLongPtr(lv->Handle(), GWL_STYLE) & WS_CHILD))
    ScreenToClient(parent, &from);
  const Integer dx = pos->x - from.X, dy = pos->y - from.Y;
  if (dx == 0 && dy == 0) return;
  FOffsetX -= dx;
  FOffsetY -= dy;
  InvalidateOwner();
}

// ---- Hints ----
namespace {

// The control's hint type setting lives in the object that also carries one hint's settings to
// the events: a type an event gives one hint must not stay the control's setting afterwards.
class TKeepHintTypeSetting {
public:
  explicit TKeepHintTypeSetting(TEmberHintInfo* Info) : FInfo(Info), FSetting(Info->GetHintType()) {}
  ~TKeepHintTypeSetting() { FInfo->SetHintType(FSetting); }
  TKeepHintTypeSetting(const TKeepHintTypeSetting&) = delete;
  TKeepHintTypeSetting& operator=(const TKeepHintTypeSetting&) = delete;

private:
  TEmberHintInfo* FInfo;
  TEmberHintType FSetting;
};

}  // namespace

TRect TEmberHintWindow::CalcHintRect(Integer MaxWidth, const String& AHint, void* AData) {
  if (ComponentState().Contains(TComponentStateItem::csDestroying)) return TRect{};
  auto* rec = static_cast<TEmberHintInfoRec*>(AData);
  if (!rec || !rec->Listview) return THintWindow::CalcHintRect(MaxWidth, AHint, AData);
  FHintInfo = rec;
  TCustomEmberListview* lv = rec->Listview;
  TEmberHintInfo* info = lv->GetHintInfo();
  FEmberHintInfo = info;
  TKeepHintTypeSetting keep(info);
  const TPoint askedPos = rec->HintPos;
  info->Canvas = GetCanvas();
  info->SetHintType(rec->HintType);
  info->Text = AHint;
  info->Color = rec->HintColor;
  info->CursorPos = rec->CursorPos;
  info->HideTimeout = rec->HideTimeout;
  info->ReshowTimeout = rec->ReshowTimeout;
  info->MaxWidth = MaxWidth;
  info->WindowPos = rec->HintPos;
  info->Bounds = TRect{0, 0, MaxWidth, 0};
  lv->DoHintCustomInfo(rec->TargetObj, info);
  FOwnColor = info->Color != rec->HintColor;
  rec->HintType = info->GetHintType();
  rec->HintStr = info->Text;
  rec->HintColor = info->Color;
  rec->CursorPos = info->CursorPos;
  rec->HideTimeout = info->HideTimeout;
  rec->ReshowTimeout = info->ReshowTimeout;
  rec->HintMaxWidth = info->MaxWidth;
  rec->HintPos = info->WindowPos;
  TRect bounds = info->Bounds;
  if (rec->HintType != TEmberHintType::ehtCustomDraw) {
    TCanvas* c = GetCanvas();
    c->SetFont(GetFont());
    TRect r = bounds;
    Word flags = common::dtwCalcRect;
    if (lv->GetHintAlignment() == TAlignment::taRightJustify) flags |= common::dtwRight;
    if (lv->GetHintAlignment() == TAlignment::taCenter) flags |= common::dtwCenter;
    common::DrawTextWEx(c->GetHandle(), rec->HintStr, r, -1, flags);
    // Only the size is measured: a centred or right-aligned measure starts far into the screen's
    // width, and the window would stand there instead of at the pointer.
    bounds = TRect{bounds.Left, bounds.Top, bounds.Left + r.Width() + 6, bounds.Top + r.Height() + 2};
    info->Bounds = bounds;
  }
  // The window goes where the hint is asked for plus the bounds; a handler's own position wins.
  return TRect{bounds.Left + rec->HintPos.X - askedPos.X, bounds.Top + rec->HintPos.Y - askedPos.Y,
               bounds.Right + rec->HintPos.X - askedPos.X, bounds.Bottom + rec->HintPos.Y - askedPos.Y};
}

// The hint is painted as OnHintCustomInfo left it: its text and colour, or the handler's drawing.
void TEmberHintWindow::Paint() {
  if (!FHintInfo || !FHintInfo->Listview || !FEmberHintInfo) {
    THintWindow::Paint();
    return;
  }
  TCustomEmberListview* lv = FHintInfo->Listview;
  TCanvas* c = GetCanvas();
  TRect client = GetClientRect();
  c->GetBrush()->SetStyle(TBrushStyle::bsSolid);
  // The application's colour, which its OnShowHint may still have changed, unless the list's
  // handler chose one for this hint.
  c->GetBrush()->SetColor(FOwnColor ? FHintInfo->HintColor : GetColor());
  c->FillRect(client);
  c->GetBrush()->SetColor(clInfoText);
  c->FrameRect(client);
  TRect inner{client.Left + 2, client.Top + 2, client.Right - 2, client.Bottom - 2};
  if (FHintInfo->HintType == TEmberHintType::ehtCustomDraw) {
    TKeepHintTypeSetting keep(FEmberHintInfo);
    FEmberHintInfo->SetHintType(FHintInfo->HintType);
    FEmberHintInfo->Canvas = c;
    FEmberHintInfo->Bounds = inner;
    lv->DoHintCustomDraw(FHintInfo->TargetObj, FEmberHintInfo);
    return;
  }
  c->SetFont(GetFont());
  c->GetFont()->SetColor(clInfoText);
  c->GetBrush()->SetStyle(TBrushStyle::bsClear);
  Word flags = common::dtwVCenter;
  if (lv->GetHintAlignment() == TAlignment::taRightJustify) flags |= common::dtwRight;
  if (lv->GetHintAlignment() == TAlignment::taCenter) flags |= common::dtwCenter;
  common::DrawTextWEx(c->GetHandle(), FHintInfo->HintStr, inner, -1, flags);
}

}  // namespace ember
