#include "app/uDIB.h"

#include <algorithm>
#include <cstring>

#include "platform/gdiplus/Codecs.h"

namespace app {

bool TDIB::IsEmpty() const { return !FBits || FWidth == 0 || FHeight == 0; }

void TDIB::SetSize(Integer W, Integer H) {
  if (W <= 0 || H <= 0) {
    Clear();
    return;
  }
  const Integer line = ((W * 3 + 3) / 4) * 4;
  FBits.reset(new Byte[static_cast<size_t>(line) * static_cast<size_t>(H)]());
  FLine = line;
  FPad = line - W * 3;
  FWidth = W;
  FHeight = H;
}

void TDIB::Clear() {
  FBits.reset();
  FWidth = 0;
  FHeight = 0;
  FLine = 0;
  FPad = 0;
}

void TDIB::Destroy() {
  Clear();
  TObject::Destroy();
}

TDIB* TDIB::Clone() const {
  Owned<TDIB> copy(TDIB::New());
  copy->Assign(this);
  return copy.release();
}

void TDIB::Assign(const TDIB* Source) {
  if (Source == this) return;
  if (!Source || Source->IsEmpty()) {
    Clear();
    return;
  }
  SetSize(Source->FWidth, Source->FHeight);
  std::memcpy(FBits.get(), Source->FBits.get(), static_cast<size_t>(FLine) * FHeight);
}

void TDIB::Assign(const gdiplus::TPhoto& Photo) {
  if (Photo.Empty()) {
    Clear();
    return;
  }
  SetSize(Photo.Width(), Photo.Height());
  for (Integer y = 0; y < FHeight; ++y) {
    const Byte* s = Photo.Scan(y);
    Byte* d = ScanLine(y);
    for (Integer x = 0; x < FWidth; ++x, s += 3, d += 3) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
    }
  }
}

void TDIB::Assign(TBitmap* Bitmap) {
  if (!Bitmap || Bitmap->GetWidth() == 0 || Bitmap->GetHeight() == 0) {
    Clear();
    return;
  }
  SetSize(Bitmap->GetWidth(), Bitmap->GetHeight());
  for (Integer y = 0; y < FHeight; ++y) std::memcpy(ScanLine(y), Bitmap->ScanLine(y), static_cast<size_t>(FWidth) * 3);
}

BITMAPINFO TDIB::Header() const {
  BITMAPINFO info{};
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = FWidth;
  info.bmiHeader.biHeight = -FHeight;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = 0;
  return info;
}

void TDIB::Draw(TCanvas* Canvas, Integer X, Integer Y) const {
  if (IsEmpty() || !Canvas) return;
  const BITMAPINFO info = Header();
  SetDIBitsToDevice(Canvas->GetHandle(), X, Y, static_cast<DWORD>(FWidth), static_cast<DWORD>(FHeight), 0, 0, 0,
                    static_cast<UINT>(FHeight), FBits.get(), &info, DIB_RGB_COLORS);
}

void TDIB::Draw(TCanvas* Canvas, const TRect& Rect) const {
  if (IsEmpty() || !Canvas) return;
  const BITMAPINFO info = Header();
  HDC dc = Canvas->GetHandle();
  SetStretchBltMode(dc, HALFTONE);
  StretchDIBits(dc, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), 0, 0, FWidth, FHeight, FBits.get(), &info,
                DIB_RGB_COLORS, SRCCOPY);
}

void TDIB::DrawCenter(TCanvas* Canvas, const TRect& Rect) const {
  if (IsEmpty() || !Canvas) return;
  Draw(Canvas, Rect.Left + (Rect.Width() - FWidth) / 2, Rect.Top + (Rect.Height() - FHeight) / 2);
}

void TDIB::TakeOver(TDIB& Other) {
  FBits = std::move(Other.FBits);
  FWidth = Other.FWidth;
  FHeight = Other.FHeight;
  FLine = Other.FLine;
  FPad = Other.FPad;
  Other.Clear();
}

void TDIB::Turn(bool Clockwise) {
  if (IsEmpty()) return;
  Owned<TDIB> turned(TDIB::New());
  turned->SetSize(FHeight, FWidth);
  for (Integer y = 0; y < FHeight; ++y) {
    const Byte* s = ScanLine(y);
    const Integer column = Clockwise ? FHeight - 1 - y : y;
    for (Integer x = 0; x < FWidth; ++x, s += 3)
      std::memcpy(turned->ScanLine(Clockwise ? x : FWidth - 1 - x) + static_cast<size_t>(column) * 3, s, 3);
  }
  TakeOver(*turned);
}

void TDIB::RotateLeft() { Turn(false); }

void TDIB::RotateRight() { Turn(true); }

TSize ThumbSize(Integer Width, Integer Height) {
  if (Width == Height) return TSize{200, 200};
  const double scale = std::max(Width / 200.0, Height / 200.0);
  // Truncation, not rounding: a 3000 × 2000 photo gives 200 × 133.
  if (Width > Height) return TSize{200, static_cast<Integer>(Height / scale)};
  return TSize{static_cast<Integer>(Width / scale), 200};
}

int ThumbJpegScale(const String& FileName, Integer Width, Integer Height) {
  String ext;
  const size_t dot = FileName.find_last_of(u'.');
  const size_t slash = FileName.find_last_of(u'/');
  if (dot != String::npos && (slash == String::npos || dot > slash)) ext = FileName.substr(dot);
  for (Char& c : ext)
    if (c >= u'A' && c <= u'Z') c = static_cast<Char>(c - u'A' + u'a');
  if (ext != u".jpg" && ext != u".jpeg") return 8;
  if (Width > 1600 || Height > 1600) return 1;
  if (Width > 800 || Height > 800) return 2;
  return 8;
}

void TDIB::ExtractThumb(const String& FileName, Integer& Width, Integer& Height) {
  // The size comes from the header alone; the picture is decoded only when a thumbnail is due.
  gdiplus::TImageInfo info;
  if (gdiplus::ReadImageInfo(FileName, info) != gdiplus::Status::Ok) return;
  Width = info.Width;
  Height = info.Height;
  if (info.Width < 100 || info.Height < 100) return;
  const TSize size = ThumbSize(info.Width, info.Height);
  if (size.cx < 1 || size.cy < 1) return;  // too elongated to leave a pixel on the short side
  const gdiplus::TRectF whole{0, 0, static_cast<double>(info.Width), static_cast<double>(info.Height)};
  const int scale = ThumbJpegScale(FileName, info.Width, info.Height);
  gdiplus::TPhoto thumb;
  gdiplus::Status status = gdiplus::LoadResampled(FileName, whole, size.cx, size.cy, thumb, nullptr, scale);
  // A reduced decode that fails falls back to the whole picture.
  if (status != gdiplus::Status::Ok && scale != 8)
    status = gdiplus::LoadResampled(FileName, whole, size.cx, size.cy, thumb, nullptr, 8);
  if (status != gdiplus::Status::Ok) return;
  Assign(thumb);
}

}  // namespace app
