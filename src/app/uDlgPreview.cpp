#include "app/uDlgPreview.h"

#include <algorithm>
#include <new>

#include "app/uFormBuild.h"
#include "app/uWorkThread.h"
#include "order/uLists.h"
#include "platform/gdiplus/Codecs.h"
#include "platform/gdiplus/Print.h"
#include "platform/rtl/Format.h"

namespace app {

namespace {

const String LoadError = u"Не удалось загрузить фотографию";
const String TurnError = u"Не удалось повернуть фотографию";
const String CopyError = u"Не удалось создать копию фотографии";
const String ReduceError = u"Не удалось уменьшить фотографию";
const String ShowError = u"Не удалось вывести фотографию";

// A × B / C rounded to the nearest integer, halves away from zero, as the platform's MulDiv.
Integer MulDiv(Integer A, Integer B, Integer C) {
  const Int64 p = Int64{A} * B;
  return static_cast<Integer>(p >= 0 ? (p + C / 2) / C : (p - C / 2) / C);
}

bool Sideways(gdiplus::RotateFlipType Turn) {
  return Turn == gdiplus::RotateFlipType::Rotate90FlipNone || Turn == gdiplus::RotateFlipType::Rotate270FlipNone;
}

String ErrorOf(gdiplus::Status Status) {
  switch (Status) {
    case gdiplus::Status::OutOfMemory:
      return CopyError;
    case gdiplus::Status::InvalidParameter:
      return ReduceError;
    default:
      return LoadError;
  }
}

}  // namespace

TRect WorkArea() {
  TRect area{};
  if (SystemParametersInfo(SPI_GETWORKAREA, 0, &area, 0) && area.Width() > 0 && area.Height() > 0) return area;
  return TRect{0, 0, Screen->Width(), Screen->Height()};
}

TSize TDlgPreview::MaxPictureSize(const TRect& WorkArea) {
  return TSize{MulDiv(WorkArea.Width(), 80, 100), MulDiv(WorkArea.Height(), 80, 100)};
}

int TDlgPreview::PreviewJpegScale(Integer FileW, Integer FileH, Integer PictureW, Integer PictureH) {
  for (int scale : {1, 2, 4})
    if (gdiplus::JpegScaledSide(FileW, scale) >= PictureW && gdiplus::JpegScaledSide(FileH, scale) >= PictureH)
      return scale;
  return 8;
}

void TDlgPreview::Create(TComponent* AOwner) {
  TForm::Create(AOwner);
  SetName(u"DlgPreview");
  SetCaption(PreviewCaption);
  SetBorderStyle(TFormBorderStyle::bsDialog);
  SetColor(clSilver);
  DoubleBuffered = true;
  KeyPreview = true;
  SetClientWidth(600);
  SetClientHeight(400);

  pbThumb = AddControl<TPaintBox>(this, this, u"pbThumb", 10, 10, 580, 345);
  pbThumb->OnPaint = [this](TObject* s) { pbThumbPaint(s); };
  shpFrame = AddControl<TShape>(this, this, u"shpFrame", 20, 20, 560, 325);
  shpFrame->GetBrush()->SetStyle(TBrushStyle::bsClear);
  shpFrame->GetPen()->SetColor(clAqua);
  shpFrame->GetPen()->SetWidth(2);
  shpFrame->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, Integer x, Integer y) {
    shpFrameMouseDown(s, b, sh, x, y);
  };
  shpFrame->OnMouseMove = [this](TObject* s, TShiftState sh, Integer x, Integer y) { shpFrameMouseMove(s, sh, x, y); };
  shpFrame->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, Integer x, Integer y) {
    shpFrameMouseUp(s, b, sh, x, y);
  };
  btnClose = AddControl<TButton>(this, this, u"btnClose", 510, 365, 80, 25);
  btnClose->SetCaption(u"Закрыть");
  btnClose->ModalResult = mrOk;
  btnClose->SetDefault(true);
  btnClose->Cancel = true;
  btnClose->TabStop = false;
  tmrBlink = TTimer::New(this);
  tmrBlink->SetName(u"tmrBlink");
  tmrBlink->SetInterval(700);
  tmrBlink->OnTimer = [this](TObject* s) { tmrBlinkTimer(s); };
  OnKeyDown = [this](TObject* s, Word& k, TShiftState sh) { FormKeyDown(s, k, sh); };
}

