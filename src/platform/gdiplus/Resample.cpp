#include "platform/gdiplus/Resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/gdiplus/Pool_p.h"

namespace pf::gdiplus {

namespace {

// Weights are fixed-point with this many fraction bits; 255 × the sum of a cubic's absolute
// weights stays well inside 32 bits.
constexpr int Precision = 20;
constexpr int32_t Half = 1 << (Precision - 1);

// The cubic convolution kernel with a = -0.5 (Keys), the "bicubic" of image editors.
double Cubic(double x) {
  constexpr double a = -0.5;
  x = std::fabs(x);
  if (x < 1.0) return ((a + 2.0) * x - (a + 3.0)) * x * x + 1.0;
  if (x < 2.0) return (((x - 5.0) * x + 8.0) * x - 4.0) * a;
  return 0.0;
}

inline Byte Clamp8(int32_t acc) {
  const int32_t v = (acc + Half) >> Precision;
  return static_cast<Byte>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// The taps of one axis: output i reads inputs First[i] .. First[i] + Count[i] - 1.
struct TAxis {
  std::vector<Integer> First;
  std::vector<Integer> Count;
  std::vector<int32_t> Weights;  // Taps per output, zero-padded
  std::vector<int16_t> Weights14;  // the same at 14 fraction bits, for 16-bit multiplies
  Integer Stride14{0};             // ... Taps rounded up to four per output, zero-padded
  Integer Taps{0};
  Integer Lo{0};  // the inputs that may be read: [Lo, Hi)
  Integer Hi{0};

  void Build(Integer inSize, double in0, double inLen, Integer outSize) {
    Lo = std::clamp(static_cast<Integer>(std::floor(in0 + 1e-9)), 0, inSize - 1);
    Hi = std::clamp(static_cast<Integer>(std::ceil(in0 + inLen - 1e-9)), Lo + 1, inSize);
    const double scale = inLen / outSize;
    const double filterScale = std::max(scale, 1.0);
    const double support = 2.0 * filterScale;
    Taps = std::min(static_cast<Integer>(std::ceil(support)) * 2 + 1, Hi - Lo);
    First.assign(outSize, 0);
    Count.assign(outSize, 0);
    Weights.assign(static_cast<size_t>(outSize) * Taps, 0);
    std::vector<double> w(Taps);
    for (Integer i = 0; i < outSize; ++i) {
      const double center = in0 + (i + 0.5) * scale;
      Integer from = std::max(Lo, static_cast<Integer>(std::floor(center - support)));
      Integer to = std::min(Hi, static_cast<Integer>(std::ceil(center + support)));
      if (to - from > Taps) {
        // Keep the taps nearest the centre; the dropped ones weigh (almost) nothing.
        if (center - from > to - center) from = to - Taps; else to = from + Taps;
      }
      if (to <= from) {  // the centre lies outside the readable inputs: repeat the edge
        from = center < Lo ? Lo : Hi - 1;
        to = from + 1;
      }
      double sum = 0;
      for (Integer k = from; k < to; ++k) {
        w[k - from] = Cubic((k + 0.5 - center) / filterScale);
        sum += w[k - from];
      }
      if (std::fabs(sum) < 1e-12) {  // only zero weights (far outside): nearest edge pixel
        from = std::clamp(static_cast<Integer>(center), Lo, Hi - 1);
        to = from + 1;
        w[0] = 1;
        sum = 1;
      }
      First[i] = from;
      Count[i] = to - from;
      int32_t* dst = &Weights[static_cast<size_t>(i) * Taps];
      int32_t total = 0;
      for (Integer k = 0; k < to - from; ++k) {
        dst[k] = static_cast<int32_t>(std::lround(w[k] / sum * (1 << Precision)));
        total += dst[k];
      }
      // The weights of a flat area must sum to exactly one, or flat colours drift by a step.
      Integer peak = 0;
      for (Integer k = 1; k < to - from; ++k)
        if (dst[k] > dst[peak]) peak = k;
      dst[peak] += (1 << Precision) - total;
    }
    // Rounded again from the 20-bit weights, with the same care that they sum to exactly one.
    Stride14 = (Taps + 3) / 4 * 4;
    Weights14.assign(static_cast<size_t>(outSize) * Stride14, 0);
    for (Integer i = 0; i < outSize; ++i) {
      const int32_t* src = &Weights[static_cast<size_t>(i) * Taps];
      int16_t* dst = &Weights14[static_cast<size_t>(i) * Stride14];
      int32_t total = 0;
      Integer peak = 0;
      for (Integer k = 0; k < Count[i]; ++k) {
        dst[k] = static_cast<int16_t>((src[k] + (1 << 5)) >> 6);
        total += dst[k];
        if (src[k] > src[peak]) peak = k;
      }
      dst[peak] = static_cast<int16_t>(dst[peak] + (1 << 14) - total);
    }
  }
};

// Threads pay off only for print-sized work; thumbnails stay on the calling thread.
bool WorthThreads(int64_t work) { return work >= (int64_t{1} << 21) && detail::TWorkPool::Instance().Width() > 1; }

}  // namespace

struct TResampler::Impl {
  Integer SrcWidth{0};
  Integer DstWidth{0};
  Integer DstHeight{0};
  TAxis H;
  TAxis V;
  TRowOut Out;

