#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Strings.h"

using namespace pf;

namespace {

TFormatSettings Dot() {
  TFormatSettings fs;
  fs.DecimalSeparator = u'.';
  fs.ThousandSeparator = u',';
  return fs;
}

// A Russian desktop: decimal comma, no-break space between groups.
TFormatSettings Comma() {
  TFormatSettings fs;
  fs.DecimalSeparator = u',';
  fs.ThousandSeparator = u'\u00A0';
  return fs;
}

// Hand-written results use "_" for the no-break space.
String Nbsp(const char* utf8) { return StringReplaceAll(U(utf8), u"_", u"\u00A0"); }

TEST(FormatFloatTest, ThePatternsOfPricesAndCounts) {
  struct Case {
    const char* pattern;
    double value;
    const char* dot;
    const char* comma;
  } cases[] = {
      {"###,###,###,##0", 1234567, "1,234,567", "1_234_567"},
      {"###,###,###,##0", 999.5, "1,000", "1_000"},
      {"###,###,###,##0", -1234, "-1,234", "-1_234"},
      {"###,###,###,##0", 12345678901234, "12,345,678,901,234", "12_345_678_901_234"},
      {"###,###,##0.00", 0.125, "0.13", "0,13"},
      {"###,###,##0.00", 2.675, "2.68", "2,68"},
      {"###,###,##0.00", 1234567.891, "1,234,567.89", "1_234_567,89"},
      {"###,###,##0.00", 999999.995, "1,000,000.00", "1_000_000,00"},
      {"###,##0.##", 12.5, "12.5", "12,5"},
      {"##0.##", 0.001, "0", "0"},
      {"##0.##", 0.995, "1", "1"},
      {"##0.##", 100000, "100000", "100000"},
      {"0.00", -0.001, "0.00", "0,00"},
      {"#,##0 \"руб.\"", 1500, "1,500 руб.", "1_500 руб."},
      {"0.00;(0.00)", -5, "(5.00)", "(5,00)"},
      {"0.00;(0.00)", -0.001, "0.00", "0,00"},
      {"#", 0, "", ""},
      {"#.##", 0.5, ".5", ",5"},
      {"000-00", 12345, "123-45", "123-45"},
      {"0.00;(0.00);'none'", 0.001, "none", "none"},
      {"0.00E+00", 1234.5, "1.23E+03", "1,23E+03"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatFloat(U(c.pattern), c.value, Dot()), Nbsp(c.dot)) << c.pattern << " " << c.value;
    EXPECT_EQ(FormatFloat(U(c.pattern), c.value, Comma()), Nbsp(c.comma)) << c.pattern << " " << c.value;
  }
  TFormatSettings none = Dot();
  none.ThousandSeparator = 0;  // a locale without grouping
  EXPECT_EQ(FormatFloat(u"###,###,##0.00", 1234567.5, none), u"1234567.50");
}

TEST(FormatTest, Directives) {
  struct Case {
    const char* fmt;
    std::initializer_list<TVarRec> args;
    const char* dot;
  } cases[] = {
      {"%.3d %.3d", {7, -7}, "007 -007"},
      {"%s и %s", {U("а"), U("б")}, "а и б"},
      {"%1:s %0:s %s", {u"a", u"b"}, "b a b"},
      {"%.2f %f", {2.675, 1.0}, "2.68 1.00"},
      {"100%%", {}, "100%"},
      {"%*d|%-*d|", {4, 7, 3, 7}, "   7|7  |"},
      {"%.2s|%6s", {u"abc", u"ab"}, "ab|    ab"},
      {"[%s]", {u'Ж'}, "[Ж]"},
  };
  for (const auto& c : cases) EXPECT_EQ(Format(U(c.fmt), c.args, Dot()), U(c.dot)) << c.fmt;
  EXPECT_EQ(Format(u"%.2f", {2.5}, Comma()), u"2,50");
  EXPECT_EQ(Format(U("%s  (%s руб.)"), {U("Глянцевая"), FormatFloat(u"##0.##", 12.5, Comma())}, Comma()),
            U("Глянцевая  (12,5 руб.)"));
}

TEST(FormatTest, BadFormatsRaise) {
  struct Case {
    const char* fmt;
    std::initializer_list<TVarRec> args;
  } cases[] = {
      {"%d", {1.5}}, {"%s", {1}}, {"%d", {}}, {"%d %d", {1}}, {"%q", {1}}, {"50%", {}}, {"%f", {u"x"}},
  };
  for (const auto& c : cases) EXPECT_THROW(Format(U(c.fmt), c.args, Dot()), EConvertError) << c.fmt;
}

TEST(RoundTest, HalvesGoToTheEvenNeighbour) {
  struct Case {
    double value;
    Int64 rounded;
    Int64 truncated;
  } cases[] = {
      {0.5, 0, 0},        {1.5, 2, 1},        {2.5, 2, 2},  {-1.5, -2, -1}, {-2.5, -2, -2},
      {2.4999999, 2, 2},  {2.5000001, 3, 2},  {-2.7, -3, -2},
      {1e15 + 0.5, 1000000000000000, 1000000000000000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Round(c.value), c.rounded) << c.value;
    EXPECT_EQ(Trunc(c.value), c.truncated) << c.value;
  }
  EXPECT_THROW(Round(1e30), EInvalidOperation);
}

TEST(FloatTextTest, TryStrToFloatAndFloatToStr) {
  struct Case {
    const char* text;
    bool comma;
    bool ok;
    double value;
  } cases[] = {
      {"12,5", true, true, 12.5},  {"12,5", false, false, 0},  {"12.5", true, false, 0},
{" 7 ", false, true, 7},     {"-.5", false, true, -0.5},
      {"+1e3", false, true, 1000},  {".", false, false, 0},      {"", false, false, 0},
      {"1e", false, false, 0},      {"1e999", false, false, 0},
  };
  for (const auto& c : cases) {
    double v = -1;
    EXPECT_EQ(TryStrToFloat(U(c.text), v, c.comma ? Comma() : Dot()), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  EXPECT_EQ(FloatToStr(1.0 / 3, Dot()), u"0.333333333333333");  // 15 significant digits
  EXPECT_EQ(FloatToStr(0.00001, Dot()), u"1E-5");
  EXPECT_EQ(FloatToStr(12.5, Comma()), u"12,5");
}

// Reads the settings from the environment's locale names; restores everything it touched.
class LocaleSettingsTest : public ::testing::Test {
protected:
  void TearDown() override {
    for (auto& [name, value] : FSaved) value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    SetFormatSettings(FSettings);
  }
  std::vector<std::pair<const char*, std::optional<std::string>>> FSaved = [] {
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const char* v : {"LC_ALL", "LC_NUMERIC", "LANG"})
      saved.emplace_back(v, std::getenv(v) ? std::optional<std::string>(std::getenv(v)) : std::nullopt);
    return saved;
  }();
  TFormatSettings FSettings = FormatSettings();
};

TEST_F(LocaleSettingsTest, SeparatorsFollowTheLocaleEvenWhenItIsNotInstalled) {
  struct Case {
    const char* lcAll;
    const char* lcNumeric;
    const char* lang;
    Char decimal;
    Char thousands;
  } cases[] = {
      {nullptr, nullptr, "ru_RU.UTF-8", u',', u'\u00A0'},
      {nullptr, "ru_RU.UTF-8", "C", u',', u'\u00A0'},
      {nullptr, nullptr, "de_DE.UTF-8", u',', u'.'},
      {"en_US.UTF-8", "ru_RU.UTF-8", "ru_RU.UTF-8", u'.', u','},
      {nullptr, nullptr, nullptr, u'.', u','},
  };
  for (const auto& c : cases) {
    auto put = [](const char* name, const char* v) { v ? setenv(name, v, 1) : unsetenv(name); };
    put("LC_ALL", c.lcAll);
    put("LC_NUMERIC", c.lcNumeric);
    put("LANG", c.lang);
    LoadFormatSettingsFromLocale();
    std::string label = std::string(c.lcAll ? c.lcAll : "-") + " " + (c.lcNumeric ? c.lcNumeric : "-") + " " +
                        (c.lang ? c.lang : "-");
    EXPECT_EQ(FormatSettings().DecimalSeparator, c.decimal) << label;
    EXPECT_EQ(FormatSettings().ThousandSeparator, c.thousands) << label;
  }
  setenv("LANG", "ru_RU.UTF-8", 1);
  LoadFormatSettingsFromLocale();
  EXPECT_EQ(FormatFloat(u"###,###,##0.00", 1234.5), Nbsp("1_234,50"));
}

}  // namespace