void TDlgPreview::Destroy() {
  FImage.reset();
  FreeAndNil(FScreen);
  TForm::Destroy();
}

bool TDlgPreview::LoadPicture(TImageItemEx* Item, const TRect& Area) {
  gdiplus::TImageInfo info;
  if (gdiplus::ReadImageInfo(Item->FileName, info) != gdiplus::Status::Ok) {
    FLastError = LoadError;
    return false;
  }
  const gdiplus::RotateFlipType turn = RotationOf(Item->GetRotateAngle());
  const TSize turned = gdiplus::TurnedSize(info.Width, info.Height, turn);
  const Integer W = turned.cx;
  const Integer H = turned.cy;
  const TSize most = MaxPictureSize(Area);

  // What is drawn (in the turned photo's pixels) and the picture it goes into.
  TSize draw{W, H};
  TSize picture{W, H};
  TPoint at{0, 0};
  const bool borders = Item->WithBorders();
  if (borders) {
    const Integer longer = std::max(W, H);
    TPoint box, fit;
    CalcBorderedSize(std::min(most.cx, longer), std::min(most.cy, longer), W, H, Item->GetPhotoSize(), box, fit);
    if (box.X <= 0 || box.Y <= 0 || fit.X <= 0 || fit.Y <= 0) {
      FLastError = ReduceError;
      return false;
    }
    draw = TSize{fit.X, fit.Y};
    picture = TSize{box.X, box.Y};
    at = TPoint{(box.X - fit.X) / 2, (box.Y - fit.Y) / 2};
  } else if (W > most.cx || H > most.cy) {
    const double scale = std::max(static_cast<double>(W) / most.cx, static_cast<double>(H) / most.cy);
    picture = TSize{std::max(1, static_cast<Integer>(Round(W / scale))), std::max(1, static_cast<Integer>(Round(H / scale)))};
    draw = picture;
  }

  try {
    // The photo is decoded the way it lies in the file, then turned: the scaled size before the
    // turn has the sides swapped for a quarter turn.
    const TSize unturned = Sideways(turn) ? TSize{draw.cy, draw.cx} : draw;
    const bool reduces = borders || picture.cx != W || picture.cy != H;
    // A picture with see-through parts shows the dialog through them; a bordered one lies on the
    // white of its print.
    gdiplus::TMatte matte;
    if (!borders) {
      const TColor face = ColorToRGB(GetColor());
      matte = gdiplus::TMatte{static_cast<Byte>(face & 0xFF), static_cast<Byte>((face >> 8) & 0xFF),
                              static_cast<Byte>((face >> 16) & 0xFF)};
    }
    gdiplus::TPhoto photo;
    gdiplus::Status status;
    if (unturned.cx == info.Width && unturned.cy == info.Height) {
      status = gdiplus::LoadImage(Item->FileName, photo, nullptr, 8, matte);
    } else {
      // Shown on the screen only: a JPEG is decoded at the largest reduction that still has the
      // picture's pixels, which is most of the work for a photo of many megapixels.
      const int scale = info.Format == gdiplus::TImageFormat::Jpeg
                            ? PreviewJpegScale(info.Width, info.Height, unturned.cx, unturned.cy)
                            : 8;
      const gdiplus::TRectF whole{0, 0, static_cast<double>(info.Width), static_cast<double>(info.Height)};
      status = gdiplus::LoadResampled(Item->FileName, whole, unturned.cx, unturned.cy, photo, nullptr, scale, matte);
    }
    if (status != gdiplus::Status::Ok) {
      // A photo shown at its own size goes through no reduction: whatever fails is its load.
      FLastError = reduces ? ErrorOf(status) : LoadError;
      return false;
    }
    if (turn != gdiplus::RotateFlipType::RotateNoneFlipNone) {
      try {
        photo = gdiplus::RotateFlip(photo, turn);
      } catch (const std::bad_alloc&) {
        FLastError = TurnError;
        return false;
      }
    }
    if (borders) {
      auto sheet = std::make_unique<gdiplus::TPhoto>(picture.cx, picture.cy);
      gdiplus::Fill(*sheet, 255, 255, 255);
      gdiplus::CopyPhoto(*sheet, at.X, at.Y, photo);
      FImage = std::move(sheet);
    } else {
      FImage = std::make_unique<gdiplus::TPhoto>(std::move(photo));
    }
  } catch (const std::bad_alloc&) {
    FLastError = CopyError;
    return false;
  }
  return true;
}

