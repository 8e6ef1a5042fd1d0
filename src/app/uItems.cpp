#include "app/uItems.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "listview/EmberStreamIO.h"
#include "order/uLists.h"
#include "platform/rtl/Metaclass.h"

namespace app {

namespace io = ember::streamio;

namespace {

// A stored thumbnail is never larger than this on a side; anything larger in a stream is damage.
constexpr Integer MaxStoredThumbSide = 4096;

void WriteThumb(TStream& S, const TDIB* Thumb) {
  const bool present = Thumb && !Thumb->IsEmpty();
  io::WriteInt32(S, present ? Thumb->Width() : 0);
  io::WriteInt32(S, present ? Thumb->Height() : 0);
  if (!present) return;
  for (Integer y = 0; y < Thumb->Height(); ++y) S.WriteBuffer(Thumb->ScanLine(y), static_cast<size_t>(Thumb->Width()) * 3);
}

// Nil for a stream without a thumbnail.
Owned<TDIB> ReadThumb(TStream& S) {
  const Integer w = io::ReadInt32(S);
  const Integer h = io::ReadInt32(S);
  if (w == 0 && h == 0) return nullptr;
  if (w <= 0 || h <= 0 || w > MaxStoredThumbSide || h > MaxStoredThumbSide) io::Corrupt(u"thumbnail size");
  const Int64 bytes = Int64{w} * h * 3;
  if (S.GetSize() - S.GetPosition() < bytes) io::Corrupt(u"thumbnail pixels");
  Owned<TDIB> thumb(TDIB::New());
  thumb->SetSize(w, h);
  for (Integer y = 0; y < h; ++y) S.ReadBuffer(thumb->ScanLine(y), static_cast<size_t>(w) * 3);
  return thumb;
}

}  // namespace

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

void TImageItem::SaveToStream(TStream& S, Integer StreamVersion) {
  TEmberItemStored::SaveToStream(S, StreamVersion);
  io::WriteWideString(S, FileName);
  io::WriteInt32(S, OrigWidth);
  io::WriteInt32(S, OrigHeight);
  WriteThumb(S, FThumb);
}

void TImageItem::LoadFromStream(TStream& S, Integer& StreamVersion) {
  TEmberItemStored::LoadFromStream(S, StreamVersion);
  FileName = io::ReadWideString(S);
  OrigWidth = io::ReadInt32(S);
  OrigHeight = io::ReadInt32(S);
  ChangeThumb(ReadThumb(S).release(), true);
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

void TImageItemEx::SaveToStream(TStream& S, Integer StreamVersion) {
  TImageItem::SaveToStream(S, StreamVersion);
  io::WriteInt32(S, FPhotoSize);
  io::WriteInt32(S, FRotateAngle);
  io::WriteByte(S, static_cast<Byte>(PaperType));
  io::WriteInt32(S, PhotoCount);
  io::WriteInt32(S, FrameOffset);
  // The plain thumbnail; the bordered one is made again from it.
  WriteThumb(S, FOrigThumb);
}

void TImageItemEx::LoadFromStream(TStream& S, Integer& StreamVersion) {
  TImageItem::LoadFromStream(S, StreamVersion);
  FPhotoSize = io::ReadInt32(S);
  FRotateAngle = io::ReadInt32(S);
  PaperType = static_cast<TPaperType>(io::ReadEnum(S, order::PaperTypeCount));
  PhotoCount = io::ReadInt32(S);
  const Integer offset = io::ReadInt32(S);
  Owned<TDIB> plain = ReadThumb(S);
  FreeAndNil(FOrigThumb);
  if (plain) {
    ChangeThumb(plain.release(), true);
    SetWithBorders(true);
  }
  SetFrameOffsetClamped(offset);
}

void RegisterItemClasses() {
  RegisterClass(TImageItem::StaticClass());
  RegisterClass(TImageItemEx::StaticClass());
}

}  // namespace app
