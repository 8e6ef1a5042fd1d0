#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdiplus/Codecs.h"
#include "platform/gdiplus/Photo.h"
#include "platform/gdiplus/Resample.h"
#include "platform/gdiplus/PhotoFixtures.h"
#include "platform/rtl/Strings.h"
#include "support/TestEnv.h"

namespace {

using namespace pf;
using namespace pf::gdiplus;
using fixtures::Rgb;

String PathOf(const std::filesystem::path& p) { return Utf8ToString(p.string()); }

Rgb At(const TPhoto& p, int x, int y) {
  const Byte* px = p.Pixel(x, y);
  return {px[0], px[1], px[2]};
}

// A picture whose every pixel tells where it came from.
TPhoto Numbered(int w, int h) {
  TPhoto p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      Byte* d = p.Scan(y) + x * 3;
      d[0] = static_cast<Byte>(x);
      d[1] = static_cast<Byte>(y);
      d[2] = 7;
    }
  return p;
}

class PhotoFiles : public ::testing::Test {
protected:
  std::filesystem::path dir = testsupport::MakeTempDir("gdiplus");
};

// ---- headers ----

TEST_F(PhotoFiles, SizeIsReadFromTheHeaderOfEveryFormat) {
  const auto flat = [](int, int) { return Rgb{10, 20, 30}; };
  fixtures::WriteJpeg(dir / "a.jpg", 640, 480, flat);
  fixtures::WritePng(dir / "b.png", 123, 45, flat, [](int, int) { return 128; });
  testsupport::WriteFileBytes(dir / "c.bmp", fixtures::MakeBmp24(7, 5, flat));
  testsupport::WriteFileBytes(dir / "d.bmp", fixtures::MakeBmp24(6, 9, flat, true));
  // The content decides, not the name.
  fixtures::WritePng(dir / "png-named.jpg", 31, 17, flat);
  struct Case { const char* file; TImageFormat format; int w, h; };
  const Case cases[] = {
      {"a.jpg", TImageFormat::Jpeg, 640, 480},     
      {"b.png", TImageFormat::Png, 123, 45},       {"c.bmp", TImageFormat::Bmp, 7, 5},
      {"d.bmp", TImageFormat::Bmp, 6, 9},          {"png-named.jpg", TImageFormat::Png, 31, 17},
  };
  for (const Case& c : cases) {
    TImageInfo info;
    ASSERT_EQ(ReadImageInfo(PathOf(dir / c.file), info), Status::Ok) << c.file;
    EXPECT_EQ(info.Format, c.format) << c.file;
    EXPECT_EQ(info.Width, c.w) << c.file;
    EXPECT_EQ(info.Height, c.h) << c.file;
  }
}

TEST_F(PhotoFiles, BadFilesFailWithoutEndingTheProcess) {
  testsupport::WriteFileBytes(dir / "text.jpg", "hello, not a picture");
  testsupport::WriteFileBytes(dir / "broken.jpg", std::string("\xFF\xD8\xFF\xE0\x00\x02\xFF\xC0\x00\x03\x08", 11));
  testsupport::WriteFileBytes(dir / "empty.png", "");
  std::string bmp = fixtures::MakeBmp24(20, 20, [](int, int) { return Rgb{}; });
  testsupport::WriteFileBytes(dir / "short.bmp", bmp.substr(0, bmp.size() - 100));
  std::string rle = bmp;
  rle[30] = 1;  // BI_RLE8
  testsupport::WriteFileBytes(dir / "rle.bmp", rle);
  struct Case { const char* file; Status status; const char* textStart; };
  const Case cases[] = {
      {"missing.jpg", Status::FileNotFound, ""},
      {"text.jpg", Status::UnknownImageFormat, ""},
      {"empty.png", Status::UnknownImageFormat, ""},
      {"broken.jpg", Status::GenericError, "JPEG error #"},
      {"short.bmp", Status::InvalidParameter, ""},
      {"rle.bmp", Status::UnknownImageFormat, ""},
  };
  for (const Case& c : cases) {
    TPhoto photo;
    String error;
    EXPECT_EQ(LoadImage(PathOf(dir / c.file), photo, &error), c.status) << c.file;
    EXPECT_TRUE(photo.Empty()) << c.file;
    EXPECT_EQ(StringToUtf8(error).rfind(c.textStart, 0), 0u) << c.file << ": " << StringToUtf8(error);
  }
}