bool TDlgPreview::PrepareImage(TImageItemEx* Item) {
  FImage.reset();
  FreeAndNil(FScreen);
  FImageItem = Item;
  FLastError.clear();
  const TRect area = WorkArea();
  if (!Item || !LoadPicture(Item, area)) {
    if (FLastError.empty()) FLastError = LoadError;
    FImage.reset();
    return false;
  }
  try {
    FScreen = ScreenCopy(*FImage);
  } catch (const std::bad_alloc&) {
    // The picture was made but there is no room for the copy the window draws.
    FLastError = ShowError;
    FImage.reset();
    return false;
  }

  const Integer picW = FImage->Width();
  const Integer picH = FImage->Height();
  // The paint box takes exactly the picture; the window keeps its margins around it.
  SetClientWidth(GetClientWidth() - pbThumb->GetWidth() + picW);
  SetClientHeight(GetClientHeight() - pbThumb->GetHeight() + picH);
  pbThumb->SetBounds(pbThumb->GetLeft(), pbThumb->GetTop(), picW, picH);
  btnClose->SetBounds(GetClientWidth() - 90, GetClientHeight() - 35, btnClose->GetWidth(), btnClose->GetHeight());
  // Centred in the work area, wherever the desktop's panels put its corner.
  SetBounds(area.Left + (area.Width() - GetWidth()) / 2, area.Top + (area.Height() - GetHeight()) / 2, GetWidth(),
            GetHeight());
  PlaceFrame(Item);
  return true;
}

TDIB* TDlgPreview::ScreenCopy(const gdiplus::TPhoto& Picture) const {
  Owned<TDIB> copy(TDIB::New());
  copy->Assign(Picture);
  return copy.release();
}

void TDlgPreview::PlaceFrame(TImageItemEx* Item) {
  const TFrameType type = Item->FrameType();
  shpFrame->SetVisible(type != ftNone);
  if (type == ftNone) return;
  const TPhotoSize& size = *order::PhotoSizes()->Items(Item->GetPhotoSize());
  const Integer picW = FImage->Width();
  const Integer picH = FImage->Height();
  SetFrameProp(2, CalcFrameWidth(picW, picH, size));
  SetFrameProp(3, CalcFrameHeight(picW, picH, size));
  const TDIB* thumb = Item->Thumb();
  if (type == ftMoveHorz) {
    SetFrameProp(0, pbThumb->GetLeft() + static_cast<Integer>(Round(static_cast<double>(Item->FrameOffset) / thumb->Width() * picW)));
    SetFrameProp(1, 0);
    shpFrame->SetCursor(crSizeWE);
  } else {
    SetFrameProp(0, 0);
    SetFrameProp(1, pbThumb->GetTop() + static_cast<Integer>(Round(static_cast<double>(Item->FrameOffset) / thumb->Height() * picH)));
    shpFrame->SetCursor(crSizeNS);
  }
}

Integer TDlgPreview::GetFrameProp(Integer Index) const {
  switch (Index) {
    case 0:
      return shpFrame->GetLeft();
    case 1:
      return shpFrame->GetTop();
    case 2:
      return shpFrame->GetWidth();
    case 3:
      return shpFrame->GetHeight();
    case 4:
      return pbThumb->GetLeft();
    case 5:
      return pbThumb->GetTop();
    case 6:
      return FImage ? FImage->Width() : 0;
    case 7:
      return FImage ? FImage->Height() : 0;
    default:
      return 0;
  }
}

