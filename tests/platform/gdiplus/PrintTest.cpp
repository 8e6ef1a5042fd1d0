#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/gdiplus/Print.h"
#include "platform/gdiplus/PhotoFixtures.h"
#include "platform/rtl/Strings.h"
#include "support/TestEnv.h"

namespace {

using namespace pf;
using namespace pf::gdiplus;
using fixtures::Rgb;

const Rgb Red{220, 20, 20}, Green{20, 200, 20}, Blue{20, 20, 220}, Yellow{230, 230, 30};

// Quadrants of a w × h picture: red top-left, green top-right, blue bottom-left, yellow
// bottom-right.
fixtures::Painter Quadrants(int w, int h) {
  return [w, h](int x, int y) {
    if (y < h / 2) return x < w / 2 ? Red : Green;
    return x < w / 2 ? Blue : Yellow;
  };
}

TEST(PrintGeometry, RectanglesOfTheTurnedPhotoMapBackOntoTheFile) {
  // A 40 × 30 picture; rectangles in the turned picture's pixels.
  struct Case { RotateFlipType turn; TRect turned; TRect stored; };
  const Case cases[] = {
      {RotateFlipType::RotateNoneFlipNone, {1, 2, 11, 7}, {1, 2, 11, 7}},
      // Turned clockwise the picture is 30 × 40; its top-left corner is the file's bottom-left.
      {RotateFlipType::Rotate90FlipNone, {0, 0, 5, 10}, {0, 25, 10, 30}},
      {RotateFlipType::Rotate90FlipNone, {25, 30, 30, 40}, {30, 0, 40, 5}},
      // Counter-clockwise its top-left corner is the file's top-right.
      {RotateFlipType::Rotate270FlipNone, {0, 0, 5, 10}, {30, 0, 40, 5}},
      {RotateFlipType::Rotate180FlipNone, {0, 0, 4, 3}, {36, 27, 40, 30}},
  };
  for (const Case& c : cases) EXPECT_EQ(UnturnRect(c.turned, 40, 30, c.turn), c.stored) << static_cast<int>(c.turn);
}

TEST(PrintGeometry, ClampingKeepsTheSizeAndMovesTheRectangleInside) {
  struct Case { TRect in; TRect out; };
  const Case cases[] = {
      {{101, 0, 301, 200}, {100, 0, 300, 200}},  // one pixel past the right edge
      {{-3, 0, 97, 200}, {0, 0, 100, 200}},
      {{0, 0, 301, 200}, {0, 0, 300, 200}},      // wider than the photo: cut
  };
  for (const Case& c : cases) EXPECT_EQ(ClampRect(c.in, 300, 200), c.out);
}

TEST(RenderPrint, TurnsTheSheetAndKeepsColoursInTheirPlaces) {
  const auto dir = testsupport::MakeTempDir("print");
  const auto file = dir / "q.jpg";
  fixtures::WriteJpeg(file, 400, 300, Quadrants(400, 300));
  // Sample points in the middle of each quadrant of the stored print.
  struct Case { RotateFlipType turn; int w, h; Rgb tl, tr, bl, br; };
  const Case cases[] = {
      // Clockwise: the file's bottom-left (blue) comes to the top-left.
      {RotateFlipType::Rotate90FlipNone, 120, 180, Blue, Red, Yellow, Green},
      {RotateFlipType::Rotate180FlipNone, 180, 120, Yellow, Blue, Green, Red},
      {RotateFlipType::Rotate270FlipNone, 120, 180, Green, Yellow, Red, Blue},
  };
  for (const Case& c : cases) {
    TPrintJob job;
    job.Turn = c.turn;
    const TSize t = TurnedSize(400, 300, c.turn);
    job.Source = TRect{0, 0, t.cx, t.cy};
    job.Width = c.w;
    job.Height = c.h;
    job.Target = TRect{0, 0, c.w, c.h};
    job.StoreLandscape = false;
    RawBytes out;
    ASSERT_EQ(RenderPrint(Utf8ToString(file.string()), job, out), Status::Ok);
    const fixtures::Decoded d = fixtures::DecodeJpeg(out);
    ASSERT_EQ(d.W, c.w);
    ASSERT_EQ(d.H, c.h);
    const int qx = c.w / 4, qy = c.h / 4;
    EXPECT_TRUE(fixtures::Near(d.At(qx, qy), c.tl, 8)) << static_cast<int>(c.turn);
    EXPECT_TRUE(fixtures::Near(d.At(3 * qx, qy), c.tr, 8)) << static_cast<int>(c.turn);
    EXPECT_TRUE(fixtures::Near(d.At(qx, 3 * qy), c.bl, 8)) << static_cast<int>(c.turn);
    EXPECT_TRUE(fixtures::Near(d.At(3 * qx, 3 * qy), c.br, 8)) << static_cast<int>(c.turn);
  }
}

}  // namespace