// ---- decoding ----

TEST_F(PhotoFiles, BitmapsOfEveryDepthDecodeToTheirColours) {
  // Hand-made 2 × 2 bitmaps, bottom-up: the first stored row is the picture's bottom row.
  auto header = [](int bits, uint32_t dataOffset, uint32_t paletteCount, uint32_t compression) {
    return fixtures::BmpHeader(2, 2, bits, dataOffset, paletteCount, compression);
  };
  const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255};
  // 8 bits: palette red, green, blue, white (stored B, G, R, 0).
  std::string b8 = header(8, 54 + 16, 4, 0);
  b8 += std::string("\x00\x00\xFF\x00\x00\xFF\x00\x00\xFF\x00\x00\x00\xFF\xFF\xFF\x00", 16);
  b8 += std::string("\x02\x03\x00\x00", 4);  // bottom row: blue, white
  b8 += std::string("\x00\x01\x00\x00", 4);  // top row: red, green
  // 1 bit: palette black, white; top row 10, bottom row 01.
  std::string b1 = header(1, 54 + 8, 2, 0);
  b1 += std::string("\x00\x00\x00\x00\xFF\xFF\xFF\x00", 8);
  b1 += std::string("\x40\x00\x00\x00", 4);
  b1 += std::string("\x80\x00\x00\x00", 4);
  // 16 bits 5-5-5: red 0x7C00, green 0x03E0 on top; blue 0x001F, white 0x7FFF below.
  std::string b16 = header(16, 54, 0, 0);
  b16 += std::string("\x1F\x00\xFF\x7F", 4);
  b16 += std::string("\x00\x7C\xE0\x03", 4);
  // 32 bits with bit fields R at the low byte (unusual order on purpose).
  std::string b32 = header(32, 54 + 12, 0, 3);
  fixtures::PutLE(b32, 0x000000FF, 4);
  fixtures::PutLE(b32, 0x0000FF00, 4);
  fixtures::PutLE(b32, 0x00FF0000, 4);
  fixtures::PutLE(b32, 0x00FF0000, 4);  // bottom: blue
  fixtures::PutLE(b32, 0x00FFFFFF, 4);  // white
  fixtures::PutLE(b32, 0x000000FF, 4);  // top: red
  fixtures::PutLE(b32, 0x0000FF00, 4);  // green
  // 24 bits, top-down.
  const std::string b24 = fixtures::MakeBmp24(2, 2, [&](int x, int y) {
    return y == 0 ? (x == 0 ? red : green) : (x == 0 ? blue : white);
  }, true);
  struct Case { const char* name; std::string bytes; Rgb tl, tr, bl, br; };
  const Rgb black{0, 0, 0};
  const Case cases[] = {
      {"8.bmp", b8, red, green, blue, white},       {"1.bmp", b1, white, black, black, white},
      {"16.bmp", b16, red, green, blue, white},     {"32.bmp", b32, red, green, blue, white},
      {"24.bmp", b24, red, green, blue, white},
  };
  for (const Case& c : cases) {
    testsupport::WriteFileBytes(dir / c.name, c.bytes);
    TPhoto p;
    ASSERT_EQ(LoadImage(PathOf(dir / c.name), p), Status::Ok) << c.name;
    ASSERT_EQ(p.Width(), 2);
    ASSERT_EQ(p.Height(), 2);
    EXPECT_EQ(At(p, 0, 0), c.tl) << c.name;
    EXPECT_EQ(At(p, 1, 0), c.tr) << c.name;
    EXPECT_EQ(At(p, 0, 1), c.bl) << c.name;
    EXPECT_EQ(At(p, 1, 1), c.br) << c.name;
  }
}

