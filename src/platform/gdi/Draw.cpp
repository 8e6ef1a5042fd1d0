// Filling, frames, lines and shapes with GDI's pixel rules.

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/gdi/Gdi_p.h"
#include "platform/rtl/Format.h"

namespace pf {

using namespace gdi;

namespace gdi {

void PutColor(const PixelBuffer& pb, int x, int y, COLORREF c) {
  Byte* p = pb.At(x, y);
  p[0] = GetBValue(c);
  p[1] = GetGValue(c);
  p[2] = GetRValue(c);
  // GDI's primitives leave a 32-bit bitmap's alpha byte at zero; window surfaces stay opaque.
  if (pb.Bpp == 32) p[3] = pb.Opaque ? 0xFF : 0;
}

COLORREF GetColor(const PixelBuffer& pb, int x, int y) {
  const Byte* p = pb.At(x, y);
  return RGB(p[2], p[1], p[0]);
}

namespace {
COLORREF ApplyRop2(int rop, COLORREF pen, COLORREF dst) {
  switch (rop) {
    case R2_BLACK: return 0;
    case R2_WHITE: return 0xFFFFFF;
    case R2_NOP: return dst;
    case R2_NOT: return ~dst & 0xFFFFFF;
    case R2_XORPEN: return (pen ^ dst) & 0xFFFFFF;
    case R2_NOTXORPEN: return ~(pen ^ dst) & 0xFFFFFF;
    case R2_MASKPEN: return pen & dst;
    case R2_MERGEPEN: return (pen | dst) & 0xFFFFFF;
    default: return pen;
  }
}
}  // namespace

namespace {
// The processor's string store fills a long row about twice as fast as a loop of vector stores.
void FillRow(uint32_t* row, int count, uint32_t value) {
#if defined(__x86_64__)
  if (count >= 256) {
    size_t n = static_cast<size_t>(count);
    asm volatile("rep stosl" : "+D"(row), "+c"(n) : "a"(value) : "memory");
    return;
  }
#endif
  std::fill_n(row, count, value);
}

// The part of a DC's target that can be painted, when it is one rectangle: without a clip, or with
// a clip and a system region of one rectangle each. False when it is more.
bool PaintableRect(HDC dc, const PixelBuffer& pb, QRect& out) {
  QRect r = pb.Bounds();
  if (dc->HasSystemRegion) {
    if (dc->SystemRegion.rectCount() > 1) return false;
    r &= dc->SystemRegion.boundingRect();
  }
  if (dc->S.Clip) {
    if (dc->S.Clip->rectCount() > 1) return false;
    r &= dc->S.Clip->boundingRect().translated(dc->DeviceOrigin);
  }
  out = r;
  return true;
}

// Rows are filled in the order they lie in memory: a bottom-up bitmap (every back buffer) filled
// from its top row writes backwards through memory, which the processor's prefetching does not
// follow, and a window's background then takes twice as long on memory the cache no longer holds.
void FillBlock(HDC dc, const PixelBuffer& pb, const QRect& q, uint32_t value) {
  Byte* row = pb.At(q.left(), pb.BottomUp ? q.bottom() : q.top());
  if (q.width() == 1) {
    // The sides of a frame.
    for (int i = 0; i < q.height(); ++i, row += pb.Stride) std::memcpy(row, &value, 4);
  } else {
    for (int i = 0; i < q.height(); ++i, row += pb.Stride) FillRow(reinterpret_cast<uint32_t*>(row), q.width(), value);
  }
  MarkDirty(dc, q);
}

uint32_t FillValue(const PixelBuffer& pb, COLORREF c) {
  return (uint32_t{GetRValue(c)} << 16) | (uint32_t{GetGValue(c)} << 8) | GetBValue(c) | (pb.Opaque ? 0xFF000000u : 0u);
}

// Fills rectangles that do not overlap (target coordinates). The frames and cells of a list's
// items are drawn so by the hundred on every paint: where the paintable part is one rectangle,
// each is cut to it without the region arithmetic a region's fill needs.
void FillRects(HDC dc, const QRect* rects, int count, COLORREF c) {
  PixelBuffer pb = TargetOf(dc);
  if (!pb.Valid()) return;
  QRect paintable;
  if (pb.Bpp == 32 && PaintableRect(dc, pb, paintable)) {
    const uint32_t value = FillValue(pb, c);
    for (int i = 0; i < count; ++i) {
      const QRect q = rects[i] & paintable;
      if (!q.isEmpty()) FillBlock(dc, pb, q, value);
    }
    return;
  }
  QRegion rgn;
  for (int i = 0; i < count; ++i) rgn += rects[i];
  FillRegion(dc, rgn, c);
}
}  // namespace

void FillRegion(HDC dc, const QRegion& rgn, COLORREF c) {
  PixelBuffer pb = TargetOf(dc);
  if (!pb.Valid()) return;
  if (pb.Bpp != 32) {
    Rop2Region(dc, rgn, c, R2_COPYPEN);
    return;
  }
  // Whole rows at once: the list view fills its full background on every paint.
  const uint32_t value = FillValue(pb, c);
  QRect paintable;
  const bool simple = PaintableRect(dc, pb, paintable);
  const QRegion r = simple ? rgn : rgn & PaintableRegion(dc);
  auto fill = [&](const QRect& q) {
    const QRect part = simple ? q & paintable : q;
    if (!part.isEmpty()) FillBlock(dc, pb, part, value);
  };
  // A bottom-up bitmap's lowest rectangles lie first in memory.
  if (pb.BottomUp)
    std::for_each(std::make_reverse_iterator(r.end()), std::make_reverse_iterator(r.begin()), fill);
  else
    std::for_each(r.begin(), r.end(), fill);
}

void Rop2Region(HDC dc, const QRegion& rgn, COLORREF c, int rop) {
  PixelBuffer pb = TargetOf(dc);
  if (!pb.Valid() || rop == R2_NOP) return;
  if (rop == R2_COPYPEN && pb.Bpp == 32) {
    FillRegion(dc, rgn, c);
    return;
  }
  QRegion r = rgn & PaintableRegion(dc);
  for (const QRect& q : r) {
    for (int y = q.top(); y <= q.bottom(); ++y)
      for (int x = q.left(); x <= q.right(); ++x) {
        if (rop == R2_COPYPEN) {
          PutColor(pb, x, y, c);
        } else {
          // Raster operations other than copy keep the alpha byte: inverting twice restores a pixel.
          COLORREF v = ApplyRop2(rop, c, GetColor(pb, x, y));
          Byte* p = pb.At(x, y);
          p[0] = GetBValue(v);
          p[1] = GetGValue(v);
          p[2] = GetRValue(v);
        }
      }
    MarkDirty(dc, q);
  }
}

#ifdef __SSE2__
namespace {
// Four 32-bit pixels at a time, each channel mixed exactly as the scalar rule below mixes it:
// (d * (255 - cov) + c * cov + 127) / 255, the division as (x + 1 + (x >> 8)) >> 8, which is exact
// for every x up to 255 * 255 + 127. A pixel without coverage keeps its alpha byte too.
int BlendFour(Byte* p, const Byte* m, int count, COLORREF c, Byte alpha) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i colour = _mm_set_epi16(0, GetRValue(c), GetGValue(c), GetBValue(c), 0, GetRValue(c), GetGValue(c),
                                       GetBValue(c));
  const __m128i full = _mm_set1_epi16(255), half = _mm_set1_epi16(127), one = _mm_set1_epi16(1);
  const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(uint32_t{alpha} << 24));
  const __m128i alphaLanes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    uint32_t cov4;
    std::memcpy(&cov4, m + i, 4);
    if (cov4 == 0) continue;
    const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * i));
    __m128i cov = _mm_cvtsi32_si128(static_cast<int>(cov4));
    cov = _mm_unpacklo_epi8(cov, cov);
    cov = _mm_unpacklo_epi8(cov, cov);  // each pixel's coverage in its four bytes
    auto mix = [&](__m128i d, __m128i a) {
      __m128i x = _mm_add_epi16(_mm_mullo_epi16(d, _mm_sub_epi16(full, a)), _mm_mullo_epi16(colour, a));
      x = _mm_add_epi16(x, half);
      return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8)), 8);
    };
    __m128i out = _mm_packus_epi16(mix(_mm_unpacklo_epi8(px, zero), _mm_unpacklo_epi8(cov, zero)),
                                   mix(_mm_unpackhi_epi8(px, zero), _mm_unpackhi_epi8(cov, zero)));
    // Alpha: the written value where there is coverage, the old byte where there is none.
    const __m128i covered = _mm_andnot_si128(_mm_cmpeq_epi32(_mm_and_si128(cov, alphaLanes), zero), alphaLanes);
    out = _mm_or_si128(_mm_andnot_si128(alphaLanes, out),
                       _mm_or_si128(_mm_and_si128(covered, alphaBytes), _mm_andnot_si128(covered, _mm_and_si128(px, alphaLanes))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * i), out);
  }
  return i;
}
}  // namespace
#endif

