// Bitmaps, blits, stretching and alpha blending.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/gdi/Gdi_p.h"

namespace pf {

using namespace gdi;

namespace {

struct Bgra {
  Byte B{0}, G{0}, R{0}, A{0};
};

Bgra Read(const PixelBuffer& pb, int x, int y) {
  const Byte* p = pb.At(x, y);
  Bgra c{p[0], p[1], p[2], 0};
  if (pb.Bpp == 32) c.A = pb.Opaque ? 0xFF : p[3];
  return c;
}

void Write(const PixelBuffer& pb, int x, int y, Bgra c) {
  Byte* p = pb.At(x, y);
  p[0] = c.B;
  p[1] = c.G;
  p[2] = c.R;
  if (pb.Bpp == 32) p[3] = pb.Opaque ? 0xFF : c.A;
}

// A blit onto a window of at least this many pixels streams its stores (about a quarter of a
// 1024 x 768 client area).
constexpr int64_t StreamPixels = 1 << 18;

// Copies 32-bit pixels onto an opaque target, whose alpha is always full. Every paint of a window
// ends so, over its whole client area: four pixels at a time where the processor can, and for a
// whole window's worth (`stream`) past the cache, which the pixels would only fill to no use
// until the window is shown (the caller fences the streamed stores).
void CopyOpaque(Byte* d, const Byte* s, int count, bool stream) {
  int i = 0;
#ifdef __SSE2__
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  for (; i < count && (reinterpret_cast<uintptr_t>(d + 4 * i) & 15) != 0; ++i) {
    uint32_t v;
    std::memcpy(&v, s + 4 * i, 4);
    v |= 0xFF000000u;
    std::memcpy(d + 4 * i, &v, 4);
  }
  for (; i + 4 <= count; i += 4) {
    const __m128i v = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * i)), alpha);
    if (stream)
      _mm_stream_si128(reinterpret_cast<__m128i*>(d + 4 * i), v);
    else
      _mm_store_si128(reinterpret_cast<__m128i*>(d + 4 * i), v);
  }
#else
  (void)stream;
#endif
  for (; i < count; ++i) {
    uint32_t v;
    std::memcpy(&v, s + 4 * i, 4);
    v |= 0xFF000000u;
    std::memcpy(d + 4 * i, &v, 4);
  }
}

// A block of source pixels, already copied out (so that a DC can blit onto itself).
struct Block {
  int Width{0}, Height{0};
  std::vector<Bgra> Px;
  std::vector<bool> Present;  // pixels that came from inside the source
  Bgra& At(int x, int y) { return Px[static_cast<size_t>(y) * Width + x]; }
};

Block Grab(const PixelBuffer& pb, const QRect& r) {
  Block b;
  b.Width = std::max(0, r.width());
  b.Height = std::max(0, r.height());
  b.Px.resize(static_cast<size_t>(b.Width) * b.Height);
  b.Present.assign(b.Px.size(), false);
  for (int y = 0; y < b.Height; ++y)
    for (int x = 0; x < b.Width; ++x) {
      int sx = r.left() + x, sy = r.top() + y;
      if (sx >= 0 && sy >= 0 && sx < pb.Width && sy < pb.Height) {
        b.At(x, y) = Read(pb, sx, sy);
        b.Present[static_cast<size_t>(y) * b.Width + x] = true;
      }
    }
  return b;
}

// The part of a w x h block placed at `at` (target coordinates) that can land on the DC: blocks
// are copied out no larger than that, so a caller's oversized rectangle costs no memory, and the
// edges are worked out in 64 bits so that a size near the integer limit cannot wrap around.
QRect PaintablePart(HDC dc, QPoint at, int64_t w, int64_t h) {
  const QRect limit = PaintableRegion(dc).boundingRect();
  if (limit.isEmpty() || w <= 0 || h <= 0) return QRect();
  const int64_t l = std::max<int64_t>(at.x(), limit.left()), t = std::max<int64_t>(at.y(), limit.top());
  const int64_t r = std::min<int64_t>(at.x() + w, limit.right() + int64_t{1});
  const int64_t b = std::min<int64_t>(at.y() + h, limit.bottom() + int64_t{1});
  if (r <= l || b <= t) return QRect();
  return QRect(static_cast<int>(l), static_cast<int>(t), static_cast<int>(r - l), static_cast<int>(b - t));
}