TEST_F(PhotoFiles, BitmapWithoutRoomForAnAlphaMaskReadsNoMaskPastItsHeader) {
  // A 52-byte header holds the red, green and blue masks only. The alpha bit fields ask for a
  // fourth mask, which such a header lacks: the first pixel, right after the header, must not be
  // taken for it (it would make the red pixel fully transparent, and read past a file that ends
  // at the header).
  std::string bmp = "BM";
  const uint32_t fields[][2] = {{0, 4}, {0, 4}, {66, 4}, {52, 4}, {2, 4}, {1, 4}, {1, 2}, {32, 2},
                                {6, 4}, {8, 4}, {0, 4}, {0, 4}, {0, 4}, {0, 4}};
  for (const auto& f : fields) fixtures::PutLE(bmp, f[0], static_cast<int>(f[1]));
  fixtures::PutLE(bmp, 0x00FF0000, 4);  // red mask
  fixtures::PutLE(bmp, 0x0000FF00, 4);  // green mask
  fixtures::PutLE(bmp, 0x000000FF, 4);  // blue mask
  ASSERT_EQ(bmp.size(), 66u);
  testsupport::WriteFileBytes(dir / "header-only.bmp", bmp);
  fixtures::PutLE(bmp, 0x000000FF, 4);  // blue
  fixtures::PutLE(bmp, 0x00FF0000, 4);  // red
  testsupport::WriteFileBytes(dir / "v2.bmp", bmp);

  TPhoto p;
  ASSERT_EQ(LoadImage(PathOf(dir / "v2.bmp"), p), Status::Ok);
  EXPECT_EQ(At(p, 0, 0), (Rgb{0, 0, 255}));
  EXPECT_EQ(At(p, 1, 0), (Rgb{255, 0, 0}));
  EXPECT_EQ(LoadImage(PathOf(dir / "header-only.bmp"), p), Status::InvalidParameter);
  TImageInfo info;
  ASSERT_EQ(ReadImageInfo(PathOf(dir / "header-only.bmp"), info), Status::Ok);
  EXPECT_EQ(info.Width, 2);
}

TEST_F(PhotoFiles, PngRowsComeOutAsWrittenWhateverTheirFilter) {
  // 75 rows: the rows are unfiltered a band of 32 at a time, each band continuing the last.
  const int w = 70, h = 75;
  const int filters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH, PNG_ALL_FILTERS};
  for (int filter : filters)
    for (bool alpha : {false, true}) {
      const auto file = dir / ("filtered-" + std::to_string(filter) + (alpha ? "-rgba.png" : ".png"));
      fixtures::WriteLargePng(file, w, h, filter, alpha);
      TPhoto p;
      ASSERT_EQ(LoadImage(PathOf(file), p), Status::Ok) << file;
      ASSERT_EQ(p.Width() * p.Height(), w * h);
      int wrong = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          auto at = [&](int c) { return static_cast<Byte>(((x * 3 + c) * 7 + y * 3) & 0xFF); };
          const Rgb want = alpha && x >= 5 && x < 10 ? Rgb{255, 255, 255} : Rgb{at(0), at(1), at(2)};
          wrong += At(p, x, y) == want ? 0 : 1;
        }
      EXPECT_EQ(wrong, 0) << file;
    }
}

TEST_F(PhotoFiles, TransparentPngAreasBecomeWhite) {
  // Columns: opaque red, fully transparent (its colour must not show), half-transparent blue.
  fixtures::WritePng(dir / "alpha.png", 3, 1,
                     [](int x, int) { return x == 0 ? Rgb{255, 0, 0} : (x == 1 ? Rgb{0, 0, 0} : Rgb{0, 0, 255}); },
                     [](int x, int) -> unsigned char { return x == 0 ? 255 : (x == 1 ? 0 : 128); });
  TPhoto p;
  ASSERT_EQ(LoadImage(PathOf(dir / "alpha.png"), p), Status::Ok);
  EXPECT_EQ(At(p, 0, 0), (Rgb{255, 0, 0}));
  EXPECT_EQ(At(p, 1, 0), (Rgb{255, 255, 255}));
  // 128/255 of blue over white: 255 × 127/255 = 127 in red and green.
  EXPECT_TRUE(fixtures::Near(At(p, 2, 0), Rgb{127, 127, 255}, 1));
}