namespace {

// ---- sharpness and memory of a print ----

uint32_t Hash(uint32_t x, uint32_t y) {
  uint32_t h = x * 374761393u + y * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

// A photo with detail up to its finest pixel: one- and two-pixel checkers, small glyph-like
// marks, discs with sharp rims, and grain, in tiles of their own colour.
Rgb Detailed(int x, int y) {
  const uint32_t tile = Hash(static_cast<uint32_t>(x / 61), static_cast<uint32_t>(y / 61));
  int add = 0;
  switch (tile % 4) {
    case 0: add = ((x + y) & 1) ? 60 : -60; break;
    case 1: add = (((x >> 1) + (y >> 1)) & 1) ? 50 : -50; break;
    case 2: add = (Hash(static_cast<uint32_t>(x / 5), static_cast<uint32_t>(y / 7)) >> ((x % 5 + 5 * (y % 7)) % 32) & 1) && x % 5 < 4 ? -90 : 40; break;
    default: add = ((x % 61 - 30) * (x % 61 - 30) + (y % 61 - 30) * (y % 61 - 30) < 400) ? 70 : -20;
  }
  const int grain = static_cast<int>(Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y)) & 31) - 16;
  auto c = [&](int shift) {
    return static_cast<unsigned char>(std::clamp(40 + static_cast<int>((tile >> shift) & 127) + add + grain, 0, 255));
  };
  return Rgb{c(0), c(8), c(16)};
}

// The reference: the file decoded whole by libjpeg and the part resampled by a plain bicubic
// (Catmull-Rom, widened by the reduction), in floating point, edges repeated.
std::vector<double> ReferencePrint(const fixtures::Decoded& full, double x0, double y0, double w, double h, int dw, int dh) {
  auto cubic = [](double t) {
    t = std::fabs(t);
    if (t < 1) return 1.5 * t * t * t - 2.5 * t * t + 1;
    if (t < 2) return -0.5 * t * t * t + 2.5 * t * t - 4 * t + 2;
    return 0.0;
  };
  // Weights of one axis: for each output, the inputs and their normalised weights.
  auto axis = [&](double start, double len, int out, int lo, int hi) {
    std::vector<std::vector<std::pair<int, double>>> taps(static_cast<size_t>(out));
    const double scale = len / out, fs = std::max(1.0, scale);
    for (int i = 0; i < out; ++i) {
      const double c = start + (i + 0.5) * scale;
      double sum = 0;
      for (int k = static_cast<int>(std::floor(c - 2 * fs)); k <= static_cast<int>(std::ceil(c + 2 * fs)); ++k) {
        const double wgt = cubic((k + 0.5 - c) / fs);
        if (wgt == 0) continue;
        taps[static_cast<size_t>(i)].push_back({std::clamp(k, lo, hi - 1), wgt});
        sum += wgt;
      }
      for (auto& t : taps[static_cast<size_t>(i)]) t.second /= sum;
    }
    return taps;
  };
  const auto hx = axis(x0, w, dw, static_cast<int>(x0), static_cast<int>(x0 + w));
  const auto vy = axis(y0, h, dh, static_cast<int>(y0), static_cast<int>(y0 + h));
  std::vector<double> rows(static_cast<size_t>(full.H) * dw * 3, 0.0);
  for (int y = 0; y < full.H; ++y)
    for (int i = 0; i < dw; ++i)
      for (auto [k, wgt] : hx[static_cast<size_t>(i)])
        for (int c = 0; c < 3; ++c)
          rows[(static_cast<size_t>(y) * dw + i) * 3 + c] += wgt * full.Px[(static_cast<size_t>(y) * full.W + k) * 3 + c];
  std::vector<double> out(static_cast<size_t>(dw) * dh * 3, 0.0);
  for (int j = 0; j < dh; ++j)
    for (auto [k, wgt] : vy[static_cast<size_t>(j)])
      for (size_t i = 0; i < static_cast<size_t>(dw) * 3; ++i)
        out[static_cast<size_t>(j) * dw * 3 + i] += wgt * rows[static_cast<size_t>(k) * dw * 3 + i];
  for (double& v : out) v = std::clamp(std::round(v), 0.0, 255.0);
  return out;
}