void TDlgPreview::SetFrameProp(Integer Index, Integer Value) {
  switch (Index) {
    case 0: {
      const Integer lo = GetFrameProp(4);
      const Integer hi = lo + GetFrameProp(6) - GetFrameProp(2);
      shpFrame->SetLeft(std::max(std::min(Value, hi), lo));
      break;
    }
    case 1: {
      const Integer lo = GetFrameProp(5);
      const Integer hi = lo + GetFrameProp(7) - GetFrameProp(3);
      shpFrame->SetTop(std::max(std::min(Value, hi), lo));
      break;
    }
    case 2:
      shpFrame->SetWidth(Value);
      break;
    case 3:
      shpFrame->SetHeight(Value);
      break;
    default:
      break;
  }
}

Integer TDlgPreview::GetFrameOffset() const {
  if (!FImageItem || !FImage) return 0;
  const TDIB* thumb = FImageItem->Thumb();
  Integer offset = 0;
  switch (FImageItem->FrameType()) {
    case ftMoveHorz: {
      const Integer left = GetFrameProp(0) - GetFrameProp(4);
      if (GetFrameProp(0) == GetFrameProp(4) + GetFrameProp(6) - GetFrameProp(2))
        offset = thumb->Width() - FImageItem->FrameWidth();
      else
        offset = static_cast<Integer>(Round(static_cast<double>(left) / GetFrameProp(6) * thumb->Width()));
      break;
    }
    case ftMoveVert: {
      const Integer top = GetFrameProp(1) - GetFrameProp(5);
      if (GetFrameProp(1) == GetFrameProp(5) + GetFrameProp(7) - GetFrameProp(3))
        offset = thumb->Height() - FImageItem->FrameHeight();
      else
        offset = static_cast<Integer>(Round(static_cast<double>(top) / GetFrameProp(7) * thumb->Height()));
      break;
    }
    default:
      return 0;
  }
  // Rounding near the end can land a pixel beyond the thumbnail's last place for the frame; such
  // an offset would crop outside the photo.
  return std::clamp(offset, 0, FImageItem->MaxFrameOffset());
}

void TDlgPreview::FormKeyDown(TObject*, Word& Key, TShiftState) {
  if (!FImageItem) return;
  switch (FImageItem->FrameType()) {
    case ftMoveHorz:
      if (Key == VK_LEFT) SetFrameProp(0, GetFrameProp(0) - 1);
      if (Key == VK_RIGHT) SetFrameProp(0, GetFrameProp(0) + 1);
      break;
    case ftMoveVert:
      if (Key == VK_UP) SetFrameProp(1, GetFrameProp(1) - 1);
      if (Key == VK_DOWN) SetFrameProp(1, GetFrameProp(1) + 1);
      break;
    default:
      break;
  }
}

void TDlgPreview::pbThumbPaint(TObject*) {
  if (FScreen) FScreen->Draw(pbThumb->GetCanvas(), 0, 0);
}

void TDlgPreview::tmrBlinkTimer(TObject*) {
  if (!shpFrame->GetVisible()) return;
  TPen* pen = shpFrame->GetPen();
  pen->SetColor(pen->GetColor() == clRed ? clAqua : clRed);
}

void TDlgPreview::shpFrameMouseDown(TObject*, TMouseButton Button, TShiftState, Integer X, Integer Y) {
  FFrameDragging = Button == TMouseButton::mbLeft && FImageItem && FImageItem->FrameType() != ftNone;
  if (!FFrameDragging) return;
  FStartPoint = TPoint{shpFrame->GetLeft(), shpFrame->GetTop()};
  FStartMovePoint = shpFrame->ClientToScreen(TPoint{X, Y});
}

void TDlgPreview::shpFrameMouseMove(TObject*, TShiftState, Integer X, Integer Y) {
  if (!FFrameDragging || !FImageItem) return;
  // The event's own place, in screen pixels: the frame moves under the pointer as it is dragged.
  const TPoint p = shpFrame->ClientToScreen(TPoint{X, Y});
  switch (FImageItem->FrameType()) {
    case ftMoveHorz:
      SetFrameProp(0, p.X - FStartMovePoint.X + FStartPoint.X);
      break;
    case ftMoveVert:
      SetFrameProp(1, p.Y - FStartMovePoint.Y + FStartPoint.Y);
      break;
    default:
      break;
  }
}

void TDlgPreview::shpFrameMouseUp(TObject*, TMouseButton, TShiftState, Integer, Integer) { FFrameDragging = false; }

}  // namespace app
