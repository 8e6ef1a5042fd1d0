// A JPEG that libjpeg can only read by making up pixels (its data ends before the last row, or
// does not decode) is refused as an unreadable file, whole, as a thumbnail at every scale and as
// a print; one whose only fault is stray bytes before a marker reads as if they were not there.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "platform/gdiplus/PhotoFixtures.h"
// After jpeglib.h, which the fixtures include.
#include <jerror.h>
#include "platform/gdiplus/Print.h"
#include "platform/rtl/Strings.h"
#include "support/TestEnv.h"

namespace {

using namespace pf;
using namespace pf::gdiplus;
using fixtures::Rgb;

// Detail in every block, so that every row has entropy-coded data of its own.
Rgb Busy(int x, int y) {
  return {static_cast<unsigned char>((x * 7 + y * 3) & 0xFF), static_cast<unsigned char>((x * y) & 0xFF),
          static_cast<unsigned char>((x ^ y) * 5 & 0xFF)};
}

// The offset of the first marker `code` in a JPEG.
size_t MarkerAt(const std::string& b, unsigned char code) {
  const std::string m{'\xFF', static_cast<char>(code)};
  const size_t at = b.find(m, 2);
  EXPECT_NE(at, std::string::npos);
  return at;
}

std::string JpegError(int code) { return "JPEG error #" + std::to_string(code); }

TEST(DamagedJpeg, MadeUpPixelsAreRefusedEverywhereAndStrayBytesAreNot) {
  const auto dir = testsupport::MakeTempDir("damaged");
  // 1/8 of 400 × 320 is 50 × 40: the thumbnail's reduced decode reads to the end as well.
  fixtures::WriteJpeg(dir / "whole.jpg", 400, 320, Busy, 90);
  const std::string whole = testsupport::ReadFileBytes(dir / "whole.jpg");
  const size_t sos = MarkerAt(whole, 0xDA);
  const size_t data = sos + 2 + (static_cast<unsigned char>(whole[sos + 2]) << 8 | static_cast<unsigned char>(whole[sos + 3]));

  struct Case {
    const char* name;
    std::function<std::string()> make;
    int refusal;  // libjpeg's code of the refusal, 0 when the file reads
  };
  const Case cases[] = {
      {"intact", [&] { return whole; }, 0},
      // A copy stopped short, as a camera card or a download leaves it.
      {"cut in the middle", [&] { return whole.substr(0, data + (whole.size() - data) / 2); }, JWRN_JPEG_EOF},
      {"cut before its last row", [&] { return whole.substr(0, whole.size() - 200); }, JWRN_JPEG_EOF},
      {"only its end marker missing", [&] { return whole.substr(0, whole.size() - 2); }, 0},
      // A marker inside the scan where data should be: the rest of the scan is lost.
      {"a marker in its data",
       [&] {
         std::string b = whole;
         b[data + 3000] = '\xFF';
         b[data + 3001] = '\xD9';
         return b;
       },
       JWRN_HIT_MARKER},
      // Cameras write padding between segments; libjpeg skips it with a warning.
      {"stray bytes before a marker",
       [&] {
         std::string b = whole;
         b.insert(MarkerAt(b, 0xDB), std::string("\x00\x01\x02\x03", 4));
         return b;
       },
       0},
  };
  TPhoto reference;
  ASSERT_EQ(LoadImage(Utf8ToString((dir / "whole.jpg").string()), reference), Status::Ok);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = dir / "case.jpg";
    testsupport::WriteFileBytes(path, c.make());
    const String name = Utf8ToString(path.string());
    const std::string refused = c.refusal ? JpegError(c.refusal) : "";

    TImageInfo info;
    EXPECT_EQ(ReadImageInfo(name, info), Status::Ok) << "the header is whole";
    TPhoto photo;
    String error;
    EXPECT_EQ(LoadImage(name, photo, &error) == Status::Ok, !c.refusal);
    EXPECT_EQ(StringToUtf8(error), refused);
    if (!c.refusal) {
      ASSERT_EQ(photo.Width(), 400);
      EXPECT_EQ(std::memcmp(photo.Scan(0), reference.Scan(0), photo.Stride() * 320), 0) << "same pixels";
    }
    for (const int scale : {1, 2, 8}) {
      TPhoto thumb;
      error.clear();
      EXPECT_EQ(LoadResampled(name, TRectF{0, 0, 400, 320}, 200, 160, thumb, &error, scale) == Status::Ok, !c.refusal)
          << scale;
      EXPECT_EQ(StringToUtf8(error), refused) << scale;
    }
    TPrintJob job;
    job.Source = TRect{0, 0, 400, 320};
    job.Width = 500;
    job.Height = 400;
    job.Target = TRect{0, 0, 500, 400};
    RawBytes jpeg;
    error.clear();
    EXPECT_EQ(RenderPrint(name, job, jpeg, &error) == Status::Ok, !c.refusal);
    EXPECT_EQ(StringToUtf8(error), refused);
  }
}

TEST(DamagedJpeg, AProgressiveFileCutShortIsRefused) {
  const auto dir = testsupport::MakeTempDir("damaged");
  const auto path = dir / "p.jpg";
  fixtures::WriteJpegRows(path, 256, 192, JCS_RGB, 3, 90, [](int y, unsigned char* row) {
    for (int x = 0; x < 256; ++x) {
      const Rgb p = Busy(x, y);
      row[x * 3] = p.R;
      row[x * 3 + 1] = p.G;
      row[x * 3 + 2] = p.B;
    }
  }, true, true);
  const std::string bytes = testsupport::ReadFileBytes(path);
  // Its later scans are missing: every row lacks detail.
  testsupport::WriteFileBytes(path, bytes.substr(0, bytes.size() * 2 / 3));
  TPhoto photo;
  String error;
  EXPECT_NE(LoadImage(Utf8ToString(path.string()), photo, &error), Status::Ok);
  EXPECT_EQ(StringToUtf8(error), JpegError(JWRN_JPEG_EOF));
}

}  // namespace
