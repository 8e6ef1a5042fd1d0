// TGraphic and TBitmap.

#include "platform/gdi/Bitmap.h"

#include <QImage>

#include <algorithm>
#include <cstring>

#include "platform/gdi/Gdi_p.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Resources.h"
#include "platform/rtl/Strings.h"

namespace pf {

void TGraphic::SetTransparent(bool v) {
  if (v == FTransparent) return;
  FTransparent = v;
  Changed();
}

void TGraphic::Changed() {
  if (OnChange) OnChange(this);
}

// ---- The bitmap's canvas ----

void TBitmapCanvas::Create(TBitmap* bitmap) {
  TCanvas::Create();
  FBitmap = bitmap;
}

void TBitmapCanvas::Destroy() {
  FreeContext();
  TCanvas::Destroy();
}

void TBitmapCanvas::CreateHandle() {
  HDC dc = CreateCompatibleDC(nullptr);
  if (HBITMAP bmp = FBitmap->GetHandle()) FOldBitmap = SelectObject(dc, bmp);
  SetHandle(dc);
}

void TBitmapCanvas::FreeContext() {
  if (!HandleAllocated()) return;
  HDC dc = GetHandle();
  SetHandle(nullptr);
  if (FOldBitmap) SelectObject(dc, FOldBitmap);
  FOldBitmap = nullptr;
  DeleteDC(dc);
}

// ---- TBitmap ----

namespace {
void PutLE(std::string& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
}  // namespace

void TBitmap::Destroy() {
  FreeAndNil(FCanvas);
  if (FHandle) DeleteObject(FHandle);
  FHandle = nullptr;
  FBits = nullptr;
}

void TBitmap::Changed() { TGraphic::Changed(); }

void TBitmap::Reallocate(Integer w, Integer h, int bpp) {
  w = std::max(0, w);
  h = std::max(0, h);
  HBITMAP fresh = nullptr;
  Byte* bits = nullptr;
  if (w > 0 && h > 0) {
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;  // bottom-up, as the class library's DIB sections
    bi.bmiHeader.biBitCount = static_cast<WORD>(bpp);
    void* p = nullptr;
    fresh = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
    if (!fresh) throw EOutOfMemory(u"Out of system resources");
    bits = static_cast<Byte*>(p);
    // The pixels that still fit are kept.
    int oldBpp = Bpp();
    for (int y = 0; y < std::min(h, FHeight); ++y) {
      const Byte* src = ScanLine(y);
      Byte* dst = bits + static_cast<size_t>(gdi::StrideFor(w, bpp)) * (h - 1 - y);
      for (int x = 0; x < std::min(w, FWidth); ++x) {
        std::memcpy(dst + x * (bpp / 8), src + x * (oldBpp / 8), 3);
        if (bpp == 32) dst[x * 4 + 3] = oldBpp == 32 ? src[x * 4 + 3] : 0;
      }
    }
  }
  if (FCanvas) FCanvas->FreeContext();
  if (FHandle) DeleteObject(FHandle);
  FHandle = fresh;
  FBits = bits;
  FWidth = fresh ? w : 0;
  FHeight = fresh ? h : 0;
}

void TBitmap::SetSize(Integer w, Integer h) {
  if (w == FWidth && h == FHeight) return;
  Reallocate(w, h, Bpp());
  Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat f) {
  if (f != TPixelFormat::pfDevice && f != TPixelFormat::pf24bit) f = f == TPixelFormat::pf32bit ? f : TPixelFormat::pf32bit;
  if (f == FPixelFormat) return;
  int bpp = f == TPixelFormat::pf24bit ? 24 : 32;
  if (bpp != Bpp() && FWidth > 0 && FHeight > 0) {
    Integer w = FWidth, h = FHeight;
    Reallocate(w, h, bpp);
  }
  FPixelFormat = f;
  Changed();
}

void TBitmap::Assign(const TBitmap& s) {
  if (&s == this) return;
  FPixelFormat = s.FPixelFormat;
  AlphaFormat = s.AlphaFormat;
  FTransparent = s.FTransparent;
  FTransparentColor = s.FTransparentColor;
  TransparentMode = s.TransparentMode;
  Reallocate(0, 0, Bpp());
  Reallocate(s.FWidth, s.FHeight, Bpp());
  if (FBits && s.FBits) std::memcpy(FBits, s.FBits, static_cast<size_t>(gdi::StrideFor(FWidth, Bpp())) * FHeight);
  Changed();
}

TCanvas* TBitmap::GetCanvas() {
  if (!FCanvas) FCanvas = TBitmapCanvas::New(this);
  return FCanvas;
}

HBITMAP TBitmap::GetHandle() { return FHandle; }

void TBitmap::SetHandle(HBITMAP bmp) {
  DIBSECTION ds{};
  int n = GetObjectW(bmp, sizeof(ds), &ds);
  if (FCanvas) FCanvas->FreeContext();
  if (FHandle && FHandle != bmp) DeleteObject(FHandle);
  FHandle = nullptr;
  FBits = nullptr;
  FWidth = FHeight = 0;
  if (n == static_cast<int>(sizeof(DIBSECTION)) && ds.dsBm.bmBits && ds.dsBmih.biHeight > 0) {
    FHandle = bmp;
    FBits = static_cast<Byte*>(ds.dsBm.bmBits);
    FWidth = ds.dsBm.bmWidth;
    FHeight = ds.dsBm.bmHeight;
    FPixelFormat = ds.dsBm.bmBitsPixel == 24 ? TPixelFormat::pf24bit : TPixelFormat::pf32bit;
  } else if (n > 0) {
    // Another kind of bitmap: its pixels are copied into one of ours, and it is deleted.
    FPixelFormat = ds.dsBm.bmBitsPixel == 24 ? TPixelFormat::pf24bit : TPixelFormat::pfDevice;
    Reallocate(ds.dsBm.bmWidth, ds.dsBm.bmHeight, Bpp());
    HDC from = CreateCompatibleDC(nullptr), to = CreateCompatibleDC(nullptr);
    HGDIOBJ o1 = SelectObject(from, bmp), o2 = SelectObject(to, FHandle);
    BitBlt(to, 0, 0, FWidth, FHeight, from, 0, 0, SRCCOPY);
    SelectObject(from, o1);
    SelectObject(to, o2);
    DeleteDC(from);
    DeleteDC(to);
    DeleteObject(bmp);
  }
  Changed();
}

HBITMAP TBitmap::ReleaseHandle() {
  if (FCanvas) FCanvas->FreeContext();
  HBITMAP h = FHandle;
  FHandle = nullptr;
  FBits = nullptr;
  FWidth = FHeight = 0;
  return h;
}

Byte* TBitmap::ScanLine(Integer y) {
  if (!FBits || y < 0 || y >= FHeight) return nullptr;
  return FBits + static_cast<size_t>(gdi::StrideFor(FWidth, Bpp())) * (FHeight - 1 - y);
}

TColor TBitmap::GetTransparentColor() const {
  if (FTransparentColor != clDefault && TransparentMode == TTransparentMode::tmFixed) return FTransparentColor;
  if (FTransparentColor != clDefault && TransparentMode == TTransparentMode::tmAuto && !FBits) return FTransparentColor;
  if (!FBits) return clNone;
  // The colour of the bottom-left pixel, as the class library takes it.
  const Byte* p = const_cast<TBitmap*>(this)->ScanLine(FHeight - 1);
  return static_cast<TColor>(RGB(p[2], p[1], p[0]));
}

void TBitmap::SetTransparentColor(TColor c) {
  FTransparentColor = c;
  TransparentMode = c == clDefault ? TTransparentMode::tmAuto : TTransparentMode::tmFixed;
  Changed();
}

void TBitmap::Draw(TCanvas* canvas, const TRect& r) {
  if (GetEmpty() || !canvas) return;
  HDC dst = canvas->GetHandle();
  HDC src = GetCanvas()->GetHandle();
  int w = r.Right - r.Left, h = r.Bottom - r.Top;
  if (Bpp() == 32 && AlphaFormat != TAlphaFormat::afIgnored) {
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (AlphaFormat == TAlphaFormat::afPremultiplied) {
      AlphaBlend(dst, r.Left, r.Top, w, h, src, 0, 0, FWidth, FHeight, bf);
      return;
    }
    // Straight alpha is premultiplied on a copy first.
    TBitmap* tmp = TBitmap::New();
    tmp->Assign(*this);
    for (int y = 0; y < FHeight; ++y) {
      Byte* p = tmp->ScanLine(y);
      for (int x = 0; x < FWidth; ++x, p += 4)
        for (int c = 0; c < 3; ++c) p[c] = static_cast<Byte>((p[c] * p[3] + 127) / 255);
    }
    AlphaBlend(dst, r.Left, r.Top, w, h, tmp->GetCanvas()->GetHandle(), 0, 0, FWidth, FHeight, bf);
    tmp->Free();
    return;
  }
  if (!FTransparent) {
    if (w == FWidth && h == FHeight)
      BitBlt(dst, r.Left, r.Top, w, h, src, 0, 0, canvas->CopyMode);
    else
      StretchBlt(dst, r.Left, r.Top, w, h, src, 0, 0, FWidth, FHeight, canvas->CopyMode);
    return;
  }
  if (w <= 0 || h <= 0) return;
  // Transparent: the pixels of the transparent colour leave the canvas as it was.
  COLORREF key = static_cast<COLORREF>(ColorToRGB(GetTransparentColor())) & 0xFFFFFF;
  TBitmap* under = TBitmap::New();
  TBitmap* over = TBitmap::New();
  under->SetPixelFormat(TPixelFormat::pf32bit);
  over->SetPixelFormat(TPixelFormat::pf32bit);
  under->SetSize(w, h);
  over->SetSize(w, h);
  BitBlt(under->GetCanvas()->GetHandle(), 0, 0, w, h, dst, r.Left, r.Top, SRCCOPY);
  StretchBlt(over->GetCanvas()->GetHandle(), 0, 0, w, h, src, 0, 0, FWidth, FHeight, SRCCOPY);
  for (int y = 0; y < h; ++y) {
    Byte* u = under->ScanLine(y);
    const Byte* o = over->ScanLine(y);
    for (int x = 0; x < w; ++x)
      if (RGB(o[x * 4 + 2], o[x * 4 + 1], o[x * 4]) != key) std::memcpy(u + x * 4, o + x * 4, 4);
  }
  BitBlt(dst, r.Left, r.Top, w, h, under->GetCanvas()->GetHandle(), 0, 0, SRCCOPY);
  under->Free();
  over->Free();
}

void TBitmap::LoadFromStream(TStream& stream) {
  RawBytes bytes = stream.ReadRest();
  QImage img = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
  if (img.isNull()) throw EInvalidGraphic(u"Bitmap image is not valid");
  bool alpha = img.hasAlphaChannel();
  img = img.convertToFormat(QImage::Format_ARGB32);
  FPixelFormat = alpha ? TPixelFormat::pf32bit : TPixelFormat::pf24bit;
  Reallocate(0, 0, Bpp());
  Reallocate(img.width(), img.height(), Bpp());
  for (int y = 0; y < FHeight; ++y) {
    const Byte* s = img.constScanLine(y);
    Byte* d = ScanLine(y);
    for (int x = 0; x < FWidth; ++x) {
      std::memcpy(d + x * (Bpp() / 8), s + x * 4, 3);
      if (alpha) d[x * 4 + 3] = s[x * 4 + 3];
    }
  }
  Changed();
}

void TBitmap::SaveToStream(TStream& stream) {
  int bpp = Bpp(), stride = gdi::StrideFor(FWidth, bpp);
  uint32_t image = static_cast<uint32_t>(stride) * static_cast<uint32_t>(FHeight);
  std::string out = "BM";
  PutLE(out, 54 + image, 4);
  PutLE(out, 0, 4);
  PutLE(out, 54, 4);
  PutLE(out, 40, 4);
  PutLE(out, static_cast<uint32_t>(FWidth), 4);
  PutLE(out, static_cast<uint32_t>(FHeight), 4);
  PutLE(out, 1, 2);
  PutLE(out, static_cast<uint32_t>(bpp), 2);
  PutLE(out, 0, 4);
  PutLE(out, image, 4);
  PutLE(out, 3780, 4);  // 96 dpi
  PutLE(out, 3780, 4);
  PutLE(out, 0, 4);
  PutLE(out, 0, 4);
  if (FBits) out.append(reinterpret_cast<const char*>(FBits), image);
  stream.WriteBytes(out);
}

void TBitmap::LoadFromFile(const String& fileName) {
  Owned<TFileStream> f(TFileStream::New(fileName, fmOpenRead | fmShareDenyWrite));
  LoadFromStream(*f);
}

void TBitmap::SaveToFile(const String& fileName) {
  Owned<TFileStream> f(TFileStream::New(fileName, fmCreate));
  SaveToStream(*f);
}

void TBitmap::LoadFromResourceName(const String& name) {
  std::string n = StringToUtf8(name);
  auto data = FindResource("BITMAP", n);
  if (!data) data = FindResource("PNG", n);
  if (!data) throw EResNotFound(u"Resource " + name + u" not found");
  Owned<TMemoryStream> m(TMemoryStream::New());
  m->WriteBytes(*data);
  m->SetPosition(0);
  LoadFromStream(*m);
}

}  // namespace pf