bool HasSource(DWORD rop) {
  return rop == SRCCOPY || rop == SRCPAINT || rop == SRCAND || rop == SRCINVERT || rop == NOTSRCCOPY;
}

// Writes a block at `at` (target coordinates) with a source raster operation, within the clip.
void Put(HDC dst, const Block& b, QPoint at, DWORD rop) {
  PixelBuffer pb = TargetOf(dst);
  QRegion area = PaintableRegion(dst) & QRect(at, QSize(b.Width, b.Height));
  for (const QRect& q : area) {
    for (int y = q.top(); y <= q.bottom(); ++y)
      for (int x = q.left(); x <= q.right(); ++x) {
        size_t i = static_cast<size_t>(y - at.y()) * b.Width + (x - at.x());
        if (!b.Present[i]) continue;
        Bgra s = b.Px[i];
        if (rop == SRCCOPY) {
          Write(pb, x, y, s);
          continue;
        }
        Bgra d = Read(pb, x, y);
        auto op = [rop](Byte sv, Byte dv) -> Byte {
          switch (rop) {
            case SRCPAINT: return sv | dv;
            case SRCAND: return sv & dv;
            case SRCINVERT: return sv ^ dv;
            default: return static_cast<Byte>(~sv);
          }
        };
        Write(pb, x, y, Bgra{op(s.B, d.B), op(s.G, d.G), op(s.R, d.R), d.A});
      }
    MarkDirty(dst, q);
  }
}

// Resamples a block to w x h: nearest pixel, or the average over each target pixel's area in
// HALFTONE mode; mirrored as asked. Only the pixels of `window` (within the w x h result; all of it
// when empty) are made, so that a stretch far larger than its target costs only what shows.
Block Resample(const Block& src, int w, int h, bool halftone, bool mirrorX = false, bool mirrorY = false,
               QRect window = QRect()) {
  if (window.isEmpty()) window = QRect(0, 0, w, h);
  Block out;
  out.Width = window.width();
  out.Height = window.height();
  out.Px.resize(static_cast<size_t>(out.Width) * out.Height);
  out.Present.assign(out.Px.size(), true);
  if (src.Width == 0 || src.Height == 0) {
    out.Present.assign(out.Px.size(), false);
    return out;
  }
  double fx = static_cast<double>(src.Width) / w, fy = static_cast<double>(src.Height) / h;
  for (int oy = 0; oy < out.Height; ++oy)
    for (int ox = 0; ox < out.Width; ++ox) {
      size_t oi = static_cast<size_t>(oy) * out.Width + ox;
      const int wx = window.left() + ox, wy = window.top() + oy;
      const int x = mirrorX ? w - 1 - wx : wx, y = mirrorY ? h - 1 - wy : wy;
      if (!halftone || (fx <= 1 && fy <= 1)) {
        int sx = std::min(src.Width - 1, static_cast<int>((x + 0.5) * fx));
        int sy = std::min(src.Height - 1, static_cast<int>((y + 0.5) * fy));
        size_t si = static_cast<size_t>(sy) * src.Width + sx;
        out.Px[oi] = src.Px[si];
        out.Present[oi] = src.Present[si];
        continue;
      }
      double x0 = x * fx, x1 = (x + 1) * fx, y0 = y * fy, y1 = (y + 1) * fy;
      double acc[4] = {0, 0, 0, 0}, total = 0;
      for (int sy = static_cast<int>(y0); sy < std::min<double>(src.Height, std::ceil(y1)); ++sy) {
        double wy = std::min<double>(sy + 1, y1) - std::max<double>(sy, y0);
        for (int sx = static_cast<int>(x0); sx < std::min<double>(src.Width, std::ceil(x1)); ++sx) {
          double wx = std::min<double>(sx + 1, x1) - std::max<double>(sx, x0);
          const Bgra& p = src.Px[static_cast<size_t>(sy) * src.Width + sx];
          double wgt = wx * wy;
          acc[0] += p.B * wgt;
          acc[1] += p.G * wgt;
          acc[2] += p.R * wgt;
          acc[3] += p.A * wgt;
          total += wgt;
        }
      }
      auto ch = [&](int i) { return static_cast<Byte>(std::clamp(std::lround(acc[i] / total), 0L, 255L)); };
      out.Px[oi] = total > 0 ? Bgra{ch(0), ch(1), ch(2), ch(3)} : Bgra{};
    }
  return out;
}

