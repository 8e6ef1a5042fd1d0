#pragma once
// Inside the drawing library: the objects behind the handles, the pixel buffers and the clip
// arithmetic. The window layer may include this header to present a surface (SurfaceImage) and to
// pass regions (RegionOf).

#include <QImage>
#include <QRegion>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/gdi/FontSource.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/Surface.h"

namespace pf::gdi {

// Rows of 24- or 32-bit pixels, bytes B, G, R (, A) as a DIB's, top-down or bottom-up.
struct PixelBuffer {
  Byte* Bits{nullptr};
  Integer Width{0};
  Integer Height{0};
  Integer Stride{0};
  Integer Bpp{32};
  bool BottomUp{false};
  // Window surfaces are always opaque; bitmaps keep what primitives and blits leave in alpha.
  bool Opaque{false};

  Byte* Row(Integer y) const { return Bits + static_cast<ptrdiff_t>(Stride) * (BottomUp ? Height - 1 - y : y); }
  Byte* At(Integer x, Integer y) const { return Row(y) + x * (Bpp / 8); }
  bool Valid() const { return Bits && Width > 0 && Height > 0; }
  QRect Bounds() const { return QRect(0, 0, Width, Height); }
};

// Bytes per row, rows padded to 32 bits; 0 when the row, or `height` rows, would not fit an Integer
// (sizes and offsets of a bitmap are Integers throughout, and a wrapped stride would make a
// buffer smaller than its width says).
inline Integer StrideFor(Integer width, Integer bpp, Integer height = 1) {
  const int64_t stride = ((int64_t{width} * bpp + 31) / 32) * 4;
  if (width <= 0 || bpp <= 0 || height <= 0 || stride * height > INT32_MAX) return 0;
  return static_cast<Integer>(stride);
}

struct BitmapObj : HBITMAP__ {
  BitmapObj() : HBITMAP__(OBJ_BITMAP) {}
  std::vector<Byte> Storage;
  PixelBuffer Pixels;
  bool DibSection{false};
  std::atomic<int> SelectedIn{0};  // stock objects are selected from several threads
  bool DeletePending{false};
  bool Stock{false};
};

struct BrushObj : HBRUSH__ {
  BrushObj() : HBRUSH__(OBJ_BRUSH) {}
  LOGBRUSH Log;
  std::atomic<int> SelectedIn{0};  // stock objects are selected from several threads
  bool DeletePending{false};
  bool Stock{false};
};

struct PenObj : HPEN__ {
  PenObj() : HPEN__(OBJ_PEN) {}
  int Style{PS_SOLID};
  int Width{1};
  COLORREF Color{0};
  std::atomic<int> SelectedIn{0};  // stock objects are selected from several threads
  bool DeletePending{false};
  bool Stock{false};
};

struct FontObj : HFONT__ {
  FontObj() : HFONT__(OBJ_FONT) {}
  LOGFONTW Log;
  std::shared_ptr<TFontSource> Source;  // realised on first use
  unsigned SourceGeneration{0};
  std::atomic<int> SelectedIn{0};  // stock objects are selected from several threads
  bool DeletePending{false};
  bool Stock{false};
};

struct RegionObj : HRGN__ {
  RegionObj() : HRGN__(OBJ_REGION) {}
  QRegion Rgn;
};

}  // namespace pf::gdi

namespace pf {

struct TSurface::Impl {
  std::vector<Byte> Storage;
  gdi::PixelBuffer Pixels;
  QRect Dirty;
};

}  // namespace pf

