#include "platform/gdiplus/Resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <future>
#include <thread>

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
  }
};

unsigned WorkerCount(int64_t work) {
  // Threads pay off only for print-sized work; thumbnails stay on the calling thread.
  if (work < (int64_t{1} << 21)) return 1;
  return std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
}

template <class F>
void ParallelRows(Integer rows, int64_t work, F&& body) {
  const unsigned n = std::min<unsigned>(WorkerCount(work), std::max<Integer>(rows, 1));
  if (n <= 1) {
    body(0, rows);
    return;
  }
  std::vector<std::thread> threads;
  threads.reserve(n - 1);
  const Integer step = (rows + static_cast<Integer>(n) - 1) / static_cast<Integer>(n);
  try {
    for (unsigned t = 1; t < n; ++t) {
      const Integer from = static_cast<Integer>(t) * step;
      const Integer to = std::min(rows, from + step);
      if (from < to) threads.emplace_back([&body, from, to] { body(from, to); });
    }
  } catch (...) {
    // No thread to be had: the remaining rows are done here.
    const Integer done = static_cast<Integer>(threads.size() + 1) * step;
    body(std::min(rows, done), rows);
  }
  body(0, std::min(rows, step));
  for (auto& th : threads) th.join();
}

}  // namespace

struct TResampler::Impl {
  Integer SrcWidth{0};
  Integer DstWidth{0};
  Integer DstHeight{0};
  TAxis H;
  TAxis V;
  std::vector<Byte> Rows;  // source rows V.Lo .. V.Hi reduced to DstWidth

  // Rows pushed by a decoder are reduced in batches on a second thread while the decoder goes
  // on with the next batch; the decoder is the slower of the two.
  static constexpr Integer BatchRows = 32;
  bool Async{false};
  std::vector<Byte> Pending, InFlight;
  std::vector<Integer> PendingY, InFlightY;
  Integer PendingCount{0};
  std::future<void> Work;  // last: waited for before the buffers above go

  void Dispatch() {
    if (Work.valid()) Work.get();
    if (PendingCount == 0) return;
    std::swap(Pending, InFlight);
    std::swap(PendingY, InFlightY);
    const Integer count = PendingCount;
    PendingCount = 0;
    const size_t stride = static_cast<size_t>(SrcWidth) * 3;
    auto reduce = [this, count, stride] {
      for (Integer i = 0; i < count; ++i) HorzRow(&InFlight[stride * static_cast<size_t>(i)], RowOf(InFlightY[i]));
    };
    try {
      Work = std::async(std::launch::async, reduce);
    } catch (...) {
      reduce();  // no thread to be had
    }
  }