void BlendMask(HDC dc, const TGlyphMask& mask, QPoint origin, const QRegion& clip, COLORREF c) {
  const QSize size(mask.Width, mask.Height);
  BlendCoverage(dc, TCoverageView{mask.Coverage.data(), mask.Width, QRect(QPoint(0, 0), size), size}, origin, clip, c);
}

void BlendCoverage(HDC dc, const TCoverageView& coverage, QPoint origin, const QRegion& clip, COLORREF c) {
  PixelBuffer pb = TargetOf(dc);
  if (!pb.Valid() || coverage.Size.isEmpty()) return;
  QRegion r = clip & PaintableRegion(dc) & QRect(origin, coverage.Size);
  const QRect inked = coverage.Inked.translated(origin);
  // Every caption of a list comes through here: rows are walked by pointer, each pixel as
  // PutColor would write it.
  const int step = pb.Bpp / 8;
  const Byte alpha = pb.Opaque ? 0xFF : 0;
  const Byte cb = GetBValue(c), cg = GetGValue(c), cr = GetRValue(c);
  for (const QRect& q : r) {
    // Pixels beside the ink have no coverage and stay as they are.
    const QRect part = q & inked;
    for (int y = part.top(); y <= part.bottom(); ++y) {
      const Byte* m = coverage.Data + static_cast<ptrdiff_t>(y - inked.top()) * coverage.Stride + (part.left() - inked.left());
      Byte* p = pb.At(part.left(), y);
      int x = part.left();
#ifdef __SSE2__
      if (step == 4) {
        const int done = BlendFour(p, m, part.width(), c, alpha);
        x += done;
        m += done;
        p += 4 * done;
      }
#endif
      for (; x <= part.right(); ++x, ++m, p += step) {
        const int cov = *m;
        if (cov == 0) continue;
        auto mix = [cov](int dv, int cv) { return static_cast<Byte>((dv * (255 - cov) + cv * cov + 127) / 255); };
        if (cov == 255) {
          p[0] = cb;
          p[1] = cg;
          p[2] = cr;
        } else {
          p[0] = mix(p[0], cb);
          p[1] = mix(p[1], cg);
          p[2] = mix(p[2], cr);
        }
        if (step == 4) p[3] = alpha;
      }
    }
    MarkDirty(dc, q);
  }
}

