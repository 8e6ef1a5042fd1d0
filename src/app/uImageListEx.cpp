#include "app/uImageListEx.h"

#include <algorithm>

namespace app {

void TImageListEx::Destroy() {
  FreeAndNil(FGrayBitmap);
  TImageList::Destroy();
}

void TImageListEx::DoDraw(Integer Index, TCanvas* Canvas, Integer X, Integer Y, UINT Style, bool Enabled) {
  if (Enabled) {
    ImageList_Draw(GetHandle(), Index, Canvas->GetHandle(), X, Y, Style);
    return;
  }
  const Integer w = GetWidth(), h = GetHeight();
  if (!FGrayBitmap || FGrayBitmap->GetWidth() != w || FGrayBitmap->GetHeight() != h) {
    FreeAndNil(FGrayBitmap);
    FGrayBitmap = TBitmap::New();
    FGrayBitmap->SetPixelFormat(TPixelFormat::pf32bit);
    FGrayBitmap->SetSize(w, h);
  }
  for (Integer y = 0; y < h; ++y) {
    Byte* row = FGrayBitmap->ScanLine(y);
    std::fill(row, row + static_cast<size_t>(w) * 4, Byte{0});
  }
  ImageList_Draw(GetHandle(), Index, FGrayBitmap->GetCanvas()->GetHandle(), 0, 0, ILD_TRANSPARENT);
  // The luminance weights of the lab's grey: 30 % red, 59 % green, 11 % blue; alpha is kept.
  for (Integer y = 0; y < h; ++y) {
    Byte* p = FGrayBitmap->ScanLine(y);
    for (Integer x = 0; x < w; ++x, p += 4) {
      const Byte v = static_cast<Byte>((p[2] * 30 + p[1] * 59 + p[0] * 11) / 100);
      p[0] = p[1] = p[2] = v;
    }
  }
  BLENDFUNCTION blend{};
  blend.BlendOp = AC_SRC_OVER;
  blend.BlendFlags = 0;
  blend.SourceConstantAlpha = 200;
  blend.AlphaFormat = AC_SRC_ALPHA;
  AlphaBlend(Canvas->GetHandle(), X, Y, w, h, FGrayBitmap->GetCanvas()->GetHandle(), 0, 0, w, h, blend);
}

}  // namespace app
