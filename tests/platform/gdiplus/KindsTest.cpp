// Every kind of PNG, BMP and JPEG a desktop's image viewer opens, read whole, as a thumbnail and
// as a print, against the pixels another decoder read from the same file (kinds/make.py made the
// files and their expected pixels; kinds.txt lists them with their two flat blocks' colours).

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gdiplus/PhotoFixtures.h"
#include "platform/gdiplus/Print.h"
#include "platform/rtl/Strings.h"
#include "support/TestEnv.h"

namespace {

using namespace pf;
using namespace pf::gdiplus;
using fixtures::Rgb;

const std::filesystem::path KindsDir = PO_KINDS_DIR;

struct TKind {
  std::string File;
  int Tolerance{0};
  Rgb A, B;  // the flat blocks: columns 16 to 31, rows 0 to 11 and 12 to 23
  bool Flat{true};  // false for a picture without such blocks
};

Rgb ParseRgb(const std::string& text) {
  int r = 0, g = 0, b = 0;
  EXPECT_EQ(std::sscanf(text.c_str(), "%d,%d,%d", &r, &g, &b), 3) << text;
  return {static_cast<unsigned char>(r), static_cast<unsigned char>(g), static_cast<unsigned char>(b)};
}

std::vector<TKind> Kinds() {
  std::ifstream in(KindsDir / "kinds.txt");
  std::vector<TKind> kinds;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    TKind k;
    std::string a, b;
    fields >> k.File >> k.Tolerance >> a >> b;
    k.Flat = a != "-";
    if (k.Flat) {
      k.A = ParseRgb(a);
      k.B = ParseRgb(b);
    }
    kinds.push_back(k);
  }
  return kinds;
}

// A binary PPM of 8-bit samples.
fixtures::Decoded ReadPpm(const std::filesystem::path& path) {
  const std::string bytes = testsupport::ReadFileBytes(path);
  std::istringstream in(bytes);
  std::string magic;
  int max = 0;
  fixtures::Decoded d;
  in >> magic >> d.W >> d.H >> max;
  in.get();
  d.Px.resize(static_cast<size_t>(d.W) * d.H * 3);
  in.read(reinterpret_cast<char*>(d.Px.data()), static_cast<std::streamsize>(d.Px.size()));
  EXPECT_EQ(magic, "P6");
  EXPECT_EQ(max, 255);
  EXPECT_TRUE(in) << path;
  return d;
}

String Name(const TKind& k) { return Utf8ToString((KindsDir / k.File).string()); }

TEST(PhotoKinds, TheListNamesEveryKind) {
  const std::vector<TKind> kinds = Kinds();
  // PNG: 15 kinds by colour type and depth, each plain and interlaced, and 7 with tRNS; BMP:
  // 19; JPEG: grey, RGB and CMYK.
  EXPECT_EQ(kinds.size(), 30u + 7u + 19u + 3u);
}

TEST(PhotoKinds, EveryKindDecodesToTheOtherDecodersPixels) {
  for (const TKind& k : Kinds()) {
    SCOPED_TRACE(k.File);
    TImageInfo info;
    ASSERT_EQ(ReadImageInfo(Name(k), info), Status::Ok);
    EXPECT_EQ(info.Width, 32);
    EXPECT_EQ(info.Height, 24);
    TPhoto photo;
    String error;
    ASSERT_EQ(LoadImage(Name(k), photo, &error), Status::Ok) << StringToUtf8(error);
    const fixtures::Decoded want = ReadPpm(KindsDir / (k.File.substr(0, k.File.rfind('.')) + ".ppm"));
    ASSERT_EQ(photo.Width(), want.W);
    ASSERT_EQ(photo.Height(), want.H);
    int wrong = 0;
    for (int y = 0; y < want.H; ++y)
      for (int x = 0; x < want.W; ++x) {
        const Byte* p = photo.Pixel(x, y);
        if (!fixtures::Near({p[0], p[1], p[2]}, want.At(x, y), k.Tolerance) && wrong++ < 3)
          ADD_FAILURE() << "at " << x << "," << y << ": " << int{p[0]} << "," << int{p[1]} << "," << int{p[2]}
                        << " where " << int{want.At(x, y).R} << "," << int{want.At(x, y).G} << "," << int{want.At(x, y).B};
      }
    EXPECT_EQ(wrong, 0);
  }
}

TEST(PhotoKinds, ThumbnailsKeepTheFlatBlocksColours) {
  // Halved, as a thumbnail reduces: the centres of the blocks lie far enough from their edges
  // that the resampler sees only the block. A JPEG is also read at the reduced scales.
  for (const TKind& k : Kinds()) {
    if (!k.Flat) continue;
    for (const int scale : {8, 4, 2}) {
      if (scale != 8 && k.File.find(".jpg") == std::string::npos) continue;
      SCOPED_TRACE(k.File + " at " + std::to_string(scale) + "/8");
      TPhoto thumb;
      String error;
      ASSERT_EQ(LoadResampled(Name(k), TRectF{0, 0, 32, 24}, 16, 12, thumb, &error, scale), Status::Ok)
          << StringToUtf8(error);
      ASSERT_EQ(thumb.Width(), 16);
      ASSERT_EQ(thumb.Height(), 12);
      // A reduced JPEG decode averages its 4 × 4 steps a little more.
      const int tolerance = k.Tolerance + (scale == 8 ? 1 : 4);
      const Byte* a = thumb.Pixel(12, 3);
      const Byte* b = thumb.Pixel(12, 9);
      EXPECT_TRUE(fixtures::Near({a[0], a[1], a[2]}, k.A, tolerance)) << int{a[0]} << "," << int{a[1]} << "," << int{a[2]};
      EXPECT_TRUE(fixtures::Near({b[0], b[1], b[2]}, k.B, tolerance)) << int{b[0]} << "," << int{b[1]} << "," << int{b[2]};
    }
  }
}

TEST(PhotoKinds, PrintsKeepTheFlatBlocksColours) {
  // The whole picture on a sheet twice its size, stored as the lab gets it (JPEG at 90).
  for (const TKind& k : Kinds()) {
    if (!k.Flat) continue;
    SCOPED_TRACE(k.File);
    TPrintJob job;
    job.Source = TRect{0, 0, 32, 24};
    job.Width = 64;
    job.Height = 48;
    job.Target = TRect{0, 0, 64, 48};
    RawBytes jpeg;
    String error;
    ASSERT_EQ(RenderPrint(Name(k), job, jpeg, &error), Status::Ok) << StringToUtf8(error);
    const fixtures::Decoded d = fixtures::DecodeJpeg(jpeg);
    ASSERT_EQ(d.W, 64);
    ASSERT_EQ(d.H, 48);
    EXPECT_TRUE(fixtures::Near(d.At(48, 12), k.A, k.Tolerance + 4));
    EXPECT_TRUE(fixtures::Near(d.At(48, 36), k.B, k.Tolerance + 4));
  }
}

}  // namespace
