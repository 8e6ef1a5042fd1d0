#include "listview/EmberCellSizes.h"

#include "listview/EmberControl.h"
#include "platform/rtl/Format.h"
#include "platform/user/User.h"

namespace ember {

namespace {
// The screen's resolution, read from the screen DC (the desktop's) and released at once.
TPoint ScreenLogPixels() {
  HDC dc = GetDC(nullptr);
  TPoint p{96, 96};
  if (dc) {
    p = TPoint{GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY)};
    ReleaseDC(nullptr, dc);
  }
  return p;
}
}  // namespace

TSize TEmberCellSize::ScaledDefault() const {
  const TSize d = Default96();
  const TPoint dpi = ScreenLogPixels();
  return TSize{static_cast<Integer>(Round(dpi.X * static_cast<double>(d.cx) / 96.0)),
               static_cast<Integer>(Round(dpi.Y * static_cast<double>(d.cy) / 96.0))};
}

void TEmberCellSize::Create(TCustomEmberListview* AOwner) {
  TEmberOwnedPersistent::Create(AOwner);
  const TSize s = ScaledDefault();
  FWidth = s.cx;
  FHeight = s.cy;
  FWidthAutoSizeRaw = FWidth;
  FHeightAutoSizeRaw = FHeight;
}

void TEmberCellSize::RebuildGroups() {
  if (TCustomEmberListview* lv = OwnerListview()) lv->GetGroups()->Rebuild(false);
}

void TEmberCellSize::SetSize(Integer AWidth, Integer AHeight) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  const bool differs = AWidth != FWidth || AHeight != FHeight;
  if (FAutoSizeCaption) {
    if (differs) {
      FWidthAutoSizeRaw = AWidth;
      FHeightAutoSizeRaw = AHeight;
    }
  } else if (differs) {
    FWidth = AWidth;
    FHeight = AHeight;
  }
  RebuildGroups();
}

void TEmberCellSize::RestoreDefaults() {
  const TSize s = ScaledDefault();
  SetSize(s.cx, s.cy);
}

void TEmberCellSize::SetAutoSizeCaption(bool Value) {
  if (Value == FAutoSizeCaption) return;
  FAutoSizeCaption = Value;
  if (!Value) {
    FHeightAutoSizeRaw = FHeight;
    FWidthAutoSizeRaw = FWidth;
  }
  RebuildGroups();
}

void TEmberCellSize::Assign(TEmberPersistent* Source) {
  auto* c = dynamic_cast<TEmberCellSize*>(Source);
  if (!c) {
    TEmberOwnedPersistent::Assign(Source);
    return;
  }
  FHeight = c->GetHeight();
  FWidth = c->GetWidth();
}

// ---- The cells of all views ----
void TEmberCellSizes::Create(TCustomEmberListview* AOwner) {
  TEmberOwnedPersistent::Create(AOwner);
  FIcon = TEmberCellSizeIcon::New(AOwner);
  FSmallIcon = TEmberCellSizeSmallIcon::New(AOwner);
  FThumbnail = TEmberCellSizeThumbnail::New(AOwner);
  FTile = TEmberCellSizeTile::New(AOwner);
  FList = TEmberCellSizeList::New(AOwner);
  FReport = TEmberCellSizeReport::New(AOwner);
  FReportThumb = TEmberCellSizeReportThumb::New(AOwner);
  FFilmStrip = TEmberCellSizeFilmStrip::New(AOwner);
  FGrid = TEmberCellGrid::New(AOwner);
}

void TEmberCellSizes::Destroy() {
  FreeAndNil(FFilmStrip);
  FreeAndNil(FIcon);
  FreeAndNil(FList);
  FreeAndNil(FReport);
  FreeAndNil(FReportThumb);
  FreeAndNil(FSmallIcon);
  FreeAndNil(FGrid);
  FreeAndNil(FThumbnail);
  FreeAndNil(FTile);
  TEmberOwnedPersistent::Destroy();
}

void TEmberCellSizes::ReplaceGrid(TEmberCellGrid* Value) {
  if (!Value || Value == FGrid) return;
  TEmberCellGrid* old = FGrid;
  FGrid = Value;
  old->Free();
}

TEmberCellSize* TEmberCellSizes::Of(TEmberListStyle Style) const {
  switch (Style) {
    case TEmberListStyle::elsIcon: return FIcon;
    case TEmberListStyle::elsSmallIcon: return FSmallIcon;
    case TEmberListStyle::elsList: return FList;
    case TEmberListStyle::elsReport: return FReport;
    case TEmberListStyle::elsThumbnail: return FThumbnail;
    case TEmberListStyle::elsTile: return FTile;
    case TEmberListStyle::elsReportThumb: return FReportThumb;
    case TEmberListStyle::elsFilmStrip: return FFilmStrip;
    case TEmberListStyle::elsGrid: return FGrid;
  }
  return nullptr;
}

}  // namespace ember