  // The reduced source rows still needed, in a ring indexed by source row.
  Integer Capacity{0};
  std::vector<Byte> Ring;
  Integer NextIn{0};   // the next source row a decoder may push
  Integer Pushed{0};   // rows [V.Lo, Pushed) are reduced
  Integer NextOut{0};  // the next target row to hand on
  std::vector<Byte> OutRows;

  // Rows pushed by a decoder are gathered into bands; a band is reduced on the pool while the
  // decoder fills the other.
  static constexpr Integer BandRows = 32;
  static constexpr Integer OutChunk = 32;
  bool Async{false};
  std::vector<Byte> Band[2];
  int Current{0};
  Integer BandFirst{0};
  Integer BandCount{0};
  detail::TWorkPool::TGroup Job;

  size_t Line() const { return static_cast<size_t>(DstWidth) * 3; }
  Byte* Slot(Integer y) { return Ring.data() + static_cast<size_t>((y - V.Lo) % Capacity) * Line(); }

  void HorzRow(const Byte* src, Byte* dst) const {
    Integer x = 0;
#ifdef __SSE2__
    // The row spread to four bytes a pixel (and zeros past its end, where the padded taps read):
    // four taps of one output are then one 16-byte load, whose channels the multiply-and-add
    // pairs up tap by tap at 14 fraction bits.
    thread_local std::vector<Byte> wide;
    const size_t widePixels = static_cast<size_t>(H.Hi) + static_cast<size_t>(H.Stride14);
    if (wide.size() < widePixels * 4) wide.resize(widePixels * 4);
    std::memset(wide.data() + static_cast<size_t>(H.Hi) * 4, 0, static_cast<size_t>(H.Stride14) * 4);
    for (Integer i = H.Lo; i < H.Hi; ++i) {
      const Byte* p = src + static_cast<size_t>(i) * 3;
      Byte* q = wide.data() + static_cast<size_t>(i) * 4;
      q[0] = p[0];
      q[1] = p[1];
      q[2] = p[2];
      q[3] = 0;
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi32(1 << 13);
    for (; x < DstWidth; ++x) {
      const int16_t* w = &H.Weights14[static_cast<size_t>(x) * H.Stride14];
      const Byte* s = wide.data() + static_cast<size_t>(H.First[x]) * 4;
      __m128i sum = half;
      for (Integer k = 0; k < H.Count[x]; k += 4, s += 16, w += 4) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        // Weights k, k+1 in every pair of the low half, k+2, k+3 in the high half.
        const __m128i wq = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(w));
        const __m128i w01 = _mm_shuffle_epi32(wq, 0x00), w23 = _mm_shuffle_epi32(wq, 0x55);
        const __m128i lo = _mm_unpacklo_epi8(px, zero), hi = _mm_unpackhi_epi8(px, zero);
        sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_unpacklo_epi16(lo, _mm_srli_si128(lo, 8)), w01));
        sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_unpacklo_epi16(hi, _mm_srli_si128(hi, 8)), w23));
      }
      const __m128i v = _mm_srai_epi32(sum, 14);
      const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(v, v), zero);
      const uint32_t rgbx = static_cast<uint32_t>(_mm_cvtsi128_si32(packed));
      dst[0] = static_cast<Byte>(rgbx);
      dst[1] = static_cast<Byte>(rgbx >> 8);
      dst[2] = static_cast<Byte>(rgbx >> 16);
      dst += 3;
    }