TEST_F(PhotoFiles, JpegDecodesAtEveryEighthScale) {
  // Quadrants of flat colour, so the reduced pictures keep recognisable corners.
  fixtures::WriteJpeg(dir / "big.jpg", 3000, 2000, [](int x, int y) {
    return x < 1500 ? (y < 1000 ? Rgb{200, 30, 30} : Rgb{30, 200, 30})
                    : (y < 1000 ? Rgb{30, 30, 200} : Rgb{240, 240, 240});
  });
  struct Case { int scale, w, h; };
  const Case cases[] = {{1, 375, 250}, {3, 1125, 750}, {8, 3000, 2000}};
  for (const Case& c : cases) {
    TPhoto p;
    ASSERT_EQ(LoadImage(PathOf(dir / "big.jpg"), p, nullptr, c.scale), Status::Ok);
    EXPECT_EQ(p.Width(), c.w) << c.scale;
    EXPECT_EQ(p.Height(), c.h) << c.scale;
    EXPECT_TRUE(fixtures::Near(At(p, 5, 5), Rgb{200, 30, 30}, 4)) << c.scale;
    EXPECT_TRUE(fixtures::Near(At(p, c.w - 5, c.h - 5), Rgb{240, 240, 240}, 4)) << c.scale;
  }
}

// ---- encoding ----

TEST(JpegEncoder, WritesBaselineTablesForTheQualityAnd300Dpi) {
  TPhoto p(64, 48);
  Fill(p, 90, 120, 150);
  p.DpiX = 300;
  p.DpiY = 300;
  RawBytes out;
  ASSERT_EQ(SaveJpeg(p, 90, out), Status::Ok);
  const fixtures::JpegMarkers m = fixtures::ReadMarkers(out);
  EXPECT_TRUE(m.Jfif);
  EXPECT_EQ(m.DensityUnit, 1);
  EXPECT_EQ(m.DensityX, 300);
  EXPECT_EQ(m.DensityY, 300);
  EXPECT_TRUE(m.Baseline);
  EXPECT_EQ(m.Width, 64);
  EXPECT_EQ(m.Height, 48);
  EXPECT_EQ(m.Tables[0], fixtures::ScaledTable(fixtures::StdLuma, 90));
  EXPECT_EQ(m.Tables[1], fixtures::ScaledTable(fixtures::StdChroma, 90));
  const fixtures::Decoded d = fixtures::DecodeJpeg(out);
  EXPECT_TRUE(fixtures::Near(d.At(30, 20), Rgb{90, 120, 150}, 2));
}

// ---- turns ----

TEST(Turns, QuarterTurnsMovePixelsAsTheyShould) {
  const TPhoto src = Numbered(3, 2);  // pixel (x, y) holds R = x, G = y
  struct Case { RotateFlipType type; int w, h; int x, y; Rgb expected; };
  const Case cases[] = {
      // Clockwise: the bottom-left pixel (0, 1) becomes the top-left.
      {RotateFlipType::Rotate90FlipNone, 2, 3, 0, 0, Rgb{0, 1, 7}},
      {RotateFlipType::Rotate90FlipNone, 2, 3, 1, 2, Rgb{2, 0, 7}},
      // Counter-clockwise: the top-right pixel (2, 0) becomes the top-left.
      {RotateFlipType::Rotate270FlipNone, 2, 3, 0, 0, Rgb{2, 0, 7}},
      {RotateFlipType::Rotate180FlipNone, 3, 2, 0, 0, Rgb{2, 1, 7}},
  };
  for (const Case& c : cases) {
    const TPhoto t = RotateFlip(src, c.type);
    ASSERT_EQ(t.Width(), c.w);
    ASSERT_EQ(t.Height(), c.h);
    EXPECT_EQ(At(t, c.x, c.y), c.expected) << static_cast<int>(c.type) << " at " << c.x << "," << c.y;
  }
}

