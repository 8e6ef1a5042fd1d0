// File titles, digit extraction, the number formats of prices and counts, boxed strings.
#include <gtest/gtest.h>

#include "order/uUtils.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Strings.h"

using namespace order;

TEST(ExtractFileTitle, DropsFolderAndLastExtension) {
  struct Case {
    const char16_t* name;
    const char16_t* title;
  };
  const Case cases[] = {
      {u"/home/anna/Фото/IMG_0001.JPG", u"IMG_0001"},
      {u"IMG_0001", u"IMG_0001"},
      {u"archive.tar.gz", u"archive.tar"},
      {u"/photos.2024/scan", u"scan"},
      {u"/photos/", u""},
      {u"C:\\Фото\\a.jpg", u"C:\\Фото\\a"},  // a backslash is an ordinary character here
  };
  for (const Case& c : cases) EXPECT_EQ(ExtractFileTitle(c.name), c.title) << StringToUtf8(c.name);
}

TEST(DigitsToInt64, KeepsDigitsOnly) {
  struct Case {
    const char16_t* text;
    Int64 expected;
  };
  const Case cases[] = {
      {u"1a2b3", 123},   {u"abc", -1}, {u"", -1},   {u"+7 (912) 345-67-89", 79123456789},
      {u"٣", -1},        {u"-5", 5},   {u"007", 7}, {u"99999999999999999999", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(DigitsToInt64(c.text, -1), c.expected) << StringToUtf8(c.text);
}

TEST(NumberFormats, GroupsAndDecimalsFollowTheLocale) {
  TFormatSettings saved = FormatSettings();
  TFormatSettings ru = saved;
  ru.DecimalSeparator = u',';
  ru.ThousandSeparator = u'\u00A0';
  SetFormatSettings(ru);
  EXPECT_EQ(FormatInteger(1234567), u"1\u00A0234\u00A0567");
  EXPECT_EQ(FormatMoney(0), u"0,00");
  EXPECT_EQ(FormatMoney(1234.5), u"1\u00A0234,50");
  SetFormatSettings(saved);
}

TEST(BoxString, TravelsAsAnOwnedPayload) {
  int64_t before = TObject::LiveObjects();
  Owned<TObject> payload = BoxString(u"Отправлено");
  String text;
  UnboxString(std::move(payload), text);
  EXPECT_EQ(text, u"Отправлено");
  EXPECT_EQ(TObject::LiveObjects(), before);

  { Owned<TObject> lost = BoxString(u"never received"); }
  EXPECT_EQ(TObject::LiveObjects(), before) << "a payload nobody takes is freed with its owner";
}