// A DIB in memory seen as a pixel buffer (24 or 32 bits, BI_RGB).
bool DibView(const BITMAPINFO* bmi, const void* bits, PixelBuffer& pb) {
  if (!bmi || !bits) return false;
  const BITMAPINFOHEADER& h = bmi->bmiHeader;
  if ((h.biBitCount != 24 && h.biBitCount != 32) || h.biCompression != BI_RGB || h.biWidth <= 0 ||
      h.biHeight == 0)
    return false;
  pb.Bits = static_cast<Byte*>(const_cast<void*>(bits));
  pb.Width = h.biWidth;
  pb.Height = std::abs(h.biHeight);
  pb.Bpp = h.biBitCount;
  pb.Stride = StrideFor(pb.Width, pb.Bpp, pb.Height);
  pb.BottomUp = h.biHeight > 0;
  return pb.Stride > 0;
}

// Stretches a source block into the logical destination rectangle (negative extents mirror).
BOOL StretchInto(HDC dst, int x, int y, int w, int h, const Block& src, bool srcMirrorX, bool srcMirrorY,
                 DWORD rop) {
  if (w == 0 || h == 0) return 1;
  bool mx = (w < 0) != srcMirrorX, my = (h < 0) != srcMirrorY;
  QRect target = ToTarget(dst, TRect{x, y, x + w, y + h});
  const QRect part = PaintablePart(dst, target.topLeft(), target.width(), target.height());
  if (part.isEmpty()) return 1;
  Block b = Resample(src, target.width(), target.height(), GetStretchBltMode(dst) == HALFTONE, mx, my,
                     part.translated(-target.topLeft()));
  Put(dst, b, part.topLeft(), rop);
  return 1;
}

// A plain copying stretch between 32-bit pixels by nearest neighbour, straight from the source:
// every thumbnail of a list is drawn so, and copying the whole source out first for each one
// costs more than the drawing. The same pixels as Resample picks. False when it does not apply.
bool StretchNearest(HDC dst, int x, int y, int w, int h, const PixelBuffer& from, const QRect& s) {
  PixelBuffer to = TargetOf(dst);
  if (from.Bpp != 32 || to.Bpp != 32 || from.Bits == to.Bits || !from.Bounds().contains(s) || s.isEmpty()) return false;
  const QRect target = ToTarget(dst, TRect{x, y, x + w, y + h});
  if (target.width() <= 0 || target.height() <= 0) return false;
  const QRect part = PaintablePart(dst, target.topLeft(), target.width(), target.height());
  if (part.isEmpty()) return true;
  const double fx = static_cast<double>(s.width()) / target.width(), fy = static_cast<double>(s.height()) / target.height();
  // Byte offsets of the source column of every target column.
  std::vector<int> columns(static_cast<size_t>(part.width()));
  for (int i = 0; i < part.width(); ++i) {
    const int ox = part.left() - target.left() + i;
    columns[static_cast<size_t>(i)] = 4 * (s.left() + std::min(s.width() - 1, static_cast<int>((ox + 0.5) * fx)));
  }
  const bool opaque = from.Opaque || to.Opaque;
  const QRegion area = PaintableRegion(dst) & part;
  for (const QRect& q : area) {
    for (int yy = q.top(); yy <= q.bottom(); ++yy) {
      const int oy = yy - target.top();
      const int sy = s.top() + std::min(s.height() - 1, static_cast<int>((oy + 0.5) * fy));
      Byte* d = to.At(q.left(), yy);
      const Byte* row = from.At(0, sy);
      const int* col = columns.data() + (q.left() - part.left());
      // Whole pixels at a time; an opaque side makes alpha full.
      const uint32_t alpha = opaque ? 0xFF000000u : 0u;
      for (int n = q.width(); n > 0; --n, d += 4) {
        uint32_t v;
        std::memcpy(&v, row + *col++, 4);
        v |= alpha;
        std::memcpy(d, &v, 4);
      }
    }
    MarkDirty(dst, q);
  }
  return true;
}