TEST(Turns, FourTurnsOfALargePictureGiveItBack) {
  // Larger than one tile of the turning loop, with sides that are not multiples of it.
  const TPhoto src = Numbered(150, 97);
  TPhoto t = src;
  for (int i = 0; i < 4; ++i) t = RotateFlip(t, RotateFlipType::Rotate90FlipNone);
  ASSERT_EQ(t.Width(), 150);
  ASSERT_EQ(t.Height(), 97);
  for (int y = 0; y < 97; ++y)
    for (int x = 0; x < 150; ++x) ASSERT_EQ(At(t, x, y), At(src, x, y)) << x << "," << y;
}

// ---- resampling ----

TEST(Resampler, ReducingAFinePatternAveragesIt) {
  // A one-pixel checkerboard reduced 8 times: a sampler without a low-pass filter would show
  // black, white or a moiré; ours gives even grey.
  TPhoto src(800, 800);
  for (int y = 0; y < 800; ++y)
    for (int x = 0; x < 800; ++x) {
      const Byte v = ((x + y) & 1) ? 255 : 0;
      Byte* d = src.Scan(y) + x * 3;
      d[0] = d[1] = d[2] = v;
    }
  TPhoto dst(100, 100);
  ASSERT_EQ(DrawImage(dst, TRect{0, 0, 100, 100}, src, TRectF{0, 0, 800, 800}), Status::Ok);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_TRUE(fixtures::Near(At(dst, x, y), Rgb{128, 128, 128}, 3)) << x << "," << y;
}

TEST(Resampler, SamplesOnlyInsideTheSourceRectangle) {
  // A green frame one pixel wide around a grey inside; drawing just the inside must never pick up
  // green, and every weight of the kernel must add up so a flat area keeps its colour exactly.
  TPhoto src(50, 40);
  Fill(src, 0, 255, 0);
  FillRect(src, TRect{1, 1, 49, 39}, 100, 100, 100);
  struct Case { int w, h; };
  // Enlarged, reduced by a factor that is not whole, about the same size, and each side differently.
  for (const Case c : {Case{480, 380}, Case{12, 9}, Case{48, 38}, Case{13, 200}}) {
    TPhoto dst(c.w, c.h);
    ASSERT_EQ(DrawImage(dst, TRect{0, 0, c.w, c.h}, src, TRectF{1, 1, 48, 38}), Status::Ok);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) ASSERT_EQ(At(dst, x, y), (Rgb{100, 100, 100})) << x << "," << y;
  }
}

TEST(Resampler, DrawsOnlyIntoTheTargetRectangle) {
  TPhoto src(10, 10);
  Fill(src, 0, 0, 0);
  TPhoto dst(30, 20);
  Fill(dst, 255, 255, 255);
  ASSERT_EQ(DrawImage(dst, TRect{5, 2, 25, 18}, src, TRectF{0, 0, 10, 10}), Status::Ok);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) {
      const bool inside = x >= 5 && x < 25 && y >= 2 && y < 18;
      ASSERT_EQ(At(dst, x, y), (inside ? Rgb{0, 0, 0} : Rgb{255, 255, 255})) << x << "," << y;
    }
  EXPECT_EQ(DrawImage(dst, TRect{5, 5, 5, 9}, src, TRectF{0, 0, 10, 10}), Status::InvalidParameter);
}

TEST_F(PhotoFiles, LoadResampledTakesThePartAndTheExactSize) {
  // A 1200 × 800 JPEG: left third red, the rest blue. Taking the left 400 columns at 300 × 200
  // must give red alone, from a reduced decode.
  fixtures::WriteJpeg(dir / "thirds.jpg", 1200, 800,
                      [](int x, int) { return x < 400 ? Rgb{210, 20, 20} : Rgb{20, 20, 210}; });
  TPhoto out;
  ASSERT_EQ(LoadResampled(PathOf(dir / "thirds.jpg"), TRectF{0, 0, 400, 800}, 100, 200, out), Status::Ok);
  ASSERT_EQ(out.Width(), 100);
  ASSERT_EQ(out.Height(), 200);
  for (int y = 0; y < 200; y += 7)
    for (int x = 0; x < 95; x += 3) ASSERT_TRUE(fixtures::Near(At(out, x, y), Rgb{210, 20, 20}, 6)) << x << "," << y;
  ASSERT_EQ(LoadResampled(PathOf(dir / "thirds.jpg"), TRectF{500, 100, 700, 600}, 350, 300, out), Status::Ok);
  for (int y = 0; y < 300; y += 7)
    for (int x = 0; x < 350; x += 3) ASSERT_TRUE(fixtures::Near(At(out, x, y), Rgb{20, 20, 210}, 6)) << x << "," << y;
}

