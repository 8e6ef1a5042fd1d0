#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"

using namespace pf;

namespace {

// Every test leaves the code page as the environment has it.
class CodePageTest : public ::testing::Test {
protected:
  void TearDown() override {
    unsetenv("PHOTO_ORDER_CODEPAGE");
    ResetAnsiCodePage();
  }
};

TEST_F(CodePageTest, EncodingReplacesWhatDoesNotFit) {
  struct Case {
    const char* utf8;
    int cp;
    std::string bytes;
    bool lossless;
  } cases[] = {
      {"Глянцевая 10x15", 1251, "\xC3\xEB\xFF\xED\xF6\xE5\xE2\xE0\xFF 10x15", true},
      {"Ёё№", 1251, "\xA8\xB8\xB9", true},
      {"café", 1251, "caf?", false},
      {"a\xF0\x9F\x98\x80z", 1251, "a?z", false},  // one "?" for a surrogate pair
      {"café €", 1252, "caf\xE9 \x80", true},
      {"Жук", 1252, "???", false},
      {"Жук", CP_UTF8, "\xD0\x96\xD1\x83\xD0\xBA", true},
  };
  for (const auto& c : cases) {
    bool lossless = !c.lossless;
    EXPECT_EQ(StringToCodePage(U(c.utf8), c.cp, &lossless), c.bytes) << c.utf8;
    EXPECT_EQ(lossless, c.lossless) << c.utf8;
  }
}

TEST_F(CodePageTest, EnvironmentNamesTheCodePage) {
  struct Case {
    const char* env;
    const char* bytes;
    const char* utf8;
  } cases[] = {
      {nullptr, "\xCF\xF0\xE8\xE2\xE5\xF2 \xA8\xB8", "Привет Ёё"},  // Windows-1251 by default
      {nullptr, "\xB9 5 \x88", "№ 5 €"},
      {"windows-1252", "\x80", "€"},
      {"CP1251", "\xC6", "Ж"},
      {"KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4", "Привет"},
      {"no-such-code-page", "\xC6", "Ж"},  // falls back to 1251
  };
  for (const auto& c : cases) {
    c.env ? setenv("PHOTO_ORDER_CODEPAGE", c.env, 1) : unsetenv("PHOTO_ORDER_CODEPAGE");
    ResetAnsiCodePage();
    EXPECT_EQ(AnsiToString(c.bytes), U(c.utf8)) << (c.env ? c.env : "default");
    EXPECT_EQ(StringToAnsi(U(c.utf8)), c.bytes) << (c.env ? c.env : "default");
  }
  unsetenv("PHOTO_ORDER_CODEPAGE");
  ResetAnsiCodePage();
  EXPECT_EQ(AnsiCodePage(), 1251);
  EXPECT_EQ(AnsiToString("a\x98z"), u"a\uFFFDz");  // 0x98 has no character in 1251
}

TEST(CaseTest, AnsiCompareTextAndCaseMappingsFoldEveryAlphabetTheLabMeets) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"CityCount", "citycount", 0},
      {"Привет", "пРИВЕТ", 0},
      {"ЁЛКА", "ёлка", 0},
      {"Ärger Ÿ Łódź Ŵ", "äRGER ÿ łÓDŹ ŵ", 0},
      {"ΣΟΦΊΑ", "σοφία", 0},
      {"Її Ґґ Ўў", "її ґґ ўў", 0},
      {"ab", "abc", -1},
      {"abc", "ab", 1},
      {"Е", "ё", -1},  // Ё sorts right after Е, before Ж
      {"ё", "Ж", -1},
      {"", "", 0},
  };
  for (const auto& c : cases) {
    int r = AnsiCompareText(U(c.a), U(c.b));
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " / " << c.b;
    EXPECT_EQ(SameText(U(c.a), U(c.b)), c.sign == 0) << c.a << " / " << c.b;
  }
  EXPECT_EQ(AnsiUpperCase(U("ёлка straße ÿ σοφία")), U("ЁЛКА STRAßE Ÿ ΣΟΦΊΑ"));
  EXPECT_EQ(AnsiLowerCase(U("ЁЛКА ÀÉ Ŵ ΣΟΦΊΑ")), U("ёлка àé ŵ σοφία"));
  EXPECT_EQ(UpperCase(U("abc ёж")), U("ABC ёж"));  // the plain forms touch ASCII only
  EXPECT_NE(CompareText(U("Ж"), U("ж")), 0);
  EXPECT_LT(CompareStr(u"ABC", u"abc"), 0);
}

TEST(IntegerTest, ConversionsFollowTheClassLibrary) {
  struct Case {
    const char16_t* text;
    bool ok;
    Integer value;
  } cases[] = {
      {u" 12", true, 12},      {u"+7", true, 7},     {u"$FF", true, 255},        {u"0x1f", true, 31},
      {u"$FFFFFFFF", true, -1}, {u"-2147483648", true, INT32_MIN},               {u"2147483648", false, 0},
      {u"12 ", false, 0},      {u"", false, 0},      {u"-", false, 0},           {u"1.5", false, 0},
      {u"$", false, 0},        {u"$100000000", false, 0},
  };
  for (const auto& c : cases) {
    Integer v = 0;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << StringToUtf8(c.text);
    if (c.ok) {
      EXPECT_EQ(v, c.value) << StringToUtf8(c.text);
    }
    EXPECT_EQ(StrToIntDef(c.text, -99), c.ok ? c.value : -99);
  }
  EXPECT_THROW(StrToInt(u"abc"), EConvertError);
  EXPECT_EQ(IntToStr(-1234567890123LL), u"-1234567890123");
  EXPECT_EQ(IntToHex(0xABCDEF, 2), u"ABCDEF");
}

TEST(SearchTest, TrimPosAndReplace) {
  EXPECT_EQ(Trim(u"\t a b \r\n"), u"a b");
  EXPECT_EQ(TrimLeft(u"\x01 a "), u"a ");
  EXPECT_EQ(TrimRight(u" a \x1F"), u" a");
  EXPECT_EQ(Trim(u"\u00A0a\u00A0"), u"\u00A0a\u00A0");  // a no-break space is text
  EXPECT_EQ(Pos(u"", u"abc"), 0);
  EXPECT_EQ(Pos(u"://", u"http://host/"), 5);
  EXPECT_EQ(StringReplaceAll(u"aaa", u"aa", u"b"), u"ba");
  EXPECT_EQ(StringReplaceAll(u"abc", u"", u"x"), u"abc");
  EXPECT_EQ(StringOfChar(u'0', -1), u"");
}

}  // namespace