HBITMAP NewBitmap(int width, int height, int bpp, bool bottomUp, bool dib) {
  if (width <= 0 || height <= 0 || (bpp != 24 && bpp != 32) || StrideFor(width, bpp, height) == 0) return nullptr;
  auto* b = new BitmapObj();
  AllocPixels(b, width, height, bpp, bottomUp);
  b->DibSection = dib;
  RegisterObject(b);
  return b;
}

}  // namespace

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  // GDI answers a 1x1 bitmap for an empty size.
  if (width <= 0 || height <= 0) return NewBitmap(1, 1, 32, false, false);
  return NewBitmap(width, height, 32, false, false);
}

HBITMAP CreateBitmap(int width, int height, UINT, UINT bitCount, const void* bits) {
  int bpp = bitCount == 24 ? 24 : 32;
  HBITMAP h = NewBitmap(std::max(1, width), std::max(1, height), bpp, false, false);
  if (h && bits && width > 0 && height > 0) {
    // Device-dependent bitmaps have rows padded to 16 bits.
    auto* b = static_cast<BitmapObj*>(h);
    const size_t rowBytes = static_cast<size_t>(width) * (bpp / 8), srcStride = (rowBytes + 1) / 2 * 2;
    for (int y = 0; y < height; ++y)
      std::memcpy(b->Pixels.Row(y), static_cast<const Byte*>(bits) + static_cast<size_t>(y) * srcStride, rowBytes);
  }
  return h;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* bmi, UINT, void** bits, void*, DWORD) {
  if (bits) *bits = nullptr;
  if (!bmi) return nullptr;
  const BITMAPINFOHEADER& h = bmi->bmiHeader;
  if (h.biCompression != BI_RGB) return nullptr;
  HBITMAP b = NewBitmap(h.biWidth, std::abs(h.biHeight), h.biBitCount, h.biHeight > 0, true);
  if (b && bits) *bits = static_cast<BitmapObj*>(b)->Pixels.Bits;
  return b;
}

int GetDIBits(HDC, HBITMAP bmp, UINT start, UINT lines, void* bits, BITMAPINFO* bmi, UINT) {
  BitmapObj* b = AsBitmap(bmp);
  if (!b || !bmi) return 0;
  BITMAPINFOHEADER& h = bmi->bmiHeader;
  if (!bits) {
    h.biWidth = b->Pixels.Width;
    h.biHeight = b->Pixels.Height;
    h.biBitCount = static_cast<WORD>(b->Pixels.Bpp);
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(b->Pixels.Stride * b->Pixels.Height);
    return 1;
  }
  PixelBuffer out;
  BITMAPINFO want = *bmi;
  want.bmiHeader.biWidth = b->Pixels.Width;
  if (!DibView(&want, bits, out)) return 0;
  out.Height = b->Pixels.Height;
  int copied = 0;
  // Scan lines count from the bottom in a bottom-up DIB.
  // Counted unsigned: a start past the last scan copies nothing instead of wrapping to a negative row.
  for (UINT i = 0; i < lines; ++i) {
    if (uint64_t{start} + i >= static_cast<uint64_t>(b->Pixels.Height)) break;
    int scan = static_cast<int>(start + i);
    int srcRow = out.BottomUp ? b->Pixels.Height - 1 - scan : scan;
    Byte* dstRow = static_cast<Byte*>(bits) + static_cast<size_t>(i) * out.Stride;
    for (int x = 0; x < b->Pixels.Width; ++x) {
      Bgra c = Read(b->Pixels, x, srcRow);
      Byte* p = dstRow + x * (out.Bpp / 8);
      p[0] = c.B;
      p[1] = c.G;
      p[2] = c.R;
      if (out.Bpp == 32) p[3] = c.A;
    }
    ++copied;
  }
  return copied;
}

BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
  if (!IsLiveDC(dst)) return 0;
  if (!HasSource(rop)) return PatBlt(dst, x, y, w, h, rop);
  if (!IsLiveDC(src)) return 0;
  PixelBuffer from = TargetOf(src);
  if (!TargetOf(dst).Valid() || !from.Valid()) return 1;
  QPoint at = ToTarget(dst, x, y);
  const QRect part = PaintablePart(dst, at, w, h);
  if (part.isEmpty()) return 1;
  // The source's clip does not apply; its origins do.
  QRect srcRect(ToTarget(src, sx, sy) + (part.topLeft() - at), part.size());
  at = part.topLeft();
  PixelBuffer to = TargetOf(dst);
  if (rop == SRCCOPY && from.Bpp == 32 && to.Bpp == 32 && from.Bits != to.Bits && from.Bounds().contains(srcRect)) {
    // Rows copied whole: every paint of a window ends with such a blit of its back buffer.
    QRegion area = PaintableRegion(dst) & part;
    const bool stream = to.Opaque && int64_t{part.width()} * part.height() >= StreamPixels;
    for (const QRect& q : area) {
      for (int yy = q.top(); yy <= q.bottom(); ++yy) {
        const Byte* s = from.At(srcRect.left() + (q.left() - at.x()), srcRect.top() + (yy - at.y()));
        Byte* d = to.At(q.left(), yy);
        if (to.Opaque)
          CopyOpaque(d, s, q.width(), stream);
        else
          std::memcpy(d, s, static_cast<size_t>(q.width()) * 4);
      }
      MarkDirty(dst, q);
    }
#ifdef __SSE2__
    if (stream) _mm_sfence();
#endif
    return 1;
  }
  Put(dst, Grab(from, srcRect), at, rop);
  return 1;
}

BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, DWORD rop) {
  if (!IsLiveDC(dst) || !IsLiveDC(src) || !HasSource(rop)) return 0;
  PixelBuffer from = TargetOf(src);
  if (!TargetOf(dst).Valid() || !from.Valid()) return 1;
  if (sw == 0 || sh == 0) return 1;
  QRect s = ToTarget(src, TRect{sx, sy, sx + sw, sy + sh});
  if (rop == SRCCOPY && sw > 0 && sh > 0 && w > 0 && h > 0 && GetStretchBltMode(dst) != HALFTONE &&
      StretchNearest(dst, x, y, w, h, from, s))
    return 1;
  return StretchInto(dst, x, y, w, h, Grab(from, s), sw < 0, sh < 0, rop);
}

int StretchDIBits(HDC dc, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                  const BITMAPINFO* bmi, UINT, DWORD rop) {
  if (!IsLiveDC(dc) || !HasSource(rop)) return 0;
  PixelBuffer dib;
  if (!DibView(bmi, bits, dib)) return 0;
  if (!TargetOf(dc).Valid()) return std::abs(sh);
  if (sw == 0 || sh == 0) return 0;
  int l = std::min(sx, sx + sw), t = std::min(sy, sy + sh);
  int aw = std::abs(sw), ah = std::abs(sh);
  // In a bottom-up DIB the source's y counts from the bottom row.
  if (dib.BottomUp) t = dib.Height - t - ah;
  StretchInto(dc, x, y, w, h, Grab(dib, QRect(l, t, aw, ah)), sw < 0, sh < 0, rop);
  return ah;
}

int SetDIBitsToDevice(HDC dc, int x, int y, DWORD w, DWORD h, int sx, int sy, UINT startScan, UINT lines,
                      const void* bits, const BITMAPINFO* bmi, UINT) {
  if (!IsLiveDC(dc)) return 0;
  PixelBuffer dib;
  if (!DibView(bmi, bits, dib)) return 0;
  if (!TargetOf(dc).Valid()) return static_cast<int>(lines);
  const QPoint at = ToTarget(dc, x, y);
  const QRect part = PaintablePart(dc, at, w, h);
  if (part.isEmpty()) return static_cast<int>(lines);
  Block b;
  b.Width = part.width();
  b.Height = part.height();
  b.Px.resize(static_cast<size_t>(b.Width) * b.Height);
  b.Present.assign(b.Px.size(), false);
  // `bits` holds scans startScan .. startScan + lines - 1 only; scans count from the bottom row
  // of a bottom-up DIB and from the top row of a top-down one. (j, i) is the pixel's place in the
  // whole w x h rectangle, of which the block is the part that can be painted.
  const int64_t first = startScan, last = int64_t{startScan} + lines;
  for (int bj = 0; bj < b.Height; ++bj) {
    const int64_t j = bj + int64_t{part.top()} - at.y();
    const int64_t scan = dib.BottomUp ? sy + (int64_t{h} - 1 - j) : sy + j;
    if (scan < first || scan >= last || scan >= dib.Height) continue;
    const Byte* row = dib.Bits + static_cast<size_t>(scan - first) * dib.Stride;
    for (int bi = 0; bi < b.Width; ++bi) {
      const int64_t px = sx + (bi + int64_t{part.left()} - at.x());
      if (px < 0 || px >= dib.Width) continue;
      const Byte* p = row + px * (dib.Bpp / 8);
      size_t o = static_cast<size_t>(bj) * b.Width + bi;
      b.Px[o] = Bgra{p[0], p[1], p[2], dib.Bpp == 32 ? p[3] : Byte{0}};
      b.Present[o] = true;
    }
  }
  Put(dc, b, part.topLeft(), SRCCOPY);
  return static_cast<int>(lines);
}

