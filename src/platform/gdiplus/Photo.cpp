#include "platform/gdiplus/Photo.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace pf::gdiplus {

TPhoto::TPhoto(Integer width, Integer height) {
  if (width <= 0 || height <= 0) return;
  if (static_cast<int64_t>(width) * height > MaxPixels) throw std::bad_alloc();
  FPixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  FWidth = width;
  FHeight = height;
}

TPhoto RotateFlip(const TPhoto& src, RotateFlipType type) {
  const Integer w = src.Width();
  const Integer h = src.Height();
  if (type == RotateFlipType::RotateNoneFlipNone || src.Empty()) return src;
  if (type == RotateFlipType::Rotate180FlipNone) {
    TPhoto dst(w, h);
    for (Integer y = 0; y < h; ++y) {
      const Byte* s = src.Scan(y);
      Byte* d = dst.Scan(h - 1 - y) + static_cast<size_t>(w - 1) * 3;
      for (Integer x = 0; x < w; ++x, s += 3, d -= 3) std::memcpy(d, s, 3);
    }
    dst.DpiX = src.DpiX;
    dst.DpiY = src.DpiY;
    return dst;
  }
  TPhoto dst(h, w);
  const bool cw = type == RotateFlipType::Rotate90FlipNone;
  // Walks the destination in tiles so that both pictures are read and written close together;
  // a row-by-row transpose of a large photo misses the cache on every pixel.
  constexpr Integer Tile = 64;
  for (Integer ty = 0; ty < h; ty += Tile) {
    const Integer yEnd = std::min(h, ty + Tile);
    for (Integer tx = 0; tx < w; tx += Tile) {
      const Integer xEnd = std::min(w, tx + Tile);
      for (Integer y = ty; y < yEnd; ++y) {
        const Byte* s = src.Pixel(tx, y);
        for (Integer x = tx; x < xEnd; ++x, s += 3) {
          // Clockwise: (x, y) goes to column h-1-y, row x; counter-clockwise: column y, row w-1-x.
          Byte* d = cw ? dst.Scan(x) + static_cast<size_t>(h - 1 - y) * 3
                       : dst.Scan(w - 1 - x) + static_cast<size_t>(y) * 3;
          d[0] = s[0];
          d[1] = s[1];
          d[2] = s[2];
        }
      }
    }
  }
  dst.DpiX = src.DpiY;
  dst.DpiY = src.DpiX;
  return dst;
}

void FillRect(TPhoto& photo, const TRect& rect, Byte r, Byte g, Byte b) {
  const Integer l = std::max(0, rect.Left);
  const Integer t = std::max(0, rect.Top);
  const Integer rr = std::min(photo.Width(), rect.Right);
  const Integer bb = std::min(photo.Height(), rect.Bottom);
  if (l >= rr || t >= bb) return;
  for (Integer y = t; y < bb; ++y) {
    Byte* d = photo.Scan(y) + static_cast<size_t>(l) * 3;
    if (r == g && g == b) {
      std::memset(d, r, static_cast<size_t>(rr - l) * 3);
      continue;
    }
    for (Integer x = l; x < rr; ++x, d += 3) {
      d[0] = r;
      d[1] = g;
      d[2] = b;
    }
  }
}

void CopyPhoto(TPhoto& dst, Integer x, Integer y, const TPhoto& src) {
  const Integer sx = std::max(0, -x);
  const Integer sy = std::max(0, -y);
  const Integer w = std::min(src.Width(), dst.Width() - x) - sx;
  const Integer h = std::min(src.Height(), dst.Height() - y) - sy;
  if (w <= 0 || h <= 0) return;
  for (Integer row = 0; row < h; ++row)
    std::memcpy(dst.Scan(y + sy + row) + static_cast<size_t>(x + sx) * 3, src.Pixel(sx, sy + row),
                static_cast<size_t>(w) * 3);
}

}  // namespace pf::gdiplus
