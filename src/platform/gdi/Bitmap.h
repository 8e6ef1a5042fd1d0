#pragma once
// Pictures of the class library: TGraphic and TBitmap. A bitmap of 24 or 32 bits per pixel is a
// DIB section stored bottom-up, as the class library makes it, so ScanLine(0) is the last row in
// memory; its alpha byte is left to GDI's rules (primitives zero it, blits copy it).

#include "platform/gdi/Canvas.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"

namespace pf {

PF_DECLARE_EXCEPTION(EInvalidGraphic, Exception)
PF_DECLARE_EXCEPTION(EResNotFound, Exception)

class TGraphic : public TObject {
public:
  virtual Integer GetWidth() const = 0;
  virtual Integer GetHeight() const = 0;
  virtual bool GetEmpty() const { return GetWidth() == 0 || GetHeight() == 0; }
  bool GetTransparent() const { return FTransparent; }
  virtual void SetTransparent(bool v);
  TNotifyEvent OnChange;

  // Painting by a canvas (TCanvas::Draw and StretchDraw).
  virtual void Draw(TCanvas* canvas, const TRect& r) = 0;

protected:
  virtual void Changed();
  bool FTransparent{false};
};

enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum class TTransparentMode { tmAuto, tmFixed };
enum class TAlphaFormat { afIgnored, afDefined, afPremultiplied };

class TBitmap;

class TBitmapCanvas : public TCanvas {
  PF_CLASS(TBitmapCanvas)
protected:
  void Create(TBitmap* bitmap);
  void Destroy() override;
  void CreateHandle() override;

private:
  friend class TBitmap;
  void FreeContext();
  TBitmap* FBitmap{nullptr};
  HGDIOBJ FOldBitmap{nullptr};
};

class TBitmap : public TGraphic {
  PF_CLASS(TBitmap)
public:
  void Assign(const TBitmap& source);

  Integer GetWidth() const override { return FWidth; }
  Integer GetHeight() const override { return FHeight; }
  void SetWidth(Integer w) { SetSize(w, FHeight); }
  void SetHeight(Integer h) { SetSize(FWidth, h); }
  // Keeps the pixels that still fit; new pixels are black with alpha 0.
  void SetSize(Integer w, Integer h);

  // pfDevice and pf32bit are 32-bit, pf24bit is 24-bit; the other formats become pf32bit.
  TPixelFormat GetPixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TPixelFormat f);
  TAlphaFormat AlphaFormat{TAlphaFormat::afIgnored};

  TCanvas* GetCanvas();
  // The bitmap's GDI object, made on first use; it stays the bitmap's.
  HBITMAP GetHandle();
  // Takes a bitmap made by the caller, which the TBitmap then owns.
  void SetHandle(HBITMAP bmp);
  // Gives the handle away: the TBitmap becomes empty and the caller deletes the handle.
  HBITMAP ReleaseHandle();
  // Row `y` (0 is the top row); nil outside the bitmap.
  Byte* ScanLine(Integer y);

  TColor GetTransparentColor() const;
  void SetTransparentColor(TColor c);
  TTransparentMode TransparentMode{TTransparentMode::tmAuto};

  // BMP and PNG pictures (the embedded ones are either).
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream);  // BMP
  void LoadFromFile(const String& fileName);
  void SaveToFile(const String& fileName);
  // A picture of the program's embedded resources, by name (type "BITMAP", then "PNG").
  void LoadFromResourceName(const String& name);
  void Dormant() {}
  void FreeImage() {}

  void Draw(TCanvas* canvas, const TRect& r) override;

protected:
  void Create() override {}
  void Destroy() override;
  void Changed() override;

private:
  friend class TBitmapCanvas;
  void Reallocate(Integer w, Integer h, int bpp);
  int Bpp() const { return FPixelFormat == TPixelFormat::pf24bit ? 24 : 32; }
  HBITMAP FHandle{nullptr};
  Byte* FBits{nullptr};
  Integer FWidth{0};
  Integer FHeight{0};
  TPixelFormat FPixelFormat{TPixelFormat::pfDevice};
  TColor FTransparentColor{clDefault};
  TBitmapCanvas* FCanvas{nullptr};
};

}  // namespace pf
