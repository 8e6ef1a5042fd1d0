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

TEST(TryDecimalToInt, TakesPlainDecimalOnly) {
  struct Case {
    const char16_t* text;
    bool ok;
    Integer value;
  };
  const Case cases[] = {
      {u"64", true, 64},         {u"  64", true, 64},       {u"+64", true, 64},
      {u"-64", true, -64},       {u"$64", false, 0},        {u"0x64", false, 0},
      {u"x64", false, 0},        {u"64 ", false, 0},        {u"", false, 0},
      {u"-", false, 0},          {u"6.4", false, 0},        {u"2147483647", true, 2147483647},
      {u"2147483648", false, 0}, {u"-2147483648", true, -2147483647 - 1},
      {u"-2147483649", false, 0}, {u"\u0664", false, 0},  // an Arabic-Indic four
  };
  for (const Case& c : cases) {
    Integer value = 0;
    EXPECT_EQ(TryDecimalToInt(c.text, value), c.ok) << StringToUtf8(c.text);
    if (c.ok) {
      EXPECT_EQ(value, c.value) << StringToUtf8(c.text);
    }
  }
}

TEST(NumberFormats, GroupsAndDecimalsFollowTheLocale) {
  TFormatSettings saved = FormatSettings();
  TFormatSettings ru = saved;
  ru.DecimalSeparator = u',';
  ru.ThousandSeparator = u'\u00A0';
  SetFormatSettings(ru);
  struct Case {
    Int64 value;
    const char16_t* text;
  };
  // Values above 2^53 differ from their nearest double in the last digits.
  const Case cases[] = {
      {0, u"0"},
      {999, u"999"},
      {1000, u"1\u00A0000"},
      {1234567, u"1\u00A0234\u00A0567"},
      {-1234, u"-1\u00A0234"},
      {9007199254740993, u"9\u00A0007\u00A0199\u00A0254\u00A0740\u00A0993"},
      {INT64_MAX, u"9\u00A0223\u00A0372\u00A0036\u00A0854\u00A0775\u00A0807"},
      {INT64_MIN, u"-9\u00A0223\u00A0372\u00A0036\u00A0854\u00A0775\u00A0808"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatInteger(c.value), c.text) << c.value;
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