struct pf::HDC__ {
  struct State {
    pf::HPEN Pen{nullptr};
    pf::HBRUSH Brush{nullptr};
    pf::HFONT Font{nullptr};
    pf::HBITMAP Bitmap{nullptr};
    pf::COLORREF TextColor{0};
    pf::COLORREF BkColor{0xFFFFFF};
    int BkMode{pf::OPAQUE};
    int Rop2{pf::R2_COPYPEN};
    int StretchMode{pf::BLACKONWHITE};
    pf::UINT TextAlign{0};
    pf::TPoint WindowOrg;
    pf::TPoint ViewportOrg;
    pf::TPoint PenPos;
    pf::TPoint BrushOrg;
    std::optional<QRegion> Clip;  // device coordinates
  };
  pf::TSurface::Impl* Surface{nullptr};  // a surface DC; otherwise the selected bitmap's pixels
  pf::HBITMAP DefaultBitmap{nullptr};    // a memory DC's own 1x1 bitmap
  QPoint DeviceOrigin;                    // where device (0, 0) lies on the surface
  QRegion SystemRegion;                   // target coordinates, when HasSystemRegion
  bool HasSystemRegion{false};
  QRegion SystemBounds;                   // the limit given at creation, when HasBounds
  bool HasBounds{false};
  State S;
  std::vector<State> Saved;
};

namespace pf::gdi {

// Registry of live objects, so that stale handles are refused instead of followed.
bool IsLiveObject(const void* obj);
bool IsLiveDC(HDC dc);
void RegisterObject(HGDIOBJ obj);
void UnregisterObject(HGDIOBJ obj);

BitmapObj* AsBitmap(HGDIOBJ obj);
// Gives a bitmap zeroed pixels of the size, depth and row order.
void AllocPixels(BitmapObj* b, int width, int height, int bpp, bool bottomUp);
BrushObj* AsBrush(HGDIOBJ obj);
PenObj* AsPen(HGDIOBJ obj);
FontObj* AsFont(HGDIOBJ obj);
RegionObj* AsRegion(HGDIOBJ obj);

// The pixels a DC paints on (invalid for a DC whose bitmap is gone).
PixelBuffer TargetOf(HDC dc);
// Logical to target coordinates.
QPoint ToTarget(HDC dc, int x, int y);
QRect ToTarget(HDC dc, const TRect& r);  // normalised, right and bottom exclusive
// Where painting may happen, in target coordinates.
QRegion PaintableRegion(HDC dc);
void MarkDirty(HDC dc, const QRect& targetRect);

// Pixel writing with GDI's rules on alpha.
void PutColor(const PixelBuffer& pb, int x, int y, COLORREF c);
COLORREF GetColor(const PixelBuffer& pb, int x, int y);
void FillRegion(HDC dc, const QRegion& targetRgn, COLORREF c);
// Applies a binary raster operation (R2_) of colour `c` to every pixel of the region.
void Rop2Region(HDC dc, const QRegion& targetRgn, COLORREF c, int rop2);
// Blends `c` into the pixels through the coverage mask placed at `origin` (target coordinates).
void BlendMask(HDC dc, const TGlyphMask& mask, QPoint origin, const QRegion& clip, COLORREF c);
// Coverage over an area of `Size` pixels of which only `Inked` (area coordinates) holds any, its
// rows `Stride` bytes apart from `Data` (read only where `Inked` is not empty).
struct TCoverageView {
  const Byte* Data{nullptr};
  int Stride{0};
  QRect Inked;
  QSize Size;
};
// As BlendMask, the area's top-left corner at `origin`.
void BlendCoverage(HDC dc, const TCoverageView& coverage, QPoint origin, const QRegion& clip, COLORREF c);

// The realised font of a DC (the stock GUI font when none is selected).
FontObj* CurrentFont(HDC dc);
std::shared_ptr<TFontSource> SourceOf(FontObj* font);
COLORREF BrushColor(HBRUSH brush, bool* hollow);

// The family of the program's one face (the forms' "Tahoma 8 pt"): Tahoma where the desktop has
// it or the Debian package of Wine's metric-compatible Tahoma is installed, else DejaVu Sans
// Condensed. The first call, on the GUI thread once the toolkit runs, registers the face.
QString UiFamily();
// The weight the canvas asks of the program's face for a bold font: below bold where the face's bold
// file is registered lighter than bold, so that the canvas gets its thin outlines and emboldens them
// itself, as it always has.
int UiBoldWeight();

// For the window layer.
QImage SurfaceImage(TSurface& surface);  // shares the pixels; valid until the next SetSize
const QRegion& RegionOf(HRGN rgn);

}  // namespace pf::gdi
