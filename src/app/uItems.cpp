#include "app/uItems.h"

#include <algorithm>
#include <cmath>

#include "order/uLists.h"
#include "platform/rtl/Metaclass.h"

namespace app {

// ---- TImageItem ----
void TImageItem::Destroy() {
  FreeAndNil(FThumb);
  TEmberItemStored::Destroy();
}

void TImageItem::ChangeThumb(TDIB* NewThumb, bool FreeOld) {
  if (FreeOld && FThumb != NewThumb) FreeAndNil(FThumb);
  FThumb = NewThumb;
}

void TImageItem::ThumbnailDraw(TCanvas* ACanvas, const TRect& ARect, TEmberAlphaBlender* AlphaBlender, bool& DoDefault) {
  if (FThumb) {
    FThumb->DrawCenter(ACanvas, ARect);
    DoDefault = false;
  } else {
    DoDefault = true;
  }
  TEmberItemStored::ThumbnailDraw(ACanvas, ARect, AlphaBlender, DoDefault);
}

// ---- TImageItemEx ----
void TImageItemEx::Destroy() {
  FreeAndNil(FOrigThumb);
  TImageItem::Destroy();
}

const TPhotoSize* TImageItemEx::Size() const {
  order::TPhotoSizeList* sizes = order::PhotoSizes();
  if (FPhotoSize < 0 || FPhotoSize >= sizes->Count()) return nullptr;
  return sizes->Items(FPhotoSize);
}

void TImageItemEx::SetPhotoSize(Integer Value) {
  if (Value == FPhotoSize) return;
  FPhotoSize = Value;
  UpdateThumb();
}

double TImageItemEx::ThumbAR() const {
  if (!FThumb || FThumb->IsEmpty()) return 0;
  return GetAR(FThumb->Width(), FThumb->Height());
}

TFrameType TImageItemEx::FrameType() const {
  if (WithBorders()) return ftNone;
  const TPhotoSize* size = Size();
  if (!size || !FThumb || FThumb->IsEmpty()) return ftNone;
  const double S = size->AR();
  const double T = ThumbAR();
  // A photo within 0.01 of the print's shape goes to print uncropped.
  if (std::fabs(T - S) < 0.01) return ftNone;
  const bool wide = FThumb->Width() > FThumb->Height();
  if (T > S) return wide ? ftMoveHorz : ftMoveVert;
  return wide ? ftMoveVert : ftMoveHorz;
}

Integer TImageItemEx::FrameWidth() const {
  const TPhotoSize* size = Size();
  if (!size || !FThumb || FThumb->IsEmpty()) return 0;
  return CalcFrameWidth(FThumb->Width(), FThumb->Height(), *size);
}

Integer TImageItemEx::FrameHeight() const {
  const TPhotoSize* size = Size();
  if (!size || !FThumb || FThumb->IsEmpty()) return 0;
  return CalcFrameHeight(FThumb->Width(), FThumb->Height(), *size);
}

Integer TImageItemEx::MaxFrameOffset() const {
  switch (FrameType()) {
    case ftMoveHorz:
      return std::max(0, FThumb->Width() - FrameWidth());
    case ftMoveVert:
      return std::max(0, FThumb->Height() - FrameHeight());
    default:
      return 0;
  }
}

void TImageItemEx::SetFrameOffsetClamped(Integer Value) { FrameOffset = std::clamp(Value, 0, MaxFrameOffset()); }

bool TImageItemEx::LowResolution() const { return OrigWidth < 480 && OrigHeight < 480; }

double TImageItemEx::TotalPrice() const {
  const TPhotoSize* size = Size();
  if (!size) return 0;
  return size->Prices[PaperType] * PhotoCount;
}

Int64 TImageItemEx::TotalKopecks() const { return std::llround(TotalPrice() * 100); }

void TImageItemEx::GetInfo(TInfo& Info) {
  const TPhotoSize* size = Size();
  Info.Uploaded = false;
  Info.WithBorders = WithBorders();
  Info.FileName = FileName;
  Info.SizeName = size ? size->Name : String();
  Info.FrameType = FrameType();
  Info.PaperType = PaperType;
  Info.RotateAngle = FRotateAngle;
  Info.PhotoCount = PhotoCount;
  Info.FrameOffset = FrameOffset;
  Info.FrameWidth = FrameWidth();
  Info.FrameHeight = FrameHeight();
  Info.PhotoSize = FPhotoSize;
  Info.PhotoWidth = size ? size->Width : 0;
  Info.PhotoHeight = size ? size->Height : 0;
  Info.ThumbWidth = FThumb ? FThumb->Width() : 0;
  Info.ThumbHeight = FThumb ? FThumb->Height() : 0;
  Info.ImageItemEx = this;
  Info.TotalPrice = TotalPrice();
}

void TImageItemEx::SetWithBorders(bool Value) {
  if (Value) {
    if (WithBorders()) return;  // the plain thumbnail is kept once, never replaced by a bordered one
    FOrigThumb = FThumb;
    ChangeThumb(TDIB::New(), false);
    UpdateThumb();
  } else if (WithBorders()) {
    TDIB* plain = FOrigThumb;
    FOrigThumb = nullptr;
    ChangeThumb(plain, true);
  }
}

void TImageItemEx::ChangeThumb(TDIB* NewThumb, bool FreeOld) {
  TImageItem::ChangeThumb(NewThumb, FreeOld);
  UpdateThumb();
}

void TImageItemEx::UpdateThumb() {
  if (WithBorders()) {
    const TPhotoSize* size = Size();
    if (!size || FOrigThumb->IsEmpty() || !FThumb) return;
    TPoint box, fit;
    CalcBorderedSize(200, 200, FOrigThumb->Width(), FOrigThumb->Height(), *size, box, fit);
    if (box.X <= 0 || box.Y <= 0) return;
    Owned<TBitmap> bitmap(TBitmap::New());
    bitmap->SetPixelFormat(TPixelFormat::pf24bit);
    bitmap->SetSize(box.X, box.Y);
    TCanvas* canvas = bitmap->GetCanvas();
    canvas->GetBrush()->SetColor(TColor(0xFFFFFF));
    canvas->FillRect(TRect{0, 0, box.X, box.Y});
    const Integer left = (box.X - fit.X) / 2;
    const Integer top = (box.Y - fit.Y) / 2;
    FOrigThumb->Draw(canvas, TRect{left, top, left + fit.X, top + fit.Y});
    FThumb->Assign(bitmap.get());
    return;
  }
  if (!FThumb || FThumb->IsEmpty()) return;
  switch (FrameType()) {
    case ftMoveHorz:
      FrameOffset = (FThumb->Width() - FrameWidth()) / 2;
      break;
    case ftMoveVert:
      FrameOffset = (FThumb->Height() - FrameHeight()) / 2;
      break;
    default:
      FrameOffset = 0;
      break;
  }
}

void TImageItemEx::AssignItem(TImageItemEx* Source) {
  if (!Source || Source == this) return;
  const TDIB* plain = Source->WithBorders() ? Source->FOrigThumb : Source->FThumb;
  // Borders come off first, so the copy of the source's plain thumbnail is what the item holds.
  SetWithBorders(false);
  ChangeThumb(plain ? plain->Clone() : nullptr, true);
  FileName = Source->FileName;
  OrigWidth = Source->OrigWidth;
  OrigHeight = Source->OrigHeight;
  PaperType = Source->PaperType;
  PhotoCount = Source->PhotoCount;
  FPhotoSize = Source->FPhotoSize;
  FRotateAngle = Source->FRotateAngle;
  SetWithBorders(Source->WithBorders());
  FrameOffset = Source->FrameOffset;
}

void TImageItemEx::RotateLeft() {
  FRotateAngle -= 90;
  if (WithBorders()) {
    FOrigThumb->RotateLeft();
    UpdateThumb();
  } else if (FThumb) {
    // The offset stays: the frame keeps its distance from the edge it slides from.
    FThumb->RotateLeft();
  }
}

void TImageItemEx::RotateRight() {
  FRotateAngle += 90;
  if (WithBorders()) {
    FOrigThumb->RotateRight();
    UpdateThumb();
  } else if (FThumb) {
    FThumb->RotateRight();
  }
}

void RegisterItemClasses() {
  RegisterClass(TImageItem::StaticClass());
  RegisterClass(TImageItemEx::StaticClass());
}

}  // namespace app
