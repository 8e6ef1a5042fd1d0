#pragma once
// The photo operations that stand in for GDI+: a 24-bit picture in memory, quarter turns, fill,
// a high-quality resampler, and the codecs (BMP, JPEG, PNG in; JPEG out).
//
// Pictures are kept in 24 bits (red, green, blue, in that byte order, rows top-down without
// padding): the prints and thumbnails are JPEG or 24-bit buffers, so a fourth byte would hold
// nothing. Transparent pixels are laid onto white (or the colour the caller shows the picture
// over) when a file is decoded; drawing a picture onto that colour later gives the same pixels,
// because the resampler is linear.

#include <cstdint>
#include <vector>

#include "platform/rtl/Types.h"

namespace pf::gdiplus {

// The statuses the program tells apart; any other than Ok is a failure.
enum class Status {
  Ok,
  GenericError,
  InvalidParameter,
  OutOfMemory,
  FileNotFound,
  UnknownImageFormat,
};

enum class RotateFlipType {
  RotateNoneFlipNone,
  Rotate90FlipNone,   // clockwise
  Rotate180FlipNone,
  Rotate270FlipNone,  // counter-clockwise
};

class TPhoto {
public:
  TPhoto() = default;
  TPhoto(Integer width, Integer height);  // raises std::bad_alloc when too large

  Integer Width() const { return FWidth; }
  Integer Height() const { return FHeight; }
  bool Empty() const { return FWidth <= 0 || FHeight <= 0; }
  size_t Stride() const { return static_cast<size_t>(FWidth) * 3; }
  Byte* Scan(Integer y) { return FPixels.data() + Stride() * static_cast<size_t>(y); }
  const Byte* Scan(Integer y) const { return FPixels.data() + Stride() * static_cast<size_t>(y); }
  const Byte* Pixel(Integer x, Integer y) const { return Scan(y) + static_cast<size_t>(x) * 3; }

  // Resolution in dots per inch (0 when unknown), written into the JFIF header on save.
  Integer DpiX{0};
  Integer DpiY{0};

private:
  Integer FWidth{0};
  Integer FHeight{0};
  std::vector<Byte> FPixels;
};

// The largest picture the layer accepts, in pixels (a 12000 × 12000 print fits).
constexpr int64_t MaxPixels = int64_t{1} << 28;

// A quarter turn (or none) into a new picture.
TPhoto RotateFlip(const TPhoto& src, RotateFlipType type);

// Fills `rect` (clipped to the picture) with one colour.
void FillRect(TPhoto& photo, const TRect& rect, Byte r, Byte g, Byte b);
inline void Fill(TPhoto& photo, Byte r, Byte g, Byte b) {
  FillRect(photo, TRect{0, 0, photo.Width(), photo.Height()}, r, g, b);
}

// Copies `src` into `dst` with its top-left corner at (x, y), clipped to `dst`.
void CopyPhoto(TPhoto& dst, Integer x, Integer y, const TPhoto& src);

}  // namespace pf::gdiplus
