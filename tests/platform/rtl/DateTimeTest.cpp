#include <gtest/gtest.h>

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"

using namespace pf;

namespace {

TEST(DateTimeTest, DaysCountFromTheEndOf1899AndFormat) {
  struct Case {
    Word y, m, d;
    double serial;
  } cases[] = {{1899, 12, 30, 0}, {1900, 1, 1, 2}, {2024, 2, 29, 45351}, {1899, 12, 29, -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.serial) << c.y << "-" << c.m << "-" << c.d;
    Word y, m, d;
    DecodeDate(c.serial, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d);
  }
  EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  Word h, n, s, ms;
  DecodeTime(EncodeDate(2024, 3, 5) + EncodeTime(23, 59, 59, 999), h, n, s, ms);
  EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + ms, 235959999);
  DecodeTime(-1.25, h, n, s, ms);  // before day zero the time still counts from midnight
  EXPECT_EQ(h, 6);

  TFormatSettings fs;
  fs.DateSeparator = u'-';
  fs.TimeSeparator = u'.';
  fs.LongTimeFormat = u"h:nn:ss";
  const TDateTime dt = EncodeDate(2024, 3, 5) + EncodeTime(13, 5, 7, 45);
  struct FormatCase {
    const char* pattern;
    const char* text;
  } formats[] = {
      {"h:mm", "13.05"},  // "m" after an hour means minutes
      {"d/m/yy", "5-3-24"},
      {"yyyy\"г.\" hh:nn:ss.zzz", "2024г. 13.05.07.045"},
      {"tt", "13.05.07"},
      {"hh ampm", "01 PM"},
  };
  for (const auto& c : formats) EXPECT_EQ(FormatDateTime(U(c.pattern), dt, fs), U(c.text)) << c.pattern;
}

}  // namespace