double Psnr(const TPhoto& p, const std::vector<double>& ref) {
  double se = 0;
  for (int y = 0; y < p.Height(); ++y)
    for (size_t i = 0; i < p.Stride(); ++i) {
      const double d = p.Scan(y)[i] - ref[static_cast<size_t>(y) * p.Stride() + i];
      se += d * d;
    }
  return 10 * std::log10(255.0 * 255.0 / (se / (static_cast<double>(p.Stride()) * p.Height())));
}

TEST(PrintQuality, AReducedDecodeKeepsThePrintAsSharpAsAFullDecode) {
  // Reductions of 3.3, 5 and 1.5 times. Decoded at the smallest eighth that covers the print
  // (3/8, 2/8 and 6/8 here) such detail comes out at 22 to 36 dB, and even at 6/8 or 7/8 under
  // 45 dB.
  const auto dir = testsupport::MakeTempDir("sharp");
  const auto file = dir / "detail.jpg";
  fixtures::WriteJpeg(file, 1500, 1000, Detailed, 95);
  const fixtures::Decoded full = fixtures::DecodeJpeg(testsupport::ReadFileBytes(file));
  struct Case { double x, y, w, h; int dw, dh; };
  const Case cases[] = {{0, 0, 1500, 1000, 450, 300}, {100, 50, 1200, 800, 240, 160}, {300, 0, 900, 1000, 600, 667}};
  for (const Case& c : cases) {
    TPhoto print;
    ASSERT_EQ(LoadResampled(Utf8ToString(file.string()), TRectF{c.x, c.y, c.w, c.h}, c.dw, c.dh, print), Status::Ok);
    const double psnr = Psnr(print, ReferencePrint(full, c.x, c.y, c.w, c.h, c.dw, c.dh));
    EXPECT_GE(psnr, 45.0) << c.dw << " x " << c.dh;
  }
}

// The same rows through one libjpeg encoder with the print's settings (the standard's tables at
// the quality, 4:2:0, integer DCT), written here independently of the writer under test.
std::string EncodeWhole(const TPhoto& p, int quality) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = static_cast<JDIMENSION>(p.Width());
  c.image_height = static_cast<JDIMENSION>(p.Height());
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  c.dct_method = JDCT_ISLOW;
  jpeg_start_compress(&c, TRUE);
  for (int y = 0; y < p.Height(); ++y) {
    JSAMPROW r = const_cast<JSAMPROW>(p.Scan(y));
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string out(reinterpret_cast<const char*>(mem), size);
  std::free(mem);
  return out;
}