#endif
    const Integer taps = H.Taps;
    for (; x < DstWidth; ++x) {
      const int32_t* w = &H.Weights[static_cast<size_t>(x) * taps];
      const Byte* s = src + static_cast<size_t>(H.First[x]) * 3;
      int32_t r = 0, g = 0, b = 0;
      const Integer n = H.Count[x];
      for (Integer k = 0; k < n; ++k, s += 3) {
        r += w[k] * s[0];
        g += w[k] * s[1];
        b += w[k] * s[2];
      }
      dst[0] = Clamp8(r);
      dst[1] = Clamp8(g);
      dst[2] = Clamp8(b);
      dst += 3;
    }
  }

  void VertRow(Integer j, Byte* out, std::vector<int32_t>& acc) {
    const size_t lineBytes = Line();
    const Integer count = V.Count[j];
    size_t done = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time with the taps taken in pairs: the two rows' bytes interleaved as
    // 16-bit values and multiplied-and-added with the pair's weights (at 14 fraction bits) give
    // four 32-bit sums per instruction; the sums stay in registers until the bytes are stored.
    const int16_t* w14 = &V.Weights14[static_cast<size_t>(j) * V.Stride14];
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi32(1 << 13);
    for (; done + 16 <= lineBytes; done += 16) {
      __m128i s0 = half, s1 = half, s2 = half, s3 = half;
      for (Integer k = 0; k < count; k += 2) {
        const bool pair = k + 1 < count;
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Slot(V.First[j] + k) + done));
        const __m128i b = pair ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(Slot(V.First[j] + k + 1) + done)) : zero;
        const __m128i wk = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(pair ? static_cast<uint16_t>(w14[k + 1]) : 0u) << 16) |
                                                               static_cast<uint16_t>(w14[k])));
        const __m128i lo = _mm_unpacklo_epi8(a, b), hi = _mm_unpackhi_epi8(a, b);
        s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), wk));
        s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), wk));
        s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), wk));
        s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), wk));
      }
      const __m128i p01 = _mm_packs_epi32(_mm_srai_epi32(s0, 14), _mm_srai_epi32(s1, 14));
      const __m128i p23 = _mm_packs_epi32(_mm_srai_epi32(s2, 14), _mm_srai_epi32(s3, 14));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), _mm_packus_epi16(p01, p23));
    }
#endif
    if (done == lineBytes) return;
    std::fill(acc.begin() + static_cast<std::ptrdiff_t>(done), acc.end(), 0);
    const int32_t* w = &V.Weights[static_cast<size_t>(j) * V.Taps];
    for (Integer k = 0; k < count; ++k) {
      const Byte* s = Slot(V.First[j] + k);
      const int32_t wk = w[k];
      for (size_t i = done; i < lineBytes; ++i) acc[i] += wk * s[i];
    }
    for (size_t i = done; i < lineBytes; ++i) out[i] = Clamp8(acc[i]);
  }

  bool Ready(Integer j) const { return V.First[j] + V.Count[j] <= Pushed; }

  // Makes and hands on every target row whose source rows are all in.
  void Emit(bool threads) {
    while (NextOut < DstHeight && Ready(NextOut)) {
      Integer end = NextOut + 1;
      while (end < DstHeight && end - NextOut < OutChunk && Ready(end)) ++end;
      const Integer from = NextOut;
      auto body = [&](int64_t a, int64_t b) {
        // Each thread keeps its sums' buffer from one chunk to the next.
        thread_local std::vector<int32_t> acc;
        acc.resize(Line());
        for (int64_t j = a; j < b; ++j)
          VertRow(from + static_cast<Integer>(j), OutRows.data() + static_cast<size_t>(j) * Line(), acc);
      };
      if (threads) detail::TWorkPool::Instance().For(end - from, body);
      else body(0, end - from);
      for (Integer j = from; j < end; ++j) Out(j, OutRows.data() + static_cast<size_t>(j - from) * Line());
      NextOut = end;
    }
  }

  // Reduces `count` consecutive source rows from y0 (all inside [V.Lo, V.Hi)), then hands on
  // what is ready.
  void Take(Integer y0, Integer count, const Byte* rows, size_t stride, bool threads) {
    auto body = [&](int64_t a, int64_t b) {
      for (int64_t i = a; i < b; ++i) HorzRow(rows + stride * static_cast<size_t>(i), Slot(y0 + static_cast<Integer>(i)));
    };
    if (threads) detail::TWorkPool::Instance().For(count, body);
    else body(0, count);
    Pushed = y0 + count;
    Emit(threads);
  }

  void Dispatch() {
    if (BandCount == 0) return;
    detail::TWorkPool& pool = detail::TWorkPool::Instance();
    pool.Wait(Job);
    const Integer y0 = BandFirst, count = BandCount;
    const Byte* rows = Band[Current].data();
    pool.Post(Job, [this, y0, count, rows] { Take(y0, count, rows, static_cast<size_t>(SrcWidth) * 3, true); });
    Current ^= 1;
    BandCount = 0;
  }
};