COLORREF BrushColor(HBRUSH brush, bool* hollow) {
  *hollow = false;
  // The platform's idiom (HBRUSH)(COLOR_x + 1) names a system colour.
  auto value = reinterpret_cast<uintptr_t>(brush);
  if (value > 0 && value <= 31) return GetSysColor(static_cast<int>(value) - 1);
  BrushObj* b = AsBrush(brush);
  if (!b || b->Log.lbStyle == BS_NULL) {
    *hollow = true;
    return 0;
  }
  return b->Log.lbColor & 0xFFFFFF;
}

}  // namespace gdi

namespace {

bool Live(HDC dc) { return IsLiveDC(dc) && TargetOf(dc).Valid(); }

// A rectangle as GDI's fill calls take it: reversed edges make it empty.
QRect FillArea(HDC dc, const TRect& r) {
  if (r.Right <= r.Left || r.Bottom <= r.Top) return QRect();
  return ToTarget(dc, r);
}

QRegion FrameOf(const QRect& r, int w, int h) {
  if (r.isEmpty()) return QRegion();
  QRect inner = r.adjusted(w, h, -w, -h);
  return inner.isEmpty() ? QRegion(r) : QRegion(r) - QRegion(inner);
}

// The device pattern of a focus rectangle: every other pixel, aligned to device coordinates.
QRegion Checker(const QRegion& area, QPoint deviceOrigin) {
  QRegion out;
  for (const QRect& q : area)
    for (int y = q.top(); y <= q.bottom(); ++y)
      for (int x = q.left(); x <= q.right(); ++x)
        if (((x - deviceOrigin.x() + y - deviceOrigin.y()) & 1) == 0) out += QRect(x, y, 1, 1);
  return out;
}

PenObj* CurrentPen(HDC dc) {
  PenObj* p = AsPen(dc->S.Pen);
  return p ? p : AsPen(GetStockObject(BLACK_PEN));
}

// Dash patterns of one-pixel pens, in pixels: on, off, on, off...
const std::vector<int>& DashPattern(int style) {
  static const std::vector<int> solid, dash{18, 6}, dot{3, 3}, dashdot{9, 6, 3, 6},
      dashdotdot{9, 3, 3, 3, 3, 3};
  switch (style) {
    case PS_DASH: return dash;
    case PS_DOT: return dot;
    case PS_DASHDOT: return dashdot;
    case PS_DASHDOTDOT: return dashdotdot;
    default: return solid;
  }
}

// Draws the pen from `a` to `b` (logical), leaving out the end pixel, as GDI's LineTo does.
void PenLine(HDC dc, QPoint a, QPoint b) {
  PenObj* pen = CurrentPen(dc);
  if (pen->Style == PS_NULL) return;
  QPoint ta = ToTarget(dc, a.x(), a.y()), tb = ToTarget(dc, b.x(), b.y());
  int x = ta.x(), y = ta.y(), x1 = tb.x(), y1 = tb.y();
  int dx = std::abs(x1 - x), dy = -std::abs(y1 - y);
  int sx = x < x1 ? 1 : -1, sy = y < y1 ? 1 : -1;
  int err = dx + dy;
  const auto& pattern = DashPattern(pen->Style);
  int patternIndex = 0, patternLeft = pattern.empty() ? 0 : pattern[0];
  QRegion on, off;
  int w = std::max(1, pen->Width);
  if (pattern.empty() && (y == y1 || x == x1) && !(x == x1 && y == y1)) {
    // Solid horizontal and vertical lines, the common case (grid lines, gradients), in one piece.
    QRect run = y == y1 ? QRect(QPoint(std::min(x, x1 - sx), y), QPoint(std::max(x, x1 - sx), y))
                        : QRect(QPoint(x, std::min(y, y1 - sy)), QPoint(x, std::max(y, y1 - sy)));
    if (w > 1) run.adjust(-(w / 2), -(w / 2), w - 1 - w / 2, w - 1 - w / 2);
    Rop2Region(dc, QRegion(run), pen->Color, dc->S.Rop2);
    return;
  }
  while (!(x == x1 && y == y1)) {
    bool drawOn = pattern.empty() || (patternIndex % 2 == 0);
    QRect px = w == 1 ? QRect(x, y, 1, 1) : QRect(x - w / 2, y - w / 2, w, w);
    (drawOn ? on : off) += px;
    if (!pattern.empty() && --patternLeft == 0) {
      patternIndex = (patternIndex + 1) % static_cast<int>(pattern.size());
      patternLeft = pattern[static_cast<size_t>(patternIndex)];
    }
    int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
  Rop2Region(dc, on, pen->Color, dc->S.Rop2);
  if (!off.isEmpty() && dc->S.BkMode == OPAQUE) FillRegion(dc, off, dc->S.BkColor);
}

// Shapes other than rectangles are drawn through a coverage mask without smoothing; the mask
// covers `box` (target coordinates).
TGlyphMask ShapeMask(const QRect& box, const std::function<void(QPainter&)>& paint) {
  TGlyphMask m;
  m.Width = box.width();
  m.Height = box.height();
  m.Coverage.assign(static_cast<size_t>(m.Width) * m.Height, 0);
  QImage img(m.Coverage.data(), m.Width, m.Height, m.Width, QImage::Format_Alpha8);
  {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.translate(-box.left(), -box.top());
    paint(p);
  }
  for (Byte& b : m.Coverage) b = b >= 128 ? 255 : 0;
  return m;
}

void FillAndFrameShape(HDC dc, const QRect& t, const std::function<void(QPainter&, bool fill)>& shape) {
  // The shape with a pixel to spare around it, cut to what can be painted: a shape far larger
  // than the target must not cost a mask of its own size.
  const QRect box = t.adjusted(-1, -1, 1, 1) & PaintableRegion(dc).boundingRect();
  if (box.isEmpty()) return;
  bool hollow = false;
  COLORREF brush = BrushColor(dc->S.Brush, &hollow);
  if (!hollow) {
    TGlyphMask m = ShapeMask(box, [&](QPainter& p) { shape(p, true); });
    BlendMask(dc, m, box.topLeft(), QRegion(box), brush);
  }
  PenObj* pen = CurrentPen(dc);
  if (pen->Style != PS_NULL) {
    TGlyphMask m = ShapeMask(box, [&](QPainter& p) { shape(p, false); });
    BlendMask(dc, m, box.topLeft(), QRegion(box), pen->Color);
  }
}

}  // namespace

int FillRect(HDC dc, const TRect* r, HBRUSH brush) {
  if (!Live(dc) || !r) return 0;
  bool hollow = false;
  COLORREF c = BrushColor(brush, &hollow);
  if (hollow) return 1;
  const QRect area = FillArea(dc, *r);
  FillRects(dc, &area, 1, c);
  return 1;
}

int FrameRect(HDC dc, const TRect* r, HBRUSH brush) {
  if (!Live(dc) || !r) return 0;
  bool hollow = false;
  COLORREF c = BrushColor(brush, &hollow);
  if (hollow) return 1;
  // The frame as four edges that do not overlap (the whole rectangle when nothing is inside it).
  const QRect a = FillArea(dc, *r);
  if (a.width() <= 2 || a.height() <= 2) {
    FillRects(dc, &a, 1, c);
  } else {
    const QRect edges[4] = {QRect(a.left(), a.top(), a.width(), 1), QRect(a.left(), a.top() + 1, 1, a.height() - 2),
                            QRect(a.right(), a.top() + 1, 1, a.height() - 2), QRect(a.left(), a.bottom(), a.width(), 1)};
    FillRects(dc, edges, 4, c);
  }
  return 1;
}

BOOL InvertRect(HDC dc, const TRect* r) {
  if (!Live(dc) || !r) return 0;
  Rop2Region(dc, QRegion(FillArea(dc, *r)), 0, R2_NOT);
  return 1;
}

BOOL DrawFocusRect(HDC dc, const TRect* r) {
  if (!Live(dc) || !r) return 0;
  // The dots are laid out pixel by pixel, so only over the part of the frame that can show.
  QRegion frame = FrameOf(FillArea(dc, *r), 1, 1) & PaintableRegion(dc);
  Rop2Region(dc, Checker(frame, dc->DeviceOrigin), 0xFFFFFF, R2_XORPEN);
  return 1;
}

BOOL PatBlt(HDC dc, int x, int y, int w, int h, DWORD rop) {
  if (!Live(dc)) return 0;
  QRegion area(ToTarget(dc, TRect{x, y, x + w, y + h}));
  bool hollow = false;
  COLORREF brush = BrushColor(dc->S.Brush, &hollow);
  switch (rop) {
    case PATCOPY:
      if (!hollow) FillRegion(dc, area, brush);
      return 1;
    case PATINVERT:
      if (!hollow) Rop2Region(dc, area, brush, R2_XORPEN);
      return 1;
    case DSTINVERT: Rop2Region(dc, area, 0, R2_NOT); return 1;
    case BLACKNESS: FillRegion(dc, area, 0); return 1;
    case WHITENESS: FillRegion(dc, area, 0xFFFFFF); return 1;
    default: return 0;
  }
}

BOOL FillRgn(HDC dc, HRGN rgn, HBRUSH brush) {
  if (!Live(dc) || !AsRegion(rgn)) return 0;
  bool hollow = false;
  COLORREF c = BrushColor(brush, &hollow);
  QPoint shift = ToTarget(dc, 0, 0);
  if (!hollow) FillRegion(dc, RegionOf(rgn).translated(shift), c);
  return 1;
}

BOOL FrameRgn(HDC dc, HRGN rgn, HBRUSH brush, int w, int h) {
  if (!Live(dc) || !AsRegion(rgn)) return 0;
  bool hollow = false;
  COLORREF c = BrushColor(brush, &hollow);
  QRegion r = RegionOf(rgn).translated(ToTarget(dc, 0, 0));
  QRegion inner = r;
  // The frame is what the region loses when shrunk by w and h on each side.
  inner &= r.translated(w, 0);
  inner &= r.translated(-w, 0);
  inner &= r.translated(0, h);
  inner &= r.translated(0, -h);
  if (!hollow) FillRegion(dc, r - inner, c);
  return 1;
}

BOOL MoveToEx(HDC dc, int x, int y, TPoint* old) {
  if (!IsLiveDC(dc)) return 0;
  if (old) *old = dc->S.PenPos;
  dc->S.PenPos = TPoint{x, y};
  return 1;
}

BOOL LineTo(HDC dc, int x, int y) {
  if (!IsLiveDC(dc)) return 0;
  if (TargetOf(dc).Valid()) PenLine(dc, QPoint(dc->S.PenPos.X, dc->S.PenPos.Y), QPoint(x, y));
  dc->S.PenPos = TPoint{x, y};
  return 1;
}

// A line from the pen position to the arc's start, then the arc counter-clockwise (y grows
// downwards, so a positive sweep turns upwards from 0 degrees); the pen ends at the arc's end.
BOOL AngleArc(HDC dc, int x, int y, DWORD r, float startAngle, float sweepAngle) {
  if (!IsLiveDC(dc)) return 0;
  const double rad = 3.14159265358979323846 / 180.0;
  auto at = [&](double deg) {
    return TPoint{x + static_cast<int>(Round(r * std::cos(deg * rad))), y - static_cast<int>(Round(r * std::sin(deg * rad)))};
  };
  TPoint p = at(startAngle);
  LineTo(dc, p.X, p.Y);
  // Segments about a pixel long follow the circle closely enough for a pen of one pixel.
  const int steps = std::max(1, static_cast<int>(std::ceil(std::fabs(sweepAngle) * rad * std::max<DWORD>(r, 1))));
  for (int i = 1; i <= steps; ++i) {
    TPoint q = at(startAngle + sweepAngle * i / steps);
    if (TargetOf(dc).Valid()) PenLine(dc, QPoint(p.X, p.Y), QPoint(q.X, q.Y));
    p = q;
  }
  dc->S.PenPos = p;
  return 1;
}

BOOL Polyline(HDC dc, const TPoint* pts, int count) {
  if (!Live(dc) || !pts || count < 2) return 0;
  for (int i = 1; i < count; ++i) PenLine(dc, QPoint(pts[i - 1].X, pts[i - 1].Y), QPoint(pts[i].X, pts[i].Y));
  // Polyline draws the last point, unlike LineTo.
  PenObj* pen = CurrentPen(dc);
  if (pen->Style != PS_NULL) {
    QPoint t = ToTarget(dc, pts[count - 1].X, pts[count - 1].Y);
    Rop2Region(dc, QRegion(QRect(t, QSize(1, 1))), pen->Color, dc->S.Rop2);
  }
  return 1;
}

BOOL Polygon(HDC dc, const TPoint* pts, int count) {
  if (!Live(dc) || !pts || count < 2) return 0;
  QPolygon poly;
  for (int i = 0; i < count; ++i) poly << ToTarget(dc, pts[i].X, pts[i].Y);
  QRect bounds = poly.boundingRect();
  FillAndFrameShape(dc, bounds, [&](QPainter& p, bool fill) {
    if (fill) {
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::black);
    } else {
      p.setPen(QPen(Qt::black, 0));
      p.setBrush(Qt::NoBrush);
    }
    p.drawPolygon(poly);
  });
  return 1;
}

