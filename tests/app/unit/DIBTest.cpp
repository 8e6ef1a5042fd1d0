#include <gtest/gtest.h>

#include <cstring>

#include "app/uDIB.h"
#include "platform/gdiplus/PhotoFixtures.h"
#include "platform/rtl/Strings.h"
#include "support/TestEnv.h"

namespace {

using namespace app;
using fixtures::Rgb;

// The pixel at (x, y) of a TDIB, read from its blue-green-red bytes.
Rgb PixelOf(const TDIB& d, Integer x, Integer y) {
  const Byte* p = d.ScanLine(y) + x * 3;
  return {p[2], p[1], p[0]};
}

class Thumbnails : public ::testing::Test {
protected:
  std::filesystem::path dir = testsupport::MakeTempDir("dib");
  String Path(const char* name) { return Utf8ToString((dir / name).string()); }
};

TEST(ThumbGeometry, SizeAndReducedScale) {
  struct Case { Integer w, h; TSize thumb; };
  const Case cases[] = {
      {3000, 2000, {200, 133}}, {2000, 3000, {133, 200}}, {100, 100, {200, 200}},
      {1000, 999, {200, 199}},  // 199.8 is truncated
  };
  for (const Case& c : cases) EXPECT_EQ(ThumbSize(c.w, c.h), c.thumb) << c.w << "x" << c.h;

  struct Scale { const char16_t* name; Integer w, h; int eighths; };
  const Scale scales[] = {
      {u"/p/a.jpg", 3000, 2000, 1},   {u"/p/a.JPEG", 1000, 1000, 2}, {u"/p/a.jpg", 640, 480, 8},
      {u"/p/a.JpG", 1601, 120, 1},    {u"/p/a.jpeg", 801, 800, 2},   {u"/p/a.jpg", 800, 800, 8},
      {u"/p/a.jpg", 1600, 1600, 2},   {u"/p/a.png", 6000, 4000, 8},  {u"/p/a.bmp", 3000, 2000, 8},
      {u"/p.jpg/a", 3000, 2000, 8},   // the dot of a folder is no extension
  };
  for (const Scale& s : scales)
    EXPECT_EQ(ThumbJpegScale(s.name, s.w, s.h), s.eighths) << StringToUtf8(s.name) << " " << s.w;
}

TEST_F(Thumbnails, ExtractReportsTheFullSizeAndMakesTheThumbnail) {
  // Quadrants: red top-left, green top-right, blue bottom-left, yellow bottom-right.
  const auto quadrants = [](int w, int h) {
    return [w, h](int x, int y) {
      if (y < h / 2) return x < w / 2 ? Rgb{220, 20, 20} : Rgb{20, 200, 20};
      return x < w / 2 ? Rgb{20, 20, 220} : Rgb{230, 230, 30};
    };
  };
  fixtures::WriteJpeg(dir / "big.jpg", 3000, 2000, quadrants(3000, 2000));
  fixtures::WriteJpeg(dir / "mid.jpeg", 1000, 1000, quadrants(1000, 1000));
  fixtures::WritePng(dir / "small.png", 100, 100, quadrants(100, 100));
  testsupport::WriteFileBytes(dir / "up.bmp", fixtures::MakeBmp24(150, 200, quadrants(150, 200)));
  struct Case { const char* file; Integer w, h; Integer tw, th; };
  const Case cases[] = {
      {"big.jpg", 3000, 2000, 200, 133},
      {"mid.jpeg", 1000, 1000, 200, 200},
      {"small.png", 100, 100, 200, 200},  // enlarged
      {"up.bmp", 150, 200, 150, 200},
  };
  for (const Case& c : cases) {
    Owned<TDIB> dib(TDIB::New());
    Integer w = -1, h = -1;
    dib->ExtractThumb(Path(c.file), w, h);
    EXPECT_EQ(w, c.w) << c.file;
    EXPECT_EQ(h, c.h) << c.file;
    ASSERT_FALSE(dib->IsEmpty()) << c.file;
    EXPECT_EQ(dib->Width(), c.tw) << c.file;
    EXPECT_EQ(dib->Height(), c.th) << c.file;
    EXPECT_EQ(dib->Line(), (c.tw * 3 + 3) / 4 * 4);
    const Integer qx = c.tw / 4, qy = c.th / 4;
    EXPECT_TRUE(fixtures::Near(PixelOf(*dib, qx, qy), Rgb{220, 20, 20}, 8)) << c.file;
    EXPECT_TRUE(fixtures::Near(PixelOf(*dib, 3 * qx, qy), Rgb{20, 200, 20}, 8)) << c.file;
    EXPECT_TRUE(fixtures::Near(PixelOf(*dib, qx, 3 * qy), Rgb{20, 20, 220}, 8)) << c.file;
    EXPECT_TRUE(fixtures::Near(PixelOf(*dib, 3 * qx, 3 * qy), Rgb{230, 230, 30}, 8)) << c.file;
  }
}

TEST_F(Thumbnails, UnusableFilesLeaveTheBufferAsItWas) {
  fixtures::WriteJpeg(dir / "narrow.jpg", 99, 500, [](int, int) { return Rgb{1, 2, 3}; });
  testsupport::WriteFileBytes(dir / "junk.jpg", "not a picture at all");
  Owned<TDIB> dib(TDIB::New());
  dib->SetSize(3, 2);
  std::memset(dib->ScanLine(0), 0x5A, static_cast<size_t>(dib->Line()) * 2);

  Integer w = -1, h = -1;
  dib->ExtractThumb(Path("narrow.jpg"), w, h);
  EXPECT_EQ(w, 99);  // the size is reported, no thumbnail is made
  EXPECT_EQ(h, 500);
  EXPECT_EQ(dib->Width(), 3);
  EXPECT_EQ(dib->ScanLine(1)[2], 0x5A);

  // Cut short: its size is in the header, but neither the reduced decode nor the full one it
  // falls back to reaches the last row.
  fixtures::WriteJpeg(dir / "whole.jpg", 2000, 1500, [](int x, int y) { return Rgb{Byte(x), Byte(y), 7}; });
  const std::string whole = testsupport::ReadFileBytes(dir / "whole.jpg");
  testsupport::WriteFileBytes(dir / "cut.jpg", whole.substr(0, whole.size() * 3 / 4));
  dib->ExtractThumb(Path("cut.jpg"), w, h);
  EXPECT_EQ(w, 2000);
  EXPECT_EQ(h, 1500);
  EXPECT_EQ(dib->Width(), 3);
  EXPECT_EQ(dib->ScanLine(1)[2], 0x5A);

  for (const char* name : {"junk.jpg", "missing.png"}) {
    w = h = -1;
    dib->ExtractThumb(Path(name), w, h);
    EXPECT_EQ(w, -1) << name;  // not written
    EXPECT_EQ(h, -1) << name;
    EXPECT_EQ(dib->Width(), 3) << name;
  }
}

TEST(DIB, TurnsCopiesAndSizes) {
  Owned<TDIB> d(TDIB::New());
  d->SetSize(200, 133);
  EXPECT_EQ(d->Line(), 600);
  EXPECT_EQ(d->Pad(), 0);
  for (Integer y = 0; y < 133; ++y)
    for (Integer x = 0; x < 200; ++x) {
      Byte* p = d->ScanLine(y) + x * 3;
      p[0] = static_cast<Byte>(x);
      p[1] = static_cast<Byte>(y);
      p[2] = static_cast<Byte>(x ^ y);
    }
  Owned<TDIB> original(d->Clone());
  d->RotateRight();
  EXPECT_EQ(d->Width(), 133);
  EXPECT_EQ(d->Height(), 200);
  EXPECT_EQ(d->Line(), 400);  // 399 bytes padded to a multiple of 4
  EXPECT_EQ(d->Pad(), 1);
  // Clockwise: the bottom-left pixel (0, 132) comes to the top-left.
  EXPECT_EQ(d->ScanLine(0)[0], 0);
  EXPECT_EQ(d->ScanLine(0)[1], 132);
  // Turned back counter-clockwise, every byte is where it was.
  d->RotateLeft();
  ASSERT_EQ(d->Width(), 200);
  ASSERT_EQ(d->Height(), 133);
  for (Integer y = 0; y < 133; ++y)
    ASSERT_EQ(std::memcmp(d->ScanLine(y), original->ScanLine(y), 600), 0) << y;

  d->SetSize(0, 5);
  EXPECT_TRUE(d->IsEmpty());
  EXPECT_EQ(d->Line(), 0);
  Owned<TDIB> empty(d->Clone());
  EXPECT_TRUE(empty->IsEmpty());
}

}  // namespace