  void HorzRow(const Byte* src, Byte* dst) const {
    const Integer taps = H.Taps;
    for (Integer x = 0; x < DstWidth; ++x) {
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

  Byte* RowOf(Integer y) { return Rows.data() + static_cast<size_t>(y - V.Lo) * DstWidth * 3; }

  void VertRows(TPhoto& dst, Integer dstX, Integer dstY, Integer from, Integer to) {
    const size_t lineBytes = static_cast<size_t>(DstWidth) * 3;
    std::vector<int32_t> acc(lineBytes);
    for (Integer j = from; j < to; ++j) {
      const Integer outY = dstY + j;
      if (outY < 0 || outY >= dst.Height()) continue;
      std::fill(acc.begin(), acc.end(), 0);
      const int32_t* w = &V.Weights[static_cast<size_t>(j) * V.Taps];
      for (Integer k = 0; k < V.Count[j]; ++k) {
        const Byte* s = RowOf(V.First[j] + k);
        const int32_t wk = w[k];
        for (size_t i = 0; i < lineBytes; ++i) acc[i] += wk * s[i];
      }
      const Integer x0 = std::max(0, -dstX);
      const Integer x1 = std::min(DstWidth, dst.Width() - dstX);
      Byte* d = dst.Scan(outY) + static_cast<size_t>(dstX + x0) * 3;
      for (size_t i = static_cast<size_t>(x0) * 3; i < static_cast<size_t>(std::max(x0, x1)) * 3; ++i)
        *d++ = Clamp8(acc[i]);
    }
  }
};

TResampler::TResampler(Integer srcWidth, Integer srcHeight, const TRectF& srcRect, Integer dstWidth,
                       Integer dstHeight)
    : FImpl(std::make_unique<Impl>()) {
  Impl& m = *FImpl;
  m.SrcWidth = srcWidth;
  m.DstWidth = std::max(dstWidth, 1);
  m.DstHeight = std::max(dstHeight, 1);
  // Clip the rectangle to the picture: nothing outside the photo is ever sampled.
  const double x0 = std::clamp(srcRect.X, 0.0, static_cast<double>(srcWidth));
  const double y0 = std::clamp(srcRect.Y, 0.0, static_cast<double>(srcHeight));
  const double x1 = std::clamp(srcRect.X + srcRect.Width, x0, static_cast<double>(srcWidth));
  const double y1 = std::clamp(srcRect.Y + srcRect.Height, y0, static_cast<double>(srcHeight));
  m.H.Build(std::max(srcWidth, 1), x0, std::max(x1 - x0, 1e-6), m.DstWidth);
  m.V.Build(std::max(srcHeight, 1), y0, std::max(y1 - y0, 1e-6), m.DstHeight);
  m.Rows.resize(static_cast<size_t>(m.V.Hi - m.V.Lo) * m.DstWidth * 3);
  if (WorkerCount(int64_t{m.V.Hi - m.V.Lo} * m.DstWidth * m.H.Taps) > 1) {
    m.Async = true;
    for (auto* buffer : {&m.Pending, &m.InFlight})
      buffer->resize(static_cast<size_t>(Impl::BatchRows) * static_cast<size_t>(srcWidth) * 3);
    m.PendingY.resize(Impl::BatchRows);
    m.InFlightY.resize(Impl::BatchRows);
  }
}

TResampler::~TResampler() = default;

Integer TResampler::FirstRow() const { return FImpl->V.Lo; }
Integer TResampler::EndRow() const { return FImpl->V.Hi; }

void TResampler::PushRow(Integer y, const Byte* rgb) {
  Impl& m = *FImpl;
  if (y < m.V.Lo || y >= m.V.Hi) return;
  if (!m.Async) {
    m.HorzRow(rgb, m.RowOf(y));
    return;
  }
  const size_t stride = static_cast<size_t>(m.SrcWidth) * 3;
  std::memcpy(&m.Pending[stride * static_cast<size_t>(m.PendingCount)], rgb, stride);
  m.PendingY[m.PendingCount] = y;
  if (++m.PendingCount == Impl::BatchRows) m.Dispatch();
}

void TResampler::Finish(TPhoto& dst, Integer dstX, Integer dstY) {
  Impl& m = *FImpl;
  if (m.Async) {
    m.Dispatch();
    if (m.Work.valid()) m.Work.get();
  }
  ParallelRows(m.DstHeight, int64_t{m.DstHeight} * m.DstWidth * m.V.Taps,
               [&](Integer from, Integer to) { m.VertRows(dst, dstX, dstY, from, to); });
}

Status DrawImage(TPhoto& dst, const TRect& dstRect, const TPhoto& src, const TRectF& srcRect) {
  if (dstRect.Width() <= 0 || dstRect.Height() <= 0 || src.Empty() || srcRect.Width <= 0 ||
      srcRect.Height <= 0)
    return Status::InvalidParameter;
  try {
    TResampler r(src.Width(), src.Height(), srcRect, dstRect.Width(), dstRect.Height());
    TResampler::Impl& m = *r.FImpl;
    const Integer rows = m.V.Hi - m.V.Lo;
    ParallelRows(rows, int64_t{rows} * m.DstWidth * m.H.Taps, [&](Integer from, Integer to) {
      for (Integer y = m.V.Lo + from; y < m.V.Lo + to; ++y) m.HorzRow(src.Scan(y), m.RowOf(y));
    });
    r.Finish(dst, dstRect.Left, dstRect.Top);
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory;
  }
  return Status::Ok;
}

}  // namespace pf::gdiplus