BOOL Rectangle(HDC dc, int l, int t, int r, int b) {
  if (!Live(dc)) return 0;
  QRect area = ToTarget(dc, TRect{l, t, r, b});
  if (area.isEmpty()) return 1;
  PenObj* pen = CurrentPen(dc);
  bool hollow = false;
  COLORREF brush = BrushColor(dc->S.Brush, &hollow);
  if (pen->Style == PS_NULL) {
    // Without a pen GDI fills one pixel less on the right and bottom.
    if (!hollow) FillRegion(dc, QRegion(area.adjusted(0, 0, -1, -1)), brush);
    return 1;
  }
  int w = std::max(1, pen->Width);
  QRect inside = area.adjusted(w, w, -w, -w);
  if (!hollow && !inside.isEmpty()) FillRegion(dc, QRegion(inside), brush);
  Rop2Region(dc, FrameOf(area, w, w), pen->Color, dc->S.Rop2);
  return 1;
}

BOOL RoundRect(HDC dc, int l, int t, int r, int b, int w, int h) {
  if (!Live(dc)) return 0;
  QRect area = ToTarget(dc, TRect{l, t, r, b});
  if (area.isEmpty()) return 1;
  FillAndFrameShape(dc, area, [&](QPainter& p, bool fill) {
    QRectF box(area.left(), area.top(), area.width() - 1, area.height() - 1);
    if (fill) {
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::black);
      box = QRectF(area.left(), area.top(), area.width(), area.height());
    } else {
      p.setPen(QPen(Qt::black, 0));
      p.setBrush(Qt::NoBrush);
    }
    p.drawRoundedRect(box, std::abs(w) / 2.0, std::abs(h) / 2.0);
  });
  return 1;
}