BOOL AlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, BLENDFUNCTION bf) {
  if (!IsLiveDC(dst) || !IsLiveDC(src) || bf.BlendOp != AC_SRC_OVER) return 0;
  if (w < 0 || h < 0 || sw < 0 || sh < 0) return 0;
  PixelBuffer from = TargetOf(src), to = TargetOf(dst);
  if (!from.Valid() || !to.Valid()) return 0;
  QRect s(ToTarget(src, sx, sy), QSize(sw, sh));
  // GDI refuses a source rectangle that leaves the source bitmap.
  if (!from.Bounds().contains(s) && sw > 0 && sh > 0) return 0;
  QPoint at = ToTarget(dst, x, y);
  const QRect part = PaintablePart(dst, at, w, h);
  if (part.isEmpty()) return 1;
  // Only what lands on the target is copied out, and (when the size changes) resampled.
  const QPoint skip = part.topLeft() - at;
  Block b = (sw != w || sh != h) ? Resample(Grab(from, s), w, h, false, false, false, part.translated(-at))
                                 : Grab(from, QRect(s.topLeft() + skip, part.size()));
  at = part.topLeft();
  int sca = bf.SourceConstantAlpha;
  bool perPixel = (bf.AlphaFormat & AC_SRC_ALPHA) != 0;
  QRegion area = PaintableRegion(dst) & part;
  auto div255 = [](int v) { return (v + 127) / 255; };
  for (const QRect& q : area) {
    for (int yy = q.top(); yy <= q.bottom(); ++yy)
      for (int xx = q.left(); xx <= q.right(); ++xx) {
        size_t i = static_cast<size_t>(yy - at.y()) * b.Width + (xx - at.x());
        if (!b.Present[i]) continue;
        Bgra sp = b.Px[i], dp = Read(to, xx, yy);
        Bgra out;
        if (perPixel) {
          // The source is premultiplied: its colour is added over what its alpha leaves.
          int sa = div255(sp.A * sca);
          auto ch = [&](int sv, int dv) { return static_cast<Byte>(std::min(255, div255(sv * sca) + div255(dv * (255 - sa)))); };
          out = Bgra{ch(sp.B, dp.B), ch(sp.G, dp.G), ch(sp.R, dp.R), ch(sp.A, dp.A)};
        } else {
          auto ch = [&](int sv, int dv) { return static_cast<Byte>(div255(sv * sca + dv * (255 - sca))); };
          out = Bgra{ch(sp.B, dp.B), ch(sp.G, dp.G), ch(sp.R, dp.R), ch(sp.A, dp.A)};
        }
        Write(to, xx, yy, out);
      }
    MarkDirty(dst, q);
  }
  return 1;
}

HGDIOBJ CopyImage(HGDIOBJ image, UINT type, int cx, int cy, UINT flags) {
  BitmapObj* src = AsBitmap(image);
  if (type != IMAGE_BITMAP || !src) return nullptr;
  int w = cx > 0 ? cx : src->Pixels.Width, h = cy > 0 ? cy : src->Pixels.Height;
  if ((flags & LR_COPYRETURNORG) && !src->DibSection && w == src->Pixels.Width && h == src->Pixels.Height)
    return image;
  HBITMAP copy = (flags & LR_CREATEDIBSECTION) ? NewBitmap(w, h, src->Pixels.Bpp, false, true)
                                               : NewBitmap(w, h, 32, false, false);
  if (!copy) return nullptr;
  auto* dst = static_cast<BitmapObj*>(copy);
  Block b = Grab(src->Pixels, src->Pixels.Bounds());
  if (w != src->Pixels.Width || h != src->Pixels.Height) b = Resample(b, w, h, true);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Write(dst->Pixels, x, y, b.Px[static_cast<size_t>(y) * w + x]);
  if (flags & LR_COPYDELETEORG) DeleteObject(image);
  return copy;
}

BOOL GdiFlush() { return 1; }

}  // namespace pf