// The restart markers of a file's scan, in order.
std::vector<int> RestartMarkers(const std::string& b) {
  std::vector<int> found;
  const size_t sos = b.find("\xFF\xDA");
  for (size_t i = sos + 2; i + 1 < b.size(); ++i)
    if (static_cast<unsigned char>(b[i]) == 0xFF && (static_cast<unsigned char>(b[i + 1]) & 0xF8) == 0xD0)
      found.push_back(static_cast<unsigned char>(b[i + 1]) - 0xD0);
  return found;
}

TEST(PrintEncoding, ALargeSheetEncodedInStripsDecodesToTheSamePixelsAsOneEncoder) {
  // Strips hold whole 16-row MCU rows of about a quarter megapixel: 1100 pixels wide they are
  // 240 rows, 1024 wide 256 rows. A sheet that fits one strip is written as one encoder writes it.
  struct Case { int w, h; size_t restarts; };
  const Case cases[] = {
      {1100, 1000, 4},   // four strips of 240 rows and a last one of 40
      {1024, 1024, 3},   // four whole strips
      {1800, 1281, 8},   // eight strips of 160 rows and a last one of a single row
      {600, 400, 0},     // one strip
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
    TPhoto p(c.w, c.h);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        const Rgb px = Detailed(x, y);
        Byte* d = p.Scan(y) + static_cast<size_t>(x) * 3;
        d[0] = px.R;
        d[1] = px.G;
        d[2] = px.B;
      }
    RawBytes strips;
    ASSERT_EQ(SaveJpeg(p, 90, strips), Status::Ok);
    const std::string whole = EncodeWhole(p, 90);
    const fixtures::Decoded a = fixtures::DecodeJpeg(strips), b = fixtures::DecodeJpeg(whole);
    EXPECT_EQ(a.W, c.w);
    EXPECT_EQ(a.H, c.h);
    EXPECT_TRUE(a.Px == b.Px) << "the joined file decodes to other pixels";
    std::vector<int> expected;
    for (size_t k = 0; k < c.restarts; ++k) expected.push_back(static_cast<int>(k % 8));
    EXPECT_EQ(RestartMarkers(strips), expected);
    if (c.restarts == 0) {
      EXPECT_EQ(strips.size(), whole.size());
    }
  }
}

TEST(PrintMemory, TheResamplerHoldsTheSameFewRowsWhateverThePhotosHeight) {
  // The same reduction from a picture ten times taller: a resampler that kept every reduced row
  // would hold ten times as much.
  auto bytes = [](Integer srcH) {
    return TResampler(2000, srcH, TRectF{0, 0, 2000, static_cast<double>(srcH)}, 200, srcH / 10,
                      [](Integer, const Byte*) {})
        .BufferBytes();
  };
  EXPECT_EQ(bytes(40000), bytes(4000));
}

TEST(PrintMemory, APrintOfALargePngHoldsNeitherThePhotoNorTheSheet) {
  // 6000 × 4000 pixels are 72 MB whole and the 4724 × 3543 sheet 50 MB; the streamed print holds
  // bands of rows and the JPEG it writes.
  const auto dir = testsupport::MakeTempDir("streamed");
  fixtures::WriteLargePng(dir / "large.png", 6000, 4000);
  TPrintJob job;
  job.Source = TRect{0, 0, 6000, 4000};
  job.Width = 4724;
  job.Height = 3543;
  job.Target = TRect{0, 0, 4724, 3543};
  const long before = fixtures::PeakKilobytes();
  RawBytes out;
  ASSERT_EQ(RenderPrint(Utf8ToString((dir / "large.png").string()), job, out), Status::Ok);
  // The sanitizer's shadow and quarantine add to every allocation.
#ifndef __SANITIZE_ADDRESS__
  EXPECT_LT(fixtures::PeakKilobytes() - before, 40 * 1024);
#else
  (void)before;
#endif
  const fixtures::JpegMarkers m = fixtures::ReadMarkers(out);
  EXPECT_EQ(m.Width, 4724);
  EXPECT_EQ(m.Height, 3543);
  EXPECT_EQ(m.DensityX, 300);
}

}  // namespace