BOOL Ellipse(HDC dc, int l, int t, int r, int b) {
  if (!Live(dc)) return 0;
  QRect area = ToTarget(dc, TRect{l, t, r, b});
  if (area.isEmpty()) return 1;
  FillAndFrameShape(dc, area, [&](QPainter& p, bool fill) {
    if (fill) {
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::black);
      p.drawEllipse(QRectF(area));
    } else {
      p.setPen(QPen(Qt::black, 0));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QRectF(area.left(), area.top(), area.width() - 1, area.height() - 1));
    }
  });
  return 1;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF c) {
  if (!Live(dc)) return CLR_INVALID;
  QPoint t = ToTarget(dc, x, y);
  if (!PaintableRegion(dc).contains(t)) return CLR_INVALID;
  FillRegion(dc, QRegion(QRect(t, QSize(1, 1))), c & 0xFFFFFF);
  return c & 0xFFFFFF;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  if (!Live(dc)) return CLR_INVALID;
  QPoint t = ToTarget(dc, x, y);
  if (!PaintableRegion(dc).contains(t)) return CLR_INVALID;
  return GetColor(TargetOf(dc), t.x(), t.y());
}

// ---- Edges ----

BOOL DrawEdge(HDC dc, TRect* rc, UINT edge, UINT flags) {
  if (!Live(dc) || !rc) return 0;
  TRect r = *rc;
  // One ring per border: the outer ring first, then the inner one.
  struct Ring {
    UINT raised, sunken;
  } rings[2] = {{BDR_RAISEDOUTER, BDR_SUNKENOUTER}, {BDR_RAISEDINNER, BDR_SUNKENINNER}};
  for (int i = 0; i < 2; ++i) {
    bool raised = (edge & rings[i].raised) != 0, sunken = (edge & rings[i].sunken) != 0;
    if (!raised && !sunken) continue;
    COLORREF tl, br;
    if (flags & BF_MONO) {
      tl = br = GetSysColor(i == 0 ? COLOR_WINDOWFRAME : COLOR_WINDOW);
    } else if (flags & BF_FLAT) {
      tl = br = GetSysColor(i == 0 ? COLOR_BTNSHADOW : COLOR_BTNFACE);
    } else if (i == 0) {
      tl = GetSysColor(raised ? COLOR_3DLIGHT : COLOR_BTNSHADOW);
      br = GetSysColor(raised ? COLOR_3DDKSHADOW : COLOR_BTNHIGHLIGHT);
    } else {
      tl = GetSysColor(raised ? COLOR_BTNHIGHLIGHT : COLOR_3DDKSHADOW);
      br = GetSysColor(raised ? COLOR_BTNSHADOW : COLOR_3DLIGHT);
    }
    if (r.Right <= r.Left || r.Bottom <= r.Top) break;
    // Top-left lines first; the bottom-right ones are drawn over the shared corners.
    if (flags & BF_TOP) {
      TRect line{r.Left, r.Top, r.Right, r.Top + 1};
      FillRegion(dc, QRegion(ToTarget(dc, line)), tl);
    }
    if (flags & BF_LEFT) {
      TRect line{r.Left, r.Top, r.Left + 1, r.Bottom};
      FillRegion(dc, QRegion(ToTarget(dc, line)), tl);
    }
    if (flags & BF_BOTTOM) {
      TRect line{r.Left, r.Bottom - 1, r.Right, r.Bottom};
      FillRegion(dc, QRegion(ToTarget(dc, line)), br);
    }
    if (flags & BF_RIGHT) {
      TRect line{r.Right - 1, r.Top, r.Right, r.Bottom};
      FillRegion(dc, QRegion(ToTarget(dc, line)), br);
    }
    if (flags & BF_LEFT) ++r.Left;
    if (flags & BF_TOP) ++r.Top;
    if (flags & BF_RIGHT) --r.Right;
    if (flags & BF_BOTTOM) --r.Bottom;
  }
  if ((flags & BF_MIDDLE) && r.Right > r.Left && r.Bottom > r.Top) {
    COLORREF face = GetSysColor((flags & BF_MONO) ? COLOR_WINDOW : COLOR_BTNFACE);
    FillRegion(dc, QRegion(ToTarget(dc, r)), face);
  }
  if (flags & BF_ADJUST) *rc = r;
  return 1;
}