TEST(Resampler, RowsPushedOneByOneGiveTheSamePictureAsAWholeDraw) {
  // Large enough for the rows to be reduced in batches on a second thread, with a last batch
  // that is not full; a lost or misplaced batch shows as a difference.
  TPhoto src(2000, 1203);
  for (int y = 0; y < src.Height(); ++y)
    for (int x = 0; x < src.Width(); ++x) {
      Byte* d = src.Scan(y) + x * 3;
      d[0] = static_cast<Byte>(x * 7 + y);
      d[1] = static_cast<Byte>(y * 3);
      d[2] = static_cast<Byte>((x ^ y) & 0xFF);
    }
  const TRectF part{10.5, 3, 1900, 1190};
  TPhoto whole(700, 450), pushed(700, 450);
  ASSERT_EQ(DrawImage(whole, TRect{0, 0, 700, 450}, src, part), Status::Ok);
  int next = 0;
  TResampler r(src.Width(), src.Height(), part, 700, 450, [&](Integer y, const Byte* rgb) {
    ASSERT_EQ(y, next++);  // in order, each once
    PutRow(pushed, 0, y, rgb, 700);
  });
  for (int y = 0; y < src.Height(); ++y) r.PushRow(y, src.Scan(y));
  r.Finish();
  EXPECT_EQ(next, 450);
  for (int y = 0; y < 450; ++y)
    ASSERT_EQ(std::memcmp(whole.Scan(y), pushed.Scan(y), whole.Stride()), 0) << "row " << y;
}

// A flat 16 × 16 JPEG in the given colour space; `px` holds one pixel's stored values.
void WriteFlatJpeg(const std::filesystem::path& path, J_COLOR_SPACE space, int components,
                   const std::vector<unsigned char>& px, bool adobe) {
  fixtures::WriteJpegRows(
      path, 16, 16, space, components, 98,
      [&](int, unsigned char* row) {
        for (int x = 0; x < 16; ++x) std::copy(px.begin(), px.end(), row + x * components);
      },
      adobe);
}

TEST(JpegColourSpaces, GreyAndAdobeCmykBecomeRgb) {
  const auto dir = testsupport::MakeTempDir("spaces");
  struct Case { const char* name; J_COLOR_SPACE space; int n; std::vector<unsigned char> stored; bool adobe; Rgb rgb; };
  const Case cases[] = {
      {"grey.jpg", JCS_GRAYSCALE, 1, {90}, true, Rgb{90, 90, 90}},
      // Adobe stores CMYK inverted: 255 is no ink. No cyan or black, full magenta and yellow: red.
      {"cmyk-red.jpg", JCS_CMYK, 4, {255, 0, 0, 255}, true, Rgb{255, 0, 0}},
      // Half the black (stored 128) over no colour: grey.
      {"cmyk-grey.jpg", JCS_CMYK, 4, {255, 255, 255, 128}, true, Rgb{128, 128, 128}},
      // Without Adobe's marker the ink is stored as it is: full magenta and yellow, no black: red.
      {"cmyk-plain-red.jpg", JCS_CMYK, 4, {0, 255, 255, 0}, false, Rgb{255, 0, 0}},
  };
  for (const Case& c : cases) {
    WriteFlatJpeg(dir / c.name, c.space, c.n, c.stored, c.adobe);
    TPhoto p;
    ASSERT_EQ(LoadImage(PathOf(dir / c.name), p), Status::Ok) << c.name;
    EXPECT_TRUE(fixtures::Near(At(p, 8, 8), c.rgb, 3)) << c.name << ": " << int(At(p, 8, 8).R) << " "
                                                        << int(At(p, 8, 8).G) << " " << int(At(p, 8, 8).B);
  }
}

}  // namespace
