#include "platform/classlib/Image.h"

namespace pf {

void TImage::Create(TComponent* owner) {
  TCustomControl::Create(owner);
  FWidth = 105;
  FHeight = 105;
  FParentColor = true;
  FPicture.reset(TBitmap::New());
}

void TImage::Destroy() {
  TCustomControl::Destroy();
  FPicture.reset();
}

void TImage::SetPicture(const TBitmap* picture) {
  if (picture)
    FPicture->Assign(*picture);
  else
    FPicture->SetSize(0, 0);
  FPicture->SetTransparent(picture && picture->GetTransparent());
  Invalidate();
}

void TImage::SetCenter(bool v) {
  if (FCenter == v) return;
  FCenter = v;
  Invalidate();
}

void TImage::SetStretch(bool v) {
  if (FStretch == v) return;
  FStretch = v;
  Invalidate();
}

TRect TImage::DestRect() const {
  TRect c = GetClientRect();
  if (FStretch) return c;
  Integer w = FPicture->GetWidth(), h = FPicture->GetHeight();
  Integer x = FCenter ? (c.Width() - w) / 2 : 0;
  Integer y = FCenter ? (c.Height() - h) / 2 : 0;
  return TRect{x, y, x + w, y + h};
}

void TImage::Paint() {
  TCanvas* canvas = GetCanvas();
  canvas->GetBrush()->SetColor(GetColor());
  canvas->FillRect(GetClientRect());
  if (FPicture->GetEmpty()) return;
  if (FStretch)
    canvas->StretchDraw(DestRect(), FPicture.get());
  else
    canvas->Draw(DestRect().Left, DestRect().Top, FPicture.get());
}

}  // namespace pf