TResampler::TResampler(Integer srcWidth, Integer srcHeight, const TRectF& srcRect, Integer dstWidth,
                       Integer dstHeight, TRowOut out)
    : FImpl(std::make_unique<Impl>()) {
  Impl& m = *FImpl;
  m.SrcWidth = srcWidth;
  m.DstWidth = std::max(dstWidth, 1);
  m.DstHeight = std::max(dstHeight, 1);
  m.Out = std::move(out);
  // Clip the rectangle to the picture: nothing outside the photo is ever sampled.
  const double x0 = std::clamp(srcRect.X, 0.0, static_cast<double>(srcWidth));
  const double y0 = std::clamp(srcRect.Y, 0.0, static_cast<double>(srcHeight));
  const double x1 = std::clamp(srcRect.X + srcRect.Width, x0, static_cast<double>(srcWidth));
  const double y1 = std::clamp(srcRect.Y + srcRect.Height, y0, static_cast<double>(srcHeight));
  m.H.Build(std::max(srcWidth, 1), x0, std::max(x1 - x0, 1e-6), m.DstWidth);
  m.V.Build(std::max(srcHeight, 1), y0, std::max(y1 - y0, 1e-6), m.DstHeight);
  m.Pushed = m.V.Lo;
  m.NextIn = m.V.Lo;
  // Rows a target row not yet made may still need, and a band arriving on top of them (twice
  // the taps: the trimming of the window near the edges may move it by a few rows).
  m.Capacity = std::min(m.V.Hi - m.V.Lo, 2 * m.V.Taps + Impl::BandRows + 2);
  m.Ring.resize(static_cast<size_t>(m.Capacity) * m.Line());
  m.OutRows.resize(static_cast<size_t>(Impl::OutChunk) * m.Line());
  if (WorthThreads(int64_t{m.V.Hi - m.V.Lo} * m.DstWidth * m.H.Taps)) {
    m.Async = true;
    for (auto& band : m.Band) band.resize(static_cast<size_t>(Impl::BandRows) * static_cast<size_t>(srcWidth) * 3);
  }
}

TResampler::~TResampler() {
  if (FImpl) detail::TWorkPool::Instance().Wait(FImpl->Job);
}

Integer TResampler::FirstRow() const { return FImpl->V.Lo; }
Integer TResampler::EndRow() const { return FImpl->V.Hi; }

size_t TResampler::BufferBytes() const {
  const Impl& m = *FImpl;
  return m.Ring.size() + m.OutRows.size() + m.Band[0].size() + m.Band[1].size();
}

void TResampler::PushRow(Integer y, const Byte* rgb) {
  Impl& m = *FImpl;
  // Rows come in order; one that does not follow the last (a decoder never does this) is dropped.
  if (y != m.NextIn || y >= m.V.Hi) return;
  ++m.NextIn;
  if (!m.Async) {
    m.Take(y, 1, rgb, 0, false);
    return;
  }
  if (m.BandCount == 0) m.BandFirst = y;
  const size_t stride = static_cast<size_t>(m.SrcWidth) * 3;
  std::memcpy(&m.Band[m.Current][stride * static_cast<size_t>(m.BandCount)], rgb, stride);
  if (++m.BandCount == Impl::BandRows || y + 1 == m.V.Hi) m.Dispatch();
}

void TResampler::Finish() {
  Impl& m = *FImpl;
  if (m.Async) {
    m.Dispatch();
    detail::TWorkPool::Instance().Wait(m.Job);
  }
  // Rows the source never gave (a decoder that stopped early) repeat the last one it gave.
  while (m.NextOut < m.DstHeight) {
    if (m.Pushed > m.V.Lo && m.Pushed < m.V.Hi) std::memcpy(m.Slot(m.Pushed), m.Slot(m.Pushed - 1), m.Line());
    ++m.Pushed;
    m.Emit(false);
  }
}

Status DrawImage(TPhoto& dst, const TRect& dstRect, const TPhoto& src, const TRectF& srcRect) {
  if (dstRect.Width() <= 0 || dstRect.Height() <= 0 || src.Empty() || srcRect.Width <= 0 ||
      srcRect.Height <= 0)
    return Status::InvalidParameter;
  try {
    TResampler r(src.Width(), src.Height(), srcRect, dstRect.Width(), dstRect.Height(),
                 [&](Integer y, const Byte* rgb) { PutRow(dst, dstRect.Left, dstRect.Top + y, rgb, dstRect.Width()); });
    TResampler::Impl& m = *r.FImpl;
    const bool threads = WorthThreads(int64_t{m.V.Hi - m.V.Lo} * m.DstWidth * m.H.Taps);
    for (Integer y = m.V.Lo; y < m.V.Hi; y += TResampler::Impl::BandRows) {
      const Integer count = std::min(TResampler::Impl::BandRows, m.V.Hi - y);
      m.Take(y, count, src.Scan(y), src.Stride(), threads);
    }
    r.Finish();
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory;
  }
  return Status::Ok;
}

void PutRow(TPhoto& dst, Integer x, Integer y, const Byte* rgb, Integer width) {
  if (y < 0 || y >= dst.Height()) return;
  const Integer x0 = std::max(0, -x);
  const Integer x1 = std::min(width, dst.Width() - x);
  if (x0 >= x1) return;
  std::memcpy(dst.Scan(y) + static_cast<size_t>(x + x0) * 3, rgb + static_cast<size_t>(x0) * 3,
              static_cast<size_t>(x1 - x0) * 3);
}

}  // namespace pf::gdiplus