BOOL DrawFrameControl(HDC dc, TRect* rc, UINT type, UINT state) {
  if (!Live(dc) || !rc) return 0;
  TRect r = *rc;
  if (type == DFC_SCROLL) {
    FillRegion(dc, QRegion(FillArea(dc, r)), GetSysColor(COLOR_BTNFACE));
    if (!(state & DFCS_FLAT)) {
      DrawEdge(dc, &r, (state & DFCS_PUSHED) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    } else if (!(state & DFCS_INACTIVE)) {
      // A flat button shows an edge only under the pointer: thin and raised, sunken while pressed.
      if (state & DFCS_PUSHED) {
        TRect e = r;
        DrawEdge(dc, &e, BDR_SUNKENOUTER, BF_RECT);
      } else if (state & DFCS_HOT) {
        TRect e = r;
        DrawEdge(dc, &e, BDR_RAISEDINNER, BF_RECT);
      }
    }
    // The arrow: a triangle whose width is about half the button's.
    int w = r.Width(), h = r.Height();
    int size = std::max(1, std::min(w, h) / 4);
    int cx = r.Left + w / 2, cy = r.Top + h / 2 - size / 2;
    if (state & DFCS_PUSHED) {
      ++cx;
      ++cy;
    }
    COLORREF c = GetSysColor((state & DFCS_INACTIVE) ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
    UINT kind = state & 0xFF;
    for (int i = 0; i < size; ++i) {
      TRect line;
      if (kind == DFCS_SCROLLUP)
        line = TRect{cx - i, cy + i, cx + i + 1, cy + i + 1};
      else if (kind == DFCS_SCROLLLEFT)
        line = TRect{cx - size / 2 + i, cy + size / 2 - i, cx - size / 2 + i + 1, cy + size / 2 + i + 1};
      else if (kind == DFCS_SCROLLRIGHT)
        line = TRect{cx + size / 2 - i, cy + size / 2 - i, cx + size / 2 - i + 1, cy + size / 2 + i + 1};
      else
        line = TRect{cx - (size - 1 - i), cy + i, cx + (size - 1 - i) + 1, cy + i + 1};
      FillRegion(dc, QRegion(ToTarget(dc, line)), c);
    }
    return 1;
  }
  if (type == DFC_BUTTON) {
    bool radio = (state & 0xFF) == DFCS_BUTTONRADIO;
    if ((state & 0xFF) == DFCS_BUTTONPUSH) {
      FillRegion(dc, QRegion(FillArea(dc, r)), GetSysColor(COLOR_BTNFACE));
      DrawEdge(dc, &r, (state & DFCS_PUSHED) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
      return 1;
    }
    COLORREF face = GetSysColor((state & (DFCS_INACTIVE | DFCS_PUSHED)) ? COLOR_BTNFACE : COLOR_WINDOW);
    if (radio) {
      HBRUSH b = CreateSolidBrush(face);
      HGDIOBJ oldBrush = SelectObject(dc, b);
      HPEN p = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
      HGDIOBJ oldPen = SelectObject(dc, p);
      Ellipse(dc, r.Left, r.Top, r.Right, r.Bottom);
      SelectObject(dc, oldPen);
      SelectObject(dc, oldBrush);
      DeleteObject(p);
      DeleteObject(b);
    } else {
      DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
      FillRegion(dc, QRegion(FillArea(dc, r)), face);
    }
    if (state & DFCS_CHECKED) {
      COLORREF c = GetSysColor((state & DFCS_INACTIVE) ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT);
      int w = r.Width(), h = r.Height();
      if (radio) {
        TRect mark{r.Left + w / 4, r.Top + h / 4, r.Right - w / 4, r.Bottom - h / 4};
        FillRegion(dc, QRegion(FillArea(dc, mark)), c);
      } else {
        // The classic tick: seven columns, each three pixels high, down to the third column and
        // up again; scaled by whole pixels in larger boxes and centred.
        int scale = std::max(1, std::min(w, h) / 9);
        int left = r.Left + (w - 7 * scale) / 2, top = r.Top + (h - 7 * scale) / 2;
        QRegion tick;
        for (int x = 0; x < 7; ++x) {
          int y = x <= 2 ? 2 + x : 6 - x;
          tick += QRegion(ToTarget(dc, TRect{left + x * scale, top + y * scale, left + (x + 1) * scale, top + (y + 3) * scale}));
        }
        FillRegion(dc, tick, c);
      }
    }
    return 1;
  }
  return 0;
}

// ---- System colours and metrics ----

COLORREF GetSysColor(int index) {
  static const COLORREF table[31] = {
      RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219),
      RGB(240, 240, 240), RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),
      RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(180, 180, 180), RGB(244, 247, 252),
      RGB(171, 171, 171), RGB(51, 153, 255),  RGB(255, 255, 255), RGB(240, 240, 240),
      RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(67, 78, 84),
      RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),
      RGB(255, 255, 225), RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(185, 209, 234),
      RGB(215, 228, 242), RGB(51, 153, 255),  RGB(240, 240, 240)};
  if (index < 0 || index > 30) return 0;
  return table[index];
}

namespace {

// The primary screen's size. Screens belong to the GUI thread; elsewhere, or before the toolkit
// has started, a common desktop size stands in.
QSize PrimaryScreenSize() {
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (app && QThread::currentThread() == app->thread())
    if (QScreen* screen = QGuiApplication::primaryScreen()) return screen->geometry().size();
  return QSize(1920, 1080);
}

}  // namespace

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN: return PrimaryScreenSize().width();
    case SM_CYSCREEN: return PrimaryScreenSize().height();
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return 17;
    case SM_CYCAPTION: return 23;
    case SM_CXBORDER:
    case SM_CYBORDER:
    case SM_CXFOCUSBORDER:
    case SM_CYFOCUSBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CYMENU: return 20;
    case SM_SWAPBUTTON: return 0;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 4;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CXDRAG:
    case SM_CYDRAG: return 4;
    default: return 0;
  }
}

}  // namespace pf
